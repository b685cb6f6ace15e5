// A dialog that serves as a program's main window: program icons, painting
// of the minimised icon, command updates of its menus and string-table tips.
#pragma once
#include "foundation/ui/OEDialog.h"
#include "resources/common/framedlgres.h"

class CFrameDlg : public CDialog {
  DECLARE_DYNAMIC(CFrameDlg)
 public:
  explicit CFrameDlg(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  ~CFrameDlg() override;

  BOOL PreTranslateMessage(MSG* pMsg) override;
  BOOL OnInitDialog() override;

  HICON m_hIcon = nullptr;       // large program icon
  HICON m_hSmallIcon = nullptr;  // 16 x 16 program icon
  BOOL m_bAutoMenuEnable = TRUE;
  CRelayToolTipCtrl m_wndToolTip;

 protected:
  afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
  afx_msg void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
  afx_msg void OnPaint();
  afx_msg HCURSOR OnQueryDragIcon();
  afx_msg BOOL OnToolTipText(UINT nID, NMHDR* pNMHDR, LRESULT* pResult);
  DECLARE_MESSAGE_MAP()
};
