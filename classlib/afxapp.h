// The application object: program name, instance and registry profile.
#pragma once
#include "afx.h"

#ifdef _WIN32
#include <functional>

class CWinApp {
 public:
  explicit CWinApp(LPCTSTR appName = nullptr);
  virtual ~CWinApp();

  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return 0; }
  virtual int DoMessageBox(LPCTSTR text, UINT type, UINT helpId);

  // Profile settings live under HKCU\Software\<registry key>\<program name>.
  void SetRegistryKey(LPCTSTR key);
  HKEY GetAppRegistryKey();              // caller closes; null without a registry key
  HKEY GetSectionKey(LPCTSTR section);   // empty section: the program's own key
  UINT GetProfileInt(LPCTSTR section, LPCTSTR entry, int defaultValue);
  CString GetProfileString(LPCTSTR section, LPCTSTR entry, LPCTSTR defaultValue = nullptr);
  BOOL WriteProfileInt(LPCTSTR section, LPCTSTR entry, int value);
  // A null entry deletes the section; a null value deletes the entry.
  BOOL WriteProfileString(LPCTSTR section, LPCTSTR entry, LPCTSTR value);

  LPCTSTR m_pszAppName = nullptr;
  LPCTSTR m_pszRegistryKey = nullptr;
  LPCTSTR m_pszProfileName = nullptr;
  HINSTANCE m_hInstance = nullptr;

 private:
  CString m_strAppName, m_strRegistryKey;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// Shows a message box through the application (or directly without one).
int AfxMessageBox(LPCTSTR text, UINT type = MB_OK, UINT helpId = 0);
// Tests answer message boxes without a window: the handler gets the text and
// style and returns the button id. A null handler restores the real box.
typedef std::function<int(LPCTSTR text, UINT type)> AfxMessageBoxHandler;
void AfxSetMessageBoxHandler(AfxMessageBoxHandler handler);
#endif
