// CRectTracker: moving, sizing and rubber-banding a rectangle with the mouse.
#include "afxwin.h"

#include <algorithm>

void CRectTracker::Construct() {
  m_nHandleSize = 4;
  m_sizeMin = CSize(m_nHandleSize * 2, m_nHandleSize * 2);
}

int CRectTracker::NormalizeHit(int nHandle) const {
  if (nHandle == hitMiddle || nHandle == hitNothing) return nHandle;
  CRect r = m_rect;
  // A flipped rectangle swaps the meaning of its handles.
  static const int flipX[] = {hitTopRight, hitTopLeft, hitBottomLeft, hitBottomRight,
                              hitTop,      hitLeft,    hitBottom,     hitRight};
  static const int flipY[] = {hitBottomLeft, hitBottomRight, hitTopRight, hitTopLeft,
                              hitBottom,     hitRight,       hitTop,      hitLeft};
  if (r.Width() < 0) nHandle = flipX[nHandle];
  if (r.Height() < 0) nHandle = flipY[nHandle];
  return nHandle;
}

UINT CRectTracker::GetHandleMask() const {
  UINT mask = 0x0F;  // corners
  CRect r = m_rect;
  r.NormalizeRect();
  int size = m_nHandleSize * 3;
  if (r.Width() - size > 4) mask |= 0x50;
  if (r.Height() - size > 4) mask |= 0xA0;
  return mask;
}

void CRectTracker::GetTrueRect(LPRECT rect) const {
  CRect r = m_rect;
  r.NormalizeRect();
  int inflate = (m_nStyle & (resizeOutside | hatchedBorder)) ? m_nHandleSize - 1 : 0;
  r.InflateRect(inflate, inflate);
  *rect = r;
}

void CRectTracker::GetHandleRect(int nHandle, CRect* pHandleRect) const {
  CRect r = m_rect;
  r.NormalizeRect();
  if (m_nStyle & (solidLine | dottedLine)) r.InflateRect(1, 1);
  nHandle = NormalizeHit(nHandle);
  int size = m_nHandleSize;
  if (m_nStyle & resizeOutside) r.InflateRect(size - 1, size - 1);
  int xs[] = {r.left,
              r.right - size,
              r.right - size,
              r.left,
              r.left + r.Width() / 2 - size / 2,
              r.right - size,
              r.left + r.Width() / 2 - size / 2,
              r.left};
  int ys[] = {r.top,           r.top,
              r.bottom - size, r.bottom - size,
              r.top,           r.top + r.Height() / 2 - size / 2,
              r.bottom - size, r.top + r.Height() / 2 - size / 2};
  pHandleRect->SetRect(xs[nHandle], ys[nHandle], xs[nHandle] + size, ys[nHandle] + size);
}

int CRectTracker::HitTestHandles(CPoint point) const {
  CRect r;
  GetTrueRect(&r);
  if (!r.PtInRect(point)) return hitNothing;
  if (m_nStyle & (resizeInside | resizeOutside)) {
    UINT mask = GetHandleMask();
    for (int i = 0; i < 8; ++i) {
      if (!(mask & (1u << i))) continue;
      CRect h;
      GetHandleRect(i, &h);
      if (h.PtInRect(point)) return i;
    }
  }
  CRect inner = m_rect;
  inner.NormalizeRect();
  if ((m_nStyle & hatchedBorder) && !(m_nStyle & resizeOutside))
    inner.InflateRect(1 - m_nHandleSize, 1 - m_nHandleSize);
  return inner.PtInRect(point) ? hitMiddle : hitNothing;
}

int CRectTracker::HitTest(CPoint point) const {
  CRect r = m_rect;
  r.NormalizeRect();
  if (r.Width() < 0 || r.Height() < 0) return hitNothing;
  return HitTestHandles(point);
}

BOOL CRectTracker::SetCursor(CWnd* pWnd, UINT nHitTest) const {
  if (nHitTest != HTCLIENT) return FALSE;
  CPoint p;
  ::GetCursorPos(&p);
  pWnd->ScreenToClient(&p);
  int hit = NormalizeHit(HitTestHandles(p));
  if (hit < 0) return FALSE;
  static const LPCWSTR cursors[] = {IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZENS,
                                    IDC_SIZEWE,   IDC_SIZENS,   IDC_SIZEWE,   IDC_SIZEALL};
  ::SetCursor(::LoadCursorW(nullptr, cursors[hit]));
  return TRUE;
}

void CRectTracker::Draw(CDC* pDC) const {
  CRect r = m_rect;
  r.NormalizeRect();
  int saved = pDC->SaveDC();
  pDC->SetMapMode(MM_TEXT);
  pDC->SetViewportOrg(0, 0);
  pDC->SetWindowOrg(0, 0);
  if (m_nStyle & (dottedLine | solidLine)) {
    CPen pen(m_nStyle & dottedLine ? PS_DOT : PS_SOLID, 0, RGB(0, 0, 0));
    CPen* oldPen = pDC->SelectObject(&pen);
    CGdiObject* oldBrush = pDC->SelectStockObject(NULL_BRUSH);
    pDC->SetROP2(R2_COPYPEN);
    CRect line = r;
    line.InflateRect(1, 1);
    pDC->Rectangle(&line);
    pDC->SelectObject(oldPen);
    pDC->SelectObject(oldBrush);
  }
  if (m_nStyle & (hatchInside | hatchedBorder)) {
    CBrush hatch(HS_BDIAGONAL, RGB(0, 0, 0));
    pDC->SetBkMode(TRANSPARENT);
    CRect outer = r;
    if (m_nStyle & hatchedBorder) outer.InflateRect(m_nHandleSize - 1, m_nHandleSize - 1);
    CRgn rgnOuter, rgnInner;
    rgnOuter.CreateRectRgnIndirect(&outer);
    rgnInner.CreateRectRgnIndirect(&r);
    if (m_nStyle & hatchedBorder) rgnOuter.CombineRgn(&rgnOuter, &rgnInner, RGN_DIFF);
    pDC->FillRgn(&rgnOuter, &hatch);
  }
  if (m_nStyle & (resizeInside | resizeOutside)) {
    UINT mask = GetHandleMask();
    for (int i = 0; i < 8; ++i)
      if (mask & (1u << i)) {
        CRect h;
        GetHandleRect(i, &h);
        pDC->FillSolidRect(&h, RGB(0, 0, 0));
      }
  }
  pDC->RestoreDC(saved);
}

void CRectTracker::GetModifyPointers(int nHandle, int** ppx, int** ppy, int* px, int* py) {
  if (nHandle == hitMiddle) nHandle = hitTopLeft;  // a move drags the top-left corner
  *ppx = nullptr;
  *ppy = nullptr;
  switch (nHandle) {
    case hitTopLeft:
      *ppx = (int*)&m_rect.left;
      *ppy = (int*)&m_rect.top;
      break;
    case hitTopRight:
      *ppx = (int*)&m_rect.right;
      *ppy = (int*)&m_rect.top;
      break;
    case hitBottomRight:
      *ppx = (int*)&m_rect.right;
      *ppy = (int*)&m_rect.bottom;
      break;
    case hitBottomLeft:
      *ppx = (int*)&m_rect.left;
      *ppy = (int*)&m_rect.bottom;
      break;
    case hitTop:
      *ppy = (int*)&m_rect.top;
      break;
    case hitRight:
      *ppx = (int*)&m_rect.right;
      break;
    case hitBottom:
      *ppy = (int*)&m_rect.bottom;
      break;
    case hitLeft:
      *ppx = (int*)&m_rect.left;
      break;
  }
  *px = *ppx ? **ppx : 0;
  *py = *ppy ? **ppy : 0;
}

void CRectTracker::AdjustRect(int nHandle, LPRECT lpRect) {
  if (nHandle == hitMiddle) return;
  int *px, *py, x, y;
  GetModifyPointers(nHandle, &px, &py, &x, &y);
  (void)x;
  (void)y;
  // Keep the minimum size, growing away from the fixed edge.
  if (px) {
    int w = lpRect->right - lpRect->left;
    int sign = w < 0 ? -1 : 1;
    if (!m_bAllowInvert && w < 0) sign = 1;
    if (abs(w) < m_sizeMin.cx || (!m_bAllowInvert && w < 0)) {
      if (px == (int*)&lpRect->left)
        lpRect->left = lpRect->right - sign * m_sizeMin.cx;
      else
        lpRect->right = lpRect->left + sign * m_sizeMin.cx;
    }
  }
  if (py) {
    int h = lpRect->bottom - lpRect->top;
    int sign = h < 0 ? -1 : 1;
    if (!m_bAllowInvert && h < 0) sign = 1;
    if (abs(h) < m_sizeMin.cy || (!m_bAllowInvert && h < 0)) {
      if (py == (int*)&lpRect->top)
        lpRect->top = lpRect->bottom - sign * m_sizeMin.cy;
      else
        lpRect->bottom = lpRect->top + sign * m_sizeMin.cy;
    }
  }
}

void CRectTracker::OnChangedRect(const CRect&) {}

void CRectTracker::GetDragRect(LPCRECT lpRect, CWnd* pWndClipTo, CWnd* pWnd, CRect& rect, CSize& size) const {
  rect = *lpRect;
  rect.NormalizeRect();
  if (pWndClipTo) {
    pWnd->ClientToScreen(&rect);
    pWndClipTo->ScreenToClient(&rect);
  }
  size = CSize(0, 0);
  if (!m_bFinalErase) {
    if (m_nStyle & hatchedBorder) {
      size.cx = size.cy = std::max(1, m_nHandleSize - 1);
      rect.InflateRect(size);
    } else {
      size.cx = size.cy = 1;
    }
  }
}

void CRectTracker::DrawTrackerRect(LPCRECT lpRect, CWnd* pWndClipTo, CDC* pDC, CWnd* pWnd) {
  CRect r;
  CSize size;
  GetDragRect(lpRect, pWndClipTo, pWnd, r, size);
  if (m_bFinalErase || !m_bErase) pDC->DrawDragRect(&r, size, &m_rectLast, m_sizeLast);
  m_rectLast = r;
  m_sizeLast = size;
}

BOOL CRectTracker::Track(CWnd* pWnd, CPoint point, BOOL bAllowInvert, CWnd* pWndClipTo) {
  int hit = HitTest(point);
  if (hit < 0) return FALSE;
  m_bAllowInvert = bAllowInvert;
  return TrackHandle(hit, pWnd, point, pWndClipTo);
}

BOOL CRectTracker::TrackRubberBand(CWnd* pWnd, CPoint point, BOOL bAllowInvert) {
  m_bAllowInvert = bAllowInvert;
  m_rect.SetRect(point.x, point.y, point.x, point.y);
  return TrackHandle(hitBottomRight, pWnd, point, nullptr);
}

BOOL CRectTracker::TrackHandle(int nHandle, CWnd* pWnd, CPoint point, CWnd* pWndClipTo) {
  if (::GetCapture()) return FALSE;
  AfxLockTempMaps();
  pWnd->SetCapture();
  pWnd->UpdateWindow();
  if (pWndClipTo) pWndClipTo->UpdateWindow();
  const CRect saved = m_rect;
  const int width = m_rect.Width(), height = m_rect.Height();
  int *px, *py, xDiff, yDiff;
  GetModifyPointers(nHandle, &px, &py, &xDiff, &yDiff);
  xDiff = point.x - xDiff;
  yDiff = point.y - yDiff;
  CDC* pDC = pWndClipTo ? pWndClipTo->GetDCEx(nullptr, DCX_CACHE) : pWnd->GetDC();
  m_rectLast.SetRectEmpty();
  m_sizeLast = CSize(0, 0);
  BOOL moved = FALSE;
  for (;;) {
    MSG msg;
    if (!::GetMessageW(&msg, nullptr, 0, 0)) {
      ::PostQuitMessage((int)msg.wParam);
      break;
    }
    if (::GetCapture() != pWnd->m_hWnd) break;
    if (msg.message == WM_LBUTTONUP || msg.message == WM_MOUSEMOVE) {
      CRect old = m_rect;
      if (px) *px = (short)LOWORD(msg.lParam) - xDiff;
      if (py) *py = (short)HIWORD(msg.lParam) - yDiff;
      if (nHandle == hitMiddle) {
        m_rect.right = m_rect.left + width;
        m_rect.bottom = m_rect.top + height;
      }
      AdjustRect(nHandle, &m_rect);
      m_bFinalErase = msg.message == WM_LBUTTONUP;
      if (!old.EqualRect(&m_rect) || m_bFinalErase) {
        if (moved) {
          m_bErase = TRUE;
          DrawTrackerRect(&old, pWndClipTo, pDC, pWnd);
        }
        OnChangedRect(old);
        if (msg.message != WM_LBUTTONUP) moved = TRUE;
      }
      if (m_bFinalErase) break;
      if (!old.EqualRect(&m_rect)) {
        m_bErase = FALSE;
        DrawTrackerRect(&m_rect, pWndClipTo, pDC, pWnd);
      }
    } else if ((msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) || msg.message == WM_RBUTTONDOWN) {
      if (moved) {
        m_bErase = m_bFinalErase = TRUE;
        DrawTrackerRect(&m_rect, pWndClipTo, pDC, pWnd);
      }
      m_rect = saved;
      break;
    } else {
      ::DispatchMessageW(&msg);
    }
  }
  if (pWndClipTo)
    pWndClipTo->ReleaseDC(pDC);
  else
    pWnd->ReleaseDC(pDC);
  ::ReleaseCapture();
  AfxUnlockTempMaps(FALSE);
  if (!moved) m_rect = saved;
  m_bFinalErase = m_bErase = FALSE;
  return !saved.EqualRect(&m_rect);
}
