// Stand-in shell objects for tests that need no shell: a small namespace of
// folders (IShellFolder, IEnumIDList), a context menu (IContextMenu2) and a
// counting allocator. Every object counts its AddRef and Release calls and
// stays in memory until its namespace goes, so a release too many is counted
// instead of touching freed memory.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class CStandInNamespace;

class CStandInObject {
 public:
  enum Kind { KindFolder, KindEnum, KindMenu };
  CStandInObject(CStandInNamespace* ns, Kind kind) : m_ns(ns), m_kind(kind) {}
  virtual ~CStandInObject() {}
  ULONG CountedAddRef();
  ULONG CountedRelease();
  CStandInNamespace* m_ns;
  Kind m_kind;
  LONG m_refs = 1;
};

// The allocator: counts the blocks it handed out and not yet got back.
class CCountingMalloc : public IMalloc {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)InterlockedIncrement(&m_refs); }
  STDMETHODIMP_(ULONG) Release() override { return (ULONG)InterlockedDecrement(&m_refs); }
  STDMETHODIMP_(void*) Alloc(SIZE_T size) override;
  STDMETHODIMP_(void*) Realloc(void* block, SIZE_T size) override;
  STDMETHODIMP_(void) Free(void* block) override;
  STDMETHODIMP_(SIZE_T) GetSize(void* block) override { return (SIZE_T)-1; }
  STDMETHODIMP_(int) DidAlloc(void* block) override;
  STDMETHODIMP_(void) HeapMinimize() override {}
  size_t LiveBlocks();
  LONG m_refs = 1;
  int m_foreignFrees = 0;  // blocks that came from elsewhere (the real shell)

 private:
  std::mutex m_lock;
  std::set<void*> m_live;
};

class CStandInContextMenu : public CStandInObject, public IContextMenu2 {
 public:
  CStandInContextMenu(CStandInNamespace* ns, BOOL withMenu2) : CStandInObject(ns, KindMenu), m_bMenu2(withMenu2) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override { return CountedAddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return CountedRelease(); }
  STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last, UINT flags) override;
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
  STDMETHODIMP GetCommandString(UINT_PTR id, UINT type, UINT* reserved, LPSTR name, UINT cchMax) override;
  STDMETHODIMP HandleMenuMsg(UINT message, WPARAM wParam, LPARAM lParam) override;

  BOOL m_bMenu2;
  int m_nCommands = 3;        // items added by QueryContextMenu
  HRESULT m_hrQuery = S_OK;   // a failure makes QueryContextMenu add nothing
  BOOL m_bSetDefault = TRUE;  // marks its first item as default, as the real shell does
  std::wstring m_helpW;       // empty: the wide help text call leaves the buffer empty
  std::string m_helpA;
  // What was asked.
  UINT m_queryFirst = 0, m_queryLast = 0, m_queryFlags = 0, m_queryIndex = 0;
  std::function<void()> m_onInvoke;  // what the command does to the namespace
  std::vector<UINT_PTR> m_invokedVerbs;
  std::vector<DWORD> m_invokedSizes;
  std::vector<HWND> m_invokedWindows;
  std::vector<UINT> m_helpTypes;
  std::vector<UINT> m_menuMessages;
};

struct CStandInNode {
  std::wstring name;
  int rank = 0;  // the order CompareIDs gives (not the name's)
  int parent = -1;
  std::vector<int> children;
  ULONG attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
  BOOL bindFails = FALSE;
};

class CStandInFolder : public CStandInObject, public IShellFolder {
 public:
  CStandInFolder(CStandInNamespace* ns, int node) : CStandInObject(ns, KindFolder), m_node(node) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override { return CountedAddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return CountedRelease(); }
  STDMETHODIMP ParseDisplayName(HWND, LPBC, LPWSTR, ULONG*, LPITEMIDLIST*, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP EnumObjects(HWND hwnd, SHCONTF flags, IEnumIDList** ppenum) override;
  STDMETHODIMP BindToObject(LPCITEMIDLIST pidl, LPBC, REFIID riid, void** ppv) override;
  STDMETHODIMP BindToStorage(LPCITEMIDLIST, LPBC, REFIID, void**) override { return E_NOTIMPL; }
  STDMETHODIMP CompareIDs(LPARAM lParam, LPCITEMIDLIST a, LPCITEMIDLIST b) override;
  STDMETHODIMP CreateViewObject(HWND, REFIID, void**) override { return E_NOTIMPL; }
  STDMETHODIMP GetAttributesOf(UINT cidl, LPCITEMIDLIST* items, SFGAOF* inOut) override;
  STDMETHODIMP GetUIObjectOf(HWND, UINT cidl, LPCITEMIDLIST* items, REFIID riid, UINT*, void** ppv) override;
  STDMETHODIMP GetDisplayNameOf(LPCITEMIDLIST pidl, SHGDNF flags, STRRET* name) override;
  STDMETHODIMP SetNameOf(HWND, LPCITEMIDLIST, LPCWSTR, SHGDNF, LPITEMIDLIST*) override { return E_NOTIMPL; }
  int m_node;
};

class CStandInEnum : public CStandInObject, public IEnumIDList {
 public:
  CStandInEnum(CStandInNamespace* ns, int node, SHCONTF flags)
      : CStandInObject(ns, KindEnum), m_node(node), m_flags(flags) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override { return CountedAddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return CountedRelease(); }
  STDMETHODIMP Next(ULONG celt, LPITEMIDLIST* items, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG celt) override {
    m_next += celt;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    m_next = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumIDList**) override { return E_NOTIMPL; }
  int m_node;
  SHCONTF m_flags;
  ULONG m_next = 0;    // next child to look at
  ULONG m_handed = 0;  // items handed out
};

class CStandInNamespace {
 public:
  CStandInNamespace();
  ~CStandInNamespace();
  // Adds a folder (or, without SFGAO_FOLDER, a file) under a parent; returns its id.
  int Add(int parent, const wchar_t* name, int rank, ULONG attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER);
  // Installs the desktop and the allocator as the process-wide shell objects.
  void Install();
  void Uninstall();

  // An item of one node, from the counting allocator; the node of an item (-1 if not ours).
  LPITEMIDLIST MakeItem(int node);
  int NodeOfItem(LPCITEMIDLIST item) const;
  // The node an item list leads to from a node; -1 when it leads nowhere.
  int Walk(int from, LPCITEMIDLIST pidl) const;

  // Objects whose references are not all released, by kind (the desktop counts
  // while the test holds it); releases beyond zero; AddRef and Release calls.
  int LiveObjects(CStandInObject::Kind kind) const;
  // References not given back, over every object made.
  long OutstandingReferences() const;
  int m_overReleases = 0;
  int m_addRefs = 0;
  int m_releases = 0;

  std::vector<CStandInNode> m_nodes;  // node 0 is the desktop
  CCountingMalloc m_malloc;
  CStandInFolder* m_pDesktop = nullptr;
  CStandInContextMenu* m_pMenuForItems = nullptr;  // handed out by GetUIObjectOf
  std::vector<int> m_menuNodes;                    // the nodes it was asked for
  // Called on the UI thread before an enumerator hands out item `index` of `node`.
  std::function<void(int node, ULONG index)> m_onNext;
  int m_enumCalls = 0;
  std::vector<std::unique_ptr<CStandInObject>> m_objects;

  template <class T, class... A>
  T* Make(A&&... args) {
    T* p = new T(this, std::forward<A>(args)...);
    m_objects.emplace_back(p);
    return p;
  }
};
