#include "ZELWorldHome/ZELWorldHome.h"

#include "Experiment/CommandText.h"
#include "Experiment/EnvironmentFile.h"
#include "Experiment/ExperimentFile.h"
#include "Experiment/PopulationFile.h"
#include "Experiment/Report.h"
#include "Plot/SweepChart.h"
#include "ZELList/ZELList.h"
#include "ZELWorldHome/ControlKit.h"
#include "ZELWorldHome/EvolChart.h"
#include "ZELWorldHome/FSImage.h"
#include "ZELWorldHome/ParameterPanel.h"
#include "ZELWorldHome/QtDisplay.h"
#include "ZELWorldHome/ResultsPanel.h"
#include "ZELWorldHome/RunToolBar.h"

#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace {
const char* const JsonFilter = "JSON files|*.json|all files|*.*";
} // namespace

TZELWorldHomeForm::TZELWorldHomeForm(TDialogService* Dialogs) {
  if (Dialogs == nullptr) {
    OwnDialogs = std::make_unique<TQtDialogService>(this);
    Dialogs = OwnDialogs.get();
  }
  DialogService = Dialogs;
  setObjectName("ZELWorldHomeForm");
  setWindowTitle("ZEL World");
  resize(813, 615);
  ZELListForm = std::make_unique<TZELListForm>();
  connect(ZELListForm.get(), &TZELListForm::programChosen, this, &TZELWorldHomeForm::ShowProgram);
  BuildControls();
  BuildMenus();
  RunPresenter =
      std::make_unique<TRunPresenter>(*ResultsPanel, *EvolProgressBar, *ZELListForm, *DialogService, *this);
  connect(RunPresenter.get(), &TRunPresenter::runningChanged, this, &TZELWorldHomeForm::RunningChanged);
  connect(RunPresenter.get(), &TRunPresenter::controlsShownOff, this, &TZELWorldHomeForm::ShowControlsOff);
  connect(RunPresenter.get(), &TRunPresenter::statusChanged, this, &TZELWorldHomeForm::ShowStatus);
  connect(RunPresenter.get(), &TRunPresenter::seedShown, SeedUsedLabel, &QLabel::setText);
  connect(RunToolBar, &TRunToolBar::pauseToggled, this, &TZELWorldHomeForm::PauseToolButtonClick);
  connect(RunToolBar, &TRunToolBar::stepAsked, RunPresenter.get(), &TRunPresenter::Step);
  connect(RunToolBar, &TRunToolBar::stopAsked, RunPresenter.get(), &TRunPresenter::Stop);
  connect(RunToolBar, &TRunToolBar::speedChanged, RunPresenter.get(), &TRunPresenter::SetSpeed);
  UpdateRunControls();
}

TZELWorldHomeForm::~TZELWorldHomeForm() {
  // Stops a run still going and waits for it, before anything it posts to is gone.
  RunPresenter.reset();
}

const TFuzzySet& TZELWorldHomeForm::Environment() const {
  return ResultsPanel->Environment();
}

const TFuzzySet& TZELWorldHomeForm::Developed() const {
  return ResultsPanel->Developed();
}

void TZELWorldHomeForm::BuildControls() {
  using F = TZELWorldHomeForm;
  // The commands that do nothing while a run works, and those that are for a run that waits too.
  struct TCommand {
    QAction* F::*Action;
    const char* Name;
    const char* Caption;
    const char* Tip;
    void (F::*Slot)();
    bool WhileRunning;
    QKeySequence Keys = {};
  };
  const TCommand commands[] = {
      {&F::StartAction, "StartAction", "Start Simulation", "Runs one simulation and writes its report.",
       &F::StartToolButtonClick, false, QKeySequence(Qt::CTRL | Qt::Key_R)},
      {&F::BatchAction, "BatchAction", "Batch", "Runs a batch of ten simulations and writes its report.",
       &F::BatchToolButtonClick, false, QKeySequence(Qt::CTRL | Qt::Key_B)},
      {&F::SaveImageAction, "SaveImageAction", "Save Image", "Saves the fuzzy-set picture as a BMP file.",
       &F::SaveImageToolButtonClick, false},
      {&F::SaveGraphAction, "SaveGraphAction", "Save Graph", "Saves the chart as a BMP file.",
       &F::SaveGraphToolButtonClick, false},
      {&F::CopyCommandAction, "CopyCommandAction", "Copy as command line",
       "Copies the zelworld-cli command that repeats the last experiment exactly.",
       &F::CopyCommandToolButtonClick, false},
      {&F::ClearRunsAction, "ClearRunsAction", "Clear Earlier Runs",
       "Removes the faded curves of earlier runs from the chart.", &F::ClearRunsToolButtonClick, false},
      {&F::SaveSettingsAction, "SaveSettingsAction", "Save Settings…",
       "Saves the settings, the seed and a loaded environment as an experiment file.",
       &F::SaveSettingsActionClick, true},
      {&F::OpenSettingsAction, "OpenSettingsAction", "Open Settings…",
       "Sets the controls and the seed from an experiment file.", &F::OpenSettingsActionClick, false},
      {&F::FreezeAction, "FreezeAction", "Freeze Population…",
       "Saves the population of the last run (or of the paused run) to go on with later.",
       &F::FreezeActionClick, true},
      {&F::ThawAction, "ThawAction", "Thaw Population…",
       "Loads a frozen population: shows its settings and its best agent.", &F::ThawActionClick, false},
      {&F::LoadEnvironmentAction, "LoadEnvironmentAction", "Load Environment…",
       "Takes the environment of a file for the experiments that follow.", &F::LoadEnvironmentActionClick,
       false},
      {&F::OpenSweepAction, "OpenSweepAction", "Open Sweep Results…",
       "Shows a sweep's aggregate: the mean curves of its conditions with their 95% bands.",
       &F::OpenSweepActionClick, true},
      {&F::BuiltInEnvironmentAction, "BuiltInEnvironmentAction", "Use Built-in Environment",
       "Goes back from a loaded environment to the fixed (or, with Random Fitness, a random) one.",
       &F::BuiltInEnvironmentActionClick, false},
      {&F::ContinueAction, "ContinueAction", "Continue",
       "Runs the set number of generations more from the population in the window.", &F::ContinueActionClick,
       false}};
  for (const TCommand& c : commands) {
    QAction* action = this->*c.Action = NewAction(this, c.Name, c.Caption, c.Tip);
    if (!c.Keys.isEmpty()) SetShortcut(action, c.Keys);
    // A run just begun may not show its commands off yet: until then they do nothing.
    connect(action, &QAction::triggered, this, [this, c] {
      if (c.WhileRunning || !Running()) (this->*c.Slot)();
    });
  }
  BuiltInEnvironmentAction->setEnabled(false);

  ZELToolBar = new QToolBar("Commands");
  ZELToolBar->setObjectName("ZELToolBar");
  ZELToolBar->setMovable(false);
  ZELToolBar->setFixedHeight(33);
  ZELToolBar->addWidget(NewToolButton("StartToolButton", StartAction));
  ZELToolBar->addWidget(NewToolButton("BatchToolButton", BatchAction));
  ZELToolBar->addSeparator();
  ZELToolBar->addWidget(NewToolButton("SaveImageToolButton", SaveImageAction));
  ZELToolBar->addWidget(NewToolButton("SaveGraphToolButton", SaveGraphAction));
  addToolBar(Qt::TopToolBarArea, ZELToolBar);
  addToolBarBreak(Qt::TopToolBarArea);
  RunToolBar = new TRunToolBar(CopyCommandAction, ClearRunsAction);
  addToolBar(Qt::TopToolBarArea, RunToolBar);

  auto* statusBar = new QStatusBar;
  statusBar->setObjectName("StatusBar1");
  QLabel* credit = NewLabel("StatusPanel0", "ZEL World: evolving ZELs");
  credit->setFixedWidth(200);
  credit->setAlignment(Qt::AlignCenter);
  StatusMessage = new TElidedLabel;
  StatusMessage->setObjectName("StatusPanel1");
  StatusMessage->setMinimumWidth(120);
  SeedUsedLabel = NewLabel("SeedUsedLabel", "");
  SeedUsedLabel->setToolTip("The seed of the last experiment, or the generation a continued run began from.");
  SeedUsedLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  statusBar->addWidget(credit);
  statusBar->addWidget(StatusMessage, 1);
  statusBar->addPermanentWidget(SeedUsedLabel);
  setStatusBar(statusBar);

  ParameterPanel = new TParameterPanel;
  ResultsPanel = new TResultsPanel;
  auto* controls = new QWidget;
  controls->setObjectName("FSControlsPanel");
  // As wide as the parameters need, the probability boxes whole.
  controls->setFixedWidth(std::max(163, ParameterPanel->minimumSizeHint().width() + 4));
  auto* column = new QVBoxLayout(controls);
  column->setContentsMargins(2, 2, 2, 2);
  column->addWidget(ParameterPanel);
  column->addWidget(ResultsPanel->DescriptionBox(), 1);

  EvolProgressBar = new TEvolProgressBar;
  EvolProgressBar->setObjectName("EvolProgressBar");

  auto* central = new QWidget;
  central->setObjectName("CentralPanel");
  auto* rows = new QVBoxLayout(central);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(0);
  auto* columns = new QHBoxLayout;
  columns->setSpacing(0);
  columns->addWidget(controls);
  columns->addWidget(ResultsPanel, 1);
  rows->addLayout(columns, 1);
  rows->addWidget(EvolProgressBar);
  setCentralWidget(central);
}

void TZELWorldHomeForm::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu");
  QMenu* file = bar->addMenu("&File");
  file->setObjectName("FileMenu");
  file->addAction(OpenSettingsAction);
  file->addAction(SaveSettingsAction);
  file->addSeparator();
  file->addAction(FreezeAction);
  file->addAction(ThawAction);
  file->addSeparator();
  file->addAction(LoadEnvironmentAction);
  file->addAction(BuiltInEnvironmentAction);
  file->addSeparator();
  file->addAction(OpenSweepAction);
  file->addSeparator();
  file->addAction(SaveImageAction);
  file->addAction(SaveGraphAction);
  file->addSeparator();
  QAction* quit = file->addAction("&Quit", this, [this] { close(); });
  quit->setObjectName("QuitAction");
  quit->setShortcut(QKeySequence::Quit);
  QMenu* run = bar->addMenu("&Run");
  run->setObjectName("RunMenu");
  run->addAction(StartAction);
  run->addAction(BatchAction);
  run->addAction(ContinueAction);
  run->addSeparator();
  run->addAction(RunToolBar->PauseAction());
  run->addAction(RunToolBar->StepAction());
  run->addAction(RunToolBar->StopAction());
  run->addSeparator();
  run->addAction(CopyCommandAction);
  run->addAction(ClearRunsAction);
}

bool TZELWorldHomeForm::eventFilter(QObject* Watched, QEvent* Event) {
  // The panels of a run that has just begun take no input, though they do not look disabled yet.
  if (Running() && !RunPresenter->ControlsShownOff() && HeldInput(Watched, Event)) return true;
  return QMainWindow::eventFilter(Watched, Event);
}

void TZELWorldHomeForm::closeEvent(QCloseEvent* Event) {
  RunPresenter->StopAndWait();
  QMainWindow::closeEvent(Event);
  QCoreApplication::quit();
}

void TZELWorldHomeForm::ShowStatus(const QString& Text) {
  StatusMessage->setText(Text);
}

void TZELWorldHomeForm::SetStatusText(const std::string& Text) {
  StatusMessage->setText(ToQString(Text));
}

void TZELWorldHomeForm::Guarded(const std::function<void()>& Command) {
  try {
    Command();
  } catch (const std::exception& e) {
    DialogService->ShowError(e.what());
  }
}

void TZELWorldHomeForm::RunningChanged(bool Running) {
  if (Running && !RunPresenter->ControlsShownOff())
    QApplication::instance()->installEventFilter(this);
  else
    QApplication::instance()->removeEventFilter(this);
  UpdateRunControls();
}

void TZELWorldHomeForm::ShowControlsOff(bool Off) {
  if (Off) QApplication::instance()->removeEventFilter(this);
  for (QWidget* w : {static_cast<QWidget*>(ParameterPanel), static_cast<QWidget*>(RunToolBar->SeedBox())})
    w->setEnabled(!Off);
  for (QAction* a : {StartAction, BatchAction, SaveImageAction, SaveGraphAction, OpenSettingsAction,
                     ThawAction, LoadEnvironmentAction})
    a->setEnabled(!Off);
  BuiltInEnvironmentAction->setEnabled(!Off && OwnEnvironment.has_value());
  UpdateRunControls();
}

bool TZELWorldHomeForm::HeldInput(QObject* Watched, QEvent* Event) const {
  switch (Event->type()) {
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonRelease:
  case QEvent::MouseButtonDblClick:
  case QEvent::Wheel:
  case QEvent::KeyPress:
  case QEvent::KeyRelease:
  case QEvent::ShortcutOverride:
    break;
  default:
    return false;
  }
  const auto* widget = qobject_cast<const QWidget*>(Watched);
  if (widget == nullptr) return false;
  for (const QWidget* w :
       {static_cast<QWidget*>(ParameterPanel), static_cast<QWidget*>(RunToolBar->SeedBox())})
    if (w == widget || w->isAncestorOf(widget)) return true;
  return false;
}

void TZELWorldHomeForm::UpdateRunControls() {
  // The run controls come on, and the commands go off, as the run shows itself running, with
  // its first frame: a run over before then changes no control. The commands do nothing while
  // a run works.
  const bool shownRunning = RunPresenter->ShownRunning();
  RunToolBar->ShowRunState(shownRunning);
  CopyCommandAction->setEnabled(!shownRunning && !LastCommandLine.empty());
  ClearRunsAction->setEnabled(!shownRunning && ResultsPanel->EarlierRunCount() > 0);
  // A run that has not shown itself yet leaves them as they were (Freeze then finds the run
  // working). While a run works its population is not to be had; paused, it is once the run waits.
  if (Running() && !shownRunning) return;
  const bool population = Thawed.has_value() || RunPresenter->HasPopulation();
  FreezeAction->setEnabled(population);
  ContinueAction->setEnabled(!Running() && population);
}

void TZELWorldHomeForm::PauseToolButtonClick(bool Paused) {
  RunPresenter->SetPaused(Paused);
  UpdateRunControls();
}

void TZELWorldHomeForm::SaveWithDialog(const char* Title,
                                       const std::function<void(const std::string&)>& Write) {
  ResultsDialog.Title = Title;
  ResultsDialog.FilterIndex = 1;
  const bool accepted = DialogService->ExecuteSaveDialog(ResultsDialog);
  // The experiment commands show the dialog as they find it.
  ResultsDialog.Title = TSaveDialog::ResultsTitle;
  ResultsDialog.FilterIndex = 0;
  if (accepted) Write(ResultsDialog.FileName);
}

void TZELWorldHomeForm::OpenWithDialog(const char* Title, const char* Filter,
                                       const std::function<void(const std::string&)>& Read) {
  TOpenDialog dialog{Title, Filter, {}};
  if (DialogService->ExecuteOpenDialog(dialog)) Read(dialog.FileName);
}

void TZELWorldHomeForm::SaveImageToolButtonClick() {
  SetStatusText("");
  TFSImage& image = ResultsPanel->Image();
  if (image.Empty()) {
    SetStatusText("Nothing is drawn yet, so there is no image to save");
    return;
  }
  Guarded([this, &image] {
    SaveWithDialog("Save Solution Image", [this, &image](const std::string& FileName) {
      image.SaveToFile(FileName);
      SetStatusText("Image saved to " + FileName);
    });
  });
}

void TZELWorldHomeForm::SaveGraphToolButtonClick() {
  SetStatusText("");
  Guarded([this] {
    SaveWithDialog("Save Chart Image", [this](const std::string& FileName) {
      SaveBitmap(ResultsPanel->Chart().RenderImage(), FileName);
      SetStatusText("Chart saved to " + FileName);
    });
  });
}

void TZELWorldHomeForm::StartToolButtonClick() {
  Guarded([this] { RunCommand(false); });
}

void TZELWorldHomeForm::BatchToolButtonClick() {
  Guarded([this] { RunCommand(true); });
}

void TZELWorldHomeForm::RunCommand(bool Batch) {
  SetStatusText("");
  // Every value is read and checked before the dialog: the seed (taken at the click, as the
  // clock was read before), then the parameters.
  const std::uint32_t seed = RunToolBar->Seed();
  const TExperimentSettings settings = ParameterPanel->Settings();
  if (!DialogService->ExecuteSaveDialog(ResultsDialog)) return;
  const std::string fileName = ResultsDialog.FileName;
  try {
    StartExperiment(settings, Batch, seed, fileName);
  } catch (...) {
    // A command that fails before its run begins hides the list all the same.
    ZELListForm->hide();
    throw;
  }
}

void TZELWorldHomeForm::StartExperiment(const TExperimentSettings& Settings, bool Batch, std::uint32_t Seed,
                                        const std::string& FileName) {
  Random.SetClock(Rng::CounterClock(Seed));
  std::unique_ptr<TExperiment> experiment;
  std::unique_ptr<TBatch> batch;
  if (Batch)
    batch = std::make_unique<TBatch>(Settings, Random);
  else
    experiment = std::make_unique<TExperiment>(Settings, Random);
  if (OwnEnvironment) {
    if (Batch)
      batch->SetEnvironment(*OwnEnvironment);
    else
      experiment->SetEnvironment(*OwnEnvironment);
  }
  const TExperimentSettings& settings = Batch ? batch->Experiment().Settings() : experiment->Settings();
  // The report is created before anything is shown, so that a name that cannot be written
  // leaves the window as it was.
  auto report = std::make_unique<TReportWriter>(FileName);
  TRunPresenter::TShownRun run{settings, Batch, Seed, FileName, 0, "Seed " + std::to_string(Seed)};
  const std::string commandLine = CommandLineText(settings, Batch, Seed, FileName, OwnEnvironmentFile);
  Thawed.reset();
  if (Batch)
    RunPresenter->StartBatch(std::move(batch), std::move(report), std::move(run), RunToolBar->Paused(),
                             RunToolBar->Speed());
  else
    RunPresenter->StartRun(std::move(experiment), std::move(report), std::move(run), RunToolBar->Paused(),
                           RunToolBar->Speed());
  LastCommandLine = commandLine;
}

void TZELWorldHomeForm::CopyCommandToolButtonClick() {
  SetStatusText("");
  if (LastCommandLine.empty()) return;
  QApplication::clipboard()->setText(ToQString(LastCommandLine));
  SetStatusText("Copied: " + LastCommandLine);
}

void TZELWorldHomeForm::ClearRunsToolButtonClick() {
  SetStatusText("");
  ResultsPanel->ClearEarlierRuns();
  UpdateRunControls();
}

void TZELWorldHomeForm::ShowProgram(const QString& Program, int Number) {
  // The list is hidden while a run works, and the generator is the run's.
  if (Running()) return;
  SetStatusText("");
  ResultsPanel->ShowGeneration(Number);
  if (Program.isEmpty()) {
    SetStatusText("No program selected");
    return;
  }
  const TDevelopment d = DevelopProgram(Random, Program.toStdString(), ParameterPanel->Blocks(),
                                        ParameterPanel->Elements(), ResultsPanel->Environment());
  ResultsPanel->ShowDeveloped(d);
  // A program shorter than the block count develops only the blocks it has; say so.
  SetStatusText(d.ShortfallText());
}

void TZELWorldHomeForm::SaveSettingsActionClick() {
  SetStatusText("");
  Guarded([this] {
    TExperimentFile file;
    file.Settings = ParameterPanel->Settings();
    if (RunToolBar->SeedGiven()) file.Seed = RunToolBar->Seed();
    file.Environment = OwnEnvironment;
    TSaveDialog dialog;
    dialog.Title = "Save Settings";
    dialog.Filter = JsonFilter;
    if (!DialogService->ExecuteSaveDialog(dialog)) return;
    SaveExperimentFile(dialog.FileName, file);
    SetStatusText("Settings saved to " + dialog.FileName);
  });
}

void TZELWorldHomeForm::OpenSettingsActionClick() {
  SetStatusText("");
  Guarded([this] {
    OpenWithDialog("Open Settings", JsonFilter, [this](const std::string& FileName) {
      // Read whole before anything changes, so that a bad file leaves the window as it was.
      TExperimentFile file = LoadExperimentFile(FileName);
      ParameterPanel->SetSettings(file.Settings);
      RunToolBar->SetSeed(file.Seed ? QString::number(*file.Seed) : QString());
      // An experiment without an environment of its own runs on the built-in one.
      UseEnvironment(std::move(file.Environment), FileName);
      SetStatusText("Settings from " + FileName);
    });
  });
}

void TZELWorldHomeForm::UseEnvironment(std::optional<TFuzzySet> Environment, const std::string& FileName) {
  OwnEnvironment = std::move(Environment);
  OwnEnvironmentFile = OwnEnvironment ? FileName : std::string();
  ParameterPanel->UseOwnEnvironment(OwnEnvironment ? OwnEnvironment->Count() : 0, FileName);
  BuiltInEnvironmentAction->setEnabled(OwnEnvironment.has_value());
  // The picture shows the environment the next experiment takes.
  if (OwnEnvironment) ResultsPanel->ShowEnvironment(*OwnEnvironment);
}

void TZELWorldHomeForm::LoadEnvironmentActionClick() {
  SetStatusText("");
  Guarded([this] {
    OpenWithDialog("Load Environment", JsonFilter, [this](const std::string& FileName) {
      UseEnvironment(LoadEnvironmentFile(FileName), FileName);
      SetStatusText("Environment of " + FileName + ", " + std::to_string(Environment().Count()) +
                    " elements");
    });
  });
}

void TZELWorldHomeForm::OpenSweepActionClick() {
  SetStatusText("");
  Guarded([this] {
    OpenWithDialog("Open Sweep Results", "sweep aggregates|*.csv|all files|*.*",
                   [this](const std::string& FileName) {
                     // Read in full first: a bad file opens no window.
                     std::unique_ptr<TSweepFigure> figure(LoadSweepFigure(FileName));
                     const QSize size = figure->DefaultSize(900);
                     auto* view = new TSweepFigureView(figure.release(), this);
                     view->setWindowFlag(Qt::Window);
                     view->setAttribute(Qt::WA_DeleteOnClose);
                     view->setObjectName("SweepChartView");
                     view->setWindowTitle(ToQString("Sweep Results: " + FileName));
                     view->resize(size.width() + 4, std::min(size.height(), 760) + 4);
                     view->show();
                     SetStatusText("Sweep results of " + FileName);
                   });
  });
}

void TZELWorldHomeForm::BuiltInEnvironmentActionClick() {
  SetStatusText("");
  UseEnvironment(std::nullopt, "");
  SetStatusText(ParameterPanel->RandomEnvironment() ? "Experiments build a random environment"
                                                    : "Experiments use the fixed environment");
}

std::optional<TFrozenPopulation> TZELWorldHomeForm::WindowPopulation() const {
  if (Thawed) return Thawed;
  return RunPresenter->Freeze();
}

void TZELWorldHomeForm::FreezeActionClick() {
  SetStatusText("");
  Guarded([this] {
    const std::optional<TFrozenPopulation> frozen = WindowPopulation();
    if (!frozen) {
      SetStatusText("There is no population to freeze: the run is working, or there was none");
      return;
    }
    TSaveDialog dialog;
    dialog.Title = "Freeze Population";
    dialog.Filter = JsonFilter;
    if (!DialogService->ExecuteSaveDialog(dialog)) return;
    SavePopulationFile(dialog.FileName, *frozen);
    SetStatusText("Population of generation " + std::to_string(frozen->Generation) + " frozen in " +
                  dialog.FileName);
  });
}

void TZELWorldHomeForm::ThawActionClick() {
  SetStatusText("");
  Guarded([this] {
    OpenWithDialog("Thaw Population", JsonFilter, [this](const std::string& FileName) {
      TFrozenPopulation frozen = LoadPopulationFile(FileName);
      std::string status =
          "Population of generation " + std::to_string(frozen.Generation) + " from " + FileName;
      // A loaded environment that does not fit the population could never be continued under.
      if (OwnEnvironment && OwnEnvironment->Count() != frozen.Settings.Elements) {
        UseEnvironment(std::nullopt, "");
        status += "; the loaded environment does not fit it, so the built-in one is back";
      }
      ParameterPanel->SetSettings(frozen.Settings);
      if (OwnEnvironment) ParameterPanel->SetRandomEnvironment(false);
      ResultsPanel->SetEnvironment(frozen.Environment);
      ResultsPanel->ShowDevelopment(DevelopAgent(frozen.BestAll, frozen.Environment), frozen.Generation);
      Thawed = std::move(frozen);
      UpdateRunControls();
      SetStatusText(status);
    });
  });
}

TEnvironmentChoice TZELWorldHomeForm::ContinueEnvironment(const TFrozenPopulation& Frozen) const {
  if (OwnEnvironment) return TEnvironmentChoice::Own;
  const bool random = ParameterPanel->RandomEnvironment();
  // Random Fitness as the population had it keeps the population's environment.
  if (random == Frozen.Settings.RandomEnvironment) return TEnvironmentChoice::Keep;
  return random ? TEnvironmentChoice::NewRandom : TEnvironmentChoice::Fixed;
}

void TZELWorldHomeForm::ContinueActionClick() {
  SetStatusText("");
  Guarded([this] {
    const std::optional<TFrozenPopulation> frozen = WindowPopulation();
    if (!frozen) throw std::invalid_argument("There is no population to continue: run or thaw one first");
    const TExperimentSettings settings = ParameterPanel->Settings();
    const auto differences = KeptDifferences(settings, frozen->Settings);
    if (!differences.empty())
      throw std::invalid_argument(ContinueKeptMessage(
          differences.front(),
          OwnEnvironment ? " (the loaded environment of " + OwnEnvironmentFile + ")" : ""));
    // A new random environment is drawn from the seed box; otherwise the seed is the run's own.
    const TEnvironmentChoice choice = ContinueEnvironment(*frozen);
    const bool newRandom = choice == TEnvironmentChoice::NewRandom;
    const std::uint32_t seed = newRandom ? RunToolBar->Seed() : frozen->RandomSeed;
    if (!DialogService->ExecuteSaveDialog(ResultsDialog)) return;
    const std::string fileName = ResultsDialog.FileName;
    const std::optional<TFuzzySet> environment =
        ContinuedEnvironment(*frozen, choice, OwnEnvironment ? &*OwnEnvironment : nullptr, seed);
    auto experiment = std::make_unique<TExperiment>(settings, Random);
    // A report that cannot be written leaves the window and its generator as they were.
    auto report = std::make_unique<TReportWriter>(fileName);
    experiment->Thaw(*frozen, environment ? &*environment : nullptr);
    // The generator goes on from the population's state; a seed was taken only for a new environment.
    TRunPresenter::TShownRun run{experiment->Settings(),
                                 false,
                                 seed,
                                 fileName,
                                 frozen->Generation,
                                 newRandom
                                     ? "Seed " + std::to_string(seed)
                                     : "Continued from generation " + std::to_string(frozen->Generation)};
    Thawed.reset();
    RunPresenter->ContinueRun(std::move(experiment), std::move(report), std::move(run), RunToolBar->Paused(),
                              RunToolBar->Speed());
    // Repeating a continued run takes its population file.
    LastCommandLine.clear();
  });
}
