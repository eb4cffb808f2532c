#pragma once
// libjpeg, opened on first use: only scripts that load or save JPEG
// pictures map it.
// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <string>

namespace vx::graphics {

inline constexpr const char* JPEG_LIBRARY = "libjpeg.so.62";

// jpeg_create_decompress and jpeg_create_compress are macros over the
// versioned constructors, which are bound here instead.
struct JpegApi {
  decltype(&::jpeg_std_error) jpeg_std_error = nullptr;
  decltype(&::jpeg_CreateDecompress) jpeg_CreateDecompress = nullptr;
  decltype(&::jpeg_destroy_decompress) jpeg_destroy_decompress = nullptr;
  decltype(&::jpeg_mem_src) jpeg_mem_src = nullptr;
  decltype(&::jpeg_read_header) jpeg_read_header = nullptr;
  decltype(&::jpeg_calc_output_dimensions) jpeg_calc_output_dimensions = nullptr;
  decltype(&::jpeg_start_decompress) jpeg_start_decompress = nullptr;
  decltype(&::jpeg_read_scanlines) jpeg_read_scanlines = nullptr;
  decltype(&::jpeg_abort_decompress) jpeg_abort_decompress = nullptr;
  decltype(&::jpeg_CreateCompress) jpeg_CreateCompress = nullptr;
  decltype(&::jpeg_destroy_compress) jpeg_destroy_compress = nullptr;
  decltype(&::jpeg_mem_dest) jpeg_mem_dest = nullptr;
  decltype(&::jpeg_set_defaults) jpeg_set_defaults = nullptr;
  decltype(&::jpeg_start_compress) jpeg_start_compress = nullptr;
  decltype(&::jpeg_write_scanlines) jpeg_write_scanlines = nullptr;
  decltype(&::jpeg_finish_compress) jpeg_finish_compress = nullptr;
};

// Binds every function of `api` from the library `soname`: false, with
// `error` naming the library or the missing function, when that fails.
bool LoadJpeg(const char* soname, JpegApi& api, std::string& error);

// The process's libjpeg, loaded on the first call; null when it cannot be
// (JpegLoadError then says why).
const JpegApi* Jpeg();
const std::string& JpegLoadError();

}  // namespace vx::graphics
