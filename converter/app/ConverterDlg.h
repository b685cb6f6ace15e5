// The converter's main window: a dialog used as a frame, with the "Main Menu"
// drop-down button, flat tabs over the two conversion pages, Always On Top in
// the system menu, moving by dragging anywhere and sizing from the corner,
// and a close that waits for running work to stop.
#pragma once
#include "converter/pages/ConvertPage.h"
#include "foundation/ui/FlatTabCtrl.h"
#include "foundation/ui/FrameDlg.h"
#include "converter/pages/SeriesToVideoPage.h"
#include "converter/pages/VideoToDicomPage.h"
#include "afxbar.h"

// Posted to the main window to run the automatic update check (wParam 0;
// lParam 1 = silent).
#ifndef WM_AUTOCHECKUPDATE
#define WM_AUTOCHECKUPDATE (WM_USER + 300)
#endif

// The system menu's "Always On Top" command.
#define IDM_ALWAYS_ON_TOP 16

class CConverterDlg : public CFrameDlg {
 public:
  explicit CConverterDlg(CWnd* pParent = nullptr);
  // Writes the always-on-top choice back into the settings.
  ~CConverterDlg() override;

  // 0 the series-to-video page, 1 the video-to-DICOM page; others do nothing.
  void ShowPage(int nIndex);
  void RecalcLayout();
  void ApplyAlwaysOnTop();
  // Whether a conversion or the series loader runs on either page.
  BOOL IsWorkRunning() const;

  // The tab shown at start: the saved page, clamped to the pages there are.
  static int ClampPage(int nPage);
  // The corner square that starts a resize, in client coordinates.
  static BOOL IsInSizeGrip(const CRect& rcClient, CPoint point);

  static const int kPageCount = 2;
  static const int kMinTrackWidth = 480;
  static const int kMinTrackHeight = 320;
  static const int kGripSize = 12;

  CToolBar m_wndToolBar;
  CSeriesToVideoPage m_pageSeries;
  CVideoToDicomPage m_pageVideo;
  CImageList m_tabImages;
  int m_nBandHeight = 26;
  int m_bAlwaysOnTop = 0;
  CFlatTabCtrl m_wndTabs;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override {}
  // Escape and IDCANCEL close as the title bar's Close does.
  void OnCancel() override;

  afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
  afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
  afx_msg void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
  afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
  afx_msg void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
  afx_msg BOOL OnEraseBkgnd(CDC* pDC);
  afx_msg void OnDestroy();
  afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
  afx_msg void OnParentNotify(UINT message, LPARAM lParam);
  afx_msg void OnSize(UINT nType, int cx, int cy);
  afx_msg void OnClose();
  afx_msg BOOL OnQueryEndSession();
  afx_msg void OnSysColorChange();
  afx_msg void OnTabChanged(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg LRESULT OnKickIdle(WPARAM wParam, LPARAM lParam);
  afx_msg void OnToolbarDropDown(UINT nID, NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnMainMenu();
  afx_msg LRESULT OnAutoCheckUpdate(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

  // Drops the main menu down below the toolbar button.
  void TrackMainMenu();
  // A press on the window's own surface at a client point: the bottom-right
  // corner sizes the window, anywhere else moves it.
  void StartMoveOrSize(CPoint point);
  // Asks running work to stop and close the window afterwards; FALSE when
  // nothing runs and the window may close now.
  BOOL StopWorkBeforeClosing();
  CSize m_sizeToolBar = CSize(0, 0);  // measured once
};
