// The common base of the converter's two tab pages: the band with Convert,
// Stop and Close and its painting, the status line, the progress bar, the
// busy state, the stop flag, the worker thread and its protocol, the job's
// report carried to the page's thread, the encoder's progress relay, the
// accelerators, the "Overwrite or Cancel?" prompt, Play and "show in
// Explorer".
#pragma once
#include <functional>
#include <mutex>
#include <vector>

#include "converter/jobs/JobReport.h"
#include "foundation/ui/OEDialog.h"
#include "foundation/ui/ProgressBar.h"

// The filter of the file dialogs that choose a video.
extern const wchar_t kVideoFileFilter[];

class COverwriteDlg : public CDialog {
 public:
  COverwriteDlg(BOOL offerAll, LPCTSTR path, CWnd* pParent = nullptr);
  int m_bOfferAll;
  CString m_strPath;

 protected:
  BOOL OnInitDialog() override;
  afx_msg void OnOverwrite();
  afx_msg void OnOverwriteAll();
  DECLARE_MESSAGE_MAP()
};

// An item report of a job as the page takes it (see CJobReport::ItemState).
struct CJobItemReport {
  int index;
  int state;
  CString file;
};

class CConvertPage : public COEDialog {
 public:
  CConvertPage(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  ~CConvertPage() override;

  // Starts the page's job; -1 in the base (pages override it).
  virtual int StartConversion();
  // STOP_REQUESTED stops the job, STOP_AND_CLOSE stops it and then closes
  // the program.
  virtual void RequestStop(int mode);
  // Busy: Stop and the progress bar shown, the page's inputs disabled; idle:
  // Convert shown, the inputs enabled.
  virtual void SetBusy(BOOL busy);
  // Places the page's controls.
  virtual void RecalcLayout() {}
  // The page's own fields that a job reads (never the band's buttons).
  virtual void EnableInputs(BOOL enable) {}
  // The job, on the worker thread; Failed in the base.
  virtual JobResult RunConversion() { return JobResult::Failed; }

  // Status line text; STATUS_FAILED (red) for failures.
  void SetStatus(LPCTSTR text, COLORREF color = STATUS_NORMAL);
  // The same, keeping the colour.
  void SetStatusText(LPCTSTR text);
  CString GetStatusText() const;
  COLORREF GetStatusColor() const { return m_crStatus; }
  // 0 to write the file, 1 to cancel; mode is the job's overwrite mode.
  int ConfirmOverwrite(LPCTSTR path, int& mode, BOOL offerAll);
  // A message box of the program; returns once it is closed.
  void ShowMessage(LPCTSTR text, UINT type = MB_OK);
  BOOL LoadAccelerators(LPCTSTR name);

  // What the page's job reports through, from its worker thread: every call
  // reaches the page's thread in the order made (only the latest status,
  // progress position and batch of item reports wait there), and the
  // questions wait for their answers.
  CJobReport& GetJobReport() { return m_report; }
  // Shows what workers reported so far (on the page's thread).
  void RunQueuedCalls() { m_calls.Flush(); }

  // Opens a file with its program, or says it does not exist.
  void PlayFile(LPCTSTR path);
  // An Explorer window on the file's folder with the file selected.
  static void ShowInExplorer(LPCTSTR path);

  // Starts fn(param) suspended, not self-deleting, then resumed; null when
  // the thread cannot be made.
  static CWinThread* BeginWorkerThread(AFX_THREADPROC fn, LPVOID param);
  // The conversion worker: the page's inputs disabled, the stop flag
  // cleared, then fn(this) started. 0 or -1.
  int StartWorker(AFX_THREADPROC fn = &CConvertPage::ConvertThreadProc);
  // The worker's procedure: RunConversion, then WM_WORKER_FINISHED.
  static UINT ConvertThreadProc(LPVOID param);
  BOOL IsWorkerRunning() const { return m_pWorkerThread != nullptr; }

  HACCEL m_hAccel = nullptr;
  CProgressBar m_wndProgress;
  int m_nBandHeight = 48;
  COLORREF m_crStatus = 0;
  CBrush m_brStatus;
  CWinThread* m_pWorkerThread = nullptr;
  CStopFlag m_nStopFlag{STOP_NONE};

 protected:
  // The job's reports that each page shows its own way, on its thread.
  // The item reports made since the last call, in order.
  virtual void ShowJobItems(const std::vector<CJobItemReport>& items) {}
  // The page's chooser of the job's output; false when cancelled.
  virtual bool ChooseJobOutput(CString& path) { return true; }
  virtual void ShowJobMessage(LPCTSTR text) { ShowMessage(text, MB_OK); }
  // Runs fn, a dialog a job's question shows.
  virtual void WithJobDialog(const std::function<void()>& fn) { fn(); }
  // After the worker has ended, with the job's result.
  virtual void OnJobFinished(JobResult result) {}

  // Runs fn on the page's thread after the calls before it; the caller goes
  // on (on the page's thread fn runs at once).
  void PostToPage(std::function<void()> fn) { m_calls.Post(std::move(fn)); }

  BOOL PreTranslateMessage(MSG* pMsg) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnInitDialog() override;
  void OnOK() override {}
  void OnCancel() override;

  // The band's buttons, status line and progress bar, into a deferred
  // positioning batch; the band's top edge.
  int PlaceBand(HDWP& dwp);
  // Lines of the page above the band, after the page and band are painted.
  virtual void PaintSeparators(CDC* pDC, const CRect& client) {}

  afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
  afx_msg BOOL OnEraseBkgnd(CDC* pDC);
  afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
  afx_msg void OnSize(UINT nType, int cx, int cy);
  afx_msg void OnConvert();
  afx_msg void OnStop();
  afx_msg LRESULT OnIdleUpdateCmdUI(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnWorkerFinished(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

  // Waits for a finished thread and deletes it.
  static void JoinWorker(CWinThread*& thread);
  // What a finished thread leaves: the calls it made are shown, it is
  // joined, and a close asked for meanwhile goes to the main dialog. TRUE
  // when the program closes.
  BOOL FinishThread(CWinThread*& thread, int stopFlag);

  mutable CWindowCalls m_calls;
  // The job has left the busy state: it only posts its end message now.
  bool m_bJobEnding = false;

 private:
  class CPageReport : public CJobReport {
   public:
    explicit CPageReport(CConvertPage& page) : m_page(page) {}
    void Status(LPCTSTR text, COLORREF color) override;
    void Busy(bool busy) override;
    void ProgressRange(LONGLONG upper) override;
    void Progress(LONGLONG position) override;
    void ItemState(int index, int state, LPCTSTR file) override;
    bool ChooseOutput(CString& path) override;
    bool ConfirmOverwrite(LPCTSTR path, int& mode, bool offerAll) override;
    void Message(LPCTSTR text) override;

   private:
    // Keys of the calls that only need their latest value.
    enum { CALL_STATUS = 1, CALL_PROGRESS = 2, CALL_ITEMS = 3 };
    // Runs a question's dialog on the page's thread; the caller waits.
    void Ask(const std::function<void()>& dialog);
    void ShowItems();

    CConvertPage& m_page;
    // Item reports not shown yet: a job lists items faster than the page can
    // take one call each, so the page takes them all in one call.
    std::mutex m_lock;
    std::vector<CJobItemReport> m_items;
  };
  CPageReport m_report{*this};
  JobResult m_jobResult = JobResult::Failed;  // the worker's; read once it has ended
};
