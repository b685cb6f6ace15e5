// The test dialog holding every input control of the pages.
#pragma once
#include <vector>

#include "foundation/ui/ComboBoxes.h"
#include "tests/foundation/ui/fields/FieldsTest.h"
#include "foundation/ui/MaskEdit.h"
#include "foundation/ui/OEDialog.h"
#include "foundation/ui/TimeEdit.h"

class CFieldsDlg : public COEDialog {
 public:
  CFieldsDlg() : COEDialog(IDD_FIELDS) {}

  CMaskEdit m_mask;
  CTimeEdit m_start, m_end;
  CHistoryComboBox m_history;
  CHistoryComboBoxEx m_historyEx{PATHMODE_FILES};
  CDropComboBox m_drop{PATHMODE_FILES};
  CDropComboBoxEx m_dropEx{PATHMODE_FILES};
  CAutoWidthComboBoxEx m_pattern;
  CAutoWidthComboBox m_choice;

  int m_startMs = 0, m_endMs = 0, m_plainMs = 0;
  std::vector<CString> m_droppedOnDialog;  // what reached the dialog itself
  int m_selEndOks = 0;                     // CBN_SELENDOK of the history combo seen by the dialog

  BOOL CreateShown() {
    if (!Create(IDD_FIELDS)) return FALSE;
    ShowWindow(SW_SHOW);
    UpdateWindow();
    return TRUE;
  }

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    COEDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MASK, m_mask);
    DDX_Control(pDX, IDC_START, m_start);
    DDX_Control(pDX, IDC_END, m_end);
    DDX_Control(pDX, IDC_HISTORY, m_history);
    DDX_Control(pDX, IDC_HISTORYEX, m_historyEx);
    DDX_Control(pDX, IDC_DROP, m_drop);
    DDX_Control(pDX, IDC_DROPEX, m_dropEx);
    DDX_Control(pDX, IDC_PATTERN, m_pattern);
    DDX_Control(pDX, IDC_CHOICE, m_choice);
    DDX_TimeText(pDX, IDC_START, m_startMs);
    DDX_TimeText(pDX, IDC_END, m_endMs);
    DDX_TimeText(pDX, IDC_PLAINTIME, m_plainMs);
  }
  BOOL OnInitDialog() override {
    COEDialog::OnInitDialog();
    DragAcceptFiles(TRUE);  // as the pages do
    return TRUE;
  }
  afx_msg void OnDropFiles(HDROP hDrop) {
    UINT n = ::DragQueryFileW(hDrop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < n; ++i) {
      wchar_t path[MAX_PATH] = {0};
      ::DragQueryFileW(hDrop, i, path, MAX_PATH);
      m_droppedOnDialog.push_back(path);
    }
    ::DragFinish(hDrop);
  }
  afx_msg void OnHistorySelEndOk() { ++m_selEndOks; }
  DECLARE_MESSAGE_MAP()
};
