#pragma once
// The process-wide random generator: a 32-bit linear congruential sequence.
// Every random draw of the system comes from this one sequence, in a fixed order,
// so that a run is reproducible from its seed.

#include <cstdint>
#include <functional>

namespace Rng {

inline constexpr std::uint32_t Multiplier = 134775813u;

namespace Detail {
inline std::uint32_t RandSeed = 0;
}

// The current seed; each draw first advances it.
inline std::uint32_t GetSeed() {
  return Detail::RandSeed;
}
inline void SetSeed(std::uint32_t Seed) {
  Detail::RandSeed = Seed;
}

// The next seed of the sequence.
inline std::uint32_t NextSeed() {
  Detail::RandSeed = Detail::RandSeed * Multiplier + 1u;
  return Detail::RandSeed;
}
// A real in [0, 1): the new seed divided by 2^32.
inline double Random() {
  return static_cast<double>(NextSeed()) * (1.0 / 4294967296.0);
}
// An integer in 0 .. N-1: the high 32 bits of N times the new seed.
inline std::uint32_t RandomBelow(std::uint32_t N) {
  return static_cast<std::uint32_t>((static_cast<std::uint64_t>(N) * NextSeed()) >> 32);
}
// Whether a real draw r = seed / 2^32 satisfies r <= P can be decided on the seed itself.
struct TDrawThreshold {
  bool Never = false;
  std::uint32_t Max = 0; // r <= P exactly when seed <= Max (unless Never)
  explicit TDrawThreshold(double P);
  bool Holds(std::uint32_t Seed) const { return !Never && Seed <= Max; }
};
// Makes Stride * Count draws: draw Stride * i + k decides bit i of Out[k] (bytes, least
// significant bit first), which is set when that draw r satisfies r <= P. Bits beyond
// Count in the last byte are 0. The same draws as Stride * Count calls of Random, faster.
void DrawMasks(std::uint32_t Count, int Stride, const TDrawThreshold& Threshold, std::uint8_t* const* Out);

// The affine step of Count draws: seed -> A * seed + C.
struct TJump {
  std::uint32_t A, C;
};
TJump JumpOf(std::uint64_t Count);
// Advances the sequence by Count draws without looking at them (constant time).
void Skip(std::uint64_t Count);
// The seed after Count draws from Seed.
std::uint32_t SeedAfter(std::uint32_t Seed, std::uint64_t Count);

// The time of day (UTC) in milliseconds since midnight.
std::uint32_t TimeOfDayMilliseconds();
// The clock that Randomize reads; by default the time of day. A seeded run
// replaces it by a counter so that every reading is known in advance.
using TClock = std::function<std::uint32_t()>;
void SetClock(TClock Clock);
// A clock whose first reading is First and every later reading one more.
TClock CounterClock(std::uint32_t First);
// Seeds the generator from the clock.
void Randomize();

} // namespace Rng
