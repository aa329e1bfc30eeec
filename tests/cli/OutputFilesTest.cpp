// Older outputs survive whatever goes wrong: a bad path found before any work, a disk that
// fills, two names for one file, and a second process writing the same report.

#include "CliTestSupport.h"
#include "Experiment/ReportFormat.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#ifndef __EMSCRIPTEN__
#include <sys/mount.h>
#endif
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
const std::string Small = " --pop-size 6 --seed 2 --blocks 4";

// Old outputs in Dir, to be kept.
void WriteOld(const TScratchDir& Dir) {
  WriteFile(Dir / "r.txt", "old report\r\n");
  WriteFile(Dir / "b.txt", "old best list\n");
  WriteFile(Dir / "s.csv", "old series\n");
}

void ExpectOldKept(const TScratchDir& Dir) {
  EXPECT_EQ(ReadFile(Dir / "r.txt"), "old report\r\n");
  EXPECT_EQ(ReadFile(Dir / "b.txt"), "old best list\n");
  EXPECT_EQ(ReadFile(Dir / "s.csv"), "old series\n");
  EXPECT_EQ(Listing(Dir.Path), (std::vector<std::string>{"b.txt", "r.txt", "s.csv"}))
      << "no files left behind";
}

// A child process that is killed and reaped at the end of the test if it is still there.
struct TChild {
  pid_t Pid = -1;
  ~TChild() {
    if (Pid > 0 && waitpid(Pid, nullptr, WNOHANG) == 0) {
      kill(Pid, SIGKILL);
      waitpid(Pid, nullptr, 0);
    }
  }
  // Its status, once it has ended.
  int Wait() {
    int status = 0;
    waitpid(Pid, &status, 0);
    Pid = -1;
    return status;
  }
};

// Starts the real binary with the given arguments, its standard streams on /dev/null, the
// signals a shell may have set to be ignored back at their defaults, and no core dumps.
pid_t Start(const std::vector<std::string>& Args) {
  std::vector<const char*> argv = {ZELWORLD_CLI};
  for (const std::string& a : Args)
    argv.push_back(a.c_str());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_RDWR);
    if (null < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0) _exit(120);
    for (const int s : {SIGINT, SIGQUIT, SIGHUP, SIGTERM})
      std::signal(s, SIG_DFL);
    const rlimit core{0, 0};
    setrlimit(RLIMIT_CORE, &core);
    execv(argv[0], const_cast<char* const*>(argv.data()));
    _exit(123);
  }
  return child;
}

// Waits up to twenty seconds for Ready.
bool WaitFor(const std::function<bool()>& Ready) {
  for (int i = 0; i < 2000; ++i) {
    if (Ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// A 64 KiB file system of its own, where mounting one is allowed.
struct TSmallDisk {
  TSmallDisk() {
#ifdef __EMSCRIPTEN__
    Why = "Node's file system layer mounts nothing";
#else
    if (mount("tmpfs", Dir.Path.c_str(), "tmpfs", 0, "size=64k") == 0)
      Mounted = true;
    else
      Why = std::strerror(errno);
#endif
  }
  ~TSmallDisk() {
#ifndef __EMSCRIPTEN__
    if (Mounted) umount2(Dir.Path.c_str(), MNT_DETACH);
#endif
  }
  // Fills what is left with a file, then frees Keep bytes of it.
  void Fill(std::size_t Keep) {
    const std::string filler = Dir / "filler";
    WriteFile(filler, std::string(1 << 20, 'x'));
    const auto size = std::filesystem::file_size(filler);
    std::filesystem::resize_file(filler, size > Keep ? size - Keep : 0);
  }
  TScratchDir Dir;
  bool Mounted = false;
  std::string Why;
};
} // namespace

TEST(OutputFiles, ABadPathFailsBeforeAnyWorkAndTouchesNothing) {
  TScratchDir dir;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {dir / "b.txt", dir / "no/s.csv"}, {dir / "no/b.txt", dir / "s.csv"}, {dir / "b.txt", dir.Path}};
  for (const auto& [best, series] : cases) {
    WriteOld(dir);
    for (const char* command : {"run", "batch"}) {
      const TCliResult r = RunCli(std::string(command) + " --report " + (dir / "r.txt") + " --best-list " +
                                  best + " --series " + series + Small);
      EXPECT_EQ(r.Code, 1) << best << " " << series;
      EXPECT_EQ(r.Out, "");
      EXPECT_EQ(r.Err.find("zelworld-cli: error: Cannot create file '"), 0u) << r.Err;
      ExpectOldKept(dir);
    }
  }
  // A report that cannot be created leaves no best list behind either.
  const TCliResult r =
      RunCli("run --report " + (dir / "no/r.txt") + " --best-list " + (dir / "new.txt") + Small);
  EXPECT_EQ(r.Code, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "new.txt"));
}

TEST(OutputFiles, AFullDiskKeepsTheOldBestListAndEndsTheReportWithAWholeLine) {
  TSmallDisk disk;
  if (!disk.Mounted) GTEST_SKIP() << "cannot mount a small tmpfs here (" << disk.Why << ")";
  TScratchDir dir;
  const std::string old = std::string(4000, 'A') + "\n";
  WriteFile(disk.Dir / "b.txt", old);
  disk.Fill(2000);
  TCliResult r = RunCli("run --report " + (dir / "r.txt") + " --best-list " + (disk.Dir / "b.txt") + Small +
                        " --generations 300");
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(r.Out, "") << "no closing message after a failure";
  EXPECT_EQ(r.Err, "zelworld-cli: error: Cannot write file '" + (disk.Dir / "b.txt") +
                       "': No space left on device\n");
  EXPECT_EQ(ReadFile(disk.Dir / "b.txt"), old);
  EXPECT_EQ(Listing(disk.Dir.Path), (std::vector<std::string>{"b.txt", "filler"}));

  // The report fills the disk part way: it ends with its last whole line.
  std::filesystem::remove(disk.Dir / "filler");
  disk.Fill(8192);
  r = RunCli("run --report " + (disk.Dir / "r.txt") + Small + " --generations 300");
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err, "zelworld-cli: error: Cannot write report file '" + (disk.Dir / "r.txt") +
                       "': No space left on device\n");
  const std::string report = ReadFile(disk.Dir / "r.txt");
  EXPECT_GT(report.size(), 1000u);
  EXPECT_EQ(report.substr(report.size() - 2), "\r\n");
}

TEST(OutputFiles, AHardLinkIsTheSameFile) {
#ifdef __EMSCRIPTEN__
  GTEST_SKIP() << "Node's file system layer makes no hard links";
#endif
  TScratchDir dir;
  WriteFile(dir / "h1.txt", "old report\r\n");
  std::filesystem::create_hard_link(dir / "h1.txt", dir / "h2.txt");
  std::filesystem::create_directory_symlink(dir.Path, dir / "again");
  for (const std::string& other : {dir / "h2.txt", dir / "again/h1.txt"}) {
    const TCliResult r = RunCli("run --report " + (dir / "h1.txt") + " --best-list " + other + Small);
    EXPECT_EQ(r.Code, 2);
    EXPECT_NE(r.Err.find("--best-list and --report name the same file"), std::string::npos) << r.Err;
  }
  EXPECT_EQ(ReadFile(dir / "h1.txt"), "old report\r\n");
  // A symbolic link to an output stays a link to the new file.
  std::filesystem::create_symlink(dir / "target.txt", dir / "link.txt");
  ASSERT_EQ(RunCli("run --report " + (dir / "r.txt") + " --series " + (dir / "link.txt") + Small).Code, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.txt"));
  EXPECT_EQ(ReadFile(dir / "target.txt").rfind("x,MaxGen", 0), 0u);
}

TEST(OutputFiles, FifosAndStandardOutputAreWrittenThroughNotReplaced) {
  TScratchDir dir;
#ifndef __EMSCRIPTEN__ // Node's file system layer makes no FIFOs
  const std::string fifo = dir / "series.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The reading end is open before the run, so the run's writing end opens at once; the
  // few lines fit in the pipe.
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const TCliResult r =
      RunCli("run --report " + (dir / "r.txt") + " --series " + fifo + Small + " --generations 2");
  std::string read(4096, '\0');
  const ssize_t n = ::read(reader, read.data(), read.size());
  close(reader);
  read.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(read.rfind("x,MaxGen,w/ Genotype\n0,", 0), 0u) << read;
  struct stat status {};
  EXPECT_TRUE(stat(fifo.c_str(), &status) == 0 && S_ISFIFO(status.st_mode));
#endif

  // Standard output into a file: the best list, then the closing message after it.
  const TCliResult out = RunBinary(dir, "run --report '" + (dir / "r.txt") + "' --best-list /dev/stdout" +
                                            Small + " --generations 2");
  EXPECT_EQ(out.Code, 0) << out.Err;
  EXPECT_EQ(std::count(out.Out.begin(), out.Out.end(), '\n'), 4) << out.Out;
  EXPECT_NE(out.Out.find("\nYour Report on file "), std::string::npos) << out.Out;
}

TEST(OutputFiles, EveryOutputTakesTheLockOfTheReportAndIsRefusedWhereAnotherHoldsIt) {
#ifdef __EMSCRIPTEN__
  GTEST_SKIP() << "the WebAssembly build has no advisory locks";
#endif
  TScratchDir dir, streams;
  const std::string same = dir / "same.txt";
  {
    // A report being written by another process, named as the report or as another output.
    TReportFile writer(same);
    writer.WriteLine("a line of the first run");
    for (const std::string option :
         {"--report", "--series", "--best-list", "--metadata", "--save-population"}) {
      const bool report = option == "--report";
      // Without --seed, a run that started work would print the seed first.
      const TCliResult r = RunBinary(
          streams, (report ? "batch --best-list '" + (dir / "b.txt") : "run --report '" + (dir / "r.txt")) +
                       "' --pop-size 6 " + option + " '" + same + "'");
      EXPECT_EQ(r.Code, 1) << option;
      EXPECT_EQ(r.Out, "");
      EXPECT_EQ(r.Err, "zelworld-cli: error: Cannot write " + std::string(report ? "report " : "") +
                           "file '" + same + "': another process is writing it\n")
          << option;
      EXPECT_EQ(ReadFile(same), "a line of the first run\r\n");
      EXPECT_EQ(Listing(dir.Path), std::vector<std::string>{"same.txt"}) << option << ": nothing left behind";
    }
    writer.WriteLine("the last line");
  }
  EXPECT_EQ(ReadFile(same), "a line of the first run\r\nthe last line\r\n");
  EXPECT_EQ(RunBinary(streams, "run --report '" + same + "'" + Small).Code, 0)
      << "the lock ends with the run";
  // The other way round: an output of another process, held before the file existed.
  {
    TWholeFileOutput held(dir / "s.csv", true, true);
    for (const std::string& outputs :
         {"--report '" + (dir / "s.csv") + "'",
          "--report '" + (dir / "r.txt") + "' --best-list '" + (dir / "s.csv") + "'"}) {
      const TCliResult r = RunBinary(streams, "run --seed 1 --pop-size 6 " + outputs);
      EXPECT_EQ(r.Code, 1) << outputs;
      EXPECT_NE(r.Err.find("'" + (dir / "s.csv") + "': another process is writing it"), std::string::npos)
          << r.Err;
    }
  }
  EXPECT_EQ(Listing(dir.Path), std::vector<std::string>{"same.txt"});
}

TEST(OutputFiles, TwoProcessesNeverWriteOneFile) {
#ifdef __EMSCRIPTEN__
  GTEST_SKIP() << "the WebAssembly build has no advisory locks and starts no process of its own";
#endif
  TScratchDir dir;
  // The first run holds its outputs to the end, and waits at its end for a reader of its
  // best list.
  const std::string fifo = dir / "best.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  TChild first{Start({"run", "--seed", "1", "--pop-size", "6", "--generations", "3", "--report",
                      dir / "a.txt", "--best-list", fifo, "--metadata", dir / "m.json"})};
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(dir / "m.json"); }));
  for (const std::string& outputs :
       {"--report '" + (dir / "m.json") + "'",
        "--report '" + (dir / "b.txt") + "' --series '" + (dir / "m.json") + "'"}) {
    const TCliResult second = RunBinary(dir, "run --seed 2 " + outputs);
    EXPECT_EQ(second.Code, 1) << outputs;
    EXPECT_NE(second.Err.find("another process is writing it"), std::string::npos) << second.Err;
  }
  // Read, the best list lets the first run end; its record is its own.
  const int reader = open(fifo.c_str(), O_RDONLY);
  char buffer[4096];
  while (read(reader, buffer, sizeof buffer) > 0) {
  }
  close(reader);
  const int status = first.Wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_NE(ReadFile(dir / "m.json").find("\"report\": \"" + (dir / "a.txt") + "\""), std::string::npos);
}

TEST(OutputFiles, ASignalLeavesNoTemporaryFileBehind) {
#ifdef __EMSCRIPTEN__
  GTEST_SKIP() << "the WebAssembly build starts no process of its own to signal";
#endif
  TScratchDir dir;
  // The report is a FIFO that nobody reads: the run waits at its first line, with its other
  // outputs claimed and their temporary files made.
  const std::string fifo = dir / "report.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  WriteFile(dir / "b.txt", "old best list\n");
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    TChild run{Start({"run", "--seed", "1", "--report", fifo, "--best-list", dir / "b.txt", "--series",
                      dir / "s.csv", "--metadata", dir / "m.json", "--save-population", dir / "p.json"})};
    ASSERT_TRUE(WaitFor([&] { return Listing(dir.Path).size() == 9; })) << "the run did not reach its report";
    kill(run.Pid, signal);
    const int status = run.Wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "the signal still ends the run";
    EXPECT_EQ(Listing(dir.Path), (std::vector<std::string>{"b.txt", "report.fifo"})) << strsignal(signal);
    EXPECT_EQ(ReadFile(dir / "b.txt"), "old best list\n");
  }
}
