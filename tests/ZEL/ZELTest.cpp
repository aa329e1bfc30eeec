#include "ZEL/ZEL.h"
#include "FuzzySet/Random.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
// The generator the tests draw from.
TRandom Rand;
} // namespace

// The exact order of picks and draws of the variations is checked against pick-by-pick
// lists in FastPathTest; here validation, the text form and what the variations keep.

namespace {
std::string SortedText(const TZEL& Z) {
  std::vector<std::string> groups;
  const std::string text = Z.ToText();
  for (std::size_t i = 0; i < text.size(); i += 5)
    groups.push_back(text.substr(i, 5));
  std::sort(groups.begin(), groups.end());
  std::string out;
  for (const auto& g : groups)
    out += g;
  return out;
}
} // namespace

TEST(FuzzyBlock, ValidateAddAndMutate) {
  TFuzzyBlock b{3, 4, 8, 1, 2};
  EXPECT_FALSE(b.Validate());
  EXPECT_EQ(b, TFuzzyBlock{});
  TZEL z;
  TFuzzyBlock bad{0, 0, 8, 0, 0};
  EXPECT_EQ(z.Add(bad), -1);
  for (int i = 0; i < 32; ++i) {
    TFuzzyBlock ok{1, 2, 3, 4, 5};
    EXPECT_EQ(z.Add(ok), i);
  }
  TFuzzyBlock extra{9, 9, 1, 1, 9};
  EXPECT_EQ(z.Add(extra), -1);
  EXPECT_EQ(extra, (TFuzzyBlock{9, 9, 1, 1, 9})); // refused for room, left as it was

  // Mutate(0): one draw, no change. Mutate(1): three draws, at most one field changed, valid.
  Rand.SetSeed(42);
  TFuzzyBlock m{1, 2, 3, 4, 5};
  m.Mutate(Rand, 0.0);
  EXPECT_EQ(m, (TFuzzyBlock{1, 2, 3, 4, 5}));
  EXPECT_EQ(Rand.GetSeed(), Rng::SeedAfter(42, 1));
  for (int i = 0; i < 200; ++i) {
    const std::uint32_t s = Rand.GetSeed();
    const TFuzzyBlock before = m;
    m.Mutate(Rand, 1.0);
    EXPECT_TRUE(m.IsValid());
    EXPECT_EQ(Rand.GetSeed(), Rng::SeedAfter(s, 3));
    EXPECT_LE((m.Shape != before.Shape) + (m.Position != before.Position) + (m.Spread != before.Spread) +
                  (m.Periods != before.Periods) + (m.Operator != before.Operator),
              1);
  }
}

TEST(TextForm, ToTextAndFromText) {
  TZEL z;
  z.FromText("A310F0F772");
  EXPECT_EQ(z.Block(0), (TFuzzyBlock{10, 3, 1, 0, 15}));
  EXPECT_EQ(z.Block(1), (TFuzzyBlock{0, 15, 7, 7, 2}));
  EXPECT_EQ(z.ToText(), "A310F0F772");
  z.FromText("ff77f");
  EXPECT_EQ(z.ToText(), "FF77F");
  z.FromText("A310FZ"); // not a multiple of five: unchanged
  EXPECT_EQ(z.ToText(), "FF77F");
  for (const char* zeroed : {"G310F", "00800"}) {
    z.FromText(zeroed);
    EXPECT_EQ(z.ToText(), "00000") << zeroed;
  }
  z.FromText(std::string(165, '1'));
  EXPECT_EQ(z.Count(), 32);
  z.FromText("");
  EXPECT_EQ(z.Count(), 0);
  std::string s = "x";
  IntToHexChar(16, s);
  EXPECT_EQ(s, "x");
  IntToHexChar(11, s);
  EXPECT_EQ(s, "B");
}

TEST(Variation, ProgramsKeepTheirBlocks) {
  TZEL one;
  one.FromText("12345");
  Rand.SetSeed(5);
  one.Shuffle(Rand);
  EXPECT_EQ(Rand.GetSeed(), 5u); // one block: no draw
  TZEL p1, p2;
  p1.FromText("A310F0F77212345FF77F00000C1234");
  p2.FromText("111112222233333444445555566666");
  TZEL r, c1, c2;
  r.Reproduce(Rand, p1, 0.0);
  EXPECT_EQ(SortedText(r), SortedText(p1));
  p1.Crossover(Rand, p2, c1, c2, 0.0, 0.0);
  EXPECT_EQ(SortedText(c1), SortedText(p1));
  EXPECT_EQ(SortedText(c2), SortedText(p2));
  // With a cut the children share out both parents' blocks, each used once.
  for (const TZEL* second : {&p2, &p1})
    for (int i = 0; i < 20; ++i) {
      p1.Crossover(Rand, *second, c1, c2, 1.0, 0.0);
      TZEL all, both;
      all.FromText(c1.ToText() + c2.ToText());
      both.FromText(p1.ToText() + second->ToText());
      EXPECT_EQ(SortedText(all), SortedText(both));
    }
  // Children written over their parents, either way round, come out as from untouched
  // parents, with the same draws.
  for (int swap = 0; swap < 2; ++swap)
    for (int i = 0; i < 5; ++i) {
      TZEL a = p1, b = p2, x, y;
      const std::uint32_t seed = Rand.GetSeed();
      a.Crossover(Rand, b, x, y, 1.0, 0.3);
      const std::uint32_t after = Rand.GetSeed();
      Rand.SetSeed(seed);
      if (swap == 0)
        a.Crossover(Rand, b, a, b, 1.0, 0.3);
      else
        a.Crossover(Rand, b, b, a, 1.0, 0.3);
      EXPECT_EQ((swap == 0 ? a : b).ToText(), x.ToText());
      EXPECT_EQ((swap == 0 ? b : a).ToText(), y.ToText());
      EXPECT_EQ(Rand.GetSeed(), after);
    }
}
