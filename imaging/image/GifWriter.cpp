#include "imaging/image/GifWriter.h"

#include <cstring>
#include <new>

#include "imaging/image/GifCodec.h"

namespace {
const int kHashSize = 5003;
const int kMaxCodes = 4096;
const int kCodeMask[14] = {0, 1, 3, 7, 0x0F, 0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF};
}  // namespace

CGifWriter::~CGifWriter() {
  delete[] m_hashTable;
  delete[] m_codeTable;
}

// Run-length compressor: runs are sent as codes that a standard LZW decoder
// expands into runs of the same pixel, without any string table on our side.
struct CGifWriter::RunLengthState {
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

void CGifWriter::PutByteChecked(CRasterStream* stream, BYTE value) {
  if (!stream->PutByte(value)) m_writeFailed = true;
}

void CGifWriter::WriteChecked(CRasterStream* stream, const void* data, UINT length) {
  if (length && stream->Write(data, 1, length) != length) m_writeFailed = true;
}

void CGifWriter::PutWord(CRasterStream* stream, WORD value) {
  PutByteChecked(stream, (BYTE)(value & 0xFF));
  PutByteChecked(stream, (BYTE)(value >> 8));
}

void CGifWriter::WritePalette(CRasterStream* stream, const CRasterImage& image) {
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

void CGifWriter::WriteHeader(CRasterStream* stream, const CRasterImage& image, bool globalTable) {
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

void CGifWriter::WriteControlBlock(CRasterStream* stream, const CRasterImage& image, int disposal) {
  PutByteChecked(stream, 0x21);
  PutByteChecked(stream, 0xF9);
  PutByteChecked(stream, 4);
  PutByteChecked(stream, (BYTE)((image.IsTransparent() ? 1 : 0) | ((disposal & 7) << 2)));
  PutWord(stream, (WORD)(image.GetFrameDelay() & 0xFFFF));
  PutByteChecked(stream, (BYTE)(image.GetTransparentIndex() & 0xFF));
  PutByteChecked(stream, 0);
}

void CGifWriter::WriteLoopBlock(CRasterStream* stream, int loops) {
  PutByteChecked(stream, 0x21);
  PutByteChecked(stream, 0xFF);
  PutByteChecked(stream, 11);
  WriteChecked(stream, "NETSCAPE2.0", 11);
  PutByteChecked(stream, 3);
  PutByteChecked(stream, 1);
  PutWord(stream, (WORD)(loops & 0xFFFF));
  PutByteChecked(stream, 0);
}

void CGifWriter::WriteComment(CRasterStream* stream, const char* text) {
  size_t n = text ? strlen(text) : 0;
  if (n == 0) return;
  if (n > 255) n = 255;
  PutByteChecked(stream, 0x21);
  PutByteChecked(stream, 0xFE);
  PutByteChecked(stream, (BYTE)n);
  WriteChecked(stream, text, (UINT)n);
  PutByteChecked(stream, 0);
}

void CGifWriter::WriteImage(CRasterStream* stream, const CRasterImage& image, bool localTable) {
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
    case RASTER_GIF_UNCOMPRESSED:
      CompressPlain(codeSize + 1, stream);
      break;
    case RASTER_GIF_RUN_LENGTH:
      CompressRunLength(codeSize + 1, stream);
      break;
    default:
      CompressLzw(codeSize + 1, stream);
      break;
  }
  PutByteChecked(stream, 0);
  m_feedImage = nullptr;
}

int CGifWriter::NextPixel() {
  if (m_feedLeft <= 0 || !m_feedImage) return -1;
  --m_feedLeft;
  int v = m_feedImage->GetIndexAtRaw(m_feedColumn, m_feedRow);
  if (++m_feedColumn >= (LONG)m_feedImage->GetWidth()) {
    m_feedColumn = 0;
    --m_feedRow;
  }
  return v;
}

void CGifWriter::FlushPacket() {
  if (m_packetCount > 0) {
    PutByteChecked(m_out, (BYTE)m_packetCount);
    WriteChecked(m_out, m_packet, (UINT)m_packetCount);
    m_packetCount = 0;
  }
}

void CGifWriter::PacketByte(BYTE value) {
  m_packet[m_packetCount++] = value;
  if (m_packetCount >= 254) FlushPacket();
}

void CGifWriter::OutputCode(int code) {
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
void CGifWriter::StartCodes(int initBits, CRasterStream* stream) {
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

void CGifWriter::CompressLzw(int initBits, CRasterStream* stream) {
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

void CGifWriter::CompressPlain(int initBits, CRasterStream* stream) {
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

void CGifWriter::RlOutput(RunLengthState& s, int code) {
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

void CGifWriter::RlDidClear(RunLengthState& s) {
  s.outBits = s.outBitsInit;
  s.outBump = s.outBumpInit;
  s.outClear = s.outClearInit;
  s.outCount = 0;
  s.tableMax = 0;
  s.justCleared = true;
}

void CGifWriter::RlOutputPlain(RunLengthState& s, int code) {
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

unsigned CGifWriter::TriangleCount(unsigned count, unsigned codes) {
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

void CGifWriter::RlResetOutClear(RunLengthState& s) {
  s.outClear = s.outClearInit;
  if (s.outCount >= s.outClear) {
    RlOutput(s, s.codeClear);
    RlDidClear(s);
  }
}

void CGifWriter::RlFlushFromClear(RunLengthState& s, int count) {
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

void CGifWriter::RlFlushClearOrRepeat(RunLengthState& s, int count) {
  int withClear = 1 + (int)TriangleCount((unsigned)count, (unsigned)s.maxOutCodes);
  if (withClear < count) {
    RlOutput(s, s.codeClear);
    RlDidClear(s);
    RlFlushFromClear(s, count);
  } else {
    for (; count > 0; count--) RlOutputPlain(s, s.pixel);
  }
}

void CGifWriter::RlFlushWithTable(RunLengthState& s, int count) {
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

void CGifWriter::RlFlush(RunLengthState& s) {
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

void CGifWriter::CompressRunLength(int initBits, CRasterStream* stream) {
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

bool CGifWriter::MakeTables() {
  if (!m_hashTable) m_hashTable = new (std::nothrow) long[kHashSize];
  if (!m_codeTable) m_codeTable = new (std::nothrow) WORD[kHashSize];
  return m_hashTable && m_codeTable;
}
