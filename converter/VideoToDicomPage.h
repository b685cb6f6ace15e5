// The converter's second tab page: a video file, optionally a stretch of it,
// and a folder; Convert writes one DICOM file per frame and lists each file
// with its state.
#pragma once
#include "ConvertPage.h"
#include "EncoderTool.h"
#include "ComboBoxes.h"
#include "ReportListCtrl.h"
#include "TimeEdit.h"
#include "VideoToDicomJob.h"

// One row of the output list: the DICOM file and its state. Owned by the list.
class COutputFileItem {
 public:
  COutputFileItem(LPCTSTR path, int state) : m_strPath(path ? path : L""), m_nState(state) {}
  CString m_strPath;
  int m_nState;
};

class CVideoToDicomPage : public CConvertPage {
 public:
  explicit CVideoToDicomPage(CWnd* pParentWnd = nullptr);
  ~CVideoToDicomPage() override;

  int StartConversion() override;
  void SetBusy(BOOL busy) override;
  void RecalcLayout() override;

  // The worker: RunConversion, then WM_WORKER_FINISHED to the page.
  static UINT ConvertThreadProc(LPVOID pParam);
  int RunConversion();
  int ExtractFrames(LPCTSTR workFolder) { return m_job.ExtractFrames(workFolder); }
  int ExtractVideoFrames(LPCTSTR source, int start, int end, LPCTSTR pattern) {
    return m_job.ExtractVideoFrames(source, start, end, pattern);
  }
  int WriteDicomFile(LPCTSTR framePath, LPCTSTR dicomPath) { return m_job.WriteDicomFile(framePath, dicomPath); }
  // Appends a row for the file; returns its index.
  int AddOutputItem(LPCTSTR path);
  void SetItemState(int row, int state);

  // The two choosers, run on the page's thread.
  void ChooseSource();
  void ChooseFolder();
  void EnableRangeControls();

  // Source path, output folder, range switch, start and end (ms), the probe
  // of the chosen source, the convert request: the job's fields.
  CVideoToDicomJob m_job;
  CTimeEdit m_editStart;
  CTimeEdit m_editEnd;
  CReportListCtrl m_list;
  CHistoryComboBoxEx m_comboFolder;

 protected:
  // Answers the encoder's progress records (on the page's thread).
  class CSink : public CToolProgressSink {
   public:
    explicit CSink(CVideoToDicomPage* page) : m_pPage(page) {}
    int OnRunBegin() override { return 0; }
    int OnRunEnd() override { return 0; }
    int OnToolStart(const ToolProgress& progress) override;
    int OnToolProgress(const ToolProgress& progress) override;
    int OnToolFinish(const ToolProgress&) override { return 0; }

   private:
    CVideoToDicomPage* m_pPage;
  };

  // What the job shows, done on the page's controls.
  class CHost : public CVideoToDicomHost {
   public:
    explicit CHost(CVideoToDicomPage* page) : m_pPage(page) {}
    void ChooseSource(CString& path) override;
    void ChooseDestination(CString& folder) override;
    void ShowMessage(LPCTSTR text) override;
    void SetStatus(LPCTSTR text, COLORREF color) override { m_pPage->SetStatus(text, color); }
    void SetBusy(BOOL busy) override { m_pPage->SetBusy(busy); }
    void SetProgressRange(LONGLONG upper) override { m_pPage->m_wndProgress.SetRange(upper); }
    void SetProgressPos(LONGLONG pos) override { m_pPage->m_wndProgress.SetPos(pos); }
    void DeleteAllOutputItems() override;
    int AddOutputItem(LPCTSTR path) override { return m_pPage->AddOutputItem(path); }
    void EnsureVisible(int row) override;
    void SetItemState(int row, int state) override { m_pPage->SetItemState(row, state); }
    int ConfirmOverwrite(LPCTSTR path, int& mode, BOOL offerAll) override {
      return m_pPage->ConfirmOverwrite(path, mode, offerAll);
    }

   private:
    CVideoToDicomPage* m_pPage;
  };

  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;

  afx_msg BOOL OnEraseBkgnd(CDC* pDC);
  afx_msg void OnChooseSource();
  afx_msg void OnPlaySource();
  afx_msg void OnChooseFolder();
  afx_msg void OnOpenFolder();
  afx_msg void OnRangeSwitch();
  afx_msg void OnSourceChange();
  afx_msg void OnListDeleteItem(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnListGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnListDblClk(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnContextMenu(CWnd* pWnd, CPoint point);
  afx_msg void OnOpenDicomFile();
  afx_msg void OnOpenDestinationFolder();
  afx_msg void OnUpdateSelectionCommand(CCmdUI* pCmdUI);
  DECLARE_MESSAGE_MAP()

  // The first selected row's file; empty without a selection.
  CString GetSelectedPath() const;
  // The program's tool paths, image library and recent lists, into the job.
  void TakeProgramParts();
  // The message box of the program, shown on the page's thread.
  void ShowMessageBox(LPCTSTR text, UINT type);

  CSink m_sink;
  CHost m_host;
  // Gaps of the template's rows, kept by the layout (pixels).
  int m_nMargin = 0;
  int m_nButtonGap = 0;
  int m_nFieldGap = 0;
};
