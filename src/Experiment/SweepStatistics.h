#pragma once
// The statistics of a sweep's aggregate. Everything here is plain IEEE arithmetic in a
// fixed order (no library function beyond the square root), so that the aggregate comes
// out the same, byte for byte, on every machine.

#include "FuzzySet/Random.h"

#include <cstdint>
#include <vector>

// The 97.5% quantile of Student's t distribution with Df degrees of freedom (Df >= 1):
// the two-sided 95% interval. A table up to 30, a Cornish-Fisher expansion beyond.
double StudentT975(int Df);

struct TSummary {
  int N = 0;
  double Mean = 0, Median = 0;
  // Only with two values or more.
  bool HasSpread = false;
  double Sd = 0;            // the sample standard deviation (divided by N - 1)
  double Low = 0, High = 0; // the 95% Student t interval of the mean
};
// Values summed in their order; an empty list gives N = 0.
TSummary Summarise(const std::vector<double>& Values);

// The value at the fraction P of Sorted, interpolated linearly between neighbours.
double Percentile(const std::vector<double>& Sorted, double P);

// Percentile bootstrap of the mean: Resamples draws of N indices each, made once from
// Random and used for every series of the same N runs, so that a curve is resampled as a
// whole run at a time.
class TBootstrap {
public:
  TBootstrap(int N, int Resamples, TRandom& Random);
  // The 2.5% and 97.5% percentiles of the resampled means of Values (N of them).
  std::pair<double, double> Interval(const std::vector<double>& Values) const;

private:
  int N;
  std::vector<std::uint32_t> Indices; // Resamples x N
};
