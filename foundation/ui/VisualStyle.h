// The visual-styles library, bound at run time so the programs start without it.
#pragma once
#include "afxwin.h"
#include <uxtheme.h>

typedef HRESULT(WINAPI* PFNCLOSETHEMEDATA)(HTHEME);
typedef BOOL(WINAPI* PFNISTHEMEACTIVE)();
typedef BOOL(WINAPI* PFNISAPPTHEMED)();

// Loads "UxTheme.dll" on the first call only; while it is not loaded the fallback is returned.
FARPROC GetThemeProc(LPCSTR name, FARPROC fallback);
BOOL IsThemeActiveProc();
BOOL IsAppThemedProc();
// TRUE when visual styles are on for this program.
BOOL IsVisualStyleActive();

// Owns one theme handle; closing an empty holder calls nothing.
class CThemeHandle {
 public:
  CThemeHandle() {}
  explicit CThemeHandle(HTHEME h) : m_hTheme(h) {}
  ~CThemeHandle() { CloseThemeHandle(); }
  CThemeHandle(const CThemeHandle&) = delete;
  CThemeHandle& operator=(const CThemeHandle&) = delete;
  void CloseThemeHandle();
  HTHEME m_hTheme = nullptr;
};

// Test seam: forget the binding so the next call loads the library named here
// (null restores "UxTheme.dll").
void ResetThemeBindingForTest(LPCWSTR libraryName);
