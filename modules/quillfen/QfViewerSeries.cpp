#include "modules/quillfen/QfViewerSeries.h"

#include <windows.h>

namespace qf {

void LazyVolume::Decode(std::unique_lock<std::mutex>& lock) {
  m_state = 1;
  lock.unlock();
  std::vector<std::shared_ptr<const Volume>> decoded;
  try {
    std::vector<Volume> images;
    std::string error;
    if (LoadImages(m_path, images, error))
      for (Volume& v : images) decoded.push_back(std::make_shared<Volume>(std::move(v)));
  } catch (...) {
    decoded.clear();
  }
  lock.lock();
  m_images = std::move(decoded);
  m_state = 2;
  m_done.notify_all();
}

std::shared_ptr<const Volume> LazyVolume::Get(size_t image) {
  std::unique_lock<std::mutex> lock(m_lock);
  if (m_state == 0) Decode(lock);
  m_done.wait(lock, [&] { return m_state == 2; });
  return image < m_images.size() && m_images[image]->frames >= 1 ? m_images[image] : nullptr;
}

void LazyVolume::Prefetch() {
  std::unique_lock<std::mutex> lock(m_lock);
  if (m_state == 0) Decode(lock);
}

bool LazyVolume::IsDecoded() {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_state == 2;
}

void BackgroundDecoder::Start(std::vector<std::shared_ptr<LazyVolume>> files) {
  Stop();
  m_stop = false;
  m_thread = std::thread([this, files = std::move(files)] {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    for (const auto& file : files) {
      if (m_stop) return;
      file->Prefetch();
    }
  });
}

void BackgroundDecoder::Stop() {
  m_stop = true;
  if (m_thread.joinable()) m_thread.join();
}

}  // namespace qf
