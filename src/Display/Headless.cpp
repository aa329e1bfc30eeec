#include "Display/Headless.h"

#include <cstdlib>

void THeadlessProgress::Repaint() {
  ++RepaintCount;
  if (OnRepaint) OnRepaint(*this);
}

void THeadlessChart::ClearSeries(int S) {
  if (S >= 0 && S < 2) Series[static_cast<std::size_t>(S)].clear();
}

void THeadlessChart::AppendValue(int S, double Value) {
  if (S >= 0 && S < 2) Series[static_cast<std::size_t>(S)].push_back(Value);
}

THeadlessImage::THeadlessImage(int W, int H)
    : Width(W), Height(H), Pixels(static_cast<std::size_t>(W > 0 && H > 0 ? W * H : 0), clWhite) {}

void THeadlessImage::FillRect(int X1, int Y1, int X2, int Y2) {
  for (int y = Y1; y < Y2; ++y)
    for (int x = X1; x < X2; ++x)
      if (x >= 0 && y >= 0 && x < Width && y < Height)
        Pixels[static_cast<std::size_t>(y * Width + x)] = Brush;
}

void THeadlessImage::MoveTo(int X, int Y) {
  PenX = X;
  PenY = Y;
  Steps.push_back({false, X, Y});
}

void THeadlessImage::Plot(int X, int Y) {
  if (X >= 0 && Y >= 0 && X < Width && Y < Height) Pixels[static_cast<std::size_t>(Y * Width + X)] = Pen;
}

void THeadlessImage::LineTo(int X, int Y) {
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

TColor THeadlessImage::Pixel(int X, int Y) const {
  if (X < 0 || Y < 0 || X >= Width || Y >= Height) return clWhite;
  return Pixels[static_cast<std::size_t>(Y * Width + X)];
}

void THeadlessMessageBox::ShowMessage(const std::string& Text) {
  Messages.push_back(Text);
  if (OnMessage) OnMessage(Text);
}
