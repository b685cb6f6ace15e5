// The video-to-DICOM page as a real window under Wine, with the real encoder,
// probe and image library; a second thread answers the dialogs as a user
// would. Counts come from the system's ffprobe (make-media.sh); the files of
// the whole-video run are judged afterwards by judge-output.sh.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ConverterGlobals.h"
#include "ConverterRes.h"
#include "ConverterResources.h"
#include "ConverterSettings.h"
#include "ConverterTestApp.h"
#include "DialogAnswerer.h"
#include "Folders.h"
#include "Helpers.h"
#include "ImageLibrary.h"
#include "PageHost.h"
#include "ScriptedDialog.h"
#include "TestPaths.h"
#include "UiTestSupport.h"
#include "VideoToDicomPage.h"
#include "WorkFolders.h"

namespace {
const wchar_t kAppName[] = L"VideoToDicomPageTest";

// Full paths without ".." parts, as the system's dialogs give them back.
CString FullPath(const CString& path) {
  wchar_t full[MAX_PATH * 2] = {0};
  ::GetFullPathNameW(path, MAX_PATH * 2, full, nullptr);
  return full;
}
CString Media(LPCTSTR name) { return FullPath(BuildTreePath(CString(L"testdata\\video2dicom\\") + name)); }
CString Output(LPCTSTR name) { return FullPath(BuildTreePath(CString(L"testdata\\video2dicom\\page\\") + name)); }

int ExpectedCount(LPCTSTR name) {
  CStringA path(Media(name));
  FILE* f = fopen(path, "r");
  if (!f) return -1;
  int n = -1;
  if (fscanf(f, "%d", &n) != 1) n = -1;
  fclose(f);
  return n;
}

CString FreshFolder(const CString& path) {
  if (PathFileExistsW(path)) DeletePath(path, DELETE_SILENT, nullptr);
  CreateFolderTree(path);
  return path;
}

// Names in a folder (files and folders).
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

int CountFiles(const CString& folder) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(folder + L"\\*", &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return n;
}

std::string ReadBytes(const CString& path) {
  std::string bytes;
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n > 0) bytes.append(buf, n);
  CloseHandle(h);
  return bytes;
}

void WriteBytes(const CString& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  WriteFile(h, bytes.data(), (DWORD)bytes.size(), &n, nullptr);
  CloseHandle(h);
}

// The texts of a dialog's static controls, joined by newlines.
CString StaticTexts(HWND dlg) {
  CString all;
  for (HWND c = ::GetWindow(dlg, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[32] = {0};
    ::GetClassNameW(c, cls, 32);
    if (lstrcmpiW(cls, L"Static") != 0) continue;
    wchar_t text[1024] = {0};
    ::GetWindowTextW(c, text, 1024);
    if (!*text) continue;
    if (!all.IsEmpty()) all += L"\n";
    all += text;
  }
  return all;
}

// Shell calls the page makes, caught instead of carried out.
struct ShellCall {
  CString verb, file, params;
  int show;
};
std::mutex g_shellLock;
std::vector<ShellCall> g_shellCalls;
HINSTANCE RecordShellCall(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR params, LPCWSTR, int show) {
  std::lock_guard<std::mutex> l(g_shellLock);
  g_shellCalls.push_back({verb ? verb : L"", file ? file : L"", params ? params : L"", show});
  return (HINSTANCE)33;
}

class VideoToDicomPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, m_res.Init());
    m_res.m_strEncoderPath = BuildTreePath(L"bin\\Modules\\Smeltrix.exe");
    m_res.m_strProbePath = BuildTreePath(L"bin\\Modules\\Sondrel.exe");
    m_res.m_strPresetsFolder = BuildTreePath(L"bin\\Modules\\Presets");
    m_settings.Load();
    ASSERT_EQ(0, m_library.Load(BuildTreePath(L"bin\\Quillfen.dll")));
    SetConverterGlobals(&m_res, &m_settings, &m_library);
    SetShellExecuteHook(RecordShellCall);
    g_shellCalls.clear();
    ASSERT_TRUE(m_host.CreateHost(820, 600));
    ASSERT_TRUE(m_page.Create(IDD_VIDEO_PAGE, &m_host));
    m_host.Fit(m_page);
    PumpPending();
  }
  void TearDown() override {
    // No message box that the test did not look at.
    if (!m_bMessagesExpected) {
      EXPECT_TRUE(Messages().empty()) << (LPCTSTR)Messages()[0];
    }
    if (m_page.m_hWnd) m_page.DestroyWindow();
    m_host.DestroyWindow();
    SetShellExecuteHook(nullptr);
    SetConverterGlobals(nullptr, nullptr, nullptr);
  }

  HWND Item(int id) { return ::GetDlgItem(m_page.m_hWnd, id); }
  CString Text(int id) { return ControlText(m_page, id); }
  HWND FolderEdit() { return (HWND)::SendMessageW(Item(IDC_OUTPUT_FOLDER), CBEM_GETEDITCONTROL, 0, 0); }
  void SetFolderText(LPCTSTR text) { ::SendMessageW(FolderEdit(), WM_SETTEXT, 0, (LPARAM)text); }
  void TypeSource(LPCTSTR path) { ::SendMessageW(Item(IDC_FILE_NAME), WM_SETTEXT, 0, (LPARAM)path); }
  void SetRange(BOOL on, LPCTSTR start, LPCTSTR end) {
    ::SendMessageW(Item(IDC_PART_ONLY), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(m_page.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_PART_ONLY, BN_CLICKED), (LPARAM)Item(IDC_PART_ONLY));
    if (start) ::SendMessageW(Item(IDC_START_TIME), WM_SETTEXT, 0, (LPARAM)start);
    if (end) ::SendMessageW(Item(IDC_END_TIME), WM_SETTEXT, 0, (LPARAM)end);
  }
  void PressConvert() { Click(m_page, IDC_CONVERT); }
  // Waits for the job to end: the worker joined after its finish message.
  bool WaitForJob() { return PumpUntil([&] { return !m_page.IsWorkerRunning(); }, 240000); }

  int Rows() { return m_page.m_list.GetItemCount(); }
  CString Cell(int row, int column) { return m_page.m_list.GetItemText(row, column); }
  int RowImage(int row) {
    LVITEMW lvi = {};
    lvi.mask = LVIF_IMAGE;
    lvi.iItem = row;
    m_page.m_list.GetItem(&lvi);
    return lvi.iImage;
  }
  CRect ListRect() {
    CRect r;
    ::GetWindowRect(Item(IDC_FRAME_LIST), &r);
    m_page.ScreenToClient(&r);
    return r;
  }
  CRect ChildRect(int id) {
    CRect r;
    ::GetWindowRect(Item(id), &r);
    m_page.ScreenToClient(&r);
    return r;
  }

  // Answers the destination chooser: selects the folder, waits until the
  // dialog's status line shows it (the dialog may be found before its tree is
  // filled) and presses OK; without a folder presses Cancel (the folder typed
  // into the combo stays). Again while the dialog is still there.
  static CDialogAnswerer::Action AnswerBrowser(const CString& folder) {
    return [folder](HWND dlg) {
      // The loop counts only guard against a hang; each step waits for the dialog.
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
  static CDialogAnswerer::Action CancelBrowser() { return AnswerBrowser(CString()); }

  // The program's message boxes, answered with OK as they come; their texts.
  std::vector<CString> Messages() {
    std::lock_guard<std::mutex> l(m_boxLock);
    return m_boxes;
  }
  std::mutex m_boxLock;
  std::vector<CString> m_boxes;
  bool m_bMessagesExpected = false;
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
  CVideoToDicomPage m_page;
};

// ---------------------------------------------------------------------------

TEST_F(VideoToDicomPage, EmptyPageLayoutAndColours) {
  EXPECT_STREQ(L"Source video file:", Text(IDC_FILE_LABEL));
  EXPECT_STREQ(L"Convert only a part of the video:", Text(IDC_PART_ONLY));
  EXPECT_STREQ(L"Start time:", Text(IDC_START_LABEL));
  EXPECT_STREQ(L"End time:", Text(IDC_END_LABEL));
  EXPECT_STREQ(L"Save DICOM images to folder:", Text(IDC_FOLDER_LABEL));
  EXPECT_STREQ(L"...", Text(IDC_CHOOSE_FILE));
  EXPECT_STREQ(L"Play", Text(IDC_PLAY));
  EXPECT_STREQ(L"Open", Text(IDC_OPEN_FOLDER));
  // Three columns: untitled, "DICOM", "Status".
  CHeaderCtrl* header = m_page.m_list.GetHeaderCtrl();
  ASSERT_EQ(3, header->GetItemCount());
  EXPECT_EQ(64, m_page.m_list.GetColumnWidth(0));
  EXPECT_EQ(320, m_page.m_list.GetColumnWidth(1));
  EXPECT_EQ(128, m_page.m_list.GetColumnWidth(2));
  wchar_t title[32] = {0};
  HDITEMW hdi = {};
  hdi.mask = HDI_TEXT;
  hdi.pszText = title;
  hdi.cchTextMax = 32;
  header->GetItem(1, &hdi);
  EXPECT_STREQ(L"DICOM", title);
  header->GetItem(2, &hdi);
  EXPECT_STREQ(L"Status", title);
  EXPECT_TRUE(m_page.m_list.GetExtendedStyle() & LVS_EX_FULLROWSELECT);
  // The recent output folders (the Pictures folder on a first start).
  EXPECT_GE(::SendMessageW(Item(IDC_OUTPUT_FOLDER), CB_GETCOUNT, 0, 0), 1);

  // Range controls follow the switch.
  for (int id : {IDC_START_LABEL, IDC_START_TIME, IDC_END_LABEL, IDC_END_TIME})
    EXPECT_FALSE(::IsWindowEnabled(Item(id))) << id;
  SetRange(TRUE, nullptr, nullptr);
  for (int id : {IDC_START_LABEL, IDC_START_TIME, IDC_END_LABEL, IDC_END_TIME})
    EXPECT_TRUE(::IsWindowEnabled(Item(id))) << id;
  SetRange(FALSE, nullptr, nullptr);
  EXPECT_FALSE(::IsWindowEnabled(Item(IDC_START_TIME)));

  // Layout: rows end at the right margin, the list spans the page down to the band.
  CRect client;
  m_page.GetClientRect(&client);
  const int bandTop = client.bottom - m_page.m_nBandHeight;
  const CRect edit = ChildRect(IDC_FILE_NAME), dots = ChildRect(IDC_CHOOSE_FILE), play = ChildRect(IDC_PLAY);
  EXPECT_EQ(client.right - edit.left, play.right);
  EXPECT_LT(dots.right, play.left);
  EXPECT_LT(edit.right, dots.left);
  EXPECT_EQ(ChildRect(IDC_OPEN_FOLDER).right, play.right);
  const CRect list = ListRect();
  EXPECT_EQ(0, list.left);
  EXPECT_EQ(client.right, list.right);
  EXPECT_EQ(bandTop, list.bottom);
  const CRect close = ChildRect(IDCANCEL), convert = ChildRect(IDC_CONVERT);
  EXPECT_EQ(client.right - 10, close.right);
  EXPECT_EQ(close.left - 6, convert.right);
  EXPECT_EQ(ChildRect(IDC_STOP), convert);
  EXPECT_EQ(convert.left - 16, ChildRect(IDC_STATUS).right);
  EXPECT_NEAR(bandTop + m_page.m_nBandHeight / 2, (close.top + close.bottom) / 2, 1);

  CWindowShot shot = ShotOf(m_page.m_hWnd, true);
  shot.SavePng(L"video-page-empty.png");
  EXPECT_EQ(RGB(0xF0, 0xF0, 0xF0), shot.At(client.right - 3, list.top - 6));
  EXPECT_EQ(RGB(0xE0, 0xE0, 0xE0), shot.At(client.right - 3, list.top - 1));
  EXPECT_EQ(RGB(0xD0, 0xD0, 0xD0), shot.At(3, bandTop));
  EXPECT_EQ(RGB(0xE0, 0xE0, 0xE0), shot.At(3, bandTop + 5));
  EXPECT_EQ(RGB(0xE0, 0xE0, 0xE0), shot.At(client.right - 3, client.bottom - 3));
  // The list's flat header is drawn from its light picture strip.
  const COLORREF head = shot.At(list.left + 200, list.top + 12);
  EXPECT_GT(GetRValue(head) + GetGValue(head) + GetBValue(head), 3 * 200) << std::hex << head;

  // The layout follows the page's size.
  m_host.SetWindowPos(nullptr, 0, 0, 640, 480, SWP_NOZORDER | SWP_NOMOVE);
  m_host.Fit(m_page);
  PumpPending();
  m_page.GetClientRect(&client);
  EXPECT_EQ(client.right, ListRect().right);
  EXPECT_EQ(client.bottom - m_page.m_nBandHeight, ListRect().bottom);
  EXPECT_EQ(client.right - ChildRect(IDC_FILE_NAME).left, ChildRect(IDC_PLAY).right);
  EXPECT_EQ(client.right - 10, ChildRect(IDCANCEL).right);
}

TEST_F(VideoToDicomPage, ChoosingTheSource) {
  ::SendMessageW(Item(IDC_START_TIME), WM_SETTEXT, 0, (LPARAM)L"00:00:01.500");
  // The user picks heart.mp4 in the open dialog.
  const CString heart = Media(L"heart.mp4");
  CString title;
  {
    CDialogAnswerer answerer(L"Choose Source Video File", [&](HWND dlg) {
      HWND field = ::GetDlgItem(dlg, cmb13);
      if (HWND edit = field ? ::FindWindowExW(field, nullptr, L"Edit", nullptr) : nullptr) field = edit;
      if (!field) field = ::GetDlgItem(dlg, edt1);
      ::SendMessageW(field, WM_SETTEXT, 0, (LPARAM)(LPCTSTR)heart);
      CDialogAnswerer::Press(dlg, IDOK);
    });
    Click(m_page, IDC_CHOOSE_FILE);
    EXPECT_EQ(1, answerer.Answered());
  }
  EXPECT_EQ(0, Text(IDC_FILE_NAME).CompareNoCase(heart)) << (LPCTSTR)Text(IDC_FILE_NAME);
  EXPECT_STREQ(L"00:00:10.000", Text(IDC_END_TIME));
  EXPECT_STREQ(L"00:00:01.500", Text(IDC_START_TIME));

  // A file the probe cannot read: the message, and the path stays chosen.
  EXPECT_TRUE(Messages().empty());
  const CString broken = Media(L"broken.mp4");
  {
    CDialogAnswerer files(L"Choose Source Video File", [&](HWND dlg) {
      HWND field = ::GetDlgItem(dlg, cmb13);
      if (HWND edit = field ? ::FindWindowExW(field, nullptr, L"Edit", nullptr) : nullptr) field = edit;
      if (!field) field = ::GetDlgItem(dlg, edt1);
      ::SendMessageW(field, WM_SETTEXT, 0, (LPARAM)(LPCTSTR)broken);
      CDialogAnswerer::Press(dlg, IDOK);
    });
    Click(m_page, IDC_CHOOSE_FILE);
  }
  m_bMessagesExpected = true;
  ASSERT_EQ(1u, Messages().size());
  EXPECT_STREQ(L"This is not a valid video file.", Messages()[0]);
  EXPECT_EQ(0, Text(IDC_FILE_NAME).CompareNoCase(broken));
  EXPECT_STREQ(L"00:00:10.000", Text(IDC_END_TIME));
}

TEST_F(VideoToDicomPage, WholeVideoThroughThePage) {
  const int expected = ExpectedCount(L"heart.mp4.count");
  ASSERT_EQ(250, expected);
  const CString out = FreshFolder(Output(L"whole"));
  const CString source = Media(L"heart.mp4");
  TypeSource(source);
  SetFolderText(L"C:\\not used");

  // The destination chooser opens on Convert; the user picks the folder.
  std::atomic<int> browsed{0};
  CDialogAnswerer browser(L"Browse for Folder", [&](HWND dlg) {
    AnswerBrowser(out)(dlg);
    ++browsed;
  });
  const std::vector<CString> workBefore = Children(GetUserDataFolder() + L"\\Temp");
  PressConvert();
  ASSERT_TRUE(m_page.IsWorkerRunning());

  // While it runs: busy, the source, range and folder controls disabled.
  ASSERT_TRUE(PumpUntil([&] { return Rows() >= 40 || !m_page.IsWorkerRunning(); }, 120000));
  if (m_page.IsWorkerRunning()) {
    CWindowShot during = ShotOf(m_page.m_hWnd, true);
    during.SavePng(L"video-page-during.png");
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_STOP)));
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_CONVERT)));
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_PROGRESS)));
    for (int id : {IDC_FILE_NAME, IDC_CHOOSE_FILE, IDC_PLAY, IDC_PART_ONLY, IDC_OUTPUT_FOLDER, IDC_CHOOSE_FOLDER,
                   IDC_OPEN_FOLDER})
      EXPECT_FALSE(::IsWindowEnabled(Item(id))) << id;
    // The green progress line across the band's top.
    CRect client;
    m_page.GetClientRect(&client);
    const COLORREF bar = during.At(2, client.bottom - m_page.m_nBandHeight);
    EXPECT_TRUE(bar == RGB(0, 0xC0, 0) || bar == RGB(0xC0, 0xC0, 0xC0)) << std::hex << bar;
  }
  ASSERT_TRUE(WaitForJob());
  EXPECT_EQ(1, browsed.load());

  EXPECT_STREQ(L"Completed.", m_page.GetStatusText());
  EXPECT_EQ(0u, (unsigned)m_page.GetStatusColor());
  ASSERT_EQ(expected, Rows());
  for (int row = 0; row < expected; ++row) {
    CString number, name;
    number.Format(L"%d", row + 1);
    name.Format(L"heart-%04d.dcm", row + 1);
    EXPECT_STREQ(number, Cell(row, 0));
    EXPECT_STREQ(name, Cell(row, 1));
    EXPECT_STREQ(L"OK", Cell(row, 2));
    EXPECT_EQ(1, RowImage(row));
    EXPECT_TRUE(PathFileExistsW(out + L"\\" + name)) << row;
  }
  EXPECT_EQ(expected, CountFiles(out));
  EXPECT_EQ(expected, m_page.m_wndProgress.GetRange());
  EXPECT_EQ(expected, m_page.m_wndProgress.GetPos());
  // Idle again.
  EXPECT_TRUE(::IsWindowVisible(Item(IDC_CONVERT)));
  EXPECT_FALSE(::IsWindowVisible(Item(IDC_STOP)));
  for (int id : {IDC_FILE_NAME, IDC_CHOOSE_FILE, IDC_PLAY, IDC_PART_ONLY, IDC_OUTPUT_FOLDER, IDC_CHOOSE_FOLDER})
    EXPECT_TRUE(::IsWindowEnabled(Item(id))) << id;
  EXPECT_FALSE(::IsWindowEnabled(Item(IDC_START_TIME)));
  // The chosen folder in the field, both paths in the recent lists.
  EXPECT_EQ(0, m_page.m_comboFolder.GetText().CompareNoCase(out));
  ASSERT_GE(m_settings.m_inputFiles.GetCount(), 1);
  EXPECT_EQ(0, m_settings.m_inputFiles.GetAt(0).CompareNoCase(source));
  EXPECT_EQ(0, m_settings.m_outputFolders.GetAt(0).CompareNoCase(out));
  // The job's work folder is gone again.
  EXPECT_EQ(workBefore, Children(GetUserDataFolder() + L"\\Temp"));
}

TEST_F(VideoToDicomPage, StretchAndATypedPath) {
  const int expected = ExpectedCount(L"heart.mp4.range.count");
  ASSERT_GT(expected, 0);
  // Probe a three-second video through the chooser first ...
  const CString echo = Media(L"echo.avi");
  {
    CDialogAnswerer answerer(L"Choose Source Video File", [&](HWND dlg) {
      HWND field = ::GetDlgItem(dlg, cmb13);
      if (HWND edit = field ? ::FindWindowExW(field, nullptr, L"Edit", nullptr) : nullptr) field = edit;
      if (!field) field = ::GetDlgItem(dlg, edt1);
      ::SendMessageW(field, WM_SETTEXT, 0, (LPARAM)(LPCTSTR)echo);
      CDialogAnswerer::Press(dlg, IDOK);
    });
    Click(m_page, IDC_CHOOSE_FILE);
  }
  EXPECT_STREQ(L"00:00:03.000", Text(IDC_END_TIME));
  // ... then type another path: its stretch must not be clamped with 3 s.
  TypeSource(Media(L"heart.mp4"));
  SetRange(TRUE, L"00:00:02.000", L"00:00:05.000");
  const CString out = FreshFolder(Output(L"range"));
  SetFolderText(out);
  CDialogAnswerer browser(L"Browse for Folder", CancelBrowser());
  PressConvert();
  ASSERT_TRUE(WaitForJob());
  EXPECT_STREQ(L"Completed.", m_page.GetStatusText());
  EXPECT_EQ(expected, Rows());
  EXPECT_EQ(expected, CountFiles(out));
  EXPECT_STREQ(L"heart-0001.dcm", Cell(0, 1));
}

TEST_F(VideoToDicomPage, StopDuringExtraction) {
  const CString out = FreshFolder(Output(L"stopped"));
  TypeSource(Media(L"heart.mp4"));
  SetFolderText(out);
  CDialogAnswerer browser(L"Browse for Folder", CancelBrowser());
  const std::vector<CString> workBefore = Children(GetUserDataFolder() + L"\\Temp");
  PressConvert();
  ASSERT_TRUE(PumpUntil([&] {
    return m_page.GetStatusText() == L"Extracting frames from source video..." || !m_page.IsWorkerRunning();
  }));
  Click(m_page, IDC_STOP);
  ASSERT_TRUE(WaitForJob());
  EXPECT_STREQ(L"Canceled.", m_page.GetStatusText());
  EXPECT_EQ(0u, (unsigned)m_page.GetStatusColor());
  EXPECT_EQ(0, Rows());
  // Nothing half-written: no file at all in the folder, no work folder left.
  EXPECT_EQ(0, CountFiles(out));
  EXPECT_EQ(workBefore, Children(GetUserDataFolder() + L"\\Temp"));
}

// Rows in every state: two written, one the library cannot write (a folder is
// in the way), two more written, then an existing file whose prompt the user
// cancels, which leaves that file as it was.
TEST_F(VideoToDicomPage, RowsInEachStateAndACancelledPrompt) {
  const CString out = FreshFolder(Output(L"states"));
  CreateDirectoryW(out + L"\\ten-0003.dcm", nullptr);
  const CString kept = out + L"\\ten-0006.dcm";
  const std::string original = "an earlier ten-0006.dcm, kept byte for byte\r\n";
  WriteBytes(kept, original);
  TypeSource(Media(L"ten.mp4"));
  SetFolderText(out);

  std::vector<CString> prompted;
  bool shotWhilePrompting = false;
  CDialogAnswerer browser(L"Browse for Folder", CancelBrowser());
  CDialogAnswerer prompt(L"Overwrite or Cancel?", [&](HWND dlg) {
    wchar_t path[1024] = {0};
    ::GetDlgItemTextW(dlg, IDC_EXISTS_PATH, path, 1024);
    prompted.push_back(path);
    if (prompted.size() == 1) {
      CDialogAnswerer::Press(dlg, IDC_OVERWRITE);
    } else {
      // The row waits in "Converting" while the user decides.
      shotWhilePrompting = true;
      CDialogAnswerer::Press(dlg, IDCANCEL);
    }
  });
  PressConvert();
  ASSERT_TRUE(WaitForJob());
  ASSERT_EQ(2u, prompted.size());
  EXPECT_EQ(0, prompted[0].CompareNoCase(out + L"\\ten-0003.dcm"));
  EXPECT_EQ(0, prompted[1].CompareNoCase(kept));
  EXPECT_TRUE(shotWhilePrompting);

  ASSERT_EQ(6, Rows());
  const wchar_t* states[] = {L"OK", L"OK", L"Failed", L"OK", L"OK", L""};
  const int images[] = {1, 1, 2, 1, 1, -1};
  for (int row = 0; row < 6; ++row) {
    EXPECT_STREQ(states[row], Cell(row, 2)) << row;
    EXPECT_EQ(images[row], RowImage(row)) << row;
  }
  EXPECT_STREQ(L"Canceled.", m_page.GetStatusText());
  EXPECT_EQ(original, ReadBytes(kept));

  // The finished page, with the second row selected.
  m_page.m_list.SetItemState(1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  CWindowShot shot = ShotOf(m_page.m_hWnd, true);
  shot.SavePng(L"video-page-finished.png");
  auto countIn = [&](int row, auto pred) {
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
  auto selectedBlue = [](COLORREF c) { return c == RGB(0, 0xA0, 0xFF); };
  EXPECT_GT(countIn(0, green), 50);
  EXPECT_EQ(0, countIn(0, red));
  EXPECT_GT(countIn(2, red), 50);
  EXPECT_EQ(0, countIn(5, green) + countIn(5, red));
  EXPECT_GT(countIn(1, selectedBlue), 100);
  // Unselected rows alternate their shade: the first 0xF8F8F8.
  CRect first;
  m_page.m_list.GetItemRect(0, &first, LVIR_BOUNDS);
  m_page.m_list.MapWindowPoints(&m_page, &first);
  EXPECT_EQ(RGB(0xF8, 0xF8, 0xF8), shot.At(first.right - 4, first.top + 2));
}

TEST_F(VideoToDicomPage, PercentInNameAndFolder) {
  const CString out = FreshFolder(Output(L"100% done"));
  TypeSource(Media(L"50%off.mp4"));
  SetFolderText(out + L"\\");
  CDialogAnswerer browser(L"Browse for Folder", CancelBrowser());
  PressConvert();
  ASSERT_TRUE(WaitForJob());
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
  // No source, a missing source: a message, nothing starts.
  TypeSource(L"");
  EXPECT_EQ(-1, m_page.StartConversion());
  TypeSource(Media(L"missing.mp4"));
  EXPECT_EQ(-1, m_page.StartConversion());
  EXPECT_FALSE(m_page.IsWorkerRunning());
  m_bMessagesExpected = true;
  const std::vector<CString> messages = Messages();
  ASSERT_EQ(2u, messages.size());
  EXPECT_FALSE(messages[0].IsEmpty());
  EXPECT_NE(-1, messages[1].Find(L"missing.mp4"));

  // A file that is no video: the encoder fails, the status says so in red.
  const CString out = FreshFolder(Output(L"broken"));
  TypeSource(Media(L"broken.mp4"));
  SetFolderText(out);
  CDialogAnswerer browser(L"Browse for Folder", CancelBrowser());
  PressConvert();
  ASSERT_TRUE(WaitForJob());
  EXPECT_STREQ(L"Failed to extract video frames.", m_page.GetStatusText());
  EXPECT_EQ(255u, (unsigned)m_page.GetStatusColor());
  EXPECT_EQ(0, Rows());
}

TEST_F(VideoToDicomPage, ListCommandsAndShellCalls) {
  const CString out = FreshFolder(Output(L"commands dir"));
  TypeSource(Media(L"ten.mp4"));
  SetFolderText(out);
  {
    CDialogAnswerer browser(L"Browse for Folder", CancelBrowser());
    PressConvert();
    ASSERT_TRUE(WaitForJob());
  }
  ASSERT_EQ(10, Rows());
  PumpPending();
  g_shellCalls.clear();

  // A double-click on empty space below the rows does nothing.
  CRect last;
  m_page.m_list.GetItemRect(9, &last, LVIR_BOUNDS);
  CRect listClient;
  m_page.m_list.GetClientRect(&listClient);
  ASSERT_LT(last.bottom + 10, listClient.bottom);
  const LPARAM empty = MAKELPARAM(20, last.bottom + 8);
  m_page.m_list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, empty);
  m_page.m_list.SendMessage(WM_LBUTTONUP, 0, empty);
  m_page.m_list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, empty);
  m_page.m_list.SendMessage(WM_LBUTTONUP, 0, empty);
  PumpPending();
  EXPECT_EQ(0, m_page.m_list.GetSelectedCount());
  EXPECT_TRUE(g_shellCalls.empty());

  // A double-click on a row opens its file (in the viewer, or with the shell
  // when the viewer is not beside the program).
  CRect third;
  m_page.m_list.GetItemRect(2, &third, LVIR_BOUNDS);
  const LPARAM onRow = MAKELPARAM(100, (third.top + third.bottom) / 2);
  m_page.m_list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, onRow);
  m_page.m_list.SendMessage(WM_LBUTTONUP, 0, onRow);
  m_page.m_list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, onRow);
  m_page.m_list.SendMessage(WM_LBUTTONUP, 0, onRow);
  PumpPending();
  ASSERT_EQ(1u, g_shellCalls.size());
  const CString quoted = L"\"" + out + L"\\ten-0003.dcm\"";
  const ShellCall& open = g_shellCalls[0];
  EXPECT_TRUE(open.params.CompareNoCase(quoted) == 0 || open.file.CompareNoCase(quoted) == 0)
      << (LPCTSTR)open.file << " " << (LPCTSTR)open.params;

  // "Open Destination Folder" selects the file in the explorer.
  g_shellCalls.clear();
  m_page.SendMessage(WM_COMMAND, ID_OPEN_DESTINATION_FOLDER, 0);
  ASSERT_EQ(1u, g_shellCalls.size());
  EXPECT_STREQ(L"explorer.exe", g_shellCalls[0].file);
  EXPECT_EQ(0, g_shellCalls[0].params.CompareNoCase(L"/select," + quoted));

  // "Open" on the folder field, "Play" on the source.
  g_shellCalls.clear();
  Click(m_page, IDC_OPEN_FOLDER);
  Click(m_page, IDC_PLAY);
  ASSERT_EQ(2u, g_shellCalls.size());
  EXPECT_STREQ(L"explorer.exe", g_shellCalls[0].file);
  EXPECT_EQ(0, g_shellCalls[0].params.CompareNoCase(L"\"" + out + L"\""));
  EXPECT_STREQ(L"open", g_shellCalls[1].verb);
  EXPECT_EQ(0, g_shellCalls[1].file.CompareNoCase(Media(L"ten.mp4")));

  // The same two on missing paths only tell the user.
  g_shellCalls.clear();
  SetFolderText(out + L"\\nothing here");
  TypeSource(out + L"\\nothing.mp4");
  Click(m_page, IDC_OPEN_FOLDER);
  Click(m_page, IDC_PLAY);
  EXPECT_TRUE(g_shellCalls.empty());
  m_bMessagesExpected = true;
  const std::vector<CString> messages = Messages();
  ASSERT_EQ(2u, messages.size());
  EXPECT_STREQ(L"Folder doesn't exist.", messages[0]);
  EXPECT_STREQ(L"File doesn't exist.", messages[1]);
}

TEST_F(VideoToDicomPage, ContextMenuPlacesAndItemStates) {
  const CString out = FreshFolder(Output(L"menu"));
  TypeSource(Media(L"ten.mp4"));
  SetFolderText(out);
  {
    CDialogAnswerer browser(L"Browse for Folder", CancelBrowser());
    PressConvert();
    ASSERT_TRUE(WaitForJob());
  }
  ASSERT_EQ(10, Rows());
  m_page.m_list.SetItemState(-1, 0, LVIS_SELECTED);

  // Opens the menu from the keyboard and reports where it opened and whether
  // its two items were enabled; Escape closes it.
  struct Seen {
    CRect rect;
    UINT open = 0, folder = 0;
    bool found = false;
  };
  auto openFromKeyboard = [&]() {
    Seen seen;
    std::atomic<bool> stop{false};
    std::thread watcher([&] {
      while (!stop) {
        HWND menu = ::FindWindowW(L"#32768", nullptr);
        DWORD pid = 0;
        if (menu) ::GetWindowThreadProcessId(menu, &pid);
        if (menu && pid == ::GetCurrentProcessId() && ::IsWindowVisible(menu)) {
          ::GetWindowRect(menu, &seen.rect);
          HMENU h = (HMENU)::SendMessageW(menu, MN_GETHMENU, 0, 0);
          seen.open = ::GetMenuState(h, ID_OPEN_DICOM_FILE, MF_BYCOMMAND);
          seen.folder = ::GetMenuState(h, ID_OPEN_DESTINATION_FOLDER, MF_BYCOMMAND);
          seen.found = true;
          ::PostMessageW(m_page.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
          ::EndMenu();
          return;
        }
        ::Sleep(10);
      }
    });
    m_page.SendMessage(WM_CONTEXTMENU, (WPARAM)m_page.m_list.m_hWnd, MAKELPARAM(-1, -1));
    stop = true;
    watcher.join();
    return seen;
  };

  // No selection: 32 pixels below the list's top-left corner; both items greyed.
  Seen none = openFromKeyboard();
  ASSERT_TRUE(none.found);
  CPoint corner(0, 32);
  m_page.m_list.ClientToScreen(&corner);
  EXPECT_EQ(corner.x, none.rect.left);
  EXPECT_EQ(corner.y, none.rect.top);
  EXPECT_TRUE(none.open & MF_GRAYED);
  EXPECT_TRUE(none.folder & MF_GRAYED);

  // A selected row: at the row's left edge and bottom; both items enabled.
  m_page.m_list.SetItemState(4, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  Seen row = openFromKeyboard();
  ASSERT_TRUE(row.found);
  CRect bounds;
  m_page.m_list.GetItemRect(4, &bounds, LVIR_BOUNDS);
  CPoint at(bounds.left, bounds.bottom);
  m_page.m_list.ClientToScreen(&at);
  EXPECT_EQ(at.x, row.rect.left);
  EXPECT_EQ(at.y, row.rect.top);
  EXPECT_FALSE(row.open & MF_GRAYED);
  EXPECT_FALSE(row.folder & MF_GRAYED);
}
}  // namespace
