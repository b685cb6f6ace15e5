// The common base of the converter's two tab pages: the band with Convert,
// Stop and Close and its painting, the status line, the progress bar, the
// busy state, the stop flag, the worker thread and its protocol, the calls a
// worker makes on the page's thread, the encoder's progress relay, the
// accelerators, the "Overwrite or Cancel?" prompt, Play and "show in
// Explorer".
#pragma once
#include <functional>
#include <mutex>

#include "foundation/ui/OEDialog.h"
#include "foundation/ui/ProgressBar.h"

class CToolProgressSink;

// Stop flag values.
enum { STOP_NONE = 0, STOP_REQUESTED = 2, STOP_AND_CLOSE = 3 };

// Answers of the overwrite prompt, and the overwrite mode a job keeps.
enum { OVERWRITE_ASK = 0, OVERWRITE_ONCE = 1, OVERWRITE_ALL = 2 };

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

class CConvertPage : public COEDialog {
 public:
  CConvertPage(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  ~CConvertPage() override;

  // Starts the page's job; -1 in the base (pages override it).
  virtual int StartConversion();
  // 2 stops the job, 3 stops it and then closes the program.
  virtual void RequestStop(int mode);
  // Busy: Stop and the progress bar shown, the page's inputs disabled; idle:
  // Convert shown, the inputs enabled. From a worker it waits until done.
  virtual void SetBusy(BOOL busy);
  // Places the page's controls.
  virtual void RecalcLayout() {}
  // The page's own fields that a job reads (never the band's buttons).
  virtual void EnableInputs(BOOL enable) {}
  // The job, on the worker thread; -1 in the base.
  virtual int RunConversion() { return -1; }

  // From any thread; a worker's calls are shown when the page's thread gets
  // to them, and only the latest text and position count.
  // Status line text; colour 0 normal, 255 (red) for failures.
  void SetStatus(LPCTSTR text, COLORREF color = 0);
  // The same, keeping the colour.
  void SetStatusText(LPCTSTR text);
  void SetProgressRange(LONGLONG upper);
  void SetProgressPos(LONGLONG pos);
  CString GetStatusText() const;
  COLORREF GetStatusColor() const { return m_crStatus; }
  // From any thread, waiting for the answer: 0 to write the file, 1 to
  // cancel; mode is the job's overwrite mode.
  int ConfirmOverwrite(LPCTSTR path, int& mode, BOOL offerAll);
  // A message box of the program, on the page's thread; waits until closed.
  void ShowMessage(LPCTSTR text, UINT type = MB_OK);
  BOOL LoadAccelerators(LPCTSTR name);

  // Runs fn on the page's thread: posted (the caller goes on; a non-zero key
  // keeps only the latest call of its kind) or sent (the caller waits).
  void PostToPage(std::function<void()> fn, UINT_PTR key = 0) { m_calls.Post(std::move(fn), key); }
  BOOL SendToPage(const std::function<void()>& fn) { return m_calls.Send(fn); }
  BOOL OnPageThread() const { return !m_hWnd || m_calls.IsWindowThread(); }
  // Runs what workers asked the page to do so far (on the page's thread).
  void RunQueuedCalls() { m_calls.Flush(); }
  // Keys of the calls that only need their latest value.
  enum { CALL_STATUS = 1, CALL_PROGRESS = 2, CALL_SHOW_ITEM = 3, CALL_LIST_CHANGES = 4 };

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
  volatile int m_nStopFlag = STOP_NONE;
  // The page's answer to the encoder's progress; set by each page.
  CToolProgressSink* m_pProgressSink = nullptr;

 protected:
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

 private:
  void PutStatus(LPCTSTR text, LONG_PTR color);
  // The latest status a worker asked for, not shown yet.
  std::mutex m_statusLock;
  CString m_strPendingStatus;
  LONG_PTR m_nPendingColor = -1;
};
