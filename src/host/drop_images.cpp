#include "host/drop_images.hpp"

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "engine/runtime.hpp"
#include "graphics/canvas.hpp"
#include "graphics/drawing.hpp"
#include "graphics/jpeg.hpp"
#include "graphics/picture_files.hpp"
#include "platform/files.hpp"

namespace vx::host {
namespace {

// Copies the block at (0, 0) to every multiple of its size across the
// surface; the block itself stays.
void TileFromOrigin(graphics::Vram& vram, const graphics::PixelRect& block) {
  std::uint8_t* bank = vram.Current();
  const int w = std::min(block.right, vram.width - 1) + 1;
  const int h = std::min(block.bottom, vram.height - 1) + 1;
  if (bank == nullptr || block.left != 0 || block.top != 0 || w < 1 || h < 1) return;
  for (int y0 = 0; y0 < vram.height; y0 += h) {
    for (int x0 = 0; x0 < vram.width; x0 += w) {
      if (x0 == 0 && y0 == 0) continue;
      const int cols = std::min(w, vram.width - x0);
      for (int dy = 0; dy < h && y0 + dy < vram.height; ++dy) {
        std::memcpy(graphics::PixelAt(bank, x0, y0 + dy), graphics::PixelAt(bank, 0, dy),
                    static_cast<std::size_t>(cols) * graphics::VRAM_PIXEL_BYTES);
      }
    }
  }
}

class FileImages : public DropImages {
 public:
  bool LoadBmp(Runtime& rt, std::string_view path, bool tiled) override {
    graphics::Vram& vram = rt.vram;
    graphics::Canvas canvas(vram.Current(), graphics::PixelRect{0, 0, vram.width - 1, vram.height - 1});
    if (!canvas.Valid()) return false;
    graphics::PixelRect drawn;
    if (!graphics::DrawBmpFile(canvas, path, graphics::Point{0, 0}, &drawn)) return false;
    if (tiled) TileFromOrigin(vram, drawn);
    vram.MarkAllDirty();
    return true;
  }
  // The picture family's decoder and bookkeeping: the loaded size becomes
  // the last picture size, as after LoadJpg.
  bool LoadJpeg(Runtime& rt, std::string_view path, bool tiled) override {
    graphics::Vram& vram = rt.vram;
    if (vram.Current() == nullptr) return false;
    const std::optional<std::string> data = files::ReadAll(path, graphics::JPEG_FILE_BYTES_MAX + 1);
    if (!data || data->size() > graphics::JPEG_FILE_BYTES_MAX) return false;
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(data->data()), data->size());
    const graphics::JpegDecoded r =
        graphics::LoadJpeg(bytes, graphics::SurfaceOf(vram, vram.Current()), 0, 0, 1.0);
    if (!r.ok) return false;
    rt.images.last_width = r.out_width;
    rt.images.last_height = r.out_height;
    if (tiled && r.out_width >= 1 && r.out_height >= 1) {
      TileFromOrigin(vram, graphics::PixelRect{0, 0, r.out_width - 1, r.out_height - 1});
    }
    vram.MarkAllDirty();
    return true;
  }
};

}  // namespace

DropImages& BuiltInDropImages() {
  static FileImages images;  // stateless
  return images;
}

}  // namespace vx::host
