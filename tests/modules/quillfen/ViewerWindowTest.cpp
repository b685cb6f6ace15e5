// The library's viewer window under a real (Xvfb) display: opening, the
// notifications to the parent, frame stepping, window/level and snapshots.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/AnsiText.h"
#include "imaging/library/ImageLibrary.h"
#include "modules/quillfen/QfViewer.h"
#include "tests/support/UiTestSupport.h"

namespace {
// While not 0, allocations of at least this many bytes fail, in this
// program's code and in the library's parts linked into it.
std::atomic<size_t> g_failFrom{0};
}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"  // these are the pair
void* operator new(size_t size) {
  const size_t from = g_failFrom.load();
  if (from && size >= from) throw std::bad_alloc();
  if (void* p = malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
#pragma GCC diagnostic pop

namespace {

std::string Fixture(const std::string& name) {
  const char* b = getenv("RS_BINARY_DIR");
  std::string p = "Z:" + std::string(b ? b : "") + "/testdata/quillfen/" + name;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

struct Note {
  int code;
  LPARAM value;
  bool duringOpen;
};
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

// ImageMagick's 8-bit decodings (P5 or P6), as RGB triples.
bool ReadPnmRgb(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgb) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  char magic[3] = {};
  int maxval = 0;
  const bool ok = fscanf(f, "%2s %d %d %d", magic, &w, &h, &maxval) == 4 && maxval == 255 && fgetc(f) != EOF;
  const int c = magic[1] == '6' ? 3 : 1;
  std::vector<uint8_t> px(ok ? (size_t)w * h * c : 0);
  const bool read = ok && fread(px.data(), 1, px.size(), f) == px.size();
  fclose(f);
  if (!read) return false;
  rgb.clear();
  for (size_t i = 0; i < (size_t)w * h; ++i)
    for (int k = 0; k < 3; ++k) rgb.push_back(px[i * c + (c == 3 ? k : 0)]);
  return true;
}

std::vector<uint8_t> AsRgb(const std::vector<uint8_t>& px, int channels) {
  if (channels == 3) return px;
  std::vector<uint8_t> rgb;
  for (uint8_t v : px) rgb.insert(rgb.end(), {v, v, v});
  return rgb;
}

int WorstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return 256;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

class Viewer : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* b = getenv("RS_BINARY_DIR");
    std::string dll = "Z:" + std::string(b ? b : "") + "/bin/Quillfen.dll";
    for (char& c : dll)
      if (c == '/') c = '\\';
    ASSERT_EQ(lib_.Load(CString(dll.c_str())), 0);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ViewerTestParent";
    RegisterClassW(&wc);
    parent_ = CreateWindowW(L"ViewerTestParent", L"parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                            nullptr, wc.hInstance, nullptr);
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
  std::vector<uint8_t> Snapshot(const char* name, int* width = nullptr, int* channels = nullptr) {
    std::string path = tmp_ + name;
    DeleteFileA(path.c_str());
    EXPECT_EQ(Send(PLAYER_SNAPSHOT, 0, (LPARAM)path.c_str()), 0);
    int w = 0, h = 0, c = 0;
    std::vector<uint8_t> px;
    EXPECT_TRUE(ReadPng(path, w, h, c, px)) << path;
    if (width) *width = w;
    if (channels) *channels = c;
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
        if (bpp == 8)
          px.push_back(row[x]);
        else
          px.insert(px.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
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

// A failed allocation while stepping, dragging or painting leaves the window
// working: that frame is not shown, and later ones are.
TEST_F(Viewer, FailedAllocationsStayInsideTheWindow) {
  // The window as built into this program, where allocations can be made to fail.
  ASSERT_TRUE(qf::RegisterViewerClass(GetModuleHandleW(nullptr)));
  view_ = qf::CreateViewerWindow(GetModuleHandleW(nullptr), parent_);
  ASSERT_NE(view_, nullptr);
  MoveWindow(view_, 0, 0, 320, 240, TRUE);
  ShowWindow(view_, SW_SHOW);
  auto grey = [&](const char* name, int side) {
    const std::string path = tmp_ + name;
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << side << " " << side << "\n255\n" << std::string((size_t)side * side, '\x60');
    return path;
  };
  const std::string small = grey("alloc-small.pgm", 16), large = grey("alloc-large.pgm", 512);
  const char* list[2] = {small.c_str(), large.c_str()};
  ASSERT_EQ(Send(PLAYER_OPEN_MULTIPLE, 2, (LPARAM)list), 0);
  UpdateWindow(view_);

  struct Disarm {
    ~Disarm() { g_failFrom = 0; }
  } disarm;
  g_failFrom = 200 << 10;  // the large frame's 256 KiB rendering and 1 MiB picture fail
  SendMessageW(view_, WM_KEYDOWN, VK_DOWN, 0);
  SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  SendMessageW(view_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 160));
  SendMessageW(view_, WM_LBUTTONUP, 0, MAKELPARAM(40, 160));
  g_failFrom = 0;
  EXPECT_EQ(Send(PLAYER_RESET, 0, RESET_WINDOW_LEVEL), 0);  // rendered now; its picture fails next
  g_failFrom = 200 << 10;
  InvalidateRect(view_, nullptr, FALSE);
  UpdateWindow(view_);
  g_failFrom = 0;

  int width = 0;
  Snapshot("alloc1.png", &width);
  EXPECT_EQ(width, 512);
  UpdateWindow(view_);
  SendMessageW(view_, WM_KEYDOWN, VK_UP, 0);
  Snapshot("alloc0.png", &width);
  EXPECT_EQ(width, 16);
  DeleteFileA(small.c_str());
  DeleteFileA(large.c_str());
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

// An axial series plays from inferior to superior, by the slices' positions,
// whatever the file names and whether InstanceNumber counts up from the feet,
// down from the head, or is empty.
TEST_F(Viewer, PlaysAFolderInPositionOrder) {
  for (const char* folder : {"series-up", "series-down", "series-empty"}) {
    SCOPED_TRACE(folder);
    g_notes.clear();
    ASSERT_EQ(Open(Fixture(folder)), 0);
    ASSERT_FALSE(g_notes.empty());
    EXPECT_EQ(g_notes[0].value, 4);
    for (int i = 0; i < 4; ++i) {
      const std::vector<uint8_t> px = Snapshot("position.png");
      ASSERT_FALSE(px.empty());
      EXPECT_EQ(px[0], (i + 1) * 40) << "frame " << i;
      SendMessageW(view_, WM_KEYDOWN, VK_DOWN, 0);
    }
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

// Ordinary pictures show as ImageMagick decodes them, every page of a TIFF
// and every frame of an animation in turn; JPEG within one level.
TEST_F(Viewer, OpensOrdinaryPicturesAsImageMagickDecodesThem) {
  std::ifstream refs(Fixture("pictures\\refs.txt"));
  ASSERT_TRUE(refs.good());
  std::string line;
  int pictures = 0;
  while (std::getline(refs, line)) {
    std::istringstream words(line);
    std::string picture, ref;
    words >> picture;
    std::vector<std::string> frames;
    while (words >> ref) frames.push_back(ref);
    if (picture.find('/') != std::string::npos) continue;  // the folder's files have a test of their own
    SCOPED_TRACE(picture);
    g_notes.clear();
    ASSERT_EQ(Open(Fixture("pictures\\" + picture)), 0);
    ASSERT_FALSE(g_notes.empty());
    EXPECT_EQ(g_notes[0].code, PLAYER_FRAME_COUNT);
    EXPECT_EQ(g_notes[0].value, (LPARAM)frames.size());
    // JPEG, and wide samples mapped from their range, within one level.
    const int tolerance = picture.find(".jpg") != std::string::npos || picture.find("wide") == 0 ? 1 : 0;
    for (size_t i = 0; i < frames.size(); ++i) {
      int w = 0, h = 0, sw = 0, sc = 0;
      std::vector<uint8_t> expected;
      ASSERT_TRUE(ReadPnmRgb(Fixture("pictures\\" + frames[i]), w, h, expected)) << frames[i];
      const std::vector<uint8_t> px = Snapshot("picture.png", &sw, &sc);
      const std::vector<uint8_t> shot = AsRgb(px, sc);
      EXPECT_EQ(sw, w) << "frame " << i;
      EXPECT_LE(WorstDifference(shot, expected), tolerance) << "frame " << i;
      if (picture == "pages.tif" && i == 0) {
        // On screen: the solid first page fills the middle of the window.
        const CWindowShot screen = CaptureWindow(view_);
        screen.SavePng(L"quillfen-viewer-tiff-page1.png");
        EXPECT_TRUE(ColorNear(screen.At(160, 120), RGB(expected[0], expected[1], expected[2]), 0));
        EXPECT_TRUE(ColorNear(screen.At(2, 2), RGB(0, 0, 0), 0));  // letterbox band
      }
      SendMessageW(view_, WM_KEYDOWN, VK_RIGHT, 0);
    }
    ++pictures;
  }
  EXPECT_EQ(pictures, 13);
}

TEST_F(Viewer, OpensAFolderOfPicturesInNameOrder) {
  ASSERT_EQ(Open(Fixture("pictures\\pngs")), 0);
  ASSERT_FALSE(g_notes.empty());
  EXPECT_EQ(g_notes[0].value, 3);
  for (int i = 1; i <= 3; ++i) {
    int w = 0, h = 0, sc = 0;
    std::vector<uint8_t> expected;
    ASSERT_TRUE(ReadPnmRgb(Fixture("pictures\\ref-pngs-slide" + std::to_string(i) + ".png-0.ppm"), w, h, expected));
    const std::vector<uint8_t> px = Snapshot("slides.png", nullptr, &sc);
    EXPECT_EQ(WorstDifference(AsRgb(px, sc), expected), 0) << "slide " << i;
    SendMessageW(view_, WM_KEYDOWN, VK_NEXT, 0);
  }
  // A window/level drag works on pictures too, and its reset restores them.
  const std::vector<uint8_t> before = Snapshot("slides-wl0.png");
  SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  SendMessageW(view_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30, 170));
  SendMessageW(view_, WM_LBUTTONUP, 0, MAKELPARAM(30, 170));
  EXPECT_NE(Snapshot("slides-wl1.png"), before);
  EXPECT_EQ(Send(PLAYER_RESET, 0, RESET_WINDOW_LEVEL), 0);
  EXPECT_EQ(Snapshot("slides-wl2.png"), before);
}

// What the converter's series loading does with a file: the library claims
// TIFF and PNM (a 3-page TIFF gives three frames) and leaves the pictures that
// the image container reads to the program.
TEST_F(Viewer, LibraryClaimsTiffAndPnmButNotContainerPictures) {
  EXPECT_TRUE(lib_.CanReadFile(CString(Fixture("pictures\\pages.tif").c_str())));
  EXPECT_TRUE(lib_.CanReadFile(CString(Fixture("pictures\\grey16.pgm").c_str())));
  for (const char* name : {"photo.jpg", "colour.png", "anim.gif"})
    EXPECT_FALSE(lib_.CanReadFile(CString(Fixture(std::string("pictures\\") + name).c_str()))) << name;
  CImageConvertRequest req;
  req.AddInput(CString(Fixture("pictures\\pages.tif").c_str()), 0, -1);
  req.SetOutputPath(CString((tmp_ + "pages.tmp").c_str()));
  req.m_nOutputFormat = 1010;
  ASSERT_EQ(lib_.ConvertFiles(req), 0);
  ASSERT_EQ(req.m_results.GetSize(), 3);
  for (int i = 0; i < 3; ++i) {
    CString path = req.m_strOutputFolder + L"\\" + req.m_results[i]->m_strFileName;
    EXPECT_NE(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES) << i;
  }
  req.DeleteOutputFiles();
  CImageFileInfo info;
  ASSERT_EQ(lib_.ReadFileInfo(CString(Fixture("pictures\\pages.tif").c_str()), info), 0);
  EXPECT_EQ(info.GetWidth(), 36);
  EXPECT_EQ(info.GetHeight(), 24);
}

// A file in a folder named in Greek and Japanese letters: the binding hands the
// library the folder's short form, and output goes to such a folder too; a
// path that has no form in the code page fails instead of naming another file.
TEST_F(Viewer, LibraryReachesFoldersBeyondTheAnsiCodePage) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  CString dir;
  dir.Format(L"%s\x0395\x03b9\x03ba\x03cc\x03bd\x03b5\x03c2 \x753b\x50cf %lu", tmp, GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(dir, nullptr));
  const CString file = dir + L"\\\x03c4\x03bf\x03bc\x03bf\x03b3\x03c1\x03b1\x03c6\x03af\x03b1.dcm";
  ASSERT_TRUE(CopyFileW(CString(Fixture("ct16.dcm").c_str()), file, FALSE));
  CStringA narrow;
  ASSERT_TRUE(PathForLibrary(file, narrow));
  EXPECT_EQ(narrow.Find('?'), -1) << narrow.GetString();
  EXPECT_TRUE(lib_.CanReadFile(file));
  CImageFileInfo info;
  ASSERT_EQ(lib_.ReadFileInfo(file, info), 0);
  EXPECT_EQ(info.GetWidth(), 64);
  CImageConvertRequest req;
  req.AddInput(file, 0, -1);
  req.SetOutputPath(dir + L"\\~Wu1.tmp");
  req.m_nOutputFormat = 1010;
  ASSERT_EQ(lib_.ConvertFiles(req), 0);
  ASSERT_EQ(req.m_results.GetSize(), 3);
  EXPECT_NE(GetFileAttributesW(dir + L"\\" + req.m_results[0]->m_strFileName), INVALID_FILE_ATTRIBUTES);
  req.DeleteOutputFiles();
  // Not there yet: no short form exists, so nothing is handed over.
  const CString missing = dir + L"\\\x65b0\x3057\x3044\\\x30d5\x30a1\x30a4\x30eb.dcm";
  EXPECT_FALSE(PathForLibrary(missing, narrow));
  EXPECT_FALSE(lib_.CanReadFile(missing));
  DeleteFileW(file);
  RemoveDirectoryW(dir);
}

}  // namespace
