#include "cli/Messages.h"

#include <array>

namespace ZelCli {

std::size_t Utf8Length(std::string_view Text) {
  if (Text.empty()) return 0;
  const auto byte = [&](std::size_t I) { return static_cast<unsigned char>(Text[I]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07u;
  } else {
    return 0;
  }
  if (Text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0u) != 0x80u) return 0;
    value = (value << 6) | (byte(i) & 0x3Fu);
  }
  // The shortest form only, no surrogates, nothing beyond the last code point.
  static constexpr std::array<char32_t, 5> smallest = {0, 0, 0x80, 0x800, 0x10000};
  if (value < smallest[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
  return length;
}

std::size_t CharacterCount(std::string_view Text) {
  std::size_t count = 0;
  while (!Text.empty()) {
    const std::size_t length = Utf8Length(Text);
    Text.remove_prefix(length == 0 ? 1 : length);
    ++count;
  }
  return count;
}

std::string Escape(std::string_view Text) {
  static const char* const digits = "0123456789ABCDEF";
  std::string out;
  out.reserve(Text.size());
  const auto hex = [&](unsigned char Byte) {
    out += "\\x";
    out += digits[Byte >> 4];
    out += digits[Byte & 0x0F];
  };
  while (!Text.empty()) {
    const unsigned char c = static_cast<unsigned char>(Text[0]);
    const std::size_t length = Utf8Length(Text);
    if (length == 0) {
      hex(c);
      Text.remove_prefix(1);
      continue;
    }
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c == 0x7F) {
      hex(c);
    } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(Text[1]) < 0xA0) {
      // C1 controls, U+0080..U+009F, which some terminals obey as commands.
      hex(c);
      hex(static_cast<unsigned char>(Text[1]));
    } else {
      out.append(Text.substr(0, length));
    }
    Text.remove_prefix(length);
  }
  return out;
}

} // namespace ZelCli
