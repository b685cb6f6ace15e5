// Fill on expansion with a "Loading..." child, a snapshot of the client area
// and an animation thread.
#include "foundation/ui/LoadingTreeCtrl.h"

#include <mmsystem.h>

#ifndef TVE_ACTIONMASK
#define TVE_ACTIONMASK 0x0003
#endif

namespace {
const UINT kCompleteLoadingMsg = ::RegisterWindowMessageW(L"LoadingTreeCtrl.CompleteLoading");
}

IMPLEMENT_DYNAMIC(CLoadingTreeCtrl, CTreeCtrl)

BEGIN_MESSAGE_MAP(CLoadingTreeCtrl, CTreeCtrl)
  ON_NOTIFY_REFLECT(TVN_ITEMEXPANDING, OnItemExpanding)
  ON_NOTIFY_REFLECT(TVN_ITEMEXPANDED, OnItemExpanded)
  ON_WM_ERASEBKGND()
  ON_WM_DESTROY()
  ON_REGISTERED_MESSAGE(kCompleteLoadingMsg, OnCompleteLoadingMsg)
END_MESSAGE_MAP()

CLoadingTreeCtrl::CLoadingTreeCtrl() : m_strLoading(L"Loading...") {}

CLoadingTreeCtrl::~CLoadingTreeCtrl() {
  // Normally the window went first; without it nothing may keep running.
  StopAnimation();
  ReleaseSnapshot();
}

void CLoadingTreeCtrl::SetProgress(int nTotal, int nDone) {
  m_nProgressTotal = nTotal;
  m_nProgressDone = nDone;
  if (m_hProgressEvent) ::SetEvent(m_hProgressEvent);
}

BOOL CLoadingTreeCtrl::StepProgress(int n) {
  m_nProgressDone += n;
  if (m_hProgressEvent) ::SetEvent(m_hProgressEvent);
  if (m_bFilling) {
    // Answers what other threads sent meanwhile; nothing posted is taken.
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  return !m_bFillAborted;
}

int CLoadingTreeCtrl::GetProgress(int* pTotal) const {
  if (pTotal) *pTotal = m_nProgressTotal;
  return m_nProgressDone;
}

BOOL CLoadingTreeCtrl::GetIconRect(HTREEITEM hItem, LPRECT rect) const {
  if (!::SendMessageW(m_hWnd, TVM_GETIMAGELIST, TVSIL_NORMAL, 0)) return FALSE;
  CRect text;
  if (!hItem || !GetItemRect(hItem, &text, TRUE)) return FALSE;
  const int cx = ::GetSystemMetrics(SM_CXSMICON), cy = ::GetSystemMetrics(SM_CYSMICON);
  rect->right = text.left - 3;
  rect->left = rect->right - cx;
  rect->top = text.top + (text.Height() - cy) / 2;
  rect->bottom = rect->top + cy;
  return TRUE;
}

COLORREF CLoadingTreeCtrl::GetBackgroundColor() const {
  return (COLORREF)::SendMessageW(m_hWnd, TVM_GETBKCOLOR, 0, 0) & 0xFFFFFF;
}

void CLoadingTreeCtrl::DeleteChildren(HTREEITEM hNode) {
  HTREEITEM child = GetChildItem(hNode);
  while (child) {
    HTREEITEM next = GetNextSiblingItem(child);
    DeleteItem(child);
    child = next;
  }
}

// ---------------------------------------------------------------------------
// Expansion.

void CLoadingTreeCtrl::PreSubclassWindow() {
  m_bWindowGone = FALSE;  // a new window for this object
  CTreeCtrl::PreSubclassWindow();
}

BOOL CLoadingTreeCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_NOTIFY) {
    auto* nm = reinterpret_cast<NMHDR*>(lParam);
    if (nm && (nm->code == TVN_DELETEITEMW || nm->code == TVN_DELETEITEMA))
      NoteItemDeleted(reinterpret_cast<NMTREEVIEWW*>(lParam)->itemOld.hItem);
  }
  return CTreeCtrl::OnChildNotify(message, wParam, lParam, pResult);
}

void CLoadingTreeCtrl::OnItemExpanding(NMHDR* pNMHDR, LRESULT* pResult) {
  auto* nm = reinterpret_cast<NMTREEVIEWW*>(pNMHDR);
  if ((nm->action & TVE_ACTIONMASK) == TVE_EXPAND) BeginLoading(nm->itemNew.hItem);
  *pResult = 0;
}

void CLoadingTreeCtrl::OnItemExpanded(NMHDR* pNMHDR, LRESULT* pResult) {
  auto* nm = reinterpret_cast<NMTREEVIEWW*>(pNMHDR);
  HTREEITEM node = nm->itemNew.hItem;
  if ((nm->action & TVE_ACTIONMASK) == TVE_COLLAPSE && ReloadOnExpand(node)) {
    DeleteChildren(node);
    // The node keeps its button: it is filled again on the next expansion.
    TVITEMW item = {};
    item.mask = TVIF_CHILDREN;
    item.hItem = node;
    item.cChildren = 1;
    SetItem(&item);
  }
  *pResult = 0;
}

void CLoadingTreeCtrl::BeginLoading(HTREEITEM hNode) {
  if (!hNode || m_bWindowGone) return;
  if (m_bFilling && hNode == m_hFillNode) return;  // its fill runs already
  if (GetChildItem(hNode)) {
    if (!ReloadOnExpand(hNode)) return;
    DeleteChildren(hNode);
  }
  UpdateWindow();
  SetRedraw(FALSE);
  TVINSERTSTRUCTW is = {};
  is.hParent = hNode;
  is.hInsertAfter = TVI_LAST;
  is.item.mask = TVIF_TEXT;
  is.item.pszText = const_cast<LPWSTR>(static_cast<LPCWSTR>(m_strLoading));
  HTREEITEM loading = InsertItem(&is);
  if (!loading) {
    if (!m_bFilling) SetRedraw(TRUE);
    return;
  }
  m_pending.push_back({hNode, loading});
  if (!m_bCompletionPosted && PostMessage(kCompleteLoadingMsg)) m_bCompletionPosted = TRUE;
}

LRESULT CLoadingTreeCtrl::OnCompleteLoadingMsg(WPARAM, LPARAM) {
  m_bCompletionPosted = FALSE;
  CompleteLoading();
  return 0;
}

BOOL CLoadingTreeCtrl::CompleteLoading() {
  if (m_bFilling) return FALSE;  // the running fill takes the others afterwards
  BOOL any = FALSE;
  while (!m_pending.empty() && !m_bWindowGone) {
    PendingFill next = m_pending.front();
    m_pending.erase(m_pending.begin());
    EndLoading(next.hNode, next.hLoading);
    any = TRUE;
  }
  return any;
}

void CLoadingTreeCtrl::NoteItemDeleted(HTREEITEM hItem) {
  if (!hItem) return;
  for (size_t i = 0; i < m_pending.size();) {
    if (m_pending[i].hNode == hItem || m_pending[i].hLoading == hItem)
      m_pending.erase(m_pending.begin() + (ptrdiff_t)i);
    else
      ++i;
  }
  if (hItem == m_hLoadingItem) m_hLoadingItem = nullptr;
  if (m_bFilling && hItem == m_hFillNode) m_bFillAborted = TRUE;
}

void CLoadingTreeCtrl::EndLoading(HTREEITEM hNode, HTREEITEM hLoading) {
  // A loop inside the fill may take their wake message: they run after it.
  CWindowCalls* calls = m_pWindowCalls;
  if (calls) calls->Hold(TRUE);
  m_bFilling = TRUE;
  m_bFillAborted = FALSE;
  m_hFillNode = hNode;
  m_hLoadingItem = hLoading;
  m_nProgressTotal = 1;
  m_nProgressDone = 0;

  if (m_bOverlay) {
    SetRedraw(TRUE);
    EnsureVisible(hLoading);
    UpdateWindow();
  }
  StartAnimation();
  if (m_bOverlay) PaintIconPlace(hLoading);
  SetRedraw(FALSE);
  TakeSnapshot();

  if (m_hLoadingItem) DeleteItem(m_hLoadingItem);
  m_hLoadingItem = nullptr;
  BOOL ok = m_bFillAborted ? FALSE : PopulateItem(hNode);
  StopAnimation();

  const BOOL nodeAlive = !m_bFillAborted && !m_bWindowGone;
  if (nodeAlive && hNode != TVI_ROOT) {
    const BOOL hasChildren = GetChildItem(hNode) != nullptr;
    TVITEMW item = {};
    item.hItem = hNode;
    if (ok) {
      item.mask = TVIF_CHILDREN;
      item.cChildren = hasChildren ? 1 : 0;
      SetItem(&item);
      // Some tree versions close a node whose last child went; open it again.
      if (hasChildren && !(GetItemState(hNode, TVIS_EXPANDED) & TVIS_EXPANDED)) Expand(hNode, TVE_EXPAND);
    } else if (!hasChildren) {
      // Closed, but it keeps its button so the user can try again.
      item.mask = TVIF_STATE | TVIF_CHILDREN;
      item.stateMask = TVIS_EXPANDED | TVIS_EXPANDEDONCE;
      item.state = 0;
      item.cChildren = 1;
      SetItem(&item);
    }
  }
  ReleaseSnapshot();
  if (!m_bWindowGone) SetRedraw(TRUE);
  if (nodeAlive && (GetItemState(hNode, TVIS_EXPANDED) & TVIS_EXPANDED)) {
    for (HTREEITEM child = GetChildItem(hNode); child; child = GetNextSiblingItem(child)) {
      if (GetFirstVisibleItem() == hNode) break;
      EnsureVisible(child);
    }
  }
  m_hFillNode = nullptr;
  m_bFilling = FALSE;
  if (calls) calls->Hold(FALSE);
}

void CLoadingTreeCtrl::PaintIconPlace(HTREEITEM hItem) {
  CRect rc;
  if (!GetIconRect(hItem, &rc)) return;
  HDC dc = ::GetDC(m_hWnd);
  if (!dc) return;
  if (m_hOverlayIcon) {
    ::DrawIconEx(dc, rc.left, rc.top, m_hOverlayIcon, rc.Width(), rc.Height(), 0, nullptr, DI_NORMAL);
  } else {
    HBRUSH brush = ::CreateSolidBrush(GetBackgroundColor());
    ::FillRect(dc, &rc, brush);
    ::DeleteObject(brush);
  }
  ::ReleaseDC(m_hWnd, dc);
}

void CLoadingTreeCtrl::TakeSnapshot() {
  ReleaseSnapshot();
  CRect rc;
  GetClientRect(&rc);
  if (rc.IsRectEmpty()) return;
  HDC dc = ::GetDC(m_hWnd);
  if (!dc) return;
  HDC mem = ::CreateCompatibleDC(dc);
  HBITMAP bmp = ::CreateCompatibleBitmap(dc, rc.Width(), rc.Height());
  if (mem && bmp) {
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, rc.Width(), rc.Height(), dc, 0, 0, SRCCOPY);
    ::SelectObject(mem, old);
    m_bmpSnapshot.Attach(bmp);
    bmp = nullptr;
    m_bSnapshotShown = TRUE;
  }
  if (bmp) ::DeleteObject(bmp);
  if (mem) ::DeleteDC(mem);
  ::ReleaseDC(m_hWnd, dc);
}

void CLoadingTreeCtrl::ReleaseSnapshot() {
  m_bSnapshotShown = FALSE;
  m_bmpSnapshot.DeleteObject();
}

BOOL CLoadingTreeCtrl::OnEraseBkgnd(CDC* pDC) {
  if (!m_bSnapshotShown || !m_bmpSnapshot.GetSafeHandle()) return (BOOL)Default();
  BITMAP bm = {};
  m_bmpSnapshot.GetBitmap(&bm);
  HDC mem = ::CreateCompatibleDC(pDC->GetSafeHdc());
  HGDIOBJ old = ::SelectObject(mem, m_bmpSnapshot.GetSafeHandle());
  ::BitBlt(pDC->GetSafeHdc(), 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
  if (m_hProgressEvent) ::SetEvent(m_hProgressEvent);  // the animation draws over it again
  return TRUE;
}

void CLoadingTreeCtrl::OnDestroy() {
  m_bWindowGone = TRUE;
  if (m_bFilling) m_bFillAborted = TRUE;
  StopAnimation();
  ReleaseSnapshot();
  m_pending.clear();
  m_hLoadingItem = nullptr;
  // Every item goes now, while the parent still passes the deletions back to us.
  DeleteAllItems();
  Default();
}

// ---------------------------------------------------------------------------
// Animation.

void CLoadingTreeCtrl::StartAnimation() {
  StopAnimation();
  OnLoadingStart(m_hLoadingItem);
  m_bAnimating = TRUE;
  m_bStop = 0;
  m_hTickEvent = ::CreateEventW(nullptr, FALSE, TRUE, nullptr);
  m_hProgressEvent = ::CreateEventW(nullptr, FALSE, TRUE, nullptr);
  if (!m_hTickEvent || !m_hProgressEvent) return;
  m_hAnimThread = ::CreateThread(nullptr, 0, &CLoadingTreeCtrl::AnimationThreadProc, this, 0, nullptr);
  if (m_hAnimThread && m_nPeriod)
    m_nTimerId = ::timeSetEvent(m_nPeriod, 5, reinterpret_cast<LPTIMECALLBACK>(m_hTickEvent), 0,
                                TIME_PERIODIC | TIME_CALLBACK_EVENT_SET);
}

DWORD WINAPI CLoadingTreeCtrl::AnimationThreadProc(LPVOID param) {
  auto* self = static_cast<CLoadingTreeCtrl*>(param);
  HANDLE events[2] = {self->m_hTickEvent, self->m_hProgressEvent};
  while (!self->m_bStop) {
    DWORD r = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (self->m_bStop || r == WAIT_FAILED) break;
    self->DrawLoadingStep(r == WAIT_OBJECT_0, self->m_nProgressTotal, self->m_nProgressDone);
  }
  return 0;
}

void CLoadingTreeCtrl::StopAnimation() {
  if (m_nTimerId) {
    ::timeKillEvent(m_nTimerId);  // before the event it sets is closed
    m_nTimerId = 0;
  }
  m_bStop = 1;
  if (m_hProgressEvent) ::SetEvent(m_hProgressEvent);
  if (m_hAnimThread) {
    ::WaitForSingleObject(m_hAnimThread, INFINITE);
    ::CloseHandle(m_hAnimThread);
    m_hAnimThread = nullptr;
  }
  if (m_hTickEvent) ::CloseHandle(m_hTickEvent);
  if (m_hProgressEvent) ::CloseHandle(m_hProgressEvent);
  m_hTickEvent = m_hProgressEvent = nullptr;
  if (m_bAnimating) {
    m_bAnimating = FALSE;
    OnLoadingEnd();
  }
}
