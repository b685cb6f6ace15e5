// Load and save by path or stdio file, and the choice of codec by format id.
#include "imaging/image/RasterImage.h"

#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include "imaging/image/RasterImageBMP.h"

#ifdef _WIN32
#include <share.h>
#endif

#include "imaging/image/GifCodec.h"
#include "imaging/image/IcoCodec.h"
#include "imaging/image/JpegCodec.h"
#include "imaging/image/PngCodec.h"

namespace {

template <class T>
T* NewCodec() {
  return new (std::nothrow) T();
}

template <class T>
bool RunDecode(CRasterImage& target, CRasterStream* stream, int format, int* frames, char* error, size_t errorSize,
               bool* allocated) {
  T* codec = NewCodec<T>();
  *allocated = codec != nullptr;
  if (!codec) return false;
  codec->CopyAttributes(target);
  if (codec->Decode(stream)) {
    target.TakeOver(*codec, true);
    delete codec;
    return true;
  }
  *frames = codec->GetFrameCount();
  size_t n = strlen(codec->GetErrorText());
  if (n > errorSize - 1) n = errorSize - 1;
  memcpy(error, codec->GetErrorText(), n);
  error[n] = 0;
  delete codec;
  return false;
}

#ifndef _WIN32
std::string NarrowPath(const wchar_t* path) {
  // UTF-8 for the native build's file system.
  std::string out;
  for (; *path; ++path) {
    uint32_t c = (uint32_t)*path;
    if (c < 0x80) {
      out += (char)c;
    } else if (c < 0x800) {
      out += (char)(0xC0 | (c >> 6));
      out += (char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += (char)(0xE0 | (c >> 12));
      out += (char)(0x80 | ((c >> 6) & 0x3F));
      out += (char)(0x80 | (c & 0x3F));
    } else {
      out += (char)(0xF0 | (c >> 18));
      out += (char)(0x80 | ((c >> 12) & 0x3F));
      out += (char)(0x80 | ((c >> 6) & 0x3F));
      out += (char)(0x80 | (c & 0x3F));
    }
  }
  return out;
}
#endif

FILE* OpenFile(const wchar_t* path, bool write) {
  if (!path) return nullptr;
#ifdef _WIN32
  return _wfsopen(path, write ? L"wb" : L"rb", _SH_DENYNO);
#else
  return fopen(NarrowPath(path).c_str(), write ? "wb" : "rb");
#endif
}

}  // namespace

bool CRasterImage::Load(const wchar_t* path, int format) {
  if (NormalizeFormat(format) != 0) {
    FILE* f = OpenFile(path, false);
    if (!f) return false;
    bool ok = LoadFromFile(f, format);
    fclose(f);
    if (ok) return true;
  }
  char kept[sizeof(m_info.szLastError)];
  memcpy(kept, m_info.szLastError, sizeof(kept));
  FILE* f = OpenFile(path, false);
  if (!f) return false;
  bool ok = LoadFromFile(f, RASTER_TYPE_UNKNOWN);
  fclose(f);
  if (!ok && format != 0) SetErrorText(kept);
  return ok;
}

bool CRasterImage::LoadFromFile(FILE* file, int format) {
  CRasterFileStream stream(file);
  return Decode(file ? &stream : nullptr, format);
}

bool CRasterImage::Decode(CRasterStream* stream, int format) {
  if (!stream) {
    SetErrorText("null file handler");
    return false;
  }
  int32_t position = stream->Tell();
  static const int order[] = {RASTER_TYPE_BMP, RASTER_TYPE_JPEG, RASTER_TYPE_ICO, RASTER_TYPE_GIF, RASTER_TYPE_PNG};
  int first;
  switch (format) {
    case 0:
    case RASTER_TYPE_BMP:
      first = 0;
      break;
    case RASTER_TYPE_JPEG:
      first = 1;
      break;
    case RASTER_TYPE_ICO:
      first = 2;
      break;
    case RASTER_TYPE_GIF:
      first = 3;
      break;
    case RASTER_TYPE_PNG:
      first = 4;
      break;
    default:
      SetErrorText("Decode: Unknown or wrong format");
      return false;
  }
  for (int i = first; i < 5; i++) {
    int id = order[i];
    int frames = m_info.nNumFrames;
    char error[sizeof(m_info.szLastError)] = "";
    bool allocated = false;
    bool ok = false;
    switch (id) {
      case RASTER_TYPE_BMP:
        ok = RunDecode<CRasterImageBMP>(*this, stream, id, &frames, error, sizeof(error), &allocated);
        break;
      case RASTER_TYPE_JPEG:
        ok = RunDecode<CRasterImageJPEG>(*this, stream, id, &frames, error, sizeof(error), &allocated);
        break;
      case RASTER_TYPE_ICO:
        ok = RunDecode<CRasterImageICO>(*this, stream, id, &frames, error, sizeof(error), &allocated);
        break;
      case RASTER_TYPE_GIF:
        ok = RunDecode<CRasterImageGIF>(*this, stream, id, &frames, error, sizeof(error), &allocated);
        break;
      default:
        ok = RunDecode<CRasterImagePNG>(*this, stream, id, &frames, error, sizeof(error), &allocated);
        break;
    }
    if (!allocated) return false;
    if (ok) return true;
    if (id == RASTER_TYPE_ICO || id == RASTER_TYPE_GIF) m_info.nNumFrames = frames;
    SetErrorText(error);
    stream->Seek(position, SEEK_SET);
    if (format != 0) return false;
  }
  SetErrorText("Decode: Unknown or wrong format");
  return false;
}

bool CRasterImage::Save(const wchar_t* path, int format) {
  FILE* f = OpenFile(path, true);
  if (!f) return false;
  bool ok = SaveToFile(f, format);
  // Data still buffered is written by fclose: a failure there (a full disk)
  // is a failed save too.
  if (fclose(f) != 0 && ok) {
    SetErrorText("Error writing file");
    ok = false;
  }
  return ok;
}

bool CRasterImage::SaveToFile(FILE* file, int format) {
  CRasterFileStream stream(file);
  return Encode(file ? &stream : nullptr, format);
}

template <class T>
static bool RunEncode(CRasterImage& source, CRasterStream* stream, int format) {
  T* codec = NewCodec<T>();
  if (!codec) return false;
  codec->BorrowFrom(source);
  bool ok;
  if constexpr (std::is_same<T, CRasterImageICO>::value)
    ok = codec->Encode(stream, 0, 0);
  else
    ok = codec->Encode(stream);
  if (!ok) source.SetErrorText(codec->GetErrorText());
  delete codec;
  return ok;
}

bool CRasterImage::Encode(CRasterStream* stream, int format) {
  switch (format) {
    case RASTER_TYPE_BMP:
      return RunEncode<CRasterImageBMP>(*this, stream, format);
    case RASTER_TYPE_GIF:
      return RunEncode<CRasterImageGIF>(*this, stream, format);
    case RASTER_TYPE_JPEG:
      return RunEncode<CRasterImageJPEG>(*this, stream, format);
    case RASTER_TYPE_PNG:
      return RunEncode<CRasterImagePNG>(*this, stream, format);
    case RASTER_TYPE_ICO:
      return RunEncode<CRasterImageICO>(*this, stream, format);
    default:
      SetErrorText("Encode: Unknown format");
      return false;
  }
}

bool CRasterImage::CanEncode(CRasterStream* stream) {
  if (!stream) {
    SetErrorText("null file handler");
    return false;
  }
  if (!m_pDib) {
    SetErrorText("null image!!!");
    return false;
  }
  return true;
}
