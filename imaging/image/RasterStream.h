// Byte streams that the image codecs read from and write to: a stdio file, or a
// block of memory that is either borrowed from the caller or owned and grown.
#pragma once

#include <cstdint>
#include <cstdio>

#include "afxplatform.h"

class CRasterStream {
 public:
  virtual ~CRasterStream() {}
  virtual bool Close() = 0;
  // Reads up to count elements of size bytes; returns the whole elements read.
  virtual UINT Read(void* buffer, UINT size, UINT count) = 0;
  virtual UINT Write(const void* buffer, UINT size, UINT count) = 0;
  // origin: 0 = start, 1 = current, 2 = end (SEEK_SET, SEEK_CUR, SEEK_END).
  virtual bool Seek(int32_t offset, int origin) = 0;
  virtual int32_t Tell() = 0;
  virtual int32_t GetSize() = 0;
  virtual bool Flush() = 0;
  virtual bool IsEof() = 0;
  virtual int32_t HasError() = 0;
  virtual bool PutByte(BYTE value);
  // The byte as 0..255, or -1 at the end.
  virtual int GetByte() = 0;
  virtual char* GetLine(char* buffer, int32_t size) = 0;
  virtual int32_t Scan(const char* format, void* output) = 0;
};

class CRasterFileStream : public CRasterStream {
 public:
  // A stream over a file that its creator opened keeps it open; the creator closes it.
  explicit CRasterFileStream(FILE* file = nullptr);
  ~CRasterFileStream() override;

  bool Close() override;
  UINT Read(void* buffer, UINT size, UINT count) override;
  UINT Write(const void* buffer, UINT size, UINT count) override;
  bool Seek(int32_t offset, int origin) override;
  int32_t Tell() override;
  int32_t GetSize() override;
  bool Flush() override;
  bool IsEof() override;
  int32_t HasError() override;
  bool PutByte(BYTE value) override;
  int GetByte() override;
  char* GetLine(char* buffer, int32_t size) override;
  int32_t Scan(const char* format, void* output) override;

 protected:
  FILE* m_file;
  bool m_owns;
};

class CRasterMemoryStream : public CRasterStream {
 public:
  // Without a buffer the stream owns what it allocates (C allocator); over a
  // caller's buffer it reads and writes in place and never frees or grows it.
  explicit CRasterMemoryStream(BYTE* buffer = nullptr, int32_t size = 0);
  ~CRasterMemoryStream() override;

  // Attaches a fresh own buffer; false when a buffer is already attached.
  bool Open();
  // With detach the caller takes the block and frees it with free().
  BYTE* GetBuffer(bool detach = false);

  bool Close() override;
  UINT Read(void* buffer, UINT size, UINT count) override;
  UINT Write(const void* buffer, UINT size, UINT count) override;
  bool Seek(int32_t offset, int origin) override;
  int32_t Tell() override;
  int32_t GetSize() override;
  bool Flush() override;
  bool IsEof() override;
  int32_t HasError() override;
  bool PutByte(BYTE value) override;
  int GetByte() override;
  char* GetLine(char* buffer, int32_t size) override;
  int32_t Scan(const char* format, void* output) override;

  int32_t GetCapacity() const { return m_capacity; }

 protected:
  // Makes room for needed bytes in an own buffer, in steps of 64 KiB.
  bool Grow(uint64_t needed);

  BYTE* m_buffer;
  int32_t m_size;
  bool m_owns;
  int32_t m_position;
  int32_t m_capacity;
  bool m_eof;
};
