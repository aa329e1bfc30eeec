#pragma once
// The statistics of a sweep's aggregate and of its comparisons between conditions. The
// distributions (Student's t, the normal) come from Boost.Math; what no library gives is
// here: the exact distribution of the Mann-Whitney U, the Vargha-Delaney A12 and Holm's
// step-down adjustment. Sums run in a fixed order, so that an aggregate comes out the same
// on one machine however its sweep ran; quantiles and p-values may differ in their last
// digit between processors.

#include "FuzzySet/Random.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// The quantile P of Student's t distribution with Df degrees of freedom (Df > 0, not
// necessarily whole).
double StudentTQuantile(double P, double Df);

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
  // The resampled means of Values, in the order of the resamples.
  std::vector<double> Means(const std::vector<double>& Values) const;

private:
  int N;
  std::vector<std::uint32_t> Indices; // Resamples x N
};
// The 2.5% and 97.5% percentiles of Values (sorted here).
std::pair<double, double> PercentileInterval(std::vector<double> Values);

// Welch's unequal-variances t test of the difference of the means of A and B (A minus B):
// se = sqrt(sa²/na + sb²/nb), t = diff / se, the Welch-Satterthwaite degrees of freedom
// df = se⁴ / ((sa²/na)²/(na-1) + (sb²/nb)²/(nb-1)), kept fractional; the two-sided p-value
// 2 P(T_df >= |t|) and the 95% interval diff ± t(0.975, df) se.
struct TWelch {
  double Diff = 0;
  // Needs two values or more on each side and some spread (se > 0).
  bool Defined = false;
  double Se = 0, T = 0, Df = 0, P = 0, Low = 0, High = 0;
};
TWelch WelchTest(const TSummary& A, const TSummary& B);

// The two-sided Mann-Whitney (Wilcoxon rank-sum) test of A against B. U is A's statistic:
// the pairs (a, b) with a > b, ties counting one half (the rank sum of A, with mid-ranks
// for ties, less na(na+1)/2). Without ties and with both samples under 50 the p-value is
// exact, 2 P(U <= min(U, na nb - U)) at most 1; otherwise it is the normal approximation
// with the tie correction of the variance and a continuity correction of 1/2:
// z = max(|U - na nb/2| - 1/2, 0) / sigma, sigma² = na nb/12 ((n+1) - sum(t³-t)/(n(n-1))),
// p = 2 P(Z >= z) at most 1.
struct TMannWhitney {
  double U = 0;
  bool Exact = false;
  // No p-value when a side is empty or every value is tied (sigma = 0).
  bool HasP = false;
  double P = 0;
};
TMannWhitney MannWhitneyTest(const std::vector<double>& A, const std::vector<double>& B);
// The exact null distribution of U for samples of N1 and N2 without ties: the probability
// of each U from 0 to N1 N2.
std::vector<double> MannWhitneyDistribution(int N1, int N2);

// The Vargha-Delaney A12 of A over B: P(a > b) + P(a = b)/2 for a from A and b from B, so
// that above 0.5 A's values tend to be the larger. Needs a value on each side.
double VarghaDelaneyA12(const std::vector<double>& A, const std::vector<double>& B);

// Hedges' g of A against B: (mean A - mean B) / pooled sd, times the exact small-sample
// correction J(df) = Gamma(df/2) / (sqrt(df/2) Gamma((df-1)/2)), df = na + nb - 2. None
// unless both sides have two values or more and the pooled sd is above 0.
std::optional<double> HedgesG(const TSummary& A, const TSummary& B);

// Holm's step-down adjustment of a family of p-values: sorted ascending p(1) <= ... <=
// p(m), the adjusted p(i) is the largest of (m - j + 1) p(j) for j <= i, at most 1.
// Returned in the order given.
std::vector<double> HolmAdjust(const std::vector<double>& P);
