// The viewer's only top-level window: drawn menu bar, view, dark status bar,
// remembered placement, Always On Top, full screen and the update check.
#pragma once
#include "viewer/OVMBFrameWnd.h"
#include "viewer/ViewerStatusBar.h"

// Posted to the frame: wParam 0, lParam 1 for the silent automatic check.
#define WM_AUTOCHECKUPDATE (WM_USER + 300)

// The version this program is.
extern const wchar_t kViewerVersion[];

// The update check the frame runs for WM_AUTOCHECKUPDATE, with the address of
// the update information (GetUpdateInfoUrl); the application sets it (the
// update check's CheckForUpdates). None is run while no function is set.
typedef void (*PFN_VIEWER_UPDATE_CHECK)(CWnd* pOwner, LPCTSTR lpszUrl, LPCTSTR lpszVersion, int nIntervalDays,
                                        BOOL bSilent);
void SetViewerUpdateCheck(PFN_VIEWER_UPDATE_CHECK pfn);

// Switches a frame to full screen and back, keeping its placement.
class CFullScreenHelper {
 public:
  enum { stateNormal = 0, stateEntering = 1, stateFullScreen = 2 };
  CFullScreenHelper();
  virtual ~CFullScreenHelper() {}
  virtual void Toggle();

  CWnd* m_pFrame = nullptr;
  int m_nState = stateNormal;
  WINDOWPLACEMENT m_wpSaved;
  CRect m_rcFullScreen;  // the frame's window rectangle in full screen (screen coordinates)
  CRect m_rcInsets;      // top: what lies above the view; bottom: what lies below
};

class CMainFrame : public COVMBFrameWnd {
  DECLARE_DYNCREATE(CMainFrame)
 public:
  CMainFrame();

  void SetTopMost(BOOL bOn);
  BOOL IsFullScreen() const { return m_fullScreen.m_nState != CFullScreenHelper::stateNormal; }

  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  BOOL PreTranslateMessage(MSG* pMsg) override;

  CFullScreenHelper m_fullScreen;
  CFrameMenuBar m_wndMenuBar;
  CViewerStatusBar m_wndStatusBar;

 protected:
  BOOL OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext) override;
  // Dropped files and folders go to the view, which opens them together.
  void OnDropPaths(const CStringArray& paths) override;

  afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
  afx_msg void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
  afx_msg int OnCreate(LPCREATESTRUCT lpcs);
  afx_msg void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
  afx_msg void OnFullScreen();
  afx_msg void OnUpdateFullScreen(CCmdUI* pCmdUI);
  afx_msg void OnWindowPosChanging(WINDOWPOS* lpwndpos);
  afx_msg BOOL OnQueryEndSession();
  afx_msg void OnSysColorChange();
  afx_msg void OnDestroy();
  afx_msg LRESULT OnAutoCheckUpdate(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
};
