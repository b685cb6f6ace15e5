// Item-ID lists of the shell namespace and the process-wide shell objects
// (desktop folder, shell allocator) the folder tree works with.
#pragma once
#include "afxwin.h"

#include <shlobj.h>

// Process-wide shell objects, cached in one global each. Every call hands out
// a reference that the caller gives back with the matching release; when the
// last one goes the cache is emptied. NULL when the shell has none.
IShellFolder* AcquireDesktopFolder();
void ReleaseDesktopFolder(IShellFolder* folder);
IMalloc* AcquireShellMalloc();
void ReleaseShellMalloc(IMalloc* allocator);

// Test seam: stand-ins for the desktop folder and the allocator (the caller
// keeps a reference to each while they are in use). NULL restores the shell's own.
void SetShellObjectsForTest(IShellFolder* desktop, IMalloc* allocator);

// Memory of the shell allocator.
void* ShellAlloc(SIZE_T size);
void ShellFree(void* block);

// An item-ID list is a chain of items, each starting with its 16-bit byte
// count, ended by a count of 0.
UINT GetPidlSize(LPCITEMIDLIST pidl);                        // terminator excluded; 0 for NULL
LPCITEMIDLIST GetNextPidlItem(LPCITEMIDLIST pidl);           // NULL at the end or after the last item
LPCITEMIDLIST GetLastPidlItem(LPCITEMIDLIST pidl);           // the list itself when empty
LPITEMIDLIST ConcatPidls(LPCITEMIDLIST a, LPCITEMIDLIST b);  // new list a + b; NULL when both are NULL
LPITEMIDLIST CopyPidl(LPCITEMIDLIST pidl);
LPITEMIDLIST ParsePathToPidl(LPCWSTR path);  // through the desktop folder; NULL on failure
void FreePidl(LPITEMIDLIST pidl);
// The file-system path of an absolute list; empty when it has none.
CString GetPidlPath(LPCITEMIDLIST pidl);
// An absolute list of a special folder (CSIDL_...); NULL when there is none.
LPITEMIDLIST GetSpecialFolderPidl(int csidl);

// One owned item-ID list, freed with the shell allocator.
class CPidl {
 public:
  CPidl() {}
  explicit CPidl(LPITEMIDLIST owned) : m_pidl(owned) {}
  ~CPidl() { Free(); }
  CPidl(const CPidl&) = delete;
  CPidl& operator=(const CPidl&) = delete;

  operator LPITEMIDLIST() const { return m_pidl; }
  void Attach(LPITEMIDLIST owned) {
    Free();
    m_pidl = owned;
  }
  LPITEMIDLIST Detach() {
    LPITEMIDLIST p = m_pidl;
    m_pidl = nullptr;
    return p;
  }
  void Free() {
    FreePidl(m_pidl);
    m_pidl = nullptr;
  }
  BOOL IsEmpty() const { return GetPidlSize(m_pidl) == 0; }
  // Index in the system image list (small icons); extra flags such as SHGFI_OPENICON. -1 on failure.
  int GetIconIndex(UINT extraFlags = 0) const;

  LPITEMIDLIST m_pidl = nullptr;
};

// A display name as the shell hands it out (STRRET), with the relative item
// it was asked for, which the offset form points into.
class CShellDisplayName {
 public:
  CShellDisplayName() {
    m_strret.uType = STRRET_CSTR;
    m_strret.cStr[0] = 0;
  }
  ~CShellDisplayName() { Clear(); }
  CShellDisplayName(const CShellDisplayName&) = delete;
  CShellDisplayName& operator=(const CShellDisplayName&) = delete;

  // Frees a wide string the shell allocated.
  void Clear();
  // Ready for IShellFolder::GetDisplayNameOf of the given relative item.
  STRRET* Prepare(LPCITEMIDLIST relative);
  CString GetText() const;

  STRRET m_strret;
  LPCITEMIDLIST m_pidl = nullptr;
};
