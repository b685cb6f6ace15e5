// The folder tree of the folder picker: the busy shell tree with the shell's
// context menu of the selected folder.
#pragma once
#include "ShellContextMenu.h"
#include "ShellTreeCtrl.h"

class CFolderTreeCtrl : public CBusyShellTreeCtrl {
  DECLARE_DYNAMIC(CFolderTreeCtrl)
 public:
  enum : UINT { kFirstShellCommand = 0xE00, kLastShellCommand = 0xFFF };
  CFolderTreeCtrl() {}

  // The shell's menu of the selected node at a point in screen coordinates.
  void ShowContextMenu(CPoint point);
  CShellContextMenu& GetShellContextMenu() { return m_contextMenu; }

 protected:
  afx_msg void OnContextMenu(CWnd* pWnd, CPoint point);
  afx_msg void OnRightClick(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnShellCommand(UINT nID);
  DECLARE_MESSAGE_MAP()

  CShellContextMenu m_contextMenu;
};
