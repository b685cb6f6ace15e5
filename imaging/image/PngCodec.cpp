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

bool CRasterImagePNG::Decode(CRasterStream* stream) {
  if (!stream) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) {
    SetErrorText("Failed to create PNG structure");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    SetErrorText("Failed to initialize PNG info structure");
    return false;
  }
  BYTE* volatile row = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    free(row);
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, stream, PngReadCallback);
  png_set_error_fn(png, m_info.szLastError, PngErrorCallback, PngWarningCallback);
  // A damaged chunk length must not make libpng allocate gigabytes.
  png_set_chunk_malloc_max(png, 32u * 1024u * 1024u);
  png_set_chunk_cache_max(png, 10000);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  // Mutated chunks would nearly all fail their checksums and stop before the decoder.
  png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
  png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
#endif
  // Text, profiles and the like are never used: skipped unread, whatever length they claim.
  static const png_byte kSkipped[] = {'i', 'C', 'C', 'P', 0, 'i', 'T', 'X', 't', 0, 't', 'E', 'X', 't', 0,
                                      'z', 'T', 'X', 't', 0, 's', 'P', 'L', 'T', 0, 'e', 'X', 'I', 'f', 0,
                                      'h', 'I', 'S', 'T', 0, 'p', 'C', 'A', 'L', 0, 's', 'C', 'A', 'L', 0,
                                      't', 'I', 'M', 'E', 0, 's', 'B', 'I', 'T', 0, 'c', 'H', 'R', 'M', 0};
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkipped, (int)(sizeof(kSkipped) / 5));
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);

  if (m_info.nEscape == -1) {
    m_head.biWidth = (LONG)width;
    m_head.biHeight = (LONG)height;
    m_info.nFormat = RASTER_TYPE_PNG;
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
  }

  int channels;
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
      channels = 1;
      break;
    case PNG_COLOR_TYPE_RGB:
      channels = 3;
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      channels = 2;
      break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      channels = 4;
      break;
    default:
      SetErrorText("unknown PNG color type");
      png_longjmp(png, 1);
  }
  int pixelDepth = bitDepth * channels;
  int depth = channels == 1 ? (pixelDepth > 8 ? 8 : pixelDepth) : channels == 2 ? 8 : 24;
  if (!Create((LONG)width, (LONG)height, depth, RASTER_TYPE_PNG)) png_longjmp(png, 1);

  png_uint_32 resX = 0, resY = 0;
  int unit = -1;
  if (png_get_pHYs(png, info, &resX, &resY, &unit)) {
    if (unit == PNG_RESOLUTION_UNKNOWN) {
      SetHorizontalDpi((int)resX);
      SetVerticalDpi((int)resY);
    } else if (unit == PNG_RESOLUTION_METER) {
      SetHorizontalDpi((int)(resX * 0.025400000000000002 + 0.5));
      SetVerticalDpi((int)(resY * 0.025400000000000002 + 0.5));
    }
  }

  png_colorp palette = nullptr;
  int paletteCount = 0;
  if (png_get_PLTE(png, info, &palette, &paletteCount) && paletteCount > 0) {
    for (int i = 0; i < paletteCount && i < (int)GetColorCount(); i++)
      SetPaletteEntry((BYTE)i, palette[i].red, palette[i].green, palette[i].blue, 0);
    SetImportantColors((DWORD)paletteCount);
  } else if (bitDepth == 2) {
    for (int i = 0; i < 4; i++) SetPaletteEntry((BYTE)i, (BYTE)(85 * i), (BYTE)(85 * i), (BYTE)(85 * i), 0);
  } else {
    MakeGrayPalette();
  }

  png_bytep transAlpha = nullptr;
  int transCount = 0;
  png_color_16p transColor = nullptr;
  int shift = bitDepth == 16 ? 8 : 0;
  if (png_get_tRNS(png, info, &transAlpha, &transCount, &transColor)) {
    if (transCount == 1) {
      if (colorType == PNG_COLOR_TYPE_PALETTE)
        m_info.nBkgndIndex = transColor ? transColor->index : 0;
      else if (transColor)
        m_info.nBkgndIndex = transColor->gray >> shift;
    } else if (transCount > 1 && paletteCount > 0 && transAlpha) {
      RGBQUAD* pal = GetPaletteData();
      int n = (int)GetColorCount();
      for (int i = 0; i < n; i++) pal[i].rgbReserved = (i < paletteCount && i < transCount) ? transAlpha[i] : 255;
      m_info.bAlphaPaletteEnabled = 1;
      m_info.last_c_isvalid = 0;
    }
    if (channels == 3 && transColor) {
      RGBQUAD c;
      c.rgbRed = (BYTE)(transColor->red >> shift);
      c.rgbGreen = (BYTE)(transColor->green >> shift);
      c.rgbBlue = (BYTE)(transColor->blue >> shift);
      c.rgbReserved = 0;
      m_info.nBkgndColor = c;
      m_info.nBkgndIndex = 0;
    }
  }

  if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA || colorType == PNG_COLOR_TYPE_RGB_ALPHA) {
    if (!CreateAlphaMask()) {
      SetErrorText("no memory for the PNG's alpha mask");
      png_longjmp(png, 1);
    }
  }
  if (colorType & PNG_COLOR_MASK_COLOR) png_set_bgr(png);

  if (m_info.nEscape) png_longjmp(png, 1);

  size_t fileRowBytes = png_get_rowbytes(png, info);
  row = (BYTE*)malloc(fileRowBytes + 8);
  if (!row) {
    SetErrorText("no memory for a PNG row");
    png_longjmp(png, 1);
  }
  memset(row, 0, fileRowBytes + 8);
  int passes = png_set_interlace_handling(png);
  DWORD& flags = m_info.dwCodecOpt[RASTER_TYPE_PNG];
  if (passes > 1)
    flags |= RASTER_PNG_INTERLACED;
  else
    flags &= ~(DWORD)RASTER_PNG_INTERLACED;

  const int s = bitDepth / 8;  // 1 or 2 for samples of whole bytes
  const DWORD imageRow = GetRowBytes();
  const LONG w = (LONG)width;
  for (int pass = 0; pass < passes; pass++) {
    for (png_uint_32 y = 0; y < height; y++) {
      if (m_info.nEscape) png_longjmp(png, 1);
      LONG stored = (LONG)(height - 1 - y);
      BYTE* target = GetRowPointer((DWORD)stored);
      BYTE* alpha = m_pAlpha ? m_pAlpha + (size_t)stored * (size_t)w : nullptr;
      if (alpha) {
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
        png_read_row(png, row, nullptr);
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
      } else if (bitDepth <= 8 && fileRowBytes <= imageRow) {
        // Samples of a byte or less go straight into the stored row; for
        // interlaced files libpng adds each pass to what the row holds.
        png_read_row(png, target, nullptr);
        if (bitDepth == 2 && pass == passes - 1) Expand2to4bpp(target);
      } else {
        size_t usable = bitDepth == 16 ? fileRowBytes / 2 : fileRowBytes;
        size_t copy = usable < imageRow ? usable : imageRow;
        if (pass > 0) {
          if (bitDepth == 16)
            for (size_t i = 0; i < copy; i++) row[2 * i] = target[i];
          else
            memcpy(row, target, copy);
        }
        png_read_row(png, row, nullptr);
        if (bitDepth == 16)
          for (size_t i = 0; i < usable; i++) row[i] = row[2 * i];
        memcpy(target, row, copy);
        if (bitDepth == 2 && pass == passes - 1) Expand2to4bpp(target);
      }
    }
  }
  free(row);
  row = nullptr;
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool CRasterImagePNG::Encode(CRasterStream* stream) {
  if (!CanEncode(stream)) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) {
    SetErrorText("Failed to create PNG structure");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    SetErrorText("Failed to initialize PNG info structure");
    return false;
  }
  // Everything below that changes the image is undone on the way out, so that
  // a failed save leaves it exactly as it was.
  png_colorp volatile paletteCopy = nullptr;
  BYTE* volatile row = nullptr;
  volatile int swappedIndex = -1;
  if (setjmp(png_jmpbuf(png))) {
    if (swappedIndex > 0) SwapPaletteEntries(0, (BYTE)swappedIndex);
    free(row);
    free(paletteCopy);
    png_destroy_write_struct(&png, &info);
    SetErrorText("Error saving PNG file");
    return false;
  }
  png_set_error_fn(png, nullptr, PngErrorCallback, PngWarningCallback);
  png_set_write_fn(png, stream, PngWriteCallback, PngFlushCallback);

  const DWORD flags = m_info.dwCodecOpt[RASTER_TYPE_PNG];
  const LONG width = m_head.biWidth, height = m_head.biHeight;
  int pixelDepth = GetBpp();
  int channels = pixelDepth <= 8 ? 1 : 3;
  int bitDepth = pixelDepth / channels;
  int interlace = (flags & RASTER_PNG_INTERLACED) ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
  switch (flags & RASTER_PNG_LEVEL_MASK) {
    case 2:
      png_set_compression_level(png, 0);
      break;
    case 4:
      png_set_compression_level(png, 1);
      break;
    case 6:
      png_set_compression_level(png, 9);
      break;
    default:
      break;
  }
  const bool indexed = GetColorCount() != 0;
  const bool gray = indexed && IsGrayPalette();
  int colorType = indexed ? (gray ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE) : PNG_COLOR_TYPE_RGB;
  const bool withAlpha = HasAlpha();
  if (withAlpha) {
    colorType += 4;
    channels++;
    bitDepth = 8;
    pixelDepth += 8;
  }
  const bool transparent = m_info.nBkgndIndex >= 0;
  const RGBQUAD tc = GetTransparentColor();

  png_color_16 background;
  memset(&background, 0, sizeof(background));
  if (transparent) {
    background.index = (png_byte)m_info.nBkgndIndex;
    background.red = tc.rgbRed;
    background.green = tc.rgbGreen;
    background.blue = tc.rgbBlue;
    background.gray = (png_uint_16)m_info.nBkgndIndex;
  } else {
    background.red = background.green = background.blue = 255;
  }
  png_set_bKGD(png, info, &background);
  png_set_pHYs(png, info, (png_uint_32)m_head.biXPelsPerMeter, (png_uint_32)m_head.biYPelsPerMeter,
               PNG_RESOLUTION_METER);
  png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, bitDepth, colorType, interlace,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);

  png_byte transValues[256];
  int transCount = 0;
  png_color_16 transColor;
  memset(&transColor, 0, sizeof(transColor));
  if (transparent) {
    transValues[0] = 0;
    transCount = 1;
    transColor.index = (png_byte)m_info.nBkgndIndex;
    transColor.red = tc.rgbRed;
    transColor.green = tc.rgbGreen;
    transColor.blue = tc.rgbBlue;
    transColor.gray = (png_uint_16)m_info.nBkgndIndex;
    if (colorType == PNG_COLOR_TYPE_PALETTE && m_info.nBkgndIndex > 0) {
      SwapPaletteEntries(0, (BYTE)m_info.nBkgndIndex);
      swappedIndex = m_info.nBkgndIndex;
      transColor.index = 0;
    }
  }
  if (indexed) {
    int count = (int)(GetImportantColors() ? GetImportantColors() : GetColorCount());
    if (count > (int)GetColorCount()) count = (int)GetColorCount();
    const RGBQUAD* pal = GetPaletteData();
    if (m_info.bAlphaPaletteEnabled) {
      for (int i = 0; i < count; i++) transValues[i] = pal[i].rgbReserved;
      transCount = count;
    }
    paletteCopy = (png_colorp)malloc(sizeof(png_color) * (size_t)count);
    if (!paletteCopy) png_error(png, "out of memory");
    for (int i = 0; i < count; i++) {
      paletteCopy[i].red = pal[i].rgbRed;
      paletteCopy[i].green = pal[i].rgbGreen;
      paletteCopy[i].blue = pal[i].rgbBlue;
    }
    if (!gray) png_set_PLTE(png, info, paletteCopy, count);
  }
  if (transCount > 0) png_set_tRNS(png, info, transValues, transCount, &transColor);

  // A 24-bit image with an alpha mask and a transparent colour writes that colour transparent.
  const bool clearTransparent = withAlpha && !indexed && transparent;

  size_t outBytes = (size_t)(bitDepth / 8) * (size_t)channels * (size_t)width;
  size_t rowSize = GetRowBytes() > outBytes ? GetRowBytes() : outBytes;
  row = (BYTE*)malloc(rowSize + 8);
  if (!row) png_error(png, "out of memory");
  png_write_info(png, info);
  int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; pass++) {
    for (LONG y = height - 1; y >= 0; y--) {
      const BYTE* src = GetRowPointer((DWORD)y);
      if (withAlpha) {
        const BYTE* alpha = m_pAlpha + (size_t)y * (size_t)width;
        BYTE* out = row;
        for (LONG x = 0; x < width; x++) {
          BYTE a = alpha[x];
          if (indexed) {
            RGBQUAD c = GetColorAtRaw(x, y, false);
            *out++ = c.rgbRed;
          } else {
            const BYTE* p = src + 3 * x;
            if (clearTransparent && p[0] == tc.rgbBlue && p[1] == tc.rgbGreen && p[2] == tc.rgbRed) a = 0;
            *out++ = p[2];
            *out++ = p[1];
            *out++ = p[0];
          }
          *out++ = a;
        }
      } else {
        memcpy(row, src, GetRowBytes());
        if (colorType == PNG_COLOR_TYPE_RGB)
          for (LONG x = 0; x < width; x++) {
            BYTE t = row[3 * x];
            row[3 * x] = row[3 * x + 2];
            row[3 * x + 2] = t;
          }
      }
      png_write_row(png, row);
    }
  }
  free(row);
  row = nullptr;
  png_write_end(png, info);
  if (swappedIndex > 0) {
    SwapPaletteEntries(0, (BYTE)swappedIndex);
    swappedIndex = -1;
  }
  free(paletteCopy);
  paletteCopy = nullptr;
  png_destroy_write_struct(&png, &info);
  if (clearTransparent) {
    for (LONG y = 0; y < height; y++) {
      const BYTE* src = GetRowPointer((DWORD)y);
      BYTE* alpha = m_pAlpha + (size_t)y * (size_t)width;
      for (LONG x = 0; x < width; x++) {
        const BYTE* p = src + 3 * x;
        if (p[0] == tc.rgbBlue && p[1] == tc.rgbGreen && p[2] == tc.rgbRed) alpha[x] = 0;
      }
    }
  }
  return true;
}
