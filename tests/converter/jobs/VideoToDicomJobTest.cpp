// The video-to-DICOM job without its page, with the real encoder, probe and
// image library: what the page cannot easily provoke (frames that fail or
// vanish mid-job, stops at exact moments, a '%' in the work folder, output
// folders that cannot be made) and further containers. Counts come from the
// system's ffprobe.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "converter/tools/EncoderTool.h"
#include "imaging/library/ImageLibrary.h"
#include "tests/converter/jobs/VideoTestFiles.h"
#include "converter/jobs/VideoToDicomJob.h"
#include "tests/converter/support/JobDoubles.h"

namespace {
CString Output(LPCTSTR name) { return FullPath(BuildTreePath(CString(L"testdata\\video2dicom\\out\\") + name)); }
CString WorkFolder(LPCTSTR name) { return FreshFolder(Output(CString(L"work\\") + name)); }

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
    Fresh();
  }
  void TearDown() override { DestroyWindow(window_); }

  // A new job and page stand-in, set up as the page would.
  void Fresh() {
    job_.reset();
    report_.reset(new CRecordingReport);
    stop_ = STOP_NONE;
    job_.reset(new CVideoToDicomJob(*report_, stop_));
    job_->m_in.strEncoderPath = BuildTreePath(L"bin\\Modules\\Smeltrix.exe");
    job_->m_in.strProbePath = BuildTreePath(L"bin\\Modules\\Sondrel.exe");
    job_->m_in.hCallbackWnd = window_;
    job_->m_in.pLibrary = library_;
  }

  // Runs the job on a worker, as the page does, while this thread relays the
  // encoder's progress records.
  JobResult Run(LPCTSTR source, const CString& out, const CString& work) {
    job_->m_in.strSourcePath = Media(source);
    job_->m_in.strOutputFolder = out;
    std::atomic<bool> done{false};
    JobResult result = JobResult::Canceled;
    std::thread worker([&] {
      result = job_->Run(work);
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
  CStopFlag stop_{STOP_NONE};
  std::unique_ptr<CRecordingReport> report_;
  std::unique_ptr<CVideoToDicomJob> job_;
};
CImageLibraryLoader* VideoToDicomJob::library_ = nullptr;

TEST_F(VideoToDicomJob, OtherContainersAndCodecs) {
  for (LPCTSTR file : {L"echo.avi", L"scope.flv"}) {
    SCOPED_TRACE(CStringA(file).GetString());
    const int expected = ExpectedCount(CString(file) + L".count");
    ASSERT_GT(expected, 0);
    const CString out = FreshFolder(Output(file));
    Fresh();
    EXPECT_EQ(JobResult::Done, Run(file, out, WorkFolder(file)));
    EXPECT_EQ(std::vector<int>(expected, ITEM_STATE_DONE), report_->StateList());
    EXPECT_EQ(expected, CountFiles(out));
    EXPECT_STREQ(kStatusCompleted, report_->LastStatus());
  }
}

// A '%' in the work folder's path (a user named so) must reach the encoder
// as a plain character.
TEST_F(VideoToDicomJob, WorkFolderWithPercent) {
  const CString out = FreshFolder(Output(L"percent work"));
  const CString work = WorkFolder(L"50% %d %s");
  EXPECT_EQ(JobResult::Done, Run(L"ten.mp4", out, work));
  EXPECT_EQ(10, CountFiles(out));
  EXPECT_STREQ(kStatusCompleted, report_->LastStatus());
  EXPECT_FALSE(PathFileExistsW(work));
}

// A stop that lands just after the encoder finished is a stop, not a video
// that could not be loaded.
TEST_F(VideoToDicomJob, StopRightAfterExtraction) {
  const CString out = FreshFolder(Output(L"stopped after"));
  report_->onStatus = [&](const CString& text) {
    if (text == L"Extracted video frames.") stop_ = STOP_REQUESTED;
  };
  EXPECT_EQ(JobResult::Failed, Run(L"ten.mp4", out, WorkFolder(L"stopped after")));
  EXPECT_STREQ(kStatusCanceled, report_->LastStatus());
  EXPECT_EQ(STATUS_NORMAL, report_->lastColor);
  EXPECT_TRUE(report_->StateList().empty());
  EXPECT_EQ(0, CountFiles(out));
}

// A stop while the encoder extracts: its next progress record is answered
// with a stop, nothing is listed and no file written.
TEST_F(VideoToDicomJob, StopWhileExtracting) {
  const CString out = FreshFolder(Output(L"stopped extracting"));
  report_->onProgress = [&](LONGLONG position) {
    if (position > 0) stop_ = STOP_REQUESTED;
  };
  EXPECT_EQ(JobResult::Failed, Run(L"heart.mp4", out, WorkFolder(L"stopped extracting")));
  EXPECT_STREQ(kStatusCanceled, report_->LastStatus());
  EXPECT_TRUE(report_->StateList().empty());
  EXPECT_EQ(0, CountFiles(out));
}

// Files already being written when the stop comes are finished and listed
// "OK"; no further file is started.
TEST_F(VideoToDicomJob, StopBetweenDicomFiles) {
  const CString out = FreshFolder(Output(L"stopped later"));
  report_->onState = [&](int row, int state) {
    if (row == 1 && state == ITEM_STATE_DONE) stop_ = STOP_REQUESTED;
  };
  EXPECT_EQ(JobResult::Done, Run(L"ten.mp4", out, WorkFolder(L"stopped later")));
  const std::vector<int> states = report_->StateList();
  const int rows = (int)states.size();
  EXPECT_GE(rows, 2);
  EXPECT_LT(rows, 10);
  EXPECT_EQ(std::vector<int>(rows, ITEM_STATE_DONE), states);
  EXPECT_EQ(rows, CountFiles(out));
  EXPECT_STREQ(kStatusCanceled, report_->LastStatus());
}

TEST_F(VideoToDicomJob, FramesTheLibraryCannotWriteAreCounted) {
  const CString out = FreshFolder(Output(L"two failed"));
  const CString work = WorkFolder(L"two failed");
  // Spoil frames 3 and 7 once the encoder has written them.
  report_->onStatus = [&](const CString& text) {
    if (text != L"Extracted video frames.") return;
    WriteBytes(MakeFramePath(work, 3), "BM broken");
    WriteBytes(MakeFramePath(work, 7), "not a picture");
  };
  EXPECT_EQ(JobResult::Done, Run(L"ten.mp4", out, work));
  std::vector<int> want(10, ITEM_STATE_DONE);
  want[2] = want[6] = ITEM_STATE_FAILED;
  EXPECT_EQ(want, report_->StateList());
  EXPECT_STREQ(L"8 frames converted, 2 frames failed.", report_->LastStatus());
  EXPECT_EQ(STATUS_FAILED, report_->lastColor);
  EXPECT_EQ(8, CountFiles(out));
}

// Frames that disappear from the work folder during the job are reported,
// not passed over as a completed job.
TEST_F(VideoToDicomJob, VanishedFramesAreReported) {
  const CString out = FreshFolder(Output(L"vanished"));
  const CString work = WorkFolder(L"vanished");
  report_->onState = [&](int row, int state) {
    if (row == 1 && state == ITEM_STATE_DONE)
      for (int n = 6; n <= 10; ++n) DeleteFileW(MakeFramePath(work, n));
  };
  EXPECT_EQ(JobResult::Done, Run(L"ten.mp4", out, work));
  EXPECT_EQ(5u, report_->StateList().size());
  EXPECT_STREQ(L"5 frames converted, 5 frames failed.", report_->LastStatus());
  EXPECT_EQ(STATUS_FAILED, report_->lastColor);
}

// What the probe reads is a video only when it has a picture stream.
TEST_F(VideoToDicomJob, ProbeAcceptsOnlyVideos) {
  const CString probe = job_->m_in.strProbePath;
  CMediaInfo info;
  EXPECT_EQ(JobResult::Done, ProbeVideo(Media(L"ten.mp4"), probe, info, nullptr));
  EXPECT_EQ(1000000, info.m_nDuration);
  for (LPCTSTR file : {L"tone.m4a", L"broken.mp4", L"missing.mp4"}) {
    CMediaInfo other;
    EXPECT_EQ(JobResult::Failed, ProbeVideo(Media(file), probe, other, nullptr)) << CStringA(file).GetString();
  }
}

TEST_F(VideoToDicomJob, FailuresBeforeAnyFile) {
  // A file where the output folder should be: the message, nothing else.
  const CString blocker = FreshFolder(Output(L"blocked")) + L"\\a file";
  WriteBytes(blocker, "x");
  EXPECT_EQ(JobResult::Failed, Run(L"ten.mp4", blocker, WorkFolder(L"blocked")));
  EXPECT_EQ(std::vector<CString>{L"Failed to create folder:\n" + blocker}, report_->messages);
  EXPECT_TRUE(report_->statuses.empty());
  EXPECT_EQ(std::vector<bool>{false}, report_->busyCalls);

  // Missing parents are made.
  Fresh();
  const CString deep = FreshFolder(Output(L"deep")) + L"\\a\\b";
  EXPECT_EQ(JobResult::Done, Run(L"ten.mp4", deep, WorkFolder(L"deep")));
  EXPECT_EQ(10, CountFiles(deep));

  // No folder, and the chooser cancelled: nothing happens.
  Fresh();
  report_->chooseOutput = false;
  EXPECT_EQ(JobResult::Failed, Run(L"ten.mp4", L"", WorkFolder(L"none")));
  EXPECT_EQ(1, report_->outputChoices);
  EXPECT_TRUE(report_->statuses.empty() && report_->messages.empty());

  // A missing encoder.
  Fresh();
  job_->m_in.strEncoderPath = BuildTreePath(L"bin\\Modules\\NoSuchEncoder.exe");
  EXPECT_EQ(JobResult::Failed, Run(L"ten.mp4", deep, WorkFolder(L"no encoder")));
  EXPECT_STREQ(L"Failed to extract video frames.", report_->LastStatus());
  EXPECT_EQ(STATUS_FAILED, report_->lastColor);
}
}  // namespace
