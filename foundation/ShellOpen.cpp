#include "foundation/ShellOpen.h"

#include <mutex>

#include "afxwin.h"

namespace {
std::mutex g_lock;
ShellOpenHandler g_handler;
}  // namespace

void ShellOpen(LPCTSTR verb, LPCTSTR target) {
  ShellOpenHandler handler;
  {
    std::lock_guard<std::mutex> l(g_lock);
    handler = g_handler;
  }
  if (handler) {
    handler(verb ? verb : L"", target ? target : L"");
    return;
  }
  ::ShellExecuteW(nullptr, verb, target, nullptr, nullptr, SW_SHOWNORMAL);
}

void SetShellOpenHandler(ShellOpenHandler handler) {
  std::lock_guard<std::mutex> l(g_lock);
  g_handler = std::move(handler);
}
