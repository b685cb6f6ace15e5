#include "foundation/ui/ComboBoxes.h"

#include <shlwapi.h>

#include <vector>

#include "foundation/ShellIcons.h"

// ---------------------------------------------------------------------------
// Shared pieces.

BOOL EnableAutoComplete(HWND hWnd, DWORD dwFlags) {
  if (!hWnd) return FALSE;
  typedef HRESULT(WINAPI * AutoCompleteFn)(HWND, DWORD);
  HMODULE lib = ::LoadLibraryW(L"SHLWAPI.DLL");
  if (!lib) return FALSE;
  BOOL ok = FALSE;
  if (auto fn = reinterpret_cast<AutoCompleteFn>(reinterpret_cast<void*>(::GetProcAddress(lib, "SHAutoComplete"))))
    ok = SUCCEEDED(fn(hWnd, dwFlags));
  ::FreeLibrary(lib);
  return ok;
}

DWORD AutoCompleteFlags(int nPathMode) {
  DWORD flags = SHACF_USETAB | SHACF_AUTOSUGGEST_FORCE_ON | SHACF_AUTOAPPEND_FORCE_ON;
  if (nPathMode == PATHMODE_FILES)
    flags |= SHACF_FILESYS_ONLY;
  else if (nPathMode == PATHMODE_FOLDERS)
    flags |= SHACF_FILESYS_DIRS;
  else
    flags |= SHACF_FILESYSTEM;
  return flags;
}

namespace {
CString ListText(HWND hCombo, int i) {
  CString s;
  LRESULT n = ::SendMessageW(hCombo, CB_GETLBTEXTLEN, (WPARAM)i, 0);
  if (n == CB_ERR) return s;
  wchar_t* buf = s.GetBufferSetLength((int)n + 1);
  LRESULT got = ::SendMessageW(hCombo, CB_GETLBTEXT, (WPARAM)i, (LPARAM)buf);
  s.ReleaseBufferSetLength(got == CB_ERR ? 0 : (int)got);
  return s;
}

// Widest text in the control's font, and the width of "W".
void MeasureTexts(CWnd* pWnd, const std::vector<CString>& texts, int& widest, int& wWidth) {
  CClientDC dc(pWnd);
  HGDIOBJ old = ::SelectObject(dc.GetSafeHdc(), (HFONT)pWnd->SendMessage(WM_GETFONT));
  widest = 0;
  for (const CString& t : texts) {
    SIZE sz = {0, 0};
    ::GetTextExtentPoint32W(dc.GetSafeHdc(), t, t.GetLength(), &sz);
    if (sz.cx > widest) widest = sz.cx;
  }
  SIZE w = {0, 0};
  ::GetTextExtentPoint32W(dc.GetSafeHdc(), L"W", 1, &w);
  wWidth = w.cx;
  ::SelectObject(dc.GetSafeHdc(), old);
}

// A scroll bar shows when the items do not fit the drop-down's height.
int ScrollBarWidth(HWND hCombo, int count) {
  RECT r = {};
  ::SendMessageW(hCombo, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&r);
  int itemHeight = (int)::SendMessageW(hCombo, CB_GETITEMHEIGHT, 0, 0);
  return count * itemHeight >= r.bottom - r.top ? ::GetSystemMetrics(SM_CXVSCROLL) : 0;
}

// Sets the drop-down's width. Some systems refuse a width below the last
// one once (and fall back to the control's width); a second request then holds.
void SetDroppedWidthOf(CWnd* pCombo, int width) {
  if (width < 0) width = 0;
  if ((int)pCombo->SendMessage(CB_SETDROPPEDWIDTH, (WPARAM)width) < width)
    pCombo->SendMessage(CB_SETDROPPEDWIDTH, (WPARAM)width);
}

// Every dropped path, in the drop's order.
std::vector<CString> DroppedPaths(HDROP hDrop) {
  std::vector<CString> paths;
  UINT n = ::DragQueryFileW(hDrop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < n; ++i) {
    UINT len = ::DragQueryFileW(hDrop, i, nullptr, 0);
    CString path;
    wchar_t* buf = path.GetBufferSetLength((int)len + 1);
    UINT got = ::DragQueryFileW(hDrop, i, buf, len + 1);
    path.ReleaseBufferSetLength((int)got);
    paths.push_back(path);
  }
  return paths;
}
}  // namespace

// ---------------------------------------------------------------------------
// CAutoWidthComboBox

IMPLEMENT_DYNAMIC(CAutoWidthComboBox, CComboBox)

BEGIN_MESSAGE_MAP(CAutoWidthComboBox, CComboBox)
  ON_CONTROL_REFLECT_EX(CBN_DROPDOWN, OnDropDown)
END_MESSAGE_MAP()

CEdit* CAutoWidthComboBox::GetEditCtrl() const { return (CEdit*)CWnd::FromHandle(::GetDlgItem(m_hWnd, 1001)); }

CString CAutoWidthComboBox::GetText() {
  CString text;
  if (CEdit* edit = GetEditCtrl())
    edit->GetWindowText(text);
  else
    GetWindowText(text);
  return text;
}

BOOL CAutoWidthComboBox::OnDropDown() {
  AdjustDroppedWidth();
  return FALSE;  // the parent hears of it too
}

void CAutoWidthComboBox::AdjustDroppedWidth() { SetDroppedWidthOf(this, CalcDroppedWidth()); }

int CAutoWidthComboBox::CalcDroppedWidth() {
  std::vector<CString> texts;
  const int count = GetCount();
  for (int i = 0; i < count; ++i) texts.push_back(ListText(m_hWnd, i));
  int widest = 0, w = 0;
  MeasureTexts(this, texts, widest, w);
  return widest + 2 * w + ScrollBarWidth(m_hWnd, count);
}

// ---------------------------------------------------------------------------
// CDropComboBox

IMPLEMENT_DYNAMIC(CDropComboBox, CAutoWidthComboBox)

BEGIN_MESSAGE_MAP(CDropComboBox, CAutoWidthComboBox)
  ON_WM_CREATE()
  ON_WM_DROPFILES()
END_MESSAGE_MAP()

void CDropComboBox::EnableDropAndCompletion() {
  // The combo takes drops itself, so they do not reach the window behind it.
  DragAcceptFiles(TRUE);
  EnableAutoComplete(::GetDlgItem(m_hWnd, 1001), AutoCompleteFlags(m_nPathMode));
}

void CDropComboBox::PreSubclassWindow() {
  CAutoWidthComboBox::PreSubclassWindow();
  EnableDropAndCompletion();
}

int CDropComboBox::OnCreate(LPCREATESTRUCT lpCreateStruct) {
  if (CAutoWidthComboBox::OnCreate(lpCreateStruct) == -1) return -1;
  EnableDropAndCompletion();
  return 0;
}

int CDropComboBox::FindStringExact(int nIndexStart, LPCTSTR lpszFind) const {
  const int count = GetCount();
  if (nIndexStart < 0) nIndexStart = 0;
  for (int i = nIndexStart; i < count; ++i)
    if (AfxComparePath(ListText(m_hWnd, i), lpszFind ? lpszFind : L"")) return i;
  return -1;
}

int CDropComboBox::AddToTop(LPCTSTR lpszText, BOOL bInsert) {
  if (!lpszText || !*lpszText) return -1;
  int index = FindStringExact(0, lpszText);
  if (index >= 0) {
    DeleteString((UINT)index);
  } else if (!bInsert) {
    SetWindowText(lpszText);
    return -1;
  }
  index = InsertString(0, lpszText);
  SetCurSel(index);
  return index;
}

void CDropComboBox::OnDropFiles(HDROP hDropInfo) {
  for (const CString& path : DroppedPaths(hDropInfo)) {
    if ((m_nPathMode & PATHMODE_FOLDERS) || !::PathIsDirectoryW(path)) {
      AddToTop(path, FALSE);
      break;
    }
  }
  ::DragFinish(hDropInfo);
  SetForegroundWindow();
}

// ---------------------------------------------------------------------------
// CHistoryComboBox

IMPLEMENT_DYNAMIC(CHistoryComboBox, CDropComboBox)

BEGIN_MESSAGE_MAP(CHistoryComboBox, CDropComboBox)
  ON_CONTROL_REFLECT_EX(CBN_DROPDOWN, OnDropDown)
END_MESSAGE_MAP()

void CHistoryComboBox::SetHistory(CRecentList* pHistory) {
  m_pHistory = pHistory;
  ReloadHistory();
}

void CHistoryComboBox::ReloadHistory() {
  if (!m_pHistory) return;
  ResetContent();
  for (int i = 0; i < m_pHistory->GetCount(); ++i) {
    CString entry = m_pHistory->GetAt(i);
    if (entry.IsEmpty()) break;
    InsertString(i, entry);
  }
}

int CHistoryComboBox::AddToTop(LPCTSTR lpszText, BOOL bInsert) {
  ReloadHistory();
  return CDropComboBox::AddToTop(lpszText, bInsert);
}

// ---------------------------------------------------------------------------
// CAutoWidthComboBoxEx

IMPLEMENT_DYNAMIC(CAutoWidthComboBoxEx, CComboBoxEx)

BEGIN_MESSAGE_MAP(CAutoWidthComboBoxEx, CComboBoxEx)
  ON_CONTROL_REFLECT_EX(CBN_DROPDOWN, OnDropDown)
END_MESSAGE_MAP()

CEdit* CAutoWidthComboBoxEx::GetEditCtrl() const {
  return (CEdit*)CWnd::FromHandle((HWND)SendMessage(CBEM_GETEDITCONTROL));
}

CImageList* CAutoWidthComboBoxEx::GetImageList() const {
  return CImageList::FromHandle((HIMAGELIST)SendMessage(CBEM_GETIMAGELIST));
}

CComboBox* CAutoWidthComboBoxEx::GetComboCtrl() const {
  return (CComboBox*)CWnd::FromHandle((HWND)SendMessage(CBEM_GETCOMBOCONTROL));
}

CString CAutoWidthComboBoxEx::GetText() {
  CString text;
  if (CEdit* edit = GetEditCtrl())
    edit->GetWindowText(text);
  else
    GetWindowText(text);
  return text;
}

CString CAutoWidthComboBoxEx::GetItemText(int nIndex) { return ListText(m_hWnd, nIndex); }

BOOL CAutoWidthComboBoxEx::GetItemImage(int nIndex, int& nImage, int& nSelectedImage) {
  COMBOBOXEXITEMW item = {};
  item.mask = CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
  item.iItem = nIndex;
  if (!SendMessage(CBEM_GETITEMW, 0, (LPARAM)&item)) return FALSE;
  nImage = item.iImage;
  nSelectedImage = item.iSelectedImage;
  return TRUE;
}

int CAutoWidthComboBoxEx::InsertItem(int nIndex, LPCTSTR lpszText, int nImage, int nSelectedImage) {
  COMBOBOXEXITEMW item = {};
  item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
  item.iItem = nIndex;
  item.pszText = const_cast<LPWSTR>(lpszText ? lpszText : L"");
  item.iImage = nImage;
  item.iSelectedImage = nSelectedImage == -1 ? nImage : nSelectedImage;
  return (int)SendMessage(CBEM_INSERTITEMW, 0, (LPARAM)&item);
}

int CAutoWidthComboBoxEx::InsertItemIndent(int nIndex, LPCTSTR lpszText, int nImage, int nSelectedImage, int nIndent) {
  COMBOBOXEXITEMW item = {};
  item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_INDENT;
  item.iItem = nIndex;
  item.pszText = const_cast<LPWSTR>(lpszText ? lpszText : L"");
  item.iImage = nImage;
  item.iSelectedImage = nSelectedImage == -1 ? nImage : nSelectedImage;
  item.iIndent = nIndent;
  return (int)SendMessage(CBEM_INSERTITEMW, 0, (LPARAM)&item);
}

int CAutoWidthComboBoxEx::FindItem(int nIndexStart, LPCTSTR lpszText) {
  const int count = GetCount();
  for (int i = nIndexStart < 0 ? 0 : nIndexStart; i < count; ++i)
    if (_wcsicmp(GetItemText(i), lpszText ? lpszText : L"") == 0) return i;
  return -1;
}

BOOL CAutoWidthComboBoxEx::SetItemImage(int nIndex, int nImage, int nSelectedImage) {
  COMBOBOXEXITEMW item = {};
  item.mask = CBEIF_IMAGE;
  item.iItem = nIndex;
  item.iImage = nImage;
  if (nSelectedImage != -1) {
    item.mask |= CBEIF_SELECTEDIMAGE;
    item.iSelectedImage = nSelectedImage;
  }
  return (BOOL)SendMessage(CBEM_SETITEMW, 0, (LPARAM)&item);
}

BOOL CAutoWidthComboBoxEx::SetItemText(int nIndex, LPCTSTR lpszText) {
  COMBOBOXEXITEMW item = {};
  item.mask = CBEIF_TEXT;
  item.iItem = nIndex;
  item.pszText = const_cast<LPWSTR>(lpszText ? lpszText : L"");
  return (BOOL)SendMessage(CBEM_SETITEMW, 0, (LPARAM)&item);
}

BOOL CAutoWidthComboBoxEx::OnDropDown() {
  AdjustDroppedWidth();
  return FALSE;
}

void CAutoWidthComboBoxEx::AdjustDroppedWidth() {
  int imageWidth = 0;
  if (HIMAGELIST il = (HIMAGELIST)SendMessage(CBEM_GETIMAGELIST)) {
    IMAGEINFO info = {};
    if (ImageList_GetImageInfo(il, 0, &info)) imageWidth = info.rcImage.right - info.rcImage.left + 1;
  }
  std::vector<CString> texts;
  const int count = GetCount();
  for (int i = 0; i < count; ++i) texts.push_back(GetItemText(i));
  int widest = 0, w = 0;
  MeasureTexts(this, texts, widest, w);
  int width = widest + 2 * w + imageWidth + 8 + ScrollBarWidth(m_hWnd, count);
  // The list ends 2 pixels before the screen's right edge at most.
  CRect rect;
  GetWindowRect(&rect);
  const int screen = ::GetSystemMetrics(SM_CXSCREEN);
  if (rect.left + width + 2 > screen) width = screen - rect.left - 2;
  SetDroppedWidthOf(this, width);
}

// ---------------------------------------------------------------------------
// CDropComboBoxEx

IMPLEMENT_DYNAMIC(CDropComboBoxEx, CAutoWidthComboBoxEx)

BEGIN_MESSAGE_MAP(CDropComboBoxEx, CAutoWidthComboBoxEx)
  ON_WM_CREATE()
  ON_WM_DROPFILES()
END_MESSAGE_MAP()

void CDropComboBoxEx::EnableDropAndCompletion() {
  DragAcceptFiles(TRUE);
  if (!m_bAutoComplete && EnableAutoComplete((HWND)SendMessage(CBEM_GETEDITCONTROL), AutoCompleteFlags(m_nPathMode)))
    m_bAutoComplete = TRUE;
}

void CDropComboBoxEx::PreSubclassWindow() {
  CAutoWidthComboBoxEx::PreSubclassWindow();
  EnableDropAndCompletion();
}

int CDropComboBoxEx::OnCreate(LPCREATESTRUCT lpCreateStruct) {
  if (CAutoWidthComboBoxEx::OnCreate(lpCreateStruct) == -1) return -1;
  EnableDropAndCompletion();
  return 0;
}

int CDropComboBoxEx::FindItem(int nIndexStart, LPCTSTR lpszText) {
  const int count = GetCount();
  for (int i = nIndexStart < 0 ? 0 : nIndexStart; i < count; ++i)
    if (AfxComparePath(GetItemText(i), lpszText ? lpszText : L"")) return i;
  return -1;
}

int CDropComboBoxEx::InsertPath(int nIndex, LPCTSTR lpszPath) {
  int image = ::PathFileExistsW(lpszPath) ? GetShellIconIndex(lpszPath, SHGFI_SMALLICON) : -1;
  return InsertItem(nIndex, lpszPath, image, -1);
}

int CDropComboBoxEx::AddToTop(LPCTSTR lpszText, BOOL bInsert) {
  if (!lpszText || !*lpszText) return -1;
  int index = FindItem(0, lpszText);
  if (index >= 0) {
    int image = -1, selected = -1;
    if (!GetItemImage(index, image, selected)) image = selected = -1;
    DeleteItem(index);
    index = InsertItem(0, lpszText, image, selected);
  } else if (bInsert) {
    index = InsertPath(0, lpszText);
  } else {
    if (CEdit* edit = GetEditCtrl())
      edit->SetWindowText(lpszText);
    else
      SetWindowText(lpszText);
    return -1;
  }
  SetCurSel(index);
  return index;
}

void CDropComboBoxEx::OnDropFiles(HDROP hDropInfo) {
  for (const CString& path : DroppedPaths(hDropInfo)) {
    const int kind = ::PathIsDirectoryW(path) ? PATHMODE_FOLDERS : PATHMODE_FILES;
    if (m_nPathMode & kind) {
      AddToTop(path, FALSE);
      break;
    }
  }
  ::DragFinish(hDropInfo);
  SetForegroundWindow();
}

// ---------------------------------------------------------------------------
// CHistoryComboBoxEx

IMPLEMENT_DYNAMIC(CHistoryComboBoxEx, CDropComboBoxEx)

namespace {
// Posted to itself once the control has finished with a cleared history.
const UINT WM_HISTORY_CLEARED = WM_APP + 0x121;
}  // namespace

BEGIN_MESSAGE_MAP(CHistoryComboBoxEx, CDropComboBoxEx)
  ON_CONTROL_REFLECT_EX(CBN_DROPDOWN, OnDropDownHistory)
  ON_CONTROL_REFLECT_EX(CBN_SELENDOK, OnSelEndOk)
  ON_MESSAGE(WM_HISTORY_CLEARED, OnHistoryCleared)
END_MESSAGE_MAP()

void CHistoryComboBoxEx::SetHistory(CRecentList* pHistory, LPCTSTR lpszClosingItem) {
  m_pHistory = pHistory;
  m_strClosingItem = lpszClosingItem ? lpszClosingItem : L"";
  ReloadHistory();
}

void CHistoryComboBoxEx::ReloadHistory() {
  if (!m_pHistory) return;
  ResetContent();
  for (int i = 0; i < m_pHistory->GetCount(); ++i) {
    CString entry = m_pHistory->GetAt(i);
    if (entry.IsEmpty()) break;
    InsertPath(i, entry);
  }
  if (GetCount() > 0 && !m_strClosingItem.IsEmpty()) InsertItem(GetCount(), m_strClosingItem, -1, -1);
}

int CHistoryComboBoxEx::AddToTop(LPCTSTR lpszText, BOOL bInsert) {
  ReloadHistory();
  return CDropComboBoxEx::AddToTop(lpszText, bInsert);
}

BOOL CHistoryComboBoxEx::OnDropDownHistory() {
  ReloadHistory();
  AdjustDroppedWidth();
  return FALSE;
}

BOOL CHistoryComboBoxEx::OnSelEndOk() {
  HWND hCombo = (HWND)SendMessage(CBEM_GETCOMBOCONTROL);
  int sel = (int)::SendMessageW(hCombo, CB_GETCURSEL, 0, 0);
  int count = (int)::SendMessageW(hCombo, CB_GETCOUNT, 0, 0);
  if (sel >= 0 && sel + 1 == count && m_pHistory && !m_strClosingItem.IsEmpty()) {
    m_pHistory->m_arrNames.RemoveAll();
    ResetContent();
    PostMessage(WM_HISTORY_CLEARED);
  }
  return FALSE;  // the parent is told as well
}

LRESULT CHistoryComboBoxEx::OnHistoryCleared(WPARAM, LPARAM) {
  // The closing item's text is no path: it does not stay in the edit field.
  if (!m_strClosingItem.IsEmpty() && GetText() == m_strClosingItem) {
    if (CEdit* edit = GetEditCtrl())
      edit->SetWindowText(L"");
    else
      SetWindowText(L"");
  }
  return 0;
}
