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
#include <optional>
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

// A plane remembers the bounding rectangle of what may differ from the grey
// it was last filled with (its ground), so that readers and the next fill
// touch only that part. Every write widens the rectangle: SetPixel by the
// pixel, WriteRow by the span it hands out. Rows get their memory written
// (with the ground) when first asked for, so a plane whose picture is small
// never touches most of its memory, and a fill with another grey is only
// a note. Not for use from two threads at once (reading prepares rows).
class Plane {
 public:
  static constexpr std::size_t ROW_BYTES = static_cast<std::size_t>(PLANE_WIDTH) * PLANE_PIXEL_BYTES;

  Plane() = default;
  Plane(const Plane& other) { *this = other; }
  Plane& operator=(const Plane& other);
  Plane(Plane&&) = default;
  Plane& operator=(Plane&&) = default;

  // Grey value of (x, y), clamped to the plane; 255 while the plane is unused.
  std::uint8_t Grey(int x, int y) const {
    if (!bytes_) return 255;
    x = x < 0 ? 0 : (x >= PLANE_WIDTH ? PLANE_WIDTH - 1 : x);
    y = y < 0 ? 0 : (y >= PLANE_HEIGHT ? PLANE_HEIGHT - 1 : y);
    if (ready_[static_cast<std::size_t>(y)] == 0) return ground_;
    return bytes_[static_cast<std::size_t>(y) * ROW_BYTES + static_cast<std::size_t>(x) * PLANE_PIXEL_BYTES];
  }
  void SetPixel(int x, int y, std::uint8_t grey);  // all three bytes; ignores outside points
  // Memory of `count` pixels of row y from column x, for writing them (and
  // only them); allocates. The span must lie inside the plane.
  std::uint8_t* WriteRow(int x, int y, int count);
  // Row y (0 to PLANE_HEIGHT - 1) for reading; null while the plane is unused.
  const std::uint8_t* Row(int y) const {
    if (!bytes_) return nullptr;
    if (ready_[static_cast<std::size_t>(y)] == 0) Prepare(y, y);
    return bytes_.get() + static_cast<std::size_t>(y) * ROW_BYTES;
  }
  // The plane's memory (rows of ROW_BYTES) with rows y1 to y2 ready for
  // reading; null while the plane is unused.
  const std::uint8_t* Rows(int y1, int y2) const {
    if (!bytes_) return nullptr;
    Prepare(y1, y2);
    return bytes_.get();
  }
  bool Used() const { return bytes_ != nullptr; }
  // Every pixel `grey`; only the written part is rewritten when the ground
  // already is that grey.
  void Fill(std::uint8_t grey);
  void Release();
  // The grey every pixel outside Written() has (255 while unused), and the
  // rectangle outside which all pixels have it; nullopt when nothing was
  // written since the last fill.
  std::uint8_t Ground() const { return ground_; }
  std::optional<Region> Written() const;
  // Counts the rectangle (cut to the plane) as written, for writers that
  // change the ground of a part without WriteRow or SetPixel.
  void Widen(int x1, int y1, int x2, int y2);

 private:
  void Allocate();
  void Prepare(int y1, int y2) const;  // rows y1 to y2 (cut to the plane) written out
  std::unique_ptr<std::uint8_t[]> bytes_;  // left unwritten when taken
  // Per row: 0 while the memory does not hold it yet (it is all ground).
  mutable std::unique_ptr<std::uint8_t[]> ready_;
  std::uint8_t ground_ = 255;
  // Written rectangle, inclusive; empty while x1 > x2.
  int x1_ = PLANE_WIDTH, y1_ = PLANE_HEIGHT, x2_ = -1, y2_ = -1;
};

// Source picture as a drawing bank: bottom-up rows of PLANE_WIDTH pixels
// of blue, green, red; the readers use its top-left width x height.
struct Picture {
  const std::uint8_t* bank = nullptr;
  int width = 0;
  int height = 0;
  // Every pixel outside `drawn` has one colour, whose grey is `ground`;
  // nullopt: every pixel has it.
  std::optional<Region> drawn = Region{0, 0, PLANE_WIDTH - 1, PLANE_HEIGHT - 1};
  std::uint8_t ground = 255;
};

// The grey of the picture's rectangle `r` (inside the plane and the
// picture) into the plane at the same place. A copy of the whole plane
// fills it with the ground and copies only the drawn part.
void CopyPictureGrey(Plane& plane, const Picture& picture, const Region& r);

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

// The grey of `count` blue-green-red pixels into grey[0] to grey[count - 1]:
// the values of ForEachGrey, blank stretches in one comparison and the rest
// in a loop that vectorises (with AVX2 where the processor has it).
void GreyOfRow(const std::uint8_t* bgr, int count, std::uint8_t* grey);

// Plane index of a script argument: negative means PLANE_DEFAULT; -1 when
// out of range.
int PlaneIndex(int argument);
// The region cut to the plane, corners put in order.
Region Normalized(Region r);

}  // namespace vx::recognition
