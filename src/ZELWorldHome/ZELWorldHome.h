#pragma once
// The main window: the parameter controls, the two experiment commands with their run
// controls, and the chart, picture and result labels that follow an experiment live.
// Its controls are its own; tests find them by their object names.

#include "Experiment/Develop.h"
#include "Experiment/Experiment.h"
#include "Experiment/ExperimentSettings.h"
#include "FuzzySet/FuzzySet.h"
#include "FuzzySet/Random.h"
#include "ZELWorldHome/DialogService.h"
#include "ZELWorldHome/QtDisplay.h"
#include "ZELWorldHome/RunWorker.h"

#include <QMainWindow>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QEventLoop;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSlider;
class QSplitter;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;
class TSpinEdit;
class TZELListForm;

class TZELWorldHomeForm final : public QMainWindow {
public:
  // Dialogs and message boxes go through Dialogs; without one they are shown to the user.
  explicit TZELWorldHomeForm(TDialogService* Dialogs = nullptr);
  ~TZELWorldHomeForm() override;

  // The window that lists the best programs of the last experiment.
  void SetListForm(TZELListForm* Form) { ZELListForm = Form; }

  // Develops a program of the list window with the current elements and blocks over the
  // environment of the last experiment and shows it; FirstIndex is the first list entry that
  // holds it. An empty text shows that nothing was selected.
  void ShowProgram(const std::string& Text, int FirstIndex);

  // Runs an experiment as "Start Simulation" or "Batch" do once they have read the controls
  // and the dialog: on the worker, with the counter clock of Seed, reporting to FileName.
  void StartExperiment(const TExperimentSettings& Settings, bool Batch, std::uint32_t Seed,
                       const std::string& FileName);
  bool Running() const { return RunActive; }
  // Processes events until nothing happens without the user: the run has ended and been
  // shown, or it is paused with every generation so far shown.
  void WaitForRun();

  // The parts of showing a run, told to an observer as each begins and ends, so that a
  // benchmark can tell what each costs: the records the worker passes, the controls turned
  // off at the start and on at the end, and the final display of the outcome.
  enum class TShowPart { Start, Records, Controls, Outcome };
  void SetShowObserver(std::function<void(TShowPart Part, bool Begins)> Observer) {
    ShowObserver = std::move(Observer);
  }

  // The environment of the last experiment and the set of the agent on display.
  const TFuzzySet& Environment() const { return EnvironmentSet; }
  const TFuzzySet& Developed() const { return DevelopedSet; }
  // The generator of the window and its list window.
  const TRandom& Generator() const { return Random; }
  // The zelworld-cli command that repeats the last experiment; empty before the first and
  // after a continued run, which needs its population file.
  const std::string& CommandLine() const { return LastCommandLine; }
  // The environment of "Load Environment…" while it is in use.
  const std::optional<TFuzzySet>& LoadedEnvironment() const { return OwnEnvironment; }

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  // Closing the main window ends the program, even while the list window is open; a run
  // still going is stopped after its current generation.
  void closeEvent(QCloseEvent* Event) override;

private:
  void FormCreate(QObject* Sender);
  void FormDestroy(QObject* Sender);
  void ImagePanelResize(QObject* Sender);
  void pmutTrackBarChange(QObject* Sender);
  void pnoiseTrackBarChange(QObject* Sender);
  void PCrossTrackBarChange(QObject* Sender);
  void RatesCheckBoxClick(QObject* Sender);
  void ReprodRadioGroupClick(QObject* Sender);
  void SaveImageToolButtonClick(QObject* Sender);
  void SaveGraphToolButtonClick(QObject* Sender);
  void StartToolButtonClick(QObject* Sender);
  void BatchToolButtonClick(QObject* Sender);
  void PauseToolButtonClick(QObject* Sender);
  void StepToolButtonClick(QObject* Sender);
  void StopToolButtonClick(QObject* Sender);
  void SpeedComboBoxChange(QObject* Sender);
  void CopyCommandToolButtonClick(QObject* Sender);
  void ClearRunsToolButtonClick(QObject* Sender);
  void SaveSettingsActionClick(QObject* Sender);
  void OpenSettingsActionClick(QObject* Sender);
  void FreezeActionClick(QObject* Sender);
  void ThawActionClick(QObject* Sender);
  void ContinueActionClick(QObject* Sender);
  void LoadEnvironmentActionClick(QObject* Sender);
  void OpenSweepActionClick(QObject* Sender);
  void BuiltInEnvironmentActionClick(QObject* Sender);

  void BuildControls();
  void BuildMenus();
  QToolBar* BuildRunToolBar();
  QWidget* BuildReproductionPanel();
  QWidget* BuildGAPanel();
  QGroupBox* BuildDescriptionBox();
  QAction* NewAction(const char* Name, const char* Caption, const char* Tip,
                     const std::function<void()>& Handler);
  // An action that does nothing while a run works.
  QAction* NewCommand(const char* Name, const char* Caption, const char* Tip,
                      const std::function<void()>& Handler);
  // Runs a command, reporting an error that ends it in a modal box.
  void Guarded(const std::function<void()>& Command);
  void RunCommand(bool Batch);
  // The seed box: empty for the time of day, else a number 0..4294967295.
  std::uint32_t SeedFromBox() const;
  TExperimentSettings SettingsFromControls() const;
  // Sets the parameter controls to Settings, the enabled states as the handlers would.
  void SettingsToControls(const TExperimentSettings& Settings);
  // Shows the open dialog; Read gets the chosen name when the user accepts.
  void OpenWithDialog(const char* Title, const char* Filter,
                      const std::function<void(const std::string&)>& Read);
  // The environment of one's own in place of the built-in one (none: back to the built-in).
  void UseEnvironment(std::optional<TFuzzySet> Environment, const std::string& FileName);
  // The population in the window: the thawed one, or that of the last run while it waits or
  // after it ended.
  std::optional<TFrozenPopulation> WindowPopulation() const;
  // What a continued run of Frozen does with its environment, as the controls say.
  TEnvironmentChoice ContinueEnvironment(const TFrozenPopulation& Frozen) const;
  // What "Start Simulation", "Batch" and "Continue" share once the worker has its experiment:
  // the status, the chart, the progress bar and the run controls.
  void ShowStart(const TExperiment& E, bool Batch, std::uint32_t Seed, const std::string& FileName,
                 int FirstGeneration);
  // Shows what ShowStart left for the run's first frame; Outcome when that frame shows the outcome.
  void ShowPendingStart(bool Outcome);
  // Keeps the "MaxGen" curve of the run before (if any) beside the next one, named by what differed.
  struct TShownRun;
  void KeepEarlierRun(const TShownRun* Previous, const TExperimentSettings& Next, bool NextBatch);
  void SetRunning(bool Running);
  // Shows the panels and the command buttons turned off (or on again).
  void ShowControlsOff(bool Off);
  // Input to the panels, held back while they do not look disabled yet.
  bool HeldInput(QObject* Watched, QEvent* Event) const;
  void UpdateRunControls();

  // Takes what the worker has done and shows it, at most about 30 times a second.
  void WorkerWoke();
  void ShowWorkerUpdate();
  void ShowRecords(TRunUpdate& Update);
  void FinishRun(TRunUpdate& Update);
  bool Idle() const;

  void DisplayDevelopment(const TDevelopment& Development, int G);
  void DrawOverEnvironment(const TFuzzySet& Set);
  // Shows measures in the result labels.
  void ShowMeasures(const TMeasures& M);
  // The second panel of the status bar.
  void SetStatusText(const std::string& Text);
  // Shows the save dialog for an image; Write gets the chosen name when the user accepts.
  void SaveWithDialog(const char* Title, const std::function<void(const std::string&)>& Write);

  TRandom Random;
  TFuzzySet EnvironmentSet;
  TFuzzySet DevelopedSet;

  QToolBar* ZELToolBar;
  QToolButton* StartToolButton;
  QToolButton* BatchToolButton;
  QToolButton* SaveImageToolButton;
  QToolButton* SaveGraphToolButton;
  QToolBar* RunToolBar;
  QToolButton* PauseToolButton;
  QToolButton* StepToolButton;
  QToolButton* StopToolButton;
  QComboBox* SpeedComboBox;
  QLineEdit* SeedEdit;
  QLabel* SeedUsedLabel;
  QToolButton* CopyCommandToolButton;
  QToolButton* ClearRunsToolButton;
  QAction *StartAction, *BatchAction, *SaveImageAction, *SaveGraphAction, *PauseAction, *StepAction,
      *StopAction, *CopyCommandAction, *ClearRunsAction, *SaveSettingsAction, *OpenSettingsAction,
      *FreezeAction, *ThawAction, *ContinueAction, *LoadEnvironmentAction, *BuiltInEnvironmentAction,
      *OpenSweepAction;
  QStatusBar* StatusBar1;
  QLabel* StatusPanel0;
  QLabel* StatusPanel1;
  TEvolProgressBar* EvolProgressBar;
  QWidget* FSControlsPanel;
  QWidget* ReproductionPanel;
  QGroupBox* ReprodRadioGroup;
  QButtonGroup* ReprodButtons;
  QCheckBox* RandomFitCheckBox;
  QCheckBox* RatesCheckBox;
  QWidget* GAPanel;
  TSpinEdit* PopSpinEdit;
  TSpinEdit* GenSpinEdit;
  TSpinEdit* XElementsSpinEdit;
  TSpinEdit* NBlocksSpinEdit;
  QLabel* Label7;
  QSlider* pmutTrackBar;
  QLineEdit* pmutEdit;
  QLabel* Label8;
  QSlider* pnoiseTrackBar;
  QLineEdit* pnoiseEdit;
  QLabel* Label10;
  QSlider* PCrossTrackBar;
  QLineEdit* PCrossEdit;
  QGroupBox* GroupBox1;
  QLabel* CardinalityLabel;
  QLabel* SubSethoodLabel;
  QLabel* HammingLabel;
  QLabel* FitnessLabel;
  QLabel* GenLabel;
  QWidget* ImagePanel;
  QSplitter* GraphSplitter;
  TEvolChart* EvolChart;
  TFSImage* FSImage;
  TSaveDialog SaveDialog1;

  std::unique_ptr<TDialogService> OwnDialogs;
  TDialogService* DialogService;
  TZELListForm* ZELListForm = nullptr;

  // The experiment on the worker, and what the window has shown of it.
  struct TShownRun {
    TExperimentSettings Settings;
    bool Batch = false;
    std::uint32_t Seed = 0;
    std::string FileName;
    std::vector<std::string> BestTexts;
    // The generation a continued run started from; 0 for a run from its beginning.
    int FirstGeneration = 0;
  };
  std::unique_ptr<TRunWorker> Worker;
  bool RunActive = false;
  TShownRun Current;
  // The settings and seeds of the runs whose curves the chart keeps, newest first.
  std::vector<TShownRun> EarlierRuns;
  bool HaveRun = false;
  // The start of the run as the window will show it with the run's first frame.
  struct TPendingStart {
    std::string Status;
    std::optional<TShownRun> Previous;
    std::string SeedText;
  };
  std::optional<TPendingStart> PendingStart;
  // The panels and the command buttons look disabled.
  bool ControlsOff = false;
  bool ListPlaced = false;
  // The picture shows the best so far over the current environment.
  bool BestDrawn = false;
  std::string LastCommandLine;
  // The population of "Thaw Population…" until the next experiment starts.
  std::optional<TFrozenPopulation> Thawed;
  // The environment of "Load Environment…" and its file, while in use.
  std::optional<TFuzzySet> OwnEnvironment;
  std::string OwnEnvironmentFile;
  QTimer* ShowTimer;
  std::chrono::steady_clock::time_point LastShown{};
  // The time between frames; the window thread's processor time at the last frame.
  std::chrono::steady_clock::duration ShowEvery{};
  std::chrono::nanoseconds LastShownCost{};
  QEventLoop* IdleLoop = nullptr;
  std::function<void(TShowPart, bool)> ShowObserver;
  // Tells the observer of a part for as long as it lives.
  struct TObserved {
    TObserved(const TZELWorldHomeForm& Form, TShowPart Part) : Form(Form), Part(Part) {
      if (Form.ShowObserver) Form.ShowObserver(Part, true);
    }
    ~TObserved() {
      if (Form.ShowObserver) Form.ShowObserver(Part, false);
    }
    TObserved(const TObserved&) = delete;
    TObserved& operator=(const TObserved&) = delete;
    const TZELWorldHomeForm& Form;
    TShowPart Part;
  };
};

// The fixed texts that each probability track bar writes into its edit box, by position.
std::string MutationText(int Position);
std::string CrossoverText(int Position);
