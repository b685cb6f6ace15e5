// Smeltrix: encodes a numbered picture series (or a video) into a video file, or
// writes the frames of a video as numbered BMP pictures.
#include "ModuleText.h"
#include "SmeltrixOptions.h"
#include "ToolContract.h"

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <functional>
#include <deque>
#include <mutex>
#include <thread>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/avutil.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace {

// A failure that ends the run; the message goes to standard error.
struct RunError {
    std::string message;
    int exitCode;
};

[[noreturn]] void Throw(const std::string& message, int exitCode = 1) { throw RunError{message, exitCode}; }

std::string AvErrorText(int err)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return buf;
}

void Check(int err, const std::string& what)
{
    if (err < 0)
        Throw(what + ": " + AvErrorText(err));
}

bool FileExists(const std::string& path)
{
    DWORD attr = GetFileAttributesW(modtext::Utf8ToWide(path).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

void DeleteFileUtf8(const std::string& path) { DeleteFileW(modtext::Utf8ToWide(path).c_str()); }

bool MoveReplace(const std::string& from, const std::string& to)
{
    return MoveFileExW(modtext::Utf8ToWide(from).c_str(), modtext::Utf8ToWide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING) != 0;
}

// A point in time, num/den seconds, compared exactly.
struct Time {
    int64_t num = 0;
    int64_t den = 1;
};

bool Less(const Time& a, const Time& b) { return (__int128)a.num * b.den < (__int128)b.num * a.den; }

Time FromUs(int64_t us) { return Time{us, AV_TIME_BASE}; }

Time Sub(const Time& a, const Time& b)
{
    // Both are kept over small denominators; reduce through AVRational arithmetic when needed.
    __int128 n = (__int128)a.num * b.den - (__int128)b.num * a.den;
    __int128 d = (__int128)a.den * b.den;
    while ((n > INT64_MAX || n < -INT64_MAX || d > INT64_MAX) && d > 1) {
        n /= 2;
        d /= 2;
    }
    return Time{(int64_t)n, (int64_t)d};
}

Time Add(const Time& a, const Time& b) { return Sub(a, Time{-b.num, b.den}); }

int64_t ToMs(const Time& t) { return (int64_t)((__int128)t.num * 1000 / t.den); }

// ---------------------------------------------------------------------------
// Progress messages to the caller's window.

class ProgressRelay {
public:
    ProgressRelay(int64_t window, int64_t context) : m_wnd((HWND)(intptr_t)window), m_context(context) {}

    void Start(int64_t total)
    {
        m_total = total;
        Send(TOOL_EVENT_START, 0, 0);
    }
    // Returns true when the caller asked to stop.
    bool Progress(int64_t position, int frames, bool force)
    {
        DWORD now = GetTickCount();
        if (!force && m_sentProgress && now - m_lastTick < 40)
            return m_stop;
        m_sentProgress = true;
        m_lastTick = now;
        if (Send(TOOL_EVENT_PROGRESS, position, frames) == 1)
            m_stop = true;
        return m_stop;
    }
    void Finish(int64_t position, int frames) { Send(TOOL_EVENT_FINISH, position, frames); }
    bool StopAsked() const { return m_stop; }

private:
    LRESULT Send(int event, int64_t position, int frames)
    {
        if (!m_wnd)
            return 0;
        ToolCallbackData data;
        memset(&data, 0, sizeof data);
        data.context = m_context;
        data.event = event;
        data.progress.total = m_total;
        data.progress.position = std::min(std::max<int64_t>(position, 0), std::max<int64_t>(m_total, 0));
        data.progress.frame = frames;
        COPYDATASTRUCT cds;
        cds.dwData = TOOL_CALLBACK_ID;
        cds.cbData = sizeof data;
        cds.lpData = &data;
        // A receiver that stops answering must not hold the run for ever: after
        // one record that is not answered in time no more are sent.
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(m_wnd, WM_COPYDATA, 0, (LPARAM)&cds, SMTO_NORMAL | SMTO_ABORTIFHUNG, kAnswerMs,
                                 &answer)) {
            m_wnd = nullptr;
            return 0;
        }
        return (LRESULT)answer;
    }

    static const UINT kAnswerMs = 5000;

    HWND m_wnd;
    int64_t m_context;
    int64_t m_total = 0;
    DWORD m_lastTick = 0;
    bool m_sentProgress = false;
    bool m_stop = false;
};

// ---------------------------------------------------------------------------
// Frame sources: a numbered picture series or a video file.

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
    ~PictureDecoder()
    {
        avcodec_free_context(&m_bmp);
        av_packet_free(&m_pkt);
        av_buffer_pool_uninit(&m_pool);
    }

    void Decode(const std::string& path, AVFrame* frame)
    {
        ReadFile(path);
        if (m_pkt->size >= 2 && m_pkt->data[0] == 'B' && m_pkt->data[1] == 'M')
            DecodeBmp(path, frame);
        else
            DecodeOther(path, frame);
        av_packet_unref(m_pkt);
    }

private:
    void ReadFile(const std::string& path)
    {
        HANDLE h = CreateFileW(modtext::Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            Throw("cannot open " + path);
        struct Closer {
            HANDLE h;
            ~Closer() { CloseHandle(h); }
        } closer{h};
        LARGE_INTEGER size;
        if (!GetFileSizeEx(h, &size) || size.QuadPart > (1LL << 30))
            Throw("cannot read " + path);
        size_t need = (size_t)size.QuadPart + AV_INPUT_BUFFER_PADDING_SIZE;
        if (!m_pool || need > m_poolSize) {
            av_buffer_pool_uninit(&m_pool);
            m_poolSize = need;
            m_pool = av_buffer_pool_init(m_poolSize, nullptr);
        }
        if (!m_pkt)
            m_pkt = av_packet_alloc();
        m_pkt->buf = m_pool ? av_buffer_pool_get(m_pool) : nullptr;
        if (!m_pkt->buf)
            Throw("out of memory");
        m_pkt->data = m_pkt->buf->data;
        m_pkt->size = (int)size.QuadPart;
        memset(m_pkt->data + m_pkt->size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        DWORD done = 0;
        if (!::ReadFile(h, m_pkt->data, (DWORD)size.QuadPart, &done, nullptr) || done != (DWORD)size.QuadPart)
            Throw("cannot read " + path);
    }

    void DecodeBmp(const std::string& path, AVFrame* frame)
    {
        if (!m_bmp) {
            const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_BMP);
            if (!codec)
                Throw("no BMP decoder");
            m_bmp = avcodec_alloc_context3(codec);
            Check(avcodec_open2(m_bmp, codec, nullptr), "cannot open the BMP decoder");
        }
        int err = avcodec_send_packet(m_bmp, m_pkt);
        if (err >= 0)
            err = avcodec_receive_frame(m_bmp, frame);
        if (err < 0)
            Throw("cannot decode " + path + ": " + AvErrorText(err));
    }

    static void DecodeOther(const std::string& path, AVFrame* frame)
    {
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
    SequenceSource(const std::string& pattern, AVRational rate) : m_pattern(pattern), m_rate(rate)
    {
        while (FileExists(Name(m_count)))
            ++m_count;
        if (m_count == 0)
            Throw("no input pictures: " + Name(0) + " does not exist");
    }
    int Next(AVFrame* frame, Time* time, Time* duration) override
    {
        if (m_next >= m_count)
            return 0;
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

    static bool IsPattern(const std::string& path)
    {
        char buf[4096];
        return av_get_frame_filename2(buf, sizeof buf, path.c_str(), 0, 0) == 0;
    }

private:
    std::string Name(int64_t n) const
    {
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
    VideoSource(const std::string& path, const std::string& format, int64_t seekUs, int threads)
    {
        const AVInputFormat* ifmt = nullptr;
        if (!format.empty() && !(ifmt = av_find_input_format(format.c_str())))
            Throw("unknown input format: " + format);
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
            if ((int)i != m_stream)
                m_fmt->streams[i]->discard = AVDISCARD_ALL;
        m_tb = st->time_base;
        m_rate = st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0 ? st->avg_frame_rate : st->r_frame_rate;
        if (m_rate.num <= 0 || m_rate.den <= 0)
            m_rate = AVRational{25, 1};
        m_origin = m_fmt->start_time != AV_NOPTS_VALUE ? m_fmt->start_time : 0;
        if (seekUs > 0)
            SeekBefore(seekUs);
    }
    ~VideoSource() override
    {
        av_packet_free(&m_pkt);
        avcodec_free_context(&m_ctx);
        avformat_close_input(&m_fmt);
    }
    int Next(AVFrame* frame, Time* time, Time* duration) override
    {
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
    Time Length() const override
    {
        if (m_fmt->duration == AV_NOPTS_VALUE || m_fmt->duration <= 0)
            return Time{-1, 1};
        return FromUs(m_fmt->duration);
    }
    bool CountsFrames() const override { return false; }

private:
    // Positions the input so that the first decoded frame starts at or before the
    // start time. Files without an index may land past the key frame that the start
    // needs; then the seek goes further back, and at worst to the beginning.
    void SeekBefore(int64_t seekUs)
    {
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
            if (!m_havePending || target == m_origin || !Less(FromUs(seekUs), m_pendingTime))
                return;
            margin = margin ? margin * 2 : AV_TIME_BASE;
        }
    }

    int Decode(AVFrame* frame, Time* time, Time* duration)
    {
        for (;;) {
            int err = avcodec_receive_frame(m_ctx, frame);
            if (err >= 0) {
                int64_t ts = frame->best_effort_timestamp;
                if (ts == AV_NOPTS_VALUE)
                    ts = m_lastTs == AV_NOPTS_VALUE ? 0 : m_lastTs + 1;
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
            if (err == AVERROR_EOF)
                return 0;
            if (err != AVERROR(EAGAIN))
                Throw("cannot decode the video: " + AvErrorText(err));
            if (m_flushed)
                return 0;
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
                if (err < 0 && err != AVERROR_INVALIDDATA)
                    Throw("cannot decode the video: " + AvErrorText(err));
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

// ---------------------------------------------------------------------------
// Codec rules.

// Frame rates the MPEG-1 and MPEG-2 video syntax can carry.
std::vector<AVRational> MpegRates(bool mpeg2)
{
    static const AVRational base[] = {{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001},
                                      {30, 1},       {50, 1}, {60000, 1001}, {60, 1}};
    std::vector<AVRational> rates;
    for (const AVRational& b : base) {
        if (!mpeg2) {
            rates.push_back(b);
            continue;
        }
        for (int n = 1; n <= 4; ++n)
            for (int d = 1; d <= 32; ++d)
                if (av_gcd(n, d) == 1)
                    rates.push_back(av_mul_q(b, AVRational{n, d}));
    }
    return rates;
}

// The nearest rate the codec can code at or above the request (the highest when none is).
AVRational CodableRate(AVCodecID id, AVRational wanted)
{
    if (id != AV_CODEC_ID_MPEG1VIDEO && id != AV_CODEC_ID_MPEG2VIDEO)
        return wanted;
    std::vector<AVRational> rates = MpegRates(id == AV_CODEC_ID_MPEG2VIDEO);
    AVRational best{0, 0}, highest{0, 1};
    for (const AVRational& r : rates) {
        if (av_cmp_q(r, highest) > 0)
            highest = r;
        if (av_cmp_q(r, wanted) >= 0 && (best.num == 0 || av_cmp_q(r, best) < 0))
            best = r;
    }
    return best.num ? best : highest;
}

// Picture sizes that baseline H.263 can code.
bool H263Size(int width, int height, int* legalW, int* legalH)
{
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

AVPixelFormat ChoosePixelFormat(const AVCodec* codec, const std::string& wanted)
{
    const AVPixelFormat* list = codec->pix_fmts;
    auto supported = [&](AVPixelFormat f) {
        if (!list)
            return true;
        for (const AVPixelFormat* p = list; *p != AV_PIX_FMT_NONE; ++p)
            if (*p == f)
                return true;
        return false;
    };
    if (!wanted.empty()) {
        AVPixelFormat f = av_get_pix_fmt(wanted.c_str());
        if (f == AV_PIX_FMT_NONE || !supported(f))
            Throw("pixel format " + wanted + " is not supported by " + codec->name);
        return f;
    }
    static const AVPixelFormat preferred[] = {AV_PIX_FMT_YUV420P, AV_PIX_FMT_BGR24, AV_PIX_FMT_RGB24};
    for (AVPixelFormat f : preferred)
        if (supported(f))
            return f;
    return list ? list[0] : AV_PIX_FMT_YUV420P;
}

// ---------------------------------------------------------------------------
// Picture conversion to the encoder's size and format.

class PictureConverter {
public:
    PictureConverter(int width, int height, int frameW, int frameH, AVPixelFormat fmt)
        : m_w(width), m_h(height), m_frameW(frameW), m_frameH(frameH), m_fmt(fmt)
    {
    }
    ~PictureConverter()
    {
        sws_freeContext(m_sws);
        av_buffer_pool_uninit(&m_pool);
    }

    // A new picture of the output size holding the source scaled to the
    // picture size and centred when the frame is larger.
    AVFrame* Convert(const AVFrame* src)
    {
        AVFrame* dst = av_frame_alloc();
        if (!dst)
            Throw("out of memory");
        dst->format = m_fmt;
        dst->width = m_frameW;
        dst->height = m_frameH;
        if (!m_pool) {
            int size = av_image_get_buffer_size(m_fmt, m_frameW, m_frameH, kAlign);
            m_pool = size > 0 ? av_buffer_pool_init((size_t)size + kAlign, nullptr) : nullptr;
        }
        dst->buf[0] = m_pool ? av_buffer_pool_get(m_pool) : nullptr;
        if (!dst->buf[0] || av_image_fill_arrays(dst->data, dst->linesize, dst->buf[0]->data, m_fmt, m_frameW,
                                                 m_frameH, kAlign) < 0) {
            av_frame_free(&dst);
            Throw("out of memory");
        }
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(m_fmt);
        int x = 0, y = 0;
        if (m_frameW != m_w || m_frameH != m_h) {
            ClearToBlack(dst);
            x = ((m_frameW - m_w) / 2) & ~1;
            y = ((m_frameH - m_h) / 2) & ~1;
        }
        uint8_t* planes[4] = {};
        int strides[4] = {};
        for (int p = 0; p < 4 && dst->data[p]; ++p) {
            bool chroma = (p == 1 || p == 2) && !(desc->flags & AV_PIX_FMT_FLAG_RGB);
            int px = chroma ? x >> desc->log2_chroma_w : x;
            int py = chroma ? y >> desc->log2_chroma_h : y;
            int step = desc->comp[0].step > 0 && !(desc->flags & AV_PIX_FMT_FLAG_PLANAR) ? desc->comp[0].step : 1;
            planes[p] = dst->data[p] + (ptrdiff_t)py * dst->linesize[p] + px * step;
            strides[p] = dst->linesize[p];
        }
        m_sws = sws_getCachedContext(m_sws, src->width, src->height, (AVPixelFormat)src->format, m_w, m_h, m_fmt,
                                     SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!m_sws) {
            av_frame_free(&dst);
            Throw("cannot convert a picture of " + std::to_string(src->width) + "x" + std::to_string(src->height));
        }
        sws_scale(m_sws, src->data, src->linesize, 0, src->height, planes, strides);
        return dst;
    }

private:
    void ClearToBlack(AVFrame* f)
    {
        ptrdiff_t lines[4];
        for (int i = 0; i < 4; ++i)
            lines[i] = f->linesize[i];
        av_image_fill_black(f->data, lines, m_fmt, AVCOL_RANGE_MPEG, f->width, f->height);
    }

    int m_w, m_h, m_frameW, m_frameH;
    AVPixelFormat m_fmt;
    SwsContext* m_sws = nullptr;
    AVBufferPool* m_pool = nullptr;  // pictures return here when the encoder lets go of them
    static constexpr int kAlign = 64;
};

// ---------------------------------------------------------------------------
// Outputs.

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

std::string TempName(const std::string& finalName)
{
    return finalName + ".~" + std::to_string(GetCurrentProcessId()) + ".part";
}

bool ProcessRuns(DWORD pid)
{
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!h)
        return false;
    const bool runs = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return runs;
}

// Partial files of this output left by an encoder that did not end its run
// (stopped by force, crashed, a power cut): "<output>.~<process>.part", or the
// same beside each numbered picture of a series. Those of a running encoder stay.
void RemoveStalePartials(const std::string& output)
{
    const std::wstring wide = modtext::Utf8ToWide(output);
    const size_t slash = wide.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : wide.substr(0, slash);
    const std::wstring name = slash == std::wstring::npos ? wide : wide.substr(slash + 1);
    // For a numbered series the part before the number is the common stem.
    const size_t percent = name.find(L'%');
    const std::wstring stem = percent == std::wstring::npos ? name : name.substr(0, percent);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\" + stem + L"*.~*.part").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring found = fd.cFileName;
        const size_t mark = found.rfind(L".~");
        if (mark == std::wstring::npos || (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        const std::wstring base = found.substr(0, mark);
        if (percent == std::wstring::npos ? base != name : base.compare(0, stem.size(), stem) != 0)
            continue;
        const DWORD pid = (DWORD)wcstoul(found.c_str() + mark + 2, nullptr, 10);
        if (pid != GetCurrentProcessId() && !ProcessRuns(pid))
            DeleteFileW((folder + L"\\" + found).c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

void CheckCanWrite(const std::string& path, bool overwrite)
{
    if (!overwrite && FileExists(path))
        Throw(path + " already exists (give -y to replace it)");
}

// Numbered BMP pictures, numbered from 1, renamed into place at the end.
class PictureSeriesSink : public FrameSink {
public:
    // One picture (-frames:v 1) may go to a plain file name.
    PictureSeriesSink(const std::string& pattern, bool overwrite, bool single)
        : m_pattern(pattern), m_overwrite(overwrite), m_single(single && !SequenceSource::IsPattern(pattern))
    {
        if (!m_single && !SequenceSource::IsPattern(pattern))
            Throw("the output " + pattern + " needs a frame number such as %07d");
        if (m_single)
            CheckCanWrite(pattern, overwrite);
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_BMP);
        if (!codec)
            Throw("no BMP encoder");
        m_codec = codec;
    }
    ~PictureSeriesSink() override
    {
        Discard();
        avcodec_free_context(&m_ctx);
        av_packet_free(&m_pkt);
    }
    AVPixelFormat PixelFormat() const override { return AV_PIX_FMT_BGR24; }
    bool NeedsEvenSize() const override { return false; }
    void Open(int width, int height) override
    {
        m_ctx = avcodec_alloc_context3(m_codec);
        m_ctx->width = width;
        m_ctx->height = height;
        m_ctx->pix_fmt = AV_PIX_FMT_BGR24;
        m_ctx->time_base = AVRational{1, 25};
        Check(avcodec_open2(m_ctx, m_codec, nullptr), "cannot open the BMP encoder");
        m_pkt = av_packet_alloc();
    }
    void Write(const AVFrame* picture) override
    {
        Check(avcodec_send_frame(m_ctx, picture), "cannot encode a BMP picture");
        Check(avcodec_receive_packet(m_ctx, m_pkt), "cannot encode a BMP picture");
        std::string name = Name(++m_number);
        CheckCanWrite(name, m_overwrite);
        std::string temp = TempName(name);
        m_written.push_back(temp);
        FILE* fp = _wfopen(modtext::Utf8ToWide(temp).c_str(), L"wb");
        if (!fp)
            Throw("cannot create " + temp);
        bool ok = fwrite(m_pkt->data, 1, (size_t)m_pkt->size, fp) == (size_t)m_pkt->size;
        ok = (fclose(fp) == 0) && ok;
        av_packet_unref(m_pkt);
        if (!ok)
            Throw("cannot write " + temp);
    }
    void Close() override
    {
        for (int64_t i = 0; i < (int64_t)m_written.size(); ++i) {
            std::string name = Name(i + 1);
            if (!MoveReplace(m_written[(size_t)i], name))
                Throw("cannot rename " + m_written[(size_t)i] + " to " + name);
            m_placed.push_back(name);
        }
        m_written.clear();
        m_placed.clear();
    }
    void Discard() override
    {
        for (const std::string& f : m_written)
            DeleteFileUtf8(f);
        for (const std::string& f : m_placed)
            DeleteFileUtf8(f);
        m_written.clear();
        m_placed.clear();
    }

private:
    std::string Name(int64_t n) const
    {
        if (m_single)
            return m_pattern;
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
        : m_opt(opt), m_ofmt(ofmt), m_final(opt.output), m_temp(TempName(opt.output))
    {
        CheckCanWrite(m_final, opt.overwrite);
        std::string codecName = opt.videoCodec;
        if (codecName.empty()) {
            AVCodecID id = av_guess_codec(ofmt, nullptr, opt.output.c_str(), nullptr, AVMEDIA_TYPE_VIDEO);
            m_codec = avcodec_find_encoder(id);
            if (!m_codec)
                Throw(std::string("no video encoder for the format ") + ofmt->name);
        } else {
            m_codec = avcodec_find_encoder_by_name(codecName.c_str());
            if (!m_codec || m_codec->type != AVMEDIA_TYPE_VIDEO)
                Throw("unknown video encoder: " + codecName);
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
    ~VideoFileSink() override
    {
        Discard();
        avcodec_free_context(&m_ctx);
        av_packet_free(&m_pkt);
    }
    AVRational EncodedRate() const { return m_rate; }
    AVPixelFormat PixelFormat() const override { return m_pixfmt; }
    bool NeedsEvenSize() const override
    {
        const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(m_pixfmt);
        return d->log2_chroma_w > 0 || d->log2_chroma_h > 0 || m_codec->id == AV_CODEC_ID_WMV2;
    }
    bool H263Sizes() const override { return m_codec->id == AV_CODEC_ID_H263; }

    void Open(int width, int height) override
    {
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
        if (m_opt.aspect.num > 0)
            m_ctx->sample_aspect_ratio = av_mul_q(m_opt.aspect, AVRational{height, width});
        if (m_opt.bitRate > 0)
            m_ctx->bit_rate = m_opt.bitRate;
        if (m_opt.bufferSize > 0)
            m_ctx->rc_buffer_size = m_opt.bufferSize;
        if (!m_opt.videoTag.empty()) {
            char t[4] = {' ', ' ', ' ', ' '};
            memcpy(t, m_opt.videoTag.data(), m_opt.videoTag.size());
            m_ctx->codec_tag = MKTAG(t[0], t[1], t[2], t[3]);
        }
        if (m_opt.quality >= 0)
            SetQuality(m_opt.quality);
        if (!m_opt.profile.empty() && av_opt_set(m_ctx, "profile", m_opt.profile.c_str(), AV_OPT_SEARCH_CHILDREN) < 0)
            Throw("profile " + m_opt.profile + " is not known to " + m_codec->name);
        if (m_ofmt->flags & AVFMT_GLOBALHEADER)
            m_ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        Check(avcodec_open2(m_ctx, m_codec, nullptr), std::string("cannot open the ") + m_codec->name + " encoder");

        AVStream* st = avformat_new_stream(m_fmt, nullptr);
        if (!st)
            Throw("out of memory");
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

    void Write(const AVFrame* picture) override
    {
        AVFrame* f = av_frame_clone(picture);
        if (!f)
            Throw("out of memory");
        f->pts = m_pts++;
        f->pict_type = AV_PICTURE_TYPE_NONE;
        int err = avcodec_send_frame(m_ctx, f);
        av_frame_free(&f);
        Check(err, "cannot encode a frame");
        Drain();
    }

    void Close() override
    {
        Check(avcodec_send_frame(m_ctx, nullptr), "cannot finish the encoding");
        Drain();
        Check(av_write_trailer(m_fmt), "cannot finish the file");
        if (m_fmt->pb)
            Check(avio_closep(&m_fmt->pb), "cannot write " + m_temp);
        avformat_free_context(m_fmt);
        m_fmt = nullptr;
        if (!MoveReplace(m_temp, m_final))
            Throw("cannot rename " + m_temp + " to " + m_final);
        m_opened = false;
    }

    void Discard() override
    {
        if (m_fmt) {
            if (m_fmt->pb)
                avio_closep(&m_fmt->pb);
            avformat_free_context(m_fmt);
            m_fmt = nullptr;
        }
        if (m_opened)
            DeleteFileUtf8(m_temp);
        m_opened = false;
    }

private:
    void SetQuality(int q)
    {
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

    void Drain()
    {
        for (;;) {
            int err = avcodec_receive_packet(m_ctx, m_pkt);
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
                return;
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

// ---------------------------------------------------------------------------
// The run.

// A converted picture on its way from the reading thread to the encoder.
struct QueuedPicture {
    AVFrame* picture = nullptr;  // null for a frame before the start of the stretch
    Time time, duration;
    int consumed = 0;            // input frames read so far
    int frameWidth = 0, frameHeight = 0;
};

// A short queue between the reading thread and the encoding thread.
class PictureQueue {
public:
    ~PictureQueue()
    {
        for (QueuedPicture& p : m_items)
            av_frame_free(&p.picture);
    }
    // Waits for room; false when the queue was cancelled (the picture is freed).
    bool Push(QueuedPicture& p)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [&] { return m_cancelled || m_items.size() < kCapacity; });
        if (m_cancelled) {
            av_frame_free(&p.picture);
            return false;
        }
        m_items.push_back(p);
        p.picture = nullptr;
        m_cv.notify_all();
        return true;
    }
    // Waits for a picture; false at the end of the input.
    bool Pop(QueuedPicture* p)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [&] { return m_cancelled || m_done || !m_items.empty(); });
        if (m_items.empty())
            return false;
        *p = m_items.front();
        m_items.pop_front();
        m_cv.notify_all();
        return true;
    }
    void Finish(const RunError* error)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (error)
            m_error = *error;
        m_done = true;
        m_cv.notify_all();
    }
    void Cancel()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cancelled = true;
        m_cv.notify_all();
    }
    bool Cancelled()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_cancelled;
    }
    // Read after the reading thread has ended.
    const RunError& Error() const { return m_error; }

private:
    static constexpr size_t kCapacity = 4;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<QueuedPicture> m_items;
    bool m_done = false;
    bool m_cancelled = false;
    RunError m_error{std::string(), 1};
};

// The reading thread: decodes the input and converts every picture of the stretch
// to the output's size and format.
void ReadPictures(FrameSource& source, const FrameSink& sink, const SmeltrixOptions& opt, Time start, Time end,
                  bool bounded, PictureQueue& queue)
{
    try {
        std::unique_ptr<PictureConverter> converter;
        int fw = 0, fh = 0, consumed = 0;
        FramePtr frame;
        QueuedPicture item;
        while (!queue.Cancelled()) {
            if (source.Next(frame.f, &item.time, &item.duration) == 0)
                break;
            item.consumed = ++consumed;
            if (bounded && !Less(item.time, end))
                break;
            if (Less(item.time, start)) {
                av_frame_unref(frame.f);
                item.picture = nullptr;
                if (!queue.Push(item))
                    break;
                continue;
            }
            if (!converter) {
                int w = opt.width > 0 ? opt.width : frame.f->width;
                int h = opt.height > 0 ? opt.height : frame.f->height;
                if (sink.NeedsEvenSize()) {
                    w += w & 1;
                    h += h & 1;
                }
                fw = w;
                fh = h;
                if (sink.H263Sizes() && !H263Size(w, h, &fw, &fh)) {
                    // Larger than the largest coded size: shrink to fit it, keeping the shape.
                    double s = std::min(1408.0 / w, 1152.0 / h);
                    w = std::max(2, (int)(w * s) & ~1);
                    h = std::max(2, (int)(h * s) & ~1);
                    fw = 1408;
                    fh = 1152;
                }
                converter.reset(new PictureConverter(w, h, fw, fh, sink.PixelFormat()));
            }
            item.picture = converter->Convert(frame.f);
            item.frameWidth = fw;
            item.frameHeight = fh;
            av_frame_unref(frame.f);
            if (!queue.Push(item))
                break;
        }
        queue.Finish(nullptr);
    } catch (const RunError& e) {
        queue.Finish(&e);
    } catch (const std::bad_alloc&) {
        RunError e{"out of memory", 1};
        queue.Finish(&e);
    } catch (const std::exception& ex) {
        RunError e{std::string("failure while reading: ") + ex.what(), 1};
        queue.Finish(&e);
    }
}

// ---------------------------------------------------------------------------
// Stream copy: muxing streams of one or two inputs, joining files (the concat
// protocol or a concat list) and changing the container, without decoding.

struct CopyInput {
    AVFormatContext* fmt = nullptr;
    AVPacket* pkt = nullptr;
    bool pending = false;   // pkt holds the input's next packet
    bool ended = false;
    int64_t startUs = 0;    // the first time to keep, from the input's start
    int64_t endUs = -1;     // the first time past the end, or -1
    int64_t originUs = 0;
    // Formats whose times may start again (joined transport streams): the
    // offset that keeps them rising, and each stream's next expected time.
    int64_t discontUs = 0;
    std::vector<int64_t> nextUs;
};



// A bitstream filter for a stream, when it takes the stream's codec; a filter
// meant for another codec (an AAC one for MP3 audio) leaves the stream alone.
AVBSFContext* MakeFilter(const std::string& name, const AVCodecParameters* par, AVRational timeBase)
{
    if (name.empty())
        return nullptr;
    const AVBitStreamFilter* f = av_bsf_get_by_name(name.c_str());
    if (!f)
        Throw("unknown bitstream filter: " + name);
    if (f->codec_ids) {
        bool takes = false;
        for (const AVCodecID* id = f->codec_ids; *id != AV_CODEC_ID_NONE; ++id)
            takes = takes || *id == par->codec_id;
        if (!takes)
            return nullptr;
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
                const AVOutputFormat* ofmt)
    {
        const AVCodecParameters* par = in->codecpar;
        const bool video = par->codec_type == AVMEDIA_TYPE_VIDEO;
        const char* kind = video ? "video" : "audio";
        const AVCodec* enc = avcodec_find_encoder_by_name(codecName.c_str());
        if (!enc || enc->type != par->codec_type)
            Throw(std::string("unknown ") + kind + " encoder: " + codecName);
        if (avformat_query_codec(ofmt, enc->id, FF_COMPLIANCE_NORMAL) == 0)
            Throw(std::string("the format ") + ofmt->name + " cannot hold " + enc->name + " " + kind);
        const AVCodec* dec = avcodec_find_decoder(par->codec_id);
        if (!dec)
            Throw(std::string("no decoder for the ") + kind + " " + avcodec_get_name(par->codec_id));
        m_dec = avcodec_alloc_context3(dec);
        m_enc = avcodec_alloc_context3(enc);
        m_frame = av_frame_alloc();
        m_out = av_frame_alloc();
        m_pkt = av_packet_alloc();
        if (!m_dec || !m_enc || !m_frame || !m_out || !m_pkt)
            throw std::bad_alloc();
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
            if (w <= 0 || h <= 0)
                Throw("the video has no usable size");
            m_enc->width = w;
            m_enc->height = h;
            AVRational rate = in->avg_frame_rate.num > 0 && in->avg_frame_rate.den > 0 ? in->avg_frame_rate
                              : in->r_frame_rate.num > 0 && in->r_frame_rate.den > 0 ? in->r_frame_rate
                                                                                      : AVRational{25, 1};
            if (opt.outputRate.num > 0)
                rate = opt.outputRate;
            rate = CodableRate(enc->id, rate);
            AVRational tb = av_inv_q(rate);
            av_reduce(&tb.num, &tb.den, tb.num, tb.den, INT_MAX);
            m_enc->time_base = tb;
            m_enc->framerate = rate;
            m_enc->sample_aspect_ratio = par->sample_aspect_ratio;
            m_enc->thread_count = opt.threads;
            if (opt.bitRate > 0)
                m_enc->bit_rate = opt.bitRate;
        } else {
            // The rate and channels asked for must be the encoder's; the
            // source's are taken when it can, else the nearest it has.
            int rate = opt.sampleRate > 0 ? opt.sampleRate : par->sample_rate;
            if (rate <= 0)
                Throw("the audio has no sample rate");
            if (enc->supported_samplerates) {
                int best = 0;
                for (const int* r = enc->supported_samplerates; *r; ++r)
                    if (!best || std::abs(*r - rate) < std::abs(best - rate))
                        best = *r;
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
                    if (l->nb_channels == channels)
                        pick = l;
                for (const AVChannelLayout* l = enc->ch_layouts; l->nb_channels && !pick; ++l)
                    if (l->nb_channels < channels && (!pick || l->nb_channels > pick->nb_channels))
                        pick = l;
                if (!pick)
                    pick = enc->ch_layouts;
                if (pick->nb_channels != channels && opt.channels > 0)
                    Throw(std::string("the ") + enc->name + " encoder cannot code " + std::to_string(channels) +
                          " channels");
                av_channel_layout_uninit(&layout);
                Check(av_channel_layout_copy(&layout, pick), "cannot set up the audio channels");
            }
            Check(av_channel_layout_copy(&m_enc->ch_layout, &layout), "cannot set up the audio channels");
            av_channel_layout_uninit(&layout);
            m_enc->sample_fmt = enc->sample_fmts ? enc->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
            if (opt.audioBitRate > 0)
                m_enc->bit_rate = opt.audioBitRate;
        }
        if (ofmt->flags & AVFMT_GLOBALHEADER)
            m_enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        Check(avcodec_open2(m_enc, enc, nullptr), std::string("cannot open the ") + enc->name + " encoder");
        if (!video) {
            m_fifo = av_audio_fifo_alloc(m_enc->sample_fmt, m_enc->ch_layout.nb_channels, 4096);
            if (!m_fifo)
                throw std::bad_alloc();
        }
    }
    ~StreamCoder()
    {
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
    void Send(const AVPacket* pkt, const PacketSink& sink)
    {
        const int err = avcodec_send_packet(m_dec, pkt);
        if (err < 0 && err != AVERROR_INVALIDDATA)
            Check(err, "cannot decode the input");
        Receive(sink);
    }

    // The end of the input: what the decoder, the resampler and the encoder hold.
    void Finish(const PacketSink& sink)
    {
        avcodec_send_packet(m_dec, nullptr);
        Receive(sink);
        if (m_swr) {
            for (;;) {
                const int got = Resample(nullptr, 0);
                if (got <= 0)
                    break;
            }
        }
        if (m_fifo)
            EncodeAudio(true, sink);
        Encode(nullptr, sink);
    }

private:
    void Receive(const PacketSink& sink)
    {
        for (;;) {
            const int err = avcodec_receive_frame(m_dec, m_frame);
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
                return;
            if (err == AVERROR_INVALIDDATA)
                continue;
            Check(err, "cannot decode the input");
            if (m_enc->codec_type == AVMEDIA_TYPE_VIDEO)
                EncodePicture(sink);
            else
                TakeSound(sink);
            av_frame_unref(m_frame);
        }
    }

    void EncodePicture(const PacketSink& sink)
    {
        const int64_t ts = m_frame->best_effort_timestamp;
        int64_t pts = ts == AV_NOPTS_VALUE ? (m_last == AV_NOPTS_VALUE ? 0 : m_last + 1)
                                           : av_rescale_q(ts, m_dec->pkt_timebase, m_enc->time_base);
        // Two pictures in one slot of the coded rate: the later one is kept.
        if (m_last != AV_NOPTS_VALUE && pts <= m_last)
            pts = m_last + 1;
        m_last = pts;
        m_sws = sws_getCachedContext(m_sws, m_frame->width, m_frame->height, (AVPixelFormat)m_frame->format,
                                     m_enc->width, m_enc->height, m_enc->pix_fmt, SWS_BICUBIC, nullptr, nullptr,
                                     nullptr);
        if (!m_sws)
            Throw("cannot convert a picture of " + std::to_string(m_frame->width) + "x" +
                  std::to_string(m_frame->height));
        av_frame_unref(m_out);
        m_out->format = m_enc->pix_fmt;
        m_out->width = m_enc->width;
        m_out->height = m_enc->height;
        Check(av_frame_get_buffer(m_out, 0), "out of memory");
        sws_scale(m_sws, m_frame->data, m_frame->linesize, 0, m_frame->height, m_out->data, m_out->linesize);
        m_out->pts = pts;
        Encode(m_out, sink);
    }

    void TakeSound(const PacketSink& sink)
    {
        if (!m_swr) {
            AVChannelLayout source;
            if (m_frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || !av_channel_layout_check(&m_frame->ch_layout))
                av_channel_layout_default(&source, std::max(1, m_frame->ch_layout.nb_channels));
            else
                Check(av_channel_layout_copy(&source, &m_frame->ch_layout), "cannot set up the audio channels");
            const int err = swr_alloc_set_opts2(&m_swr, &m_enc->ch_layout, m_enc->sample_fmt, m_enc->sample_rate,
                                                &source, (AVSampleFormat)m_frame->format, m_frame->sample_rate, 0,
                                                nullptr);
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
    int Resample(const uint8_t** in, int count)
    {
        const int room = swr_get_out_samples(m_swr, count);
        if (room <= 0)
            return 0;
        uint8_t** planes = nullptr;
        const int channels = m_enc->ch_layout.nb_channels;
        Check(av_samples_alloc_array_and_samples(&planes, nullptr, channels, room, m_enc->sample_fmt, 0),
              "out of memory");
        struct Freer {
            uint8_t*** p;
            ~Freer()
            {
                av_freep(&(*p)[0]);
                av_freep(p);
            }
        } freer{&planes};
        const int got = swr_convert(m_swr, planes, room, in, count);
        Check(got, "cannot convert the audio");
        if (got > 0 && av_audio_fifo_write(m_fifo, (void**)planes, got) < got)
            throw std::bad_alloc();
        return got;
    }

    // Whole encoder frames from the queue; at the end also the rest, padded
    // with silence when the encoder takes whole frames only.
    void EncodeAudio(bool last, const PacketSink& sink)
    {
        const bool anySize = m_enc->frame_size <= 0 || (m_enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
        const int size = anySize ? 1024 : m_enc->frame_size;
        for (;;) {
            const int have = av_audio_fifo_size(m_fifo);
            if (have <= 0 || (have < size && !last))
                return;
            const int take = std::min(have, size);
            const bool pad = take < size && !anySize && !(m_enc->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
            av_frame_unref(m_out);
            m_out->format = m_enc->sample_fmt;
            m_out->sample_rate = m_enc->sample_rate;
            m_out->nb_samples = pad ? size : take;
            Check(av_channel_layout_copy(&m_out->ch_layout, &m_enc->ch_layout), "cannot set up the audio channels");
            Check(av_frame_get_buffer(m_out, 0), "out of memory");
            if (av_audio_fifo_read(m_fifo, (void**)m_out->data, take) < take)
                Throw("cannot convert the audio");
            if (pad)
                av_samples_set_silence(m_out->data, take, size - take, m_enc->ch_layout.nb_channels,
                                       m_enc->sample_fmt);
            m_out->pts = m_next;
            m_next += m_out->nb_samples;
            Encode(m_out, sink);
        }
    }

    void Encode(const AVFrame* frame, const PacketSink& sink)
    {
        Check(avcodec_send_frame(m_enc, frame), std::string("cannot encode with ") + m_enc->codec->name);
        for (;;) {
            const int err = avcodec_receive_packet(m_enc, m_pkt);
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
                return;
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
    int64_t m_last = AV_NOPTS_VALUE;   // the last picture's time
    int64_t m_next = 0;                // the next sample's time
};

struct CopyStream {
    int input = 0, stream = 0;
    AVStream* out = nullptr;
    AVBSFContext* bsf = nullptr;
    StreamCoder* coder = nullptr;   // null when the stream is copied
    int64_t lastDts = AV_NOPTS_VALUE;
};

int RunCopy(const SmeltrixOptions& opt)
{
    CheckCanWrite(opt.output, opt.overwrite);

    // The inputs.
    std::vector<SmeltrixInput> wanted;
    wanted.push_back(SmeltrixInput{opt.input, opt.inputFormat, opt.inputSeekUs, opt.inputDurationUs});
    wanted.insert(wanted.end(), opt.moreInputs.begin(), opt.moreInputs.end());
    std::vector<CopyInput> inputs(wanted.size());
    struct InputsGuard {
        std::vector<CopyInput>& in;
        ~InputsGuard()
        {
            for (CopyInput& i : in) {
                av_packet_free(&i.pkt);
                avformat_close_input(&i.fmt);
            }
        }
    } inputsGuard{inputs};
    for (size_t k = 0; k < wanted.size(); ++k) {
        const SmeltrixInput& source = wanted[k];
        const AVInputFormat* ifmt = nullptr;
        if (!source.format.empty() && !(ifmt = av_find_input_format(source.format.c_str())))
            Throw("unknown input format: " + source.format);
        AVDictionary* options = nullptr;
        if (ifmt && strcmp(ifmt->name, "concat") == 0)
            av_dict_set_int(&options, "safe", opt.safe, 0);
        const int err = avformat_open_input(&inputs[k].fmt, source.path.c_str(), ifmt, &options);
        av_dict_free(&options);
        Check(err, "cannot open " + source.path);
        Check(avformat_find_stream_info(inputs[k].fmt, nullptr), "cannot read the streams of " + source.path);
        inputs[k].pkt = av_packet_alloc();
        if (!inputs[k].pkt)
            throw std::bad_alloc();
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

    // The streams: as mapped, or the best video and the best audio of the inputs.
    std::vector<std::pair<int, int>> chosen = opt.maps;
    if (chosen.empty()) {
        for (AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
            if ((type == AVMEDIA_TYPE_VIDEO && opt.noVideo) || (type == AVMEDIA_TYPE_AUDIO && opt.noAudio))
                continue;
            for (size_t k = 0; k < inputs.size(); ++k) {
                const int best = av_find_best_stream(inputs[k].fmt, type, -1, -1, nullptr, 0);
                if (best >= 0) {
                    chosen.emplace_back((int)k, best);
                    break;
                }
            }
        }
    }
    if (chosen.empty())
        Throw("no stream to copy from " + opt.input);

    const AVOutputFormat* ofmt = nullptr;
    if (!opt.outputFormat.empty()) {
        ofmt = av_guess_format(opt.outputFormat.c_str(), nullptr, nullptr);
        if (!ofmt)
            Throw("unknown output format: " + opt.outputFormat);
    } else if (!(ofmt = av_guess_format(nullptr, opt.output.c_str(), nullptr))) {
        Throw("cannot tell the output format from the name " + opt.output + " (give -f)");
    }

    const std::string temp = TempName(opt.output);
    AVFormatContext* out = nullptr;
    Check(avformat_alloc_output_context2(&out, ofmt, nullptr, temp.c_str()), "cannot set up " + opt.output);
    std::vector<CopyStream> streams;
    std::vector<std::unique_ptr<StreamCoder>> coders;
    bool opened = false;
    struct OutputGuard {
        AVFormatContext*& out;
        std::vector<CopyStream>& streams;
        bool& opened;
        const std::string& temp;
        bool done = false;
        ~OutputGuard()
        {
            for (CopyStream& s : streams)
                av_bsf_free(&s.bsf);
            if (out) {
                if (out->pb)
                    avio_closep(&out->pb);
                avformat_free_context(out);
            }
            if (opened && !done)
                DeleteFileUtf8(temp);
        }
    } outputGuard{out, streams, opened, temp};

    // Each input stream at most once; -1 = not taken.
    std::vector<std::vector<int>> route(inputs.size());
    for (size_t k = 0; k < inputs.size(); ++k)
        route[k].assign(inputs[k].fmt->nb_streams, -1);
    for (const auto& m : chosen) {
        if (m.first < 0 || m.first >= (int)inputs.size() || m.second < 0 ||
            m.second >= (int)inputs[m.first].fmt->nb_streams)
            Throw("no stream " + std::to_string(m.first) + ":" + std::to_string(m.second));
        AVStream* in = inputs[m.first].fmt->streams[m.second];
        const AVMediaType type = in->codecpar->codec_type;
        if ((type == AVMEDIA_TYPE_VIDEO && opt.noVideo) || (type == AVMEDIA_TYPE_AUDIO && opt.noAudio) ||
            route[m.first][m.second] >= 0)
            continue;
        if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO)
            Throw("stream " + std::to_string(m.first) + ":" + std::to_string(m.second) + " is neither video nor audio");
        CopyStream cs;
        cs.input = m.first;
        cs.stream = m.second;
        // Encoded again when the command names a codec for its kind, else copied.
        const std::string& codec = type == AVMEDIA_TYPE_VIDEO ? opt.videoCodec : opt.audioCodec;
        const AVCodecParameters* source = in->codecpar;
        AVRational sourceBase = in->time_base;
        std::unique_ptr<AVCodecParameters, void (*)(AVCodecParameters*)> coded(
            nullptr, [](AVCodecParameters* p) { avcodec_parameters_free(&p); });
        if (!codec.empty() && codec != "copy") {
            coders.emplace_back(new StreamCoder(in, codec, opt, ofmt));
            cs.coder = coders.back().get();
            coded.reset(avcodec_parameters_alloc());
            if (!coded)
                throw std::bad_alloc();
            Check(avcodec_parameters_from_context(coded.get(), cs.coder->Encoder()), "cannot set up the output stream");
            source = coded.get();
            sourceBase = cs.coder->Encoder()->time_base;
        }
        cs.bsf = MakeFilter(type == AVMEDIA_TYPE_VIDEO ? opt.videoBitstreamFilter : opt.audioBitstreamFilter, source,
                            sourceBase);
        const AVCodecParameters* par = cs.bsf ? cs.bsf->par_out : source;
        if (avformat_query_codec(ofmt, par->codec_id, FF_COMPLIANCE_NORMAL) == 0)
            Throw(std::string("the format ") + ofmt->name + " cannot hold " + avcodec_get_name(par->codec_id));
        cs.out = avformat_new_stream(out, nullptr);
        if (!cs.out)
            throw std::bad_alloc();
        Check(avcodec_parameters_copy(cs.out->codecpar, par), "cannot copy the stream's description");
        if (!cs.coder)
            cs.out->codecpar->codec_tag = 0;  // the output container's own tag
        cs.out->time_base = cs.bsf ? cs.bsf->time_base_out : sourceBase;
        if (cs.coder && type == AVMEDIA_TYPE_VIDEO) {
            cs.out->avg_frame_rate = cs.coder->Encoder()->framerate;
            cs.out->sample_aspect_ratio = cs.coder->Encoder()->sample_aspect_ratio;
        }
        route[m.first][m.second] = (int)streams.size();
        streams.push_back(cs);
    }
    if (streams.empty())
        Throw("no stream to copy from " + opt.input);
    for (size_t k = 0; k < inputs.size(); ++k)
        for (unsigned i = 0; i < inputs[k].fmt->nb_streams; ++i)
            if (route[k][i] < 0)
                inputs[k].fmt->streams[i]->discard = AVDISCARD_ALL;

    if (!(ofmt->flags & AVFMT_NOFILE)) {
        Check(avio_open(&out->pb, temp.c_str(), AVIO_FLAG_WRITE), "cannot create " + temp);
        opened = true;
    }
    Check(avformat_write_header(out, nullptr), "cannot start " + opt.output);

    ProgressRelay progress(opt.callbackWindow, opt.callbackContext);
    const int64_t durationUs = inputs[0].fmt->duration > 0 ? inputs[0].fmt->duration : 0;
    int64_t totalMs = durationUs / 1000;
    if (inputs[0].endUs >= 0)
        totalMs = std::min(totalMs ? totalMs : INT64_MAX, (inputs[0].endUs - inputs[0].startUs) / 1000);
    progress.Start(totalMs);
    int frames = 0;
    int64_t positionMs = 0;

    // Writes one packet of an output stream (through its filter).
    auto write = [&](CopyStream& cs, AVPacket* pkt, AVRational tb) {
        av_packet_rescale_ts(pkt, tb, cs.out->time_base);
        pkt->stream_index = cs.out->index;
        pkt->pos = -1;
        // Muxers take only rising decoding times within a stream.
        if (pkt->dts != AV_NOPTS_VALUE && cs.lastDts != AV_NOPTS_VALUE && pkt->dts <= cs.lastDts) {
            const int64_t fixed = cs.lastDts + 1;
            if (pkt->pts != AV_NOPTS_VALUE && pkt->pts < fixed)
                pkt->pts = fixed;
            pkt->dts = fixed;
        }
        if (pkt->dts != AV_NOPTS_VALUE)
            cs.lastDts = pkt->dts;
        if (cs.out->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            ++frames;
        Check(av_interleaved_write_frame(out, pkt), "cannot write " + opt.output);
    };
    auto send = [&](CopyStream& cs, AVPacket* pkt, AVRational tb) {
        if (!cs.bsf) {
            write(cs, pkt, tb);
            return;
        }
        Check(av_bsf_send_packet(cs.bsf, pkt), "the bitstream filter failed");
        for (;;) {
            const int err = av_bsf_receive_packet(cs.bsf, pkt);
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
                break;
            Check(err, "the bitstream filter failed");
            write(cs, pkt, cs.bsf->time_base_out);
        }
    };

    // Packets from the inputs in the order of their times.
    auto next = [&](CopyInput& in) {
        while (!in.pending && !in.ended) {
            const int err = av_read_frame(in.fmt, in.pkt);
            if (err == AVERROR_EOF || err == AVERROR(EIO)) {
                in.ended = true;
                break;
            }
            Check(err, "cannot read the input");
            in.pending = true;
        }
    };
    auto timeUs = [&](const CopyInput& in, bool shown = false) {
        const AVStream* st = in.fmt->streams[in.pkt->stream_index];
        const int64_t first = shown ? in.pkt->pts : in.pkt->dts, second = shown ? in.pkt->dts : in.pkt->pts;
        const int64_t t = first != AV_NOPTS_VALUE ? first : second;
        return t == AV_NOPTS_VALUE ? INT64_MIN : av_rescale_q(t, st->time_base, AVRational{1, AV_TIME_BASE}) - in.originUs;
    };
    for (;;) {
        int pick = -1;
        int64_t best = INT64_MAX;
        for (size_t k = 0; k < inputs.size(); ++k) {
            next(inputs[k]);
            if (inputs[k].pending && timeUs(inputs[k]) < best)
                best = timeUs(inputs[k]), pick = (int)k;
            else if (inputs[k].pending && pick < 0)
                pick = (int)k;
        }
        if (pick < 0)
            break;
        CopyInput& in = inputs[pick];
        in.pending = false;
        const int route1 = route[pick][in.pkt->stream_index];
        const int64_t t = timeUs(in);
        // The stretch taken is judged by the time a packet is shown: with
        // reordered pictures the first ones are decoded before the start.
        const int64_t shown = timeUs(in, true);
        const bool late = in.endUs >= 0 && shown != INT64_MIN && shown >= in.endUs;
        if (route1 < 0 || (in.startUs > 0 && shown != INT64_MIN && shown < in.startUs) || late) {
            if (late && (t == INT64_MIN || t >= in.endUs))
                in.ended = true;
            av_packet_unref(in.pkt);
            continue;
        }
        // Times start from the stretch taken; where a joined stream starts its
        // times again they go on from the latest one instead.
        const AVStream* st = in.fmt->streams[in.pkt->stream_index];
        if ((in.fmt->iformat->flags & AVFMT_TS_DISCONT) && t != INT64_MIN) {
            if (in.nextUs.size() < in.fmt->nb_streams)
                in.nextUs.resize(in.fmt->nb_streams, INT64_MIN);
            int64_t& expected = in.nextUs[(size_t)in.pkt->stream_index];
            int64_t now = t + in.discontUs;
            if (expected != INT64_MIN && (now < expected - AV_TIME_BASE / 10 || now > expected + 10 * AV_TIME_BASE)) {
                in.discontUs += expected - now;
                now = expected;
            }
            const int64_t length = in.pkt->duration > 0
                                       ? av_rescale_q(in.pkt->duration, st->time_base, AVRational{1, AV_TIME_BASE})
                                       : 0;
            expected = now + length;
        }
        const int64_t shift =
            av_rescale_q(in.originUs + in.startUs - in.discontUs, AVRational{1, AV_TIME_BASE}, st->time_base);
        if (in.pkt->pts != AV_NOPTS_VALUE)
            in.pkt->pts -= shift;
        if (in.pkt->dts != AV_NOPTS_VALUE)
            in.pkt->dts -= shift;
        if (pick == 0 && t != INT64_MIN)
            positionMs = std::max(positionMs, (t - in.startUs) / 1000);
        CopyStream& cs = streams[(size_t)route1];
        if (cs.coder)
            cs.coder->Send(in.pkt, [&](AVPacket* p) { send(cs, p, cs.coder->Encoder()->time_base); });
        else
            send(cs, in.pkt, st->time_base);
        av_packet_unref(in.pkt);
        if (progress.Progress(positionMs, frames, false)) {
            progress.Finish(positionMs, frames);
            Throw("stopped by the caller", 2);
        }
    }
    // What the encoders and then the filters still hold.
    for (CopyStream& cs : streams)
        if (cs.coder)
            cs.coder->Finish([&](AVPacket* p) { send(cs, p, cs.coder->Encoder()->time_base); });
    for (CopyStream& cs : streams)
        if (cs.bsf) {
            AVPacket* pkt = av_packet_alloc();
            if (!pkt)
                throw std::bad_alloc();
            av_bsf_send_packet(cs.bsf, nullptr);
            while (av_bsf_receive_packet(cs.bsf, pkt) == 0)
                write(cs, pkt, cs.bsf->time_base_out);
            av_packet_free(&pkt);
        }
    Check(av_write_trailer(out), "cannot finish " + opt.output);
    if (out->pb)
        Check(avio_closep(&out->pb), "cannot write " + temp);
    if (!MoveReplace(temp, opt.output))
        Throw("cannot rename " + temp + " to " + opt.output);
    outputGuard.done = true;
    progress.Progress(totalMs, frames, true);
    progress.Finish(totalMs, frames);
    return 0;
}

// The output is a picture series (or one picture).
bool IsPictureOutput(const SmeltrixOptions& opt)
{
    const AVOutputFormat* ofmt = opt.outputFormat.empty() ? av_guess_format(nullptr, opt.output.c_str(), nullptr)
                                                          : av_guess_format(opt.outputFormat.c_str(), nullptr, nullptr);
    return ofmt && strcmp(ofmt->name, "image2") == 0;
}

int Run(const SmeltrixOptions& opt)
{
    RemoveStalePartials(opt.output);
    // Copied streams, a second input, mapped streams, a concat list or sound:
    // each stream copied or encoded on its own, without the picture pipeline.
    const bool sound = !opt.audioCodec.empty() && !opt.noAudio;
    if (opt.videoCodec == "copy" || opt.audioCodec == "copy" || !opt.maps.empty() || !opt.moreInputs.empty() ||
        opt.inputFormat == "concat" || (sound && !IsPictureOutput(opt)))
        return RunCopy(opt);
    if (opt.noVideo)
        Throw("-vn leaves no video to encode");
    bool outputIsPictures = false;
    const AVOutputFormat* ofmt = nullptr;
    if (!opt.outputFormat.empty()) {
        ofmt = av_guess_format(opt.outputFormat.c_str(), nullptr, nullptr);
        if (!ofmt)
            Throw("unknown output format: " + opt.outputFormat);
    } else {
        ofmt = av_guess_format(nullptr, opt.output.c_str(), nullptr);
        if (!ofmt)
            Throw("cannot tell the output format from the name " + opt.output + " (give -f)");
    }
    if (strcmp(ofmt->name, "image2") == 0) {
        outputIsPictures = true;
        if (sound)
            Throw("pictures carry no sound: -codec:a " + opt.audioCodec);
        if (!opt.videoCodec.empty() && opt.videoCodec != "bmp")
            Throw("pictures are written as BMP only, not " + opt.videoCodec);
        const char* ext = strrchr(opt.output.c_str(), '.');
        if (!ext || av_strcasecmp(ext, ".bmp") != 0)
            Throw("pictures are written as BMP only: " + opt.output);
    }

    // The input.
    std::unique_ptr<FrameSource> source;
    bool sequence = (opt.inputFormat.empty() || opt.inputFormat == "image2") && SequenceSource::IsPattern(opt.input);
    if (sequence) {
        AVRational rate = opt.inputRate.num > 0 ? opt.inputRate : AVRational{25, 1};
        source.reset(new SequenceSource(opt.input, rate));
    } else {
        source.reset(new VideoSource(opt.input, opt.inputFormat, opt.inputSeekUs, opt.threads));
    }

    // The stretch of the input to use, in seconds from its start.
    Time start = FromUs(opt.inputSeekUs + opt.outputSeekUs);
    bool bounded = false;
    Time end{0, 1};
    if (opt.inputDurationUs >= 0) {
        end = FromUs(opt.inputSeekUs + opt.inputDurationUs);
        bounded = true;
    }
    if (opt.outputDurationUs >= 0) {
        Time e = FromUs(opt.inputSeekUs + opt.outputSeekUs + opt.outputDurationUs);
        if (!bounded || Less(e, end))
            end = e;
        bounded = true;
    }
    Time length = source->Length();
    Time stretchEnd = length;
    if (bounded && (length.num < 0 || Less(end, length)))
        stretchEnd = end;

    // The output and its frame rate.
    AVRational wantedRate = opt.outputRate.num > 0 ? opt.outputRate : source->Rate();
    bool passThrough = outputIsPictures && opt.outputRate.num <= 0;
    std::unique_ptr<FrameSink> sink;
    AVRational rate = wantedRate;
    if (outputIsPictures) {
        sink.reset(new PictureSeriesSink(opt.output, opt.overwrite, opt.maxFrames == 1));
    } else {
        VideoFileSink* v = new VideoFileSink(opt, ofmt, wantedRate);
        sink.reset(v);
        rate = v->EncodedRate();
    }

    // Progress: pictures for a series, milliseconds for a video.
    ProgressRelay progress(opt.callbackWindow, opt.callbackContext);
    int64_t total = 0;
    if (source->CountsFrames()) {
        total = source->FrameCount();
    } else if (stretchEnd.num >= 0) {
        total = std::max<int64_t>(ToMs(Sub(stretchEnd, start)), 0);
    }
    progress.Start(total);

    // Pictures are read, decoded and converted on a thread of their own while this
    // thread encodes and writes them.
    PictureQueue queue;
    std::thread reader([&]() { ReadPictures(*source, *sink, opt, start, end, bounded, queue); });
    struct ReaderGuard {
        PictureQueue& q;
        std::thread& t;
        ~ReaderGuard()
        {
            q.Cancel();
            if (t.joinable())
                t.join();
        }
    } readerGuard{queue, reader};

    AVFrame* held = nullptr;   // the converted picture shown until the next one starts
    struct HeldGuard {
        AVFrame** f;
        ~HeldGuard() { av_frame_free(f); }
    } heldGuard{&held};
    int64_t outFrames = 0;
    int consumed = 0;
    bool limitReached = false;
    bool opened = false;
    auto emit = [&](const AVFrame* pic) {
        if (opt.maxFrames > 0 && outFrames >= opt.maxFrames) {
            limitReached = true;
            return;
        }
        sink->Write(pic);
        ++outFrames;
    };
    // Output frame k covers [k/rate, (k+1)/rate) from the start of the stretch.
    auto slotTime = [&](int64_t k) { return Time{k * (int64_t)rate.den, rate.num}; };
    auto emitUntil = [&](const Time& until) {
        while (!limitReached && Less(slotTime(outFrames), until))
            emit(held);
    };

    Time lastEnd{0, 1};
    bool any = false;
    try {
        QueuedPicture item;
        while (!limitReached && queue.Pop(&item)) {
            consumed = item.consumed;
            if (!item.picture) {
                // Before the start of the stretch.
                if (progress.Progress(0, consumed, false))
                    break;
                continue;
            }
            if (!opened) {
                sink->Open(item.frameWidth, item.frameHeight);
                opened = true;
            }
            Time rel = Sub(item.time, start);
            if (passThrough) {
                emit(item.picture);
                av_frame_free(&item.picture);
            } else {
                if (held)
                    emitUntil(rel);
                av_frame_free(&held);
                held = item.picture;
            }
            item.picture = nullptr;
            any = true;
            lastEnd = Sub(Add(item.time, item.duration), start);
            int64_t pos = source->CountsFrames() ? consumed : ToMs(rel);
            if (progress.Progress(pos, consumed, false))
                break;
        }
        queue.Cancel();
        reader.join();
        if (progress.StopAsked())
            Throw("stopped by the caller", 2);
        if (!queue.Error().message.empty())
            throw queue.Error();
        if (!any)
            Throw("no frames to write in " + opt.input);
        if (held) {
            // The last picture lasts to the end of the stretch, or for its own duration.
            Time until = lastEnd;
            if (source->CountsFrames() || bounded) {
                if (stretchEnd.num >= 0)
                    until = Sub(stretchEnd, start);
            }
            emitUntil(until);
            if (outFrames == 0)
                emit(held);
        }
        if (progress.Progress(total, consumed, true))
            Throw("stopped by the caller", 2);
        sink->Close();
    } catch (...) {
        queue.Cancel();
        if (reader.joinable())
            reader.join();
        sink->Discard();
        progress.Finish(0, consumed);
        throw;
    }
    progress.Finish(total, consumed);
    return 0;
}

} // namespace

int main()
{
    std::vector<std::string> args = modtext::CommandLineUtf8();
    if (!args.empty())
        args.erase(args.begin());
    SmeltrixOptions opt;
    std::string err = ParseSmeltrixOptions(args, opt);
    if (!err.empty()) {
        modtext::ErrorLine("Smeltrix: " + err);
        return 1;
    }
    av_log_set_level(AV_LOG_FATAL);
    try {
        return Run(opt);
    } catch (const RunError& e) {
        modtext::ErrorLine("Smeltrix: " + e.message);
        return e.exitCode;
    } catch (const std::bad_alloc&) {
        modtext::ErrorLine("Smeltrix: out of memory");
        return 1;
    } catch (const std::exception& e) {
        modtext::ErrorLine(std::string("Smeltrix: ") + e.what());
        return 1;
    }
}
