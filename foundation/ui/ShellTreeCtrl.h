// The shell namespace as a tree: folders from the desktop down, filled as
// they open, with the shell's names, icons, overlays and order; lookup of a
// file-system path; and two variants that show a progress bar and an animated
// busy cursor while a folder loads.
#pragma once
#include "foundation/ui/LoadingTreeCtrl.h"
#include "foundation/ui/ShellPidl.h"

#include <unordered_set>

// Item data of one node, owned by the node.
class CShellTreeItem {
 public:
  enum : int { ListNonFolders = 1, ListHidden = 2 };
  // Takes a reference on the folder and owns the list.
  CShellTreeItem(IShellFolder* parentFolder, LPITEMIDLIST absolute, int flags);
  ~CShellTreeItem();
  CShellTreeItem(const CShellTreeItem&) = delete;
  CShellTreeItem& operator=(const CShellTreeItem&) = delete;
  LPCITEMIDLIST GetRelative() const { return GetLastPidlItem(m_pidl); }

  IShellFolder* m_pParentFolder;  // the folder that contains the item
  CPidl m_pidl;                   // absolute item-ID list
  int m_nFlags;                   // ListNonFolders, ListHidden; children inherit the low four bits
};

class CShellTreeCtrl : public CLoadingTreeCtrl {
  DECLARE_DYNAMIC(CShellTreeCtrl)
 public:
  CShellTreeCtrl();
  ~CShellTreeCtrl() override;

  // One root item for the desktop (no list), or the children of a folder as roots.
  void FillRoot(LPCITEMIDLIST pidl = nullptr, int flags = 0);
  BOOL PopulateItem(HTREEITEM hNode) override;
  BOOL EnumerateChildren(HTREEITEM hParent, LPCITEMIDLIST absolute, int flags);
  // After the shell changed a folder: a filled node loses the children that
  // are gone and gets the new ones (the others stay as they are); a node not
  // filled yet only gets its expand button right.
  void RefreshChildren(HTREEITEM hNode);
  HTREEITEM InsertShellItem(HTREEITEM hParent, IShellFolder* folder, LPCITEMIDLIST parentList, LPCITEMIDLIST relative,
                            int flags);
  // Fills the fields the item's mask asks for from its item data (lParam).
  void FillItemInfo(TVITEMW& item);
  static int CALLBACK CompareItems(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);

  CShellTreeItem* GetShellItem(HTREEITEM hItem) const;
  // The file-system path of the selected node; empty when there is none.
  CString GetSelectedPath() const;
  // Selects the node of a file-system path below the drives folder, opening
  // every folder on the way. Any thread may call these; from another thread
  // each step runs on the tree's own thread through its window calls.
  BOOL SelectPath(LPCTSTR path);
  HTREEITEM FindPathItem(LPCTSTR path);
  // The first child whose item equals the last item of the absolute list.
  HTREEITEM FindChildItem(HTREEITEM hParent, LPCITEMIDLIST absolute) const;
  // Item data objects alive (test support).
  size_t GetItemDataCount() const { return m_items.size(); }

  // Fields given through TVN_GETDISPINFO instead of at insertion.
  UINT m_nDeferredFields;

 protected:
  struct PathStep {
    enum Kind { ExpandAndMatch, ExpandOnly, MatchDrives, Select } kind = ExpandOnly;
    HTREEITEM hNode = nullptr;
    CString path;
    HTREEITEM hResult = nullptr;
  };
  HTREEITEM RunPathStep(PathStep::Kind kind, HTREEITEM hNode, LPCTSTR path);
  void DoPathStep(PathStep& step);
  void FreeItemData(CShellTreeItem* data);
  void FreeAllItemData();

  void PreSubclassWindow() override;
  afx_msg void OnDeleteItem(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnDestroy();
  DECLARE_MESSAGE_MAP()

  IShellFolder* m_pDesktop = nullptr;
  std::unordered_set<CShellTreeItem*> m_items;
  // Path steps of other threads; held while a folder fills.
  CWindowCalls m_calls;
};

// A 54-pixel progress bar to the right of "Loading...".
class CProgressShellTreeCtrl : public CShellTreeCtrl {
  DECLARE_DYNAMIC(CProgressShellTreeCtrl)
 public:
  CProgressShellTreeCtrl() {}
  void OnLoadingStart(HTREEITEM hLoadingItem) override;
  void DrawLoadingStep(BOOL bTick, int nTotal, int nDone) override;
  void OnLoadingEnd() override;
  // Filled width (0 to 50 pixels); total 0 grows towards 50 as done grows.
  static int CalcFilledWidth(int nTotal, int nDone);
  const CRect& GetBarRect() const { return m_rcBar; }

 protected:
  CRect m_rcBar;
  CRect m_rcInner;
  CBrush m_brFrame;
  CBrush m_brFill;
};

// The animated busy cursor over the "Loading..." item's icon, 125 ms per frame.
class CBusyShellTreeCtrl : public CProgressShellTreeCtrl {
  DECLARE_DYNAMIC(CBusyShellTreeCtrl)
 public:
  enum { kFrameCount = 10 };
  CBusyShellTreeCtrl();
  ~CBusyShellTreeCtrl() override;
  void OnLoadingStart(HTREEITEM hLoadingItem) override;
  void DrawLoadingStep(BOOL bTick, int nTotal, int nDone) override;
  void OnLoadingEnd() override;
  HCURSOR GetBusyCursor() const { return m_hBusyCursor; }
  const CRect& GetBusyIconRect() const { return m_rcIcon; }
  int GetFrame() const { return m_nFrame; }

 protected:
  CBrush m_brBackground;
  CRect m_rcIcon;
  std::atomic<int> m_nFrame{0};
  HCURSOR m_hBusyCursor = nullptr;
};
