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
