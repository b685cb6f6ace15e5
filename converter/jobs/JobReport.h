// What a conversion job tells the page that runs it, and what it asks: the
// one interface both jobs report through. A job calls it from its worker
// thread; the page base carries every call to the page's window thread, and
// a question waits there for its answer.
#pragma once
#include "afx.h"
#include "converter/tools/EncoderTool.h"

// How a job ended: its work done, cancelled (by the user or a stop), failed.
enum class JobResult { Done = 0, Canceled = 1, Failed = -1 };

// A page's stop request (a CStopFlag): a job stops at its next step when it
// is not STOP_NONE; STOP_AND_CLOSE also closes the program afterwards.
enum : int { STOP_NONE = 0, STOP_REQUESTED = 2, STOP_AND_CLOSE = 3 };

// Status colours: normal text, and red for failures.
const COLORREF STATUS_NORMAL = 0;
const COLORREF STATUS_FAILED = 255;
// The status texts a job ends with.
extern const wchar_t kStatusCompleted[];
extern const wchar_t kStatusCanceled[];
extern const wchar_t kStatusFailed[];

// The overwrite mode a job keeps across its files: ask; the last answer was
// Overwrite (asks again next time); Overwrite All (never asks again).
enum { OVERWRITE_ASK = 0, OVERWRITE_ONCE = 1, OVERWRITE_ALL = 2 };

class CJobReport {
 public:
  virtual ~CJobReport() {}

  // The status line; STATUS_FAILED marks failures.
  virtual void Status(LPCTSTR text, COLORREF color) = 0;
  // Busy: Stop and the progress bar shown, the page's inputs locked. A job
  // enters it when its real work starts and always leaves it at its end.
  virtual void Busy(bool busy) = 0;
  virtual void ProgressRange(LONGLONG upper) = 0;
  virtual void Progress(LONGLONG position) = 0;
  // Item index (a frame of the series, a row of the output list) reached
  // state. A row is listed by its first report, which names its file.
  virtual void ItemState(int index, int state, LPCTSTR file = nullptr) = 0;

  // The questions.
  // The output to write (the video file, the DICOM files' folder), starting
  // from path; false when the user cancelled (path unchanged).
  virtual bool ChooseOutput(CString& path) = 0;
  // Whether to write over the file at path: true at once when nothing is
  // there or mode is OVERWRITE_ALL, else the user's answer (mode updated).
  virtual bool ConfirmOverwrite(LPCTSTR path, int& mode, bool offerAll) = 0;
  // A message box; returns once it is closed.
  virtual void Message(LPCTSTR text) = 0;
};

// A job's answer to the encoder's progress records: a stop asks the encoder
// to end; otherwise the progress goes to the report, as the encoder's frame
// count (the range stays the job's) or as its position in its own range.
class CJobProgressSink : public CToolProgressSink {
 public:
  enum Measure { FRAMES, POSITION };
  CJobProgressSink(CJobReport& report, const CStopFlag& stop, Measure measure)
      : m_report(report), m_stop(stop), m_measure(measure) {}
  int OnRunBegin() override { return 0; }
  int OnRunEnd() override { return 0; }
  int OnToolStart(const ToolProgress& progress) override;
  int OnToolProgress(const ToolProgress& progress) override;
  int OnToolFinish(const ToolProgress&) override { return 0; }

 private:
  CJobReport& m_report;
  const CStopFlag& m_stop;
  const Measure m_measure;
};
