#include "Experiment/SweepStatistics.h"

#include <algorithm>
#include <array>
#include <cmath>

double StudentT975(int Df) {
  static constexpr std::array<double, 30> Table = {
      12.706204736174705, 4.302652729749464, 3.182446305283710, 2.776445105197794, 2.570581835636316,
      2.446911851144970,  2.364624251592785, 2.306004135204167, 2.262157162798206, 2.228138851986275,
      2.200985160091640,  2.178812829667229, 2.160368656462793, 2.144786687917804, 2.131449545559776,
      2.119905299221255,  2.109815577833317, 2.100922040241038, 2.093024054408310, 2.085963447265865,
      2.079613844727680,  2.073873067904026, 2.068657610419049, 2.063898561628026, 2.059538552753298,
      2.055529438642873,  2.051830516480286, 2.048407141795245, 2.045229642132704, 2.042272456301238};
  if (Df < 1) Df = 1;
  if (Df <= 30) return Table[static_cast<std::size_t>(Df - 1)];
  // Beyond the table the expansion in 1/Df is within 3e-8 and shrinks fast.
  constexpr double z = 1.959963984540054;
  const double z2 = z * z, z3 = z2 * z, z5 = z3 * z2, z7 = z5 * z2, z9 = z7 * z2;
  const double g1 = (z3 + z) / 4;
  const double g2 = (5 * z5 + 16 * z3 + 3 * z) / 96;
  const double g3 = (3 * z7 + 19 * z5 + 17 * z3 - 15 * z) / 384;
  const double g4 = (79 * z9 + 776 * z7 + 1482 * z5 - 1920 * z3 - 945 * z) / 92160;
  const double v = Df;
  return z + g1 / v + g2 / (v * v) + g3 / (v * v * v) + g4 / (v * v * v * v);
}

TSummary Summarise(const std::vector<double>& Values) {
  TSummary s;
  s.N = static_cast<int>(Values.size());
  if (s.N == 0) return s;
  double sum = 0;
  for (double v : Values)
    sum += v;
  s.Mean = sum / s.N;
  std::vector<double> sorted = Values;
  std::sort(sorted.begin(), sorted.end());
  const std::size_t half = sorted.size() / 2;
  s.Median = sorted.size() % 2 == 1 ? sorted[half] : (sorted[half - 1] + sorted[half]) / 2;
  if (s.N < 2) return s;
  double squares = 0;
  for (double v : Values)
    squares += (v - s.Mean) * (v - s.Mean);
  s.HasSpread = true;
  s.Sd = std::sqrt(squares / (s.N - 1));
  const double half_width = StudentT975(s.N - 1) * s.Sd / std::sqrt(static_cast<double>(s.N));
  s.Low = s.Mean - half_width;
  s.High = s.Mean + half_width;
  return s;
}

double Percentile(const std::vector<double>& Sorted, double P) {
  const double h = (static_cast<double>(Sorted.size()) - 1) * P;
  const std::size_t lo = static_cast<std::size_t>(h);
  if (lo + 1 >= Sorted.size()) return Sorted.back();
  return Sorted[lo] + (h - static_cast<double>(lo)) * (Sorted[lo + 1] - Sorted[lo]);
}

TBootstrap::TBootstrap(int Count, int Resamples, TRandom& Random) : N(Count) {
  Indices.resize(static_cast<std::size_t>(Resamples) * static_cast<std::size_t>(N));
  for (std::uint32_t& i : Indices)
    i = Random.RandomBelow(static_cast<std::uint32_t>(N));
}

std::pair<double, double> TBootstrap::Interval(const std::vector<double>& Values) const {
  std::vector<double> means;
  means.reserve(Indices.size() / static_cast<std::size_t>(N));
  for (std::size_t start = 0; start < Indices.size(); start += static_cast<std::size_t>(N)) {
    double sum = 0;
    for (int k = 0; k < N; ++k)
      sum += Values[Indices[start + static_cast<std::size_t>(k)]];
    means.push_back(sum / N);
  }
  std::sort(means.begin(), means.end());
  return {Percentile(means, 0.025), Percentile(means, 0.975)};
}
