// The converter's eleven output formats.
#pragma once
#include "afx.h"
#include "afxcoll.h"

enum : DWORD { FORMAT_SIZE_EDITABLE = 0x1, FORMAT_RATE_EDITABLE = 0x2 };

struct VideoFormatEntry {
  LPCTSTR pszExtension;    // default extension of the output file, with the dot
  LPCTSTR pszContainer;    // the encoder's output format ("-f")
  LPCTSTR pszVideoCodec;   // the encoder's video codec ("-codec:v")
  int nWidth, nHeight;     // fixed frame size, 0 = none
  int nRateNum, nRateDen;  // fixed frame rate, 0 = none
  DWORD dwReserved;
  DWORD dwFlags;
};

const int VIDEO_FORMAT_COUNT = 11;
extern const VideoFormatEntry VideoFormatTable[VIDEO_FORMAT_COUNT];

// The frame size and rate a conversion uses: the user's choice when both
// numbers are given and the format lets them be chosen, else the format's own;
// a rate defaults to 10/1, and MPEG-1 never runs below 20 frames per second.
void ChooseFrameSizeAndRate(const VideoFormatEntry& row, int chosenWidth, int chosenHeight, int chosenRateNum,
                            int chosenRateDen, int& width, int& height, int& rateNum, int& rateDen);

// The row whose extension and codec a format index names; null outside the table.
const VideoFormatEntry* GetVideoFormat(int index);

// What the Save dialog proposes before a conversion. Paths use '\\'.
struct OutputProposal {
  CString strFolder;      // the dialog's start folder, may be empty
  CString strFileName;    // the proposed name, may be empty
  CString strDefaultExt;  // without the dot
};
// currentName: the file-name box's text; recentFirst: the newest output or
// empty; sources: the frames' source files in strip order (only the first and
// the count matter); row may be null when no format is chosen.
OutputProposal ProposeOutputFile(LPCTSTR currentName, LPCTSTR recentFirst, const CStringArray& sources,
                                 const VideoFormatEntry* row);

// Path pieces without the platform: the folder part ("" for a bare name, a
// drive root keeps its backslash), the name without folder and extension.
CString PathParentOf(LPCTSTR path);
CString PathBaseNameOf(LPCTSTR path);
// "<folder>\<base><ext>" for a path that has both a folder and a base name;
// empty otherwise (the format change leaves such a name alone).
CString ReplaceExtensionForFormat(LPCTSTR path, LPCTSTR extension);
