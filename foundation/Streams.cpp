#include "foundation/Streams.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {
constexpr ULONGLONG kMaxOffset = (ULONGLONG)std::numeric_limits<LONGLONG>::max();
}  // namespace

int CStream::WriteAt(const void*, DWORD, DWORD* written, LONGLONG, _OVERLAPPED*) {
  if (written) *written = 0;
  return -1;
}

// ---------------------------------------------------------------------------

CMemoryStream::~CMemoryStream() {
  if (m_pBuffer) Close();
}

void* CMemoryStream::Alloc(size_t count) { return malloc(count); }
void* CMemoryStream::Realloc(void* block, size_t count) { return realloc(block, count); }
void CMemoryStream::ZeroBuffer() {
  if (m_pBuffer) memset(m_pBuffer, 0, (size_t)m_nCapacity);
}
void CMemoryStream::CopyMemory(void* dest, const void* src, size_t count) { memmove(dest, src, count); }
void CMemoryStream::Free(void* block) { free(block); }

int CMemoryStream::Reserve(ULONGLONG need) {
  if (need <= m_nCapacity) return 1;
  if (m_nGrowStep == 0) return -1;
  if (m_nLimit && need > m_nLimit) return -1;
  const ULONGLONG steps = (need - m_nCapacity + m_nGrowStep - 1) / m_nGrowStep;
  if (steps > (kMaxOffset - m_nCapacity) / m_nGrowStep) return -1;
  const ULONGLONG capacity = m_nCapacity + steps * m_nGrowStep;
  if (capacity > (ULONGLONG)std::numeric_limits<size_t>::max()) return -1;
  BYTE* block;
  if (!m_pBuffer) {
    block = static_cast<BYTE*>(Alloc((size_t)capacity));
    if (!block) return -1;
    memset(block, 0, (size_t)capacity);
  } else {
    block = static_cast<BYTE*>(Realloc(m_pBuffer, (size_t)capacity));
    if (!block) return -1;  // the old buffer stays as it was
    memset(block + m_nCapacity, 0, (size_t)(capacity - m_nCapacity));
  }
  m_pBuffer = block;
  m_nCapacity = capacity;
  return 0;
}

int CMemoryStream::Write(const void* buffer, DWORD count, DWORD* written) {
  if (written) *written = 0;
  if (count == 0 || !buffer) return -1;
  if (m_nPosition > kMaxOffset - count) return -1;
  const ULONGLONG end = m_nPosition + count;
  if (m_nLimit && end > m_nLimit) return -1;
  if (end > m_nCapacity && Reserve(end) < 0) return -1;
  CopyMemory(m_pBuffer + m_nPosition, buffer, count);
  m_nPosition = end;
  if (m_nPosition > m_nSize) m_nSize = m_nPosition;
  if (written) *written = count;
  return 0;
}

int CMemoryStream::Read(void* buffer, DWORD count, DWORD* got) {
  if (got) *got = 0;
  if (count == 0 || !buffer) return -1;
  if (m_nPosition > m_nSize) return 1;
  ULONGLONG n = m_nSize - m_nPosition;
  if (n > count) n = count;
  if (n) CopyMemory(buffer, m_pBuffer + m_nPosition, (size_t)n);
  m_nPosition += n;
  if (got) *got = (DWORD)n;
  return 0;
}

LONGLONG CMemoryStream::Seek(LONGLONG offset, int origin) {
  ULONGLONG base;
  switch (origin) {
    case 0:
      base = 0;
      break;
    case 1:
      base = m_nPosition;
      break;
    case 2:
      base = m_nSize;
      break;
    default:
      return -1;
  }
  // base never exceeds the largest signed offset, so the sum is checked in signed terms.
  const LONGLONG start = (LONGLONG)base;
  if (offset > 0 && start > std::numeric_limits<LONGLONG>::max() - offset) return -1;
  const LONGLONG target = start + offset;
  if (target < 0) return -1;
  m_nPosition = (ULONGLONG)target;
  return target;
}

LONGLONG CMemoryStream::SetSize(LONGLONG size) {
  if (size < 0) return -1;
  const ULONGLONG n = (ULONGLONG)size;
  if (m_nLimit && n > m_nLimit) return -1;
  if (n > m_nCapacity && Reserve(n) < 0) return -1;
  // Bytes given up are cleared, so everything beyond the data stays zero.
  if (n < m_nSize) memset(m_pBuffer + n, 0, (size_t)(m_nSize - n));
  if (m_nPosition > n) m_nPosition = n;
  m_nSize = n;
  return (LONGLONG)m_nSize;
}

int CMemoryStream::WriteAt(const void*, DWORD, DWORD* written, LONGLONG, _OVERLAPPED*) {
  if (written) *written = 0;
  return -1;
}

int CMemoryStream::Close() {
  m_nPosition = m_nCapacity = m_nSize = 0;
  m_nGrowStep = 0;
  if (m_pBuffer) Free(m_pBuffer);
  m_pBuffer = nullptr;
  return 0;
}

// ---------------------------------------------------------------------------

CReadBuffer::~CReadBuffer() {
  if (m_bOwns) Free();
}

int CReadBuffer::Allocate(DWORD n) {
  if (n == 0) return 0;
  Free();
  m_pBlock = static_cast<BYTE*>(malloc(n));
  if (!m_pBlock) return -1;
  memset(m_pBlock, 0, n);
  m_nSize = n;
  return 1;
}

void CReadBuffer::Free() {
  free(m_pBlock);
  m_pBlock = nullptr;
  m_nSize = 0;
}

// ---------------------------------------------------------------------------
#ifdef _WIN32

CString LongPathForm(LPCTSTR path) {
  CString p(path ? path : L"");
  if (p.GetLength() > MAX_PATH && p.Left(4) != L"\\\\?\\") {
    if (p.Left(2) == L"\\\\")
      p = L"\\\\?\\UNC\\" + p.Mid(2);  // \\server\share\... -> \\?\UNC\server\share\...
    else
      p = L"\\\\?\\" + p;
  }
  return p;
}

CFileStream::~CFileStream() { Close(); }

int CFileStream::Open(LPCTSTR path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
  Close();
  m_hFile = ::CreateFileW(LongPathForm(path), access, share, nullptr, disposition, flags, nullptr);
  return m_hFile == INVALID_HANDLE_VALUE ? -1 : 0;
}

int CFileStream::Close() {
  if (!m_hFile) return 1;
  if (m_hFile == INVALID_HANDLE_VALUE || !::CloseHandle(m_hFile)) return -1;
  m_hFile = nullptr;
  return 0;
}

LONGLONG CFileStream::GetSize() {
  if (!Usable()) return -1;
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(m_hFile, &size)) return -1;
  return size.QuadPart;
}

LONGLONG CFileStream::SetSize(LONGLONG size) {
  if (Seek(size, 0) != size) return -1;
  if (!::SetEndOfFile(m_hFile)) return -1;
  return GetSize();
}

LONGLONG CFileStream::GetPosition() { return Seek(0, 1); }

LONGLONG CFileStream::Seek(LONGLONG offset, int origin) {
  if (!Usable() || origin < 0 || origin > 2) return -1;
  static const DWORD methods[3] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  LARGE_INTEGER distance, result;
  distance.QuadPart = offset;
  if (!::SetFilePointerEx(m_hFile, distance, &result, methods[origin])) return -1;
  return result.QuadPart;
}

int CFileStream::Read(void* buffer, DWORD count, DWORD* got) {
  DWORD n = 0;
  if (got) *got = 0;
  if (!Usable()) return -1;
  if (!::ReadFile(m_hFile, buffer, count, &n, nullptr)) return -1;
  if (got) *got = n;
  return n == 0 ? 1 : 0;
}

int CFileStream::Write(const void* buffer, DWORD count, DWORD* written) {
  DWORD n = 0;
  if (written) *written = 0;
  if (!Usable()) return -1;
  if (!::WriteFile(m_hFile, buffer, count, &n, nullptr)) return -1;
  if (written) *written = n;
  return 0;
}

int CFileStream::WriteAt(const void* buffer, DWORD count, DWORD* written, LONGLONG offset, _OVERLAPPED* overlapped) {
  DWORD n = 0;
  if (written) *written = 0;
  if (!Usable()) return -1;
  OVERLAPPED own = {};
  if (!overlapped) overlapped = &own;
  overlapped->Offset = (DWORD)((ULONGLONG)offset & 0xFFFFFFFFu);
  overlapped->OffsetHigh = (DWORD)((ULONGLONG)offset >> 32);
  if (!::WriteFile(m_hFile, buffer, count, &n, overlapped)) return -1;
  if (written) *written = n;
  return 0;
}

int CFileStream::Flush() {
  if (!Usable()) return -1;
  return ::FlushFileBuffers(m_hFile) ? 0 : -1;
}
#endif
