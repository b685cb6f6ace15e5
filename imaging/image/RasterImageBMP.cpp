#include "imaging/image/RasterImageBMP.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const WORD kBmpType = 0x4D42;  // "BM"

inline WORD Le16(const BYTE* p) { return (WORD)(p[0] | (p[1] << 8)); }
inline DWORD Le32(const BYTE* p) {
  return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}
inline void Put16(BYTE* p, WORD v) {
  p[0] = (BYTE)v;
  p[1] = (BYTE)(v >> 8);
}
inline void Put32(BYTE* p, DWORD v) {
  for (int i = 0; i < 4; i++) p[i] = (BYTE)(v >> (8 * i));
}

// Stored bytes of rows of the given depth, in 64 bits.
inline uint64_t RowBytes(uint64_t width, uint64_t bits) { return ((width * bits + 31) / 32) * 4; }

}  // namespace

bool CRasterImageBMP::ReadInfoHeader(CRasterStream* stream, BITMAPINFOHEADER* header) {
  if (!stream || !header) return false;
  // The size comes first; a core header is only 12 bytes long, so a small
  // core bitmap may hold fewer than 40 bytes after its file header.
  BYTE raw[40];
  if (stream->Read(raw, 4, 1) != 1) return false;
  BITMAPINFOHEADER& h = *header;
  h.biSize = Le32(raw);
  if (h.biSize == 12) {
    if (stream->Read(raw + 4, 8, 1) != 1) return false;
    h.biWidth = Le16(raw + 4);
    h.biHeight = Le16(raw + 6);
    h.biPlanes = Le16(raw + 8);
    h.biBitCount = Le16(raw + 10);
    h.biCompression = 0;
    h.biSizeImage = 0;
    h.biXPelsPerMeter = h.biYPelsPerMeter = 0;
    h.biClrUsed = h.biClrImportant = 0;
  } else {
    if (stream->Read(raw + 4, 36, 1) != 1) return false;
    h.biWidth = (LONG)Le32(raw + 4);
    h.biHeight = (LONG)Le32(raw + 8);
    h.biPlanes = Le16(raw + 12);
    h.biBitCount = Le16(raw + 14);
    h.biCompression = Le32(raw + 16);
    h.biSizeImage = Le32(raw + 20);
    h.biXPelsPerMeter = (LONG)Le32(raw + 24);
    h.biYPelsPerMeter = (LONG)Le32(raw + 28);
    h.biClrUsed = Le32(raw + 32);
    h.biClrImportant = Le32(raw + 36);
    switch (h.biSize) {
      case 40:
        break;
      case 64:
        if (!stream->Seek(24, SEEK_CUR)) return false;
        break;
      case 108:
      case 124:
        // Version 4 and 5 headers carry their bit-field masks at bytes 40 to 51:
        // with bit fields the stream stays there so that the masks are read from
        // the header; the pixel data is found from the header's end.
        if (h.biCompression != BI_BITFIELDS && !stream->Seek((int32_t)h.biSize - 40, SEEK_CUR)) return false;
        break;
      default: {
        if (h.biSize <= 40 || h.biSize > 0x10000) return false;
        uint64_t need = RowBytes((uint64_t)(DWORD)h.biWidth, h.biBitCount) *
                        (uint64_t)(h.biHeight < 0 ? -(int64_t)h.biHeight : (int64_t)h.biHeight);
        if (h.biWidth < 0 || (uint64_t)h.biSizeImage < need || h.biPlanes != 1 || h.biClrUsed != 0) return false;
        if (h.biCompression != BI_BITFIELDS && !stream->Seek((int32_t)h.biSize - 40, SEEK_CUR)) return false;
        break;
      }
    }
  }
  if (h.biSizeImage == 0) {
    uint64_t rowBytes = (((uint64_t)(DWORD)h.biWidth * h.biBitCount + 31) / 8) & ~(uint64_t)3;
    uint64_t height = (uint64_t)(h.biHeight < 0 ? -(int64_t)h.biHeight : (int64_t)h.biHeight);
    uint64_t size = rowBytes * height;
    h.biSizeImage = size > 0xFFFFFFFFull ? 0xFFFFFFFFu : (DWORD)size;
  }
  if (h.biClrUsed == 0 && h.biBitCount <= 8) h.biClrUsed = 1u << h.biBitCount;
  return true;
}

// The three colour masks that follow a 40-byte header (or stand inside a longer one).
static void ReadMasks(CRasterStream* stream, DWORD masks[3]) {
  BYTE raw[12];
  if (stream->Read(raw, 12, 1) != 1) return;
  masks[0] = Le32(raw);
  masks[1] = Le32(raw + 4);
  masks[2] = Le32(raw + 8);
}

bool CRasterImageBMP::Decode(CRasterStream* stream) {
  if (!stream) return false;
  const char* message = nullptr;
  bool headerOnly = false;
  int32_t start = stream->Tell();
  int64_t headerStart = start;
  DWORD pixelOffset = 0;
  BITMAPINFOHEADER bih;
  memset(&bih, 0, sizeof(bih));
  bool topDown = false;
  bool core = false;

  do {
    BYTE fh[14];
    if (stream->Read(fh, sizeof(fh), 1) != 1) {
      message = "Not a BMP";
      break;
    }
    if (Le16(fh) == kBmpType) {
      pixelOffset = Le32(fh + 10);
      headerStart = (int64_t)start + 14;
    } else {
      pixelOffset = 0;
      stream->Seek(start, SEEK_SET);
    }
    if (!ReadInfoHeader(stream, &bih)) {
      message = "Error reading BMP info";
      break;
    }
    core = bih.biSize == 12;
    if (bih.biHeight < 0) {
      if (bih.biHeight == INT32_MIN) {
        message = "Error reading BMP info";
        break;
      }
      topDown = true;
      bih.biHeight = -bih.biHeight;
    }

    if (m_info.nEscape == -1) {
      m_head.biWidth = bih.biWidth;
      m_head.biHeight = bih.biHeight;
      SetFormat(RASTER_TYPE_BMP);
      message = "output dimensions returned";
      headerOnly = true;
      break;
    }

    if (!Create(bih.biWidth, bih.biHeight, bih.biBitCount, RASTER_TYPE_BMP)) {
      message = "";
      break;
    }
    SetHorizontalDpi((int)(bih.biXPelsPerMeter * 0.025400000000000002 + 0.5));
    SetVerticalDpi((int)(bih.biYPelsPerMeter * 0.025400000000000002 + 0.5));
    if (m_info.nEscape) {
      message = "Cancelled";
      break;
    }

    RGBQUAD* pal = GetPaletteData();
    if (pal) {
      // The file may list more colours than the image holds: the surplus is skipped.
      DWORD n = bih.biClrUsed;
      DWORD room = m_head.biClrUsed;
      DWORD keep = n < room ? n : room;
      DWORD entry = core ? 3 : 4;
      std::vector<BYTE> raw((size_t)keep * entry);
      if (keep) stream->Read(raw.data(), 1, (UINT)raw.size());
      for (DWORD i = 0; i < keep; i++) {
        const BYTE* p = raw.data() + (size_t)i * entry;
        pal[i].rgbBlue = p[0];
        pal[i].rgbGreen = p[1];
        pal[i].rgbRed = p[2];
        pal[i].rgbReserved = 0;
      }
      if (n > keep) {
        uint64_t skip = (uint64_t)(n - keep) * entry;
        if (skip < (uint64_t)INT32_MAX) stream->Seek((int32_t)skip, SEEK_CUR);
      }
      m_info.last_c_isvalid = 0;
    }
    if (m_info.nEscape) {
      message = "Cancelled";
      break;
    }

    // Moves to the pixel data given by the file header; with bit-field masks
    // that lie inside a longer header, to the end of that header.
    auto seekPixels = [&]() {
      int64_t target = -1;
      if (pixelOffset)
        target = (int64_t)start + pixelOffset;
      else if (bih.biCompression == BI_BITFIELDS && bih.biSize > 40)
        target = headerStart + bih.biSize;
      if (target >= 0 && target <= INT32_MAX) stream->Seek((int32_t)target, SEEK_SET);
    };

    switch (bih.biBitCount) {
      case 1:
      case 4:
      case 8:
        seekPixels();
        if (bih.biCompression == BI_RGB) {
          stream->Read(m_info.pImage, 1, m_head.biSizeImage);
        } else if (bih.biCompression == BI_RLE8) {
          DecodeRle8(stream);
        } else if (bih.biCompression == BI_RLE4) {
          DecodeRle4(stream);
        } else {
          message = "compression type not supported";
        }
        break;
      case 16: {
        DWORD masks[3] = {0x7C00, 0x3E0, 0x1F};
        if (bih.biCompression == BI_BITFIELDS) ReadMasks(stream, masks);
        seekPixels();
        uint64_t bytes = (uint64_t)((bih.biWidth + 1) / 2) * 4 * (uint64_t)bih.biHeight;
        if (bytes > m_head.biSizeImage) bytes = m_head.biSizeImage;
        stream->Read(m_info.pImage, 1, (UINT)bytes);
        ExpandBitFields(m_info.pImage, masks[0], masks[1], masks[2], 16);
        break;
      }
      case 24:
        if (bih.biCompression != BI_RGB) {
          message = "unknown compression";
          break;
        }
        seekPixels();
        stream->Read(m_info.pImage, 1, m_head.biSizeImage);
        break;
      case 32: {
        DWORD masks[3] = {0xFF0000, 0xFF00, 0xFF};
        if (bih.biCompression != BI_RGB && bih.biCompression != BI_BITFIELDS) {
          message = "unknown compression";
          break;
        }
        if (bih.biCompression == BI_BITFIELDS) ReadMasks(stream, masks);
        seekPixels();
        uint64_t bytes = (uint64_t)bih.biWidth * 4 * (uint64_t)bih.biHeight;
        BYTE* buffer = bytes <= (uint64_t)INT32_MAX ? (BYTE*)calloc((size_t)bytes, 1) : nullptr;
        if (!buffer) {
          message = "can't allocate memory";
          break;
        }
        stream->Read(buffer, 1, (UINT)bytes);
        if (bih.biCompression == BI_RGB && CreateAlphaMask()) {
          bool anyAlpha = false;
          for (LONG y = 0; y < bih.biHeight; y++) {
            const BYTE* row = buffer + (size_t)y * bih.biWidth * 4;
            for (LONG x = 0; x < bih.biWidth; x++) {
              BYTE a = row[4 * (size_t)x + 3];
              if (a) anyAlpha = true;
              SetAlphaAt(x, y, a);
            }
          }
          if (!anyAlpha) InvertAlphaMask();
        }
        ExpandBitFields(buffer, masks[0], masks[1], masks[2], 32);
        free(buffer);
        break;
      }
      default:
        break;
    }
    if (message) break;

    if (topDown) FlipVertical(true, true);
  } while (false);

  if (message) {
    if (*message) SetErrorText(message);
    return headerOnly;
  }
  return true;
}

bool CRasterImageBMP::DecodeRle8(CRasterStream* stream) {
  const uint64_t area = m_head.biSizeImage;
  const uint64_t rowBytes = m_info.dwEffWidth;
  const uint64_t height = (uint64_t)m_head.biHeight;
  BYTE* bits = m_info.pImage;
  uint64_t r = 0, c = 0, row = 0;
  auto reposition = [&]() {
    if (r <= height) row = r * rowBytes;
  };
  for (;;) {
    int n = stream->GetByte();
    if (n < 0) return true;
    if (n > 0) {
      reposition();
      int value = stream->GetByte();
      if (value < 0) return true;
      for (int i = 0; i < n; i++) {
        uint64_t at = row + c + i;
        if (at >= area) break;
        bits[at] = (BYTE)value;
      }
      c += (uint64_t)n;
      continue;
    }
    int code = stream->GetByte();
    if (code < 0) return true;
    if (code == 0) {
      r++;
      c = 0;
    } else if (code == 1) {
      return true;
    } else if (code == 2) {
      int dx = stream->GetByte();
      int dy = stream->GetByte();
      if (dx < 0 || dy < 0) return true;
      c += (uint64_t)dx;
      r += (uint64_t)dy;
    } else {
      reposition();
      for (int i = 0; i < code; i++) {
        int v = stream->GetByte();
        if (v < 0) return true;
        uint64_t at = row + c + i;
        if (at < area) bits[at] = (BYTE)v;
      }
      if (code & 1) stream->GetByte();
      c += (uint64_t)code;
    }
  }
}

bool CRasterImageBMP::DecodeRle4(CRasterStream* stream) {
  const uint64_t area = m_head.biSizeImage;
  const uint64_t rowBytes = m_info.dwEffWidth;
  const uint64_t height = (uint64_t)m_head.biHeight;
  BYTE* bits = m_info.pImage;
  uint64_t r = 0, c = 0, row = 0;
  bool high = true;
  auto reposition = [&]() {
    if (r <= height) row = r * rowBytes;
  };
  auto store = [&](BYTE colour) {
    uint64_t at = row + c;
    if (high) {
      if (at < area) bits[at] = (BYTE)(colour << 4);
    } else {
      if (at < area) bits[at] |= (BYTE)(colour & 0x0F);
      c++;
    }
    high = !high;
  };
  for (;;) {
    int n = stream->GetByte();
    if (n < 0) return true;
    if (n > 0) {
      reposition();
      int value = stream->GetByte();
      if (value < 0) return true;
      for (int i = 0; i < n; i++) store((i & 1) ? (BYTE)(value & 0x0F) : (BYTE)(value >> 4));
      continue;
    }
    int code = stream->GetByte();
    if (code < 0) return true;
    if (code == 0) {
      r++;
      c = 0;
      high = true;
    } else if (code == 1) {
      return true;
    } else if (code == 2) {
      int dx = stream->GetByte();
      int dy = stream->GetByte();
      if (dx < 0 || dy < 0) return true;
      c += (uint64_t)dx / 2;
      r += (uint64_t)dy;
    } else {
      int data = stream->GetByte();
      if (data < 0) return true;
      reposition();
      for (int i = 0; i < code; i++) {
        store((i & 1) ? (BYTE)(data & 0x0F) : (BYTE)(data >> 4));
        if ((i & 1) && i != code - 1) {
          data = stream->GetByte();
          if (data < 0) return true;
        }
      }
      if (((code + 1) & 2) == 2) stream->GetByte();
    }
  }
}

bool CRasterImageBMP::Encode(CRasterStream* stream) {
  if (!CanEncode(stream)) return false;
  const char* failed = "Error writing BMP file";
  BITMAPINFOHEADER h = m_head;
  DWORD paletteBytes = GetPaletteBytes();
  bool withAlpha = !m_head.biClrUsed && m_pAlpha;
  if (withAlpha) {
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    uint64_t size = (uint64_t)m_head.biWidth * 4 * (uint64_t)m_head.biHeight;
    if (size > 0xFFFFFFFFull - 54) {
      SetErrorText(failed);
      return false;
    }
    h.biSizeImage = (DWORD)size;
  }
  BYTE fh[14];
  Put16(fh, kBmpType);
  Put32(fh + 2, 14 + h.biSize + paletteBytes + h.biSizeImage);
  Put16(fh + 6, 0);
  Put16(fh + 8, 0);
  Put32(fh + 10, 14 + h.biSize + paletteBytes);
  if (stream->Write(fh, sizeof(fh), 1) != 1) {
    SetErrorText(failed);
    return false;
  }
  if (withAlpha) {
    BYTE ih[40];
    Put32(ih, 40);
    Put32(ih + 4, (DWORD)h.biWidth);
    Put32(ih + 8, (DWORD)h.biHeight);
    Put16(ih + 12, 1);
    Put16(ih + 14, 32);
    Put32(ih + 16, BI_RGB);
    Put32(ih + 20, h.biSizeImage);
    Put32(ih + 24, (DWORD)h.biXPelsPerMeter);
    Put32(ih + 28, (DWORD)h.biYPelsPerMeter);
    Put32(ih + 32, 0);
    Put32(ih + 36, 0);
    if (stream->Write(ih, sizeof(ih), 1) != 1) {
      SetErrorText(failed);
      return false;
    }
    std::vector<BYTE> row((size_t)m_head.biWidth * 4);
    for (LONG y = 0; y < m_head.biHeight; y++) {
      const BYTE* src = GetRowPointer((DWORD)y);
      for (LONG x = 0; x < m_head.biWidth; x++) {
        BYTE* d = row.data() + 4 * (size_t)x;
        d[0] = src[3 * x];
        d[1] = src[3 * x + 1];
        d[2] = src[3 * x + 2];
        d[3] = GetAlphaAtRaw(x, y);
      }
      if (stream->Write(row.data(), (UINT)row.size(), 1) != 1) {
        SetErrorText(failed);
        return false;
      }
    }
  } else {
    memcpy(m_pDib, &m_head, sizeof(BITMAPINFOHEADER));
    if (stream->Write(m_pDib, GetBlockSize(), 1) != 1) {
      SetErrorText(failed);
      return false;
    }
  }
  if (!stream->Flush() || stream->HasError() > 0) {
    SetErrorText(failed);
    return false;
  }
  return true;
}
