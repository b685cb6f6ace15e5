// The folder tree over a stand-in namespace (no shell): fill on expansion in
// the namespace's order, buttons after a fill, and that every folder,
// enumerator and item-ID list is given back exactly once, also when nodes go
// or the tree is destroyed while a folder loads. Also the item-ID list helpers
// and the width of the indeterminate progress bar.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

#include "foundation/ui/FolderTreeCtrl.h"
#include "tests/foundation/ui/shelltree/ShellStandIns.h"
#include "tests/foundation/ui/shelltree/ShellTestSupport.h"
#include "tests/support/UiTestSupport.h"

namespace {
// Records what the animation thread and the end of a fill saw.
class CWatchedTree : public CFolderTreeCtrl {
 public:
  BOOL m_bReload = FALSE;
  std::atomic<int> m_drawsWithoutWindow{0};
  int m_endsWithWindow = 0;
  int m_endsWithoutWindow = 0;
  HWND m_hWndSeen = nullptr;
  BOOL ReloadOnExpand(HTREEITEM) override { return m_bReload; }
  void OnLoadingStart(HTREEITEM item) override {
    m_hWndSeen = m_hWnd;
    CFolderTreeCtrl::OnLoadingStart(item);
  }
  void DrawLoadingStep(BOOL tick, int total, int done) override {
    if (!::IsWindow(m_hWndSeen)) ++m_drawsWithoutWindow;
    CFolderTreeCtrl::DrawLoadingStep(tick, total, done);
  }
  void OnLoadingEnd() override {
    // The animation thread has ended here; the window must still be there.
    if (::IsWindow(m_hWndSeen))
      ++m_endsWithWindow;
    else
      ++m_endsWithoutWindow;
    CFolderTreeCtrl::OnLoadingEnd();
  }
  BOOL m_rightClickDone = FALSE;
  CWindowCalls& Calls() { return m_calls; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU) ::EndMenu();  // close each menu once it is up
    LRESULT r = CFolderTreeCtrl::WindowProc(message, wParam, lParam);
    if (message == WM_RBUTTONDOWN) m_rightClickDone = TRUE;
    return r;
  }
};

class ShellTreeStandInTest : public ::testing::Test {
 protected:
  CComScope com;
  CStandInNamespace ns;
  CHostWnd host;
  std::unique_ptr<CWatchedTree> tree;
  int zulu = 0, alpha = 0, mike = 0, file = 0, inner0 = 0, inner1 = 0, deep = 0;

  void SetUp() override {
    // Enumerated in this order; CompareIDs orders by rank: Zulu, Mike, alpha, file.
    zulu = ns.Add(0, L"Zulu", 1);
    alpha = ns.Add(0, L"alpha", 3);  // says it has subfolders, but is empty
    mike = ns.Add(0, L"Mike", 2);
    file = ns.Add(0, L"file.txt", 4, SFGAO_CANCOPY);
    inner1 = ns.Add(zulu, L"inner1", 2);
    inner0 = ns.Add(zulu, L"inner0", 1);
    deep = ns.Add(inner0, L"deep", 1, SFGAO_FOLDER);
    ns.Install();
    ASSERT_TRUE(host.CreateHost(300, 300, FALSE));
    tree = std::make_unique<CWatchedTree>();
    ASSERT_TRUE(
        tree->Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES, CRect(0, 0, 280, 280), &host, 1017));
    tree->FillRoot(nullptr, 0);
  }
  void TearDown() override {
    tree.reset();
    host.DestroyWindow();
    ns.Uninstall();
  }
  HTREEITEM Root() { return tree->GetRootItem(); }
  HTREEITEM Child(HTREEITEM parent, LPCWSTR text) { return FindChildItem(*tree, parent, text); }
  void ExpandNow(HTREEITEM node) {
    tree->Expand(node, TVE_EXPAND);
    tree->CompleteLoading();
  }
  int ChildrenFlag(HTREEITEM node) { return ChildrenFlagOf(*tree, node); }
  // Everything the tree took is back: only the namespace's own desktop reference remains.
  void ExpectAllReleased() {
    EXPECT_EQ(1, ns.LiveObjects(CStandInObject::KindFolder));
    EXPECT_EQ(1, ns.m_pDesktop->m_refs);
    EXPECT_EQ(0, ns.LiveObjects(CStandInObject::KindEnum));
    EXPECT_EQ(0u, ns.m_malloc.LiveBlocks());
    EXPECT_EQ(0, ns.m_overReleases);
    EXPECT_EQ(1, ns.OutstandingReferences());
  }
};
}  // namespace

TEST_F(ShellTreeStandInTest, FillsOnExpansionInTheNamespacesOrderAndOnlyOnce) {
  HTREEITEM root = Root();
  ASSERT_NE(nullptr, root);
  EXPECT_EQ(CString(L"Stand-in Desktop"), tree->GetItemText(root));
  EXPECT_EQ(1, ChildrenFlag(root));
  EXPECT_EQ(0, ns.m_enumCalls);

  tree->Expand(root, TVE_EXPAND);
  // The expansion leaves the "Loading..." child; the fill comes with the posted message.
  EXPECT_TRUE(tree->IsLoadingPending());
  std::vector<CString> loading = ChildTexts(*tree, root);
  ASSERT_EQ(1u, loading.size());
  EXPECT_EQ(CString(L"Loading..."), loading[0]);
  ASSERT_TRUE(PumpUntil([&] { return !tree->IsLoadingPending(); }));

  std::vector<CString> shown = ChildTexts(*tree, root);
  ASSERT_EQ(3u, shown.size());  // folders only, in CompareIDs order (not by name)
  EXPECT_EQ(CString(L"Zulu"), shown[0]);
  EXPECT_EQ(CString(L"Mike"), shown[1]);
  EXPECT_EQ(CString(L"alpha"), shown[2]);
  EXPECT_EQ(1, ns.m_enumCalls);
  int total = 0;
  EXPECT_EQ(1, tree->GetProgress(&total));  // a finished fill ends at 1 of 1
  EXPECT_EQ(1, total);

  tree->Expand(root, TVE_COLLAPSE);
  ExpandNow(root);
  EXPECT_EQ(3u, ChildTexts(*tree, root).size());  // collapsing keeps the children
  EXPECT_EQ(1, ns.m_enumCalls);                   // and they are not filled again

  HTREEITEM z = Child(root, L"Zulu");
  ExpandNow(z);
  std::vector<CString> inner = ChildTexts(*tree, z);
  ASSERT_EQ(2u, inner.size());
  EXPECT_EQ(CString(L"inner0"), inner[0]);
  EXPECT_EQ(CString(L"inner1"), inner[1]);
}

TEST_F(ShellTreeStandInTest, TheMenuActsOnTheFolderClickedAndTheTreeFollowsItsCommand) {
  CStandInContextMenu* menu = ns.Make<CStandInContextMenu>(TRUE);
  ns.m_pMenuForItems = menu;
  host.ShowWindow(SW_SHOW);
  HTREEITEM root = Root();
  ExpandNow(root);
  HTREEITEM zuluItem = Child(root, L"Zulu"), mikeItem = Child(root, L"Mike");
  ExpandNow(zuluItem);
  tree->SelectItem(zuluItem);

  // Right-click on Mike while Zulu is selected.
  CRect rc;
  ASSERT_TRUE(tree->GetItemRect(mikeItem, &rc, TRUE));
  CPoint at = rc.CenterPoint(), screen = at;
  tree->ClientToScreen(&screen);
  ::SetCursorPos(screen.x, screen.y);
  tree->PostMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
  tree->PostMessage(WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  ASSERT_TRUE(PumpUntil([&] { return tree->m_rightClickDone == TRUE; }));
  PumpPending();
  EXPECT_EQ(std::vector<int>({mike}), ns.m_menuNodes);
  EXPECT_EQ(zuluItem, tree->GetSelectedItem());

  // Its command (a delete, say) takes Mike away and makes a new folder beside it.
  const int november = ns.Add(0, L"November", 5);
  std::vector<int>& desktop = ns.m_nodes[0].children;
  desktop.pop_back();  // not there before the command
  menu->m_onInvoke = [&] {
    desktop.erase(std::find(desktop.begin(), desktop.end(), mike));
    desktop.push_back(november);
  };
  tree->SendMessage(WM_COMMAND, CFolderTreeCtrl::kFirstShellCommand);
  EXPECT_EQ(1u, menu->m_invokedVerbs.size());
  EXPECT_EQ(std::vector<CString>({L"Zulu", L"alpha", L"November"}), ChildTexts(*tree, root));
  // The folders still there are the same nodes, children and all.
  EXPECT_EQ(zuluItem, Child(root, L"Zulu"));
  EXPECT_EQ(2u, ChildTexts(*tree, zuluItem).size());
  EXPECT_EQ(nullptr, tree->GetMenuItem());
}

TEST_F(ShellTreeStandInTest, EmptyFolderLosesItsButtonAndAFailedFillKeepsIt) {
  ExpandNow(Root());
  HTREEITEM a = Child(Root(), L"alpha");
  ASSERT_NE(nullptr, a);
  EXPECT_EQ(1, ChildrenFlag(a));  // the namespace says it has subfolders
  ExpandNow(a);
  EXPECT_EQ(nullptr, tree->GetChildItem(a));
  EXPECT_EQ(0, ChildrenFlag(a));  // not a file-system folder: an empty fill counts

  ns.m_nodes[(size_t)mike].bindFails = TRUE;
  HTREEITEM m = Child(Root(), L"Mike");
  ExpandNow(m);
  EXPECT_EQ(nullptr, tree->GetChildItem(m));
  EXPECT_EQ(1, ChildrenFlag(m));  // still expandable
  EXPECT_FALSE(tree->GetItemState(m, TVIS_EXPANDED) & TVIS_EXPANDED);

  ns.m_nodes[(size_t)mike].bindFails = FALSE;
  ns.Add(mike, L"late", 1);
  const int calls = ns.m_enumCalls;
  ExpandNow(m);  // tried again
  EXPECT_EQ(calls + 1, ns.m_enumCalls);
  std::vector<CString> shown = ChildTexts(*tree, m);
  ASSERT_EQ(1u, shown.size());
  EXPECT_EQ(CString(L"late"), shown[0]);
}

TEST_F(ShellTreeStandInTest, ReleasesEverythingAsNodesAreDeletedCollapsedAndTheTreeGoes) {
  ExpandNow(Root());
  HTREEITEM z = Child(Root(), L"Zulu");
  ExpandNow(z);
  ExpandNow(Child(z, L"inner0"));
  ExpandNow(Child(Root(), L"alpha"));
  EXPECT_EQ(7u, tree->GetItemDataCount());  // desktop, 3 top folders, 2 inner folders, deep
  const size_t blocks = ns.m_malloc.LiveBlocks();
  const int folders = ns.LiveObjects(CStandInObject::KindFolder);

  // Deleting a node frees it and everything below it.
  HTREEITEM inner0Node = Child(z, L"inner0");
  tree->DeleteItem(inner0Node);
  EXPECT_EQ(5u, tree->GetItemDataCount());
  EXPECT_EQ(blocks - 2, ns.m_malloc.LiveBlocks());
  EXPECT_EQ(folders - 1, ns.LiveObjects(CStandInObject::KindFolder));  // inner0's folder was only held by "deep"

  // Collapsing with reset drops the children.
  tree->Expand(z, TVE_COLLAPSE | TVE_COLLAPSERESET);
  EXPECT_EQ(nullptr, tree->GetChildItem(z));
  EXPECT_EQ(4u, tree->GetItemDataCount());
  EXPECT_EQ(0, ns.LiveObjects(CStandInObject::KindEnum));

  tree.reset();
  ExpectAllReleased();
}

TEST_F(ShellTreeStandInTest, DestroyedWhileLoadingReleasesEverythingAndTheAnimationEndsFirst) {
  ExpandNow(Root());
  HTREEITEM z = Child(Root(), L"Zulu");
  ns.m_onNext = [&](int node, ULONG index) {
    if (node == zulu && index == 1) tree->DestroyWindow();
  };
  tree->m_endsWithWindow = 0;
  tree->Expand(z, TVE_EXPAND);
  tree->CompleteLoading();
  EXPECT_EQ(nullptr, tree->m_hWnd);
  EXPECT_FALSE(tree->IsFilling());
  EXPECT_EQ(0u, tree->GetItemDataCount());
  EXPECT_EQ(1, tree->m_endsWithWindow);  // the animation stopped while the window was still there
  EXPECT_EQ(0, tree->m_endsWithoutWindow);
  EXPECT_EQ(0, tree->m_drawsWithoutWindow);
  // The window's items are gone; the tree object still holds the desktop.
  EXPECT_EQ(0, ns.LiveObjects(CStandInObject::KindEnum));
  EXPECT_EQ(0u, ns.m_malloc.LiveBlocks());
  EXPECT_EQ(2, ns.OutstandingReferences());
  tree.reset();
  ExpectAllReleased();
}

// A loop inside the fill takes posted messages, the wake of a worker's call
// among them: the call runs after the fill.
TEST_F(ShellTreeStandInTest, AWorkersCallWaitsUntilTheFillEnds) {
  ExpandNow(Root());
  HTREEITEM z = Child(Root(), L"Zulu");
  std::atomic<int> ranWhileFilling{-1};
  std::thread worker;
  ns.m_onNext = [&](int node, ULONG index) {
    if (node != zulu || index != 0) return;
    worker = std::thread([&] { tree->Calls().Send([&] { ranWhileFilling = tree->IsFilling() ? 1 : 0; }); });
    PumpUntil([&] { return ranWhileFilling != -1; }, 300);
  };
  tree->Expand(z, TVE_EXPAND);
  tree->CompleteLoading();
  ns.m_onNext = nullptr;
  const bool ran = PumpUntil([&] { return ranWhileFilling != -1; });
  if (!ran) tree->DestroyWindow();  // lets the worker go
  if (worker.joinable()) worker.join();
  ASSERT_TRUE(ran);
  EXPECT_EQ(0, ranWhileFilling);
  EXPECT_EQ(2u, ChildTexts(*tree, z).size());
}

TEST_F(ShellTreeStandInTest, NodeDeletedWhileLoadingStopsItsFillAndTheTreeGoesOn) {
  ExpandNow(Root());
  HTREEITEM z = Child(Root(), L"Zulu");
  ns.m_onNext = [&](int node, ULONG index) {
    if (node == zulu && index == 1) tree->DeleteItem(z);
  };
  tree->Expand(z, TVE_EXPAND);
  tree->CompleteLoading();
  ns.m_onNext = nullptr;
  EXPECT_FALSE(tree->IsFilling());
  EXPECT_EQ(nullptr, Child(Root(), L"Zulu"));
  EXPECT_EQ(3u, tree->GetItemDataCount());  // desktop, Mike, alpha
  EXPECT_EQ(0, ns.LiveObjects(CStandInObject::KindEnum));
  // The tree still fills other nodes.
  HTREEITEM m = Child(Root(), L"Mike");
  ns.Add(mike, L"next", 1);
  ExpandNow(m);
  EXPECT_EQ(1u, ChildTexts(*tree, m).size());
  tree.reset();
  ExpectAllReleased();
}

TEST_F(ShellTreeStandInTest, ReloadingNodesGiveBackEverythingOverManyCycles) {
  tree->m_bReload = TRUE;
  ExpandNow(Root());
  HTREEITEM z = Child(Root(), L"Zulu");
  tree->SelectItem(z);
  tree->SetFocus();
  const int enums = ns.m_enumCalls;
  for (int i = 0; i < 100; ++i) {
    // The keyboard expands and collapses as the user does (the tree notifies every time).
    tree->SendMessage(WM_KEYDOWN, VK_ADD, 0);
    tree->CompleteLoading();
    ASSERT_EQ(2u, ChildTexts(*tree, z).size()) << "cycle " << i;
    tree->SendMessage(WM_KEYDOWN, VK_SUBTRACT, 0);
    ASSERT_EQ(nullptr, tree->GetChildItem(z)) << "cycle " << i;
    ASSERT_EQ(1, ChildrenFlag(z)) << "cycle " << i;
  }
  EXPECT_EQ(enums + 100, ns.m_enumCalls);
  EXPECT_EQ(4u, tree->GetItemDataCount());
  EXPECT_EQ(0, ns.LiveObjects(CStandInObject::KindEnum));
  tree.reset();
  ExpectAllReleased();
}

// ---------------------------------------------------------------------------
// Display names.

namespace {
const BYTE kTwoItems[] = {4, 0, 'a', 'b', 5, 0, 'c', 'd', 'e', 0, 0};
LPCITEMIDLIST Items(const BYTE* bytes) { return reinterpret_cast<LPCITEMIDLIST>(bytes); }
}  // namespace

TEST(ShellPidlTest, DisplayNamesInEveryForm) {
  CComScope com;
  CStandInNamespace ns;
  ns.Install();
  CShellDisplayName name;
  // Wide text, freed with the shell allocator when cleared.
  STRRET* sr = name.Prepare(Items(kTwoItems));
  sr->uType = STRRET_WSTR;
  sr->pOleStr = static_cast<LPWSTR>(ShellAlloc(8 * sizeof(wchar_t)));
  lstrcpyW(sr->pOleStr, L"W\x00e9ite");
  EXPECT_EQ(CString(L"W\x00e9ite"), name.GetText());
  EXPECT_EQ(1u, ns.m_malloc.LiveBlocks());
  name.Clear();
  EXPECT_EQ(0u, ns.m_malloc.LiveBlocks());

  // ANSI text inside the item, at an offset.
  const BYTE withText[] = {8, 0, 'x', 'N', 'a', 'm', 'e', 0, 0, 0};
  sr = name.Prepare(Items(withText));
  sr->uType = STRRET_OFFSET;
  sr->uOffset = 3;
  EXPECT_EQ(CString(L"Name"), name.GetText());
  sr->uOffset = 40;  // beyond the item: nothing is read
  EXPECT_EQ(CString(), name.GetText());

  sr = name.Prepare(nullptr);
  sr->uType = STRRET_CSTR;
  lstrcpyA(sr->cStr, "Plain");
  EXPECT_EQ(CString(L"Plain"), name.GetText());
}

TEST(ProgressBarWidthTest, KnownCountsAndTheUnknownTotal) {
  EXPECT_EQ(0, CProgressShellTreeCtrl::CalcFilledWidth(10, 0));
  EXPECT_EQ(25, CProgressShellTreeCtrl::CalcFilledWidth(10, 5));
  EXPECT_EQ(16, CProgressShellTreeCtrl::CalcFilledWidth(3, 1));
  EXPECT_EQ(50, CProgressShellTreeCtrl::CalcFilledWidth(10, 10));
  EXPECT_EQ(50, CProgressShellTreeCtrl::CalcFilledWidth(10, 25));  // never past the bar
  EXPECT_EQ(50, CProgressShellTreeCtrl::CalcFilledWidth(1, 1));

  // Unknown total: 50 * (1 + 0.2 d - 0.5 ln(e^2 + e^(0.4 d) - 1)), truncated.
  EXPECT_EQ(0, CProgressShellTreeCtrl::CalcFilledWidth(0, 0));
  EXPECT_EQ(8, CProgressShellTreeCtrl::CalcFilledWidth(0, 1));
  EXPECT_EQ(47, CProgressShellTreeCtrl::CalcFilledWidth(0, 10));
  int last = 0;
  for (int d = 0; d <= 5000; ++d) {
    int w = CProgressShellTreeCtrl::CalcFilledWidth(0, d);
    ASSERT_GE(w, last) << d;
    ASSERT_LE(w, 50) << d;
    last = w;
  }
  // Thousands of folders: e^(0.4 d) would overflow; the bar is simply full.
  EXPECT_EQ(50, CProgressShellTreeCtrl::CalcFilledWidth(0, 2000));
  EXPECT_EQ(50, CProgressShellTreeCtrl::CalcFilledWidth(0, 1 << 30));
}
