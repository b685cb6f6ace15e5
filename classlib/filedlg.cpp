// The system's open and save dialogs.
#include "afxwin.h"

IMPLEMENT_DYNAMIC(CFileDialog, CDialog)

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt, LPCTSTR lpszFileName, DWORD dwFlags,
                         LPCTSTR lpszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog) {
  m_pParentWnd = pParentWnd;
  m_nIDHelp = bOpenFileDialog ? 0x7004 : 0x7005;
  m_fileBuffer.assign(64 * 1024, L'\0');
  if (lpszFileName) lstrcpynW(m_fileBuffer.data(), lpszFileName, (int)m_fileBuffer.size());
  m_strDefExt = lpszDefExt ? lpszDefExt : L"";
  // "Text|*.txt|All|*.*||" becomes the system's double-terminated list.
  m_strFilter = lpszFilter ? lpszFilter : L"";
  m_strFilter.Replace(L'|', L'\0');
  m_ofn.lStructSize = sizeof(m_ofn);
  m_ofn.Flags = dwFlags | OFN_EXPLORER | OFN_ENABLESIZING;
  m_ofn.lpstrFile = m_fileBuffer.data();
  m_ofn.nMaxFile = (DWORD)m_fileBuffer.size();
  m_ofn.lpstrFileTitle = m_fileTitle;
  m_ofn.nMaxFileTitle = MAX_PATH;
  m_ofn.lpstrDefExt = m_strDefExt.IsEmpty() ? nullptr : (LPCTSTR)m_strDefExt;
  m_ofn.lpstrFilter = m_strFilter.IsEmpty() ? nullptr : (LPCTSTR)m_strFilter;
}

INT_PTR CFileDialog::DoModal() {
  m_ofn.hwndOwner = PreModal();
  m_ofn.hInstance = AfxGetResourceHandle();
  BOOL ok = m_bOpenFileDialog ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
  PostModal();
  return ok ? IDOK : IDCANCEL;
}

CString CFileDialog::GetPathName() const {
  if (m_ofn.Flags & OFN_ALLOWMULTISELECT) {
    POSITION pos = GetStartPosition();
    return pos ? GetNextPathName(pos) : CString();
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
  return m_ofn.lpstrFile[0] ? (POSITION)m_ofn.lpstrFile : nullptr;
}

CString CFileDialog::GetNextPathName(POSITION& pos) const {
  // Several files: the folder, then each name, each terminated, ending in an
  // empty string. One file: the full path alone.
  LPCWSTR at = (LPCWSTR)pos;
  LPCWSTR first = m_ofn.lpstrFile;
  size_t folderLen = wcslen(first);
  const BOOL several = first[folderLen + 1] != L'\0' && (m_ofn.Flags & OFN_ALLOWMULTISELECT);
  if (!several) {
    pos = nullptr;
    return CString(first);
  }
  if (at == first) at += folderLen + 1;
  CString name(at);
  LPCWSTR next = at + wcslen(at) + 1;
  pos = *next ? (POSITION)next : nullptr;
  CString folder(first);
  if (!folder.IsEmpty() && folder[folder.GetLength() - 1] != L'\\') folder += L'\\';
  return folder + name;
}
