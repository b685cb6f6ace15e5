#include "foundation/ui/DragItemStripCtrl.h"

#include "foundation/ui/UIResources.h"

IMPLEMENT_DYNAMIC(CDragItemStripCtrl, CItemStripCtrl)

BEGIN_MESSAGE_MAP(CDragItemStripCtrl, CItemStripCtrl)
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
  ON_WM_MOUSEMOVE()
  ON_WM_SETCURSOR()
END_MESSAGE_MAP()

namespace {
const COLORREF kTransparent = RGB(255, 0, 255);
const COLORREF kInsertMark = RGB(255, 0, 0);
}  // namespace

CDragItemStripCtrl::CDragItemStripCtrl()
    : m_nPressItem(-1), m_nDragItem(-1), m_ptItemPress(-1, -1), m_nButtonItem(-1), m_nButtonId(-1) {}

BOOL CDragItemStripCtrl::MoveItem(int nFrom, int nTo) {
  if (!OnWindowThread()) return (BOOL)CallOnWindowThread([=] { return (LRESULT)MoveItem(nFrom, nTo); }, FALSE);
  const int count = GetItemCount();
  if (nFrom < 0 || nFrom >= count || nTo < 0 || nTo > count) return FALSE;
  if (nTo == nFrom || nTo == nFrom + 1) return FALSE;
  CStripItem* p = m_items[nFrom];
  m_items.InsertAt(nTo, p);
  m_items.RemoveAt(nTo < nFrom ? nFrom + 1 : nFrom);
  if (::IsWindow(m_hWnd)) Invalidate(TRUE);
  return TRUE;
}

void CDragItemStripCtrl::DrawItem(CDC* pDC, int nIndex, LPCRECT lpItem) {
  if (nIndex == m_nDragItem) return;
  CItemStripCtrl::DrawItem(pDC, nIndex, lpItem);
}

void CDragItemStripCtrl::OnLButtonDown(UINT nFlags, CPoint point) {
  m_nButtonItem = m_nButtonId = -1;
  m_nPressItem = -1;
  const int hot = m_nHotItem;
  if (hot >= 0) {
    const int button = HitTestItemButton(hot, point.x, point.y);
    if (button != -1) {
      // A button: no selection, no focus, no drag; it fires on release.
      m_nButtonItem = hot;
      m_nButtonId = button;
      return;
    }
  }
  m_nPressItem = hot;
  m_ptItemPress = hot >= 0 ? point : CPoint(-1, -1);
  CItemStripCtrl::OnLButtonDown(nFlags, point);
}

void CDragItemStripCtrl::OnMouseMove(UINT nFlags, CPoint point) {
  // Only while the button is still down: a release outside the window leaves
  // a press behind that must not start a drag on a later plain move.
  if (m_nPressItem >= 0 && (nFlags & MK_LBUTTON)) {
    CStripDragTracker tracker(this);
    tracker.Track(m_nPressItem, m_ptItemPress.x, m_ptItemPress.y);
  }
  m_nPressItem = -1;
  m_ptItemPress = CPoint(-1, -1);
  CItemStripCtrl::OnMouseMove(nFlags, point);
}

void CDragItemStripCtrl::OnLButtonUp(UINT nFlags, CPoint point) {
  m_nPressItem = -1;
  m_ptItemPress = CPoint(-1, -1);
  const int pressedItem = m_nButtonItem, pressedButton = m_nButtonId;
  m_nButtonItem = m_nButtonId = -1;
  const int hot = m_nHotItem;
  // Fires only when pressed and released on the same button of the same item.
  if (hot >= 0 && hot == pressedItem && HitTestItemButton(hot, point.x, point.y) == pressedButton) {
    OnItemButton(hot, pressedButton);
    OnMouseMove(nFlags, point);
  }
  CItemStripCtrl::OnLButtonUp(nFlags, point);
}

BOOL CDragItemStripCtrl::OnSetCursor(CWnd*, UINT nHitTest, UINT) {
  if (nHitTest == HTCLIENT && m_nHotItem >= 0) {
    CPoint pt;
    ::GetCursorPos(&pt);
    ScreenToClient(&pt);
    if (HitTestItemButton(m_nHotItem, pt.x, pt.y) != -1) {
      ::SetCursor(GetSharedHandCursor());
      return TRUE;
    }
  }
  return (BOOL)Default();
}

// ---------------------------------------------------------------------------
// The drag.

CStripDragTracker::CStripDragTracker(CDragItemStripCtrl* pStrip)
    : m_pStrip(pStrip), m_ptStart(-1, -1), m_ptEnd(-1, -1), m_nInsertMark(-1), m_pDragImage(nullptr), m_nItem(-1) {}

CStripDragTracker::~CStripDragTracker() {
  if (m_pDragImage) {
    ImageList_EndDrag();
    delete m_pDragImage;
  }
}

int CStripDragTracker::Track(int nItem, int x, int y) {
  if (!m_pStrip || !::IsWindow(m_pStrip->m_hWnd) || ::GetCapture()) return 0;
  const HWND hStrip = m_pStrip->m_hWnd;
  AfxLockTempMaps();
  m_pStrip->SetCapture();
  m_pStrip->UpdateWindow();
  m_ptStart = m_ptEnd = CPoint(x, y);
  m_nItem = nItem;
  CDC* pDC = m_pStrip->GetDC();
  for (;;) {
    MSG msg;
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // The program is ending: the loop that called us must see the quit too.
      ::PostQuitMessage((int)msg.wParam);
      break;
    }
    if (got == -1 || ::GetCapture() != hStrip) break;
    if (msg.message == WM_KEYDOWN) {
      if (msg.wParam == VK_ESCAPE) break;
      continue;
    }
    if (msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONUP || msg.message == WM_RBUTTONDOWN) {
      CPoint pt((int)(short)LOWORD(msg.lParam), (int)(short)HIWORD(msg.lParam));
      if (msg.hwnd != hStrip) ::MapWindowPoints(msg.hwnd, hStrip, &pt, 1);
      if (msg.message == WM_RBUTTONDOWN) break;  // cancelled
      if (msg.message == WM_LBUTTONUP) {
        m_ptEnd = pt;
        break;
      }
      if (pt == m_ptStart) continue;
      m_pStrip->m_nDragItem = nItem;
      if (!m_pDragImage && BeginDrag(pDC, m_ptStart.x, m_ptStart.y) != 0) break;
      DragMove(pDC, pt.x, pt.y);
      continue;
    }
    ::DispatchMessageW(&msg);
  }
  if (::GetCapture() == hStrip) ::ReleaseCapture();
  const int result = EndDrag(pDC);
  m_pStrip->ReleaseDC(pDC);
  AfxUnlockTempMaps(FALSE);
  return result == 0 ? 1 : 0;
}

CImageList* CStripDragTracker::CreateDragImage(CDC* pDC, int nItem) {
  CRect item, box;
  if (!m_pStrip->GetItemRect(nItem, &item)) return nullptr;
  m_pStrip->GetItemBoxRect(&item, &box);
  const int w = box.Width(), h = box.Height();
  if (w <= 0 || h <= 0) return nullptr;
  CDC mem;
  if (!mem.CreateCompatibleDC(pDC)) return nullptr;
  CBitmap bitmap;
  if (!bitmap.CreateCompatibleBitmap(pDC, w, h)) return nullptr;
  CBitmap* old = mem.SelectObject(&bitmap);
  // What the box leaves undrawn stays transparent.
  mem.FillSolidRect(0, 0, w, h, kTransparent);
  CRect local(0, 0, w, h);
  m_pStrip->DrawItemBox(&mem, nItem, &local, TRUE);
  mem.SelectObject(old);
  CImageList* list = new CImageList;
  if (!list->Create(w, h, ILC_MASK | ILC_COLOR24, 0, 1) || list->Add(&bitmap, kTransparent) < 0) {
    delete list;
    return nullptr;
  }
  return list;
}

int CStripDragTracker::BeginDrag(CDC* pDC, int x, int y) {
  const int item = m_pStrip->m_nDragItem;
  m_pDragImage = CreateDragImage(pDC, item);
  if (!m_pDragImage) return -1;
  CRect r, box;
  m_pStrip->GetItemRect(item, &r);
  m_pStrip->InvalidateRect(&r, FALSE);  // the row shows a gap where the item was
  m_pStrip->UpdateWindow();
  m_pStrip->GetItemBoxRect(&r, &box);
  m_pDragImage->BeginDrag(0, CPoint(x - box.left, y - box.top));
  CPoint screen(x, y);
  m_pStrip->ClientToScreen(&screen);
  ImageList_DragEnter(nullptr, screen.x, screen.y);
  return 0;
}

int CStripDragTracker::DragMove(CDC* pDC, int x, int y) {
  CPoint screen(x, y);
  m_pStrip->ClientToScreen(&screen);
  ImageList_DragMove(screen.x, screen.y);
  CRect view;
  m_pStrip->GetViewRect(&view);
  const int index = view.PtInRect(CPoint(x, y)) ? InsertIndexFromPoint(x, y) : -1;
  if (index == -1) {
    // Outside the row: one item further per move, towards the pointer.
    const int first = m_pStrip->GetFirstVisible();
    const int count = m_pStrip->GetItemCount();
    int next = first;
    if (x >= view.right + 4 && first < count - m_pStrip->GetVisibleCount())
      next = first + 1;
    else if (x <= view.left - 4 && first > 0)
      next = first - 1;
    if (next != first) {
      ImageList_DragLeave(nullptr);
      m_pStrip->SetFirstVisible(next);
      m_pStrip->UpdateWindow();
      ImageList_DragEnter(nullptr, screen.x, screen.y);
    }
    if (m_nInsertMark == -1) return 0;
  }
  if (index == m_nInsertMark) return 0;
  ImageList_DragLeave(nullptr);
  SetInsertMark(pDC, index);
  ImageList_DragEnter(nullptr, screen.x, screen.y);
  return 0;
}

int CStripDragTracker::InsertIndexFromPoint(int x, int y) {
  if (m_pStrip->GetItemCount() == 0) return -1;
  const int index = m_pStrip->HitTest(x, y, FALSE);
  if (index < 0) return -1;
  CRect r;
  m_pStrip->GetItemRect(index, &r);
  return r.left + m_pStrip->m_nItemWidth / 2 < x ? index + 1 : index;
}

void CStripDragTracker::SetInsertMark(CDC* pDC, int nIndex) {
  if (nIndex == m_nInsertMark) return;
  // No mark where a drop would move nothing: at the dragged item or after it.
  const int dragged = m_pStrip->m_nDragItem;
  auto shown = [dragged](int i) { return i >= 0 && i != dragged && i != dragged + 1; };
  if (shown(m_nInsertMark)) DrawInsertMark(pDC, m_nInsertMark, TRUE);
  if (shown(nIndex)) DrawInsertMark(pDC, nIndex, FALSE);
  m_nInsertMark = nIndex;
}

CRect CStripDragTracker::GetInsertMarkRect(int nIndex) const {
  const int count = m_pStrip->GetItemCount();
  CRect r;
  if (nIndex < 0 || nIndex > count || count == 0) return r;
  if (nIndex == count) {
    m_pStrip->GetItemRect(count - 1, &r);
    r.left = r.right - 1;
  } else {
    m_pStrip->GetItemRect(nIndex, &r);
    if (nIndex == 0) {
      r.right = r.left + 1;
    } else {
      r.right = r.left + 1;
      r.left -= 1;
    }
  }
  return r;
}

void CStripDragTracker::DrawInsertMark(CDC* pDC, int nIndex, BOOL bErase) {
  CRect r = GetInsertMarkRect(nIndex);
  if (r.IsRectEmpty()) return;
  if (bErase) {
    m_pStrip->InvalidateRect(&r, FALSE);
    m_pStrip->UpdateWindow();
  } else {
    pDC->FillSolidRect(&r, kInsertMark);
  }
}

int CStripDragTracker::EndDrag(CDC* pDC) {
  if (!m_pDragImage) {
    // No image was made (or no move happened): the item shows again.
    if (m_pStrip->m_nDragItem >= 0) {
      const int item = m_pStrip->m_nDragItem;
      m_pStrip->m_nDragItem = -1;
      m_pStrip->RedrawItem(item, TRUE);
    }
    return -1;
  }
  ImageList_DragLeave(nullptr);
  ImageList_EndDrag();
  delete m_pDragImage;
  m_pDragImage = nullptr;
  SetInsertMark(pDC, -1);
  const int dragged = m_pStrip->m_nDragItem;
  m_pStrip->m_nDragItem = -1;
  if (m_ptEnd != m_ptStart) {
    const int index = InsertIndexFromPoint(m_ptEnd.x, m_ptEnd.y);
    // Reported only when the record really moved.
    if (index != -1 && m_pStrip->MoveItem(dragged, index)) return 0;
  }
  m_pStrip->RedrawItem(dragged, TRUE);
  return 1;
}
