// The statistics of sweeps against values worked by hand or computed independently: the
// quantiles and tails with mpmath at 40 digits from the definitions (the t tail as the
// regularised incomplete beta function, the normal tail as erfc), the exact Mann-Whitney
// distribution as exact integer counts (the Gaussian binomial coefficients), the rest by
// hand as written beside each case.

#include "Experiment/SweepStatistics.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
// Relative agreement of a value computed in double with a reference.
void ExpectClose(double Value, double Reference, const char* What, double Relative = 1e-10) {
  EXPECT_NEAR(Value, Reference, Relative * std::fabs(Reference)) << What;
}
} // namespace

TEST(SweepStatistics, StudentQuantilesMeanSpreadMedianAndTheInterval) {
  // t(0.975, df), also at a fractional df.
  const std::vector<std::pair<double, double>> t = {
      {1, 12.706204736174704646}, {2, 4.3026527297494638523},   {7, 2.3646242515927853417},
      {30, 2.04227245630123831},  {100, 1.9839715185235522866}, {4.7494, 2.6119186440344611216}};
  for (const auto& [df, quantile] : t)
    ExpectClose(StudentTQuantile(0.975, df), quantile, "t quantile", 1e-13);

  // Mean 5, squares 32 over 7 degrees of freedom, median between the 4 and the 5.
  const TSummary s = Summarise({9, 4, 5, 2, 4, 7, 4, 5});
  EXPECT_EQ(s.N, 8);
  EXPECT_EQ(s.Mean, 5);
  EXPECT_EQ(s.Median, 4.5);
  ASSERT_TRUE(s.HasSpread);
  EXPECT_DOUBLE_EQ(s.Sd, std::sqrt(32.0 / 7));
  const double half = 2.3646242515927853417 * std::sqrt(32.0 / 7) / std::sqrt(8.0);
  EXPECT_NEAR(s.Low, 5 - half, 1e-12);
  EXPECT_NEAR(s.High, 5 + half, 1e-12);
  EXPECT_EQ(Summarise({3, 1, 2}).Median, 2);
  EXPECT_EQ(Summarise({4, 1, 3, 2}).Median, 2.5);
  const TSummary one = Summarise({42});
  EXPECT_EQ(one.Mean, 42);
  EXPECT_FALSE(one.HasSpread);
  EXPECT_EQ(Summarise({}).N, 0);
}

TEST(SweepStatistics, BootstrapResamplesEveryRunAndPercentiles) {
  EXPECT_EQ(Percentile({10, 20, 30, 40, 50}, 0.5), 30);
  EXPECT_EQ(Percentile({10, 20, 30, 40, 50}, 0.025), 11);
  EXPECT_EQ(Percentile({10, 20, 30, 40, 50}, 0.975), 49);
  // Two runs, 0 and 100: a resample takes either run for each place, so a quarter of the
  // resampled means are 0 and a quarter 100; the interval spans both.
  TRandom r(1);
  EXPECT_EQ(TBootstrap(2, 1000, r).Interval({0, 100}), std::make_pair(0.0, 100.0));
  // The same seed gives the same interval, another seed another, within the values' range.
  const std::vector<double> values = {9, 4, 5, 2, 4, 7, 4, 5};
  TRandom a(1), b(1), c(2);
  const auto first = TBootstrap(8, 500, a).Interval(values);
  EXPECT_EQ(TBootstrap(8, 500, b).Interval(values), first);
  EXPECT_NE(TBootstrap(8, 500, c).Interval(values), first);
  EXPECT_LT(first.first, 5);
  EXPECT_GT(first.second, 5);
  EXPECT_GE(first.first, 2);
  EXPECT_LE(first.second, 9);
}

TEST(SweepStatistics, WelchAtTheExactFractionalDegreesOfFreedomAndHedgesG) {
  // A = 1..5: mean 3, variance 2.5; B = 6, 8, 10, 12: mean 9, variance 20/3. By hand:
  // a = 2.5/5 = 1/2, b = (20/3)/4 = 5/3, se² = 13/6, t = -6 / sqrt(13/6) = -4.07619732292054,
  // df = (13/6)² / ((1/2)²/4 + (5/3)²/3) = (169/36) / (1/16 + 25/27) = 4.74941451990632.
  // The quantile t(0.975, 4.7494...) = 2.61191608930325 (at df 4 it would be 2.7764).
  const TSummary a = Summarise({1, 2, 3, 4, 5}), b = Summarise({6, 8, 10, 12});
  const TWelch w = WelchTest(a, b);
  ASSERT_TRUE(w.Defined);
  EXPECT_EQ(w.Diff, -6);
  ExpectClose(w.Se, 1.4719601443879744758, "se");
  ExpectClose(w.T, -4.0761973229205447022, "t");
  ExpectClose(w.Df, 4.749414519906323185, "df");
  ExpectClose(w.P, 0.010655165436056746068, "p", 1e-9);
  ExpectClose(w.Low, -9.8446363839400916474, "low");
  ExpectClose(w.High, -2.1553636160599083526, "high");
  // Swapped sides: the same test seen from B.
  const TWelch back = WelchTest(b, a);
  ExpectClose(back.T, 4.0761973229205447022, "t of B against A");
  ExpectClose(back.P, w.P, "p of B against A", 1e-12);

  // Hedges' g: pooled variance (4 x 2.5 + 3 x 20/3) / 7 = 30/7, d = -6 / sqrt(30/7), and the
  // exact correction J(7) = Gamma(3.5) / (sqrt(3.5) Gamma(3)) = 0.888202...; the
  // approximation 1 - 3/(4 x 9 - 9) would give -2.57624.
  ExpectClose(HedgesG(a, b).value_or(0), -2.5742565924293502938, "g");
  // No spread, or a single run on a side: no test, no g.
  EXPECT_FALSE(WelchTest(Summarise({5, 5, 5}), Summarise({5, 5})).Defined);
  EXPECT_FALSE(WelchTest(Summarise({5}), b).Defined);
  EXPECT_FALSE(HedgesG(Summarise({5}), b));
  EXPECT_FALSE(HedgesG(Summarise({5, 5}), Summarise({7, 7})));
}

TEST(SweepStatistics, MannWhitneyExactAndApproximateWithTiesAndA12) {
  // A = {1.1, 3.3}, B = {2.2, 4.4, 5.5}: ranks 1 and 3 for A, U = 4 - 3 = 1 (3.3 beats 2.2).
  // The 10 arrangements of two A among five give U = 0, 1, 2, 2, 3, 3, 4, 4, 5, 6 (the
  // Gaussian binomial [5 choose 2]), so P(U <= 1) = 2/10 and p = 0.4.
  const std::vector<double> dist = MannWhitneyDistribution(2, 3);
  const std::vector<double> counts = {1, 1, 2, 2, 2, 1, 1};
  ASSERT_EQ(dist.size(), counts.size());
  for (std::size_t k = 0; k < counts.size(); ++k)
    ExpectClose(dist[k], counts[k] / 10, "P(U = k)", 1e-15);
  TMannWhitney m = MannWhitneyTest({1.1, 3.3}, {2.2, 4.4, 5.5});
  EXPECT_EQ(m.U, 1);
  EXPECT_TRUE(m.Exact);
  ASSERT_TRUE(m.HasP);
  ExpectClose(m.P, 0.4, "p", 1e-14);
  EXPECT_DOUBLE_EQ(VarghaDelaneyA12({1.1, 3.3}, {2.2, 4.4, 5.5}), 1.0 / 6);
  EXPECT_DOUBLE_EQ(VarghaDelaneyA12({2.2, 4.4, 5.5}, {1.1, 3.3}), 5.0 / 6);

  // Ten against twelve without ties: U = 88, exact p = 2 x 3194/92378... = 3194/46189 from
  // the exact counts.
  m = MannWhitneyTest({3, 7, 8, 12, 15, 16, 20, 23, 27, 30}, {1, 2, 4, 5, 6, 9, 10, 11, 13, 14, 17, 18});
  EXPECT_EQ(m.U, 88);
  EXPECT_TRUE(m.Exact);
  ExpectClose(m.P, 3194.0 / 46189, "exact p", 1e-12);

  // With ties, the normal approximation. A = {1, 2, 2, 3, 3, 3}, B = {2, 3, 4, 4, 5}:
  // mid-ranks 1; 3, 3 (2 at ranks 2..4); 6.5 x 3 (3 at ranks 5..8), so R = 26.5 and
  // U = 26.5 - 21 = 5.5; ties of 3, 4 and 2 values give sum(t³ - t) = 24 + 60 + 6 = 90;
  // sigma² = 30/12 (12 - 90/110) = 27.954545...; z = (|5.5 - 15| - 0.5) / sigma =
  // 1.70222236373799; p = 2 P(Z >= z) = 0.0887136919967762. Without the tie correction p
  // would be 0.10035, without the continuity correction 0.07237.
  const std::vector<double> tiedA = {1, 2, 2, 3, 3, 3}, tiedB = {2, 3, 4, 4, 5};
  m = MannWhitneyTest(tiedA, tiedB);
  EXPECT_EQ(m.U, 5.5);
  EXPECT_FALSE(m.Exact);
  ExpectClose(m.P, 0.088713691996776204651, "p with ties", 1e-12);
  ExpectClose(VarghaDelaneyA12(tiedA, tiedB), 5.5 / 30, "A12 with ties", 1e-15);
  ExpectClose(MannWhitneyTest(tiedB, tiedA).P, m.P, "p of B against A", 1e-14);
  EXPECT_EQ(MannWhitneyTest(tiedB, tiedA).U, 30 - 5.5);

  // Fifty against fifty without ties is beyond the exact table: A all below B, U = 0,
  // z = (1250 - 0.5) / sqrt(2500/12 x 101), p = 7.066e-18 (the exact p would be 2e-29).
  std::vector<double> low, high;
  for (int i = 0; i < 50; ++i) {
    low.push_back(i);
    high.push_back(50 + i);
  }
  m = MannWhitneyTest(low, high);
  EXPECT_FALSE(m.Exact);
  ExpectClose(m.P, 7.0660719303889571592e-18, "p beyond the table", 1e-9);
  // Every value tied: no p-value; an empty side: none either.
  EXPECT_FALSE(MannWhitneyTest({4, 4}, {4, 4, 4}).HasP);
  EXPECT_FALSE(MannWhitneyTest({}, {4}).HasP);
}

TEST(SweepStatistics, HolmStepDownInTheOrderGiven) {
  // Sorted 0.005, 0.01, 0.03, 0.04 times 4, 3, 2, 1: 0.02, 0.03, 0.06, 0.04, the last raised
  // to the 0.06 before it; returned in the order given.
  const std::vector<double> adjusted = HolmAdjust({0.01, 0.04, 0.03, 0.005});
  const std::vector<double> expected = {0.03, 0.06, 0.06, 0.02};
  ASSERT_EQ(adjusted.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_DOUBLE_EQ(adjusted[i], expected[i]) << i;
  // At most 1; equal p-values share their adjusted value.
  EXPECT_EQ(HolmAdjust({0.5, 0.6}), (std::vector<double>{1, 1}));
  EXPECT_EQ(HolmAdjust({0.2, 0.2, 0.2}),
            (std::vector<double>{0.6000000000000001, 0.6000000000000001, 0.6000000000000001}));
  EXPECT_TRUE(HolmAdjust({}).empty());
}
