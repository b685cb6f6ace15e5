// Rendering, BMP files, picture sizes and file helpers.
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <zlib.h>

#include "modules/quillfen/QfCore.h"

namespace qf {

namespace {
ModuleInterface* g_boundTable = nullptr;
std::atomic<uint64_t> g_decodeLimit{kMaxDecodedBytes};
}  // namespace

uint64_t DecodeLimit() { return g_decodeLimit.load(std::memory_order_relaxed); }
void SetDecodeLimit(uint64_t bytes) { g_decodeLimit = std::min(bytes, kMaxDecodedBytes); }

void BindTable(ModuleInterface* table) { g_boundTable = table; }

void* Alloc(size_t size) {
  QfAllocFn fn = g_boundTable ? g_boundTable->pfnAlloc : nullptr;
  return fn && size ? fn(size) : nullptr;
}

void FreeBuffer(void* p) {
  QfFreeFn fn = g_boundTable ? g_boundTable->pfnFree : nullptr;
  if (fn && p) fn(p);
}

void DefaultWindow(const Volume& v, int frame, double& center, double& width) {
  if (v.hasWindow) {
    center = v.center;
    width = v.width_;
    return;
  }
  const size_t n = v.FrameSize();
  if (v.channels != 1 || n == 0 || v.grey.size() < (size_t)(frame + 1) * n) {
    center = 127.5;
    width = 256;
    return;
  }
  const float* p = &v.grey[(size_t)frame * n];
  float lo = p[0], hi = p[0];
  for (size_t i = 1; i < n; ++i) {
    lo = std::min(lo, p[i]);
    hi = std::max(hi, p[i]);
  }
  // Lowest value black, highest white, however narrow the range (a dose grid
  // or a tiny rescale slope can span far less than one).
  center = ((double)lo + (double)hi) / 2 + 0.5;
  width = (double)hi - (double)lo + 1;
}

void RenderFrame(const Volume& v, int frame, double center, double width, std::vector<uint8_t>& out) {
  const size_t n = v.FrameSize();
  const size_t samples = v.channels == 3 ? n * 3 : n;
  out.resize(samples);
  if (width < 1) width = 1;
  // Linear window: values up to the low edge are black, above the high edge
  // white. Colour samples go through the same window (the default one of a
  // colour image leaves them as they are).
  const double low = center - 0.5 - (width - 1) / 2, high = center - 0.5 + (width - 1) / 2;
  const double scale = width > 1 ? 255.0 / (width - 1) : 0;
  const double base = center - 0.5;
  auto map = [&](double x) {
    if (x <= low) return (uint8_t)0;
    if (x > high) return (uint8_t)255;
    // Above the low edge the value is not negative: truncation is the floor.
    const double y = (x - base) * scale + 127.5;
    return (uint8_t)(y >= 255 ? 255 : y >= 0 ? (int)y : 0);  // NaN ends as 0
  };
  if (v.channels == 3) {
    const uint8_t* p = &v.rgb[(size_t)frame * samples];
    if (center == 127.5 && width == 256) {
      memcpy(out.data(), p, samples);
      return;
    }
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = map(i);
    for (size_t i = 0; i < samples; ++i) out[i] = table[p[i]];
    return;
  }
  const float* p = &v.grey[(size_t)frame * n];
  for (size_t i = 0; i < n; ++i) {
    const uint8_t y = map(p[i]);
    out[i] = v.invert ? 255 - y : y;
  }
}

// ---- BMP --------------------------------------------------------------------

namespace {
void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = (uint8_t)v;
  b[at + 1] = (uint8_t)(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (uint8_t)(v >> (8 * i));
}
uint32_t Get32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
uint16_t Get16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
uint32_t Get32BE(const uint8_t* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }
uint16_t Get16BE(const uint8_t* p) { return (uint16_t)(p[0] << 8 | p[1]); }
}  // namespace

bool WriteBmp(const std::string& path, int width, int height, int channels, const uint8_t* pixels) {
  const int bpp = channels == 3 ? 24 : 8;
  const size_t stride = ((size_t)width * bpp / 8 + 3) & ~(size_t)3;
  const size_t palette = channels == 3 ? 0 : 256 * 4;
  const size_t offset = 14 + 40 + palette;
  std::vector<uint8_t> b(offset + stride * height, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, (uint32_t)b.size());
  Put32(b, 10, (uint32_t)offset);
  Put32(b, 14, 40);
  Put32(b, 18, (uint32_t)width);
  Put32(b, 22, (uint32_t)height);
  Put16(b, 26, 1);
  Put16(b, 28, (uint32_t)bpp);
  Put32(b, 34, (uint32_t)(stride * height));
  Put32(b, 38, 2835);
  Put32(b, 42, 2835);
  if (palette) {
    Put32(b, 46, 256);
    for (int i = 0; i < 256; ++i) b[54 + 4 * i] = b[55 + 4 * i] = b[56 + 4 * i] = (uint8_t)i;
  }
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &b[offset + stride * (size_t)(height - 1 - y)];
    const uint8_t* src = pixels + (size_t)y * width * channels;
    if (channels == 3)
      for (int x = 0; x < width; ++x)
        row[3 * x] = src[3 * x + 2], row[3 * x + 1] = src[3 * x + 1], row[3 * x + 2] = src[3 * x];
    else
      memcpy(row, src, (size_t)width);
  }
  return WriteNewFile(path, b);
}

bool ReadBmp(const std::string& path, int& width, int& height, int& channels, std::vector<uint8_t>& pixels,
             std::string& error) {
  // The image container's BMP decoder; a picture file's size is bounded by
  // what the decoder can take (2 GiB).
  std::vector<uint8_t> d;
  if (!ReadWholeFile(path, d, (size_t)0x7FFFFFFF) || d.size() >= (size_t)0x7FFFFFFF) {
    error = "the picture cannot be read";
    return false;
  }
  if (d.size() < 30 || d[0] != 'B' || d[1] != 'M') {
    error = "not a BMP file";
    return false;
  }
  // A cut file must not become a picture with made-up rows: uncompressed
  // rows, and the compressed data size the header states, have to be in the file.
  const uint32_t hsize = Get32(&d[14]);
  if (hsize >= 40 && d.size() >= 38) {
    const int64_t w = (int32_t)Get32(&d[18]), h = (int32_t)Get32(&d[22]);
    const uint32_t bpp = Get16(&d[28]), compression = Get32(&d[30]), sizeImage = Get32(&d[34]);
    const uint64_t offset = Get32(&d[10]);
    const uint64_t stride = ((uint64_t)(w < 0 ? -w : w) * bpp + 31) / 32 * 4;
    const uint64_t need = compression == 0 || compression == 3 ? stride * (uint64_t)(h < 0 ? -h : h) : sizeImage;
    if (offset >= d.size() || offset + need > d.size()) {
      error = "the BMP file is shorter than its header says";
      return false;
    }
  }
  std::vector<Volume> images;
  if (!DecodePicture(d.data(), d.size(), images, error, 1) || images.empty()) return false;
  const Volume& v = images[0];
  width = v.width;
  height = v.height;
  channels = v.channels;
  if (v.channels == 3) {
    pixels = v.rgb;
  } else {
    pixels.resize(v.grey.size());
    for (size_t i = 0; i < v.grey.size(); ++i) pixels[i] = (uint8_t)v.grey[i];
  }
  return true;
}

bool ReadPictureSize(const std::string& path, int& width, int& height) {
  std::vector<uint8_t> d;
  if (!ReadWholeFile(path, d, 1 << 20)) return false;
  const size_t n = d.size();
  if (n >= 26 && d[0] == 'B' && d[1] == 'M') {
    width = (int)(int32_t)Get32(&d[18]);
    int32_t h = (int32_t)Get32(&d[22]);
    height = h < 0 ? -h : h;
    return width > 0 && height > 0;
  }
  if (n >= 24 && memcmp(d.data(), "\x89PNG\r\n\x1a\n", 8) == 0) {
    width = (int)Get32BE(&d[16]);
    height = (int)Get32BE(&d[20]);
    return width > 0 && height > 0;
  }
  if (n >= 10 && (memcmp(d.data(), "GIF87a", 6) == 0 || memcmp(d.data(), "GIF89a", 6) == 0)) {
    width = Get16(&d[6]);
    height = Get16(&d[8]);
    return width > 0 && height > 0;
  }
  if (n >= 4 && d[0] == 0xFF && d[1] == 0xD8) {
    size_t i = 2;
    while (i + 9 < n) {
      if (d[i] != 0xFF) {
        ++i;
        continue;
      }
      const uint8_t m = d[i + 1];
      if (m == 0xFF) {
        ++i;
        continue;
      }
      if (m == 0xD8 || m == 0x01 || (m >= 0xD0 && m <= 0xD7)) {
        i += 2;
        continue;
      }
      const size_t len = Get16BE(&d[i + 2]);
      if ((m >= 0xC0 && m <= 0xCF) && m != 0xC4 && m != 0xC8 && m != 0xCC) {
        height = Get16BE(&d[i + 5]);
        width = Get16BE(&d[i + 7]);
        return width > 0 && height > 0;
      }
      i += 2 + len;
    }
    return false;
  }
  if (n >= 3 && d[0] == 'P' && d[1] >= '1' && d[1] <= '6') {
    // The header alone: magic, width, height (comments allowed between).
    size_t i = 2;
    uint64_t v[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
      for (;;) {
        while (i < n && isspace(d[i])) ++i;
        if (i < n && d[i] == '#') {
          while (i < n && d[i] != '\n' && d[i] != '\r') ++i;
          continue;
        }
        break;
      }
      if (i >= n || !isdigit(d[i])) return false;
      while (i < n && isdigit(d[i]) && v[k] <= 65535) v[k] = v[k] * 10 + (d[i++] - '0');
    }
    if (v[0] == 0 || v[1] == 0 || v[0] > 65535 || v[1] > 65535) return false;
    width = (int)v[0];
    height = (int)v[1];
    return true;
  }
  if (n >= 8 && (memcmp(d.data(), "II*\0", 4) == 0 || memcmp(d.data(), "MM\0*", 4) == 0)) {
    const bool le = d[0] == 'I';
    auto g16 = [&](size_t at) -> uint32_t { return at + 2 <= n ? (le ? Get16(&d[at]) : Get16BE(&d[at])) : 0; };
    auto g32 = [&](size_t at) -> uint32_t { return at + 4 <= n ? (le ? Get32(&d[at]) : Get32BE(&d[at])) : 0; };
    const size_t ifd = g32(4);
    const uint32_t count = g16(ifd);
    width = height = 0;
    for (uint32_t k = 0; k < count; ++k) {
      const size_t e = ifd + 2 + 12 * (size_t)k;
      if (e + 12 > n) break;
      const uint32_t tag = g16(e), type = g16(e + 2);
      const uint32_t value = type == 3 ? g16(e + 8) : g32(e + 8);
      if (tag == 256) width = (int)value;
      if (tag == 257) height = (int)value;
    }
    return width > 0 && height > 0;
  }
  return false;
}

// ---- PNG (stored through zlib) ---------------------------------------------

bool WritePng(const std::string& path, int width, int height, int channels, const uint8_t* pixels) {
  std::vector<uint8_t> raw;
  const size_t rowBytes = (size_t)width * channels;
  raw.reserve((rowBytes + 1) * height);
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), pixels + y * rowBytes, pixels + (y + 1) * rowBytes);
  }
  uLongf zlen = compressBound((uLong)raw.size());
  std::vector<uint8_t> z(zlen);
  if (compress2(z.data(), &zlen, raw.data(), (uLong)raw.size(), 6) != Z_OK) return false;
  z.resize(zlen);
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
    const uint32_t len = (uint32_t)data.size();
    for (int i = 3; i >= 0; --i) out.push_back((uint8_t)(len >> (8 * i)));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uint32_t crc = (uint32_t)crc32(0, &out[start], (uInt)(out.size() - start));
    for (int i = 3; i >= 0; --i) out.push_back((uint8_t)(crc >> (8 * i)));
  };
  std::vector<uint8_t> ihdr(13, 0);
  for (int i = 0; i < 4; ++i) ihdr[3 - i] = (uint8_t)(width >> (8 * i)), ihdr[7 - i] = (uint8_t)(height >> (8 * i));
  ihdr[8] = 8;
  ihdr[9] = channels == 3 ? 2 : 0;
  chunk("IHDR", ihdr);
  chunk("IDAT", z);
  chunk("IEND", {});
  return WriteFileAtomically(path, out, true);
}

// ---- files ------------------------------------------------------------------

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data, size_t limit) {
  data.clear();
#ifdef _WIN32
  // One read of the size the file has: fewer calls, which under Wine cost most.
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(h, &size) != 0 && size.QuadPart >= 0;
  if (ok) {
    uint64_t want = (uint64_t)size.QuadPart;
    if (limit && want > limit) want = limit;
    data.resize((size_t)want);
    size_t got = 0;
    while (ok && got < data.size()) {
      DWORD n = 0;
      const DWORD chunk = (DWORD)std::min<size_t>(data.size() - got, 1u << 30);
      ok = ReadFile(h, data.data() + got, chunk, &n, nullptr) != 0;
      if (n == 0) break;
      got += n;
    }
    data.resize(got);
  }
  CloseHandle(h);
  return ok;
#else
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buf[65536];
  size_t got;
  while ((got = fread(buf, 1, sizeof buf, f)) > 0) {
    data.insert(data.end(), buf, buf + got);
    if (limit && data.size() >= limit) break;
  }
  const bool err = ferror(f) != 0;
  fclose(f);
  return !err;
#endif
}

bool ReadMaybeGzip(const std::string& path, std::vector<uint8_t>& data) {
  data.clear();
  gzFile f = gzopen(path.c_str(), "rb");
  if (!f) return false;
  gzbuffer(f, 1 << 17);
  uint8_t buf[65536];
  int got;
  while ((got = gzread(f, buf, sizeof buf)) > 0) data.insert(data.end(), buf, buf + got);
  int errnum = 0;
  gzerror(f, &errnum);
  gzclose(f);
  return got == 0 && (errnum == Z_OK || errnum == Z_BUF_ERROR);
}

uint64_t FileSize(const std::string& path) {
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return 0;
  return (uint64_t)a.nFileSizeHigh << 32 | a.nFileSizeLow;
#else
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (uint64_t)st.st_size : 0;
#endif
}

bool IsDirectory(const std::string& path) {
#ifdef _WIN32
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
#else
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

bool FileExists(const std::string& path) {
#ifdef _WIN32
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
#else
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
#endif
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  if (last == '\\' || last == '/') return folder + name;
#ifdef _WIN32
  return folder + "\\" + name;
#else
  return folder + "/" + name;
#endif
}

std::string Extension(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  for (char& c : name) c = (char)tolower((unsigned char)c);
  auto ends = [&](const char* e) {
    size_t l = strlen(e);
    return name.size() > l && name.compare(name.size() - l, l, e) == 0;
  };
  if (ends(".gz")) {
    std::string inner = name.substr(0, name.size() - 3);
    size_t dot = inner.rfind('.');
    return dot == std::string::npos ? std::string(".gz") : inner.substr(dot) + ".gz";
  }
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

bool WriteNewFile(const std::string& path, const std::vector<uint8_t>& data) {
#ifdef _WIN32
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, data.data(), (DWORD)data.size(), &written, nullptr) && written == data.size();
  ok = CloseHandle(h) && ok;
  if (!ok) DeleteFileA(path.c_str());
  return ok;
#else
  return WriteFileAtomically(path, data, false);
#endif
}

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& data, bool replace) {
  static std::atomic<unsigned> counter{0};
  char suffix[64];
#ifdef _WIN32
  snprintf(suffix, sizeof suffix, ".%lu-%u.part", (unsigned long)GetCurrentProcessId(), counter.fetch_add(1));
#else
  snprintf(suffix, sizeof suffix, ".%u.part", counter.fetch_add(1));
#endif
  const std::string temp = path + suffix;
  FILE* f = fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = (fclose(f) == 0) && ok;
#ifdef _WIN32
  if (ok) ok = MoveFileExA(temp.c_str(), path.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0) != 0;
  if (!ok) DeleteFileA(temp.c_str());
#else
  if (ok && !replace && FileExists(path)) ok = false;
  if (ok) ok = rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) remove(temp.c_str());
#endif
  return ok;
}

}  // namespace qf
