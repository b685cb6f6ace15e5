#include <gtest/gtest.h>

#include "foundation/AnsiText.h"
#include "foundation/Versions.h"

TEST(Version, ParsesThreePartsWithBlanksAndWildcards) {
  int a = 7, b = 7, c = 7;
  EXPECT_EQ(-1, ParseVersion(L"1.2", a, b, c));
  EXPECT_EQ(7, a);  // untouched on failure
  EXPECT_EQ(0, ParseVersion(L"  1. 11 .0 ", a, b, c));
  EXPECT_EQ(1, a);
  EXPECT_EQ(11, b);
  EXPECT_EQ(0, c);
  EXPECT_EQ(0, ParseVersion(L"2.x.5.9", a, b, c));
  EXPECT_EQ(2, a);
  EXPECT_EQ(-1, b);
  EXPECT_EQ(5, c);
  EXPECT_EQ(0, ParseVersion(L"3.beta.", a, b, c));
  EXPECT_EQ(0, b);
  EXPECT_EQ(0, c);
}

TEST(Version, ComparesNumerically) {
  EXPECT_EQ(1, CompareVersions(L"1.11.0", L"1.9.9"));
  EXPECT_EQ(-1, CompareVersions(L"1.9.9", L"1.11.0"));
  EXPECT_EQ(0, CompareVersions(L"1.2.3", L" 1.2.3"));
  EXPECT_EQ(0, CompareVersions(L"1.2.3.9", L"1.2.3.1"));  // a fourth part never counts
  EXPECT_EQ(-1, CompareVersions(L"1.x.0", L"1.0.0"));
  // Missing parts count as 0: a newest version written "2.0" is newer.
  EXPECT_EQ(1, CompareVersions(L"2.0", L"1.11.0"));
  EXPECT_EQ(1, CompareVersions(L"2", L"1.11.0"));
  EXPECT_EQ(0, CompareVersions(L"1.11", L"1.11.0"));
  EXPECT_EQ(-1, CompareVersions(L"1.10", L"1.11.0"));
}

TEST(Version, EveryNumberDecidesInTurn) {
  // The first number that differs decides, the third as much as the first.
  EXPECT_EQ(-1, CompareVersions(L"1.2.3", L"1.2.4"));
  EXPECT_EQ(1, CompareVersions(L"1.2.4", L"1.2.3"));
  EXPECT_EQ(1, CompareVersions(L"1.2.10", L"1.2.9"));
  EXPECT_EQ(1, CompareVersions(L"1.3.0", L"1.2.99"));
  EXPECT_EQ(1, CompareVersions(L"2.0.0", L"1.99.99"));
  EXPECT_EQ(-1, CompareVersions(L"1.2.x", L"1.2.0"));
  EXPECT_EQ(0, CompareVersions(L"1.2.x", L"1.2.x"));
}

TEST(Version, AnsiConversion) {
  CStringA out("stale");
  EXPECT_EQ(-1, WideToAnsi(L"", out));
  EXPECT_STREQ("", out);
  EXPECT_EQ(-1, WideToAnsi(nullptr, out));
  EXPECT_EQ(4, WideToAnsi(L"abc", out));
  EXPECT_STREQ("abc", out);
}
