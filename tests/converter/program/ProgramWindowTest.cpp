// The converter program started as a process of its own, with the real image
// library and tools: its main window, tabs, Always On Top, sizing and moving,
// what closing keeps in the registry, and the help commands of its menu.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/converter/program/ProgramDriver.h"

using namespace program;

namespace {
const int kTabs = 1110;
const int kMainToolBar = 59392;
const UINT kAbout = 57664;  // "About..."
const UINT kAlwaysOnTop = 16;

bool IsTopMost(HWND hwnd) { return (::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

// Whether the thread of a window is in the system's move or size loop.
bool InMoveSize(HWND wnd) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  return ::GetGUIThreadInfo(::GetWindowThreadProcessId(wnd, nullptr), &info) && (info.flags & GUI_INMOVESIZE);
}
// Press at one point, move in steps to another, release. The moves wait for
// the program to have begun moving or sizing mover, and the drag ends only
// when it has finished, however slowly a busy machine lets it run.
void Drag(CPoint from, CPoint to, HWND mover) {
  MouseTo(from.x, from.y);
  ::Sleep(50);
  MouseButton(true);
  WaitFor([&] { return InMoveSize(mover); }, 5000);
  for (int i = 1; i <= 8; ++i) {
    MouseTo(from.x + (to.x - from.x) * i / 8, from.y + (to.y - from.y) * i / 8);
    ::Sleep(20);
  }
  MouseButton(false);
  WaitFor([&] { return !InMoveSize(mover); }, 10000);
}

// The visible popup menu of the process, if one is open.
HWND OpenPopupMenu(const CProgram& prog) {
  return prog.Find([](HWND h) { return ClassOf(h) == L"#32768"; });
}

// Without a window manager every window is stacked by Wine itself, and the
// main window, raised late after its activation, may cover a popup that has
// just opened; the popup is brought up before its picture is taken.
void RaisePopup(HWND popup) {
  ::SetWindowPos(popup, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::RedrawWindow(popup, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// Pixels of the check-mark column of a popup menu's first item that differ
// from the item's background (the item may be highlighted, so the mark may
// be light on dark); -1 until the item's text is painted.
int CheckMarkPixels(HWND popup) {
  CRect rect = ScreenRect(popup);
  CWindowShot screen = CaptureScreen();
  const COLORREF back = screen.At(rect.left + 4, rect.top + 4);
  const int itemBottom = std::min((int)rect.bottom, (int)rect.top + ::GetSystemMetrics(SM_CYMENU));
  int marked = 0, text = 0;
  for (int y = rect.top + 4; y < itemBottom; ++y)
    for (int x = rect.left + 4; x < rect.right - 4; ++x)
      if (!ColorNear(screen.At(x, y), back, 40)) ++(x < rect.left + 18 ? marked : text);
  return text > 30 ? marked : -1;
}

// Opens the system menu as a click on the window's icon does, measures the
// check mark of its first item ("Always On Top"), and closes it again. Wine
// may stack a window raised late after its start above the menu: then the
// menu is opened again (at most three times).
int SystemMenuCheckPixels(const CProgram& prog, HWND main) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    CRect frame = ScreenRect(main);
    ::PostMessageW(main, WM_SYSCOMMAND, SC_MOUSEMENU | HTSYSMENU, MAKELPARAM(frame.left + 8, frame.top + 8));
    HWND popup = nullptr;
    WaitFor([&] { return (popup = OpenPopupMenu(prog)) != nullptr; }, 20000);
    if (!popup) return -1;
    RaisePopup(popup);
    int marked = -1;
    WaitFor([&] { return (marked = CheckMarkPixels(popup)) >= 0; }, 4000);
    ::PostMessageW(main, WM_CANCELMODE, 0, 0);
    WaitFor([&] { return OpenPopupMenu(prog) == nullptr; }, 20000);
    if (marked >= 0) return marked;
  }
  return -1;
}

// The shell's "open" of http: and mailto: addresses goes to the recorder
// while the test runs; the earlier handlers come back afterwards.
class CUrlRecorder {
 public:
  CUrlRecorder() {
    m_strLog = BuildTreePath(L"testdata\\program\\urls.txt");
    ::CreateDirectoryW(BuildTreePath(L"testdata"), nullptr);
    ::CreateDirectoryW(BuildTreePath(L"testdata\\program"), nullptr);
    ::DeleteFileW(m_strLog);
    ::SetEnvironmentVariableW(L"RS_URL_LOG", m_strLog);
    CString command;
    command.Format(L"\"%s\" \"%%1\"", (LPCTSTR)BuildTreePath(L"testbin\\url_recorder.exe"));
    for (LPCTSTR protocol : {L"http", L"mailto"}) {
      CString key;
      key.Format(L"Software\\Classes\\%s\\shell\\open\\command", protocol);
      wchar_t old[1024] = {0};
      DWORD size = sizeof(old) - sizeof(wchar_t), type = 0;
      bool had = ::SHGetValueW(HKEY_LOCAL_MACHINE, key, nullptr, &type, old, &size) == ERROR_SUCCESS;
      m_saved.push_back({key, had ? CString(old) : CString(), had});
      ::SHSetValueW(HKEY_LOCAL_MACHINE, key, nullptr, REG_SZ, (LPCTSTR)command,
                    (DWORD)((command.GetLength() + 1) * sizeof(wchar_t)));
    }
  }
  ~CUrlRecorder() {
    for (auto& s : m_saved) {
      if (s.had)
        ::SHSetValueW(HKEY_LOCAL_MACHINE, s.key, nullptr, REG_SZ, (LPCTSTR)s.value,
                      (DWORD)((s.value.GetLength() + 1) * sizeof(wchar_t)));
      else
        ::SHDeleteValueW(HKEY_LOCAL_MACHINE, s.key, nullptr);
    }
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::ifstream in(CStringA(m_strLog).GetString());
    std::string line;
    while (std::getline(in, line))
      if (!line.empty()) lines.push_back(line);
    return lines;
  }
  bool WaitLines(size_t n) const {
    return WaitFor([&] { return Lines().size() >= n; }, 30000);
  }

 private:
  struct Saved {
    CString key, value;
    bool had;
  };
  std::vector<Saved> m_saved;
  CString m_strLog;
};

class ProgramWindow : public CProgramTest {
 protected:
  // Starts the program and waits for its main window on the screen.
  HWND Launch() {
    // Shown with its page, and active (activation raises it, so anything
    // opened before that could end up below it).
    HWND main = StartAndWait(
        [&](HWND h) { return IsShown(h) && IsShown(PageOf(h, CurrentTab())) && ::GetForegroundWindow() == h; });
    EXPECT_NE(main, nullptr);
    return main;
  }
  HWND Tabs() const { return ::GetDlgItem(m_hMain, kTabs); }
  // A point of the sizing corner where the press reaches the window's own
  // surface (a page's background), not a control; (0, 0) when there is none.
  CPoint GripPoint() const {
    CRect client = ClientScreenRect(m_hMain);
    for (int d = 2; d < 12; ++d) {
      CPoint p(client.right - d, client.bottom - d);
      HWND at = ::WindowFromPoint(p);
      if (at == m_hMain || at == PageOf(m_hMain, CurrentTab())) return p;
    }
    return CPoint(0, 0);
  }
  int CurrentTab() const { return (int)SendBounded(Tabs(), TCM_GETCURSEL, 0, 0); }
  void SelectTab(int index) {
    SendBounded(Tabs(), TCM_SETCURFOCUS, index, 0);
    WaitFor([&] { return IsShown(PageOf(m_hMain, index)) && !IsShown(PageOf(m_hMain, 1 - index)); });
  }
};
}  // namespace

TEST_F(ProgramWindow, ShowsBothTabsAndEachPageInTurn) {
  ASSERT_TRUE(Launch());
  EXPECT_EQ(TextOf(m_hMain), L"Reelsmith");
  ASSERT_EQ(SendBounded(Tabs(), TCM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(CurrentTab(), 0);
  HWND series = PageOf(m_hMain, 0), video = PageOf(m_hMain, 1);
  ASSERT_TRUE(series && video);
  EXPECT_TRUE(IsShown(series));
  EXPECT_FALSE(IsShown(video));

  // The band above the pages: 0xE0E0E0 with a 0xD0D0D0 line as its last row,
  // the pages below it filling the rest of the client area.
  CRect client = ClientScreenRect(m_hMain);
  CRect tabs = ScreenRect(Tabs());
  CRect page = ScreenRect(series);
  EXPECT_EQ(page.top, tabs.bottom);
  EXPECT_EQ(page.left, client.left);
  EXPECT_EQ(page.right, client.right);
  EXPECT_EQ(page.bottom, client.bottom);
  CRect bar = ScreenRect(::GetDlgItem(m_hMain, kMainToolBar));
  EXPECT_EQ(bar.right, client.right - 4);
  EXPECT_LE(bar.top - client.top, tabs.bottom - bar.bottom + 1);  // centred in the band
  EXPECT_GE(bar.top - client.top + 1, tabs.bottom - bar.bottom);

  CWindowShot shot = ShotOf(m_hMain, true);
  shot.SavePng(L"reelsmith-main-series.png");
  const int gapX = (tabs.right + bar.left) / 2 - client.left;
  EXPECT_TRUE(ColorNear(shot.At(gapX, 1), RGB(0xE0, 0xE0, 0xE0), 2));
  EXPECT_TRUE(ColorNear(shot.At(gapX, tabs.bottom - client.top - 1), RGB(0xD0, 0xD0, 0xD0), 2));

  SelectTab(1);
  EXPECT_EQ(CurrentTab(), 1);
  EXPECT_TRUE(IsShown(video));
  EXPECT_FALSE(IsShown(series));
  EXPECT_EQ(ScreenRect(video), page);
  CWindowShot second = ShotOf(m_hMain, true);
  second.SavePng(L"reelsmith-main-video.png");
  // The page area changed with the tab.
  int differ = 0;
  for (int y = page.top - client.top; y < page.bottom - client.top; y += 4)
    for (int x = 0; x < client.Width(); x += 4)
      if (shot.At(x, y) != second.At(x, y)) ++differ;
  EXPECT_GT(differ, 100);

  SelectTab(0);
  EXPECT_TRUE(IsShown(series));
  EXPECT_FALSE(IsShown(video));
  EXPECT_TRUE(CloseAndWait());
}

TEST_F(ProgramWindow, AlwaysOnTopTogglesStyleMenuCheckAndSetting) {
  ASSERT_TRUE(Launch());
  EXPECT_FALSE(IsTopMost(m_hMain));
  const int uncheckedDark = SystemMenuCheckPixels(m_program, m_hMain);
  ASSERT_GE(uncheckedDark, 0) << "the system menu did not open";

  ::PostMessageW(m_hMain, WM_SYSCOMMAND, kAlwaysOnTop, 0);
  EXPECT_TRUE(WaitFor([&] { return IsTopMost(m_hMain); }));
  const int checkedDark = SystemMenuCheckPixels(m_program, m_hMain);
  EXPECT_GT(checkedDark, uncheckedDark + 4) << "no check mark beside Always On Top";

  // Any value whose bits above the low four are 16 is the same command.
  ::PostMessageW(m_hMain, WM_SYSCOMMAND, kAlwaysOnTop | 0x3, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsTopMost(m_hMain); }));
  EXPECT_LE(SystemMenuCheckPixels(m_program, m_hMain), uncheckedDark + 4);

  ::PostMessageW(m_hMain, WM_SYSCOMMAND, kAlwaysOnTop, 0);
  EXPECT_TRUE(WaitFor([&] { return IsTopMost(m_hMain); }));
  ASSERT_TRUE(CloseAndWait());
  EXPECT_EQ(ReadDword(kSettingsKey, L"AlwaysOnTop"), 1);

  // Restored at the next start, with its check mark; off again is saved as 0.
  ASSERT_TRUE(Launch());
  EXPECT_TRUE(IsTopMost(m_hMain));
  EXPECT_GT(SystemMenuCheckPixels(m_program, m_hMain), uncheckedDark + 4);
  ::PostMessageW(m_hMain, WM_SYSCOMMAND, kAlwaysOnTop, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsTopMost(m_hMain); }));
  ASSERT_TRUE(CloseAndWait());
  EXPECT_EQ(ReadDword(kSettingsKey, L"AlwaysOnTop"), 0);
}

TEST_F(ProgramWindow, KeepsItsMinimumSizeAndMovesOrSizesFromItsOwnSurface) {
  ASSERT_TRUE(Launch());
  // Made smaller than allowed: it stops at 480 x 320.
  ::SetWindowPos(m_hMain, nullptr, 0, 0, 200, 120, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  CRect small = ScreenRect(m_hMain);
  EXPECT_EQ(small.Width(), 480);
  EXPECT_EQ(small.Height(), 320);
  // The pages follow the window.
  CRect client = ClientScreenRect(m_hMain);
  EXPECT_EQ(ScreenRect(PageOf(m_hMain, 0)).bottom, client.bottom);
  EXPECT_EQ(ScreenRect(PageOf(m_hMain, 0)).right, client.right);

  ::SetWindowPos(m_hMain, nullptr, 100, 80, 800, 560, SWP_NOZORDER | SWP_NOACTIVATE);
  CRect before = ScreenRect(m_hMain);
  ASSERT_EQ(before.Width(), 800);

  // A press in the bottom-right 12 x 12 pixels of the client area, on the
  // page's background, sizes it.
  CPoint corner = GripPoint();
  ASSERT_NE(corner, CPoint(0, 0)) << "controls cover the whole corner";
  Drag(corner, CPoint(corner.x + 60, corner.y + 40), m_hMain);
  EXPECT_TRUE(WaitFor([&] { return ScreenRect(m_hMain).Width() == 860; }, 10000));
  CRect grown = ScreenRect(m_hMain);
  EXPECT_EQ(grown.Width(), 860);
  EXPECT_EQ(grown.Height(), 600);
  EXPECT_EQ(grown.TopLeft(), before.TopLeft());

  // Dragged inwards by far too much: the minimum holds.
  client = ClientScreenRect(m_hMain);
  corner = GripPoint();
  Drag(corner, CPoint(client.left + 20, client.top + 20), m_hMain);
  EXPECT_TRUE(WaitFor([&] { return ScreenRect(m_hMain).Width() == 480; }, 10000));
  EXPECT_EQ(ScreenRect(m_hMain).Height(), 320);

  // A press on the band between the tabs and the Main Menu button moves it.
  CRect at = ScreenRect(m_hMain);
  client = ClientScreenRect(m_hMain);
  CPoint band((ScreenRect(Tabs()).right + ScreenRect(::GetDlgItem(m_hMain, kMainToolBar)).left) / 2, client.top + 2);
  ASSERT_EQ(::WindowFromPoint(band), m_hMain);
  Drag(band, CPoint(band.x + 40, band.y + 30), m_hMain);
  EXPECT_TRUE(WaitFor([&] { return ScreenRect(m_hMain).left == at.left + 40; }, 10000));
  CRect moved = ScreenRect(m_hMain);
  EXPECT_EQ(moved.left, at.left + 40);
  EXPECT_EQ(moved.top, at.top + 30);
  EXPECT_EQ(moved.Size(), at.Size());
  EXPECT_TRUE(CloseAndWait());
}

TEST_F(ProgramWindow, ClosingKeepsPageAndListsAndRemovesTheWorkFolders) {
  // Recent lists from an earlier run, and work left over from it.
  const CString outFiles = CString(kProgramKey) + L"\\Recent\\OutFiles";
  const CString inFiles = CString(kProgramKey) + L"\\Recent\\InFiles";
  const CString outFolders = CString(kProgramKey) + L"\\Recent\\OutFolders";
  WriteString(outFiles, L"01", L"C:\\videos\\heart.mp4");
  WriteString(outFiles, L"02", L"C:\\videos\\knee.avi");
  WriteString(inFiles, L"01", L"C:\\videos\\scope.mp4");
  WriteString(outFolders, L"01", L"C:\\dicom\\out");
  WriteDword(kSettingsKey, L"VideoFormat", 3);
  const CString temp = UserDataFolder() + L"\\Temp";
  ::SHCreateDirectoryExW(nullptr, temp + L"\\0003", nullptr);
  for (LPCTSTR name : {L"\\0003\\I0000000.bmp", L"\\0003\\~work.lock"}) {
    std::ofstream leftover(CStringA(temp + name).GetString());
    leftover << "left over";
  }
  ASSERT_TRUE(FileExists(temp + L"\\0003\\I0000000.bmp"));

  ASSERT_TRUE(Launch());
  SelectTab(1);
  ASSERT_TRUE(CloseAndWait());

  EXPECT_EQ(ReadDword(kSettingsKey, L"Page"), 1);
  EXPECT_EQ(ReadDword(kSettingsKey, L"AlwaysOnTop"), 0);
  EXPECT_EQ(ReadDword(kSettingsKey, L"VideoFormat"), 3);
  EXPECT_EQ(ReadDword(kSettingsKey, L"AutoCheckUpdate"), 0);
  EXPECT_EQ(ReadDword(kSettingsKey, L"AutoCheckUpdate.Every"), 7);
  EXPECT_EQ(ReadString(outFiles, L"01"), L"C:\\videos\\heart.mp4");
  EXPECT_EQ(ReadString(outFiles, L"02"), L"C:\\videos\\knee.avi");
  EXPECT_EQ(ReadString(inFiles, L"01"), L"C:\\videos\\scope.mp4");
  EXPECT_EQ(ReadString(outFolders, L"01"), L"C:\\dicom\\out");
  EXPECT_FALSE(FileExists(temp)) << "the work folders are still there";

  // The tab shown at exit is shown at the next start.
  ASSERT_TRUE(Launch());
  EXPECT_EQ(CurrentTab(), 1);
  EXPECT_TRUE(IsShown(PageOf(m_hMain, 1)));
  EXPECT_FALSE(IsShown(PageOf(m_hMain, 0)));
  EXPECT_TRUE(CloseAndWait());
}

TEST_F(ProgramWindow, SavedPageOutsideThePagesStartsOnAPageThatExists) {
  WriteDword(kSettingsKey, L"Page", 7);
  ASSERT_TRUE(Launch());
  EXPECT_EQ(CurrentTab(), 1);
  EXPECT_TRUE(IsShown(PageOf(m_hMain, 1)));
  EXPECT_FALSE(IsShown(PageOf(m_hMain, 0)));
  ASSERT_TRUE(CloseAndWait());
  EXPECT_EQ(ReadDword(kSettingsKey, L"Page"), 1);

  WriteDword(kSettingsKey, L"Page", (DWORD)-2);
  ASSERT_TRUE(Launch());
  EXPECT_EQ(CurrentTab(), 0);
  EXPECT_TRUE(IsShown(PageOf(m_hMain, 0)));
  ASSERT_TRUE(CloseAndWait());
  EXPECT_EQ(ReadDword(kSettingsKey, L"Page"), 0);
}

TEST_F(ProgramWindow, HelpCommandsReachTheApplication) {
  CUrlRecorder urls;
  ASSERT_TRUE(Launch());

  ::PostMessageW(m_hMain, WM_COMMAND, kAbout, 0);
  HWND about = m_program.WaitDialog(L"About Reelsmith");
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(TextOf(::GetDlgItem(about, 1053)), L"Version 1.11.0");
  // Modal: the main window waits for it.
  EXPECT_FALSE(::IsWindowEnabled(m_hMain));
  PostCommand(about, IDOK);
  EXPECT_TRUE(WaitFor([&] { return !IsShown(about); }));
  EXPECT_TRUE(WaitFor([&] { return ::IsWindowEnabled(m_hMain) != FALSE; }));

  ::PostMessageW(m_hMain, WM_COMMAND, 32815, 0);  // Web Site
  ASSERT_TRUE(urls.WaitLines(1));
  ::PostMessageW(m_hMain, WM_COMMAND, 32831, 0);  // How To Use
  ASSERT_TRUE(urls.WaitLines(2));
  ::PostMessageW(m_hMain, WM_COMMAND, 32814, 0);  // Email Us
  ASSERT_TRUE(urls.WaitLines(3));
  std::vector<std::string> lines = urls.Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "http://www.morrowtide.com");
  EXPECT_EQ(lines[1], "http://www.morrowtide.com/reelsmith/screenshots");
  EXPECT_EQ(lines[2], "mailto:support@morrowtide.com?subject=About Reelsmith 1.11.0");
  EXPECT_TRUE(CloseAndWait());
}

TEST_F(ProgramWindow, EndingTheSessionSavesWhatIsShownNow) {
  ASSERT_TRUE(Launch());
  SelectTab(1);
  ::PostMessageW(m_hMain, WM_SYSCOMMAND, kAlwaysOnTop, 0);
  ASSERT_TRUE(WaitFor([&] { return IsTopMost(m_hMain); }));
  // Windows asks before it logs off; the settings are written at once, while
  // the program still runs.
  EXPECT_NE(SendBounded(m_hMain, WM_QUERYENDSESSION, 0, 0), 0);
  EXPECT_TRUE(m_program.IsRunning());
  EXPECT_EQ(ReadDword(kSettingsKey, L"Page"), 1);
  EXPECT_EQ(ReadDword(kSettingsKey, L"AlwaysOnTop"), 1);
  EXPECT_EQ(ReadDword(kSettingsKey, L"AutoCheckUpdate.Every"), 7);
  EXPECT_FALSE(ReadString(CString(kProgramKey) + L"\\Recent\\OutFolders", L"01").IsEmpty());
  EXPECT_TRUE(CloseAndWait());
}
