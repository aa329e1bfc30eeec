#pragma once
// The figure of a sweep's aggregate: one panel (a chart) per measure, each with the mean
// curve of every condition over a shaded band of its 95% interval, and one legend for all
// panels below them, wrapped so that it is never cut. A condition keeps its colour and line
// style in every panel; beyond ten conditions the line styles tell apart those that share a
// colour. Used by zelworld-plot (PNG, SVG, PDF) and the window's "Open Sweep Results…".

#include "Experiment/SweepAggregate.h"

#include <QChart>
#include <QGraphicsView>
#include <QGraphicsWidget>
#include <QPen>
#include <QSize>
#include <QString>

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TSweepChartOptions {
  // The measures, one panel each, in this order; every measure of the aggregate when empty.
  std::vector<std::string> Measures;
  // The conditions drawn, by name or by number (from 1, in the aggregate's order); all when
  // empty.
  std::vector<std::string> Conditions;
  QString Title = "Mean of the runs with its 95% interval";
  // The title of every panel's y axis; each measure's own when empty.
  QString YLabel;
  // The y axis of every panel; fitted to the bands when none.
  std::optional<std::pair<double, double>> YLim;
  // The pixel size of the text; titles are larger by a quarter.
  int FontPixels = 13;
};

class TSweepLegend;

class TSweepFigure : public QGraphicsWidget {
public:
  // Throws std::invalid_argument when nothing is left to draw or an option names a measure or
  // a condition that the aggregate does not have.
  TSweepFigure(const std::vector<TAggregateCurve>& Curves, const TSweepChartOptions& Options);
  const std::vector<QChart*>& Panels() const { return FPanels; }
  // The legend's entries: each condition's label and pen.
  const std::vector<std::pair<QString, QPen>>& LegendEntries() const { return FEntries; }
  // Where the legend lies within the figure after the last layout.
  QRectF LegendRect() const;
  // A size at which every panel is readable and the legend whole, Width pixels wide.
  QSize DefaultSize(int Width = 1000) const;
  // The smallest size the window lets the figure take.
  QSize MinimumSize() const;
  void paint(QPainter* Painter, const QStyleOptionGraphicsItem* Option, QWidget* Widget) override;

protected:
  void resizeEvent(QGraphicsSceneResizeEvent* Event) override;

private:
  void Layout();
  qreal TitleHeight(qreal Width) const;
  std::pair<int, int> Grid() const; // columns, rows
  std::vector<QChart*> FPanels;
  std::vector<std::pair<QString, QPen>> FEntries;
  TSweepLegend* FLegend = nullptr;
  QString FTitle;
  QFont FTitleFont;
};

// Reads an aggregate.csv and builds its figure; the caller owns it. Throws TSweepError for a
// file that is not an aggregate (naming the file, and the line and column of what it cannot
// read) and std::invalid_argument (naming the file) when the options ask for what it lacks.
TSweepFigure* LoadSweepFigure(const std::string& AggregateFile, const TSweepChartOptions& Options = {});
// Renders Figure at Size into FileName, whose extension says the type: .png, .svg or .pdf
// (a page of Size points). Throws std::invalid_argument for another extension, before
// anything is written, and std::runtime_error naming the file when it cannot be written.
void SaveSweepFigure(TSweepFigure& Figure, const std::string& FileName, QSize Size);
// True for the extensions that SaveSweepFigure writes.
bool IsSweepFigureFile(const std::string& FileName);

// A view that shows Figure (taking it over) at the size of its window, never smaller than
// the figure's minimum (it scrolls then).
class TSweepFigureView : public QGraphicsView {
public:
  TSweepFigureView(TSweepFigure* Figure, QWidget* Parent = nullptr);
  TSweepFigure* Figure() const { return FFigure; }

protected:
  void resizeEvent(QResizeEvent* Event) override;

private:
  TSweepFigure* FFigure;
};
