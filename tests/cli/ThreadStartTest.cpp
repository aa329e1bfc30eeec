// The real binary under a process limit, so that the system refuses evaluation threads:
// the run completes with the report of a single-threaded run, or fails with exit 1;
// it never hangs or aborts.

#include "CliTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <pwd.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {
// Starts the binary in a child limited to Limit processes of its user (root is exempt
// from the limit, so a root test runs the child as nobody) and waits at most a minute.
// Returns the exit status, or -1 when the child had to be killed.
int RunLimited(const TScratchDir& Dir, rlim_t Limit, const std::vector<std::string>& Args) {
  const passwd* nobody = getuid() == 0 ? getpwnam("nobody") : nullptr;
  if (nobody != nullptr && chown(Dir.Path.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) return -2;
  std::vector<const char*> argv = {ZELWORLD_CLI};
  for (const std::string& a : Args)
    argv.push_back(a.c_str());
  argv.push_back(nullptr);
  const std::string out = Dir / "out", err = Dir / "err";
  const pid_t child = fork();
  if (child == 0) {
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(120);
    if (nobody != nullptr && (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)) _exit(121);
    const rlimit limit{Limit, Limit};
    if (setrlimit(RLIMIT_NPROC, &limit) != 0) _exit(122);
    // The leak checker of a sanitizer build needs a thread of its own at exit.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    execv(argv[0], const_cast<char* const*>(argv.data()));
    _exit(123);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
} // namespace

TEST(ThreadStart, RefusedThreadsNeitherHangNorChangeTheRun) {
#ifdef ZEL_UNDER_EMULATOR
  GTEST_SKIP() << "the emulator itself cannot start its threads under a process limit";
#endif
  // Threads beyond the cores are not started at all (the command line caps them).
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core: a run asks for no second thread";
  TScratchDir dir;
  const std::vector<std::string> common = {"--pop-size", "30", "--generations", "5", "--seed", "3"};
  for (const char* command : {"run", "batch"})
    ASSERT_EQ(RunCli(std::string(command) + " --threads 1 --report " + (dir / command) +
                     " --pop-size 30 --generations 5 --seed 3")
                  .Code,
              0);
  for (rlim_t limit : {1, 2}) {
    for (const char* command : {"run", "batch"}) {
      std::vector<std::string> args = {command, "--threads", "3", "--report", dir / "limited.txt"};
      args.insert(args.end(), common.begin(), common.end());
      const int code = RunLimited(dir, limit, args);
      ASSERT_NE(code, -1) << "the run hung under a limit of " << limit << " processes";
      const std::string err = ReadFile(dir / "err");
      if (code == 1) {
        EXPECT_EQ(err.rfind("zelworld-cli: error: ", 0), 0u) << err;
        continue;
      }
      ASSERT_EQ(code, 0) << err;
      // Under a limit of one process every thread beyond the first is refused.
      if (limit == 1) {
        EXPECT_NE(err.find("evaluation threads"), std::string::npos) << "the shortfall is told: " << err;
      }
      EXPECT_EQ(ReadFile(dir / "limited.txt"), ReadFile(dir / command)) << command;
    }
  }
}
