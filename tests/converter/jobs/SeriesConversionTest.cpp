// The conversion core with the real encoder. Videos are left in
// testdata/series-out with a list of what each must hold; judge-videos.sh
// checks them with the system's ffprobe.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "tests/converter/support/ConverterTestApp.h"
#include "foundation/FileSystem.h"
#include "imaging/library/ImageLibrary.h"
#include "tests/converter/support/RelayWindow.h"
#include "converter/jobs/SeriesConversion.h"
#include "converter/jobs/SeriesLoading.h"
#include "tests/converter/support/JobDoubles.h"
#include "tests/converter/jobs/SeriesTestData.h"
#include "tests/support/UiTestSupport.h"
#include "converter/jobs/WorkFolders.h"

namespace {
CString OutFolder() { return BuildTreePath(L"testdata\\series-out"); }
CString EncoderPath() { return BuildTreePath(L"bin\\Modules\\Smeltrix.exe"); }

// What the judge must find: name, frames, width, height, rate, codec.
void Expect(LPCTSTR name, int frames, int w, int h, LPCTSTR rate, LPCTSTR codec) {
  FILE* f = _wfopen(OutFolder() + L"\\expect.txt", L"a");
  ASSERT_NE(nullptr, f);
  fwprintf(f, L"%ls %d %d %d %ls %ls\n", name, frames, w, h, rate, codec);
  fclose(f);
}

// One job with its frames, the page it reports to and its stop flag.
struct CSeriesRun {
  CFrameCollector frames;
  CRecordingReport report;
  CStopFlag stop{STOP_NONE};
  CSeriesJob job{report, stop};
  // The stop asked for when frame n is being written.
  void StopAtFrame(int n) {
    report.onState = [this, n](int index, int state) {
      if (index == n && state == FRAMEITEM_STATE_WRITING) stop = STOP_REQUESTED;
    };
  }
};

// Receives the encoder's progress records as a page does.
class SeriesConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    static CString temp = UsePrivateTempFolder(L"series job temp");
    ASSERT_EQ(0, m_library.Load(QuillfenPath()));
    ::CreateDirectoryW(OutFolder(), nullptr);
    static bool fresh = false;
    if (!fresh) {
      ::DeleteFileW(OutFolder() + L"\\expect.txt");
      fresh = true;
    }
    m_relay = MakeRelayWindow();
  }
  void TearDown() override {
    DestroyWindow(m_relay);
    // The jobs' frame files go with their folders.
    for (const CString& folder : m_folders) {
      ReleaseWorkFolder(folder + L"\\0000");
      DeletePath(folder, DELETE_SILENT, nullptr);
    }
  }

  // The slices (or another folder of the data) loaded, and the job set up to
  // write them to outName.
  void Prepare(CSeriesRun& run, LPCTSTR outName, int format, int subfolders = 0, LPCTSTR folder = L"slices") {
    CSeriesLoader loader(&m_library, &run.frames);
    loader.ScanFolder(SeriesData(folder), L"*.dcm", subfolders);
    CSeriesJob& job = run.job;
    job.m_frames = run.frames.items;
    // A '%' in the work folder is a plain character to the encoder.
    CString base = MakeTestFolder(CString(L"series job 100%d ") + outName);
    m_folders.push_back(base);
    job.m_strWorkFolder = CreateWorkFolderIn(base);
    job.m_strOutputPath = OutFolder() + L"\\" + outName;
    ::DeleteFileW(job.m_strOutputPath);
    job.m_nFormatIndex = format;
    job.m_strEncoderPath = EncoderPath();
    job.m_strPresetsFolder = BuildTreePath(L"bin\\Modules\\Presets");
    job.m_hCallbackWnd = m_relay;
  }

  // Runs the job on a worker while this thread takes the encoder's messages.
  JobResult Run(CSeriesRun& run) {
    std::atomic<JobResult> result{JobResult::Done};
    std::atomic<bool> done{false};
    std::thread worker([&] {
      result = run.job.WriteVideo();
      done = true;
    });
    bool finished = PumpUntil([&] { return done.load(); }, 120000);
    worker.join();
    EXPECT_TRUE(finished);
    return result;
  }

  CImageLibrary m_library;
  HWND m_relay = nullptr;
  std::vector<CString> m_folders;
};
}  // namespace

TEST_F(SeriesConversion, SlicesBecomeAnMp4WithNumberedFrameFiles) {
  CSeriesRun run;
  Prepare(run, L"slices h264.mp4", 0);
  ASSERT_EQ(40u, run.frames.items.size());
  EXPECT_EQ(JobResult::Done, Run(run));
  CRecordingReport& report = run.report;
  EXPECT_STREQ(kStatusCompleted, report.LastStatus());
  EXPECT_EQ(STATUS_NORMAL, report.lastColor);
  EXPECT_EQ(std::vector<bool>{true}, report.busyCalls);
  EXPECT_EQ(40, report.range.load());
  // The bar ends at the frames the encoder reported written.
  EXPECT_EQ(40, report.position.load());
  for (int d = 0; d < 40; ++d) EXPECT_EQ(FRAMEITEM_STATE_WRITTEN, report.StateOf(d)) << d;
  // One frame file per frame, numbered from 0 in the frames' order.
  const CString& work = run.job.m_strWorkFolder;
  for (int d = 0; d < 40; ++d) {
    CString file;
    file.Format(L"%s\\I%07d.bmp", (LPCTSTR)work, d);
    CRasterImage saved;
    ASSERT_TRUE(saved.Load(file, 1)) << d;
    EXPECT_EQ(d, LitCell(saved, 8));
  }
  EXPECT_FALSE(PathFileExistsW(work + L"\\I0000040.bmp"));
  bool prepared = false, generating = false;
  for (const CString& s : report.statuses) {
    prepared |= s == L"Prepared.";
    generating |= s == L"Generating \"slices h264.mp4\" ...";
  }
  EXPECT_TRUE(prepared);
  EXPECT_TRUE(generating);
  EXPECT_STREQ(L"Preparing frame 1 ...", report.statuses[0]);
  Expect(L"slices h264.mp4", 40, 64, 64, L"10/1", L"h264");
}

// The size and rate the formats decide reach the encoder.
TEST_F(SeriesConversion, ChosenSizeAndRateReachTheEncoder) {
  // A chosen size and rate on MP4 (MPEG-4), an odd width made even.
  CSeriesRun run;
  Prepare(run, L"slices sized.mp4", 1, 1);
  run.job.m_nChosenWidth = 129;
  run.job.m_nChosenHeight = 96;
  run.job.m_nChosenRateNum = 25;
  run.job.m_nChosenRateDen = 1;
  EXPECT_EQ(JobResult::Done, Run(run));
  Expect(L"slices sized.mp4", 41, 130, 96, L"25/1", L"mpeg4");
}

TEST_F(SeriesConversion, StopLeavesNoVideo) {
  {
    // While the frames are written.
    CSeriesRun run;
    Prepare(run, L"stopped early.mp4", 0);
    run.StopAtFrame(5);
    EXPECT_EQ(JobResult::Canceled, Run(run));
    EXPECT_STREQ(kStatusCanceled, run.report.LastStatus());
    EXPECT_EQ(STATUS_NORMAL, run.report.lastColor);
    EXPECT_FALSE(PathFileExistsW(run.job.m_strOutputPath));
    EXPECT_FALSE(PathFileExistsW(run.job.m_strWorkFolder + L"\\I0000006.bmp"));
  }
  {
    // While the encoder runs: its next progress record is answered with a
    // stop. Full-size slices keep it at work for a while.
    CSeriesRun run;
    Prepare(run, L"stopped encoding.mp4", 0, 0, L"ct");
    ASSERT_EQ(60u, run.frames.items.size());
    run.report.onProgress = [&](LONGLONG position) {
      if (position > 0) run.stop = STOP_REQUESTED;
    };
    EXPECT_EQ(JobResult::Canceled, Run(run));
    EXPECT_STREQ(kStatusCanceled, run.report.LastStatus());
    EXPECT_FALSE(PathFileExistsW(run.job.m_strOutputPath));
  }
}

TEST_F(SeriesConversion, FailuresAreReportedInRed) {
  {
    // The encoder runs and fails: the output name is taken by a folder.
    CSeriesRun run;
    Prepare(run, L"folder in the way.mp4", 0);
    ::CreateDirectoryW(run.job.m_strOutputPath, nullptr);
    EXPECT_EQ(JobResult::Failed, Run(run));
    EXPECT_STREQ(kStatusFailed, run.report.LastStatus());
    EXPECT_EQ(STATUS_FAILED, run.report.lastColor);
    ::RemoveDirectoryW(run.job.m_strOutputPath);
  }
  {
    // A frame that cannot be written ends the job before the encoder runs.
    CSeriesRun run;
    Prepare(run, L"gap.mp4", 0);
    run.frames.items[7]->m_image.FreeBuffers();
    EXPECT_EQ(JobResult::Failed, Run(run));
    EXPECT_STREQ(kStatusFailed, run.report.LastStatus());
    EXPECT_EQ(STATUS_FAILED, run.report.lastColor);
    EXPECT_EQ(FRAMEITEM_STATE_FAILED, run.report.StateOf(7));
    EXPECT_EQ(-1, run.report.StateOf(8));
    EXPECT_FALSE(PathFileExistsW(run.job.m_strOutputPath));
  }
  {
    // The output's folder cannot be made: a file stands where it should be.
    CSeriesRun run;
    Prepare(run, L"x.mp4", 0);
    CString blocker = MakeTestFolder(L"blocked") + L"\\file";
    TouchFile(blocker);
    run.job.m_strOutputPath = blocker + L"\\sub\\x.mp4";
    EXPECT_EQ(JobResult::Failed, Run(run));
    EXPECT_EQ(std::vector<CString>{L"Failed to create folder:\n" + blocker + L"\\sub"}, run.report.messages);
  }
  {
    // A missing encoder: no other program of its name runs.
    CSeriesRun run;
    Prepare(run, L"no encoder.mp4", 0);
    run.job.m_strEncoderPath = OutFolder() + L"\\Modules\\Smeltrix.exe";
    EXPECT_EQ(JobResult::Failed, Run(run));
    EXPECT_STREQ(kStatusFailed, run.report.LastStatus());
    EXPECT_EQ(STATUS_FAILED, run.report.lastColor);
    EXPECT_FALSE(PathFileExistsW(run.job.m_strOutputPath));
  }
}
