#include "ZEL/ZELAgent.h"
#include "FuzzySet/Random.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
// The generator the tests draw from.
TRandom Rand;
} // namespace

TEST(Agent, CreateRepairsTheBlockCountAndDrawsItsChromosome) {
  for (int bc : {0, 33, -5}) {
    Rand.SetSeed(11);
    TZELAgent a(Rand, bc, 100, false);
    EXPECT_EQ(a.BlockCount, 1);
    EXPECT_EQ(a.Chromosome.BitCount, 18);
    EXPECT_EQ(a.ZEL.Count(), 1);
    EXPECT_EQ(Rand.GetSeed(), Rng::SeedAfter(11, 18));
  }
  TZELAgent big(Rand, 32, 100, true);
  EXPECT_EQ(big.Chromosome.BitCount, 576);
  for (int b = 0; b < 32; ++b)
    EXPECT_EQ(big.ZEL.Block(b), DecodeBlock(big.Chromosome, b));
}

TEST(Agent, DevelopCoversSixteenthsAndShortProgramsDevelopWhatTheyHave) {
  const int cases[][5] = {{3, 1, 100, 12, 29},       {14, 0, 100, 84, 89}, {15, 0, 100, 90, 99},
                          {0, 2, 100, 0, 17},        {5, 0, 16, 5, 5},     {0, 7, 16, 0, 7},
                          {15, 0, 2048, 1920, 2047}, {9, 3, 10, 0, 9}};
  for (const auto& c : cases) {
    const TBlockRange r = BlockRange(TFuzzyBlock{0, c[0], c[1], 0, 0}, c[2]);
    EXPECT_EQ(r.Lo, c[3]);
    EXPECT_EQ(r.Hi, c[4]);
  }
  TZELAgent a(Rand, 8, 32, false);
  a.ZEL.FromText("00F00"); // Spread F is out of range: the all-zero block, over elements 0..1
  TFuzzySet fs, ref;
  a.Develop(fs);
  ref.Fill(32, 50);
  ref.ApplyBlock(0, 0, 0, 1, 0);
  EXPECT_EQ(fs.Values(), ref.Values());
  a.ZEL.FromText("");
  a.Develop(fs);
  EXPECT_EQ(fs.Values(), std::vector<std::int32_t>(32, 50));
}

TEST(Agent, Fitness) {
  TZELAgent a(Rand, 1, 10, false);
  TFuzzySet env, dev;
  env.Fill(10, 100);
  a.Evaluate(env, env);
  EXPECT_EQ(a.Fitness, 100);
  dev.Fill(10, 0);
  a.Evaluate(dev, env);
  EXPECT_EQ(a.Fitness, 5);
  // d = 0.1, 0.25, 0.06, exactly 0.05, and 5 / d = 99.6, which still rounds to 100.
  for (const auto& [h, fitness] : {std::pair{1.0, 50}, {2.5, 20}, {0.6, 83}, {0.5, 100}, {0.502, 100}})
    EXPECT_EQ(FitnessFromHamming(h, 10), fitness) << h;
}

TEST(Agent, BreedAndMutateByKind) {
  Rand.SetSeed(31);
  TZELAgent g(Rand, 4, 50, true), p(Rand, 4, 50, false), c1(Rand, 4, 50, true), c2(Rand, 4, 50, true);
  g.Fitness = 40;
  p.Fitness = 70;
  g.Breed(Rand, p, c1, c2, {1.0, 0.01, 0.01}); // mixed pair: a noisy copy of each parent
  EXPECT_TRUE(c1.Genotype);
  EXPECT_FALSE(c2.Genotype);
  EXPECT_EQ(c1.Fitness, 40);
  EXPECT_EQ(c2.Fitness, 70);

  TZELAgent q(Rand, 4, 50, false), d1(Rand, 4, 50, false), d2(Rand, 4, 50, false);
  const TChromosome k1 = d1.Chromosome;
  p.Breed(Rand, q, d1, d2, {1.0, 0.5, 0.0}); // program crossover leaves chromosomes alone
  EXPECT_EQ(d1.Chromosome, k1);

  TZELAgent copy(Rand, 6, 50, false);
  copy.MutateFrom(Rand, g, 0.0, 0.0);
  EXPECT_EQ(copy.Chromosome, g.Chromosome);
  EXPECT_EQ(copy.ZEL, g.ZEL);
}

// Children of a chromosome crossover take whole blocks from their parents' programs where no
// bit flipped; every child's program must still be the decoding of its own chromosome, at
// every cut, and for children whose block count differs from their parents'.
TEST(Agent, CrossedChildrenAreTheDecodingOfTheirChromosomes) {
  for (int blocks : {1, 3, 32})
    for (int childBlocks : {blocks, 2})
      for (double pm : {0.0, 1e-4, 0.02})
        for (int trial = 0; trial < 40; ++trial) {
          Rand.SetSeed(
              static_cast<std::uint32_t>(blocks * 7919 + childBlocks * 104729 + trial * 13 + pm * 1e6));
          const TZELAgent a(Rand, blocks, 50, true), b(Rand, blocks, 50, true);
          TZELAgent c1(Rand, childBlocks, 50, true), c2(Rand, childBlocks, 50, false),
              m(Rand, childBlocks, 50, false);
          a.Breed(Rand, b, c1, c2, {trial % 4 == 0 ? 0.0 : 1.0, pm, 0.0});
          m.MutateFrom(Rand, b, pm, 0.0);
          for (const TZELAgent* c : {&c1, &c2, &m}) {
            ASSERT_EQ(c->ZEL.Count(), c->BlockCount);
            for (int k = 0; k < c->BlockCount; ++k)
              ASSERT_EQ(c->ZEL.Block(k), DecodeBlock(c->Chromosome, k))
                  << blocks << " " << childBlocks << " " << pm << " " << trial << " block " << k;
          }
        }
}
