#include "host/vram_png.hpp"

#include <cstring>

#include "engine/runtime.hpp"
#include "graphics/png_writer.hpp"

namespace vx::host {

VramPngOption TakeVramPngOption(std::vector<char*>& args) {
  VramPngOption option;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const char* word = args[i];
    if (std::strcmp(word, "--") == 0 || word[0] != '-') break;
    if (std::strcmp(word, VRAM_PNG_OPTION) != 0) continue;
    if (i + 1 >= args.size()) {
      option.error = "--vram-png needs a file name";
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
    option.file = args[i + 1];
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    --i;
  }
  return option;
}

bool WriteVramPng(Runtime& rt, const std::string& file) {
  int width = DEFAULT_CLIENT_WIDTH;
  int height = DEFAULT_CLIENT_HEIGHT;
  if (rt.display != nullptr) rt.display->ClientSize(&width, &height);
  return graphics::WritePngFile(file, rt.vram.Current(), width, height);
}

}  // namespace vx::host
