#include "afxstr.h"

#include <cctype>
#include <cstdio>
#include <cwctype>
#include <vector>

namespace afx_detail {

int Chars<wchar_t>::CmpNoCase(const wchar_t* a, const wchar_t* b) {
#ifdef _WIN32
  return _wcsicmp(a, b);
#else
  return wcscasecmp(a, b);
#endif
}
wchar_t Chars<wchar_t>::Upper(wchar_t c) { return (wchar_t)towupper((wint_t)c); }
wchar_t Chars<wchar_t>::Lower(wchar_t c) { return (wchar_t)towlower((wint_t)c); }
int Chars<char>::CmpNoCase(const char* a, const char* b) {
#ifdef _WIN32
  return _stricmp(a, b);
#else
  return strcasecmp(a, b);
#endif
}
char Chars<char>::Upper(char c) { return (char)toupper((unsigned char)c); }
char Chars<char>::Lower(char c) { return (char)tolower((unsigned char)c); }

#ifndef _WIN32
// Rewrites a Windows printf format into the C library's: in wide formats %s
// and %c take wide arguments, %hs and %hc narrow ones; %I64 is a 64-bit size.
template <typename T>
static std::basic_string<T> Translate(const T* fmt, bool wide) {
  std::basic_string<T> out;
  for (const T* p = fmt; *p; ++p) {
    out += *p;
    if (*p != '%') continue;
    ++p;
    if (*p == '%') {
      out += *p;
      continue;
    }
    while (*p && std::strchr("-+ #0123456789.*", (char)*p)) out += *p++;
    int size = 0;  // 0 default, 'h' narrow, 'l' wide
    for (;;) {
      if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
        out += 'l';
        out += 'l';
        p += 3;
        continue;
      }
      if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
        p += 3;
        continue;
      }
      if (p[0] == 'I') {
        out += 'z';
        ++p;
        continue;
      }
      if (*p == 'h') {
        size = 'h';
        ++p;
        if (*p == 'h') {
          out += 'h';
          out += 'h';
          ++p;
          size = 0;
        } else if (*p != 's' && *p != 'c' && *p != 'S' && *p != 'C')
          out += 'h';
        continue;
      }
      if (*p == 'l' || *p == 'w') {
        size = 'l';
        ++p;
        if (*p == 'l') {
          out += 'l';
          out += 'l';
          ++p;
          size = 0;
        } else if (*p != 's' && *p != 'c' && *p != 'S' && *p != 'C')
          out += 'l';
        continue;
      }
      break;
    }
    if (!*p) break;
    T c = *p;
    if (c == 's' || c == 'c' || c == 'S' || c == 'C') {
      bool upper = (c == 'S' || c == 'C');
      bool wantWide = size == 'l' ? true : size == 'h' ? false : (wide != upper);
      if (wantWide) out += 'l';
      out += (T)(upper ? c + ('a' - 'A') : c);
    } else {
      out += c;
    }
  }
  return out;
}
#endif

bool FormatV(std::wstring& out, const wchar_t* fmt, va_list args) {
  std::vector<wchar_t> buf(256);
#ifndef _WIN32
  std::wstring f = Translate(fmt, true);
  fmt = f.c_str();
#endif
  for (;;) {
    va_list a;
    va_copy(a, args);
#ifdef _WIN32
    int n = _vsnwprintf(buf.data(), buf.size(), fmt, a);
#else
    int n = vswprintf(buf.data(), buf.size(), fmt, a);
#endif
    va_end(a);
    if (n >= 0 && (size_t)n < buf.size()) {
      out.assign(buf.data(), (size_t)n);
      return true;
    }
    if (buf.size() >= (1u << 26)) return false;
    buf.resize(buf.size() * 4);
  }
}

bool FormatV(std::string& out, const char* fmt, va_list args) {
#ifndef _WIN32
  std::string f = Translate(fmt, false);
  fmt = f.c_str();
#endif
  std::vector<char> buf(256);
  for (;;) {
    va_list a;
    va_copy(a, args);
#ifdef _WIN32
    int n = _vsnprintf(buf.data(), buf.size(), fmt, a);
#else
    int n = vsnprintf(buf.data(), buf.size(), fmt, a);
#endif
    va_end(a);
    if (n >= 0 && (size_t)n < buf.size()) {
      out.assign(buf.data(), (size_t)n);
      return true;
    }
    if (buf.size() >= (1u << 26)) return false;
    buf.resize(n > 0 ? (size_t)n + 1 : buf.size() * 4);
  }
}

std::wstring AnsiToWide(const char* s, size_t n) {
  if (!s || n == 0) return std::wstring();
#ifdef _WIN32
  int len = MultiByteToWideChar(CP_ACP, 0, s, (int)n, nullptr, 0);
  std::wstring w((size_t)std::max(len, 0), L'\0');
  if (len > 0) MultiByteToWideChar(CP_ACP, 0, s, (int)n, &w[0], len);
  return w;
#else
  std::wstring w;
  for (size_t i = 0; i < n; ++i) w += (wchar_t)(unsigned char)s[i];
  return w;
#endif
}

std::string WideToAnsiText(const wchar_t* s, size_t n) {
  if (!s || n == 0) return std::string();
#ifdef _WIN32
  int len = WideCharToMultiByte(CP_ACP, 0, s, (int)n, nullptr, 0, nullptr, nullptr);
  std::string a((size_t)std::max(len, 0), '\0');
  if (len > 0) WideCharToMultiByte(CP_ACP, 0, s, (int)n, &a[0], len, nullptr, nullptr);
  return a;
#else
  std::string a;
  for (size_t i = 0; i < n; ++i) a += s[i] < 256 ? (char)s[i] : '?';
  return a;
#endif
}

}  // namespace afx_detail

BOOL AfxExtractSubString(CString& out, LPCTSTR text, int n, TCHAR sep) {
  out.Empty();
  if (!text || n < 0) return FALSE;
  const TCHAR* p = text;
  while (n > 0) {
    const TCHAR* q = wcschr(p, sep);
    if (!q) return FALSE;
    p = q + 1;
    --n;
  }
  const TCHAR* end = wcschr(p, sep);
  out = CString(p, end ? (int)(end - p) : (int)wcslen(p));
  return TRUE;
}
