#include "viewer/ImageButton.h"

#include "viewer/ViewerResources.h"

IMPLEMENT_DYNAMIC(CImageButton, CButton)

BEGIN_MESSAGE_MAP(CImageButton, CButton)
  ON_WM_SETCURSOR()
  ON_WM_MOUSEMOVE()
  ON_WM_ERASEBKGND()
  ON_WM_MOUSELEAVE()
END_MESSAGE_MAP()

void CImageButton::SetImages(CRasterImage* pNormal, CRasterImage* pHover) {
  m_pNormal = pNormal;
  m_pHover = pHover;
  if (pNormal && pNormal->GetBits()) {
    m_nImageWidth = (int)pNormal->GetWidth();
    m_nImageHeight = (int)pNormal->GetHeight();
  }
  if (m_hWnd) Invalidate(TRUE);
}

int CImageButton::GetDrawState(UINT itemState, BOOL bHovered) {
  if (itemState & ODS_SELECTED) return statePressed;
  if (itemState & ODS_FOCUS) return bHovered ? stateHover : stateFocused;
  if (itemState & ODS_DISABLED) return stateDisabled;
  return bHovered ? stateHover : stateNormal;
}

void CImageButton::DrawItem(LPDRAWITEMSTRUCT dis) {
  const CRect rect(dis->rcItem);
  const int state = GetDrawState(dis->itemState, m_bHovered);
  CDC* target = CDC::FromHandle(dis->hDC);
  CDC mem;
  mem.CreateCompatibleDC(target);
  CBitmap bmp;
  bmp.CreateCompatibleBitmap(target, rect.Width(), rect.Height());
  CBitmap* old = mem.SelectObject(&bmp);
  DrawButton(&mem, rect.left, rect.top, rect.right, rect.bottom, state);
  target->BitBlt(rect.left, rect.top, rect.Width(), rect.Height(), &mem, 0, 0, SRCCOPY);
  mem.SelectObject(old);
}

void CImageButton::DrawBackground(CDC* pDC, const CRect& rect) { pDC->FillSolidRect(&rect, m_clrBackground); }

void CImageButton::DrawButton(CDC* pDC, int left, int top, int right, int bottom, int state) {
  CRasterImage* picture = (state == stateHover || state == statePressed) ? m_pHover : m_pNormal;
  DrawBackground(pDC, CRect(left, top, right, bottom));
  if (!picture || !picture->GetBits()) return;
  // Centred, always at the normal picture's size.
  const int x = (right - m_nImageWidth - left) / 2;
  const int y = (bottom - m_nImageHeight - top) / 2;
  RECT target = {x, y, x + m_nImageWidth, y + m_nImageHeight};
  picture->Draw(pDC->m_hDC, target, nullptr, false);
}

BOOL CImageButton::OnSetCursor(CWnd*, UINT, UINT) {
  CViewerResources* res = GetViewerResources();
  HCURSOR cursor = res && res->m_hCursor ? res->m_hCursor : ::LoadCursorW(nullptr, IDC_HAND);
  ::SetCursor(cursor);
  return TRUE;
}

void CImageButton::OnMouseMove(UINT, CPoint) {
  if (!m_bHovered) {
    TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, m_hWnd, 0};
    ::TrackMouseEvent(&tme);
    m_bHovered = 1;
    Invalidate(TRUE);
  }
  Default();
}

BOOL CImageButton::OnEraseBkgnd(CDC*) { return TRUE; }

void CImageButton::OnMouseLeave() {
  if (m_bHovered) {
    m_bHovered = 0;
    Invalidate(TRUE);
  }
}
