// The aggregate of results written by hand: the tables of every measure, the comparison of
// conditions with every column of a hand-worked case, missing runs named, and result
// files with impossible values refused where they are wrong.

#include "Experiment/SweepAggregate.h"
#include "Experiment/FileText.h"
#include "Experiment/SweepPlan.h"
#include "Experiment/SweepRun.h"

#include "../ScratchDir.h"
#include "SweepTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
std::vector<std::string> Fields(const std::string& Line) {
  std::vector<std::string> fields;
  for (const TCsvRow& row : ReadCsv(Line, "row"))
    fields = row.Fields;
  return fields;
}

// The row of Table whose first fields are Start.
std::vector<std::string> RowStarting(const std::string& Table, const std::string& Start) {
  const std::size_t at = Table.find("\n" + Start);
  if (at == std::string::npos) return {};
  return Fields(Table.substr(at + 1, Table.find('\n', at + 1) - at - 1));
}

// A folder with a plan of three conditions that differ in blocks, one generation after the
// first, and results whose best fitness at generation 1 is Best[condition][run].
struct TSweepFolder {
  TScratchDir Dir;
  TSweepPlan Plan;
  explicit TSweepFolder(const std::vector<std::vector<int>>& Best) {
    std::string plan = Header;
    const char* names[] = {"a", "b", "c"};
    for (std::size_t c = 0; c < Best.size(); ++c)
      for (std::size_t r = 0; r < Best[c].size(); ++r)
        plan += std::string(names[c]) + std::to_string(r + 1) + "," + names[c] + "," + std::to_string(r + 1) +
                ",10,1,5," + std::to_string(c + 2) + ",genotype,0,0,1,0.0001,0.0001\n";
    WriteWholeFile(Dir / "plan.csv", plan);
    Plan = ParseSweepPlan(plan, "plan.csv");
    fs::create_directory(Dir / "runs");
    std::size_t line = 0;
    for (const std::vector<int>& runs : Best)
      for (int best : runs) {
        // Generation 0 has best 20; every other measure a possible value.
        const std::vector<TSweepGeneration> g = {
            {20, 100, 12.5, 5, 20, {7, 3.25}},
            {best, 100, std::min(15.0, 1.0 * best), 6, std::max(best, 20), {5, 2}}};
        Write(Plan.Runs[line++], g);
      }
  }
  void Write(const TSweepRun& Run, const std::vector<TSweepGeneration>& G) const {
    WriteWholeFile(SweepResultPath(Dir.Path, Run.RunId), SweepResultCsv(Run, G));
  }
  std::string Result(const std::string& RunId) const {
    return ReadSweepFile(SweepResultPath(Dir.Path, RunId));
  }
};
} // namespace

TEST(SweepAggregate, EveryMeasurePerGenerationAndMissingRunsNamed) {
  TSweepFolder f({{10, 20, 60}, {40, 60}});
  // b has one run of the two planned; a's third is empty, as a crash of the system can leave
  // a result written without waiting for the disk.
  fs::remove(SweepResultPath(f.Dir.Path, "b2"));
  const std::string third = f.Result("a3");
  fs::resize_file(SweepResultPath(f.Dir.Path, "a3"), 0);
  EXPECT_EQ(AggregateSweep(f.Dir.Path, {}).Missing, (std::vector<std::string>{"a3", "b2"}));
  WriteWholeFile(SweepResultPath(f.Dir.Path, "a3").string(), third);
  const TSweepAggregate a = AggregateSweep(f.Dir.Path, {});
  EXPECT_EQ(a.Planned, 5);
  EXPECT_EQ(a.Missing, std::vector<std::string>{"b2"});
  // Condition a, generation 1: 10, 20, 60: mean 30, sd sqrt(700) = 26.457513110645905,
  // t(0.975, 2) = 4.302652729749464, half width 4.302652729749464 x 26.457513110645905 / sqrt(3).
  const std::vector<std::string> row = RowStarting(a.Table, "a,2,best_fitness,1,");
  ASSERT_EQ(row.size(), 11u) << a.Table;
  EXPECT_EQ(
      std::vector<std::string>(row.begin(), row.begin() + 9),
      (std::vector<std::string>{"a", "2", "best_fitness", "1", "3", "3", "30", "26.457513110645905", "20"}));
  const double half = 4.3026527297494638523 * 26.457513110645905 / std::sqrt(3.0);
  EXPECT_NEAR(std::stod(row[9]), 30 - half, 1e-12);
  EXPECT_NEAR(std::stod(row[10]), 30 + half, 1e-12);
  EXPECT_EQ(a.Table.substr(0, a.Table.find('\n')),
            "condition,blocks,measure,generation,runs,planned,mean,sd,median,ci_low,ci_high");
  // Every measure, in the order of the tables; one run: no spread, no interval.
  for (const char* line :
       {"\na,2,avg_fitness,0,3,3,12.5,0,12.5,12.5,12.5\n", "\na,2,min_fitness,1,3,3,6,0,6,6,6\n",
        "\na,2,best_so_far,1,3,3,33.333333333333336,", "\na,2,genotype_percent,1,3,3,100,0,100,100,100\n",
        "\nb,3,distinct_programs,0,1,2,7,,7,,\n", "\nb,3,mean_hamming,0,1,2,3.25,,3.25,,\n"})
    EXPECT_NE(a.Table.find(line), std::string::npos) << line << "\n" << a.Table;
  std::size_t last = 0;
  for (const std::string& m : SweepMeasureNames()) {
    const std::size_t at = a.Table.find("\na,2," + m + ",0,");
    ASSERT_NE(at, std::string::npos) << m;
    EXPECT_GT(at, last) << m;
    last = at;
  }

  // The table reads back into curves for the plot, labelled by the varied setting.
  const std::vector<TAggregateCurve> curves = ReadSweepAggregate(a.Table, "aggregate.csv");
  ASSERT_EQ(curves.size(), 14u);
  EXPECT_EQ(curves[7].Label, "blocks=3");
  EXPECT_EQ(curves[7].Measure, "best_fitness");
  EXPECT_EQ(curves[7].Mean, (std::vector<double>{20, 40}));
  EXPECT_EQ(curves[0].High[1], std::stod(row[10]));

  // Only the measures asked for; with a bootstrap its interval lies within the values and is
  // the same every time.
  TAggregateOptions options;
  options.Measures = {"min_fitness", "best_fitness"};
  options.Bootstrap = 200;
  options.BootstrapSeed = 7;
  const TSweepAggregate boot = AggregateSweep(f.Dir.Path, options);
  EXPECT_EQ(boot.Table, AggregateSweep(f.Dir.Path, options).Table);
  EXPECT_NE(boot.Table.find("ci_high,boot_low,boot_high\n"), std::string::npos);
  EXPECT_NE(boot.Table.find("\na,2,min_fitness,0,"), std::string::npos);
  EXPECT_LT(boot.Table.find("\na,2,min_fitness,0,"), boot.Table.find("\na,2,best_fitness,0,"));
  EXPECT_EQ(boot.Table.find("avg_fitness"), std::string::npos);
  const std::vector<std::string> b = RowStarting(boot.Table, "a,2,best_fitness,1,");
  ASSERT_EQ(b.size(), 13u);
  EXPECT_GE(std::stod(b[11]), 10);
  EXPECT_LE(std::stod(b[12]), 60);
  options.Measures = {"fitness"};
  EXPECT_NE(ThrownBy([&] { AggregateSweep(f.Dir.Path, options); }).find("'fitness' is not a measure"),
            std::string::npos);
}

TEST(SweepAggregate, TheWholeComparisonRowOfAHandWorkedCase) {
  // a = 31..35, b = 36, 38, 40, 42, c = a's values again.
  const TSweepFolder f({{31, 32, 33, 34, 35}, {36, 38, 40, 42}, {35, 34, 33, 32, 31}});
  TAggregateOptions options;
  options.Bootstrap = 1000;
  const TSweepAggregate agg = AggregateSweep(f.Dir.Path, options);
  const std::string header =
      "measure,condition_a,condition_b,differs_in,generation_a,generation_b,n_a,n_b,mean_a,mean_b,sd_a,sd_b,"
      "diff,"
      "diff_low,diff_high,welch_t,welch_df,welch_p,welch_p_holm,mw_u,mw_method,mw_p,mw_p_holm,a12,hedges_g,"
      "boot_low,boot_high";
  EXPECT_EQ(agg.Comparison.substr(0, agg.Comparison.find('\n')), header);
  // a against b: a is 1..5 shifted by 30 and b 6, 8, 10, 12 shifted by 30. Welch (see the
  // statistics' test): t = -4.07619732292054, df = 4.74941451990632, p = 0.0106551654360567,
  // interval -9.84463638394009 .. -2.15536361605991. Every a below every b: U = 0, exact
  // p = 2 / C(9, 4) = 2/126, A12 = 0. Hedges' g = -2.57425659242935. Holm over the three
  // pairs of this measure: Welch p of a-b and b-c 0.010655..., of a-c 1 (equal values),
  // so a-b and b-c get 3 x 0.010655...; Mann-Whitney 2/126 twice and 1 (all tied
  // pairwise: z = 0), so 3 x 2/126.
  const std::vector<std::string> row = RowStarting(agg.Comparison, "best_fitness,a,b,");
  ASSERT_EQ(row.size(), 27u) << agg.Comparison;
  const std::vector<std::string> exact = {"best_fitness", "a", "b", "blocks", "1", "1", "5", "4", "33", "39"};
  EXPECT_EQ(std::vector<std::string>(row.begin(), row.begin() + 10), exact);
  const std::vector<std::pair<std::size_t, double>> numbers = {{10, 1.581138830084189666},
                                                               {11, 2.5819888974716112568},
                                                               {12, -6},
                                                               {13, -9.8446363839400916474},
                                                               {14, -2.1553636160599083526},
                                                               {15, -4.0761973229205447022},
                                                               {16, 4.749414519906323185},
                                                               {17, 0.010655165436056746068},
                                                               {18, 3 * 0.010655165436056746068},
                                                               {19, 0},
                                                               {21, 2.0 / 126},
                                                               {22, 6.0 / 126},
                                                               {23, 0},
                                                               {24, -2.5742565924293502938}};
  for (const auto& [column, value] : numbers)
    EXPECT_NEAR(std::stod(row[column]), value, 1e-9 * std::max(1.0, std::fabs(value))) << column;
  EXPECT_EQ(row[20], "exact");
  // The bootstrap of the difference lies within the differences of the extremes.
  EXPECT_GE(std::stod(row[25]), 36 - 35 - 12.0);
  EXPECT_LT(std::stod(row[25]), std::stod(row[26]));
  EXPECT_LE(std::stod(row[26]), -1.0);

  const std::vector<std::string> same = RowStarting(agg.Comparison, "best_fitness,a,c,");
  ASSERT_EQ(same.size(), 27u);
  EXPECT_EQ(same[18], "1");
  EXPECT_EQ(same[19], "12.5");
  EXPECT_EQ(same[20], "normal");
  EXPECT_EQ(same[21], "1");
  EXPECT_EQ(same[23], "0.5");
  // Where no run varies, nothing is tested: the fields stay empty.
  const std::vector<std::string> flat = RowStarting(agg.Comparison, "genotype_percent,a,b,");
  ASSERT_EQ(flat.size(), 27u);
  EXPECT_EQ(flat[12], "0");
  for (std::size_t c : {13u, 14u, 15u, 16u, 17u, 18u, 21u, 22u, 24u})
    EXPECT_EQ(flat[c], "") << c;

  // The summary names b above a and c, the two clear differences of the three pairs, by
  // the setting in which they differ.
  EXPECT_NE(agg.Summary.find("best_fitness at generation 1"), std::string::npos) << agg.Summary;
  EXPECT_NE(
      agg.Summary.find("2 of 3 pairs:\n  blocks 3 > 2: +6.00 (2.16 .. 9.84), Holm p 0.048, A12 1.00, g 2.57\n"
                       "  blocks 3 > 4: +6.00"),
      std::string::npos)
      << agg.Summary;

  // At another generation, and only the pairs that differ in one factor (here all of them).
  TAggregateOptions at;
  at.AtGeneration = 0;
  at.Pairs = TComparedPairs::OneFactor;
  const TSweepAggregate first = AggregateSweep(f.Dir.Path, at);
  EXPECT_EQ(RowStarting(first.Comparison, "best_fitness,a,b,")[4], "0");
  EXPECT_NE(first.Summary.find("pairs that differ in one factor"), std::string::npos);
  at.AtGeneration = 2;
  EXPECT_NE(ThrownBy([&] {
              AggregateSweep(f.Dir.Path, at);
            }).find("--at-generation 2: condition 'a' runs to generation 1"),
            std::string::npos);
}

TEST(SweepAggregate, ResultsWithImpossibleValuesOrOfAnotherPlanAreRefusedWhereTheyAreWrong) {
  const TSweepFolder f({{40, 50}, {60}});
  const std::string good = f.Result("a1");
  // Columns: 13 of the plan's line, x (14), MaxGen (15), w/ Genotype (16), avg_fitness
  // (17), min_fitness (18), best_so_far (19), distinct_programs (20), mean_hamming (21),
  // program_version (22). Row 3 is generation 1.
  const std::string line3 = good.substr(good.rfind("a1,"));
  const std::string prefix = line3.substr(0, line3.find(",1,40,") + 3);
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"150,100,15,6,150,5,2,1.0", ":3:15 (MaxGen): '150' is outside 5..100"},
      {"-5,100,15,6,20,5,2,1.0", ":3:15 (MaxGen): '-5' is outside 5..100"},
      {"29.5,100,15,6,29.5,5,2,1.0", ":3:15 (MaxGen): '29.5' is not a whole number"},
      {"1e308,100,15,6,40,5,2,1.0", ":3:15 (MaxGen): '1e308' is outside 5..100"},
      {"40,101,15,6,40,5,2,1.0", ":3:16 (w/ Genotype): '101' is outside 0..100"},
      {"40,100,45,6,40,5,2,1.0", ":3:17 (avg_fitness): '45' is not between the lowest and the best fitness"},
      {"40,100,15,41,40,5,2,1.0", ":3:18 (min_fitness): '41' is above the best fitness"},
      {"40,100,15,6,30,5,2,1.0", ":3:19 (best_so_far): '30', but the best fitness so far is 40"},
      {"40,100,15,6,40,11,2,1.0", ":3:20 (distinct_programs): '11' is outside 1..10"},
      {"40,100,15,6,40,5,36.5,1.0", ":3:21 (mean_hamming): '36.5' is outside 0..36"},
      {"40,100,15,6,40,5,x,1.0", ":3:21 (mean_hamming): 'x' is not a number"},
      {"40,100,15,6,40,5,2,", ":3:22 (program_version): the version is empty"},
      {"40,100,15,6,40,5,2,1.1",
       ":3:22 (program_version): '1.1' is not the version of the file's first row, '1.0'"},
      {"40,100,15,6,40,5,2", ":3: 21 fields, but the header has 22"},
  };
  for (const auto& [tail, message] : bad) {
    WriteWholeFile(SweepResultPath(f.Dir.Path, "a1"),
                   good.substr(0, good.rfind("a1,")) + prefix + tail + "\n");
    const std::string thrown = ThrownBy([&] { AggregateSweep(f.Dir.Path, {}); });
    EXPECT_NE(thrown.find("a1.csv" + message), std::string::npos) << message << "\n got: " << thrown;
  }
  // Another line's settings, generations missing, an earlier version's columns.
  std::string other = good;
  other.replace(other.find("a1,a,1,10,1,5,2"), 15, "a1,a,1,10,1,5,4");
  WriteWholeFile(SweepResultPath(f.Dir.Path, "a1"), other);
  EXPECT_NE(ThrownBy([&] {
              AggregateSweep(f.Dir.Path, {});
            }).find("a1.csv:2:7 (blocks): '4', but the plan has '2'"),
            std::string::npos);
  WriteWholeFile(SweepResultPath(f.Dir.Path, "a1"), good.substr(0, good.rfind("a1,")));
  EXPECT_NE(ThrownBy([&] {
              AggregateSweep(f.Dir.Path, {});
            }).find("a1.csv: 1 generations, the plan's line asks for 2"),
            std::string::npos);
  WriteWholeFile(SweepResultPath(f.Dir.Path, "a1"),
                 Header.substr(0, Header.size() - 1) + ",x,MaxGen,w/ Genotype\n");
  EXPECT_NE(ThrownBy([&] {
              AggregateSweep(f.Dir.Path, {});
            }).find("a1.csv:1: a result of an earlier version of ZELWorld, without the columns avg_fitness"),
            std::string::npos);

  // A result written by another version is read, and named.
  std::string older = good;
  for (std::size_t at; (at = older.find(",1.0\n")) != std::string::npos;)
    older.replace(at, 5, ",0.9\n");
  WriteWholeFile(SweepResultPath(f.Dir.Path, "a1"), older);
  WriteWholeFile(f.Dir / "runs/stray.csv", "x");
  const TSweepAggregate a = AggregateSweep(f.Dir.Path, {});
  EXPECT_EQ(a.OtherVersions, std::vector<std::string>{"a1.csv (0.9)"});
  EXPECT_EQ(a.Foreign, std::vector<std::string>{"stray.csv"});
  EXPECT_EQ(SweepProgramVersion(), "1.0");
}
