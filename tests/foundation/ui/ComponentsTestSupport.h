// Shared pieces of the window-component tests: common controls initialised
// once per program, a plain top-level host window, and screenshots.
#pragma once
#include <gtest/gtest.h>

#include "tests/support/UiTestSupport.h"
#include "afxwin.h"

// A borderless top-level window that hosts the controls under test; the
// class library routes notifications and owner-draw messages through it.
class CHostWnd : public CWnd {
 public:
  BOOL CreateAt(int x, int y, int cx, int cy) {
    return CreateEx(0, nullptr, L"host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x, y, cx, cy, nullptr, nullptr);
  }
  ~CHostWnd() override {
    if (m_hWnd) DestroyWindow();
  }
};

// Saves the window's client area as a PNG in the build folder's screenshots.
inline CWindowShot SaveShot(HWND hwnd, LPCTSTR name) {
  PumpPending();
  CWindowShot shot = CaptureWindow(hwnd);
  EXPECT_FALSE(shot.IsEmpty());
  EXPECT_TRUE(shot.SavePng(name)) << "screenshot " << CStringA(name).GetString();
  return shot;
}

// Pixels of a colour inside a rectangle of the shot.
inline int CountColor(const CWindowShot& shot, const RECT& r, COLORREF c, int tolerance = 0) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (ColorNear(shot.At(x, y), c, tolerance)) ++n;
  return n;
}

inline std::string Hex(COLORREF c) {
  char b[16];
  snprintf(b, sizeof(b), "0x%06lX", (unsigned long)c);
  return b;
}
