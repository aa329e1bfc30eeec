#include "Display/MemoryImage.h"
#include "FuzzySet/FuzzySet.h"

#include <gtest/gtest.h>

TEST(Draw, PointsAreSlotCentresAndDegreesScaleToTheHeightPlusOne) {
  TFuzzySet s;
  s.Fill(100, 50);
  s.SetDegree(0, 100);
  s.SetDegree(99, 0);
  TMemoryImage img(640, 300);
  s.Draw(img, clBlue, true);
  ASSERT_EQ(img.Steps.size(), 100u);
  EXPECT_FALSE(img.Steps[0].Line);
  EXPECT_EQ(img.Steps[0].X, 3);
  EXPECT_EQ(img.Steps[0].Y, 0);
  EXPECT_EQ(img.Steps[1].X, 9);
  EXPECT_EQ(img.Steps[1].Y, 150); // R(0.5 * 301) = R(150.5) = 150, ties to even
  EXPECT_EQ(img.Steps[99].X, 597);
  EXPECT_EQ(img.Steps[99].Y, 301);
  EXPECT_EQ(img.Pixel(3, 0), clBlue);
  EXPECT_EQ(img.Pixel(620, 150), clWhite);
}

TEST(Draw, ClearingOverlayAndDegenerateSets) {
  TMemoryImage img(10, 10);
  TFuzzySet a, b;
  a.Fill(11, 100);
  a.Draw(img, clBlue, true);
  b.Fill(11, 0);
  b.Draw(img, clRed, false); // more elements than fit: dx is 1 here, all on screen
  EXPECT_EQ(img.Pixel(5, 0), clBlue);
  TFuzzySet many;
  many.Fill(50, 100);
  TMemoryImage narrow(10, 10);
  many.Draw(narrow, clRed, true);
  for (const auto& st : narrow.Steps)
    EXPECT_EQ(st.X, 0);
  TFuzzySet one, none;
  one.Fill(1, 30);
  TMemoryImage img2(10, 10);
  one.Draw(img2, clRed, false);
  ASSERT_EQ(img2.Steps.size(), 1u);
  EXPECT_FALSE(img2.Steps[0].Line);
  none.Draw(img2, clRed, true);
  EXPECT_EQ(img2.Steps.size(), 1u);
  EXPECT_EQ(img2.Pixel(0, 0), clWhite);
}
