// Whole jobs through the converter program's own window, driven from another
// process as a user would: a DICOM series into an MP4, that MP4 back into
// DICOM files, and a close while a conversion runs. The system's ffprobe and
// dciodvfy judge the files afterwards (judge-job.sh).
#include <gtest/gtest.h>

#include "ProgramDriver.h"

#include <dlgs.h>

using namespace program;

namespace {
const int kStatus = 1098;
const int kConvert = 1000;
const int kStop = 1003;
const UINT kAddFiles = 32843;
const int kSlices = 120;

CString Data(LPCTSTR relative) { return BuildTreePath(CString(L"testdata\\program\\") + relative); }

HWND PageOf(HWND main, int index) {
  const int marker = index == 0 ? 1008 : 1145;
  for (HWND child = ::GetWindow(main, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    if (ClassOf(child) == L"#32770" && ::GetDlgItem(child, marker)) return child;
  return nullptr;
}

CString StatusOf(HWND page) { return TextOf(::GetDlgItem(page, kStatus)); }

// Types into the file dialog's name field and presses OK, as a user would.
void AnswerFileDialog(HWND frame, LPCTSTR text) {
  HWND field = ::GetDlgItem(frame, cmb13);
  if (field) {
    if (HWND edit = ::FindWindowExW(field, nullptr, L"Edit", nullptr))
      field = edit;
    else if (HWND ex = (HWND)SendBounded(field, CBEM_GETEDITCONTROL, 0, 0))
      field = ex;
  } else {
    field = ::GetDlgItem(frame, edt1);
  }
  SetTextOf(field, L"");
  for (LPCTSTR p = text; *p; ++p) SendBounded(field, WM_CHAR, *p, 1);
  PostCommand(frame, IDOK);
}

class ProgramJob : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteKeyTree(kProgramKey);
    WriteDword(kSettingsKey, L"AutoCheckUpdate", 0);
    WriteString(kSettingsKey, L"LastFolder1", Data(L"series"));
  }
  void TearDown() override {
    if (m_program.IsRunning() && m_hMain && ::IsWindow(m_hMain)) {
      ::PostMessageW(m_hMain, WM_CLOSE, 0, 0);
      m_program.WaitExit(60000);
    }
    m_program.Kill();
    DeleteKeyTree(kProgramKey);
  }
  HWND Launch() {
    EXPECT_TRUE(m_program.Start());
    m_hMain = m_program.WaitMainWindow();
    if (m_hMain) WaitFor([&] { return IsShown(m_hMain) && ::GetForegroundWindow() == m_hMain; });
    return m_hMain;
  }

  // Add Files with every slice of the test series.
  void AddSeries(HWND page) {
    ::PostMessageW(page, WM_COMMAND, kAddFiles, 0);
    HWND dlg = m_program.WaitDialog(L"Add Files");
    ASSERT_NE(dlg, nullptr) << "no Add Files dialog";
    CString names;
    for (int i = 1; i <= kSlices; ++i) {
      CString one;
      one.Format(L"\"IM%04d.dcm\" ", i);
      names += one;
    }
    AnswerFileDialog(dlg, names);
    CString want;
    want.Format(L"%d frames", kSlices);
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

  CProgram m_program;
  HWND m_hMain = nullptr;
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
  EXPECT_FALSE(IsShown(::GetDlgItem(series, kStop)));
  EXPECT_TRUE(FileExists(video));
  ShotOf(m_hMain).SavePng(L"reelsmith-series-done.png");

  ::PostMessageW(m_hMain, WM_CLOSE, 0, 0);
  ASSERT_TRUE(m_program.WaitExit(60000));
  m_hMain = nullptr;
  EXPECT_EQ(ReadString(CString(kProgramKey) + L"\\Recent\\OutFiles", L"01").CompareNoCase(video), 0);
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
  // The status is read until the window is gone: the last text seen is the
  // job's end.
  WaitFor(
      [&] {
        CString now = StatusOf(series);
        if (!now.IsEmpty()) last = now;
        return !::IsWindow(series);
      },
      120000);
  ASSERT_TRUE(m_program.WaitExit(60000)) << "the program did not close after the stop";
  m_hMain = nullptr;
  EXPECT_EQ(last, L"Canceled.");
  // Nothing half-written: no video, no temporary file beside it.
  EXPECT_FALSE(FileExists(video));
  for (const CString& name : ListFolder(Data(L"out"))) EXPECT_LT(name.Find(L"stopped"), 0) << CStringA(name);
  EXPECT_FALSE(FileExists(UserDataFolder() + L"\\Temp"));
}
