// Runs a script inside a modal dialog once it is up, then lets the dialog end
// the way the script ended it. Next() runs the script again from the dialog's
// own message loop (only while the dialog still runs).
#pragma once
#include <functional>

#include "afxwin.h"
#include "tests/support/UiTestSupport.h"

template <class Base>
class CScripted : public Base {
 public:
  template <class... A>
  explicit CScripted(std::function<void(CScripted&)> script, A&&... args)
      : Base(std::forward<A>(args)...), m_script(std::move(script)) {}

 protected:
  BOOL OnInitDialog() override {
    BOOL r = Base::OnInitDialog();
    ::PostMessageW(this->m_hWnd, WM_APP + 77, 0, 0);
    return r;
  }
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_APP + 77) {
      ++m_nStep;
      if (m_script) m_script(*this);
      return 0;
    }
    return Base::WindowProc(msg, wp, lp);
  }

 public:
  void Next() { ::PostMessageW(this->m_hWnd, WM_APP + 77, 0, 0); }
  int m_nStep = 0;

 private:
  std::function<void(CScripted&)> m_script;
};

inline CString ControlText(CWnd& dlg, int id) {
  CString s;
  dlg.GetDlgItemText(id, s);
  return s;
}
inline BOOL ControlEnabled(CWnd& dlg, int id) { return ::IsWindowEnabled(::GetDlgItem(dlg.m_hWnd, id)); }
inline BOOL ControlVisible(CWnd& dlg, int id) {
  return (::GetWindowLongPtrW(::GetDlgItem(dlg.m_hWnd, id), GWL_STYLE) & WS_VISIBLE) != 0;
}
inline void Click(CWnd& dlg, int id) { ::SendMessageW(::GetDlgItem(dlg.m_hWnd, id), BM_CLICK, 0, 0); }

// A picture of a window as the user sees it: shown, painted with its children.
inline CWindowShot ShotOf(HWND hwnd, bool clientOnly = false) {
  if (!::IsWindowVisible(hwnd)) ::ShowWindow(hwnd, SW_SHOWNA);
  ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpPending();
  return CaptureWindow(hwnd, clientOnly);
}
