#include "Display/Headless.h"
#include "FuzzySet/Random.h"
#include "ZEL/ReportFormat.h"
#include "ZEL/ZELAgentPopulation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
std::string ReadFile(const std::string& Name) {
  std::ifstream in(Name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < Text.size()) {
    const std::size_t end = Text.find("\r\n", start);
    if (end == std::string::npos) {
      out.push_back(Text.substr(start) + "<no CR LF>");
      break;
    }
    out.push_back(Text.substr(start, end - start));
    start = end + 2;
  }
  return out;
}

struct TDisplays {
  THeadlessProgress Bar;
  THeadlessChart Chart;
  THeadlessImage Image{20, 20};
  THeadlessMessageBox Box;
  TStringList Best;
};

std::string TempFile(const std::string& Name) {
  return (std::filesystem::temp_directory_path() / Name).string();
}
} // namespace

TEST(ReportFormat, NumbersRoundHalfAwayFromZeroAtTheLastDigit) {
  EXPECT_EQ(FormatReal(12.25, 8, 1), "    12.3");
  EXPECT_EQ(FormatReal(12.75, 8, 1), "    12.8");
  EXPECT_EQ(FormatReal(12.35, 8, 1), "    12.3"); // stored as 12.3499999999999996...
  EXPECT_EQ(FormatReal(47.5, 8, 1), "    47.5");
  EXPECT_EQ(FormatReal(100.0, 8, 1), "   100.0");
  EXPECT_EQ(FormatReal(0.0001, 6, 5), "0.00010");
  EXPECT_EQ(FormatReal(1.0, 6, 5), "1.00000");
  EXPECT_EQ(FormatReal(0.0, 6, 5), "0.00000");
  EXPECT_EQ(FormatReal(-1.0, 6, 2), " -1.00");
  EXPECT_EQ(FormatReal(72.7, 6, 2), " 72.70");
  EXPECT_EQ(FormatReal(12.5, 8, 2), "   12.50");
  EXPECT_EQ(FormatReal(0.005, 6, 2), "  0.01"); // 0.005000000000000000104 -> 0.0050000000000000001 -> up
  EXPECT_EQ(FormatReal(123456.789, 4, 1), "123456.8");
  EXPECT_EQ(FormatReal(0.99999, 6, 2), "  1.00");
  EXPECT_EQ(FormatInt(5, 7), "      5");
  EXPECT_EQ(FormatInt(-1), "-1");
  EXPECT_EQ(FormatInt(1234567, 5), "1234567");
  EXPECT_EQ(ProbabilityInRange(1.5, 1.0), 1.0);
  EXPECT_EQ(ProbabilityInRange(-0.2, 0.0), 0.0);
  EXPECT_EQ(ProbabilityInRange(1.0, 0.0), 1.0);
}

TEST(Run, ReportLinesFollowTheGenerations) {
  const std::string file = TempFile("zel_run_report.txt");
  {
    std::ofstream old(file);
    old << "an older report that must disappear\n";
  }
  Rng::SetSeed(4242);
  TZELAgentPopulation p(6, 2, 30, 2);
  TFuzzySet env;
  env.MakeEnvironment(30, false);
  const std::uint32_t afterCreate = Rng::GetSeed();
  TDisplays d;
  p.Run(3, file, 1.5, -0.2, 1.0, d.Bar, env, false, d.Chart, d.Image, d.Best, d.Box);

  const auto lines = Lines(ReadFile(file));
  ASSERT_EQ(lines.size(), 7u + 4u);
  EXPECT_EQ(lines[0], "Coexistence of Agents with both reproduction types (Elite)");
  EXPECT_EQ(lines[1], "PopSize: 6 Number of Generations: 3");
  EXPECT_EQ(lines[2], "Fitness Elements: 30 ZEL Blocks: 2");
  EXPECT_EQ(lines[3], "PCrossover:1.00000 PMutation:0.00000 PNoise:1.00000");
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[5], "----------------------------------------");
  EXPECT_EQ(lines[6],
            "Gen#   Average    GenFitMax    GenFitMin    MaxFitAll           GenotypeRatio     Fitness   "
            "GenBestZEL");
  EXPECT_EQ(d.Box.Messages, (std::vector<std::string>{"Your Report on file " + file}));
  EXPECT_EQ(d.Best.size(), 4u);
  EXPECT_EQ(d.Chart.Series[0].size(), 4u);
  EXPECT_EQ(d.Chart.AxisTitle, "Generations");
  EXPECT_EQ(d.Chart.AxisMax, 3.0);
  EXPECT_TRUE(d.Bar.Visible);
  EXPECT_EQ(d.Bar.Position, 1);
  EXPECT_EQ(d.Bar.Max, 3);
  EXPECT_EQ(d.Image.UpdateCount, 3);

  // The same population replayed step by step.
  Rng::SetSeed(4242);
  TZELAgentPopulation q(6, 2, 30, 2);
  ASSERT_EQ(Rng::GetSeed(), afterCreate);
  for (int g = 0; g <= 3; ++g) {
    if (g > 0) q.NextGeneration(false, 1.0, 0.0, 1.0);
    q.Evaluate(env);
    q.UpdateStatistics();
    const std::string text = q.GenBest.ZEL.ToText();
    const std::string expect = FormatInt(g, 5) + FormatReal(q.AvgFitness, 8, 1) + FormatInt(q.GenFitMax, 7) +
                               FormatInt(q.GenFitMin, 7) + FormatInt(q.MaxFitAll, 7) + "   " +
                               std::to_string(q.GenotypeRatio()) + "      " +
                               std::to_string(q.GenBest.Fitness) + "   " + text;
    EXPECT_EQ(lines[static_cast<std::size_t>(7 + g)], expect);
    EXPECT_EQ(d.Best[static_cast<std::size_t>(g)], text);
    EXPECT_EQ(d.Chart.Series[0][static_cast<std::size_t>(g)], q.GenBest.Fitness);
    EXPECT_EQ(q.GenBest.Fitness, q.GenFitMax);
    EXPECT_EQ(text.size(), 10u);
  }
}

TEST(Run, UnwritableReportFailsBeforeAnythingIsShown) {
  Rng::SetSeed(1);
  TZELAgentPopulation p(4, 1, 10, 1);
  TFuzzySet env;
  env.MakeEnvironment(10, false);
  TDisplays d;
  const std::string bad = TempFile("no-such-folder-zel/report.txt");
  try {
    p.Run(2, bad, 1, 0, 0, d.Bar, env, true, d.Chart, d.Image, d.Best, d.Box);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(bad), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos);
  }
  EXPECT_FALSE(d.Bar.Visible);
  EXPECT_TRUE(d.Chart.AxisTitle.empty());
  EXPECT_TRUE(d.Box.Messages.empty());
}

TEST(Run, UnknownReproductionTypeLeavesTheTitleOut) {
  const std::string file = TempFile("zel_run_type3.txt");
  Rng::SetSeed(9);
  TZELAgentPopulation p(3, 1, 10, 0);
  p.ReproductionType = 3;
  TFuzzySet env;
  env.MakeEnvironment(10, false);
  TDisplays d;
  p.Run(1, file, 1, 0, 0, d.Bar, env, true, d.Chart, d.Image, d.Best, d.Box);
  const auto lines = Lines(ReadFile(file));
  ASSERT_EQ(lines.size(), 6u + 2u);
  EXPECT_EQ(lines[0], "PopSize: 3 Number of Generations: 1");
}

TEST(RunBatch, TenRunLinesAndAverages) {
  const std::string file = TempFile("zel_batch_report.txt");
  for (int type : {0, 1}) {
    Rng::SetSeed(77);
    TZELAgentPopulation p(5, 2, 20, type);
    TFuzzySet env;
    env.MakeEnvironment(20, false);
    TDisplays d;
    p.RunBatch(5, 2, 20, type, 2, 0.5, 0.01, 0.01, file, d.Bar, env, true, d.Chart, d.Image, d.Best, d.Box);
    const auto lines = Lines(ReadFile(file));
    ASSERT_EQ(lines.size(), 8u + 10u + 4u);
    EXPECT_EQ(lines[0], "Batch of 10 runs.");
    EXPECT_EQ(lines[1], type == 0 ? "Reproduction of ZELs alone (Rates of Reproduction)"
                                  : "Reproduction with GA with ZEL encoding (Rates of Reproduction)");
    EXPECT_EQ(lines[4], "PCrossover:0.50000 PMutation:0.01000 PNoise:0.01000");
    EXPECT_EQ(lines[7],
              "Run#     Max Fitness        GenotypeRatio     Gen All Genetic     Fitness   BestZEL");
    long fitSum = 0;
    for (int k = 1; k <= 10; ++k) {
      const std::string& line = lines[static_cast<std::size_t>(7 + k)];
      std::istringstream in(line);
      int run, maxFit, ratio, genAll, fit;
      std::string text;
      in >> run >> maxFit >> ratio >> genAll >> fit >> text;
      EXPECT_EQ(run, k);
      EXPECT_EQ(maxFit, fit);
      EXPECT_EQ(ratio, type == 0 ? 0 : 100);
      EXPECT_EQ(genAll, type == 0 ? -1 : 1);
      EXPECT_EQ(text, d.Best[static_cast<std::size_t>(k - 1)]);
      EXPECT_EQ(d.Chart.Series[0][static_cast<std::size_t>(k - 1)], fit);
      fitSum += fit;
    }
    EXPECT_EQ(lines[18], "_________________");
    EXPECT_EQ(lines[19], "Batch Averages for a batch of 10");
    EXPECT_EQ(lines[20], "Fitness     Fraction w/ genotype      Gen with all Genotypes");
    EXPECT_EQ(lines[21],
              FormatReal(fitSum / 10.0, 6, 2) + (type == 0 ? "     0.00     -1.00" : "   100.00      1.00"));
    EXPECT_EQ(d.Chart.AxisTitle, "Runs");
    EXPECT_EQ(d.Chart.AxisMax, 9.0);
    EXPECT_EQ(d.Bar.Position, 1);
    EXPECT_EQ(d.Bar.Max, 10);
  }
}

TEST(ReportFile, ASecondWriterIsRefusedBeforeAnythingIsCut) {
  const std::string name = TempFile("zel-report-lock.txt");
  {
    TReportFile first(name);
    first.WriteLine("first");
    try {
      TReportFile second(name);
      ADD_FAILURE() << "a second writer was let in";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot write report file '" + name + "': another process is writing it");
    }
    EXPECT_THROW(TReportFile::CheckWritable(name), std::runtime_error);
    first.WriteLine("second");
    first.Close();
  }
  EXPECT_EQ(ReadFile(name), "first\r\nsecond\r\n");
  // Closed, the report is free again, and a new writer starts it afresh.
  TReportFile::CheckWritable(name);
  EXPECT_EQ(ReadFile(name), "first\r\nsecond\r\n") << "a check changes nothing";
  TReportFile(name).WriteLine("new");
  EXPECT_EQ(ReadFile(name), "new\r\n");
  std::filesystem::remove(name);
  TReportFile::CheckWritable(name);
  EXPECT_FALSE(std::filesystem::exists(name)) << "a check leaves no file behind";
}
