#pragma once
// One-dimensional barcode reading from a recognition plane: straight scan
// lines across the decode region are sampled below pixel size, cut into
// bar and space widths and handed to the EAN-13 and Interleaved 2 of 5
// decoders. A failed decode leaves its reason as the text.
#include <cstdint>
#include <string>
#include <vector>

#include "recognition/store.hpp"

namespace vx::recognition {

inline constexpr int SAMPLES_MAX = 3000;
inline constexpr int ELEMENTS_MAX = 400;
inline constexpr int SUBSTEP_SPAN = 2700;   // sub-steps per pixel = this / region width
inline constexpr std::size_t BARCODE_TEXT_MAX = 255;

enum BarcodeKind : std::int32_t { BARCODE_NONE = 0, BARCODE_EAN13 = 1, BARCODE_ITF = 3 };

// Run widths in samples: element 0 is a bar, then space, bar, ...
struct Elements {
  std::vector<int> widths;
  int quiet = 0;  // the light run before element 0
};

struct Decoded {
  bool ok = false;
  std::string text;  // the digits, or the reason of the failure
};

struct BarcodeResult {
  std::int32_t kind = BARCODE_NONE;
  std::string text;
};

// The elements of the line from (x, y) in direction (dx, dy) inside the region.
Elements ScanElements(const Plane& plane, const Region& region, int x, int y, int dx, int dy);
Decoded DecodeEan13(const Elements& e);
Decoded DecodeItf(const Elements& e);
// The whole scan schedule; stops at the first line that decodes.
BarcodeResult ReadBarcode(const Plane& plane, const Region& region);

}  // namespace vx::recognition
