// Times the converter's road from a folder of DICOM slices to an MP4 (H.264):
// the series loader over the folder, then the conversion (frame files and the
// encoder). Prints "load <s> convert <s> total <s> frames <n> peak_ws_mb <n>
// peak_private_mb <n>". Usage: bench_convert FOLDER OUTPUT.mp4
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "Folders.h"
#include "Helpers.h"
#include "ImageLibrary.h"
#include "SeriesConversion.h"
#include "SeriesLoading.h"
#include "TestPaths.h"
#include "UiTestSupport.h"
#include "WorkFolders.h"
#include "afxwin.h"

namespace {
class CBenchHost : public CSeriesJobHost, public CFrameTarget {
 public:
  ~CBenchHost() override {
    for (CFrameItem* item : items) delete item;
  }
  void PutFrame(CFrameItem* item, int) override { items.push_back(item); }
  void ShowLoadStatus(LPCTSTR) override {}
  void FramesAdded() override {}
  int GetFrameCount() override { return (int)items.size(); }
  CFrameItem* GetFrame(int index) override { return items[index]; }
  void SetFrameState(int index, int state) override { items[index]->m_state = state; }
  void SetJobStatus(LPCTSTR text, COLORREF) override { status = text; }
  void BeginProgress(int) override {}
  void SetProgressPos(int) override {}
  int ConfirmOverwrite(LPCTSTR) override { return 0; }
  void ShowMessage(LPCTSTR text) override { fwprintf(stderr, L"%ls\n", text); }
  std::vector<CFrameItem*> items;
  CString status;
};

LRESULT CALLBACK RelayProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    const COPYDATASTRUCT* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    LRESULT result = 0;
    if (CEncoderTool::RelayCopyData(cds->dwData, cds->cbData, cds->lpData, result)) return result;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return (double)c.QuadPart / (double)f.QuadPart;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  CWinApp app(L"ReelsmithBench");
  CImageLibrary library;
  if (library.Load(BuildTreePath(L"bin\\Quillfen.dll")) != 0) return 3;
  WNDCLASSW wc = {};
  wc.lpfnWndProc = RelayProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"BenchRelay";
  RegisterClassW(&wc);
  HWND relay = CreateWindowW(L"BenchRelay", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);

  CBenchHost host;
  const double t0 = Now();
  CSeriesLoader loader(&library, &host);
  loader.ScanFolder(argv[1], L"*.dcm", 0);
  const double t1 = Now();

  volatile int stop = 0;
  CSeriesProgressSink sink(&stop, &host);
  CSeriesJob job;
  CString base = GetUserDataFolder() + L"\\Temp";
  job.m_strWorkFolder = CreateWorkFolderIn(base);
  job.m_strOutputPath = argv[2];
  job.m_nFormatIndex = 0;
  job.m_strEncoderPath = BuildTreePath(L"bin\\Modules\\Smeltrix.exe");
  job.m_strPresetsFolder = BuildTreePath(L"bin\\Modules\\Presets");
  job.m_hCallbackWnd = relay;
  job.m_pSink = &sink;
  job.m_pStop = &stop;
  std::atomic<bool> done{false};
  int result = -9;
  std::thread worker([&] {
    CTempFolderGuard guard(job.m_strWorkFolder, 1);
    result = RunSeriesJob(job, host);
    done = true;
  });
  PumpUntil([&] { return done.load(); }, 3600 * 1000);
  worker.join();
  const double t2 = Now();

  PROCESS_MEMORY_COUNTERS pmc = {};
  pmc.cb = sizeof(pmc);
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
  printf("load %.3f convert %.3f total %.3f frames %d result %d peak_ws_mb %.0f peak_private_mb %.0f\n", t1 - t0,
         t2 - t1, t2 - t0, (int)host.items.size(), result, pmc.PeakWorkingSetSize / 1048576.0,
         pmc.PeakPagefileUsage / 1048576.0);
  DestroyWindow(relay);
  return result == 0 ? 0 : 1;
}
