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
// Out[d] for d = First .. Last of one piece of an even shape: the rounded quotient
// (A d + B) / Den, whose numerator is nonnegative there; a half-integer is left to ShapeValue.
// Complement gives the odd shape after it. The quotient is a product by a reciprocal, exact
// while numerator times denominator stays below 2^40 (here below 2^21 times 2^13), so that
// each element stands alone rather than waiting on the one before.
void Piece(int Shape, std::int32_t W, std::int32_t First, std::int32_t Last, std::int32_t A, std::int32_t B,
           std::int32_t Den, std::uint8_t* Out) {
  if (Last < First) return;
  const bool complement = (Shape & 1) != 0;
  const std::uint64_t reciprocal = (std::uint64_t{1} << 40) / static_cast<std::uint64_t>(Den) + 1;
  std::int32_t num = A * First + B;
  for (std::int32_t d = First; d <= Last; ++d, num += A) {
    const auto q = static_cast<std::int32_t>((static_cast<std::uint64_t>(num) * reciprocal) >> 40);
    const std::int32_t r = num - q * Den;
    if (2 * r == Den) {
      Out[d] = static_cast<std::uint8_t>(ShapeValue(Shape, 0, W, d));
    } else {
      const std::int32_t degree = q + (2 * r > Den ? 1 : 0);
      Out[d] = static_cast<std::uint8_t>(complement ? 100 - degree : degree);
    }
  }
}

// Out[d] = Degree (or its complement) for d = First .. Last.
void Level(int Shape, std::int32_t First, std::int32_t Last, std::int32_t Degree, std::uint8_t* Out) {
  for (std::int32_t d = First; d <= Last; ++d)
    Out[d] = static_cast<std::uint8_t>((Shape & 1) != 0 ? 100 - Degree : Degree);
}
} // namespace

void ShapeRow(int Shape, std::int32_t W, std::uint8_t* Out) {
  if (Shape < 0 || Shape > 15) Shape = 0;
  if (W < 1) {
    Out[0] = static_cast<std::uint8_t>(ShapeValue(Shape, 0, W, 0));
    return;
  }
  // The pieces of each even shape, as its rule splits the sub-range.
  const std::int32_t w = W, h = w / 2, q = w / 4, t = w / 3, threeQuarters = 3 * w / 4;
  switch (Shape & ~1) {
  case 0:
    Piece(Shape, W, 0, w, 100, 0, w, Out);
    break;
  case 2:
    Piece(Shape, W, 0, h, 200, 0, w, Out);
    Piece(Shape, W, h + 1, w, -200, 200 * w, w, Out);
    break;
  case 4:
    Level(Shape, 0, h, 25, Out);
    Level(Shape, h + 1, w, 75, Out);
    break;
  case 6:
    Piece(Shape, W, 0, q, 400, 0, w, Out);
    Level(Shape, q + 1, threeQuarters, 100, Out);
    Piece(Shape, W, std::max(q, threeQuarters) + 1, w, -400, 400 * w, w, Out);
    break;
  case 8:
    Piece(Shape, W, 0, q, -200, 50 * w, w, Out);
    Piece(Shape, W, q + 1, threeQuarters, 200, -50 * w, w, Out);
    Piece(Shape, W, std::max(q, threeQuarters) + 1, w, -200, 250 * w, w, Out);
    break;
  case 10:
    Piece(Shape, W, 0, h, 200, 0, w, Out);
    Piece(Shape, W, h + 1, w, 200, -100 * w, w, Out);
    break;
  case 12:
    Piece(Shape, W, 0, t, 300, 0, 2 * w, Out);
    Level(Shape, t + 1, 2 * t, 50, Out);
    Piece(Shape, W, std::max(t, 2 * t) + 1, w, 300, -100 * w, 2 * w, Out);
    break;
  default: // 14
    Piece(Shape, W, 0, h, -100, 50 * w, w, Out);
    Piece(Shape, W, h + 1, w, 100, 0, w, Out);
    break;
  }
}
