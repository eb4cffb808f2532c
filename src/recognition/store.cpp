#include "recognition/store.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/pixel_loop.hpp"
#include "platform/thread_pool.hpp"

namespace vx::recognition {

namespace {
std::size_t Offset(int x, int y) {
  return static_cast<std::size_t>(y) * Plane::ROW_BYTES + static_cast<std::size_t>(x) * PLANE_PIXEL_BYTES;
}
}  // namespace

void Plane::Allocate() {
  if (bytes_) return;
  // Not value-initialised: the pages are taken when a row is first written.
  bytes_.reset(new std::uint8_t[static_cast<std::size_t>(PLANE_HEIGHT) * ROW_BYTES]);
  ready_ = std::make_unique<std::uint8_t[]>(PLANE_HEIGHT);
  ground_ = 255;
}

Plane& Plane::operator=(const Plane& other) {
  if (this == &other) return *this;
  Release();
  if (other.bytes_) {
    Allocate();
    for (std::size_t y = 0; y < PLANE_HEIGHT; ++y) {
      ready_[y] = other.ready_[y];
      if (ready_[y] != 0) std::memcpy(bytes_.get() + y * ROW_BYTES, other.bytes_.get() + y * ROW_BYTES, ROW_BYTES);
    }
  }
  ground_ = other.ground_;
  x1_ = other.x1_, y1_ = other.y1_, x2_ = other.x2_, y2_ = other.y2_;
  return *this;
}

void Plane::Prepare(int y1, int y2) const {
  y1 = std::max(y1, 0);
  y2 = std::min(y2, PLANE_HEIGHT - 1);
  for (int y = y1; y <= y2; ++y) {
    std::uint8_t& ready = ready_[static_cast<std::size_t>(y)];
    if (ready != 0) continue;
    std::memset(bytes_.get() + static_cast<std::size_t>(y) * ROW_BYTES, ground_, ROW_BYTES);
    ready = 1;
  }
}

void Plane::Widen(int x1, int y1, int x2, int y2) {
  x1 = std::max(x1, 0), y1 = std::max(y1, 0);
  x2 = std::min(x2, PLANE_WIDTH - 1), y2 = std::min(y2, PLANE_HEIGHT - 1);
  if (x1 > x2 || y1 > y2) return;
  x1_ = std::min(x1_, x1), y1_ = std::min(y1_, y1);
  x2_ = std::max(x2_, x2), y2_ = std::max(y2_, y2);
}

std::uint8_t* Plane::WriteRow(int x, int y, int count) {
  Allocate();
  Prepare(y, y);
  Widen(x, y, x + count - 1, y);
  return bytes_.get() + Offset(x, y);
}

void Plane::SetPixel(int x, int y, std::uint8_t grey) {
  if (x < 0 || y < 0 || x >= PLANE_WIDTH || y >= PLANE_HEIGHT) return;
  std::uint8_t* p = WriteRow(x, y, 1);
  p[0] = p[1] = p[2] = grey;
}

void Plane::Fill(std::uint8_t grey) {
  Allocate();
  if (grey != ground_) {
    // Every row is the new ground until it is asked for.
    std::fill_n(ready_.get(), PLANE_HEIGHT, std::uint8_t{0});
  } else if (const std::optional<Region> w = Written()) {
    const std::size_t span = static_cast<std::size_t>(w->x2 - w->x1 + 1) * PLANE_PIXEL_BYTES;
    for (int y = w->y1; y <= w->y2; ++y) {
      if (ready_[static_cast<std::size_t>(y)] != 0) std::memset(bytes_.get() + Offset(w->x1, y), grey, span);
    }
  }
  ground_ = grey;
  x1_ = PLANE_WIDTH, y1_ = PLANE_HEIGHT, x2_ = -1, y2_ = -1;
}

void Plane::Release() {
  bytes_.reset();
  ready_.reset();
  ground_ = 255;
  x1_ = PLANE_WIDTH, y1_ = PLANE_HEIGHT, x2_ = -1, y2_ = -1;
}

std::optional<Region> Plane::Written() const {
  if (x1_ > x2_) return std::nullopt;
  return Region{x1_, y1_, x2_, y2_};
}

namespace {

// Built for AVX2 and any x86-64 (see pixel_loop.hpp).
VX_PIXEL_LOOP void PlainGreyOfRow(const std::uint8_t* __restrict bgr, int count, std::uint8_t* __restrict grey) {
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* p = bgr + static_cast<std::size_t>(i) * 3;
    grey[i] = static_cast<std::uint8_t>((p[0] * 29 + p[1] * 150 + p[2] * 77) >> 8);
  }
}

// The same grey into all three bytes of each plane pixel.
VX_PIXEL_LOOP void PlainGreyToPlane(const std::uint8_t* __restrict bgr, int count, std::uint8_t* __restrict to) {
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* p = bgr + static_cast<std::size_t>(i) * 3;
    const auto g = static_cast<std::uint8_t>((p[0] * 29 + p[1] * 150 + p[2] * 77) >> 8);
    std::uint8_t* q = to + static_cast<std::size_t>(i) * PLANE_PIXEL_BYTES;
    q[0] = g, q[1] = g, q[2] = g;
  }
}

// True when the UNIFORM_STRETCH pixels from `run` have one colour.
bool BlankStretch(const std::uint8_t* run) { return std::memcmp(run, run + 3, (UNIFORM_STRETCH - 1) * 3) == 0; }

}  // namespace

void GreyOfRow(const std::uint8_t* bgr, int count, std::uint8_t* grey) {
  for (int i = 0; i < count;) {
    const std::uint8_t* run = bgr + static_cast<std::size_t>(i) * 3;
    if (i + UNIFORM_STRETCH <= count && BlankStretch(run)) {
      std::memset(grey + i, GreyOfBgr(run), UNIFORM_STRETCH);
      i += UNIFORM_STRETCH;
      continue;
    }
    const int n = std::min(UNIFORM_STRETCH, count - i);
    PlainGreyOfRow(run, n, grey + i);
    i += n;
  }
}

void CopyPictureGrey(Plane& plane, const Picture& picture, const Region& r) {
  Region copy = r;
  if (r == Region{0, 0, PLANE_WIDTH - 1, PLANE_HEIGHT - 1}) {
    plane.Fill(picture.ground);
    if (!picture.drawn) return;
    copy = Region{std::max(r.x1, picture.drawn->x1), std::max(r.y1, picture.drawn->y1),
                  std::min(r.x2, picture.drawn->x2), std::min(r.y2, picture.drawn->y2)};
  }
  if (copy.x1 > copy.x2 || copy.y1 > copy.y2) return;
  const int count = copy.x2 - copy.x1 + 1;
  // The plane's book-keeping is not for several threads: every row is asked
  // for here, and only the conversion is spread over the thread pool.
  std::vector<std::uint8_t*> rows;
  rows.reserve(static_cast<std::size_t>(copy.y2 - copy.y1 + 1));
  for (int y = copy.y1; y <= copy.y2; ++y) rows.push_back(plane.WriteRow(copy.x1, y, count));
  platform::ForBands(copy.y1, copy.y2 + 1, std::int64_t{count} * 6, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      std::uint8_t* to = rows[static_cast<std::size_t>(y - copy.y1)];
      const std::uint8_t* from = picture.bank + static_cast<std::size_t>(PLANE_HEIGHT - 1 - y) * PLANE_WIDTH * 3 +
                                 static_cast<std::size_t>(copy.x1) * 3;
      for (int i = 0; i < count;) {
        const std::uint8_t* run = from + static_cast<std::size_t>(i) * 3;
        std::uint8_t* out = to + static_cast<std::size_t>(i) * PLANE_PIXEL_BYTES;
        if (i + UNIFORM_STRETCH <= count && BlankStretch(run)) {
          std::memset(out, GreyOfBgr(run), static_cast<std::size_t>(UNIFORM_STRETCH) * PLANE_PIXEL_BYTES);
          i += UNIFORM_STRETCH;
          continue;
        }
        const int n = std::min(UNIFORM_STRETCH, count - i);
        PlainGreyToPlane(run, n, out);
        i += n;
      }
    }
  });
}

int PlaneIndex(int argument) {
  if (argument < 0) return PLANE_DEFAULT;
  return argument < PLANE_COUNT ? argument : -1;
}

Region Normalized(Region r) {
  if (r.x1 > r.x2) std::swap(r.x1, r.x2);
  if (r.y1 > r.y2) std::swap(r.y1, r.y2);
  r.x1 = std::clamp(r.x1, 0, PLANE_WIDTH - 1);
  r.x2 = std::clamp(r.x2, 0, PLANE_WIDTH - 1);
  r.y1 = std::clamp(r.y1, 0, PLANE_HEIGHT - 1);
  r.y2 = std::clamp(r.y2, 0, PLANE_HEIGHT - 1);
  return r;
}

}  // namespace vx::recognition
