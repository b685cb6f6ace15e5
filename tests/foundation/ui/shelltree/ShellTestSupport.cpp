#include "tests/foundation/ui/shelltree/ShellTestSupport.h"

#include <winternl.h>

namespace {
// Wine keeps its GDI objects in a table like the one Windows names in the
// process environment block; an entry with a type is a live object.
struct GdiHandleEntry {
  UINT64 object;
  ULONG owner;
  USHORT unique;
  UCHAR type;
  UCHAR flags;
  UINT64 user;
};
static_assert(sizeof(GdiHandleEntry) == 24, "entry layout");
const size_t kGdiTableOffset = 0xF8;  // PEB.GdiSharedHandleTable on x64
const int kGdiTableEntries = 0x10000;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"  // the compiler's view of the thread block read
PPEB CurrentPeb() { return NtCurrentTeb()->ProcessEnvironmentBlock; }
#pragma GCC diagnostic pop

int CountGdiFromTable() {
  PPEB peb = CurrentPeb();
  GdiHandleEntry* table = *reinterpret_cast<GdiHandleEntry**>(reinterpret_cast<BYTE*>(peb) + kGdiTableOffset);
  if (!table) return -1;
  int n = 0;
  for (int i = 0; i < kGdiTableEntries; ++i)
    if (table[i].type) ++n;
  return n;
}

// User handles are small numbers (the high word only tells generations
// apart, and Wine accepts any): every one that names a window of this
// process, a menu or an icon or cursor counts.
int CountUserByProbing() {
  const DWORD pid = ::GetCurrentProcessId();
  int n = 0;
  for (UINT_PTR i = 0x20; i < 0x10000; i += 2) {
    HANDLE h = reinterpret_cast<HANDLE>(i);
    if (::IsWindow(static_cast<HWND>(h))) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(static_cast<HWND>(h), &owner);
      if (owner == pid) ++n;
      continue;
    }
    if (::IsMenu(static_cast<HMENU>(h))) {
      ++n;
      continue;
    }
    ICONINFO info;
    if (::GetIconInfo(static_cast<HICON>(h), &info)) {
      if (info.hbmMask) ::DeleteObject(info.hbmMask);
      if (info.hbmColor) ::DeleteObject(info.hbmColor);
      ++n;
    }
  }
  return n;
}
}  // namespace

int CountGdiObjects() {
  DWORD n = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  return n ? (int)n : CountGdiFromTable();
}

int CountUserObjects() {
  DWORD n = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
  return n ? (int)n : CountUserByProbing();
}

// ---------------------------------------------------------------------------

CTestFolder::CTestFolder(LPCTSTR name) {
  wchar_t temp[MAX_PATH] = {0};
  ::GetTempPathW(MAX_PATH, temp);
  m_root.Format(L"%sshelltree-%lu-%s", temp, ::GetCurrentProcessId(), name);
  RemoveTree(m_root);
  ::CreateDirectoryW(m_root, nullptr);
}

CTestFolder::~CTestFolder() { RemoveTree(m_root); }

CString CTestFolder::Path(LPCTSTR relative) const {
  if (!relative || !*relative) return m_root;
  return m_root + L"\\" + relative;
}

BOOL CTestFolder::AddFolder(LPCTSTR relative) const { return ::CreateDirectoryW(Path(relative), nullptr); }

BOOL CTestFolder::AddFile(LPCTSTR relative) const {
  HANDLE h = ::CreateFileW(Path(relative), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FALSE;
  DWORD written = 0;
  ::WriteFile(h, "x", 1, &written, nullptr);
  ::CloseHandle(h);
  return TRUE;
}

// ---------------------------------------------------------------------------

BOOL CHostWnd::CreateHost(int width, int height, BOOL visible) {
  LPCTSTR cls = AfxRegisterWndClass(0, ::LoadCursorW(nullptr, IDC_ARROW), (HBRUSH)(COLOR_WINDOW + 1));
  DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | (visible ? WS_VISIBLE : 0);
  // The right half of the screen: other window tests use the left one.
  return CreateEx(0, cls, L"Shell tree test", style, 820, 20, width, height, nullptr, nullptr);
}

LRESULT CHostWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND from = reinterpret_cast<HWND>(wParam);
  if (message == WM_CONTEXTMENU && from != m_hWnd && from != m_relaying && ::IsChild(m_hWnd, from)) {
    ++m_contextMenusRelayed;
    HWND saved = m_relaying;
    m_relaying = from;  // a child that does not handle it passes it up again: no second relay
    LRESULT r = ::SendMessageW(from, WM_CONTEXTMENU, wParam, lParam);
    m_relaying = saved;
    return r;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

std::vector<CString> ChildTexts(CTreeCtrl& tree, HTREEITEM parent) {
  std::vector<CString> texts;
  for (HTREEITEM child = tree.GetChildItem(parent); child; child = tree.GetNextSiblingItem(child))
    texts.push_back(tree.GetItemText(child));
  return texts;
}
