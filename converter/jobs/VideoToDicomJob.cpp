#include "converter/jobs/VideoToDicomJob.h"

void ClampStretch(int range, int start, int end, LONGLONG durationUs, int& outStart, int& outEnd) {
  outStart = 0;
  outEnd = -1;
  if (!range) return;
  // Whole milliseconds of the duration, cut toward zero.
  const LONGLONG duration = durationUs / 1000;
  LONGLONG s = start, e = end;
  if (e <= 0) e = -1;
  if (e >= duration) e = -1;
  if (s < 0) s = 0;
  if (s >= duration) s = 0;
  if (e > 0 && s >= e) s = 0;
  outStart = (int)s;
  outEnd = (int)e;
}

CString MakeFramePattern(LPCTSTR workFolder) {
  CString folder(workFolder ? workFolder : L"");
  folder.Replace(L"%", L"%%");
  return folder + L"\\O%07d.bmp";
}

CString MakeFramePath(LPCTSTR workFolder, int number) {
  CString path;
  path.Format(L"%s\\O%07d.bmp", workFolder ? workFolder : L"", number);
  return path;
}

CString MakeDicomPath(LPCTSTR folder, LPCTSTR baseName, int number) {
  CString path(folder ? folder : L"");
  if (path.IsEmpty() || (path[path.GetLength() - 1] != L'\\' && path[path.GetLength() - 1] != L'/')) path += L'\\';
  CString digits;
  digits.Format(L"%04d", number);
  path += baseName ? baseName : L"";
  path += L'-';
  path += digits;
  path += L".dcm";
  return path;
}

CString MakeFinalStatus(int stopped, int converted, int failed, COLORREF& color) {
  CString text;
  color = STATUS_NORMAL;
  if (stopped) {
    text = kStatusCanceled;
  } else if (failed > 0) {
    text.Format(L"%d frames converted, %d frames failed.", converted, failed);
    color = STATUS_FAILED;
  } else {
    text = kStatusCompleted;
  }
  return text;
}

#ifdef _WIN32
#include <objbase.h>
#include <shlwapi.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/FileSystem.h"
#include "foundation/Folders.h"
#include "imaging/library/ImageLibrary.h"
#include "converter/jobs/WorkFolders.h"

namespace {
// COM for the shell dialogs the choosers may show on this thread.
class CComApartment {
 public:
  CComApartment() : m_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~CComApartment() {
    if (SUCCEEDED(m_hr)) CoUninitialize();
  }

 private:
  HRESULT m_hr;
};

// One DICOM file to write, and how it went (not done while pending).
struct CWriteTask {
  int number = 0;
  CString frame, dicom;
  bool done = false;
  JobResult result = JobResult::Failed;
};

// A few threads that write DICOM files side by side (the image library takes
// calls from any thread). Each thread has its own convert request; the tasks
// finish in any order, the caller takes them back in the order handed in.
class CDicomWriters {
 public:
  CDicomWriters(CVideoToDicomJob& job, int threads) : m_job(job) {
    for (int i = 0; i < threads; ++i) {
      m_requests.emplace_back(new CImageConvertRequest);
      m_requests.back()->m_nOutputFormat = DICOM_FILE_FORMAT;
      m_requests.back()->m_nOutputOption = 1;
    }
    for (int i = 0; i < threads; ++i) m_threads.emplace_back([this, i] { Work(i); });
  }
  ~CDicomWriters() {
    {
      std::lock_guard<std::mutex> l(m_lock);
      m_bStop = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads) t.join();
  }
  int Size() const { return (int)m_threads.size(); }
  void Add(CWriteTask* task) {
    {
      std::lock_guard<std::mutex> l(m_lock);
      m_queue.push_back(task);
    }
    m_wake.notify_one();
  }
  // Waits until the task is written; returns its result.
  JobResult Wait(CWriteTask* task) {
    std::unique_lock<std::mutex> l(m_lock);
    m_done.wait(l, [task] { return task->done; });
    return task->result;
  }

 private:
  void Work(int slot) {
    for (;;) {
      CWriteTask* task;
      {
        std::unique_lock<std::mutex> l(m_lock);
        m_wake.wait(l, [this] { return m_bStop || !m_queue.empty(); });
        if (m_queue.empty()) return;
        task = m_queue.front();
        m_queue.pop_front();
      }
      const JobResult result = m_job.WriteDicomFile(task->frame, task->dicom, *m_requests[slot]);
      // A frame is read once: gone now, the work folder is quick to remove at the end.
      ::DeleteFileW(task->frame);
      {
        std::lock_guard<std::mutex> l(m_lock);
        task->result = result;
        task->done = true;
      }
      m_done.notify_all();
    }
  }

  CVideoToDicomJob& m_job;
  std::vector<std::unique_ptr<CImageConvertRequest>> m_requests;
  std::vector<std::thread> m_threads;
  std::mutex m_lock;
  std::condition_variable m_wake, m_done;
  std::deque<CWriteTask*> m_queue;
  bool m_bStop = false;
};
}  // namespace

CVideoToDicomJob::CVideoToDicomJob(CJobReport& report, const CStopFlag& stop)
    : m_report(report),
      m_stop(stop),
      m_sink(report, stop, CJobProgressSink::POSITION),
      m_pRequest(new CImageConvertRequest) {
  m_pRequest->m_nOutputFormat = DICOM_FILE_FORMAT;
  m_pRequest->m_nOutputOption = 1;
}

CVideoToDicomJob::~CVideoToDicomJob() { delete m_pRequest; }

JobResult ProbeVideo(LPCTSTR path, LPCTSTR probePath, CMediaInfo& info, const CStopFlag* stop) {
  const int result = info.Load(path, probePath, stop);
  if (result == 1) return JobResult::Canceled;
  // A file without a picture stream is no video for this road.
  if (result != 0 || !(info.m_dwStreamFlags & MEDIA_HAS_VIDEO)) return JobResult::Failed;
  return JobResult::Done;
}

JobResult CVideoToDicomJob::Run() {
  const CString work = CreateTempWorkFolder();
  if (work.IsEmpty()) {
    CString text;
    text.Format(L"Failed to create folder:\n%s", (LPCTSTR)(GetUserDataFolder() + L"\\Temp"));
    m_report.Message(text);
    // The page leaves the state the start put it in.
    m_report.Busy(false);
    return JobResult::Failed;
  }
  return Run(work);
}

JobResult CVideoToDicomJob::Run(LPCTSTR workFolder) {
  CComApartment com;
  JobResult result;
  {
    CWorkFolderGuard guard(workFolder, 1);
    result = ExtractFrames(workFolder);
  }
  // Convert comes back once the frame files are gone too.
  m_report.Busy(false);
  return result;
}

JobResult CVideoToDicomJob::ExtractFrames(LPCTSTR workFolder) {
  if (m_in.strSourcePath.IsEmpty()) return JobResult::Failed;
  // Every time: OK confirms or changes the folder, Cancel keeps it.
  m_report.ChooseOutput(m_in.strOutputFolder);
  if (m_in.strOutputFolder.IsEmpty()) return JobResult::Failed;

  // A file of that name is no folder to write into.
  if (!CreateFolderTree(m_in.strOutputFolder) || !PathIsDirectoryW(m_in.strOutputFolder)) {
    CString text;
    text.Format(L"Failed to create folder:\n%s", (LPCTSTR)m_in.strOutputFolder);
    m_report.Message(text);
    return JobResult::Failed;
  }

  m_report.Busy(true);
  m_report.Progress(0);
  m_report.Status(L"Extracting frames from source video...", STATUS_NORMAL);

  // A path typed after the last probe has not been probed: learn its
  // duration now rather than clamping with another video's.
  if (m_in.bRange && m_in.strProbedPath.CompareNoCase(m_in.strSourcePath) != 0) {
    CMediaInfo info;
    const JobResult probed = ProbeVideo(m_in.strSourcePath, m_in.strProbePath, info, &m_stop);
    if (probed == JobResult::Canceled || IsStopped()) {
      m_report.Status(kStatusCanceled, STATUS_NORMAL);
      return JobResult::Failed;
    }
    m_in.nDuration = probed == JobResult::Done ? info.m_nDuration : 0;
    m_in.strProbedPath = probed == JobResult::Done ? m_in.strSourcePath : CString();
  }
  int start = 0, end = -1;
  ClampStretch(m_in.bRange, m_in.nStart, m_in.nEnd, m_in.nDuration, start, end);

  if (ExtractVideoFrames(m_in.strSourcePath, start, end, MakeFramePattern(workFolder)) != JobResult::Done) {
    if (IsStopped())
      m_report.Status(kStatusCanceled, STATUS_NORMAL);
    else
      m_report.Status(L"Failed to extract video frames.", STATUS_FAILED);
    return JobResult::Failed;
  }
  m_report.Status(L"Extracted video frames.", STATUS_NORMAL);

  const int count = CountFrameFiles(workFolder);
  // A stop right after the extraction is a stop, not a broken video.
  if (IsStopped()) {
    m_report.Status(kStatusCanceled, STATUS_NORMAL);
    return JobResult::Failed;
  }
  if (count == 0) {
    m_report.Status(L"Failed to load video.", STATUS_FAILED);
    return JobResult::Failed;
  }
  WriteDicomFiles(workFolder, count);
  return JobResult::Done;
}

void CVideoToDicomJob::WriteDicomFiles(LPCTSTR workFolder, int count) {
  const CString baseName = GetFileBaseName(m_in.strSourcePath);
  m_report.ProgressRange(count);
  m_report.Progress(0);
  int overwriteMode = OVERWRITE_ASK, converted = 0, failed = 0;
  bool canceled = false;
  // The files are written side by side; rows are listed, and their results
  // shown, in frame order (row n - 1 for frame n).
  CDicomWriters writers(*this, std::max(1, std::min(4, (int)std::thread::hardware_concurrency() / 2)));
  std::deque<std::unique_ptr<CWriteTask>> pending;
  auto finishOldest = [&] {
    CWriteTask* task = pending.front().get();
    if (writers.Wait(task) != JobResult::Done) {
      m_report.ItemState(task->number - 1, ITEM_STATE_FAILED);
      ++failed;
    } else {
      m_report.Progress(task->number);
      m_report.ItemState(task->number - 1, ITEM_STATE_DONE);
      ++converted;
    }
    pending.pop_front();
  };
  for (int n = 1; n <= count; ++n) {
    if (IsStopped()) {
      canceled = true;
      break;
    }
    const CString framePath = MakeFramePath(workFolder, n);
    if (!PathFileExistsW(framePath)) {
      // Frames that vanished from the work folder were not converted.
      failed += count - n + 1;
      break;
    }
    const CString dicomPath = MakeDicomPath(m_in.strOutputFolder, baseName, n);
    CString status;
    status.Format(L"Generating \"%s\" ...", PathFindFileNameW(dicomPath));
    m_report.ItemState(n - 1, ITEM_STATE_LOADING, dicomPath);
    m_report.Status(status, STATUS_NORMAL);

    // Before the user is asked about an existing file, the files before it are done.
    if (PathFileExistsW(dicomPath))
      while (!pending.empty()) finishOldest();
    if (!m_report.ConfirmOverwrite(dicomPath, overwriteMode, true)) {
      m_report.ItemState(n - 1, ITEM_STATE_NONE);
      canceled = true;
      break;
    }
    pending.emplace_back(new CWriteTask);
    CWriteTask* task = pending.back().get();
    task->number = n;
    task->frame = framePath;
    task->dicom = dicomPath;
    writers.Add(task);
    if ((int)pending.size() >= writers.Size()) finishOldest();
  }
  // Files already handed to the writers are finished and shown.
  while (!pending.empty()) finishOldest();

  COLORREF color = STATUS_NORMAL;
  CString closing = MakeFinalStatus(canceled || IsStopped(), converted, failed, color);
  m_report.Status(closing, color);
}

JobResult CVideoToDicomJob::ExtractVideoFrames(LPCTSTR source, int start, int end, LPCTSTR pattern) {
  CEncoderTool tool;
  if (tool.InitWithSink(m_in.strEncoderPath, m_in.strPresetsFolder, m_in.hCallbackWnd, &m_sink) != 0)
    return JobResult::Failed;
  start = start > 0 ? start : 0;
  end = end > 0 ? end : -1;
  int result =
      tool.ExtractFrameRange(source, start, end, pattern, nullptr, m_in.nExtractWidth, m_in.nExtractHeight, &m_stop);
  return result != 0 ? JobResult::Failed : JobResult::Done;
}

JobResult CVideoToDicomJob::WriteDicomFile(LPCTSTR framePath, LPCTSTR dicomPath) {
  return WriteDicomFile(framePath, dicomPath, *m_pRequest);
}

JobResult CVideoToDicomJob::WriteDicomFile(LPCTSTR framePath, LPCTSTR dicomPath, CImageConvertRequest& request) {
  if (!m_in.pLibrary) return JobResult::Failed;
  request.SetInput(framePath, FRAME_FILE_FORMAT, -1);
  request.SetOutputPath(dicomPath);
  request.DeleteAllResults();
  return m_in.pLibrary->ConvertFiles(request) == 0 ? JobResult::Done : JobResult::Failed;
}

int CVideoToDicomJob::CountFrameFiles(LPCTSTR workFolder) {
  if (IsStopped()) return 0;
  int count = 0;
  while (!IsStopped() && PathFileExistsW(MakeFramePath(workFolder, count + 1))) ++count;
  return count;
}
#endif
