#include "ZELWorldHome/FSImage.h"

#include "ZELWorldHome/QtDisplay.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
const QColor FrameColour(150, 150, 150);
const QColor GridColour(228, 228, 228);
const QColor TextColour(70, 70, 70);
const QColor EnvironmentColour(0, 0, 255);
const QColor DevelopedColour(255, 0, 0);
// The curves keep this far inside the frame, so that a curve along 0 or 100 stays clear of it.
constexpr double Inset = 3;
constexpr double SwatchLength = 24;

struct TLayout {
  QRectF Frame;
  QRectF Curves;
  double LegendBaseline = 0;
  // Room for the axes' labels and titles; a picture too small for them has none.
  bool Axes = true;
};

TLayout LayoutFor(QSizeF Size, const QFontMetricsF& Metrics) {
  TLayout l;
  const double line = Metrics.height();
  const double left = 4 + line + Metrics.horizontalAdvance("100") + 6;
  const double right = Metrics.horizontalAdvance("0000") / 2 + 4;
  const double top = line + 8;
  const double bottom = 2 * line + 8;
  l.LegendBaseline = 3 + Metrics.ascent();
  // On whole pixels, so that the frame's thin line is sharp.
  l.Frame = QRectF(std::round(left), std::round(top), std::round(Size.width() - left - right),
                   std::round(Size.height() - top - bottom));
  if (l.Frame.width() < 4 * Inset || l.Frame.height() < 4 * Inset) {
    l.Axes = false;
    l.Frame = QRectF(1, 1, Size.width() - 2, Size.height() - 2);
  }
  l.Curves = l.Frame.adjusted(Inset, Inset, -Inset, -Inset);
  return l;
}

// The step between element labels: 1, 2 or 5 times a power of ten, the smallest that keeps
// the labels of Last + 1 elements at least Room pixels apart over Width.
int ElementStep(int Last, double Width, double Room) {
  const int labels = std::max(1, static_cast<int>(Width / Room));
  for (long long power = 1;; power *= 10)
    for (long long m : {1, 2, 5})
      if (Last / (m * power) < labels) return static_cast<int>(m * power);
}

double XOf(const QRectF& Area, int Index, int Count) {
  return Count > 1 ? Area.left() + Area.width() * Index / (Count - 1) : Area.center().x();
}

double YOf(const QRectF& Area, double Degree) {
  return Area.top() + Area.height() * (100 - Degree) / 100;
}

void DrawCurve(QPainter& P, const QRectF& Area, const TFSImage::TCurve& Curve) {
  QPen pen(Curve.Colour, 1.5);
  // Square ends close the joints. Segments drawn as lines, not as one polyline, go the paint
  // engine's fast way for wide lines, ten times faster.
  pen.setCapStyle(Qt::SquareCap);
  P.setPen(pen);
  const int n = static_cast<int>(Curve.Degrees.size());
  if (n == 1) {
    const double y = YOf(Area, Curve.Degrees.front());
    P.drawLine(QPointF(Area.left(), y), QPointF(Area.right(), y));
    return;
  }
  // A point on the straight line through its neighbours adds nothing but cost to the stroke.
  const auto d = [&Curve](int I) { return Curve.Degrees[static_cast<std::size_t>(I)]; };
  QList<QLineF> lines;
  QPointF from(XOf(Area, 0, n), YOf(Area, d(0)));
  for (int i = 1; i < n; ++i)
    if (i == n - 1 || d(i) - d(i - 1) != d(i + 1) - d(i)) {
      const QPointF to(XOf(Area, i, n), YOf(Area, d(i)));
      lines << QLineF(from, to);
      from = to;
    }
  P.drawLines(lines);
}
} // namespace

TFSImage::TFSImage(QWidget* Parent) : QWidget(Parent) {
  setMinimumSize(1, 1);
}

void TFSImage::ShowEnvironment(const TFuzzySet& Environment) {
  Curves = {{"Environment", EnvironmentColour, Environment.Values()}};
  Stale = true;
  update();
}

void TFSImage::ShowOver(const TFuzzySet& Environment, const TFuzzySet& Developed, const QString& Name) {
  Curves = {{"Environment", EnvironmentColour, Environment.Values()},
            {Name, DevelopedColour, Developed.Values()}};
  Stale = true;
  update();
}

QRectF TFSImage::Frame() const {
  return LayoutFor(size(), QFontMetricsF(font())).Frame;
}

QRectF TFSImage::CurveArea() const {
  return LayoutFor(size(), QFontMetricsF(font())).Curves;
}

const QImage& TFSImage::Picture() const {
  const double ratio = devicePixelRatioF();
  const QSize pixels = (QSizeF(size()) * ratio).toSize();
  if (Curves.empty()) {
    Drawn = QImage();
  } else if (Stale || Drawn.size() != pixels || Drawn.devicePixelRatio() != ratio) {
    QString key = QString("%1 %2 %3 %4")
                      .arg(pixels.width())
                      .arg(pixels.height())
                      .arg(ratio)
                      .arg(Curves.front().Degrees.size());
    for (const TCurve& curve : Curves)
      key += "|" + curve.Name;
    // The environment is part of the background.
    const std::vector<std::int32_t>& environment = Curves.front().Degrees;
    key += "|" + QString::number(qHashBits(environment.data(), environment.size() * sizeof(std::int32_t)));
    if (Backgrounds[0].Key != key) std::swap(Backgrounds[0], Backgrounds[1]);
    if (Backgrounds[0].Key != key) {
      Backgrounds[0].Image = QImage(pixels, QImage::Format_RGB32);
      Backgrounds[0].Image.setDevicePixelRatio(ratio);
      RenderBackground(Backgrounds[0].Image);
      Backgrounds[0].Key = key;
    }
    Drawn = Backgrounds[0].Image.copy();
    Drawn.setDevicePixelRatio(ratio);
    RenderCurves(Drawn);
    Stale = false;
  }
  return Drawn;
}

bool TFSImage::SaveToFile(const std::string& FileName) const {
  if (Picture().isNull()) return false;
  SaveBitmap(Picture(), FileName);
  return true;
}

void TFSImage::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  Stale = true;
}

void TFSImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (Curves.empty()) {
    painter.fillRect(rect(), palette().color(QPalette::Window));
    return;
  }
  painter.drawImage(QPointF(0, 0), Picture());
}

void TFSImage::RenderBackground(QImage& Image) const {
  Image.fill(Qt::white);
  QPainter p(&Image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setFont(font());
  const QFontMetricsF metrics(font());
  const TLayout l = LayoutFor(size(), metrics);
  const int count = static_cast<int>(Curves.front().Degrees.size());

  if (l.Axes) {
    // A light grid at the labelled degrees and elements, under everything else, on whole pixels.
    const bool tall = l.Curves.height() >= 6 * metrics.height();
    std::vector<int> degrees = tall ? std::vector<int>{0, 20, 40, 60, 80, 100} : std::vector<int>{0, 50, 100};
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(GridColour, 0));
    for (int d : degrees) {
      const double y = std::floor(YOf(l.Curves, d)) + 0.5;
      p.drawLine(QPointF(l.Frame.left(), y), QPointF(l.Frame.right(), y));
    }
    const int last = std::max(count - 1, 0);
    const double room = metrics.horizontalAdvance(QString::number(last)) + 16;
    const int step = ElementStep(last, l.Curves.width(), room);
    for (int i = 0; i <= last; i += step) {
      const double x = std::floor(XOf(l.Curves, i, count)) + 0.5;
      p.drawLine(QPointF(x, l.Frame.top()), QPointF(x, l.Frame.bottom()));
    }
    p.setRenderHint(QPainter::Antialiasing);

    p.setPen(TextColour);
    const double line = metrics.height();
    for (int d : degrees) {
      const QRectF box(l.Frame.left() - 60 - 4, YOf(l.Curves, d) - line / 2, 60, line);
      p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, QString::number(d));
    }
    for (int i = 0; i <= last; i += step) {
      const QRectF box(XOf(l.Curves, i, count) - room / 2, l.Frame.bottom() + 2, room, line);
      p.drawText(box, Qt::AlignHCenter | Qt::AlignTop, QString::number(i));
    }
    p.drawText(QRectF(l.Frame.left(), l.Frame.bottom() + 2 + line, l.Frame.width(), line), Qt::AlignCenter,
               "Element");
    p.save();
    p.translate(2, l.Frame.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-l.Frame.height() / 2, 0, l.Frame.height(), line), Qt::AlignCenter, "Degree");
    p.restore();
  }

  DrawCurve(p, l.Curves, Curves.front());
  p.setPen(QPen(FrameColour, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(l.Frame.adjusted(0.5, 0.5, -0.5, -0.5));

  if (!l.Axes) return;
  // The legend above the frame: a stretch of each curve's line, then its name.
  double x = l.Frame.left();
  const double middle = std::round(l.LegendBaseline - metrics.ascent() / 2 + metrics.descent() / 2);
  for (const TCurve& curve : Curves) {
    p.setPen(QPen(curve.Colour, 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(x, middle), QPointF(x + SwatchLength, middle));
    p.setPen(TextColour);
    p.drawText(QPointF(x + SwatchLength + 5, l.LegendBaseline), curve.Name);
    x += SwatchLength + 5 + metrics.horizontalAdvance(curve.Name) + 16;
  }
}

void TFSImage::RenderCurves(QImage& Image) const {
  QPainter p(&Image);
  p.setRenderHint(QPainter::Antialiasing);
  const TLayout l = LayoutFor(size(), QFontMetricsF(font()));
  // The developed set over the environment, which the background holds.
  for (std::size_t c = 1; c < Curves.size(); ++c)
    DrawCurve(p, l.Curves, Curves[c]);
}
