#include "graphics/png_writer.hpp"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <vector>

#include "graphics/vram.hpp"
#include "platform/files.hpp"

namespace vx::graphics {
namespace {

// libpng reports errors by longjmp; nothing with a destructor lives in this
// frame, so the jump skips no clean-up.
bool WriteRows(png_structp png, png_infop info, const BankPixels& bank, int width, int height,
               std::uint8_t* row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int x = 0; bank.uniform && x < width; ++x) {
    row[x * 3] = bank.uniform->r;
    row[x * 3 + 1] = bank.uniform->g;
    row[x * 3 + 2] = bank.uniform->b;
  }
  for (int y = 0; y < height; ++y) {
    if (!bank.uniform) {
      const std::uint8_t* src = PixelAt(bank.memory, 0, y);
      for (int x = 0; x < width; ++x) {
        row[x * 3] = src[x * 3 + 2];
        row[x * 3 + 1] = src[x * 3 + 1];
        row[x * 3 + 2] = src[x * 3];
      }
    }
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool WritePng(std::FILE* file, const BankPixels& bank, int width, int height) {
  width = std::min(width, VRAM_WIDTH);
  height = std::min(height, VRAM_HEIGHT);
  if (file == nullptr || !bank || width < 1 || height < 1) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
  png_init_io(png, file);
  const bool ok = WriteRows(png, info, bank, width, height, row.data());
  png_destroy_write_struct(&png, &info);
  return ok && std::fflush(file) == 0 && std::ferror(file) == 0;
}

bool WritePngFile(const std::string& system_path, const BankPixels& bank, int width, int height) {
  files::FilePtr file(std::fopen(system_path.c_str(), "wb"));
  if (!file) return false;
  return WritePng(file.get(), bank, width, height);
}

}  // namespace vx::graphics
