// Threads and the application object: message loop, idle processing, worker
// threads, program entry and the registry profile.
#pragma once
#include "afxwnd.h"

#ifdef _WIN32
#include <functional>

typedef UINT(__cdecl* AFX_THREADPROC)(LPVOID);
class CDocTemplate;
class CDocManager;
class CDocument;
class CCommandLineInfo;

class CWinThread : public CCmdTarget {
  DECLARE_DYNAMIC(CWinThread)
 public:
  CWinThread();
  CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
  ~CWinThread() override;

  // Starts the thread; with CREATE_SUSPENDED it waits for ResumeThread.
  BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
  DWORD ResumeThread() { return ::ResumeThread(m_hThread); }
  DWORD SuspendThread() { return ::SuspendThread(m_hThread); }
  int GetThreadPriority() { return ::GetThreadPriority(m_hThread); }
  BOOL SetThreadPriority(int n) { return ::SetThreadPriority(m_hThread, n); }
  BOOL PostThreadMessage(UINT m, WPARAM w, LPARAM l) { return ::PostThreadMessageW(m_nThreadID, m, w, l); }
  operator HANDLE() const { return this ? m_hThread : nullptr; }

  virtual BOOL InitInstance() { return FALSE; }
  virtual int ExitInstance();
  virtual int Run();
  virtual BOOL PreTranslateMessage(MSG* pMsg);
  virtual BOOL PumpMessage() { return AfxPumpMessage(); }
  // Idle work: command updates of the main window (count 0), freeing temporary objects.
  virtual BOOL OnIdle(LONG lCount);
  virtual BOOL IsIdleMessage(MSG* pMsg) { return AfxIsIdleMessage(pMsg); }
  virtual CWnd* GetMainWnd();
  virtual void Delete();

  CWnd* m_pMainWnd = nullptr;
  CWnd* m_pActiveWnd = nullptr;
  BOOL m_bAutoDelete = TRUE;
  HANDLE m_hThread = nullptr;
  DWORD m_nThreadID = 0;
  MSG m_msgCur = {};

  // Thread function and its argument (worker threads).
  AFX_THREADPROC m_pfnThreadProc = nullptr;
  LPVOID m_pThreadParams = nullptr;

 protected:
  BOOL DispatchThreadMessageEx(MSG* pMsg);

 private:
  static unsigned __stdcall ThreadEntry(void* arg);
  int m_nExitCode = 0;
  friend void AfxEndThread(UINT, BOOL);
};

class CWinApp : public CWinThread {
  DECLARE_DYNAMIC(CWinApp)
 public:
  explicit CWinApp(LPCTSTR appName = nullptr);
  ~CWinApp() override;

  virtual BOOL InitApplication() { return TRUE; }
  BOOL InitInstance() override { return TRUE; }
  int ExitInstance() override;
  int Run() override;
  BOOL OnIdle(LONG lCount) override;
  virtual int DoMessageBox(LPCTSTR text, UINT type, UINT helpId);

  // Profile settings live under HKCU\Software\<registry key>\<program name>.
  void SetRegistryKey(LPCTSTR key);
  void SetRegistryKey(UINT idResource);
  HKEY GetAppRegistryKey();             // caller closes; null without a registry key
  HKEY GetSectionKey(LPCTSTR section);  // empty section: the program's own key; "a\\b" nests
  UINT GetProfileInt(LPCTSTR section, LPCTSTR entry, int defaultValue);
  CString GetProfileString(LPCTSTR section, LPCTSTR entry, LPCTSTR defaultValue = nullptr);
  BOOL WriteProfileInt(LPCTSTR section, LPCTSTR entry, int value);
  // A null entry deletes the section; a null value deletes the entry.
  BOOL WriteProfileString(LPCTSTR section, LPCTSTR entry, LPCTSTR value);

  HCURSOR LoadCursor(UINT id) const;
  HCURSOR LoadStandardCursor(LPCTSTR id) const { return ::LoadCursorW(nullptr, id); }
  HICON LoadIcon(UINT id) const;
  HICON LoadStandardIcon(LPCTSTR id) const { return ::LoadIconW(nullptr, id); }
  void Enable3dControlsStatic() {}
  void Enable3dControls() {}

  // Documents (see afxframe.h). The application owns its templates.
  void AddDocTemplate(CDocTemplate* pTemplate);
  virtual CDocument* OpenDocumentFile(LPCTSTR lpszFileName);
  virtual BOOL SaveAllModified();
  void CloseAllDocuments(BOOL bEndSession);
  // Reads the program's arguments into rCmdInfo, one ParseParam call each.
  void ParseCommandLine(CCommandLineInfo& rCmdInfo);
  // Carries out the shell command; FALSE when the program cannot go on.
  BOOL ProcessShellCommand(CCommandLineInfo& rCmdInfo);
  void EnableShellOpen() {}
  afx_msg void OnFileNew();
  afx_msg void OnAppExit();
  CDocManager* m_pDocManager = nullptr;

  LPCTSTR m_pszAppName = nullptr;
  LPCTSTR m_pszRegistryKey = nullptr;
  LPCTSTR m_pszProfileName = nullptr;
  LPCTSTR m_pszExeName = nullptr;
  LPTSTR m_lpCmdLine = nullptr;
  int m_nCmdShow = SW_SHOWNORMAL;
  HINSTANCE m_hInstance = nullptr;
  HINSTANCE m_hPrevInstance = nullptr;

 protected:
  DECLARE_MESSAGE_MAP()

 private:
  CString m_strAppName, m_strRegistryKey, m_strExeName;
};

CWinApp* AfxGetApp();
CWinThread* AfxGetThread();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE h);
// Finds, loads and locks a resource in the resource module, then in the
// program; null when neither has it. Its size and module go to *pSize and
// *phInst when given.
LPVOID AfxLockNamedResource(LPCTSTR lpszName, LPCTSTR lpszType, DWORD* pSize = nullptr, HINSTANCE* phInst = nullptr);
LPCTSTR AfxGetAppName();

// Starts a worker thread running pfn(pParam). Every thread the library starts
// has COM initialised (apartment-threaded).
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority = THREAD_PRIORITY_NORMAL,
                           UINT nStackSize = 0, DWORD dwCreateFlags = 0,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
// Starts a user-interface thread of a dynamically creatable CWinThread class.
CWinThread* AfxBeginThread(CRuntimeClass* pThreadClass, int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
void AfxEndThread(UINT nExitCode, BOOL bDelete = TRUE);
void AfxPostQuitMessage(int nExitCode);

// Program entry: the program defines one global CWinApp-derived object; the
// library's WinMain calls this.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);
BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);

// Shows a message box through the application (or directly without one).
int AfxMessageBox(LPCTSTR text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(UINT idPrompt, UINT type = MB_OK, UINT helpId = (UINT)-1);
// Tests answer message boxes without a window: the handler gets the text and
// style and returns the button id. A null handler restores the real box.
typedef std::function<int(LPCTSTR text, UINT type)> AfxMessageBoxHandler;
void AfxSetMessageBoxHandler(AfxMessageBoxHandler handler);

// Exceptions used by data exchange.
class CException : public CObject {
  DECLARE_DYNAMIC(CException)
 public:
  CException() {}
  void Delete() { delete this; }
};
class CUserException : public CException {
  DECLARE_DYNAMIC(CUserException)
};
[[noreturn]] void AfxThrowUserException();

// Loads a string resource; FALSE when there is none.
BOOL AfxLoadString(UINT id, CString& out);
#endif
