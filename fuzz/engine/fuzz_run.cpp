// Arbitrary bytes as a script, compiled and then run: the Initial label and
// every other label in turn, as events would run them. Every run gets a
// budget of procedures (through the single-step hook of the debugging
// dialog, which quits when it is spent), so endless loops end too.
// Scripts that could name a file resource or call an API are skipped: a
// fuzzed path could point anywhere on the disk, and API families can delete
// files or start programs. CALL and CALLS have their own targets.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "../tests/support/fake_window_system.hpp"
#include "engine/lifecycle.hpp"
#include "engine/loader.hpp"
#include "engine/run_loop.hpp"
#include "engine/runtime.hpp"
#include "engine/script_input.hpp"

namespace {

constexpr int kStepsPerRun = 3000;

class Budget : public vx::DebugDialog {
 public:
  int Open(vx::Runtime&, std::int32_t, std::string_view) override { return --left > 0 ? 1 : 0; }
  int left = kStepsPerRun;
};

// "file" anywhere, or "call" not followed by "sub" (CALLSUB and CALLSUBS
// stay in).
bool Unsafe(const std::string& bytes) {
  std::string lower(bytes);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower.find("file") != std::string::npos) return true;
  for (std::size_t at = lower.find("call"); at != std::string::npos; at = lower.find("call", at + 1)) {
    if (lower.compare(at + 4, 3, "sub") != 0) return true;
  }
  return false;
}

void CheckAfterRun(const vx::Runtime& rt, int result) {
  if (rt.run.depth != 0 || (result != 0 && result != 1)) __builtin_trap();
  if (rt.run.exit_request < vx::EXIT_NONE || rt.run.exit_request > vx::EXIT_QUIT) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (Unsafe(bytes)) return 0;

  vx::test::FakeWindowSystem window;
  vx::Runtime rt{window};
  Budget budget;
  rt.debugger = &budget;
  rt.run.single_step = true;

  vx::BeginProgram(rt);
  vx::ScriptInput input = vx::ScriptInput::FromBytes(std::move(bytes), false);
  if (vx::CompileScript(rt, input) != vx::CompileStatus::kCompiled) return 0;
  vx::engine::CreateDeclaredControls(rt);
  rt.program.AddInitialLabelIfMissing();
  vx::engine::StartLoadedProgram(rt);
  CheckAfterRun(rt, 1);

  for (std::int32_t label = 0; label < rt.program.LblCount(); ++label) {
    if (rt.run.exit_request != vx::EXIT_NONE || rt.error.Raised()) break;
    const std::int32_t entry = rt.program.LabelAt(label).entry;
    if (entry < 1) continue;
    budget.left = kStepsPerRun;
    vx::EngineLockGuard guard(rt.run.lock);
    CheckAfterRun(rt, vx::engine::RunFrom(rt, entry));
  }
  return 0;
}
