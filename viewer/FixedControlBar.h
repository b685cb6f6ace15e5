// A control bar of fixed height (or width) along one side of its frame.
#pragma once
#include "afxwin.h"

class CFixedControlBar : public CControlBar {
  DECLARE_DYNAMIC(CFixedControlBar)
 public:
  // Keeps the control-bar bits of style and the rectangle's size, then creates the window.
  virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
  CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
  void OnUpdateCmdUI(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) override;

 protected:
  int m_cxFixed = 0;
  int m_cyFixed = 0;
};
