// Arbitrary bytes through every expression entry point. The prepared and the
// raw text are each evaluated by the text rules and by compiled code, which
// must agree exactly (value bits, or both NaN, and the same pending error).
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "../tests/support/null_window_system.hpp"
#include "engine/runtime.hpp"
#include "values/compiled_expression.hpp"
#include "values/expression.hpp"
#include "values/values.hpp"

namespace {

struct Fixture {
  vx::test::NullWindowSystem window{{"2.5", 0, true, 7, "clip"}};
  vx::Runtime rt{window};

  Fixture() {
    rt.program.CreateSystemVariables("", "/prog/", "/cur");
    Declare("A", vx::R_KD_VAL_LONG)->long_value = 7;
    Declare("B", vx::R_KD_VAL_LONG)->long_value = -3;
    Declare("C", vx::R_KD_VAL_DOUBLE)->double_value = 2.5;
    DeclareText("D", vx::R_KD_VAL_TXT, "16");
    DeclareText("S", vx::R_KD_VAL_TXT, "12abc")->flags |= vx::FLAG_VALUE_SIZE;
    DeclareText("F", vx::R_KD_FILE, "3.75");
    Declare("abs", vx::R_KD_VAL_LONG)->long_value = 4;
    Declare("E", vx::R_KD_EDITBOX)->window = 1;
    Declare("K", vx::R_KD_CK_BOX)->window = 2;
    Declare("L", vx::R_KD_LISTBOX)->window = 3;
    vx::values::BuildNameTable(rt);
  }

  vx::ResourceEntry* Declare(std::string_view name, std::uint16_t kind) {
    vx::ResourceEntry* e = rt.program.NewResource();
    e->SetName(name);
    e->kind = kind;
    rt.program.CommitResource(0, rt.error);
    return e;
  }
  vx::ResourceEntry* DeclareText(std::string_view name, std::uint16_t kind, std::string_view text) {
    vx::ResourceEntry* e = rt.program.NewResource();
    e->SetName(name);
    e->kind = kind;
    e->AllocateText(64);
    e->capacity = 64;
    std::copy(text.begin(), text.end(), e->text.get());
    rt.program.CommitResource(0, rt.error);
    return e;
  }
};

struct Outcome {
  double value;
  bool failed;
  std::string error;
};

Outcome Take(vx::Runtime& rt, double value) {
  Outcome o{value, rt.error.Raised(), rt.error.Text()};
  rt.error.Clear();
  return o;
}

bool Same(const Outcome& a, const Outcome& b) {
  const bool same_value = (std::isnan(a.value) && std::isnan(b.value)) ||
                          std::bit_cast<std::uint64_t>(a.value) ==
                              std::bit_cast<std::uint64_t>(b.value);
  return same_value && a.failed == b.failed && a.error == b.error;
}

void ExpectAgreement(vx::Runtime& rt, std::string_view text) {
  rt.error.Clear();
  const Outcome by_text = Take(rt, vx::expr::EvaluatePrepared(rt, text));
  vx::CompiledExpressionPtr code = vx::expr::Compile(text);
  const Outcome by_code = Take(rt, vx::expr::EvaluateCompiled(rt, *code));
  if (!Same(by_text, by_code)) {
    std::fprintf(stderr, "evaluators disagree: text %.17g (%d), code %.17g (%d)\n", by_text.value,
                 by_text.failed, by_code.value, by_code.failed);
    std::abort();
  }
  if (by_text.failed && by_text.value != 0.0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture fixture;
  vx::Runtime& rt = fixture.rt;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  ExpectAgreement(rt, input);

  std::string prepared(input);
  rt.error.Clear();
  if (vx::expr::PrepareExpression(rt, prepared)) {
    if (prepared.size() > vx::PREPARED_EXPRESSION_MAX || rt.error.Raised()) std::abort();
    ExpectAgreement(rt, prepared);
  } else if (!rt.error.Raised() || prepared != input.substr(0, prepared.size())) {
    std::abort();
  }

  rt.error.Clear();
  (void)vx::expr::EvaluateExpression(rt, input);

  rt.error.Clear();
  std::string out;
  (void)vx::expr::EvaluateStringExpression(rt, input, out);
  if (out.size() > vx::STRING_EXPRESSION_MAX) std::abort();
  rt.error.Clear();
  return 0;
}
