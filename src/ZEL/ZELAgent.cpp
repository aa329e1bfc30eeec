#include "ZEL/ZELAgent.h"

#include "FuzzySet/Cpu.h"
#include "FuzzySet/Extended.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define ZEL_BLEND_BLOCKS 1
#else
#define ZEL_BLEND_BLOCKS 0
#endif

std::int32_t FitnessFromHamming(double H, int Count) {
  const int n = std::max(Count, 1);
  const double d = Extended::ToDouble(TExtended(H) / TExtended(n));
  if (d <= FitnessThreshold) return 100;
  return static_cast<std::int32_t>(Extended::Round(TExtended(FitnessNumerator) / TExtended(d)));
}

void TZELAgent::Create(TRandom& R, std::int32_t NewBlockCount, std::int32_t NewElements, bool NewGenotype) {
  BlockCount = (NewBlockCount < 1 || NewBlockCount > TZEL::MaxBlocks) ? 1 : NewBlockCount;
  Elements = NewElements;
  Genotype = NewGenotype;
  Fitness = 0;
  Chromosome.Create(R, BitsPerBlock * BlockCount, 0.5);
  ZEL.Clear();
  Decode();
}

std::uint64_t TZELAgent::CreateDraws(std::int32_t BlockCount) {
  if (BlockCount < 1 || BlockCount > TZEL::MaxBlocks) BlockCount = 1;
  return TChromosome::CreateDraws(BitsPerBlock * BlockCount);
}

namespace {
// Bits First .. First + 17 of Size bytes of bits, bit First lowest.
inline std::uint32_t WindowAt(const std::uint8_t* Bits, std::size_t Size, std::size_t First) {
  const std::size_t byte = First >> 3;
  std::uint32_t window = 0;
  if (byte + 4 <= Size) {
    std::memcpy(&window, Bits + byte, sizeof window);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    window = __builtin_bswap32(window);
#endif
  } else {
    for (std::size_t i = 0; byte + i < Size; ++i)
      window |= static_cast<std::uint32_t>(Bits[byte + i]) << (8 * i);
  }
  return (window >> (First & 7u)) & 0x3FFFFu;
}

inline std::uint32_t Window(const TChromosome& Chromosome, int B) {
  return WindowAt(Chromosome.Bits.data(), Chromosome.Bits.size(),
                  static_cast<std::size_t>(BitsPerBlock) * static_cast<std::size_t>(B));
}
} // namespace

std::uint32_t BlockWindow(const TChromosome& Chromosome, int B) {
  return Window(Chromosome, B);
}

TFuzzyBlock DecodeWindow(std::uint32_t Window) {
  // Within a field the first bit is the most significant: the fields are read bit-reversed.
  static constexpr std::int32_t reverse4[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
  static constexpr std::int32_t reverse3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  return TFuzzyBlock{reverse4[Window & 15u], reverse4[(Window >> 4) & 15u], reverse3[(Window >> 8) & 7u],
                     reverse3[(Window >> 11) & 7u], reverse4[(Window >> 14) & 15u]};
}

TFuzzyBlock DecodeBlock(const TChromosome& Chromosome, int B) {
  return DecodeWindow(BlockWindow(Chromosome, B));
}

namespace {
// The fields of a block from its 18 bits, by table: Shape and Position from the low byte,
// Spread and Periods from the next six bits, each pair as the two integers they are stored as.
struct TDecodeTables {
  std::array<std::array<std::int32_t, 2>, 256> ShapePosition{};
  std::array<std::array<std::int32_t, 2>, 64> SpreadPeriods{};
  std::array<std::int32_t, 16> Operator{};
};
const TDecodeTables& DecodeTables() {
  static const TDecodeTables tables = [] {
    TDecodeTables t;
    for (std::uint32_t w = 0; w < 256; ++w) {
      const TFuzzyBlock b = DecodeWindow(w);
      t.ShapePosition[w] = {b.Shape, b.Position};
    }
    for (std::uint32_t w = 0; w < 64; ++w) {
      const TFuzzyBlock b = DecodeWindow(w << 8);
      t.SpreadPeriods[w] = {b.Spread, b.Periods};
    }
    for (std::uint32_t w = 0; w < 16; ++w)
      t.Operator[w] = DecodeWindow(w << 14).Operator;
    return t;
  }();
  return tables;
}
} // namespace

namespace {
// Copies Count blocks. A short copy of varying length, as the string instruction that a
// compiler may make of memcpy, costs more than the bytes it moves: here whole 32-byte
// pieces, the last of them overlapping the one before.
inline void CopyBlocks(TFuzzyBlock* To, const TFuzzyBlock* From, int Count) {
  if (Count <= 0) return;
  auto* const to = reinterpret_cast<unsigned char*>(To);
  const auto* const from = reinterpret_cast<const unsigned char*>(From);
  const std::size_t bytes = static_cast<std::size_t>(Count) * sizeof(TFuzzyBlock);
  if (bytes < 32) {
    std::memcpy(to, from, 16);
    std::memcpy(to + bytes - 16, from + bytes - 16, 16);
    return;
  }
  for (std::size_t i = 0; i + 32 < bytes; i += 32)
    std::memcpy(to + i, from + i, 32);
  std::memcpy(to + bytes - 32, from + bytes - 32, 32);
}

#if ZEL_BLEND_BLOCKS
// Fills the first Count blocks with the first Split bytes of Head and the rest of Tail, in
// 64-byte pieces, each a blend of the two: where the cut falls is random, and copies of its
// lengths would end in branches guessed wrong; Count is the same at every breeding of a
// population. (The last piece may reach past the blocks, never past the room for them.)
__attribute__((target("avx512f,avx512bw,bmi2"))) void
BlendBlocks(TFuzzyBlock* To, const TFuzzyBlock* Head, const TFuzzyBlock* Tail, int Count, int Split) {
  static_assert(TZEL::MaxBlocks * sizeof(TFuzzyBlock) % 64 == 0);
  auto* const to = reinterpret_cast<unsigned char*>(To);
  const auto* const head = reinterpret_cast<const unsigned char*>(Head);
  const auto* const tail = reinterpret_cast<const unsigned char*>(Tail);
  const int bytes = Count * static_cast<int>(sizeof(TFuzzyBlock));
  for (int at = 0; at < bytes; at += 64) {
    const __mmask64 fromHead = _bzhi_u64(~0ull, static_cast<unsigned>(std::clamp(Split - at, 0, 64)));
    _mm512_storeu_si512(to + at, _mm512_mask_blend_epi8(fromHead, _mm512_loadu_si512(tail + at),
                                                        _mm512_loadu_si512(head + at)));
  }
}
#endif

inline void DecodeInto(TFuzzyBlock& Block, const TDecodeTables& T, std::uint32_t Window) {
  std::memcpy(&Block.Shape, T.ShapePosition[Window & 0xFFu].data(), 2 * sizeof(std::int32_t));
  std::memcpy(&Block.Spread, T.SpreadPeriods[(Window >> 8) & 0x3Fu].data(), 2 * sizeof(std::int32_t));
  Block.Operator = T.Operator[(Window >> 14) & 0xFu];
}
} // namespace

void TZELAgent::Decode() {
  static_assert(std::is_standard_layout_v<TFuzzyBlock> && offsetof(TFuzzyBlock, Position) == 4 &&
                offsetof(TFuzzyBlock, Periods) == offsetof(TFuzzyBlock, Spread) + 4);
  const TDecodeTables& t = DecodeTables();
  const int count = std::clamp(BlockCount, 0, TZEL::MaxBlocks);
  const std::uint8_t* const bits = Chromosome.Bits.data();
  const std::size_t size = Chromosome.Bits.size();
  for (int b = 0; b < count; ++b)
    DecodeInto(ZEL.Blocks[static_cast<std::size_t>(b)], t,
               WindowAt(bits, size, static_cast<std::size_t>(BitsPerBlock * b)));
  ZEL.FCount = count;
}

TBlockRange BlockRange(const TFuzzyBlock& Block, int N) {
  const int u = N / 16;
  int lo = Block.Position * u - Block.Spread * u;
  int hi = Block.Position * u + u - 1 + Block.Spread * u;
  if (lo < 0) lo = 0;
  // A block that reaches the end of the sixteenth stretch takes the remainder too.
  if (hi >= 16 * u - 1) hi = N - 1;
  return {lo, hi};
}

void TZELAgent::Develop(TFuzzySet& FS) const {
  FS.Clear();
  FS.Fill(Elements, 50);
  const int blocks = std::min(BlockCount, ZEL.Count());
  for (int i = 0; i < blocks; ++i) {
    const TFuzzyBlock& b = ZEL.Block(i);
    const TBlockRange r = BlockRange(b, Elements);
    FS.ApplyBlock(b.Shape, b.Periods, r.Lo, r.Hi, b.Operator);
  }
}

void TZELAgent::Evaluate(const TFuzzySet& Developed, const TFuzzySet& Environment) {
  Fitness = FitnessFromHamming(Developed.HammingDistance(Environment), Developed.Count());
}

void TZELAgent::MutateFrom(TRandom& R, const TZELAgent& Source, double PMutation, double PNoise) {
  Fitness = Source.Fitness;
  BlockCount = Source.BlockCount;
  Elements = Source.Elements;
  Genotype = Source.Genotype;
  if (Genotype) {
    // An unchanged copy of a genotype agent's chromosome decodes into that agent's program.
    if (Chromosome.MutateFrom(R, Source.Chromosome, PMutation) && Source.Genotype && Consistent(Source))
      ZEL = Source.ZEL;
    else
      Decode();
  } else {
    ZEL.Reproduce(R, Source.ZEL, PNoise);
  }
}

bool TZELAgent::Consistent(const TZELAgent& Other) const {
  return Other.BlockCount == BlockCount && Other.ZEL.Count() == std::clamp(BlockCount, 0, TZEL::MaxBlocks) &&
         Other.Chromosome.BitCount == Chromosome.BitCount &&
         Other.Chromosome.Bits.size() == Chromosome.Bits.size();
}

bool TZELAgent::SameGenotypeAs(const TZELAgent& Other) const {
  return Genotype && Other.Genotype && Consistent(Other) && ZEL.Count() == Other.ZEL.Count() &&
         Chromosome.SameBits(Other.Chromosome);
}

void TZELAgent::DecodeCrossed(const TZELAgent& Head, const TZELAgent& Tail, std::int32_t Cut) {
  // Bits 0 .. Cut are Head's, the rest Tail's: a block wholly on one side is that parent's
  // block (a genotype agent's program is the decoding of its chromosome); only a block that
  // the cut divides is decoded.
  if (Cut < 0 || !Head.Genotype || !Tail.Genotype || !Consistent(Head) || !Consistent(Tail) ||
      Chromosome.BitCount != BitsPerBlock * BlockCount) {
    Decode();
    return;
  }
  const int count = ZEL.FCount = std::clamp(BlockCount, 0, TZEL::MaxBlocks);
  const int head = std::min((Cut + 1) / BitsPerBlock, count);
  const bool divided = head < count && (Cut + 1) % BitsPerBlock != 0;
#if ZEL_BLEND_BLOCKS
  if (Cpu::Level() == Cpu::TLevel::Avx512) {
    // (Past the program's blocks the room may take Tail's leftovers, which nothing reads.)
    BlendBlocks(ZEL.Blocks.data(), Head.ZEL.Blocks.data(), Tail.ZEL.Blocks.data(), count,
                head * static_cast<int>(sizeof(TFuzzyBlock)));
  } else
#endif
  {
    CopyBlocks(ZEL.Blocks.data(), Head.ZEL.Blocks.data(), head);
    const int rest = head + (divided ? 1 : 0);
    CopyBlocks(ZEL.Blocks.data() + rest, Tail.ZEL.Blocks.data() + rest, count - rest);
  }
  if (divided)
    DecodeInto(ZEL.Blocks[static_cast<std::size_t>(head)], DecodeTables(),
               WindowAt(Chromosome.Bits.data(), Chromosome.Bits.size(),
                        static_cast<std::size_t>(BitsPerBlock * head)));
}

void TZELAgent::Breed(TRandom& R, const TZELAgent& Parent2, TZELAgent& Child1, TZELAgent& Child2,
                      const TBreedingProbabilities& P) const {
  if (Genotype && Parent2.Genotype) {
    const std::int32_t cut = Chromosome.Crossover(R, Parent2.Chromosome, Child1.Chromosome, Child2.Chromosome,
                                                  P.Crossover, P.Mutation);
    Child1.Genotype = true;
    Child2.Genotype = true;
    Child1.DecodeCrossed(*this, Parent2, cut);
    Child2.DecodeCrossed(Parent2, *this, cut);
  } else if (!Genotype && !Parent2.Genotype) {
    ZEL.Crossover(R, Parent2.ZEL, Child1.ZEL, Child2.ZEL, P.Crossover, P.Noise);
    Child1.Genotype = false;
    Child2.Genotype = false;
  } else {
    Child1.MutateFrom(R, *this, P.Mutation, P.Noise);
    Child2.MutateFrom(R, Parent2, P.Mutation, P.Noise);
  }
}

void TZELAgent::SkipBreed(TRandom& R, const TZELAgent& A, const TZELAgent& B,
                          const TBreedingProbabilities& P) {
  SkipBreed(R, A.ParentShape(), B.ParentShape(), P);
}

void TZELAgent::SkipBreed(TRandom& R, const TParentShape& A, const TParentShape& B,
                          const TBreedingProbabilities& P) {
  if (A.Genotype && B.Genotype) {
    TChromosome::SkipCrossover(R, A.Bits, P.Crossover);
  } else if (!A.Genotype && !B.Genotype) {
    TZEL::SkipCrossover(R, A.Blocks, B.Blocks, P.Crossover, P.Noise);
  } else {
    for (const TParentShape* parent : {&A, &B})
      if (parent->Genotype)
        TChromosome::SkipMutateFrom(R, parent->Bits);
      else
        TZEL::SkipReproduce(R, parent->Blocks, P.Noise);
  }
}
