#pragma once
// The commands of zelworld-cli, carried out in the order of the window's commands.

#include "cli/CommandLine.h"

#include <ostream>

namespace ZelCli {

struct TConsole {
  std::ostream& Out;
  std::ostream& Err;
  // The progress bar is drawn only on a terminal.
  bool ErrIsTerminal = false;
};

// Exit status: 0 done, 1 the command failed, 2 the command line is wrong.
int Main(int Argc, const char* const* Argv, TConsole Console);

// The commands themselves; failures are thrown as std::exception.
void RunCommand(const TRunSettings& Settings, bool Batch, TConsole Console);
void EnvironmentCommand(const TEnvironmentSettings& Settings, TConsole Console);
void DevelopCommand(const TDevelopSettings& Settings, TConsole Console);

} // namespace ZelCli
