// A tree control that fills a node when it is first expanded. While a node is
// filled it shows a "Loading..." child, keeps a picture of the client area on
// screen, and a thread of its own draws the progress (driven by a multimedia
// timer and by progress changes).
//
// The fill does not run inside the tree's expansion notification: the
// expansion leaves a "Loading..." child and posts a message, and the fill runs
// when that message arrives (or when CompleteLoading is called). While it runs,
// messages sent to the thread's windows by other threads are answered, so the
// program stays responsive to them; the tree may even be destroyed meanwhile.
// The window's calls from other threads (m_pWindowCalls) are held during a
// fill and run after it.
#pragma once
#include "afxwin.h"

#include <atomic>
#include <vector>

class CLoadingTreeCtrl : public CTreeCtrl {
  DECLARE_DYNAMIC(CLoadingTreeCtrl)
 public:
  CLoadingTreeCtrl();
  ~CLoadingTreeCtrl() override;

  // The "Loading..." item is shown (UI thread).
  virtual void OnLoadingStart(HTREEITEM hLoadingItem) {}
  // Runs on the animation thread, on a timer tick (bTick) or after a progress
  // change. It paints through client DCs and must send no message to the tree.
  virtual void DrawLoadingStep(BOOL bTick, int nTotal, int nDone) {}
  // The fill has ended (UI thread, after the animation thread has ended).
  virtual void OnLoadingEnd() {}
  // TRUE: the node's children are dropped when it collapses and filled again on expansion.
  virtual BOOL ReloadOnExpand(HTREEITEM hNode) { return FALSE; }
  // Inserts the node's children; FALSE when the fill failed (the node stays expandable).
  virtual BOOL PopulateItem(HTREEITEM hNode) = 0;

  // Progress of the running fill; total 0 = unknown. StepProgress also answers
  // the messages sent meanwhile and returns FALSE when the fill must stop.
  void SetProgress(int nTotal, int nDone);
  BOOL StepProgress(int n = 1);
  int GetProgress(int* pTotal = nullptr) const;
  void SetAnimationPeriod(UINT ms) { m_nPeriod = ms; }
  UINT GetAnimationPeriod() const { return m_nPeriod; }

  // A small-icon square ending 3 pixels left of the item's text.
  BOOL GetIconRect(HTREEITEM hItem, LPRECT rect) const;
  // Background colour for painting (white for the default colour).
  COLORREF GetBackgroundColor() const;
  void DeleteChildren(HTREEITEM hNode);

  // Fills every node whose expansion waits for its fill; TRUE when one was filled.
  BOOL CompleteLoading();
  BOOL IsFilling() const { return m_bFilling; }
  BOOL IsLoadingPending() const { return !m_pending.empty(); }
  HTREEITEM GetLoadingItem() const { return m_hLoadingItem; }
  HTREEITEM GetFillingNode() const { return m_hFillNode; }
  const CString& GetLoadingText() const { return m_strLoading; }

 protected:
  // Starts the fill of a node being expanded (the "Loading..." child).
  void BeginLoading(HTREEITEM hNode);
  void EndLoading(HTREEITEM hNode, HTREEITEM hLoading);
  void StartAnimation();
  void StopAnimation();
  static DWORD WINAPI AnimationThreadProc(LPVOID param);
  void TakeSnapshot();
  void ReleaseSnapshot();
  void PaintIconPlace(HTREEITEM hItem);
  void NoteItemDeleted(HTREEITEM hItem);

  void PreSubclassWindow() override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
  afx_msg void OnItemExpanding(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnItemExpanded(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg BOOL OnEraseBkgnd(CDC* pDC);
  afx_msg void OnDestroy();
  afx_msg LRESULT OnCompleteLoadingMsg(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

  HANDLE m_hAnimThread = nullptr;
  HANDLE m_hTickEvent = nullptr;      // auto-reset, set by the timer
  HANDLE m_hProgressEvent = nullptr;  // auto-reset, set on progress
  std::atomic<int> m_bStop{0};
  BOOL m_bSnapshotShown = FALSE;
  CBitmap m_bmpSnapshot;
  UINT m_nTimerId = 0;
  UINT m_nPeriod = 0;
  CString m_strLoading;
  HICON m_hOverlayIcon = nullptr;  // drawn at the "Loading..." item's icon, else the background
  BOOL m_bOverlay = FALSE;         // show the "Loading..." item before the fill
  std::atomic<int> m_nProgressDone{0};
  std::atomic<int> m_nProgressTotal{0};
  HTREEITEM m_hLoadingItem = nullptr;
  HTREEITEM m_hFillNode = nullptr;

  struct PendingFill {
    HTREEITEM hNode;
    HTREEITEM hLoading;
  };
  std::vector<PendingFill> m_pending;  // expanded nodes waiting for their fill
  BOOL m_bFilling = FALSE;
  BOOL m_bFillAborted = FALSE;  // the node or the window went during the fill
  BOOL m_bWindowGone = FALSE;
  BOOL m_bAnimating = FALSE;
  BOOL m_bCompletionPosted = FALSE;
};
