#include "ZEL/Chromosome.h"

#include "FuzzySet/Random.h"
#include "ZEL/ZEL.h"

void TChromosome::Create(std::int32_t NewBitCount, double POne) {
  BitCount = NewBitCount > 0 ? NewBitCount : 0;
  const std::int32_t f = BitCount / 8, r = BitCount % 8;
  Bits.assign(static_cast<std::size_t>(f + (r >= 1 ? 1 : 0)), 0);
  auto drawByte = [&](std::int32_t Byte, std::int32_t NBits) {
    std::uint8_t v = 0;
    for (std::int32_t k = 0; k < NBits; ++k)
      if (Rng::Random() <= POne) v = static_cast<std::uint8_t>(v | (1u << k));
    Bits[static_cast<std::size_t>(Byte)] = v;
  };
  if (r >= 1) drawByte(f, r);
  for (std::int32_t i = 0; i < f; ++i) drawByte(i, 8);
}

void TChromosome::Clear() {
  BitCount = 0;
  Bits.clear();
  Bits.shrink_to_fit();
}

void TChromosome::Assign(const TChromosome& Source) {
  BitCount = Source.BitCount;
  Bits = Source.Bits;
}

void TChromosome::MutateFrom(const TChromosome& Source, double PMutation) {
  Assign(Source);
  for (std::int32_t i = 0; i < BitCount; ++i) SetBit(i, Flip(GetBit(i), PMutation));
}

void TChromosome::Crossover(const TChromosome& Parent2, TChromosome& Child1, TChromosome& Child2,
                            double PCrossover, double PMutation) const {
  const std::int32_t n = BitCount;
  std::int32_t cut = Flip(false, PCrossover) ? RandomInt(0, n - 1) : n - 1;
  if (cut > n - 1) cut = n - 1; // an empty chromosome has no bit to cut at
  for (std::int32_t i = 0; i <= cut; ++i) {
    Child1.SetBit(i, Flip(GetBit(i), PMutation));
    Child2.SetBit(i, Flip(Parent2.GetBit(i), PMutation));
  }
  for (std::int32_t i = cut + 1; i < n; ++i) {
    Child1.SetBit(i, Flip(Parent2.GetBit(i), PMutation));
    Child2.SetBit(i, Flip(GetBit(i), PMutation));
  }
}
