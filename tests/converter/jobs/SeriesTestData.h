// The series tests' inputs (made by make-series-data.sh) and checks of the
// pictures they hold.
#pragma once
#include <vector>

#include "converter/jobs/FrameItem.h"
#include "tests/TestPaths.h"

inline CString SeriesData(LPCTSTR relative) { return BuildTreePath(CString(L"testdata\\series\\") + relative); }
inline CString QuillfenPath() { return BuildTreePath(L"bin\\Quillfen.dll"); }

// The 8x8 cell of an image (top-down cells, 8 per row) that is lit, or -1
// when not exactly one is.
inline int LitCell(const CRasterImage& image, int cellsPerRow) {
  int lit = -1, count = 0;
  const int h = (int)image.GetHeight();
  for (int cy = 0; cy < h / 8; ++cy)
    for (int cx = 0; cx < cellsPerRow; ++cx) {
      // Stored rows run bottom-up.
      RGBQUAD c = image.GetColorAt(cx * 8 + 4, h - 1 - (cy * 8 + 4));
      if (c.rgbRed > 200 && c.rgbGreen > 200 && c.rgbBlue > 200) {
        lit = cy * cellsPerRow + cx;
        ++count;
      }
    }
  return count == 1 ? lit : -1;
}
