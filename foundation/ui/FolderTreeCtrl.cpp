// The shell context menu of the folder tree.
#include "FolderTreeCtrl.h"

IMPLEMENT_DYNAMIC(CFolderTreeCtrl, CBusyShellTreeCtrl)

BEGIN_MESSAGE_MAP(CFolderTreeCtrl, CBusyShellTreeCtrl)
  ON_WM_CONTEXTMENU()
  ON_NOTIFY_REFLECT(NM_RCLICK, OnRightClick)
  ON_COMMAND_RANGE(CFolderTreeCtrl::kFirstShellCommand, CFolderTreeCtrl::kLastShellCommand, OnShellCommand)
END_MESSAGE_MAP()

// A right-click shows the menu and answers 1, so the tree sends no
// WM_CONTEXTMENU of its own for the same click.
void CFolderTreeCtrl::OnRightClick(NMHDR*, LRESULT* pResult) {
  CPoint point;
  ::GetCursorPos(&point);
  ShowContextMenu(point);
  *pResult = 1;
}

// The keyboard (Shift+F10, the menu key) and any other sender.
void CFolderTreeCtrl::OnContextMenu(CWnd*, CPoint point) {
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
  }
  ShowContextMenu(point);
}

void CFolderTreeCtrl::ShowContextMenu(CPoint point) {
  CShellTreeItem* data = GetShellItem(GetSelectedItem());
  if (!data || !m_contextMenu.QueryFromItem(data->m_pParentFolder, data->GetRelative())) return;
  HMENU menu = ::CreatePopupMenu();
  if (!menu) return;
  if (m_contextMenu.FillMenu(menu, 0, kFirstShellCommand, kLastShellCommand, CMF_EXPLORE | CMF_NODEFAULT) &&
      ::GetMenuItemCount(menu) > 0) {
    m_contextMenu.Attach(this);
    ::TrackPopupMenu(menu, TPM_RIGHTBUTTON, point.x, point.y, 0, m_hWnd, nullptr);
    m_contextMenu.Attach(nullptr);
  }
  ::DestroyMenu(menu);
}

void CFolderTreeCtrl::OnShellCommand(UINT nID) { m_contextMenu.InvokeCommand(nID); }
