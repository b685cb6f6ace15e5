#include "imaging/image/PngCodec.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

namespace {

void PngReadCallback(png_structp png, png_bytep data, png_size_t length) {
  CRasterStream* stream = static_cast<CRasterStream*>(png_get_io_ptr(png));
  if (length > 0xFFFFFFFFu || stream->Read(data, 1, (UINT)length) != length) png_error(png, "Read Error");
}

void PngWriteCallback(png_structp png, png_bytep data, png_size_t length) {
  CRasterStream* stream = static_cast<CRasterStream*>(png_get_io_ptr(png));
  if (length > 0xFFFFFFFFu || stream->Write(data, 1, (UINT)length) != length) png_error(png, "Write Error");
}

void PngFlushCallback(png_structp png) {
  CRasterStream* stream = static_cast<CRasterStream*>(png_get_io_ptr(png));
  if (!stream->Flush()) png_error(png, "Flush Error");
}

// Keeps libpng's message as the image's error text and returns to the codec.
void PngErrorCallback(png_structp png, png_const_charp message) {
  char* text = static_cast<char*>(png_get_error_ptr(png));
  if (text) {
    size_t n = message ? strlen(message) : 0;
    if (n > 255) n = 255;
    if (n) memcpy(text, message, n);
    text[n] = 0;
  }
  png_longjmp(png, 1);
}

// Warnings do not concern the user of a desktop program.
void PngWarningCallback(png_structp, png_const_charp) {}

// The info structure of a read or write structure just made; false, with the
// image's error text set, when either is missing.
bool CreateInfo(CRasterImage& image, png_structp png, png_infop& info) {
  if (!png) {
    image.SetErrorText("Failed to create PNG structure");
    return false;
  }
  info = png_create_info_struct(png);
  if (!info) {
    image.SetErrorText("Failed to initialize PNG info structure");
    return false;
  }
  return true;
}

}  // namespace

void CRasterImagePNG::Expand2to4bpp(BYTE* row) {
  DWORD width = GetWidth();
  for (DWORD n = width; n-- > 0;) {
    BYTE v = (BYTE)((row[n >> 2] >> (6 - 2 * (n & 3))) & 3);
    BYTE& target = row[n >> 1];
    if (n & 1)
      target = (BYTE)((target & 0xF0) | v);
    else
      target = (BYTE)((target & 0x0F) | (v << 4));
  }
}

// ---------------------------------------------------------------------------
// Decoding

// One read of a PNG stream into the image. libpng's errors come back to Run
// by a long jump: the steps keep no objects with destructors on the stack.
class CPngDecoding {
 public:
  CPngDecoding(CRasterImagePNG& image, CRasterStream* stream) : m_image(image), m_stream(stream) {}
  ~CPngDecoding() {
    free(m_row);
    if (m_png) png_destroy_read_struct(&m_png, m_pngInfo ? &m_pngInfo : nullptr, nullptr);
  }
  CPngDecoding(const CPngDecoding&) = delete;
  CPngDecoding& operator=(const CPngDecoding&) = delete;

  bool Run();

 private:
  bool CreateReader();
  void ConfigureReader();
  // The image's size alone (a header-only read).
  void TakeSize();
  // The image made for the file's pixels (1, 4 or 8 bits for one channel, 8
  // for grey with alpha, else 24).
  void CreateImage();
  void ReadResolution();
  void ReadPalette();
  void ReadTransparency();
  // The alpha mask, BGR order, the row buffer and the interlace flag.
  void PrepareRows();
  void ReadRows();
  // One row of a file with alpha: colour and alpha apart. Later passes of an
  // interlaced file start from what the row holds.
  void ReadAlphaRow(int pass, BYTE* target, BYTE* alpha);
  // One row of samples wider than a byte, or wider than the stored row.
  void ReadWideRow(int pass, BYTE* target);

  CRasterImagePNG& m_image;
  CRasterStream* m_stream;
  png_structp m_png = nullptr;
  png_infop m_pngInfo = nullptr;
  BYTE* m_row = nullptr;
  png_uint_32 m_width = 0, m_height = 0;
  int m_bitDepth = 0, m_colorType = 0, m_channels = 0, m_paletteCount = 0, m_passes = 1;
  size_t m_fileRowBytes = 0;
};

bool CPngDecoding::Run() {
  if (!CreateReader()) return false;
  if (setjmp(png_jmpbuf(m_png))) return false;
  ConfigureReader();
  png_read_info(m_png, m_pngInfo);
  int interlace = 0;
  png_get_IHDR(m_png, m_pngInfo, &m_width, &m_height, &m_bitDepth, &m_colorType, &interlace, nullptr, nullptr);
  if (m_image.m_info.nEscape == -1) {
    TakeSize();
    return true;
  }
  CreateImage();
  ReadResolution();
  ReadPalette();
  ReadTransparency();
  PrepareRows();
  ReadRows();
  free(m_row);
  m_row = nullptr;
  png_read_end(m_png, nullptr);
  return true;
}

bool CPngDecoding::CreateReader() {
  m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  return CreateInfo(m_image, m_png, m_pngInfo);
}

void CPngDecoding::ConfigureReader() {
  png_set_read_fn(m_png, m_stream, PngReadCallback);
  png_set_error_fn(m_png, m_image.m_info.szLastError, PngErrorCallback, PngWarningCallback);
  // A damaged chunk length must not make libpng allocate gigabytes.
  png_set_chunk_malloc_max(m_png, 32u * 1024u * 1024u);
  png_set_chunk_cache_max(m_png, 10000);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  // Mutated chunks would nearly all fail their checksums and stop before the decoder.
  png_set_crc_action(m_png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
  png_set_option(m_png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
#endif
  // Text, profiles and the like are never used: skipped unread, whatever length they claim.
  static const png_byte kSkipped[] = {'i', 'C', 'C', 'P', 0, 'i', 'T', 'X', 't', 0, 't', 'E', 'X', 't', 0,
                                      'z', 'T', 'X', 't', 0, 's', 'P', 'L', 'T', 0, 'e', 'X', 'I', 'f', 0,
                                      'h', 'I', 'S', 'T', 0, 'p', 'C', 'A', 'L', 0, 's', 'C', 'A', 'L', 0,
                                      't', 'I', 'M', 'E', 0, 's', 'B', 'I', 'T', 0, 'c', 'H', 'R', 'M', 0};
  png_set_keep_unknown_chunks(m_png, PNG_HANDLE_CHUNK_NEVER, kSkipped, (int)(sizeof(kSkipped) / 5));
  png_set_keep_unknown_chunks(m_png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
}

void CPngDecoding::TakeSize() {
  m_image.m_head.biWidth = (LONG)m_width;
  m_image.m_head.biHeight = (LONG)m_height;
  m_image.m_info.nFormat = RASTER_TYPE_PNG;
}

void CPngDecoding::CreateImage() {
  switch (m_colorType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
      m_channels = 1;
      break;
    case PNG_COLOR_TYPE_RGB:
      m_channels = 3;
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      m_channels = 2;
      break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      m_channels = 4;
      break;
    default:
      m_image.SetErrorText("unknown PNG color type");
      png_longjmp(m_png, 1);
  }
  const int pixelDepth = m_bitDepth * m_channels;
  const int depth = m_channels == 1 ? (pixelDepth > 8 ? 8 : pixelDepth) : m_channels == 2 ? 8 : 24;
  if (!m_image.Create((LONG)m_width, (LONG)m_height, depth, RASTER_TYPE_PNG)) png_longjmp(m_png, 1);
}

void CPngDecoding::ReadResolution() {
  png_uint_32 resX = 0, resY = 0;
  int unit = -1;
  if (!png_get_pHYs(m_png, m_pngInfo, &resX, &resY, &unit)) return;
  if (unit == PNG_RESOLUTION_UNKNOWN) {
    m_image.SetHorizontalDpi((int)resX);
    m_image.SetVerticalDpi((int)resY);
  } else if (unit == PNG_RESOLUTION_METER) {
    m_image.SetHorizontalDpi((int)(resX * 0.025400000000000002 + 0.5));
    m_image.SetVerticalDpi((int)(resY * 0.025400000000000002 + 0.5));
  }
}

void CPngDecoding::ReadPalette() {
  png_colorp palette = nullptr;
  if (png_get_PLTE(m_png, m_pngInfo, &palette, &m_paletteCount) && m_paletteCount > 0) {
    for (int i = 0; i < m_paletteCount && i < (int)m_image.GetColorCount(); i++)
      m_image.SetPaletteEntry((BYTE)i, palette[i].red, palette[i].green, palette[i].blue, 0);
    m_image.SetImportantColors((DWORD)m_paletteCount);
  } else if (m_bitDepth == 2) {
    for (int i = 0; i < 4; i++) m_image.SetPaletteEntry((BYTE)i, (BYTE)(85 * i), (BYTE)(85 * i), (BYTE)(85 * i), 0);
  } else {
    m_image.MakeGrayPalette();
  }
}

void CPngDecoding::ReadTransparency() {
  CRasterImageAttributes& attributes = m_image.m_info;
  png_bytep transAlpha = nullptr;
  int transCount = 0;
  png_color_16p transColor = nullptr;
  const int shift = m_bitDepth == 16 ? 8 : 0;
  if (!png_get_tRNS(m_png, m_pngInfo, &transAlpha, &transCount, &transColor)) return;
  if (transCount == 1) {
    if (m_colorType == PNG_COLOR_TYPE_PALETTE)
      attributes.nBkgndIndex = transColor ? transColor->index : 0;
    else if (transColor)
      attributes.nBkgndIndex = transColor->gray >> shift;
  } else if (transCount > 1 && m_paletteCount > 0 && transAlpha) {
    RGBQUAD* pal = m_image.GetPaletteData();
    const int n = (int)m_image.GetColorCount();
    for (int i = 0; i < n; i++) pal[i].rgbReserved = (i < m_paletteCount && i < transCount) ? transAlpha[i] : 255;
    attributes.bAlphaPaletteEnabled = 1;
    attributes.last_c_isvalid = 0;
  }
  if (m_channels == 3 && transColor) {
    RGBQUAD c;
    c.rgbRed = (BYTE)(transColor->red >> shift);
    c.rgbGreen = (BYTE)(transColor->green >> shift);
    c.rgbBlue = (BYTE)(transColor->blue >> shift);
    c.rgbReserved = 0;
    attributes.nBkgndColor = c;
    attributes.nBkgndIndex = 0;
  }
}

void CPngDecoding::PrepareRows() {
  if (m_colorType == PNG_COLOR_TYPE_GRAY_ALPHA || m_colorType == PNG_COLOR_TYPE_RGB_ALPHA) {
    if (!m_image.CreateAlphaMask()) {
      m_image.SetErrorText("no memory for the PNG's alpha mask");
      png_longjmp(m_png, 1);
    }
  }
  if (m_colorType & PNG_COLOR_MASK_COLOR) png_set_bgr(m_png);

  if (m_image.m_info.nEscape) png_longjmp(m_png, 1);

  m_fileRowBytes = png_get_rowbytes(m_png, m_pngInfo);
  m_row = (BYTE*)malloc(m_fileRowBytes + 8);
  if (!m_row) {
    m_image.SetErrorText("no memory for a PNG row");
    png_longjmp(m_png, 1);
  }
  memset(m_row, 0, m_fileRowBytes + 8);
  m_passes = png_set_interlace_handling(m_png);
  DWORD& flags = m_image.m_info.dwCodecOpt[RASTER_TYPE_PNG];
  if (m_passes > 1)
    flags |= RASTER_PNG_INTERLACED;
  else
    flags &= ~(DWORD)RASTER_PNG_INTERLACED;
}

void CPngDecoding::ReadRows() {
  const LONG w = (LONG)m_width;
  const DWORD imageRow = m_image.GetRowBytes();
  for (int pass = 0; pass < m_passes; pass++) {
    for (png_uint_32 y = 0; y < m_height; y++) {
      if (m_image.m_info.nEscape) png_longjmp(m_png, 1);
      LONG stored = (LONG)(m_height - 1 - y);
      BYTE* target = m_image.GetRowPointer((DWORD)stored);
      BYTE* alpha = m_image.m_pAlpha ? m_image.m_pAlpha + (size_t)stored * (size_t)w : nullptr;
      if (alpha) {
        ReadAlphaRow(pass, target, alpha);
      } else if (m_bitDepth <= 8 && m_fileRowBytes <= imageRow) {
        // Samples of a byte or less go straight into the stored row; for
        // interlaced files libpng adds each pass to what the row holds.
        png_read_row(m_png, target, nullptr);
        if (m_bitDepth == 2 && pass == m_passes - 1) m_image.Expand2to4bpp(target);
      } else {
        ReadWideRow(pass, target);
      }
    }
  }
}

void CPngDecoding::ReadAlphaRow(int pass, BYTE* target, BYTE* alpha) {
  const int s = m_bitDepth / 8;  // 1 or 2 for samples of whole bytes
  const int channels = m_channels;
  const LONG w = (LONG)m_width;
  BYTE* row = m_row;
  if (pass > 0) {
    for (LONG x = 0; x < w; x++) {
      BYTE* p = row + (size_t)x * channels * s;
      if (channels == 2) {
        p[0] = target[x];
        p[s] = alpha[x];
      } else {
        p[0] = target[3 * x];
        p[s] = target[3 * x + 1];
        p[2 * s] = target[3 * x + 2];
        p[3 * s] = alpha[x];
      }
    }
  }
  png_read_row(m_png, row, nullptr);
  for (LONG x = 0; x < w; x++) {
    const BYTE* p = row + (size_t)x * channels * s;
    if (channels == 2) {
      target[x] = p[0];
      alpha[x] = p[s];
    } else {
      target[3 * x] = p[0];
      target[3 * x + 1] = p[s];
      target[3 * x + 2] = p[2 * s];
      alpha[x] = p[3 * s];
    }
  }
}

void CPngDecoding::ReadWideRow(int pass, BYTE* target) {
  const DWORD imageRow = m_image.GetRowBytes();
  BYTE* row = m_row;
  size_t usable = m_bitDepth == 16 ? m_fileRowBytes / 2 : m_fileRowBytes;
  size_t copy = usable < imageRow ? usable : imageRow;
  if (pass > 0) {
    if (m_bitDepth == 16)
      for (size_t i = 0; i < copy; i++) row[2 * i] = target[i];
    else
      memcpy(row, target, copy);
  }
  png_read_row(m_png, row, nullptr);
  if (m_bitDepth == 16)
    for (size_t i = 0; i < usable; i++) row[i] = row[2 * i];
  memcpy(target, row, copy);
  if (m_bitDepth == 2 && pass == m_passes - 1) m_image.Expand2to4bpp(target);
}

bool CRasterImagePNG::Decode(CRasterStream* stream) {
  if (!stream) return false;
  CPngDecoding decoding(*this, stream);
  return decoding.Run();
}

// ---------------------------------------------------------------------------
// Encoding

// One write of the image as a PNG stream. libpng's errors come back to Run by
// a long jump. Everything that changes the image is undone on the way out, so
// that a failed save leaves it exactly as it was.
class CPngEncoding {
 public:
  CPngEncoding(CRasterImagePNG& image, CRasterStream* stream) : m_image(image), m_stream(stream) {}
  ~CPngEncoding() {
    RestorePalette();
    free(m_row);
    free(m_paletteCopy);
    if (m_png) png_destroy_write_struct(&m_png, m_pngInfo ? &m_pngInfo : nullptr);
  }
  CPngEncoding(const CPngEncoding&) = delete;
  CPngEncoding& operator=(const CPngEncoding&) = delete;

  bool Run();

 private:
  bool CreateWriter();
  // Sample layout: colour type, channels and bit depth, alpha.
  void ChooseLayout();
  void SetCompressionLevel();
  // Background, resolution and the header chunk.
  void WriteHeaderChunks();
  // The transparent entry (moved to index 0 of a palette), the palette and
  // the alpha values of its entries.
  void SetPaletteAndTransparency();
  void WriteRows();
  void WriteAlphaRow(LONG y, const BYTE* src);
  // A 24-bit image with an alpha mask and a transparent colour: that colour's
  // pixels become transparent in the mask too, as in the file.
  void ClearTransparentAlpha();
  void RestorePalette() {
    if (m_swappedIndex > 0) m_image.SwapPaletteEntries(0, (BYTE)m_swappedIndex);
    m_swappedIndex = -1;
  }

  CRasterImagePNG& m_image;
  CRasterStream* m_stream;
  png_structp m_png = nullptr;
  png_infop m_pngInfo = nullptr;
  png_colorp m_paletteCopy = nullptr;
  BYTE* m_row = nullptr;
  int m_swappedIndex = -1;
  LONG m_width = 0, m_height = 0;
  int m_channels = 0, m_bitDepth = 0, m_colorType = 0;
  bool m_indexed = false, m_gray = false, m_withAlpha = false, m_transparent = false, m_clearTransparent = false;
  RGBQUAD m_tc = {};
};

bool CPngEncoding::Run() {
  if (!CreateWriter()) return false;
  if (setjmp(png_jmpbuf(m_png))) {
    m_image.SetErrorText("Error saving PNG file");
    return false;
  }
  png_set_error_fn(m_png, nullptr, PngErrorCallback, PngWarningCallback);
  png_set_write_fn(m_png, m_stream, PngWriteCallback, PngFlushCallback);
  ChooseLayout();
  SetCompressionLevel();
  WriteHeaderChunks();
  SetPaletteAndTransparency();
  WriteRows();
  png_write_end(m_png, m_pngInfo);
  RestorePalette();
  if (m_clearTransparent) ClearTransparentAlpha();
  return true;
}

bool CPngEncoding::CreateWriter() {
  m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  return CreateInfo(m_image, m_png, m_pngInfo);
}

void CPngEncoding::ChooseLayout() {
  m_width = m_image.m_head.biWidth;
  m_height = m_image.m_head.biHeight;
  const int pixelDepth = m_image.GetBpp();
  m_channels = pixelDepth <= 8 ? 1 : 3;
  m_bitDepth = pixelDepth / m_channels;
  m_indexed = m_image.GetColorCount() != 0;
  m_gray = m_indexed && m_image.IsGrayPalette();
  m_colorType = m_indexed ? (m_gray ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE) : PNG_COLOR_TYPE_RGB;
  m_withAlpha = m_image.HasAlpha();
  if (m_withAlpha) {
    m_colorType += 4;
    m_channels++;
    m_bitDepth = 8;
  }
  m_transparent = m_image.m_info.nBkgndIndex >= 0;
  m_tc = m_image.GetTransparentColor();
  m_clearTransparent = m_withAlpha && !m_indexed && m_transparent;
}

void CPngEncoding::SetCompressionLevel() {
  switch (m_image.m_info.dwCodecOpt[RASTER_TYPE_PNG] & RASTER_PNG_LEVEL_MASK) {
    case 2:
      png_set_compression_level(m_png, 0);
      break;
    case 4:
      png_set_compression_level(m_png, 1);
      break;
    case 6:
      png_set_compression_level(m_png, 9);
      break;
    default:
      break;
  }
}

void CPngEncoding::WriteHeaderChunks() {
  const CRasterImageAttributes& attributes = m_image.m_info;
  const int interlace =
      (attributes.dwCodecOpt[RASTER_TYPE_PNG] & RASTER_PNG_INTERLACED) ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
  png_color_16 background;
  memset(&background, 0, sizeof(background));
  if (m_transparent) {
    background.index = (png_byte)attributes.nBkgndIndex;
    background.red = m_tc.rgbRed;
    background.green = m_tc.rgbGreen;
    background.blue = m_tc.rgbBlue;
    background.gray = (png_uint_16)attributes.nBkgndIndex;
  } else {
    background.red = background.green = background.blue = 255;
  }
  png_set_bKGD(m_png, m_pngInfo, &background);
  png_set_pHYs(m_png, m_pngInfo, (png_uint_32)m_image.m_head.biXPelsPerMeter,
               (png_uint_32)m_image.m_head.biYPelsPerMeter, PNG_RESOLUTION_METER);
  png_set_IHDR(m_png, m_pngInfo, (png_uint_32)m_width, (png_uint_32)m_height, m_bitDepth, m_colorType, interlace,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
}

void CPngEncoding::SetPaletteAndTransparency() {
  const CRasterImageAttributes& attributes = m_image.m_info;
  png_byte transValues[256];
  int transCount = 0;
  png_color_16 transColor;
  memset(&transColor, 0, sizeof(transColor));
  if (m_transparent) {
    transValues[0] = 0;
    transCount = 1;
    transColor.index = (png_byte)attributes.nBkgndIndex;
    transColor.red = m_tc.rgbRed;
    transColor.green = m_tc.rgbGreen;
    transColor.blue = m_tc.rgbBlue;
    transColor.gray = (png_uint_16)attributes.nBkgndIndex;
    if (m_colorType == PNG_COLOR_TYPE_PALETTE && attributes.nBkgndIndex > 0) {
      m_image.SwapPaletteEntries(0, (BYTE)attributes.nBkgndIndex);
      m_swappedIndex = attributes.nBkgndIndex;
      transColor.index = 0;
    }
  }
  if (m_indexed) {
    int count = (int)(m_image.GetImportantColors() ? m_image.GetImportantColors() : m_image.GetColorCount());
    if (count > (int)m_image.GetColorCount()) count = (int)m_image.GetColorCount();
    const RGBQUAD* pal = m_image.GetPaletteData();
    if (attributes.bAlphaPaletteEnabled) {
      for (int i = 0; i < count; i++) transValues[i] = pal[i].rgbReserved;
      transCount = count;
    }
    m_paletteCopy = (png_colorp)malloc(sizeof(png_color) * (size_t)count);
    if (!m_paletteCopy) png_error(m_png, "out of memory");
    for (int i = 0; i < count; i++) {
      m_paletteCopy[i].red = pal[i].rgbRed;
      m_paletteCopy[i].green = pal[i].rgbGreen;
      m_paletteCopy[i].blue = pal[i].rgbBlue;
    }
    if (!m_gray) png_set_PLTE(m_png, m_pngInfo, m_paletteCopy, count);
  }
  if (transCount > 0) png_set_tRNS(m_png, m_pngInfo, transValues, transCount, &transColor);
}

void CPngEncoding::WriteRows() {
  const size_t outBytes = (size_t)(m_bitDepth / 8) * (size_t)m_channels * (size_t)m_width;
  const size_t rowSize = m_image.GetRowBytes() > outBytes ? m_image.GetRowBytes() : outBytes;
  m_row = (BYTE*)malloc(rowSize + 8);
  if (!m_row) png_error(m_png, "out of memory");
  png_write_info(m_png, m_pngInfo);
  const int passes = png_set_interlace_handling(m_png);
  for (int pass = 0; pass < passes; pass++) {
    for (LONG y = m_height - 1; y >= 0; y--) {
      const BYTE* src = m_image.GetRowPointer((DWORD)y);
      if (m_withAlpha) {
        WriteAlphaRow(y, src);
      } else {
        memcpy(m_row, src, m_image.GetRowBytes());
        if (m_colorType == PNG_COLOR_TYPE_RGB)
          for (LONG x = 0; x < m_width; x++) {
            BYTE t = m_row[3 * x];
            m_row[3 * x] = m_row[3 * x + 2];
            m_row[3 * x + 2] = t;
          }
      }
      png_write_row(m_png, m_row);
    }
  }
  free(m_row);
  m_row = nullptr;
}

void CPngEncoding::WriteAlphaRow(LONG y, const BYTE* src) {
  const BYTE* alpha = m_image.m_pAlpha + (size_t)y * (size_t)m_width;
  BYTE* out = m_row;
  for (LONG x = 0; x < m_width; x++) {
    BYTE a = alpha[x];
    if (m_indexed) {
      RGBQUAD c = m_image.GetColorAtRaw(x, y, false);
      *out++ = c.rgbRed;
    } else {
      const BYTE* p = src + 3 * x;
      if (m_clearTransparent && p[0] == m_tc.rgbBlue && p[1] == m_tc.rgbGreen && p[2] == m_tc.rgbRed) a = 0;
      *out++ = p[2];
      *out++ = p[1];
      *out++ = p[0];
    }
    *out++ = a;
  }
}

void CPngEncoding::ClearTransparentAlpha() {
  for (LONG y = 0; y < m_height; y++) {
    const BYTE* src = m_image.GetRowPointer((DWORD)y);
    BYTE* alpha = m_image.m_pAlpha + (size_t)y * (size_t)m_width;
    for (LONG x = 0; x < m_width; x++) {
      const BYTE* p = src + 3 * x;
      if (p[0] == m_tc.rgbBlue && p[1] == m_tc.rgbGreen && p[2] == m_tc.rgbRed) alpha[x] = 0;
    }
  }
}

bool CRasterImagePNG::Encode(CRasterStream* stream) {
  if (!CanEncode(stream)) return false;
  CPngEncoding encoding(*this, stream);
  return encoding.Run();
}
