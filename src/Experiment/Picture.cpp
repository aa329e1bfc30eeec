#include "Experiment/Picture.h"

namespace {
// Shows Draw a picture exactly one pixel per element wide, so that element i lands at
// x = i, and moves every x to the centre of element i's share of the real width. The
// heights are Draw's own.
class TSpreadSurface final : public TImageSurface {
public:
  TSpreadSurface(TImageSurface& Image, int Count) : Image(Image), Count(Count) {}
  int ClientWidth() const override { return Count - 1; }
  int ClientHeight() const override { return Image.ClientHeight(); }
  void SetPenColor(TColor Color) override { Image.SetPenColor(Color); }
  void SetBrushColor(TColor Color) override { Image.SetBrushColor(Color); }
  void FillRect(int, int Y1, int, int Y2) override { Image.FillRect(0, Y1, Image.ClientWidth(), Y2); }
  void MoveTo(int X, int Y) override { Image.MoveTo(Spread(X), Y); }
  void LineTo(int X, int Y) override { Image.LineTo(Spread(X), Y); }
  void Update() override { Image.Update(); }

private:
  int Spread(int I) const {
    const long long w = Image.ClientWidth() + 1LL;
    return static_cast<int>((2LL * I + 1) * w / (2LL * Count));
  }
  TImageSurface& Image;
  int Count;
};
} // namespace

void DrawSet(const TFuzzySet& Set, TImageSurface& Image, TColor PenColor, bool Clear) {
  const int n = Set.Count();
  if (n < 1 || (Image.ClientWidth() + 1) / n >= 1) {
    Set.Draw(Image, PenColor, Clear);
    return;
  }
  TSpreadSurface spread(Image, n);
  Set.Draw(spread, PenColor, Clear);
}
