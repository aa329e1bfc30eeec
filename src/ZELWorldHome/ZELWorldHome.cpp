#include "ZELWorldHome/ZELWorldHome.h"

#include "Experiment/Experiment.h"
#include "Experiment/RunDriver.h"
#include "ZEL/ReportFormat.h"
#include "ZELList/ZELList.h"
#include "ZELWorldHome/FloatText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <exception>
#include <functional>

namespace {
const std::array<const char*, 8> MutationTexts{"0.0",   "0.0001", "0.0005", "0.001",
                                               "0.005", "0.01",   "0.05",   "0.1"};
const std::array<const char*, 11> CrossoverTexts{"0.0", "0.1", "0.2", "0.3", "0.4", "0.5",
                                                 "0.6", "0.7", "0.8", "0.9", "1.0"};

QSpinBox* NewSpinEdit(const char* Name, int Min, int Max, int Value, const char* Tip) {
  auto* spin = new QSpinBox;
  spin->setObjectName(Name);
  spin->setRange(Min, Max);
  spin->setValue(Value);
  spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
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

QToolButton* NewToolButton(const char* Name, const char* Caption, const char* Tip) {
  auto* button = new QToolButton;
  button->setObjectName(Name);
  button->setText(Caption);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setMinimumSize(80, 21);
  button->setToolTip(Tip);
  return button;
}

QString ToQString(const std::string& S) {
  return QString::fromStdString(S);
}
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
  FormCreate(this);
}

TZELWorldHomeForm::~TZELWorldHomeForm() {
  FormDestroy(this);
}

void TZELWorldHomeForm::BuildControls() {
  ZELToolBar = new QToolBar;
  ZELToolBar->setObjectName("ZELToolBar");
  ZELToolBar->setMovable(false);
  ZELToolBar->setFixedHeight(33);
  StartToolButton =
      NewToolButton("StartToolButton", "Start Simulation", "Runs one simulation and writes its report.");
  BatchToolButton =
      NewToolButton("BatchToolButton", "Batch", "Runs a batch of ten simulations and writes its report.");
  SaveImageToolButton =
      NewToolButton("SaveImageToolButton", "Save Image", "Saves the fuzzy-set picture as a BMP file.");
  SaveGraphToolButton = NewToolButton("SaveGraphToolButton", "Save Graph", "Saves the chart as a BMP file.");
  ZELToolBar->addWidget(StartToolButton);
  ZELToolBar->addWidget(BatchToolButton);
  ZELToolBar->addSeparator();
  ZELToolBar->addWidget(SaveImageToolButton);
  ZELToolBar->addWidget(SaveGraphToolButton);
  addToolBar(Qt::TopToolBarArea, ZELToolBar);

  StatusBar1 = new QStatusBar;
  StatusBar1->setObjectName("StatusBar1");
  StatusPanel0 = NewLabel("StatusPanel0", "ZEL World: evolving ZELs");
  StatusPanel0->setFixedWidth(200);
  StatusPanel0->setAlignment(Qt::AlignCenter);
  StatusPanel1 = NewLabel("StatusPanel1", "");
  StatusPanel1->setFixedWidth(339);
  StatusBar1->addWidget(StatusPanel0);
  StatusBar1->addWidget(StatusPanel1);
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

  connect(StartToolButton, &QToolButton::clicked, this, [this] { StartToolButtonClick(StartToolButton); });
  connect(BatchToolButton, &QToolButton::clicked, this, [this] { BatchToolButtonClick(BatchToolButton); });
  connect(SaveImageToolButton, &QToolButton::clicked, this,
          [this] { SaveImageToolButtonClick(SaveImageToolButton); });
  connect(SaveGraphToolButton, &QToolButton::clicked, this,
          [this] { SaveGraphToolButtonClick(SaveGraphToolButton); });
  connect(pmutTrackBar, &QSlider::valueChanged, this, [this] { pmutTrackBarChange(pmutTrackBar); });
  connect(pnoiseTrackBar, &QSlider::valueChanged, this, [this] { pnoiseTrackBarChange(pnoiseTrackBar); });
  connect(PCrossTrackBar, &QSlider::valueChanged, this, [this] { PCrossTrackBarChange(PCrossTrackBar); });
  connect(RatesCheckBox, &QCheckBox::clicked, this, [this] { RatesCheckBoxClick(RatesCheckBox); });
  connect(ReprodButtons, &QButtonGroup::idToggled, this, [this](int, bool Checked) {
    if (Checked) ReprodRadioGroupClick(ReprodRadioGroup);
  });
}

QWidget* TZELWorldHomeForm::BuildReproductionPanel() {
  ReproductionPanel = new QWidget;
  ReproductionPanel->setObjectName("ReproductionPanel");
  ReprodRadioGroup = new QGroupBox("Agent Reproduction");
  ReprodRadioGroup->setObjectName("ReprodRadioGroup");
  ReprodRadioGroup->setToolTip(
      "Chooses whether agents reproduce through their programs, their chromosomes or both.");
  ReprodButtons = new QButtonGroup(ReprodRadioGroup);
  auto* items = new QVBoxLayout(ReprodRadioGroup);
  items->setContentsMargins(6, 2, 6, 2);
  items->setSpacing(0);
  const std::array<const char*, 3> captions{"Phenotpe (ZEL)", "Genotype", "Both"};
  for (int i = 0; i < 3; ++i) {
    auto* item = new QRadioButton(captions[static_cast<std::size_t>(i)]);
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
    grid->addWidget(new QLabel(caption), row, 0);
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
  if (Watched == ImagePanel && Event->type() == QEvent::Resize) ImagePanelResize(ImagePanel);
  return QMainWindow::eventFilter(Watched, Event);
}

void TZELWorldHomeForm::closeEvent(QCloseEvent* Event) {
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
    w->setEnabled(!w->isEnabled());
  if (!RatesCheckBox->isChecked()) {
    // Elite selection always crosses over.
    PCrossTrackBar->setValue(10);
    PCrossEdit->setText("1.0");
  }
}

int TZELWorldHomeForm::ReprodItemIndex() const {
  return ReprodButtons->checkedId();
}

void TZELWorldHomeForm::SetReprodItemIndex(int Index) {
  if (QAbstractButton* item = ReprodButtons->button(Index)) item->setChecked(true);
}

void TZELWorldHomeForm::ReprodRadioGroupClick(QObject*) {
  const int item = ReprodItemIndex();
  const bool mutation = item == 1 || item == 2;
  const bool noise = item == 0 || item == 2;
  for (QWidget* w :
       {static_cast<QWidget*>(Label7), static_cast<QWidget*>(pmutTrackBar), static_cast<QWidget*>(pmutEdit)})
    w->setEnabled(mutation);
  for (QWidget* w : {static_cast<QWidget*>(Label8), static_cast<QWidget*>(pnoiseTrackBar),
                     static_cast<QWidget*>(pnoiseEdit)})
    w->setEnabled(noise);
}

int TZELWorldHomeForm::SpinValue(const QSpinBox* SpinEdit) {
  bool ok = false;
  const int value = SpinEdit->cleanText().trimmed().toInt(&ok);
  if (!ok) return SpinEdit->minimum();
  if (value < SpinEdit->minimum()) return SpinEdit->minimum();
  if (value > SpinEdit->maximum()) return SpinEdit->maximum();
  return value;
}

void TZELWorldHomeForm::SetStatusText(const std::string& Text) {
  StatusPanel1->setText(ToQString(Text));
}

std::string TZELWorldHomeForm::StatusText() const {
  return StatusPanel1->text().toStdString();
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
  Guarded([this] {
    SaveWithDialog("Save Solution Image",
                   [this](const std::string& FileName) { FSImage->SaveToFile(FileName); });
  });
}

void TZELWorldHomeForm::SaveGraphToolButtonClick(QObject*) {
  Guarded([this] {
    SaveWithDialog("Save Chart Image",
                   [this](const std::string& FileName) { SaveBitmap(EvolChart->RenderImage(), FileName); });
  });
}

void TZELWorldHomeForm::StartToolButtonClick(QObject*) {
  Guarded([this] { RunExperiment(false); });
}

void TZELWorldHomeForm::BatchToolButtonClick(QObject*) {
  Guarded([this] { RunExperiment(true); });
}

void TZELWorldHomeForm::RunExperiment(bool Batch) {
  if (!DialogService->ExecuteSaveDialog(SaveDialog1)) return;
  const std::string fileName = SaveDialog1.FileName;
  if (ZELListForm != nullptr) ZELListForm->hide();
  TExperimentSettings settings;
  settings.PopSize = SpinValue(PopSpinEdit);
  settings.Generations = SpinValue(GenSpinEdit);
  settings.Elements = SpinValue(XElementsSpinEdit);
  settings.Blocks = SpinValue(NBlocksSpinEdit);
  settings.ReproductionType = ReprodItemIndex();
  settings.RandomEnvironment = RandomFitCheckBox->isChecked();
  settings.RatesSelection = RatesCheckBox->isChecked();
  settings.PCrossover = StrToFloat(PCrossEdit->text().toStdString());
  settings.PMutation = StrToFloat(pmutEdit->text().toStdString());
  settings.PNoise = StrToFloat(pnoiseEdit->text().toStdString());
  TStringList bestList;
  TDialogMessageBox messages(*DialogService);
  // The environment is drawn as soon as it is built, before the first generation.
  auto drawEnvironment = [this](const TExperiment& E) {
    EnvironmentSet = E.Environment();
    EnvironmentSet.Draw(*FSImage, clBlue, true);
    FSImage->repaint();
  };
  TOutcome outcome;
  if (Batch) {
    TBatch batch(settings, Random);
    batch.SetThreads(0);
    outcome = RunBatch(batch, fileName,
                       {*EvolProgressBar, *EvolChart, *FSImage, bestList, messages,
                        [&] { drawEnvironment(batch.Experiment()); }})
                  .Last;
  } else {
    TExperiment experiment(settings, Random);
    experiment.SetThreads(0);
    outcome = Run(experiment, fileName, {*EvolProgressBar, *EvolChart, *FSImage, bestList, messages, [&] {
                                           drawEnvironment(experiment);
                                         }});
  }
  if (ZELListForm != nullptr) {
    ZELListForm->Clear();
    for (const std::string& text : bestList)
      ZELListForm->Append(text);
    ZELListForm->show();
  }
  DisplayDevelopment(outcome.Best, settings.Generations);
}

void TZELWorldHomeForm::DisplayDevelopment(const TDevelopment& Development, int G) {
  DevelopedSet = Development.Developed;
  GenLabel->setText(QString::number(G));
  DevelopedSet.Draw(*FSImage, clRed, false);
  FSImage->repaint();
  ShowMeasures(Development.Measures);
}

void TZELWorldHomeForm::ShowProgram(const std::string& Text, int FirstIndex) {
  GenLabel->setText(QString::number(FirstIndex));
  if (Text.empty()) {
    SetStatusText("No program selected");
    return;
  }
  const int blocks = SpinValue(NBlocksSpinEdit);
  const TDevelopment d = DevelopProgram(Random, Text, blocks, SpinValue(XElementsSpinEdit), EnvironmentSet);
  DevelopedSet = d.Developed;
  EnvironmentSet.Draw(*FSImage, clBlue, true);
  DevelopedSet.Draw(*FSImage, clRed, false);
  FSImage->repaint();
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
