#pragma once
// Picture files for the image tests: a private directory, reference files
// made by ImageMagick (always called by its full path), raw RGB dumps to
// compare with, and hand-made BMP files for the cases no tool writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "graphics/vram.hpp"

namespace vx::test {

inline constexpr const char* kConvert = "/usr/bin/convert";

class PictureDir {
 public:
  PictureDir() {
    char pattern[] = "/tmp/vexmora-images-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made != nullptr ? made : "/tmp";
  }
  ~PictureDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  PictureDir(const PictureDir&) = delete;
  PictureDir& operator=(const PictureDir&) = delete;

  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Runs ImageMagick's convert with the given arguments; true on success.
inline bool Convert(const std::string& arguments) {
  const std::string command = std::string(kConvert) + " " + arguments + " 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A picture as ImageMagick decodes it: top-down rows of red, green, blue.
struct RawPicture {
  int width = 0;
  int height = 0;
  std::string rgb;
  graphics::Color At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return graphics::Color{static_cast<std::uint8_t>(rgb[i + 2]), static_cast<std::uint8_t>(rgb[i + 1]),
                           static_cast<std::uint8_t>(rgb[i])};
  }
};

inline RawPicture DecodeWithConvert(const std::string& file, int width, int height) {
  const std::string raw = file + ".rgb";
  RawPicture p;
  if (!Convert("'" + file + "' -depth 8 rgb:'" + raw + "'")) return p;
  p.rgb = ReadFileBytes(raw);
  if (p.rgb.size() == static_cast<std::size_t>(width) * height * 3) {
    p.width = width;
    p.height = height;
  }
  return p;
}

// Largest component difference between the bank at (x, y) and the
// reference picture (whole), or 256 when sizes do not match.
inline int LargestDifference(const std::uint8_t* bank, int x, int y, const RawPicture& ref) {
  if (ref.width == 0) return 256;
  int largest = 0;
  for (int j = 0; j < ref.height; ++j) {
    for (int i = 0; i < ref.width; ++i) {
      const graphics::Color a = graphics::ReadPixel(bank, x + i, y + j);
      const graphics::Color b = ref.At(i, j);
      largest = std::max({largest, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
    }
  }
  return largest;
}

// A hand-made BMP: 14 + 40 header bytes, rows as the header says
// (bottom-up unless `top_down`), pixel (x, y) from `colour`.
inline std::string MakeBmp(std::int32_t width, std::int32_t height, int bits, bool top_down,
                           const std::function<graphics::Color(int, int)>& colour) {
  std::string out;
  const auto put = [&out](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * bits + 31) / 32 * 4;
  const std::uint32_t palette = bits <= 8 ? (1u << bits) * 4 : 0;
  const std::uint32_t image = stride * static_cast<std::uint32_t>(height);
  out += "BM";
  put(54 + palette + image, 4);
  put(0, 4);
  put(54 + palette, 4);
  put(40, 4);
  put(static_cast<std::uint32_t>(width), 4);
  put(static_cast<std::uint32_t>(top_down ? -height : height), 4);
  put(1, 2);
  put(static_cast<std::uint32_t>(bits), 2);
  put(0, 4);
  put(image, 4);
  for (int i = 0; i < 4; ++i) put(0, 4);  // resolutions, colour counts
  for (std::uint32_t i = 0; i < palette / 4; ++i) put(i * 0x010101u, 4);
  for (int k = 0; k < height; ++k) {
    const int y = top_down ? k : height - 1 - k;
    std::string row(stride, '\0');
    for (int x = 0; x < width && bits == 24; ++x) {
      const graphics::Color c = colour(x, y);
      row[x * 3] = static_cast<char>(c.b);
      row[x * 3 + 1] = static_cast<char>(c.g);
      row[x * 3 + 2] = static_cast<char>(c.r);
    }
    for (int x = 0; x < width && bits == 8; ++x) row[x] = static_cast<char>(colour(x, y).g);
    out += row;
  }
  return out;
}

// A colour that differs at every pixel of a small picture.
inline graphics::Color Pattern(int x, int y) {
  return graphics::Color{static_cast<std::uint8_t>(x * 7 + y), static_cast<std::uint8_t>(y * 11 + 3),
                         static_cast<std::uint8_t>(x * 3 + y * 5 + 100)};
}

}  // namespace vx::test
