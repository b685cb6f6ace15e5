// Command targets: message-map lookup, command dispatch and command-UI updates.
#include "afxwin.h"

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr, nullptr}};
  static const AFX_MSGMAP map = {nullptr, &entries[0]};
  return &map;
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn; ++e) {
      if (e->pRegistered) {
        if (*e->pRegistered == message && message != 0) return e;
      } else if (e->nMessage == message && e->nCode == 0 && e->nID == 0 && e->nLastID == 0) {
        return e;
      }
    }
  }
  return nullptr;
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindCommandEntry(UINT message, UINT code, UINT id) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn; ++e)
      if (!e->pRegistered && e->nMessage == message && e->nCode == code && id >= e->nID && id <= e->nLastID) return e;
  }
  return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  // The message travels in the high word of nCode (0 = WM_COMMAND); updates
  // use the whole value.
  UINT message = 0;
  UINT code = (UINT)nCode;
  if (code != CN_UPDATE_COMMAND_UI) {
    message = HIWORD(code);
    code = LOWORD(code);
  }
  if (message == 0) message = WM_COMMAND;
  const AFX_MSGMAP_ENTRY* entry = FindCommandEntry(message, code, nID);
  if (!entry) return FALSE;
  if (pHandlerInfo) {
    pHandlerInfo->pTarget = this;
    pHandlerInfo->pEntry = entry;
    return TRUE;
  }
  const BOOL isUpdate = code == CN_UPDATE_COMMAND_UI || (code == 0xFFFF && message == WM_REFLECT_BASE + WM_COMMAND);
  CCmdUI* ui = isUpdate ? static_cast<CCmdUI*>(pExtra) : nullptr;
  if (ui) ui->m_bContinueRouting = FALSE;
  AFX_MSGCALL call = {message, 0, 0, nID, code, pExtra, 0};
  BOOL handled = entry->pfn(this, call);
  // An update handler may ask that the update travel on.
  if (ui && ui->m_bContinueRouting) return FALSE;
  return handled;
}

// ---------------------------------------------------------------------------
// CCmdUI.

void CCmdUI::Enable(BOOL bOn) {
  if (m_pMenu) {
    if (!m_pSubMenu) m_pMenu->EnableMenuItem(m_nIndex, MF_BYPOSITION | (bOn ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
  } else if (m_pOther) {
    HWND h = m_pOther->m_hWnd;
    // Move the focus on before disabling the control that has it.
    if (!bOn && ::GetFocus() == h) {
      HWND parent = ::GetParent(h);
      if (parent) ::SendMessageW(parent, WM_NEXTDLGCTL, 0, FALSE);
    }
    ::EnableWindow(h, bOn);
  }
  m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int nCheck) {
  if (m_pMenu) {
    if (!m_pSubMenu) m_pMenu->CheckMenuItem(m_nIndex, MF_BYPOSITION | (nCheck ? MF_CHECKED : MF_UNCHECKED));
  } else if (m_pOther) {
    HWND h = m_pOther->m_hWnd;
    if (::SendMessageW(h, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) ::SendMessageW(h, BM_SETCHECK, (WPARAM)nCheck, 0);
  }
}

void CCmdUI::SetRadio(BOOL bOn) {
  if (m_pMenu) {
    if (m_pSubMenu) return;
    MENUITEMINFOW mii = {};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_FTYPE | MIIM_STATE;
    ::GetMenuItemInfoW(m_pMenu->m_hMenu, m_nIndex, TRUE, &mii);
    mii.fType = bOn ? (mii.fType | MFT_RADIOCHECK) : (mii.fType & ~MFT_RADIOCHECK);
    mii.fState = bOn ? (mii.fState | MFS_CHECKED) : (mii.fState & ~MFS_CHECKED);
    ::SetMenuItemInfoW(m_pMenu->m_hMenu, m_nIndex, TRUE, &mii);
  } else {
    SetCheck(bOn ? 1 : 0);
  }
}

void CCmdUI::SetText(LPCTSTR text) {
  if (m_pMenu) {
    if (m_pSubMenu) return;
    MENUITEMINFOW mii = {};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_STRING;
    mii.dwTypeData = const_cast<LPWSTR>(text ? text : L"");
    ::SetMenuItemInfoW(m_pMenu->m_hMenu, m_nIndex, TRUE, &mii);
  } else if (m_pOther) {
    AfxSetWindowText(m_pOther->m_hWnd, text);
  }
}

BOOL CCmdUI::DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) {
  if (m_nID == 0 || LOWORD(m_nID) == 0xFFFF) return TRUE;  // separators and popups have no command
  m_bEnableChanged = FALSE;
  BOOL handled = pTarget->OnCmdMsg(m_nID, (int)CN_UPDATE_COMMAND_UI, this, nullptr);
  if (bDisableIfNoHndler && !m_bEnableChanged) {
    AFX_CMDHANDLERINFO info = {nullptr, nullptr};
    BOOL hasHandler = pTarget->OnCmdMsg(m_nID, (int)CN_COMMAND, this, &info);
    Enable(hasHandler);
  }
  return handled;
}

// ---------------------------------------------------------------------------
// Wait cursor.

namespace {
thread_local int t_waitCount = 0;
thread_local HCURSOR t_savedCursor = nullptr;
}  // namespace

void CCmdTarget::BeginWaitCursor() {
  if (t_waitCount++ == 0)
    t_savedCursor = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  else
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
}

void CCmdTarget::EndWaitCursor() {
  if (t_waitCount > 0 && --t_waitCount == 0)
    ::SetCursor(t_savedCursor ? t_savedCursor : ::LoadCursorW(nullptr, IDC_ARROW));
}

void CCmdTarget::RestoreWaitCursor() {
  if (t_waitCount > 0) ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
}

// Updates the items of a popup menu through a command target: the frame
// window's rule, shared by dialogs that own menus.
void AfxUpdateMenuPopup(CCmdTarget* pTarget, CMenu* pPopup, BOOL bAutoMenuEnable, CMenu* pParentMenu) {
  CCmdUI state;
  state.m_pMenu = pPopup;
  state.m_pParentMenu = pParentMenu;
  AFX_THREAD_STATE* st = AfxGetThreadState();
  if (st->m_hTrackingMenu == pPopup->m_hMenu) state.m_pParentMenu = pPopup;
  state.m_nIndexMax = (UINT)pPopup->GetMenuItemCount();
  for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; state.m_nIndex++) {
    state.m_nID = pPopup->GetMenuItemID((int)state.m_nIndex);
    if (state.m_nID == 0) continue;  // separator
    if (state.m_nID == (UINT)-1) {
      // A popup: updated through its first item, never disabled automatically.
      state.m_pSubMenu = pPopup->GetSubMenu((int)state.m_nIndex);
      if (!state.m_pSubMenu || (state.m_nID = state.m_pSubMenu->GetMenuItemID(0)) == 0 || state.m_nID == (UINT)-1)
        continue;
      state.DoUpdate(pTarget, FALSE);
    } else {
      state.m_pSubMenu = nullptr;
      state.DoUpdate(pTarget, bAutoMenuEnable && state.m_nID < 0xF000);
    }
    // A handler that removed items moves the index back over them.
    UINT count = (UINT)pPopup->GetMenuItemCount();
    if (count < state.m_nIndexMax) {
      state.m_nIndex -= (state.m_nIndexMax - count);
      while (state.m_nIndex < count && pPopup->GetMenuItemID((int)state.m_nIndex) == state.m_nID) state.m_nIndex++;
    }
    state.m_nIndexMax = count;
  }
}
