// The viewer window: shows a file, a folder series or a list of files frame by
// frame, with window/level, zoom and pan, and writes snapshots.
#include <windows.h>
#include <windowsx.h>
#include <string.h>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "modules/quillfen/QfCore.h"
#include "modules/quillfen/QfViewer.h"
#include "modules/quillfen/QfViewerSeries.h"

namespace qf {

namespace {

const wchar_t kClassName[] = L"QuillfenViewerWindow";

// A frame of a decoded image, or of an image of a folder's file decoded on first use.
struct FrameRef {
  std::shared_ptr<const Volume> volume;
  int frame;
  std::shared_ptr<LazyVolume> lazy;
  int image = 0;
};

struct Viewer {
  HWND hwnd = nullptr;
  std::vector<FrameRef> frames;
  int index = 0;
  bool userWindow = false;  // window/level changed by the user
  double center = 0, width = 1;
  double zoom = 1, panX = 0, panY = 0;
  enum Drag { None, Level, Zoom, Pan } drag = None;
  POINT last{};
  std::vector<uint8_t> rendered;
  std::vector<uint8_t> dib;
  BackgroundDecoder decoder;  // the rest of a folder series
};

// The image of a frame, decoding its file when that has not happened yet;
// null when the file cannot be decoded or lacks the frame.
const Volume* VolumeOf(FrameRef& f) {
  if (!f.volume && f.lazy) f.volume = f.lazy->Get((size_t)f.image);
  return f.volume && f.frame < f.volume->frames ? f.volume.get() : nullptr;
}

Viewer* Get(HWND hwnd) { return reinterpret_cast<Viewer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

void Notify(Viewer* v, int code, LPARAM value) {
  HWND parent = GetParent(v->hwnd);
  if (parent) SendMessageW(parent, QF_WM_PLAYER, MAKEWPARAM(code, 0), value);
}

void CurrentWindow(Viewer* v, const Volume& vol, int frame, double& c, double& w) {
  if (v->userWindow) {
    c = v->center;
    w = v->width;
    return;
  }
  DefaultWindow(vol, frame, c, w);
}

// The current frame's image, or null (nothing open, or a file that failed).
const Volume* CurrentVolume(Viewer* v) { return v->frames.empty() ? nullptr : VolumeOf(v->frames[(size_t)v->index]); }

void RenderCurrent(Viewer* v) {
  const Volume* vol = CurrentVolume(v);
  if (!vol) {
    v->rendered.clear();
    return;
  }
  double c, w;
  const int frame = v->frames[(size_t)v->index].frame;
  CurrentWindow(v, *vol, frame, c, w);
  RenderFrame(*vol, frame, c, w, v->rendered);
}

void SetIndex(Viewer* v, int index) {
  if (v->frames.empty()) return;
  index = std::max(0, std::min((int)v->frames.size() - 1, index));
  if (index == v->index) return;
  v->index = index;
  RenderCurrent(v);
  InvalidateRect(v->hwnd, nullptr, FALSE);
  Notify(v, PLAYER_FRAME_INDEX, index);
}

bool AddFile(const std::string& path, std::vector<std::shared_ptr<Volume>>& out) {
  std::vector<Volume> images;
  std::string error;
  if (!LoadImages(path, images, error)) return false;
  for (Volume& v : images) out.push_back(std::make_shared<Volume>(std::move(v)));
  return !images.empty();
}

// A series' files in the order they play (SliceOrder): by position along
// the slices' normal, else InstanceNumber, then file name.
template <typename Item>
void SortSlices(std::vector<Item>& items) {
  std::vector<SeriesHeader> places;
  std::vector<std::string> names;
  for (const Item& i : items) {
    SeriesHeader h = i.header;
    h.hasInstance = i.HasInstance();
    h.instance = i.Instance();
    places.push_back(h);
    names.push_back(i.name);
  }
  std::vector<Item> sorted;
  for (size_t k : SliceOrder(places, names)) sorted.push_back(std::move(items[k]));
  items.swap(sorted);
}

// The folder's images of one series in order, chosen and placed by their
// headers alone: DICOM images by their series and instance, other files by
// the frames their headers give. Only the first is decoded here, the rest
// when shown or behind the first frame.
bool LoadFolder(const std::string& folder, std::vector<FrameRef>& out) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(JoinPath(folder, "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) < 0; });
  struct Item {
    std::shared_ptr<const Volume> vol;
    std::shared_ptr<LazyVolume> lazy;
    SeriesHeader header;
    std::string name;
    int image = 0, frames = 1;  // which image of its file, and its frames
    // Decoded now when it was not yet; false when it cannot be.
    bool Decoded() {
      if (!vol && lazy) vol = lazy->Get((size_t)image);
      return vol != nullptr;
    }
    const std::string& Series() const { return vol ? vol->series : header.series; }
    bool HasInstance() const { return vol ? vol->hasInstance : header.hasInstance; }
    int Instance() const { return vol ? vol->instance : header.instance; }
  };
  std::vector<Item> items;
  for (const std::string& n : names) {
    const std::string path = JoinPath(folder, n);
    const Kind kind = DetectKind(path);
    if (kind == Kind::None) continue;
    Item lazy;
    if (kind == Kind::Dicom && ReadSeriesHeader(path, lazy.header)) {
      lazy.lazy = std::make_shared<LazyVolume>(path);
      lazy.name = n;
      items.push_back(std::move(lazy));
      continue;
    }
    std::vector<int> frames;
    if (ReadImageFrames(path, kind, frames)) {
      auto file = std::make_shared<LazyVolume>(path);
      for (size_t k = 0; k < frames.size(); ++k) items.push_back({nullptr, file, SeriesHeader(), n, (int)k, frames[k]});
      continue;
    }
    // DICOM files of several frames.
    std::vector<std::shared_ptr<Volume>> some;
    if (kind == Kind::Dicom && AddFile(path, some))
      for (auto& vol : some) items.push_back({vol, nullptr, SeriesHeader(), n});
  }
  // One series: the one of the first file in name order whose header reads.
  if (items.empty()) return false;
  const std::string series = items[0].Series();
  items.erase(std::remove_if(items.begin(), items.end(), [&](const Item& i) { return i.Series() != series; }),
              items.end());
  SortSlices(items);
  // The first frame shows at once.
  while (!items.empty() && !items[0].Decoded()) items.erase(items.begin());
  if (items.empty()) return false;
  for (Item& i : items) {
    if (i.vol)
      for (int f = 0; f < i.vol->frames; ++f) out.push_back({i.vol, f, nullptr});
    else
      for (int f = 0; f < i.frames; ++f) out.push_back({nullptr, f, i.lazy, i.image});
  }
  return true;
}

std::vector<FrameRef> FramesOf(std::vector<std::shared_ptr<Volume>>& volumes) {
  std::vector<FrameRef> frames;
  for (auto& vol : volumes)
    for (int f = 0; f < vol->frames; ++f) frames.push_back({vol, f, nullptr});
  return frames;
}

LRESULT Show(Viewer* v, std::vector<FrameRef> frames) {
  if (frames.empty()) return -1;
  // What is left of the previous series is not decoded any more; the new
  // series' files are, in their order, behind the first frame.
  std::vector<std::shared_ptr<LazyVolume>> pending;
  for (const FrameRef& f : frames)
    if (f.lazy && !f.lazy->IsDecoded() && (pending.empty() || pending.back() != f.lazy)) pending.push_back(f.lazy);
  v->decoder.Stop();
  v->frames.swap(frames);
  if (!pending.empty()) v->decoder.Start(std::move(pending));
  v->index = 0;
  v->userWindow = false;
  v->zoom = 1, v->panX = v->panY = 0;
  RenderCurrent(v);
  InvalidateRect(v->hwnd, nullptr, FALSE);
  Notify(v, PLAYER_FRAME_COUNT, (LPARAM)v->frames.size());
  Notify(v, PLAYER_FRAME_INDEX, 0);
  return 0;
}

LRESULT OnPlayer(Viewer* v, WPARAM wp, LPARAM lp) {
  const int code = LOWORD(wp), count = HIWORD(wp);
  try {
    switch (code) {
      case PLAYER_OPEN: {
        const std::string path = lp ? reinterpret_cast<const char*>(lp) : "";
        if (path.empty()) return -1;
        std::vector<FrameRef> frames;
        std::vector<std::shared_ptr<Volume>> volumes;
        if (IsDirectory(path)) {
          if (!LoadFolder(path, frames)) return -1;
        } else {
          if (!AddFile(path, volumes)) return -1;
          frames = FramesOf(volumes);
        }
        return Show(v, std::move(frames));
      }
      case PLAYER_OPEN_MULTIPLE: {
        if (!lp || count <= 0) return -1;
        std::vector<std::string> paths;
        const char* const* list = reinterpret_cast<const char* const*>(lp);
        for (int i = 0; i < count; ++i) paths.push_back(list[i] ? list[i] : "");
        std::vector<std::shared_ptr<Volume>> volumes;
        for (const std::string& p : paths)
          if (!p.empty() && !IsDirectory(p)) AddFile(p, volumes);
        return volumes.empty() ? -1 : Show(v, FramesOf(volumes));
      }
      case PLAYER_CLOSE:
        v->decoder.Stop();
        v->frames.clear();
        v->rendered.clear();
        v->index = 0;
        InvalidateRect(v->hwnd, nullptr, FALSE);
        return 0;
      case PLAYER_SNAPSHOT: {
        const std::string path = lp ? reinterpret_cast<const char*>(lp) : "";
        const Volume* vol = CurrentVolume(v);
        if (path.empty() || !vol || v->rendered.empty()) return -1;
        return WritePng(path, vol->width, vol->height, vol->channels, v->rendered.data()) ? 0 : -1;
      }
      case PLAYER_RESET:
        if (lp & RESET_WINDOW_LEVEL) v->userWindow = false;
        if (lp & RESET_CAMERA) v->zoom = 1, v->panX = v->panY = 0;
        RenderCurrent(v);
        InvalidateRect(v->hwnd, nullptr, FALSE);
        return 0;
      default:
        return -1;
    }
  } catch (...) {
    std::vector<uint8_t>().swap(v->rendered);  // it may be of the frame before
    InvalidateRect(v->hwnd, nullptr, FALSE);
    return -1;
  }
}

void Paint(Viewer* v) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(v->hwnd, &ps);
  RECT rc;
  GetClientRect(v->hwnd, &rc);
  const int cw = rc.right, ch = rc.bottom;
  if (cw > 0 && ch > 0) {
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, cw, ch);
    HGDIOBJ old = SelectObject(mem, bmp);
    FillRect(mem, &rc, (HBRUSH)GetStockObject(BLACK_BRUSH));
    const Volume* shown = CurrentVolume(v);
    if (shown && !v->rendered.empty() && v->rendered.size() != shown->FrameSize() * (shown->channels == 3 ? 3 : 1))
      shown = nullptr;  // rendered from another frame: nothing rather than the wrong pixels
    if (shown) {
      try {
        v->dib.resize(shown->FrameSize() * 4);
      } catch (...) {
        shown = nullptr;  // no room for the picture: the window stays black
        std::vector<uint8_t>().swap(v->dib);
      }
    }
    if (shown) {
      const Volume& vol = *shown;
      const int w = vol.width, h = vol.height;
      for (size_t i = 0, n = (size_t)w * h; i < n; ++i) {
        uint8_t r, g, b;
        if (vol.channels == 3)
          r = v->rendered[3 * i], g = v->rendered[3 * i + 1], b = v->rendered[3 * i + 2];
        else
          r = g = b = v->rendered[i];
        v->dib[4 * i] = b, v->dib[4 * i + 1] = g, v->dib[4 * i + 2] = r, v->dib[4 * i + 3] = 0;
      }
      BITMAPINFO bi = {};
      bi.bmiHeader.biSize = sizeof bi.bmiHeader;
      bi.bmiHeader.biWidth = w;
      bi.bmiHeader.biHeight = -h;
      bi.bmiHeader.biPlanes = 1;
      bi.bmiHeader.biBitCount = 32;
      bi.bmiHeader.biCompression = BI_RGB;
      const double scale = std::min((double)cw / w, (double)ch / h) * v->zoom;
      const int dw = std::max(1, (int)std::lround(w * scale)), dh = std::max(1, (int)std::lround(h * scale));
      const int dx = (cw - dw) / 2 + (int)std::lround(v->panX), dy = (ch - dh) / 2 + (int)std::lround(v->panY);
      SetStretchBltMode(mem, COLORONCOLOR);
      StretchDIBits(mem, dx, dy, dw, dh, 0, 0, w, h, v->dib.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
    }
    BitBlt(dc, 0, 0, cw, ch, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
  }
  EndPaint(v->hwnd, &ps);
}

void BeginDrag(Viewer* v, Viewer::Drag d, LPARAM lp) {
  SetFocus(v->hwnd);
  if (v->frames.empty()) return;
  if (d == Viewer::Level && !v->userWindow) {
    const Volume* vol = CurrentVolume(v);
    if (!vol) return;
    CurrentWindow(v, *vol, v->frames[(size_t)v->index].frame, v->center, v->width);
    v->userWindow = true;
  }
  v->drag = d;
  v->last = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  SetCapture(v->hwnd);
}

void DragTo(Viewer* v, LPARAM lp) {
  if (v->drag == Viewer::None) return;
  const POINT p = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  const int dx = p.x - v->last.x, dy = p.y - v->last.y;
  v->last = p;
  if (v->drag == Viewer::Level) {
    // Horizontal changes the width, vertical the centre, in steps of the width.
    const double step = std::max(v->width / 256.0, 0.01);
    v->width = std::max(1.0, v->width + dx * step);
    v->center += dy * step;
    RenderCurrent(v);
  } else if (v->drag == Viewer::Zoom) {
    v->zoom = std::max(0.05, std::min(50.0, v->zoom * std::pow(1.01, -dy)));
  } else {
    v->panX += dx;
    v->panY += dy;
  }
  InvalidateRect(v->hwnd, nullptr, FALSE);
}

LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Viewer* v = Get(hwnd);
  switch (msg) {
    case WM_NCCREATE: {
      Viewer* nv = new (std::nothrow) Viewer;
      if (!nv) return FALSE;
      nv->hwnd = hwnd;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(nv));
      break;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      delete v;  // its decoder stops first
      break;
    case QF_WM_PLAYER:
      return v ? OnPlayer(v, wp, lp) : -1;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (v) {
        Paint(v);
        return 0;
      }
      break;
    case WM_SIZE:
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
      if (v) BeginDrag(v, (wp & MK_SHIFT) ? Viewer::Pan : (wp & MK_CONTROL) ? Viewer::Zoom : Viewer::Level, lp);
      return 0;
    case WM_RBUTTONDOWN:
      if (v) BeginDrag(v, Viewer::Zoom, lp);
      return 0;
    case WM_MBUTTONDOWN:
      if (v) BeginDrag(v, Viewer::Pan, lp);
      return 0;
    case WM_MOUSEMOVE:
      if (v) DragTo(v, lp);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      if (v && v->drag != Viewer::None) {
        v->drag = Viewer::None;
        ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (v) v->drag = Viewer::None;
      return 0;
    case WM_LBUTTONDBLCLK:
      if (v) OnPlayer(v, MAKEWPARAM(PLAYER_RESET, 0), RESET_ALL);
      return 0;
    case WM_MOUSEWHEEL:
      if (v) SetIndex(v, v->index + (GET_WHEEL_DELTA_WPARAM(wp) > 0 ? -1 : 1));
      return 0;
    case WM_KEYDOWN:
      if (!v) break;
      switch (wp) {
        case VK_LEFT:
        case VK_UP:
        case VK_PRIOR:
          SetIndex(v, v->index - 1);
          return 0;
        case VK_RIGHT:
        case VK_DOWN:
        case VK_NEXT:
          SetIndex(v, v->index + 1);
          return 0;
        case VK_HOME:
          SetIndex(v, 0);
          return 0;
        case VK_END:
          SetIndex(v, (int)v->frames.size() - 1);
          return 0;
      }
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// Nothing thrown (a failed allocation while stepping, dragging or rendering)
// leaves the window procedure: the frame is dropped, the window goes on.
LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    return HandleMessage(hwnd, msg, wp, lp);
  } catch (...) {
    if (Viewer* v = Get(hwnd)) {
      std::vector<uint8_t>().swap(v->rendered);
      if (v->drag != Viewer::None) {
        v->drag = Viewer::None;
        if (GetCapture() == hwnd) ReleaseCapture();
      }
      InvalidateRect(hwnd, nullptr, FALSE);
    }
    return 0;
  }
}

}  // namespace

bool RegisterViewerClass(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kClassName;
  if (RegisterClassExW(&wc)) return true;
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void UnregisterViewerClass(HINSTANCE instance) { UnregisterClassW(kClassName, instance); }

HWND CreateViewerWindow(HINSTANCE instance, HWND parent) {
  if (!parent || !IsWindow(parent)) return nullptr;
  return CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, 0, 0, parent, nullptr,
                         instance, nullptr);
}

}  // namespace qf
