#include "viewer/OVMBFrameWnd.h"

IMPLEMENT_DYNAMIC(COVMBFrameWnd, CFrameWnd)

BEGIN_MESSAGE_MAP(COVMBFrameWnd, CFrameWnd)
  ON_WM_CREATE()
  ON_WM_MENUCHAR()
  ON_WM_INITMENUPOPUP()
  ON_MESSAGE(WM_UNINITMENUPOPUP, OnUninitMenuPopup)
  ON_WM_MENUSELECT()
  ON_WM_SYSCOMMAND()
END_MESSAGE_MAP()

int COVMBFrameWnd::OnCreate(LPCREATESTRUCT lpcs) {
  if (CFrameWnd::OnCreate(lpcs) == -1) return -1;
  if (m_pMenuBar) {
    const int h = m_nMenuBarHeight;
    if (!m_pMenuBar->Create(WS_CHILD | WS_VISIBLE | CBRS_TOP, CRect(0, 0, h, h), this, AFX_IDW_CONTROLBAR_FIRST))
      return -1;
    if (!m_pMenuBar->LoadMenu(::GetMenu(m_hWnd))) return -1;
    ::SetMenu(m_hWnd, nullptr);  // the bar owns the menu now
    RecalcLayout();
  }
  return 0;
}

LRESULT COVMBFrameWnd::OnMenuChar(UINT nChar, UINT nFlags, CMenu*) {
  // Alt+letter on a frame without a window menu ends up here, on behalf of
  // the system menu: the bar opens its popup instead.
  if ((nFlags & MF_SYSMENU) && m_pMenuBar && m_pMenuBar->OnFrameMenuChar(nChar)) return MAKELRESULT(0, MNC_CLOSE);
  return Default();
}

void COVMBFrameWnd::OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu) {
  CFrameWnd::OnInitMenuPopup(pPopupMenu, nIndex, bSysMenu);
  if (m_pMenuBar && pPopupMenu) m_pMenuBar->OnFrameInitMenuPopup(pPopupMenu->m_hMenu, nIndex, bSysMenu);
}

LRESULT COVMBFrameWnd::OnUninitMenuPopup(WPARAM wParam, LPARAM) {
  if (m_pMenuBar) m_pMenuBar->OnFrameUninitMenuPopup((HMENU)wParam);
  return Default();
}

void COVMBFrameWnd::OnMenuSelect(UINT nItemID, UINT nFlags, HMENU hSysMenu) {
  CFrameWnd::OnMenuSelect(nItemID, nFlags, hSysMenu);
  if (m_pMenuBar) m_pMenuBar->OnFrameMenuSelect(nItemID, nFlags, hSysMenu);
}

void COVMBFrameWnd::OnSysCommand(UINT nID, LPARAM lParam) {
  // Alt alone: the bar's first item, instead of the system menu.
  if ((nID & 0xFFF0) == SC_KEYMENU && lParam == 0 && m_pMenuBar && m_pMenuBar->OnFrameKeyMenu()) return;
  Default();
}
