#include "tests/foundation/ui/fields/FieldsDlg.h"

BEGIN_MESSAGE_MAP(CFieldsDlg, COEDialog)
  ON_WM_DROPFILES()
  ON_CBN_SELENDOK(IDC_HISTORYEX, OnHistorySelEndOk)
END_MESSAGE_MAP()
