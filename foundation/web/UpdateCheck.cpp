#include "foundation/web/UpdateCheck.h"

#include <pugixml.hpp>

#include <cwchar>
#include <mutex>
#include <vector>

#include "foundation/Versions.h"
#include "foundation/web/HttpClient.h"
#include "foundation/ShellOpen.h"
#include "foundation/ui/UIResources.h"

namespace {
CUpdateSettings* g_settings = nullptr;

const wchar_t kSection[] = L"Settings";
const wchar_t kLastCheck[] = L"LastUpdateCheck";
const wchar_t kFailedText[] = L"Failed to get update information!\nPlease try again later.";
const wchar_t kNewestText[] = L"You are already using the newest version.\nPlease check again in future.";

int GetAutoCheck() { return g_settings ? g_settings->GetAutoCheckUpdate() : 1; }
void SetAutoCheck(int value) {
  if (g_settings) g_settings->SetAutoCheckUpdate(value);
}
LONGLONG ReadLastCheck() {
  if (g_settings) return g_settings->GetLastUpdateCheck();
  CWinApp* app = AfxGetApp();
  return app ? (LONGLONG)app->GetProfileInt(kSection, kLastCheck, 0) : 0;
}
void WriteLastCheck(LONGLONG when) {
  if (g_settings) {
    g_settings->SetLastUpdateCheck(when);
  } else if (CWinApp* app = AfxGetApp()) {
    app->WriteProfileInt(kSection, kLastCheck, (int)(DWORD)when);
  }
}

CString FromUtf8(const char* text) {
  if (!text || !*text) return CString();
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (n <= 0) return CString();
  std::vector<wchar_t> buf((size_t)n + 1, L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text, -1, buf.data(), n);
  return CString(buf.data());
}

bool SameLocalDate(time_t a, time_t b) {
  struct tm ta = {}, tb = {};
  if (localtime_s(&ta, &a) != 0 || localtime_s(&tb, &b) != 0) return false;
  return ta.tm_year == tb.tm_year && ta.tm_mon == tb.tm_mon && ta.tm_mday == tb.tm_mday;
}

int ShowMessage(LPCTSTR text) { return AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION); }

// The checks started by CheckForUpdates. An entry's job is cleared (under the
// lock) before its thread deletes it; the thread handle is closed once the
// thread has ended.
struct RunningCheck {
  CUpdateJob* job;
  HANDLE thread;
  DWORD threadId;
};
std::mutex g_runningLock;
std::vector<RunningCheck> g_running;

// Under the lock: forgets the checks whose threads have ended.
void ForgetEndedChecks() {
  for (size_t i = 0; i < g_running.size();) {
    if (::WaitForSingleObject(g_running[i].thread, 0) == WAIT_OBJECT_0) {
      ::CloseHandle(g_running[i].thread);
      g_running.erase(g_running.begin() + (ptrdiff_t)i);
    } else {
      ++i;
    }
  }
}

// Answers a dialog or message box of a check as its Cancel would.
BOOL CALLBACK CancelCheckWindow(HWND wnd, LPARAM) {
  wchar_t name[16] = {0};
  if (::GetClassNameW(wnd, name, 16) > 0 && wcscmp(name, L"#32770") == 0)
    ::PostMessageW(wnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return TRUE;
}

bool ReadUpdateInfo(CUpdateJob& job, const pugi::xml_document& doc);
}  // namespace

LONGLONG CUpdateSettings::GetLastUpdateCheck() {
  CWinApp* app = AfxGetApp();
  return app ? (LONGLONG)app->GetProfileInt(kSection, kLastCheck, 0) : 0;
}

void CUpdateSettings::SetLastUpdateCheck(LONGLONG when) {
  if (CWinApp* app = AfxGetApp()) app->WriteProfileInt(kSection, kLastCheck, (int)(DWORD)when);
}

CUpdateSettings* GetUpdateSettings() { return g_settings; }
void SetUpdateSettings(CUpdateSettings* settings) { g_settings = settings; }

int IsUpdateCheckDue(time_t now, time_t last, int intervalDays) {
  if (intervalDays < 0) return 0;
  if (intervalDays == 0) return 1;
  if (last > now) return 1;  // the clock was set back: check rather than wait for years
  if (intervalDays == 1) return SameLocalDate(now, last) ? 0 : 1;
  return (now - last) / 86400 >= intervalDays ? 1 : 0;
}

int CheckForUpdates(LPCTSTR infoUrl, LPCTSTR currentVersion, int intervalDays, int silent) {
  const time_t now = time(nullptr);
  if (silent && !IsUpdateCheckDue(now, (time_t)ReadLastCheck(), intervalDays)) return 1;
  // Written first: a failed check still counts as done.
  WriteLastCheck((LONGLONG)now);

  CUpdateJob* job = new CUpdateJob;
  job->m_strCurrentVersion = currentVersion ? currentVersion : L"";
  job->m_strInfoURL = infoUrl ? infoUrl : L"";
  job->m_bSilent = silent ? 1 : 0;
  CWinApp* app = AfxGetApp();
  if (app && app->m_pMainWnd) job->m_hOwner = app->m_pMainWnd->m_hWnd;
  CWinThread* thread = AfxBeginThread(UpdateThreadProc, job, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  if (!thread) {
    delete job;
    return -1;
  }
  HANDLE handle = nullptr;
  if (::DuplicateHandle(::GetCurrentProcess(), thread->m_hThread, ::GetCurrentProcess(), &handle, SYNCHRONIZE, FALSE,
                        0)) {
    std::lock_guard<std::mutex> lock(g_runningLock);
    ForgetEndedChecks();
    g_running.push_back({job, handle, thread->m_nThreadID});
  }
  thread->ResumeThread();
  return 0;
}

int StopUpdateChecks(DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    std::vector<DWORD> threads;
    std::vector<HANDLE> handles;
    {
      std::lock_guard<std::mutex> lock(g_runningLock);
      ForgetEndedChecks();
      for (RunningCheck& check : g_running) {
        // Set again every round: a progress dialog that opens clears it.
        if (check.job) check.job->m_nCancel = 2;
        threads.push_back(check.threadId);
        handles.push_back(check.thread);
      }
    }
    const DWORD spent = ::GetTickCount() - start;
    // Requests the checks had to leave behind in a blocked call get the rest.
    if (threads.empty()) return WaitForHttpRequestThreads(spent < timeoutMs ? timeoutMs - spent : 0);
    if (spent >= timeoutMs) return 0;
    for (DWORD id : threads) ::EnumThreadWindows(id, CancelCheckWindow, 0);
    // Messages the check threads send to this thread are answered meanwhile.
    const DWORD count = (DWORD)(handles.size() < MAXIMUM_WAIT_OBJECTS - 1 ? handles.size() : MAXIMUM_WAIT_OBJECTS - 1);
    ::MsgWaitForMultipleObjects(count, handles.data(), TRUE, 100, QS_SENDMESSAGE);
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

UINT __cdecl UpdateThreadProc(LPVOID param) {
  CUpdateJob* job = static_cast<CUpdateJob*>(param);
  // Dialogs and message boxes of this thread belong to the program's main
  // window. It is borrowed by handle: the window object may end first.
  CWinThread* self = AfxGetThread();
  CWinApp* app = AfxGetApp();
  CWnd owner;
  const bool borrowMain = self && self != app && !self->m_pMainWnd && job->m_hOwner;
  if (borrowMain) {
    owner.m_hWnd = job->m_hOwner;
    self->m_pMainWnd = &owner;
  }
  job->Run();
  if (borrowMain) {
    self->m_pMainWnd = nullptr;
    owner.m_hWnd = nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(g_runningLock);
    for (RunningCheck& check : g_running)
      if (check.job == job) check.job = nullptr;
  }
  delete job;
  return 0;
}

// ---------------------------------------------------------------------------

int CUpdateJob::Run() {
  int result;
  if (m_bSilent) {
    result = Check();
  } else {
    const int autoCheck = GetAutoCheck();
    CUpdateProgressDlg progress(this);
    const INT_PTR shown = progress.DoModal();
    SetAutoCheck(autoCheck);
    // A dialog that could not be shown ran no check: that is a failure.
    result = shown == -1 ? -1 : progress.m_nResult;
  }
  if (m_nCancel) return 0;
  if (result < 0) {
    if (!m_bSilent) ShowMessage(kFailedText);
    return -1;
  }
  if (result == 0) {
    if (!m_bSilent) ShowMessage(kNewestText);
    return 0;
  }
  INT_PTR answer;
  {
    CUpdateAvailableDlg dialog(this);
    answer = dialog.DoModal();
  }
  // Checked again here: nothing but a web address is ever opened.
  if (answer == IDOK && IsWebAddress(m_strDownloadURL)) {
    ShellOpen(L"open", m_strDownloadURL);
    return 1;
  }
  return 0;
}

int CUpdateJob::Check() {
  if (FetchUpdateInfo() != 0) return -1;
  return CompareVersions(m_strNewestVersion, m_strCurrentVersion) > 0 ? 1 : 0;
}

int CUpdateJob::FetchUpdateInfo() {
  std::string bytes;
  if (Download(bytes) != 0) return -1;
  return ParseUpdateXml(bytes.data(), bytes.size()) == 0 ? 0 : -1;
}

int CUpdateJob::Download(std::string& bytes) {
  CHttpDownloader http;
  http.m_pCancel = &m_nCancel;
  http.m_strURL = m_strInfoURL;
  // The bytes as sent: the document itself says how its text is encoded.
  CMemoryStream stream(1024);
  stream.SetLimit(http.m_nStringLimit);
  if (http.DownloadToStream(&stream) != 0) return -1;
  bytes.assign(reinterpret_cast<const char*>(stream.GetBuffer()), (size_t)stream.GetSize());
  return 0;
}

int CUpdateJob::ParseUpdateXml(LPCTSTR xml) {
  if (!xml) return -1;
  pugi::xml_document doc;
  const size_t bytes = wcslen(xml) * sizeof(wchar_t);
  if (!doc.load_buffer(xml, bytes, pugi::parse_default, pugi::encoding_wchar)) return -1;
  return ReadUpdateInfo(*this, doc) ? 0 : -1;
}

int CUpdateJob::ParseUpdateXml(const void* data, size_t size) {
  if (!data || size == 0) return -1;
  pugi::xml_document doc;
  if (!doc.load_buffer(data, size, pugi::parse_default, pugi::encoding_auto)) return -1;
  return ReadUpdateInfo(*this, doc) ? 0 : -1;
}

namespace {
bool ReadUpdateInfo(CUpdateJob& job, const pugi::xml_document& doc) {
  pugi::xml_node app = doc.child("Updates").child("Application");
  if (!app) return false;
  const CString version = FromUtf8(app.attribute("Version").value());
  if (version.IsEmpty()) return false;
  job.m_strNewestVersion = version;
  if (pugi::xml_attribute level = app.attribute("Level")) job.m_nLevel = level.as_int();
  pugi::xml_node url = app.child("URL");
  if (!url) return false;
  job.m_strDownloadURL = FromUtf8(url.text().get());
  job.m_strDownloadURL.Trim();
  // Only a web address may come from the network: no file, UNC or program path.
  if (!IsWebAddress(job.m_strDownloadURL)) return false;
  if (pugi::xml_node description = app.child("Description")) {
    job.m_strDescription = FromUtf8(description.text().get());
    job.m_strDescription.Replace(L"\\n", L"\r\n");
  }
  return true;
}
}  // namespace

// ---------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CUpdateProgressDlg, CDialog)
  ON_WM_TIMER()
  ON_MESSAGE(WM_WORKER_FINISHED, OnWorkerFinished)
END_MESSAGE_MAP()

CUpdateProgressDlg::CUpdateProgressDlg(CUpdateJob* job, CWnd* pParent)
    : CDialog(GetWebProgram().ids.updateProgress, pParent), m_pJob(job), m_pCancel(&job->m_nCancel) {}

void CUpdateProgressDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_WEB_PROGRESS, m_progress);
  DDX_Check(pDX, IDC_WEB_PROGRESS_CHECK, m_bAutoCheck);
}

BOOL CUpdateProgressDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  const CWebDialogIds& ids = GetWebProgram().ids;
  if (CWnd* label = GetDlgItem(ids.updateLabel)) label->SetFont(GetSharedFont(CUIResources::FontBold));
  m_progress.SetRange32(0, 100);
  SetWindowText(AfxGetAppName());
  SetDlgItemText(IDC_WEB_PROGRESS_CHECK, L"Auto check for updates");
  *m_pCancel = 0;
  // The bar's timer belongs to this thread: set and killed here only.
  SetDlgItemText(ids.updateLabel, L"Checking for updates...");
  SetTimer(1, 100);
  if (!StartCheckThread()) {
    // No report would ever come: end at once as a failed check.
    m_nResult = -1;
    EndDialog(IDOK);
  }
  return TRUE;
}

BOOL CUpdateProgressDlg::StartCheckThread() {
  return AfxBeginThread(CheckThreadProc, this, THREAD_PRIORITY_NORMAL) != nullptr;
}

UINT __cdecl CUpdateProgressDlg::CheckThreadProc(LPVOID param) {
  CUpdateProgressDlg* dialog = static_cast<CUpdateProgressDlg*>(param);
  dialog->RunCheck();
  ::PostMessageW(dialog->m_hWnd, WM_WORKER_FINISHED, 0, 0);
  return 0;
}

int CUpdateProgressDlg::RunCheck() {
  m_nResult = m_pJob->Check();
  return 0;
}

void CUpdateProgressDlg::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent == 1) {
    int pos = m_progress.GetPos() + 2;
    m_progress.SetPos(pos > 100 ? 0 : pos);
  }
  CDialog::OnTimer(nIDEvent);
}

void CUpdateProgressDlg::OnOK() {
  // Enter does not end the dialog: the check thread still uses it.
}

void CUpdateProgressDlg::OnCancel() {
  *m_pCancel = 2;
  KillTimer(1);
}

LRESULT CUpdateProgressDlg::OnWorkerFinished(WPARAM, LPARAM) {
  KillTimer(1);
  EndDialog(*m_pCancel ? IDCANCEL : IDOK);
  return 0;
}

// ---------------------------------------------------------------------------

CUpdateAvailableDlg::CUpdateAvailableDlg(CUpdateJob* job, CWnd* pParent)
    : CDialog(GetWebProgram().ids.updateAvailable, pParent), m_pJob(job), m_bAutoCheck(GetAutoCheck()) {}

CUpdateAvailableDlg::~CUpdateAvailableDlg() { SetAutoCheck(m_bAutoCheck); }

void CUpdateAvailableDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  const CWebDialogIds& ids = GetWebProgram().ids;
  DDX_Control(pDX, ids.updateNewVersion, m_linkVersion);
  DDX_Control(pDX, ids.updateLearnMore, m_linkLearnMore);
  DDX_Check(pDX, ids.updateAutoCheck, m_bAutoCheck);
}

BOOL CUpdateAvailableDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  const CWebDialogIds& ids = GetWebProgram().ids;
  CFont* largeBold = GetSharedFont(CUIResources::FontLargeBold);
  m_linkVersion.SetFont(largeBold);

  CString text;
  text.Format(L"A newer version of %s is available:", (LPCTSTR)m_pJob->m_strProduct);
  SetDlgItemText(ids.updateLabel, text);

  m_linkVersion.m_crBack = ::GetSysColor(COLOR_BTNFACE);
  m_linkVersion.SetFont(largeBold);
  m_linkVersion.SetLink(kProductPageUrl, m_pJob->m_strNewestVersion);
  m_linkVersion.SizeToText();

  m_linkLearnMore.m_crBack = ::GetSysColor(COLOR_BTNFACE);
  m_linkLearnMore.SetFont(GetSharedFont(CUIResources::FontNormal));
  m_linkLearnMore.m_pHoverFont = GetSharedFont(CUIResources::FontUnderline);
  m_linkLearnMore.SetLink(kProductPageUrl);
  m_linkLearnMore.SizeToText();

  text.Format(L"Your version is %s.", (LPCTSTR)m_pJob->m_strCurrentVersion);
  SetDlgItemText(ids.updateYourVersion, text);
  SetDlgItemText(ids.updateDescription, m_pJob->m_strDescription);
  return TRUE;
}

void CUpdateAvailableDlg::OnCancel() {
  UpdateData(TRUE);
  EndDialog(IDCANCEL);
}
