#include "converter/jobs/SeriesConversion.h"

#include <shlwapi.h>

#include "foundation/FileSystem.h"
#include "converter/jobs/WorkFolders.h"

const wchar_t kStatusCompleted[] = L"Completed.";
const wchar_t kStatusCanceled[] = L"Canceled.";
const wchar_t kStatusFailed[] = L"Failed.";

int CSeriesProgressSink::OnToolProgress(const ToolProgress& progress) {
  if (m_pStop && *m_pStop) return 1;
  if (m_pHost) m_pHost->SetProgressPos((int)progress.frame);
  return 0;
}

int CSeriesJob::Run() {
  CString folder = CreateTempWorkFolder();
  CWorkFolderGuard guard(folder, !folder.IsEmpty());
  return ConvertFrames(folder);
}

int CSeriesJob::ConvertFrames(LPCTSTR workFolder) {
  m_strWorkFolder = workFolder;
  // A cancelled Save dialog cancels the conversion: a name typed into the
  // box may be bare, and nothing is written anywhere the user did not choose.
  if (!m_pHost->ChooseOutputFile(m_strOutputPath)) {
    m_pHost->SetJobStatus(kStatusCanceled, kStatusNormal);
    return 1;
  }
  return WriteVideo();
}

int CSeriesJob::SaveFrames() {
  CSeriesJobHost& host = *m_pHost;
  const int count = host.GetFrameCount();
  for (int d = 0; d < count; ++d) {
    if (IsStopped()) return 1;
    host.SetFrameState(d, FRAMEITEM_STATE_WRITING);
    CString text;
    text.Format(L"Preparing frame %d ...", d + 1);
    host.SetJobStatus(text, kStatusNormal);
    CString file;
    file.Format(L"%s\\I%07d.bmp", (LPCTSTR)m_strWorkFolder, d);
    CFrameItem* item = host.GetFrame(d);
    if (!item || !item->m_image.Save(file, 1)) {
      host.SetFrameState(d, FRAMEITEM_STATE_FAILED);
      return -1;
    }
    host.SetFrameState(d, FRAMEITEM_STATE_WRITTEN);
    host.SetProgressPos(d + 1);
  }
  return IsStopped() ? 1 : 0;
}

int CSeriesJob::EncodeVideo(LPCTSTR framePattern, const VideoFormatEntry& row, int width, int height, int rateNum,
                            int rateDen) {
  CString text;
  text.Format(L"Generating \"%s\" ...", ::PathFindFileNameW(m_strOutputPath));
  m_pHost->SetJobStatus(text, kStatusNormal);
  m_pHost->SetProgressPos(0);
  CEncoderTool encoder;
  if (encoder.InitWithSink(m_strEncoderPath, m_strPresetsFolder, m_hCallbackWnd, m_pSink) != 0) return -1;
  int result = encoder.TranscodeSegment(framePattern, rateNum, rateDen, m_strOutputPath, row.pszContainer,
                                        row.pszVideoCodec, width, height, 1, -1, m_pStop);
  if (result == 0) return 0;
  return IsStopped() ? 1 : -1;
}

int CSeriesJob::WriteVideo() {
  CSeriesJobHost& host = *m_pHost;
  if (m_strOutputPath.IsEmpty()) return -1;
  if (host.ConfirmOverwrite(m_strOutputPath) != 0) {
    host.SetJobStatus(kStatusCanceled, kStatusNormal);
    return 1;
  }
  // A bare name goes to the current folder, which exists.
  CString folder = GetParentFolder(m_strOutputPath);
  if (!folder.IsEmpty()) {
    CreateFolderTree(folder);
    if (!::PathFileExistsW(folder)) {
      CString text;
      text.Format(L"Failed to create folder:\n%s", (LPCTSTR)folder);
      host.ShowMessage(text);
      return -1;
    }
  }
  const VideoFormatEntry* row = GetVideoFormat(m_nFormatIndex);
  if (!row || m_strWorkFolder.IsEmpty()) {
    host.SetJobStatus(kStatusFailed, kStatusRed);
    return -1;
  }
  int width = 0, height = 0, rateNum = 0, rateDen = 0;
  ChooseFrameSizeAndRate(*row, m_nChosenWidth, m_nChosenHeight, m_nChosenRateNum, m_nChosenRateDen, width, height,
                         rateNum, rateDen);
  host.BeginProgress(host.GetFrameCount());

  int result = SaveFrames();
  if (result == 0) {
    host.SetJobStatus(L"Prepared.", kStatusNormal);
    // The encoder reads '%' as the start of a number: one in the folder is doubled.
    CString work = m_strWorkFolder;
    work.Replace(L"%", L"%%");
    result = EncodeVideo(work + L"\\I%07d.bmp", *row, width, height, rateNum, rateDen);
  }
  if (result == 0) {
    host.SetJobStatus(kStatusCompleted, kStatusNormal);
    host.OnVideoWritten(m_strOutputPath);
  } else if (result > 0) {
    host.SetJobStatus(kStatusCanceled, kStatusNormal);
  } else {
    host.SetJobStatus(kStatusFailed, kStatusRed);
  }
  return result;
}
