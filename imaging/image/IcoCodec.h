// Windows icon and cursor codec: reads one entry (bitmap with AND mask, or
// embedded PNG), writes a single-image icon.
#pragma once

#include "imaging/image/RasterImage.h"

class CRasterImageICO : public CRasterImage {
 public:
  CRasterImageICO() : CRasterImage(RASTER_TYPE_ICO) {}
  ~CRasterImageICO() override {}

  bool Decode(CRasterStream* stream);
  bool Encode(CRasterStream* stream, int append = 0, int pageCount = 0);

 private:
  bool DecodeBitmap(CRasterStream* stream, LONG width, LONG height);
  void ApplyAndMask(const BYTE* mask, DWORD maskRow);

  DWORD m_offset = 0;  // where the next image's data goes in the file being written
};
