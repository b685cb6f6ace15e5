// The player window's side of the protocol: what each operation sends to the
// library's window (checked on a recording window), and the real library's
// window made, driven and destroyed under a parent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/AnsiText.h"
#include "viewer/PlayerWindow.h"
#include "tests/TestPaths.h"
#include "tests/viewer/app/ViewerAppTestSupport.h"

namespace {
struct Received {
  int code = 0;
  int count = 0;
  bool nullParam = false;
  std::vector<std::string> texts;  // copied while the message is handled
};
std::vector<Received> g_received;
LRESULT g_answer = 0;

LRESULT CALLBACK RecorderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_PLAYER) return ::DefWindowProcW(hwnd, msg, wp, lp);
  Received r;
  r.code = LOWORD(wp);
  r.count = HIWORD(wp);
  r.nullParam = lp == 0;
  if (r.code == PLAYER_OPEN || r.code == PLAYER_SNAPSHOT) {
    if (lp) r.texts.push_back(reinterpret_cast<const char*>(lp));
  } else if (r.code == PLAYER_OPEN_MULTIPLE && lp) {
    const char* const* list = reinterpret_cast<const char* const*>(lp);
    for (int i = 0; i < r.count; ++i) r.texts.push_back(list[i] ? list[i] : "<null>");
  } else if (r.code == PLAYER_RESET) {
    r.texts.push_back(std::to_string((long long)lp));
  }
  g_received.push_back(r);
  return g_answer;
}

// A player whose "library window" is a recorder of this test.
class RecordedPlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecorderProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PlayerRecorder";
    ::RegisterClassW(&wc);
    m_recorder =
        ::CreateWindowW(L"PlayerRecorder", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, m_recorder);
    m_player.m_hWnd = m_recorder;
    g_received.clear();
    g_answer = 0;
  }
  void TearDown() override {
    m_player.m_hWnd = nullptr;
    ::DestroyWindow(m_recorder);
  }
  HWND m_recorder = nullptr;
  CPlayerWindow m_player;
};
}  // namespace

TEST_F(RecordedPlayer, EachOperationSendsItsCodeAndArguments) {
  EXPECT_EQ(0, m_player.OpenFile(L"C:\\scans\\knee 1.dcm"));
  EXPECT_EQ(0, m_player.SaveSnapshot(L"C:\\out\\shot.png"));
  g_answer = 7;  // a failure comes back as the library's own result
  EXPECT_EQ(7, m_player.Close());
  EXPECT_EQ(7, m_player.Reset(RESET_WINDOW_LEVEL));
  m_player.Reset(RESET_CAMERA);
  m_player.Reset(RESET_ALL);
  ASSERT_EQ(6u, g_received.size());
  EXPECT_EQ(PLAYER_OPEN, g_received[0].code);
  EXPECT_EQ(0, g_received[0].count);
  ASSERT_EQ(1u, g_received[0].texts.size());
  EXPECT_EQ("C:\\scans\\knee 1.dcm", g_received[0].texts[0]);
  EXPECT_EQ(PLAYER_SNAPSHOT, g_received[1].code);
  EXPECT_EQ("C:\\out\\shot.png", g_received[1].texts[0]);
  EXPECT_EQ(PLAYER_CLOSE, g_received[2].code);
  EXPECT_TRUE(g_received[2].nullParam);
  EXPECT_EQ(PLAYER_RESET, g_received[3].code);
  EXPECT_EQ("1", g_received[3].texts[0]);
  EXPECT_EQ("2", g_received[4].texts[0]);
  EXPECT_EQ("65535", g_received[5].texts[0]);
}

TEST_F(RecordedPlayer, PathsCrossAsNarrowTextThatNamesNoOtherFile) {
  // Empty and null paths arrive as empty strings, never null.
  m_player.OpenFile(L"");
  m_player.OpenFile(nullptr);
  m_player.SaveSnapshot(L"");
  ASSERT_EQ(3u, g_received.size());
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(g_received[i].nullParam) << i;
    ASSERT_EQ(1u, g_received[i].texts.size());
    EXPECT_EQ("", g_received[i].texts[0]) << i;
  }
  g_received.clear();

  // "pāt.dcm" has no exact form in the code page; its best fit would be
  // "pat.dcm", another file. The existing file goes by its short name.
  const CString folder = TempPath(L"narrow-paths");
  ::CreateDirectoryW(folder, nullptr);
  const CString foreign = folder + L"\\p\x0101t.dcm", plain = folder + L"\\pat.dcm";
  const CString target = folder + L"\\\x0101.png", lookalike = folder + L"\\a.png";
  for (const CString& f : {foreign, plain, lookalike}) {
    HANDLE h = ::CreateFileW(f, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    ::CloseHandle(h);
  }
  CStringA exact;
  ASSERT_FALSE(WideToAnsiExact(foreign, exact));  // the premise

  ASSERT_EQ(0, m_player.OpenFile(foreign));
  ASSERT_EQ(1u, g_received.size());
  const CString sent(g_received[0].texts[0].c_str());
  wchar_t longForm[MAX_PATH] = {};
  ASSERT_NE(0u, ::GetLongPathNameW(sent, longForm, MAX_PATH)) << g_received[0].texts[0];
  EXPECT_EQ(0, lstrcmpiW(foreign, longForm)) << g_received[0].texts[0];

  // A snapshot name that does not exist yet has no short form: refused, not
  // written over the look-alike; a list with such a name is refused whole.
  EXPECT_EQ(-1, m_player.SaveSnapshot(target));
  CStringArray list;
  list.Add(plain);
  list.Add(target);
  EXPECT_EQ(-1, m_player.OpenFiles(list));
  EXPECT_EQ(1u, g_received.size());
  for (const CString& f : {foreign, plain, lookalike}) ::DeleteFileW(f);
  ::RemoveDirectoryW(folder);
}

TEST_F(RecordedPlayer, ListsGoTogetherWithTheirCount) {
  CStringArray one, three, none;
  one.Add(L"C:\\a.dcm");
  three.Add(L"C:\\a.dcm");
  three.Add(L"");
  three.Add(L"D:\\c d\\e.png");
  EXPECT_EQ(0, m_player.OpenFiles(one));
  EXPECT_EQ(0, m_player.OpenFiles(three));
  EXPECT_EQ(-1, m_player.OpenFiles(none));
  ASSERT_EQ(2u, g_received.size());
  // One path still goes as a list of one.
  EXPECT_EQ(PLAYER_OPEN_MULTIPLE, g_received[0].code);
  EXPECT_EQ(1, g_received[0].count);
  EXPECT_EQ(std::vector<std::string>({"C:\\a.dcm"}), g_received[0].texts);
  EXPECT_EQ(3, g_received[1].count);
  EXPECT_EQ(std::vector<std::string>({"C:\\a.dcm", "", "D:\\c d\\e.png"}), g_received[1].texts);

  // More paths than the 16-bit count can carry are refused, not cut short.
  CStringArray many;
  for (int i = 0; i < 0x10000; ++i) many.Add(L"x");
  EXPECT_EQ(-1, m_player.OpenFiles(many));
  EXPECT_EQ(2u, g_received.size());
}

TEST(PlayerWithoutWindow, EveryOperationFails) {
  CPlayerWindow player;
  CStringArray list;
  list.Add(L"C:\\a.dcm");
  EXPECT_EQ(-1, player.OpenFile(L"C:\\a.dcm"));
  EXPECT_EQ(-1, player.OpenFiles(list));
  EXPECT_EQ(-1, player.Close());
  EXPECT_EQ(-1, player.SaveSnapshot(L"C:\\a.png"));
  EXPECT_EQ(-1, player.Reset(RESET_ALL));
  // A handle that no longer names a window counts as none.
  HWND gone = ::CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ::DestroyWindow(gone);
  player.m_hWnd = gone;
  EXPECT_EQ(-1, player.OpenFile(L"C:\\a.dcm"));
  player.m_hWnd = nullptr;
}

// The real library in the program folder.
class LibraryPlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    UseProgramFolderLibrary();
    m_parent = ::CreateWindowW(L"STATIC", L"parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                               nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, m_parent);
  }
  void TearDown() override {
    if (::IsWindow(m_parent)) ::DestroyWindow(m_parent);
  }
  HWND m_parent = nullptr;
};

TEST_F(LibraryPlayer, CreatesTheLibraryWindowUnderItsParentAndOpensAFile) {
  CMessageBoxRecorder boxes;
  CPlayerWindow player;
  ASSERT_TRUE(player.Create(nullptr, nullptr, WS_CHILD, CRect(0, 0, 0, 0), CWnd::FromHandle(m_parent), 1));
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_EQ(m_parent, ::GetParent(player.m_hWnd));
  EXPECT_TRUE(::GetWindowLongPtrW(player.m_hWnd, GWL_STYLE) & WS_CHILD);
  // Not taken into the class library's handle map: the procedure stays the library's.
  EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(player.m_hWnd));
  EXPECT_EQ((HMODULE)::GetClassLongPtrW(player.m_hWnd, GCLP_HMODULE), player.m_hModule);

  EXPECT_EQ(0, player.OpenFile(ViewerFixture(L"ct40\\slice02.dcm")));
  EXPECT_NE(0, player.OpenFile(ViewerFixture(L"ct40\\missing.dcm")));
  const CString shot = TempPath(L"player-shot.png");
  ::DeleteFileW(shot);
  EXPECT_EQ(0, player.SaveSnapshot(shot));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(shot));
  ::DeleteFileW(shot);
  CStringArray list;
  list.Add(ViewerFixture(L"ct40\\slice01.dcm"));
  list.Add(ViewerFixture(L"ct40\\slice03.dcm"));
  EXPECT_EQ(0, player.OpenFiles(list));
}

TEST_F(LibraryPlayer, ObjectGoneBeforeItsParentTakesTheWindowWithIt) {
  HWND window = nullptr;
  {
    CPlayerWindow player;
    ASSERT_TRUE(player.Create(nullptr, nullptr, WS_CHILD, CRect(0, 0, 0, 0), CWnd::FromHandle(m_parent), 1));
    window = player.m_hWnd;
    ::ShowWindow(window, SW_SHOW);
  }
  // The library has been unloaded: a window of it left behind would take
  // the parent's next messages into code that is gone.
  EXPECT_FALSE(::IsWindow(window));
  ::RedrawWindow(m_parent, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  ::SendMessageW(m_parent, WM_SIZE, 0, MAKELPARAM(200, 100));
  EXPECT_TRUE(::IsWindow(m_parent));
}

namespace {
class CPlayerTestApp : public CWinApp {
 public:
  CPlayerTestApp() : CWinApp(L"Glimmerscope") { SetRegistryKey(L"Morrowtide"); }
} theApp;
}  // namespace
