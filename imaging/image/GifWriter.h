// Writing a GIF89a stream: header, extensions and images, with the three
// compressors of image data (LZW, uncompressed codes, run-length codes).
// Write failures are remembered rather than stopping the writer.
#pragma once

#include "imaging/image/RasterImage.h"

class CGifWriter {
 public:
  CGifWriter() {}
  ~CGifWriter();
  CGifWriter(const CGifWriter&) = delete;
  CGifWriter& operator=(const CGifWriter&) = delete;

  // The LZW compressor's tables; false when memory is short.
  bool MakeTables();

  void WriteHeader(CRasterStream* stream, const CRasterImage& image, bool globalTable);
  void WriteControlBlock(CRasterStream* stream, const CRasterImage& image, int disposal);
  void WriteLoopBlock(CRasterStream* stream, int loops);
  void WriteComment(CRasterStream* stream, const char* text);
  // The image block, compressed as the image's GIF codec flags ask.
  void WriteImage(CRasterStream* stream, const CRasterImage& image, bool localTable);
  void PutByteChecked(CRasterStream* stream, BYTE value);
  // Something could not be written since the writer was made.
  bool Failed() const { return m_writeFailed; }

 private:
  void WritePalette(CRasterStream* stream, const CRasterImage& image);
  void PutWord(CRasterStream* stream, WORD value);
  void WriteChecked(CRasterStream* stream, const void* data, UINT length);
  int NextPixel();
  void StartCodes(int initBits, CRasterStream* stream);
  void CompressLzw(int initBits, CRasterStream* stream);
  void CompressPlain(int initBits, CRasterStream* stream);
  void CompressRunLength(int initBits, CRasterStream* stream);
  void OutputCode(int code);
  void FlushPacket();
  void PacketByte(BYTE value);

  // Run-length compressor helpers
  struct RunLengthState;
  void RlOutputPlain(RunLengthState& s, int code);
  void RlOutput(RunLengthState& s, int code);
  void RlDidClear(RunLengthState& s);
  void RlResetOutClear(RunLengthState& s);
  void RlFlushFromClear(RunLengthState& s, int count);
  void RlFlushClearOrRepeat(RunLengthState& s, int count);
  void RlFlushWithTable(RunLengthState& s, int count);
  void RlFlush(RunLengthState& s);
  static unsigned TriangleCount(unsigned count, unsigned codes);

  // Pixel feed
  const CRasterImage* m_feedImage = nullptr;
  LONG m_feedColumn = 0, m_feedRow = 0;
  long m_feedLeft = 0;

  // LZW compressor
  long* m_hashTable = nullptr;  // 5003
  WORD* m_codeTable = nullptr;  // 5003
  int m_initBits = 0, m_nBits = 0, m_maxCode = 0, m_freeEnt = 0, m_clearFlag = 0, m_clearCode = 0, m_eofCode = 0;
  unsigned long m_accum = 0;
  int m_accumBits = 0;
  CRasterStream* m_out = nullptr;
  BYTE m_packet[256] = {};
  int m_packetCount = 0;
  bool m_writeFailed = false;
};
