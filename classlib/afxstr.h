// CStringT: the class library's reference string, wide (CString, CStringW) and
// narrow in the ANSI code page (CStringA). Formatting follows the Windows
// printf rules on every platform: in a wide format %s is a wide string, %hs a
// narrow one, %I64d a 64-bit integer.
#pragma once

#include "afxplatform.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <string>

namespace afx_detail {
template <typename T>
struct Chars;
template <>
struct Chars<wchar_t> {
  static size_t Len(const wchar_t* s) { return s ? wcslen(s) : 0; }
  static int Cmp(const wchar_t* a, const wchar_t* b) { return wcscmp(a, b); }
  static int CmpNoCase(const wchar_t* a, const wchar_t* b);
  static wchar_t Upper(wchar_t c);
  static wchar_t Lower(wchar_t c);
  static bool Space(wchar_t c) { return c == L' ' || (c >= 9 && c <= 13); }
};
template <>
struct Chars<char> {
  static size_t Len(const char* s) { return s ? strlen(s) : 0; }
  static int Cmp(const char* a, const char* b) { return strcmp(a, b); }
  static int CmpNoCase(const char* a, const char* b);
  static char Upper(char c);
  static char Lower(char c);
  static bool Space(char c) { return c == ' ' || (c >= 9 && c <= 13); }
};
// printf-style formatting with the Windows conventions; returns false on a format error.
bool FormatV(std::wstring& out, const wchar_t* fmt, va_list args);
bool FormatV(std::string& out, const char* fmt, va_list args);
// Conversions between the wide text and the ANSI code page.
std::wstring AnsiToWide(const char* s, size_t n);
std::string WideToAnsiText(const wchar_t* s, size_t n);
}  // namespace afx_detail

template <typename T>
class CStringT {
 public:
  typedef T XCHAR;
  typedef const T* PCXSTR;
  typedef T* PXSTR;
  typedef typename std::conditional<std::is_same<T, wchar_t>::value, char, wchar_t>::type YCHAR;

  CStringT() {}
  CStringT(const CStringT& s) : m_s(s.m_s) {}
  CStringT(CStringT&& s) noexcept : m_s(std::move(s.m_s)) {}
  CStringT(const T* s) {
    if (s) m_s = s;
  }
  CStringT(const T* s, int n) {
    if (s && n > 0) m_s.assign(s, (size_t)n);
  }
  CStringT(T c, int n = 1) {
    if (n > 0) m_s.assign((size_t)n, c);
  }
  CStringT(const YCHAR* s) {
    if (s) Assign(s, afx_detail::Chars<YCHAR>::Len(s));
  }
  CStringT(const YCHAR* s, int n) {
    if (s && n > 0) Assign(s, (size_t)n);
  }
  CStringT(const CStringT<YCHAR>& s) { Assign(s.GetString(), (size_t)s.GetLength()); }
  explicit CStringT(const std::basic_string<T>& s) : m_s(s) {}

  CStringT& operator=(const CStringT& s) {
    m_s = s.m_s;
    return *this;
  }
  CStringT& operator=(CStringT&& s) noexcept {
    m_s = std::move(s.m_s);
    return *this;
  }
  CStringT& operator=(const T* s) {
    if (s)
      m_s = s;
    else
      m_s.clear();
    return *this;
  }
  CStringT& operator=(T c) {
    m_s.assign(1, c);
    return *this;
  }
  CStringT& operator=(const YCHAR* s) {
    m_s.clear();
    if (s) Assign(s, afx_detail::Chars<YCHAR>::Len(s));
    return *this;
  }
  CStringT& operator=(const CStringT<YCHAR>& s) {
    m_s.clear();
    Assign(s.GetString(), (size_t)s.GetLength());
    return *this;
  }

  operator const T*() const { return m_s.c_str(); }
  const T* GetString() const { return m_s.c_str(); }
  int GetLength() const { return (int)m_s.size(); }
  bool IsEmpty() const { return m_s.empty(); }
  void Empty() { m_s.clear(); }
  T GetAt(int i) const {
    ASSERT(i >= 0 && i < GetLength());
    return m_s[(size_t)i];
  }
  T operator[](int i) const { return GetAt(i); }
  void SetAt(int i, T c) {
    ASSERT(i >= 0 && i < GetLength());
    m_s[(size_t)i] = c;
  }
  const std::basic_string<T>& str() const { return m_s; }

  // Direct buffer access: GetBuffer(n) gives room for n characters and the
  // terminator; ReleaseBuffer(-1) takes the length from the terminator.
  T* GetBuffer(int nMin = 0) {
    if (nMin > GetLength()) m_s.resize((size_t)nMin);
    return &m_s[0];
  }
  T* GetBufferSetLength(int n) {
    m_s.resize(n > 0 ? (size_t)n : 0);
    return &m_s[0];
  }
  void ReleaseBuffer(int n = -1) {
    if (n < 0) n = (int)afx_detail::Chars<T>::Len(m_s.c_str());
    m_s.resize((size_t)std::min(n, (int)m_s.size()));
  }
  void ReleaseBufferSetLength(int n) { m_s.resize(n > 0 ? (size_t)n : 0); }
  void Truncate(int n) {
    if (n >= 0 && n < GetLength()) m_s.resize((size_t)n);
  }

  CStringT& operator+=(const CStringT& s) {
    m_s += s.m_s;
    return *this;
  }
  CStringT& operator+=(const T* s) {
    if (s) m_s += s;
    return *this;
  }
  CStringT& operator+=(T c) {
    m_s += c;
    return *this;
  }
  CStringT& operator+=(const YCHAR* s) { return *this += CStringT(s); }
  void Append(const T* s) { *this += s; }
  void Append(const T* s, int n) {
    if (s && n > 0) m_s.append(s, (size_t)n);
  }
  void AppendChar(T c) { m_s += c; }

  friend CStringT operator+(const CStringT& a, const CStringT& b) {
    CStringT r(a);
    r += b;
    return r;
  }
  friend CStringT operator+(const CStringT& a, const T* b) {
    CStringT r(a);
    r += b;
    return r;
  }
  friend CStringT operator+(const T* a, const CStringT& b) {
    CStringT r(a);
    r += b;
    return r;
  }
  friend CStringT operator+(const CStringT& a, T b) {
    CStringT r(a);
    r += b;
    return r;
  }
  friend CStringT operator+(T a, const CStringT& b) {
    CStringT r(a);
    r += b;
    return r;
  }

  friend bool operator==(const CStringT& a, const CStringT& b) { return a.m_s == b.m_s; }
  friend bool operator==(const CStringT& a, const T* b) { return a.Compare(b) == 0; }
  friend bool operator==(const T* a, const CStringT& b) { return b.Compare(a) == 0; }
  friend bool operator!=(const CStringT& a, const CStringT& b) { return !(a == b); }
  friend bool operator!=(const CStringT& a, const T* b) { return !(a == b); }
  friend bool operator!=(const T* a, const CStringT& b) { return !(a == b); }
  friend bool operator<(const CStringT& a, const CStringT& b) { return a.m_s < b.m_s; }
  friend bool operator>(const CStringT& a, const CStringT& b) { return a.m_s > b.m_s; }

  int Compare(const T* s) const { return afx_detail::Chars<T>::Cmp(m_s.c_str(), s ? s : Empty_()); }
  int CompareNoCase(const T* s) const { return afx_detail::Chars<T>::CmpNoCase(m_s.c_str(), s ? s : Empty_()); }

  CStringT Mid(int first) const { return Mid(first, GetLength() - std::max(first, 0)); }
  CStringT Mid(int first, int count) const {
    if (first < 0) first = 0;
    if (count < 0) count = 0;
    if (first >= GetLength()) return CStringT();
    count = std::min(count, GetLength() - first);
    return CStringT(m_s.substr((size_t)first, (size_t)count));
  }
  CStringT Left(int n) const { return Mid(0, n); }
  CStringT Right(int n) const {
    n = std::max(0, std::min(n, GetLength()));
    return Mid(GetLength() - n, n);
  }
  CStringT SpanIncluding(const T* set) const {
    size_t n = m_s.find_first_not_of(set ? set : Empty_());
    return Left(n == std::basic_string<T>::npos ? GetLength() : (int)n);
  }
  CStringT SpanExcluding(const T* set) const {
    size_t n = m_s.find_first_of(set ? set : Empty_());
    return Left(n == std::basic_string<T>::npos ? GetLength() : (int)n);
  }

  int Find(T c, int start = 0) const {
    return Pos(start < 0 ? std::basic_string<T>::npos : m_s.find(c, (size_t)start));
  }
  int Find(const T* s, int start = 0) const {
    if (!s || start < 0 || start > GetLength()) return -1;
    return Pos(m_s.find(s, (size_t)start));
  }
  int FindOneOf(const T* set) const { return Pos(m_s.find_first_of(set ? set : Empty_())); }
  int ReverseFind(T c) const { return Pos(m_s.rfind(c)); }

  CStringT& MakeUpper() {
    for (auto& c : m_s) c = afx_detail::Chars<T>::Upper(c);
    return *this;
  }
  CStringT& MakeLower() {
    for (auto& c : m_s) c = afx_detail::Chars<T>::Lower(c);
    return *this;
  }
  CStringT& MakeReverse() {
    std::reverse(m_s.begin(), m_s.end());
    return *this;
  }

  CStringT& TrimLeft() {
    size_t i = 0;
    while (i < m_s.size() && afx_detail::Chars<T>::Space(m_s[i])) ++i;
    m_s.erase(0, i);
    return *this;
  }
  CStringT& TrimRight() {
    size_t n = m_s.size();
    while (n > 0 && afx_detail::Chars<T>::Space(m_s[n - 1])) --n;
    m_s.resize(n);
    return *this;
  }
  CStringT& Trim() { return TrimRight().TrimLeft(); }
  CStringT& TrimLeft(T c) {
    size_t i = 0;
    while (i < m_s.size() && m_s[i] == c) ++i;
    m_s.erase(0, i);
    return *this;
  }
  CStringT& TrimRight(T c) {
    size_t n = m_s.size();
    while (n > 0 && m_s[n - 1] == c) --n;
    m_s.resize(n);
    return *this;
  }
  CStringT& Trim(T c) { return TrimRight(c).TrimLeft(c); }
  CStringT& TrimLeft(const T* set) {
    size_t i = m_s.find_first_not_of(set ? set : Empty_());
    m_s.erase(0, i == std::basic_string<T>::npos ? m_s.size() : i);
    return *this;
  }
  CStringT& TrimRight(const T* set) {
    size_t i = m_s.find_last_not_of(set ? set : Empty_());
    m_s.resize(i == std::basic_string<T>::npos ? 0 : i + 1);
    return *this;
  }
  CStringT& Trim(const T* set) { return TrimRight(set).TrimLeft(set); }

  int Replace(T from, T to) {
    int n = 0;
    for (auto& c : m_s)
      if (c == from) {
        c = to;
        ++n;
      }
    return n;
  }
  int Replace(const T* from, const T* to) {
    size_t fl = afx_detail::Chars<T>::Len(from);
    if (fl == 0) return 0;
    std::basic_string<T> rep = to ? to : Empty_();
    int n = 0;
    for (size_t p = m_s.find(from); p != std::basic_string<T>::npos; p = m_s.find(from, p + rep.size())) {
      m_s.replace(p, fl, rep);
      ++n;
    }
    return n;
  }
  int Remove(T c) {
    size_t before = m_s.size();
    m_s.erase(std::remove(m_s.begin(), m_s.end(), c), m_s.end());
    return (int)(before - m_s.size());
  }
  int Insert(int i, T c) {
    i = std::max(0, std::min(i, GetLength()));
    m_s.insert((size_t)i, 1, c);
    return GetLength();
  }
  int Insert(int i, const T* s) {
    i = std::max(0, std::min(i, GetLength()));
    if (s) m_s.insert((size_t)i, s);
    return GetLength();
  }
  int Delete(int i, int n = 1) {
    if (i < 0) i = 0;
    if (n > 0 && i < GetLength()) m_s.erase((size_t)i, (size_t)n);
    return GetLength();
  }
  // Tokenize: the next token delimited by any of the characters in set;
  // pos is -1 when no token is left.
  CStringT Tokenize(const T* set, int& pos) const {
    if (pos < 0) return CStringT();
    const T* d = set ? set : Empty_();
    size_t b = m_s.find_first_not_of(d, (size_t)pos);
    if (b == std::basic_string<T>::npos) {
      pos = -1;
      return CStringT();
    }
    size_t e = m_s.find_first_of(d, b);
    if (e == std::basic_string<T>::npos) e = m_s.size();
    pos = (int)e + (e < m_s.size() ? 1 : 0);
    return CStringT(m_s.substr(b, e - b));
  }

  void Format(const T* fmt, ...) {
    va_list a;
    va_start(a, fmt);
    FormatV(fmt, a);
    va_end(a);
  }
  void AppendFormat(const T* fmt, ...) {
    va_list a;
    va_start(a, fmt);
    std::basic_string<T> s;
    if (fmt && afx_detail::FormatV(s, fmt, a)) m_s += s;
    va_end(a);
  }
  void FormatV(const T* fmt, va_list args) {
    std::basic_string<T> s;
    if (fmt && afx_detail::FormatV(s, fmt, args))
      m_s.swap(s);
    else
      m_s.clear();
  }
#ifdef _WIN32
  // Loads a string resource of the program; FALSE (and empty) when missing.
  BOOL LoadString(UINT id);
#endif

 private:
  static const T* Empty_() {
    static const T z[1] = {0};
    return z;
  }
  static int Pos(size_t p) { return p == std::basic_string<T>::npos ? -1 : (int)p; }
  void Assign(const YCHAR* s, size_t n);

  std::basic_string<T> m_s;
};

template <>
inline void CStringT<wchar_t>::Assign(const char* s, size_t n) {
  m_s = afx_detail::AnsiToWide(s, n);
}
template <>
inline void CStringT<char>::Assign(const wchar_t* s, size_t n) {
  m_s = afx_detail::WideToAnsiText(s, n);
}

#ifdef _WIN32
template <>
BOOL CStringT<wchar_t>::LoadString(UINT id);
#endif

typedef CStringT<wchar_t> CStringW;
typedef CStringT<char> CStringA;
typedef CStringW CString;

// The n-th field of text split at sep; false when there are fewer fields.
BOOL AfxExtractSubString(CString& out, LPCTSTR text, int n, TCHAR sep = L'\n');
