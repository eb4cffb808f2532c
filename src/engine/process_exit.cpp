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

}  // namespace vx::engine
