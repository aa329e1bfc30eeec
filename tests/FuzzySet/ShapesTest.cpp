#include "FuzzySet/FuzzySet.h"
#include "FuzzySet/ShapeRow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {
std::vector<int> Row(int Shape, int W) {
  std::vector<int> v;
  for (int d = 0; d <= W; ++d)
    v.push_back(ShapeValue(Shape, 10, 10 + W, 10 + d));
  return v;
}
std::vector<int> Degrees(const TFuzzySet& S) {
  return {S.Values().begin(), S.Values().end()};
}
} // namespace

TEST(Shapes, NineElementTable) {
  EXPECT_EQ(Row(0, 8), (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88, 100}));
  EXPECT_EQ(Row(2, 8), (std::vector<int>{0, 25, 50, 75, 100, 75, 50, 25, 0}));
  EXPECT_EQ(Row(4, 8), (std::vector<int>{25, 25, 25, 25, 25, 75, 75, 75, 75}));
  EXPECT_EQ(Row(6, 8), (std::vector<int>{0, 50, 100, 100, 100, 100, 100, 50, 0}));
  EXPECT_EQ(Row(8, 8), (std::vector<int>{50, 25, 0, 25, 50, 75, 100, 75, 50}));
  EXPECT_EQ(Row(10, 8), (std::vector<int>{0, 25, 50, 75, 100, 25, 50, 75, 100}));
  EXPECT_EQ(Row(12, 8), (std::vector<int>{0, 19, 38, 50, 50, 44, 62, 81, 100}));
  EXPECT_EQ(Row(14, 8), (std::vector<int>{50, 38, 25, 12, 0, 62, 75, 88, 100}));
  EXPECT_EQ(Row(16, 8), (std::vector<int>{1, 5, 27, 72, 100, 72, 27, 5, 1}));
  // The odd shapes are complements, single-element values included.
  for (int s = 1; s < ShapeCount; s += 2)
    for (int w = 0; w <= 9; ++w)
      for (int d = 0; d <= w; ++d)
        EXPECT_EQ(ShapeValue(s, 0, w, d), 100 - ShapeValue(s - 1, 0, w, d));
}

TEST(Shapes, ExtendedPrecisionDecidesHalfIntegers) {
  EXPECT_EQ(ShapeValue(0, 0, 40, 23), 58);
  EXPECT_EQ(ShapeValue(0, 0, 200, 59), 29);
}

TEST(Shapes, SingleElementAndTwoElementValues) {
  const int single[ShapeCount] = {0, 100, 0, 100, 25, 75, 0, 100, 50, 50, 0, 100, 0, 100, 50, 50, 100, 0};
  for (int s = 0; s < ShapeCount; ++s) {
    EXPECT_EQ(ShapeValue(s, 5, 5, 5), single[s]) << "shape " << s;
    EXPECT_EQ(ShapeValue(s, 6, 5, 6), single[s]) << "reversed range, shape " << s;
  }
  EXPECT_EQ(Row(16, 1), (std::vector<int>{100, 0}));
  EXPECT_EQ(Row(17, 1), (std::vector<int>{0, 100}));
  EXPECT_EQ(Row(6, 2), (std::vector<int>{0, 100, 0}));
  EXPECT_EQ(Row(8, 3), (std::vector<int>{50, 17, 83, 50}));
  EXPECT_EQ(ShapeValue(18, 0, 8, 1), 12);
  EXPECT_EQ(ShapeValue(-1, 0, 8, 7), 88);
}

TEST(Shapes, EveryShapeStaysWithinZeroToHundred) {
  // Every small width, and among the large ones those that leave a remainder of 2 or 3 on
  // division by 4, where the three-quarter point once let a ramp start early and overflow.
  std::vector<int> widths;
  for (int w = 0; w <= 2047; ++w)
    if (w <= 256 || w >= 2040 || (w % 4 >= 2 && w % 64 >= 62) || (w % 4 >= 2 && w % 64 <= 3))
      widths.push_back(w);
  for (int s = 0; s < ShapeCount; ++s)
    for (int w : widths)
      for (int d = 0; d <= w; ++d) {
        const int v = ShapeValue(s, 0, w, d);
        ASSERT_TRUE(v >= 0 && v <= 100) << "shape " << s << " w " << w << " d " << d << " gives " << v;
      }
}

TEST(Operators, TableAndOutOfRange) {
  const int a = 70, b = 40, p = 28;
  const int expect[OperatorCount] = {70, 40, 55, 45, 60, 30, 60, 70, 30, 40, p, 100 - p, 28, 30, 28, 60};
  for (int op = 0; op < OperatorCount; ++op)
    EXPECT_EQ(CombineDegrees(op, a, b), expect[op]) << "operator " << op;
  EXPECT_EQ(CombineDegrees(16, a, b), 0);
  EXPECT_EQ(CombineDegrees(-1, a, b), 0);
  for (int op = 0; op < OperatorCount; ++op)
    for (int x = 0; x <= 100; ++x)
      for (int y = 0; y <= 100; ++y) {
        const int v = CombineDegrees(op, x, y);
        ASSERT_TRUE(v >= 0 && v <= 100);
      }
}

TEST(ApplyBlock, PeriodsSplitTheRangeAndTheLastTakesTheRemainder) {
  TFuzzySet s;
  s.Fill(10, 50);
  EXPECT_TRUE(s.ApplyBlock(0, 2, 0, 9, 0));
  EXPECT_EQ(Degrees(s), (std::vector<int>{50, 50, 100, 50, 50, 100, 50, 50, 67, 100}));
  s.Fill(10, 50);
  EXPECT_TRUE(s.ApplyBlock(16, 0, 0, 9, 1));
  EXPECT_EQ(Degrees(s), (std::vector<int>{1, 5, 27, 50, 50, 50, 27, 5, 1, 0}));
  // Every element of a bell or its complement, with or without periods, is its shape value.
  for (int shape : {16, 17})
    for (int periods : {0, 1, 3})
      for (int last = 0; last < 40; ++last) {
        s.Fill(40, 50);
        ASSERT_TRUE(s.ApplyBlock(shape, periods, 0, last, 14));
        const int l = (last + 1) / (periods + 1);
        for (int x = 0; x <= last; ++x) {
          // A range shorter than its periods is one stretch.
          const int p = l == 0 ? periods : std::min(x / l, periods);
          const int start = p * l, end = p < periods ? start + l - 1 : last;
          ASSERT_EQ(s.GetDegree(x), CombineDegrees(14, 50, ShapeValue(shape, start, end, x)))
              << "shape " << shape << " periods " << periods << " last " << last << " x " << x;
        }
      }
}

TEST(ApplyBlock, RefusedRangesAndMappedArguments) {
  TFuzzySet s;
  s.Fill(10, 50);
  const auto before = Degrees(s);
  EXPECT_FALSE(s.ApplyBlock(0, 0, 5, 4, 0));
  EXPECT_FALSE(s.ApplyBlock(0, 0, -1, 4, 0));
  EXPECT_FALSE(s.ApplyBlock(0, 0, 0, 10, 0));
  EXPECT_EQ(Degrees(s), before);
  TFuzzySet empty;
  EXPECT_FALSE(empty.ApplyBlock(0, 0, 0, 0, 0));

  // One element: the single-element value of the shape.
  s.Fill(3, 20);
  s.ApplyBlock(8, 0, 1, 1, 0);
  s.ApplyBlock(16, 0, 2, 2, 0);
  EXPECT_EQ(Degrees(s), (std::vector<int>{20, 50, 100}));

  // Out-of-range periods, operator and shape act as 0.
  TFuzzySet ref;
  ref.Fill(10, 50);
  ref.ApplyBlock(0, 0, 0, 9, 0);
  for (auto args :
       {std::array<int, 3>{0, 8, 0}, {0, -1, 0}, {0, 0, 16}, {0, 0, -1}, {18, 0, 0}, {-1, 0, 0}}) {
    s.Fill(10, 50);
    s.ApplyBlock(args[0], args[1], 0, 9, args[2]);
    EXPECT_EQ(Degrees(s), Degrees(ref));
  }

  // A range shorter than the periods: all periods empty, one stretch over everything.
  s.Fill(3, 50);
  s.ApplyBlock(0, 7, 0, 2, 0);
  EXPECT_EQ(Degrees(s), (std::vector<int>{50, 50, 100}));
}

// The rows of the fast developer's tables, from integer arithmetic, against ShapeValue: every
// block shape over every small width and over widths around the large powers of two, where
// the extended steps round half-integers one way or the other.
TEST(Shapes, ShapeRowsAreShapeValues) {
  std::vector<int> widths;
  for (int w = 0; w <= 300; ++w)
    widths.push_back(w);
  for (int around : {512, 1024, 2047})
    for (int w = around - 9; w <= std::min(around + 9, 2047); ++w)
      widths.push_back(w);
  std::vector<std::uint8_t> row(2048);
  for (int shape = 0; shape < 16; ++shape)
    for (int w : widths) {
      ShapeRow(shape, w, row.data());
      for (int d = 0; d <= std::max(w, 0); ++d)
        ASSERT_EQ(row[static_cast<std::size_t>(d)], ShapeValue(shape, 0, w, d))
            << "shape " << shape << " w " << w << " d " << d;
    }
}
