#pragma once
// The window's controls that show a run: the progress bar, the chart, and the picture that
// the fuzzy sets are drawn on; and the dialogs.

#include "Display/DisplayServices.h"
#include "ZELWorldHome/DialogService.h"

#include <QAbstractFileIconProvider>
#include <QChartView>
#include <QFileDialog>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QProgressBar>
#include <QValueAxis>
#include <QWidget>

#include <array>
#include <memory>
#include <string>
#include <vector>

// The progress bar. A new position is painted with the window's next frame.
class TEvolProgressBar final : public QProgressBar {
public:
  explicit TEvolProgressBar(QWidget* Parent = nullptr);
  // A position outside the range is brought to the nearer bound.
  void SetPosition(int Position);
};

// The evolution chart: series 0 "MaxGen" and series 1 "w/ Genotype", left axis fixed at 0..100.
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
  // The chart at its current on-screen size on a white background.
  QImage RenderImage();

  // Earlier runs: the "MaxGen" curves of up to MaxEarlierRuns runs before the current one,
  // faded, newest first.
  static constexpr int MaxEarlierRuns = 3;
  // Keeps the current "MaxGen" curve as the newest earlier run (when it has points); the
  // oldest beyond MaxEarlierRuns goes. True when a curve was kept.
  bool KeepEarlierRun();
  int EarlierRunCount() const { return static_cast<int>(Earlier.size()); }
  QLineSeries* EarlierRun(int Index) const { return Earlier.at(static_cast<std::size_t>(Index)); }
  void SetEarlierRunName(int Index, const std::string& Name);
  void ClearEarlierRuns();

private:
  void Fade();
  std::array<QLineSeries*, 2> Lines{};
  std::vector<QLineSeries*> Earlier;
  QValueAxis* AxisX = nullptr;
  QValueAxis* AxisY = nullptr;
  double FirstX = 0;
};

// The picture control. Its bitmap comes into being at the first drawing, with the
// control's size at that moment, keeps that size, and is shown scaled to the control.
class TFSImage final : public QWidget, public TImageSurface {
public:
  explicit TFSImage(QWidget* Parent = nullptr);
  // The bitmap's size once it exists (so a drawing always fits it), else the control's.
  int ClientWidth() const override;
  int ClientHeight() const override;
  void SetPenColor(TColor Color) override { Pen = Color; }
  void SetBrushColor(TColor Color) override { Brush = Color; }
  void FillRect(int X1, int Y1, int X2, int Y2) override;
  void MoveTo(int X, int Y) override;
  void LineTo(int X, int Y) override;
  void Update() override { repaint(); }
  ~TFSImage() override { EndDrawing(); }

  // The bitmap with every drawing so far finished.
  const QImage& Picture() const;
  // Writes the bitmap as a BMP file; false (and no file) while nothing has been drawn.
  // A file that cannot be written raises std::runtime_error naming it.
  bool SaveToFile(const std::string& FileName) const;

protected:
  void paintEvent(QPaintEvent* Event) override;

private:
  QImage& Canvas();
  QPainter& Drawing();
  void EndDrawing() const;
  QImage Bitmap;
  mutable std::unique_ptr<QPainter> Painter;
  TColor Pen{}, Brush = clWhite;
  int PenX = 0, PenY = 0;
};

// Writes Image as a BMP file under exactly FileName; raises std::runtime_error naming the file on failure.
void SaveBitmap(const QImage& Image, const std::string& FileName);

// Icons and types told from a file's kind alone. The toolkit's own provider guesses the
// type of an unknown file from its contents, and reading a device file (say under /proc)
// can block the dialog for good.
class TPlainIconProvider final : public QAbstractFileIconProvider {
public:
  QIcon icon(IconType Type) const override;
  QIcon icon(const QFileInfo& Info) const override;
  QString type(const QFileInfo& Info) const override;
};
TPlainIconProvider& PlainIcons();

// The save dialog set up as Dialog says.
std::unique_ptr<QFileDialog> NewSaveDialog(QWidget* Owner, const TSaveDialog& Dialog);

// The dialogs of a person at the screen.
class TQtDialogService final : public TDialogService {
public:
  explicit TQtDialogService(QWidget* Owner) : Owner(Owner) {}
  bool ExecuteSaveDialog(TSaveDialog& Dialog) override;
  bool ExecuteOpenDialog(TOpenDialog& Dialog) override;
  void ShowMessage(const std::string& Text) override;
  void ShowError(const std::string& Text) override;

private:
  QWidget* Owner;
};
