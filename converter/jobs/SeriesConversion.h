// The series-to-video job without its windows: frames saved as numbered BMP
// files into the job's work folder, then the outside encoder over them.
#pragma once
#include "converter/tools/EncoderTool.h"
#include "converter/jobs/FrameItem.h"
#include "converter/jobs/VideoFormats.h"
#include "afxwin.h"

// What a job reads and shows; the series page is one. A job calls it from
// its worker thread.
class CSeriesJobHost {
 public:
  virtual ~CSeriesJobHost() {}
  virtual int GetFrameCount() = 0;
  virtual CFrameItem* GetFrame(int index) = 0;
  // Sets the frame's state, redraws it and brings it into view.
  virtual void SetFrameState(int index, int state) = 0;
  virtual void SetJobStatus(LPCTSTR text, COLORREF color) = 0;
  // A plain bar from 0 to range, position 0; the page also enters its busy state.
  virtual void BeginProgress(int range) = 0;
  virtual void SetProgressPos(int position) = 0;
  // The Save dialog, proposing path; TRUE with path changed to the chosen file.
  virtual BOOL ChooseOutputFile(CString& path) { return TRUE; }
  // 0 to write the file, 1 to cancel.
  virtual int ConfirmOverwrite(LPCTSTR path) = 0;
  virtual void ShowMessage(LPCTSTR text) = 0;
  virtual void OnVideoWritten(LPCTSTR path) {}
};

// Status texts of a finished job.
extern const wchar_t kStatusCompleted[];
extern const wchar_t kStatusCanceled[];
extern const wchar_t kStatusFailed[];
const COLORREF kStatusNormal = 0;
const COLORREF kStatusRed = 255;

// One conversion. Every step runs on the job's worker thread and reaches the
// page only through the host. Results: 0 written, 1 cancelled or stopped,
// -1 failed.
class CSeriesJob {
 public:
  // A work folder of its own for the frame files, deleted when the job ends
  // (the files with it), then ConvertFrames.
  int Run();
  // The Save dialog (cancelling it cancels the job), then WriteVideo.
  int ConvertFrames(LPCTSTR workFolder);
  // With the output file known: overwrite check, output folder, size and
  // rate, frame files, encoder.
  int WriteVideo();
  // Writes frame d as "<work folder>\I%07d.bmp"; -1 when a frame cannot be
  // written (a gap would end the video early).
  int SaveFrames();
  int EncodeVideo(LPCTSTR framePattern, const VideoFormatEntry& row, int width, int height, int rateNum, int rateDen);
  bool IsStopped() const { return m_pStop && *m_pStop != 0; }

  // What the page fills in.
  CString m_strWorkFolder;
  CString m_strOutputPath;
  int m_nFormatIndex = 0;
  int m_nChosenWidth = 0, m_nChosenHeight = 0;     // 0 = not chosen
  int m_nChosenRateNum = 0, m_nChosenRateDen = 0;  // 0 = not chosen
  CString m_strEncoderPath;
  CString m_strPresetsFolder;
  CSeriesJobHost* m_pHost = nullptr;
  HWND m_hCallbackWnd = nullptr;         // receives the encoder's progress records
  CToolProgressSink* m_pSink = nullptr;  // answers them
  volatile int* m_pStop = nullptr;       // 0 runs; non-zero stops
};

// The series page's answer to the encoder: a stop asks it to end; progress
// moves the bar to the number of frames written.
class CSeriesProgressSink : public CToolProgressSink {
 public:
  CSeriesProgressSink(volatile int* stop, CSeriesJobHost* host) : m_pStop(stop), m_pHost(host) {}
  int OnRunBegin() override { return 0; }
  int OnRunEnd() override { return 0; }
  int OnToolStart(const ToolProgress&) override { return 0; }
  int OnToolProgress(const ToolProgress& progress) override;
  int OnToolFinish(const ToolProgress&) override { return 0; }

  volatile int* m_pStop;
  CSeriesJobHost* m_pHost;
};
