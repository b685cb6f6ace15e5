#include "converter/jobs/JobReport.h"

const wchar_t kStatusCompleted[] = L"Completed.";
const wchar_t kStatusCanceled[] = L"Canceled.";
const wchar_t kStatusFailed[] = L"Failed.";

int CJobProgressSink::OnToolStart(const ToolProgress& progress) {
  if (m_measure == POSITION) m_report.ProgressRange(progress.total);
  return 0;
}

int CJobProgressSink::OnToolProgress(const ToolProgress& progress) {
  if (m_stop != STOP_NONE) return 1;
  m_report.Progress(m_measure == FRAMES ? (LONGLONG)progress.frame : (LONGLONG)progress.position);
  return 0;
}
