// An item strip whose items the user drags to another place in the row (an
// image of the item follows the pointer, a red line marks the drop place, the
// row scrolls at its ends), and whose items may carry small buttons.
#pragma once
#include "foundation/ui/ItemStripCtrl.h"

class CDragItemStripCtrl : public CItemStripCtrl {
  DECLARE_DYNAMIC(CDragItemStripCtrl)
 public:
  CDragItemStripCtrl();

  // Moves the record at nFrom so that it stands before the record that was at
  // nTo (nTo may be the count: to the end). TRUE when something moved.
  virtual BOOL MoveItem(int nFrom, int nTo);
  // A button of an item was pressed and released on it.
  virtual void OnItemButton(int nItem, int nButton) {}
  // The id of the item's button under the point, or -1.
  virtual int HitTestItemButton(int nItem, int x, int y) { return -1; }
  void DrawItem(CDC* pDC, int nIndex, LPCRECT lpItem) override;

  int m_nPressItem;      // item pressed with the left button (arms a drag), -1 when none
  int m_nDragItem;       // item being dragged (not drawn meanwhile), -1 when none
  CPoint m_ptItemPress;  // where that press happened
  int m_nButtonItem;     // item whose button the left button went down on, -1 when none
  int m_nButtonId;       // that button

 protected:
  afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
  afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
  afx_msg void OnMouseMove(UINT nFlags, CPoint point);
  afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
  DECLARE_MESSAGE_MAP()
};

// Runs one drag: holds the capture and its own message loop until the button
// is released (or Escape, the right button or a loss of capture ends it).
class CStripDragTracker {
 public:
  explicit CStripDragTracker(CDragItemStripCtrl* pStrip);
  virtual ~CStripDragTracker();
  CStripDragTracker(const CStripDragTracker&) = delete;
  CStripDragTracker& operator=(const CStripDragTracker&) = delete;

  // 0 when no drag began or nothing moved, -1 when no drag image could be
  // made; the results of the three steps are as below.
  virtual int BeginDrag(CDC* pDC, int x, int y);
  virtual int DragMove(CDC* pDC, int x, int y);
  // 0 when the item moved, 1 when the drag ended without a move, -1 when none began.
  virtual int EndDrag(CDC* pDC);

  // Drags nItem pressed at (x, y); 1 when the item was moved, else 0.
  int Track(int nItem, int x, int y);
  CImageList* CreateDragImage(CDC* pDC, int nItem);
  int InsertIndexFromPoint(int x, int y);
  void SetInsertMark(CDC* pDC, int nIndex);
  void DrawInsertMark(CDC* pDC, int nIndex, BOOL bErase);
  // The rectangle of the insertion mark before nIndex (empty when none).
  CRect GetInsertMarkRect(int nIndex) const;

  CDragItemStripCtrl* m_pStrip;
  CPoint m_ptStart;
  CPoint m_ptEnd;
  int m_nInsertMark;
  CImageList* m_pDragImage;

 protected:
  int m_nItem;  // the item this drag is for
};
