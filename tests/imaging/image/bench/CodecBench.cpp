// Decode and encode speed of the PNG, JPEG and BMP codecs against the same
// work done with libpng and libjpeg directly.
#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "imaging/image/RasterImage.h"

namespace {

// Encoders write to a file, as Save does; the bare libraries write to the same file.
FILE* Sink() {
  static FILE* f = fopen("/dev/null", "wb");
  return f;
}

// A photograph-like picture: smooth shading with a little texture.
void FillPicture(CRasterImage& img) {
  const LONG w = (LONG)img.GetWidth(), h = (LONG)img.GetHeight();
  unsigned state = 1;
  for (LONG y = 0; y < h; y++) {
    BYTE* row = img.GetRowPointer((DWORD)y);
    for (LONG x = 0; x < w; x++) {
      state = state * 1103515245u + 12345u;
      int noise = (int)((state >> 16) & 7) - 4;
      int r = (int)(x * 255 / w) + noise, g = (int)(y * 255 / h) + noise, b = (int)((x + y) * 127 / (w + h)) + 64;
      row[3 * x] = (BYTE)std::min(255, std::max(0, b));
      row[3 * x + 1] = (BYTE)std::min(255, std::max(0, g));
      row[3 * x + 2] = (BYTE)std::min(255, std::max(0, r));
    }
  }
}

std::vector<BYTE> Encoded(CRasterImage& img, int format) {
  CRasterMemoryStream out;
  out.Open();
  if (!img.Encode(&out, format)) return {};
  return std::vector<BYTE>(out.GetBuffer(), out.GetBuffer() + out.GetSize());
}

struct Fixture {
  LONG size;
  CRasterImage image;
  std::vector<BYTE> rgb;  // top-down red-green-blue rows, what the bare libraries take and give
  std::vector<BYTE> png, jpeg, bmp;
  explicit Fixture(LONG s) : size(s), image(s, s, 24, RASTER_TYPE_BMP) {
    FillPicture(image);
    rgb.resize((size_t)s * s * 3);
    for (LONG y = 0; y < s; y++) {
      const BYTE* row = image.GetRowPointer((DWORD)(s - 1 - y));
      BYTE* out = &rgb[(size_t)y * s * 3];
      for (LONG x = 0; x < s; x++) {
        out[3 * x] = row[3 * x + 2];
        out[3 * x + 1] = row[3 * x + 1];
        out[3 * x + 2] = row[3 * x];
      }
    }
    png = Encoded(image, RASTER_TYPE_PNG);
    jpeg = Encoded(image, RASTER_TYPE_JPEG);
    bmp = Encoded(image, RASTER_TYPE_BMP);
  }
};

Fixture& Get(LONG size) {
  static Fixture small(512), large(2048);
  return size == 512 ? small : large;
}

// ---- ours

void Decode(benchmark::State& state, int format, std::vector<BYTE> Fixture::*bytes) {
  Fixture& f = Get((LONG)state.range(0));
  std::vector<BYTE>& data = f.*bytes;
  for (auto _ : state) {
    CRasterMemoryStream in(data.data(), (int32_t)data.size());
    CRasterImage img;
    if (!img.Decode(&in, format)) state.SkipWithError(img.GetErrorText());
    benchmark::DoNotOptimize(img.GetPixelBlock());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * f.size * f.size * 3);
}

void Encode(benchmark::State& state, int format) {
  Fixture& f = Get((LONG)state.range(0));
  for (auto _ : state) {
    CRasterFileStream out(Sink());
    if (!f.image.Encode(&out, format)) state.SkipWithError(f.image.GetErrorText());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * f.size * f.size * 3);
}

void BM_PngDecode(benchmark::State& s) { Decode(s, RASTER_TYPE_PNG, &Fixture::png); }
void BM_PngEncode(benchmark::State& s) { Encode(s, RASTER_TYPE_PNG); }
void BM_JpegDecode(benchmark::State& s) { Decode(s, RASTER_TYPE_JPEG, &Fixture::jpeg); }
void BM_JpegEncode(benchmark::State& s) { Encode(s, RASTER_TYPE_JPEG); }
void BM_BmpDecode(benchmark::State& s) { Decode(s, RASTER_TYPE_BMP, &Fixture::bmp); }
// BMP rows go out as they are stored; into memory, so that the copy is measured.
void BM_BmpEncode(benchmark::State& state) {
  Fixture& f = Get((LONG)state.range(0));
  for (auto _ : state) {
    CRasterMemoryStream out;
    out.Open();
    if (!f.image.Encode(&out, RASTER_TYPE_BMP)) state.SkipWithError(f.image.GetErrorText());
    benchmark::DoNotOptimize(out.GetBuffer());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * f.size * f.size * 3);
}

// ---- the bare libraries

struct MemReader {
  const BYTE* data;
  size_t size, pos;
};

void PngRead(png_structp png, png_bytep out, png_size_t n) {
  MemReader* r = (MemReader*)png_get_io_ptr(png);
  if (r->pos + n > r->size) png_error(png, "short");
  memcpy(out, r->data + r->pos, n);
  r->pos += n;
}

void BM_LibpngDecode(benchmark::State& state) {
  Fixture& f = Get((LONG)state.range(0));
  for (auto _ : state) {
    std::vector<BYTE> pixels(f.rgb.size());  // a fresh picture per decode, as ours makes
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
      state.SkipWithError("libpng");
      png_destroy_read_struct(&png, &info, nullptr);
      break;
    }
    MemReader r = {f.png.data(), f.png.size(), 0};
    png_set_read_fn(png, &r, PngRead);
    png_read_info(png, info);
    png_uint_32 h = png_get_image_height(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    for (png_uint_32 y = 0; y < h; y++) png_read_row(png, &pixels[y * rowBytes], nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * f.size * f.size * 3);
}

void BM_LibpngEncode(benchmark::State& state) {
  Fixture& f = Get((LONG)state.range(0));
  for (auto _ : state) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
      state.SkipWithError("libpng");
      png_destroy_write_struct(&png, &info);
      break;
    }
    png_init_io(png, Sink());
    png_set_IHDR(png, info, (png_uint_32)f.size, (png_uint_32)f.size, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (LONG y = 0; y < f.size; y++) png_write_row(png, &f.rgb[(size_t)y * f.size * 3]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * f.size * f.size * 3);
}

void BM_LibjpegDecode(benchmark::State& state) {
  Fixture& f = Get((LONG)state.range(0));
  for (auto _ : state) {
    std::vector<BYTE> pixels(f.rgb.size());  // a fresh picture per decode, as ours makes
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, f.jpeg.data(), (unsigned long)f.jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = &pixels[(size_t)cinfo.output_scanline * cinfo.output_width * 3];
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * f.size * f.size * 3);
}

void BM_LibjpegEncode(benchmark::State& state) {
  Fixture& f = Get((LONG)state.range(0));
  for (auto _ : state) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, Sink());
    cinfo.image_width = (JDIMENSION)f.size;
    cinfo.image_height = (JDIMENSION)f.size;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, FALSE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
      JSAMPROW row = &f.rgb[(size_t)cinfo.next_scanline * f.size * 3];
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * f.size * f.size * 3);
}

// BMP has no library underneath; a copy of the same bytes is the floor.
void BM_CopyFloor(benchmark::State& state) {
  Fixture& f = Get((LONG)state.range(0));
  std::vector<BYTE> copy;
  for (auto _ : state) {
    copy.assign(f.bmp.begin(), f.bmp.end());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * f.size * f.size * 3);
}

}  // namespace

BENCHMARK(BM_PngDecode)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibpngDecode)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngEncode)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibpngEncode)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegDecode)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibjpegDecode)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegEncode)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibjpegEncode)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpDecode)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpEncode)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyFloor)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
