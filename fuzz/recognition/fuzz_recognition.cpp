// Arbitrary bytes as a small picture for the readers: the barcode reader on
// a plane (region and scan lines from the first bytes), the QR reader on a
// bank, and the plate locator with its rectifying and cutting (the OCR
// engine is left out). Nothing may crash, read outside the picture or run
// away.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recognition/barcode.hpp"
#include "recognition/locate.hpp"
#include "recognition/plate.hpp"
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
  const PlateStyle style = (data[0] & 1) != 0 ? PlateStyle::kLatin : PlateStyle::kJapanese;
  // The plate locator on the picture's part of the region (the rest of the
  // plane is blank and only costs time).
  const Region cut = Normalized(region);
  const Region around{std::max(cut.x1, 0), std::max(cut.y1, 1119), std::min(cut.x2, extent - 1),
                      std::min(cut.y2, 1119 + extent - 1)};
  const bool inside = around.x1 <= around.x2 && around.y1 <= around.y2;
  for (const PlateQuad& quad : inside ? FindPlates(plane, around, style) : std::vector<PlateQuad>()) {
    int w = 0, h = 0;
    RectifiedSize(quad, style, w, h);
    const PlateLayout layout = SegmentPlate(Rectify(plane, quad, w, h), style);
    for (const auto& characters : layout.characters) {
      const GreyImage field = FieldPicture(layout, characters, 48);
      if (field.pixels.size() != static_cast<std::size_t>(field.width) * static_cast<std::size_t>(field.height)) {
        __builtin_trap();
      }
    }
  }
  std::string log;
  // The page around the picture is white, as a cleared bank would say; the
  // locating pass sees only what the plane had written.
  const Picture page{bank.data(), extent + 20, extent + 20, Region{0, 0, extent - 1, extent - 1}, 255};
  const QrOutcome q = ReadQr(page, threshold, work, log);
  if (LocateCode(plane, 1 + threshold % 96)) {
    if (!plane.Written()) __builtin_trap();  // code found where nothing was written
  }
  if (q.text.size() > QR_TEXT_MAX) __builtin_trap();
  return 0;
}
