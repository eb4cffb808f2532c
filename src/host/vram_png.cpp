#include "host/vram_png.hpp"

#include "engine/runtime.hpp"
#include "graphics/png_writer.hpp"

namespace vx::host {

bool WriteVramPng(Runtime& rt, const std::string& file, int* write_error) {
  int width = DEFAULT_CLIENT_WIDTH;
  int height = DEFAULT_CLIENT_HEIGHT;
  if (rt.display != nullptr) rt.display->ClientSize(&width, &height);
  return graphics::WritePngFile(file, rt.vram.Pixels(-1), width, height, write_error);
}

}  // namespace vx::host
