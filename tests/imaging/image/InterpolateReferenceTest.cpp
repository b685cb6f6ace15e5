// Interpolation checked against a reference sampler written here from the
// documented rules (integer cell, taps, overflow rules, weights), at interior
// positions, at the image edges (last tap on the last column or one past it),
// at negative and wholly outside positions, for every method and the rules
// that move a position inside; kernels also at hand-worked points.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <vector>

#include "tests/imaging/image/ImageTestUtil.h"
#include "imaging/image/RasterImage.h"

namespace {

const double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------- reference

// What the reference knows of an image: its pixels as set, independently of
// how the image stores them.
struct RefImage {
  int w = 0, h = 0;
  std::vector<RGBQUAD> px;  // row y = 0 first; fourth byte alpha, or 0 without a mask
  const RGBQUAD& At(int x, int y) const { return px[(size_t)y * w + x]; }
};

int RefCell(double v) {
  int i = (int)v;
  if (v < 0) i--;
  return i;
}

// The integer overflow rules; false when the position yields the replacement colour.
bool RefMove(int& c, int n, int overflow) {
  if (c >= 0 && c < n) return true;
  switch (overflow) {
    case RASTER_OVERFLOW_WRAP:
      c = ((c % n) + n) % n;
      return true;
    case RASTER_OVERFLOW_REPEAT:
      c = c < 0 ? 0 : n - 1;
      return true;
    case RASTER_OVERFLOW_MIRROR:
      c = c < 0 ? (-c) % n : n - (c % n) - 1;
      return true;
    default:
      return false;
  }
}

RGBQUAD RefFetch(const RefImage& img, int x, int y, int overflow, RGBQUAD replacement) {
  if (x >= 0 && y >= 0 && x < img.w && y < img.h) return img.At(x, y);
  // A position outside on one axis only keeps its other coordinate.
  int mx = x, my = y;
  if (!RefMove(mx, img.w, overflow) || !RefMove(my, img.h, overflow)) return replacement;
  return img.At(mx, my);
}

// The float rules that move a wholly outside position inside.
void RefMoveF(double& c, int n, int overflow) {
  switch (overflow) {
    case RASTER_OVERFLOW_WRAP:
      c = std::fmod(c, n);
      if (c < 0) c += n;
      break;
    case RASTER_OVERFLOW_REPEAT:
      c = c < 0 ? 0 : c > n - 1 ? n - 1 : c;
      break;
    case RASTER_OVERFLOW_MIRROR:
      if (c < 0)
        c = std::fmod(-c, n);
      else if (c >= n)
        c = n - std::fmod(c, n) - 1;
      break;
  }
  if (c >= n) c = n - 1;
  if (c < 0) c = 0;
}

double RefKernel(int method, double t) {
  double a = std::fabs(t);
  auto cube = [](double u) { return u > 0 ? u * u * u : 0.0; };
  switch (method) {
    case RASTER_IM_BSPLINE:
      return t > 2 ? 0 : (cube(t + 2) - 4 * cube(t + 1) + 6 * cube(t) - 4 * cube(t - 1)) / 6;
    case RASTER_IM_BICUBIC:
      return a < 1 ? 1 - 2 * t * t + a * a * a : a < 2 ? 4 - 8 * a + 5 * t * t - a * a * a : 0;
    case RASTER_IM_BICUBIC2: {
      const double k = -0.5;
      return a < 1   ? (k + 2) * a * a * a - (k + 3) * t * t + 1
             : a < 2 ? k * a * a * a - 5 * k * t * t + 8 * k * a - 4 * k
                     : 0;
    }
    case RASTER_IM_LANCZOS:
      if (a > 6) return 0;
      if (t == 0) return 1;
      return std::sin(kPi * t / 6) / (kPi * t / 6) * std::sin(kPi * t) / (kPi * t);
    case RASTER_IM_BOX:
      return t >= -0.5 && t < 0.5 ? 1 : 0;
    case RASTER_IM_HERMITE:
      return t >= -1 && t < 1 ? 2 * a * a * a - 3 * t * t + 1 : 0;
    case RASTER_IM_HAMMING:
      return t >= -1 && t < 1 ? 0.92 * (2 * a * a * a - 3 * t * t) + 1 : 0;
    case RASTER_IM_SINC:
      return t == 0 ? 1 : std::sin(kPi * t) / (kPi * t);
    case RASTER_IM_BLACKMAN:
      return 0.42 + 0.5 * std::cos(kPi * t) + 0.08 * std::cos(2 * kPi * t);
    case RASTER_IM_BESSEL:
      return t == 0 ? kPi / 4 : std::cyl_bessel_j(1.0, kPi * a) / (2 * a);
    case RASTER_IM_GAUSSIAN:
      return std::exp(-2 * t * t) * 0.7978846;
    case RASTER_IM_QUADRATIC:
      if (t < -1.5) return 0;
      if (t < -0.5) return 0.5 * (t + 1.5) * (t + 1.5);
      if (t < 0.5) return 0.75 - t * t;
      if (t < 1.5) return 0.5 * (t - 1.5) * (t - 1.5);
      return 0;
    case RASTER_IM_MITCHELL:
      return a < 1   ? (7.0 / 6) * a * a * a - 2 * t * t + 8.0 / 9
             : a < 2 ? (-7.0 / 18) * a * a * a + 2 * t * t - (10.0 / 3) * a + 16.0 / 9
                     : 0;
    case RASTER_IM_CATROM:
      return a < 1 ? 0.5 * (3 * a * a * a - 5 * t * t + 2) : a < 2 ? 0.5 * (-a * a * a + 5 * t * t - 8 * a + 4) : 0;
    case RASTER_IM_HANNING:
      if (a > 1) return 0;
      if (t == 0) return 1;
      return std::sin(kPi * t) / (kPi * t) * (0.5 + 0.5 * std::cos(kPi * t));
    case RASTER_IM_POWER:
      return a <= 1 ? 1 - a * a : 0;
  }
  return 0;
}

BYTE Limit(double v) { return v <= 0 ? 0 : v >= 255 ? 255 : (BYTE)v; }

RGBQUAD RefInterpolate(const RefImage& img, double x, double y, int method, int overflow, RGBQUAD repl) {
  if (method == RASTER_IM_NEAREST) return RefFetch(img, (int)(x + 0.5), (int)(y + 0.5), overflow, repl);
  bool bilinear = method < 1 || method > 18 || method == RASTER_IM_BILINEAR;
  int taps = bilinear ? 2 : method == RASTER_IM_LANCZOS ? 12 : 4;
  int before = bilinear ? 0 : method == RASTER_IM_LANCZOS ? 5 : 1;
  int xi = RefCell(x), yi = RefCell(y);
  auto outside = [&] {
    return xi - before + taps - 1 < 0 || xi - before >= img.w || yi - before + taps - 1 < 0 || yi - before >= img.h;
  };
  if (outside()) {
    if (overflow >= 1 && overflow <= 3) return repl;
    RefMoveF(x, img.w, overflow);
    RefMoveF(y, img.h, overflow);
    xi = RefCell(x);
    yi = RefCell(y);
  }
  double wx[12], wy[12];
  for (int i = 0; i < taps; i++) {
    if (bilinear) {
      wx[i] = i ? x - xi : 1 - (x - xi);
      wy[i] = i ? y - yi : 1 - (y - yi);
    } else {
      wx[i] = RefKernel(method, xi - before + i - x);
      wy[i] = RefKernel(method, yi - before + i - y);
    }
  }
  double sum[4] = {0, 0, 0, 0};
  for (int j = 0; j < taps; j++) {
    for (int i = 0; i < taps; i++) {
      RGBQUAD c = RefFetch(img, xi - before + i, yi - before + j, overflow, repl);
      double k = wx[i] * wy[j];
      sum[0] += k * c.rgbRed;
      sum[1] += k * c.rgbGreen;
      sum[2] += k * c.rgbBlue;
      sum[3] += k * c.rgbReserved;
    }
  }
  return Q(Limit(sum[0]), Limit(sum[1]), Limit(sum[2]), Limit(sum[3]));
}

// ------------------------------------------------------------------ images

const int kW = 17, kH = 15;

// Three images with the same random content: true colour, true colour with an
// alpha mask, and an 8-bit palette image.
struct TestImages {
  CRasterImage rgb, alpha, indexed;
  RefImage refRgb, refAlpha, refIndexed;
  TestImages() {
    std::mt19937 rng(1108);
    rgb.Create(kW, kH, 24, RASTER_TYPE_BMP);
    alpha.Create(kW, kH, 24, RASTER_TYPE_BMP);
    alpha.CreateAlphaMask();
    indexed.Create(kW, kH, 8, RASTER_TYPE_BMP);
    RGBQUAD palette[256];
    for (int i = 0; i < 256; i++) {
      palette[i] = Q((BYTE)rng(), (BYTE)rng(), (BYTE)rng());
      indexed.SetPaletteEntry((BYTE)i, palette[i]);
    }
    for (RefImage* r : {&refRgb, &refAlpha, &refIndexed}) {
      r->w = kW;
      r->h = kH;
      r->px.resize((size_t)kW * kH);
    }
    for (int y = 0; y < kH; y++) {
      for (int x = 0; x < kW; x++) {
        RGBQUAD c = Q((BYTE)rng(), (BYTE)rng(), (BYTE)rng());
        BYTE a = (BYTE)rng();
        BYTE index = (BYTE)rng();
        rgb.SetColorAt(x, y, c);
        alpha.SetColorAt(x, y, c);
        alpha.SetAlphaAt(x, y, a);
        indexed.SetIndexAt(x, y, index);
        refRgb.px[(size_t)y * kW + x] = c;
        refAlpha.px[(size_t)y * kW + x] = Q(c.rgbRed, c.rgbGreen, c.rgbBlue, a);
        refIndexed.px[(size_t)y * kW + x] = palette[index];
      }
    }
  }
};

std::string Describe(RGBQUAD c) {
  std::ostringstream s;
  s << "(" << (int)c.rgbRed << "," << (int)c.rgbGreen << "," << (int)c.rgbBlue << "," << (int)c.rgbReserved << ")";
  return s.str();
}

bool Near(RGBQUAD a, RGBQUAD b, int tolerance) {
  return std::abs(a.rgbRed - b.rgbRed) <= tolerance && std::abs(a.rgbGreen - b.rgbGreen) <= tolerance &&
         std::abs(a.rgbBlue - b.rgbBlue) <= tolerance && std::abs(a.rgbReserved - b.rgbReserved) <= tolerance;
}

// Positions along one axis of size n: inside, whole numbers, the last tap of
// each family on the last pixel and one past it, the first tap on pixel 0
// and one before it, negative positions and positions wholly outside. All
// are multiples of 1/4, so that the fixed-point and float bilinear weights
// are exact and agree.
std::vector<float> AxisPositions(int n) {
  return {5.25f,    3.0f,     0.0f,      0.5f,      0.75f,           1.25f,           4.5f,
          5.5f,     n - 2.5f, n - 1.5f,  n - 1.0f,  n - 0.5f,        n - 0.25f,       n - 6.5f,
          n - 5.5f, -0.25f,   -0.5f,     -1.0f,     -1.5f,           -2.75f,          -3.5f,
          -7.25f,   -20.25f,  n + 0.25f, n + 3.75f, 2.0f * n + 5.5f, 3.0f * n + 0.75f};
}

const int kOverflows[] = {RASTER_OVERFLOW_COLOR, RASTER_OVERFLOW_WRAP, RASTER_OVERFLOW_REPEAT, RASTER_OVERFLOW_MIRROR};

}  // namespace

TEST(InterpolateReference, EveryMethodAtEdgesAndOutside) {
  TestImages t;
  const RGBQUAD repl = Q(11, 222, 33, 77);
  struct Case {
    const char* name;
    const CRasterImage* img;
    const RefImage* ref;
  } images[] = {{"rgb", &t.rgb, &t.refRgb}, {"alpha", &t.alpha, &t.refAlpha}, {"indexed", &t.indexed, &t.refIndexed}};
  std::vector<std::pair<float, float>> points;
  for (float x : AxisPositions(kW)) points.push_back({x, 6.25f});
  for (float y : AxisPositions(kH)) points.push_back({7.75f, y});
  for (float v : {-20.25f, -1.5f, 0.5f}) points.push_back({v, kH + 2.5f});
  for (float v : {kW + 3.75f, kW - 0.5f}) points.push_back({v, -5.5f});

  int failures = 0, checked = 0;
  for (const Case& c : images) {
    for (int method = 0; method <= 19; method++) {
      // Bilinear and nearest follow exact rules; kernel sums of floats may
      // differ from the reference's doubles by one step of truncation.
      int tolerance =
          method == RASTER_IM_NEAREST || method == RASTER_IM_BILINEAR || method == 0 || method == 19 ? 0 : 1;
      for (int overflow : kOverflows) {
        for (auto [x, y] : points) {
          RGBQUAD got = c.img->InterpolateColor(x, y, method, overflow, &repl);
          RGBQUAD want = RefInterpolate(*c.ref, x, y, method, overflow, repl);
          checked++;
          if (!Near(got, want, tolerance) && ++failures <= 12)
            ADD_FAILURE() << c.name << " method " << method << " overflow " << overflow << " at (" << x << ", " << y
                          << "): got " << Describe(got) << ", reference " << Describe(want);
        }
      }
    }
  }
  EXPECT_EQ(failures, 0) << "of " << checked << " samples";
}

TEST(InterpolateReference, KernelSumsOverAUniformImage) {
  // The sums are not divided by the sum of the weights: over a uniform image
  // every tap counts, the smallest ones at the ends of the neighbourhood too.
  CRasterImage img(kW, kH, 24, RASTER_TYPE_BMP);
  RefImage ref;
  ref.w = kW;
  ref.h = kH;
  ref.px.assign((size_t)kW * kH, Q(200, 120, 40));
  for (LONG y = 0; y < kH; y++)
    for (LONG x = 0; x < kW; x++) img.SetColorAt(x, y, Q(200, 120, 40));
  const RGBQUAD repl = Q(0, 0, 0);
  for (int method = RASTER_IM_BSPLINE; method <= RASTER_IM_POWER; method++) {
    for (auto [x, y] : {std::make_pair(8.5f, 7.5f), std::make_pair(8.25f, 6.75f), std::make_pair(8.0f, 7.0f)}) {
      RGBQUAD got = img.InterpolateColor(x, y, method, RASTER_OVERFLOW_REPEAT, &repl);
      RGBQUAD want = RefInterpolate(ref, x, y, method, RASTER_OVERFLOW_REPEAT, repl);
      EXPECT_TRUE(Near(got, want, 1)) << "method " << method << " at (" << x << ", " << y << "): got " << Describe(got)
                                      << ", reference " << Describe(want);
    }
  }
}

TEST(InterpolateReference, NearestRoundsByTruncation) {
  // (int)(x + 0.5) cuts toward zero: -1.0 lands on column 0, -1.5 on -1.
  TestImages t;
  const RGBQUAD repl = Q(1, 2, 3, 4);
  auto at = [&](int x, int y) { return t.refRgb.At(x, y); };
  auto same = [](RGBQUAD a, RGBQUAD b) { return Near(a, b, 0); };
  EXPECT_TRUE(same(t.rgb.InterpolateColor(2.5f, 3.49f, RASTER_IM_NEAREST, RASTER_OVERFLOW_COLOR, &repl), at(3, 3)));
  EXPECT_TRUE(same(t.rgb.InterpolateColor(2.49f, 3.5f, RASTER_IM_NEAREST, RASTER_OVERFLOW_COLOR, &repl), at(2, 4)));
  EXPECT_TRUE(same(t.rgb.InterpolateColor(-1.0f, 0, RASTER_IM_NEAREST, RASTER_OVERFLOW_COLOR, &repl), at(0, 0)));
  EXPECT_TRUE(same(t.rgb.InterpolateColor(-1.5f, 0, RASTER_IM_NEAREST, RASTER_OVERFLOW_MIRROR, &repl), at(1, 0)));
  EXPECT_TRUE(same(t.rgb.InterpolateColor(-1.5f, 0, RASTER_IM_NEAREST, RASTER_OVERFLOW_WRAP, &repl), at(kW - 1, 0)));
  EXPECT_TRUE(same(t.rgb.InterpolateColor(kW - 0.5f, 0, RASTER_IM_NEAREST, RASTER_OVERFLOW_COLOR, &repl), repl));
  EXPECT_TRUE(
      same(t.rgb.InterpolateColor(kW - 0.51f, 0, RASTER_IM_NEAREST, RASTER_OVERFLOW_COLOR, &repl), at(kW - 1, 0)));
}

TEST(InterpolateReference, OverflowRulesMoveIntegerAndFloatPositions) {
  TestImages t;
  const int n = kW;
  struct Move {
    int overflow;
    LONG in, out;
  } moves[] = {{RASTER_OVERFLOW_MIRROR, -1, 1},        {RASTER_OVERFLOW_MIRROR, -n, 0},
               {RASTER_OVERFLOW_MIRROR, -(n + 3), 3},  {RASTER_OVERFLOW_MIRROR, n, n - 1},
               {RASTER_OVERFLOW_MIRROR, n + 2, n - 3}, {RASTER_OVERFLOW_WRAP, -1, n - 1},
               {RASTER_OVERFLOW_WRAP, -n, 0},          {RASTER_OVERFLOW_WRAP, 2 * n + 4, 4},
               {RASTER_OVERFLOW_REPEAT, -9, 0},        {RASTER_OVERFLOW_REPEAT, n + 9, n - 1}};
  for (const Move& m : moves) {
    LONG x = m.in, y = 4;
    t.rgb.WrapCoordinates(x, y, m.overflow);
    EXPECT_EQ(x, m.out) << "rule " << m.overflow << " from " << m.in;
    EXPECT_EQ(y, 4);
  }
  struct MoveF {
    int overflow;
    float in, out;
  } movesF[] = {{RASTER_OVERFLOW_MIRROR, -0.25f, 0.25f},      {RASTER_OVERFLOW_MIRROR, -20.25f, 3.25f},
                {RASTER_OVERFLOW_MIRROR, n + 0.5f, n - 1.5f}, {RASTER_OVERFLOW_WRAP, -0.25f, n - 0.25f},
                {RASTER_OVERFLOW_WRAP, 3 * n + 1.5f, 1.5f},   {RASTER_OVERFLOW_REPEAT, n + 4.5f, n - 1.0f},
                {RASTER_OVERFLOW_REPEAT, -3.5f, 0.0f},        {RASTER_OVERFLOW_COLOR, -3.5f, 0.0f}};
  for (const MoveF& m : movesF) {
    float x = m.in, y = 2.5f;
    t.rgb.WrapCoordinatesF(x, y, m.overflow);
    EXPECT_FLOAT_EQ(x, m.out) << "rule " << m.overflow << " from " << m.in;
    EXPECT_FLOAT_EQ(y, 2.5f);
  }
}

TEST(InterpolateReference, KernelsAtHandWorkedPoints) {
  struct Point {
    float (*kernel)(float);
    const char* name;
    float t, value;
  } points[] = {
      {CRasterImage::KernelBSpline, "b-spline", 0.0f, 2.0f / 3},
      {CRasterImage::KernelBSpline, "b-spline", 1.0f, 1.0f / 6},
      {CRasterImage::KernelBSpline, "b-spline", -0.5f, 23.0f / 48},
      {CRasterImage::KernelBSpline, "b-spline", 1.5f, 1.0f / 48},
      {CRasterImage::KernelCubic1, "cubic -1", 0.5f, 0.625f},
      {CRasterImage::KernelCubic1, "cubic -1", -1.5f, -0.125f},
      {CRasterImage::KernelCubic05, "cubic -0.5", 0.5f, 0.5625f},
      {CRasterImage::KernelCubic05, "cubic -0.5", 1.5f, -0.0625f},
      {CRasterImage::KernelLanczos6, "lanczos", 0.5f, 0.629368f},
      {CRasterImage::KernelLanczos6, "lanczos", 3.0f, 0.0f},
      {CRasterImage::KernelLanczos6, "lanczos", 6.5f, 0.0f},
      {CRasterImage::KernelBox, "box", -0.5f, 1.0f},
      {CRasterImage::KernelBox, "box", 0.5f, 0.0f},
      {CRasterImage::KernelHermite, "hermite", 0.5f, 0.5f},
      {CRasterImage::KernelHermite, "hermite", 1.0f, 0.0f},
      {CRasterImage::KernelHamming, "hamming", 0.5f, 0.54f},
      {CRasterImage::KernelHamming, "hamming", -1.0f, 0.08f},
      {CRasterImage::KernelHamming, "hamming", 1.0f, 0.0f},
      {CRasterImage::KernelSinc, "sinc", 0.5f, 0.636620f},
      {CRasterImage::KernelSinc, "sinc", 0.0f, 1.0f},
      {CRasterImage::KernelBlackman, "blackman", 0.5f, 0.34f},
      {CRasterImage::KernelBlackman, "blackman", 2.0f, 1.0f},
      {CRasterImage::KernelBessel, "bessel", 0.0f, 0.7853982f},
      {CRasterImage::KernelBessel, "bessel", 0.5f, 0.566824f},
      {CRasterImage::KernelBessel, "bessel", 3.0f, 0.0294542f},
      {CRasterImage::KernelGaussian, "gaussian", 0.5f, 0.483941f},
      {CRasterImage::KernelQuadratic, "quadratic", 0.0f, 0.75f},
      {CRasterImage::KernelQuadratic, "quadratic", -1.0f, 0.125f},
      {CRasterImage::KernelQuadratic, "quadratic", 1.5f, 0.0f},
      {CRasterImage::KernelMitchell, "mitchell", 0.5f, 0.534722f},
      {CRasterImage::KernelMitchell, "mitchell", 1.5f, -0.034722f},
      {CRasterImage::KernelCatmullRom, "catmull-rom", 0.5f, 0.5625f},
      {CRasterImage::KernelCatmullRom, "catmull-rom", -1.5f, -0.0625f},
      {CRasterImage::KernelHanning, "hanning", 0.5f, 0.318310f},
      {CRasterImage::KernelHanning, "hanning", 1.5f, 0.0f},
      {CRasterImage::KernelPower, "power", 0.5f, 0.75f},
      {CRasterImage::KernelPower, "power", -1.25f, 0.0f},
  };
  for (const Point& p : points) EXPECT_NEAR(p.kernel(p.t), p.value, 2e-5) << p.name << " at " << p.t;
}

namespace {
// The mean of the image, taken as one square cell per pixel, over the area;
// cells outside come from the overflow rule.
RGBQUAD RefAreaAverage(const RefImage& img, double xc, double yc, double w, double h, int overflow, RGBQUAD repl) {
  double left = xc - w / 2, right = xc + w / 2, top = yc - h / 2, bottom = yc + h / 2;
  double sum[4] = {0, 0, 0, 0};
  for (int y = (int)std::floor(top + 0.5); y <= (int)std::floor(bottom + 0.5); y++) {
    double dy = std::min(y + 0.5, bottom) - std::max(y - 0.5, top);
    for (int x = (int)std::floor(left + 0.5); x <= (int)std::floor(right + 0.5); x++) {
      double dx = std::min(x + 0.5, right) - std::max(x - 0.5, left);
      if (dx <= 0 || dy <= 0) continue;
      RGBQUAD c = RefFetch(img, x, y, overflow, repl);
      sum[0] += dx * dy * c.rgbRed;
      sum[1] += dx * dy * c.rgbGreen;
      sum[2] += dx * dy * c.rgbBlue;
      sum[3] += dx * dy * c.rgbReserved;
    }
  }
  double s = w * h;
  return Q(Limit(sum[0] / s), Limit(sum[1] / s), Limit(sum[2] / s), Limit(sum[3] / s));
}
}  // namespace

TEST(InterpolateReference, AreaAverageIsTheMeanOverTheCells) {
  TestImages t;
  const RGBQUAD repl = Q(200, 10, 90, 30);
  struct Area {
    float xc, yc, w, h;
  } areas[] = {{5.3f, 6.7f, 3.5f, 2.25f}, {1.75f, 2.5f, 2.5f, 3.0f},          {8.0f, 7.0f, 4.0f, 4.0f},
               {2.4f, 1.6f, 3.2f, 2.8f},  {kW - 1.2f, kH - 2.0f, 3.0f, 5.0f}, {kW + 1.0f, 3.3f, 2.6f, 1.8f},
               {12.6f, 13.9f, 1.5f, 2.2f}};
  int failures = 0;
  for (int overflow : kOverflows) {
    for (const Area& a : areas) {
      for (auto [img, ref] : {std::make_pair(&t.rgb, &t.refRgb), std::make_pair(&t.alpha, &t.refAlpha),
                              std::make_pair(&t.indexed, &t.refIndexed)}) {
        RGBQUAD got = img->AreaAverageColor(a.xc, a.yc, a.w, a.h, RASTER_IM_BILINEAR, overflow, &repl);
        RGBQUAD want = RefAreaAverage(*ref, a.xc, a.yc, a.w, a.h, overflow, repl);
        if (!Near(got, want, 1) && ++failures <= 10)
          ADD_FAILURE() << "area " << a.w << " x " << a.h << " at (" << a.xc << ", " << a.yc << ") overflow "
                        << overflow << ": got " << Describe(got) << ", reference " << Describe(want);
      }
    }
  }
  EXPECT_EQ(failures, 0);

  // Wider than one pixel on one axis only: each cell's part is sampled at
  // its centre by the caller's method and weighed by its surface.
  for (auto [xc, yc, w, h] : {std::make_tuple(4.3f, 6.0f, 3.0f, 1.0f), std::make_tuple(6.25f, 4.3f, 0.5f, 2.5f)}) {
    double left = xc - w / 2, right = xc + w / 2, top = yc - h / 2, bottom = yc + h / 2;
    double sum[3] = {0, 0, 0};
    for (int y = (int)(top + 0.5); y <= (int)(bottom + 0.5); y++) {
      for (int x = (int)(left + 0.5); x <= (int)(right + 0.5); x++) {
        double x0 = std::max(x - 0.5, left), x1 = std::min(x + 0.5, right);
        double y0 = std::max(y - 0.5, top), y1 = std::min(y + 0.5, bottom);
        if (x1 <= x0 || y1 <= y0) continue;
        RGBQUAD c =
            RefInterpolate(t.refRgb, (x0 + x1) / 2, (y0 + y1) / 2, RASTER_IM_BILINEAR, RASTER_OVERFLOW_REPEAT, repl);
        double k = (x1 - x0) * (y1 - y0);
        sum[0] += k * c.rgbRed;
        sum[1] += k * c.rgbGreen;
        sum[2] += k * c.rgbBlue;
      }
    }
    RGBQUAD want = Q(Limit(sum[0] / (w * h)), Limit(sum[1] / (w * h)), Limit(sum[2] / (w * h)));
    RGBQUAD got = t.rgb.AreaAverageColor(xc, yc, w, h, RASTER_IM_BILINEAR, RASTER_OVERFLOW_REPEAT, &repl);
    got.rgbReserved = 0;
    EXPECT_TRUE(Near(got, want, 1)) << w << " x " << h << ": got " << Describe(got) << ", reference " << Describe(want);
  }
}
