// The view in the viewer's frame with the real image library, for what the
// program's own tests cannot reach from outside: every command's enable rule,
// also by accelerator; files without an extension; a list that fails; the
// snapshot through the save dialog against the screen; Open Files and Open
// Folder through their dialogs.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <cmath>

#include "tests/support/UiTestSupport.h"
#include "tests/viewer/app/ViewerAppTestSupport.h"
#include "tests/viewer/ViewerTestSupport.h"

namespace {
const UINT kViewCommands[] = {ID_FILE_OPENFILES,   ID_FILE_OPENFOLDER, ID_FILE_CLOSE,
                              ID_EDIT_SNAPSHOT,    ID_VIEW_RESETALL,   ID_VIEW_RESETWL,
                              ID_VIEW_RESETCAMERA, ID_FILE_PREVIOUS,   ID_FILE_NEXT};

class PlayViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteViewerKey();
    m_app = std::make_unique<CViewerTestApp>();
    m_frame = m_app->Start();
    ASSERT_NE(nullptr, m_frame);
    m_view = GetPlayView();
    ASSERT_NE(nullptr, m_view);
    m_app->m_settings.SetUpRecentList(30);
  }
  void TearDown() override {
    CancelPendingSteps();
    m_app.reset();
    DeleteViewerKey();
  }

  CString Pane(int i) { return m_frame->m_wndStatusBar.GetPaneText(i); }
  bool Enabled(UINT id) {
    CTestCmdUI ui;
    ui.m_nID = id;
    m_frame->OnCmdMsg(id, (int)CN_UPDATE_COMMAND_UI, &ui, nullptr);
    return ui.m_bEnableChanged && ui.m_bEnabled;
  }
  // Which of the view's commands are enabled, as a string of 0 and 1 in kViewCommands order.
  CString EnableRules() {
    CString out;
    for (UINT id : kViewCommands) out += Enabled(id) ? L"1" : L"0";
    return out;
  }
  void Open(LPCTSTR path) {
    m_view->OpenPath(path);
    PumpApp();
  }
  void Command(UINT id) {
    m_frame->SendMessage(WM_COMMAND, id, 0);
    PumpApp();
  }
  // A key as the program's loop sees it: pre-translated (accelerators) first.
  void Key(UINT vk, bool ctrl = false) {
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = ctrl ? 0x80 : 0;
    ::SetKeyboardState(keys);
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, vk, 1);
    PumpApp();
    keys[VK_CONTROL] = keys[VK_LCONTROL] = 0;
    ::SetKeyboardState(keys);
  }
  bool ButtonsShown() { return m_view->m_btnOpenFiles.IsWindowVisible() && m_view->m_btnOpenFolder.IsWindowVisible(); }
  bool PlayerShown() { return ::IsWindowVisible(m_view->m_wndPlayer.m_hWnd) != FALSE; }

  std::unique_ptr<CViewerTestApp> m_app;
  CRecordingFrame* m_frame = nullptr;
  CPlayView* m_view = nullptr;
};
}  // namespace

TEST_F(PlayViewTest, FileWithoutExtensionStepsThroughEveryFileOfItsFolder) {
  CMessageBoxRecorder boxes;
  const CString noext = ViewerFixture(L"noext");
  Open(noext + L"\\one");
  EXPECT_STREQ(L"1 / 1", Pane(1));
  Command(ID_FILE_NEXT);
  EXPECT_STREQ(noext + L"\\three", m_view->m_strCurrentPath);
  Command(ID_FILE_NEXT);
  EXPECT_STREQ(noext + L"\\two", m_view->m_strCurrentPath);
  Command(ID_FILE_NEXT);
  ASSERT_EQ(1u, boxes.Texts().size());
  EXPECT_STREQ(L"This is the last one.", boxes.Texts()[0]);
  EXPECT_STREQ(noext + L"\\two", m_view->m_strCurrentPath);
}

TEST_F(PlayViewTest, AListThatFailsKeepsTheSettingsAndTheRecentList) {
  CMessageBoxRecorder boxes;
  const CString good = ViewerFixture(L"ct40\\slice05.dcm");
  Open(good);
  ASSERT_STREQ(L"1 / 1", Pane(1));
  CStringArray list;
  list.Add(ViewerFixture(L"ct40\\missing1.dcm"));
  list.Add(ViewerFixture(L"steps\\d.txt"));
  m_view->OpenPaths(list);
  PumpApp();
  ASSERT_EQ(1u, boxes.Texts().size());
  EXPECT_STREQ(L"Failed to open these files.", boxes.Texts()[0]);
  EXPECT_TRUE(ButtonsShown());
  EXPECT_FALSE(PlayerShown());
  EXPECT_STREQ(L"", Pane(1));
  EXPECT_STREQ(L"", Pane(2));
  EXPECT_TRUE(m_view->m_strCurrentPath.IsEmpty());
  EXPECT_STREQ(good, m_app->m_settings.m_strLastOpenFile);
  EXPECT_EQ(1, m_app->m_settings.m_recentList.GetCount());
  // An empty folder fails the same way.
  Open(ViewerFixture(L"steps\\z.dcm"));
  ASSERT_EQ(2u, boxes.Texts().size());
  EXPECT_STREQ(L"Failed to open this file/folder.", boxes.Texts()[1]);
  EXPECT_STREQ(L"111000000", EnableRules());
}

TEST_F(PlayViewTest, EnableRulesWithNothingAFileAndAFolderAlsoByAccelerator) {
  CMessageBoxRecorder boxes;
  // Open Files, Open Folder, Close, Snapshot, the three resets, Previous, Next.
  EXPECT_STREQ(L"111000000", EnableRules());
  Open(ViewerFixture(L"ct40\\slice02.dcm"));
  EXPECT_STREQ(L"111111111", EnableRules());
  Open(ViewerFixture(L"ct40"));
  EXPECT_STREQ(L"111111100", EnableRules());
  // Left and Right are the file commands' keys: with a folder they do nothing.
  Key(VK_RIGHT);
  Key(VK_LEFT);
  EXPECT_STREQ(ViewerFixture(L"ct40"), m_view->m_strCurrentPath);
  EXPECT_STREQ(L"1 / 40", Pane(1));
  Command(ID_FILE_CLOSE);
  EXPECT_STREQ(L"111000000", EnableRules());

  // Disabled commands that arrive by accelerator or as menu commands do nothing.
  bool saveShown = false;
  RunWhenShown(L"Save Snapshot to File", [&](HWND dlg) {
    saveShown = true;
    ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  Key('S', true);
  Key(VK_LEFT);
  Key(VK_RIGHT);
  Command(ID_FILE_NEXT);
  Command(ID_EDIT_SNAPSHOT);
  EXPECT_FALSE(saveShown);
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_TRUE(ButtonsShown());
  // Enabled, the same accelerator shows the dialog.
  Open(ViewerFixture(L"ct40\\slice02.dcm"));
  Key('S', true);
  EXPECT_TRUE(saveShown);
}

TEST_F(PlayViewTest, SnapshotThroughTheSaveDialogIsTheDisplayedFrame) {
  CMessageBoxRecorder boxes;
  const CString folder = ViewerFixture(L"ct40");
  Open(folder);
  Key(VK_DOWN);
  Key(VK_DOWN);
  ASSERT_STREQ(L"3 / 40", Pane(1));
  const CString target = TempPath(L"viewer snapshot.png");
  ::DeleteFileW(target);
  CString proposed, caption;
  std::vector<CString> types;
  RunWhenShown(L"Save Snapshot to File", [&](HWND dlg) {
    HWND field = FileNameField(dlg);
    proposed = WindowText(field);
    types = FileTypeTexts(dlg);
    ::SendMessageW(field, WM_SETTEXT, 0, (LPARAM)(LPCTSTR)target);
    ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)::GetDlgItem(dlg, IDOK));
  });
  Key('S', true);
  ASSERT_TRUE(PumpAppUntil([&] { return ::GetFileAttributesW(target) != INVALID_FILE_ATTRIBUTES; }));
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_STREQ(L"ct40.png", proposed);
  // The filter has one type: its text ends where its two terminators say.
  ASSERT_EQ(1u, types.size());
  EXPECT_STREQ(L"PNG File (*.png)", types[0]);
  CString tempFolder = TempPath(L"");
  tempFolder.TrimRight(L'\\');
  EXPECT_EQ(0, m_app->m_settings.m_strLastSaveFolder.CompareNoCase(tempFolder));

  // The picture is dcm2pnm's rendering of the third slice with the file's window.
  int w = 0, h = 0, rw = 0, rh = 0;
  std::vector<BYTE> shot, ref;
  ASSERT_TRUE(ReadGreyPicture(target, w, h, shot));
  ASSERT_TRUE(ReadGreyPicture(ViewerFixture(L"refs\\slice03.pgm"), rw, rh, ref));
  ASSERT_EQ(rw, w);
  ASSERT_EQ(rh, h);
  int worst = 0;
  for (size_t i = 0; i < ref.size(); ++i) worst = std::max(worst, std::abs(shot[i] - ref[i]));
  EXPECT_LE(worst, 1);

  // And it is what the screen shows: each 16-pixel block of the slice, scaled
  // to fit the player's window, has the snapshot's value in its middle.
  const CWindowShot screen = CaptureWindow(m_view->m_wndPlayer.m_hWnd);
  const double scale = std::min((double)screen.m_nWidth / w, (double)screen.m_nHeight / h);
  const int dw = (int)std::lround(w * scale), dh = (int)std::lround(h * scale);
  const int dx = (screen.m_nWidth - dw) / 2, dy = (screen.m_nHeight - dh) / 2;
  int mismatches = 0;
  for (int by = 0; by < h / 16; ++by)
    for (int bx = 0; bx < w / 16; ++bx) {
      const int x = bx * 16 + 8, y = by * 16 + 8;
      const BYTE v = shot[(size_t)y * w + x];
      const COLORREF c = screen.At(dx + (int)(x * scale), dy + (int)(y * scale));
      mismatches += !ColorNear(c, RGB(v, v, v), 0);
    }
  EXPECT_EQ(0, mismatches);
  screen.SavePng(L"viewer-snapshot-screen.png");
  ::DeleteFileW(target);

  // A name the library cannot be given (beyond the ANSI code page) is not
  // written: the user is told, and the folder stays.
  const CString unusable = TempPath(L"\x5FEB\x7167.png");
  m_app->m_settings.m_strLastSaveFolder = L"C:\\";
  RunWhenShown(L"Save Snapshot to File", [&](HWND dlg) {
    ::SendMessageW(FileNameField(dlg), WM_SETTEXT, 0, (LPARAM)(LPCTSTR)unusable);
    ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)::GetDlgItem(dlg, IDOK));
  });
  Key('S', true);
  ASSERT_TRUE(PumpAppUntil([&] { return !boxes.Texts().empty(); }));
  EXPECT_STREQ(L"Failed to save the snapshot.", boxes.Texts()[0]);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(unusable));
  EXPECT_STREQ(L"C:\\", m_app->m_settings.m_strLastSaveFolder);

  // Cancelled, nothing is written and the folder stays.
  RunWhenShown(L"Save Snapshot to File", [&](HWND dlg) { ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0); });
  Key('S', true);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(target));
}

TEST_F(PlayViewTest, OpenFilesAndOpenFolderThroughTheirDialogs) {
  CMessageBoxRecorder boxes;
  const CString folder = ViewerFixture(L"ct40");
  // The dialogs start in the last file's folder, also when that file has
  // gone since, and in the last folder (the system's memory of the folders
  // this program used is cleared first).
  ::SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32");
  m_app->m_settings.m_strLastOpenFile = folder + L"\\deleted since.dcm";
  m_app->m_settings.m_strLastOpenFolder = folder;
  std::vector<CString> types;
  RunWhenShown(L"Open Files", [&](HWND dlg) {
    types = FileTypeTexts(dlg);
    ::SendMessageW(FileNameField(dlg), WM_SETTEXT, 0, (LPARAM)L"\"slice02.dcm\" \"slice01.dcm\" \"slice09.dcm\"");
    ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)::GetDlgItem(dlg, IDOK));
  });
  Command(ID_FILE_OPENFILES);
  ASSERT_TRUE(PumpAppUntil([&] { return !Pane(1).IsEmpty(); }));
  EXPECT_STREQ(L"1 / 3", Pane(1));
  ASSERT_EQ(4u, types.size());
  EXPECT_STREQ(L"All Files (*.*)", types[0]);
  EXPECT_STREQ(L"Common Images (*.jpg;*.jpeg;*.bmp;*.png;*.pnm;*.tif;*.tiff)", types[3]);
  // The selection's order: the last chosen is the current file.
  EXPECT_STREQ(folder + L"\\slice09.dcm", m_view->m_strCurrentPath);
  EXPECT_TRUE(boxes.Texts().empty());

  // One file chosen opens alone.
  RunWhenShown(L"Open Files", [&](HWND dlg) {
    ::SendMessageW(FileNameField(dlg), WM_SETTEXT, 0, (LPARAM)L"slice07.dcm");
    ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)::GetDlgItem(dlg, IDOK));
  });
  Command(ID_FILE_OPENFILES);
  ASSERT_TRUE(PumpAppUntil([&] { return Pane(2) == L"slice07.dcm"; }));
  EXPECT_STREQ(L"1 / 1", Pane(1));

  // Open Folder: the browser starts at the last folder; OK opens it.
  RunWhen([](HWND h) { return ::IsWindowVisible(h) && SelectedTreeText(h) == L"ct40"; },
          [](HWND dlg) { ::PostMessageW(dlg, WM_COMMAND, IDOK, 0); });
  Command(ID_FILE_OPENFOLDER);
  ASSERT_TRUE(PumpAppUntil([&] { return m_view->m_bFolder != 0; }));
  EXPECT_STREQ(L"1 / 40", Pane(1));
  EXPECT_STREQ(folder, m_view->m_strCurrentPath);
  EXPECT_TRUE(boxes.Texts().empty());
}
