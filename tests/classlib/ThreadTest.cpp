// Worker threads started by the library: suspended start, priority, COM, and
// the finish-message protocol with a thread object its owner deletes.
#include <gtest/gtest.h>

#include <objbase.h>

#include "afxwin.h"

namespace {
constexpr UINT WM_WORKER_DONE = WM_USER + 350;

struct WorkerState {
  volatile LONG started = 0;
  HRESULT comInit = E_FAIL;
  CWinThread* seenThread = nullptr;
  HWND notify = nullptr;
};

UINT __cdecl Worker(LPVOID param) {
  auto* st = static_cast<WorkerState*>(param);
  ::InterlockedExchange(&st->started, 1);
  // Already initialised by the library: a second call answers S_FALSE.
  st->comInit = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(st->comInit)) ::CoUninitialize();
  st->seenThread = AfxGetThread();
  ::PostMessageW(st->notify, WM_WORKER_DONE, 0, 0);
  return 77;
}

class COwnerWnd : public CWnd {
 public:
  CWinThread* m_pThread = nullptr;
  DWORD exitCode = 0;
  BOOL finished = FALSE;

 protected:
  afx_msg LRESULT OnWorkerDone(WPARAM, LPARAM) {
    if (m_pThread) {
      ::WaitForSingleObject(m_pThread->m_hThread, INFINITE);
      ::GetExitCodeThread(m_pThread->m_hThread, &exitCode);
      delete m_pThread;
      m_pThread = nullptr;
    }
    finished = TRUE;
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(COwnerWnd, CWnd)
  ON_MESSAGE(WM_WORKER_DONE, OnWorkerDone)
END_MESSAGE_MAP()
}  // namespace

TEST(Thread, SuspendedWorkerPostsFinishAndOwnerDeletesIt) {
  COwnerWnd owner;
  ASSERT_TRUE(owner.CreateEx(0, nullptr, L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
  WorkerState st;
  st.notify = owner.m_hWnd;
  CWinThread* thread = AfxBeginThread(Worker, &st, THREAD_PRIORITY_BELOW_NORMAL, 64 * 1024, CREATE_SUSPENDED);
  ASSERT_NE(nullptr, thread);
  ASSERT_NE(nullptr, thread->m_hThread);
  EXPECT_EQ(THREAD_PRIORITY_BELOW_NORMAL, thread->GetThreadPriority());
  ::Sleep(50);
  EXPECT_EQ(0, st.started);  // suspended until resumed
  thread->m_bAutoDelete = FALSE;
  owner.m_pThread = thread;
  thread->ResumeThread();

  DWORD start = ::GetTickCount();
  while (!owner.finished && ::GetTickCount() - start < 10000) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  }
  ASSERT_TRUE(owner.finished);
  EXPECT_EQ(nullptr, owner.m_pThread);
  EXPECT_EQ(77u, owner.exitCode);
  EXPECT_EQ(S_FALSE, st.comInit);
  EXPECT_EQ(thread, st.seenThread);
  owner.DestroyWindow();
}

namespace {
UINT __cdecl QuickWorker(LPVOID param) {
  ::InterlockedIncrement(static_cast<volatile LONG*>(param));
  return 0;
}
}  // namespace

TEST(Thread, AutoDeletingWorkersRunAndCleanUp) {
  volatile LONG count = 0;
  for (int i = 0; i < 8; ++i) ASSERT_NE(nullptr, AfxBeginThread(QuickWorker, (LPVOID)&count));
  DWORD start = ::GetTickCount();
  while (count < 8 && ::GetTickCount() - start < 10000) ::Sleep(10);
  EXPECT_EQ(8, count);
  EXPECT_EQ(nullptr, AfxBeginThread((AFX_THREADPROC) nullptr, nullptr));
}
