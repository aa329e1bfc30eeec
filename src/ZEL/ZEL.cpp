#include "ZEL/ZEL.h"

#include "FuzzySet/Cpu.h"

#include <algorithm>
#include <array>
// The paths written with x86-64 intrinsics, chosen at run time by the processor's level.
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define ZEL_X86_PATHS 1
#else
#define ZEL_X86_PATHS 0
#endif
#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

void TFuzzyBlock::Mutate(TRandom& R, double P) {
  if (R.Random() > P) return;
  switch (RandomInt(R, 1, 5)) {
  case 1:
    Shape = RandomInt(R, 0, 15);
    break;
  case 2:
    Position = RandomInt(R, 0, 15);
    break;
  case 3:
    Spread = RandomInt(R, 0, 7);
    break;
  case 4:
    Periods = RandomInt(R, 0, 7);
    break;
  default:
    Operator = RandomInt(R, 0, 15);
    break;
  }
}

namespace {
// The blocks of a program not yet picked, by index; picking one takes it out, so that the
// following picks count among the remaining blocks only. The remaining indices are kept in
// order in a row of bytes; taking one moves those after it down by one, a whole row at once.
class TPicks {
public:
  explicit TPicks(int Count) : Left(std::clamp(Count, 0, TZEL::MaxBlocks)) {
    static constexpr auto first = [] {
      std::array<std::uint8_t, TZEL::MaxBlocks> a{};
      for (std::size_t i = 0; i < a.size(); ++i)
        a[i] = static_cast<std::uint8_t>(i);
      return a;
    }();
    std::memcpy(Order.data(), first.data(), first.size());
  }
  int Count() const { return Left; }
  // RandomInt(0, Count - 1) chooses among the remaining blocks.
  int Take(TRandom& R) { return TakeAt(RandomInt(R, 0, Left - 1)); }
  // The K-th of the remaining blocks (from 0).
  int TakeAt(int K) {
    const auto k = static_cast<std::size_t>(K);
    const int picked = Order[k];
    std::uint8_t after[TZEL::MaxBlocks];
    std::memcpy(after, Order.data() + k + 1, sizeof after);
    std::memcpy(Order.data() + k, after, sizeof after);
    --Left;
    return picked;
  }

private:
  int Left;
  std::array<std::uint8_t, 2 * TZEL::MaxBlocks + 1> Order; // room for a whole row after any index
};

#if ZEL_X86_PATHS
// The set of the first Count blocks (0 .. 32) as bits.
constexpr std::uint32_t LowBits(int Count) {
  return Count >= 32 ? ~0u : (1u << Count) - 1u;
}
#endif

// Appends a copy of a random remaining block of From, mutated with PNoise, to To.
inline void MoveNoisyBlock(TRandom& R, const TZEL& From, TPicks& Picks, TZEL& To, double PNoise) {
  if (Picks.Count() == 0) return; // a second parent shorter than the first has nothing more to give
  TFuzzyBlock b = From.Block(Picks.Take(R));
  b.Mutate(R, PNoise);
  To.Add(b);
}

// The moves of a program crossover in which noise never strikes, for parents of CountA and
// CountB blocks and one cut: the parent each move takes a block from, the child it gives it
// to and where in that child, how many blocks that parent has left, and the seeds of its
// draws (a pick when two or more are left, then the noise decision) as jumps from the seed
// after the cut was drawn. A move whose parent has nothing left draws nothing and is not
// listed.
struct TCrossPlan {
  static constexpr int MaxMoves = 2 * TZEL::MaxBlocks;
  int Moves = 0;
  std::uint32_t Draws = 0; // of all the moves
  int Given[2] = {0, 0};   // blocks that each child receives
  std::array<std::uint8_t, MaxMoves> FromB{}, ToChild2{}, Slot{}, Left{};
  std::array<std::uint32_t, MaxMoves> PickA{}, PickC{}, NoiseA{}, NoiseC{};

  TCrossPlan(int CountA, int CountB, int Cut) {
    const int n = CountA;
    int left[2] = {CountA, CountB};
    auto move = [&](int From, int To) {
      if (left[From] == 0) return;
      const auto k = static_cast<std::size_t>(Moves++);
      FromB[k] = static_cast<std::uint8_t>(From);
      ToChild2[k] = static_cast<std::uint8_t>(To);
      Slot[k] = static_cast<std::uint8_t>(Given[To]++);
      Left[k] = static_cast<std::uint8_t>(left[From]);
      if (left[From] >= 2) {
        const Rng::TJump pick = Rng::JumpOf(++Draws);
        PickA[k] = pick.A;
        PickC[k] = pick.C;
      }
      const Rng::TJump noise = Rng::JumpOf(++Draws);
      NoiseA[k] = noise.A;
      NoiseC[k] = noise.C;
      --left[From];
    };
    for (int i = 0; i <= Cut; ++i) {
      move(0, 0);
      move(1, 1);
    }
    for (int i = 0; i < n - 1 - Cut; ++i) {
      move(1, 0);
      move(0, 1);
    }
  }

  // Whether noise strikes in any move, the moves starting at Seed.
  bool Strikes(std::uint32_t Seed, const Rng::TDrawThreshold& Noise) const {
    if (Noise.Never) return false;
#if ZEL_X86_PATHS
    if (Cpu::Level() == Cpu::TLevel::Avx512) return StrikesAvx512(Seed, Noise.Max);
    if (Cpu::UseAvx2()) return StrikesAvx2(Seed, Noise.Max);
#elif defined(__wasm_simd128__)
    return StrikesWasm(Seed, Noise.Max);
#endif
    std::uint32_t strikes = 0;
    for (int k = 0; k < Moves; ++k)
      strikes |=
          NoiseA[static_cast<std::size_t>(k)] * Seed + NoiseC[static_cast<std::size_t>(k)] <= Noise.Max;
    return strikes != 0;
  }

#if ZEL_X86_PATHS
  // The same, sixteen or eight moves at a time; lanes beyond the last move are not counted.
  __attribute__((target("avx2,avx512f,avx512bw,avx512vl"))) bool StrikesAvx512(std::uint32_t Seed,
                                                                               std::uint32_t Max) const {
    const __m512i seed = _mm512_set1_epi32(static_cast<int>(Seed)),
                  max = _mm512_set1_epi32(static_cast<int>(Max));
    unsigned strikes = 0;
    for (int k = 0; k < Moves; k += 16) {
      const __m512i s = _mm512_add_epi32(_mm512_mullo_epi32(_mm512_loadu_si512(NoiseA.data() + k), seed),
                                         _mm512_loadu_si512(NoiseC.data() + k));
      const int left = Moves - k;
      strikes |= _mm512_cmple_epu32_mask(s, max) & (left >= 16 ? 0xFFFFu : (1u << left) - 1u);
    }
    return strikes != 0;
  }
  __attribute__((target("avx2"))) bool StrikesAvx2(std::uint32_t Seed, std::uint32_t Max) const {
    const __m256i seed = _mm256_set1_epi32(static_cast<int>(Seed)),
                  max = _mm256_set1_epi32(static_cast<int>(Max));
    unsigned strikes = 0;
    for (int k = 0; k < Moves; k += 8) {
      const __m256i s = _mm256_add_epi32(
          _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(NoiseA.data() + k)), seed),
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(NoiseC.data() + k)));
      const int left = Moves - k;
      const auto hit = static_cast<unsigned>(
          _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_min_epu32(s, max), s))));
      strikes |= hit & (left >= 8 ? 0xFFu : (1u << left) - 1u);
    }
    return strikes != 0;
  }
#elif defined(__wasm_simd128__)
  // The same, four moves at a time.
  bool StrikesWasm(std::uint32_t Seed, std::uint32_t Max) const {
    const v128_t seed = wasm_i32x4_splat(static_cast<int>(Seed)),
                 max = wasm_i32x4_splat(static_cast<int>(Max));
    const v128_t lane = wasm_u32x4_const(0, 1, 2, 3);
    v128_t strikes = wasm_i32x4_splat(0);
    for (int k = 0; k < Moves; k += 4) {
      const v128_t s = wasm_i32x4_add(wasm_i32x4_mul(wasm_v128_load(NoiseA.data() + k), seed),
                                      wasm_v128_load(NoiseC.data() + k));
      const v128_t counted = wasm_u32x4_lt(lane, wasm_i32x4_splat(Moves - k));
      strikes = wasm_v128_or(strikes, wasm_v128_and(wasm_u32x4_le(s, max), counted));
    }
    return wasm_v128_any_true(strikes);
  }
#endif
};

// The plans of the cuts of parents of CountA and CountB blocks (CountA >= 1, 0 <= Cut <
// CountA), each made when first asked for. Every thread keeps its own: within a population
// the block counts stay the same.
const TCrossPlan& CrossPlan(int CountA, int CountB, int Cut) {
  thread_local struct {
    int A = -1, B = -1;
    std::vector<std::unique_ptr<TCrossPlan>> ByCut;
  } plans;
  if (plans.A != CountA || plans.B != CountB) {
    plans.A = CountA;
    plans.B = CountB;
    plans.ByCut.clear();
    plans.ByCut.resize(static_cast<std::size_t>(CountA));
  }
  auto& plan = plans.ByCut[static_cast<std::size_t>(Cut)];
  if (!plan) plan = std::make_unique<TCrossPlan>(CountA, CountB, Cut);
  return *plan;
}

// Whether the crossover from the seed after its cut can follow a plan: parents of a length
// the plans cover, and a noise probability that a threshold decides (a probability that is
// not a number strikes at every draw).
bool Plannable(int CountA, int CountB, int Cut, double PNoise) {
  return CountA >= 1 && CountA <= TZEL::MaxBlocks && CountB >= 0 && CountB <= TZEL::MaxBlocks && Cut >= 0 &&
         Cut < CountA && !std::isnan(PNoise);
}

#if ZEL_X86_PATHS
// The order in which a shuffle of Count blocks (at most MaxBlocks) picks them, drawing from R.
// The blocks not yet picked are kept in two vector registers, and taking one moves those after
// it down by one there: kept in memory, each take read the row that the take before had just
// written, one byte further on, and waited for those writes (half of a shuffle's time).
void ShuffleOrder(TRandom& R, int Count, std::uint8_t* Order) {
  const __m128i lane = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  __m128i lo = lane, hi = _mm_add_epi8(lane, _mm_set1_epi8(16));
  alignas(16) std::uint8_t bytes[32];
  for (int j = 0; j < Count; ++j) {
    const int k = RandomInt(R, 0, Count - j - 1);
    // The taken block's index read back through memory: a byte within what was just written
    // comes straight from the write.
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes), lo);
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes + 16), hi);
    Order[j] = bytes[k];
    // From the taken lane on, each lane takes the next one's index.
    const __m128i moveLo = _mm_cmpgt_epi8(lane, _mm_set1_epi8(static_cast<char>(k - 1)));
    const __m128i moveHi = _mm_cmpgt_epi8(lane, _mm_set1_epi8(static_cast<char>(k - 17)));
    const __m128i downLo = _mm_or_si128(_mm_srli_si128(lo, 1), _mm_slli_si128(hi, 15));
    const __m128i downHi = _mm_srli_si128(hi, 1);
    lo = _mm_or_si128(_mm_and_si128(moveLo, downLo), _mm_andnot_si128(moveLo, lo));
    hi = _mm_or_si128(_mm_and_si128(moveHi, downHi), _mm_andnot_si128(moveHi, hi));
  }
}
#endif
} // namespace

// The variations below draw from a local copy of the generator, which the compiler can keep
// in a register, and hand its seed back at the end.

void TZEL::Shuffle(TRandom& R) {
  TRandom local(R.GetSeed());
#if ZEL_X86_PATHS
  std::uint8_t order[MaxBlocks];
  ShuffleOrder(local, FCount, order);
  // Every block of a program is valid: the picked blocks go in as they are.
  unsigned char source[MaxBlocks * sizeof(TFuzzyBlock)];
  std::memcpy(source, Blocks.data(), static_cast<std::size_t>(FCount) * sizeof(TFuzzyBlock));
  for (int j = 0; j < FCount; ++j)
    std::memcpy(&Blocks[static_cast<std::size_t>(j)], source + order[j] * sizeof(TFuzzyBlock),
                sizeof(TFuzzyBlock));
#else
  const TZEL source = *this;
  TPicks picks(FCount);
  Clear();
  while (picks.Count() > 0) {
    TFuzzyBlock b = source.Block(picks.Take(local));
    Add(b);
  }
#endif
  R.SetSeed(local.GetSeed());
}

void TZEL::Reproduce(TRandom& R, const TZEL& Source, double PNoise) {
  Assign(Source);
  Shuffle(R);
  TRandom local(R.GetSeed());
  for (int i = 0; i < FCount; ++i)
    Blocks[static_cast<std::size_t>(i)].Mutate(local, PNoise);
  R.SetSeed(local.GetSeed());
}

void TZEL::Crossover(TRandom& R, const TZEL& Parent2, TZEL& Child1, TZEL& Child2, double PCrossover,
                     double PNoise) const {
  // The children may be written over a parent: read the parents from copies then (made
  // here, so that the usual call has no room for them to fill).
  if (&Child1 == this || &Child2 == this || &Child1 == &Parent2 || &Child2 == &Parent2) {
    const TZEL copyA = *this, copyB = Parent2;
    copyA.Crossover(R, copyB, Child1, Child2, PCrossover, PNoise);
    return;
  }
  TRandom local(R.GetSeed());
  const int n = FCount;
  const int cut = Flip(local, false, PCrossover) ? RandomInt(local, 0, n - 1) : n - 1;
  const TZEL& a = *this;
  const TZEL& b = Parent2;
  TPicks fromA(a.Count()), fromB(b.Count());
  Child1.Clear();
  Child2.Clear();
  if (Plannable(a.Count(), b.Count(), cut, PNoise)) {
    // Where noise strikes in no move, as at the usual noise nearly always, every pick is
    // made from its own seed and every block is copied as it is.
    const TCrossPlan& plan = CrossPlan(a.Count(), b.Count(), cut);
    const std::uint32_t seed = local.GetSeed();
    if (!plan.Strikes(seed, Rng::TDrawThreshold(PNoise))) {
      const TZEL* from[2] = {&a, &b};
      TZEL* to[2] = {&Child1, &Child2};
      // Move K takes the Index-th of its parent's remaining blocks, numbered from 0.
      auto index = [&](std::size_t K) {
        const int left = plan.Left[K];
        return left >= 2 ? RandomIntOf(plan.PickA[K] * seed + plan.PickC[K], 0, left - 1) : 0;
      };
      // (At the place the plan gives it: counted in the child, the count would be stored and
      // read again at every move, the compiler not knowing that the blocks are elsewhere.)
      auto give = [&](std::size_t K, int Block) {
        to[plan.ToChild2[K]]->Blocks[plan.Slot[K]] = from[plan.FromB[K]]->Block(Block);
      };
      Child1.FCount = plan.Given[0];
      Child2.FCount = plan.Given[1];
      const auto moves = static_cast<std::size_t>(plan.Moves);
#if ZEL_X86_PATHS
      if (Cpu::Level() == Cpu::TLevel::Avx512) {
        // The remaining blocks of each parent as the set bits of a word: the Index-th is the
        // Index-th set bit, which one instruction finds (quickly on every processor with
        // AVX-512). The row of picks would make each take wait for the row the last one wrote.
        const auto moveAll = [&]() __attribute__((target("bmi,bmi2"))) {
          std::uint32_t left[2] = {LowBits(a.Count()), LowBits(b.Count())};
          for (std::size_t k = 0; k < moves; ++k) {
            std::uint32_t& remaining = left[plan.FromB[k]];
            const std::uint32_t taken = _pdep_u32(1u << index(k), remaining);
            remaining &= ~taken;
            give(k, std::countr_zero(taken));
          }
        };
        moveAll();
        R.SetSeed(Rng::SeedAfter(seed, plan.Draws));
        return;
      }
#endif
      TPicks* picks[2] = {&fromA, &fromB};
      for (std::size_t k = 0; k < moves; ++k)
        give(k, picks[plan.FromB[k]]->TakeAt(index(k)));
      R.SetSeed(Rng::SeedAfter(seed, plan.Draws));
      return;
    }
  }
  for (int i = 0; i <= cut; ++i) {
    MoveNoisyBlock(local, a, fromA, Child1, PNoise);
    MoveNoisyBlock(local, b, fromB, Child2, PNoise);
  }
  for (int i = 0; i < n - 1 - cut; ++i) {
    MoveNoisyBlock(local, b, fromB, Child1, PNoise);
    MoveNoisyBlock(local, a, fromA, Child2, PNoise);
  }
  R.SetSeed(local.GetSeed());
}

namespace {
// Follows the draws of a variation without making them one after another: only the draws
// that decide whether noise strikes are looked at, each found by a jump from the start.
class TDrawSkipper {
public:
  TDrawSkipper(TRandom& R, double PNoise)
      : R(R), Base(R.GetSeed()), Always(std::isnan(PNoise)), Threshold(PNoise) {}
  ~TDrawSkipper() { R.SetSeed(Rng::SeedAfter(Base, static_cast<std::uint64_t>(Drawn))); }
  TDrawSkipper(const TDrawSkipper&) = delete;
  TDrawSkipper& operator=(const TDrawSkipper&) = delete;

  void Skip(int K) { Drawn += K; }
  // Count noise decisions in a row (Stride 1), or Count picks each followed by its noise
  // decision (Stride 2). A decision is one draw, and two more when it is not above the
  // probability (which a probability that is not a number never is). The decisions are read
  // in bulk, as flip masks, up to the first that strikes.
  void Run(int Count, int Stride) {
    while (Count > 0) {
      if (Always) { // noise always strikes: nothing to look at
        Drawn += 3 * Count + (Stride - 1) * Count;
        return;
      }
      std::array<std::uint8_t, 8> masks[2]{};
      std::uint8_t* out[2] = {masks[0].data(), masks[1].data()};
      const int part = std::min(Count, 64);
      TRandom at(Rng::SeedAfter(Base, static_cast<std::uint64_t>(Drawn)));
      at.DrawMasks(static_cast<std::uint32_t>(part), Stride, Threshold, out);
      const int strikes = FirstSet(masks[static_cast<std::size_t>(Stride - 1)]);
      const int done = strikes < 0 ? part : strikes + 1;
      Drawn += Stride * done + (strikes < 0 ? 0 : 2);
      Count -= done;
    }
  }

private:
  // The first set bit of a mask of up to 64 bits, or -1.
  static int FirstSet(const std::array<std::uint8_t, 8>& Mask) {
    std::uint64_t bits = 0;
    for (std::size_t b = 0; b < Mask.size(); ++b)
      bits |= static_cast<std::uint64_t>(Mask[b]) << (8 * b);
    return bits == 0 ? -1 : std::countr_zero(bits);
  }

  TRandom& R;
  std::uint32_t Base;
  int Drawn = 0;
  bool Always;
  Rng::TDrawThreshold Threshold;
};
} // namespace

void TZEL::SkipReproduce(TRandom& R, int Count, double PNoise) {
  TDrawSkipper skipper(R, PNoise);
  if (Count > 1) skipper.Skip(Count - 1); // the shuffle's picks
  skipper.Run(Count, 1);
}

void TZEL::SkipCrossover(TRandom& R, int CountA, int CountB, double PCrossover, double PNoise) {
  const int n = CountA;
  const int cut = Flip(R, false, PCrossover) ? RandomInt(R, 0, n - 1) : n - 1;
  if (Plannable(CountA, CountB, cut, PNoise)) {
    const TCrossPlan& plan = CrossPlan(CountA, CountB, cut);
    if (!plan.Strikes(R.GetSeed(), Rng::TDrawThreshold(PNoise))) {
      R.Skip(plan.Draws);
      return;
    }
  }
  // The draws of each move, in order: none when its parent has no block left, the noise
  // decision alone for the last block, a pick and the decision otherwise.
  std::array<std::uint8_t, 2 * MaxBlocks + 2> draws{};
  int moves = 0, leftA = CountA, leftB = CountB;
  auto move = [&](int& Left) {
    draws[static_cast<std::size_t>(moves++)] = static_cast<std::uint8_t>(Left == 0 ? 0 : Left == 1 ? 1 : 2);
    if (Left > 0) --Left;
  };
  for (int i = 0; i <= cut; ++i) {
    move(leftA);
    move(leftB);
  }
  for (int i = 0; i < n - 1 - cut; ++i) {
    move(leftB);
    move(leftA);
  }
  TDrawSkipper skipper(R, PNoise);
  for (int i = 0; i < moves;) {
    int j = i;
    while (j < moves && draws[static_cast<std::size_t>(j)] == draws[static_cast<std::size_t>(i)])
      ++j;
    if (draws[static_cast<std::size_t>(i)] != 0) skipper.Run(j - i, draws[static_cast<std::size_t>(i)]);
    i = j;
  }
}

void IntToHexChar(int N, std::string& S) {
  if (N >= 0 && N <= 9)
    S = std::string(1, static_cast<char>(48 + N));
  else if (N >= 10 && N <= 15)
    S = std::string(1, static_cast<char>(55 + N));
}

int HexCharToInt(char C) {
  if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
  if (C >= '0' && C <= '9') return C - '0';
  return static_cast<unsigned char>(C) - 87;
}

void TZEL::ToText(std::string& S) const {
  // Every block of a program is valid (Add validates, decoding and mutation give legal
  // values): each field is one digit as IntToHexChar writes it.
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text(static_cast<std::size_t>(5 * FCount), '0');
  for (int i = 0; i < FCount; ++i) {
    const TFuzzyBlock& b = Block(i);
    char* const at = text.data() + 5 * static_cast<std::ptrdiff_t>(i);
    at[0] = digits[b.Shape & 15];
    at[1] = digits[b.Position & 15];
    at[2] = digits[b.Spread & 15];
    at[3] = digits[b.Periods & 15];
    at[4] = digits[b.Operator & 15];
  }
  S = std::move(text);
}

std::string TZEL::ToText() const {
  std::string s;
  ToText(s);
  return s;
}

void TZEL::FromText(const std::string& S) {
  if (S.size() % 5 != 0) return;
  Clear();
  for (std::size_t g = 0; g < S.size(); g += 5) {
    TFuzzyBlock b{HexCharToInt(S[g]), HexCharToInt(S[g + 1]), HexCharToInt(S[g + 2]), HexCharToInt(S[g + 3]),
                  HexCharToInt(S[g + 4])};
    b.Validate();
    Add(b);
  }
}

bool operator==(const TZEL& A, const TZEL& B) {
  if (A.FCount != B.FCount) return false;
  for (int i = 0; i < A.FCount; ++i)
    if (!(A.Block(i) == B.Block(i))) return false;
  return true;
}
