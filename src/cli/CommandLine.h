#pragma once
// The command line of zelworld-cli: its subcommands and options, read into plain
// settings. Every number is read and checked here, so a command starts only with
// settings that it can carry out.

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

// The window's controls for the start and batch commands.
struct TRunSettings {
  TWorldSettings World;
  int PopSize = 100;
  int Generations = 100;
  int Blocks = 8;
  int ReproductionType = 1;
  bool RatesSelection = false;
  double PCrossover = 1.0;
  double PMutation = 0.0001;
  double PNoise = 0.0001;
  std::string Report;
  std::string BestList;
  std::string Series;
  int Threads = 0;
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
};

enum class TCommand { Help, Run, Batch, Environment, Develop };

struct TCommandLine {
  TCommand Command = TCommand::Help;
  std::string HelpText;
  TRunSettings Run;
  TEnvironmentSettings Environment;
  TDevelopSettings Develop;
  // Things worth telling the user that do not stop the command.
  std::vector<std::string> Warnings;
  // What the command did differently from what was asked, without anything being wrong.
  std::vector<std::string> Notes;
};

// Reads the arguments (Argv[0] being the program name). Throws TUsageError.
TCommandLine ParseCommandLine(int Argc, const char* const* Argv);

// An integer Lo..Hi; Option names the option in the error message.
long long ParseInteger(const std::string& Option, const std::string& Text, long long Lo, long long Hi);
// A finite decimal number, correctly rounded to double; no range check.
double ParseReal(const std::string& Option, const std::string& Text);

} // namespace ZelCli
