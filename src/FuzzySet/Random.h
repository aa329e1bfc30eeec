#pragma once
// The process-wide random generator: a 32-bit linear congruential sequence.
// Every random draw of the system comes from this one sequence, in a fixed order,
// so that a run is reproducible from its seed.

#include <cstdint>
#include <functional>

namespace Rng {

inline constexpr std::uint32_t Multiplier = 134775813u;

// The current seed; each draw first advances it.
std::uint32_t GetSeed();
void SetSeed(std::uint32_t Seed);

// A real in [0, 1): the new seed divided by 2^32.
double Random();
// An integer in 0 .. N-1: the high 32 bits of N times the new seed.
std::uint32_t RandomBelow(std::uint32_t N);
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
