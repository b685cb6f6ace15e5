// The converter's first tab page: frames added from files, folders and drops
// into a thumbnail strip, the output format, the Video Options, the output
// file, and the conversion to a video.
#pragma once
#include <memory>
#include <vector>

#include "foundation/ui/ColumnComboBox.h"
#include "foundation/ui/ComboBoxes.h"
#include "converter/pages/ConvertPage.h"
#include "converter/pages/FrameStripCtrl.h"
#include "converter/jobs/SeriesConversion.h"
#include "converter/jobs/SeriesLoading.h"
#include "afxbar.h"

// Posted by the loader thread as its last step (wParam 0, lParam 0).
#define WM_LOADER_FINISHED (WM_USER + 351)

class CConverterSettings;

class CSeriesToVideoPage : public CConvertPage {
 public:
  explicit CSeriesToVideoPage(CWnd* pParentWnd = nullptr);
  ~CSeriesToVideoPage() override;

  // The conversion: the job given the frames and the page's choices, then
  // its worker (which shows the Save dialog first).
  int StartConversion() override;
  void RequestStop(int mode) override;
  void EnableInputs(BOOL enable) override;
  void RecalcLayout() override;

  // Loading: the pending paths go to a loader thread.
  int StartLoader();
  static UINT LoaderThreadProc(LPVOID param);
  // On the loader thread: the paths the loader took; the frames' count.
  int LoadPendingSources();
  void UpdateFrameCount();
  void UpdateThumbnailSize();
  CString GetFileFilter(SeriesFilterKind kind) const { return GetSeriesFileFilter(kind); }

  // Converting: the job, on the worker.
  JobResult RunConversion() override;
  // The Save dialog; TRUE when a file was chosen.
  BOOL ChooseOutputFile();
  // The frame's state, and the frame redrawn.
  void SetFrameState(int index, int state);
  void DeleteFrame(int index);

  // Nothing may change the frames while a conversion or the loader reads them.
  BOOL IsConverting() const { return m_pWorkerThread != nullptr; }
  BOOL IsLoading() const { return m_pLoaderThread != nullptr; }
  BOOL CanChangeFrames() const { return !IsConverting() && !IsLoading(); }
  const CFrameList& GetFrames() const { return m_frames; }

  CStringArray m_arrPending;
  CString m_strFolderPattern;
  int m_bScanSubfolders = 0;
  CToolBar m_wndToolBar;
  int m_nChosenWidth = 0, m_nChosenHeight = 0;
  int m_nRateNum = 0, m_nRateDen = 0;
  CWinThread* m_pLoaderThread = nullptr;
  CColumnComboBox m_cbFormat;
  CHistoryComboBox m_cbFileName;
  CString m_strOutputPath;
  int m_nFormatIndex = 0;
  // The frames, in their order; the strip shows them.
  CFrameList m_frames;
  CFrameStripCtrl m_wndStrip;
  // The loader's own stop request, so a load never clears a conversion's.
  CStopFlag m_nLoaderStop{STOP_NONE};

 protected:
  // The job's reports.
  void ShowJobItems(const std::vector<CJobItemReport>& items) override;
  bool ChooseJobOutput(CString& path) override;
  void OnJobFinished(JobResult result) override;

  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void ShowAddFilesDialog(CStringArray& paths);
  void LockFrames();

  afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
  afx_msg void OnDestroy();
  void PaintSeparators(CDC* pDC, const CRect& client) override;
  afx_msg void OnContextMenu(CWnd* pWnd, CPoint point);
  afx_msg void OnDropFiles(HDROP hDropInfo);
  afx_msg void OnTimer(UINT_PTR nIDEvent);
  afx_msg LRESULT OnIdleUpdateCmdUI(WPARAM wParam, LPARAM lParam);
  afx_msg void OnRemove();
  afx_msg void OnRemoveAll();
  afx_msg void OnSelectAll();
  afx_msg void OnAddFiles();
  afx_msg void OnAddFolder();
  afx_msg void OnInsertImages();
  afx_msg void OnInvertSelection();
  afx_msg void OnReverseFrames();
  afx_msg void OnOpenSourceFile();
  afx_msg void OnOpenSourceFolder();
  afx_msg void OnChooseOutputFile() { ChooseOutputFile(); }
  afx_msg void OnPlay();
  afx_msg void OnVideoOptions();
  afx_msg void OnFormatChanged();
  afx_msg LRESULT OnLoaderFinished(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnFrameStripButton(WPARAM wParam, LPARAM lParam);
  afx_msg void OnUpdateRemove(CCmdUI* pCmdUI);
  afx_msg void OnUpdateRemoveAll(CCmdUI* pCmdUI);
  afx_msg void OnUpdateNeedsSelection(CCmdUI* pCmdUI);
  afx_msg void OnUpdateNeedsFrames(CCmdUI* pCmdUI);
  afx_msg void OnUpdateAdd(CCmdUI* pCmdUI);
  afx_msg void OnUpdateInsert(CCmdUI* pCmdUI);
  afx_msg void OnUpdateReverse(CCmdUI* pCmdUI);
  afx_msg void OnUpdateConvert(CCmdUI* pCmdUI);
  DECLARE_MESSAGE_MAP()

  CConverterSettings* m_pSettings;
  int m_nMargin = -1;           // the file-name box's left offset in the template
  BOOL m_bBatchedDraw = FALSE;  // the strip repaints on the marquee's steps only
  enum { kMarqueeTimer = 3 };

 private:
  // Where the loader puts its frames: its calls carried to the page's thread.
  class CLoadTarget : public CFrameTarget {
   public:
    explicit CLoadTarget(CSeriesToVideoPage& page) : m_page(page) {}
    void PutFrame(std::shared_ptr<CFrameItem> item, int position) override;
    void ShowLoadStatus(LPCTSTR text) override;
    void FramesAdded() override;
    bool StopRequested() override { return m_page.m_nLoaderStop != STOP_NONE; }

   private:
    CSeriesToVideoPage& m_page;
  };
  CLoadTarget m_loadTarget{*this};
  // What the loader thread works on, taken from the pending list at its start.
  struct CLoad {
    CStringArray paths;
    CString pattern;
    int subfolders = 0;
    int loaded = 0;  // frames added; read once the thread has ended
  };
  CLoad m_load;
  std::unique_ptr<CSeriesJob> m_job;
};
