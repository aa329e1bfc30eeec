// The freezer and the three kinds of files: a population frozen, written, read back and
// continued goes on exactly as if it had never stopped; files read back to what was
// written; every kind of bad file is refused with the place and the fault.

#include "Experiment/EnvironmentFile.h"
#include "Experiment/Experiment.h"
#include "Experiment/ExperimentFile.h"
#include "Experiment/FileText.h"
#include "Experiment/JsonReader.h"
#include "Experiment/PopulationFile.h"
#include "Experiment/Report.h"
#include "Experiment/RunLoop.h"
#include "Experiment/RunObservers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace {
TRandom Seeded(std::uint32_t Seed) {
  TRandom r;
  r.SetClock(Rng::CounterClock(Seed));
  return r;
}

std::vector<std::string> Lines(const std::vector<TGenerationRecord>& Records) {
  std::vector<std::string> out;
  for (const TGenerationRecord& r : Records)
    out.push_back(GenerationLine(r));
  return out;
}

// What a run leaves besides its report lines: the best of all generations, developed again.
std::string Closing(const TOutcome& O) {
  std::ostringstream s;
  s << O.Generations << ' ' << O.MaxFitAll << ' ' << O.GenotypeRatio << ' ' << O.BestAll.Fitness << ' '
    << O.BestAll.ZEL.ToText() << ' ' << O.Best.Measures.Fitness << ' ' << O.Best.Measures.Hamming;
  return s.str();
}

// A run to its last generation, frozen.
TFrozenPopulation RunAndFreeze(const TExperimentSettings& Settings, std::uint32_t Seed) {
  TRandom random = Seeded(Seed);
  TExperiment e(Settings, random);
  e.Begin();
  while (!e.Done())
    e.Step();
  return e.Freeze();
}

TFrozenPopulation ThroughText(const TFrozenPopulation& F) {
  return ReadPopulationText(PopulationText(F), "p.json");
}

// The error a text raises, or "" when it is read.
template <typename Read> std::string ErrorOf(Read R, const std::string& Text) {
  try {
    R(Text, "f.json");
  } catch (const TFileError& e) {
    return e.what();
  }
  return "";
}
} // namespace

// Forty generations at once against twenty, frozen through the file, and twenty more.
TEST(Freezer, ResumedRunsEqualUninterruptedOnes) {
  for (int type = 0; type <= 2; ++type)
    for (bool rates : {false, true})
      for (bool random : {false, true})
        for (int size : {8, 13}) {
          const std::string label = "type " + std::to_string(type) + " rates " + std::to_string(rates) +
                                    " random " + std::to_string(random) + " size " + std::to_string(size);
          TExperimentSettings s;
          s.Reproduction = TReproduction(type);
          s.RatesSelection = rates;
          s.RandomEnvironment = random;
          s.PopSize = size;
          s.Elements = 60;
          s.Blocks = 4;
          s.PMutation = 0.02;
          s.PNoise = 0.05;
          s.PCrossover = 0.8;
          s.Generations = 40;
          const std::uint32_t seed =
              500u + static_cast<std::uint32_t>(type * 8 + rates * 4 + random * 2 + size);

          TRandom whole = Seeded(seed);
          TExperiment w(s, whole);
          std::vector<TGenerationRecord> all = {w.Begin()};
          while (!w.Done())
            all.push_back(w.Step());

          s.Generations = 20;
          TRandom first = Seeded(seed);
          TExperiment a(s, first);
          std::vector<TGenerationRecord> parts = {a.Begin()};
          while (!a.Done())
            parts.push_back(a.Step());
          TRandom fresh; // the frozen state is the whole state
          TExperiment b(s, fresh);
          EXPECT_EQ(b.Thaw(ThroughText(a.Freeze())), parts.back()) << label;
          EXPECT_EQ(b.FirstGeneration(), 20);
          while (!b.Done())
            parts.push_back(b.Step());

          ASSERT_EQ(Lines(parts), Lines(all)) << label;
          EXPECT_EQ(Closing(b.Finish()), Closing(w.Finish())) << label;
          EXPECT_TRUE(b.Finish().Complete);
          // Frozen again at the end, the two populations are one.
          TFrozenPopulation fw = w.Freeze(), fb = b.Freeze();
          fw.Settings.Generations = fb.Settings.Generations;
          EXPECT_EQ(PopulationText(fb), PopulationText(fw)) << label;
        }
}

TEST(Freezer, ContinuedReportTakesUpTheNumbering) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  const std::string file = (dir / "zel_files_continued.txt").string();
  TExperimentSettings s;
  s.Reproduction = TReproduction::Both;
  s.RatesSelection = true;
  s.PopSize = 13;
  s.Generations = 20;
  // The golden case run-both-rates-pop13 stopped half way.
  const TFrozenPopulation frozen = RunAndFreeze(s, 3);

  TRandom again;
  TExperiment e(s, again);
  e.Thaw(frozen);
  TBestList best;
  TSeries series;
  int first = -1, last = -1;
  TRunObserver start;
  start.Began = [&](const TRunStart& S) {
    first = S.FirstGeneration;
    last = S.Last;
  };
  {
    TReportWriter report(file);
    TRunLoop loop(e, true, {report.Observer(), best.Observer(), series.Observer(), start});
    loop.Run();
    EXPECT_EQ(loop.Outcome().Generations, 40);
  }

  std::ifstream in(std::string(ZEL_GOLDEN_DIR) + "/run-both-rates-pop13.report.txt", std::ios::binary);
  std::stringstream golden;
  golden << in.rdbuf();
  std::ifstream got(file, std::ios::binary);
  std::stringstream report;
  report << got.rdbuf();
  const std::string g = golden.str(), r = report.str();
  // The same header but for the generations, then the lines of generations 21 to 40.
  const std::size_t header = g.find("GenBestZEL\r\n") + 12;
  std::string expected = g.substr(0, header) + g.substr(g.find("\r\n   21 ") + 2);
  expected.replace(expected.find("Generations: 40"), 15, "Generations: 20");
  EXPECT_EQ(r, expected);
  EXPECT_EQ(best.Texts().size(), 20u);
  ASSERT_EQ(series.Points().size(), 20u);
  EXPECT_EQ(series.Points().front().X, 21);
  EXPECT_EQ(first, 20);
  EXPECT_EQ(last, 40);
  std::filesystem::remove(file);
}

TEST(Freezer, ChangedConditions) {
  TExperimentSettings s;
  s.PopSize = 20;
  s.Generations = 10;
  s.Elements = 30;
  const TFrozenPopulation frozen = RunAndFreeze(s, 9);

  // Size, elements, blocks and kind stay; the message names what differs.
  const std::vector<std::pair<std::function<void(TExperimentSettings&)>, std::string>> bad = {
      {[](auto& S) { S.PopSize = 21; }, "PopSize: 21 differs from the frozen population's 20"},
      {[](auto& S) { S.Blocks = 7; }, "Blocks: 7 differs"},
      {[](auto& S) { S.Elements = 31; }, "Elements: 31 differs"},
      {[](auto& S) { S.Reproduction = TReproduction::Both; }, "ReproductionType: 2 differs"}};
  for (const auto& [change, message] : bad) {
    TExperimentSettings t = s;
    change(t);
    TRandom r;
    TExperiment e(t, r);
    try {
      e.Thaw(frozen);
      ADD_FAILURE() << message;
    } catch (const TThawError& x) {
      EXPECT_EQ(std::string(x.what()).substr(0, message.size()), message);
    }
  }
  TRandom r;
  TExperiment wrongSize(s, r);
  TFuzzySet small;
  small.Fill(29, 50);
  EXPECT_THROW(wrongSize.Thaw(frozen, &small), TThawError);

  // Probabilities and selection may change; the same environment given again changes nothing.
  TExperimentSettings t = s;
  t.RatesSelection = true;
  t.PMutation = 0.5;
  TRandom r1, r2;
  TExperiment same(t, r1), given(t, r2);
  EXPECT_EQ(same.Thaw(frozen), given.Thaw(frozen, &frozen.Environment));
  EXPECT_EQ(same.Step(), given.Step());
  EXPECT_EQ(same.Settings().PMutation, 0.5);

  // A new environment: the generation reached is scored against it, and the best of the run
  // is sought anew from there.
  TFuzzySet target;
  target.Fill(30, 100);
  TRandom r3;
  TExperiment changed(t, r3);
  const TGenerationRecord reached = changed.Thaw(frozen, &target);
  EXPECT_EQ(reached.Generation, 10);
  EXPECT_EQ(reached.MaxFitAll, reached.GenFitMax);
  const TOutcome o = changed.Finish();
  EXPECT_EQ(o.Best.Measures.Fitness, o.BestAll.Fitness);
  EXPECT_EQ(changed.Environment().Values(), target.Values());
  EXPECT_EQ(changed.Freeze().Environment.Values(), target.Values());
}

// The rules both front-ends take for a continued run: every kept setting that differs, in
// order, and the environment each choice gives.
TEST(Freezer, ContinueRules) {
  TExperimentSettings frozen, given;
  EXPECT_TRUE(KeptDifferences(given, frozen).empty());
  given.RatesSelection = true;
  given.PMutation = 0.3;
  given.Generations = 7;
  given.RandomEnvironment = true;
  EXPECT_TRUE(KeptDifferences(given, frozen).empty()) << "what a continued run may change";
  given.Reproduction = TReproduction::Phenotype;
  given.Elements = 12;
  given.PopSize = 30;
  const auto d = KeptDifferences(given, frozen);
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[0].Setting, TKeptSetting::PopSize);
  EXPECT_EQ(d[0].Given, 30);
  EXPECT_EQ(d[0].Frozen, 100);
  EXPECT_EQ(d[1].Setting, TKeptSetting::Elements);
  EXPECT_EQ(d[2].Setting, TKeptSetting::Reproduction);
  EXPECT_EQ(d[2].Given, 0);
  EXPECT_EQ(d[2].Frozen, 1);

  TFrozenPopulation f;
  f.Settings.Elements = 12;
  EXPECT_FALSE(ContinuedEnvironment(f, TEnvironmentChoice::Keep, nullptr, 7));
  TFuzzySet own;
  own.Fill(12, 40);
  EXPECT_EQ(ContinuedEnvironment(f, TEnvironmentChoice::Own, &own, 7)->Values(), own.Values());
  // As `zelworld-cli environment --elements 12 [--random-environment] --seed 7` prints them.
  EXPECT_EQ(ContinuedEnvironment(f, TEnvironmentChoice::NewRandom, nullptr, 7)->Values(),
            (std::vector<std::int32_t>{25, 67, 59, 77, 46, 85, 6, 85, 80, 68, 22, 24}));
  EXPECT_EQ(ContinuedEnvironment(f, TEnvironmentChoice::Fixed, nullptr, 7)->Values(),
            (std::vector<std::int32_t>{33, 33, 33, 33, 100, 13, 50, 56, 100, 66, 66, 66}));
}

TEST(Freezer, AnEnvironmentOfOnesOwnDrawsNothing) {
  // The fixed landscape given as a file runs as the fixed environment does.
  TExperimentSettings s;
  s.PopSize = 12;
  s.Generations = 5;
  s.Elements = 100;
  TFuzzySet fixed;
  TRandom unused;
  fixed.MakeEnvironment(unused, 37, false);
  TRandom a = Seeded(4), b = Seeded(4);
  s.Elements = 37;
  TExperiment plain(s, a);
  s.Elements = 100; // the environment sets the number of elements
  TExperiment own(s, b);
  own.SetEnvironment(ReadEnvironmentText(EnvironmentText(fixed)));
  EXPECT_EQ(own.Settings().Elements, 37);
  EXPECT_EQ(plain.Begin(), own.Begin());
  EXPECT_EQ(plain.Step(), own.Step());
}

TEST(Files, WhatIsWrittenReadsBack) {
  TExperimentFile f;
  f.Settings.Reproduction = TReproduction::Both;
  f.Settings.RatesSelection = true;
  f.Settings.PopSize = 37;
  f.Settings.PCrossover = 0.1 + 0.2; // not a short decimal: read back bit for bit
  f.Settings.PMutation = 1e-7;
  f.Settings.PNoise = 1.5; // allowed in the file; the run corrects it
  f.Seed = 4294967295u;
  const TExperimentFile back = ReadExperimentText(ExperimentText(f));
  EXPECT_EQ(back.Settings, f.Settings);
  EXPECT_EQ(back.Seed, f.Seed);
  EXPECT_FALSE(back.Environment);

  // With an environment of one's own, which sets the elements; and as a run's record.
  TFuzzySet own;
  for (int d : {0, 100, 42})
    own.Add(d);
  f.Environment = own;
  f.Settings.Elements = 3;
  TRunMetadata run;
  run.Outputs = {{"report", "r.txt"}};
  const TExperimentFile record = ReadExperimentText(ExperimentText(f, &run));
  EXPECT_EQ(record.Settings, f.Settings);
  ASSERT_TRUE(record.Environment);
  EXPECT_EQ(record.Environment->Values(), own.Values());
  EXPECT_TRUE(record.ContinuedFrom.empty());

  // Members left out keep the defaults.
  const TExperimentFile sparse =
      ReadExperimentText(R"({"format": "zelworld experiment", "version": 1, "settings": {"blocks": 2}})");
  TExperimentSettings expected;
  expected.Blocks = 2;
  EXPECT_EQ(sparse.Settings, expected);
  EXPECT_FALSE(sparse.Seed);

  // environment --json and develop --json outputs are environment files.
  EXPECT_EQ(ReadEnvironmentText(R"({"degrees": [0, 100, 42], "cardinality": 1.42})").Values(), own.Values());
  EXPECT_EQ(ReadEnvironmentText(EnvironmentText(own)).Values(), own.Values());

  // Files on disk, and one that is not there.
  const std::string path = (std::filesystem::temp_directory_path() / "zel_files_experiment.json").string();
  SaveExperimentFile(path, f);
  EXPECT_EQ(LoadExperimentFile(path).Settings, f.Settings);
  std::filesystem::remove(path);
  try {
    LoadExperimentFile(path);
    ADD_FAILURE();
  } catch (const TFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "experiment file '" + path + "': cannot be opened: No such file or directory");
  }
}

TEST(Files, BadFilesNameTheFileThePlaceAndTheFault) {
  TExperimentSettings s;
  s.PopSize = 3;
  s.Blocks = 1;
  s.Elements = 4;
  s.Generations = 2;
  const TJson good = TJson::parse(PopulationText(RunAndFreeze(s, 2)));

  using TEdit = std::function<void(TJson&)>;
  const std::vector<std::pair<TEdit, std::string>> population = {
      {[](TJson& J) { J["version"] = 2; },
       "population file 'f.json', at /version: version 2 is not supported; this program reads version 1"},
      {[](TJson& J) { J["format"] = "zelworld experiment"; },
       "at /format: \"zelworld experiment\" where \"zelworld population\" is expected"},
      {[](TJson& J) { J["agents"][1]["chromosome"] = "0101"; },
       "at /agents/1/chromosome: 4 bits where 18 (18 per block) are expected"},
      {[](TJson& J) { J["agents"][2]["chromosome"] = std::string(17, '0') + "2"; },
       "at /agents/2/chromosome: character 17 is not 0 or 1"},
      {[](TJson& J) { J["agents"][0]["fitness"] = "high"; },
       "at /agents/0/fitness: a string where an integer"},
      {[](TJson& J) { J["agents"][0]["fitness"] = 50.0; }, "at /agents/0/fitness: a number where an integer"},
      {[](TJson& J) { J["agents"][0]["kind"] = "robot"; }, "at /agents/0/kind: \"robot\" is not one of"},
      {[](TJson& J) { J["agents"][0]["program"] = "FFFFF"; },
       "at /agents/0/program: block 0 'FFFFF' has a field out of range"},
      {[](TJson& J) { J["agents"][0]["program"] = "0000"; }, "at /agents/0/program: 4 characters where 5"},
      {[](TJson& J) { J["agents"].erase(2); }, "at /agents: 2 agents where /settings/pop-size is 3"},
      {[](TJson& J) { J["settings"]["pop-size"] = 1; }, "at /settings/pop-size: 1 is outside 2..1000"},
      {[](TJson& J) { J["settings"].erase("blocks"); }, "at /settings: the member \"blocks\" is missing"},
      {[](TJson& J) { J["environment"]["degrees"][3] = 101; },
       "at /environment/degrees/3: 101 is outside 0..100"},
      {[](TJson& J) { J["environment"]["degrees"].erase(3); },
       "at /environment/degrees: 3 degrees where /settings/elements is 4"},
      {[](TJson& J) { J["statistics"]["fitness-sum"] = 1; },
       "at /statistics/fitness-sum: 1 where the agents give"},
      {[](TJson& J) { J["random-seed"] = -1; }, "at /random-seed: -1 is outside 0..4294967295"},
      {[](TJson& J) { J["extra"] = 1; }, "at /extra: \"extra\" is not a known member"},
  };
  for (const auto& [edit, message] : population) {
    TJson j = good;
    edit(j);
    const std::string error = ErrorOf(ReadPopulationText, j.dump());
    EXPECT_NE(error.find(message), std::string::npos) << error << "\n  expected: " << message;
  }
  // A genotype program that is not its chromosome's decoding.
  TJson j = good;
  for (auto& a : j["agents"])
    if (a["kind"] == "genotype") a["program"] = a["program"] == "00000" ? "00001" : "00000";
  EXPECT_NE(ErrorOf(ReadPopulationText, j.dump()).find("differs from the decoding of its chromosome"),
            std::string::npos);
  EXPECT_EQ(ErrorOf(ReadPopulationText, good.dump()), "");

  // Not JSON: truncated, empty, something else.
  const std::string text = good.dump();
  EXPECT_NE(ErrorOf(ReadPopulationText, text.substr(0, text.size() / 2))
                .find("population file 'f.json', at line 1"),
            std::string::npos);
  EXPECT_NE(ErrorOf(ReadPopulationText, "").find("not JSON"), std::string::npos);
  EXPECT_EQ(ErrorOf(ReadEnvironmentText, R"({"degrees": [1e999]})"),
            "environment file 'f.json': not JSON: number overflow parsing '1e999'");
  EXPECT_NE(ErrorOf(ReadExperimentText, "settings:\n  pop-size: 3\n").find("at line 1, column 1: not JSON"),
            std::string::npos);

  const std::vector<std::pair<std::string, std::string>> experiment = {
      {R"({"format": "zelworld experiment", "version": 1, "settings": {"pop-size": true}})",
       "experiment file 'f.json', at /settings/pop-size: true or false where an integer is expected"},
      {R"({"format": "zelworld experiment", "version": 1, "settings": {"popsize": 3}})",
       "at /settings/popsize: \"popsize\" is not a known member"},
      {R"({"format": "zelworld experiment", "version": 1, "settings": {"reproduction": 1}})",
       "at /settings/reproduction: an integer where a string is expected"},
      {R"({"format": "zelworld experiment", "version": 1, "settings": {}, "seed": 4294967296})",
       "at /seed: 4294967296 is outside 0..4294967295"},
      {R"({"format": "zelworld experiment", "settings": {}})", "the member \"version\" is missing"},
      {R"({"format": "zelworld experiment", "version": 1, "settings": {"elements": 5},
           "environment": {"degrees": [1, 2]}})",
       "at /environment/degrees: 2 degrees where /settings/elements is 5"},
      {R"([1, 2])", "experiment file 'f.json': an array where an object is expected"},
  };
  for (const auto& [bad, message] : experiment) {
    const std::string error = ErrorOf(ReadExperimentText, bad);
    EXPECT_NE(error.find(message), std::string::npos) << error << "\n  expected: " << message;
  }

  const std::vector<std::pair<std::string, std::string>> environment = {
      {R"({"degrees": [50, -1]})", "environment file 'f.json', at /degrees/1: -1 is outside 0..100"},
      {R"({"degrees": []})", "at /degrees: 0 elements where 1..2048 are expected"},
      {R"({"degrees": "50"})", "at /degrees: a string where an array is expected"},
      {R"({"degree": [50]})", "environment file 'f.json': the member \"degrees\" is missing"},
      {R"({"degrees": [50, 2.5]})", "at /degrees/1: a number where an integer is expected"},
  };
  for (const auto& [bad, message] : environment) {
    const std::string error = ErrorOf(ReadEnvironmentText, bad);
    EXPECT_NE(error.find(message), std::string::npos) << error << "\n  expected: " << message;
  }
}

TEST(Files, DevicesAndFoldersAreRefusedWithoutReading) {
  // /dev/zero never ends: read, it would hang the command.
  for (const std::string name : {"/dev/zero", "/dev/urandom"}) {
    try {
      LoadEnvironmentFile(name);
      ADD_FAILURE() << name;
    } catch (const TFileError& e) {
      EXPECT_EQ(std::string(e.what()), "environment file '" + name + "': is not a file");
    }
  }
  const std::string folder = std::filesystem::temp_directory_path().string();
  EXPECT_THROW(LoadExperimentFile(folder), TFileError);
}
