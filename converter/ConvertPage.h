// The common base of the converter's two tab pages: the band with Convert,
// Stop and Close, the status line, the progress bar, the stop flag, the
// worker thread protocol, the encoder's progress relay, the accelerators and
// the "Overwrite or Cancel?" prompt.
#pragma once
#include <functional>

#include "OEDialog.h"
#include "ProgressBar.h"

class CToolProgressSink;

// Posted by a page's worker as its last step (wParam 0, lParam 0).
#define WM_WORKER_FINISHED (WM_USER + 350)

// A status text posted by a worker (wParam: the colour, or -1 to keep it;
// lParam: a CString the page deletes).
#define WM_SET_STATUS (WM_APP + 0x302)

// Stop flag values.
enum { STOP_NONE = 0, STOP_REQUESTED = 2, STOP_AND_CLOSE = 3 };

// Answers of the overwrite prompt, and the overwrite mode a job keeps.
enum { OVERWRITE_ASK = 0, OVERWRITE_ONCE = 1, OVERWRITE_ALL = 2 };

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
  // Busy: Stop and the progress bar shown; idle: Convert shown.
  virtual void SetBusy(BOOL busy);
  // Places the page's controls.
  virtual void RecalcLayout() {}

  // Status line text; colour 0 normal, 255 (red) for failures. From a
  // worker the text is posted and shows when the page's thread gets to it.
  void SetStatus(LPCTSTR text, COLORREF color = 0);
  // The same, keeping the colour.
  void SetStatusText(LPCTSTR text);
  CString GetStatusText() const;
  COLORREF GetStatusColor() const { return m_crStatus; }
  // 0 to write the file, 1 to cancel; mode is the job's overwrite mode.
  int ConfirmOverwrite(LPCTSTR path, int& mode, BOOL offerAll);
  BOOL LoadAccelerators(LPCTSTR name);

  // Runs fn on the page's own thread (directly when already there). Workers
  // show dialogs this way, so every window of the program lives on one thread.
  void RunOnPageThread(const std::function<void()>& fn);
  // Starts fn(param) suspended, not self-deleting, then resumed; null when
  // the thread cannot be made.
  static CWinThread* BeginWorkerThread(AFX_THREADPROC fn, LPVOID param);
  // The conversion worker: clears the stop flag and starts fn(this). 0 or -1.
  int StartWorker(AFX_THREADPROC fn);
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

  afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
  afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
  afx_msg void OnSize(UINT nType, int cx, int cy);
  afx_msg void OnConvert();
  afx_msg void OnStop();
  afx_msg LRESULT OnIdleUpdateCmdUI(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnWorkerFinished(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnRunOnPageThread(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnSetStatus(WPARAM wParam, LPARAM lParam);
  void PutStatus(LPCTSTR text, LONG_PTR color);
  DECLARE_MESSAGE_MAP()

  // Waits for a finished worker and deletes it.
  static void JoinWorker(CWinThread*& thread);
};
