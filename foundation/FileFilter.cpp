#include "foundation/FileFilter.h"

#include <vector>

namespace {

wchar_t Fold(wchar_t c) { return (c >= L'A' && c <= L'Z') ? (wchar_t)(c + (L'a' - L'A')) : c; }

CString FoldText(const CString& s) {
  CString r(s);
  for (int i = 0; i < r.GetLength(); ++i) r.SetAt(i, Fold(r[i]));
  return r;
}

void SplitPatterns(const CString& text, bool caseSensitive, CStringArray& out) {
  out.RemoveAll();
  CString part;
  for (int i = 0; AfxExtractSubString(part, text, i, L';'); ++i) {
    if (part.IsEmpty()) continue;
    out.Add(caseSensitive ? part : FoldText(part));
  }
}

// Runs of '*' match what one '*' matches; an escaped star stays as it is.
CString CollapseStars(LPCTSTR pattern) {
  CString out;
  for (const wchar_t* p = pattern; *p; ++p) {
    if (*p == L'`') {
      out += *p;
      if (p[1]) out += *++p;
      continue;
    }
    if (*p == L'*' && out.GetLength() > 0 && out[out.GetLength() - 1] == L'*') {
      // A star right after an escaped star is a new run.
      int n = out.GetLength();
      if (!(n >= 2 && out[n - 2] == L'`')) continue;
    }
    out += *p;
  }
  return out;
}

// Walks pattern and text; each (pattern, text) position is decided once.
class CWildcardMatcher {
 public:
  CWildcardMatcher(const wchar_t* pattern, const wchar_t* text)
      : m_p(pattern), m_t(text), m_np(wcslen(pattern)), m_nt(wcslen(text)), m_memo((m_np + 1) * (m_nt + 1), kUnknown) {}

  bool At(size_t p, size_t t) {
    uint8_t& slot = m_memo[p * (m_nt + 1) + t];
    if (slot == kUnknown) slot = Walk(p, t) ? kYes : kNo;
    return slot == kYes;
  }

 private:
  enum : uint8_t { kUnknown = 0, kNo = 1, kYes = 2 };

  bool Walk(size_t p, size_t t) {
    for (;;) {
      if (p == m_np) return t == m_nt;
      wchar_t c = m_p[p++];
      switch (c) {
        case L'*':
        case 0x1A: {
          size_t n = m_nt - t;
          if (c == 0x1A) {
            size_t k = t;
            while (k < m_nt && m_t[k] != L'.') ++k;
            n = k - t;
          }
          for (size_t k = n + 1; k-- > 0;)
            if (At(p, t + k)) return true;
          return false;
        }
        case L'?':
          if (t == m_nt) return false;
          ++t;
          break;
        case L'!':
          if (p == m_np) return false;
          return !At(p, t);
        case L'`': {
          if (p == m_np) return false;
          wchar_t d = m_p[p++];
          if (t == m_nt || Fold(d) != Fold(m_t[t])) return false;
          ++t;
          break;
        }
        case L'[': {
          bool negated = false;
          if (p < m_np && m_p[p] == L'!') {
            negated = true;
            ++p;
          }
          bool result = negated;
          wchar_t ch = t < m_nt ? Fold(m_t[t]) : 0;
          bool closed = false;
          while (p < m_np) {
            if (m_p[p] == L']') {
              closed = true;
              break;
            }
            wchar_t lo = ReadSetChar(p);
            wchar_t hi = lo;
            if (p < m_np && m_p[p] == L'-' && p + 1 < m_np && m_p[p + 1] != L']') {
              ++p;
              hi = ReadSetChar(p);
            }
            if (t < m_nt && Fold(lo) <= ch && ch <= Fold(hi)) result = !negated;
          }
          if (!closed || !result || t == m_nt) return false;
          ++p;  // the ']'
          ++t;
          break;
        }
        default:
          if (t == m_nt || Fold(c) != Fold(m_t[t])) return false;
          ++t;
          break;
      }
    }
  }

  wchar_t ReadSetChar(size_t& p) {
    if (m_p[p] == L'`' && p + 1 < m_np) ++p;
    return m_p[p++];
  }

  const wchar_t* m_p;
  const wchar_t* m_t;
  size_t m_np, m_nt;
  std::vector<uint8_t> m_memo;
};

}  // namespace

int CFileFilter::SetPatterns(LPCTSTR includeText, LPCTSTR excludeText, int caseSensitive) {
  m_strInclude = includeText ? includeText : L"";
  m_strExclude = excludeText ? excludeText : L"";
  m_bCaseSensitive = caseSensitive;
  SplitPatterns(m_strInclude, caseSensitive != 0, m_include);
  SplitPatterns(m_strExclude, caseSensitive != 0, m_exclude);
  return 0;
}

int CFileFilter::Match(LPCTSTR name) {
  CString text = name ? name : L"";
  if (!m_bCaseSensitive) text = FoldText(text);
  if (m_strInclude.IsEmpty()) return 0;
  if (m_strInclude != L"*") {
    bool any = false;
    for (INT_PTR i = 0; i < m_include.GetSize() && !any; ++i) any = MatchWildcard(m_include[i], text) != 0;
    if (!any) return 0;
  }
  if (m_strExclude.IsEmpty()) return 1;
  if (m_strExclude == L"*") return 0;
  for (INT_PTR i = 0; i < m_exclude.GetSize(); ++i)
    if (MatchWildcard(m_exclude[i], text)) return 0;
  return 1;
}

int MatchWildcard(LPCTSTR pattern, LPCTSTR text) {
  if (!pattern || !text) return 0;
  return MatchWildcardAt(pattern, text);
}

int MatchWildcardAt(LPCTSTR pattern, LPCTSTR text) {
  if (!pattern || !text) return 0;
  CString collapsed = CollapseStars(pattern);
  CWildcardMatcher matcher(collapsed, text);
  return matcher.At(0, 0) ? 1 : 0;
}
