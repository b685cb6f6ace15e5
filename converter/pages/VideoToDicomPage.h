// The converter's second tab page: a video file, optionally a stretch of it,
// and a folder; Convert writes one DICOM file per frame and lists each file
// with its state.
#pragma once
#include <memory>
#include <vector>

#include "converter/pages/ConvertPage.h"
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
  JobResult RunConversion() override;
  // Appends a row for the file; returns its index.
  int AddOutputItem(LPCTSTR path);
  void SetItemState(int row, int state);

  // The two choosers; TRUE when the user chose.
  BOOL ChooseSource();
  // How long the probe of a chosen source may take before it is stopped.
  int m_nProbeLimitMs = 20000;
  BOOL ChooseFolder();
  void EnableRangeControls();

  // Source path, output folder, range switch, start and end (ms), bound to
  // the controls: the job's inputs, which Convert completes.
  CVideoToDicomInputs m_inputs;
  // The probe of the source chosen through "...".
  CMediaInfo m_mediaInfo;
  CString m_strMediaPath;  // the file m_mediaInfo describes; empty when none
  CTimeEdit m_editStart;
  CTimeEdit m_editEnd;
  COutputListCtrl m_list;
  CHistoryComboBoxEx m_comboFolder;

 protected:
  // The job's reports.
  void ShowJobItems(const std::vector<CJobItemReport>& items) override;
  bool ChooseJobOutput(CString& path) override;
  void ShowJobMessage(LPCTSTR text) override { ShowMessage(text, MB_ICONEXCLAMATION); }
  // The job's dialogs come with the list drawn normally meanwhile.
  void WithJobDialog(const std::function<void()>& fn) override;
  void OnJobFinished(JobResult result) override;

  // While a job runs the list draws a few times a second rather than after
  // every row: its rows change faster than it can repaint.
  void HoldOutputList(BOOL hold);
  // Shows the list as it is now, scrolled to the newest row.
  void FlushOutputList();
  // After rows changed: a held list is shown every so often, also while the
  // rows change faster than its timer comes.
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
  // Probes the chosen source on a thread of its own, stopped after the
  // limit, into m_mediaInfo.
  JobResult ProbeChosenSource(LPCTSTR probePath);

  std::unique_ptr<CVideoToDicomJob> m_job;
  // Gaps of the template's rows, kept by the layout (pixels).
  int m_nMargin = 0;
  int m_nButtonGap = 0;
  int m_nFieldGap = 0;
};
