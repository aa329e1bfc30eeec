#include "cli/CommandLine.h"

#include "cli/Messages.h"
#include "cli/OutputFiles.h"

#include "Experiment/ReportFormat.h"
#include "ZEL/ZEL.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <set>
#include <string_view>
#include <thread>

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sched.h>
#endif

namespace ZelCli {

namespace {

// Options are taken as text and read afterwards, so that every bad value gets the
// same kind of message naming the option.
struct TTextOption {
  CLI::Option* Opt = nullptr;
  std::string Text;
  bool Given() const { return Opt != nullptr && Opt->count() > 0; }
  std::string Name() const { return Opt->get_name(); }
};

void AddText(CLI::App& App, TTextOption& T, const std::string& Name, const std::string& Type,
             const std::string& Help) {
  T.Opt = App.add_option(Name, T.Text, Help)->type_name(Type);
}

void ReadInt(const TTextOption& T, long long Lo, long long Hi, int& Into) {
  if (T.Given()) Into = static_cast<int>(ParseInteger(T.Name(), T.Text, Lo, Hi));
}
void ReadInt(const TTextOption& T, TIntRange Range, int& Into) {
  ReadInt(T, Range.Lo, Range.Hi, Into);
}

struct TWorldOptions {
  TTextOption Elements, Seed;
  bool Random = false;
};

void AddWorld(CLI::App& App, TWorldOptions& W, bool ElementsRequired) {
  AddText(App, W.Elements, "--elements", "N", "number of fuzzy-set elements, 1..2048 (default 100)");
  if (ElementsRequired) W.Elements.Opt->required();
  App.add_flag("--random-environment", W.Random, "a random environment instead of the fixed landscape");
  AddText(App, W.Seed, "--seed", "S",
          "seed of the random generator, 0..4294967295; without it the time of day is used and printed");
}

TWorldSettings ReadWorld(const TWorldOptions& W) {
  TWorldSettings S;
  ReadInt(W.Elements, TExperimentSettings::ElementsRange, S.Elements);
  S.RandomEnvironment = W.Random;
  if (W.Seed.Given())
    S.Seed = static_cast<std::uint32_t>(ParseInteger(W.Seed.Name(), W.Seed.Text, 0, 4294967295LL));
  return S;
}

struct TRunOptions {
  TWorldOptions World;
  TTextOption PopSize, Generations, Blocks, Reproduction, PCrossover, PMutation, PNoise, Report, BestList,
      Series, Threads;
  bool Rates = false;
  TTextOption Config, Metadata, SavePopulation, LoadPopulation, Environment;
  bool Elite = false, Fixed = false;
};

void AddFiles(CLI::App& App, TRunOptions& R, bool Single) {
  AddText(App, R.Config, "--config", "FILE", "take the settings (and seed) from an experiment file");
  AddText(App, R.Metadata, "--metadata", "FILE",
          "write a record of the run there, itself an experiment file");
  AddText(App, R.Environment, "--environment", "FILE", "the environment of an environment file");
  App.add_flag("--elite-selection", R.Elite,
               "select parents from the elite (undoes a file's rates selection)");
  App.add_flag("--fixed-environment", R.Fixed, "the fixed landscape (undoes a file's random environment)");
  if (!Single) return;
  AddText(App, R.SavePopulation, "--save-population", "FILE", "freeze the population there after the run");
  AddText(App, R.LoadPopulation, "--load-population", "FILE",
          "continue a frozen population for --generations more generations");
}

void AddRun(CLI::App& App, TRunOptions& R, bool Single) {
  AddText(App, R.PopSize, "--pop-size", "N", "population size, 2..1000 (default 100)");
  AddText(App, R.Generations, "--generations", "N", "generations per run, 1..1000 (default 100)");
  AddWorld(App, R.World, false);
  AddText(App, R.Blocks, "--blocks", "N", "fuzzy blocks per program, 1..32 (default 8)");
  AddText(App, R.Reproduction, "--reproduction", "KIND", "phenotype, genotype or both (default genotype)");
  App.add_flag("--rates-selection", R.Rates, "select parents by rates of reproduction instead of the elite");
  AddText(App, R.PCrossover, "--p-crossover", "P", "crossover probability (default 1.0)");
  AddText(App, R.PMutation, "--p-mutation", "P", "mutation probability (default 0.0001)");
  AddText(App, R.PNoise, "--p-noise", "P", "noise probability (default 0.0001)");
  AddText(App, R.Report, "--report", "FILE", "the report file");
  R.Report.Opt->required();
  AddText(App, R.BestList, "--best-list", "FILE", "write the best programs there, one per line");
  AddText(App, R.Series, "--series", "FILE", "write the chart's two series there as CSV");
  AddText(App, R.Threads, "--threads", "N",
          "threads that breed and evaluate, 0..1024 (default 0: all cores, when the work is large enough "
          "and while they are faster than one)");
  AddFiles(App, R, Single);
}

TReproduction ReadReproduction(const TTextOption& T) {
  if (const auto kind = ParseReproduction(T.Text, true)) return *kind;
  throw TUsageError(T.Name() + ": '" + T.Text + "' is not one of " + ReproductionNameList());
}

void ReadReal(const TTextOption& T, double& Into) {
  if (T.Given()) Into = ParseReal(T.Name(), T.Text);
}

// Two outputs on one file would overwrite each other.
void CheckDistinctOutputs(const std::vector<const TTextOption*>& Outputs) {
  for (std::size_t i = 0; i < Outputs.size(); ++i) {
    if (!Outputs[i]->Given()) continue;
    if (Outputs[i]->Text.empty()) throw TUsageError(Outputs[i]->Name() + ": the file name is empty");
    for (std::size_t j = 0; j < i; ++j)
      if (Outputs[j]->Given() && SameFile(Outputs[i]->Text, Outputs[j]->Text))
        throw TUsageError(Outputs[i]->Name() + " and " + Outputs[j]->Name() + " name the same file '" +
                          Outputs[i]->Text + "'");
  }
}

// An input read before the run would be lost if an output replaced it. A population is the
// exception: it is read whole before the run, and continuing one into its own file is the
// way to go on from change to change.
void CheckInputsAreNotOutputs(const TRunOptions& R) {
  for (const TTextOption* input : {&R.Config, &R.LoadPopulation, &R.Environment}) {
    if (!input->Given() || input->Text.empty()) continue;
    for (const TTextOption* output : {&R.Report, &R.BestList, &R.Series, &R.Metadata, &R.SavePopulation}) {
      if (!output->Given() || output->Text.empty()) continue;
      if (input == &R.LoadPopulation && output == &R.SavePopulation) continue;
      if (SameFile(input->Text, output->Text))
        throw TUsageError(output->Name() + " and " + input->Name() + " name the same file '" + output->Text +
                          "'; the output would replace the input");
    }
  }
}

// The cores this process may run on (those of its affinity mask, as a batch system or taskset
// sets it), at least one.
int UsableCores() {
#if defined(__linux__) && !defined(__EMSCRIPTEN__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
#endif
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

TRunSettings ReadRun(const TRunOptions& R, std::vector<std::string>& Warnings,
                     std::vector<std::string>& Notes) {
  CheckInputsAreNotOutputs(R);
  TRunSettings S;
  // The options override what the files set.
  StartFromFiles({R.Config.Text, R.Metadata.Text, R.SavePopulation.Text, R.LoadPopulation.Text,
                  R.Environment.Text, R.Elite, R.Fixed},
                 S);
  TExperimentSettings& E = S.Experiment;
  ReadInt(R.PopSize, TExperimentSettings::PopSizeRange, E.PopSize);
  ReadInt(R.Generations, TExperimentSettings::GenerationsRange, E.Generations);
  const TWorldSettings world = ReadWorld(R.World);
  if (R.World.Elements.Given()) E.Elements = world.Elements;
  if (world.RandomEnvironment) E.RandomEnvironment = true;
  if (world.Seed) S.Seed = world.Seed;
  ReadInt(R.Blocks, TExperimentSettings::BlocksRange, E.Blocks);
  if (R.Reproduction.Given()) E.Reproduction = ReadReproduction(R.Reproduction);
  if (R.Rates) E.RatesSelection = true;
  ReadReal(R.PCrossover, E.PCrossover);
  ReadReal(R.PMutation, E.PMutation);
  ReadReal(R.PNoise, E.PNoise);
  try {
    E.Validate();
  } catch (const TSettingsError& e) {
    throw TUsageError(e.what());
  }
  FinishWithFiles({R.World.Elements.Given(), R.World.Random, R.Rates, R.World.Seed.Given()}, S);
  // The run replaces a probability outside 0..1; the user is told which value it uses.
  const std::pair<const char*, const TTextOption*> probabilities[] = {
      {"PCrossover", &R.PCrossover}, {"PMutation", &R.PMutation}, {"PNoise", &R.PNoise}};
  TExperimentSettings normalised = E;
  for (const TCorrection& c : normalised.Normalise())
    for (const auto& [parameter, option] : probabilities)
      if (c.Parameter == parameter)
        Warnings.push_back(option->Given() ? option->Name() + " " + option->Text +
                                                 " is outside 0..1; the run uses " + ShortestReal(c.Used)
                                           : FileCorrectionWarning(S, c));
  CheckDistinctOutputs({&R.Report, &R.BestList, &R.Series, &R.Metadata, &R.SavePopulation});
  S.Report = R.Report.Text;
  S.BestList = R.BestList.Text;
  S.Series = R.Series.Text;
  ReadInt(R.Threads, 0, 1024, S.Threads);
  // More threads than cores only wait for each other (the results are the same).
  const int cores = UsableCores();
  if (S.Threads > cores) {
    Notes.push_back(R.Threads.Name() + " " + R.Threads.Text + ": " + std::to_string(cores) +
                    (cores == 1 ? " core is" : " cores are") + " available; the run uses " +
                    std::to_string(cores) + (cores == 1 ? " thread" : " threads"));
    S.Threads = cores;
  }
  return S;
}

// Five hexadecimal digits per block; a group with a field out of range is read as the
// all-zero block, which deserves a warning since the user probably meant something else.
// Positions and lengths count characters, not bytes, and a character is quoted whole.
void ReadProgram(const std::string& Option, const std::string& Text, std::vector<std::string>& Warnings) {
  if (Text.empty())
    throw TUsageError(Option + ": the program is empty; it takes five hexadecimal digits per block");
  std::size_t at = 0;
  for (std::size_t character = 1; at < Text.size(); ++character) {
    const std::size_t length = std::max<std::size_t>(Utf8Length(std::string_view(Text).substr(at)), 1);
    if (!std::isxdigit(static_cast<unsigned char>(Text[at])))
      throw TUsageError(Option + ": '" + Text.substr(at, length) + "', character " +
                        std::to_string(character) + " of '" + Text + "', is not a hexadecimal digit");
    at += length;
  }
  // Every character is a hexadecimal digit now, one byte each.
  const std::size_t blocks = Text.size() / 5;
  if (Text.size() % 5 != 0)
    throw TUsageError(Option + ": '" + Text + "' has " + std::to_string(Text.size()) +
                      " characters, not five per block");
  if (blocks > static_cast<std::size_t>(TZEL::MaxBlocks))
    throw TUsageError(Option + ": " + std::to_string(blocks) + " blocks, at most " +
                      std::to_string(TZEL::MaxBlocks));
  for (std::size_t b = 0; b < blocks; ++b) {
    const std::string group = Text.substr(5 * b, 5);
    TFuzzyBlock block{HexCharToInt(group[0]), HexCharToInt(group[1]), HexCharToInt(group[2]),
                      HexCharToInt(group[3]), HexCharToInt(group[4])};
    if (!block.IsValid())
      Warnings.push_back(Option + ": group " + std::to_string(b + 1) + " '" + group +
                         "' has a digit out of its field's range; it becomes the all-zero block");
  }
}

// The option an argument names: "--seed" for both "--seed" and "--seed=5".
std::string OptionName(const std::string& Argument) {
  if (Argument.size() < 2 || Argument[0] != '-') return "";
  return Argument.substr(0, Argument.find('='));
}

bool TakesValue(const CLI::Option& Opt) {
  return Opt.get_expected_min() > 0;
}

// The library's own wording, for what the arguments' first reading lets through.
[[noreturn]] void Rethrow(const CLI::ParseError& E) {
  throw TUsageError(E.what());
}

// Reads the arguments once before the library does, for the mistakes that it reports in
// its own terms or not at all: a value left out (the library would take the next option
// as the value), an option given twice, an argument that belongs to no option, options
// before the subcommand.
std::vector<const CLI::App*> Subcommands(const CLI::App& App) {
  return App.get_subcommands([](const CLI::App* Sub) { return Sub != nullptr; });
}

// An option that may be given again, each time adding a value (sweep plan --vary).
bool Repeatable(const CLI::Option& Opt) {
  return Opt.get_multi_option_policy() == CLI::MultiOptionPolicy::TakeAll;
}

bool TakesPositionals(const CLI::App& App) {
  for (const CLI::Option* opt : App.get_options())
    if (opt->get_positional()) return true;
  return false;
}

void CheckArguments(const CLI::App& App, int Argc, const char* const* Argv) {
  std::set<std::string> options;
  const std::function<void(const CLI::App&)> collect = [&](const CLI::App& From) {
    for (const CLI::Option* opt : From.get_options()) {
      for (const std::string& name : opt->get_lnames())
        options.insert("--" + name);
      for (const std::string& name : opt->get_snames())
        options.insert("-" + name);
    }
    for (const CLI::App* sub : Subcommands(From))
      collect(*sub);
  };
  collect(App);

  const CLI::App* chosen = nullptr;
  std::set<std::string> given;
  for (int i = 1; i < Argc; ++i) {
    const std::string argument = Argv[i];
    const std::string name = OptionName(argument);
    if (chosen == nullptr) {
      for (const CLI::App* sub : Subcommands(App))
        if (sub->check_name(argument)) chosen = sub;
      if (chosen != nullptr || App.get_option_no_throw(name) != nullptr) continue;
      if (options.count(name) != 0)
        throw TUsageError(name + " comes before the subcommand; options follow it, as in 'zelworld-cli run " +
                          name + " ...'");
      if (!name.empty())
        throw TUsageError(name + " is not an option of zelworld-cli; see zelworld-cli --help");
      throw TUsageError("'" + argument +
                        "' is not a subcommand; use run, batch, environment, develop or sweep");
    }
    if (argument == "--") return;
    if (name.empty()) {
      // A subcommand of the subcommand (sweep plan), or an argument of its own (sweep run PLAN).
      const CLI::App* nested = nullptr;
      for (const CLI::App* sub : Subcommands(*chosen))
        if (sub->check_name(argument)) nested = sub;
      if (nested != nullptr) {
        chosen = nested;
        given.clear();
        continue;
      }
      if (TakesPositionals(*chosen)) continue;
    }
    const CLI::Option* opt = name.empty() ? nullptr : chosen->get_option_no_throw(name);
    if (opt == nullptr) {
      if (!name.empty())
        throw TUsageError(name + " is not an option of " + chosen->get_name() + "; see zelworld-cli " +
                          chosen->get_name() + " --help");
      throw TUsageError("'" + argument +
                        "' belongs to no option; a value follows its option, as in --seed 5");
    }
    if (!given.insert(name).second && !Repeatable(*opt)) throw TUsageError(name + " is given more than once");
    if (!TakesValue(*opt)) continue;
    if (argument.find('=') != std::string::npos) continue;
    if (i + 1 == Argc) throw TUsageError(name + " needs a value (" + opt->get_type_name() + ")");
    const std::string next = OptionName(Argv[i + 1]);
    if (options.count(next) != 0)
      throw TUsageError(name + " needs a value (" + opt->get_type_name() +
                        "), but is followed by the option " + next);
    ++i;
  }
}

} // namespace

long long ParseInteger(const std::string& Option, const std::string& Text, long long Lo, long long Hi) {
  std::string_view s = Text;
  if (s.size() > 1 && s[0] == '+' && s[1] != '-') s.remove_prefix(1);
  long long value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  const bool whole = end == s.data() + s.size();
  if (ec == std::errc::invalid_argument || !whole || s.empty())
    throw TUsageError(Option + ": '" + Text + "' is not an integer");
  if (ec == std::errc::result_out_of_range || value < Lo || value > Hi)
    throw TUsageError(Option + ": " + Text + " is outside " + std::to_string(Lo) + ".." + std::to_string(Hi));
  return value;
}

double ParseReal(const std::string& Option, const std::string& Text) {
  std::string_view s = Text;
  if (s.size() > 1 && s[0] == '+' && s[1] != '-') s.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range)
    throw TUsageError(Option + ": '" + Text + "' is out of the range of a double");
  if (ec != std::errc{} || end != s.data() + s.size() || !std::isfinite(value))
    throw TUsageError(Option + ": '" + Text + "' is not a valid floating point value");
  return value;
}

TCommandLine ParseCommandLine(int Argc, const char* const* Argv) {
  CLI::App app("Runs ZELWorld's simulations without a window.", "zelworld-cli");
  app.require_subcommand(1);
  app.failure_message(CLI::FailureMessage::simple);

  TRunOptions run, batch;
  AddRun(*app.add_subcommand("run", "one simulation run, as the window's \"Start Simulation\""), run, true);
  AddRun(*app.add_subcommand("batch", "a batch of ten runs, as the window's \"Batch\""), batch, false);

  TWorldOptions envWorld;
  bool envJson = false;
  CLI::App* env = app.add_subcommand("environment", "print the environment's degrees");
  AddWorld(*env, envWorld, true);
  env->add_flag("--json", envJson, "write JSON");

  TWorldOptions devWorld;
  TTextOption program, devBlocks, devEnvironment;
  bool devJson = false;
  CLI::App* dev = app.add_subcommand("develop", "develop a program against the environment and measure it");
  AddText(*dev, program, "--program", "TEXT", "the program, five hexadecimal digits per block");
  program.Opt->required();
  AddWorld(*dev, devWorld, false);
  AddText(*dev, devEnvironment, "--environment", "FILE",
          "measure against the environment of an environment file (instead of --elements)");
  AddText(*dev, devBlocks, "--blocks", "B", "blocks to develop, 1..32 (default: the blocks in TEXT)");
  dev->add_flag("--json", devJson, "write JSON");

  const TSweepOptions sweep(app);
  app.set_version_flag("--version", std::string("zelworld-cli ") + ZEL_VERSION,
                       "print the program's version and exit");
  CheckArguments(app, Argc, Argv);

  TCommandLine result;
  try {
    app.parse(Argc, Argv);
  } catch (const CLI::CallForHelp&) {
    result.HelpText = app.help();
    return result;
  } catch (const CLI::CallForAllHelp&) {
    result.HelpText = app.help("", CLI::AppFormatMode::All);
    return result;
  } catch (const CLI::CallForVersion& e) {
    result.HelpText = std::string(e.what()) + "\n";
    return result;
  } catch (const CLI::ParseError& e) {
    Rethrow(e);
  }

  const CLI::App* chosen = app.get_subcommands().front();
  const std::string name = chosen->get_name();
  if (name == "run" || name == "batch") {
    result.Command = name == "run" ? TCommand::Run : TCommand::Batch;
    result.Run = ReadRun(name == "run" ? run : batch, result.Warnings, result.Notes);
  } else if (name == "environment") {
    result.Command = TCommand::Environment;
    result.Environment.World = ReadWorld(envWorld);
    result.Environment.Json = envJson;
  } else if (name == "sweep") {
    result.Command = TCommand::Sweep;
    result.Sweep = sweep.Read(Argc, Argv);
  } else {
    result.Command = TCommand::Develop;
    ReadProgram(program.Name(), program.Text, result.Warnings);
    result.Develop.Program = program.Text;
    result.Develop.World = ReadWorld(devWorld);
    if (devEnvironment.Given())
      UseEnvironmentFile(devEnvironment.Text, devWorld.Elements.Given(), devWorld.Random, result.Develop);
    else if (!devWorld.Elements.Given())
      throw TUsageError("--elements is required");
    result.Develop.Blocks = static_cast<int>(program.Text.size() / 5);
    ReadInt(devBlocks, 1, TZEL::MaxBlocks, result.Develop.Blocks);
    // As the list window says when a program is shorter than the block count.
    const int programBlocks = static_cast<int>(program.Text.size() / 5);
    if (programBlocks < result.Develop.Blocks)
      result.Notes.push_back("Developed " + std::to_string(programBlocks) + " of " +
                             std::to_string(result.Develop.Blocks) + " blocks");
    result.Develop.Json = devJson;
  }
  return result;
}

} // namespace ZelCli
