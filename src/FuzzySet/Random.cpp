#include "FuzzySet/Random.h"

#include <chrono>
#include <memory>

namespace Rng {
namespace {
TClock& Clock() {
  static TClock clock = TimeOfDayMilliseconds;
  return clock;
}
} // namespace

TDrawThreshold::TDrawThreshold(double P) {
  // seed / 2^32 is exact, and so is P * 2^32: compare there.
  if (!(P >= 0.0)) {
    Never = true;
  } else {
    const double limit = P * 4294967296.0;
    Max = limit >= 4294967295.0 ? 4294967295u : static_cast<std::uint32_t>(limit);
  }
}

TJump JumpOf(std::uint64_t Count) {
  // Compose the affine step x -> a x + c with itself by repeated squaring.
  std::uint32_t a = Multiplier, c = 1u; // the step raised to 2^k
  std::uint32_t accA = 1u, accC = 0u;   // the steps taken so far
  while (Count > 0) {
    if (Count & 1u) {
      accA = a * accA;
      accC = a * accC + c;
    }
    c = a * c + c;
    a = a * a;
    Count >>= 1u;
  }
  return {accA, accC};
}

std::uint32_t SeedAfter(std::uint32_t Seed, std::uint64_t Count) {
  const TJump j = JumpOf(Count);
  return j.A * Seed + j.C;
}

namespace {
template <int Stride>
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
__attribute__((target_clones("avx2", "default")))
#endif
void DrawMasksOf(std::uint32_t Count, const TDrawThreshold& Threshold, std::uint8_t* const* Out) {
  // Eight bit positions at a time: lane j holds the seed of draw j of the group, and
  // every lane jumps a whole group ahead at once, so the lanes run side by side.
  constexpr int lanes = 8 * Stride;
  std::uint32_t s[lanes];
  std::uint32_t seed = GetSeed();
  for (int j = 0; j < lanes; ++j)
    s[j] = seed = seed * Multiplier + 1u;
  const TJump jump = JumpOf(lanes);
  const std::uint32_t max = Threshold.Never ? 0u : Threshold.Max;
  const bool never = Threshold.Never;
  const std::uint32_t fullBytes = Count / 8;
  for (std::uint32_t g = 0; g < fullBytes; ++g) {
    for (int k = 0; k < Stride; ++k) {
      unsigned m = 0;
      for (int j = 0; j < 8; ++j)
        m |= static_cast<unsigned>(s[j * Stride + k] <= max) << j;
      Out[k][g] = never ? 0 : static_cast<std::uint8_t>(m);
    }
    for (int j = 0; j < lanes; ++j)
      s[j] = jump.A * s[j] + jump.C;
  }
  const std::uint32_t rest = Count % 8;
  if (rest > 0)
    for (int k = 0; k < Stride; ++k) {
      unsigned m = 0;
      for (std::uint32_t j = 0; j < rest; ++j)
        m |= static_cast<unsigned>(s[j * Stride + static_cast<unsigned>(k)] <= max) << j;
      Out[k][fullBytes] = never ? 0 : static_cast<std::uint8_t>(m);
    }
  Skip(static_cast<std::uint64_t>(Count) * Stride);
}
} // namespace

void DrawMasks(std::uint32_t Count, int Stride, const TDrawThreshold& Threshold, std::uint8_t* const* Out) {
  if (Stride == 2)
    DrawMasksOf<2>(Count, Threshold, Out);
  else
    DrawMasksOf<1>(Count, Threshold, Out);
}

void Skip(std::uint64_t Count) {
  SetSeed(SeedAfter(GetSeed(), Count));
}

std::uint32_t TimeOfDayMilliseconds() {
  using namespace std::chrono;
  const auto now = system_clock::now().time_since_epoch();
  const auto ms = duration_cast<milliseconds>(now).count() % (24LL * 60 * 60 * 1000);
  return static_cast<std::uint32_t>(ms);
}

void SetClock(TClock NewClock) {
  Clock() = NewClock ? std::move(NewClock) : TClock(TimeOfDayMilliseconds);
}

TClock CounterClock(std::uint32_t First) {
  auto next = std::make_shared<std::uint32_t>(First);
  return [next] { return (*next)++; };
}

void Randomize() {
  SetSeed(Clock()());
}

} // namespace Rng
