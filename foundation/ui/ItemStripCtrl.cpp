#include "foundation/ui/ItemStripCtrl.h"

#include <algorithm>
#include <climits>

#include "foundation/ui/BufferedDC.h"

IMPLEMENT_DYNAMIC(CItemStripCtrl, CWnd)

namespace {
int ClampToInt(LONGLONG v) { return (int)std::max<LONGLONG>(INT_MIN / 2, std::min<LONGLONG>(INT_MAX / 2, v)); }
}  // namespace

BEGIN_MESSAGE_MAP(CItemStripCtrl, CWnd)
  ON_WM_DESTROY()
  ON_WM_ERASEBKGND()
  ON_WM_SIZE()
  ON_WM_PAINT()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
  ON_WM_MOUSEMOVE()
  ON_WM_RBUTTONDOWN()
  ON_WM_KEYDOWN()
  ON_WM_HSCROLL()
  ON_WM_MOUSEWHEEL()
  ON_WM_MBUTTONDOWN()
  ON_WM_GETDLGCODE()
  ON_WM_MOUSELEAVE()
END_MESSAGE_MAP()

CItemStripCtrl::CItemStripCtrl()
    : m_crBack(::GetSysColor(COLOR_WINDOW)),
      m_bDoubleBuffer(1),
      m_rcMargins(0, 0, 0, 0),
      m_nItemWidth(64),
      m_nFocusItem(-1),
      m_nHotItem(-1),
      m_ptPress(-1, -1),
      m_calls(this) {
  m_pWindowCalls = &m_calls;
}

CItemStripCtrl::~CItemStripCtrl() {
  DeleteAllItems(FALSE);
  m_pWindowCalls = nullptr;
}

BOOL CItemStripCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  return CWnd::Create(nullptr, nullptr, dwStyle, rect, pParentWnd, nID);
}

// ---------------------------------------------------------------------------
// Threads. The window and its records belong to the window's thread; a worker
// that adds or changes items has the work done there (it waits meanwhile), so
// the array never changes while the window's thread paints or hit-tests. A
// thread that waits for such a worker must keep pumping messages.

BOOL CItemStripCtrl::OnWindowThread() const { return !::IsWindow(m_hWnd) || m_calls.IsWindowThread(); }

LRESULT CItemStripCtrl::CallOnWindowThread(const std::function<LRESULT()>& fn, LRESULT resultIfGone) {
  LRESULT result = resultIfGone;
  if (!m_calls.Send([&] { result = fn(); })) return resultIfGone;
  return result;
}

// ---------------------------------------------------------------------------
// Items and state.

DWORD_PTR CItemStripCtrl::GetItemData(int nIndex) const {
  if (nIndex < 0 || nIndex >= GetItemCount()) return 0;
  return m_items[nIndex]->m_dwData;
}

void CItemStripCtrl::GetItemBoxRect(LPCRECT lpItem, LPRECT lpBox) { *lpBox = *lpItem; }

int CItemStripCtrl::AddItem(DWORD_PTR dwData, BOOL bUpdate) {
  if (!OnWindowThread()) return (int)CallOnWindowThread([=] { return (LRESULT)AddItem(dwData, bUpdate); }, -1);
  CStripItem* p = NewItem();
  p->m_dwData = dwData;
  int index = (int)m_items.Add(p);
  if (bUpdate) UpdateScrollBar();
  return index;
}

int CItemStripCtrl::InsertItem(int nIndex, DWORD_PTR dwData, BOOL bUpdate) {
  if (!OnWindowThread())
    return (int)CallOnWindowThread([=] { return (LRESULT)InsertItem(nIndex, dwData, bUpdate); }, -1);
  nIndex = std::max(0, std::min(nIndex, GetItemCount()));
  CStripItem* p = NewItem();
  p->m_dwData = dwData;
  m_items.InsertAt(nIndex, p);
  if (bUpdate) UpdateScrollBar();
  return nIndex;
}

BOOL CItemStripCtrl::DeleteItem(int nIndex, BOOL bUpdate) {
  if (!OnWindowThread()) return (BOOL)CallOnWindowThread([=] { return (LRESULT)DeleteItem(nIndex, bUpdate); }, FALSE);
  if (nIndex < 0 || nIndex >= GetItemCount()) return FALSE;
  if (m_nFocusItem == nIndex) m_nFocusItem = -1;
  if (m_nHotItem == nIndex) m_nHotItem = -1;
  CStripItem* p = m_items[nIndex];
  m_items.RemoveAt(nIndex);
  FreeItem(p);
  if (bUpdate) UpdateScrollBar();
  return TRUE;
}

BOOL CItemStripCtrl::DeleteAllItems(BOOL bUpdate) {
  if (!OnWindowThread()) return (BOOL)CallOnWindowThread([=] { return (LRESULT)DeleteAllItems(bUpdate); }, FALSE);
  m_nFocusItem = m_nHotItem = -1;
  CItemArray old;
  for (INT_PTR i = 0; i < m_items.GetSize(); ++i) old.Add(m_items[i]);
  m_items.RemoveAll();
  if (bUpdate) UpdateScrollBar();
  for (INT_PTR i = 0; i < old.GetSize(); ++i) {
    CStripItem* p = old[i];
    old[i] = nullptr;  // not freed twice by the array's destructor
    FreeItem(p);
  }
  return TRUE;
}

int CItemStripCtrl::GetItemState(int nIndex) const {
  if (nIndex < 0 || nIndex >= GetItemCount()) return 0;
  return m_items[nIndex]->m_nState;
}

BOOL CItemStripCtrl::SetItemState(int nIndex, int nClear, int nSet, BOOL bRedraw) {
  if (!OnWindowThread())
    return (BOOL)CallOnWindowThread([=] { return (LRESULT)SetItemState(nIndex, nClear, nSet, bRedraw); }, FALSE);
  if (nIndex < 0 || nIndex >= GetItemCount()) return FALSE;
  CStripItem* p = m_items[nIndex];
  p->m_nState = nSet | (p->m_nState & ~nClear);
  if (bRedraw) RedrawItem(nIndex, FALSE);
  if ((nClear | nSet) & STRIP_ITEM_SELECTED) OnSelectionChanged();
  return TRUE;
}

void CItemStripCtrl::SetItemMark(int nIndex, BOOL bMark, BOOL bRedraw) {
  if (nIndex < 0 || nIndex >= GetItemCount()) return;
  CStripItem* p = m_items[nIndex];
  if (bMark)
    p->m_nState |= STRIP_ITEM_MARKED;
  else
    p->m_nState &= ~STRIP_ITEM_MARKED;
  if (bRedraw) RedrawItem(nIndex, FALSE);
}

BOOL CItemStripCtrl::SelectItem(int nIndex, BOOL bSelect, BOOL bClearOthers, BOOL bRedraw) {
  if (!OnWindowThread())
    return (BOOL)CallOnWindowThread([=] { return (LRESULT)SelectItem(nIndex, bSelect, bClearOthers, bRedraw); }, FALSE);
  if (bClearOthers) SelectAll(FALSE, bRedraw);
  if (nIndex < 0 || nIndex >= GetItemCount()) return bSelect ? FALSE : TRUE;
  const BOOL selected = (m_items[nIndex]->m_nState & STRIP_ITEM_SELECTED) != 0;
  if (selected == (bSelect != FALSE)) return TRUE;
  SetItemState(nIndex, STRIP_ITEM_SELECTED, bSelect ? STRIP_ITEM_SELECTED : 0, bRedraw);
  return TRUE;
}

BOOL CItemStripCtrl::SelectRange(int nFirst, int nLast, BOOL bSelect, BOOL bRedraw) {
  SelectAll(FALSE, bRedraw);
  if (bSelect) {
    nLast = std::min(nLast, GetItemCount() - 1);
    for (int i = std::max(nFirst, 0); i <= nLast; ++i) SelectItem(i, TRUE, FALSE, bRedraw);
  }
  return TRUE;
}

void CItemStripCtrl::SelectAll(BOOL bSelect, BOOL bRedraw) {
  if (!OnWindowThread()) {
    CallOnWindowThread(
        [=] {
          SelectAll(bSelect, bRedraw);
          return (LRESULT)0;
        },
        0);
    return;
  }
  const int want = bSelect ? STRIP_ITEM_SELECTED : 0;
  for (int i = 0; i < GetItemCount(); ++i)
    if ((m_items[i]->m_nState & STRIP_ITEM_SELECTED) != want) SetItemState(i, STRIP_ITEM_SELECTED, want, bRedraw);
}

void CItemStripCtrl::InvertSelection() {
  for (int i = 0; i < GetItemCount(); ++i)
    SetItemState(i, STRIP_ITEM_SELECTED, (m_items[i]->m_nState & STRIP_ITEM_SELECTED) ^ STRIP_ITEM_SELECTED, TRUE);
}

int CItemStripCtrl::GetSelectedCount() const {
  int n = 0;
  for (int i = 0; i < GetItemCount(); ++i)
    if (m_items[i]->m_nState & STRIP_ITEM_SELECTED) ++n;
  return n;
}

int CItemStripCtrl::GetNextSelectedItem(int nStart) const {
  for (int i = std::max(nStart, 0); i < GetItemCount(); ++i)
    if (m_items[i]->m_nState & STRIP_ITEM_SELECTED) return i;
  return -1;
}

BOOL CItemStripCtrl::SetFocusItem(int nIndex, BOOL bRedraw) {
  if (nIndex == m_nFocusItem) return FALSE;
  int old = m_nFocusItem;
  m_nFocusItem = nIndex;
  if (bRedraw) {
    if (old != -1) RedrawItem(old, FALSE);
    if (nIndex != -1) RedrawItem(nIndex, FALSE);
  }
  return TRUE;
}

BOOL CItemStripCtrl::SetHotItem(int nIndex, BOOL bRedraw) {
  if (nIndex == m_nHotItem) return FALSE;
  int old = m_nHotItem;
  m_nHotItem = nIndex;
  if (bRedraw) {
    if (old != -1) RedrawItem(old, FALSE);
    if (nIndex != -1) RedrawItem(nIndex, FALSE);
  }
  return TRUE;
}

BOOL CItemStripCtrl::SwapItems(int a, int b) {
  if (!OnWindowThread()) return (BOOL)CallOnWindowThread([=] { return (LRESULT)SwapItems(a, b); }, FALSE);
  const int n = GetItemCount();
  if (a < 0 || a >= n || b < 0 || b >= n) return FALSE;
  std::swap(m_items[a], m_items[b]);
  return TRUE;
}

void CItemStripCtrl::ReverseItems() {
  if (!OnWindowThread()) {
    CallOnWindowThread(
        [=] {
          ReverseItems();
          return (LRESULT)0;
        },
        0);
    return;
  }
  const int n = GetItemCount();
  for (int i = 0; i < n / 2; ++i) std::swap(m_items[i], m_items[n - 1 - i]);
  if (::IsWindow(m_hWnd)) Invalidate(TRUE);
}

// ---------------------------------------------------------------------------
// Geometry and scrolling.

void CItemStripCtrl::GetViewRect(LPRECT lpRect) const {
  ::GetClientRect(m_hWnd, lpRect);
  lpRect->left += m_rcMargins.left;
  lpRect->top += m_rcMargins.top;
  lpRect->right -= m_rcMargins.right;
  lpRect->bottom -= m_rcMargins.bottom;
}

int CItemStripCtrl::GetFirstVisible() const { return ::IsWindow(m_hWnd) ? ::GetScrollPos(m_hWnd, SB_HORZ) : 0; }

CRect CItemStripCtrl::ItemRectAt(int nIndex, const CRect& view, int nFirst) const {
  const int left = ClampToInt(view.left + (LONGLONG)(nIndex - nFirst) * m_nItemWidth);
  return CRect(left, view.top, ClampToInt((LONGLONG)left + m_nItemWidth), view.bottom);
}

BOOL CItemStripCtrl::GetItemRect(int nIndex, LPRECT lpRect) const {
  if (nIndex < 0 || nIndex >= GetItemCount()) {
    ::SetRectEmpty(lpRect);
    return FALSE;
  }
  CRect view;
  GetViewRect(&view);
  *lpRect = ItemRectAt(nIndex, view, GetFirstVisible());
  return TRUE;
}

int CItemStripCtrl::HitTest(int x, int y, BOOL bBox) {
  CRect view;
  GetViewRect(&view);
  const POINT pt = {x, y};
  const int first = GetFirstVisible();
  for (int i = first; i >= 0 && i < GetItemCount(); ++i) {
    CRect r = ItemRectAt(i, view, first);
    if (r.left >= view.right) break;
    if (bBox) {
      CRect box;
      GetItemBoxRect(&r, &box);
      r = box;
    }
    if (r.PtInRect(pt)) return i;
  }
  return -1;
}

int CItemStripCtrl::GetVisibleCount() const {
  if (m_nItemWidth < 1) return -1;
  CRect view;
  GetViewRect(&view);
  return view.Width() / m_nItemWidth;
}

void CItemStripCtrl::UpdateScrollBar() {
  if (!::IsWindow(m_hWnd)) return;
  CRect view;
  GetViewRect(&view);
  SCROLLINFO si = {};
  si.fMask = SIF_RANGE | SIF_PAGE;
  si.nMin = 0;
  si.nMax = GetItemCount();
  si.nPage = m_nItemWidth >= 1 ? (UINT)std::max(0, (view.Width() + m_nItemWidth - 1) / m_nItemWidth) : 0;
  SetScrollInfo(SB_HORZ, &si, TRUE);
  Invalidate(TRUE);
}

void CItemStripCtrl::SetFirstVisible(int nIndex) {
  if (!OnWindowThread()) {
    CallOnWindowThread(
        [=] {
          SetFirstVisible(nIndex);
          return (LRESULT)0;
        },
        0);
    return;
  }
  if (!::IsWindow(m_hWnd)) return;
  SCROLLINFO si = {};
  si.fMask = SIF_POS;
  si.nPos = nIndex;
  SetScrollInfo(SB_HORZ, &si, TRUE);
  Invalidate(TRUE);
}

BOOL CItemStripCtrl::EnsureVisible(int nIndex) {
  if (!OnWindowThread()) return (BOOL)CallOnWindowThread([=] { return (LRESULT)EnsureVisible(nIndex); }, FALSE);
  if (nIndex < 0 || nIndex >= GetItemCount()) return FALSE;
  const int first = GetFirstVisible();
  if (nIndex < first) {
    SetFirstVisible(nIndex);
  } else if (m_nItemWidth >= 1) {
    CRect view;
    GetViewRect(&view);
    const int last = view.Width() / m_nItemWidth + first - 1;
    if (nIndex > last) SetFirstVisible(first + nIndex - last);
  }
  return TRUE;
}

void CItemStripCtrl::RedrawItem(int nIndex, BOOL bErase) {
  CRect r;
  if (::IsWindow(m_hWnd) && GetItemRect(nIndex, &r)) InvalidateRect(&r, bErase);
}

void CItemStripCtrl::RedrawItems(int nFirst, int nLast, BOOL bUpdate) {
  if (!::IsWindow(m_hWnd)) return;
  nLast = std::min(nLast, GetItemCount() - 1);
  for (int i = std::max(nFirst, 0); i <= nLast; ++i) RedrawItem(i, FALSE);
  if (bUpdate) UpdateWindow();
}

int CItemStripCtrl::GetTextWidth(CDC* pDC, LPCTSTR text) {
  CRect r(0, 0, 0, 0);
  pDC->DrawText(text, -1, &r, DT_CALCRECT | DT_SINGLELINE);
  return r.Width();
}

// ---------------------------------------------------------------------------
// Drawing.

void CItemStripCtrl::OnPaint() {
  CPaintDC dc(this);
  OnDraw(&dc);
}

BOOL CItemStripCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

void CItemStripCtrl::OnDraw(CDC* pDC) {
  CRect view;
  GetViewRect(&view);
  // The margins around the view get the background too.
  CRect client;
  GetClientRect(&client);
  if (client != view) {
    CRgn outside, inside;
    outside.CreateRectRgnIndirect(&client);
    inside.CreateRectRgnIndirect(&view);
    outside.CombineRgn(&outside, &inside, RGN_DIFF);
    CBrush brush(m_crBack);
    pDC->FillRgn(&outside, &brush);
  }
  if (m_bDoubleBuffer) {
    CBufferedDC buffer(pDC, &view);
    DrawBackground(&buffer, &view);
    if (GetItemCount() > 0) DrawItems(&buffer, &view);
  } else if (GetItemCount() > 0) {
    DrawItems(pDC, &view);
  } else {
    DrawBackground(pDC, &view);
  }
}

void CItemStripCtrl::DrawBackground(CDC* pDC, LPCRECT lpRect) { pDC->FillSolidRect(lpRect, m_crBack); }

void CItemStripCtrl::DrawItems(CDC* pDC, LPCRECT lpView) {
  const CRect view(lpView);
  const int first = GetFirstVisible();
  int right = view.left;
  // Only the items that reach into the view are drawn.
  for (int i = first; i >= 0 && i < GetItemCount(); ++i) {
    CRect r = ItemRectAt(i, view, first);
    if (r.left >= view.right) break;
    DrawItem(pDC, i, &r);
    right = r.right;
  }
  if (!m_bDoubleBuffer && right < view.right)
    pDC->FillSolidRect(CRect(right, view.top, view.right, view.bottom), m_crBack);
}

void CItemStripCtrl::DrawItem(CDC* pDC, int nIndex, LPCRECT lpItem) {
  CRect box;
  GetItemBoxRect(lpItem, &box);
  if (m_bDoubleBuffer) {
    DrawItemLabel(pDC, nIndex, lpItem);
    DrawItemBox(pDC, nIndex, &box, FALSE);
  } else {
    CBufferedDC buffer(pDC, lpItem);
    DrawBackground(&buffer, lpItem);
    DrawItemLabel(&buffer, nIndex, lpItem);
    DrawItemBox(&buffer, nIndex, &box, FALSE);
  }
}

// ---------------------------------------------------------------------------
// Messages.

void CItemStripCtrl::OnDestroy() {
  DeleteAllItems(TRUE);
  Default();
}

void CItemStripCtrl::OnSize(UINT nType, int cx, int cy) {
  Default();
  if (nType != SIZE_MINIMIZED && cx > 0 && cy > 0) UpdateScrollBar();
}

void CItemStripCtrl::OnLButtonDown(UINT nFlags, CPoint point) {
  SetFocus();
  const int i = HitTest(point.x, point.y, TRUE);
  if (i < 0) {
    SelectAll(FALSE, TRUE);
    SetFocusItem(-1, TRUE);
    m_ptPress = point;
  } else {
    if (nFlags & MK_SHIFT) {
      const int anchor = m_nFocusItem >= 0 ? m_nFocusItem : 0;
      SelectRange(std::min(anchor, i), std::max(anchor, i), TRUE, TRUE);
    } else if (nFlags & MK_CONTROL) {
      SelectItem(i, !(GetItemState(i) & STRIP_ITEM_SELECTED), FALSE, TRUE);
    } else {
      SelectItem(i, TRUE, TRUE, TRUE);
    }
    SetFocusItem(i, TRUE);
  }
  Default();
}

void CItemStripCtrl::OnRButtonDown(UINT nFlags, CPoint point) {
  SetFocus();
  if (!(nFlags & MK_CONTROL)) {
    const int i = HitTest(point.x, point.y, TRUE);
    if (i < 0) {
      SelectAll(FALSE, TRUE);
      SetFocusItem(-1, TRUE);
    } else {
      if (!(GetItemState(i) & STRIP_ITEM_SELECTED)) SelectItem(i, TRUE, TRUE, TRUE);
      SetFocusItem(i, TRUE);
    }
  }
  Default();
}

void CItemStripCtrl::OnLButtonUp(UINT, CPoint) {
  m_ptPress = CPoint(-1, -1);
  Default();
}

void CItemStripCtrl::OnMButtonDown(UINT, CPoint) {
  SetFocus();
  Default();
}

void CItemStripCtrl::OnMouseMove(UINT nFlags, CPoint point) {
  const int i = HitTest(point.x, point.y, TRUE);
  if (i >= 0) {
    if (i != m_nHotItem) {
      SetHotItem(i, TRUE);
      TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, m_hWnd, 0};
      ::TrackMouseEvent(&tme);
    }
  } else {
    SetHotItem(-1, TRUE);
    const int dx = abs(point.x - m_ptPress.x), dy = abs(point.y - m_ptPress.y);
    if ((nFlags & MK_LBUTTON) && m_ptPress.x >= 0 && m_ptPress.y >= 0 && GetItemCount() > 0 &&
        ((dx >= 4 && dy >= 1) || (dy >= 4 && dx >= 1))) {
      CStripSelectTracker tracker(this);
      tracker.TrackRubberBand(this, m_ptPress, TRUE);
      m_ptPress = CPoint(-1, -1);
    }
  }
  Default();
}

void CItemStripCtrl::OnMouseLeave() { SetHotItem(-1, TRUE); }

UINT CItemStripCtrl::OnGetDlgCode() {
  // Arrows and characters; Tab, Enter and Escape keep their dialog meaning,
  // so keyboard users can leave the strip.
  return DLGC_WANTARROWS | DLGC_WANTCHARS;
}

void CItemStripCtrl::MoveFocusTo(int nIndex, UINT nShiftCtrl) {
  nIndex = std::max(0, std::min(nIndex, GetItemCount() - 1));
  if (nShiftCtrl & MK_SHIFT)
    SelectItem(nIndex, TRUE, FALSE, TRUE);
  else if (!(nShiftCtrl & MK_CONTROL))
    SelectItem(nIndex, TRUE, TRUE, TRUE);
  SetFocusItem(nIndex, TRUE);
  EnsureVisible(nIndex);
}

void CItemStripCtrl::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
  const int count = GetItemCount();
  if (count == 0) {  // nothing to focus or select
    Default();
    return;
  }
  UINT mods = 0;
  if (::GetKeyState(VK_SHIFT) < 0) mods |= MK_SHIFT;
  if (::GetKeyState(VK_CONTROL) < 0) mods |= MK_CONTROL;
  const int focus = m_nFocusItem;
  switch (nChar) {
    case VK_LEFT:
    case VK_UP:
    case VK_PRIOR:
      if (focus > 0) MoveFocusTo(focus - 1, mods);
      return;
    case VK_RIGHT:
    case VK_DOWN:
    case VK_NEXT:
      if (focus < count - 1) MoveFocusTo(focus < 0 ? 0 : focus + 1, mods);
      return;
    case VK_HOME:
    case VK_END: {
      const int target = nChar == VK_HOME ? 0 : count - 1;
      if ((mods & MK_SHIFT) && focus >= 0) {
        // Shift extends the selection from the focus to the end of the row.
        for (int i = std::min(focus, target); i <= std::max(focus, target); ++i) SelectItem(i, TRUE, FALSE, TRUE);
      }
      MoveFocusTo(target, mods);
      return;
    }
    case 'A':
      if (mods == MK_CONTROL) {
        SelectAll(TRUE, TRUE);
        return;
      }
      break;
  }
  Default();
}

void CItemStripCtrl::OnHScroll(UINT nSBCode, UINT nPos, CScrollBar*) {
  const int pos = GetFirstVisible();
  const int page = m_nItemWidth >= 1 ? GetVisibleCount() : 1;
  int next = pos;
  switch (nSBCode) {
    case SB_LINELEFT:
      next = pos - 1;
      break;
    case SB_LINERIGHT:
      next = pos + 1;
      break;
    case SB_PAGELEFT:
      next = pos - page;
      break;
    case SB_PAGERIGHT:
      next = pos + page;
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      next = (int)nPos;
      // The message carries 16 bits; longer rows take the 32-bit track position.
      SCROLLINFO si = {};
      if (GetScrollInfo(SB_HORZ, &si, SIF_RANGE | SIF_TRACKPOS) && si.nMax > 0xFFFF) next = si.nTrackPos;
      break;
    }
    case SB_LEFT:
      next = 0;
      break;
    case SB_RIGHT:
      next = INT_MAX;
      break;
  }
  SetFirstVisible(next);
}

BOOL CItemStripCtrl::OnMouseWheel(UINT, short zDelta, CPoint) {
  // One item per notch of 120; the parent gets no second scroll.
  SetFirstVisible(GetFirstVisible() - zDelta / 120);
  return TRUE;
}

// ---------------------------------------------------------------------------
// Rubber band.

CStripSelectTracker::CStripSelectTracker(CItemStripCtrl* pStrip) : m_pStrip(pStrip) { m_nStyle = dottedLine; }

void CStripSelectTracker::OnChangedRect(const CRect&) {
  CRect band = m_rect;
  band.NormalizeRect();
  CItemStripCtrl* s = m_pStrip;
  const int w = s->m_nItemWidth;
  CRect view;
  s->GetViewRect(&view);
  const int first = s->GetFirstVisible();
  const int count = s->GetItemCount();
  for (int i = 0; i < count; ++i) {
    CRect cut;
    const BOOL covered =
        cut.IntersectRect(&band, s->ItemRectAt(i, view, first)) && (cut.Height() >= w || cut.Width() >= w / 2);
    // Only items whose state changes are touched: long rows stay quick.
    if (covered != ((s->m_items[i]->m_nState & STRIP_ITEM_SELECTED) != 0)) s->SelectItem(i, covered, FALSE, TRUE);
  }
  const int visible = s->GetVisibleCount();
  if (visible >= 0 && visible < count) {
    // The moving corner is where the pointer is.
    const int x = m_rect.right;
    if (x > view.right + 3 && first < count - visible) {
      s->SetFirstVisible(first + 1);
      m_rect.left -= w;
    } else if (x < view.left - 3 && first > 0) {
      s->SetFirstVisible(first - 1);
      m_rect.left += w;
    }
  }
  s->UpdateWindow();
}

void CStripSelectTracker::DrawTrackerRect(LPCRECT lpRect, CWnd* pWndClipTo, CDC* pDC, CWnd* pWnd) {
  CRect r;
  CSize size;
  GetDragRect(lpRect, pWndClipTo, pWnd, r, size);
  // One rectangle at a time: an erase pass draws the last one again.
  if (m_bErase || m_bFinalErase) {
    if (!m_rectLast.IsRectEmpty()) pDC->DrawDragRect(&m_rectLast, m_sizeLast, nullptr, CSize(0, 0));
  } else {
    pDC->DrawDragRect(&r, size, nullptr, CSize(0, 0));
  }
  m_rectLast = r;
  m_sizeLast = size;
}
