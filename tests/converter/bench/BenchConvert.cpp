// Times the converter's road from a folder of DICOM slices to an MP4 (H.264).
// With --page (the default) the series-to-video page does it as a user drives
// it: the folder dropped on the page, its loader, Convert with the Save dialog
// answered, its conversion. With --core the same steps run without windows.
// Prints "load <s> convert <s> total <s> frames <n> result <r> peak_ws_mb <n>
// peak_private_mb <n>". Usage: bench_convert [--page|--core] FOLDER OUTPUT.mp4
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "foundation/Folders.h"
#include "imaging/library/ImageLibrary.h"
#include "converter/jobs/SeriesConversion.h"
#include "converter/jobs/SeriesLoading.h"
#include "tests/TestPaths.h"
#include "tests/support/UiTestSupport.h"
#include "converter/jobs/WorkFolders.h"
#include "afxwin.h"
#include "converter/app/ConverterGlobals.h"
#include "resources/converter/ConverterRes.h"
#include "converter/app/ConverterResources.h"
#include "converter/app/ConverterSettings.h"
#include "tests/converter/support/DialogAnswerer.h"
#include "tests/converter/support/JobDoubles.h"
#include "tests/converter/support/RelayWindow.h"
#include "converter/pages/SeriesToVideoPage.h"
#include <shlobj.h>
#include <shlwapi.h>

namespace {
double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return (double)c.QuadPart / (double)f.QuadPart;
}
}  // namespace

void Report(double load, double convert, int frames, int result) {
  PROCESS_MEMORY_COUNTERS pmc = {};
  pmc.cb = sizeof(pmc);
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
  printf("load %.3f convert %.3f total %.3f frames %d result %d peak_ws_mb %.0f peak_private_mb %.0f\n", load, convert,
         load + convert, frames, result, pmc.PeakWorkingSetSize / 1048576.0, pmc.PeakPagefileUsage / 1048576.0);
}

// A top-level window holding the page, as the main dialog does.
class CBenchHostWnd : public CWnd {};

int RunPage(const wchar_t* folder, const wchar_t* output) {
  CWinApp app(L"ReelsmithBench");
  app.SetRegistryKey(L"MorrowtideBench");
  app.WriteProfileString(L"", L"AppFolder", BuildTreePath(L"bin"));
  CConverterResources res;
  if (res.Init() != 0) return 3;
  CConverterSettings settings;
  settings.Load();
  CImageLibrary library;
  if (library.Load(BuildTreePath(L"bin\\Quillfen.dll")) != 0) return 3;
  SetConverterGlobals(&res, &settings, &library);
  DeleteTempWorkFolder();

  CBenchHostWnd host;
  LPCTSTR cls = AfxRegisterWndClass(0, ::LoadCursorW(nullptr, IDC_ARROW), (HBRUSH)::GetStockObject(WHITE_BRUSH));
  host.CreateEx(0, cls, L"Bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 1000, 640, nullptr,
                nullptr);
  CSeriesToVideoPage* page = new CSeriesToVideoPage;
  page->Create(IDD_SERIES_PAGE, &host);
  CRect rc;
  host.GetClientRect(&rc);
  page->MoveWindow(&rc);
  page->ShowWindow(SW_SHOW);
  PumpPending();

  // The folder dropped from the shell.
  const size_t chars = wcslen(folder) + 2;
  HGLOBAL mem = ::GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  DROPFILES* df = (DROPFILES*)::GlobalLock(mem);
  df->pFiles = sizeof(DROPFILES);
  df->fWide = TRUE;
  wcscpy((wchar_t*)(df + 1), folder);
  ::GlobalUnlock(mem);
  const double t0 = Now();
  page->SendMessage(WM_DROPFILES, (WPARAM)mem, 0);
  PumpUntil([&] { return !page->IsLoading(); }, 3600 * 1000);
  const double t1 = Now();
  const int frames = page->m_wndStrip.GetItemCount();

  ::DeleteFileW(output);
  int result;
  {
    CDialogAnswerer save(L"Save Video File As", [&](HWND frame) {
      HWND field = ::GetDlgItem(frame, cmb13);
      if (HWND edit = ::FindWindowExW(field, nullptr, L"Edit", nullptr)) field = edit;
      ::SendMessageW(field, WM_SETTEXT, 0, (LPARAM)output);
      CDialogAnswerer::Press(frame, IDOK);
    });
    ::SendMessageW(::GetDlgItem(page->m_hWnd, IDC_CONVERT), BM_CLICK, 0, 0);
    PumpUntil([&] { return !page->IsConverting(); }, 3600 * 1000);
    result = page->GetStatusText() == L"Completed." ? 0 : 1;
  }
  const double t2 = Now();
  Report(t1 - t0, t2 - t1, frames, result);
  page->DestroyWindow();
  delete page;
  host.DestroyWindow();
  SetConverterGlobals(nullptr, nullptr, nullptr);
  CString key = L"Software\\MorrowtideBench";
  ::SHDeleteKeyW(HKEY_CURRENT_USER, key);
  return result;
}

int RunCore(const wchar_t* folder, const wchar_t* output) {
  CWinApp app(L"ReelsmithBench");
  CImageLibrary library;
  if (library.Load(BuildTreePath(L"bin\\Quillfen.dll")) != 0) return 3;
  HWND relay = MakeRelayWindow();

  CFrameCollector frames;
  const double t0 = Now();
  CSeriesLoader loader(&library, &frames);
  loader.ScanFolder(folder, L"*.dcm", 0);
  const double t1 = Now();

  CRecordingReport report;
  CStopFlag stop{STOP_NONE};
  CSeriesJob job(report, stop);
  job.m_frames = frames.items;
  CString base = GetUserDataFolder() + L"\\Temp";
  job.m_strWorkFolder = CreateWorkFolderIn(base);
  job.m_strOutputPath = output;
  job.m_nFormatIndex = 0;
  job.m_strEncoderPath = BuildTreePath(L"bin\\Modules\\Smeltrix.exe");
  job.m_strPresetsFolder = BuildTreePath(L"bin\\Modules\\Presets");
  job.m_hCallbackWnd = relay;
  std::atomic<bool> done{false};
  JobResult result = JobResult::Failed;
  std::thread worker([&] {
    CWorkFolderGuard guard(job.m_strWorkFolder, 1);
    result = job.WriteVideo();
    done = true;
  });
  PumpUntil([&] { return done.load(); }, 3600 * 1000);
  worker.join();
  const double t2 = Now();
  Report(t1 - t0, t2 - t1, (int)frames.items.size(), (int)result);
  for (const CString& message : report.messages) fwprintf(stderr, L"%ls\n", (LPCTSTR)message);
  DestroyWindow(relay);
  return result == JobResult::Done ? 0 : 1;
}

int wmain(int argc, wchar_t** argv) {
  int first = 1;
  bool core = false;
  if (argc > 1 && wcscmp(argv[1], L"--core") == 0)
    core = true, first = 2;
  else if (argc > 1 && wcscmp(argv[1], L"--page") == 0)
    first = 2;
  if (argc < first + 2) return 2;
  return core ? RunCore(argv[first], argv[first + 1]) : RunPage(argv[first], argv[first + 1]);
}
