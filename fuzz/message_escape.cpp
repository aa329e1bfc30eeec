// Texts from outside shown in messages: whatever the bytes, the escaped text is valid
// UTF-8 without control characters, so it stays on one line and sends the terminal nothing.

#include "FuzzCheck.h"
#include "cli/Messages.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  const std::string shown = ZelCli::Escape(text);
  std::string_view rest = shown;
  while (!rest.empty()) {
    const std::size_t length = ZelCli::Utf8Length(rest);
    FUZZ_CHECK(length > 0);
    const auto first = static_cast<unsigned char>(rest[0]);
    FUZZ_CHECK(first >= 0x20 && first != 0x7F);
    FUZZ_CHECK(!(first == 0xC2 && static_cast<unsigned char>(rest[1]) < 0xA0));
    rest.remove_prefix(length);
  }
  // Nothing is lost: every character of the text is still there, one way or another.
  FUZZ_CHECK(ZelCli::CharacterCount(shown) >= ZelCli::CharacterCount(text));
  return 0;
}
