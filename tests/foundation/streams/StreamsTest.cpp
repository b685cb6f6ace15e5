// Byte streams: the memory stream's growth, reads and seeks at the edges,
// 64-bit positions without wrap, failed allocations, the read buffer, and the
// file stream with long paths.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "foundation/Streams.h"

namespace {
// A memory stream whose allocations can be refused, and which records what
// was asked for.
class CStingyStream : public CMemoryStream {
 public:
  explicit CStingyStream(ULONGLONG step) : CMemoryStream(step) {}
  size_t m_nMaxAlloc = (size_t)-1;
  size_t m_nLastRequest = 0;
  void* Alloc(size_t n) override {
    m_nLastRequest = n;
    return n > m_nMaxAlloc ? nullptr : CMemoryStream::Alloc(n);
  }
  void* Realloc(void* p, size_t n) override {
    m_nLastRequest = n;
    return n > m_nMaxAlloc ? nullptr : CMemoryStream::Realloc(p, n);
  }
};

std::vector<BYTE> Bytes(size_t n, BYTE seed) {
  std::vector<BYTE> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = (BYTE)(seed + i * 13);
  return v;
}
}  // namespace

TEST(MemoryStream, GrowsByWholeStepsAndKeepsZerosBeyondTheData) {
  CMemoryStream s(1024);
  DWORD n = 99;
  const BYTE one = 0xAB;
  ASSERT_EQ(0, s.Write(&one, 1, &n));
  EXPECT_EQ(1u, n);
  EXPECT_EQ(1024u, s.GetCapacity());
  const std::vector<BYTE> more = Bytes(1024, 7);
  ASSERT_EQ(0, s.Write(more.data(), 1024, &n));
  EXPECT_EQ(2048u, s.GetCapacity());
  EXPECT_EQ(1025, s.GetSize());
  EXPECT_EQ(1025, s.GetPosition());
  EXPECT_EQ(0xAB, s.GetBuffer()[0]);
  EXPECT_EQ(0, memcmp(more.data(), s.GetBuffer() + 1, 1024));
  for (ULONGLONG i = 1025; i < s.GetCapacity(); ++i) ASSERT_EQ(0, s.GetBuffer()[i]) << i;

  // A write past a gap leaves the gap zero; shrinking clears what it gives up.
  ASSERT_EQ(3000, s.Seek(3000, 0));
  ASSERT_EQ(0, s.Write(&one, 1, &n));
  EXPECT_EQ(3001, s.GetSize());
  EXPECT_EQ(3072u, s.GetCapacity());
  for (int i = 1025; i < 3000; ++i) ASSERT_EQ(0, s.GetBuffer()[i]) << i;
  EXPECT_EQ(10, s.SetSize(10));
  EXPECT_EQ(10, s.GetPosition());
  EXPECT_EQ(5000, s.SetSize(5000));
  for (int i = 10; i < 5000; ++i) ASSERT_EQ(0, s.GetBuffer()[i]) << i;
  EXPECT_EQ(-1, s.SetSize(-1));

  // A zero-byte write and a step of 0 are refused.
  EXPECT_EQ(-1, s.Write(&one, 0, &n));
  EXPECT_EQ(0u, n);
  CMemoryStream fixed(0);
  EXPECT_EQ(-1, fixed.Write(&one, 1, &n));
  EXPECT_EQ(nullptr, fixed.GetBuffer());
}

TEST(MemoryStream, ReadsAndSeeksAtTheEdges) {
  CMemoryStream s(16);
  const std::vector<BYTE> data = Bytes(40, 1);
  DWORD n = 0;
  ASSERT_EQ(0, s.Write(data.data(), 40, &n));
  BYTE buf[64];
  ASSERT_EQ(5, s.Seek(5, 0));
  EXPECT_EQ(0, s.Read(buf, 10, &n));
  EXPECT_EQ(10u, n);
  EXPECT_EQ(0, memcmp(buf, data.data() + 5, 10));
  EXPECT_EQ(0, s.Read(buf, 64, &n));  // only what is left
  EXPECT_EQ(25u, n);
  EXPECT_EQ(0, s.Read(buf, 64, &n));  // exactly at the end: no data, not the end yet
  EXPECT_EQ(0u, n);
  EXPECT_EQ(45, s.Seek(5, 2));
  EXPECT_EQ(1, s.Read(buf, 64, &n));
  EXPECT_EQ(0u, n);
  EXPECT_EQ(41, s.Seek(41, 0));  // one past the end is past it too
  EXPECT_EQ(1, s.Read(buf, 64, &n));
  EXPECT_EQ(0u, n);
  EXPECT_EQ(-1, s.Read(buf, 0, &n));

  // A seek before the start fails and keeps the position.
  EXPECT_EQ(12, s.Seek(12, 0));
  EXPECT_EQ(-1, s.Seek(-1, 0));
  EXPECT_EQ(-1, s.Seek(-13, 1));
  EXPECT_EQ(-1, s.Seek(0, 3));
  EXPECT_EQ(12, s.GetPosition());
  EXPECT_EQ(2, s.Seek(-10, 1));

  // After Close the stream holds nothing and refuses writes.
  EXPECT_EQ(0, s.Close());
  EXPECT_EQ(0, s.GetSize());
  EXPECT_EQ(nullptr, s.GetBuffer());
  EXPECT_EQ(-1, s.Write(data.data(), 1, &n));
  EXPECT_EQ(-1, s.WriteAt(data.data(), 1, &n, 0, nullptr));
}

TEST(MemoryStream, PositionsBeyond4GiBDoNotWrap) {
  CStingyStream s(1024);
  s.m_nMaxAlloc = 1u << 20;
  const LONGLONG beyond = 5LL << 30;  // 5 GiB
  ASSERT_EQ(beyond, s.Seek(beyond, 0));
  EXPECT_EQ(beyond, s.GetPosition());
  DWORD n = 77;
  const BYTE b[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  // The stream asks for the whole 5 GiB and more (a 32-bit sum would ask for
  // 1 GiB), is refused, and reports it.
  EXPECT_EQ(-1, s.Write(b, 10, &n));
  EXPECT_EQ(0u, n);
  EXPECT_GE(s.m_nLastRequest, (size_t)beyond + 10);
  EXPECT_EQ(0, s.GetSize());
  EXPECT_EQ(beyond, s.GetPosition());

  // Sums that would pass the largest offset fail instead of wrapping.
  const LONGLONG top = std::numeric_limits<LONGLONG>::max();
  ASSERT_EQ(top, s.Seek(top, 0));
  EXPECT_EQ(-1, s.Seek(1, 1));
  EXPECT_EQ(-1, s.Write(b, 10, &n));
  EXPECT_EQ(top, s.GetPosition());
  EXPECT_EQ(-1, s.SetSize(top));
}

TEST(MemoryStream, FailedGrowthKeepsTheDataAndLimitCaps) {
  CStingyStream s(1024);
  const std::vector<BYTE> data = Bytes(1000, 3);
  DWORD n = 0;
  ASSERT_EQ(0, s.Write(data.data(), 1000, &n));
  s.m_nMaxAlloc = 1024;  // no more growth
  const std::vector<BYTE> more = Bytes(100, 9);
  EXPECT_EQ(-1, s.Write(more.data(), 100, &n));
  EXPECT_EQ(0u, n);
  EXPECT_EQ(1000, s.GetSize());
  EXPECT_EQ(1024u, s.GetCapacity());
  EXPECT_EQ(0, memcmp(data.data(), s.GetBuffer(), 1000));
  EXPECT_EQ(-1, s.SetSize(4096));
  EXPECT_EQ(1000, s.GetSize());

  CMemoryStream capped(1024);
  capped.SetLimit(1500);
  EXPECT_EQ(0, capped.Write(data.data(), 1000, &n));
  EXPECT_EQ(0, capped.Write(data.data(), 500, &n));
  EXPECT_EQ(-1, capped.Write(data.data(), 1, &n));
  EXPECT_EQ(1500, capped.GetSize());
  EXPECT_EQ(-1, capped.SetSize(1501));
}

TEST(ReadBuffer, AllocatesZeroedBlocks) {
  CReadBuffer buffer;
  buffer.m_bOwns = 1;
  EXPECT_EQ(0, buffer.Allocate(0));
  EXPECT_EQ(nullptr, buffer.m_pBlock);
  ASSERT_EQ(1, buffer.Allocate(4096));
  EXPECT_EQ(4096u, buffer.m_nSize);
  memset(buffer.m_pBlock, 0x5A, 4096);
  ASSERT_EQ(1, buffer.Allocate(100));
  for (int i = 0; i < 100; ++i) ASSERT_EQ(0, buffer.m_pBlock[i]);
  EXPECT_EQ(0, buffer.Allocate(0));  // keeps the block
  EXPECT_EQ(100u, buffer.m_nSize);
  buffer.Free();
  EXPECT_EQ(nullptr, buffer.m_pBlock);
  EXPECT_EQ(0u, buffer.m_nSize);
}

#ifdef _WIN32
namespace {
CString TempFolder() {
  wchar_t dir[MAX_PATH];
  ::GetTempPathW(MAX_PATH, dir);
  CString path;
  path.Format(L"%sstreams_%lu", dir, ::GetCurrentProcessId());
  return path;
}
}  // namespace

TEST(FileStream, LongPathsAndFailures) {
  // A 300-character path is opened in the long-path form.
  CString folder = TempFolder();
  ::CreateDirectoryW(folder, nullptr);
  CString deep = folder;
  while (deep.GetLength() <= 300) {
    deep += L"\\abcdefghijklmnopqrstuvwxyz0123456789";
    ASSERT_TRUE(::CreateDirectoryW(LongPathForm(deep), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
  }
  const CString path = deep + L"\\data.bin";
  ASSERT_GT(path.GetLength(), 300);
  EXPECT_EQ(0, LongPathForm(path).Find(L"\\\\?\\"));
  EXPECT_STREQ(L"C:\\short.txt", LongPathForm(L"C:\\short.txt"));

  const std::vector<BYTE> data = Bytes(5000, 11);
  {
    CFileStream f;
    ASSERT_EQ(0, f.Open(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
    DWORD n = 0;
    EXPECT_EQ(0, f.Write(data.data(), 5000, &n));
    EXPECT_EQ(5000u, n);
    EXPECT_EQ(5000, f.GetSize());
    EXPECT_EQ(5000, f.GetPosition());
    OVERLAPPED ov = {};
    const BYTE patch[3] = {0xDE, 0xAD, 0x01};
    EXPECT_EQ(0, f.WriteAt(patch, 3, &n, 4998, &ov));
    EXPECT_EQ(5001, f.GetSize());
    EXPECT_EQ(100, f.Seek(100, 0));
    BYTE buf[64];
    EXPECT_EQ(0, f.Read(buf, 64, &n));
    EXPECT_EQ(64u, n);
    EXPECT_EQ(0, memcmp(buf, data.data() + 100, 64));
    EXPECT_EQ(5001, f.Seek(0, 2));
    EXPECT_EQ(1, f.Read(buf, 64, &n));
    EXPECT_EQ(0u, n);
    EXPECT_EQ(2000, f.SetSize(2000));
    EXPECT_EQ(0, f.Flush());
    EXPECT_EQ(0, f.Close());
    EXPECT_EQ(1, f.Close());
  }
  WIN32_FILE_ATTRIBUTE_DATA info = {};
  ASSERT_TRUE(::GetFileAttributesExW(LongPathForm(path), GetFileExInfoStandard, &info));
  EXPECT_EQ(2000u, info.nFileSizeLow);

  // Never opened: Close says so; a failed open makes every call fail.
  CFileStream never;
  EXPECT_EQ(1, never.Close());
  DWORD n = 5;
  BYTE b = 0;
  EXPECT_EQ(-1, never.Read(&b, 1, &n));
  EXPECT_EQ(0u, n);
  CFileStream failed;
  EXPECT_EQ(-1, failed.Open(folder + L"\\missing\\x.bin", GENERIC_READ, 0, OPEN_EXISTING, 0));
  EXPECT_EQ(-1, failed.Write(&b, 1, &n));
  EXPECT_EQ(-1, failed.GetSize());
  EXPECT_EQ(-1, failed.Seek(0, 0));
  EXPECT_EQ(-1, failed.Flush());
  EXPECT_EQ(-1, failed.Close());

  ::DeleteFileW(LongPathForm(path));
  while (deep.GetLength() > folder.GetLength()) {
    ::RemoveDirectoryW(LongPathForm(deep));
    deep = deep.Left(deep.ReverseFind(L'\\'));
  }
  ::RemoveDirectoryW(folder);
}
#endif
