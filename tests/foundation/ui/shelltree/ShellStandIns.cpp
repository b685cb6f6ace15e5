#include "tests/foundation/ui/shelltree/ShellStandIns.h"

#include <cstring>

#include "foundation/ui/ShellPidl.h"

namespace {
// A stand-in item: its byte count, a marker no shell uses, the node id.
#pragma pack(push, 1)
struct StandInItem {
  USHORT cb;
  BYTE marker[2];
  USHORT node;
};
#pragma pack(pop)
const BYTE kMarker[2] = {0x99, 0x5A};

HRESULT ShortResult(int v) { return MAKE_HRESULT(SEVERITY_SUCCESS, 0, (USHORT)(short)v); }
}  // namespace

ULONG CStandInObject::CountedAddRef() {
  ++m_ns->m_addRefs;
  return (ULONG)++m_refs;
}

ULONG CStandInObject::CountedRelease() {
  ++m_ns->m_releases;
  if (m_refs <= 0) {
    ++m_ns->m_overReleases;
    return 0;
  }
  return (ULONG)--m_refs;
}

// ---------------------------------------------------------------------------

STDMETHODIMP CCountingMalloc::QueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IUnknown || riid == IID_IMalloc) {
    *ppv = static_cast<IMalloc*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(void*) CCountingMalloc::Alloc(SIZE_T size) {
  void* p = ::CoTaskMemAlloc(size);
  std::lock_guard<std::mutex> l(m_lock);
  if (p) m_live.insert(p);
  return p;
}

STDMETHODIMP_(void*) CCountingMalloc::Realloc(void* block, SIZE_T size) {
  std::lock_guard<std::mutex> l(m_lock);
  m_live.erase(block);
  void* p = ::CoTaskMemRealloc(block, size);
  if (p) m_live.insert(p);
  return p;
}

STDMETHODIMP_(void) CCountingMalloc::Free(void* block) {
  if (!block) return;
  {
    std::lock_guard<std::mutex> l(m_lock);
    if (!m_live.erase(block)) ++m_foreignFrees;
  }
  ::CoTaskMemFree(block);
}

STDMETHODIMP_(int) CCountingMalloc::DidAlloc(void* block) {
  std::lock_guard<std::mutex> l(m_lock);
  return m_live.count(block) ? 1 : 0;
}

size_t CCountingMalloc::LiveBlocks() {
  std::lock_guard<std::mutex> l(m_lock);
  return m_live.size();
}

// ---------------------------------------------------------------------------

STDMETHODIMP CStandInContextMenu::QueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IUnknown || riid == IID_IContextMenu || (m_bMenu2 && riid == IID_IContextMenu2)) {
    *ppv = static_cast<IContextMenu2*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP CStandInContextMenu::QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last, UINT flags) {
  m_queryFirst = first;
  m_queryLast = last;
  m_queryFlags = flags;
  m_queryIndex = index;
  if (FAILED(m_hrQuery)) return m_hrQuery;
  for (int i = 0; i < m_nCommands; ++i) {
    wchar_t text[32];
    wsprintfW(text, L"Command %d", i);
    ::InsertMenuW(menu, index + i, MF_BYPOSITION | MF_STRING, first + i, text);
  }
  if (m_bSetDefault && m_nCommands > 0) ::SetMenuDefaultItem(menu, first, FALSE);
  return ShortResult(m_nCommands);
}

STDMETHODIMP CStandInContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* info) {
  m_invokedSizes.push_back(info->cbSize);
  m_invokedVerbs.push_back(reinterpret_cast<UINT_PTR>(info->lpVerb));
  m_invokedWindows.push_back(info->hwnd);
  if (m_onInvoke) m_onInvoke();
  return S_OK;
}

STDMETHODIMP CStandInContextMenu::GetCommandString(UINT_PTR, UINT type, UINT*, LPSTR name, UINT cchMax) {
  m_helpTypes.push_back(type);
  if (type == GCS_HELPTEXTW) {
    if (m_helpW.empty()) return E_NOTIMPL;  // like a handler that only knows the narrow form
    lstrcpynW(reinterpret_cast<LPWSTR>(name), m_helpW.c_str(), (int)cchMax);
    return S_OK;
  }
  if (type == GCS_HELPTEXTA) {
    lstrcpynA(name, m_helpA.c_str(), (int)cchMax);
    return S_OK;
  }
  return E_INVALIDARG;
}

STDMETHODIMP CStandInContextMenu::HandleMenuMsg(UINT message, WPARAM, LPARAM) {
  m_menuMessages.push_back(message);
  return S_OK;
}

// ---------------------------------------------------------------------------

STDMETHODIMP CStandInFolder::QueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IUnknown || riid == IID_IShellFolder) {
    *ppv = static_cast<IShellFolder*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP CStandInFolder::EnumObjects(HWND, SHCONTF flags, IEnumIDList** ppenum) {
  ++m_ns->m_enumCalls;
  *ppenum = m_ns->Make<CStandInEnum>(m_node, flags);
  return S_OK;
}

STDMETHODIMP CStandInFolder::BindToObject(LPCITEMIDLIST pidl, LPBC, REFIID riid, void** ppv) {
  *ppv = nullptr;
  int target = m_ns->Walk(m_node, pidl);
  if (target < 0 || m_ns->m_nodes[(size_t)target].bindFails ||
      !(m_ns->m_nodes[(size_t)target].attributes & SFGAO_FOLDER))
    return E_FAIL;
  if (riid != IID_IShellFolder) return E_NOINTERFACE;
  *ppv = static_cast<IShellFolder*>(m_ns->Make<CStandInFolder>(target));
  return S_OK;
}

STDMETHODIMP CStandInFolder::CompareIDs(LPARAM, LPCITEMIDLIST a, LPCITEMIDLIST b) {
  int na = m_ns->NodeOfItem(a), nb = m_ns->NodeOfItem(b);
  if (na < 0 || nb < 0) {
    UINT sa = GetPidlSize(a), sb = GetPidlSize(b);
    if (sa != sb) return ShortResult(sa < sb ? -1 : 1);
    return ShortResult(memcmp(a, b, sa));
  }
  int ra = m_ns->m_nodes[(size_t)na].rank, rb = m_ns->m_nodes[(size_t)nb].rank;
  return ShortResult(ra < rb ? -1 : (ra > rb ? 1 : 0));
}

STDMETHODIMP CStandInFolder::GetAttributesOf(UINT cidl, LPCITEMIDLIST* items, SFGAOF* inOut) {
  ULONG common = ~0u;
  for (UINT i = 0; i < cidl; ++i) {
    int node = GetPidlSize(items[i]) == 0 ? m_node : m_ns->Walk(m_node, items[i]);
    if (node < 0) return E_INVALIDARG;
    common &= m_ns->m_nodes[(size_t)node].attributes;
  }
  *inOut &= common;
  return S_OK;
}

STDMETHODIMP CStandInFolder::GetUIObjectOf(HWND, UINT cidl, LPCITEMIDLIST* items, REFIID riid, UINT*, void** ppv) {
  *ppv = nullptr;
  if (cidl != 1 || riid != IID_IContextMenu || !m_ns->m_pMenuForItems) return E_NOINTERFACE;
  m_ns->m_menuNodes.push_back(m_ns->Walk(m_node, items[0]));
  m_ns->m_pMenuForItems->AddRef();
  *ppv = static_cast<IContextMenu*>(m_ns->m_pMenuForItems);
  return S_OK;
}

STDMETHODIMP CStandInFolder::GetDisplayNameOf(LPCITEMIDLIST pidl, SHGDNF, STRRET* name) {
  int node = GetPidlSize(pidl) == 0 ? m_node : m_ns->Walk(m_node, pidl);
  if (node < 0) return E_INVALIDARG;
  const std::wstring& text = m_ns->m_nodes[(size_t)node].name;
  auto* copy = static_cast<wchar_t*>(m_ns->m_malloc.Alloc((text.size() + 1) * sizeof(wchar_t)));
  if (!copy) return E_OUTOFMEMORY;
  memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  name->uType = STRRET_WSTR;
  name->pOleStr = copy;
  return S_OK;
}

// ---------------------------------------------------------------------------

STDMETHODIMP CStandInEnum::QueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IUnknown || riid == IID_IEnumIDList) {
    *ppv = static_cast<IEnumIDList*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP CStandInEnum::Next(ULONG celt, LPITEMIDLIST* items, ULONG* fetched) {
  if (fetched) *fetched = 0;
  const std::vector<int>& children = m_ns->m_nodes[(size_t)m_node].children;
  while (celt > 0 && m_next < children.size()) {
    int child = children[m_next++];
    BOOL folder = (m_ns->m_nodes[(size_t)child].attributes & SFGAO_FOLDER) != 0;
    if (folder ? !(m_flags & SHCONTF_FOLDERS) : !(m_flags & SHCONTF_NONFOLDERS)) continue;
    if (m_ns->m_onNext) m_ns->m_onNext(m_node, m_handed);
    ++m_handed;
    items[0] = m_ns->MakeItem(child);
    if (fetched) *fetched = 1;
    return S_OK;
  }
  return S_FALSE;
}

// ---------------------------------------------------------------------------

CStandInNamespace::CStandInNamespace() {
  CStandInNode desktop;
  desktop.name = L"Stand-in Desktop";
  m_nodes.push_back(desktop);
  m_pDesktop = Make<CStandInFolder>(0);
}

CStandInNamespace::~CStandInNamespace() { Uninstall(); }

int CStandInNamespace::Add(int parent, const wchar_t* name, int rank, ULONG attributes) {
  CStandInNode node;
  node.name = name;
  node.rank = rank;
  node.parent = parent;
  node.attributes = attributes;
  m_nodes.push_back(node);
  int id = (int)m_nodes.size() - 1;
  m_nodes[(size_t)parent].children.push_back(id);
  return id;
}

void CStandInNamespace::Install() { SetShellObjectsForTest(m_pDesktop, &m_malloc); }
void CStandInNamespace::Uninstall() { SetShellObjectsForTest(nullptr, nullptr); }

LPITEMIDLIST CStandInNamespace::MakeItem(int node) {
  BYTE* p = static_cast<BYTE*>(m_malloc.Alloc(sizeof(StandInItem) + sizeof(USHORT)));
  StandInItem item = {sizeof(StandInItem), {kMarker[0], kMarker[1]}, (USHORT)node};
  memcpy(p, &item, sizeof(item));
  memset(p + sizeof(item), 0, sizeof(USHORT));
  return reinterpret_cast<LPITEMIDLIST>(p);
}

int CStandInNamespace::NodeOfItem(LPCITEMIDLIST pidl) const {
  if (!pidl) return -1;
  StandInItem item;
  memcpy(&item.cb, pidl, sizeof(USHORT));
  if (item.cb != sizeof(StandInItem)) return -1;
  memcpy(&item, pidl, sizeof(item));
  if (item.marker[0] != kMarker[0] || item.marker[1] != kMarker[1] || item.node >= m_nodes.size()) return -1;
  return item.node;
}

int CStandInNamespace::Walk(int from, LPCITEMIDLIST pidl) const {
  int node = from;
  for (LPCITEMIDLIST p = GetPidlSize(pidl) ? pidl : nullptr; p; p = GetNextPidlItem(p)) {
    int next = NodeOfItem(p);
    if (next < 0 || m_nodes[(size_t)next].parent != node) return -1;
    node = next;
  }
  return node;
}

int CStandInNamespace::LiveObjects(CStandInObject::Kind kind) const {
  int n = 0;
  for (const auto& o : m_objects)
    if (o->m_kind == kind && o->m_refs > 0) ++n;
  return n;
}

long CStandInNamespace::OutstandingReferences() const {
  long n = 0;
  for (const auto& o : m_objects) n += o->m_refs;
  return n;
}
