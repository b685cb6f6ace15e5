// The queue between the thread that reads and converts pictures and the one that encodes them.
#pragma once
#include <condition_variable>
#include <deque>
#include <mutex>

#include "modules/smeltrix/RunSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace smeltrix {

// A converted picture on its way from the reading thread to the encoder.
struct QueuedPicture {
  AVFrame* picture = nullptr;  // null for a frame before the start of the stretch
  Time time, duration;
  int consumed = 0;  // input frames read so far
  int frameWidth = 0, frameHeight = 0;
};

// A short queue between the reading thread and the encoding thread.
class PictureQueue {
 public:
  ~PictureQueue() {
    for (QueuedPicture& p : m_items) av_frame_free(&p.picture);
  }
  // Waits for room; false when the queue was cancelled (the picture is freed).
  bool Push(QueuedPicture& p) {
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
  bool Pop(QueuedPicture* p) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait(lock, [&] { return m_cancelled || m_done || !m_items.empty(); });
    if (m_items.empty()) return false;
    *p = m_items.front();
    m_items.pop_front();
    m_cv.notify_all();
    return true;
  }
  void Finish(const RunError* error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (error) m_error = *error;
    m_done = true;
    m_cv.notify_all();
  }
  void Cancel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    m_cv.notify_all();
  }
  bool Cancelled() {
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

}  // namespace smeltrix
