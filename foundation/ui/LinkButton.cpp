#include "foundation/ui/LinkButton.h"

#include "foundation/ShellOpen.h"
#include "foundation/ui/UIResources.h"

IMPLEMENT_DYNAMIC(CLinkButton, CButton)

BEGIN_MESSAGE_MAP(CLinkButton, CButton)
  ON_WM_SETCURSOR()
  ON_WM_ERASEBKGND()
  ON_CONTROL_REFLECT_EX(BN_CLICKED, OnClicked)
  ON_WM_MOUSEMOVE()
  ON_WM_MOUSELEAVE()
END_MESSAGE_MAP()

CLinkButton::CLinkButton() : m_crBack(::GetSysColor(COLOR_WINDOW)) {}

void CLinkButton::SetLink(LPCTSTR url, LPCTSTR caption) {
  m_strURL = url ? url : L"";
  if (caption) SetWindowText(caption);
  if (m_hWnd) Invalidate(TRUE);
}

void CLinkButton::SizeToText() {
  if (!m_hWnd || (GetStyle() & BS_MULTILINE)) return;
  CString text;
  GetWindowText(text);
  CClientDC dc(this);
  CFont* font = GetFont();
  CFont* old = font ? dc.SelectObject(font) : nullptr;
  SIZE extent = {0, 0};
  ::GetTextExtentPoint32W(dc.m_hDC, text, text.GetLength(), &extent);
  if (old) dc.SelectObject(old);
  CRect rect;
  GetWindowRect(&rect);
  GetParent()->ScreenToClient(&rect);
  SetWindowPos(nullptr, rect.left, rect.top, extent.cx + 4, rect.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void CLinkButton::DrawBackground(CDC* pDC, const CRect& rect) {
  if (!m_bTransparent) {
    pDC->FillSolidRect(&rect, m_crBack);
    return;
  }
  // Let the parent paint its own background behind the link, aligned.
  CWnd* parent = GetParent();
  if (!parent) return;
  CRect window;
  GetWindowRect(&window);
  parent->ScreenToClient(&window);
  POINT oldOrigin;
  ::SetWindowOrgEx(pDC->m_hDC, window.left, window.top, &oldOrigin);
  const int mode = pDC->GetBkMode();
  const COLORREF back = pDC->GetBkColor();
  const COLORREF text = pDC->GetTextColor();
  parent->SendMessage(WM_ERASEBKGND, (WPARAM)pDC->m_hDC, 0);
  ::SetWindowOrgEx(pDC->m_hDC, oldOrigin.x, oldOrigin.y, nullptr);
  pDC->SetBkMode(mode);
  pDC->SetBkColor(back);
  pDC->SetTextColor(text);
}

void CLinkButton::DrawItem(LPDRAWITEMSTRUCT dis) {
  CDC* pDC = CDC::FromHandle(dis->hDC);
  CRect item(dis->rcItem);
  DrawBackground(pDC, item);

  CString caption;
  GetWindowText(caption);
  if (!caption.IsEmpty()) {
    CRect textRect = item;
    textRect.DeflateRect(2, 0);
    const COLORREF oldBack = pDC->SetBkColor(m_crBack);
    const COLORREF oldText = pDC->SetTextColor(m_bHover ? m_crHover : m_crNormal);
    CFont* font = (m_bHover && m_pHoverFont) ? m_pHoverFont : GetFont();
    CFont* oldFont = font ? pDC->SelectObject(font) : nullptr;
    const int oldMode = pDC->SetBkMode(TRANSPARENT);

    const DWORD style = GetStyle();
    UINT format;
    const DWORD align = style & BS_CENTER;  // BS_LEFT | BS_RIGHT
    if (align == BS_RIGHT)
      format = DT_RIGHT;
    else if (align == BS_LEFT)
      format = DT_LEFT;
    else
      format = DT_CENTER;
    if (style & BS_MULTILINE)
      format |= DT_WORDBREAK | DT_END_ELLIPSIS;
    else
      format |= DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
    pDC->DrawText(caption, &textRect, format);

    pDC->SetBkMode(oldMode);
    if (oldFont) pDC->SelectObject(oldFont);
    pDC->SetBkColor(oldBack);
    pDC->SetTextColor(oldText);
  }
  if (dis->itemState & ODS_FOCUS) pDC->DrawFocusRect(&item);
}

BOOL CLinkButton::OnSetCursor(CWnd*, UINT, UINT) {
  ::SetCursor(GetSharedHandCursor());
  return TRUE;
}

BOOL CLinkButton::OnEraseBkgnd(CDC*) { return TRUE; }

BOOL CLinkButton::OnClicked() {
  if (m_strURL.IsEmpty()) return FALSE;  // the parent handles the click
  ShellOpen(L"open", m_strURL);
  return TRUE;
}

void CLinkButton::OnMouseMove(UINT nFlags, CPoint point) {
  if (!m_bHover) {
    TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, m_hWnd, 0};
    ::TrackMouseEvent(&tme);
    m_bHover = TRUE;
    Invalidate(FALSE);
  }
  CButton::OnMouseMove(nFlags, point);
}

void CLinkButton::OnMouseLeave() {
  if (m_bHover) {
    m_bHover = FALSE;
    Invalidate(FALSE);
  }
}
