// The update check with its dialogs, driven against the local test server:
// the progress dialog, the "update available" dialog with its download
// button and auto-check box, the final messages, the silent mode, and the
// due test with "LastUpdateCheck".
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/foundation/web/DialogTestSupport.h"
#include "foundation/web/AboutDlg.h"
#include "foundation/ui/UIResources.h"
#include "foundation/web/UpdateCheck.h"
#include "tests/foundation/web/WebTestSupport.h"

namespace {
const wchar_t kFailed[] = L"Failed to get update information!\nPlease try again later.";
const wchar_t kNewest[] = L"You are already using the newest version.\nPlease check again in future.";

// The program's settings as the update check sees them.
class CFakeSettings : public CUpdateSettings {
 public:
  std::mutex m_lock;
  int m_nAutoCheck = 1;
  std::vector<int> m_sets;
  int GetAutoCheckUpdate() override {
    std::lock_guard<std::mutex> l(m_lock);
    return m_nAutoCheck;
  }
  void SetAutoCheckUpdate(int value) override {
    std::lock_guard<std::mutex> l(m_lock);
    m_nAutoCheck = value;
    m_sets.push_back(value);
  }
};

// Records message boxes (answering OK) while it lives.
class CMessageRecorder {
 public:
  CMessageRecorder() {
    AfxSetMessageBoxHandler([this](LPCTSTR text, UINT type) {
      std::lock_guard<std::mutex> l(m_lock);
      m_texts.push_back(text);
      m_types.push_back(type);
      return IDOK;
    });
  }
  ~CMessageRecorder() { AfxSetMessageBoxHandler(nullptr); }
  std::vector<CString> Texts() {
    std::lock_guard<std::mutex> l(m_lock);
    return m_texts;
  }
  std::vector<UINT> Types() {
    std::lock_guard<std::mutex> l(m_lock);
    return m_types;
  }

 private:
  std::mutex m_lock;
  std::vector<CString> m_texts;
  std::vector<UINT> m_types;
};

// A job run on an update thread of the test's own, so its end can be awaited.
class CJobRun {
 public:
  CJobRun(LPCTSTR variantPath, int silent) {
    m_pJob = new CUpdateJob;
    m_pJob->m_strCurrentVersion = L"1.11.0";
    m_pJob->m_strInfoURL = ServerUrl(variantPath);
    m_pJob->m_bSilent = silent;
    m_pThread = AfxBeginThread(Proc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    m_pThread->m_bAutoDelete = FALSE;
    m_pThread->ResumeThread();
  }
  ~CJobRun() {
    Wait();
    delete m_pThread;
  }
  bool Wait(DWORD timeoutMs = 30000) {
    return PumpUntil([this] { return ::WaitForSingleObject(m_pThread->m_hThread, 0) == WAIT_OBJECT_0; }, timeoutMs);
  }
  CUpdateJob* m_pJob;
  int m_nResult = 99;
  CString m_strNewest;

 private:
  static UINT __cdecl Proc(LPVOID param) {
    CJobRun* run = static_cast<CJobRun*>(param);
    run->m_nResult = run->m_pJob->Run();
    run->m_strNewest = run->m_pJob->m_strNewestVersion;
    delete run->m_pJob;
    return 0;
  }
  CWinThread* m_pThread;
};

bool IsAvailableDialog(HWND dialog) { return ::GetDlgItem(dialog, GetWebProgram().ids.updateDescription) != nullptr; }

bool IsProgressDialog(HWND dialog) { return ::GetDlgItem(dialog, IDC_WEB_PROGRESS) != nullptr; }

class UpdateDialogs : public ::testing::Test {
 protected:
  void SetUp() override { SetUpdateSettings(&m_settings); }
  void TearDown() override { SetUpdateSettings(nullptr); }
  CFakeSettings m_settings;
  CShellRecorder m_shell;
  CMessageRecorder m_messages;
};
}  // namespace

TEST_F(UpdateDialogs, NewerVersionOffersTheDownload) {
  CJobRun run(L"/update/newer.xml", 0);
  const HWND dlg = WaitForDialog(IsAvailableDialog);
  ASSERT_NE(nullptr, dlg);
  const CWebDialogIds& ids = GetWebProgram().ids;
  EXPECT_STREQ(L"Reelsmith", WindowText(dlg));
  EXPECT_STREQ(L"A newer version of Reelsmith is available:", ItemText(dlg, ids.updateLabel));
  EXPECT_STREQ(L"1.12.0", ItemText(dlg, ids.updateNewVersion));
  EXPECT_STREQ(L"Your version is 1.11.0.", ItemText(dlg, ids.updateYourVersion));
  EXPECT_STREQ(L"Faster encoding.\r\nNew formats.\r\nFixes.", ItemText(dlg, ids.updateDescription));
  EXPECT_EQ(3, (int)::SendDlgItemMessageW(dlg, ids.updateDescription, EM_GETLINECOUNT, 0, 0));
  EXPECT_EQ(BST_CHECKED, (int)::SendDlgItemMessageW(dlg, ids.updateAutoCheck, BM_GETCHECK, 0, 0));
  EXPECT_EQ(::GetDlgItem(dlg, IDOK), ::GetNextDlgTabItem(dlg, nullptr, FALSE));
  EXPECT_EQ((HFONT)GetSharedFont(CUIResources::FontLargeBold)->GetSafeHandle(),
            (HFONT)::SendDlgItemMessageW(dlg, ids.updateNewVersion, WM_GETFONT, 0, 0));

  // The version link is as wide as its text, which is drawn in link blue.
  const HWND version = ::GetDlgItem(dlg, ids.updateNewVersion);
  CWindowShot shot = CaptureWindow(dlg);
  const CRect rect = ChildRect(version);
  const CColorSpan blue = FindColor(shot, rect, RGB(0, 0, 255));
  EXPECT_GT(blue.count, 20);
  EXPECT_LE(blue.first, 4);
  EXPECT_GE(blue.last, rect.Width() - 6);
  CaptureWindow(dlg, false).SavePng(L"update_available.png");

  // Both links open the product page; the dialog stays.
  ::SendMessageW(version, BM_CLICK, 0, 0);
  ::SendDlgItemMessageW(dlg, ids.updateLearnMore, BM_CLICK, 0, 0);
  // The box is cleared, then Download.
  ::SendDlgItemMessageW(dlg, ids.updateAutoCheck, BM_CLICK, 0, 0);
  ::SendDlgItemMessageW(dlg, IDOK, BM_CLICK, 0, 0);
  ASSERT_TRUE(run.Wait());
  EXPECT_EQ(1, run.m_nResult);
  const auto calls = m_shell.Calls();
  ASSERT_EQ(3u, calls.size());
  EXPECT_STREQ(kProductPageUrl, calls[0].file);
  EXPECT_STREQ(kProductPageUrl, calls[1].file);
  EXPECT_STREQ(L"open", calls[2].verb);
  EXPECT_STREQ(L"http://127.0.0.1/download/reelsmith-1.12.0.exe", calls[2].file);
  EXPECT_EQ(0, m_settings.GetAutoCheckUpdate());
  EXPECT_TRUE(m_messages.Texts().empty());
}

TEST_F(UpdateDialogs, CancelOpensNothingButKeepsTheClearedBox) {
  CJobRun run(L"/update/numeric-newer.xml", 0);
  const HWND dlg = WaitForDialog(IsAvailableDialog);
  ASSERT_NE(nullptr, dlg);
  const CWebDialogIds& ids = GetWebProgram().ids;
  EXPECT_STREQ(L"1.100.0", ItemText(dlg, ids.updateNewVersion));
  EXPECT_STREQ(L"", ItemText(dlg, ids.updateDescription));
  ::SendDlgItemMessageW(dlg, ids.updateAutoCheck, BM_CLICK, 0, 0);
  ::SendDlgItemMessageW(dlg, IDCANCEL, BM_CLICK, 0, 0);
  ASSERT_TRUE(run.Wait());
  EXPECT_EQ(0, run.m_nResult);
  EXPECT_TRUE(m_shell.Calls().empty());
  EXPECT_EQ(0, m_settings.GetAutoCheckUpdate());
  EXPECT_TRUE(m_messages.Texts().empty());
}

TEST_F(UpdateDialogs, ShownChecksEndWithAMessage) {
  struct Case {
    LPCTSTR path;
    int result;
    LPCTSTR message;
  } cases[] = {
      {L"/update/equal.xml", 0, kNewest},         {L"/update/older.xml", 0, kNewest},
      {L"/update/numeric-older.xml", 0, kNewest}, {L"/update/malformed.xml", -1, kFailed},
      {L"/update/file-url.xml", -1, kFailed},     {L"/update/missing-variant.xml", -1, kFailed},
  };
  size_t shown = 0;
  for (const Case& c : cases) {
    CJobRun run(c.path, 0);
    ASSERT_TRUE(run.Wait()) << CStringA(c.path).GetString();
    EXPECT_EQ(c.result, run.m_nResult) << CStringA(c.path).GetString();
    const auto texts = m_messages.Texts();
    ASSERT_EQ(++shown, texts.size()) << CStringA(c.path).GetString();
    EXPECT_STREQ(c.message, texts.back()) << CStringA(c.path).GetString();
    EXPECT_EQ((UINT)(MB_OK | MB_ICONEXCLAMATION), m_messages.Types().back());
  }
  EXPECT_TRUE(m_shell.Calls().empty());
  // The progress dialog does not keep its auto-check box: the setting is put back.
  EXPECT_EQ(1, m_settings.GetAutoCheckUpdate());
}

TEST_F(UpdateDialogs, SilentChecksShowOnlyANewerVersion) {
  {
    CJobRun run(L"/update/equal.xml", 1);
    ASSERT_TRUE(run.Wait());
    EXPECT_EQ(0, run.m_nResult);
  }
  {
    CJobRun run(L"/update/wrong-root.xml", 1);
    ASSERT_TRUE(run.Wait());
    EXPECT_EQ(-1, run.m_nResult);
  }
  EXPECT_TRUE(m_messages.Texts().empty());
  EXPECT_TRUE(m_settings.m_sets.empty());
  {
    CJobRun run(L"/update/newer.xml", 1);
    const HWND dlg = WaitForDialog(IsAvailableDialog);
    ASSERT_NE(nullptr, dlg);
    EXPECT_STREQ(L"1.12.0", ItemText(dlg, GetWebProgram().ids.updateNewVersion));
    ::SendDlgItemMessageW(dlg, IDCANCEL, BM_CLICK, 0, 0);
    ASSERT_TRUE(run.Wait());
    EXPECT_EQ(0, run.m_nResult);
  }
  EXPECT_TRUE(m_shell.Calls().empty());
  EXPECT_EQ(1, m_settings.GetAutoCheckUpdate());
}

TEST_F(UpdateDialogs, ProgressDialogThatCannotBeShownIsAFailure) {
  CWebProgram broken = kConverterWebProgram;
  broken.ids.updateProgress = 9999;  // no such template
  SetWebProgram(&broken);
  {
    CJobRun run(L"/update/equal.xml", 0);
    ASSERT_TRUE(run.Wait());
    EXPECT_EQ(-1, run.m_nResult);
  }
  SetWebProgram(nullptr);
  const auto texts = m_messages.Texts();
  ASSERT_EQ(1u, texts.size());
  EXPECT_STREQ(kFailed, texts[0]);
}

TEST_F(UpdateDialogs, ProgressDialogWithoutItsThreadEndsAtOnce) {
  class CNoThreadDlg : public CUpdateProgressDlg {
   public:
    using CUpdateProgressDlg::CUpdateProgressDlg;
    BOOL StartCheckThread() override { return FALSE; }
  };
  CUpdateJob job;
  job.m_strInfoURL = ServerUrl(L"/update/newer.xml");
  CNoThreadDlg dialog(&job);
  EXPECT_EQ(IDOK, dialog.DoModal());
  EXPECT_EQ(-1, dialog.m_nResult);
  EXPECT_EQ(0, job.m_nCancel);
}

// The bar is the dialog's own: it moves from the start, also while the check
// thread has not begun, and stops with the check's report.
TEST_F(UpdateDialogs, ProgressDialogMovesItsBarBeforeTheCheckBegins) {
  class CHeldCheckDlg : public CUpdateProgressDlg {
   public:
    using CUpdateProgressDlg::CUpdateProgressDlg;
    BOOL StartCheckThread() override { return TRUE; }
  };
  CUpdateJob job;
  std::atomic<INT_PTR> shown{-5};
  std::thread owner([&] {
    CHeldCheckDlg dialog(&job);
    shown = dialog.DoModal();
  });
  const HWND dlg = WaitForDialog(IsProgressDialog);
  ASSERT_NE(nullptr, dlg);
  EXPECT_TRUE(PumpUntil([&] { return ::SendDlgItemMessageW(dlg, IDC_WEB_PROGRESS, PBM_GETPOS, 0, 0) >= 10; }));
  EXPECT_STREQ(L"Checking for updates...", ItemText(dlg, GetWebProgram().ids.updateLabel));
  ::PostMessageW(dlg, WM_WORKER_FINISHED, 0, 0);
  owner.join();
  EXPECT_EQ(IDOK, shown.load());
}

TEST_F(UpdateDialogs, CheckOnRequestBelongsToTheMainWindow) {
  // The program's own entry point: its worker shows the dialogs owned by the
  // main window, which stays disabled while they are up.
  CWnd frame;
  ASSERT_TRUE(frame.CreateEx(0, AfxRegisterWndClass(0), L"Main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 400, 300,
                             nullptr, nullptr));
  CWinApp* app = AfxGetApp();
  app->m_pMainWnd = &frame;
  ASSERT_EQ(0, CheckForUpdates(ServerUrl(L"/update/newer.xml"), L"1.11.0", 0, 0));
  const HWND dlg = WaitForDialog(IsAvailableDialog);
  ASSERT_NE(nullptr, dlg);
  EXPECT_EQ(frame.m_hWnd, ::GetWindow(dlg, GW_OWNER));
  EXPECT_FALSE(::IsWindowEnabled(frame.m_hWnd));
  ::SendDlgItemMessageW(dlg, IDCANCEL, BM_CLICK, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(dlg) || !::IsWindowVisible(dlg); }));
  EXPECT_TRUE(PumpUntil([&] { return ::IsWindowEnabled(frame.m_hWnd) != FALSE; }));
  app->m_pMainWnd = nullptr;
  frame.DestroyWindow();
  EXPECT_TRUE(m_shell.Calls().empty());
  EXPECT_TRUE(m_messages.Texts().empty());
}

// A dialog of the main window's own thread and one of a check can be up
// together: the one that ends first leaves the main window disabled for the
// other, and a click on the main window meanwhile does nothing. The program's
// own dialog (About) is closed last, the system's (Open) first.
TEST_F(UpdateDialogs, MainWindowStaysDisabledWhileAnyOfItsDialogsIsUp) {
  CWnd frame;
  ASSERT_TRUE(frame.CreateEx(0, AfxRegisterWndClass(0), L"Main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 500,
                             nullptr, nullptr));
  const HWND box = ::CreateWindowW(L"BUTTON", L"box", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 4, 4, 120, 24,
                                   frame.m_hWnd, (HMENU)1, nullptr, nullptr);
  CWinApp* app = AfxGetApp();
  app->m_pMainWnd = &frame;
  for (const bool systemDialog : {false, true}) {
    SCOPED_TRACE(systemDialog ? "Open" : "About");
    ASSERT_EQ(0, CheckForUpdates(ServerUrl(L"/update/newer.xml"), L"1.11.0", 0, 0));
    const HWND offered = WaitForDialog(IsAvailableDialog);
    ASSERT_NE(nullptr, offered);
    bool disabled = false, lastInFront = false;
    LRESULT boxState = -1;
    std::atomic<bool> done{false};
    std::thread user([&] {
      const HWND own = WaitForDialog([&](HWND h) { return WindowText(h).Find(systemDialog ? L"Open" : L"About") == 0; });
      if (own) {
        ::SetWindowPos(own, nullptr, 700, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::Sleep(200);
        const HWND first = systemDialog ? own : offered, last = systemDialog ? offered : own;
        auto close = [&](HWND dlg) { ClickOn(::GetDlgItem(dlg, dlg == own && !systemDialog ? IDOK : IDCANCEL)); };
        close(first);
        PumpUntil([&] { return !::IsWindowVisible(first); });
        ::Sleep(200);
        disabled = !::IsWindowEnabled(frame.m_hWnd);
        lastInFront = ::GetForegroundWindow() == last;
        CaptureScreen().SavePng(systemDialog ? L"update_offer_after_open.png" : L"update_about_after_offer.png");
        ClickOn(box);
        ::Sleep(300);
        boxState = ::SendMessageW(box, BM_GETCHECK, 0, 0);
        close(last);
      }
      done = true;
    });
    if (systemDialog) {
      CFileDialog open(TRUE, nullptr, nullptr, 0, nullptr, &frame);
      open.DoModal();
    } else {
      CAboutDlg about(&frame);
      about.DoModal();
    }
    PumpUntil([&] { return done.load(); });
    user.join();
    EXPECT_TRUE(disabled);
    EXPECT_TRUE(lastInFront);
    EXPECT_EQ(BST_UNCHECKED, boxState);
    EXPECT_TRUE(PumpUntil([&] { return ::IsWindowEnabled(frame.m_hWnd) != FALSE; }));
  }
  app->m_pMainWnd = nullptr;
  frame.DestroyWindow();
  EXPECT_TRUE(m_shell.Calls().empty());
}

// In a process of its own (a stalled request may be left behind).
TEST_F(UpdateDialogs, CancelDuringAStallClosesWithoutAMessage) {
  CJobRun run(L"/stall-headers", 0);
  const HWND dlg = WaitForDialog(IsProgressDialog);
  ASSERT_NE(nullptr, dlg);
  const CWebDialogIds& ids = GetWebProgram().ids;
  // The bar moves while the check waits.
  ASSERT_TRUE(PumpUntil([&] { return ::SendDlgItemMessageW(dlg, IDC_WEB_PROGRESS, PBM_GETPOS, 0, 0) >= 10; }));
  EXPECT_STREQ(L"Reelsmith", WindowText(dlg));
  EXPECT_STREQ(L"Checking for updates...", ItemText(dlg, ids.updateLabel));
  EXPECT_STREQ(L"Auto check for updates", ItemText(dlg, IDC_WEB_PROGRESS_CHECK));
  EXPECT_EQ((HFONT)GetSharedFont(CUIResources::FontBold)->GetSafeHandle(),
            (HFONT)::SendDlgItemMessageW(dlg, ids.updateLabel, WM_GETFONT, 0, 0));
  CaptureWindow(dlg, false).SavePng(L"update_progress.png");

  // Enter does not end it while the check runs; Cancel does, silently.
  ::SendMessageW(dlg, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(::IsWindowVisible(dlg));
  ::SendMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(run.Wait(20000));
  EXPECT_EQ(0, run.m_nResult);
  EXPECT_FALSE(::IsWindow(dlg) && ::IsWindowVisible(dlg));
  EXPECT_TRUE(m_messages.Texts().empty());
  EXPECT_TRUE(m_shell.Calls().empty());
}

// In a process of its own (a stalled request may be left behind).
TEST_F(UpdateDialogs, ExitStopsRunningChecksAfterTheMainWindowIsGone) {
  CWinApp* app = AfxGetApp();
  HWND offered = nullptr, progress = nullptr;
  {
    CWnd frame;
    ASSERT_TRUE(frame.CreateEx(0, AfxRegisterWndClass(0), L"Main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 400, 300,
                               nullptr, nullptr));
    app->m_pMainWnd = &frame;
    // One check offers a newer version, one waits on a server that never
    // answers, one waits silently.
    ASSERT_EQ(0, CheckForUpdates(ServerUrl(L"/update/newer.xml"), L"1.11.0", 0, 0));
    offered = WaitForDialog(IsAvailableDialog);
    ASSERT_EQ(0, CheckForUpdates(ServerUrl(L"/stall-headers"), L"1.11.0", 0, 0));
    progress = WaitForDialog(IsProgressDialog);
    ASSERT_EQ(0, CheckForUpdates(ServerUrl(L"/stall-headers"), L"1.11.0", 0, 1));
    ASSERT_NE(nullptr, offered);
    ASSERT_NE(nullptr, progress);
    // The main window and its object end first, as at exit.
    app->m_pMainWnd = nullptr;
  }
  // The checks end; a request still blocked in WinINet after its handles
  // were closed is left to end by itself (its receive time-out ends it), and
  // exit waits for it no longer than it is told.
  const DWORD start = ::GetTickCount();
  StopUpdateChecks(kUpdateStopWaitMs);
  EXPECT_LT(::GetTickCount() - start, kUpdateStopWaitMs + 500);
  EXPECT_FALSE(::IsWindow(offered));
  EXPECT_FALSE(::IsWindow(progress));
  // Closed as by Cancel: nothing opened, nothing said.
  EXPECT_TRUE(m_shell.Calls().empty());
  EXPECT_TRUE(m_messages.Texts().empty());
}
