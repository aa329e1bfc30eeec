// Sweeps: plans made and read (bad ones refused where they go wrong, corrected values and
// parameters that cannot act told), a sweep's runs against the golden series, the
// diversity of a population, and folders of results.

#include "Experiment/FileText.h"
#include "Experiment/SweepPlan.h"
#include "Experiment/SweepProvenance.h"
#include "Experiment/SweepRun.h"

#include "../ScratchDir.h"
#include "SweepTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
TSweepFactor Factor(const std::string& Parameter, const std::vector<std::string>& Values) {
  TSweepFactor f{{Parameter}, {}};
  for (const std::string& v : Values)
    f.Levels.push_back({v});
  return f;
}

bool Mentions(const std::vector<std::string>& Warnings, const std::string& Text) {
  return std::any_of(Warnings.begin(), Warnings.end(),
                     [&](const std::string& W) { return W.find(Text) != std::string::npos; });
}
} // namespace

TEST(SweepPlan, CrossProductOfTheVariedValuesWithTheSeedsOfEveryCondition) {
  TSweepDesign d;
  d.Vary = {Factor("reproduction", {"0", "both"}), Factor("pop-size", {"20", "+30", "40"})};
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
  EXPECT_TRUE(plan.Warnings.empty());

  const std::string csv = SweepPlanCsv(plan);
  EXPECT_EQ(csv.substr(0, Header.size()), Header);
  EXPECT_NE(
      csv.find("\nc2-s4294967294,reproduction=phenotype pop-size=30,4294967294,30,100,100,8,phenotype,0,1,1,"
               "0.001,0.0001\n"),
      std::string::npos)
      << csv;
  // Read back, the plan writes the same text: run ids, conditions, seeds and settings.
  EXPECT_EQ(SweepPlanCsv(ParseSweepPlan(csv, "plan.csv")), csv);

  // Bad designs name the option.
  TSweepFactor linked{{"p-mutation", "p-noise"}, {{"0.1", "0.2"}, {"0.3"}}};
  const std::vector<std::pair<TSweepDesign, std::string>> bad = {
      {{{Factor("pop-sise", {"2"})}, {}, 1, 1}, "--vary: 'pop-sise' is not a parameter"},
      {{{Factor("pop-size", {"2", "3", "2"})}, {}, 1, 1}, "--vary pop-size: 2 is given twice"},
      {{{Factor("p-noise", {"-1", "0.5", "3"})}, {}, 1, 1},
       "--vary p-noise: 3 is corrected into a value given already"},
      {{{Factor("blocks", {"1", "33"})}, {}, 1, 1}, "--vary blocks: 33 is outside 1..32"},
      {{{Factor("blocks", {"1"})}, {{"blocks", "2"}}, 1, 1}, "--vary: blocks is already set or varied"},
      {{{linked}, {}, 1, 1},
       "--vary p-mutation,p-noise: '0.3' has 1 value, one for each of the 2 parameters"},
      {{{}, {{"random-environment", "true"}}, 1, 1}, "--set random-environment: 'true' is not 0 or 1"},
      {{{}, {}, 2, 4294967295u}, "goes past the last seed"},
  };
  for (const auto& c : bad)
    EXPECT_NE(ThrownBy([&] { MakeSweepPlan(c.first); }).find(c.second), std::string::npos)
        << c.second << "\n got: " << ThrownBy([&] { MakeSweepPlan(c.first); });
}

TEST(SweepPlan, LinkedFactorsCorrectedValuesAndParametersThatCannotAct) {
  // Mutation and noise as one rate, against the three kinds of agents: the rate acts in
  // every condition, since each kind uses one of the two.
  TSweepDesign d;
  d.Vary = {Factor("reproduction", {"phenotype", "genotype", "both"}),
            {{"p-mutation", "p-noise"}, {{"0.001", "0.001"}, {"0.01", "0.02"}}}};
  d.Seeds = 1;
  TSweepPlan plan = MakeSweepPlan(d);
  ASSERT_EQ(plan.Runs.size(), 6u);
  EXPECT_EQ(plan.Runs[1].Condition, "reproduction=phenotype p-mutation=0.01 p-noise=0.02");
  EXPECT_EQ(plan.Runs[1].Settings.PNoise, 0.02);
  EXPECT_EQ(SweepFactors(plan),
            (std::vector<std::vector<std::string>>{{"reproduction"}, {"p-mutation", "p-noise"}}));
  EXPECT_TRUE(plan.Warnings.empty()) << plan.Warnings[0];

  // Mutation alone over program-only agents, noise over genotype agents, crossover under
  // the elite: each is named with the conditions where it cannot act.
  d.Vary = {Factor("reproduction", {"phenotype", "genotype"}), Factor("p-mutation", {"0.001", "0.01"})};
  plan = MakeSweepPlan(d);
  ASSERT_EQ(plan.Warnings.size(), 1u);
  EXPECT_EQ(plan.Warnings[0],
            "p-mutation is varied but cannot act in 2 of 4 conditions (program-only agents do not "
            "mutate, they take noise): 'reproduction=phenotype p-mutation=0.001', "
            "'reproduction=phenotype p-mutation=0.01'");
  d.Vary = {Factor("reproduction", {"genotype", "both"}), Factor("p-noise", {"0.001", "0.01"})};
  plan = MakeSweepPlan(d);
  ASSERT_EQ(plan.Warnings.size(), 1u);
  EXPECT_NE(
      plan.Warnings[0].find("p-noise is varied but cannot act in 2 of 4 conditions (genotype agents take no "
                            "noise, they mutate): 'reproduction=genotype p-noise=0.001'"),
      std::string::npos)
      << plan.Warnings[0];
  d.Vary = {Factor("rates-selection", {"0", "1"}), Factor("p-crossover", {"0.5", "1"})};
  plan = MakeSweepPlan(d);
  ASSERT_EQ(plan.Warnings.size(), 1u);
  EXPECT_NE(
      plan.Warnings[0].find("p-crossover is varied under elite selection in 2 of 4 conditions, where the "
                            "window fixes it at 1.0"),
      std::string::npos)
      << plan.Warnings[0];
  EXPECT_EQ(plan.Warnings[0].find("rates-selection=1"), std::string::npos);

  // A probability that a run corrects is corrected in the plan, with a warning.
  d.Vary = {Factor("p-mutation", {"0.5", "2"})};
  d.Set = {{"p-crossover", "-1"}};
  plan = MakeSweepPlan(d);
  EXPECT_EQ(plan.Runs[0].Settings.PCrossover, 1);
  EXPECT_EQ(plan.Runs[1].Settings.PMutation, 0);
  EXPECT_EQ(plan.Runs[1].Condition, "p-mutation=0");
  EXPECT_TRUE(Mentions(plan.Warnings, "--set p-crossover: -1 is outside 0..1; the runs use 1"));
  EXPECT_TRUE(Mentions(plan.Warnings, "--vary p-mutation: 2 is outside 0..1; the runs use 0"));
  // So is one of a plan written by hand, told once with its first line and the count.
  plan = ParseSweepPlan("run_id,condition,seed,p-noise\na,c,1,7\nb,c,2,7\n", "p.csv");
  EXPECT_EQ(plan.Runs[1].Settings.PNoise, 0);
  EXPECT_EQ(plan.Warnings,
            std::vector<std::string>{"p.csv:2:4 (p-noise): 7 is outside 0..1; the runs use 0 (on 2 lines)"});
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
      {head + "a,c,1,20,0,7\n", "p.csv:2: 6 fields, but the header has 5"},
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

TEST(SweepRun, EveryRunGivesTheSeriesOfTheSameSeededRunAndEveryMeasure) {
  // The golden case run-both-rates-pop13 as a line of a plan.
  TSweepRun run{"x", "c", 3, {}};
  run.Settings.Reproduction = TReproduction::Both;
  run.Settings.RatesSelection = true;
  run.Settings.PopSize = 13;
  run.Settings.Generations = 40;
  TSweepResultWriter result(run, {});
  std::vector<TGenerationRecord> records;
  TRunObserver keep;
  keep.Generation = [&](const TGenerationRecord& R) { records.push_back(R); };
  RunSweepLine(run, &result, {keep});
  const std::string csv = SweepResultCsv(result.Used(), result.Generations());
  // The series' columns are those of run --series, value for value; the settings are the
  // plan line's, the other measures the record's.
  const std::vector<TCsvRow> rows = ReadCsv(csv, "x.csv");
  const std::vector<std::string> used =
      ReadCsv("x,c,3,13,40,100,8,both,0,1,1,0.0001,0.0001", "plan")[0].Fields;
  ASSERT_EQ(rows.size(), records.size() + 1);
  std::string series = "x,MaxGen,w/ Genotype\n";
  for (std::size_t g = 0; g < records.size(); ++g) {
    const std::vector<std::string>& f = rows[g + 1].Fields;
    ASSERT_EQ(f.size(), 22u);
    EXPECT_EQ(std::vector<std::string>(f.begin(), f.begin() + 13), used);
    series += f[13] + "," + f[14] + "," + f[15] + "\n";
    EXPECT_EQ(std::stod(f[16]), records[g].AvgFitness);
    EXPECT_EQ(f[17] + " " + f[18] + " " + f[21], std::to_string(records[g].GenFitMin) + " " +
                                                     std::to_string(records[g].MaxFitAll) + " " +
                                                     SweepProgramVersion());
  }
  EXPECT_EQ(series, ReadSweepFile(fs::path(ZEL_GOLDEN_DIR) / "run-both-rates-pop13.series.csv"));
  EXPECT_EQ(SweepResultHeader().substr(SweepResultHeader().find(",x,")),
            ",x,MaxGen,w/ "
            "Genotype,avg_fitness,min_fitness,best_so_far,distinct_programs,mean_hamming,program_version");

  // A probability that the run corrects is recorded as used.
  run.Settings.PMutation = 2;
  run.Settings.Generations = 1;
  TSweepResultWriter corrected(run, {});
  RunSweepLine(run, &corrected);
  EXPECT_EQ(corrected.Used().Settings.PMutation, 0);
  EXPECT_NE(SweepResultCsv(corrected.Used(), corrected.Generations()).find(",1,0,0.0001,"),
            std::string::npos);
}

TEST(SweepRun, DiversityCountsDistinctProgramsAndBitsBlockByBlock) {
  TRandom random(5);
  TZELAgentPopulation population(random, 3, 2, 10, TReproduction::Phenotype);
  // Two blocks each: a = 0 0, b = 0 and operator 15, c = operator 15 and 0. The same blocks
  // in another order are another program; by position b and c differ in 8 bits (4 + 4), a
  // differs from each in 4, so the mean over the three pairs is 16/3.
  population.Agent(0).ZEL.FromText("0000000000");
  population.Agent(1).ZEL.FromText("000000000f");
  population.Agent(2).ZEL.FromText("0000f00000");
  TDiversity d = PopulationDiversity(population);
  EXPECT_EQ(d.DistinctPrograms, 3);
  EXPECT_DOUBLE_EQ(d.MeanHamming, 16.0 / 3);
  // Spread and periods have three bits each, shape and position four: 7, 7 against 0, 0 is
  // 6 bits; two equal programs count once and differ in nothing.
  population.Agent(1).ZEL.FromText("0077000000");
  population.Agent(2).ZEL.FromText("0000000000");
  d = PopulationDiversity(population);
  EXPECT_EQ(d.DistinctPrograms, 2);
  EXPECT_DOUBLE_EQ(d.MeanHamming, 12.0 / 3);
  // A missing block counts as all zeros bit by bit, but one zero block is another program
  // than two.
  population.Agent(2).ZEL.FromText("00000");
  d = PopulationDiversity(population);
  EXPECT_EQ(d.DistinctPrograms, 3);
  EXPECT_DOUBLE_EQ(d.MeanHamming, 12.0 / 3);

  // The fast count against the literal one, pair by pair, on populations of every shape:
  // fewer than eight agents, many of them, programs of up to 32 blocks, some programs
  // repeated and some shortened.
  for (const auto& [size, blocks] :
       std::vector<std::pair<int, int>>{{2, 1}, {7, 4}, {57, 7}, {300, 32}, {400, 3}}) {
    TZELAgentPopulation p(random, size, blocks, 10, TReproduction::Both);
    for (int a = 0; a + 3 < size; a += 5)
      p.Agent(a + 1).ZEL = p.Agent(a).ZEL;
    // Programs that share their first three blocks (a word of the fast count) and differ after.
    if (blocks > 3)
      for (int a = 1; a < size; ++a)
        p.Agent(a).ZEL.FromText(p.Agent(0).ZEL.ToText().substr(0, 15) + p.Agent(a).ZEL.ToText().substr(15));
    if (size > 10) p.Agent(9).ZEL.FromText(p.Agent(8).ZEL.ToText().substr(0, 5));
    // Neighbours of one program, then one a bit away from it (the last block among them).
    for (int a = size / 2; a + 2 < size; a += 7) {
      p.Agent(a).Decode();
      p.Agent(a + 1) = p.Agent(a + 2) = p.Agent(a);
      TZELAgent& apart = p.Agent(a + 2);
      const int bit = a * 7 % apart.Chromosome.BitCount;
      apart.Chromosome.SetBit(bit, !apart.Chromosome.GetBit(bit));
      apart.Decode();
    }
    const TDiversity fast = PopulationDiversity(p), literal = PopulationDiversityLiteral(p);
    EXPECT_EQ(fast.DistinctPrograms, literal.DistinctPrograms) << size;
    EXPECT_EQ(fast.MeanHamming, literal.MeanHamming) << size;
  }
}

TEST(SweepRun, ForeignResultsAreNamedButNotTemporaryFilesOrOtherKinds) {
  const TScratchDir dir;
  const TSweepPlan plan = ParseSweepPlan(Header + "a,c,1,6,1,10,1,genotype,0,0,1,0.0001,0.0001\n", "p.csv");
  fs::create_directory(dir / "runs");
  for (const char* name : {"old-run.csv", ".a.csv.Xy12ab", "notes.txt"})
    WriteWholeFile(dir / "runs/" + name, "x");
  const TSweepRunResult done = RunSweep(plan, dir.Path, {});
  EXPECT_EQ(done.Progress.Done, 1);
  EXPECT_EQ(done.Workers, 1);
  EXPECT_EQ(ForeignResults(plan, dir.Path), std::vector<std::string>{"old-run.csv"});
}

TEST(SweepRecord, ShardsOfOneHostStartedInOneMillisecondKeepAPartEach) {
  // Under WebAssembly every process has the same id; two shards that start in the same
  // millisecond on one host must still both be in the gathered record.
  TScratchDir dir;
  fs::create_directories(fs::path(dir.Path) / "runs");
  WriteWholeFile(SweepPlanPath(dir.Path).string(), "run_id\n");
  TSweepCommandRecord record{"run", {"sweep", "run"}, "2026-01-01T00:00:00.000Z", "", "host", 1, "0/2", ""};
  RecordSweepCommand(dir.Path, record);
  record.Shard = "1/2";
  RecordSweepCommand(dir.Path, record);
  const std::string whole = ReadSweepFile(fs::path(dir.Path) / "provenance.json");
  EXPECT_NE(whole.find("\"shard\": \"0/2\""), std::string::npos) << whole;
  EXPECT_NE(whole.find("\"shard\": \"1/2\""), std::string::npos) << whole;
}
