#pragma once
// Fuzzy blocks and development programs (ZELs), with their random variation
// and their text form of five hexadecimal digits per block.

#include "FuzzySet/Random.h"

#include <array>
#include <cstdint>
#include <string>

// The value of RandomInt(Lo, Hi) (Hi > Lo) whose draw gave Seed.
//
// With r = seed / 2^32 the value Lo + seed * (Hi - Lo) / 2^32 needs at most 63 significant
// bits, so the extended-precision result is exact and integer arithmetic gives the same.
inline std::int32_t RandomIntOf(std::uint32_t Seed, std::int32_t Lo, std::int32_t Hi) {
  const std::uint64_t product =
      static_cast<std::uint64_t>(Seed) * static_cast<std::uint64_t>(static_cast<std::int64_t>(Hi) - Lo);
  const std::int64_t whole = Lo + static_cast<std::int64_t>(product >> 32);
  // Up past half, and at half when the whole is odd: the carry out of the fraction plus just
  // under a half, plus one more for an odd whole. (Written as a test, the rounding was a
  // branch that guessed wrong at half the picks.)
  const std::uint64_t fraction = static_cast<std::uint32_t>(product);
  const std::uint64_t up = (fraction + 0x7FFFFFFFu + static_cast<std::uint64_t>(whole & 1)) >> 32;
  return static_cast<std::int32_t>(whole + static_cast<std::int64_t>(up));
}
// A random integer in Lo..Hi: one real draw r, r * (Hi - Lo) + Lo (in extended precision)
// rounded half to even, so the two end values come half as often as each inner one.
// No draw when Hi <= Lo.
inline std::int32_t RandomInt(TRandom& R, std::int32_t Lo, std::int32_t Hi) {
  if (Hi <= Lo) return Lo;
  return RandomIntOf(R.NextSeed(), Lo, Hi);
}
// Not B when one real draw is at most P, otherwise B. Always exactly one draw.
inline bool Flip(TRandom& R, bool B, double P) {
  return R.Random() <= P ? !B : B;
}

struct TFuzzyBlock {
  std::int32_t Shape = 0;    // 0..15
  std::int32_t Position = 0; // 0..15, start in sixteenths of the set
  std::int32_t Spread = 0;   // 0..7, widening on both sides in sixteenths
  std::int32_t Periods = 0;  // 0..7
  std::int32_t Operator = 0; // 0..15

  bool IsValid() const {
    // One unsigned comparison per field tests both ends of its range.
    return static_cast<std::uint32_t>(Shape) <= 15u && static_cast<std::uint32_t>(Position) <= 15u &&
           static_cast<std::uint32_t>(Spread) <= 7u && static_cast<std::uint32_t>(Periods) <= 7u &&
           static_cast<std::uint32_t>(Operator) <= 15u;
  }
  // True when valid; otherwise every field becomes 0 and the result is false.
  bool Validate() {
    if (IsValid()) return true;
    *this = TFuzzyBlock{};
    return false;
  }
  void Assign(const TFuzzyBlock& Source) { *this = Source; }
  // With probability P one random field gets a random legal value (three draws then, one otherwise).
  void Mutate(TRandom& R, double P);

  friend bool operator==(const TFuzzyBlock&, const TFuzzyBlock&) = default;
};

// A development program: an ordered list of at most MaxBlocks valid blocks.
class TZEL {
public:
  static constexpr int MaxBlocks = 32;

  int Count() const { return FCount; }
  const TFuzzyBlock& Block(int Index) const { return Blocks[static_cast<std::size_t>(Index)]; }
  // The room for all MaxBlocks blocks, the first Count() of them the program's.
  const TFuzzyBlock* Data() const { return Blocks.data(); }

  // Validates Block (an invalid one is zeroed) and appends it when valid and there is room.
  // The new index, or -1.
  int Add(TFuzzyBlock& Block) {
    if (!Block.Validate() || FCount >= MaxBlocks) return -1;
    Blocks[static_cast<std::size_t>(FCount)] = Block;
    return FCount++;
  }
  void Assign(const TZEL& Source) { *this = Source; }
  void Clear() { FCount = 0; }

  void Shuffle(TRandom& R);
  void Reproduce(TRandom& R, const TZEL& Source, double PNoise);
  // This program is the first parent; both children get its block count.
  void Crossover(TRandom& R, const TZEL& Parent2, TZEL& Child1, TZEL& Child2, double PCrossover,
                 double PNoise) const;

  // Advance R exactly as Reproduce from a program of Count blocks, and Crossover of parents
  // of CountA and CountB blocks, would: only the draws that decide how many follow are made.
  static void SkipReproduce(TRandom& R, int Count, double PNoise);
  static void SkipCrossover(TRandom& R, int CountA, int CountB, double PCrossover, double PNoise);

  void ToText(std::string& S) const;
  std::string ToText() const;
  // Replaces the program by the blocks read from S when its length is a multiple of 5.
  void FromText(const std::string& S);

  friend bool operator==(const TZEL& A, const TZEL& B);

private:
  // Decoding writes the blocks directly: every block a chromosome encodes is valid.
  friend class TZELAgent;
  std::array<TFuzzyBlock, MaxBlocks> Blocks{};
  int FCount = 0;
};

// One hexadecimal digit ('0'..'9', 'A'..'F') for N in 0..15; any other N leaves S unchanged.
void IntToHexChar(int N, std::string& S);
// Value of one hexadecimal digit, either case; other characters give other values.
int HexCharToInt(char C);
