// A viewer frame for tests: the application object, an empty document, a
// main frame that records what reaches it, and a pump that pre-translates
// messages as the program's loop does.
#pragma once
#include <deque>
#include <functional>
#include <ostream>
#include <vector>

#include "viewer/MainFrame.h"
#include "viewer/PlayView.h"
#include "resources/viewer/ViewerRes.h"
#include "viewer/ViewerResources.h"
#include "tests/support/UiTestSupport.h"
#include "viewer/ViewerSettings.h"
#include "afxwin.h"

class CViewerTestDoc : public CDocument {
  DECLARE_DYNCREATE(CViewerTestDoc)
};

// The main frame with a recorder: menu messages, drag requests, and steps run
// while a popup's loop is idle.
class CRecordingFrame : public CMainFrame {
  DECLARE_DYNCREATE(CRecordingFrame)
 public:
  struct Entry {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  std::vector<Entry> m_log;
  // Steps for the open popup: each runs on the loop's idle (and on a short
  // timer while a popup is open) until it answers true. A step that has not
  // answered true after a few seconds ends the menu and the steps.
  std::deque<std::function<bool()>> m_menuSteps;
  int m_nMenuIdles = 0;
  BOOL m_bStepsTimedOut = FALSE;
  int Count(UINT message) const;
  const Entry* Last(UINT message) const;
  // Commands that reached the frame (menu, accelerator or control).
  std::vector<UINT> m_commands;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

 protected:
  void RunStep();
  DWORD m_dwStepStart = 0;
  afx_msg void OnEnterIdle(UINT nWhy, CWnd* pWho);
  afx_msg void OnTimer(UINT_PTR nIDEvent);
  afx_msg LRESULT OnEnterMenuLoop(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnExitMenuLoop(WPARAM wParam, LPARAM lParam);
  afx_msg void OnNcLButtonDown(UINT nHitTest, CPoint point);
  afx_msg void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
  afx_msg void OnMenuSelect(UINT nItemID, UINT nFlags, HMENU hSysMenu);
  DECLARE_MESSAGE_MAP()
};

class CViewerTestApp : public CWinApp {
 public:
  CViewerTestApp();
  ~CViewerTestApp() override;
  // Resources and settings published, the document template added, the frame
  // made as at start-up and shown. Null when the frame could not be made.
  CRecordingFrame* Start(int nCmdShow = SW_SHOW);
  CRecordingFrame* Frame() const { return static_cast<CRecordingFrame*>(m_pMainWnd); }
  CViewerResources m_resources;
  CViewerSettings m_settings;
};

// Rectangles print readably in test failures.
inline std::ostream& operator<<(std::ostream& os, const CRect& r) {
  return os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

// A saved placement for the frame to start from.
inline void SetSavedPlacement(CViewerSettings& s, int left, int top, int width, int height) {
  s.m_nWindowLeft = left;
  s.m_nWindowTop = top;
  s.m_nWindowWidth = width;
  s.m_nWindowHeight = height;
}

// Deletes the viewer's registry key: the state of a first start.
void DeleteViewerKey();
// Posts a press and release of the left button at a client point.
void PostClick(HWND hwnd, CPoint pt);
// Once a dialog of this thread with the given caption is shown (also inside
// its modal loop), presses its button; *pSeen becomes true then.
void PressWhenShown(LPCTSTR lpszCaption, int nButton, bool* pSeen);
