#pragma once
// libpng, opened on first use: only a run that writes its drawing bank out
// as PNG (--vram-png) maps it.
#include <png.h>

#include <string>

namespace vx::graphics {

inline constexpr const char* PNG_LIBRARY = "libpng16.so.16";

// png_jmpbuf is a macro over png_set_longjmp_fn, which is bound here.
struct PngApi {
  decltype(&::png_create_write_struct) png_create_write_struct = nullptr;
  decltype(&::png_create_info_struct) png_create_info_struct = nullptr;
  decltype(&::png_destroy_write_struct) png_destroy_write_struct = nullptr;
  decltype(&::png_init_io) png_init_io = nullptr;
  decltype(&::png_set_longjmp_fn) png_set_longjmp_fn = nullptr;
  decltype(&::png_set_IHDR) png_set_IHDR = nullptr;
  decltype(&::png_write_info) png_write_info = nullptr;
  decltype(&::png_write_row) png_write_row = nullptr;
  decltype(&::png_write_end) png_write_end = nullptr;
};

// Binds every function of `api` from the library `soname`: false, with
// `error` naming the library or the missing function, when that fails.
bool LoadPng(const char* soname, PngApi& api, std::string& error);

// The process's libpng, loaded on the first call; null when it cannot be
// (PngLoadError then says why).
const PngApi* Png();
const std::string& PngLoadError();

}  // namespace vx::graphics
