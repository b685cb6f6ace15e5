#include "foundation/Versions.h"

#include <cwchar>

namespace {
// The leading decimal number of a text, as the C runtime's _wtoi reads it.
int LeadingInt(const CString& s) { return (int)wcstol(s, nullptr, 10); }
}  // namespace

int ParseVersion(LPCTSTR text, int& major, int& minor, int& build) {
  CString s = text ? text : L"";
  s.Trim();
  s.Remove(L' ');
  CString parts[3];
  for (int i = 0; i < 3; ++i)
    if (!AfxExtractSubString(parts[i], s, i, L'.')) return -1;
  int v[3];
  for (int i = 0; i < 3; ++i) v[i] = parts[i] == L"x" ? -1 : LeadingInt(parts[i]);
  major = v[0];
  minor = v[1];
  build = v[2];
  return 0;
}

namespace {
// A version of fewer than three parts ("2.0") counts the missing ones as 0.
void ParseVersionForCompare(LPCTSTR text, int v[3]) {
  CString s = text ? text : L"";
  int dots = 0;
  for (int i = 0; i < s.GetLength(); ++i)
    if (s[i] == L'.') ++dots;
  for (; dots < 2; ++dots) s += L".0";
  ParseVersion(s, v[0], v[1], v[2]);
}
}  // namespace

int CompareVersions(LPCTSTR a, LPCTSTR b) {
  int va[3] = {0, 0, 0}, vb[3] = {0, 0, 0};
  ParseVersionForCompare(a, va);
  ParseVersionForCompare(b, vb);
  for (int i = 0; i < 3; ++i) {
    if (va[i] > vb[i]) return 1;
    if (va[i] < vb[i]) return -1;
  }
  return 0;
}

#ifdef _WIN32
COSVersionInfo::COSVersionInfo() : m_bValid(0) { ZeroMemory(&m_info, sizeof(m_info)); }

int COSVersionInfo::Query() {
  ZeroMemory(&m_info, sizeof(m_info));
  m_info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  if (!GetVersionExW((OSVERSIONINFOW*)&m_info)) return 1;
  m_bValid = 1;
  if (m_info.dwPlatformId == VER_PLATFORM_WIN32_NT && m_info.dwMajorVersion >= 5) {
    ZeroMemory(&m_info, sizeof(m_info));
    m_info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    GetVersionExW((OSVERSIONINFOW*)&m_info);
  }
  return 1;
}
#endif
