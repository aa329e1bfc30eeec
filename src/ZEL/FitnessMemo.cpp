#include "ZEL/FitnessMemo.h"

#include "FuzzySet/Cpu.h"
#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif
#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif
#include <utility>

namespace {
// A slot's tag: 0 while empty, Busy while one thread writes it, then Ready with 49 bits of
// the key's hash, the key's block count and the fitness.
constexpr std::uint64_t Busy = 1;
constexpr std::uint64_t Ready = std::uint64_t{1} << 63;
constexpr std::uint64_t FitnessBits = 0xFF;
constexpr int CountShift = 8; // 6 bits: 0..32 blocks
constexpr int HashShift = 14;
// Slots looked at from a key's place before it counts as absent (or is left unnoted).
constexpr int MaxProbes = 16;
// A pass in which fewer than one lookup in HitShare (as the owner set it) found its program
// puts the memo to rest: for one pass the first time, and for twice as many each time again,
// up to MaxRest passes. The pass after a rest only fills the memo again and is not judged.
constexpr int MaxRest = 64;

int WordsFor(int Blocks) {
  return std::max(1, (5 * Blocks + TProgramKey::FieldsPerWord - 1) / TProgramKey::FieldsPerWord);
}

// Whether two keys' words agree (a few words: no call to a library comparison).
inline bool SameWords(const std::uint64_t* A, const std::uint64_t* B, int Count) {
  std::uint64_t differ = 0;
  for (int w = 0; w < Count; ++w)
    differ |= A[w] ^ B[w];
  return differ == 0;
}

std::uint64_t TagOf(const TProgramKey& Key) {
  return Ready | ((Key.Hash >> (HashShift + 1)) << HashShift) |
         (static_cast<std::uint64_t>(Key.Blocks) << CountShift);
}
} // namespace

namespace {
// Count fields (integers) into Words, a half byte each, sixteen to a word; whether every
// field lies in 0..15. Every version gives the same words.
bool PackFields(const std::int32_t* Fields, int Count, std::uint64_t* Words) {
  std::uint32_t seen = 0;
  for (int f = 0; f < Count; ++f) {
    const auto v = static_cast<std::uint32_t>(Fields[f]);
    seen |= v;
    Words[f / TProgramKey::FieldsPerWord] |= static_cast<std::uint64_t>(v & 15u)
                                             << (4 * (f % TProgramKey::FieldsPerWord));
  }
  return seen <= 15u;
}

#if defined(__x86_64__) && defined(__GNUC__)
bool PackFieldsSse2(const std::int32_t* Fields, int Count, std::uint64_t* Words) {
  __m128i any = _mm_setzero_si128();
  const __m128i lane = _mm_setr_epi32(0, 1, 2, 3), low = _mm_set1_epi16(0xFF);
  for (int first = 0, w = 0; first < Count; first += TProgramKey::FieldsPerWord, ++w) {
    __m128i v[4];
    for (int k = 0; k < 4; ++k)
      v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Fields + first + 4 * k));
    if (Count - first < TProgramKey::FieldsPerWord) // the room after the last block is not the program's
      for (int k = 0; k < 4; ++k)
        v[k] = _mm_and_si128(v[k], _mm_cmplt_epi32(lane, _mm_set1_epi32(Count - first - 4 * k)));
    any = _mm_or_si128(any, _mm_or_si128(_mm_or_si128(v[0], v[1]), _mm_or_si128(v[2], v[3])));
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(v[0], v[1]), _mm_packs_epi32(v[2], v[3]));
    const __m128i halves = _mm_and_si128(_mm_or_si128(bytes, _mm_srli_epi16(bytes, 4)), low);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(Words + w), _mm_packus_epi16(halves, halves));
  }
  alignas(16) std::uint32_t lanes[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), any);
  return (lanes[0] | lanes[1] | lanes[2] | lanes[3]) <= 15u;
}

__attribute__((target("avx2,avx512f,avx512bw,avx512vl"))) bool
PackFieldsAvx512(const std::int32_t* Fields, int Count, std::uint64_t* Words) {
  __m512i any = _mm512_setzero_si512();
  const __m128i low = _mm_set1_epi16(0xFF);
  for (int first = 0, w = 0; first < Count; first += TProgramKey::FieldsPerWord, ++w) {
    const int left = Count - first;
    const auto mask = static_cast<__mmask16>(left >= 16 ? 0xFFFFu : (1u << left) - 1u);
    const __m512i v = _mm512_maskz_loadu_epi32(mask, Fields + first);
    any = _mm512_or_si512(any, v);
    const __m128i bytes = _mm512_maskz_cvtepi32_epi8(0xFFFF, v);
    const __m128i halves = _mm_and_si128(_mm_or_si128(bytes, _mm_srli_epi16(bytes, 4)), low);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(Words + w), _mm_maskz_cvtepi16_epi8(0xFF, halves));
  }
  return _mm512_test_epi32_mask(any, _mm512_set1_epi32(~15)) == 0;
}
#elif defined(__wasm_simd128__)
// As with SSE2, in WebAssembly's vectors.
bool PackFieldsWasm(const std::int32_t* Fields, int Count, std::uint64_t* Words) {
  v128_t any = wasm_i32x4_splat(0);
  const v128_t lane = wasm_i32x4_const(0, 1, 2, 3), low = wasm_i16x8_splat(0xFF);
  for (int first = 0, w = 0; first < Count; first += TProgramKey::FieldsPerWord, ++w) {
    v128_t v[4];
    for (int k = 0; k < 4; ++k)
      v[k] = wasm_v128_load(Fields + first + 4 * k);
    if (Count - first < TProgramKey::FieldsPerWord) // the room after the last block is not the program's
      for (int k = 0; k < 4; ++k)
        v[k] = wasm_v128_and(v[k], wasm_i32x4_lt(lane, wasm_i32x4_splat(Count - first - 4 * k)));
    any = wasm_v128_or(any, wasm_v128_or(wasm_v128_or(v[0], v[1]), wasm_v128_or(v[2], v[3])));
    const v128_t bytes =
        wasm_u8x16_narrow_i16x8(wasm_i16x8_narrow_i32x4(v[0], v[1]), wasm_i16x8_narrow_i32x4(v[2], v[3]));
    const v128_t halves = wasm_v128_and(wasm_v128_or(bytes, wasm_u16x8_shr(bytes, 4)), low);
    wasm_v128_store64_lane(Words + w, wasm_u8x16_narrow_i16x8(halves, halves), 0);
  }
  return !wasm_v128_any_true(wasm_v128_and(any, wasm_i32x4_splat(~15)));
}
#endif
} // namespace

TProgramKey::TProgramKey(const TZEL& Program, int B) {
  static_assert(sizeof(TFuzzyBlock) == 5 * sizeof(std::int32_t) && std::is_standard_layout_v<TFuzzyBlock>);
  Blocks = std::clamp(std::min(B, Program.Count()), 0, TZEL::MaxBlocks);
  // The blocks' fields are one row of integers: sixteen at a time become a word, each field
  // a half byte. A field outside 0..15 would not fit; its program is never kept.
  const auto* const fields = reinterpret_cast<const std::int32_t*>(Program.Data());
  const int count = 5 * Blocks, words = (count + FieldsPerWord - 1) / FieldsPerWord;
#if defined(__x86_64__) && defined(__GNUC__)
  const std::uint32_t seen = Cpu::Level() == Cpu::TLevel::Avx512 ? PackFieldsAvx512(fields, count, Words)
                                                                 : PackFieldsSse2(fields, count, Words);
#elif defined(__wasm_simd128__)
  const std::uint32_t seen = PackFieldsWasm(fields, count, Words) ? 0u : 16u;
#else
  const std::uint32_t seen = PackFields(fields, count, Words);
#endif
  if (seen > 15u) {
    Blocks = -1;
    return;
  }
  // Four chains, each of every fourth word, that the processor works side by side (one chain
  // of multiplications was most of a key's time), then mixed into one. The words past the
  // program's are 0; the block count is in every chain's start.
  const std::uint64_t start = 0x9E3779B97F4A7C15ull * static_cast<std::uint64_t>(Blocks + 1);
  std::uint64_t h0 = start, h1 = start ^ 0x632BE59BD9B4E019ull, h2 = start ^ 0x85EBCA77C2B2AE63ull,
                h3 = start ^ 0xC2B2AE3D27D4EB4Full;
  auto step = [](std::uint64_t& H, std::uint64_t W) {
    H = (H ^ W) * 0xBF58476D1CE4E5B9ull;
    H ^= H >> 31;
  };
  auto word = [this](int W) { return W < MaxWords ? Words[W] : 0; };
  for (int w = 0; w < words; w += 4) {
    step(h0, word(w));
    step(h1, word(w + 1));
    step(h2, word(w + 2));
    step(h3, word(w + 3));
  }
  std::uint64_t h = h0 ^ std::rotl(h1, 16) ^ std::rotl(h2, 32) ^ std::rotl(h3, 48);
  h = (h ^ (h >> 30)) * 0x94D049BB133111EBull;
  Hash = h ^ (h >> 31);
}

bool operator==(const TProgramKey& A, const TProgramKey& B) {
  return A.Blocks == B.Blocks && SameWords(A.Words, B.Words, WordsFor(std::max(A.Blocks, 0)));
}

bool PackKeyFieldsPortably(const std::int32_t* Fields, int Count, std::uint64_t* Words) {
  return PackFields(Fields, Count, Words);
}

TFitnessMemo::TFitnessMemo(int NewPrograms, int Blocks)
    : FMaxBlocks(std::clamp(Blocks, 1, TZEL::MaxBlocks)), Width(WordsFor(FMaxBlocks)),
      Programs(std::max(NewPrograms, 1)) {
  const auto capacity = std::bit_ceil(static_cast<std::uint64_t>(std::max(64, 4 * Programs)));
  Mask = capacity - 1;
  for (TTable& t : Tables) {
    t.Tags = std::make_unique<std::atomic<std::uint64_t>[]>(capacity);
    t.Words.reset(
        new std::uint64_t[capacity * static_cast<std::uint64_t>(Width)]); // each written before it is read
  }
}

TFitnessMemo::~TFitnessMemo() = default;

bool TFitnessMemo::Fits(int NewPrograms, int Blocks) const {
  return NewPrograms <= Programs && std::clamp(Blocks, 1, TZEL::MaxBlocks) <= FMaxBlocks;
}

std::int32_t TFitnessMemo::FindIn(const TTable& T, const TProgramKey& Key, std::uint64_t Tag) const {
  for (int probe = 0; probe < MaxProbes; ++probe) {
    const std::uint64_t slot = (Key.Hash + static_cast<std::uint64_t>(probe)) & Mask;
    const std::uint64_t t = T.Tags[slot].load(std::memory_order_acquire);
    if (t == 0) return -1;
    if ((t & ~FitnessBits) != Tag) continue;
    const std::uint64_t* const words = &T.Words[slot * static_cast<std::uint64_t>(Width)];
    if (SameWords(words, Key.Words, Width)) return static_cast<std::int32_t>(t & FitnessBits);
  }
  return -1;
}

bool TFitnessMemo::InsertIn(TTable& T, const TProgramKey& Key, std::uint64_t Tag, std::int32_t Fitness) {
  for (int probe = 0; probe < MaxProbes; ++probe) {
    const std::uint64_t slot = (Key.Hash + static_cast<std::uint64_t>(probe)) & Mask;
    std::atomic<std::uint64_t>& tag = T.Tags[slot];
    std::uint64_t t = tag.load(std::memory_order_acquire);
    if (t == 0 && tag.compare_exchange_strong(t, Busy, std::memory_order_acquire)) {
      std::copy(Key.Words, Key.Words + Width, &T.Words[slot * static_cast<std::uint64_t>(Width)]);
      tag.store(Tag | static_cast<std::uint64_t>(Fitness), std::memory_order_release);
      return true;
    }
    // Claimed by another thread meanwhile, or taken before: the key may be there already.
    if ((t & ~FitnessBits) == Tag) {
      const std::uint64_t* const words = &T.Words[slot * static_cast<std::uint64_t>(Width)];
      if (SameWords(words, Key.Words, Width)) return true;
    }
  }
  return false;
}

std::int32_t TFitnessMemo::Find(const TProgramKey& Key) {
  if (Key.Blocks < 0 || Key.Blocks > FMaxBlocks) return -1;
  const std::uint64_t tag = TagOf(Key);
  std::int32_t fitness = FindIn(Tables[Newer], Key, tag);
  if (fitness >= 0) return fitness;
  fitness = FindIn(Tables[1 - Newer], Key, tag);
  if (fitness >= 0) InsertIn(Tables[Newer], Key, tag, fitness);
  return fitness;
}

void TFitnessMemo::Insert(const TProgramKey& Key, std::int32_t Fitness) {
  if (Key.Blocks < 0 || Key.Blocks > FMaxBlocks || Fitness < 0 ||
      Fitness > static_cast<std::int32_t>(FitnessBits))
    return;
  InsertIn(Tables[Newer], Key, TagOf(Key), Fitness);
}

void TFitnessMemo::Empty(TTable& T) {
  for (std::uint64_t i = 0; i <= Mask; ++i)
    T.Tags[i].store(0, std::memory_order_relaxed);
}

void TFitnessMemo::Reserve(int More) {
  // A table is kept at most about 60% full, so that a key's place is seldom far from it.
  if (Filled + std::max(More, 0) > static_cast<std::int64_t>(Mask + 1) * 3 / 5) {
    Newer = 1 - Newer;
    Empty(Tables[Newer]);
    Filled = 0;
  }
}

void TFitnessMemo::SetHitShare(int Share) {
  HitShare = std::clamp(Share, 1, 64);
}

void TFitnessMemo::Tell(std::int64_t Lookups, std::int64_t Hits) {
  Filled += std::max<std::int64_t>(Lookups, 0);
  if (Resting > 0) {
    if (--Resting == 0) Refilling = true;
    return;
  }
  if (std::exchange(Refilling, false)) return;
  if (Lookups == 0) return;
  if (Hits * HitShare >= Lookups) {
    Rest = 1;
    return;
  }
  Resting = Rest;
  Rest = std::min(2 * Rest, MaxRest);
}
