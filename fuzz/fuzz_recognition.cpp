// Arbitrary bytes as a small picture for both readers: the barcode reader on
// a plane (region and scan lines from the first bytes) and the QR reader on a
// bank. Nothing may crash, read outside the picture or run away.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recognition/barcode.hpp"
#include "recognition/qr.hpp"
#include "recognition/store.hpp"

namespace {

constexpr int kSide = 96;          // the fuzzed picture is kSide x kSide, scaled up
constexpr int kScale = 3;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vx::recognition;
  static std::vector<std::uint8_t> bank(static_cast<std::size_t>(PLANE_WIDTH) * PLANE_HEIGHT * 3, 255);
  static Plane plane;
  static Plane work;
  if (size < 9) return 0;
  const Region region{data[0] * 4 - 100, data[1] * 4 + 1000, data[2] * 4 - 100, data[3] * 8 + 900};
  const int threshold = data[4];
  const bool two_level = (data[5] & 1) != 0;
  data += 6;
  size -= 6;
  const int extent = kSide * kScale;
  for (int y = 0; y < extent; ++y) {
    for (int x = 0; x < extent; ++x) {
      const std::size_t i = static_cast<std::size_t>((y / kScale) * kSide + x / kScale);
      std::uint8_t g = i < size ? data[i] : 255;
      if (two_level) g = (g & 1) != 0 ? 0 : 255;
      plane.SetPixel(x, 1119 + y, g);
      std::uint8_t* p = bank.data() + static_cast<std::size_t>(PLANE_HEIGHT - 1 - y) * PLANE_WIDTH * 3 +
                        static_cast<std::size_t>(x) * 3;
      p[0] = p[1] = p[2] = g;
    }
  }
  const BarcodeResult r = ReadBarcode(plane, region);
  if (r.text.size() > BARCODE_TEXT_MAX) __builtin_trap();
  std::string log;
  const QrOutcome q = ReadQr(Picture{bank.data(), extent + 20, extent + 20}, threshold, work, log);
  if (q.text.size() > QR_TEXT_MAX) __builtin_trap();
  return 0;
}
