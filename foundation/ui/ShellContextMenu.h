// The shell's own context menu of one namespace item, put into a popup menu of
// the program. While the popup is shown the owner window's procedure is hooked
// so the menu's drawing and sub-menu messages reach the shell.
#pragma once
#include "afxwin.h"

#include <shlobj.h>

class CShellContextMenu {
 public:
  CShellContextMenu() {}
  virtual ~CShellContextMenu();
  CShellContextMenu(const CShellContextMenu&) = delete;
  CShellContextMenu& operator=(const CShellContextMenu&) = delete;

  // Asks the folder for the context menu of one item relative to it; the
  // result replaces the interface held. TRUE when one is held.
  BOOL QueryFromItem(IShellFolder* folder, LPCITEMIDLIST item);
  // Lets the shell fill the menu at the position with ids first..last; the
  // range really used is kept. With CMF_NODEFAULT the menu's own default item stays.
  BOOL FillMenu(HMENU menu, UINT position, UINT firstId, UINT lastId, UINT flags);
  // Runs the command of an id the shell used, by its offset.
  BOOL InvokeCommand(UINT id);
  // The help text of a command; the wide form first, then the narrow one.
  BOOL GetCommandHelp(UINT id, CString& text);
  // Hooks the window (unhooking the one before); NULL only unhooks.
  void Attach(CWnd* wnd);
  // Passes menu messages to the shell; TRUE with *result when it took them.
  BOOL HandleMenuMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  IContextMenu* GetInterface() const { return m_pContextMenu; }
  UINT GetFirstId() const { return m_nFirstId; }
  UINT GetLastId() const { return m_nLastId; }
  CWnd* GetAttachedWindow() const { return m_pAttachedWnd; }

  // Name of the window property that leads the hook to its host.
  static const wchar_t kPropName[];

 protected:
  void HookWindow();
  void UnhookWindow();
  static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
  BOOL IsCommandId(UINT id) const {
    return m_pContextMenu && m_nLastId >= m_nFirstId && id >= m_nFirstId && id <= m_nLastId && m_nFirstId != 0;
  }

  IContextMenu* m_pContextMenu = nullptr;
  UINT m_nFirstId = 0;
  UINT m_nLastId = 0;
  CWnd* m_pAttachedWnd = nullptr;
  WNDPROC m_pfnOldProc = nullptr;
  HWND m_hAttached = nullptr;  // the handle hooked (the object may lose it first)
};
