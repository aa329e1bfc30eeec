#pragma once
// Experiments of the front-ends written as text: the zelworld-cli command that repeats one,
// the short name that tells an earlier run apart from the current one, and the texts of the
// window's controls that every front-end with those controls shares.

#include "Experiment/Experiment.h"
#include "Experiment/ExperimentSettings.h"

#include <cstdint>
#include <string>

// Quotes Text for a POSIX shell when it holds anything but safe characters.
std::string ShellQuoted(const std::string& Text);
// The zelworld-cli command that repeats the experiment exactly: same settings, same seed,
// the report written to ReportFile, and the environment of EnvironmentFile when one is named.
std::string CommandLineText(const TExperimentSettings& Settings, bool Batch, std::uint32_t Seed,
                            const std::string& ReportFile, const std::string& EnvironmentFile = "");
// What Earlier set differently from Current, in Earlier's values ("rates, pop 200"); its
// seed when nothing else differs.
std::string DifferenceName(const TExperimentSettings& Earlier, std::uint32_t EarlierSeed,
                           const TExperimentSettings& Current);

// The captions of the reproduction kinds in the window: "Phenotpe (ZEL)", "Genotype", "Both".
const char* ReproductionCaption(TReproduction Reproduction);
// The seed of the Seed box: empty (or blank) takes the time of day; otherwise a whole number
// 0..4294967295, else std::invalid_argument naming the box.
std::uint32_t SeedFromText(const std::string& Text);
// Continue's message for a setting that would change what the population is made of, named
// by its control; ElementsNote follows the elements' value (the loaded environment's file).
std::string ContinueKeptMessage(const TKeptDifference& Difference, const std::string& ElementsNote);
