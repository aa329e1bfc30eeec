// zelworld-cli in-process and as the real executable: usage errors, failures, the
// outputs of each command, and seeded runs repeated.

#include "CliRun.h"
#include "cli/Commands.h"
#include "cli/Output.h"

#include <gtest/gtest.h>

using namespace ZelCli;
using namespace CliTest;

namespace {

struct TRunFiles {
  std::string Report, BestList, Series;
  friend bool operator==(const TRunFiles&, const TRunFiles&) = default;
};

// A run or batch of 12 agents, 3 blocks, 40 elements and 6 generations.
TRunFiles RunInto(const TScratchDir& Dir, const std::string& Command, const std::string& Extra) {
  const TCliResult r =
      RunCli(Command + " --report " + (Dir / "r.txt") + " --best-list " + (Dir / "b.txt") + " --series " +
             (Dir / "s.csv") + " --pop-size 12 --generations=6 --elements 40 --blocks 3 " + Extra);
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, "Your Report on file " + (Dir / "r.txt") + "\n");
  // Nothing on standard error, but for the note of threads capped at a machine's cores.
  EXPECT_TRUE(r.Err.empty() || (r.Err.rfind("zelworld-cli: --threads ", 0) == 0 &&
                                std::count(r.Err.begin(), r.Err.end(), '\n') == 1))
      << r.Err;
  return {ReadFile(Dir / "r.txt"), ReadFile(Dir / "b.txt"), ReadFile(Dir / "s.csv")};
}

} // namespace

TEST(Cli, UsageErrorsExitTwoWithOneLineNamingTheOption) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "A subcommand is required"},
      {"run", "--report is required"},
      {"run --report r --foo", "--foo"},
      {"run --report r --pop-size x", "--pop-size: 'x' is not an integer"},
      {"run --report r --blocks 3.5", "--blocks: '3.5' is not an integer"},
      {"run --report r --pop-size 1", "--pop-size: 1 is outside 2..1000"},
      {"run --report r --seed 99999999999999999999", "--seed: 99999999999999999999 is outside"},
      {"run --report r --reproduction 3", "--reproduction: '3' is not one of"},
      {"run --report r --p-noise 1.0abc", "--p-noise: '1.0abc' is not a valid floating point value"},
      {"run --report r --p-noise +-1", "--p-noise: '+-1'"},
      {"run --report r --p-noise 1e999", "--p-noise: '1e999'"},
      {"batch --report a/r --series a/../a/r", "--series and --report name the same file"},
      {"develop --elements 5 --program A310", "--program: 'A310' has 4 characters"},
      {"develop --elements 5 --program " + std::string(165, '0'), "--program: 33 blocks, at most 32"},
  };
  for (const auto& [args, message] : cases) {
    const TCliResult r = RunCli(args);
    EXPECT_EQ(r.Code, 2) << args;
    EXPECT_EQ(r.Err.find("zelworld-cli: error: "), 0u) << r.Err;
    EXPECT_EQ(r.Err.find('\n'), r.Err.size() - 1) << "one line: " << r.Err;
    EXPECT_NE(r.Err.find(message), std::string::npos) << r.Err;
  }
}

TEST(Cli, SeededRunsRepeatWhateverTheThreads) {
  TScratchDir dir;
  const TRunFiles run = RunInto(dir, "run", "--seed 4242 --random-environment --reproduction both");
  EXPECT_EQ(RunInto(dir, "run", "--seed 4242 --random-environment --reproduction both"), run);
  EXPECT_EQ(run.Series.find("x,MaxGen,w/ Genotype\n0,"), 0u) << run.Series;
  EXPECT_EQ(run.Series.find(".0"), std::string::npos) << "integers print without a fraction";

  const TRunFiles batch = RunInto(dir, "batch", "--seed 17 --rates-selection --reproduction phenotype");
  EXPECT_EQ(RunInto(dir, "batch", "--seed 17 --rates-selection --reproduction phenotype"), batch);

  for (const char* command : {"run", "batch"})
    EXPECT_EQ(RunInto(dir, command, "--seed 99 --threads 1"), RunInto(dir, command, "--seed 99 --threads 2"))
        << command;

  // Without --seed the seed taken is printed, and repeats the run.
  const std::string small = "run --pop-size 4 --generations 2 --report ";
  const TCliResult unseeded = RunCli(small + (dir / "a.txt"));
  ASSERT_EQ(unseeded.Err.rfind("seed: ", 0), 0u) << unseeded.Err;
  const std::string seed = unseeded.Err.substr(6, unseeded.Err.find('\n') - 6);
  EXPECT_EQ(RunCli(small + (dir / "b.txt") + " --seed " + seed).Code, 0);
  EXPECT_EQ(ReadFile(dir / "a.txt"), ReadFile(dir / "b.txt"));
}

TEST(Cli, EnvironmentAndDevelopOutputs) {
  EXPECT_EQ(RunCli("environment --elements 12 --seed 5").Out,
            "Degrees: 33,33,33,33,100,13,50,56,100,66,66,66\nCardinality:    6.49\n");
  EXPECT_EQ(RunCli("environment --elements 12 --seed 0 --json").Out,
            "{\"degrees\": [33, 33, 33, 33, 100, 13, 50, 56, 100, 66, 66, 66], \"cardinality\": 6.49}\n");

  // develop measures the program against the environment (its outputs are pinned among the
  // golden cases); lower-case digits are read alike.
  const std::string develop = "develop --elements 12 --seed 3 --program ";
  const std::string json = RunCli(develop + "a310f0f772 --json").Out;
  EXPECT_EQ(json, ReadFile(std::string(ZEL_GOLDEN_DIR) + "/develop-json.out.txt"));
  // --blocks keeps the first blocks of the program; more blocks than it holds change nothing
  // but for a note.
  const TCliResult more = RunCli(develop + "A310F0F772 --blocks 9 --json");
  EXPECT_EQ(more.Out, json);
  EXPECT_EQ(more.Err, "zelworld-cli: Developed 2 of 9 blocks\n");
  EXPECT_EQ(RunCli(develop + "A310F0F772 --blocks 2").Err, "");
  EXPECT_EQ(RunCli(develop + "A310F0F772 --blocks 1").Out, RunCli(develop + "A310F").Out);
  // A group with a digit out of its field's range develops as the all-zero block.
  const TCliResult zeroed = RunCli(develop + "00800");
  EXPECT_EQ(zeroed.Out, RunCli(develop + "00000").Out);
  EXPECT_NE(zeroed.Err.find("group 1 '00800'"), std::string::npos) << zeroed.Err;

  // The formats of the measures and of doubles.
  TFuzzySet set;
  for (int d : {100, 50, 0})
    set.Add(d);
  const TMeasures given{1.5, 2.0 / 3.0, 12.125, 42};
  EXPECT_EQ(DevelopJson(set, given), "{\"degrees\": [100, 50, 0], \"cardinality\": 1.5, \"subsethood\": "
                                     "0.6666666666666666, \"hamming\": 12.125, \"fitness\": 42}\n");
  EXPECT_EQ(DevelopPlain(set, given), "Degrees: 100,50,0\nCardinality:    1.50\nSubsethood:     0.67\n"
                                      "Hamming:       12.13\nFitness:            42\n");
}

TEST(Cli, RealBinaryExitStatusesAndStreams) {
  TScratchDir dir;
  const std::string report = dir / "r.txt";
  TCliResult r = RunBinary(dir, "run --pop-size 4 --generations 2 --seed 11 --report '" + report + "'");
  EXPECT_EQ(r.Code, 0);
  EXPECT_EQ(r.Out, "Your Report on file " + report + "\n");
  EXPECT_EQ(r.Err, "") << "no progress bar when standard error is not a terminal";
  r = RunBinary(dir, "run --pop-size x --report '" + report + "'");
  EXPECT_EQ(r.Code, 2);
  EXPECT_EQ(r.Err, "zelworld-cli: error: --pop-size: 'x' is not an integer\n");
  const std::string missing = dir / "no/such/r.txt";
  r = RunBinary(dir, "batch --seed 1 --report '" + missing + "'");
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(r.Err,
            "zelworld-cli: error: Cannot create report file '" + missing + "': No such file or directory\n");
  r = RunBinary(dir, "--version");
  EXPECT_EQ(r.Code, 0);
  EXPECT_EQ(r.Out, "zelworld-cli " ZEL_VERSION "\n");
}

TEST(Cli, OutOfRangeProbabilitiesAreWarnedCorrectedAndRecordedAsTheRunUsedThem) {
  TScratchDir dir;
  const std::string small = " --seed 8 --pop-size 6 --generations 3 --rates-selection";
  const TCliResult first = RunCli("run --report " + (dir / "a.txt") + " --metadata " + (dir / "m.json") +
                                  small + " --p-crossover 1.5 --p-mutation -0.2 --p-noise 2");
  ASSERT_EQ(first.Code, 0);
  EXPECT_EQ(first.Err, "zelworld-cli: warning: --p-crossover 1.5 is outside 0..1; the run uses 1\n"
                       "zelworld-cli: warning: --p-mutation -0.2 is outside 0..1; the run uses 0\n"
                       "zelworld-cli: warning: --p-noise 2 is outside 0..1; the run uses 0\n");
  EXPECT_NE(ReadFile(dir / "a.txt").find("PCrossover:1.00000 PMutation:0.00000 PNoise:0.00000\r\n"),
            std::string::npos);
  const std::string record = ReadFile(dir / "m.json");
  EXPECT_NE(record.find("\"p-crossover\": 1.0,"), std::string::npos) << record;
  EXPECT_NE(record.find("\"p-mutation\": 0.0,"), std::string::npos) << record;
  EXPECT_NE(record.find("\"p-noise\": 0.0\n"), std::string::npos) << record;
  const TCliResult again = RunCli("run --report " + (dir / "b.txt") + " --config " + (dir / "m.json"));
  EXPECT_EQ(again.Code, 0);
  EXPECT_EQ(again.Err, "") << "nothing left to correct";
  EXPECT_EQ(ReadFile(dir / "b.txt"), ReadFile(dir / "a.txt"));
}

TEST(Cli, ThreadsRangeOverZeroTo1024AndStopAtTheCores) {
  TScratchDir dir;
  for (const char* bad : {"-1", "1025"}) {
    const TCliResult r = RunCli("run --report " + (dir / "r.txt") + " --threads " + bad);
    EXPECT_EQ(r.Code, 2) << bad;
    EXPECT_NE(r.Err.find(std::string("--threads: ") + bad + " is outside 0..1024"), std::string::npos)
        << r.Err;
  }
  const TRunFiles one = RunInto(dir, "run", "--seed 5 --threads 1");
  EXPECT_EQ(RunInto(dir, "run", "--seed 5 --threads 0"), one);
  // More threads than cores only wait for each other: the run uses the cores, and says so.
  const TCliResult many =
      RunCli("run --report " + (dir / "m.txt") + " --metadata " + (dir / "m.json") +
             " --pop-size 12 --generations=6 --elements 40 --blocks 3 --seed 5 --threads 1024");
  EXPECT_EQ(many.Code, 0);
  EXPECT_EQ(ReadFile(dir / "m.txt"), one.Report);
  const std::size_t at = many.Err.find(" available; the run uses ");
  ASSERT_NE(at, std::string::npos) << many.Err;
  EXPECT_EQ(many.Err.rfind("zelworld-cli: --threads 1024: ", 0), 0u) << many.Err;
  const int used = std::stoi(many.Err.substr(at + 25));
  EXPECT_GE(used, 1);
  EXPECT_LT(used, 1024);
  EXPECT_NE(ReadFile(dir / "m.json").find("\"threads\": " + std::to_string(used) + ","), std::string::npos);
}
