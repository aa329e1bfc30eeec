#include "Experiment/ExperimentSettings.h"

#include "ZEL/ReportFormat.h"

#include <array>
#include <charconv>
#include <cmath>

namespace {
const char* const Finite = "finite numbers";

std::string Shortest(double Value) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), Value);
  return std::string(buffer.data(), result.ptr);
}

void CheckRange(const char* Parameter, int Value, TIntRange Range) {
  if (Value < Range.Lo || Value > Range.Hi)
    throw TSettingsError(Parameter, std::to_string(Value),
                         std::to_string(Range.Lo) + ".." + std::to_string(Range.Hi));
}

void CheckFinite(const char* Parameter, double Value) {
  if (!std::isfinite(Value)) throw TSettingsError(Parameter, Shortest(Value), Finite);
}

void Correct(const char* Parameter, double& P, double Fallback, std::vector<TCorrection>& Corrections) {
  const double used = ProbabilityInRange(P, Fallback);
  if (used != P) Corrections.push_back({Parameter, P, used});
  P = used;
}
} // namespace

TSettingsError::TSettingsError(std::string P, std::string V, std::string R)
    : std::invalid_argument(P + ": " + V + (R == Finite ? " is not a finite number" : " is outside " + R)),
      Parameter(std::move(P)), Value(std::move(V)), Range(std::move(R)) {}

void TExperimentSettings::Validate() const {
  CheckRange("ReproductionType", ReproductionType, ReproductionTypeRange);
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
