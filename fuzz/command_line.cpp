// The whole command line: any arguments (the input split at NUL bytes) either give
// settings within their ranges or a usage error; nothing else escapes.

#include "FuzzCheck.h"
#include "ZEL/ZEL.h"
#include "cli/CommandLine.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  std::vector<std::string> words = {"zelworld-cli"};
  std::string word;
  for (std::size_t i = 0; i < Size; ++i) {
    if (Data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(Data[i]);
    }
  }
  if (!word.empty()) words.push_back(word);
  std::vector<const char*> argv;
  for (const std::string& w : words)
    argv.push_back(w.c_str());
  try {
    const ZelCli::TCommandLine line = ZelCli::ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    switch (line.Command) {
    case ZelCli::TCommand::Help:
      FUZZ_CHECK(!line.HelpText.empty());
      break;
    case ZelCli::TCommand::Run:
    case ZelCli::TCommand::Batch: {
      const ZelCli::TRunSettings& s = line.Run;
      const TExperimentSettings& e = s.Experiment;
      FUZZ_CHECK(e.PopSize >= 2 && e.PopSize <= 1000 && e.Generations >= 1 && e.Generations <= 1000);
      FUZZ_CHECK(e.Elements >= 1 && e.Elements <= 2048 && e.Blocks >= 1 && e.Blocks <= 32);
      FUZZ_CHECK(static_cast<int>(e.Reproduction) >= 0 && static_cast<int>(e.Reproduction) <= 2 &&
                 s.Threads >= 0 && s.Threads <= 1024);
      FUZZ_CHECK(!s.Report.empty());
      break;
    }
    case ZelCli::TCommand::Environment:
      FUZZ_CHECK(line.Environment.World.Elements >= 1 && line.Environment.World.Elements <= 2048);
      break;
    case ZelCli::TCommand::Develop:
      FUZZ_CHECK(line.Develop.Blocks >= 1 && line.Develop.Blocks <= TZEL::MaxBlocks);
      FUZZ_CHECK(!line.Develop.Program.empty() && line.Develop.Program.size() % 5 == 0);
      break;
    case ZelCli::TCommand::Sweep:
      break;
    }
  } catch (const ZelCli::TUsageError& e) {
    FUZZ_CHECK(e.what()[0] != '\0');
  }
  return 0;
}
