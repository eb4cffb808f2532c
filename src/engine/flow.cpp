// Flow control: conditions, loops, jumps, subroutine calls and the call
// stack. Block targets were resolved by the loader; labels named at load
// time carry their label index, computed names are searched at run time.
#include <cmath>

#include "engine/run_internal.hpp"
#include "engine/system_variables.hpp"
#include "values/values.hpp"

namespace vx::engine::detail {
namespace {

bool ValidLabel(const Runtime& rt, std::int32_t label) {
  return label >= 0 && label < rt.program.LblCount();
}

std::string_view LabelName(const Runtime& rt, std::int32_t label) {
  return ValidLabel(rt, label) ? rt.program.LabelAt(label).Name() : std::string_view();
}

// Entry of a label named at load time; 0 when it was never defined.
std::int32_t LabelEntry(const Runtime& rt, std::int32_t label) {
  return ValidLabel(rt, label) ? rt.program.LabelAt(label).entry : 0;
}

Flow LabelError(Runtime& rt, msg::Id id, std::int32_t label) {
  rt.error.Set(msg::Format(id, LabelName(rt, label)));
  return EndRun();
}

Flow StackOverflow(Runtime& rt) {
  rt.error.Set(msg::Text(msg::Id::kStackOverflow));
  return EndRun();
}

// One line of G_SYSTEM_LOG: the labels on the call stack, then the target.
void TraceCall(Runtime& rt, std::int32_t target_label, bool is_goto) {
  if (!(rt.run.trace_flags & TRACE_CALLS)) return;
  std::string& line = rt.run.line;
  line.clear();
  for (std::int32_t level = 0; level < rt.run.depth; ++level) {
    line += level == 0 ? "[" : "-[";
    line += LabelName(rt, rt.run.stack[level].label);
    line += ']';
  }
  line += is_goto ? " goto " : " ";
  line += LabelName(rt, target_label);
  line += "\r\n";
  values::AppendText(rt, sysvar::G_SYSTEM_LOG, line);
}

void Push(Runtime& rt, std::int32_t return_index, std::int32_t label) {
  rt.run.stack[rt.run.depth] = {return_index, label};
  ++rt.run.depth;
}

}  // namespace

Flow ExecuteIf(Runtime& rt, std::int32_t p, Procedure& proc) {
  const double v = EvaluateNumber(rt, proc);
  if (rt.error.Raised()) return GoOn(p);  // the loop ends the run with it
  if (!(v > 0.0)) return proc.b == IF_TAIL_BLOCK ? JumpTo(proc.target) : GoOn(p);
  switch (proc.b) {
    case IF_TAIL_GOTO: return Goto(rt, proc.target, msg::Id::kNoLabelIfGoto);
    case IF_TAIL_CALLSUB: return CallSub(rt, p, proc.target, msg::Id::kNoLabelIfCallSub);
    case IF_TAIL_ENDP: return Return(rt);
    case IF_TAIL_BREAK:
    case IF_TAIL_CONTINUE: return JumpTo(proc.target);
    default: return GoOn(p);  // block: the then part follows
  }
}

Flow Return(Runtime& rt) {
  if (rt.run.depth <= 0) return EndRun();
  --rt.run.depth;
  return {rt.run.stack[rt.run.depth].return_index, false};
}

Flow CallSub(Runtime& rt, std::int32_t p, std::int32_t label, msg::Id undefined) {
  if (rt.run.depth >= CALL_STACK_MAX) return StackOverflow(rt);
  Push(rt, p + 1, label);
  const std::int32_t entry = LabelEntry(rt, label);
  if (entry == 0) return LabelError(rt, undefined, label);
  TraceCall(rt, label, false);
  return JumpTo(entry);
}

Flow CallSubByName(Runtime& rt, std::int32_t p, Procedure& proc) {
  if (rt.run.depth >= CALL_STACK_MAX) return StackOverflow(rt);
  const std::string_view name = EvaluateString(rt, proc);
  if (rt.error.Raised()) return GoOn(p);
  const std::int32_t label = rt.program.FindLabelAtRunTime(name);
  if (label < 0) return GoOn(p);
  Push(rt, p + 1, label);
  TraceCall(rt, label, false);
  return JumpTo(rt.program.LabelAt(label).entry);
}

Flow Goto(Runtime& rt, std::int32_t label, msg::Id undefined) {
  const std::int32_t entry = LabelEntry(rt, label);
  if (entry == 0) return LabelError(rt, undefined, label);
  TraceCall(rt, label, true);
  return JumpTo(entry);
}

Flow GotoByName(Runtime& rt, std::int32_t p, Procedure& proc) {
  const std::string_view name = EvaluateString(rt, proc);
  if (rt.error.Raised()) return GoOn(p);
  const std::int32_t label = rt.program.FindLabelAtRunTime(name);
  if (label < 0) return GoOn(p);
  return JumpTo(rt.program.LabelAt(label).entry);
}

}  // namespace vx::engine::detail
