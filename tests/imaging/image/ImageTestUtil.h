// Small helpers shared by the image tests.
#pragma once

#include "afxplatform.h"

// A palette or pixel entry from its channels.
inline RGBQUAD Q(BYTE r, BYTE g, BYTE b, BYTE a = 0) {
  RGBQUAD q;
  q.rgbRed = r;
  q.rgbGreen = g;
  q.rgbBlue = b;
  q.rgbReserved = a;
  return q;
}
