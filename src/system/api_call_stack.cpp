// CallStackInfo: where the running script stands in its subroutine calls.
// G_WORK1 the depth, G_WORK2 the line of the innermost call still waiting
// for its ENDP, G_TXT (and an optional output) the labels called, outermost
// first, as "[A]-[B]".
#include <cstdint>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"

namespace vx::api {
namespace {

void DescribeStack(const Runtime& rt, std::string& text) {
  text.clear();
  for (std::int32_t level = 0; level < rt.run.depth; ++level) {
    const std::int32_t label = rt.run.stack[level].label;
    text += level == 0 ? "[" : "-[";
    if (label >= 0 && label < rt.program.LblCount()) text += rt.program.LabelAt(label).Name();
    text += ']';
  }
}

// The line of the statement that made the innermost call.
std::int32_t CallerLine(const Runtime& rt) {
  if (rt.run.depth <= 0) return 0;
  const std::int32_t caller = rt.run.stack[rt.run.depth - 1].return_index - 1;
  return caller >= 1 && caller < rt.program.ProcCount() ? rt.program.Proc(caller).line : 0;
}

// CallStackInfo [R text]
void CallStackInfo(Call& call) {
  Runtime& rt = call.rt();
  const std::int32_t out = call.OptResource(0);
  if (call.Has(0) && out < 0) return;  // the getter has reported the name
  // At most 100 labels of 31 bytes: the text always fits G_TXT.
  std::string& text = call.Large(0);
  DescribeStack(rt, text);
  call.SetWork(1, rt.run.depth);
  call.SetWork(2, CallerLine(rt));
  call.SetTxt(text);
  if (out >= 0) call.WriteText(out, text);
  call.SetError(0);
}

constexpr Registration kCallStackApis[] = {
    {Id("CallStackInfo"), CallStackInfo},
};

}  // namespace

void RegisterCallStackApis(Registry& registry) { registry.AddAll(kCallStackApis); }

}  // namespace vx::api
