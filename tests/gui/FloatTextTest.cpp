#include "ZELWorldHome/FloatText.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(StrToFloat, ReadsDecimalRealsCorrectlyRounded) {
  EXPECT_EQ(StrToFloat("0.0001"), 0.0001);
  EXPECT_EQ(StrToFloat("1.0"), 1.0);
  EXPECT_EQ(StrToFloat("0"), 0.0);
  EXPECT_EQ(StrToFloat(" 0.5 "), 0.5);
  EXPECT_EQ(StrToFloat("+0.25"), 0.25);
  EXPECT_EQ(StrToFloat("-1.5"), -1.5);
  EXPECT_EQ(StrToFloat("5e-3"), 0.005);
  EXPECT_EQ(StrToFloat(".5"), 0.5);
  // Halfway between two doubles: 2^53 + 1 rounds to even, the next one up does not.
  EXPECT_EQ(StrToFloat("9007199254740993"), 9007199254740992.0);
  EXPECT_EQ(StrToFloat("9007199254740993.0000000001"), 9007199254740994.0);
  EXPECT_NE(StrToFloat("0.30000000000000004"), 0.3);
}

TEST(StrToFloat, RejectsWhatIsNotADecimalRealNamingTheText) {
  for (const char* text :
       {"", " ", "abc", "1,5", "0.1x", "inf", "nan", "0x1p3", "1e999", "+-1", "1.0.0", "+"}) {
    try {
      StrToFloat(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(e.what(), "'" + std::string(text) + "' is not a valid floating point value");
    }
  }
}
