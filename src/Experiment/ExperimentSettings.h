#pragma once
// The parameters of an experiment as one value: checked in one place, and brought into
// the ranges a run uses by one normalising step.

#include <stdexcept>
#include <string>
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

struct TExperimentSettings {
  // 0 program-only ("Phenotpe (ZEL)"), 1 genotype, 2 both.
  int ReproductionType = 1;
  bool RandomEnvironment = false;
  bool RatesSelection = false;
  int PopSize = 100;
  int Generations = 100;
  int Elements = 100;
  int Blocks = 8;
  double PCrossover = 1.0;
  double PMutation = 0.0001;
  double PNoise = 0.0001;

  static constexpr TIntRange ReproductionTypeRange{0, 2};
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

  friend bool operator==(const TExperimentSettings&, const TExperimentSettings&) = default;
};
