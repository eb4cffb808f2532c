#include "graphics/program_hooks.hpp"

#include "engine/runtime.hpp"
#include "graphics/vram.hpp"

namespace vx::graphics {

void ForgetProgramClip(Runtime& rt) { rt.vram.ResetClip(); }

void StartOnWhitePage(Runtime& rt) { rt.vram.ClearBank(-1, kWhite); }

void HandOverInitialDrawing(Runtime& rt) { rt.vram.redraw_needed = false; }

}  // namespace vx::graphics
