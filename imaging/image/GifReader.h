// Reading a GIF stream: its blocks and extensions, and the LZW decoder that
// turns an image's data into rows. One reader serves one decode of an image.
#pragma once

#include "imaging/image/RasterImage.h"

class CRasterImageGIF;

struct GifLineCursor {
  CRasterImage* image;  // target, or null while frames are only counted
  LONG row;             // stored row (bottom-up index) of the next line
};

class CGifReader {
 public:
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

  // Extensions are read into the image: its frame record, comment and loop count.
  explicit CGifReader(CRasterImageGIF& image);
  ~CGifReader();
  CGifReader(const CGifReader&) = delete;
  CGifReader& operator=(const CGifReader&) = delete;

  // The read buffer and the decoder's tables; false when memory is short.
  bool MakeTables();
  int CountFrames(CRasterStream* stream, ColorTable* global, ScreenHeader* header);
  // The size of the first image, for a screen of 0 x 0; the stream stands after the screen's colour table.
  void ReadFirstImageSize(CRasterStream* stream, ScreenHeader* header);
  bool ReadExtension(CRasterStream* stream);
  bool ReadDescriptor(CRasterStream* stream, ImageDescriptor* d);
  void ReadColorTable(CRasterStream* stream, int exponent, ColorTable* table);
  void StartFrameData(const ImageDescriptor& d);
  int LzwDecode(CRasterStream* stream, GifLineCursor* cursor, int lineWidth, int* badCodes);
  void FinishFrameData(CRasterStream* stream, long dataStart, int badCodes);

  // Graphic control record, as in the file
  BYTE m_gceFlags = 0;
  WORD m_gceDelay = 0;
  BYTE m_gceTransparent = 0;

 private:
  void LzwReset(int codeSize);
  int LzwReadSubBlock(CRasterStream* stream);
  int LzwNextCode(CRasterStream* stream);
  int NextDataByte(CRasterStream* stream);
  int StoreLine(GifLineCursor* cursor, BYTE* pixels, int length);
  long FindNextImage(CRasterStream* stream, long position);
  // The next block's introducer ('!', ',' or ';'), or -1 at the end of the
  // stream. Bytes between blocks are passed over; after a stray byte other
  // than 0 an introducer counts only once a 0 has come.
  int NextBlock(CRasterStream* stream, bool& afterZero);
  void SkipSubBlocks(CRasterStream* stream);

  CRasterImageGIF& m_image;

  // Read buffer
  BYTE* m_readBuffer = nullptr;  // 16384 bytes
  int m_readPos = 0;
  int m_readCount = 0;

  // LZW decoder
  int m_codeSize = 0, m_currSize = 0, m_clear = 0, m_ending = 0, m_newCodes = 0, m_topSlot = 0, m_slot = 0;
  int m_availBytes = 0, m_bitsLeft = 0;
  BYTE m_currentByte = 0;
  bool m_blockEnded = false;  // a zero-length sub-block ended the data
  BYTE m_subBlock[257] = {};
  BYTE* m_subBlockPtr = m_subBlock;
  BYTE* m_stack = nullptr;   // 4096
  BYTE* m_suffix = nullptr;  // 4096
  WORD* m_prefix = nullptr;  // 4096

  // Interlaced line placement
  bool m_interlaced = false;
  int m_frameHeight = 0, m_currentRow = 0, m_rowStep = 0, m_pass = 0;
};
