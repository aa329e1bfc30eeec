#include "FuzzySet/Extended.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
constexpr std::int32_t MaxExponent = 16383;
constexpr std::int32_t MinExponent = -16382; // of the normal numbers; below, precision is lost

// Unsigned 128-bit arithmetic from 64-bit halves, so that no compiler extension is needed.
struct U128 {
  std::uint64_t Hi = 0, Lo = 0;
};

bool IsZero(U128 A) {
  return (A.Hi | A.Lo) == 0;
}
bool Less(U128 A, U128 B) {
  return A.Hi != B.Hi ? A.Hi < B.Hi : A.Lo < B.Lo;
}
U128 Add(U128 A, U128 B) {
  const std::uint64_t lo = A.Lo + B.Lo;
  return {A.Hi + B.Hi + (lo < A.Lo ? 1u : 0u), lo};
}
U128 Sub(U128 A, U128 B) {
  return {A.Hi - B.Hi - (A.Lo < B.Lo ? 1u : 0u), A.Lo - B.Lo};
}
U128 ShiftLeft(U128 A, int N) {
  if (N <= 0) return A;
  if (N >= 128) return {};
  if (N >= 64) return {A.Lo << (N - 64), 0};
  return {(A.Hi << N) | (A.Lo >> (64 - N)), A.Lo << N};
}
U128 ShiftRight(U128 A, int N) {
  if (N <= 0) return A;
  if (N >= 128) return {};
  if (N >= 64) return {0, A.Hi >> (N - 64)};
  return {A.Hi >> N, (A.Lo >> N) | (A.Hi << (64 - N))};
}
// Shifted right, with any bit shifted out kept in the lowest bit.
U128 ShiftRightJam(U128 A, int N) {
  const U128 r = ShiftRight(A, N);
  return IsZero(Sub(A, ShiftLeft(r, N))) || N <= 0 ? r : U128{r.Hi, r.Lo | 1u};
}
int LeadingZeros(U128 A) {
  return A.Hi != 0 ? std::countl_zero(A.Hi) : 64 + std::countl_zero(A.Lo);
}
U128 Mul64(std::uint64_t A, std::uint64_t B) {
#if defined(__SIZEOF_INT128__)
  __extension__ using TWide = unsigned __int128;
  const TWide p = static_cast<TWide>(A) * B;
  return {static_cast<std::uint64_t>(p >> 64), static_cast<std::uint64_t>(p)};
#else
  const std::uint64_t a0 = A & 0xffffffffu, a1 = A >> 32, b0 = B & 0xffffffffu, b1 = B >> 32;
  const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const std::uint64_t mid = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32), (mid << 32) | (p00 & 0xffffffffu)};
#endif
}
// The 256-bit product of A and B as its high and low halves.
void Mul128(U128 A, U128 B, U128& High, U128& Low) {
  const U128 ll = Mul64(A.Lo, B.Lo), lh = Mul64(A.Lo, B.Hi), hl = Mul64(A.Hi, B.Lo), hh = Mul64(A.Hi, B.Hi);
  // Columns of 64 bits: ll.Lo | ll.Hi + lh.Lo + hl.Lo | lh.Hi + hl.Hi + hh.Lo | hh.Hi.
  U128 c1 = Add(U128{0, ll.Hi}, U128{0, lh.Lo});
  c1 = Add(c1, U128{0, hl.Lo});
  U128 c2 = Add(U128{0, lh.Hi}, U128{0, hl.Hi});
  c2 = Add(c2, U128{0, hh.Lo});
  c2 = Add(c2, U128{0, c1.Hi});
  Low = {c1.Lo, ll.Lo};
  High = {hh.Hi + c2.Hi, c2.Lo};
}
// A divided by a small divisor, truncated.
U128 DivSmall(U128 A, std::uint32_t D) {
  std::uint64_t rem = 0;
  std::uint32_t limbs[4] = {static_cast<std::uint32_t>(A.Hi >> 32), static_cast<std::uint32_t>(A.Hi),
                            static_cast<std::uint32_t>(A.Lo >> 32), static_cast<std::uint32_t>(A.Lo)};
  for (std::uint32_t& l : limbs) {
    const std::uint64_t cur = (rem << 32) | l;
    l = static_cast<std::uint32_t>(cur / D);
    rem = cur % D;
  }
  return {(static_cast<std::uint64_t>(limbs[0]) << 32) | limbs[1],
          (static_cast<std::uint64_t>(limbs[2]) << 32) | limbs[3]};
}
} // namespace

// Rounds M * 2^(E - 127), plus something below its lowest bit when Sticky, to the format.
// Below the normal range the significand keeps fewer bits, as the format's denormals do.
static TSoftExtended Pack(bool Negative, std::int32_t E, U128 M, bool Sticky) {
  if (IsZero(M)) return TSoftExtended::FromParts(Negative, 0, 0);
  const int lz = LeadingZeros(M);
  M = ShiftLeft(M, lz);
  E -= lz;
  int bits = 64;
  if (E < MinExponent) bits = 64 - (MinExponent - E);
  if (bits < 0) return TSoftExtended::FromParts(Negative, 0, 0);
  const int drop = 128 - bits;
  const U128 kept = ShiftRight(M, drop);
  const U128 rest = Sub(M, ShiftLeft(kept, drop));
  const U128 half = ShiftLeft(U128{0, 1}, drop - 1);
  std::uint64_t k = kept.Lo; // at most 64 bits
  bool up;
  if (Less(half, rest))
    up = true;
  else if (Less(rest, half))
    up = false;
  else
    up = Sticky || (k & 1u) != 0; // a tie only when nothing lies below
  if (up) {
    ++k;
    if (bits == 64 ? k == 0 : k == (std::uint64_t{1} << bits)) { // carried into a new bit
      k = std::uint64_t{1} << 63;
      ++E;
      bits = 64;
    }
  }
  if (k == 0) return TSoftExtended::FromParts(Negative, 0, 0);
  if (bits < 64) k <<= 64 - bits;
  if (E > MaxExponent) {
    TSoftExtended inf = TSoftExtended(std::numeric_limits<double>::infinity());
    return Negative ? -inf : inf;
  }
  return TSoftExtended::FromParts(Negative, E, k);
}

TSoftExtended TSoftExtended::FromParts(bool Negative, std::int32_t Exponent, std::uint64_t Significand) {
  TSoftExtended r;
  r.Neg = Negative;
  r.Ex = Significand == 0 ? 0 : Exponent;
  r.Sig = Significand;
  return r;
}

TSoftExtended TSoftExtended::FromUnsigned(std::uint64_t Magnitude, bool Negative) {
  return Pack(Negative, 127, U128{0, Magnitude}, false);
}

TSoftExtended TSoftExtended::FromInt(std::int64_t Value) {
  const std::uint64_t mag =
      Value < 0 ? 0 - static_cast<std::uint64_t>(Value) : static_cast<std::uint64_t>(Value);
  return FromUnsigned(mag, Value < 0);
}

TSoftExtended::TSoftExtended(double Value) {
  std::uint64_t bits;
  std::memcpy(&bits, &Value, sizeof bits);
  Neg = (bits >> 63) != 0;
  const int e = static_cast<int>((bits >> 52) & 0x7ff);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  if (e == 0x7ff) {
    Kind = m == 0 ? TKind::Infinite : TKind::NaN;
    return;
  }
  if (e == 0 && m == 0) return;
  std::int32_t x = e == 0 ? -1022 : e - 1023;
  if (e != 0) m |= std::uint64_t{1} << 52;
  const int lz = std::countl_zero(m);
  Sig = m << lz;
  Ex = x + 11 - lz;
}

bool operator==(const TSoftExtended& A, const TSoftExtended& B) {
  if (A.IsNaN() || B.IsNaN()) return false;
  if (A.IsZero() && B.IsZero()) return true;
  return A.Kind == B.Kind && A.Neg == B.Neg && A.Ex == B.Ex && A.Sig == B.Sig;
}

bool operator<(const TSoftExtended& A, const TSoftExtended& B) {
  if (A.IsNaN() || B.IsNaN() || A == B) return false;
  if (A.IsZero()) return !B.Neg;
  if (B.IsZero()) return A.Neg;
  if (A.Neg != B.Neg) return A.Neg;
  // Same sign: compare magnitudes, infinity above every finite value.
  bool magLess;
  if (A.IsInfinite() || B.IsInfinite())
    magLess = !A.IsInfinite();
  else
    magLess = A.Ex != B.Ex ? A.Ex < B.Ex : A.Sig < B.Sig;
  return A.Neg ? !magLess : magLess;
}

TSoftExtended operator+(const TSoftExtended& A, const TSoftExtended& B) {
  using K = TSoftExtended;
  if (A.IsNaN() || B.IsNaN()) return K(std::numeric_limits<double>::quiet_NaN());
  if (A.IsInfinite() || B.IsInfinite()) {
    if (A.IsInfinite() && B.IsInfinite() && A.Neg != B.Neg)
      return K(std::numeric_limits<double>::quiet_NaN());
    return A.IsInfinite() ? A : B;
  }
  if (A.IsZero()) return B.IsZero() ? K::FromParts(A.Neg && B.Neg, 0, 0) : B;
  if (B.IsZero()) return A;
  // The larger magnitude first; both significands with room for a carry above them.
  const bool swap = A.Ex < B.Ex || (A.Ex == B.Ex && A.Sig < B.Sig);
  const K& x = swap ? B : A;
  const K& y = swap ? A : B;
  const U128 mx = ShiftLeft(U128{0, x.Sig}, 63);
  const U128 my = ShiftRightJam(ShiftLeft(U128{0, y.Sig}, 63), x.Ex - y.Ex);
  if (x.Neg == y.Neg) return Pack(x.Neg, x.Ex + 1, Add(mx, my), false);
  const U128 d = Sub(mx, my);
  if (IsZero(d)) return K::FromParts(false, 0, 0);
  return Pack(x.Neg, x.Ex + 1, d, false);
}

TSoftExtended operator-(const TSoftExtended& A, const TSoftExtended& B) {
  return A + (-B);
}

TSoftExtended operator*(const TSoftExtended& A, const TSoftExtended& B) {
  using K = TSoftExtended;
  const bool neg = A.Neg != B.Neg;
  if (A.IsNaN() || B.IsNaN()) return K(std::numeric_limits<double>::quiet_NaN());
  if (A.IsInfinite() || B.IsInfinite()) {
    if (A.IsZero() || B.IsZero()) return K(std::numeric_limits<double>::quiet_NaN());
    const K inf(std::numeric_limits<double>::infinity());
    return neg ? -inf : inf;
  }
  if (A.IsZero() || B.IsZero()) return K::FromParts(neg, 0, 0);
  return Pack(neg, A.Ex + B.Ex + 1, Mul64(A.Sig, B.Sig), false);
}

TSoftExtended operator/(const TSoftExtended& A, const TSoftExtended& B) {
  using K = TSoftExtended;
  const bool neg = A.Neg != B.Neg;
  const K inf(std::numeric_limits<double>::infinity());
  if (A.IsNaN() || B.IsNaN() || (A.IsInfinite() && B.IsInfinite()) || (A.IsZero() && B.IsZero()))
    return K(std::numeric_limits<double>::quiet_NaN());
  if (A.IsInfinite() || B.IsZero()) return neg ? -inf : inf;
  if (A.IsZero() || B.IsInfinite()) return K::FromParts(neg, 0, 0);
  // 67 quotient bits: A.Sig / B.Sig * 2^66, truncated; Sticky when something remains.
  U128 q;
  bool sticky;
#if defined(__SIZEOF_INT128__)
  __extension__ using TWide = unsigned __int128;
  const TWide num = static_cast<TWide>(A.Sig) << 64;
  const TWide q1 = num / B.Sig, r1 = (num % B.Sig) << 2;
  const TWide q2 = (q1 << 2) | (r1 / B.Sig);
  q = {static_cast<std::uint64_t>(q2 >> 64), static_cast<std::uint64_t>(q2)};
  sticky = r1 % B.Sig != 0;
#else
  // Restoring division, a bit at a time.
  U128 rem{0, A.Sig};
  const U128 den{0, B.Sig};
  for (int i = 0; i <= 66; ++i) {
    q = ShiftLeft(q, 1);
    if (!Less(rem, den)) {
      rem = Sub(rem, den);
      q.Lo |= 1u;
    }
    rem = ShiftLeft(rem, 1);
  }
  sticky = !IsZero(rem);
#endif
  return Pack(neg, A.Ex - B.Ex + 61, q, sticky);
}

TSoftExtended::operator double() const {
  if (IsNaN()) return std::numeric_limits<double>::quiet_NaN();
  const double sign = Neg ? -1.0 : 1.0;
  if (IsInfinite()) return sign * std::numeric_limits<double>::infinity();
  if (Sig == 0) return sign * 0.0;
  if (Ex > 1023) return sign * std::numeric_limits<double>::infinity();
  // Doubles keep 53 bits down to 2^-1022, fewer below.
  int bits = 53;
  if (Ex < -1022) bits = 53 - (-1022 - Ex);
  if (bits < 0) return sign * 0.0;
  const int drop = 64 - bits;
  std::uint64_t kept = drop >= 64 ? 0 : Sig >> drop;
  const std::uint64_t rest = drop >= 64 ? Sig : Sig - (kept << drop);
  const std::uint64_t half = std::uint64_t{1} << (drop - 1);
  if (rest > half || (rest == half && (kept & 1u) != 0)) ++kept;
  // kept * 2^(Ex - bits + 1) is exact as a double (a carry only makes it a power of two).
  return sign * std::ldexp(static_cast<double>(kept), Ex - bits + 1);
}

TSoftExtended TSoftExtended::RoundToIntegral() const {
  if (Kind != TKind::Finite || Sig == 0 || Ex >= 63) return *this;
  if (Ex < -1) return FromParts(Neg, 0, 0); // below one half
  const int frac = 63 - Ex;                 // bits below the unit, 1..64
  const std::uint64_t kept = frac >= 64 ? 0 : Sig >> frac;
  const std::uint64_t rest = frac >= 64 ? Sig : Sig - (kept << frac);
  const std::uint64_t half = std::uint64_t{1} << (frac - 1);
  std::uint64_t k = kept;
  if (rest > half || (rest == half && (kept & 1u) != 0)) ++k;
  const TSoftExtended r = FromUnsigned(k, Neg);
  return r.IsZero() ? FromParts(Neg, 0, 0) : r;
}

namespace {
constexpr std::uint32_t Terms = 28; // 0.35^29 / 30! is far below 2^-128
// ln 2 * 2^128, truncated.
constexpr U128 Ln2{0xb17217f7d1cf79abu, 0xc9e3b39803f2f6afu};

// 2^F - 1 for |F| < 1, rounded once: e^y - 1 = y * (1 + y/2! + y^2/3! + ...) with
// y = F ln 2, in 128-bit fixed point, far beyond the 64 bits that are kept.
TSoftExtended TwoPowMinusOne(const TSoftExtended& F) {
  if (F == TSoftExtended(0)) return F;
  // |y| = Y * 2^(E - 127), Y with its top bit at 126 or 127.
  U128 hi, lo;
  Mul128(U128{0, F.Significand()}, Ln2, hi, lo);
  const U128 Y{hi.Lo, lo.Hi}; // the product has 192 bits: its top 128
  const std::int32_t e = F.Exponent();
  // |y| with 127 bits after the point (|y| < 1).
  const U128 y = ShiftRight(Y, -e);
  // Horner's rule from the last coefficient: every partial sum stays positive, since
  // |y| c(k+1) < c(k), so y < 0 only turns the additions into subtractions.
  static const auto coefficients = [] {
    std::array<U128, Terms> c{};
    U128 term{std::uint64_t{1} << 63, 0}; // 1
    for (std::uint32_t k = 0; k < Terms; ++k)
      c[k] = term = DivSmall(term, k + 2); // 1 / (k + 2)!
    return c;
  }();
  U128 sum = coefficients[Terms - 1];
  for (int k = Terms - 2; k >= -1; --k) {
    U128 th, tl;
    Mul128(sum, y, th, tl);
    const U128 product{(th.Hi << 1) | (th.Lo >> 63), (th.Lo << 1) | (tl.Hi >> 63)};
    const U128 c = k >= 0 ? coefficients[static_cast<std::size_t>(k)] : U128{std::uint64_t{1} << 63, 0};
    sum = F.Negative() ? Sub(c, product) : Add(c, product);
  }
  U128 ph, pl;
  Mul128(Y, sum, ph, pl);
  // Y * sum * 2^(E - 127 - 127): the high half is ph * 2^(E + 1 - 127).
  return Pack(F.Negative(), e + 1, ph, !IsZero(pl));
}
} // namespace

TSoftExtended TSoftExtended::Exp() const {
  using K = TSoftExtended;
  if (IsNaN()) return *this;
  if (IsInfinite()) return Neg ? K(0) : *this;
  // Too small to move the result off one: 1 + x rounds as the sum does.
  if (Sig == 0 || Ex < -67) return K(1) + *this;
  if (Ex >= 15) return Neg ? K(0) : K(std::numeric_limits<double>::infinity());
  // log2 e rounded to the format, and split into a head of 16 bits and the rest, so that
  // x log2 e - n is formed with the head's products exact.
  const K log2e = FromParts(false, 0, 0xb8aa3b295c17f0bcu);
  const K head = FromParts(false, 0, 0xb8aa000000000000u);
  const K tail = FromParts(false, -18, 0xeca5705fc2eefa20u);
  const K n = (log2e * *this).RoundToIntegral();
  const K xi = RoundToIntegral();
  const K f = ((xi * head - n) + (*this - xi) * head) + tail * *this;
  const K m = K(1) + TwoPowMinusOne(f);
  // Times 2^n, exact unless the result leaves the normal range.
  const std::int64_t shift = Extended::Round(n);
  U128 sig{m.Sig, 0};
  return Pack(false, static_cast<std::int32_t>(m.Ex + shift), sig, false);
}

#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384
TSoftExtended::TSoftExtended(long double Value) {
  unsigned char b[sizeof(long double)] = {};
  std::memcpy(b, &Value, sizeof Value);
  std::uint64_t m;
  std::memcpy(&m, b, 8);
  const int se = b[8] | (b[9] << 8);
  Neg = (se & 0x8000) != 0;
  const int e = se & 0x7fff;
  if (e == 0x7fff) {
    Kind = (m << 1) == 0 ? TKind::Infinite : TKind::NaN;
    return;
  }
  if (m == 0) return;
  const int lz = std::countl_zero(m);
  Sig = m << lz;
  Ex = (e == 0 ? MinExponent : e - 16383) - lz;
}

TSoftExtended::operator long double() const {
  if (IsNaN()) return std::numeric_limits<long double>::quiet_NaN();
  const long double sign = Neg ? -1.0L : 1.0L;
  if (IsInfinite()) return sign * std::numeric_limits<long double>::infinity();
  if (Sig == 0) return sign * 0.0L;
  return sign * std::ldexp(static_cast<long double>(Sig), Ex - 63);
}
#endif

namespace Extended {
std::int64_t Round(const TSoftExtended& V) {
  const TSoftExtended r = V.RoundToIntegral();
  if (r.Significand() == 0 || r.IsNaN() || r.IsInfinite()) return 0;
  if (r.Exponent() > 62)
    return r.Negative() ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
  const auto mag = static_cast<std::int64_t>(r.Significand() >> (63 - r.Exponent()));
  return r.Negative() ? -mag : mag;
}
double ToDouble(const TSoftExtended& V) {
  return static_cast<double>(V);
}
TSoftExtended Exp(const TSoftExtended& V) {
  return V.Exp();
}
#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384
std::int64_t Round(long double V) {
#if defined(__x86_64__) && defined(__GNUC__)
  // The x87's own rounding to an integer, in the default mode (to nearest, ties to even),
  // which nothing in the program changes: nearbyint's result, without its library call.
  long double r;
  __asm__("frndint" : "=t"(r) : "0"(V));
  return static_cast<std::int64_t>(r);
#else
  return static_cast<std::int64_t>(std::nearbyint(V));
#endif
}
double ToDouble(long double V) {
  return static_cast<double>(V);
}
long double Exp(long double V) {
  return static_cast<long double>(TSoftExtended(V).Exp());
}
#endif
} // namespace Extended
