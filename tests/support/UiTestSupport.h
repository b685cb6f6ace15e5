// Helpers for window tests under Wine and Xvfb: screenshots with pixel access,
// PNG files in the build folder, waiting for a condition while pumping messages,
// and reading windows and file dialogs.
#pragma once
#include <windows.h>

#include <functional>
#include <vector>

#include "afxwin.h"

class CWindowShot {
 public:
  int m_nWidth = 0;
  int m_nHeight = 0;
  std::vector<COLORREF> m_pixels;  // top-down rows, 0x00BBGGRR

  bool IsEmpty() const { return m_pixels.empty(); }
  COLORREF At(int x, int y) const;
  // Writes a PNG file; a relative name goes to "<build>/screenshots/".
  bool SavePng(LPCTSTR name) const;
};

// The window's client area (or whole window) as it is on screen now. The
// window is brought up to date first (UpdateWindow).
CWindowShot CaptureWindow(HWND hwnd, bool clientOnly = true);
// The whole screen, popup menus included.
CWindowShot CaptureScreen();

// Full path of a file in the build folder's "screenshots" folder (created on demand).
CString ScreenshotPath(LPCTSTR name);

// Pumps this thread's messages until pred() is true or timeoutMs passes;
// returns pred()'s last answer. The time limit is only a guard for a test
// that would otherwise hang; tests wait for the condition itself.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 10000);
// Pumps what is waiting now (and what it posts) without blocking.
void PumpPending();
// As PumpUntil and PumpPending, each message first offered to the class
// library's pre-translation (accelerators, dialog keys) as a program's loop does.
bool PumpAppUntil(const std::function<bool()>& pred, DWORD timeoutMs = 10000);
void PumpApp();

// Real input, as a user gives it (SendInput): the cursor moves there first,
// then the button; a click in the middle of a window; keys typed one by one.
void MouseTo(int x, int y);
void MouseButton(bool down);
void ClickOn(HWND hwnd);
void TypeText(LPCTSTR text);

// A window's text.
CString WindowText(HWND hwnd);

// The file name field of an open or save dialog: the edit inside the combo
// box of the newer dialog, or the older dialog's edit.
HWND FileNameField(HWND dialog);
// The texts of a combo box's list, in order.
std::vector<CString> ComboTexts(HWND combo);
// The texts of an open or save dialog's file type list, in order.
std::vector<CString> FileTypeTexts(HWND dialog);

// A window's rectangle and its client area's, in screen coordinates.
CRect ScreenRect(HWND hwnd);
CRect ClientScreenRect(HWND hwnd);

// A 24-bit memory picture, white at first, to draw into and read back.
struct MemoryPicture {
  CDC dc;
  CBitmap bitmap;
  CBitmap* old = nullptr;
  MemoryPicture(int w, int h) {
    CClientDC screen(nullptr);
    dc.CreateCompatibleDC(&screen);
    bitmap.CreateCompatibleBitmap(&screen, w, h);
    old = dc.SelectObject(&bitmap);
    dc.FillSolidRect(0, 0, w, h, RGB(255, 255, 255));
  }
  ~MemoryPicture() { dc.SelectObject(old); }
};

// True when the two colours differ by at most tolerance in every channel.
bool ColorNear(COLORREF a, COLORREF b, int tolerance = 0);
