// The freezer and the three kinds of files: a population frozen, written, read back and
// continued goes on exactly as if it had never stopped; files read back to what was
// written; every kind of bad file is refused with the place and the fault.

#include "../InputLimits.h"
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

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "../ScratchDir.h"

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
          TExperimentSettings s{.Reproduction = TReproduction(type),
                                .RandomEnvironment = random,
                                .RatesSelection = rates,
                                .PopSize = size,
                                .Generations = 40,
                                .Elements = 60,
                                .Blocks = 4,
                                .PCrossover = 0.8,
                                .PMutation = 0.02,
                                .PNoise = 0.05};
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
  TScratchDir dir;
  const std::string file = dir / "continued.txt";
  const TExperimentSettings s{
      .Reproduction = TReproduction::Both, .RatesSelection = true, .PopSize = 13, .Generations = 20};
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

  const std::string g = ReadFile(std::string(ZEL_GOLDEN_DIR) + "/run-both-rates-pop13.report.txt");
  // The same header but for the generations, then the lines of generations 21 to 40.
  const std::size_t header = g.find("GenBestZEL\r\n") + 12;
  std::string expected = g.substr(0, header) + g.substr(g.find("\r\n   21 ") + 2);
  expected.replace(expected.find("Generations: 40"), 15, "Generations: 20");
  EXPECT_EQ(ReadFile(file), expected);
  EXPECT_EQ(best.Texts().size(), 20u);
  ASSERT_EQ(series.Points().size(), 20u);
  EXPECT_EQ(series.Points().front().X, 21);
  EXPECT_EQ(std::make_pair(first, last), std::make_pair(20, 40));
}

TEST(Freezer, ChangedConditions) {
  const TExperimentSettings s{.PopSize = 20, .Generations = 10, .Elements = 30};
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
  EXPECT_EQ(same.Settings().PMutation, 0.5) << "the given probabilities, not the frozen ones";

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
  std::vector<std::tuple<TKeptSetting, int, int>> d;
  for (const TKeptDifference& k : KeptDifferences(given, frozen))
    d.emplace_back(k.Setting, k.Given, k.Frozen);
  EXPECT_EQ(d, (std::vector<std::tuple<TKeptSetting, int, int>>{{TKeptSetting::PopSize, 30, 100},
                                                                {TKeptSetting::Elements, 12, 100},
                                                                {TKeptSetting::Reproduction, 0, 1}}));

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
  TExperimentSettings s{.PopSize = 12, .Generations = 5};
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
  EXPECT_EQ(sparse.Settings, TExperimentSettings{.Blocks = 2});
  EXPECT_FALSE(sparse.Seed);

  // environment --json and develop --json outputs are environment files.
  EXPECT_EQ(ReadEnvironmentText(R"({"degrees": [0, 100, 42], "cardinality": 1.42})").Values(), own.Values());
  EXPECT_EQ(ReadEnvironmentText(EnvironmentText(own)).Values(), own.Values());

  // Files on disk, one that is not there, and a folder.
  TScratchDir dir;
  const std::string path = dir / "experiment.json";
  SaveExperimentFile(path, f);
  EXPECT_EQ(LoadExperimentFile(path).Settings, f.Settings);
  std::filesystem::remove(path);
  EXPECT_THROW(LoadExperimentFile(dir.Path), TFileError);
  try {
    LoadExperimentFile(path);
    ADD_FAILURE();
  } catch (const TFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "experiment file '" + path + "': cannot be opened: No such file or directory");
  }
}

TEST(Files, BadFilesNameTheFileThePlaceAndTheFault) {
  const TJson good = TJson::parse(
      PopulationText(RunAndFreeze({.PopSize = 3, .Generations = 2, .Elements = 4, .Blocks = 1}, 2)));

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

  using TRead = std::function<void(const std::string&, const std::string&)>;
  const TRead experiment = [](const std::string& T, const std::string& F) { ReadExperimentText(T, F); };
  const TRead environment = [](const std::string& T, const std::string& F) { ReadEnvironmentText(T, F); };
  const std::string head = R"({"format": "zelworld experiment", "version": 1, )";
  const std::vector<std::tuple<TRead, std::string, std::string>> bad = {
      {experiment, "settings:\n  pop-size: 3\n", "at line 1, column 1: not JSON"},
      {experiment, head + R"("settings": {"pop-size": true}})",
       "experiment file 'f.json', at /settings/pop-size: true or false where an integer is expected"},
      {experiment, head + R"("settings": {"popsize": 3}})",
       "at /settings/popsize: \"popsize\" is not a known member"},
      {experiment, head + R"("settings": {"reproduction": 1}})",
       "at /settings/reproduction: an integer where a string is expected"},
      {experiment, head + R"("settings": {}, "seed": 4294967296})",
       "at /seed: 4294967296 is outside 0..4294967295"},
      {experiment, R"({"format": "zelworld experiment", "settings": {}})",
       "the member \"version\" is missing"},
      {experiment, head + R"("settings": {"elements": 5}, "environment": {"degrees": [1, 2]}})",
       "at /environment/degrees: 2 degrees where /settings/elements is 5"},
      {experiment, R"([1, 2])", "experiment file 'f.json': an array where an object is expected"},
      // The last one does not win: the settings of the file are those it names once.
      {experiment, head + R"("settings": {"pop-size": 5000, "pop-size": 50}})",
       "at /settings/pop-size: the member \"pop-size\" is given more than once"},
      {environment, R"({"degrees": [50, -1]})",
       "environment file 'f.json', at /degrees/1: -1 is outside 0..100"},
      {environment, R"({"degrees": []})", "at /degrees: 0 elements where 1..2048 are expected"},
      {environment, R"({"degrees": "50"})", "at /degrees: a string where an array is expected"},
      {environment, R"({"degree": [50]})", "environment file 'f.json': the member \"degrees\" is missing"},
      {environment, R"({"degrees": [50, 2.5]})", "at /degrees/1: a number where an integer is expected"},
      // A number beyond a double: at its pointer, or where it begins when it stands alone.
      {environment, "{\"degrees\":\n  [1, 1e400]}",
       "environment file 'f.json', at /degrees/1: the number 1e400 is out of the range of a double"},
      {environment, "\n  -1e400",
       "environment file 'f.json', at line 2, column 3: the number -1e400 is out of the range"},
      // A member given twice is refused, wherever it is.
      {environment, R"({"degrees": [1], "degrees": [2]})",
       "environment file 'f.json', at /degrees: the member \"degrees\" is given more than once"},
      {environment, R"({"degrees": [1], "x": {"a~/b": 1, "a~/b": 2}})",
       "at /x/a~0~1b: the member \"a~/b\" is given more"},
      {environment, std::string(65, '[') + std::string(65, ']'),
       "at /0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/"
       "0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/"
       "0: nested more than 64 levels deep"},
      {environment, std::string(64, '[') + std::string(64, ']'),
       "environment file 'f.json': an array where an object"},
      {environment, "{\"degrees\": [1,\n 2,\n x]}",
       "environment file 'f.json', at line 3, column 2: not JSON: syntax error"},
  };
  for (const auto& [read, text, message] : bad) {
    const std::string error = ErrorOf(read, text);
    EXPECT_NE(error.find(message), std::string::npos) << error << "\n  expected: " << message;
  }
}

namespace {
using namespace std::chrono_literals;

// The error of Read, run on a thread of its own and awaited ten seconds at most: a read that
// has not returned by then fails the test, and is freed by a writer that opens and closes
// the FIFO.
std::string BoundedError(const std::string& Fifo, std::function<void()> Read) {
  auto done = std::make_shared<std::promise<std::string>>();
  std::future<std::string> result = done->get_future();
  std::thread([done, Read] {
    try {
      Read();
      done->set_value("");
    } catch (const std::exception& e) {
      done->set_value(e.what());
    }
  }).detach();
  if (result.wait_for(10s) != std::future_status::ready) {
    ADD_FAILURE() << "reading " << Fifo << " did not return";
    const int writer = open(Fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
  }
  return result.get();
}

} // namespace

TEST(InputFiles, APipeIsReadAsItsWriterSendsAndGivenUpWhenItFallsSilent) {
#ifdef __EMSCRIPTEN__
  GTEST_SKIP() << "Node's file system layer makes no FIFOs";
#endif
  const TTestLimits limits(0, 300ms);
  TScratchDir dir;
  const std::string fifo = dir / "env.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const auto load = [fifo] { LoadEnvironmentFile(fifo); };

  // A writer that sends in pieces and closes: all of it is read.
  std::atomic<bool> release{false};
  std::thread writer([&] {
    const int w = open(fifo.c_str(), O_WRONLY);
    for (const std::string piece : {"{\"degrees\": [1, 2,", " 3]}"}) {
      if (write(w, piece.data(), piece.size()) < 0) break;
      std::this_thread::sleep_for(50ms);
    }
    close(w);
  });
  std::vector<std::int32_t> degrees;
  EXPECT_EQ(BoundedError(fifo, [&] { degrees = LoadEnvironmentFile(fifo).Values(); }), "");
  writer.join();
  EXPECT_EQ(degrees, (std::vector<std::int32_t>{1, 2, 3}));

  // A writer that stops part way and keeps the pipe open.
  writer = std::thread([&] {
    const int w = open(fifo.c_str(), O_WRONLY);
    if (write(w, "{\"degrees\"", 10) < 0) release = true;
    while (!release)
      std::this_thread::sleep_for(10ms);
    close(w);
  });
  EXPECT_EQ(BoundedError(fifo, load),
            "environment file '" + fifo + "': is a pipe whose writer sent nothing more for 300 ms");
  release = true;
  writer.join();
}

TEST(InputFiles, SizeLimitsRefuseAFileBeforeReadingAndAPipeAsSoonAsItSendsMore) {
  TScratchDir dir;
  const TTestLimits limits(64, 2000ms);
  const std::string env = R"({"degrees": [7]})";
  WriteFile(dir / "fits.json", env + std::string(64 - env.size(), ' '));
  EXPECT_EQ(LoadEnvironmentFile(dir / "fits.json").Values(), std::vector<std::int32_t>{7});
  WriteFile(dir / "over.json", env + std::string(65 - env.size(), ' '));
  EXPECT_EQ(ErrorOf([](const std::string& F, const char*) { LoadEnvironmentFile(F); }, dir / "over.json"),
            "environment file '" + (dir / "over.json") + "': is 65 bytes, more than the limit of 64 bytes");
  // A pipe's size is known only as it comes.
#ifndef __EMSCRIPTEN__ // Node's file system layer makes no FIFOs
  const std::string fifo = dir / "big.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] {
    const int w = open(fifo.c_str(), O_WRONLY);
    const std::string text(1000, ' ');
    if (write(w, text.data(), text.size()) < 0) ADD_FAILURE() << "the pipe was not read";
    close(w);
  });
  EXPECT_EQ(BoundedError(fifo, [&] { LoadExperimentFile(fifo); }),
            "experiment file '" + fifo + "': sends more than the limit of 64 bytes");
  writer.join();
#endif
}

TEST(Files, APopulationWhoseFitnessIsNotWhatItsProgramScoresIsRefused) {
  const TJson good = TJson::parse(PopulationText(RunAndFreeze(
      {.Reproduction = TReproduction::Phenotype, .PopSize = 6, .Generations = 3, .Elements = 20, .Blocks = 2},
      5)));
  ASSERT_EQ(ErrorOf(ReadPopulationText, good.dump()), "");
  auto fitness = [&](const TJson& Agent) { return Agent["fitness"].get<int>(); };

  // A fitness raised to 100 with the statistics and the best agents made to agree.
  TJson raised = good;
  TJson& agent = raised["agents"][3];
  const int was = fitness(agent);
  ASSERT_LT(was, 100);
  agent["fitness"] = 100;
  TJson& stats = raised["statistics"];
  stats["fitness-sum"] = stats["fitness-sum"].get<int>() + 100 - was;
  stats["avg-fitness"] = stats["fitness-sum"].get<double>() / 6;
  stats["gen-fit-max"] = stats["max-fit-all"] = 100;
  raised["gen-best"] = raised["best-all"] = agent;
  EXPECT_EQ(ErrorOf(ReadPopulationText, raised.dump()),
            "population file 'f.json', at /agents/3/fitness: stored 100, the program scores " +
                std::to_string(was));

  // A program edited with its fitness left as it was (a program-only agent's, which has no
  // chromosome to disagree with).
  TJson edited = good;
  std::size_t phenotype = 0;
  while (phenotype < 6 && edited["agents"][phenotype]["kind"] != "phenotype")
    ++phenotype;
  ASSERT_LT(phenotype, 6u);
  std::string program = edited["agents"][phenotype]["program"];
  program = program.substr(0, 5) == "00000" ? "A310F" + program.substr(5) : "00000" + program.substr(5);
  edited["agents"][phenotype]["program"] = program;
  EXPECT_NE(ErrorOf(ReadPopulationText, edited.dump())
                .find("at /agents/" + std::to_string(phenotype) + "/fitness: stored "),
            std::string::npos);

  // The best agents are scored too, and the generation's best is the last of the fittest.
  TJson best = good;
  best["best-all"]["fitness"] = fitness(best["best-all"]) == 5 ? 6 : 5;
  best["statistics"]["max-fit-all"] = best["best-all"]["fitness"];
  EXPECT_NE(ErrorOf(ReadPopulationText, best.dump()).find("at /best-all/fitness: stored "),
            std::string::npos);
  TJson other = good;
  int fittest = 0;
  for (int i = 0; i < 6; ++i)
    if (fitness(other["agents"][i]) == other["statistics"]["gen-fit-max"].get<int>()) fittest = i;
  other["agents"][fittest == 0 ? 1 : 0] = other["gen-best"] = other["agents"][fittest];
  other["gen-best"] = other["agents"][(fittest + 1) % 6];
  other["gen-best"]["fitness"] = other["agents"][fittest]["fitness"];
  const std::string error = ErrorOf(ReadPopulationText, other.dump());
  EXPECT_TRUE(error.find("at /gen-best/fitness: stored ") != std::string::npos ||
              error.find("at /gen-best: differs from /agents/") != std::string::npos)
      << error;
  TJson average = good;
  average["statistics"]["avg-fitness"] = average["statistics"]["avg-fitness"].get<double>() + 0.5;
  EXPECT_NE(ErrorOf(ReadPopulationText, average.dump()).find("at /statistics/avg-fitness: "),
            std::string::npos);
}

TEST(OutputHolds, EveryWholeFileOutputTakesTheReportsLock) {
#ifdef __EMSCRIPTEN__
  GTEST_SKIP() << "the file system under Node has no advisory locks";
#endif
  TScratchDir dir;
  const std::string held = dir / "held.txt";
  {
    TReportFile report(held);
    report.WriteLine("a line of the report");
    EXPECT_THROW(TWholeFileOutput{held}, std::runtime_error);
    try {
      WriteWholeFile(held, "replaced");
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot write file '" + held + "': another process is writing it");
    }
    EXPECT_EQ(ReadFile(held), "a line of the report\r\n");
    EXPECT_THROW(TReportFile::CheckWritable(held), std::runtime_error);
  }
  // Closed, the report is free again; a check changes nothing and leaves no file behind.
  TReportFile::CheckWritable(held);
  EXPECT_EQ(ReadFile(held), "a line of the report\r\n");
  TReportFile::CheckWritable(dir / "unmade.txt");
  // A missing file is claimed by an empty one, held until the output is in place, and goes
  // again when the output is dropped.
  const std::string claimed = dir / "claimed.csv";
  {
    TWholeFileOutput output(claimed, true, true);
    EXPECT_TRUE(std::filesystem::exists(claimed));
    EXPECT_THROW(TReportFile{claimed}, std::runtime_error);
  }
  EXPECT_EQ(Listing(dir.Path), std::vector<std::string>{"held.txt"});
  {
    TWholeFileOutput output(claimed, true, true);
    output.Commit("new text\n");
    TReportFile report(claimed);
    EXPECT_EQ(ReadFile(claimed), "new text\n") << "the lock went with the file replaced";
  }
  // An output that did not claim its missing file does not replace one that another process
  // took meanwhile.
  const std::string late = dir / "late.txt";
  TWholeFileOutput unclaimed(late);
  TReportFile other(late);
  other.WriteLine("the other one's line");
  EXPECT_THROW(unclaimed.Commit("mine"), std::runtime_error);
  EXPECT_EQ(ReadFile(late), "the other one's line\r\n");
}

TEST(OutputHolds, AReportIsMadeByItsFirstLineAndAFifoIsOpenedByIt) {
  TScratchDir dir;
  const std::string report = dir / "r.txt";
  { TReportFile unused(report); }
  EXPECT_FALSE(std::filesystem::exists(report)) << "made and never written";
  WriteFile(report, "old\r\n");
  { TReportFile unused(report); }
  EXPECT_EQ(ReadFile(report), "old\r\n") << "an older report stays whole";
  {
    TReportFile opened(report);
    EXPECT_EQ(ReadFile(report), "old\r\n") << "opened, nothing written yet";
    opened.WriteLine("new");
    EXPECT_EQ(ReadFile(report), "new\r\n") << "replaced by the first line";
  }
  // The first line replaces a longer report whole, and a shorter one.
  WriteFile(report, std::string(10000, 'o') + "\r\n");
  {
    TReportFile opened(report);
    opened.WriteLine("first");
    EXPECT_EQ(ReadFile(report), "first\r\n");
    opened.WriteLine("second");
  }
  EXPECT_EQ(ReadFile(report), "first\r\nsecond\r\n");
  WriteFile(report, "o");
  TReportFile(report).WriteLine("longer than the old one");
  EXPECT_EQ(ReadFile(report), "longer than the old one\r\n");
  TReportFile(report).Close();
  EXPECT_EQ(ReadFile(report), "") << "closed with no line: a report of nothing";

  EXPECT_THROW(TReportFile::Claim(dir.Path), std::runtime_error);
  // Claimed, a FIFO is not opened, since that would wait for a reader.
#ifndef __EMSCRIPTEN__ // Node's file system layer makes no FIFOs
  const std::string fifo = dir / "r.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(BoundedError(fifo, [&] { TReportFile claimedFifo = TReportFile::Claim(fifo); }), "");
#endif
}

TEST(OutputHolds, ASignalRemovesTemporaryFilesAndEmptyClaimsButNotWrittenLines) {
  TScratchDir dir;
  WriteFile(dir / "old.txt", "old\n");
  TWholeFileOutput replaced(dir / "old.txt");
  TWholeFileOutput claimed(dir / "new.csv", true, true);
  TReportFile empty(dir / "empty.txt");
  TReportFile written(dir / "written.txt");
  written.WriteLine("kept");
  EXPECT_EQ(Listing(dir.Path).size(), 6u) << "two temporary files besides the four";
  std::vector<std::string> left{"old.txt", "written.txt"};
#ifndef __EMSCRIPTEN__ // Node's file system layer makes no FIFOs
  // A report is watched before its creation is tried, and a FIFO is empty: a signal while the
  // creation finds the FIFO there must not take the reader's FIFO away.
  const std::string fifo = dir / "report.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  TLeftoverFile opening;
  opening.WatchWhileEmpty(fifo);
  left.insert(left.begin() + 1, "report.fifo");
#endif
  RemoveLeftoversNow();
  EXPECT_EQ(Listing(dir.Path), left);
  EXPECT_EQ(ReadFile(dir / "old.txt"), "old\n");
}
