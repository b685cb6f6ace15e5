// Times the player window over Quillfen.dll as the viewer drives it: the open
// request of a folder to the frame-count notification and to the first frame
// painted, then frame steps (an arrow key through the message loop to the
// frame-index notification and the repaint).
// Usage: bench_viewer.exe PROGRAM_FOLDER SERIES_FOLDER [STEPS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "viewer/PlayerWindow.h"

namespace {
LARGE_INTEGER g_freq;
double Now() {
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return (double)t.QuadPart * 1000.0 / (double)g_freq.QuadPart;
}

double g_countAt = 0, g_indexAt = 0;
int g_count = 0, g_index = -1;

LRESULT CALLBACK ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_PLAYER) {
    if (LOWORD(w) == PLAYER_FRAME_COUNT) g_countAt = Now(), g_count = (int)l;
    if (LOWORD(w) == PLAYER_FRAME_INDEX) g_indexAt = Now(), g_index = (int)l;
    return 0;
  }
  return ::DefWindowProcW(h, m, w, l);
}

// Runs the loop until the player has nothing left to paint.
void PumpUntilPainted(HWND player) {
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    RECT r;
    if (!::GetUpdateRect(player, &r, FALSE)) return;
  }
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, (size_t)(p * (double)(v.size() - 1) + 0.5));
  return v[i];
}

class CBenchApp : public CWinApp {
 public:
  CBenchApp() : CWinApp(L"GlimmerscopeBench") { SetRegistryKey(L"Morrowtide"); }
} theApp;
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: bench_viewer PROGRAM_FOLDER SERIES_FOLDER [STEPS]\n");
    return 2;
  }
  const int steps = argc > 3 ? _wtoi(argv[3]) : 300;
  ::QueryPerformanceFrequency(&g_freq);
  theApp.WriteProfileString(L"", L"AppFolder", argv[1]);

  WNDCLASSW wc = {};
  wc.lpfnWndProc = ParentProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"BenchViewerParent";
  wc.hbrBackground = (HBRUSH)::GetStockObject(BLACK_BRUSH);
  ::RegisterClassW(&wc);
  HWND parent = ::CreateWindowW(L"BenchViewerParent", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                0, 960, 768, nullptr, nullptr, wc.hInstance, nullptr);
  int result = 1;
  {
    CPlayerWindow player;
    if (!player.Create(nullptr, nullptr, WS_CHILD, CRect(0, 0, 0, 0), CWnd::FromHandle(parent), 1)) {
      fprintf(stderr, "the player window could not be made\n");
      return 1;
    }
    RECT client;
    ::GetClientRect(parent, &client);
    ::MoveWindow(player.m_hWnd, 0, 0, client.right, client.bottom, TRUE);
    ::ShowWindow(player.m_hWnd, SW_SHOW);
    ::SetFocus(player.m_hWnd);
    PumpUntilPainted(player.m_hWnd);

    const double start = Now();
    const int opened = player.OpenFile(argv[2]);
    const double returned = Now();
    PumpUntilPainted(player.m_hWnd);
    const double painted = Now();
    if (opened != 0 || g_count <= 1) {
      fprintf(stderr, "open failed (%d, %d frames)\n", opened, g_count);
    } else {
      printf("frames %d\n", g_count);
      printf("open to frame count %.1f ms\n", g_countAt - start);
      printf("open request returned %.1f ms\n", returned - start);
      printf("open to first frame painted %.1f ms\n", painted - start);
      std::vector<double> times;
      int direction = 1;
      for (int i = 0; i < steps; ++i) {
        if (g_index + direction < 0 || g_index + direction >= g_count) direction = -direction;
        const int want = g_index + direction;
        const double t0 = Now();
        ::PostMessageW(player.m_hWnd, WM_KEYDOWN, direction > 0 ? VK_DOWN : VK_UP, 1);
        while (g_index != want) {
          MSG msg;
          if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
          ::TranslateMessage(&msg);
          ::DispatchMessageW(&msg);
        }
        PumpUntilPainted(player.m_hWnd);
        times.push_back(Now() - t0);
      }
      printf("steps %d: median %.2f ms, 99th percentile %.2f ms, worst %.2f ms\n", (int)times.size(),
             Percentile(times, 0.5), Percentile(times, 0.99), Percentile(times, 1.0));
      result = 0;
    }
  }
  ::DestroyWindow(parent);
  theApp.WriteProfileString(L"", nullptr, nullptr);
  return result;
}
