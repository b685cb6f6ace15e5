// A watcher on a thread of its own that may wait for the thread that made it
// to take a message (a send to one of its windows) before it can finish.
#pragma once
#include <windows.h>

#include <atomic>
#include <thread>

class CWatcherThread {
 public:
  CWatcherThread() = default;
  CWatcherThread(const CWatcherThread&) = delete;
  CWatcherThread& operator=(const CWatcherThread&) = delete;
  virtual ~CWatcherThread() = default;

 protected:
  // Called at the end of the derived constructor.
  void StartWatching() {
    m_thread = std::thread([this] {
      Watch();
      m_finished = true;
    });
  }
  // Called in the derived destructor: asks the watcher to stop and keeps
  // taking this thread's messages until it has.
  void StopWatching() {
    m_stop = true;
    while (!m_finished) {
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    m_thread.join();
  }
  // Runs on the watcher's thread until m_stop is set (or it is done).
  virtual void Watch() = 0;

  std::atomic<bool> m_stop{false};

 private:
  std::thread m_thread;
  std::atomic<bool> m_finished{false};
};
