// Support for the shell tree tests: COM on the test thread, counts of GDI and
// user objects, folders made for a test, a top-level window to host controls.
#pragma once
#include "afxwin.h"
#include "tests/support/TestFolders.h"

#include <ostream>
#include <vector>

// Readable strings in test messages.
inline void PrintTo(const CString& s, std::ostream* os) {
  CStringA narrow(s);
  *os << '"' << (const char*)narrow << '"';
}

// The first child of parent with this text, or null.
inline HTREEITEM FindChildItem(CTreeCtrl& tree, HTREEITEM parent, LPCWSTR text) {
  for (HTREEITEM c = tree.GetChildItem(parent); c; c = tree.GetNextSiblingItem(c))
    if (tree.GetItemText(c) == text) return c;
  return nullptr;
}

// The item's children flag as the tree holds it (I_CHILDRENCALLBACK included).
inline int ChildrenFlagOf(CTreeCtrl& tree, HTREEITEM node) {
  TVITEMW item = {};
  item.mask = TVIF_CHILDREN;
  item.hItem = node;
  tree.GetItem(&item);
  return item.cChildren;
}

// COM (apartment-threaded) for the current thread while it lives.
class CComScope {
 public:
  CComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~CComScope() {
    if (SUCCEEDED(m_hr)) ::CoUninitialize();
  }
  HRESULT m_hr;
};

// GDI and user objects of this process. GetGuiResources answers 0 under
// Wine; then the objects are counted from what Wine itself keeps.
int CountGdiObjects();
int CountUserObjects();

// A folder of its own under the temporary folder with subfolders and files,
// removed with everything in it when the object goes.
class CTestFolder {
 public:
  explicit CTestFolder(LPCTSTR name);
  ~CTestFolder();
  CString Path(LPCTSTR relative = nullptr) const;
  BOOL AddFolder(LPCTSTR relative) const;
  BOOL AddFile(LPCTSTR relative) const;
  CString m_root;
};

// A top-level window that hosts the controls under test. A WM_CONTEXTMENU
// that a child sends it is passed back to that child, as the child's own
// window gets it from the tree control on Windows.
class CHostWnd : public CWnd {
 public:
  BOOL CreateHost(int width, int height, BOOL visible);
  int m_contextMenusRelayed = 0;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  HWND m_relaying = nullptr;
};

// Text of every child of a tree node, in order.
std::vector<CString> ChildTexts(CTreeCtrl& tree, HTREEITEM parent);
