#include "viewer/FixedControlBar.h"

IMPLEMENT_DYNAMIC(CFixedControlBar, CControlBar)

BOOL CFixedControlBar::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  m_dwStyle = dwStyle & CBRS_ALL;
  m_cxFixed = rect.right - rect.left;
  m_cyFixed = rect.bottom - rect.top;
  LPCTSTR cls = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW));
  return CWnd::CreateEx(0, cls, nullptr, (dwStyle & ~CBRS_ALL) | WS_CHILD | WS_CLIPSIBLINGS, rect, pParentWnd, nID);
}

CSize CFixedControlBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz) {
  if (!bStretch) return CSize(m_cxFixed, m_cyFixed);
  return bHorz ? CSize(0x7FFF, m_cyFixed) : CSize(m_cxFixed, 0x7FFF);
}

void CFixedControlBar::OnUpdateCmdUI(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) {
  UpdateDialogControls(pTarget, bDisableIfNoHndler);
}
