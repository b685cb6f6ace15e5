// The jobs' answer to the encoder's progress records.
#include <gtest/gtest.h>

#include "converter/jobs/JobReport.h"

namespace {
// Keeps the progress a sink reports; nothing else is asked of it.
class CProgressReport : public CJobReport {
 public:
  void Status(LPCTSTR, COLORREF) override {}
  void Busy(bool) override {}
  void ProgressRange(LONGLONG upper) override { range = upper; }
  void Progress(LONGLONG value) override { position = value; }
  void ItemState(int, int, LPCTSTR) override {}
  bool ChooseOutput(CString&) override { return false; }
  bool ConfirmOverwrite(LPCTSTR, int&, bool) override { return false; }
  void Message(LPCTSTR) override {}
  LONGLONG range = -1, position = -1;
};
}  // namespace

TEST(JobProgressSink, ProgressInItsMeasureUntilAStopIsAnswered) {
  CProgressReport report;
  CStopFlag stop{STOP_NONE};
  CJobProgressSink frames(report, stop, CJobProgressSink::FRAMES);
  CJobProgressSink position(report, stop, CJobProgressSink::POSITION);
  ToolProgress progress = {};
  progress.total = 500;
  progress.position = 120;
  progress.frame = 7;
  // A series keeps its own range (its frames) and moves by the frames encoded.
  EXPECT_EQ(0, frames.OnToolStart(progress));
  EXPECT_EQ(-1, report.range);
  EXPECT_EQ(0, frames.OnToolProgress(progress));
  EXPECT_EQ(7, report.position);
  // The video road follows the encoder's own range.
  EXPECT_EQ(0, position.OnToolStart(progress));
  EXPECT_EQ(500, report.range);
  EXPECT_EQ(0, position.OnToolProgress(progress));
  EXPECT_EQ(120, report.position);
  // Any stop request is answered 1 and moves nothing.
  for (int request : {STOP_REQUESTED, STOP_AND_CLOSE}) {
    stop = request;
    report.position = -1;
    EXPECT_EQ(1, frames.OnToolProgress(progress)) << request;
    EXPECT_EQ(1, position.OnToolProgress(progress)) << request;
    EXPECT_EQ(-1, report.position) << request;
  }
}
