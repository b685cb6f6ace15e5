#include "foundation/DurationText.h"

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace {
CString FormatClock(int ms, int secondsOnly, int withMs, int alwaysHours, bool padded) {
  CString text;
  int s = ms / 1000;
  if (secondsOnly) {
    if (withMs) {
      text.Format(L"%.3f", ms * 0.001);
    } else {
      if (s == 0 && ms > 0) s = 1;
      text.Format(L"%d", s);
    }
    return text;
  }
  if (!withMs && s == 0 && ms > 0) s = 1;
  int h = s / 3600, m = (s % 3600) / 60, sec = s % 60;
  bool hours = alwaysHours || h > 0;
  if (withMs) {
    int msPart = ms % 1000;
    if (hours)
      text.Format(padded ? L"%02d:%02d:%02d.%03d" : L"%d:%02d:%02d.%03d", h, m, sec, msPart);
    else
      text.Format(padded ? L"%02d:%02d.%03d" : L"%d:%02d.%03d", m, sec, msPart);
  } else {
    if (hours)
      text.Format(padded ? L"%02d:%02d:%02d" : L"%d:%02d:%02d", h, m, sec);
    else
      text.Format(padded ? L"%02d:%02d" : L"%d:%02d", m, sec);
  }
  return text;
}

// Milliseconds of the digits after a decimal point: ".5" is 500 ms, ".25"
// 250 ms, ".004" 4 ms; digits past the third are cut off.
int FractionMs(const wchar_t* p) {
  while (iswspace(*p)) ++p;
  int ms = 0, digits = 0;
  for (; *p >= L'0' && *p <= L'9' && digits < 3; ++p, ++digits) ms = ms * 10 + (*p - L'0');
  for (; digits > 0 && digits < 3; ++digits) ms *= 10;
  return ms;
}
}  // namespace

CString FormatDuration(int ms, int secondsOnly, int withMs, int alwaysHours) {
  return FormatClock(ms, secondsOnly, withMs, alwaysHours, false);
}

CString FormatDurationPadded(int ms, int secondsOnly, int withMs, int alwaysHours) {
  return FormatClock(ms, secondsOnly, withMs, alwaysHours, true);
}

int ParseDuration(LPCTSTR text) {
  if (!text) return 0;
  if (!wcschr(text, L':')) {
    double seconds = wcstod(text, nullptr);
    double ms = seconds * 1000.0;
    // A tiny nudge keeps 1.001 s from becoming 1000 ms through binary rounding.
    ms = ms >= 0 ? std::floor(ms + 1e-6) : std::ceil(ms - 1e-6);
    if (!(ms > -2147483648.0 && ms < 2147483647.0)) return 0;
    return (int)ms;
  }
  int h = 0, m = 0, s = 0, frac = 0, fracAt = -1;
  int n = swscanf(text, L"%d:%d:%d.%n", &h, &m, &s, &fracAt);
  if (n >= 1) {
    if (n < 3 || fracAt < 0 || swscanf(text + fracAt, L"%d", &frac) != 1) fracAt = -1;
    unsigned total = ((unsigned)h * 60u + (unsigned)m) * 60u + (unsigned)s;
    total = total * 1000u + (unsigned)(fracAt >= 0 ? FractionMs(text + fracAt) : 0);
    return (int)total;
  }
  m = s = 0;
  fracAt = -1;
  n = swscanf(text, L"%d:%d.%n", &m, &s, &fracAt);
  if (n < 1) return 0;
  if (n < 2 || fracAt < 0 || swscanf(text + fracAt, L"%d", &frac) != 1) fracAt = -1;
  unsigned total = ((unsigned)m * 60u + (unsigned)s) * 1000u + (unsigned)(fracAt >= 0 ? FractionMs(text + fracAt) : 0);
  return (int)total;
}

CString FormatSizeText(int a, int b, LPCTSTR format, int allowAuto) {
  if (allowAuto && (a == 0 || b == 0)) return L"Auto";
  CString text;
  text.Format(format, a, b);
  return text;
}

void ParseSizeText(LPCTSTR text, LPCTSTR format, int& a, int& b) {
  a = b = 0;
  if (text && format) swscanf(text, format, &a, &b);
}

void ParseNumberPair(const char* text, const char* format, int& a, int& b) {
  a = b = 0;
  if (text && format) sscanf(text, format, &a, &b);
}
