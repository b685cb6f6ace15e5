// The raster image container: one packed device-independent bitmap in memory
// (header, palette, bottom-up rows padded to 4 bytes) with optional alpha and
// selection masks, a frame list for animations and the attributes that the
// codecs, the drawing code and the callers share.
//
// Codecs derive from CRasterImage and live for one call. The format dispatch
// (RasterImageIO.cpp) creates them by format id:
//   CRasterImageBMP  (RasterImageBMP.h)  bool Decode(CRasterStream*), bool Encode(CRasterStream*)
//   CRasterImageGIF  (GifCodec.h)        bool Decode(CRasterStream*), bool Encode(CRasterStream*)
//   CRasterImageJPEG (JpegCodec.h)       bool Decode(CRasterStream*), bool Encode(CRasterStream*)
//   CRasterImagePNG  (PngCodec.h)        bool Decode(CRasterStream*), bool Encode(CRasterStream*)
//   CRasterImageICO  (IcoCodec.h)        bool Decode(CRasterStream*), bool Encode(CRasterStream*, int, int)
// each with a default constructor that passes its format id to CRasterImage.
#pragma once

#include <cstdio>

#include "afxplatform.h"
#include "imaging/image/RasterStream.h"

// Largest pixel area (rows with their padding) that Create accepts.
#define RASTER_MAX_MEMORY 268435456.0

enum CRasterImageFormat {
  RASTER_TYPE_UNKNOWN = 0,
  RASTER_TYPE_BMP = 1,
  RASTER_TYPE_GIF = 2,
  RASTER_TYPE_JPEG = 3,
  RASTER_TYPE_PNG = 4,
  RASTER_TYPE_ICO = 5,
};
#define RASTER_FORMAT_COUNT 6

// Overflow rules of the interpolation for positions outside the image.
enum {
  RASTER_OVERFLOW_COLOR = 1,
  RASTER_OVERFLOW_TRANSPARENT = 2,
  RASTER_OVERFLOW_BACKGROUND = 3,
  RASTER_OVERFLOW_WRAP = 4,
  RASTER_OVERFLOW_REPEAT = 5,
  RASTER_OVERFLOW_MIRROR = 6,
};

// Interpolation methods.
enum {
  RASTER_IM_NEAREST = 1,
  RASTER_IM_BILINEAR = 2,
  RASTER_IM_BSPLINE = 3,
  RASTER_IM_BICUBIC = 4,
  RASTER_IM_BICUBIC2 = 5,
  RASTER_IM_LANCZOS = 6,
  RASTER_IM_BOX = 7,
  RASTER_IM_HERMITE = 8,
  RASTER_IM_HAMMING = 9,
  RASTER_IM_SINC = 10,
  RASTER_IM_BLACKMAN = 11,
  RASTER_IM_BESSEL = 12,
  RASTER_IM_GAUSSIAN = 13,
  RASTER_IM_QUADRATIC = 14,
  RASTER_IM_MITCHELL = 15,
  RASTER_IM_CATROM = 16,
  RASTER_IM_HANNING = 17,
  RASTER_IM_POWER = 18,
};

class CRasterImage;

// A colour entry from its channels, in the record's own order.
inline RGBQUAD MakeQuad(BYTE b, BYTE g, BYTE r, BYTE a) {
  RGBQUAD q;
  q.rgbBlue = b;
  q.rgbGreen = g;
  q.rgbRed = r;
  q.rgbReserved = a;
  return q;
}

struct CRasterImageAttributes {
  DWORD dwEffWidth;       // bytes per stored row
  BYTE* pImage;           // first stored row inside the pixel block
  CRasterImage* pGhost;   // non-null: a borrowing view of that image
  CRasterImage* pParent;  // owner of a layer (unused)
  int nFormat;            // CRasterImageFormat
  char szLastError[256];  // last failure text
  int nProgress;
  int nEscape;          // non-zero stops LONG loops; -1 asks decoders for the header only
  int nBkgndIndex;      // transparent palette index, -1 = none
  RGBQUAD nBkgndColor;  // transparent colour of true-colour images
  float fQuality;       // JPEG quality
  BYTE nJpegScale;      // JPEG decoding scale denominator
  int nFrame;           // frame that multi-frame decoders deliver
  int nNumFrames;       // frames found by the last decode
  int dwFrameDelay;     // GIF frame delay
  int xDPI;
  int yDPI;
  RECT rSelectionBox;         // stored-row coordinates, top is the higher row
  BYTE nAlphaMax;             // overall opacity used by Draw
  BYTE bAlphaPaletteEnabled;  // palette reserved bytes are alpha
  BYTE bEnabled;              // Draw draws only enabled images
  int xOffset;                // frame position inside its animation
  int yOffset;
  DWORD dwCodecOpt[RASTER_FORMAT_COUNT];
  RGBQUAD last_c;       // nearest-colour cache key
  BYTE last_c_index;    // nearest-colour cache value
  BYTE last_c_isvalid;  // cache holds a result for the current palette
  int nNumLayers;
  DWORD dwFlags;
  BYTE dispmeth;       // GIF disposal method
  BYTE bGetAllFrames;  // GIF decoder keeps every frame in the frame list
  BYTE bLittleEndianHost;
};

class CRasterImage {
 public:
  explicit CRasterImage(int format = RASTER_TYPE_UNKNOWN);
  CRasterImage(LONG width, LONG height, int bpp, int format = RASTER_TYPE_UNKNOWN);
  CRasterImage(const CRasterImage& source, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
  CRasterImage& operator=(const CRasterImage&) = delete;
  virtual ~CRasterImage();

  static int NormalizeFormat(int format) { return (format >= 0 && format <= 5) ? format : 0; }

  // Life cycle
  bool FreeBuffers();
  void FreeFrames();
  BYTE* Create(LONG width, LONG height, int bpp, int format = RASTER_TYPE_UNKNOWN);
  void Copy(const CRasterImage& source, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
  // Inherits the source's settings; only while this image has no pixel block.
  void CopyAttributes(const CRasterImage& source);
  bool TakeOver(CRasterImage& source, bool takeFrames = true);
  void BorrowFrom(const CRasterImage& source);

  // Plain accessors
  DWORD GetWidth() const { return (DWORD)m_head.biWidth; }
  DWORD GetHeight() const { return (DWORD)m_head.biHeight; }
  DWORD GetRowBytes() const { return m_info.dwEffWidth; }
  WORD GetBpp() const { return m_head.biBitCount; }
  DWORD GetColorCount() const { return m_head.biClrUsed; }
  bool IsIndexed() const { return m_head.biClrUsed != 0; }
  bool HasPixels() const { return m_pDib != nullptr; }
  BYTE* GetPixelBlock() const { return m_pDib; }
  const BITMAPINFOHEADER& GetHeader() const { return m_head; }
  BYTE* GetBits() const { return m_info.pImage; }
  int GetFormat() const { return m_info.nFormat; }
  bool SetFormat(int format);
  const char* GetErrorText() const { return m_info.szLastError; }
  void SetErrorText(const char* text);
  int GetHorizontalDpi() const { return m_info.xDPI; }
  int GetVerticalDpi() const { return m_info.yDPI; }
  void SetHorizontalDpi(int dpi);
  void SetVerticalDpi(int dpi);
  float GetJpegQuality() const { return m_info.fQuality; }
  void SetJpegQuality(float q) { m_info.fQuality = q; }
  BYTE GetJpegQualityRounded() const { return (BYTE)(m_info.fQuality + 0.5f); }
  BYTE GetJpegScaleDenominator() const { return m_info.nJpegScale; }
  void SetJpegScaleDenominator(BYTE d) { m_info.nJpegScale = d; }
  int GetFrameCount() const { return m_info.nNumFrames; }
  void SetFrameCount(int n) { m_info.nNumFrames = n; }
  int GetCurrentFrame() const { return m_info.nFrame; }
  void SetCurrentFrame(int n) { m_info.nFrame = n; }
  int GetFrameDelay() const { return m_info.dwFrameDelay; }
  void SetFrameDelay(int d) { m_info.dwFrameDelay = d; }
  int GetEscape() const { return m_info.nEscape; }
  void SetEscape(int escape) { m_info.nEscape = escape; }
  void SetFrameOffset(int x, int y) {
    m_info.xOffset = x;
    m_info.yOffset = y;
  }
  void GetFrameOffset(int* x, int* y) const {
    if (x) *x = m_info.xOffset;
    if (y) *y = m_info.yOffset;
  }
  void SetGifDisposal(BYTE d) { m_info.dispmeth = d; }
  BYTE GetGifDisposal() const { return m_info.dispmeth; }
  void SetAllFrames(bool all) { m_info.bGetAllFrames = all ? 1 : 0; }
  bool GetAllFrames() const { return m_info.bGetAllFrames != 0; }
  DWORD GetImportantColors() const { return m_head.biClrImportant; }
  void SetImportantColors(DWORD n);
  DWORD GetCodecFlags(int format = RASTER_TYPE_UNKNOWN) const;
  bool SetCodecFlags(DWORD flags, int format = RASTER_TYPE_UNKNOWN);
  BYTE GetAlphaMax() const { return m_info.nAlphaMax; }
  void SetAlphaMax(BYTE a) { m_info.nAlphaMax = a; }
  bool GetPaletteAlpha() const { return m_info.bAlphaPaletteEnabled != 0; }
  void SetPaletteAlpha(bool on) { m_info.bAlphaPaletteEnabled = on ? 1 : 0; }
  bool IsEnabled() const { return m_info.bEnabled != 0; }
  void Enable(bool on = true) { m_info.bEnabled = on ? 1 : 0; }
  const CRasterImageAttributes& GetAttributes() const { return m_info; }
  bool IsBorrowed() const { return m_info.pGhost != nullptr; }

  // Frame list (owned images, filled by multi-frame decoders). SetFrameList
  // takes a new[]-allocated array of new-allocated images.
  int GetFrameListLength() const { return m_nFrameList; }
  CRasterImage* GetFrame(int index) const;
  void SetFrameList(CRasterImage** frames, int count);
  int GetLayerCount() const { return m_nLayerList; }

  // Transparency
  int GetTransparentIndex() const { return m_info.nBkgndIndex; }
  void SetTransparentIndex(int index);
  bool IsTransparent() const { return m_info.nBkgndIndex >= 0; }
  void SetTransparentColor(RGBQUAD c);
  RGBQUAD GetTransparentColor() const;

  // Rows and block
  BYTE* GetRowPointer(DWORD row) const;
  DWORD GetPaletteBytes() const { return m_head.biClrUsed * 4; }
  DWORD GetBlockSize() const { return GetPaletteBytes() + m_head.biSizeImage + m_head.biSize; }
  bool IsInside(LONG x, LONG y) const { return x >= 0 && y >= 0 && x < m_head.biWidth && y < m_head.biHeight; }
  void FillRows(BYTE value);
  BYTE* GetRgbPointer(LONG x, LONG y) const;

  // Palette
  RGBQUAD* GetPaletteData() const;
  RGBQUAD GetPaletteEntry(BYTE index) const;
  bool GetPaletteEntry(BYTE index, BYTE* red, BYTE* green, BYTE* blue) const;
  void SetPaletteEntry(BYTE index, BYTE red, BYTE green, BYTE blue, BYTE alpha = 0);
  void SetPaletteEntry(BYTE index, RGBQUAD c);
  void SetPaletteEntries(const RGBQUAD* entries, DWORD count);
  void SetPaletteEntries(const RGBTRIPLE* rgb, DWORD count);  // red, green, blue byte triples
  void SetPaletteEntries(const BYTE* red, const BYTE* green, const BYTE* blue, DWORD count);
  void MakeGrayPalette();
  bool IsGrayPalette() const;
  void SwapPaletteEntries(BYTE i, BYTE j);
  BYTE FindNearestPaletteIndex(RGBQUAD c);
  bool PaletteCarriesAlpha() const;

  // Pixels: x from the left, y = stored row (0 = bottom)
  BYTE GetIndexAt(LONG x, LONG y) const;
  BYTE GetIndexAtRaw(LONG x, LONG y) const;
  void SetIndexAt(LONG x, LONG y, BYTE index);
  void SetIndexAtRaw(LONG x, LONG y, BYTE index);
  RGBQUAD GetColorAt(LONG x, LONG y, bool withAlpha = true) const;
  RGBQUAD GetColorAtRaw(LONG x, LONG y, bool withAlpha = true) const;
  void SetColorAt(LONG x, LONG y, RGBQUAD c, bool setAlpha = false);
  void SetColorAtRaw(LONG x, LONG y, RGBQUAD c, bool setAlpha = false);

  // Alpha mask (width x height bytes, row 0 = bottom, 255 = opaque)
  bool HasAlpha() const { return m_pAlpha != nullptr; }
  bool CreateAlphaMask();
  void DeleteAlphaMask();
  void InvertAlphaMask();
  bool CopyAlphaMask(const CRasterImage& source);
  void SetAlphaAt(LONG x, LONG y, BYTE a);
  BYTE GetAlphaAt(LONG x, LONG y) const;
  BYTE* GetAlphaPointer(LONG x = 0, LONG y = 0) const;
  BYTE GetAlphaAtRaw(LONG x, LONG y) const { return m_pAlpha[x + y * m_head.biWidth]; }
  bool FlipAlphaMask();

  // Selection mask
  bool HasSelection() const { return m_pSelection != nullptr; }
  bool ClearSelection();
  bool IsSelected(LONG x, LONG y) const;
  bool CopySelection(const CRasterImage& source);
  bool FlipSelection();
  RECT GetSelectionBox() const { return m_info.rSelectionBox; }

  // In-place operations
  bool RaiseDepth(int bpp);
  bool FlipVertical(bool flipSelection = true, bool flipAlpha = true);
  bool Negate();
  // Widens 16- or 32-bit bit-field pixels (source rows of this image's height)
  // into this 24-bit image; the source may be the image's own pixel area.
  bool ExpandBitFields(const BYTE* source, DWORD redMask, DWORD greenMask, DWORD blueMask, int bpp);
  void SwapRedBlue(BYTE* buffer, LONG length);
  WORD SwapWord(WORD v) const;
  DWORD SwapDword(DWORD v) const;
  void SwapHeaderByteOrder(BITMAPINFOHEADER* header) const;

  // Interpolation (colours: blue, green, red, fourth byte alpha)
  RGBQUAD InterpolateColor(float x, float y, int method = RASTER_IM_BILINEAR, int overflow = RASTER_OVERFLOW_REPEAT,
                           const RGBQUAD* replacement = nullptr) const;
  RGBQUAD AreaAverageColor(float xc, float yc, float w, float h, int method = RASTER_IM_BILINEAR,
                           int overflow = RASTER_OVERFLOW_REPEAT, const RGBQUAD* replacement = nullptr) const;
  RGBQUAD GetColorWithOverflow(LONG x, LONG y, int overflow, const RGBQUAD* replacement = nullptr) const;
  void WrapCoordinates(LONG& x, LONG& y, int overflow) const;
  void WrapCoordinatesF(float& x, float& y, int overflow) const;
  static void AccumulateWeighted(RGBQUAD c, float weight, float sums[4]);
  static float KernelBSpline(float t);
  static float KernelCubic1(float t);
  static float KernelCubic05(float t);
  static float KernelLanczos6(float t);
  static float KernelBox(float t);
  static float KernelHermite(float t);
  static float KernelHamming(float t);
  static float KernelSinc(float t);
  static float KernelBlackman(float t);
  static float KernelBessel(float t);
  static float KernelGaussian(float t);
  static float KernelQuadratic(float t);
  static float KernelMitchell(float t);
  static float KernelCatmullRom(float t);
  static float KernelHanning(float t);
  static float KernelPower(float t);
  static double BesselJ1(double x);

  // Load, save and format dispatch
  bool Load(const wchar_t* path, int format = RASTER_TYPE_UNKNOWN);
  bool LoadFromFile(FILE* file, int format = RASTER_TYPE_UNKNOWN);
  bool Decode(CRasterStream* stream, int format = RASTER_TYPE_UNKNOWN);
  bool Save(const wchar_t* path, int format);
  bool SaveToFile(FILE* file, int format);
  bool Encode(CRasterStream* stream, int format);
  bool CanEncode(CRasterStream* stream);

#ifdef _WIN32
  // Paints the image into a device context; 1 when it went through, 0 when
  // nothing could be drawn.
  int Draw(HDC hdc, const RECT& rect, const RECT* clip = nullptr, bool smooth = false, bool flip = false);
  int Draw(HDC hdc, LONG x, LONG y, LONG cx = -1, LONG cy = -1, const RECT* clip = nullptr, bool smooth = false,
           bool flip = false);
  // Decodes a picture kept as a resource of module (the program when null);
  // resource is what FindResource returned, possibly null.
  bool LoadFromResource(HRSRC resource, int format, HMODULE module = nullptr);
#endif

 protected:
  void InitMembers(int format);
  // Copies the source's attribute record, keeping what describes this image's
  // own buffers (row start, borrow link, list lengths) and dropping the colour cache.
  void AssignAttributes(const CRasterImageAttributes& source);
  RGBQUAD GetOverflowColor(int overflow, const RGBQUAD* replacement) const;

  BYTE* m_pDib;  // pixel block: header, palette, rows
  BITMAPINFOHEADER m_head;
  CRasterImageAttributes m_info;
  BYTE* m_pSelection;
  BYTE* m_pAlpha;
  CRasterImage** m_ppLayers;
  CRasterImage** m_ppFrames;
  int m_nLayerList;  // real length of the layer list
  int m_nFrameList;  // real length of the frame list
};
