// Answers the program's dialogs the way a user would: a thread watches for a
// visible top-level window of this process with a given caption and hands it
// to an action (which clicks, types, takes a picture). Works whichever thread
// shows the dialog, including one blocked inside it.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <iterator>
#include <mutex>
#include <set>

#include "tests/converter/support/WatcherThread.h"
#include "afx.h"

class CDialogAnswerer : public CWatcherThread {
 public:
  typedef std::function<void(HWND)> Action;
  CDialogAnswerer(LPCTSTR caption, Action action) : m_caption(caption), m_action(std::move(action)) { StartWatching(); }
  ~CDialogAnswerer() override { StopWatching(); }
  int Answered() const { return m_answered.load(); }

  // Clicks a button of a dialog as a user would (posted, so the caller never waits).
  static void Press(HWND dlg, int id) {
    HWND button = ::GetDlgItem(dlg, id);
    ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
  }

 private:
  struct Search {
    const CString* caption;
    HWND found;
  };
  static BOOL CALLBACK Find(HWND hwnd, LPARAM lp) {
    Search* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd)) return TRUE;
    wchar_t text[256] = {0};
    // Reads the caption without asking the window's thread.
    ::InternalGetWindowText(hwnd, text, 256);
    if (*s->caption == text) {
      s->found = hwnd;
      return FALSE;
    }
    return TRUE;
  }
  void Watch() override {
    std::set<HWND> done;
    while (!m_stop) {
      for (auto it = done.begin(); it != done.end();) it = ::IsWindow(*it) ? std::next(it) : done.erase(it);
      Search s{&m_caption, nullptr};
      ::EnumWindows(Find, (LPARAM)&s);
      if (s.found && !done.count(s.found)) {
        done.insert(s.found);
        // Painted with its controls before anyone looks at it.
        ::RedrawWindow(s.found, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        m_action(s.found);
        ++m_answered;
      }
      ::Sleep(15);
    }
  }

  CString m_caption;
  Action m_action;
  std::atomic<int> m_answered{0};
};
