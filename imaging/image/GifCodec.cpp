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

bool CRasterImageGIF::Decode(CRasterStream* stream) {
  if (!stream) return false;
  CGifReader reader(*this);
  if (!reader.MakeTables()) {
    SetErrorText("no memory for the GIF decoder's tables");
    return false;
  }
  BYTE head[13];
  if (stream->Read(head, 1, 13) != 13 || memcmp(head, "GIF8", 4) != 0) {
    SetErrorText("Not a GIF file");
    return false;
  }
  ScreenHeader header;
  header.width = LittleWord(head + 6);
  header.height = LittleWord(head + 8);
  header.flags = head[10];
  header.background = head[11];
  header.aspect = head[12];
  if (m_info.nEscape == -1) {
    // A screen of 0 x 0 takes the size of the first image, as the full decode does.
    if (header.width == 0 && header.height == 0) {
      if (header.flags & 0x80) stream->Seek(3 * (2 << (header.flags & 7)), SEEK_CUR);
      reader.ReadFirstImageSize(stream, &header);
    }
    m_head.biWidth = header.width;
    m_head.biHeight = header.height;
    m_info.nFormat = RASTER_TYPE_GIF;
    return true;
  }
  ColorTable global;
  global.count = 0;
  int trueColor = 0;
  if (header.flags & 0x80)
    reader.ReadColorTable(stream, header.flags & 7, &global);
  else
    trueColor = 1;

  // Counting reads every extension; the frames read them again in order.
  const int savedIndex = m_info.nBkgndIndex, savedDelay = m_info.dwFrameDelay;
  const BYTE savedDisposal = m_info.dispmeth;
  int frames = reader.CountFrames(stream, &global, &header);
  m_info.nBkgndIndex = savedIndex;
  m_info.dwFrameDelay = savedDelay;
  m_info.dispmeth = savedDisposal;
  reader.m_gceFlags = 0;
  reader.m_gceDelay = 0;
  reader.m_gceTransparent = 0;
  m_info.nNumFrames = frames;
  if (m_info.nFrame < 0 || m_info.nFrame >= frames) {
    SetErrorText(frames ? "GIF frame not found" : "GIF file without an image");
    return false;
  }
  if (frames == 1) trueColor = 0;

  CRasterImageGIF* canvas = nullptr;
  CRasterImageGIF* previous = nullptr;
  CRasterImageGIF* composite24 = nullptr;
  CRasterImage** frameList = nullptr;
  int firstTransparent = -1;
  int previousDisposal = 0;
  bool ok = true;
  bool any = false;
  auto fail = [&](const char* text) {
    if (text) SetErrorText(text);
    ok = false;
  };

  int i = 0;
  bool afterZero = true;
  for (;;) {
    if (m_info.nEscape > 0) {
      fail(nullptr);
      break;
    }
    int c = stream->GetByte();
    if (c < 0) break;
    if (!afterZero && c != 0) continue;
    if (c == '!') {
      if (!reader.ReadExtension(stream)) break;
      continue;
    }
    if (c == ';') break;
    if (c != ',') {
      afterZero = c == 0;
      continue;
    }
    ImageDescriptor d;
    if (!reader.ReadDescriptor(stream, &d)) break;
    if (d.left + d.width > header.width || d.top + d.height > header.height) continue;

    // A first image smaller than the screen marks a file of true-colour tiles
    // when it is smaller both ways, or one way and shown without delay (tiles
    // appear at once); an animation's first frame, smaller one way, waits.
    if (i == 0 && (d.width != header.width || d.height != header.height) &&
        ((d.width != header.width && d.height != header.height) || reader.m_gceDelay == 0))
      trueColor++;
    ColorTable local;
    local.count = 0;
    if (d.flags & 0x80) reader.ReadColorTable(stream, d.flags & 7, &local);
    const ColorTable* table = (d.flags & 0x80) ? &local : (global.count ? &global : nullptr);
    int depth = DepthForColors(table ? table->count : 0);

    if (trueColor < 2) {
      CRasterImageGIF* next = new (std::nothrow) CRasterImageGIF;
      if (!next) {
        fail("no memory for the next GIF frame");
        break;
      }
      if (i == 0) {
        next->CopyAttributes(*this);
        if (!next->Create(header.width, header.height, depth, RASTER_TYPE_GIF)) {
          fail(next->GetErrorText());
          delete next;
          break;
        }
        next->FillRows(reader.m_gceTransparent);
        firstTransparent = m_info.nBkgndIndex;
        delete previous;
        previous = new (std::nothrow) CRasterImageGIF;
        if (previous) previous->Copy(*next);
        if (!previous || !previous->HasPixels()) {
          fail("no memory for the GIF frame kept for restoring");
          delete next;
          break;
        }
      } else {
        next->Copy(*this);
        if (!next->HasPixels()) {
          fail("no memory for a copy of the GIF frame");
          delete next;
          break;
        }
        if (previousDisposal == 2) {
          next->FillRows((BYTE)firstTransparent);
        } else if (previousDisposal == 3 && previous && previous->HasPixels()) {
          if (!next->Create((LONG)previous->GetWidth(), (LONG)previous->GetHeight(), previous->GetBpp(),
                            RASTER_TYPE_GIF)) {
            fail(next->GetErrorText());
            delete next;
            break;
          }
          memcpy(next->GetPixelBlock(), previous->GetPixelBlock(), previous->GetBlockSize());
          next->m_info.last_c_isvalid = 0;
        }
      }
      delete canvas;
      canvas = next;
    }

    if (!Create(d.width, d.height, depth, RASTER_TYPE_GIF)) {
      fail(nullptr);  // the creation message stays
      break;
    }
    if (table) {
      RGBQUAD pal[256];
      memset(pal, 0, sizeof(pal));
      for (int k = 0; k < table->count && k < 256; k++) {
        pal[k].rgbRed = table->rgb[3 * k];
        pal[k].rgbGreen = table->rgb[3 * k + 1];
        pal[k].rgbBlue = table->rgb[3 * k + 2];
      }
      int offered = table->count;
      if (m_info.nBkgndIndex >= 0) {
        for (int k = table->count; k < 256; k++) pal[k].rgbRed = pal[k].rgbGreen = pal[k].rgbBlue = 255;
        offered = 256;
      }
      DWORD n = (DWORD)offered < GetColorCount() ? (DWORD)offered : GetColorCount();
      SetPaletteEntries(pal, n);
    }

    long dataStart = stream->Tell();
    reader.StartFrameData(d);
    GifLineCursor cursor;
    cursor.image = this;
    cursor.row = (LONG)GetHeight() - 1;
    int bad = 0;
    reader.LzwDecode(stream, &cursor, d.width, &bad);
    if (m_info.nEscape) {
      fail(nullptr);
      break;
    }

    if (trueColor < 2) {
      // A later frame with a colour table of its own cannot share the canvas's
      // palette: such an animation is composed in true colour from there on.
      const bool trueColorCanvas = canvas->GetBpp() == 24 || (i > 0 && (d.flags & 0x80) != 0);
      const int target = trueColorCanvas ? 24 : GetBpp();
      if (target > canvas->GetBpp() && !canvas->RaiseDepth(target)) {
        fail(canvas->GetErrorText());
        break;
      }
      PasteFrame(*canvas, *this, d);
      if (!trueColorCanvas) {
        canvas->m_info.nBkgndIndex = firstTransparent;
        canvas->SetPaletteEntries(GetPaletteData(), GetColorCount());
      }
      CRasterImageGIF* done = canvas;
      canvas = nullptr;
      TakeOver(*done, true);
      delete done;
    } else {
      m_info.nFrame = frames - 1;
      if (!composite24) {
        composite24 = new (std::nothrow) CRasterImageGIF;
        if (!composite24) {
          fail("no memory for the GIF's composed picture");
          break;
        }
        composite24->CopyAttributes(*this);
        if (!composite24->Create(header.width, header.height, 24, RASTER_TYPE_GIF)) {
          fail(composite24->GetErrorText());
          break;
        }
      }
      const LONG H = (LONG)header.height;
      RGBQUAD palette[256];
      memset(palette, 0, sizeof(palette));
      for (DWORD k = 0; k < GetColorCount() && k < 256; k++) palette[k] = GetPaletteEntry((BYTE)k);
      for (LONG y = 0; y < (LONG)d.height; y++) {
        LONG src = (LONG)d.height - 1 - y;
        LONG dst = H - 1 - (d.top + y);
        BYTE* out = composite24->GetRowPointer((DWORD)dst) + 3 * (size_t)d.left;
        const BYTE* in = GetRowPointer((DWORD)src);
        for (LONG x = 0; x < (LONG)d.width; x++, out += 3) {
          BYTE index = GetBpp() == 8 ? in[x] : GetIndexAtRaw(x, src);
          const RGBQUAD& q = palette[index];
          out[0] = q.rgbBlue;
          out[1] = q.rgbGreen;
          out[2] = q.rgbRed;
        }
      }
    }
    any = true;
    previousDisposal = m_info.dispmeth;
    reader.FinishFrameData(stream, dataStart, bad);
    afterZero = true;

    if (m_info.bGetAllFrames && trueColor < 2) {
      if (i == 0) {
        FreeFrames();
        delete[] frameList;
        frameList = new (std::nothrow) CRasterImage*[frames];
        if (frameList)
          for (int k = 0; k < frames; k++) frameList[k] = nullptr;
      }
      if (frameList && i < frames) {
        CRasterImage* copy = new (std::nothrow) CRasterImage(*this, true, true, true);
        if (copy) {
          copy->SetAllFrames(false);
          frameList[i] = copy;
        }
      }
    }
    if (previousDisposal == 0 || previousDisposal == 1) {
      if (trueColor < 2) {
        if (!previous) previous = new (std::nothrow) CRasterImageGIF;
        if (previous) previous->Copy(*this);
      }
    }
    if (i == m_info.nFrame && !m_info.bGetAllFrames) break;
    i++;
  }

  if (ok && composite24 && composite24->HasPixels()) {
    if (reader.m_gceFlags & 1) {
      RGBQUAD t = IsInside(0, 0) && m_info.nBkgndIndex >= 0 ? GetPaletteEntry((BYTE)m_info.nBkgndIndex)
                                                            : composite24->m_info.nBkgndColor;
      t.rgbReserved = 0;
      composite24->m_info.nBkgndColor = t;
      composite24->m_info.nBkgndIndex = 0;
    } else {
      composite24->m_info.nBkgndIndex = -1;
    }
    composite24->m_info.nNumFrames = frames;
    TakeOver(*composite24, true);
  }
  if (ok && !any) fail("Corrupt GIF file");
  if (ok && frameList) {
    SetFrameList(frameList, frames);
    frameList = nullptr;
  }
  if (frameList) {
    for (int k = 0; k < frames; k++) delete frameList[k];
    delete[] frameList;
  }
  delete canvas;
  delete previous;
  delete composite24;
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
