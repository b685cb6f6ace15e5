// CFileFind: enumerates the files matching a name pattern.
#pragma once
#include "afx.h"

#ifdef _WIN32
class CFileFind {
 public:
  CFileFind();
  virtual ~CFileFind();
  // Starts a search; the first match becomes current after FindNextFile.
  virtual BOOL FindFile(LPCTSTR name = nullptr, DWORD unused = 0);
  // Moves to the next match; FALSE when the current match is the last one.
  virtual BOOL FindNextFile();
  void Close();

  CString GetFileName() const;
  CString GetFilePath() const;
  CString GetFileTitle() const;
  CString GetRoot() const { return m_strRoot; }
  ULONGLONG GetLength() const;
  BOOL GetLastWriteTime(FILETIME* t) const;
  BOOL MatchesMask(DWORD mask) const;
  BOOL IsDots() const;
  BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
  BOOL IsReadOnly() const { return MatchesMask(FILE_ATTRIBUTE_READONLY); }
  BOOL IsHidden() const { return MatchesMask(FILE_ATTRIBUTE_HIDDEN); }
  BOOL IsSystem() const { return MatchesMask(FILE_ATTRIBUTE_SYSTEM); }

 private:
  HANDLE m_hFind = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW m_found{};  // current entry
  WIN32_FIND_DATAW m_next{};   // read ahead
  BOOL m_bHaveNext = FALSE;
  BOOL m_bHaveCurrent = FALSE;
  CString m_strRoot;
};
#endif
