// Whole jobs through the converter program's own window, driven from another
// process as a user would: a DICOM series into an MP4, that MP4 back into
// DICOM files, and a close while a conversion runs. The system's ffprobe and
// dciodvfy judge the files afterwards (judge-job.sh).
#include <gtest/gtest.h>

#include "tests/converter/program/ProgramDriver.h"

#include <dlgs.h>

#include <cstdio>

using namespace program;

namespace {
const int kStatus = 1098;
const int kConvert = 1000;
const int kStop = 1003;
const UINT kAddFiles = 32843;
const int kSlices = 120;
const int kSourceEdit = 1120;
const int kFolderCombo = 1121;
const int kOutputList = 1086;
const int kTabs = 1110;
const int kOverwrite = 1081;

CString Data(LPCTSTR relative) { return BuildTreePath(CString(L"testdata\\program\\") + relative); }

CString StatusOf(HWND page) { return TextOf(::GetDlgItem(page, kStatus)); }

// The last status text a page shows before its window goes. The text is read
// straight from the window (no message, so the page's thread need not answer)
// as often as possible, since the window closes right after the job ends.
CString LastStatusBeforeClosing(HWND page) {
  HWND status = ::GetDlgItem(page, kStatus);
  CString last;
  const DWORD start = ::GetTickCount();
  while (::IsWindow(status) && ::GetTickCount() - start < 120000) {
    wchar_t text[256] = {0};
    if (::InternalGetWindowText(status, text, 256) > 0) last = text;
    ::Sleep(0);
  }
  return last;
}

// Every static text of a dialog, one after the other.
CString StaticTexts(HWND dlg) {
  CString all;
  for (HWND child = ::GetWindow(dlg, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    if (ClassOf(child).CompareNoCase(L"Static") == 0) all += TextOf(child) + L"\n";
  return all;
}

// Puts the names into the file dialog's name field and presses OK, once the
// dialog lists at least the given count of files. The field is set whole and
// read back: keys typed one by one into a dialog that was still settling were
// found changed on a busy machine.
void AnswerFileDialog(HWND frame, LPCTSTR text, int files = 0) {
  HWND view = ::FindWindowExW(frame, nullptr, L"SHELLDLL_DefView", nullptr);
  HWND list = view ? ::FindWindowExW(view, nullptr, L"SysListView32", nullptr) : nullptr;
  EXPECT_TRUE(WaitFor([&] { return SendBounded(list, LVM_GETITEMCOUNT, 0, 0) >= files; }, 60000))
      << "the file dialog shows too few files";
  HWND field = ::GetDlgItem(frame, cmb13);
  if (field) {
    if (HWND edit = ::FindWindowExW(field, nullptr, L"Edit", nullptr))
      field = edit;
    else if (HWND ex = (HWND)SendBounded(field, CBEM_GETEDITCONTROL, 0, 0))
      field = ex;
  } else {
    field = ::GetDlgItem(frame, edt1);
  }
  CString shown;
  EXPECT_TRUE(WaitFor([&] {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(field, WM_SETTEXT, 0, (LPARAM)text, SMTO_NORMAL, 30000, &result);
    ::Sleep(100);
    return (shown = TextOf(field)) == text;
  }, 30000)) << "the file dialog holds: " << CStringA(shown.Left(200));
  PostCommand(frame, IDOK);
}

class ProgramJob : public CProgramTest {
 protected:
  void SetUp() override {
    CProgramTest::SetUp();
    WriteString(kSettingsKey, L"LastFolder1", Data(L"series"));
  }
  HWND Launch() {
    return StartAndWait([](HWND h) { return IsShown(h) && ::GetForegroundWindow() == h; });
  }

  // Add Files with every slice of the test series; total is the frame count after.
  void AddSeries(HWND page, int total = kSlices) {
    ::PostMessageW(page, WM_COMMAND, kAddFiles, 0);
    HWND dlg = m_program.WaitDialog(L"Add Files");
    ASSERT_NE(dlg, nullptr) << "no Add Files dialog";
    CString names;
    for (int i = 1; i <= kSlices; ++i) {
      CString one;
      one.Format(L"\"IM%04d.dcm\" ", i);
      names += one;
    }
    AnswerFileDialog(dlg, names, kSlices);
    CString want;
    want.Format(L"%d frames", total);
    ASSERT_TRUE(WaitFor([&] { return StatusOf(page) == want; }, 120000)) << "status: " << CStringA(StatusOf(page));
  }

  // Convert with the Save dialog answered by path; a picture of the window
  // is taken while the work runs.
  void ConvertSeriesTo(HWND page, LPCTSTR path, LPCTSTR shot) {
    PostCommand(page, kConvert);
    HWND save = m_program.WaitDialog(L"Save Video File As");
    ASSERT_NE(save, nullptr) << "no Save dialog";
    AnswerFileDialog(save, path);
    ASSERT_TRUE(WaitFor([&] { return IsShown(::GetDlgItem(page, kStop)); }, 60000)) << "the work never ran";
    if (shot) ShotOf(m_hMain).SavePng(shot);
  }

  // Source and folder typed in, Convert, and the folder chooser answered:
  // OK when it shows the folder, else Cancel (the typed folder stays).
  void ConvertVideo(HWND page, LPCTSTR source, LPCTSTR folder, LPCTSTR shot) {
    ASSERT_TRUE(SetTextOf(::GetDlgItem(page, kSourceEdit), source));
    HWND combo = ::GetDlgItem(page, kFolderCombo);
    HWND edit = (HWND)SendBounded(combo, CBEM_GETEDITCONTROL, 0, 0);
    ASSERT_TRUE(SetTextOf(edit ? edit : combo, folder));
    PostCommand(page, kConvert);
    HWND browser = m_program.WaitDialog(L"Browse for Folder");
    ASSERT_NE(browser, nullptr) << "no folder chooser";
    CString shown;
    WaitFor([&] { return (shown = StaticTexts(browser)).Find(L":\\") >= 0; }, 10000);
    PostCommand(browser, shown.Find(folder) >= 0 ? IDOK : IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return IsShown(::GetDlgItem(page, kStop)); }, 60000)) << "the work never ran";
    // Some files listed, while the work goes on.
    HWND list = ::GetDlgItem(page, kOutputList);
    WaitFor([&] { return SendBounded(list, LVM_GETITEMCOUNT, 0, 0) >= 20 || !IsShown(::GetDlgItem(page, kStop)); },
            120000);
    if (shot) ShotOf(m_hMain).SavePng(shot);
  }

  // Source and folder typed in, Convert clicked with the mouse, and the
  // folder chooser answered with Cancel, which keeps the typed folder.
  void ClickConvertVideo(HWND page, LPCTSTR source, LPCTSTR folder) {
    ASSERT_TRUE(SetTextOf(::GetDlgItem(page, kSourceEdit), source));
    HWND combo = ::GetDlgItem(page, kFolderCombo);
    HWND edit = (HWND)SendBounded(combo, CBEM_GETEDITCONTROL, 0, 0);
    ASSERT_TRUE(SetTextOf(edit ? edit : combo, folder));
    ClickOn(::GetDlgItem(page, kConvert));
    HWND browser = m_program.WaitDialog(L"Browse for Folder");
    ASSERT_NE(browser, nullptr) << "no folder chooser";
    PostCommand(browser, IDCANCEL);
  }
};
}  // namespace

TEST_F(ProgramJob, SeriesToVideoAndBackToDicomThroughTheWindow) {
  const CString video = Data(L"out\\walk.mp4");
  ::DeleteFileW(video);
  ASSERT_TRUE(Launch());
  HWND series = PageOf(m_hMain, 0);
  ASSERT_NE(series, nullptr);
  AddSeries(series);
  ConvertSeriesTo(series, video, L"reelsmith-series-working.png");
  ASSERT_TRUE(WaitFor([&] { return StatusOf(series) == L"Completed."; }, 180000))
      << "status: " << CStringA(StatusOf(series));
  // Idle once the frame files are gone as well.
  EXPECT_TRUE(WaitFor([&] { return !IsShown(::GetDlgItem(series, kStop)); }, 30000));
  ASSERT_TRUE(FileExists(video));
  ShotOf(m_hMain).SavePng(L"reelsmith-series-done.png");

  // The video just made, back into DICOM files on the other tab.
  SendBounded(::GetDlgItem(m_hMain, kTabs), TCM_SETCURFOCUS, 1, 0);
  HWND back = PageOf(m_hMain, 1);
  ASSERT_TRUE(WaitFor([&] { return IsShown(back) && !IsShown(series); }));
  const CString dicom = Data(L"out\\dicom");
  ::SHCreateDirectoryExW(nullptr, dicom, nullptr);
  for (const CString& name : ListFolder(dicom)) ::DeleteFileW(dicom + L"\\" + name);
  ConvertVideo(back, video, dicom, L"reelsmith-video-working.png");
  ASSERT_TRUE(WaitFor([&] { return StatusOf(back) == L"Completed."; }, 300000))
      << "status: " << CStringA(StatusOf(back));
  EXPECT_EQ(SendBounded(::GetDlgItem(back, kOutputList), LVM_GETITEMCOUNT, 0, 0), kSlices);
  EXPECT_EQ(ListFolder(dicom, L"walk-*.dcm").size(), (size_t)kSlices);
  ShotOf(m_hMain).SavePng(L"reelsmith-video-done.png");

  ::PostMessageW(m_hMain, WM_CLOSE, 0, 0);
  ASSERT_TRUE(m_program.WaitExit(60000));
  m_hMain = nullptr;
  const CString recent = CString(kProgramKey) + L"\\Recent\\";
  EXPECT_EQ(ReadString(recent + L"OutFiles", L"01").CompareNoCase(video), 0);
  EXPECT_EQ(ReadString(recent + L"InFiles", L"01").CompareNoCase(video), 0);
  EXPECT_EQ(ReadString(recent + L"OutFolders", L"01").CompareNoCase(dicom), 0);
  EXPECT_EQ(ReadDword(kSettingsKey, L"Page"), 1);
  EXPECT_FALSE(FileExists(UserDataFolder() + L"\\Temp"));
}

TEST_F(ProgramJob, ClosingWhileTheSeriesConvertsStopsItFirst) {
  const CString video = Data(L"out\\stopped.mp4");
  ::DeleteFileW(video);
  ASSERT_TRUE(Launch());
  HWND series = PageOf(m_hMain, 0);
  AddSeries(series);
  ConvertSeriesTo(series, video, nullptr);
  // Close as the title bar does, while the work runs.
  CString last;
  ::PostMessageW(m_hMain, WM_CLOSE, 0, 0);
  // The status is read until the window is gone: the last text seen is the job's end.
  last = LastStatusBeforeClosing(series);
  ASSERT_TRUE(m_program.WaitExit(60000)) << "the program did not close after the stop";
  m_hMain = nullptr;
  EXPECT_EQ(last, L"Canceled.") << "last status: " << CStringA(last);
  // Nothing half-written: no video, no temporary file beside it.
  EXPECT_FALSE(FileExists(video));
  for (const CString& name : ListFolder(Data(L"out"))) EXPECT_LT(name.Find(L"stopped"), 0) << CStringA(name);
  EXPECT_FALSE(FileExists(UserDataFolder() + L"\\Temp"));
}

TEST_F(ProgramJob, EscapeWhileAVideoConvertsStopsItBeforeClosing) {
  WriteDword(kSettingsKey, L"Page", 1);
  const CString folder = Data(L"out\\escaped");
  ::SHCreateDirectoryExW(nullptr, folder, nullptr);
  for (const CString& name : ListFolder(folder)) ::DeleteFileW(folder + L"\\" + name);
  // An earlier file 10 holds the job at the overwrite prompt, so Escape comes
  // while the job surely runs, however fast the machine converts.
  {
    HANDLE f = ::CreateFileW(folder + L"\\clip-0010.dcm", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(f, "an older file 10", 16, &written, nullptr);
    ::CloseHandle(f);
  }
  ASSERT_TRUE(Launch());
  HWND page = PageOf(m_hMain, 1);
  ASSERT_TRUE(IsShown(page));
  ASSERT_TRUE(SetTextOf(::GetDlgItem(page, kSourceEdit), Data(L"clip.mp4")));
  HWND combo = ::GetDlgItem(page, kFolderCombo);
  HWND edit = (HWND)SendBounded(combo, CBEM_GETEDITCONTROL, 0, 0);
  ASSERT_TRUE(SetTextOf(edit ? edit : combo, folder));
  PostCommand(page, kConvert);
  HWND browser = m_program.WaitDialog(L"Browse for Folder");
  ASSERT_NE(browser, nullptr) << "no folder chooser";
  PostCommand(browser, IDCANCEL);  // keeps the typed folder
  HWND prompt = m_program.WaitDialog(L"Overwrite or Cancel?");
  ASSERT_NE(prompt, nullptr) << "no overwrite prompt";
  // Escape on the main window, as a user closing it from the keyboard; then
  // Overwrite on the prompt (both posted to the same thread, in this order).
  CString last;
  ::PostMessageW(m_hMain, WM_KEYDOWN, VK_ESCAPE, 0);
  PostCommand(prompt, kOverwrite);
  last = LastStatusBeforeClosing(page);
  ASSERT_TRUE(m_program.WaitExit(60000)) << "the program did not close after the stop";
  m_hMain = nullptr;
  EXPECT_EQ(last, L"Canceled.") << "last status: " << CStringA(last);
  // Only whole files (the 320 x 240 RGB pixels after a header; the fresh
  // UIDs make the headers differ by a few bytes), numbered from 1 without a
  // gap, fewer than the clip's 250.
  // The stop is seen at the frame after the prompt's: files 1 to 10.
  std::vector<CString> names = ListFolder(folder);
  EXPECT_EQ(names.size(), 10u);
  LONGLONG size = -1;
  for (size_t i = 0; i < names.size(); ++i) {
    CString want;
    want.Format(L"clip-%04d.dcm", (int)i + 1);
    EXPECT_EQ(names[i], want);
    WIN32_FILE_ATTRIBUTE_DATA fa;
    ASSERT_TRUE(::GetFileAttributesExW(folder + L"\\" + names[i], GetFileExInfoStandard, &fa));
    LONGLONG bytes = ((LONGLONG)fa.nFileSizeHigh << 32) | fa.nFileSizeLow;
    if (size < 0) size = bytes;
    EXPECT_GT(bytes, 320 * 240 * 3 + 128) << CStringA(names[i]);
    EXPECT_NEAR((double)bytes, (double)size, 64.0) << CStringA(names[i]);
  }
  EXPECT_FALSE(FileExists(UserDataFolder() + L"\\Temp"));
}

namespace {
// Invalidates the whole page as another window going away would, and
// waits until the page and its children have painted it again.
bool RepaintsWithin(HWND page, DWORD ms) {
  ::RedrawWindow(page, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  auto painted = [](HWND hwnd) { return !::GetUpdateRect(hwnd, nullptr, FALSE); };
  return WaitFor(
      [&] {
        if (!painted(page)) return false;
        for (HWND child = ::GetWindow(page, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
          if (::IsWindowVisible(child) && !painted(child)) return false;
        return true;
      },
      ms);
}

// Waits until the status text starts with prefix; read straight from the
// window, so a page whose thread lags cannot slow the test down.
bool StatusStartsWith(HWND page, LPCTSTR prefix, DWORD ms) {
  HWND status = ::GetDlgItem(page, kStatus);
  return WaitFor(
      [&] {
        wchar_t text[256] = {0};
        ::InternalGetWindowText(status, text, 256);
        return wcsncmp(text, prefix, wcslen(prefix)) == 0;
      },
      ms);
}

// A real click on Stop; the milliseconds until the page says "Canceled.",
// or -1 when it never does.
long StopByClick(HWND page) {
  const DWORD start = ::GetTickCount();
  ClickOn(::GetDlgItem(page, kStop));
  if (!StatusStartsWith(page, L"Canceled.", 60000)) return -1;
  const long ms = (long)(::GetTickCount() - start);
  std::printf("Stop landed after %ld ms\n", ms);
  return ms;
}

// Stop must land while the user still looks at the stage it was pressed in.
const long kStopMs = 1000;
const DWORD kPaintMs = 1000;
}  // namespace

// Convert, then Stop with the mouse at each stage of each page: the page
// keeps painting while the job runs, the click lands at once, and the job
// leaves nothing behind.
TEST_F(ProgramJob, StopByMouseLandsAtEveryStage) {
  const CString video = Data(L"out\\clicked.mp4");
  ::DeleteFileW(video);
  ASSERT_TRUE(Launch());
  HWND series = PageOf(m_hMain, 0);
  ASSERT_NE(series, nullptr);
  // Three times the series, so that preparing the frames takes a while.
  for (int n = 1; n <= 3; ++n) AddSeries(series, n * kSlices);
  // Stop pressed as soon as it shows (the frames are being prepared then),
  // and once the encoder runs.
  for (LPCTSTR stage : {L"", L"Generating"}) {
    SCOPED_TRACE(*stage ? CStringA(stage) : CStringA("Preparing frames"));
    ClickOn(::GetDlgItem(series, kConvert));
    HWND save = m_program.WaitDialog(L"Save Video File As");
    ASSERT_NE(save, nullptr) << "no Save dialog";
    AnswerFileDialog(save, video);
    ASSERT_TRUE(WaitFor([&] { return IsShown(::GetDlgItem(series, kStop)); }, 60000)) << "the work never ran";
    ASSERT_TRUE(StatusStartsWith(series, stage, 120000)) << CStringA(StatusOf(series));
    EXPECT_TRUE(RepaintsWithin(series, kPaintMs));
    const long ms = StopByClick(series);
    EXPECT_GE(ms, 0) << "never canceled; status: " << CStringA(StatusOf(series));
    EXPECT_LT(ms, kStopMs);
    ASSERT_TRUE(WaitFor([&] { return IsShown(::GetDlgItem(series, kConvert)); }));
    EXPECT_FALSE(FileExists(video));
  }

  SendBounded(::GetDlgItem(m_hMain, kTabs), TCM_SETCURFOCUS, 1, 0);
  HWND page = PageOf(m_hMain, 1);
  ASSERT_TRUE(WaitFor([&] { return IsShown(page) && !IsShown(series); }));
  const CString folder = Data(L"out\\clicked");
  ::SHCreateDirectoryExW(nullptr, folder, nullptr);
  HWND list = ::GetDlgItem(page, kOutputList);
  for (LPCTSTR stage : {L"Extracting frames", L"Generating"}) {
    SCOPED_TRACE(CStringA(stage));
    for (const CString& name : ListFolder(folder)) ::DeleteFileW(folder + L"\\" + name);
    ASSERT_NO_FATAL_FAILURE(ClickConvertVideo(page, Data(L"long.mp4"), folder));
    ASSERT_TRUE(StatusStartsWith(page, stage, 120000)) << CStringA(StatusOf(page));
    EXPECT_TRUE(RepaintsWithin(page, kPaintMs));
    const long ms = StopByClick(page);
    EXPECT_GE(ms, 0) << "never canceled; status: " << CStringA(StatusOf(page));
    EXPECT_LT(ms, kStopMs);
    ASSERT_TRUE(WaitFor([&] { return IsShown(::GetDlgItem(page, kConvert)); }));
    // Only the files listed as written, numbered from 1, far fewer than the
    // video's 500; none at all when stopped while extracting.
    const int rows = (int)SendBounded(list, LVM_GETITEMCOUNT, 0, 0);
    const std::vector<CString> files = ListFolder(folder);
    if (CString(stage) == L"Extracting frames") {
      EXPECT_EQ(0u, files.size());
    }
    EXPECT_LT(files.size(), 400u);
    EXPECT_LE((int)files.size(), rows);
    for (size_t i = 0; i < files.size(); ++i) {
      CString want;
      want.Format(L"long-%04d.dcm", (int)i + 1);
      EXPECT_EQ(files[i], want);
    }
  }
}

// A video job ends while the user types in the other page's file-name box:
// the keys go on into that box, and the window keeps answering.
TEST_F(ProgramJob, TypingOnTheOtherPageGoesOnWhenAVideoJobEnds) {
  WriteDword(kSettingsKey, L"Page", 1);
  const CString folder = Data(L"out\\typed");
  ::SHCreateDirectoryExW(nullptr, folder, nullptr);
  for (const CString& name : ListFolder(folder)) ::DeleteFileW(folder + L"\\" + name);
  ASSERT_TRUE(Launch());
  HWND video = PageOf(m_hMain, 1), series = PageOf(m_hMain, 0);
  ASSERT_TRUE(IsShown(video));
  ASSERT_NO_FATAL_FAILURE(ClickConvertVideo(video, Data(L"clip.mp4"), folder));
  ASSERT_TRUE(WaitFor([&] { return IsShown(::GetDlgItem(video, kStop)); }, 60000)) << "the work never ran";

  // The other tab and its file-name box, with the mouse.
  RECT tabs;
  ::GetWindowRect(::GetDlgItem(m_hMain, kTabs), &tabs);
  MouseTo(tabs.left + 60, tabs.top + 15);
  MouseButton(true);
  MouseButton(false);
  ASSERT_TRUE(WaitFor([&] { return IsShown(series) && !IsShown(video); }));
  HWND box = ::FindWindowExW(::GetDlgItem(series, kSourceEdit), nullptr, L"Edit", nullptr);
  ASSERT_NE(box, nullptr);
  ClickOn(box);
  // Typed while the job runs and ends, and after.
  HWND status = ::GetDlgItem(video, kStatus);
  auto ended = [&] {
    wchar_t text[256] = {0};
    ::InternalGetWindowText(status, text, 256);
    return wcscmp(text, L"Completed.") == 0;
  };
  CString typed;
  for (const DWORD start = ::GetTickCount(); !ended() && ::GetTickCount() - start < 120000;) {
    TypeText(L"j");
    typed += L'j';
    ::Sleep(80);
  }
  ASSERT_TRUE(ended());
  TypeText(L"jjj");
  typed += L"jjj";
  EXPECT_STREQ(typed, TextOf(box));
  DWORD_PTR answer = 0;
  EXPECT_NE(0, ::SendMessageTimeoutW(m_hMain, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer))
      << "the window no longer answers";
  ShotOf(m_hMain).SavePng(L"reelsmith-typed-after-video-job.png");
}
