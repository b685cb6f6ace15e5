// Byte streams that downloaded bodies are written into: a file stream over a
// system file handle, a growable memory stream and the buffer of one network
// read. Results: 0 success, -1 failure, and for Read 1 at the end of the data.
#pragma once
#include "afx.h"

// The memory stream names an operation like this windows.h macro.
#undef CopyMemory

struct _OVERLAPPED;

class CStream {
 public:
  virtual ~CStream() {}
  virtual int Close() = 0;
  virtual LONGLONG GetSize() = 0;
  virtual LONGLONG SetSize(LONGLONG size) = 0;
  virtual LONGLONG GetPosition() = 0;
  // origin 0: from the beginning, 1: from the position, 2: from the end.
  virtual LONGLONG Seek(LONGLONG offset, int origin) = 0;
  virtual int Read(void* buffer, DWORD count, DWORD* got) = 0;
  virtual int WriteAt(const void* buffer, DWORD count, DWORD* written, LONGLONG offset, _OVERLAPPED* overlapped);
  virtual int Write(const void* buffer, DWORD count, DWORD* written) = 0;
  virtual int Flush() { return 0; }
};

// Growable in-memory stream. Sizes and positions are 64-bit and every sum is
// checked, so nothing wraps; an optional limit caps the data size.
class CMemoryStream : public CStream {
 public:
  explicit CMemoryStream(ULONGLONG growStep = 1024) : m_nGrowStep(growStep) {}
  ~CMemoryStream() override;

  int Close() override;
  LONGLONG GetSize() override { return (LONGLONG)m_nSize; }
  LONGLONG SetSize(LONGLONG size) override;
  LONGLONG GetPosition() override { return (LONGLONG)m_nPosition; }
  LONGLONG Seek(LONGLONG offset, int origin) override;
  int Read(void* buffer, DWORD count, DWORD* got) override;
  int WriteAt(const void* buffer, DWORD count, DWORD* written, LONGLONG offset, _OVERLAPPED* overlapped) override;
  int Write(const void* buffer, DWORD count, DWORD* written) override;
  int Flush() override { return 0; }

  // Memory operations; a derived stream may replace them.
  virtual void* Alloc(size_t count);
  virtual void* Realloc(void* block, size_t count);
  virtual void ZeroBuffer();
  virtual void CopyMemory(void* dest, const void* src, size_t count);
  virtual void Free(void* block);
  // Makes room for need bytes: 1 when there is room already, 0 after growing,
  // -1 when it cannot grow (no grow step, above the limit, no memory).
  virtual int Reserve(ULONGLONG need);

  // The data; zero bytes follow it up to the capacity.
  const BYTE* GetBuffer() const { return m_pBuffer; }
  ULONGLONG GetCapacity() const { return m_nCapacity; }
  // Largest size the stream may reach; 0 = no limit but the address space.
  void SetLimit(ULONGLONG limit) { m_nLimit = limit; }
  ULONGLONG GetLimit() const { return m_nLimit; }

 protected:
  ULONGLONG m_nGrowStep;
  ULONGLONG m_nPosition = 0;
  ULONGLONG m_nCapacity = 0;
  ULONGLONG m_nSize = 0;
  BYTE* m_pBuffer = nullptr;
  ULONGLONG m_nLimit = 0;
};

// The block one network read goes into.
class CReadBuffer {
 public:
  virtual ~CReadBuffer();
  // 0 for n = 0 (nothing changes); 1 with a zeroed block of n bytes; -1 when
  // the block cannot be allocated (it is then null and the size 0).
  int Allocate(DWORD n);
  void Free();

  int m_bOwns = 0;
  BYTE* m_pBlock = nullptr;
  DWORD m_nSize = 0;
};

#ifdef _WIN32
#include "afxwin.h"

class CFileStream : public CStream {
 public:
  CFileStream() {}
  ~CFileStream() override;
  // Paths longer than MAX_PATH are opened in the "\\?\" form. 0, or -1.
  int Open(LPCTSTR path, DWORD access, DWORD share, DWORD disposition, DWORD flags);

  int Close() override;
  LONGLONG GetSize() override;
  LONGLONG SetSize(LONGLONG size) override;
  LONGLONG GetPosition() override;
  LONGLONG Seek(LONGLONG offset, int origin) override;
  int Read(void* buffer, DWORD count, DWORD* got) override;
  int WriteAt(const void* buffer, DWORD count, DWORD* written, LONGLONG offset, _OVERLAPPED* overlapped) override;
  int Write(const void* buffer, DWORD count, DWORD* written) override;
  int Flush() override;

  HANDLE GetHandle() const { return m_hFile; }

 protected:
  HANDLE m_hFile = nullptr;
  bool Usable() const { return m_hFile && m_hFile != INVALID_HANDLE_VALUE; }
};

// The path as CreateFileW needs it: the long-path form beyond MAX_PATH characters.
CString LongPathForm(LPCTSTR path);
#endif
