// The video-to-DICOM job with the real encoder, probe and image library on
// videos the system's ffmpeg made; counts come from the system's ffprobe.
// The DICOM files of the whole-video run are judged afterwards by
// judge-output.sh with dciodvfy and dcm2pnm.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EncoderTool.h"
#include "Helpers.h"
#include "ImageLibrary.h"
#include "TestPaths.h"
#include "UiTestSupport.h"
#include "VideoToDicomJob.h"

namespace {
CString Media(LPCTSTR name) { return BuildTreePath(CString(L"testdata\\video2dicom\\") + name); }
CString Output(LPCTSTR name) { return BuildTreePath(CString(L"testdata\\video2dicom\\out\\") + name); }

int ExpectedCount(LPCTSTR name) {
  CStringA path(Media(name));
  FILE* f = fopen(path, "r");
  if (!f) return -1;
  int n = -1;
  if (fscanf(f, "%d", &n) != 1) n = -1;
  fclose(f);
  return n;
}

// A fresh, empty folder.
CString FreshFolder(const CString& path) {
  if (PathFileExistsW(path)) DeletePath(path, DELETE_SILENT, nullptr);
  CreateFolderTree(path);
  return path;
}

int CountFiles(const CString& folder, LPCTSTR pattern = L"*") {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(folder + L"\\" + pattern, &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return n;
}

std::string ReadBytes(const CString& path) {
  std::string bytes;
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n > 0) bytes.append(buf, n);
  CloseHandle(h);
  return bytes;
}

void WriteBytes(const CString& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  WriteFile(h, bytes.data(), (DWORD)bytes.size(), &n, nullptr);
  CloseHandle(h);
}

struct Status {
  CString text;
  COLORREF color;
};

// Plays the page: records what the job shows, answers the choosers and the
// overwrite prompt, and lets a test step in at chosen moments.
class RecordingHost : public CVideoToDicomHost {
 public:
  void ChooseSource(CString& path) override {
    ++sourceChoices;
    if (!sourceAnswer.IsEmpty()) path = sourceAnswer;
  }
  void ChooseDestination(CString& folder) override {
    ++folderChoices;
    if (!folderAnswer.IsEmpty()) folder = folderAnswer;
  }
  void ShowMessage(LPCTSTR text) override { messages.push_back(text); }
  void SetStatus(LPCTSTR text, COLORREF color) override {
    statuses.push_back({text, color});
    if (onStatus) onStatus(text);
  }
  void SetBusy(BOOL busy) override { busyCalls.push_back(busy); }
  void SetProgressRange(LONGLONG upper) override { range = upper; }
  void SetProgressPos(LONGLONG pos) override { position = pos; }
  void DeleteAllOutputItems() override {
    rows.clear();
    states.clear();
    ++clears;
  }
  int AddOutputItem(LPCTSTR path) override {
    rows.push_back(path);
    states.push_back(ITEM_STATE_NONE);
    return (int)rows.size() - 1;
  }
  void EnsureVisible(int row) override { lastVisible = row; }
  void SetItemState(int row, int state) override {
    states.at(row) = state;
    if (onState) onState(row, state);
  }
  int ConfirmOverwrite(LPCTSTR path, int& mode, BOOL offerAll) override {
    if (!PathFileExistsW(path) || mode == 2) return 0;
    prompts.push_back(path);
    return overwriteAnswer;
  }

  Status LastStatus() const { return statuses.empty() ? Status{L"", 0} : statuses.back(); }
  bool SawStatus(LPCTSTR text) const {
    for (const Status& s : statuses)
      if (s.text == text) return true;
    return false;
  }

  CString sourceAnswer, folderAnswer;
  int sourceChoices = 0, folderChoices = 0, clears = 0, lastVisible = -1;
  std::vector<CString> messages;
  std::vector<Status> statuses;
  std::vector<BOOL> busyCalls;
  std::vector<CString> rows;
  std::vector<int> states;
  std::vector<CString> prompts;
  int overwriteAnswer = 0;
  LONGLONG range = -1, position = -1;
  std::function<void(const CString&)> onStatus;
  std::function<void(int, int)> onState;
};

// Answers the encoder like the page's sink; can ask for a stop at the first
// progress record.
class PageSink : public CToolProgressSink {
 public:
  int OnRunBegin() override { return 0; }
  int OnRunEnd() override { return 0; }
  int OnToolStart(const ToolProgress& p) override {
    total = p.total;
    return 0;
  }
  int OnToolProgress(const ToolProgress& p) override {
    ++progressEvents;
    if (stopAtFirstProgress) *stop = 2;
    if (*stop != 0) return 1;
    position = p.position;
    return 0;
  }
  int OnToolFinish(const ToolProgress&) override { return 0; }

  volatile int* stop = nullptr;
  bool stopAtFirstProgress = false;
  int progressEvents = 0;
  LONGLONG total = -1, position = -1;
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
    window_ = CreateWindowW(L"VideoToDicomRelay", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    job_.m_pHost = &host_;
    job_.m_pStop = &stop_;
    job_.m_strEncoderPath = BuildTreePath(L"bin\\Modules\\Smeltrix.exe");
    job_.m_strPresetsFolder = BuildTreePath(L"bin\\Modules\\Presets");
    job_.m_strProbePath = BuildTreePath(L"bin\\Modules\\Sondrel.exe");
    job_.m_hCallbackWnd = window_;
    job_.m_pSink = &sink_;
    job_.m_pLibrary = library_;
    sink_.stop = &stop_;
    recentInputs_.m_nMaxCount = recentFolders_.m_nMaxCount = 20;
    job_.m_pRecentInputs = &recentInputs_;
    job_.m_pRecentFolders = &recentFolders_;
  }
  void TearDown() override { DestroyWindow(window_); }

  // Runs the job on a worker thread, as the page does, while this thread
  // relays the encoder's progress records.
  int RunJob(const CString& workFolder) {
    std::atomic<bool> done{false};
    int result = -99;
    std::thread worker([&] {
      result = job_.Run(workFolder);
      done = true;
    });
    bool finished = PumpUntil([&] { return done.load(); }, 240000);
    worker.join();
    EXPECT_TRUE(finished);
    return result;
  }

  CString WorkFolder(LPCTSTR name) { return FreshFolder(BuildTreePath(CString(L"testdata\\video2dicom\\work\\") + name)); }

  void ExpectAllRows(const CString& folder, LPCTSTR base, int count) {
    ASSERT_EQ((size_t)count, host_.rows.size());
    for (int n = 1; n <= count; ++n) {
      CString want;
      want.Format(L"%s\\%s-%04d.dcm", (LPCTSTR)folder, base, n);
      EXPECT_STREQ(want, host_.rows[n - 1]) << n;
      EXPECT_EQ(ITEM_STATE_DONE, host_.states[n - 1]) << n;
      EXPECT_TRUE(PathFileExistsW(want)) << n;
    }
    EXPECT_EQ(count, CountFiles(folder));
  }

  static CImageLibraryLoader* library_;
  HWND window_ = nullptr;
  volatile int stop_ = 0;
  RecordingHost host_;
  PageSink sink_;
  CRecentList recentInputs_, recentFolders_;
  CVideoToDicomJob job_;
};
CImageLibraryLoader* VideoToDicomJob::library_ = nullptr;

TEST_F(VideoToDicomJob, WholeVideoGivesOneFilePerFrame) {
  const int expected = ExpectedCount(L"heart.mp4.count");
  ASSERT_EQ(250, expected);
  const CString out = FreshFolder(Output(L"whole"));
  const CString work = WorkFolder(L"whole");
  job_.m_strSourcePath = Media(L"heart.mp4");
  job_.m_strOutputFolder = L"C:\\kept only when the chooser is cancelled";
  host_.folderAnswer = out;

  EXPECT_EQ(0, RunJob(work));
  EXPECT_EQ(1, host_.folderChoices);
  EXPECT_EQ(0, host_.sourceChoices);
  EXPECT_STREQ(out, job_.m_strOutputFolder);
  ExpectAllRows(out, L"heart", expected);
  EXPECT_EQ(expected, host_.range);
  EXPECT_EQ(expected, host_.position);
  EXPECT_EQ(expected - 1, host_.lastVisible);
  EXPECT_STREQ(L"Completed.", host_.LastStatus().text);
  EXPECT_EQ(STATUS_NORMAL, host_.LastStatus().color);
  EXPECT_TRUE(host_.SawStatus(L"Extracting frames from source video..."));
  EXPECT_TRUE(host_.SawStatus(L"Extracted video frames."));
  EXPECT_TRUE(host_.SawStatus(L"Generating \"heart-0250.dcm\" ..."));
  // The encoder's progress reached the sink.
  EXPECT_GT(sink_.total, 0);
  EXPECT_GT(sink_.progressEvents, 0);
  // Busy from the extraction until the job ends, then idle.
  ASSERT_EQ(2u, host_.busyCalls.size());
  EXPECT_TRUE(host_.busyCalls[0]);
  EXPECT_FALSE(host_.busyCalls[1]);
  EXPECT_FALSE(PathFileExistsW(work));
  ASSERT_EQ(1, recentInputs_.GetCount());
  EXPECT_STREQ(job_.m_strSourcePath, recentInputs_.GetAt(0));
  ASSERT_EQ(1, recentFolders_.GetCount());
  EXPECT_STREQ(out, recentFolders_.GetAt(0));
}

TEST_F(VideoToDicomJob, StretchOfTheVideo) {
  const int expected = ExpectedCount(L"heart.mp4.range.count");
  ASSERT_GT(expected, 0);
  const CString out = FreshFolder(Output(L"range"));
  job_.m_strSourcePath = Media(L"heart.mp4");
  job_.m_strOutputFolder = out;  // the chooser is cancelled and keeps it
  ASSERT_EQ(0, job_.ProbeSource(job_.m_strSourcePath, nullptr));
  EXPECT_EQ(10000000, job_.m_mediaInfo.m_nDuration);
  job_.m_bRange = 1;
  job_.m_nStart = 2000;
  job_.m_nEnd = 5000;

  EXPECT_EQ(0, RunJob(WorkFolder(L"range")));
  ExpectAllRows(out, L"heart", expected);
  EXPECT_STREQ(L"Completed.", host_.LastStatus().text);
}

// The duration of a video probed earlier must not clamp a path typed later:
// with the stale 3 s, the stretch 2 s .. 5 s would become the whole video.
TEST_F(VideoToDicomJob, TypedPathIsProbedAtStart) {
  const int expected = ExpectedCount(L"heart.mp4.range.count");
  const CString out = FreshFolder(Output(L"typed"));
  ASSERT_EQ(0, job_.ProbeSource(Media(L"echo.avi"), nullptr));
  ASSERT_LT(job_.m_mediaInfo.m_nDuration, 4000000);
  job_.m_strSourcePath = Media(L"heart.mp4");
  job_.m_strOutputFolder = out;
  job_.m_bRange = 1;
  job_.m_nStart = 2000;
  job_.m_nEnd = 5000;

  EXPECT_EQ(0, RunJob(WorkFolder(L"typed")));
  ExpectAllRows(out, L"heart", expected);
  EXPECT_EQ(10000000, job_.m_mediaInfo.m_nDuration);
}

TEST_F(VideoToDicomJob, OtherContainersAndCodecs) {
  struct Case {
    LPCTSTR file, base;
  } cases[] = {{L"echo.avi", L"echo"}, {L"scope.flv", L"scope"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(CStringA(c.file).GetString());
    const int expected = ExpectedCount(CString(c.file) + L".count");
    ASSERT_GT(expected, 0);
    const CString out = FreshFolder(Output(c.base));
    host_ = RecordingHost();
    job_.m_strSourcePath = Media(c.file);
    job_.m_strOutputFolder = out;
    EXPECT_EQ(0, RunJob(WorkFolder(c.base)));
    ExpectAllRows(out, c.base, expected);
    EXPECT_STREQ(L"Completed.", host_.LastStatus().text);
  }
}

TEST_F(VideoToDicomJob, PercentInNamesAndFolders) {
  const int expected = ExpectedCount(L"ten.mp4.count");
  ASSERT_EQ(10, expected);
  const CString out = FreshFolder(Output(L"100%"));
  job_.m_strSourcePath = Media(L"50%off.mp4");
  // A folder given with its closing separator, as a drive root comes.
  job_.m_strOutputFolder = out + L"\\";
  // The work folder, too, may have '%' in its path (a user named so).
  EXPECT_EQ(0, RunJob(WorkFolder(L"50% %d %s")));
  ASSERT_EQ((size_t)expected, host_.rows.size());
  for (int n = 1; n <= expected; ++n) {
    CString want;
    want.Format(L"%s\\50%%off-%04d.dcm", (LPCTSTR)out, n);
    EXPECT_STREQ(want, host_.rows[n - 1]);
    EXPECT_TRUE(PathFileExistsW(want)) << n;
  }
  EXPECT_EQ(expected, CountFiles(out));
  EXPECT_TRUE(host_.SawStatus(L"Generating \"50%off-0001.dcm\" ..."));
  EXPECT_STREQ(L"Completed.", host_.LastStatus().text);
}

TEST_F(VideoToDicomJob, StopDuringExtraction) {
  const CString out = FreshFolder(Output(L"stopped"));
  const CString work = WorkFolder(L"stopped");
  job_.m_strSourcePath = Media(L"heart.mp4");
  job_.m_strOutputFolder = out;
  sink_.stopAtFirstProgress = true;

  EXPECT_EQ(-1, RunJob(work));
  EXPECT_GT(sink_.progressEvents, 0);
  EXPECT_STREQ(L"Canceled.", host_.LastStatus().text);
  EXPECT_EQ(STATUS_NORMAL, host_.LastStatus().color);
  EXPECT_TRUE(host_.rows.empty());
  // Nothing half-written anywhere.
  EXPECT_EQ(0, CountFiles(out));
  EXPECT_FALSE(PathFileExistsW(work));
  EXPECT_FALSE(host_.busyCalls.empty() || host_.busyCalls.back());
}

// A stop that lands just after the encoder finished is a stop, not a video
// that could not be loaded.
TEST_F(VideoToDicomJob, StopRightAfterExtraction) {
  const CString out = FreshFolder(Output(L"stopped after"));
  job_.m_strSourcePath = Media(L"ten.mp4");
  job_.m_strOutputFolder = out;
  host_.onStatus = [&](const CString& text) {
    if (text == L"Extracted video frames.") stop_ = 2;
  };
  EXPECT_EQ(-1, RunJob(WorkFolder(L"stopped after")));
  EXPECT_STREQ(L"Canceled.", host_.LastStatus().text);
  EXPECT_EQ(STATUS_NORMAL, host_.LastStatus().color);
  EXPECT_FALSE(host_.SawStatus(L"Failed to load video."));
  EXPECT_TRUE(host_.rows.empty());
  EXPECT_EQ(0, CountFiles(out));
}

TEST_F(VideoToDicomJob, StopBetweenDicomFiles) {
  const CString out = FreshFolder(Output(L"stopped later"));
  job_.m_strSourcePath = Media(L"ten.mp4");
  job_.m_strOutputFolder = out;
  host_.onState = [&](int row, int state) {
    if (row == 3 && state == ITEM_STATE_DONE) stop_ = 2;
  };
  EXPECT_EQ(0, RunJob(WorkFolder(L"stopped later")));
  ASSERT_EQ(4u, host_.rows.size());
  for (int s : host_.states) EXPECT_EQ(ITEM_STATE_DONE, s);
  EXPECT_EQ(4, CountFiles(out));
  EXPECT_STREQ(L"Canceled.", host_.LastStatus().text);
  // Recent lists are kept also for a stopped job.
  EXPECT_EQ(1, recentFolders_.GetCount());
}

TEST_F(VideoToDicomJob, CancelledOverwriteKeepsTheFile) {
  const CString out = FreshFolder(Output(L"overwrite"));
  const CString existing = out + L"\\ten-0001.dcm";
  const std::string original = "an earlier file that must survive\r\n\x00\x01\x02";
  WriteBytes(existing, original);
  job_.m_strSourcePath = Media(L"ten.mp4");
  job_.m_strOutputFolder = out;
  host_.overwriteAnswer = 1;

  EXPECT_EQ(0, RunJob(WorkFolder(L"overwrite")));
  ASSERT_EQ(1u, host_.prompts.size());
  EXPECT_STREQ(existing, host_.prompts[0]);
  ASSERT_EQ(1u, host_.rows.size());
  EXPECT_EQ(ITEM_STATE_NONE, host_.states[0]);
  EXPECT_STREQ(L"Canceled.", host_.LastStatus().text);
  EXPECT_EQ(original, ReadBytes(existing));
  EXPECT_EQ(1, CountFiles(out));
}

TEST_F(VideoToDicomJob, OverwriteAnsweredYesReplacesTheFile) {
  const CString out = FreshFolder(Output(L"overwrite yes"));
  const CString existing = out + L"\\ten-0002.dcm";
  WriteBytes(existing, "old");
  job_.m_strSourcePath = Media(L"ten.mp4");
  job_.m_strOutputFolder = out;
  host_.overwriteAnswer = 0;

  EXPECT_EQ(0, RunJob(WorkFolder(L"overwrite yes")));
  EXPECT_EQ(1u, host_.prompts.size());
  EXPECT_EQ(10u, host_.rows.size());
  const std::string bytes = ReadBytes(existing);
  ASSERT_GT(bytes.size(), 132u);
  EXPECT_EQ("DICM", bytes.substr(128, 4));
  EXPECT_STREQ(L"Completed.", host_.LastStatus().text);
}

TEST_F(VideoToDicomJob, FramesTheLibraryCannotWriteAreCounted) {
  const CString out = FreshFolder(Output(L"two failed"));
  const CString work = WorkFolder(L"two failed");
  job_.m_strSourcePath = Media(L"ten.mp4");
  job_.m_strOutputFolder = out;
  // Spoil frames 3 and 7 once the encoder has written them.
  host_.onStatus = [&](const CString& text) {
    if (text != L"Extracted video frames.") return;
    WriteBytes(MakeFramePath(work, 3), "BM broken");
    WriteBytes(MakeFramePath(work, 7), "not a picture");
  };
  EXPECT_EQ(0, RunJob(work));
  ASSERT_EQ(10u, host_.rows.size());
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ((i == 2 || i == 6) ? ITEM_STATE_FAILED : ITEM_STATE_DONE, host_.states[i]) << i;
  EXPECT_STREQ(L"8 frames converted, 2 frames failed.", host_.LastStatus().text);
  EXPECT_EQ(STATUS_FAILED, host_.LastStatus().color);
  EXPECT_EQ(8, CountFiles(out));
}

// Frames that disappear from the work folder during the job are reported,
// not passed over as a completed job.
TEST_F(VideoToDicomJob, VanishedFramesAreReported) {
  const CString out = FreshFolder(Output(L"vanished"));
  const CString work = WorkFolder(L"vanished");
  job_.m_strSourcePath = Media(L"ten.mp4");
  job_.m_strOutputFolder = out;
  host_.onState = [&](int row, int state) {
    if (row == 1 && state == ITEM_STATE_DONE)
      for (int n = 6; n <= 10; ++n) DeleteFileW(MakeFramePath(work, n));
  };
  EXPECT_EQ(0, RunJob(work));
  EXPECT_EQ(5u, host_.rows.size());
  EXPECT_STREQ(L"5 frames converted, 5 frames failed.", host_.LastStatus().text);
  EXPECT_EQ(STATUS_FAILED, host_.LastStatus().color);
}

TEST_F(VideoToDicomJob, SourcesThatAreNoVideo) {
  // The probe refuses a text file, and a missing one.
  EXPECT_NE(0, job_.ProbeSource(Media(L"broken.mp4"), nullptr));
  EXPECT_TRUE(job_.m_strMediaPath.IsEmpty());
  EXPECT_NE(0, job_.ProbeSource(Media(L"missing.mp4"), nullptr));

  const CString out = FreshFolder(Output(L"broken"));
  job_.m_strSourcePath = Media(L"broken.mp4");
  job_.m_strOutputFolder = out;
  EXPECT_EQ(-1, RunJob(WorkFolder(L"broken")));
  EXPECT_STREQ(L"Failed to extract video frames.", host_.LastStatus().text);
  EXPECT_EQ(STATUS_FAILED, host_.LastStatus().color);
  EXPECT_TRUE(host_.rows.empty());
  EXPECT_EQ(0, CountFiles(out));
  // Nothing reaches the recent lists.
  EXPECT_EQ(0, recentInputs_.GetCount());
}

TEST_F(VideoToDicomJob, MissingEncoder) {
  const CString out = FreshFolder(Output(L"no encoder"));
  job_.m_strEncoderPath = BuildTreePath(L"bin\\Modules\\NoSuchEncoder.exe");
  job_.m_strSourcePath = Media(L"ten.mp4");
  job_.m_strOutputFolder = out;
  EXPECT_EQ(-1, RunJob(WorkFolder(L"no encoder")));
  EXPECT_STREQ(L"Failed to extract video frames.", host_.LastStatus().text);
  EXPECT_EQ(STATUS_FAILED, host_.LastStatus().color);
}

TEST_F(VideoToDicomJob, OutputFolderProblems) {
  // A file where the folder should be.
  const CString blocker = FreshFolder(Output(L"blocked")) + L"\\a file";
  WriteBytes(blocker, "x");
  job_.m_strSourcePath = Media(L"ten.mp4");
  job_.m_strOutputFolder = blocker;
  EXPECT_EQ(-1, RunJob(WorkFolder(L"blocked")));
  ASSERT_EQ(1u, host_.messages.size());
  EXPECT_STREQ(L"Failed to create folder:\n" + blocker, host_.messages[0]);
  EXPECT_TRUE(host_.statuses.empty());
  // The job never went busy, but leaves the idle state all the same.
  ASSERT_EQ(1u, host_.busyCalls.size());
  EXPECT_FALSE(host_.busyCalls[0]);

  // Missing parents are made.
  host_ = RecordingHost();
  const CString deep = FreshFolder(Output(L"deep")) + L"\\a\\b\\c";
  job_.m_strOutputFolder = deep;
  EXPECT_EQ(0, RunJob(WorkFolder(L"deep")));
  EXPECT_EQ(10, CountFiles(deep));

  // No folder and a cancelled chooser: nothing happens.
  host_ = RecordingHost();
  job_.m_strOutputFolder.Empty();
  EXPECT_EQ(-1, RunJob(WorkFolder(L"none")));
  EXPECT_EQ(1, host_.folderChoices);
  EXPECT_TRUE(host_.statuses.empty());
  EXPECT_TRUE(host_.messages.empty());

  // No source: the source chooser is asked; cancelled, nothing happens.
  host_ = RecordingHost();
  job_.m_strSourcePath.Empty();
  job_.m_strOutputFolder = deep;
  EXPECT_EQ(-1, RunJob(WorkFolder(L"none")));
  EXPECT_EQ(1, host_.sourceChoices);
  EXPECT_EQ(0, host_.folderChoices);
}
}  // namespace
