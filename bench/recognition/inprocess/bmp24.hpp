#pragma once
// Uncompressed 24-bit BMP files, as ImageMagick writes BMP3 TrueColor: the
// pictures both in-process readers of recognition_bench.sh load.
#include <algorithm>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace bench {

// Processor time of the process in seconds, user and system: on a machine
// other work shares, it counts what the reader costs, not how long it
// waited for a core.
inline double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgr;  // rows top-down
};

inline std::uint32_t Le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
  return v;
}

// Uncompressed 24-bit BMP, as ImageMagick writes BMP3 TrueColor.
inline bool LoadBmp(const std::string& path, Image& image) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> b{std::istreambuf_iterator<char>(in), {}};
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || Le(b, 28, 2) != 24 || Le(b, 30, 4) != 0) return false;
  const std::uint32_t offset = Le(b, 10, 4);
  const int width = static_cast<int>(Le(b, 18, 4));
  const int raw_height = static_cast<int>(Le(b, 22, 4));
  const bool top_down = raw_height < 0;
  const int height = top_down ? -raw_height : raw_height;
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  if (width <= 0 || height <= 0 || offset + stride * static_cast<std::size_t>(height) > b.size()) return false;
  image.width = width;
  image.height = height;
  image.bgr.resize(static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    const std::size_t from = offset + stride * static_cast<std::size_t>(top_down ? y : height - 1 - y);
    std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(from), width * 3,
                image.bgr.begin() + static_cast<std::ptrdiff_t>(y) * width * 3);
  }
  return true;
}

}  // namespace bench
