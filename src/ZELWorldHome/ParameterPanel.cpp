#include "ZELWorldHome/ParameterPanel.h"

#include "Experiment/CommandText.h"
#include "Experiment/FloatText.h"
#include "Experiment/ReportFormat.h"
#include "ZELWorldHome/ControlKit.h"
#include "ZELWorldHome/SpinEdit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include <QSignalBlocker>
#include <QStyle>

#include <array>
#include <cmath>
#include <stdexcept>

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
  bar->setMinimumWidth(96);
  bar->setToolTip(Tip);
  return bar;
}

// A probability box wide enough to show a value of up to 14 characters whole ("0.000123456789").
QLineEdit* NewEdit(const char* Name, const char* Text, const char* Tip) {
  auto* edit = new QLineEdit(Text);
  edit->setObjectName(Name);
  const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance("0.000123456789") + 2 * frame + 8);
  edit->setToolTip(Tip);
  return edit;
}

// The preset position whose text reads as Value, or -1.
template <std::size_t N> int PresetPosition(const std::array<const char*, N>& Texts, double Value) {
  for (std::size_t i = 0; i < N; ++i)
    if (StrToFloat(Texts[i]) == Value) return static_cast<int>(i);
  return -1;
}

// The preset nearest to Value. The mutation scale grows by factors of 5 and 2, so there the
// nearest is taken by ratio (between 0 and the first step, by difference); the crossover
// scale is linear. A value beyond either end takes that end.
template <std::size_t N>
int NearestPreset(const std::array<const char*, N>& Texts, double Value, bool ByRatio) {
  int position = 0;
  for (std::size_t i = 1; i < N; ++i) {
    const double low = StrToFloat(Texts[i - 1]), high = StrToFloat(Texts[i]);
    const double middle = ByRatio && low > 0 ? std::sqrt(low * high) : (low + high) / 2;
    if (Value >= middle) position = static_cast<int>(i);
  }
  return position;
}

// The fixed text that a probability track bar writes into its edit box at Position.
template <std::size_t N> std::string PresetText(const std::array<const char*, N>& Texts, int Position) {
  return Position >= 0 && Position < static_cast<int>(N) ? Texts[static_cast<std::size_t>(Position)] : "";
}

std::string MutationText(int Position) {
  return PresetText(MutationTexts, Position);
}

std::string CrossoverText(int Position) {
  return PresetText(CrossoverTexts, Position);
}
} // namespace

TParameterPanel::TParameterPanel(QWidget* Parent) : QWidget(Parent) {
  setObjectName("ParameterPanel");
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(BuildReproductionPanel());
  column->addWidget(BuildGAPanel());
  connect(pmutTrackBar, &QSlider::valueChanged, this, &TParameterPanel::pmutTrackBarChange);
  connect(pnoiseTrackBar, &QSlider::valueChanged, this, &TParameterPanel::pnoiseTrackBarChange);
  connect(PCrossTrackBar, &QSlider::valueChanged, this, &TParameterPanel::PCrossTrackBarChange);
  connect(RatesCheckBox, &QCheckBox::clicked, this, &TParameterPanel::RatesCheckBoxClick);
  connect(pmutEdit, &QLineEdit::textChanged, this, &TParameterPanel::pmutEditChange);
  connect(pnoiseEdit, &QLineEdit::textChanged, this, &TParameterPanel::pnoiseEditChange);
  connect(PCrossEdit, &QLineEdit::textChanged, this, &TParameterPanel::PCrossEditChange);
  connect(ReprodButtons, &QButtonGroup::idToggled, this, [this](int, bool Checked) {
    if (Checked) ReprodRadioGroupClick();
  });
}

QWidget* TParameterPanel::BuildReproductionPanel() {
  ReproductionPanel = new QWidget;
  ReproductionPanel->setObjectName("ReproductionPanel");
  ReprodRadioGroup = new QGroupBox("Agent Reproduction");
  ReprodRadioGroup->setObjectName("ReprodRadioGroup");
  ReprodRadioGroup->setToolTip(
      "Chooses whether agents reproduce through their programs, their chromosomes or both.");
  ReprodButtons = new QButtonGroup(ReprodRadioGroup);
  ReprodButtons->setObjectName("ReprodButtons");
  auto* items = new QVBoxLayout(ReprodRadioGroup);
  items->setContentsMargins(6, 2, 6, 4);
  items->setSpacing(0);
  for (int i = 0; i < 3; ++i) {
    auto* item = new QRadioButton(ReproductionCaption(TReproduction(i)));
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

QWidget* TParameterPanel::BuildGAPanel() {
  GAPanel = new QWidget;
  GAPanel->setObjectName("GAPanel");
  auto* grid = new QGridLayout(GAPanel);
  // Captions and boxes keep clear of the column's edges, the two columns alike.
  grid->setContentsMargins(3, 4, 3, 4);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(1);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);
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

  MutationLabel = NewLabel("Label7", "P Mutation:");
  pmutTrackBar =
      NewTrackBar("pmutTrackBar", 7, 1, "Chooses the chance that a chromosome bit flips when copied.");
  pmutEdit = NewEdit("pmutEdit", "0.0001", "Chance that a chromosome bit flips when copied.");
  NoiseLabel = NewLabel("Label8", "P Noise:");
  pnoiseTrackBar =
      NewTrackBar("pnoiseTrackBar", 7, 1, "Chooses the chance that a program block mutates when copied.");
  pnoiseEdit = NewEdit("pnoiseEdit", "0.0001", "Chance that a program block mutates when copied.");
  CrossoverLabel = NewLabel("Label10", "P Crossover:");
  PCrossTrackBar = NewTrackBar("PCrossTrackBar", 10, 10, "Chooses the chance that two parents cross over.");
  PCrossEdit = NewEdit("PCrossEdit", "1.0", "Chance that two parents cross over at a random point.");
  const std::array<std::array<QWidget*, 3>, 3> rows{{{MutationLabel, pmutTrackBar, pmutEdit},
                                                     {NoiseLabel, pnoiseTrackBar, pnoiseEdit},
                                                     {CrossoverLabel, PCrossTrackBar, PCrossEdit}}};
  int row = 4;
  for (const auto& r : rows) {
    grid->addWidget(r[0], row++, 0, 1, 2);
    auto* line = new QHBoxLayout;
    line->setSpacing(4);
    line->addWidget(r[1]);
    line->addWidget(r[2]);
    grid->addLayout(line, row++, 0, 1, 2);
  }
  for (QWidget* w : {static_cast<QWidget*>(NoiseLabel), static_cast<QWidget*>(pnoiseTrackBar),
                     static_cast<QWidget*>(pnoiseEdit), static_cast<QWidget*>(CrossoverLabel),
                     static_cast<QWidget*>(PCrossTrackBar), static_cast<QWidget*>(PCrossEdit)})
    w->setEnabled(false);
  return GAPanel;
}

void TParameterPanel::pmutTrackBarChange() {
  pmutEdit->setText(ToQString(MutationText(pmutTrackBar->value())));
}

void TParameterPanel::pnoiseTrackBarChange() {
  pnoiseEdit->setText(ToQString(MutationText(pnoiseTrackBar->value())));
}

void TParameterPanel::PCrossTrackBarChange() {
  PCrossEdit->setText(ToQString(CrossoverText(PCrossTrackBar->value())));
}

void TParameterPanel::pmutEditChange() {
  Follow(pmutEdit, pmutTrackBar, NearestPreset(MutationTexts, ValueOf(pmutEdit), true));
}

void TParameterPanel::pnoiseEditChange() {
  Follow(pnoiseEdit, pnoiseTrackBar, NearestPreset(MutationTexts, ValueOf(pnoiseEdit), true));
}

void TParameterPanel::PCrossEditChange() {
  Follow(PCrossEdit, PCrossTrackBar, NearestPreset(CrossoverTexts, ValueOf(PCrossEdit), false));
}

double TParameterPanel::ValueOf(const QLineEdit* Edit) {
  try {
    return StrToFloat(Edit->text().toStdString());
  } catch (const std::invalid_argument&) {
    return std::nan("");
  }
}

void TParameterPanel::Follow(const QLineEdit* Edit, QSlider* Bar, int Position) {
  // A text that is not a number leaves the track bar where it is; a number moves it without
  // its preset's text replacing the typed one.
  if (std::isnan(ValueOf(Edit))) return;
  const QSignalBlocker quiet(Bar);
  Bar->setValue(Position);
}

void TParameterPanel::RatesCheckBoxClick() {
  for (QWidget* w : {static_cast<QWidget*>(CrossoverLabel), static_cast<QWidget*>(PCrossTrackBar),
                     static_cast<QWidget*>(PCrossEdit)})
    w->setEnabled(!w->isEnabledTo(GAPanel));
  if (!RatesCheckBox->isChecked()) {
    // Elite selection always crosses over.
    PCrossTrackBar->setValue(10);
    PCrossEdit->setText("1.0");
  }
}

void TParameterPanel::ReprodRadioGroupClick() {
  const int item = ReprodButtons->checkedId();
  const bool mutation = item == 1 || item == 2;
  const bool noise = item == 0 || item == 2;
  for (QWidget* w : {static_cast<QWidget*>(MutationLabel), static_cast<QWidget*>(pmutTrackBar),
                     static_cast<QWidget*>(pmutEdit)})
    w->setEnabled(mutation);
  for (QWidget* w : {static_cast<QWidget*>(NoiseLabel), static_cast<QWidget*>(pnoiseTrackBar),
                     static_cast<QWidget*>(pnoiseEdit)})
    w->setEnabled(noise);
}

double TParameterPanel::Probability(const QLineEdit* Edit, const char* Caption) {
  try {
    return StrToFloat(Edit->text().toStdString());
  } catch (const std::invalid_argument& e) {
    throw std::invalid_argument(std::string(Caption) + ": " + e.what());
  }
}

TExperimentSettings TParameterPanel::Settings() const {
  TExperimentSettings s;
  s.PopSize = PopSpinEdit->TypedValue();
  s.Generations = GenSpinEdit->TypedValue();
  s.Elements = XElementsSpinEdit->TypedValue();
  s.Blocks = NBlocksSpinEdit->TypedValue();
  s.Reproduction = TReproduction(ReprodButtons->checkedId());
  s.RandomEnvironment = RandomFitCheckBox->isChecked();
  s.RatesSelection = RatesCheckBox->isChecked();
  // Read in this order, so that of several bad texts the crossover's is named first.
  s.PCrossover = Probability(PCrossEdit, "P Crossover");
  s.PMutation = Probability(pmutEdit, "P Mutation");
  s.PNoise = Probability(pnoiseEdit, "P Noise");
  return s;
}

void TParameterPanel::SetSettings(const TExperimentSettings& S) {
  PopSpinEdit->setValue(S.PopSize);
  GenSpinEdit->setValue(S.Generations);
  XElementsSpinEdit->setValue(S.Elements);
  NBlocksSpinEdit->setValue(S.Blocks);
  ReprodButtons->button(static_cast<int>(S.Reproduction))->setChecked(true);
  ReprodRadioGroupClick();
  RandomFitCheckBox->setChecked(S.RandomEnvironment);
  RatesCheckBox->setChecked(S.RatesSelection);
  for (QWidget* w : {static_cast<QWidget*>(CrossoverLabel), static_cast<QWidget*>(PCrossTrackBar),
                     static_cast<QWidget*>(PCrossEdit)})
    w->setEnabled(S.RatesSelection);
  // A preset is written as its track bar writes it, any other value in its shortest form; the
  // track bar follows the box.
  auto set = [](QLineEdit* Edit, int Preset, const std::string& PresetText, double Value) {
    Edit->setText(ToQString(Preset >= 0 ? PresetText : ShortestReal(Value)));
  };
  const int cross = PresetPosition(CrossoverTexts, S.PCrossover);
  set(PCrossEdit, cross, CrossoverText(cross), S.PCrossover);
  const int mutation = PresetPosition(MutationTexts, S.PMutation);
  set(pmutEdit, mutation, MutationText(mutation), S.PMutation);
  const int noise = PresetPosition(MutationTexts, S.PNoise);
  set(pnoiseEdit, noise, MutationText(noise), S.PNoise);
}

void TParameterPanel::UseOwnEnvironment(int Elements, const std::string& FileName) {
  const bool own = Elements > 0;
  // The file sets the number of elements, and an environment of one's own is never random.
  XElementsSpinEdit->setEnabled(!own);
  RandomFitCheckBox->setEnabled(!own);
  XElementsSpinEdit->setToolTip(
      own ? ToQString("Number of elements of every fuzzy set: " + std::to_string(Elements) +
                      ", those of the environment of " + FileName + ".")
          : "Number of elements of every fuzzy set.");
  if (!own) return;
  XElementsSpinEdit->setValue(Elements);
  RandomFitCheckBox->setChecked(false);
}

bool TParameterPanel::RandomEnvironment() const {
  return RandomFitCheckBox->isChecked();
}

void TParameterPanel::SetRandomEnvironment(bool Random) {
  RandomFitCheckBox->setChecked(Random);
}

int TParameterPanel::Elements() const {
  return XElementsSpinEdit->TypedValue();
}

int TParameterPanel::Blocks() const {
  return NBlocksSpinEdit->TypedValue();
}
