// Converting on the series-to-video page: Convert with the Save dialog
// answered, progress while the encoder runs, Stop, the overwrite prompt, a
// failing encoder, and the command states while busy. The videos are judged
// by judge-videos.sh with the system's ffprobe.
#include <shlwapi.h>

#include <algorithm>

#include "foundation/FileSystem.h"
#include "tests/converter/pages/SeriesPageFixture.h"
#include "converter/pages/VideoOptionsDlg.h"

namespace {
// The numbered work folders of the program's data folder.
int WorkFolderCount() {
  int n = 0;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW(GetUserDataFolder() + L"\\Temp\\*", &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && fd.cFileName[0] != L'.') ++n;
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  return n;
}
}  // namespace

class SeriesPageConvert : public SeriesPage {
 protected:
  void SetUp() override {
    SeriesPage::SetUp();
    // This program alone lists what the judge checks, afresh each run.
    static bool fresh = false;
    if (!fresh) {
      ::DeleteFileW(PageOut(L"expect.txt"));
      fresh = true;
    }
  }
};

TEST_F(SeriesPageConvert, ConvertWritesTheVideoAndRemembersIt) {
  DropSlices();
  // Reorder as a user might: reverse, then put the old last (now first) at the end.
  m_page->SendMessage(WM_COMMAND, ID_REVERSE_FRAMES);
  Strip().MoveItem(0, Strip().GetItemCount());
  const CString out = PageOut(L"page slices.mp4");
  ::DeleteFileW(out);
  CString proposed;
  bool shot = false;
  {
    CDialogAnswerer save(L"Save Video File As", [&](HWND frame) {
      wchar_t name[MAX_PATH] = {0};
      ::GetDlgItemTextW(frame, cmb13, name, MAX_PATH);
      proposed = name;
      AnswerFileDialog(frame, out);
    });
    Click(IDC_CONVERT);
    // While the encoder works: busy, with the bar moving.
    ASSERT_TRUE(WaitEncoding());
    if (m_page->IsConverting()) {
      // Read before any other message is taken: the job cannot end meanwhile.
      shot = true;
      EXPECT_TRUE(Visible(IDC_STOP));
      EXPECT_FALSE(Visible(IDC_CONVERT));
      EXPECT_TRUE(::IsWindowVisible(m_page->m_wndProgress.m_hWnd));
      EXPECT_EQ(40, m_page->m_wndProgress.GetRange());
      const CString before = m_page->GetStatusText();
      std::vector<CString> texts = TakeStatusTexts();
      texts.insert(texts.begin(), before);
      EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), CString(L"Generating \"page slices.mp4\" ...")));
    }
    ASSERT_TRUE(WaitConverted());
  }
  EXPECT_TRUE(shot);
  // Several frames from the folder "slices": the folder names the video.
  EXPECT_STREQ(L"slices.mp4", proposed);
  EXPECT_STREQ(L"Completed.", m_page->GetStatusText());
  EXPECT_EQ(0u, m_page->GetStatusColor());
  EXPECT_TRUE(PathFileExistsW(out));
  EXPECT_TRUE(Enabled(IDC_PLAY));
  EXPECT_TRUE(Visible(IDC_CONVERT));
  EXPECT_FALSE(Visible(IDC_STOP));
  ASSERT_GE(m_settings.m_outputFiles.GetCount(), 1);
  EXPECT_STREQ(out, m_settings.m_outputFiles.GetAt(0));
  CString shown;
  m_page->m_cbFileName.GetWindowText(shown);
  EXPECT_STREQ(out, shown);
  EXPECT_EQ(0, WorkFolderCount());
  for (int i = 0; i < Strip().GetItemCount(); ++i) EXPECT_EQ(FRAMEITEM_STATE_WRITTEN, Strip().GetFrame(i)->m_state);
  ExpectVideo(L"page slices.mp4", 40, 64, 64, L"10/1", L"h264");
  // Play opens the video with the shell.
  Click(IDC_PLAY);
  ASSERT_EQ(1u, m_shell.Calls().size());
  EXPECT_STREQ(L"open", m_shell.Calls()[0].verb);
  EXPECT_STREQ(out, m_shell.Calls()[0].file);
}

TEST_F(SeriesPageConvert, OptionsAndFormatDecideTheVideo) {
  DropSlices();
  for (LPCTSTR name : {L"options.avi", L"options.3gp"}) ::DeleteFileW(PageOut(name));
  // AVI: the file name follows the format.
  const CString mp4 = PageOut(L"options.mp4");
  m_page->m_cbFileName.SetWindowText(mp4);
  m_page->m_cbFormat.SetCurSel(3);
  m_page->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_FORMAT, CBN_SELCHANGE), (LPARAM)Item(IDC_FORMAT));
  CString renamed;
  m_page->m_cbFileName.GetWindowText(renamed);
  EXPECT_STREQ(PageOut(L"options.avi"), renamed);
  // A bare name stays as it is.
  m_page->m_cbFileName.SetWindowText(L"bare.mp4");
  m_page->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_FORMAT, CBN_SELCHANGE), (LPARAM)Item(IDC_FORMAT));
  m_page->m_cbFileName.GetWindowText(renamed);
  EXPECT_STREQ(L"bare.mp4", renamed);

  // Options: the first image's size is offered; 96 x 80 at 25 fps chosen.
  CString width;
  int rateShown = -1;
  {
    CDialogAnswerer options(L"Video Options", [&](HWND dlg) {
      wchar_t buf[32] = {0};
      ::GetDlgItemTextW(dlg, IDC_VIDEO_WIDTH, buf, 32);
      width = buf;
      rateShown = (int)::SendDlgItemMessageW(dlg, IDC_FRAME_RATE, CB_GETCURSEL, 0, 0);
      ::SendDlgItemMessageW(dlg, IDC_SAME_SIZE, BM_SETCHECK, BST_UNCHECKED, 0);
      ::SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_SAME_SIZE, BN_CLICKED), (LPARAM)::GetDlgItem(dlg, IDC_SAME_SIZE));
      ::SetDlgItemTextW(dlg, IDC_VIDEO_WIDTH, L"96");
      ::SetDlgItemTextW(dlg, IDC_VIDEO_HEIGHT, L"80");
      ::SendDlgItemMessageW(dlg, IDC_FRAME_RATE, CB_SETCURSEL, 18, 0);
      CDialogAnswerer::Press(dlg, IDOK);
    });
    Click(IDC_OPTIONS);
  }
  EXPECT_STREQ(L"64", width);
  EXPECT_EQ(FRAME_RATE_DEFAULT_INDEX, rateShown);
  EXPECT_EQ(96, m_page->m_nChosenWidth);
  EXPECT_EQ(80, m_page->m_nChosenHeight);
  EXPECT_EQ(25, m_page->m_nRateNum);
  EXPECT_EQ(1, m_page->m_nRateDen);
  ConvertTo(PageOut(L"options.avi"));
  EXPECT_STREQ(L"Completed.", m_page->GetStatusText());
  ExpectVideo(L"options.avi", 40, 96, 80, L"25/1", L"huffyuv");
  // 3GPP keeps its own size whatever was chosen.
  m_page->m_cbFormat.SetCurSel(8);
  ConvertTo(PageOut(L"options.3gp"));
  EXPECT_STREQ(L"Completed.", m_page->GetStatusText());
  ExpectVideo(L"options.3gp", 40, 352, 288, L"25/1", L"h263");
  // The page's choices go to the settings when it closes.
  m_page->DestroyWindow();
  EXPECT_EQ(8, m_settings.m_nVideoFormat);
  EXPECT_EQ(25, m_settings.m_nFrameRateNum);
  EXPECT_EQ(1, m_settings.m_nFrameRateDen);
}

TEST_F(SeriesPageConvert, ExistingOutputAskedAndCancelKeepsIt) {
  DropSlices();
  const CString out = PageOut(L"existing.mp4");
  {
    FILE* f = _wfopen(out, L"wb");
    fputs("an older video", f);
    fclose(f);
  }
  CString path;
  {
    CDialogAnswerer prompt(L"Overwrite or Cancel?", [&](HWND dlg) {
      wchar_t buf[MAX_PATH] = {0};
      ::GetDlgItemTextW(dlg, IDC_EXISTS_PATH, buf, MAX_PATH);
      path = buf;
      CaptureWindow(dlg, false).SavePng(L"series-page-overwrite.png");
      CDialogAnswerer::Press(dlg, IDCANCEL);
    });
    ConvertTo(out);
    EXPECT_EQ(1, prompt.Answered());
  }
  EXPECT_STREQ(out, path);
  EXPECT_STREQ(L"Canceled.", m_page->GetStatusText());
  EXPECT_EQ(14, GetFileSize64(out));
  EXPECT_EQ(0, WorkFolderCount());
  // Overwrite replaces it.
  {
    CDialogAnswerer prompt(L"Overwrite or Cancel?", [&](HWND dlg) { CDialogAnswerer::Press(dlg, IDC_OVERWRITE); });
    ConvertTo(out);
  }
  EXPECT_STREQ(L"Completed.", m_page->GetStatusText());
  EXPECT_GT(GetFileSize64(out), 14);

  // A bare name in the box and the Save dialog cancelled: nothing written,
  // not in the current folder either.
  const CString current = MakeTestFolder(L"series page current");
  wchar_t saved[MAX_PATH] = {0};
  ::GetCurrentDirectoryW(MAX_PATH, saved);
  ::SetCurrentDirectoryW(current);
  m_page->m_cbFileName.SetWindowText(L"bare.mp4");
  {
    CDialogAnswerer save(L"Save Video File As", [](HWND frame) { CDialogAnswerer::Press(frame, IDCANCEL); });
    Click(IDC_CONVERT);
    EXPECT_TRUE(WaitConverted());
    EXPECT_EQ(1, save.Answered());
  }
  ::SetCurrentDirectoryW(saved);
  EXPECT_FALSE(PathFileExistsW(current + L"\\bare.mp4"));
  EXPECT_STREQ(L"Canceled.", m_page->GetStatusText());
  EXPECT_TRUE(Visible(IDC_CONVERT));
  EXPECT_TRUE(Enabled(IDC_FILE_NAME));
  EXPECT_EQ(0, WorkFolderCount());
}

TEST_F(SeriesPageConvert, FailingEncoderShowsFailed) {
  DropSlices();
  // An encoder that runs and ends with an error code.
  m_res.m_strEncoderPath = BuildTreePath(L"testbin\\failing_encoder.exe");
  const CString out = PageOut(L"failed.mp4");
  ::DeleteFileW(out);
  ConvertTo(out);
  EXPECT_STREQ(L"Failed.", m_page->GetStatusText());
  EXPECT_FALSE(Enabled(IDC_PLAY));
  EXPECT_FALSE(PathFileExistsW(out));
  EXPECT_EQ(0, WorkFolderCount());
  CWindowShot shot = ShotOf(m_host.m_hWnd, true);
  shot.SavePng(L"series-page-failed.png");
}

TEST_F(SeriesPageConvert, NothingChangesTheFramesWhileAJobReadsThem) {
  // Full-size slices, several times over: the encoder is busy for a while.
  for (int i = 0; i < 6; ++i) {
    Drop({SeriesData(L"ct")});
    ASSERT_TRUE(WaitLoaded());
  }
  Strip().SelectItem(3, TRUE, TRUE, TRUE);
  const CString out = PageOut(L"busy.mp4");
  ::DeleteFileW(out);
  CDialogAnswerer save(L"Save Video File As", [&](HWND frame) { AnswerFileDialog(frame, out); });
  Click(IDC_CONVERT);
  ASSERT_TRUE(WaitEncoding());
  // From here on nothing pumps until the checks are done, so the encoder,
  // which waits for its progress to be taken, is held where it is.
  m_host.SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
  CString tools;
  for (UINT id : {ID_ADD_FILES, ID_ADD_FOLDER, ID_REMOVE, ID_REMOVE_ALL}) tools += ToolEnabled(id) ? L"1" : L"0";
  EXPECT_STREQ(L"0000", tools);
  CString buttons;
  for (int id : {IDC_CONVERT, IDC_STOP, IDC_OPTIONS, IDC_CHOOSE_FILE, IDC_PLAY, IDC_FORMAT, IDC_FILE_NAME})
    buttons += !Visible(id) ? L"-" : (Enabled(id) ? L"V" : L"v");
  EXPECT_STREQ(L"-Vvvvvv", buttons);
  const int count = Strip().GetItemCount();
  // Every way of changing the frames is refused.
  m_page->SendMessage(WM_COMMAND, ID_REMOVE);
  m_page->SendMessage(WM_COMMAND, ID_REMOVE_ALL);
  m_page->SendMessage(WM_COMMAND, ID_REVERSE_FRAMES);
  m_page->SendMessage(WM_FRAMESTRIP_BUTTON, ID_FRAME_DELETE, 0);
  Strip().SendMessage(WM_KEYDOWN, VK_DELETE, 1);
  EXPECT_FALSE(Strip().MoveItem(0, 5));
  EXPECT_EQ(count, Strip().GetItemCount());
  EXPECT_STREQ(SeriesData(L"ct\\s000.dcm"), Strip().GetFrame(0)->m_sourcePath);
  const int loadsBefore = count;
  Drop({SeriesData(L"mixed\\a.bmp")});
  EXPECT_FALSE(m_page->IsLoading());
  EXPECT_EQ(loadsBefore, Strip().GetItemCount());
  EXPECT_EQ(-1, m_page->StartLoader());
  // The stop is asked for now; the encoder learns of it with its next
  // progress record, which waits until the menu below takes messages. The
  // menu's states are set as it opens, before that.
  m_page->RequestStop(STOP_REQUESTED);
  // The frame menu: only what leaves the frames as they are.
  std::map<UINT, bool> menu = MenuStates();
  CString line;
  for (UINT id : {ID_OPEN_SOURCE_FILE, ID_OPEN_SOURCE_FOLDER, ID_REMOVE, ID_REMOVE_ALL, ID_INVERT_SELECTION,
                  ID_SELECT_ALL, ID_INSERT_IMAGES, ID_REVERSE_FRAMES})
    line += menu.count(id) ? (menu[id] ? L"1" : L"0") : L"?";
  EXPECT_STREQ(L"11001100", line);
  ASSERT_TRUE(WaitConverted());
  EXPECT_STREQ(L"Canceled.", m_page->GetStatusText());
}

TEST_F(SeriesPageConvert, ConvertWaitsForTheLoader) {
  // Right after the drop the loader runs and waits for this thread to show
  // its bar; the command states are read without taking any message.
  Drop({SeriesData(L"slices")});
  ASSERT_TRUE(m_page->IsLoading());
  m_host.SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
  EXPECT_FALSE(Enabled(IDC_CONVERT));
  EXPECT_EQ(-1, m_page->StartConversion());
  EXPECT_FALSE(m_page->IsConverting());
  // The count and Convert come back together, not with the next idle turn:
  // a click right after the count shows must not find Convert disabled.
  ASSERT_TRUE(WaitLoaded());
  EXPECT_STREQ(L"40 frames", m_page->GetStatusText());
  EXPECT_TRUE(Enabled(IDC_CONVERT));
}

TEST_F(SeriesPageConvert, ProgressWhileEncoding) {
  Drop({SeriesData(L"ct")});
  ASSERT_TRUE(WaitLoaded());
  ASSERT_EQ(60, Strip().GetItemCount());
  const CString out = PageOut(L"ct progress.mp4");
  ::DeleteFileW(out);
  CDialogAnswerer save(L"Save Video File As", [&](HWND frame) { AnswerFileDialog(frame, out); });
  Click(IDC_CONVERT);
  ASSERT_TRUE(WaitEncoding());
  // The bar follows the frames the encoder reports, out of the frames prepared.
  ASSERT_TRUE(TakeSentUntil([&] { return m_page->m_wndProgress.GetPos() > 0 || !m_page->IsConverting(); }));
  TakeStatusTexts();
  // Taking the texts may have let the job run to its end; judged only if not.
  if (m_page->GetStatusText() == L"Generating \"ct progress.mp4\" ..." && m_page->m_wndProgress.GetPos() < 60) {
    CWindowShot shot = HeldShot();
    shot.SavePng(L"series-page-converting.png");
    EXPECT_EQ(60, m_page->m_wndProgress.GetRange());
    // Green from the left edge of the bar, as far as the position says.
    CRect bar;
    m_page->m_wndProgress.GetWindowRect(&bar);
    m_host.ScreenToClient(&bar);
    EXPECT_TRUE(ColorNear(RGB(0, 0xC0, 0), shot.At(bar.left + 1, bar.top), 8));
    EXPECT_TRUE(ColorNear(RGB(0xC0, 0xC0, 0xC0), shot.At(bar.right - 2, bar.top), 8));
  }
  ASSERT_TRUE(WaitConverted());
  EXPECT_STREQ(L"Completed.", m_page->GetStatusText());
  ExpectVideo(L"ct progress.mp4", 60, 512, 512, L"10/1", L"h264");
}
