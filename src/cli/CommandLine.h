#pragma once
// The command line of zelworld-cli: its subcommands and options, read into plain
// settings. Every number is read and checked here, so a command starts only with
// settings that it can carry out.

#include "Experiment/ExperimentSettings.h"
#include "cli/FileOptions.h"
#include "cli/SweepCommandLine.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace ZelCli {

// A command line that cannot be carried out as given (exit status 2).
class TUsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// What every command needs to build the environment.
struct TWorldSettings {
  int Elements = 100;
  bool RandomEnvironment = false;
  // Without a seed the time of day is taken, and printed so the command can be repeated.
  std::optional<std::uint32_t> Seed;
};

// The window's controls for the start and batch commands, and where the outputs go.
struct TRunSettings {
  TExperimentSettings Experiment;
  // Without a seed the time of day is taken, and printed so the command can be repeated.
  std::optional<std::uint32_t> Seed;
  std::string Report;
  std::string BestList;
  std::string Series;
  int Threads = 0;
  TFileSettings Files;
};

struct TEnvironmentSettings {
  TWorldSettings World;
  bool Json = false;
};

struct TDevelopSettings {
  TWorldSettings World;
  std::string Program;
  // The block count of the temporary agent; by default the number of blocks in Program.
  int Blocks = 0;
  bool Json = false;
  // From --environment: measured against it instead of the settings' environment.
  std::optional<TFuzzySet> OwnEnvironment;
};

enum class TCommand { Help, Run, Batch, Environment, Develop, Sweep };

struct TCommandLine {
  TCommand Command = TCommand::Help;
  std::string HelpText;
  TRunSettings Run;
  TEnvironmentSettings Environment;
  TDevelopSettings Develop;
  TSweepSettings Sweep;
  // Things worth telling the user that do not stop the command.
  std::vector<std::string> Warnings;
  // What the command did differently from what was asked, without anything being wrong.
  std::vector<std::string> Notes;
};

// Reads the arguments (Argv[0] being the program name), and the files that the options name.
// Throws TUsageError; a file that there is not enough memory to read raises
// std::runtime_error naming it.
TCommandLine ParseCommandLine(int Argc, const char* const* Argv);

// An integer Lo..Hi; Option names the option in the error message.
long long ParseInteger(const std::string& Option, const std::string& Text, long long Lo, long long Hi);
// A finite decimal number, correctly rounded to double; no range check.
double ParseReal(const std::string& Option, const std::string& Text);

} // namespace ZelCli
