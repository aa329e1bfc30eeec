#include "CliTestSupport.h"

#include "Display/Headless.h"
#include "FuzzySet/Random.h"
#include "ZEL/ZELAgent.h"
#include "ZEL/ZELAgentPopulation.h"
#include "cli/Output.h"

#include <gtest/gtest.h>

using namespace ZelCli;

namespace {
struct TRunFiles {
  std::string Report, BestList, Series;
  friend bool operator==(const TRunFiles&, const TRunFiles&) = default;
};

TRunFiles RunInto(const TScratchDir& Dir, const std::string& Command, std::vector<std::string> Extra) {
  std::vector<std::string> args = {Command,    "--report",    Dir / "r.txt", "--best-list", Dir / "b.txt",
                                   "--series", Dir / "s.csv", "--pop-size",  "12",          "--generations",
                                   "6",        "--elements",  "40",          "--blocks",    "3"};
  args.insert(args.end(), Extra.begin(), Extra.end());
  const TCliResult r = RunCli(args);
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, "Your Report on file " + (Dir / "r.txt") + "\n");
  return {ReadFile(Dir / "r.txt"), ReadFile(Dir / "b.txt"), ReadFile(Dir / "s.csv")};
}

// The engine called directly for 12 agents, 3 blocks and 40 elements, in the window's
// order of work: seed, population, environment (which may reseed), then the driver.
struct TDirect {
  TDirect(std::uint32_t Seed, int ReproductionType, bool RandomEnvironment)
      : Seeding(Seed), Population(12, 3, 40, ReproductionType) {
    Environment.MakeEnvironment(40, RandomEnvironment);
  }
  TRunFiles Files(const std::string& Report) const {
    return {ReadFile(Report), BestListText(Best), SeriesCsv(Chart)};
  }

  struct TSeeding {
    explicit TSeeding(std::uint32_t Seed) {
      Rng::SetClock(Rng::CounterClock(Seed));
      Rng::Randomize();
    }
  } Seeding;
  TZELAgentPopulation Population;
  TFuzzySet Environment;
  THeadlessProgress Bar;
  THeadlessChart Chart;
  THeadlessImage Image;
  THeadlessMessageBox Messages;
  TStringList Best;
};
} // namespace

TEST(Commands, SeededRunEqualsTheEngineCalledDirectly) {
  TScratchDir dir;
  const TRunFiles first =
      RunInto(dir, "run", {"--seed", "4242", "--random-environment", "--reproduction", "both"});
  EXPECT_EQ(RunInto(dir, "run", {"--seed", "4242", "--random-environment", "--reproduction", "both"}), first);

  TDirect e(4242, 2, true);
  e.Population.Run(6, dir / "direct.txt", 1.0, 0.0001, 0.0001, e.Bar, e.Environment, false, e.Chart, e.Image,
                   e.Best, e.Messages);
  EXPECT_EQ(first, e.Files(dir / "direct.txt"));
  const TStringList& best = e.Best;

  ASSERT_EQ(best.size(), 7u);
  EXPECT_EQ(first.BestList.substr(0, 16), best[0] + "\n");
  EXPECT_EQ(first.Series.find("x,MaxGen,w/ Genotype\n0,"), 0u);
  EXPECT_EQ(first.Series.find('\r'), std::string::npos);
  EXPECT_EQ(first.Series.find(".0"), std::string::npos) << "integers print without a fraction";
}

TEST(Commands, SeededBatchIsRepeatableAndEqualsTheEngine) {
  TScratchDir dir;
  const TRunFiles first =
      RunInto(dir, "batch", {"--seed", "17", "--rates-selection", "--reproduction", "phenotype"});
  EXPECT_EQ(RunInto(dir, "batch", {"--seed", "17", "--rates-selection", "--reproduction", "phenotype"}),
            first);

  TDirect e(17, 0, false);
  e.Population.RunBatch(12, 3, 40, 0, 6, 1.0, 0.0001, 0.0001, dir / "direct.txt", e.Bar, e.Environment, true,
                        e.Chart, e.Image, e.Best, e.Messages);
  EXPECT_EQ(first, e.Files(dir / "direct.txt"));
  EXPECT_EQ(std::count(first.BestList.begin(), first.BestList.end(), '\n'), 10);
}

TEST(Commands, ThreadCountDoesNotChangeResults) {
  TScratchDir dir;
  for (const char* command : {"run", "batch"}) {
    const TRunFiles one = RunInto(dir, command, {"--seed", "99", "--threads", "1"});
    EXPECT_EQ(RunInto(dir, command, {"--seed", "99", "--threads", "2"}), one) << command;
    EXPECT_EQ(RunInto(dir, command, {"--seed", "99"}), one) << command;
  }
}

TEST(Commands, UnseededRunPrintsASeedThatRepeatsIt) {
  TScratchDir dir;
  const TCliResult r = RunCli({"run", "--report", dir / "a.txt", "--pop-size", "4", "--generations", "2"});
  ASSERT_EQ(r.Code, 0);
  ASSERT_EQ(r.Err.rfind("seed: ", 0), 0u) << r.Err;
  const std::string seed = r.Err.substr(6, r.Err.find('\n') - 6);
  const TCliResult again =
      RunCli({"run", "--report", dir / "b.txt", "--pop-size", "4", "--generations", "2", "--seed", seed});
  ASSERT_EQ(again.Code, 0);
  EXPECT_EQ(again.Err, "");
  EXPECT_EQ(ReadFile(dir / "a.txt"), ReadFile(dir / "b.txt"));
}

TEST(Commands, OutOfRangeCrossoverIsWarnedAndCorrected) {
  TScratchDir dir;
  const TCliResult r = RunCli({"run", "--report", dir / "r.txt", "--pop-size", "4", "--generations", "1",
                               "--seed", "1", "--p-crossover", "1.5", "--p-mutation", "-0.2"});
  EXPECT_EQ(r.Code, 0);
  EXPECT_NE(r.Err.find("zelworld-cli: warning: --p-crossover 1.5 is outside 0..1; the run uses 1\n"),
            std::string::npos)
      << r.Err;
  EXPECT_NE(ReadFile(dir / "r.txt").find("PCrossover:1.00000 PMutation:0.00000 PNoise:0.00010\r\n"),
            std::string::npos);
}

TEST(Commands, FailuresKeepWhatWasWritten) {
  TScratchDir dir;
  WriteFile(dir / "b.txt", "old list\n");
  const std::string missing = dir / "no/such/r.txt";
  TCliResult r =
      RunCli({"run", "--report", missing, "--best-list", dir / "b.txt", "--generations", "1", "--seed", "1"});
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(r.Err,
            "zelworld-cli: error: Cannot create report file '" + missing + "': No such file or directory\n");
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(ReadFile(dir / "b.txt"), "old list\n");

  // A best list that cannot be written fails after the report is complete.
  std::filesystem::create_directory(dir.Path / "folder");
  r = RunCli({"run", "--report", dir / "r.txt", "--best-list", dir / "folder", "--pop-size", "4",
              "--generations", "1", "--seed", "1"});
  EXPECT_EQ(r.Code, 1);
  EXPECT_NE(r.Err.find(dir / "folder"), std::string::npos) << r.Err;
  EXPECT_NE(ReadFile(dir / "r.txt").find("\r\n    1 "), std::string::npos);
}

TEST(Commands, EnvironmentPlainAndJson) {
  EXPECT_EQ(RunCli({"environment", "--elements", "12", "--seed", "5"}).Out,
            "Degrees: 33,33,33,33,100,13,50,56,100,66,66,66\nCardinality:    6.49\n");
  EXPECT_EQ(RunCli({"environment", "--elements", "1", "--seed", "5", "--json"}).Out,
            "{\"degrees\": [100], \"cardinality\": 1}\n");
  const TCliResult random =
      RunCli({"environment", "--elements", "5", "--random-environment", "--seed", "8", "--json"});
  TFuzzySet expected;
  Rng::SetClock(Rng::CounterClock(8));
  Rng::Randomize();
  expected.MakeEnvironment(5, true);
  EXPECT_EQ(random.Out, EnvironmentJson(expected));
}

TEST(Commands, DevelopMeasuresTheProgramAgainstTheEnvironment) {
  TFuzzySet environment, developed;
  environment.MakeEnvironment(12, false);
  TZELAgent agent(2, 12, false);
  agent.ZEL.FromText("A310F0F772");
  agent.Develop(developed);
  agent.Evaluate(developed, environment);
  const TMeasures m{developed.Cardinality(), developed.Subsethood(environment),
                    developed.HammingDistance(environment), agent.Fitness};

  const TCliResult json =
      RunCli({"develop", "--program", "a310f0f772", "--elements", "12", "--seed", "3", "--json"});
  EXPECT_EQ(json.Code, 0);
  EXPECT_EQ(json.Out, DevelopJson(developed, m));
  // More blocks than the program holds: the blocks that exist are developed.
  EXPECT_EQ(RunCli({"develop", "--program", "A310F0F772", "--elements", "12", "--seed", "3", "--blocks", "9",
                    "--json"})
                .Out,
            json.Out);
  const TCliResult plain = RunCli({"develop", "--program", "A310F0F772", "--elements", "12", "--seed", "3"});
  EXPECT_EQ(plain.Out, DevelopPlain(developed, m));

  // Fewer blocks than the program holds: only the first ones are developed.
  EXPECT_EQ(
      RunCli({"develop", "--program", "A310F0F772", "--elements", "12", "--seed", "3", "--blocks", "1"}).Out,
      RunCli({"develop", "--program", "A310F", "--elements", "12", "--seed", "3"}).Out);

  // An out-of-range group develops as the all-zero block.
  const TCliResult zeroed =
      RunCli({"develop", "--program", "00800", "--elements", "12", "--seed", "3", "--json"});
  EXPECT_EQ(zeroed.Out,
            RunCli({"develop", "--program", "00000", "--elements", "12", "--seed", "3", "--json"}).Out);
  EXPECT_NE(zeroed.Err.find("group 1 '00800'"), std::string::npos);
}

TEST(Output, FormatsOfTheMeasuresAndDoubles) {
  TFuzzySet set;
  for (int d : {100, 50, 0})
    set.Add(d);
  const TMeasures m{1.5, 2.0 / 3.0, 12.125, 42};
  EXPECT_EQ(DevelopJson(set, m), "{\"degrees\": [100, 50, 0], \"cardinality\": 1.5, \"subsethood\": "
                                 "0.6666666666666666, \"hamming\": 12.125, \"fitness\": 42}\n");
  EXPECT_EQ(DevelopPlain(set, m), "Degrees: 100,50,0\nCardinality:    1.50\nSubsethood:     0.67\n"
                                  "Hamming:       12.13\nFitness:            42\n");
  EXPECT_EQ(ShortestReal(63.0), "63");
  EXPECT_EQ(ShortestReal(0.1), "0.1");
  THeadlessChart chart;
  chart.AppendValue(0, 63);
  chart.AppendValue(1, 100);
  chart.AppendValue(0, 5);
  chart.AppendValue(1, 0);
  EXPECT_EQ(SeriesCsv(chart), "x,MaxGen,w/ Genotype\n0,63,100\n1,5,0\n");
}

TEST(Output, ProgressBarOnlyOnATerminal) {
  using TUnit = TProgressPrinter::TUnit;
  EXPECT_EQ(TProgressPrinter::Line(TUnit::Generation, 0, 100, std::chrono::seconds(0)),
            "[..............................] generation 0/100  0:00");
  EXPECT_EQ(TProgressPrinter::Line(TUnit::Generation, 50, 100, std::chrono::seconds(75)),
            "[###############...............] generation 50/100  1:15");
  // A batch's bar starts at 1 and is one past the runs done.
  EXPECT_EQ(TProgressPrinter::Line(TUnit::Run, 1, 10, std::chrono::seconds(0)),
            "[..............................] run 1/10  0:00");
  EXPECT_EQ(TProgressPrinter::Line(TUnit::Run, 11, 10, std::chrono::seconds(0)),
            "[##############################] run 10/10  0:00");

  TScratchDir dir;
  const std::vector<std::string> args = {"run",           "--report", dir / "r.txt", "--pop-size", "4",
                                         "--generations", "3",        "--seed",      "1"};
  EXPECT_EQ(RunCli(args, false).Err, "");
  const TCliResult tty = RunCli(args, true);
  EXPECT_NE(tty.Err.find("\r[##########....................] generation 1/3  0:00"), std::string::npos);
  // The line is cleared before the closing message and not drawn again afterwards.
  EXPECT_EQ(tty.Err.size() - tty.Err.rfind("\r\x1b[K"), 4u);
  EXPECT_EQ(tty.Out, "Your Report on file " + (dir / "r.txt") + "\n");
}
