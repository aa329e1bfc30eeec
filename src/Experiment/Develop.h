#pragma once
// Develop a program and measure the result against an environment: what the list
// window, the main window and the command line show of a program.

#include "FuzzySet/FuzzySet.h"
#include "FuzzySet/Random.h"
#include "ZEL/ZELAgent.h"

#include <cstdint>
#include <string>

struct TMeasures {
  double Cardinality = 0;
  double Subsethood = 0;
  double Hamming = 0;
  std::int32_t Fitness = 0;
};

struct TDevelopment {
  TFuzzySet Developed;
  TMeasures Measures;
  // Blocks asked for, and blocks developed: a program shorter than the block count
  // develops the blocks it has.
  int BlocksAsked = 0;
  int BlocksDeveloped = 0;
  // "Developed 2 of 8 blocks" when fewer blocks were developed than asked for, else empty.
  std::string ShortfallText() const;
};

// The measures of a developed set against the environment.
TMeasures Measure(const TFuzzySet& Developed, const TFuzzySet& Environment);
// Develops an agent's program as it is.
TDevelopment DevelopAgent(const TZELAgent& Agent, const TFuzzySet& Environment);
// Develops a program given in its text form with Blocks blocks over Elements elements. As
// in the windows, the program is put into a temporary program-only agent, whose creation
// draws from R.
TDevelopment DevelopProgram(TRandom& R, const std::string& Text, int Blocks, int Elements,
                            const TFuzzySet& Environment);
