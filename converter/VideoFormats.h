// The converter's eleven output formats.
#pragma once
#include "afx.h"

enum : DWORD { FORMAT_SIZE_EDITABLE = 0x1, FORMAT_RATE_EDITABLE = 0x2 };

struct VideoFormatEntry {
  LPCTSTR pszExtension;   // default extension of the output file, with the dot
  LPCTSTR pszContainer;   // the encoder's output format ("-f")
  LPCTSTR pszVideoCodec;  // the encoder's video codec ("-codec:v")
  int nWidth, nHeight;    // fixed frame size, 0 = none
  int nRateNum, nRateDen; // fixed frame rate, 0 = none
  DWORD dwReserved;
  DWORD dwFlags;
};

const int VIDEO_FORMAT_COUNT = 11;
extern const VideoFormatEntry VideoFormatTable[VIDEO_FORMAT_COUNT];

// The frame size and rate a conversion uses: the user's choice when both
// numbers are given, else the format's own; a rate defaults to 10/1, and
// MPEG-1 never runs below 20 frames per second.
void ChooseFrameSizeAndRate(const VideoFormatEntry& row, int chosenWidth, int chosenHeight, int chosenRateNum,
                            int chosenRateDen, int& width, int& height, int& rateNum, int& rateDen);
