// A tab bar painted flat: plain background with a thin bottom line, the
// selected tab a light panel open towards the page, captions in two halves
// around a small picture ("Source\tTarget").
#pragma once
#include "foundation/ui/ExtendedControls.h"

class CFlatTabCtrl : public CTabCtrlEx {
  DECLARE_DYNAMIC(CFlatTabCtrl)
 public:
  CFlatTabCtrl();
  virtual void DrawTabs(CDC* pDC);
  virtual void DrawBackground(CDC* pDC, LPCRECT lpRect);
  virtual void DrawTab(CDC* pDC, int nIndex, BOOL bSelected, BOOL bFocus);
  virtual void DrawSelectedFrame(CDC* pDC, LPCRECT lpRect, BOOL bSelected, BOOL bFocus);
  using CTabCtrl::DrawItem;

  COLORREF m_crBack;
  COLORREF m_crLine;

 protected:
  afx_msg void OnPaint();
  afx_msg BOOL OnEraseBkgnd(CDC* pDC);
  afx_msg void OnEnable(BOOL bEnable);
  DECLARE_MESSAGE_MAP()
};
