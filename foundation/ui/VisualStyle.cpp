#include "foundation/ui/VisualStyle.h"

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
    // Function pointers pass through a plain one so no call type is implied.
    typedef void (*PlainProc)();
    FARPROC p = GetThemeProc(name, reinterpret_cast<FARPROC>(reinterpret_cast<PlainProc>(fallback)));
    cache = p ? reinterpret_cast<T>(reinterpret_cast<PlainProc>(p)) : fallback;
  }
  return cache;
}
}  // namespace

// A bare file name is loaded from the system folder only, so a file of that
// name planted beside the program (or in the current folder) is never used.
static HMODULE LoadThemeLibrary(const CString& name) {
  if (name.FindOneOf(L"\\/:") >= 0) return ::LoadLibraryW(name);
  WCHAR system[MAX_PATH] = {0};
  UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  CString path = system;
  path += L'\\';
  path += name;
  return ::LoadLibraryW(path);
}

FARPROC GetThemeProc(LPCSTR name, FARPROC fallback) {
  if (!g_hThemeLib && !g_bLoadTried) {
    g_bLoadTried = TRUE;
    g_hThemeLib = LoadThemeLibrary(g_strLibrary);
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
