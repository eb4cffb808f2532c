#include "recognition/store.hpp"

#include <algorithm>
#include <cstring>

namespace vx::recognition {

namespace {
std::size_t Offset(int x, int y) {
  return (static_cast<std::size_t>(y) * PLANE_WIDTH + static_cast<std::size_t>(x)) * PLANE_PIXEL_BYTES;
}
}  // namespace

std::uint8_t Plane::Grey(int x, int y) const {
  if (bytes_.empty()) return 255;
  x = std::clamp(x, 0, PLANE_WIDTH - 1);
  y = std::clamp(y, 0, PLANE_HEIGHT - 1);
  return bytes_[Offset(x, y)];
}

std::uint8_t* Plane::Pixel(int x, int y) {
  if (bytes_.empty()) bytes_.assign(static_cast<std::size_t>(PLANE_WIDTH) * PLANE_HEIGHT * PLANE_PIXEL_BYTES, 255);
  return bytes_.data() + Offset(x, y);
}

void Plane::SetPixel(int x, int y, std::uint8_t grey) {
  if (x < 0 || y < 0 || x >= PLANE_WIDTH || y >= PLANE_HEIGHT) return;
  std::uint8_t* p = Pixel(x, y);
  p[0] = p[1] = p[2] = grey;
}

void Plane::Fill(std::uint8_t grey) {
  Pixel(0, 0);
  std::memset(bytes_.data(), grey, bytes_.size());
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
