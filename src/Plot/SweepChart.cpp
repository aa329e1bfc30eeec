#include "Plot/SweepChart.h"

#include "Experiment/SweepRun.h"

#include <QAreaSeries>
#include <QBrush>
#include <QFile>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QImage>
#include <QLineSeries>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QResizeEvent>
#include <QSvgGenerator>
#include <QValueAxis>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>

namespace {

// Ten colours that stay apart from each other, in print as on screen; beyond ten
// conditions the line style changes with each round of colours.
const std::array<QColor, 10> Palette = {QColor(31, 119, 180),  QColor(255, 127, 14),  QColor(44, 160, 44),
                                        QColor(214, 39, 40),   QColor(148, 103, 189), QColor(140, 86, 75),
                                        QColor(227, 119, 194), QColor(100, 100, 100), QColor(188, 189, 34),
                                        QColor(23, 190, 207)};
const std::array<Qt::PenStyle, 4> Styles = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine};

QPen ConditionPen(std::size_t Index) {
  QPen pen(Palette[Index % Palette.size()], 2.5);
  pen.setStyle(Styles[(Index / Palette.size()) % Styles.size()]);
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

// A measure's panel title, its axis title, and the range its values can take (the axis
// fitted to the bands stays within it).
struct TMeasureText {
  const char* Measure;
  const char* Title;
  const char* Axis;
  double Lo, Hi;
};
constexpr double Unbounded = std::numeric_limits<double>::infinity();
const std::array<TMeasureText, 7> MeasureTexts = {{
    {"best_fitness", "Best fitness", "fitness", 0, 100},
    {"avg_fitness", "Average fitness", "fitness", 0, 100},
    {"min_fitness", "Lowest fitness", "fitness", 0, 100},
    {"best_so_far", "Best fitness so far", "fitness", 0, 100},
    {"genotype_percent", "Genotype agents", "% of the population", 0, 100},
    {"distinct_programs", "Distinct programs", "programs", 0, Unbounded},
    {"mean_hamming", "Mean Hamming distance", "bits between two programs", 0, Unbounded},
}};

TMeasureText TextOf(const std::string& Measure) {
  for (const TMeasureText& t : MeasureTexts)
    if (Measure == t.Measure) return t;
  return {"", Measure.c_str(), Measure.c_str(), -Unbounded, Unbounded};
}

QFont Font(int Pixels, bool Bold = false) {
  QFont font;
  font.setPixelSize(Pixels);
  font.setBold(Bold);
  return font;
}

constexpr qreal Margin = 12;
constexpr qreal SampleWidth = 36, SampleGap = 8, EntryGap = 24;

// Text broken at spaces into lines no wider than Width (a word wider than that is broken
// where it must be).
QStringList Wrapped(const QString& Text, const QFontMetricsF& Metrics, qreal Width) {
  QStringList lines;
  QString line;
  for (const QString& word : Text.split(' ', Qt::SkipEmptyParts)) {
    const QString candidate = line.isEmpty() ? word : line + ' ' + word;
    if (Metrics.horizontalAdvance(candidate) <= Width || line.isEmpty()) {
      line = candidate;
    } else {
      lines.push_back(line);
      line = word;
    }
    // A single word too long for a line is cut into pieces that fit.
    while (Metrics.horizontalAdvance(line) > Width && line.size() > 1) {
      int fit = static_cast<int>(line.size()) - 1;
      while (fit > 1 && Metrics.horizontalAdvance(line.left(fit)) > Width)
        --fit;
      lines.push_back(line.left(fit));
      line = line.mid(fit);
    }
  }
  if (!line.isEmpty() || lines.isEmpty()) lines.push_back(line);
  return lines;
}

} // namespace

// The legend of all panels: one entry a condition, flowing in rows, wrapped within its width.
class TSweepLegend : public QGraphicsWidget {
public:
  TSweepLegend(const std::vector<std::pair<QString, QPen>>& Entries, const QFont& Font, QGraphicsItem* Parent)
      : QGraphicsWidget(Parent), FEntries(Entries), FFont(Font) {}

  struct TPlaced {
    QPointF At;
    QStringList Lines;
  };
  std::vector<TPlaced> Place(qreal Width, qreal* Height) const {
    const QFontMetricsF metrics(FFont);
    const qreal textWidth = std::max<qreal>(Width - SampleWidth - SampleGap, 20);
    std::vector<TPlaced> placed;
    qreal x = 0, y = 0, rowHeight = 0;
    for (const auto& [label, pen] : FEntries) {
      const QStringList lines = Wrapped(label, metrics, textWidth);
      qreal w = 0;
      for (const QString& line : lines)
        w = std::max(w, metrics.horizontalAdvance(line));
      w += SampleWidth + SampleGap;
      const qreal h = lines.size() * metrics.lineSpacing();
      if (x > 0 && x + w > Width) {
        x = 0;
        y += rowHeight + metrics.lineSpacing() * 0.3;
        rowHeight = 0;
      }
      placed.push_back({QPointF(x, y), lines});
      x += w + EntryGap;
      rowHeight = std::max(rowHeight, h);
    }
    if (Height) *Height = y + rowHeight;
    return placed;
  }
  qreal HeightForWidth(qreal Width) const {
    qreal h = 0;
    Place(Width, &h);
    return h;
  }
  void paint(QPainter* Painter, const QStyleOptionGraphicsItem*, QWidget*) override {
    const QFontMetricsF metrics(FFont);
    Painter->setFont(FFont);
    const std::vector<TPlaced> placed = Place(size().width(), nullptr);
    for (std::size_t i = 0; i < placed.size(); ++i) {
      const QPointF at = placed[i].At;
      const qreal middle = at.y() + metrics.lineSpacing() / 2;
      Painter->setPen(FEntries[i].second);
      Painter->drawLine(QPointF(at.x() + 2, middle), QPointF(at.x() + SampleWidth - 2, middle));
      Painter->setPen(Qt::black);
      for (int l = 0; l < placed[i].Lines.size(); ++l)
        Painter->drawText(
            QPointF(at.x() + SampleWidth + SampleGap, at.y() + l * metrics.lineSpacing() + metrics.ascent()),
            placed[i].Lines[l]);
    }
  }

private:
  std::vector<std::pair<QString, QPen>> FEntries;
  QFont FFont;
};

TSweepFigure::TSweepFigure(const std::vector<TAggregateCurve>& Curves, const TSweepChartOptions& Options)
    : FTitle(Options.Title), FTitleFont(Font(Options.FontPixels * 5 / 4, true)) {
  // The conditions and measures of the aggregate, in their order.
  std::vector<std::string> conditions, labels, measures;
  for (const TAggregateCurve& c : Curves) {
    if (std::find(conditions.begin(), conditions.end(), c.Condition) == conditions.end()) {
      conditions.push_back(c.Condition);
      labels.push_back(c.Label);
    }
    if (std::find(measures.begin(), measures.end(), c.Measure) == measures.end())
      measures.push_back(c.Measure);
  }
  if (Curves.empty()) throw std::invalid_argument("the aggregate has no runs to draw");
  std::vector<std::size_t> shown;
  for (const std::string& wanted : Options.Conditions) {
    auto it = std::find(conditions.begin(), conditions.end(), wanted);
    if (it == conditions.end() && !wanted.empty() &&
        wanted.find_first_not_of("0123456789") == std::string::npos && wanted.size() < 6) {
      const std::size_t number = std::stoul(wanted);
      if (number >= 1 && number <= conditions.size())
        it = conditions.begin() + static_cast<std::ptrdiff_t>(number - 1);
    }
    if (it == conditions.end())
      throw std::invalid_argument("--conditions: '" + wanted +
                                  "' is not a condition of the aggregate (nor a number 1.." +
                                  std::to_string(conditions.size()) + ")");
    const std::size_t index = static_cast<std::size_t>(it - conditions.begin());
    if (std::find(shown.begin(), shown.end(), index) == shown.end()) shown.push_back(index);
  }
  if (shown.empty())
    for (std::size_t i = 0; i < conditions.size(); ++i)
      shown.push_back(i);
  std::vector<std::string> panels = Options.Measures.empty() ? measures : Options.Measures;
  for (const std::string& m : panels)
    if (std::find(measures.begin(), measures.end(), m) == measures.end())
      throw std::invalid_argument("--measure: the aggregate has no curve of " + m);

  for (std::size_t k = 0; k < shown.size(); ++k)
    FEntries.emplace_back(QString::fromStdString(labels[shown[k]]), ConditionPen(k));

  const QFont text = Font(Options.FontPixels);
  for (const std::string& measure : panels) {
    auto* chart = new QChart(this);
    chart->legend()->hide();
    chart->setBackgroundBrush(Qt::white);
    chart->setBackgroundRoundness(0);
    chart->setBackgroundPen(Qt::NoPen);
    chart->setPlotAreaBackgroundBrush(Qt::white);
    chart->setPlotAreaBackgroundVisible(true);
    // Room on the right for the last label of the generations.
    chart->setMargins(QMargins(4, 4, 18, 4));
    chart->setTitle(TextOf(measure).Title);
    chart->setTitleFont(Font(Options.FontPixels + 1, true));
    auto* x = new QValueAxis;
    auto* y = new QValueAxis;
    for (QValueAxis* axis : {x, y}) {
      axis->setLabelsFont(text);
      axis->setTitleFont(text);
      axis->setLabelsColor(Qt::black);
      axis->setGridLineColor(QColor(225, 225, 225));
    }
    x->setTitleText("Generation");
    x->setLabelFormat("%d");
    y->setTitleText(Options.YLabel.isEmpty() ? QString(TextOf(measure).Axis) : Options.YLabel);
    y->setLabelFormat("%g");
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    double last = 1, lo = std::numeric_limits<double>::infinity(), hi = -lo;
    std::vector<std::pair<QLineSeries*, std::size_t>> means;
    for (std::size_t k = 0; k < shown.size(); ++k)
      for (const TAggregateCurve& c : Curves) {
        if (c.Condition != conditions[shown[k]] || c.Measure != measure) continue;
        auto* upper = new QLineSeries;
        auto* lower = new QLineSeries;
        auto* mean = new QLineSeries;
        for (std::size_t i = 0; i < c.Generation.size(); ++i) {
          upper->append(c.Generation[i], c.High[i]);
          lower->append(c.Generation[i], c.Low[i]);
          mean->append(c.Generation[i], c.Mean[i]);
          lo = std::min(lo, c.Low[i]);
          hi = std::max(hi, c.High[i]);
        }
        if (!c.Generation.empty()) last = std::max(last, c.Generation.back());
        // Bands first, so that every mean curve is drawn over all of them.
        auto* band = new QAreaSeries(upper, lower);
        upper->setParent(band);
        lower->setParent(band);
        QColor fill = ConditionPen(k).color();
        fill.setAlpha(45);
        band->setBrush(fill);
        band->setPen(Qt::NoPen);
        chart->addSeries(band);
        band->attachAxis(x);
        band->attachAxis(y);
        mean->setPen(ConditionPen(k));
        mean->setName(FEntries[k].first);
        means.emplace_back(mean, k);
      }
    for (const auto& [mean, k] : means) {
      chart->addSeries(mean);
      mean->attachAxis(x);
      mean->attachAxis(y);
    }
    x->setRange(0, last);
    // Ticks on round generation numbers, about ten of them at most.
    double step = 1;
    for (double base = 1; last / step > 10; base *= 10)
      for (double m : {1.0, 2.0, 5.0})
        if (last / step > 10) step = m * base;
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    x->setTickInterval(step);
    if (Options.YLim) {
      y->setRange(Options.YLim->first, Options.YLim->second);
    } else {
      if (!(lo <= hi)) lo = 0, hi = 1;
      const double pad = std::max((hi - lo) * 0.05, 0.5);
      const TMeasureText m = TextOf(measure);
      y->setRange(std::max(lo - pad, m.Lo), std::min(hi + pad, m.Hi));
      y->applyNiceNumbers();
    }
    FPanels.push_back(chart);
  }
  if (std::all_of(FPanels.begin(), FPanels.end(), [](QChart* C) { return C->series().isEmpty(); }))
    throw std::invalid_argument("the conditions chosen have no curve to draw");
  FLegend = new TSweepLegend(FEntries, text, this);
  resize(DefaultSize());
}

std::pair<int, int> TSweepFigure::Grid() const {
  const int n = static_cast<int>(FPanels.size());
  const int columns = n <= 1 ? 1 : n <= 4 ? 2 : 3;
  return {columns, (n + columns - 1) / columns};
}

qreal TSweepFigure::TitleHeight(qreal Width) const {
  if (FTitle.isEmpty()) return 0;
  return QFontMetricsF(FTitleFont)
             .boundingRect(QRectF(0, 0, Width, 10000), Qt::TextWordWrap, FTitle)
             .height() +
         Margin / 2;
}

QSize TSweepFigure::DefaultSize(int Width) const {
  const qreal width = Width;
  const auto [columns, rows] = Grid();
  const qreal panels = rows * (columns == 1 ? 460.0 : 340.0);
  const qreal height =
      Margin * 3 + TitleHeight(width - 2 * Margin) + panels + FLegend->HeightForWidth(width - 2 * Margin);
  return QSize(Width, std::max(600, static_cast<int>(std::ceil(height))));
}

QSize TSweepFigure::MinimumSize() const {
  const auto [columns, rows] = Grid();
  const qreal width = columns * 300.0;
  return QSize(static_cast<int>(width),
               static_cast<int>(std::ceil(Margin * 3 + TitleHeight(width - 2 * Margin) + rows * 220.0 +
                                          FLegend->HeightForWidth(width - 2 * Margin))));
}

QRectF TSweepFigure::LegendRect() const {
  return FLegend->geometry();
}

void TSweepFigure::resizeEvent(QGraphicsSceneResizeEvent* Event) {
  QGraphicsWidget::resizeEvent(Event);
  Layout();
}

void TSweepFigure::Layout() {
  const qreal width = size().width() - 2 * Margin;
  const qreal title = TitleHeight(width);
  const qreal legend = FLegend->HeightForWidth(width);
  // The legend keeps its whole height; the panels share what is left.
  FLegend->setGeometry(QRectF(Margin, size().height() - Margin - legend, width, legend));
  const auto [columns, rows] = Grid();
  const qreal top = Margin + title;
  const qreal area = std::max<qreal>(size().height() - top - legend - 2 * Margin, 40);
  const qreal w = width / columns, h = area / rows;
  for (std::size_t i = 0; i < FPanels.size(); ++i) {
    const int column = static_cast<int>(i) % columns, row = static_cast<int>(i) / columns;
    FPanels[i]->setGeometry(QRectF(Margin + column * w, top + row * h, w, h));
    if (FPanels[i]->layout()) FPanels[i]->layout()->activate();
  }
  update();
}

void TSweepFigure::paint(QPainter* Painter, const QStyleOptionGraphicsItem*, QWidget*) {
  Painter->fillRect(rect(), Qt::white);
  if (FTitle.isEmpty()) return;
  Painter->setFont(FTitleFont);
  Painter->setPen(Qt::black);
  Painter->drawText(
      QRectF(Margin, Margin / 2, size().width() - 2 * Margin, TitleHeight(size().width() - 2 * Margin)),
      Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, FTitle);
}

TSweepFigure* LoadSweepFigure(const std::string& AggregateFile, const TSweepChartOptions& Options) {
  const std::vector<TAggregateCurve> curves = ReadSweepAggregate(ReadSweepFile(AggregateFile), AggregateFile);
  try {
    return new TSweepFigure(curves, Options);
  } catch (const std::invalid_argument& e) {
    throw std::invalid_argument(AggregateFile + ": " + e.what());
  }
}

namespace {
enum class TFigureType { None, Png, Svg, Pdf };
TFigureType TypeOf(const std::string& FileName) {
  const QString name = QString::fromStdString(FileName);
  if (name.endsWith(".png", Qt::CaseInsensitive)) return TFigureType::Png;
  if (name.endsWith(".svg", Qt::CaseInsensitive)) return TFigureType::Svg;
  if (name.endsWith(".pdf", Qt::CaseInsensitive)) return TFigureType::Pdf;
  return TFigureType::None;
}
} // namespace

bool IsSweepFigureFile(const std::string& FileName) {
  return TypeOf(FileName) != TFigureType::None;
}

void SaveSweepFigure(TSweepFigure& Figure, const std::string& FileName, QSize Size) {
  const TFigureType type = TypeOf(FileName);
  if (type == TFigureType::None)
    throw std::invalid_argument("'" + FileName +
                                "': the file type follows the name's extension: .png, .svg or .pdf");
  // The figure is drawn in a scene of its own, so no window is needed.
  QGraphicsScene scene;
  QGraphicsScene* previous = Figure.scene();
  const QSizeF before = Figure.size();
  if (previous) previous->removeItem(&Figure);
  scene.addItem(&Figure);
  Figure.setGeometry(0, 0, Size.width(), Size.height());
  const QRectF area(0, 0, Size.width(), Size.height());
  const QString name = QString::fromStdString(FileName);
  bool written = false;
  if (type == TFigureType::Svg) {
    QSvgGenerator svg;
    svg.setFileName(name);
    svg.setSize(Size);
    svg.setViewBox(area);
    svg.setTitle("Sweep");
    QPainter painter;
    if (painter.begin(&svg)) {
      scene.render(&painter, area, area);
      written = painter.end() && QFile(name).size() > 0;
    }
  } else if (type == TFigureType::Pdf) {
    // One page of the figure's size, a pixel a point, its text and lines kept as vectors.
    QPdfWriter pdf(name);
    pdf.setPageSize(QPageSize(QSizeF(Size), QPageSize::Point, "figure", QPageSize::ExactMatch));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setResolution(72);
    pdf.setCreator("zelworld-plot");
    QPainter painter;
    if (painter.begin(&pdf)) {
      scene.render(&painter, QRectF(0, 0, pdf.width(), pdf.height()), area);
      written = painter.end() && QFile(name).size() > 0;
    }
  } else {
    QImage image(Size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setRenderHint(QPainter::TextAntialiasing);
      scene.render(&painter, area, area);
    }
    written = image.save(name, "PNG");
  }
  scene.removeItem(&Figure);
  if (previous) previous->addItem(&Figure);
  Figure.resize(before);
  if (!written) throw std::runtime_error("Cannot write file '" + FileName + "'");
}

TSweepFigureView::TSweepFigureView(TSweepFigure* Figure, QWidget* Parent)
    : QGraphicsView(Parent), FFigure(Figure) {
  setScene(new QGraphicsScene(this));
  scene()->addItem(Figure);
  setRenderHint(QPainter::Antialiasing);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setBackgroundBrush(Qt::white);
}

void TSweepFigureView::resizeEvent(QResizeEvent* Event) {
  QGraphicsView::resizeEvent(Event);
  const QSize minimum = FFigure->MinimumSize();
  const QSize size(std::max(viewport()->width(), minimum.width()),
                   std::max(viewport()->height(), minimum.height()));
  FFigure->setGeometry(0, 0, size.width(), size.height());
  scene()->setSceneRect(0, 0, size.width(), size.height());
}
