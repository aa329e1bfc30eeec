#pragma once
// A drawing surface without a screen, held in memory, on which the picture is drawn pixel
// for pixel as the rules say; the tests read it back.

#include "Display/DisplayServices.h"

#include <vector>

// A raster surface held in memory (0xRRGGBB per pixel); lines are drawn with
// Bresenham's algorithm, the end point excluded as on common desktop canvases.
class TMemoryImage final : public TImageSurface {
public:
  explicit TMemoryImage(int Width = 0, int Height = 0);
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
