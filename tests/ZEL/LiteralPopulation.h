#pragma once
// The generation step done the slow, literal way: every agent copy is a new agent made
// with TZELAgent::Create and then assigned, and the selection step shifts agents one by
// one. The population's own step moves agents instead; the two must agree exactly.

#include "FuzzySet/Extended.h"
#include "FuzzySet/Random.h"
#include "ZEL/ZELAgentPopulation.h"

#include <cmath>
#include <vector>

struct TLiteralPopulation {
  std::vector<TZELAgent> Agents;
  std::int32_t FitnessSum = 0;
  TZELAgent BestAll;
  TReproduction Reproduction = TReproduction::Phenotype;

  int Count() const { return static_cast<int>(Agents.size()); }

  // A copy of the population's agents (drawing nothing).
  static TLiteralPopulation From(const TZELAgentPopulation& P) {
    TLiteralPopulation l;
    for (int i = 0; i < P.Count(); ++i)
      l.Agents.push_back(P.Agent(i));
    l.FitnessSum = P.FitnessSum;
    l.BestAll = P.BestAll;
    l.Reproduction = P.Reproduction;
    return l;
  }

  int SelectByRate(TRandom& Rand) const {
    const double r = Rand.Random();
    const double wheel = Extended::ToDouble(TExtended(r) * TExtended(FitnessSum));
    std::int64_t sum = 0;
    for (int i = 0; i < Count(); ++i) {
      sum += Agents[static_cast<std::size_t>(i)].Fitness;
      if (static_cast<double>(sum) >= wheel) return i;
    }
    return Count() - 1;
  }

  void SelectionStep(TRandom& Rand, int I, TZELAgent& S, bool Elite) {
    int found = I;
    for (int k = I + 1; k < Count(); ++k)
      if (Agents[static_cast<std::size_t>(k)].Fitness > Agents[static_cast<std::size_t>(found)].Fitness)
        found = k;
    S.Assign(Agents[static_cast<std::size_t>(found)]);
    if (Elite && !S.Genotype) S.ZEL.Shuffle(Rand);
    for (int k = found; k > I; --k)
      Agents[static_cast<std::size_t>(k)].Assign(Agents[static_cast<std::size_t>(k - 1)]);
    Agents[static_cast<std::size_t>(I)].Assign(S);
  }

  // A new agent made by Create, then assigned: the copying of a population.
  static TZELAgent CopyOf(TRandom& Rand, const TZELAgent& A) {
    TZELAgent c(Rand, A.BlockCount, A.Elements, A.Genotype);
    c.Assign(A);
    return c;
  }

  void NextGeneration(TRandom& Rand, bool Rates, const TBreedingProbabilities& P) {
    TZELAgent s(Rand, BestAll.BlockCount, BestAll.Elements, BestAll.Genotype);
    const int n = Count();
    if (Rates) {
      for (int i = 0; i < n; ++i)
        SelectionStep(Rand, i, s, false);
      // The second population: created (n agents and two holders), then assigned from this one.
      TZELAgentPopulation created(Rand, n, Agents[0].BlockCount, Agents[0].Elements, Reproduction);
      std::vector<TZELAgent> q;
      for (const TZELAgent& a : Agents)
        q.push_back(CopyOf(Rand, a));
      for (int j = 0; j < n; j += 2) {
        const int a = SelectByRate(Rand);
        const int b = SelectByRate(Rand);
        TZELAgent& c2 = j < n - 1 ? q[static_cast<std::size_t>(j + 1)] : s;
        Agents[static_cast<std::size_t>(a)].Breed(Rand, Agents[static_cast<std::size_t>(b)],
                                                  q[static_cast<std::size_t>(j)], c2, P);
      }
      Agents.clear();
      for (const TZELAgent& a : q)
        Agents.push_back(CopyOf(Rand, a));
    } else {
      int e = static_cast<int>(Extended::Round(TExtended(n) * TExtended(0.2)));
      if (e < 1) e = 1;
      for (int i = 0; i < e; ++i)
        SelectionStep(Rand, i, s, true);
      for (int j = e; j <= n - 1; j += 2) {
        const int a = RandomInt(Rand, 0, e - 1);
        const int b = RandomInt(Rand, 0, e - 1);
        TZELAgent& c2 = j < n - 1 ? Agents[static_cast<std::size_t>(j + 1)] : s;
        Agents[static_cast<std::size_t>(a)].Breed(Rand, Agents[static_cast<std::size_t>(b)],
                                                  Agents[static_cast<std::size_t>(j)], c2, P);
      }
    }
  }
};
