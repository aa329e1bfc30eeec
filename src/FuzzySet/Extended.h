#pragma once
// The extended format in which the rules compute their rounded quantities: a 64-bit
// significand and a 15-bit exponent, rounding to nearest with ties to even after every
// operation. Where the compiler's long double is that format (x86), TExtended is long
// double itself; elsewhere (binary128 on aarch64 and WebAssembly, plain double on some
// others) it is TSoftExtended, which computes the same values in integer arithmetic.
// The exponential is computed in software everywhere, so that it does not depend on the
// processor's own approximation.

#include <cfloat>
#include <concepts>
#include <cstdint>
#include <type_traits>

class TSoftExtended {
public:
  constexpr TSoftExtended() = default;
  template <std::integral I> TSoftExtended(I Value) { // NOLINT: converts like the built-in type
    if constexpr (std::is_signed_v<I>)
      *this = FromInt(static_cast<std::int64_t>(Value));
    else
      *this = FromUnsigned(static_cast<std::uint64_t>(Value), false);
  }
  TSoftExtended(double Value); // NOLINT: exact

  // The parts: the value is (-1)^Negative * Significand * 2^(Exponent - 63), with the
  // significand's top bit set, or zero when the significand is 0.
  static TSoftExtended FromParts(bool Negative, std::int32_t Exponent, std::uint64_t Significand);
  bool Negative() const { return Neg; }
  std::int32_t Exponent() const { return Ex; }
  std::uint64_t Significand() const { return Sig; }
  bool IsNaN() const { return Kind == TKind::NaN; }
  bool IsInfinite() const { return Kind == TKind::Infinite; }

  // Rounded to the nearest double, ties to even.
  explicit operator double() const;
  // The nearest integral value, ties to even (as the default rounding mode does).
  TSoftExtended RoundToIntegral() const;
  // e^x as the x87 computes it, with an exactly rounded 2^f - 1 where the processor uses
  // its own approximation.
  TSoftExtended Exp() const;

  friend TSoftExtended operator+(const TSoftExtended& A, const TSoftExtended& B);
  friend TSoftExtended operator-(const TSoftExtended& A, const TSoftExtended& B);
  friend TSoftExtended operator*(const TSoftExtended& A, const TSoftExtended& B);
  friend TSoftExtended operator/(const TSoftExtended& A, const TSoftExtended& B);
  TSoftExtended operator-() const {
    TSoftExtended r = *this;
    r.Neg = !r.Neg;
    return r;
  }
  friend bool operator==(const TSoftExtended& A, const TSoftExtended& B);
  friend bool operator<(const TSoftExtended& A, const TSoftExtended& B);
  friend bool operator>(const TSoftExtended& A, const TSoftExtended& B) { return B < A; }
  friend bool operator<=(const TSoftExtended& A, const TSoftExtended& B) { return A < B || A == B; }
  friend bool operator>=(const TSoftExtended& A, const TSoftExtended& B) { return B <= A; }

#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384
  // Exact conversions where the native long double is the same format.
  explicit TSoftExtended(long double Value);
  explicit operator long double() const;
#endif

private:
  enum class TKind : std::uint8_t { Finite, Infinite, NaN };
  static TSoftExtended FromInt(std::int64_t Value);
  static TSoftExtended FromUnsigned(std::uint64_t Magnitude, bool Negative);
  bool IsZero() const {
    return Kind == TKind::Finite && Sig == 0;
  }

  TKind Kind = TKind::Finite;
  bool Neg = false;
  std::int32_t Ex = 0;
  std::uint64_t Sig = 0;
};

#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384 && !defined(ZEL_SOFT_EXTENDED)
#define ZEL_NATIVE_EXTENDED 1
using TExtended = long double;
#else
#define ZEL_NATIVE_EXTENDED 0
using TExtended = TSoftExtended;
#endif

namespace Extended {
// The nearest integer, ties to even.
std::int64_t Round(const TSoftExtended& V);
double ToDouble(const TSoftExtended& V);
TSoftExtended Exp(const TSoftExtended& V);
#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384
std::int64_t Round(long double V);
double ToDouble(long double V);
long double Exp(long double V);
#else
// A long double of another format must not pass through a double unnoticed.
std::int64_t Round(long double V) = delete;
double ToDouble(long double V) = delete;
long double Exp(long double V) = delete;
#endif
} // namespace Extended
