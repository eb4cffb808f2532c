#pragma once
// Loading a dropped image into the current bank: BMP files through the
// drawing layer's reader, JPEG files through the picture family's decoder.
// Tests may give the runtime loaders of their own.
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
