#include "FuzzySet/Random.h"

#include "FuzzySet/Cpu.h"

#include <array>
#include <chrono>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <memory>
#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace Rng {

TDrawThreshold::TDrawThreshold(double P) {
  // seed / 2^32 is exact, and so is P * 2^32: compare there.
  if (!(P >= 0.0)) {
    Never = true;
  } else {
    const double limit = P * 4294967296.0;
    Max = limit >= 4294967295.0 ? 4294967295u : static_cast<std::uint32_t>(limit);
  }
}

TJump JumpOf(std::uint64_t Count) {
  // Compose the affine step x -> a x + c with itself by repeated squaring.
  std::uint32_t a = Multiplier, c = 1u; // the step raised to 2^k
  std::uint32_t accA = 1u, accC = 0u;   // the steps taken so far
  while (Count > 0) {
    if (Count & 1u) {
      accA = a * accA;
      accC = a * accC + c;
    }
    c = a * c + c;
    a = a * a;
    Count >>= 1u;
  }
  return {accA, accC};
}

std::uint32_t SeedAfter(std::uint32_t Seed, std::uint64_t Count) {
  // The jumps of up to 1023 draws come from a table (a variation skips a few draws at a time);
  // of a larger count, the last one asked for is kept, for the same few counts come again and
  // again (a chromosome's masks).
  static const auto small = [] {
    std::array<TJump, 1024> t{};
    t[0] = {1u, 0u};
    for (std::size_t k = 1; k < t.size(); ++k)
      t[k] = {Multiplier * t[k - 1].A, Multiplier * t[k - 1].C + 1u};
    return t;
  }();
  if (Count < small.size()) {
    const TJump& j = small[static_cast<std::size_t>(Count)];
    return j.A * Seed + j.C;
  }
  thread_local std::uint64_t lastCount = 0;
  thread_local TJump last{1u, 0u};
  if (Count != lastCount) {
    last = JumpOf(Count);
    lastCount = Count;
  }
  return last.A * Seed + last.C;
}

namespace {
template <int Stride>
void DrawMasksOf(TRandom& R, std::uint32_t Count, const TDrawThreshold& Threshold, std::uint8_t* const* Out) {
  // Eight bit positions at a time: lane j holds the seed of draw j of the group, and
  // every lane jumps a whole group ahead at once, so the lanes run side by side.
  constexpr int lanes = 8 * Stride;
  std::uint32_t s[lanes];
  std::uint32_t seed = R.GetSeed();
  for (int j = 0; j < lanes; ++j)
    s[j] = seed = seed * Multiplier + 1u;
  const TJump jump = JumpOf(lanes);
  const std::uint32_t max = Threshold.Never ? 0u : Threshold.Max;
  const bool never = Threshold.Never;
  const std::uint32_t fullBytes = Count / 8;
  for (std::uint32_t g = 0; g < fullBytes; ++g) {
    for (int k = 0; k < Stride; ++k) {
      unsigned m = 0;
      for (int j = 0; j < 8; ++j)
        m |= static_cast<unsigned>(s[j * Stride + k] <= max) << j;
      Out[k][g] = never ? 0 : static_cast<std::uint8_t>(m);
    }
    for (int j = 0; j < lanes; ++j)
      s[j] = jump.A * s[j] + jump.C;
  }
  const std::uint32_t rest = Count % 8;
  if (rest > 0)
    for (int k = 0; k < Stride; ++k) {
      unsigned m = 0;
      for (std::uint32_t j = 0; j < rest; ++j)
        m |= static_cast<unsigned>(s[j * Stride + static_cast<unsigned>(k)] <= max) << j;
      Out[k][fullBytes] = never ? 0 : static_cast<std::uint8_t>(m);
    }
  R.Skip(static_cast<std::uint64_t>(Count) * Stride);
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same with AVX2: eight seeds to a vector, decided by an unsigned comparison.
__attribute__((target("avx2"))) void DrawMasksAvx2(TRandom& R, std::uint32_t Count, int Stride,
                                                   const TDrawThreshold& Threshold,
                                                   std::uint8_t* const* Out) {
  // Bits 0, 2, 4, 6 (and 1, 3, 5, 7) of a byte gathered into its low four bits.
  static const auto gather = [] {
    std::array<std::array<std::uint8_t, 256>, 2> t{};
    for (unsigned v = 0; v < 256; ++v)
      for (unsigned k = 0; k < 2; ++k)
        for (unsigned j = 0; j < 4; ++j)
          t[k][v] |= static_cast<std::uint8_t>(((v >> (2 * j + k)) & 1u) << j);
    return t;
  }();
  const std::uint32_t groups = Count / 8; // whole bytes of every mask
  std::uint32_t first[16];
  std::uint32_t seed = R.GetSeed();
  for (std::uint32_t& f : first)
    f = seed = seed * Multiplier + 1u;
  const TJump jump = JumpOf(static_cast<std::uint64_t>(8 * Stride));
  const __m256i a = _mm256_set1_epi32(static_cast<int>(jump.A)),
                c = _mm256_set1_epi32(static_cast<int>(jump.C));
  const __m256i max = _mm256_set1_epi32(static_cast<int>(Threshold.Max));
  __m256i s0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first));
  __m256i s1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first + 8));
  for (std::uint32_t g = 0; g < groups; ++g) {
    const auto m0 = static_cast<unsigned>(
        _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_min_epu32(s0, max), s0))));
    if (Stride == 1) { // one vector of eight draws per mask byte and stride
      Out[0][g] = Threshold.Never ? 0 : static_cast<std::uint8_t>(m0);
      s0 = _mm256_add_epi32(_mm256_mullo_epi32(s0, a), c);
    } else {
      const auto m1 = static_cast<unsigned>(
          _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_min_epu32(s1, max), s1))));
      Out[0][g] = Threshold.Never ? 0 : static_cast<std::uint8_t>(gather[0][m0] | gather[0][m1] << 4);
      Out[1][g] = Threshold.Never ? 0 : static_cast<std::uint8_t>(gather[1][m0] | gather[1][m1] << 4);
      s0 = _mm256_add_epi32(_mm256_mullo_epi32(s0, a), c);
      s1 = _mm256_add_epi32(_mm256_mullo_epi32(s1, a), c);
    }
  }
  // The last, partial byte draw by draw.
  R.Skip(static_cast<std::uint64_t>(groups) * 8 * Stride);
  const std::uint32_t rest = Count % 8;
  if (rest > 0) {
    std::uint8_t last[2] = {0, 0};
    for (std::uint32_t j = 0; j < rest; ++j)
      for (int k = 0; k < Stride; ++k)
        if (Threshold.Holds(R.NextSeed())) last[k] = static_cast<std::uint8_t>(last[k] | (1u << j));
    for (int k = 0; k < Stride; ++k)
      Out[k][groups] = last[k];
  }
}
#endif

#if defined(__wasm_simd128__)
// The same with WebAssembly's vectors: the draws of a group lie in four lanes per mask
// byte and stride, arranged so that each vector's lanes are consecutive bits of one mask.
void DrawMasksWasm(TRandom& R, std::uint32_t Count, int Stride, const TDrawThreshold& Threshold,
                   std::uint8_t* const* Out) {
  const std::uint32_t groups = Count / 8; // whole bytes of every mask
  // Lane j of row 2k + h holds draw Stride * (4h + j) + k of the group: bit 4h + j of mask k.
  std::uint32_t first[4][4];
  std::uint32_t seed = R.GetSeed();
  for (int d = 0; d < 8 * Stride; ++d) {
    seed = seed * Multiplier + 1u;
    const int bit = d / Stride, k = d % Stride;
    first[2 * k + bit / 4][bit % 4] = seed;
  }
  const TJump jump = JumpOf(static_cast<std::uint64_t>(8 * Stride));
  const v128_t a = wasm_i32x4_splat(static_cast<int>(jump.A)), c = wasm_i32x4_splat(static_cast<int>(jump.C));
  const v128_t max = wasm_i32x4_splat(static_cast<int>(Threshold.Max));
  v128_t s[4];
  for (int r = 0; r < 2 * Stride; ++r)
    s[r] = wasm_v128_load(first[r]);
  for (std::uint32_t g = 0; g < groups; ++g)
    for (int k = 0; k < Stride; ++k) {
      const std::uint32_t m = wasm_i32x4_bitmask(wasm_u32x4_le(s[2 * k], max)) |
                              wasm_i32x4_bitmask(wasm_u32x4_le(s[2 * k + 1], max)) << 4;
      Out[k][g] = Threshold.Never ? 0 : static_cast<std::uint8_t>(m);
      s[2 * k] = wasm_i32x4_add(wasm_i32x4_mul(s[2 * k], a), c);
      s[2 * k + 1] = wasm_i32x4_add(wasm_i32x4_mul(s[2 * k + 1], a), c);
    }
  // The last, partial byte draw by draw.
  R.Skip(static_cast<std::uint64_t>(groups) * 8 * Stride);
  const std::uint32_t rest = Count % 8;
  if (rest > 0) {
    std::uint8_t last[2] = {0, 0};
    for (std::uint32_t j = 0; j < rest; ++j)
      for (int k = 0; k < Stride; ++k)
        if (Threshold.Holds(R.NextSeed())) last[k] = static_cast<std::uint8_t>(last[k] | (1u << j));
    for (int k = 0; k < Stride; ++k)
      Out[k][groups] = last[k];
  }
}
#endif

#if (defined(__x86_64__) && defined(__GNUC__)) || defined(__wasm_simd128__)
// The seeds of the next 64 draws, each a jump of its own from the current seed, and the jumps
// of 32 and 64 draws that move a row of them on.
struct TLaneJumps {
  std::array<std::uint32_t, 64> A, C;
  TJump By32, By64;
};
const TLaneJumps& LaneJumps() {
  static const TLaneJumps jumps = [] {
    TLaneJumps j{};
    for (std::size_t k = 0; k < j.A.size(); ++k) {
      const TJump step = JumpOf(k + 1);
      j.A[k] = step.A;
      j.C[k] = step.C;
    }
    j.By32 = JumpOf(32);
    j.By64 = JumpOf(64);
    return j;
  }();
  return jumps;
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
// Four rows of lanes side by side, so that the multiplications of one step do not wait for
// one another.
__attribute__((target("avx2,avx512f,avx512bw,avx512vl"))) bool
NoneAtMostAvx512(std::uint32_t Seed, std::uint32_t Count, std::uint32_t Max) {
  const TLaneJumps& j = LaneJumps();
  const __m512i a = _mm512_set1_epi32(static_cast<int>(j.By64.A)),
                c = _mm512_set1_epi32(static_cast<int>(j.By64.C));
  const __m512i max = _mm512_set1_epi32(static_cast<int>(Max)),
                seed = _mm512_set1_epi32(static_cast<int>(Seed));
  __m512i s[4];
  for (int k = 0; k < 4; ++k)
    s[k] = _mm512_add_epi32(_mm512_mullo_epi32(_mm512_loadu_si512(j.A.data() + 16 * k), seed),
                            _mm512_loadu_si512(j.C.data() + 16 * k));
  unsigned hit = 0;
  std::uint32_t i = 0;
  for (; i + 64 <= Count; i += 64)
    for (int k = 0; k < 4; ++k) {
      hit |= _mm512_cmple_epu32_mask(s[k], max);
      s[k] = _mm512_add_epi32(_mm512_mullo_epi32(s[k], a), c);
    }
  for (int k = 0; k < 4 && i + 16 * k < Count; ++k) {
    const std::uint32_t left = Count - i - 16 * k;
    hit |= _mm512_cmple_epu32_mask(s[k], max) & (left >= 16 ? 0xFFFFu : (1u << left) - 1u);
  }
  return hit == 0;
}

__attribute__((target("avx2"))) bool NoneAtMostAvx2(std::uint32_t Seed, std::uint32_t Count,
                                                    std::uint32_t Max) {
  const TLaneJumps& j = LaneJumps();
  const __m256i a = _mm256_set1_epi32(static_cast<int>(j.By32.A)),
                c = _mm256_set1_epi32(static_cast<int>(j.By32.C));
  const __m256i max = _mm256_set1_epi32(static_cast<int>(Max)),
                seed = _mm256_set1_epi32(static_cast<int>(Seed));
  __m256i s[4];
  for (int k = 0; k < 4; ++k)
    s[k] = _mm256_add_epi32(
        _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(j.A.data() + 8 * k)), seed),
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(j.C.data() + 8 * k)));
  __m256i hit = _mm256_setzero_si256();
  std::uint32_t i = 0;
  for (; i + 32 <= Count; i += 32)
    for (int k = 0; k < 4; ++k) {
      hit = _mm256_or_si256(hit, _mm256_cmpeq_epi32(_mm256_min_epu32(s[k], max), s[k]));
      s[k] = _mm256_add_epi32(_mm256_mullo_epi32(s[k], a), c);
    }
  auto bits = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(hit)));
  for (int k = 0; k < 4 && i + 8 * k < Count; ++k) {
    const std::uint32_t left = Count - i - 8 * k;
    bits |= static_cast<unsigned>(_mm256_movemask_ps(
                _mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_min_epu32(s[k], max), s[k])))) &
            (left >= 8 ? 0xFFu : (1u << left) - 1u);
  }
  return bits == 0;
}
#endif

#if defined(__wasm_simd128__)
// Eight rows of four lanes side by side, so that the multiplications of one step do not wait
// for one another. Each lane keeps the least of its seeds, which is compared once at the end.
bool NoneAtMostWasm(std::uint32_t Seed, std::uint32_t Count, std::uint32_t Max) {
  if (Max == 0xFFFFFFFFu) return false; // every seed is at most Max (and Count > 0)
  const TLaneJumps& j = LaneJumps();
  const v128_t a = wasm_i32x4_splat(static_cast<int>(j.By32.A)),
               c = wasm_i32x4_splat(static_cast<int>(j.By32.C));
  const v128_t seed = wasm_i32x4_splat(static_cast<int>(Seed));
  v128_t s[8];
  for (int k = 0; k < 8; ++k)
    s[k] = wasm_i32x4_add(wasm_i32x4_mul(wasm_v128_load(j.A.data() + 4 * k), seed),
                          wasm_v128_load(j.C.data() + 4 * k));
  v128_t least = wasm_i32x4_splat(-1);
  std::uint32_t i = 0;
  for (; i + 32 <= Count; i += 32)
    for (int k = 0; k < 8; ++k) {
      least = wasm_u32x4_min(least, s[k]);
      s[k] = wasm_i32x4_add(wasm_i32x4_mul(s[k], a), c);
    }
  const v128_t lane = wasm_u32x4_const(0, 1, 2, 3);
  for (int k = 0; k < 8 && i + 4 * k < Count; ++k) {
    // Lanes beyond the last draw count as the greatest seed, which Max is not.
    const std::uint32_t left = Count - i - 4 * k;
    least = wasm_u32x4_min(least,
                           wasm_v128_or(s[k], wasm_u32x4_ge(lane, wasm_i32x4_splat(static_cast<int>(left)))));
  }
  return !wasm_v128_any_true(wasm_u32x4_le(least, wasm_i32x4_splat(static_cast<int>(Max))));
}
#endif
} // namespace

std::uint32_t TimeOfDayMilliseconds() {
  using namespace std::chrono;
  const auto now = system_clock::now().time_since_epoch();
  const auto ms = duration_cast<milliseconds>(now).count() % (24LL * 60 * 60 * 1000);
  return static_cast<std::uint32_t>(ms);
}

TClock CounterClock(std::uint32_t First) {
  auto next = std::make_shared<std::uint32_t>(First);
  return [next] { return (*next)++; };
}

} // namespace Rng

void TRandom::DrawMasks(std::uint32_t Count, int Stride, const Rng::TDrawThreshold& Threshold,
                        std::uint8_t* const* Out) {
#if defined(__x86_64__) && defined(__GNUC__)
  if (Cpu::UseAvx2()) {
    Rng::DrawMasksAvx2(*this, Count, Stride == 2 ? 2 : 1, Threshold, Out);
    return;
  }
#elif defined(__wasm_simd128__)
  Rng::DrawMasksWasm(*this, Count, Stride == 2 ? 2 : 1, Threshold, Out);
  return;
#endif
  if (Stride == 2)
    Rng::DrawMasksOf<2>(*this, Count, Threshold, Out);
  else
    Rng::DrawMasksOf<1>(*this, Count, Threshold, Out);
}

bool TRandom::NoneAtMost(std::uint32_t Count, const Rng::TDrawThreshold& Threshold) const {
  if (Threshold.Never || Count == 0) return true;
#if defined(__x86_64__) && defined(__GNUC__)
  if (Cpu::Level() == Cpu::TLevel::Avx512) return Rng::NoneAtMostAvx512(Seed, Count, Threshold.Max);
  if (Cpu::UseAvx2()) return Rng::NoneAtMostAvx2(Seed, Count, Threshold.Max);
#elif defined(__wasm_simd128__)
  return Rng::NoneAtMostWasm(Seed, Count, Threshold.Max);
#endif
  std::uint32_t seed = Seed;
  for (std::uint32_t i = 0; i < Count; ++i)
    if (Threshold.Holds(seed = seed * Rng::Multiplier + 1u)) return false;
  return true;
}

void TRandom::SetClock(Rng::TClock NewClock) {
  Clock = NewClock ? std::move(NewClock) : Rng::TClock(Rng::TimeOfDayMilliseconds);
}

void TRandom::Randomize() {
  Seed = Clock();
}
