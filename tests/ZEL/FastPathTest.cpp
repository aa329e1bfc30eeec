// The fast paths against the literal rules they replace, at every level of vector
// instructions the processor has: AVX-512, AVX2 and the baseline every x86-64 has.

#include "FuzzySet/Cpu.h"
#include "FuzzySet/Extended.h"
#include "FuzzySet/Random.h"
#include "ZEL/Developer.h"
#include "ZEL/FitnessMemo.h"
#include "ZEL/ZELAgent.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
// The generator the tests draw from.
TRandom Rand;
} // namespace

namespace {
std::int32_t LiteralRandomInt(std::int32_t Lo, std::int32_t Hi) {
  if (Hi <= Lo) return Lo;
  const TExtended r = Rand.Random();
  return static_cast<std::int32_t>(Extended::Round(r * TExtended(Hi - Lo) + TExtended(Lo)));
}
bool LiteralFlip(bool B, double P) {
  return Rand.Random() <= P ? !B : B;
}

// Program variation with the blocks really taken out of a list, pick by pick.
std::vector<TFuzzyBlock> Blocks(const TZEL& Z) {
  std::vector<TFuzzyBlock> v;
  for (int i = 0; i < Z.Count(); ++i)
    v.push_back(Z.Block(i));
  return v;
}
TFuzzyBlock Pick(std::vector<TFuzzyBlock>& From) {
  const int k = LiteralRandomInt(0, static_cast<int>(From.size()) - 1);
  const TFuzzyBlock b = From[static_cast<std::size_t>(k)];
  From.erase(From.begin() + k);
  return b;
}
TFuzzyBlock Mutated(TFuzzyBlock B, double P) {
  if (Rand.Random() > P) return B;
  const int field = LiteralRandomInt(1, 5);
  std::int32_t* fields[] = {&B.Shape, &B.Position, &B.Spread, &B.Periods, &B.Operator};
  *fields[field - 1] = LiteralRandomInt(0, field == 3 || field == 4 ? 7 : 15);
  return B;
}

std::uint32_t Next(std::uint32_t& S) {
  return S = S * 1664525u + 1013904223u;
}

class FastPath : public testing::TestWithParam<Cpu::TLevel> {
protected:
  void SetUp() override {
    if (Cpu::Present() < GetParam()) GTEST_SKIP() << "this processor lacks " << Cpu::Name(GetParam());
    Cpu::Limit(GetParam());
    ASSERT_EQ(Cpu::Level(), GetParam());
  }
  void TearDown() override { Cpu::Limit(Cpu::TLevel::Avx512); }
};
} // namespace

INSTANTIATE_TEST_SUITE_P(VectorInstructions, FastPath,
                         testing::Values(Cpu::TLevel::Avx512, Cpu::TLevel::Avx2, Cpu::TLevel::Baseline),
                         [](const testing::TestParamInfo<Cpu::TLevel>& Info) {
                           return Cpu::Name(Info.param);
                         });

TEST(VectorLevel, TheEnvironmentCapsIt) {
  using Cpu::TLevel;
  EXPECT_EQ(Cpu::CapOf(nullptr, nullptr), TLevel::Avx512);
  EXPECT_EQ(Cpu::CapOf("baseline", nullptr), TLevel::Baseline);
  EXPECT_EQ(Cpu::CapOf("avx2", nullptr), TLevel::Avx2);
  EXPECT_EQ(Cpu::CapOf("avx512", nullptr), TLevel::Avx512);
  EXPECT_EQ(Cpu::CapOf("sse9", nullptr), TLevel::Avx512) << "an unknown value caps nothing";
  EXPECT_EQ(Cpu::CapOf("avx512", ""), TLevel::Baseline) << "ZEL_NO_AVX2 set, even empty";
}

TEST_P(FastPath, RandomIntAndFlipMasks) {
  std::uint32_t s = 5;
  const std::pair<int, int> ranges[] = {{0, 1},   {0, 15}, {1, 5},
                                        {0, 999}, {-7, 7}, {-1000000000, 1000000000}};
  for (const auto& [lo, hi] : ranges)
    for (int k = 0; k < 20000; ++k) {
      Rand.SetSeed(Next(s));
      const int fast = RandomInt(Rand, lo, hi);
      Rand.SetSeed(s);
      ASSERT_EQ(fast, LiteralRandomInt(lo, hi)) << lo << ".." << hi << " seed " << s;
    }
  for (double p : {0.0, 1e-4, 0.5, 1.0, -0.1, 2.0})
    for (std::uint32_t count : {1u, 7u, 8u, 9u, 18u, 576u})
      for (int stride : {1, 2}) {
        Rand.SetSeed(count * 31u);
        std::vector<std::uint8_t> a((count + 7) / 8 + 1, 0xEE), b = a;
        std::uint8_t* out[2] = {a.data(), b.data()};
        Rand.DrawMasks(count, stride, Rng::TDrawThreshold(p), out);
        const std::uint32_t after = Rand.GetSeed();
        Rand.SetSeed(count * 31u);
        for (std::uint32_t i = 0; i < count; ++i)
          for (int k = 0; k < stride; ++k)
            ASSERT_EQ(((out[k][i / 8] >> (i % 8)) & 1) != 0, Rand.Random() <= p)
                << p << " " << count << " " << i;
        EXPECT_EQ(Rand.GetSeed(), after);
        EXPECT_EQ(a[(count + 7) / 8], 0xEE); // nothing written past the mask
        if (count % 8) {
          EXPECT_EQ(a[count / 8] >> (count % 8), 0) << count;
        }
      }
}

// Whether any of the next draws is at most P, against the draws themselves: hits in every
// lane and in the last, partial group of lanes, and none.
TEST_P(FastPath, NoneAtMostLooksAtExactlyTheNextDraws) {
  int none = 0, some = 0;
  for (double p : {0.0, 0.001, 0.05, 1.0, -1.0})
    for (std::uint32_t count : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 33u, 288u, 576u})
      for (std::uint32_t seed = 1; seed < 400; seed += 3) {
        Rand.SetSeed(seed * 2654435761u);
        const std::uint32_t before = Rand.GetSeed();
        const bool fast = Rand.NoneAtMost(count, Rng::TDrawThreshold(p));
        ASSERT_EQ(Rand.GetSeed(), before);
        bool literal = true;
        for (std::uint32_t i = 0; i < count; ++i)
          if (Rand.Random() <= p) literal = false;
        ASSERT_EQ(fast, literal) << p << " " << count << " " << seed;
        (fast ? none : some)++;
      }
  EXPECT_GT(none, 1000);
  EXPECT_GT(some, 1000);
}

// A memo key packs the fields of the blocks developed, and only those (the room after the
// last block holds whatever earlier programs left there), alike at every level.
TEST_P(FastPath, KeysPackTheDevelopedFieldsAlike) {
  Rand.SetSeed(77);
  for (int blocks = 0; blocks <= 32; ++blocks)
    for (int trial = 0; trial < 5; ++trial) {
      TZEL z = TZELAgent(Rand, 32, 16, false).ZEL; // 32 blocks, then fewer: the rest stays behind
      const TZEL shorter = TZELAgent(Rand, std::max(blocks, 1), 16, false).ZEL;
      z.Clear();
      for (int b = 0; b < blocks; ++b) {
        TFuzzyBlock blk = shorter.Block(b);
        z.Add(blk);
      }
      const TProgramKey key(z, 32);
      std::uint64_t words[TProgramKey::MaxWords] = {};
      ASSERT_TRUE(PackKeyFieldsPortably(reinterpret_cast<const std::int32_t*>(z.Data()), 5 * blocks, words));
      ASSERT_EQ(key.Blocks, blocks);
      for (int w = 0; w < TProgramKey::MaxWords; ++w)
        ASSERT_EQ(key.Words[w], words[w]) << blocks << " blocks, word " << w;
    }
}

TEST_P(FastPath, VariationFollowsTheBitwiseAndPickByPickRules) {
  for (int blocks : {1, 3, 4, 32})
    for (double p : {0.0, 0.01, 0.5, 1.0})
      for (int trial = 0; trial < 6; ++trial) {
        Rand.SetSeed(static_cast<std::uint32_t>(blocks * 1000 + trial * 7 + p * 100));
        const double pc = trial / 5.0;
        TZELAgent x(Rand, blocks, 16, false), y(Rand, blocks, 16, false), c(Rand, blocks, 16, false),
            d(Rand, blocks, 16, false);
        TChromosome l1 = c.Chromosome, l2 = d.Chromosome, m, n;
        TZEL z1, z2, r;
        const std::uint32_t seed = Rand.GetSeed();
        x.Chromosome.Crossover(Rand, y.Chromosome, c.Chromosome, d.Chromosome, pc, p);
        m.MutateFrom(Rand, x.Chromosome, p);
        x.ZEL.Crossover(Rand, y.ZEL, z1, z2, pc, p);
        r.Reproduce(Rand, y.ZEL, p);
        const std::uint32_t after = Rand.GetSeed();

        Rand.SetSeed(seed);
        const int n1 = x.Chromosome.BitCount;
        const int bitCut = LiteralFlip(false, pc) ? LiteralRandomInt(0, n1 - 1) : n1 - 1;
        for (int i = 0; i < n1; ++i) {
          l1.SetBit(i, LiteralFlip((i <= bitCut ? x : y).Chromosome.GetBit(i), p));
          l2.SetBit(i, LiteralFlip((i <= bitCut ? y : x).Chromosome.GetBit(i), p));
        }
        ASSERT_EQ(c.Chromosome, l1);
        ASSERT_EQ(d.Chromosome, l2);
        n.Assign(x.Chromosome);
        for (int i = 0; i < n.BitCount; ++i)
          n.SetBit(i, LiteralFlip(n.GetBit(i), p));
        ASSERT_EQ(m, n);
        const int cut = LiteralFlip(false, pc) ? LiteralRandomInt(0, blocks - 1) : blocks - 1;
        auto a = Blocks(x.ZEL), b = Blocks(y.ZEL);
        std::vector<TFuzzyBlock> k1, k2, reproduced;
        for (int i = 0; i < blocks; ++i) {
          k1.push_back(Mutated(Pick(i <= cut ? a : b), p));
          k2.push_back(Mutated(Pick(i <= cut ? b : a), p));
        }
        ASSERT_EQ(Blocks(z1), k1);
        ASSERT_EQ(Blocks(z2), k2);
        auto source = Blocks(y.ZEL);
        while (!source.empty())
          reproduced.push_back(Pick(source));
        for (TFuzzyBlock& blk : reproduced)
          blk = Mutated(blk, p);
        ASSERT_EQ(Blocks(r), reproduced);
        ASSERT_EQ(Rand.GetSeed(), after);
        for (int k = 0; k < blocks; ++k) {
          int fields[5] = {0, 0, 0, 0, 0}, bit = 18 * k;
          for (int f = 0; f < 5; ++f)
            for (int w = 0; w < (f == 2 || f == 3 ? 3 : 4); ++w)
              fields[f] = 2 * fields[f] + c.Chromosome.GetBit(bit++);
          ASSERT_EQ(DecodeBlock(c.Chromosome, k),
                    (TFuzzyBlock{fields[0], fields[1], fields[2], fields[3], fields[4]}));
        }
      }
}

// A second parent shorter than the first gives what it has: a move from a parent with nothing
// left is no move and draws nothing.
TEST_P(FastPath, ProgramCrossoverWithAShorterSecondParent) {
  for (int blocksA : {3, 17, 32})
    for (int blocksB : {1, 2, blocksA - 1})
      for (double p : {0.0, 0.5})
        for (int trial = 0; trial < 4; ++trial) {
          Rand.SetSeed(static_cast<std::uint32_t>(blocksA * 977 + blocksB * 31 + trial + p * 10));
          const TZEL x = TZELAgent(Rand, blocksA, 16, false).ZEL, y = TZELAgent(Rand, blocksB, 16, false).ZEL;
          TZEL z1, z2;
          const std::uint32_t seed = Rand.GetSeed();
          x.Crossover(Rand, y, z1, z2, 1.0, p);
          const std::uint32_t after = Rand.GetSeed();
          Rand.SetSeed(seed);
          const int cut = LiteralFlip(false, 1.0) ? LiteralRandomInt(0, blocksA - 1) : blocksA - 1;
          auto a = Blocks(x), b = Blocks(y);
          std::vector<TFuzzyBlock> k1, k2;
          auto move = [p](std::vector<TFuzzyBlock>& From, std::vector<TFuzzyBlock>& To) {
            if (!From.empty()) To.push_back(Mutated(Pick(From), p));
          };
          for (int i = 0; i < blocksA; ++i) {
            move(i <= cut ? a : b, k1);
            move(i <= cut ? b : a, k2);
          }
          ASSERT_EQ(Blocks(z1), k1) << blocksA << "/" << blocksB;
          ASSERT_EQ(Blocks(z2), k2) << blocksA << "/" << blocksB;
          ASSERT_EQ(Rand.GetSeed(), after);
        }
}

// Random programs, and every shape with every operator over wide blocks whose periods
// give sub-ranges of every length as the set grows, developed both ways.
TEST_P(FastPath, DevelopmentAndFitnessEqualTheLiteralRules) {
  std::uint32_t s = 77;
  std::vector<int> sizes;
  for (int n = 1; n <= 2048; n += (n < 40 ? 1 : 89))
    sizes.push_back(n);
  sizes.insert(sizes.end(), {100, 1000, 2047, 2048});
  for (int n : sizes) {
    TFuzzySet env;
    env.MakeEnvironment(Rand, n, n % 2 == 1);
    TDeveloper dev(n, env);
    std::vector<std::uint8_t> scratch;
    for (int t = 0; t < 16 * 16 + 40; ++t) {
      TZELAgent agent;
      agent.Elements = n;
      auto field = [&](int Bits) { return static_cast<int>(Next(s) >> (32 - Bits)); };
      if (t < 256) {
        agent.BlockCount = 2;
        TFuzzyBlock first{field(4), 0, 7, field(3), 2}, second{t / 16, field(4), 7, field(3), t % 16};
        agent.ZEL.Add(first);
        agent.ZEL.Add(second);
      } else {
        agent.BlockCount = 1 + field(5);
        for (int b = 0; b < agent.BlockCount; ++b) {
          TFuzzyBlock block{field(4), field(4), field(3), field(3), field(4)};
          agent.ZEL.Add(block);
        }
      }
      TFuzzySet literal;
      agent.Develop(literal);
      const std::int32_t fitness = dev.Evaluate(agent, scratch);
      // Developed at every alignment of the buffer; the room after the set keeps its bytes.
      const int shift = t % 67;
      std::vector<std::uint8_t> out(static_cast<std::size_t>(n + TDeveloper::Padding + shift), 0xA5);
      dev.Develop(agent.ZEL, agent.BlockCount, out.data() + shift);
      for (int i = 0; i < n; ++i)
        ASSERT_EQ(out[static_cast<std::size_t>(shift + i)], literal.GetDegree(i)) << n << " " << i;
      for (int i = 0; i < shift; ++i)
        ASSERT_EQ(out[static_cast<std::size_t>(i)], 0xA5) << n << " " << i;
      ASSERT_EQ(dev.Fitness(out.data() + shift), fitness) << n;
      agent.Evaluate(literal, env);
      ASSERT_EQ(fitness, agent.Fitness) << n;
    }
  }
}

// Developed sets whose degree differences sum to the edges of the fitness formula:
// d near 0.05 and 5 / d on or next to a half-integer.
TEST_P(FastPath, FitnessAtTheRoundingEdges) {
  for (int n : {1, 2, 3, 10, 100, 128, 1000, 2048}) {
    TFuzzySet env;
    env.Fill(n, 0);
    TDeveloper dev(n, env);
    std::vector<long> sums = {5L * n, 100L * n, 1};
    for (long k = 0; 2 * k + 1 <= 2000; ++k)
      if ((1000L * n) % (2 * k + 1) == 0 && 1000L * n / (2 * k + 1) <= 100L * n)
        sums.push_back(1000L * n / (2 * k + 1));
    for (long base : sums)
      for (long d = base - 1; d <= base + 1; ++d)
        for (int layout = 0; layout < 2 && d >= 0 && d <= 100L * n; ++layout) {
          // The sum spread over the elements in two ways: full degrees first, or evenly.
          std::vector<std::uint8_t> developed(static_cast<std::size_t>(n) + TDeveloper::Padding, 0);
          TFuzzySet literal;
          long left = d;
          for (int i = 0; i < n; ++i) {
            const long v = std::min(left, layout == 0 ? 100L : (d + n - 1) / n);
            developed[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v);
            literal.Add(static_cast<int>(v));
            left -= v;
          }
          ASSERT_EQ(dev.Fitness(developed.data()), FitnessFromHamming(literal.HammingDistance(env), n))
              << "n " << n << " sum " << d << " layout " << layout;
        }
  }
}
