#include "ZELWorldHome/ResultsPanel.h"

#include "Experiment/CommandText.h"
#include "Experiment/ReportFormat.h"
#include "ZELWorldHome/ControlKit.h"
#include "ZELWorldHome/EvolChart.h"
#include "ZELWorldHome/FSImage.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {
const char* const BestName = "Best developed set";

QLabel* NewValueLabel(const char* Name, const char* Text) {
  QLabel* label = NewLabel(Name, Text);
  // The values are right-aligned by their leading blanks, which line up only in a font whose
  // blanks are as wide as its digits.
  QFont bold = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  bold.setBold(true);
  label->setFont(bold);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}
} // namespace

TResultsPanel::TResultsPanel(QWidget* Parent) : QWidget(Parent) {
  setObjectName("ImagePanel");
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
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(GraphSplitter);
  FSDescriptionBox = BuildDescriptionBox();
}

QGroupBox* TResultsPanel::BuildDescriptionBox() {
  auto* box = new QGroupBox("FS Description");
  box->setObjectName("GroupBox1");
  auto* grid = new QGridLayout(box);
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
  return box;
}

void TResultsPanel::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  ImagePanelResize();
}

void TResultsPanel::ImagePanelResize() {
  const int chart = height() / 2;
  const int image = height() - chart - GraphSplitter->handleWidth();
  GraphSplitter->setSizes({chart, image > 0 ? image : 0});
  FSImage->repaint();
}

void TResultsPanel::SetEnvironment(TFuzzySet Environment) {
  EnvironmentSet = std::move(Environment);
}

void TResultsPanel::ShowEnvironment(TFuzzySet Environment) {
  EnvironmentSet = std::move(Environment);
  BestDrawn = false;
  FSImage->ShowEnvironment(EnvironmentSet);
}

void TResultsPanel::ShowDevelopment(const TDevelopment& Development, int G) {
  DevelopedSet = Development.Developed;
  ShowGeneration(G);
  FSImage->ShowOver(EnvironmentSet, DevelopedSet, BestName);
  ShowMeasures(Development.Measures);
}

void TResultsPanel::ShowDeveloped(const TDevelopment& Development) {
  DevelopedSet = Development.Developed;
  FSImage->ShowOver(EnvironmentSet, DevelopedSet, "Developed set of the chosen program");
  ShowMeasures(Development.Measures);
}

void TResultsPanel::ShowBestSoFar(TDevelopment&& Best) {
  // The best so far changes seldom once a run has settled; the picture is redrawn only then.
  if (BestDrawn && Best.Developed.Values() == DevelopedSet.Values()) return;
  BestDrawn = true;
  DevelopedSet = std::move(Best.Developed);
  FSImage->ShowOver(EnvironmentSet, DevelopedSet, BestName);
  ShowMeasures(Best.Measures);
}

void TResultsPanel::ResetMeasures(int G) {
  for (QLabel* label : {CardinalityLabel, SubSethoodLabel, HammingLabel})
    label->setText("0.0");
  FitnessLabel->setText("0");
  ShowGeneration(G);
}

void TResultsPanel::ShowGeneration(int G) {
  GenLabel->setText(QString::number(G));
}

void TResultsPanel::ShowMeasures(const TMeasures& M) {
  CardinalityLabel->setText(ToQString(FormatReal(M.Cardinality, 8, 2)));
  SubSethoodLabel->setText(ToQString(FormatReal(M.Subsethood, 8, 2)));
  HammingLabel->setText(ToQString(FormatReal(M.Hamming, 8, 2)));
  FitnessLabel->setText(ToQString(FormatInt(M.Fitness, 10)));
}

void TResultsPanel::BeginRun(const TExperimentSettings& Settings, std::uint32_t Seed, bool Batch,
                             int FirstGeneration) {
  if (CurrentRun && CurrentRun->Batch != Batch) {
    // Generations and runs share no axis: a change of kind leaves no curve to compare with.
    EvolChart->ClearEarlierRuns();
    EarlierRuns.clear();
  } else if (CurrentRun && EvolChart->KeepEarlierRun()) {
    EarlierRuns.insert(EarlierRuns.begin(), *CurrentRun);
    EarlierRuns.resize(std::min<std::size_t>(EarlierRuns.size(), TEvolChart::MaxEarlierRuns));
  }
  // Each named by what it set differently from this run; runs that differ from it alike are
  // told apart by their seeds.
  std::vector<std::string> names;
  for (const TChartRun& r : EarlierRuns)
    names.push_back(DifferenceName(r.Settings, r.Seed, Settings));
  for (std::size_t i = 0; i < names.size(); ++i)
    if (std::count(names.begin(), names.end(), names[i]) > 1 && names[i].rfind("seed ", 0) != 0)
      for (std::size_t j = names.size(); j-- > i;)
        if (names[j] == names[i]) names[j] += ", seed " + std::to_string(EarlierRuns[j].Seed);
  EvolChart->SetEarlierRunNames(names);
  CurrentRun = TChartRun{Settings, Seed, Batch};
  // A continued run is drawn on from where its population stood, beside the run before it.
  const int generations = Settings.Generations;
  EvolChart->SetBottomAxisRange(0, Batch ? BatchRunCount - 1 : FirstGeneration + generations);
  EvolChart->SetBottomAxisTitle(Batch ? "Runs" : "Generations");
  EvolChart->ClearSeries(0);
  EvolChart->ClearSeries(1);
  EvolChart->SetFirstX(FirstGeneration > 0 ? FirstGeneration + 1 : 0);
}

void TResultsPanel::AppendPoints(const std::vector<double>& MaxGen, const std::vector<double>& Genotype) {
  EvolChart->AppendValues(0, MaxGen);
  EvolChart->AppendValues(1, Genotype);
}

void TResultsPanel::ClearEarlierRuns() {
  EvolChart->ClearEarlierRuns();
  EarlierRuns.clear();
}

int TResultsPanel::EarlierRunCount() const {
  return EvolChart->EarlierRunCount();
}
