#include "recognition/store.hpp"

#include <algorithm>
#include <cstring>

namespace vx::recognition {

namespace {
std::size_t Offset(int x, int y) {
  return (static_cast<std::size_t>(y) * PLANE_WIDTH + static_cast<std::size_t>(x)) * PLANE_PIXEL_BYTES;
}
}  // namespace

void Plane::Allocate() {
  if (bytes_.empty()) {
    bytes_.assign(static_cast<std::size_t>(PLANE_WIDTH) * PLANE_HEIGHT * PLANE_PIXEL_BYTES, 255);
    ground_ = 255;
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
  Widen(x, y, x + count - 1, y);
  return bytes_.data() + Offset(x, y);
}

void Plane::SetPixel(int x, int y, std::uint8_t grey) {
  if (x < 0 || y < 0 || x >= PLANE_WIDTH || y >= PLANE_HEIGHT) return;
  std::uint8_t* p = WriteRow(x, y, 1);
  p[0] = p[1] = p[2] = grey;
}

void Plane::Fill(std::uint8_t grey) {
  if (bytes_.empty() || grey != ground_) {
    Allocate();
    std::memset(bytes_.data(), grey, bytes_.size());
  } else if (const std::optional<Region> w = Written()) {
    const std::size_t span = static_cast<std::size_t>(w->x2 - w->x1 + 1) * PLANE_PIXEL_BYTES;
    for (int y = w->y1; y <= w->y2; ++y) std::memset(bytes_.data() + Offset(w->x1, y), grey, span);
  }
  ground_ = grey;
  x1_ = PLANE_WIDTH, y1_ = PLANE_HEIGHT, x2_ = -1, y2_ = -1;
}

void Plane::Release() {
  std::vector<std::uint8_t>().swap(bytes_);
  ground_ = 255;
  x1_ = PLANE_WIDTH, y1_ = PLANE_HEIGHT, x2_ = -1, y2_ = -1;
}

std::optional<Region> Plane::Written() const {
  if (x1_ > x2_) return std::nullopt;
  return Region{x1_, y1_, x2_, y2_};
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
  for (int y = copy.y1; y <= copy.y2; ++y) {
    std::uint8_t* to = plane.WriteRow(copy.x1, y, count);
    const std::uint8_t* from = picture.bank + static_cast<std::size_t>(PLANE_HEIGHT - 1 - y) * PLANE_WIDTH * 3 +
                               static_cast<std::size_t>(copy.x1) * 3;
    ForEachGrey(from, count, [to](int i, std::uint8_t g) {
      std::uint8_t* p = to + static_cast<std::size_t>(i) * PLANE_PIXEL_BYTES;
      p[0] = p[1] = p[2] = g;
    });
  }
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
