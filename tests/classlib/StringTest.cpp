#include <gtest/gtest.h>

#include "afx.h"

TEST(StringFormat, FollowsWindowsConventions) {
  CString s;
  s.Format(L"%s|%hs|%I64d|%d|%.2f|%c|%07d", L"wide", "narrow", (LONGLONG)1 << 40, -5, 1.5, L'x', 42);
  EXPECT_STREQ(L"wide|narrow|1099511627776|-5|1.50|x|0000042", s);
  CStringA a;
  a.Format("%s|%ls|%I64d", "n", L"w", (LONGLONG)1 << 41);
  EXPECT_STREQ("n|w|2199023255552", a);
  // Long results grow the buffer instead of being cut.
  CString big(L'z', 5000), out;
  out.Format(L"<%s>", (LPCTSTR)big);
  EXPECT_EQ(5002, out.GetLength());
  out.AppendFormat(L"%d", 7);
  EXPECT_EQ(L'7', out[out.GetLength() - 1]);
}

TEST(StringMembers, SliceSearchAndEdit) {
  CString s(L"  Hello, World  ");
  s.Trim();
  EXPECT_STREQ(L"Hello, World", s);
  EXPECT_STREQ(L"Hello", s.Left(5));
  EXPECT_STREQ(L"World", s.Right(5));
  EXPECT_STREQ(L"World", s.Mid(7));
  EXPECT_STREQ(L"", s.Mid(100));
  EXPECT_STREQ(L"Hel", s.Mid(-3, 3));
  EXPECT_EQ(4, s.Find(L'o'));
  EXPECT_EQ(8, s.Find(L'o', 5));
  EXPECT_EQ(8, s.ReverseFind(L'o'));
  EXPECT_EQ(-1, s.Find(L"xyz"));
  EXPECT_EQ(-1, s.Find(L"o", 99));
  EXPECT_EQ(2, s.Replace(L"o", L"00"));
  EXPECT_STREQ(L"Hell00, W00rld", s);
  EXPECT_EQ(0, s.CompareNoCase(L"HELL00, w00RLD"));
  EXPECT_EQ(4, s.Remove(L'0'));
  s.Delete(4, 2);
  EXPECT_STREQ(L"HellWrld", s);
  s.Insert(4, L"o ");
  EXPECT_STREQ(L"Hello Wrld", s);
  s.MakeUpper();
  EXPECT_STREQ(L"HELLO WRLD", s);

  CString b;
  wchar_t* p = b.GetBuffer(10);
  wcscpy(p, L"abc");
  b.ReleaseBuffer();
  EXPECT_EQ(3, b.GetLength());

  CString csv(L"a,,b;c"), tok;
  int pos = 0;
  std::vector<CString> toks;
  for (tok = csv.Tokenize(L",;", pos); pos >= 0; tok = csv.Tokenize(L",;", pos)) toks.push_back(tok);
  ASSERT_EQ(3u, toks.size());
  EXPECT_STREQ(L"c", toks[2]);
}

TEST(StringConversion, NarrowAndWideMeet) {
  CStringA a(L"path");
  EXPECT_STREQ("path", a);
  CString w("path");
  EXPECT_STREQ(L"path", w);
  EXPECT_TRUE(CString(L"x") + L"y" == L"xy");
}

TEST(ExtractSubString, SplitsAtSeparator) {
  CString part;
  EXPECT_TRUE(AfxExtractSubString(part, L"1.22.333", 1, L'.'));
  EXPECT_STREQ(L"22", part);
  EXPECT_TRUE(AfxExtractSubString(part, L"1.22.", 2, L'.'));
  EXPECT_STREQ(L"", part);
  EXPECT_FALSE(AfxExtractSubString(part, L"1.22", 2, L'.'));
  EXPECT_TRUE(AfxExtractSubString(part, L"only", 0, L'.'));
  EXPECT_STREQ(L"only", part);
}

TEST(Collections, ArraysKeepOrder) {
  CStringArray a;
  a.Add(L"one");
  a.Add(CString(L"three"));
  a.InsertAt(1, L"two");
  ASSERT_EQ(3, a.GetSize());
  EXPECT_STREQ(L"two", a[1]);
  a.RemoveAt(0);
  EXPECT_STREQ(L"three", a.GetAt(1));
  CPtrArray p;
  int x = 0;
  p.Add(&x);
  p.SetAtGrow(3, nullptr);
  EXPECT_EQ(4, p.GetSize());
  EXPECT_EQ(&x, p[0]);
}
