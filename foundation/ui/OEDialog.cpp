#include "foundation/ui/OEDialog.h"

#include <string>

// ---------------------------------------------------------------------------
// CRelayToolTipCtrl

IMPLEMENT_DYNAMIC(CRelayToolTipCtrl, CToolTipCtrl)

BEGIN_MESSAGE_MAP(CRelayToolTipCtrl, CToolTipCtrl)
  ON_MESSAGE(TTM_WINDOWFROMPOINT, OnWindowFromPoint)
END_MESSAGE_MAP()

namespace {
BOOL IsGroupBox(HWND hWnd) {
  wchar_t cls[16] = {0};
  ::GetClassNameW(hWnd, cls, 16);
  return lstrcmpiW(cls, L"Button") == 0 && (::GetWindowLongPtrW(hWnd, GWL_STYLE) & 0x0F) == BS_GROUPBOX;
}

// The visible child under a screen point, enabled or not; a group box only
// when nothing else is there.
HWND ChildAtPoint(HWND hParent, POINT pt) {
  HWND groupBox = nullptr;
  for (HWND h = ::GetWindow(hParent, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(h)) continue;
    RECT r;
    ::GetWindowRect(h, &r);
    if (!::PtInRect(&r, pt)) continue;
    if (!IsGroupBox(h)) return h;
    if (!groupBox) groupBox = h;
  }
  return groupBox;
}
}  // namespace

LRESULT CRelayToolTipCtrl::OnWindowFromPoint(WPARAM, LPARAM lParam) {
  HWND hWnd = (HWND)Default();
  if (!lParam) return (LRESULT)hWnd;
  const POINT pt = *reinterpret_cast<const POINT*>(lParam);
  while (hWnd) {
    HWND child = ChildAtPoint(hWnd, pt);
    if (!child) break;
    hWnd = child;
  }
  return (LRESULT)hWnd;
}

void CRelayToolTipCtrl::RelayEvent(LPMSG pMsg) {
  if (!pMsg || pMsg->message != WM_MOUSEMOVE || !m_hWnd) return;
  // Disabled controls get no mouse messages: find the window under the
  // cursor and present the move as if it had been sent there.
  MSG msg = *pMsg;
  POINT pt = pMsg->pt;
  HWND hWndHit = (HWND)SendMessage(TTM_WINDOWFROMPOINT, 0, (LPARAM)&pt);
  if (!hWndHit) return;
  msg.hwnd = hWndHit;
  ::ScreenToClient(hWndHit, &pt);
  msg.lParam = MAKELPARAM(pt.x, pt.y);
  SendMessage(TTM_ACTIVATE, TRUE);
  SendMessage(TTM_RELAYEVENT, 0, (LPARAM)&msg);
}

// ---------------------------------------------------------------------------
// Shared by the dialog bases.

BOOL CreateDialogToolTip(CWnd* pDialog, CToolTipCtrl& toolTip, DWORD dwStyle) {
  if (!toolTip.Create(pDialog, dwStyle)) return FALSE;
  toolTip.SendMessage(TTM_SETMAXTIPWIDTH, 0, 0xFFFF);
  return TRUE;
}

namespace {
// Narrow copy within a fixed buffer, never splitting a double-byte character.
void CopyAnsi(const CString& text, char* out, int size) {
  int n = ::WideCharToMultiByte(CP_ACP, 0, text, text.GetLength(), nullptr, 0, nullptr, nullptr);
  std::string bytes((size_t)(n > 0 ? n : 0), '\0');
  if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, text, text.GetLength(), &bytes[0], n, nullptr, nullptr);
  int used = 0;
  while (used < (int)bytes.size()) {
    int step = ::IsDBCSLeadByte((BYTE)bytes[used]) ? 2 : 1;
    if (used + step > size - 1 || used + step > (int)bytes.size()) break;
    used += step;
  }
  memcpy(out, bytes.data(), (size_t)used);
  out[used] = '\0';
}
}  // namespace

BOOL LoadToolTipText(NMHDR* pNMHDR, LRESULT* pResult) {
  const BOOL ansi = pNMHDR->code == TTN_NEEDTEXTA;
  NMTTDISPINFOA* pA = reinterpret_cast<NMTTDISPINFOA*>(pNMHDR);
  NMTTDISPINFOW* pW = reinterpret_cast<NMTTDISPINFOW*>(pNMHDR);
  UINT_PTR id = pNMHDR->idFrom;
  const UINT flags = ansi ? pA->uFlags : pW->uFlags;
  if (flags & TTF_IDISHWND) id = (WORD)::GetDlgCtrlID((HWND)id);

  CString tip;
  if (id != 0) {
    CString full;
    if (id > 0xFFFF || !AfxLoadString((UINT)id, full)) return FALSE;
    if (full.GetLength() > 255) full = full.Left(255);
    int newline = full.Find(L'\n');
    if (newline >= 0) tip = full.Mid(newline + 1);
  }
  if (ansi) {
    CopyAnsi(tip, pA->szText, (int)sizeof(pA->szText));
    pA->lpszText = pA->szText;
  } else {
    lstrcpynW(pW->szText, tip, (int)(sizeof(pW->szText) / sizeof(pW->szText[0])));
    pW->lpszText = pW->szText;
  }
  if (pResult) *pResult = 0;
  // Keep the tip above the dialog.
  ::SetWindowPos(pNMHDR->hwndFrom, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  return TRUE;
}

void UpdateDialogMenuPopup(CWnd* pDialog, CMenu* pPopupMenu, BOOL bSysMenu, BOOL bAutoMenuEnable) {
  AfxCancelModes(pDialog->m_hWnd);
  if (bSysMenu || !pPopupMenu || !pPopupMenu->m_hMenu) return;
  // A popup of the dialog's own menu bar knows the bar as its parent menu.
  CMenu* pParentMenu = nullptr;
  if (::GetMenu(pDialog->m_hWnd)) {
    HWND hTop = pDialog->GetTopLevelParent()->GetSafeHwnd();
    HMENU hBar = hTop ? ::GetMenu(hTop) : nullptr;
    int count = hBar ? ::GetMenuItemCount(hBar) : 0;
    for (int i = 0; i < count; ++i) {
      if (::GetSubMenu(hBar, i) == pPopupMenu->m_hMenu) {
        pParentMenu = CMenu::FromHandle(hBar);
        break;
      }
    }
  }
  AfxUpdateMenuPopup(pDialog, pPopupMenu, bAutoMenuEnable, pParentMenu);
}

// ---------------------------------------------------------------------------
// COEDialog

IMPLEMENT_DYNAMIC(COEDialog, CDialog)

BEGIN_MESSAGE_MAP(COEDialog, CDialog)
  ON_WM_CREATE()
  ON_WM_INITMENUPOPUP()
  ON_WM_LBUTTONDOWN()
  ON_NOTIFY_EX_RANGE(TTN_NEEDTEXTW, 0, 0xFFFF, OnToolTipText)
  ON_NOTIFY_EX_RANGE(TTN_NEEDTEXTA, 0, 0xFFFF, OnToolTipText)
END_MESSAGE_MAP()

COEDialog::COEDialog(UINT nIDTemplate, CWnd* pParentWnd) : CDialog(nIDTemplate, pParentWnd) {}

COEDialog::~COEDialog() {
  if (m_wndToolTip.m_hWnd) m_wndToolTip.DestroyWindow();
}

int COEDialog::OnCreate(LPCREATESTRUCT lpCreateStruct) {
  if (CDialog::OnCreate(lpCreateStruct) == -1) return -1;
  if (!CreateDialogToolTip(this, m_wndToolTip, TTS_ALWAYSTIP | TTS_NOPREFIX)) return -1;
  return 0;
}

BOOL COEDialog::PreTranslateMessage(MSG* pMsg) {
  m_wndToolTip.RelayEvent(pMsg);
  return CDialog::PreTranslateMessage(pMsg);
}

void COEDialog::OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu) {
  Default();
  UpdateDialogMenuPopup(this, pPopupMenu, bSysMenu, m_bAutoMenuEnable);
}

void COEDialog::OnLButtonDown(UINT, CPoint) { Default(); }

BOOL COEDialog::OnToolTipText(UINT, NMHDR* pNMHDR, LRESULT* pResult) { return LoadToolTipText(pNMHDR, pResult); }
