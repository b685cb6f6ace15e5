// Worker threads started by the library: suspended start, priority, COM, and
// the finish-message protocol with a thread object its owner deletes.
#include <gtest/gtest.h>

#include <objbase.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/support/UiTestSupport.h"
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

namespace {
class CCallWnd : public CWnd {
 public:
  CCallWnd() : m_calls(this) { m_pWindowCalls = &m_calls; }
  ~CCallWnd() override { m_pWindowCalls = nullptr; }
  CWindowCalls m_calls;
  int m_nPaints = 0;

 protected:
  afx_msg void OnPaint() {
    CPaintDC dc(this);
    ++m_nPaints;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CCallWnd, CWnd)
  ON_WM_PAINT()
END_MESSAGE_MAP()
}  // namespace

// A worker that never pauses: its calls run on the window's thread in the
// order made, only the latest call of a key counts, a sent call waits for the
// window, and the window still paints meanwhile.
TEST(Thread, WindowCallsKeepOrderCoalesceAndLetPaintingThrough) {
  CCallWnd wnd;
  ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"calls", WS_POPUP | WS_VISIBLE, 0, 0, 80, 80, nullptr, nullptr));
  PumpPending();
  std::vector<int> order;
  int latest = -1, keyedRuns = 0, posted = 0;
  std::atomic<bool> stop{false};
  std::atomic<int> sent{0};
  std::thread worker([&] {
    int i = 0;
    for (; !stop; ++i) {
      wnd.m_calls.Post([&order, i] { order.push_back(i); });
      wnd.m_calls.Post(
          [&latest, &keyedRuns, i] {
            latest = i;
            ++keyedRuns;
          },
          7);
      if (i % 64 == 63) ::Sleep(1);  // still far more calls than paints
      if (i == 1000) {
        bool onWindowThread = false;
        const BOOL ran = wnd.m_calls.Send([&] { onWindowThread = wnd.m_calls.IsWindowThread() != FALSE; });
        sent = ran && onWindowThread ? 1 : -1;
      }
    }
    posted = i;
  });
  ASSERT_TRUE(PumpUntil([&] { return order.size() > 2000; }));
  wnd.m_nPaints = 0;
  wnd.Invalidate();
  const bool painted = PumpUntil([&] { return wnd.m_nPaints > 0; }, 2000);
  stop = true;
  worker.join();
  wnd.m_calls.Flush();
  EXPECT_TRUE(painted);
  EXPECT_EQ(1, sent.load());
  ASSERT_EQ((size_t)posted, order.size());
  for (int i = 0; i < posted; ++i)
    if (order[i] != i) {
      ADD_FAILURE() << "call " << order[i] << " ran in place of " << i;
      break;
    }
  EXPECT_EQ(posted - 1, latest);
  EXPECT_LT(keyedRuns, posted);
  wnd.DestroyWindow();
}

// A window inside a loop of its own holds its calls: what a worker posts and
// sends meanwhile waits, though the loop takes the wake message, and runs in
// order after the release; a call still waiting when the window goes is let go.
TEST(Thread, HeldWindowCallsRunInOrderAfterTheReleaseOrNotAtAll) {
  CCallWnd wnd;
  ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"held", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
  PumpPending();
  std::vector<int> order;
  std::atomic<bool> sending{false};
  std::atomic<int> sent{-1};
  wnd.m_calls.Hold(TRUE);
  std::thread worker([&] {
    wnd.m_calls.Post([&order] { order.push_back(0); });
    wnd.m_calls.Post([&order] { order.push_back(1); });
    sending = true;
    sent = wnd.m_calls.Send([&order] { order.push_back(2); }) ? 1 : 0;
  });
  ASSERT_TRUE(PumpUntil([&] { return sending.load(); }));
  PumpUntil([] { return false; }, 300);  // the loop of the held window
  EXPECT_TRUE(order.empty());
  EXPECT_EQ(-1, sent.load());
  wnd.m_calls.Hold(FALSE);
  const bool released = PumpUntil([&] { return sent != -1; });
  if (!released) wnd.DestroyWindow();  // lets the worker go
  worker.join();
  ASSERT_TRUE(released);
  EXPECT_EQ(1, sent.load());
  EXPECT_EQ((std::vector<int>{0, 1, 2}), order);

  wnd.m_calls.Hold(TRUE);
  sending = false;
  sent = -1;
  std::thread waiter([&] {
    sending = true;
    sent = wnd.m_calls.Send([&order] { order.push_back(3); }) ? 1 : 0;
  });
  ASSERT_TRUE(PumpUntil([&] { return sending.load(); }));
  PumpUntil([] { return false; }, 300);
  wnd.DestroyWindow();
  waiter.join();
  wnd.m_calls.Hold(FALSE);
  EXPECT_EQ(0, sent.load());
  EXPECT_EQ(3u, order.size());
}

// A sent call that has begun is waited for, also when the window goes during
// it; once the window is gone no call runs on a worker: posted ones are
// dropped and a sent one answers FALSE.
TEST(Thread, ASentCallThatHasBegunIsWaitedForAndNoneRunsOnceTheWindowIsGone) {
  CCallWnd wnd;
  ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"goes", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
  PumpPending();
  std::atomic<int> sent{-1};
  std::atomic<bool> ended{false};
  std::thread worker([&] {
    const BOOL ran = wnd.m_calls.Send([&] {
      wnd.DestroyWindow();
      ::Sleep(300);  // the caller would stop waiting within this
      ended = true;
    });
    sent = ran ? 1 : 0;
  });
  const bool returned = PumpUntil([&] { return sent != -1; });
  worker.join();
  ASSERT_TRUE(returned);
  EXPECT_EQ(1, sent.load());
  EXPECT_TRUE(ended.load());

  std::atomic<int> late{0};
  BOOL lateSent = TRUE;
  std::thread after([&] {
    wnd.m_calls.Post([&] { ++late; });
    lateSent = wnd.m_calls.Send([&] { ++late; });
  });
  after.join();
  EXPECT_FALSE(lateSent);
  EXPECT_EQ(0, late.load());
}
