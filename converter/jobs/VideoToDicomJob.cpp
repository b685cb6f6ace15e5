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
    text = L"Canceled.";
  } else if (failed > 0) {
    text.Format(L"%d frames converted, %d frames failed.", converted, failed);
    color = STATUS_FAILED;
  } else {
    text = L"Completed.";
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

#include "converter/tools/EncoderTool.h"
#include "foundation/FileSystem.h"
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

// One DICOM file to write, and how it went (-2 while pending).
struct CWriteTask {
  int number = 0;
  int row = 0;
  CString frame, dicom;
  int result = -2;
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
  int Wait(CWriteTask* task) {
    std::unique_lock<std::mutex> l(m_lock);
    m_done.wait(l, [task] { return task->result != -2; });
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
      const int result = m_job.WriteDicomFile(task->frame, task->dicom, *m_requests[slot]);
      // A frame is read once: gone now, the work folder is quick to remove at the end.
      ::DeleteFileW(task->frame);
      {
        std::lock_guard<std::mutex> l(m_lock);
        task->result = result;
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

CVideoToDicomJob::CVideoToDicomJob() : m_pRequest(new CImageConvertRequest) {
  m_pRequest->m_nOutputFormat = DICOM_FILE_FORMAT;
  m_pRequest->m_nOutputOption = 1;
}

CVideoToDicomJob::~CVideoToDicomJob() { delete m_pRequest; }

int CVideoToDicomJob::ProbeSource(LPCTSTR path, volatile int* cancel) {
  m_strMediaPath.Empty();
  int result = m_mediaInfo.Load(path, m_strProbePath, cancel);
  // A file without a picture stream is no video for this road.
  if (result == 0 && !(m_mediaInfo.m_dwStreamFlags & MEDIA_HAS_VIDEO)) result = -1;
  if (result == 0) m_strMediaPath = path;
  return result;
}

void CVideoToDicomJob::ResetMediaInfo() {
  m_mediaInfo.Reset();
  m_strMediaPath.Empty();
}

int CVideoToDicomJob::Run(LPCTSTR workFolder) {
  CComApartment com;
  int result;
  {
    CWorkFolderGuard guard(workFolder, 1);
    result = ExtractFrames(workFolder);
  }
  // Convert comes back once the frame files are gone too.
  if (m_pHost) m_pHost->SetBusy(FALSE);
  return result;
}

int CVideoToDicomJob::ExtractFrames(LPCTSTR workFolder) {
  CVideoToDicomHost& host = *m_pHost;
  if (m_strSourcePath.IsEmpty()) {
    host.ChooseSource(m_strSourcePath);
    if (m_strSourcePath.IsEmpty()) return -1;
  }
  // Every time: OK confirms or changes the folder, Cancel keeps it.
  host.ChooseDestination(m_strOutputFolder);
  if (m_strOutputFolder.IsEmpty()) return -1;

  // A file of that name is no folder to write into.
  if (!CreateFolderTree(m_strOutputFolder) || !PathIsDirectoryW(m_strOutputFolder)) {
    CString text;
    text.Format(L"Failed to create folder:\n%s", (LPCTSTR)m_strOutputFolder);
    host.ShowMessage(text);
    return -1;
  }

  host.DeleteAllOutputItems();
  host.SetBusy(TRUE);
  host.SetProgressPos(0);
  host.SetStatus(L"Extracting frames from source video...", STATUS_NORMAL);

  // A path typed after the last probe has not been probed: learn its
  // duration now rather than clamping with another video's.
  if (m_bRange && m_strMediaPath.CompareNoCase(m_strSourcePath) != 0) {
    ResetMediaInfo();
    if (ProbeSource(m_strSourcePath, m_pStop) == 1 || IsStopped()) {
      host.SetStatus(L"Canceled.", STATUS_NORMAL);
      return -1;
    }
  }
  int start = 0, end = -1;
  ClampStretch(m_bRange, m_nStart, m_nEnd, m_mediaInfo.m_nDuration, start, end);

  CString pattern = MakeFramePattern(workFolder);
  if (ExtractVideoFrames(m_strSourcePath, start, end, pattern) != 0) {
    if (IsStopped())
      host.SetStatus(L"Canceled.", STATUS_NORMAL);
    else
      host.SetStatus(L"Failed to extract video frames.", STATUS_FAILED);
    return -1;
  }
  host.SetStatus(L"Extracted video frames.", STATUS_NORMAL);
  const CString baseName = GetFileBaseName(m_strSourcePath);

  const int count = CountFrameFiles(workFolder);
  // A stop right after the extraction is a stop, not a broken video.
  if (IsStopped()) {
    host.SetStatus(L"Canceled.", STATUS_NORMAL);
    return -1;
  }
  if (count == 0) {
    host.SetStatus(L"Failed to load video.", STATUS_FAILED);
    return -1;
  }

  host.SetProgressRange(count);
  host.SetProgressPos(0);
  int overwriteMode = 0, converted = 0, failed = 0;
  BOOL canceled = FALSE;
  // The files are written side by side; rows are listed, and their results
  // shown, in frame order.
  CDicomWriters writers(*this, std::max(1, std::min(4, (int)std::thread::hardware_concurrency() / 2)));
  std::deque<std::unique_ptr<CWriteTask>> pending;
  auto finishOldest = [&] {
    CWriteTask* task = pending.front().get();
    if (writers.Wait(task) != 0) {
      host.SetItemState(task->row, ITEM_STATE_FAILED);
      ++failed;
    } else {
      host.SetProgressPos(task->number);
      host.SetItemState(task->row, ITEM_STATE_DONE);
      ++converted;
    }
    pending.pop_front();
  };
  for (int n = 1; n <= count; ++n) {
    if (IsStopped()) {
      canceled = TRUE;
      break;
    }
    const CString framePath = MakeFramePath(workFolder, n);
    if (!PathFileExistsW(framePath)) {
      // Frames that vanished from the work folder were not converted.
      failed += count - n + 1;
      break;
    }
    const CString dicomPath = MakeDicomPath(m_strOutputFolder, baseName, n);
    const int row = host.AddOutputItem(dicomPath);
    host.EnsureVisible(row);
    CString status;
    status.Format(L"Generating \"%s\" ...", PathFindFileNameW(dicomPath));
    host.SetStatus(status, STATUS_NORMAL);
    host.SetItemState(row, ITEM_STATE_LOADING);

    // Before the user is asked about an existing file, the files before it are done.
    if (PathFileExistsW(dicomPath))
      while (!pending.empty()) finishOldest();
    if (host.ConfirmOverwrite(dicomPath, overwriteMode, TRUE) != 0) {
      host.SetItemState(row, ITEM_STATE_NONE);
      canceled = TRUE;
      break;
    }
    pending.emplace_back(new CWriteTask);
    CWriteTask* task = pending.back().get();
    task->number = n;
    task->row = row;
    task->frame = framePath;
    task->dicom = dicomPath;
    writers.Add(task);
    if ((int)pending.size() >= writers.Size()) finishOldest();
  }
  // Files already handed to the writers are finished and shown.
  while (!pending.empty()) finishOldest();

  COLORREF color = STATUS_NORMAL;
  CString closing = MakeFinalStatus(canceled || IsStopped(), converted, failed, color);
  host.SetStatus(closing, color);

  if (m_pRecentInputs) m_pRecentInputs->Add(m_strSourcePath);
  if (m_pRecentFolders) m_pRecentFolders->Add(m_strOutputFolder);
  return 0;
}

int CVideoToDicomJob::ExtractVideoFrames(LPCTSTR source, int start, int end, LPCTSTR pattern) {
  CEncoderTool tool;
  if (tool.InitWithSink(m_strEncoderPath, m_strPresetsFolder, m_hCallbackWnd, m_pSink) != 0) return -1;
  start = start > 0 ? start : 0;
  end = end > 0 ? end : -1;
  int result = tool.ExtractFrameRange(source, start, end, pattern, nullptr, m_nExtractWidth, m_nExtractHeight, m_pStop);
  return result != 0 ? -1 : 0;
}

int CVideoToDicomJob::WriteDicomFile(LPCTSTR framePath, LPCTSTR dicomPath) {
  return WriteDicomFile(framePath, dicomPath, *m_pRequest);
}

int CVideoToDicomJob::WriteDicomFile(LPCTSTR framePath, LPCTSTR dicomPath, CImageConvertRequest& request) {
  if (!m_pLibrary) return -1;
  request.SetInput(framePath, FRAME_FILE_FORMAT, -1);
  request.SetOutputPath(dicomPath);
  request.DeleteAllResults();
  return m_pLibrary->ConvertFiles(request) == 0 ? 0 : -1;
}

int CVideoToDicomJob::CountFrameFiles(LPCTSTR workFolder) {
  if (IsStopped()) return 0;
  int count = 0;
  while (!IsStopped() && PathFileExistsW(MakeFramePath(workFolder, count + 1))) ++count;
  return count;
}
#endif
