// Command-line options of the encoder.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

// A second input, for muxing (options before its -i).
struct SmeltrixInput {
  std::string path;
  std::string format;
  int64_t seekUs = 0;
  int64_t durationUs = -1;
};

struct SmeltrixOptions {
  // Input (options before -i).
  std::string input;
  std::string inputFormat;
  AVRational inputRate{0, 0};
  int64_t inputSeekUs = 0;
  int64_t inputDurationUs = -1;
  std::vector<SmeltrixInput> moreInputs;  // inputs after the first
  int safe = 1;                           // the concat list's "safe" option
  // Streams taken: input index and stream index, in order; none = one video
  // and one audio stream chosen as the best of the inputs.
  std::vector<std::pair<int, int>> maps;
  bool noVideo = false;
  bool noAudio = false;
  std::string audioCodec;  // "copy", an encoder's name, or empty
  int64_t audioBitRate = 0;
  int sampleRate = 0;
  int channels = 0;
  std::string videoBitstreamFilter;
  std::string audioBitstreamFilter;
  // Output (options after -i).
  std::string output;
  std::string outputFormat;
  std::string videoCodec;
  std::string videoTag;
  std::string pixelFormat;
  std::string profile;
  int width = 0;
  int height = 0;
  AVRational aspect{0, 0};
  AVRational outputRate{0, 0};
  int64_t bitRate = 0;
  int quality = -1;
  int64_t maxFrames = 0;
  int64_t outputSeekUs = 0;
  int64_t outputDurationUs = -1;
  int threads = 0;
  int bufferSize = 0;
  bool overwrite = false;
  // Progress callback.
  int64_t callbackWindow = 0;
  int64_t callbackContext = 0;
};

// Parses the arguments after the program name; returns an empty text on
// success, else the reason the command line cannot be carried out.
std::string ParseSmeltrixOptions(const std::vector<std::string>& args, SmeltrixOptions& opt);
