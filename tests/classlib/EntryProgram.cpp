// A program in the class library's usual shape: one global application
// object; the library's entry runs it. Its exit code tells the test what it saw.
#include <objbase.h>

#include "afxwin.h"

namespace {
class CChildCounter : public CWnd {
 public:
  int idleUpdates = 0;

 protected:
  afx_msg LRESULT OnIdleUpdate(WPARAM, LPARAM) {
    ++idleUpdates;
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CChildCounter, CWnd)
  ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdate)
END_MESSAGE_MAP()

class CMainWindow : public CWnd {
 public:
  CChildCounter m_child;

 protected:
  void PostNcDestroy() override { delete this; }
  afx_msg int OnCreate(LPCREATESTRUCT cs) {
    if (CWnd::OnCreate(cs) == -1) return -1;
    m_child.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), this, 1);
    SetTimer(1, 50, nullptr);
    return 0;
  }
  afx_msg void OnTimer(UINT_PTR);
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CMainWindow, CWnd)
  ON_WM_CREATE()
  ON_WM_TIMER()
END_MESSAGE_MAP()

int g_idleUpdates = 0;

void CMainWindow::OnTimer(UINT_PTR) {
  // Idle time comes when the queue runs dry, which a busy machine can delay.
  static int ticks = 0;
  if (m_child.idleUpdates == 0 && ++ticks < 200) return;
  KillTimer(1);
  g_idleUpdates = m_child.idleUpdates;
  PostMessage(WM_CLOSE);  // destroying the main window ends the program's loop
}

class CEntryApp : public CWinApp {
 public:
  CEntryApp() : CWinApp(L"ClasslibEntry") {}
  int problems = 0;

  BOOL InitInstance() override {
    if (AfxGetApp() != this || AfxGetThread() != this) problems |= 1;
    if (AfxGetInstanceHandle() != ::GetModuleHandleW(nullptr)) problems |= 2;
    // The user-interface thread already has COM (a second start answers S_FALSE).
    HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (hr != S_FALSE) problems |= 4;
    if (SUCCEEDED(hr)) ::CoUninitialize();
    if (lstrcmpW(m_lpCmdLine, L"run --fast") != 0) problems |= 8;
    CMainWindow* main = new CMainWindow;
    if (!main->CreateEx(0, nullptr, L"entry", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr))
      return FALSE;
    m_pMainWnd = main;
    return TRUE;
  }
  int ExitInstance() override {
    if (g_idleUpdates == 0) problems |= 16;
    if (m_pMainWnd) problems |= 32;  // cleared when the main window went away
    CWinApp::ExitInstance();
    return 100 + problems;
  }
};

CEntryApp theApp;
}  // namespace
