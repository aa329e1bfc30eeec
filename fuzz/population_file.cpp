// libFuzzer target: population files. Any input must end in a population or a TFileError;
// what is read must write out and read back unchanged.

#include "Experiment/FileText.h"
#include "Experiment/PopulationFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string text(reinterpret_cast<const char*>(Data), Size);
  try {
    const std::string again = PopulationText(ReadPopulationText(text, "population.json"));
    if (PopulationText(ReadPopulationText(again, "again.json")) != again) __builtin_trap();
  } catch (const TFileError&) {
  }
  return 0;
}
