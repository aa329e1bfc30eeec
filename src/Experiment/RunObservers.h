#pragma once
// Observers of the run loop that keep what a run's outputs besides its report need: the best
// program of every generation (every run of a batch), and the chart's two series.

#include "Experiment/RunLoop.h"

#include <string>
#include <vector>

// The best program of every generation told (every run of a batch), in order.
class TBestList {
public:
  TRunObserver Observer();
  const std::vector<std::string>& Texts() const { return FTexts; }
  // One program a line, each line ending in LF.
  std::string Text() const;

private:
  std::vector<std::string> FTexts;
};

// The chart's two series: per generation told (per run of a batch) the best fitness and the
// percentage of genotype agents, at x = the generation (the run's index from 0).
class TSeries {
public:
  struct TPoint {
    int X = 0;
    double MaxGen = 0;
    double Genotype = 0;
  };
  TRunObserver Observer();
  const std::vector<TPoint>& Points() const { return FPoints; }
  // Header "x,MaxGen,w/ Genotype", then one row a point.
  std::string Csv() const;

private:
  std::vector<TPoint> FPoints;
};
