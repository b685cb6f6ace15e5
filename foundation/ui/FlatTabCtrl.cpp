#include "foundation/ui/FlatTabCtrl.h"

#include "foundation/ui/BufferedDC.h"
#include "foundation/ui/UIResources.h"

IMPLEMENT_DYNAMIC(CFlatTabCtrl, CTabCtrlEx)

BEGIN_MESSAGE_MAP(CFlatTabCtrl, CTabCtrlEx)
  ON_WM_PAINT()
  ON_WM_ERASEBKGND()
  ON_WM_ENABLE()
END_MESSAGE_MAP()

namespace {
const COLORREF kPanel = RGB(0xF0, 0xF0, 0xF0);
const COLORREF kText = RGB(0x40, 0x40, 0x40);
const COLORREF kHighlightedText = RGB(255, 0, 0);
}  // namespace

CFlatTabCtrl::CFlatTabCtrl() : m_crBack(::GetSysColor(COLOR_BTNFACE)), m_crLine(::GetSysColor(COLOR_BTNSHADOW)) {}

BOOL CFlatTabCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

void CFlatTabCtrl::OnEnable(BOOL) {
  Default();
  Invalidate(FALSE);  // the picture shows whether the control is enabled
}

void CFlatTabCtrl::OnPaint() {
  CPaintDC dc(this);
  CBufferedDC buffer(&dc, nullptr);
  DrawTabs(&buffer);
}

void CFlatTabCtrl::DrawTabs(CDC* pDC) {
  CRect client;
  GetClientRect(&client);
  // Without tabs only the background: the off-screen bitmap holds nothing else.
  DrawBackground(pDC, &client);
  if (GetItemCount() == 0) return;
  const int selected = GetCurSel();
  const int focus = GetCurFocus();
  for (int i = 0; i < GetItemCount(); ++i)
    if (i != selected) DrawTab(pDC, i, FALSE, i == focus);
  // The selected tab last, on top of its neighbours.
  if (selected >= 0) DrawTab(pDC, selected, TRUE, selected == focus);
}

void CFlatTabCtrl::DrawBackground(CDC* pDC, LPCRECT lpRect) {
  pDC->FillSolidRect(lpRect, m_crBack);
  pDC->FillSolidRect(lpRect->left, lpRect->bottom - 1, lpRect->right - lpRect->left, 1, m_crLine);
}

void CFlatTabCtrl::DrawTab(CDC* pDC, int nIndex, BOOL bSelected, BOOL bFocus) {
  CRect client, r;
  GetClientRect(&client);
  GetItemRect(nIndex, &r);
  r.top = client.top;
  r.bottom = client.bottom;
  pDC->FillSolidRect(&r, m_crBack);
  pDC->FillSolidRect(r.left, r.bottom - 1, r.Width(), 1, m_crLine);
  if (bSelected) DrawSelectedFrame(pDC, &r, bSelected, bFocus);

  CRect text = r;
  text.DeflateRect(4, 1);
  TCITEMW state = {};
  state.mask = TCIF_STATE;
  state.dwStateMask = TCIS_HIGHLIGHTED;
  const BOOL highlighted = GetItem(nIndex, &state) && (state.dwState & TCIS_HIGHLIGHTED);
  pDC->SelectObject(GetSharedFont(CUIResources::FontNormal));
  int oldMode = pDC->SetBkMode(TRANSPARENT);
  COLORREF oldColor = pDC->SetTextColor(highlighted ? kHighlightedText : kText);

  CString caption = GetItemText(nIndex);
  const int tab = caption.Find(L'\t');
  if (tab < 0) {
    pDC->DrawText(caption, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  } else {
    CString a = caption.Left(tab), b = caption.Mid(tab + 1);
    text.DeflateRect(8, 0);
    CRect ra(0, 0, 0, 0), rb(0, 0, 0, 0);
    pDC->DrawText(a, &ra, DT_CALCRECT | DT_SINGLELINE);
    pDC->DrawText(b, &rb, DT_CALCRECT | DT_SINGLELINE);
    const int wa = ra.Width(), wb = rb.Width();
    // The two halves centred with a 24-px gap for the picture between them.
    const int margin = (text.Width() - wa - wb - 24) / 2;
    CRect left(text.left, text.top, text.left + margin + wa, text.bottom);
    CRect right(text.right - margin - wb, text.top, text.right, text.bottom);
    pDC->DrawText(a, &left, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    pDC->DrawText(b, &right, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    CImageList* images = GetImageList();
    if (images && nIndex >= 0) {
      const int image = IsWindowEnabled() ? 0 : 1;
      images->Draw(pDC, image, CPoint(text.left + margin + wa + 4, text.top + (text.Height() - 16) / 2 + 1),
                   ILD_NORMAL);
    }
  }
  pDC->SetTextColor(oldColor);
  pDC->SetBkMode(oldMode);
  pDC->SelectObject(GetFont());
}

void CFlatTabCtrl::DrawSelectedFrame(CDC* pDC, LPCRECT lpRect, BOOL bSelected, BOOL) {
  if (!bSelected) return;
  const CRect r(lpRect);
  pDC->FillSolidRect(&r, m_crLine);
  pDC->FillSolidRect(r.left + 1, r.top + 1, r.Width() - 2, r.Height() - 1, kPanel);
  // Rounded top corners.
  pDC->SetPixelV(r.left, r.top, m_crBack);
  pDC->SetPixelV(r.right - 1, r.top, m_crBack);
  pDC->SetPixelV(r.left + 1, r.top + 1, m_crLine);
  pDC->SetPixelV(r.right - 2, r.top + 1, m_crLine);
}
