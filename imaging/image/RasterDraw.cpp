// Painting an image into a device context: clipped, scaled, optionally
// mirrored, and blended over the device for transparent or alpha images.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/image/RasterImage.h"

int CRasterImage::Draw(HDC hdc, const RECT& rect, const RECT* clip, bool smooth, bool flip) {
  return Draw(hdc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, clip, smooth, flip);
}

namespace {

// A 24-bit bottom-up DIB section selected into a memory context.
struct SectionDC {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  BYTE* bits = nullptr;
  BITMAPINFO info;
  DWORD rowBytes = 0;

  SectionDC(HDC target, LONG w, LONG h) {
    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    rowBytes = (DWORD)(((w * 24 + 31) / 32) * 4);
    info.bmiHeader.biSizeImage = rowBytes * (DWORD)h;
    dc = CreateCompatibleDC(target);
    if (!dc) return;
    void* pv = nullptr;
    bitmap = CreateDIBSection(target, &info, DIB_RGB_COLORS, &pv, nullptr, 0);
    if (bitmap) {
      bits = (BYTE*)pv;
      previous = SelectObject(dc, bitmap);
    }
  }
  ~SectionDC() {
    if (dc && previous) SelectObject(dc, previous);
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
  }
  bool Ok() const { return dc && bitmap && bits; }
};

inline DWORD AsDword(RGBQUAD c) {
  DWORD v;
  memcpy(&v, &c, sizeof(v));
  return v;
}

}  // namespace

int CRasterImage::Draw(HDC hdc, LONG x, LONG y, LONG cx, LONG cy, const RECT* clip, bool smooth, bool flip) {
  if (!m_pDib || !m_info.pImage || !hdc || cx == 0 || cy == 0 || !m_info.bEnabled) return 0;
  const LONG width = m_head.biWidth, height = m_head.biHeight;
  if (cx < 0) cx = width;
  if (cy < 0) cy = height;

  const bool transparent = m_info.nBkgndIndex >= 0;
  const bool masked = m_pAlpha != nullptr;

  int saved = SaveDC(hdc);
  if (!saved) return 0;

  RECT savedClip = {0, 0, 0, 0};
  if (clip) {
    GetClipBox(hdc, &savedClip);
    HRGN rgn = CreateRectRgnIndirect(clip);
    if (rgn) {
      ExtSelectClipRgn(hdc, rgn, RGN_AND);
      DeleteObject(rgn);
    }
  }

  RECT c;
  GetClipBox(hdc, &c);
  const LONG left = std::min(c.right, std::max(c.left, x));
  const LONG top = std::min(c.bottom, std::max(c.top, y));
  const LONG right = std::max(c.left, std::min(c.right, x + cx));
  const LONG bottom = std::max(c.top, std::min(c.bottom, y + cy));
  const LONG w = right - left;
  const LONG h = bottom - top;

  const bool scaled = cx != width || cy != height;
  const float xs = (float)width / (float)cx;
  const float ys = (float)height / (float)cy;

  // Source pixel of section row r (0 = bottom of the visible part) and column j.
  auto sourceOf = [&](LONG r, LONG j, float* sx, float* sy, LONG* ix, LONG* iy) {
    if (!scaled) {
      *ix = left - x + j;
      *iy = height - (bottom - y) + r;
      *sx = (float)*ix;
      *sy = (float)*iy;
      return;
    }
    LONG yd = bottom - r;
    *sy = (float)height - (float)(yd - y) * ys;
    *sx = (float)(left + j - x) * xs;
    LONG fx = (LONG)floorf(*sx), fy = (LONG)floorf(*sy);
    *ix = fx < 0 ? 0 : fx;
    *iy = fy < 0 ? 0 : fy;
  };
  auto colourOf = [&](float sx, float sy, LONG ix, LONG iy) -> RGBQUAD {
    if (smooth && scaled) {
      if (xs > 1 && ys > 1)
        return AreaAverageColor(sx - 0.5f, sy - 0.5f, xs, ys, RASTER_IM_BILINEAR, RASTER_OVERFLOW_REPEAT, nullptr);
      return InterpolateColor(sx - 0.5f, sy - 0.5f, RASTER_IM_BILINEAR, RASTER_OVERFLOW_REPEAT, nullptr);
    }
    if (ix >= width) ix = width - 1;
    if (iy >= height) iy = height - 1;
    if (m_head.biClrUsed) return GetPaletteEntry(GetIndexAtRaw(ix, iy));
    const BYTE* p = m_info.pImage + (size_t)iy * m_info.dwEffWidth + (size_t)ix * 3;
    RGBQUAD q;
    q.rgbBlue = p[0];
    q.rgbGreen = p[1];
    q.rgbRed = p[2];
    q.rgbReserved = 0;
    return q;
  };

  if (!transparent && !masked && !m_info.bAlphaPaletteEnabled) {
    if (!scaled) {
      SetStretchBltMode(hdc, COLORONCOLOR);
      if (flip) {
        StretchDIBits(hdc, x, y + cy - 1, cx, -cy, 0, 0, cx, cy, m_info.pImage, (BITMAPINFO*)m_pDib, DIB_RGB_COLORS,
                      SRCCOPY);
      } else {
        SetDIBitsToDevice(hdc, x, y, (DWORD)cx, (DWORD)cy, 0, 0, 0, (UINT)cy, m_info.pImage, (BITMAPINFO*)m_pDib,
                          DIB_RGB_COLORS);
      }
    } else if (w > 0 && h > 0) {
      SectionDC section(hdc, w, h);
      if (section.Ok()) {
        for (LONG r = 0; r < h; r++) {
          BYTE* out = section.bits + (size_t)(flip ? h - 1 - r : r) * section.rowBytes;
          for (LONG j = 0; j < w; j++) {
            float sx, sy;
            LONG ix, iy;
            sourceOf(r, j, &sx, &sy, &ix, &iy);
            RGBQUAD q = colourOf(sx, sy, ix, iy);
            out[3 * j] = q.rgbBlue;
            out[3 * j + 1] = q.rgbGreen;
            out[3 * j + 2] = q.rgbRed;
          }
        }
        SetDIBitsToDevice(hdc, left, top, (DWORD)w, (DWORD)h, 0, 0, 0, (UINT)h, section.bits, &section.info,
                          DIB_RGB_COLORS);
      }
    }
  } else if (w > 0 && h > 0) {
    const RGBQUAD tc = GetTransparentColor();
    const int ti = m_info.nBkgndIndex;
    SectionDC section(hdc, w, h);
    if (section.Ok()) {
      BitBlt(section.dc, 0, 0, w, h, hdc, left, top, SRCCOPY);
      GdiFlush();
      for (LONG r = 0; r < h; r++) {
        BYTE* out = section.bits + (size_t)(flip ? h - 1 - r : r) * section.rowBytes;
        for (LONG j = 0; j < w; j++) {
          float sx, sy;
          LONG ix, iy;
          sourceOf(r, j, &sx, &sy, &ix, &iy);
          if (ix >= width) ix = width - 1;
          if (iy >= height) iy = height - 1;
          unsigned a = masked ? GetAlphaAtRaw(ix, iy) : 255;
          a = (a * (m_info.nAlphaMax + 1u)) >> 8;
          RGBQUAD q;
          bool skip;
          if (m_head.biClrUsed) {
            BYTE idx = GetIndexAtRaw(ix, iy);
            q = (smooth && scaled) ? colourOf(sx, sy, ix, iy) : GetPaletteEntry(idx);
            if (m_info.bAlphaPaletteEnabled) a = (a * (q.rgbReserved + 1u)) >> 8;
            skip = transparent && idx == ti;
          } else {
            q = colourOf(sx, sy, ix, iy);
            if (!(smooth && scaled)) q.rgbReserved = 0;
            skip = transparent && AsDword(q) == AsDword(tc);
          }
          if (skip || a == 0) continue;
          BYTE* p = out + 3 * (size_t)j;
          if (a == 255) {
            p[0] = q.rgbBlue;
            p[1] = q.rgbGreen;
            p[2] = q.rgbRed;
          } else {
            unsigned na = (BYTE) ~(BYTE)a;
            p[0] = (BYTE)((q.rgbBlue * a + p[0] * na) >> 8);
            p[1] = (BYTE)((q.rgbGreen * a + p[1] * na) >> 8);
            p[2] = (BYTE)((q.rgbRed * a + p[2] * na) >> 8);
          }
        }
      }
      SetDIBitsToDevice(hdc, left, top, (DWORD)w, (DWORD)h, 0, 0, 0, (UINT)h, section.bits, &section.info,
                        DIB_RGB_COLORS);
    }
  }

  if (clip) {
    HRGN rgn = CreateRectRgnIndirect(&savedClip);
    if (rgn) {
      ExtSelectClipRgn(hdc, rgn, RGN_OR);
      DeleteObject(rgn);
    }
  }
  RestoreDC(hdc, saved);
  return 1;
}
