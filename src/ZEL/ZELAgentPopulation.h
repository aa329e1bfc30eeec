#pragma once
// The population of one run: its agents, their statistics, selection and the
// generation step, and the single-run and batch drivers with their reports.

#include "Display/DisplayServices.h"
#include "FuzzySet/FuzzySet.h"
#include "ZEL/ZELAgent.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The share of the population kept as elite, and the number of runs in a batch.
inline constexpr double EliteFraction = 0.2;
inline constexpr int BatchRunCount = 10;

class TDeveloper;
class TWorkerPool;

class TZELAgentPopulation {
public:
  TZELAgentPopulation();
  TZELAgentPopulation(int PopSize, int BlockCount, int Elements, int ReproductionType);
  ~TZELAgentPopulation();
  TZELAgentPopulation(const TZELAgentPopulation&) = delete;
  TZELAgentPopulation& operator=(const TZELAgentPopulation&) = delete;

  int Count() const { return static_cast<int>(Agents.size()); }
  TZELAgent& Agent(int Index) { return *Agents[static_cast<std::size_t>(Index)]; }
  const TZELAgent& Agent(int Index) const { return *Agents[static_cast<std::size_t>(Index)]; }

  // PopSize new agents of the kinds the reproduction type asks for, then GenBest and BestAll.
  // Type 0: program-only; 1: genotype; 2: the first half program-only, the rest genotype.
  void Create(int PopSize, int BlockCount, int Elements, int NewReproductionType);
  // Frees every agent of the list; GenBest and BestAll stay.
  void Clear();
  void Assign(const TZELAgentPopulation& Source);
  // Develops every agent and sets its fitness against Environment.
  void Evaluate(const TFuzzySet& Environment);
  void UpdateStatistics();
  int GenotypeRatio() const;
  int SelectByRate() const;
  void NextGeneration(bool RatesSelection, double PCrossover, double PMutation, double PNoise);

  // One run of NGenerations generation steps after generation 0, reported line by line to FileName.
  void Run(int NGenerations, const std::string& FileName, double PCrossover, double PMutation, double PNoise,
           TProgressIndicator& ProgressBar, const TFuzzySet& Environment, bool RatesSelection,
           TEvolutionChart& Chart, TImageSurface& Image, TStringList& BestList, TMessageBox& Messages);
  // Ten runs with the population rebuilt in place between them, reported once per run.
  void RunBatch(int PopSize, int BlockCount, int Elements, int NewReproductionType, int NGenerations,
                double PCrossover, double PMutation, double PNoise, const std::string& FileName,
                TProgressIndicator& ProgressBar, const TFuzzySet& Environment, bool RatesSelection,
                TEvolutionChart& Chart, TImageSurface& Image, TStringList& BestList, TMessageBox& Messages);

  // Threads used by Evaluate (0: all cores). The number of threads never changes a result.
  void SetThreads(int Threads);

  double AvgFitness = 0;
  std::int32_t GenFitMax = 0;
  std::int32_t GenFitMin = 0;
  std::int32_t MaxFitAll = 0;
  std::int32_t FitnessSum = 0;
  TZELAgent GenBest;
  TZELAgent BestAll;
  std::int32_t ReproductionType = 0;

private:
  using TAgentList = std::vector<std::unique_ptr<TZELAgent>>;
  TAgentList Agents;
  // Agents of the right shape that receive the children of a rates generation.
  TAgentList Nursery;
  int ThreadCount = 0;
  // Evaluation machinery, kept across generations and the runs of a batch.
  std::unique_ptr<TDeveloper> Developer;
  std::unique_ptr<TWorkerPool> Pool;
  std::vector<std::vector<std::uint8_t>> Scratch;

  // One real draw times FitnessSum: the point of the wheel that selection looks for.
  double SpinWheel() const;
  int SelectByRate(const std::vector<std::int64_t>& RunningSums) const;
  void NextGenerationByRates(TZELAgent& Spare, double PCrossover, double PMutation, double PNoise);
  void NextGenerationByElite(TZELAgent& Spare, double PCrossover, double PMutation, double PNoise);
};

// The mode title of the reports; empty for a reproduction type outside 0..2.
std::string ModeTitle(int ReproductionType, bool RatesSelection);
