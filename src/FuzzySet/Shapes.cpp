// The shape functions and degree operators through which blocks are applied.
// The floating-point steps run in extended precision, in the order written, and
// round to the nearest integer with ties to even.

#include "FuzzySet/Extended.h"
#include "FuzzySet/FuzzySet.h"
#include "FuzzySet/ShapeRow.h"

namespace {
using Ext = TExtended;

std::int32_t R(Ext V) {
  return static_cast<std::int32_t>(Extended::Round(V));
}

// Quotient of two integers, formed in extended precision.
Ext Q(std::int32_t Num, std::int32_t Den) {
  return static_cast<Ext>(Num) / static_cast<Ext>(Den);
}

// The even shapes; the odd ones are their complements.
std::int32_t EvenShape(int Shape, std::int32_t w, std::int32_t d) {
  const std::int32_t h = w / 2, q = w / 4, t = w / 3;
  switch (Shape) {
  case 0:
    return w < 1 ? 0 : R(Q(d, w) * 100);
  case 2:
    if (w < 1) return 0;
    return d <= h ? R(Q(2 * d, w) * 100) : R((2 - Q(2 * d, w)) * 100);
  case 4:
    return w < 1 ? 25 : (d <= h ? 25 : 75);
  case 6:
    // The plateau ends at the true three-quarter point 4d <= 3w; with d <= 3q the
    // last ramp would start early when w leaves a remainder of 2 or 3 on division
    // by 4, and push degrees above 100.
    if (w < 1) return 0;
    if (d <= q) return R(Q(4 * d, w) * 100);
    if (4 * d <= 3 * w) return 100;
    return R((1 - Q(d, w)) * 4 * 100);
  case 8:
    if (w < 1) return 50;
    if (d <= q) return R((Ext(0.5) - Q(2 * d, w)) * 100);
    if (4 * d <= 3 * w) return R((Q(2 * d, w) - Ext(0.5)) * 100);
    return R((Ext(2.5) - Q(2 * d, w)) * 100);
  case 10:
    if (w < 1) return 0;
    return d <= h ? R(Q(2 * d, w) * 100) : R((Q(2 * d, w) - 1) * 100);
  case 12:
    if (w < 1) return 0;
    if (d <= t) return R(Q(3 * d, 2 * w) * 100);
    if (d <= 2 * t) return 50;
    return R((Q(3 * d, 2 * w) - Ext(0.5)) * 100);
  case 14:
    if (w < 1) return 50;
    return d <= h ? R((Ext(0.5) - Q(d, w)) * 100) : R(Q(d, w) * 100);
  case 16: {
    if (w < 1) return 100;
    // A two-element bell has no width to spread over: it is the limit of the
    // formula, 100 at its centre and 0 beside it.
    if (h == 0) return d == h ? 100 : 0;
    const double k = Extended::ToDouble(Q(5298, 1000) / Ext(h * h)); // 5.298 in the extended format
    const std::int32_t dd = (d - h) * (d - h);
    return R(Extended::Exp(-Ext(k) * Ext(dd)) * 100);
  }
  default:
    return 0;
  }
}
} // namespace

std::int32_t ShapeValue(int Shape, std::int32_t Start, std::int32_t End, std::int32_t X) {
  if (Shape < 0 || Shape >= ShapeCount) Shape = 0;
  const std::int32_t w = End - Start, d = X - Start;
  if (Shape % 2 == 0) return EvenShape(Shape, w, d);
  return 100 - EvenShape(Shape - 1, w, d);
}

std::int32_t CombineDegrees(int Operator, std::int32_t A, std::int32_t B) {
  const std::int32_t p = A * B / 100;
  switch (Operator) {
  case 0:
    return std::max(A, B);
  case 1:
    return std::min(A, B);
  case 2:
    return (A + B) / 2;
  case 3:
    return 100 - (A + B) / 2;
  case 4:
    return 100 - std::min(A, B);
  case 5:
    return 100 - std::max(A, B);
  case 6:
    return std::min(A, 100 - B);
  case 7:
    return std::max(A, 100 - B);
  case 8:
    return std::min(100 - A, B);
  case 9:
    return std::max(100 - A, B);
  case 10:
    return p;
  case 11:
    return 100 - p;
  case 12:
    return std::min(100 - A, p);
  case 13:
    return std::max(100 - A, p);
  case 14:
    return std::min(100 - B, p);
  case 15:
    return std::max(100 - B, p);
  default:
    return 0;
  }
}

namespace {
// The even block shapes, each value as the quotient Num / Den of nonnegative integers to be
// rounded, or a degree of its own (Den 0).
struct TQuotient {
  std::int32_t Num, Den;
};

TQuotient EvenQuotient(int Shape, std::int32_t w, std::int32_t d) {
  const std::int32_t h = w / 2, q = w / 4, t = w / 3;
  switch (Shape) {
  case 0:
    return {100 * d, w};
  case 2:
    return d <= h ? TQuotient{200 * d, w} : TQuotient{200 * (w - d), w};
  case 4:
    return {d <= h ? 25 : 75, 0};
  case 6:
    if (d <= q) return {400 * d, w};
    if (4 * d <= 3 * w) return {100, 0};
    return {400 * (w - d), w};
  case 8:
    if (d <= q) return {50 * w - 200 * d, w};
    if (4 * d <= 3 * w) return {200 * d - 50 * w, w};
    return {250 * w - 200 * d, w};
  case 10:
    return d <= h ? TQuotient{200 * d, w} : TQuotient{200 * d - 100 * w, w};
  case 12:
    if (d <= t) return {300 * d, 2 * w};
    if (d <= 2 * t) return {50, 0};
    return {300 * d - 100 * w, 2 * w};
  default: // 14
    return d <= h ? TQuotient{50 * w - 100 * d, w} : TQuotient{100 * d, w};
  }
}
} // namespace

void ShapeRow(int Shape, std::int32_t W, std::uint8_t* Out) {
  if (Shape < 0 || Shape > 15) Shape = 0;
  const int even = Shape & ~1;
  const bool complement = (Shape & 1) != 0;
  if (W < 1) {
    Out[0] = static_cast<std::uint8_t>(ShapeValue(Shape, 0, W, 0));
    return;
  }
  for (std::int32_t d = 0; d <= W; ++d) {
    const TQuotient v = EvenQuotient(even, W, d);
    std::int32_t degree;
    if (v.Den == 0) {
      degree = v.Num;
    } else {
      const std::int32_t whole = v.Num / v.Den, twice = 2 * (v.Num % v.Den);
      if (twice == v.Den) { // on a half-integer: as the extended steps make it
        Out[d] = static_cast<std::uint8_t>(ShapeValue(Shape, 0, W, d));
        continue;
      }
      degree = whole + (twice > v.Den ? 1 : 0);
    }
    Out[d] = static_cast<std::uint8_t>(complement ? 100 - degree : degree);
  }
}
