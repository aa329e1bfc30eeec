// Program texts as the list window and the command line read them: TZEL::FromText on any
// bytes, and the command line's check of --program.

#include "FuzzCheck.h"
#include "ZEL/ZEL.h"
#include "cli/CommandLine.h"

#include <cctype>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string text(reinterpret_cast<const char*>(Data), Size);

  TZEL program;
  program.FromText(text);
  FUZZ_CHECK(program.Count() >= 0 && program.Count() <= TZEL::MaxBlocks);
  if (text.size() % 5 != 0) FUZZ_CHECK(program.Count() == 0);
  // The text form of a program reads back as the same program.
  const std::string written = program.ToText();
  FUZZ_CHECK(written.size() == static_cast<std::size_t>(5 * program.Count()));
  TZEL again;
  again.FromText(written);
  FUZZ_CHECK(again == program);
  FUZZ_CHECK(again.ToText() == written);

  // An argument ends at its first NUL.
  const std::string argument = text.substr(0, text.find('\0'));
  const char* argv[] = {"zelworld-cli", "develop", "--elements", "7",
                        "--seed",       "1",       "--program",  argument.c_str()};
  try {
    const ZelCli::TCommandLine line = ZelCli::ParseCommandLine(8, argv);
    // Accepted: whole blocks of hexadecimal digits, at most the program's limit.
    FUZZ_CHECK(line.Develop.Program == argument);
    FUZZ_CHECK(!argument.empty() && argument.size() % 5 == 0 && argument.size() <= 5 * TZEL::MaxBlocks);
    for (char c : argument)
      FUZZ_CHECK(std::isxdigit(static_cast<unsigned char>(c)));
    TZEL parsed;
    parsed.FromText(argument);
    FUZZ_CHECK(parsed.Count() == static_cast<int>(argument.size() / 5));
  } catch (const ZelCli::TUsageError&) {
  }
  return 0;
}
