#include "ZEL/Chromosome.h"
#include "FuzzySet/Random.h"
#include "ZEL/ZELAgent.h"

#include <gtest/gtest.h>

namespace {
// The generator the tests draw from.
TRandom Rand;
} // namespace

// Crossover, mutation and decoding are checked bit by bit against the literal rules in
// FastPathTest; here the creation order and the decoding examples.

TEST(Chromosome, CreateDrawsThePartialLastByteFirst) {
  Rand.SetSeed(2024);
  TChromosome c;
  c.Create(Rand, 18, 0.5);
  Rand.SetSeed(2024);
  std::vector<std::uint8_t> expect(3, 0);
  for (const auto& [byte, bits] : {std::pair{2, 2}, {0, 8}, {1, 8}})
    for (int k = 0; k < bits; ++k)
      if (Rand.Random() <= 0.5) expect[static_cast<std::size_t>(byte)] |= static_cast<std::uint8_t>(1u << k);
  EXPECT_EQ(c.Bits, expect);
  c.Create(Rand, 13, 1.0);
  EXPECT_EQ(c.Bits, (std::vector<std::uint8_t>{0xFF, 0x1F})); // the high bits beyond the count stay 0
  c.Clear();
  EXPECT_EQ(c.BitCount, 0);
  EXPECT_TRUE(c.Bits.empty());
}

TEST(Chromosome, DecodeReadsFieldsMostSignificantBitFirst) {
  auto fromBits = [](const std::string& Bits) {
    TChromosome c;
    c.Create(Rand, static_cast<int>(Bits.size()), 0.0);
    for (std::size_t i = 0; i < Bits.size(); ++i)
      c.SetBit(static_cast<int>(i), Bits[i] == '1');
    return c;
  };
  EXPECT_EQ(DecodeBlock(fromBits("101000110010001111"), 0), (TFuzzyBlock{10, 3, 1, 0, 15}));
  EXPECT_EQ(DecodeBlock(fromBits(std::string(18, '1')), 0), (TFuzzyBlock{15, 15, 7, 7, 15}));
  EXPECT_EQ(DecodeBlock(fromBits(std::string(18, '0') + "101000110010001111"), 1),
            (TFuzzyBlock{10, 3, 1, 0, 15}));
}

// A child that carries a parent's chromosome takes that parent's fitness: one differing bit,
// wherever it lies, makes two chromosomes different; what lies past the last bit does not.
TEST(Chromosome, SameBitsSeesEveryBitAndNothingPast) {
  Rand.SetSeed(77);
  for (int bits : {1, 7, 8, 9, 18, 63, 64, 65, 108, 144, 576}) {
    TChromosome a;
    a.Create(Rand, bits, 0.5);
    TChromosome b = a;
    EXPECT_TRUE(a.SameBits(b));
    for (int i = 0; i < bits; ++i) {
      b.SetBit(i, !b.GetBit(i));
      EXPECT_FALSE(a.SameBits(b)) << bits << " bits, bit " << i;
      EXPECT_FALSE(b.SameBits(a)) << bits << " bits, bit " << i;
      b.SetBit(i, !b.GetBit(i));
    }
    if (bits % 8 != 0) {
      b.Bits.back() = static_cast<std::uint8_t>(b.Bits.back() ^ (0xFFu << (bits % 8)));
      EXPECT_TRUE(a.SameBits(b)) << bits;
    }
    b.BitCount = bits - 1;
    EXPECT_FALSE(a.SameBits(b)) << bits;
  }
}
