#include "tests/support/UiTestSupport.h"

#include <commctrl.h>
#include <dlgs.h>

#include "imaging/image/RasterImage.h"
#include "tests/TestPaths.h"
#include "afxwin.h"

COLORREF CWindowShot::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight) return CLR_INVALID;
  return m_pixels[(size_t)y * m_nWidth + x];
}

bool CWindowShot::SavePng(LPCTSTR name) const {
  if (IsEmpty()) return false;
  CRasterImage image;
  if (!image.Create(m_nWidth, m_nHeight, 24, RASTER_TYPE_PNG)) return false;
  for (int y = 0; y < m_nHeight; ++y) {
    BYTE* row = image.GetBits() + (size_t)(m_nHeight - 1 - y) * image.GetRowBytes();  // bottom-up
    for (int x = 0; x < m_nWidth; ++x) {
      COLORREF c = At(x, y);
      row[x * 3 + 0] = GetBValue(c);
      row[x * 3 + 1] = GetGValue(c);
      row[x * 3 + 2] = GetRValue(c);
    }
  }
  CString path = name;
  if (path.Find(L'\\') < 0 && path.Find(L'/') < 0) path = ScreenshotPath(name);
  return image.Save(path, RASTER_TYPE_PNG);
}

void MouseTo(int x, int y) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dx =
      (LONG)(((long long)x * 65535 + ::GetSystemMetrics(SM_CXSCREEN) / 2) / (::GetSystemMetrics(SM_CXSCREEN) - 1));
  in.mi.dy =
      (LONG)(((long long)y * 65535 + ::GetSystemMetrics(SM_CYSCREEN) / 2) / (::GetSystemMetrics(SM_CYSCREEN) - 1));
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ::SendInput(1, &in, sizeof(in));
  ::SetCursorPos(x, y);
}

void MouseButton(bool down) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  ::SendInput(1, &in, sizeof(in));
}

void ClickOn(HWND hwnd) {
  RECT r;
  ::GetWindowRect(hwnd, &r);
  MouseTo((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  ::Sleep(20);
  MouseButton(true);
  ::Sleep(20);
  MouseButton(false);
}

void TypeText(LPCTSTR text) {
  auto key = [](WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    ::SendInput(1, &in, sizeof(in));
  };
  for (; text && *text; ++text) {
    const SHORT scan = ::VkKeyScanW(*text);
    const bool shift = (scan >> 8) & 1;
    if (shift) key(VK_SHIFT, false);
    key(LOBYTE(scan), false);
    key(LOBYTE(scan), true);
    if (shift) key(VK_SHIFT, true);
    ::Sleep(20);
  }
}

CString ScreenshotPath(LPCTSTR name) {
  CString folder = BuildTreePath(L"screenshots");
  ::CreateDirectoryW(folder, nullptr);
  return folder + L"\\" + name;
}

namespace {
CWindowShot CaptureRect(HDC src, int x, int y, int w, int h) {
  CWindowShot shot;
  if (w <= 0 || h <= 0) return shot;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC mem = ::CreateCompatibleDC(src);
  HBITMAP bmp = ::CreateDIBSection(src, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!mem || !bmp) {
    if (bmp) ::DeleteObject(bmp);
    if (mem) ::DeleteDC(mem);
    return shot;
  }
  HGDIOBJ old = ::SelectObject(mem, bmp);
  ::BitBlt(mem, 0, 0, w, h, src, x, y, SRCCOPY);
  ::GdiFlush();
  shot.m_nWidth = w;
  shot.m_nHeight = h;
  shot.m_pixels.resize((size_t)w * h);
  const DWORD* p = static_cast<const DWORD*>(bits);
  for (size_t i = 0; i < shot.m_pixels.size(); ++i) {
    DWORD v = p[i];  // 0x00RRGGBB in a DIB
    shot.m_pixels[i] = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }
  ::SelectObject(mem, old);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  return shot;
}
}  // namespace

CWindowShot CaptureWindow(HWND hwnd, bool clientOnly) {
  ::UpdateWindow(hwnd);
  ::GdiFlush();
  RECT r;
  if (clientOnly) {
    ::GetClientRect(hwnd, &r);
  } else {
    ::GetWindowRect(hwnd, &r);
    ::OffsetRect(&r, -r.left, -r.top);
  }
  HDC dc = clientOnly ? ::GetDC(hwnd) : ::GetWindowDC(hwnd);
  CWindowShot shot = CaptureRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
  ::ReleaseDC(hwnd, dc);
  return shot;
}

CWindowShot CaptureScreen() {
  HDC dc = ::GetDC(nullptr);
  CWindowShot shot = CaptureRect(dc, 0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
  ::ReleaseDC(nullptr, dc);
  return shot;
}

void PumpPending() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
  DWORD start = ::GetTickCount();
  for (;;) {
    PumpPending();
    if (pred()) return true;
    if (::GetTickCount() - start > timeoutMs) return pred();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

CRect ScreenRect(HWND hwnd) {
  CRect r;
  ::GetWindowRect(hwnd, &r);
  return r;
}

CRect ClientScreenRect(HWND hwnd) {
  CRect r;
  ::GetClientRect(hwnd, &r);
  ::MapWindowPoints(hwnd, nullptr, (LPPOINT)&r, 2);
  return r;
}

bool PumpAppUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
  DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!AfxPreTranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    }
    if (pred()) return true;
    if (::GetTickCount() - start > timeoutMs) return pred();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void PumpApp() {
  PumpAppUntil([] { return false; }, 0);
}

bool ColorNear(COLORREF a, COLORREF b, int tolerance) {
  return abs((int)GetRValue(a) - (int)GetRValue(b)) <= tolerance &&
         abs((int)GetGValue(a) - (int)GetGValue(b)) <= tolerance &&
         abs((int)GetBValue(a) - (int)GetBValue(b)) <= tolerance;
}

CString WindowText(HWND hwnd) { return AfxGetWindowText(hwnd); }

HWND FileNameField(HWND dialog) {
  HWND field = ::GetDlgItem(dialog, cmb13);
  if (field) {
    if (HWND edit = ::FindWindowExW(field, nullptr, L"Edit", nullptr)) return edit;
    if (HWND ex = (HWND)::SendMessageW(field, CBEM_GETEDITCONTROL, 0, 0)) return ex;
    return field;
  }
  return ::GetDlgItem(dialog, edt1);
}

std::vector<CString> ComboTexts(HWND combo) {
  std::vector<CString> out;
  const int n = (int)::SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (int i = 0; i < n; ++i) {
    const int length = (int)::SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
    std::vector<wchar_t> buf(length > 0 ? length + 1 : 1, L'\0');
    ::SendMessageW(combo, CB_GETLBTEXT, i, (LPARAM)buf.data());
    out.push_back(buf.data());
  }
  return out;
}

std::vector<CString> FileTypeTexts(HWND dialog) { return ComboTexts(::GetDlgItem(dialog, cmb1)); }
