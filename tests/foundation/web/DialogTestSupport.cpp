#include "tests/foundation/web/DialogTestSupport.h"

#include <cstdlib>

namespace {
struct CSearch {
  const std::function<bool(HWND)>* pred;
  HWND found;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM param) {
  CSearch* search = reinterpret_cast<CSearch*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd)) return TRUE;
  wchar_t cls[16] = {0};
  ::GetClassNameW(hwnd, cls, 16);
  if (wcscmp(cls, L"#32770") != 0) return TRUE;
  if ((*search->pred)(hwnd)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND FindProcessDialog(const std::function<bool(HWND)>& pred) {
  CSearch search = {&pred, nullptr};
  ::EnumWindows(Visit, (LPARAM)&search);
  return search.found;
}

HWND WaitForDialog(const std::function<bool(HWND)>& pred, DWORD timeoutMs) {
  HWND found = nullptr;
  PumpUntil([&] { return (found = FindProcessDialog(pred)) != nullptr; }, timeoutMs);
  return found;
}

CString ItemText(HWND dialog, int id) { return WindowText(::GetDlgItem(dialog, id)); }

CRect ChildRect(HWND child) {
  CRect r;
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, ::GetParent(child), (LPPOINT)&r, 2);
  return r;
}

CColorSpan FindColor(const CWindowShot& shot, const CRect& rect, COLORREF color, int tolerance) {
  CColorSpan span;
  for (int y = rect.top; y < rect.bottom; ++y) {
    int run = 0;
    for (int x = rect.left; x < rect.right; ++x) {
      if (ColorNear(shot.At(x, y), color, tolerance)) {
        const int col = x - rect.left;
        if (span.first < 0 || col < span.first) span.first = col;
        if (col > span.last) span.last = col;
        ++span.count;
        if (++run > span.widestRow) span.widestRow = run;
      } else {
        run = 0;
      }
    }
  }
  return span;
}
