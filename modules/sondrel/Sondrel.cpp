// Sondrel: prints what a media file holds (container and streams) as one JSON object.
#include "modules/common/ModuleText.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
}

namespace {

struct ProbeOptions {
  std::string input;
  bool showFormat = false;
  bool showStreams = false;
  bool formatTags = false;
  bool streamTags = false;
  bool countFrames = false;
  int logLevel = AV_LOG_QUIET;
};

// Collects one JSON object's members with the layout of a readable report.
class JsonObject {
 public:
  explicit JsonObject(int depth) : m_depth(depth) {}
  void Raw(const char* key, const std::string& value) { m_items.push_back(modtext::JsonQuote(key) + ": " + value); }
  void Str(const char* key, const std::string& value) { Raw(key, modtext::JsonQuote(value)); }
  void Int(const char* key, int64_t value) { Raw(key, std::to_string(value)); }
  std::string Text() const {
    if (m_items.empty()) return "{\n" + Indent(m_depth) + "}";
    std::string s = "{\n";
    for (size_t i = 0; i < m_items.size(); ++i) {
      s += Indent(m_depth + 1) + m_items[i];
      s += (i + 1 < m_items.size()) ? ",\n" : "\n";
    }
    return s + Indent(m_depth) + "}";
  }
  static std::string Indent(int depth) { return std::string((size_t)depth * 4, ' '); }

 private:
  int m_depth;
  std::vector<std::string> m_items;
};

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
  char buf[256];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

// Times are written in seconds with six decimals; unknown times are left out.
void PutTime(JsonObject& o, const char* key, int64_t ts, AVRational tb) {
  if (ts == AV_NOPTS_VALUE) return;
  o.Str(key, Format("%f", ts * av_q2d(tb)));
}

void PutTs(JsonObject& o, const char* key, int64_t ts) {
  if (ts != AV_NOPTS_VALUE) o.Int(key, ts);
}

void PutRational(JsonObject& o, const char* key, AVRational q, char sep) {
  o.Str(key, Format("%d%c%d", q.num, sep, q.den));
}

std::string TagsText(const AVDictionary* dict, int depth) {
  JsonObject tags(depth);
  const AVDictionaryEntry* e = nullptr;
  while ((e = av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX))) tags.Str(e->key, e->value);
  return tags.Text();
}

// Decodes every packet of the file and counts the frames each stream gives.
std::vector<int64_t> CountFrames(AVFormatContext* fmt) {
  std::vector<int64_t> counts(fmt->nb_streams, -1);
  std::vector<AVCodecContext*> decoders(fmt->nb_streams, nullptr);
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    AVCodecParameters* par = fmt->streams[i]->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_VIDEO && par->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) continue;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    if (ctx && avcodec_parameters_to_context(ctx, par) >= 0 && avcodec_open2(ctx, codec, nullptr) >= 0) {
      decoders[i] = ctx;
      counts[i] = 0;
    } else {
      avcodec_free_context(&ctx);
    }
  }
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto drain = [&](unsigned idx) {
    while (avcodec_receive_frame(decoders[idx], frame) >= 0) {
      ++counts[idx];
      av_frame_unref(frame);
    }
  };
  while (av_read_frame(fmt, pkt) >= 0) {
    unsigned idx = (unsigned)pkt->stream_index;
    if (idx < decoders.size() && decoders[idx]) {
      if (avcodec_send_packet(decoders[idx], pkt) >= 0) drain(idx);
    }
    av_packet_unref(pkt);
  }
  for (unsigned i = 0; i < decoders.size(); ++i) {
    if (!decoders[i]) continue;
    avcodec_send_packet(decoders[i], nullptr);
    drain(i);
    avcodec_free_context(&decoders[i]);
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  return counts;
}

std::string StreamText(const AVStream* st, const ProbeOptions& opt, int64_t readFrames) {
  JsonObject o(2);
  const AVCodecParameters* par = st->codecpar;
  const AVCodecDescriptor* desc = avcodec_descriptor_get(par->codec_id);
  o.Int("index", st->index);
  if (opt.showStreams) {
    o.Str("codec_name", desc ? desc->name : "unknown");
    if (desc && desc->long_name) o.Str("codec_long_name", desc->long_name);
    const char* profile = avcodec_profile_name(par->codec_id, par->profile);
    if (profile) o.Str("profile", profile);
    const char* type = av_get_media_type_string(par->codec_type);
    o.Str("codec_type", type ? type : "unknown");
    char tag[AV_FOURCC_MAX_STRING_SIZE] = {};
    av_fourcc_make_string(tag, par->codec_tag);
    o.Str("codec_tag_string", tag);
    o.Str("codec_tag", Format("0x%04x", par->codec_tag));
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
      o.Int("width", par->width);
      o.Int("height", par->height);
      o.Int("has_b_frames", par->video_delay);
      if (par->sample_aspect_ratio.num) {
        PutRational(o, "sample_aspect_ratio", par->sample_aspect_ratio, ':');
        AVRational dar;
        av_reduce(&dar.num, &dar.den, (int64_t)par->width * par->sample_aspect_ratio.num,
                  (int64_t)par->height * par->sample_aspect_ratio.den, 1024 * 1024);
        PutRational(o, "display_aspect_ratio", dar, ':');
      }
      const char* pix = av_get_pix_fmt_name((AVPixelFormat)par->format);
      if (pix) o.Str("pix_fmt", pix);
      o.Int("level", par->level);
    } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
      const char* sfmt = av_get_sample_fmt_name((AVSampleFormat)par->format);
      if (sfmt) o.Str("sample_fmt", sfmt);
      o.Str("sample_rate", Format("%d", par->sample_rate));
      o.Int("channels", par->ch_layout.nb_channels);
      char layout[128] = {};
      if (par->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC &&
          av_channel_layout_describe(&par->ch_layout, layout, sizeof layout) > 0)
        o.Str("channel_layout", layout);
      o.Int("bits_per_sample", av_get_bits_per_sample(par->codec_id));
    }
    if (st->id) o.Str("id", Format("0x%x", st->id));
    PutRational(o, "r_frame_rate", st->r_frame_rate, '/');
    PutRational(o, "avg_frame_rate", st->avg_frame_rate, '/');
    PutRational(o, "time_base", st->time_base, '/');
    PutTs(o, "start_pts", st->start_time);
    PutTime(o, "start_time", st->start_time, st->time_base);
    PutTs(o, "duration_ts", st->duration);
    PutTime(o, "duration", st->duration, st->time_base);
    if (par->bit_rate > 0) o.Str("bit_rate", Format("%" PRId64, par->bit_rate));
    if (par->bits_per_raw_sample > 0) o.Str("bits_per_raw_sample", Format("%d", par->bits_per_raw_sample));
    if (st->nb_frames > 0) o.Str("nb_frames", Format("%" PRId64, st->nb_frames));
    if (opt.countFrames && readFrames >= 0) o.Str("nb_read_frames", Format("%" PRId64, readFrames));
  }
  if (opt.showStreams || opt.streamTags) {
    if (st->metadata) o.Raw("tags", TagsText(st->metadata, 3));
  }
  return o.Text();
}

std::string FormatText(AVFormatContext* fmt, const ProbeOptions& opt) {
  JsonObject o(1);
  if (opt.showFormat) {
    o.Str("filename", fmt->url ? fmt->url : opt.input);
    o.Int("nb_streams", fmt->nb_streams);
    o.Int("nb_programs", fmt->nb_programs);
    o.Str("format_name", fmt->iformat->name);
    if (fmt->iformat->long_name) o.Str("format_long_name", fmt->iformat->long_name);
    PutTime(o, "start_time", fmt->start_time, AVRational{1, AV_TIME_BASE});
    PutTime(o, "duration", fmt->duration, AVRational{1, AV_TIME_BASE});
    int64_t size = fmt->pb ? avio_size(fmt->pb) : -1;
    if (size >= 0) o.Str("size", Format("%" PRId64, size));
    if (fmt->bit_rate > 0) o.Str("bit_rate", Format("%" PRId64, fmt->bit_rate));
    o.Int("probe_score", fmt->probe_score);
  }
  if ((opt.showFormat || opt.formatTags) && fmt->metadata) o.Raw("tags", TagsText(fmt->metadata, 2));
  return o.Text();
}

int Fail(const std::string& message) {
  modtext::ErrorLine("Sondrel: " + message);
  return 1;
}

int LogLevelFromName(const std::string& name, bool* ok) {
  static const struct {
    const char* name;
    int level;
  } levels[] = {{"quiet", AV_LOG_QUIET},     {"panic", AV_LOG_PANIC},     {"fatal", AV_LOG_FATAL},
                {"error", AV_LOG_ERROR},     {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
                {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG},     {"trace", AV_LOG_TRACE}};
  for (const auto& l : levels) {
    if (name == l.name) {
      *ok = true;
      return l.level;
    }
  }
  char* end = nullptr;
  long v = strtol(name.c_str(), &end, 10);
  *ok = !name.empty() && end && *end == 0;
  return (int)v;
}

// The entry list names whole sections or their tags, separated by ':' or ','.
bool ParseEntries(const std::string& list, ProbeOptions& opt) {
  std::string item;
  auto take = [&]() -> bool {
    size_t a = item.find_first_not_of(" \t");
    size_t b = item.find_last_not_of(" \t");
    std::string name = a == std::string::npos ? std::string() : item.substr(a, b - a + 1);
    item.clear();
    if (name.empty()) return true;
    if (name == "format_tags")
      opt.formatTags = true;
    else if (name == "stream_tags")
      opt.streamTags = true;
    else if (name == "format")
      opt.showFormat = true;
    else if (name == "stream")
      opt.showStreams = true;
    else
      return false;
    return true;
  };
  for (char c : list) {
    if (c == ':') {
      if (!take()) return false;
    } else {
      item += c;
    }
  }
  return take();
}

}  // namespace

int main() {
  std::vector<std::string> args = modtext::CommandLineUtf8();
  ProbeOptions opt;
  bool haveInput = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) -> bool {
      if (i + 1 >= args.size()) return false;
      *out = args[++i];
      return true;
    };
    std::string v;
    if (a == "-show_format") {
      opt.showFormat = true;
    } else if (a == "-show_streams") {
      opt.showStreams = true;
    } else if (a == "-count_frames") {
      opt.countFrames = true;
    } else if (a == "-hide_banner") {
    } else if (a == "-loglevel" || a == "-v") {
      bool ok = false;
      if (!value(&v) || (opt.logLevel = LogLevelFromName(v, &ok), !ok))
        return Fail("option " + a + " needs a log level");
    } else if (a == "-show_entries") {
      if (!value(&v)) return Fail("option -show_entries needs an entry list");
      if (!ParseEntries(v, opt)) return Fail("unsupported entry list for -show_entries: " + v);
    } else if (a == "-print_format" || a == "-of") {
      if (!value(&v)) return Fail("option " + a + " needs a format name");
      if (v != "json") return Fail("unsupported print format: " + v + " (only json is written)");
    } else if (a == "-i") {
      if (!value(&opt.input)) return Fail("option -i needs a file name");
      haveInput = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return Fail("unsupported option: " + a);
    } else {
      if (haveInput) return Fail("more than one input given: " + a);
      opt.input = a;
      haveInput = true;
    }
  }
  if (!haveInput || opt.input.empty()) return Fail("no input file given");
  av_log_set_level(opt.logLevel);

  AVFormatContext* fmt = nullptr;
  int err = avformat_open_input(&fmt, opt.input.c_str(), nullptr, nullptr);
  if (err < 0) {
    char msg[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, msg, sizeof msg);
    return Fail("cannot read " + opt.input + ": " + msg);
  }
  if (avformat_find_stream_info(fmt, nullptr) < 0) {
    avformat_close_input(&fmt);
    return Fail("cannot read the streams of " + opt.input);
  }
  if (fmt->nb_streams == 0) {
    avformat_close_input(&fmt);
    return Fail("no streams in " + opt.input);
  }
  std::vector<int64_t> readFrames(fmt->nb_streams, -1);
  if (opt.countFrames && opt.showStreams) readFrames = CountFrames(fmt);

  std::string out = "{\n";
  bool first = true;
  if (opt.showStreams || opt.streamTags) {
    out += "    \"streams\": [\n";
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
      out += "        " + StreamText(fmt->streams[i], opt, readFrames[i]);
      out += (i + 1 < fmt->nb_streams) ? ",\n" : "\n";
    }
    out += "    ]";
    first = false;
  }
  if (opt.showFormat || opt.formatTags) {
    if (!first) out += ",\n";
    out += "    \"format\": " + FormatText(fmt, opt);
  }
  out += "\n}\n";
  avformat_close_input(&fmt);

#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (fwrite(out.data(), 1, out.size(), stdout) != out.size() || fflush(stdout) != 0)
    return Fail("cannot write the report");
  return 0;
}
