// The video-to-DICOM road without its window: the stretch to extract, the
// names of frame and DICOM files, and (on Windows) the job that has the
// encoder extract a video's frames and the image library write each frame as
// a DICOM file.
#pragma once
#include "afx.h"
#include "converter/jobs/JobReport.h"

// States of a row in the output list.
enum {
  ITEM_STATE_NONE = 0,
  ITEM_STATE_LOADING = 1,
  ITEM_STATE_DONE = 10,
  ITEM_STATE_FAILED = 40,
};

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
// in red (STATUS_FAILED) when any file failed, else "Completed.".
CString MakeFinalStatus(int stopped, int converted, int failed, COLORREF& color);

#ifdef _WIN32
#include "converter/tools/ProbeTool.h"

class CImageLibraryLoader;
class CImageConvertRequest;

// What the page gives the job at Convert.
struct CVideoToDicomInputs {
  CString strSourcePath;
  CString strOutputFolder;  // the folder box's text; the job's chooser may change it
  int bRange = 0;           // only the stretch from nStart to nEnd (ms)
  int nStart = 0;
  int nEnd = 0;
  int nExtractWidth = 0;  // 0: the video's own size
  int nExtractHeight = 0;
  // The duration (microseconds) the page's probe found for strProbedPath;
  // another path is probed again when a stretch is asked for.
  LONGLONG nDuration = 0;
  CString strProbedPath;
  CString strEncoderPath;
  CString strPresetsFolder;
  CString strProbePath;
  HWND hCallbackWnd = nullptr;  // the window the encoder sends its progress records to
  CImageLibraryLoader* pLibrary = nullptr;
};

// Probes a file with the probe at probePath: Done when it is a video (a file
// without a picture stream is none), Canceled when stopped, else Failed.
JobResult ProbeVideo(LPCTSTR path, LPCTSTR probePath, CMediaInfo& info, const CStopFlag* stop);

// The video-to-DICOM job: the encoder extracts the video's frames into a work
// folder of its own, the image library writes each frame as a DICOM file.
// Everything runs on the job's worker thread and reaches the page through the
// report: the folder chooser (ChooseOutput, every time: OK confirms or
// changes the folder, Cancel keeps it) and the overwrite prompt (with
// Overwrite All), status texts, the busy state, progress (the encoder's over
// its own range, then the DICOM files over their number), each row's state
// (its first report names the DICOM file: ITEM_STATE_LOADING, then _DONE or
// _FAILED, or _NONE when its prompt was cancelled) and the message "Failed to
// create folder:\n%s".
class CVideoToDicomJob {
 public:
  CVideoToDicomJob(CJobReport& report, const CStopFlag& stop);
  ~CVideoToDicomJob();
  CVideoToDicomJob(const CVideoToDicomJob&) = delete;
  CVideoToDicomJob& operator=(const CVideoToDicomJob&) = delete;

  // A work folder of its own, then Run on it.
  JobResult Run();
  // ExtractFrames with the work folder deleted when it ends; then the busy
  // state is left. ExtractFrames' result.
  JobResult Run(LPCTSTR workFolder);
  // Done when the job got as far as writing files (also when stopped then or
  // when some files failed), Failed otherwise.
  JobResult ExtractFrames(LPCTSTR workFolder);
  // Done, or Failed for a failure or a stop.
  JobResult ExtractVideoFrames(LPCTSTR source, int start, int end, LPCTSTR pattern);
  // Done or Failed; through the job's convert request, or through the given one.
  JobResult WriteDicomFile(LPCTSTR framePath, LPCTSTR dicomPath);
  JobResult WriteDicomFile(LPCTSTR framePath, LPCTSTR dicomPath, CImageConvertRequest& request);
  // Frame files numbered from 1 without a gap; 0 when stopped.
  int CountFrameFiles(LPCTSTR workFolder);

  // What the page gives the job at Convert; after Run the folder chosen.
  CVideoToDicomInputs m_in;

 private:
  // The rows from 1 to count: DICOM files written side by side, listed and
  // shown in frame order. The closing status.
  void WriteDicomFiles(LPCTSTR workFolder, int count);
  bool IsStopped() const { return m_stop != STOP_NONE; }

  CJobReport& m_report;
  const CStopFlag& m_stop;
  CJobProgressSink m_sink;
  CImageConvertRequest* m_pRequest;  // output 2000, option 1; owned
};
#endif
