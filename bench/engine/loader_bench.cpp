// Load time of scripts near the table limits (4999 procedures, 499 labels,
// about 1900 declarations) and of smaller cuts of the same script, to show
// that loading grows linearly with the script's size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "../tests/support/fake_window_system.hpp"
#include "engine/loader.hpp"
#include "engine/runtime.hpp"
#include "engine/script_input.hpp"

namespace vx {
namespace {

constexpr int FULL_DECLARATIONS = 1900;
constexpr int FULL_LABELS = 499;
constexpr int FULL_PROCEDURES = PROCEDURE_MAX - 1;

// A script with `percent` % of the full counts. Declarations come first;
// the code is cut into labelled sections of assignments, jumps, API calls,
// loops and If blocks, each section closed, padded with ENDP.
std::string GenerateScript(int percent) {
  const int declarations = FULL_DECLARATIONS * percent / 100;
  const int labels = std::max(1, FULL_LABELS * percent / 100);
  const int procedures = FULL_PROCEDURES * percent / 100;
  const int variables = declarations / 4;
  std::string s;
  for (int i = 0; i < variables; ++i) {
    const std::string n = std::to_string(i);
    s += "Data long V" + n + " " + n + " // counter\r\n";
    s += "Data double D" + n + " " + n + ".5\r\n";
    s += "Data string S" + n + " \"text " + n + "\\r\\n\", Value_Size\r\n";
    s += "MakeButton B" + n + " 10, 20+" + n + ", 80, 24, \"Button " + n + "\"\r\n";
  }
  int emitted = 0;
  const int per_label = procedures / labels;
  for (int l = 0; l < labels; ++l) {
    s += ":L" + std::to_string(l) + "\r\n";
    const int stop = (l == labels - 1) ? procedures : emitted + per_label;
    int k = 0;
    while (emitted < stop) {
      const std::string v = std::to_string((l * 7 + k) % std::max(variables, 1));
      const int room = stop - emitted;
      if (room >= 4 && k % 5 == 3) {
        s += "If V" + v + " == 1 && D" + v + " < 3.5\r\n  D" + v + " = D" + v +
             " * 1.5 + (V" + v + " << 2)\r\nelse\r\n  inc V" + v + "\r\nendif\r\n";
        emitted += 4;
      } else if (room >= 3 && k % 5 == 4) {
        s += "while V" + v + " < 10\r\n  V" + v + " += 1\r\nendwhile\r\n";
        emitted += 3;
      } else if (k % 5 == 1) {
        s += "If V" + v + " > 3 goto L" + std::to_string((l + 1) % labels) + "\r\n";
        emitted += 1;
      } else if (k % 5 == 2) {
        s += "CALL strlen S" + v + ", V" + v + "\r\n";
        emitted += 1;
      } else if (k % 5 == 0) {
        s += "V" + v + " = V" + v + " + " + std::to_string(k) + " * (2 - V" + v +
             ") // note \"quoted\"\r\n";
        emitted += 1;
      } else {
        s += "ENDP\r\n";
        emitted += 1;
      }
      ++k;
    }
  }
  return s;
}

void CompileOnce(Runtime& rt, std::string bytes, bool unscramble) {
  BeginProgram(rt);
  ScriptInput input = ScriptInput::FromBytes(std::move(bytes), unscramble);
  if (CompileScript(rt, input) != CompileStatus::kCompiled) std::abort();
}

void BM_LoadScript(benchmark::State& state) {
  const int percent = static_cast<int>(state.range(0));
  const std::string script = GenerateScript(percent);
  test::FakeWindowSystem window;
  Runtime rt{window};
  CompileOnce(rt, script, false);
  if (!window.messages.empty()) {
    state.SkipWithError(window.messages.front().c_str());
    return;
  }
  state.counters["procedures"] = rt.program.ProcCount() - 1;
  state.counters["labels"] = rt.program.LblCount();
  state.counters["resources"] = rt.program.RscCount();
  for (auto _ : state) CompileOnce(rt, script, false);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(script.size()));
  state.SetComplexityN(static_cast<int64_t>(script.size()));
}
BENCHMARK(BM_LoadScript)->Arg(25)->Arg(50)->Arg(75)->Arg(100)->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// The same full script read through the unscrambling step.
void BM_LoadScrambledScript(benchmark::State& state) {
  const std::string script = ScrambleScript(GenerateScript(100));
  test::FakeWindowSystem window;
  Runtime rt{window};
  for (auto _ : state) CompileOnce(rt, script, true);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(script.size()));
}
BENCHMARK(BM_LoadScrambledScript)->Unit(benchmark::kMillisecond);

// The full script read from a file, as LoadScript reads it.
void BM_LoadScriptFromFile(benchmark::State& state) {
  const std::string script = GenerateScript(100);
  test::FakeWindowSystem window;
  Runtime rt{window};
  for (auto _ : state) {
    state.PauseTiming();
    std::FILE* f = std::tmpfile();
    std::fwrite(script.data(), 1, script.size(), f);
    std::rewind(f);
    state.ResumeTiming();
    BeginProgram(rt);
    ScriptInput input = ScriptInput::FromFile(files::FilePtr(f), false);
    if (CompileScript(rt, input) != CompileStatus::kCompiled) std::abort();
  }
}
BENCHMARK(BM_LoadScriptFromFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vx
