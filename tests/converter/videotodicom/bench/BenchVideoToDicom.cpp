// Runs the video-to-DICOM job once, as the page's worker does, and prints how
// long it took. Used by scripts/bench-video2dicom.
// bench_video2dicom VIDEO OUTPUT_FOLDER WORK_FOLDER PROGRAM_FOLDER
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "EncoderTool.h"
#include "Helpers.h"
#include "ImageLibrary.h"
#include "VideoToDicomJob.h"

namespace {
class QuietHost : public CVideoToDicomHost {
 public:
  void ChooseSource(CString&) override {}
  void ChooseDestination(CString&) override {}
  void ShowMessage(LPCTSTR text) override { fwprintf(stderr, L"%ls\n", text); }
  void SetStatus(LPCTSTR text, COLORREF color) override {
    last = text;
    if (last == L"Extracted video frames.") QueryPerformanceCounter(&extracted);
  }
  void SetBusy(BOOL) override {}
  void SetProgressRange(LONGLONG) override {}
  void SetProgressPos(LONGLONG) override {}
  void DeleteAllOutputItems() override {}
  int AddOutputItem(LPCTSTR) override { return rows++; }
  void EnsureVisible(int) override {}
  void SetItemState(int, int state) override {
    if (state == ITEM_STATE_DONE) ++done;
  }
  int ConfirmOverwrite(LPCTSTR, int&, BOOL) override { return 0; }
  CString last;
  int rows = 0, done = 0;
  LARGE_INTEGER extracted = {};
};

class Sink : public CToolProgressSink {
 public:
  int OnRunBegin() override { return 0; }
  int OnRunEnd() override { return 0; }
  int OnToolStart(const ToolProgress&) override { return 0; }
  int OnToolProgress(const ToolProgress&) override { return 0; }
  int OnToolFinish(const ToolProgress&) override { return 0; }
};

LRESULT CALLBACK RelayProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    auto* cds = (const COPYDATASTRUCT*)lp;
    LRESULT result = 0;
    if (CEncoderTool::RelayCopyData(cds->dwData, cds->cbData, cds->lpData, result)) return result;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) {
    fwprintf(stderr, L"usage: bench_video2dicom VIDEO OUTPUT_FOLDER WORK_FOLDER PROGRAM_FOLDER\n");
    return 2;
  }
  const CString program(argv[4]);
  CImageLibraryLoader library;
  if (library.Load(program + L"\\Quillfen.dll") != 0) {
    fwprintf(stderr, L"cannot load the image library\n");
    return 1;
  }
  WNDCLASSW wc = {};
  wc.lpfnWndProc = RelayProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"BenchRelay";
  RegisterClassW(&wc);
  HWND window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);

  QuietHost host;
  Sink sink;
  volatile int stop = 0;
  CVideoToDicomJob job;
  job.m_pHost = &host;
  job.m_pStop = &stop;
  job.m_pSink = &sink;
  job.m_hCallbackWnd = window;
  job.m_pLibrary = &library;
  job.m_strEncoderPath = program + L"\\Modules\\Smeltrix.exe";
  job.m_strPresetsFolder = program + L"\\Modules\\Presets";
  job.m_strProbePath = program + L"\\Modules\\Sondrel.exe";
  job.m_strSourcePath = argv[1];
  job.m_strOutputFolder = argv[2];
  CreateFolderTree(argv[3]);

  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&t0);
  std::atomic<bool> finished{false};
  int result = -1;
  std::thread worker([&] {
    result = job.Run(argv[3]);
    finished = true;
    PostMessageW(window, WM_NULL, 0, 0);
  });
  MSG msg;
  while (!finished && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  worker.join();
  QueryPerformanceCounter(&t1);
  DestroyWindow(window);
  const double ms = (t1.QuadPart - t0.QuadPart) * 1000.0 / freq.QuadPart;
  const double extractMs = (host.extracted.QuadPart - t0.QuadPart) * 1000.0 / freq.QuadPart;
  printf("%d files, %.0f ms, %.0f ms extracting, %ls\n", host.done, ms, extractMs, (LPCTSTR)host.last);
  return (result == 0 && host.last == L"Completed.") ? 0 : 1;
}
