#pragma once
// The main window: it assembles the parameter panel, the run tool bar, the results panel
// and the run presenter, owns the list window, and holds the commands: the two experiment
// commands and Continue, and the file commands. Its controls are its parts'; tests find
// them by their object names.

#include "Experiment/Experiment.h"
#include "FuzzySet/FuzzySet.h"
#include "FuzzySet/Random.h"
#include "ZELWorldHome/DialogService.h"
#include "ZELWorldHome/RunPresenter.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QToolBar;
class TEvolProgressBar;
class TParameterPanel;
class TResultsPanel;
class TRunToolBar;
class TZELListForm;

class TZELWorldHomeForm final : public QMainWindow {
  Q_OBJECT

public:
  // Dialogs and message boxes go through Dialogs; without one they are shown to the user.
  explicit TZELWorldHomeForm(TDialogService* Dialogs = nullptr);
  ~TZELWorldHomeForm() override;

  // The window that lists the best programs of the last experiment.
  TZELListForm& ListForm() const { return *ZELListForm; }
  // Showing runs: a benchmark observes the parts of it.
  TRunPresenter& Presenter() const { return *RunPresenter; }

  bool Running() const { return RunPresenter->Running(); }
  // Processes events until nothing happens without the user: the run has ended and been
  // shown, or it is paused with every generation so far shown.
  void WaitForRun() { RunPresenter->WaitForRun(); }

  // The environment of the last experiment and the set of the agent on display.
  const TFuzzySet& Environment() const;
  const TFuzzySet& Developed() const;
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

private slots:
  void SaveImageToolButtonClick();
  void SaveGraphToolButtonClick();
  void StartToolButtonClick();
  void BatchToolButtonClick();
  void PauseToolButtonClick(bool Paused);
  void CopyCommandToolButtonClick();
  void ClearRunsToolButtonClick();
  void SaveSettingsActionClick();
  void OpenSettingsActionClick();
  void FreezeActionClick();
  void ThawActionClick();
  void ContinueActionClick();
  void LoadEnvironmentActionClick();
  void OpenSweepActionClick();
  void BuiltInEnvironmentActionClick();
  // Develops a program of the list window with the current elements and blocks over the
  // environment of the last experiment and shows it; Number is the first list entry that
  // holds it. An empty text shows that nothing was selected.
  void ShowProgram(const QString& Program, int Number);
  void RunningChanged(bool Running);
  void ShowControlsOff(bool Off);
  // The second panel of the status bar.
  void ShowStatus(const QString& Text);

private:
  void SetStatusText(const std::string& Text);
  void BuildControls();
  void BuildMenus();
  // An action that does nothing while a run works.
  QAction* NewCommand(const char* Name, const char* Caption, const char* Tip,
                      void (TZELWorldHomeForm::*Slot)());
  // Runs a command, reporting an error that ends it in a modal box.
  void Guarded(const std::function<void()>& Command);
  void RunCommand(bool Batch);
  // Runs an experiment as "Start Simulation" or "Batch" do once they have read the controls
  // and the dialog: with the counter clock of Seed, reporting to FileName.
  void StartExperiment(const TExperimentSettings& Settings, bool Batch, std::uint32_t Seed,
                       const std::string& FileName);
  // Shows the open dialog; Read gets the chosen name when the user accepts.
  void OpenWithDialog(const char* Title, const char* Filter,
                      const std::function<void(const std::string&)>& Read);
  // Shows the save dialog for an image; Write gets the chosen name when the user accepts.
  void SaveWithDialog(const char* Title, const std::function<void(const std::string&)>& Write);
  // The environment of one's own in place of the built-in one (none: back to the built-in).
  void UseEnvironment(std::optional<TFuzzySet> Environment, const std::string& FileName);
  // The population in the window: the thawed one, or that of the last run while it waits or
  // after it ended.
  std::optional<TFrozenPopulation> WindowPopulation() const;
  // What a continued run of Frozen does with its environment, as the controls say.
  TEnvironmentChoice ContinueEnvironment(const TFrozenPopulation& Frozen) const;
  // Input to the panels, held back while they do not look disabled yet.
  bool HeldInput(QObject* Watched, QEvent* Event) const;
  void UpdateRunControls();

  TRandom Random;

  QToolBar* ZELToolBar;
  TRunToolBar* RunToolBar;
  QAction *StartAction, *BatchAction, *SaveImageAction, *SaveGraphAction, *CopyCommandAction,
      *ClearRunsAction, *SaveSettingsAction, *OpenSettingsAction, *FreezeAction, *ThawAction, *ContinueAction,
      *LoadEnvironmentAction, *BuiltInEnvironmentAction, *OpenSweepAction;
  QLabel* StatusMessage;
  QLabel* SeedUsedLabel;
  TEvolProgressBar* EvolProgressBar;
  TParameterPanel* ParameterPanel;
  TResultsPanel* ResultsPanel;
  // The settings of the window's one results dialog.
  TSaveDialog ResultsDialog;

  std::unique_ptr<TDialogService> OwnDialogs;
  TDialogService* DialogService;
  std::unique_ptr<TZELListForm> ZELListForm;
  std::unique_ptr<TRunPresenter> RunPresenter;

  std::string LastCommandLine;
  // The population of "Thaw Population…" until the next experiment starts.
  std::optional<TFrozenPopulation> Thawed;
  // The environment of "Load Environment…" and its file, while in use.
  std::optional<TFuzzySet> OwnEnvironment;
  std::string OwnEnvironmentFile;
};
