#include "ZEL/Developer.h"

#include <algorithm>
#include <cstring>

// The vector helpers below are internal and inlined: no calling convention is at stake.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace {
constexpr int BlockShapes = 16;
constexpr int Padding = TDeveloper::Padding;

int PlanIndex(int Position, int Spread, int Periods) { return (Position * 8 + Spread) * 8 + Periods; }

// Degrees are combined 32 at a time with the compiler's vector extensions; the loader picks
// a build with 32-byte vectors where the processor has them, and one for any x86-64.
// The last, partial vector keeps the degrees beyond the stretch as they were, so the
// degree buffer and every row carry Padding bytes after their end.
using TBytes = std::uint8_t __attribute__((vector_size(32)));
using TWords = std::uint16_t __attribute__((vector_size(64)));

inline TBytes Load(const std::uint8_t* P) {
  TBytes v;
  std::memcpy(&v, P, sizeof v);
  return v;
}
inline void Store(std::uint8_t* P, TBytes V) { std::memcpy(P, &V, sizeof V); }

inline TBytes Max(TBytes a, TBytes b) { return a > b ? a : b; }
inline TBytes Min(TBytes a, TBytes b) { return a < b ? a : b; }
inline TBytes Not(TBytes a) { return static_cast<std::uint8_t>(100) - a; }
// (a + b) div 2 without leaving the bytes.
inline TBytes Mean(TBytes a, TBytes b) { return (a & b) + ((a ^ b) >> 1); }
// (a * b) div 100 for a, b in 0..100.
inline TBytes Product(TBytes a, TBytes b) {
  const TWords p = __builtin_convertvector(a, TWords) * __builtin_convertvector(b, TWords);
  return __builtin_convertvector(p / static_cast<std::uint16_t>(100), TBytes);
}

template <typename Op> inline void CombineStretch(std::uint8_t* A, const std::uint8_t* B, int Count, Op op) {
  int i = 0;
  for (; i + 32 <= Count; i += 32) Store(A + i, op(Load(A + i), Load(B + i)));
  if (i < Count) {
    const TBytes lane = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                         16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};
    const TBytes a = Load(A + i);
    const TBytes inside = lane < static_cast<std::uint8_t>(Count - i);
    Store(A + i, inside ? op(a, Load(B + i)) : a);
  }
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
#define ZEL_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ZEL_VECTOR_CLONES
#endif

ZEL_VECTOR_CLONES void Combine(int Operator, std::uint8_t* A, const std::uint8_t* B, int Count) {
  switch (Operator) {
  case 0: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Max(a, b); }); break;
  case 1: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Min(a, b); }); break;
  case 2: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Mean(a, b); }); break;
  case 3: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Not(Mean(a, b)); }); break;
  case 4: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Not(Min(a, b)); }); break;
  case 5: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Not(Max(a, b)); }); break;
  case 6: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Min(a, Not(b)); }); break;
  case 7: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Max(a, Not(b)); }); break;
  case 8: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Min(Not(a), b); }); break;
  case 9: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Max(Not(a), b); }); break;
  case 10: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Product(a, b); }); break;
  case 11: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Not(Product(a, b)); }); break;
  case 12: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Min(Not(a), Product(a, b)); }); break;
  case 13: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Max(Not(a), Product(a, b)); }); break;
  case 14: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Min(Not(b), Product(a, b)); }); break;
  case 15: CombineStretch(A, B, Count, [](TBytes a, TBytes b) { return Max(Not(b), Product(a, b)); }); break;
  default: break;
  }
}
} // namespace

TDeveloper::TDeveloper(int Elements, const TFuzzySet& Environment)
    : N(std::max(Elements, 0)), EnvironmentDegrees(Environment.Values()),
      EnvironmentBytes(EnvironmentDegrees.begin(), EnvironmentDegrees.end()) {
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
        for (int p = 1; p <= periods; ++p) add(r.Lo + (p - 1) * l, r.Lo + p * l - 1);
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

bool TDeveloper::Serves(int AgentElements, const TFuzzySet& Environment) const {
  return AgentElements == N && Environment.Values() == EnvironmentDegrees;
}

void TDeveloper::Develop(const TZEL& Program, int BlockCount, std::uint8_t* Out) const {
  std::memset(Out, 50, static_cast<std::size_t>(N));
  const int blocks = std::min(BlockCount, Program.Count());
  for (int i = 0; i < blocks; ++i) {
    const TFuzzyBlock& b = Program.Block(i);
    const TPlan& plan = Plans[static_cast<std::size_t>(PlanIndex(b.Position, b.Spread, b.Periods))];
    for (std::uint32_t k = 0; k < plan.Count; ++k) {
      const TStretch& s = Stretches[plan.First + k];
      Combine(b.Operator, Out + s.Start, Row(b.Shape, s.Width), s.Width + 1);
    }
  }
}

namespace {
ZEL_VECTOR_CLONES std::uint32_t SumOfDifferences(const std::uint8_t* A, const std::uint8_t* B, int Count) {
  std::uint32_t sum = 0;
  for (int i = 0; i < Count; ++i) sum += static_cast<std::uint32_t>(A[i] > B[i] ? A[i] - B[i] : B[i] - A[i]);
  return sum;
}
} // namespace

std::int32_t TDeveloper::Fitness(const std::uint8_t* Developed) const {
  const std::uint32_t diff =
      SumOfDifferences(Developed, EnvironmentBytes.data(), std::min(N, static_cast<int>(EnvironmentBytes.size())));
  if (diff == 0) return 100;
  // With D the sum of the degree differences, 5 / d = 500 N / D. The literal sum of the
  // memberships differs from D / 100 by far less than the distance from 500 N / D to any
  // half-integer, unless it lies exactly on one: only then does the rounding need it.
  // (That margin holds for sets of up to 65536 elements; larger ones always take the literal sum.)
  const std::uint64_t num = 1000ull * static_cast<std::uint64_t>(N);
  if ((num % diff == 0 && (num / diff) % 2 == 1) || N > 65536) {
    TFuzzySet developed;
    for (int i = 0; i < N; ++i) developed.Add(Developed[i]);
    TFuzzySet environment;
    for (const std::int32_t d : EnvironmentDegrees) environment.Add(d);
    return FitnessFromHamming(developed.HammingDistance(environment), N);
  }
  const std::uint64_t rounded = (num + diff) / (2ull * diff);
  return static_cast<std::int32_t>(std::min<std::uint64_t>(rounded, 100));
}

std::int32_t TDeveloper::Evaluate(const TZELAgent& Agent, std::vector<std::uint8_t>& Scratch) const {
  if (Scratch.size() < static_cast<std::size_t>(N + Padding)) Scratch.resize(static_cast<std::size_t>(N + Padding));
  Develop(Agent.ZEL, Agent.BlockCount, Scratch.data());
  return Fitness(Scratch.data());
}
