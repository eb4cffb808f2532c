// The run loop in process, without the front end's start-up: a counting
// loop and a mixed loop (arithmetic, concatenation, a subroutine call and an
// API call), loaded through the real loader.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "../tests/support/null_window_system.hpp"
#include "engine/loader.hpp"
#include "engine/run_loop.hpp"
#include "engine/runtime.hpp"
#include "engine/startup.hpp"
#include "engine/window_system.hpp"

namespace {

using namespace vx;

constexpr int kIterations = 100000;

const char* const kCountScript = R"(
Data long I 0
:Initial
ENDP
:Loop
I = 0
while I < 100000
  I = I + 1
endwhile
ENDP
)";

const char* const kMixedScript = R"(
Data long I 0
Data double X 0
Data string S 64
Data long N 0
Data long B 0
:Initial
ENDP
:Loop
I = 0
while I < 100000
  X = X + (I * 3 % 7) / 2
  S = "n" + I
  CALLSUB Step
  CALL BitLogic I, 255, 1, B
  I = I + 1
endwhile
ENDP
:Step
N = N + 1
ENDP
)";

// Loads the script from a private file and runs its Loop label per round.
void RunScript(benchmark::State& state, const char* script, int procedures_per_iteration) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("vexmora-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::filesystem::path file = dir / "bench.vx";
  std::ofstream(file, std::ios::binary) << script;

  test::NullWindowSystem window{{}, true};
  Runtime rt(window);
  if (engine::ReloadScript(rt, file.string()) != 1) {
    state.SkipWithError("the script did not load");
    return;
  }
  const std::int32_t entry = rt.program.LabelAt(rt.program.FindLabelAtRunTime("Loop")).entry;
  for (auto _ : state) {
    EngineLockGuard guard(rt.run.lock);
    benchmark::DoNotOptimize(engine::RunFrom(rt, entry));
  }
  state.SetItemsProcessed(state.iterations() * kIterations * procedures_per_iteration);
  std::filesystem::remove_all(dir);
}

void BM_CountingLoop(benchmark::State& state) { RunScript(state, kCountScript, 3); }
void BM_MixedLoop(benchmark::State& state) { RunScript(state, kMixedScript, 8); }

BENCHMARK(BM_CountingLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixedLoop)->Unit(benchmark::kMillisecond);

}  // namespace
