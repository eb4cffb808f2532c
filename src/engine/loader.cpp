#include "engine/loader.hpp"

#include <optional>

#include "engine/lifecycle.hpp"
#include "engine/runtime.hpp"
#include "engine/script_input.hpp"

namespace vx {

namespace {

int LoadFailed(Runtime& rt) {
  rt.session.ended_with_error = true;
  return 0;
}

}  // namespace

int LoadScript(Runtime& rt, std::string_view path) {
  rt.startup.script_path.assign(path.substr(0, STARTUP_PATH_MAX));
  engine::UnloadScript(rt);
  BeginProgram(rt);
  rt.session.ended_with_error = false;

  CompileStatus status;
  {
    std::optional<ScriptInput> input = OpenScriptInput(rt);
    if (!input) return LoadFailed(rt);
    status = CompileScript(rt, *input);
  }  // the source is closed before the script runs
  if (status == CompileStatus::kUnknownDirective) {
    engine::UnloadScript(rt);
    return LoadFailed(rt);
  }
  if (status != CompileStatus::kCompiled) return LoadFailed(rt);

  engine::CreateDeclaredControls(rt);
  rt.program.AddInitialLabelIfMissing();
  return engine::StartLoadedProgram(rt) == 1 ? 1 : 0;
}

}  // namespace vx
