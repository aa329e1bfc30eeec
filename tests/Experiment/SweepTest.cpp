// Sweeps: plans made and read (and bad ones refused where they go wrong), the statistics
// against values worked out independently, a sweep's runs against the golden series, and
// the aggregate of results written by hand.

#include "Experiment/FileText.h"
#include "Experiment/SweepAggregate.h"
#include "Experiment/SweepPlan.h"
#include "Experiment/SweepRun.h"
#include "Experiment/SweepStatistics.h"

#include "../ScratchDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
std::string ThrownBy(const std::function<void()>& F) {
  try {
    F();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

const std::string Header = "run_id,condition,seed,pop-size,generations,elements,blocks,reproduction,"
                           "random-environment,rates-selection,p-crossover,p-mutation,p-noise\n";
} // namespace

TEST(SweepPlan, CrossProductOfTheVariedValuesWithTheSeedsOfEveryCondition) {
  TSweepDesign d;
  d.Vary = {{"reproduction", {"0", "both"}}, {"pop-size", {"20", "+30", "40"}}};
  d.Set = {{"rates-selection", "1"}, {"p-mutation", "0.001"}};
  d.Seeds = 2;
  d.FirstSeed = 4294967294u;
  const TSweepPlan plan = MakeSweepPlan(d);
  ASSERT_EQ(plan.Runs.size(), 12u);
  EXPECT_EQ(plan.Conditions(), (std::vector<std::string>{
                                   "reproduction=phenotype pop-size=20", "reproduction=phenotype pop-size=30",
                                   "reproduction=phenotype pop-size=40", "reproduction=both pop-size=20",
                                   "reproduction=both pop-size=30", "reproduction=both pop-size=40"}));
  EXPECT_EQ(plan.Runs[9].RunId, "c5-s4294967295");
  EXPECT_EQ(plan.Runs[9].Seed, 4294967295u);
  EXPECT_EQ(plan.Runs[9].Settings.Reproduction, TReproduction::Both);
  EXPECT_EQ(plan.Runs[9].Settings.PopSize, 30);
  EXPECT_TRUE(plan.Runs[9].Settings.RatesSelection);
  EXPECT_EQ(plan.Runs[9].Settings.PMutation, 0.001);
  EXPECT_EQ(plan.Runs[9].Settings.Generations, 100); // unset: the window's default

  const std::string csv = SweepPlanCsv(plan);
  EXPECT_EQ(csv.substr(0, Header.size()), Header);
  EXPECT_NE(
      csv.find("\nc2-s4294967294,reproduction=phenotype pop-size=30,4294967294,30,100,100,8,phenotype,0,1,1,"
               "0.001,0.0001\n"),
      std::string::npos)
      << csv;
  const TSweepPlan again = ParseSweepPlan(csv, "plan.csv");
  ASSERT_EQ(again.Runs.size(), plan.Runs.size());
  for (std::size_t i = 0; i < plan.Runs.size(); ++i) {
    EXPECT_EQ(again.Runs[i].RunId, plan.Runs[i].RunId);
    EXPECT_EQ(again.Runs[i].Condition, plan.Runs[i].Condition);
    EXPECT_EQ(again.Runs[i].Seed, plan.Runs[i].Seed);
    EXPECT_EQ(again.Runs[i].Settings, plan.Runs[i].Settings);
  }

  // Bad designs name the option.
  const std::vector<std::pair<TSweepDesign, std::string>> bad = {
      {{{{"pop-sise", {"2"}}}, {}, 1, 1}, "--vary: 'pop-sise' is not a parameter"},
      {{{{"pop-size", {"2", "3", "2"}}}, {}, 1, 1}, "--vary pop-size: 2 is given twice"},
      {{{{"blocks", {"1", "33"}}}, {}, 1, 1}, "--vary blocks: 33 is outside 1..32"},
      {{{{"blocks", {"1"}}}, {{"blocks", "2"}}, 1, 1}, "--vary: blocks is already set or varied"},
      {{{}, {{"random-environment", "true"}}, 1, 1}, "--set random-environment: 'true' is not 0 or 1"},
      {{{}, {}, 2, 4294967295u}, "goes past the last seed"},
  };
  for (const auto& c : bad)
    EXPECT_NE(ThrownBy([&] { MakeSweepPlan(c.first); }).find(c.second), std::string::npos) << c.second;
}

TEST(SweepPlan, HandWrittenPlansAreReadAndBadOnesRefusedNamingLineAndColumn) {
  // Any column order, parameters left out take the defaults, quotes, CR LF and blank lines.
  const TSweepPlan plan = ParseSweepPlan("\xEF\xBB\xBF"
                                         "seed,condition,run_id,blocks\r\n"
                                         "7,\"a, \"\"quoted\"\"\",first,3\r\n\r\n"
                                         "8,\"a, \"\"quoted\"\"\",second,3",
                                         "p.csv");
  ASSERT_EQ(plan.Runs.size(), 2u);
  EXPECT_EQ(plan.Runs[1].RunId, "second");
  EXPECT_EQ(plan.Runs[1].Condition, "a, \"quoted\"");
  EXPECT_EQ(plan.Runs[1].Seed, 8u);
  EXPECT_EQ(plan.Runs[1].Settings.Blocks, 3);
  EXPECT_EQ(plan.Runs[1].Settings.PopSize, 100);
  EXPECT_EQ(CsvField("a, \"quoted\""), "\"a, \"\"quoted\"\"\"");

  const std::string head = "run_id,condition,seed,pop-size,rates-selection\n";
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"", "p.csv: the plan is empty"},
      {"run_id,condition,seed,popsize\n", "p.csv:1:4: unknown column 'popsize'"},
      {"run_id,condition,seed,seed\n", "p.csv:1:4: the column 'seed' appears twice"},
      {"run_id,condition\na,b\n", "p.csv:1: the column 'seed' is missing"},
      {head, "p.csv: the plan has no runs"},
      {head + "a,c,1,20,0\nb,c,x,20,0\n", "p.csv:3:3 (seed): 'x' is not an integer"},
      {head + "a,c,4294967296,20,0\n", "p.csv:2:3 (seed): 4294967296 is outside 0..4294967295"},
      {head + "a,c,1,1,0\n", "p.csv:2:4 (pop-size): 1 is outside 2..1000"},
      {head + "a,c,1,20,2\n", "p.csv:2:5 (rates-selection): '2' is not 0 or 1"},
      {head + "a,c,1,20\n", "p.csv:2: 4 fields, but the header has 5"},
      {head + "a,c,1,20,0\nb,d,1,20,0\n\na,e,2,20,0\n",
       "p.csv:5:1 (run_id): 'a' is already the run_id of line 2"},
      {head + "x/a,c,1,20,0\n", "p.csv:2:1 (run_id): 'x/a' has '/'"},
      {head + ".a,c,1,20,0\n", "p.csv:2:1 (run_id): '.a' begins with '.'"},
      {head + "a,,1,20,0\n", "p.csv:2:2 (condition): the condition is empty"},
      {head + "a,c,1,20,0\nb,c,2,20,1\n",
       "p.csv:3:5 (rates-selection): condition 'c' has 0 at line 2, here 1"},
      {"run_id,condition,seed,p-noise\na,c,1,nan\n", "p.csv:2:4 (p-noise): 'nan' is not a finite number"},
      {head + "a,\"c,1,20,0\n", "p.csv:2: a quoted field is not closed"},
  };
  for (const auto& c : bad) {
    const std::string thrown = ThrownBy([&] { ParseSweepPlan(c.first, "p.csv"); });
    EXPECT_NE(thrown.find(c.second), std::string::npos) << c.second << "\n got: " << thrown;
  }
}

TEST(SweepStatistics, StudentQuantileMeanSpreadMedianAndIntervals) {
  // The 97.5% quantiles of t, computed independently to 20 digits.
  const std::vector<std::pair<int, double>> t = {
      {1, 12.706204736174705},  {2, 4.3026527297494639},   {7, 2.3646242515927853},
      {29, 2.0452296421327043}, {30, 2.0422724563012383},  {31, 2.0395134463964085},
      {40, 2.0210753903062734}, {100, 1.9839715185235523}, {1000, 1.9623390808264085}};
  for (const auto& [df, quantile] : t)
    EXPECT_NEAR(StudentT975(df), quantile, 1e-7 * quantile) << df;

  // Mean 5, squares 32 over 7 degrees of freedom, median between the 4 and the 5.
  const TSummary s = Summarise({9, 4, 5, 2, 4, 7, 4, 5});
  EXPECT_EQ(s.N, 8);
  EXPECT_EQ(s.Mean, 5);
  EXPECT_EQ(s.Median, 4.5);
  ASSERT_TRUE(s.HasSpread);
  EXPECT_DOUBLE_EQ(s.Sd, std::sqrt(32.0 / 7));
  EXPECT_NEAR(s.Low, 5 - 2.3646242515927853 * std::sqrt(32.0 / 7) / std::sqrt(8.0), 1e-12);
  EXPECT_NEAR(s.High, 5 + 2.3646242515927853 * std::sqrt(32.0 / 7) / std::sqrt(8.0), 1e-12);
  const TSummary odd = Summarise({3, 1, 2});
  EXPECT_EQ(odd.Median, 2);
  const TSummary one = Summarise({42});
  EXPECT_EQ(one.Mean, 42);
  EXPECT_FALSE(one.HasSpread);
  EXPECT_EQ(Summarise({}).N, 0);

  EXPECT_EQ(Percentile({10, 20, 30, 40, 50}, 0.5), 30);
  EXPECT_EQ(Percentile({10, 20, 30, 40, 50}, 0.025), 11);
  EXPECT_EQ(Percentile({10, 20, 30, 40, 50}, 0.975), 49);

  // The bootstrap: the same seed gives the same interval, inside the values' range.
  const std::vector<double> values = {9, 4, 5, 2, 4, 7, 4, 5};
  TRandom a(1), b(1), c(2);
  const auto first = TBootstrap(8, 500, a).Interval(values);
  EXPECT_EQ(TBootstrap(8, 500, b).Interval(values), first);
  EXPECT_NE(TBootstrap(8, 500, c).Interval(values), first);
  EXPECT_LT(first.first, 5);
  EXPECT_GT(first.second, 5);
  EXPECT_GE(first.first, 2);
  EXPECT_LE(first.second, 9);
}

TEST(SweepRun, EveryRunGivesTheSeriesOfTheSameSeededRun) {
  // The golden case run-both-rates-pop13 as a line of a plan.
  TSweepRun run{"x", "c", 3, {}};
  run.Settings.Reproduction = TReproduction::Both;
  run.Settings.RatesSelection = true;
  run.Settings.PopSize = 13;
  run.Settings.Generations = 40;
  TSweepResultWriter result(run, {});
  RunSweepLine(run, {result.Observer()});
  const std::string csv = SweepResultCsv(run, result.Records());
  std::string series = "x,MaxGen,w/ Genotype\n";
  const std::string settings = "x,c,3,13,40,100,8,both,0,1,1,0.0001,0.0001,";
  for (std::size_t start = csv.find('\n') + 1; start < csv.size();) {
    const std::size_t end = csv.find('\n', start);
    ASSERT_EQ(csv.compare(start, settings.size(), settings), 0) << csv.substr(start, end - start);
    series += csv.substr(start + settings.size(), end + 1 - start - settings.size());
    start = end + 1;
  }
  EXPECT_EQ(series, ReadWholeFile(fs::path(ZEL_GOLDEN_DIR) / "run-both-rates-pop13.series.csv"));
}

TEST(SweepAggregate, StatisticsOfHandWrittenResultsAndMissingRunsNamed) {
  const TScratchDir dir;
  // Two conditions that differ in blocks, two generations; one run of b is missing.
  WriteWholeFile(dir / "plan.csv", Header + "a1,a,1,10,1,5,2,genotype,0,0,1,0.0001,0.0001\n"
                                            "a2,a,2,10,1,5,2,genotype,0,0,1,0.0001,0.0001\n"
                                            "a3,a,3,10,1,5,2,genotype,0,0,1,0.0001,0.0001\n"
                                            "b1,b,1,10,1,5,3,genotype,0,0,1,0.0001,0.0001\n"
                                            "b2,b,2,10,1,5,3,genotype,0,0,1,0.0001,0.0001\n"
                                            "b3,b,3,10,1,5,3,genotype,0,0,1,0.0001,0.0001\n");
  const TSweepPlan plan = ParseSweepPlan(ReadWholeFile(dir / "plan.csv"), "plan.csv");
  fs::create_directory(dir / "runs");
  // Best fitness of generations 0 and 1, and the genotype percentage.
  const std::vector<std::array<int, 4>> values = {
      {10, 20, 100, 100}, {20, 30, 100, 100}, {60, 70, 100, 100}, {40, 50, 100, 100}, {60, 80, 100, 100}};
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::vector<TGenerationRecord> records(2);
    for (std::size_t g = 0; g < 2; ++g) {
      records[g].Fitness = values[i][g];
      records[g].GenotypeRatio = values[i][2 + g];
    }
    const std::size_t line = i < 4 ? i : 5; // b2 is missing
    WriteWholeFile(SweepResultPath(dir.Path, plan.Runs[line].RunId),
                   SweepResultCsv(plan.Runs[line], records));
  }

  const TSweepAggregate a = AggregateSweep(dir.Path, {});
  EXPECT_EQ(a.Planned, 6);
  EXPECT_EQ(a.Missing, std::vector<std::string>{"b2"});
  // Condition a, generation 0: 10, 20, 60: mean 30, sd sqrt(700) = 26.457513110645905,
  // t(2) = 4.302652729749464, half width 4.302652729749464 * 26.457513110645905 / sqrt(3).
  const double half = 4.302652729749464 * 26.457513110645905 / std::sqrt(3.0);
  const std::string expected =
      "condition,blocks,measure,generation,runs,planned,mean,sd,median,ci_low,ci_high\n"
      "a,2,best_fitness,0,3,3,30,26.457513110645905,20," +
      SweepNumber(30 - half) + "," + SweepNumber(30 + half) + "\n";
  EXPECT_EQ(a.Table.substr(0, expected.size()), expected) << a.Table;
  EXPECT_NE(a.Table.find("\na,2,genotype_percent,1,3,3,100,0,100,100,100\n"), std::string::npos) << a.Table;
  // Condition b has two of its three runs: 40 and 60 at generation 0.
  EXPECT_NE(a.Table.find("\nb,3,best_fitness,0,2,3,50,14.142135623730951,50,"), std::string::npos) << a.Table;
  // At the last generation b is compared with a: 65 - 40 = 25, Welch's interval.
  EXPECT_NE(a.Comparison.find("\na,2,best_fitness,1,3,3,40,26.457513110645905,30,"), std::string::npos);
  EXPECT_NE(a.Comparison.find("\nb,3,best_fitness,1,2,3,65,21.213203435596427,65,"), std::string::npos);
  const std::size_t b = a.Comparison.find("\nb,3,best_fitness,1");
  EXPECT_NE(a.Comparison.find(",25,", b), std::string::npos) << a.Comparison;

  // The table reads back into curves for the plot, labelled by the varied setting.
  const std::vector<TAggregateCurve> curves = ReadSweepAggregate(a.Table, "aggregate.csv");
  ASSERT_EQ(curves.size(), 4u);
  EXPECT_EQ(curves[2].Label, "blocks=3");
  EXPECT_EQ(curves[2].Measure, "best_fitness");
  EXPECT_EQ(curves[2].Mean, (std::vector<double>{50, 65}));
  EXPECT_EQ(curves[0].Low[0], 30 - half);

  // With a bootstrap, its interval lies within the values; the same every time.
  const TSweepAggregate boot = AggregateSweep(dir.Path, {200, 7});
  EXPECT_EQ(boot.Table, AggregateSweep(dir.Path, {200, 7}).Table);
  EXPECT_NE(boot.Table.find("ci_high,boot_low,boot_high\n"), std::string::npos);

  // A result that does not belong to its line is refused, naming the file, line and column.
  std::string other = ReadWholeFile(SweepResultPath(dir.Path, "a3"));
  other.replace(other.find("a3,a,3,10,1,5,2"), 15, "a3,a,3,10,1,5,4");
  WriteWholeFile(SweepResultPath(dir.Path, "a3"), other);
  EXPECT_NE(
      ThrownBy([&] { AggregateSweep(dir.Path, {}); }).find("a3.csv:2:7 (blocks): '4', but the plan has '2'"),
      std::string::npos)
      << ThrownBy([&] { AggregateSweep(dir.Path, {}); });
}
