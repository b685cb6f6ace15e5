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

class CTestHost : public CSeriesJobHost, public CFrameTarget {
 public:
  ~CTestHost() override {
    for (CFrameItem* item : items) delete item;
  }
  // Loading.
  void PutFrame(CFrameItem* item, int) override { items.push_back(item); }
  void ShowLoadStatus(LPCTSTR) override {}
  void FramesAdded() override {}
  // The job.
  int GetFrameCount() override { return (int)items.size(); }
  CFrameItem* GetFrame(int index) override { return items[index]; }
  void SetFrameState(int index, int state) override {
    items[index]->m_state = state;
    if (state == FRAMEITEM_STATE_WRITING && index == stopAtFrame) stop = 2;
  }
  void SetJobStatus(LPCTSTR text, COLORREF color) override {
    std::lock_guard<std::mutex> l(lock);
    statuses.push_back(text);
    lastColor = color;
  }
  void BeginProgress(int range) override { progressRange = range; }
  void SetProgressPos(int position) override { progressPos = position; }
  int ConfirmOverwrite(LPCTSTR path) override {
    ++overwriteAsked;
    return PathFileExistsW(path) ? overwriteAnswer : 0;
  }
  void ShowMessage(LPCTSTR text) override { message = text; }
  void OnVideoWritten(LPCTSTR path) override { written = path; }

  CString LastStatus() {
    std::lock_guard<std::mutex> l(lock);
    return statuses.empty() ? CString() : statuses.back();
  }

  std::vector<CFrameItem*> items;
  std::vector<CString> statuses;
  std::mutex lock;
  COLORREF lastColor = 12345;
  std::atomic<int> progressRange{-1}, progressPos{-1};
  int stopAtFrame = -1;
  int overwriteAnswer = 0, overwriteAsked = 0;
  CString message, written;
  volatile int stop = 0;
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

  void LoadSlices(CTestHost& host, int subfolders = 0) {
    CSeriesLoader loader(&m_library, &host);
    loader.ScanFolder(SeriesData(L"slices"), L"*.dcm", subfolders);
  }

  CSeriesJob MakeJob(CTestHost& host, LPCTSTR outName, int format) {
    CSeriesJob job;
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
    job.m_pStop = &host.stop;
    m_sink.reset(new CSeriesProgressSink(&host.stop, &host));
    job.m_pSink = m_sink.get();
    return job;
  }

  // Runs the job on a worker while this thread takes the encoder's messages.
  int Run(CSeriesJob& job, CTestHost& host) {
    std::atomic<int> result{100};
    std::atomic<bool> done{false};
    std::thread worker([&] {
      job.m_pHost = &host;
      result = job.WriteVideo();
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
  std::unique_ptr<CSeriesProgressSink> m_sink;
};
}  // namespace

TEST_F(SeriesConversion, SlicesBecomeAnMp4WithNumberedFrameFiles) {
  CTestHost host;
  LoadSlices(host);
  ASSERT_EQ(40u, host.items.size());
  CSeriesJob job = MakeJob(host, L"slices h264.mp4", 0);
  EXPECT_EQ(0, Run(job, host));
  EXPECT_STREQ(kStatusCompleted, host.LastStatus());
  EXPECT_EQ(kStatusNormal, host.lastColor);
  EXPECT_STREQ(job.m_strOutputPath, host.written);
  EXPECT_EQ(40, host.progressRange.load());
  // The bar ends at the frames the encoder reported written.
  EXPECT_EQ(40, host.progressPos.load());
  for (CFrameItem* item : host.items) EXPECT_EQ(FRAMEITEM_STATE_WRITTEN, item->m_state);
  // One frame file per strip item, numbered from 0 in strip order.
  for (int d = 0; d < 40; ++d) {
    CString file;
    file.Format(L"%s\\I%07d.bmp", (LPCTSTR)job.m_strWorkFolder, d);
    CRasterImage saved;
    ASSERT_TRUE(saved.Load(file, 1)) << d;
    EXPECT_EQ(d, LitCell(saved, 8));
  }
  EXPECT_FALSE(PathFileExistsW(job.m_strWorkFolder + L"\\I0000040.bmp"));
  bool prepared = false, generating = false;
  for (const CString& s : host.statuses) {
    prepared |= s == L"Prepared.";
    generating |= s == L"Generating \"slices h264.mp4\" ...";
  }
  EXPECT_TRUE(prepared);
  EXPECT_TRUE(generating);
  EXPECT_STREQ(L"Preparing frame 1 ...", host.statuses[0]);
  Expect(L"slices h264.mp4", 40, 64, 64, L"10/1", L"h264");
}

TEST_F(SeriesConversion, FormatsDecideSizeAndRate) {
  {
    // MPEG-1 never runs below 20 frames per second.
    CTestHost host;
    LoadSlices(host);
    CSeriesJob job = MakeJob(host, L"slices mpeg1.mpg", 7);
    job.m_nChosenRateNum = 15;
    job.m_nChosenRateDen = 1;
    EXPECT_EQ(0, Run(job, host));
    Expect(L"slices mpeg1.mpg", 40, 64, 64, L"20/1", L"mpeg1video");
  }
  {
    // A chosen size and rate on MP4 (MPEG-4), an odd width made even.
    CTestHost host;
    LoadSlices(host, 1);
    CSeriesJob job = MakeJob(host, L"slices sized.mp4", 1);
    job.m_nChosenWidth = 129;
    job.m_nChosenHeight = 96;
    job.m_nChosenRateNum = 25;
    job.m_nChosenRateDen = 1;
    EXPECT_EQ(0, Run(job, host));
    Expect(L"slices sized.mp4", 41, 130, 96, L"25/1", L"mpeg4");
  }
}

TEST_F(SeriesConversion, StopWhileFramesAreWrittenLeavesNoVideo) {
  {
    CTestHost host;
    LoadSlices(host);
    host.stopAtFrame = 5;
    CSeriesJob job = MakeJob(host, L"stopped early.mp4", 0);
    EXPECT_EQ(1, Run(job, host));
    EXPECT_STREQ(kStatusCanceled, host.LastStatus());
    EXPECT_EQ(kStatusNormal, host.lastColor);
    EXPECT_FALSE(PathFileExistsW(job.m_strOutputPath));
    EXPECT_FALSE(PathFileExistsW(job.m_strWorkFolder + L"\\I0000006.bmp"));
    EXPECT_TRUE(host.written.IsEmpty());
  }
}

TEST_F(SeriesConversion, FailuresAreReportedInRed) {
  {
    // The encoder runs and fails: the output name is taken by a folder.
    CTestHost host;
    LoadSlices(host);
    CSeriesJob job = MakeJob(host, L"folder in the way.mp4", 0);
    ::CreateDirectoryW(job.m_strOutputPath, nullptr);
    EXPECT_EQ(-1, Run(job, host));
    EXPECT_STREQ(kStatusFailed, host.LastStatus());
    EXPECT_EQ(kStatusRed, host.lastColor);
    ::RemoveDirectoryW(job.m_strOutputPath);
  }
  {
    // A frame that cannot be written ends the job before the encoder runs.
    CTestHost host;
    LoadSlices(host);
    host.items[7]->m_image.FreeBuffers();
    CSeriesJob job = MakeJob(host, L"gap.mp4", 0);
    EXPECT_EQ(-1, Run(job, host));
    EXPECT_STREQ(kStatusFailed, host.LastStatus());
    EXPECT_EQ(kStatusRed, host.lastColor);
    EXPECT_EQ(FRAMEITEM_STATE_FAILED, host.items[7]->m_state);
    EXPECT_EQ(FRAMEITEM_STATE_NONE, host.items[8]->m_state);
    EXPECT_FALSE(PathFileExistsW(job.m_strOutputPath));
  }
  {
    // The output's folder cannot be made: a file stands where it should be.
    CTestHost host;
    LoadSlices(host);
    CSeriesJob job = MakeJob(host, L"x.mp4", 0);
    CString blocker = MakeTestFolder(L"blocked") + L"\\file";
    TouchFile(blocker);
    job.m_strOutputPath = blocker + L"\\sub\\x.mp4";
    EXPECT_EQ(-1, Run(job, host));
    EXPECT_STREQ(L"Failed to create folder:\n" + blocker + L"\\sub", host.message);
  }
}
