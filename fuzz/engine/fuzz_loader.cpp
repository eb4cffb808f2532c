// Arbitrary bytes as a script compiled from memory. The first byte picks
// the reading mode: odd means a selected script file (unscrambling step on),
// so both plain and scrambled inputs are explored.
#include <cstddef>
#include <cstdint>
#include <string>

#include "../tests/support/fake_window_system.hpp"
#include "engine/loader.hpp"
#include "engine/runtime.hpp"
#include "engine/script_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool selected = (data[0] & 1) != 0;
  std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (selected && (data[0] & 2) != 0) bytes = vx::ScrambleScript(bytes);

  vx::test::FakeWindowSystem window;
  vx::Runtime rt{window};
  vx::BeginProgram(rt);
  vx::ScriptInput input = vx::ScriptInput::FromBytes(std::move(bytes), selected);
  const vx::CompileStatus status = vx::CompileScript(rt, input);

  // Whatever happened, the tables stay within their capacities and every
  // jump target points into them.
  const vx::Program& p = rt.program;
  if (p.RscCount() > vx::RESOURCE_MAX || p.ProcCount() > vx::PROCEDURE_MAX ||
      p.LblCount() > vx::LABEL_MAX) {
    __builtin_trap();
  }
  if (status == vx::CompileStatus::kCompiled) {
    if (!window.messages.empty()) __builtin_trap();
    for (std::int32_t i = 1; i < p.ProcCount(); ++i) {
      const vx::Procedure& proc = p.Proc(i);
      const bool label_target = proc.code == vx::P_DTV_GOTO || proc.code == vx::P_DTV_CALLSUB ||
                                (proc.code == vx::P_DTV_IF && proc.b <= vx::IF_TAIL_CALLSUB);
      const std::int32_t limit = label_target ? p.LblCount() - 1 : p.ProcCount();
      if (proc.target < 0 || proc.target > limit) __builtin_trap();
    }
  } else if (window.messages.size() != 1) {
    __builtin_trap();
  }
  return 0;
}
