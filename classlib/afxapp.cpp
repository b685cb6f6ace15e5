// The application object: program entry, registry profile and message boxes.
#include "afxwin.h"

#ifdef _WIN32
#include <mutex>
#include <ole2.h>

namespace {
CWinApp* g_app = nullptr;
std::mutex g_boxLock;
AfxMessageBoxHandler g_boxHandler;

CString ModuleTitle(HINSTANCE inst) {
  wchar_t path[MAX_PATH] = {0};
  GetModuleFileNameW(inst, path, MAX_PATH);
  CString name(path);
  int slash = name.ReverseFind(L'\\');
  if (slash >= 0) name = name.Mid(slash + 1);
  int dot = name.ReverseFind(L'.');
  return dot > 0 ? name.Left(dot) : name;
}

// Deletes a key with all its subkeys.
void DeleteKeyTree(HKEY parent, LPCTSTR name) {
  RegDeleteTreeW(parent, name);
  RegDeleteKeyW(parent, name);
}

HINSTANCE g_resourceHandle = nullptr;
}  // namespace

IMPLEMENT_DYNAMIC(CWinApp, CWinThread)
IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CUserException, CException)

BEGIN_MESSAGE_MAP(CWinApp, CWinThread)
  ON_COMMAND(ID_APP_EXIT, OnAppExit)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCTSTR appName) {
  g_app = this;
  m_bAutoDelete = FALSE;
  m_nThreadID = ::GetCurrentThreadId();
  ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &m_hThread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
  m_hInstance = GetModuleHandleW(nullptr);
  m_strExeName = ModuleTitle(m_hInstance);
  m_pszExeName = m_strExeName;
  m_strAppName = appName ? CString(appName) : m_strExeName;
  m_pszAppName = m_strAppName;
  m_pszProfileName = m_pszAppName;
}

CWinApp::~CWinApp() {
  delete m_pDocManager;
  if (g_app == this) g_app = nullptr;
}

int CWinApp::ExitInstance() { return CWinThread::ExitInstance(); }

int CWinApp::Run() {
  if (!m_pMainWnd) AfxPostQuitMessage(0);  // nothing to run a loop for
  return CWinThread::Run();
}

BOOL CWinApp::OnIdle(LONG lCount) { return CWinThread::OnIdle(lCount); }

void CWinApp::SetRegistryKey(UINT idResource) {
  CString key;
  AfxLoadString(idResource, key);
  SetRegistryKey(key);
}

HCURSOR CWinApp::LoadCursor(UINT id) const { return ::LoadCursorW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)); }
HICON CWinApp::LoadIcon(UINT id) const { return ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)); }

BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow) {
  if (CWinApp* app = AfxGetApp()) {
    app->m_hInstance = hInstance;
    app->m_hPrevInstance = hPrevInstance;
    app->m_lpCmdLine = lpCmdLine;
    app->m_nCmdShow = nCmdShow;
    app->m_nThreadID = ::GetCurrentThreadId();
    AfxGetThreadState()->m_pThread = app;
  }
  INITCOMMONCONTROLSEX icc = {};
  icc.dwSize = sizeof(icc);
  icc.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_USEREX_CLASSES | ICC_LINK_CLASS;
  ::InitCommonControlsEx(&icc);
  return TRUE;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow) {
  CWinApp* app = AfxGetApp();
  if (!app) return -1;
  // The user-interface thread runs in a single-threaded apartment.
  HRESULT ole = ::OleInitialize(nullptr);
  int result = -1;
  if (AfxWinInit(hInstance, hPrevInstance, lpCmdLine, nCmdShow) && app->InitApplication()) {
    if (!app->InitInstance()) {
      if (app->m_pMainWnd && app->m_pMainWnd->m_hWnd) app->m_pMainWnd->DestroyWindow();
      result = app->ExitInstance();
    } else {
      result = app->Run();
    }
  }
  AfxTermThreadState();
  if (SUCCEEDED(ole)) ::OleUninitialize();
  return result;
}

// The program's entry: the command line after the program name.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR, int nCmdShow) {
  LPWSTR cmd = ::GetCommandLineW();
  // Skip the program name (quoted or not) and the blanks after it.
  if (*cmd == L'"') {
    ++cmd;
    while (*cmd && *cmd != L'"') ++cmd;
    if (*cmd == L'"') ++cmd;
  } else {
    while (*cmd > L' ') ++cmd;
  }
  while (*cmd && *cmd <= L' ') ++cmd;
  return AfxWinMain(hInstance, hPrevInstance, cmd, nCmdShow);
}

int CWinApp::DoMessageBox(LPCTSTR text, UINT type, UINT) {
  {
    std::lock_guard<std::mutex> l(g_boxLock);
    if (g_boxHandler) return g_boxHandler(text, type);
  }
  HWND owner = CWnd::GetSafeOwner(nullptr)->GetSafeHwnd();
  CModalOwner disabled(owner);
  return MessageBoxW(owner, text, m_pszAppName, type | MB_SETFOREGROUND);
}

void CWinApp::SetRegistryKey(LPCTSTR key) {
  m_strRegistryKey = key ? key : L"";
  m_pszRegistryKey = m_strRegistryKey.IsEmpty() ? nullptr : (LPCTSTR)m_strRegistryKey;
  m_pszProfileName = m_pszAppName;
}

HKEY CWinApp::GetAppRegistryKey() {
  if (!m_pszRegistryKey) return nullptr;
  CString path;
  path.Format(L"Software\\%s\\%s", m_pszRegistryKey, m_pszProfileName);
  HKEY key = nullptr;
  DWORD disp = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key,
                      &disp) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

HKEY CWinApp::GetSectionKey(LPCTSTR section) {
  HKEY app = GetAppRegistryKey();
  if (!app) return nullptr;
  if (!section || !*section) return app;
  HKEY key = nullptr;
  DWORD disp = 0;
  LONG r =
      RegCreateKeyExW(app, section, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key, &disp);
  RegCloseKey(app);
  return r == ERROR_SUCCESS ? key : nullptr;
}

UINT CWinApp::GetProfileInt(LPCTSTR section, LPCTSTR entry, int defaultValue) {
  HKEY key = GetSectionKey(section);
  if (!key) return (UINT)defaultValue;
  DWORD value = 0, type = 0, size = sizeof(value);
  LONG r = RegQueryValueExW(key, entry, nullptr, &type, (LPBYTE)&value, &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) return (UINT)defaultValue;
  return value;
}

CString CWinApp::GetProfileString(LPCTSTR section, LPCTSTR entry, LPCTSTR defaultValue) {
  CString fallback = defaultValue ? defaultValue : L"";
  HKEY key = GetSectionKey(section);
  if (!key) return fallback;
  DWORD type = 0, size = 0;
  LONG r = RegQueryValueExW(key, entry, nullptr, &type, nullptr, &size);
  if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
    RegCloseKey(key);
    return fallback;
  }
  CString value;
  DWORD chars = size / sizeof(wchar_t);
  wchar_t* buf = value.GetBufferSetLength((int)chars + 1);
  r = RegQueryValueExW(key, entry, nullptr, &type, (LPBYTE)buf, &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS) return fallback;
  buf[std::min<DWORD>(chars, size / sizeof(wchar_t))] = 0;  // values need not be terminated
  value.ReleaseBuffer();
  return value;
}

BOOL CWinApp::WriteProfileInt(LPCTSTR section, LPCTSTR entry, int value) {
  HKEY key = GetSectionKey(section);
  if (!key) return FALSE;
  DWORD v = (DWORD)value;
  LONG r = RegSetValueExW(key, entry, 0, REG_DWORD, (const BYTE*)&v, sizeof(v));
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

BOOL CWinApp::WriteProfileString(LPCTSTR section, LPCTSTR entry, LPCTSTR value) {
  if (!entry) {
    // Delete the whole section.
    if (!section || !*section) return FALSE;
    HKEY app = GetAppRegistryKey();
    if (!app) return FALSE;
    DeleteKeyTree(app, section);
    RegCloseKey(app);
    return TRUE;
  }
  HKEY key = GetSectionKey(section);
  if (!key) return FALSE;
  LONG r;
  if (!value) {
    r = RegDeleteValueW(key, entry);
    if (r == ERROR_FILE_NOT_FOUND) r = ERROR_SUCCESS;
  } else {
    r = RegSetValueExW(key, entry, 0, REG_SZ, (const BYTE*)value, (DWORD)((wcslen(value) + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

CWinApp* AfxGetApp() { return g_app; }
HINSTANCE AfxGetInstanceHandle() { return g_app ? g_app->m_hInstance : GetModuleHandleW(nullptr); }
HINSTANCE AfxGetResourceHandle() { return g_resourceHandle ? g_resourceHandle : AfxGetInstanceHandle(); }
void AfxSetResourceHandle(HINSTANCE h) { g_resourceHandle = h; }

LPVOID AfxLockNamedResource(LPCTSTR lpszName, LPCTSTR lpszType, DWORD* pSize, HINSTANCE* phInst) {
  HINSTANCE modules[2] = {AfxGetResourceHandle(), AfxGetInstanceHandle()};
  for (HINSTANCE inst : modules) {
    HRSRC res = ::FindResourceW(inst, lpszName, lpszType);
    if (!res) continue;
    HGLOBAL h = ::LoadResource(inst, res);
    if (!h) continue;
    if (pSize) *pSize = ::SizeofResource(inst, res);
    if (phInst) *phInst = inst;
    return ::LockResource(h);
  }
  return nullptr;
}
LPCTSTR AfxGetAppName() { return g_app ? g_app->m_pszAppName : L""; }

void AfxThrowUserException() { throw new CUserException; }

BOOL AfxLoadString(UINT id, CString& out) {
  const wchar_t* text = nullptr;
  // With a zero length LoadStringW hands out a pointer to the resource itself.
  int n = ::LoadStringW(AfxGetResourceHandle(), id, (LPWSTR)&text, 0);
  if (n <= 0 || !text) {
    out.Empty();
    return FALSE;
  }
  out = CString(text, n);
  return TRUE;
}

template <>
BOOL CStringT<wchar_t>::LoadString(UINT id) {
  return AfxLoadString(id, *this);
}

int AfxMessageBox(UINT idPrompt, UINT type, UINT helpId) {
  CString text;
  AfxLoadString(idPrompt, text);
  return AfxMessageBox(text, type, helpId == (UINT)-1 ? idPrompt : helpId);
}

int AfxMessageBox(LPCTSTR text, UINT type, UINT helpId) {
  if (g_app) return g_app->DoMessageBox(text, type, helpId);
  {
    std::lock_guard<std::mutex> l(g_boxLock);
    if (g_boxHandler) return g_boxHandler(text, type);
  }
  return MessageBoxW(GetActiveWindow(), text, L"", type | MB_SETFOREGROUND);
}

void AfxSetMessageBoxHandler(AfxMessageBoxHandler handler) {
  std::lock_guard<std::mutex> l(g_boxLock);
  g_boxHandler = std::move(handler);
}
#endif
