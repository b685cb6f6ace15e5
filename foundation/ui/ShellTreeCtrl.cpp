// The shell namespace tree: enumeration, names, icons, order and path lookup;
// the progress bar and busy cursor shown while a folder loads.
#include "foundation/ui/ShellTreeCtrl.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "resources/common/folderpickerres.h"

#ifndef SHGDN_INCLUDE_NONFILESYS
#define SHGDN_INCLUDE_NONFILESYS 0x2000
#endif

namespace {
const UINT kShownFields = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;

ULONG GetAttributes(IShellFolder* folder, LPCITEMIDLIST relative, ULONG wanted) {
  if (!folder) return 0;
  ULONG attributes = wanted;
  LPCITEMIDLIST items[1] = {relative};
  if (FAILED(folder->GetAttributesOf(1, items, &attributes))) return 0;
  return attributes & wanted;
}

// The folder of an absolute list (the desktop for an empty one), one reference
// for the caller; null when it cannot be bound.
IShellFolder* BindShellFolder(LPCITEMIDLIST absolute) {
  IShellFolder* desktop = AcquireDesktopFolder();
  if (!desktop) return nullptr;
  IShellFolder* folder = nullptr;
  if (GetPidlSize(absolute) == 0) {
    folder = desktop;
    folder->AddRef();
  } else if (FAILED(desktop->BindToObject(absolute, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)))) {
    folder = nullptr;
  }
  ReleaseDesktopFolder(desktop);
  return folder;
}

SHCONTF ContentsOf(int flags) {
  SHCONTF contents = SHCONTF_FOLDERS;
  if (flags & CShellTreeItem::ListNonFolders) contents |= SHCONTF_NONFOLDERS;
  if (flags & CShellTreeItem::ListHidden) contents |= SHCONTF_INCLUDEHIDDEN;
  return contents;
}
}  // namespace

CShellTreeItem::CShellTreeItem(IShellFolder* parentFolder, LPITEMIDLIST absolute, int flags)
    : m_pParentFolder(parentFolder), m_pidl(absolute), m_nFlags(flags) {
  if (m_pParentFolder) m_pParentFolder->AddRef();
}

CShellTreeItem::~CShellTreeItem() {
  if (m_pParentFolder) m_pParentFolder->Release();
}

// ---------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CShellTreeCtrl, CLoadingTreeCtrl)

BEGIN_MESSAGE_MAP(CShellTreeCtrl, CLoadingTreeCtrl)
  ON_NOTIFY_REFLECT(TVN_DELETEITEM, OnDeleteItem)
  ON_NOTIFY_REFLECT(TVN_GETDISPINFO, OnGetDispInfo)
  ON_WM_DESTROY()
END_MESSAGE_MAP()

// Icons are asked for only when an item is shown: the shell can take several
// milliseconds per icon, far too long for a folder of thousands of entries.
CShellTreeCtrl::CShellTreeCtrl() : m_nDeferredFields(TVIF_IMAGE | TVIF_SELECTEDIMAGE), m_calls(this) {
  m_pDesktop = AcquireDesktopFolder();
  m_pWindowCalls = &m_calls;
}

CShellTreeCtrl::~CShellTreeCtrl() {
  if (m_hWnd && (m_nFlags & WF_CREATED) && ::IsWindow(m_hWnd) &&
      ::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId())
    DestroyWindow();
  m_calls.Close();
  m_pWindowCalls = nullptr;
  StopAnimation();
  FreeAllItemData();
  ReleaseDesktopFolder(m_pDesktop);
}

void CShellTreeCtrl::PreSubclassWindow() {
  CPidl desktop(GetSpecialFolderPidl(CSIDL_DESKTOP));
  SHFILEINFOW info = {};
  auto list =
      reinterpret_cast<HIMAGELIST>(::SHGetFileInfoW(reinterpret_cast<LPCWSTR>(desktop.m_pidl), 0, &info, sizeof(info),
                                                    SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (list) PostMessage(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(list));
  CLoadingTreeCtrl::PreSubclassWindow();
}

CShellTreeItem* CShellTreeCtrl::GetShellItem(HTREEITEM hItem) const {
  if (!hItem || hItem == TVI_ROOT) return nullptr;
  auto* data = reinterpret_cast<CShellTreeItem*>(GetItemData(hItem));
  return data && m_items.count(data) ? data : nullptr;
}

void CShellTreeCtrl::FreeItemData(CShellTreeItem* data) {
  if (data && m_items.erase(data)) delete data;
}

void CShellTreeCtrl::FreeAllItemData() {
  auto items = std::move(m_items);
  m_items.clear();
  for (CShellTreeItem* data : items) delete data;
}

void CShellTreeCtrl::OnDeleteItem(NMHDR* pNMHDR, LRESULT* pResult) {
  auto* nm = reinterpret_cast<NMTREEVIEWW*>(pNMHDR);
  FreeItemData(reinterpret_cast<CShellTreeItem*>(nm->itemOld.lParam));
  *pResult = 0;
}

void CShellTreeCtrl::OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult) {
  auto* info = reinterpret_cast<NMTVDISPINFOW*>(pNMHDR);
  FillItemInfo(info->item);
  info->item.mask |= TVIF_DI_SETITEM;  // asked once, then kept by the tree
  *pResult = 0;
}

void CShellTreeCtrl::OnDestroy() {
  m_calls.Close();  // a waiting step finds nothing
  CLoadingTreeCtrl::OnDestroy();
  // Items whose deletion notice did not come back to us (no class-library parent).
  FreeAllItemData();
}

// ---------------------------------------------------------------------------
// Filling.

void CShellTreeCtrl::FillRoot(LPCITEMIDLIST pidl, int flags) {
  if (pidl) {
    SetRedraw(FALSE);
    EnumerateChildren(TVI_ROOT, pidl, flags);
    SetRedraw(TRUE);
    return;
  }
  CPidl desktop(GetSpecialFolderPidl(CSIDL_DESKTOP));
  if (desktop.m_pidl && m_pDesktop) InsertShellItem(TVI_ROOT, m_pDesktop, nullptr, desktop, flags);
}

BOOL CShellTreeCtrl::PopulateItem(HTREEITEM hNode) {
  if (hNode == TVI_ROOT) return TRUE;
  CShellTreeItem* data = GetShellItem(hNode);
  if (!data) return TRUE;
  // The node may go while the fill answers other threads: work on copies.
  CPidl absolute(CopyPidl(data->m_pidl));
  const int flags = data->m_nFlags;
  const BOOL fileSystem =
      GetAttributes(data->m_pParentFolder, data->GetRelative(), SFGAO_FILESYSTEM) & SFGAO_FILESYSTEM;
  if (!absolute.m_pidl) return FALSE;
  if (!EnumerateChildren(hNode, absolute, flags)) return FALSE;
  if (fileSystem) {
    CString path = GetPidlPath(absolute);
    if (!path.IsEmpty()) {
      // Folders on removable, optical and network drives stay expandable.
      CString root = path.Left(3);
      if (::GetDriveTypeW(root) != DRIVE_FIXED) return FALSE;
    }
  }
  return TRUE;
}

BOOL CShellTreeCtrl::EnumerateChildren(HTREEITEM hParent, LPCITEMIDLIST absolute, int flags) {
  CPidl parentList(CopyPidl(absolute));
  IShellFolder* folder = BindShellFolder(parentList);
  if (!folder) return FALSE;

  IEnumIDList* items = nullptr;
  BOOL alive = TRUE;
  if (SUCCEEDED(folder->EnumObjects(m_hWnd, ContentsOf(flags), &items)) && items) {
    SetProgress(0, 0);
    LPITEMIDLIST item = nullptr;
    ULONG fetched = 0;
    while (alive && items->Next(1, &item, &fetched) == S_OK) {
      if (item && fetched == 1 && !m_bFillAborted) InsertShellItem(hParent, folder, parentList, item, flags & 0xF);
      FreePidl(item);
      item = nullptr;
      alive = StepProgress(1);
    }
    items->Release();
    if (alive && GetProgress() > 0) {
      TVSORTCB sort = {};
      sort.hParent = hParent;
      sort.lpfnCompare = &CShellTreeCtrl::CompareItems;
      sort.lParam = reinterpret_cast<LPARAM>(this);
      SortChildrenCB(&sort);
    }
    if (alive) SetProgress(1, 1);
  }
  folder->Release();
  return alive;
}

void CShellTreeCtrl::RefreshChildren(HTREEITEM hNode) {
  CShellTreeItem* data = GetShellItem(hNode);
  if (!data || IsFilling()) return;
  TVITEMW button = {};
  button.hItem = hNode;
  button.mask = TVIF_CHILDREN;
  if (!GetChildItem(hNode)) {
    // Not filled yet: only whether it has children to show.
    button.lParam = reinterpret_cast<LPARAM>(data);
    FillItemInfo(button);
    SetItem(&button);
    return;
  }
  CPidl absolute(CopyPidl(data->m_pidl));
  const int flags = data->m_nFlags;
  IShellFolder* folder = absolute.m_pidl ? BindShellFolder(absolute) : nullptr;
  if (!folder) return;
  std::vector<LPITEMIDLIST> now;
  IEnumIDList* items = nullptr;
  if (SUCCEEDED(folder->EnumObjects(m_hWnd, ContentsOf(flags), &items)) && items) {
    LPITEMIDLIST item = nullptr;
    ULONG fetched = 0;
    while (items->Next(1, &item, &fetched) == S_OK) {
      if (item && fetched == 1)
        now.push_back(item);
      else
        FreePidl(item);
      item = nullptr;
    }
    items->Release();
  }
  // Children still there stay as they are, with their own children; the others go.
  for (HTREEITEM child = GetChildItem(hNode), next = nullptr; child; child = next) {
    next = GetNextSiblingItem(child);
    CShellTreeItem* childData = GetShellItem(child);
    auto same = std::find_if(now.begin(), now.end(), [&](LPITEMIDLIST item) {
      const HRESULT hr = childData ? folder->CompareIDs(0, childData->GetRelative(), item) : E_FAIL;
      return SUCCEEDED(hr) && (short)HRESULT_CODE(hr) == 0;
    });
    if (same == now.end()) {
      DeleteItem(child);
    } else {
      FreePidl(*same);
      now.erase(same);
    }
  }
  for (LPITEMIDLIST item : now) {
    InsertShellItem(hNode, folder, absolute, item, flags & 0xF);
    FreePidl(item);
  }
  if (!now.empty()) {
    TVSORTCB sort = {};
    sort.hParent = hNode;
    sort.lpfnCompare = &CShellTreeCtrl::CompareItems;
    sort.lParam = reinterpret_cast<LPARAM>(this);
    SortChildrenCB(&sort);
  }
  folder->Release();
  button.cChildren = GetChildItem(hNode) ? 1 : 0;
  SetItem(&button);
}

HTREEITEM CShellTreeCtrl::InsertShellItem(HTREEITEM hParent, IShellFolder* folder, LPCITEMIDLIST parentList,
                                          LPCITEMIDLIST relative, int flags) {
  LPITEMIDLIST absolute = ConcatPidls(parentList, relative);
  if (!absolute) return nullptr;
  auto* data = new CShellTreeItem(folder, absolute, flags);
  m_items.insert(data);

  wchar_t text[260] = {0};
  TVINSERTSTRUCTW is = {};
  is.hParent = hParent;
  is.hInsertAfter = TVI_LAST;
  TVITEMW& item = is.item;
  item.lParam = reinterpret_cast<LPARAM>(data);
  item.pszText = text;
  item.cchTextMax = 260;
  // What is not deferred is filled now; the overlay and dimmed states always.
  item.mask = (kShownFields & ~m_nDeferredFields) | TVIF_STATE;
  FillItemInfo(item);
  if (m_nDeferredFields & TVIF_TEXT) item.pszText = LPSTR_TEXTCALLBACKW;
  if (m_nDeferredFields & TVIF_IMAGE) item.iImage = I_IMAGECALLBACK;
  if (m_nDeferredFields & TVIF_SELECTEDIMAGE) item.iSelectedImage = I_IMAGECALLBACK;
  if (m_nDeferredFields & TVIF_CHILDREN) item.cChildren = I_CHILDRENCALLBACK;
  item.mask |= kShownFields | TVIF_PARAM;
  HTREEITEM inserted = InsertItem(&is);
  if (!inserted) FreeItemData(data);
  return inserted;
}

void CShellTreeCtrl::FillItemInfo(TVITEMW& item) {
  auto* data = reinterpret_cast<CShellTreeItem*>(item.lParam);
  if (!data || !m_items.count(data)) return;
  IShellFolder* folder = data->m_pParentFolder;
  LPCITEMIDLIST relative = data->GetRelative();

  if ((item.mask & TVIF_TEXT) && item.pszText && item.pszText != LPSTR_TEXTCALLBACKW && item.cchTextMax > 0) {
    CShellDisplayName name;
    CString text;
    if (folder && SUCCEEDED(folder->GetDisplayNameOf(relative, SHGDN_INFOLDER | SHGDN_INCLUDE_NONFILESYS,
                                                     name.Prepare(relative))))
      text = name.GetText();
    text.Trim();  // drive names may come with a leading space
    ::lstrcpynW(item.pszText, text, item.cchTextMax);
  }
  if (item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE)) {
    const ULONG attributes = GetAttributes(folder, relative, SFGAO_FOLDER | SFGAO_SHARE | SFGAO_LINK | SFGAO_GHOSTED);
    if (item.mask & TVIF_STATE) {
      item.stateMask |= TVIS_CUT | TVIS_OVERLAYMASK;
      item.state &= ~(TVIS_CUT | TVIS_OVERLAYMASK);
      if (attributes & SFGAO_GHOSTED) item.state |= TVIS_CUT;
      if (attributes & SFGAO_SHARE)
        item.state |= INDEXTOOVERLAYMASK(1);
      else if (attributes & SFGAO_LINK)
        item.state |= INDEXTOOVERLAYMASK(2);
    }
    if (item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE)) {
      const int image = data->m_pidl.GetIconIndex();
      if (item.mask & TVIF_IMAGE) item.iImage = image;
      if (item.mask & TVIF_SELECTEDIMAGE)
        item.iSelectedImage = (attributes & SFGAO_FOLDER) ? data->m_pidl.GetIconIndex(SHGFI_OPENICON) : image;
    }
  }
  if (item.mask & TVIF_CHILDREN) {
    const ULONG attributes = GetAttributes(folder, relative, SFGAO_FOLDER | SFGAO_REMOVABLE | SFGAO_HASSUBFOLDER);
    if (!(attributes & SFGAO_FOLDER))
      item.cChildren = 0;
    else if ((data->m_nFlags & CShellTreeItem::ListNonFolders) || (attributes & SFGAO_REMOVABLE))
      item.cChildren = 1;
    else
      item.cChildren = (attributes & SFGAO_HASSUBFOLDER) ? 1 : 0;
  }
}

int CALLBACK CShellTreeCtrl::CompareItems(LPARAM lParam1, LPARAM lParam2, LPARAM) {
  auto* a = reinterpret_cast<CShellTreeItem*>(lParam1);
  auto* b = reinterpret_cast<CShellTreeItem*>(lParam2);
  if (!a || !b || !a->m_pParentFolder) return 0;
  HRESULT hr = a->m_pParentFolder->CompareIDs(0, a->GetRelative(), b->GetRelative());
  if (FAILED(hr)) return 0;
  const short code = (short)HRESULT_CODE(hr);
  return code < 0 ? -1 : (code > 0 ? 1 : 0);
}

// ---------------------------------------------------------------------------
// Paths.

CString CShellTreeCtrl::GetSelectedPath() const {
  CShellTreeItem* data = GetShellItem(GetSelectedItem());
  return data ? GetPidlPath(data->m_pidl) : CString();
}

HTREEITEM CShellTreeCtrl::FindChildItem(HTREEITEM hParent, LPCITEMIDLIST absolute) const {
  if (!absolute) return nullptr;
  LPCITEMIDLIST wanted = GetLastPidlItem(absolute);
  for (HTREEITEM child = GetChildItem(hParent); child; child = GetNextSiblingItem(child)) {
    CShellTreeItem* data = GetShellItem(child);
    if (!data || !data->m_pParentFolder) continue;
    HRESULT hr = data->m_pParentFolder->CompareIDs(0, data->GetRelative(), wanted);
    if (SUCCEEDED(hr) && (short)HRESULT_CODE(hr) == 0) return child;
  }
  return nullptr;
}

HTREEITEM CShellTreeCtrl::FindPathItem(LPCTSTR path) {
  if (!path) return nullptr;
  HTREEITEM root = GetRootItem();
  if (!root) return nullptr;
  HTREEITEM current = RunPathStep(PathStep::MatchDrives, root, nullptr);
  if (!current) return nullptr;
  CString normal(path);
  normal.Replace(L'/', L'\\');
  normal.TrimRight(L'\\');
  CString accumulated;
  for (int i = 0;; ++i) {
    CString component;
    if (!AfxExtractSubString(component, normal, i, L'\\')) return RunPathStep(PathStep::ExpandOnly, current, nullptr);
    if (component.IsEmpty()) continue;
    accumulated.TrimRight(L'\\');
    accumulated = accumulated.IsEmpty() ? component + L"\\" : accumulated + L"\\" + component;
    current = RunPathStep(PathStep::ExpandAndMatch, current, accumulated);
    if (!current) return nullptr;
  }
}

BOOL CShellTreeCtrl::SelectPath(LPCTSTR path) {
  HTREEITEM node = FindPathItem(path);
  if (!node) return FALSE;
  return RunPathStep(PathStep::Select, node, nullptr) != nullptr;
}

HTREEITEM CShellTreeCtrl::RunPathStep(PathStep::Kind kind, HTREEITEM hNode, LPCTSTR path) {
  if (!m_hWnd || !::IsWindow(m_hWnd)) return nullptr;
  PathStep step;
  step.kind = kind;
  step.hNode = hNode;
  step.path = path;
  // Only the tree's own thread does the step; nothing of the shell crosses
  // between the threads.
  const BOOL ran = m_calls.Send([this, &step] {
    if (m_calls.IsWindowThread()) DoPathStep(step);
  });
  return ran ? step.hResult : nullptr;
}

void CShellTreeCtrl::DoPathStep(PathStep& step) {
  step.hResult = nullptr;
  if (!step.hNode) return;
  if (step.kind == PathStep::Select) {
    if (Select(step.hNode, TVGN_CARET)) step.hResult = step.hNode;
    return;
  }
  Expand(step.hNode, TVE_EXPAND);
  CompleteLoading();
  if (m_bWindowGone) return;
  switch (step.kind) {
    case PathStep::ExpandOnly:
      step.hResult = step.hNode;
      break;
    case PathStep::MatchDrives: {
      CPidl drives(GetSpecialFolderPidl(CSIDL_DRIVES));
      step.hResult = FindChildItem(step.hNode, drives);
      break;
    }
    case PathStep::ExpandAndMatch: {
      CPidl wanted(ParsePathToPidl(step.path));
      step.hResult = FindChildItem(step.hNode, wanted);
      break;
    }
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// Progress bar.

IMPLEMENT_DYNAMIC(CProgressShellTreeCtrl, CShellTreeCtrl)

int CProgressShellTreeCtrl::CalcFilledWidth(int nTotal, int nDone) {
  const int kFull = 50;
  if (nTotal > 0) {
    long long w = (long long)std::max(nDone, 0) * kFull / nTotal;
    return (int)std::min<long long>(w, kFull);
  }
  // 50 * (1 + 0.2 d - 0.5 ln(e^2 + e^(0.4 d) - 1)), written so that e^(0.4 d)
  // cannot overflow for large counts: 50 * (1 - 0.5 ln(1 + (e^2 - 1) e^(-0.4 d))).
  const double d = std::max(nDone, 0);
  const double e2 = std::exp(2.0);
  const double share = 1.0 - 0.5 * std::log1p((e2 - 1.0) * std::exp(-0.4 * d));
  const int w = (int)(kFull * share);  // toward zero
  return std::max(0, std::min(w, kFull));
}

void CProgressShellTreeCtrl::OnLoadingStart(HTREEITEM hLoadingItem) {
  CRect text;
  if (!hLoadingItem || !GetItemRect(hLoadingItem, &text, TRUE)) text.SetRectEmpty();
  const int margin = std::max(0, (text.Height() - 14) / 2);
  m_rcBar.SetRect(text.right + 2, text.top + margin, text.right + 2 + 54, text.bottom - margin);
  if (text.IsRectEmpty()) m_rcBar.SetRectEmpty();
  m_rcInner = m_rcBar;
  m_rcInner.DeflateRect(2, 2);
  m_rcInner.right = m_rcInner.left;
  m_brFrame.DeleteObject();
  m_brFill.DeleteObject();
  m_brFrame.Attach(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE)));
  m_brFill.Attach(::CreateSolidBrush(0xFF8000));
}

void CProgressShellTreeCtrl::DrawLoadingStep(BOOL bTick, int nTotal, int nDone) {
  if (bTick || m_rcBar.IsRectEmpty()) return;
  HDC dc = ::GetDC(m_hWnd);
  if (!dc) return;
  ::FrameRect(dc, &m_rcBar, (HBRUSH)m_brFrame.GetSafeHandle());
  CRect inner = m_rcInner;
  inner.right = inner.left + CalcFilledWidth(nTotal, nDone);
  ::FillRect(dc, &inner, (HBRUSH)m_brFill.GetSafeHandle());
  ::ReleaseDC(m_hWnd, dc);
}

void CProgressShellTreeCtrl::OnLoadingEnd() {
  m_brFrame.DeleteObject();
  m_brFill.DeleteObject();
}

// ---------------------------------------------------------------------------
// Busy cursor.

IMPLEMENT_DYNAMIC(CBusyShellTreeCtrl, CProgressShellTreeCtrl)

CBusyShellTreeCtrl::CBusyShellTreeCtrl() {
  m_bOverlay = TRUE;
  SetAnimationPeriod(125);
  // An own copy (not the shared one LoadCursor gives), so it can be destroyed.
  m_hBusyCursor = static_cast<HCURSOR>(
      ::LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_BUSY_CURSOR), IMAGE_CURSOR, 0, 0, 0));
}

CBusyShellTreeCtrl::~CBusyShellTreeCtrl() {
  // The window (and with it the animation) ends here while this object is whole.
  if (m_hWnd && (m_nFlags & WF_CREATED) && ::IsWindow(m_hWnd) &&
      ::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId())
    DestroyWindow();
  StopAnimation();
  if (m_hBusyCursor) ::DestroyCursor(m_hBusyCursor);
}

void CBusyShellTreeCtrl::OnLoadingStart(HTREEITEM hLoadingItem) {
  CProgressShellTreeCtrl::OnLoadingStart(hLoadingItem);
  m_nFrame = 0;
  if (!GetIconRect(hLoadingItem, &m_rcIcon)) m_rcIcon.SetRectEmpty();
  m_brBackground.DeleteObject();
  m_brBackground.Attach(::CreateSolidBrush(GetBackgroundColor()));
}

void CBusyShellTreeCtrl::DrawLoadingStep(BOOL bTick, int nTotal, int nDone) {
  CProgressShellTreeCtrl::DrawLoadingStep(bTick, nTotal, nDone);
  if (!bTick || m_rcIcon.IsRectEmpty() || !m_hBusyCursor) return;
  const int frame = (m_nFrame + 1) % kFrameCount;
  m_nFrame = frame;
  HDC dc = ::GetDC(m_hWnd);
  if (!dc) return;
  ::DrawIconEx(dc, m_rcIcon.left, m_rcIcon.top, m_hBusyCursor, m_rcIcon.Width(), m_rcIcon.Height(), (UINT)frame,
               (HBRUSH)m_brBackground.GetSafeHandle(), DI_NORMAL);
  ::ReleaseDC(m_hWnd, dc);
}

void CBusyShellTreeCtrl::OnLoadingEnd() {
  m_brBackground.DeleteObject();
  CProgressShellTreeCtrl::OnLoadingEnd();
}
