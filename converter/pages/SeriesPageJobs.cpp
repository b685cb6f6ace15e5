// The series page's two threads: the loader that turns added paths into
// frames, and the conversion worker, which runs the page's job.
#include <algorithm>

#include "converter/app/ConverterGlobals.h"
#include "resources/converter/ConverterRes.h"
#include "converter/app/ConverterResources.h"
#include "foundation/ui/FileDialog.h"
#include "imaging/library/ImageLibrary.h"
#include "converter/app/ConverterSettings.h"
#include "converter/pages/SeriesToVideoPage.h"

// ---------------------------------------------------------------------------
// Loading.

int CSeriesToVideoPage::StartLoader() {
  // One loader at a time, and none while a conversion reads the frames.
  if (m_pLoaderThread || m_pWorkerThread) return -1;
  m_nLoaderStop = STOP_NONE;
  m_pLoaderThread = BeginWorkerThread(&CSeriesToVideoPage::LoaderThreadProc, this);
  LockFrames();
  return m_pLoaderThread ? 0 : -1;
}

UINT CSeriesToVideoPage::LoaderThreadProc(LPVOID param) {
  CSeriesToVideoPage* page = static_cast<CSeriesToVideoPage*>(param);
  int total = page->LoadPendingSources();
  page->m_nLoaded = total;
  page->PostMessage(WM_LOADER_FINISHED, 0, 0);
  return (UINT)total;
}

int CSeriesToVideoPage::LoadPendingSources() {
  SendToPage([this] {
    m_wndProgress.m_bMarquee = 1;
    m_wndProgress.SetRange(100);
    m_wndProgress.SetPos(0);
    m_wndProgress.ShowWindow(SW_SHOW);
    SetTimer(kMarqueeTimer, 100);
    // The strip shows what arrived with each marquee step, not with every frame.
    m_wndStrip.SetRedraw(FALSE);
    m_bBatchedDraw = TRUE;
  });
  CSeriesLoader loader(GetConverterImageLibrary(), this);
  const int total = loader.LoadPaths(m_arrPending, m_strFolderPattern, m_bScanSubfolders);
  m_arrPending.RemoveAll();
  SendToPage([this] {
    m_wndProgress.ShowWindow(SW_HIDE);
    m_wndProgress.m_bMarquee = 0;
    m_bBatchedDraw = FALSE;
    m_wndStrip.SetRedraw(TRUE);
    m_wndStrip.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  });
  SendToPage([this] { KillTimer(kMarqueeTimer); });
  return total;
}

void CSeriesToVideoPage::PutFrame(CFrameItem* item, int position) { m_wndStrip.PutFrame(item, position); }

void CSeriesToVideoPage::UpdateFrameCount() {
  const int n = m_wndStrip.GetItemCount();
  CString text;
  if (n > 0) text.Format(L"%d %s", n, n == 1 ? L"frame" : L"frames");
  // The colour stays as it is.
  SetStatusText(text);
}

void CSeriesToVideoPage::UpdateThumbnailSize() {
  int w = 0, h = 0;
  if (m_nChosenWidth > 0 && m_nChosenHeight > 0) {
    w = m_nChosenWidth;
    h = m_nChosenHeight;
  } else if (m_wndStrip.GetItemCount() > 0) {
    CFrameItem* first = m_wndStrip.GetFrame(0);
    w = (int)first->m_image.GetWidth();
    h = (int)first->m_image.GetHeight();
  }
  if (w > 0 && h > 0) m_wndStrip.SetThumbnailSize(w, h);
}

LRESULT CSeriesToVideoPage::OnLoaderFinished(WPARAM, LPARAM) {
  const BOOL closing = FinishThread(m_pLoaderThread, m_nLoaderStop);
  LockFrames();
  // Convert and the tools come back with the count, not at the next idle
  // turn: a click that follows the count at once is not lost.
  OnIdleUpdateCmdUI(TRUE, 0);
  if (m_nLoaded > 0) UpdateFrameCount();
  return closing ? 1 : 0;
}

void CSeriesToVideoPage::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent == kMarqueeTimer) {
    LONGLONG pos = m_wndProgress.GetPos() + 1;
    m_wndProgress.SetPos(pos > 100 ? 0 : pos);
    if (m_bBatchedDraw) {
      m_wndStrip.SetRedraw(TRUE);
      m_wndStrip.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
      m_wndStrip.SetRedraw(FALSE);
    }
  }
  Default();
}

void CSeriesToVideoPage::RequestStop(int mode) {
  CConvertPage::RequestStop(mode);
  if (m_pLoaderThread) m_nLoaderStop = mode;
}

// ---------------------------------------------------------------------------
// Converting.

int CSeriesToVideoPage::StartConversion() {
  if (m_pWorkerThread || m_pLoaderThread) return -1;
  if (!UpdateData(TRUE)) return -1;
  if (m_wndStrip.GetItemCount() == 0) {
    AfxMessageBox(L"You must add some DICOM files.");
    return -1;
  }
  if (!GetVideoFormat(m_nFormatIndex)) {
    // No format chosen: the first one.
    m_nFormatIndex = 0;
    m_cbFormat.SetCurSel(0);
  }
  // The job reads nothing of the page's controls from here on.
  m_job = CSeriesJob();
  m_job.m_strOutputPath = m_strOutputPath;
  m_job.m_nFormatIndex = m_nFormatIndex;
  m_job.m_nChosenWidth = m_nChosenWidth;
  m_job.m_nChosenHeight = m_nChosenHeight;
  m_job.m_nChosenRateNum = m_nRateNum;
  m_job.m_nChosenRateDen = m_nRateDen;
  if (CConverterResources* res = GetConverterResources()) {
    m_job.m_strEncoderPath = res->m_strEncoderPath;
    m_job.m_strPresetsFolder = res->m_strPresetsFolder;
  }
  m_job.m_pHost = this;
  m_job.m_hCallbackWnd = m_hWnd;
  m_job.m_pSink = &m_sink;
  m_job.m_pStop = &m_nStopFlag;
  m_nOverwriteMode = OVERWRITE_ASK;
  int result = StartWorker();
  LockFrames();
  return result;
}

int CSeriesToVideoPage::RunConversion() {
  const int result = m_job.Run();
  // Convert comes back once the frame files are gone too.
  SetBusy(FALSE);
  if (result == 0) PostToPage([this] { GetDlgItem(IDC_PLAY)->EnableWindow(TRUE); });
  return result;
}

LRESULT CSeriesToVideoPage::OnConversionFinished(WPARAM wParam, LPARAM lParam) {
  LRESULT result = CConvertPage::OnWorkerFinished(wParam, lParam);
  LockFrames();
  return result;
}

BOOL CSeriesToVideoPage::ChooseOutputFile(CString& path) {
  BOOL chosen = FALSE;
  SendToPage([this, &chosen, &path] {
    chosen = ChooseOutputFile();
    if (chosen) path = m_strOutputPath;
  });
  return chosen;
}

BOOL CSeriesToVideoPage::ChooseOutputFile() {
  int index = m_cbFormat.GetCurSel();
  m_nFormatIndex = index;
  const VideoFormatEntry* row = index >= 0 ? (const VideoFormatEntry*)m_cbFormat.GetItemDataPtr(index) : nullptr;
  CString current;
  m_cbFileName.GetWindowText(current);
  CString recent;
  if (m_pSettings && m_pSettings->m_outputFiles.GetCount() > 0) recent = m_pSettings->m_outputFiles.GetAt(0);
  CStringArray sources;
  const int count = m_wndStrip.GetItemCount();
  for (int i = 0; i < count && i < 2; ++i) sources.Add(m_wndStrip.GetFrame(i)->m_sourcePath);
  if (count > 2) sources.Add(L"");  // only the first frame and the count matter
  OutputProposal proposal = ProposeOutputFile(current, recent, sources, row);
  COCFileDialog dlg(FALSE, proposal.strDefaultExt, proposal.strFileName, OFN_HIDEREADONLY, kVideoFileFilter, nullptr);
  dlg.GetOFN().lpstrTitle = L"Save Video File As";
  if (!proposal.strFolder.IsEmpty()) dlg.GetOFN().lpstrInitialDir = proposal.strFolder;
  if (dlg.DoModal() != IDOK) return FALSE;
  m_strOutputPath = dlg.GetPathName();
  m_cbFileName.AddToTop(m_strOutputPath, FALSE);
  return TRUE;
}

void CSeriesToVideoPage::BeginProgress(int range) {
  PostToPage([this, range] {
    m_nShownFrame = -1;
    m_wndProgress.m_bMarquee = 0;
    m_wndProgress.SetRange(range);
    m_wndProgress.SetPos(0);
  });
  SetBusy(TRUE);
}

void CSeriesToVideoPage::SetFrameState(int index, int state) {
  CFrameItem* item = m_wndStrip.GetFrame(index);
  if (!item) return;
  item->m_state = state;
  if (OnPageThread()) {
    if (state == FRAMEITEM_STATE_WRITING) m_wndStrip.EnsureVisible(index);
    m_wndStrip.RedrawItem(index, FALSE);
    return;
  }
  // The strip follows the job as often as the page gets to it: the frames
  // whose state changed since it last did are redrawn, the newest is shown.
  PostToPage(
      [this, index] {
        const int from = m_nShownFrame < 0 ? index : std::min(m_nShownFrame, index);
        m_nShownFrame = index;
        m_wndStrip.EnsureVisible(index);
        m_wndStrip.RedrawItems(from, index, FALSE);
      },
      CALL_SHOW_ITEM);
}

void CSeriesToVideoPage::EnableInputs(BOOL enable) {
  for (int id : {IDC_FORMAT, IDC_OPTIONS, IDC_FILE_NAME, IDC_CHOOSE_FILE}) GetDlgItem(id)->EnableWindow(enable);
  // Play comes back only with a video written.
  if (!enable) GetDlgItem(IDC_PLAY)->EnableWindow(FALSE);
}
