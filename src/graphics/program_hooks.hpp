#pragma once
// How the drawing banks follow a program's life; app/families.cpp hooks
// these into the engine (engine/family_hooks.hpp).
namespace vx {
struct Runtime;
}

namespace vx::graphics {

// A program goes: the next one draws on the whole bank again.
void ForgetProgramClip(Runtime& rt);
// Every program starts on a white page.
void StartOnWhitePage(Runtime& rt);
// The whole window is due for a redraw, so what the Initial label drew
// needs no redraw of its own.
void HandOverInitialDrawing(Runtime& rt);

}  // namespace vx::graphics
