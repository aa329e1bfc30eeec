#include "Experiment/CommandText.h"

#include "Experiment/ReportFormat.h"
#include "FuzzySet/Random.h"

#include <array>
#include <charconv>
#include <stdexcept>
#include <string_view>
#include <vector>

std::string ShellQuoted(const std::string& Text) {
  bool plain = !Text.empty();
  for (char c : Text)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
          std::string_view("_-.,/:@+=%").find(c) != std::string_view::npos))
      plain = false;
  if (plain) return Text;
  std::string quoted = "'";
  for (char c : Text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string CommandLineText(const TExperimentSettings& S, bool Batch, std::uint32_t Seed,
                            const std::string& ReportFile, const std::string& EnvironmentFile) {
  std::string line = std::string("zelworld-cli ") + (Batch ? "batch" : "run");
  line += " --seed " + std::to_string(Seed);
  line += " --pop-size " + std::to_string(S.PopSize);
  line += " --generations " + std::to_string(S.Generations);
  line += " --elements " + std::to_string(S.Elements);
  line += " --blocks " + std::to_string(S.Blocks);
  line += std::string(" --reproduction ") + ReproductionName(S.Reproduction);
  if (S.RatesSelection) line += " --rates-selection";
  if (S.RandomEnvironment) line += " --random-environment";
  // Joined with '=' so that a negative probability is not taken for an option.
  line += " --p-crossover=" + ShortestReal(S.PCrossover);
  line += " --p-mutation=" + ShortestReal(S.PMutation);
  line += " --p-noise=" + ShortestReal(S.PNoise);
  if (!EnvironmentFile.empty()) line += " --environment " + ShellQuoted(EnvironmentFile);
  line += " --report " + ShellQuoted(ReportFile);
  return line;
}

std::string DifferenceName(const TExperimentSettings& E, std::uint32_t EarlierSeed,
                           const TExperimentSettings& C) {
  std::vector<std::string> parts;
  if (E.Reproduction != C.Reproduction) parts.emplace_back(ReproductionName(E.Reproduction));
  if (E.RatesSelection != C.RatesSelection) parts.emplace_back(E.RatesSelection ? "rates" : "elite");
  if (E.RandomEnvironment != C.RandomEnvironment)
    parts.emplace_back(E.RandomEnvironment ? "random env" : "fixed env");
  if (E.PopSize != C.PopSize) parts.push_back("pop " + std::to_string(E.PopSize));
  if (E.Generations != C.Generations) parts.push_back("gens " + std::to_string(E.Generations));
  if (E.Elements != C.Elements) parts.push_back("elements " + std::to_string(E.Elements));
  if (E.Blocks != C.Blocks) parts.push_back("blocks " + std::to_string(E.Blocks));
  if (E.PCrossover != C.PCrossover) parts.push_back("p cross " + ShortestReal(E.PCrossover));
  if (E.PMutation != C.PMutation) parts.push_back("p mut " + ShortestReal(E.PMutation));
  if (E.PNoise != C.PNoise) parts.push_back("p noise " + ShortestReal(E.PNoise));
  if (parts.empty()) return "seed " + std::to_string(EarlierSeed);
  std::string name = parts.front();
  for (std::size_t i = 1; i < parts.size(); ++i)
    name += ", " + parts[i];
  return name;
}

const char* ReproductionCaption(TReproduction Reproduction) {
  static const std::array<const char*, 3> captions{"Phenotpe (ZEL)", "Genotype", "Both"};
  return captions[static_cast<std::size_t>(Reproduction)];
}

std::uint32_t SeedFromText(const std::string& Box) {
  const std::size_t first = Box.find_first_not_of(" \t");
  const std::string text =
      first == std::string::npos ? std::string() : Box.substr(first, Box.find_last_not_of(" \t") + 1 - first);
  if (text.empty()) return Rng::TimeOfDayMilliseconds();
  bool ok = text.size() <= 10;
  for (char c : text)
    ok = ok && c >= '0' && c <= '9';
  const unsigned long long value = ok ? std::stoull(text) : 0;
  if (!ok || value > 4294967295ULL)
    throw std::invalid_argument("Seed: '" + text + "' is not a whole number from 0 to 4294967295");
  return static_cast<std::uint32_t>(value);
}

std::string ContinueKeptMessage(const TKeptDifference& D, const std::string& ElementsNote) {
  const std::string kept = ", which Continue keeps";
  if (D.Setting == TKeptSetting::Reproduction)
    return std::string("Agent Reproduction: \"") + ReproductionCaption(TReproduction(D.Given)) +
           "\" differs from the population's \"" + ReproductionCaption(TReproduction(D.Frozen)) + "\"" + kept;
  const char* control = D.Setting == TKeptSetting::PopSize  ? "Pop Size"
                        : D.Setting == TKeptSetting::Blocks ? "FS Blocks"
                                                            : "FS Elements";
  const std::string note = D.Setting == TKeptSetting::Elements ? ElementsNote : "";
  return std::string(control) + ": " + std::to_string(D.Given) + note + " differs from the population's " +
         std::to_string(D.Frozen) + kept;
}
