// Arbitrary bytes as a polygon file, drawn: the first bytes choose the eye,
// the drawing area and the mode, the rest are the faces. Whatever the
// numbers (huge, tiny, behind the eye, degenerate), drawing must stay
// inside the area and the picking answer must name a face that exists.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "geometry3d/polygon_store.hpp"
#include "geometry3d/rasterizer.hpp"
#include "geometry3d/view.hpp"
#include "graphics/vram.hpp"

namespace {

constexpr std::size_t kHeaderBytes = 12;
constexpr int kSide = 64;  // the area is a square of the bank, away from its edges

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vx::geometry3d;
  if (size < kHeaderBytes) return 0;
  static vx::graphics::BankMemory bank(static_cast<std::uint8_t*>(std::calloc(vx::graphics::VRAM_BANK_BYTES, 1)));
  View view;
  const auto signed_byte = [&](std::size_t i) { return static_cast<double>(static_cast<std::int8_t>(data[i])); };
  view.SetScreen({100, 100, 100 + kSide, 100 + kSide});
  view.SetCentre(data[0] % kSide, data[1] % kSide);
  view.SetEye({signed_byte(2) * 10, signed_byte(3) * 10, signed_byte(4) * 10},
              {signed_byte(5) + 0.5, signed_byte(6), signed_byte(7)}, 5 + data[8] % 100);
  std::vector<Face> faces =
      ParsePolygonFile(std::string_view(reinterpret_cast<const char*>(data + kHeaderBytes), size - kHeaderBytes), 1.0);
  for (std::size_t i = 0; i < faces.size(); ++i) faces[i].shape = static_cast<std::int16_t>(data[9 + i % 3] % 20);
  const vx::graphics::PixelRect area{100, 100, 100 + kSide, 100 + kSide};
  Renderer renderer;
  renderer.Begin(bank.get(), area, view.CameraFrame(), true);
  DrawSettings settings;
  const std::int32_t modes[] = {0, 1, 2, 3, 4, 7, 8, 21};
  settings.mode = modes[data[9] % 8];
  settings.light.directional = (data[10] & 1) != 0;
  const std::uint8_t texels[] = {10, 20, 30, 40, 50, 60};
  const TextureLookup lookup = [&](const Face&) { return std::optional<TextureView>(TextureView{texels, 3, 1, 2}); };
  renderer.DrawFaces(faces, 0, settings, lookup);
  // Nothing outside the area: the row above and the column left of it.
  for (int k = 90; k < 180; ++k) {
    if (vx::graphics::ReadPixel(bank.get(), k, 99) != vx::graphics::Color{}) std::abort();
    if (vx::graphics::ReadPixel(bank.get(), 99, k) != vx::graphics::Color{}) std::abort();
    if (vx::graphics::ReadPixel(bank.get(), 101 + kSide, k) != vx::graphics::Color{}) std::abort();
    if (vx::graphics::ReadPixel(bank.get(), k, 101 + kSide) != vx::graphics::Color{}) std::abort();
  }
  for (int y = 100; y <= 100 + kSide; y += 7) {
    for (int x = 100; x <= 100 + kSide; x += 7) {
      const auto face = renderer.FaceAt(x, y);
      if (face && (*face < 0 || static_cast<std::size_t>(*face) >= faces.size())) std::abort();
    }
  }
  return 0;
}
