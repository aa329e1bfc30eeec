// zelworld-cli with files: experiment files against the same options, the record of a run
// repeating it, populations frozen and continued, environments of one's own, bad files.

#include "CliRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace ZelCli;
using namespace CliTest;

namespace {
// Report, best list and series of a command, written under Name.
struct TOutputs {
  std::string Report, Best, Series;
  friend bool operator==(const TOutputs&, const TOutputs&) = default;
};

TOutputs RunTo(const TScratchDir& Dir, const std::string& Name, const std::string& Command) {
  const TCliResult r = RunCli(Command + " --report " + (Dir / Name + ".txt") + " --best-list " +
                              (Dir / Name + ".best") + " --series " + (Dir / Name + ".csv"));
  EXPECT_EQ(r.Code, 0) << Command << "\n" << r.Err;
  return {ReadFile(Dir / Name + ".txt"), ReadFile(Dir / Name + ".best"), ReadFile(Dir / Name + ".csv")};
}

// The text after the first N lines.
std::string After(const std::string& Text, int N) {
  std::size_t at = 0;
  for (int i = 0; i < N; ++i)
    at = Text.find('\n', at) + 1;
  return Text.substr(at);
}
} // namespace

TEST(CliFiles, ExperimentFilesAgainstTheSameOptionsAndRecordsThatRepeatTheRun) {
  TScratchDir dir;
  const std::string options = "--reproduction both --rates-selection --pop-size 12 --generations 8 "
                              "--elements 40 --blocks 3 --p-mutation 0.01 --p-noise 0.02 --p-crossover 0.7";
  WriteFile(dir / "cfg.json", R"({"format": "zelworld experiment", "version": 1, "seed": 77,
    "settings": {"reproduction": "both", "rates-selection": true, "pop-size": 30, "generations": 8,
                 "elements": 40, "blocks": 3, "p-mutation": 0.01, "p-noise": 0.02, "p-crossover": 0.7}})");
  const TOutputs byOptions = RunTo(dir, "a", "run --seed 77 " + options);
  // The command line overrides the file.
  EXPECT_EQ(RunTo(dir, "b", "run --config " + (dir / "cfg.json") + " --pop-size 12"), byOptions);
  EXPECT_NE(RunTo(dir, "c", "run --config " + (dir / "cfg.json") + " --seed 78 --pop-size 12"), byOptions);
  EXPECT_NE(RunTo(dir, "c", "run --config " + (dir / "cfg.json") + " --pop-size 12 --elite-selection"),
            byOptions);

  // A record of a run without a seed repeats it, for a run and a batch, also with an
  // environment of one's own.
  WriteFile(dir / "env.json", RunCli("environment --elements 30 --random-environment --seed 9 --json").Out);
  for (const std::string& command :
       {"run " + options, std::string("batch --generations 3 --pop-size 6"),
        "run --pop-size 6 --generations 4 --environment " + (dir / "env.json")}) {
    const TOutputs first = RunTo(dir, "d", command + " --metadata " + (dir / "m.json"));
    const std::string record = ReadFile(dir / "m.json");
    EXPECT_NE(record.find("\"seed\": "), std::string::npos) << record;
    EXPECT_NE(record.find("\"threads\": "), std::string::npos) << record;
    EXPECT_EQ(RunTo(dir, "e", (command.substr(0, command.find(' '))) + " --config " + (dir / "m.json")),
              first)
        << command;
  }
  // The environment's size is the number of elements.
  EXPECT_NE(ReadFile(dir / "e.txt").find("Fitness Elements: 30 ZEL Blocks: 8"), std::string::npos);
}

TEST(CliFiles, ContinuedRunsEqualUninterruptedOnes) {
  TScratchDir dir;
  for (const char* kind : {"--reproduction phenotype --rates-selection --random-environment --pop-size 8",
                           "--reproduction both --pop-size 13"}) {
    const std::string settings = std::string(kind) + " --elements 50 --blocks 4 --p-noise 0.05 --seed 21";
    const TOutputs whole = RunTo(dir, "w", "run --generations 30 " + settings);
    const TOutputs first =
        RunTo(dir, "f", "run --generations 12 " + settings + " --save-population " + (dir / "p.json"));
    const TOutputs rest =
        RunTo(dir, "r",
              "run --load-population " + (dir / "p.json") + " --generations 18 --save-population " +
                  (dir / "p.json") + " --metadata " + (dir / "m.json"));
    // Header lines alike but for the generations; lines, best lists and series go on.
    EXPECT_EQ(After(first.Report, 7) + After(rest.Report, 7), After(whole.Report, 7)) << kind;
    EXPECT_NE(rest.Report.find("Number of Generations: 18\r\n"), std::string::npos);
    EXPECT_EQ(first.Best + rest.Best, whole.Best) << kind;
    EXPECT_EQ(first.Series + After(rest.Series, 1), whole.Series) << kind;
    // The record of a continued run says where it came from, and is not taken as a config.
    EXPECT_NE(ReadFile(dir / "m.json").find("\"continued-from\""), std::string::npos);
    const TCliResult replay = RunCli("run --report " + (dir / "x.txt") + " --config " + (dir / "m.json"));
    EXPECT_EQ(replay.Code, 2);
    EXPECT_NE(replay.Err.find("repeat it with --load-population"), std::string::npos) << replay.Err;
  }

  // Changed conditions: selection, probabilities, a new environment from a file or a seed.
  WriteFile(dir / "target.json",
            RunCli("environment --elements 50 --random-environment --seed 3 --json").Out);
  const std::string load = "run --load-population " + (dir / "p.json") + " --generations 5 ";
  const TOutputs fromFile =
      RunTo(dir, "g", load + "--rates-selection --p-mutation 0.5 --environment " + (dir / "target.json"));
  EXPECT_NE(fromFile.Report.find("(Rates of Reproduction)\r\n"), std::string::npos);
  EXPECT_NE(fromFile.Report.find("PMutation:0.50000"), std::string::npos);
  // The same environment drawn from its seed, as `environment` prints it.
  EXPECT_EQ(RunTo(dir, "h", load + "--rates-selection --p-mutation 0.5 --random-environment --seed 3"),
            fromFile);
}

TEST(CliFiles, BadFilesAndForbiddenChangesAreUsageErrorsAndWriteNothing) {
  TScratchDir dir;
  ASSERT_EQ(RunCli("run --pop-size 8 --generations 2 --elements 20 --blocks 2 --seed 1 --report " +
                   (dir / "r.txt") + " --save-population " + (dir / "p.json"))
                .Code,
            0);
  const std::string population = ReadFile(dir / "p.json");
  WriteFile(dir / "half.json", population.substr(0, population.size() / 2));
  WriteFile(dir / "env.json", R"({"degrees": [0, 50, 101]})");
  WriteFile(dir / "env3.json", R"({"degrees": [0, 50, 100]})");
  WriteFile(dir / "cfg.json", R"({"format": "zelworld experiment", "version": 2, "settings": {}})");
  const std::string load = "run --load-population " + (dir / "p.json") + " ";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {load + "--pop-size 9", "--pop-size: 9 differs from the population file's 8"},
      {load + "--blocks 3", "--blocks: 3 differs from the population file's 2"},
      {load + "--elements 21", "--elements: 21 differs from the population file's 20"},
      {load + "--reproduction both", "--reproduction: 2 differs from the population file's 1"},
      {load + "--environment " + (dir / "env3.json"),
       "--environment: 3 differs from the population file's 20"},
      {load + "--seed 4", "--seed: a continued run goes on with the generator of its population file"},
      {load + "--config " + (dir / "cfg.json"), "--config and --load-population do not go together"},
      {"run --load-population " + (dir / "half.json"),
       "--load-population: population file '" + (dir / "half.json") + "', at line "},
      {"run --load-population " + (dir / "none.json"), "cannot be opened: No such file or directory"},
      {"run --environment " + (dir / "env.json"),
       "--environment: environment file '" + (dir / "env.json") + "', at /degrees/2: 101 is outside 0..100"},
      {"batch --environment " + (dir / "env3.json") + " --elements 4",
       "--elements: 4 differs from the 3 degrees"},
      {"run --environment " + (dir / "env3.json") + " --random-environment", "do not go together"},
      {"run --config " + (dir / "cfg.json"), "at /version: version 2 is not supported"},
      {"develop --program A310F --environment " + (dir / "env.json"), "at /degrees/2: 101 is outside 0..100"},
      {"develop --program A310F", "--elements is required"},
  };
  for (const auto& [args, message] : cases) {
    const TCliResult r =
        RunCli(args + (args.rfind("develop", 0) == 0 ? "" : " --report " + (dir / "new.txt")));
    EXPECT_EQ(r.Code, 2) << args;
    EXPECT_EQ(r.Err.find('\n'), r.Err.size() - 1) << "one line: " << r.Err;
    EXPECT_NE(r.Err.find(message), std::string::npos) << r.Err << "\n  expected: " << message;
    EXPECT_FALSE(std::filesystem::exists(dir / "new.txt")) << args;
  }
  EXPECT_EQ(ReadFile(dir / "p.json"), population);

  // develop measures against an environment of one's own, which sets the elements.
  EXPECT_EQ(RunCli("develop --program A310F --environment " + (dir / "env3.json")).Out,
            "Degrees: 100,50,50\nCardinality:    2.00\nSubsethood:     0.50\nHamming:        1.50\n"
            "Fitness:            10\n");
}
