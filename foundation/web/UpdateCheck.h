// The check for a newer version: on request with a progress dialog and a
// final message, or silently at start-up at most once per interval. The check
// runs on a worker thread of its own; a newer version is offered in a dialog
// whose main button opens the download address in the browser.
#pragma once
#include <ctime>
#include <string>

#include "foundation/ui/LinkButton.h"
#include "foundation/web/WebProgram.h"
#include "afxwin.h"

// The update check's view of the program's settings. The converter's and the
// viewer's settings objects implement it and publish it with
// SetUpdateSettings at start-up:
// - Get/SetAutoCheckUpdate: the "AutoCheckUpdate" option of section "Settings"
//   (kept in the settings object, saved with the other settings at exit);
// - Get/SetLastUpdateCheck: "LastUpdateCheck" of section "Settings", seconds
//   of the C time scale, written at once. The defaults here use the
//   application's registry profile directly (stored as an unsigned 32-bit
//   number, good until 2106).
// It is called from the update thread; the programs take no lock.
class CUpdateSettings {
 public:
  virtual ~CUpdateSettings() {}
  virtual int GetAutoCheckUpdate() = 0;
  virtual void SetAutoCheckUpdate(int value) = 0;
  virtual LONGLONG GetLastUpdateCheck();
  virtual void SetLastUpdateCheck(LONGLONG when);
};

// The published settings, or null. Without them the automatic check counts
// as on, changes to it are dropped, and "LastUpdateCheck" uses the profile.
CUpdateSettings* GetUpdateSettings();
void SetUpdateSettings(CUpdateSettings* settings);

// 1 when a check is due: interval 0 always; 1 when the local date differs;
// n >= 2 after n whole days; a negative interval never. A last check in the
// future (a clock set back) is due.
int IsUpdateCheckDue(time_t now, time_t last, int intervalDays);

// 1 when a silent check is not due and nothing was started; 0 once the worker
// runs; -1 when the worker cannot be started.
int CheckForUpdates(LPCTSTR infoUrl, LPCTSTR currentVersion, int intervalDays, int silent);

// Stops the checks still running (their transfers are cancelled and their
// dialogs and messages closed as by Cancel) and waits up to timeoutMs for
// their threads to end, and for the request threads they left behind in a
// blocked call. 1 when none is left, 0 after the time-out (nothing is ended
// by force). Called by the user-interface thread at exit, before the settings
// are saved.
int StopUpdateChecks(DWORD timeoutMs);
// How long the programs wait for their checks at exit: a cancelled transfer
// ends within about a second and a half.
const DWORD kUpdateStopWaitMs = 3000;

class CUpdateJob {
 public:
  CString m_strProduct = kUpdateProduct;
  CString m_strCurrentVersion;
  CString m_strNewestVersion;
  CString m_strDownloadURL;
  CString m_strDescription;
  int m_nLevel = 0;
  CString m_strInfoURL;
  int m_bSilent = 0;
  int m_nCancel = 0;  // 2 = cancelled by the user
  // The window that owns the check's dialogs (the main window when the check
  // started); borrowed by handle only, so that its end harms nothing.
  HWND m_hOwner = nullptr;

  // Runs the check with its dialogs and messages: 1 when the user chose to
  // download, 0 otherwise (also when cancelled), -1 on failure.
  int Run();
  // 1 newer version, 0 not newer, -1 failure.
  int Check();
  int FetchUpdateInfo();
  // The update information's bytes as the server sent them.
  int Download(std::string& bytes);
  // 0, or -1 when the text is not valid update information. Values read before
  // a failure stay in the job.
  int ParseUpdateXml(LPCTSTR xml);
  // The same for the document's bytes, decoded as the document declares
  // (byte-order mark or XML declaration; UTF-8 by default).
  int ParseUpdateXml(const void* data, size_t size);
};

// The update thread: runs the job, then deletes it.
UINT __cdecl UpdateThreadProc(LPVOID job);

// The progress dialog of a shown check. It ends only when its check thread
// reports (a cancel is passed to the transfer, which ends within about a second).
class CUpdateProgressDlg : public CDialog {
 public:
  explicit CUpdateProgressDlg(CUpdateJob* job, CWnd* pParent = nullptr);
  virtual int RunCheck();

  CUpdateJob* m_pJob;
  int m_nResult = 0;
  int* m_pCancel;
  CProgressCtrl m_progress;
  int m_bAutoCheck = 0;

 protected:
  // Starts the check thread; FALSE when it cannot be started.
  virtual BOOL StartCheckThread();
  static UINT __cdecl CheckThreadProc(LPVOID dialog);

  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  afx_msg void OnTimer(UINT_PTR nIDEvent);
  afx_msg LRESULT OnWorkerFinished(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
};

// "A newer version is available": the version, the notes and a download button.
class CUpdateAvailableDlg : public CDialog {
 public:
  explicit CUpdateAvailableDlg(CUpdateJob* job, CWnd* pParent = nullptr);
  // Stores the auto-check box in the settings.
  ~CUpdateAvailableDlg() override;

  CUpdateJob* m_pJob;
  CLinkButton m_linkVersion;
  CLinkButton m_linkLearnMore;
  int m_bAutoCheck;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnCancel() override;
};
