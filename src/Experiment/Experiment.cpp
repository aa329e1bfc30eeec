#include "Experiment/Experiment.h"

TExperiment::TExperiment(const TExperimentSettings& Settings, TRandom& Random)
    : FSettings(Settings), FRandom(Random) {
  FSettings.Validate();
  FCorrections = FSettings.Normalise();
}

TGenerationRecord TExperiment::Evaluated() {
  FPopulation.Evaluate(FEnvironment);
  FPopulation.UpdateStatistics();
  TGenerationRecord r;
  r.Generation = FGeneration;
  r.AvgFitness = FPopulation.AvgFitness;
  r.GenFitMax = FPopulation.GenFitMax;
  r.GenFitMin = FPopulation.GenFitMin;
  r.MaxFitAll = FPopulation.MaxFitAll;
  r.GenotypeRatio = FPopulation.GenotypeRatio();
  r.Fitness = FPopulation.GenBest.Fitness;
  r.BestText = FPopulation.GenBest.ZEL.ToText();
  return r;
}

TGenerationRecord TExperiment::Begin() {
  FRandom.Randomize();
  FPopulation.Create(FRandom, FSettings.PopSize, FSettings.Blocks, FSettings.Elements,
                     FSettings.ReproductionType);
  FEnvironment.MakeEnvironment(FRandom, FSettings.Elements, FSettings.RandomEnvironment);
  FGeneration = 0;
  return Evaluated();
}

TGenerationRecord TExperiment::Renew() {
  FPopulation.Clear();
  FPopulation.Create(FRandom, FSettings.PopSize, FSettings.Blocks, FSettings.Elements,
                     FSettings.ReproductionType);
  FGeneration = 0;
  return Evaluated();
}

TGenerationRecord TExperiment::Step() {
  FPopulation.NextGeneration(FRandom, FSettings.RatesSelection, FSettings.PCrossover, FSettings.PMutation,
                             FSettings.PNoise);
  ++FGeneration;
  return Evaluated();
}

TOutcome TExperiment::Finish() const {
  TOutcome o;
  o.Generations = FGeneration;
  o.Complete = Done();
  o.MaxFitAll = FPopulation.MaxFitAll;
  o.GenotypeRatio = FPopulation.GenotypeRatio();
  o.BestAll = FPopulation.BestAll;
  o.Best = DevelopAgent(o.BestAll, FEnvironment);
  return o;
}

TBatch::TBatch(const TExperimentSettings& Settings, TRandom& Random) : FExperiment(Settings, Random) {}

void TBatch::Begin() {
  FExperiment.Begin();
  FRuns = 0;
  RatioSum = GenAllSum = FitnessSum = 0;
}

TRunRecord TBatch::StepRun() {
  // The first run takes the population that Begin made; each later one a new population.
  if (FRuns > 0) FExperiment.Renew();
  TRunRecord r;
  r.Run = ++FRuns;
  while (!FExperiment.Done()) {
    const TGenerationRecord g = FExperiment.Step();
    // Generation 0 is never examined, and the first generation found stays.
    if (r.GenAllGenotype == -1 && g.GenotypeRatio >= 100) r.GenAllGenotype = g.Generation;
  }
  const TZELAgentPopulation& pop = FExperiment.Population();
  r.MaxFitAll = pop.MaxFitAll;
  r.GenotypeRatio = pop.GenotypeRatio();
  r.Fitness = pop.BestAll.Fitness;
  r.BestText = pop.BestAll.ZEL.ToText();
  RatioSum += r.GenotypeRatio;
  GenAllSum += r.GenAllGenotype;
  FitnessSum += r.Fitness;
  return r;
}

TBatchOutcome TBatch::Finish() const {
  TBatchOutcome o;
  o.Runs = FRuns;
  // The report divides by the batch's run count; a batch stopped early by the runs done.
  const int n = FRuns == BatchRunCount || FRuns == 0 ? BatchRunCount : FRuns;
  auto mean = [n](double Sum) {
    return static_cast<double>(static_cast<long double>(Sum) / static_cast<long double>(n));
  };
  o.AvgFitness = mean(FitnessSum);
  o.AvgGenotypeRatio = mean(RatioSum);
  o.AvgGenAllGenotype = mean(GenAllSum);
  o.Last = FExperiment.Finish();
  return o;
}
