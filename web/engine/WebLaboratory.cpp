#include "WebLaboratory.h"

#include "Experiment/CommandText.h"
#include "Experiment/Develop.h"
#include "Experiment/EnvironmentFile.h"
#include "Experiment/ExperimentFile.h"
#include "Experiment/FileText.h"
#include "Experiment/FloatText.h"
#include "Experiment/Picture.h"
#include "Experiment/PopulationFile.h"
#include "Experiment/ReportFormat.h"
#include "Experiment/SweepAggregate.h"
#include "Experiment/SweepRun.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {
double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Long enough that a slice's messages cost the run little, short enough that the worker
// reads the page's Stop at once.
constexpr double SliceMs = 12;
// The best so far is developed and drawn no more often than this.
constexpr double SnapshotMs = 33;
// The most earlier runs whose curves the chart keeps.
constexpr std::size_t MaxEarlierRuns = 3;

const std::array<const char*, 3> ReproductionCaptions{ReproductionCaption(TReproduction::Phenotype),
                                                      ReproductionCaption(TReproduction::Genotype),
                                                      ReproductionCaption(TReproduction::Both)};

// A surface that keeps the picture's lines, for the page to draw on its canvas.
class TRecordedPicture final : public TImageSurface {
public:
  TRecordedPicture(int Width, int Height) : Width(Width), Height(Height) {}
  int ClientWidth() const override { return Width; }
  int ClientHeight() const override { return Height; }
  void SetPenColor(TColor C) override { Pen = C; }
  void SetBrushColor(TColor) override {}
  void FillRect(int, int, int, int) override { Lines = TJson::array(); }
  void MoveTo(int X, int Y) override {
    char colour[8];
    std::snprintf(colour, sizeof colour, "#%02x%02x%02x", Pen.R, Pen.G, Pen.B);
    Lines.push_back({{"colour", colour}, {"points", TJson::array({X, Y})}});
  }
  void LineTo(int X, int Y) override {
    if (Lines.empty()) MoveTo(X, Y);
    Lines.back()["points"].push_back(X);
    Lines.back()["points"].push_back(Y);
  }
  void Update() override {}
  TJson Lines = TJson::array();

private:
  int Width, Height;
  TColor Pen{};
};

// Runs Body with the working folder set to Folder (made if missing), so that the names the
// user typed are the files' own names, as in the window's messages.
template <typename Body> auto WithFolder(const std::string& Folder, Body&& B) {
  ::mkdir(Folder.c_str(), 0755);
  if (::chdir(Folder.c_str()) != 0) throw std::runtime_error("Cannot use the folder " + Folder);
  struct TBack {
    ~TBack() { [[maybe_unused]] const int ignored = ::chdir("/"); }
  } back;
  return B();
}

std::string Text(const TJson& R, const char* Key) {
  const auto it = R.find(Key);
  return it != R.end() && it->is_string() ? it->get<std::string>() : std::string();
}

int Int(const TJson& R, const char* Key, int Default = 0) {
  const auto it = R.find(Key);
  return it != R.end() && it->is_number() ? it->get<int>() : Default;
}

bool Flag(const TJson& R, const char* Key) {
  const auto it = R.find(Key);
  return it != R.end() && it->is_boolean() && it->get<bool>();
}

std::string FileIn(const std::string& Folder, const std::string& Name) {
  return Folder + "/" + Name;
}
} // namespace

TWebLaboratory::TWebLaboratory() {
  // The C library of emscripten starts with a mask that would leave new files unreadable.
  ::umask(022);
  ::mkdir(InFolder, 0755);
  ::mkdir(OutFolder, 0755);
}

TJson TWebLaboratory::Call(const TJson& R) {
  const std::string command = Text(R, "command");
  try {
    if (command == "describe") return Describe();
    if (command == "start") return Start(R, false);
    if (command == "batch") return Start(R, true);
    if (command == "continue") return Continue(R);
    if (command == "slice") return Slice();
    if (command == "control") return Control(R);
    if (command == "picture") return PictureAt(R);
    if (command == "develop") return DevelopEntry(R);
    if (command == "download") return Download(R);
    if (command == "saveSettings") return SaveSettings(R);
    if (command == "openSettings") return OpenSettings(R);
    if (command == "freeze") return Freeze();
    if (command == "thaw") return Thaw(R);
    if (command == "loadEnvironment") return LoadEnvironment(R);
    if (command == "builtInEnvironment") return BuiltInEnvironment(R);
    if (command == "openSweep") return OpenSweep(R);
    if (command == "clearEarlierRuns") return ClearEarlierRuns();
    return {{"error", "Unknown command '" + command + "'"}};
  } catch (const std::exception& e) {
    return {{"error", e.what()}};
  }
}

TJson TWebLaboratory::Describe() const {
  const TExperimentSettings d;
  auto range = [](TIntRange R) { return TJson::array({R.Lo, R.Hi}); };
  return {{"ranges",
           {{"pop", range(TExperimentSettings::PopSizeRange)},
            {"generations", range(TExperimentSettings::GenerationsRange)},
            {"elements", range(TExperimentSettings::ElementsRange)},
            {"blocks", range(TExperimentSettings::BlocksRange)}}},
          {"defaults", SettingsToControls(d)},
          {"batchRuns", BatchRunCount},
          {"reproductions", ReproductionCaptions}};
}

TExperimentSettings TWebLaboratory::SettingsFromControls(const TJson& C) {
  TExperimentSettings s;
  s.PopSize = Int(C, "pop", s.PopSize);
  s.Generations = Int(C, "generations", s.Generations);
  s.Elements = Int(C, "elements", s.Elements);
  s.Blocks = Int(C, "blocks", s.Blocks);
  const int reproduction = Int(C, "reproduction", 1);
  if (reproduction < 0 || reproduction > 2) throw std::invalid_argument("Agent Reproduction: no such item");
  s.Reproduction = TReproduction(reproduction);
  s.RandomEnvironment = Flag(C, "random");
  s.RatesSelection = Flag(C, "rates");
  s.PCrossover = StrToFloat(Text(C, "pcross"));
  s.PMutation = StrToFloat(Text(C, "pmut"));
  s.PNoise = StrToFloat(Text(C, "pnoise"));
  return s;
}

TJson TWebLaboratory::SettingsToControls(const TExperimentSettings& S) {
  return {{"pop", S.PopSize},
          {"generations", S.Generations},
          {"elements", S.Elements},
          {"blocks", S.Blocks},
          {"reproduction", static_cast<int>(S.Reproduction)},
          {"random", S.RandomEnvironment},
          {"rates", S.RatesSelection},
          {"pcross", S.PCrossover},
          {"pmut", S.PMutation},
          {"pnoise", S.PNoise},
          {"pcrossText", ShortestReal(S.PCrossover)},
          {"pmutText", ShortestReal(S.PMutation)},
          {"pnoiseText", ShortestReal(S.PNoise)}};
}

TJson TWebLaboratory::Start(const TJson& R, bool Batch) {
  if (Run && !Run->Ended) throw std::logic_error("An experiment is already running");
  // The seed is taken at the click, as the clock was read before.
  const std::uint32_t seed = SeedFromText(Text(R, "seed"));
  const std::string fileName = Text(R, "report");
  const TExperimentSettings settings = SettingsFromControls(R.at("controls"));
  Random.SetClock(Rng::CounterClock(seed));
  std::unique_ptr<TExperiment> experiment;
  std::unique_ptr<TBatch> batch;
  if (Batch)
    batch = std::make_unique<TBatch>(settings, Random);
  else
    experiment = std::make_unique<TExperiment>(settings, Random);
  if (OwnEnvironment) {
    if (Batch)
      batch->SetEnvironment(*OwnEnvironment);
    else
      experiment->SetEnvironment(*OwnEnvironment);
  }
  const TExperiment& e = Batch ? batch->Experiment() : *experiment;
  // The report is created before anything is shown, so that a name that cannot be written
  // leaves the page as it was.
  auto report =
      WithFolder(FileIn(OutFolder, "report"), [&] { return std::make_unique<TReportWriter>(fileName); });
  TJson shown = ShowStart(e, Batch, seed, fileName, 0, Flag(R, "chartHasRun"));
  shown["seedText"] = "used " + std::to_string(seed);
  shown["commandLine"] = CommandLineText(Current.Settings, Batch, seed, fileName, OwnEnvironmentFile);
  BeginRun(std::move(experiment), std::move(batch), std::move(report), false, R);
  return shown;
}

TJson TWebLaboratory::ShowStart(const TExperiment& E, bool Batch, std::uint32_t Seed,
                                const std::string& FileName, int FirstGeneration, bool ChartHasRun) {
  std::string status;
  for (const TCorrection& c : E.Corrections())
    status += (status.empty() ? "" : "; ") + c.Parameter + " " + ShortestReal(c.Given) +
              " is outside 0..1; the run uses " + ShortestReal(c.Used);
  std::optional<TShownRun> previous;
  if (HaveRun) previous = Current;
  Current = {E.Settings(), Batch, Seed, FileName, FirstGeneration};
  HaveRun = true;
  Thawed.reset();
  // Generations and runs share no axis: a change of kind leaves no curve to compare with.
  bool clear = false, kept = false;
  if (previous && previous->Batch != Batch) {
    clear = true;
    EarlierRuns.clear();
  } else if (previous && ChartHasRun) {
    kept = true;
    EarlierRuns.insert(EarlierRuns.begin(), *previous);
    EarlierRuns.resize(std::min(EarlierRuns.size(), MaxEarlierRuns));
  }
  TJson names = TJson::array();
  for (const TShownRun& r : EarlierRuns)
    names.push_back(DifferenceName(r.Settings, r.Seed, Current.Settings));
  const int last = Batch ? BatchRunCount : FirstGeneration + Current.Settings.Generations;
  return {{"status", status},
          {"batch", Batch},
          {"seed", Seed},
          {"clearEarlier", clear},
          {"keepEarlier", kept},
          {"earlierNames", names},
          {"firstGeneration", FirstGeneration},
          {"last", last},
          {"axis", TJson::array({0, Batch ? BatchRunCount - 1 : last})},
          {"axisTitle", Batch ? "Runs" : "Generations"},
          {"firstX", FirstGeneration > 0 ? FirstGeneration + 1 : 0},
          {"settings", SettingsToControls(Current.Settings)}};
}

void TWebLaboratory::BeginRun(std::unique_ptr<TExperiment> Experiment, std::unique_ptr<TBatch> Batch,
                              std::unique_ptr<TReportWriter> Report, bool Continued, const TJson& R) {
  // The last run's files give way to this one's.
  if (!ReportPath.empty() && ReportPath != FileIn(FileIn(OutFolder, "report"), Current.FileName))
    ::unlink(ReportPath.c_str());
  ReportPath = FileIn(FileIn(OutFolder, "report"), Current.FileName);
  auto run = std::make_unique<TRun>();
  run->Experiment = std::move(Experiment);
  run->Batch = std::move(Batch);
  run->Report = std::move(Report);
  TRun& r = *run;
  TRunObserver poster;
  poster.Began = [&r](const TRunStart&) { r.EnvironmentNew = true; };
  poster.Generation = [&r](const TGenerationRecord& G) {
    r.Generations.push_back(TJson::array({G.Generation, G.Fitness, G.GenotypeRatio}));
    r.Texts.push_back(G.BestText);
  };
  poster.Run = [&r](const TRunRecord& Rec) {
    r.Runs.push_back(TJson::array({Rec.Run, Rec.Fitness, Rec.GenotypeRatio}));
    r.Texts.push_back(Rec.BestText);
  };
  poster.Ended = [&r](const TRunEnd& End) {
    r.Ended = true;
    r.Stopped = End.Stopped;
    r.StopLine = End.StopLine;
    r.Outcome = End.Outcome;
  };
  std::vector<TRunObserver> observers{r.Report->Observer(), r.BestList.Observer(), r.Series.Observer(),
                                      poster};
  if (r.Batch)
    r.Loop = std::make_unique<TRunLoop>(*r.Batch, std::move(observers));
  else
    r.Loop = std::make_unique<TRunLoop>(*r.Experiment, Continued, std::move(observers));
  Run = std::move(run);
  Paused = Flag(R, "paused");
  StopAsked = Blocked = false;
  StepsAsked = 0;
  LastSnapshot = -1e9;
  Speed = std::max(0, Int(R, "speed"));
  NextDue = NowMs() + (Speed > 0 ? 1000.0 / Speed : 0);
}

TGateAnswer TWebLaboratory::Gate() {
  if (StopAsked) return TGateAnswer::Stop;
  const double now = NowMs();
  if (Paused) {
    if (StepsAsked == 0) {
      Blocked = true;
      WaitMs = -1;
      return TGateAnswer::Wait;
    }
    --StepsAsked;
  } else if (Speed > 0 && now < NextDue) {
    WaitMs = NextDue - now;
    return TGateAnswer::Wait;
  } else if (now - SliceStart >= SliceMs) {
    WaitMs = 0;
    return TGateAnswer::Wait;
  }
  Blocked = false;
  if (Speed > 0) NextDue = now + 1000.0 / Speed;
  return TGateAnswer::Go;
}

TJson TWebLaboratory::Slice() {
  if (!Run || Run->Ended) return {{"state", "ended"}};
  TRun& r = *Run;
  SliceStart = NowMs();
  WaitMs = 0;
  TJson out;
  try {
    r.Loop->Run([this] { return Gate(); });
  } catch (const std::exception& e) {
    // The report keeps what was written before the failure; the page reports the error.
    r.Ended = r.Failed = true;
    out["error"] = e.what();
  }
  const TExperiment& e = r.Batch ? r.Batch->Experiment() : *r.Experiment;
  out["generations"] = std::exchange(r.Generations, TJson::array());
  out["runs"] = std::exchange(r.Runs, TJson::array());
  out["texts"] = std::exchange(r.Texts, TJson::array());
  if (r.EnvironmentNew) {
    r.EnvironmentNew = false;
    EnvironmentSet = e.Environment();
    Shown = TShown::Environment;
    out["picture"] = Picture();
  }
  if (r.Failed) {
    out["state"] = "ended";
    return out;
  }
  if (r.Ended) {
    out["state"] = "ended";
    const TOutcome& o = *r.Outcome;
    // A stopped or continued run shows the generation it reached; a batch always completes its runs.
    const int g = Current.Batch || (!r.Stopped && Current.FirstGeneration == 0) ? Current.Settings.Generations
                                                                                : o.Generations;
    DevelopedSet = o.Best.Developed;
    Shown = TShown::Developed;
    out["end"] = {{"stopped", r.Stopped},
                  {"status", r.Stopped ? r.StopLine : std::string()},
                  {"message", ReportClosingMessage(Current.FileName)},
                  {"genLabel", g},
                  {"measures", MeasuresJson(o.Best.Measures)},
                  {"listUnit", Current.Batch ? "run" : "generation"},
                  {"listFirst", Current.Batch                 ? 1
                                : Current.FirstGeneration > 0 ? Current.FirstGeneration + 1
                                                              : 0}};
    out["picture"] = Picture();
    out["population"] = Population();
    return out;
  }
  // The best so far is drawn a few times a second at most, once the run has gone past its start.
  const double now = NowMs();
  const bool beyondStart = r.Batch ? r.Batch->Runs() > 0 : e.Generation() > e.FirstGeneration();
  if (beyondStart && now - LastSnapshot >= SnapshotMs) {
    LastSnapshot = now;
    const TDevelopment best = DevelopAgent(e.Population().BestAll, e.Environment());
    if (Shown != TShown::Developed || best.Developed.Values() != DevelopedSet.Values()) {
      DevelopedSet = best.Developed;
      Shown = TShown::Developed;
      out["picture"] = Picture();
      out["measures"] = MeasuresJson(best.Measures);
    }
  }
  out["state"] = WaitMs < 0 ? "paused" : "running";
  out["delay"] = std::max(0.0, WaitMs);
  out["population"] = Population();
  return out;
}

TJson TWebLaboratory::Control(const TJson& R) {
  const std::string what = Text(R, "what");
  if (what == "pause") Paused = true;
  if (what == "resume") {
    Paused = false;
    StepsAsked = 0;
  }
  if (what == "step" && Paused) ++StepsAsked;
  if (what == "stop") StopAsked = true;
  if (what == "speed") {
    Speed = std::max(0, Int(R, "speed"));
    NextDue = NowMs() + (Speed > 0 ? 1000.0 / Speed : 0);
  }
  return {{"running", Run && !Run->Ended}};
}

TJson TWebLaboratory::MeasuresJson(const TMeasures& M) {
  return {{"cardinality", FormatReal(M.Cardinality, 8, 2)},
          {"subsethood", FormatReal(M.Subsethood, 8, 2)},
          {"hamming", FormatReal(M.Hamming, 8, 2)},
          {"fitness", FormatInt(M.Fitness, 10)}};
}

TJson TWebLaboratory::Picture() const {
  TJson out = {{"width", PictureWidth}, {"height", PictureHeight}, {"lines", TJson::array()}};
  if (Shown == TShown::Nothing || PictureWidth < 1 || PictureHeight < 1) return out;
  TRecordedPicture picture(PictureWidth, PictureHeight);
  DrawSet(EnvironmentSet, picture, clBlue, true);
  if (Shown == TShown::Developed) DrawSet(DevelopedSet, picture, clRed, false);
  out["lines"] = std::move(picture.Lines);
  return out;
}

TJson TWebLaboratory::PictureAt(const TJson& R) {
  PictureWidth = std::max(0, Int(R, "width"));
  PictureHeight = std::max(0, Int(R, "height"));
  return {{"picture", Picture()}};
}

TJson TWebLaboratory::DevelopEntry(const TJson& R) {
  // The list is hidden while a run works, and the generator is the run's.
  if (Run && !Run->Ended) return {{"ignored", true}};
  const std::string text = Text(R, "text");
  if (text.empty()) return {{"status", "No program selected"}};
  const TDevelopment d = DevelopProgram(Random, text, Int(R, "blocks"), Int(R, "elements"), EnvironmentSet);
  DevelopedSet = d.Developed;
  Shown = TShown::Developed;
  // A program shorter than the block count develops only the blocks it has; say so.
  return {{"measures", MeasuresJson(d.Measures)}, {"picture", Picture()}, {"status", d.ShortfallText()}};
}

TJson TWebLaboratory::Download(const TJson& R) {
  const std::string what = Text(R, "what");
  if (!Run) throw std::runtime_error("There is nothing to download yet: start a run first");
  if (what == "report") {
    // Lines are handed to the file as they are written; a run still going gives those so far.
    return {{"path", ReportPath}, {"name", Current.FileName}};
  }
  const std::string name = Text(R, "name");
  const std::string folder = FileIn(OutFolder, what);
  if (what == "best")
    WithFolder(folder, [&] { WriteWholeFile(name, Run->BestList.Text()); });
  else if (what == "series")
    WithFolder(folder, [&] { WriteWholeFile(name, Run->Series.Csv()); });
  else
    throw std::invalid_argument("Nothing to download as '" + what + "'");
  return {{"path", FileIn(folder, name)}, {"name", name}};
}

TJson TWebLaboratory::SaveSettings(const TJson& R) {
  TExperimentFile file;
  file.Settings = SettingsFromControls(R.at("controls"));
  const std::string seed = Text(R, "seed");
  if (seed.find_first_not_of(" \t") != std::string::npos) file.Seed = SeedFromText(seed);
  file.Environment = OwnEnvironment;
  // Written under a name of the worker's own; the page downloads it under the name typed.
  const std::string folder = FileIn(OutFolder, "settings");
  WithFolder(folder, [&] { SaveExperimentFile("settings.json", file); });
  return {{"path", FileIn(folder, "settings.json")}};
}

TJson TWebLaboratory::OpenSettings(const TJson& R) {
  if (Run && !Run->Ended) return {{"ignored", true}};
  const std::string name = Text(R, "name");
  // Read whole before anything changes, so that a bad file leaves the page as it was.
  TExperimentFile file = WithFolder(InFolder, [&] { return LoadExperimentFile(name); });
  TJson out = UseEnvironment(std::move(file.Environment), name);
  out["settings"] = SettingsToControls(file.Settings);
  out["seed"] = file.Seed ? std::to_string(*file.Seed) : std::string();
  out["status"] = "Settings from " + name;
  return out;
}

TJson TWebLaboratory::UseEnvironment(std::optional<TFuzzySet> Environment, const std::string& FileName) {
  OwnEnvironment = std::move(Environment);
  OwnEnvironmentFile = OwnEnvironment ? FileName : std::string();
  TJson out = {{"environmentFile", OwnEnvironmentFile}};
  if (!OwnEnvironment) return out;
  out["elements"] = OwnEnvironment->Count();
  // The picture shows the environment the next experiment takes.
  EnvironmentSet = *OwnEnvironment;
  Shown = TShown::Environment;
  out["picture"] = Picture();
  return out;
}

TJson TWebLaboratory::LoadEnvironment(const TJson& R) {
  if (Run && !Run->Ended) return {{"ignored", true}};
  const std::string name = Text(R, "name");
  TFuzzySet environment = WithFolder(InFolder, [&] { return LoadEnvironmentFile(name); });
  TJson out = UseEnvironment(std::move(environment), name);
  out["status"] = "Environment of " + name + ", " + std::to_string(EnvironmentSet.Count()) + " elements";
  return out;
}

TJson TWebLaboratory::BuiltInEnvironment(const TJson& R) {
  if (Run && !Run->Ended) return {{"ignored", true}};
  TJson out = UseEnvironment(std::nullopt, "");
  out["status"] =
      Flag(R, "random") ? "Experiments build a random environment" : "Experiments use the fixed environment";
  return out;
}

std::optional<TFrozenPopulation> TWebLaboratory::WindowPopulation() const {
  if (Thawed) return Thawed;
  if (!Run || Current.Batch || Run->Failed || !Run->Experiment) return std::nullopt;
  // While a run works its population is not to be had; paused, it is once the run waits.
  if (!Run->Ended && !Blocked) return std::nullopt;
  return Run->Experiment->Freeze();
}

TJson TWebLaboratory::Population() const {
  const bool running = Run && !Run->Ended;
  const bool population =
      Thawed.has_value() || (Run && !Current.Batch && !Run->Failed && (Run->Ended || Blocked));
  return {{"freeze", population}, {"continue", !running && population}};
}

TJson TWebLaboratory::Freeze() {
  const std::optional<TFrozenPopulation> frozen = WindowPopulation();
  if (!frozen) return {{"status", "There is no population to freeze: the run is working, or there was none"}};
  const std::string folder = FileIn(OutFolder, "population");
  WithFolder(folder, [&] { SavePopulationFile("population.json", *frozen); });
  return {{"path", FileIn(folder, "population.json")}, {"generation", frozen->Generation}};
}

TJson TWebLaboratory::Thaw(const TJson& R) {
  if (Run && !Run->Ended) return {{"ignored", true}};
  const std::string name = Text(R, "name");
  TFrozenPopulation frozen = WithFolder(InFolder, [&] { return LoadPopulationFile(name); });
  std::string status = "Population of generation " + std::to_string(frozen.Generation) + " from " + name;
  TJson out;
  // A loaded environment that does not fit the population could never be continued under.
  if (OwnEnvironment && OwnEnvironment->Count() != frozen.Settings.Elements) {
    out = UseEnvironment(std::nullopt, "");
    status += "; the loaded environment does not fit it, so the built-in one is back";
  }
  out["environmentFile"] = OwnEnvironmentFile;
  out["settings"] = SettingsToControls(frozen.Settings);
  EnvironmentSet = frozen.Environment;
  const TDevelopment d = DevelopAgent(frozen.BestAll, frozen.Environment);
  DevelopedSet = d.Developed;
  Shown = TShown::Developed;
  out["genLabel"] = frozen.Generation;
  out["measures"] = MeasuresJson(d.Measures);
  out["picture"] = Picture();
  out["status"] = status;
  Thawed = std::move(frozen);
  out["population"] = Population();
  return out;
}

TEnvironmentChoice TWebLaboratory::ContinueEnvironment(const TFrozenPopulation& Frozen,
                                                       bool RandomFitness) const {
  if (OwnEnvironment) return TEnvironmentChoice::Own;
  // Random Fitness as the population had it keeps the population's environment.
  if (RandomFitness == Frozen.Settings.RandomEnvironment) return TEnvironmentChoice::Keep;
  return RandomFitness ? TEnvironmentChoice::NewRandom : TEnvironmentChoice::Fixed;
}

TJson TWebLaboratory::Continue(const TJson& R) {
  if (Run && !Run->Ended) throw std::logic_error("An experiment is already running");
  const std::optional<TFrozenPopulation> frozen = WindowPopulation();
  if (!frozen) throw std::invalid_argument("There is no population to continue: run or thaw one first");
  const TExperimentSettings settings = SettingsFromControls(R.at("controls"));
  const auto differences = KeptDifferences(settings, frozen->Settings);
  if (!differences.empty()) {
    throw std::invalid_argument(
        ContinueKeptMessage(differences.front(),
                            OwnEnvironment ? " (the loaded environment of " + OwnEnvironmentFile + ")" : ""));
  }
  // A new random environment is drawn from the seed box; otherwise the seed is the run's own.
  const TEnvironmentChoice choice = ContinueEnvironment(*frozen, settings.RandomEnvironment);
  const bool newRandom = choice == TEnvironmentChoice::NewRandom;
  const std::uint32_t seed = newRandom ? SeedFromText(Text(R, "seed")) : frozen->RandomSeed;
  const std::string fileName = Text(R, "report");
  const std::optional<TFuzzySet> environment =
      ContinuedEnvironment(*frozen, choice, OwnEnvironment ? &*OwnEnvironment : nullptr, seed);
  auto experiment = std::make_unique<TExperiment>(settings, Random);
  // A report that cannot be written leaves the page and its generator as they were.
  auto report =
      WithFolder(FileIn(OutFolder, "report"), [&] { return std::make_unique<TReportWriter>(fileName); });
  experiment->Thaw(*frozen, environment ? &*environment : nullptr);
  TJson shown = ShowStart(*experiment, false, seed, fileName, frozen->Generation, Flag(R, "chartHasRun"));
  // The generator goes on from the population's state; a seed was taken only for a new environment.
  shown["seedText"] = newRandom ? "used " + std::to_string(seed)
                                : "continued from generation " + std::to_string(frozen->Generation);
  // Repeating a continued run takes its population file.
  shown["commandLine"] = "";
  BeginRun(std::move(experiment), nullptr, std::move(report), true, R);
  return shown;
}

TJson TWebLaboratory::OpenSweep(const TJson& R) {
  const std::string name = Text(R, "name");
  const std::vector<TAggregateCurve> curves = WithFolder(
      InFolder, [&] { return ReadSweepAggregate(ReadSweepFile(std::filesystem::path(name)), name); });
  TJson out = TJson::array();
  for (const TAggregateCurve& c : curves)
    out.push_back({{"condition", c.Condition},
                   {"label", c.Label},
                   {"measure", c.Measure},
                   {"generation", c.Generation},
                   {"mean", c.Mean},
                   {"low", c.Low},
                   {"high", c.High}});
  if (out.empty()) throw std::runtime_error(name + ": the aggregate has no runs to draw");
  return {{"curves", out}, {"status", "Sweep results of " + name}};
}

TJson TWebLaboratory::ClearEarlierRuns() {
  EarlierRuns.clear();
  return TJson::object();
}
