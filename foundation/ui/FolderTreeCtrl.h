// The folder tree of the folder picker: the busy shell tree with the shell's
// context menu of the folder clicked.
#pragma once
#include "foundation/ui/ShellContextMenu.h"
#include "foundation/ui/ShellTreeCtrl.h"

class CFolderTreeCtrl : public CBusyShellTreeCtrl {
  DECLARE_DYNAMIC(CFolderTreeCtrl)
 public:
  enum : UINT { kFirstShellCommand = 0xE00, kLastShellCommand = 0xFFF };
  CFolderTreeCtrl() {}

  // The shell's menu of a node (the selected one when none is given) at a
  // point in screen coordinates; its command acts on that node.
  void ShowContextMenu(CPoint point, HTREEITEM hItem = nullptr);
  CShellContextMenu& GetShellContextMenu() { return m_contextMenu; }
  // The node the last menu was shown for, while it exists.
  HTREEITEM GetMenuItem() const { return m_hMenuItem; }

 protected:
  // The node under a point in screen coordinates, if any.
  HTREEITEM ItemAtScreenPoint(CPoint point);
  afx_msg void OnContextMenu(CWnd* pWnd, CPoint point);
  afx_msg void OnRightClick(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnItemDeleted(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnShellCommand(UINT nID);
  DECLARE_MESSAGE_MAP()

  CShellContextMenu m_contextMenu;
  HTREEITEM m_hMenuItem = nullptr;
};
