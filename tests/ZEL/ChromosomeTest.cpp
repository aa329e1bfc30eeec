#include "ZEL/Chromosome.h"
#include "FuzzySet/Random.h"
#include "ZEL/ZELAgent.h"

#include <gtest/gtest.h>

namespace {
TChromosome FromBits(const std::string& Bits) {
  TChromosome c;
  c.Create(static_cast<int>(Bits.size()), 0.0);
  for (std::size_t i = 0; i < Bits.size(); ++i)
    c.SetBit(static_cast<int>(i), Bits[i] == '1');
  return c;
}
} // namespace

TEST(Chromosome, CreateDrawsThePartialLastByteFirst) {
  Rng::SetSeed(2024);
  TChromosome c;
  c.Create(18, 0.5);
  ASSERT_EQ(c.Bits.size(), 3u);
  EXPECT_EQ(c.Bits[2] & ~3u, 0u);
  // Replay the draws: bits 0 and 1 of byte 2, then bytes 0 and 1.
  Rng::SetSeed(2024);
  std::uint8_t expect[3] = {0, 0, 0};
  for (int k = 0; k < 2; ++k)
    if (Rng::Random() <= 0.5) expect[2] |= static_cast<std::uint8_t>(1u << k);
  for (int byte = 0; byte < 2; ++byte)
    for (int k = 0; k < 8; ++k)
      if (Rng::Random() <= 0.5) expect[byte] |= static_cast<std::uint8_t>(1u << k);
  EXPECT_EQ(c.Bits, std::vector<std::uint8_t>(expect, expect + 3));

  c.Create(13, 1.0);
  EXPECT_EQ(c.Bits, (std::vector<std::uint8_t>{0xFF, 0x1F}));
  c.Create(16, 0.0);
  EXPECT_EQ(c.Bits.size(), 2u);
  c.Clear();
  EXPECT_EQ(c.BitCount, 0);
  EXPECT_TRUE(c.Bits.empty());
}

TEST(Chromosome, MutateAndCrossover) {
  Rng::SetSeed(7);
  TChromosome src;
  src.Create(21, 0.5);
  TChromosome m;
  m.MutateFrom(src, 1.0);
  for (int i = 0; i < 21; ++i)
    EXPECT_NE(m.GetBit(i), src.GetBit(i));
  EXPECT_EQ(m.Bits[2] >> 5, 0);
  TChromosome p2 = FromBits(std::string(21, '1')), c1 = FromBits(std::string(21, '0')), c2 = c1;
  src.Crossover(p2, c1, c2, 0.0, 0.0);
  EXPECT_EQ(c1, src);
  EXPECT_EQ(c2, p2);
  // A cut exchanges the tails: the children together keep every bit of both parents.
  for (int t = 0; t < 20; ++t) {
    src.Crossover(p2, c1, c2, 1.0, 0.0);
    int cut = -1;
    while (cut + 1 < 21 && c1.GetBit(cut + 1) == src.GetBit(cut + 1) && c2.GetBit(cut + 1))
      ++cut;
    for (int i = cut + 1; i < 21; ++i) {
      EXPECT_TRUE(c1.GetBit(i));
      EXPECT_EQ(c2.GetBit(i), src.GetBit(i));
    }
  }
}

TEST(Chromosome, DecodeReadsFieldsMostSignificantFirst) {
  EXPECT_EQ(DecodeBlock(FromBits("101000110010001111"), 0), (TFuzzyBlock{10, 3, 1, 0, 15}));
  EXPECT_EQ(DecodeBlock(FromBits(std::string(18, '1')), 0), (TFuzzyBlock{15, 15, 7, 7, 15}));
  EXPECT_EQ(DecodeBlock(FromBits(std::string(18, '0')), 0), TFuzzyBlock{});
  EXPECT_EQ(DecodeBlock(FromBits(std::string(18, '0') + "101000110010001111"), 1),
            (TFuzzyBlock{10, 3, 1, 0, 15}));
}
