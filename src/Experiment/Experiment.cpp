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
                     FSettings.Reproduction);
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

std::vector<TKeptDifference> KeptDifferences(const TExperimentSettings& Given,
                                             const TExperimentSettings& Frozen) {
  std::vector<TKeptDifference> differences;
  auto keep = [&](TKeptSetting Setting, int G, int F) {
    if (G != F) differences.push_back({Setting, G, F});
  };
  keep(TKeptSetting::PopSize, Given.PopSize, Frozen.PopSize);
  keep(TKeptSetting::Blocks, Given.Blocks, Frozen.Blocks);
  keep(TKeptSetting::Elements, Given.Elements, Frozen.Elements);
  keep(TKeptSetting::Reproduction, static_cast<int>(Given.Reproduction),
       static_cast<int>(Frozen.Reproduction));
  return differences;
}

std::optional<TFuzzySet> ContinuedEnvironment(const TFrozenPopulation& Frozen, TEnvironmentChoice Choice,
                                              const TFuzzySet* Own, std::uint32_t Seed) {
  switch (Choice) {
  case TEnvironmentChoice::Keep:
    return std::nullopt;
  case TEnvironmentChoice::Own:
    if (Own == nullptr) return std::nullopt;
    return *Own;
  case TEnvironmentChoice::NewRandom:
  case TEnvironmentChoice::Fixed: {
    // Built as a run builds it; the fixed landscape draws nothing.
    const bool random = Choice == TEnvironmentChoice::NewRandom;
    TRandom generator;
    generator.SetClock(Rng::CounterClock(Seed));
    if (random) generator.Randomize();
    TFuzzySet environment;
    environment.MakeEnvironment(generator, Frozen.Settings.Elements, random);
    return environment;
  }
  }
  return std::nullopt;
}

namespace {
const char* KeptName(TKeptSetting Setting) {
  switch (Setting) {
  case TKeptSetting::PopSize:
    return "PopSize";
  case TKeptSetting::Blocks:
    return "Blocks";
  case TKeptSetting::Elements:
    return "Elements";
  case TKeptSetting::Reproduction:
    return "ReproductionType";
  }
  return "";
}
} // namespace

TThawError::TThawError(const TKeptDifference& D)
    : std::invalid_argument(std::string(KeptName(D.Setting)) + ": " + std::to_string(D.Given) +
                            " differs from the frozen population's " + std::to_string(D.Frozen) +
                            ", which a continued run keeps"),
      Difference(D) {}

TGenerationRecord TExperiment::Thaw(const TFrozenPopulation& F, const TFuzzySet* Environment) {
  const TExperimentSettings& s = F.Settings;
  TExperimentSettings given = FSettings;
  if (Environment) given.Elements = Environment->Count();
  if (const auto differences = KeptDifferences(given, s); !differences.empty())
    throw TThawError(differences.front());
  FPopulation.Restore(F, s.Reproduction);
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
                     FSettings.Reproduction);
  FGeneration = FFirst = 0;
  return Evaluated();
}

TGenerationRecord TExperiment::Step() {
  // Bred and evaluated in one pass over the population.
  FPopulation.NextGeneration(FRandom, FSettings.RatesSelection, FSettings.Probabilities(), &FEnvironment);
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

void TBatch::BeginRun() {
  if (FRuns > 0) FExperiment.Renew();
  FGenAllGenotype = -1;
}

void TBatch::Note(const TGenerationRecord& G) {
  // Generation 0 is never examined, and the first generation found stays.
  if (FGenAllGenotype == -1 && G.Generation > 0 && G.GenotypeRatio >= 100) FGenAllGenotype = G.Generation;
}

TRunRecord TBatch::EndRun() {
  TRunRecord r;
  r.Run = ++FRuns;
  r.GenAllGenotype = FGenAllGenotype;
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
