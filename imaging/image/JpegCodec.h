// JPEG codec over libjpeg (v8 interface).
#pragma once

#include "imaging/image/RasterImage.h"

// JPEG codec flags (the image's codec flags for RASTER_TYPE_JPEG).
#define RASTER_JPEG_FORCE_BASELINE 0x1
#define RASTER_JPEG_ARITH_CODE 0x2
#define RASTER_JPEG_GRAYSCALE_IN 0x4
#define RASTER_JPEG_OPTIMIZE_CODING 0x8
#define RASTER_JPEG_PROGRESSION 0x10
#define RASTER_JPEG_SMOOTHING 0x40
#define RASTER_JPEG_GRAYSCALE_OUT 0x80
#define RASTER_JPEG_QUANTIZE_COLORS 0x100
#define RASTER_JPEG_DITHER 0x200
#define RASTER_JPEG_ONE_PASS 0x400
#define RASTER_JPEG_NO_FANCY_UPSAMPLING 0x800
#define RASTER_JPEG_SAMPLING_2X1 0x1000
#define RASTER_JPEG_SAMPLING_1X1 0x2000

class CRasterImageJPEG : public CRasterImage {
 public:
  CRasterImageJPEG() : CRasterImage(RASTER_TYPE_JPEG) {}
  ~CRasterImageJPEG() override {}

  bool Decode(CRasterStream* stream);
  bool Encode(CRasterStream* stream);

  int m_smoothing = 0;   // smoothing factor used with RASTER_JPEG_SMOOTHING
  int m_ditherMode = 2;  // libjpeg dither mode used with RASTER_JPEG_DITHER (2 = Floyd-Steinberg)
};
