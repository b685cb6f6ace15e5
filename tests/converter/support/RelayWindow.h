// A message-only window on the calling thread that hands the encoder's
// progress records (WM_COPYDATA) to the tool's relay, as a page does.
#pragma once
#include <windows.h>

#include "converter/tools/EncoderTool.h"

inline LRESULT CALLBACK EncoderRelayProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    const COPYDATASTRUCT* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    LRESULT result = 0;
    if (CEncoderTool::RelayCopyData(cds->dwData, cds->cbData, cds->lpData, result)) return result;
  }
  return ::DefWindowProcW(wnd, msg, wp, lp);
}

// The caller destroys the window.
inline HWND MakeRelayWindow() {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = EncoderRelayProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"EncoderRelayWindow";
  ::RegisterClassW(&wc);  // fails harmlessly once registered
  return ::CreateWindowW(L"EncoderRelayWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}
