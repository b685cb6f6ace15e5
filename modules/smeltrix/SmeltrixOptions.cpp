#include "modules/smeltrix/SmeltrixOptions.h"

#include <cerrno>
#include <cstdlib>

extern "C" {
#include <libavutil/parseutils.h>
}

namespace {

bool ParseInt64(const std::string& s, int64_t* out) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long long v = strtoll(s.c_str(), &end, 10);
  if (errno || !end || *end) return false;
  *out = v;
  return true;
}

bool ParseInt(const std::string& s, int* out, int minimum) {
  int64_t v = 0;
  if (!ParseInt64(s, &v) || v < minimum || v > INT32_MAX) return false;
  *out = (int)v;
  return true;
}

bool ParseBitRate(const std::string& s, int64_t* out) {
  // Plain numbers or with a k/M suffix.
  if (s.empty()) return false;
  char* end = nullptr;
  double v = strtod(s.c_str(), &end);
  if (!end || v <= 0) return false;
  if (*end == 'k' || *end == 'K') {
    v *= 1000;
    ++end;
  } else if (*end == 'M') {
    v *= 1000000;
    ++end;
  }
  if (*end) return false;
  *out = (int64_t)v;
  return true;
}

bool ParseRate(const std::string& s, AVRational* out) {
  AVRational q;
  if (av_parse_video_rate(&q, s.c_str()) < 0 || q.num <= 0 || q.den <= 0) return false;
  *out = q;
  return true;
}

bool ParseTime(const std::string& s, int64_t* out) {
  int64_t us = 0;
  if (av_parse_time(&us, s.c_str(), 1) < 0 || us < 0) return false;
  *out = us;
  return true;
}

// True when the options from i + 1 on reach another -i before the output name:
// the option at i then belongs to that input.
bool IsFlag(const std::string& a) {
  return a == "-y" || a == "-an" || a == "-vn" || a == "-sn" || a == "-dn" || a == "-hide_banner" || a == "-nostdin";
}

bool NextIsInput(const std::vector<std::string>& args, size_t i) {
  for (size_t k = i + 1; k < args.size(); ++k) {
    const std::string& a = args[k];
    if (a == "-i") return true;
    if (a.size() < 2 || a[0] != '-') return false;  // the output
    if (!IsFlag(a)) ++k;                            // its value
  }
  return false;
}

}  // namespace

std::string ParseSmeltrixOptions(const std::vector<std::string>& args, SmeltrixOptions& opt) {
  bool seenInput = false;
  // Options that come between two inputs belong to the second one, unless an
  // output option follows them.
  std::string pendingFormat;
  int64_t pendingSeek = 0, pendingDuration = -1;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string v;
    auto value = [&]() -> bool {
      if (i + 1 >= args.size()) return false;
      v = args[++i];
      return true;
    };
    auto bad = [&](const char* what) { return "invalid value for " + a + ": " + v + " (" + what + ")"; };

    if (a == "-y") {
      opt.overwrite = true;
      continue;
    }
    if (a == "-an") {
      opt.noAudio = true;
      continue;
    }
    if (a == "-vn") {
      opt.noVideo = true;
      continue;
    }
    if (a == "-sn" || a == "-dn" || a == "-hide_banner" || a == "-nostdin")
      continue;  // no subtitles or data streams are written
    if (a == "-i") {
      if (!value()) return "option -i needs a file name";
      if (!seenInput) {
        opt.input = v;
      } else {
        // A second input takes the input options given since the first.
        if (!opt.output.empty() || opt.moreInputs.size() >= 1) return "at most two inputs are supported: " + v;
        SmeltrixInput more;
        more.path = v;
        more.format = pendingFormat;
        more.seekUs = pendingSeek;
        more.durationUs = pendingDuration;
        opt.moreInputs.push_back(more);
      }
      pendingFormat.clear();
      pendingSeek = 0;
      pendingDuration = -1;
      seenInput = true;
      continue;
    }
    if (a.size() < 2 || a[0] != '-') {
      if (!seenInput) return "output file given before any input: " + a;
      if (!opt.output.empty()) return "only one output is supported: " + a;
      opt.output = a;
      continue;
    }
    // Every remaining option takes a value.
    bool known = true;
    if (a == "-callbackwindow") {
      if (!value() || !ParseInt64(v, &opt.callbackWindow)) return bad("a window handle");
    } else if (a == "-callbackcontext") {
      if (!value() || !ParseInt64(v, &opt.callbackContext)) return bad("a number");
    } else if (a == "-loglevel" || a == "-v") {
      if (!value()) return "option " + a + " needs a value";
    } else if (a == "-threads") {
      if (!value() || !ParseInt(v, &opt.threads, 0)) return bad("a thread count");
    } else if (a == "-bufsize") {
      if (!value() || !ParseInt(v, &opt.bufferSize, 0)) return bad("a buffer size in bits");
    } else if (a == "-safe") {
      int safe = 0;
      if (!value() || !ParseInt(v, &safe, 0) || safe > 1) return bad("0 or 1");
      opt.safe = safe;
    } else if (a == "-map") {
      // input:stream, both numbers.
      int64_t in = -1, st = -1;
      size_t colon;
      if (!value() || (colon = v.find(':')) == std::string::npos || !ParseInt64(v.substr(0, colon), &in) ||
          !ParseInt64(v.substr(colon + 1), &st) || in < 0 || st < 0 || in > 1 || st > 1000)
        return bad("input:stream, such as 0:1");
      opt.maps.emplace_back((int)in, (int)st);
    } else if (a == "-codec:a" || a == "-c:a" || a == "-acodec") {
      if (!value() || v.empty()) return bad("a codec name");
      opt.audioCodec = v;
    } else if (a == "-b:a" || a == "-ab") {
      if (!value() || !ParseBitRate(v, &opt.audioBitRate)) return bad("a bit rate");
    } else if (a == "-ar") {
      if (!value() || !ParseInt(v, &opt.sampleRate, 1)) return bad("a sample rate");
    } else if (a == "-ac") {
      if (!value() || !ParseInt(v, &opt.channels, 1) || opt.channels > 8) return bad("a channel count of 1 to 8");
    } else if (a == "-bsf:v" || a == "-vbsf") {
      if (!value() || v.empty()) return bad("a bitstream filter");
      opt.videoBitstreamFilter = v;
    } else if (a == "-bsf:a" || a == "-absf") {
      if (!value() || v.empty()) return bad("a bitstream filter");
      opt.audioBitstreamFilter = v;
    } else if (a == "-r") {
      AVRational q;
      if (!value() || !ParseRate(v, &q)) return bad("a frame rate");
      (seenInput ? opt.outputRate : opt.inputRate) = q;
    } else if (a == "-f") {
      if (!value() || v.empty()) return bad("a format name");
      if (!seenInput)
        opt.inputFormat = v;
      else if (NextIsInput(args, i))
        pendingFormat = v;
      else
        opt.outputFormat = v;
    } else if (a == "-ss") {
      int64_t t = 0;
      if (!value() || !ParseTime(v, &t)) return bad("a time");
      if (!seenInput)
        opt.inputSeekUs = t;
      else if (NextIsInput(args, i))
        pendingSeek = t;
      else
        opt.outputSeekUs = t;
    } else if (a == "-t") {
      int64_t t = 0;
      if (!value() || !ParseTime(v, &t)) return bad("a time");
      if (!seenInput)
        opt.inputDurationUs = t;
      else if (NextIsInput(args, i))
        pendingDuration = t;
      else
        opt.outputDurationUs = t;
    } else if (a == "-codec:v" || a == "-c:v" || a == "-vcodec" || a == "-c" || a == "-codec") {
      if (!value() || v.empty()) return bad("a codec name");
      opt.videoCodec = v;
      // The plain form names the codec of every stream: only copying fits audio too.
      if ((a == "-c" || a == "-codec") && v == "copy") opt.audioCodec = v;
    } else if (a == "-tag:v" || a == "-vtag") {
      if (!value() || v.empty() || v.size() > 4) return bad("a four-character code");
      opt.videoTag = v;
    } else if (a == "-pix_fmt") {
      if (!value() || v.empty()) return bad("a pixel format");
      opt.pixelFormat = v;
    } else if (a == "-s") {
      if (!value() || av_parse_video_size(&opt.width, &opt.height, v.c_str()) < 0) return bad("a size such as 640x480");
    } else if (a == "-aspect") {
      if (!value() || av_parse_ratio(&opt.aspect, v.c_str(), 1000, 0, nullptr) < 0 || opt.aspect.num <= 0 ||
          opt.aspect.den <= 0)
        return bad("an aspect ratio such as 4:3");
    } else if (a == "-b:v" || a == "-vb") {
      if (!value() || !ParseBitRate(v, &opt.bitRate)) return bad("a bit rate");
    } else if (a == "-q:v" || a == "-qscale:v") {
      if (!value() || !ParseInt(v, &opt.quality, 0)) return bad("a quality of 0 or more");
    } else if (a == "-frames:v" || a == "-vframes") {
      if (!value() || !ParseInt64(v, &opt.maxFrames) || opt.maxFrames <= 0) return bad("a frame count");
    } else if (a == "-profile:v") {
      if (!value() || v.empty()) return bad("a profile name");
      opt.profile = v;
    } else {
      known = false;
    }
    if (!known) return "unsupported option: " + a;
  }
  if (!seenInput) return "no input given (-i)";
  if (opt.output.empty()) return "no output file given";
  return std::string();
}
