// Runs one series-to-video encode the way the converter does, through
// CEncoderTool::TranscodeSegment with a row of the format table.
// Usage: transcode_runner ENCODER FORMAT_INDEX RATE_NUM RATE_DEN PATTERN OUTPUT [WIDTH HEIGHT]
// A rate or size of 0 means "not chosen". Prints the rate and size used;
// exits with 0 on success, 1 when stopped, 2 on failure.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "converter/tools/EncoderTool.h"
#include "converter/jobs/VideoFormats.h"

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 7) {
    fprintf(stderr, "usage: transcode_runner ENCODER FORMAT_INDEX RATE_NUM RATE_DEN PATTERN OUTPUT [W H]\n");
    return 2;
  }
  int index = _wtoi(argv[2]);
  if (index < 0 || index >= VIDEO_FORMAT_COUNT) return 2;
  const VideoFormatEntry& row = VideoFormatTable[index];
  int chosenW = argc > 8 ? _wtoi(argv[7]) : 0, chosenH = argc > 8 ? _wtoi(argv[8]) : 0;
  int w, h, num, den;
  ChooseFrameSizeAndRate(row, chosenW, chosenH, _wtoi(argv[3]), _wtoi(argv[4]), w, h, num, den);
  printf("rate %d/%d size %dx%d\n", num, den, w, h);
  fflush(stdout);

  CEncoderTool tool;
  if (tool.InitWithSink(argv[1], L"", nullptr, nullptr) != 0) return 2;
  CStopFlag stop{0};
  int r = tool.TranscodeSegment(argv[5], num, den, argv[6], row.pszContainer, row.pszVideoCodec, w, h, 1, -1, &stop);
  return r == 0 ? 0 : r > 0 ? 1 : 2;
}
