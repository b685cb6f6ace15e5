#include "foundation/ui/ProgressBar.h"

#include <algorithm>

#include "foundation/ui/BufferedDC.h"
#include "foundation/ui/UIResources.h"

IMPLEMENT_DYNAMIC(CProgressBar, CWnd)

BEGIN_MESSAGE_MAP(CProgressBar, CWnd)
  ON_WM_PAINT()
  ON_WM_TIMER()
END_MESSAGE_MAP()

LONGLONG MulDiv64(LONGLONG a, LONGLONG b, LONGLONG c) {
  if (c == 0) return 0;
  __int128 q = (__int128)a * b / c;
  if (q > (__int128)INT64_MAX) return INT64_MAX;
  if (q < (__int128)INT64_MIN) return INT64_MIN;
  return (LONGLONG)q;
}

CProgressBar::CProgressBar()
    : m_bMarquee(0),
      m_nRange(100),
      m_nPos(0),
      m_crBack(RGB(0xC0, 0xC0, 0xC0)),
      m_crText(::GetSysColor(COLOR_WINDOWTEXT)),
      m_crBar(RGB(0, 0xC0, 0)) {}

BOOL CProgressBar::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  return CWnd::Create(nullptr, nullptr, dwStyle, rect, pParentWnd, nID);
}

void CProgressBar::SetRange(LONGLONG nRange) {
  m_nRange = nRange;
  m_nPos = 0;
  if (::IsWindow(m_hWnd)) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CProgressBar::SetPos(LONGLONG nPos) {
  LONGLONG range = m_nRange;
  if (nPos > range) nPos = range;
  if (nPos < 0) nPos = 0;
  m_nPos = nPos;
  if (::IsWindow(m_hWnd)) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CProgressBar::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent == kStepTimerId) {
    LONGLONG next = m_nPos + 2;
    SetPos(next > m_nRange ? 0 : next);
  }
  Default();
}

void CProgressBar::OnPaint() {
  CPaintDC dc(this);
  CBufferedDC buffer(&dc, nullptr);
  Draw(&buffer);
}

void CProgressBar::Draw(CDC* pDC) {
  CRect r;
  GetClientRect(&r);
  const LONGLONG width = r.Width();
  pDC->FillSolidRect(&r, m_crBack);
  // Range and position are read once: a worker may change them meanwhile.
  const LONGLONG range = m_nRange, pos = m_nPos;
  if (range > 0 && pos > 0) {
    if (!m_bMarquee) {
      LONGLONG x = std::min(width, MulDiv64(width, pos, range));
      if (x > 0) pDC->FillSolidRect(r.left, r.top, (int)x, r.Height(), m_crBar);
    } else {
      // Three 24-px blocks 32 px apart; the group's right end runs from the
      // left edge to 88 px past the right edge as the position grows.
      const LONGLONG span = width + 88;
      const LONGLONG end = r.left + std::min(span, MulDiv64(span, pos, range));
      for (int i = 0; i < 3; ++i) {
        LONGLONG right = end - 32 * i, left = right - 24;
        if (right <= r.left || left >= r.right) continue;
        left = std::max<LONGLONG>(left, r.left);
        right = std::min<LONGLONG>(right, r.right);
        if (right > left) pDC->FillSolidRect((int)left, r.top, (int)(right - left), r.Height(), m_crBar);
      }
    }
  }
  if (!m_strText.IsEmpty()) {
    CRect text = r;
    text.DeflateRect(4, 0);
    int oldMode = pDC->SetBkMode(TRANSPARENT);
    COLORREF oldColor = pDC->SetTextColor(m_crText);
    CFont* oldFont = pDC->SelectObject(GetSharedFont(CUIResources::FontNormal));
    pDC->DrawText(m_strText, &text, DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    pDC->SelectObject(oldFont);
    pDC->SetTextColor(oldColor);
    pDC->SetBkMode(oldMode);
  }
}
