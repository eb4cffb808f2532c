// Unloading a program, the step after the last line of a load, and starting
// a loaded program.
#include "engine/lifecycle.hpp"

#include "engine/display.hpp"
#include "engine/family_hooks.hpp"
#include "engine/run_loop.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "values/values.hpp"

namespace vx::engine {

int UnloadScript(Runtime& rt) {
  if (rt.program.RscCount() > sysvar::G_EXIT_CODE)
    rt.session.exit_code = values::ReadAsInteger(rt, sysvar::G_EXIT_CODE);
  rt.session.events_enabled = false;
  RunFamilyHooks(rt, &FamilyHooks::unload);
  // Entries queued for this program mean nothing to the next one.
  rt.session.pending_labels.Clear();
  // Buffers and open files go with their entries, last to first.
  rt.program.Clear();
  rt.names.Clear();
  rt.run.depth = 0;
  return 1;
}

void CreateDeclaredControls(Runtime& rt) {
  RunFamilyHooks(rt, &FamilyHooks::declare);
  values::BuildNameTable(rt);
  rt.session.events_enabled = true;
}

int StartLoadedProgram(Runtime& rt) {
  // Every program starts on a white page and draws the same random numbers.
  RunFamilyHooks(rt, &FamilyHooks::start);
  if (StartInitialLabel(rt)) RunFamilyHooks(rt, &FamilyHooks::after_initial);
  if (rt.display != nullptr) {
    int width = 0, height = 0;
    rt.display->ClientSize(&width, &height);
    if (width > 0 && height > 0) rt.display->RequestRedraw(0, 0, width - 1, height - 1);
  }
  rt.session.started = true;
  RunFamilyHooks(rt, &FamilyHooks::started);
  return 1;
}

}  // namespace vx::engine
