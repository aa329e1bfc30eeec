// libFuzzer target: experiment files (and the records of runs, which are experiment files
// too). Any input must end in an experiment or a TFileError; what is read must write out
// and read back to the same experiment.

#include "Experiment/ExperimentFile.h"
#include "Experiment/FileText.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string text(reinterpret_cast<const char*>(Data), Size);
  try {
    const TExperimentFile file = ReadExperimentText(text, "experiment.json");
    const std::string again = ExperimentText(file);
    if (ExperimentText(ReadExperimentText(again, "again.json")) != again) __builtin_trap();
  } catch (const TFileError&) {
  }
  return 0;
}
