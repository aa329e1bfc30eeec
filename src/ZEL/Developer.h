#pragma once
// Fast development and evaluation for one set size and one environment. Gives exactly
// what TZELAgent::Develop and TZELAgent::Evaluate give (they remain the definition):
// shape values come from tables filled by ShapeValue, degrees are bytes combined a
// stretch at a time, and the fitness is found from the integer sum of the degree
// differences, falling back to the literal Hamming distance where rounding could tell.

#include "FuzzySet/FuzzySet.h"
#include "ZEL/ZELAgent.h"

#include <cstdint>
#include <memory>
#include <vector>

// The stretches and shape rows of every block geometry for one set size. Built once per
// size in a process and shared: they depend on nothing else.
class TShapeTables;

class TDeveloper {
public:
  TDeveloper(int Elements, const TFuzzySet& Environment);
  ~TDeveloper();

  int Elements() const { return N; }
  // Whether this developer serves agents of Elements elements against Environment.
  bool Serves(int AgentElements, const TFuzzySet& Environment) const;

  // Bytes after the end of a developed set that Develop may read and rewrite unchanged.
  static constexpr int Padding = 64;

  // Develops the first min(BlockCount, program length) blocks into Out (N + Padding bytes).
  void Develop(const TZEL& Program, int BlockCount, std::uint8_t* Out) const;
  // Fitness of a developed set of N bytes against the environment.
  std::int32_t Fitness(const std::uint8_t* Developed) const;
  std::int32_t Evaluate(const TZELAgent& Agent, std::vector<std::uint8_t>& Scratch) const;

  using TDevelopKernel = void (*)(const TShapeTables&, const TZEL&, int, std::uint8_t*);
  using TSumKernel = std::uint32_t (*)(const std::uint8_t*, const std::uint8_t*, int);

private:
  int N;
  std::shared_ptr<const TShapeTables> Tables;
  TDevelopKernel DevelopKernel;
  TSumKernel SumKernel;
  TFuzzySet Environment;
  std::vector<std::uint8_t> EnvironmentBytes;
};
