// A report-view list whose rows the control draws itself: alternating row
// shades, a blue selection bar with white text, a picture and caption in the
// first column, and a flat header drawn from an image strip.
#pragma once
#include "foundation/ui/ExtendedControls.h"

class CReportListCtrl : public CListCtrlEx {
  DECLARE_DYNAMIC(CReportListCtrl)
 public:
  CReportListCtrl();
  ~CReportListCtrl() override;
  void PreSubclassWindow() override;

  // Draws one row (state: LVIS_SELECTED, LVIS_FOCUSED) and one of its cells.
  virtual void DrawItem(CDC* pDC, int nItem, LPCRECT lpRect, UINT nState);
  virtual void DrawSubItem(CDC* pDC, int nItem, int nColumn, LPCRECT lpCell, BOOL bSelected);
  using CListCtrl::DrawItem;
  // Lays the header out again after its height (m_wndHeader.m_nHeight) changed.
  void RelayoutHeader();

  CFlatHeaderCtrl m_wndHeader;
  CImageList m_imlHeader;

 protected:
  afx_msg void OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult);
  DECLARE_MESSAGE_MAP()
};
