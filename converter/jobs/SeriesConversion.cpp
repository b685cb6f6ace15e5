#include "converter/jobs/SeriesConversion.h"

#include <shlwapi.h>

#include "converter/jobs/WorkFolders.h"
#include "foundation/FileSystem.h"

JobResult CSeriesJob::Run() {
  JobResult result;
  {
    CString folder = CreateTempWorkFolder();
    CWorkFolderGuard guard(folder, !folder.IsEmpty());
    result = ConvertFrames(folder);
  }
  // Convert comes back once the frame files are gone too.
  m_report.Busy(false);
  return result;
}

JobResult CSeriesJob::ConvertFrames(LPCTSTR workFolder) {
  m_strWorkFolder = workFolder;
  // A cancelled Save dialog cancels the conversion: a name typed into the
  // box may be bare, and nothing is written anywhere the user did not choose.
  if (!m_report.ChooseOutput(m_strOutputPath)) {
    m_report.Status(kStatusCanceled, STATUS_NORMAL);
    return JobResult::Canceled;
  }
  return WriteVideo();
}

JobResult CSeriesJob::SaveFrames() {
  const int count = (int)m_frames.size();
  for (int d = 0; d < count; ++d) {
    if (IsStopped()) return JobResult::Canceled;
    m_report.ItemState(d, FRAMEITEM_STATE_WRITING);
    CString text;
    text.Format(L"Preparing frame %d ...", d + 1);
    m_report.Status(text, STATUS_NORMAL);
    CString file;
    file.Format(L"%s\\I%07d.bmp", (LPCTSTR)m_strWorkFolder, d);
    if (!m_frames[d] || !m_frames[d]->m_image.Save(file, 1)) {
      m_report.ItemState(d, FRAMEITEM_STATE_FAILED);
      return JobResult::Failed;
    }
    m_report.ItemState(d, FRAMEITEM_STATE_WRITTEN);
    m_report.Progress(d + 1);
  }
  return IsStopped() ? JobResult::Canceled : JobResult::Done;
}

JobResult CSeriesJob::EncodeVideo(LPCTSTR framePattern, const VideoFormatEntry& row, int width, int height, int rateNum,
                                  int rateDen) {
  CString text;
  text.Format(L"Generating \"%s\" ...", ::PathFindFileNameW(m_strOutputPath));
  m_report.Status(text, STATUS_NORMAL);
  m_report.Progress(0);
  CEncoderTool encoder;
  if (encoder.InitWithSink(m_strEncoderPath, m_strPresetsFolder, m_hCallbackWnd, &m_sink) != 0)
    return JobResult::Failed;
  int result = encoder.TranscodeSegment(framePattern, rateNum, rateDen, m_strOutputPath, row.pszContainer,
                                        row.pszVideoCodec, width, height, 1, -1, &m_stop);
  if (result == 0) return JobResult::Done;
  return IsStopped() ? JobResult::Canceled : JobResult::Failed;
}

JobResult CSeriesJob::WriteVideo() {
  if (m_strOutputPath.IsEmpty()) return JobResult::Failed;
  int overwriteMode = OVERWRITE_ASK;
  if (!m_report.ConfirmOverwrite(m_strOutputPath, overwriteMode, false)) {
    m_report.Status(kStatusCanceled, STATUS_NORMAL);
    return JobResult::Canceled;
  }
  // A bare name goes to the current folder, which exists.
  CString folder = GetParentFolder(m_strOutputPath);
  if (!folder.IsEmpty()) {
    CreateFolderTree(folder);
    if (!::PathFileExistsW(folder)) {
      CString text;
      text.Format(L"Failed to create folder:\n%s", (LPCTSTR)folder);
      m_report.Message(text);
      return JobResult::Failed;
    }
  }
  const VideoFormatEntry* row = GetVideoFormat(m_nFormatIndex);
  if (!row || m_strWorkFolder.IsEmpty()) {
    m_report.Status(kStatusFailed, STATUS_FAILED);
    return JobResult::Failed;
  }
  int width = 0, height = 0, rateNum = 0, rateDen = 0;
  ChooseFrameSizeAndRate(*row, m_nChosenWidth, m_nChosenHeight, m_nChosenRateNum, m_nChosenRateDen, width, height,
                         rateNum, rateDen);
  m_report.ProgressRange((LONGLONG)m_frames.size());
  m_report.Progress(0);
  m_report.Busy(true);

  JobResult result = SaveFrames();
  if (result == JobResult::Done) {
    m_report.Status(L"Prepared.", STATUS_NORMAL);
    // The encoder reads '%' as the start of a number: one in the folder is doubled.
    CString work = m_strWorkFolder;
    work.Replace(L"%", L"%%");
    result = EncodeVideo(work + L"\\I%07d.bmp", *row, width, height, rateNum, rateDen);
  }
  if (result == JobResult::Done)
    m_report.Status(kStatusCompleted, STATUS_NORMAL);
  else if (result == JobResult::Canceled)
    m_report.Status(kStatusCanceled, STATUS_NORMAL);
  else
    m_report.Status(kStatusFailed, STATUS_FAILED);
  return result;
}
