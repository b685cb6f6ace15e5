// A folder opened in the library's viewer window: its series is chosen and its
// files are placed by their headers, and decoded behind the first frame. Every frame is still the
// right slice, wherever the user goes right after the open; a slice that
// cannot be decoded shows nothing without ending the series; closing,
// reopening and destroying the window while files are being decoded are safe.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "imaging/library/ImageLibrary.h"
#include "tests/TestPaths.h"
#include "tests/support/PeakMemory.h"
#include "tests/support/UiTestSupport.h"
#include "tests/viewer/app/ViewerAppTestSupport.h"

namespace {
int g_count = -1, g_index = -1;

LRESULT CALLBACK ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == QF_WM_PLAYER) {
    if (LOWORD(w) == PLAYER_FRAME_COUNT) g_count = (int)l;
    if (LOWORD(w) == PLAYER_FRAME_INDEX) g_index = (int)l;
    return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

class SeriesDecode : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, m_lib.Load(BuildTreePath(L"bin\\Quillfen.dll")));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SeriesDecodeParent";
    RegisterClassW(&wc);
    m_parent = CreateWindowW(L"SeriesDecodeParent", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 300, nullptr,
                             nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, m_parent);
    m_view = m_lib.CreateViewerWindow(m_parent);
    ASSERT_NE(nullptr, m_view);
    MoveWindow(m_view, 0, 0, 256, 256, TRUE);
    ShowWindow(m_view, SW_SHOW);
    g_count = g_index = -1;
  }
  void TearDown() override {
    if (IsWindow(m_parent)) DestroyWindow(m_parent);
  }
  LRESULT Open(const CString& path) {
    CStringA narrow(path);
    return SendMessageW(m_view, QF_WM_PLAYER, MAKEWPARAM(PLAYER_OPEN, 0), (LPARAM)(LPCSTR)narrow);
  }
  void Key(UINT vk) { SendMessageW(m_view, WM_KEYDOWN, vk, 0); }
  // The shown frame as written by a snapshot, or empty when none can be written.
  std::vector<BYTE> Shown() {
    const CString path = TempPath(L"series-decode.png");
    DeleteFileW(path);
    CStringA narrow(path);
    std::vector<BYTE> grey;
    if (SendMessageW(m_view, QF_WM_PLAYER, MAKEWPARAM(PLAYER_SNAPSHOT, 0), (LPARAM)(LPCSTR)narrow) != 0) return grey;
    int w = 0, h = 0;
    EXPECT_TRUE(ReadGreyPicture(path, w, h, grey));
    DeleteFileW(path);
    return grey;
  }
  static std::vector<BYTE> Reference(int slice) {
    CString name;
    name.Format(L"refs\\slice%02d.pgm", slice);
    int w = 0, h = 0;
    std::vector<BYTE> grey;
    EXPECT_TRUE(ReadGreyPicture(ViewerFixture(name), w, h, grey)) << (LPCSTR)CStringA(name);
    return grey;
  }
  static int Worst(const std::vector<BYTE>& a, const std::vector<BYTE>& b) {
    if (a.size() != b.size() || a.empty()) return 256;
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
  }

  CImageLibraryLoader m_lib;
  HWND m_parent = nullptr, m_view = nullptr;
};
}  // namespace

TEST_F(SeriesDecode, EveryFrameIsItsSliceWhereverTheUserGoesAtOnce) {
  ASSERT_EQ(0, Open(ViewerFixture(L"ct40")));
  EXPECT_EQ(40, g_count);
  EXPECT_EQ(0, g_index);
  EXPECT_LE(Worst(Shown(), Reference(1)), 1);
  // Straight to the end, then back one by one to the start.
  Key(VK_END);
  EXPECT_EQ(39, g_index);
  EXPECT_LE(Worst(Shown(), Reference(40)), 1);
  Key(VK_HOME);
  Key(VK_DOWN);
  EXPECT_LE(Worst(Shown(), Reference(2)), 1);
  Key(VK_DOWN);
  EXPECT_LE(Worst(Shown(), Reference(3)), 1);
  // A window/level drag and its reset work on a frame decoded behind the first.
  Key(VK_END);
  const std::vector<BYTE> last = Shown();
  SendMessageW(m_view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  SendMessageW(m_view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 160));
  SendMessageW(m_view, WM_LBUTTONUP, 0, MAKELPARAM(40, 160));
  EXPECT_NE(last, Shown());
  SendMessageW(m_view, QF_WM_PLAYER, MAKEWPARAM(PLAYER_RESET, 0), RESET_ALL);
  EXPECT_EQ(last, Shown());
}

// Beside a DICOM series, a volume of another format that is 256 MB decoded
// (made at set-up): the series shows, and the volume is never decoded.
TEST_F(SeriesDecode, OnlyTheShownSeriesIsDecoded) {
  const CString dir = TempPath(L"series-beside");
  ::CreateDirectoryW(dir, nullptr);
  for (LPCTSTR name : {L"slice01.dcm", L"slice02.dcm", L"slice03.dcm"})
    ASSERT_TRUE(::CopyFileW(ViewerFixture(CString(L"ct40\\") + name), dir + L"\\" + name, FALSE));
  const CString volume = BuildTreePath(L"testdata\\quillfen\\formats\\large\\volume.nii.gz");
  ASSERT_TRUE(::CopyFileW(volume, dir + L"\\volume.nii.gz", FALSE));
  const size_t before = PeakMemory();
  ASSERT_EQ(0, Open(dir));
  EXPECT_EQ(3, g_count);
  EXPECT_LE(Worst(Shown(), Reference(1)), 1);
  Key(VK_END);
  EXPECT_LE(Worst(Shown(), Reference(3)), 1);
  printf("peak working set grew by %zu MB\n", (PeakMemory() - before) >> 20);
  EXPECT_LT(PeakMemory() - before, (size_t)64 << 20);
  SendMessageW(m_view, QF_WM_PLAYER, MAKEWPARAM(PLAYER_CLOSE, 0), 0);
  for (LPCTSTR name : {L"slice01.dcm", L"slice02.dcm", L"slice03.dcm", L"volume.nii.gz"}) ::DeleteFileW(dir + L"\\" + name);
  ::RemoveDirectoryW(dir);
}

TEST_F(SeriesDecode, ASliceThatCannotBeDecodedShowsNothingAndTheSeriesGoesOn) {
  ASSERT_EQ(0, Open(ViewerFixture(L"broken")));
  EXPECT_EQ(5, g_count);
  Key(VK_DOWN);
  EXPECT_LE(Worst(Shown(), Reference(2)), 1);
  Key(VK_DOWN);
  EXPECT_EQ(2, g_index);
  EXPECT_TRUE(Shown().empty());  // no snapshot of a slice that is not there
  const CWindowShot screen = CaptureWindow(m_view);
  EXPECT_TRUE(ColorNear(RGB(0, 0, 0), screen.At(128, 128)));
  // Dragging over it changes nothing and does not break the next slices.
  SendMessageW(m_view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  SendMessageW(m_view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 160));
  SendMessageW(m_view, WM_LBUTTONUP, 0, MAKELPARAM(40, 160));
  Key(VK_DOWN);
  EXPECT_EQ(3, g_index);
  EXPECT_FALSE(Shown().empty());
}

TEST_F(SeriesDecode, CloseReopenAndDestroyWhileFilesAreBeingDecoded) {
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(0, Open(ViewerFixture(L"ct40")));
    ASSERT_EQ(0, Open(ViewerFixture(L"ctseries")));
    EXPECT_EQ(40, g_count);
    EXPECT_EQ(0, SendMessageW(m_view, QF_WM_PLAYER, MAKEWPARAM(PLAYER_CLOSE, 0), 0));
    EXPECT_TRUE(Shown().empty());
  }
  // A new series replaces the old one whose files were still being decoded.
  ASSERT_EQ(0, Open(ViewerFixture(L"ctseries")));
  ASSERT_EQ(0, Open(ViewerFixture(L"ct40")));
  Key(VK_END);
  EXPECT_LE(Worst(Shown(), Reference(40)), 1);
  // Destroyed at once after an open: the window waits for its worker.
  ASSERT_EQ(0, Open(ViewerFixture(L"ctseries")));
  DestroyWindow(m_view);
  EXPECT_FALSE(IsWindow(m_view));
  m_lib.Unload();  // the library goes too; nothing of it may still run
  HWND again = nullptr;
  ASSERT_EQ(0, m_lib.Load(BuildTreePath(L"bin\\Quillfen.dll")));
  again = m_lib.CreateViewerWindow(m_parent);
  ASSERT_NE(nullptr, again);
  m_view = again;
  ASSERT_EQ(0, Open(ViewerFixture(L"ct40")));
  EXPECT_LE(Worst(Shown(), Reference(1)), 1);
}
