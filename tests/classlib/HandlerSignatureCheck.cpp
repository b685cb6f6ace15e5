// Compiled, not run: a message-map entry whose handler has the wrong
// signature must not compile. Built with SIGNATURE_OK it must compile.
#include "afxwin.h"

class CSignatureWnd : public CWnd {
 protected:
#ifdef SIGNATURE_OK
  afx_msg void OnSize(UINT type, int cx, int cy) {}
  afx_msg void OnClicked() {}
  afx_msg void OnTip(NMHDR*, LRESULT*) {}
#else
  afx_msg void OnSize(int cx, int cy) {}         // the entry passes (UINT, int, int)
  afx_msg BOOL OnClicked() { return TRUE; }      // ON_BN_CLICKED wants void()
  afx_msg void OnTip(UINT, NMHDR*, LRESULT*) {}  // ON_NOTIFY wants (NMHDR*, LRESULT*)
#endif
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSignatureWnd, CWnd)
  ON_WM_SIZE()
  ON_BN_CLICKED(1, OnClicked)
  ON_NOTIFY(TTN_NEEDTEXTW, 2, OnTip)
END_MESSAGE_MAP()
