#include <gtest/gtest.h>

#include "VideoFormats.h"

namespace {
struct Choice {
  int w, h, num, den;
};
Choice Choose(int row, int cw, int ch, int cn, int cd) {
  Choice c{};
  ChooseFrameSizeAndRate(VideoFormatTable[row], cw, ch, cn, cd, c.w, c.h, c.num, c.den);
  return c;
}
}  // namespace

TEST(VideoFormats, SizeAndRateRules) {
  // No options: MP4 keeps the frames' size at 10/1; 3GPP has its own size.
  Choice c = Choose(0, 0, 0, 0, 0);
  EXPECT_EQ(0, c.w);
  EXPECT_EQ(0, c.h);
  EXPECT_EQ(10, c.num);
  EXPECT_EQ(1, c.den);
  c = Choose(8, 0, 0, 0, 0);
  EXPECT_EQ(352, c.w);
  EXPECT_EQ(288, c.h);
  c = Choose(8, 640, 0, 0, 0);  // a half-chosen size does not count
  EXPECT_EQ(352, c.w);
  c = Choose(8, 176, 144, 25, 1);
  EXPECT_EQ(176, c.w);
  EXPECT_EQ(25, c.num);
  // MPEG-1 and VCD never run below 20 frames per second; MPEG-2 may.
  for (int row : {7, 10}) {
    c = Choose(row, 0, 0, 15, 1);
    EXPECT_EQ(20, c.num);
    EXPECT_EQ(1, c.den);
    c = Choose(row, 0, 0, 24000, 1001);
    EXPECT_EQ(24000, c.num);
    EXPECT_EQ(1001, c.den);
    c = Choose(row, 0, 0, 0, 0);
    EXPECT_EQ(20, c.num);
  }
  c = Choose(6, 0, 0, 15, 1);
  EXPECT_EQ(15, c.num);
}
