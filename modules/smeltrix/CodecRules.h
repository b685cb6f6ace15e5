// What the codecs can carry: frame rates, picture sizes, pixel formats.
#pragma once
#include <string>
#include <vector>

#include "modules/smeltrix/RunSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace smeltrix {

// Frame rates the MPEG-1 and MPEG-2 video syntax can carry.
std::vector<AVRational> MpegRates(bool mpeg2);
// The nearest rate the codec can code at or above the request (the highest when none is).
AVRational CodableRate(AVCodecID id, AVRational wanted);
// Picture sizes that baseline H.263 can code.
bool H263Size(int width, int height, int* legalW, int* legalH);
// The pixel format asked for (it must be the codec's), else the first the codec takes of YUV 4:2:0, BGR and RGB.
AVPixelFormat ChoosePixelFormat(const AVCodec* codec, const std::string& wanted);

}  // namespace smeltrix
