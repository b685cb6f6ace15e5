// libFuzzer target: automatic format detection, every decoder in turn.
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
    // A header that names no size gives no bound either; the codec's own
    // target covers those files.
    if (probe.Decode(&stream, RASTER_TYPE_UNKNOWN) &&
        ((uint64_t)probe.GetWidth() * probe.GetHeight() > (1u << 20) || probe.GetWidth() == 0 ||
         probe.GetHeight() == 0))
      return 0;
    stream.Seek(0, SEEK_SET);
  }
  CRasterImage img;
  img.SetAllFrames(size & 1);
  bool ok = img.Decode(&stream, RASTER_TYPE_UNKNOWN);
  if (!ok && img.GetErrorText()[0] == 0) __builtin_trap();
  if (ok && img.HasPixels()) {
    // A bounded grid of samples, whatever the size.
    volatile BYTE sink = 0;
    DWORD sx = img.GetWidth() / 64 + 1, sy = img.GetHeight() / 64 + 1;
    for (DWORD y = 0; y < img.GetHeight(); y += sy)
      for (DWORD x = 0; x < img.GetWidth(); x += sx) sink = sink ^ img.GetColorAt(x, y, true).rgbGreen;
    for (int i = 0; i < img.GetFrameListLength(); i++) {
      CRasterImage* f = img.GetFrame(i);
      if (f && f->HasPixels()) sink = sink ^ f->GetColorAt(0, 0, true).rgbBlue;
    }
  }
  return 0;
}
