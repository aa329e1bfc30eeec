#pragma once
// One experiment that advances a generation at a time and hands out every generation as
// data, and the batch of ten runs built on it.

#include "Experiment/Develop.h"
#include "Experiment/ExperimentSettings.h"
#include "FuzzySet/FuzzySet.h"
#include "FuzzySet/Random.h"
#include "ZEL/ZELAgentPopulation.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The number of runs in a batch.
inline constexpr int BatchRunCount = 10;

// Everything one line of a run report prints about a generation.
struct TGenerationRecord {
  int Generation = 0;
  double AvgFitness = 0;
  std::int32_t GenFitMax = 0;
  std::int32_t GenFitMin = 0;
  std::int32_t MaxFitAll = 0;
  int GenotypeRatio = 0;
  // The fitness and the program text of the generation's best agent.
  std::int32_t Fitness = 0;
  std::string BestText;
  friend bool operator==(const TGenerationRecord&, const TGenerationRecord&) = default;
};

// The end of a run, complete or stopped early: the best agent of all generations so far.
struct TOutcome {
  int Generations = 0; // the last generation evaluated
  bool Complete = false;
  std::int32_t MaxFitAll = 0;
  int GenotypeRatio = 0;
  TZELAgent BestAll;
  TDevelopment Best; // BestAll developed and measured against the environment
};

// Everything a population needs to go on exactly as if it had never stopped: the settings it
// ran with, the generation reached, the generator's state, the agents with their statistics
// and best agents, and the environment.
struct TFrozenPopulation : TPopulationState {
  TExperimentSettings Settings;
  int Generation = 0;
  std::uint32_t RandomSeed = 0;
  TFuzzySet Environment;
};

// A setting that a continued run keeps from its population, since it says what the population
// is made of.
enum class TKeptSetting { PopSize, Blocks, Elements, Reproduction };
// A kept setting that the settings of a continued run would change. Reproduction kinds are given
// by their numbers.
struct TKeptDifference {
  TKeptSetting Setting;
  int Given = 0;
  int Frozen = 0;
};
// The kept settings in which Given differs from Frozen, in the order population size, blocks,
// elements, reproduction.
std::vector<TKeptDifference> KeptDifferences(const TExperimentSettings& Given,
                                             const TExperimentSettings& Frozen);

// What a continued run does with its environment: keeps the population's, takes one of its
// own, builds a new random one from a seed, or builds the fixed one.
enum class TEnvironmentChoice { Keep, Own, NewRandom, Fixed };
// The environment a continued run of Frozen takes in place of the population's own; none to
// keep that one. Own is the environment of one's own (for Own); a new random environment is
// built as a run seeded with Seed builds it.
std::optional<TFuzzySet> ContinuedEnvironment(const TFrozenPopulation& Frozen, TEnvironmentChoice Choice,
                                              const TFuzzySet* Own, std::uint32_t Seed);

// A continued run that would change what a population is made of.
class TThawError : public std::invalid_argument {
public:
  explicit TThawError(const TKeptDifference& Difference);
  const TKeptDifference Difference;
};

class TExperiment {
public:
  // Settings are validated (TSettingsError) and normalised; Corrections() tells what changed.
  TExperiment(const TExperimentSettings& Settings, TRandom& Random);

  const TExperimentSettings& Settings() const { return FSettings; }
  const std::vector<TCorrection>& Corrections() const { return FCorrections; }

  // Seeds the generator from its clock, creates the population, builds the environment,
  // and evaluates generation 0, whose record it returns.
  TGenerationRecord Begin();
  // One generation step; the record of the new generation.
  TGenerationRecord Step();
  bool Done() const { return FGeneration >= FFirst + FSettings.Generations; }
  int Generation() const { return FGeneration; }
  // The best agent so far, developed and measured.
  TOutcome Finish() const;

  // An environment of one's own in place of the one the settings would build; its size
  // becomes the number of elements. Takes effect at the next Begin.
  void SetEnvironment(const TFuzzySet& Environment);

  // The population as it stands, after Begin or a Step.
  TFrozenPopulation Freeze() const;
  // Takes up a frozen population in place of Begin: the generator goes on from the frozen
  // state and the settings' generations are run on top of the generation reached. The
  // probabilities and the selection may differ from the frozen ones; the kept settings may
  // not (TThawError). With a new Environment
  // (else, or when it is the same, the frozen one is kept) the generation reached is scored against it, and
  // the best of the run starts again from there. The record of the generation reached.
  TGenerationRecord Thaw(const TFrozenPopulation& Frozen, const TFuzzySet* Environment = nullptr);
  // The generation that Begin or Thaw started from.
  int FirstGeneration() const { return FFirst; }

  // For a batch: a new random population in place of the old one, same environment, and
  // generation 0 evaluated. The record of generation 0.
  TGenerationRecord Renew();

  const TFuzzySet& Environment() const { return FEnvironment; }
  const TZELAgentPopulation& Population() const { return FPopulation; }
  TRandom& Random() { return FRandom; }
  void SetThreads(int Threads) { FPopulation.SetThreads(Threads); }

private:
  TGenerationRecord Evaluated();
  TGenerationRecord Record() const;

  TExperimentSettings FSettings;
  std::vector<TCorrection> FCorrections;
  TRandom& FRandom;
  TZELAgentPopulation FPopulation;
  TFuzzySet FEnvironment;
  std::optional<TFuzzySet> FOwnEnvironment;
  int FGeneration = 0;
  int FFirst = 0;
};

// One line of a batch report.
struct TRunRecord {
  int Run = 0;
  std::int32_t MaxFitAll = 0;
  int GenotypeRatio = 0;
  // The first generation after which every agent had a genotype, or -1.
  int GenAllGenotype = -1;
  std::int32_t Fitness = 0;
  std::string BestText;
  friend bool operator==(const TRunRecord&, const TRunRecord&) = default;
};

struct TBatchOutcome {
  int Runs = 0;
  // Means over the runs done of the best fitness, the final genotype ratio and GenAllGenotype.
  double AvgFitness = 0;
  double AvgGenotypeRatio = 0;
  double AvgGenAllGenotype = 0;
  // The last run's outcome.
  TOutcome Last;
};

// Ten runs with the same settings and one environment; the population is renewed between
// runs and the ten runs draw from one continuing sequence. The run loop steps each run's
// generations on the experiment; the batch keeps the count and the sums.
class TBatch {
public:
  TBatch(const TExperimentSettings& Settings, TRandom& Random);

  TExperiment& Experiment() { return FExperiment; }
  const TExperiment& Experiment() const { return FExperiment; }
  // Seeds, creates the first population and builds the environment.
  void Begin();
  // Makes ready the next run: the first takes the population that Begin made, each later
  // one a new population.
  void BeginRun();
  // Takes note of a generation of the current run.
  void Note(const TGenerationRecord& Record);
  // The line of the run just stepped to its end, which is counted.
  TRunRecord EndRun();
  bool Done() const { return FRuns >= BatchRunCount; }
  int Runs() const { return FRuns; }
  TBatchOutcome Finish() const;
  void SetThreads(int Threads) { FExperiment.SetThreads(Threads); }
  void SetEnvironment(const TFuzzySet& Environment) { FExperiment.SetEnvironment(Environment); }

private:
  TExperiment FExperiment;
  int FRuns = 0;
  int FGenAllGenotype = -1;
  double RatioSum = 0, GenAllSum = 0, FitnessSum = 0;
};
