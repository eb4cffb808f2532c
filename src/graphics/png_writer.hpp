#pragma once
// Writes part of a bank as an 8-bit RGB PNG (the front end's --vram-png).
#include <cstdint>
#include <cstdio>
#include <string>

#include "graphics/vram.hpp"

namespace vx::graphics {

// The top-left width x height pixels of the bank (cut to the bank), rows top
// first. False when the file cannot be written, the size is empty or libpng
// cannot be loaded (PngLoadError in graphics/png_api.hpp says why).
bool WritePng(std::FILE* file, const BankPixels& bank, int width, int height);
// The same to a file named by a system path (UTF-8), which is replaced only
// by a whole picture; `write_error` receives the errno when writing the
// file is what failed.
bool WritePngFile(const std::string& system_path, const BankPixels& bank, int width, int height,
                  int* write_error = nullptr);

}  // namespace vx::graphics
