// Control classes: owner-draw dispatch and the members that need more than one message.
#include "afxwin.h"

IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CEdit, CWnd)
IMPLEMENT_DYNAMIC(CScrollBar, CWnd)
IMPLEMENT_DYNAMIC(CListBox, CWnd)
IMPLEMENT_DYNAMIC(CComboBox, CWnd)
IMPLEMENT_DYNAMIC(CComboBoxEx, CComboBox)
IMPLEMENT_DYNAMIC(CProgressCtrl, CWnd)
IMPLEMENT_DYNAMIC(CToolTipCtrl, CWnd)
IMPLEMENT_DYNAMIC(CHeaderCtrl, CWnd)
IMPLEMENT_DYNAMIC(CListCtrl, CWnd)
IMPLEMENT_DYNAMIC(CTreeCtrl, CWnd)
IMPLEMENT_DYNAMIC(CTabCtrl, CWnd)
IMPLEMENT_DYNAMIC(CToolBarCtrl, CWnd)
IMPLEMENT_DYNAMIC(CSpinButtonCtrl, CWnd)
IMPLEMENT_DYNAMIC(CSliderCtrl, CWnd)

// ---------------------------------------------------------------------------
// Owner-drawn items reach the control's own virtual functions.

namespace {
// A reflected WM_DRAWITEM goes to the control's DrawItem; anything else on.
template <class T>
BOOL DrawItemReflected(T* control, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message != WM_DRAWITEM) return control->CWnd::OnChildNotify(message, wParam, lParam, pResult);
  control->DrawItem((LPDRAWITEMSTRUCT)lParam);
  if (pResult) *pResult = TRUE;
  return TRUE;
}
}  // namespace

BOOL CStatic::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  return DrawItemReflected(this, message, wParam, lParam, pResult);
}

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  return DrawItemReflected(this, message, wParam, lParam, pResult);
}

BOOL CHeaderCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  return DrawItemReflected(this, message, wParam, lParam, pResult);
}

BOOL CListCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  return DrawItemReflected(this, message, wParam, lParam, pResult);
}

BOOL CTabCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  return DrawItemReflected(this, message, wParam, lParam, pResult);
}

namespace {
// List and combo boxes share the four owner-draw messages.
template <class T>
BOOL ListOwnerDraw(T* self, UINT message, LPARAM lParam, LRESULT* pResult) {
  LRESULT r = TRUE;
  switch (message) {
    case WM_DRAWITEM:
      self->DrawItem((LPDRAWITEMSTRUCT)lParam);
      break;
    case WM_MEASUREITEM:
      self->MeasureItem((LPMEASUREITEMSTRUCT)lParam);
      break;
    case WM_COMPAREITEM:
      r = self->CompareItem((LPCOMPAREITEMSTRUCT)lParam);
      break;
    case WM_DELETEITEM:
      self->DeleteItem((LPDELETEITEMSTRUCT)lParam);
      break;
    default:
      return FALSE;
  }
  if (pResult) *pResult = r;
  return TRUE;
}
}  // namespace

BOOL CListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (ListOwnerDraw(this, message, lParam, pResult)) return TRUE;
  return CWnd::OnChildNotify(message, wParam, lParam, pResult);
}

BOOL CComboBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (ListOwnerDraw(this, message, lParam, pResult)) return TRUE;
  return CWnd::OnChildNotify(message, wParam, lParam, pResult);
}

// ---------------------------------------------------------------------------
// Members.

int CScrollBar::GetScrollLimit() {
  SCROLLINFO si = {};
  si.cbSize = sizeof(si);
  si.fMask = SIF_RANGE | SIF_PAGE;
  if (!::GetScrollInfo(m_hWnd, SB_CTL, &si)) return 0;
  int limit = si.nMax - (si.nPage ? (int)si.nPage - 1 : 0);
  return limit < si.nMin ? si.nMin : limit;
}

void CListBox::GetText(int i, CString& s) const {
  int n = GetTextLen(i);
  if (n < 0) {
    s.Empty();
    return;
  }
  wchar_t* buf = s.GetBufferSetLength(n + 1);
  GetText(i, buf);
  s.ReleaseBuffer();
}

void CComboBox::GetLBText(int i, CString& s) const {
  int n = GetLBTextLen(i);
  if (n < 0) {
    s.Empty();
    return;
  }
  wchar_t* buf = s.GetBufferSetLength(n + 1);
  GetLBText(i, buf);
  s.ReleaseBuffer();
}

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle) {
  BOOL ok = CWnd::CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | dwStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd->GetSafeHwnd(), nullptr);
  if (ok) SetOwner(pParentWnd);
  return ok;
}

void CToolTipCtrl::FillInToolInfo(TOOLINFO& ti, CWnd* pWnd, UINT_PTR nIDTool) const {
  memset(&ti, 0, sizeof(ti));
  ti.cbSize = sizeof(ti);
  if (nIDTool == 0) {
    // A window tool: named by its handle, owned by its parent.
    ti.hwnd = ::GetParent(pWnd->GetSafeHwnd());
    ti.uFlags = TTF_IDISHWND;
    ti.uId = (UINT_PTR)pWnd->GetSafeHwnd();
  } else {
    ti.hwnd = pWnd->GetSafeHwnd();
    ti.uId = nIDTool;
  }
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCTSTR text, LPCRECT rect, UINT_PTR nIDTool) {
  TOOLINFO ti;
  FillInToolInfo(ti, pWnd, nIDTool);
  if (rect) ti.rect = *rect;
  ti.lpszText = const_cast<LPTSTR>(text);
  return (BOOL)SendMessage(TTM_ADDTOOLW, 0, (LPARAM)&ti);
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, UINT nIDText, LPCRECT rect, UINT_PTR nIDTool) {
  TOOLINFO ti;
  FillInToolInfo(ti, pWnd, nIDTool);
  if (rect) ti.rect = *rect;
  ti.hinst = AfxGetResourceHandle();
  ti.lpszText = MAKEINTRESOURCEW(nIDText);
  return (BOOL)SendMessage(TTM_ADDTOOLW, 0, (LPARAM)&ti);
}

void CToolTipCtrl::DelTool(CWnd* pWnd, UINT_PTR nIDTool) {
  TOOLINFO ti;
  FillInToolInfo(ti, pWnd, nIDTool);
  SendMessage(TTM_DELTOOLW, 0, (LPARAM)&ti);
}

void CToolTipCtrl::UpdateTipText(LPCTSTR text, CWnd* pWnd, UINT_PTR nIDTool) {
  TOOLINFO ti;
  FillInToolInfo(ti, pWnd, nIDTool);
  ti.lpszText = const_cast<LPTSTR>(text);
  SendMessage(TTM_UPDATETIPTEXTW, 0, (LPARAM)&ti);
}

void CToolTipCtrl::SetToolRect(CWnd* pWnd, UINT_PTR nIDTool, LPCRECT rect) {
  TOOLINFO ti;
  FillInToolInfo(ti, pWnd, nIDTool);
  ti.rect = *rect;
  SendMessage(TTM_NEWTOOLRECTW, 0, (LPARAM)&ti);
}

BOOL CToolTipCtrl::GetToolInfo(TOOLINFO& ti, CWnd* pWnd, UINT_PTR nIDTool) const {
  FillInToolInfo(ti, pWnd, nIDTool);
  return (BOOL)SendMessage(TTM_GETTOOLINFOW, 0, (LPARAM)&ti);
}

int CListCtrl::InsertItem(int i, LPCTSTR text) {
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.iItem = i;
  item.pszText = const_cast<LPWSTR>(text);
  return InsertItem(&item);
}

int CListCtrl::InsertItem(int i, LPCTSTR text, int image) {
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = i;
  item.pszText = const_cast<LPWSTR>(text);
  item.iImage = image;
  return InsertItem(&item);
}

CString CListCtrl::GetItemText(int i, int sub) const {
  CString s;
  for (int size = 256;; size *= 2) {
    LVITEMW item = {};
    item.iSubItem = sub;
    item.cchTextMax = size;
    item.pszText = s.GetBufferSetLength(size);
    int n = (int)SendMessage(LVM_GETITEMTEXTW, (WPARAM)i, (LPARAM)&item);
    if (n < size - 1) {
      s.ReleaseBufferSetLength(n);
      return s;
    }
  }
}

BOOL CListCtrl::SetItemText(int i, int sub, LPCTSTR text) {
  LVITEMW item = {};
  item.iSubItem = sub;
  item.pszText = const_cast<LPWSTR>(text);
  return (BOOL)SendMessage(LVM_SETITEMTEXTW, (WPARAM)i, (LPARAM)&item);
}

DWORD_PTR CListCtrl::GetItemData(int i) const {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = i;
  GetItem(&item);
  return (DWORD_PTR)item.lParam;
}

BOOL CListCtrl::SetItemData(int i, DWORD_PTR data) {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = i;
  item.lParam = (LPARAM)data;
  return SetItem(&item);
}

BOOL CListCtrl::SetItemState(int i, UINT state, UINT mask) {
  LVITEMW item = {};
  item.state = state;
  item.stateMask = mask;
  return (BOOL)SendMessage(LVM_SETITEMSTATE, (WPARAM)i, (LPARAM)&item);
}

BOOL CListCtrl::GetSubItemRect(int i, int sub, int area, CRect& r) const {
  r.top = sub;
  r.left = area;
  return (BOOL)SendMessage(LVM_GETSUBITEMRECT, (WPARAM)i, (LPARAM)(LPRECT)r);
}

int CListCtrl::HitTest(CPoint p, UINT* flags) const {
  LVHITTESTINFO info = {};
  info.pt = p;
  int i = HitTest(&info);
  if (flags) *flags = info.flags;
  return i;
}

int CListCtrl::InsertColumn(int i, LPCTSTR heading, int format, int width, int subItem) {
  LVCOLUMNW col = {};
  col.mask = LVCF_TEXT | LVCF_FMT;
  col.pszText = const_cast<LPWSTR>(heading);
  col.fmt = format;
  if (width != -1) {
    col.mask |= LVCF_WIDTH;
    col.cx = width;
  }
  if (subItem != -1) {
    col.mask |= LVCF_SUBITEM;
    col.iSubItem = subItem;
  }
  return InsertColumn(i, &col);
}

int CListCtrl::GetNextSelectedItem(POSITION& pos) const {
  int i = (int)(INT_PTR)pos - 1;
  pos = (POSITION)(INT_PTR)(1 + GetNextItem(i, LVNI_SELECTED));
  return i;
}

HTREEITEM CTreeCtrl::InsertItem(UINT mask, LPCTSTR text, int image, int selImage, UINT state, UINT stateMask,
                                LPARAM lParam, HTREEITEM parent, HTREEITEM after) {
  TVINSERTSTRUCTW is = {};
  is.hParent = parent;
  is.hInsertAfter = after;
  is.item.mask = mask;
  is.item.pszText = const_cast<LPWSTR>(text);
  is.item.iImage = image;
  is.item.iSelectedImage = selImage;
  is.item.state = state;
  is.item.stateMask = stateMask;
  is.item.lParam = lParam;
  return InsertItem(&is);
}

HTREEITEM CTreeCtrl::InsertItem(LPCTSTR text, HTREEITEM parent, HTREEITEM after) {
  return InsertItem(TVIF_TEXT, text, 0, 0, 0, 0, 0, parent, after);
}

HTREEITEM CTreeCtrl::InsertItem(LPCTSTR text, int image, int selImage, HTREEITEM parent, HTREEITEM after) {
  return InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE, text, image, selImage, 0, 0, 0, parent, after);
}

BOOL CTreeCtrl::ItemHasChildren(HTREEITEM h) const {
  TVITEMW item = {};
  item.hItem = h;
  item.mask = TVIF_CHILDREN;
  GetItem(&item);
  return item.cChildren;
}

CString CTreeCtrl::GetItemText(HTREEITEM h) const {
  CString s;
  for (int size = 256;; size *= 2) {
    TVITEMW item = {};
    item.hItem = h;
    item.mask = TVIF_TEXT;
    item.cchTextMax = size;
    item.pszText = s.GetBufferSetLength(size);
    if (!GetItem(&item)) return CString();
    s.ReleaseBuffer();
    if (s.GetLength() < size - 1) return s;
  }
}

BOOL CTreeCtrl::SetItemText(HTREEITEM h, LPCTSTR text) {
  TVITEMW item = {};
  item.hItem = h;
  item.mask = TVIF_TEXT;
  item.pszText = const_cast<LPWSTR>(text);
  return SetItem(&item);
}

BOOL CTreeCtrl::GetItemImage(HTREEITEM h, int& image, int& selImage) const {
  TVITEMW item = {};
  item.hItem = h;
  item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  BOOL ok = GetItem(&item);
  image = item.iImage;
  selImage = item.iSelectedImage;
  return ok;
}

BOOL CTreeCtrl::SetItemImage(HTREEITEM h, int image, int selImage) {
  TVITEMW item = {};
  item.hItem = h;
  item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  item.iImage = image;
  item.iSelectedImage = selImage;
  return SetItem(&item);
}

BOOL CTreeCtrl::SetItemState(HTREEITEM h, UINT state, UINT mask) {
  TVITEMW item = {};
  item.hItem = h;
  item.mask = TVIF_STATE;
  item.state = state;
  item.stateMask = mask;
  return SetItem(&item);
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM h) const {
  TVITEMW item = {};
  item.hItem = h;
  item.mask = TVIF_PARAM;
  GetItem(&item);
  return (DWORD_PTR)item.lParam;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM h, DWORD_PTR data) {
  TVITEMW item = {};
  item.hItem = h;
  item.mask = TVIF_PARAM;
  item.lParam = (LPARAM)data;
  return SetItem(&item);
}

HTREEITEM CTreeCtrl::HitTest(CPoint p, UINT* flags) const {
  TVHITTESTINFO info = {};
  info.pt = p;
  HTREEITEM h = HitTest(&info);
  if (flags) *flags = info.flags;
  return h;
}

LONG CTabCtrl::InsertItem(int i, LPCTSTR text) {
  TCITEMW item = {};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<LPWSTR>(text);
  return InsertItem(i, &item);
}

LONG CTabCtrl::InsertItem(int i, LPCTSTR text, int image) {
  TCITEMW item = {};
  item.mask = TCIF_TEXT | TCIF_IMAGE;
  item.pszText = const_cast<LPWSTR>(text);
  item.iImage = image;
  return InsertItem(i, &item);
}

BOOL CToolBarCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  if (!CWnd::Create(TOOLBARCLASSNAMEW, nullptr, dwStyle, rect, pParentWnd, nID)) return FALSE;
  SetButtonStructSize((int)sizeof(TBBUTTON));
  return TRUE;
}

int CToolBarCtrl::AddBitmap(int n, UINT id) {
  TBADDBITMAP ab = {AfxGetResourceHandle(), id};
  return (int)SendMessage(TB_ADDBITMAP, (WPARAM)n, (LPARAM)&ab);
}

CImageList* CListCtrl::CreateDragImage(int i, LPPOINT upperLeft) {
  HIMAGELIST h = (HIMAGELIST)SendMessage(LVM_CREATEDRAGIMAGE, (WPARAM)i, (LPARAM)upperLeft);
  if (!h) return nullptr;
  CImageList* list = new CImageList;
  list->Attach(h);
  return list;
}

CImageList* CTreeCtrl::CreateDragImage(HTREEITEM item) {
  HIMAGELIST h = (HIMAGELIST)SendMessage(TVM_CREATEDRAGIMAGE, 0, (LPARAM)item);
  if (!h) return nullptr;
  CImageList* list = new CImageList;
  list->Attach(h);
  return list;
}
