#pragma once
// The options of run, batch and develop that read or write files: experiment files
// (--config), the record of a run (--metadata), frozen populations (--save-population,
// --load-population) and environments of one's own (--environment).

#include "Experiment/Experiment.h"
#include "FuzzySet/FuzzySet.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ZelCli {

struct TRunSettings;
struct TDevelopSettings;

// The file options as given; empty names for those not given.
struct TFileOptionTexts {
  std::string Config, Metadata, SavePopulation, LoadPopulation, Environment;
  bool EliteSelection = false, FixedEnvironment = false;
};

// Which of the options that a file may also set were given on the command line.
struct TGivenOptions {
  bool Elements = false, RandomEnvironment = false, RatesSelection = false, Seed = false;
};

// What run and batch read from files and write besides the report.
struct TFileSettings {
  TFileOptionTexts Given;
  // The population that --load-population continues.
  std::shared_ptr<const TFrozenPopulation> Frozen;
  // From --environment, or from the experiment file.
  std::optional<TFuzzySet> OwnEnvironment;
  // A continued run under a new random environment (--random-environment).
  bool NewRandomEnvironment = false;
};

// Before the options are read: the settings to start from, those of --config (with its
// seed and environment) or of --load-population, else the defaults. A file that cannot be
// used is a TUsageError naming the option, the file, the place in it and the fault.
void StartFromFiles(const TFileOptionTexts& Texts, TRunSettings& Settings);
// After the options are read: --elite-selection and --fixed-environment, --environment, and
// the changes that a continued run may not make, each a TUsageError naming the option.
void FinishWithFiles(const TGivenOptions& Given, TRunSettings& Settings);
// The warning for a probability that came from a file and is replaced.
std::string FileCorrectionWarning(const TRunSettings& Settings, const TCorrection& Correction);
// develop --environment: the environment to measure against, which sets the elements.
void UseEnvironmentFile(const std::string& FileName, bool ElementsGiven, bool Random,
                        TDevelopSettings& Develop);
// The environment file of --environment (Option names it in errors).
TFuzzySet ReadEnvironmentOption(const std::string& Option, const std::string& FileName);

} // namespace ZelCli

#include "Experiment/RunLoop.h"

#include <cstdint>

namespace ZelCli {

class TRunOutputs;

// A run from its beginning (with the environment of one's own, if any), or the continuation
// of the frozen population (under a new random environment from Seed when one was asked
// for), reported to the report of Outputs and told to Observers. Then the population is
// saved if --save-population asks for it.
void RunOrContinue(TExperiment& Experiment, const TRunSettings& Settings, std::uint32_t Seed,
                   std::vector<TRunObserver> Observers, TRunOutputs& Outputs);
// Whether the command draws from a seed: a continued run only for a new random environment.
bool DrawsSeed(const TRunSettings& Settings);
// The record that --metadata asks for: Used are the settings the run used, Seed the seed it
// took (none for a continued run under the same environment).
std::string MetadataText(const TRunSettings& Settings, const char* Command, const TExperimentSettings& Used,
                         std::optional<std::uint32_t> Seed, const std::string& Start);

} // namespace ZelCli
