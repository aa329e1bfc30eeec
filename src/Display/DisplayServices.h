#pragma once
// What drawing the fuzzy-set picture needs: colours and a drawing surface. The picture is
// drawn through this interface, so it is drawn and tested with or without a screen.

#include <cstdint>

// A 24-bit RGB colour.
struct TColor {
  std::uint8_t R = 0, G = 0, B = 0;
  friend bool operator==(const TColor&, const TColor&) = default;
};

inline constexpr TColor clBlue{0, 0, 255};
inline constexpr TColor clRed{255, 0, 0};
inline constexpr TColor clWhite{255, 255, 255};

// A surface the literal drawing of a fuzzy set draws on, pixel for pixel. Pixels, origin top
// left, y downward.
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
