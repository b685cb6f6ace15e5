// The page base on a real page template: band, status colours, busy state,
// worker protocol, the job's report carried to the page's thread,
// accelerators, progress records and the overwrite prompt.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "converter/pages/ConvertPage.h"
#include "resources/converter/ConverterRes.h"
#include "converter/app/ConverterResources.h"
#include "converter/app/ConverterGlobals.h"
#include "tests/converter/support/ConverterTestApp.h"
#include "tests/converter/support/DialogAnswerer.h"
#include "tests/converter/support/PageHost.h"
#include "tests/converter/support/ScriptedDialog.h"
#include "interfaces/ToolContract.h"
#include "tests/support/UiTestSupport.h"

namespace {
class CTestPage : public CConvertPage {
 public:
  CTestPage() : CConvertPage(IDD_SERIES_PAGE) {}
  int StartConversion() override {
    ++m_nStarts;
    return StartWorker();
  }
  // A job: busy, held until the test lets it go, then cancelled.
  JobResult RunConversion() override {
    while (m_bHoldStart) ::Sleep(1);
    CJobReport& report = GetJobReport();
    report.Busy(true);
    m_bWorkerSawBusy = ::IsWindowVisible(::GetDlgItem(m_hWnd, IDC_STOP));
    while (m_bHold) ::Sleep(1);
    report.Status(kStatusCanceled, STATUS_NORMAL);
    report.Busy(false);
    return JobResult::Canceled;
  }
  void OnJobFinished(JobResult result) override { m_results.push_back(result); }
  // What the page shows of a job's reports, and on which thread.
  void ShowJobItems(const std::vector<CJobItemReport>& items) override {
    m_itemCalls.push_back(items);
    m_bOffThread |= !OnOwnThread();
  }
  bool ChooseJobOutput(CString& path) override {
    m_bOffThread |= !OnOwnThread();
    path += L" chosen";
    return true;
  }
  void ShowJobMessage(LPCTSTR text) override {
    m_bOffThread |= !OnOwnThread();
    m_messages.push_back(text);
  }
  bool OnOwnThread() const { return ::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId(); }
  BOOL Translate(MSG* msg) { return PreTranslateMessage(msg); }
  int m_nStarts = 0, m_nSelectAll = 0, m_nAddKey = 0;
  std::atomic<bool> m_bHold{false}, m_bHoldStart{false};
  BOOL m_bWorkerSawBusy = FALSE;
  // Clicks on Convert, and the longest time the page took to answer one.
  int m_nConvertClicks = 0;
  DWORD m_nLongestConvertMs = 0;
  std::vector<JobResult> m_results;
  std::vector<std::vector<CJobItemReport>> m_itemCalls;
  std::vector<CString> m_messages;
  bool m_bOffThread = false;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != WM_COMMAND || wParam != MAKEWPARAM(IDC_CONVERT, BN_CLICKED))
      return CConvertPage::WindowProc(message, wParam, lParam);
    const DWORD start = ::GetTickCount();
    const LRESULT result = CConvertPage::WindowProc(message, wParam, lParam);
    ++m_nConvertClicks;
    m_nLongestConvertMs = std::max(m_nLongestConvertMs, ::GetTickCount() - start);
    return result;
  }
  afx_msg void OnSelectAll() { ++m_nSelectAll; }
  afx_msg void OnAddKey() { ++m_nAddKey; }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestPage, CConvertPage)
  ON_COMMAND(ID_SELECT_ALL, OnSelectAll)
  ON_COMMAND(ID_ADD_KEY, OnAddKey)
END_MESSAGE_MAP()

class ConvertPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, m_res.Init());
    SetConverterGlobals(&m_res, nullptr, nullptr);
    ASSERT_TRUE(m_host.CreateHost(760, 460));
    ASSERT_TRUE(m_page.Create(IDD_SERIES_PAGE, &m_host));
    m_host.Fit(m_page);
    PumpPending();
  }
  void TearDown() override {
    m_page.DestroyWindow();
    m_host.DestroyWindow();
    SetConverterGlobals(nullptr, nullptr, nullptr);
  }
  HWND Item(int id) { return ::GetDlgItem(m_page.m_hWnd, id); }

  CConverterTestApp m_app{L"PageBaseTest"};
  CConverterResources m_res;
  CPageHostWnd m_host;
  CTestPage m_page;
};
}  // namespace

TEST_F(ConvertPage, BandFontsTipsAndHiddenBar) {
  HWND bar = Item(IDC_PROGRESS);
  ASSERT_NE(nullptr, bar);
  EXPECT_FALSE(::IsWindowVisible(bar));
  EXPECT_TRUE(::IsWindowVisible(Item(IDC_CONVERT)));
  EXPECT_FALSE(::IsWindowVisible(Item(IDC_STOP)));
  EXPECT_EQ((HFONT)m_res.m_fontBold.GetSafeHandle(), (HFONT)::SendMessageW(Item(IDC_CONVERT), WM_GETFONT, 0, 0));
  EXPECT_EQ((HFONT)m_res.m_fontBold.GetSafeHandle(), (HFONT)::SendMessageW(Item(IDC_STOP), WM_GETFONT, 0, 0));
  EXPECT_EQ(3, m_page.m_wndToolTip.GetToolCount());
  TOOLINFOW ti = {};
  wchar_t text[128] = {0};
  ti.cbSize = sizeof(ti);
  ti.hwnd = m_page.m_hWnd;
  ti.uFlags = TTF_IDISHWND;
  ti.uId = (UINT_PTR)Item(IDCANCEL);
  ti.lpszText = text;
  m_page.m_wndToolTip.SendMessage(TTM_GETTEXTW, 128, (LPARAM)&ti);
  EXPECT_STREQ(L"Stop converting and exit the program", text);
  EXPECT_NE(nullptr, m_page.m_hAccel);
}

TEST_F(ConvertPage, StatusLineColours) {
  m_page.SetStatus(L"Failed.", 255);
  EXPECT_STREQ(L"Failed.", m_page.GetStatusText());
  CRect rc;
  ::GetWindowRect(Item(IDC_STATUS), &rc);
  m_page.ScreenToClient(&rc);
  CWindowShot shot = ShotOf(m_page.m_hWnd, true);
  shot.SavePng(L"page-base-status.png");
  int red = 0, back = 0;
  for (int y = rc.top; y < rc.bottom; ++y)
    for (int x = rc.left; x < rc.right; ++x) {
      COLORREF c = shot.At(x, y);
      if (GetRValue(c) > 180 && GetGValue(c) < 90 && GetBValue(c) < 90) ++red;
      if (c == RGB(0xE0, 0xE0, 0xE0)) ++back;
    }
  EXPECT_GT(red, 10);
  EXPECT_GT(back, 100);
  m_page.SetStatus(L"Failed.", 0);
  shot = ShotOf(m_page.m_hWnd, true);
  red = 0;
  for (int y = rc.top; y < rc.bottom; ++y)
    for (int x = rc.left; x < rc.right; ++x) {
      COLORREF c = shot.At(x, y);
      if (GetRValue(c) > 180 && GetGValue(c) < 90) ++red;
    }
  EXPECT_EQ(0, red);
}

TEST_F(ConvertPage, WorkerProtocolBusyStateAndCloseAfterStop) {
  m_page.m_bHold = true;
  ::SetFocus(Item(IDC_CONVERT));  // where a click on it leaves the focus
  ::SendMessageW(m_page.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), (LPARAM)Item(IDC_CONVERT));
  EXPECT_EQ(1, m_page.m_nStarts);
  ASSERT_TRUE(m_page.IsWorkerRunning());
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(Item(IDC_STOP)) != FALSE; }));
  EXPECT_FALSE(::IsWindowVisible(Item(IDC_CONVERT)));
  EXPECT_TRUE(::IsWindowVisible(Item(IDC_PROGRESS)));
  // The focus moved to Stop although a worker asked for the busy state.
  EXPECT_EQ(Item(IDC_STOP), ::GetFocus());
  // A second start while the worker runs does nothing.
  EXPECT_EQ(-1, m_page.StartWorker());
  // Stop twice is stop once; Close asks the host to close.
  ::SendMessageW(m_page.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_STOP, BN_CLICKED), (LPARAM)Item(IDC_STOP));
  ::SendMessageW(m_page.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_STOP, BN_CLICKED), (LPARAM)Item(IDC_STOP));
  EXPECT_EQ(STOP_REQUESTED, m_page.m_nStopFlag);
  m_page.RequestStop(STOP_AND_CLOSE);
  m_page.m_bHold = false;
  ASSERT_TRUE(PumpUntil([&] { return !m_page.IsWorkerRunning(); }));
  EXPECT_TRUE(m_page.m_bWorkerSawBusy);
  EXPECT_TRUE(::IsWindowVisible(Item(IDC_CONVERT)));
  EXPECT_FALSE(::IsWindowVisible(Item(IDC_PROGRESS)));
  EXPECT_STREQ(L"Canceled.", m_page.GetStatusText());
  // The page learns the job's result once the worker has ended.
  EXPECT_EQ(std::vector<JobResult>{JobResult::Canceled}, m_page.m_results);
  ASSERT_TRUE(PumpUntil([&] { return m_host.m_nCloses == 1; }));
  // A new start clears the stop flag; without a close request nothing closes.
  m_page.StartConversion();
  ASSERT_TRUE(PumpUntil([&] { return !m_page.IsWorkerRunning(); }));
  EXPECT_EQ(STOP_NONE, m_page.m_nStopFlag);
  PumpPending();
  EXPECT_EQ(1, m_host.m_nCloses);
}

// A double click on Convert starts one job: the second click comes while the
// job is starting and is ignored at once, without waiting for the job.
TEST_F(ConvertPage, DoubleClickOnConvertStartsOneJobWithoutWaiting) {
  m_page.m_bHoldStart = true;
  ClickOn(Item(IDC_CONVERT));
  MouseButton(true);
  MouseButton(false);
  ASSERT_TRUE(PumpUntil([&] { return m_page.m_nConvertClicks == 2; }));
  EXPECT_LT(m_page.m_nLongestConvertMs, 300u);
  EXPECT_EQ(1, m_page.m_nStarts);
  m_page.m_bHoldStart = false;
  ASSERT_TRUE(PumpUntil([&] { return !m_page.IsWorkerRunning(); }));
  EXPECT_EQ(1, m_page.m_nStarts);
}

TEST_F(ConvertPage, ReportsFromAWorkerReachThePageOnItsThread) {
  CJobReport& report = m_page.GetJobReport();
  std::thread worker([&] {
    report.Status(L"first", STATUS_NORMAL);
    report.Status(kStatusFailed, STATUS_FAILED);
    report.ProgressRange(10);
    report.Progress(2);
    report.Progress(3);
    report.ItemState(0, 1, L"C:\\out\\a-0001.dcm");
    report.ItemState(0, 10);
    report.ItemState(1, 1, L"C:\\out\\a-0002.dcm");
  });
  worker.join();
  // Nothing is shown before the page's thread takes the calls; then only the
  // latest status and position, and every item report in one call, in order.
  EXPECT_STREQ(L"", m_page.GetStatusText());
  m_page.RunQueuedCalls();
  EXPECT_STREQ(kStatusFailed, m_page.GetStatusText());
  EXPECT_EQ(STATUS_FAILED, m_page.GetStatusColor());
  EXPECT_EQ(10, m_page.m_wndProgress.GetRange());
  EXPECT_EQ(3, m_page.m_wndProgress.GetPos());
  ASSERT_EQ(1u, m_page.m_itemCalls.size());
  const std::vector<CJobItemReport>& items = m_page.m_itemCalls[0];
  ASSERT_EQ(3u, items.size());
  EXPECT_EQ(0, items[1].index);
  EXPECT_EQ(10, items[1].state);
  EXPECT_TRUE(items[1].file.IsEmpty());
  EXPECT_STREQ(L"C:\\out\\a-0002.dcm", items[2].file);

  // The questions wait for the page's answer.
  CString path = L"C:\\out\\video.mp4";
  std::atomic<bool> chosen{false}, told{false};
  std::thread asker([&] {
    chosen = report.ChooseOutput(path);
    report.Message(L"Failed to create folder:\nX:\\");
    told = true;
  });
  EXPECT_TRUE(PumpUntil([&] { return told.load(); }));
  asker.join();
  EXPECT_TRUE(chosen);
  EXPECT_STREQ(L"C:\\out\\video.mp4 chosen", path);
  EXPECT_EQ(std::vector<CString>{L"Failed to create folder:\nX:\\"}, m_page.m_messages);
  EXPECT_FALSE(m_page.m_bOffThread);
}

TEST_F(ConvertPage, EnterDoesNothingEscapeAsksTheHostToClose) {
  ::SendMessageW(m_page.m_hWnd, WM_COMMAND, IDOK, 0);
  PumpPending();
  EXPECT_EQ(0, m_host.m_nCloses);
  EXPECT_TRUE(::IsWindow(m_page.m_hWnd));
  ::SendMessageW(m_page.m_hWnd, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(PumpUntil([&] { return m_host.m_nCloses == 1; }));
  EXPECT_TRUE(::IsWindow(m_page.m_hWnd));
}

TEST_F(ConvertPage, CtrlAGivesSelectAllOutsideTextFields) {
  BYTE keys[256] = {0};
  ::GetKeyboardState(keys);
  BYTE saved = keys[VK_CONTROL];
  keys[VK_CONTROL] = 0x80;
  ::SetKeyboardState(keys);
  MSG msg = {m_page.m_hWnd, WM_KEYDOWN, 'A', 1};
  EXPECT_TRUE(m_page.Translate(&msg));
  keys[VK_CONTROL] = saved;
  ::SetKeyboardState(keys);
  EXPECT_EQ(1, m_page.m_nSelectAll);
  MSG plain = {m_page.m_hWnd, WM_KEYDOWN, 'A', 1};
  m_page.Translate(&plain);
  EXPECT_EQ(1, m_page.m_nSelectAll);
  // Typed into the file-name box, Ctrl+A, Ctrl+N and Insert are the box's.
  HWND edit = ::FindWindowExW(Item(IDC_FILE_NAME), nullptr, L"Edit", nullptr);
  ASSERT_NE(nullptr, edit);
  MSG insert = {m_page.m_hWnd, WM_KEYDOWN, VK_INSERT, 1};
  m_page.Translate(&insert);
  ASSERT_EQ(1, m_page.m_nAddKey);
  insert.hwnd = edit;
  m_page.Translate(&insert);
  keys[VK_CONTROL] = 0x80;
  ::SetKeyboardState(keys);
  for (UINT key : {'A', 'N'}) {
    MSG inBox = {edit, WM_KEYDOWN, key, 1};
    m_page.Translate(&inBox);
  }
  keys[VK_CONTROL] = saved;
  ::SetKeyboardState(keys);
  PumpPending();
  EXPECT_EQ(1, m_page.m_nSelectAll);
  EXPECT_EQ(1, m_page.m_nAddKey);
}

TEST_F(ConvertPage, ProgressRecordsOfAnotherSizeOrRunGetDefaultHandling) {
  ToolCallbackData data = {};
  data.context = 987654321;
  data.event = 12;
  COPYDATASTRUCT cds = {TOOL_CALLBACK_ID, (DWORD)sizeof(data), &data};
  // No live encoder run has this context: default handling answers 0.
  EXPECT_EQ(0, ::SendMessageW(m_page.m_hWnd, WM_COPYDATA, 0, (LPARAM)&cds));
  cds.cbData = sizeof(data) - 1;
  EXPECT_EQ(0, ::SendMessageW(m_page.m_hWnd, WM_COPYDATA, 0, (LPARAM)&cds));
  EXPECT_EQ(1104u, sizeof(data));
}

TEST_F(ConvertPage, OverwritePromptFromAWorker) {
  CString folder = MakeTestFolder(L"overwrite prompt");
  CString path = folder + L"\\exists.mp4";
  TouchFile(path);
  int mode = OVERWRITE_ASK;
  CJobReport& report = m_page.GetJobReport();
  // A missing file never asks.
  EXPECT_TRUE(report.ConfirmOverwrite(folder + L"\\missing.mp4", mode, true));
  EXPECT_EQ(OVERWRITE_ASK, mode);

  // As a job asks: from its worker, 0 to write, 1 to cancel.
  auto ask = [&](bool offerAll) {
    std::atomic<int> answer{-5};
    std::thread worker([&] { answer = report.ConfirmOverwrite(path, mode, offerAll) ? 0 : 1; });
    EXPECT_TRUE(PumpUntil([&] { return answer != -5; }, 30000));
    worker.join();
    return answer.load();
  };
  {
    CString shown, label;
    LRESULT defId = 0;
    BOOL allVisible = TRUE;
    CDialogAnswerer answerer(L"Overwrite or Cancel?", [&](HWND dlg) {
      wchar_t buf[512] = {0};
      ::GetDlgItemTextW(dlg, IDC_EXISTS_PATH, buf, 512);
      shown = buf;
      allVisible = ::IsWindowVisible(::GetDlgItem(dlg, IDC_OVERWRITE_ALL));
      defId = ::SendMessageW(dlg, DM_GETDEFID, 0, 0);
      CaptureWindow(dlg, false).SavePng(L"overwrite-prompt.png");
      CDialogAnswerer::Press(dlg, IDCANCEL);
    });
    EXPECT_EQ(1, ask(false));
    EXPECT_EQ(OVERWRITE_ASK, mode);
    EXPECT_STREQ(path, shown);
    EXPECT_FALSE(allVisible);
    EXPECT_EQ(IDC_OVERWRITE, LOWORD(defId));
  }
  {
    CDialogAnswerer answerer(L"Overwrite or Cancel?", [&](HWND dlg) { CDialogAnswerer::Press(dlg, IDC_OVERWRITE); });
    EXPECT_EQ(0, ask(true));
    EXPECT_EQ(OVERWRITE_ONCE, mode);
    // Overwrite asks again next time.
    EXPECT_EQ(0, ask(true));
    EXPECT_EQ(2, answerer.Answered());
  }
  {
    CDialogAnswerer answerer(L"Overwrite or Cancel?", [&](HWND dlg) {
      CaptureWindow(dlg, false).SavePng(L"overwrite-prompt-all.png");
      CDialogAnswerer::Press(dlg, IDC_OVERWRITE_ALL);
    });
    EXPECT_EQ(0, ask(true));
    EXPECT_EQ(OVERWRITE_ALL, mode);
    // Overwrite All: never asked again in this job.
    EXPECT_EQ(0, ask(true));
    EXPECT_EQ(1, answerer.Answered());
  }
}
