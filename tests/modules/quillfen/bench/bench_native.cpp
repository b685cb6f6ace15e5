// Native yardstick for the library benchmark: the same work as one convert
// request per file (read, decode, window to 8 bits, write a BMP), in-process
// with Debian's GDCM.
#include <gdcmImageReader.h>
#include <stdio.h>
#include <stdint.h>
#include <string.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

static bool WriteBmp8(const std::string& path, int w, int h, const std::vector<uint8_t>& px) {
  const size_t stride = ((size_t)w + 3) & ~(size_t)3, offset = 14 + 40 + 1024;
  std::vector<uint8_t> b(offset + stride * h, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (uint8_t)(v >> (8 * i));
  };
  b[0] = 'B', b[1] = 'M';
  put32(2, (uint32_t)b.size());
  put32(10, (uint32_t)offset);
  put32(14, 40);
  put32(18, w);
  put32(22, h);
  b[26] = 1;
  b[28] = 8;
  put32(46, 256);
  for (int i = 0; i < 256; ++i) b[54 + 4 * i] = b[55 + 4 * i] = b[56 + 4 * i] = (uint8_t)i;
  for (int y = 0; y < h; ++y) memcpy(&b[offset + stride * (h - 1 - y)], &px[(size_t)y * w], w);
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(b.data(), 1, b.size(), f) == b.size();
  return fclose(f) == 0 && ok;
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  std::ifstream list(argv[1]);
  std::vector<std::string> files;
  for (std::string line; std::getline(list, line);)
    if (!line.empty()) files.push_back(line);
  auto start = std::chrono::steady_clock::now();
  for (size_t i = 0; i < files.size(); ++i) {
    gdcm::ImageReader reader;
    reader.SetFileName(files[i].c_str());
    if (!reader.Read()) return 3;
    const gdcm::Image& image = reader.GetImage();
    std::vector<char> buf(image.GetBufferLength());
    if (!image.GetBuffer(buf.data())) return 4;
    const int w = image.GetDimension(0), h = image.GetDimension(1);
    const double slope = image.GetSlope(), icpt = image.GetIntercept();
    const int16_t* p = reinterpret_cast<const int16_t*>(buf.data());
    std::vector<float> v((size_t)w * h);
    for (size_t k = 0; k < v.size(); ++k) v[k] = (float)(p[k] * slope + icpt);
    const double c = 40, ww = 400, lo = c - 0.5 - (ww - 1) / 2, hi = c - 0.5 + (ww - 1) / 2;
    std::vector<uint8_t> out(v.size());
    for (size_t k = 0; k < v.size(); ++k)
      out[k] = v[k] <= lo  ? 0
               : v[k] > hi ? 255
                           : (uint8_t)std::min(255.0, std::floor((v[k] - (c - 0.5)) * 255 / (ww - 1) + 127.5));
    if (!WriteBmp8(std::string(argv[2]) + "/n-" + std::to_string(i) + ".bmp", w, h, out)) return 5;
  }
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  printf("%zu files %.3f s\n", files.size(), s);
  return 0;
}
