// A top-level window that holds a converter page the way the main dialog
// does, and counts the WM_CLOSE messages the page sends it.
#pragma once
#include "afxwin.h"

class CPageHostWnd : public CWnd {
 public:
  BOOL CreateHost(int width, int height) {
    LPCTSTR cls =
        AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW), (HBRUSH)::GetStockObject(WHITE_BRUSH));
    return CreateEx(0, cls, L"Page host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, width, height,
                    nullptr, nullptr);
  }
  // Puts a page over the whole client area.
  void Fit(CWnd& page) {
    CRect rc;
    GetClientRect(&rc);
    page.MoveWindow(&rc);
    page.ShowWindow(SW_SHOW);
  }
  int m_nCloses = 0;

 protected:
  afx_msg void OnClose() { ++m_nCloses; }
  DECLARE_MESSAGE_MAP()
};

inline const AFX_MSGMAP* CPageHostWnd::GetMessageMap() const { return GetThisMessageMap(); }
inline const AFX_MSGMAP* CPageHostWnd::GetThisMessageMap() {
  typedef CPageHostWnd ThisClass;
  typedef CWnd TheBaseClass;
  static const AFX_MSGMAP_ENTRY _messageEntries[] = {ON_WM_CLOSE(){0, 0, 0, 0, nullptr, nullptr}};
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]};
  return &messageMap;
}
