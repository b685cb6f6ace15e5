// Window-test helpers of the web dialogs: finding a dialog another thread
// shows, reading its controls, and counting the text pixels of a control.
#pragma once
#include <functional>

#include "tests/support/UiTestSupport.h"
#include "afxwin.h"

// A visible dialog of this process for which pred is true, or null.
HWND FindProcessDialog(const std::function<bool(HWND)>& pred);
// Waits (pumping this thread's messages) for such a dialog.
HWND WaitForDialog(const std::function<bool(HWND)>& pred, DWORD timeoutMs = 20000);
CString ItemText(HWND dialog, int id);
// The control's rectangle in its parent's client coordinates.
CRect ChildRect(HWND child);
// The columns of the control's rectangle in a shot of its parent's client
// area that hold a pixel near the colour: first and last, relative to the
// control's left edge, and how many pixels matched. -1 when there are none.
struct CColorSpan {
  int first = -1;
  int last = -1;
  int count = 0;
  int widestRow = 0;  // longest run of matching pixels in one row
};
CColorSpan FindColor(const CWindowShot& shot, const CRect& rect, COLORREF color, int tolerance = 60);
