#include "afxcall.h"

#include <iterator>
#include <utility>

namespace {
// Wakes a window for the calls queued for it (lParam: the queue).
UINT WakeMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"Classlib.WindowCalls");
  return message;
}
// Runs the calls that came in while the window ran the last ones.
const UINT_PTR kCallTimer = 0xCA11;
}  // namespace

CWindowCalls::CWindowCalls(CWnd* pWnd) : m_pWnd(pWnd) {}

CWindowCalls::~CWindowCalls() { Close(); }

BOOL CWindowCalls::IsWindowThread() const {
  const HWND hwnd = m_pWnd->m_hWnd;
  return hwnd && ::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId();
}

void CWindowCalls::Wake() {
  const HWND hwnd = m_pWnd->m_hWnd;
  if (!hwnd || !::PostMessageW(hwnd, WakeMessage(), 0, (LPARAM)this)) {
    // No window to wake: the next call tries again.
    std::lock_guard<std::mutex> l(m_lock);
    m_bArmed = false;
    m_bWakePosted = false;
  }
}

void CWindowCalls::Post(std::function<void()> fn, UINT_PTR key) {
  if (!m_pWnd->m_hWnd) return;  // no window, no thread of its own to run it on
  if (IsWindowThread()) {
    fn();
    return;
  }
  bool wake;
  {
    std::lock_guard<std::mutex> l(m_lock);
    if (key) {
      auto it = m_keyed.find(key);
      if (it != m_keyed.end()) m_calls.erase(it->second);
    }
    m_calls.push_back(Call{std::move(fn), key, nullptr});
    if (key) m_keyed[key] = std::prev(m_calls.end());
    wake = !m_bArmed;
    m_bArmed = true;
    m_bWakePosted |= wake;
  }
  if (wake) Wake();
}

BOOL CWindowCalls::Send(const std::function<void()>& fn) {
  const HWND hwnd = m_pWnd->m_hWnd;
  if (!hwnd) return FALSE;
  if (IsWindowThread()) {
    fn();
    return TRUE;
  }
  HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!done) return FALSE;
  bool ran = false;
  bool wake;
  {
    std::lock_guard<std::mutex> l(m_lock);
    m_calls.push_back(Call{[&fn, &ran] {
                             fn();
                             ran = true;
                           },
                           0, done});
    // A waiting caller does not wait for the timer (it cannot flood the
    // window: it sends one call at a time).
    wake = !m_bWakePosted;
    m_bArmed = true;
    m_bWakePosted = true;
  }
  if (wake) Wake();
  // The event comes once the call has run or was dropped (it has left the
  // queue either way). A window that goes away meanwhile never runs a call
  // still queued: stop waiting then. A call already running holds on to fn
  // and ran: wait for its end.
  for (;;) {
    if (::WaitForSingleObject(done, 50) != WAIT_TIMEOUT) break;
    if (::IsWindow(hwnd)) continue;
    std::lock_guard<std::mutex> l(m_lock);
    auto it = m_calls.begin();
    while (it != m_calls.end() && it->done != done) ++it;
    if (it != m_calls.end()) {
      m_calls.erase(it);
      break;
    }
  }
  ::CloseHandle(done);
  return ran ? TRUE : FALSE;
}

BOOL CWindowCalls::RunTurn(DWORD budgetMs) {
  const DWORD start = ::GetTickCount();
  BOOL ran = FALSE;
  for (;;) {
    Call call;
    {
      std::lock_guard<std::mutex> l(m_lock);
      if (m_calls.empty() || (ran && ::GetTickCount() - start >= budgetMs)) return ran;
      call = std::move(m_calls.front());
      if (call.key) m_keyed.erase(call.key);
      m_calls.pop_front();
    }
    ran = TRUE;
    if (call.fn) call.fn();
    if (call.done) ::SetEvent(call.done);
  }
}

void CWindowCalls::Flush() {
  if (IsWindowThread()) RunTurn(INFINITE);
}

void CWindowCalls::Close() {
  std::lock_guard<std::mutex> l(m_lock);
  for (Call& call : m_calls)
    if (call.done) ::SetEvent(call.done);
  m_calls.clear();
  m_keyed.clear();
  m_bArmed = false;
  m_bWakePosted = false;
}

void CWindowCalls::Hold(BOOL bHold) {
  if (bHold) {
    ++m_nHolds;
    return;
  }
  if (m_nHolds <= 0 || --m_nHolds > 0) return;
  bool wake = false;
  {
    std::lock_guard<std::mutex> l(m_lock);
    if (!m_bWakePosted) {
      // The wake message of what came meanwhile was taken while held.
      wake = !m_calls.empty();
      m_bArmed = wake;
      m_bWakePosted = wake;
    }
  }
  if (wake) Wake();
}

BOOL CWindowCalls::RunTurns() {
  BOOL ran = RunTurn(m_dwTurnMs);
  // Turns follow one another while the thread has nothing else to do; input,
  // painting and other messages come first.
  while (ran && !HIWORD(::GetQueueStatus(QS_INPUT | QS_PAINT | QS_POSTMESSAGE | QS_SENDMESSAGE))) {
    {
      std::lock_guard<std::mutex> l(m_lock);
      if (m_calls.empty()) break;
    }
    RunTurn(m_dwTurnMs);
  }
  return ran;
}

BOOL CWindowCalls::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND hwnd = m_pWnd->m_hWnd;
  if (message == WakeMessage() && lParam == (LPARAM)this) {
    {
      std::lock_guard<std::mutex> l(m_lock);
      m_bWakePosted = false;
    }
    if (m_nHolds) return TRUE;  // the release wakes the window again
    // The first calls run at once; whatever follows runs from the timer,
    // which comes after the user's input and the window's painting.
    RunTurns();
    ::SetTimer(hwnd, kCallTimer, USER_TIMER_MINIMUM, nullptr);
    return TRUE;
  }
  if (message == WM_TIMER && wParam == kCallTimer) {
    if (m_nHolds) {
      ::KillTimer(hwnd, kCallTimer);  // the release wakes the window again
      return TRUE;
    }
    if (RunTurns()) return TRUE;
    // A turn with nothing to run: the next call wakes the window again.
    std::lock_guard<std::mutex> l(m_lock);
    if (m_calls.empty()) {
      ::KillTimer(hwnd, kCallTimer);
      m_bArmed = false;
    }
    return TRUE;
  }
  return FALSE;
}
