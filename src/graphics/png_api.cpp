#include "graphics/png_api.hpp"

#include "platform/shared_library.hpp"

namespace vx::graphics {
namespace {

bool BindPng(PngApi& api, std::string& error) { return LoadPng(PNG_LIBRARY, api, error); }

const platform::BoundApi<PngApi>& Load() { return platform::BindOnce<PngApi, BindPng>(); }

}  // namespace

bool LoadPng(const char* soname, PngApi& api, std::string& error) {
  platform::SharedLibrary& library = platform::SharedLibrary::Resident(soname);
  if (!library.Loaded()) {
    error = "PNG output is not available: " + library.Error();
    return false;
  }
  bool ok = true;
#define VX_BIND(fn) ok = library.Bind(#fn, &api.fn) && ok
  VX_BIND(png_create_write_struct);
  VX_BIND(png_create_info_struct);
  VX_BIND(png_destroy_write_struct);
  VX_BIND(png_init_io);
  VX_BIND(png_set_longjmp_fn);
  VX_BIND(png_set_IHDR);
  VX_BIND(png_write_info);
  VX_BIND(png_write_row);
  VX_BIND(png_write_end);
#undef VX_BIND
  if (!ok) error = "PNG output is not available: " + library.Error();
  return ok;
}

const PngApi* Png() { return Load().ok ? &Load().api : nullptr; }

const std::string& PngLoadError() { return Load().error; }

}  // namespace vx::graphics
