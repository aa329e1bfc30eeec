#pragma once
// The random generator: a 32-bit linear congruential sequence. Every random draw of the
// system comes from one such sequence, in a fixed order, so that a run is reproducible
// from its seed. The generator is an object handed to whatever draws.

#include <cstdint>
#include <functional>

namespace Rng {

inline constexpr std::uint32_t Multiplier = 134775813u;

// Whether a real draw r = seed / 2^32 satisfies r <= P can be decided on the seed itself.
struct TDrawThreshold {
  bool Never = false;
  std::uint32_t Max = 0; // r <= P exactly when seed <= Max (unless Never)
  explicit TDrawThreshold(double P);
  bool Holds(std::uint32_t Seed) const { return !Never && Seed <= Max; }
};

// The affine step of Count draws: seed -> A * seed + C.
struct TJump {
  std::uint32_t A, C;
};
TJump JumpOf(std::uint64_t Count);
// The seed after Count draws from Seed.
std::uint32_t SeedAfter(std::uint32_t Seed, std::uint64_t Count);

// The time of day (UTC) in milliseconds since midnight.
std::uint32_t TimeOfDayMilliseconds();
// A clock for Randomize: the time of day by default. A seeded run uses a counter so that
// every reading is known in advance.
using TClock = std::function<std::uint32_t()>;
// A clock whose first reading is First and every later reading one more.
TClock CounterClock(std::uint32_t First);

} // namespace Rng

class TRandom {
public:
  explicit TRandom(std::uint32_t Seed = 0) : Seed(Seed) {}

  // The current seed; each draw first advances it.
  std::uint32_t GetSeed() const { return Seed; }
  void SetSeed(std::uint32_t NewSeed) { Seed = NewSeed; }

  // The next seed of the sequence.
  std::uint32_t NextSeed() {
    Seed = Seed * Rng::Multiplier + 1u;
    return Seed;
  }
  // A real in [0, 1): the new seed divided by 2^32.
  double Random() { return static_cast<double>(NextSeed()) * (1.0 / 4294967296.0); }
  // An integer in 0 .. N-1: the high 32 bits of N times the new seed.
  std::uint32_t RandomBelow(std::uint32_t N) {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(N) * NextSeed()) >> 32);
  }
  // Makes Stride * Count draws: draw Stride * i + k decides bit i of Out[k] (bytes, least
  // significant bit first), which is set when that draw r satisfies r <= P. Bits beyond
  // Count in the last byte are 0. The same draws as Stride * Count calls of Random, faster.
  void DrawMasks(std::uint32_t Count, int Stride, const Rng::TDrawThreshold& Threshold,
                 std::uint8_t* const* Out);
  // Whether none of the next Count draws r satisfies r <= P; the sequence does not move.
  // Where P is small this is by far the likeliest answer, found faster than the masks.
  bool NoneAtMost(std::uint32_t Count, const Rng::TDrawThreshold& Threshold) const;
  // Advances the sequence by Count draws without looking at them (constant time).
  void Skip(std::uint64_t Count) { Seed = Rng::SeedAfter(Seed, Count); }

  // The clock that Randomize reads; an empty clock restores the time of day.
  void SetClock(Rng::TClock NewClock);
  // Seeds the generator from its clock.
  void Randomize();

private:
  std::uint32_t Seed;
  Rng::TClock Clock = Rng::TimeOfDayMilliseconds;
};
