// The numbers of the command line: integers in a range and finite reals.

#include "FuzzCheck.h"
#include "cli/CommandLine.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  // The first byte picks a range, so that narrow and wide ones are both tried.
  if (Size == 0) return 0;
  static const long long ranges[][2] = {{0, 4294967295LL}, {1, 2048}, {2, 1000}, {-5, 5}, {0, 0}};
  const auto& range = ranges[Data[0] % 5];
  const std::string text(reinterpret_cast<const char*>(Data + 1), Size - 1);
  try {
    const long long value = ZelCli::ParseInteger("--n", text, range[0], range[1]);
    FUZZ_CHECK(value >= range[0] && value <= range[1]);
    // What was accepted is that number written in another way (a sign, leading zeros).
    FUZZ_CHECK(ZelCli::ParseInteger("--n", std::to_string(value), range[0], range[1]) == value);
  } catch (const ZelCli::TUsageError& e) {
    FUZZ_CHECK(std::strncmp(e.what(), "--n: ", 5) == 0);
  }
  try {
    const double value = ZelCli::ParseReal("--p", text);
    FUZZ_CHECK(std::isfinite(value));
  } catch (const ZelCli::TUsageError& e) {
    FUZZ_CHECK(std::strncmp(e.what(), "--p: ", 5) == 0);
  }
  return 0;
}
