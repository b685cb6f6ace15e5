// PNG codec over libpng.
#pragma once

#include "imaging/image/RasterImage.h"

// PNG codec flags (the image's codec flags for RASTER_TYPE_PNG).
#define RASTER_PNG_INTERLACED 0x1   // set by the decoder for interlaced files; asks the encoder for Adam7
#define RASTER_PNG_LEVEL_MASK 0x0E  // 2: zlib level 0, 4: level 1, 6: level 9, else the default

class CRasterImagePNG : public CRasterImage {
 public:
  CRasterImagePNG() : CRasterImage(RASTER_TYPE_PNG) {}
  ~CRasterImagePNG() override {}

  bool Decode(CRasterStream* stream);
  bool Encode(CRasterStream* stream);

  // Widens a row of 2-bit pixels in place to 4-bit pixels (the row must hold the 4-bit width).
  void Expand2to4bpp(BYTE* row);

 private:
  friend class CPngDecoding;
  friend class CPngEncoding;
};
