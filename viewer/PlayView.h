// The frame's view: black, with the "Open Files" and "Open Folder" picture
// buttons in the middle while nothing is open, and the open requests of the
// command line, the recent list and dropped files.
//
// This is the part of the view the frame needs today: creation, the buttons
// and their layout, and the open requests (kept and posted). The player
// window, the file commands and the opening itself come with the library's
// viewer window.
#pragma once
#include "ImageButton.h"
#include "RasterImage.h"
#include "afxwin.h"

// Posted by the view to itself: wParam 0 = open the requested path, 1 = the requested list.
#define WM_OPEN_REQUEST (WM_USER + 10)

class CPlayView : public CView {
  DECLARE_DYNCREATE(CPlayView)
 public:
  enum { IDC_OPEN_FILES = 2, IDC_OPEN_FOLDER = 3 };
  CPlayView();
  ~CPlayView() override;

  // -1 for a null path; otherwise the path waits for WM_OPEN_REQUEST(0); 0.
  int OpenPath(LPCTSTR lpszPath);
  // -1 for an empty list; otherwise a copy waits for WM_OPEN_REQUEST(1); 0.
  int OpenPaths(const CStringArray& paths);

  void OnDraw(CDC*) override {}
  void OnInitialUpdate() override;
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  BOOL PreTranslateMessage(MSG* pMsg) override;
  // Places the two buttons in the middle of the client area.
  void Layout();

  CString m_strRequestedPath;
  CStringArray m_arrRequestedPaths;
  CString m_strCurrentPath;
  int m_bFolder = 0;
  CToolTipCtrl m_toolTip;
  CImageButton m_btnOpenFiles;
  CImageButton m_btnOpenFolder;
  CRasterImage m_imgOpenFiles, m_imgOpenFilesHover, m_imgOpenFolder, m_imgOpenFolderHover;
  int m_nFrameCount = 0;
  int m_nFrameIndex = 0;

 protected:
  afx_msg int OnCreate(LPCREATESTRUCT lpcs);
  afx_msg BOOL OnEraseBkgnd(CDC* pDC);
  afx_msg void OnSize(UINT nType, int cx, int cy);
  afx_msg void OnOpenFilesClicked();
  afx_msg void OnOpenFolderClicked();
  DECLARE_MESSAGE_MAP()
};

// The program-wide view, set by the main frame when it makes its client.
CPlayView* GetPlayView();
void SetPlayView(CPlayView* view);
