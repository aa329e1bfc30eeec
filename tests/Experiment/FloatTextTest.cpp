#include "Experiment/FloatText.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(StrToFloat, ReadsDecimalRealsCorrectlyRoundedAndRejectsTheRest) {
  EXPECT_EQ(StrToFloat(" 0.0001 "), 0.0001);
  EXPECT_EQ(StrToFloat("-1.5"), -1.5);
  EXPECT_EQ(StrToFloat("5e-3"), 0.005);
  // Halfway between two doubles: 2^53 + 1 rounds to even, the next one up does not.
  EXPECT_EQ(StrToFloat("9007199254740993"), 9007199254740992.0);
  EXPECT_EQ(StrToFloat("9007199254740993.0000000001"), 9007199254740994.0);
  for (const char* text : {"", "abc", "1,5", "0.1x", "inf", "nan", "0x1p3", "1e999", "+-1", "1.0.0"})
    EXPECT_THROW(StrToFloat(text), std::invalid_argument) << text;
}
