// The frame's only view. It owns the library's player window, which fills it,
// and the "Open Files" and "Open Folder" picture buttons shown over black
// while nothing is open; it carries out every file command and keeps the
// status bar's frame and file-name panes, the last folders and the recent
// list up to date.
#pragma once
#include "viewer/ImageButton.h"
#include "viewer/PlayerWindow.h"
#include "imaging/image/RasterImage.h"
#include "afxwin.h"

// Posted by the view to itself: wParam 0 = open the requested path, 1 = the requested list.
#define WM_OPEN_REQUEST (WM_USER + 10)

class CPlayView : public CView {
  DECLARE_DYNCREATE(CPlayView)
 public:
  enum { IDC_OPEN_FILES = 2, IDC_OPEN_FOLDER = 3, IDC_PLAYER = 1 };
  // Status bar panes the view writes.
  enum { kFramePane = 1, kFileNamePane = 2 };
  CPlayView();
  ~CPlayView() override;

  // -1 for a null path; otherwise the path waits for WM_OPEN_REQUEST(0); 0.
  int OpenPath(LPCTSTR lpszPath);
  // -1 for an empty list; otherwise a copy waits for WM_OPEN_REQUEST(1); 0.
  int OpenPaths(const CStringArray& paths);

  // The neighbour of the current file in its folder, in name order; FALSE
  // when there is none (also for a folder or with nothing open).
  BOOL FindNeighbourFile(BOOL bNext, CString& neighbour) const;
  // The snapshot's proposed name: the current file's name without its
  // extension (a folder's own name) with ".png".
  CString GetSnapshotFileName() const;
  BOOL IsShowingFile() const { return !m_strCurrentPath.IsEmpty(); }

  void OnDraw(CDC*) override {}
  void OnInitialUpdate() override;
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  BOOL PreTranslateMessage(MSG* pMsg) override;
  // The player over the whole client area, the two buttons in its middle.
  void Layout();

  CPlayerWindow m_wndPlayer;
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
  int OpenOne(const CString& path);
  int OpenSeveral(const CStringArray& paths);
  // Idle state: buttons shown, player hidden, nothing current, panes empty.
  void ShowIdle();
  void ShowButtons(BOOL bShow);
  void SetStatusPane(int nPane, LPCTSTR lpszText);
  void UpdateFramePane();

  afx_msg int OnCreate(LPCREATESTRUCT lpcs);
  afx_msg BOOL OnEraseBkgnd(CDC* pDC);
  afx_msg void OnSize(UINT nType, int cx, int cy);
  afx_msg void OnSetFocus(CWnd* pOldWnd);
  afx_msg LRESULT OnPlayer(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnOpenRequest(WPARAM wParam, LPARAM lParam);
  afx_msg void OnOpenFilesClicked();
  afx_msg void OnOpenFolderClicked();
  afx_msg void OnFileOpenFiles();
  afx_msg void OnFileOpenFolder();
  afx_msg void OnFileClose();
  afx_msg void OnEditSnapshot();
  afx_msg void OnResetAll();
  afx_msg void OnResetWindowLevel();
  afx_msg void OnResetCamera();
  afx_msg void OnPreviousFile();
  afx_msg void OnNextFile();
  afx_msg void OnUpdateAlways(CCmdUI* pCmdUI);
  afx_msg void OnUpdateNeedsPath(CCmdUI* pCmdUI);
  afx_msg void OnUpdateNeedsFile(CCmdUI* pCmdUI);
  DECLARE_MESSAGE_MAP()
};

// The program-wide view, set by the main frame when it makes its client.
CPlayView* GetPlayView();
void SetPlayView(CPlayView* view);

// Filters of the view's file dialogs.
extern const wchar_t kOpenFilesFilter[];
extern const wchar_t kSnapshotFilter[];
