#pragma once
// Display objects without a screen: they record what they are told, so that the
// command line and the tests can run the drivers and inspect the results.

#include "Display/DisplayServices.h"

#include <array>
#include <functional>

class THeadlessProgress final : public TProgressIndicator {
public:
  void SetVisible(bool V) override { Visible = V; }
  void SetMin(int M) override { Min = M; }
  void SetMax(int M) override { Max = M; }
  int GetPosition() const override { return Position; }
  void SetPosition(int P) override { Position = P; }
  void Repaint() override;

  bool Visible = false;
  int Min = 0, Max = 100, Position = 0;
  int RepaintCount = 0;
  // Called at every repaint; the command line draws its progress bar from here.
  std::function<void(const THeadlessProgress&)> OnRepaint;
};

class THeadlessChart final : public TEvolutionChart {
public:
  void ClearSeries(int Series) override;
  void AppendValue(int Series, double Value) override;
  void SetBottomAxisRange(double Lo, double Hi) override {
    AxisMin = Lo;
    AxisMax = Hi;
  }
  void SetBottomAxisTitle(const std::string& Title) override { AxisTitle = Title; }

  std::array<std::vector<double>, 2> Series;
  double AxisMin = 0, AxisMax = 0;
  std::string AxisTitle;
};

// A raster surface held in memory (0xRRGGBB per pixel); lines are drawn with
// Bresenham's algorithm, the end point excluded as on common desktop canvases.
class THeadlessImage final : public TImageSurface {
public:
  explicit THeadlessImage(int Width = 0, int Height = 0);
  int ClientWidth() const override { return Width; }
  int ClientHeight() const override { return Height; }
  void SetPenColor(TColor C) override { Pen = C; }
  void SetBrushColor(TColor C) override { Brush = C; }
  void FillRect(int X1, int Y1, int X2, int Y2) override;
  void MoveTo(int X, int Y) override;
  void LineTo(int X, int Y) override;
  void Update() override { ++UpdateCount; }

  TColor Pixel(int X, int Y) const;

  int Width, Height;
  TColor Pen{}, Brush = clWhite;
  int PenX = 0, PenY = 0;
  int UpdateCount = 0;
  // Every pen movement in order, for tests of the plotted points.
  struct TStep {
    bool Line;
    int X, Y;
  };
  std::vector<TStep> Steps;

private:
  void Plot(int X, int Y);
  std::vector<TColor> Pixels;
};

class THeadlessMessageBox final : public TMessageBox {
public:
  void ShowMessage(const std::string& Text) override;
  std::vector<std::string> Messages;
  std::function<void(const std::string&)> OnMessage;
};
