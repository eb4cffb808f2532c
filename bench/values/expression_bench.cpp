// Evaluations per second of one prepared expression, by the text rules and
// by compiled code, over variables of mixed kinds and of one kind each.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "../tests/support/null_window_system.hpp"
#include "engine/runtime.hpp"
#include "values/compiled_expression.hpp"
#include "values/expression.hpp"
#include "values/values.hpp"

namespace {

constexpr std::string_view kExpression = "(A+B*3)/(C-1)+sqrt(D)";

enum class Kinds { kMixed, kLong, kDouble };

// A loaded program with the system variables, A to D of the chosen kinds
// and the name table built, as a running script has it.
struct Program {
  explicit Program(Kinds kinds) {
    rt.program.CreateSystemVariables("", "/prog/", "/cur");
    switch (kinds) {
      case Kinds::kMixed:
        Long("A", 5);
        Long("B", 7);
        Double("C", 3.5);
        String("D", "16");
        break;
      case Kinds::kLong:
        Long("A", 5);
        Long("B", 7);
        Long("C", 3);
        Long("D", 16);
        break;
      case Kinds::kDouble:
        Double("A", 5.0);
        Double("B", 7.0);
        Double("C", 3.5);
        Double("D", 16.0);
        break;
    }
    vx::values::BuildNameTable(rt);
    prepared = kExpression;
    vx::expr::PrepareExpression(rt, prepared);
  }

  vx::ResourceEntry* Add(std::string_view name, std::uint16_t kind) {
    vx::ResourceEntry* e = rt.program.NewResource();
    e->SetName(name);
    e->kind = kind;
    rt.program.CommitResource(0, rt.error);
    return e;
  }
  void Long(std::string_view name, std::int32_t v) { Add(name, vx::R_KD_VAL_LONG)->long_value = v; }
  void Double(std::string_view name, double v) { Add(name, vx::R_KD_VAL_DOUBLE)->double_value = v; }
  void String(std::string_view name, std::string_view v) {
    vx::ResourceEntry* e = rt.program.NewResource();
    e->SetName(name);
    e->kind = vx::R_KD_VAL_TXT;
    e->AllocateText(64);
    e->capacity = 64;
    std::copy(v.begin(), v.end(), e->text.get());
    rt.program.CommitResource(0, rt.error);
  }

  vx::test::NullWindowSystem window;
  vx::Runtime rt{window};
  std::string prepared;
};

void Check(benchmark::State& state, vx::Runtime& rt) {
  if (rt.error.Raised()) state.SkipWithError("the expression failed");
}

void BM_TextRules(benchmark::State& state) {
  Program p(static_cast<Kinds>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(vx::expr::EvaluatePrepared(p.rt, p.prepared));
  Check(state, p.rt);
  state.SetItemsProcessed(state.iterations());
}

void BM_Compiled(benchmark::State& state) {
  Program p(static_cast<Kinds>(state.range(0)));
  vx::CompiledExpressionPtr code = vx::expr::Compile(p.prepared);
  for (auto _ : state) benchmark::DoNotOptimize(vx::expr::EvaluateCompiled(p.rt, *code));
  Check(state, p.rt);
  state.SetItemsProcessed(state.iterations());
}

// What an API argument costs when nothing is cached: prepare, then evaluate.
void BM_PrepareAndEvaluate(benchmark::State& state) {
  Program p(static_cast<Kinds>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(vx::expr::EvaluateExpression(p.rt, kExpression));
  Check(state, p.rt);
  state.SetItemsProcessed(state.iterations());
}

void KindArguments(benchmark::internal::Benchmark* b) {
  b->ArgName("kinds");
  b->Arg(static_cast<int>(Kinds::kMixed));
  b->Arg(static_cast<int>(Kinds::kLong));
  b->Arg(static_cast<int>(Kinds::kDouble));
}

}  // namespace

BENCHMARK(BM_TextRules)->Apply(KindArguments);
BENCHMARK(BM_Compiled)->Apply(KindArguments);
BENCHMARK(BM_PrepareAndEvaluate)->Apply(KindArguments);
