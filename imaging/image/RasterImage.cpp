#include "imaging/image/RasterImage.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

inline bool SameColor(RGBQUAD a, RGBQUAD b) { return memcmp(&a, &b, sizeof(RGBQUAD)) == 0; }

}  // namespace

// ------------------------------------------------------------- construction

CRasterImage::CRasterImage(int format) { InitMembers(format); }

CRasterImage::CRasterImage(LONG width, LONG height, int bpp, int format) {
  InitMembers(format);
  Create(width, height, bpp, format);
}

CRasterImage::CRasterImage(const CRasterImage& source, bool copyPixels, bool copySelection, bool copyAlpha) {
  InitMembers(source.m_info.nFormat);
  Copy(source, copyPixels, copySelection, copyAlpha);
}

CRasterImage::~CRasterImage() {
  FreeFrames();
  FreeBuffers();
}

void CRasterImage::InitMembers(int format) {
  m_pDib = nullptr;
  m_pSelection = nullptr;
  m_pAlpha = nullptr;
  m_ppLayers = nullptr;
  m_ppFrames = nullptr;
  m_nLayerList = 0;
  m_nFrameList = 0;
  memset(&m_head, 0, sizeof(m_head));
  memset(&m_info, 0, sizeof(m_info));
  m_info.nFormat = format;
  m_info.fQuality = 90.0f;
  m_info.nAlphaMax = 255;
  m_info.nBkgndIndex = -1;
  m_info.bEnabled = 1;
  m_info.nJpegScale = 1;
  SetHorizontalDpi(96);
  SetVerticalDpi(96);
  m_info.bLittleEndianHost = 1;
}

void CRasterImage::AssignAttributes(const CRasterImageAttributes& source) {
  BYTE* image = m_info.pImage;
  CRasterImage* ghost = m_info.pGhost;
  m_info = source;
  m_info.pImage = image;
  m_info.pGhost = ghost;
  // The counts describe lists this image really holds.
  m_info.nNumLayers = m_nLayerList;
  m_info.last_c_isvalid = 0;
}

bool CRasterImage::FreeBuffers() {
  if (m_info.pGhost) return false;
  if (m_ppLayers) {
    for (int i = 0; i < m_nLayerList; i++) delete m_ppLayers[i];
    delete[] m_ppLayers;
    m_ppLayers = nullptr;
  }
  m_nLayerList = 0;
  m_info.nNumLayers = 0;
  free(m_pSelection);
  m_pSelection = nullptr;
  free(m_pAlpha);
  m_pAlpha = nullptr;
  free(m_pDib);
  m_pDib = nullptr;
  m_info.pImage = nullptr;
  return true;
}

void CRasterImage::FreeFrames() {
  if (m_info.pGhost || !m_ppFrames) return;
  for (int i = 0; i < m_nFrameList; i++) delete m_ppFrames[i];
  delete[] m_ppFrames;
  m_ppFrames = nullptr;
  m_nFrameList = 0;
  m_info.nNumFrames = 0;
}

CRasterImage* CRasterImage::GetFrame(int index) const {
  if (!m_ppFrames || index < 0 || index >= m_nFrameList) return nullptr;
  return m_ppFrames[index];
}

void CRasterImage::SetFrameList(CRasterImage** frames, int count) {
  FreeFrames();
  if (m_info.pGhost) return;
  m_ppFrames = frames;
  m_nFrameList = frames ? (count > 0 ? count : 0) : 0;
  m_info.nNumFrames = m_nFrameList;
}

// ----------------------------------------------------------------- creation

BYTE* CRasterImage::Create(LONG width, LONG height, int bpp, int format) {
  if (!FreeBuffers()) return nullptr;
  if (width <= 0 || height <= 0) {
    SetErrorText("CRasterImage::Create : width and height must be greater than zero");
    return nullptr;
  }
  WORD bits = bpp <= 1 ? 1 : bpp <= 4 ? 4 : bpp <= 8 ? 8 : 24;
  // Rows with their padding, in 64 bits: no size here can overflow.
  uint64_t rowBytes = (((uint64_t)width * bits + 31) / 32) * 4;
  uint64_t area = rowBytes * (uint64_t)height;
  if ((double)area > RASTER_MAX_MEMORY) {
    SetErrorText("RASTER_MAX_MEMORY exceeded");
    return nullptr;
  }
  DWORD colors = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
  m_info.nFormat = format;
  m_info.dwEffWidth = (DWORD)rowBytes;
  m_head.biSize = sizeof(BITMAPINFOHEADER);
  m_head.biWidth = width;
  m_head.biHeight = height;
  m_head.biPlanes = 1;
  m_head.biBitCount = bits;
  m_head.biCompression = BI_RGB;
  m_head.biSizeImage = (DWORD)area;
  m_head.biClrUsed = colors;
  if (m_head.biClrImportant > colors) m_head.biClrImportant = 0;
  m_info.last_c_isvalid = 0;

  m_pDib = (BYTE*)malloc(GetBlockSize());
  if (!m_pDib) {
    SetErrorText("CRasterImage::Create can't allocate memory");
    memset(&m_head, 0, sizeof(m_head));
    m_info.dwEffWidth = 0;
    return nullptr;
  }
  // Palette and pixels start zeroed, so that a short read never shows stale memory.
  memset(m_pDib + sizeof(BITMAPINFOHEADER), 0, GetBlockSize() - sizeof(BITMAPINFOHEADER));
  memcpy(m_pDib, &m_head, sizeof(BITMAPINFOHEADER));
  m_info.pImage = GetRowPointer(0);
  return m_pDib;
}

void CRasterImage::Copy(const CRasterImage& source, bool copyPixels, bool copySelection, bool copyAlpha) {
  if (source.m_info.pGhost) {
    BorrowFrom(source);
    return;
  }
  if (&source == this) return;
  AssignAttributes(source.m_info);
  m_head = source.m_head;
  if (!source.m_pDib) {
    FreeBuffers();
    m_info.dwEffWidth = 0;
    memset(&m_head, 0, sizeof(m_head));
    return;
  }
  if (!Create(source.m_head.biWidth, source.m_head.biHeight, source.m_head.biBitCount, source.m_info.nFormat)) return;
  if (copyPixels && m_pDib && source.m_pDib) {
    memcpy(m_pDib, source.m_pDib, GetBlockSize());
  } else if (source.GetPaletteData()) {
    DWORD n = source.m_head.biClrUsed < 256 ? source.m_head.biClrUsed : 256;
    SetPaletteEntries(source.GetPaletteData(), n);
  }
  if (copySelection && source.m_pSelection) CopySelection(source);
  if (copyAlpha && source.m_pAlpha) CopyAlphaMask(source);
}

void CRasterImage::CopyAttributes(const CRasterImage& source) {
  if (m_pDib || &source == this) return;
  AssignAttributes(source.m_info);
  // A codec inherits settings only; the frame count is its own result.
  if (m_nFrameList == 0)
    m_info.nNumFrames = source.m_info.nNumFrames;
  else
    m_info.nNumFrames = m_nFrameList;
}

bool CRasterImage::TakeOver(CRasterImage& source, bool takeFrames) {
  if (&source == this) return true;
  if (!FreeBuffers()) return false;
  if (takeFrames) FreeFrames();
  m_head = source.m_head;
  m_info = source.m_info;
  m_pDib = source.m_pDib;
  m_pSelection = source.m_pSelection;
  m_pAlpha = source.m_pAlpha;
  m_ppLayers = source.m_ppLayers;
  m_nLayerList = source.m_nLayerList;
  m_info.nNumLayers = m_nLayerList;
  m_info.last_c_isvalid = 0;  // the palette may have been written directly
  if (takeFrames) {
    m_ppFrames = source.m_ppFrames;
    m_nFrameList = source.m_nFrameList;
    source.m_ppFrames = nullptr;
    source.m_nFrameList = 0;
  }
  memset(&source.m_head, 0, sizeof(source.m_head));
  memset(&source.m_info, 0, sizeof(source.m_info));
  source.m_pDib = nullptr;
  source.m_pSelection = nullptr;
  source.m_pAlpha = nullptr;
  source.m_ppLayers = nullptr;
  source.m_nLayerList = 0;
  return true;
}

void CRasterImage::BorrowFrom(const CRasterImage& source) {
  if (&source == this) return;
  FreeFrames();
  FreeBuffers();
  m_head = source.m_head;
  m_info = source.m_info;
  m_pDib = source.m_pDib;
  m_pSelection = source.m_pSelection;
  m_pAlpha = source.m_pAlpha;
  m_ppLayers = source.m_ppLayers;
  m_nLayerList = source.m_nLayerList;
  m_ppFrames = source.m_ppFrames;
  m_nFrameList = source.m_nFrameList;
  m_info.pGhost = const_cast<CRasterImage*>(&source);
}

// ---------------------------------------------------------------- accessors

bool CRasterImage::SetFormat(int format) {
  if (format >= 1 && format <= 5) {
    m_info.nFormat = format;
    return true;
  }
  m_info.nFormat = 0;
  return false;
}

void CRasterImage::SetErrorText(const char* text) {
  if (!text) text = "";
  size_t n = strlen(text);
  if (n > sizeof(m_info.szLastError) - 1) n = sizeof(m_info.szLastError) - 1;
  memmove(m_info.szLastError, text, n);
  m_info.szLastError[n] = 0;
}

static LONG PelsPerMeter(int dpi) {
  double pels = dpi * 39.37007874015748 + 0.5;
  return pels >= 2147483647.0 ? 2147483647 : (LONG)pels;  // a file may claim any resolution
}

void CRasterImage::SetHorizontalDpi(int dpi) {
  if (dpi <= 0) dpi = 96;
  m_info.xDPI = dpi;
  m_head.biXPelsPerMeter = PelsPerMeter(dpi);
  if (m_pDib) ((BITMAPINFOHEADER*)m_pDib)->biXPelsPerMeter = m_head.biXPelsPerMeter;
}

void CRasterImage::SetVerticalDpi(int dpi) {
  if (dpi <= 0) dpi = 96;
  m_info.yDPI = dpi;
  m_head.biYPelsPerMeter = PelsPerMeter(dpi);
  if (m_pDib) ((BITMAPINFOHEADER*)m_pDib)->biYPelsPerMeter = m_head.biYPelsPerMeter;
}

void CRasterImage::SetImportantColors(DWORD n) {
  if (n == 0 || n > 256) {
    m_head.biClrImportant = 0;
  } else {
    switch (m_head.biBitCount) {
      case 1:
        m_head.biClrImportant = n < 2 ? n : 2;
        break;
      case 4:
        m_head.biClrImportant = n < 16 ? n : 16;
        break;
      case 8:
        m_head.biClrImportant = n;
        break;
      default:
        break;
    }
  }
  m_info.last_c_isvalid = 0;
}

DWORD CRasterImage::GetCodecFlags(int format) const {
  format = NormalizeFormat(format);
  if (format == 0) format = NormalizeFormat(m_info.nFormat);
  return m_info.dwCodecOpt[format];
}

bool CRasterImage::SetCodecFlags(DWORD flags, int format) {
  format = NormalizeFormat(format);
  if (format == 0) format = NormalizeFormat(m_info.nFormat);
  m_info.dwCodecOpt[format] = flags;
  return true;
}

// ------------------------------------------------------------- transparency

void CRasterImage::SetTransparentIndex(int index) { m_info.nBkgndIndex = (index < (int)m_head.biClrUsed) ? index : 0; }

void CRasterImage::SetTransparentColor(RGBQUAD c) {
  c.rgbReserved = 0;
  m_info.nBkgndColor = c;
}

RGBQUAD CRasterImage::GetTransparentColor() const {
  if (m_head.biBitCount < 24 && m_info.nBkgndIndex >= 0) return GetPaletteEntry((BYTE)m_info.nBkgndIndex);
  return m_info.nBkgndColor;
}

// ----------------------------------------------------------- rows and block

BYTE* CRasterImage::GetRowPointer(DWORD row) const {
  if (!m_pDib) return nullptr;
  BYTE* start = m_pDib + m_head.biSize + GetPaletteBytes();
  if (row == 0) return start;
  if (row >= (DWORD)m_head.biHeight) return nullptr;
  return start + (size_t)row * m_info.dwEffWidth;
}

void CRasterImage::FillRows(BYTE value) {
  if (!m_pDib || !m_info.pImage) return;
  if (m_head.biBitCount == 1 && value)
    value = 0xFF;
  else if (m_head.biBitCount == 4)
    value = (BYTE)((value & 0x0F) * 17);
  memset(m_info.pImage, value, m_head.biSizeImage);
}

BYTE* CRasterImage::GetRgbPointer(LONG x, LONG y) const {
  if (m_head.biClrUsed || !m_info.pImage) return nullptr;
  return m_info.pImage + (size_t)y * m_info.dwEffWidth + (size_t)x * 3;
}

// ------------------------------------------------------------------ palette

RGBQUAD* CRasterImage::GetPaletteData() const {
  if (!m_pDib || !m_head.biClrUsed) return nullptr;
  return (RGBQUAD*)(m_pDib + sizeof(BITMAPINFOHEADER));
}

RGBQUAD CRasterImage::GetPaletteEntry(BYTE index) const {
  RGBQUAD* pal = GetPaletteData();
  if (!pal || index >= m_head.biClrUsed) return MakeQuad(0, 0, 0, 0);
  return pal[index];
}

bool CRasterImage::GetPaletteEntry(BYTE index, BYTE* red, BYTE* green, BYTE* blue) const {
  RGBQUAD* pal = GetPaletteData();
  if (!pal || index >= m_head.biClrUsed) return false;
  if (red) *red = pal[index].rgbRed;
  if (green) *green = pal[index].rgbGreen;
  if (blue) *blue = pal[index].rgbBlue;
  return true;
}

void CRasterImage::SetPaletteEntry(BYTE index, BYTE red, BYTE green, BYTE blue, BYTE alpha) {
  SetPaletteEntry(index, MakeQuad(blue, green, red, alpha));
}

void CRasterImage::SetPaletteEntry(BYTE index, RGBQUAD c) {
  RGBQUAD* pal = GetPaletteData();
  if (!pal || index >= m_head.biClrUsed) return;
  pal[index] = c;
  m_info.last_c_isvalid = 0;
}

void CRasterImage::SetPaletteEntries(const RGBQUAD* entries, DWORD count) {
  RGBQUAD* pal = GetPaletteData();
  if (!pal || !entries) return;
  if (count > m_head.biClrUsed) count = m_head.biClrUsed;
  memcpy(pal, entries, count * sizeof(RGBQUAD));
  m_info.last_c_isvalid = 0;
}

void CRasterImage::SetPaletteEntries(const RGBTRIPLE* rgb, DWORD count) {
  RGBQUAD* pal = GetPaletteData();
  if (!pal || !rgb) return;
  if (count > m_head.biClrUsed) count = m_head.biClrUsed;
  const BYTE* p = (const BYTE*)rgb;
  for (DWORD i = 0; i < count; i++, p += 3) {
    pal[i].rgbRed = p[0];
    pal[i].rgbGreen = p[1];
    pal[i].rgbBlue = p[2];
  }
  m_info.last_c_isvalid = 0;
}

void CRasterImage::SetPaletteEntries(const BYTE* red, const BYTE* green, const BYTE* blue, DWORD count) {
  RGBQUAD* pal = GetPaletteData();
  if (!pal || !red) return;
  if (!green) green = red;
  if (!blue) blue = green;
  if (count > m_head.biClrUsed) count = m_head.biClrUsed;
  for (DWORD i = 0; i < count; i++) {
    pal[i].rgbRed = red[i];
    pal[i].rgbGreen = green[i];
    pal[i].rgbBlue = blue[i];
  }
  m_info.last_c_isvalid = 0;
}

void CRasterImage::MakeGrayPalette() {
  RGBQUAD* pal = GetPaletteData();
  if (!pal) return;
  DWORD n = m_head.biClrUsed;
  DWORD step = n > 1 ? 255 / (n - 1) : 0;
  for (DWORD i = 0; i < n; i++) {
    BYTE v = (BYTE)(step * i);
    pal[i] = MakeQuad(v, v, v, 0);
  }
  m_info.last_c_isvalid = 0;
}

bool CRasterImage::IsGrayPalette() const {
  RGBQUAD* pal = GetPaletteData();
  if (!pal) return false;
  for (DWORD i = 0; i < m_head.biClrUsed; i++) {
    if (pal[i].rgbRed != i || pal[i].rgbGreen != i || pal[i].rgbBlue != i) return false;
  }
  return true;
}

void CRasterImage::SwapPaletteEntries(BYTE i, BYTE j) {
  RGBQUAD* pal = GetPaletteData();
  if (!pal || i >= m_head.biClrUsed || j >= m_head.biClrUsed) return;
  RGBQUAD t = pal[i];
  pal[i] = pal[j];
  pal[j] = t;
  m_info.last_c_isvalid = 0;
  for (LONG y = 0; y < m_head.biHeight; y++) {
    for (LONG x = 0; x < m_head.biWidth; x++) {
      BYTE v = GetIndexAtRaw(x, y);
      if (v == i)
        SetIndexAtRaw(x, y, j);
      else if (v == j)
        SetIndexAtRaw(x, y, i);
    }
  }
}

BYTE CRasterImage::FindNearestPaletteIndex(RGBQUAD c) {
  RGBQUAD* pal = GetPaletteData();
  if (!pal) return 0;
  if (m_info.last_c_isvalid && SameColor(m_info.last_c, c)) return m_info.last_c_index;
  m_info.last_c = c;
  m_info.last_c_isvalid = 1;
  DWORD n = m_head.biClrImportant ? m_head.biClrImportant : m_head.biClrUsed;
  if (n > m_head.biClrUsed) n = m_head.biClrUsed;
  long best = 200000;
  BYTE found = 0;
  for (DWORD i = 0; i < n; i++) {
    long dr = (long)pal[i].rgbRed - c.rgbRed;
    long dg = (long)pal[i].rgbGreen - c.rgbGreen;
    long db = (long)pal[i].rgbBlue - c.rgbBlue;
    long d = dr * dr + dg * dg + db * db;
    if (d < best) {
      best = d;
      found = (BYTE)i;
      if (d == 0) break;
    }
  }
  m_info.last_c_index = found;
  return found;
}

bool CRasterImage::PaletteCarriesAlpha() const {
  RGBQUAD* pal = GetPaletteData();
  if (!pal) return false;
  for (DWORD i = 0; i < m_head.biClrUsed; i++) {
    if (pal[i].rgbReserved) return true;
  }
  return false;
}

// ------------------------------------------------------------------- pixels

BYTE CRasterImage::GetIndexAtRaw(LONG x, LONG y) const {
  const BYTE* row = m_info.pImage + (size_t)y * m_info.dwEffWidth;
  switch (m_head.biBitCount) {
    case 8:
      return row[x];
    case 4: {
      BYTE b = row[x >> 1];
      return (x & 1) ? (BYTE)(b & 0x0F) : (BYTE)(b >> 4);
    }
    case 1:
      return (BYTE)((row[x >> 3] >> (7 - (x & 7))) & 1);
    default:
      return 0;
  }
}

BYTE CRasterImage::GetIndexAt(LONG x, LONG y) const {
  if (!m_pDib || !m_head.biClrUsed || !m_info.pImage) return 0;
  if (!IsInside(x, y)) {
    if (m_info.nBkgndIndex >= 0) return (BYTE)m_info.nBkgndIndex;
    return m_info.pImage[0];
  }
  return GetIndexAtRaw(x, y);
}

void CRasterImage::SetIndexAtRaw(LONG x, LONG y, BYTE index) {
  BYTE* row = m_info.pImage + (size_t)y * m_info.dwEffWidth;
  switch (m_head.biBitCount) {
    case 8:
      row[x] = index;
      break;
    case 4: {
      BYTE& b = row[x >> 1];
      if (x & 1)
        b = (BYTE)((b & 0xF0) | (index & 0x0F));
      else
        b = (BYTE)((b & 0x0F) | ((index & 0x0F) << 4));
      break;
    }
    case 1: {
      BYTE& b = row[x >> 3];
      BYTE bit = (BYTE)(0x80 >> (x & 7));
      if (index & 1)
        b |= bit;
      else
        b &= (BYTE)~bit;
      break;
    }
    default:
      break;
  }
}

void CRasterImage::SetIndexAt(LONG x, LONG y, BYTE index) {
  if (!m_pDib || !m_head.biClrUsed || !m_info.pImage || !IsInside(x, y)) return;
  SetIndexAtRaw(x, y, index);
}

RGBQUAD CRasterImage::GetColorAtRaw(LONG x, LONG y, bool withAlpha) const {
  RGBQUAD c;
  if (m_head.biClrUsed) {
    c = GetPaletteEntry(GetIndexAtRaw(x, y));
  } else {
    const BYTE* p = m_info.pImage + (size_t)y * m_info.dwEffWidth + (size_t)x * 3;
    c = MakeQuad(p[0], p[1], p[2], m_info.nBkgndColor.rgbReserved);
  }
  if (withAlpha && m_pAlpha) c.rgbReserved = GetAlphaAtRaw(x, y);
  return c;
}

RGBQUAD CRasterImage::GetColorAt(LONG x, LONG y, bool withAlpha) const {
  if (m_pDib && m_info.pImage && IsInside(x, y)) return GetColorAtRaw(x, y, withAlpha);
  if (m_info.nBkgndIndex >= 0) {
    if (m_head.biBitCount < 24) return GetPaletteEntry((BYTE)m_info.nBkgndIndex);
    return m_info.nBkgndColor;
  }
  if (m_pDib && m_info.pImage) return GetColorAtRaw(0, 0, true);
  return m_info.nBkgndColor;
}

void CRasterImage::SetColorAtRaw(LONG x, LONG y, RGBQUAD c, bool setAlpha) {
  if (m_head.biClrUsed) {
    SetIndexAtRaw(x, y, FindNearestPaletteIndex(c));
  } else {
    BYTE* p = m_info.pImage + (size_t)y * m_info.dwEffWidth + (size_t)x * 3;
    p[0] = c.rgbBlue;
    p[1] = c.rgbGreen;
    p[2] = c.rgbRed;
  }
  if (setAlpha) SetAlphaAt(x, y, c.rgbReserved);
}

void CRasterImage::SetColorAt(LONG x, LONG y, RGBQUAD c, bool setAlpha) {
  if (!m_pDib || !m_info.pImage || !IsInside(x, y)) return;
  SetColorAtRaw(x, y, c, setAlpha);
}

// --------------------------------------------------------------- alpha mask

static size_t PlaneSize(const BITMAPINFOHEADER& h) {
  if (h.biWidth <= 0 || h.biHeight <= 0) return 0;
  return (size_t)h.biWidth * (size_t)h.biHeight;
}

bool CRasterImage::CreateAlphaMask() {
  if (!m_pAlpha) {
    size_t n = PlaneSize(m_head);
    if (n == 0) return false;
    m_pAlpha = (BYTE*)malloc(n);
    if (m_pAlpha) memset(m_pAlpha, 255, n);
  }
  return m_pAlpha != nullptr;
}

void CRasterImage::DeleteAlphaMask() {
  if (m_info.pGhost) return;
  free(m_pAlpha);
  m_pAlpha = nullptr;
}

void CRasterImage::InvertAlphaMask() {
  if (!m_pAlpha) return;
  size_t n = PlaneSize(m_head);
  for (size_t i = 0; i < n; i++) m_pAlpha[i] = (BYTE)~m_pAlpha[i];
}

// Copies a one-byte-per-pixel plane of an image of the same size.
static bool CopyPlane(BYTE*& plane, const BYTE* source, const BITMAPINFOHEADER& head,
                      const BITMAPINFOHEADER& sourceHead) {
  if (!source || sourceHead.biWidth != head.biWidth || sourceHead.biHeight != head.biHeight) return false;
  size_t n = PlaneSize(head);
  if (n == 0) return false;
  if (!plane) plane = (BYTE*)malloc(n);
  if (!plane) return false;
  memcpy(plane, source, n);
  return true;
}

bool CRasterImage::CopyAlphaMask(const CRasterImage& source) {
  if (!CopyPlane(m_pAlpha, source.m_pAlpha, m_head, source.m_head)) return false;
  m_info.nAlphaMax = source.m_info.nAlphaMax;
  return true;
}

void CRasterImage::SetAlphaAt(LONG x, LONG y, BYTE a) {
  if (m_pAlpha && IsInside(x, y)) m_pAlpha[x + (size_t)y * m_head.biWidth] = a;
}

BYTE CRasterImage::GetAlphaAt(LONG x, LONG y) const {
  if (m_pAlpha && IsInside(x, y)) return m_pAlpha[x + (size_t)y * m_head.biWidth];
  return 0;
}

BYTE* CRasterImage::GetAlphaPointer(LONG x, LONG y) const {
  if (m_pAlpha && IsInside(x, y)) return m_pAlpha + x + (size_t)y * m_head.biWidth;
  return nullptr;
}

static bool FlipPlane(BYTE* plane, LONG width, LONG height) {
  if (!plane || width <= 0 || height <= 0) return false;
  BYTE* tmp = (BYTE*)malloc((size_t)width);
  if (!tmp) return false;
  for (LONG k = 0; k < height / 2; k++) {
    BYTE* a = plane + (size_t)k * width;
    BYTE* b = plane + (size_t)(height - 1 - k) * width;
    memcpy(tmp, a, (size_t)width);
    memcpy(a, b, (size_t)width);
    memcpy(b, tmp, (size_t)width);
  }
  free(tmp);
  return true;
}

bool CRasterImage::FlipAlphaMask() { return FlipPlane(m_pAlpha, m_head.biWidth, m_head.biHeight); }

// ----------------------------------------------------------- selection mask

bool CRasterImage::ClearSelection() {
  if (!m_info.pGhost) {
    free(m_pSelection);
    m_pSelection = nullptr;
  }
  m_info.rSelectionBox.left = m_head.biWidth;
  m_info.rSelectionBox.top = 0;
  m_info.rSelectionBox.right = 0;
  m_info.rSelectionBox.bottom = m_head.biHeight;
  return true;
}

bool CRasterImage::IsSelected(LONG x, LONG y) const {
  if (!m_pSelection) return true;
  return m_pSelection[x + (size_t)y * m_head.biWidth] != 0;
}

bool CRasterImage::CopySelection(const CRasterImage& source) {
  if (!CopyPlane(m_pSelection, source.m_pSelection, m_head, source.m_head)) return false;
  m_info.rSelectionBox = source.m_info.rSelectionBox;
  return true;
}

bool CRasterImage::FlipSelection() {
  if (!FlipPlane(m_pSelection, m_head.biWidth, m_head.biHeight)) return false;
  LONG top = m_info.rSelectionBox.top;
  m_info.rSelectionBox.top = m_head.biHeight - m_info.rSelectionBox.bottom;
  m_info.rSelectionBox.bottom = m_head.biHeight - top;
  return true;
}

// ------------------------------------------------------- in-place operations

bool CRasterImage::RaiseDepth(int bpp) {
  if (bpp != 4 && bpp != 8 && bpp != 24) return false;
  if (!m_pDib) return false;
  if (bpp == m_head.biBitCount) return true;
  if (bpp < m_head.biBitCount) return false;

  CRasterImage tmp(0);
  tmp.CopyAttributes(*this);
  if (!tmp.Create(m_head.biWidth, m_head.biHeight, bpp, m_info.nFormat)) {
    SetErrorText(tmp.GetErrorText());
    return false;
  }
  if (bpp != 24) tmp.SetPaletteEntries(GetPaletteData(), m_head.biClrUsed);
  tmp.CopySelection(*this);
  tmp.CopyAlphaMask(*this);
  if (bpp == 24) {
    if (m_info.nBkgndIndex >= 0) tmp.m_info.nBkgndColor = GetPaletteEntry((BYTE)m_info.nBkgndIndex);
    bool paletteAlpha = PaletteCarriesAlpha() && !m_pAlpha;
    if (paletteAlpha) tmp.CreateAlphaMask();
    for (LONG y = 0; y < m_head.biHeight; y++) {
      if (m_info.nEscape) break;
      for (LONG x = 0; x < m_head.biWidth; x++) {
        RGBQUAD c = GetColorAtRaw(x, y, true);
        tmp.SetColorAtRaw(x, y, c, paletteAlpha);
      }
    }
  } else {
    for (LONG y = 0; y < m_head.biHeight; y++) {
      if (m_info.nEscape) break;
      for (LONG x = 0; x < m_head.biWidth; x++) tmp.SetIndexAtRaw(x, y, GetIndexAtRaw(x, y));
    }
  }
  return TakeOver(tmp, true);
}

bool CRasterImage::FlipVertical(bool flipSelection, bool flipAlpha) {
  if (!m_pDib || !m_info.pImage) return false;
  DWORD rb = m_info.dwEffWidth;
  BYTE* tmp = (BYTE*)malloc(rb ? rb : 1);
  if (!tmp) return false;
  LONG h = m_head.biHeight;
  for (LONG k = 0; k < h / 2; k++) {
    BYTE* a = m_info.pImage + (size_t)k * rb;
    BYTE* b = m_info.pImage + (size_t)(h - 1 - k) * rb;
    memcpy(tmp, a, rb);
    memcpy(a, b, rb);
    memcpy(b, tmp, rb);
  }
  free(tmp);
  if (flipSelection) FlipSelection();
  if (flipAlpha) FlipAlphaMask();
  return true;
}

bool CRasterImage::Negate() {
  if (!m_pDib || !m_info.pImage) return false;
  if (m_head.biBitCount > 8) {
    if (m_pSelection) {
      const RECT& r = m_info.rSelectionBox;
      for (LONG y = r.bottom; y < r.top; y++) {
        for (LONG x = r.left; x < r.right; x++) {
          if (!IsInside(x, y) || !IsSelected(x, y)) continue;
          RGBQUAD c = GetColorAtRaw(x, y, false);
          c.rgbBlue = (BYTE)~c.rgbBlue;
          c.rgbGreen = (BYTE)~c.rgbGreen;
          c.rgbRed = (BYTE)~c.rgbRed;
          SetColorAt(x, y, c, false);
        }
      }
    } else {
      for (DWORD i = 0; i < m_head.biSizeImage; i++) m_info.pImage[i] = (BYTE)~m_info.pImage[i];
    }
    m_info.nBkgndColor.rgbBlue = (BYTE)~m_info.nBkgndColor.rgbBlue;
    m_info.nBkgndColor.rgbGreen = (BYTE)~m_info.nBkgndColor.rgbGreen;
    m_info.nBkgndColor.rgbRed = (BYTE)~m_info.nBkgndColor.rgbRed;
    return true;
  }
  RGBQUAD* pal = GetPaletteData();
  if (pal && !IsGrayPalette()) {
    for (DWORD i = 0; i < m_head.biClrUsed; i++) {
      pal[i].rgbBlue = (BYTE)~pal[i].rgbBlue;
      pal[i].rgbGreen = (BYTE)~pal[i].rgbGreen;
      pal[i].rgbRed = (BYTE)~pal[i].rgbRed;
    }
    m_info.last_c_isvalid = 0;
    return true;
  }
  if (m_pSelection) {
    const RECT& r = m_info.rSelectionBox;
    for (LONG y = r.bottom; y < r.top; y++) {
      for (LONG x = r.left; x < r.right; x++) {
        if (IsInside(x, y) && IsSelected(x, y)) SetIndexAt(x, y, (BYTE)~GetIndexAt(x, y));
      }
    }
  } else {
    for (DWORD i = 0; i < m_head.biSizeImage; i++) m_info.pImage[i] = (BYTE)~m_info.pImage[i];
  }
  return true;
}

namespace {

int CountBits(DWORD mask) {
  int n = 0;
  for (; mask; mask &= mask - 1) n++;
  return n;
}

// One colour field of a bit-field pixel: where it sits and how wide it is.
// Extract widens the field to 8 bits by moving it to the top of the byte
// (wider fields keep their top 8 bits); a field without bits reads as 0.
struct BitField {
  explicit BitField(DWORD m) : mask(m), bits(CountBits(m)) {
    if (m)
      while (!((m >> shift) & 1)) shift++;
  }
  BYTE Extract(DWORD w) const {
    if (!bits) return 0;
    DWORD v = (w & mask) >> shift;
    return bits >= 8 ? (BYTE)(v >> (bits - 8)) : (BYTE)(v << (8 - bits));
  }
  DWORD mask;
  int bits;
  int shift = 0;
};

}  // namespace

bool CRasterImage::ExpandBitFields(const BYTE* source, DWORD redMask, DWORD greenMask, DWORD blueMask, int bpp) {
  if (!m_pDib || !m_info.pImage || !source || m_head.biBitCount != 24) return false;
  if (bpp != 16 && bpp != 32) return false;
  LONG width = m_head.biWidth;
  LONG height = m_head.biHeight;
  DWORD rb = m_info.dwEffWidth;
  DWORD limit = bpp == 16 ? 0xFFFF : 0xFFFFFFFF;
  const BitField red(redMask & limit), green(greenMask & limit), blue(blueMask & limit);
  int pixelBytes = bpp / 8;
  size_t srcRow = bpp == 16 ? (size_t)((width + 1) / 2) * 4 : (size_t)width * 4;
  for (LONG y = height - 1; y >= 0; y--) {
    const BYTE* s = source + (size_t)y * srcRow;
    BYTE* d = m_info.pImage + (size_t)y * rb;
    for (LONG x = width - 1; x >= 0; x--) {
      const BYTE* p = s + (size_t)x * pixelBytes;
      DWORD w = (DWORD)p[0] | ((DWORD)p[1] << 8);
      if (bpp == 32) w |= ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
      d[3 * x] = blue.Extract(w);
      d[3 * x + 1] = green.Extract(w);
      d[3 * x + 2] = red.Extract(w);
    }
  }
  return true;
}

void CRasterImage::SwapRedBlue(BYTE* buffer, LONG length) {
  if (m_head.biClrUsed || !buffer || length <= 0) return;
  if ((DWORD)length > m_info.dwEffWidth) length = (LONG)m_info.dwEffWidth;
  if ((int64_t)length > (int64_t)m_head.biWidth * 3) length = m_head.biWidth * 3;
  for (LONG i = 0; i + 2 < length; i += 3) {
    BYTE t = buffer[i];
    buffer[i] = buffer[i + 2];
    buffer[i + 2] = t;
  }
}

WORD CRasterImage::SwapWord(WORD v) const {
  if (m_info.bLittleEndianHost) return v;
  return (WORD)((v >> 8) | (v << 8));
}

DWORD CRasterImage::SwapDword(DWORD v) const {
  if (m_info.bLittleEndianHost) return v;
  return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

void CRasterImage::SwapHeaderByteOrder(BITMAPINFOHEADER* h) const {
  if (!h) return;
  h->biSize = SwapDword(h->biSize);
  h->biWidth = (LONG)SwapDword((DWORD)h->biWidth);
  h->biHeight = (LONG)SwapDword((DWORD)h->biHeight);
  h->biPlanes = SwapWord(h->biPlanes);
  h->biBitCount = SwapWord(h->biBitCount);
  h->biCompression = SwapDword(h->biCompression);
  h->biSizeImage = SwapDword(h->biSizeImage);
  h->biXPelsPerMeter = (LONG)SwapDword((DWORD)h->biXPelsPerMeter);
  h->biYPelsPerMeter = (LONG)SwapDword((DWORD)h->biYPelsPerMeter);
  h->biClrUsed = SwapDword(h->biClrUsed);
  h->biClrImportant = SwapDword(h->biClrImportant);
}
