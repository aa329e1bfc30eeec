#pragma once
// The evolution chart: series 0 "MaxGen" (the best fitness, drawn on top) and series 1
// "w/ Genotype", on a left axis fixed at 0..100, with the "MaxGen" curves of up to three
// earlier runs behind them, each in a hue and dash pattern of its own. Below the plot a
// legend shows every curve's line with its name; a name too long for the chart is shortened
// there, and its tooltip gives it whole.

#include <QChartView>
#include <QLineSeries>
#include <QPen>
#include <QStaticText>
#include <QString>
#include <QValueAxis>

#include <array>
#include <string>
#include <vector>

class TEvolChart final : public QChartView {
public:
  explicit TEvolChart(QWidget* Parent = nullptr);
  void ClearSeries(int Series);
  void SetBottomAxisRange(double Min, double Max);
  void SetBottomAxisTitle(const std::string& Title);
  // Appends many points at once, with one redraw.
  void AppendValues(int Series, const std::vector<double>& Values);
  // The x of the first point of a series: a continued run counts on from its generation.
  void SetFirstX(double X) { FirstX = X; }

  QLineSeries* Series(int Index) const { return Lines.at(static_cast<std::size_t>(Index)); }
  QValueAxis* BottomAxis() const { return AxisX; }
  // The chart at its current on-screen size on a white background, legend included.
  QImage RenderImage();

  // Earlier runs, newest first; the older a run, the fainter its curve.
  static constexpr int MaxEarlierRuns = 3;
  // Keeps the current "MaxGen" curve as the newest earlier run (when it has points); the
  // oldest beyond MaxEarlierRuns goes. True when a curve was kept; its name comes next.
  bool KeepEarlierRun();
  int EarlierRunCount() const { return static_cast<int>(Earlier.size()); }
  QLineSeries* EarlierRun(int Index) const { return Earlier.at(static_cast<std::size_t>(Index)).Line; }
  // Names the earlier runs, newest first, and lays the legend out anew.
  void SetEarlierRunNames(const std::vector<std::string>& Names);
  void ClearEarlierRuns();

  // The legend as drawn: each curve's line, its name as shown and whole, where it stands.
  struct TLegendEntry {
    QPen Pen;
    QString Shown;
    QString ToolTip;
    QRectF Box;
    // The name laid out once, not at every frame.
    QStaticText Text;
  };
  const std::vector<TLegendEntry>& Legend() const { return LegendEntries; }

protected:
  void resizeEvent(QResizeEvent* Event) override;
  bool viewportEvent(QEvent* Event) override;
  void drawForeground(QPainter* Painter, const QRectF& Rect) override;

private:
  void Show(QLineSeries* Series);
  // Restyles the earlier runs by age.
  void Fade();
  void LayOutLegend();
  void SpaceBottomLabels(double Min, double Max);

  std::array<QLineSeries*, 2> Lines{};
  struct TEarlierRun {
    QLineSeries* Line;
    // Its hue and dash pattern, kept for as long as the run is shown.
    int Style;
  };
  std::vector<TEarlierRun> Earlier;
  QValueAxis* AxisX = nullptr;
  QValueAxis* AxisY = nullptr;
  double FirstX = 0;
  std::vector<TLegendEntry> LegendEntries;
  int LegendHeight = -1;
};
