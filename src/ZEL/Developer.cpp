#include "ZEL/Developer.h"

#include "FuzzySet/Cpu.h"
#include "FuzzySet/ShapeRow.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
// The vector kernels are written for x86 (SSE2, AVX2, AVX-512) and for WebAssembly's 128-bit
// vectors; elsewhere, or when the build asks for it, the portable kernel takes their place.
#if defined(__x86_64__) && !defined(ZEL_PORTABLE_KERNELS)
#define ZEL_X86_KERNELS 1
#include <immintrin.h>
#else
#define ZEL_X86_KERNELS 0
#endif
#if defined(__wasm_simd128__) && !defined(ZEL_PORTABLE_KERNELS)
#define ZEL_WASM_KERNELS 1
#include <wasm_simd128.h>
#else
#define ZEL_WASM_KERNELS 0
#endif

// The vector helpers below are internal and inlined: no calling convention is at stake.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace {
// The rows hold the even shapes only: an odd shape is the complement of the even one before
// it, which the kernels apply as they read the row.
constexpr int RowShapes = 8;

int PlanIndex(int Position, int Spread, int Periods) {
  return (Position * 8 + Spread) * 8 + Periods;
}
} // namespace

class TShapeTables {
public:
  // Everything a block of one geometry covers, as one row per shape: its periods' shape
  // values side by side, exactly as ApplyBlock splits the block's range.
  struct TPlan {
    std::int32_t Lo = 0;    // the first element
    std::int32_t Count = 0; // elements Lo .. Lo + Count - 1; 0: the block changes nothing
    std::int64_t Row = 0;   // offset of the row of shape 0; the row of each next shape follows it
  };
  // The rows start on this boundary (and a row whose length is a multiple of it stays on it);
  // a vector read of a row may reach this far before and after it, into the rows beside it or
  // the room at either end of the storage.
  static constexpr int Align = 64;

  explicit TShapeTables(int N);

  // The row of the even shape Shape (or of the even shape before an odd one).
  const std::uint8_t* Row(const TPlan& P, int Shape) const { return Rows + P.Row + (Shape >> 1) * P.Count; }

  // One plan per Position, Spread and Periods.
  std::array<TPlan, 16 * 8 * 8> Plans{};
  int N;

private:
  std::unique_ptr<std::uint8_t[]> Storage;
  const std::uint8_t* Rows = nullptr; // the first aligned byte of Storage
};

TShapeTables::TShapeTables(int Elements) : N(Elements) {
  // One set of rows per range length and number of periods; a row depends on nothing else.
  // Rows are packed (a row of a multiple of the alignment stays aligned), and a range shorter
  // than its periods, which is one stretch of the shape, shares the rows of no periods.
  struct TRowSet {
    int Count, Periods;
    std::int64_t Offset;
  };
  std::vector<TRowSet> sets;
  // The index in sets of each range length and number of periods met, or -1.
  std::vector<int> setOf(8 * (static_cast<std::size_t>(std::max(N, 0)) + 1), -1);
  std::int64_t size = 0;
  for (int pos = 0; pos < 16; ++pos)
    for (int spread = 0; spread < 8; ++spread) {
      const TBlockRange r = BlockRange(TFuzzyBlock{0, pos, spread, 0, 0}, N);
      if (!(r.Lo >= 0 && r.Lo <= r.Hi && r.Hi < N)) continue;
      const int n = r.Hi - r.Lo + 1;
      for (int periods = 0; periods < 8; ++periods) {
        const int used = n / (periods + 1) == 0 ? 0 : periods;
        int& found = setOf[8 * static_cast<std::size_t>(n) + static_cast<std::size_t>(used)];
        if (found < 0) {
          found = static_cast<int>(sets.size());
          sets.push_back({n, used, size});
          size += RowShapes * static_cast<std::int64_t>(n);
        }
        Plans[static_cast<std::size_t>(PlanIndex(pos, spread, periods))] = {
            r.Lo, n, sets[static_cast<std::size_t>(found)].Offset};
      }
    }
  // Room at both ends for the vector reads that reach past a row, and the alignment.
  Storage.reset(new std::uint8_t[static_cast<std::size_t>(size + 3 * Align)]);
  std::uint8_t* const base = Storage.get();
  const auto misalignment = reinterpret_cast<std::uintptr_t>(base) % Align;
  std::uint8_t* const rows = base + Align + (misalignment == 0 ? 0 : Align - misalignment);
  Rows = rows;
  std::memset(base, 0, static_cast<std::size_t>(rows - base));
  std::memset(rows + size, 0, static_cast<std::size_t>(base + size + 3 * Align - (rows + size)));
  // The values of every shape over each sub-range width met, computed once, with room for a
  // whole chunk after them.
  constexpr int chunk = 16;
  std::vector<std::vector<std::uint8_t>> widths(static_cast<std::size_t>(std::max(N, 1)));
  auto valuesOf = [&](int W) -> const std::uint8_t* {
    auto& v = widths[static_cast<std::size_t>(W)];
    if (v.empty()) {
      v.resize(static_cast<std::size_t>(RowShapes) * static_cast<std::size_t>(W + 1) + chunk);
      for (int row = 0; row < RowShapes; ++row)
        ShapeRow(2 * row, W, v.data() + static_cast<std::ptrdiff_t>(row) * (W + 1));
    }
    return v.data();
  };
  // Each row is written from its start to its end, its sub-ranges in order, a chunk at a
  // time: a chunk that reaches past a sub-range is written over by what follows it (the next
  // sub-range, the next row, the room after the last row).
  for (const TRowSet& set : sets) {
    // The sub-ranges before the last are of one width, and the last takes the rest.
    const int n = set.Count, periods = set.Periods, l = n / (periods + 1), rest = n - periods * l;
    const std::uint8_t* const bodies = periods > 0 ? valuesOf(l - 1) : nullptr;
    const std::uint8_t* const tails = valuesOf(rest - 1);
    std::uint8_t* row = rows + set.Offset;
    for (int shape = 0; shape < RowShapes; ++shape, row += n) {
      for (int p = 0; p < periods; ++p)
        for (int i = 0; i < l; i += chunk)
          std::memcpy(row + p * l + i, bodies + shape * l + i, chunk);
      const std::uint8_t* const tail = tails + shape * rest;
      for (int i = 0; i < rest; i += chunk)
        std::memcpy(row + periods * l + i, tail + i, chunk);
    }
  }
}

namespace {
// The tables of every set size met so far in this process.
std::shared_ptr<const TShapeTables> TablesFor(int N) {
  static std::mutex mutex;
  static std::map<int, std::shared_ptr<const TShapeTables>> tables;
  std::lock_guard<std::mutex> lock(mutex);
  auto& t = tables[N];
  if (!t) t = std::make_shared<const TShapeTables>(N);
  return t;
}

// Degrees are combined a vector at a time: 64 bytes where the processor has AVX-512, 32
// with AVX2, 16 with the SSE2 that every x86-64 has. TDeveloper picks the kernels once.
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

namespace Avx512Kernels {
#define ZEL_KERNEL_WIDTH 64
#define ZEL_KERNEL_TARGET __attribute__((target("avx2,avx512f,avx512bw,avx512vl")))
#include "ZEL/CombineKernels.inc"
#undef ZEL_KERNEL_WIDTH
#undef ZEL_KERNEL_TARGET
} // namespace Avx512Kernels
#elif ZEL_WASM_KERNELS
// WebAssembly's 128-bit vectors, chosen when the module is built with them; every choice
// leads here.
namespace WasmKernels {
#define ZEL_KERNEL_WIDTH 16
#define ZEL_KERNEL_TARGET
#define ZEL_KERNEL_WASM
#include "ZEL/CombineKernels.inc"
#undef ZEL_KERNEL_WASM
#undef ZEL_KERNEL_WIDTH
#undef ZEL_KERNEL_TARGET
} // namespace WasmKernels
namespace Sse2Kernels = WasmKernels;
namespace Avx2Kernels = WasmKernels;
namespace Avx512Kernels = WasmKernels;
#else
// The compiler's generic 16-byte vectors, on every processor; every choice leads here.
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
namespace Avx512Kernels = PortableKernels;
#endif

} // namespace

TDeveloper::TDeveloper(int Elements, const TFuzzySet& Target)
    : N(std::max(Elements, 0)), Tables(TablesFor(N)), Environment(Target),
      EnvironmentBytes(Target.Values().begin(), Target.Values().end()) {
  switch (Cpu::Level()) {
  case Cpu::TLevel::Avx512:
    DevelopKernel = Avx512Kernels::Develop;
    SumKernel = Avx512Kernels::SumOfDifferences;
    break;
  case Cpu::TLevel::Avx2:
    DevelopKernel = Avx2Kernels::Develop;
    SumKernel = Avx2Kernels::SumOfDifferences;
    break;
  default:
    DevelopKernel = Sse2Kernels::Develop;
    SumKernel = Sse2Kernels::SumOfDifferences;
    break;
  }
}

TDeveloper::~TDeveloper() = default;

bool TDeveloper::Serves(int AgentElements, const TFuzzySet& Target) const {
  return AgentElements == N && Target.Values() == Environment.Values();
}

void TDeveloper::Develop(const TZEL& Program, int BlockCount, std::uint8_t* Out) const {
  DevelopKernel(*Tables, Program, std::min(BlockCount, Program.Count()), Out);
}

std::int32_t TDeveloper::Fitness(const std::uint8_t* Developed) const {
  const std::uint32_t diff =
      SumKernel(Developed, EnvironmentBytes.data(), std::min(N, static_cast<int>(EnvironmentBytes.size())));
  if (diff == 0) return 100;
  // With D the sum of the degree differences, 5 / d = 500 N / D. The literal sum of the
  // memberships differs from D / 100 by far less than the distance from 500 N / D to any
  // half-integer, unless it lies exactly on one: only then does the rounding need it.
  // (That margin holds for sets of up to 65536 elements; larger ones always take the literal sum.)
  const auto literal = [&] {
    TFuzzySet developed;
    for (int i = 0; i < N; ++i)
      developed.Add(Developed[i]);
    return FitnessFromHamming(developed.HammingDistance(Environment), N);
  };
  if (N > 65536) return literal();
  // One division: with num = q D + r, 0 <= r < D, (num + D) div 2D = (q + 1) div 2.
  const std::uint32_t num = 1000u * static_cast<std::uint32_t>(N), q = num / diff, r = num % diff;
  if (r == 0 && q % 2 == 1) return literal();
  return static_cast<std::int32_t>(std::min<std::uint32_t>((q + 1) / 2, 100));
}

std::int32_t TDeveloper::Evaluate(const TZELAgent& Agent, std::vector<std::uint8_t>& Scratch) const {
  // The set is developed on a 64-byte boundary of the scratch buffer, where the vectors align.
  constexpr std::size_t align = TShapeTables::Align;
  if (Scratch.size() < static_cast<std::size_t>(N + Padding) + align)
    Scratch.resize(static_cast<std::size_t>(N + Padding) + align);
  const auto misalignment = reinterpret_cast<std::uintptr_t>(Scratch.data()) % align;
  std::uint8_t* const out = Scratch.data() + (misalignment == 0 ? 0 : align - misalignment);
  Develop(Agent.ZEL, Agent.BlockCount, out);
  return Fitness(out);
}
