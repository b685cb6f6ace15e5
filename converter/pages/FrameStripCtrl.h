// The series page's frames shown as an item strip of thumbnails with a number
// label, a caption below and a delete button on the item under the mouse.
// The frames are a list the page owns; every change of the strip's items
// (adds, deletes, drags, reversal) is made to the list too.
#pragma once
#include "foundation/ui/DragItemStripCtrl.h"
#include "converter/jobs/FrameItem.h"

#include <list>
#include <unordered_map>

// Sent to the parent page when an item's button is clicked: wParam the
// button's command, lParam the item index.
#define WM_FRAMESTRIP_BUTTON (WM_USER + 9)

class CFrameStripCtrl : public CDragItemStripCtrl {
  DECLARE_DYNAMIC(CFrameStripCtrl)
 public:
  enum { kMaxThumbnail = 240, kCaptionHeight = 20, kButtonSize = 20 };

  CFrameStripCtrl();

  // The box size for pictures of w x h: at most 240 on the longer side; the
  // item width follows the box (box width + 16).
  void SetThumbnailSize(int w, int h);
  // The list the strip shows; without one it keeps a list of its own.
  void ShowFrames(CFrameList* frames) { m_pFrames = frames ? frames : &m_ownFrames; }
  CFrameItem* GetFrame(int index) const { return reinterpret_cast<CFrameItem*>(GetItemData(index)); }
  // Appends (position -1) or inserts a frame, scrolls it into view and
  // redraws. The index used, or -1.
  int PutFrame(std::shared_ptr<CFrameItem> item, int position);
  BOOL DeleteItem(int nIndex, BOOL bUpdate) override;
  BOOL DeleteAllItems(BOOL bUpdate) override;
  BOOL SwapItems(int a, int b) override;
  void ReverseItems();
  // While locked (a job reads the frames) no drag moves an item.
  void Lock(BOOL locked) { m_bLocked = locked; }
  BOOL IsLocked() const { return m_bLocked; }
  // The caption drawn under an item: the file's name, with " (n)" for a
  // picture n of a multi-picture file.
  static CString MakeCaption(const CFrameItem& item);

  void GetItemBoxRect(LPCRECT lpItem, LPRECT lpBox) override;
  void OnSelectionChanged() override {}
  void DrawBackground(CDC* pDC, LPCRECT lpRect) override;
  void DrawItemLabel(CDC* pDC, int nIndex, LPCRECT lpItem) override;
  void DrawItemBox(CDC* pDC, int nIndex, LPCRECT lpBox, BOOL bDragImage) override;
  void FreeItem(CStripItem* pItem) override;
  void OnItemButton(int nItem, int nButton) override;
  int HitTestItemButton(int nItem, int x, int y) override;
  BOOL MoveItem(int nFrom, int nTo) override;

  int m_nThumbWidth = kMaxThumbnail;
  int m_nThumbHeight = kMaxThumbnail;
  int m_bShowCaptions = 1;
  CImageList m_imgButtons;  // 32 x 32, picture 0 the delete button
  CImageList m_imgLabels;   // 4 x 14: left end, middle, right end of the number label

 protected:
  afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
  afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
  afx_msg void OnLButtonDblClk(UINT nFlags, CPoint point);
  afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
  DECLARE_MESSAGE_MAP()

  BOOL m_bLocked = FALSE;
  CFrameList m_ownFrames;
  CFrameList* m_pFrames = &m_ownFrames;

  // Pictures already scaled to the box, for the items drawn last: painting
  // (once per frame while a job runs) then only copies them.
  enum { kThumbnailCacheSize = 96 };
  struct CThumbnail {
    HBITMAP hBitmap = nullptr;
    std::list<const CFrameItem*>::iterator age;
  };
  std::unordered_map<const CFrameItem*, CThumbnail> m_thumbnails;
  std::list<const CFrameItem*> m_thumbnailAges;  // most recently drawn first
  HBITMAP GetThumbnail(CDC* pDC, CFrameItem* item);
  void ForgetThumbnail(const CFrameItem* item);
  void ForgetThumbnails();

 public:
  ~CFrameStripCtrl() override;
};
