#include "ZELWorldHome/EvolChart.h"

#include <QGraphicsLayout>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {
QString ToQString(const std::string& S) {
  return QString::fromStdString(S);
}

// The chart's frame: one thin line of the surrounding colour.
const QColor SurroundColor(148, 187, 226);
const QColor GridColour(222, 222, 222);
const QColor MinorGridColour(242, 242, 242);
const QColor LegendText(50, 50, 50);
constexpr double YMargin = 2;
constexpr double SwatchLength = 30;
constexpr double EntryGap = 16;

// The hues and dash patterns of earlier runs, apart from the red and blue of the current run.
struct TStyle {
  QColor Colour;
  Qt::PenStyle Dashes;
};
const std::array<TStyle, TEvolChart::MaxEarlierRuns> EarlierStyles{{{QColor(230, 120, 0), Qt::DashLine},
                                                                    {QColor(140, 60, 190), Qt::DashDotLine},
                                                                    {QColor(0, 145, 100), Qt::DotLine}}};
// The older a run, the fainter its curve.
const std::array<int, TEvolChart::MaxEarlierRuns> EarlierAlpha{235, 185, 140};

// The step between bottom-axis labels: 1, 2 or 5 times a power of ten, the smallest that
// keeps to at most Labels intervals.
double LabelStep(double Length, int Labels) {
  for (double power = 1;; power *= 10)
    for (double m : {1.0, 2.0, 5.0})
      if (Length / (m * power) <= Labels) return m * power;
}
} // namespace

TEvolChart::TEvolChart(QWidget* Parent) : QChartView(Parent) {
  auto* chart = new QChart;
  chart->setTitle("Agent Evolution");
  QFont titleFont = chart->titleFont();
  titleFont.setBold(true);
  chart->setTitleFont(titleFont);
  chart->setBackgroundBrush(Qt::white);
  chart->setBackgroundPen(QPen(SurroundColor, 1));
  chart->setBackgroundRoundness(0);
  chart->setPlotAreaBackgroundBrush(Qt::white);
  chart->setPlotAreaBackgroundVisible(true);
  // The legend is drawn below the plot by the view, so that it can show dashes and wrap.
  chart->legend()->setVisible(false);
  chart->layout()->setContentsMargins(0, 0, 0, 0);

  AxisX = new QValueAxis;
  AxisX->setTitleText("Generations");
  AxisX->setTitleBrush(QColor(128, 0, 0));
  // Labels stand at whole numbers from 0 on, so that each reads the value at its position.
  AxisX->setTickType(QValueAxis::TicksDynamic);
  AxisX->setTickAnchor(0);
  AxisX->setLabelFormat("%.0f");
  SetBottomAxisRange(0, 100);
  AxisY = new QValueAxis;
  AxisY->setTitleText("Fitness/Ratio");
  AxisY->setTitleBrush(QColor(0, 0, 128));
  AxisY->setLabelFormat("%.0f");
  // A little room beyond 0 and 100, so that a curve along either bound stays clear of the frame.
  AxisY->setRange(-YMargin, 100 + YMargin);
  // Grid lines every 5; labels every 20 stay readable on a chart of a few hundred pixels.
  AxisY->setTickType(QValueAxis::TicksDynamic);
  AxisY->setTickAnchor(0);
  AxisY->setTickInterval(20);
  AxisY->setMinorTickCount(3);
  for (QValueAxis* axis : {AxisX, AxisY}) {
    axis->setGridLinePen(QPen(GridColour, 1));
    axis->setMinorGridLinePen(QPen(MinorGridColour, 1));
    axis->setLinePen(QPen(QColor(150, 150, 150), 1));
  }
  chart->addAxis(AxisX, Qt::AlignBottom);
  chart->addAxis(AxisY, Qt::AlignLeft);

  const std::array<const char*, 2> titles{"MaxGen", "w/ Genotype"};
  const std::array<QColor, 2> colours{QColor(255, 0, 0), QColor(0, 128, 255)};
  for (std::size_t i = 0; i < Lines.size(); ++i) {
    Lines[i] = new QLineSeries;
    Lines[i]->setName(titles[i]);
    Lines[i]->setPen(QPen(colours[i], 2));
    Lines[i]->setPointsVisible(false);
    Lines[i]->setPointLabelsVisible(false);
  }
  setChart(chart);
  setFrameShape(QFrame::NoFrame);
  // The genotype share under the best fitness.
  Show(Lines[1]);
  Show(Lines[0]);
  LayOutLegend();
}

void TEvolChart::ClearSeries(int Series) {
  if (Series >= 0 && Series < static_cast<int>(Lines.size()))
    Lines[static_cast<std::size_t>(Series)]->clear();
}

void TEvolChart::AppendValues(int Series, const std::vector<double>& Values) {
  if (Series < 0 || Series >= static_cast<int>(Lines.size()) || Values.empty()) return;
  QLineSeries* line = Lines[static_cast<std::size_t>(Series)];
  // One replace redraws once; appending point by point redraws for every point.
  QList<QPointF> points = line->points();
  for (double v : Values)
    points.append(QPointF(FirstX + static_cast<double>(points.size()), v));
  line->replace(points);
}

void TEvolChart::SetBottomAxisRange(double Min, double Max) {
  // The labels are spaced for the new range before it is set: a long range laid out at the
  // spacing of a short one would place a label at every step.
  SpaceBottomLabels(Min, Max);
  AxisX->setRange(Min, Max);
}

void TEvolChart::SpaceBottomLabels(double Min, double Max) {
  // About ten labels, fewer where the chart is too narrow for ten whole ones.
  const double label = fontMetrics().horizontalAdvance(QString::number(Max, 'f', 0)) + 14;
  const int room = static_cast<int>((width() - 80) / label);
  AxisX->setTickInterval(LabelStep(Max - Min, std::clamp(room, 2, 10)));
}

void TEvolChart::SetBottomAxisTitle(const std::string& Title) {
  if (AxisX->titleText() == ToQString(Title)) return;
  AxisX->setTitleText(ToQString(Title));
  // The tooltips say what a point stands for.
  LayOutLegend();
}

bool TEvolChart::KeepEarlierRun() {
  if (Lines[0]->count() == 0) return false;
  while (Earlier.size() >= static_cast<std::size_t>(MaxEarlierRuns)) {
    chart()->removeSeries(Earlier.back().Line);
    delete Earlier.back().Line;
    Earlier.pop_back();
  }
  // The new run takes a style that none of the runs still shown has.
  int style = 0;
  while (
      std::any_of(Earlier.begin(), Earlier.end(), [style](const TEarlierRun& r) { return r.Style == style; }))
    ++style;
  auto* kept = new QLineSeries;
  kept->replace(Lines[0]->points());
  kept->setPointsVisible(false);
  Earlier.insert(Earlier.begin(), {kept, style});
  Fade();
  // Series are drawn in the order they were added: the newest earlier run goes over the older
  // ones, and the current run's two curves are added again over it, the best fitness last.
  for (QLineSeries* s : {kept, Lines[1], Lines[0]}) {
    if (s != kept) chart()->removeSeries(s);
    Show(s);
  }
  return true;
}

void TEvolChart::Show(QLineSeries* Series) {
  chart()->addSeries(Series);
  Series->attachAxis(AxisX);
  Series->attachAxis(AxisY);
}

void TEvolChart::Fade() {
  for (std::size_t i = 0; i < Earlier.size(); ++i) {
    const TStyle& style = EarlierStyles[static_cast<std::size_t>(Earlier[i].Style)];
    QColor colour = style.Colour;
    colour.setAlpha(EarlierAlpha[i]);
    QPen pen(colour, 1.5);
    pen.setStyle(style.Dashes);
    Earlier[i].Line->setPen(pen);
  }
}

void TEvolChart::SetEarlierRunNames(const std::vector<std::string>& Names) {
  for (std::size_t i = 0; i < Names.size() && i < Earlier.size(); ++i)
    Earlier[i].Line->setName(ToQString(Names[i]));
  LayOutLegend();
}

void TEvolChart::ClearEarlierRuns() {
  for (const TEarlierRun& r : Earlier) {
    chart()->removeSeries(r.Line);
    delete r.Line;
  }
  Earlier.clear();
  LayOutLegend();
}

void TEvolChart::LayOutLegend() {
  std::vector<TLegendEntry> entries;
  const bool runs = AxisX->titleText() == "Runs";
  const QString unit = runs ? "run" : "generation";
  entries.push_back({Lines[0]->pen(),
                     Lines[0]->name(),
                     QString("MaxGen: the best fitness of each %1 (5..100)").arg(unit),
                     {},
                     {}});
  entries.push_back({Lines[1]->pen(),
                     Lines[1]->name(),
                     QString("w/ Genotype: the percentage of genotype agents in each %1").arg(unit),
                     {},
                     {}});
  for (const TEarlierRun& r : Earlier)
    entries.push_back({r.Line->pen(), r.Line->name(), "MaxGen of an earlier run: " + r.Line->name(), {}, {}});

  // Entries left to right, on as many rows as the width asks; a name too long for a row of
  // its own is shortened in the middle, where two such names differ least often.
  const QFontMetricsF metrics(font());
  const double line = metrics.height() + 4;
  const double left = 8, right = width() - 8;
  double x = left, y = 0;
  for (TLegendEntry& e : entries) {
    const double room = std::max(20.0, right - left - SwatchLength - 5);
    e.Shown = metrics.elidedText(e.Shown, Qt::ElideMiddle, room);
    const double w = SwatchLength + 5 + metrics.horizontalAdvance(e.Shown);
    if (x > left && x + w > right) {
      x = left;
      y += line;
    }
    e.Box = QRectF(x, y, w, line);
    e.Text.setText(e.Shown);
    e.Text.prepare(QTransform(), font());
    x += w + EntryGap;
  }
  const int height = static_cast<int>(std::ceil(y + line)) + 4;
  // The rows stand at the bottom of the view, below the axis title.
  for (TLegendEntry& e : entries)
    e.Box.translate(0, this->height() - height);
  LegendEntries = std::move(entries);
  if (height != LegendHeight) {
    LegendHeight = height;
    chart()->setMargins(QMargins(4, 4, 14, height));
  }
  viewport()->update();
}

void TEvolChart::resizeEvent(QResizeEvent* Event) {
  QChartView::resizeEvent(Event);
  SpaceBottomLabels(AxisX->min(), AxisX->max());
  LayOutLegend();
}

void TEvolChart::drawForeground(QPainter* Painter, const QRectF& Rect) {
  QChartView::drawForeground(Painter, Rect);
  // A frame that changes only the plot leaves the legend as it is.
  if (LegendEntries.empty() || !Rect.intersects(LegendEntries.front().Box.united(LegendEntries.back().Box)))
    return;
  Painter->save();
  Painter->setRenderHint(QPainter::Antialiasing);
  Painter->setFont(font());
  const QFontMetricsF metrics(font());
  for (const TLegendEntry& e : LegendEntries) {
    const double middle = std::round(e.Box.center().y());
    QPen pen = e.Pen;
    pen.setCapStyle(Qt::FlatCap);
    Painter->setPen(pen);
    Painter->drawLine(QPointF(e.Box.left(), middle), QPointF(e.Box.left() + SwatchLength, middle));
    Painter->setPen(LegendText);
    Painter->drawStaticText(
        QPointF(e.Box.left() + SwatchLength + 5, e.Box.center().y() - metrics.height() / 2), e.Text);
  }
  Painter->restore();
}

bool TEvolChart::viewportEvent(QEvent* Event) {
  if (Event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(Event);
    for (const TLegendEntry& e : LegendEntries)
      if (e.Box.contains(help->pos())) {
        QToolTip::showText(help->globalPos(), e.ToolTip, viewport(), e.Box.toRect());
        return true;
      }
    QToolTip::hideText();
    Event->ignore();
    return true;
  }
  return QChartView::viewportEvent(Event);
}

QImage TEvolChart::RenderImage() {
  QImage image(size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  render(&painter);
  return image;
}
