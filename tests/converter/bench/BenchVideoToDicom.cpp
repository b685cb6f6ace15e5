// Runs one conversion on the video-to-DICOM page, as a user would (source
// and folder typed in, Convert pressed, the folder chooser answered), and
// prints how long it took from Convert until the worker ended. Used by
// scripts/bench-video2dicom.
// bench_video2dicom VIDEO OUTPUT_FOLDER PROGRAM_FOLDER
#include <shlobj.h>

#include <cstdio>

#include "converter/app/ConverterGlobals.h"
#include "resources/converter/ConverterRes.h"
#include "converter/app/ConverterResources.h"
#include "converter/app/ConverterSettings.h"
#include "tests/converter/support/ConverterTestApp.h"
#include "tests/converter/support/DialogAnswerer.h"
#include "imaging/library/ImageLibrary.h"
#include "tests/converter/support/PageHost.h"
#include "tests/support/UiTestSupport.h"
#include "converter/pages/VideoToDicomPage.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    fwprintf(stderr, L"usage: bench_video2dicom VIDEO OUTPUT_FOLDER PROGRAM_FOLDER\n");
    return 2;
  }
  const CString program(argv[3]);
  CConverterTestApp app(L"BenchVideoToDicom");
  CConverterResources res;
  CConverterSettings settings;
  CImageLibrary library;
  if (res.Init() != 0 || library.Load(program + L"\\Quillfen.dll") != 0) {
    fwprintf(stderr, L"cannot set up the converter's parts\n");
    return 1;
  }
  res.m_strEncoderPath = program + L"\\Modules\\Smeltrix.exe";
  res.m_strProbePath = program + L"\\Modules\\Sondrel.exe";
  settings.Load();
  SetConverterGlobals(&res, &settings, &library);

  int result = 1;
  {
    CPageHostWnd host;
    CVideoToDicomPage page;
    if (!host.CreateHost(820, 600) || !page.Create(IDD_VIDEO_PAGE, &host)) return 1;
    host.Fit(page);
    page.SetDlgItemText(IDC_FILE_NAME, argv[1]);
    ::SendMessageW((HWND)page.m_comboFolder.SendMessage(CBEM_GETEDITCONTROL), WM_SETTEXT, 0, (LPARAM)argv[2]);
    PumpPending();
    // The folder chooser is cancelled at once: the typed folder stays.
    CDialogAnswerer browser(L"Browse for Folder", [](HWND dlg) {
      for (int i = 0; i < 200 && ::IsWindow(dlg); ++i) {
        ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        for (int j = 0; j < 40 && ::IsWindow(dlg); ++j) ::Sleep(25);
      }
    });

    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    ::SendMessageW(::GetDlgItem(page.m_hWnd, IDC_CONVERT), BM_CLICK, 0, 0);
    PumpUntil([&] { return !page.IsWorkerRunning(); }, 600000);
    QueryPerformanceCounter(&t1);
    const double ms = (t1.QuadPart - t0.QuadPart) * 1000.0 / freq.QuadPart;
    const CString status = page.GetStatusText();
    printf("%d files, %.0f ms, %ls\n", page.m_list.GetItemCount(), ms, (LPCTSTR)status);
    result = status == L"Completed." ? 0 : 1;
    page.DestroyWindow();
    host.DestroyWindow();
  }
  SetConverterGlobals(nullptr, nullptr, nullptr);
  return result;
}
