#pragma once
// The genotype: a string of bits, 18 per block, packed eight to a byte with
// bit i in bit (i mod 8) of byte (i div 8).

#include "FuzzySet/Random.h"

#include <cstdint>
#include <cstring>
#include <vector>

class TChromosome {
public:
  std::vector<std::uint8_t> Bits;
  std::int32_t BitCount = 0;

  // Random bits, each 1 when its draw is at most POne. A partial last byte is drawn first.
  void Create(TRandom& R, std::int32_t NewBitCount, double POne);
  // Bytes bytes of 0, with room for up to two cache lines more after them, so that no other
  // chromosome made alike shares a line with these bytes: threads write different agents'
  // chromosomes at once, and a line they share would pass from core to core at every write.
  void ZeroBytes(std::size_t Bytes) {
    Bits.reserve((Bytes + 63) / 64 * 64 + 64);
    Bits.assign(Bytes, 0);
  }
  void Clear();
  void Assign(const TChromosome& Source);
  bool GetBit(std::int32_t I) const {
    return (Bits[static_cast<std::size_t>(I) >> 3] >> (static_cast<unsigned>(I) & 7u)) & 1u;
  }
  void SetBit(std::int32_t I, bool B) {
    const auto mask = static_cast<std::uint8_t>(1u << (static_cast<unsigned>(I) & 7u));
    auto& byte = Bits[static_cast<std::size_t>(I) >> 3];
    byte = B ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
  }
  // A copy of Source with every bit flipped with probability PMutation. True when no bit
  // was flipped (the copy equals Source).
  bool MutateFrom(TRandom& R, const TChromosome& Source, double PMutation);
  // The bits of the last byte that belong to the chromosome.
  std::uint8_t LastByteMask() const {
    return static_cast<std::uint8_t>(BitCount % 8 == 0 ? 0xFF : (1u << (BitCount % 8)) - 1u);
  }
  // Whether Other has as many bits and the same ones (what lies past the last bit in its
  // byte aside).
  bool SameBits(const TChromosome& Other) const {
    if (BitCount != Other.BitCount) return false;
    if (BitCount <= 0) return true;
    const auto bytes = static_cast<std::size_t>(BitCount + 7) / 8;
    if (Bits.size() < bytes || Other.Bits.size() < bytes) return false;
    const std::uint8_t* const a = Bits.data();
    const std::uint8_t* const b = Other.Bits.data();
    const std::uint8_t used = LastByteMask();
    if (bytes < 8) {
      unsigned differ = 0;
      for (std::size_t i = 0; i + 1 < bytes; ++i)
        differ |= static_cast<unsigned>(a[i] ^ b[i]);
      return (differ | ((a[bytes - 1] ^ b[bytes - 1]) & used)) == 0;
    }
    // Eight bytes at a time, the last eight overlapping those before; of the last byte only
    // the chromosome's own bits.
    std::uint64_t differ = 0, x, y, mask;
    for (std::size_t i = 0; i + 8 < bytes; i += 8) {
      std::memcpy(&x, a + i, 8);
      std::memcpy(&y, b + i, 8);
      differ |= x ^ y;
    }
    const std::uint8_t keep[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, used};
    std::memcpy(&mask, keep, 8);
    std::memcpy(&x, a + bytes - 8, 8);
    std::memcpy(&y, b + bytes - 8, 8);
    return (differ | ((x ^ y) & mask)) == 0;
  }
  // This chromosome is the first parent; the children exchange the tails after a cut. The
  // cut (the last bit each child takes from its own parent) when no bit was flipped and the
  // children are exactly the parents' bits crossed there; otherwise -1.
  std::int32_t Crossover(TRandom& R, const TChromosome& Parent2, TChromosome& Child1, TChromosome& Child2,
                         double PCrossover, double PMutation) const;

  // Advance R exactly as MutateFrom and Crossover of chromosomes of BitCount bits would,
  // making only the draws that decide how many draws they make.
  static void SkipMutateFrom(TRandom& R, std::int32_t BitCount);
  static void SkipCrossover(TRandom& R, std::int32_t BitCount, double PCrossover);

  // Number of real draws that Create(BitCount, ...) makes.
  static std::uint64_t CreateDraws(std::int32_t BitCount) {
    return BitCount > 0 ? static_cast<std::uint64_t>(BitCount) : 0;
  }

  friend bool operator==(const TChromosome&, const TChromosome&) = default;
};
