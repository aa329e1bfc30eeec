#pragma once
// Which vector instructions the fast paths may use: the highest level the processor has,
// capped by the environment variable ZEL_SIMD ("baseline", "avx2" or "avx512") or by a
// test. ZEL_NO_AVX2 (any value) is the older way to ask for the baseline. The baseline
// uses only what every x86-64 has. Every level gives the same results.

#include <atomic>

namespace Cpu {
enum class TLevel { Baseline = 0, Avx2 = 1, Avx512 = 2 };

// The level in use: the lowest of what the processor has, the environment's cap and Limit's.
// Asked for by every fast path, so it is found once and kept until the next Limit.
extern std::atomic<int> KnownLevel;
TLevel FindLevel();
inline TLevel Level() {
  const int known = KnownLevel.load(std::memory_order_relaxed);
  return known >= 0 ? static_cast<TLevel>(known) : FindLevel();
}
// The highest level the processor (and its system) supports, whatever the caps.
TLevel Present();
// The cap that the values of ZEL_SIMD and ZEL_NO_AVX2 ask for (nullptr: not set); an unknown
// ZEL_SIMD caps nothing.
TLevel CapOf(const char* Simd, const char* NoAvx2);
// Caps the level for the whole process (tests); Limit(TLevel::Avx512) lifts the cap.
void Limit(TLevel Max);
const char* Name(TLevel L);

inline bool UseAvx2() {
  return Level() >= TLevel::Avx2;
}
} // namespace Cpu
