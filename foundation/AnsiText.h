// Small helpers over the platform: text conversion, versions, paths, files,
// folders, the system version, shell icons, temporary files and mail links.
#pragma once
#include "afx.h"

// Converts wide text to the ANSI code page; returns the byte count with the
// terminator, or -1 for null or empty text.
int WideToAnsi(LPCWSTR text, CStringA& out);

// "major.minor.build"; "x" stands for -1. Returns 0, or -1 with out untouched.
int ParseVersion(LPCTSTR text, int& major, int& minor, int& build);
// 1 when a is newer than b, 0 when equal, -1 when older.
int CompareVersions(LPCTSTR a, LPCTSTR b);

#ifdef _WIN32
#include "afxwin.h"

// The ANSI form of text only when every character survives the code page
// (no best-fit stand-ins); empty text is exact.
bool WideToAnsiExact(LPCWSTR text, CStringA& out);
// A path as the image library takes it: in the ANSI code page, in its short
// form when the long one does not survive the code page; false (and no text)
// when neither does, so that no other file is named.
bool PathForLibrary(LPCTSTR path, CStringA& out);

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
int GetShellIconIndex(LPCTSTR path, UINT flags);
CString GetPicturesFolder();
int OpenMailTo(LPCTSTR address, LPCTSTR subject, LPCTSTR body);

// Flags for a silent, recursive delete through the shell.
const WORD DELETE_SILENT = 0x414;  // FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI

class COSVersionInfo {
 public:
  COSVersionInfo();
  int Query();
  int m_bValid;
  OSVERSIONINFOEXW m_info;
};

// The system's small and large file-icon lists, borrowed: they are never destroyed here.
class CSystemImageLists {
 public:
  CSystemImageLists() {}
  virtual ~CSystemImageLists();
  // 1, or 0 when either list is missing.
  int Load();
  // kind 1: small icons, 2: large icons; none for any other kind.
  CImageList* GetImageList(int kind);

  HIMAGELIST m_hSmallList = nullptr;
  HIMAGELIST m_hLargeList = nullptr;
  CImageList m_smallList;
  CImageList m_largeList;
};

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
