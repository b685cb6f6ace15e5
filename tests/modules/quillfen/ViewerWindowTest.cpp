// The library's viewer window under a real (Xvfb) display: opening, the
// notifications to the parent, frame stepping, window/level and snapshots.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "ImageLibrary.h"

namespace {

std::string Fixture(const std::string& name) {
  const char* b = getenv("RS_BINARY_DIR");
  std::string p = "Z:" + std::string(b ? b : "") + "/testdata/quillfen/" + name;
  for (char& c : p) if (c == '/') c = '\\';
  return p;
}

struct Note { int code; LPARAM value; bool duringOpen; };
std::vector<Note> g_notes;
bool g_inOpen = false;

LRESULT CALLBACK ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == QF_WM_PLAYER) {
    g_notes.push_back({LOWORD(w), l, g_inOpen});
    return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

// Decodes the PNG files the window writes (8-bit grey or RGB, filter 0).
bool ReadPng(const std::string& path, int& w, int& h, int& c, std::vector<uint8_t>& px) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  std::vector<uint8_t> d;
  uint8_t buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) d.insert(d.end(), buf, buf + n);
  fclose(f);
  if (d.size() < 8 || memcmp(d.data(), "\x89PNG\r\n\x1a\n", 8) != 0) return false;
  std::vector<uint8_t> idat;
  for (size_t pos = 8; pos + 12 <= d.size();) {
    const uint32_t len = (uint32_t)d[pos] << 24 | d[pos + 1] << 16 | d[pos + 2] << 8 | d[pos + 3];
    const std::string type((const char*)&d[pos + 4], 4);
    const uint8_t* body = &d[pos + 8];
    if (type == "IHDR") {
      w = body[0] << 24 | body[1] << 16 | body[2] << 8 | body[3];
      h = body[4] << 24 | body[5] << 16 | body[6] << 8 | body[7];
      c = body[9] == 2 ? 3 : 1;
    } else if (type == "IDAT") {
      idat.insert(idat.end(), body, body + len);
    }
    pos += 12 + len;
  }
  std::vector<uint8_t> raw((size_t)(w * c + 1) * h);
  uLongf rawLen = (uLongf)raw.size();
  if (uncompress(raw.data(), &rawLen, idat.data(), (uLong)idat.size()) != Z_OK || rawLen != raw.size()) return false;
  px.clear();
  for (int y = 0; y < h; ++y) {
    if (raw[(size_t)y * (w * c + 1)] != 0) return false;
    px.insert(px.end(), raw.begin() + y * (w * c + 1) + 1, raw.begin() + (y + 1) * (w * c + 1));
  }
  return true;
}

class Viewer : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* b = getenv("RS_BINARY_DIR");
    std::string dll = "Z:" + std::string(b ? b : "") + "/bin/Quillfen.dll";
    for (char& c : dll) if (c == '/') c = '\\';
    ASSERT_EQ(lib_.Load(CString(dll.c_str())), 0);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ViewerTestParent";
    RegisterClassW(&wc);
    parent_ = CreateWindowW(L"ViewerTestParent", L"parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                            nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(parent_, nullptr);
    view_ = lib_.CreateViewerWindow(parent_);
    ASSERT_NE(view_, nullptr);
    MoveWindow(view_, 0, 0, 320, 240, TRUE);
    ShowWindow(view_, SW_SHOW);
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    tmp_ = tmp;
    g_notes.clear();
  }
  void TearDown() override {
    if (parent_) DestroyWindow(parent_);
  }

  LRESULT Send(int code, int count, LPARAM l) {
    g_inOpen = true;
    LRESULT r = SendMessageW(view_, QF_WM_PLAYER, MAKEWPARAM(code, count), l);
    g_inOpen = false;
    return r;
  }
  LRESULT Open(const std::string& path) {
    std::vector<char> copy(path.begin(), path.end());
    copy.push_back(0);
    LRESULT r = Send(PLAYER_OPEN, 0, (LPARAM)copy.data());
    std::fill(copy.begin(), copy.end(), 'x');  // the window must have kept its own copy
    return r;
  }
  std::vector<uint8_t> Snapshot(const char* name, int* width = nullptr) {
    std::string path = tmp_ + name;
    DeleteFileA(path.c_str());
    EXPECT_EQ(Send(PLAYER_SNAPSHOT, 0, (LPARAM)path.c_str()), 0);
    int w = 0, h = 0, c = 0;
    std::vector<uint8_t> px;
    EXPECT_TRUE(ReadPng(path, w, h, c, px)) << path;
    if (width) *width = w;
    DeleteFileA(path.c_str());
    return px;
  }
  // The frame as the convert request writes it, for comparison.
  std::vector<uint8_t> ConvertedFrame(const std::string& file, int frame) {
    CImageConvertRequest req;
    req.AddInput(CString(file.c_str()), 0, frame);
    req.SetOutputPath(CString((tmp_ + "viewref.tmp").c_str()));
    req.m_nOutputFormat = 1010;
    EXPECT_EQ(lib_.ConvertFiles(req), 0);
    std::vector<uint8_t> px;
    if (req.m_results.GetSize() != 1) return px;
    CString path = req.m_strOutputFolder + L"\\" + req.m_results[0]->m_strFileName;
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<uint8_t> d(GetFileSize(h, nullptr));
    DWORD got = 0;
    ReadFile(h, d.data(), (DWORD)d.size(), &got, nullptr);
    CloseHandle(h);
    req.DeleteOutputFiles();
    const int w = *(int32_t*)&d[18], hh = *(int32_t*)&d[22], bpp = *(uint16_t*)&d[28], off = *(int32_t*)&d[10];
    const int stride = ((w * bpp / 8) + 3) & ~3;
    for (int y = 0; y < hh; ++y) {
      const uint8_t* row = &d[off + (size_t)stride * (hh - 1 - y)];
      for (int x = 0; x < w; ++x)
        if (bpp == 8) px.push_back(row[x]);
        else px.insert(px.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
    }
    return px;
  }
  int LastIndex() const {
    for (auto it = g_notes.rbegin(); it != g_notes.rend(); ++it)
      if (it->code == PLAYER_FRAME_INDEX) return (int)it->value;
    return -1;
  }

  CImageLibraryLoader lib_;
  HWND parent_ = nullptr, view_ = nullptr;
  std::string tmp_;
};

TEST_F(Viewer, CreatedHiddenAsChild) {
  HWND fresh = lib_.CreateViewerWindow(parent_);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(GetParent(fresh), parent_);
  EXPECT_FALSE(IsWindowVisible(fresh));
  EXPECT_TRUE(GetWindowLongPtrW(fresh, GWL_STYLE) & WS_CHILD);
  DestroyWindow(fresh);
}

TEST_F(Viewer, OpensAFileAndTellsFramesBeforeReturning) {
  ASSERT_EQ(Open(Fixture("ct16.dcm")), 0);
  ASSERT_GE(g_notes.size(), 2u);
  EXPECT_EQ(g_notes[0].code, PLAYER_FRAME_COUNT);
  EXPECT_EQ(g_notes[0].value, 3);
  EXPECT_EQ(g_notes[1].code, PLAYER_FRAME_INDEX);
  EXPECT_EQ(g_notes[1].value, 0);
  EXPECT_TRUE(g_notes[0].duringOpen && g_notes[1].duringOpen);
  // The snapshot is the frame as rendered, the same picture the converter gets.
  EXPECT_EQ(Snapshot("view0.png"), ConvertedFrame(Fixture("ct16.dcm"), 0));
  // Keys and the wheel step frames, within the range.
  SendMessageW(view_, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(LastIndex(), 1);
  EXPECT_EQ(Snapshot("view1.png"), ConvertedFrame(Fixture("ct16.dcm"), 1));
  SendMessageW(view_, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)-WHEEL_DELTA), 0);
  EXPECT_EQ(LastIndex(), 2);
  size_t before = g_notes.size();
  SendMessageW(view_, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(g_notes.size(), before);  // already the last frame
  SendMessageW(view_, WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(LastIndex(), 0);
  // A failed open keeps what is shown.
  EXPECT_NE(Open(Fixture("missing.dcm")), 0);
  EXPECT_NE(Open(""), 0);
  EXPECT_EQ(Snapshot("view2.png"), ConvertedFrame(Fixture("ct16.dcm"), 0));
}

TEST_F(Viewer, DragChangesWindowLevelAndResetRestoresIt) {
  ASSERT_EQ(Open(Fixture("mr12.dcm")), 0);
  const std::vector<uint8_t> original = Snapshot("wl0.png");
  SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  SendMessageW(view_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 160));
  SendMessageW(view_, WM_LBUTTONUP, 0, MAKELPARAM(40, 160));
  const std::vector<uint8_t> changed = Snapshot("wl1.png");
  EXPECT_NE(changed, original);
  // Camera reset leaves window/level alone; window/level reset restores it.
  EXPECT_EQ(Send(PLAYER_RESET, 0, RESET_CAMERA), 0);
  EXPECT_EQ(Snapshot("wl2.png"), changed);
  EXPECT_EQ(Send(PLAYER_RESET, 0, RESET_WINDOW_LEVEL), 0);
  EXPECT_EQ(Snapshot("wl3.png"), original);
  // Zoom and pan change the view, not the snapshot; reset all is accepted.
  SendMessageW(view_, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(100, 100));
  SendMessageW(view_, WM_MOUSEMOVE, MK_RBUTTON, MAKELPARAM(100, 50));
  SendMessageW(view_, WM_RBUTTONUP, 0, MAKELPARAM(100, 50));
  EXPECT_EQ(Send(PLAYER_RESET, 0, RESET_ALL), 0);
  EXPECT_EQ(Snapshot("wl4.png"), original);
  UpdateWindow(view_);
}

TEST_F(Viewer, OpensAFolderAsOneSortedSeries) {
  ASSERT_EQ(Open(Fixture("series")), 0);
  ASSERT_FALSE(g_notes.empty());
  EXPECT_EQ(g_notes[0].code, PLAYER_FRAME_COUNT);
  EXPECT_EQ(g_notes[0].value, 3);  // the other series' file is left out
  for (int i = 0; i < 3; ++i) {
    const std::vector<uint8_t> px = Snapshot("series.png");
    ASSERT_FALSE(px.empty());
    EXPECT_EQ(px[0], (i + 1) * 40) << "frame " << i;  // instance numbers 1, 2, 3
    SendMessageW(view_, WM_KEYDOWN, VK_DOWN, 0);
  }
}

TEST_F(Viewer, OpensAListAndCloses) {
  std::string a = Fixture("ct16.dcm"), b = Fixture("rgb.dcm");
  const char* list[] = {a.c_str(), b.c_str()};
  ASSERT_EQ(Send(PLAYER_OPEN_MULTIPLE, 2, (LPARAM)list), 0);
  ASSERT_GE(g_notes.size(), 2u);
  EXPECT_EQ(g_notes[0].value, 4);
  EXPECT_TRUE(g_notes[0].duringOpen);
  SendMessageW(view_, WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(LastIndex(), 3);
  EXPECT_EQ(Snapshot("list.png"), ConvertedFrame(b, 0));
  EXPECT_EQ(Send(PLAYER_CLOSE, 0, 0), 0);
  std::string path = tmp_ + "closed.png";
  EXPECT_NE(Send(PLAYER_SNAPSHOT, 0, (LPARAM)path.c_str()), 0);
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(Send(PLAYER_OPEN_MULTIPLE, 0, (LPARAM)list), 0);
}

}  // namespace
