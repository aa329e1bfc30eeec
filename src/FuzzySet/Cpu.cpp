#include "FuzzySet/Cpu.h"

#include <atomic>
#include <cstdlib>

namespace Cpu {
namespace {
bool Detect() {
  if (std::getenv("ZEL_NO_AVX2") != nullptr) return false;
#if defined(__x86_64__) && defined(__GNUC__)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}
std::atomic<bool>& Allowed() {
  static std::atomic<bool> allowed{true};
  return allowed;
}
} // namespace

bool UseAvx2() {
  static const bool present = Detect();
  return present && Allowed().load(std::memory_order_relaxed);
}

void AllowAvx2(bool A) {
  Allowed().store(A, std::memory_order_relaxed);
}
} // namespace Cpu
