#pragma once
// The laboratory behind the page: what the window does apart from its widgets, for a page
// whose engine lives in a Web Worker. It holds the generator, the environment and the set on
// display, the run loop with its gate, the thawed population and a loaded environment; the
// page sends it requests and receives what to show. A run goes on in slices: each call of
// Slice runs generations until the gate says wait (a pause, the speed's next turn, or the end
// of the slice, so that the worker reads its messages), and hands back what happened.
// Files are read from and written to the worker's in-memory file system: the page puts an
// opened file under /in, and downloads what a command wrote under /out.

#include "Experiment/Experiment.h"
#include "Experiment/ExperimentSettings.h"
#include "Experiment/Report.h"
#include "Experiment/RunLoop.h"
#include "Experiment/RunObservers.h"
#include "FuzzySet/FuzzySet.h"
#include "FuzzySet/Random.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using TJson = nlohmann::json;

class TWebLaboratory {
public:
  TWebLaboratory();
  // One request of the page ({"command": ..., ...}); the answer, or {"error": message} when
  // the command failed, in which case nothing it would have changed has changed.
  TJson Call(const TJson& Request);

  // The folders of the in-memory file system.
  static constexpr const char* InFolder = "/in";
  static constexpr const char* OutFolder = "/out";

private:
  TJson Describe() const;
  TJson Start(const TJson& R, bool Batch);
  TJson Continue(const TJson& R);
  TJson Slice();
  TJson Control(const TJson& R);
  TJson PictureAt(const TJson& R);
  TJson DevelopEntry(const TJson& R);
  TJson Download(const TJson& R);
  TJson SaveSettings(const TJson& R);
  TJson OpenSettings(const TJson& R);
  TJson Freeze();
  TJson Thaw(const TJson& R);
  TJson LoadEnvironment(const TJson& R);
  TJson BuiltInEnvironment(const TJson& R);
  TJson OpenSweep(const TJson& R);
  TJson ClearEarlierRuns();

  // The controls of the page as the window reads them: the probability texts in the order
  // crossover, mutation, noise, each raising "'x' is not a valid floating point value".
  static TExperimentSettings SettingsFromControls(const TJson& Controls);
  // What the page sets its controls to for Settings: the values, and the probabilities'
  // texts where no preset of a track bar holds them.
  static TJson SettingsToControls(const TExperimentSettings& Settings);
  // What a run shows first: the corrections, the earlier runs the chart keeps and their
  // names, the progress bar's and the axis's ranges.
  TJson ShowStart(const TExperiment& E, bool Batch, std::uint32_t Seed, const std::string& FileName,
                  int FirstGeneration, bool ChartHasRun);
  void BeginRun(std::unique_ptr<TExperiment> Experiment, std::unique_ptr<TBatch> Batch,
                std::unique_ptr<TReportWriter> Report, bool Continued, const TJson& R);
  TGateAnswer Gate();
  // The picture as it stands, drawn for the page's canvas.
  TJson Picture() const;
  static TJson MeasuresJson(const TMeasures& M);
  TJson Population() const;
  std::optional<TFrozenPopulation> WindowPopulation() const;
  TEnvironmentChoice ContinueEnvironment(const TFrozenPopulation& Frozen, bool RandomFitness) const;
  // The environment of one's own (none: back to the built-in one); what the controls become.
  TJson UseEnvironment(std::optional<TFuzzySet> Environment, const std::string& FileName);

  TRandom Random;
  TFuzzySet EnvironmentSet;
  TFuzzySet DevelopedSet;
  // What the picture shows: nothing yet, the environment alone, or the developed set over it.
  enum class TShown { Nothing, Environment, Developed } Shown = TShown::Nothing;
  int PictureWidth = 0, PictureHeight = 0;

  // The experiment of the current or last run, and what the page has been told of it.
  struct TShownRun {
    TExperimentSettings Settings;
    bool Batch = false;
    std::uint32_t Seed = 0;
    std::string FileName;
    int FirstGeneration = 0;
  };
  struct TRun {
    std::shared_ptr<TExperiment> Experiment;
    std::unique_ptr<TBatch> Batch;
    std::unique_ptr<TReportWriter> Report;
    TBestList BestList;
    TSeries Series;
    std::unique_ptr<TRunLoop> Loop;
    // The records told since the last slice.
    TJson Generations = TJson::array(), Runs = TJson::array(), Texts = TJson::array();
    bool EnvironmentNew = false;
    bool Ended = false, Failed = false, Stopped = false;
    std::string StopLine;
    std::optional<TOutcome> Outcome;
  };
  std::unique_ptr<TRun> Run;
  TShownRun Current;
  bool HaveRun = false;
  std::vector<TShownRun> EarlierRuns;
  std::string ReportPath;

  // The gate's state.
  bool Paused = false, StopAsked = false, Blocked = false;
  int StepsAsked = 0;
  int Speed = 0;
  double NextDue = 0, SliceStart = 0, LastSnapshot = -1e9, WaitMs = 0;

  std::optional<TFrozenPopulation> Thawed;
  std::optional<TFuzzySet> OwnEnvironment;
  std::string OwnEnvironmentFile;
};
