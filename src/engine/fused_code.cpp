// Fused statements: each record is made from its procedure on the first
// visit under the current tables, and the records then run one after
// another, each jumping straight to the form of the next.
#include "engine/fused_code.hpp"

#include <cstdint>

#include "engine/run_internal.hpp"

namespace vx::engine {
namespace {

using expr::detail::FastCase;
using expr::detail::kFastCases;

// The forms of a record: four without an expression, then one per inline
// case of the expression for each statement that evaluates one.
enum Form : std::uint8_t {
  kMake,
  kExit,
  kJump,
  kCallSub,
  kEndp,
  kIncrementLong,
  kIncrementDouble,
  kStepLong,
  kFirstEvaluated
};
static_assert(kMake == 0, "a new record is made on its first visit");
enum Evaluating : int {
  kAssign,      // stores the value in the bound destination, then goes on
  kIfHolds,     // on_true when the value is above zero, else on_false
  kWhileHolds,  // on_true when the value is not zero, else on_false
};

constexpr std::uint8_t EvaluatingForm(Evaluating kind, FastCase k) {
  return static_cast<std::uint8_t>(kFirstEvaluated + kind * kFastCases + static_cast<int>(k) - 1);
}

// Drops every record when the tables changed since the last fused run
// (which happens as a program loads, and when break marks change).
void FollowTheTables(const Runtime& rt, FusedCode& fused) {
  const std::uint64_t generation = rt.names.Built() ? rt.names.Generation() : 0;
  const auto size = static_cast<std::size_t>(rt.program.ProcCount()) + 1;
  if (fused.names_generation == generation && fused.resource_count == rt.program.RscCount() &&
      fused.program_revision == rt.program.Revision() && fused.statements.size() == size) {
    return;
  }
  fused.names_generation = generation;
  fused.resource_count = rt.program.RscCount();
  fused.program_revision = rt.program.Revision();
  fused.statements.assign(size, FusedStatement{});
}

// How a statement fuses, or that it may once it ran through the run loop.
enum class Making { kMade, kNotYet };

class Maker {
 public:
  Maker(Runtime& rt, FusedStatement* statements, std::int32_t p)
      : rt_(rt), statements_(statements), p_(p), count_(rt.program.ProcCount()), out_(statements[p]) {}

  // Fills the record, or leaves it to be made on a later visit.
  Making Make() {
    const FusedStatement before = out_;
    const Making making = MakeStatement();
    if (making == Making::kNotYet) out_ = before;
    return making;
  }

 private:
  Making MakeStatement() {
    out_.form = kExit;
    out_.index = p_;
    if (p_ < 1 || p_ >= count_) return Making::kMade;
    const Procedure& proc = rt_.program.Proc(p_);
    if (proc.break_mark != 0) return Making::kMade;
    switch (proc.code) {
      case P_DTV_MOVE: return Assignment(proc);
      case P_DTV_IF: return If(proc);
      case P_DTV_WHILE: return Condition(proc, kWhileHolds, true, p_ + 1, proc.target);
      case P_DTV_ENDWHILE: return EndWhile(proc);
      case P_DTV_ELSE_IF:
      case P_DTV_BREAK:
      case P_DTV_CONTINUE: return Jump(proc.target);
      case P_DTV_EXECUTE: return GoOn();
      case P_DTV_GOTO: return Jump(LabelEntry(proc.target));
      case P_DTV_CALLSUB: return CallSub(proc.target);
      case P_DTV_ENDP: out_.form = kEndp; return Making::kMade;
      case P_DTV_INC: return Increment(proc.a);
      default: return Making::kMade;
    }
  }

  // Where a jump may land: a procedure of the program. A jump beyond it
  // ends the run otherwise than going off its end does, which the run loop
  // tells.
  bool Lands(std::int32_t target) const { return target >= 1 && target < count_; }

  std::int32_t LabelEntry(std::int32_t label) const {
    return label >= 0 && label < rt_.program.LblCount() ? rt_.program.LabelAt(label).entry : 0;
  }

  Making Jump(std::int32_t target) {
    if (!Lands(target)) return Making::kMade;
    out_.form = kJump;
    out_.on_true = At(target);
    return Making::kMade;
  }

  // The next statement, which may be one past the last.
  Making GoOn() {
    out_.form = kJump;
    out_.on_true = At(p_ + 1);
    return Making::kMade;
  }

  Making CallSub(std::int32_t label) {
    const std::int32_t entry = LabelEntry(label);
    if (entry < 1 || entry >= count_) return Making::kMade;
    out_.form = kCallSub;
    out_.on_true = At(entry);
    out_.label = label;
    return Making::kMade;
  }

  // Inc on a long or double variable; the run loop does nothing with the
  // other kinds.
  Making Increment(std::int32_t index) {
    if (!rt_.program.ValidResource(index)) return Making::kMade;
    ResourceEntry& e = rt_.program.Resource(index);
    if (e.kind != R_KD_VAL_LONG && e.kind != R_KD_VAL_DOUBLE) return Making::kMade;
    out_.form = e.kind == R_KD_VAL_LONG ? kIncrementLong : kIncrementDouble;
    out_.counter = &e;
    const bool named = e.name_index < static_cast<std::uint32_t>(RESOURCE_MAX) && e.name_index < rt_.names.Size();
    out_.counter_value = named ? rt_.names.MutableValuePointer(e.name_index) : nullptr;
    return Making::kMade;
  }

  // The inline case of an expression bound under the current tables.
  static FastCase CaseOf(const CompiledExpression& compiled) { return compiled.fast.evaluation; }
  bool Bound(const CompiledExpression& compiled) const {
    return expr::detail::BindingsCurrent(rt_, compiled.fast);
  }

  Making Assignment(const Procedure& proc) {
    if (!proc.expression) return Making::kMade;
    const CompiledExpression& compiled = *proc.expression;
    if (!Bound(compiled)) return Making::kNotYet;
    if (CaseOf(compiled) == FastCase::kNone) return Making::kMade;
    if (compiled.fast.destination == nullptr) {
      // Bound by the run loop's first store, unless it stores elsewhere.
      const bool number = rt_.program.ValidResource(proc.b) &&
                          (rt_.program.Resource(proc.b).kind == R_KD_VAL_LONG ||
                           rt_.program.Resource(proc.b).kind == R_KD_VAL_DOUBLE);
      return number ? Making::kNotYet : Making::kMade;
    }
    out_.form = EvaluatingForm(kAssign, CaseOf(compiled));
    out_.expression = &compiled;
    StepOfLong(compiled);
    return Making::kMade;
  }

  // `V = V + n` on a long variable with a whole n adds in whole numbers:
  // the variable's name-table value is its long value as a double, so the
  // sum is the same, and the next pass waits on an integer addition rather
  // than a floating one (a counting loop is bound by that wait). Sums the
  // long cannot hold, and 0, take the general store.
  void StepOfLong(const CompiledExpression& compiled) {
    const expr::detail::FastPart& fast = compiled.fast;
    if (CaseOf(compiled) != FastCase::kVariableLiteralAdd) return;
    if (fast.destination->kind != R_KD_VAL_LONG || fast.left != fast.destination_value) return;
    const double n = fast.literal;
    if (!(n >= INT32_MIN && n <= INT32_MAX) || static_cast<double>(static_cast<std::int32_t>(n)) != n) return;
    out_.form = kStepLong;
    out_.counter = fast.destination;
    out_.counter_value = fast.destination_value;
  }

  Making If(const Procedure& proc) {
    switch (proc.b) {
      case IF_TAIL_BLOCK: return Condition(proc, kIfHolds, true, p_ + 1, proc.target);
      case IF_TAIL_BREAK:
      case IF_TAIL_CONTINUE: return Condition(proc, kIfHolds, false, proc.target, p_ + 1);
      case IF_TAIL_GOTO:
        return Condition(proc, kIfHolds, false, LabelEntry(proc.target), p_ + 1);
      default: return Making::kMade;
    }
  }

  Making Condition(const Procedure& proc, Evaluating kind, bool holding_goes_on,
                   std::int32_t on_true, std::int32_t on_false) {
    // One way goes on to a statement after this one, the other jumps.
    const bool lands = holding_goes_on ? Lands(on_false) : Lands(on_true);
    if (!proc.expression || !lands) return Making::kMade;
    const CompiledExpression& compiled = *proc.expression;
    if (!Bound(compiled)) return Making::kNotYet;
    if (CaseOf(compiled) == FastCase::kNone) return Making::kMade;
    out_.form = EvaluatingForm(kind, CaseOf(compiled));
    out_.expression = &compiled;
    out_.on_true = At(on_true);
    out_.on_false = At(on_false);
    return Making::kMade;
  }

  // The end of a loop tests its While's condition itself, as the run loop
  // does; a watched While is reached by a jump back, and stops the fusing.
  Making EndWhile(const Procedure& proc) {
    const std::int32_t head = proc.target;
    if (head < 1 || head >= count_) return Making::kMade;
    const Procedure& loop = rt_.program.Proc(head);
    if (loop.code != P_DTV_WHILE || loop.break_mark != 0) return Jump(head);
    return Condition(loop, kWhileHolds, true, head + 1, loop.target);
  }

  // The record of a statement index, which lies within the program or one
  // past its end (a record of its own that ends the run).
  const FusedStatement* At(std::int32_t index) const {
    return &statements_[index >= 0 && index <= count_ ? index : 0];
  }

  Runtime& rt_;
  FusedStatement* statements_;
  std::int32_t p_;
  std::int32_t count_;
  FusedStatement& out_;
};

}  // namespace

std::int32_t RunFused(Runtime& rt, std::int32_t p) {
  FollowTheTables(rt, rt.run.fused);
  FusedStatement* const statements = rt.run.fused.statements.data();
  const std::int32_t count = rt.program.ProcCount();
  RunState& run = rt.run;
  const FusedStatement* s = nullptr;

#define VX_ASSIGN_LABEL(K) &&assign_##K,
#define VX_IF_LABEL(K) &&if_##K,
#define VX_WHILE_LABEL(K) &&while_##K,
  static const void* const kForms[] = {
      &&make, &&exit_, &&jump, &&callsub, &&endp, &&increment_long, &&increment_double, &&step_long,
      VX_FAST_CASES(VX_ASSIGN_LABEL) VX_FAST_CASES(VX_IF_LABEL) VX_FAST_CASES(VX_WHILE_LABEL)};
  static_assert(sizeof kForms / sizeof kForms[0] == kFirstEvaluated + 3 * kFastCases);
#undef VX_ASSIGN_LABEL
#undef VX_IF_LABEL
#undef VX_WHILE_LABEL

  // Each form goes to the next statement's form itself, so that every such
  // jump is predicted from its own place.
#define VX_GO(NEXT)        \
  do {                     \
    s = (NEXT);            \
    goto* kForms[s->form]; \
  } while (0)

  VX_GO(&statements[p]);

make: {
  // A record not made yet knows no index of its own.
  const auto index = static_cast<std::int32_t>(s - statements);
  if (Maker(rt, statements, index).Make() == Making::kNotYet) return index;
  goto* kForms[s->form];
}

exit_:
  return s->index;
jump:
  VX_GO(s->on_true);
callsub:
  if (run.depth >= CALL_STACK_MAX) return s->index;  // the run loop reports the overflow
  run.stack[run.depth] = {s->index + 1, s->label};
  ++run.depth;
  VX_GO(s->on_true);
endp: {
  if (run.depth <= 0) return s->index;  // the end of the run
  --run.depth;
  const std::int32_t back = run.stack[run.depth].return_index;
  if (back < 1 || back >= count) return back;
  VX_GO(&statements[back]);
}

increment_long: {
  // Wraps at the 32-bit limit like the machine addition it stands for.
  ResourceEntry& e = *s->counter;
  e.long_value = static_cast<std::int32_t>(static_cast<std::uint32_t>(e.long_value) + 1u);
  if (s->counter_value != nullptr) *s->counter_value = e.long_value;
  VX_GO(s + 1);
}
increment_double: {
  ResourceEntry& e = *s->counter;
  e.double_value += 1.0;
  if (s->counter_value != nullptr) *s->counter_value = e.double_value;
  VX_GO(s + 1);
}

step_long: {
  // The step is the expression's literal, a whole number (the conversion is
  // off the chain from one pass to the next).
  ResourceEntry& e = *s->counter;
  const auto step = static_cast<std::int32_t>(s->expression->fast.literal);
  std::int32_t sum;
  if (__builtin_add_overflow(e.long_value, step, &sum) || sum == 0) [[unlikely]] {
    goto assign_kVariableLiteralAdd;
  }
  e.long_value = sum;
  *s->counter_value = sum;
  VX_GO(s + 1);
}

  // A failing expression is left to the run loop, which reports it.
#define VX_EVALUATED_FORMS(K)                                                              \
  assign_##K : {                                                                           \
    double v;                                                                              \
    if (!expr::detail::EvaluateCase<FastCase::K>(*s->expression, &v)) return s->index;     \
    detail::StoreBound(s->expression->fast, v);                                            \
  }                                                                                        \
  VX_GO(s + 1);                                                                            \
  if_##K : {                                                                               \
    double v;                                                                              \
    if (!expr::detail::EvaluateCase<FastCase::K>(*s->expression, &v)) return s->index;     \
    VX_GO(v > 0.0 ? s->on_true : s->on_false);                                             \
  }                                                                                        \
  while_##K : {                                                                            \
    double v;                                                                              \
    if (!expr::detail::EvaluateCase<FastCase::K>(*s->expression, &v)) return s->index;     \
    VX_GO(v != 0.0 ? s->on_true : s->on_false);                                            \
  }
  VX_FAST_CASES(VX_EVALUATED_FORMS)
#undef VX_EVALUATED_FORMS
#undef VX_GO
}

}  // namespace vx::engine
