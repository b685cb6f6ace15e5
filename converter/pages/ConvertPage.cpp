#include "converter/pages/ConvertPage.h"

#include <shlwapi.h>

#include "converter/app/ConverterGlobals.h"
#include "resources/converter/ConverterRes.h"
#include "converter/app/ConverterResources.h"
#include "converter/tools/EncoderTool.h"
#include "foundation/ShellOpen.h"
#include "foundation/ui/UIResources.h"

namespace {
const COLORREF kLabelBack = RGB(0xF0, 0xF0, 0xF0);
const COLORREF kStatusBack = RGB(0xE0, 0xE0, 0xE0);
const COLORREF kPageBack = RGB(0xF0, 0xF0, 0xF0);
const COLORREF kBandBack = RGB(0xE0, 0xE0, 0xE0);
const COLORREF kBandLine = RGB(0xD0, 0xD0, 0xD0);
}  // namespace

const wchar_t kVideoFileFilter[] =
    L"Video files (*.mp4;*.flv;*.avi;*.wmv;*.mov;*.mpg;*.3gp;*.vob)|"
    L"*.mp4;*.flv;*.avi;*.wmv;*.mov;*.mpg;*.3gp;*.vob|All Files (*.*)|*.*||";

// ---------------------------------------------------------------------------
// COverwriteDlg

BEGIN_MESSAGE_MAP(COverwriteDlg, CDialog)
  ON_BN_CLICKED(IDC_OVERWRITE, OnOverwrite)
  ON_BN_CLICKED(IDC_OVERWRITE_ALL, OnOverwriteAll)
END_MESSAGE_MAP()

COverwriteDlg::COverwriteDlg(BOOL offerAll, LPCTSTR path, CWnd* pParent)
    : CDialog(IDD_OVERWRITE, pParent), m_bOfferAll(offerAll), m_strPath(path ? path : L"") {}

BOOL COverwriteDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (!m_bOfferAll) {
    GetDlgItem(IDC_OVERWRITE_ALL)->ShowWindow(SW_HIDE);
    SendMessage(DM_SETDEFID, IDC_OVERWRITE);
  }
  GetDlgItem(IDC_EXISTS_LABEL)->SetFont(GetSharedFont(CUIResources::FontBold));
  SendDlgItemMessage(IDC_WARNING_ICON, STM_SETICON, (WPARAM)::LoadIconW(nullptr, IDI_WARNING));
  SetDlgItemText(IDC_EXISTS_PATH, m_strPath);
  return TRUE;
}

void COverwriteDlg::OnOverwrite() { EndDialog(IDC_OVERWRITE); }
void COverwriteDlg::OnOverwriteAll() { EndDialog(IDC_OVERWRITE_ALL); }

// ---------------------------------------------------------------------------
// CConvertPage

BEGIN_MESSAGE_MAP(CConvertPage, COEDialog)
  ON_WM_CREATE()
  ON_WM_ERASEBKGND()
  ON_WM_CTLCOLOR()
  ON_WM_SIZE()
  ON_BN_CLICKED(IDC_CONVERT, OnConvert)
  ON_BN_CLICKED(IDC_STOP, OnStop)
  ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
  ON_MESSAGE(WM_WORKER_FINISHED, OnWorkerFinished)
END_MESSAGE_MAP()

CConvertPage::CConvertPage(UINT nIDTemplate, CWnd* pParentWnd) : COEDialog(nIDTemplate, pParentWnd), m_calls(this) {
  m_brStatus.CreateSolidBrush(kStatusBack);
  m_pWindowCalls = &m_calls;
}

CConvertPage::~CConvertPage() { m_pWindowCalls = nullptr; }

int CConvertPage::OnCreate(LPCREATESTRUCT lpCreateStruct) {
  if (COEDialog::OnCreate(lpCreateStruct) == -1) return -1;
  if (!m_wndProgress.Create(WS_CHILD, CRect(0, 0, 0, 0), this, IDC_PROGRESS)) return -1;
  return 0;
}

BOOL CConvertPage::OnInitDialog() {
  COEDialog::OnInitDialog();
  CConverterResources* res = GetConverterResources();
  if (res) res->CreateFonts(GetFont());
  LoadAccelerators(MAKEINTRESOURCEW(IDR_PAGE_ACCEL));
  CFont* bold = GetSharedFont(CUIResources::FontBold);
  GetDlgItem(IDC_CONVERT)->SetFont(bold);
  GetDlgItem(IDC_STOP)->SetFont(bold);
  m_wndToolTip.AddTool(GetDlgItem(IDC_CONVERT), L"Start converting");
  m_wndToolTip.AddTool(GetDlgItem(IDC_STOP), L"Stop converting");
  m_wndToolTip.AddTool(GetDlgItem(IDCANCEL), L"Stop converting and exit the program");
  return TRUE;
}

BOOL CConvertPage::LoadAccelerators(LPCTSTR name) {
  m_hAccel = ::LoadAcceleratorsW(AfxGetResourceHandle(), name);
  return m_hAccel != nullptr;
}

BOOL CConvertPage::PreTranslateMessage(MSG* pMsg) {
  if (m_hAccel && pMsg->message >= WM_KEYDOWN && pMsg->message <= WM_SYSDEADCHAR) {
    // Keys typed into a text field are the field's (Ctrl+A, Insert, Ctrl+N).
    wchar_t cls[16] = {0};
    ::GetClassNameW(pMsg->hwnd, cls, 16);
    if (lstrcmpiW(cls, L"Edit") != 0 && ::TranslateAcceleratorW(m_hWnd, m_hAccel, pMsg)) return TRUE;
  }
  return COEDialog::PreTranslateMessage(pMsg);
}

LRESULT CConvertPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA && lParam) {
    const COPYDATASTRUCT* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    LRESULT result = 0;
    // Only a progress record of the right size that names a live encoder run.
    if (CEncoderTool::RelayCopyData(cds->dwData, cds->cbData, cds->lpData, result)) return result;
  }
  return COEDialog::WindowProc(message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// The band.

BOOL CConvertPage::OnEraseBkgnd(CDC* pDC) {
  CRect rc;
  GetClientRect(&rc);
  const int bandTop = rc.bottom - m_nBandHeight;
  pDC->FillSolidRect(CRect(rc.left, rc.top, rc.right, bandTop), kPageBack);
  pDC->FillSolidRect(CRect(rc.left, bandTop, rc.right, rc.bottom), kBandBack);
  pDC->FillSolidRect(CRect(rc.left, bandTop, rc.right, bandTop + 1), kBandLine);
  PaintSeparators(pDC, rc);
  return TRUE;
}

int CConvertPage::PlaceBand(HDWP& dwp) {
  CRect c;
  GetClientRect(&c);
  const int B = m_nBandHeight;
  auto rectOf = [this](int id) {
    CRect r;
    GetDlgItem(id)->GetWindowRect(&r);
    ScreenToClient(&r);
    return r;
  };
  auto place = [&](HWND h, const CRect& r) { AfxRepositionWindow(&dwp, h, &r); };
  // Close, then Convert and Stop in one place, then the status line.
  auto bandRect = [&](CRect r, int right) {
    const int h = r.Height(), bottom = c.bottom - (B - h - 2) / 2;
    return CRect(right - r.Width(), bottom - h, right, bottom);
  };
  CRect closeRect = bandRect(rectOf(IDCANCEL), c.right - 10);
  CRect convertRect = bandRect(rectOf(IDC_CONVERT), closeRect.left - 6);
  CRect stopRect = bandRect(rectOf(IDC_STOP), closeRect.left - 6);
  CRect status = rectOf(IDC_STATUS);
  CRect statusRect = bandRect(status, convertRect.left - 16);
  statusRect.left = status.left;
  if (statusRect.right < statusRect.left) statusRect.right = statusRect.left;
  place(GetDlgItem(IDCANCEL)->m_hWnd, closeRect);
  place(GetDlgItem(IDC_CONVERT)->m_hWnd, convertRect);
  place(GetDlgItem(IDC_STOP)->m_hWnd, stopRect);
  place(GetDlgItem(IDC_STATUS)->m_hWnd, statusRect);
  if (m_wndProgress.m_hWnd) place(m_wndProgress.m_hWnd, CRect(c.left, c.bottom - B, c.right, c.bottom - B + 2));
  return c.bottom - B;
}

HBRUSH CConvertPage::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
  HBRUSH hbr = COEDialog::OnCtlColor(pDC, pWnd, nCtlColor);
  if (nCtlColor != CTLCOLOR_BTN && nCtlColor != CTLCOLOR_STATIC) return hbr;
  pDC->SetBkMode(TRANSPARENT);
  if (pWnd && pWnd->GetDlgCtrlID() == IDC_STATUS) {
    pDC->SetBkColor(kStatusBack);
    pDC->SetTextColor(m_crStatus);
    return (HBRUSH)m_brStatus.GetSafeHandle();
  }
  pDC->SetBkColor(kLabelBack);
  CUIResources* res = GetUIResources();
  CBrush* brush = res ? res->GetLabelBrush() : nullptr;
  if (brush && brush->GetSafeHandle()) return (HBRUSH)brush->GetSafeHandle();
  static CBrush fallback(kLabelBack);
  return (HBRUSH)fallback.GetSafeHandle();
}

void CConvertPage::OnSize(UINT nType, int cx, int cy) {
  COEDialog::OnSize(nType, cx, cy);
  if (nType != SIZE_MINIMIZED && cx > 0 && cy > 0) RecalcLayout();
}

void CConvertPage::OnConvert() {
  // A job that is starting takes no second Convert (the second click of a
  // double click), and the page does not wait for it.
  if (m_pWorkerThread && !m_bJobEnding && ::WaitForSingleObject(m_pWorkerThread->m_hThread, 0) != WAIT_OBJECT_0)
    return;
  // A job that has ended shows Convert a moment before its end message comes:
  // a click meanwhile takes that message first rather than being lost.
  // (After leaving the busy state a worker only posts that message and ends.)
  if (m_pWorkerThread && ::IsWindowVisible(GetDlgItem(IDC_CONVERT)->GetSafeHwnd()) &&
      ::WaitForSingleObject(m_pWorkerThread->m_hThread, 1000) == WAIT_OBJECT_0) {
    MSG msg;
    if (::PeekMessageW(&msg, m_hWnd, WM_WORKER_FINISHED, WM_WORKER_FINISHED, PM_REMOVE) &&
        SendMessage(WM_WORKER_FINISHED, msg.wParam, msg.lParam) != 0)
      return;  // the program closes
  }
  StartConversion();
}
void CConvertPage::OnStop() { RequestStop(STOP_REQUESTED); }

LRESULT CConvertPage::OnIdleUpdateCmdUI(WPARAM, LPARAM) {
  UpdateDialogControls(this, FALSE);
  return 0;
}

int CConvertPage::StartConversion() { return -1; }

void CConvertPage::RequestStop(int mode) { m_nStopFlag = mode; }

void CConvertPage::SetBusy(BOOL busy) {
  if (!m_hWnd) return;
  // The focus follows the buttons only on the page shown, and only when it
  // is in the page or nowhere: keys go on where the user types them.
  const HWND focus = ::GetFocus();
  const bool moveFocus = IsWindowVisible() && (!focus || focus == m_hWnd || ::IsChild(m_hWnd, focus));
  m_bJobEnding = !busy && m_pWorkerThread;
  EnableInputs(!busy);
  RecalcLayout();
  CWnd* convert = GetDlgItem(IDC_CONVERT);
  CWnd* stop = GetDlgItem(IDC_STOP);
  if (busy) {
    convert->ShowWindow(SW_HIDE);
    stop->ShowWindow(SW_SHOW);
    m_wndProgress.ShowWindow(SW_SHOW);
    if (moveFocus) stop->SetFocus();
  } else {
    stop->ShowWindow(SW_HIDE);
    convert->ShowWindow(SW_SHOW);
    m_wndProgress.ShowWindow(SW_HIDE);
    if (moveFocus) convert->SetFocus();
  }
}

// ---------------------------------------------------------------------------
// Status, progress and questions.

void CConvertPage::SetStatus(LPCTSTR text, COLORREF color) {
  m_crStatus = color;
  SetStatusText(text);
}

void CConvertPage::SetStatusText(LPCTSTR text) {
  if (!m_hWnd) return;
  SetDlgItemText(IDC_STATUS, text ? text : L"");
  // A colour change with the same text still repaints.
  CWnd* status = GetDlgItem(IDC_STATUS);
  if (status) status->Invalidate();
}

CString CConvertPage::GetStatusText() const {
  CString text;
  GetDlgItemText(IDC_STATUS, text);
  return text;
}

void CConvertPage::OnCancel() {
  CWnd* parent = GetParent();
  if (parent) parent->PostMessage(WM_CLOSE);
}

int CConvertPage::ConfirmOverwrite(LPCTSTR path, int& mode, BOOL offerAll) {
  if (!::PathFileExistsW(path) || mode == OVERWRITE_ALL) return 0;
  COverwriteDlg dlg(offerAll, path, this);
  const INT_PTR answer = dlg.DoModal();
  if (answer == IDC_OVERWRITE) {
    mode = OVERWRITE_ONCE;
    return 0;
  }
  if (answer == IDC_OVERWRITE_ALL) {
    mode = OVERWRITE_ALL;
    return 0;
  }
  return 1;
}

void CConvertPage::ShowMessage(LPCTSTR text, UINT type) { AfxMessageBox(text, type); }

void CConvertPage::PlayFile(LPCTSTR path) {
  if (!path || !*path || !::PathFileExistsW(path)) {
    ShowMessage(L"File doesn't exist.", MB_OK);
    return;
  }
  ShellLaunch(m_hWnd, L"open", path, nullptr, SW_SHOW);
}

void CConvertPage::ShowInExplorer(LPCTSTR path) {
  if (!path || !*path) return;
  // Quoted: a comma in the path would end the item Explorer selects.
  CString params;
  params.Format(L"/select,\"%s\"", path);
  ShellLaunch(nullptr, nullptr, L"explorer.exe", params, SW_SHOWNORMAL);
}

// ---------------------------------------------------------------------------
// The worker.

CWinThread* CConvertPage::BeginWorkerThread(AFX_THREADPROC fn, LPVOID param) {
  CWinThread* thread = AfxBeginThread(fn, param, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  if (!thread) return nullptr;
  thread->m_bAutoDelete = FALSE;
  thread->ResumeThread();
  return thread;
}

int CConvertPage::StartWorker(AFX_THREADPROC fn) {
  if (m_pWorkerThread) return -1;
  // Nothing the job reads changes under it, from its first step on.
  EnableInputs(FALSE);
  m_nStopFlag = STOP_NONE;
  m_bJobEnding = false;
  m_pWorkerThread = BeginWorkerThread(fn, this);
  if (!m_pWorkerThread) EnableInputs(TRUE);
  return m_pWorkerThread ? 0 : -1;
}

UINT CConvertPage::ConvertThreadProc(LPVOID param) {
  CConvertPage* page = static_cast<CConvertPage*>(param);
  const JobResult result = page->RunConversion();
  page->m_jobResult = result;
  page->PostMessage(WM_WORKER_FINISHED, 0, 0);
  return (UINT)(int)result;
}

void CConvertPage::JoinWorker(CWinThread*& thread) {
  if (!thread) return;
  ::WaitForSingleObject(thread->m_hThread, INFINITE);
  delete thread;
  thread = nullptr;
}

BOOL CConvertPage::FinishThread(CWinThread*& thread, int stopFlag) {
  // Everything the thread asked the page to show is shown before it goes idle.
  m_calls.Flush();
  JoinWorker(thread);
  if (stopFlag != STOP_AND_CLOSE) return FALSE;
  CWnd* parent = GetParent();
  if (parent) parent->PostMessage(WM_CLOSE);
  return TRUE;
}

LRESULT CConvertPage::OnWorkerFinished(WPARAM, LPARAM) {
  const BOOL ran = m_pWorkerThread != nullptr;
  const BOOL closing = FinishThread(m_pWorkerThread, m_nStopFlag);
  // A close goes to the main dialog by a posted message: the page is still there.
  if (ran) OnJobFinished(m_jobResult);
  return closing ? 1 : 0;
}

// ---------------------------------------------------------------------------
// The job's report.

void CConvertPage::CPageReport::Status(LPCTSTR text, COLORREF color) {
  const CString copy(text ? text : L"");
  m_page.m_calls.Post([this, copy, color] { m_page.SetStatus(copy, color); }, CALL_STATUS);
}

void CConvertPage::CPageReport::Busy(bool busy) {
  // Focus moves only on the window's own thread; the job goes on once the
  // page shows the state.
  m_page.m_calls.Send([this, busy] { m_page.SetBusy(busy); });
}

void CConvertPage::CPageReport::ProgressRange(LONGLONG upper) {
  m_page.m_calls.Post([this, upper] { m_page.m_wndProgress.SetRange(upper); });
}

void CConvertPage::CPageReport::Progress(LONGLONG position) {
  m_page.m_calls.Post([this, position] { m_page.m_wndProgress.SetPos(position); }, CALL_PROGRESS);
}

void CConvertPage::CPageReport::ItemState(int index, int state, LPCTSTR file) {
  {
    std::lock_guard<std::mutex> l(m_lock);
    m_items.push_back({index, state, file ? file : L""});
  }
  m_page.m_calls.Post([this] { ShowItems(); }, CALL_ITEMS);
}

void CConvertPage::CPageReport::ShowItems() {
  std::vector<CJobItemReport> items;
  {
    std::lock_guard<std::mutex> l(m_lock);
    std::swap(items, m_items);
  }
  if (!items.empty()) m_page.ShowJobItems(items);
}

void CConvertPage::CPageReport::Ask(const std::function<void()>& dialog) {
  m_page.m_calls.Send([this, &dialog] { m_page.WithJobDialog(dialog); });
}

bool CConvertPage::CPageReport::ChooseOutput(CString& path) {
  bool chosen = false;
  Ask([&] { chosen = m_page.ChooseJobOutput(path); });
  return chosen;
}

bool CConvertPage::CPageReport::ConfirmOverwrite(LPCTSTR path, int& mode, bool offerAll) {
  // Most files are new: no prompt, and no need to wait for the page.
  if (!::PathFileExistsW(path) || mode == OVERWRITE_ALL) return true;
  int answer = 1;
  Ask([&] { answer = m_page.ConfirmOverwrite(path, mode, offerAll ? TRUE : FALSE); });
  return answer == 0;
}

void CConvertPage::CPageReport::Message(LPCTSTR text) {
  Ask([&] { m_page.ShowJobMessage(text); });
}
