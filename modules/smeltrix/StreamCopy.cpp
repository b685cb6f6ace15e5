#include "modules/smeltrix/StreamCopy.h"

#include <functional>
#include <string>
#include <vector>

#include "modules/smeltrix/CodecRules.h"
#include "modules/smeltrix/FrameSinks.h"
#include "modules/common/ModuleText.h"
#include "modules/smeltrix/ProgressRelay.h"
#include "modules/smeltrix/RunSupport.h"

extern "C" {
#include <libavcodec/bsf.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace smeltrix {

namespace {

struct CopyInput {
  AVFormatContext* fmt = nullptr;
  AVPacket* pkt = nullptr;
  bool pending = false;  // pkt holds the input's next packet
  bool ended = false;
  int64_t startUs = 0;  // the first time to keep, from the input's start
  int64_t endUs = -1;   // the first time past the end, or -1
  int64_t originUs = 0;
  // Formats whose times may start again (joined transport streams): the
  // offset that keeps them rising, and each stream's next expected time.
  int64_t discontUs = 0;
  std::vector<int64_t> nextUs;
};

// A bitstream filter for a stream, when it takes the stream's codec; a filter
// meant for another codec (an AAC one for MP3 audio) leaves the stream alone.
AVBSFContext* MakeFilter(const std::string& name, const AVCodecParameters* par, AVRational timeBase) {
  if (name.empty()) return nullptr;
  const AVBitStreamFilter* f = av_bsf_get_by_name(name.c_str());
  if (!f) Throw("unknown bitstream filter: " + name);
  if (f->codec_ids) {
    bool takes = false;
    for (const AVCodecID* id = f->codec_ids; *id != AV_CODEC_ID_NONE; ++id) takes = takes || *id == par->codec_id;
    if (!takes) return nullptr;
  }
  AVBSFContext* ctx = nullptr;
  Check(av_bsf_alloc(f, &ctx), "cannot set up the bitstream filter " + name);
  if (avcodec_parameters_copy(ctx->par_in, par) < 0) {
    av_bsf_free(&ctx);
    Throw("cannot set up the bitstream filter " + name);
  }
  ctx->time_base_in = timeBase;
  const int err = av_bsf_init(ctx);
  if (err < 0) {
    av_bsf_free(&ctx);
    Check(err, "cannot start the bitstream filter " + name);
  }
  return ctx;
}

// A stream of a muxing run decoded and encoded again with the codec the
// command names for its kind: video scaled to the encoder's pixel format,
// audio resampled to its sample format, rate and channels and cut into the
// encoder's frame size.
class StreamCoder {
 public:
  typedef std::function<void(AVPacket*)> PacketSink;

  StreamCoder(const AVStream* in, const std::string& codecName, const SmeltrixOptions& opt,
              const AVOutputFormat* ofmt) {
    const AVCodecParameters* par = in->codecpar;
    const bool video = par->codec_type == AVMEDIA_TYPE_VIDEO;
    const char* kind = video ? "video" : "audio";
    const AVCodec* enc = avcodec_find_encoder_by_name(codecName.c_str());
    if (!enc || enc->type != par->codec_type) Throw(std::string("unknown ") + kind + " encoder: " + codecName);
    if (avformat_query_codec(ofmt, enc->id, FF_COMPLIANCE_NORMAL) == 0)
      Throw(std::string("the format ") + ofmt->name + " cannot hold " + enc->name + " " + kind);
    const AVCodec* dec = avcodec_find_decoder(par->codec_id);
    if (!dec) Throw(std::string("no decoder for the ") + kind + " " + avcodec_get_name(par->codec_id));
    m_dec = avcodec_alloc_context3(dec);
    m_enc = avcodec_alloc_context3(enc);
    m_frame = av_frame_alloc();
    m_out = av_frame_alloc();
    m_pkt = av_packet_alloc();
    if (!m_dec || !m_enc || !m_frame || !m_out || !m_pkt) throw std::bad_alloc();
    Check(avcodec_parameters_to_context(m_dec, par), std::string("cannot read the ") + kind + " stream");
    m_dec->pkt_timebase = in->time_base;
    Check(avcodec_open2(m_dec, dec, nullptr), std::string("cannot open the ") + dec->name + " decoder");

    if (video) {
      // What the picture pipeline alone carries out is refused, not dropped.
      if (opt.quality >= 0 || !opt.profile.empty() || !opt.videoTag.empty() || opt.aspect.num > 0 ||
          opt.bufferSize > 0 || opt.maxFrames > 0)
        Throw("-q:v, -profile:v, -tag:v, -aspect, -bufsize and -frames:v are not applied while streams are muxed");
      m_enc->pix_fmt = ChoosePixelFormat(enc, opt.pixelFormat);
      int w = opt.width > 0 ? opt.width : par->width, h = opt.height > 0 ? opt.height : par->height;
      const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(m_enc->pix_fmt);
      if (d->log2_chroma_w > 0 || d->log2_chroma_h > 0 || enc->id == AV_CODEC_ID_WMV2) {
        w &= ~1;
        h &= ~1;
      }
      if (w <= 0 || h <= 0) Throw("the video has no usable size");
      m_enc->width = w;
      m_enc->height = h;
      AVRational rate = in->avg_frame_rate.num > 0 && in->avg_frame_rate.den > 0 ? in->avg_frame_rate
                        : in->r_frame_rate.num > 0 && in->r_frame_rate.den > 0   ? in->r_frame_rate
                                                                                 : AVRational{25, 1};
      if (opt.outputRate.num > 0) rate = opt.outputRate;
      rate = CodableRate(enc->id, rate);
      AVRational tb = av_inv_q(rate);
      av_reduce(&tb.num, &tb.den, tb.num, tb.den, INT_MAX);
      m_enc->time_base = tb;
      m_enc->framerate = rate;
      m_enc->sample_aspect_ratio = par->sample_aspect_ratio;
      m_enc->thread_count = opt.threads;
      if (opt.bitRate > 0) m_enc->bit_rate = opt.bitRate;
    } else {
      // The rate and channels asked for must be the encoder's; the
      // source's are taken when it can, else the nearest it has.
      int rate = opt.sampleRate > 0 ? opt.sampleRate : par->sample_rate;
      if (rate <= 0) Throw("the audio has no sample rate");
      if (enc->supported_samplerates) {
        int best = 0;
        for (const int* r = enc->supported_samplerates; *r; ++r)
          if (!best || std::abs(*r - rate) < std::abs(best - rate)) best = *r;
        if (best != rate && opt.sampleRate > 0)
          Throw(std::string("the ") + enc->name + " encoder cannot code " + std::to_string(rate) + " Hz");
        rate = best;
      }
      m_enc->sample_rate = rate;
      m_enc->time_base = AVRational{1, rate};
      int channels = opt.channels > 0 ? opt.channels : std::max(1, par->ch_layout.nb_channels);
      AVChannelLayout layout;
      av_channel_layout_default(&layout, channels);
      if (enc->ch_layouts) {
        // The same count, else the most channels below it, else the first layout.
        const AVChannelLayout* pick = nullptr;
        for (const AVChannelLayout* l = enc->ch_layouts; l->nb_channels && !pick; ++l)
          if (l->nb_channels == channels) pick = l;
        for (const AVChannelLayout* l = enc->ch_layouts; l->nb_channels && !pick; ++l)
          if (l->nb_channels < channels && (!pick || l->nb_channels > pick->nb_channels)) pick = l;
        if (!pick) pick = enc->ch_layouts;
        if (pick->nb_channels != channels && opt.channels > 0)
          Throw(std::string("the ") + enc->name + " encoder cannot code " + std::to_string(channels) + " channels");
        av_channel_layout_uninit(&layout);
        Check(av_channel_layout_copy(&layout, pick), "cannot set up the audio channels");
      }
      Check(av_channel_layout_copy(&m_enc->ch_layout, &layout), "cannot set up the audio channels");
      av_channel_layout_uninit(&layout);
      m_enc->sample_fmt = enc->sample_fmts ? enc->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
      if (opt.audioBitRate > 0) m_enc->bit_rate = opt.audioBitRate;
    }
    if (ofmt->flags & AVFMT_GLOBALHEADER) m_enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(m_enc, enc, nullptr), std::string("cannot open the ") + enc->name + " encoder");
    if (!video) {
      m_fifo = av_audio_fifo_alloc(m_enc->sample_fmt, m_enc->ch_layout.nb_channels, 4096);
      if (!m_fifo) throw std::bad_alloc();
    }
  }
  ~StreamCoder() {
    av_audio_fifo_free(m_fifo);
    swr_free(&m_swr);
    sws_freeContext(m_sws);
    av_packet_free(&m_pkt);
    av_frame_free(&m_out);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_enc);
    avcodec_free_context(&m_dec);
  }
  StreamCoder(const StreamCoder&) = delete;
  StreamCoder& operator=(const StreamCoder&) = delete;

  const AVCodecContext* Encoder() const { return m_enc; }

  // One packet of the input, times in the input stream's time base; what the
  // encoder makes goes to sink, times in the encoder's time base.
  void Send(const AVPacket* pkt, const PacketSink& sink) {
    const int err = avcodec_send_packet(m_dec, pkt);
    if (err < 0 && err != AVERROR_INVALIDDATA) Check(err, "cannot decode the input");
    Receive(sink);
  }

  // The end of the input: what the decoder, the resampler and the encoder hold.
  void Finish(const PacketSink& sink) {
    avcodec_send_packet(m_dec, nullptr);
    Receive(sink);
    if (m_swr) {
      for (;;) {
        const int got = Resample(nullptr, 0);
        if (got <= 0) break;
      }
    }
    if (m_fifo) EncodeAudio(true, sink);
    Encode(nullptr, sink);
  }

 private:
  void Receive(const PacketSink& sink) {
    for (;;) {
      const int err = avcodec_receive_frame(m_dec, m_frame);
      if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
      if (err == AVERROR_INVALIDDATA) continue;
      Check(err, "cannot decode the input");
      if (m_enc->codec_type == AVMEDIA_TYPE_VIDEO)
        EncodePicture(sink);
      else
        TakeSound(sink);
      av_frame_unref(m_frame);
    }
  }

  void EncodePicture(const PacketSink& sink) {
    const int64_t ts = m_frame->best_effort_timestamp;
    int64_t pts = ts == AV_NOPTS_VALUE ? (m_last == AV_NOPTS_VALUE ? 0 : m_last + 1)
                                       : av_rescale_q(ts, m_dec->pkt_timebase, m_enc->time_base);
    // Two pictures in one slot of the coded rate: the later one is kept.
    if (m_last != AV_NOPTS_VALUE && pts <= m_last) pts = m_last + 1;
    m_last = pts;
    m_sws = sws_getCachedContext(m_sws, m_frame->width, m_frame->height, (AVPixelFormat)m_frame->format, m_enc->width,
                                 m_enc->height, m_enc->pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!m_sws)
      Throw("cannot convert a picture of " + std::to_string(m_frame->width) + "x" + std::to_string(m_frame->height));
    av_frame_unref(m_out);
    m_out->format = m_enc->pix_fmt;
    m_out->width = m_enc->width;
    m_out->height = m_enc->height;
    Check(av_frame_get_buffer(m_out, 0), "out of memory");
    sws_scale(m_sws, m_frame->data, m_frame->linesize, 0, m_frame->height, m_out->data, m_out->linesize);
    m_out->pts = pts;
    Encode(m_out, sink);
  }

  void TakeSound(const PacketSink& sink) {
    if (!m_swr) {
      AVChannelLayout source;
      if (m_frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || !av_channel_layout_check(&m_frame->ch_layout))
        av_channel_layout_default(&source, std::max(1, m_frame->ch_layout.nb_channels));
      else
        Check(av_channel_layout_copy(&source, &m_frame->ch_layout), "cannot set up the audio channels");
      const int err = swr_alloc_set_opts2(&m_swr, &m_enc->ch_layout, m_enc->sample_fmt, m_enc->sample_rate, &source,
                                          (AVSampleFormat)m_frame->format, m_frame->sample_rate, 0, nullptr);
      av_channel_layout_uninit(&source);
      Check(err, "cannot set up the audio conversion");
      Check(swr_init(m_swr), "cannot set up the audio conversion");
      // Sound starts where its first frame does.
      const int64_t ts = m_frame->best_effort_timestamp;
      m_next = ts == AV_NOPTS_VALUE ? 0 : av_rescale_q(ts, m_dec->pkt_timebase, m_enc->time_base);
    }
    Resample((const uint8_t**)m_frame->extended_data, m_frame->nb_samples);
    EncodeAudio(false, sink);
  }

  // Converts samples (none flushes the resampler) into the queue; the count made.
  int Resample(const uint8_t** in, int count) {
    const int room = swr_get_out_samples(m_swr, count);
    if (room <= 0) return 0;
    uint8_t** planes = nullptr;
    const int channels = m_enc->ch_layout.nb_channels;
    Check(av_samples_alloc_array_and_samples(&planes, nullptr, channels, room, m_enc->sample_fmt, 0), "out of memory");
    struct Freer {
      uint8_t*** p;
      ~Freer() {
        av_freep(&(*p)[0]);
        av_freep(p);
      }
    } freer{&planes};
    const int got = swr_convert(m_swr, planes, room, in, count);
    Check(got, "cannot convert the audio");
    if (got > 0 && av_audio_fifo_write(m_fifo, (void**)planes, got) < got) throw std::bad_alloc();
    return got;
  }

  // Whole encoder frames from the queue; at the end also the rest, padded
  // with silence when the encoder takes whole frames only.
  void EncodeAudio(bool last, const PacketSink& sink) {
    const bool anySize = m_enc->frame_size <= 0 || (m_enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    const int size = anySize ? 1024 : m_enc->frame_size;
    for (;;) {
      const int have = av_audio_fifo_size(m_fifo);
      if (have <= 0 || (have < size && !last)) return;
      const int take = std::min(have, size);
      const bool pad = take < size && !anySize && !(m_enc->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
      av_frame_unref(m_out);
      m_out->format = m_enc->sample_fmt;
      m_out->sample_rate = m_enc->sample_rate;
      m_out->nb_samples = pad ? size : take;
      Check(av_channel_layout_copy(&m_out->ch_layout, &m_enc->ch_layout), "cannot set up the audio channels");
      Check(av_frame_get_buffer(m_out, 0), "out of memory");
      if (av_audio_fifo_read(m_fifo, (void**)m_out->data, take) < take) Throw("cannot convert the audio");
      if (pad) av_samples_set_silence(m_out->data, take, size - take, m_enc->ch_layout.nb_channels, m_enc->sample_fmt);
      m_out->pts = m_next;
      m_next += m_out->nb_samples;
      Encode(m_out, sink);
    }
  }

  void Encode(const AVFrame* frame, const PacketSink& sink) {
    Check(avcodec_send_frame(m_enc, frame), std::string("cannot encode with ") + m_enc->codec->name);
    for (;;) {
      const int err = avcodec_receive_packet(m_enc, m_pkt);
      if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
      Check(err, std::string("cannot encode with ") + m_enc->codec->name);
      sink(m_pkt);
      av_packet_unref(m_pkt);
    }
  }

  AVCodecContext* m_dec = nullptr;
  AVCodecContext* m_enc = nullptr;
  AVFrame* m_frame = nullptr;
  AVFrame* m_out = nullptr;
  AVPacket* m_pkt = nullptr;
  SwsContext* m_sws = nullptr;
  SwrContext* m_swr = nullptr;
  AVAudioFifo* m_fifo = nullptr;
  int64_t m_last = AV_NOPTS_VALUE;  // the last picture's time
  int64_t m_next = 0;               // the next sample's time
};

struct CopyStream {
  int input = 0, stream = 0;
  AVStream* out = nullptr;
  AVBSFContext* bsf = nullptr;
  StreamCoder* coder = nullptr;  // null when the stream is copied
  int64_t lastDts = AV_NOPTS_VALUE;
};

// Opens the inputs and positions each at the start of its stretch.
void OpenInputs(const SmeltrixOptions& opt, const std::vector<SmeltrixInput>& wanted, std::vector<CopyInput>& inputs) {
  for (size_t k = 0; k < wanted.size(); ++k) {
    const SmeltrixInput& source = wanted[k];
    const AVInputFormat* ifmt = nullptr;
    if (!source.format.empty() && !(ifmt = av_find_input_format(source.format.c_str())))
      Throw("unknown input format: " + source.format);
    AVDictionary* options = nullptr;
    if (ifmt && strcmp(ifmt->name, "concat") == 0) av_dict_set_int(&options, "safe", opt.safe, 0);
    const int err = avformat_open_input(&inputs[k].fmt, source.path.c_str(), ifmt, &options);
    av_dict_free(&options);
    Check(err, "cannot open " + source.path);
    Check(avformat_find_stream_info(inputs[k].fmt, nullptr), "cannot read the streams of " + source.path);
    inputs[k].pkt = av_packet_alloc();
    if (!inputs[k].pkt) throw std::bad_alloc();
    inputs[k].originUs = inputs[k].fmt->start_time != AV_NOPTS_VALUE ? inputs[k].fmt->start_time : 0;
    inputs[k].startUs = source.seekUs;
    inputs[k].endUs = source.durationUs >= 0 ? source.seekUs + source.durationUs : -1;
    if (opt.outputDurationUs >= 0 && k == 0) {
      const int64_t e = source.seekUs + opt.outputSeekUs + opt.outputDurationUs;
      inputs[k].endUs = inputs[k].endUs < 0 ? e : std::min(inputs[k].endUs, e);
    }
    if (source.seekUs > 0)
      avformat_seek_file(inputs[k].fmt, -1, INT64_MIN, inputs[k].originUs + source.seekUs,
                         inputs[k].originUs + source.seekUs, 0);
  }
}

// The streams taken: as mapped, or the best video and the best audio of the inputs.
std::vector<std::pair<int, int>> ChooseStreams(const SmeltrixOptions& opt, const std::vector<CopyInput>& inputs) {
  std::vector<std::pair<int, int>> chosen = opt.maps;
  if (chosen.empty()) {
    for (AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
      if ((type == AVMEDIA_TYPE_VIDEO && opt.noVideo) || (type == AVMEDIA_TYPE_AUDIO && opt.noAudio)) continue;
      for (size_t k = 0; k < inputs.size(); ++k) {
        const int best = av_find_best_stream(inputs[k].fmt, type, -1, -1, nullptr, 0);
        if (best >= 0) {
          chosen.emplace_back((int)k, best);
          break;
        }
      }
    }
  }
  if (chosen.empty()) Throw("no stream to copy from " + opt.input);
  return chosen;
}

// The output stream of an input stream: copied, or encoded again when the
// command names a codec for its kind, and passed through its bitstream filter.
CopyStream MakeOutputStream(AVStream* in, int input, int stream, const SmeltrixOptions& opt, const AVOutputFormat* ofmt,
                            AVFormatContext* out, std::vector<std::unique_ptr<StreamCoder>>& coders) {
  const AVMediaType type = in->codecpar->codec_type;
  CopyStream cs;
  cs.input = input;
  cs.stream = stream;
  const std::string& codec = type == AVMEDIA_TYPE_VIDEO ? opt.videoCodec : opt.audioCodec;
  const AVCodecParameters* source = in->codecpar;
  AVRational sourceBase = in->time_base;
  std::unique_ptr<AVCodecParameters, void (*)(AVCodecParameters*)> coded(
      nullptr, [](AVCodecParameters* p) { avcodec_parameters_free(&p); });
  if (!codec.empty() && codec != "copy") {
    coders.emplace_back(new StreamCoder(in, codec, opt, ofmt));
    cs.coder = coders.back().get();
    coded.reset(avcodec_parameters_alloc());
    if (!coded) throw std::bad_alloc();
    Check(avcodec_parameters_from_context(coded.get(), cs.coder->Encoder()), "cannot set up the output stream");
    source = coded.get();
    sourceBase = cs.coder->Encoder()->time_base;
  }
  cs.bsf =
      MakeFilter(type == AVMEDIA_TYPE_VIDEO ? opt.videoBitstreamFilter : opt.audioBitstreamFilter, source, sourceBase);
  const AVCodecParameters* par = cs.bsf ? cs.bsf->par_out : source;
  if (avformat_query_codec(ofmt, par->codec_id, FF_COMPLIANCE_NORMAL) == 0)
    Throw(std::string("the format ") + ofmt->name + " cannot hold " + avcodec_get_name(par->codec_id));
  cs.out = avformat_new_stream(out, nullptr);
  if (!cs.out) throw std::bad_alloc();
  Check(avcodec_parameters_copy(cs.out->codecpar, par), "cannot copy the stream's description");
  if (!cs.coder) cs.out->codecpar->codec_tag = 0;  // the output container's own tag
  cs.out->time_base = cs.bsf ? cs.bsf->time_base_out : sourceBase;
  if (cs.coder && type == AVMEDIA_TYPE_VIDEO) {
    cs.out->avg_frame_rate = cs.coder->Encoder()->framerate;
    cs.out->sample_aspect_ratio = cs.coder->Encoder()->sample_aspect_ratio;
  }
  return cs;
}

// Times start from the stretch taken; where a joined stream starts its times
// again they go on from the latest one instead. t: the packet's time.
void ShiftToStretch(CopyInput& in, int64_t t) {
  const AVStream* st = in.fmt->streams[in.pkt->stream_index];
  if ((in.fmt->iformat->flags & AVFMT_TS_DISCONT) && t != INT64_MIN) {
    if (in.nextUs.size() < in.fmt->nb_streams) in.nextUs.resize(in.fmt->nb_streams, INT64_MIN);
    int64_t& expected = in.nextUs[(size_t)in.pkt->stream_index];
    int64_t now = t + in.discontUs;
    if (expected != INT64_MIN && (now < expected - AV_TIME_BASE / 10 || now > expected + 10 * AV_TIME_BASE)) {
      in.discontUs += expected - now;
      now = expected;
    }
    const int64_t length =
        in.pkt->duration > 0 ? av_rescale_q(in.pkt->duration, st->time_base, AVRational{1, AV_TIME_BASE}) : 0;
    expected = now + length;
  }
  const int64_t shift =
      av_rescale_q(in.originUs + in.startUs - in.discontUs, AVRational{1, AV_TIME_BASE}, st->time_base);
  if (in.pkt->pts != AV_NOPTS_VALUE) in.pkt->pts -= shift;
  if (in.pkt->dts != AV_NOPTS_VALUE) in.pkt->dts -= shift;
}

// One copy run: the inputs, the output with its streams, and the packets
// between them. Whatever it opened is closed when it goes; an output file it
// did not finish is deleted.
class CopyRun {
 public:
  explicit CopyRun(const SmeltrixOptions& opt) : m_opt(opt), m_temp(TempName(opt.output)) {}
  ~CopyRun();
  CopyRun(const CopyRun&) = delete;
  CopyRun& operator=(const CopyRun&) = delete;

  // The main input and the extra ones, at their stretches.
  void OpenInputs();
  // The output context into a temporary file beside the output, one stream
  // for each chosen input stream, and the header.
  void OpenOutput();
  // The packets in the order of their times, then what the encoders and the
  // filters still hold; the trailer; the temporary file renamed.
  void Copy();

 private:
  // Each chosen input stream at most once; the others are not read.
  void RouteStreams();
  // The input whose next packet comes first; -1 when every input has ended.
  int NextInput();
  void ReadAhead(CopyInput& in);
  // A packet's time in the input (decoding time, or the time it is shown).
  int64_t TimeUs(const CopyInput& in, bool shown = false) const;
  // The picked input's packet to its output stream; false when it lies
  // outside the stretch or its stream is not taken.
  bool CopyPacket(int pick, int64_t& positionMs);
  // Through the stream's filter, when it has one.
  void Send(CopyStream& cs, AVPacket* pkt, AVRational tb);
  void Write(CopyStream& cs, AVPacket* pkt, AVRational tb);
  void Drain();
  // The main input's duration, or its stretch's when shorter (ms).
  int64_t TotalMs() const;

  const SmeltrixOptions& m_opt;
  const std::string m_temp;
  std::vector<CopyInput> m_inputs;
  const AVOutputFormat* m_ofmt = nullptr;
  AVFormatContext* m_out = nullptr;
  std::vector<CopyStream> m_streams;
  std::vector<std::unique_ptr<StreamCoder>> m_coders;
  std::vector<std::vector<int>> m_route;  // input, stream -> output stream, -1 = not taken
  bool m_opened = false;
  bool m_done = false;
  int m_frames = 0;
};

CopyRun::~CopyRun() {
  for (CopyStream& s : m_streams) av_bsf_free(&s.bsf);
  if (m_out) {
    if (m_out->pb) avio_closep(&m_out->pb);
    avformat_free_context(m_out);
  }
  if (m_opened && !m_done) DeleteFileUtf8(m_temp);
  m_coders.clear();
  for (CopyInput& i : m_inputs) {
    av_packet_free(&i.pkt);
    avformat_close_input(&i.fmt);
  }
}

void CopyRun::OpenInputs() {
  std::vector<SmeltrixInput> wanted;
  wanted.push_back(SmeltrixInput{m_opt.input, m_opt.inputFormat, m_opt.inputSeekUs, m_opt.inputDurationUs});
  wanted.insert(wanted.end(), m_opt.moreInputs.begin(), m_opt.moreInputs.end());
  m_inputs.resize(wanted.size());
  smeltrix::OpenInputs(m_opt, wanted, m_inputs);
}

void CopyRun::OpenOutput() {
  m_ofmt = OutputFormatFor(m_opt);
  Check(avformat_alloc_output_context2(&m_out, m_ofmt, nullptr, m_temp.c_str()), "cannot set up " + m_opt.output);
  RouteStreams();
  if (!(m_ofmt->flags & AVFMT_NOFILE)) {
    Check(avio_open(&m_out->pb, m_temp.c_str(), AVIO_FLAG_WRITE), "cannot create " + m_temp);
    m_opened = true;
  }
  Check(avformat_write_header(m_out, nullptr), "cannot start " + m_opt.output);
}

void CopyRun::RouteStreams() {
  // The streams: as mapped, or the best video and the best audio of the inputs.
  const std::vector<std::pair<int, int>> chosen = ChooseStreams(m_opt, m_inputs);
  m_route.resize(m_inputs.size());
  for (size_t k = 0; k < m_inputs.size(); ++k) m_route[k].assign(m_inputs[k].fmt->nb_streams, -1);
  for (const auto& m : chosen) {
    if (m.first < 0 || m.first >= (int)m_inputs.size() || m.second < 0 ||
        m.second >= (int)m_inputs[m.first].fmt->nb_streams)
      Throw("no stream " + std::to_string(m.first) + ":" + std::to_string(m.second));
    AVStream* in = m_inputs[m.first].fmt->streams[m.second];
    const AVMediaType type = in->codecpar->codec_type;
    if ((type == AVMEDIA_TYPE_VIDEO && m_opt.noVideo) || (type == AVMEDIA_TYPE_AUDIO && m_opt.noAudio) ||
        m_route[m.first][m.second] >= 0)
      continue;
    if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO)
      Throw("stream " + std::to_string(m.first) + ":" + std::to_string(m.second) + " is neither video nor audio");
    CopyStream cs = MakeOutputStream(in, m.first, m.second, m_opt, m_ofmt, m_out, m_coders);
    m_route[m.first][m.second] = (int)m_streams.size();
    m_streams.push_back(cs);
  }
  if (m_streams.empty()) Throw("no stream to copy from " + m_opt.input);
  for (size_t k = 0; k < m_inputs.size(); ++k)
    for (unsigned i = 0; i < m_inputs[k].fmt->nb_streams; ++i)
      if (m_route[k][i] < 0) m_inputs[k].fmt->streams[i]->discard = AVDISCARD_ALL;
}

int64_t CopyRun::TotalMs() const {
  const CopyInput& main = m_inputs[0];
  const int64_t durationUs = main.fmt->duration > 0 ? main.fmt->duration : 0;
  int64_t totalMs = durationUs / 1000;
  if (main.endUs >= 0) totalMs = std::min(totalMs ? totalMs : INT64_MAX, (main.endUs - main.startUs) / 1000);
  return totalMs;
}

void CopyRun::Write(CopyStream& cs, AVPacket* pkt, AVRational tb) {
  av_packet_rescale_ts(pkt, tb, cs.out->time_base);
  pkt->stream_index = cs.out->index;
  pkt->pos = -1;
  // Muxers take only rising decoding times within a stream.
  if (pkt->dts != AV_NOPTS_VALUE && cs.lastDts != AV_NOPTS_VALUE && pkt->dts <= cs.lastDts) {
    const int64_t fixed = cs.lastDts + 1;
    if (pkt->pts != AV_NOPTS_VALUE && pkt->pts < fixed) pkt->pts = fixed;
    pkt->dts = fixed;
  }
  if (pkt->dts != AV_NOPTS_VALUE) cs.lastDts = pkt->dts;
  if (cs.out->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) ++m_frames;
  Check(av_interleaved_write_frame(m_out, pkt), "cannot write " + m_opt.output);
}

void CopyRun::Send(CopyStream& cs, AVPacket* pkt, AVRational tb) {
  if (!cs.bsf) {
    Write(cs, pkt, tb);
    return;
  }
  Check(av_bsf_send_packet(cs.bsf, pkt), "the bitstream filter failed");
  for (;;) {
    const int err = av_bsf_receive_packet(cs.bsf, pkt);
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) break;
    Check(err, "the bitstream filter failed");
    Write(cs, pkt, cs.bsf->time_base_out);
  }
}

void CopyRun::ReadAhead(CopyInput& in) {
  while (!in.pending && !in.ended) {
    const int err = av_read_frame(in.fmt, in.pkt);
    if (err == AVERROR_EOF || err == AVERROR(EIO)) {
      in.ended = true;
      break;
    }
    Check(err, "cannot read the input");
    in.pending = true;
  }
}

int64_t CopyRun::TimeUs(const CopyInput& in, bool shown) const {
  const AVStream* st = in.fmt->streams[in.pkt->stream_index];
  const int64_t first = shown ? in.pkt->pts : in.pkt->dts, second = shown ? in.pkt->dts : in.pkt->pts;
  const int64_t t = first != AV_NOPTS_VALUE ? first : second;
  return t == AV_NOPTS_VALUE ? INT64_MIN : av_rescale_q(t, st->time_base, AVRational{1, AV_TIME_BASE}) - in.originUs;
}

int CopyRun::NextInput() {
  int pick = -1;
  int64_t best = INT64_MAX;
  for (size_t k = 0; k < m_inputs.size(); ++k) {
    ReadAhead(m_inputs[k]);
    if (m_inputs[k].pending && TimeUs(m_inputs[k]) < best)
      best = TimeUs(m_inputs[k]), pick = (int)k;
    else if (m_inputs[k].pending && pick < 0)
      pick = (int)k;
  }
  return pick;
}

bool CopyRun::CopyPacket(int pick, int64_t& positionMs) {
  CopyInput& in = m_inputs[pick];
  in.pending = false;
  const int route = m_route[pick][in.pkt->stream_index];
  const int64_t t = TimeUs(in);
  // The stretch taken is judged by the time a packet is shown: with
  // reordered pictures the first ones are decoded before the start.
  const int64_t shown = TimeUs(in, true);
  const bool late = in.endUs >= 0 && shown != INT64_MIN && shown >= in.endUs;
  if (route < 0 || (in.startUs > 0 && shown != INT64_MIN && shown < in.startUs) || late) {
    if (late && (t == INT64_MIN || t >= in.endUs)) in.ended = true;
    av_packet_unref(in.pkt);
    return false;
  }
  const AVStream* st = in.fmt->streams[in.pkt->stream_index];
  ShiftToStretch(in, t);
  if (pick == 0 && t != INT64_MIN) positionMs = std::max(positionMs, (t - in.startUs) / 1000);
  CopyStream& cs = m_streams[(size_t)route];
  if (cs.coder)
    cs.coder->Send(in.pkt, [&](AVPacket* p) { Send(cs, p, cs.coder->Encoder()->time_base); });
  else
    Send(cs, in.pkt, st->time_base);
  av_packet_unref(in.pkt);
  return true;
}

void CopyRun::Drain() {
  for (CopyStream& cs : m_streams)
    if (cs.coder) cs.coder->Finish([&](AVPacket* p) { Send(cs, p, cs.coder->Encoder()->time_base); });
  for (CopyStream& cs : m_streams)
    if (cs.bsf) {
      AVPacket* pkt = av_packet_alloc();
      if (!pkt) throw std::bad_alloc();
      av_bsf_send_packet(cs.bsf, nullptr);
      while (av_bsf_receive_packet(cs.bsf, pkt) == 0) Write(cs, pkt, cs.bsf->time_base_out);
      av_packet_free(&pkt);
    }
}

void CopyRun::Copy() {
  ProgressRelay progress(m_opt.callbackWindow, m_opt.callbackContext);
  const int64_t totalMs = TotalMs();
  progress.Start(totalMs);
  int64_t positionMs = 0;
  for (int pick = NextInput(); pick >= 0; pick = NextInput()) {
    if (!CopyPacket(pick, positionMs)) continue;
    if (progress.Progress(positionMs, m_frames, false)) {
      progress.Finish(positionMs, m_frames);
      Throw("stopped by the caller", 2);
    }
  }
  Drain();
  Check(av_write_trailer(m_out), "cannot finish " + m_opt.output);
  if (m_out->pb) Check(avio_closep(&m_out->pb), "cannot write " + m_temp);
  if (!MoveReplace(m_temp, m_opt.output)) Throw("cannot rename " + m_temp + " to " + m_opt.output);
  m_done = true;
  progress.Progress(totalMs, m_frames, true);
  progress.Finish(totalMs, m_frames);
}

}  // namespace

int RunCopy(const SmeltrixOptions& opt) {
  CheckCanWrite(opt.output, opt.overwrite);
  CopyRun run(opt);
  run.OpenInputs();
  run.OpenOutput();
  run.Copy();
  return 0;
}

}  // namespace smeltrix
