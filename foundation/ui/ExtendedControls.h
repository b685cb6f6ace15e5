// Extensions of the class library's tab, list and header controls that the
// owner-drawn controls build on, and the flat header drawn from an image strip.
#pragma once
#include "afxwin.h"

class CTabCtrlEx : public CTabCtrl {
  DECLARE_DYNAMIC(CTabCtrlEx)
 public:
  // The tab's text, empty when it cannot be read.
  CString GetItemText(int nIndex) const;
  // The tab's image index, -1 when it cannot be read.
  int GetItemImage(int nIndex) const;

 protected:
  DECLARE_MESSAGE_MAP()
};

class CListCtrlEx : public CListCtrl {
  DECLARE_DYNAMIC(CListCtrlEx)
 public:
  using CListCtrl::InsertColumn;
  // Each optional part is left out of the column's mask when it is NULL or -1.
  virtual int InsertColumn(int nCol, LPCTSTR lpszText, int nImage, int nFormat, int nWidth, int nSubItem);
  // TRUE selects and focuses every item; FALSE deselects every item.
  virtual void SelectAllItems(BOOL bSelect);
  // Shows (TRUE) or clears (FALSE) the check mark of every item.
  virtual void SetAllItemStates(BOOL bCheck);

  BOOL SetItemImage(int nItem, int nSubItem, int nImage);
  int GetItemImage(int nItem, int nSubItem) const;
  COLORREF GetTextColor() const { return (COLORREF)SendMessage(LVM_GETTEXTCOLOR); }
  // Selection walking (GetFirstSelectedItemPosition, GetNextSelectedItem)
  // comes from CListCtrl: positions are item index + 1, 0 for none.
  int GetFirstSelectedItem() const { return GetNextItem(-1, LVNI_SELECTED); }

 protected:
  DECLARE_MESSAGE_MAP()
};

// A header of a fixed height (the owner sets m_nHeight; 0 or less keeps the
// control's own height).
class CFixedHeaderCtrl : public CHeaderCtrl {
  DECLARE_DYNAMIC(CFixedHeaderCtrl)
 public:
  CFixedHeaderCtrl() : m_nHeight(-1) {}
  int m_nHeight;

 protected:
  afx_msg LRESULT OnLayout(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
};

// A header painted flat from a background image list: image 0 is the
// background strip, column 1 of image 1 the separator (both 4 x 24).
class CFlatHeaderCtrl : public CFixedHeaderCtrl {
  DECLARE_DYNAMIC(CFlatHeaderCtrl)
 public:
  CFlatHeaderCtrl();
  // The header's own image list (sort arrows), NULL when none.
  CImageList* GetHeaderImageList() const { return GetImageList(); }
  virtual void DrawBackground(CDC* pDC);
  virtual void DrawItem(int nIndex, CDC* pDC, LPCRECT lpRect);
  using CHeaderCtrl::DrawItem;

  BOOL m_bNoItems;
  BOOL m_bNoSeparators;
  COLORREF m_crText;
  CImageList* m_pBackImages;  // not owned

 protected:
  afx_msg void OnPaint();
  afx_msg BOOL OnEraseBkgnd(CDC* pDC);
  DECLARE_MESSAGE_MAP()
};
