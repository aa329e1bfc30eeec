#include "CliTestSupport.h"

#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ZelCli;

namespace {
TCommandLine Parse(std::vector<std::string> Args) {
  Args.insert(Args.begin(), "zelworld-cli");
  std::vector<const char*> argv;
  for (const std::string& a : Args)
    argv.push_back(a.c_str());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}
} // namespace

TEST(CommandLine, RunDefaultsAreTheWindowsControls) {
  const TCommandLine line = Parse({"run", "--report", "r.txt"});
  ASSERT_EQ(line.Command, TCommand::Run);
  const TRunSettings& s = line.Run;
  EXPECT_EQ(s.PopSize, 100);
  EXPECT_EQ(s.Generations, 100);
  EXPECT_EQ(s.World.Elements, 100);
  EXPECT_EQ(s.Blocks, 8);
  EXPECT_EQ(s.ReproductionType, 1);
  EXPECT_FALSE(s.World.RandomEnvironment);
  EXPECT_FALSE(s.RatesSelection);
  EXPECT_EQ(s.PCrossover, 1.0);
  EXPECT_EQ(s.PMutation, 0.0001);
  EXPECT_EQ(s.PNoise, 0.0001);
  EXPECT_FALSE(s.World.Seed.has_value());
  EXPECT_EQ(s.Threads, 0);
  EXPECT_TRUE(line.Warnings.empty());
}

TEST(CommandLine, BatchReadsEveryOption) {
  const TCommandLine line = Parse({"batch",
                                   "--pop-size",
                                   "2",
                                   "--generations=1000",
                                   "--elements",
                                   "2048",
                                   "--blocks",
                                   "32",
                                   "--reproduction",
                                   "both",
                                   "--random-environment",
                                   "--rates-selection",
                                   "--p-crossover",
                                   "0.7",
                                   "--p-mutation",
                                   "1e-3",
                                   "--p-noise",
                                   "+0.5",
                                   "--report",
                                   "r",
                                   "--best-list",
                                   "b",
                                   "--series",
                                   "s",
                                   "--seed",
                                   "4294967295",
                                   "--threads",
                                   "2"});
  ASSERT_EQ(line.Command, TCommand::Batch);
  const TRunSettings& s = line.Run;
  EXPECT_EQ(s.PopSize, 2);
  EXPECT_EQ(s.Generations, 1000);
  EXPECT_EQ(s.World.Elements, 2048);
  EXPECT_EQ(s.Blocks, 32);
  EXPECT_EQ(s.ReproductionType, 2);
  EXPECT_TRUE(s.World.RandomEnvironment);
  EXPECT_TRUE(s.RatesSelection);
  EXPECT_EQ(s.PCrossover, 0.7);
  EXPECT_EQ(s.PMutation, 0.001);
  EXPECT_EQ(s.PNoise, 0.5);
  EXPECT_EQ(s.Report, "r");
  EXPECT_EQ(s.BestList, "b");
  EXPECT_EQ(s.Series, "s");
  EXPECT_EQ(s.World.Seed, 4294967295u);
  EXPECT_EQ(s.Threads, 2);
  EXPECT_EQ(Parse({"run", "--report", "r", "--reproduction", "phenotype"}).Run.ReproductionType, 0);
  EXPECT_EQ(Parse({"run", "--report", "r", "--reproduction", "1"}).Run.ReproductionType, 1);
}

TEST(CommandLine, RealsAreCorrectlyRoundedAndStrict) {
  EXPECT_EQ(ParseReal("--p", "0.1"), 0.1);
  EXPECT_EQ(ParseReal("--p", "0.30000000000000004"), 0.30000000000000004);
  EXPECT_EQ(ParseReal("--p", "-0.2"), -0.2);
  EXPECT_EQ(ParseReal("--p", ".5"), 0.5);
  // Halfway between 1 and the next double: ties to even gives 1.
  EXPECT_EQ(ParseReal("--p", "1.00000000000000011102230246251565404236316680908203125"), 1.0);
  for (const char* bad :
       {"", "abc", "1.0abc", " 1", "1 ", "+-1", "0x1p3", "inf", "-inf", "nan", "1,5", "1e999"}) {
    try {
      ParseReal("--p-noise", bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const TUsageError& e) {
      EXPECT_NE(std::string(e.what()).find(std::string("--p-noise: '") + bad + "'"), std::string::npos)
          << e.what();
    }
  }
}

TEST(CommandLine, UsageErrorsNameTheOptionAndTheReason) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "A subcommand is required"},
      {{"fly"}, "'fly' is not a subcommand"},
      {{"run"}, "--report is required"},
      {{"run", "--report"}, "--report"},
      {{"run", "--report", ""}, "--report: the file name is empty"},
      {{"run", "--report", "r", "--foo"}, "--foo"},
      {{"run", "--report", "r", "--pop-size", "1"}, "--pop-size: 1 is outside 2..1000"},
      {{"run", "--report", "r", "--pop-size", "1001"}, "--pop-size: 1001 is outside 2..1000"},
      {{"run", "--report", "r", "--generations", "0"}, "--generations: 0 is outside 1..1000"},
      {{"run", "--report", "r", "--elements", "2049"}, "--elements: 2049 is outside 1..2048"},
      {{"run", "--report", "r", "--blocks", "33"}, "--blocks: 33 is outside 1..32"},
      {{"run", "--report", "r", "--blocks", "3.5"}, "--blocks: '3.5' is not an integer"},
      {{"run", "--report", "r", "--threads", "-1"}, "--threads: -1 is outside 0..1024"},
      {{"run", "--report", "r", "--seed", "4294967296"}, "--seed: 4294967296 is outside 0..4294967295"},
      {{"run", "--report", "r", "--seed", "99999999999999999999"}, "--seed: 99999999999999999999 is outside"},
      {{"run", "--report", "r", "--reproduction", "3"}, "--reproduction: '3' is not one of"},
      {{"run", "--report", "r", "--p-crossover", "x"},
       "--p-crossover: 'x' is not a valid floating point value"},
      {{"batch", "--report", "a/r", "--series", "a/../a/r"}, "--series and --report name the same file"},
      {{"environment"}, "--elements is required"},
      {{"environment", "--elements", "0"}, "--elements: 0 is outside 1..2048"},
      {{"develop", "--elements", "5"}, "--program is required"},
      {{"develop", "--program", "", "--elements", "5"}, "--program: the program is empty"},
      {{"develop", "--program", "A310", "--elements", "5"}, "--program: 'A310' has 4 characters"},
      {{"develop", "--program", std::string(165, '0'), "--elements", "5"},
       "--program: 33 blocks, at most 32"},
      {{"develop", "--program", "00000A3 0F", "--elements", "5"}, "--program: ' ' in group 2 'A3 0F'"},
      {{"develop", "--program", "A310F", "--elements", "5", "--blocks", "0"}, "--blocks: 0 is outside 1..32"},
  };
  for (const auto& [args, message] : cases) {
    const TCliResult r = RunCli(args);
    EXPECT_EQ(r.Code, 2) << message;
    EXPECT_EQ(r.Err.find("zelworld-cli: error: "), 0u) << r.Err;
    EXPECT_NE(r.Err.find(message), std::string::npos) << r.Err;
    EXPECT_EQ(r.Err.find('\n'), r.Err.size() - 1) << "one line: " << r.Err;
    EXPECT_EQ(r.Out, "");
  }
}

TEST(CommandLine, ProbabilitiesOutsideTheIntervalArePassedOnWithAWarning) {
  const TCommandLine line =
      Parse({"run", "--report", "r", "--p-crossover", "1.5", "--p-mutation", "-0.2", "--p-noise", "1"});
  EXPECT_EQ(line.Run.PCrossover, 1.5);
  EXPECT_EQ(line.Run.PMutation, -0.2);
  EXPECT_EQ(line.Run.PNoise, 1.0);
  EXPECT_EQ(line.Warnings, (std::vector<std::string>{"--p-crossover 1.5 is outside 0..1; the run uses 1",
                                                     "--p-mutation -0.2 is outside 0..1; the run uses 0"}));
}

TEST(CommandLine, DevelopTakesItsBlockCountFromTheProgram) {
  TCommandLine line = Parse({"develop", "--program", "a310f00800", "--elements", "12", "--json"});
  ASSERT_EQ(line.Command, TCommand::Develop);
  EXPECT_EQ(line.Develop.Blocks, 2);
  EXPECT_EQ(line.Develop.World.Elements, 12);
  EXPECT_TRUE(line.Develop.Json);
  EXPECT_EQ(line.Warnings,
            (std::vector<std::string>{"--program: group 2 '00800' has a digit out of its field's "
                                      "range; it becomes the all-zero block"}));
  line = Parse({"develop", "--program", "A310F", "--elements", "12", "--blocks", "4"});
  EXPECT_EQ(line.Develop.Blocks, 4);
  EXPECT_TRUE(line.Warnings.empty());
}

TEST(CommandLine, EverySubcommandHasHelp) {
  for (const char* sub : {"run", "batch", "environment", "develop"}) {
    const TCliResult r = RunCli({sub, "--help"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_NE(r.Out.find(std::string("zelworld-cli ") + sub), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("--elements"), std::string::npos) << r.Out;
  }
  EXPECT_NE(RunCli({"--help"}).Out.find("develop"), std::string::npos);
}
