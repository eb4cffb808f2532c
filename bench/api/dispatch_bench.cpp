// Calls per second of API calls through the dispatcher, with and without the
// per-procedure argument cache. The run loop makes the same calls over and
// over with the same argument text, which is what the cache is for.
#include <benchmark/benchmark.h>

#include <string_view>

#include "../tests/support/null_window_system.hpp"
#include "api/api_table.hpp"
#include "api/argument_cache.hpp"
#include "engine/runtime.hpp"
#include "engine/window_system.hpp"
#include "values/values.hpp"

namespace vx {
namespace {

struct LoadedProgram {
  LoadedProgram() {
    rt.program.CreateSystemVariables("", "/", "/");
    Declare("VALUE", R_KD_VAL_LONG).long_value = 0x5A5A;
    Declare("BIT", R_KD_VAL_LONG).long_value = 3;
    Declare("OUT", R_KD_VAL_LONG);
    ResourceEntry& text = Declare("TEXT", R_KD_VAL_TXT);
    text.AllocateText(64);
    text.capacity = 64;
    values::BuildNameTable(rt);
    values::WriteText(rt, rt.program.FindResource("TEXT"), "some text");
  }
  ResourceEntry& Declare(std::string_view name, std::uint16_t kind) {
    ResourceEntry* e = rt.program.NewResource();
    e->SetName(name);
    e->kind = kind;
    rt.program.CommitResource(0, rt.error);
    return *e;
  }
  test::NullWindowSystem windows{{"12.5", -1, true, 3, "clip"}};
  Runtime rt{windows};
};

// BitTest N value, N bit, R: three arguments, two of them expressions.
constexpr std::string_view kBitTestArgs = "VALUE + 1, (BIT * 2) % 16, OUT";
// strlen T, R: a string expression and an output.
constexpr std::string_view kStrlenArgs = "TEXT + \", and more\", OUT";

void Run(benchmark::State& state, std::string_view api, std::string_view args, bool cached) {
  LoadedProgram program;
  const int id = api::LookupApi(api)->id;
  ArgumentCachePtr slot;
  ArgumentCache* cache = cached ? &GetOrCreateArgumentCache(slot) : nullptr;
  for (auto _ : state) {
    benchmark::DoNotOptimize(api::Dispatch(program.rt, id, args, cache));
  }
  if (program.rt.error.Raised()) state.SkipWithError("the call reported an error");
  state.SetItemsProcessed(state.iterations());
  state.counters["calls/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_BitTestUncached(benchmark::State& state) { Run(state, "BitTest", kBitTestArgs, false); }
void BM_BitTestCached(benchmark::State& state) { Run(state, "BitTest", kBitTestArgs, true); }
void BM_StrlenUncached(benchmark::State& state) { Run(state, "strlen", kStrlenArgs, false); }
void BM_StrlenCached(benchmark::State& state) { Run(state, "strlen", kStrlenArgs, true); }

BENCHMARK(BM_BitTestUncached);
BENCHMARK(BM_BitTestCached);
BENCHMARK(BM_StrlenUncached);
BENCHMARK(BM_StrlenCached);

}  // namespace
}  // namespace vx
