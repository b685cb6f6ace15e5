// Runs one of the encoder wrapper's ready-made operations through the real
// encoder. Usage (times in milliseconds):
//   operations_runner ENCODER mux INPUT1 STREAM1 INPUT2 STREAM2 OUTPUT FORMAT
//   operations_runner ENCODER muxcodecs INPUT1 STREAM1 INPUT2 STREAM2 OUTPUT FORMAT VCODEC ACODEC
//   operations_runner ENCODER concat OUTPUT FORMAT INPUT...
//   operations_runner ENCODER concatlist LISTFILE OUTPUT
//   operations_runner ENCODER frame INPUT OUTPUT SEEK WIDTH HEIGHT
//   operations_runner ENCODER range INPUT START END OUTPUT WIDTH HEIGHT
// Exits with 0 on success, 2 on failure.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "converter/tools/EncoderTool.h"

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 4) return 2;
  CEncoderTool tool;
  if (tool.InitWithSink(argv[1], L"", nullptr, nullptr) != 0) return 2;
  const std::wstring op = argv[2];
  CStopFlag stop{0};
  int r = -1;
  if (op == L"mux" && argc == 9) {
    r = tool.MuxStreams(argv[3], _wtoi(argv[4]), argv[5], _wtoi(argv[6]), argv[7], argv[8], &stop);
  } else if (op == L"muxcodecs" && argc == 11) {
    r = tool.MuxStreamsWithCodecs(argv[3], _wtoi(argv[4]), argv[5], _wtoi(argv[6]), argv[7], argv[8], argv[9], argv[10],
                                  &stop);
  } else if (op == L"concat" && argc >= 6) {
    CStringArray paths;
    for (int i = 5; i < argc; ++i) paths.Add(argv[i]);
    r = tool.ConcatFiles(paths, argv[3], argv[4], &stop);
  } else if (op == L"concatlist" && argc == 5) {
    r = tool.ConcatList(argv[3], argv[4], &stop);
  } else if (op == L"frame" && argc == 8) {
    r = tool.ExtractFrame(argv[3], argv[4], _wtoi(argv[5]), _wtoi(argv[6]), _wtoi(argv[7]), L"", &stop);
  } else if (op == L"range" && argc == 9) {
    r = tool.ExtractFrameRange(argv[3], _wtoi(argv[4]), _wtoi(argv[5]), argv[6], L"", _wtoi(argv[7]), _wtoi(argv[8]),
                               &stop);
  } else {
    fprintf(stderr, "operations_runner: unknown operation or arguments\n");
  }
  return r == 0 ? 0 : 2;
}
