#include <atomic>
#include <thread>

#include "converter/tools/EncoderTool.h"
#include "tests/converter/support/RelayWindow.h"
#include "tests/converter/tools/ToolTestSupport.h"

namespace {
CString EncoderPath() {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  PathRemoveFileSpecW(exe);
  return CString(exe) + L"\\..\\bin\\Modules\\Smeltrix.exe";
}

// A 24-bit bottom-up BMP with a moving bar, so that frames differ.
void WriteFrame(const CString& path, int w, int h, int n) {
  int stride = (w * 3 + 3) & ~3;
  std::vector<BYTE> file(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + (size_t)stride * h);
  auto* fh = (BITMAPFILEHEADER*)file.data();
  auto* ih = (BITMAPINFOHEADER*)(file.data() + sizeof(BITMAPFILEHEADER));
  fh->bfType = 0x4D42;
  fh->bfSize = (DWORD)file.size();
  fh->bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  ih->biSize = sizeof(BITMAPINFOHEADER);
  ih->biWidth = w;
  ih->biHeight = h;
  ih->biPlanes = 1;
  ih->biBitCount = 24;
  BYTE* px = file.data() + fh->bfOffBits;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      BYTE* p = px + (size_t)y * stride + x * 3;
      bool bar = ((x + n * 7) / 16) % 2 == 0;
      p[0] = (BYTE)(x * 255 / w);
      p[1] = (BYTE)(y * 255 / h);
      p[2] = bar ? 255 : (BYTE)(n * 3);
    }
  HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(f, file.data(), (DWORD)file.size(), &written, nullptr);
  CloseHandle(f);
}

// Answers like a conversion page: stop asked for means "stop" to the encoder.
struct StoppingSink : CToolProgressSink {
  CStopFlag* flag = nullptr;
  int stopAfter = 0;
  int progress = 0, starts = 0, finishes = 0;
  DWORD answeredStopAt = 0;
  int OnRunBegin() override { return 0; }
  int OnRunEnd() override { return 0; }
  int OnToolStart(const ToolProgress&) override {
    ++starts;
    return 0;
  }
  int OnToolProgress(const ToolProgress&) override {
    if (++progress == stopAfter) *flag = 2;
    if (*flag != 0) {
      if (!answeredStopAt) answeredStopAt = GetTickCount();
      return 1;
    }
    return 0;
  }
  int OnToolFinish(const ToolProgress&) override {
    ++finishes;
    return 0;
  }
};

}  // namespace

// The real encoder, driven the way the series-to-video page drives it.
TEST(EncoderRun, ProgressAndStopThroughTheWrapper) {
  ASSERT_TRUE(PathFileExistsW(EncoderPath()));
  CString dir = TestFolder() + L"\\stop frames";
  CreateDirectoryW(dir, nullptr);
  const int frames = 120;
  for (int i = 0; i < frames; ++i) {
    CString name;
    name.Format(L"%s\\I%07d.bmp", (LPCTSTR)dir, i);
    WriteFrame(name, 320, 240, i);
  }
  HWND page = MakeRelayWindow();

  auto run = [&](StoppingSink& sink, CStopFlag& flag, const CString& out) {
    CEncoderTool tool;
    EXPECT_EQ(0, tool.InitWithSink(EncoderPath(), L"", page, &sink));
    std::atomic<bool> done{false};
    int result = 0;
    std::thread worker([&] {
      result = tool.TranscodeSegment(dir + L"\\I%07d.bmp", 10, 1, out, L"mp4", L"libx264", 0, 0, 1, -1, &flag);
      done = true;
    });
    while (!done) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    worker.join();
    if (sink.answeredStopAt) {
      // The encoder ended by itself and closed the run with its own finish
      // record (a forced end after the grace time sends none).
      EXPECT_FALSE(tool.m_bForcedStop);
      EXPECT_EQ(sink.finishes, 2);
    }
    return result;
  };

  CString out = TestFolder() + L"\\whole run.mp4";
  DeleteFileW(out);
  StoppingSink whole;
  CStopFlag flag{0};
  whole.flag = &flag;
  EXPECT_EQ(0, run(whole, flag, out));
  EXPECT_EQ(1, whole.starts);
  EXPECT_GE(whole.progress, 1);
  EXPECT_EQ(2, whole.finishes);  // the encoder's own, and once after the run
  EXPECT_TRUE(PathFileExistsW(out));

  CString stopped = TestFolder() + L"\\stopped run.mp4";
  DeleteFileW(stopped);
  StoppingSink stopper;
  flag = 0;
  stopper.flag = &flag;
  stopper.stopAfter = 2;
  EXPECT_EQ(1, run(stopper, flag, stopped));
  EXPECT_FALSE(PathFileExistsW(stopped));
  DestroyWindow(page);
}
