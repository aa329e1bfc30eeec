#pragma once
// The run presenter: hands an experiment to the worker, and shows what the worker has done
// in the results panel, the progress bar and the list window, at most about 30 frames a
// second and less often when a frame is costly; at the end it shows the outcome. What the
// window around it must change (its controls, the status bar, the seed used) it is told by
// signals.

#include "Experiment/Experiment.h"
#include "Experiment/Report.h"
#include "ZELWorldHome/RunWorker.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QEventLoop;
class QTimer;
class QWidget;
class TDialogService;
class TEvolProgressBar;
class TResultsPanel;
class TZELListForm;

class TRunPresenter final : public QObject {
  Q_OBJECT

public:
  // Window is where the list window first goes beside.
  TRunPresenter(TResultsPanel& Results, TEvolProgressBar& Progress, TZELListForm& List,
                TDialogService& Dialogs, QWidget& Window);
  // Stops a run still going and waits for it, before anything it posts to is gone.
  ~TRunPresenter() override;

  // An experiment as the window shows it.
  struct TShownRun {
    TExperimentSettings Settings;
    bool Batch = false;
    std::uint32_t Seed = 0;
    std::string FileName;
    // The generation a continued run started from; 0 for a run from its beginning.
    int FirstGeneration = 0;
    // What the window shows beside the seed box.
    std::string SeedText;
  };
  // Runs an experiment (a thawed one, a batch) on the worker and shows it; Paused holds it
  // after its first generation (the first run of a batch), Speed is generations (runs) a
  // second, 0 as fast as possible.
  void StartRun(std::unique_ptr<TExperiment> Experiment, std::unique_ptr<TReportWriter> Report, TShownRun Run,
                bool Paused, int Speed);
  void ContinueRun(std::unique_ptr<TExperiment> Thawed, std::unique_ptr<TReportWriter> Report, TShownRun Run,
                   bool Paused, int Speed);
  void StartBatch(std::unique_ptr<TBatch> Batch, std::unique_ptr<TReportWriter> Report, TShownRun Run,
                  bool Paused, int Speed);

  bool Running() const { return RunActive; }
  // The run shows itself running: the controls are off, and Stop and Step on.
  bool ShownRunning() const { return RunActive && ControlsOff; }
  bool ControlsShownOff() const { return ControlsOff; }
  // Processes events until nothing happens without the user: the run has ended and been
  // shown, or it is paused with every generation so far shown.
  void WaitForRun();
  // Stops a run still going after its current generation and waits for its end.
  void StopAndWait();

  // The run controls.
  void SetPaused(bool Paused);
  void Step();
  void Stop();
  void SetSpeed(int PerSecond);

  // The population of the last single run (begun or continued) while it waits for the user
  // or after it has ended; none while it works, after a batch, or after a run that failed.
  std::optional<TFrozenPopulation> Freeze() const;
  // Whether there is such a population, or will be once the paused run waits.
  bool HasPopulation() const;

  // The parts of showing a run, told to an observer as each begins and ends, so that a
  // benchmark can tell what each costs: the records the worker passes, the controls turned
  // off at the start and on at the end, and the final display of the outcome.
  enum class TShowPart { Start, Records, Controls, Outcome };
  void SetShowObserver(std::function<void(TShowPart Part, bool Begins)> Observer) {
    ShowObserver = std::move(Observer);
  }

signals:
  // A run has begun (the window's commands do nothing now) or ended.
  void runningChanged(bool Running);
  // The controls are to look off (with a run's first frame) or on again (at its end).
  void controlsShownOff(bool Off);
  void statusChanged(const QString& Text);
  void seedShown(const QString& Text);

private:
  // What the three starts share once the worker has its experiment: the status, the chart,
  // the progress bar and the run controls, shown with the run's first frame.
  void ShowStart(const TExperiment& E, TShownRun Run, bool Paused, int Speed);
  // Shows what ShowStart left for the run's first frame; Outcome when that frame shows the outcome.
  void ShowPendingStart(bool Outcome);
  void SetRunning(bool Running);
  void ShowControlsOff(bool Off);
  // Takes what the worker has done and shows it, at most about 30 times a second.
  void WorkerWoke();
  void ShowWorkerUpdate();
  void ShowRecords(TRunUpdate& Update);
  void FinishRun(TRunUpdate& Update);
  // The progress text: Done generations reached, or runs of a batch done.
  void ShowProgress(int Done);
  bool Idle() const;

  TResultsPanel& Results;
  TEvolProgressBar& Progress;
  TZELListForm& List;
  TDialogService& Dialogs;
  QWidget& Window;

  std::unique_ptr<TRunWorker> Worker;
  bool RunActive = false;
  bool Paused = false;
  // The panels and the command buttons look disabled.
  bool ControlsOff = false;
  bool ListPlaced = false;
  TShownRun Current;
  std::vector<std::string> BestTexts;
  // The start of the run as the window will show it with the run's first frame.
  struct TPendingStart {
    std::string Status;
    std::string SeedText;
  };
  std::optional<TPendingStart> PendingStart;
  QTimer* ShowTimer;
  std::chrono::steady_clock::time_point LastShown{};
  // The time between frames; the window thread's processor time at the last frame.
  std::chrono::steady_clock::duration ShowEvery{};
  std::chrono::nanoseconds LastShownCost{};
  QEventLoop* IdleLoop = nullptr;
  std::function<void(TShowPart, bool)> ShowObserver;
  // Tells the observer of a part for as long as it lives.
  struct TObserved {
    TObserved(const TRunPresenter& Presenter, TShowPart Part) : Presenter(Presenter), Part(Part) {
      if (Presenter.ShowObserver) Presenter.ShowObserver(Part, true);
    }
    ~TObserved() {
      if (Presenter.ShowObserver) Presenter.ShowObserver(Part, false);
    }
    TObserved(const TObserved&) = delete;
    TObserved& operator=(const TObserved&) = delete;
    const TRunPresenter& Presenter;
    TShowPart Part;
  };
};
