#include "converter/pages/VideoToDicomPage.h"

#include <shlwapi.h>

#include <algorithm>

#include "converter/app/ConverterGlobals.h"
#include "resources/converter/ConverterRes.h"
#include "converter/app/ConverterResources.h"
#include "converter/app/ConverterSettings.h"
#include "foundation/ui/FileDialog.h"
#include "foundation/Folders.h"
#include "foundation/ui/FolderBrowser.h"
#include "foundation/ShellOpen.h"
#include "imaging/library/ImageLibrary.h"
#include "converter/jobs/WorkFolders.h"

namespace {
const COLORREF kBandBack = RGB(0xE0, 0xE0, 0xE0);
// Redraws the held output list.
const UINT_PTR kListTimer = 4;
const UINT kListTimerMs = 100;

// Row pictures of the output list by state; none for a row without one
// (I_IMAGECALLBACK, -1, would ask the page for a picture).
int StateImage(int state) {
  switch (state) {
    case ITEM_STATE_NONE:
      return I_IMAGENONE;
    case ITEM_STATE_DONE:
      return 1;
    case ITEM_STATE_FAILED:
      return 2;
    default:
      return 0;
  }
}

LPCTSTR StateText(int state) {
  switch (state) {
    case ITEM_STATE_LOADING:
      return L"Converting";
    case ITEM_STATE_DONE:
      return L"OK";
    case ITEM_STATE_FAILED:
      return L"Failed";
    default:
      return L"";
  }
}

CRect ChildRect(HWND parent, int id) {
  CRect r;
  HWND child = ::GetDlgItem(parent, id);
  if (child) {
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, (LPPOINT)&r, 2);
  }
  return r;
}

// Moves a child in a deferred positioning batch.
void Place(HDWP& dwp, HWND parent, int id, int x, int y, int cx, int cy) {
  HWND child = ::GetDlgItem(parent, id);
  if (child && dwp) dwp = ::DeferWindowPos(dwp, child, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

// A quoted argument for the shell.
CString Quoted(LPCTSTR text) { return CString(L"\"") + (text ? text : L"") + L"\""; }
}  // namespace

// ---------------------------------------------------------------------------
// The job's reports and the held list

void CVideoToDicomPage::ShowJobItems(const std::vector<CJobItemReport>& items) {
  int listed = -1;
  for (const CJobItemReport& item : items) {
    // A row's first report lists it; rows are only ever appended during a job.
    if (!item.file.IsEmpty() && item.index == m_list.GetItemCount()) {
      AddOutputItem(item.file);
      listed = item.index;
    }
    SetItemState(item.index, item.state);
  }
  // The newest row is shown (a held list shows it when it is next drawn).
  if (listed >= 0) {
    m_nShowRow = listed;
    if (!m_bListHeld) m_list.EnsureVisible(listed, FALSE);
  }
  OutputListChanged();
}

bool CVideoToDicomPage::ChooseJobOutput(CString& path) {
  if (!ChooseFolder()) return false;
  path = m_inputs.strOutputFolder;
  return true;
}

void CVideoToDicomPage::WithJobDialog(const std::function<void()>& fn) {
  const BOOL held = m_bListHeld;
  if (held) HoldOutputList(FALSE);
  fn();
  if (held) HoldOutputList(TRUE);
}

LRESULT COutputListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!m_bHeld || message != WM_PAINT) return CReportListCtrl::WindowProc(message, wParam, lParam);
  // Drawing on for this one paint (that marks the whole list), off again after.
  CReportListCtrl::WindowProc(WM_SETREDRAW, TRUE, 0);
  const LRESULT result = CReportListCtrl::WindowProc(message, wParam, lParam);
  CReportListCtrl::WindowProc(WM_SETREDRAW, FALSE, 0);
  return result;
}

void CVideoToDicomPage::HoldOutputList(BOOL hold) {
  if (!m_list.m_hWnd || hold == m_bListHeld) return;
  m_bListHeld = hold;
  m_list.m_bHeld = hold;
  if (hold) {
    m_list.SetRedraw(FALSE);
    SetTimer(kListTimer, kListTimerMs, nullptr);
  } else {
    KillTimer(kListTimer);
    FlushOutputList();
  }
}

void CVideoToDicomPage::FlushOutputList() {
  m_dwListShown = ::GetTickCount();
  m_list.SetRedraw(TRUE);
  if (m_nShowRow >= 0 && m_nShowRow < m_list.GetItemCount()) m_list.EnsureVisible(m_nShowRow, FALSE);
  m_list.Invalidate(FALSE);
  m_list.UpdateWindow();
  if (m_bListHeld) m_list.SetRedraw(FALSE);
}

void CVideoToDicomPage::OutputListChanged() {
  if (m_bListHeld && ::GetTickCount() - m_dwListShown >= kListTimerMs) FlushOutputList();
}

void CVideoToDicomPage::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent == kListTimer) {
    if (m_bListHeld) FlushOutputList();
  } else {
    CConvertPage::OnTimer(nIDEvent);
  }
}

// ---------------------------------------------------------------------------
// CVideoToDicomPage

BEGIN_MESSAGE_MAP(CVideoToDicomPage, CConvertPage)
  ON_BN_CLICKED(IDC_CHOOSE_FILE, OnChooseSource)
  ON_BN_CLICKED(IDC_PLAY, OnPlaySource)
  ON_BN_CLICKED(IDC_CHOOSE_FOLDER, OnChooseFolder)
  ON_BN_CLICKED(IDC_OPEN_FOLDER, OnOpenFolder)
  ON_BN_CLICKED(IDC_PART_ONLY, OnRangeSwitch)
  ON_EN_CHANGE(IDC_FILE_NAME, OnSourceChange)
  ON_NOTIFY(LVN_DELETEITEM, IDC_FRAME_LIST, OnListDeleteItem)
  ON_NOTIFY(LVN_GETDISPINFOW, IDC_FRAME_LIST, OnListGetDispInfo)
  ON_NOTIFY(NM_DBLCLK, IDC_FRAME_LIST, OnListDblClk)
  ON_WM_CONTEXTMENU()
  ON_COMMAND(ID_OPEN_DICOM_FILE, OnOpenDicomFile)
  ON_COMMAND(ID_OPEN_DESTINATION_FOLDER, OnOpenDestinationFolder)
  ON_UPDATE_COMMAND_UI(ID_OPEN_DICOM_FILE, OnUpdateSelectionCommand)
  ON_UPDATE_COMMAND_UI(ID_OPEN_DESTINATION_FOLDER, OnUpdateSelectionCommand)
  ON_WM_TIMER()
END_MESSAGE_MAP()

CVideoToDicomPage::CVideoToDicomPage(CWnd* pParentWnd)
    : CConvertPage(IDD_VIDEO_PAGE, pParentWnd), m_comboFolder(PATHMODE_FILES) {}

CVideoToDicomPage::~CVideoToDicomPage() {}

void CVideoToDicomPage::DoDataExchange(CDataExchange* pDX) {
  CConvertPage::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_END_TIME, m_editEnd);
  DDX_Control(pDX, IDC_START_TIME, m_editStart);
  DDX_Control(pDX, IDC_FRAME_LIST, m_list);
  DDX_Control(pDX, IDC_OUTPUT_FOLDER, m_comboFolder);
  if (pDX->m_bSaveAndValidate)
    m_inputs.strOutputFolder = m_comboFolder.GetText();
  else
    m_comboFolder.SetWindowText(m_inputs.strOutputFolder);
  DDX_Text(pDX, IDC_FILE_NAME, m_inputs.strSourcePath);
  DDX_Check(pDX, IDC_PART_ONLY, m_inputs.bRange);
  DDX_TimeText(pDX, IDC_START_TIME, m_inputs.nStart);
  DDX_TimeText(pDX, IDC_END_TIME, m_inputs.nEnd);
}

BOOL CVideoToDicomPage::OnInitDialog() {
  CConvertPage::OnInitDialog();
  m_wndToolTip.AddTool(GetDlgItem(IDC_CHOOSE_FILE), L"Choose a video file");
  m_wndToolTip.AddTool(GetDlgItem(IDC_PLAY), L"Play this video");

  m_comboFolder.m_nPathMode = PATHMODE_FOLDERS;
  CConverterResources* res = GetConverterResources();
  if (res) m_comboFolder.SetImageList(res->GetImageList(1));
  CConverterSettings* settings = GetConverterSettings();
  if (settings) m_comboFolder.SetHistory(&settings->m_outputFolders, nullptr);

  m_list.ModifyStyle(0, WS_CLIPCHILDREN);
  m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
  if (res) m_list.SetImageList(&res->m_largeImages, LVSIL_SMALL);
  m_list.InsertColumn(0, L"", LVCFMT_LEFT, 64);
  m_list.InsertColumn(1, L"DICOM", LVCFMT_LEFT, 320);
  m_list.InsertColumn(2, L"Status", LVCFMT_LEFT, 128);

  // The template's own spacing, kept when the page grows or shrinks.
  const CRect edit = ChildRect(m_hWnd, IDC_FILE_NAME);
  const CRect dots = ChildRect(m_hWnd, IDC_CHOOSE_FILE);
  const CRect play = ChildRect(m_hWnd, IDC_PLAY);
  m_nMargin = edit.left;
  m_nFieldGap = dots.left - edit.right;
  m_nButtonGap = play.left - dots.right;

  EnableRangeControls();
  return TRUE;
}

void CVideoToDicomPage::EnableRangeControls() {
  const BOOL on = ::IsDlgButtonChecked(m_hWnd, IDC_PART_ONLY) == BST_CHECKED;
  for (int id : {IDC_START_LABEL, IDC_START_TIME, IDC_END_LABEL, IDC_END_TIME})
    ::EnableWindow(::GetDlgItem(m_hWnd, id), on);
}

void CVideoToDicomPage::OnRangeSwitch() { EnableRangeControls(); }

// A path typed or chosen anew is no longer the video that was probed.
void CVideoToDicomPage::OnSourceChange() {
  m_mediaInfo.Reset();
  m_strMediaPath.Empty();
}

void CVideoToDicomPage::SetBusy(BOOL busy) {
  if (busy) {
    // A job's rows replace the last job's.
    m_nShowRow = -1;
    m_list.DeleteAllItems();
  }
  HoldOutputList(busy);
  CConvertPage::SetBusy(busy);
}

void CVideoToDicomPage::EnableInputs(BOOL enable) {
  for (int id :
       {IDC_FILE_NAME, IDC_CHOOSE_FILE, IDC_PLAY, IDC_PART_ONLY, IDC_OUTPUT_FOLDER, IDC_CHOOSE_FOLDER, IDC_OPEN_FOLDER})
    ::EnableWindow(::GetDlgItem(m_hWnd, id), enable);
  if (enable)
    EnableRangeControls();
  else
    for (int id : {IDC_START_LABEL, IDC_START_TIME, IDC_END_LABEL, IDC_END_TIME})
      ::EnableWindow(::GetDlgItem(m_hWnd, id), FALSE);
}

void CVideoToDicomPage::RecalcLayout() {
  if (!m_list.m_hWnd) return;
  CRect client;
  GetClientRect(&client);
  const int cx = client.Width(), cy = client.Height();
  const int bandTop = cy - m_nBandHeight;
  HDWP dwp = ::BeginDeferWindowPos(12);

  // A path field, "..." and a second button, ending at the right margin.
  auto row = [&](int field, int dots, int button) {
    const CRect f = ChildRect(m_hWnd, field), d = ChildRect(m_hWnd, dots), b = ChildRect(m_hWnd, button);
    const int bLeft = cx - m_nMargin - b.Width();
    const int dLeft = bLeft - m_nButtonGap - d.Width();
    Place(dwp, m_hWnd, button, bLeft, b.top, b.Width(), b.Height());
    Place(dwp, m_hWnd, dots, dLeft, d.top, d.Width(), d.Height());
    Place(dwp, m_hWnd, field, f.left, f.top, std::max(0, (int)(dLeft - m_nFieldGap - f.left)), f.Height());
  };
  row(IDC_FILE_NAME, IDC_CHOOSE_FILE, IDC_PLAY);
  row(IDC_OUTPUT_FOLDER, IDC_CHOOSE_FOLDER, IDC_OPEN_FOLDER);

  const CRect list = ChildRect(m_hWnd, IDC_FRAME_LIST);
  Place(dwp, m_hWnd, IDC_FRAME_LIST, 0, list.top, cx, std::max(0, (int)(bandTop - list.top)));

  PlaceBand(dwp);
  if (dwp) ::EndDeferWindowPos(dwp);
  Invalidate();
}

void CVideoToDicomPage::PaintSeparators(CDC* pDC, const CRect& client) {
  if (!m_list.m_hWnd) return;
  const CRect list = ChildRect(m_hWnd, IDC_FRAME_LIST);
  pDC->FillSolidRect(0, list.top - 1, client.right, 1, kBandBack);
}

// ---- choosers and shell commands -------------------------------------------------

void CVideoToDicomPage::OnChooseSource() { ChooseSource(); }

BOOL CVideoToDicomPage::ChooseSource() {
  CString initial;
  GetDlgItemText(IDC_FILE_NAME, initial);
  COCFileDialog dlg(TRUE, nullptr, initial, OFN_HIDEREADONLY, kVideoFileFilter, this);
  dlg.GetOFN().lpstrTitle = L"Choose Source Video File";
  if (dlg.DoModal() != IDOK) return FALSE;
  m_inputs.strSourcePath = dlg.GetPathName();
  SetDlgItemText(IDC_FILE_NAME, m_inputs.strSourcePath);

  CWaitCursor wait;
  CConverterResources* res = GetConverterResources();
  const CString probe = res ? res->m_strProbePath : CString();
  m_mediaInfo.Reset();
  m_strMediaPath.Empty();
  if (ProbeChosenSource(probe) != JobResult::Done) {
    ShowMessage(L"This is not a valid video file.", MB_ICONEXCLAMATION);
    return TRUE;
  }
  m_strMediaPath = m_inputs.strSourcePath;
  // Microseconds to whole milliseconds, cut toward zero; the edit holds an int.
  const LONGLONG ms = m_mediaInfo.m_nDuration / 1000;
  m_editEnd.SetTime(ms > INT_MAX ? INT_MAX : (int)ms);
  return TRUE;
}

JobResult CVideoToDicomPage::ProbeChosenSource(LPCTSTR probePath) {
  struct Probe {
    CString path, probe;
    CMediaInfo* info;
    CStopFlag stop{STOP_NONE};
    JobResult result = JobResult::Failed;
  } probe;
  probe.path = m_inputs.strSourcePath;
  probe.probe = probePath;
  probe.info = &m_mediaInfo;
  CWinThread* thread = BeginWorkerThread(
      [](LPVOID param) -> UINT {
        Probe* p = static_cast<Probe*>(param);
        p->result = ProbeVideo(p->path, p->probe, *p->info, &p->stop);
        return 0;
      },
      &probe);
  if (!thread) return JobResult::Failed;
  // The window paints and answers what other threads send (an encoder's
  // progress among them) while it waits; clicks and keys wait their turn.
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (::MsgWaitForMultipleObjects(1, &thread->m_hThread, FALSE, 50, QS_SENDMESSAGE | QS_PAINT) == WAIT_OBJECT_0)
      break;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) ::DispatchMessageW(&msg);
    if (probe.stop == STOP_NONE && ::GetTickCount() - start >= (DWORD)m_nProbeLimitMs) probe.stop = STOP_REQUESTED;
  }
  JoinWorker(thread);
  if (probe.stop == STOP_NONE && probe.result == JobResult::Done) return JobResult::Done;
  m_mediaInfo.Reset();
  return JobResult::Failed;
}

void CVideoToDicomPage::OnPlaySource() {
  CString path;
  GetDlgItemText(IDC_FILE_NAME, path);
  PlayFile(path);
}

void CVideoToDicomPage::OnChooseFolder() { ChooseFolder(); }

BOOL CVideoToDicomPage::ChooseFolder() {
  CFolderBrowser browser(L"Choose a folder to save DICOM files", BIF_STATUSTEXT, this);
  CString initial = m_comboFolder.GetText();
  if (initial.IsEmpty()) initial = m_comboFolder.GetCount() > 0 ? m_comboFolder.GetItemText(0) : GetPicturesFolder();
  browser.SetInitialFolder(initial);
  if (browser.DoModal() != IDOK) return FALSE;
  m_inputs.strOutputFolder = browser.GetFolderPath();
  m_comboFolder.AddToTop(m_inputs.strOutputFolder, TRUE);
  return TRUE;
}

void CVideoToDicomPage::OnOpenFolder() {
  const CString folder = m_comboFolder.GetText();
  if (!folder.IsEmpty() && ::PathIsDirectoryW(folder))
    ShellLaunch(m_hWnd, nullptr, L"explorer.exe", Quoted(folder), SW_SHOW);
  else
    ShowMessage(L"Folder doesn't exist.", MB_ICONEXCLAMATION);
}

// ---- output list -----------------------------------------------------------------

int CVideoToDicomPage::AddOutputItem(LPCTSTR path) {
  COutputFileItem* item = new COutputFileItem(path, ITEM_STATE_NONE);
  LVITEMW lvi = {};
  lvi.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  lvi.iItem = (int)::SendMessageW(m_list.m_hWnd, LVM_GETITEMCOUNT, 0, 0);
  lvi.pszText = LPSTR_TEXTCALLBACKW;
  lvi.iImage = StateImage(ITEM_STATE_NONE);
  lvi.lParam = (LPARAM)item;
  const int row = (int)::SendMessageW(m_list.m_hWnd, LVM_INSERTITEMW, 0, (LPARAM)&lvi);
  if (row < 0) {
    delete item;
    return -1;
  }
  LVITEMW sub = {};
  sub.iSubItem = 1;
  sub.pszText = ::PathFindFileNameW(item->m_strPath);
  ::SendMessageW(m_list.m_hWnd, LVM_SETITEMTEXTW, (WPARAM)row, (LPARAM)&sub);
  return row;
}

void CVideoToDicomPage::SetItemState(int row, int state) {
  if (row < 0) return;
  LVITEMW lvi = {};
  lvi.mask = LVIF_PARAM;
  lvi.iItem = row;
  if (!::SendMessageW(m_list.m_hWnd, LVM_GETITEMW, 0, (LPARAM)&lvi) || !lvi.lParam) return;
  reinterpret_cast<COutputFileItem*>(lvi.lParam)->m_nState = state;

  LVITEMW image = {};
  image.mask = LVIF_IMAGE;
  image.iItem = row;
  image.iImage = StateImage(state);
  ::SendMessageW(m_list.m_hWnd, LVM_SETITEMW, 0, (LPARAM)&image);
  LVITEMW text = {};
  text.iSubItem = 2;
  text.pszText = const_cast<LPWSTR>(StateText(state));
  ::SendMessageW(m_list.m_hWnd, LVM_SETITEMTEXTW, (WPARAM)row, (LPARAM)&text);
  ::SendMessageW(m_list.m_hWnd, LVM_REDRAWITEMS, (WPARAM)row, row);
}

void CVideoToDicomPage::OnListDeleteItem(NMHDR* pNMHDR, LRESULT* pResult) {
  const NMLISTVIEW* nm = reinterpret_cast<NMLISTVIEW*>(pNMHDR);
  delete reinterpret_cast<COutputFileItem*>(nm->lParam);
  *pResult = 0;
}

void CVideoToDicomPage::OnListGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult) {
  NMLVDISPINFOW* info = reinterpret_cast<NMLVDISPINFOW*>(pNMHDR);
  if (info->item.iSubItem == 0 && (info->item.mask & LVIF_TEXT) && info->item.pszText && info->item.cchTextMax > 0) {
    wchar_t number[16];
    swprintf(number, 16, L"%d", info->item.iItem + 1);
    lstrcpynW(info->item.pszText, number, info->item.cchTextMax);
  }
  *pResult = 0;
}

void CVideoToDicomPage::OnListDblClk(NMHDR*, LRESULT* pResult) {
  // Refused by the command check when no row is selected.
  PostMessage(WM_COMMAND, ID_OPEN_DICOM_FILE, 0);
  *pResult = 0;
}

CString CVideoToDicomPage::GetSelectedPath() const {
  const int row = (int)::SendMessageW(m_list.m_hWnd, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
  if (row < 0) return CString();
  LVITEMW lvi = {};
  lvi.mask = LVIF_PARAM;
  lvi.iItem = row;
  if (!::SendMessageW(m_list.m_hWnd, LVM_GETITEMW, 0, (LPARAM)&lvi) || !lvi.lParam) return CString();
  return reinterpret_cast<COutputFileItem*>(lvi.lParam)->m_strPath;
}

void CVideoToDicomPage::OnContextMenu(CWnd* pWnd, CPoint point) {
  if (!pWnd || pWnd->m_hWnd != m_list.m_hWnd) return;
  if (point.x == -1 && point.y == -1) {
    const int row = (int)::SendMessageW(m_list.m_hWnd, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    CRect r(0, 0, 0, 0);
    if (row >= 0) {
      r.left = LVIR_BOUNDS;
      ::SendMessageW(m_list.m_hWnd, LVM_GETITEMRECT, (WPARAM)row, (LPARAM)&r);
      point = CPoint(r.left, r.bottom);
    } else {
      point = CPoint(0, 32);
    }
    ::ClientToScreen(m_list.m_hWnd, &point);
  }
  CMenu menu;
  if (!menu.LoadMenu(IDR_OUTPUT_MENU)) return;
  CMenu* popup = menu.GetSubMenu(0);
  if (popup) popup->TrackPopupMenu(TPM_RIGHTBUTTON, point.x, point.y, this);
}

void CVideoToDicomPage::OnOpenDicomFile() {
  const CString path = GetSelectedPath();
  if (!path.IsEmpty()) OpenInViewer(path);
}

void CVideoToDicomPage::OnOpenDestinationFolder() { ShowInExplorer(GetSelectedPath()); }

void CVideoToDicomPage::OnUpdateSelectionCommand(CCmdUI* pCmdUI) {
  pCmdUI->Enable(::SendMessageW(m_list.m_hWnd, LVM_GETSELECTEDCOUNT, 0, 0) > 0);
}

// ---- the conversion ---------------------------------------------------------------

int CVideoToDicomPage::StartConversion() {
  if (m_pWorkerThread) return -1;
  if (!UpdateData(TRUE)) return -1;
  if (m_inputs.strSourcePath.IsEmpty()) {
    ShowMessage(L"Please choose the source video file first.", MB_ICONEXCLAMATION);
    return -1;
  }
  if (!::PathFileExistsW(m_inputs.strSourcePath) || ::PathIsDirectoryW(m_inputs.strSourcePath)) {
    CString text;
    text.Format(L"The source video file doesn't exist:\n%s\n\nPlease choose the source video file.",
                (LPCTSTR)m_inputs.strSourcePath);
    ShowMessage(text, MB_ICONEXCLAMATION);
    return -1;
  }
  // The job reads nothing of the page from here on.
  m_inputs.nDuration = m_strMediaPath.IsEmpty() ? 0 : m_mediaInfo.m_nDuration;
  m_inputs.strProbedPath = m_strMediaPath;
  if (CConverterResources* res = GetConverterResources()) {
    m_inputs.strEncoderPath = res->m_strEncoderPath;
    m_inputs.strPresetsFolder = res->m_strPresetsFolder;
    m_inputs.strProbePath = res->m_strProbePath;
  }
  m_inputs.hCallbackWnd = m_hWnd;
  m_inputs.pLibrary = GetConverterImageLibrary();
  m_job.reset(new CVideoToDicomJob(GetJobReport(), m_nStopFlag));
  m_job->m_in = m_inputs;
  return StartWorker();
}

JobResult CVideoToDicomPage::RunConversion() { return m_job->Run(); }

void CVideoToDicomPage::OnJobFinished(JobResult result) {
  if (result == JobResult::Done) {
    if (CConverterSettings* settings = GetConverterSettings()) {
      settings->m_inputFiles.Add(m_job->m_in.strSourcePath);
      settings->m_outputFolders.Add(m_job->m_in.strOutputFolder);
    }
  }
  m_job.reset();
}
