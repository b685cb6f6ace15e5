// Calls from other threads run on a window's own thread. A worker posts a
// call and goes on, or sends one and waits until it has run. Calls run in the
// order they came; a call posted with a key replaces the one of the same key
// that has not run yet (a status text, a progress position: only the latest
// value matters), so a fast worker never floods the window. One posted message
// wakes an idle window; while calls keep coming they run from a timer, which
// the system delivers after input and painting: a busy worker never holds up
// a click or a repaint. A window that runs a loop of its own may hold its
// calls meanwhile: they wait in the queue until it lets them go.
#pragma once
#include "afxwnd.h"

#ifdef _WIN32
#include <functional>
#include <list>
#include <mutex>
#include <unordered_map>

class CWindowCalls {
 public:
  // The window whose thread runs the calls; it hands its messages to
  // OnWindowMessage (CWnd does so once its m_pWindowCalls names this object).
  explicit CWindowCalls(CWnd* pWnd);
  ~CWindowCalls();
  CWindowCalls(const CWindowCalls&) = delete;
  CWindowCalls& operator=(const CWindowCalls&) = delete;

  // Runs fn on the window's thread after every call before it; the caller
  // does not wait. Key 0 keeps every call; another key keeps only the latest
  // call of that key not yet run (moved to the end). On the window's own
  // thread fn runs at once; without a window it is dropped.
  void Post(std::function<void()> fn, UINT_PTR key = 0);
  // Runs fn on the window's thread after every call before it and returns
  // once it has run (at once on the window's own thread). FALSE when the
  // window went away before running it; a call that has begun is waited for.
  BOOL Send(const std::function<void()>& fn);
  // Runs every call queued so far (on the window's thread).
  void Flush();
  // Drops the calls not run and releases their waiting callers (the window
  // is going away).
  void Close();
  // While held (window thread; holds nest), the wake message and the timer
  // leave the calls queued; the last release wakes the window for them.
  void Hold(BOOL bHold);
  BOOL IsWindowThread() const;
  // The wake message and the timer; TRUE when the message was one of them.
  BOOL OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // How long one turn runs calls before input and painting come first (ms).
  DWORD m_dwTurnMs = 20;

 private:
  struct Call {
    std::function<void()> fn;
    UINT_PTR key;
    HANDLE done;  // a caller waits on it; null for a posted call
  };
  // Runs calls until the queue is empty or the turn is over (at least one
  // when there is one); TRUE when any ran.
  BOOL RunTurn(DWORD budgetMs);
  // Turns while the thread has no other message; TRUE when any call ran.
  BOOL RunTurns();
  void Wake();

  CWnd* m_pWnd;
  std::mutex m_lock;
  std::list<Call> m_calls;
  std::unordered_map<UINT_PTR, std::list<Call>::iterator> m_keyed;
  bool m_bArmed = false;       // a wake message or the timer is on its way
  bool m_bWakePosted = false;  // a wake message is on its way
  int m_nHolds = 0;            // window thread only
};
#endif
