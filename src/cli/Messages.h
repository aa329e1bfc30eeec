#pragma once
// Texts that came from outside (file names, option values) shown safely in one line of a
// terminal: control characters and bytes that are not UTF-8 are written as escapes, so a
// message can neither span two lines nor send commands to the terminal.

#include <cstddef>
#include <string>
#include <string_view>

namespace ZelCli {

// The length in bytes of the UTF-8 character that starts Text, or 0 when Text does not
// start with a valid one (a stray continuation byte, an overlong form, a surrogate, a
// value above U+10FFFF or a sequence cut short).
std::size_t Utf8Length(std::string_view Text);

// Characters as a user counts them: each valid UTF-8 character once, each invalid byte once.
std::size_t CharacterCount(std::string_view Text);

// Text with \n, \r, \t and \\ kept readable as two characters, every other control
// character (C0, DEL, C1) and every invalid byte written as \xHH; everything else as is.
std::string Escape(std::string_view Text);

} // namespace ZelCli
