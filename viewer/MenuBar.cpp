#include "viewer/MenuBar.h"

#include "foundation/ui/BufferedDC.h"
#include "foundation/ui/UIResources.h"

IMPLEMENT_DYNAMIC(CMenuBar, CFixedControlBar)
IMPLEMENT_DYNAMIC(CFrameMenuBar, CMenuBar)

// ---------------------------------------------------------------------------
// CMenuBar.

namespace {
// The bar whose popup is open and the hook serving it: one popup at a time.
CMenuBar* g_pHookBar = nullptr;
HHOOK g_hMenuHook = nullptr;
}  // namespace

BEGIN_MESSAGE_MAP(CMenuBar, CFixedControlBar)
  ON_WM_PAINT()
  ON_WM_ERASEBKGND()
  ON_WM_LBUTTONDOWN()
  ON_WM_RBUTTONDOWN()
  ON_WM_MOUSEMOVE()
  ON_WM_MOUSELEAVE()
  ON_WM_KEYDOWN()
  ON_WM_SYSKEYDOWN()
  ON_WM_KILLFOCUS()
  ON_WM_GETDLGCODE()
  ON_WM_SIZE()
  ON_MESSAGE(WM_MENUBAR_POPUP, OnMenuBarPopup)
END_MESSAGE_MAP()

CMenuBar::CMenuBar() {
  m_items.m_pOwner = this;
  m_colors.text = ::GetSysColor(COLOR_MENUTEXT);
  m_colors.hotText = ::GetSysColor(COLOR_MENUTEXT);
  m_colors.hotBackground = ::GetSysColor(COLOR_HIGHLIGHT);
}

CMenuBar::~CMenuBar() {
  if (g_pHookBar == this) g_pHookBar = nullptr;
  m_items.RemoveAll();
  if (m_hMenu) ::DestroyMenu(m_hMenu);
}

CFrameWnd* CMenuBar::GetFrame() const {
  if (CWnd* owner = GetOwner())
    if (CFrameWnd* frame = owner->AsFrameWnd()) return frame;
  return GetParentFrame();
}

BOOL CMenuBar::LoadMenu(HMENU hMenu) {
  if (!hMenu || !::IsMenu(hMenu)) return FALSE;
  m_items.RemoveAll();
  if (m_hMenu && m_hMenu != hMenu) ::DestroyMenu(m_hMenu);
  m_hMenu = hMenu;
  const int count = ::GetMenuItemCount(hMenu);
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {0};
    ::GetMenuStringW(hMenu, (UINT)i, text, 256, MF_BYPOSITION);
    m_items.Add(new CMenuBarItem(&m_items, text));
  }
  m_bLayoutNeeded = TRUE;
  if (m_hWnd) Invalidate(FALSE);
  return TRUE;
}

int CMenuBar::FindMnemonic(UINT ch) const {
  const wchar_t upper = (wchar_t)(UINT_PTR)::CharUpperW((LPWSTR)(UINT_PTR)(wchar_t)ch);
  for (int i = 0; i < GetItemCount(); ++i)
    if (GetItem(i)->m_chMnemonic == upper && !GetItem(i)->IsHidden()) return i;
  return -1;
}

void CMenuBar::OnUpdateCmdUI(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) {
  m_items.UpdateCommandUI(pTarget, bDisableIfNoHndler);
  m_items.OnIdle();
}

void CMenuBar::BeginModalState() {
  if (m_hWnd) EnableWindow(FALSE);
}

void CMenuBar::EndModalState() {
  if (m_hWnd) EnableWindow(TRUE);
}

// ---------------------------------------------------------------------------
// Layout and painting.

void CMenuBar::LayoutItems(CDC* pDC) {
  CRect client;
  GetClientRect(&client);
  CFont* old = pDC->SelectObject(GetSharedFont(CUIResources::FontNormal));
  int x = client.left;
  for (int i = 0; i < GetItemCount(); ++i) {
    CMenuBarItem* item = GetItem(i);
    CRect r(0, 0, 0, 0);
    pDC->DrawText(item->m_strCaption, &r, DT_CALCRECT | DT_SINGLELINE);
    item->SetRect(x, client.top, x + r.Width() + 24, client.bottom, FALSE);
    x = item->m_rect.right;
  }
  pDC->SelectObject(old);
}

void CMenuBar::DrawBackground(CDC* pDC) {
  CRect client;
  GetClientRect(&client);
  pDC->FillSolidRect(&client, GetBackgroundColor());
}

BOOL CMenuBar::OnEraseBkgnd(CDC*) { return TRUE; }

void CMenuBar::OnSize(UINT, int, int) {
  Default();
  m_bLayoutNeeded = TRUE;
  Invalidate(FALSE);
}

void CMenuBar::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  if (client.IsRectEmpty()) return;
  CBufferedDC mem(&dc, &client);
  DrawBackground(&mem);
  if (m_bLayoutNeeded) {
    LayoutItems(&mem);
    m_bLayoutNeeded = FALSE;
  }
  CFont* oldFont = mem.SelectObject(GetSharedFont(CUIResources::FontNormal));
  m_items.Draw(&mem, m_colors);
  mem.SelectObject(oldFont);
}

// ---------------------------------------------------------------------------
// Menu mode.

void CMenuBar::EnterMenuMode(int nIndex) {
  if (!m_bMenuMode) {
    m_bMenuMode = TRUE;
    HWND old = ::SetFocus(m_hWnd);
    m_hWndOldFocus = old != m_hWnd ? old : nullptr;
    SetCapture();
    SendMessage(WM_SETCURSOR, (WPARAM)m_hWnd, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  }
  m_items.SetHot(m_items.GetAt(nIndex));
}

void CMenuBar::LeaveMenuMode() {
  if (!m_bMenuMode) return;
  m_bMenuMode = FALSE;  // first: giving the focus away comes back here through WM_KILLFOCUS
  m_items.SetHot(nullptr);
  if (::GetFocus() == m_hWnd) {
    if (m_hWndOldFocus && ::IsWindow(m_hWndOldFocus))
      ::SetFocus(m_hWndOldFocus);
    else if (CFrameWnd* frame = GetFrame())
      frame->SetFocus();
  }
  m_hWndOldFocus = nullptr;
  if (::GetCapture() == m_hWnd) ::ReleaseCapture();
}

BOOL CMenuBar::OnFrameKeyMenu() {
  if (!m_hWnd || !IsWindowVisible() || !IsWindowEnabled() || GetItemCount() == 0 || m_bTracking) return FALSE;
  EnterMenuMode(0);
  m_nCurrent = 0;
  return TRUE;
}

BOOL CMenuBar::OnFrameMenuChar(UINT nChar) {
  if (!m_hWnd || !IsWindowVisible() || !IsWindowEnabled()) return FALSE;
  int index = FindMnemonic(nChar);
  if (index < 0) return FALSE;
  PostMessage(WM_MENUBAR_POPUP, (WPARAM)index, 1);
  return TRUE;
}

void CMenuBar::OnFrameMenuSelect(UINT, UINT nFlags, HMENU hMenu) {
  if (!m_bTracking || (nFlags == 0xFFFF && !hMenu)) return;
  m_bTopLevel = hMenu == m_hTrackedPopup;
  m_bSubmenu = (nFlags & MF_POPUP) != 0;
}

void CMenuBar::OnFrameInitMenuPopup(HMENU hPopup, UINT nIndex, BOOL bSysMenu) {
  if (!m_bTracking || bSysMenu) return;
  if (hPopup == m_hTrackedPopup) {
    m_bTopLevel = TRUE;
  } else {
    ++m_nSubmenuDepth;
    m_bTopLevel = FALSE;
  }
  m_bSubmenu = ::GetSubMenu(hPopup, (int)nIndex) != nullptr;
}

void CMenuBar::OnFrameUninitMenuPopup(HMENU hPopup) {
  // Closing a submenu need not select its parent item again, so the depth
  // decides: back in the first popup, the selection is on the item that opened it.
  if (!m_bTracking || hPopup == m_hTrackedPopup || m_nSubmenuDepth == 0) return;
  if (--m_nSubmenuDepth == 0) m_bTopLevel = TRUE;
  m_bSubmenu = TRUE;
}

LRESULT CMenuBar::OnMenuBarPopup(WPARAM wParam, LPARAM lParam) {
  const int index = (int)wParam;
  if (index < 0 || index >= GetItemCount()) return 0;
  const BOOL keyboard = LOWORD(lParam) != 0;
  if (m_bTracking) {
    // A popup is open already: the running loop moves on to this one.
    SwitchPopup(index, keyboard);
    return 0;
  }
  EnterMenuMode(index);
  m_nCurrent = index;
  m_bOpenNext = TRUE;
  m_bStay = FALSE;
  m_bKeyboardSelect = keyboard;
  const HWND self = m_hWnd;
  TrackPopups();
  if (!::IsWindow(self) || FromHandlePermanent(self) != this) return 0;
  // No mouse-leave comes while a popup holds the mouse: hot tracking starts afresh.
  m_items.m_bMouseTracking = FALSE;
  if (m_bStay && m_bMenuMode) {
    SetCapture();
    m_items.SetHot(nullptr);
  } else {
    LeaveMenuMode();
  }
  return 0;
}

void CMenuBar::SwitchPopup(int nIndex, BOOL bKeyboard) {
  m_nCurrent = nIndex;
  m_items.SetHot(m_items.GetAt(nIndex));
  m_bOpenNext = TRUE;
  m_bKeyboardSelect = bKeyboard;
  CancelPopup();
}

void CMenuBar::CancelPopup() {
  // Ends the open popup's loop. EndMenu wakes that loop through the popup
  // itself, so nothing is left behind to close the next popup early.
  if (m_bTracking) ::EndMenu();
}

void CMenuBar::TrackPopups() {
  CFrameWnd* frame = GetFrame();
  if (!frame) return;
  const HWND hFrame = frame->m_hWnd;
  const HWND self = m_hWnd;
  while (m_bOpenNext) {
    HMENU popup = ::GetSubMenu(m_hMenu, m_nCurrent);
    CBarItem* item = m_items.GetAt(m_nCurrent);
    if (!popup || !item) break;
    m_items.SetPressed(item);
    UpdateWindow();
    // The popup's own loop takes this key first: its first item is selected.
    // (Posted rather than synthesised, so it reaches this thread whatever
    // window is in the foreground.)
    if (m_bKeyboardSelect) ::PostMessageW(hFrame, WM_KEYDOWN, VK_DOWN, 0x00500001);
    CRect r = item->GetRect();
    ClientToScreen(&r);
    if (r.left < 0) r.left = 0;
    m_rcTracked = r;
    m_bTracking = TRUE;
    m_bTopLevel = TRUE;
    m_bSubmenu = FALSE;
    m_bOpenNext = FALSE;
    m_nSubmenuDepth = 0;
    m_hTrackedPopup = popup;

    // The excluded rectangle is not honoured everywhere: open upwards
    // ourselves when the popup would not fit below the item.
    UINT flags = TPM_LEFTALIGN | TPM_VERTICAL | TPM_LEFTBUTTON;
    int y = r.bottom;
    MONITORINFO mi = {sizeof(mi)};
    ::GetMonitorInfoW(::MonitorFromPoint(CPoint(r.left, r.bottom), MONITOR_DEFAULTTONEAREST), &mi);
    const int estimate = ::GetMenuItemCount(popup) * ::GetSystemMetrics(SM_CYMENUSIZE) + 8;
    if (r.bottom + estimate > mi.rcWork.bottom && r.top - mi.rcWork.top > mi.rcWork.bottom - r.bottom) {
      flags |= TPM_BOTTOMALIGN;
      y = r.top;
    }
    TPMPARAMS tpm = {};
    tpm.cbSize = sizeof(tpm);
    tpm.rcExclude = r;
    g_pHookBar = this;
    g_hMenuHook = ::SetWindowsHookExW(WH_MSGFILTER, MenuHook, nullptr, ::GetCurrentThreadId());
    ::TrackPopupMenuEx(popup, flags, r.left, y, hFrame, &tpm);
    if (g_hMenuHook) ::UnhookWindowsHookEx(g_hMenuHook);
    g_hMenuHook = nullptr;
    g_pHookBar = nullptr;
    if (!::IsWindow(self) || FromHandlePermanent(self) != this) return;
    m_bTracking = FALSE;
    m_hTrackedPopup = nullptr;
    m_items.SetPressed(nullptr);
  }
}

LRESULT CALLBACK CMenuBar::MenuHook(int nCode, WPARAM wParam, LPARAM lParam) {
  HHOOK hook = g_hMenuHook;
  if (nCode == MSGF_MENU && g_pHookBar && g_pHookBar->OnHookMessage(reinterpret_cast<MSG*>(lParam))) return TRUE;
  return ::CallNextHookEx(hook, nCode, wParam, lParam);
}

BOOL CMenuBar::OnHookMessage(MSG* pMsg) {
  switch (pMsg->message) {
    case WM_KEYDOWN:
      if (pMsg->wParam == VK_ESCAPE) {
        // Esc in the first popup returns to the bar, not to the document.
        m_bStay = m_bTopLevel;
        return FALSE;
      }
      if ((pMsg->wParam == VK_LEFT && m_bTopLevel) || (pMsg->wParam == VK_RIGHT && !m_bSubmenu)) {
        SendMessage(WM_KEYDOWN, pMsg->wParam, pMsg->lParam);
        return m_bOpenNext;  // the popup is closing; the menu need not see the key
      }
      return FALSE;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDBLCLK: {
      CPoint pt = pMsg->pt;
      ScreenToClient(&pt);
      SendMessage(pMsg->message, pMsg->wParam, MAKELPARAM(pt.x, pt.y));
      return pMsg->message == WM_MOUSEMOVE && m_bOpenNext;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      // The click that closes a popup would reach the window below it: on
      // the open popup's own item it closes the popup here and goes no further.
      if (m_rcTracked.PtInRect(pMsg->pt)) {
        m_bStay = FALSE;
        m_bOpenNext = FALSE;
        CancelPopup();
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

// ---------------------------------------------------------------------------
// Keyboard and mouse.

BOOL CMenuBar::PreTranslateMessage(MSG* pMsg) {
  if (pMsg->hwnd == m_hWnd && !m_bMenuMode) m_items.RelayEvent(pMsg);
  // In menu mode the keys are the bar's own: no accelerator of the frame may take them.
  if (m_bMenuMode && pMsg->hwnd == m_hWnd && pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST) {
    ::TranslateMessage(pMsg);
    ::DispatchMessageW(pMsg);
    return TRUE;
  }
  return CFixedControlBar::PreTranslateMessage(pMsg);
}

void CMenuBar::OnKeyDown(UINT nChar, UINT, UINT) {
  if (m_bMenuMode && !m_bTracking) {
    if (nChar == VK_ESCAPE) {
      LeaveMenuMode();
      return;
    }
    if (nChar == VK_SPACE) {
      LeaveMenuMode();
      if (CFrameWnd* frame = GetFrame()) frame->PostMessage(WM_SYSCOMMAND, SC_KEYMENU, L' ');
      return;
    }
  }
  const int count = GetItemCount();
  const int current = GetHotIndex();
  int next = current;
  if (count > 0 && nChar == VK_LEFT)
    next = current - 1 < 0 ? count - 1 : current - 1;
  else if (count > 0 && nChar == VK_RIGHT)
    next = current + 1 >= count ? 0 : current + 1;
  else if ((nChar == VK_UP || nChar == VK_DOWN) && current >= 0 && !m_bTracking)
    PostMessage(WM_MENUBAR_POPUP, (WPARAM)current, 1);
  if (next != current && next >= 0) {
    if (m_bTracking)
      SwitchPopup(next, TRUE);
    else
      m_items.SetHot(m_items.GetAt(next));
    m_nCurrent = next;
  }
  Default();
}

void CMenuBar::OnSysKeyDown(UINT, UINT, UINT) { LeaveMenuMode(); }

void CMenuBar::OnKillFocus(CWnd*) {
  Default();
  LeaveMenuMode();
}

UINT CMenuBar::OnGetDlgCode() {
  UINT code = (UINT)Default();
  return m_bMenuMode ? code | DLGC_WANTALLKEYS : code;
}

void CMenuBar::OnMouseMove(UINT, CPoint point) {
  if (m_bMenuMode) {
    if (m_bTracking && point == m_ptLast) return;
    CPoint screen = point;
    ClientToScreen(&screen);
    if (::WindowFromPoint(screen) != m_hWnd) return;
    m_ptLast = point;
    const int index = m_items.HitTest(point.x, point.y);
    if (index < 0) {
      m_items.SetHot(nullptr);
      return;
    }
    if (m_items.GetAt(index) != m_items.m_pHot) m_items.SetHot(m_items.GetAt(index));
    if (index != m_nCurrent && m_bTracking) SwitchPopup(index, FALSE);
    m_nCurrent = index;
    return;
  }
  Default();
}

void CMenuBar::OnMouseLeave() {
  m_items.m_bMouseTracking = FALSE;
  Default();
}

BOOL CMenuBar::ForwardOutsidePress(UINT nFlags, CPoint point, UINT nClientMsg, UINT nNonClientMsg) {
  CRect client;
  GetClientRect(&client);
  if (!m_bMenuMode || m_bTracking || client.PtInRect(point)) return FALSE;
  // A click elsewhere ends menu mode and goes to where it was meant.
  LeaveMenuMode();
  CPoint screen = point;
  ClientToScreen(&screen);
  if (HWND target = ::WindowFromPoint(screen)) {
    LRESULT hit = ::SendMessageW(target, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
    if (hit == HTCLIENT) {
      CPoint local = screen;
      ::ScreenToClient(target, &local);
      ::PostMessageW(target, nClientMsg, nFlags, MAKELPARAM(local.x, local.y));
    } else {
      ::PostMessageW(target, nNonClientMsg, (WPARAM)hit, MAKELPARAM(screen.x, screen.y));
    }
  }
  return TRUE;
}

void CMenuBar::OnLButtonDown(UINT nFlags, CPoint point) {
  if (ForwardOutsidePress(nFlags, point, WM_LBUTTONDOWN, WM_NCLBUTTONDOWN)) return;
  const int index = m_items.HitTest(point.x, point.y);
  if (index >= 0) {
    PostMessage(WM_MENUBAR_POPUP, (WPARAM)index, 0);
  } else if (CFrameWnd* frame = GetFrame()) {
    // Empty bar: the window moves with the mouse.
    LeaveMenuMode();
    CPoint screen = point;
    ClientToScreen(&screen);
    frame->SendMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
  }
  Default();
}

void CMenuBar::OnRButtonDown(UINT nFlags, CPoint point) {
  if (ForwardOutsidePress(nFlags, point, WM_RBUTTONDOWN, WM_NCRBUTTONDOWN)) return;
  Default();
}

// ---------------------------------------------------------------------------
// CFrameMenuBar.

CFrameMenuBar::CFrameMenuBar() {
  m_colors.text = RGB(0xC0, 0xC0, 0xC0);
  m_colors.hotText = RGB(0xFF, 0xFF, 0xFF);
  m_colors.hotBackground = RGB(0x60, 0x60, 0x60);
}
