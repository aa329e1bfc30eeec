// Included first in every file of the WebAssembly build: the C++ library of Debian's
// emscripten (3.1.6) has std::to_chars and std::from_chars for integers only. These add
// the floating-point forms the command line uses, on top of the C library's exactly
// rounded printf and strtod: the shortest text that reads back to the same double (fixed
// or scientific, whichever is shorter, fixed on a tie), a given number of digits, and
// reading a general-format real.
#pragma once

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace zel_charconv_compat {
// Text copied to First .. Last, or value_too_large when it does not fit.
inline std::to_chars_result CopyOut(char* First, char* Last, const std::string& Text) {
  if (Last - First < static_cast<std::ptrdiff_t>(Text.size())) return {Last, std::errc::value_too_large};
  std::memcpy(First, Text.data(), Text.size());
  return {First + Text.size(), std::errc{}};
}
} // namespace zel_charconv_compat

namespace std {
// The shortest text that reads back to Value, in fixed or scientific notation as Format
// asks; general takes the shorter of the two, fixed on a tie.
inline to_chars_result to_chars(char* First, char* Last, double Value, chars_format Format) {
  std::string text;
  if (std::signbit(Value)) text = "-";
  if (std::isnan(Value)) {
    text += "nan";
  } else if (std::isinf(Value)) {
    text += "inf";
  } else if (Value == 0) {
    text += "0";
  } else {
    char buf[40];
    int precision = 1;
    for (; precision < 17; ++precision) {
      std::snprintf(buf, sizeof buf, "%.*e", precision - 1, Value);
      if (std::strtod(buf, nullptr) == Value) break;
    }
    std::snprintf(buf, sizeof buf, "%.*e", precision - 1, std::fabs(Value));
    std::string digits;
    const char* p = buf;
    for (; *p != 'e'; ++p)
      if (*p != '.') digits += *p;
    const int exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.back() == '0')
      digits.pop_back();
    const int n = static_cast<int>(digits.size());
    std::string scientific = digits.substr(0, 1);
    if (n > 1) scientific += "." + digits.substr(1);
    char e[16];
    std::snprintf(e, sizeof e, "e%c%02d", exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
    scientific += e;
    std::string fixed;
    if (exponent >= n - 1) { // a whole number: fixed notation gives all its digits exactly
      char whole[400];
      std::snprintf(whole, sizeof whole, "%.0f", std::fabs(Value));
      fixed = whole;
    } else if (exponent >= 0)
      fixed = digits.substr(0, static_cast<std::size_t>(exponent + 1)) + "." +
              digits.substr(static_cast<std::size_t>(exponent + 1));
    else
      fixed = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    if (Format == chars_format::fixed)
      text += fixed;
    else if (Format == chars_format::scientific)
      text += scientific;
    else
      text += fixed.size() <= scientific.size() ? fixed : scientific;
  }
  return zel_charconv_compat::CopyOut(First, Last, text);
}

// Value with Precision digits after the point (in scientific notation, after the first
// digit), correctly rounded, ties to even, as printf gives them.
inline to_chars_result to_chars(char* First, char* Last, double Value, chars_format Format, int Precision) {
  const char* const form = Format == chars_format::scientific ? "%.*e"
                           : Format == chars_format::fixed    ? "%.*f"
                                                              : "%.*g";
  const int n = std::snprintf(nullptr, 0, form, Precision, Value);
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(text.data(), text.size(), form, Precision, Value);
  text.pop_back();
  return zel_charconv_compat::CopyOut(First, Last, text);
}

inline to_chars_result to_chars(char* First, char* Last, double Value) {
  return to_chars(First, Last, Value, chars_format::general);
}

inline from_chars_result from_chars(const char* First, const char* Last, double& Value,
                                    chars_format = chars_format::general) {
  // The longest prefix of the form [-](digits[.digits]|.digits)[(e|E)[+|-]digits], or
  // [-]inf, [-]infinity, [-]nan in any case; no leading blanks or plus sign.
  const char* p = First;
  if (p != Last && *p == '-') ++p;
  auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); };
  auto word = [&](const char* w) {
    const char* q = p;
    for (; *w != '\0'; ++w, ++q)
      if (q == Last || lower(*q) != *w) return static_cast<const char*>(nullptr);
    return q;
  };
  const char* end = nullptr;
  if (const char* q = word("infinity")) end = q;
  else if (const char* q2 = word("inf")) end = q2;
  else if (const char* q3 = word("nan")) end = q3;
  else {
    const char* q = p;
    bool digits = false;
    while (q != Last && *q >= '0' && *q <= '9') ++q, digits = true;
    if (q != Last && *q == '.') {
      ++q;
      while (q != Last && *q >= '0' && *q <= '9') ++q, digits = true;
    }
    if (!digits) return {First, errc::invalid_argument};
    end = q;
    if (q != Last && (*q == 'e' || *q == 'E')) {
      ++q;
      if (q != Last && (*q == '+' || *q == '-')) ++q;
      const char* x = q;
      while (q != Last && *q >= '0' && *q <= '9') ++q;
      if (q != x) end = q;
    }
  }
  const std::string text(First, end);
  errno = 0;
  const double v = std::strtod(text.c_str(), nullptr);
  // Denormal results are values like any other; only overflow and underflow to 0 are out of range.
  if (errno == ERANGE && (std::isinf(v) || v == 0)) return {end, errc::result_out_of_range};
  Value = v;
  return {end, errc{}};
}
} // namespace std
