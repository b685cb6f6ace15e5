// libFuzzer target: one codec (FUZZ_FORMAT: 1 BMP, 2 GIF, 3 JPEG, 4 PNG, 5 ICO; 0 automatic
// detection) on arbitrary bytes, then a re-encode of what it decoded.
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
    // Pictures of many megapixels only cost time here; the memory limit has tests of its own.
    CRasterImage probe;
    probe.SetEscape(-1);
    // A GIF screen of 0 x 0 takes its first image's size: unknown here, so skipped too.
    if (probe.Decode(&stream, FUZZ_FORMAT)) {
      // A quarter of a megapixel at most: one input never makes more than a
      // few megabytes, and the run stays fast enough to go deep.
      uint64_t area = (uint64_t)probe.GetWidth() * probe.GetHeight();
      if (area > (1u << 18) || area == 0) return 0;
    }
    stream.Seek(0, SEEK_SET);
  }
  CRasterImage img;
  img.SetAllFrames(size & 1);  // every other input also keeps all GIF frames
  bool ok = img.Decode(&stream, FUZZ_FORMAT);
  if (!ok && img.GetErrorText()[0] == 0) __builtin_trap();  // a failure must say why
  if (ok) {
    if (!img.HasPixels()) __builtin_trap();
    if ((uint64_t)img.GetWidth() * img.GetHeight() > (1u << 22)) return 0;
    volatile BYTE sink = 0;
    for (DWORD y = 0; y < img.GetHeight(); y += 5)
      for (DWORD x = 0; x < img.GetWidth(); x += 5) sink ^= img.GetColorAt(x, y, true).rgbRed;
    for (int i = 0; i < img.GetFrameListLength(); i++)
      if (CRasterImage* f = img.GetFrame(i)) sink ^= f->GetColorAt(0, 0, true).rgbGreen;
    (void)sink;
    if ((uint64_t)img.GetWidth() * img.GetHeight() <= 65536) {
      CRasterMemoryStream out;
      out.Open();
      if (img.Encode(&out, FUZZ_FORMAT)) {
        std::vector<BYTE> bytes(out.GetBuffer(), out.GetBuffer() + out.GetSize());
        CRasterMemoryStream in(bytes.data(), (int32_t)bytes.size());
        CRasterImage back;
        if (!back.Decode(&in, FUZZ_FORMAT)) __builtin_trap();  // what we write we read
      } else if (img.GetErrorText()[0] == 0) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
