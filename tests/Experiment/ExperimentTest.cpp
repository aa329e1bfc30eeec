// The experiment layer: settings, stepping against the reports pinned in the golden
// files, the report lines, and the run loop with its observers and its gate.

#include "Experiment/Experiment.h"
#include "Experiment/Develop.h"
#include "Experiment/Report.h"
#include "Experiment/RunLoop.h"
#include "Experiment/RunObservers.h"
#include "ZEL/ZELAgentPopulation.h"

#include "../ScratchDir.h"

#include <gtest/gtest.h>

#include <cmath>

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
  return {.Reproduction = TReproduction::Both, .RatesSelection = true, .PopSize = 13, .Generations = 40};
}

// Everything the loop tells, in order, as text.
struct TTrace {
  std::vector<std::string> Events;
  TRunObserver Observer() {
    return {[this](const TRunStart& S) {
              Events.push_back("began " + std::to_string(S.Batch) + " " + std::to_string(S.FirstGeneration) +
                               "/" + std::to_string(S.Last) + " " + std::to_string(S.Environment.Count()));
            },
            [this](const TGenerationRecord& R) {
              Events.push_back("generation " + std::to_string(R.Generation));
            },
            [this](const TRunRecord& R) { Events.push_back("run " + std::to_string(R.Run)); },
            [this](const TRunEnd& E) {
              Events.push_back("ended " + std::to_string(E.Stopped) + " '" + E.StopLine + "' " +
                               std::to_string(E.Outcome.Generations) + (E.Batch ? " averages" : ""));
            }};
  }
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
  EXPECT_NO_THROW((TExperimentSettings{.PopSize = 1000, .Elements = 2048, .Blocks = 32}.Validate()))
      << "the bounds themselves are allowed";

  s.PCrossover = 1.5;
  s.PMutation = -0.2;
  s.PNoise = 1.0; // the interval is closed
  const auto corrections = s.Normalise();
  ASSERT_EQ(corrections.size(), 2u);
  EXPECT_EQ(std::make_tuple(corrections[0].Parameter, corrections[0].Given, corrections[0].Used,
                            corrections[1].Parameter, corrections[1].Given, corrections[1].Used),
            std::make_tuple("PCrossover", 1.5, 1.0, "PMutation", -0.2, 0.0));
  EXPECT_EQ(std::make_tuple(s.PCrossover, s.PMutation, s.PNoise), std::make_tuple(1.0, 0.0, 1.0));
  EXPECT_TRUE(s.Normalise().empty());
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
  EXPECT_EQ(ModeTitle(TReproduction::Phenotype, false), "Reproduction of ZELs alone (Elite)");
  EXPECT_EQ(ModeTitle(TReproduction::Both, true),
            "Coexistence of Agents with both reproduction types (Rates of Reproduction)");
}

TEST(RunLoop, UnwritableReportFailsBeforeAnythingIsDrawn) {
  TRandom random = Seeded(1);
  TExperiment e(TExperimentSettings{}, random);
  TScratchDir dir;
  const std::string bad = dir / "no-such-folder/report.txt";
  try {
    TReportWriter report(bad);
    FAIL() << "no error";
  } catch (const std::runtime_error& x) {
    EXPECT_NE(std::string(x.what()).find(bad), std::string::npos);
    EXPECT_NE(std::string(x.what()).find("No such file or directory"), std::string::npos);
  }
  EXPECT_EQ(random.GetSeed(), 0u) << "nothing was drawn";
}

// The observers hear the start, every generation and the end, in that order; the report, the
// best list and the series are those of the golden case.
TEST(RunLoop, ObserversFollowTheRunAndWriteItsFiles) {
  TScratchDir dir;
  const std::string file = dir / "report.txt";
  TRandom random = Seeded(3);
  TExperiment e(BothRates13(), random);
  TReportWriter report(file);
  TBestList best;
  TSeries series;
  TTrace trace;
  TRunLoop loop(e, false, {report.Observer(), best.Observer(), series.Observer(), trace.Observer()});
  EXPECT_TRUE(loop.Run());
  EXPECT_TRUE(loop.Ended());
  EXPECT_TRUE(loop.Outcome().Complete);
  EXPECT_EQ(ReportLines(file), ReportLines(Golden("run-both-rates-pop13.report.txt")));
  EXPECT_EQ(best.Text(), ReadFile(Golden("run-both-rates-pop13.best.txt")));
  EXPECT_EQ(series.Csv(), ReadFile(Golden("run-both-rates-pop13.series.csv")));
  ASSERT_EQ(trace.Events.size(), 43u);
  EXPECT_EQ(trace.Events.front(), "began 0 0/40 100");
  EXPECT_EQ(trace.Events[1], "generation 0");
  EXPECT_EQ(trace.Events[41], "generation 40");
  EXPECT_EQ(trace.Events.back(), "ended 0 '' 40");
  // Run again, an ended loop does nothing more.
  EXPECT_TRUE(loop.Run());
  EXPECT_EQ(trace.Events.size(), 43u);
}

// The gate is asked before every generation: Wait hands control back and the run goes on
// exactly where it was when run again; Stop ends it with the stop line after the generation
// reached, and the outcome is a valid partial one, the best so far.
TEST(RunLoop, TheGateWaitsAndStopsBetweenGenerations) {
  TScratchDir dir;
  const std::string waited = dir / "waited.txt", stopped = dir / "stopped.txt";
  const std::vector<std::string> whole = ReportLines(Golden("run-both-rates-pop13.report.txt"));
  {
    TRandom random = Seeded(3);
    TExperiment e(BothRates13(), random);
    TReportWriter report(waited);
    TTrace trace;
    TRunLoop loop(e, false, {report.Observer(), trace.Observer()});
    int asked = 0;
    // Every third question is answered with Wait.
    const TGate gate = [&] { return ++asked % 3 == 0 ? TGateAnswer::Wait : TGateAnswer::Go; };
    int returns = 0;
    while (!loop.Run(gate))
      ++returns;
    EXPECT_EQ(returns, 19); // forty generations let through by 59 answers
    EXPECT_EQ(trace.Events.size(), 43u);
  }
  EXPECT_EQ(ReportLines(waited), whole);
  for (int k : {0, 1, 7}) {
    TRandom random = Seeded(3);
    TExperiment e(BothRates13(), random);
    TReportWriter report(stopped);
    TTrace trace;
    std::vector<TGenerationRecord> records;
    TRunObserver keep;
    keep.Generation = [&](const TGenerationRecord& R) { records.push_back(R); };
    TRunLoop loop(e, false, {report.Observer(), trace.Observer(), keep});
    int steps = 0;
    EXPECT_TRUE(loop.Run([&] { return steps++ < k ? TGateAnswer::Go : TGateAnswer::Stop; }));
    std::vector<std::string> expected = whole;
    expected.resize(7 + static_cast<std::size_t>(k) + 1);
    expected.push_back("Stopped after generation " + std::to_string(k) + " of 40");
    EXPECT_EQ(ReportLines(stopped), expected);
    EXPECT_FALSE(loop.Outcome().Complete);
    EXPECT_EQ(loop.Outcome().Generations, k);
    EXPECT_EQ(trace.Events.back(),
              "ended 1 'Stopped after generation " + std::to_string(k) + " of 40' " + std::to_string(k));
    // The best of the generations reached is the best of the first one to reach its fitness,
    // and developed again it measures as it was scored.
    int best = -1;
    std::string program;
    for (const TGenerationRecord& r : records)
      if (r.GenFitMax > best) std::tie(best, program) = std::make_pair(r.GenFitMax, r.BestText);
    const TOutcome& o = loop.Outcome();
    EXPECT_EQ(
        std::make_tuple(o.MaxFitAll, o.BestAll.Fitness, o.Best.Measures.Fitness, o.Best.Developed.Count()),
        std::make_tuple(best, best, best, 100));
    EXPECT_EQ(o.BestAll.ZEL.ToText(), program);
  }
}

// A batch tells one record per run, asks the gate between runs, and closes with the averages
// of the runs done; stopped before its first run, it has none to give.
TEST(RunLoop, BatchesTellRunsAndStopBetweenThem) {
  const auto golden = ReportLines(Golden("batch-genotype-elite.report.txt"));
  TScratchDir dir;
  const std::string file = dir / "batch.txt";
  const TExperimentSettings s{.PopSize = 20, .Generations = 20};
  for (int k : {10, 3, 0}) {
    TRandom random = Seeded(12);
    TBatch b(s, random);
    TReportWriter report(file);
    TTrace trace;
    TSeries series;
    int asked = 0;
    TRunLoop(b, {report.Observer(), trace.Observer(), series.Observer()}).Run([&] {
      return asked++ < k ? TGateAnswer::Go : TGateAnswer::Stop;
    });
    EXPECT_EQ(asked, k == 10 ? 10 : k + 1);
    const auto lines = ReportLines(file);
    ASSERT_GE(lines.size(), 8u + static_cast<std::size_t>(k));
    for (std::size_t i = 0; i < 8 + static_cast<std::size_t>(k); ++i)
      EXPECT_EQ(lines[i], golden[i]) << k << " line " << i;
    ASSERT_EQ(series.Points().size(), static_cast<std::size_t>(k));
    if (k > 0) {
      EXPECT_EQ(series.Points().back().X, k - 1);
    }
    EXPECT_EQ(trace.Events.front(), "began 1 0/10 100");
    if (k == 10) {
      EXPECT_EQ(lines, golden);
      EXPECT_EQ(trace.Events.back(), "ended 0 '' 20 averages");
    } else if (k == 3) {
      EXPECT_EQ(lines[11], "_________________");
      EXPECT_EQ(lines[12], "Batch Averages for a batch of 3");
      EXPECT_EQ(lines.back(), "Stopped after run 3 of 10");
      EXPECT_EQ(trace.Events.back(), "ended 1 'Stopped after run 3 of 10' 20 averages");
    } else {
      EXPECT_EQ(lines.size(), 9u);
      EXPECT_EQ(lines.back(), "Stopped after run 0 of 10");
      EXPECT_EQ(trace.Events.back(), "ended 1 'Stopped after run 0 of 10' 0");
    }
  }
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
