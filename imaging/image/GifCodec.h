// GIF codec: GIF87a/89a decoder (frame composition, tiled true-colour files)
// and GIF89a encoder (single image, animation, true-colour tiles).
#pragma once

#include "RasterImage.h"

// GIF codec flags (the image's codec flags for RASTER_TYPE_GIF): the compressor.
#define RASTER_GIF_LZW 0
#define RASTER_GIF_UNCOMPRESSED 1
#define RASTER_GIF_RUN_LENGTH 2

struct GifLineCursor {
  CRasterImage* image;  // target, or null while frames are only counted
  LONG row;             // stored row (bottom-up index) of the next line
};

class CRasterImageGIF : public CRasterImage {
public:
  CRasterImageGIF();
  ~CRasterImageGIF() override;

  bool Decode(CRasterStream* stream);
  bool Encode(CRasterStream* stream);
  bool EncodeFrames(CRasterStream* stream, CRasterImage** frames, int count, bool localColorTables,
                    bool ownDisposal);
  bool EncodeTiles(CRasterStream* stream);

  void SetLoopCount(int loops) { m_loops = loops; }
  int GetLoopCount() const { return m_loops; }
  void SetComment(const char* text);
  const char* GetComment() const { return m_comment; }

private:
  struct ScreenHeader {
    WORD width, height;
    BYTE flags, background, aspect;
  };
  struct ImageDescriptor {
    WORD left, top, width, height;
    BYTE flags;
  };
  struct ColorTable {
    int count;
    BYTE rgb[256 * 3];
  };

  // Decoder
  int CountFrames(CRasterStream* stream, ColorTable* global, ScreenHeader* header);
  bool ReadExtension(CRasterStream* stream);
  bool ReadDescriptor(CRasterStream* stream, ImageDescriptor* d);
  void ReadColorTable(CRasterStream* stream, int exponent, ColorTable* table);
  int LzwDecode(CRasterStream* stream, GifLineCursor* cursor, int lineWidth, int* badCodes);
  void LzwReset(int codeSize);
  int LzwReadSubBlock(CRasterStream* stream);
  int LzwNextCode(CRasterStream* stream);
  int NextDataByte(CRasterStream* stream);
  int StoreLine(GifLineCursor* cursor, BYTE* pixels, int length);
  long FindNextImage(CRasterStream* stream, long position);
  void FinishFrameData(CRasterStream* stream, long dataStart, int badCodes);
  void SkipSubBlocks(CRasterStream* stream);
  static void PasteFrame(CRasterImage& canvas, const CRasterImage& frame, const ImageDescriptor& d);
  void StartFrameData(const ImageDescriptor& d);

  // Encoder
  void WriteHeader(CRasterStream* stream, const CRasterImage& image, bool globalTable);
  void WriteControlBlock(CRasterStream* stream, const CRasterImage& image, int disposal);
  void WriteLoopBlock(CRasterStream* stream, int loops);
  void WriteComment(CRasterStream* stream, const char* text);
  void WriteImage(CRasterStream* stream, const CRasterImage& image, bool localTable);
  void WritePalette(CRasterStream* stream, const CRasterImage& image);
  void PutWord(CRasterStream* stream, WORD value);
  void PutByteChecked(CRasterStream* stream, BYTE value);
  void WriteChecked(CRasterStream* stream, const void* data, UINT length);
  int NextPixel();
  void StartCodes(int initBits, CRasterStream* stream);
  void CompressLzw(int initBits, CRasterStream* stream);
  void CompressPlain(int initBits, CRasterStream* stream);
  void CompressRunLength(int initBits, CRasterStream* stream);
  void OutputCode(int code);
  void FlushPacket();
  void PacketByte(BYTE value);
  bool FinishWrite(CRasterStream* stream);

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

  // Graphic control record, as in the file
  BYTE m_gceFlags;
  WORD m_gceDelay;
  BYTE m_gceTransparent;

  // Read buffer
  BYTE* m_readBuffer;  // 16384 bytes
  int m_readPos;
  int m_readCount;

  // LZW decoder
  int m_codeSize, m_currSize, m_clear, m_ending, m_newCodes, m_topSlot, m_slot;
  int m_availBytes, m_bitsLeft;
  BYTE m_currentByte;
  bool m_blockEnded;  // a zero-length sub-block ended the data
  BYTE m_subBlock[257];
  BYTE* m_subBlockPtr;
  BYTE* m_stack;   // 4096
  BYTE* m_suffix;  // 4096
  WORD* m_prefix;  // 4096

  // Interlaced line placement
  bool m_interlaced;
  int m_frameHeight, m_currentRow, m_rowStep, m_pass;

  char m_comment[256];
  int m_loops;

  // Pixel feed of the encoder
  const CRasterImage* m_feedImage;
  LONG m_feedColumn, m_feedRow;
  long m_feedLeft;

  // LZW compressor
  bool MakeDecoderTables();
  bool MakeEncoderTables();
  long* m_hashTable;   // 5003, made by the first encode
  WORD* m_codeTable;   // 5003
  int m_initBits, m_nBits, m_maxCode, m_freeEnt, m_clearFlag, m_clearCode, m_eofCode;
  unsigned long m_accum;
  int m_accumBits;
  CRasterStream* m_out;
  BYTE m_packet[256];
  int m_packetCount;
  bool m_writeFailed;
};
