#include "SmeltrixOptions.h"

#include <cerrno>
#include <cstdlib>

extern "C" {
#include <libavutil/parseutils.h>
}

namespace {

bool ParseInt64(const std::string& s, int64_t* out)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long long v = strtoll(s.c_str(), &end, 10);
    if (errno || !end || *end)
        return false;
    *out = v;
    return true;
}

bool ParseInt(const std::string& s, int* out, int minimum)
{
    int64_t v = 0;
    if (!ParseInt64(s, &v) || v < minimum || v > INT32_MAX)
        return false;
    *out = (int)v;
    return true;
}

bool ParseBitRate(const std::string& s, int64_t* out)
{
    // Plain numbers or with a k/M suffix.
    if (s.empty())
        return false;
    char* end = nullptr;
    double v = strtod(s.c_str(), &end);
    if (!end || v <= 0)
        return false;
    if (*end == 'k' || *end == 'K') {
        v *= 1000;
        ++end;
    } else if (*end == 'M') {
        v *= 1000000;
        ++end;
    }
    if (*end)
        return false;
    *out = (int64_t)v;
    return true;
}

bool ParseRate(const std::string& s, AVRational* out)
{
    AVRational q;
    if (av_parse_video_rate(&q, s.c_str()) < 0 || q.num <= 0 || q.den <= 0)
        return false;
    *out = q;
    return true;
}

bool ParseTime(const std::string& s, int64_t* out)
{
    int64_t us = 0;
    if (av_parse_time(&us, s.c_str(), 1) < 0 || us < 0)
        return false;
    *out = us;
    return true;
}

} // namespace

std::string ParseSmeltrixOptions(const std::vector<std::string>& args, SmeltrixOptions& opt)
{
    bool seenInput = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        auto value = [&]() -> bool {
            if (i + 1 >= args.size())
                return false;
            v = args[++i];
            return true;
        };
        auto bad = [&](const char* what) { return "invalid value for " + a + ": " + v + " (" + what + ")"; };

        if (a == "-y") {
            opt.overwrite = true;
            continue;
        }
        if (a == "-an" || a == "-sn" || a == "-dn" || a == "-hide_banner" || a == "-nostdin")
            continue;  // the encoder writes video only
        if (a == "-i") {
            if (!value())
                return "option -i needs a file name";
            if (seenInput)
                return "only one input is supported: " + v;
            opt.input = v;
            seenInput = true;
            continue;
        }
        if (a.size() < 2 || a[0] != '-') {
            if (!seenInput)
                return "output file given before any input: " + a;
            if (!opt.output.empty())
                return "only one output is supported: " + a;
            opt.output = a;
            continue;
        }
        // Every remaining option takes a value.
        bool known = true;
        if (a == "-callbackwindow") {
            if (!value() || !ParseInt64(v, &opt.callbackWindow))
                return bad("a window handle");
        } else if (a == "-callbackcontext") {
            if (!value() || !ParseInt64(v, &opt.callbackContext))
                return bad("a number");
        } else if (a == "-loglevel" || a == "-v") {
            if (!value())
                return "option " + a + " needs a value";
        } else if (a == "-threads") {
            if (!value() || !ParseInt(v, &opt.threads, 0))
                return bad("a thread count");
        } else if (a == "-bufsize") {
            if (!value() || !ParseInt(v, &opt.bufferSize, 0))
                return bad("a buffer size in bits");
        } else if (a == "-r") {
            AVRational q;
            if (!value() || !ParseRate(v, &q))
                return bad("a frame rate");
            (seenInput ? opt.outputRate : opt.inputRate) = q;
        } else if (a == "-f") {
            if (!value() || v.empty())
                return bad("a format name");
            (seenInput ? opt.outputFormat : opt.inputFormat) = v;
        } else if (a == "-ss") {
            if (!value() || !ParseTime(v, seenInput ? &opt.outputSeekUs : &opt.inputSeekUs))
                return bad("a time");
        } else if (a == "-t") {
            if (!value() || !ParseTime(v, seenInput ? &opt.outputDurationUs : &opt.inputDurationUs))
                return bad("a time");
        } else if (a == "-codec:v" || a == "-c:v" || a == "-vcodec" || a == "-c" || a == "-codec") {
            if (!value() || v.empty())
                return bad("a codec name");
            if (v == "copy")
                return "stream copy (" + a + " copy) is not supported";
            opt.videoCodec = v;
        } else if (a == "-tag:v" || a == "-vtag") {
            if (!value() || v.empty() || v.size() > 4)
                return bad("a four-character code");
            opt.videoTag = v;
        } else if (a == "-pix_fmt") {
            if (!value() || v.empty())
                return bad("a pixel format");
            opt.pixelFormat = v;
        } else if (a == "-s") {
            if (!value() || av_parse_video_size(&opt.width, &opt.height, v.c_str()) < 0)
                return bad("a size such as 640x480");
        } else if (a == "-aspect") {
            if (!value() || av_parse_ratio(&opt.aspect, v.c_str(), 1000, 0, nullptr) < 0 ||
                opt.aspect.num <= 0 || opt.aspect.den <= 0)
                return bad("an aspect ratio such as 4:3");
        } else if (a == "-b:v" || a == "-vb") {
            if (!value() || !ParseBitRate(v, &opt.bitRate))
                return bad("a bit rate");
        } else if (a == "-q:v" || a == "-qscale:v") {
            if (!value() || !ParseInt(v, &opt.quality, 0))
                return bad("a quality of 0 or more");
        } else if (a == "-frames:v" || a == "-vframes") {
            if (!value() || !ParseInt64(v, &opt.maxFrames) || opt.maxFrames <= 0)
                return bad("a frame count");
        } else if (a == "-profile:v") {
            if (!value() || v.empty())
                return bad("a profile name");
            opt.profile = v;
        } else {
            known = false;
        }
        if (!known)
            return "unsupported option: " + a;
    }
    if (!seenInput)
        return "no input given (-i)";
    if (opt.output.empty())
        return "no output file given";
    return std::string();
}
