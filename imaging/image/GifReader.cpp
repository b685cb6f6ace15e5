#include "imaging/image/GifReader.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "imaging/image/GifCodec.h"

namespace {
const int kReadBufferSize = 16384;
const int kReadChunk = 16383;
const int kMaxStack = 4094;
const int kMaxCodes = 4096;
const int kCodeMask[14] = {0, 1, 3, 7, 0x0F, 0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF};

WORD LittleWord(const BYTE* p) { return (WORD)(p[0] | (p[1] << 8)); }
}  // namespace

CGifReader::CGifReader(CRasterImageGIF& image) : m_image(image) {}

CGifReader::~CGifReader() {
  delete[] m_readBuffer;
  delete[] m_stack;
  delete[] m_suffix;
  delete[] m_prefix;
}

void CGifReader::SkipSubBlocks(CRasterStream* stream) {
  for (;;) {
    int n = stream->GetByte();
    if (n <= 0) return;
    if (!stream->Seek(n, SEEK_CUR)) return;
  }
}

bool CGifReader::ReadExtension(CRasterStream* stream) {
  int label = stream->GetByte();
  if (label < 0) return false;
  if (label == 0xF9) {
    int size = stream->GetByte();
    BYTE record[4];
    if (size != 4 || stream->Read(record, 1, 4) != 4) return false;
    m_gceFlags = record[0];
    m_gceDelay = LittleWord(record + 1);
    m_gceTransparent = record[3];
    m_image.m_info.nBkgndIndex = (m_gceFlags & 1) ? (int)m_gceTransparent : -1;
    m_image.m_info.dwFrameDelay = m_gceDelay;
    m_image.m_info.dispmeth = (BYTE)((m_gceFlags >> 2) & 7);
  } else if (label == 0xFE) {
    int size = stream->GetByte();
    if (size > 0) {
      UINT got = stream->Read(m_image.m_comment, 1, (UINT)size);
      m_image.m_comment[got] = 0;
    }
    // An empty comment: its first sub-block is already the terminator.
    if (size == 0) return true;
  } else if (label == 0xFF) {
    BYTE id[11];
    if (stream->GetByte() != 11 || stream->Read(id, 1, 11) != 11) return false;
    int size = stream->GetByte();
    if (size > 0) {
      BYTE block[256];
      UINT got = stream->Read(block, 1, (UINT)size);
      if (size > 2 && got >= 3) m_image.m_loops = block[1] + 256 * block[2];
    }
    if (size == 0) return true;
  }
  SkipSubBlocks(stream);
  return true;
}

bool CGifReader::ReadDescriptor(CRasterStream* stream, ImageDescriptor* d) {
  BYTE b[9];
  if (stream->Read(b, 1, 9) != 9) return false;
  d->left = LittleWord(b);
  d->top = LittleWord(b + 2);
  d->width = LittleWord(b + 4);
  d->height = LittleWord(b + 6);
  d->flags = b[8];
  return true;
}

// Reads a table of 2^(exponent + 1) entries; entries the file does not hold stay black.
void CGifReader::ReadColorTable(CRasterStream* stream, int exponent, ColorTable* table) {
  table->count = 1 << ((exponent & 7) + 1);
  memset(table->rgb, 0, sizeof(table->rgb));
  stream->Read(table->rgb, 1, (UINT)(3 * table->count));
}

int CGifReader::NextDataByte(CRasterStream* stream) {
  if (m_readPos >= m_readCount) {
    if (!m_readBuffer) return -1;
    UINT n = stream->Read(m_readBuffer, 1, kReadChunk);
    m_readPos = 0;
    m_readCount = (int)n;
    if (n == 0) return -1;
  }
  return m_readBuffer[m_readPos++];
}

void CGifReader::LzwReset(int codeSize) {
  m_codeSize = codeSize;
  m_currSize = codeSize + 1;
  m_topSlot = 1 << m_currSize;
  m_clear = 1 << codeSize;
  m_ending = m_clear + 1;
  m_slot = m_newCodes = m_ending + 1;
  m_availBytes = 0;
  m_bitsLeft = 0;
  m_blockEnded = false;
  memset(m_stack, 0, kMaxCodes);
  memset(m_suffix, 0, kMaxCodes);
  memset(m_prefix, 0, kMaxCodes * sizeof(WORD));
}

// Reads the next data sub-block: its length, 0 at the block terminator, or
// a negative value when the stream ends.
int CGifReader::LzwReadSubBlock(CRasterStream* stream) {
  m_subBlockPtr = m_subBlock;
  int n = NextDataByte(stream);
  if (n < 0) return n;
  if (n == 0) {
    m_blockEnded = true;
    return 0;
  }
  m_availBytes = n;
  for (int i = 0; i < n; i++) {
    int b = NextDataByte(stream);
    if (b < 0) return b;
    m_subBlock[i] = (BYTE)b;
  }
  return n;
}

int CGifReader::LzwNextCode(CRasterStream* stream) {
  if (m_bitsLeft == 0) {
    if (m_availBytes <= 0) {
      int n = LzwReadSubBlock(stream);
      if (n <= 0) return n < 0 ? n : m_ending;
    }
    m_currentByte = *m_subBlockPtr++;
    m_bitsLeft = 8;
    --m_availBytes;
  }
  int code = m_currentByte >> (8 - m_bitsLeft);
  while (m_currSize > m_bitsLeft) {
    if (m_availBytes <= 0) {
      int n = LzwReadSubBlock(stream);
      if (n <= 0) return n < 0 ? n : m_ending;
    }
    m_currentByte = *m_subBlockPtr++;
    code |= m_currentByte << m_bitsLeft;
    m_bitsLeft += 8;
    --m_availBytes;
  }
  m_bitsLeft -= m_currSize;
  return code & kCodeMask[m_currSize];
}

int CGifReader::StoreLine(GifLineCursor* cursor, BYTE* pixels, int length) {
  if (!cursor || !cursor->image) return 0;
  CRasterImage* image = cursor->image;
  int bpp = image->GetBpp();
  int bytes = length;
  if (bpp == 4) {
    for (int x = 0; x < length; x++) {
      BYTE v = (BYTE)(pixels[x] & 0x0F);
      if (x & 1)
        pixels[x >> 1] = (BYTE)(pixels[x >> 1] | v);
      else
        pixels[x >> 1] = (BYTE)(v << 4);
    }
    bytes = (length + 1) / 2;
  } else if (bpp == 1) {
    for (int x = 0; x < length; x++) {
      BYTE v = (BYTE)(pixels[x] & 1);
      if ((x & 7) == 0) pixels[x >> 3] = 0;
      pixels[x >> 3] = (BYTE)(pixels[x >> 3] | (v << (7 - (x & 7))));
    }
    bytes = (length + 7) / 8;
  }
  DWORD rowBytes = image->GetRowBytes();
  if ((DWORD)bytes > rowBytes) bytes = (int)rowBytes;
  if (m_interlaced) {
    if (m_pass > 3) return 0;  // every pass done: the rest is surplus data
    int target = m_frameHeight - m_currentRow - 1;
    if (target >= 0 && target < m_frameHeight) memcpy(image->GetRowPointer((DWORD)target), pixels, (size_t)bytes);
    m_currentRow += m_rowStep;
    while (m_currentRow >= m_frameHeight) {
      m_pass++;
      if (m_pass > 3) break;
      if (m_pass > 1) m_rowStep /= 2;
      m_currentRow = m_rowStep / 2;
    }
    return 0;
  }
  if (cursor->row < 0 || cursor->row >= (LONG)image->GetHeight()) return -1;
  memcpy(image->GetRowPointer((DWORD)cursor->row), pixels, (size_t)bytes);
  cursor->row--;
  return 0;
}

int CGifReader::LzwDecode(CRasterStream* stream, GifLineCursor* cursor, int lineWidth, int* badCodes) {
  *badCodes = 0;
  int size = NextDataByte(stream);
  if (size < 0) return size;
  if (size < 2 || size > 9) return -20;
  if (!m_stack || !m_suffix || !m_prefix) return -10;
  LzwReset(size);
  if (lineWidth <= 0) return -5;
  BYTE* line = (BYTE*)malloc((size_t)lineWidth + 1);
  if (!line) return -10;
  BYTE* sp = m_stack;
  BYTE* out = line;
  int left = lineWidth;
  int oldCode = 0, firstChar = 0;
  int c;
  int result = 0;
  // Pixels past a full frame are dropped while counting and after the last
  // interlace pass: there only the codes are followed, to find the data's end,
  // so that surplus data costs its length and not the pixels it would make.
  const uint64_t framePixels = (uint64_t)lineWidth * (uint64_t)(m_frameHeight > 0 ? m_frameHeight : 0);
  const bool dropSurplus = !cursor || m_interlaced;
  uint64_t emitted = 0;
#define GIF_SURPLUS() (dropSurplus && emitted >= framePixels)
#define GIF_PUT(value)                            \
  do {                                            \
    *out++ = (BYTE)(value);                       \
    if (--left == 0) {                            \
      int r = StoreLine(cursor, line, lineWidth); \
      if (r < 0) {                                \
        free(line);                               \
        return r;                                 \
      }                                           \
      out = line;                                 \
      left = lineWidth;                           \
    }                                             \
  } while (0)
#define GIF_EMIT(value)       \
  do {                        \
    if (GIF_SURPLUS()) break; \
    ++emitted;                \
    GIF_PUT(value);           \
  } while (0)
  while ((c = LzwNextCode(stream)) != m_ending) {
    if (c < 0) {
      free(line);
      return 0;
    }
    if (c == m_clear) {
      m_currSize = size + 1;
      m_slot = m_newCodes;
      m_topSlot = 1 << m_currSize;
      while ((c = LzwNextCode(stream)) == m_clear) {
      }
      if (c == m_ending) break;
      if (c < 0) {
        free(line);
        return 0;
      }
      if (c >= m_slot) c = 0;
      oldCode = firstChar = c;
      GIF_EMIT(c);
    } else if (GIF_SURPLUS()) {
      // The table grows as it would; its strings are never spelt out.
      if (c > m_slot) ++*badCodes;
      if (m_slot < m_topSlot) {
        ++m_slot;
        oldCode = c;
      }
      if (m_slot >= m_topSlot && m_currSize < 12) {
        m_topSlot <<= 1;
        ++m_currSize;
      }
    } else {
      int code = c;
      if (code >= m_slot && sp < m_stack + kMaxStack) {
        if (code > m_slot) ++*badCodes;
        code = oldCode;
        *sp++ = (BYTE)firstChar;
      }
      while (code >= m_newCodes && sp < m_stack + kMaxStack) {
        *sp++ = m_suffix[code];
        // A sound table only points back to earlier codes; bad codes can
        // make a loop, walked here once instead of down the whole stack.
        const int prefix = m_prefix[code];
        if (prefix >= code) {
          ++*badCodes;
          break;
        }
        code = prefix;
      }
      *sp++ = (BYTE)code;
      if (m_slot < m_topSlot) {
        m_suffix[m_slot] = (BYTE)(firstChar = code);
        m_prefix[m_slot++] = (WORD)oldCode;
        oldCode = c;
      }
      if (m_slot >= m_topSlot && m_currSize < 12) {
        m_topSlot <<= 1;
        ++m_currSize;
      }
      // The string comes off the stack first pixel first; past a full frame
      // (when surplus is dropped) the rest is popped unseen. Counted per
      // string, not per pixel.
      size_t count = (size_t)(sp - m_stack);
      if (dropSurplus && count > framePixels - emitted) count = (size_t)(framePixels - emitted);
      emitted += count;
      BYTE* const stop = sp - count;
      while (sp > stop) {
        --sp;
        GIF_PUT(*sp);
      }
      sp = m_stack;
    }
  }
#undef GIF_EMIT
#undef GIF_PUT
#undef GIF_SURPLUS
  if (left != lineWidth) result = StoreLine(cursor, line, lineWidth - left);
  free(line);
  return result;
}

long CGifReader::FindNextImage(CRasterStream* stream, long position) {
  if (!stream->Seek((int32_t)position, SEEK_SET)) return -1;
  bool afterZero = true;
  for (;;) {
    int c = stream->GetByte();
    if (c < 0) return -1;
    if (c == ',' && afterZero) {
      stream->Seek(-1, SEEK_CUR);
      return stream->Tell();
    }
    afterZero = c == 0;
  }
}

void CGifReader::StartFrameData(const ImageDescriptor& d) {
  m_readPos = m_readCount = 0;  // nothing of an earlier frame is kept
  m_availBytes = 0;
  m_bitsLeft = 0;
  m_blockEnded = false;
  m_interlaced = (d.flags & 0x40) != 0;
  m_frameHeight = d.height;
  m_currentRow = 0;
  m_rowStep = 8;
  m_pass = 0;
}

// Leaves the stream just after the frame's data: past the rest of its sub-blocks
// when the data ended normally, on the next image block after damaged data.
void CGifReader::FinishFrameData(CRasterStream* stream, long dataStart, int badCodes) {
  if (badCodes > 0) {
    if (FindNextImage(stream, dataStart) < 0) stream->Seek(0, SEEK_END);
    return;
  }
  if (!m_blockEnded) {
    while (m_availBytes > 0) {
      if (NextDataByte(stream) < 0) break;
      m_availBytes--;
    }
    for (;;) {
      int n = NextDataByte(stream);
      if (n <= 0) break;
      int i = 0;
      for (; i < n; i++)
        if (NextDataByte(stream) < 0) break;
      if (i < n) break;
    }
  }
  int unread = m_readCount - m_readPos;
  if (unread > 0) stream->Seek(-unread, SEEK_CUR);
  m_readPos = m_readCount = 0;
}

int CGifReader::NextBlock(CRasterStream* stream, bool& afterZero) {
  for (;;) {
    int c = stream->GetByte();
    if (c < 0) return -1;
    if (!afterZero && c != 0) continue;
    if (c == '!' || c == ',' || c == ';') return c;
    afterZero = c == 0;
  }
}

void CGifReader::ReadFirstImageSize(CRasterStream* stream, ScreenHeader* header) {
  bool afterZero = true;
  int c;
  while ((c = NextBlock(stream, afterZero)) == '!')
    if (!ReadExtension(stream)) return;
  ImageDescriptor d;
  if (c == ',' && ReadDescriptor(stream, &d)) {
    header->width = d.width;
    header->height = d.height;
  }
}

int CGifReader::CountFrames(CRasterStream* stream, ColorTable* global, ScreenHeader* header) {
  long start = stream->Tell();
  int count = 0;
  bool afterZero = true;
  for (int c; (c = NextBlock(stream, afterZero)) >= 0;) {
    if (c == '!') {
      if (!ReadExtension(stream)) break;
    } else if (c == ',') {
      ImageDescriptor d;
      if (!ReadDescriptor(stream, &d)) break;
      if (header->width == 0 && header->height == 0) {
        header->width = d.width;
        header->height = d.height;
      }
      if (d.left + d.width > header->width || d.top + d.height > header->height) continue;
      count++;
      ColorTable local;
      if (d.flags & 0x80) ReadColorTable(stream, d.flags & 7, &local);
      long dataStart = stream->Tell();
      StartFrameData(d);
      int bad = 0;
      LzwDecode(stream, nullptr, d.width, &bad);
      FinishFrameData(stream, dataStart, bad);
    } else {
      break;
    }
  }
  (void)global;
  stream->Seek((int32_t)start, SEEK_SET);
  return count;
}

bool CGifReader::MakeTables() {
  if (!m_readBuffer) m_readBuffer = new (std::nothrow) BYTE[kReadBufferSize];
  if (!m_stack) m_stack = new (std::nothrow) BYTE[kMaxCodes];
  if (!m_suffix) m_suffix = new (std::nothrow) BYTE[kMaxCodes];
  if (!m_prefix) m_prefix = new (std::nothrow) WORD[kMaxCodes];
  return m_readBuffer && m_stack && m_suffix && m_prefix;
}
