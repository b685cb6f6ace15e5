// Files and folders: paths, deletes, folder trees, guards that delete
// temporary files and folders, and the text of the last system error.
#pragma once
#include "afx.h"

#ifdef _WIN32
// Removes a file or folder through the shell; 1 deleted, 0 failed or aborted.
int DeletePath(LPCTSTR path, WORD flags, HWND owner = nullptr);
// 1 when absent, 0 deleted, -1 when the delete failed.
int DeleteFileIfExists(LPCTSTR path);
// Text of the calling thread's last system error.
CString GetLastErrorText();
CString GetFileBaseName(LPCTSTR path);
CString GetParentFolder(LPCTSTR path);
LONGLONG GetFileSize64(LPCTSTR path);
// 1 when the folder exists afterwards.
int CreateFolderTree(LPCTSTR path);

// Flags for a silent, recursive delete through the shell.
const WORD DELETE_SILENT = 0x414;  // FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI

// Deletes a temporary file when it goes out of scope, retrying while it is locked.
class CTempFileGuard {
 public:
  CTempFileGuard(LPCTSTR path, int armed) : m_strPath(path ? path : L""), m_bArmed(armed) {}
  virtual ~CTempFileGuard();
  CString m_strPath;
  int m_bArmed;
  int m_nRetries = 10000;
};

// Deletes a temporary work folder with its contents when it goes out of scope.
class CTempFolderGuard {
 public:
  CTempFolderGuard(LPCTSTR path, int armed) : m_strPath(path ? path : L""), m_bArmed(armed) {}
  virtual ~CTempFolderGuard();
  CString m_strPath;
  int m_bArmed;
};
#endif
