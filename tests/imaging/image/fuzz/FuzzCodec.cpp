// libFuzzer target: one codec (FUZZ_FORMAT: 1 BMP, 2 GIF, 3 JPEG, 4 PNG, 5 ICO; 0 automatic
// detection) on arbitrary bytes, then a re-encode of what it decoded.
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/image/RasterImage.h"

namespace {

// Work bounds of the harness, so that a run stays well under a millisecond
// and goes deep; the decoders' own size limits have tests of their own.
const uint64_t kMaxArea = 1u << 14;            // pixels of one picture decoded at all
const uint64_t kGifWorkPixels = 1u << 17;      // GIF canvas times the frames the input can hold
const size_t kGifMaxBytes = 1024;              // GIF input decoded at all
const uint64_t kRoundTripPixels = 1u << 12;    // pixels, over all frames, encoded and read back
const uint64_t kRoundTripTrueColor = 1u << 9;  // true colour is written as 17 x 15 tiles, each an image

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  std::vector<BYTE> copy(data, data + size);
  CRasterMemoryStream stream(copy.empty() ? nullptr : copy.data(), (int32_t)copy.size());
  if (copy.empty()) stream.Open();
  {
    CRasterImage probe;
    probe.SetEscape(-1);
    // A GIF screen of 0 x 0 takes its first image's size: unknown here, so skipped too.
    if (probe.Decode(&stream, FUZZ_FORMAT)) {
      const uint64_t area = (uint64_t)probe.GetWidth() * probe.GetHeight();
      if (area > kMaxArea || area == 0) return 0;
      // Every GIF frame is a whole canvas decoded (and counted) again: a
      // frame takes 12 bytes at least, so the input bounds their number.
      if (probe.GetFormat() == RASTER_TYPE_GIF && area * (size / 12 + 1) > kGifWorkPixels) return 0;
      // Damaged GIF data is searched again for images from where it began:
      // the work grows with the square of the length.
      if (probe.GetFormat() == RASTER_TYPE_GIF && size > kGifMaxBytes) return 0;
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
    const uint64_t frames = img.GetFrameListLength() > 1 ? (uint64_t)img.GetFrameListLength() : 1;
    const uint64_t budget = img.GetBpp() > 8 ? kRoundTripTrueColor : kRoundTripPixels;
    if ((uint64_t)img.GetWidth() * img.GetHeight() * frames <= budget) {
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
