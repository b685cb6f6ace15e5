// Control bars: the common base, the toolbar over the toolbar control and
// the status bar over the status control.
#pragma once
#include "afxctl.h"
#include "afxres.h"

#ifdef _WIN32
#include <vector>

class CFrameWnd;

// Sent by a frame's layout to each bar; the bar takes its place out of the rectangle.
#define WM_SIZEPARENT 0x0361

struct AFX_SIZEPARENTPARAMS {
  HDWP hDWP;       // deferred positioning, or null for a size query
  RECT rect;       // what is still free of the parent's client area
  SIZE sizeTotal;  // what the bars took so far
  BOOL bStretch;   // bars stretch over the whole side
};

// Control-bar styles (kept in the bar, not in the window style).
#define CBRS_ALIGN_LEFT 0x1000L
#define CBRS_ALIGN_TOP 0x2000L
#define CBRS_ALIGN_RIGHT 0x4000L
#define CBRS_ALIGN_BOTTOM 0x8000L
#define CBRS_ALIGN_ANY 0xF000L
#define CBRS_BORDER_LEFT 0x0100L
#define CBRS_BORDER_TOP 0x0200L
#define CBRS_BORDER_RIGHT 0x0400L
#define CBRS_BORDER_BOTTOM 0x0800L
#define CBRS_BORDER_ANY 0x0F00L
#define CBRS_TOOLTIPS 0x0010L
#define CBRS_FLYBY 0x0020L
#define CBRS_FLOAT_MULTI 0x0040L
#define CBRS_BORDER_3D 0x0080L
#define CBRS_HIDE_INPLACE 0x0008L
#define CBRS_SIZE_DYNAMIC 0x0004L
#define CBRS_SIZE_FIXED 0x0002L
#define CBRS_FLOATING 0x0001L
#define CBRS_GRIPPER 0x00400000L
#define CBRS_ORIENT_HORZ (CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM)
#define CBRS_ORIENT_VERT (CBRS_ALIGN_LEFT | CBRS_ALIGN_RIGHT)
#define CBRS_ORIENT_ANY (CBRS_ORIENT_HORZ | CBRS_ORIENT_VERT)
#define CBRS_ALL 0x0040FFFFL
#define CBRS_NOALIGN 0x00000000L
#define CBRS_LEFT (CBRS_ALIGN_LEFT | CBRS_BORDER_RIGHT)
#define CBRS_TOP (CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM)
#define CBRS_RIGHT (CBRS_ALIGN_RIGHT | CBRS_BORDER_LEFT)
#define CBRS_BOTTOM (CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP)

// Toolbar button styles: the control's style in the low word, its state
// (with the enabled bit inverted, so 0 means an enabled push button) in the high word.
#define TBBS_BUTTON MAKELONG(TBSTYLE_BUTTON, 0)
#define TBBS_SEPARATOR MAKELONG(TBSTYLE_SEP, 0)
#define TBBS_CHECKBOX MAKELONG(TBSTYLE_CHECK, 0)
#define TBBS_GROUP MAKELONG(TBSTYLE_GROUP, 0)
#define TBBS_CHECKGROUP MAKELONG(TBSTYLE_CHECKGROUP, 0)
#define TBBS_CHECKED MAKELONG(0, TBSTATE_CHECKED)
#define TBBS_PRESSED MAKELONG(0, TBSTATE_PRESSED)
#define TBBS_DISABLED MAKELONG(0, TBSTATE_ENABLED)
#define TBBS_INDETERMINATE MAKELONG(0, TBSTATE_INDETERMINATE)
#define TBBS_HIDDEN MAKELONG(0, TBSTATE_HIDDEN)
#define TBBS_WRAPPED MAKELONG(0, TBSTATE_WRAP)

// Status pane styles.
#define SBPS_NORMAL 0x0000
#define SBPS_NOBORDERS SBT_NOBORDERS
#define SBPS_POPOUT SBT_POPOUT
#define SBPS_OWNERDRAW SBT_OWNERDRAW
#define SBPS_DISABLED 0x04000000
#define SBPS_STRETCH 0x08000000

// The base of bars that live along a side of a frame or on a dialog. A bar
// updates its items from the idle command update: the target is the owner
// when that is a frame, else the nearest parent frame, else the owner itself
// (a dialog hosting the bar). Commands and notifications that reach the bar
// and that it does not handle itself go on to its owner.
class CControlBar : public CWnd {
  DECLARE_DYNAMIC(CControlBar)
 public:
  CControlBar();
  ~CControlBar() override;

  // Size the bar wants: stretched along its side (the other side's extent
  // is then 32767) or as it is.
  virtual CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz);
  // Applies the update handlers of pTarget to the bar's items; pTarget may be
  // a frame, a dialog or any other command target.
  virtual void OnUpdateCmdUI(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) = 0;
  // A modal dialog of the frame starts or ends.
  virtual void BeginModalState() {}
  virtual void EndModalState() {}

  DWORD GetBarStyle() const { return m_dwStyle; }
  virtual void SetBarStyle(DWORD dwStyle) { m_dwStyle = dwStyle & CBRS_ALL; }
  void SetBorders(int cxLeft = 0, int cyTop = 0, int cxRight = 0, int cyBottom = 0);
  void SetBorders(LPCRECT rect) { SetBorders(rect->left, rect->top, rect->right, rect->bottom); }
  BOOL IsVisible() const { return (GetStyle() & WS_VISIBLE) != 0; }
  // The command target of the idle update (see above).
  CCmdTarget* GetUpdateTarget() const;

  int m_cxLeftBorder = 0, m_cxRightBorder = 0;
  int m_cyTopBorder = 0, m_cyBottomBorder = 0;
  DWORD m_dwStyle = 0;
  BOOL m_bAutoDelete = FALSE;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void PostNcDestroy() override;
  afx_msg LRESULT OnSizeParent(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnIdleUpdateCmdUI(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
};

// The toolbar over the common toolbar control. Buttons come from a toolbar
// resource (RT_TOOLBAR); pictures from a bitmap of the same id when there is
// one (magenta, 0xFF00FF, is transparent), or from an image list the owner
// sets on the control.
class CToolBar : public CControlBar {
  DECLARE_DYNAMIC(CToolBar)
 public:
  CToolBar();
  ~CToolBar() override;

  BOOL Create(CWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_TOP, UINT nID = AFX_IDW_TOOLBAR);
  // dwCtrlStyle: TBSTYLE_ styles of the control; dwStyle: window and CBRS_ styles.
  BOOL CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle = TBSTYLE_FLAT,
                DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP, CRect rcBorders = CRect(0, 0, 0, 0),
                UINT nID = AFX_IDW_TOOLBAR);

  // Buttons (and their sizes) from a toolbar resource; the bitmap of the same
  // name is loaded when it exists. FALSE for a missing or malformed resource.
  BOOL LoadToolBar(LPCTSTR lpszResourceName);
  BOOL LoadToolBar(UINT nIDResource) { return LoadToolBar(MAKEINTRESOURCE(nIDResource)); }
  BOOL LoadBitmap(LPCTSTR lpszResourceName);
  BOOL LoadBitmap(UINT nIDResource) { return LoadBitmap(MAKEINTRESOURCE(nIDResource)); }
  // One button per id; ID_SEPARATOR makes a separator. Pictures are numbered
  // in order over the buttons.
  BOOL SetButtons(const UINT* lpIDArray, int nIDCount);
  void SetSizes(SIZE sizeButton, SIZE sizeImage);
  void SetHeight(int cyHeight);

  int CommandToIndex(UINT nIDFind) const;
  UINT GetItemID(int nIndex) const;
  virtual void GetItemRect(int nIndex, LPRECT lpRect) const;
  int GetCount() const;
  UINT GetButtonStyle(int nIndex) const;
  void SetButtonStyle(int nIndex, UINT nStyle);
  void GetButtonInfo(int nIndex, UINT& nID, UINT& nStyle, int& iImage) const;
  void SetButtonInfo(int nIndex, UINT nID, UINT nStyle, int iImage);
  BOOL SetButtonText(int nIndex, LPCTSTR lpszText);
  CString GetButtonText(int nIndex) const;
  // The bar seen as its control.
  CToolBarCtrl& GetToolBarCtrl() const { return *(CToolBarCtrl*)this; }
  // Notifications of the control then go to the owner as well.
  void SetOwner(CWnd* pOwnerWnd);

  CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
  void OnUpdateCmdUI(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) override;

 protected:
  HIMAGELIST m_hImageList = nullptr;  // pictures from the bitmap of the toolbar's id
  CSize m_sizeButton = CSize(23, 22);
  CSize m_sizeImage = CSize(16, 15);
  BOOL GetButton(int nIndex, TBBUTTON* pButton) const;
  void SetButton(int nIndex, const TBBUTTON* pButton);
  afx_msg BOOL OnHotItemChange(NMHDR* pNMHDR, LRESULT* pResult);
  DECLARE_MESSAGE_MAP()
};

// The status bar over the common status control. Panes come from a list of
// ids; each id other than ID_SEPARATOR needs a string resource, whose text
// gives the pane's width. The ID_SEPARATOR pane stretches over what is left.
class CStatusBar : public CControlBar {
  DECLARE_DYNAMIC(CStatusBar)
 public:
  CStatusBar();
  ~CStatusBar() override;

  BOOL Create(CWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, UINT nID = AFX_IDW_STATUS_BAR);
  BOOL CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle = 0, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM,
                UINT nID = AFX_IDW_STATUS_BAR);
  // FALSE when an id other than ID_SEPARATOR has no string.
  BOOL SetIndicators(const UINT* lpIDArray, int nIDCount);

  int GetCount() const { return (int)m_panes.size(); }
  int CommandToIndex(UINT nIDFind) const;
  UINT GetItemID(int nIndex) const;
  void GetItemRect(int nIndex, LPRECT lpRect) const;
  // Pane text as the control holds it.
  CString GetPaneText(int nIndex) const;
  void GetPaneText(int nIndex, CString& rString) const { rString = GetPaneText(nIndex); }
  BOOL SetPaneText(int nIndex, LPCTSTR lpszNewText, BOOL bUpdate = TRUE);
  void GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const;
  void SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth);
  UINT GetPaneStyle(int nIndex) const;
  void SetPaneStyle(int nIndex, UINT nStyle);

  CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
  // Only panes whose id some update handler claims change; the others keep
  // the text the program set.
  void OnUpdateCmdUI(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) override;

 protected:
  struct Pane {
    UINT nID;
    UINT nStyle;
    int cxText;
    CString strText;  // kept so a pane enabled again shows its text
  };
  std::vector<Pane> m_panes;
  // Recomputes the part edges and, when asked, sends every pane's text again.
  void UpdateAllPanes(BOOL bUpdateRects, BOOL bUpdateText);
  void SendPaneText(int nIndex);
  int TextWidth(const CString& text) const;
  afx_msg void OnSize(UINT nType, int cx, int cy);
  afx_msg LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnGetText(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnGetTextLength(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnSetFont(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
  friend class CStatusCmdUI;
};
#endif
