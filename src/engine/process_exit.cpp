#include "engine/process_exit.hpp"

#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "values/values.hpp"

namespace vx::engine {

void RequestProcessExit(Runtime& rt, int code) {
  // An unload on the way out records G_EXIT_CODE again: keep it in step.
  if (rt.program.RscCount() > sysvar::G_EXIT_CODE) values::SetLong(rt, sysvar::G_EXIT_CODE, code);
  rt.session.exit_code = code;
  rt.run.chain_path.clear();
  rt.run.exit_request = EXIT_QUIT;
}

int FinalExitCode(Runtime& rt) {
  // Events are enabled from a successful load to the next unload; the
  // system variables of a load that failed were never the script's.
  if (rt.session.events_enabled && rt.program.RscCount() > sysvar::G_EXIT_CODE)
    return values::ReadAsInteger(rt, sysvar::G_EXIT_CODE);
  return rt.session.exit_code;
}

}  // namespace vx::engine
