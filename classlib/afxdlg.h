// Dialogs and dialog data exchange.
#pragma once
#include "afxgdi.h"

#ifdef _WIN32
#include <commdlg.h>
#include <vector>

// Resource type of a dialog's initial control data (combo and list box items).
#define RT_DLGINIT MAKEINTRESOURCE(240)

// Keeps a modal window's owner (its top-level window) disabled while the modal
// window runs. Modal windows of several threads may share one owner: the first
// disables it and the last to end enables it again, never one while another
// is still up. An owner that something else disabled is left as it is.
class CModalOwner {
 public:
  explicit CModalOwner(HWND owner);
  ~CModalOwner() { Release(); }
  CModalOwner(const CModalOwner&) = delete;
  CModalOwner& operator=(const CModalOwner&) = delete;
  // Ends this window's claim; TRUE when that enabled the owner again.
  BOOL Release();

 private:
  HWND m_hOwner = nullptr;  // null when not counted
};

class CDialog : public CWnd {
  DECLARE_DYNAMIC(CDialog)
 public:
  CDialog();
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  explicit CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  // Modeless.
  virtual BOOL Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
  virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr) {
    return Create(MAKEINTRESOURCEW(nIDTemplate), pParentWnd);
  }
  BOOL CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = nullptr, void* lpDialogInit = nullptr);
  // Modal.
  BOOL InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = nullptr, void* lpDialogInit = nullptr);
  virtual INT_PTR DoModal();
  void EndDialog(int nResult);

  virtual BOOL OnInitDialog();
  virtual void OnSetFont(CFont*) {}
  virtual void OnOK();
  virtual void OnCancel();
  BOOL PreTranslateMessage(MSG* pMsg) override;
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

  // Sends the items of a dialog-init resource (or data) to the controls.
  BOOL ExecuteDlgInit(LPCTSTR lpszResourceName);
  BOOL ExecuteDlgInit(void* lpResource);

  void NextDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, 0); }
  void PrevDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 1, 0); }
  void GotoDlgCtrl(CWnd* pWndCtrl) { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, (WPARAM)pWndCtrl->GetSafeHwnd(), 1); }
  void SetDefID(UINT nID) { ::SendMessageW(m_hWnd, DM_SETDEFID, nID, 0); }
  DWORD GetDefID() const { return (DWORD)::SendMessageW(m_hWnd, DM_GETDEFID, 0, 0); }
  void MapDialogRect(LPRECT r) const { ::MapDialogRect(m_hWnd, r); }

  UINT m_nIDHelp = 0;
  LPCTSTR m_lpszTemplateName = nullptr;
  HGLOBAL m_hDialogTemplate = nullptr;
  LPCDLGTEMPLATE m_lpDialogTemplate = nullptr;
  void* m_lpDialogInit = nullptr;
  CWnd* m_pParentWnd = nullptr;
  HWND m_hWndTop = nullptr;

 protected:
  virtual void PreInitDialog() {}
  HWND PreModal();
  void PostModal();
  BOOL CreateDlgIndirect(LPCDLGTEMPLATE tmpl, CWnd* pParentWnd, HINSTANCE hInst);
  afx_msg LRESULT HandleInitDialog(WPARAM, LPARAM);
  afx_msg LRESULT HandleSetFont(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()
};

// The system's open and save dialogs, explorer style with a hook procedure, so
// the dialog's notifications reach the virtual handlers below. The filter
// separates its parts with '|'; it always ends with two terminators.
class CFileDialog : public CDialog {
  DECLARE_DYNAMIC(CFileDialog)
 public:
  explicit CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt = nullptr, LPCTSTR lpszFileName = nullptr,
                       DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCTSTR lpszFilter = nullptr,
                       CWnd* pParentWnd = nullptr);
  INT_PTR DoModal() override;
  OPENFILENAMEW& GetOFN() { return m_ofn; }
  const OPENFILENAMEW& GetOFN() const { return m_ofn; }
  // While the dialog is open: the path the user has chosen so far; after it
  // closed: the name buffer's text (the folder of a multiple selection).
  CString GetPathName() const;
  CString GetFileName() const;
  CString GetFileExt() const;
  CString GetFileTitle() const;
  CString GetFolderPath() const;
  // Multiple selection: the first position, then each full path in turn.
  POSITION GetStartPosition() const;
  CString GetNextPathName(POSITION& pos) const;

  OPENFILENAMEW m_ofn = {};
  BOOL m_bOpenFileDialog;

 protected:
  // Notifications of the open dialog.
  virtual UINT OnShareViolation(LPCTSTR lpszPathName) { return 0; }
  virtual BOOL OnFileNameOK() { return FALSE; }  // FALSE accepts the name
  virtual void OnLBSelChangedNotify(UINT nIDBox, UINT iCurSel, UINT nCode) {}
  virtual void OnInitDone() {}
  virtual void OnFileNameChange() {}
  virtual void OnFolderChange() {}
  virtual void OnTypeChange() {}
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
  // OK and Cancel belong to the system's dialog.
  void OnOK() override { Default(); }
  void OnCancel() override { Default(); }
  // The name buffer holds nChars characters with the terminator; its text is kept.
  void SetFileBufferSize(DWORD nChars);

  CString m_strDefExt, m_strTitle;
  std::vector<wchar_t> m_filter;
  std::vector<wchar_t> m_fileBuffer;
  wchar_t m_fileTitle[MAX_PATH] = {0};
};

// Hook procedure of the file dialogs: attaches the waiting dialog object to
// the dialog's child window.
UINT_PTR CALLBACK AfxCommDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog procedure of every dialog made by the library.
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

class CDataExchange {
 public:
  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
  UINT m_idLastControl = 0;
  BOOL m_bEditLastControl = FALSE;

  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
  HWND PrepareCtrl(int nIDC);
  HWND PrepareEditCtrl(int nIDC);
  // Gives the focus back to the last control and abandons the exchange.
  [[noreturn]] void Fail();
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
void DDX_Text(CDataExchange* pDX, int nIDC, long& value);
void DDX_Text(CDataExchange* pDX, int nIDC, DWORD& value);
void DDX_Text(CDataExchange* pDX, int nIDC, double& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value);
void DDX_CBStringExact(CDataExchange* pDX, int nIDC, CString& value);
void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index);
void DDX_LBString(CDataExchange* pDX, int nIDC, CString& value);
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars);
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal);
#endif
