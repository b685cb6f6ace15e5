// Dialog bases with relayed tooltips and menu command updates: COEDialog for
// the conversion pages, and what it shares with the frame dialog.
#pragma once
#include "afxwin.h"

// A tooltip that also shows tips for disabled controls: mouse moves are
// relayed as if they had reached the control under the cursor.
class CRelayToolTipCtrl : public CToolTipCtrl {
  DECLARE_DYNAMIC(CRelayToolTipCtrl)
 public:
  // Acts on WM_MOUSEMOVE only.
  void RelayEvent(LPMSG pMsg);

 protected:
  // The system's search skips disabled windows; this one finds them too, for
  // the relay and for the tooltip's own check whether the mouse left a tool.
  afx_msg LRESULT OnWindowFromPoint(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
};

class COEDialog : public CDialog {
  DECLARE_DYNAMIC(COEDialog)
 public:
  explicit COEDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  ~COEDialog() override;

  BOOL PreTranslateMessage(MSG* pMsg) override;

  // Menu items without a command or update handler are disabled when set.
  BOOL m_bAutoMenuEnable = TRUE;
  // Tools are added by the derived dialog; their texts come from the string
  // table by control or command id ("status\ntip").
  CRelayToolTipCtrl m_wndToolTip;

 protected:
  void DoDataExchange(CDataExchange* pDX) override {}
  afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
  afx_msg void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
  afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
  afx_msg BOOL OnToolTipText(UINT nID, NMHDR* pNMHDR, LRESULT* pResult);
  DECLARE_MESSAGE_MAP()
};

// Creates a dialog's tooltip: always shown, multi-line at its own line breaks.
BOOL CreateDialogToolTip(CWnd* pDialog, CToolTipCtrl& toolTip, DWORD dwStyle);
// Answers TTN_NEEDTEXTA/W from the string table: the part after the first
// newline of the string whose id is the tool's (or its window's) id.
// FALSE when there is no such string.
BOOL LoadToolTipText(NMHDR* pNMHDR, LRESULT* pResult);
// The frame window's command update of a popup menu, applied to a dialog;
// called after the default handling of WM_INITMENUPOPUP.
void UpdateDialogMenuPopup(CWnd* pDialog, CMenu* pPopupMenu, BOOL bSysMenu, BOOL bAutoMenuEnable);
