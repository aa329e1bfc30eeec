#include "ZEL/ZEL.h"
#include "FuzzySet/Random.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
TZEL Program(std::initializer_list<TFuzzyBlock> Blocks) {
  TZEL z;
  for (TFuzzyBlock b : Blocks)
    z.Add(b);
  return z;
}
std::vector<TFuzzyBlock> Sorted(const TZEL& Z) {
  std::vector<TFuzzyBlock> v;
  for (int i = 0; i < Z.Count(); ++i)
    v.push_back(Z.Block(i));
  std::sort(v.begin(), v.end(), [](const TFuzzyBlock& a, const TFuzzyBlock& b) {
    return std::tie(a.Shape, a.Position, a.Spread, a.Periods, a.Operator) <
           std::tie(b.Shape, b.Position, b.Spread, b.Periods, b.Operator);
  });
  return v;
}
TZEL RandomProgram(int N) {
  TZEL z;
  for (int i = 0; i < N; ++i) {
    TFuzzyBlock b{i % 16, (i * 7) % 16, i % 8, (i * 3) % 8, (i * 5) % 16};
    z.Add(b);
  }
  return z;
}
} // namespace

TEST(FuzzyBlock, ValidateAndMutate) {
  TFuzzyBlock b{3, 4, 8, 1, 2};
  EXPECT_FALSE(b.Validate());
  EXPECT_EQ(b, TFuzzyBlock{});
  TZEL z;
  TFuzzyBlock bad{0, 0, 8, 0, 0};
  EXPECT_EQ(z.Add(bad), -1);
  EXPECT_EQ(z.Count(), 0);
  for (int i = 0; i < 32; ++i) {
    TFuzzyBlock ok{1, 2, 3, 4, 5};
    EXPECT_EQ(z.Add(ok), i);
  }
  TFuzzyBlock extra{9, 9, 1, 1, 9};
  EXPECT_EQ(z.Add(extra), -1);
  EXPECT_EQ(extra, (TFuzzyBlock{9, 9, 1, 1, 9}));

  // Mutate(0): one draw and no change; Mutate(1): three draws and a valid block.
  Rng::SetSeed(42);
  TFuzzyBlock m{1, 2, 3, 4, 5};
  m.Mutate(0.0);
  EXPECT_EQ(m, (TFuzzyBlock{1, 2, 3, 4, 5}));
  EXPECT_EQ(Rng::GetSeed(), Rng::SeedAfter(42, 1));
  for (int i = 0; i < 200; ++i) {
    const std::uint32_t s = Rng::GetSeed();
    TFuzzyBlock before = m;
    m.Mutate(1.0);
    EXPECT_TRUE(m.IsValid());
    EXPECT_EQ(Rng::GetSeed(), Rng::SeedAfter(s, 3));
    int changed = (m.Shape != before.Shape) + (m.Position != before.Position) + (m.Spread != before.Spread) +
                  (m.Periods != before.Periods) + (m.Operator != before.Operator);
    EXPECT_LE(changed, 1);
  }
}

TEST(TextForm, ToTextFromText) {
  TZEL z = Program({{10, 3, 1, 0, 15}, {0, 15, 7, 7, 2}});
  EXPECT_EQ(z.ToText(), "A310F0F772");
  EXPECT_EQ(TZEL{}.ToText(), "");
  TZEL r;
  r.FromText("ff77f");
  EXPECT_EQ(r, Program({{15, 15, 7, 7, 15}}));
  EXPECT_EQ(r.ToText(), "FF77F");
  r.FromText("A310FZ");
  EXPECT_EQ(r.ToText(), "FF77F");
  r.FromText("G310F");
  EXPECT_EQ(r, Program({{0, 0, 0, 0, 0}}));
  r.FromText("00800");
  EXPECT_EQ(r, Program({{0, 0, 0, 0, 0}}));
  r.FromText(std::string(165, '1'));
  EXPECT_EQ(r.Count(), 32);
  r.FromText("");
  EXPECT_EQ(r.Count(), 0);
  std::string s = "x";
  IntToHexChar(16, s);
  EXPECT_EQ(s, "x");
  IntToHexChar(11, s);
  EXPECT_EQ(s, "B");
  EXPECT_EQ(HexCharToInt('g'), 16);
  EXPECT_EQ(HexCharToInt('7'), 7);
}

TEST(Variation, ShuffleKeepsBlocksAndDrawsOnePerPickButTheLast) {
  TZEL one = Program({{1, 2, 3, 4, 5}});
  Rng::SetSeed(5);
  one.Shuffle();
  EXPECT_EQ(Rng::GetSeed(), 5u);
  EXPECT_EQ(one, Program({{1, 2, 3, 4, 5}}));
  TZEL z = RandomProgram(9);
  const TZEL original = z;
  z.Shuffle();
  EXPECT_EQ(Rng::GetSeed(), Rng::SeedAfter(5, 8));
  EXPECT_EQ(Sorted(z), Sorted(original));
  int swapped = 0;
  TZEL two = Program({{1, 0, 0, 0, 0}, {2, 0, 0, 0, 0}});
  for (int i = 0; i < 2000; ++i) {
    TZEL t = two;
    t.Shuffle();
    swapped += t.Block(0).Shape == 2;
  }
  EXPECT_NEAR(swapped / 2000.0, 0.5, 0.05);
}

TEST(Variation, ReproduceAndCrossoverUseEveryBlockOnce) {
  Rng::SetSeed(99);
  const TZEL p1 = RandomProgram(8), p2 = Program({{1, 1, 1, 1, 1},
                                                  {2, 2, 2, 2, 2},
                                                  {3, 3, 3, 3, 3},
                                                  {4, 4, 4, 4, 4},
                                                  {5, 5, 5, 5, 5},
                                                  {6, 6, 6, 6, 6},
                                                  {7, 7, 7, 7, 7},
                                                  {8, 8, 0, 0, 8}});
  TZEL r;
  r.Reproduce(p1, 0.0);
  EXPECT_EQ(Sorted(r), Sorted(p1));
  TZEL c1, c2;
  p1.Crossover(p2, c1, c2, 0.0, 0.0);
  EXPECT_EQ(Sorted(c1), Sorted(p1));
  EXPECT_EQ(Sorted(c2), Sorted(p2));
  for (int i = 0; i < 50; ++i) {
    p1.Crossover(p2, c1, c2, 1.0, 0.0);
    ASSERT_EQ(c1.Count(), 8);
    ASSERT_EQ(c2.Count(), 8);
    TZEL all = c1, both = p1;
    for (int k = 0; k < 8; ++k) {
      TFuzzyBlock b = c2.Block(k), q = p2.Block(k);
      all.Add(b);
      both.Add(q);
    }
    EXPECT_EQ(Sorted(all), Sorted(both));
  }
  // With itself as second parent: two copies of every block between the children.
  p1.Crossover(p1, c1, c2, 1.0, 0.0);
  TZEL all = c1, twice = p1;
  for (int k = 0; k < 8; ++k) {
    TFuzzyBlock b = c2.Block(k), q = p1.Block(k);
    all.Add(b);
    twice.Add(q);
  }
  EXPECT_EQ(Sorted(all), Sorted(twice));
}

TEST(Variation, CrossoverDrawOrder) {
  // No crossover on a two-block program: Flip, then for each child pick (one draw
  // with two blocks left, none with one) and mutate (one draw each at PNoise 0).
  const TZEL p1 = Program({{1, 0, 0, 0, 0}, {2, 0, 0, 0, 0}}),
             p2 = Program({{3, 0, 0, 0, 0}, {4, 0, 0, 0, 0}});
  Rng::SetSeed(1234);
  TZEL c1, c2;
  p1.Crossover(p2, c1, c2, 0.0, 0.0);
  EXPECT_EQ(Rng::GetSeed(), Rng::SeedAfter(1234, 1 + (1 + 1) + (1 + 1) + (0 + 1) + (0 + 1)));
}
