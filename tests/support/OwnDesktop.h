// Window tests that open popup menus or depend on focus and capture run on a
// desktop of their own: other test programs then cannot take the foreground
// (which closes popup menus) or move the mouse capture. Call before the
// thread creates any window, e.g. from a static initialiser.
#pragma once
#include <windows.h>

#include <cwchar>

// TRUE when the calling thread now runs on its own desktop, with the desktop
// window made (so its start-up activates nothing later).
inline BOOL UseOwnDesktop() {
  wchar_t name[64];
  swprintf(name, 64, L"rs-test-%lu", ::GetCurrentProcessId());
  HDESK desk = ::CreateDesktopW(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (!desk || !::SetThreadDesktop(desk)) return FALSE;
  return ::GetDesktopWindow() != nullptr;
}
