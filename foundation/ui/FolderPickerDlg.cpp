// The folder picker dialog.
#include "foundation/ui/FolderPickerDlg.h"

#include <shlwapi.h>

#include "resources/common/folderpickerres.h"

IMPLEMENT_DYNAMIC(CFolderPickerDlg, CDialog)

BEGIN_MESSAGE_MAP(CFolderPickerDlg, CDialog)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_GETMINMAXINFO()
  ON_BN_CLICKED(IDC_FOLDER_PICKER_PRESETS, OnPresetButton)
  ON_CBN_SELCHANGE(IDC_FOLDER_PICKER_FILTER, OnFilterSelChange)
  ON_MESSAGE(WM_WORKER_FINISHED, OnWorkerFinished)
END_MESSAGE_MAP()

CFolderPickerDlg::CFolderPickerDlg(CWnd* pParent) : CDialog(IDD_FOLDER_PICKER, pParent) {}

CFolderPickerDlg::~CFolderPickerDlg() {
  // The fill thread gives up once the tree's window is gone; then it is joined.
  if (m_hWnd && ::IsWindow(m_hWnd)) DestroyWindow();
  JoinFillThread();
}

void CFolderPickerDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_FOLDER_PICKER_FILTER, m_filterCombo);
  DDX_Control(pDX, IDC_FOLDER_PICKER_TREE, m_tree);
  DDX_CBString(pDX, IDC_FOLDER_PICKER_FILTER, m_strFilter);
  DDX_Text(pDX, IDC_FOLDER_PICKER_PROMPT, m_strPrompt);
  DDX_Check(pDX, IDC_FOLDER_PICKER_SCAN, m_bScanSubfolders);
}

int CFolderPickerDlg::OnCreate(LPCREATESTRUCT lpCreateStruct) {
  if (Default() == -1) return -1;
  if (!m_sizeGrip.Create(WS_CHILD | WS_VISIBLE | SBS_SIZEBOX | SBS_SIZEBOXBOTTOMRIGHTALIGN | SBS_SIZEGRIP,
                         CRect(0, 0, 200, 200), this, kSizeGripId))
    return -1;
  return m_tooltip.Create(this, 0) ? 0 : -1;
}

BOOL CFolderPickerDlg::PreTranslateMessage(MSG* pMsg) {
  if (m_tooltip.m_hWnd) m_tooltip.RelayEvent(pMsg);
  return CDialog::PreTranslateMessage(pMsg);
}

BOOL CFolderPickerDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  ModifyStyleEx(0, WS_EX_DLGMODALFRAME);
  if (HMENU system = ::GetSystemMenu(m_hWnd, FALSE)) {
    ::DeleteMenu(system, SC_RESTORE, MF_BYCOMMAND);
    ::DeleteMenu(system, SC_MINIMIZE, MF_BYCOMMAND);
    ::DeleteMenu(system, SC_MAXIMIZE, MF_BYCOMMAND);
  }
  if (CWnd* presets = GetDlgItem(IDC_FOLDER_PICKER_PRESETS)) m_tooltip.AddTool(presets, L"Preset including filters");
  if (!m_strCaption.IsEmpty()) SetWindowText(m_strCaption);

  m_tree.FillRoot(nullptr, 0);
  if (HTREEITEM root = m_tree.GetRootItem()) m_tree.Expand(root, TVE_EXPAND);

  FillFilterCombo();
  if (m_nInitialFilter != -1 && (m_strFilter.IsEmpty() || m_strFilter == L"*")) {
    m_filterCombo.SetCurSel(m_nInitialFilter);
    OnFilterSelChange();
  }
  if (m_strFilter.IsEmpty()) m_filterCombo.SetCurSel(0);

  if (!m_strStartFolder.IsEmpty() && ::PathFileExistsW(m_strStartFolder)) {
    wchar_t folder[1024] = {0};
    ::lstrcpynW(folder, m_strStartFolder, 1024);
    ::PathMakePrettyW(folder);
    m_strStartFolder = folder;
    m_pFillThread =
        AfxBeginThread(&CFolderPickerDlg::SelectThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (m_pFillThread) {
      m_pFillThread->m_bAutoDelete = FALSE;
      m_pFillThread->ResumeThread();
    } else {
      SelectStartFolder();
    }
  }
  RecalcLayout();
  return TRUE;
}

// The fill thread drives the tree only by messages, so the folders open on
// the dialog's thread while the dialog goes on answering.
UINT CFolderPickerDlg::SelectThreadProc(LPVOID param) {
  auto* self = static_cast<CFolderPickerDlg*>(param);
  const int result = self->SelectStartFolder();
  HWND hWnd = self->m_hWnd;
  if (hWnd) ::PostMessageW(hWnd, WM_WORKER_FINISHED, 0, 0);
  return (UINT)result;
}

int CFolderPickerDlg::SelectStartFolder() { return m_tree.SelectPath(m_strStartFolder) ? 0 : -1; }

LRESULT CFolderPickerDlg::OnWorkerFinished(WPARAM, LPARAM) {
  JoinFillThread();
  return 0;
}

void CFolderPickerDlg::JoinFillThread() {
  if (!m_pFillThread) return;
  ::WaitForSingleObject(m_pFillThread->m_hThread, INFINITE);
  delete m_pFillThread;
  m_pFillThread = nullptr;
}

void CFolderPickerDlg::FillFilterCombo() {
  for (int i = 0;; ++i) {
    CString text;
    if (!AfxExtractSubString(text, m_strFilterList, i, L'|') || text.IsEmpty()) break;
    m_filterCombo.InsertItem(i, text, -1, -1);
  }
}

int CFolderPickerDlg::BuildPresetMenu(HMENU menu) const {
  for (int i = 0;; ++i) {
    CString text;
    if (!AfxExtractSubString(text, m_strPresets, i, L'|') || text.IsEmpty()) break;
    if (i % 2 == 0) ::AppendMenuW(menu, MF_STRING, kFirstPresetId + i / 2, text);
  }
  return ::GetMenuItemCount(menu);
}

void CFolderPickerDlg::OnPresetButton() {
  HMENU menu = ::CreatePopupMenu();
  if (!menu) return;
  BuildPresetMenu(menu);
  POINT pt;
  ::GetCursorPos(&pt);
  const UINT id = (UINT)::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hWnd, nullptr);
  if (id >= kFirstPresetId) {
    CString pattern;
    if (AfxExtractSubString(pattern, m_strPresets, 2 * (int)(id - kFirstPresetId) + 1, L'|'))
      SetDlgItemText(IDC_FOLDER_PICKER_FILTER, pattern);
  }
  ::DestroyMenu(menu);
}

void CFolderPickerDlg::OnFilterSelChange() {
  const int selected = m_filterCombo.GetCurSel();
  if (selected == CB_ERR) return;
  CString pattern;
  if (!AfxExtractSubString(pattern, m_strPresets, 2 * selected + 1, L'|')) return;
  if (CEdit* edit = m_filterCombo.GetEditCtrl()) edit->SetWindowText(pattern);
}

// The data are read once: CDialog::OnOK would read the pattern box again
// and lose the "*" an empty pattern becomes.
void CFolderPickerDlg::OnOK() {
  UpdateData(TRUE);
  m_strFolder = m_tree.GetSelectedPath();
  if (m_strFilter.IsEmpty()) m_strFilter = L"*";
  EndDialog(IDOK);
}

void CFolderPickerDlg::OnGetMinMaxInfo(MINMAXINFO* lpMMI) {
  lpMMI->ptMinTrackSize.x = 320;
  lpMMI->ptMinTrackSize.y = 280;
  Default();
}

void CFolderPickerDlg::OnSize(UINT, int, int) {
  Default();
  if (m_tree.m_hWnd) RecalcLayout();
}

void CFolderPickerDlg::RecalcLayout() {
  CWnd* prompt = GetDlgItem(IDC_FOLDER_PICKER_PROMPT);
  CWnd* check = GetDlgItem(IDC_FOLDER_PICKER_SCAN);
  CWnd* ok = GetDlgItem(IDOK);
  CWnd* cancel = GetDlgItem(IDCANCEL);
  CWnd* presets = GetDlgItem(IDC_FOLDER_PICKER_PRESETS);
  CWnd* label = GetDlgItem(IDC_FOLDER_PICKER_FILTER_LABEL);
  if (!prompt || !check || !ok || !cancel || !presets || !label || !m_filterCombo.m_hWnd || !m_tree.m_hWnd ||
      !m_sizeGrip.m_hWnd)
    return;
  auto placeOf = [this](CWnd* w) {
    CRect r;
    w->GetWindowRect(&r);
    ScreenToClient(&r);
    return r;
  };
  CRect c;
  GetClientRect(&c);
  const CRect okRect = placeOf(ok);
  const int okW = okRect.Width(), okH = okRect.Height();
  const BOOL withPresets = !m_strPresets.IsEmpty();

  HDWP dwp = ::BeginDeferWindowPos(10);
  CRect r = placeOf(prompt);
  r.right = c.right - 10;
  AfxRepositionWindow(&dwp, prompt->m_hWnd, &r);

  r = placeOf(check);
  int h = r.Height();
  r.top = c.bottom - 8 - okH + (okH - h) / 2;
  r.bottom = r.top + h;
  AfxRepositionWindow(&dwp, check->m_hWnd, &r);

  CRect cancelRect(c.right - 10 - okW, c.bottom - 10 - okH, c.right - 10, c.bottom - 10);
  AfxRepositionWindow(&dwp, cancel->m_hWnd, &cancelRect);
  CRect okPlace = cancelRect;
  okPlace.OffsetRect(-(okW + 6), 0);
  AfxRepositionWindow(&dwp, ok->m_hWnd, &okPlace);

  CRect combo = placeOf(&m_filterCombo);
  const int comboH = combo.Height();
  const CRect presetRect = placeOf(presets);
  combo.top = c.bottom - 19 - okH - comboH;
  combo.bottom = combo.top + comboH;
  combo.right = withPresets ? c.right - 16 - presetRect.Width() : c.right - 10;
  AfxRepositionWindow(&dwp, m_filterCombo.m_hWnd, &combo);

  if (withPresets) {
    CRect p(combo.right + 6, combo.top, c.right - 10, combo.bottom);
    AfxRepositionWindow(&dwp, presets->m_hWnd, &p);
  }

  r = placeOf(label);
  const int labelH = r.Height();
  r.top = c.bottom - 21 - okH - comboH - labelH;
  r.bottom = r.top + labelH;
  AfxRepositionWindow(&dwp, label->m_hWnd, &r);

  r = placeOf(&m_tree);
  r.right = c.right - 10;
  r.bottom = c.bottom - 27 - okH - comboH - labelH;
  AfxRepositionWindow(&dwp, m_tree.m_hWnd, &r);

  r = placeOf(&m_sizeGrip);
  CRect grip(c.right - r.Width(), c.bottom - r.Height(), c.right, c.bottom);
  AfxRepositionWindow(&dwp, m_sizeGrip.m_hWnd, &grip);
  if (dwp) ::EndDeferWindowPos(dwp);
  if (!withPresets) presets->ShowWindow(SW_HIDE);
}
