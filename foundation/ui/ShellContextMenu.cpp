// The shell's context menu of one item: fill, hook of the owner, invoke.
#include "foundation/ui/ShellContextMenu.h"

const wchar_t CShellContextMenu::kPropName[] = L"ShellContextMenu";

namespace {
// The window of the outermost frame among the window and its parents (the
// class library's top-level frame); NULL in a dialog-based program.
HWND TopLevelFrameHandle(HWND hWnd) {
  HWND frame = nullptr;
  for (HWND h = hWnd; h; h = ::GetParent(h))
    if (CWnd* p = CWnd::FromHandlePermanent(h))
      if (p->AsFrameWnd()) frame = h;
  return frame;
}
}  // namespace

CShellContextMenu::~CShellContextMenu() {
  if (m_pAttachedWnd) UnhookWindow();
  if (m_pContextMenu) m_pContextMenu->Release();
}

BOOL CShellContextMenu::QueryFromItem(IShellFolder* folder, LPCITEMIDLIST item) {
  IContextMenu* menu = nullptr;
  if (folder && item) {
    LPCITEMIDLIST items[1] = {item};
    if (FAILED(folder->GetUIObjectOf(nullptr, 1, items, IID_IContextMenu, nullptr, reinterpret_cast<void**>(&menu))))
      menu = nullptr;
  }
  if (m_pContextMenu) m_pContextMenu->Release();
  m_pContextMenu = menu;
  m_nFirstId = m_nLastId = 0;
  return m_pContextMenu != nullptr;
}

BOOL CShellContextMenu::FillMenu(HMENU menu, UINT position, UINT firstId, UINT lastId, UINT flags) {
  if (!m_pContextMenu) return FALSE;
  m_nFirstId = firstId;
  m_nLastId = lastId;
  const UINT oldDefault = ::GetMenuDefaultItem(menu, TRUE, GMDI_USEDISABLED);
  HRESULT hr = m_pContextMenu->QueryContextMenu(menu, position, firstId, lastId, flags);
  if (flags & CMF_NODEFAULT) ::SetMenuDefaultItem(menu, oldDefault, TRUE);
  if (FAILED(hr)) {
    m_nFirstId = m_nLastId = 0;
    return FALSE;
  }
  const UINT used = HRESULT_CODE(hr);
  if (used == 0) {
    m_nFirstId = m_nLastId = 0;  // nothing added: no id may be invoked
    return TRUE;
  }
  m_nLastId = firstId + used - 1;
  return TRUE;
}

BOOL CShellContextMenu::InvokeCommand(UINT id) {
  if (!IsCommandId(id)) return FALSE;
  CMINVOKECOMMANDINFO info = {};
  info.cbSize = sizeof(info);
  info.fMask = 0;
  info.hwnd = m_pAttachedWnd ? m_pAttachedWnd->GetSafeHwnd() : nullptr;
  info.lpVerb = MAKEINTRESOURCEA(LOWORD(id - m_nFirstId));
  info.nShow = SW_SHOWNORMAL;
  return m_pContextMenu->InvokeCommand(&info) == S_OK;
}

BOOL CShellContextMenu::GetCommandHelp(UINT id, CString& text) {
  if (!IsCommandId(id)) return FALSE;
  const UINT_PTR offset = LOWORD(id - m_nFirstId);
  wchar_t wide[260] = {0};
  HRESULT hr = m_pContextMenu->GetCommandString(offset, GCS_HELPTEXTW, nullptr, reinterpret_cast<LPSTR>(wide), 260);
  wide[259] = 0;
  if (wide[0] != 0) {
    text = wide;
    return SUCCEEDED(hr);
  }
  char narrow[260] = {0};
  hr = m_pContextMenu->GetCommandString(offset, GCS_HELPTEXTA, nullptr, narrow, 260);
  narrow[259] = 0;
  if (narrow[0] != 0) text = CString(narrow);
  return SUCCEEDED(hr);
}

void CShellContextMenu::Attach(CWnd* wnd) {
  if (m_pAttachedWnd || !wnd) UnhookWindow();
  m_pAttachedWnd = wnd;
  if (wnd) HookWindow();
}

void CShellContextMenu::HookWindow() {
  HWND h = m_pAttachedWnd->GetSafeHwnd();
  if (!h) {
    m_pAttachedWnd = nullptr;
    return;
  }
  m_hAttached = h;
  m_pfnOldProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(h, GWLP_WNDPROC));
  ::SetPropW(h, kPropName, this);
  ::SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CShellContextMenu::WindowProc));
}

void CShellContextMenu::UnhookWindow() {
  if (m_hAttached) {
    ::RemovePropW(m_hAttached, kPropName);
    if (m_pfnOldProc && ::IsWindow(m_hAttached))
      ::SetWindowLongPtrW(m_hAttached, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnOldProc));
  }
  m_hAttached = nullptr;
  m_pfnOldProc = nullptr;
  m_pAttachedWnd = nullptr;
}

LRESULT CALLBACK CShellContextMenu::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* host = static_cast<CShellContextMenu*>(::GetPropW(hWnd, kPropName));
  if (!host) return ::DefWindowProcW(hWnd, message, wParam, lParam);
  WNDPROC next = host->m_pfnOldProc;
  LRESULT result = 0;
  if (host->HandleMenuMessage(message, wParam, lParam, &result)) return result;
  // The window's own destroy runs without the hook.
  if (message == WM_DESTROY) host->UnhookWindow();
  return ::CallWindowProcW(next, hWnd, message, wParam, lParam);
}

BOOL CShellContextMenu::HandleMenuMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (!m_pContextMenu) return FALSE;
  switch (message) {
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_INITMENUPOPUP: {
      if (message == WM_DRAWITEM) {
        auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (!dis || dis->CtlType != ODT_MENU) return FALSE;
      } else if (message == WM_MEASUREITEM) {
        auto* mis = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
        if (!mis || mis->CtlType != ODT_MENU) return FALSE;
      }
      if (result) *result = message == WM_INITMENUPOPUP ? 0 : TRUE;
      IContextMenu2* menu2 = nullptr;
      if (FAILED(m_pContextMenu->QueryInterface(IID_IContextMenu2, reinterpret_cast<void**>(&menu2))) || !menu2)
        return FALSE;
      const BOOL handled = menu2->HandleMenuMsg(message, wParam, lParam) == S_OK;
      menu2->Release();
      return handled;
    }
    case WM_MENUSELECT: {
      if (!m_pAttachedWnd || !m_hAttached) return FALSE;
      HWND frame = TopLevelFrameHandle(m_hAttached);
      if (!frame) return FALSE;
      if (result) *result = 0;
      const UINT flags = HIWORD(wParam);
      if (flags == 0xFFFF) return FALSE;  // the menu closes
      UINT id = LOWORD(wParam);
      if (flags & MF_POPUP) {
        HMENU sub = ::GetSubMenu(reinterpret_cast<HMENU>(lParam), (int)LOWORD(wParam));
        id = sub ? ::GetMenuItemID(sub, 0) : 0;
      }
      if ((flags & MF_SEPARATOR) || (id != 0 && IsCommandId(id))) {
        CString help;
        if (!(flags & MF_SEPARATOR)) GetCommandHelp(id, help);
        ::SendMessageW(frame, WM_SETMESSAGESTRING, 0, reinterpret_cast<LPARAM>(static_cast<LPCWSTR>(help)));
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}
