#include "Experiment/FloatText.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <system_error>

namespace {
bool IsNumberChar(char C) {
  return (C >= '0' && C <= '9') || C == '.' || C == 'e' || C == 'E' || C == '-' || C == '+';
}
} // namespace

double StrToFloat(const std::string& Text) {
  const char* first = Text.data();
  const char* last = first + Text.size();
  while (first < last && *first == ' ')
    ++first;
  while (last > first && last[-1] == ' ')
    --last;
  if (last - first > 1 && *first == '+' && first[1] != '-' && first[1] != '+') ++first;
  // Only digits, a point, signs and an exponent make a decimal real: "inf" and "nan" do not.
  double value = 0;
  if (first < last && std::all_of(first, last, IsNumberChar)) {
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error == std::errc() && end == last) return value;
  }
  throw std::invalid_argument("'" + Text + "' is not a valid floating point value");
}
