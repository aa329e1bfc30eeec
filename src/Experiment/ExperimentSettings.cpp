#include "Experiment/ExperimentSettings.h"

#include "Experiment/ReportFormat.h"

#include <array>
#include <charconv>
#include <cmath>

namespace {
const std::array<const char*, 3> ReproductionNames = {"phenotype", "genotype", "both"};
const char* const Finite = "finite numbers";

void CheckRange(const char* Parameter, int Value, TIntRange Range) {
  if (Value < Range.Lo || Value > Range.Hi)
    throw TSettingsError(Parameter, std::to_string(Value),
                         std::to_string(Range.Lo) + ".." + std::to_string(Range.Hi));
}

void CheckFinite(const char* Parameter, double Value) {
  if (!std::isfinite(Value)) throw TSettingsError(Parameter, ShortestReal(Value), Finite);
}

void Correct(const char* Parameter, double& P, double Fallback, std::vector<TCorrection>& Corrections) {
  const double used = ProbabilityInRange(P, Fallback);
  if (used != P) Corrections.push_back({Parameter, P, used});
  P = used;
}
} // namespace

const char* ReproductionName(TReproduction Reproduction) {
  return ReproductionNames[static_cast<std::size_t>(Reproduction)];
}

std::optional<TReproduction> ParseReproduction(std::string_view Text, bool Numbers) {
  for (std::size_t i = 0; i < ReproductionNames.size(); ++i)
    if (Text == ReproductionNames[i] || (Numbers && Text == std::to_string(i))) return TReproduction(i);
  return std::nullopt;
}

std::string ReproductionNameList() {
  return std::string(ReproductionNames[0]) + ", " + ReproductionNames[1] + ", " + ReproductionNames[2];
}

TSettingsError::TSettingsError(std::string P, std::string V, std::string R)
    : std::invalid_argument(P + ": " + V + (R == Finite ? " is not a finite number" : " is outside " + R)),
      Parameter(std::move(P)), Value(std::move(V)), Range(std::move(R)) {}

void TExperimentSettings::Validate() const {
  CheckRange("PopSize", PopSize, PopSizeRange);
  CheckRange("Generations", Generations, GenerationsRange);
  CheckRange("Elements", Elements, ElementsRange);
  CheckRange("Blocks", Blocks, BlocksRange);
  CheckFinite("PCrossover", PCrossover);
  CheckFinite("PMutation", PMutation);
  CheckFinite("PNoise", PNoise);
}

std::vector<TCorrection> TExperimentSettings::Normalise() {
  std::vector<TCorrection> corrections;
  Correct("PCrossover", PCrossover, 1.0, corrections);
  Correct("PMutation", PMutation, 0.0, corrections);
  Correct("PNoise", PNoise, 0.0, corrections);
  return corrections;
}
