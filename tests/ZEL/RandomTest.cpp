#include "FuzzySet/Random.h"
#include "ZEL/ZEL.h"

#include <gtest/gtest.h>

namespace {
// The generator the tests draw from.
TRandom Rand;
} // namespace

TEST(Random, FirstDrawsFromAKnownSeedSkipsAndTheClock) {
  // seed := seed * 134775813 + 1 (mod 2^32), worked out by hand from 12345.
  Rand.SetSeed(12345);
  EXPECT_EQ(Rand.Random(), 1655067934.0 / 4294967296.0);
  EXPECT_EQ(Rand.Random(), 1242767767.0 / 4294967296.0);
  EXPECT_EQ(Rand.RandomBelow(101), 8u); // (101 * 342459380) >> 32
  for (std::uint64_t n : {0ull, 1ull, 17ull, 1000003ull}) {
    Rand.SetSeed(987654321u);
    for (std::uint64_t i = 0; i < n; ++i)
      Rand.Random();
    EXPECT_EQ(Rng::SeedAfter(987654321u, n), Rand.GetSeed()) << n;
  }
  // Every count the jump table holds, and the first few past it, against stepping.
  Rand.SetSeed(5u);
  for (std::uint64_t n = 0; n < 1100; ++n) {
    ASSERT_EQ(Rng::SeedAfter(5u, n), Rand.GetSeed()) << n;
    Rand.NextSeed();
  }
  Rand.SetClock(Rng::CounterClock(4294967295u));
  Rand.Randomize();
  EXPECT_EQ(Rand.GetSeed(), 4294967295u);
  Rand.Randomize();
  EXPECT_EQ(Rand.GetSeed(), 0u);
  Rand.SetClock(nullptr);
  Rand.Randomize();
  EXPECT_LT(Rand.GetSeed(), 24u * 3600u * 1000u);
}

TEST(Random, RandomIntRoundsHalfToEvenAndFlipFlipsOnEqual) {
  Rand.SetSeed(777);
  EXPECT_EQ(RandomInt(Rand, 5, 5), 5);
  EXPECT_EQ(RandomInt(Rand, 7, 3), 7);
  EXPECT_EQ(Rand.GetSeed(), 777u); // neither draws
  // The seed before a given one: s = a^-1 (next - 1).
  std::uint32_t inv = 1;
  for (int i = 0; i < 5; ++i)
    inv *= 2u - Rng::Multiplier * inv;
  Rand.SetSeed(inv * (0u - 1u)); // the next draw is exactly 0
  EXPECT_TRUE(Flip(Rand, false, 0.0));
  Rand.SetSeed(inv * (0x80000000u - 1u)); // exactly one half: 2.5 rounds to the even 2
  EXPECT_EQ(RandomInt(Rand, 1, 4), 2);
  EXPECT_FALSE(Flip(Rand, false, 0.0));
  EXPECT_FALSE(Flip(Rand, true, 1.0));
  // Halves and their neighbours straight from the draw: 0.5 and 1.5 of RandomInt(0, 2) go to
  // the even 0 and 2; above an odd Lo, 1.5 and 2.5 both go to 2; a step of 2^-32 either side
  // decides.
  EXPECT_EQ(RandomIntOf(0x40000000u, 0, 2), 0);
  EXPECT_EQ(RandomIntOf(0xC0000000u, 0, 2), 2);
  EXPECT_EQ(RandomIntOf(0x40000000u, 1, 3), 2);
  EXPECT_EQ(RandomIntOf(0xC0000000u, 1, 3), 2);
  EXPECT_EQ(RandomIntOf(0x3FFFFFFFu, 0, 2), 0);
  EXPECT_EQ(RandomIntOf(0x40000001u, 0, 2), 1);
  EXPECT_EQ(RandomIntOf(0xBFFFFFFFu, 0, 2), 1);
  EXPECT_EQ(RandomIntOf(0xFFFFFFFFu, -5, 5), 5);
}
