// The folder tree on the real shell of the Wine prefix: the desktop and its
// drives, folders made by the test, path lookup, a folder deleted after it
// was listed, a folder of 2,000 subfolders (the "Loading..." child, the
// animation, answers to sent messages while it loads), handles over many
// expand/collapse cycles, and one menu per right-click.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "foundation/ui/FolderTreeCtrl.h"
#include "tests/foundation/ui/shelltree/ShellTestSupport.h"
#include "tests/support/UiTestSupport.h"

namespace {
const UINT WM_PROBE = WM_APP + 41;

class CProbeTree : public CFolderTreeCtrl {
 public:
  BOOL m_bReload = FALSE;
  // Responsiveness probe: the fill waits (answering nothing) until a message
  // sent by another thread is queued, then fills.
  BOOL m_bProbe = FALSE;
  HANDLE m_hFillStarted = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> m_answeredWhileFilling{-1};
  std::atomic<int> m_doneWhenAnswered{-1};
  // Picture of a fill: shown progress, then two shots after timer ticks.
  BOOL m_bHoldForShots = FALSE;
  std::atomic<int> m_ticks{0};
  HANDLE m_hTicked = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  CWindowShot m_shot1, m_shot2;
  CRect m_loadingText;
  CString m_loadingLabel;
  int m_loadingStarts = 0;
  int m_menus = 0;
  BOOL m_rightClickDone = FALSE;

  ~CProbeTree() override {
    ::CloseHandle(m_hFillStarted);
    ::CloseHandle(m_hTicked);
  }
  BOOL ReloadOnExpand(HTREEITEM) override { return m_bReload; }
  void OnLoadingStart(HTREEITEM item) override {
    ++m_loadingStarts;
    m_loadingLabel = GetItemText(item);
    if (!GetItemRect(item, &m_loadingText, TRUE)) m_loadingText.SetRectEmpty();
    CFolderTreeCtrl::OnLoadingStart(item);
  }
  void DrawLoadingStep(BOOL tick, int total, int done) override {
    CFolderTreeCtrl::DrawLoadingStep(tick, total, done);
    if (tick) {
      ++m_ticks;
      ::SetEvent(m_hTicked);
    }
  }
  BOOL WaitTicks(int count) {
    while (m_ticks < count)
      if (::WaitForSingleObject(m_hTicked, 10000) != WAIT_OBJECT_0) return FALSE;  // hang guard only
    return TRUE;
  }
  BOOL PopulateItem(HTREEITEM node) override {
    if (m_bProbe) {
      m_bProbe = FALSE;
      ::SetEvent(m_hFillStarted);
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10000, QS_SENDMESSAGE);
    }
    if (m_bHoldForShots) {
      m_bHoldForShots = FALSE;
      SetProgress(0, 12);  // as if twelve folders had come
      if (WaitTicks(m_ticks + 3)) m_shot1 = CaptureWindow(m_hWnd);
      if (WaitTicks(m_ticks + 1)) m_shot2 = CaptureWindow(m_hWnd);
      SetProgress(1, 0);
    }
    return CFolderTreeCtrl::PopulateItem(node);
  }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_PROBE) {
      m_answeredWhileFilling = IsFilling() ? 1 : 0;
      m_doneWhenAnswered = GetProgress();
      return 1;
    }
    if (message == WM_ENTERMENULOOP) ++m_menus;
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU) ::EndMenu();  // close each menu once it is up
    LRESULT r = CFolderTreeCtrl::WindowProc(message, wParam, lParam);
    if (message == WM_RBUTTONDOWN) m_rightClickDone = TRUE;
    return r;
  }
};

class ShellTreeWineTest : public ::testing::Test {
 protected:
  CComScope com;
  CHostWnd host;
  std::unique_ptr<CProbeTree> tree;
  void SetUp() override {
    ASSERT_TRUE(host.CreateHost(420, 520, TRUE));
    tree = std::make_unique<CProbeTree>();
    CRect rc;
    host.GetClientRect(&rc);
    ASSERT_TRUE(tree->Create(WS_CHILD | WS_VISIBLE | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_SHOWSELALWAYS, rc,
                             &host, 1017));
    PumpPending();  // the posted image list
    tree->FillRoot(nullptr, 0);
  }
  void TearDown() override {
    tree.reset();
    host.DestroyWindow();
  }
  void ExpandNow(HTREEITEM node) {
    tree->Expand(node, TVE_EXPAND);
    tree->CompleteLoading();
  }
  HTREEITEM Child(HTREEITEM parent, LPCWSTR text) { return FindChildItem(*tree, parent, text); }
  CString PathOf(HTREEITEM node) {
    CShellTreeItem* data = tree->GetShellItem(node);
    return data ? GetPidlPath(data->m_pidl) : CString();
  }
  int ChildrenFlag(HTREEITEM node) { return ChildrenFlagOf(*tree, node); }
};

// The shell's own listing of a folder's subfolders, in CompareIDs order.
std::vector<CString> ShellListing(IShellFolder* folder) {
  std::vector<LPITEMIDLIST> items;
  IEnumIDList* e = nullptr;
  if (SUCCEEDED(folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &e)) && e) {
    LPITEMIDLIST item;
    ULONG got;
    while (e->Next(1, &item, &got) == S_OK) items.push_back(item);
    e->Release();
  }
  std::stable_sort(items.begin(), items.end(), [&](LPITEMIDLIST a, LPITEMIDLIST b) {
    return (short)HRESULT_CODE(folder->CompareIDs(0, a, b)) < 0;
  });
  std::vector<CString> names;
  for (LPITEMIDLIST item : items) {
    STRRET sr;
    wchar_t buf[MAX_PATH] = {0};
    if (SUCCEEDED(folder->GetDisplayNameOf(item, SHGDN_INFOLDER | 0x2000, &sr))) StrRetToBufW(&sr, item, buf, MAX_PATH);
    names.push_back(CString(buf).Trim());
    ::CoTaskMemFree(item);
  }
  return names;
}
}  // namespace

TEST_F(ShellTreeWineTest, ListsTheDesktopsChildrenAndTheDrives) {
  HTREEITEM root = tree->GetRootItem();
  ASSERT_NE(nullptr, root);
  ExpandNow(root);
  IShellFolder* desktop = nullptr;
  ASSERT_TRUE(SUCCEEDED(::SHGetDesktopFolder(&desktop)));
  std::vector<CString> expected = ShellListing(desktop);
  desktop->Release();
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(expected, ChildTexts(*tree, root));

  CPidl drivesPidl(GetSpecialFolderPidl(CSIDL_DRIVES));
  HTREEITEM drives = tree->FindChildItem(root, drivesPidl);
  ASSERT_NE(nullptr, drives);
  ExpandNow(drives);
  HTREEITEM c = nullptr;
  for (HTREEITEM d = tree->GetChildItem(drives); d; d = tree->GetNextSiblingItem(d))
    if (PathOf(d).CompareNoCase(L"C:\\") == 0) c = d;
  ASSERT_NE(nullptr, c);
  CString label = tree->GetItemText(c);
  EXPECT_NE(-1, label.Find(L"C:"));
  EXPECT_EQ(label, CString(label).Trim());  // no leading space
  int image = -1, selected = -1;
  tree->GetItemImage(c, image, selected);  // asked from the shell when needed
  EXPECT_GE(image, 0);
}

TEST_F(ShellTreeWineTest, ExpandingARealFolderShowsExactlyItsSubfoldersInTheShellsOrder) {
  CTestFolder folder(L"order");
  ASSERT_TRUE(folder.AddFolder(L"gamma"));
  ASSERT_TRUE(folder.AddFolder(L"Alpha"));
  ASSERT_TRUE(folder.AddFolder(L"beta"));
  ASSERT_TRUE(folder.AddFolder(L"beta\\inner"));
  ASSERT_TRUE(folder.AddFile(L"a.txt"));
  ASSERT_TRUE(folder.AddFile(L"b.txt"));

  ASSERT_TRUE(tree->SelectPath(folder.Path()));
  HTREEITEM node = tree->GetSelectedItem();
  EXPECT_TRUE(AfxComparePath(folder.Path(), tree->GetSelectedPath()));
  EXPECT_TRUE(tree->GetItemState(node, TVIS_EXPANDED) & TVIS_EXPANDED);

  std::vector<CString> shown = ChildTexts(*tree, node);
  std::vector<CString> wanted = {L"Alpha", L"beta", L"gamma"};  // folders only, the shell's order
  EXPECT_EQ(wanted, shown);
  IShellFolder* desktop = AcquireDesktopFolder();
  CPidl pidl(ParsePathToPidl(folder.Path()));
  IShellFolder* shellFolder = nullptr;
  ASSERT_TRUE(SUCCEEDED(desktop->BindToObject(pidl, nullptr, IID_IShellFolder, (void**)&shellFolder)));
  EXPECT_EQ(ShellListing(shellFolder), shown);
  shellFolder->Release();
  ReleaseDesktopFolder(desktop);

  // A folder with a subfolder keeps its button; an empty one on a fixed disk loses it.
  HTREEITEM beta = Child(node, L"beta");
  HTREEITEM gamma = Child(node, L"gamma");
  ExpandNow(beta);
  EXPECT_EQ(std::vector<CString>{L"inner"}, ChildTexts(*tree, beta));
  ExpandNow(gamma);
  EXPECT_EQ(nullptr, tree->GetChildItem(gamma));
  EXPECT_EQ(0, ChildrenFlag(gamma));
}

TEST_F(ShellTreeWineTest, PathLookupSelectsItsNodeWhateverTheSlashes) {
  CTestFolder folder(L"lookup");
  ASSERT_TRUE(folder.AddFolder(L"one"));
  ASSERT_TRUE(folder.AddFolder(L"one\\two"));
  const CString plain = folder.Path(L"one\\two");
  ASSERT_TRUE(tree->SelectPath(plain));
  HTREEITEM node = tree->GetSelectedItem();
  EXPECT_EQ(CString(L"two"), tree->GetItemText(node));
  EXPECT_TRUE(AfxComparePath(plain, tree->GetSelectedPath()));

  tree->SelectItem(tree->GetRootItem());
  CString slashes = plain;
  slashes.Replace(L'\\', L'/');
  EXPECT_EQ(node, tree->FindPathItem(slashes + L"/"));
  EXPECT_EQ(node, tree->FindPathItem(plain + L"\\\\"));
  EXPECT_EQ(tree->GetRootItem(), tree->GetSelectedItem());  // lookup alone selects nothing

  EXPECT_FALSE(tree->SelectPath(folder.Path(L"one\\missing")));
  EXPECT_EQ(tree->GetRootItem(), tree->GetSelectedItem());
}

TEST_F(ShellTreeWineTest, PathLookupFromAnotherThreadDrivesTheTreeByMessages) {
  CTestFolder folder(L"thread");
  ASSERT_TRUE(folder.AddFolder(L"deep"));
  ASSERT_TRUE(folder.AddFolder(L"deep\\er"));
  std::atomic<int> result{-1};
  const CString path = folder.Path(L"deep\\er");
  CProbeTree* t = tree.get();
  std::thread worker([&] {
    CComScope workerCom;
    result = t->SelectPath(path) ? 1 : 0;
  });
  // This thread serves the posted steps while it waits.
  EXPECT_TRUE(PumpUntil([&] { return result != -1; }));
  worker.join();
  EXPECT_EQ(1, result);
  EXPECT_TRUE(AfxComparePath(path, tree->GetSelectedPath()));
}

TEST_F(ShellTreeWineTest, AFolderDeletedAfterItWasListedIsHandledWhenExpanded) {
  CTestFolder folder(L"deleted");
  ASSERT_TRUE(folder.AddFolder(L"victim"));
  ASSERT_TRUE(folder.AddFolder(L"victim\\child"));
  ASSERT_TRUE(folder.AddFolder(L"stays"));
  ASSERT_TRUE(tree->SelectPath(folder.Path()));
  HTREEITEM node = tree->GetSelectedItem();
  HTREEITEM victim = Child(node, L"victim");
  ASSERT_NE(nullptr, victim);
  EXPECT_EQ(1, ChildrenFlag(victim));
  ASSERT_TRUE(RemoveTree(folder.Path(L"victim")));
  const size_t items = tree->GetItemDataCount();
  ExpandNow(victim);
  EXPECT_EQ(nullptr, tree->GetChildItem(victim));
  EXPECT_EQ(items, tree->GetItemDataCount());
  EXPECT_EQ(0, ChildrenFlag(victim));  // nothing there any more
  // The tree goes on working.
  HTREEITEM stays = Child(node, L"stays");
  ExpandNow(stays);
  EXPECT_TRUE(tree->SelectPath(folder.Path(L"stays")));
}

TEST_F(ShellTreeWineTest, TwoThousandSubfoldersShowLoadingAndTheAnimationAndAnswerSentMessages) {
  CTestFolder folder(L"big");
  for (int i = 0; i < 2000; ++i) {
    CString name;
    name.Format(L"f%04d", (i * 7919) % 2000);  // made out of order
    ASSERT_TRUE(folder.AddFolder(name));
  }
  // Only the big folder is left to fill.
  ASSERT_TRUE(tree->SelectPath(folder.Path()));
  HTREEITEM big = tree->GetSelectedItem();
  tree->Expand(big, TVE_COLLAPSE | TVE_COLLAPSERESET);
  TVITEMW item = {};
  item.mask = TVIF_CHILDREN;
  item.hItem = big;
  item.cChildren = 1;
  tree->SetItem(&item);
  tree->m_bReload = TRUE;
  tree->SelectItem(big);
  tree->SetFocus();

  // A message sent from another thread while the folder loads.
  tree->m_bProbe = TRUE;
  std::atomic<LONGLONG> latencyUs{-1};
  HWND hTree = tree->m_hWnd;
  HANDLE started = tree->m_hFillStarted;
  std::thread prober([&] {
    if (::WaitForSingleObject(started, 20000) != WAIT_OBJECT_0) return;
    LARGE_INTEGER f, a, b;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&a);
    DWORD_PTR answer = 0;  // the time-out only keeps a tree that never answers from hanging the test
    ::SendMessageTimeoutW(hTree, WM_PROBE, 0, 0, SMTO_NORMAL, 20000, &answer);
    ::QueryPerformanceCounter(&b);
    latencyUs = (b.QuadPart - a.QuadPart) * 1000000 / f.QuadPart;
  });
  const int startsBefore = tree->m_loadingStarts;
  tree->SendMessage(WM_KEYDOWN, VK_ADD, 0);
  tree->CompleteLoading();
  prober.join();
  EXPECT_EQ(startsBefore + 1, tree->m_loadingStarts);
  EXPECT_EQ(CString(L"Loading..."), tree->m_loadingLabel);
  EXPECT_FALSE(tree->m_loadingText.IsRectEmpty());  // the "Loading..." child was on screen
  EXPECT_EQ(1, tree->m_answeredWhileFilling);       // answered while the folder was still loading
  EXPECT_GE(tree->m_doneWhenAnswered, 0);
  EXPECT_LE(tree->m_doneWhenAnswered, 2);  // after at most two of the 2,000 folders
  printf("sent message answered after %lld us, with %d of 2000 folders in\n", (long long)latencyUs.load(),
         tree->m_doneWhenAnswered.load());
  std::vector<CString> shown = ChildTexts(*tree, big);
  ASSERT_EQ(2000u, shown.size());
  EXPECT_EQ(CString(L"f0000"), shown.front());
  EXPECT_EQ(CString(L"f1999"), shown.back());
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end(),
                             [](const CString& a, const CString& b) { return a.CompareNoCase(b) < 0; }));

  // Loaded again, held while the timer animates the cursor: two pictures.
  tree->SendMessage(WM_KEYDOWN, VK_SUBTRACT, 0);
  ASSERT_EQ(nullptr, tree->GetChildItem(big));
  tree->m_bHoldForShots = TRUE;
  tree->SendMessage(WM_KEYDOWN, VK_ADD, 0);
  tree->CompleteLoading();
  ASSERT_FALSE(tree->m_shot1.IsEmpty());
  ASSERT_FALSE(tree->m_shot2.IsEmpty());
  tree->m_shot1.SavePng(L"shelltree-loading-1.png");
  tree->m_shot2.SavePng(L"shelltree-loading-2.png");
  EXPECT_EQ(2000u, ChildTexts(*tree, big).size());

  const CRect text = tree->m_loadingText;
  const CRect icon = tree->GetBusyIconRect();
  const CRect bar = tree->GetBarRect();
  // "Loading..." is written: dark pixels in its text rectangle.
  int dark = 0;
  for (int y = text.top; y < text.bottom; ++y)
    for (int x = text.left; x < text.right; ++x)
      if (GetRValue(tree->m_shot1.At(x, y)) < 100) ++dark;
  EXPECT_GT(dark, 20);
  // The bar: 12 folders of an unknown total fill most of its 50 pixels with its colour.
  const int filled = CProgressShellTreeCtrl::CalcFilledWidth(0, 12);
  EXPECT_EQ(48, filled);
  const int midY = (bar.top + bar.bottom) / 2;
  EXPECT_TRUE(ColorNear(RGB(0, 128, 255), tree->m_shot1.At(bar.left + 2, midY), 8));
  EXPECT_TRUE(ColorNear(RGB(0, 128, 255), tree->m_shot1.At(bar.left + 2 + filled - 1, midY), 8));
  EXPECT_FALSE(ColorNear(RGB(0, 128, 255), tree->m_shot1.At(bar.left + 2 + filled, midY), 40));
  // The busy cursor is drawn where the item's icon would be, and it moves.
  int blue = 0, changed = 0;
  for (int y = icon.top; y < icon.bottom; ++y)
    for (int x = icon.left; x < icon.right; ++x) {
      COLORREF c = tree->m_shot1.At(x, y);
      if (GetBValue(c) > GetRValue(c) + 60) ++blue;
      if (c != tree->m_shot2.At(x, y)) ++changed;
    }
  EXPECT_GT(blue, 4);
  EXPECT_GT(changed, 4);
}

TEST_F(ShellTreeWineTest, NoHandlesLeakOverAHundredExpandCollapseCycles) {
  CTestFolder folder(L"cycles");
  for (LPCWSTR name : {L"a", L"b", L"c", L"d", L"e"}) ASSERT_TRUE(folder.AddFolder(name));
  ASSERT_TRUE(folder.AddFolder(L"a\\x"));
  tree->m_bReload = TRUE;
  ASSERT_TRUE(tree->SelectPath(folder.Path()));
  HTREEITEM node = tree->GetSelectedItem();
  tree->SetFocus();
  auto cycle = [&] {
    tree->SendMessage(WM_KEYDOWN, VK_SUBTRACT, 0);
    tree->SendMessage(WM_KEYDOWN, VK_ADD, 0);
    tree->CompleteLoading();
    PumpPending();  // paints, like a user's tree
  };
  for (int i = 0; i < 3; ++i) cycle();  // caches of the shell and of Wine fill up first
  const int gdi = CountGdiObjects(), user = CountUserObjects();
  DWORD handles = 0;
  const BOOL haveHandles = ::GetProcessHandleCount(::GetCurrentProcess(), &handles) && handles > 0;
  const int starts = tree->m_loadingStarts;
  for (int i = 0; i < 100; ++i) cycle();
  EXPECT_EQ(starts + 100, tree->m_loadingStarts);  // every cycle loaded the folder again
  EXPECT_EQ(5u, ChildTexts(*tree, node).size());
  EXPECT_EQ(gdi, CountGdiObjects());
  EXPECT_EQ(user, CountUserObjects());
  DWORD after = 0;
  if (haveHandles && ::GetProcessHandleCount(::GetCurrentProcess(), &after)) {
    EXPECT_EQ(handles, after);
  }
  printf("gdi %d, user %d, kernel handles %lu (counted: %s)\n", gdi, user, (unsigned long)handles,
         haveHandles ? "yes" : "no");
}

TEST_F(ShellTreeWineTest, OneRightClickOpensOneMenuAndTheKeyboardOneToo) {
  CTestFolder folder(L"rclick");
  ASSERT_TRUE(folder.AddFolder(L"target"));
  ASSERT_TRUE(tree->SelectPath(folder.Path(L"target")));
  HTREEITEM target = tree->GetSelectedItem();
  PumpPending();
  CRect rc;
  ASSERT_TRUE(tree->GetItemRect(target, &rc, TRUE));
  CPoint at = rc.CenterPoint();
  CPoint screen = at;
  tree->ClientToScreen(&screen);
  ::SetCursorPos(screen.x, screen.y);
  tree->m_menus = 0;
  tree->m_rightClickDone = FALSE;
  tree->PostMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
  tree->PostMessage(WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  ASSERT_TRUE(PumpUntil([&] { return tree->m_rightClickDone == TRUE; }));
  PumpPending();
  EXPECT_EQ(1, tree->m_menus);
  EXPECT_EQ(0, host.m_contextMenusRelayed);  // the tree asked for no second menu

  tree->m_menus = 0;
  tree->SendMessage(WM_CONTEXTMENU, (WPARAM)tree->m_hWnd, MAKELPARAM(-1, -1));  // Shift+F10
  EXPECT_EQ(1, tree->m_menus);
}
