#include "Experiment/Develop.h"

#include <algorithm>

std::string TDevelopment::ShortfallText() const {
  if (BlocksDeveloped >= BlocksAsked) return {};
  return "Developed " + std::to_string(BlocksDeveloped) + " of " + std::to_string(BlocksAsked) + " blocks";
}

TMeasures Measure(const TFuzzySet& Developed, const TFuzzySet& Environment) {
  TMeasures m;
  m.Cardinality = Developed.Cardinality();
  m.Subsethood = Developed.Subsethood(Environment);
  m.Hamming = Developed.HammingDistance(Environment);
  m.Fitness = FitnessFromHamming(m.Hamming, Developed.Count());
  return m;
}

TDevelopment DevelopAgent(const TZELAgent& Agent, const TFuzzySet& Environment) {
  TDevelopment d;
  Agent.Develop(d.Developed);
  d.Measures = Measure(d.Developed, Environment);
  d.BlocksAsked = Agent.BlockCount;
  d.BlocksDeveloped = std::min(Agent.BlockCount, Agent.ZEL.Count());
  return d;
}

TDevelopment DevelopProgram(TRandom& R, const std::string& Text, int Blocks, int Elements,
                            const TFuzzySet& Environment) {
  TZELAgent agent(R, Blocks, Elements, false);
  agent.ZEL.FromText(Text);
  return DevelopAgent(agent, Environment);
}
