#include "FuzzySet/Cpu.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace Cpu {
namespace {
TLevel Detect() {
#if defined(__x86_64__) && defined(__GNUC__)
  __builtin_cpu_init();
  // The processor's support is checked together with the system's saving of the wider registers.
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx2"))
    return TLevel::Avx512;
  if (__builtin_cpu_supports("avx2")) return TLevel::Avx2;
#endif
  return TLevel::Baseline;
}

std::atomic<int>& Cap() {
  static std::atomic<int> cap{static_cast<int>(TLevel::Avx512)};
  return cap;
}
} // namespace

TLevel CapOf(const char* Simd, const char* NoAvx2) {
  if (NoAvx2 != nullptr) return TLevel::Baseline;
  if (Simd == nullptr) return TLevel::Avx512;
  if (std::strcmp(Simd, "baseline") == 0) return TLevel::Baseline;
  if (std::strcmp(Simd, "avx2") == 0) return TLevel::Avx2;
  return TLevel::Avx512;
}

TLevel Present() {
  static const TLevel present = Detect();
  return present;
}

std::atomic<int> KnownLevel{-1};

TLevel FindLevel() {
  static const TLevel allowed =
      std::min(Present(), CapOf(std::getenv("ZEL_SIMD"), std::getenv("ZEL_NO_AVX2")));
  const TLevel level = std::min(allowed, static_cast<TLevel>(Cap().load(std::memory_order_relaxed)));
  KnownLevel.store(static_cast<int>(level), std::memory_order_relaxed);
  return level;
}

void Limit(TLevel Max) {
  Cap().store(static_cast<int>(Max), std::memory_order_relaxed);
  KnownLevel.store(-1, std::memory_order_relaxed);
}

const char* Name(TLevel L) {
  switch (L) {
  case TLevel::Avx512:
    return "avx512";
  case TLevel::Avx2:
    return "avx2";
  default:
    return "baseline";
  }
}
} // namespace Cpu
