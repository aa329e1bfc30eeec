#include "FuzzySet/Extended.h"
#include "FuzzySet/FuzzySet.h"

void TFuzzySet::Draw(TImageSurface& Image, TColor PenColor, bool Clear) const {
  const int w = Image.ClientWidth(), hc = Image.ClientHeight();
  if (Clear) {
    Image.SetBrushColor(clWhite);
    Image.FillRect(0, 0, w, hc);
  }
  const int n = Count();
  const int dx = n >= 1 ? (w + 1) / n : 0;
  const int h = hc + 1;
  Image.SetPenColor(PenColor);
  for (int i = 0; i < n; ++i) {
    const int x = i * dx + dx / 2;
    // Formed in extended precision like every other rounded quantity.
    const TExtended frac = TExtended(100 - GetDegree(i)) / TExtended(100);
    const int y = static_cast<int>(Extended::Round(frac * TExtended(h)));
    if (i == 0)
      Image.MoveTo(x, y);
    else
      Image.LineTo(x, y);
  }
}
