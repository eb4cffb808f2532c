// Unloading a program, the step after the last line of a load, and starting
// a loaded program.
#include "engine/lifecycle.hpp"

#include "engine/run_loop.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "values/values.hpp"

namespace vx::engine {

int UnloadScript(Runtime& rt) {
  if (rt.program.RscCount() > sysvar::G_EXIT_CODE)
    rt.session.exit_code = values::ReadAsInteger(rt, sysvar::G_EXIT_CODE);
  rt.session.events_enabled = false;
  // Entries queued for this program mean nothing to the next one.
  rt.session.pending_labels.Clear();
  // Buffers and open files go with their entries, last to first.
  rt.program.Clear();
  rt.names.Clear();
  rt.run.depth = 0;
  return 1;
}

void CreateDeclaredControls(Runtime& rt) {
  values::BuildNameTable(rt);
  rt.session.events_enabled = true;
}

int StartLoadedProgram(Runtime& rt) {
  StartInitialLabel(rt);
  rt.session.started = true;
  rt.session.redraw_needed = false;
  return 1;
}

}  // namespace vx::engine
