// The video-to-DICOM job without its page, with the real encoder, probe and
// image library: what the page cannot easily provoke (frames that fail or
// vanish mid-job, stops at exact moments, a '%' in the work folder, output
// folders that cannot be made) and further containers. Counts come from the
// system's ffprobe.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "converter/tools/EncoderTool.h"
#include "imaging/library/ImageLibrary.h"
#include "tests/converter/jobs/VideoTestFiles.h"
#include "converter/jobs/VideoToDicomJob.h"

namespace {
CString Output(LPCTSTR name) { return FullPath(BuildTreePath(CString(L"testdata\\video2dicom\\out\\") + name)); }
CString WorkFolder(LPCTSTR name) { return FreshFolder(Output(CString(L"work\\") + name)); }

// Plays the page: records what the job shows and lets a test step in.
class RecordingHost : public CVideoToDicomHost {
 public:
  void ChooseSource(CString&) override { ++sourceChoices; }
  void ChooseDestination(CString&) override { ++folderChoices; }
  void ShowMessage(LPCTSTR text) override { messages.push_back(text); }
  void SetStatus(LPCTSTR text, COLORREF color) override {
    status = text;
    statusColor = color;
    statuses.push_back(text);
    if (onStatus) onStatus(status);
  }
  void SetBusy(BOOL busy) override { busyCalls.push_back(busy); }
  void SetProgressRange(LONGLONG) override {}
  void SetProgressPos(LONGLONG) override {}
  void DeleteAllOutputItems() override { states.clear(); }
  int AddOutputItem(LPCTSTR) override {
    states.push_back(ITEM_STATE_NONE);
    return (int)states.size() - 1;
  }
  void EnsureVisible(int) override {}
  void SetItemState(int row, int state) override {
    states.at(row) = state;
    if (onState) onState(row, state);
  }
  int ConfirmOverwrite(LPCTSTR, int&, BOOL) override { return 0; }

  int sourceChoices = 0, folderChoices = 0;
  CString status;
  COLORREF statusColor = 0;
  std::vector<CString> statuses, messages;
  std::vector<BOOL> busyCalls;
  std::vector<int> states;
  std::function<void(const CString&)> onStatus;
  std::function<void(int, int)> onState;
};

// The page's answer to the encoder: stop when the flag is set.
class StopSink : public CToolProgressSink {
 public:
  int OnRunBegin() override { return 0; }
  int OnRunEnd() override { return 0; }
  int OnToolStart(const ToolProgress&) override { return 0; }
  int OnToolProgress(const ToolProgress&) override { return *stop != 0 ? 1 : 0; }
  int OnToolFinish(const ToolProgress&) override { return 0; }
  volatile int* stop = nullptr;
};

LRESULT CALLBACK RelayProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    auto* cds = (const COPYDATASTRUCT*)lp;
    LRESULT result = 0;
    if (CEncoderTool::RelayCopyData(cds->dwData, cds->cbData, cds->lpData, result)) return result;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

class VideoToDicomJob : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    library_ = new CImageLibraryLoader;
    ASSERT_EQ(0, library_->Load(BuildTreePath(L"bin\\Quillfen.dll")));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RelayProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VideoToDicomRelay";
    RegisterClassW(&wc);
  }
  static void TearDownTestSuite() {
    delete library_;
    library_ = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(nullptr, library_);
    window_ = CreateWindowW(L"VideoToDicomRelay", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    job_.m_pHost = &host_;
    job_.m_pStop = &stop_;
    job_.m_strEncoderPath = BuildTreePath(L"bin\\Modules\\Smeltrix.exe");
    job_.m_strProbePath = BuildTreePath(L"bin\\Modules\\Sondrel.exe");
    job_.m_hCallbackWnd = window_;
    job_.m_pSink = &sink_;
    job_.m_pLibrary = library_;
    sink_.stop = &stop_;
  }
  void TearDown() override { DestroyWindow(window_); }

  // Runs the job on a worker, as the page does, while this thread relays the
  // encoder's progress records.
  int Run(LPCTSTR source, const CString& out, const CString& work) {
    job_.m_strSourcePath = Media(source);
    job_.m_strOutputFolder = out;
    std::atomic<bool> done{false};
    int result = -99;
    std::thread worker([&] {
      result = job_.Run(work);
      done = true;
    });
    const DWORD start = GetTickCount();
    while (!done && GetTickCount() - start < 120000) {  // hang guard
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    worker.join();
    return result;
  }

  static CImageLibraryLoader* library_;
  HWND window_ = nullptr;
  volatile int stop_ = 0;
  RecordingHost host_;
  StopSink sink_;
  CVideoToDicomJob job_;
};
CImageLibraryLoader* VideoToDicomJob::library_ = nullptr;

TEST_F(VideoToDicomJob, OtherContainersAndCodecs) {
  for (LPCTSTR file : {L"echo.avi", L"scope.flv"}) {
    SCOPED_TRACE(CStringA(file).GetString());
    const int expected = ExpectedCount(CString(file) + L".count");
    ASSERT_GT(expected, 0);
    const CString out = FreshFolder(Output(file));
    host_ = RecordingHost();
    EXPECT_EQ(0, Run(file, out, WorkFolder(file)));
    EXPECT_EQ(std::vector<int>(expected, ITEM_STATE_DONE), host_.states);
    EXPECT_EQ(expected, CountFiles(out));
    EXPECT_STREQ(L"Completed.", host_.status);
  }
}

// A '%' in the work folder's path (a user named so) must reach the encoder
// as a plain character.
TEST_F(VideoToDicomJob, WorkFolderWithPercent) {
  const CString out = FreshFolder(Output(L"percent work"));
  const CString work = WorkFolder(L"50% %d %s");
  EXPECT_EQ(0, Run(L"ten.mp4", out, work));
  EXPECT_EQ(10, CountFiles(out));
  EXPECT_STREQ(L"Completed.", host_.status);
  EXPECT_FALSE(PathFileExistsW(work));
}

// A stop that lands just after the encoder finished is a stop, not a video
// that could not be loaded.
TEST_F(VideoToDicomJob, StopRightAfterExtraction) {
  const CString out = FreshFolder(Output(L"stopped after"));
  host_.onStatus = [&](const CString& text) {
    if (text == L"Extracted video frames.") stop_ = 2;
  };
  EXPECT_EQ(-1, Run(L"ten.mp4", out, WorkFolder(L"stopped after")));
  EXPECT_STREQ(L"Canceled.", host_.status);
  EXPECT_EQ(STATUS_NORMAL, host_.statusColor);
  EXPECT_TRUE(host_.states.empty());
  EXPECT_EQ(0, CountFiles(out));
}

// Files already being written when the stop comes are finished and listed
// "OK"; no further file is started.
TEST_F(VideoToDicomJob, StopBetweenDicomFiles) {
  const CString out = FreshFolder(Output(L"stopped later"));
  host_.onState = [&](int row, int state) {
    if (row == 1 && state == ITEM_STATE_DONE) stop_ = 2;
  };
  EXPECT_EQ(0, Run(L"ten.mp4", out, WorkFolder(L"stopped later")));
  const int rows = (int)host_.states.size();
  EXPECT_GE(rows, 2);
  EXPECT_LT(rows, 10);
  EXPECT_EQ(std::vector<int>(rows, ITEM_STATE_DONE), host_.states);
  EXPECT_EQ(rows, CountFiles(out));
  EXPECT_STREQ(L"Canceled.", host_.status);
}

TEST_F(VideoToDicomJob, FramesTheLibraryCannotWriteAreCounted) {
  const CString out = FreshFolder(Output(L"two failed"));
  const CString work = WorkFolder(L"two failed");
  // Spoil frames 3 and 7 once the encoder has written them.
  host_.onStatus = [&](const CString& text) {
    if (text != L"Extracted video frames.") return;
    WriteBytes(MakeFramePath(work, 3), "BM broken");
    WriteBytes(MakeFramePath(work, 7), "not a picture");
  };
  EXPECT_EQ(0, Run(L"ten.mp4", out, work));
  std::vector<int> want(10, ITEM_STATE_DONE);
  want[2] = want[6] = ITEM_STATE_FAILED;
  EXPECT_EQ(want, host_.states);
  EXPECT_STREQ(L"8 frames converted, 2 frames failed.", host_.status);
  EXPECT_EQ(STATUS_FAILED, host_.statusColor);
  EXPECT_EQ(8, CountFiles(out));
}

// Frames that disappear from the work folder during the job are reported,
// not passed over as a completed job.
TEST_F(VideoToDicomJob, VanishedFramesAreReported) {
  const CString out = FreshFolder(Output(L"vanished"));
  const CString work = WorkFolder(L"vanished");
  host_.onState = [&](int row, int state) {
    if (row == 1 && state == ITEM_STATE_DONE)
      for (int n = 6; n <= 10; ++n) DeleteFileW(MakeFramePath(work, n));
  };
  EXPECT_EQ(0, Run(L"ten.mp4", out, work));
  EXPECT_EQ(5u, host_.states.size());
  EXPECT_STREQ(L"5 frames converted, 5 frames failed.", host_.status);
  EXPECT_EQ(STATUS_FAILED, host_.statusColor);
}

// What the probe reads is a video only when it has a picture stream.
TEST_F(VideoToDicomJob, ProbeAcceptsOnlyVideos) {
  EXPECT_EQ(0, job_.ProbeSource(Media(L"ten.mp4"), nullptr));
  EXPECT_EQ(1000000, job_.m_mediaInfo.m_nDuration);
  EXPECT_EQ(0, job_.m_strMediaPath.CompareNoCase(Media(L"ten.mp4")));
  for (LPCTSTR file : {L"tone.m4a", L"broken.mp4", L"missing.mp4"}) {
    EXPECT_NE(0, job_.ProbeSource(Media(file), nullptr)) << CStringA(file).GetString();
    EXPECT_TRUE(job_.m_strMediaPath.IsEmpty());
  }
}

TEST_F(VideoToDicomJob, FailuresBeforeAnyFile) {
  // A file where the output folder should be: the message, nothing else.
  const CString blocker = FreshFolder(Output(L"blocked")) + L"\\a file";
  WriteBytes(blocker, "x");
  EXPECT_EQ(-1, Run(L"ten.mp4", blocker, WorkFolder(L"blocked")));
  ASSERT_EQ(1u, host_.messages.size());
  EXPECT_STREQ(L"Failed to create folder:\n" + blocker, host_.messages[0]);
  EXPECT_TRUE(host_.statuses.empty());
  EXPECT_EQ(std::vector<BOOL>{FALSE}, host_.busyCalls);

  // Missing parents are made.
  host_ = RecordingHost();
  const CString deep = FreshFolder(Output(L"deep")) + L"\\a\\b";
  EXPECT_EQ(0, Run(L"ten.mp4", deep, WorkFolder(L"deep")));
  EXPECT_EQ(10, CountFiles(deep));

  // No folder, and the chooser cancelled: nothing happens.
  host_ = RecordingHost();
  EXPECT_EQ(-1, Run(L"ten.mp4", L"", WorkFolder(L"none")));
  EXPECT_EQ(1, host_.folderChoices);
  EXPECT_TRUE(host_.statuses.empty() && host_.messages.empty());

  // A missing encoder.
  host_ = RecordingHost();
  job_.m_strEncoderPath = BuildTreePath(L"bin\\Modules\\NoSuchEncoder.exe");
  EXPECT_EQ(-1, Run(L"ten.mp4", deep, WorkFolder(L"no encoder")));
  EXPECT_STREQ(L"Failed to extract video frames.", host_.status);
  EXPECT_EQ(STATUS_FAILED, host_.statusColor);
}
}  // namespace
