#include "LiteralPopulation.h"

#include "FuzzySet/Random.h"
#include "ZEL/ZELAgentPopulation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
// The generator the tests draw from.
TRandom Rand;

void SetFitness(TZELAgentPopulation& P, std::initializer_list<int> F) {
  int i = 0;
  for (int f : F)
    P.Agent(i++).Fitness = f;
}
} // namespace

TEST(Population, CreateKindsAndDraws) {
  Rand.SetSeed(3);
  TZELAgentPopulation p(Rand, 7, 4, 50, TReproduction::Both);
  EXPECT_EQ(p.Count(), 7);
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(p.Agent(i).Genotype, i >= 3);
  EXPECT_TRUE(p.GenBest.Genotype);
  EXPECT_TRUE(p.BestAll.Genotype);
  EXPECT_EQ(p.GenotypeRatio(), 57);
  // Seven agents and the two holders, 18 x 4 draws each.
  EXPECT_EQ(Rand.GetSeed(), Rng::SeedAfter(3, 9 * 72));
  TZELAgentPopulation q(Rand, 3, 1, 10, TReproduction::Phenotype);
  EXPECT_EQ(q.GenotypeRatio(), 0);
  TZELAgentPopulation r(Rand, 8, 1, 10, TReproduction::Genotype);
  EXPECT_EQ(r.GenotypeRatio(), 100);
  for (int i = 0; i < 7; ++i)
    r.Agent(i).Genotype = false;
  EXPECT_EQ(r.GenotypeRatio(), 12);
  r.Agent(0).Genotype = r.Agent(1).Genotype = true;
  EXPECT_EQ(r.GenotypeRatio(), 38);
}

TEST(Population, UpdateStatistics) {
  TZELAgentPopulation p(Rand, 4, 2, 20, TReproduction::Phenotype);
  SetFitness(p, {40, 70, 70, 10});
  p.UpdateStatistics();
  EXPECT_EQ(std::make_tuple(p.GenFitMax, p.GenFitMin, p.FitnessSum, p.AvgFitness, p.MaxFitAll),
            std::make_tuple(70, 10, 190, 47.5, 70));
  EXPECT_EQ(p.GenBest.ZEL, p.Agent(2).ZEL);
  EXPECT_EQ(p.BestAll.ZEL, p.Agent(2).ZEL);
  // Only a strictly better generation replaces BestAll.
  SetFitness(p, {70, 5, 5, 5});
  p.UpdateStatistics();
  EXPECT_EQ(p.GenBest.ZEL, p.Agent(0).ZEL);
  EXPECT_NE(p.BestAll.ZEL, p.Agent(0).ZEL);
}

TEST(Population, EliteSurvivesInPlaceWhenAllAreEqual) {
  // Two agents: E = 1, both parents are agent 0, child 1 goes to position 1, child 2 is dropped.
  // Ten equal agents: the first two stay where they are.
  for (int size : {2, 10}) {
    Rand.SetSeed(17);
    TZELAgentPopulation p(Rand, size, 3, 32, TReproduction::Genotype);
    for (int i = 0; i < size; ++i)
      p.Agent(i).Fitness = 30;
    p.UpdateStatistics();
    const TChromosome first = p.Agent(0).Chromosome, second = p.Agent(1).Chromosome;
    p.NextGeneration(Rand, false, {0.0, 0.0, 0.0});
    EXPECT_EQ(p.Agent(0).Chromosome, first);
    EXPECT_EQ(p.Agent(1).Chromosome, size == 2 ? first : second);
  }
}

// Every combination of reproduction type and selection scheme, odd and even sizes, on one
// thread and on three, bred alone or bred and evaluated in one pass: moving agents and
// breeding them from the seeds the plan found must give exactly what copying them and
// breeding them in order gives, draw for draw. (At 500 agents the threads take the elite's
// shuffles several at a time.)
TEST(Population, GenerationStepMatchesTheLiteralCopyingStep) {
  for (int type = 0; type <= 2; ++type)
    for (bool rates : {false, true})
      for (int size : {2, 5, 12, 41, 500})
        for (int threads : {1, 3}) {
          Rand.SetSeed(1000u + static_cast<unsigned>(type * 100 + size));
          TZELAgentPopulation p(Rand, size, 5, 40, TReproduction(type));
          p.SetThreads(threads);
          TFuzzySet env;
          env.MakeEnvironment(Rand, 40, false);
          p.Evaluate(env);
          for (int g = 0; g < 6; ++g) {
            const bool fused = g % 2 == 1;
            const bool stepRates = rates != (g % 3 == 2); // a step of the other scheme now and then
            p.UpdateStatistics();
            TLiteralPopulation lit = TLiteralPopulation::From(p);
            const std::uint32_t seed = Rand.GetSeed();
            lit.NextGeneration(Rand, stepRates, {0.7, 0.05, 0.2});
            const std::uint32_t literalSeed = Rand.GetSeed();
            Rand.SetSeed(seed);
            p.NextGeneration(Rand, stepRates, {0.7, 0.05, 0.2}, fused ? &env : nullptr);
            if (!fused) p.Evaluate(env);
            ASSERT_EQ(Rand.GetSeed(), literalSeed)
                << "type " << type << " rates " << rates << " size " << size;
            TFuzzySet developed;
            // Read through a constant population: handing out an agent for change would make
            // the population read the agents again rather than what it noted of them.
            const TZELAgentPopulation& cp = p;
            std::int32_t sum = 0, most = -1, least = 101;
            int best = 0, genotypes = 0;
            for (int i = 0; i < size; ++i) {
              TZELAgent& l = lit.Agents[static_cast<std::size_t>(i)];
              ASSERT_EQ(cp.Agent(i).Genotype, l.Genotype);
              ASSERT_EQ(cp.Agent(i).ZEL, l.ZEL) << "type " << type << " rates " << rates << " size " << size
                                                << " threads " << threads << " agent " << i;
              // Unread in a program-only agent, but frozen with it: the same there too.
              ASSERT_EQ(cp.Agent(i).Chromosome, l.Chromosome);
              l.Develop(developed);
              l.Evaluate(developed, env);
              ASSERT_EQ(cp.Agent(i).Fitness, l.Fitness) << "agent " << i << " fused " << fused;
              sum += l.Fitness;
              if (l.Fitness >= most) best = i;
              most = std::max(most, l.Fitness);
              least = std::min(least, l.Fitness);
              genotypes += l.Genotype ? 1 : 0;
            }
            // The statistics of the new generation are those of the literal step's agents.
            p.UpdateStatistics();
            ASSERT_EQ(p.FitnessSum, sum);
            ASSERT_EQ(p.GenFitMax, most);
            ASSERT_EQ(p.GenFitMin, least);
            ASSERT_EQ(p.GenBest.ZEL, lit.Agents[static_cast<std::size_t>(best)].ZEL);
            ASSERT_EQ(p.GenotypeRatio(), static_cast<int>(std::nearbyint(100.0 * genotypes / size)));
          }
        }
}

// Skipping a breeding moves the generator exactly as far as the breeding, for every kind of
// parent pair, program lengths that differ, and probabilities at and beyond their ends.
TEST(Population, SkippingABreedingDrawsWhatBreedingDraws) {
  const double probabilities[] = {0.0, 0.3, 1.0, -0.5, 2.0, std::nan("")};
  int cases = 0;
  for (int blocksA : {1, 2, 7, 32})
    for (int blocksB : {1, 7, 32})
      for (int kinds = 0; kinds < 4; ++kinds)
        for (double pc : probabilities)
          for (double pm : {0.0, 0.4})
            for (double pn : probabilities) {
              Rand.SetSeed(static_cast<std::uint32_t>(++cases * 7919));
              const TZELAgent a(Rand, blocksA, 64, (kinds & 1) != 0), b(Rand, blocksB, 64, (kinds & 2) != 0);
              TZELAgent c1(Rand, blocksA, 64, false), c2(Rand, blocksA, 64, true);
              const std::uint32_t seed = Rand.GetSeed();
              a.Breed(Rand, b, c1, c2, {pc, pm, pn});
              const std::uint32_t bred = Rand.GetSeed();
              Rand.SetSeed(seed);
              TZELAgent::SkipBreed(Rand, a, b, {pc, pm, pn});
              ASSERT_EQ(Rand.GetSeed(), bred)
                  << blocksA << " " << blocksB << " kinds " << kinds << " " << pc << " " << pm << " " << pn;
            }
}

// Agents of several sizes take the one-by-one evaluation; bred and evaluated in one call,
// they draw and score exactly as when bred, then evaluated.
TEST(Population, MixedSizesBredAndEvaluatedInOneCall) {
  for (bool rates : {false, true}) {
    TFuzzySet env;
    env.MakeEnvironment(Rand, 40, false);
    std::uint32_t seeds[2];
    std::vector<std::int32_t> fitness[2];
    for (int fused = 0; fused < 2; ++fused) {
      Rand.SetSeed(99);
      TZELAgentPopulation p(Rand, 9, 4, 40, TReproduction::Both);
      p.Agent(3).Elements = 39;
      p.Evaluate(env);
      p.UpdateStatistics();
      p.NextGeneration(Rand, rates, {0.7, 0.05, 0.2}, fused ? &env : nullptr);
      if (!fused) p.Evaluate(env);
      seeds[fused] = Rand.GetSeed();
      for (int i = 0; i < p.Count(); ++i)
        fitness[fused].push_back(p.Agent(i).Fitness);
    }
    EXPECT_EQ(seeds[0], seeds[1]) << rates;
    EXPECT_EQ(fitness[0], fitness[1]) << rates;
  }
}
