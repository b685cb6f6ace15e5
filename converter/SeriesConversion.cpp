#include "converter/SeriesConversion.h"

#include <shlwapi.h>

#include "foundation/Helpers.h"

const wchar_t kStatusCompleted[] = L"Completed.";
const wchar_t kStatusCanceled[] = L"Canceled.";
const wchar_t kStatusFailed[] = L"Failed.";

namespace {
bool Stopped(const CSeriesJob& job) { return job.m_pStop && *job.m_pStop != 0; }
}  // namespace

int CSeriesProgressSink::OnToolProgress(const ToolProgress& progress) {
  if (m_pStop && *m_pStop) return 1;
  if (m_pHost) m_pHost->SetProgressPos((int)progress.frame);
  return 0;
}

int SaveSeriesFrames(CSeriesJob& job, CSeriesJobHost& host) {
  const int count = host.GetFrameCount();
  for (int d = 0; d < count; ++d) {
    if (Stopped(job)) return 1;
    host.SetFrameState(d, FRAMEITEM_STATE_WRITING);
    CString text;
    text.Format(L"Preparing frame %d ...", d + 1);
    host.SetJobStatus(text, kStatusNormal);
    CString file;
    file.Format(L"%s\\I%07d.bmp", (LPCTSTR)job.m_strWorkFolder, d);
    CFrameItem* item = host.GetFrame(d);
    if (!item || !item->m_image.Save(file, 1)) {
      host.SetFrameState(d, FRAMEITEM_STATE_FAILED);
      return -1;
    }
    host.SetFrameState(d, FRAMEITEM_STATE_WRITTEN);
    host.SetProgressPos(d + 1);
  }
  return Stopped(job) ? 1 : 0;
}

int EncodeSeriesVideo(CSeriesJob& job, CSeriesJobHost& host, LPCTSTR framePattern, const VideoFormatEntry& row,
                      int width, int height, int rateNum, int rateDen) {
  CString text;
  text.Format(L"Generating \"%s\" ...", ::PathFindFileNameW(job.m_strOutputPath));
  host.SetJobStatus(text, kStatusNormal);
  host.SetProgressPos(0);
  CEncoderTool encoder;
  if (encoder.InitWithSink(job.m_strEncoderPath, job.m_strPresetsFolder, job.m_hCallbackWnd, job.m_pSink) != 0)
    return -1;
  int result = encoder.TranscodeSegment(framePattern, rateNum, rateDen, job.m_strOutputPath, row.pszContainer,
                                        row.pszVideoCodec, width, height, 1, -1, job.m_pStop);
  if (result == 0) return 0;
  return Stopped(job) ? 1 : -1;
}

int RunSeriesJob(CSeriesJob& job, CSeriesJobHost& host) {
  if (job.m_strOutputPath.IsEmpty()) return -1;
  if (host.ConfirmOverwrite(job.m_strOutputPath) != 0) {
    host.SetJobStatus(kStatusCanceled, kStatusNormal);
    return 1;
  }
  // A bare name goes to the current folder, which exists.
  CString folder = GetParentFolder(job.m_strOutputPath);
  if (!folder.IsEmpty()) {
    CreateFolderTree(folder);
    if (!::PathFileExistsW(folder)) {
      CString text;
      text.Format(L"Failed to create folder:\n%s", (LPCTSTR)folder);
      host.ShowMessage(text);
      return -1;
    }
  }
  const VideoFormatEntry* row = GetVideoFormat(job.m_nFormatIndex);
  if (!row || job.m_strWorkFolder.IsEmpty()) {
    host.SetJobStatus(kStatusFailed, kStatusRed);
    return -1;
  }
  int width = 0, height = 0, rateNum = 0, rateDen = 0;
  ChooseFrameSizeAndRate(*row, job.m_nChosenWidth, job.m_nChosenHeight, job.m_nChosenRateNum, job.m_nChosenRateDen,
                         width, height, rateNum, rateDen);
  host.BeginProgress(host.GetFrameCount());

  int result = SaveSeriesFrames(job, host);
  if (result == 0) {
    host.SetJobStatus(L"Prepared.", kStatusNormal);
    // The encoder reads '%' as the start of a number: one in the folder is doubled.
    CString work = job.m_strWorkFolder;
    work.Replace(L"%", L"%%");
    result = EncodeSeriesVideo(job, host, work + L"\\I%07d.bmp", *row, width, height, rateNum, rateDen);
  }
  if (result == 0) {
    host.SetJobStatus(kStatusCompleted, kStatusNormal);
    host.OnVideoWritten(job.m_strOutputPath);
  } else if (result > 0) {
    host.SetJobStatus(kStatusCanceled, kStatusNormal);
  } else {
    host.SetJobStatus(kStatusFailed, kStatusRed);
  }
  return result;
}
