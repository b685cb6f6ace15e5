// A single horizontal row of equally wide items that scrolls sideways: item
// records, selection, focus, hover, hit testing, mouse, wheel and keyboard,
// rubber-band selection and the drawing frame. Derived classes draw the items
// and say what they carry.
#pragma once
#include <functional>

#include "afxwin.h"

// Bits of an item's state; the other bits belong to the owner.
enum : int { STRIP_ITEM_SELECTED = 0x01, STRIP_ITEM_MARKED = 0x10 };

struct CStripItem {
  int m_nState = 0;
  DWORD_PTR m_dwData = 0;  // the owner's value, often a pointer
};

// The item records of a strip; records still in it are freed with it.
class CItemArray : public CArray<CStripItem*, CStripItem*> {
 public:
  ~CItemArray() override {
    for (CStripItem* p : m_a) delete p;
  }
};

class CItemStripCtrl : public CWnd {
  DECLARE_DYNAMIC(CItemStripCtrl)
 public:
  CItemStripCtrl();
  ~CItemStripCtrl() override;

  virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
  virtual DWORD_PTR GetItemData(int nIndex) const;
  virtual void GetItemBoxRect(LPCRECT lpItem, LPRECT lpBox);
  virtual void SetItemMark(int nIndex, BOOL bMark, BOOL bRedraw);
  virtual BOOL SelectItem(int nIndex, BOOL bSelect, BOOL bClearOthers, BOOL bRedraw);
  virtual BOOL SelectRange(int nFirst, int nLast, BOOL bSelect, BOOL bRedraw);
  virtual BOOL SetFocusItem(int nIndex, BOOL bRedraw);
  virtual BOOL SetHotItem(int nIndex, BOOL bRedraw);
  virtual BOOL SwapItems(int a, int b);
  virtual int AddItem(DWORD_PTR dwData, BOOL bUpdate);
  virtual int InsertItem(int nIndex, DWORD_PTR dwData, BOOL bUpdate);
  virtual BOOL DeleteItem(int nIndex, BOOL bUpdate);
  virtual BOOL DeleteAllItems(BOOL bUpdate);
  virtual void OnSelectionChanged() {}
  virtual void GetViewRect(LPRECT lpRect) const;
  virtual void SetFirstVisible(int nIndex);
  virtual void OnDraw(CDC* pDC);
  virtual void DrawBackground(CDC* pDC, LPCRECT lpRect);
  virtual void DrawItems(CDC* pDC, LPCRECT lpView);
  virtual void DrawItem(CDC* pDC, int nIndex, LPCRECT lpItem);
  virtual void DrawItemLabel(CDC* pDC, int nIndex, LPCRECT lpItem) {}
  // bDragImage: the box is being drawn into a drag image.
  virtual void DrawItemBox(CDC* pDC, int nIndex, LPCRECT lpBox, BOOL bDragImage) {}
  virtual CStripItem* NewItem() { return new CStripItem; }
  virtual void FreeItem(CStripItem* pItem) { delete pItem; }

  int GetItemCount() const { return (int)m_items.GetSize(); }
  int GetFocusItem() const { return m_nFocusItem; }
  int GetHotItem() const { return m_nHotItem; }
  // The first visible item: the position of the horizontal scroll bar.
  int GetFirstVisible() const;
  int GetSelectedCount() const;
  // The first selected index at or after nStart, -1 when none.
  int GetNextSelectedItem(int nStart) const;
  void SelectAll(BOOL bSelect, BOOL bRedraw);
  void InvertSelection();
  void UpdateScrollBar();
  BOOL GetItemRect(int nIndex, LPRECT lpRect) const;
  // The item whose rectangle (or, with bBox, whose box) holds the point, or -1.
  int HitTest(int x, int y, BOOL bBox);
  int GetItemState(int nIndex) const;
  BOOL SetItemState(int nIndex, int nClear, int nSet, BOOL bRedraw);
  void RedrawItem(int nIndex, BOOL bErase);
  void RedrawItems(int nFirst, int nLast, BOOL bUpdate);
  BOOL EnsureVisible(int nIndex);
  int GetTextWidth(CDC* pDC, LPCTSTR text);
  // Whole items in the view, -1 when the item width is below 1.
  int GetVisibleCount() const;
  void ReverseItems();

  COLORREF m_crBack;
  int m_bDoubleBuffer;
  CRect m_rcMargins;  // left, top, right, bottom
  int m_nItemWidth;
  CItemArray m_items;
  int m_nFocusItem;
  int m_nHotItem;
  CPoint m_ptPress;  // left button down on empty space, (-1, -1) when none

 protected:
  // The item rectangle of nIndex for a given view and first visible item.
  CRect ItemRectAt(int nIndex, const CRect& view, int nFirst) const;
  BOOL OnWindowThread() const;
  // Runs fn on the window's thread (the caller's thread waits for it);
  // resultIfGone when the window went away before it ran.
  LRESULT CallOnWindowThread(const std::function<LRESULT()>& fn, LRESULT resultIfGone);
  CWindowCalls m_calls;
  void MoveFocusTo(int nIndex, UINT nShiftCtrl);

  afx_msg void OnDestroy();
  afx_msg BOOL OnEraseBkgnd(CDC* pDC);
  afx_msg void OnSize(UINT nType, int cx, int cy);
  afx_msg void OnPaint();
  afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
  afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
  afx_msg void OnMouseMove(UINT nFlags, CPoint point);
  afx_msg void OnRButtonDown(UINT nFlags, CPoint point);
  afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
  afx_msg void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
  afx_msg BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
  afx_msg void OnMButtonDown(UINT nFlags, CPoint point);
  afx_msg UINT OnGetDlgCode();
  afx_msg void OnMouseLeave();
  DECLARE_MESSAGE_MAP()
  friend class CStripSelectTracker;
};

// The rubber band of a strip: selects the items it covers while it is dragged
// and scrolls the strip when the pointer leaves the row.
class CStripSelectTracker : public CRectTracker {
 public:
  explicit CStripSelectTracker(CItemStripCtrl* pStrip);
  void DrawTrackerRect(LPCRECT lpRect, CWnd* pWndClipTo, CDC* pDC, CWnd* pWnd) override;
  void OnChangedRect(const CRect& rectOld) override;

 protected:
  CItemStripCtrl* m_pStrip;
};
