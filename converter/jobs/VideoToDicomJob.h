// The video-to-DICOM road without its window: the stretch to extract, the
// names of frame and DICOM files, and (on Windows) the job that has the
// encoder extract a video's frames and the image library write each frame as
// a DICOM file, reporting to its page through a host interface.
#pragma once
#include "afx.h"

// States of a row in the output list.
enum {
  ITEM_STATE_NONE = 0,
  ITEM_STATE_LOADING = 1,
  ITEM_STATE_DONE = 10,
  ITEM_STATE_FAILED = 40,
};

// Status colours: normal text and failures.
const COLORREF STATUS_NORMAL = 0;
const COLORREF STATUS_FAILED = 255;

// Library format codes of the frame files and the DICOM files.
const int FRAME_FILE_FORMAT = 1010;
const int DICOM_FILE_FORMAT = 2000;

// The stretch of the video to extract, in milliseconds. Without the range
// switch the whole video (0, -1). With it, start and end are clamped against
// the duration (microseconds; 0 when unknown): an end of 0 or less, or at or
// past the duration, means "to the end" (-1); a start below 0 or at or past
// the duration, or at or past a positive end, becomes 0.
void ClampStretch(int range, int start, int end, LONGLONG durationUs, int& outStart, int& outEnd);

// The encoder's output pattern for the frame files of a work folder:
// "<folder>\O%07d.bmp", with any '%' of the folder doubled so that the
// encoder reads it as a plain character.
CString MakeFramePattern(LPCTSTR workFolder);
// The frame file number n (from 1) of a work folder.
CString MakeFramePath(LPCTSTR workFolder, int number);
// The DICOM file of frame n: "<folder>\<base>-<n, at least four digits>.dcm",
// put together in one step, so '%' in the folder or the name stays as it is.
// A folder that ends with a separator (a drive root) gets no second one.
CString MakeDicomPath(LPCTSTR folder, LPCTSTR baseName, int number);
// The closing status of the DICOM step: "Canceled." when stopped, the counts
// in red when any file failed, else "Completed.".
CString MakeFinalStatus(int stopped, int converted, int failed, COLORREF& color);

#ifdef _WIN32
#include "afxwin.h"
#include "converter/tools/ProbeTool.h"
#include "foundation/RecentList.h"

class CToolProgressSink;
class CImageLibraryLoader;
class CImageConvertRequest;

// What the job asks of the page that runs it. All calls come from the
// worker thread.
class CVideoToDicomHost {
 public:
  virtual ~CVideoToDicomHost() {}
  // The two choosers; each may change the path it is given.
  virtual void ChooseSource(CString& path) = 0;
  virtual void ChooseDestination(CString& folder) = 0;
  virtual void ShowMessage(LPCTSTR text) = 0;
  virtual void SetStatus(LPCTSTR text, COLORREF color) = 0;
  virtual void SetBusy(BOOL busy) = 0;
  virtual void SetProgressRange(LONGLONG upper) = 0;
  virtual void SetProgressPos(LONGLONG pos) = 0;
  virtual void DeleteAllOutputItems() = 0;
  // Appends a row for the file; returns its index.
  virtual int AddOutputItem(LPCTSTR path) = 0;
  virtual void EnsureVisible(int row) = 0;
  virtual void SetItemState(int row, int state) = 0;
  // 0 = write the file, 1 = cancel; mode as the page base keeps it.
  virtual int ConfirmOverwrite(LPCTSTR path, int& mode, BOOL offerAll) = 0;
};

class CVideoToDicomJob {
 public:
  CVideoToDicomJob();
  virtual ~CVideoToDicomJob();

  // Runs on the worker: the work folder is deleted when the job ends, the
  // busy state is left. Returns ExtractFrames' result.
  int Run(LPCTSTR workFolder);
  // 0 when the job got as far as writing files, -1 otherwise.
  int ExtractFrames(LPCTSTR workFolder);
  // 0, or -1 for a failure or a stop.
  int ExtractVideoFrames(LPCTSTR source, int start, int end, LPCTSTR pattern);
  // 0 or -1; through the job's convert request, or through the given one.
  int WriteDicomFile(LPCTSTR framePath, LPCTSTR dicomPath);
  int WriteDicomFile(LPCTSTR framePath, LPCTSTR dicomPath, CImageConvertRequest& request);
  // Frame files numbered from 1 without a gap; 0 when stopped.
  int CountFrameFiles(LPCTSTR workFolder);

  // Probes the source into the media information; 0, 1 when stopped, -1.
  int ProbeSource(LPCTSTR path, volatile int* cancel);
  // Forgets the probe (the source path changed).
  void ResetMediaInfo();
  BOOL IsStopped() const { return m_pStop && *m_pStop != 0; }

  // What the page fills in.
  CString m_strSourcePath;
  CString m_strOutputFolder;
  int m_bRange = 0;
  int m_nStart = 0;
  int m_nEnd = 0;
  int m_nExtractWidth = 0;
  int m_nExtractHeight = 0;
  CMediaInfo m_mediaInfo;
  CString m_strMediaPath;  // the file m_mediaInfo describes; empty when none

  // Where the job reaches the outside world.
  CVideoToDicomHost* m_pHost = nullptr;
  volatile int* m_pStop = nullptr;
  CString m_strEncoderPath;
  CString m_strPresetsFolder;
  CString m_strProbePath;
  HWND m_hCallbackWnd = nullptr;
  CToolProgressSink* m_pSink = nullptr;
  CImageLibraryLoader* m_pLibrary = nullptr;
  CImageConvertRequest* m_pRequest;  // output 2000, option 1; owned
  CRecentList* m_pRecentInputs = nullptr;
  CRecentList* m_pRecentFolders = nullptr;

 private:
  CVideoToDicomJob(const CVideoToDicomJob&) = delete;
  CVideoToDicomJob& operator=(const CVideoToDicomJob&) = delete;
};
#endif
