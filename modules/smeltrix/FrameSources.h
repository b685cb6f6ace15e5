// Frame sources: a numbered picture series or a video file.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "modules/common/ModuleText.h"
#include "modules/smeltrix/RunSupport.h"
#include "modules/smeltrix/SmeltrixOptions.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace smeltrix {

struct FramePtr {
  AVFrame* f = nullptr;
  FramePtr() : f(av_frame_alloc()) {}
  ~FramePtr() { av_frame_free(&f); }
  FramePtr(const FramePtr&) = delete;
  FramePtr& operator=(const FramePtr&) = delete;
};

class FrameSource {
 public:
  virtual ~FrameSource() = default;
  // 1 with a frame and its time from the start of the input, 0 at the end.
  virtual int Next(AVFrame* frame, Time* time, Time* duration) = 0;
  virtual AVRational Rate() const = 0;
  // The input's length when known (else a negative value).
  virtual Time Length() const = 0;
  virtual bool CountsFrames() const = 0;
  virtual int64_t FrameCount() const { return 0; }
};

// Decodes one picture file with the BMP decoder, or through the demuxers for other
// types. File buffers come from a pool, so a long series reuses the same memory.
class PictureDecoder {
 public:
  ~PictureDecoder() {
    avcodec_free_context(&m_bmp);
    av_packet_free(&m_pkt);
    av_buffer_pool_uninit(&m_pool);
  }

  void Decode(const std::string& path, AVFrame* frame) {
    ReadFile(path);
    if (m_pkt->size >= 2 && m_pkt->data[0] == 'B' && m_pkt->data[1] == 'M')
      DecodeBmp(path, frame);
    else
      DecodeOther(path, frame);
    av_packet_unref(m_pkt);
  }

 private:
  void ReadFile(const std::string& path) {
    HANDLE h = CreateFileW(modtext::Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) Throw("cannot open " + path);
    struct Closer {
      HANDLE h;
      ~Closer() { CloseHandle(h); }
    } closer{h};
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size) || size.QuadPart > (1LL << 30)) Throw("cannot read " + path);
    size_t need = (size_t)size.QuadPart + AV_INPUT_BUFFER_PADDING_SIZE;
    if (!m_pool || need > m_poolSize) {
      av_buffer_pool_uninit(&m_pool);
      m_poolSize = need;
      m_pool = av_buffer_pool_init(m_poolSize, nullptr);
    }
    if (!m_pkt) m_pkt = av_packet_alloc();
    m_pkt->buf = m_pool ? av_buffer_pool_get(m_pool) : nullptr;
    if (!m_pkt->buf) Throw("out of memory");
    m_pkt->data = m_pkt->buf->data;
    m_pkt->size = (int)size.QuadPart;
    memset(m_pkt->data + m_pkt->size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    DWORD done = 0;
    if (!::ReadFile(h, m_pkt->data, (DWORD)size.QuadPart, &done, nullptr) || done != (DWORD)size.QuadPart)
      Throw("cannot read " + path);
  }

  void DecodeBmp(const std::string& path, AVFrame* frame) {
    if (!m_bmp) {
      const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_BMP);
      if (!codec) Throw("no BMP decoder");
      m_bmp = avcodec_alloc_context3(codec);
      Check(avcodec_open2(m_bmp, codec, nullptr), "cannot open the BMP decoder");
    }
    int err = avcodec_send_packet(m_bmp, m_pkt);
    if (err >= 0) err = avcodec_receive_frame(m_bmp, frame);
    if (err < 0) Throw("cannot decode " + path + ": " + AvErrorText(err));
  }

  static void DecodeOther(const std::string& path, AVFrame* frame) {
    AVFormatContext* fmt = nullptr;
    Check(avformat_open_input(&fmt, path.c_str(), nullptr, nullptr), "cannot read " + path);
    std::unique_ptr<AVFormatContext*, void (*)(AVFormatContext**)> fmtGuard(&fmt, avformat_close_input);
    Check(avformat_find_stream_info(fmt, nullptr), "cannot read " + path);
    const AVCodec* codec = nullptr;
    int idx = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    Check(idx, "no picture in " + path);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    std::unique_ptr<AVCodecContext*, void (*)(AVCodecContext**)> ctxGuard(&ctx, avcodec_free_context);
    Check(avcodec_parameters_to_context(ctx, fmt->streams[idx]->codecpar), "cannot read " + path);
    Check(avcodec_open2(ctx, codec, nullptr), "cannot decode " + path);
    AVPacket* pkt = av_packet_alloc();
    int err = AVERROR_EOF;
    while (av_read_frame(fmt, pkt) >= 0) {
      if (pkt->stream_index == idx && avcodec_send_packet(ctx, pkt) >= 0) {
        err = avcodec_receive_frame(ctx, frame);
        if (err >= 0) {
          av_packet_unref(pkt);
          break;
        }
      }
      av_packet_unref(pkt);
    }
    if (err < 0) {
      avcodec_send_packet(ctx, nullptr);
      err = avcodec_receive_frame(ctx, frame);
    }
    av_packet_free(&pkt);
    Check(err, "cannot decode " + path);
  }

  AVCodecContext* m_bmp = nullptr;
  AVPacket* m_pkt = nullptr;
  AVBufferPool* m_pool = nullptr;
  size_t m_poolSize = 0;
};

class SequenceSource : public FrameSource {
 public:
  SequenceSource(const std::string& pattern, AVRational rate) : m_pattern(pattern), m_rate(rate) {
    while (FileExists(Name(m_count))) ++m_count;
    if (m_count == 0) Throw("no input pictures: " + Name(0) + " does not exist");
  }
  int Next(AVFrame* frame, Time* time, Time* duration) override {
    if (m_next >= m_count) return 0;
    m_decoder.Decode(Name(m_next), frame);
    *time = Time{m_next * (int64_t)m_rate.den, m_rate.num};
    *duration = Time{m_rate.den, m_rate.num};
    ++m_next;
    return 1;
  }
  AVRational Rate() const override { return m_rate; }
  Time Length() const override { return Time{m_count * (int64_t)m_rate.den, m_rate.num}; }
  bool CountsFrames() const override { return true; }
  int64_t FrameCount() const override { return m_count; }

  static bool IsPattern(const std::string& path) {
    char buf[4096];
    return av_get_frame_filename2(buf, sizeof buf, path.c_str(), 0, 0) == 0;
  }

 private:
  std::string Name(int64_t n) const {
    char buf[4096];
    if (av_get_frame_filename2(buf, sizeof buf, m_pattern.c_str(), (int)n, 0) < 0)
      Throw("invalid numbered file pattern: " + m_pattern);
    return buf;
  }

  std::string m_pattern;
  AVRational m_rate;
  int64_t m_count = 0;
  int64_t m_next = 0;
  PictureDecoder m_decoder;
};

class VideoSource : public FrameSource {
 public:
  VideoSource(const std::string& path, const std::string& format, int64_t seekUs, int threads) {
    const AVInputFormat* ifmt = nullptr;
    if (!format.empty() && !(ifmt = av_find_input_format(format.c_str()))) Throw("unknown input format: " + format);
    Check(avformat_open_input(&m_fmt, path.c_str(), ifmt, nullptr), "cannot open " + path);
    Check(avformat_find_stream_info(m_fmt, nullptr), "cannot read the streams of " + path);
    const AVCodec* codec = nullptr;
    m_stream = av_find_best_stream(m_fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (m_stream < 0)
      Throw(m_stream == AVERROR_DECODER_NOT_FOUND ? "no decoder for the video of " + path
                                                  : "no video stream in " + path);
    AVStream* st = m_fmt->streams[m_stream];
    m_ctx = avcodec_alloc_context3(codec);
    Check(avcodec_parameters_to_context(m_ctx, st->codecpar), "cannot read the video of " + path);
    m_ctx->thread_count = threads;
    m_ctx->pkt_timebase = st->time_base;
    Check(avcodec_open2(m_ctx, codec, nullptr), "cannot open the video decoder");
    m_pkt = av_packet_alloc();
    for (unsigned i = 0; i < m_fmt->nb_streams; ++i)
      if ((int)i != m_stream) m_fmt->streams[i]->discard = AVDISCARD_ALL;
    m_tb = st->time_base;
    m_rate = st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0 ? st->avg_frame_rate : st->r_frame_rate;
    if (m_rate.num <= 0 || m_rate.den <= 0) m_rate = AVRational{25, 1};
    m_origin = m_fmt->start_time != AV_NOPTS_VALUE ? m_fmt->start_time : 0;
    if (seekUs > 0) SeekBefore(seekUs);
  }
  ~VideoSource() override {
    av_packet_free(&m_pkt);
    avcodec_free_context(&m_ctx);
    avformat_close_input(&m_fmt);
  }
  int Next(AVFrame* frame, Time* time, Time* duration) override {
    if (m_havePending) {
      m_havePending = false;
      av_frame_move_ref(frame, m_pending.f);
      *time = m_pendingTime;
      *duration = m_pendingDuration;
      return 1;
    }
    return Decode(frame, time, duration);
  }
  AVRational Rate() const override { return m_rate; }
  Time Length() const override {
    if (m_fmt->duration == AV_NOPTS_VALUE || m_fmt->duration <= 0) return Time{-1, 1};
    return FromUs(m_fmt->duration);
  }
  bool CountsFrames() const override { return false; }

 private:
  // Positions the input so that the first decoded frame starts at or before the
  // start time. Files without an index may land past the key frame that the start
  // needs; then the seek goes further back, and at worst to the beginning.
  void SeekBefore(int64_t seekUs) {
    int64_t margin = 0;
    for (;;) {
      int64_t target = std::max(m_origin, m_origin + seekUs - margin);
      avcodec_flush_buffers(m_ctx);
      m_flushed = false;
      m_lastTs = AV_NOPTS_VALUE;
      if (avformat_seek_file(m_fmt, -1, INT64_MIN, target, target, 0) < 0) {
        if (target == m_origin || avformat_seek_file(m_fmt, -1, INT64_MIN, m_origin, m_origin, 0) < 0)
          return;  // not seekable: read from where the input stands
        target = m_origin;
      }
      av_frame_unref(m_pending.f);
      m_havePending = Decode(m_pending.f, &m_pendingTime, &m_pendingDuration) > 0;
      if (!m_havePending || target == m_origin || !Less(FromUs(seekUs), m_pendingTime)) return;
      margin = margin ? margin * 2 : AV_TIME_BASE;
    }
  }

  int Decode(AVFrame* frame, Time* time, Time* duration) {
    for (;;) {
      int err = avcodec_receive_frame(m_ctx, frame);
      if (err >= 0) {
        int64_t ts = frame->best_effort_timestamp;
        if (ts == AV_NOPTS_VALUE) ts = m_lastTs == AV_NOPTS_VALUE ? 0 : m_lastTs + 1;
        m_lastTs = ts;
        // Seconds from the start of the file.
        int64_t origin = av_rescale_q(m_origin, AVRational{1, AV_TIME_BASE}, m_tb);
        *time = Time{(ts - origin) * (int64_t)m_tb.num, m_tb.den};
        int64_t d = frame->pkt_duration;
        if (d > 0)
          *duration = Time{d * (int64_t)m_tb.num, m_tb.den};
        else
          *duration = Time{m_rate.den, m_rate.num};
        return 1;
      }
      if (err == AVERROR_EOF) return 0;
      if (err != AVERROR(EAGAIN)) Throw("cannot decode the video: " + AvErrorText(err));
      if (m_flushed) return 0;
      err = av_read_frame(m_fmt, m_pkt);
      if (err < 0) {
        if (err != AVERROR_EOF && !(m_fmt->pb && avio_feof(m_fmt->pb)))
          Throw("cannot read the video: " + AvErrorText(err));
        avcodec_send_packet(m_ctx, nullptr);
        m_flushed = true;
        continue;
      }
      if (m_pkt->stream_index == m_stream) {
        err = avcodec_send_packet(m_ctx, m_pkt);
        if (err < 0 && err != AVERROR_INVALIDDATA) Throw("cannot decode the video: " + AvErrorText(err));
      }
      av_packet_unref(m_pkt);
    }
  }

  AVFormatContext* m_fmt = nullptr;
  AVCodecContext* m_ctx = nullptr;
  AVPacket* m_pkt = nullptr;
  int m_stream = -1;
  AVRational m_tb{1, 1};
  AVRational m_rate{25, 1};
  int64_t m_origin = 0;
  int64_t m_lastTs = AV_NOPTS_VALUE;
  bool m_flushed = false;
  FramePtr m_pending;
  bool m_havePending = false;
  Time m_pendingTime, m_pendingDuration;
};

}  // namespace smeltrix
