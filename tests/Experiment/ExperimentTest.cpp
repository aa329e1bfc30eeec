// The experiment layer: settings, stepping against the reports pinned in the golden
// files, the report lines and the drivers, and the small rules the reports rest on,
// each worked out by hand.

#include "Experiment/Experiment.h"
#include "Display/Headless.h"
#include "Experiment/Develop.h"
#include "Experiment/Report.h"
#include "Experiment/RunDriver.h"
#include "ZEL/ZELAgentPopulation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
std::vector<std::string> ReportLines(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  EXPECT_TRUE(in.good()) << Path;
  std::stringstream s;
  s << in.rdbuf();
  const std::string text = s.str();
  std::vector<std::string> out;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      out.push_back(text.substr(start) + "<no CR LF>");
      break;
    }
    out.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return out;
}

std::string Golden(const std::string& Name) {
  return std::string(ZEL_GOLDEN_DIR) + "/" + Name;
}

TRandom Seeded(std::uint32_t Seed) {
  TRandom r;
  r.SetClock(Rng::CounterClock(Seed));
  return r;
}

// The golden case run-both-rates-pop13: both kinds, rates, 13 agents, 40 generations.
TExperimentSettings BothRates13() {
  TExperimentSettings s;
  s.ReproductionType = 2;
  s.RatesSelection = true;
  s.PopSize = 13;
  s.Generations = 40;
  return s;
}

struct TDisplays {
  THeadlessProgress Bar;
  THeadlessChart Chart;
  THeadlessImage Image{20, 20};
  THeadlessMessageBox Box;
  TStringList Best;
  TRunDisplays Of() { return {Bar, Chart, Image, Best, Box, {}}; }
};
} // namespace

TEST(ExperimentSettings, ValidationNamesParameterValueAndRangeAndNormalisingListsCorrections) {
  TExperimentSettings s;
  EXPECT_NO_THROW(s.Validate());
  const std::vector<std::pair<std::function<void(TExperimentSettings&)>, std::string>> bad = {
      {[](auto& S) { S.PopSize = 1; }, "PopSize: 1 is outside 2..1000"},
      {[](auto& S) { S.Generations = 1001; }, "Generations: 1001 is outside 1..1000"},
      {[](auto& S) { S.Elements = 0; }, "Elements: 0 is outside 1..2048"},
      {[](auto& S) { S.Blocks = 33; }, "Blocks: 33 is outside 1..32"},
      {[](auto& S) { S.ReproductionType = 3; }, "ReproductionType: 3 is outside 0..2"},
      {[](auto& S) { S.PNoise = std::nan(""); }, "PNoise: nan is not a finite number"},
  };
  for (const auto& [change, message] : bad) {
    TExperimentSettings t;
    change(t);
    try {
      t.Validate();
      ADD_FAILURE() << "no error for " << message;
    } catch (const TSettingsError& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
  }
  TExperimentSettings e;
  e.PopSize = 1000;
  e.Elements = 2048;
  e.Blocks = 32;
  EXPECT_NO_THROW(e.Validate()) << "the bounds themselves are allowed";

  s.PCrossover = 1.5;
  s.PMutation = -0.2;
  s.PNoise = 1.0; // the interval is closed
  const auto corrections = s.Normalise();
  ASSERT_EQ(corrections.size(), 2u);
  EXPECT_EQ(corrections[0].Parameter, "PCrossover");
  EXPECT_EQ(corrections[0].Given, 1.5);
  EXPECT_EQ(corrections[0].Used, 1.0);
  EXPECT_EQ(corrections[1].Parameter, "PMutation");
  EXPECT_EQ(corrections[1].Used, 0.0);
  EXPECT_EQ(s.PCrossover, 1.0);
  EXPECT_EQ(s.PMutation, 0.0);
  EXPECT_EQ(s.PNoise, 1.0);
  EXPECT_TRUE(s.Normalise().empty());
}

TEST(Experiment, StepsGiveTheReportLinesAndAStopLeavesAValidPartialOutcome) {
  const auto golden = ReportLines(Golden("run-both-rates-pop13.report.txt"));
  ASSERT_EQ(golden.size(), 7u + 41u);
  TRandom random = Seeded(3);
  TExperiment e(BothRates13(), random);
  std::vector<TGenerationRecord> records = {e.Begin()};
  while (!e.Done())
    records.push_back(e.Step());
  ASSERT_EQ(records.size(), 41u);
  for (std::size_t g = 0; g < records.size(); ++g) {
    EXPECT_EQ(records[g].Generation, static_cast<int>(g));
    EXPECT_EQ(GenerationLine(records[g]), golden[7 + g]) << "generation " << g;
  }
  const TOutcome whole = e.Finish();
  EXPECT_TRUE(whole.Complete);
  EXPECT_EQ(whole.Generations, 40);

  // Stopped after k steps: the same records so far, and the best of those generations.
  for (int k : {0, 1, 7}) {
    TRandom again = Seeded(3);
    TExperiment s(BothRates13(), again);
    EXPECT_EQ(s.Begin(), records[0]);
    int best = records[0].MaxFitAll;
    for (int g = 1; g <= k; ++g) {
      EXPECT_EQ(s.Step(), records[static_cast<std::size_t>(g)]);
      best = std::max(best, records[static_cast<std::size_t>(g)].GenFitMax);
    }
    const TOutcome o = s.Finish();
    EXPECT_FALSE(o.Complete);
    EXPECT_EQ(o.Generations, k);
    EXPECT_EQ(o.MaxFitAll, best);
    EXPECT_EQ(o.BestAll.Fitness, best);
    // Developed again, the best agent measures as it was scored.
    EXPECT_EQ(o.Best.Measures.Fitness, best);
    EXPECT_EQ(o.Best.Developed.Count(), 100);
    // Its program is the best of the first generation that reached that fitness.
    for (int g = 0; g <= k; ++g)
      if (records[static_cast<std::size_t>(g)].GenFitMax == best) {
        EXPECT_EQ(o.BestAll.ZEL.ToText(), records[static_cast<std::size_t>(g)].BestText) << k;
        break;
      }
  }
}

TEST(Experiment, BatchRunsGiveTheBatchReportLines) {
  const auto golden = ReportLines(Golden("batch-genotype-elite.report.txt"));
  ASSERT_EQ(golden.size(), 8u + 10u + 4u);
  TExperimentSettings s;
  s.PopSize = 20;
  s.Generations = 20;
  TRandom random = Seeded(12);
  TBatch b(s, random);
  b.Begin();
  for (std::size_t k = 1; !b.Done(); ++k)
    EXPECT_EQ(RunLine(b.StepRun()), golden[7 + k]);
  EXPECT_EQ(AveragesLine(b.Finish()), golden[21]);
}

TEST(ReportLines, WorkedByHand) {
  TGenerationRecord g{0, 12.25, 70, 10, 70, 38, 70, "3A52F81347"};
  // The average rounds half away from zero in its eight characters.
  EXPECT_EQ(GenerationLine(g), "    0    12.3     70     10     70   38      70   3A52F81347");
  g.Generation = 1000;
  g.AvgFitness = 100;
  g.GenotypeRatio = 100;
  EXPECT_EQ(GenerationLine(g), " 1000   100.0     70     10     70   100      70   3A52F81347");
  EXPECT_EQ(RunLine({1, 62, 100, 17, 62, "3A52F81347"}), "    1     62   100     17      62   3A52F81347");
  EXPECT_EQ(RunLine({10, 5, 0, -1, 5, "00000"}), "   10      5   0     -1      5   00000");
  TBatchOutcome o;
  o.AvgFitness = 72.7;
  o.AvgGenotypeRatio = 84.4;
  o.AvgGenAllGenotype = -1;
  EXPECT_EQ(AveragesLine(o), " 72.70    84.40     -1.00");
  EXPECT_EQ(ModeTitle(0, false), "Reproduction of ZELs alone (Elite)");
  EXPECT_EQ(ModeTitle(2, true), "Coexistence of Agents with both reproduction types (Rates of Reproduction)");
  EXPECT_EQ(ModeTitle(3, true), "");
}

TEST(RunDriver, UnwritableReportFailsBeforeAnythingIsShownOrDrawn) {
  TRandom random = Seeded(1);
  TExperiment e(TExperimentSettings{}, random);
  TDisplays d;
  const std::string bad = (std::filesystem::temp_directory_path() / "no-such-folder-zel/report.txt").string();
  try {
    ::Run(e, bad, d.Of());
    FAIL() << "no error";
  } catch (const std::runtime_error& x) {
    EXPECT_NE(std::string(x.what()).find(bad), std::string::npos);
    EXPECT_NE(std::string(x.what()).find("No such file or directory"), std::string::npos);
  }
  EXPECT_FALSE(d.Bar.Visible);
  EXPECT_TRUE(d.Chart.AxisTitle.empty());
  EXPECT_TRUE(d.Box.Messages.empty());
  EXPECT_EQ(random.GetSeed(), 0u) << "nothing was drawn";
}

TEST(RunDriver, DisplaysFollowTheRecordsAndTheMessageComesLast) {
  const std::string file = (std::filesystem::temp_directory_path() / "zel_driver_report.txt").string();
  TRandom random = Seeded(3);
  TExperiment e(BothRates13(), random);
  TDisplays d;
  bool begun = false;
  TRunDisplays displays = d.Of();
  displays.AfterBegin = [&] {
    begun = true;
    EXPECT_EQ(e.Environment().Count(), 100);
  };
  const TOutcome o = ::Run(e, file, displays);
  EXPECT_TRUE(begun);
  EXPECT_TRUE(o.Complete);
  const auto golden = ReportLines(Golden("run-both-rates-pop13.report.txt"));
  EXPECT_EQ(ReportLines(file), golden);
  ASSERT_EQ(d.Best.size(), 41u);
  ASSERT_EQ(d.Chart.Series[0].size(), 41u);
  EXPECT_EQ(d.Chart.AxisMax, 40.0);
  EXPECT_EQ(d.Chart.AxisTitle, "Generations");
  EXPECT_EQ(d.Bar.Position, 1);
  ASSERT_EQ(d.Box.Messages.size(), 1u);
  EXPECT_EQ(d.Box.Messages[0], "Your Report on file " + file);
  std::filesystem::remove(file);
}

// Fitness rounds the normalised distance to a double before dividing: three elements whose
// degrees differ by 40 in all have H = 0.4 and H / 3 = 0.1333..., which as a double lies just
// below the third, so 5 / d is just above 37.5 and rounds to 38 (kept in extended
// precision it would be just below, giving 37).
TEST(Rules, FitnessOfANormalisedDistanceRoundedToDouble) {
  TFuzzySet developed, environment;
  for (int d : {50, 50, 50})
    developed.Add(d);
  for (int d : {90, 50, 50})
    environment.Add(d);
  EXPECT_EQ(developed.HammingDistance(environment), 0.4);
  EXPECT_EQ(Measure(developed, environment).Fitness, 38);
  EXPECT_EQ(FitnessFromHamming(0.4, 3), 38);
  EXPECT_EQ(FitnessFromHamming(0.15, 3), 100); // exactly 0.05: fitness is 100
  EXPECT_EQ(FitnessFromHamming(1.0, 4), 20);
}

TEST(Rules, EliteSizeRoundsToNearest) {
  // Truncated, 8 agents would keep 1 and 13 would keep 2.
  const std::vector<std::pair<int, int>> cases = {{2, 1},  {7, 1},  {8, 2},    {12, 2},
                                                  {13, 3}, {17, 3}, {100, 20}, {1000, 200}};
  for (const auto& [count, elite] : cases)
    EXPECT_EQ(EliteSize(count), elite) << count;
}

TEST(Rules, TheWheelTakesTheFirstRunningSumThatReachesThePoint) {
  // Fitness 50, 30, 20: running sums 50, 80, 100.
  const std::vector<std::int64_t> sums = {50, 80, 100};
  EXPECT_EQ(WheelIndex(sums, 0.0), 0);
  EXPECT_EQ(WheelIndex(sums, 50.0), 0); // a point on a sum belongs to that agent
  EXPECT_EQ(WheelIndex(sums, 50.5), 1);
  EXPECT_EQ(WheelIndex(sums, 80.0), 1);
  EXPECT_EQ(WheelIndex(sums, 99.9), 2);
  EXPECT_EQ(WheelPoint(0.5, 100), 50.0);
  EXPECT_EQ(WheelPoint(0.8, 100), 80.0);
  // A tie in the middle of a run of equal sums: the first of them.
  EXPECT_EQ(WheelIndex({10, 10, 10, 20}, 10.0), 0);
}

TEST(Develop, ShortProgramsDevelopTheBlocksTheyHaveAndSaySo) {
  TFuzzySet environment;
  TRandom random;
  environment.MakeEnvironment(random, 12, false);
  const std::uint32_t before = random.GetSeed();
  const TDevelopment d = DevelopProgram(random, "A310F0F772", 8, 12, environment);
  EXPECT_EQ(random.GetSeed(), Rng::SeedAfter(before, 8 * 18)) << "the temporary agent draws its chromosome";
  EXPECT_EQ(d.BlocksAsked, 8);
  EXPECT_EQ(d.BlocksDeveloped, 2);
  EXPECT_EQ(d.ShortfallText(), "Developed 2 of 8 blocks");
  EXPECT_EQ(d.Measures.Fitness, 24);
  const TDevelopment one = DevelopProgram(random, "A310F0F772", 1, 12, environment);
  EXPECT_EQ(one.BlocksDeveloped, 1);
  EXPECT_EQ(one.ShortfallText(), "");
  EXPECT_EQ(one.Developed.Values(), DevelopProgram(random, "A310F", 1, 12, environment).Developed.Values());
}
