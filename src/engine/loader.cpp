#include "engine/loader.hpp"

#include <optional>

#include "engine/lifecycle.hpp"
#include "engine/runtime.hpp"
#include "engine/script_input.hpp"

namespace vx {

int LoadScript(Runtime& rt, std::string_view path) {
  rt.startup.script_path.assign(path.substr(0, STARTUP_PATH_MAX));
  engine::UnloadScript(rt);
  BeginProgram(rt);

  CompileStatus status;
  {
    std::optional<ScriptInput> input = OpenScriptInput(rt);
    if (!input) return 0;
    status = CompileScript(rt, *input);
  }  // the source is closed before the script runs
  if (status == CompileStatus::kUnknownDirective) {
    engine::UnloadScript(rt);
    return 0;
  }
  if (status != CompileStatus::kCompiled) return 0;

  engine::CreateDeclaredControls(rt);
  rt.program.AddInitialLabelIfMissing();
  return engine::StartLoadedProgram(rt) == 1 ? 1 : 0;
}

}  // namespace vx
