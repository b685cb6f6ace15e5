// Builds BMP files byte by byte for the codec tests.
#pragma once

#include <cstring>
#include <vector>

#include "afxplatform.h"

struct BmpLayout {
  DWORD headerSize = 40;
  LONG width = 1;
  LONG height = 1;
  WORD planes = 1;
  WORD bpp = 24;
  DWORD compression = 0;
  DWORD sizeImage = 0;
  LONG xPels = 3780;
  LONG yPels = 3780;
  DWORD clrUsed = 0;
  std::vector<BYTE> palette;  // raw entries as stored (4 or 3 bytes each)
  std::vector<DWORD> masks;   // inside a header of 52 bytes or more, else after it
  std::vector<BYTE> pixels;
  bool fileHeader = true;
  bool overrideOffset = false;
  DWORD offset = 0;
};

inline void PutLe(std::vector<BYTE>& v, DWORD value, int bytes) {
  for (int i = 0; i < bytes; i++) v.push_back((BYTE)(value >> (8 * i)));
}

inline std::vector<BYTE> MakeBmp(const BmpLayout& s) {
  std::vector<BYTE> info;
  if (s.headerSize == 12) {
    PutLe(info, 12, 4);
    PutLe(info, (DWORD)s.width, 2);
    PutLe(info, (DWORD)s.height, 2);
    PutLe(info, s.planes, 2);
    PutLe(info, s.bpp, 2);
  } else {
    PutLe(info, s.headerSize, 4);
    PutLe(info, (DWORD)s.width, 4);
    PutLe(info, (DWORD)s.height, 4);
    PutLe(info, s.planes, 2);
    PutLe(info, s.bpp, 2);
    PutLe(info, s.compression, 4);
    PutLe(info, s.sizeImage, 4);
    PutLe(info, (DWORD)s.xPels, 4);
    PutLe(info, (DWORD)s.yPels, 4);
    PutLe(info, s.clrUsed, 4);
    PutLe(info, 0, 4);
    if (s.headerSize >= 52)
      for (DWORD m : s.masks) PutLe(info, m, 4);
    info.resize(s.headerSize, 0);
    if (s.headerSize < 52)
      for (DWORD m : s.masks) PutLe(info, m, 4);
  }
  std::vector<BYTE> out;
  DWORD offset = 14 + (DWORD)info.size() + (DWORD)s.palette.size();
  if (s.overrideOffset) offset = s.offset;
  if (s.fileHeader) {
    out.push_back('B');
    out.push_back('M');
    PutLe(out, offset + (DWORD)s.pixels.size(), 4);
    PutLe(out, 0, 4);
    PutLe(out, offset, 4);
  }
  out.insert(out.end(), info.begin(), info.end());
  out.insert(out.end(), s.palette.begin(), s.palette.end());
  out.insert(out.end(), s.pixels.begin(), s.pixels.end());
  return out;
}
