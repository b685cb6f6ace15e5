#include "QfViewerSeries.h"

#include <gdcmDataSet.h>
#include <gdcmReader.h>
#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <set>

namespace qf {

namespace {
bool Text(const gdcm::DataSet& ds, uint16_t g, uint16_t e, std::string& out) {
  out.clear();
  const gdcm::Tag t(g, e);
  if (!ds.FindDataElement(t)) return false;
  const gdcm::ByteValue* bv = ds.GetDataElement(t).GetByteValue();
  if (!bv || bv->GetLength() == 0) return false;
  out.assign(bv->GetPointer(), bv->GetLength());
  while (!out.empty() && (out.back() == 0 || out.back() == ' ')) out.pop_back();
  return true;
}

// The first value of a number written as text, as the image reader reads it.
bool FirstNumber(const gdcm::DataSet& ds, uint16_t g, uint16_t e, double& value) {
  std::string s;
  if (!Text(ds, g, e, s)) return false;
  const size_t cut = s.find('\\');
  if (cut != std::string::npos) s.resize(cut);
  char* end = nullptr;
  value = strtod(s.c_str(), &end);
  return end != s.c_str() && std::isfinite(value);
}

bool Present(const gdcm::DataSet& ds, uint16_t g, uint16_t e) {
  const gdcm::Tag t(g, e);
  return ds.FindDataElement(t) && ds.GetDataElement(t).GetByteValue() &&
         ds.GetDataElement(t).GetByteValue()->GetLength() > 0;
}
}  // namespace

bool ReadSeriesHeader(const std::string& path, SeriesHeader& header) {
  header = SeriesHeader();
  if (!LooksLikeDicom(path)) return false;
  gdcm::Reader reader;
  reader.SetFileName(path.c_str());
  std::set<gdcm::Tag> skip;
  if (!reader.ReadUpToTag(gdcm::Tag(0x7FE0, 0x0010), skip)) return false;
  const gdcm::DataSet& ds = reader.GetFile().GetDataSet();
  if (!Present(ds, 0x0028, 0x0010) || !Present(ds, 0x0028, 0x0011)) return false;
  double frames = 1;
  if (FirstNumber(ds, 0x0028, 0x0008, frames) && frames != 1) return false;
  double instance = 0;
  header.hasInstance = FirstNumber(ds, 0x0020, 0x0013, instance) && std::fabs(instance) < 2e9;
  header.instance = header.hasInstance ? (int)instance : 0;
  Text(ds, 0x0020, 0x000E, header.series);
  return true;
}

void LazyVolume::Decode(std::unique_lock<std::mutex>& lock) {
  m_state = 1;
  lock.unlock();
  std::shared_ptr<const Volume> decoded;
  try {
    std::vector<Volume> images;
    std::string error;
    if (LoadImages(m_path, images, error) && images.size() == 1 && images[0].frames >= 1)
      decoded = std::make_shared<Volume>(std::move(images[0]));
  } catch (...) {
    decoded.reset();
  }
  lock.lock();
  m_volume = std::move(decoded);
  m_state = 2;
  m_done.notify_all();
}

std::shared_ptr<const Volume> LazyVolume::Get() {
  std::unique_lock<std::mutex> lock(m_lock);
  if (m_state == 0) Decode(lock);
  m_done.wait(lock, [&] { return m_state == 2; });
  return m_volume;
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
