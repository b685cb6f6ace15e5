// GIF codec: GIF87a/89a decoder (frame composition, tiled true-colour files)
// and GIF89a encoder (single image, animation, true-colour tiles).
#pragma once

#include "imaging/image/RasterImage.h"

class CGifReader;
class CGifWriter;

// GIF codec flags (the image's codec flags for RASTER_TYPE_GIF): the compressor.
#define RASTER_GIF_LZW 0
#define RASTER_GIF_UNCOMPRESSED 1
#define RASTER_GIF_RUN_LENGTH 2

class CRasterImageGIF : public CRasterImage {
 public:
  CRasterImageGIF();
  ~CRasterImageGIF() override;

  bool Decode(CRasterStream* stream);
  bool Encode(CRasterStream* stream);
  bool EncodeFrames(CRasterStream* stream, CRasterImage** frames, int count, bool localColorTables, bool ownDisposal);
  bool EncodeTiles(CRasterStream* stream);

  void SetLoopCount(int loops) { m_loops = loops; }
  int GetLoopCount() const { return m_loops; }
  void SetComment(const char* text);
  const char* GetComment() const { return m_comment; }

 private:
  friend class CGifReader;    // reads extensions into the frame record, comment and loop count
  friend class CGifDecoding;  // decodes the frames into the image

  bool MakeWriterTables(CGifWriter& writer);
  // The trailer; false, with the error text set, when anything failed to be written.
  bool FinishWrite(CGifWriter& writer, CRasterStream* stream);

  char m_comment[256];
  int m_loops = 0;
};
