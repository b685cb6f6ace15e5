// The converter's second tab page: a video file, optionally a stretch of it,
// and a folder; Convert writes one DICOM file per frame and lists each file
// with its state.
#pragma once
#include <mutex>
#include <utility>
#include <vector>

#include "converter/pages/ConvertPage.h"
#include "converter/tools/EncoderTool.h"
#include "foundation/ui/ComboBoxes.h"
#include "foundation/ui/ReportListCtrl.h"
#include "foundation/ui/TimeEdit.h"
#include "converter/jobs/VideoToDicomJob.h"

// One row of the output list: the DICOM file and its state. Owned by the list.
class COutputFileItem {
 public:
  COutputFileItem(LPCTSTR path, int state) : m_strPath(path ? path : L""), m_nState(state) {}
  CString m_strPath;
  int m_nState;
};

// The output list. While held it draws only when the page shows it, or when
// part of it is uncovered: then with its rows as they are, never as a blank.
class COutputListCtrl : public CReportListCtrl {
 public:
  BOOL m_bHeld = FALSE;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class CVideoToDicomPage : public CConvertPage {
 public:
  explicit CVideoToDicomPage(CWnd* pParentWnd = nullptr);
  ~CVideoToDicomPage() override;

  int StartConversion() override;
  void SetBusy(BOOL busy) override;
  void EnableInputs(BOOL enable) override;
  void RecalcLayout() override;

  // The job, on the worker.
  int RunConversion() override;
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
  COutputListCtrl m_list;
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

  // What the job shows, done on the page's controls. Every call reaches the
  // page's thread in the order the job made it (only the latest status,
  // progress and scroll position count); only the calls that answer
  // something (choosers, prompts, message boxes) wait, so the worker never
  // waits for the list to repaint.
  class CHost : public CVideoToDicomHost {
   public:
    explicit CHost(CVideoToDicomPage* page) : m_pPage(page) {}
    void ChooseSource(CString& path) override;
    void ChooseDestination(CString& folder) override;
    void ShowMessage(LPCTSTR text) override;
    void SetStatus(LPCTSTR text, COLORREF color) override { m_pPage->SetStatus(text, color); }
    void SetBusy(BOOL busy) override { m_pPage->SetBusy(busy); }
    void SetProgressRange(LONGLONG upper) override { m_pPage->SetProgressRange(upper); }
    void SetProgressPos(LONGLONG pos) override { m_pPage->SetProgressPos(pos); }
    void DeleteAllOutputItems() override;
    int AddOutputItem(LPCTSTR path) override;
    void EnsureVisible(int row) override;
    void SetItemState(int row, int state) override;
    int ConfirmOverwrite(LPCTSTR path, int& mode, BOOL offerAll) override;

   private:
    // What the job did to the list since the page last showed it. A worker
    // lists files faster than the page can take one call per row: the page
    // takes them all at once, in one call that is never queued twice.
    struct CListChanges {
      bool bCleared = false;
      std::vector<CString> added;
      std::vector<std::pair<int, int>> states;  // row, state; in order
      int nShowRow = -1;
    };
    void PostListChanges();
    void ApplyListChanges();

    CVideoToDicomPage* m_pPage;
    std::mutex m_lock;
    CListChanges m_changes;
    int m_nNextRow = 0;  // rows are only ever appended during a job
  };

  // Runs fn, a dialog, with the list drawn normally meanwhile.
  void WithListShown(const std::function<void()>& fn);

  // While a job runs the list draws a few times a second rather than after
  // every row: its rows change faster than it can repaint.
  void HoldOutputList(BOOL hold);
  // Shows the list as it is now, scrolled to the newest row.
  void FlushOutputList();
  // After a row changed: a held list is shown every so often, also while
  // the rows change faster than its timer comes.
  void OutputListChanged();
  afx_msg void OnTimer(UINT_PTR nIDEvent);
  BOOL m_bListHeld = FALSE;
  int m_nShowRow = -1;
  DWORD m_dwListShown = 0;  // tick count of the last time the list was shown

  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;

  void PaintSeparators(CDC* pDC, const CRect& client) override;
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

  CSink m_sink;
  CHost m_host;
  // Gaps of the template's rows, kept by the layout (pixels).
  int m_nMargin = 0;
  int m_nButtonGap = 0;
  int m_nFieldGap = 0;
};
