// Outputs: numbered BMP pictures, or a video file through a muxer.
#pragma once
#include <string>

#include "modules/smeltrix/CodecRules.h"
#include "modules/smeltrix/FrameSources.h"
#include "modules/common/ModuleText.h"
#include "modules/smeltrix/PictureConverter.h"
#include "modules/smeltrix/RunSupport.h"
#include "modules/smeltrix/SmeltrixOptions.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace smeltrix {

// "<output>.~<process>.part": where an output is written until it is complete.
std::string TempName(const std::string& finalName);
// Partial files of this output left by an encoder that did not end its run
// (stopped by force, crashed, a power cut): "<output>.~<process>.part", or the
// same beside each numbered picture of a series. Those of a running encoder stay.
void RemoveStalePartials(const std::string& output);
// Throws when the file exists and may not be replaced.
void CheckCanWrite(const std::string& path, bool overwrite);
// The container named by -f, else the one the output's name suggests; throws when there is none.
const AVOutputFormat* OutputFormatFor(const SmeltrixOptions& opt);

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual void Open(int width, int height) = 0;
  // Writes one picture; called once per output frame in order.
  virtual void Write(const AVFrame* picture) = 0;
  virtual void Close() = 0;
  // Removes everything written when the run fails or stops.
  virtual void Discard() = 0;
  virtual AVPixelFormat PixelFormat() const = 0;
  virtual bool NeedsEvenSize() const = 0;
  virtual bool H263Sizes() const { return false; }
};

// Numbered BMP pictures, numbered from 1, renamed into place at the end.
class PictureSeriesSink : public FrameSink {
 public:
  // One picture (-frames:v 1) may go to a plain file name.
  PictureSeriesSink(const std::string& pattern, bool overwrite, bool single)
      : m_pattern(pattern), m_overwrite(overwrite), m_single(single && !SequenceSource::IsPattern(pattern)) {
    if (!m_single && !SequenceSource::IsPattern(pattern))
      Throw("the output " + pattern + " needs a frame number such as %07d");
    if (m_single) CheckCanWrite(pattern, overwrite);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_BMP);
    if (!codec) Throw("no BMP encoder");
    m_codec = codec;
  }
  ~PictureSeriesSink() override {
    Discard();
    avcodec_free_context(&m_ctx);
    av_packet_free(&m_pkt);
  }
  AVPixelFormat PixelFormat() const override { return AV_PIX_FMT_BGR24; }
  bool NeedsEvenSize() const override { return false; }
  void Open(int width, int height) override {
    m_ctx = avcodec_alloc_context3(m_codec);
    m_ctx->width = width;
    m_ctx->height = height;
    m_ctx->pix_fmt = AV_PIX_FMT_BGR24;
    m_ctx->time_base = AVRational{1, 25};
    Check(avcodec_open2(m_ctx, m_codec, nullptr), "cannot open the BMP encoder");
    m_pkt = av_packet_alloc();
  }
  void Write(const AVFrame* picture) override {
    Check(avcodec_send_frame(m_ctx, picture), "cannot encode a BMP picture");
    Check(avcodec_receive_packet(m_ctx, m_pkt), "cannot encode a BMP picture");
    std::string name = Name(++m_number);
    CheckCanWrite(name, m_overwrite);
    std::string temp = TempName(name);
    m_written.push_back(temp);
    FILE* fp = _wfopen(modtext::Utf8ToWide(temp).c_str(), L"wb");
    if (!fp) Throw("cannot create " + temp);
    bool ok = fwrite(m_pkt->data, 1, (size_t)m_pkt->size, fp) == (size_t)m_pkt->size;
    ok = (fclose(fp) == 0) && ok;
    av_packet_unref(m_pkt);
    if (!ok) Throw("cannot write " + temp);
  }
  void Close() override {
    for (int64_t i = 0; i < (int64_t)m_written.size(); ++i) {
      std::string name = Name(i + 1);
      if (!MoveReplace(m_written[(size_t)i], name)) Throw("cannot rename " + m_written[(size_t)i] + " to " + name);
      m_placed.push_back(name);
    }
    m_written.clear();
    m_placed.clear();
  }
  void Discard() override {
    for (const std::string& f : m_written) DeleteFileUtf8(f);
    for (const std::string& f : m_placed) DeleteFileUtf8(f);
    m_written.clear();
    m_placed.clear();
  }

 private:
  std::string Name(int64_t n) const {
    if (m_single) return m_pattern;
    char buf[4096];
    av_get_frame_filename2(buf, sizeof buf, m_pattern.c_str(), (int)n, 0);
    return buf;
  }

  std::string m_pattern;
  bool m_overwrite;
  bool m_single;
  const AVCodec* m_codec = nullptr;
  AVCodecContext* m_ctx = nullptr;
  AVPacket* m_pkt = nullptr;
  int64_t m_number = 0;
  std::vector<std::string> m_written;
  std::vector<std::string> m_placed;
};

// A video file written through a muxer, under a temporary name until complete.
class VideoFileSink : public FrameSink {
 public:
  VideoFileSink(const SmeltrixOptions& opt, const AVOutputFormat* ofmt, AVRational rate)
      : m_opt(opt), m_ofmt(ofmt), m_final(opt.output), m_temp(TempName(opt.output)) {
    CheckCanWrite(m_final, opt.overwrite);
    std::string codecName = opt.videoCodec;
    if (codecName.empty()) {
      AVCodecID id = av_guess_codec(ofmt, nullptr, opt.output.c_str(), nullptr, AVMEDIA_TYPE_VIDEO);
      m_codec = avcodec_find_encoder(id);
      if (!m_codec) Throw(std::string("no video encoder for the format ") + ofmt->name);
    } else {
      m_codec = avcodec_find_encoder_by_name(codecName.c_str());
      if (!m_codec || m_codec->type != AVMEDIA_TYPE_VIDEO) Throw("unknown video encoder: " + codecName);
    }
    if (avformat_query_codec(ofmt, m_codec->id, FF_COMPLIANCE_NORMAL) == 0)
      Throw(std::string("the format ") + ofmt->name + " cannot hold " + m_codec->name + " video");
    m_pixfmt = ChoosePixelFormat(m_codec, opt.pixelFormat);
    m_rate = CodableRate(m_codec->id, rate);
    // MPEG program streams time-stamp only the first picture that starts in each
    // pack; small pictures (repeated ones above all) share packs and lose their
    // time stamps, which shortens the length readers work out from the tail.
    bool programStream = strcmp(ofmt->name, "mpeg") == 0 || strcmp(ofmt->name, "vcd") == 0 ||
                         strcmp(ofmt->name, "dvd") == 0 || strcmp(ofmt->name, "svcd") == 0 ||
                         strcmp(ofmt->name, "vob") == 0;
    m_padPictures = programStream && (m_codec->id == AV_CODEC_ID_MPEG1VIDEO || m_codec->id == AV_CODEC_ID_MPEG2VIDEO);
  }
  ~VideoFileSink() override {
    Discard();
    avcodec_free_context(&m_ctx);
    av_packet_free(&m_pkt);
  }
  AVRational EncodedRate() const { return m_rate; }
  AVPixelFormat PixelFormat() const override { return m_pixfmt; }
  bool NeedsEvenSize() const override {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(m_pixfmt);
    return d->log2_chroma_w > 0 || d->log2_chroma_h > 0 || m_codec->id == AV_CODEC_ID_WMV2;
  }
  bool H263Sizes() const override { return m_codec->id == AV_CODEC_ID_H263; }

  void Open(int width, int height) override {
    Check(avformat_alloc_output_context2(&m_fmt, m_ofmt, nullptr, m_temp.c_str()), "cannot create the output");
    m_ctx = avcodec_alloc_context3(m_codec);
    m_ctx->width = width;
    m_ctx->height = height;
    m_ctx->pix_fmt = m_pixfmt;
    AVRational tb = av_inv_q(m_rate);
    av_reduce(&tb.num, &tb.den, tb.num, tb.den, INT_MAX);
    m_ctx->time_base = tb;
    m_ctx->framerate = m_rate;
    m_ctx->thread_count = m_opt.threads;
    if (m_opt.aspect.num > 0) m_ctx->sample_aspect_ratio = av_mul_q(m_opt.aspect, AVRational{height, width});
    if (m_opt.bitRate > 0) m_ctx->bit_rate = m_opt.bitRate;
    if (m_opt.bufferSize > 0) m_ctx->rc_buffer_size = m_opt.bufferSize;
    if (!m_opt.videoTag.empty()) {
      char t[4] = {' ', ' ', ' ', ' '};
      memcpy(t, m_opt.videoTag.data(), m_opt.videoTag.size());
      m_ctx->codec_tag = MKTAG(t[0], t[1], t[2], t[3]);
    }
    if (m_opt.quality >= 0) SetQuality(m_opt.quality);
    if (!m_opt.profile.empty() && av_opt_set(m_ctx, "profile", m_opt.profile.c_str(), AV_OPT_SEARCH_CHILDREN) < 0)
      Throw("profile " + m_opt.profile + " is not known to " + m_codec->name);
    if (m_ofmt->flags & AVFMT_GLOBALHEADER) m_ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(m_ctx, m_codec, nullptr), std::string("cannot open the ") + m_codec->name + " encoder");

    AVStream* st = avformat_new_stream(m_fmt, nullptr);
    if (!st) Throw("out of memory");
    Check(avcodec_parameters_from_context(st->codecpar, m_ctx), "cannot set up the output stream");
    st->time_base = m_ctx->time_base;
    st->avg_frame_rate = m_rate;
    st->r_frame_rate = m_rate;
    st->sample_aspect_ratio = m_ctx->sample_aspect_ratio;
    m_stream = st;
    if (!(m_ofmt->flags & AVFMT_NOFILE))
      Check(avio_open(&m_fmt->pb, m_temp.c_str(), AVIO_FLAG_WRITE), "cannot create " + m_temp);
    m_opened = true;
    Check(avformat_write_header(m_fmt, nullptr), "cannot write the file header");
    m_pkt = av_packet_alloc();
  }

  void Write(const AVFrame* picture) override {
    AVFrame* f = av_frame_clone(picture);
    if (!f) Throw("out of memory");
    f->pts = m_pts++;
    f->pict_type = AV_PICTURE_TYPE_NONE;
    int err = avcodec_send_frame(m_ctx, f);
    av_frame_free(&f);
    Check(err, "cannot encode a frame");
    Drain();
  }

  void Close() override {
    Check(avcodec_send_frame(m_ctx, nullptr), "cannot finish the encoding");
    Drain();
    Check(av_write_trailer(m_fmt), "cannot finish the file");
    if (m_fmt->pb) Check(avio_closep(&m_fmt->pb), "cannot write " + m_temp);
    avformat_free_context(m_fmt);
    m_fmt = nullptr;
    if (!MoveReplace(m_temp, m_final)) Throw("cannot rename " + m_temp + " to " + m_final);
    m_opened = false;
  }

  void Discard() override {
    if (m_fmt) {
      if (m_fmt->pb) avio_closep(&m_fmt->pb);
      avformat_free_context(m_fmt);
      m_fmt = nullptr;
    }
    if (m_opened) DeleteFileUtf8(m_temp);
    m_opened = false;
  }

 private:
  void SetQuality(int q) {
    switch (m_codec->id) {
      case AV_CODEC_ID_H264: {
        // 0 asks for the best: the lowest constant-quality value that keeps the usual profiles.
        std::string crf = std::to_string(std::max(q, 1));
        av_opt_set(m_ctx->priv_data, "crf", crf.c_str(), 0);
        break;
      }
      case AV_CODEC_ID_HUFFYUV:
      case AV_CODEC_ID_BMP:
        break;  // lossless
      default: {
        int qscale = std::min(std::max(q, 1), 31);
        m_ctx->flags |= AV_CODEC_FLAG_QSCALE;
        m_ctx->global_quality = FF_QP2LAMBDA * qscale;
        m_ctx->qmin = std::min(m_ctx->qmin, qscale);
        break;
      }
    }
  }

  void Drain() {
    for (;;) {
      int err = avcodec_receive_packet(m_ctx, m_pkt);
      if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
      Check(err, "cannot encode a frame");
      if (m_padPictures && m_pkt->size < kMinPicturePack) {
        // Zero bytes before the next start code are legal stuffing; a picture at
        // least one pack long starts a pack of its own and keeps its time stamp.
        int old = m_pkt->size;
        Check(av_grow_packet(m_pkt, kMinPicturePack - old), "out of memory");
        memset(m_pkt->data + old, 0, (size_t)(kMinPicturePack - old));
      }
      av_packet_rescale_ts(m_pkt, m_ctx->time_base, m_stream->time_base);
      m_pkt->stream_index = m_stream->index;
      Check(av_interleaved_write_frame(m_fmt, m_pkt), "cannot write " + m_temp);
    }
  }

  const SmeltrixOptions& m_opt;
  const AVOutputFormat* m_ofmt;
  std::string m_final;
  std::string m_temp;
  const AVCodec* m_codec = nullptr;
  AVPixelFormat m_pixfmt = AV_PIX_FMT_YUV420P;
  AVRational m_rate{25, 1};
  AVFormatContext* m_fmt = nullptr;
  AVCodecContext* m_ctx = nullptr;
  AVStream* m_stream = nullptr;
  AVPacket* m_pkt = nullptr;
  int64_t m_pts = 0;
  bool m_opened = false;
  bool m_padPictures = false;
  static constexpr int kMinPicturePack = 2400;  // above the largest pack payload (VCD: 2324)
};
}  // namespace smeltrix
