#include "ZELWorldHome/ZELWorldHome.h"

#include "Experiment/CommandText.h"
#include "Experiment/EnvironmentFile.h"
#include "Experiment/Experiment.h"
#include "Experiment/ExperimentFile.h"
#include "Experiment/FloatText.h"
#include "Experiment/Picture.h"
#include "Experiment/PopulationFile.h"
#include "Experiment/Report.h"
#include "Experiment/ReportFormat.h"
#include "Plot/SweepChart.h"
#include "ZELList/ZELList.h"
#include "ZELWorldHome/SpinEdit.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <ctime>
#include <exception>
#include <functional>
#include <optional>

namespace {
const std::array<const char*, 8> MutationTexts{"0.0",   "0.0001", "0.0005", "0.001",
                                               "0.005", "0.01",   "0.05",   "0.1"};
const std::array<const char*, 11> CrossoverTexts{"0.0", "0.1", "0.2", "0.3", "0.4", "0.5",
                                                 "0.6", "0.7", "0.8", "0.9", "1.0"};

TSpinEdit* NewSpinEdit(const char* Name, int Min, int Max, int Value, const char* Tip) {
  auto* spin = new TSpinEdit(Min, Max, Value);
  spin->setObjectName(Name);
  spin->setToolTip(Tip);
  return spin;
}

QSlider* NewTrackBar(const char* Name, int Max, int Position, const char* Tip) {
  auto* bar = new QSlider(Qt::Horizontal);
  bar->setObjectName(Name);
  bar->setRange(0, Max);
  bar->setValue(Position);
  bar->setPageStep(1);
  bar->setTickPosition(QSlider::TicksBelow);
  bar->setTickInterval(1);
  bar->setFixedWidth(96);
  bar->setToolTip(Tip);
  return bar;
}

QLineEdit* NewEdit(const char* Name, const char* Text, const char* Tip) {
  auto* edit = new QLineEdit(Text);
  edit->setObjectName(Name);
  edit->setFixedWidth(49);
  edit->setToolTip(Tip);
  return edit;
}

QLabel* NewLabel(const char* Name, const char* Text) {
  auto* label = new QLabel(Text);
  label->setObjectName(Name);
  return label;
}

QLabel* NewValueLabel(const char* Name, const char* Text) {
  QLabel* label = NewLabel(Name, Text);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  // The values are right-aligned by their leading blanks.
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

QToolButton* NewToolButton(const char* Name, QAction* Action) {
  auto* button = new QToolButton;
  button->setObjectName(Name);
  if (Action->isCheckable()) {
    button->setDefaultAction(Action);
  } else {
    // A command of fixed text follows its action's enabled state alone: a default action
    // sets the button's icon anew at every change of the action, and with it lays the whole
    // tool bar out again.
    button->setText(Action->iconText());
    button->setToolTip(Action->toolTip());
    button->setEnabled(Action->isEnabled());
    QObject::connect(button, &QToolButton::clicked, Action, &QAction::trigger);
    QObject::connect(Action, &QAction::enabledChanged, button, &QWidget::setEnabled);
  }
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setMinimumSize(80, 21);
  return button;
}

// A run shows itself at most this often.
constexpr auto ShowInterval = std::chrono::milliseconds(33);
// And so seldom that its frames take at most this share of the window's time: a frame that cost
// more than a twentieth of the interval (a long chart, a large window) spaces out the next one.
constexpr int ShowShare = 20;

// The processor time of the calling thread.
std::chrono::nanoseconds ThreadTime() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// The speeds a class can follow, in generations (runs of a batch) a second; 0 is as fast as possible.
const std::array<std::pair<const char*, int>, 6> Speeds{{{"As fast as possible", 0},
                                                         {"100 a second", 100},
                                                         {"30 a second", 30},
                                                         {"10 a second", 10},
                                                         {"3 a second", 3},
                                                         {"1 a second", 1}}};

QString ToQString(const std::string& S) {
  return QString::fromStdString(S);
}

const char* const JsonFilter = "JSON files|*.json|all files|*.*";

// The preset position whose text reads as Value, or -1.
template <std::size_t N> int PresetPosition(const std::array<const char*, N>& Texts, double Value) {
  for (std::size_t i = 0; i < N; ++i)
    if (StrToFloat(Texts[i]) == Value) return static_cast<int>(i);
  return -1;
}

// A continued run keeps what its population is made of; Control names the control at fault.
} // namespace

std::string MutationText(int Position) {
  return Position >= 0 && Position < static_cast<int>(MutationTexts.size())
             ? MutationTexts[static_cast<std::size_t>(Position)]
             : "";
}

std::string CrossoverText(int Position) {
  return Position >= 0 && Position < static_cast<int>(CrossoverTexts.size())
             ? CrossoverTexts[static_cast<std::size_t>(Position)]
             : "";
}

TZELWorldHomeForm::TZELWorldHomeForm(TDialogService* Dialogs) {
  if (Dialogs == nullptr) {
    OwnDialogs = std::make_unique<TQtDialogService>(this);
    Dialogs = OwnDialogs.get();
  }
  DialogService = Dialogs;
  setObjectName("ZELWorldHomeForm");
  setWindowTitle("ZEL World");
  resize(813, 615);
  BuildControls();
  BuildMenus();
  ShowTimer = new QTimer(this);
  ShowTimer->setObjectName("ShowTimer");
  ShowTimer->setSingleShot(true);
  connect(ShowTimer, &QTimer::timeout, this, [this] { ShowWorkerUpdate(); });
  // The worker only posts; the update is taken and shown on this thread.
  Worker = std::make_unique<TRunWorker>([this] {
    QMetaObject::invokeMethod(
        this, [this] { WorkerWoke(); }, Qt::QueuedConnection);
  });
  UpdateRunControls();
  FormCreate(this);
}

TZELWorldHomeForm::~TZELWorldHomeForm() {
  // Stops a run still going and waits for it, before anything it posts to is gone.
  Worker.reset();
  FormDestroy(this);
}

QAction* TZELWorldHomeForm::NewAction(const char* Name, const char* Caption, const char* Tip,
                                      const std::function<void()>& Handler) {
  auto* action = new QAction(Caption, this);
  action->setObjectName(Name);
  // A tooltip, not a status tip: a status message would hide the status bar's panels.
  action->setToolTip(Tip);
  connect(action, &QAction::triggered, this, Handler);
  return action;
}

QAction* TZELWorldHomeForm::NewCommand(const char* Name, const char* Caption, const char* Tip,
                                       const std::function<void()>& Handler) {
  // A run just begun may not show its commands off yet: until then they do nothing.
  return NewAction(Name, Caption, Tip, [this, Handler] {
    if (!RunActive) Handler();
  });
}

void TZELWorldHomeForm::BuildControls() {
  StartAction = NewCommand("StartAction", "Start Simulation", "Runs one simulation and writes its report.",
                           [this] { StartToolButtonClick(StartToolButton); });
  BatchAction = NewCommand("BatchAction", "Batch", "Runs a batch of ten simulations and writes its report.",
                           [this] { BatchToolButtonClick(BatchToolButton); });
  SaveImageAction = NewCommand("SaveImageAction", "Save Image", "Saves the fuzzy-set picture as a BMP file.",
                               [this] { SaveImageToolButtonClick(SaveImageToolButton); });
  SaveGraphAction = NewCommand("SaveGraphAction", "Save Graph", "Saves the chart as a BMP file.",
                               [this] { SaveGraphToolButtonClick(SaveGraphToolButton); });
  ZELToolBar = new QToolBar("Commands");
  ZELToolBar->setObjectName("ZELToolBar");
  ZELToolBar->setMovable(false);
  ZELToolBar->setFixedHeight(33);
  StartToolButton = NewToolButton("StartToolButton", StartAction);
  BatchToolButton = NewToolButton("BatchToolButton", BatchAction);
  SaveImageToolButton = NewToolButton("SaveImageToolButton", SaveImageAction);
  SaveGraphToolButton = NewToolButton("SaveGraphToolButton", SaveGraphAction);
  ZELToolBar->addWidget(StartToolButton);
  ZELToolBar->addWidget(BatchToolButton);
  ZELToolBar->addSeparator();
  ZELToolBar->addWidget(SaveImageToolButton);
  ZELToolBar->addWidget(SaveGraphToolButton);
  addToolBar(Qt::TopToolBarArea, ZELToolBar);
  addToolBarBreak(Qt::TopToolBarArea);
  addToolBar(Qt::TopToolBarArea, BuildRunToolBar());

  StatusBar1 = new QStatusBar;
  StatusBar1->setObjectName("StatusBar1");
  StatusPanel0 = NewLabel("StatusPanel0", "ZEL World: evolving ZELs");
  StatusPanel0->setFixedWidth(200);
  StatusPanel0->setAlignment(Qt::AlignCenter);
  StatusPanel1 = NewLabel("StatusPanel1", "");
  StatusPanel1->setMinimumWidth(339);
  StatusBar1->addWidget(StatusPanel0);
  StatusBar1->addWidget(StatusPanel1, 1);
  setStatusBar(StatusBar1);

  FSControlsPanel = new QWidget;
  FSControlsPanel->setObjectName("FSControlsPanel");
  FSControlsPanel->setFixedWidth(163);
  auto* column = new QVBoxLayout(FSControlsPanel);
  column->setContentsMargins(2, 2, 2, 2);
  column->addWidget(BuildReproductionPanel());
  column->addWidget(BuildGAPanel());
  column->addWidget(BuildDescriptionBox(), 1);

  ImagePanel = new QWidget;
  ImagePanel->setObjectName("ImagePanel");
  EvolChart = new TEvolChart;
  EvolChart->setObjectName("EvolChart");
  FSImage = new TFSImage;
  FSImage->setObjectName("FSImage");
  GraphSplitter = new QSplitter(Qt::Vertical);
  GraphSplitter->setObjectName("GraphSplitter");
  GraphSplitter->setHandleWidth(3);
  GraphSplitter->setChildrenCollapsible(false);
  GraphSplitter->addWidget(EvolChart);
  GraphSplitter->addWidget(FSImage);
  auto* imageLayout = new QVBoxLayout(ImagePanel);
  imageLayout->setContentsMargins(0, 0, 0, 0);
  imageLayout->addWidget(GraphSplitter);
  ImagePanel->installEventFilter(this);

  EvolProgressBar = new TEvolProgressBar;
  EvolProgressBar->setObjectName("EvolProgressBar");

  auto* central = new QWidget;
  central->setObjectName("CentralPanel");
  auto* rows = new QVBoxLayout(central);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(0);
  auto* columns = new QHBoxLayout;
  columns->setSpacing(0);
  columns->addWidget(FSControlsPanel);
  columns->addWidget(ImagePanel, 1);
  rows->addLayout(columns, 1);
  rows->addWidget(EvolProgressBar);
  setCentralWidget(central);

  connect(pmutTrackBar, &QSlider::valueChanged, this, [this] { pmutTrackBarChange(pmutTrackBar); });
  connect(pnoiseTrackBar, &QSlider::valueChanged, this, [this] { pnoiseTrackBarChange(pnoiseTrackBar); });
  connect(PCrossTrackBar, &QSlider::valueChanged, this, [this] { PCrossTrackBarChange(PCrossTrackBar); });
  connect(RatesCheckBox, &QCheckBox::clicked, this, [this] { RatesCheckBoxClick(RatesCheckBox); });
  connect(ReprodButtons, &QButtonGroup::idToggled, this, [this](int, bool Checked) {
    if (Checked) ReprodRadioGroupClick(ReprodRadioGroup);
  });
}

QToolBar* TZELWorldHomeForm::BuildRunToolBar() {
  PauseAction = NewAction("PauseAction", "Pause",
                          "Pauses the run after the current generation; checked before a start, the "
                          "run waits after generation 0.",
                          [this] { PauseToolButtonClick(PauseToolButton); });
  PauseAction->setCheckable(true);
  StepAction = NewAction("StepAction", "Step", "Runs one more generation (one run of a batch) while paused.",
                         [this] { StepToolButtonClick(StepToolButton); });
  StopAction = NewAction("StopAction", "Stop",
                         "Ends the run after the current generation (a batch after the current run).",
                         [this] { StopToolButtonClick(StopToolButton); });
  CopyCommandAction = NewCommand("CopyCommandAction", "Copy as command line",
                                 "Copies the zelworld-cli command that repeats the last experiment exactly.",
                                 [this] { CopyCommandToolButtonClick(CopyCommandToolButton); });
  ClearRunsAction = NewCommand("ClearRunsAction", "Clear Earlier Runs",
                               "Removes the faded curves of earlier runs from the chart.",
                               [this] { ClearRunsToolButtonClick(ClearRunsToolButton); });
  SaveSettingsAction =
      NewAction("SaveSettingsAction", "Save Settings…",
                "Saves the settings, the seed and a loaded environment as an experiment file.",
                [this] { SaveSettingsActionClick(SaveSettingsAction); });
  OpenSettingsAction = NewCommand("OpenSettingsAction", "Open Settings…",
                                  "Sets the controls and the seed from an experiment file.",
                                  [this] { OpenSettingsActionClick(OpenSettingsAction); });
  FreezeAction = NewAction("FreezeAction", "Freeze Population…",
                           "Saves the population of the last run (or of the paused run) to go on with later.",
                           [this] { FreezeActionClick(FreezeAction); });
  ThawAction = NewCommand("ThawAction", "Thaw Population…",
                          "Loads a frozen population: shows its settings and its best agent.",
                          [this] { ThawActionClick(ThawAction); });
  LoadEnvironmentAction = NewCommand("LoadEnvironmentAction", "Load Environment…",
                                     "Takes the environment of a file for the experiments that follow.",
                                     [this] { LoadEnvironmentActionClick(LoadEnvironmentAction); });
  OpenSweepAction =
      NewAction("OpenSweepAction", "Open Sweep Results…",
                "Shows a sweep's aggregate: the mean curves of its conditions with their 95% bands.",
                [this] { OpenSweepActionClick(OpenSweepAction); });
  BuiltInEnvironmentAction =
      NewCommand("BuiltInEnvironmentAction", "Use Built-in Environment",
                 "Goes back from a loaded environment to the fixed (or, with Random Fitness, a random) one.",
                 [this] { BuiltInEnvironmentActionClick(BuiltInEnvironmentAction); });
  BuiltInEnvironmentAction->setEnabled(false);
  ContinueAction = NewCommand("ContinueAction", "Continue",
                              "Runs the set number of generations more from the population in the window.",
                              [this] { ContinueActionClick(ContinueAction); });
  RunToolBar = new QToolBar("Run");
  RunToolBar->setObjectName("RunToolBar");
  RunToolBar->setMovable(false);
  PauseToolButton = NewToolButton("PauseToolButton", PauseAction);
  PauseToolButton->setMinimumWidth(60);
  StepToolButton = NewToolButton("StepToolButton", StepAction);
  StepToolButton->setMinimumWidth(40);
  StopToolButton = NewToolButton("StopToolButton", StopAction);
  StopToolButton->setMinimumWidth(40);
  SpeedComboBox = new QComboBox;
  SpeedComboBox->setObjectName("SpeedComboBox");
  SpeedComboBox->setToolTip("How fast a run goes: slow it down to watch selection at work.");
  for (const auto& [caption, perSecond] : Speeds)
    SpeedComboBox->addItem(caption, perSecond);
  connect(SpeedComboBox, &QComboBox::currentIndexChanged, this,
          [this] { SpeedComboBoxChange(SpeedComboBox); });
  SeedEdit = new QLineEdit;
  SeedEdit->setObjectName("SeedEdit");
  SeedEdit->setFixedWidth(90);
  SeedEdit->setPlaceholderText("time of day");
  SeedEdit->setToolTip("Seed of the random generator, 0..4294967295; empty for the time of day. The "
                       "same seed and settings repeat a run exactly.");
  SeedUsedLabel = NewLabel("SeedUsedLabel", "");
  SeedUsedLabel->setToolTip("The seed of the last experiment.");
  SeedUsedLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  CopyCommandToolButton = NewToolButton("CopyCommandToolButton", CopyCommandAction);
  ClearRunsToolButton = NewToolButton("ClearRunsToolButton", ClearRunsAction);
  RunToolBar->addWidget(PauseToolButton);
  RunToolBar->addWidget(StepToolButton);
  RunToolBar->addWidget(StopToolButton);
  RunToolBar->addWidget(SpeedComboBox);
  RunToolBar->addSeparator();
  RunToolBar->addWidget(NewLabel("SeedCaption", " Seed: "));
  RunToolBar->addWidget(SeedEdit);
  RunToolBar->addWidget(SeedUsedLabel);
  RunToolBar->addWidget(CopyCommandToolButton);
  RunToolBar->addSeparator();
  RunToolBar->addWidget(ClearRunsToolButton);
  return RunToolBar;
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
  run->addAction(PauseAction);
  run->addAction(StepAction);
  run->addAction(StopAction);
  run->addSeparator();
  run->addAction(CopyCommandAction);
  run->addAction(ClearRunsAction);
}

QWidget* TZELWorldHomeForm::BuildReproductionPanel() {
  ReproductionPanel = new QWidget;
  ReproductionPanel->setObjectName("ReproductionPanel");
  ReprodRadioGroup = new QGroupBox("Agent Reproduction");
  ReprodRadioGroup->setObjectName("ReprodRadioGroup");
  ReprodRadioGroup->setToolTip(
      "Chooses whether agents reproduce through their programs, their chromosomes or both.");
  ReprodButtons = new QButtonGroup(ReprodRadioGroup);
  ReprodButtons->setObjectName("ReprodButtons");
  auto* items = new QVBoxLayout(ReprodRadioGroup);
  items->setContentsMargins(6, 2, 6, 2);
  items->setSpacing(0);
  const std::array<const char*, 3> captions{"Phenotpe (ZEL)", "Genotype", "Both"};
  for (int i = 0; i < 3; ++i) {
    auto* item = new QRadioButton(captions[static_cast<std::size_t>(i)]);
    item->setObjectName(QString("ReprodRadioGroupItem%1").arg(i));
    ReprodButtons->addButton(item, i);
    items->addWidget(item);
  }
  ReprodButtons->button(1)->setChecked(true);
  RandomFitCheckBox = new QCheckBox("Random Fitness");
  RandomFitCheckBox->setObjectName("RandomFitCheckBox");
  RandomFitCheckBox->setToolTip(
      "Builds a new random environment for every experiment instead of the fixed one.");
  RatesCheckBox = new QCheckBox("Rates Selection");
  RatesCheckBox->setObjectName("RatesCheckBox");
  RatesCheckBox->setToolTip("Chooses parents in proportion to fitness instead of from the best fifth.");
  auto* layout = new QVBoxLayout(ReproductionPanel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(ReprodRadioGroup);
  layout->addWidget(RandomFitCheckBox);
  layout->addWidget(RatesCheckBox);
  return ReproductionPanel;
}
QWidget* TZELWorldHomeForm::BuildGAPanel() {
  GAPanel = new QWidget;
  GAPanel->setObjectName("GAPanel");
  auto* grid = new QGridLayout(GAPanel);
  grid->setContentsMargins(0, 4, 0, 4);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(1);
  PopSpinEdit = NewSpinEdit("PopSpinEdit", 2, 1000, 100, "Number of agents in the population.");
  GenSpinEdit = NewSpinEdit("GenSpinEdit", 1, 1000, 100, "Number of generations of a run.");
  XElementsSpinEdit =
      NewSpinEdit("XElementsSpinEdit", 1, 2048, 100, "Number of elements of every fuzzy set.");
  NBlocksSpinEdit =
      NewSpinEdit("NBlocksSpinEdit", 1, 32, 8, "Number of fuzzy blocks in every development program.");
  grid->addWidget(NewLabel("Label1", "Pop Size:"), 0, 0);
  grid->addWidget(NewLabel("Label2", "FS Elements:"), 0, 1);
  grid->addWidget(PopSpinEdit, 1, 0);
  grid->addWidget(XElementsSpinEdit, 1, 1);
  grid->addWidget(NewLabel("Label3", "Generations:"), 2, 0);
  grid->addWidget(NewLabel("Label4", "FS Blocks"), 2, 1);
  grid->addWidget(GenSpinEdit, 3, 0);
  grid->addWidget(NBlocksSpinEdit, 3, 1);

  Label7 = NewLabel("Label7", "P Mutation:");
  pmutTrackBar =
      NewTrackBar("pmutTrackBar", 7, 1, "Chooses the chance that a chromosome bit flips when copied.");
  pmutEdit = NewEdit("pmutEdit", "0.0001", "Chance that a chromosome bit flips when copied.");
  Label8 = NewLabel("Label8", "P Noise:");
  pnoiseTrackBar =
      NewTrackBar("pnoiseTrackBar", 7, 1, "Chooses the chance that a program block mutates when copied.");
  pnoiseEdit = NewEdit("pnoiseEdit", "0.0001", "Chance that a program block mutates when copied.");
  Label10 = NewLabel("Label10", "P Crossover:");
  PCrossTrackBar = NewTrackBar("PCrossTrackBar", 10, 10, "Chooses the chance that two parents cross over.");
  PCrossEdit = NewEdit("PCrossEdit", "1.0", "Chance that two parents cross over at a random point.");
  const std::array<std::array<QWidget*, 3>, 3> rows{{{Label7, pmutTrackBar, pmutEdit},
                                                     {Label8, pnoiseTrackBar, pnoiseEdit},
                                                     {Label10, PCrossTrackBar, PCrossEdit}}};
  int row = 4;
  for (const auto& r : rows) {
    grid->addWidget(r[0], row++, 0, 1, 2);
    auto* line = new QHBoxLayout;
    line->setSpacing(4);
    line->addWidget(r[1]);
    line->addWidget(r[2]);
    grid->addLayout(line, row++, 0, 1, 2);
  }
  for (QWidget* w : {static_cast<QWidget*>(Label8), static_cast<QWidget*>(pnoiseTrackBar),
                     static_cast<QWidget*>(pnoiseEdit), static_cast<QWidget*>(Label10),
                     static_cast<QWidget*>(PCrossTrackBar), static_cast<QWidget*>(PCrossEdit)})
    w->setEnabled(false);
  return GAPanel;
}

QGroupBox* TZELWorldHomeForm::BuildDescriptionBox() {
  GroupBox1 = new QGroupBox("FS Description");
  GroupBox1->setObjectName("GroupBox1");
  auto* grid = new QGridLayout(GroupBox1);
  grid->setContentsMargins(6, 4, 6, 4);
  CardinalityLabel = NewValueLabel("CardinalityLabel", "0.0");
  SubSethoodLabel = NewValueLabel("SubSethoodLabel", "0.0");
  HammingLabel = NewValueLabel("HammingLabel", "0.0");
  FitnessLabel = NewValueLabel("FitnessLabel", "0");
  GenLabel = NewValueLabel("GenLabel", "0");
  const std::array<std::pair<const char*, QLabel*>, 5> rows{{{"Cardinality:", CardinalityLabel},
                                                             {"Subsethood:", SubSethoodLabel},
                                                             {"Hamming", HammingLabel},
                                                             {"Fitness", FitnessLabel},
                                                             {"MaxAgent: ", GenLabel}}};
  int row = 0;
  for (const auto& [caption, value] : rows) {
    grid->addWidget(NewLabel((value->objectName() + "Caption").toUtf8().constData(), caption), row, 0);
    grid->addWidget(value, row++, 1);
  }
  grid->setRowStretch(row, 1);
  return GroupBox1;
}

void TZELWorldHomeForm::FormCreate(QObject*) {
  EnvironmentSet.Clear();
  DevelopedSet.Clear();
  ImagePanelResize(ImagePanel);
}

void TZELWorldHomeForm::FormDestroy(QObject*) {
  DevelopedSet.Clear();
  EnvironmentSet.Clear();
}

bool TZELWorldHomeForm::eventFilter(QObject* Watched, QEvent* Event) {
  // The panels of a run that has just begun take no input, though they do not look disabled yet.
  if (RunActive && !ControlsOff && HeldInput(Watched, Event)) return true;
  if (Watched == ImagePanel && Event->type() == QEvent::Resize) ImagePanelResize(ImagePanel);
  return QMainWindow::eventFilter(Watched, Event);
}

void TZELWorldHomeForm::closeEvent(QCloseEvent* Event) {
  if (RunActive) {
    Worker->Stop();
    Worker->Join();
  }
  QMainWindow::closeEvent(Event);
  QCoreApplication::quit();
}

void TZELWorldHomeForm::ImagePanelResize(QObject*) {
  const int chart = ImagePanel->height() / 2;
  const int image = ImagePanel->height() - chart - GraphSplitter->handleWidth();
  GraphSplitter->setSizes({chart, image > 0 ? image : 0});
  FSImage->repaint();
}

void TZELWorldHomeForm::pmutTrackBarChange(QObject*) {
  pmutEdit->setText(ToQString(MutationText(pmutTrackBar->value())));
}

void TZELWorldHomeForm::pnoiseTrackBarChange(QObject*) {
  pnoiseEdit->setText(ToQString(MutationText(pnoiseTrackBar->value())));
}

void TZELWorldHomeForm::PCrossTrackBarChange(QObject*) {
  PCrossEdit->setText(ToQString(CrossoverText(PCrossTrackBar->value())));
}

void TZELWorldHomeForm::RatesCheckBoxClick(QObject*) {
  for (QWidget* w : {static_cast<QWidget*>(Label10), static_cast<QWidget*>(PCrossTrackBar),
                     static_cast<QWidget*>(PCrossEdit)})
    w->setEnabled(!w->isEnabledTo(GAPanel));
  if (!RatesCheckBox->isChecked()) {
    // Elite selection always crosses over.
    PCrossTrackBar->setValue(10);
    PCrossEdit->setText("1.0");
  }
}

void TZELWorldHomeForm::ReprodRadioGroupClick(QObject*) {
  const int item = ReprodButtons->checkedId();
  const bool mutation = item == 1 || item == 2;
  const bool noise = item == 0 || item == 2;
  for (QWidget* w :
       {static_cast<QWidget*>(Label7), static_cast<QWidget*>(pmutTrackBar), static_cast<QWidget*>(pmutEdit)})
    w->setEnabled(mutation);
  for (QWidget* w : {static_cast<QWidget*>(Label8), static_cast<QWidget*>(pnoiseTrackBar),
                     static_cast<QWidget*>(pnoiseEdit)})
    w->setEnabled(noise);
}

void TZELWorldHomeForm::SetStatusText(const std::string& Text) {
  StatusPanel1->setText(ToQString(Text));
}

void TZELWorldHomeForm::Guarded(const std::function<void()>& Command) {
  try {
    Command();
  } catch (const std::exception& e) {
    DialogService->ShowError(e.what());
  }
}

void TZELWorldHomeForm::SaveWithDialog(const char* Title,
                                       const std::function<void(const std::string&)>& Write) {
  SaveDialog1.Title = Title;
  SaveDialog1.FilterIndex = 1;
  const bool accepted = DialogService->ExecuteSaveDialog(SaveDialog1);
  // The experiment commands show the dialog as they find it.
  SaveDialog1.Title = TSaveDialog::ResultsTitle;
  SaveDialog1.FilterIndex = 0;
  if (accepted) Write(SaveDialog1.FileName);
}

void TZELWorldHomeForm::SaveImageToolButtonClick(QObject*) {
  SetStatusText("");
  if (FSImage->Picture().isNull()) {
    SetStatusText("Nothing is drawn yet, so there is no image to save");
    return;
  }
  Guarded([this] {
    SaveWithDialog("Save Solution Image", [this](const std::string& FileName) {
      FSImage->SaveToFile(FileName);
      SetStatusText("Image saved to " + FileName);
    });
  });
}

void TZELWorldHomeForm::SaveGraphToolButtonClick(QObject*) {
  SetStatusText("");
  Guarded([this] {
    SaveWithDialog("Save Chart Image", [this](const std::string& FileName) {
      SaveBitmap(EvolChart->RenderImage(), FileName);
      SetStatusText("Chart saved to " + FileName);
    });
  });
}

void TZELWorldHomeForm::StartToolButtonClick(QObject*) {
  Guarded([this] { RunCommand(false); });
}

void TZELWorldHomeForm::BatchToolButtonClick(QObject*) {
  Guarded([this] { RunCommand(true); });
}

std::uint32_t TZELWorldHomeForm::SeedFromBox() const {
  const std::string text = SeedEdit->text().trimmed().toStdString();
  if (text.empty()) return Rng::TimeOfDayMilliseconds();
  bool ok = !text.empty() && text.size() <= 10;
  for (char c : text)
    ok = ok && c >= '0' && c <= '9';
  const unsigned long long value = ok ? std::stoull(text) : 0;
  if (!ok || value > 4294967295ULL)
    throw std::invalid_argument("Seed: '" + text + "' is not a whole number from 0 to 4294967295");
  return static_cast<std::uint32_t>(value);
}

TExperimentSettings TZELWorldHomeForm::SettingsFromControls() const {
  TExperimentSettings s;
  s.PopSize = PopSpinEdit->TypedValue();
  s.Generations = GenSpinEdit->TypedValue();
  s.Elements = XElementsSpinEdit->TypedValue();
  s.Blocks = NBlocksSpinEdit->TypedValue();
  s.Reproduction = TReproduction(ReprodButtons->checkedId());
  s.RandomEnvironment = RandomFitCheckBox->isChecked();
  s.RatesSelection = RatesCheckBox->isChecked();
  s.PCrossover = StrToFloat(PCrossEdit->text().toStdString());
  s.PMutation = StrToFloat(pmutEdit->text().toStdString());
  s.PNoise = StrToFloat(pnoiseEdit->text().toStdString());
  return s;
}

void TZELWorldHomeForm::RunCommand(bool Batch) {
  SetStatusText("");
  // The seed is taken at the click, before the dialog, as the clock was read before.
  const std::uint32_t seed = SeedFromBox();
  if (!DialogService->ExecuteSaveDialog(SaveDialog1)) return;
  const std::string fileName = SaveDialog1.FileName;
  try {
    StartExperiment(SettingsFromControls(), Batch, seed, fileName);
  } catch (...) {
    // A command that fails before its run begins hides the list all the same.
    if (ZELListForm != nullptr) ZELListForm->hide();
    throw;
  }
}

void TZELWorldHomeForm::StartExperiment(const TExperimentSettings& Settings, bool Batch, std::uint32_t Seed,
                                        const std::string& FileName) {
  if (RunActive) throw std::logic_error("An experiment is already running");
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
  const TExperiment& e = Batch ? batch->Experiment() : *experiment;
  // The report is created before anything is shown, so that a name that cannot be written
  // leaves the window as it was.
  auto report = std::make_unique<TReportWriter>(FileName);

  ShowStart(e, Batch, Seed, FileName, 0);
  LastCommandLine = CommandLineText(Current.Settings, Batch, Seed, FileName, OwnEnvironmentFile);
  const bool paused = PauseAction->isChecked();
  if (Batch)
    Worker->StartBatch(std::move(batch), std::move(report), paused);
  else
    Worker->StartRun(std::move(experiment), std::move(report), paused);
}

void TZELWorldHomeForm::ShowStart(const TExperiment& E, bool Batch, std::uint32_t Seed,
                                  const std::string& FileName, int FirstGeneration) {
  const TObserved observed(*this, TShowPart::Start);
  TPendingStart start;
  for (const TCorrection& c : E.Corrections())
    start.Status += (start.Status.empty() ? "" : "; ") + c.Parameter + " " + ShortestReal(c.Given) +
                    " is outside 0..1; the run uses " + ShortestReal(c.Used);
  if (HaveRun) start.Previous = std::move(Current);
  start.SeedText = " used " + std::to_string(Seed) + " ";
  Current = {E.Settings(), Batch, Seed, FileName, {}, FirstGeneration};
  HaveRun = true;
  Thawed.reset();
  // The window shows the start with the run's first frame, a frame's time from now (or with
  // its outcome, if it is over by then), so that a short run is painted once, at its end.
  PendingStart = std::move(start);
  LastShown = std::chrono::steady_clock::now();
  ShowEvery = ShowInterval;
  LastShownCost = ThreadTime();
  ShowTimer->start(ShowInterval);
  Worker->SetSpeed(SpeedComboBox->currentData().toInt());
  SetRunning(true);
}

void TZELWorldHomeForm::ShowPendingStart(bool Outcome) {
  if (!PendingStart) return;
  // Shown with the outcome, the start is part of the outcome's display.
  const TObserved observed(*this, Outcome ? TShowPart::Outcome : TShowPart::Start);
  const TPendingStart start = std::move(*PendingStart);
  PendingStart.reset();
  // A run shown only by its outcome leaves the list window up for the outcome to fill.
  if (ZELListForm != nullptr && !Outcome) ZELListForm->hide();
  SetStatusText(start.Status);
  KeepEarlierRun(start.Previous ? &*start.Previous : nullptr, Current.Settings, Current.Batch);
  SeedUsedLabel->setText(ToQString(start.SeedText));

  const bool Batch = Current.Batch;
  const int FirstGeneration = Current.FirstGeneration;
  const int generations = Current.Settings.Generations;
  EvolProgressBar->setVisible(true);
  EvolProgressBar->setMinimum(1);
  EvolProgressBar->setMaximum(Batch ? BatchRunCount : FirstGeneration + generations);
  if (Batch) EvolProgressBar->SetPosition(1);
  // A continued run is drawn on from where its population stood, beside the run before it.
  EvolChart->SetBottomAxisRange(0, Batch ? BatchRunCount - 1 : FirstGeneration + generations);
  EvolChart->SetBottomAxisTitle(Batch ? "Runs" : "Generations");
  EvolChart->ClearSeries(0);
  EvolChart->ClearSeries(1);
  EvolChart->SetFirstX(FirstGeneration > 0 ? FirstGeneration + 1 : 0);
  if (!Outcome) ShowControlsOff(true);
}

void TZELWorldHomeForm::KeepEarlierRun(const TShownRun* Previous, const TExperimentSettings& Next,
                                       bool NextBatch) {
  if (Previous != nullptr && Previous->Batch != NextBatch) {
    // Generations and runs share no axis: a change of kind leaves no curve to compare with.
    EvolChart->ClearEarlierRuns();
    EarlierRuns.clear();
  } else if (Previous != nullptr && EvolChart->KeepEarlierRun()) {
    EarlierRuns.insert(EarlierRuns.begin(), *Previous);
    EarlierRuns.resize(std::min<std::size_t>(EarlierRuns.size(), TEvolChart::MaxEarlierRuns));
  }
  for (int i = 0; i < EvolChart->EarlierRunCount(); ++i) {
    const TShownRun& r = EarlierRuns[static_cast<std::size_t>(i)];
    EvolChart->SetEarlierRunName(i, DifferenceName(r.Settings, r.Seed, Next));
  }
}

void TZELWorldHomeForm::SetRunning(bool Running) {
  const TObserved observed(*this, TShowPart::Controls);
  RunActive = Running;
  // While a run works only the run controls answer. The panels and the commands are turned
  // off, and Stop and Step on, with the run's first frame: a run over before then changes no
  // control. Until then the panels take no input and the commands do nothing.
  if (!Running) ShowControlsOff(false);
  if (Running && !ControlsOff)
    QApplication::instance()->installEventFilter(this);
  else
    QApplication::instance()->removeEventFilter(this);
  UpdateRunControls();
}

void TZELWorldHomeForm::ShowControlsOff(bool Off) {
  if (ControlsOff == Off) return;
  ControlsOff = Off;
  if (Off) QApplication::instance()->removeEventFilter(this);
  for (QWidget* w : {ReproductionPanel, GAPanel, static_cast<QWidget*>(SeedEdit)})
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
  for (const QWidget* w : {ReproductionPanel, GAPanel, static_cast<QWidget*>(SeedEdit)})
    if (w == widget || w->isAncestorOf(widget)) return true;
  return false;
}

void TZELWorldHomeForm::UpdateRunControls() {
  const bool paused = PauseAction->isChecked();
  PauseAction->setText(paused ? "Resume" : "Pause");
  // The run controls come on, and the commands go off, as the run shows itself running, with
  // its first frame: a run over before then changes no control. The commands do nothing while
  // a run works.
  const bool shownRunning = RunActive && ControlsOff;
  StepAction->setEnabled(shownRunning && paused);
  StopAction->setEnabled(shownRunning);
  CopyCommandAction->setEnabled(!shownRunning && !LastCommandLine.empty());
  ClearRunsAction->setEnabled(!shownRunning && EvolChart->EarlierRunCount() > 0);
  // A run that has not shown itself yet leaves them as they were (Freeze then finds the run
  // working). While a run works its population is not to be had; paused, it is once the run waits.
  if (RunActive && !shownRunning) return;
  const bool population = Thawed.has_value() || (RunActive ? !Current.Batch && paused : Worker->CanFreeze());
  FreezeAction->setEnabled(population);
  ContinueAction->setEnabled(!RunActive && population);
}

void TZELWorldHomeForm::PauseToolButtonClick(QObject*) {
  if (PauseAction->isChecked())
    Worker->Pause();
  else
    Worker->Resume();
  UpdateRunControls();
}

void TZELWorldHomeForm::StepToolButtonClick(QObject*) {
  if (RunActive) Worker->Step();
}

void TZELWorldHomeForm::StopToolButtonClick(QObject*) {
  if (RunActive) Worker->Stop();
}

void TZELWorldHomeForm::SpeedComboBoxChange(QObject*) {
  Worker->SetSpeed(SpeedComboBox->currentData().toInt());
}

void TZELWorldHomeForm::CopyCommandToolButtonClick(QObject*) {
  SetStatusText("");
  if (LastCommandLine.empty()) return;
  QApplication::clipboard()->setText(ToQString(LastCommandLine));
  SetStatusText("Copied: " + LastCommandLine);
}

void TZELWorldHomeForm::ClearRunsToolButtonClick(QObject*) {
  SetStatusText("");
  EvolChart->ClearEarlierRuns();
  EarlierRuns.clear();
  UpdateRunControls();
}

void TZELWorldHomeForm::WorkerWoke() {
  if (!RunActive) return;
  const auto since = std::chrono::steady_clock::now() - LastShown;
  // The end of a run is shown at once; everything else waits for its turn.
  if (since >= ShowEvery || Worker->EndWaiting()) {
    ShowWorkerUpdate();
  } else if (!ShowTimer->isActive()) {
    ShowTimer->start(std::chrono::duration_cast<std::chrono::milliseconds>(ShowEvery - since));
  }
}

void TZELWorldHomeForm::ShowWorkerUpdate() {
  ShowTimer->stop();
  if (!RunActive) return;
  LastShown = std::chrono::steady_clock::now();
  // What the window's thread spent since the frame before: that frame, painted and laid out.
  const auto spent = ThreadTime() - LastShownCost;
  LastShownCost += spent;
  ShowEvery = std::max<std::chrono::steady_clock::duration>(ShowInterval, spent * ShowShare);
  TRunUpdate update = Worker->TakeUpdate();
  ShowPendingStart(update.Finished && update.Error.empty());
  ShowRecords(update);
  if (update.Finished) FinishRun(update);
  if (IdleLoop != nullptr && Idle()) IdleLoop->quit();
}

void TZELWorldHomeForm::ShowRecords(TRunUpdate& U) {
  // The outcome, shown next, draws the picture and sets the bar and the labels itself; the
  // records that come with it are part of its display.
  const bool outcomeFollows = U.Finished && U.Error.empty();
  const TObserved observed(*this, outcomeFollows ? TShowPart::Outcome : TShowPart::Records);
  // Until the best so far is drawn over it, and while the message naming the report waits,
  // the picture shows the environment alone.
  if (U.Environment) {
    EnvironmentSet = std::move(*U.Environment);
    BestDrawn = false;
    DrawSet(EnvironmentSet, *FSImage, clBlue, true);
    FSImage->update();
  }
  std::array<std::vector<double>, 2> points;
  for (TGenerationRecord& r : U.Generations) {
    points[0].push_back(r.Fitness);
    points[1].push_back(r.GenotypeRatio);
    Current.BestTexts.push_back(std::move(r.BestText));
  }
  for (TRunRecord& r : U.Runs) {
    points[0].push_back(r.Fitness);
    points[1].push_back(r.GenotypeRatio);
    Current.BestTexts.push_back(std::move(r.BestText));
  }
  EvolChart->AppendValues(0, points[0]);
  EvolChart->AppendValues(1, points[1]);
  if (outcomeFollows) return;
  // Generation 0 leaves the bar where it was; every later generation (every run) moves it.
  if (!U.Generations.empty() && U.Generations.back().Generation > 0)
    EvolProgressBar->SetPosition(U.Generations.back().Generation);
  if (!U.Runs.empty()) EvolProgressBar->SetPosition(U.Runs.back().Run + 1);
  if (!U.Generations.empty()) GenLabel->setText(QString::number(U.Generations.back().Generation));
  if (!U.Runs.empty()) GenLabel->setText(QString::number(U.Runs.back().Run));
  // The best so far changes seldom once a run has settled; the picture is redrawn only then.
  if (U.BestSoFar && (!BestDrawn || U.BestSoFar->Developed.Values() != DevelopedSet.Values())) {
    BestDrawn = true;
    DevelopedSet = std::move(U.BestSoFar->Developed);
    DrawOverEnvironment(DevelopedSet);
    ShowMeasures(U.BestSoFar->Measures);
  }
}

void TZELWorldHomeForm::FinishRun(TRunUpdate& U) {
  Worker->Join();
  SetRunning(false);
  const TObserved observed(*this, TShowPart::Outcome);
  if (!U.Error.empty()) {
    // The report keeps what was written before the failure; the list stays hidden.
    if (ZELListForm != nullptr) ZELListForm->hide();
    DialogService->ShowError(U.Error);
    return;
  }
  const TOutcome& outcome = *U.Outcome;
  if (U.Stopped) {
    const std::string where =
        Current.Batch
            ? "after run " + std::to_string(Current.BestTexts.size()) + " of " + std::to_string(BatchRunCount)
            : "after generation " + std::to_string(outcome.Generations) + " of " +
                  std::to_string(Current.FirstGeneration + Current.Settings.Generations);
    SetStatusText("Stopped " + where);
  }
  DialogService->ShowMessage("Your Report on file " + Current.FileName);
  EvolProgressBar->SetPosition(1);
  if (ZELListForm != nullptr) {
    ZELListForm->Clear();
    ZELListForm->SetNumbering(Current.Batch ? TZELListForm::TUnit::Run : TZELListForm::TUnit::Generation,
                              Current.FirstGeneration > 0 ? Current.FirstGeneration + 1 : 0);
    for (const std::string& text : Current.BestTexts)
      ZELListForm->Append(text);
    // The first time beside the main window rather than over it.
    if (!ListPlaced) ZELListForm->move(frameGeometry().topRight() + QPoint(8, 0));
    ListPlaced = true;
    // A list left up by a run shown only by its outcome comes to the front, as it does when
    // shown again after a run that hid it.
    if (ZELListForm->isVisible())
      ZELListForm->raise();
    else
      ZELListForm->show();
  }
  // A stopped or continued run shows the generation it reached; a batch always completes its runs.
  DisplayDevelopment(outcome.Best, Current.Batch || (!U.Stopped && Current.FirstGeneration == 0)
                                       ? Current.Settings.Generations
                                       : outcome.Generations);
}

bool TZELWorldHomeForm::Idle() const {
  return !RunActive || (Worker->Waiting() && Worker->NothingWaiting() && !ShowTimer->isActive());
}

void TZELWorldHomeForm::WaitForRun() {
  while (!Idle()) {
    QEventLoop loop;
    IdleLoop = &loop;
    // A paused run that has posted nothing new is found idle by looking again. A run that
    // is not paused wakes the window with its end.
    if (PauseAction->isChecked()) QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
    IdleLoop = nullptr;
  }
}

void TZELWorldHomeForm::DrawOverEnvironment(const TFuzzySet& Set) {
  DrawSet(EnvironmentSet, *FSImage, clBlue, true);
  DrawSet(Set, *FSImage, clRed, false);
  FSImage->update();
}

void TZELWorldHomeForm::DisplayDevelopment(const TDevelopment& Development, int G) {
  DevelopedSet = Development.Developed;
  GenLabel->setText(QString::number(G));
  DrawOverEnvironment(DevelopedSet);
  ShowMeasures(Development.Measures);
}

void TZELWorldHomeForm::ShowProgram(const std::string& Text, int FirstIndex) {
  // The list is hidden while a run works, and the generator is the run's.
  if (RunActive) return;
  SetStatusText("");
  GenLabel->setText(QString::number(FirstIndex));
  if (Text.empty()) {
    SetStatusText("No program selected");
    return;
  }
  const int blocks = NBlocksSpinEdit->TypedValue();
  const TDevelopment d =
      DevelopProgram(Random, Text, blocks, XElementsSpinEdit->TypedValue(), EnvironmentSet);
  DevelopedSet = d.Developed;
  DrawOverEnvironment(DevelopedSet);
  ShowMeasures(d.Measures);
  // A program shorter than the block count develops only the blocks it has; say so.
  SetStatusText(d.ShortfallText());
}

void TZELWorldHomeForm::ShowMeasures(const TMeasures& M) {
  CardinalityLabel->setText(ToQString(FormatReal(M.Cardinality, 8, 2)));
  SubSethoodLabel->setText(ToQString(FormatReal(M.Subsethood, 8, 2)));
  HammingLabel->setText(ToQString(FormatReal(M.Hamming, 8, 2)));
  FitnessLabel->setText(ToQString(FormatInt(M.Fitness, 10)));
}

void TZELWorldHomeForm::SettingsToControls(const TExperimentSettings& S) {
  PopSpinEdit->setValue(S.PopSize);
  GenSpinEdit->setValue(S.Generations);
  XElementsSpinEdit->setValue(S.Elements);
  NBlocksSpinEdit->setValue(S.Blocks);
  ReprodButtons->button(static_cast<int>(S.Reproduction))->setChecked(true);
  ReprodRadioGroupClick(ReprodRadioGroup);
  RandomFitCheckBox->setChecked(S.RandomEnvironment);
  RatesCheckBox->setChecked(S.RatesSelection);
  for (QWidget* w : {static_cast<QWidget*>(Label10), static_cast<QWidget*>(PCrossTrackBar),
                     static_cast<QWidget*>(PCrossEdit)})
    w->setEnabled(S.RatesSelection);
  // A track bar goes to the preset of the value, if there is one; the box holds the value.
  auto set = [](QSlider* Bar, QLineEdit* Edit, int Preset, const std::string& PresetText, double Value) {
    if (Preset >= 0) Bar->setValue(Preset);
    Edit->setText(ToQString(Preset >= 0 ? PresetText : ShortestReal(Value)));
  };
  const int cross = PresetPosition(CrossoverTexts, S.PCrossover);
  set(PCrossTrackBar, PCrossEdit, cross, CrossoverText(cross), S.PCrossover);
  const int mutation = PresetPosition(MutationTexts, S.PMutation);
  set(pmutTrackBar, pmutEdit, mutation, MutationText(mutation), S.PMutation);
  const int noise = PresetPosition(MutationTexts, S.PNoise);
  set(pnoiseTrackBar, pnoiseEdit, noise, MutationText(noise), S.PNoise);
}

void TZELWorldHomeForm::OpenWithDialog(const char* Title, const char* Filter,
                                       const std::function<void(const std::string&)>& Read) {
  TOpenDialog dialog{Title, Filter, {}};
  if (DialogService->ExecuteOpenDialog(dialog)) Read(dialog.FileName);
}

void TZELWorldHomeForm::SaveSettingsActionClick(QObject*) {
  SetStatusText("");
  Guarded([this] {
    TExperimentFile file;
    file.Settings = SettingsFromControls();
    if (!SeedEdit->text().trimmed().isEmpty()) file.Seed = SeedFromBox();
    file.Environment = OwnEnvironment;
    TSaveDialog dialog;
    dialog.Title = "Save Settings";
    dialog.Filter = JsonFilter;
    if (!DialogService->ExecuteSaveDialog(dialog)) return;
    SaveExperimentFile(dialog.FileName, file);
    SetStatusText("Settings saved to " + dialog.FileName);
  });
}

void TZELWorldHomeForm::OpenSettingsActionClick(QObject*) {
  SetStatusText("");
  Guarded([this] {
    OpenWithDialog("Open Settings", JsonFilter, [this](const std::string& FileName) {
      // Read whole before anything changes, so that a bad file leaves the window as it was.
      TExperimentFile file = LoadExperimentFile(FileName);
      SettingsToControls(file.Settings);
      SeedEdit->setText(file.Seed ? QString::number(*file.Seed) : QString());
      // An experiment without an environment of its own runs on the built-in one.
      UseEnvironment(std::move(file.Environment), FileName);
      SetStatusText("Settings from " + FileName);
    });
  });
}

void TZELWorldHomeForm::UseEnvironment(std::optional<TFuzzySet> Environment, const std::string& FileName) {
  OwnEnvironment = std::move(Environment);
  OwnEnvironmentFile = OwnEnvironment ? FileName : std::string();
  // The file sets the number of elements, and an environment of one's own is never random.
  XElementsSpinEdit->setEnabled(!OwnEnvironment);
  RandomFitCheckBox->setEnabled(!OwnEnvironment);
  BuiltInEnvironmentAction->setEnabled(OwnEnvironment.has_value());
  XElementsSpinEdit->setToolTip(OwnEnvironment ? ToQString("Number of elements of every fuzzy set: " +
                                                           std::to_string(OwnEnvironment->Count()) +
                                                           ", those of the environment of " + FileName + ".")
                                               : "Number of elements of every fuzzy set.");
  if (!OwnEnvironment) return;
  XElementsSpinEdit->setValue(OwnEnvironment->Count());
  RandomFitCheckBox->setChecked(false);
  // The picture shows the environment the next experiment takes.
  EnvironmentSet = *OwnEnvironment;
  DrawSet(EnvironmentSet, *FSImage, clBlue, true);
  FSImage->update();
}

void TZELWorldHomeForm::LoadEnvironmentActionClick(QObject*) {
  SetStatusText("");
  Guarded([this] {
    OpenWithDialog("Load Environment", JsonFilter, [this](const std::string& FileName) {
      UseEnvironment(LoadEnvironmentFile(FileName), FileName);
      SetStatusText("Environment of " + FileName + ", " + std::to_string(EnvironmentSet.Count()) +
                    " elements");
    });
  });
}

void TZELWorldHomeForm::OpenSweepActionClick(QObject*) {
  SetStatusText("");
  Guarded([this] {
    OpenWithDialog("Open Sweep Results", "sweep aggregates|*.csv|all files|*.*",
                   [this](const std::string& FileName) {
                     // Read in full first: a bad file opens no window.
                     std::unique_ptr<QChart> chart(LoadSweepChart(FileName));
                     auto* view = new QChartView(this);
                     view->setWindowFlag(Qt::Window);
                     view->setAttribute(Qt::WA_DeleteOnClose);
                     view->setObjectName("SweepChartView");
                     view->setWindowTitle(ToQString("Sweep Results: " + FileName));
                     view->setRenderHint(QPainter::Antialiasing);
                     view->setChart(chart.release());
                     view->resize(820, 520);
                     view->show();
                     SetStatusText("Sweep results of " + FileName);
                   });
  });
}

void TZELWorldHomeForm::BuiltInEnvironmentActionClick(QObject*) {
  SetStatusText("");
  UseEnvironment(std::nullopt, "");
  SetStatusText(RandomFitCheckBox->isChecked() ? "Experiments build a random environment"
                                               : "Experiments use the fixed environment");
}

std::optional<TFrozenPopulation> TZELWorldHomeForm::WindowPopulation() const {
  if (Thawed) return Thawed;
  if (Current.Batch) return std::nullopt;
  return Worker->Freeze();
}

void TZELWorldHomeForm::FreezeActionClick(QObject*) {
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

void TZELWorldHomeForm::ThawActionClick(QObject*) {
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
      SettingsToControls(frozen.Settings);
      if (OwnEnvironment) RandomFitCheckBox->setChecked(false);
      EnvironmentSet = frozen.Environment;
      DisplayDevelopment(DevelopAgent(frozen.BestAll, frozen.Environment), frozen.Generation);
      Thawed = std::move(frozen);
      UpdateRunControls();
      SetStatusText(status);
    });
  });
}

TEnvironmentChoice TZELWorldHomeForm::ContinueEnvironment(const TFrozenPopulation& Frozen) const {
  if (OwnEnvironment) return TEnvironmentChoice::Own;
  const bool random = RandomFitCheckBox->isChecked();
  // Random Fitness as the population had it keeps the population's environment.
  if (random == Frozen.Settings.RandomEnvironment) return TEnvironmentChoice::Keep;
  return random ? TEnvironmentChoice::NewRandom : TEnvironmentChoice::Fixed;
}

void TZELWorldHomeForm::ContinueActionClick(QObject*) {
  SetStatusText("");
  Guarded([this] {
    const std::optional<TFrozenPopulation> frozen = WindowPopulation();
    if (!frozen) throw std::invalid_argument("There is no population to continue: run or thaw one first");
    const TExperimentSettings settings = SettingsFromControls();
    const auto differences = KeptDifferences(settings, frozen->Settings);
    if (!differences.empty()) {
      const TKeptDifference& d = differences.front();
      auto caption = [this](int Item) { return ReprodButtons->button(Item)->text().toStdString(); };
      switch (d.Setting) {
      case TKeptSetting::Reproduction:
        throw std::invalid_argument("Agent Reproduction: \"" + caption(d.Given) +
                                    "\" differs from the population's \"" + caption(d.Frozen) +
                                    "\", which Continue keeps");
      case TKeptSetting::PopSize:
      case TKeptSetting::Blocks:
      case TKeptSetting::Elements:
        break;
      }
      const char* control = d.Setting == TKeptSetting::PopSize  ? "Pop Size"
                            : d.Setting == TKeptSetting::Blocks ? "FS Blocks"
                                                                : "FS Elements";
      const std::string why = d.Setting == TKeptSetting::Elements && OwnEnvironment
                                  ? " (the loaded environment of " + OwnEnvironmentFile + ")"
                                  : "";
      throw std::invalid_argument(std::string(control) + ": " + std::to_string(d.Given) + why +
                                  " differs from the population's " + std::to_string(d.Frozen) +
                                  ", which Continue keeps");
    }
    // A new random environment is drawn from the seed box; otherwise the seed is the run's own.
    const TEnvironmentChoice choice = ContinueEnvironment(*frozen);
    const bool newRandom = choice == TEnvironmentChoice::NewRandom;
    const std::uint32_t seed = newRandom ? SeedFromBox() : frozen->RandomSeed;
    if (!DialogService->ExecuteSaveDialog(SaveDialog1)) return;
    const std::string fileName = SaveDialog1.FileName;
    const std::optional<TFuzzySet> environment =
        ContinuedEnvironment(*frozen, choice, OwnEnvironment ? &*OwnEnvironment : nullptr, seed);
    auto experiment = std::make_unique<TExperiment>(settings, Random);
    // A report that cannot be written leaves the window and its generator as they were.
    auto report = std::make_unique<TReportWriter>(fileName);
    experiment->Thaw(*frozen, environment ? &*environment : nullptr);
    ShowStart(*experiment, false, seed, fileName, frozen->Generation);
    // The generator goes on from the population's state; a seed was taken only for a new environment.
    if (!newRandom)
      PendingStart->SeedText = " continued from generation " + std::to_string(frozen->Generation) + " ";
    // Repeating a continued run takes its population file.
    LastCommandLine.clear();
    Worker->ContinueRun(std::move(experiment), std::move(report), PauseAction->isChecked());
  });
}
