#include "cli/FileOptions.h"

#include "Experiment/EnvironmentFile.h"
#include "Experiment/ExperimentFile.h"
#include "Experiment/FileText.h"
#include "Experiment/PopulationFile.h"
#include "Experiment/Report.h"
#include "Experiment/SweepProvenance.h"
#include "cli/CommandLine.h"
#include "cli/Output.h"
#include "cli/OutputFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <new>
#include <stdexcept>
#include <thread>

#ifndef ZEL_VERSION
#define ZEL_VERSION "unknown"
#endif

namespace ZelCli {

namespace {
// A file that cannot be used is a fault of the command line that named it; a lack of memory
// to read it is not.
template <typename Read>
auto ReadOption(const std::string& Option, const TInputKind& Kind, const std::string& FileName, Read R)
    -> decltype(R()) {
  try {
    return R();
  } catch (const TFileError& e) {
    throw TUsageError(Option + ": " + e.what());
  } catch (const std::bad_alloc&) {
    throw std::runtime_error(Option + ": " + Kind.Name + " '" + FileName +
                             "': there is not enough memory to read it");
  }
}

void Refuse(const std::string& Option, const std::string& Why) {
  throw TUsageError(Option + ": " + Why);
}

} // namespace

TFuzzySet ReadEnvironmentOption(const std::string& Option, const std::string& FileName) {
  return ReadOption(Option, EnvironmentInput, FileName, [&] { return LoadEnvironmentFile(FileName); });
}

void StartFromFiles(const TFileOptionTexts& T, TRunSettings& S) {
  S.Files.Given = T;
  if (!T.Config.empty() && !T.LoadPopulation.empty())
    throw TUsageError("--config and --load-population do not go together: a continued run takes its "
                      "settings from the population file");
  if (!T.Config.empty()) {
    const TExperimentFile f =
        ReadOption("--config", ExperimentInput, T.Config, [&] { return LoadExperimentFile(T.Config); });
    if (!f.ContinuedFrom.empty())
      Refuse("--config", "'" + T.Config + "' is the record of a run continued from '" + f.ContinuedFrom +
                             "'; repeat it with --load-population");
    S.Experiment = f.Settings;
    S.Seed = f.Seed;
    S.Files.OwnEnvironment = f.Environment;
  }
  if (!T.LoadPopulation.empty()) {
    S.Files.Frozen = std::make_shared<const TFrozenPopulation>(
        ReadOption("--load-population", PopulationInput, T.LoadPopulation,
                   [&] { return LoadPopulationFile(T.LoadPopulation); }));
    S.Experiment = S.Files.Frozen->Settings;
  }
  if (!T.Environment.empty()) S.Files.OwnEnvironment = ReadEnvironmentOption("--environment", T.Environment);
}

void FinishWithFiles(const TGivenOptions& Given, TRunSettings& S) {
  const TFileOptionTexts& t = S.Files.Given;
  TExperimentSettings& e = S.Experiment;
  if (t.EliteSelection && Given.RatesSelection)
    throw TUsageError("--elite-selection and --rates-selection do not go together");
  if (t.EliteSelection) e.RatesSelection = false;
  const int asked =
      (t.FixedEnvironment ? 1 : 0) + (Given.RandomEnvironment ? 1 : 0) + (t.Environment.empty() ? 0 : 1);
  if (asked > 1)
    throw TUsageError("--environment, --random-environment and --fixed-environment do not go together");
  // An environment built from the settings replaces one read from the experiment file.
  if (t.FixedEnvironment || Given.RandomEnvironment) S.Files.OwnEnvironment.reset();
  if (t.FixedEnvironment) e.RandomEnvironment = false;
  S.Files.NewRandomEnvironment = S.Files.Frozen && Given.RandomEnvironment;
  if (S.Files.OwnEnvironment) {
    const int count = S.Files.OwnEnvironment->Count();
    const std::string source =
        t.Environment.empty() ? "the environment in '" + t.Config + "'" : "'" + t.Environment + "'";
    if (Given.Elements && e.Elements != count)
      Refuse("--elements", std::to_string(e.Elements) + " differs from the " + std::to_string(count) +
                               " degrees of " + source);
    e.Elements = count;
    e.RandomEnvironment = false;
  }
  if (!S.Files.Frozen) return;

  // A continued run keeps what its population is made of.
  const auto differences = KeptDifferences(e, S.Files.Frozen->Settings);
  if (!differences.empty()) {
    const TKeptDifference& d = differences.front();
    const auto [option, what] = [&]() -> std::pair<const char*, const char*> {
      switch (d.Setting) {
      case TKeptSetting::PopSize:
        return {"--pop-size", "population size"};
      case TKeptSetting::Blocks:
        return {"--blocks", "blocks"};
      case TKeptSetting::Elements:
        return {t.Environment.empty() ? "--elements" : "--environment", "elements"};
      case TKeptSetting::Reproduction:
        break;
      }
      return {"--reproduction", "reproduction type"};
    }();
    Refuse(option, std::to_string(d.Given) + " differs from the population file's " +
                       std::to_string(d.Frozen) + "; a continued run keeps its " + what);
  }
  if (Given.Seed && !Given.RandomEnvironment)
    Refuse("--seed", "a continued run goes on with the generator of its population file; --seed only seeds "
                     "a new --random-environment");
}

void UseEnvironmentFile(const std::string& FileName, bool ElementsGiven, bool Random, TDevelopSettings& D) {
  if (Random) throw TUsageError("--environment and --random-environment do not go together");
  D.OwnEnvironment = ReadEnvironmentOption("--environment", FileName);
  const int count = D.OwnEnvironment->Count();
  if (ElementsGiven && D.World.Elements != count)
    Refuse("--elements", std::to_string(D.World.Elements) + " differs from the " + std::to_string(count) +
                             " degrees of '" + FileName + "'");
  D.World.Elements = count;
}

std::string FileCorrectionWarning(const TRunSettings& S, const TCorrection& C) {
  const std::string& file = S.Files.Frozen ? S.Files.Given.LoadPopulation : S.Files.Given.Config;
  return C.Parameter + " " + ShortestReal(C.Given) + " in '" + file + "' is outside 0..1; the run uses " +
         ShortestReal(C.Used);
}

bool DrawsSeed(const TRunSettings& S) {
  return !S.Files.Frozen || S.Files.NewRandomEnvironment;
}

void RunOrContinue(TExperiment& E, const TRunSettings& S, std::uint32_t Seed,
                   std::vector<TRunObserver> Observers, TRunOutputs& Outputs) {
  if (!S.Files.Frozen) {
    if (S.Files.OwnEnvironment) E.SetEnvironment(*S.Files.OwnEnvironment);
  } else {
    const TEnvironmentChoice choice = S.Files.OwnEnvironment           ? TEnvironmentChoice::Own
                                      : S.Files.NewRandomEnvironment   ? TEnvironmentChoice::NewRandom
                                      : S.Files.Given.FixedEnvironment ? TEnvironmentChoice::Fixed
                                                                       : TEnvironmentChoice::Keep;
    const std::optional<TFuzzySet> changed = ContinuedEnvironment(
        *S.Files.Frozen, choice, S.Files.OwnEnvironment ? &*S.Files.OwnEnvironment : nullptr, Seed);
    E.Thaw(*S.Files.Frozen, changed ? &*changed : nullptr);
  }
  TReportWriter report(Outputs.TakeReport());
  Observers.insert(Observers.begin(), report.Observer());
  TRunLoop(E, S.Files.Frozen != nullptr, std::move(Observers)).Run();
  if (!S.Files.Given.SavePopulation.empty()) Outputs.CommitPopulation(PopulationText(E.Freeze()));
}

std::string MetadataText(const TRunSettings& S, const char* Command, const TExperimentSettings& Used,
                         std::optional<std::uint32_t> Seed, const std::string& Start) {
  const TFileOptionTexts& t = S.Files.Given;
  TExperimentFile f;
  f.Settings = Used;
  f.Seed = Seed;
  if (!S.Files.Frozen) f.Environment = S.Files.OwnEnvironment;
  f.ContinuedFrom = t.LoadPopulation;
  TRunMetadata run;
  run.Program = "zelworld-cli";
  run.Version = ZEL_VERSION;
  run.Command = Command;
  // As the evaluation's worker pool counts them: 0 asks for one per core.
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  run.Threads = S.Threads > 0 ? S.Threads : std::max(cores, 1);
  run.Start = Start;
  for (const auto& [role, name] : {std::pair{"report", S.Report},
                                   {"best-list", S.BestList},
                                   {"series", S.Series},
                                   {"population", t.SavePopulation},
                                   {"metadata", t.Metadata}})
    if (!name.empty()) run.Outputs.emplace_back(role, name);
  run.ContinuedGeneration = S.Files.Frozen ? S.Files.Frozen->Generation : 0;
  run.End = UtcTimestamp();
  return ExperimentText(f, &run);
}

} // namespace ZelCli
