#include "Experiment/SweepStatistics.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/math/special_functions/gamma.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <numeric>

namespace {

// Computed in double throughout: the same path on every processor, and no software long
// double where long double is not the hardware's.
using TPolicy = boost::math::policies::policy<boost::math::policies::promote_double<false>>;
using TStudent = boost::math::students_t_distribution<double, TPolicy>;
using TNormal = boost::math::normal_distribution<double, TPolicy>;

// Two-sided tail probability of a statistic: twice the upper tail, at most 1.
double TwoSided(double UpperTail) {
  return std::min(1.0, 2 * UpperTail);
}

// Samples under this size on both sides, without ties, get the exact distribution of U.
constexpr int ExactBelow = 50;

} // namespace

double StudentTQuantile(double P, double Df) {
  return boost::math::quantile(TStudent(Df), P);
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
  const auto half = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
  std::nth_element(sorted.begin(), half, sorted.end());
  s.Median = *half;
  if (sorted.size() % 2 == 0) s.Median = (*std::max_element(sorted.begin(), half) + s.Median) / 2;
  if (s.N < 2) return s;
  double squares = 0;
  for (double v : Values)
    squares += (v - s.Mean) * (v - s.Mean);
  s.HasSpread = true;
  s.Sd = std::sqrt(squares / (s.N - 1));
  // The quantile depends on N alone; a sweep asks for few distinct N, many times.
  thread_local std::map<int, double> quantiles;
  auto q = quantiles.find(s.N);
  if (q == quantiles.end()) q = quantiles.emplace(s.N, StudentTQuantile(0.975, s.N - 1)).first;
  const double halfWidth = q->second * s.Sd / std::sqrt(static_cast<double>(s.N));
  s.Low = s.Mean - halfWidth;
  s.High = s.Mean + halfWidth;
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

std::vector<double> TBootstrap::Means(const std::vector<double>& Values) const {
  std::vector<double> means;
  means.reserve(Indices.size() / static_cast<std::size_t>(N));
  for (std::size_t start = 0; start < Indices.size(); start += static_cast<std::size_t>(N)) {
    double sum = 0;
    for (int k = 0; k < N; ++k)
      sum += Values[Indices[start + static_cast<std::size_t>(k)]];
    means.push_back(sum / N);
  }
  return means;
}

std::pair<double, double> TBootstrap::Interval(const std::vector<double>& Values) const {
  return PercentileInterval(Means(Values));
}

std::pair<double, double> PercentileInterval(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  return {Percentile(Values, 0.025), Percentile(Values, 0.975)};
}

TWelch WelchTest(const TSummary& A, const TSummary& B) {
  TWelch w;
  w.Diff = A.Mean - B.Mean;
  if (!A.HasSpread || !B.HasSpread) return w;
  const double a = A.Sd * A.Sd / A.N, b = B.Sd * B.Sd / B.N;
  w.Se = std::sqrt(a + b);
  if (!(w.Se > 0)) return w;
  w.Defined = true;
  w.T = w.Diff / w.Se;
  w.Df = (a + b) * (a + b) / (a * a / (A.N - 1) + b * b / (B.N - 1));
  const TStudent t(w.Df);
  w.P = TwoSided(boost::math::cdf(boost::math::complement(t, std::fabs(w.T))));
  const double half = boost::math::quantile(t, 0.975) * w.Se;
  w.Low = w.Diff - half;
  w.High = w.Diff + half;
  return w;
}

std::vector<double> MannWhitneyDistribution(int N1, int N2) {
  // p(i, j, k) = i/(i+j) p(i-1, j, k-j) + j/(i+j) p(i, j-1, k): the largest value of the
  // pooled sample is A's (it then beats all j values of B) or B's. Only sums of positive
  // terms, so the small tails keep their precision.
  static std::mutex lock;
  static std::map<std::pair<int, int>, std::vector<double>> known;
  const std::lock_guard guard(lock);
  const auto key = std::make_pair(N1, N2);
  if (const auto it = known.find(key); it != known.end()) return it->second;
  std::vector<std::vector<double>> previous(static_cast<std::size_t>(N2) + 1), current(previous.size());
  for (int i = 0; i <= N1; ++i) {
    for (int j = 0; j <= N2; ++j) {
      std::vector<double>& p = current[static_cast<std::size_t>(j)];
      p.assign(static_cast<std::size_t>(i) * static_cast<std::size_t>(j) + 1, 0.0);
      if (i == 0 || j == 0) {
        p[0] = 1;
        continue;
      }
      const double fromA = static_cast<double>(i) / (i + j), fromB = static_cast<double>(j) / (i + j);
      const std::vector<double>& a = previous[static_cast<std::size_t>(j)];
      const std::vector<double>& b = current[static_cast<std::size_t>(j) - 1];
      for (std::size_t k = 0; k < a.size(); ++k)
        p[k + static_cast<std::size_t>(j)] += fromA * a[k];
      for (std::size_t k = 0; k < b.size(); ++k)
        p[k] += fromB * b[k];
    }
    std::swap(previous, current);
  }
  return known.emplace(key, previous[static_cast<std::size_t>(N2)]).first->second;
}

TMannWhitney MannWhitneyTest(const std::vector<double>& A, const std::vector<double>& B) {
  TMannWhitney m;
  const std::size_t na = A.size(), nb = B.size(), n = na + nb;
  if (na == 0 || nb == 0) return m;
  // Mid-ranks of the pooled sample, and the sum of t³ - t over the groups of ties.
  std::vector<std::pair<double, bool>> pooled; // value, from A
  pooled.reserve(n);
  for (double v : A)
    pooled.emplace_back(v, true);
  for (double v : B)
    pooled.emplace_back(v, false);
  std::sort(pooled.begin(), pooled.end(), [](const auto& X, const auto& Y) { return X.first < Y.first; });
  double rankSumA = 0, ties = 0;
  for (std::size_t start = 0; start < n;) {
    std::size_t end = start + 1;
    while (end < n && pooled[end].first == pooled[start].first)
      ++end;
    const double rank = (static_cast<double>(start + 1) + static_cast<double>(end)) / 2;
    for (std::size_t k = start; k < end; ++k)
      if (pooled[k].second) rankSumA += rank;
    const double t = static_cast<double>(end - start);
    ties += t * t * t - t;
    start = end;
  }
  const double product = static_cast<double>(na) * static_cast<double>(nb);
  m.U = rankSumA - static_cast<double>(na) * static_cast<double>(na + 1) / 2;
  m.Exact = ties == 0 && na < ExactBelow && nb < ExactBelow;
  if (m.Exact) {
    const std::vector<double> p = MannWhitneyDistribution(static_cast<int>(na), static_cast<int>(nb));
    const std::size_t tail = static_cast<std::size_t>(std::min(m.U, product - m.U));
    double lower = 0;
    for (std::size_t k = 0; k <= tail; ++k)
      lower += p[k];
    m.HasP = true;
    m.P = TwoSided(lower);
    return m;
  }
  const double nn = static_cast<double>(n);
  const double variance = product / 12 * ((nn + 1) - ties / (nn * (nn - 1)));
  if (!(variance > 0)) return m;
  const double z = std::max(std::fabs(m.U - product / 2) - 0.5, 0.0) / std::sqrt(variance);
  m.HasP = true;
  m.P = TwoSided(boost::math::cdf(boost::math::complement(TNormal(0, 1), z)));
  return m;
}

double VarghaDelaneyA12(const std::vector<double>& A, const std::vector<double>& B) {
  // U / (na nb), counted directly: A's values against B's sorted.
  std::vector<double> sorted = B;
  std::sort(sorted.begin(), sorted.end());
  double wins = 0;
  for (double a : A) {
    const auto below = std::lower_bound(sorted.begin(), sorted.end(), a);
    const auto above = std::upper_bound(below, sorted.end(), a);
    wins += static_cast<double>(below - sorted.begin()) + static_cast<double>(above - below) / 2;
  }
  return wins / (static_cast<double>(A.size()) * static_cast<double>(B.size()));
}

std::optional<double> HedgesG(const TSummary& A, const TSummary& B) {
  if (!A.HasSpread || !B.HasSpread) return std::nullopt;
  const double df = A.N + B.N - 2;
  const double pooled = std::sqrt(((A.N - 1) * A.Sd * A.Sd + (B.N - 1) * B.Sd * B.Sd) / df);
  if (!(pooled > 0)) return std::nullopt;
  // Gamma(df/2) / Gamma(df/2 - 1/2) without overflow for large df.
  const double j = boost::math::tgamma_delta_ratio(df / 2, -0.5, TPolicy()) / std::sqrt(df / 2);
  return j * (A.Mean - B.Mean) / pooled;
}

std::vector<double> HolmAdjust(const std::vector<double>& P) {
  const std::size_t m = P.size();
  std::vector<std::size_t> order(m);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t X, std::size_t Y) { return P[X] < P[Y]; });
  std::vector<double> adjusted(m);
  double running = 0;
  for (std::size_t i = 0; i < m; ++i) {
    running = std::max(running, std::min(1.0, static_cast<double>(m - i) * P[order[i]]));
    adjusted[order[i]] = running;
  }
  return adjusted;
}
