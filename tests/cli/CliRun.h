#pragma once
// The command-line test helpers under the names the file and sweep tests use.

#include "CliTestSupport.h"

namespace CliTest {
using ::ReadFile;
using ::RunCli;
using ::TCliResult;
using ::TScratchDir;
} // namespace CliTest
