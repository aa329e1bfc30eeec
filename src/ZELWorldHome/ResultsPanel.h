#pragma once
// The results panel of the main window: the chart of the run with the curves of earlier
// runs, the splitter and the picture of the environment with the developed set over it
// (the panel itself), and the description box with the measures of that set, which the
// window places in its control column. It holds the two sets the picture shows.

#include "Experiment/Develop.h"
#include "Experiment/Experiment.h"
#include "FuzzySet/FuzzySet.h"

#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class QGroupBox;
class QLabel;
class QSplitter;
class TEvolChart;
class TFSImage;

class TResultsPanel final : public QWidget {
  Q_OBJECT

public:
  explicit TResultsPanel(QWidget* Parent = nullptr);

  QGroupBox* DescriptionBox() const { return FSDescriptionBox; }
  TEvolChart& Chart() const { return *EvolChart; }
  TFSImage& Image() const { return *FSImage; }

  // The environment of the last experiment and the set of the agent on display.
  const TFuzzySet& Environment() const { return EnvironmentSet; }
  const TFuzzySet& Developed() const { return DevelopedSet; }
  // Takes Environment as the one measures refer to, without drawing it.
  void SetEnvironment(TFuzzySet Environment);
  // Takes Environment and shows it alone on a cleared picture.
  void ShowEnvironment(TFuzzySet Environment);
  // Shows a development over the environment with its measures, and G beside "MaxAgent: ".
  void ShowDevelopment(const TDevelopment& Development, int G);
  // The same without the generation figure.
  void ShowDeveloped(const TDevelopment& Development);
  // The best agent so far of a run; drawn only when it is not already shown.
  void ShowBestSoFar(TDevelopment&& Best);
  // The generation (or run) reached, beside "MaxAgent: ".
  void ShowGeneration(int G);
  // The measures as before the first experiment, and G beside "MaxAgent: ": a run has begun
  // and has no best agent yet.
  void ResetMeasures(int G);

  // Readies the chart for a run: the "MaxGen" curve of the run before it (if any) stays
  // beside it, named by what differed, and the axis counts generations from FirstGeneration
  // on (runs, for a batch).
  void BeginRun(const TExperimentSettings& Settings, std::uint32_t Seed, bool Batch, int FirstGeneration);
  // Appends the points of generations (runs) to the chart's two curves.
  void AppendPoints(const std::vector<double>& MaxGen, const std::vector<double>& Genotype);
  void ClearEarlierRuns();
  int EarlierRunCount() const;

protected:
  void resizeEvent(QResizeEvent* Event) override;

private:
  void ImagePanelResize();
  void ShowMeasures(const TMeasures& M);
  QGroupBox* BuildDescriptionBox();

  TFuzzySet EnvironmentSet;
  TFuzzySet DevelopedSet;
  // The picture shows the best so far over the current environment.
  bool BestDrawn = false;

  QSplitter* GraphSplitter;
  TEvolChart* EvolChart;
  TFSImage* FSImage;
  QGroupBox* FSDescriptionBox;
  QLabel* CardinalityLabel;
  QLabel* SubSethoodLabel;
  QLabel* HammingLabel;
  QLabel* FitnessLabel;
  QLabel* GenLabel;

  // A run on the chart: what names its curve once it is an earlier run.
  struct TChartRun {
    TExperimentSettings Settings;
    std::uint32_t Seed = 0;
    bool Batch = false;
  };
  // The run the chart shows now, and those whose curves it keeps, newest first.
  std::optional<TChartRun> CurrentRun;
  std::vector<TChartRun> EarlierRuns;
};
