// The main frame's status bar, drawn entirely in the viewer's dark colours:
// the message pane, the frame pane ("3 / 40") and the file-name pane.
#pragma once
#include "afxwin.h"

class CViewerStatusBar : public CStatusBar {
  DECLARE_DYNAMIC(CViewerStatusBar)
 public:
  // Tooltips are on: every pane's tip is its text.
  BOOL Create(CWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, UINT nID = AFX_IDW_STATUS_BAR);
  // nIndex may carry SBT_ type bits in its high byte; SBT_NOBORDERS is always added.
  // Nothing happens before the window exists. Returns the tip message's result.
  int SetPaneText(int nIndex, LPCTSTR lpszText);

  static const COLORREF kBackground = RGB(0x30, 0x30, 0x30);
  static const COLORREF kText = RGB(0xC0, 0xC0, 0xC0);
  static const COLORREF kSeparator = RGB(0x40, 0x40, 0x40);

  CImageList m_imageList;  // the size grip

 protected:
  afx_msg int OnCreate(LPCREATESTRUCT lpcs);
  afx_msg BOOL OnEraseBkgnd(CDC* pDC);
  afx_msg void OnPaint();
  afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
  DECLARE_MESSAGE_MAP()
};
