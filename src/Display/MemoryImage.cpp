#include "Display/MemoryImage.h"

#include <cstdlib>

TMemoryImage::TMemoryImage(int W, int H)
    : Width(W), Height(H), Pixels(static_cast<std::size_t>(W > 0 && H > 0 ? W * H : 0), clWhite) {}

void TMemoryImage::FillRect(int X1, int Y1, int X2, int Y2) {
  for (int y = Y1; y < Y2; ++y)
    for (int x = X1; x < X2; ++x)
      if (x >= 0 && y >= 0 && x < Width && y < Height)
        Pixels[static_cast<std::size_t>(y * Width + x)] = Brush;
}

void TMemoryImage::MoveTo(int X, int Y) {
  PenX = X;
  PenY = Y;
  Steps.push_back({false, X, Y});
}

void TMemoryImage::Plot(int X, int Y) {
  if (X >= 0 && Y >= 0 && X < Width && Y < Height) Pixels[static_cast<std::size_t>(Y * Width + X)] = Pen;
}

void TMemoryImage::LineTo(int X, int Y) {
  Steps.push_back({true, X, Y});
  int x = PenX, y = PenY;
  const int dx = std::abs(X - x), dy = -std::abs(Y - y);
  const int sx = x < X ? 1 : -1, sy = y < Y ? 1 : -1;
  int err = dx + dy;
  while (x != X || y != Y) {
    Plot(x, y);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
  PenX = X;
  PenY = Y;
}

TColor TMemoryImage::Pixel(int X, int Y) const {
  if (X < 0 || Y < 0 || X >= Width || Y >= Height) return clWhite;
  return Pixels[static_cast<std::size_t>(Y * Width + X)];
}
