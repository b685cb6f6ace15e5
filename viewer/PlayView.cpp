#include "viewer/PlayView.h"

#include <shlwapi.h>

#include <algorithm>
#include <vector>

#include "foundation/FileSystem.h"
#include "foundation/ui/FileDialog.h"
#include "foundation/ui/FolderBrowser.h"
#include "resources/viewer/ViewerRes.h"
#include "viewer/ViewerSettings.h"
#include "viewer/ViewerStatusBar.h"

IMPLEMENT_DYNCREATE(CPlayView, CView)

const wchar_t kOpenFilesFilter[] =
    L"All Files (*.*)|*.*|DICOM Images (*.dcm;*.dicom)|*.dcm;*.dicom|Medical Images "
    L"(*.mr;*.ct;*.mha;*.mhd;*.mnc;*.nii;*.nii.gz;*.img;*.img.gz;*.hdr;*.hdr.gz;*.nrrd)|*.mr;*.ct;*.mha;*.mhd;*.mnc;"
    L"*.nii;*.nii.gz;*.img;*.img.gz;*.hdr;*.hdr.gz;*.nrrd|Common Images "
    L"(*.jpg;*.jpeg;*.bmp;*.png;*.pnm;*.tif;*.tiff)|*.jpg;*.jpeg;*.bmp;*.png;*.pnm;*.tif;*.tiff||";
const wchar_t kSnapshotFilter[] = L"PNG File (*.png)|*.png";

BEGIN_MESSAGE_MAP(CPlayView, CView)
  ON_WM_CREATE()
  ON_WM_ERASEBKGND()
  ON_WM_SIZE()
  ON_WM_SETFOCUS()
  ON_MESSAGE(WM_PLAYER, OnPlayer)
  ON_MESSAGE(WM_OPEN_REQUEST, OnOpenRequest)
  ON_BN_CLICKED(IDC_OPEN_FILES, OnOpenFilesClicked)
  ON_BN_CLICKED(IDC_OPEN_FOLDER, OnOpenFolderClicked)
  ON_COMMAND(ID_FILE_OPENFILES, OnFileOpenFiles)
  ON_COMMAND(ID_FILE_OPENFOLDER, OnFileOpenFolder)
  ON_COMMAND(ID_FILE_CLOSE, OnFileClose)
  ON_COMMAND(ID_EDIT_SNAPSHOT, OnEditSnapshot)
  ON_COMMAND(ID_VIEW_RESETALL, OnResetAll)
  ON_COMMAND(ID_VIEW_RESETWL, OnResetWindowLevel)
  ON_COMMAND(ID_VIEW_RESETCAMERA, OnResetCamera)
  ON_COMMAND(ID_FILE_PREVIOUS, OnPreviousFile)
  ON_COMMAND(ID_FILE_NEXT, OnNextFile)
  ON_UPDATE_COMMAND_UI(ID_FILE_OPENFILES, OnUpdateAlways)
  ON_UPDATE_COMMAND_UI(ID_FILE_OPENFOLDER, OnUpdateAlways)
  ON_UPDATE_COMMAND_UI(ID_FILE_CLOSE, OnUpdateAlways)
  ON_UPDATE_COMMAND_UI(ID_EDIT_SNAPSHOT, OnUpdateNeedsPath)
  ON_UPDATE_COMMAND_UI(ID_VIEW_RESETALL, OnUpdateNeedsPath)
  ON_UPDATE_COMMAND_UI(ID_VIEW_RESETWL, OnUpdateNeedsPath)
  ON_UPDATE_COMMAND_UI(ID_VIEW_RESETCAMERA, OnUpdateNeedsPath)
  ON_UPDATE_COMMAND_UI(ID_FILE_PREVIOUS, OnUpdateNeedsFile)
  ON_UPDATE_COMMAND_UI(ID_FILE_NEXT, OnUpdateNeedsFile)
END_MESSAGE_MAP()

namespace {
CPlayView* g_pView = nullptr;

bool LoadPicture(CRasterImage& image, UINT id) {
  HMODULE module = AfxGetResourceHandle();
  return image.LoadFromResource(::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG"), RASTER_TYPE_PNG, module);
}

// A view made without the program's settings (tests) keeps its own.
CViewerSettings& Settings() {
  static CViewerSettings fallback;
  CViewerSettings* settings = GetViewerSettings();
  return settings ? *settings : fallback;
}

// The path without trailing backslashes (a drive root keeps its own).
CString WithoutTrailingSlash(const CString& path) {
  CString out = path;
  while (out.GetLength() > 1 && out[out.GetLength() - 1] == L'\\' && !(out.GetLength() == 3 && out[1] == L':'))
    out = out.Left(out.GetLength() - 1);
  return out;
}

// The order of names in a folder listing of NTFS, whatever the file system.
bool NameLess(const CString& a, const CString& b) {
  return ::CompareStringOrdinal(a, a.GetLength(), b, b.GetLength(), TRUE) == CSTR_LESS_THAN;
}
}  // namespace

CPlayView* GetPlayView() { return g_pView; }
void SetPlayView(CPlayView* view) { g_pView = view; }

CPlayView::CPlayView() {}

CPlayView::~CPlayView() {
  if (g_pView == this) g_pView = nullptr;
}

BOOL CPlayView::PreCreateWindow(CREATESTRUCT& cs) {
  if (!CView::PreCreateWindow(cs)) return FALSE;
  cs.style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  cs.dwExStyle &= ~WS_EX_CLIENTEDGE;
  return TRUE;
}

int CPlayView::OnCreate(LPCREATESTRUCT lpcs) {
  if (CView::OnCreate(lpcs) == -1) return -1;
  if (!m_toolTip.Create(this, TTS_ALWAYSTIP)) return -1;
  m_toolTip.SetMaxTipWidth(0xFFFF);
  if (!m_wndPlayer.Create(nullptr, nullptr, WS_CHILD | WS_TABSTOP, CRect(0, 0, 0, 0), this, IDC_PLAYER)) return -1;
  if (!LoadPicture(m_imgOpenFiles, IDP_OPENFILES) || !LoadPicture(m_imgOpenFilesHover, IDP_OPENFILES_HOVER) ||
      !LoadPicture(m_imgOpenFolder, IDP_OPENFOLDER) || !LoadPicture(m_imgOpenFolderHover, IDP_OPENFOLDER_HOVER))
    return -1;
  const DWORD style = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
  const CRect none(0, 0, 0, 0);
  if (!m_btnOpenFiles.Create(L"Open Files", style, none, this, IDC_OPEN_FILES) ||
      !m_btnOpenFolder.Create(L"Open Folder", style, none, this, IDC_OPEN_FOLDER))
    return -1;
  m_btnOpenFiles.SetImages(&m_imgOpenFiles, &m_imgOpenFilesHover);
  m_btnOpenFolder.SetImages(&m_imgOpenFolder, &m_imgOpenFolderHover);
  if (!m_toolTip.AddTool(&m_btnOpenFiles, L"Open files") || !m_toolTip.AddTool(&m_btnOpenFolder, L"Open folder"))
    return -1;
  return 0;
}

void CPlayView::OnInitialUpdate() {
  CView::OnInitialUpdate();
  Layout();
}

BOOL CPlayView::PreTranslateMessage(MSG* pMsg) {
  if (m_toolTip.m_hWnd) m_toolTip.RelayEvent(pMsg);
  return CView::PreTranslateMessage(pMsg);
}

void CPlayView::Layout() {
  CRect client;
  GetClientRect(&client);
  if (m_wndPlayer.HasWindow()) m_wndPlayer.MoveWindow(&client, TRUE);
  const int x0 = client.left + (client.Width() - 256) / 2;
  const int y0 = client.top + (client.Height() - 96) / 2;
  if (m_btnOpenFiles.m_hWnd) m_btnOpenFiles.MoveWindow(x0, y0, 96, 96);
  if (m_btnOpenFolder.m_hWnd) m_btnOpenFolder.MoveWindow(x0 + 160, y0, 96, 96);
}

void CPlayView::OnSize(UINT nType, int cx, int cy) {
  Default();
  if (nType != SIZE_MINIMIZED && cx > 0 && cy > 0) Layout();
}

BOOL CPlayView::OnEraseBkgnd(CDC* pDC) {
  CRect client;
  GetClientRect(&client);
  pDC->FillSolidRect(&client, RGB(0, 0, 0));
  return TRUE;
}

void CPlayView::OnSetFocus(CWnd*) {
  if (m_wndPlayer.HasWindow()) ::SetFocus(m_wndPlayer.m_hWnd);
}

// ---------------------------------------------------------------------------
// Open requests.

int CPlayView::OpenPath(LPCTSTR lpszPath) {
  if (!lpszPath) return -1;
  m_strRequestedPath = lpszPath;
  PostMessage(WM_OPEN_REQUEST, 0, 0);
  return 0;
}

int CPlayView::OpenPaths(const CStringArray& paths) {
  if (paths.GetSize() == 0) return -1;
  m_arrRequestedPaths.Copy(paths);
  PostMessage(WM_OPEN_REQUEST, 1, 0);
  return 0;
}

LRESULT CPlayView::OnOpenRequest(WPARAM wParam, LPARAM) {
  // Taken out first: a request made while this one runs waits for its own message.
  CStringArray list;
  CString path;
  if (wParam) {
    list.Copy(m_arrRequestedPaths);
    m_arrRequestedPaths.RemoveAll();
    if (list.GetSize() == 0) return -1;
  } else {
    path = m_strRequestedPath;
  }
  m_nFrameCount = m_nFrameIndex = 0;
  ShowButtons(FALSE);
  Invalidate(FALSE);
  UpdateWindow();
  if (!wParam) return OpenOne(path);
  if (list.GetSize() == 1) return OpenOne(list[0]);
  return OpenSeveral(list);
}

int CPlayView::OpenOne(const CString& path) {
  CWaitCursor wait;
  const int result = m_wndPlayer.OpenFile(path);
  if (result != 0) {
    ShowIdle();
    AfxMessageBox(L"Failed to open this file/folder.", MB_OK);
    return result;
  }
  m_wndPlayer.ShowWindow(SW_SHOW);
  m_strCurrentPath = path;
  m_bFolder = ::PathIsDirectoryW(path) ? 1 : 0;
  SetStatusPane(kFileNamePane, ::PathFindFileNameW(path));
  CViewerSettings& s = Settings();
  if (m_bFolder)
    s.m_strLastOpenFolder = path;
  else
    s.m_strLastOpenFile = path;
  s.m_recentList.Add(path);
  return 0;
}

int CPlayView::OpenSeveral(const CStringArray& paths) {
  CWaitCursor wait;
  const int result = m_wndPlayer.OpenFiles(paths);
  if (result != 0) {
    ShowIdle();
    AfxMessageBox(L"Failed to open these files.", MB_OK);
    return result;
  }
  const CString last = paths[paths.GetSize() - 1];
  m_wndPlayer.ShowWindow(SW_SHOW);
  m_strCurrentPath = last;
  m_bFolder = 0;
  SetStatusPane(kFileNamePane, ::PathFindFileNameW(last));
  CViewerSettings& s = Settings();
  s.m_strLastOpenFile = last;
  s.m_recentList.Add(last);
  return 0;
}

void CPlayView::ShowButtons(BOOL bShow) {
  const int cmd = bShow ? SW_SHOW : SW_HIDE;
  if (m_btnOpenFiles.m_hWnd) m_btnOpenFiles.ShowWindow(cmd);
  if (m_btnOpenFolder.m_hWnd) m_btnOpenFolder.ShowWindow(cmd);
}

void CPlayView::ShowIdle() {
  ShowButtons(TRUE);
  if (m_wndPlayer.HasWindow()) m_wndPlayer.ShowWindow(SW_HIDE);
  m_strCurrentPath.Empty();
  m_bFolder = 0;
  SetStatusPane(kFramePane, L"");
  SetStatusPane(kFileNamePane, L"");
}

void CPlayView::SetStatusPane(int nPane, LPCTSTR lpszText) {
  CFrameWnd* frame = GetParentFrame();
  if (!frame) return;
  if (auto* bar = DYNAMIC_DOWNCAST(CViewerStatusBar, frame->GetControlBar(AFX_IDW_STATUS_BAR)))
    bar->SetPaneText(nPane, lpszText);
}

void CPlayView::UpdateFramePane() {
  CString text;
  if (m_nFrameCount > 0) text.Format(L"%d / %d", m_nFrameIndex + 1, m_nFrameCount);
  SetStatusPane(kFramePane, text);
}

LRESULT CPlayView::OnPlayer(WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case PLAYER_FRAME_COUNT:
      m_nFrameCount = (int)lParam;
      UpdateFramePane();
      break;
    case PLAYER_FRAME_INDEX:
      m_nFrameIndex = (int)lParam;
      UpdateFramePane();
      break;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Commands.

void CPlayView::OnOpenFilesClicked() {
  if (CFrameWnd* frame = GetParentFrame()) frame->PostMessage(WM_COMMAND, ID_FILE_OPENFILES, 0);
}

void CPlayView::OnOpenFolderClicked() {
  if (CFrameWnd* frame = GetParentFrame()) frame->PostMessage(WM_COMMAND, ID_FILE_OPENFOLDER, 0);
}

void CPlayView::OnFileOpenFiles() {
  COCFileDialog dlg(TRUE, nullptr, nullptr, OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                    kOpenFilesFilter, GetParentFrame());
  // The last file's folder (the file itself may have gone since).
  const CString last = Settings().m_strLastOpenFile;
  const CString initial = ::PathIsDirectoryW(last) ? last : GetParentFolder(last);
  dlg.GetOFN().lpstrTitle = L"Open Files";
  dlg.GetOFN().lpstrInitialDir = initial;
  if (dlg.DoModal() != IDOK) return;
  CStringArray paths;
  POSITION pos = dlg.GetStartPosition();
  while (pos) paths.Add(dlg.GetNextPathName(pos));
  if (paths.GetSize() > 0) OpenPaths(paths);
}

void CPlayView::OnFileOpenFolder() {
  CFolderBrowser browser(L"Open Folder", BIF_STATUSTEXT, GetParentFrame());
  browser.SetInitialFolder(Settings().m_strLastOpenFolder);
  if (browser.DoModal() == IDOK) OpenPath(browser.GetFolderPath());
}

void CPlayView::OnFileClose() {
  ShowButtons(TRUE);
  if (m_wndPlayer.HasWindow()) m_wndPlayer.ShowWindow(SW_HIDE);
  m_wndPlayer.Close();
  m_strCurrentPath.Empty();
  m_bFolder = 0;
  SetStatusPane(kFramePane, L"");
  SetStatusPane(kFileNamePane, L"");
}

CString CPlayView::GetSnapshotFileName() const {
  CString name = ::PathFindFileNameW(WithoutTrailingSlash(m_strCurrentPath));
  if (!m_bFolder) {
    const int dot = name.ReverseFind(L'.');
    if (dot > 0) name = name.Left(dot);
  }
  return name + L".png";
}

void CPlayView::OnEditSnapshot() {
  if (!IsShowingFile()) return;
  CViewerSettings& s = Settings();
  CString initial = s.m_strLastSaveFolder;
  if (initial.IsEmpty()) {
    initial = WithoutTrailingSlash(m_strCurrentPath);
    ::PathRemoveFileSpecW(initial.GetBuffer(initial.GetLength() + 1));
    initial.ReleaseBuffer();
  }
  COCFileDialog dlg(FALSE, L"png", GetSnapshotFileName(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kSnapshotFilter,
                    GetParentFrame());
  dlg.GetOFN().lpstrTitle = L"Save Snapshot to File";
  dlg.GetOFN().lpstrInitialDir = initial;
  if (dlg.DoModal() != IDOK) return;
  const CString path = dlg.GetPathName();
  if (m_wndPlayer.SaveSnapshot(path) != 0) {
    // The dialog has closed as if all went well: say that it did not.
    AfxMessageBox(L"Failed to save the snapshot.", MB_OK);
    return;
  }
  CString folder = path;
  ::PathRemoveFileSpecW(folder.GetBuffer(folder.GetLength() + 1));
  folder.ReleaseBuffer();
  s.m_strLastSaveFolder = folder;
}

void CPlayView::OnResetAll() { m_wndPlayer.Reset(RESET_ALL); }
void CPlayView::OnResetWindowLevel() { m_wndPlayer.Reset(RESET_WINDOW_LEVEL); }
void CPlayView::OnResetCamera() { m_wndPlayer.Reset(RESET_CAMERA); }

BOOL CPlayView::FindNeighbourFile(BOOL bNext, CString& neighbour) const {
  neighbour.Empty();
  if (m_strCurrentPath.IsEmpty() || m_bFolder) return FALSE;
  const CString ext = ::PathFindExtensionW(m_strCurrentPath);
  const CString name = ::PathFindFileNameW(m_strCurrentPath);
  CString folder = m_strCurrentPath.Left(m_strCurrentPath.GetLength() - name.GetLength());
  if (folder.GetLength() > 0 && folder[folder.GetLength() - 1] == L'\\') folder = folder.Left(folder.GetLength() - 1);
  CString pattern;
  pattern.Format(L"%s\\*%s", (LPCTSTR)folder, (LPCTSTR)ext);

  std::vector<CString> names;
  WIN32_FIND_DATAW fd;
  HANDLE find = ::FindFirstFileW(pattern, &fd);
  if (find == INVALID_HANDLE_VALUE) return FALSE;
  do {
    if (fd.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)) continue;
    names.push_back(fd.cFileName);
  } while (::FindNextFileW(find, &fd));
  ::FindClose(find);
  // Listings come in name order on NTFS only; other file systems give their own order.
  std::stable_sort(names.begin(), names.end(), NameLess);

  const auto same = [&](const CString& n) { return n.CompareNoCase(name) == 0; };
  const auto at = std::find_if(names.begin(), names.end(), same);
  CString found;
  if (bNext) {
    if (at != names.end() && at + 1 != names.end()) found = *(at + 1);
  } else if (at == names.end()) {
    if (!names.empty()) found = names.back();
  } else if (at != names.begin()) {
    found = *(at - 1);
  }
  if (found.IsEmpty()) return FALSE;
  neighbour = folder + L"\\" + found;
  return TRUE;
}

void CPlayView::OnPreviousFile() {
  CString path;
  if (FindNeighbourFile(FALSE, path))
    OpenPath(path);
  else
    AfxMessageBox(L"This is the first one.", MB_OK);
}

void CPlayView::OnNextFile() {
  CString path;
  if (FindNeighbourFile(TRUE, path))
    OpenPath(path);
  else
    AfxMessageBox(L"This is the last one.", MB_OK);
}

void CPlayView::OnUpdateAlways(CCmdUI* pCmdUI) { pCmdUI->Enable(TRUE); }

void CPlayView::OnUpdateNeedsPath(CCmdUI* pCmdUI) { pCmdUI->Enable(!m_strCurrentPath.IsEmpty()); }

void CPlayView::OnUpdateNeedsFile(CCmdUI* pCmdUI) { pCmdUI->Enable(!m_strCurrentPath.IsEmpty() && !m_bFolder); }
