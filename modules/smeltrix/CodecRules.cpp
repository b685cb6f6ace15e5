#include "modules/smeltrix/CodecRules.h"

namespace smeltrix {

std::vector<AVRational> MpegRates(bool mpeg2) {
  static const AVRational base[] = {{24000, 1001}, {24, 1}, {25, 1},       {30000, 1001},
                                    {30, 1},       {50, 1}, {60000, 1001}, {60, 1}};
  std::vector<AVRational> rates;
  for (const AVRational& b : base) {
    if (!mpeg2) {
      rates.push_back(b);
      continue;
    }
    for (int n = 1; n <= 4; ++n)
      for (int d = 1; d <= 32; ++d)
        if (av_gcd(n, d) == 1) rates.push_back(av_mul_q(b, AVRational{n, d}));
  }
  return rates;
}

AVRational CodableRate(AVCodecID id, AVRational wanted) {
  if (id != AV_CODEC_ID_MPEG1VIDEO && id != AV_CODEC_ID_MPEG2VIDEO) return wanted;
  std::vector<AVRational> rates = MpegRates(id == AV_CODEC_ID_MPEG2VIDEO);
  AVRational best{0, 0}, highest{0, 1};
  for (const AVRational& r : rates) {
    if (av_cmp_q(r, highest) > 0) highest = r;
    if (av_cmp_q(r, wanted) >= 0 && (best.num == 0 || av_cmp_q(r, best) < 0)) best = r;
  }
  return best.num ? best : highest;
}

bool H263Size(int width, int height, int* legalW, int* legalH) {
  static const int sizes[][2] = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};
  for (const auto& s : sizes) {
    if (s[0] >= width && s[1] >= height) {
      *legalW = s[0];
      *legalH = s[1];
      return true;
    }
  }
  return false;
}

AVPixelFormat ChoosePixelFormat(const AVCodec* codec, const std::string& wanted) {
  const AVPixelFormat* list = codec->pix_fmts;
  auto supported = [&](AVPixelFormat f) {
    if (!list) return true;
    for (const AVPixelFormat* p = list; *p != AV_PIX_FMT_NONE; ++p)
      if (*p == f) return true;
    return false;
  };
  if (!wanted.empty()) {
    AVPixelFormat f = av_get_pix_fmt(wanted.c_str());
    if (f == AV_PIX_FMT_NONE || !supported(f)) Throw("pixel format " + wanted + " is not supported by " + codec->name);
    return f;
  }
  static const AVPixelFormat preferred[] = {AV_PIX_FMT_YUV420P, AV_PIX_FMT_BGR24, AV_PIX_FMT_RGB24};
  for (AVPixelFormat f : preferred)
    if (supported(f)) return f;
  return list ? list[0] : AV_PIX_FMT_YUV420P;
}

}  // namespace smeltrix
