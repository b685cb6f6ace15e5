// Colours at fractional positions and averaged over fractional areas.
#include <cmath>
#include <cstring>

#include "imaging/image/RasterImage.h"

namespace {

const float kPi = 3.14159265358979f;

struct FloatRect {
  float left, top, right, bottom;
  float Width() const { return right - left; }
  float Height() const { return bottom - top; }
  float Surface() const { return Width() * Height(); }
  float CenterX() const { return (left + right) / 2; }
  float CenterY() const { return (top + bottom) / 2; }
  FloatRect Intersect(const FloatRect& o) const {
    FloatRect r{left > o.left ? left : o.left, top > o.top ? top : o.top, right < o.right ? right : o.right,
                bottom < o.bottom ? bottom : o.bottom};
    if (r.left > r.right || r.top > r.bottom) return FloatRect{0, 0, 0, 0};
    return r;
  }
};

inline int Cell(float v) {
  int i = (int)v;
  if (v < 0) i--;
  return i;
}

inline BYTE ClampByte(float v) {
  if (!(v > 0)) return 0;  // also NaN
  if (v > 255) return 255;
  return (BYTE)v;
}

inline float Cube(float u) { return u > 0 ? u * u * u : 0; }

typedef float (*Kernel)(float);

Kernel KernelFor(int method) {
  switch (method) {
    case RASTER_IM_BSPLINE:
      return CRasterImage::KernelBSpline;
    case RASTER_IM_BICUBIC:
      return CRasterImage::KernelCubic1;
    case RASTER_IM_BICUBIC2:
      return CRasterImage::KernelCubic05;
    case RASTER_IM_LANCZOS:
      return CRasterImage::KernelLanczos6;
    case RASTER_IM_BOX:
      return CRasterImage::KernelBox;
    case RASTER_IM_HERMITE:
      return CRasterImage::KernelHermite;
    case RASTER_IM_HAMMING:
      return CRasterImage::KernelHamming;
    case RASTER_IM_SINC:
      return CRasterImage::KernelSinc;
    case RASTER_IM_BLACKMAN:
      return CRasterImage::KernelBlackman;
    case RASTER_IM_BESSEL:
      return CRasterImage::KernelBessel;
    case RASTER_IM_GAUSSIAN:
      return CRasterImage::KernelGaussian;
    case RASTER_IM_QUADRATIC:
      return CRasterImage::KernelQuadratic;
    case RASTER_IM_MITCHELL:
      return CRasterImage::KernelMitchell;
    case RASTER_IM_CATROM:
      return CRasterImage::KernelCatmullRom;
    case RASTER_IM_HANNING:
      return CRasterImage::KernelHanning;
    case RASTER_IM_POWER:
      return CRasterImage::KernelPower;
    default:
      return nullptr;
  }
}

}  // namespace

// ------------------------------------------------------------------ kernels

float CRasterImage::KernelBSpline(float t) {
  if (t > 2) return 0;
  return (Cube(t + 2) - 4 * Cube(t + 1) + 6 * Cube(t) - 4 * Cube(t - 1)) * 0.16666667f;
}

float CRasterImage::KernelCubic1(float t) {
  float a = fabsf(t);
  if (a < 1) return 1 - 2 * t * t + a * a * a;
  if (a < 2) return 4 - 8 * a + 5 * t * t - a * a * a;
  return 0;
}

float CRasterImage::KernelCubic05(float t) {
  const float k = -0.5f;
  float a = fabsf(t);
  if (a < 1) return (k + 2) * a * a * a - (k + 3) * t * t + 1;
  if (a < 2) return k * a * a * a - 5 * k * t * t + 8 * k * a - 4 * k;
  return 0;
}

float CRasterImage::KernelLanczos6(float t) {
  float a = fabsf(t);
  if (a > 6) return 0;
  if (t == 0) return 1;
  float p = kPi * t;
  float q = p / 6;
  return (sinf(q) / q) * (sinf(p) / p);
}

float CRasterImage::KernelBox(float t) { return (t >= -0.5f && t < 0.5f) ? 1.0f : 0.0f; }

float CRasterImage::KernelHermite(float t) {
  if (t < -1 || t >= 1) return 0;
  float a = fabsf(t);
  return 2 * a * a * a - 3 * t * t + 1;
}

float CRasterImage::KernelHamming(float t) {
  if (t < -1 || t >= 1) return 0;
  float a = fabsf(t);
  return 0.92f * (2 * a * a * a - 3 * t * t) + 1;
}

float CRasterImage::KernelSinc(float t) {
  if (t == 0) return 1;
  float p = kPi * t;
  return sinf(p) / p;
}

float CRasterImage::KernelBlackman(float t) { return 0.42f + 0.5f * cosf(kPi * t) + 0.08f * cosf(2 * kPi * t); }

double CRasterImage::BesselJ1(double x) {
  double ax = fabs(x);
  if (x == 0) return 0;
  if (ax < 8.0) {
    double y = x * x;
    double num =
        x * (72362614232.0 +
             y * (-7895059235.0 + y * (242396853.1 + y * (-2972611.439 + y * (15704.48260 + y * (-30.16036606))))));
    double den =
        144725228442.0 + y * (2300535178.0 + y * (18583304.74 + y * (99447.43394 + y * (376.9991397 + y * 1.0))));
    return num / den;
  }
  double z = 8.0 / ax;
  double y = z * z;
  double xx = ax - 2.356194491;
  double p1 = 1.0 + y * (0.183105e-2 + y * (-0.3516396496e-4 + y * (0.2457520174e-5 + y * (-0.240337019e-6))));
  double q1 =
      0.04687499995 + y * (-0.2002690873e-3 + y * (0.8449199096e-5 + y * (-0.88228987e-6 + y * 0.105787412e-6)));
  double r = sqrt(0.636619772 / ax) * (cos(xx) * p1 - z * sin(xx) * q1);
  return x < 0 ? -r : r;
}

float CRasterImage::KernelBessel(float t) {
  if (t == 0) return 0.7853982f;
  return (float)(BesselJ1(kPi * t) / (2 * t));
}

float CRasterImage::KernelGaussian(float t) { return expf(-2 * t * t) * 0.7978846f; }

float CRasterImage::KernelQuadratic(float t) {
  if (t < -1.5f) return 0;
  if (t < -0.5f) return 0.5f * (t + 1.5f) * (t + 1.5f);
  if (t < 0.5f) return 0.75f - t * t;
  if (t < 1.5f) return 0.5f * (t - 1.5f) * (t - 1.5f);
  return 0;
}

float CRasterImage::KernelMitchell(float t) {
  float a = fabsf(t);
  if (a < 1) return 1.1666666f * a * a * a - 2 * t * t + 0.8888889f;
  if (a < 2) return -0.3888889f * a * a * a + 2 * t * t - 3.3333333f * a + 1.7777778f;
  return 0;
}

float CRasterImage::KernelCatmullRom(float t) {
  float a = fabsf(t);
  if (a < 1) return 0.5f * (3 * a * a * a - 5 * t * t + 2);
  if (a < 2) return 0.5f * (-a * a * a + 5 * t * t - 8 * a + 4);
  return 0;
}

float CRasterImage::KernelHanning(float t) {
  float a = fabsf(t);
  if (a > 1) return 0;
  if (t == 0) return 1;
  float p = kPi * t;
  return sinf(p) / p * (0.5f + 0.5f * cosf(p));
}

float CRasterImage::KernelPower(float t) {
  float a = fabsf(t);
  if (a > 1) return 0;
  return 1 - a * a;
}

// --------------------------------------------------------- overflow rules

void CRasterImage::WrapCoordinates(LONG& x, LONG& y, int overflow) const {
  LONG w = m_head.biWidth, h = m_head.biHeight;
  if (w <= 0 || h <= 0 || IsInside(x, y)) return;
  switch (overflow) {
    case RASTER_OVERFLOW_WRAP:
      x %= w;
      if (x < 0) x += w;
      y %= h;
      if (y < 0) y += h;
      break;
    case RASTER_OVERFLOW_REPEAT:
      x = x < 0 ? 0 : x >= w ? w - 1 : x;
      y = y < 0 ? 0 : y >= h ? h - 1 : y;
      break;
    case RASTER_OVERFLOW_MIRROR:
      if (x < 0)
        x = (LONG)((-(int64_t)x) % w);
      else if (x >= w)
        x = w - (x % w) - 1;
      if (y < 0)
        y = (LONG)((-(int64_t)y) % h);
      else if (y >= h)
        y = h - (y % h) - 1;
      break;
    default:
      break;
  }
}

void CRasterImage::WrapCoordinatesF(float& x, float& y, int overflow) const {
  LONG w = m_head.biWidth, h = m_head.biHeight;
  if (w <= 0 || h <= 0) return;
  if (x >= 0 && y >= 0 && x < w && y < h) return;
  if (!std::isfinite(x) || !std::isfinite(y)) {
    x = 0;
    y = 0;
    return;
  }
  float fw = (float)w, fh = (float)h;
  switch (overflow) {
    case RASTER_OVERFLOW_WRAP:
      x = fmodf(x, fw);
      if (x < 0) x += fw;
      y = fmodf(y, fh);
      if (y < 0) y += fh;
      break;
    case RASTER_OVERFLOW_REPEAT:
      x = x < 0 ? 0 : x > fw - 1 ? fw - 1 : x;
      y = y < 0 ? 0 : y > fh - 1 ? fh - 1 : y;
      break;
    case RASTER_OVERFLOW_MIRROR:
      if (x < 0)
        x = fmodf(-x, fw);
      else if (x >= fw)
        x = fw - fmodf(x, fw) - 1;
      if (y < 0)
        y = fmodf(-y, fh);
      else if (y >= fh)
        y = fh - fmodf(y, fh) - 1;
      break;
    default:
      break;
  }
  // Rounding may leave a coordinate on the far edge.
  if (x >= fw) x = fw - 1;
  if (y >= fh) y = fh - 1;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
}

RGBQUAD CRasterImage::GetOverflowColor(int overflow, const RGBQUAD* replacement) const {
  RGBQUAD color = replacement ? *replacement : MakeQuad(255, 255, 255, 0);
  switch (overflow) {
    case RASTER_OVERFLOW_TRANSPARENT:
      if (m_info.nBkgndIndex >= 0) {
        if (m_head.biBitCount < 24) return GetPaletteEntry((BYTE)m_info.nBkgndIndex);
        return m_info.nBkgndColor;
      }
      return color;
    case RASTER_OVERFLOW_BACKGROUND:
      if (m_pAlpha) {
        color.rgbReserved = 0;
        return color;
      }
      if (m_info.nBkgndIndex >= 0) return GetTransparentColor();
      return color;
    default:
      return color;
  }
}

RGBQUAD CRasterImage::GetColorWithOverflow(LONG x, LONG y, int overflow, const RGBQUAD* replacement) const {
  if (m_pDib && m_info.pImage && IsInside(x, y)) return GetColorAtRaw(x, y, true);
  RGBQUAD color = replacement ? *replacement : MakeQuad(255, 255, 255, 0);
  if (!m_pDib || !m_info.pImage) return color;
  switch (overflow) {
    case RASTER_OVERFLOW_WRAP:
    case RASTER_OVERFLOW_REPEAT:
    case RASTER_OVERFLOW_MIRROR:
      WrapCoordinates(x, y, overflow);
      if (IsInside(x, y)) return GetColorAtRaw(x, y, true);
      return color;
    default:
      return GetOverflowColor(overflow, replacement);
  }
}

void CRasterImage::AccumulateWeighted(RGBQUAD c, float weight, float sums[4]) {
  sums[0] += weight * c.rgbRed;
  sums[1] += weight * c.rgbGreen;
  sums[2] += weight * c.rgbBlue;
  sums[3] += weight * c.rgbReserved;
}

// ------------------------------------------------------------ interpolation

RGBQUAD CRasterImage::InterpolateColor(float x, float y, int method, int overflow, const RGBQUAD* replacement) const {
  RGBQUAD none = replacement ? *replacement : MakeQuad(255, 255, 255, 0);
  if (!m_pDib || !m_info.pImage) return none;
  const LONG w = m_head.biWidth, h = m_head.biHeight;
  if (!std::isfinite(x) || !std::isfinite(y)) return GetColorWithOverflow(-999, -999, overflow, replacement);

  if (method == RASTER_IM_NEAREST) {
    // Positions beyond the integer range are outside in any case.
    if (fabsf(x) > 1e9f || fabsf(y) > 1e9f) return GetColorWithOverflow(-999, -999, overflow, replacement);
    return GetColorWithOverflow((LONG)(x + 0.5f), (LONG)(y + 0.5f), overflow, replacement);
  }

  Kernel kernel = (method >= 3 && method <= 18) ? KernelFor(method) : nullptr;
  if (!kernel) {
    // Bilinear.
    int64_t xi = (fabsf(x) > 1e9f) ? -999 : Cell(x);
    int64_t yi = (fabsf(y) > 1e9f) ? -999 : Cell(y);
    if (xi < -1 || xi >= w || yi < -1 || yi >= h) {
      if (overflow >= 1 && overflow <= 3) return GetColorWithOverflow(-999, -999, overflow, replacement);
      WrapCoordinatesF(x, y, overflow);
      xi = Cell(x);
      yi = Cell(y);
      if (xi < -1 || xi >= w || yi < -1 || yi >= h) return GetOverflowColor(overflow, replacement);
    }
    if (!m_head.biClrUsed && xi >= 0 && yi >= 0 && xi + 1 < w && yi + 1 < h) {
      int fx = (int)((x - xi) * 256), fy = (int)((y - yi) * 256);
      int w11 = (fx * fy) >> 8;
      int w10 = fx - w11;
      int w01 = fy - w11;
      int w00 = 256 - fx - w01;
      const BYTE* p00 = m_info.pImage + (size_t)yi * m_info.dwEffWidth + (size_t)xi * 3;
      const BYTE* p10 = p00 + 3;
      const BYTE* p01 = p00 + m_info.dwEffWidth;
      const BYTE* p11 = p01 + 3;
      RGBQUAD c;
      c.rgbBlue = (BYTE)((p00[0] * w00 + p10[0] * w10 + p01[0] * w01 + p11[0] * w11) >> 8);
      c.rgbGreen = (BYTE)((p00[1] * w00 + p10[1] * w10 + p01[1] * w01 + p11[1] * w11) >> 8);
      c.rgbRed = (BYTE)((p00[2] * w00 + p10[2] * w10 + p01[2] * w01 + p11[2] * w11) >> 8);
      if (m_pAlpha) {
        const BYTE* a00 = m_pAlpha + (size_t)yi * w + xi;
        const BYTE* a01 = a00 + w;
        c.rgbReserved = (BYTE)((a00[0] * w00 + a00[1] * w10 + a01[0] * w01 + a01[1] * w11) >> 8);
      } else {
        c.rgbReserved = 0;
      }
      return c;
    }
    float wx = x - xi, wy = y - yi;
    float w11 = wx * wy, w10 = wx - w11, w01 = wy - w11, w00 = 1 - wx - w01;
    RGBQUAD c00 = GetColorWithOverflow((LONG)xi, (LONG)yi, overflow, replacement);
    RGBQUAD c10 = GetColorWithOverflow((LONG)xi + 1, (LONG)yi, overflow, replacement);
    RGBQUAD c01 = GetColorWithOverflow((LONG)xi, (LONG)yi + 1, overflow, replacement);
    RGBQUAD c11 = GetColorWithOverflow((LONG)xi + 1, (LONG)yi + 1, overflow, replacement);
    RGBQUAD c;
    c.rgbBlue = ClampByte(c00.rgbBlue * w00 + c10.rgbBlue * w10 + c01.rgbBlue * w01 + c11.rgbBlue * w11);
    c.rgbGreen = ClampByte(c00.rgbGreen * w00 + c10.rgbGreen * w10 + c01.rgbGreen * w01 + c11.rgbGreen * w11);
    c.rgbRed = ClampByte(c00.rgbRed * w00 + c10.rgbRed * w10 + c01.rgbRed * w01 + c11.rgbRed * w11);
    c.rgbReserved =
        ClampByte(c00.rgbReserved * w00 + c10.rgbReserved * w10 + c01.rgbReserved * w01 + c11.rgbReserved * w11);
    return c;
  }

  // Kernel methods: 4 x 4 taps, Lanczos 12 x 12.
  int before = method == RASTER_IM_LANCZOS ? 5 : 1;
  int taps = method == RASTER_IM_LANCZOS ? 12 : 4;
  int64_t xi = (fabsf(x) > 1e9f) ? -999999 : Cell(x);
  int64_t yi = (fabsf(y) > 1e9f) ? -999999 : Cell(y);
  auto outside = [&]() {
    return xi + (taps - before - 1) < 0 || xi - before >= w || yi + (taps - before - 1) < 0 || yi - before >= h;
  };
  if (outside()) {
    if (overflow >= 1 && overflow <= 3) return GetColorWithOverflow(-999, -999, overflow, replacement);
    WrapCoordinatesF(x, y, overflow);
    xi = Cell(x);
    yi = Cell(y);
    if (outside()) return GetOverflowColor(overflow, replacement);
  }
  float wx[12], wy[12];
  for (int i = 0; i < taps; i++) {
    wx[i] = kernel((float)(xi - before + i) - x);
    wy[i] = kernel((float)(yi - before + i) - y);
  }
  float sums[4] = {0, 0, 0, 0};
  bool fast = !m_head.biClrUsed && xi - before >= 0 && xi - before + taps - 1 < w && yi - before >= 0 &&
              yi - before + taps - 1 < h;
  if (fast) {
    for (int j = 0; j < taps; j++) {
      LONG yy = (LONG)(yi - before + j);
      const BYTE* row = m_info.pImage + (size_t)yy * m_info.dwEffWidth;
      for (int i = 0; i < taps; i++) {
        LONG xx = (LONG)(xi - before + i);
        float weight = wx[i] * wy[j];
        const BYTE* p = row + (size_t)xx * 3;
        sums[2] += weight * p[0];
        sums[1] += weight * p[1];
        sums[0] += weight * p[2];
        if (m_pAlpha) sums[3] += weight * m_pAlpha[(size_t)yy * w + xx];
      }
    }
  } else {
    for (int j = 0; j < taps; j++) {
      for (int i = 0; i < taps; i++) {
        RGBQUAD c = GetColorWithOverflow((LONG)(xi - before + i), (LONG)(yi - before + j), overflow, replacement);
        AccumulateWeighted(c, wx[i] * wy[j], sums);
      }
    }
  }
  return MakeQuad(ClampByte(sums[2]), ClampByte(sums[1]), ClampByte(sums[0]), ClampByte(sums[3]));
}

RGBQUAD CRasterImage::AreaAverageColor(float xc, float yc, float w, float h, int method, int overflow,
                                       const RGBQUAD* replacement) const {
  if (w <= 1 && h <= 1) return InterpolateColor(xc, yc, method, overflow, replacement);
  if (!m_pDib || !m_info.pImage || !std::isfinite(xc) || !std::isfinite(yc) || !std::isfinite(w) || !std::isfinite(h))
    return replacement ? *replacement : MakeQuad(255, 255, 255, 0);
  FloatRect area{xc - w / 2, yc - h / 2, xc + w / 2, yc + h / 2};
  float surface = area.Surface();
  // A degenerate area (a zero or negative side) has nothing to average over.
  if (!(surface > 0) || fabsf(area.left) > 1e8f || fabsf(area.top) > 1e8f || fabsf(area.right) > 1e8f ||
      fabsf(area.bottom) > 1e8f)
    return InterpolateColor(xc, yc, method, overflow, replacement);
  LONG x0 = (LONG)(area.left + 0.5f), y0 = (LONG)(area.top + 0.5f);
  LONG x1 = (LONG)(area.right + 0.5f), y1 = (LONG)(area.bottom + 0.5f);
  float sums[4] = {0, 0, 0, 0};
  auto cell = [](LONG i, LONG j) { return FloatRect{i - 0.5f, j - 0.5f, i + 0.5f, j + 0.5f}; };
  if (w > 1 && h > 1) {
    FloatRect c0 = cell(x0, y0).Intersect(area);
    FloatRect c1 = cell(x1, y1).Intersect(area);
    float a = c0.Width(), b = c0.Height(), c = c1.Width(), d = c1.Height();
    AccumulateWeighted(GetColorWithOverflow(x0, y0, overflow, replacement), a * b, sums);
    AccumulateWeighted(GetColorWithOverflow(x1, y0, overflow, replacement), c * b, sums);
    AccumulateWeighted(GetColorWithOverflow(x0, y1, overflow, replacement), a * d, sums);
    AccumulateWeighted(GetColorWithOverflow(x1, y1, overflow, replacement), c * d, sums);
    for (LONG x = x0 + 1; x < x1; x++) {
      AccumulateWeighted(GetColorWithOverflow(x, y0, overflow, replacement), b, sums);
      AccumulateWeighted(GetColorWithOverflow(x, y1, overflow, replacement), d, sums);
    }
    for (LONG y = y0 + 1; y < y1; y++) {
      AccumulateWeighted(GetColorWithOverflow(x0, y, overflow, replacement), a, sums);
      AccumulateWeighted(GetColorWithOverflow(x1, y, overflow, replacement), c, sums);
      for (LONG x = x0 + 1; x < x1; x++)
        AccumulateWeighted(GetColorWithOverflow(x, y, overflow, replacement), 1.0f, sums);
    }
  } else {
    for (LONG y = y0; y <= y1; y++) {
      for (LONG x = x0; x <= x1; x++) {
        FloatRect part = cell(x, y).Intersect(area);
        float weight = part.Surface();
        if (weight <= 0) continue;
        AccumulateWeighted(InterpolateColor(part.CenterX(), part.CenterY(), method, overflow, replacement), weight,
                           sums);
      }
    }
  }
  return MakeQuad(ClampByte(sums[2] / surface), ClampByte(sums[1] / surface), ClampByte(sums[0] / surface),
                  ClampByte(sums[3] / surface));
}
