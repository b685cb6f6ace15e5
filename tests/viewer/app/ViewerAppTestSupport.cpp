#include "tests/viewer/app/ViewerAppTestSupport.h"

#include <commctrl.h>
#include <dlgs.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tests/TestPaths.h"

CString ViewerFixture(LPCTSTR relative) { return BuildTreePath(CString(L"testdata\\viewer\\") + relative); }

CString TempPath(LPCTSTR name) {
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  return CString(folder) + name;
}

void SetProgramFolder(LPCTSTR folder) {
  const CString value(folder);
  ::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Morrowtide\\Glimmerscope", L"AppFolder", REG_SZ, (LPCTSTR)value,
                    (DWORD)((value.GetLength() + 1) * sizeof(wchar_t)));
}

void UseProgramFolderLibrary() {
  CString bin = BuildTreePath(L"bin");
  SetProgramFolder(bin);
}

CMessageBoxRecorder::CMessageBoxRecorder() {
  AfxSetMessageBoxHandler([this](LPCTSTR text, UINT) {
    m_texts.push_back(text);
    return IDOK;
  });
}

CMessageBoxRecorder::~CMessageBoxRecorder() { AfxSetMessageBoxHandler(nullptr); }

namespace {
bool ReadAll(LPCTSTR path, std::vector<BYTE>& data) {
  FILE* f = _wfopen(path, L"rb");
  if (!f) return false;
  BYTE buf[65536];
  size_t n;
  data.clear();
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  fclose(f);
  return true;
}

uint32_t Big32(const BYTE* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }
}  // namespace

bool ReadGreyPicture(LPCTSTR path, int& width, int& height, std::vector<BYTE>& grey) {
  std::vector<BYTE> d;
  if (!ReadAll(path, d) || d.size() < 8) return false;
  grey.clear();
  if (d[0] == 'P' && d[1] == '5') {
    int maxval = 0, used = 0;
    if (sscanf((const char*)d.data(), "P5 %d %d %d%n", &width, &height, &maxval, &used) != 3 || maxval != 255)
      return false;
    const size_t start = (size_t)used + 1, n = (size_t)width * height;
    if (d.size() < start + n) return false;
    grey.assign(d.begin() + start, d.begin() + start + n);
    return true;
  }
  if (memcmp(d.data(), "\x89PNG\r\n\x1a\n", 8) != 0) return false;
  int channels = 0;
  std::vector<BYTE> idat;
  for (size_t pos = 8; pos + 12 <= d.size();) {
    const uint32_t len = Big32(&d[pos]);
    if (pos + 12 + len > d.size()) return false;
    const BYTE* body = &d[pos + 8];
    if (!memcmp(&d[pos + 4], "IHDR", 4)) {
      width = (int)Big32(body);
      height = (int)Big32(body + 4);
      if (body[8] != 8) return false;
      channels = body[9] == 2 ? 3 : body[9] == 0 ? 1 : 0;
    } else if (!memcmp(&d[pos + 4], "IDAT", 4)) {
      idat.insert(idat.end(), body, body + len);
    }
    pos += 12 + len;
  }
  if (!channels || width <= 0 || height <= 0) return false;
  const size_t stride = (size_t)width * channels + 1;
  std::vector<BYTE> raw(stride * height);
  uLongf rawLen = (uLongf)raw.size();
  if (uncompress(raw.data(), &rawLen, idat.data(), (uLong)idat.size()) != Z_OK || rawLen != raw.size()) return false;
  for (int y = 0; y < height; ++y) {
    if (raw[y * stride] != 0) return false;  // the library writes filter 0 only
    for (int x = 0; x < width; ++x) {
      const BYTE* px = &raw[y * stride + 1 + (size_t)x * channels];
      if (channels == 3 && (px[0] != px[1] || px[1] != px[2])) return false;
      grey.push_back(px[0]);
    }
  }
  return true;
}

namespace {
struct PendingStep {
  std::function<bool(HWND)> accept;
  std::function<void(HWND)> step;
};
std::vector<PendingStep> g_steps;
UINT_PTR g_stepTimer = 0;

BOOL CALLBACK CollectThreadWindows(HWND hwnd, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
  return TRUE;
}

void CALLBACK StepTimer(HWND, UINT, UINT_PTR, DWORD) {
  std::vector<HWND> windows;
  ::EnumThreadWindows(::GetCurrentThreadId(), CollectThreadWindows, (LPARAM)&windows);
  for (HWND hwnd : windows) {
    if (!::IsWindowVisible(hwnd)) continue;
    for (size_t i = 0; i < g_steps.size(); ++i) {
      if (!g_steps[i].accept(hwnd)) continue;
      auto step = std::move(g_steps[i].step);
      g_steps.erase(g_steps.begin() + (std::ptrdiff_t)i);
      if (g_steps.empty() && g_stepTimer) {
        ::KillTimer(nullptr, g_stepTimer);
        g_stepTimer = 0;
      }
      step(hwnd);
      return;
    }
  }
}
}  // namespace

void RunWhen(std::function<bool(HWND)> accept, std::function<void(HWND)> step) {
  g_steps.push_back({std::move(accept), std::move(step)});
  if (!g_stepTimer) g_stepTimer = ::SetTimer(nullptr, 0, 20, StepTimer);
}

void RunWhenShown(LPCTSTR lpszCaption, std::function<void(HWND)> step) {
  const CString caption(lpszCaption);
  RunWhen([caption](HWND hwnd) { return WindowText(hwnd) == caption; }, std::move(step));
}

CString SelectedTreeText(HWND window) {
  HWND tree = ::FindWindowExW(window, nullptr, WC_TREEVIEWW, nullptr);
  for (HWND child = ::GetWindow(window, GW_CHILD); !tree && child; child = ::GetWindow(child, GW_HWNDNEXT))
    tree = ::FindWindowExW(child, nullptr, WC_TREEVIEWW, nullptr);
  if (!tree) return CString();
  wchar_t text[MAX_PATH] = {0};
  TVITEMW item = {};
  item.mask = TVIF_TEXT;
  item.hItem = TreeView_GetSelection(tree);
  item.pszText = text;
  item.cchTextMax = MAX_PATH;
  if (!item.hItem || !TreeView_GetItem(tree, &item)) return CString();
  return text;
}

void CancelPendingSteps() {
  g_steps.clear();
  if (g_stepTimer) ::KillTimer(nullptr, g_stepTimer);
  g_stepTimer = 0;
}
