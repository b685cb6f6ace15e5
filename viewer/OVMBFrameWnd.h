// A frame whose menu is drawn by a bar at its top: the window menu is taken
// away at creation, and the menu messages of the popups reach the bar.
#pragma once
#include "viewer/MenuBar.h"

class COVMBFrameWnd : public CFrameWnd {
  DECLARE_DYNAMIC(COVMBFrameWnd)
 public:
  COVMBFrameWnd() {}

  CMenuBar* m_pMenuBar = nullptr;  // provided by the derived frame
  int m_nMenuBarHeight = 21;

 protected:
  afx_msg int OnCreate(LPCREATESTRUCT lpcs);
  afx_msg LRESULT OnMenuChar(UINT nChar, UINT nFlags, CMenu* pMenu);
  afx_msg void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
  afx_msg LRESULT OnUninitMenuPopup(WPARAM wParam, LPARAM lParam);
  afx_msg void OnMenuSelect(UINT nItemID, UINT nFlags, HMENU hSysMenu);
  afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
};
