#pragma once
// Experiments of the front-ends written as text: the zelworld-cli command that repeats one,
// and the short name that tells an earlier run apart from the current one.

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
