#include "converter/pages/SeriesToVideoPage.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "converter/app/ConverterGlobals.h"
#include "resources/converter/ConverterRes.h"
#include "converter/app/ConverterSettings.h"
#include "foundation/ui/FileDialog.h"
#include "foundation/ui/FolderPickerDlg.h"
#include "foundation/FileSystem.h"
#include "imaging/library/ImageLibrary.h"
#include "converter/pages/VideoOptionsDlg.h"
#include "converter/jobs/WorkFolders.h"
#include "converter/app/ConverterResources.h"

namespace {
const COLORREF kBandBack = RGB(0xE0, 0xE0, 0xE0);
const int kToolbarBand = 44;
const int kDropHeight = 240;  // what the combo boxes' lists may take when open

struct ToolButton {
  UINT id;
  LPCTSTR text;
};
const ToolButton kToolButtons[] = {{ID_ADD_FILES, L"Add Files"},
                                   {ID_ADD_FOLDER, L"Add Folder"},
                                   {ID_REMOVE, L"Remove"},
                                   {ID_REMOVE_ALL, L"Remove All"}};
}  // namespace

BEGIN_MESSAGE_MAP(CSeriesToVideoPage, CConvertPage)
  ON_WM_CREATE()
  ON_WM_DESTROY()
  ON_WM_CONTEXTMENU()
  ON_WM_DROPFILES()
  ON_WM_TIMER()
  ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
  ON_COMMAND(ID_REMOVE, OnRemove)
  ON_COMMAND(ID_REMOVE_ALL, OnRemoveAll)
  ON_COMMAND(ID_SELECT_ALL, OnSelectAll)
  ON_COMMAND(ID_ADD_FILES, OnAddFiles)
  ON_COMMAND(ID_ADD_FOLDER, OnAddFolder)
  ON_COMMAND(ID_ADD_KEY, OnAddFiles)
  ON_COMMAND(ID_ADD_FOLDER_KEY, OnAddFolder)
  ON_COMMAND(ID_INSERT_IMAGES, OnInsertImages)
  ON_COMMAND(ID_INVERT_SELECTION, OnInvertSelection)
  ON_COMMAND(ID_REVERSE_FRAMES, OnReverseFrames)
  ON_COMMAND(ID_OPEN_SOURCE_FILE, OnOpenSourceFile)
  ON_COMMAND(ID_OPEN_SOURCE_FOLDER, OnOpenSourceFolder)
  ON_BN_CLICKED(IDC_CHOOSE_FILE, OnChooseOutputFile)
  ON_BN_CLICKED(IDC_PLAY, OnPlay)
  ON_BN_CLICKED(IDC_OPTIONS, OnVideoOptions)
  ON_CBN_SELCHANGE(IDC_FORMAT, OnFormatChanged)
  ON_MESSAGE(WM_LOADER_FINISHED, OnLoaderFinished)
  ON_MESSAGE(WM_FRAMESTRIP_BUTTON, OnFrameStripButton)
  ON_UPDATE_COMMAND_UI(ID_REMOVE, OnUpdateRemove)
  ON_UPDATE_COMMAND_UI(ID_REMOVE_ALL, OnUpdateRemoveAll)
  ON_UPDATE_COMMAND_UI(ID_OPEN_SOURCE_FILE, OnUpdateNeedsSelection)
  ON_UPDATE_COMMAND_UI(ID_OPEN_SOURCE_FOLDER, OnUpdateNeedsSelection)
  ON_UPDATE_COMMAND_UI(ID_SELECT_ALL, OnUpdateNeedsFrames)
  ON_UPDATE_COMMAND_UI(ID_INVERT_SELECTION, OnUpdateNeedsFrames)
  ON_UPDATE_COMMAND_UI(ID_ADD_FILES, OnUpdateAdd)
  ON_UPDATE_COMMAND_UI(ID_ADD_FOLDER, OnUpdateAdd)
  ON_UPDATE_COMMAND_UI(ID_ADD_KEY, OnUpdateAdd)
  ON_UPDATE_COMMAND_UI(ID_ADD_FOLDER_KEY, OnUpdateAdd)
  ON_UPDATE_COMMAND_UI(ID_INSERT_IMAGES, OnUpdateInsert)
  ON_UPDATE_COMMAND_UI(ID_REVERSE_FRAMES, OnUpdateReverse)
  ON_UPDATE_COMMAND_UI(IDC_CONVERT, OnUpdateConvert)
END_MESSAGE_MAP()

CSeriesToVideoPage::CSeriesToVideoPage(CWnd* pParentWnd)
    : CConvertPage(IDD_SERIES_PAGE, pParentWnd), m_pSettings(GetConverterSettings()) {
  m_wndStrip.ShowFrames(&m_frames);
  if (m_pSettings) {
    m_nRateNum = m_pSettings->m_nFrameRateNum;
    m_nRateDen = m_pSettings->m_nFrameRateDen;
    m_nFormatIndex = m_pSettings->m_nVideoFormat;
    m_bScanSubfolders = m_pSettings->m_bScanSubfolders;
  }
}

CSeriesToVideoPage::~CSeriesToVideoPage() {}

void CSeriesToVideoPage::DoDataExchange(CDataExchange* pDX) {
  CConvertPage::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_FORMAT, m_cbFormat);
  DDX_Control(pDX, IDC_FILE_NAME, m_cbFileName);
  DDX_Text(pDX, IDC_FILE_NAME, m_strOutputPath);
  DDX_CBIndex(pDX, IDC_FORMAT, m_nFormatIndex);
}

int CSeriesToVideoPage::OnCreate(LPCREATESTRUCT lpCreateStruct) {
  if (CConvertPage::OnCreate(lpCreateStruct) == -1) return -1;
  if (!m_wndToolBar.CreateEx(this, TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS | TBSTYLE_TRANSPARENT,
                             WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP, CRect(0, 0, 0, 0), IDW_SERIES_TOOLBAR) ||
      !m_wndToolBar.LoadToolBar(IDR_SERIES_TOOLBAR))
    return -1;
  m_wndToolBar.SetBarStyle(m_wndToolBar.GetBarStyle() | CBRS_FLYBY);
  HIMAGELIST images = ImageList_Create(24, 24, ILC_COLOR32 | ILC_MASK, 0, 4);
  CBitmap bitmap;
  if (images && bitmap.LoadBitmap(IDB_SERIES_TOOLBAR))
    ImageList_AddMasked(images, (HBITMAP)bitmap.GetSafeHandle(), RGB(0xFF, 0x00, 0xFF));
  // The control keeps the list; it goes with the page's window.
  m_wndToolBar.SendMessage(TB_SETIMAGELIST, 0, (LPARAM)images);
  m_wndToolBar.SendMessage(TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS | TBSTYLE_EX_HIDECLIPPEDBUTTONS);
  for (const ToolButton& b : kToolButtons) {
    int index = m_wndToolBar.CommandToIndex(b.id);
    if (index < 0) continue;
    m_wndToolBar.SetButtonStyle(index, m_wndToolBar.GetButtonStyle(index) | BTNS_SHOWTEXT);
    m_wndToolBar.SetButtonText(index, b.text);
  }
  if (!m_wndStrip.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(0, 0, 0, 0), this, IDC_FRAME_LIST)) return -1;
  return 0;
}

BOOL CSeriesToVideoPage::OnInitDialog() {
  CConvertPage::OnInitDialog();
  m_wndToolTip.AddTool(GetDlgItem(IDC_OPTIONS), L"Video options");
  m_wndToolTip.AddTool(GetDlgItem(IDC_CHOOSE_FILE), L"Choose output file");
  m_wndToolTip.AddTool(GetDlgItem(IDC_PLAY), L"Play video file");
  if (m_pSettings) m_cbFileName.SetHistory(&m_pSettings->m_outputFiles);
  if (!m_strOutputPath.IsEmpty()) m_cbFileName.AddToTop(m_strOutputPath, FALSE);
  m_cbFormat.m_nColumnWidth = 32;
  m_cbFormat.m_crColumn = 0xFF0000;
  for (int i = 0; i < m_cbFormat.GetCount() && i < VIDEO_FORMAT_COUNT; ++i)
    m_cbFormat.SetItemDataPtr(i, (void*)&VideoFormatTable[i]);
  m_wndToolBar.SetFont(GetFont());
  m_wndToolBar.SendMessage(TB_AUTOSIZE);
  DragAcceptFiles(TRUE);
  RecalcLayout();
  return TRUE;
}

void CSeriesToVideoPage::OnDestroy() {
  int selected = m_cbFormat.GetSafeHwnd() ? m_cbFormat.GetCurSel() : -1;
  if (selected >= 0) m_nFormatIndex = selected;
  if (m_pSettings) {
    m_pSettings->m_nVideoFormat = m_nFormatIndex;
    m_pSettings->m_nFrameRateNum = m_nRateNum;
    m_pSettings->m_nFrameRateDen = m_nRateDen;
  }
  CConvertPage::OnDestroy();
}

// ---------------------------------------------------------------------------
// Painting and layout.

void CSeriesToVideoPage::PaintSeparators(CDC* pDC, const CRect& rc) {
  if (!m_wndStrip.GetSafeHwnd()) return;
  CRect strip;
  m_wndStrip.GetWindowRect(&strip);
  ScreenToClient(&strip);
  pDC->FillSolidRect(CRect(rc.left, strip.top - 1, rc.right, strip.top), kBandBack);
  pDC->FillSolidRect(CRect(rc.left, strip.bottom, rc.right, strip.bottom + 1), kBandBack);
}

void CSeriesToVideoPage::RecalcLayout() {
  CWnd* close = GetDlgItem(IDCANCEL);
  if (!close || !m_wndStrip.GetSafeHwnd() || !m_wndToolBar.GetSafeHwnd()) return;
  CRect c;
  GetClientRect(&c);
  auto rectOf = [this](int id) {
    CRect r;
    GetDlgItem(id)->GetWindowRect(&r);
    ScreenToClient(&r);
    return r;
  };
  CRect fileCombo = rectOf(IDC_FILE_NAME), formatCombo = rectOf(IDC_FORMAT);
  if (m_nMargin < 0) m_nMargin = fileCombo.left;
  const int m = m_nMargin, B = m_nBandHeight;
  const int W = rectOf(IDC_OPTIONS).Width();
  HDWP dwp = ::BeginDeferWindowPos(16);
  auto place = [&](HWND h, const CRect& r) { AfxRepositionWindow(&dwp, h, &r); };

  CSize bar = m_wndToolBar.CalcFixedLayout(FALSE, TRUE);
  place(m_wndToolBar.m_hWnd, CRect(c.left + 8, c.top + (kToolbarBand - bar.cy) / 2, c.right - 8,
                                   c.top + (kToolbarBand - bar.cy) / 2 + bar.cy));
  PlaceBand(dwp);

  // File-name row.
  const int comboH = fileCombo.Height();
  CRect file(fileCombo.left, c.bottom - B - 10 - comboH, c.right - m - W - 6, c.bottom - B - 10);
  place(m_cbFileName.m_hWnd, CRect(file.left, file.top, file.right, file.top + comboH + kDropHeight));
  CRect choose = rectOf(IDC_CHOOSE_FILE), play = rectOf(IDC_PLAY);
  int top = file.top + (comboH - choose.Height() - 1) / 2;
  place(GetDlgItem(IDC_CHOOSE_FILE)->m_hWnd,
        CRect(c.right - m - W, top, c.right - m - W + choose.Width(), top + choose.Height()));
  top = file.top + (comboH - play.Height() - 1) / 2;
  place(GetDlgItem(IDC_PLAY)->m_hWnd, CRect(c.right - m - W / 2, top, c.right - m, top + play.Height()));
  CRect fileLabel = rectOf(IDC_FILE_LABEL);
  fileLabel.OffsetRect(0, file.top - 2 - fileLabel.bottom);
  place(GetDlgItem(IDC_FILE_LABEL)->m_hWnd, fileLabel);

  // Format row.
  const int formatH = formatCombo.Height();
  CRect format(formatCombo.left, fileLabel.top - 4 - formatH, c.right - m - W - 6, fileLabel.top - 4);
  place(m_cbFormat.m_hWnd, CRect(format.left, format.top, format.right, format.top + formatH + kDropHeight));
  CRect options = rectOf(IDC_OPTIONS);
  top = format.top + (formatH - options.Height() - 1) / 2;
  place(GetDlgItem(IDC_OPTIONS)->m_hWnd, CRect(c.right - m - W, top, c.right - m, top + options.Height()));
  CRect formatLabel = rectOf(IDC_FORMAT_LABEL);
  formatLabel.OffsetRect(0, format.top - 2 - formatLabel.bottom);
  place(GetDlgItem(IDC_FORMAT_LABEL)->m_hWnd, formatLabel);

  place(m_wndStrip.m_hWnd, CRect(c.left, c.top + kToolbarBand, c.right, formatLabel.top - 8));
  if (dwp) ::EndDeferWindowPos(dwp);
  Invalidate();
}

// ---------------------------------------------------------------------------
// Command states.

LRESULT CSeriesToVideoPage::OnIdleUpdateCmdUI(WPARAM wParam, LPARAM lParam) {
  CConvertPage::OnIdleUpdateCmdUI(wParam, lParam);
  if (m_wndToolBar.GetSafeHwnd()) m_wndToolBar.OnUpdateCmdUI(this, TRUE);
  return 0;
}

void CSeriesToVideoPage::OnUpdateRemove(CCmdUI* pCmdUI) {
  pCmdUI->Enable(CanChangeFrames() && m_wndStrip.GetSelectedCount() > 0);
}
void CSeriesToVideoPage::OnUpdateRemoveAll(CCmdUI* pCmdUI) {
  pCmdUI->Enable(CanChangeFrames() && m_wndStrip.GetItemCount() > 0);
}
void CSeriesToVideoPage::OnUpdateNeedsSelection(CCmdUI* pCmdUI) { pCmdUI->Enable(m_wndStrip.GetSelectedCount() > 0); }
void CSeriesToVideoPage::OnUpdateNeedsFrames(CCmdUI* pCmdUI) { pCmdUI->Enable(m_wndStrip.GetItemCount() > 0); }
void CSeriesToVideoPage::OnUpdateAdd(CCmdUI* pCmdUI) { pCmdUI->Enable(CanChangeFrames()); }
void CSeriesToVideoPage::OnUpdateInsert(CCmdUI* pCmdUI) {
  pCmdUI->Enable(CanChangeFrames() && m_wndStrip.GetSelectedCount() > 0);
}
void CSeriesToVideoPage::OnUpdateReverse(CCmdUI* pCmdUI) {
  pCmdUI->Enable(CanChangeFrames() && m_wndStrip.GetItemCount() > 0);
}
void CSeriesToVideoPage::OnUpdateConvert(CCmdUI* pCmdUI) { pCmdUI->Enable(!IsLoading()); }

void CSeriesToVideoPage::LockFrames() { m_wndStrip.Lock(!CanChangeFrames()); }

// ---------------------------------------------------------------------------
// Frame commands.

void CSeriesToVideoPage::DeleteFrame(int index) {
  m_wndStrip.DeleteItem(index, TRUE);
  m_wndStrip.Invalidate();
}

void CSeriesToVideoPage::OnRemove() {
  if (!CanChangeFrames()) return;
  for (int i = m_wndStrip.GetItemCount() - 1; i >= 0; --i)
    if (m_wndStrip.GetItemState(i) & STRIP_ITEM_SELECTED) m_wndStrip.DeleteItem(i, FALSE);
  m_wndStrip.SetFocusItem(-1, FALSE);
  m_wndStrip.UpdateScrollBar();
  m_wndStrip.Invalidate();
  UpdateFrameCount();
}

void CSeriesToVideoPage::OnRemoveAll() {
  if (!CanChangeFrames()) return;
  RequestStop(STOP_REQUESTED);
  m_wndStrip.DeleteAllItems(TRUE);
  m_wndStrip.Invalidate();
  UpdateFrameCount();
}

void CSeriesToVideoPage::OnSelectAll() {
  m_wndStrip.SelectAll(TRUE, TRUE);
  m_wndStrip.Invalidate(FALSE);
}

void CSeriesToVideoPage::OnInvertSelection() { m_wndStrip.InvertSelection(); }

void CSeriesToVideoPage::OnReverseFrames() {
  if (CanChangeFrames()) m_wndStrip.ReverseItems();
}

LRESULT CSeriesToVideoPage::OnFrameStripButton(WPARAM wParam, LPARAM lParam) {
  if (wParam == ID_FRAME_DELETE && CanChangeFrames()) {
    DeleteFrame((int)lParam);
    UpdateFrameCount();
  }
  return 0;
}

void CSeriesToVideoPage::OnOpenSourceFile() {
  int i = m_wndStrip.GetNextSelectedItem(0);
  if (i >= 0) OpenInViewer(m_wndStrip.GetFrame(i)->m_sourcePath);
}

void CSeriesToVideoPage::OnOpenSourceFolder() {
  int i = m_wndStrip.GetNextSelectedItem(0);
  if (i >= 0) ShowInExplorer(m_wndStrip.GetFrame(i)->m_sourcePath);
}

void CSeriesToVideoPage::OnContextMenu(CWnd* pWnd, CPoint point) {
  if (!pWnd || pWnd->m_hWnd != m_wndStrip.m_hWnd) return;
  CMenu menu;
  if (!menu.LoadMenu(IDR_FRAME_MENU)) return;
  CMenu* popup = menu.GetSubMenu(0);
  if (!popup) return;
  if (point.x == -1 && point.y == -1) {
    int i = m_wndStrip.GetNextSelectedItem(0);
    CRect item, box;
    if (i >= 0 && m_wndStrip.GetItemRect(i, &item)) {
      m_wndStrip.GetItemBoxRect(&item, &box);
      point = box.TopLeft();
    } else {
      point = CPoint(0, 0);
    }
    point.Offset(8, 8);
    m_wndStrip.ClientToScreen(&point);
  }
  ::SetMenuDefaultItem(popup->GetSafeHmenu(), ID_OPEN_SOURCE_FILE, FALSE);
  popup->TrackPopupMenu(TPM_RIGHTBUTTON, point.x, point.y, this);
}

// ---------------------------------------------------------------------------
// Adding frames.

void CSeriesToVideoPage::ShowAddFilesDialog(CStringArray& paths) {
  paths.RemoveAll();
  CString filter = GetFileFilter(SERIES_FILTER_ADD_FILES);
  COCFileDialog dlg(TRUE, nullptr, nullptr, OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, filter,
                    nullptr);
  dlg.GetOFN().lpstrTitle = L"Add Files";
  CString initial;
  if (m_pSettings) {
    dlg.GetOFN().nFilterIndex = (DWORD)m_pSettings->m_nFilterIndex;
    initial = m_pSettings->m_strLastFolder1;
  }
  if (!initial.IsEmpty()) dlg.GetOFN().lpstrInitialDir = initial;
  if (dlg.DoModal() != IDOK) return;
  POSITION pos = dlg.GetStartPosition();
  while (pos) paths.Add(dlg.GetNextPathName(pos));
  if (m_pSettings) {
    m_pSettings->m_nFilterIndex = (int)dlg.GetOFN().nFilterIndex;
    if (paths.GetSize() > 0) m_pSettings->m_strLastFolder1 = GetParentFolder(paths[paths.GetSize() - 1]);
  }
}

void CSeriesToVideoPage::OnAddFiles() {
  if (!CanChangeFrames()) return;
  CStringArray paths;
  ShowAddFilesDialog(paths);
  if (paths.GetSize() == 0) return;
  m_arrPending.RemoveAll();
  for (INT_PTR i = 0; i < paths.GetSize(); ++i) m_arrPending.Add(paths[i]);
  StartLoader();
}

void CSeriesToVideoPage::OnAddFolder() {
  if (!CanChangeFrames()) return;
  CFolderPickerDlg dlg(nullptr);
  dlg.m_strCaption = L"Add Folder";
  dlg.m_strPrompt = L"Select a folder to convert";
  dlg.m_strFilterList = GetFileFilter(SERIES_FILTER_FOLDER_CHOICES);
  if (m_pSettings) {
    dlg.m_strStartFolder = m_pSettings->m_strLastFolder2;
    dlg.m_bScanSubfolders = m_pSettings->m_bScanSubfolders;
    if (!m_pSettings->m_strLastFilter.IsEmpty()) dlg.m_strFilter = m_pSettings->m_strLastFilter;
  }
  if (dlg.DoModal() != IDOK || dlg.m_strFolder.IsEmpty()) return;
  m_arrPending.RemoveAll();
  m_arrPending.Add(dlg.m_strFolder);
  m_strFolderPattern = dlg.m_strFilter;
  m_bScanSubfolders = dlg.m_bScanSubfolders;
  StartLoader();
  if (m_pSettings) {
    m_pSettings->m_strLastFolder2 = dlg.m_strFolder;
    m_pSettings->m_bScanSubfolders = dlg.m_bScanSubfolders;
    if (!dlg.m_strFilter.IsEmpty()) m_pSettings->m_strLastFilter = dlg.m_strFilter;
  }
}

void CSeriesToVideoPage::OnInsertImages() {
  if (!CanChangeFrames()) return;
  int position = m_wndStrip.GetNextSelectedItem(0);
  if (position < 0) return;
  CStringArray paths;
  ShowAddFilesDialog(paths);
  CSeriesLoader loader(GetConverterImageLibrary(), &m_loadTarget);
  for (INT_PTR i = 0; i < paths.GetSize(); ++i) position += loader.InsertSource(position, paths[i]);
  if (paths.GetSize() > 0) UpdateFrameCount();
}

void CSeriesToVideoPage::OnDropFiles(HDROP hDropInfo) {
  // The frames stay as they are while a job or the loader reads them.
  if (!CanChangeFrames()) {
    ::DragFinish(hDropInfo);
    ::MessageBeep(MB_ICONWARNING);
    return;
  }
  m_arrPending.RemoveAll();
  UINT count = ::DragQueryFileW(hDropInfo, 0xFFFFFFFF, nullptr, 0);
  bool refused = false;
  for (UINT i = 0; i < count; ++i) {
    wchar_t path[1024] = {0};
    // A longer path is refused: cut, it would name another file.
    if (::DragQueryFileW(hDropInfo, i, nullptr, 0) > 1023) {
      refused = true;
      continue;
    }
    ::DragQueryFileW(hDropInfo, i, path, 1024);
    m_arrPending.Add(path);
  }
  ::DragFinish(hDropInfo);
  if (refused) ::MessageBeep(MB_ICONWARNING);
  SetForegroundWindow();
  m_strFolderPattern = GetFileFilter(SERIES_FILTER_DROP_PATTERN);
  StartLoader();
}

// ---------------------------------------------------------------------------
// Output file, format and options.

void CSeriesToVideoPage::OnPlay() {
  CString path;
  m_cbFileName.GetWindowText(path);
  PlayFile(path);
}

void CSeriesToVideoPage::OnFormatChanged() {
  m_cbFileName.GetWindowText(m_strOutputPath);
  int index = m_cbFormat.GetCurSel();
  const VideoFormatEntry* row = index >= 0 ? (const VideoFormatEntry*)m_cbFormat.GetItemDataPtr(index) : nullptr;
  if (m_strOutputPath.IsEmpty() || !row) return;
  CString renamed = ReplaceExtensionForFormat(m_strOutputPath, row->pszExtension);
  if (renamed.IsEmpty()) return;
  m_strOutputPath = renamed;
  m_cbFileName.AddToTop(m_strOutputPath, FALSE);
}

void CSeriesToVideoPage::OnVideoOptions() {
  int index = m_cbFormat.GetCurSel();
  if (index >= 0) m_nFormatIndex = index;
  const VideoFormatEntry* row = GetVideoFormat(m_nFormatIndex);
  if (!row) return;
  int firstWidth = 0, firstHeight = 0;
  if (m_wndStrip.GetItemCount() > 0) {
    CWaitCursor wait;
    CImageLibrary* library = GetConverterImageLibrary();
    CImageFileInfo info;
    if (library && library->IsLoaded() && library->ReadFileInfo(m_wndStrip.GetFrame(0)->m_sourcePath, info) == 0) {
      firstWidth = info.GetWidth();
      firstHeight = info.GetHeight();
    }
  }
  CVideoOptionsDlg dlg(this);
  PrepareVideoOptions(dlg, *row, m_nChosenWidth, m_nChosenHeight, m_nRateNum, m_nRateDen, firstWidth, firstHeight);
  if (dlg.DoModal() != IDOK) return;
  TakeVideoOptions(dlg, m_nChosenWidth, m_nChosenHeight, m_nRateNum, m_nRateDen);
}

// ---------------------------------------------------------------------------
// Loading: a loader thread turns the paths added last into frames.

int CSeriesToVideoPage::StartLoader() {
  // One loader at a time, and none while a conversion reads the frames.
  if (m_pLoaderThread || m_pWorkerThread) return -1;
  m_load = CLoad();
  m_load.paths.Append(m_arrPending);
  m_load.pattern = m_strFolderPattern;
  m_load.subfolders = m_bScanSubfolders;
  m_arrPending.RemoveAll();
  m_nLoaderStop = STOP_NONE;
  m_wndProgress.m_bMarquee = 1;
  m_wndProgress.SetRange(100);
  m_wndProgress.SetPos(0);
  m_wndProgress.ShowWindow(SW_SHOW);
  SetTimer(kMarqueeTimer, 100);
  // The strip shows what arrived with each marquee step, not with every frame.
  m_wndStrip.SetRedraw(FALSE);
  m_bBatchedDraw = TRUE;
  m_pLoaderThread = BeginWorkerThread(&CSeriesToVideoPage::LoaderThreadProc, this);
  if (!m_pLoaderThread) OnLoaderFinished(0, 0);
  LockFrames();
  return m_pLoaderThread ? 0 : -1;
}

UINT CSeriesToVideoPage::LoaderThreadProc(LPVOID param) {
  CSeriesToVideoPage* page = static_cast<CSeriesToVideoPage*>(param);
  const int total = page->LoadPendingSources();
  page->PostMessage(WM_LOADER_FINISHED, 0, 0);
  return (UINT)total;
}

int CSeriesToVideoPage::LoadPendingSources() {
  CSeriesLoader loader(GetConverterImageLibrary(), &m_loadTarget);
  m_load.loaded = loader.LoadPaths(m_load.paths, m_load.pattern, m_load.subfolders);
  return m_load.loaded;
}

void CSeriesToVideoPage::CLoadTarget::PutFrame(std::shared_ptr<CFrameItem> item, int position) {
  CSeriesToVideoPage& page = m_page;
  page.PostToPage([&page, item, position] { page.m_wndStrip.PutFrame(item, position); });
}

void CSeriesToVideoPage::CLoadTarget::ShowLoadStatus(LPCTSTR text) {
  CSeriesToVideoPage& page = m_page;
  const CString copy(text);
  page.PostToPage([&page, copy] { page.SetStatus(copy, STATUS_NORMAL); });
}

void CSeriesToVideoPage::CLoadTarget::FramesAdded() {
  CSeriesToVideoPage& page = m_page;
  page.PostToPage([&page] { page.UpdateThumbnailSize(); });
}

void CSeriesToVideoPage::UpdateFrameCount() {
  const int n = (int)m_frames.size();
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
  } else if (!m_frames.empty()) {
    w = (int)m_frames[0]->m_image.GetWidth();
    h = (int)m_frames[0]->m_image.GetHeight();
  }
  if (w > 0 && h > 0) m_wndStrip.SetThumbnailSize(w, h);
}

LRESULT CSeriesToVideoPage::OnLoaderFinished(WPARAM, LPARAM) {
  const BOOL closing = FinishThread(m_pLoaderThread, m_nLoaderStop);
  KillTimer(kMarqueeTimer);
  m_wndProgress.ShowWindow(SW_HIDE);
  m_wndProgress.m_bMarquee = 0;
  m_bBatchedDraw = FALSE;
  m_wndStrip.SetRedraw(TRUE);
  m_wndStrip.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  LockFrames();
  // Convert and the tools come back with the count, not at the next idle
  // turn: a click that follows the count at once is not lost.
  OnIdleUpdateCmdUI(TRUE, 0);
  if (m_load.loaded > 0) UpdateFrameCount();
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
  if (m_frames.empty()) {
    AfxMessageBox(L"You must add some DICOM files.");
    return -1;
  }
  if (!GetVideoFormat(m_nFormatIndex)) {
    // No format chosen: the first one.
    m_nFormatIndex = 0;
    m_cbFormat.SetCurSel(0);
  }
  // The job reads nothing of the page from here on.
  m_job.reset(new CSeriesJob(GetJobReport(), m_nStopFlag));
  m_job->m_frames = m_frames;
  m_job->m_strOutputPath = m_strOutputPath;
  m_job->m_nFormatIndex = m_nFormatIndex;
  m_job->m_nChosenWidth = m_nChosenWidth;
  m_job->m_nChosenHeight = m_nChosenHeight;
  m_job->m_nChosenRateNum = m_nRateNum;
  m_job->m_nChosenRateDen = m_nRateDen;
  if (CConverterResources* res = GetConverterResources()) {
    m_job->m_strEncoderPath = res->m_strEncoderPath;
    m_job->m_strPresetsFolder = res->m_strPresetsFolder;
  }
  m_job->m_hCallbackWnd = m_hWnd;
  int result = StartWorker();
  LockFrames();
  return result;
}

JobResult CSeriesToVideoPage::RunConversion() { return m_job->Run(); }

void CSeriesToVideoPage::OnJobFinished(JobResult result) {
  if (result == JobResult::Done) {
    if (m_pSettings) m_pSettings->m_outputFiles.Add(m_job->m_strOutputPath);
    GetDlgItem(IDC_PLAY)->EnableWindow(TRUE);
  }
  m_job.reset();
  LockFrames();
}

bool CSeriesToVideoPage::ChooseJobOutput(CString& path) {
  if (!ChooseOutputFile()) return false;
  path = m_strOutputPath;
  return true;
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
  const int count = (int)m_frames.size();
  for (int i = 0; i < count && i < 2; ++i) sources.Add(m_frames[i]->m_sourcePath);
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

void CSeriesToVideoPage::ShowJobItems(const std::vector<CJobItemReport>& items) {
  // The strip follows the job: the frames whose state changed are redrawn,
  // the newest is shown.
  for (const CJobItemReport& item : items) SetFrameState(item.index, item.state);
  m_wndStrip.EnsureVisible(items.back().index);
}

void CSeriesToVideoPage::SetFrameState(int index, int state) {
  if (index < 0 || index >= (int)m_frames.size()) return;
  m_frames[index]->m_state = state;
  m_wndStrip.RedrawItem(index, FALSE);
}

void CSeriesToVideoPage::EnableInputs(BOOL enable) {
  for (int id : {IDC_FORMAT, IDC_OPTIONS, IDC_FILE_NAME, IDC_CHOOSE_FILE}) GetDlgItem(id)->EnableWindow(enable);
  // Play comes back only with a video written.
  if (!enable) GetDlgItem(IDC_PLAY)->EnableWindow(FALSE);
}
