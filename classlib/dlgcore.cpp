// Dialogs: creation from templates, the modal run and initial control data.
#include "afxwin.h"

#include <map>
#include <mutex>
#include <vector>

namespace {
// Owners disabled for modal windows, with the number of those still up.
std::mutex g_ownersLock;
std::map<HWND, int> g_owners;

// The lock, taken while answering what other threads send this one: its
// holder may be enabling a window of this thread, which waits for the answer.
std::unique_lock<std::mutex> LockOwners() {
  std::unique_lock<std::mutex> lock(g_ownersLock, std::try_to_lock);
  while (!lock.owns_lock()) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    lock.try_lock();
  }
  return lock;
}
}  // namespace

CModalOwner::CModalOwner(HWND owner) {
  if (owner) owner = ::GetAncestor(owner, GA_ROOT);
  if (!owner || owner == ::GetDesktopWindow() || !::IsWindow(owner)) return;
  auto lock = LockOwners();
  auto it = g_owners.find(owner);
  if (it != g_owners.end()) {
    ++it->second;
  } else {
    if (!::IsWindowEnabled(owner)) return;
    g_owners[owner] = 1;
    ::EnableWindow(owner, FALSE);
  }
  m_hOwner = owner;
}

BOOL CModalOwner::Release() {
  if (!m_hOwner) return FALSE;
  const HWND owner = m_hOwner;
  m_hOwner = nullptr;
  auto lock = LockOwners();
  auto it = g_owners.find(owner);
  if (it == g_owners.end()) return FALSE;
  if (--it->second > 0) {
    // The system's own modal windows enable and activate their owner when
    // they end: the owner stays disabled, and the modal window still up on
    // it comes to the front again.
    if (::IsWindowEnabled(owner)) ::EnableWindow(owner, FALSE);
    if (::GetForegroundWindow() == owner) {
      HWND modal = owner;
      ::EnumWindows(
          [](HWND hwnd, LPARAM param) -> BOOL {
            HWND* found = reinterpret_cast<HWND*>(param);
            if (::GetWindow(hwnd, GW_OWNER) != *found || !::IsWindowVisible(hwnd) || !::IsWindowEnabled(hwnd))
              return TRUE;
            *found = hwnd;
            return FALSE;
          },
          (LPARAM)&modal);
      if (modal != owner) ::SetForegroundWindow(modal);
    }
    return FALSE;
  }
  g_owners.erase(it);
  ::EnableWindow(owner, TRUE);
  return TRUE;
}

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_COMMAND(IDOK, OnOK)
  ON_COMMAND(IDCANCEL, OnCancel)
  ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
  ON_MESSAGE(WM_SETFONT, HandleSetFont)
END_MESSAGE_MAP()

CDialog::CDialog() {}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate), m_lpszTemplateName(MAKEINTRESOURCEW(nIDTemplate)), m_pParentWnd(pParentWnd) {}

CDialog::CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd)
    : m_lpszTemplateName(lpszTemplateName), m_pParentWnd(pParentWnd) {
  if (IS_INTRESOURCE(lpszTemplateName)) m_nIDHelp = (UINT)(UINT_PTR)lpszTemplateName;
}

CDialog::~CDialog() {
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this && (m_nFlags & WF_CREATED) && ::IsWindow(m_hWnd)) DestroyWindow();
}

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    CDialog* dlg = DYNAMIC_DOWNCAST(CDialog, CWnd::FromHandlePermanent(hWnd));
    return dlg ? dlg->OnInitDialog() : TRUE;
  }
  return FALSE;
}

BOOL CDialog::CreateDlgIndirect(LPCDLGTEMPLATE tmpl, CWnd* pParentWnd, HINSTANCE hInst) {
  if (!tmpl) return FALSE;
  AfxHookWindowCreate(this);
  HWND hWnd = ::CreateDialogIndirectParamW(hInst, tmpl, pParentWnd->GetSafeHwnd(), AfxDlgProc, 0);
  AfxUnhookWindowCreate();
  return hWnd != nullptr;  // a refused creation detached itself at WM_NCDESTROY
}

BOOL CDialog::Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd) {
  m_lpszTemplateName = lpszTemplateName;
  if (IS_INTRESOURCE(lpszTemplateName) && m_nIDHelp == 0) m_nIDHelp = (UINT)(UINT_PTR)lpszTemplateName;
  HINSTANCE inst = AfxGetResourceHandle();
  auto tmpl = static_cast<LPCDLGTEMPLATE>(AfxLockNamedResource(lpszTemplateName, RT_DIALOG, nullptr, &inst));
  if (!tmpl) return FALSE;
  m_pParentWnd = pParentWnd;
  return CreateDlgIndirect(tmpl, pParentWnd, inst);
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd, void* lpDialogInit) {
  m_lpDialogInit = lpDialogInit;
  m_pParentWnd = pParentWnd;
  return CreateDlgIndirect(lpDialogTemplate, pParentWnd, AfxGetResourceHandle());
}

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd, void* lpDialogInit) {
  m_lpDialogTemplate = lpDialogTemplate;
  m_lpDialogInit = lpDialogInit;
  m_pParentWnd = pParentWnd;
  return TRUE;
}

HWND CDialog::PreModal() {
  HWND owner = CWnd::GetSafeOwner(m_pParentWnd, &m_hWndTop)->GetSafeHwnd();
  AfxCancelModes(owner);
  return owner;
}

void CDialog::PostModal() { m_hWndTop = nullptr; }

INT_PTR CDialog::DoModal() {
  HINSTANCE inst = AfxGetResourceHandle();
  LPCDLGTEMPLATE tmpl = m_lpDialogTemplate;
  if (!tmpl && m_lpszTemplateName)
    tmpl = static_cast<LPCDLGTEMPLATE>(AfxLockNamedResource(m_lpszTemplateName, RT_DIALOG, nullptr, &inst));
  if (!tmpl) return -1;

  HWND hWndParent = PreModal();
  CModalOwner disabled(hWndParent);
  m_nModalResult = -1;
  m_nFlags |= WF_CONTINUEMODAL;
  if (CreateDlgIndirect(tmpl, CWnd::FromHandle(hWndParent), inst)) {
    if (m_nFlags & WF_CONTINUEMODAL) {
      DWORD flags = MLF_SHOWONIDLE;
      if (GetStyle() & DS_NOIDLEMSG) flags |= MLF_NOIDLEMSG;
      RunModalLoop(flags);
    }
    if (m_hWnd)
      ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
  }
  m_nFlags &= ~WF_CONTINUEMODAL;
  // While another modal window keeps the owner disabled, that one stays active.
  if (disabled.Release() && m_hWnd && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(hWndParent);
  if (m_hWnd) DestroyWindow();
  PostModal();
  return m_nModalResult;
}

void CDialog::EndDialog(int nResult) {
  // A modal run ends its own loop; the system's EndDialog would enable the
  // owner, which DoModal leaves to the last of its modal windows.
  if (m_nFlags & (WF_MODALLOOP | WF_CONTINUEMODAL)) {
    EndModalLoop(nResult);
    return;
  }
  ::EndDialog(m_hWnd, nResult);
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
  PreInitDialog();
  return Default();  // the dialog procedure calls OnInitDialog
}

LRESULT CDialog::HandleSetFont(WPARAM wParam, LPARAM) {
  OnSetFont(CFont::FromHandle((HFONT)wParam));
  return Default();
}

BOOL CDialog::OnInitDialog() {
  BOOL ok = m_lpDialogInit ? ExecuteDlgInit(m_lpDialogInit) : ExecuteDlgInit(m_lpszTemplateName);
  if (!ok) {
    EndDialog(-1);
    return FALSE;
  }
  if (!UpdateData(FALSE)) {
    EndDialog(-1);
    return FALSE;
  }
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  return RouteCmdToOwner(nID, nCode, pExtra, pHandlerInfo);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
  if (CWnd::PreTranslateMessage(pMsg)) return TRUE;
  const UINT m = pMsg->message;
  const BOOL input = (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST);
  if (!input || !m_hWnd) return FALSE;
  if (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd)) return FALSE;
  // Escape in a multi-line edit still cancels the dialog.
  if (m == WM_KEYDOWN && (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_CANCEL) &&
      (::GetWindowLongPtrW(pMsg->hwnd, GWL_STYLE) & ES_MULTILINE)) {
    wchar_t cls[8] = {0};
    ::GetClassNameW(pMsg->hwnd, cls, 8);
    HWND cancel = ::GetDlgItem(m_hWnd, IDCANCEL);
    if (lstrcmpiW(cls, L"Edit") == 0 && (!cancel || ::IsWindowEnabled(cancel))) {
      SendMessage(WM_COMMAND, IDCANCEL, 0);
      return TRUE;
    }
  }
  return ::IsDialogMessageW(m_hWnd, pMsg);
}

// ---------------------------------------------------------------------------
// Initial control data: records of control id (WORD), message (WORD), length
// (DWORD) and that many bytes of data, ended by a zero id. The messages are
// the 16-bit list- and combo-box "add string" numbers, or 0x1234 for a
// ComboBoxEx item; the strings are ANSI and terminated.

BOOL CDialog::ExecuteDlgInit(LPCTSTR lpszResourceName) {
  if (!lpszResourceName) return TRUE;
  void* data = AfxLockNamedResource(lpszResourceName, RT_DLGINIT);
  return data ? ExecuteDlgInit(data) : TRUE;
}

BOOL CDialog::ExecuteDlgInit(void* lpResource) {
  if (!lpResource) return TRUE;
  enum : WORD { kListAdd16 = 0x0401, kComboAdd16 = 0x0403, kComboExAdd = 0x1234 };
  BOOL ok = TRUE;
  const BYTE* p = static_cast<const BYTE*>(lpResource);
  for (;;) {
    WORD id, msg;
    DWORD len;
    memcpy(&id, p, sizeof(id));
    if (id == 0) break;
    memcpy(&msg, p + 2, sizeof(msg));
    memcpy(&len, p + 4, sizeof(len));
    const char* text = reinterpret_cast<const char*>(p + 8);
    p += 8 + len;
    if (msg != kListAdd16 && msg != kComboAdd16 && msg != kComboExAdd) continue;
    // The string may lack its terminator; take at most len bytes.
    int n = 0;
    while ((DWORD)n < len && text[n]) ++n;
    int wn = ::MultiByteToWideChar(CP_ACP, 0, text, n, nullptr, 0);
    std::vector<wchar_t> wide((size_t)wn + 1, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, n, wide.data(), wn);
    HWND hCtl = ::GetDlgItem(m_hWnd, id);
    if (!hCtl) {
      ok = FALSE;
      continue;
    }
    LRESULT r;
    if (msg == kComboExAdd) {
      COMBOBOXEXITEMW item = {};
      item.mask = CBEIF_TEXT;
      item.iItem = -1;
      item.pszText = wide.data();
      r = ::SendMessageW(hCtl, CBEM_INSERTITEMW, 0, (LPARAM)&item);
    } else {
      r = ::SendMessageW(hCtl, msg == kListAdd16 ? LB_ADDSTRING : CB_ADDSTRING, 0, (LPARAM)wide.data());
    }
    if (r < 0) ok = FALSE;
  }
  return ok;
}
