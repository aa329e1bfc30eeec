#include "FuzzySet/Random.h"
#include "ZEL/ZEL.h"

#include <gtest/gtest.h>

#include <map>

TEST(Random, FirstDrawsFromAKnownSeedSkipsAndTheClock) {
  // seed := seed * 134775813 + 1 (mod 2^32), worked out by hand from 12345.
  Rng::SetSeed(12345);
  EXPECT_EQ(Rng::Random(), 1655067934.0 / 4294967296.0);
  EXPECT_EQ(Rng::Random(), 1242767767.0 / 4294967296.0);
  EXPECT_EQ(Rng::RandomBelow(101), 8u); // (101 * 342459380) >> 32
  for (std::uint64_t n : {0ull, 1ull, 17ull, 1000003ull}) {
    Rng::SetSeed(987654321u);
    for (std::uint64_t i = 0; i < n; ++i)
      Rng::Random();
    EXPECT_EQ(Rng::SeedAfter(987654321u, n), Rng::GetSeed()) << n;
  }
  Rng::SetClock(Rng::CounterClock(4294967295u));
  Rng::Randomize();
  EXPECT_EQ(Rng::GetSeed(), 4294967295u);
  Rng::Randomize();
  EXPECT_EQ(Rng::GetSeed(), 0u);
  Rng::SetClock(nullptr);
  Rng::Randomize();
  EXPECT_LT(Rng::GetSeed(), 24u * 3600u * 1000u);
}

TEST(Random, RandomIntWeightsTheEndsHalfAndFlipFlipsOnEqual) {
  Rng::SetSeed(777);
  EXPECT_EQ(RandomInt(5, 5), 5);
  EXPECT_EQ(RandomInt(7, 3), 7);
  EXPECT_EQ(Rng::GetSeed(), 777u); // neither draws
  std::map<int, int> counts;
  const int draws = 400000;
  for (int i = 0; i < draws; ++i)
    ++counts[RandomInt(1, 5)];
  for (const auto& [v, share] :
       std::map<int, double>{{1, 0.125}, {2, 0.25}, {3, 0.25}, {4, 0.25}, {5, 0.125}})
    EXPECT_NEAR(counts[v] / double(draws), share, 0.005) << v;
  // The seed before a given one: s = a^-1 (next - 1).
  std::uint32_t inv = 1;
  for (int i = 0; i < 5; ++i)
    inv *= 2u - Rng::Multiplier * inv;
  Rng::SetSeed(inv * (0u - 1u)); // the next draw is exactly 0
  EXPECT_TRUE(Flip(false, 0.0));
  Rng::SetSeed(inv * (0x80000000u - 1u)); // exactly one half: 2.5 rounds to the even 2
  EXPECT_EQ(RandomInt(1, 4), 2);
  EXPECT_FALSE(Flip(false, 0.0));
  EXPECT_FALSE(Flip(true, 1.0));
}
