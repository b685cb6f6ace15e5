#include "imaging/image/RasterStream.h"

#include <climits>
#include <cstdlib>
#include <cstring>

bool CRasterStream::PutByte(BYTE value) { return Write(&value, 1, 1) == 1; }

// ---------------------------------------------------------------- file stream

CRasterFileStream::CRasterFileStream(FILE* file) : m_file(file), m_owns(file == nullptr) {}

CRasterFileStream::~CRasterFileStream() {
  if (m_owns) Close();
}

bool CRasterFileStream::Close() {
  if (!m_file) return true;
  int result = 0;
  if (m_owns) {
    result = fclose(m_file);
    m_file = nullptr;
  }
  return result == 0;
}

UINT CRasterFileStream::Read(void* buffer, UINT size, UINT count) {
  if (!m_file || !buffer) return 0;
  return (UINT)fread(buffer, size, count, m_file);
}

UINT CRasterFileStream::Write(const void* buffer, UINT size, UINT count) {
  if (!m_file || !buffer) return 0;
  return (UINT)fwrite(buffer, size, count, m_file);
}

bool CRasterFileStream::Seek(int32_t offset, int origin) {
  if (!m_file) return false;
  return fseek(m_file, offset, origin) == 0;
}

int32_t CRasterFileStream::Tell() {
  if (!m_file) return 0;
  return (int32_t)ftell(m_file);
}

int32_t CRasterFileStream::GetSize() {
  if (!m_file) return -1;
  long pos = ftell(m_file);
  fseek(m_file, 0, SEEK_END);
  long size = ftell(m_file);
  fseek(m_file, pos, SEEK_SET);
  return (int32_t)size;
}

bool CRasterFileStream::Flush() {
  if (!m_file) return false;
  return fflush(m_file) == 0;
}

bool CRasterFileStream::IsEof() {
  if (!m_file) return true;
  return feof(m_file) != 0;
}

int32_t CRasterFileStream::HasError() {
  if (!m_file) return -1;
  return ferror(m_file);
}

bool CRasterFileStream::PutByte(BYTE value) {
  if (!m_file) return false;
  return fputc(value, m_file) == (int)value;
}

int CRasterFileStream::GetByte() {
  if (!m_file) return -1;
  return fgetc(m_file);
}

char* CRasterFileStream::GetLine(char* buffer, int32_t size) {
  if (!m_file || !buffer) return nullptr;
  return fgets(buffer, size, m_file);
}

int32_t CRasterFileStream::Scan(const char* format, void* output) {
  if (!m_file) return -1;
  return fscanf(m_file, format, output);
}

// -------------------------------------------------------------- memory stream

CRasterMemoryStream::CRasterMemoryStream(BYTE* buffer, int32_t size)
    : m_buffer(buffer),
      m_size(buffer && size > 0 ? size : 0),
      m_owns(buffer == nullptr),
      m_position(0),
      m_capacity(buffer && size > 0 ? size : 0),
      m_eof(false) {}

CRasterMemoryStream::~CRasterMemoryStream() { Close(); }

bool CRasterMemoryStream::Open() {
  if (m_buffer) return false;
  m_size = m_capacity = m_position = 0;
  m_buffer = (BYTE*)malloc(1);
  m_owns = true;
  return m_buffer != nullptr;
}

BYTE* CRasterMemoryStream::GetBuffer(bool detach) {
  if (detach) m_owns = false;
  return m_buffer;
}

bool CRasterMemoryStream::Close() {
  if (m_buffer && m_owns) {
    free(m_buffer);
    m_buffer = nullptr;
    m_size = 0;
  }
  return true;
}

UINT CRasterMemoryStream::Read(void* buffer, UINT size, UINT count) {
  if (!buffer || !m_buffer || size == 0) return 0;
  if (m_position >= m_size) {
    m_eof = true;
    return 0;
  }
  uint64_t n = (uint64_t)size * count;
  if (n == 0) return 0;
  uint64_t left = (uint64_t)(m_size - m_position);
  if (n > left) {
    m_eof = true;
    n = left;
  }
  memcpy(buffer, m_buffer + m_position, (size_t)n);
  m_position += (int32_t)n;
  return (UINT)(n / size);
}

UINT CRasterMemoryStream::Write(const void* buffer, UINT size, UINT count) {
  m_eof = false;
  if (!m_buffer || !buffer) return 0;
  uint64_t n = (uint64_t)size * count;
  if (n == 0) return 0;
  uint64_t end = (uint64_t)m_position + n;
  if (end > (uint64_t)INT32_MAX) return 0;
  if (end > (uint64_t)m_capacity && !Grow(end)) return 0;
  memcpy(m_buffer + m_position, buffer, (size_t)n);
  m_position = (int32_t)end;
  if (m_position > m_size) m_size = m_position;
  return count;
}

bool CRasterMemoryStream::Seek(int32_t offset, int origin) {
  m_eof = false;
  if (!m_buffer) return false;
  int64_t target;
  switch (origin) {
    case SEEK_SET:
      target = offset;
      break;
    case SEEK_CUR:
      target = (int64_t)m_position + offset;
      break;
    case SEEK_END:
      target = (int64_t)m_size + offset;
      break;
    default:
      return false;
  }
  if (target < 0) target = 0;
  if (target > INT32_MAX) target = INT32_MAX;
  m_position = (int32_t)target;
  return true;
}

int32_t CRasterMemoryStream::Tell() { return m_buffer ? m_position : -1; }

int32_t CRasterMemoryStream::GetSize() { return m_buffer ? m_size : -1; }

bool CRasterMemoryStream::Flush() { return m_buffer != nullptr; }

bool CRasterMemoryStream::IsEof() { return m_buffer ? m_eof : true; }

int32_t CRasterMemoryStream::HasError() {
  if (!m_buffer) return -1;
  return m_position > m_size ? 1 : 0;
}

bool CRasterMemoryStream::PutByte(BYTE value) {
  m_eof = false;
  if (!m_buffer) return false;
  if (m_position >= m_capacity) {
    if (m_position == INT32_MAX || !Grow((uint64_t)m_position + 1)) return false;
  }
  m_buffer[m_position++] = value;
  if (m_position > m_size) m_size = m_position;
  return true;
}

int CRasterMemoryStream::GetByte() {
  if (m_buffer && m_position < m_size) return m_buffer[m_position++];
  m_eof = true;
  return -1;
}

char* CRasterMemoryStream::GetLine(char* buffer, int32_t size) {
  if (!buffer) return nullptr;
  int32_t n = 0;
  while (n < size - 1) {
    int c = GetByte();
    if (c < 0) return nullptr;
    buffer[n++] = (char)c;
    if (c == '\n') break;
  }
  if (size > 0) buffer[n] = 0;
  return buffer;
}

int32_t CRasterMemoryStream::Scan(const char*, void*) { return 0; }

bool CRasterMemoryStream::Grow(uint64_t needed) {
  if (needed <= (uint64_t)(uint32_t)m_capacity) return m_buffer != nullptr;
  // A buffer that belongs to the caller is never reallocated.
  if (m_buffer && !m_owns) return false;
  uint64_t capacity = (needed & ~(uint64_t)0xFFFF) + 65536;
  if (capacity > (uint64_t)INT32_MAX) return false;
  BYTE* grown = (BYTE*)realloc(m_buffer, (size_t)capacity);
  if (!grown) {
    free(m_buffer);
    m_buffer = nullptr;
    m_capacity = 0;
    m_size = 0;
    return false;
  }
  m_buffer = grown;
  m_capacity = (int32_t)capacity;
  m_owns = true;
  return true;
}
