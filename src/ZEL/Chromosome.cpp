#include "ZEL/Chromosome.h"

#include "FuzzySet/Random.h"
#include "ZEL/ZEL.h"

#include <algorithm>
#include <cstring>

void TChromosome::Create(TRandom& R, std::int32_t NewBitCount, double POne) {
  BitCount = NewBitCount > 0 ? NewBitCount : 0;
  const std::int32_t f = BitCount / 8, r = BitCount % 8;
  ZeroBytes(static_cast<std::size_t>(f + (r >= 1 ? 1 : 0)));
  // Bit k of a byte is 1 when its draw is at most POne: the partial last byte's draws come
  // first, then the whole bytes' in order, made as masks (the same draws, decided on the seeds).
  const Rng::TDrawThreshold threshold(POne);
  std::uint8_t* last[1] = {Bits.data() + f};
  if (r >= 1) R.DrawMasks(static_cast<std::uint32_t>(r), 1, threshold, last);
  std::uint8_t* whole[1] = {Bits.data()};
  if (f >= 1) R.DrawMasks(8 * static_cast<std::uint32_t>(f), 1, threshold, whole);
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

// Both operations draw one real per copied bit, in bit order. The draws are made in bulk
// as flip masks (the same draws, decided on the seeds) and applied a byte at a time.

namespace {
// The masks' buffer, kept between calls: breeding copies chromosomes many times a generation.
std::uint8_t* FlipBuffer(std::size_t Bytes) {
  thread_local std::vector<std::uint8_t> buffer;
  if (buffer.size() < Bytes) buffer.resize(Bytes);
  return buffer.data();
}
} // namespace

bool TChromosome::MutateFrom(TRandom& R, const TChromosome& Source, double PMutation) {
  Assign(Source);
  if (BitCount <= 0) return true;
  const Rng::TDrawThreshold threshold(PMutation);
  if (R.NoneAtMost(static_cast<std::uint32_t>(BitCount), threshold)) { // no bit flips
    R.Skip(static_cast<std::uint64_t>(BitCount));
    return true;
  }
  std::uint8_t* out[1] = {FlipBuffer(Bits.size())};
  R.DrawMasks(static_cast<std::uint32_t>(BitCount), 1, threshold, out);
  for (std::size_t b = 0; b < Bits.size(); ++b)
    Bits[b] ^= out[0][b];
  return false;
}

std::int32_t TChromosome::Crossover(TRandom& R, const TChromosome& Parent2, TChromosome& Child1,
                                    TChromosome& Child2, double PCrossover, double PMutation) const {
  const std::int32_t n = BitCount;
  std::int32_t cut = Flip(R, false, PCrossover) ? RandomInt(R, 0, n - 1) : n - 1;
  if (cut > n - 1) cut = n - 1; // an empty chromosome has no bit to cut at
  if (n <= 0) return -1;
  const std::size_t bytes = Bits.size();
  for (TChromosome* c : {&Child1, &Child2})
    if (c->Bits.size() < bytes) c->Bits.resize(bytes, 0);
  // Bits up to the cut come from the child's own parent, the rest from the other one; the
  // bits of the last byte beyond the chromosome keep what the children had there.
  const std::size_t last = bytes - 1;
  const std::uint8_t usedMask = LastByteMask();
  const auto kept1 = static_cast<std::uint8_t>(Child1.Bits[last] & ~usedMask);
  const auto kept2 = static_cast<std::uint8_t>(Child2.Bits[last] & ~usedMask);
  const std::uint8_t* const mine = Bits.data();
  const std::uint8_t* const theirs = Parent2.Bits.data();
  const std::size_t theirBytes = std::min(Parent2.Bits.size(), bytes);
  std::uint8_t* const c1 = Child1.Bits.data();
  std::uint8_t* const c2 = Child2.Bits.data();
  const auto head = static_cast<std::size_t>(cut + 1); // bits from the own parent
  const std::size_t whole = std::min(head / 8, bytes);
  const auto headMask = static_cast<std::uint8_t>((1u << (head % 8)) - 1u);

  const Rng::TDrawThreshold threshold(PMutation);
  const bool apart = c1 != mine && c1 != theirs && c2 != mine && c2 != theirs;
  if (R.NoneAtMost(2 * static_cast<std::uint32_t>(n), threshold) && apart && theirBytes == bytes) {
    // No bit flips, as nearly always: the children are the parents' bits, crossed at the cut
    // (the bits that differ past it change sides); eight bytes at a time where a word holds
    // them in order (bit i of the chromosome as bit i of its word), then byte by byte.
    R.Skip(2 * static_cast<std::uint64_t>(n));
    std::size_t b = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    for (; b + 8 <= bytes; b += 8) {
      const std::size_t own = head > 8 * b ? head - 8 * b : 0; // bits of the word from the own parent
      const std::uint64_t kept = own >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << own) - 1u;
      std::uint64_t m, t;
      std::memcpy(&m, mine + b, 8);
      std::memcpy(&t, theirs + b, 8);
      const std::uint64_t swapped = (m ^ t) & ~kept, w1 = m ^ swapped, w2 = t ^ swapped;
      std::memcpy(c1 + b, &w1, 8);
      std::memcpy(c2 + b, &w2, 8);
    }
#endif
    for (; b < bytes; ++b) {
      const std::size_t own = head > 8 * b ? head - 8 * b : 0;
      const unsigned kept = own >= 8 ? 0xFFu : (1u << own) - 1u;
      const unsigned swapped = static_cast<unsigned>(mine[b] ^ theirs[b]) & ~kept;
      c1[b] = static_cast<std::uint8_t>(mine[b] ^ swapped);
      c2[b] = static_cast<std::uint8_t>(theirs[b] ^ swapped);
    }
    c1[last] = static_cast<std::uint8_t>((c1[last] & usedMask) | kept1);
    c2[last] = static_cast<std::uint8_t>((c2[last] & usedMask) | kept2);
    return cut;
  }
  std::uint8_t* const flips = FlipBuffer(2 * bytes);
  std::uint8_t* out[2] = {flips, flips + bytes};
  R.DrawMasks(static_cast<std::uint32_t>(n), 2, threshold, out);
  const auto theirsAt = [&](std::size_t B) -> std::uint8_t { return B < theirBytes ? theirs[B] : 0; };
  std::size_t b = 0;
  for (; b < whole; ++b) {
    c1[b] = static_cast<std::uint8_t>(mine[b] ^ out[0][b]);
    c2[b] = static_cast<std::uint8_t>(theirsAt(b) ^ out[1][b]);
  }
  if (b < bytes) { // the byte of the cut
    const std::uint8_t m = mine[b], t = theirsAt(b);
    c1[b] = static_cast<std::uint8_t>(((m & headMask) | (t & ~headMask)) ^ out[0][b]);
    c2[b] = static_cast<std::uint8_t>(((t & headMask) | (m & ~headMask)) ^ out[1][b]);
    ++b;
  }
  for (; b < bytes; ++b) {
    const std::uint8_t t = theirsAt(b);
    c1[b] = static_cast<std::uint8_t>(t ^ out[0][b]);
    c2[b] = static_cast<std::uint8_t>(mine[b] ^ out[1][b]);
  }
  c1[last] = static_cast<std::uint8_t>((c1[last] & usedMask) | kept1);
  c2[last] = static_cast<std::uint8_t>((c2[last] & usedMask) | kept2);
  return -1;
}

void TChromosome::SkipMutateFrom(TRandom& R, std::int32_t BitCount) {
  if (BitCount > 0) R.Skip(static_cast<std::uint64_t>(BitCount));
}

void TChromosome::SkipCrossover(TRandom& R, std::int32_t BitCount, double PCrossover) {
  if (Flip(R, false, PCrossover)) RandomInt(R, 0, BitCount - 1);
  if (BitCount > 0) R.Skip(2 * static_cast<std::uint64_t>(BitCount));
}
