#include "afxfile.h"

#ifdef _WIN32
CFileFind::CFileFind() {}
CFileFind::~CFileFind() { Close(); }

void CFileFind::Close() {
  if (m_hFind != INVALID_HANDLE_VALUE) FindClose(m_hFind);
  m_hFind = INVALID_HANDLE_VALUE;
  m_bHaveNext = m_bHaveCurrent = FALSE;
}

BOOL CFileFind::FindFile(LPCTSTR name, DWORD) {
  Close();
  CString pattern = (name && *name) ? CString(name) : CString(L"*.*");
  m_hFind = FindFirstFileW(pattern, &m_next);
  if (m_hFind == INVALID_HANDLE_VALUE) return FALSE;
  m_bHaveNext = TRUE;
  // The root is the pattern's folder, taken from the text (no trailing backslash).
  int slash = std::max(pattern.ReverseFind(L'\\'), pattern.ReverseFind(L'/'));
  m_strRoot = slash >= 0 ? pattern.Left(slash) : CString();
  if (m_strRoot.IsEmpty() && slash == 0) m_strRoot = L"\\";
  return TRUE;
}

BOOL CFileFind::FindNextFile() {
  if (!m_bHaveNext) return FALSE;
  m_found = m_next;
  m_bHaveCurrent = TRUE;
  m_bHaveNext = ::FindNextFileW(m_hFind, &m_next);
  return m_bHaveNext;
}

CString CFileFind::GetFileName() const { return m_bHaveCurrent ? CString(m_found.cFileName) : CString(); }

CString CFileFind::GetFilePath() const {
  if (!m_bHaveCurrent) return CString();
  if (m_strRoot.IsEmpty()) return GetFileName();
  CString root = m_strRoot;
  if (root[root.GetLength() - 1] != L'\\' && root[root.GetLength() - 1] != L'/') root += L'\\';
  return root + m_found.cFileName;
}

CString CFileFind::GetFileTitle() const {
  CString name = GetFileName();
  int dot = name.ReverseFind(L'.');
  return dot > 0 ? name.Left(dot) : name;
}

ULONGLONG CFileFind::GetLength() const {
  return m_bHaveCurrent ? ((ULONGLONG)m_found.nFileSizeHigh << 32) | m_found.nFileSizeLow : 0;
}

BOOL CFileFind::GetLastWriteTime(FILETIME* t) const {
  if (!m_bHaveCurrent || !t) return FALSE;
  *t = m_found.ftLastWriteTime;
  return TRUE;
}

BOOL CFileFind::MatchesMask(DWORD mask) const { return m_bHaveCurrent && (m_found.dwFileAttributes & mask) != 0; }

BOOL CFileFind::IsDots() const {
  if (!m_bHaveCurrent || !IsDirectory()) return FALSE;
  const wchar_t* n = m_found.cFileName;
  return (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0)));
}
#endif
