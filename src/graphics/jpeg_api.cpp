#include "graphics/jpeg_api.hpp"

#include "platform/shared_library.hpp"

namespace vx::graphics {
namespace {

bool BindJpeg(JpegApi& api, std::string& error) { return LoadJpeg(JPEG_LIBRARY, api, error); }

const platform::BoundApi<JpegApi>& Load() { return platform::BindOnce<JpegApi, BindJpeg>(); }

}  // namespace

bool LoadJpeg(const char* soname, JpegApi& api, std::string& error) {
  platform::SharedLibrary& library = platform::SharedLibrary::Resident(soname);
  if (!library.Loaded()) {
    error = "JPEG pictures are not available: " + library.Error();
    return false;
  }
  bool ok = true;
#define VX_BIND(fn) ok = library.Bind(#fn, &api.fn) && ok
  VX_BIND(jpeg_std_error);
  VX_BIND(jpeg_CreateDecompress);
  VX_BIND(jpeg_destroy_decompress);
  VX_BIND(jpeg_mem_src);
  VX_BIND(jpeg_read_header);
  VX_BIND(jpeg_calc_output_dimensions);
  VX_BIND(jpeg_start_decompress);
  VX_BIND(jpeg_read_scanlines);
  VX_BIND(jpeg_abort_decompress);
  VX_BIND(jpeg_CreateCompress);
  VX_BIND(jpeg_destroy_compress);
  VX_BIND(jpeg_mem_dest);
  VX_BIND(jpeg_set_defaults);
  VX_BIND(jpeg_start_compress);
  VX_BIND(jpeg_write_scanlines);
  VX_BIND(jpeg_finish_compress);
#undef VX_BIND
  if (!ok) error = "JPEG pictures are not available: " + library.Error();
  return ok;
}

const JpegApi* Jpeg() { return Load().ok ? &Load().api : nullptr; }

const std::string& JpegLoadError() { return Load().error; }

}  // namespace vx::graphics
