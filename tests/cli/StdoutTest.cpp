// Standard output that cannot be written: every subcommand fails with exit 1 and says so,
// instead of reporting success with an empty or cut output.

#include "CliTestSupport.h"

#include <gtest/gtest.h>

namespace {
std::vector<std::string> Commands(const TScratchDir& Dir) {
  const std::string files = " --report " + (Dir / "r.txt") + " --best-list " + (Dir / "b.txt") +
                            " --pop-size 4 "
                            "--generations 2 --seed 1";
  return {"run" + files,
          "batch" + files,
          "environment --elements 5 --seed 1",
          "environment --elements 5 --seed 1 --json",
          "develop --program A310F --elements 5 --seed 1",
          "develop --program A310F --elements 5 --seed 1 --json",
          "--help",
          "run --help",
          "--version"};
}

const std::string Expected = "zelworld-cli: error: cannot write standard output: No space left on device\n";
} // namespace

TEST(Stdout, TheRealBinaryOnAFullDevice) {
  TScratchDir dir;
  for (const std::string& args : Commands(dir)) {
    const TCliResult r = RunBinary(dir, args, ">/dev/full");
    EXPECT_EQ(r.Code, 1) << args;
    EXPECT_EQ(r.Err, Expected) << args;
  }
  // A closed standard output as well (Node opens /dev/null in its place).
#ifndef __EMSCRIPTEN__
  const TCliResult closed = RunBinary(dir, "environment --elements 5 --seed 1", ">&-");
  EXPECT_EQ(closed.Code, 1);
  EXPECT_EQ(closed.Err, "zelworld-cli: error: cannot write standard output: Bad file descriptor\n");
#endif
}
