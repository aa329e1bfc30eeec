#include "Plot/SweepChart.h"

#include "Experiment/SweepRun.h"

#include <QAreaSeries>
#include <QBrush>
#include <QFile>
#include <QGraphicsScene>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QSvgGenerator>
#include <QValueAxis>

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>

namespace {

// Colours that stay apart from each other, in print as on screen.
const std::array<QColor, 10> Palette = {QColor(220, 30, 30),  QColor(0, 128, 255),  QColor(40, 160, 60),
                                        QColor(150, 70, 190), QColor(240, 140, 0),  QColor(0, 170, 170),
                                        QColor(120, 80, 40),  QColor(230, 80, 170), QColor(90, 90, 90),
                                        QColor(170, 170, 0)};

QString MeasureName(const std::string& Measure) {
  if (Measure == BestFitnessMeasure) return "best fitness";
  if (Measure == GenotypeMeasure) return "% genotype";
  return QString::fromStdString(Measure);
}

} // namespace

TEvolutionAxes StyleEvolutionChart(QChart& Chart, const QString& Title) {
  Chart.setTitle(Title);
  QFont titleFont = Chart.titleFont();
  titleFont.setBold(true);
  Chart.setTitleFont(titleFont);
  Chart.setBackgroundBrush(Qt::white);
  Chart.setBackgroundRoundness(0);
  Chart.setPlotAreaBackgroundBrush(Qt::white);
  Chart.setPlotAreaBackgroundVisible(true);
  Chart.legend()->setAlignment(Qt::AlignBottom);
  auto* x = new QValueAxis;
  x->setTitleText("Generations");
  x->setTitleBrush(QColor(128, 0, 0));
  x->setLabelFormat("%d");
  x->setRange(0, 100);
  auto* y = new QValueAxis;
  y->setTitleText("Fitness/Ratio");
  y->setTitleBrush(QColor(0, 0, 128));
  y->setLabelFormat("%d");
  y->setRange(0, 100);
  // Grid lines every 5; labels every 20 stay readable on a chart of a few hundred pixels.
  y->setTickCount(6);
  y->setMinorTickCount(3);
  Chart.addAxis(x, Qt::AlignBottom);
  Chart.addAxis(y, Qt::AlignLeft);
  return {x, y};
}

QChart* BuildSweepChart(const std::vector<TAggregateCurve>& Curves, const TSweepChartOptions& Options) {
  std::vector<const TAggregateCurve*> shown;
  std::vector<std::string> labels;
  for (const TAggregateCurve& c : Curves)
    if (Options.Measure.empty() || c.Measure == Options.Measure) {
      shown.push_back(&c);
      if (std::find(labels.begin(), labels.end(), c.Label) == labels.end()) labels.push_back(c.Label);
    }
  if (shown.empty())
    throw std::invalid_argument(Options.Measure.empty() ? "the aggregate has no runs to draw"
                                                        : "the aggregate has no curve of " + Options.Measure);
  const bool bothMeasures = std::any_of(shown.begin(), shown.end(), [&](const TAggregateCurve* c) {
    return c->Measure != shown.front()->Measure;
  });

  auto chart = std::make_unique<QChart>();
  const TEvolutionAxes axes = StyleEvolutionChart(*chart, Options.Title);
  QValueAxis* axisX = axes.X;
  QValueAxis* axisY = axes.Y;
  // Conditions are named by their settings, which are too long for a row under the plot.
  chart->legend()->setAlignment(Qt::AlignRight);
  axisY->setTitleText(bothMeasures ? "Best fitness (solid) / % genotype (dashed)"
                                   : "Fitness/Ratio: " + MeasureName(shown.front()->Measure));
  double lastGeneration = 1;
  for (const TAggregateCurve* c : shown)
    if (!c->Generation.empty()) lastGeneration = std::max(lastGeneration, c->Generation.back());
  axisX->setRange(0, lastGeneration);
  // Ticks on round generation numbers, about ten of them at most.
  double step = 1;
  for (double base = 1; lastGeneration / step > 10; base *= 10)
    for (double m : {1.0, 2.0, 5.0})
      if (lastGeneration / step > 10) step = m * base;
  axisX->setTickType(QValueAxis::TicksDynamic);
  axisX->setTickAnchor(0);
  axisX->setTickInterval(step);

  // Bands first, so that every mean curve is drawn over all of them.
  std::vector<std::pair<QLineSeries*, const TAggregateCurve*>> means;
  for (const TAggregateCurve* c : shown) {
    const std::size_t index =
        static_cast<std::size_t>(std::find(labels.begin(), labels.end(), c->Label) - labels.begin());
    QColor colour = Palette[index % Palette.size()];
    auto* upper = new QLineSeries;
    auto* lower = new QLineSeries;
    auto* mean = new QLineSeries;
    for (std::size_t i = 0; i < c->Generation.size(); ++i) {
      upper->append(c->Generation[i], c->High[i]);
      lower->append(c->Generation[i], c->Low[i]);
      mean->append(c->Generation[i], c->Mean[i]);
    }
    auto* band = new QAreaSeries(upper, lower);
    upper->setParent(band);
    lower->setParent(band);
    QColor fill = colour;
    fill.setAlpha(c->Measure == GenotypeMeasure ? 35 : 60);
    band->setBrush(fill);
    band->setPen(Qt::NoPen);
    chart->addSeries(band);
    band->attachAxis(axisX);
    band->attachAxis(axisY);
    for (QLegendMarker* marker : chart->legend()->markers(band))
      marker->setVisible(false);

    QPen pen(colour, 2);
    if (c->Measure == GenotypeMeasure) pen.setStyle(Qt::DashLine);
    mean->setPen(pen);
    mean->setName(QString::fromStdString(c->Label));
    means.emplace_back(mean, c);
  }
  // One legend entry a condition: the colour names it, the line style the measure.
  std::vector<std::string> named;
  for (const auto& [mean, curve] : means) {
    chart->addSeries(mean);
    mean->attachAxis(axisX);
    mean->attachAxis(axisY);
    if (std::find(named.begin(), named.end(), curve->Label) != named.end())
      for (QLegendMarker* marker : chart->legend()->markers(mean))
        marker->setVisible(false);
    named.push_back(curve->Label);
  }
  return chart.release();
}

QChart* LoadSweepChart(const std::string& AggregateFile, const TSweepChartOptions& Options) {
  const std::vector<TAggregateCurve> curves = ReadSweepAggregate(ReadWholeFile(AggregateFile), AggregateFile);
  try {
    return BuildSweepChart(curves, Options);
  } catch (const std::invalid_argument& e) {
    throw std::runtime_error(AggregateFile + ": " + e.what());
  }
}

void SaveSweepChart(QChart& Chart, const std::string& FileName, QSize Size) {
  // The chart is drawn in a scene of its own, so no window is needed.
  QGraphicsScene scene;
  QGraphicsScene* previous = Chart.scene();
  if (previous) previous->removeItem(&Chart);
  scene.addItem(&Chart);
  Chart.setGeometry(0, 0, Size.width(), Size.height());
  const QRectF area(0, 0, Size.width(), Size.height());
  const QString name = QString::fromStdString(FileName);
  bool written = false;
  if (name.endsWith(".svg", Qt::CaseInsensitive)) {
    QSvgGenerator svg;
    svg.setFileName(name);
    svg.setSize(Size);
    svg.setViewBox(area);
    svg.setTitle(Chart.title());
    QPainter painter;
    if (painter.begin(&svg)) {
      scene.render(&painter, area, area);
      written = painter.end() && QFile(name).size() > 0;
    }
  } else {
    QImage image(Size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      scene.render(&painter, area, area);
    }
    written = image.save(name, "PNG");
  }
  scene.removeItem(&Chart);
  if (previous) previous->addItem(&Chart);
  if (!written) throw std::runtime_error("Cannot write file '" + FileName + "'");
}
