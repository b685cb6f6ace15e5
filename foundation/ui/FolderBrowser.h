// The shell's folder selection dialog, opened at a given folder; returns the
// chosen file-system path.
#pragma once
#include <shlobj.h>

#include "afxwin.h"

class CFolderBrowser {
 public:
  // The flags are added to BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_BROWSEINCLUDEURLS.
  CFolderBrowser(LPCTSTR lpszTitle, UINT nFlags = 0, CWnd* pParentWnd = nullptr);
  virtual ~CFolderBrowser() {}

  void SetInitialFolder(LPCTSTR lpszFolder) { m_strInitialFolder = lpszFolder ? lpszFolder : L""; }
  // IDOK when a folder was chosen, IDCANCEL otherwise.
  INT_PTR DoModal();
  CString GetFolderPath() const { return m_strFolderPath; }

  CString m_strInitialFolder;
  CWnd* m_pParent;
  UINT m_nFlags;
  CString m_strTitle;
  CString m_strFolderPath;

 private:
  static int CALLBACK BrowseCallback(HWND hWnd, UINT uMsg, LPARAM lParam, LPARAM lpData);
};
