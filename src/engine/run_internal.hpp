#pragma once
// Shared by the parts of the run loop: where execution goes next, and the
// operand evaluation every directive uses.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/program.hpp"
#include "engine/runtime.hpp"
#include "text/messages.hpp"
#include "values/compiled_expression_internal.hpp"
#include "values/compiled_string.hpp"
#include "values/expression.hpp"

namespace vx::engine::detail {

inline constexpr std::int32_t END_OF_RUN = -1;

// The procedure to execute next. `jump` marks an index chosen by a jump: a
// jump at or beyond the end of the program ends the run with result 0.
struct Flow {
  std::int32_t next;
  bool jump;
};
inline Flow GoOn(std::int32_t p) { return {p + 1, false}; }
inline Flow JumpTo(std::int32_t index) { return {index, true}; }
inline Flow EndRun() { return {END_OF_RUN, false}; }

// The long-variable write of WriteInteger for an entry already in hand:
// assignments to counters are the commonest statement of all.
inline void StoreLong(Runtime& rt, ResourceEntry& e, std::int32_t value) {
  e.long_value = value;
  if (e.name_index < rt.names.Size()) rt.names.SetValue(e.name_index, value);
}

// The double-variable write of WriteDouble for an entry already in hand.
inline void StoreDouble(Runtime& rt, ResourceEntry& e, double value) {
  e.double_value = value;
  if (e.name_index < rt.names.Size()) rt.names.SetValue(e.name_index, value);
}

// A long variable given `v` that is no nonzero whole number in range:
// truncated and saturated. Out of line, so that the common case is a branch
// the compiler cannot turn into a select.
[[gnu::noinline]] void StoreTruncatedLong(ResourceEntry& dest, double* value, double v);

// Stores an assignment's value through its bound destination. A long
// variable given a nonzero whole number in range keeps `v` itself as its
// name-table value (zero is stored as +0 by the other path): a counter's
// next pass reads that value at once, and the two conversions of a
// truncation would lie on the path from one pass to the next.
[[gnu::always_inline]] inline void StoreBound(const expr::detail::FastPart& fast, double v) {
  ResourceEntry& dest = *fast.destination;
  if (dest.kind == R_KD_VAL_LONG) {
    // The processor's truncation differs from `v` for anything that is no
    // whole number in range.
    const std::int32_t whole = expr::rules::ProcessorTruncation(v);
    if (whole != 0 && static_cast<double>(whole) == v) [[likely]] {
      dest.long_value = whole;
      *fast.destination_value = v;
      return;
    }
    StoreTruncatedLong(dest, fast.destination_value, v);
  } else {
    dest.double_value = v;
    *fast.destination_value = v;
  }
}

// Numeric operand: the expression compiled at load, else the prepared text.
// A failure sets the pending error and gives 0.0.
[[gnu::always_inline]] inline double EvaluateNumber(Runtime& rt, Procedure& proc) {
  if (proc.expression) return expr::Evaluate(rt, *proc.expression);
  return expr::EvaluatePrepared(rt, proc.text);
}

// String operand, into the run's text work buffer.
inline std::string_view EvaluateString(Runtime& rt, const Procedure& proc) {
  expr::EvaluateCompiledString(rt, expr::CompiledStringFor(proc.text_expression, proc.text),
                               rt.run.text);
  return rt.run.text;
}

// Flow control (flow.cpp).
Flow ExecuteIf(Runtime& rt, std::int32_t p, Procedure& proc);
Flow Return(Runtime& rt);
Flow CallSub(Runtime& rt, std::int32_t p, std::int32_t label, msg::Id undefined);
Flow CallSubByName(Runtime& rt, std::int32_t p, Procedure& proc);
Flow Goto(Runtime& rt, std::int32_t label, msg::Id undefined);
Flow GotoByName(Runtime& rt, std::int32_t p, Procedure& proc);

// Moving values between resources (transfer.cpp).
void Assign(Runtime& rt, Procedure& proc);
void Copy(Runtime& rt, const Procedure& proc);
void Append(Runtime& rt, const Procedure& proc);
void AddListLines(Runtime& rt, Procedure& proc);
void OpenFile(Runtime& rt, const Procedure& proc);
void CloseFile(Runtime& rt, const Procedure& proc);
void ReadLine(Runtime& rt, const Procedure& proc);
void Increment(Runtime& rt, const Procedure& proc);

// API calls (calls.cpp).
void CallApi(Runtime& rt, Procedure& proc);
void CallApiByName(Runtime& rt, Procedure& proc);

// "Line (%ld) : %s [%s]" and "Line (%ld) : %s".
std::string LineMessage(std::int32_t line, std::string_view message, std::string_view detail);
std::string LineMessage(std::int32_t line, std::string_view message);

}  // namespace vx::engine::detail
