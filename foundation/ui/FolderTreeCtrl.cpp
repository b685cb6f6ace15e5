// The shell context menu of the folder tree.
#include "foundation/ui/FolderTreeCtrl.h"

IMPLEMENT_DYNAMIC(CFolderTreeCtrl, CBusyShellTreeCtrl)

BEGIN_MESSAGE_MAP(CFolderTreeCtrl, CBusyShellTreeCtrl)
  ON_WM_CONTEXTMENU()
  ON_NOTIFY_REFLECT(NM_RCLICK, OnRightClick)
  ON_NOTIFY_REFLECT(TVN_DELETEITEM, OnItemDeleted)
  ON_COMMAND_RANGE(CFolderTreeCtrl::kFirstShellCommand, CFolderTreeCtrl::kLastShellCommand, OnShellCommand)
END_MESSAGE_MAP()

HTREEITEM CFolderTreeCtrl::ItemAtScreenPoint(CPoint point) {
  ScreenToClient(&point);
  UINT flags = 0;
  HTREEITEM item = HitTest(point, &flags);
  return item && (flags & TVHT_ONITEM) ? item : nullptr;
}

// A right-click shows the menu of the node clicked (not the selected one) and
// answers 1, so the tree sends no WM_CONTEXTMENU of its own for the same click.
void CFolderTreeCtrl::OnRightClick(NMHDR*, LRESULT* pResult) {
  CPoint point;
  ::GetCursorPos(&point);
  *pResult = 1;
  if (HTREEITEM item = ItemAtScreenPoint(point)) ShowContextMenu(point, item);
}

// The keyboard (Shift+F10, the menu key): the selected node; any other sender:
// the node at its point, else the selected one.
void CFolderTreeCtrl::OnContextMenu(CWnd*, CPoint point) {
  HTREEITEM item = nullptr;
  if (point.x == -1 && point.y == -1) {
    // From the keyboard: below the selected node's text.
    CRect rc;
    HTREEITEM selected = GetSelectedItem();
    if (selected && GetItemRect(selected, &rc, TRUE)) {
      point.SetPoint(rc.left, rc.bottom);
    } else {
      point.SetPoint(0, 0);
    }
    ClientToScreen(&point);
  } else {
    item = ItemAtScreenPoint(point);
  }
  ShowContextMenu(point, item);
}

void CFolderTreeCtrl::ShowContextMenu(CPoint point, HTREEITEM hItem) {
  if (!hItem) hItem = GetSelectedItem();
  CShellTreeItem* data = GetShellItem(hItem);
  if (!data || !m_contextMenu.QueryFromItem(data->m_pParentFolder, data->GetRelative())) return;
  m_hMenuItem = hItem;
  HMENU menu = ::CreatePopupMenu();
  if (!menu) return;
  if (m_contextMenu.FillMenu(menu, 0, kFirstShellCommand, kLastShellCommand, CMF_EXPLORE | CMF_NODEFAULT) &&
      ::GetMenuItemCount(menu) > 0) {
    // The node clicked is marked while its menu is up.
    SelectDropTarget(hItem);
    m_contextMenu.Attach(this);
    ::TrackPopupMenu(menu, TPM_RIGHTBUTTON, point.x, point.y, 0, m_hWnd, nullptr);
    m_contextMenu.Attach(nullptr);
    SelectDropTarget(nullptr);
  }
  ::DestroyMenu(menu);
}

void CFolderTreeCtrl::OnItemDeleted(NMHDR* pNMHDR, LRESULT* pResult) {
  if (reinterpret_cast<NMTREEVIEWW*>(pNMHDR)->itemOld.hItem == m_hMenuItem) m_hMenuItem = nullptr;
  OnDeleteItem(pNMHDR, pResult);
}

// The command runs on the node its menu was shown for; what the shell changed
// there (a folder deleted, renamed or made) shows in the tree at once.
void CFolderTreeCtrl::OnShellCommand(UINT nID) {
  if (!m_contextMenu.InvokeCommand(nID) || !m_hMenuItem) return;
  HTREEITEM item = m_hMenuItem;
  HTREEITEM parent = GetParentItem(item);
  RefreshChildren(item);
  if (parent) RefreshChildren(parent);
}
