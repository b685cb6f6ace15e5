// The video-to-DICOM page as a real window under Wine, with the real encoder,
// probe and image library; a second thread answers the dialogs as a user
// would. Counts come from the system's ffprobe (make-media.sh); the files of
// the whole-video run are judged afterwards by judge-output.sh.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "converter/app/ConverterGlobals.h"
#include "resources/converter/ConverterRes.h"
#include "converter/app/ConverterResources.h"
#include "converter/app/ConverterSettings.h"
#include "tests/converter/support/ConverterTestApp.h"
#include "tests/converter/support/DialogAnswerer.h"
#include "foundation/Folders.h"
#include "imaging/library/ImageLibrary.h"
#include "tests/converter/support/PageHost.h"
#include "tests/converter/support/ScriptedDialog.h"
#include "tests/support/ShellRecorder.h"
#include "tests/support/UiTestSupport.h"
#include "tests/converter/jobs/VideoTestFiles.h"
#include "converter/pages/VideoToDicomPage.h"
#include "converter/jobs/WorkFolders.h"

namespace {
const wchar_t kAppName[] = L"VideoToDicomPageTest";

CString Output(LPCTSTR name) { return FullPath(BuildTreePath(CString(L"testdata\\video2dicom\\page\\") + name)); }

// Names in a folder, files and folders.
std::vector<CString> Children(const CString& folder) {
  std::vector<CString> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(folder + L"\\*", &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (lstrcmpW(fd.cFileName, L".") && lstrcmpW(fd.cFileName, L"..")) names.push_back(fd.cFileName);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return names;
}
CString WorkBase() { return GetUserDataFolder() + L"\\Temp"; }

// The texts of a dialog's static controls, joined by newlines.
CString StaticTexts(HWND dlg) {
  CString all;
  for (HWND c = ::GetWindow(dlg, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[32] = {0}, text[1024] = {0};
    ::GetClassNameW(c, cls, 32);
    if (lstrcmpiW(cls, L"Static") != 0 || !::GetWindowTextW(c, text, 1024)) continue;
    if (!all.IsEmpty()) all += L"\n";
    all += text;
  }
  return all;
}

// Picks a file in the open dialog: the path into the name field, then OK.
CDialogAnswerer::Action PickFile(const CString& path) {
  return [path](HWND dlg) {
    HWND field = ::GetDlgItem(dlg, cmb13);
    if (HWND edit = field ? ::FindWindowExW(field, nullptr, L"Edit", nullptr) : nullptr) field = edit;
    if (!field) field = ::GetDlgItem(dlg, edt1);
    ::SendMessageW(field, WM_SETTEXT, 0, (LPARAM)(LPCTSTR)path);
    CDialogAnswerer::Press(dlg, IDOK);
  };
}

// Answers the destination chooser: selects the folder, waits until the
// dialog's status line shows it (the dialog can be found before its tree is
// filled) and presses OK; without a folder presses Cancel, which keeps the
// folder typed into the combo. Again while the dialog is still there.
CDialogAnswerer::Action AnswerBrowser(const CString& folder) {
  return [folder](HWND dlg) {
    // The counts only guard against a hang; each step waits for the dialog.
    for (int i = 0; i < 200 && ::IsWindow(dlg); ++i) {
      if (!folder.IsEmpty()) {
        ::SendMessageW(dlg, BFFM_SETSELECTIONW, TRUE, (LPARAM)(LPCTSTR)folder);
        if (StaticTexts(dlg).Find(folder) < 0) {
          ::Sleep(25);
          continue;
        }
      }
      ::PostMessageW(dlg, WM_COMMAND, folder.IsEmpty() ? IDCANCEL : IDOK, 0);
      for (int j = 0; j < 40 && ::IsWindow(dlg); ++j) ::Sleep(25);
    }
  };
}

class VideoToDicomPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, m_res.Init());
    m_res.m_strEncoderPath = BuildTreePath(L"bin\\Modules\\Smeltrix.exe");
    m_res.m_strProbePath = BuildTreePath(L"bin\\Modules\\Sondrel.exe");
    m_settings.Load();
    ASSERT_EQ(0, m_library.Load(BuildTreePath(L"bin\\Quillfen.dll")));
    SetConverterGlobals(&m_res, &m_settings, &m_library);
    ASSERT_TRUE(m_host.CreateHost(820, 600));
    ASSERT_TRUE(m_page.Create(IDD_VIDEO_PAGE, &m_host));
    m_host.Fit(m_page);
    PumpPending();
  }
  void TearDown() override {
    // No message box that the test did not look at.
    if (!m_bMessagesSeen) {
      EXPECT_TRUE(Messages().empty()) << (LPCTSTR)Messages()[0];
    }
    m_page.DestroyWindow();
    m_host.DestroyWindow();
    SetConverterGlobals(nullptr, nullptr, nullptr);
  }

  HWND Item(int id) { return ::GetDlgItem(m_page.m_hWnd, id); }
  CRect ChildRect(int id) {
    CRect r;
    ::GetWindowRect(Item(id), &r);
    m_page.ScreenToClient(&r);
    return r;
  }
  void SetText(int id, LPCTSTR text) { ::SendMessageW(Item(id), WM_SETTEXT, 0, (LPARAM)text); }
  void SetFolderText(LPCTSTR text) {
    ::SendMessageW((HWND)::SendMessageW(Item(IDC_OUTPUT_FOLDER), CBEM_GETEDITCONTROL, 0, 0), WM_SETTEXT, 0,
                   (LPARAM)text);
  }
  void SetRangeSwitch(BOOL on) {
    ::SendMessageW(Item(IDC_PART_ONLY), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(m_page.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_PART_ONLY, BN_CLICKED), (LPARAM)Item(IDC_PART_ONLY));
  }
  // Source and folder typed in, Convert pressed, the destination chooser
  // answered; returns once the job has ended (its worker joined).
  bool Convert(LPCTSTR source, const CString& folder, const CString& chosen = CString()) {
    if (source) SetText(IDC_FILE_NAME, source);
    SetFolderText(folder);
    CDialogAnswerer browser(L"Browse for Folder", AnswerBrowser(chosen));
    Click(m_page, IDC_CONVERT);
    return PumpUntil([&] { return !m_page.IsWorkerRunning(); }, 240000);
  }
  int Rows() { return m_page.m_list.GetItemCount(); }
  CString Cell(int row, int column) { return m_page.m_list.GetItemText(row, column); }
  int RowImage(int row) {
    LVITEMW lvi = {};
    lvi.mask = LVIF_IMAGE;
    lvi.iItem = row;
    m_page.m_list.GetItem(&lvi);
    return lvi.iImage;
  }
  // Rows as "<number> <file> <state>" lines.
  std::vector<CString> RowTexts() {
    std::vector<CString> rows;
    for (int i = 0; i < Rows(); ++i) rows.push_back(Cell(i, 0) + L" " + Cell(i, 1) + L" " + Cell(i, 2));
    return rows;
  }
  std::vector<CString> Messages() {
    std::lock_guard<std::mutex> l(m_boxLock);
    return m_boxes;
  }
  std::vector<CString> TakeMessages() {
    m_bMessagesSeen = true;
    return Messages();
  }

  // The program's message boxes, answered with OK as they come.
  std::mutex m_boxLock;
  std::vector<CString> m_boxes;
  bool m_bMessagesSeen = false;
  CDialogAnswerer m_boxAnswerer{kAppName, [this](HWND dlg) {
                                  {
                                    std::lock_guard<std::mutex> l(m_boxLock);
                                    m_boxes.push_back(StaticTexts(dlg));
                                  }
                                  CDialogAnswerer::Press(dlg, IDOK);
                                }};
  CConverterTestApp m_app{kAppName};
  CConverterResources m_res;
  CConverterSettings m_settings;
  CImageLibrary m_library;
  CPageHostWnd m_host;
  CShellRecorder m_shell;
  CVideoToDicomPage m_page;
};

// ---------------------------------------------------------------------------

TEST_F(VideoToDicomPage, EmptyPageLayoutAndColours) {
  // The range controls follow the switch.
  const int range[] = {IDC_START_LABEL, IDC_START_TIME, IDC_END_LABEL, IDC_END_TIME};
  for (int id : range) EXPECT_FALSE(::IsWindowEnabled(Item(id))) << id;
  SetRangeSwitch(TRUE);
  for (int id : range) EXPECT_TRUE(::IsWindowEnabled(Item(id))) << id;
  SetRangeSwitch(FALSE);
  EXPECT_EQ(3, m_page.m_list.GetHeaderCtrl()->GetItemCount());

  // Rows end at the right margin; the list spans the page down to the band.
  auto checkLayout = [&] {
    CRect client;
    m_page.GetClientRect(&client);
    const int bandTop = client.bottom - m_page.m_nBandHeight;
    const CRect edit = ChildRect(IDC_FILE_NAME), dots = ChildRect(IDC_CHOOSE_FILE), play = ChildRect(IDC_PLAY);
    EXPECT_EQ(client.right - edit.left, play.right);
    EXPECT_LT(edit.right, dots.left);
    EXPECT_LT(dots.right, play.left);
    EXPECT_EQ(play.right, ChildRect(IDC_OPEN_FOLDER).right);
    EXPECT_EQ(CRect(0, ChildRect(IDC_FRAME_LIST).top, client.right, bandTop), ChildRect(IDC_FRAME_LIST));
    const CRect close = ChildRect(IDCANCEL), convert = ChildRect(IDC_CONVERT);
    EXPECT_EQ(client.right - 10, close.right);
    EXPECT_EQ(close.left - 6, convert.right);
    EXPECT_EQ(convert, ChildRect(IDC_STOP));
    EXPECT_EQ(convert.left - 16, ChildRect(IDC_STATUS).right);
    EXPECT_NEAR(bandTop + m_page.m_nBandHeight / 2, close.CenterPoint().y, 1);
  };
  checkLayout();

  CWindowShot shot = ShotOf(m_page.m_hWnd, true);
  shot.SavePng(L"video-page-empty.png");
  CRect client;
  m_page.GetClientRect(&client);
  const int bandTop = client.bottom - m_page.m_nBandHeight;
  const CRect list = ChildRect(IDC_FRAME_LIST);
  EXPECT_EQ(RGB(0xF0, 0xF0, 0xF0), shot.At(client.right - 3, list.top - 6));
  EXPECT_EQ(RGB(0xE0, 0xE0, 0xE0), shot.At(client.right - 3, list.top - 1));
  EXPECT_EQ(RGB(0xD0, 0xD0, 0xD0), shot.At(3, bandTop));
  EXPECT_EQ(RGB(0xE0, 0xE0, 0xE0), shot.At(client.right - 3, client.bottom - 3));
  // The list's flat header is drawn from its light picture strip.
  const COLORREF head = shot.At(list.left + 200, list.top + 12);
  EXPECT_GT(GetRValue(head) + GetGValue(head) + GetBValue(head), 3 * 200) << std::hex << head;

  m_host.SetWindowPos(nullptr, 0, 0, 640, 480, SWP_NOZORDER | SWP_NOMOVE);
  m_host.Fit(m_page);
  PumpPending();
  checkLayout();
}

TEST_F(VideoToDicomPage, ChoosingTheSource) {
  SetText(IDC_START_TIME, L"00:00:01.500");
  {
    CDialogAnswerer files(L"Choose Source Video File", PickFile(Media(L"heart.mp4")));
    Click(m_page, IDC_CHOOSE_FILE);
  }
  EXPECT_EQ(0, ControlText(m_page, IDC_FILE_NAME).CompareNoCase(Media(L"heart.mp4")));
  EXPECT_STREQ(L"00:00:10.000", ControlText(m_page, IDC_END_TIME));
  EXPECT_STREQ(L"00:00:01.500", ControlText(m_page, IDC_START_TIME));
  EXPECT_TRUE(Messages().empty());

  // A file the probe cannot read: the message, and the path stays chosen.
  {
    CDialogAnswerer files(L"Choose Source Video File", PickFile(Media(L"broken.mp4")));
    Click(m_page, IDC_CHOOSE_FILE);
  }
  EXPECT_EQ(std::vector<CString>{L"This is not a valid video file."}, TakeMessages());
  EXPECT_EQ(0, ControlText(m_page, IDC_FILE_NAME).CompareNoCase(Media(L"broken.mp4")));
}

// A probe that does not end is stopped at the page's limit; the page paints
// and answers meanwhile, and says the file is no video it can read.
TEST_F(VideoToDicomPage, ChoosingASourceTheProbeDoesNotFinish) {
  wchar_t exe[MAX_PATH];
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  ::PathRemoveFileSpecW(exe);
  m_res.m_strProbePath = CString(exe) + L"\\fake_tool.exe";
  ::SetEnvironmentVariableW(L"FAKE_TOOL_SLEEP", L"20000");
  m_page.m_nProbeLimitMs = 2000;
  std::atomic<bool> chosen{false};
  std::atomic<DWORD> slowest{0};
  std::thread watcher([&] {
    while (!chosen) {
      const DWORD start = ::GetTickCount();
      DWORD_PTR result = 0;
      ::SendMessageTimeoutW(m_page.m_hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
      slowest = std::max(slowest.load(), ::GetTickCount() - start);
      ::Sleep(50);
    }
  });
  const DWORD start = ::GetTickCount();
  {
    CDialogAnswerer files(L"Choose Source Video File", PickFile(Media(L"heart.mp4")));
    ClickOn(Item(IDC_CHOOSE_FILE));
    PumpUntil([&] { return !Messages().empty(); }, 60000);
  }
  const DWORD took = ::GetTickCount() - start;
  chosen = true;
  watcher.join();
  ::SetEnvironmentVariableW(L"FAKE_TOOL_SLEEP", nullptr);
  EXPECT_EQ(std::vector<CString>{L"This is not a valid video file."}, TakeMessages());
  EXPECT_LT(took, 12000u);
  EXPECT_LT(slowest.load(), 1000u);
}

// The whole video, the folder picked in the chooser. An earlier file 100 in
// the folder holds the job at its prompt: the page is looked at there, in
// the middle of the conversion, and the user then says Overwrite.
TEST_F(VideoToDicomPage, WholeVideoThroughThePage) {
  const int expected = ExpectedCount(L"heart.mp4.count");
  ASSERT_EQ(250, expected);
  const CString out = FreshFolder(Output(L"whole"));
  WriteBytes(out + L"\\heart-0100.dcm", "an older file 100");
  const std::vector<CString> workBefore = Children(WorkBase());
  SetText(IDC_FILE_NAME, Media(L"heart.mp4"));
  SetFolderText(L"C:\\not this one");

  bool busy = false, controlsOff = true;
  CString rowAtPrompt;
  CDialogAnswerer prompt(L"Overwrite or Cancel?", [&](HWND dlg) {
    ::RedrawWindow(m_page.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    CaptureWindow(m_page.m_hWnd).SavePng(L"video-page-during.png");
    busy = ::IsWindowVisible(Item(IDC_STOP)) && !::IsWindowVisible(Item(IDC_CONVERT));
    for (int id : {IDC_FILE_NAME, IDC_CHOOSE_FILE, IDC_PLAY, IDC_PART_ONLY, IDC_OUTPUT_FOLDER, IDC_CHOOSE_FOLDER,
                   IDC_OPEN_FOLDER})
      controlsOff = controlsOff && !::IsWindowEnabled(Item(id));
    rowAtPrompt = Cell(98, 2) + L", " + Cell(99, 0) + L" " + Cell(99, 1) + L" " + Cell(99, 2);
    CDialogAnswerer::Press(dlg, IDC_OVERWRITE);
  });
  // The fields the job reads are off from Convert on, while the chooser
  // shows too, not from some later point.
  bool offAtChooser = true;
  const CDialogAnswerer::Action choose = AnswerBrowser(out);
  CDialogAnswerer browser(L"Browse for Folder", [&](HWND dlg) {
    for (int id : {IDC_FILE_NAME, IDC_CHOOSE_FILE, IDC_PART_ONLY, IDC_OUTPUT_FOLDER})
      offAtChooser = offAtChooser && !::IsWindowEnabled(Item(id));
    choose(dlg);
  });
  Click(m_page, IDC_CONVERT);
  ASSERT_TRUE(PumpUntil([&] { return !m_page.IsWorkerRunning(); }, 240000));
  EXPECT_EQ(1, prompt.Answered());
  EXPECT_TRUE(offAtChooser);
  EXPECT_TRUE(busy);
  EXPECT_TRUE(controlsOff);
  // The files before it are done when the user is asked.
  EXPECT_STREQ(L"OK, 100 heart-0100.dcm Converting", rowAtPrompt);

  EXPECT_STREQ(L"Completed.", m_page.GetStatusText());
  EXPECT_EQ(0u, (unsigned)m_page.GetStatusColor());
  std::vector<CString> want;
  for (int n = 1; n <= expected; ++n) {
    CString row;
    row.Format(L"%d heart-%04d.dcm OK", n, n);
    want.push_back(row);
    EXPECT_EQ(1, RowImage(n - 1));
  }
  EXPECT_EQ(want, RowTexts());
  EXPECT_EQ(expected, CountFiles(out));
  EXPECT_EQ("DICM", ReadBytes(out + L"\\heart-0100.dcm").substr(128, 4));
  EXPECT_EQ(expected, m_page.m_wndProgress.GetRange());
  EXPECT_EQ(expected, m_page.m_wndProgress.GetPos());
  // Idle again; the chosen folder kept, both paths in the recent lists, no work folder left.
  EXPECT_TRUE(::IsWindowVisible(Item(IDC_CONVERT)));
  EXPECT_TRUE(::IsWindowEnabled(Item(IDC_FILE_NAME)) && ::IsWindowEnabled(Item(IDC_OUTPUT_FOLDER)));
  EXPECT_EQ(0, m_page.m_comboFolder.GetText().CompareNoCase(out));
  EXPECT_EQ(0, m_settings.m_inputFiles.GetAt(0).CompareNoCase(Media(L"heart.mp4")));
  EXPECT_EQ(0, m_settings.m_outputFolders.GetAt(0).CompareNoCase(out));
  EXPECT_EQ(workBefore, Children(WorkBase()));
}

// While a job runs the list is held and drawn a few times a second: rows the
// worker lists reach the screen in frame order, scrolled to the newest, before
// the job ends; the job's end shows the list as usual again.
TEST_F(VideoToDicomPage, HeldListIsDrawnWhileAJobRuns) {
  CJobReport& report = m_page.GetJobReport();
  const int kRows = 60;
  HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([&] {
    report.Busy(true);
    for (int n = 1; n <= kRows; ++n) {
      report.ItemState(n - 1, ITEM_STATE_LOADING, MakeDicomPath(L"C:\\out", L"clip", n));
      report.ItemState(n - 1, ITEM_STATE_DONE);
    }
    ::WaitForSingleObject(release, 60000);
    report.Busy(false);
  });

  // Green pixels of the row's picture as the screen shows it now; with
  // uncover, after the whole page was painted anew as when a window that
  // covered it goes away (no message pumped in between).
  auto greenOnScreen = [&](int row, bool uncover = false) {
    CRect r;
    if (!m_page.m_list.GetItemRect(row, &r, LVIR_ICON)) return 0;
    CRect client;
    m_page.m_list.GetClientRect(&client);
    if (r.top < 0 || r.bottom > client.bottom) return 0;
    m_page.m_list.MapWindowPoints(&m_page, &r);
    if (uncover)
      ::RedrawWindow(m_page.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const CWindowShot shot = CaptureWindow(m_page.m_hWnd);
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        const COLORREF c = shot.At(x, y);
        n += GetGValue(c) > 120 && GetRValue(c) < 100 && GetBValue(c) < 120 ? 1 : 0;
      }
    return n;
  };
  const bool shown = PumpUntil([&] { return Rows() == kRows && greenOnScreen(kRows - 1) > 20; });
  // Uncovered while held, the list paints its rows as they are, not a blank.
  const int afterUncover = greenOnScreen(kRows - 1, true);
  const bool stillBusy = ::IsWindowVisible(Item(IDC_STOP)) != FALSE;
  CaptureWindow(m_page.m_hWnd).SavePng(L"video-page-held-list.png");
  ::SetEvent(release);
  EXPECT_TRUE(shown);
  EXPECT_GT(afterUncover, 20);
  EXPECT_TRUE(stillBusy);
  std::vector<CString> want;
  for (int n = 1; n <= kRows; ++n) {
    CString row;
    row.Format(L"%d clip-%04d.dcm OK", n, n);
    want.push_back(row);
  }
  EXPECT_EQ(want, RowTexts());

  // Idle again: the list draws each change at once.
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(Item(IDC_CONVERT)) != FALSE; }));
  worker.join();
  ::CloseHandle(release);
  m_page.m_list.EnsureVisible(0, FALSE);
  report.ItemState(0, ITEM_STATE_FAILED);
  CRect r;
  m_page.m_list.GetItemRect(0, &r, LVIR_ICON);
  m_page.m_list.MapWindowPoints(&m_page, &r);
  const CWindowShot idle = ShotOf(m_page.m_hWnd, true);
  int red = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF c = idle.At(x, y);
      red += GetRValue(c) > 150 && GetGValue(c) < 90 && GetBValue(c) < 90 ? 1 : 0;
    }
  EXPECT_GT(red, 20);
}

TEST_F(VideoToDicomPage, StretchOfATypedPath) {
  const int expected = ExpectedCount(L"heart.mp4.range.count");
  ASSERT_GT(expected, 0);
  // A three-second video chosen first ...
  {
    CDialogAnswerer files(L"Choose Source Video File", PickFile(Media(L"echo.avi")));
    Click(m_page, IDC_CHOOSE_FILE);
  }
  EXPECT_STREQ(L"00:00:03.000", ControlText(m_page, IDC_END_TIME));
  // ... then another path typed: its stretch must not be clamped with 3 s
  // (that would give the frames from 2 s to the end).
  SetRangeSwitch(TRUE);
  SetText(IDC_START_TIME, L"00:00:02.000");
  SetText(IDC_END_TIME, L"00:00:05.000");
  const CString out = FreshFolder(Output(L"range"));
  ASSERT_TRUE(Convert(Media(L"heart.mp4"), out));
  EXPECT_STREQ(L"Completed.", m_page.GetStatusText());
  EXPECT_EQ(expected, Rows());
  EXPECT_EQ(expected, CountFiles(out));
}

// Rows in every state: two written, one the library cannot write (a folder is
// in the way; the user said Overwrite), two more written, then an existing
// file whose prompt the user cancels, which leaves that file as it was.
TEST_F(VideoToDicomPage, RowsInEachStateAndACancelledPrompt) {
  const CString out = FreshFolder(Output(L"states"));
  CreateDirectoryW(out + L"\\ten-0003.dcm", nullptr);
  const CString kept = out + L"\\ten-0006.dcm";
  const std::string original = "an earlier ten-0006.dcm, kept byte for byte\r\n";
  WriteBytes(kept, original);

  std::vector<CString> prompted;
  CDialogAnswerer prompt(L"Overwrite or Cancel?", [&](HWND dlg) {
    wchar_t path[1024] = {0};
    ::GetDlgItemTextW(dlg, IDC_EXISTS_PATH, path, 1024);
    prompted.push_back(path);
    CDialogAnswerer::Press(dlg, prompted.size() == 1 ? IDC_OVERWRITE : IDCANCEL);
  });
  ASSERT_TRUE(Convert(Media(L"ten.mp4"), out));
  EXPECT_EQ((std::vector<CString>{out + L"\\ten-0003.dcm", kept}), prompted);
  EXPECT_EQ((std::vector<CString>{L"1 ten-0001.dcm OK", L"2 ten-0002.dcm OK", L"3 ten-0003.dcm Failed",
                                  L"4 ten-0004.dcm OK", L"5 ten-0005.dcm OK", L"6 ten-0006.dcm "}),
            RowTexts());
  EXPECT_EQ(2, RowImage(2));
  EXPECT_EQ(I_IMAGENONE, RowImage(5));
  EXPECT_STREQ(L"Canceled.", m_page.GetStatusText());
  EXPECT_EQ(original, ReadBytes(kept));

  // The finished page, the second row selected: the pictures and shades drawn.
  m_page.m_list.SetItemState(1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  CWindowShot shot = ShotOf(m_page.m_hWnd, true);
  shot.SavePng(L"video-page-finished.png");
  auto countInRow = [&](int row, bool (*pred)(COLORREF)) {
    CRect r;
    m_page.m_list.GetItemRect(row, &r, LVIR_BOUNDS);
    m_page.m_list.MapWindowPoints(&m_page, &r);
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.left + 40; ++x) n += pred(shot.At(x, y)) ? 1 : 0;
    return n;
  };
  auto green = [](COLORREF c) { return GetGValue(c) > 120 && GetRValue(c) < 100 && GetBValue(c) < 120; };
  auto red = [](COLORREF c) { return GetRValue(c) > 150 && GetGValue(c) < 90 && GetBValue(c) < 90; };
  auto blue = [](COLORREF c) { return c == RGB(0, 0xA0, 0xFF); };
  EXPECT_GT(countInRow(0, green), 50);
  EXPECT_EQ(0, countInRow(0, red));
  EXPECT_GT(countInRow(2, red), 50);
  EXPECT_EQ(0, countInRow(5, green) + countInRow(5, red));
  EXPECT_GT(countInRow(1, blue), 100);
}

TEST_F(VideoToDicomPage, PercentInNameAndFolder) {
  const CString out = FreshFolder(Output(L"100% done"));
  // The folder given with its closing separator, as a drive root comes.
  ASSERT_TRUE(Convert(Media(L"50%off.mp4"), out + L"\\"));
  EXPECT_STREQ(L"Completed.", m_page.GetStatusText());
  ASSERT_EQ(10, Rows());
  for (int row = 0; row < 10; ++row) {
    CString name;
    name.Format(L"50%%off-%04d.dcm", row + 1);
    EXPECT_STREQ(name, Cell(row, 1));
    EXPECT_TRUE(PathFileExistsW(out + L"\\" + name)) << row;
  }
  EXPECT_EQ(10, CountFiles(out));
}

TEST_F(VideoToDicomPage, SourcesThatCannotStartOrFail) {
  // No source, a missing source: a message each, nothing starts.
  SetText(IDC_FILE_NAME, L"");
  EXPECT_EQ(-1, m_page.StartConversion());
  SetText(IDC_FILE_NAME, Media(L"missing.mp4"));
  EXPECT_EQ(-1, m_page.StartConversion());
  EXPECT_FALSE(m_page.IsWorkerRunning());
  const std::vector<CString> messages = TakeMessages();
  ASSERT_EQ(2u, messages.size());
  EXPECT_NE(-1, messages[1].Find(L"missing.mp4"));

  // A file that is no video: the encoder fails, the status says so in red.
  ASSERT_TRUE(Convert(Media(L"broken.mp4"), FreshFolder(Output(L"broken"))));
  EXPECT_STREQ(L"Failed to extract video frames.", m_page.GetStatusText());
  EXPECT_EQ(0, Rows());
}

TEST_F(VideoToDicomPage, ListCommandsAndContextMenu) {
  const CString out = FreshFolder(Output(L"commands dir"));
  ASSERT_TRUE(Convert(Media(L"ten.mp4"), out));
  ASSERT_EQ(10, Rows());
  PumpPending();
  m_shell.Clear();
  auto doubleClick = [&](LPARAM at) {
    m_page.m_list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
    m_page.m_list.SendMessage(WM_LBUTTONUP, 0, at);
    m_page.m_list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    m_page.m_list.SendMessage(WM_LBUTTONUP, 0, at);
    PumpPending();
  };

  // A double-click on empty space below the rows does nothing.
  CRect last, third;
  m_page.m_list.GetItemRect(9, &last, LVIR_BOUNDS);
  doubleClick(MAKELPARAM(20, last.bottom + 8));
  EXPECT_EQ(0, m_page.m_list.GetSelectedCount());
  EXPECT_TRUE(m_shell.Calls().empty());
  // On a row it opens the row's file (with the shell: no viewer beside the program).
  m_page.m_list.GetItemRect(2, &third, LVIR_BOUNDS);
  doubleClick(MAKELPARAM(100, third.CenterPoint().y));
  const CString quoted = L"\"" + out + L"\\ten-0003.dcm\"";
  ASSERT_EQ(1u, m_shell.Calls().size());
  EXPECT_TRUE(!m_shell.Calls()[0].file.CompareNoCase(quoted) || !m_shell.Calls()[0].params.CompareNoCase(quoted));
  // "Open Destination Folder" selects it in the explorer.
  m_page.SendMessage(WM_COMMAND, ID_OPEN_DESTINATION_FOLDER, 0);
  ASSERT_EQ(2u, m_shell.Calls().size());
  EXPECT_STREQ(L"explorer.exe", m_shell.Calls()[1].file);
  EXPECT_EQ(0, m_shell.Calls()[1].params.CompareNoCase(L"/select," + quoted));
  // Open and Play, on existing and on missing paths.
  Click(m_page, IDC_OPEN_FOLDER);
  Click(m_page, IDC_PLAY);
  ASSERT_EQ(4u, m_shell.Calls().size());
  EXPECT_EQ(0, m_shell.Calls()[2].params.CompareNoCase(L"\"" + out + L"\""));
  EXPECT_STREQ(L"open", m_shell.Calls()[3].verb);
  SetFolderText(out + L"\\nothing here");
  SetText(IDC_FILE_NAME, out + L"\\nothing.mp4");
  Click(m_page, IDC_OPEN_FOLDER);
  Click(m_page, IDC_PLAY);
  EXPECT_EQ(4u, m_shell.Calls().size());
  EXPECT_EQ((std::vector<CString>{L"Folder doesn't exist.", L"File doesn't exist."}), TakeMessages());

  // The context menu from the keyboard: where it opens and whether its items are on.
  struct Seen {
    CRect rect;
    UINT open = 0, folder = 0;
    bool found = false;
  };
  auto openFromKeyboard = [&] {
    Seen seen;
    std::atomic<bool> stop{false};
    std::thread watcher([&] {
      for (; !stop; ::Sleep(10)) {
        HWND menu = ::FindWindowW(L"#32768", nullptr);
        DWORD pid = 0;
        if (menu) ::GetWindowThreadProcessId(menu, &pid);
        if (!menu || pid != ::GetCurrentProcessId() || !::IsWindowVisible(menu)) continue;
        ::GetWindowRect(menu, &seen.rect);
        HMENU h = (HMENU)::SendMessageW(menu, MN_GETHMENU, 0, 0);
        seen.open = ::GetMenuState(h, ID_OPEN_DICOM_FILE, MF_BYCOMMAND);
        seen.folder = ::GetMenuState(h, ID_OPEN_DESTINATION_FOLDER, MF_BYCOMMAND);
        seen.found = true;
        ::EndMenu();
        return;
      }
    });
    m_page.SendMessage(WM_CONTEXTMENU, (WPARAM)m_page.m_list.m_hWnd, MAKELPARAM(-1, -1));
    stop = true;
    watcher.join();
    return seen;
  };
  // No selection: 32 pixels below the list's top-left corner, both items greyed.
  m_page.m_list.SetItemState(-1, 0, LVIS_SELECTED);
  Seen none = openFromKeyboard();
  ASSERT_TRUE(none.found);
  CPoint corner(0, 32);
  m_page.m_list.ClientToScreen(&corner);
  EXPECT_EQ(corner, none.rect.TopLeft());
  EXPECT_TRUE((none.open & MF_GRAYED) && (none.folder & MF_GRAYED));
  // A selected row: at the row's left edge and bottom, both items enabled.
  m_page.m_list.SetItemState(4, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  Seen row = openFromKeyboard();
  ASSERT_TRUE(row.found);
  CRect bounds;
  m_page.m_list.GetItemRect(4, &bounds, LVIR_BOUNDS);
  CPoint at(bounds.left, bounds.bottom);
  m_page.m_list.ClientToScreen(&at);
  EXPECT_EQ(at, row.rect.TopLeft());
  EXPECT_FALSE((row.open & MF_GRAYED) || (row.folder & MF_GRAYED));
}
}  // namespace
