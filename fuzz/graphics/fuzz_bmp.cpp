// Arbitrary bytes as a BMP file and as a packed DIB, placed anywhere in a
// bank: nothing may be read or written outside the data and the bank.
// The first 8 bytes choose x, y, maximum width and maximum height.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "graphics/bmp.hpp"
#include "graphics/picture_files.hpp"

namespace {

std::int32_t Signed16(const std::uint8_t* p) { return static_cast<std::int16_t>(p[0] | p[1] << 8); }
std::int32_t Unsigned16(const std::uint8_t* p) { return p[0] | p[1] << 8; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vx::graphics;
  // One bank for every run: exactly a bank's bytes, so a write past it is
  // caught.
  static std::vector<std::uint8_t> bank(VRAM_BANK_BYTES);
  if (size < 8) return 0;
  const std::int32_t x = Signed16(data) * 2;
  const std::int32_t y = Signed16(data + 2) * 2;
  const std::int32_t max_w = Unsigned16(data + 4) - 100;
  const std::int32_t max_h = Unsigned16(data + 6) - 100;
  const std::span<const std::uint8_t> file(data + 8, size - 8);

  SpanSource as_file(file);
  const BmpLoadResult loaded = LoadBmp(as_file, Surface{bank.data()}, x, y, max_w, max_h);
  const Color key{0, 0, 0};
  LoadBmp(as_file, Surface{bank.data(), 100, 50}, -x, -y, max_w, max_h, &key);
  Image picture;
  const BmpLoadResult read = ReadBmpImage(as_file, max_w, max_h, &picture);
  if (loaded.status != read.status) std::abort();
  if (picture.Bytes() != static_cast<std::size_t>(std::max(picture.width, 0)) * std::max(picture.height, 0) * 3) {
    std::abort();
  }
  LoadDib(file, bank.data());
  return 0;
}
