#include "PlayView.h"

#include "ViewerRes.h"

IMPLEMENT_DYNCREATE(CPlayView, CView)

BEGIN_MESSAGE_MAP(CPlayView, CView)
  ON_WM_CREATE()
  ON_WM_ERASEBKGND()
  ON_WM_SIZE()
  ON_BN_CLICKED(IDC_OPEN_FILES, OnOpenFilesClicked)
  ON_BN_CLICKED(IDC_OPEN_FOLDER, OnOpenFolderClicked)
END_MESSAGE_MAP()

namespace {
CPlayView* g_pView = nullptr;

bool LoadPicture(CRasterImage& image, UINT id) {
  HMODULE module = AfxGetResourceHandle();
  return image.LoadFromResource(::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG"), RASTER_TYPE_PNG, module);
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
  m_toolTip.AddTool(&m_btnOpenFiles, L"Open files");
  m_toolTip.AddTool(&m_btnOpenFolder, L"Open folder");
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

void CPlayView::OnOpenFilesClicked() {
  if (CFrameWnd* frame = GetParentFrame()) frame->PostMessage(WM_COMMAND, ID_FILE_OPENFILES, 0);
}

void CPlayView::OnOpenFolderClicked() {
  if (CFrameWnd* frame = GetParentFrame()) frame->PostMessage(WM_COMMAND, ID_FILE_OPENFOLDER, 0);
}
