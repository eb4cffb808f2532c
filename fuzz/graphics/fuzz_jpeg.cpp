// Arbitrary bytes as a JPEG file: the header reader and the decoder at
// several scales and positions must return (ok or with a message), never
// leave the output window, and never exit. The first 4 bytes choose the
// scale and the position.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "graphics/jpeg.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vx::graphics;
  static std::vector<std::uint8_t> bank(VRAM_BANK_BYTES);
  if (size < 4) return 0;
  static constexpr double kScales[] = {1.0, 2.0, 3.0, 0.5, 4.0, 8.0, 1.5, 0.1};
  const double scale = kScales[data[0] & 7];
  const int x = (static_cast<std::int8_t>(data[1])) * 8;
  const int y = (static_cast<std::int8_t>(data[2])) * 8;
  const std::span<const std::uint8_t> file(data + 4, size - 4);

  JpegInfo info;
  std::string error;
  const bool has_header = ReadJpegInfo(file, &info, &error);
  if (!has_header && error.empty()) std::abort();

  JpegDecodeOptions options;
  options.scale = scale;
  options.max_pixels = 1'000'000;  // keeps each run short
  options.window = ResampleWindow{x < 0 ? -x : 0, VRAM_WIDTH - x, y < 0 ? -y : 0, VRAM_HEIGHT - y};
  const JpegDecoded r = DecodeJpeg(file, options, [&](int row, std::span<const std::uint8_t> pixels) {
    const int bx = x + options.window.col_begin;
    const int by = y + row;
    if (by < 0 || by >= VRAM_HEIGHT || bx < 0 || bx + static_cast<int>(pixels.size() / 3) > VRAM_WIDTH) std::abort();
    std::copy(pixels.begin(), pixels.end(), PixelAt(bank.data(), bx, by));
  });
  if (r.ok && !has_header) std::abort();
  if (!r.ok && r.error.empty()) std::abort();
  if (r.ok && (data[3] & 2) != 0) {
    std::string jpeg;
    const PixelRect area{0, 0, std::min(r.out_width, 64) - 1, std::min(r.out_height, 64) - 1};
    if (!area.Empty() && !EncodeJpeg(bank.data(), area, &jpeg, &error)) std::abort();
  }
  return 0;
}
