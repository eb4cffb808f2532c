// Unloading a program, the step after the last line of a load, and starting
// a loaded program.
#include "engine/lifecycle.hpp"

#include "api/random.hpp"
#include "comm/port_resources.hpp"
#include "engine/run_loop.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "graphics/vram.hpp"
#include "host/controls.hpp"
#include "host/display.hpp"
#include "values/values.hpp"

namespace vx::engine {

int UnloadScript(Runtime& rt) {
  if (rt.program.RscCount() > sysvar::G_EXIT_CODE)
    rt.session.exit_code = values::ReadAsInteger(rt, sysvar::G_EXIT_CODE);
  rt.session.events_enabled = false;
  host::DestroyControls(rt);
  comm::CloseDeclaredPorts(rt);
  // Entries queued for this program mean nothing to the next one.
  rt.session.pending_labels.Clear();
  // Buffers and open files go with their entries, last to first.
  rt.program.Clear();
  rt.names.Clear();
  rt.run.depth = 0;
  rt.vram.ResetClip();
  return 1;
}

void CreateDeclaredControls(Runtime& rt) {
  host::CreateControls(rt);
  comm::OpenDeclaredPorts(rt);
  values::BuildNameTable(rt);
  rt.session.events_enabled = true;
}

int StartLoadedProgram(Runtime& rt) {
  // Every program starts on a white page and draws the same random numbers.
  rt.vram.ClearBank(-1, graphics::kWhite);
  api::ResetRandom(rt);
  if (StartInitialLabel(rt) && rt.controls) rt.controls->AfterLabel();
  if (rt.display != nullptr) {
    int width = 0, height = 0;
    rt.display->ClientSize(&width, &height);
    if (width > 0 && height > 0) rt.display->RequestRedraw(0, 0, width - 1, height - 1);
  }
  rt.session.started = true;
  rt.vram.redraw_needed = false;
  return 1;
}

}  // namespace vx::engine
