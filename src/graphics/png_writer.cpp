#include "graphics/png_writer.hpp"

#include <algorithm>
#include <csetjmp>
#include <vector>

#include "graphics/png_api.hpp"
#include "graphics/vram.hpp"
#include "platform/output_file.hpp"

namespace vx::graphics {
namespace {

// libpng reports errors by longjmp; nothing with a destructor lives in this
// frame, so the jump skips no clean-up. The jump buffer is the one png_jmpbuf
// names, asked of the library the same way.
bool WriteRows(const PngApi& p, png_structp png, png_infop info, const BankPixels& bank, int width,
               int height, std::uint8_t* row) {
  if (setjmp(*p.png_set_longjmp_fn(png, longjmp, sizeof(jmp_buf)))) return false;
  p.png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
  p.png_write_info(png, info);
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
    p.png_write_row(png, row);
  }
  p.png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool WritePng(std::FILE* file, const BankPixels& bank, int width, int height) {
  width = std::min(width, VRAM_WIDTH);
  height = std::min(height, VRAM_HEIGHT);
  if (file == nullptr || !bank || width < 1 || height < 1) return false;
  const PngApi* p = Png();
  if (p == nullptr) return false;
  png_structp png = p->png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = p->png_create_info_struct(png);
  if (info == nullptr) {
    p->png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
  p->png_init_io(png, file);
  const bool ok = WriteRows(*p, png, info, bank, width, height, row.data());
  p->png_destroy_write_struct(&png, &info);
  return ok && std::fflush(file) == 0 && std::ferror(file) == 0;
}

bool WritePngFile(const std::string& system_path, const BankPixels& bank, int width, int height,
                  int* write_error) {
  if (write_error != nullptr) *write_error = 0;
  if (Png() == nullptr) return false;  // leaves no empty file behind
  files::OutputFile out = files::OutputFile::OpenSystem(system_path, files::WriteMode::kReplace);
  // A picture that cannot be made leaves the old file; one that cannot be
  // written says why.
  if (out.ok() && !WritePng(out.Stream(), bank, width, height) && out.ok()) return false;
  const int error = out.Finish();
  if (write_error != nullptr) *write_error = error;
  return error == 0;
}

}  // namespace vx::graphics
