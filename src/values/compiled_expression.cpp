#include "values/compiled_expression.hpp"
#include "values/compiled_expression_internal.hpp"

#include <string>
#include <unordered_map>
#include <vector>

#include "engine/runtime.hpp"
#include "text/messages.hpp"
#include "values/expression_rules.hpp"
#include "values/values.hpp"

namespace vx {
namespace {

using namespace expr::rules;
using expr::detail::Instruction;
using expr::detail::NameBinding;
using expr::detail::Op;
using expr::detail::Shape;
using expr::detail::BinaryDispatch;
using expr::detail::Form;
using expr::detail::kDoApply;
using expr::detail::kDoFail;
using expr::detail::kDoGuard;
using expr::detail::kDoLoad;
using expr::detail::kDoPush;
using expr::detail::kFirstBinary;
using expr::detail::kOperatorSlots;

}  // namespace

void CompiledExpressionDeleter::operator()(CompiledExpression* compiled) const { delete compiled; }

namespace {

// A chain's evaluation has a case for exactly these instructions and
// nothing else (EvaluateChain).
bool IsChain(const std::vector<Instruction>& code) {
  if (code.empty() || (code[0].op != Op::kPush && code[0].op != Op::kLoad)) return false;
  for (std::size_t i = 1; i < code.size(); ++i) {
    if (code[i].op != Op::kBinaryConst && code[i].op != Op::kBinaryLoad) return false;
    if (!expr::detail::IsBinaryOperator(static_cast<unsigned char>(code[i].oper))) return false;
  }
  return true;
}

Shape ShapeOf(const std::vector<Instruction>& code) {
  if (code.size() == 1 && code[0].op == Op::kPush) return Shape::kLiteral;
  if (code.size() == 1 && code[0].op == Op::kLoad) return Shape::kVariable;
  if (code.size() == 2 && code[0].op == Op::kLoad) {
    if (code[1].op == Op::kBinaryConst) return Shape::kVariableLiteral;
    if (code[1].op == Op::kBinaryLoad) return Shape::kVariableVariable;
  }
  return IsChain(code) ? Shape::kChain : Shape::kNone;
}

// --- the instruction loop's dispatch --------------------------------------

std::uint8_t DispatchOf(const Instruction& in) {
  switch (in.op) {
    case Op::kPush: return kDoPush;
    case Op::kLoad: return kDoLoad;
    case Op::kGuard: return kDoGuard;
    case Op::kApply: return kDoApply;
    case Op::kBinary: return BinaryDispatch(Form::kStack, static_cast<unsigned char>(in.oper));
    case Op::kBinaryConst: return BinaryDispatch(Form::kConst, static_cast<unsigned char>(in.oper));
    case Op::kBinaryLoad: return BinaryDispatch(Form::kLoad, static_cast<unsigned char>(in.oper));
    case Op::kPairConst: return BinaryDispatch(Form::kPairConst, static_cast<unsigned char>(in.oper));
    case Op::kPairLoad: return BinaryDispatch(Form::kPairLoad, static_cast<unsigned char>(in.oper));
    case Op::kFail: return kDoFail;
  }
  return kDoFail;
}

// A name pushed just before an operator that takes a literal or another
// name along is that operator's whole left operand (postfix code puts the
// left operand's code right before the right's, and only a bare name ends
// in a load), so the two become one instruction that pushes the result.
// Used for code the inline shapes do not cover.
void PairOperands(std::vector<Instruction>& code) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < code.size(); ++i) {
    Instruction in = code[i];
    if (in.op == Op::kLoad && i + 1 < code.size() &&
        (code[i + 1].op == Op::kBinaryConst || code[i + 1].op == Op::kBinaryLoad)) {
      const Instruction& binary = code[i + 1];
      in.op = binary.op == Op::kBinaryConst ? Op::kPairConst : Op::kPairLoad;
      in.oper = binary.oper;
      in.value = binary.value;
      in.index2 = binary.index;
      ++i;
    }
    code[out++] = in;
  }
  code.resize(out);
}

// Reads the prepared text by the same steps as the text evaluator, but
// emits what each step would compute instead of computing it.
class Compiler {
 public:
  explicit Compiler(std::string_view text) : t_(UpToNul(text)) {}

  CompiledExpressionPtr Run() {
    out_.reset(new CompiledExpression());
    Step step = Open(false, Function::kUnknown);
    while (step != Step::kDone && step != Step::kFail) {
      switch (step) {
        case Step::kOperand: step = ReadOperand(); break;
        case Step::kOperator: step = ReadOperator(); break;
        case Step::kCombine: step = Combine(); break;
        case Step::kClose: step = Close(); break;
        case Step::kFail:
        case Step::kDone: break;
      }
    }
    if (step == Step::kFail) Emit({Op::kFail});
    out_->stack.resize(max_depth_ + 1);
    out_->shape = ShapeOf(out_->code);
    // The literal and operator of the one- and two-instruction shapes.
    const std::vector<Instruction>& code = out_->code;
    out_->fast.literal = code.size() == 1 ? code[0].value : code.size() == 2 ? code[1].value : 0.0;
    out_->fast.oper = code.size() == 2 ? code[1].oper : 0;
    if (out_->shape == Shape::kNone) PairOperands(out_->code);
    for (Instruction& in : out_->code) {
      in.dispatch = DispatchOf(in);
      in.whole = ToInt32(in.value);
    }
    return std::move(out_);
  }

 private:
  enum class Step { kOperand, kOperator, kCombine, kClose, kFail, kDone };

  struct Group {
    bool parenthesised = false;
    bool has_value = false;
    bool call = false;
    char op = 0;
    Function function = Function::kUnknown;
  };

  bool At(char c) const { return pos_ < t_.size() && t_[pos_] == c; }

  void Emit(Instruction in) {
    if (in.op == Op::kPush || in.op == Op::kLoad) {
      if (++depth_ > max_depth_) max_depth_ = depth_;
    } else if (in.op == Op::kBinary) {
      --depth_;
      if (Fuse(in.oper)) return;
    }
    out_->code.push_back(in);
  }

  // A binary whose right operand was pushed by the instruction just before
  // it takes that operand itself: most operands are a name or a literal,
  // and the operator then needs no trip through the stack. The left operand
  // lies below, so the fused push is never the only value.
  bool Fuse(char oper) {
    std::vector<Instruction>& code = out_->code;
    if (code.size() < 2) return false;
    Instruction& last = code.back();
    if (last.op == Op::kPush) last.op = Op::kBinaryConst;
    else if (last.op == Op::kLoad) last.op = Op::kBinaryLoad;
    else return false;
    last.oper = oper;
    return true;
  }

  std::int32_t Binding(std::string_view name) {
    auto [it, added] = binding_of_.try_emplace(std::string(name),
                                               static_cast<std::int32_t>(out_->names.size()));
    if (added) out_->names.push_back({nullptr, -1, std::string(name)});
    return it->second;
  }

  Step Open(bool call, Function function) {
    if (groups_.size() >= GROUP_NESTING_MAX) return Step::kFail;
    Group g;
    g.call = call;
    g.function = function;
    g.parenthesised = At('(');
    if (g.parenthesised) ++pos_;
    groups_.push_back(g);
    return Step::kOperand;
  }

  Step ReadOperand() {
    pos_ = SkipBlanks(t_, pos_);
    if (!groups_.back().has_value && groups_.back().parenthesised && At(')')) {
      ++pos_;
      Emit({Op::kPush, 0, Function::kUnknown, 0, 0.0});
      return Step::kClose;
    }
    if (At('(')) return Open(false, Function::kUnknown);
    if (pos_ < t_.size() && (IsDigit(t_[pos_]) || t_[pos_] == '\'')) {
      const Literal lit = ScanLiteral(t_, pos_);
      if (!lit.ok) return Step::kFail;
      pos_ = lit.end;
      Emit({Op::kPush, 0, Function::kUnknown, 0, lit.value});
      return Step::kCombine;
    }
    return ReadName();
  }

  // A variable's value wins over everything; a name that is no variable is
  // a function when "(" follows and a resource otherwise. Which of these it
  // is depends on the tables at evaluation, so the code keeps both ways.
  Step ReadName() {
    const std::size_t end = NameEnd(t_, pos_);
    const std::string_view name = t_.substr(pos_, end - pos_);
    pos_ = end;
    if (!UsableName(name)) return Step::kFail;
    const std::int32_t binding = Binding(name);
    const std::size_t after = SkipBlanks(t_, pos_);
    if (after < t_.size() && t_[after] == '(') {
      pos_ = after;
      Emit({Op::kGuard, 0, Function::kUnknown, binding, 0.0});
      return Open(true, LookupFunction(name));
    }
    Emit({Op::kLoad, 0, Function::kUnknown, binding, 0.0});
    return Step::kCombine;
  }

  Step Combine() {
    Group& g = groups_.back();
    if (!g.has_value) g.has_value = true;
    else Emit({Op::kBinary, g.op, Function::kUnknown, 0, 0.0});
    return Step::kOperator;
  }

  Step ReadOperator() {
    pos_ = SkipBlanks(t_, pos_);
    Group& g = groups_.back();
    if (pos_ >= t_.size()) return Step::kClose;
    const char c = t_[pos_];
    if (c == ')') {
      if (!g.parenthesised) return Step::kFail;
      ++pos_;
      return Step::kClose;
    }
    if (!IsOperator(c)) return Step::kFail;
    g.op = c;
    ++pos_;
    return Step::kOperand;
  }

  Step Close() {
    const Group g = groups_.back();
    groups_.pop_back();
    if (g.call) Emit({Op::kApply, 0, g.function, 0, 0.0});
    if (!groups_.empty()) return Step::kCombine;
    return SkipBlanks(t_, pos_) == t_.size() ? Step::kDone : Step::kFail;
  }

  std::string_view t_;
  std::size_t pos_ = 0;
  std::vector<Group> groups_;
  std::unordered_map<std::string, std::int32_t> binding_of_;
  CompiledExpressionPtr out_;
  std::size_t depth_ = 0;
  std::size_t max_depth_ = 0;
};

double Fail(Runtime& rt) {
  rt.error.Set(msg::Text(msg::Id::kExpressionError));
  return 0.0;
}

bool Named(Op op) { return op == Op::kLoad || op == Op::kBinaryLoad || op == Op::kPairConst || op == Op::kPairLoad; }

// Whether every name the code reads is a variable: then no operand of the
// instruction loop needs a check.
bool AllOperandsBound(const std::vector<Instruction>& code) {
  for (const Instruction& in : code) {
    if (Named(in.op) && in.operand == nullptr) return false;
    if (in.op == Op::kPairLoad && in.operand2 == nullptr) return false;
  }
  return true;
}

// The inline case of the expression, once every name is bound: a shape
// whose operand is no variable is left to the instruction loop.
void BindShape(CompiledExpression& compiled) {
  expr::detail::FastPart& fast = compiled.fast;
  const std::vector<Instruction>& code = compiled.code;
  fast.left = !code.empty() && code[0].op == Op::kLoad ? code[0].operand : nullptr;
  fast.right = code.size() == 2 && code[1].op == Op::kBinaryLoad ? code[1].operand : nullptr;
  using expr::detail::FastCase;
  switch (compiled.shape) {
    case Shape::kLiteral: fast.evaluation = FastCase::kLiteral; return;
    case Shape::kChain:
      // A literal in first place is read through the same pointer.
      if (code[0].op == Op::kPush) fast.left = &code[0].value;
      fast.evaluation = AllOperandsBound(code) ? FastCase::kChain : FastCase::kNone;
      return;
    case Shape::kVariable:
      fast.evaluation = fast.left != nullptr ? FastCase::kVariable : FastCase::kNone;
      return;
    case Shape::kVariableLiteral:
    case Shape::kVariableVariable: {
      const bool right_is_variable = compiled.shape == Shape::kVariableVariable;
      const bool bound = fast.left != nullptr && (!right_is_variable || fast.right != nullptr);
      fast.evaluation = bound ? expr::detail::TwoOperandCase(right_is_variable, fast.oper) : FastCase::kNone;
      return;
    }
    case Shape::kNone:
      fast.evaluation = AllOperandsBound(code) ? FastCase::kCode : FastCase::kNone;
      if (fast.evaluation == FastCase::kCode) expr::detail::ThreadBoundCode(compiled);
      return;
  }
  fast.evaluation = FastCase::kNone;
}

// Looks every name up again: the tables changed since the last evaluation
// (or the name table was not built then, which is recorded as generation 0
// so that the next evaluation looks again).
[[gnu::noinline]] void BindAll(Runtime& rt, CompiledExpression& compiled) {
  const NameTable& names = rt.names;
  for (NameBinding& b : compiled.names) {
    const std::int32_t slot = names.Find(b.name);
    b.value = slot >= 0 ? names.ValuePointer(static_cast<std::size_t>(slot)) : nullptr;
    b.resource = slot >= 0 ? -1 : rt.program.FindResource(b.name);
  }
  for (Instruction& in : compiled.code) {
    in.operand = Named(in.op) ? compiled.names[in.index].value : nullptr;
    in.operand2 = in.op == Op::kPairLoad ? compiled.names[in.index2].value : nullptr;
  }
  BindShape(compiled);
  compiled.fast.destination = nullptr;
  compiled.fast.destination_value = nullptr;
  compiled.fast.generation = names.Built() ? names.Generation() : 0;
  compiled.fast.resource_count = rt.program.RscCount();
}

// A name that is no variable: a resource such as a control, whose value is
// read every time because it changes under the script. Reading it could in
// principle reach the tables, so the bindings are checked again after it.
[[gnu::noinline]] bool LoadResource(Runtime& rt, CompiledExpression& compiled,
                                    std::int32_t index, double* out) {
  const std::int32_t resource = compiled.names[index].resource;
  if (resource < 0) return false;
  *out = values::ReadAsDouble(rt, resource);
  if (!expr::detail::BindingsCurrent(rt, compiled.fast)) BindAll(rt, compiled);
  return true;
}

[[gnu::always_inline]] inline bool Load(Runtime& rt, CompiledExpression& compiled,
                                        const Instruction& in, double* out) {
  if (in.operand != nullptr) [[likely]] {
    *out = *in.operand;
    return true;
  }
  return LoadResource(rt, compiled, in.index, out);
}

// The right operand of a kPairLoad. Reading the left one may have bound the
// names again, so the pointer is read after it.
[[gnu::always_inline]] inline bool LoadSecond(Runtime& rt, CompiledExpression& compiled,
                                              const Instruction& in, double* out) {
  if (in.operand2 != nullptr) [[likely]] {
    *out = *in.operand2;
    return true;
  }
  return LoadResource(rt, compiled, in.index2, out);
}

}  // namespace

namespace expr {
namespace detail {

// Each case dispatches the next instruction itself (the addresses of its
// labels stand in a table in dispatch order), so every jump is predicted
// from its own place rather than from one shared switch.
namespace {

// The instruction loop over code whose names are all bound; with `thread`
// (and no `out`) it runs nothing and sets the `next` of thread's
// instructions from its table of cases instead, as only this function can
// name its labels.
bool BoundCodeLoop(const CompiledExpression& compiled, double* out, CompiledExpression* thread) {
#define VX_FORM_LABELS(FORM)                                                                 \
  &&FORM##_0, &&FORM##_1, &&FORM##_2, &&FORM##_3, &&FORM##_4, &&FORM##_5, &&FORM##_6,       \
      &&FORM##_7, &&FORM##_8, &&fail, &&FORM##_10, &&FORM##_11, &&FORM##_12, &&FORM##_13,   \
      &&FORM##_14, &&FORM##_15, &&FORM##_16, &&FORM##_17, &&FORM##_18, &&fail
  static const void* const kTable[] = {
      &&push, &&load, &&guard, &&apply, &&fail, &&fail, &&fail, &&fail,
      VX_FORM_LABELS(stack), VX_FORM_LABELS(constant), VX_FORM_LABELS(named),
      VX_FORM_LABELS(pair_constant), VX_FORM_LABELS(pair_named)};
#undef VX_FORM_LABELS
  static_assert(sizeof kTable / sizeof kTable[0] == kFirstBinary + 5 * kOperatorSlots);
  static_assert(BinaryDispatch(Form::kPairLoad, kModulo) == kFirstBinary + 4 * kOperatorSlots + 18);

  if (thread != nullptr) [[unlikely]] {
    std::vector<Instruction>& code = thread->code;
    for (std::size_t i = 0; i < code.size(); ++i) {
      code[i].next = i + 1 < code.size() ? kTable[code[i + 1].dispatch] : &&done;
    }
    return true;
  }
  const Instruction* in = compiled.code.data();
  // The top of the stack stays in `top`; only values below it are in
  // memory, so a chain of operators never waits on a store and a reload.
  // The first push stores a value nobody reads, which the stack has room
  // for: it holds one slot more than the code's depth.
  double* sp = compiled.stack.data();
  double top = 0.0;
  double r;
#define VX_NEXT()                      \
  do {                                 \
    const void* const next = in->next; \
    ++in;                              \
    goto* next;                        \
  } while (0)
#define VX_OPERATOR_LABELS(SLOT, OPER)                                                        \
  stack_##SLOT : --sp;                                                                        \
  if (!ApplyOperator(static_cast<char>(OPER), *sp, top, &r)) return false;                    \
  top = r;                                                                                    \
  VX_NEXT();                                                                                  \
  constant_##SLOT : if (!ApplyToLiteral<OPER>(top, *in, &r)) return false;                   \
  top = r;                                                                                    \
  VX_NEXT();                                                                                  \
  named_##SLOT : if (!ApplyOperator(static_cast<char>(OPER), top, *in->operand, &r)) return false; \
  top = r;                                                                                    \
  VX_NEXT();                                                                                  \
  pair_constant_##SLOT : if (!ApplyToLiteral<OPER>(*in->operand, *in, &r)) return false;     \
  *sp++ = top;                                                                                \
  top = r;                                                                                    \
  VX_NEXT();                                                                                  \
  pair_named_##SLOT : if (!ApplyOperator(static_cast<char>(OPER), *in->operand, *in->operand2, &r)) return false; \
  *sp++ = top;                                                                                \
  top = r;                                                                                    \
  VX_NEXT();

  goto* kTable[in->dispatch];
push:
  *sp++ = top;
  top = in->value;
  VX_NEXT();
load:
  *sp++ = top;
  top = *in->operand;
  VX_NEXT();
guard:
  if (compiled.names[in->index].value != nullptr) return false;
  VX_NEXT();
apply:
  if (!ApplyFunction(in->function, top, &r)) return false;
  top = r;
  VX_NEXT();
  VX_OPERATOR_LABELS(0, '+')
  VX_OPERATOR_LABELS(1, '-')
  VX_OPERATOR_LABELS(2, '*')
  VX_OPERATOR_LABELS(3, '/')
  VX_OPERATOR_LABELS(4, kLess)
  VX_OPERATOR_LABELS(5, kGreater)
  VX_OPERATOR_LABELS(6, kLessEqual)
  VX_OPERATOR_LABELS(7, kGreaterEqual)
  VX_OPERATOR_LABELS(8, kEqual)
  VX_OPERATOR_LABELS(10, kNotEqual)
  VX_OPERATOR_LABELS(11, kLogicalOr)
  VX_OPERATOR_LABELS(12, kLogicalAnd)
  VX_OPERATOR_LABELS(13, kShiftLeft)
  VX_OPERATOR_LABELS(14, kShiftRight)
  VX_OPERATOR_LABELS(15, kBitOr)
  VX_OPERATOR_LABELS(16, kBitAnd)
  VX_OPERATOR_LABELS(17, kBitXor)
  VX_OPERATOR_LABELS(18, kModulo)
#undef VX_OPERATOR_LABELS
#undef VX_NEXT
fail:
  return false;
done:
  *out = top;
  return true;
}

}  // namespace

bool RunBoundCode(const CompiledExpression& compiled, double* out) {
  return BoundCodeLoop(compiled, out, nullptr);
}

void ThreadBoundCode(CompiledExpression& compiled) { BoundCodeLoop(compiled, nullptr, &compiled); }

}  // namespace detail

CompiledExpressionPtr Compile(std::string_view prepared) { return Compiler(prepared).Run(); }

double EvaluateCompiled(Runtime& rt, CompiledExpression& compiled) {
  if (!detail::BindingsCurrent(rt, compiled.fast)) [[unlikely]] BindAll(rt, compiled);
  double result;
  if (detail::EvaluateShape(compiled, &result)) return result;
  double* sp = compiled.stack.data();
#define VX_BINARY_CASES(OPER)                                                                \
  case BinaryDispatch(Form::kStack, OPER):                                                   \
    --sp;                                                                                    \
    if (!ApplyOperator(static_cast<char>(OPER), sp[-1], *sp, &sp[-1])) return Fail(rt);      \
    break;                                                                                   \
  case BinaryDispatch(Form::kConst, OPER):                                                   \
    if (!ApplyOperator(static_cast<char>(OPER), sp[-1], in.value, &sp[-1])) return Fail(rt); \
    break;                                                                                   \
  case BinaryDispatch(Form::kLoad, OPER): {                                                  \
    double r;                                                                                \
    if (!Load(rt, compiled, in, &r) || !ApplyOperator(static_cast<char>(OPER), sp[-1], r, &sp[-1])) \
      return Fail(rt);                                                                       \
    break;                                                                                   \
  }                                                                                          \
  case BinaryDispatch(Form::kPairConst, OPER): {                                             \
    double l;                                                                                \
    if (!Load(rt, compiled, in, &l) || !ApplyOperator(static_cast<char>(OPER), l, in.value, sp)) \
      return Fail(rt);                                                                       \
    ++sp;                                                                                    \
    break;                                                                                   \
  }                                                                                          \
  case BinaryDispatch(Form::kPairLoad, OPER): {                                              \
    double l, r;                                                                             \
    if (!Load(rt, compiled, in, &l) || !LoadSecond(rt, compiled, in, &r) ||                  \
        !ApplyOperator(static_cast<char>(OPER), l, r, sp))                                   \
      return Fail(rt);                                                                       \
    ++sp;                                                                                    \
    break;                                                                                   \
  }
  for (const Instruction& in : compiled.code) {
    switch (in.dispatch) {
      case kDoPush: *sp++ = in.value; break;
      case kDoLoad:
        if (!Load(rt, compiled, in, sp++)) return Fail(rt);
        break;
      case kDoGuard:
        if (compiled.names[in.index].value != nullptr) return Fail(rt);
        break;
      case kDoApply:
        if (!ApplyFunction(in.function, sp[-1], &sp[-1])) return Fail(rt);
        break;
      VX_EACH_OPERATOR(VX_BINARY_CASES)
      default: return Fail(rt);  // kDoFail, and an operator no case has
    }
  }
#undef VX_BINARY_CASES
  return sp[-1];
}

std::size_t InstructionCount(const CompiledExpression& compiled) { return compiled.code.size(); }

}  // namespace expr
}  // namespace vx
