// Progress records and stopping: runs Smeltrix with a hidden window of this
// process as its callback window and answers its WM_COPYDATA records.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "interfaces/ToolContract.h"
#include "tests/support/TestFolders.h"

namespace {

struct Record {
  uint64_t context;
  int32_t event;
  int64_t total;
  int64_t position;
  int32_t frame;
  DWORD tick;
};

struct Receiver {
  std::vector<Record> records;
  int badRecords = 0;
  bool stopOnProgress = false;
  DWORD stopAnsweredAt = 0;
  // The first progress record is answered this late, and later ones ask to stop.
  DWORD stallMs = 0;
};

Receiver* g_receiver = nullptr;

LRESULT CALLBACK ReceiverProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA && g_receiver) {
    const COPYDATASTRUCT* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    if (cds->dwData != TOOL_CALLBACK_ID || cds->cbData != sizeof(ToolCallbackData)) {
      ++g_receiver->badRecords;
      return 0;
    }
    const ToolCallbackData* d = static_cast<const ToolCallbackData*>(cds->lpData);
    g_receiver->records.push_back(
        Record{d->context, d->event, d->progress.total, d->progress.position, d->progress.frame, GetTickCount()});
    if (d->event == TOOL_EVENT_PROGRESS && g_receiver->stallMs) {
      Sleep(g_receiver->stallMs);
      g_receiver->stallMs = 0;
      g_receiver->stopOnProgress = true;
      return 0;
    }
    if (d->event == TOOL_EVENT_PROGRESS && g_receiver->stopOnProgress) {
      if (!g_receiver->stopAnsweredAt) g_receiver->stopAnsweredAt = GetTickCount();
      return 1;
    }
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

std::wstring ModuleFolder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path);
  return p.substr(0, p.find_last_of(L"\\/"));
}

std::wstring SmeltrixPath() { return ModuleFolder() + L"\\..\\bin\\Modules\\Smeltrix.exe"; }

bool Exists(const std::wstring& p) { return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A 24-bit BMP of a moving gradient.
void WriteBmp(const std::wstring& path, int w, int h, int phase) {
  int stride = (w * 3 + 3) & ~3;
  BITMAPFILEHEADER fh = {};
  BITMAPINFOHEADER ih = {};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + stride * h;
  ih.biSize = sizeof ih;
  ih.biWidth = w;
  ih.biHeight = h;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  std::vector<uint8_t> rows((size_t)stride * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rows[(size_t)y * stride + x * 3];
      p[0] = (uint8_t)(x * 7 + phase * 5);
      p[1] = (uint8_t)(y * 3 + x * x / 16 + phase);
      p[2] = (uint8_t)((x ^ y) + phase * 11);
    }
  FILE* f = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  fwrite(&fh, sizeof fh, 1, f);
  fwrite(&ih, sizeof ih, 1, f);
  fwrite(rows.data(), 1, rows.size(), f);
  fclose(f);
}

class SmeltrixCallbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    m_dir = std::wstring(tmp) + L"smeltrix-cb-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(m_dir.c_str(), nullptr);
    for (int i = 0; i < kFrames; ++i) {
      wchar_t name[32];
      swprintf(name, 32, L"\\I%07d.bmp", i);
      WriteBmp(m_dir + name, 640, 480, i);
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ReceiverProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SmeltrixCallbackReceiver";
    RegisterClassW(&wc);
    m_wnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                            nullptr);
    ASSERT_NE(m_wnd, nullptr);
    g_receiver = &m_receiver;
  }
  void TearDown() override {
    g_receiver = nullptr;
    DestroyWindow(m_wnd);
    RemoveTree(m_dir.c_str());
  }

  // Runs the encoder with the converter's argument text, started directly as
  // the converter does, and pumps messages until it ends.
  DWORD RunEncoder(const std::wstring& output, DWORD* endTick, const std::wstring& inputDir = std::wstring(),
                   HWND callback = nullptr, const std::wstring& outputArgs = std::wstring()) {
    std::wstring in = inputDir.empty() ? m_dir : inputDir;
    std::wstring args = L" -r 10/1 -i \"" + in + L"\\I%07d.bmp\" -codec:v libx264 -q:v 0 -an " + outputArgs + L"-f mp4 \"" + output +
                        L"\" -y" + L" -callbackwindow " +
                        std::to_wstring((long long)(INT_PTR)(callback ? callback : m_wnd)) + L" -callbackcontext " +
                        std::to_wstring(kContext);
    std::wstring cmd = L"\"" + SmeltrixPath() + L"\"" + args;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<wchar_t> buf(cmd.begin(), cmd.end());
    buf.push_back(0);
    if (!CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return (DWORD)-1;
    for (;;) {
      DWORD r = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 60000, QS_ALLINPUT);
      if (r == WAIT_OBJECT_0) break;
      if (r != WAIT_OBJECT_0 + 1) {
        TerminateProcess(pi.hProcess, 99);
        break;
      }
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    *endTick = GetTickCount();
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
  }

  bool FolderHasPartFiles() { return !FilesIn(m_dir.c_str(), L"*.part").empty(); }

  static constexpr int kFrames = 40;
  static constexpr uint64_t kContext = 0x123456789ABCULL;
  std::wstring m_dir;
  HWND m_wnd = nullptr;
  Receiver m_receiver;
};

TEST_F(SmeltrixCallbackTest, ReportsStartProgressAndFinishWithTheContext) {
  std::wstring out = m_dir + L"\\out.mp4";
  DWORD end = 0;
  EXPECT_EQ(RunEncoder(out, &end), 0u);
  EXPECT_TRUE(Exists(out));
  EXPECT_FALSE(FolderHasPartFiles());
  EXPECT_EQ(m_receiver.badRecords, 0);

  const std::vector<Record>& r = m_receiver.records;
  ASSERT_GE(r.size(), 3u);
  EXPECT_EQ(r.front().event, TOOL_EVENT_START);
  EXPECT_EQ(r.front().total, kFrames);
  EXPECT_EQ(r.back().event, TOOL_EVENT_FINISH);
  int starts = 0, progress = 0, lastFrame = 0;
  for (const Record& rec : r) {
    EXPECT_EQ(rec.context, kContext);
    starts += rec.event == TOOL_EVENT_START;
    if (rec.event == TOOL_EVENT_PROGRESS) {
      ++progress;
      EXPECT_GE(rec.frame, lastFrame);
      EXPECT_LE(rec.position, rec.total);
      lastFrame = rec.frame;
    }
  }
  EXPECT_EQ(starts, 1);
  EXPECT_GE(progress, 1);
  EXPECT_EQ(lastFrame, kFrames);
  EXPECT_EQ(r.back().frame, kFrames);
}

TEST_F(SmeltrixCallbackTest, TakesPathsBeyondTheAnsiCodePage) {
  std::wstring dir = m_dir + L"\\Bilder K\u00e4se \u0436\u4e2d";
  ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
  for (int i = 0; i < 3; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"\\I%07d.bmp", i);
    WriteBmp(dir + name, 64, 48, i);
  }
  std::wstring out = dir + L"\\Vid\u00e9o \u03a9.mp4";
  DWORD end = 0;
  EXPECT_EQ(RunEncoder(out, &end, dir), 0u);
  EXPECT_TRUE(Exists(out));
  ASSERT_FALSE(m_receiver.records.empty());
  EXPECT_EQ(m_receiver.records.front().total, 3);
  DeleteFileW(out.c_str());
  for (int i = 0; i < 3; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"\\I%07d.bmp", i);
    DeleteFileW((dir + name).c_str());
  }
  RemoveDirectoryW(dir.c_str());
}

TEST_F(SmeltrixCallbackTest, AnswerOneStopsSoonAndLeavesNoFile) {
  std::wstring out = m_dir + L"\\stopped.mp4";
  m_receiver.stopOnProgress = true;
  DWORD end = 0;
  DWORD code = RunEncoder(out, &end);
  // The encoder stopped by itself (exit code 2, and it closed the run with a
  // finish record), not by the test's hang guard.
  EXPECT_EQ(code, 2u);
  ASSERT_NE(m_receiver.stopAnsweredAt, 0u);
  ASSERT_FALSE(m_receiver.records.empty());
  EXPECT_EQ(m_receiver.records.back().event, TOOL_EVENT_FINISH);
  EXPECT_FALSE(Exists(out));
  EXPECT_FALSE(FolderHasPartFiles());
  int progressAfterStop = 0;
  for (const Record& rec : m_receiver.records) progressAfterStop += rec.event == TOOL_EVENT_PROGRESS;
  EXPECT_EQ(progressAfterStop, 1);
}

TEST_F(SmeltrixCallbackTest, StoppedRunKeepsAnExistingOutput) {
  std::wstring out = m_dir + L"\\kept.mp4";
  FILE* f = _wfopen(out.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  fputs("previous", f);
  fclose(f);
  m_receiver.stopOnProgress = true;
  DWORD end = 0;
  EXPECT_NE(RunEncoder(out, &end), 0u);
  WIN32_FILE_ATTRIBUTE_DATA a;
  ASSERT_TRUE(GetFileAttributesExW(out.c_str(), GetFileExInfoStandard, &a));
  EXPECT_EQ(a.nFileSizeLow, 8u);
  EXPECT_FALSE(FolderHasPartFiles());
}

// A receiver that stops answering does not hold the encoder: the run ends.
TEST_F(SmeltrixCallbackTest, HungReceiverDoesNotHoldTheRun) {
  struct Hung {
    HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND wnd = nullptr;
  } hung;
  // The window's thread never looks at its messages until the run is over.
  std::thread owner([&]() {
    hung.wnd = CreateWindowExW(0, L"SmeltrixCallbackReceiver", L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    SetEvent(hung.created);
    WaitForSingleObject(hung.release, INFINITE);
    DestroyWindow(hung.wnd);
  });
  WaitForSingleObject(hung.created, INFINITE);
  std::wstring out = m_dir + L"\\hung.mp4";
  DWORD end = 0;
  EXPECT_EQ(RunEncoder(out, &end, std::wstring(), hung.wnd), 0u);
  EXPECT_TRUE(Exists(out));
  EXPECT_FALSE(FolderHasPartFiles());
  SetEvent(hung.release);
  owner.join();
  CloseHandle(hung.created);
  CloseHandle(hung.release);
}

// A receiver that once answers too late still gets the progress afterwards,
// and the encoder still learns of a stop from it.
TEST_F(SmeltrixCallbackTest, StalledReceiverStillStopsTheRun) {
  // More frames than the encoder holds back, encoded on one thread: the
  // run goes on for a while after the stall.
  const std::wstring dir = m_dir + L"\\long";
  ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
  for (int i = 0; i < 2 * kFrames; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"\\I%07d.bmp", i);
    WriteBmp(dir + name, 640, 480, i);
  }
  std::wstring out = m_dir + L"\\stalled.mp4";
  m_receiver.stallMs = 5300;  // the encoder waits 5 s for an answer
  DWORD end = 0;
  EXPECT_EQ(RunEncoder(out, &end, dir, nullptr, L"-threads 1 "), 2u);
  EXPECT_NE(m_receiver.stopAnsweredAt, 0u);
  EXPECT_FALSE(Exists(out));
  EXPECT_FALSE(FolderHasPartFiles());
}

// Partial files that an encoder ended by force left behind are removed when
// the next run of the same output starts; those of a running encoder stay.
TEST_F(SmeltrixCallbackTest, StalePartialFilesOfTheOutputAreRemoved) {
  std::wstring out = m_dir + L"\\again.mp4";
  auto touch = [](const std::wstring& p) {
    FILE* f = _wfopen(p.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    fputs("partial", f);
    fclose(f);
  };
  // A process id that no running process has: Wine and Windows hand out multiples of 4.
  const std::wstring dead = out + L".~4294967293.part";
  const std::wstring alive = out + L".~" + std::to_wstring(GetCurrentProcessId()) + L".part";
  const std::wstring other = m_dir + L"\\other.mp4.~4294967293.part";
  touch(dead);
  touch(alive);
  touch(other);
  DWORD end = 0;
  EXPECT_EQ(RunEncoder(out, &end), 0u);
  EXPECT_TRUE(Exists(out));
  EXPECT_FALSE(Exists(dead));
  EXPECT_TRUE(Exists(alive));
  EXPECT_TRUE(Exists(other));
  DeleteFileW(alive.c_str());
  DeleteFileW(other.c_str());
}

}  // namespace
