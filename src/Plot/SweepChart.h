#pragma once
// The chart of a sweep's aggregate: one colour a condition, the mean curve of each measure
// (best fitness solid, genotype percentage dashed) over a shaded band of its 95% interval,
// on the window's axes (generations; fitness/ratio 0..100). Used by zelworld-plot, and
// meant for the window's "Open Sweep Results…" as well: LoadSweepChart gives a chart that
// a QChartView can show (QChartView::setChart takes it over).

#include "Experiment/SweepAggregate.h"

#include <QChart>
#include <QSize>
#include <QString>
#include <QValueAxis>

#include <string>
#include <vector>

struct TSweepChartOptions {
  // The measures to draw: best_fitness, genotype_percent, or both when empty.
  std::string Measure;
  QString Title = "Agent Evolution: mean of the runs with its 95% interval";
};

// The look of the window's evolution chart: bold title, white background and plot area,
// legend below, the bottom axis "Generations" in maroon (0..100 until set), the left axis
// "Fitness/Ratio" in navy, fixed at 0..100 with grid lines every 5. The axes are added to
// Chart, which owns them.
struct TEvolutionAxes {
  QValueAxis* X;
  QValueAxis* Y;
};
TEvolutionAxes StyleEvolutionChart(QChart& Chart, const QString& Title);

// A new chart of Curves; the caller owns it. Throws std::invalid_argument when no curve
// is left to draw.
QChart* BuildSweepChart(const std::vector<TAggregateCurve>& Curves, const TSweepChartOptions& Options = {});
// Reads an aggregate.csv and builds its chart. Throws std::runtime_error naming the file,
// and the line and column of what it cannot read.
QChart* LoadSweepChart(const std::string& AggregateFile, const TSweepChartOptions& Options = {});
// Renders Chart at Size into FileName: SVG for a name ending in ".svg", else a PNG.
// Throws std::runtime_error naming the file when it cannot be written.
void SaveSweepChart(QChart& Chart, const std::string& FileName, QSize Size);
