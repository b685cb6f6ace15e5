// A stand-in for the visual-styles library. The full one has the three
// entries the programs bind (answers settable, calls counted); built with
// THEME_STUB_PARTIAL it has only IsThemeActive.
#include <windows.h>

namespace {
BOOL g_active = TRUE;
BOOL g_appThemed = TRUE;
LONG g_calls[3] = {0, 0, 0};  // IsThemeActive, IsAppThemed, CloseThemeData
}  // namespace

extern "C" {
__declspec(dllexport) BOOL WINAPI IsThemeActive() {
  ++g_calls[0];
  return g_active;
}

#ifndef THEME_STUB_PARTIAL
__declspec(dllexport) BOOL WINAPI IsAppThemed() {
  ++g_calls[1];
  return g_appThemed;
}

__declspec(dllexport) HRESULT WINAPI CloseThemeData(HANDLE) {
  ++g_calls[2];
  return S_OK;
}
#endif

__declspec(dllexport) void StubSetAnswers(BOOL active, BOOL appThemed) {
  g_active = active;
  g_appThemed = appThemed;
}

__declspec(dllexport) LONG StubCalls(int which) { return which >= 0 && which < 3 ? g_calls[which] : -1; }
}
