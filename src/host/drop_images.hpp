#pragma once
// Loading a dropped image into the current bank. The image family provides
// the real loaders; until a runtime is given one, BMP files are drawn with
// the drawing layer's BMP reader and JPEG files are refused.
#include <string_view>

namespace vx {

struct Runtime;

namespace host {

class DropImages {
 public:
  virtual ~DropImages() = default;
  // Draws the BMP at (0, 0), or, tiled, repeated over the whole surface.
  // False when the file cannot be read.
  virtual bool LoadBmp(Runtime& rt, std::string_view path, bool tiled) = 0;
  // Loads the JPEG at scale 1 at (0, 0); tiled, the loaded block is copied
  // to every multiple of its size across the surface.
  virtual bool LoadJpeg(Runtime& rt, std::string_view path, bool tiled) = 0;
};

// The loader used when the runtime has none of its own.
DropImages& BuiltInDropImages();

}  // namespace host
}  // namespace vx
