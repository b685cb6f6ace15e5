// Threads: worker and user-interface threads, the message loop and idle time.
#include "afxwin.h"

#include <objbase.h>
#include <process.h>

IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)

CWinThread::CWinThread() {}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam) {}

CWinThread::~CWinThread() {
  if (m_hThread) ::CloseHandle(m_hThread);
  AFX_THREAD_STATE* st = AfxGetThreadState();
  if (st->m_pThread == this) st->m_pThread = nullptr;
}

void CWinThread::Delete() {
  if (m_bAutoDelete) delete this;
}

CWnd* CWinThread::GetMainWnd() { return m_pActiveWnd ? m_pActiveWnd : m_pMainWnd; }

unsigned __stdcall CWinThread::ThreadEntry(void* arg) {
  CWinThread* self = static_cast<CWinThread*>(arg);
  AfxGetThreadState()->m_pThread = self;
  HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int code;
  if (self->m_pfnThreadProc) {
    code = (int)self->m_pfnThreadProc(self->m_pThreadParams);
  } else if (self->InitInstance()) {
    code = self->Run();
  } else {
    code = self->ExitInstance();
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  AfxEndThread((UINT)code, TRUE);
  return (unsigned)code;
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
  unsigned id = 0;
  // Always made suspended, so the handle and id are stored before the thread runs.
  uintptr_t h = _beginthreadex(lpSecurityAttrs, nStackSize, &CWinThread::ThreadEntry, this,
                               (dwCreateFlags & STACK_SIZE_PARAM_IS_A_RESERVATION) | CREATE_SUSPENDED, &id);
  if (!h) return FALSE;
  m_hThread = (HANDLE)h;
  m_nThreadID = id;
  if (!(dwCreateFlags & CREATE_SUSPENDED)) ::ResumeThread(m_hThread);
  return TRUE;
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority, UINT nStackSize,
                           DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
  if (!pfnThreadProc) return nullptr;
  CWinThread* thread = new CWinThread(pfnThreadProc, pParam);
  if (!thread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
    delete thread;
    return nullptr;
  }
  thread->SetThreadPriority(nPriority);
  if (!(dwCreateFlags & CREATE_SUSPENDED)) thread->ResumeThread();
  return thread;
}

CWinThread* AfxBeginThread(CRuntimeClass* pThreadClass, int nPriority, UINT nStackSize, DWORD dwCreateFlags,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
  if (!pThreadClass || !pThreadClass->IsDerivedFrom(RUNTIME_CLASS(CWinThread))) return nullptr;
  CWinThread* thread = static_cast<CWinThread*>(pThreadClass->CreateObject());
  if (!thread) return nullptr;
  if (!thread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
    delete thread;
    return nullptr;
  }
  thread->SetThreadPriority(nPriority);
  if (!(dwCreateFlags & CREATE_SUSPENDED)) thread->ResumeThread();
  return thread;
}

void AfxEndThread(UINT nExitCode, BOOL bDelete) {
  AFX_THREAD_STATE* st = AfxGetThreadState();
  CWinThread* thread = st->m_pThread;
  if (thread && thread != AfxGetApp()) {
    st->m_pThread = nullptr;
    if (bDelete) thread->Delete();
  }
  AfxTermThreadState();
  _endthreadex(nExitCode);
}

void AfxPostQuitMessage(int nExitCode) { ::PostQuitMessage(nExitCode); }

CWinThread* AfxGetThread() {
  AFX_THREAD_STATE* st = AfxGetThreadState();
  if (st->m_pThread) return st->m_pThread;
  // The first thread that asks without its own object is the application's.
  CWinApp* app = AfxGetApp();
  if (app && app->m_nThreadID == ::GetCurrentThreadId()) return app;
  return nullptr;
}

CWnd* AfxGetMainWnd() {
  CWinThread* thread = AfxGetThread();
  return thread ? thread->GetMainWnd() : nullptr;
}

int CWinThread::ExitInstance() { return (int)m_msgCur.wParam; }

BOOL CWinThread::DispatchThreadMessageEx(MSG* pMsg) {
  const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(pMsg->message);
  if (!entry) return FALSE;
  AFX_MSGCALL call = {pMsg->message, pMsg->wParam, pMsg->lParam, 0, 0, nullptr, 0};
  entry->pfn(this, call);
  return TRUE;
}

BOOL CWinThread::PreTranslateMessage(MSG* pMsg) {
  if (!pMsg->hwnd && DispatchThreadMessageEx(pMsg)) return TRUE;
  CWnd* pMainWnd = AfxGetMainWnd();
  HWND hMain = pMainWnd->GetSafeHwnd();
  if (CWnd::WalkPreTranslateTree(hMain, pMsg)) return TRUE;
  // Messages of other top-level windows still pass the main window (accelerators).
  if (hMain && pMsg->hwnd) {
    HWND top = pMsg->hwnd, parent;
    while ((::GetWindowLongPtrW(top, GWL_STYLE) & WS_CHILD) && (parent = ::GetParent(top)) != nullptr) top = parent;
    if (top != hMain) return pMainWnd->PreTranslateMessage(pMsg);
  }
  return FALSE;
}

BOOL CWinThread::OnIdle(LONG lCount) {
  if (lCount <= 0) {
    CWnd* main = m_pMainWnd;
    if (main && main->m_hWnd && main->IsWindowVisible() && !main->IsIconic()) {
      // A frame updates itself (title) before its bars and views.
      if (main->IsFrameWnd()) AfxCallWndProc(main, main->m_hWnd, WM_IDLEUPDATECMDUI, TRUE, 0);
      main->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
    }
  } else if (lCount == 1) {
    if (AfxLoopDepth() <= 1) AfxDeleteTempMaps();
  }
  return lCount < 1;
}

int CWinThread::Run() {
  AFX_THREAD_STATE* st = AfxGetThreadState();
  AfxLoopScope depth;
  BOOL saved = st->m_bInRunLoop;
  st->m_bInRunLoop = TRUE;
  BOOL bIdle = TRUE;
  LONG lIdleCount = 0;
  int result = 0;
  for (;;) {
    while (bIdle && !::PeekMessageW(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE))
      if (!OnIdle(lIdleCount++)) bIdle = FALSE;
    BOOL quit = FALSE;
    do {
      if (!::GetMessageW(&m_msgCur, nullptr, 0, 0)) {
        quit = TRUE;
        break;
      }
      if (m_msgCur.message != WM_KICKIDLE && !PreTranslateMessage(&m_msgCur)) {
        ::TranslateMessage(&m_msgCur);
        ::DispatchMessageW(&m_msgCur);
      }
      if (IsIdleMessage(&m_msgCur)) {
        bIdle = TRUE;
        lIdleCount = 0;
      }
    } while (::PeekMessageW(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE));
    if (quit) {
      st->m_bInRunLoop = saved;
      result = ExitInstance();
      break;
    }
  }
  return result;
}
