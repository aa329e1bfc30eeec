// The fast paths against the literal rules they replace.

#include "FuzzySet/Cpu.h"
#include "FuzzySet/Random.h"
#include "ZEL/Developer.h"
#include "ZEL/ZELAgent.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
// The literal rules, written out bit by bit and draw by draw.
std::int32_t LiteralRandomInt(std::int32_t Lo, std::int32_t Hi) {
  if (Hi <= Lo) return Lo;
  const long double r = Rng::Random();
  return static_cast<std::int32_t>(
      std::nearbyint(r * static_cast<long double>(Hi - Lo) + static_cast<long double>(Lo)));
}

void LiteralMutateFrom(TChromosome& Self, const TChromosome& Source, double P) {
  Self.Assign(Source);
  for (int i = 0; i < Self.BitCount; ++i)
    Self.SetBit(i, Rng::Random() <= P ? !Self.GetBit(i) : Self.GetBit(i));
}

void LiteralCrossover(const TChromosome& Self, const TChromosome& P2, TChromosome& C1, TChromosome& C2,
                      double PC, double PM) {
  const int n = Self.BitCount;
  const int cut = (Rng::Random() <= PC) ? LiteralRandomInt(0, n - 1) : n - 1;
  auto flip = [PM](bool b) { return Rng::Random() <= PM ? !b : b; };
  for (int i = 0; i <= cut; ++i) {
    C1.SetBit(i, flip(Self.GetBit(i)));
    C2.SetBit(i, flip(P2.GetBit(i)));
  }
  for (int i = cut + 1; i < n; ++i) {
    C1.SetBit(i, flip(P2.GetBit(i)));
    C2.SetBit(i, flip(Self.GetBit(i)));
  }
}

TFuzzyBlock LiteralDecode(const TChromosome& C, int B) {
  auto field = [&](int Offset, int Width) {
    int v = 0;
    for (int k = 0; k < Width; ++k)
      v = 2 * v + C.GetBit(18 * B + Offset + k);
    return v;
  };
  return {field(0, 4), field(4, 4), field(8, 3), field(11, 3), field(14, 4)};
}

std::uint32_t Next(std::uint32_t& S) {
  return S = S * 1664525u + 1013904223u;
}
} // namespace

TEST(FastPath, RandomIntEqualsTheExtendedPrecisionRule) {
  std::uint32_t s = 5;
  const std::pair<int, int> ranges[] = {{0, 1},   {0, 15},
                                        {1, 5},   {0, 999},
                                        {-7, 7},  {-1000000000, 1000000000},
                                        {0, 575}, {100, 101},
                                        {-5, -1}, {2147483600, 2147483647}};
  for (const auto& [lo, hi] : ranges)
    for (int k = 0; k < 20000; ++k) {
      const std::uint32_t seed = Next(s);
      Rng::SetSeed(seed);
      const int fast = RandomInt(lo, hi);
      Rng::SetSeed(seed);
      ASSERT_EQ(fast, LiteralRandomInt(lo, hi)) << lo << ".." << hi << " seed " << seed;
    }
  // Seeds that land exactly on halves: ties go to the even neighbour.
  for (std::uint32_t half : {0x80000000u, 0x40000000u, 0xC0000000u})
    for (int hi : {1, 2, 3, 4, 7}) {
      std::uint32_t inv = 1;
      for (int i = 0; i < 5; ++i)
        inv *= 2u - Rng::Multiplier * inv;
      Rng::SetSeed(inv * (half - 1u));
      const int fast = RandomInt(0, hi);
      Rng::SetSeed(inv * (half - 1u));
      EXPECT_EQ(fast, LiteralRandomInt(0, hi));
    }
}

TEST(FastPath, DrawMasksMakeTheSameDrawsAsRandom) {
  // With the processor's vector instructions and with the baseline ones every x86-64 has.
  for (const bool avx2 : {true, false}) {
    Cpu::AllowAvx2(avx2);
    for (double p : {0.0, 1e-4, 0.3, 0.5, 0.999, 1.0, -0.1, 2.0})
      for (std::uint32_t count : {1u, 7u, 8u, 9u, 18u, 576u, 1000u})
        for (int stride : {1, 2}) {
          Rng::SetSeed(count * 31u + static_cast<std::uint32_t>(p * 1000));
          const std::uint32_t start = Rng::GetSeed();
          std::vector<std::uint8_t> a((count + 7) / 8 + 1, 0xEE), b = a;
          std::uint8_t* out[2] = {a.data(), b.data()};
          Rng::DrawMasks(count, stride, Rng::TDrawThreshold(p), out);
          const std::uint32_t after = Rng::GetSeed();
          Rng::SetSeed(start);
          for (std::uint32_t i = 0; i < count; ++i)
            for (int k = 0; k < stride; ++k) {
              const bool expect = Rng::Random() <= p;
              ASSERT_EQ(((out[k][i / 8] >> (i % 8)) & 1) != 0, expect) << p << " " << count << " " << i;
            }
          EXPECT_EQ(Rng::GetSeed(), after);
          EXPECT_EQ(a[(count + 7) / 8], 0xEE); // nothing written past the mask
          if (count % 8) {
            EXPECT_EQ(a[count / 8] >> (count % 8), 0);
          }
        }
  }
  Cpu::AllowAvx2(true);
}

TEST(FastPath, ChromosomeVariationAndDecodingFollowTheBitwiseRules) {
  // With the processor's vector instructions and with the baseline ones every x86-64 has.
  for (const bool avx2 : {true, false}) {
    Cpu::AllowAvx2(avx2);
    for (int blocks : {1, 3, 4, 32})
      for (double pm : {0.0, 0.01, 0.5, 1.0})
        for (double pc : {0.0, 0.6, 1.0})
          for (int trial = 0; trial < 6; ++trial) {
            Rng::SetSeed(static_cast<std::uint32_t>(blocks * 1000 + trial * 7 + pm * 100 + pc * 10));
            TChromosome a, b, c1, c2, d1, d2;
            a.Create(18 * blocks, 0.5);
            b.Create(18 * blocks, 0.5);
            c1.Create(18 * blocks, 0.5);
            c2.Create(18 * blocks, 0.5);
            d1 = c1;
            d2 = c2;
            const std::uint32_t seed = Rng::GetSeed();
            a.Crossover(b, c1, c2, pc, pm);
            const std::uint32_t after = Rng::GetSeed();
            Rng::SetSeed(seed);
            LiteralCrossover(a, b, d1, d2, pc, pm);
            ASSERT_EQ(Rng::GetSeed(), after);
            ASSERT_EQ(c1, d1);
            ASSERT_EQ(c2, d2);
            TChromosome m, n;
            m.MutateFrom(a, pm);
            const std::uint32_t afterMutation = Rng::GetSeed();
            Rng::SetSeed(after);
            LiteralMutateFrom(n, a, pm);
            ASSERT_EQ(Rng::GetSeed(), afterMutation);
            ASSERT_EQ(m, n);
            for (int k = 0; k < blocks; ++k)
              ASSERT_EQ(DecodeBlock(c1, k), LiteralDecode(c1, k));
          }
  }
  Cpu::AllowAvx2(true);
}

TEST(FastPath, DevelopmentEqualsBlockByBlockApplication) {
  // With the processor's vector instructions and with the baseline ones every x86-64 has.
  for (const bool avx2 : {true, false}) {
    Cpu::AllowAvx2(avx2);
    std::uint32_t s = 77;
    for (int n : {1, 2, 7, 15, 16, 17, 31, 33, 100, 127, 250, 999, 1000, 2047, 2048}) {
      TFuzzySet env;
      env.MakeEnvironment(n, false);
      TDeveloper dev(n, env);
      std::vector<std::uint8_t> scratch;
      const int trials = n > 1000 ? 60 : 200;
      for (int t = 0; t < trials; ++t) {
        TZELAgent agent;
        agent.Elements = n;
        agent.BlockCount = 1 + static_cast<int>(Next(s) % 32);
        for (int b = 0; b < agent.BlockCount; ++b) {
          TFuzzyBlock block{static_cast<int>(Next(s) >> 28), static_cast<int>(Next(s) >> 28),
                            static_cast<int>(Next(s) >> 29), static_cast<int>(Next(s) >> 29),
                            static_cast<int>(Next(s) >> 28)};
          agent.ZEL.Add(block);
        }
        TFuzzySet literal;
        agent.Develop(literal);
        const std::int32_t fitness = dev.Evaluate(agent, scratch);
        for (int i = 0; i < n; ++i)
          ASSERT_EQ(scratch[static_cast<std::size_t>(i)], literal.GetDegree(i)) << n << " " << i;
        agent.Evaluate(literal, env);
        ASSERT_EQ(fitness, agent.Fitness) << n;
      }
    }
  }
  Cpu::AllowAvx2(true);
}

TEST(FastPath, EveryShapeOperatorAndPeriodOnEverySubRangeLength) {
  // With the processor's vector instructions and with the baseline ones every x86-64 has.
  for (const bool avx2 : {true, false}) {
    Cpu::AllowAvx2(avx2);
    // One block over the whole set reaches sub-range lengths 1..2048 as the set grows.
    std::uint32_t s = 3;
    for (int n = 1; n <= 2048; n += (n < 40 ? 1 : 89)) {
      TFuzzySet env;
      env.Fill(n, static_cast<int>(Next(s) % 101));
      TDeveloper dev(n, env);
      std::vector<std::uint8_t> scratch;
      for (int shape = 0; shape < 16; ++shape)
        for (int op = 0; op < 16; ++op) {
          TZELAgent agent;
          agent.Elements = n;
          agent.BlockCount = 2;
          TFuzzyBlock first{static_cast<int>(Next(s) >> 28), 0, 7, static_cast<int>(Next(s) >> 29), 2};
          TFuzzyBlock second{shape, static_cast<int>(Next(s) >> 28), 7, static_cast<int>(Next(s) >> 29), op};
          agent.ZEL.Add(first);
          agent.ZEL.Add(second);
          TFuzzySet literal;
          agent.Develop(literal);
          dev.Develop(agent.ZEL, agent.BlockCount,
                      (scratch.resize(static_cast<std::size_t>(n) + TDeveloper::Padding), scratch.data()));
          for (int i = 0; i < n; ++i)
            ASSERT_EQ(scratch[static_cast<std::size_t>(i)], literal.GetDegree(i))
                << n << " shape " << shape << " op " << op;
        }
    }
  }
  Cpu::AllowAvx2(true);
}

TEST(FastPath, FitnessAtTheRoundingEdges) {
  // With the processor's vector instructions and with the baseline ones every x86-64 has.
  for (const bool avx2 : {true, false}) {
    Cpu::AllowAvx2(avx2);
    // Developed sets whose degree differences sum to the edges of the fitness formula:
    // d near 0.05 and 5 / d on or near a half-integer.
    for (int n : {1, 2, 3, 10, 100, 128, 1000, 2048}) {
      TFuzzySet env;
      env.Fill(n, 0);
      TDeveloper dev(n, env);
      std::vector<std::uint8_t> developed(static_cast<std::size_t>(n) + TDeveloper::Padding, 0);
      const long total = 100L * n;
      std::vector<long> sums;
      for (long k = 0; 2 * k + 1 <= 2000; ++k) {
        const long num = 1000L * n;
        if (num % (2 * k + 1) == 0 && num / (2 * k + 1) <= total) sums.push_back(num / (2 * k + 1));
      }
      for (long d : {5L * n - 1, 5L * n, 5L * n + 1, total, 1L, 0L})
        sums.push_back(d);
      for (long base : std::vector<long>(sums)) {
        for (long d : {base - 1, base, base + 1}) {
          if (d < 0 || d > total) continue;
          // Spread the sum over the elements in two different ways.
          for (int layout = 0; layout < 2; ++layout) {
            long left = d;
            for (int i = 0; i < n; ++i) {
              const long v = layout == 0 ? std::min(left, 100L) : std::min(left, (d + n - 1) / n);
              developed[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v);
              left -= v;
            }
            if (left != 0) continue;
            TFuzzySet literal;
            for (int i = 0; i < n; ++i)
              literal.Add(developed[static_cast<std::size_t>(i)]);
            ASSERT_EQ(dev.Fitness(developed.data()), FitnessFromHamming(literal.HammingDistance(env), n))
                << "n " << n << " sum " << d << " layout " << layout;
          }
        }
      }
    }
  }
  Cpu::AllowAvx2(true);
}

namespace {
// Program variation with the blocks really taken out of a list, pick by pick.
std::vector<TFuzzyBlock> Blocks(const TZEL& Z) {
  std::vector<TFuzzyBlock> v;
  for (int i = 0; i < Z.Count(); ++i)
    v.push_back(Z.Block(i));
  return v;
}
TFuzzyBlock TakeLiteral(std::vector<TFuzzyBlock>& From) {
  const int k = LiteralRandomInt(0, static_cast<int>(From.size()) - 1);
  const TFuzzyBlock b = From[static_cast<std::size_t>(k)];
  From.erase(From.begin() + k);
  return b;
}
void LiteralMutate(TFuzzyBlock& B, double P) {
  if (Rng::Random() > P) return;
  const int k = LiteralRandomInt(1, 5);
  std::int32_t* field[] = {&B.Shape, &B.Position, &B.Spread, &B.Periods, &B.Operator};
  const int hi[] = {15, 15, 7, 7, 15};
  *field[k - 1] = LiteralRandomInt(0, hi[k - 1]);
}
std::vector<TFuzzyBlock> LiteralShuffle(std::vector<TFuzzyBlock> From) {
  std::vector<TFuzzyBlock> t;
  while (!From.empty())
    t.push_back(TakeLiteral(From));
  return t;
}
void LiteralProgramCrossover(const TZEL& P1, const TZEL& P2, std::vector<TFuzzyBlock>& C1,
                             std::vector<TFuzzyBlock>& C2, double PC, double PN) {
  const int n = P1.Count();
  const int cut = Rng::Random() <= PC ? LiteralRandomInt(0, n - 1) : n - 1;
  auto a = Blocks(P1), b = Blocks(P2);
  C1.clear();
  C2.clear();
  auto move = [PN](std::vector<TFuzzyBlock>& From, std::vector<TFuzzyBlock>& To) {
    TFuzzyBlock x = TakeLiteral(From);
    LiteralMutate(x, PN);
    To.push_back(x);
  };
  for (int i = 0; i <= cut; ++i) {
    move(a, C1);
    move(b, C2);
  }
  for (int i = 0; i < n - 1 - cut; ++i) {
    move(b, C1);
    move(a, C2);
  }
}
} // namespace

TEST(FastPath, ProgramVariationFollowsThePickByPickRules) {
  for (int blocks : {1, 2, 5, 32})
    for (double pn : {0.0, 0.3, 1.0})
      for (double pc : {0.0, 0.5, 1.0})
        for (int trial = 0; trial < 5; ++trial) {
          Rng::SetSeed(static_cast<std::uint32_t>(blocks * 7919 + trial * 31 + pn * 10 + pc * 100));
          TZELAgent p1(blocks, 16, false), p2(blocks, 16, false);
          const std::uint32_t seed = Rng::GetSeed();
          TZEL shuffled = p1.ZEL;
          shuffled.Shuffle();
          TZEL c1, c2;
          p1.ZEL.Crossover(p2.ZEL, c1, c2, pc, pn);
          TZEL r;
          r.Reproduce(p2.ZEL, pn);
          const std::uint32_t after = Rng::GetSeed();

          Rng::SetSeed(seed);
          ASSERT_EQ(Blocks(shuffled), LiteralShuffle(Blocks(p1.ZEL)));
          std::vector<TFuzzyBlock> l1, l2;
          LiteralProgramCrossover(p1.ZEL, p2.ZEL, l1, l2, pc, pn);
          ASSERT_EQ(Blocks(c1), l1);
          ASSERT_EQ(Blocks(c2), l2);
          auto lr = LiteralShuffle(Blocks(p2.ZEL));
          for (TFuzzyBlock& b : lr)
            LiteralMutate(b, pn);
          ASSERT_EQ(Blocks(r), lr);
          ASSERT_EQ(Rng::GetSeed(), after);
        }
}
