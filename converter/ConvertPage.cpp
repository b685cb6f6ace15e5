#include "ConvertPage.h"

#include <shlwapi.h>

#include "ConverterGlobals.h"
#include "ConverterRes.h"
#include "ConverterResources.h"
#include "EncoderTool.h"
#include "UIResources.h"

namespace {
// Runs a function on the window's thread (wParam: the function).
const UINT WM_RUN_ON_PAGE_THREAD = WM_APP + 0x301;
const COLORREF kLabelBack = RGB(0xF0, 0xF0, 0xF0);
const COLORREF kStatusBack = RGB(0xE0, 0xE0, 0xE0);
}  // namespace

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
  ON_WM_CTLCOLOR()
  ON_WM_SIZE()
  ON_BN_CLICKED(IDC_CONVERT, OnConvert)
  ON_BN_CLICKED(IDC_STOP, OnStop)
  ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
  ON_MESSAGE(WM_WORKER_FINISHED, OnWorkerFinished)
  ON_MESSAGE(WM_RUN_ON_PAGE_THREAD, OnRunOnPageThread)
  ON_MESSAGE(WM_SET_STATUS, OnSetStatus)
END_MESSAGE_MAP()

CConvertPage::CConvertPage(UINT nIDTemplate, CWnd* pParentWnd) : COEDialog(nIDTemplate, pParentWnd) {
  m_brStatus.CreateSolidBrush(kStatusBack);
}

CConvertPage::~CConvertPage() {}

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
  if (m_hAccel && pMsg->message >= WM_KEYDOWN && pMsg->message <= WM_SYSDEADCHAR &&
      ::TranslateAcceleratorW(m_hWnd, m_hAccel, pMsg))
    return TRUE;
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

void CConvertPage::OnConvert() { StartConversion(); }
void CConvertPage::OnStop() { RequestStop(STOP_REQUESTED); }

LRESULT CConvertPage::OnIdleUpdateCmdUI(WPARAM, LPARAM) {
  UpdateDialogControls(this, FALSE);
  return 0;
}

int CConvertPage::StartConversion() { return -1; }

void CConvertPage::RequestStop(int mode) { m_nStopFlag = mode; }

void CConvertPage::SetBusy(BOOL busy) {
  if (!m_hWnd) return;
  if (::GetWindowThreadProcessId(m_hWnd, nullptr) != ::GetCurrentThreadId()) {
    // Focus moves only on the window's own thread.
    RunOnPageThread([this, busy] { SetBusy(busy); });
    return;
  }
  CWnd* convert = GetDlgItem(IDC_CONVERT);
  CWnd* stop = GetDlgItem(IDC_STOP);
  if (busy) {
    convert->ShowWindow(SW_HIDE);
    stop->ShowWindow(SW_SHOW);
    m_wndProgress.ShowWindow(SW_SHOW);
    stop->SetFocus();
  } else {
    stop->ShowWindow(SW_HIDE);
    convert->ShowWindow(SW_SHOW);
    m_wndProgress.ShowWindow(SW_HIDE);
    convert->SetFocus();
  }
}

void CConvertPage::SetStatus(LPCTSTR text, COLORREF color) { PutStatus(text, (LONG_PTR)color); }

void CConvertPage::SetStatusText(LPCTSTR text) { PutStatus(text, -1); }

void CConvertPage::PutStatus(LPCTSTR text, LONG_PTR color) {
  if (!m_hWnd) return;
  if (::GetWindowThreadProcessId(m_hWnd, nullptr) != ::GetCurrentThreadId()) {
    // A worker does not wait for the page: the text is posted, and arrives
    // in order with the worker's other posted messages.
    CString* copy = new CString(text ? text : L"");
    if (!::PostMessageW(m_hWnd, WM_SET_STATUS, (WPARAM)color, (LPARAM)copy)) delete copy;
    return;
  }
  if (color >= 0) m_crStatus = (COLORREF)color;
  SetDlgItemText(IDC_STATUS, text ? text : L"");
  // A colour change with the same text still repaints.
  CWnd* status = GetDlgItem(IDC_STATUS);
  if (status) status->Invalidate();
}

LRESULT CConvertPage::OnSetStatus(WPARAM wParam, LPARAM lParam) {
  CString* text = reinterpret_cast<CString*>(lParam);
  PutStatus(*text, (LONG_PTR)wParam);
  delete text;
  return 0;
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
  INT_PTR answer = IDCANCEL;
  RunOnPageThread([&] {
    COverwriteDlg dlg(offerAll, path, this);
    answer = dlg.DoModal();
  });
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

void CConvertPage::RunOnPageThread(const std::function<void()>& fn) {
  if (!m_hWnd || ::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId()) {
    fn();
    return;
  }
  ::SendMessageW(m_hWnd, WM_RUN_ON_PAGE_THREAD, (WPARAM)&fn, 0);
}

LRESULT CConvertPage::OnRunOnPageThread(WPARAM wParam, LPARAM) {
  const auto* fn = reinterpret_cast<const std::function<void()>*>(wParam);
  if (fn && *fn) (*fn)();
  return 0;
}

CWinThread* CConvertPage::BeginWorkerThread(AFX_THREADPROC fn, LPVOID param) {
  CWinThread* thread = AfxBeginThread(fn, param, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  if (!thread) return nullptr;
  thread->m_bAutoDelete = FALSE;
  thread->ResumeThread();
  return thread;
}

int CConvertPage::StartWorker(AFX_THREADPROC fn) {
  if (m_pWorkerThread) return -1;
  m_nStopFlag = STOP_NONE;
  m_pWorkerThread = BeginWorkerThread(fn, this);
  return m_pWorkerThread ? 0 : -1;
}

void CConvertPage::JoinWorker(CWinThread*& thread) {
  if (!thread) return;
  ::WaitForSingleObject(thread->m_hThread, INFINITE);
  delete thread;
  thread = nullptr;
}

LRESULT CConvertPage::OnWorkerFinished(WPARAM, LPARAM) {
  JoinWorker(m_pWorkerThread);
  if (m_nStopFlag == STOP_AND_CLOSE) {
    CWnd* parent = GetParent();
    if (parent) parent->PostMessage(WM_CLOSE);
    return 1;
  }
  return 0;
}
