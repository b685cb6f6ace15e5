// The resizable modal dialog in which the user picks a folder from the shell's
// folder tree, a file pattern for the files to take from it, and whether
// subfolders are scanned too.
#pragma once
#include "foundation/ui/ComboBoxes.h"
#include "foundation/ui/FolderTreeCtrl.h"
#include "afxdlg.h"

class CFolderPickerDlg : public CDialog {
  DECLARE_DYNAMIC(CFolderPickerDlg)
 public:
  explicit CFolderPickerDlg(CWnd* pParent = nullptr);
  ~CFolderPickerDlg() override;

  // Set by the caller before DoModal.
  CString m_strCaption;      // replaces the template's caption when not empty
  CString m_strStartFolder;  // selected (and opened up to) when it exists
  int m_nInitialFilter = -1;
  CString m_strPresets;  // name|pattern|name|pattern...
  // The result on IDOK: the chosen folder (empty when the node has no path).
  CString m_strFolder;
  CString m_strFilterList;  // the pattern box's items, separated by '|'
  CToolTipCtrl m_tooltip;
  CWinThread* m_pFillThread = nullptr;
  CAutoWidthComboBoxEx m_filterCombo;
  CFolderTreeCtrl m_tree;
  CString m_strFilter;  // the pattern; also a result ("*" when left empty)
  CString m_strPrompt;
  int m_bScanSubfolders = 0;  // also a result
  CScrollBar m_sizeGrip;

  BOOL PreTranslateMessage(MSG* pMsg) override;
  // The presets' names as items 40000, 40001, ...; returns the item count.
  int BuildPresetMenu(HMENU menu) const;

  enum : UINT { kFirstPresetId = 40000, kSizeGripId = 0xE900 };

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void FillFilterCombo();
  void RecalcLayout();
  static UINT SelectThreadProc(LPVOID param);
  int SelectStartFolder();
  void JoinFillThread();

  afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
  afx_msg void OnSize(UINT nType, int cx, int cy);
  afx_msg void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
  afx_msg void OnPresetButton();
  afx_msg void OnFilterSelChange();
  afx_msg LRESULT OnWorkerFinished(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
};
