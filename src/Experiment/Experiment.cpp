#include "Experiment/Experiment.h"

#include "FuzzySet/Extended.h"

TExperiment::TExperiment(const TExperimentSettings& Settings, TRandom& Random)
    : FSettings(Settings), FRandom(Random) {
  FSettings.Validate();
  FCorrections = FSettings.Normalise();
}

TGenerationRecord TExperiment::Evaluated() {
  FPopulation.Evaluate(FEnvironment);
  FPopulation.UpdateStatistics();
  return Record();
}

TGenerationRecord TExperiment::Record() const {
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
  // An environment of one's own draws nothing, so the run goes on as with the fixed one.
  if (FOwnEnvironment)
    FEnvironment = *FOwnEnvironment;
  else
    FEnvironment.MakeEnvironment(FRandom, FSettings.Elements, FSettings.RandomEnvironment);
  FGeneration = FFirst = 0;
  return Evaluated();
}

void TExperiment::SetEnvironment(const TFuzzySet& Environment) {
  FOwnEnvironment = Environment;
  FSettings.Elements = Environment.Count();
  FSettings.RandomEnvironment = false;
}

TFrozenPopulation TExperiment::Freeze() const {
  TFrozenPopulation f;
  f.Settings = FSettings;
  f.Generation = FGeneration;
  f.RandomSeed = FRandom.GetSeed();
  f.Environment = FEnvironment;
  static_cast<TPopulationState&>(f) = FPopulation.State();
  return f;
}

TThawError::TThawError(std::string P, int Given, int Frozen)
    : std::invalid_argument(P + ": " + std::to_string(Given) + " differs from the frozen population's " +
                            std::to_string(Frozen) + ", which a continued run keeps"),
      Parameter(std::move(P)) {}

TGenerationRecord TExperiment::Thaw(const TFrozenPopulation& F, const TFuzzySet* Environment) {
  const TExperimentSettings& s = F.Settings;
  if (FSettings.PopSize != s.PopSize) throw TThawError("PopSize", FSettings.PopSize, s.PopSize);
  if (FSettings.Blocks != s.Blocks) throw TThawError("Blocks", FSettings.Blocks, s.Blocks);
  const int elements = Environment ? Environment->Count() : FSettings.Elements;
  if (elements != s.Elements) throw TThawError("Elements", elements, s.Elements);
  if (FSettings.ReproductionType != s.ReproductionType)
    throw TThawError("ReproductionType", FSettings.ReproductionType, s.ReproductionType);
  FPopulation.Restore(F, s.ReproductionType);
  FRandom.SetSeed(F.RandomSeed);
  FGeneration = FFirst = F.Generation;
  if (!Environment || Environment->Values() == F.Environment.Values()) {
    FEnvironment = F.Environment;
    return Record();
  }
  // Fitness against the old environment says nothing about the new one: the generation
  // reached is scored again, and the best of all generations is sought anew from it.
  FEnvironment = *Environment;
  FPopulation.MaxFitAll = 0;
  return Evaluated();
}

TGenerationRecord TExperiment::Renew() {
  FPopulation.Clear();
  FPopulation.Create(FRandom, FSettings.PopSize, FSettings.Blocks, FSettings.Elements,
                     FSettings.ReproductionType);
  FGeneration = FFirst = 0;
  return Evaluated();
}

TGenerationRecord TExperiment::Step() {
  // Bred and evaluated in one pass over the population.
  FPopulation.NextGeneration(FRandom, FSettings.RatesSelection, FSettings.PCrossover, FSettings.PMutation,
                             FSettings.PNoise, &FEnvironment);
  FPopulation.UpdateStatistics();
  ++FGeneration;
  return Record();
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
  auto mean = [n](double Sum) { return Extended::ToDouble(TExtended(Sum) / TExtended(n)); };
  o.AvgFitness = mean(FitnessSum);
  o.AvgGenotypeRatio = mean(RatioSum);
  o.AvgGenAllGenotype = mean(GenAllSum);
  o.Last = FExperiment.Finish();
  return o;
}
