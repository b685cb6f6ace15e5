// Version texts of the programs, and the version of the system.
#pragma once
#include "afx.h"

// "major.minor.build"; "x" stands for -1. Returns 0, or -1 with out untouched.
int ParseVersion(LPCTSTR text, int& major, int& minor, int& build);
// 1 when a is newer than b, 0 when equal, -1 when older.
int CompareVersions(LPCTSTR a, LPCTSTR b);

#ifdef _WIN32
class COSVersionInfo {
 public:
  COSVersionInfo();
  int Query();
  int m_bValid;
  OSVERSIONINFOEXW m_info;
};
#endif
