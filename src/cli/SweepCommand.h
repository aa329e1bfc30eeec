#pragma once
// `zelworld-cli sweep plan|run|aggregate`.

#include "Experiment/SweepRun.h"
#include "cli/Commands.h"
#include "cli/SweepCommandLine.h"

#include <chrono>
#include <string>

namespace ZelCli {

// Failures are thrown as std::exception; a refused plan names its line and column.
void SweepCommand(const TSweepSettings& Settings, TConsole Console);

// The progress line of a sweep, without the carriage return; exposed for the tests.
std::string SweepProgressLine(const TSweepProgress& Progress, std::chrono::seconds Elapsed);

} // namespace ZelCli
