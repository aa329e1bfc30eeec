#pragma once
// The degrees of one of the block shapes (0..15) over a whole sub-range, for the tables of
// the fast developer: ShapeValue remains the definition, and this gives exactly its values.

#include <cstdint>

// Out[d] = ShapeValue(Shape, 0, W, d) for d = 0 .. W (one value for W < 1).
//
// Each of these shapes rounds a quotient of integers with a denominator of at most 2W, formed
// in extended precision. Such a quotient lies exactly on a half-integer or at least 1 / (4W)
// away from one, far more than the few units in the last place that the extended steps can
// be off: so exact integer rounding gives the same degree everywhere except on the
// half-integers, where ShapeValue itself decides.
void ShapeRow(int Shape, std::int32_t W, std::uint8_t* Out);
