#pragma once
// The parameters of an experiment as one value: checked in one place, and brought into
// the ranges a run uses by one normalising step.

#include "ZEL/ZELAgentPopulation.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A parameter outside its allowed range: names the parameter, the value and the range.
class TSettingsError : public std::invalid_argument {
public:
  TSettingsError(std::string Parameter, std::string Value, std::string Range);
  const std::string Parameter, Value, Range;
};

// A probability that the normalising step replaced.
struct TCorrection {
  std::string Parameter;
  double Given = 0;
  double Used = 0;
};

struct TIntRange {
  int Lo, Hi;
};

// The names of the reproduction kinds in files and on the command line ("phenotype",
// "genotype", "both"), and their numbers 0, 1, 2.
const char* ReproductionName(TReproduction Reproduction);
// The kind a name stands for, or with Numbers also its number; none for any other text.
std::optional<TReproduction> ParseReproduction(std::string_view Text, bool Numbers);
// "phenotype, genotype, both", for messages.
std::string ReproductionNameList();

struct TExperimentSettings {
  TReproduction Reproduction = TReproduction::Genotype;
  bool RandomEnvironment = false;
  bool RatesSelection = false;
  int PopSize = 100;
  int Generations = 100;
  int Elements = 100;
  int Blocks = 8;
  double PCrossover = 1.0;
  double PMutation = 0.0001;
  double PNoise = 0.0001;

  static constexpr TIntRange PopSizeRange{2, 1000};
  static constexpr TIntRange GenerationsRange{1, 1000};
  static constexpr TIntRange ElementsRange{1, 2048};
  static constexpr TIntRange BlocksRange{1, 32};

  // Throws TSettingsError for the first parameter outside its range. A probability may lie
  // outside 0..1 (Normalise replaces it) but must be a finite number.
  void Validate() const;
  // Crossover outside 0..1 becomes 1, mutation and noise outside 0..1 become 0. Returns
  // what was replaced, so that a front-end can tell the user.
  std::vector<TCorrection> Normalise();

  // The three probabilities as a generation step takes them.
  TBreedingProbabilities Probabilities() const { return {PCrossover, PMutation, PNoise}; }

  friend bool operator==(const TExperimentSettings&, const TExperimentSettings&) = default;
};
