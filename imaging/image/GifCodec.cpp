#include "imaging/image/GifCodec.h"

#include <cstring>
#include <new>

#include "imaging/image/GifReader.h"
#include "imaging/image/GifWriter.h"

namespace {
using ScreenHeader = CGifReader::ScreenHeader;
using ImageDescriptor = CGifReader::ImageDescriptor;
using ColorTable = CGifReader::ColorTable;

WORD LittleWord(const BYTE* p) { return (WORD)(p[0] | (p[1] << 8)); }

int DepthForColors(int count) { return count <= 2 ? 1 : count <= 16 ? 4 : 8; }

// Draws a decoded frame onto the canvas at its place on the logical screen;
// the frame's transparent index leaves the canvas as it was.
void PasteFrame(CRasterImage& canvas, const CRasterImage& frame, const ImageDescriptor& d) {
  const LONG W = (LONG)canvas.GetWidth(), H = (LONG)canvas.GetHeight();
  const LONG fw = (LONG)frame.GetWidth(), fh = (LONG)frame.GetHeight();
  LONG firstRow = H - d.top - fh;
  if (firstRow < 0) firstRow = 0;
  LONG lastRow = H - d.top - 1;
  LONG endColumn = d.left + fw < W ? d.left + fw : W;
  if (endColumn <= d.left) return;
  const int transparent = frame.GetTransparentIndex();
  const LONG baseRow = H - d.top - fh;
  const int bpp = frame.GetBpp(), canvasBpp = canvas.GetBpp();
  const LONG count = endColumn - d.left;
  RGBQUAD palette[256];
  memset(palette, 0, sizeof(palette));
  for (DWORD k = 0; k < frame.GetColorCount() && k < 256; k++) palette[k] = frame.GetPaletteEntry((BYTE)k);
  for (LONG y = firstRow; y <= lastRow; y++) {
    LONG fy = y - baseRow;
    if (fy < 0 || fy >= fh) continue;
    const BYTE* src = frame.GetRowPointer((DWORD)fy);
    BYTE* dst = canvas.GetRowPointer((DWORD)y);
    LONG x = 0;
    if (transparent < 0 && canvasBpp == bpp && (d.left * bpp) % 8 == 0) {
      // Whole bytes at once; a partial last byte goes pixel by pixel below.
      size_t bytes = (size_t)count * bpp / 8;
      memcpy(dst + (size_t)d.left * bpp / 8, src, bytes);
      x = (LONG)(bytes * 8 / bpp);
    } else if (bpp == 8 && canvasBpp == 8) {
      for (; x < count; x++)
        if ((int)src[x] != transparent) dst[d.left + x] = src[x];
    } else if (bpp == 8 && canvasBpp == 24) {
      for (; x < count; x++)
        if ((int)src[x] != transparent) {
          BYTE* p = dst + 3 * (size_t)(d.left + x);
          p[0] = palette[src[x]].rgbBlue;
          p[1] = palette[src[x]].rgbGreen;
          p[2] = palette[src[x]].rgbRed;
        }
    }
    for (; x < count; x++) {
      BYTE index = frame.GetIndexAtRaw(x, fy);
      if ((int)index == transparent) continue;
      if (canvasBpp == 24)
        canvas.SetColorAtRaw(d.left + x, y, palette[index]);
      else
        canvas.SetIndexAtRaw(d.left + x, y, index);
    }
  }
}
}  // namespace

CRasterImageGIF::CRasterImageGIF() : CRasterImage(RASTER_TYPE_GIF) { m_comment[0] = 0; }

CRasterImageGIF::~CRasterImageGIF() {}

void CRasterImageGIF::SetComment(const char* text) {
  size_t n = text ? strlen(text) : 0;
  if (n > 255) n = 255;
  if (n) memcpy(m_comment, text, n);
  m_comment[n] = 0;
}

// ---------------------------------------------------------------------------
// Decoding: frames composed on the logical screen, or true-colour tiles.

// The frames of one GIF stream after its screen, global colour table and
// frame count: each frame is decoded into the image and either composed on a
// canvas of the screen's size (an ordinary file or an animation) or drawn
// into a true-colour picture (a file of tiles).
class CGifDecoding {
 public:
  CGifDecoding(CRasterImageGIF& image, CGifReader& reader, const ScreenHeader& header, const ColorTable& global,
               int frames, int trueColor)
      : m_image(image),
        m_reader(reader),
        m_header(header),
        m_global(global),
        m_frames(frames),
        m_trueColor(trueColor) {}
  ~CGifDecoding();
  CGifDecoding(const CGifDecoding&) = delete;
  CGifDecoding& operator=(const CGifDecoding&) = delete;

  // Up to the frame asked for, or every frame when all are asked for; false,
  // with the error text set, on failure.
  bool Run(CRasterStream* stream);

  // The 13 bytes of the signature and the logical screen; false for no GIF.
  static bool ReadScreen(CRasterImageGIF& image, CRasterStream* stream, ScreenHeader& header);
  // The screen's size alone (a header-only read); the stream stands after the screen.
  static bool ReadScreenSize(CRasterImageGIF& image, CGifReader& reader, CRasterStream* stream, ScreenHeader& header);
  // The number of frames; the stream and the image's frame record are left
  // as they were before the count.
  static int CountFrames(CRasterImageGIF& image, CGifReader& reader, CRasterStream* stream, ColorTable& global,
                         ScreenHeader& header);

 private:
  // Decodes the frame the descriptor starts; false ends the run (m_ok tells
  // whether it failed).
  bool DecodeFrame(CRasterStream* stream, const ImageDescriptor& d);
  // The canvas the frame is drawn on: the screen cleared for the first frame,
  // else the last picture with the previous frame's disposal applied.
  bool PrepareCanvas(int depth);
  void SetPalette(const ColorTable& table);
  bool ComposeFrame(const ImageDescriptor& d);
  bool DrawTile(const ImageDescriptor& d);
  // A copy of the frame for the image's frame list.
  void KeepFrame();
  // The tiles' picture with its background, and the frame list, into the image.
  void Finish();
  bool Fail(const char* text) {
    if (text) m_image.SetErrorText(text);
    m_ok = false;
    return false;
  }

  CRasterImageGIF& m_image;
  CGifReader& m_reader;
  const ScreenHeader& m_header;
  const ColorTable& m_global;
  const int m_frames;
  int m_trueColor;  // 2 and more: a file of true-colour tiles
  int m_index = 0;  // of the frame being decoded
  CRasterImageGIF* m_canvas = nullptr;
  CRasterImageGIF* m_previous = nullptr;  // what disposal 3 restores
  CRasterImageGIF* m_composite24 = nullptr;
  CRasterImage** m_frameList = nullptr;
  int m_firstTransparent = -1;
  int m_previousDisposal = 0;
  bool m_ok = true;
  bool m_any = false;
};

CGifDecoding::~CGifDecoding() {
  if (m_frameList) {
    for (int k = 0; k < m_frames; k++) delete m_frameList[k];
    delete[] m_frameList;
  }
  delete m_canvas;
  delete m_previous;
  delete m_composite24;
}

bool CGifDecoding::Run(CRasterStream* stream) {
  bool afterZero = true;
  for (;;) {
    if (m_image.m_info.nEscape > 0) {
      Fail(nullptr);
      break;
    }
    int c = stream->GetByte();
    if (c < 0) break;
    if (!afterZero && c != 0) continue;
    if (c == '!') {
      if (!m_reader.ReadExtension(stream)) break;
      continue;
    }
    if (c == ';') break;
    if (c != ',') {
      afterZero = c == 0;
      continue;
    }
    ImageDescriptor d;
    if (!m_reader.ReadDescriptor(stream, &d)) break;
    if (d.left + d.width > m_header.width || d.top + d.height > m_header.height) continue;
    if (!DecodeFrame(stream, d)) break;
    afterZero = true;
  }
  if (m_ok) Finish();
  return m_ok;
}

bool CGifDecoding::DecodeFrame(CRasterStream* stream, const ImageDescriptor& d) {
  CRasterImageGIF& image = m_image;
  // A first image smaller than the screen marks a file of true-colour tiles
  // when it is smaller both ways, or one way and shown without delay (tiles
  // appear at once); an animation's first frame, smaller one way, waits.
  if (m_index == 0 && (d.width != m_header.width || d.height != m_header.height) &&
      ((d.width != m_header.width && d.height != m_header.height) || m_reader.m_gceDelay == 0))
    m_trueColor++;
  ColorTable local;
  local.count = 0;
  if (d.flags & 0x80) m_reader.ReadColorTable(stream, d.flags & 7, &local);
  const ColorTable* table = (d.flags & 0x80) ? &local : (m_global.count ? &m_global : nullptr);
  const int depth = DepthForColors(table ? table->count : 0);

  if (m_trueColor < 2 && !PrepareCanvas(depth)) return false;
  // The creation message stays.
  if (!image.Create(d.width, d.height, depth, RASTER_TYPE_GIF)) return Fail(nullptr);
  if (table) SetPalette(*table);

  long dataStart = stream->Tell();
  m_reader.StartFrameData(d);
  GifLineCursor cursor;
  cursor.image = &image;
  cursor.row = (LONG)image.GetHeight() - 1;
  int bad = 0;
  m_reader.LzwDecode(stream, &cursor, d.width, &bad);
  if (image.m_info.nEscape) return Fail(nullptr);

  if (!(m_trueColor < 2 ? ComposeFrame(d) : DrawTile(d))) return false;
  m_any = true;
  m_previousDisposal = image.m_info.dispmeth;
  m_reader.FinishFrameData(stream, dataStart, bad);

  if (image.m_info.bGetAllFrames && m_trueColor < 2) KeepFrame();
  if ((m_previousDisposal == 0 || m_previousDisposal == 1) && m_trueColor < 2) {
    if (!m_previous) m_previous = new (std::nothrow) CRasterImageGIF;
    if (m_previous) m_previous->Copy(image);
  }
  if (m_index == image.m_info.nFrame && !image.m_info.bGetAllFrames) return false;
  m_index++;
  return true;
}

bool CGifDecoding::PrepareCanvas(int depth) {
  CRasterImageGIF* next = new (std::nothrow) CRasterImageGIF;
  if (!next) return Fail("no memory for the next GIF frame");
  auto failWith = [&](const char* text) {
    Fail(text);
    delete next;
    return false;
  };
  if (m_index == 0) {
    next->CopyAttributes(m_image);
    if (!next->Create(m_header.width, m_header.height, depth, RASTER_TYPE_GIF)) return failWith(next->GetErrorText());
    next->FillRows(m_reader.m_gceTransparent);
    m_firstTransparent = m_image.m_info.nBkgndIndex;
    delete m_previous;
    m_previous = new (std::nothrow) CRasterImageGIF;
    if (m_previous) m_previous->Copy(*next);
    if (!m_previous || !m_previous->HasPixels()) return failWith("no memory for the GIF frame kept for restoring");
  } else {
    next->Copy(m_image);
    if (!next->HasPixels()) return failWith("no memory for a copy of the GIF frame");
    if (m_previousDisposal == 2) {
      next->FillRows((BYTE)m_firstTransparent);
    } else if (m_previousDisposal == 3 && m_previous && m_previous->HasPixels()) {
      if (!next->Create((LONG)m_previous->GetWidth(), (LONG)m_previous->GetHeight(), m_previous->GetBpp(),
                        RASTER_TYPE_GIF))
        return failWith(next->GetErrorText());
      memcpy(next->GetPixelBlock(), m_previous->GetPixelBlock(), m_previous->GetBlockSize());
      next->m_info.last_c_isvalid = 0;
    }
  }
  delete m_canvas;
  m_canvas = next;
  return true;
}

void CGifDecoding::SetPalette(const ColorTable& table) {
  RGBQUAD pal[256];
  memset(pal, 0, sizeof(pal));
  for (int k = 0; k < table.count && k < 256; k++) {
    pal[k].rgbRed = table.rgb[3 * k];
    pal[k].rgbGreen = table.rgb[3 * k + 1];
    pal[k].rgbBlue = table.rgb[3 * k + 2];
  }
  int offered = table.count;
  if (m_image.m_info.nBkgndIndex >= 0) {
    for (int k = table.count; k < 256; k++) pal[k].rgbRed = pal[k].rgbGreen = pal[k].rgbBlue = 255;
    offered = 256;
  }
  DWORD n = (DWORD)offered < m_image.GetColorCount() ? (DWORD)offered : m_image.GetColorCount();
  m_image.SetPaletteEntries(pal, n);
}

bool CGifDecoding::ComposeFrame(const ImageDescriptor& d) {
  // A later frame with a colour table of its own cannot share the canvas's
  // palette: such an animation is composed in true colour from there on.
  const bool trueColorCanvas = m_canvas->GetBpp() == 24 || (m_index > 0 && (d.flags & 0x80) != 0);
  const int target = trueColorCanvas ? 24 : m_image.GetBpp();
  if (target > m_canvas->GetBpp() && !m_canvas->RaiseDepth(target)) return Fail(m_canvas->GetErrorText());
  PasteFrame(*m_canvas, m_image, d);
  if (!trueColorCanvas) {
    m_canvas->m_info.nBkgndIndex = m_firstTransparent;
    m_canvas->SetPaletteEntries(m_image.GetPaletteData(), m_image.GetColorCount());
  }
  CRasterImageGIF* done = m_canvas;
  m_canvas = nullptr;
  m_image.TakeOver(*done, true);
  delete done;
  return true;
}

bool CGifDecoding::DrawTile(const ImageDescriptor& d) {
  CRasterImageGIF& image = m_image;
  image.m_info.nFrame = m_frames - 1;
  if (!m_composite24) {
    m_composite24 = new (std::nothrow) CRasterImageGIF;
    if (!m_composite24) return Fail("no memory for the GIF's composed picture");
    m_composite24->CopyAttributes(image);
    if (!m_composite24->Create(m_header.width, m_header.height, 24, RASTER_TYPE_GIF))
      return Fail(m_composite24->GetErrorText());
  }
  const LONG H = (LONG)m_header.height;
  RGBQUAD palette[256];
  memset(palette, 0, sizeof(palette));
  for (DWORD k = 0; k < image.GetColorCount() && k < 256; k++) palette[k] = image.GetPaletteEntry((BYTE)k);
  for (LONG y = 0; y < (LONG)d.height; y++) {
    LONG src = (LONG)d.height - 1 - y;
    LONG dst = H - 1 - (d.top + y);
    BYTE* out = m_composite24->GetRowPointer((DWORD)dst) + 3 * (size_t)d.left;
    const BYTE* in = image.GetRowPointer((DWORD)src);
    for (LONG x = 0; x < (LONG)d.width; x++, out += 3) {
      BYTE index = image.GetBpp() == 8 ? in[x] : image.GetIndexAtRaw(x, src);
      const RGBQUAD& q = palette[index];
      out[0] = q.rgbBlue;
      out[1] = q.rgbGreen;
      out[2] = q.rgbRed;
    }
  }
  return true;
}

void CGifDecoding::KeepFrame() {
  if (m_index == 0) {
    m_image.FreeFrames();
    delete[] m_frameList;
    m_frameList = new (std::nothrow) CRasterImage*[m_frames];
    if (m_frameList)
      for (int k = 0; k < m_frames; k++) m_frameList[k] = nullptr;
  }
  if (m_frameList && m_index < m_frames) {
    CRasterImage* copy = new (std::nothrow) CRasterImage(m_image, true, true, true);
    if (copy) {
      copy->SetAllFrames(false);
      m_frameList[m_index] = copy;
    }
  }
}

void CGifDecoding::Finish() {
  CRasterImageGIF& image = m_image;
  if (m_composite24 && m_composite24->HasPixels()) {
    if (m_reader.m_gceFlags & 1) {
      RGBQUAD t = image.IsInside(0, 0) && image.m_info.nBkgndIndex >= 0
                      ? image.GetPaletteEntry((BYTE)image.m_info.nBkgndIndex)
                      : m_composite24->m_info.nBkgndColor;
      t.rgbReserved = 0;
      m_composite24->m_info.nBkgndColor = t;
      m_composite24->m_info.nBkgndIndex = 0;
    } else {
      m_composite24->m_info.nBkgndIndex = -1;
    }
    m_composite24->m_info.nNumFrames = m_frames;
    image.TakeOver(*m_composite24, true);
  }
  if (!m_any) {
    Fail("Corrupt GIF file");
    return;
  }
  if (m_frameList) {
    image.SetFrameList(m_frameList, m_frames);
    m_frameList = nullptr;
  }
}

bool CGifDecoding::ReadScreen(CRasterImageGIF& image, CRasterStream* stream, ScreenHeader& header) {
  BYTE head[13];
  if (stream->Read(head, 1, 13) != 13 || memcmp(head, "GIF8", 4) != 0) {
    image.SetErrorText("Not a GIF file");
    return false;
  }
  header.width = LittleWord(head + 6);
  header.height = LittleWord(head + 8);
  header.flags = head[10];
  header.background = head[11];
  header.aspect = head[12];
  return true;
}

bool CGifDecoding::ReadScreenSize(CRasterImageGIF& image, CGifReader& reader, CRasterStream* stream,
                                  ScreenHeader& header) {
  // A screen of 0 x 0 takes the size of the first image, as the full decode does.
  if (header.width == 0 && header.height == 0) {
    if (header.flags & 0x80) stream->Seek(3 * (2 << (header.flags & 7)), SEEK_CUR);
    reader.ReadFirstImageSize(stream, &header);
  }
  image.m_head.biWidth = header.width;
  image.m_head.biHeight = header.height;
  image.m_info.nFormat = RASTER_TYPE_GIF;
  return true;
}

int CGifDecoding::CountFrames(CRasterImageGIF& image, CGifReader& reader, CRasterStream* stream, ColorTable& global,
                              ScreenHeader& header) {
  // Counting reads every extension; the frames read them again in order.
  CRasterImageAttributes& info = image.m_info;
  const int savedIndex = info.nBkgndIndex, savedDelay = info.dwFrameDelay;
  const BYTE savedDisposal = info.dispmeth;
  const int frames = reader.CountFrames(stream, &global, &header);
  info.nBkgndIndex = savedIndex;
  info.dwFrameDelay = savedDelay;
  info.dispmeth = savedDisposal;
  reader.m_gceFlags = 0;
  reader.m_gceDelay = 0;
  reader.m_gceTransparent = 0;
  return frames;
}

bool CRasterImageGIF::Decode(CRasterStream* stream) {
  if (!stream) return false;
  CGifReader reader(*this);
  if (!reader.MakeTables()) {
    SetErrorText("no memory for the GIF decoder's tables");
    return false;
  }
  ScreenHeader header;
  if (!CGifDecoding::ReadScreen(*this, stream, header)) return false;
  if (m_info.nEscape == -1) return CGifDecoding::ReadScreenSize(*this, reader, stream, header);
  ColorTable global;
  global.count = 0;
  int trueColor = 0;
  if (header.flags & 0x80)
    reader.ReadColorTable(stream, header.flags & 7, &global);
  else
    trueColor = 1;

  const int frames = CGifDecoding::CountFrames(*this, reader, stream, global, header);
  m_info.nNumFrames = frames;
  if (m_info.nFrame < 0 || m_info.nFrame >= frames) {
    SetErrorText(frames ? "GIF frame not found" : "GIF file without an image");
    return false;
  }
  if (frames == 1) trueColor = 0;
  bool ok;
  {
    CGifDecoding decoding(*this, reader, header, global, frames, trueColor);
    ok = decoding.Run(stream);
  }
  m_info.nNumFrames = frames;
  return ok && HasPixels();
}

// ---------------------------------------------------------------------------
// Encoding: one image, an animation, or true-colour tiles.

bool CRasterImageGIF::MakeWriterTables(CGifWriter& writer) {
  if (writer.MakeTables()) return true;
  SetErrorText("no memory for the GIF encoder's tables");
  return false;
}

bool CRasterImageGIF::FinishWrite(CGifWriter& writer, CRasterStream* stream) {
  writer.PutByteChecked(stream, 0x3B);
  stream->Flush();
  if (writer.Failed() || stream->HasError()) {
    SetErrorText("Write Error in GIF file");
    return false;
  }
  return true;
}

bool CRasterImageGIF::Encode(CRasterStream* stream) {
  if (!CanEncode(stream)) return false;
  if (GetBpp() > 8) return EncodeTiles(stream);
  int frames = GetFrameCount() < GetFrameListLength() ? GetFrameCount() : GetFrameListLength();
  if (GetFrameCount() > 1 && m_ppFrames) return EncodeFrames(stream, m_ppFrames, frames, false, false);
  CGifWriter writer;
  if (!MakeWriterTables(writer)) return false;
  writer.WriteHeader(stream, *this, true);
  writer.WriteControlBlock(stream, *this, m_info.dispmeth);
  writer.WriteComment(stream, m_comment);
  writer.WriteImage(stream, *this, false);
  return FinishWrite(writer, stream);
}

bool CRasterImageGIF::EncodeFrames(CRasterStream* stream, CRasterImage** frames, int count, bool localColorTables,
                                   bool ownDisposal) {
  const char* problem = nullptr;
  if (!stream) {
    problem = "invalid file pointer";
  } else if (!frames || count <= 0 || !frames[0]) {
    problem = "multipage GIF, no images!";
  } else {
    for (int k = 0; k < count && !problem; k++) {
      if (!frames[k])
        problem = "Bad image pointer";
      else if (!frames[k]->HasPixels())
        problem = "Empty image";
      else if (!frames[k]->IsIndexed())
        problem = "CRasterImageGIF::Encode cannot create animated GIFs with a true color frame. Use DecreaseBpp before";
    }
  }
  if (problem) {
    SetErrorText(problem);
    return false;
  }
  CGifWriter writer;
  if (!MakeWriterTables(writer)) return false;
  const CRasterImage& first = *frames[0];
  writer.WriteHeader(stream, first, true);
  if (m_loops != 1) writer.WriteLoopBlock(stream, m_loops - 1 > 0 ? m_loops - 1 : 0);
  writer.WriteControlBlock(stream, first, ownDisposal ? first.GetGifDisposal() : m_info.dispmeth);
  writer.WriteComment(stream, m_comment);
  writer.WriteImage(stream, first, false);
  for (int k = 1; k < count; k++) {
    const CRasterImage& frame = *frames[k];
    writer.WriteControlBlock(stream, frame, ownDisposal ? frame.GetGifDisposal() : m_info.dispmeth);
    writer.WriteImage(stream, frame, localColorTables);
  }
  return FinishWrite(writer, stream);
}

bool CRasterImageGIF::EncodeTiles(CRasterStream* stream) {
  const LONG width = (LONG)GetWidth(), height = (LONG)GetHeight();
  CGifWriter writer;
  if (!MakeWriterTables(writer)) return false;
  writer.WriteHeader(stream, *this, false);
  writer.WriteComment(stream, m_comment);
  CRasterImageGIF tile;
  LONG tileW = 0, tileH = 0;
  const bool transparent = IsTransparent();
  const RGBQUAD tc = GetTransparentColor();
  for (LONG y = 0; y < height; y += 15) {
    for (LONG x = 0; x < width; x += 17) {
      LONG w = width - x < 17 ? width - x : 17;
      LONG h = height - y < 15 ? height - y : 15;
      if (w != tileW || h != tileH || !tile.HasPixels()) {
        if (!tile.Create(w, h, 8, RASTER_TYPE_UNKNOWN)) {
          SetErrorText(tile.GetErrorText());
          return false;
        }
        tileW = w;
        tileH = h;
      }
      if (transparent) {
        tile.m_info.nBkgndIndex = 0;
        tile.SetPaletteEntry(0, tc.rgbRed, tc.rgbGreen, tc.rgbBlue, 0);
      }
      for (LONG j = 0; j < h; j++) {
        for (LONG i = 0; i < w; i++) {
          RGBQUAD c = GetColorAtRaw(x + i, height - y - h + j, false);
          c.rgbReserved = 0;
          tile.SetPaletteEntry((BYTE)(1 + 17 * j + i), c);
        }
      }
      for (LONG j = 0; j < h; j++) {
        for (LONG i = 0; i < w; i++) {
          RGBQUAD c = GetColorAtRaw(x + i, height - y - h + j, false);
          c.rgbReserved = 0;
          tile.SetIndexAtRaw(i, j, tile.FindNearestPaletteIndex(c));
        }
      }
      tile.SetFrameOffset((int)x, (int)y);
      writer.WriteControlBlock(stream, tile, tile.GetGifDisposal());
      writer.WriteImage(stream, tile, true);
    }
  }
  return FinishWrite(writer, stream);
}
