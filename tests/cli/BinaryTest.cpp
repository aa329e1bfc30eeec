// The real executable: exit statuses and the streams it writes.

#include "CliTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

namespace {
// Runs the binary with the shell; standard error goes to ErrFile.
TCliResult RunBinary(const std::string& Args, const std::string& ErrFile) {
  const std::string command = std::string("'") + ZELWORLD_CLI + "' " + Args + " 2>'" + ErrFile + "'";
  TCliResult r;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {-1, "", ""};
  char buffer[256];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    r.Out.append(buffer, n);
  const int status = pclose(pipe);
  r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.Err = ReadFile(ErrFile);
  return r;
}
} // namespace

TEST(Binary, ExitStatusesAndStreams) {
  TScratchDir dir;
  const std::string err = dir / "err.txt";
  const std::string report = dir / "r.txt";

  TCliResult r = RunBinary("run --report '" + report + "' --pop-size 4 --generations 2 --seed 11", err);
  EXPECT_EQ(r.Code, 0);
  EXPECT_EQ(r.Out, "Your Report on file " + report + "\n");
  EXPECT_EQ(r.Err, "") << "no progress bar when standard error is not a terminal";
  const std::string first = ReadFile(report);
  r = RunBinary("run --report '" + report + "' --pop-size 4 --generations 2 --seed 11", err);
  EXPECT_EQ(ReadFile(report), first);
  EXPECT_EQ(
      RunCli({"run", "--report", dir / "in.txt", "--pop-size", "4", "--generations", "2", "--seed", "11"})
          .Code,
      0);
  EXPECT_EQ(ReadFile(dir / "in.txt"), first);

  r = RunBinary("run --report '" + report + "' --pop-size x", err);
  EXPECT_EQ(r.Code, 2);
  EXPECT_EQ(r.Err, "zelworld-cli: error: --pop-size: 'x' is not an integer\n");
  EXPECT_EQ(ReadFile(report), first);

  r = RunBinary("batch --report '" + (dir / "none/r.txt") + "' --seed 1", err);
  EXPECT_EQ(r.Code, 1);
  EXPECT_NE(r.Err.find("none/r.txt"), std::string::npos) << r.Err;

  r = RunBinary("environment --elements 12 --seed 0 --json", err);
  EXPECT_EQ(r.Code, 0);
  EXPECT_EQ(r.Out.find("{\"degrees\": [33, 33, 33, 33, 100, 13, 50, 56, 100, 66, 66, 66], \"cardinality\": "),
            0u);
}
