// The system's open and save dialogs.
#include "afxwin.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CFileDialog, CDialog)

namespace {
const UINT kHelpCommand = 0xE146;  // the help command of the class library
const UINT kHelpButton = 0x040E;   // pshHelp

// The dialog's registered messages (ids kept for the hook procedure).
UINT g_msgLBSelChanged, g_msgShareViolation, g_msgFileOK, g_msgHelp, g_msgColorOK;

void RegisterDialogMessages() {
  g_msgLBSelChanged = ::RegisterWindowMessageW(LBSELCHSTRINGW);
  g_msgShareViolation = ::RegisterWindowMessageW(SHAREVISTRINGW);
  g_msgFileOK = ::RegisterWindowMessageW(FILEOKSTRINGW);
  g_msgHelp = ::RegisterWindowMessageW(HELPMSGSTRINGW);
  g_msgColorOK = ::RegisterWindowMessageW(SETRGBSTRINGW);
}
}  // namespace

UINT_PTR CALLBACK AfxCommDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!hWnd) return 0;
  AFX_THREAD_STATE* st = AfxGetThreadState();
  if (st->m_pAlternateWndInit && !CWnd::FromHandlePermanent(hWnd)) {
    // The explorer-style dialog's child window gets the dialog object.
    st->m_pAlternateWndInit->SubclassWindow(hWnd);
    st->m_pAlternateWndInit = nullptr;
  }
  if (message == WM_INITDIALOG) {
    RegisterDialogMessages();
    return (UINT_PTR)AfxDlgProc(hWnd, message, wParam, lParam);
  }
  if ((g_msgHelp && message == g_msgHelp) || (message == WM_COMMAND && LOWORD(wParam) == kHelpButton)) {
    ::SendMessageW(hWnd, WM_COMMAND, kHelpCommand, 0);
    return 1;
  }
  // Explorer-style dialogs report through WM_NOTIFY, not the registered messages.
  return 0;
}

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt, LPCTSTR lpszFileName, DWORD dwFlags,
                         LPCTSTR lpszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog) {
  m_pParentWnd = pParentWnd;
  m_nIDHelp = bOpenFileDialog ? 0x7004 : 0x7005;
  m_fileBuffer.assign(64 * 1024, L'\0');
  if (lpszFileName) lstrcpynW(m_fileBuffer.data(), lpszFileName, (int)m_fileBuffer.size());
  m_strDefExt = lpszDefExt ? lpszDefExt : L"";
  // "Text|*.txt|All|*.*||" becomes the system's list of terminated parts,
  // ended by an empty part whether or not the caller closed it.
  if (lpszFilter && *lpszFilter) {
    for (LPCTSTR p = lpszFilter; *p; ++p) m_filter.push_back(*p == L'|' ? L'\0' : *p);
    m_filter.push_back(L'\0');
    m_filter.push_back(L'\0');
  }
  m_ofn.lStructSize = sizeof(m_ofn);
  m_ofn.Flags = dwFlags | OFN_EXPLORER | OFN_ENABLESIZING | OFN_ENABLEHOOK;
  m_ofn.lpfnHook = AfxCommDlgProc;
  m_ofn.lpstrFile = m_fileBuffer.data();
  m_ofn.nMaxFile = (DWORD)m_fileBuffer.size();
  m_ofn.lpstrFileTitle = m_fileTitle;
  m_ofn.nMaxFileTitle = MAX_PATH;
  m_ofn.lpstrDefExt = m_strDefExt.IsEmpty() ? nullptr : (LPCTSTR)m_strDefExt;
  m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.data();
}

void CFileDialog::SetFileBufferSize(DWORD nChars) {
  std::vector<wchar_t> buffer((size_t)nChars + 1, L'\0');
  lstrcpynW(buffer.data(), m_fileBuffer.data(), (int)std::min<size_t>(buffer.size(), m_fileBuffer.size()));
  m_fileBuffer.swap(buffer);
  m_ofn.lpstrFile = m_fileBuffer.data();
  m_ofn.nMaxFile = nChars;
}

INT_PTR CFileDialog::DoModal() {
  // Everything after the first name is cleared, so a multiple selection ends
  // in two terminators.
  LPWSTR file = m_ofn.lpstrFile;
  if (file && m_ofn.nMaxFile) {
    size_t len = wcsnlen(file, m_ofn.nMaxFile);
    std::fill(file + len, file + m_ofn.nMaxFile, L'\0');
  }
  HWND hFocus = ::GetFocus();
  m_ofn.hwndOwner = PreModal();
  m_ofn.hInstance = AfxGetResourceHandle();
  AfxUnhookWindowCreate();
  CModalOwner disabled(m_ofn.hwndOwner);
  AFX_THREAD_STATE* st = AfxGetThreadState();
  if ((m_ofn.Flags & OFN_EXPLORER) && (m_ofn.Flags & OFN_ENABLEHOOK)) st->m_pAlternateWndInit = this;
  BOOL ok = m_bOpenFileDialog ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
  st->m_pAlternateWndInit = nullptr;
  disabled.Release();
  if (hFocus && ::IsWindow(hFocus)) ::SetFocus(hFocus);
  // The child window is gone with the dialog; nothing of it stays attached.
  if (m_hWnd && !::IsWindow(m_hWnd)) Detach();
  PostModal();
  return ok ? IDOK : IDCANCEL;
}

BOOL CFileDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (CDialog::OnNotify(wParam, lParam, pResult)) return TRUE;
  const OFNOTIFYW* pNotify = reinterpret_cast<const OFNOTIFYW*>(lParam);
  LRESULT result = 0;
  switch (pNotify->hdr.code) {
    case CDN_INITDONE:
      OnInitDone();
      break;
    case CDN_SELCHANGE:
      OnFileNameChange();
      break;
    case CDN_FOLDERCHANGE:
      OnFolderChange();
      break;
    case CDN_SHAREVIOLATION:
      result = OnShareViolation(pNotify->pszFile);
      break;
    case CDN_HELP:
      if (!SendMessage(WM_COMMAND, kHelpCommand)) SendMessage(WM_COMMANDHELP, 0, 0);
      break;
    case CDN_FILEOK:
      result = OnFileNameOK();
      break;
    case CDN_TYPECHANGE:
      OnTypeChange();
      break;
    default:
      return FALSE;
  }
  if (pResult) *pResult = result;
  // The dialog reads the answer from the child's message result.
  ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
  return TRUE;
}

CString CFileDialog::GetPathName() const {
  if ((m_ofn.Flags & OFN_EXPLORER) && m_hWnd && ::IsWindow(m_hWnd)) {
    HWND frame = ::GetParent(m_hWnd);
    wchar_t typed[MAX_PATH] = {0};
    if (::SendMessageW(frame, CDM_GETSPEC, MAX_PATH, (LPARAM)typed) >= 0 && typed[0]) {
      wchar_t path[MAX_PATH] = {0};
      if (::SendMessageW(frame, CDM_GETFILEPATH, MAX_PATH, (LPARAM)path) >= 0) return CString(path);
    }
  }
  return CString(m_ofn.lpstrFile);
}

CString CFileDialog::GetFileName() const {
  CString path = GetPathName();
  return path.Mid(path.ReverseFind(L'\\') + 1);
}

CString CFileDialog::GetFileExt() const {
  CString name = GetFileName();
  int dot = name.ReverseFind(L'.');
  return dot < 0 ? CString() : name.Mid(dot + 1);
}

CString CFileDialog::GetFileTitle() const {
  CString name = GetFileName();
  int dot = name.ReverseFind(L'.');
  return dot < 0 ? name : name.Left(dot);
}

CString CFileDialog::GetFolderPath() const {
  CString path = GetPathName();
  int slash = path.ReverseFind(L'\\');
  return slash < 0 ? CString() : path.Left(slash);
}

POSITION CFileDialog::GetStartPosition() const {
  return m_ofn.lpstrFile && m_ofn.lpstrFile[0] ? (POSITION)m_ofn.lpstrFile : nullptr;
}

CString CFileDialog::GetNextPathName(POSITION& pos) const {
  // Explorer style: the folder, each name, each terminated, and an empty
  // string at the end; the old style separates them with spaces. A single
  // selection is the full path alone.
  const BOOL explorer = (m_ofn.Flags & OFN_EXPLORER) != 0;
  const wchar_t delimiter = explorer ? L'\0' : L' ';
  LPCWSTR buffer = m_ofn.lpstrFile;
  LPCWSTR at = (LPCWSTR)pos;
  if (!at) return CString();
  if (at == buffer) {
    if (!(m_ofn.Flags & OFN_ALLOWMULTISELECT)) {
      pos = nullptr;
      return CString(buffer);
    }
    while (*at && *at != delimiter) ++at;
    if (*at == delimiter && (explorer || *at)) ++at;
    if (!*at) {
      pos = nullptr;
      return CString(buffer);
    }
  }
  CString folder = explorer ? CString(buffer) : CString(buffer).SpanExcluding(L" ");
  LPCWSTR end = at;
  while (*end && *end != delimiter) ++end;
  CString name(at, (int)(end - at));
  if (*end == delimiter && (explorer || *end)) ++end;
  pos = *end ? (POSITION)end : nullptr;
  if (!folder.IsEmpty()) {
    wchar_t last = folder[folder.GetLength() - 1];
    if (last == L'\\' || last == L'/') return folder + name;
  }
  return folder + L"\\" + name;
}
