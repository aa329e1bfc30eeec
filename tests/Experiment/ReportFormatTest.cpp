#include "Experiment/ReportFormat.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ReportFormat, NumbersRoundHalfAwayFromZeroAtTheLastDigit) {
  EXPECT_EQ(FormatReal(12.25, 8, 1), "    12.3");
  EXPECT_EQ(FormatReal(12.75, 8, 1), "    12.8");
  EXPECT_EQ(FormatReal(12.35, 8, 1), "    12.3"); // stored as 12.3499999999999996...
  EXPECT_EQ(FormatReal(47.5, 8, 1), "    47.5");
  EXPECT_EQ(FormatReal(100.0, 8, 1), "   100.0");
  EXPECT_EQ(FormatReal(0.0001, 6, 5), "0.00010");
  EXPECT_EQ(FormatReal(1.0, 6, 5), "1.00000");
  EXPECT_EQ(FormatReal(0.0, 6, 5), "0.00000");
  EXPECT_EQ(FormatReal(-1.0, 6, 2), " -1.00");
  EXPECT_EQ(FormatReal(72.7, 6, 2), " 72.70");
  EXPECT_EQ(FormatReal(12.5, 8, 2), "   12.50");
  EXPECT_EQ(FormatReal(0.005, 6, 2), "  0.01"); // 0.005000000000000000104 -> 0.0050000000000000001 -> up
  EXPECT_EQ(FormatReal(123456.789, 4, 1), "123456.8");
  EXPECT_EQ(FormatReal(0.99999, 6, 2), "  1.00");
  // The 18 significant digits first: 2^-27 is 7.450580596923828125e-9 exactly, a tie there,
  // which goes to the even digit.
  EXPECT_EQ(FormatReal(std::ldexp(1.0, -27), 0, 26), "0.00000000745058059692382812");
  EXPECT_EQ(FormatReal(-3e-120, 6, 2), "  0.00");
  EXPECT_EQ(FormatReal(2.5e21, 0, 1), "2500000000000000000000.0");
  EXPECT_EQ(FormatInt(5, 7), "      5");
  EXPECT_EQ(FormatInt(-1), "-1");
  EXPECT_EQ(FormatInt(1234567, 5), "1234567");
  EXPECT_EQ(ProbabilityInRange(1.5, 1.0), 1.0);
  EXPECT_EQ(ProbabilityInRange(-0.2, 0.0), 0.0);
  EXPECT_EQ(ProbabilityInRange(1.0, 0.0), 1.0);
}
