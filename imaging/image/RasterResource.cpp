// Pictures kept as program resources.
#include "imaging/image/RasterImage.h"

#ifdef _WIN32
#include "imaging/image/RasterStream.h"

bool CRasterImage::LoadFromResource(HRSRC resource, int format, HMODULE module) {
  const DWORD size = resource ? ::SizeofResource(module, resource) : 0;
  HGLOBAL handle = resource ? ::LoadResource(module, resource) : nullptr;
  if (!handle) {
    SetErrorText("Unable to load resource!");
    return false;
  }
  BYTE* bytes = static_cast<BYTE*>(::LockResource(handle));
  if (!bytes) return false;
  // Decoding only reads, so the stream may sit on the resource's own memory.
  CRasterMemoryStream stream(bytes, (int32_t)size);
  return Decode(&stream, format);
}
#endif
