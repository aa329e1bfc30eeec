#include "FuzzySet/FuzzySet.h"
#include "FuzzySet/Random.h"

#include <gtest/gtest.h>

namespace {
// The generator the tests draw from.
TRandom Rand;
} // namespace

namespace {
TFuzzySet Make(std::initializer_list<int> Degrees) {
  TFuzzySet s;
  for (int d : Degrees)
    s.Add(d);
  return s;
}
std::vector<int> Degrees(const TFuzzySet& S) {
  return {S.Values().begin(), S.Values().end()};
}
} // namespace

TEST(FuzzySet, AddGetSetRefuseOutOfRange) {
  TFuzzySet s;
  EXPECT_EQ(s.Add(0), 0);
  EXPECT_EQ(s.Add(100), 1);
  EXPECT_EQ(s.Add(-1), -1);
  EXPECT_EQ(s.Add(101), -1);
  EXPECT_EQ(Degrees(s), (std::vector<int>{0, 100}));
  EXPECT_EQ(s.GetDegree(2), -1);
  EXPECT_EQ(s.GetDegree(-1), -1);
  EXPECT_FALSE(s.SetDegree(2, 5));
  EXPECT_TRUE(s.SetDegree(1, 7));
  EXPECT_EQ(s.GetDegree(1), 7);
}

TEST(FuzzySet, UnionIntersectionKeepTheCommonPrefixAndMayWriteIntoAnOperand) {
  TFuzzySet a = Make({10, 80, 30, 0, 100}), b = Make({50, 20, 30});
  TFuzzySet u;
  u.Union(a, b);
  EXPECT_EQ(Degrees(u), (std::vector<int>{50, 80, 30}));
  u.Intersection(a, b);
  EXPECT_EQ(Degrees(u), (std::vector<int>{10, 20, 30}));
  TFuzzySet s = Make({10, 90, 40}), t = Make({20, 5, 40});
  s.Union(s, t);
  EXPECT_EQ(Degrees(s), (std::vector<int>{20, 90, 40}));
}

TEST(FuzzySet, FillStepAndZero) {
  TFuzzySet s;
  s.Fill(4, 101);
  EXPECT_EQ(s.Count(), 0);
  s.Fill(0, 50);
  EXPECT_EQ(s.Count(), 0);
  s.Fill(3, 9);
  s.SetStep(33, 0, 0);
  EXPECT_EQ(Degrees(s), (std::vector<int>{33, 0, 0}));
  s.SetStep(1, 2, 3);
  EXPECT_EQ(Degrees(s), (std::vector<int>{33, 0, 0}));
  s.ZeroAll();
  EXPECT_EQ(Degrees(s), (std::vector<int>{0, 0, 0}));
}

TEST(FuzzySet, Measures) {
  TFuzzySet self = Make({100, 50, 0}), b = Make({50, 50, 50});
  EXPECT_EQ(self.Cardinality(), 1.5);
  EXPECT_EQ(self.Subsethood(b), 1.0 / 1.5);
  EXPECT_EQ(self.HammingDistance(b), 1.0);
  TFuzzySet empty;
  EXPECT_EQ(empty.Cardinality(), 0.0);
  EXPECT_EQ(empty.HammingDistance(b), 0.0);
  EXPECT_EQ(b.HammingDistance(empty), 0.0);
  // The empty fuzzy set, and one with every degree 0, is contained in every set.
  EXPECT_EQ(empty.Subsethood(b), 1.0);
  EXPECT_EQ(Make({0, 0}).Subsethood(b), 1.0);
  // Contained element by element: exactly 1.
  EXPECT_EQ(Make({13, 27, 41, 3}).Subsethood(Make({13, 99, 41, 3, 100})), 1.0);
  // Against a shorter set only the common prefix counts in the numerator.
  EXPECT_EQ(Make({50, 50}).Subsethood(Make({50})), 0.5);
}

TEST(FuzzySet, RandomizeReseedsFromTheClockAndDrawsIntegersBelow101) {
  Rand.SetClock(Rng::CounterClock(12345));
  TFuzzySet s;
  s.Randomize(Rand, 3);
  // From seed 12345: the high 32 bits of 101 times each new seed.
  EXPECT_EQ(Degrees(s), (std::vector<int>{38, 29, 8}));
  s.Randomize(Rand, 0);
  EXPECT_EQ(s.Count(), 0);
  EXPECT_EQ(Rand.GetSeed(), 12346u);
  Rand.SetClock(nullptr);
}

TEST(Environment, FixedLandscapeForOneHundredElements) {
  TFuzzySet e;
  e.MakeEnvironment(Rand, 100, false);
  std::vector<int> expect(30, 33);
  for (int d : {47, 72, 92, 100, 92, 72, 47, 27, 13, 6,  9,  13, 18, 23, 30,  36, 41, 46, 49, 50, 49, 46,
                41, 36, 30, 36,  43, 50, 58, 66, 74, 81, 87, 93, 97, 99, 100, 99, 97, 93, 87, 81, 74})
    expect.push_back(d);
  expect.resize(100, 66);
  EXPECT_EQ(Degrees(e), expect);
  EXPECT_NEAR(e.Cardinality(), 52.72, 1e-9);
}

TEST(Environment, SmallAndEmptySizes) {
  TFuzzySet e;
  e.MakeEnvironment(Rand, 12, false);
  EXPECT_EQ(Degrees(e), (std::vector<int>{33, 33, 33, 33, 100, 13, 50, 56, 100, 66, 66, 66}));
  e.MakeEnvironment(Rand, 1, false);
  EXPECT_EQ(Degrees(e), (std::vector<int>{100}));
  e.MakeEnvironment(Rand, 0, false);
  EXPECT_EQ(e.Count(), 0);
  e.MakeEnvironment(Rand, -3, false);
  EXPECT_EQ(e.Count(), 0);
  // Two to nine elements meet a two-element bell; every degree stays valid.
  for (int n = 2; n <= 9; ++n) {
    e.MakeEnvironment(Rand, n, false);
    ASSERT_EQ(e.Count(), n);
    for (int d : e.Values())
      EXPECT_TRUE(d >= 0 && d <= 100);
  }
  // Each size asked again (the landscapes are kept), the latest and an earlier one.
  e.MakeEnvironment(Rand, 2, false);
  EXPECT_EQ(Degrees(e), (std::vector<int>{100, 0}));
  e.MakeEnvironment(Rand, 12, false);
  EXPECT_EQ(Degrees(e), (std::vector<int>{33, 33, 33, 33, 100, 13, 50, 56, 100, 66, 66, 66}));
  e.MakeEnvironment(Rand, 12, false);
  EXPECT_EQ(e.Count(), 12);
  e.MakeEnvironment(Rand, 1, false);
  EXPECT_EQ(Degrees(e), (std::vector<int>{100}));
  e.MakeEnvironment(Rand, 5, true);
  EXPECT_EQ(e.Count(), 5);
  for (int d : e.Values())
    EXPECT_TRUE(d >= 0 && d <= 100);
}
