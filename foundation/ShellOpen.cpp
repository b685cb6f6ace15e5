#include "foundation/ShellOpen.h"

#include <mutex>

#include "afxwin.h"

namespace {
std::mutex g_lock;
ShellLaunchHandler g_handler;
}  // namespace

void ShellLaunch(HWND owner, LPCTSTR verb, LPCTSTR file, LPCTSTR params, int show) {
  ShellLaunchHandler handler;
  {
    std::lock_guard<std::mutex> l(g_lock);
    handler = g_handler;
  }
  if (handler) {
    handler(verb, file ? file : L"", params, show);
    return;
  }
  ::ShellExecuteW(owner, verb, file, params, nullptr, show);
}

void ShellOpen(LPCTSTR verb, LPCTSTR target) { ShellLaunch(nullptr, verb, target, nullptr, SW_SHOWNORMAL); }

int OpenMailTo(LPCTSTR address, LPCTSTR subject, LPCTSTR body) {
  CString url;
  if (body)
    url.Format(L"mailto:%s?subject=%s&body=%s", address, subject, body);
  else
    url.Format(L"mailto:%s?subject=%s", address, subject);
  ShellOpen(L"Open", url);
  return 0;
}

void SetShellLaunchHandler(ShellLaunchHandler handler) {
  std::lock_guard<std::mutex> l(g_lock);
  g_handler = std::move(handler);
}
