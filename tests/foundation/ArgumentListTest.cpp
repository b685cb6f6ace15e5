#include <gtest/gtest.h>

#include "foundation/ArgumentList.h"

TEST(ArgumentList, JoinsTokensWithSingleBlanks) {
  CArgumentList a;
  EXPECT_EQ(0, a.Add(L"-i"));
  EXPECT_STREQ(L"-i", a.GetText());
  EXPECT_EQ(-1, a.Add(L""));
  EXPECT_EQ(-1, a.Add(nullptr));
  EXPECT_STREQ(L"-i", a.GetText());
  a.AddFormatted(L"-r", L"%d/%d", 25, 1);
  EXPECT_STREQ(L"-i -r 25/1", a.GetText());
  // A value that formats to nothing leaves only the name; a null name a bare value.
  a.AddFormatted(L"-vf", L"%s", L"");
  a.AddFormatted(nullptr, L"\"%s\"", L"C:\\out dir\\a.mp4");
  EXPECT_STREQ(L"-i -r 25/1 -vf \"C:\\out dir\\a.mp4\"", a.GetText());
}
