// The extended format in software: its rounding edges on every platform, the shape tables
// it builds (the same hash everywhere), and, where long double is the x87 format, agreement
// with the native type on every case that reaches a report.

#include "FuzzySet/Extended.h"
#include "FuzzySet/FuzzySet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {
using S = TSoftExtended;

S Pow2(int E) {
  return S::FromParts(false, E, std::uint64_t{1} << 63);
}

std::uint64_t Fnv(std::uint64_t Hash, std::int32_t V) {
  return (Hash ^ static_cast<std::uint32_t>(V)) * 1099511628211u;
}
} // namespace

TEST(SoftExtended, RoundsToNearestEvenAtEveryEdge) {
  // 2^63 + 1 needs 64 bits, 2^64 + 1 does not fit: ties to even, above a tie up.
  const S big = S(std::uint64_t{1} << 63) + S(1);
  EXPECT_EQ(big.Significand(), (std::uint64_t{1} << 63) + 1);
  EXPECT_EQ(S(std::uint64_t{1} << 63) * S(2) + S(1), Pow2(64));
  EXPECT_EQ(S(std::uint64_t{1} << 63) * S(2) + S(3), Pow2(64) + S(4));
  EXPECT_EQ(big * big, Pow2(126) + Pow2(64)); // 2^126 + 2^64 + 1: the 1 is lost
  // Twelve and a half gives 12, 37.5 gives 38; a half rounds to 0.
  EXPECT_EQ(Extended::Round(S(25) / S(2)), 12);
  EXPECT_EQ(Extended::Round(S(75) / S(2)), 38);
  EXPECT_EQ(Extended::Round(S(-5) / S(2)), -2);
  EXPECT_EQ(Extended::Round(S(1) / S(2)), 0);
  EXPECT_EQ(Extended::Round(S(2) / S(3)), 1);
  // One third: 64 bits of 0101..., the last rounded up; as a double the nearest third.
  EXPECT_EQ((S(1) / S(3)).Significand(), 0xaaaaaaaaaaaaaaabu);
  EXPECT_EQ(static_cast<double>(S(1) / S(3)), 1.0 / 3.0);
  EXPECT_EQ(static_cast<double>(S(2) / S(3)), 2.0 / 3.0);
  // To double: 2^53 + 1 is a tie (to 2^53), 2^53 + 3 rounds up.
  EXPECT_EQ(static_cast<double>(S(9007199254740993LL)), 9007199254740992.0);
  EXPECT_EQ(static_cast<double>(S(9007199254740995LL)), 9007199254740996.0);
  EXPECT_EQ(static_cast<double>(S(0.1) * S(3)), static_cast<double>(S(3) * S(0.1)));
  // Cancellation and signed zeros.
  EXPECT_EQ(S(0.1) - S(0.1), S(0));
  EXPECT_FALSE((S(0.1) - S(0.1)).Negative());
  EXPECT_TRUE(S(-0.5) < S(0));
  EXPECT_TRUE(S(-3) < S(-2));
  // The exponent range: overflow to infinity, denormals lose bits gradually, then zero.
  EXPECT_TRUE((Pow2(16383) * S(2)).IsInfinite());
  EXPECT_EQ(Pow2(-16382) / S(4), Pow2(-16384));
  const S smallest = Pow2(-16382 - 63);
  EXPECT_EQ(smallest / S(2), S(0));                          // a tie, to the even zero
  EXPECT_EQ(smallest * S(3) / S(2), smallest * S(2));        // 1.5 units: to the even 2
  EXPECT_EQ((Pow2(-16382) + smallest) / S(2), Pow2(-16383)); // the odd last unit is lost
}

TEST(SoftExtended, ExponentialOfTheBell) {
  EXPECT_EQ(Extended::Exp(S(0)), S(1));
  EXPECT_EQ(Extended::Exp(Pow2(-70)), S(1));
  EXPECT_EQ(Extended::Exp(S(1)), S::FromParts(false, 1, 0xadf85458a2bb4a9bu));
  EXPECT_EQ(Extended::Exp(S(-1)), S::FromParts(false, -2, 0xbc5ab1b16779be36u));
  EXPECT_EQ(Extended::Exp(S(-5298) / S(1000)), S::FromParts(false, -8, 0xa3e45a7a68eb49ddu));
  EXPECT_EQ(Extended::Exp(S(-20000)), S(0));
  EXPECT_TRUE(Extended::Exp(S(12000)).IsInfinite());
}

// Every value of the even shapes over every width the sets can have: the same on every
// processor and compiler (the odd shapes are complements).
TEST(SoftExtended, ShapeTablesAreTheSameEverywhere) {
  std::uint64_t hash = 14695981039346656037u;
  for (int shape = 0; shape < ShapeCount; shape += 2)
    for (int w = 0; w < 2048; ++w)
      for (int d = 0; d <= w; ++d)
        hash = Fnv(hash, ShapeValue(shape, 0, w, d));
  EXPECT_EQ(hash, 4651390339857302138u);
}

#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384
namespace {
// The value of even linear shape Shape at d in a sub-range of width w, before rounding,
// with the operations in the order the shapes use.
template <typename T> T Q(int Num, int Den) {
  return T(Num) / T(Den);
}
template <typename T> T LinearValue(int Shape, int w, int d) {
  const int h = w / 2, q = w / 4, t = w / 3;
  switch (Shape) {
  case 0:
    return Q<T>(d, w) * T(100);
  case 2:
    return d <= h ? Q<T>(2 * d, w) * T(100) : (T(2) - Q<T>(2 * d, w)) * T(100);
  case 6:
    if (d <= q) return Q<T>(4 * d, w) * T(100);
    return 4 * d <= 3 * w ? T(100) : (T(1) - Q<T>(d, w)) * T(4) * T(100);
  case 8:
    if (d <= q) return (T(0.5) - Q<T>(2 * d, w)) * T(100);
    return 4 * d <= 3 * w ? (Q<T>(2 * d, w) - T(0.5)) * T(100) : (T(2.5) - Q<T>(2 * d, w)) * T(100);
  case 10:
    return d <= h ? Q<T>(2 * d, w) * T(100) : (Q<T>(2 * d, w) - T(1)) * T(100);
  case 12:
    if (d <= t) return Q<T>(3 * d, 2 * w) * T(100);
    return d <= 2 * t ? T(50) : (Q<T>(3 * d, 2 * w) - T(0.5)) * T(100);
  default: // 14
    return d <= h ? (T(0.5) - Q<T>(d, w)) * T(100) : Q<T>(d, w) * T(100);
  }
}
constexpr int LinearShapes[] = {0, 2, 6, 8, 10, 12, 14};

// Whether the exact value of the shape at (w, d) is a half-integer: Num / w with 2 Num / w odd.
bool HalfInteger(int Shape, int w, int d) {
  auto half = [w](long long Num) { return (2 * Num) % w == 0 && ((2 * Num) / w) % 2 == 1; };
  switch (Shape) {
  case 0:
  case 14:
    return half(100LL * d);
  case 6:
    return (d <= w / 4 || 4 * d > 3 * w) && half(400LL * d);
  case 12:
    return (d <= w / 3 || d > 2 * (w / 3)) && half(150LL * d);
  default: // 2, 8, 10: plus or minus 200 d / w and a whole constant
    return half(200LL * d);
  }
}

// The literal fitness of n elements whose degree differences sum to D: A differences of
// 100, one of the remainder, the rest 0.
template <typename T> std::int32_t Fitness(int n, int D) {
  auto m = [](int Degree) { return T(Degree) / T(100); };
  double h = 0.0;
  for (int i = 0; i < n; ++i) {
    const int diff = std::min(100, std::max(0, D - 100 * i));
    const T term = m(diff) - m(0);
    h = Extended::ToDouble(T(h) + term);
  }
  const double d = Extended::ToDouble(T(h) / T(n));
  if (d <= 0.05) return 100;
  return static_cast<std::int32_t>(Extended::Round(T(5) / T(d)));
}

bool Same(long double Native, const S& Soft) {
  return TSoftExtended(Native) == Soft && std::signbit(Native) == Soft.Negative();
}
} // namespace

TEST(SoftExtended, AgreesWithTheNativeFormatOnTheShapeTables) {
  // Every linear-shape entry over every width up to 2048, step by step; the half-integer
  // ones are those that the 64-bit significand decides.
  int halves = 0;
  for (const int shape : LinearShapes)
    for (int w = 1; w <= 2048; ++w)
      for (int d = 0; d <= w; ++d) {
        const long double native = LinearValue<long double>(shape, w, d);
        const S soft = LinearValue<S>(shape, w, d);
        ASSERT_TRUE(Same(native, soft)) << "shape " << shape << " w " << w << " d " << d;
        if (!HalfInteger(shape, w, d)) continue;
        ++halves;
        ASSERT_EQ(Extended::Round(soft), static_cast<std::int64_t>(std::nearbyint(native)));
        if (w < 2048) { // the shapes themselves: the sets have at most 2048 elements
          ASSERT_EQ(ShapeValue(shape, 0, w, d), std::nearbyint(native)) << shape << " " << w << " " << d;
        }
      }
  EXPECT_EQ(halves, 17421);
}

TEST(SoftExtended, AgreesWithTheNativeExponentialOnTheBell) {
  // Every argument of the bell: the native exponential rests on the processor's own
  // approximation of 2^f - 1, so the last bit may differ, but never the degree.
  int differ = 0, count = 0;
  for (int h = 1; h <= 1024; ++h) {
    const double k = static_cast<double>(5.298L / static_cast<long double>(h * h));
    for (int a = 0; a <= h + 1; ++a) {
      const long double x = -static_cast<long double>(k) * static_cast<long double>(a * a);
      const long double native = std::exp(x);
      const S soft = Extended::Exp(S(x));
      ++count;
      if (Same(native, soft)) continue;
      ++differ;
      const long double gap = std::fabs(native - static_cast<long double>(soft));
      ASSERT_LE(gap, std::ldexp(1.0L, std::ilogb(native) - 63)) << "x " << x; // one unit at most
      ASSERT_EQ(std::nearbyint(native * 100), std::nearbyint(static_cast<long double>(soft * S(100))));
    }
  }
  EXPECT_LT(differ, count / 20);
}

TEST(SoftExtended, AgreesWithTheNativeFormatOnFitnessAndReports) {
  // Fitness where 5 / d is exactly a half-integer (the fast path's fallback) and around the
  // threshold d = 0.05.
  // 5 / d = 500 n / D lies between 5 and 100: a half-integer when 1000 n / D is odd.
  for (int n = 1; n <= 2048; ++n) {
    for (int k = 11; k < 200; k += 2)
      if ((1000 * n) % k == 0) {
        ASSERT_EQ(Fitness<S>(n, 1000 * n / k), Fitness<long double>(n, 1000 * n / k)) << n;
      }
    for (int D = 5 * n - 1; D <= 5 * n + 1; ++D)
      ASSERT_EQ(Fitness<S>(n, D), Fitness<long double>(n, D)) << n << " " << D;
  }
  // Averages of fitness over a population and its genotype share, exhaustively for
  // populations up to 300; the elite's size; the picture's rows.
  for (int count = 1; count <= 300; ++count)
    for (int sum = 0; sum <= 100 * count; ++sum)
      ASSERT_EQ(Extended::ToDouble(S(sum) / S(count)),
                static_cast<double>(static_cast<long double>(sum) / static_cast<long double>(count)));
  for (int count = 1; count <= 2048; ++count)
    for (int g = 0; g <= count; ++g)
      ASSERT_EQ(Extended::Round(S(g) / S(count) * S(100)),
                std::nearbyint(static_cast<long double>(g) / static_cast<long double>(count) * 100));
  for (int n = 1; n <= 100000; ++n)
    ASSERT_EQ(Extended::Round(S(n) * S(0.2)), std::nearbyint(static_cast<long double>(n) * 0.2));
  for (int h = 1; h <= 4096; ++h)
    for (int deg = 0; deg <= 100; ++deg)
      ASSERT_EQ(Extended::Round(S(100 - deg) / S(100) * S(h)),
                std::nearbyint(static_cast<long double>(100 - deg) / 100.0L * h));
  // Sums of doubles divided by ten (the batch averages) and the selection wheel.
  std::uint32_t s = 7;
  for (int i = 0; i < 200000; ++i) {
    s = s * 1664525u + 1013904223u;
    const double r = s / 4294967296.0, sum = static_cast<double>(s % 1000001) / 100.0 + r;
    const int fitnessSum = static_cast<int>(s % 200000);
    ASSERT_EQ(Extended::ToDouble(S(sum) / S(10)), static_cast<double>(static_cast<long double>(sum) / 10.0L));
    ASSERT_EQ(Extended::ToDouble(S(r) * S(fitnessSum)),
              static_cast<double>(static_cast<long double>(r) * fitnessSum));
  }
}
#endif
