// The series-to-video job: the frames saved as numbered BMP files into a work
// folder of its own, then the outside encoder over them.
#pragma once
#include "converter/jobs/FrameItem.h"
#include "converter/jobs/JobReport.h"
#include "converter/jobs/VideoFormats.h"

// Everything runs on the job's worker thread and reaches the page through the
// report: the Save dialog (ChooseOutput) and the overwrite prompt, status
// texts, the busy state, progress over the frames (the range is the number
// of frames; the encoder's frame count moves the bar), each frame's state
// (FRAMEITEM_STATE_WRITING, then _WRITTEN, or _FAILED when its file cannot
// be written) and the message "Failed to create folder:\n%s".
class CSeriesJob {
 public:
  CSeriesJob(CJobReport& report, const CStopFlag& stop)
      : m_report(report), m_stop(stop), m_sink(report, stop, CJobProgressSink::FRAMES) {}
  CSeriesJob(const CSeriesJob&) = delete;
  CSeriesJob& operator=(const CSeriesJob&) = delete;

  // A work folder of its own (deleted with its files when the job ends),
  // ConvertFrames, then the busy state left.
  JobResult Run();
  // The Save dialog (cancelling it cancels the job), then WriteVideo.
  JobResult ConvertFrames(LPCTSTR workFolder);
  // With the output file known: overwrite check, output folder, size and
  // rate, frame files, encoder.
  JobResult WriteVideo();

  // What the page gives the job at Convert.
  CFrameList m_frames;      // in strip order; the job reads their pictures
  CString m_strOutputPath;  // the file-name box's text; after Run the file chosen
  int m_nFormatIndex = 0;
  int m_nChosenWidth = 0, m_nChosenHeight = 0;     // 0 = not chosen
  int m_nChosenRateNum = 0, m_nChosenRateDen = 0;  // 0 = not chosen
  CString m_strEncoderPath;
  CString m_strPresetsFolder;
  HWND m_hCallbackWnd = nullptr;  // the window the encoder sends its progress records to
  // The folder the frame files go to; Run makes it.
  CString m_strWorkFolder;

 private:
  // Writes frame d as "<work folder>\I%07d.bmp"; Failed when a frame cannot
  // be written (a gap would end the video early).
  JobResult SaveFrames();
  JobResult EncodeVideo(LPCTSTR framePattern, const VideoFormatEntry& row, int width, int height, int rateNum,
                        int rateDen);
  bool IsStopped() const { return m_stop != STOP_NONE; }

  CJobReport& m_report;
  const CStopFlag& m_stop;
  CJobProgressSink m_sink;
};
