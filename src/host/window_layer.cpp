#include "host/window_layer.hpp"

#include <cstdio>
#include <cstring>

#include "engine/process_exit.hpp"
#include "engine/runtime.hpp"
#include "graphics/png_api.hpp"
#include "host/vram_png.hpp"

namespace vx::host {

int FinishRun(Runtime& rt, const LaunchOptions& options, bool headless) {
  const int status = ExitStatus(engine::FinalExitCode(rt), rt.session.ended_with_error, headless);
  int write_error = 0;
  if (!options.vram_png.empty() && !WriteVramPng(rt, options.vram_png, &write_error)) {
    // Without libpng nothing was tried: say why rather than blame the file.
    if (graphics::Png() == nullptr) {
      std::fprintf(stderr, "vexmora: cannot write %s: %s\n", options.vram_png.c_str(),
                   graphics::PngLoadError().c_str());
    } else if (write_error == 0) {
      std::fprintf(stderr, "vexmora: cannot write %s\n", options.vram_png.c_str());
    } else if (!headless) {
      // A headless run's notice of failed writes has said so already.
      std::fprintf(stderr, "vexmora: cannot write %s: %s\n", options.vram_png.c_str(),
                   std::strerror(write_error));
    }
    // The picture asked for is missing: a run that would have succeeded fails.
    return status != 0 ? status : OUTPUT_FAILED_STATUS;
  }
  return status;
}

}  // namespace vx::host
