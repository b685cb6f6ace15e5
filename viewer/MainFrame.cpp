#include "viewer/MainFrame.h"

#include <vector>

#include "viewer/PlayView.h"
#include "foundation/web/WebProgram.h"
#include "resources/viewer/ViewerRes.h"
#include "viewer/ViewerSettings.h"

IMPLEMENT_DYNCREATE(CMainFrame, COVMBFrameWnd)

const wchar_t kViewerVersion[] = L"1.11.0";

namespace {
PFN_VIEWER_UPDATE_CHECK g_pfnUpdateCheck = nullptr;

// The published settings; a frame made without them (tests) keeps its own defaults.
CViewerSettings& Settings() {
  static CViewerSettings fallback;
  CViewerSettings* settings = GetViewerSettings();
  return settings ? *settings : fallback;
}

// Screen and workspace (placement) coordinates differ by the work area's offset.
CPoint WorkspaceOffset(HWND hwnd) {
  MONITORINFO mi = {sizeof(mi)};
  ::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &mi);
  return CPoint(mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top);
}
}  // namespace

void SetViewerUpdateCheck(PFN_VIEWER_UPDATE_CHECK pfn) { g_pfnUpdateCheck = pfn; }

// ---------------------------------------------------------------------------
// Full screen.

CFullScreenHelper::CFullScreenHelper() {
  memset(&m_wpSaved, 0, sizeof(m_wpSaved));
  m_rcFullScreen.SetRectEmpty();
  m_rcInsets.SetRectEmpty();
}

void CFullScreenHelper::Toggle() {
  if (!m_pFrame || !m_pFrame->m_hWnd) return;
  ::LockWindowUpdate(m_pFrame->m_hWnd);
  if (m_nState != stateNormal) {
    m_nState = stateNormal;
    CRect maximized;
    if (m_wpSaved.showCmd == SW_SHOWMAXIMIZED) {
      m_pFrame->ShowWindow(SW_SHOWMAXIMIZED);
      m_pFrame->GetWindowRect(&maximized);
    }
    m_pFrame->SetWindowPlacement(&m_wpSaved);
    // Some systems move a window that is maximised already to the placement's
    // maximum position even when it names none: keep where maximising put it.
    CRect now;
    m_pFrame->GetWindowRect(&now);
    if (m_wpSaved.showCmd == SW_SHOWMAXIMIZED && m_pFrame->IsZoomed() && now != maximized)
      m_pFrame->SetWindowPos(nullptr, maximized.left, maximized.top, maximized.Width(), maximized.Height(),
                             SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    m_nState = stateEntering;
    m_pFrame->GetWindowPlacement(&m_wpSaved);
    CRect w, c;
    m_pFrame->GetWindowRect(&w);
    m_pFrame->GetClientRect(&c);
    m_pFrame->ClientToScreen(&c);
    // The client area covers the primary screen; hidden bars lie beyond it.
    CRect f(w.left - c.left, w.top - c.top, ::GetSystemMetrics(SM_CXSCREEN) + w.right - c.right,
            ::GetSystemMetrics(SM_CYSCREEN) + w.bottom - c.bottom);
    f.top -= m_rcInsets.top;
    f.bottom += m_rcInsets.bottom;
    f.InflateRect(2, 2);
    m_rcFullScreen = f;
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    wp.flags = 0;
    wp.showCmd = SW_SHOWNORMAL;
    wp.rcNormalPosition = f;
    ::OffsetRect(&wp.rcNormalPosition, -WorkspaceOffset(m_pFrame->m_hWnd).x, -WorkspaceOffset(m_pFrame->m_hWnd).y);
    m_pFrame->SetWindowPlacement(&wp);
    m_nState = stateFullScreen;
  }
  ::LockWindowUpdate(nullptr);
}

// ---------------------------------------------------------------------------
// CMainFrame.

BEGIN_MESSAGE_MAP(CMainFrame, COVMBFrameWnd)
  ON_WM_SYSCOMMAND()
  ON_WM_INITMENUPOPUP()
  ON_WM_CREATE()
  ON_WM_GETMINMAXINFO()
  ON_COMMAND(ID_VIEW_FULLSCREEN, OnFullScreen)
  ON_UPDATE_COMMAND_UI(ID_VIEW_FULLSCREEN, OnUpdateFullScreen)
  ON_WM_WINDOWPOSCHANGING()
  ON_WM_QUERYENDSESSION()
  ON_WM_SYSCOLORCHANGE()
  ON_WM_DESTROY()
  ON_MESSAGE(WM_AUTOCHECKUPDATE, OnAutoCheckUpdate)
END_MESSAGE_MAP()

CMainFrame::CMainFrame() {
  m_pMenuBar = &m_wndMenuBar;
  m_nMenuBarHeight = 22;
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs) {
  if (!COVMBFrameWnd::PreCreateWindow(cs)) return FALSE;
  cs.style &= ~FWS_ADDTOTITLE;  // the caption is the program's title alone
  cs.dwExStyle &= ~WS_EX_CLIENTEDGE;
  const CViewerSettings& s = Settings();
  if (s.m_nWindowLeft != -1 && s.m_nWindowTop != -1 && s.m_nWindowWidth > 0 && s.m_nWindowHeight > 0) {
    cs.x = s.m_nWindowLeft;
    cs.y = s.m_nWindowTop;
    cs.cx = s.m_nWindowWidth;
    cs.cy = s.m_nWindowHeight;
  }
  return TRUE;
}

int CMainFrame::OnCreate(LPCREATESTRUCT lpcs) {
  if (COVMBFrameWnd::OnCreate(lpcs) == -1) return -1;
  SetMenu(nullptr);
  const CViewerSettings& s = Settings();
  if (s.m_nWindowLeft == -1 || s.m_nWindowTop == -1) CenterWindow(nullptr);
  if (CMenu* sys = GetSystemMenu(FALSE)) {
    sys->InsertMenu(0, MF_BYPOSITION | MF_SEPARATOR);
    sys->InsertMenu(0, MF_BYPOSITION | MF_STRING, IDM_ALWAYSONTOP, L"Always On Top");
  }
  if (!m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, AFX_IDW_STATUS_BAR)) return -1;
  m_fullScreen.m_pFrame = this;
  if (s.m_bAlwaysOnTop) SetTopMost(TRUE);
  RecalcLayout();
  return 0;
}

BOOL CMainFrame::OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext) {
  if (!COVMBFrameWnd::OnCreateClient(lpcs, pContext)) return FALSE;
  SetPlayView(DYNAMIC_DOWNCAST(CPlayView, FromHandlePermanent(::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST))));
  return TRUE;
}

namespace {
struct OwnedAbove {
  HWND owner;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectOwnedAbove(HWND hwnd, LPARAM lParam) {
  auto* found = reinterpret_cast<OwnedAbove*>(lParam);
  if (hwnd == found->owner) return FALSE;  // the rest lie below the frame
  if (::GetWindow(hwnd, GW_OWNER) == found->owner) found->windows.push_back(hwnd);
  return TRUE;
}
}  // namespace

void CMainFrame::SetTopMost(BOOL bOn) {
  Settings().m_bAlwaysOnTop = bOn ? 1 : 0;
  SetWindowPos(bOn ? &wndTopMost : &wndNoTopMost, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  if (!bOn || (GetExStyle() & WS_EX_TOPMOST)) return;
  // Some systems place the frame just below its own top-most popups (the
  // hidden tooltips) without making it top-most: the popups let go of the
  // frame for the move and are given back to it afterwards.
  OwnedAbove found = {m_hWnd, {}};
  ::EnumWindows(CollectOwnedAbove, (LPARAM)&found);
  for (HWND popup : found.windows) ::SetWindowLongPtrW(popup, GWLP_HWNDPARENT, 0);
  SetWindowPos(&wndTopMost, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  for (HWND popup : found.windows) ::SetWindowLongPtrW(popup, GWLP_HWNDPARENT, (LONG_PTR)m_hWnd);
}

void CMainFrame::OnSysCommand(UINT nID, LPARAM lParam) {
  if ((nID & 0xFFF0) == IDM_ALWAYSONTOP) {  // the system keeps the low four bits
    SetTopMost(!Settings().m_bAlwaysOnTop);
    return;
  }
  COVMBFrameWnd::OnSysCommand(nID, lParam);
}

void CMainFrame::OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu) {
  COVMBFrameWnd::OnInitMenuPopup(pPopupMenu, nIndex, bSysMenu);
  if (bSysMenu && pPopupMenu)
    pPopupMenu->CheckMenuItem(IDM_ALWAYSONTOP, MF_BYCOMMAND | (Settings().m_bAlwaysOnTop ? MF_CHECKED : MF_UNCHECKED));
}

void CMainFrame::OnFullScreen() {
  if (Settings().m_bAlwaysShowControlBar) {
    m_fullScreen.m_rcInsets.top = m_fullScreen.m_rcInsets.bottom = 0;
  } else {
    CRect client, view;
    GetClientRect(&client);
    ClientToScreen(&client);
    ::GetWindowRect(::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST), &view);
    m_fullScreen.m_rcInsets.top = view.top - client.top;
    m_fullScreen.m_rcInsets.bottom = client.bottom - view.bottom;
  }
  m_fullScreen.Toggle();
}

void CMainFrame::OnUpdateFullScreen(CCmdUI* pCmdUI) { pCmdUI->SetCheck(IsFullScreen()); }

BOOL CMainFrame::PreTranslateMessage(MSG* pMsg) {
  // Esc leaves full screen before it can reach the Exit accelerator.
  if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_ESCAPE && IsFullScreen()) {
    OnFullScreen();
    return TRUE;
  }
  return COVMBFrameWnd::PreTranslateMessage(pMsg);
}

void CMainFrame::OnGetMinMaxInfo(MINMAXINFO* lpMMI) {
  Default();
  if (IsFullScreen()) {
    // The full-screen window is larger than the screen.
    lpMMI->ptMaxSize.x = lpMMI->ptMaxTrackSize.x = m_fullScreen.m_rcFullScreen.Width();
    lpMMI->ptMaxSize.y = lpMMI->ptMaxTrackSize.y = m_fullScreen.m_rcFullScreen.Height();
  }
}

void CMainFrame::OnWindowPosChanging(WINDOWPOS* lpwndpos) {
  Default();
  if (m_fullScreen.m_nState == CFullScreenHelper::stateFullScreen) lpwndpos->flags |= SWP_NOMOVE;
}

BOOL CMainFrame::OnQueryEndSession() {
  if (!COVMBFrameWnd::OnQueryEndSession()) return FALSE;
  Settings().Save();
  return TRUE;
}

void CMainFrame::OnSysColorChange() {
  Default();
  SendMessageToDescendants(WM_SYSCOLORCHANGE, 0, 0, TRUE, TRUE);
}

void CMainFrame::OnDestroy() {
  if (!IsFullScreen()) {
    CViewerSettings& s = Settings();
    WINDOWPLACEMENT wp = {};
    GetWindowPlacement(&wp);
    if (GetStyle() & WS_MAXIMIZE) {
      s.m_bWindowMaximized = 1;
    } else if (IsIconic() && (wp.flags & WPF_RESTORETOMAXIMIZED)) {
      s.m_bWindowMaximized = 1;
    } else {
      // A minimised window's rectangle is its icon's; the normal placement is
      // where it comes back, so that is what is kept.
      CRect r;
      if (IsIconic()) {
        r = wp.rcNormalPosition;
        CPoint offset = WorkspaceOffset(m_hWnd);
        r.OffsetRect(offset.x, offset.y);
      } else {
        GetWindowRect(&r);
      }
      s.m_bWindowMaximized = 0;
      s.m_nWindowLeft = r.left;
      s.m_nWindowTop = r.top;
      s.m_nWindowWidth = r.Width();
      s.m_nWindowHeight = r.Height();
    }
  }
  CFrameWnd::OnDestroy();
}

LRESULT CMainFrame::OnAutoCheckUpdate(WPARAM wParam, LPARAM lParam) {
  if (wParam == 0 && g_pfnUpdateCheck)
    g_pfnUpdateCheck(this, GetUpdateInfoUrl(), kViewerVersion, Settings().m_nCheckInterval, lParam != 0);
  return 0;
}

void CMainFrame::OnDropPaths(const CStringArray& paths) {
  if (CPlayView* view = GetPlayView()) view->OpenPaths(paths);
}
