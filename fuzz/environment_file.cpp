// libFuzzer target: environment files. Any input must end in an environment of 1..2048
// degrees 0..100, or a TFileError.

#include "Experiment/EnvironmentFile.h"
#include "Experiment/FileText.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string text(reinterpret_cast<const char*>(Data), Size);
  try {
    const TFuzzySet set = ReadEnvironmentText(text, "environment.json");
    if (set.Count() < 1 || set.Count() > 2048) __builtin_trap();
    for (const auto d : set.Values())
      if (d < 0 || d > 100) __builtin_trap();
  } catch (const TFileError&) {
  }
  return 0;
}
