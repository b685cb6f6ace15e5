#include <gtest/gtest.h>

#include <vector>

#include "foundation/FileFilter.h"

namespace {
int Pass(LPCTSTR include, LPCTSTR exclude, LPCTSTR name, int caseSensitive = 0) {
  CFileFilter f;
  f.SetPatterns(include, exclude, caseSensitive);
  return f.Match(name);
}
}  // namespace

TEST(FileFilter, IncludeAndExcludeLists) {
  EXPECT_EQ(1, Pass(L"*.dcm", L"", L"IMG.DCM"));
  EXPECT_EQ(0, Pass(L"*.dcm", L"", L"a.dcmx"));
  EXPECT_EQ(0, Pass(L"", L"", L"anything"));
  EXPECT_EQ(0, Pass(nullptr, nullptr, L"anything"));
  EXPECT_EQ(0, Pass(L"*", L"*", L"anything"));
  EXPECT_EQ(1, Pass(L"*", L"", L"anything"));
  EXPECT_EQ(1, Pass(L"*", L"", L""));
  // A blank after ';' belongs to the next pattern.
  EXPECT_EQ(0, Pass(L"*.dcm; *.img", L"", L"x.img"));
  EXPECT_EQ(1, Pass(L"*.dcm; *.img", L"", L" x.img"));
  EXPECT_EQ(1, Pass(L"*.dcm;;*.img", L"", L"x.img"));
  EXPECT_EQ(1, Pass(L"*.dcm;*.dicom", L"", L"b.DICOM"));
  // Exclusions win over inclusions.
  EXPECT_EQ(0, Pass(L"*.dcm", L"~*;*.bak", L"~tmp.dcm"));
  EXPECT_EQ(1, Pass(L"*.dcm", L"~*;*.bak", L"tmp.dcm"));
  // "*" as the whole include text is a shortcut; as the first of a list it is a pattern.
  EXPECT_EQ(1, Pass(L"*;*.x", L"", L"abc"));
}

TEST(FileFilter, SetsQuestionMarksEscapesAndNegation) {
  EXPECT_EQ(1, Pass(L"IM?00[0-4]*", L"", L"im00012"));
  EXPECT_EQ(0, Pass(L"IM?00[0-4]*", L"", L"im0051"));
  EXPECT_EQ(1, Pass(L"[!a]*", L"", L"b1"));
  EXPECT_EQ(0, Pass(L"[!a]*", L"", L"a1"));
  EXPECT_EQ(0, Pass(L"[!a]*", L"", L""));
  EXPECT_EQ(1, Pass(L"!*.tmp", L"", L"x.dcm"));
  EXPECT_EQ(0, Pass(L"!*.tmp", L"", L"x.tmp"));
  EXPECT_EQ(1, Pass(L"a`*b", L"", L"a*b"));
  EXPECT_EQ(0, Pass(L"a`*b", L"", L"axb"));
  EXPECT_EQ(0, Pass(L"a`*b", L"", L"ab"));
  EXPECT_EQ(0, Pass(L"[ab", L"", L"a"));
  EXPECT_EQ(0, Pass(L"[ab", L"", L"[ab"));
  EXPECT_EQ(1, Pass(L"x[`]]", L"", L"x]"));
  EXPECT_EQ(1, Pass(L"[a-c][x-z]", L"", L"BY"));
  EXPECT_EQ(0, Pass(L"?", L"", L""));
  // A '?' wants one more character, and no more than one; at the end of the
  // name nothing after it may be read.
  EXPECT_EQ(0, Pass(L"scan?", L"", L"scan"));
  EXPECT_EQ(1, Pass(L"scan?", L"", L"scan1"));
  EXPECT_EQ(0, Pass(L"scan?", L"", L"scan12"));
  EXPECT_EQ(1, Pass(L"scan?*", L"", L"scan1"));
  // The name in a buffer of its own size, so that a read past it is seen.
  const std::vector<wchar_t> name(L"scan", L"scan" + 5);
  EXPECT_EQ(0, MatchWildcard(L"scan?x", name.data()));
  EXPECT_EQ(0, MatchWildcard(L"scan?*", name.data()));
  // A trailing '!' negates nothing and fails.
  EXPECT_EQ(0, Pass(L"a!", L"", L"a"));
}

TEST(FileFilter, CaseFolding) {
  // Folding by the filter: patterns and names are lowered.
  EXPECT_EQ(1, Pass(L"SCAN*.DCM", L"", L"scan1.dcm"));
  // Case-sensitive filter: the matcher still folds A-Z, so upper matches lower.
  EXPECT_EQ(1, Pass(L"A*", L"", L"a1", 1));
  EXPECT_EQ(1, Pass(L"a*", L"", L"A1", 1));
  // Only A-Z fold: other letters keep their case.
  EXPECT_EQ(0, MatchWildcard(L"\u00c9*", L"\u00e9t\u00e9"));
  EXPECT_EQ(1, MatchWildcard(L"\u00e9*", L"\u00e9t\u00e9"));
}

TEST(FileFilter, StopAtDotRun) {
  const wchar_t stop[] = {0x1A, L'.', L'd', L'c', L'm', 0};
  EXPECT_EQ(1, MatchWildcard(stop, L"scan.dcm"));
  // The run may not pass the first dot.
  EXPECT_EQ(0, MatchWildcard(stop, L"scan.old.dcm"));
  EXPECT_EQ(1, MatchWildcard(L"*.dcm", L"scan.old.dcm"));
}

TEST(FileFilter, NullArguments) {
  EXPECT_EQ(0, MatchWildcard(nullptr, L"a"));
  EXPECT_EQ(0, MatchWildcard(L"a", nullptr));
  EXPECT_EQ(1, MatchWildcard(L"", L""));
  EXPECT_EQ(0, MatchWildcard(L"", L"a"));
}

// A backtracking matcher needs time exponential in the number of stars for
// these; the run's time-out catches one that does.
TEST(FileFilter, ManyStarsEndFast) {
  CString text(L'a', 400);
  CString stars;
  for (int i = 0; i < 40; ++i) stars += L"*a";
  EXPECT_EQ(0, MatchWildcard(stars + L"*b", text));
  EXPECT_EQ(1, MatchWildcard(stars + L"*", text));
  CString run(L'*', 5000);
  EXPECT_EQ(0, MatchWildcard(run + L"b" + run + L"c", text));
  EXPECT_EQ(1, MatchWildcard(run + L"a" + run, text));
  // Escaped stars in a run stay literal.
  EXPECT_EQ(1, MatchWildcard(L"a`***", L"a*xyz"));
  EXPECT_EQ(0, MatchWildcard(L"a`***", L"axyz"));
  CFileFilter f;
  f.SetPatterns(stars + L"*b;x*", L"", 0);
  EXPECT_EQ(0, f.Match(text));
  EXPECT_EQ(1, f.Match(text + L"b"));
}
