#include "GifCodec.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

const int kReadBufferSize = 16384;
const int kReadChunk = 16383;
const int kMaxStack = 4094;
const int kHashSize = 5003;
const int kMaxCodes = 4096;
const int kCodeMask[14] = {0, 1, 3, 7, 0x0F, 0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF};

WORD LittleWord(const BYTE* p) { return (WORD)(p[0] | (p[1] << 8)); }

int DepthForColors(int count) { return count <= 2 ? 1 : count <= 16 ? 4 : 8; }

}  // namespace

CRasterImageGIF::CRasterImageGIF() : CRasterImage(RASTER_TYPE_GIF) {
  m_gceFlags = 0;
  m_gceDelay = 0;
  m_gceTransparent = 0;
  m_readBuffer = nullptr;  // the reader's buffers are made by the first decode
  m_readPos = m_readCount = 0;
  m_codeSize = m_currSize = m_clear = m_ending = m_newCodes = m_topSlot = m_slot = 0;
  m_availBytes = m_bitsLeft = 0;
  m_currentByte = 0;
  m_blockEnded = false;
  memset(m_subBlock, 0, sizeof(m_subBlock));
  m_subBlockPtr = m_subBlock;
  m_stack = nullptr;
  m_suffix = nullptr;
  m_prefix = nullptr;
  m_interlaced = false;
  m_frameHeight = m_currentRow = m_rowStep = m_pass = 0;
  m_comment[0] = 0;
  m_loops = 0;
  m_feedImage = nullptr;
  m_feedColumn = m_feedRow = 0;
  m_feedLeft = 0;
  // The encoder's tables are made when something is written: decoding (which
  // makes an object per frame) does without them.
  m_hashTable = nullptr;
  m_codeTable = nullptr;
  m_initBits = m_nBits = m_maxCode = m_freeEnt = m_clearFlag = m_clearCode = m_eofCode = 0;
  m_accum = 0;
  m_accumBits = 0;
  m_out = nullptr;
  m_packetCount = 0;
  m_writeFailed = false;
}

CRasterImageGIF::~CRasterImageGIF() {
  delete[] m_readBuffer;
  delete[] m_stack;
  delete[] m_suffix;
  delete[] m_prefix;
  delete[] m_hashTable;
  delete[] m_codeTable;
}

void CRasterImageGIF::SetComment(const char* text) {
  size_t n = text ? strlen(text) : 0;
  if (n > 255) n = 255;
  if (n) memcpy(m_comment, text, n);
  m_comment[n] = 0;
}

// ---------------------------------------------------------------------------
// Decoder

void CRasterImageGIF::SkipSubBlocks(CRasterStream* stream) {
  for (;;) {
    int n = stream->GetByte();
    if (n <= 0) return;
    if (!stream->Seek(n, SEEK_CUR)) return;
  }
}

bool CRasterImageGIF::ReadExtension(CRasterStream* stream) {
  int label = stream->GetByte();
  if (label < 0) return false;
  if (label == 0xF9) {
    int size = stream->GetByte();
    BYTE record[4];
    if (size != 4 || stream->Read(record, 1, 4) != 4) return false;
    m_gceFlags = record[0];
    m_gceDelay = LittleWord(record + 1);
    m_gceTransparent = record[3];
    m_info.nBkgndIndex = (m_gceFlags & 1) ? (int)m_gceTransparent : -1;
    m_info.dwFrameDelay = m_gceDelay;
    m_info.dispmeth = (BYTE)((m_gceFlags >> 2) & 7);
  } else if (label == 0xFE) {
    int size = stream->GetByte();
    if (size > 0) {
      UINT got = stream->Read(m_comment, 1, (UINT)size);
      m_comment[got] = 0;
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
      if (size > 2 && got >= 3) m_loops = block[1] + 256 * block[2];
    }
    if (size == 0) return true;
  }
  SkipSubBlocks(stream);
  return true;
}

bool CRasterImageGIF::ReadDescriptor(CRasterStream* stream, ImageDescriptor* d) {
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
void CRasterImageGIF::ReadColorTable(CRasterStream* stream, int exponent, ColorTable* table) {
  table->count = 1 << ((exponent & 7) + 1);
  memset(table->rgb, 0, sizeof(table->rgb));
  stream->Read(table->rgb, 1, (UINT)(3 * table->count));
}

int CRasterImageGIF::NextDataByte(CRasterStream* stream) {
  if (m_readPos >= m_readCount) {
    if (!m_readBuffer) return -1;
    UINT n = stream->Read(m_readBuffer, 1, kReadChunk);
    m_readPos = 0;
    m_readCount = (int)n;
    if (n == 0) return -1;
  }
  return m_readBuffer[m_readPos++];
}

void CRasterImageGIF::LzwReset(int codeSize) {
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
int CRasterImageGIF::LzwReadSubBlock(CRasterStream* stream) {
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

int CRasterImageGIF::LzwNextCode(CRasterStream* stream) {
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

int CRasterImageGIF::StoreLine(GifLineCursor* cursor, BYTE* pixels, int length) {
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

int CRasterImageGIF::LzwDecode(CRasterStream* stream, GifLineCursor* cursor, int lineWidth, int* badCodes) {
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
#define GIF_PUT(value)                                           \
  do {                                                           \
    *out++ = (BYTE)(value);                                      \
    if (--left == 0) {                                           \
      int r = StoreLine(cursor, line, lineWidth);                \
      if (r < 0) {                                               \
        free(line);                                              \
        return r;                                                \
      }                                                          \
      out = line;                                                \
      left = lineWidth;                                          \
    }                                                            \
  } while (0)
#define GIF_EMIT(value)                                          \
  do {                                                           \
    if (GIF_SURPLUS()) break;                                    \
    ++emitted;                                                   \
    GIF_PUT(value);                                              \
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

long CRasterImageGIF::FindNextImage(CRasterStream* stream, long position) {
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

void CRasterImageGIF::StartFrameData(const ImageDescriptor& d) {
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
void CRasterImageGIF::FinishFrameData(CRasterStream* stream, long dataStart, int badCodes) {
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

int CRasterImageGIF::CountFrames(CRasterStream* stream, ColorTable* global, ScreenHeader* header) {
  long start = stream->Tell();
  int count = 0;
  bool afterZero = true;
  for (;;) {
    int c = stream->GetByte();
    if (c < 0) break;
    if (!afterZero && c != 0) continue;
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
    } else if (c == ';') {
      break;
    } else {
      afterZero = c == 0;
    }
  }
  (void)global;
  stream->Seek((int32_t)start, SEEK_SET);
  return count;
}

void CRasterImageGIF::PasteFrame(CRasterImage& canvas, const CRasterImage& frame, const ImageDescriptor& d) {
  const LONG W = (LONG)canvas.GetWidth(), H = (LONG)canvas.GetHeight();
  const LONG fw = (LONG)frame.GetWidth(), fh = (LONG)frame.GetHeight();
  LONG firstRow = H - d.top - fh;
  if (firstRow < 0) firstRow = 0;
  LONG lastRow = H - d.top - 1;
  LONG endColumn = d.left + fw < W ? d.left + fw : W;
  if (endColumn <= d.left) return;
  const int transparent = frame.GetTransparentIndex();
  const LONG baseRow = H - d.top - fh;
  const int bpp = frame.GetBpp(), canvasBpp = canvas.GetBpp();
  const LONG count = endColumn - d.left;
  RGBQUAD palette[256];
  memset(palette, 0, sizeof(palette));
  for (DWORD k = 0; k < frame.GetColorCount() && k < 256; k++) palette[k] = frame.GetPaletteEntry((BYTE)k);
  for (LONG y = firstRow; y <= lastRow; y++) {
    LONG fy = y - baseRow;
    if (fy < 0 || fy >= fh) continue;
    const BYTE* src = frame.GetRowPointer((DWORD)fy);
    BYTE* dst = canvas.GetRowPointer((DWORD)y);
    LONG x = 0;
    if (transparent < 0 && canvasBpp == bpp && (d.left * bpp) % 8 == 0) {
      // Whole bytes at once; a partial last byte goes pixel by pixel below.
      size_t bytes = (size_t)count * bpp / 8;
      memcpy(dst + (size_t)d.left * bpp / 8, src, bytes);
      x = (LONG)(bytes * 8 / bpp);
    } else if (bpp == 8 && canvasBpp == 8) {
      for (; x < count; x++)
        if ((int)src[x] != transparent) dst[d.left + x] = src[x];
    } else if (bpp == 8 && canvasBpp == 24) {
      for (; x < count; x++)
        if ((int)src[x] != transparent) {
          BYTE* p = dst + 3 * (size_t)(d.left + x);
          p[0] = palette[src[x]].rgbBlue;
          p[1] = palette[src[x]].rgbGreen;
          p[2] = palette[src[x]].rgbRed;
        }
    }
    for (; x < count; x++) {
      BYTE index = frame.GetIndexAtRaw(x, fy);
      if ((int)index == transparent) continue;
      if (canvasBpp == 24)
        canvas.SetColorAtRaw(d.left + x, y, palette[index]);
      else
        canvas.SetIndexAtRaw(d.left + x, y, index);
    }
  }
}

bool CRasterImageGIF::MakeDecoderTables() {
  if (!m_readBuffer) m_readBuffer = new (std::nothrow) BYTE[kReadBufferSize];
  if (!m_stack) m_stack = new (std::nothrow) BYTE[kMaxCodes];
  if (!m_suffix) m_suffix = new (std::nothrow) BYTE[kMaxCodes];
  if (!m_prefix) m_prefix = new (std::nothrow) WORD[kMaxCodes];
  return m_readBuffer && m_stack && m_suffix && m_prefix;
}

bool CRasterImageGIF::Decode(CRasterStream* stream) {
  if (!stream) return false;
  if (!MakeDecoderTables()) {
    SetErrorText("no memory for the GIF decoder's tables");
    return false;
  }
  BYTE head[13];
  if (stream->Read(head, 1, 13) != 13 || memcmp(head, "GIF8", 4) != 0) {
    SetErrorText("Not a GIF file");
    return false;
  }
  ScreenHeader header;
  header.width = LittleWord(head + 6);
  header.height = LittleWord(head + 8);
  header.flags = head[10];
  header.background = head[11];
  header.aspect = head[12];
  if (m_info.nEscape == -1) {
    // A screen of 0 x 0 takes the size of the first image, as the full decode does.
    if (header.width == 0 && header.height == 0) {
      if (header.flags & 0x80) stream->Seek(3 * (2 << (header.flags & 7)), SEEK_CUR);
      bool afterZero = true;
      for (;;) {
        int c = stream->GetByte();
        if (c < 0) break;
        if (!afterZero && c != 0) continue;
        if (c == '!') {
          if (!ReadExtension(stream)) break;
        } else if (c == ',') {
          ImageDescriptor d;
          if (ReadDescriptor(stream, &d)) {
            header.width = d.width;
            header.height = d.height;
          }
          break;
        } else if (c == ';') {
          break;
        } else {
          afterZero = c == 0;
        }
      }
    }
    m_head.biWidth = header.width;
    m_head.biHeight = header.height;
    m_info.nFormat = RASTER_TYPE_GIF;
    return true;
  }
  ColorTable global;
  global.count = 0;
  int trueColor = 0;
  if (header.flags & 0x80)
    ReadColorTable(stream, header.flags & 7, &global);
  else
    trueColor = 1;

  // Counting reads every extension; the frames read them again in order.
  const int savedIndex = m_info.nBkgndIndex, savedDelay = m_info.dwFrameDelay;
  const BYTE savedDisposal = m_info.dispmeth;
  int frames = CountFrames(stream, &global, &header);
  m_info.nBkgndIndex = savedIndex;
  m_info.dwFrameDelay = savedDelay;
  m_info.dispmeth = savedDisposal;
  m_gceFlags = 0;
  m_gceDelay = 0;
  m_gceTransparent = 0;
  m_info.nNumFrames = frames;
  if (m_info.nFrame < 0 || m_info.nFrame >= frames) {
    SetErrorText(frames ? "GIF frame not found" : "GIF file without an image");
    return false;
  }
  if (frames == 1) trueColor = 0;

  CRasterImageGIF* canvas = nullptr;
  CRasterImageGIF* previous = nullptr;
  CRasterImageGIF* composite24 = nullptr;
  CRasterImage** frameList = nullptr;
  int firstTransparent = -1;
  int previousDisposal = 0;
  bool ok = true;
  bool any = false;
  auto fail = [&](const char* text) {
    if (text) SetErrorText(text);
    ok = false;
  };

  int i = 0;
  bool afterZero = true;
  for (;;) {
    if (m_info.nEscape > 0) {
      fail(nullptr);
      break;
    }
    int c = stream->GetByte();
    if (c < 0) break;
    if (!afterZero && c != 0) continue;
    if (c == '!') {
      if (!ReadExtension(stream)) break;
      continue;
    }
    if (c == ';') break;
    if (c != ',') {
      afterZero = c == 0;
      continue;
    }
    ImageDescriptor d;
    if (!ReadDescriptor(stream, &d)) break;
    if (d.left + d.width > header.width || d.top + d.height > header.height) continue;

    // A first image smaller than the screen marks a file of true-colour tiles
    // when it is smaller both ways, or one way and shown without delay (tiles
    // appear at once); an animation's first frame, smaller one way, waits.
    if (i == 0 && (d.width != header.width || d.height != header.height) &&
        ((d.width != header.width && d.height != header.height) || m_gceDelay == 0))
      trueColor++;
    ColorTable local;
    local.count = 0;
    if (d.flags & 0x80) ReadColorTable(stream, d.flags & 7, &local);
    const ColorTable* table = (d.flags & 0x80) ? &local : (global.count ? &global : nullptr);
    int depth = DepthForColors(table ? table->count : 0);

    if (trueColor < 2) {
      CRasterImageGIF* next = new (std::nothrow) CRasterImageGIF;
      if (!next) {
        fail("no memory for the next GIF frame");
        break;
      }
      if (i == 0) {
        next->CopyAttributes(*this);
        if (!next->Create(header.width, header.height, depth, RASTER_TYPE_GIF)) {
          fail(next->GetErrorText());
          delete next;
          break;
        }
        next->FillRows(m_gceTransparent);
        firstTransparent = m_info.nBkgndIndex;
        delete previous;
        previous = new (std::nothrow) CRasterImageGIF;
        if (previous) previous->Copy(*next);
        if (!previous || !previous->HasPixels()) {
          fail("no memory for the GIF frame kept for restoring");
          delete next;
          break;
        }
      } else {
        next->Copy(*this);
        if (!next->HasPixels()) {
          fail("no memory for a copy of the GIF frame");
          delete next;
          break;
        }
        if (previousDisposal == 2) {
          next->FillRows((BYTE)firstTransparent);
        } else if (previousDisposal == 3 && previous && previous->HasPixels()) {
          if (!next->Create((LONG)previous->GetWidth(), (LONG)previous->GetHeight(), previous->GetBpp(),
                            RASTER_TYPE_GIF)) {
            fail(next->GetErrorText());
            delete next;
            break;
          }
          memcpy(next->GetPixelBlock(), previous->GetPixelBlock(), previous->GetBlockSize());
          next->m_info.last_c_isvalid = 0;
        }
      }
      delete canvas;
      canvas = next;
    }

    if (!Create(d.width, d.height, depth, RASTER_TYPE_GIF)) {
      fail(nullptr);  // the creation message stays
      break;
    }
    if (table) {
      RGBQUAD pal[256];
      memset(pal, 0, sizeof(pal));
      for (int k = 0; k < table->count && k < 256; k++) {
        pal[k].rgbRed = table->rgb[3 * k];
        pal[k].rgbGreen = table->rgb[3 * k + 1];
        pal[k].rgbBlue = table->rgb[3 * k + 2];
      }
      int offered = table->count;
      if (m_info.nBkgndIndex >= 0) {
        for (int k = table->count; k < 256; k++) pal[k].rgbRed = pal[k].rgbGreen = pal[k].rgbBlue = 255;
        offered = 256;
      }
      DWORD n = (DWORD)offered < GetColorCount() ? (DWORD)offered : GetColorCount();
      SetPaletteEntries(pal, n);
    }

    long dataStart = stream->Tell();
    StartFrameData(d);
    GifLineCursor cursor;
    cursor.image = this;
    cursor.row = (LONG)GetHeight() - 1;
    int bad = 0;
    LzwDecode(stream, &cursor, d.width, &bad);
    if (m_info.nEscape) {
      fail(nullptr);
      break;
    }

    if (trueColor < 2) {
      // A later frame with a colour table of its own cannot share the canvas's
      // palette: such an animation is composed in true colour from there on.
      const bool trueColorCanvas = canvas->GetBpp() == 24 || (i > 0 && (d.flags & 0x80) != 0);
      const int target = trueColorCanvas ? 24 : GetBpp();
      if (target > canvas->GetBpp() && !canvas->RaiseDepth(target)) {
        fail(canvas->GetErrorText());
        break;
      }
      PasteFrame(*canvas, *this, d);
      if (!trueColorCanvas) {
        canvas->m_info.nBkgndIndex = firstTransparent;
        canvas->SetPaletteEntries(GetPaletteData(), GetColorCount());
      }
      CRasterImageGIF* done = canvas;
      canvas = nullptr;
      TakeOver(*done, true);
      delete done;
    } else {
      m_info.nFrame = frames - 1;
      if (!composite24) {
        composite24 = new (std::nothrow) CRasterImageGIF;
        if (!composite24) {
          fail("no memory for the GIF's composed picture");
          break;
        }
        composite24->CopyAttributes(*this);
        if (!composite24->Create(header.width, header.height, 24, RASTER_TYPE_GIF)) {
          fail(composite24->GetErrorText());
          break;
        }
      }
      const LONG H = (LONG)header.height;
      RGBQUAD palette[256];
      memset(palette, 0, sizeof(palette));
      for (DWORD k = 0; k < GetColorCount() && k < 256; k++) palette[k] = GetPaletteEntry((BYTE)k);
      for (LONG y = 0; y < (LONG)d.height; y++) {
        LONG src = (LONG)d.height - 1 - y;
        LONG dst = H - 1 - (d.top + y);
        BYTE* out = composite24->GetRowPointer((DWORD)dst) + 3 * (size_t)d.left;
        const BYTE* in = GetRowPointer((DWORD)src);
        for (LONG x = 0; x < (LONG)d.width; x++, out += 3) {
          BYTE index = GetBpp() == 8 ? in[x] : GetIndexAtRaw(x, src);
          const RGBQUAD& q = palette[index];
          out[0] = q.rgbBlue;
          out[1] = q.rgbGreen;
          out[2] = q.rgbRed;
        }
      }
    }
    any = true;
    previousDisposal = m_info.dispmeth;
    FinishFrameData(stream, dataStart, bad);
    afterZero = true;

    if (m_info.bGetAllFrames && trueColor < 2) {
      if (i == 0) {
        FreeFrames();
        delete[] frameList;
        frameList = new (std::nothrow) CRasterImage*[frames];
        if (frameList)
          for (int k = 0; k < frames; k++) frameList[k] = nullptr;
      }
      if (frameList && i < frames) {
        CRasterImage* copy = new (std::nothrow) CRasterImage(*this, true, true, true);
        if (copy) {
          copy->SetAllFrames(false);
          frameList[i] = copy;
        }
      }
    }
    if (previousDisposal == 0 || previousDisposal == 1) {
      if (trueColor < 2) {
        if (!previous) previous = new (std::nothrow) CRasterImageGIF;
        if (previous) previous->Copy(*this);
      }
    }
    if (i == m_info.nFrame && !m_info.bGetAllFrames) break;
    i++;
  }

  if (ok && composite24 && composite24->HasPixels()) {
    if (m_gceFlags & 1) {
      RGBQUAD t = IsInside(0, 0) && m_info.nBkgndIndex >= 0 ? GetPaletteEntry((BYTE)m_info.nBkgndIndex)
                                                            : composite24->m_info.nBkgndColor;
      t.rgbReserved = 0;
      composite24->m_info.nBkgndColor = t;
      composite24->m_info.nBkgndIndex = 0;
    } else {
      composite24->m_info.nBkgndIndex = -1;
    }
    composite24->m_info.nNumFrames = frames;
    TakeOver(*composite24, true);
  }
  if (ok && !any) fail("Corrupt GIF file");
  if (ok && frameList) {
    SetFrameList(frameList, frames);
    frameList = nullptr;
  }
  if (frameList) {
    for (int k = 0; k < frames; k++) delete frameList[k];
    delete[] frameList;
  }
  delete canvas;
  delete previous;
  delete composite24;
  m_info.nNumFrames = frames;
  return ok && HasPixels();
}

// ---------------------------------------------------------------------------
// Encoder

void CRasterImageGIF::PutByteChecked(CRasterStream* stream, BYTE value) {
  if (!stream->PutByte(value)) m_writeFailed = true;
}

void CRasterImageGIF::WriteChecked(CRasterStream* stream, const void* data, UINT length) {
  if (length && stream->Write(data, 1, length) != length) m_writeFailed = true;
}

void CRasterImageGIF::PutWord(CRasterStream* stream, WORD value) {
  PutByteChecked(stream, (BYTE)(value & 0xFF));
  PutByteChecked(stream, (BYTE)(value >> 8));
}

void CRasterImageGIF::WritePalette(CRasterStream* stream, const CRasterImage& image) {
  DWORD n = image.GetColorCount();
  const RGBQUAD* pal = image.GetPaletteData();
  BYTE rgb[256 * 3];
  for (DWORD k = 0; k < n && k < 256; k++) {
    rgb[3 * k] = pal[k].rgbRed;
    rgb[3 * k + 1] = pal[k].rgbGreen;
    rgb[3 * k + 2] = pal[k].rgbBlue;
  }
  WriteChecked(stream, rgb, 3 * (n < 256 ? n : 256));
}

void CRasterImageGIF::WriteHeader(CRasterStream* stream, const CRasterImage& image, bool globalTable) {
  WriteChecked(stream, "GIF89a", 6);
  PutWord(stream, (WORD)image.GetWidth());
  PutWord(stream, (WORD)image.GetHeight());
  int depth = image.GetBpp();
  bool palette = globalTable && image.GetColorCount() != 0;
  BYTE flags = palette ? (BYTE)(0x80 | (((depth + 7) << 5) & 0xFF) | (depth - 1)) : (BYTE)0x11;
  PutByteChecked(stream, flags);
  PutByteChecked(stream, 0);
  PutByteChecked(stream, 0);
  if (palette) WritePalette(stream, image);
}

void CRasterImageGIF::WriteControlBlock(CRasterStream* stream, const CRasterImage& image, int disposal) {
  PutByteChecked(stream, 0x21);
  PutByteChecked(stream, 0xF9);
  PutByteChecked(stream, 4);
  PutByteChecked(stream, (BYTE)((image.IsTransparent() ? 1 : 0) | ((disposal & 7) << 2)));
  PutWord(stream, (WORD)(image.GetFrameDelay() & 0xFFFF));
  PutByteChecked(stream, (BYTE)(image.GetTransparentIndex() & 0xFF));
  PutByteChecked(stream, 0);
}

void CRasterImageGIF::WriteLoopBlock(CRasterStream* stream, int loops) {
  PutByteChecked(stream, 0x21);
  PutByteChecked(stream, 0xFF);
  PutByteChecked(stream, 11);
  WriteChecked(stream, "NETSCAPE2.0", 11);
  PutByteChecked(stream, 3);
  PutByteChecked(stream, 1);
  PutWord(stream, (WORD)(loops & 0xFFFF));
  PutByteChecked(stream, 0);
}

void CRasterImageGIF::WriteComment(CRasterStream* stream, const char* text) {
  size_t n = text ? strlen(text) : 0;
  if (n == 0) return;
  if (n > 255) n = 255;
  PutByteChecked(stream, 0x21);
  PutByteChecked(stream, 0xFE);
  PutByteChecked(stream, (BYTE)n);
  WriteChecked(stream, text, (UINT)n);
  PutByteChecked(stream, 0);
}

void CRasterImageGIF::WriteImage(CRasterStream* stream, const CRasterImage& image, bool localTable) {
  m_feedImage = &image;
  m_feedColumn = 0;
  m_feedRow = (LONG)image.GetHeight() - 1;
  m_feedLeft = (long)image.GetWidth() * (long)image.GetHeight();
  int x = 0, y = 0;
  image.GetFrameOffset(&x, &y);
  PutByteChecked(stream, 0x2C);
  PutWord(stream, (WORD)x);
  PutWord(stream, (WORD)y);
  PutWord(stream, (WORD)image.GetWidth());
  PutWord(stream, (WORD)image.GetHeight());
  int depth = image.GetBpp();
  if (localTable && image.GetColorCount()) {
    PutByteChecked(stream, (BYTE)(0x80 | (depth - 1)));
    WritePalette(stream, image);
  } else {
    PutByteChecked(stream, 0);
  }
  int codeSize = depth < 2 ? 2 : depth;
  PutByteChecked(stream, (BYTE)codeSize);
  switch (image.GetCodecFlags(RASTER_TYPE_GIF)) {
    case RASTER_GIF_UNCOMPRESSED: CompressPlain(codeSize + 1, stream); break;
    case RASTER_GIF_RUN_LENGTH: CompressRunLength(codeSize + 1, stream); break;
    default: CompressLzw(codeSize + 1, stream); break;
  }
  PutByteChecked(stream, 0);
  m_feedImage = nullptr;
}

int CRasterImageGIF::NextPixel() {
  if (m_feedLeft <= 0 || !m_feedImage) return -1;
  --m_feedLeft;
  int v = m_feedImage->GetIndexAtRaw(m_feedColumn, m_feedRow);
  if (++m_feedColumn >= (LONG)m_feedImage->GetWidth()) {
    m_feedColumn = 0;
    --m_feedRow;
  }
  return v;
}

void CRasterImageGIF::FlushPacket() {
  if (m_packetCount > 0) {
    PutByteChecked(m_out, (BYTE)m_packetCount);
    WriteChecked(m_out, m_packet, (UINT)m_packetCount);
    m_packetCount = 0;
  }
}

void CRasterImageGIF::PacketByte(BYTE value) {
  m_packet[m_packetCount++] = value;
  if (m_packetCount >= 254) FlushPacket();
}

void CRasterImageGIF::OutputCode(int code) {
  m_accum &= (unsigned long)kCodeMask[m_accumBits < 13 ? m_accumBits : 13];
  if (m_accumBits > 0)
    m_accum |= ((unsigned long)code << m_accumBits);
  else
    m_accum = (unsigned long)code;
  m_accumBits += m_nBits;
  while (m_accumBits >= 8) {
    PacketByte((BYTE)(m_accum & 0xFF));
    m_accum >>= 8;
    m_accumBits -= 8;
  }
  if (m_freeEnt > m_maxCode || m_clearFlag) {
    if (m_clearFlag) {
      m_nBits = m_initBits;
      m_maxCode = (1 << m_nBits) - 1;
      m_clearFlag = 0;
    } else {
      ++m_nBits;
      m_maxCode = m_nBits == 12 ? kMaxCodes : (1 << m_nBits) - 1;
    }
  }
  if (code == m_eofCode) {
    while (m_accumBits > 0) {
      PacketByte((BYTE)(m_accum & 0xFF));
      m_accum >>= 8;
      m_accumBits -= 8;
    }
    m_accumBits = 0;
    FlushPacket();
    m_out->Flush();
    if (m_out->HasError()) m_writeFailed = true;
  }
}

// Resets the code writer for a new image's data.
void CRasterImageGIF::StartCodes(int initBits, CRasterStream* stream) {
  m_out = stream;
  m_initBits = initBits;
  m_nBits = initBits;
  m_maxCode = (1 << m_nBits) - 1;
  m_clearCode = 1 << (initBits - 1);
  m_eofCode = m_clearCode + 1;
  m_freeEnt = m_clearCode + 2;
  m_clearFlag = 0;
  m_accum = 0;
  m_accumBits = 0;
  m_packetCount = 0;
}

void CRasterImageGIF::CompressLzw(int initBits, CRasterStream* stream) {
  StartCodes(initBits, stream);
  int shift = 0;
  for (long f = kHashSize; f < 65536; f *= 2) ++shift;
  shift = 8 - shift;
  memset(m_hashTable, 0xFF, sizeof(long) * kHashSize);  // every slot -1: empty
  long ent = NextPixel();
  OutputCode(m_clearCode);
  long c;
  while ((c = NextPixel()) >= 0) {
    long key = (c << 12) + ent;
    long slot = (c << shift) ^ ent;
    if (m_hashTable[slot] == key) {
      ent = m_codeTable[slot];
      continue;
    }
    bool found = false;
    if (m_hashTable[slot] >= 0) {
      long step = slot == 0 ? 1 : kHashSize - slot;
      do {
        if ((slot -= step) < 0) slot += kHashSize;
        if (m_hashTable[slot] == key) {
          ent = m_codeTable[slot];
          found = true;
          break;
        }
      } while (m_hashTable[slot] > 0);
    }
    if (found) continue;
    OutputCode((int)ent);
    ent = c;
    if (m_freeEnt < kMaxCodes) {
      m_codeTable[slot] = (WORD)m_freeEnt++;
      m_hashTable[slot] = key;
    } else {
      memset(m_hashTable, 0xFF, sizeof(long) * kHashSize);
      m_freeEnt = m_clearCode + 2;
      m_clearFlag = 1;
      OutputCode(m_clearCode);
    }
  }
  if (ent >= 0) OutputCode((int)ent);
  OutputCode(m_eofCode);
}

void CRasterImageGIF::CompressPlain(int initBits, CRasterStream* stream) {
  StartCodes(initBits, stream);
  OutputCode(m_clearCode);
  int c;
  while ((c = NextPixel()) >= 0) {
    OutputCode(c);
    if (m_clearFlag == 0) m_freeEnt++;
    if (m_freeEnt > kMaxCodes - 1) {
      m_freeEnt = m_clearCode + 2;
      m_clearFlag = 1;
      OutputCode(m_clearCode);
    }
  }
  OutputCode(m_eofCode);
}

// Run-length compressor: runs are sent as codes that a standard LZW decoder
// expands into runs of the same pixel, without any string table on our side.
struct CRasterImageGIF::RunLengthState {
  int pixel = -1, count = 0;
  int tablePixel = 0, tableMax = 0;
  bool justCleared = true;
  int outBits = 0, outBitsInit = 0, outCount = 0;
  int outBump = 0, outBumpInit = 0, outClear = 0, outClearInit = 0;
  int maxOutCodes = 0, codeClear = 0, codeEof = 0, baseCode = 0;
  unsigned long bits = 0;
  int bitCount = 0;
  BYTE block[255];
  int blockLength = 0;
  CRasterStream* stream = nullptr;
};

void CRasterImageGIF::RlOutput(RunLengthState& s, int code) {
  s.bits |= (unsigned long)code << s.bitCount;
  s.bitCount += s.outBits;
  while (s.bitCount >= 8) {
    s.block[s.blockLength++] = (BYTE)(s.bits & 0xFF);
    if (s.blockLength >= 255) {
      PutByteChecked(s.stream, (BYTE)s.blockLength);
      WriteChecked(s.stream, s.block, (UINT)s.blockLength);
      s.blockLength = 0;
    }
    s.bits >>= 8;
    s.bitCount -= 8;
  }
}

void CRasterImageGIF::RlDidClear(RunLengthState& s) {
  s.outBits = s.outBitsInit;
  s.outBump = s.outBumpInit;
  s.outClear = s.outClearInit;
  s.outCount = 0;
  s.tableMax = 0;
  s.justCleared = true;
}

void CRasterImageGIF::RlOutputPlain(RunLengthState& s, int code) {
  s.justCleared = false;
  RlOutput(s, code);
  s.outCount++;
  if (s.outCount >= s.outBump) {
    s.outBits++;
    s.outBump += 1 << (s.outBits - 1);
  }
  if (s.outCount >= s.outClear) {
    RlOutput(s, s.codeClear);
    RlDidClear(s);
  }
}

unsigned CRasterImageGIF::TriangleCount(unsigned count, unsigned codes) {
  unsigned cost = 0;
  unsigned per = (codes * (codes + 1)) / 2;
  while (count >= per) {
    cost += codes;
    count -= per;
  }
  if (count > 0) {
    // Integer square root by Newton's steps, then the exact triangle root.
    unsigned r = 1, v = count;
    while (v > 1) {
      v >>= 2;
      r <<= 1;
    }
    for (;;) {
      unsigned next = (r + count / r) / 2;
      if (next == r || next + 1 == r || next == r + 1) {
        r = next;
        break;
      }
      r = next;
    }
    unsigned n = r;
    while (n > 0 && n * (n + 1) >= 2 * count) n--;
    while (n * (n + 1) < 2 * count) n++;
    cost += n;
  }
  return cost;
}

void CRasterImageGIF::RlResetOutClear(RunLengthState& s) {
  s.outClear = s.outClearInit;
  if (s.outCount >= s.outClear) {
    RlOutput(s, s.codeClear);
    RlDidClear(s);
  }
}

void CRasterImageGIF::RlFlushFromClear(RunLengthState& s, int count) {
  s.outClear = s.maxOutCodes;
  s.tablePixel = s.pixel;
  int n = 1;
  while (count > 0) {
    if (n == 1) {
      s.tableMax = 1;
      RlOutputPlain(s, s.pixel);
      count--;
    } else if (count >= n) {
      s.tableMax = n;
      RlOutputPlain(s, s.baseCode + n - 2);
      count -= n;
    } else if (count == 1) {
      s.tableMax++;
      RlOutputPlain(s, s.pixel);
      count = 0;
    } else {
      s.tableMax++;
      RlOutputPlain(s, s.baseCode + count - 2);
      count = 0;
    }
    if (s.outCount == 0)
      n = 1;
    else
      n++;
  }
  RlResetOutClear(s);
}

void CRasterImageGIF::RlFlushClearOrRepeat(RunLengthState& s, int count) {
  int withClear = 1 + (int)TriangleCount((unsigned)count, (unsigned)s.maxOutCodes);
  if (withClear < count) {
    RlOutput(s, s.codeClear);
    RlDidClear(s);
    RlFlushFromClear(s, count);
  } else {
    for (; count > 0; count--) RlOutputPlain(s, s.pixel);
  }
}

void CRasterImageGIF::RlFlushWithTable(RunLengthState& s, int count) {
  int repeats = count / s.tableMax;
  int leftover = count % s.tableMax;
  int extra = leftover ? 1 : 0;
  if (s.outCount + repeats + extra > s.maxOutCodes) {
    repeats = s.maxOutCodes - s.outCount;
    leftover = count - repeats * s.tableMax;
    extra = 1 + (int)TriangleCount((unsigned)leftover, (unsigned)s.maxOutCodes);
  }
  if (1 + (int)TriangleCount((unsigned)count, (unsigned)s.maxOutCodes) < repeats + extra) {
    RlOutput(s, s.codeClear);
    RlDidClear(s);
    RlFlushFromClear(s, count);
    return;
  }
  s.outClear = s.maxOutCodes;
  for (; repeats > 0; repeats--) RlOutputPlain(s, s.baseCode + s.tableMax - 2);
  if (leftover) {
    if (s.justCleared)
      RlFlushFromClear(s, leftover);
    else if (leftover == 1)
      RlOutputPlain(s, s.pixel);
    else
      RlOutputPlain(s, s.baseCode + leftover - 2);
  }
  RlResetOutClear(s);
}

void CRasterImageGIF::RlFlush(RunLengthState& s) {
  if (s.count == 1) {
    RlOutputPlain(s, s.pixel);
  } else if (s.justCleared) {
    RlFlushFromClear(s, s.count);
  } else if (s.tableMax < 2 || s.tablePixel != s.pixel) {
    RlFlushClearOrRepeat(s, s.count);
  } else {
    RlFlushWithTable(s, s.count);
  }
  s.count = 0;
}

void CRasterImageGIF::CompressRunLength(int initBits, CRasterStream* stream) {
  RunLengthState s;
  s.stream = stream;
  s.codeClear = 1 << (initBits - 1);
  s.codeEof = s.codeClear + 1;
  s.baseCode = s.codeClear + 2;
  s.outBitsInit = initBits;
  s.outBumpInit = s.codeClear - 1;
  s.outClearInit = initBits <= 3 ? 9 : s.outBumpInit - 1;
  s.maxOutCodes = 4093 - s.codeClear;
  RlDidClear(s);
  RlOutput(s, s.codeClear);
  for (;;) {
    int c = NextPixel();
    if (s.count > 0 && c != s.pixel) RlFlush(s);
    if (c < 0) break;
    if (s.pixel == c) {
      s.count++;
    } else {
      s.pixel = c;
      s.count = 1;
    }
  }
  RlOutput(s, s.codeEof);
  if (s.bitCount > 0) {
    s.block[s.blockLength++] = (BYTE)(s.bits & 0xFF);
    if (s.blockLength >= 255) {
      PutByteChecked(stream, (BYTE)s.blockLength);
      WriteChecked(stream, s.block, (UINT)s.blockLength);
      s.blockLength = 0;
    }
  }
  if (s.blockLength > 0) {
    PutByteChecked(stream, (BYTE)s.blockLength);
    WriteChecked(stream, s.block, (UINT)s.blockLength);
  }
  stream->Flush();
  if (stream->HasError()) m_writeFailed = true;
}

bool CRasterImageGIF::FinishWrite(CRasterStream* stream) {
  PutByteChecked(stream, 0x3B);
  stream->Flush();
  if (m_writeFailed || stream->HasError()) {
    SetErrorText("Write Error in GIF file");
    return false;
  }
  return true;
}

bool CRasterImageGIF::MakeEncoderTables() {
  if (!m_hashTable) m_hashTable = new (std::nothrow) long[kHashSize];
  if (!m_codeTable) m_codeTable = new (std::nothrow) WORD[kHashSize];
  return m_hashTable && m_codeTable;
}

bool CRasterImageGIF::Encode(CRasterStream* stream) {
  if (!CanEncode(stream)) return false;
  if (!MakeEncoderTables()) {
    SetErrorText("no memory for the GIF encoder's tables");
    return false;
  }
  m_writeFailed = false;
  if (GetBpp() > 8) return EncodeTiles(stream);
  int frames = GetFrameCount() < GetFrameListLength() ? GetFrameCount() : GetFrameListLength();
  if (GetFrameCount() > 1 && m_ppFrames) return EncodeFrames(stream, m_ppFrames, frames, false, false);
  WriteHeader(stream, *this, true);
  WriteControlBlock(stream, *this, m_info.dispmeth);
  WriteComment(stream, m_comment);
  WriteImage(stream, *this, false);
  return FinishWrite(stream);
}

bool CRasterImageGIF::EncodeFrames(CRasterStream* stream, CRasterImage** frames, int count,
                                   bool localColorTables, bool ownDisposal) {
  const char* problem = nullptr;
  if (!stream) {
    problem = "invalid file pointer";
  } else if (!frames || count <= 0 || !frames[0]) {
    problem = "multipage GIF, no images!";
  } else {
    for (int k = 0; k < count && !problem; k++) {
      if (!frames[k])
        problem = "Bad image pointer";
      else if (!frames[k]->HasPixels())
        problem = "Empty image";
      else if (!frames[k]->IsIndexed())
        problem = "CRasterImageGIF::Encode cannot create animated GIFs with a true color frame. Use DecreaseBpp before";
    }
  }
  if (problem) {
    SetErrorText(problem);
    return false;
  }
  if (!MakeEncoderTables()) {
    SetErrorText("no memory for the GIF encoder's tables");
    return false;
  }
  m_writeFailed = false;
  const CRasterImage& first = *frames[0];
  WriteHeader(stream, first, true);
  if (m_loops != 1) WriteLoopBlock(stream, m_loops - 1 > 0 ? m_loops - 1 : 0);
  WriteControlBlock(stream, first, ownDisposal ? first.GetGifDisposal() : m_info.dispmeth);
  WriteComment(stream, m_comment);
  WriteImage(stream, first, false);
  for (int k = 1; k < count; k++) {
    const CRasterImage& frame = *frames[k];
    WriteControlBlock(stream, frame, ownDisposal ? frame.GetGifDisposal() : m_info.dispmeth);
    WriteImage(stream, frame, localColorTables);
  }
  return FinishWrite(stream);
}

bool CRasterImageGIF::EncodeTiles(CRasterStream* stream) {
  const LONG width = (LONG)GetWidth(), height = (LONG)GetHeight();
  WriteHeader(stream, *this, false);
  WriteComment(stream, m_comment);
  CRasterImageGIF tile;
  LONG tileW = 0, tileH = 0;
  const bool transparent = IsTransparent();
  const RGBQUAD tc = GetTransparentColor();
  for (LONG y = 0; y < height; y += 15) {
    for (LONG x = 0; x < width; x += 17) {
      LONG w = width - x < 17 ? width - x : 17;
      LONG h = height - y < 15 ? height - y : 15;
      if (w != tileW || h != tileH || !tile.HasPixels()) {
        if (!tile.Create(w, h, 8, RASTER_TYPE_UNKNOWN)) {
          SetErrorText(tile.GetErrorText());
          return false;
        }
        tileW = w;
        tileH = h;
      }
      if (transparent) {
        tile.m_info.nBkgndIndex = 0;
        tile.SetPaletteEntry(0, tc.rgbRed, tc.rgbGreen, tc.rgbBlue, 0);
      }
      for (LONG j = 0; j < h; j++) {
        for (LONG i = 0; i < w; i++) {
          RGBQUAD c = GetColorAtRaw(x + i, height - y - h + j, false);
          c.rgbReserved = 0;
          tile.SetPaletteEntry((BYTE)(1 + 17 * j + i), c);
        }
      }
      for (LONG j = 0; j < h; j++) {
        for (LONG i = 0; i < w; i++) {
          RGBQUAD c = GetColorAtRaw(x + i, height - y - h + j, false);
          c.rgbReserved = 0;
          tile.SetIndexAtRaw(i, j, tile.FindNearestPaletteIndex(c));
        }
      }
      tile.SetFrameOffset((int)x, (int)y);
      WriteControlBlock(stream, tile, tile.GetGifDisposal());
      WriteImage(stream, tile, true);
    }
  }
  return FinishWrite(stream);
}
