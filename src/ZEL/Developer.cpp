#include "ZEL/Developer.h"

#include "FuzzySet/Cpu.h"

#include <algorithm>
#include <cstring>
// The vector kernels are written for x86 (SSE2, AVX2); elsewhere, or when the build asks
// for it, the portable kernel takes their place.
#if defined(__x86_64__) && !defined(ZEL_PORTABLE_KERNELS)
#define ZEL_X86_KERNELS 1
#include <immintrin.h>
#else
#define ZEL_X86_KERNELS 0
#endif

// The vector helpers below are internal and inlined: no calling convention is at stake.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace {
constexpr int BlockShapes = 16;

int PlanIndex(int Position, int Spread, int Periods) {
  return (Position * 8 + Spread) * 8 + Periods;
}

// Degrees are combined a vector at a time: 32 bytes where the processor has AVX2, 16 with
// the SSE2 that every x86-64 has. TDeveloper picks the kernels once.
#if ZEL_X86_KERNELS
namespace Sse2Kernels {
#define ZEL_KERNEL_WIDTH 16
#define ZEL_KERNEL_TARGET
#include "ZEL/CombineKernels.inc"
#undef ZEL_KERNEL_WIDTH
#undef ZEL_KERNEL_TARGET
} // namespace Sse2Kernels

namespace Avx2Kernels {
#define ZEL_KERNEL_WIDTH 32
#define ZEL_KERNEL_TARGET __attribute__((target("avx2")))
#include "ZEL/CombineKernels.inc"
#undef ZEL_KERNEL_WIDTH
#undef ZEL_KERNEL_TARGET
} // namespace Avx2Kernels
#else
// The compiler's generic 16-byte vectors, on every processor; both choices lead here.
namespace PortableKernels {
#define ZEL_KERNEL_WIDTH 16
#define ZEL_KERNEL_TARGET
#define ZEL_KERNEL_PORTABLE
#include "ZEL/CombineKernels.inc"
#undef ZEL_KERNEL_PORTABLE
#undef ZEL_KERNEL_WIDTH
#undef ZEL_KERNEL_TARGET
} // namespace PortableKernels
namespace Sse2Kernels = PortableKernels;
namespace Avx2Kernels = PortableKernels;
#endif

} // namespace

TDeveloper::TDeveloper(int Elements, const TFuzzySet& Target)
    : N(std::max(Elements, 0)), Avx2(Cpu::UseAvx2()), Environment(Target),
      EnvironmentBytes(Target.Values().begin(), Target.Values().end()) {
  // The stretches of every block geometry, exactly as ApplyBlock splits a block's range.
  std::vector<char> widthUsed(static_cast<std::size_t>(N) + 1, 0);
  for (int pos = 0; pos < 16; ++pos)
    for (int spread = 0; spread < 8; ++spread) {
      const TBlockRange r = BlockRange(TFuzzyBlock{0, pos, spread, 0, 0}, N);
      for (int periods = 0; periods < 8; ++periods) {
        TPlan& plan = Plans[static_cast<std::size_t>(PlanIndex(pos, spread, periods))];
        plan.First = static_cast<std::uint32_t>(Stretches.size());
        if (!(r.Lo >= 0 && r.Lo <= r.Hi && r.Hi < N)) continue;
        const int n = r.Hi - r.Lo + 1, l = n / (periods + 1);
        auto add = [&](int S, int E) {
          if (E < S) return;
          Stretches.push_back({S, E - S});
          widthUsed[static_cast<std::size_t>(E - S)] = 1;
        };
        for (int p = 1; p <= periods; ++p)
          add(r.Lo + (p - 1) * l, r.Lo + p * l - 1);
        add(r.Lo + periods * l, r.Hi);
        plan.Count = static_cast<std::uint32_t>(Stretches.size()) - plan.First;
      }
    }
  RowStart.assign(static_cast<std::size_t>(N) + 1, -1);
  std::int64_t size = 0;
  for (int w = 0; w <= N; ++w)
    if (widthUsed[static_cast<std::size_t>(w)]) {
      RowStart[static_cast<std::size_t>(w)] = size;
      size += static_cast<std::int64_t>(BlockShapes) * (w + 1 + Padding);
    }
  Rows.assign(static_cast<std::size_t>(size), 0);
  for (int w = 0; w <= N; ++w) {
    if (!widthUsed[static_cast<std::size_t>(w)]) continue;
    for (int shape = 0; shape < BlockShapes; shape += 2) {
      auto* even = const_cast<std::uint8_t*>(Row(shape, w));
      auto* odd = const_cast<std::uint8_t*>(Row(shape + 1, w));
      for (int d = 0; d <= w; ++d) {
        const std::int32_t v = ShapeValue(shape, 0, w, d);
        even[d] = static_cast<std::uint8_t>(v);
        odd[d] = static_cast<std::uint8_t>(100 - v);
      }
    }
  }
}

bool TDeveloper::Serves(int AgentElements, const TFuzzySet& Target) const {
  return AgentElements == N && Target.Values() == Environment.Values();
}

void TDeveloper::Develop(const TZEL& Program, int BlockCount, std::uint8_t* Out) const {
  std::memset(Out, 50, static_cast<std::size_t>(N));
  const int blocks = std::min(BlockCount, Program.Count());
  const auto combine = Avx2 ? Avx2Kernels::Combine : Sse2Kernels::Combine;
  for (int i = 0; i < blocks; ++i) {
    const TFuzzyBlock& b = Program.Block(i);
    const TPlan& plan = Plans[static_cast<std::size_t>(PlanIndex(b.Position, b.Spread, b.Periods))];
    for (std::uint32_t k = 0; k < plan.Count; ++k) {
      const TStretch& s = Stretches[plan.First + k];
      combine(b.Operator, Out + s.Start, Row(b.Shape, s.Width), s.Width + 1);
    }
  }
}

std::int32_t TDeveloper::Fitness(const std::uint8_t* Developed) const {
  const std::uint32_t diff = (Avx2 ? Avx2Kernels::SumOfDifferences : Sse2Kernels::SumOfDifferences)(
      Developed, EnvironmentBytes.data(), std::min(N, static_cast<int>(EnvironmentBytes.size())));
  if (diff == 0) return 100;
  // With D the sum of the degree differences, 5 / d = 500 N / D. The literal sum of the
  // memberships differs from D / 100 by far less than the distance from 500 N / D to any
  // half-integer, unless it lies exactly on one: only then does the rounding need it.
  // (That margin holds for sets of up to 65536 elements; larger ones always take the literal sum.)
  const std::uint64_t num = 1000ull * static_cast<std::uint64_t>(N);
  if ((num % diff == 0 && (num / diff) % 2 == 1) || N > 65536) {
    TFuzzySet developed;
    for (int i = 0; i < N; ++i)
      developed.Add(Developed[i]);
    return FitnessFromHamming(developed.HammingDistance(Environment), N);
  }
  const std::uint64_t rounded = (num + diff) / (2ull * diff);
  return static_cast<std::int32_t>(std::min<std::uint64_t>(rounded, 100));
}

std::int32_t TDeveloper::Evaluate(const TZELAgent& Agent, std::vector<std::uint8_t>& Scratch) const {
  if (Scratch.size() < static_cast<std::size_t>(N + Padding))
    Scratch.resize(static_cast<std::size_t>(N + Padding));
  Develop(Agent.ZEL, Agent.BlockCount, Scratch.data());
  return Fitness(Scratch.data());
}
