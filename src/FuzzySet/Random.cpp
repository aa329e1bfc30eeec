#include "FuzzySet/Random.h"

#include <chrono>
#include <memory>

namespace Rng {
namespace {
std::uint32_t RandSeed = 0;
TClock& Clock() {
  static TClock clock = TimeOfDayMilliseconds;
  return clock;
}
} // namespace

std::uint32_t GetSeed() { return RandSeed; }
void SetSeed(std::uint32_t Seed) { RandSeed = Seed; }

double Random() {
  RandSeed = RandSeed * Multiplier + 1u;
  return static_cast<double>(RandSeed) * (1.0 / 4294967296.0);
}

std::uint32_t RandomBelow(std::uint32_t N) {
  RandSeed = RandSeed * Multiplier + 1u;
  return static_cast<std::uint32_t>((static_cast<std::uint64_t>(N) * RandSeed) >> 32);
}

std::uint32_t SeedAfter(std::uint32_t Seed, std::uint64_t Count) {
  // Compose the affine step x -> a x + c with itself by repeated squaring.
  std::uint32_t a = Multiplier, c = 1u;       // the step raised to 2^k
  std::uint32_t accA = 1u, accC = 0u;         // the steps taken so far
  while (Count > 0) {
    if (Count & 1u) {
      accA = a * accA;
      accC = a * accC + c;
    }
    c = a * c + c;
    a = a * a;
    Count >>= 1u;
  }
  return accA * Seed + accC;
}

void Skip(std::uint64_t Count) { RandSeed = SeedAfter(RandSeed, Count); }

std::uint32_t TimeOfDayMilliseconds() {
  using namespace std::chrono;
  const auto now = system_clock::now().time_since_epoch();
  const auto ms = duration_cast<milliseconds>(now).count() % (24LL * 60 * 60 * 1000);
  return static_cast<std::uint32_t>(ms);
}

void SetClock(TClock NewClock) { Clock() = NewClock ? std::move(NewClock) : TClock(TimeOfDayMilliseconds); }

TClock CounterClock(std::uint32_t First) {
  auto next = std::make_shared<std::uint32_t>(First);
  return [next] { return (*next)++; };
}

void Randomize() { RandSeed = Clock()(); }

} // namespace Rng
