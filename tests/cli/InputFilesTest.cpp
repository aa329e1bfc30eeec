// What zelworld-cli reads: every input file through one reader, so that a pipe nobody writes
// to is given up, a file too large for its kind is refused before it is read, memory that
// runs out is an error and not an abort, and an input is never named as an output.

#include "CliTestSupport.h"
#include "Experiment/FileText.h"
#include "../InputLimits.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
using namespace std::chrono_literals;

// A command run in-process on a thread of its own and awaited ten seconds at most: one that
// has not returned by then fails the test, and is freed by a writer that opens and closes
// the FIFO it waits for.
TCliResult RunBounded(const std::string& Args, const std::string& Fifo) {
  auto done = std::make_shared<std::promise<TCliResult>>();
  std::future<TCliResult> result = done->get_future();
  std::thread([done, Args] { done->set_value(RunCli(Args)); }).detach();
  if (result.wait_for(10s) != std::future_status::ready) {
    ADD_FAILURE() << "'" << Args << "' did not return";
    const int writer = open(Fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
  }
  return result.get();
}


// Every input of every command, given Input for the file under test, the exit status of its
// failure (an unusable input is a fault of the command line that named it: 2) and the kind of
// file it reads. A sweep's run file is met by sweep aggregate in the
// results of a small sweep.
struct TInput {
  std::string Args;
  int Code;
  TInputKind Kind;
};
std::vector<TInput> EveryInput(const TScratchDir& Dir, const std::string& Input) {
  const std::string report = " --report " + (Dir / "r.txt");
  return {{"run --config " + Input + report, 2, ExperimentInput},
          {"run --load-population " + Input + report, 2, PopulationInput},
          {"batch --environment " + Input + report, 2, EnvironmentInput},
          {"develop --program A310F --environment " + Input, 2, EnvironmentInput},
          {"sweep run " + Input + " --out " + (Dir / "fresh"), 2, SweepPlanInput},
          {"sweep aggregate " + (Dir / "sweep"), 2, SweepResultInput}};
}

// A sweep of one run whose result file is Input.
void SweepWithResult(const TScratchDir& Dir, const std::function<void(const std::string&)>& MakeResult) {
  std::filesystem::remove_all(Dir / "sweep");
  ASSERT_EQ(
      RunCli("sweep plan --set generations=2 --set pop-size=4 --seeds 1 --out " + (Dir / "plan.csv")).Code,
      0);
  ASSERT_EQ(RunCli("sweep run " + (Dir / "plan.csv") + " --out " + (Dir / "sweep")).Code, 0);
  const std::string result = Dir / "sweep/runs/c1-s1.csv";
  ASSERT_TRUE(std::filesystem::exists(result));
  std::filesystem::remove(result);
  MakeResult(result);
}
} // namespace

TEST(InputFiles, EveryInputGivesUpAPipeThatNobodyWritesTo) {
#ifdef __EMSCRIPTEN__
  GTEST_SKIP() << "Node's file system layer makes no FIFOs";
#endif
  TScratchDir dir;
  SweepWithResult(dir, [](const std::string& Result) { ASSERT_EQ(mkfifo(Result.c_str(), 0600), 0); });
  const std::string fifo = dir / "in.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const TTestLimits limits(0, 200ms);
  for (const auto& [args, code, kind] : EveryInput(dir, fifo)) {
    const bool aggregate = args.rfind("sweep aggregate", 0) == 0;
    const TCliResult r = RunBounded(args, aggregate ? dir / "sweep/runs/c1-s1.csv" : fifo);
    EXPECT_EQ(r.Code, code) << args << "\n" << r.Err;
    EXPECT_NE(r.Err.find("is a pipe that nothing was written to in 200 ms"), std::string::npos)
        << args << "\n"
        << r.Err;
    EXPECT_EQ(r.Err.find('\n'), r.Err.size() - 1) << "one line: " << r.Err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "r.txt"));
}

TEST(InputFiles, EveryInputHasTheLimitOfItsKindAndRefusesDevices) {
  TScratchDir dir;
  // Sparse files one byte over the limit: refused from their size, without a byte read.
  const auto sparse = [](const std::string& Name, std::size_t Size) {
    WriteFile(Name, "");
    std::filesystem::resize_file(Name, Size);
  };
  SweepWithResult(dir, [&](const std::string& Result) { sparse(Result, SweepResultInput.Limit + 1); });
  for (const auto& [args, code, kind] : EveryInput(dir, dir / "big")) {
    const std::string name =
        args.rfind("sweep aggregate", 0) == 0 ? dir / "sweep/runs/c1-s1.csv" : dir / "big";
    sparse(dir / "big", kind.Limit + 1);
    const TCliResult r = RunCli(args);
    EXPECT_EQ(r.Code, code) << args << "\n" << r.Err;
    EXPECT_NE(r.Err.find(std::string(kind.Name) + " '" + name + "': is " + std::to_string(kind.Limit + 1) +
                         " bytes, more than the limit of " + ByteSizeText(kind.Limit)),
              std::string::npos)
        << args << "\n"
        << r.Err;
  }
  // A link to an endless device is not opened.
  std::filesystem::remove(dir / "sweep/runs/c1-s1.csv");
  std::filesystem::create_symlink("/dev/zero", dir / "sweep/runs/c1-s1.csv");
  std::filesystem::create_symlink("/dev/zero", dir / "zero");
  for (const auto& [args, code, kind] : EveryInput(dir, dir / "zero")) {
    const TCliResult r = RunCli(args);
    EXPECT_EQ(r.Code, code) << args << "\n" << r.Err;
    EXPECT_NE(r.Err.find("': is neither a file nor a pipe"), std::string::npos) << args << "\n" << r.Err;
  }
}

TEST(InputFiles, MemoryRunningOutWhileTheFilesAreReadIsAnErrorNotAnAbort) {
#if defined(ZEL_UNDER_EMULATOR) || defined(__EMSCRIPTEN__) || defined(__SANITIZE_ADDRESS__) ||               \
    defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer or an emulator needs more address space than the limit leaves";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  GTEST_SKIP() << "a sanitizer needs more address space than the limit leaves";
#endif
#endif
  TScratchDir dir;
  // Within the size of a population file, but two million numbers take far more memory
  // than the limit leaves.
  std::string numbers = "[0";
  for (int i = 1; i < 2000000; ++i)
    numbers += ",0";
  WriteFile(dir / "numbers.json", numbers + "]");
  // Under limits from too little to enough, the file is refused for want of memory or read
  // (and refused as not a population); the command never aborts.
  for (rlim_t mib = 20; mib <= 80; mib += 4) {
    const pid_t child = fork();
    if (child == 0) {
      const int err = open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      const int out = open("/dev/null", O_WRONLY);
      if (err < 0 || out < 0 || dup2(err, 2) < 0 || dup2(out, 1) < 0) _exit(120);
      const rlimit space{mib << 20, mib << 20};
      if (setrlimit(RLIMIT_AS, &space) != 0) _exit(121);
      execl(ZELWORLD_CLI, ZELWORLD_CLI, "run", "--seed", "1", "--report", (dir / "r.txt").c_str(),
            "--load-population", (dir / "numbers.json").c_str(), static_cast<char*>(nullptr));
      _exit(122);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << mib << " MiB: ended by signal " << WTERMSIG(status);
    const std::string err = ReadFile(dir / "err");
    const std::string file = "population file '" + (dir / "numbers.json") + "': ";
    if (WEXITSTATUS(status) == 2) {
      EXPECT_EQ(err,
                "zelworld-cli: error: --load-population: " + file + "an array where an object is expected\n");
      continue;
    }
    EXPECT_EQ(WEXITSTATUS(status), 1) << mib << " MiB";
    EXPECT_EQ(err,
              "zelworld-cli: error: --load-population: " + file + "there is not enough memory to read it\n")
        << mib << " MiB";
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "r.txt"));
}

TEST(InputFiles, AnInputNamedAsAnOutputIsRefusedAndKept) {
  TScratchDir dir;
  const std::string config =
      R"({"format": "zelworld experiment", "version": 1, "settings": {"pop-size": 6}})";
  WriteFile(dir / "exp.json", config);
  WriteFile(dir / "env.json", R"({"degrees": [0, 50, 100]})");
  // Another name of the same file: a hard link, or where Node makes none, a symbolic one.
#ifdef __EMSCRIPTEN__
  std::filesystem::create_symlink(dir / "exp.json", dir / "again.json");
#else
  std::filesystem::create_hard_link(dir / "exp.json", dir / "again.json");
#endif
  const std::string seed = " --seed 1 --generations 2";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"run --config " + (dir / "exp.json") + " --report " + (dir / "exp.json"),
       "--report and --config name the same file"},
      {"run --config " + (dir / "exp.json") + " --report " + (dir / "r.txt") + " --metadata " +
           (dir / "again.json"),
       "--metadata and --config name the same file"},
      {"batch --environment " + (dir / "env.json") + " --report " + (dir / "r.txt") + " --series " +
           (dir / "../" + std::filesystem::path(dir.Path).filename().string() + "/env.json"),
       "--series and --environment name the same file"},
  };
  for (const auto& [args, message] : cases) {
    const TCliResult r = RunCli(args + seed);
    EXPECT_EQ(r.Code, 2) << args;
    EXPECT_NE(r.Err.find(message), std::string::npos) << r.Err;
  }
  EXPECT_EQ(ReadFile(dir / "exp.json"), config);
  EXPECT_EQ(ReadFile(dir / "env.json"), R"({"degrees": [0, 50, 100]})");
  EXPECT_FALSE(std::filesystem::exists(dir / "r.txt"));
}
