#pragma once
// The recognition image store: grey planes the readers work on, separate
// from the drawing banks so that a script can keep a picture there while it
// draws. A plane is 2600 x 2000 pixels of 3 bytes, rows top-down (script
// coordinates); the readers use the first byte of a pixel as its grey value.
// Plane memory is taken on first use.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace vx::recognition {

inline constexpr int PLANE_WIDTH = 2600;
inline constexpr int PLANE_HEIGHT = 2000;
inline constexpr int PLANE_PIXEL_BYTES = 3;
inline constexpr int PLANE_COUNT = 8;          // script planes 0 to 7
inline constexpr int PLANE_DEFAULT = 5;        // a negative plane index means this one
inline constexpr int PLANE_WORK = PLANE_COUNT; // the QR reader's own work image

// Inclusive rectangle of plane pixels.
struct Region {
  int x1 = 0;
  int y1 = 1119;
  int x2 = 640;
  int y2 = 1599;
  friend bool operator==(const Region&, const Region&) = default;
};

class Plane {
 public:
  // Grey value of (x, y), clamped to the plane; 255 while the plane is unused.
  std::uint8_t Grey(int x, int y) const;
  void SetPixel(int x, int y, std::uint8_t grey);  // all three bytes; ignores outside points
  std::uint8_t* Pixel(int x, int y);              // allocates; no bounds check
  // Row y (0 to PLANE_HEIGHT - 1) for reading; null while the plane is unused.
  const std::uint8_t* Row(int y) const {
    return bytes_.empty() ? nullptr : bytes_.data() + static_cast<std::size_t>(y) * PLANE_WIDTH * PLANE_PIXEL_BYTES;
  }
  const std::uint8_t* Data() const { return bytes_.empty() ? nullptr : bytes_.data(); }
  bool Used() const { return !bytes_.empty(); }
  void Fill(std::uint8_t grey);
  void Release() { std::vector<std::uint8_t>().swap(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

struct PlateReading;

struct Store {
  std::array<Plane, PLANE_COUNT + 1> planes;        // the last one is the QR work image
  std::array<Region, PLANE_COUNT> regions{};        // decode region per script plane
  bool debug = false;                               // RcgDebug: save work images as BMP files
  std::shared_ptr<PlateReading> plate;              // the last plate reading, for CarNbrRslt and the rest
};

inline constexpr int UNIFORM_RUN = 16;        // pixels compared at once for runs of one colour
inline constexpr int UNIFORM_STRETCH = 512;   // the same for the blank start of a row

inline std::uint8_t GreyOfBgr(const std::uint8_t* bgr) {
  return static_cast<std::uint8_t>((bgr[0] * 29 + bgr[1] * 150 + bgr[2] * 77) >> 8);
}

// The grey of `count` blue-green-red pixels (3 bytes each), handed over as
// put(i, grey). Runs of one colour, as on blank paper, are converted once.
template <typename Put>
void ForEachGrey(const std::uint8_t* bgr, int count, Put put) {
  int i = 0;
  while (i + UNIFORM_RUN <= count) {
    const std::uint8_t* run = bgr + static_cast<std::size_t>(i) * 3;
    // A long blank stretch in one comparison, else a short run.
    const int length = i + UNIFORM_STRETCH <= count && std::memcmp(run, run + 3, (UNIFORM_STRETCH - 1) * 3) == 0
                           ? UNIFORM_STRETCH
                           : UNIFORM_RUN;
    if (length == UNIFORM_STRETCH || std::memcmp(run, run + 3, (UNIFORM_RUN - 1) * 3) == 0) {
      const std::uint8_t g = GreyOfBgr(run);
      for (int k = 0; k < length; ++k) put(i + k, g);
    } else {
      for (int k = 0; k < UNIFORM_RUN; ++k) put(i + k, GreyOfBgr(run + k * 3));
    }
    i += length;
  }
  for (; i < count; ++i) put(i, GreyOfBgr(bgr + static_cast<std::size_t>(i) * 3));
}

// Plane index of a script argument: negative means PLANE_DEFAULT; -1 when
// out of range.
int PlaneIndex(int argument);
// The region cut to the plane, corners put in order.
Region Normalized(Region r);

}  // namespace vx::recognition
