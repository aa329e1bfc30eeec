#include "ZEL/ZEL.h"

#include <cstring>

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
// following picks count among the remaining blocks only.
class TPicks {
public:
  explicit TPicks(int Count) : Left(Count) {
    for (int i = 0; i < Count; ++i)
      Index[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  }
  int Count() const { return Left; }
  // RandomInt(0, Count - 1) chooses among the remaining blocks.
  int Take(TRandom& R) {
    const int k = RandomInt(R, 0, Left - 1);
    const int picked = Index[static_cast<std::size_t>(k)];
    std::memmove(Index.data() + k, Index.data() + k + 1, static_cast<std::size_t>(Left - k - 1));
    --Left;
    return picked;
  }

private:
  std::array<std::uint8_t, TZEL::MaxBlocks> Index{};
  int Left;
};

// Appends a copy of a random remaining block of From, mutated with PNoise, to To.
void MoveNoisyBlock(TRandom& R, const TZEL& From, TPicks& Picks, TZEL& To, double PNoise) {
  if (Picks.Count() == 0) return; // a second parent shorter than the first has nothing more to give
  TFuzzyBlock b = From.Block(Picks.Take(R));
  b.Mutate(R, PNoise);
  To.Add(b);
}
} // namespace

void TZEL::Shuffle(TRandom& R) {
  const TZEL source = *this;
  TPicks picks(FCount);
  Clear();
  while (picks.Count() > 0) {
    TFuzzyBlock b = source.Block(picks.Take(R));
    Add(b);
  }
}

void TZEL::Reproduce(TRandom& R, const TZEL& Source, double PNoise) {
  Assign(Source);
  Shuffle(R);
  for (int i = 0; i < FCount; ++i)
    Blocks[static_cast<std::size_t>(i)].Mutate(R, PNoise);
}

void TZEL::Crossover(TRandom& R, const TZEL& Parent2, TZEL& Child1, TZEL& Child2, double PCrossover,
                     double PNoise) const {
  const int n = FCount;
  const int cut = Flip(R, false, PCrossover) ? RandomInt(R, 0, n - 1) : n - 1;
  // The children may be written over a parent: read the parents from copies then.
  const bool aliased = &Child1 == this || &Child2 == this || &Child1 == &Parent2 || &Child2 == &Parent2;
  TZEL copyA, copyB;
  if (aliased) {
    copyA = *this;
    copyB = Parent2;
  }
  const TZEL& a = aliased ? copyA : *this;
  const TZEL& b = aliased ? copyB : Parent2;
  TPicks fromA(a.Count()), fromB(b.Count());
  Child1.Clear();
  Child2.Clear();
  for (int i = 0; i <= cut; ++i) {
    MoveNoisyBlock(R, a, fromA, Child1, PNoise);
    MoveNoisyBlock(R, b, fromB, Child2, PNoise);
  }
  for (int i = 0; i < n - 1 - cut; ++i) {
    MoveNoisyBlock(R, b, fromB, Child1, PNoise);
    MoveNoisyBlock(R, a, fromA, Child2, PNoise);
  }
}

namespace {
// A pick among Left remaining blocks (a draw when there is a choice), then the noise on it.
void SkipNoisyMove(TRandom& R, int& Left, double PNoise) {
  if (Left == 0) return;
  if (Left > 1) R.Skip(1);
  --Left;
  TFuzzyBlock::SkipMutate(R, PNoise);
}
} // namespace

void TZEL::SkipReproduce(TRandom& R, int Count, double PNoise) {
  if (Count > 1) R.Skip(static_cast<std::uint64_t>(Count - 1)); // the shuffle's picks
  for (int i = 0; i < Count; ++i)
    TFuzzyBlock::SkipMutate(R, PNoise);
}

void TZEL::SkipCrossover(TRandom& R, int CountA, int CountB, double PCrossover, double PNoise) {
  const int n = CountA;
  const int cut = Flip(R, false, PCrossover) ? RandomInt(R, 0, n - 1) : n - 1;
  int leftA = CountA, leftB = CountB;
  for (int i = 0; i <= cut; ++i) {
    SkipNoisyMove(R, leftA, PNoise);
    SkipNoisyMove(R, leftB, PNoise);
  }
  for (int i = 0; i < n - 1 - cut; ++i) {
    SkipNoisyMove(R, leftB, PNoise);
    SkipNoisyMove(R, leftA, PNoise);
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
  std::string text, digit;
  text.reserve(static_cast<std::size_t>(5 * FCount));
  for (int i = 0; i < FCount; ++i) {
    const TFuzzyBlock& b = Block(i);
    for (const std::int32_t field : {b.Shape, b.Position, b.Spread, b.Periods, b.Operator}) {
      IntToHexChar(field, digit);
      text += digit;
    }
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
