#pragma once
// Experiment files: every parameter of an experiment and, if wanted, its seed and an
// environment of one's own, so that the experiment can be repeated anywhere. The record
// that the command line writes of a run is an experiment file too, with a "run" member
// that reading passes over.

#include "Experiment/ExperimentSettings.h"
#include "FuzzySet/FuzzySet.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

inline constexpr const char* ExperimentFileKind = "experiment file";
inline constexpr const char* ExperimentFormat = "zelworld experiment";
inline constexpr int ExperimentFileVersion = 1;

struct TExperimentFile {
  TExperimentSettings Settings;
  std::optional<std::uint32_t> Seed;
  std::optional<TFuzzySet> Environment;
  // In the record of a continued run: the population file it took up. Such a run is
  // repeated from that file, not from the record.
  std::string ContinuedFrom;
};

// What the record of a run adds to its experiment.
struct TRunMetadata {
  std::string Program, Version, Command;
  int Threads = 0;
  // UTC, ISO 8601 with milliseconds.
  std::string Start, End;
  // Role ("report", "best-list", ...) and file name, in the order given.
  std::vector<std::pair<std::string, std::string>> Outputs;
  int ContinuedGeneration = 0;
};

// The file's text; with Run, the record of a run. Reads back to File.
std::string ExperimentText(const TExperimentFile& File, const TRunMetadata* Run = nullptr);
// Reads the text of an experiment file; FileName only names it in errors (TFileError).
// Parameters left out keep their defaults; the seed and the environment may be left out.
TExperimentFile ReadExperimentText(const std::string& Text, const std::string& FileName = "(text)");
TExperimentFile LoadExperimentFile(const std::string& FileName);
void SaveExperimentFile(const std::string& FileName, const TExperimentFile& File);
