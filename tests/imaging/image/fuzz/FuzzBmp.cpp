// libFuzzer target: the BMP decoder on arbitrary bytes.
#include <cstdint>
#include <cstring>
#include <vector>

#include "RasterImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  std::vector<BYTE> copy(data, data + size);
  CRasterMemoryStream stream(copy.empty() ? nullptr : copy.data(), (int32_t)copy.size());
  if (copy.empty()) stream.Open();
  {
    // Header first: pictures of many megapixels only cost time here; the
    // memory limit itself has its own tests.
    CRasterImage probe;
    probe.SetEscape(-1);
    if (probe.Decode(&stream, RASTER_TYPE_BMP) &&
        (uint64_t)probe.GetWidth() * probe.GetHeight() > (1u << 20))
      return 0;
    stream.Seek(0, SEEK_SET);
  }
  CRasterImage img;
  bool ok = img.Decode(&stream, RASTER_TYPE_BMP);
  if (!ok && img.GetErrorText()[0] == 0) __builtin_trap();  // a failure must say why
  if (ok && img.HasPixels()) {
    // Touch what a caller would: pixels, alpha and a re-encode.
    // A bounded grid of samples, whatever the size.
    volatile BYTE sink = 0;
    DWORD sx = img.GetWidth() / 64 + 1, sy = img.GetHeight() / 64 + 1;
    for (DWORD y = 0; y < img.GetHeight(); y += sy)
      for (DWORD x = 0; x < img.GetWidth(); x += sx) sink = sink ^ img.GetColorAt(x, y, true).rgbRed;
    if ((uint64_t)img.GetWidth() * img.GetHeight() <= 65536) {
      CRasterMemoryStream out;
      out.Open();
      if (!img.Encode(&out, RASTER_TYPE_BMP)) __builtin_trap();
    }
  }
  return 0;
}
