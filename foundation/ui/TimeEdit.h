// The masked edit in which a point in time is typed as hh:mm:ss.mmm, and the
// data exchange that moves a millisecond count in and out of an edit.
#pragma once
#include "foundation/ui/MaskEdit.h"

class CTimeEdit : public CMaskEdit {
  DECLARE_DYNAMIC(CTimeEdit)
 public:
  CTimeEdit();
  // Shows milliseconds as hours:minutes:seconds.milliseconds.
  void SetTime(int ms);

 protected:
  DECLARE_MESSAGE_MAP()
};

// Millisecond count <-> the text of any edit control; never fails.
void DDX_TimeText(CDataExchange* pDX, int nIDC, int& ms);
