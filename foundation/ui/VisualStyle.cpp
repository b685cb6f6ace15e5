#include "VisualStyle.h"

namespace {
HMODULE g_hThemeLib = nullptr;
BOOL g_bLoadTried = FALSE;
CString g_strLibrary = L"UxTheme.dll";
PFNCLOSETHEMEDATA g_pfnCloseThemeData = nullptr;
PFNISTHEMEACTIVE g_pfnIsThemeActive = nullptr;
PFNISAPPTHEMED g_pfnIsAppThemed = nullptr;

HRESULT WINAPI ThemeProcFail(HTHEME) { return E_FAIL; }
BOOL WINAPI ThemeProcFalse() { return FALSE; }

// Binds one entry; a library without it behaves as if it were absent.
template <typename T>
T Bind(T& cache, LPCSTR name, T fallback) {
  if (!cache) {
    FARPROC p = GetThemeProc(name, reinterpret_cast<FARPROC>(fallback));
    cache = p ? reinterpret_cast<T>(p) : fallback;
  }
  return cache;
}
}  // namespace

FARPROC GetThemeProc(LPCSTR name, FARPROC fallback) {
  if (!g_hThemeLib && !g_bLoadTried) {
    g_bLoadTried = TRUE;
    g_hThemeLib = ::LoadLibraryW(g_strLibrary);
  }
  if (!g_hThemeLib) return fallback;
  return ::GetProcAddress(g_hThemeLib, name);
}

BOOL IsThemeActiveProc() { return Bind(g_pfnIsThemeActive, "IsThemeActive", &ThemeProcFalse)(); }
BOOL IsAppThemedProc() { return Bind(g_pfnIsAppThemed, "IsAppThemed", &ThemeProcFalse)(); }

void CThemeHandle::CloseThemeHandle() {
  if (!m_hTheme) return;
  Bind(g_pfnCloseThemeData, "CloseThemeData", &ThemeProcFail)(m_hTheme);
  m_hTheme = nullptr;
}

BOOL IsVisualStyleActive() {
  CThemeHandle holder;
  return IsThemeActiveProc() && IsAppThemedProc();
}

void ResetThemeBindingForTest(LPCWSTR libraryName) {
  if (g_hThemeLib) ::FreeLibrary(g_hThemeLib);
  g_hThemeLib = nullptr;
  g_bLoadTried = FALSE;
  g_strLibrary = libraryName ? libraryName : L"UxTheme.dll";
  g_pfnCloseThemeData = nullptr;
  g_pfnIsThemeActive = nullptr;
  g_pfnIsAppThemed = nullptr;
}
