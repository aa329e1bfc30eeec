#pragma once
// The display objects that the run drivers, the fuzzy-set picture and the windows
// write into. The engine sees only these interfaces, so it runs with or without a screen.

#include <cstdint>
#include <string>
#include <vector>

// A 24-bit RGB colour.
struct TColor {
  std::uint8_t R = 0, G = 0, B = 0;
  friend bool operator==(const TColor&, const TColor&) = default;
};

inline constexpr TColor clBlue{0, 0, 255};
inline constexpr TColor clRed{255, 0, 0};
inline constexpr TColor clWhite{255, 255, 255};

// The window's progress bar. After Repaint the current position is on screen,
// although the event loop is not running.
class TProgressIndicator {
public:
  virtual ~TProgressIndicator() = default;
  virtual void SetVisible(bool Visible) = 0;
  virtual void SetMin(int Min) = 0;
  virtual void SetMax(int Max) = 0;
  virtual int GetPosition() const = 0;
  virtual void SetPosition(int Position) = 0;
  virtual void Repaint() = 0;
};

// The evolution chart: two line series (0 "MaxGen", 1 "w/ Genotype"). An appended
// point gets x = its index in the series.
class TEvolutionChart {
public:
  virtual ~TEvolutionChart() = default;
  virtual void ClearSeries(int Series) = 0;
  virtual void AppendValue(int Series, double Value) = 0;
  virtual void SetBottomAxisRange(double Min, double Max) = 0;
  virtual void SetBottomAxisTitle(const std::string& Title) = 0;
};

// The drawing surface of the picture control. Pixels, origin top left, y downward.
class TImageSurface {
public:
  virtual ~TImageSurface() = default;
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  virtual void SetPenColor(TColor Color) = 0;
  virtual void SetBrushColor(TColor Color) = 0;
  // Fills the rectangle from (X1, Y1) to (X2, Y2), right and bottom edges excluded.
  virtual void FillRect(int X1, int Y1, int X2, int Y2) = 0;
  virtual void MoveTo(int X, int Y) = 0;
  virtual void LineTo(int X, int Y) = 0;
  // Process pending repaints now, so that the drawing so far is on screen.
  virtual void Update() = 0;
};

// A modal message with an OK button; returns when the user dismisses it.
class TMessageBox {
public:
  virtual ~TMessageBox() = default;
  virtual void ShowMessage(const std::string& Text) = 0;
};

// The list of best-program texts: entries keep the order in which they were appended.
using TStringList = std::vector<std::string>;

// The display objects handed to a run driver.
struct TRunDisplay {
  TProgressIndicator& ProgressBar;
  TEvolutionChart& Chart;
  TImageSurface& Image;
  TMessageBox& Messages;
};
