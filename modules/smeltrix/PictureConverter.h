// Picture conversion to the encoder's size and format.
#pragma once
#include "modules/smeltrix/RunSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace smeltrix {

class PictureConverter {
 public:
  PictureConverter(int width, int height, int frameW, int frameH, AVPixelFormat fmt)
      : m_w(width), m_h(height), m_frameW(frameW), m_frameH(frameH), m_fmt(fmt) {}
  ~PictureConverter() {
    sws_freeContext(m_sws);
    av_buffer_pool_uninit(&m_pool);
  }

  // A new picture of the output size holding the source scaled to the
  // picture size and centred when the frame is larger.
  AVFrame* Convert(const AVFrame* src) {
    AVFrame* dst = av_frame_alloc();
    if (!dst) Throw("out of memory");
    dst->format = m_fmt;
    dst->width = m_frameW;
    dst->height = m_frameH;
    if (!m_pool) {
      int size = av_image_get_buffer_size(m_fmt, m_frameW, m_frameH, kAlign);
      m_pool = size > 0 ? av_buffer_pool_init((size_t)size + kAlign, nullptr) : nullptr;
    }
    dst->buf[0] = m_pool ? av_buffer_pool_get(m_pool) : nullptr;
    if (!dst->buf[0] ||
        av_image_fill_arrays(dst->data, dst->linesize, dst->buf[0]->data, m_fmt, m_frameW, m_frameH, kAlign) < 0) {
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
  void ClearToBlack(AVFrame* f) {
    ptrdiff_t lines[4];
    for (int i = 0; i < 4; ++i) lines[i] = f->linesize[i];
    av_image_fill_black(f->data, lines, m_fmt, AVCOL_RANGE_MPEG, f->width, f->height);
  }

  int m_w, m_h, m_frameW, m_frameH;
  AVPixelFormat m_fmt;
  SwsContext* m_sws = nullptr;
  AVBufferPool* m_pool = nullptr;  // pictures return here when the encoder lets go of them
  static constexpr int kAlign = 64;
};

}  // namespace smeltrix
