// Reads the items of a popup menu while it is open (from another thread, as
// a user would see them) and closes it.
#pragma once
#include <windows.h>

#include <atomic>
#include <map>

#include "tests/converter/support/WatcherThread.h"
#include "afx.h"

#ifndef MN_GETHMENU
#define MN_GETHMENU 0x01E1
#endif

class CMenuReader : public CWatcherThread {
 public:
  // command id -> enabled; filled once the menu has been seen.
  std::map<UINT, bool> states;
  UINT defaultItem = 0;
  RECT where = {};
  std::atomic<bool> seen{false};

  // Watches for a popup menu of this process and closes it once read. owner:
  // the window the menu was tracked for (gets the Escape key).
  explicit CMenuReader(HWND owner) : m_owner(owner) { StartWatching(); }
  ~CMenuReader() override { StopWatching(); }

 private:
  static BOOL CALLBACK Find(HWND hwnd, LPARAM lp) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16] = {0};
    ::GetClassNameW(hwnd, cls, 16);
    if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(hwnd) && wcscmp(cls, L"#32768") == 0) {
      *reinterpret_cast<HWND*>(lp) = hwnd;
      return FALSE;
    }
    return TRUE;
  }
  void Watch() override {
    while (!m_stop && !seen) {
      HWND popup = nullptr;
      ::EnumWindows(Find, (LPARAM)&popup);
      HMENU menu = popup ? (HMENU)::SendMessageW(popup, MN_GETHMENU, 0, 0) : nullptr;
      if (menu) {
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
          MENUITEMINFOW mi = {sizeof(mi)};
          mi.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE;
          ::GetMenuItemInfoW(menu, i, TRUE, &mi);
          if (mi.fType & MFT_SEPARATOR) continue;
          states[mi.wID] = !(mi.fState & (MFS_DISABLED | MFS_GRAYED));
          if (mi.fState & MFS_DEFAULT) defaultItem = mi.wID;
        }
        UINT def = ::GetMenuDefaultItem(menu, FALSE, 0);
        if (def != (UINT)-1) defaultItem = def;
        ::GetWindowRect(popup, &where);
        seen = true;
        ::PostMessageW(m_owner, WM_KEYDOWN, VK_ESCAPE, 0);
        ::PostMessageW(m_owner, WM_CANCELMODE, 0, 0);
        break;
      }
      ::Sleep(10);
    }
  }
  HWND m_owner;
};
