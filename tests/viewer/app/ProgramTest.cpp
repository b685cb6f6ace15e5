// Glimmerscope.exe itself under Wine with the real image library, driven from
// this process: command lines of a folder, of several paths with flags and of
// what cannot be opened; frame and file stepping; Close; the About box; exit
// saving the settings and the capped recent list; and the converter's
// "open in viewer" starting the program with its result.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include "tests/TestPaths.h"
#include "tests/viewer/app/ViewerAppTestSupport.h"
#include "tests/viewer/app/ViewerProgram.h"
#include "resources/viewer/ViewerRes.h"
#include "converter/jobs/WorkFolders.h"

using namespace viewer_program;

namespace {
CString Quoted(const CString& path) { return L"\"" + path + L"\""; }

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { FreshSettings(); }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kProgramKey); }
};
}  // namespace

TEST_F(ProgramTest, FolderOnTheCommandLineShowsItsFirstFrameAndStepsWithKeysAndWheel) {
  const CString folder = ViewerFixture(L"ctseries");
  CViewerProcess program;
  ASSERT_TRUE(program.Start(Quoted(folder)));
  ASSERT_TRUE(program.WaitPane(1, L"1 / 40")) << (LPCTSTR)program.Pane(1);
  EXPECT_STREQ(L"ctseries", program.Pane(2));
  ASSERT_NE(nullptr, program.Player());
  EXPECT_TRUE(::IsWindowVisible(program.Player()));
  EXPECT_FALSE(::IsWindowVisible(program.Button(2)));

  // The slice fills the middle of the view; the dark bars frame it.
  CRect frame;
  ::GetWindowRect(program.m_hFrame, &frame);
  CRect player;
  ::GetWindowRect(program.Player(), &player);
  ASSERT_TRUE(WaitFor([&] {
    const CWindowShot shot = CaptureScreenRect(player);
    size_t lit = 0;
    for (COLORREF c : shot.m_pixels) lit += !ColorNear(c, RGB(0, 0, 0), 8);
    return lit > shot.m_pixels.size() / 10;
  }));
  const CWindowShot shot = CaptureScreenRect(frame);
  shot.SavePng(L"glimmerscope-ct-slice.png");
  CRect bar;
  ::GetWindowRect(program.StatusBar(), &bar);
  EXPECT_TRUE(ColorNear(RGB(0x30, 0x30, 0x30), shot.At(bar.right - frame.left - 30, bar.top - frame.top + 2), 0));

  program.PostKey(VK_DOWN);
  EXPECT_TRUE(program.WaitPane(1, L"2 / 40")) << (LPCTSTR)program.Pane(1);
  program.PostWheel(1);
  EXPECT_TRUE(program.WaitPane(1, L"3 / 40")) << (LPCTSTR)program.Pane(1);
  program.PostWheel(-1);
  EXPECT_TRUE(program.WaitPane(1, L"2 / 40")) << (LPCTSTR)program.Pane(1);
  program.PostKey(VK_END);
  EXPECT_TRUE(program.WaitPane(1, L"40 / 40")) << (LPCTSTR)program.Pane(1);

  // Close brings the two buttons back.
  program.PostCommand(ID_FILE_CLOSE);
  EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(program.Button(2)) && ::IsWindowVisible(program.Button(3)); }));
  EXPECT_TRUE(program.WaitPane(1, L""));
  EXPECT_FALSE(::IsWindowVisible(program.Player()));

  // The About box.
  program.PostCommand(ID_APP_ABOUT);
  HWND about = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (about = program.WindowWithCaption(L"About Glimmerscope")) != nullptr; }));
  CRect aboutRect;
  ::GetWindowRect(about, &aboutRect);
  // Painted before the shot is taken (the box's thread handles the paint messages first).
  ::RedrawWindow(about, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  CaptureScreenRect(aboutRect).SavePng(L"glimmerscope-about.png");
  ::PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)::GetDlgItem(about, IDOK));
  EXPECT_TRUE(WaitFor([&] { return !::IsWindow(about); }));

  // Exit saves the settings.
  DWORD code = 1;
  ASSERT_TRUE(program.Exit(&code));
  EXPECT_EQ(0u, code);
  EXPECT_STREQ(folder, RegText(kSettingsKey, L"LastOpenFolder"));
  EXPECT_STREQ(folder, RegText(kRecentKey, L"01"));
  EXPECT_NE(0xFFFFFFFFu, RegNumber(kSettingsKey, L"Window.Width"));
}

TEST_F(ProgramTest, FilesStepThroughTheirFolderAndStopAtTheEnds) {
  const CString steps = ViewerFixture(L"steps");
  CViewerProcess program;
  ASSERT_TRUE(program.Start(Quoted(steps + L"\\a.dcm")));
  ASSERT_TRUE(program.WaitPane(2, L"a.dcm"));
  EXPECT_STREQ(L"1 / 1", program.Pane(1));
  program.PostKey(VK_RIGHT);
  EXPECT_TRUE(program.WaitPane(2, L"B.dcm"));
  program.PostKey(VK_RIGHT);
  EXPECT_TRUE(program.WaitPane(2, L"c.dcm"));
  program.PostKey(VK_RIGHT);
  CString text;
  ASSERT_TRUE(program.AnswerMessageBox(text));
  EXPECT_STREQ(L"This is the last one.", text);
  EXPECT_STREQ(L"c.dcm", program.Pane(2));
  program.PostKey(VK_LEFT);
  EXPECT_TRUE(program.WaitPane(2, L"B.dcm"));
  program.PostKey(VK_LEFT);
  EXPECT_TRUE(program.WaitPane(2, L"a.dcm"));
  program.PostKey(VK_LEFT);
  ASSERT_TRUE(program.AnswerMessageBox(text));
  EXPECT_STREQ(L"This is the first one.", text);
  ASSERT_TRUE(program.Exit());
}

TEST_F(ProgramTest, SeveralPathsOpenAsOneListAndFlagsAreIgnored) {
  const CString a = ViewerFixture(L"ct40\\slice01.dcm"), b = ViewerFixture(L"ct40\\slice02.dcm"),
                c = ViewerFixture(L"ct40\\slice03.dcm");
  CViewerProcess program;
  ASSERT_TRUE(program.Start(L"/p -dde " + Quoted(a) + L" /Unregister " + Quoted(b) + L" " + Quoted(c) + L" -x"));
  ASSERT_TRUE(program.WaitPane(1, L"1 / 3")) << (LPCTSTR)program.Pane(1);
  EXPECT_STREQ(L"slice03.dcm", program.Pane(2));
  EXPECT_FALSE(program.HasMessageBox());
  ASSERT_TRUE(program.Exit());
  EXPECT_STREQ(c, RegText(kSettingsKey, L"LastOpenFile"));
  EXPECT_STREQ(c, RegText(kRecentKey, L"01"));
  EXPECT_STREQ(L"", RegText(kRecentKey, L"02"));
}

TEST_F(ProgramTest, WithoutTheImageLibraryTheProgramSaysSoAndEnds) {
  // Its program folder (the "AppFolder" value) holds no Quillfen.dll.
  ::RegSetKeyValueW(HKEY_CURRENT_USER, kProgramKey, L"AppFolder", REG_SZ, L"C:\\windows",
                    (DWORD)(wcslen(L"C:\\windows") + 1) * sizeof(wchar_t));
  CViewerProcess program;
  ASSERT_TRUE(program.Launch(Quoted(ViewerFixture(L"ct40"))));
  CString first, second;
  ASSERT_TRUE(program.AnswerMessageBox(first));
  EXPECT_FALSE(first.IsEmpty());  // the system's text for the missing module
  ASSERT_TRUE(program.AnswerMessageBox(second));
  EXPECT_STREQ(L"Failed to create empty document.", second);
  EXPECT_TRUE(program.HasEnded(30000));
  EXPECT_FALSE(program.HasMessageBox());
}

TEST_F(ProgramTest, RelativePathsAreTakenFromTheFolderTheProgramStartsIn) {
  CViewerProcess program;
  ASSERT_TRUE(program.Start(L"slice05.dcm", ViewerFixture(L"ct40")));
  ASSERT_TRUE(program.WaitPane(2, L"slice05.dcm")) << (LPCTSTR)program.Pane(2);
  program.PostKey(VK_RIGHT);
  EXPECT_TRUE(program.WaitPane(2, L"slice06.dcm"));
  ASSERT_TRUE(program.Exit());
  EXPECT_STREQ(ViewerFixture(L"ct40\\slice06.dcm"), RegText(kRecentKey, L"01"));
  EXPECT_STREQ(ViewerFixture(L"ct40\\slice05.dcm"), RegText(kRecentKey, L"02"));
}

TEST_F(ProgramTest, WhatCannotBeOpenedIsReportedAndTheButtonsComeBack) {
  CViewerProcess program;
  ASSERT_TRUE(program.Start(Quoted(ViewerFixture(L"ct40\\no such slice.dcm"))));
  CString text;
  ASSERT_TRUE(program.AnswerMessageBox(text));
  EXPECT_STREQ(L"Failed to open this file/folder.", text);
  EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(program.Button(2)) && ::IsWindowVisible(program.Button(3)); }));
  EXPECT_STREQ(L"", program.Pane(1));
  EXPECT_FALSE(program.HasEnded());
  ASSERT_TRUE(program.Exit());
  EXPECT_STREQ(L"", RegText(kRecentKey, L"01"));
}

TEST_F(ProgramTest, ExitSavesTheRecentListInOrderAndCapped) {
  SetRegNumber(kSettingsKey, L"MaxRecentFiles", 3);
  const CString earlier = ViewerFixture(L"ct40\\slice09.dcm");
  {
    CViewerProcess program;
    ASSERT_TRUE(program.Start(Quoted(earlier)));
    ASSERT_TRUE(program.WaitPane(2, L"slice09.dcm"));
    ASSERT_TRUE(program.Exit());
  }
  EXPECT_STREQ(earlier, RegText(kRecentKey, L"01"));
  {
    CViewerProcess program;
    ASSERT_TRUE(program.Start(Quoted(ViewerFixture(L"ct40\\slice01.dcm"))));
    ASSERT_TRUE(program.WaitPane(2, L"slice01.dcm"));
    for (LPCTSTR next : {L"slice02.dcm", L"slice03.dcm", L"slice04.dcm"}) {
      program.PostKey(VK_RIGHT);
      ASSERT_TRUE(program.WaitPane(2, next));
    }
    ASSERT_TRUE(program.Exit());
  }
  EXPECT_STREQ(ViewerFixture(L"ct40\\slice04.dcm"), RegText(kRecentKey, L"01"));
  EXPECT_STREQ(ViewerFixture(L"ct40\\slice03.dcm"), RegText(kRecentKey, L"02"));
  EXPECT_STREQ(ViewerFixture(L"ct40\\slice02.dcm"), RegText(kRecentKey, L"03"));
  EXPECT_STREQ(L"", RegText(kRecentKey, L"04"));
  EXPECT_STREQ(ViewerFixture(L"ct40\\slice04.dcm"), RegText(kSettingsKey, L"LastOpenFile"));
}

namespace {
// The converter's side of "open in viewer" runs in this process; its program
// folder (its own key's "AppFolder") is the build's.
class CConverterSideApp : public CWinApp {
 public:
  CConverterSideApp() : CWinApp(L"ViewerLaunchTest") { SetRegistryKey(L"Morrowtide"); }
} theApp;
}  // namespace

TEST_F(ProgramTest, ConvertersOpenInViewerStartsTheViewerWithItsResult) {
  theApp.WriteProfileString(L"", L"AppFolder", BuildTreePath(L"bin"));
  const CString result = TempPath(L"converted result 1.dcm");
  ASSERT_TRUE(::CopyFileW(ViewerFixture(L"ct40\\slice07.dcm"), result, FALSE));
  EXPECT_STREQ(BuildTreePath(L"bin\\Glimmerscope.exe"), GetViewerPath());
  EXPECT_EQ(0, OpenInViewer(result));
  CViewerProcess viewer;
  ASSERT_TRUE(viewer.Find());
  EXPECT_TRUE(viewer.WaitPane(2, L"converted result 1.dcm")) << (LPCTSTR)viewer.Pane(2);
  EXPECT_STREQ(L"1 / 1", viewer.Pane(1));
  ASSERT_TRUE(viewer.Exit());
  EXPECT_STREQ(result, RegText(kSettingsKey, L"LastOpenFile"));
  theApp.WriteProfileString(L"", L"AppFolder", nullptr);
  ::DeleteFileW(result);
}
