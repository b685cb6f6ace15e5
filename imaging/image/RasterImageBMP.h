// Windows device-independent bitmap codec, with or without a file header.
#pragma once

#include "imaging/image/RasterImage.h"

class CRasterImageBMP : public CRasterImage {
 public:
  CRasterImageBMP() : CRasterImage(RASTER_TYPE_BMP) {}
  ~CRasterImageBMP() override {}

  bool Decode(CRasterStream* stream);
  bool Encode(CRasterStream* stream);
  // Reads a core (12), info (40) or larger header into a 40-byte record; a
  // larger header with bit-field compression leaves the stream just after the
  // first 40 bytes so that its masks can be read from there.
  static bool ReadInfoHeader(CRasterStream* stream, BITMAPINFOHEADER* header);

 private:
  bool DecodeRle8(CRasterStream* stream);
  bool DecodeRle4(CRasterStream* stream);
};
