#include "ZEL/ZELAgent.h"
#include "FuzzySet/Random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

TEST(Agent, CreateRepairsTheBlockCountAndDrawsItsChromosome) {
  for (int bc : {0, 33, -5}) {
    Rng::SetSeed(11);
    TZELAgent a(bc, 100, false);
    EXPECT_EQ(a.BlockCount, 1);
    EXPECT_EQ(a.Chromosome.BitCount, 18);
    EXPECT_EQ(a.ZEL.Count(), 1);
    EXPECT_EQ(Rng::GetSeed(), Rng::SeedAfter(11, 18));
  }
  TZELAgent big(32, 100, true);
  EXPECT_EQ(big.Chromosome.BitCount, 576);
  EXPECT_EQ(big.ZEL.Count(), 32);
  EXPECT_EQ(big.Fitness, 0);
  for (int b = 0; b < 32; ++b)
    EXPECT_EQ(big.ZEL.Block(b), DecodeBlock(big.Chromosome, b));
}

TEST(Agent, DevelopCoversSixteenthsOfTheSet) {
  auto range = [](int Pos, int Spread, int N) { return BlockRange(TFuzzyBlock{0, Pos, Spread, 0, 0}, N); };
  auto eq = [](TBlockRange r, int Lo, int Hi) { return r.Lo == Lo && r.Hi == Hi; };
  EXPECT_TRUE(eq(range(3, 1, 100), 12, 29));
  EXPECT_TRUE(eq(range(14, 0, 100), 84, 89));
  EXPECT_TRUE(eq(range(15, 0, 100), 90, 99));
  EXPECT_TRUE(eq(range(0, 2, 100), 0, 17));
  EXPECT_TRUE(eq(range(5, 0, 16), 5, 5));
  EXPECT_TRUE(eq(range(0, 7, 16), 0, 7));
  EXPECT_TRUE(eq(range(15, 0, 2048), 1920, 2047));
  EXPECT_TRUE(eq(range(9, 3, 10), 0, 9));

  TZELAgent a(2, 16, false);
  a.ZEL.FromText("05000"
                 "0A00A");
  TFuzzySet fs;
  a.Develop(fs);
  std::vector<int> expect(16, 50);
  expect[5] = 50; // shape 0 on one element: 0, maximum with 50
  expect[10] = 0; // product of 50 and the single-element 0
  EXPECT_EQ(std::vector<int>(fs.Values().begin(), fs.Values().end()), expect);
}

TEST(Agent, ShortProgramsDevelopTheBlocksTheyHave) {
  TZELAgent a(4, 32, false);
  a.ZEL.FromText("00F00");
  TFuzzySet fs;
  a.Develop(fs);
  TFuzzySet ref;
  ref.Fill(32, 50);
  ref.ApplyBlock(0, 0, 0, 1, 0); // Spread F is out of range: the all-zero block
  EXPECT_EQ(fs.Values(), ref.Values());
  a.ZEL.FromText("");
  a.Develop(fs);
  EXPECT_EQ(fs.Values(), std::vector<std::int32_t>(32, 50));
}

TEST(Agent, Fitness) {
  TZELAgent a(1, 10, false);
  TFuzzySet env, dev;
  env.Fill(10, 100);
  a.Evaluate(env, env);
  EXPECT_EQ(a.Fitness, 100);
  dev.Fill(10, 0);
  a.Evaluate(dev, env);
  EXPECT_EQ(a.Fitness, 5);
  EXPECT_EQ(FitnessFromHamming(1.0, 10), 50);    // d = 0.1
  EXPECT_EQ(FitnessFromHamming(2.5, 10), 20);    // d = 0.25
  EXPECT_EQ(FitnessFromHamming(0.6, 10), 83);    // d = 0.06
  EXPECT_EQ(FitnessFromHamming(0.5, 10), 100);   // d = 0.05 exactly
  EXPECT_EQ(FitnessFromHamming(0.502, 10), 100); // 5 / d = 99.6 still rounds to 100
  EXPECT_EQ(FitnessFromHamming(0.0, 0), 100);
  // 5 / d exactly 62.5 and 12.5 round to even; a hair beyond goes the other way.
  EXPECT_EQ(FitnessFromHamming(8.0, 100), 62);
  EXPECT_EQ(FitnessFromHamming(40.0, 100), 12);
  EXPECT_EQ(FitnessFromHamming(std::nextafter(8.0, 0.0), 100), 63);
  EXPECT_EQ(FitnessFromHamming(std::nextafter(40.0, 100.0), 100), 12);
  EXPECT_EQ(FitnessFromHamming(std::nextafter(40.0, 0.0), 100), 13);
}

TEST(Agent, BreedByKind) {
  Rng::SetSeed(31);
  TZELAgent g(4, 50, true), p(4, 50, false), c1(4, 50, true), c2(4, 50, true);
  g.Fitness = 40;
  p.Fitness = 70;
  g.Breed(p, c1, c2, 1.0, 0.01, 0.01);
  EXPECT_TRUE(c1.Genotype);
  EXPECT_FALSE(c2.Genotype);
  EXPECT_EQ(c1.Fitness, 40);
  EXPECT_EQ(c2.Fitness, 70);

  TZELAgent q(4, 50, false), d1(4, 50, false), d2(4, 50, false);
  const TChromosome k1 = d1.Chromosome, k2 = d2.Chromosome;
  p.Breed(q, d1, d2, 1.0, 0.5, 0.0);
  EXPECT_EQ(d1.Chromosome, k1);
  EXPECT_EQ(d2.Chromosome, k2);
  EXPECT_EQ(d1.ZEL.Count(), 4);

  TZELAgent h(4, 50, true), e1(4, 50, false), e2(4, 50, false);
  g.Breed(h, e1, e2, 1.0, 0.2, 0.0);
  for (const TZELAgent* c : {&e1, &e2}) {
    EXPECT_TRUE(c->Genotype);
    for (int b = 0; b < 4; ++b)
      EXPECT_EQ(c->ZEL.Block(b), DecodeBlock(c->Chromosome, b));
  }
}

TEST(Agent, MutateFromWithoutNoise) {
  Rng::SetSeed(8);
  TZELAgent g(6, 50, true), child(6, 50, false);
  child.MutateFrom(g, 0.0, 0.0);
  EXPECT_EQ(child.Chromosome, g.Chromosome);
  EXPECT_EQ(child.ZEL, g.ZEL);
  EXPECT_TRUE(child.Genotype);
  TZELAgent p(6, 50, false), c(6, 50, true);
  const TChromosome keep = c.Chromosome;
  c.MutateFrom(p, 0.0, 0.0);
  EXPECT_FALSE(c.Genotype);
  EXPECT_EQ(c.Chromosome, keep);
  std::multiset<std::string> a, b;
  for (int i = 0; i < 6; ++i) {
    TZEL x, y;
    TFuzzyBlock bx = c.ZEL.Block(i), by = p.ZEL.Block(i);
    x.Add(bx);
    y.Add(by);
    a.insert(x.ToText());
    b.insert(y.ToText());
  }
  EXPECT_EQ(a, b);
}
