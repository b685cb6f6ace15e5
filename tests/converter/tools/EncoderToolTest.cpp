#include <atomic>
#include <thread>
#include <vector>

#include "converter/tools/EncoderTool.h"
#include "tests/converter/support/RelayWindow.h"
#include "tests/converter/tools/ToolTestSupport.h"

namespace {
struct RecordingSink : CToolProgressSink {
  std::vector<std::string> calls;
  std::vector<long long> positions;
  long long total = -1;
  int answer = 0;
  int OnRunBegin() override {
    calls.push_back("begin");
    return 0;
  }
  int OnRunEnd() override {
    calls.push_back("end");
    return 0;
  }
  int OnToolStart(const ToolProgress& p) override {
    calls.push_back("start");
    total = p.total;
    return 0;
  }
  int OnToolProgress(const ToolProgress& p) override {
    calls.push_back("progress");
    positions.push_back(p.position);
    return answer;
  }
  int OnToolFinish(const ToolProgress&) override {
    calls.push_back("finish");
    return 0;
  }
};

// Runs job on a worker thread while this thread pumps messages.
int RunPumping(CEncoderTool& tool, CEncoderJob& job, const CStopFlag* cancel) {
  std::atomic<bool> done{false};
  int result = 0;
  std::thread worker([&] {
    result = tool.Execute(job, cancel);
    done = true;
  });
  while (!done) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  worker.join();
  return result;
}

ToolCallbackData Record(ULONGLONG context, int event, long long position) {
  ToolCallbackData d;
  memset(&d, 0, sizeof(d));
  d.context = context;
  d.event = event;
  d.progress.position = position;
  return d;
}
}  // namespace

TEST(EncoderTool, CommandLineCarriesCallbackArguments) {
  CString argsFile = TestFolder() + L"\\encoder args.txt";
  CEncoderTool tool;
  ASSERT_EQ(0, tool.Init(FakeToolPath(), L"C:\\presets", nullptr));
  CEncoderJob job;
  job.m_strExtraArgs1.Format(L"--args \"%s\"", (LPCTSTR)argsFile);
  job.m_nWidth = 641;
  job.m_nHeight = 480;
  ASSERT_EQ(0, tool.Execute(job, nullptr));
  EXPECT_EQ(642, job.m_nWidth);
  std::string seen = ReadUtf8(argsFile);
  EXPECT_NE(std::string::npos, seen.find("\n-s\n642x480\n")) << seen;
  EXPECT_NE(std::string::npos, seen.find("\n-y\n-callbackcontext\n")) << seen;
  EXPECT_EQ(std::string::npos, seen.find("-callbackwindow")) << seen;

  HWND wnd = MakeRelayWindow();
  ASSERT_NE(nullptr, wnd);
  tool.Init(FakeToolPath(), L"", wnd);
  ASSERT_EQ(0, tool.Execute(job, nullptr));
  seen = ReadUtf8(argsFile);
  char expect[64];
  snprintf(expect, sizeof(expect), "\n-callbackwindow\n%lld\n", (long long)(LONG_PTR)wnd);
  EXPECT_NE(std::string::npos, seen.find(expect)) << seen;
  DestroyWindow(wnd);
}

TEST(EncoderTool, SinkSeesWholeRunAcrossProcesses) {
  HWND wnd = MakeRelayWindow();
  RecordingSink sink;
  CEncoderTool tool;
  ASSERT_EQ(0, tool.InitWithSink(FakeToolPath(), L"", wnd, &sink));
  CEncoderJob job;
  job.m_strExtraArgs1 = L"--progress 5";
  CStopFlag flag{0};
  EXPECT_EQ(0, RunPumping(tool, job, &flag));
  std::vector<std::string> expected = {"begin",    "start",    "progress", "progress", "progress",
                                       "progress", "progress", "finish",   "finish",   "end"};
  EXPECT_EQ(expected, sink.calls);
  EXPECT_EQ(5, sink.total);
  EXPECT_EQ((std::vector<long long>{1, 2, 3, 4, 5}), sink.positions);
  EXPECT_EQ(5, tool.m_lastProgress.frame);

  // An answer of 1 makes the tool stop with a failure.
  RecordingSink stopper;
  stopper.answer = 1;
  tool.InitWithSink(FakeToolPath(), L"", wnd, &stopper);
  EXPECT_EQ(-1, RunPumping(tool, job, &flag));
  EXPECT_EQ(1u, std::count(stopper.calls.begin(), stopper.calls.end(), std::string("progress")));
  DestroyWindow(wnd);
}

TEST(EncoderTool, MissingEncoderStillClosesTheRun) {
  RecordingSink sink;
  CEncoderTool tool;
  tool.InitWithSink(L"C:\\nowhere\\Smeltrix.exe", L"", nullptr, &sink);
  CEncoderJob job;
  EXPECT_EQ(-1, tool.Execute(job, nullptr));
  EXPECT_EQ((std::vector<std::string>{"begin", "finish", "end"}), sink.calls);
}

TEST(EncoderTool, RelayTakesOnlyWellFormedRecordsOfLiveRuns) {
  RecordingSink sink;
  CEncoderTool tool;
  tool.InitWithSink(FakeToolPath(), L"", nullptr, &sink);
  // The tool runs until the test has looked at the records of its run.
  CString release = TestFolder() + L"\\relay.done";
  DeleteFileW(release);
  CEncoderJob job;
  job.m_strExtraArgs1.Format(L"--until \"%s\"", (LPCTSTR)release);
  std::thread worker([&] { tool.Execute(job, nullptr); });
  ULONGLONG live = 0;
  for (int i = 0; i < 6000 && !(live = tool.GetContext()); ++i) Sleep(10);  // the run has begun
  ASSERT_NE(0u, live);
  ToolCallbackData rec = Record(live, TOOL_EVENT_PROGRESS, 42);
  LRESULT result = 77;
  EXPECT_FALSE(CEncoderTool::RelayCopyData(TOOL_CALLBACK_ID, sizeof(rec) - 1, &rec, result));
  EXPECT_FALSE(CEncoderTool::RelayCopyData(TOOL_CALLBACK_ID, sizeof(rec) + 1, &rec, result));
  EXPECT_FALSE(CEncoderTool::RelayCopyData(1011, sizeof(rec), &rec, result));
  ToolCallbackData stranger = Record(live + 1000, TOOL_EVENT_PROGRESS, 1);
  EXPECT_FALSE(CEncoderTool::RelayCopyData(TOOL_CALLBACK_ID, sizeof(stranger), &stranger, result));
  EXPECT_EQ(77, result);
  EXPECT_TRUE(sink.positions.empty());

  // A progress record before any start still updates the position.
  EXPECT_TRUE(CEncoderTool::RelayCopyData(TOOL_CALLBACK_ID, sizeof(rec), &rec, result));
  EXPECT_EQ(0, result);
  EXPECT_EQ((std::vector<long long>{42}), sink.positions);
  ToolCallbackData odd = Record(live, 13, 99);
  EXPECT_TRUE(CEncoderTool::RelayCopyData(TOOL_CALLBACK_ID, sizeof(odd), &odd, result));
  EXPECT_EQ(-1, result);
  EXPECT_EQ(99, tool.m_lastProgress.position);
  CloseHandle(CreateFileW(release, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  worker.join();
  DeleteFileW(release);

  // After the run its context names nothing.
  EXPECT_FALSE(CEncoderTool::RelayCopyData(TOOL_CALLBACK_ID, sizeof(rec), &rec, result));
}

// An encoder ended by force after the grace time leaves its partial file; the
// wrapper removes it, and keeps the partial file of an encoder still running.
TEST(EncoderTool, ForcedStopRemovesThePartialFile) {
  CString out = TestFolder() + L"\\forced out.mp4";
  CString alive;
  alive.Format(L"%s.~%lu.part", (LPCTSTR)out, GetCurrentProcessId());  // this process runs
  HANDLE f = CreateFileW(alive, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(f);
  CString pidFile = TestFolder() + L"\\forced.pid";
  DeleteFileW(pidFile);
  CEncoderTool tool;
  ASSERT_EQ(0, tool.Init(FakeToolPath(), L"", nullptr));
  CEncoderJob job;
  job.m_strOutput = out;
  job.m_strExtraArgs1.Format(L"--pid \"%s\" --part \"%s\" --sleep 60000", (LPCTSTR)pidFile, (LPCTSTR)out);
  CStopFlag flag{0};
  std::thread stopper([&] {
    // Stop once the tool has left its partial file.
    for (int i = 0; i < 6000 && GetFileAttributesW(pidFile) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(10);
    flag = 2;
  });
  EXPECT_EQ(1, tool.Execute(job, &flag));
  stopper.join();
  EXPECT_TRUE(tool.m_bForcedStop);
  const CString left = out + L".~" + CString(ReadUtf8(pidFile).c_str()) + L".part";
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(left)) << ReadUtf8(pidFile);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(alive));
  DeleteFileW(alive);
  DeleteFileW(pidFile);
}
