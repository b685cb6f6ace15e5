#include "imaging/image/IcoCodec.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

WORD GetWord(const BYTE* p) { return (WORD)(p[0] | (p[1] << 8)); }
DWORD GetDword(const BYTE* p) { return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24); }
void PutWord(BYTE* p, WORD v) {
  p[0] = (BYTE)v;
  p[1] = (BYTE)(v >> 8);
}
void PutDword(BYTE* p, DWORD v) {
  for (int i = 0; i < 4; i++) p[i] = (BYTE)(v >> (8 * i));
}

const BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

}  // namespace

bool CRasterImageICO::Decode(CRasterStream* stream) {
  if (!stream) return false;
  const int32_t start = stream->Tell();
  BYTE header[6];
  if (stream->Read(header, 1, 6) != 6 || GetWord(header) != 0 ||
      (GetWord(header + 2) != 1 && GetWord(header + 2) != 2)) {
    SetErrorText("Not an icon file");
    return false;
  }
  const int count = GetWord(header + 4);
  m_info.nNumFrames = count;
  if (m_info.nFrame < 0 || m_info.nFrame >= count) {
    SetErrorText("Icon entry not found");
    return false;
  }
  std::vector<BYTE> entries((size_t)count * 16);
  if (stream->Read(entries.data(), 16, (UINT)count) != (UINT)count) {
    SetErrorText("Corrupt icon file");
    return false;
  }
  const BYTE* entry = entries.data() + 16 * (size_t)m_info.nFrame;
  LONG width = entry[0], height = entry[1];
  DWORD offset = GetDword(entry + 12);

  // Both sizes 0 mark an embedded PNG, or a 256-pixel bitmap whose header tells its size.
  bool png = false;
  if (width == 0 && height == 0) {
    BYTE signature[8];
    if (!stream->Seek((int32_t)(start + offset), SEEK_SET) || stream->Read(signature, 1, 8) != 8) {
      SetErrorText("Corrupt icon file");
      return false;
    }
    png = memcmp(signature, kPngSignature, 8) == 0;
  } else if (width == 0 || height == 0) {
    SetErrorText("Corrupt icon file");
    return false;
  }

  if (m_info.nEscape == -1 && !png && width && height) {
    m_head.biWidth = width;
    m_head.biHeight = height;
    m_info.nFormat = RASTER_TYPE_ICO;
    return true;
  }
  if (!stream->Seek((int32_t)(start + offset), SEEK_SET)) {
    SetErrorText("Corrupt icon file");
    return false;
  }
  if (png) {
    CRasterImage temp;
    temp.CopyAttributes(*this);
    if (!temp.Decode(stream, RASTER_TYPE_PNG)) {
      SetErrorText(temp.GetErrorText());
      return false;
    }
    TakeOver(temp, true);
    m_info.nNumFrames = count;
    m_info.nFormat = RASTER_TYPE_ICO;
    return true;
  }
  return DecodeBitmap(stream, width, height);
}

bool CRasterImageICO::DecodeBitmap(CRasterStream* stream, LONG width, LONG height) {
  BYTE raw[40];
  if (stream->Read(raw, 1, 40) != 40) {
    SetErrorText("Corrupt icon file");
    return false;
  }
  const LONG headerWidth = (LONG)GetDword(raw + 4);
  const LONG headerHeight = (LONG)GetDword(raw + 8) / 2;
  const WORD bitCount = GetWord(raw + 14);
  DWORD colorsUsed = GetDword(raw + 32);
  if (width == 0 && height == 0) {
    width = headerWidth;
    height = headerHeight;
    if (width <= 0 || height <= 0 || width > 256 || height > 256) {
      SetErrorText("Corrupt icon file");
      return false;
    }
  }
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) {
    SetErrorText("Unsupported icon bit count");
    return false;
  }
  if (m_info.nEscape == -1) {
    m_head.biWidth = width;
    m_head.biHeight = height;
    m_info.nFormat = RASTER_TYPE_ICO;
    return true;
  }
  if (!Create(width, height, bitCount, RASTER_TYPE_ICO)) return false;
  if (GetColorCount()) {
    DWORD palette = GetColorCount();
    DWORD n = colorsUsed == 0 || colorsUsed > palette ? palette : colorsUsed;
    RGBQUAD entries[256];
    if (stream->Read(entries, 4, n) != n) {
      SetErrorText("Corrupt icon file");
      return false;
    }
    SetPaletteEntries(entries, n);
    if (colorsUsed > palette) {
      if (colorsUsed > 65536 || !stream->Seek((int32_t)(4 * (colorsUsed - palette)), SEEK_CUR)) {
        SetErrorText("Corrupt icon file");
        return false;
      }
    }
  }
  if (bitCount == 32) {
    if (!CreateAlphaMask()) {
      SetErrorText("no memory for the icon's alpha mask");
      return false;
    }
    std::vector<BYTE> line((size_t)width * 4);
    for (LONG y = 0; y < height; y++) {
      if (stream->Read(line.data(), 1, (UINT)line.size()) != line.size()) {
        SetErrorText("Corrupt icon file");
        return false;
      }
      BYTE* out = GetRowPointer((DWORD)y);
      BYTE* alpha = m_pAlpha + (size_t)y * (size_t)width;
      for (LONG x = 0; x < width; x++) {
        out[3 * x] = line[4 * x];
        out[3 * x + 1] = line[4 * x + 1];
        out[3 * x + 2] = line[4 * x + 2];
        alpha[x] = line[4 * x + 3];
      }
    }
  } else {
    if (stream->Read(GetBits(), 1, m_head.biSizeImage) != m_head.biSizeImage) {
      SetErrorText("Corrupt icon file");
      return false;
    }
  }
  const DWORD maskRow = (DWORD)((width + 31) / 32) * 4;
  std::vector<BYTE> mask((size_t)maskRow * (size_t)height);
  if (stream->Read(mask.data(), 1, (UINT)mask.size()) != mask.size()) return true;
  ApplyAndMask(mask.data(), maskRow);
  return true;
}

void CRasterImageICO::ApplyAndMask(const BYTE* mask, DWORD maskRow) {
  const LONG width = m_head.biWidth, height = m_head.biHeight;
  const size_t maskSize = (size_t)maskRow * (size_t)height;
  bool allSet = true;
  for (size_t i = 0; i < maskSize; i++)
    if (mask[i] != 0xFF) {
      allSet = false;
      break;
    }
  if (allSet) {
    m_info.nBkgndIndex = 0;
    Negate();
    return;
  }
  auto masked = [&](LONG x, LONG y) { return (mask[(size_t)y * maskRow + (x >> 3)] >> (7 - (x & 7))) & 1; };
  const bool hadAlpha = HasAlpha();
  if (!hadAlpha && !CreateAlphaMask()) return;
  bool any = false, sameColor = true;
  RGBQUAD first = {0, 0, 0, 0};
  LONG firstX = 0, firstY = 0;
  for (LONG y = 0; y < height; y++) {
    for (LONG x = 0; x < width; x++) {
      if (!masked(x, y)) continue;
      m_pAlpha[(size_t)y * (size_t)width + (size_t)x] = 0;
      RGBQUAD c = GetColorAtRaw(x, y, false);
      if (!any) {
        first = c;
        firstX = x;
        firstY = y;
        any = true;
      } else if (memcmp(&c, &first, sizeof(c)) != 0) {
        sameColor = false;
      }
    }
  }
  if (!hadAlpha && !any) DeleteAlphaMask();
  const int bpp = GetBpp();
  if (any && sameColor && bpp <= 8) {
    SetTransparentColor(first);
    m_info.nBkgndIndex = GetIndexAtRaw(firstX, firstY);
    DeleteAlphaMask();
  }
  if (bpp > 8) return;
  bool used[256];
  memset(used, 0, sizeof(used));
  for (LONG y = 0; y < height; y++)
    for (LONG x = 0; x < width; x++) used[GetIndexAtRaw(x, y)] = true;
  int unused = -1;
  for (int i = (int)GetColorCount() - 1; i >= 0; i--)
    if (!used[i]) {
      unused = i;
      break;
    }
  if (unused < 0) return;
  bool set = false;
  for (LONG y = 0; y < height; y++)
    for (LONG x = 0; x < width; x++)
      if (masked(x, y)) {
        SetIndexAtRaw(x, y, (BYTE)unused);
        set = true;
      }
  if (set) m_info.nBkgndIndex = unused;
  DeleteAlphaMask();
}

bool CRasterImageICO::Encode(CRasterStream* stream, int append, int pageCount) {
  if (!CanEncode(stream)) return false;
  if (GetBpp() <= 8 && !GetColorCount()) {
    SetErrorText("Icon needs a palette");
    return false;
  }
  const LONG width = m_head.biWidth, height = m_head.biHeight;
  const DWORD maskRow = (DWORD)((width + 31) / 32) * 4;
  const DWORD maskSize = maskRow * (DWORD)height;
  const bool alpha32 = !GetColorCount() && HasAlpha();
  const WORD bitCount = alpha32 ? 32 : GetBpp();
  const DWORD colorSize = alpha32 ? (DWORD)width * (DWORD)height * 4 : m_head.biSizeImage;
  const int count = pageCount > 1 ? pageCount : 1;
  if (!append) m_offset = 6 + 16 * (DWORD)count;

  BYTE entry[16];
  memset(entry, 0, sizeof(entry));
  entry[0] = (BYTE)width;
  entry[1] = (BYTE)height;
  entry[2] = (BYTE)GetColorCount();
  PutWord(entry + 4, 0);
  PutWord(entry + 6, bitCount);
  DWORD size = colorSize + 4 * GetColorCount() + maskSize + 40;
  PutDword(entry + 12, m_offset);

  CRasterMemoryStream png;
  const bool asPng = width > 255 || height > 255;
  if (asPng) {
    entry[0] = entry[1] = 0;
    CRasterImage copy(*this, true, true, true);
    if (!png.Open() || !copy.Encode(&png, RASTER_TYPE_PNG)) {
      SetErrorText(copy.GetErrorText()[0] ? copy.GetErrorText() : "Error saving PNG file");
      return false;
    }
    size = (DWORD)png.GetSize();
  }
  PutDword(entry + 8, size);

  bool writeEntry = false, writeData = false;
  bool ok = true;
  auto write = [&](const void* data, size_t n) {
    if (n && stream->Write(data, 1, (UINT)n) != n) ok = false;
  };
  if (!append) {
    BYTE header[6];
    PutWord(header, 0);
    PutWord(header + 2, 1);
    PutWord(header + 4, (WORD)count);
    write(header, 6);
    if (pageCount == 0) writeEntry = writeData = true;
  } else if (pageCount == GetFrameCount()) {
    writeEntry = true;
  } else if (pageCount < GetFrameCount()) {
    writeData = true;
  }
  if (writeEntry) {
    write(entry, 16);
    m_offset += size;
  }
  if (writeData) {
    if (asPng) {
      write(png.GetBuffer(), (size_t)png.GetSize());
    } else {
      std::vector<BYTE> mask;
      try {
        mask.assign(maskSize, 0);
      } catch (const std::bad_alloc&) {
        SetErrorText("no memory for the icon's AND mask");
        return false;
      }
      BYTE info[40];
      memset(info, 0, sizeof(info));
      PutDword(info, 40);
      PutDword(info + 4, (DWORD)width);
      PutDword(info + 8, (DWORD)height * 2);
      PutWord(info + 12, 1);
      PutWord(info + 14, bitCount);
      PutDword(info + 20, colorSize);
      write(info, 40);
      if (GetColorCount()) {
        std::vector<RGBQUAD> pal(GetPaletteData(), GetPaletteData() + GetColorCount());
        if (m_info.nBkgndIndex >= 0 && (DWORD)m_info.nBkgndIndex < GetColorCount())
          memset(&pal[(size_t)m_info.nBkgndIndex], 0, sizeof(RGBQUAD));
        write(pal.data(), pal.size() * sizeof(RGBQUAD));
      }
      if (alpha32) {
        std::vector<BYTE> line((size_t)width * 4);
        for (LONG y = 0; y < height; y++) {
          const BYTE* src = GetRowPointer((DWORD)y);
          const BYTE* a = m_pAlpha + (size_t)y * (size_t)width;
          for (LONG x = 0; x < width; x++) {
            line[4 * x] = src[3 * x];
            line[4 * x + 1] = src[3 * x + 1];
            line[4 * x + 2] = src[3 * x + 2];
            line[4 * x + 3] = a[x];
          }
          write(line.data(), line.size());
        }
      } else {
        write(GetBits(), m_head.biSizeImage);
      }
      const bool paletteAlpha = PaletteCarriesAlpha();
      const bool transparent = m_info.nBkgndIndex >= 0;
      const RGBQUAD tc = GetTransparentColor();
      for (LONG y = 0; y < height; y++) {
        BYTE* row = mask.data() + (size_t)y * maskRow;
        for (LONG x = 0; x < width; x++) {
          bool hole = false;
          if (HasAlpha() && GetAlphaAtRaw(x, y) == 0) hole = true;
          RGBQUAD c = GetColorAtRaw(x, y, false);
          if (paletteAlpha && GetColorCount() && c.rgbReserved == 0) hole = true;
          if (transparent && c.rgbRed == tc.rgbRed && c.rgbGreen == tc.rgbGreen && c.rgbBlue == tc.rgbBlue) hole = true;
          if (hole) row[x >> 3] = (BYTE)(row[x >> 3] | (0x80 >> (x & 7)));
        }
      }
      write(mask.data(), mask.size());
    }
  }
  stream->Flush();
  if (!ok || stream->HasError()) {
    SetErrorText("Write Error in ICO file");
    return false;
  }
  return true;
}
