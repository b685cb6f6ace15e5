// Item-ID lists and the process-wide shell objects.
#include "foundation/ui/ShellPidl.h"

#include <mutex>

namespace {
std::mutex& ShellLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}
IShellFolder* g_desktop = nullptr;  // the cache holds no reference of its own
IMalloc* g_malloc = nullptr;
BOOL g_standIns = FALSE;

USHORT ItemCount(LPCITEMIDLIST item) {
  USHORT cb;
  memcpy(&cb, item, sizeof(cb));  // items are not aligned
  return cb;
}
}  // namespace

IShellFolder* AcquireDesktopFolder() {
  std::lock_guard<std::mutex> l(ShellLock());
  if (g_desktop) {
    g_desktop->AddRef();
    return g_desktop;
  }
  if (g_standIns) return nullptr;
  IShellFolder* folder = nullptr;
  if (FAILED(::SHGetDesktopFolder(&folder))) return nullptr;
  g_desktop = folder;
  return folder;
}

void ReleaseDesktopFolder(IShellFolder* folder) {
  if (!folder) return;
  std::lock_guard<std::mutex> l(ShellLock());
  if (folder->Release() == 0 && folder == g_desktop) g_desktop = nullptr;
}

IMalloc* AcquireShellMalloc() {
  std::lock_guard<std::mutex> l(ShellLock());
  if (g_malloc) {
    g_malloc->AddRef();
    return g_malloc;
  }
  if (g_standIns) return nullptr;
  IMalloc* allocator = nullptr;
  if (FAILED(::SHGetMalloc(&allocator))) return nullptr;
  g_malloc = allocator;
  return allocator;
}

void ReleaseShellMalloc(IMalloc* allocator) {
  if (!allocator) return;
  std::lock_guard<std::mutex> l(ShellLock());
  if (allocator->Release() == 0 && allocator == g_malloc) g_malloc = nullptr;
}

void SetShellObjectsForTest(IShellFolder* desktop, IMalloc* allocator) {
  std::lock_guard<std::mutex> l(ShellLock());
  g_desktop = desktop;
  g_malloc = allocator;
  g_standIns = desktop != nullptr || allocator != nullptr;
}

void* ShellAlloc(SIZE_T size) {
  IMalloc* allocator = AcquireShellMalloc();
  if (!allocator) return nullptr;
  void* block = allocator->Alloc(size);
  ReleaseShellMalloc(allocator);
  return block;
}

void ShellFree(void* block) {
  if (!block) return;
  IMalloc* allocator = AcquireShellMalloc();
  if (!allocator) return;
  allocator->Free(block);
  ReleaseShellMalloc(allocator);
}

UINT GetPidlSize(LPCITEMIDLIST pidl) {
  if (!pidl) return 0;
  UINT size = 0;
  const BYTE* p = reinterpret_cast<const BYTE*>(pidl);
  for (USHORT cb; (cb = ItemCount(reinterpret_cast<LPCITEMIDLIST>(p))) != 0; p += cb) size += cb;
  return size;
}

LPCITEMIDLIST GetNextPidlItem(LPCITEMIDLIST pidl) {
  if (!pidl) return nullptr;
  USHORT cb = ItemCount(pidl);
  if (cb == 0) return nullptr;
  auto next = reinterpret_cast<LPCITEMIDLIST>(reinterpret_cast<const BYTE*>(pidl) + cb);
  return ItemCount(next) == 0 ? nullptr : next;
}

LPCITEMIDLIST GetLastPidlItem(LPCITEMIDLIST pidl) {
  LPCITEMIDLIST last = pidl;
  for (LPCITEMIDLIST p = pidl; p; p = GetNextPidlItem(p)) last = p;
  return last;
}

LPITEMIDLIST ConcatPidls(LPCITEMIDLIST a, LPCITEMIDLIST b) {
  if (!a && !b) return nullptr;
  const UINT sizeA = GetPidlSize(a), sizeB = GetPidlSize(b);
  BYTE* out = static_cast<BYTE*>(ShellAlloc(sizeA + sizeB + sizeof(USHORT)));
  if (!out) return nullptr;
  if (sizeA) memcpy(out, a, sizeA);
  if (sizeB) memcpy(out + sizeA, b, sizeB);
  memset(out + sizeA + sizeB, 0, sizeof(USHORT));
  return reinterpret_cast<LPITEMIDLIST>(out);
}

LPITEMIDLIST CopyPidl(LPCITEMIDLIST pidl) { return ConcatPidls(pidl, nullptr); }

LPITEMIDLIST ParsePathToPidl(LPCWSTR path) {
  if (!path || !*path) return nullptr;
  IShellFolder* desktop = AcquireDesktopFolder();
  if (!desktop) return nullptr;
  // The call may write to the name; it gets a copy.
  CString copy(path);
  LPITEMIDLIST pidl = nullptr;
  ULONG eaten = 0;
  HRESULT hr = desktop->ParseDisplayName(nullptr, nullptr, copy.GetBuffer(), &eaten, &pidl, nullptr);
  copy.ReleaseBuffer();
  ReleaseDesktopFolder(desktop);
  if (FAILED(hr)) {
    FreePidl(pidl);
    return nullptr;
  }
  return pidl;
}

void FreePidl(LPITEMIDLIST pidl) { ShellFree(pidl); }

CString GetPidlPath(LPCITEMIDLIST pidl) {
  wchar_t path[MAX_PATH] = {0};
  if (!pidl || !::SHGetPathFromIDListW(pidl, path)) return CString();
  path[MAX_PATH - 1] = 0;
  return CString(path);
}

LPITEMIDLIST GetSpecialFolderPidl(int csidl) {
  LPITEMIDLIST pidl = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &pidl))) return nullptr;
  return pidl;
}

int CPidl::GetIconIndex(UINT extraFlags) const {
  if (!m_pidl) return -1;
  SHFILEINFOW info = {};
  if (!::SHGetFileInfoW(reinterpret_cast<LPCWSTR>(m_pidl), 0, &info, sizeof(info),
                        SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | extraFlags))
    return -1;
  return info.iIcon;
}

void CShellDisplayName::Clear() {
  if (m_strret.uType == STRRET_WSTR) {
    ShellFree(m_strret.pOleStr);
    m_strret.pOleStr = nullptr;
  }
  m_strret.uType = STRRET_CSTR;
  m_strret.cStr[0] = 0;
  m_pidl = nullptr;
}

STRRET* CShellDisplayName::Prepare(LPCITEMIDLIST relative) {
  Clear();
  m_pidl = relative;
  return &m_strret;
}

namespace {
CString FromAnsi(const char* text, size_t maxBytes) {
  size_t n = 0;
  while (n < maxBytes && text[n]) ++n;
  if (n == 0) return CString();
  int wide = ::MultiByteToWideChar(CP_ACP, 0, text, (int)n, nullptr, 0);
  CString out;
  wchar_t* buf = out.GetBufferSetLength(wide);
  ::MultiByteToWideChar(CP_ACP, 0, text, (int)n, buf, wide);
  out.ReleaseBufferSetLength(wide);
  return out;
}
}  // namespace

CString CShellDisplayName::GetText() const {
  switch (m_strret.uType) {
    case STRRET_WSTR:
      return m_strret.pOleStr ? CString(m_strret.pOleStr) : CString();
    case STRRET_OFFSET: {
      // The text lies inside the item; it must not be read past the item's end.
      const UINT size = GetPidlSize(m_pidl);
      if (!m_pidl || m_strret.uOffset >= size) return CString();
      return FromAnsi(reinterpret_cast<const char*>(m_pidl) + m_strret.uOffset, size - m_strret.uOffset);
    }
    case STRRET_CSTR:
      return FromAnsi(m_strret.cStr, sizeof(m_strret.cStr));
    default:
      return CString();
  }
}
