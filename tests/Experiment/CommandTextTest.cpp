#include "Experiment/CommandText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
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

// The Seed box as the window and the page read it, and Continue's message naming the control.
TEST(CommandText, SeedBoxAndContinueMessages) {
  EXPECT_EQ(SeedFromText(" 12 "), 12u);
  EXPECT_EQ(SeedFromText("4294967295"), 4294967295u);
  for (const std::string bad : {"4294967296", "-1", "1e3", "12a", "00000000001"}) {
    try {
      SeedFromText(bad);
      ADD_FAILURE() << bad;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()), "Seed: '" + bad + "' is not a whole number from 0 to 4294967295");
    }
  }
  EXPECT_EQ(
      ContinueKeptMessage({TKeptSetting::Reproduction, 0, 2}, " (x)"),
      "Agent Reproduction: \"Phenotpe (ZEL)\" differs from the population's \"Both\", which Continue keeps");
  EXPECT_EQ(ContinueKeptMessage({TKeptSetting::Blocks, 3, 8}, " (x)"),
            "FS Blocks: 3 differs from the population's 8, which Continue keeps");
}
