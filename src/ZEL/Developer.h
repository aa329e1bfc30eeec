#pragma once
// Fast development and evaluation for one set size and one environment. Gives exactly
// what TZELAgent::Develop and TZELAgent::Evaluate give (they remain the definition):
// shape values come from tables filled by ShapeValue, degrees are bytes combined a
// stretch at a time, and the fitness is found from the integer sum of the degree
// differences, falling back to the literal Hamming distance where rounding could tell.

#include "FuzzySet/FuzzySet.h"
#include "ZEL/ZELAgent.h"

#include <array>
#include <cstdint>
#include <vector>

class TDeveloper {
public:
  TDeveloper(int Elements, const TFuzzySet& Environment);

  int Elements() const { return N; }
  // Whether this developer serves agents of Elements elements against Environment.
  bool Serves(int AgentElements, const TFuzzySet& Environment) const;

  // Bytes after the end of a developed set that Develop may read and rewrite unchanged.
  static constexpr int Padding = 32;

  // Develops the first min(BlockCount, program length) blocks into Out (N + Padding bytes).
  void Develop(const TZEL& Program, int BlockCount, std::uint8_t* Out) const;
  // Fitness of a developed set of N bytes against the environment.
  std::int32_t Fitness(const std::uint8_t* Developed) const;
  std::int32_t Evaluate(const TZELAgent& Agent, std::vector<std::uint8_t>& Scratch) const;

private:
  struct TStretch {
    std::int32_t Start, Width; // elements Start .. Start + Width
  };
  struct TPlan {
    std::uint32_t First = 0; // index into Stretches
    std::uint32_t Count = 0;
  };

  int N;
  bool Avx2;
  TFuzzySet Environment;
  std::vector<std::uint8_t> EnvironmentBytes;
  std::vector<TStretch> Stretches;
  // One plan per Position, Spread and Periods: the stretches a block of that geometry covers.
  std::array<TPlan, 16 * 8 * 8> Plans{};
  // Shape values: RowStart[w] is the offset of the rows of sub-range width w; row k of
  // shape k (0..15) holds w + 1 bytes.
  std::vector<std::int64_t> RowStart;
  std::vector<std::uint8_t> Rows;

  const std::uint8_t* Row(int Shape, int W) const {
    return Rows.data() + RowStart[static_cast<std::size_t>(W)] +
           static_cast<std::int64_t>(Shape) * (W + 1 + Padding);
  }
};
