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
  rt.diagnostics.source_unreadable = false;
  {
    std::optional<ScriptInput> input = OpenScriptInput(rt);
    if (!input) {
      rt.diagnostics.source_unreadable = true;
      return LoadFailed(rt);
    }
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

int CheckScript(Runtime& rt, std::string_view path, std::string source) {
  rt.startup.script_path.assign(path.substr(0, STARTUP_PATH_MAX));
  rt.diagnostics.check_only = true;
  rt.diagnostics.check_errors = 0;
  rt.diagnostics.check_warnings = 0;
  BeginProgram(rt);
  ScriptInput input = ScriptInput::FromBytes(std::move(source), false, rt.startup.encoding);
  CompileScript(rt, input);
  return rt.diagnostics.check_errors;
}

}  // namespace vx
