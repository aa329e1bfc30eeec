#pragma once
// The fuzzy-set picture of the window: the environment and a developed set as curves over
// the element axis and the degree axis 0..100, in a thin frame, with a legend that names
// them. It is drawn at the control's own size and pixel ratio, antialiased, the curves over
// the whole width whatever the number of elements, and drawn anew when the control is
// resized. (The rule-exact bitmap drawing of a set is TFuzzySet::Draw on a TImageSurface.)

#include "FuzzySet/FuzzySet.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <array>
#include <string>
#include <vector>

class TFSImage final : public QWidget {
public:
  explicit TFSImage(QWidget* Parent = nullptr);

  // Shows Environment alone.
  void ShowEnvironment(const TFuzzySet& Environment);
  // Shows Developed, named Name in the legend, over Environment.
  void ShowOver(const TFuzzySet& Environment, const TFuzzySet& Developed, const QString& Name);
  // Nothing has been shown yet.
  bool Empty() const { return Curves.empty(); }

  // The picture as shown, at the control's size in device pixels; null while empty.
  const QImage& Picture() const;
  // Writes the picture as shown as a BMP file; false (and no file) while empty. A file that
  // cannot be written raises std::runtime_error naming it.
  bool SaveToFile(const std::string& FileName) const;

  // Where the curves are drawn, in the control's coordinates: element 0 at the left edge,
  // the last element at the right edge, degree 100 at the top and 0 at the bottom.
  QRectF CurveArea() const;
  // The frame around the curves.
  QRectF Frame() const;
  // The curves as the legend names them, the environment first.
  struct TCurve {
    QString Name;
    QColor Colour;
    std::vector<std::int32_t> Degrees;
  };
  const std::vector<TCurve>& Shown() const { return Curves; }

protected:
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;

private:
  // What lies under the developed set (grid, axes, frame, legend, the environment), which
  // changes seldom; and the developed set over it.
  void RenderBackground(QImage& Image) const;
  void RenderCurves(QImage& Image) const;
  std::vector<TCurve> Curves;
  // The picture as last drawn; drawn anew when it is stale or the size has changed.
  mutable QImage Drawn;
  mutable bool Stale = true;
  // The last two backgrounds, with what they were drawn for: a run shows the environment
  // alone, then with the best developed set, again and again.
  struct TBackground {
    QString Key;
    QImage Image;
  };
  mutable std::array<TBackground, 2> Backgrounds;
};
