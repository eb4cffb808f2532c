#pragma once
// Everything the 3D APIs keep between calls: the matrix and vector banks,
// the view, the wire colour, the wireframe model and the face stores.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "geometry3d/polygon_store.hpp"
#include "geometry3d/rasterizer.hpp"
#include "graphics/image_ops.hpp"
#include "geometry3d/vector_math.hpp"
#include "geometry3d/view.hpp"
#include "geometry3d/wire_model.hpp"

namespace vx {
struct Runtime;
}  // namespace vx

namespace vx::geometry3d {

inline constexpr std::int32_t kBankSize = 200;

inline bool ValidBankIndex(std::int64_t index) { return index >= 0 && index < kBankSize; }

struct WireColour {
  std::uint8_t r = 255;
  std::uint8_t g = 255;
  std::uint8_t b = 255;
};

struct Geometry3d {
  std::array<Mat3, kBankSize> matrices{};  // all zero at first
  std::array<Vec3, kBankSize> vectors{};
  View view;
  WireColour wire_colour;
  WireModel wire;
  PolygonStores polygons;
  // Face drawing: the light, image mapping and draw mode the next draw uses,
  // the renderer with its depth and id buffers, and the images read for
  // faces, by name (cleared by InitPgnDraw).
  DrawSettings draw;
  Renderer renderer;
  std::map<std::string, graphics::Image, std::less<>> images;
  std::size_t image_bytes = 0;
};

// The runtime's 3D state, made on first use.
Geometry3d& State(Runtime& rt);

}  // namespace vx::geometry3d
