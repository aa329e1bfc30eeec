#include "Experiment/CommandText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {
// What a POSIX shell makes of Word.
[[maybe_unused]] std::string ThroughShell(const std::string& Word) {
  const std::string command = "printf %s " + Word;
  std::FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  for (int c; (c = std::fgetc(pipe)) != EOF;)
    out += static_cast<char>(c);
  pclose(pipe);
  return out;
}
} // namespace

TEST(CommandText, FileNamesSurviveTheShellAndNamesSayWhatDiffered) {
#ifndef __EMSCRIPTEN__ // no shell to ask under Node
  for (const std::string name : {"plain/r.txt", "with space.txt", "it's $HOME `x` \"q\"", "-dash", "a*b"})
    EXPECT_EQ(ThroughShell(ShellQuoted(name)), name) << ShellQuoted(name);
#endif
  EXPECT_EQ(ShellQuoted("it's"), "'it'\\''s'");

  TExperimentSettings current, earlier;
  EXPECT_EQ(DifferenceName(earlier, 42, current), "seed 42");
  earlier.Reproduction = TReproduction::Both;
  earlier.RatesSelection = true;
  earlier.PopSize = 200;
  earlier.PMutation = 0.005;
  EXPECT_EQ(DifferenceName(earlier, 42, current), "both, rates, pop 200, p mut 0.005");
  // A negative probability cannot be taken for an option.
  current.PNoise = -0.5;
  EXPECT_NE(CommandLineText(current, false, 1, "r").find(" --p-noise=-0.5 "), std::string::npos);
}
