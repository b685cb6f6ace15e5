#include <gtest/gtest.h>

#include "foundation/DurationText.h"

TEST(FormatDuration, ClockAndSecondsForms) {
  EXPECT_STREQ(L"0:01:05.250", FormatDuration(65250, 0, 1, 1));
  EXPECT_STREQ(L"1:05.250", FormatDuration(65250, 0, 1, 0));
  EXPECT_STREQ(L"1:05", FormatDuration(65250, 0, 0, 0));
  EXPECT_STREQ(L"0:01:05", FormatDuration(65250, 0, 0, 1));
  EXPECT_STREQ(L"65.250", FormatDuration(65250, 1, 1, 0));
  EXPECT_STREQ(L"65", FormatDuration(65250, 1, 0, 1));
  // A positive time under one second shows as one second without milliseconds.
  EXPECT_STREQ(L"0:01", FormatDuration(400, 0, 0, 0));
  EXPECT_STREQ(L"1", FormatDuration(400, 1, 0, 0));
  EXPECT_STREQ(L"0:00", FormatDuration(0, 0, 0, 0));
  EXPECT_STREQ(L"0", FormatDuration(0, 1, 0, 0));
  const int t = ((1 * 60 + 2) * 60 + 3) * 1000 + 4;
  EXPECT_STREQ(L"1:02:03.004", FormatDuration(t, 0, 1, 0));
  EXPECT_STREQ(L"1:02:03", FormatDuration(t, 0, 0, 1));
  EXPECT_STREQ(L"00:01:05.250", FormatDurationPadded(65250, 0, 1, 1));
  EXPECT_STREQ(L"01:05", FormatDurationPadded(65250, 0, 0, 0));
  EXPECT_STREQ(L"65.250", FormatDurationPadded(65250, 1, 1, 0));
}

TEST(ParseDuration, ClockTextAndSeconds) {
  EXPECT_EQ(((1 * 60 + 2) * 60 + 3) * 1000 + 4, ParseDuration(L"01:02:03.004"));
  EXPECT_EQ(12500, ParseDuration(L"12.5"));
  EXPECT_EQ(1001, ParseDuration(L"1.001"));
  EXPECT_EQ(0, ParseDuration(L""));
  EXPECT_EQ(0, ParseDuration(L"abc"));
  EXPECT_EQ(3723000, ParseDuration(L"1:02:03"));
  // Fraction digits are a decimal fraction, however many there are.
  EXPECT_EQ(3500, ParseDuration(L"0:00:03.5"));
  EXPECT_EQ(3250, ParseDuration(L"0:00:03.25"));
  EXPECT_EQ(3123, ParseDuration(L"0:00:03.1239"));
  // Round trip of the form the encoder gets.
  for (int ms : {0, 1, 999, 1000, 65250, 4001, 35999999})
    EXPECT_EQ(ms, ParseDuration(FormatDuration(ms, 0, 1, 1))) << ms;
}

TEST(SizeText, FormatAndParse) {
  EXPECT_STREQ(L"Auto", FormatSizeText(0, 480, L"%d x %d", 1));
  EXPECT_STREQ(L"0 x 480", FormatSizeText(0, 480, L"%d x %d", 0));
  EXPECT_STREQ(L"640 x 480", FormatSizeText(640, 480, L"%d x %d", 1));
  int a = -1, b = -1;
  ParseSizeText(L"640 x 480", L"%d x %d", a, b);
  EXPECT_EQ(640, a);
  EXPECT_EQ(480, b);
  ParseSizeText(L"Auto", L"%d x %d", a, b);
  EXPECT_EQ(0, a);
  EXPECT_EQ(0, b);
  ParseNumberPair("30000/1001", "%d/%d", a, b);
  EXPECT_EQ(30000, a);
  EXPECT_EQ(1001, b);
  ParseNumberPair("25", "%d/%d", a, b);
  EXPECT_EQ(25, a);
  EXPECT_EQ(0, b);
}
