#include "values/compiled_expression.hpp"

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

enum class Op : std::uint8_t {
  kPush,         // push `value`
  kLoad,         // push the value of name `index`
  kGuard,        // fail when name `index` is a variable (it stands before "(")
  kApply,        // top = function(top)
  kBinary,       // pop r; top = top `oper` r
  kBinaryConst,  // top = top `oper` value: a push and a binary in one
  kBinaryLoad,   // top = top `oper` name `index`: a load and a binary in one
  kFail,         // the text rules fail here
};

struct Instruction {
  Op op = Op::kFail;
  char oper = 0;
  Function function = Function::kUnknown;
  std::int32_t index = 0;
  double value = 0.0;
};

// Where a name was found the last time the names were looked up.
struct NameBinding {
  const double* value = nullptr;  // its name-table pair's value
  std::int32_t resource = -1;     // resource index when not in the name table
  std::string name;
};

// The state of the tables when the names were last looked up. Pairs are
// only added or cleared, never moved, while the generation and the size
// stay, so a pointer to a pair's value holds as long as these do. A binding
// made while the name table was not yet built is never trusted: the next
// evaluation looks again.
struct TableState {
  bool bound = false;
  std::uint64_t generation = 0;
  std::size_t table_size = 0;
  std::int32_t resource_count = 0;
};

}  // namespace

// A whole expression of one of the commonest shapes (a literal, a variable,
// a variable and an operator with a literal or another variable, a chain of
// such operators) computed without the instruction loop and its stack. False when it cannot give the result (a
// name that is no variable, an operator that fails): the loop then runs
// and reports as usual.
using ShapePath = bool (*)(const CompiledExpression& compiled, double* out);

struct CompiledExpression {
  std::vector<Instruction> code;
  std::vector<NameBinding> names;
  std::vector<double> stack;  // as deep as the code needs
  TableState state;
  ShapePath shape = nullptr;
};

void CompiledExpressionDeleter::operator()(CompiledExpression* compiled) const { delete compiled; }

namespace {

// --- shapes ------------------------------------------------------------

const double* Variable(const CompiledExpression& c, std::int32_t index) {
  return c.names[index].value;
}

bool LiteralShape(const CompiledExpression& c, double* out) {
  *out = c.code[0].value;
  return true;
}

bool VariableShape(const CompiledExpression& c, double* out) {
  const double* v = Variable(c, c.code[0].index);
  if (v == nullptr) return false;
  *out = *v;
  return true;
}

// The operator is a template argument, so each form compiles to the one
// operation it needs.
template <char Oper>
struct VariableWithLiteral {
  static bool Run(const CompiledExpression& c, double* out) {
    const double* l = Variable(c, c.code[0].index);
    return l != nullptr && ApplyOperator(Oper, *l, c.code[1].value, out);
  }
};

template <char Oper>
struct VariableWithVariable {
  static bool Run(const CompiledExpression& c, double* out) {
    const double* l = Variable(c, c.code[0].index);
    const double* r = Variable(c, c.code[1].index);
    return l != nullptr && r != nullptr && ApplyOperator(Oper, *l, *r, out);
  }
};

template <template <char> class Form>
ShapePath ForOperator(char oper) {
  switch (static_cast<unsigned char>(oper)) {
    case '+': return &Form<'+'>::Run;
    case '-': return &Form<'-'>::Run;
    case '*': return &Form<'*'>::Run;
    case '/': return &Form<'/'>::Run;
    case kLess: return &Form<static_cast<char>(kLess)>::Run;
    case kGreater: return &Form<static_cast<char>(kGreater)>::Run;
    case kLessEqual: return &Form<static_cast<char>(kLessEqual)>::Run;
    case kGreaterEqual: return &Form<static_cast<char>(kGreaterEqual)>::Run;
    case kEqual: return &Form<static_cast<char>(kEqual)>::Run;
    case kNotEqual: return &Form<static_cast<char>(kNotEqual)>::Run;
    case kLogicalOr: return &Form<static_cast<char>(kLogicalOr)>::Run;
    case kLogicalAnd: return &Form<static_cast<char>(kLogicalAnd)>::Run;
    case kShiftLeft: return &Form<static_cast<char>(kShiftLeft)>::Run;
    case kShiftRight: return &Form<static_cast<char>(kShiftRight)>::Run;
    case kBitOr: return &Form<static_cast<char>(kBitOr)>::Run;
    case kBitAnd: return &Form<static_cast<char>(kBitAnd)>::Run;
    case kBitXor: return &Form<static_cast<char>(kBitXor)>::Run;
    case kModulo: return &Form<static_cast<char>(kModulo)>::Run;
    default: return nullptr;
  }
}

// A chain: a literal or a variable, then operators each with a literal or a
// variable, left to right ((A+B)%1000, I%1000==0), in one accumulator.
bool ChainShape(const CompiledExpression& c, double* out) {
  const Instruction* in = c.code.data();
  const Instruction* const end = in + c.code.size();
  double acc;
  if (in->op == Op::kPush) {
    acc = in->value;
  } else {
    const double* v = Variable(c, in->index);
    if (v == nullptr) return false;
    acc = *v;
  }
  for (++in; in != end; ++in) {
    double r = in->value;
    if (in->op == Op::kBinaryLoad) {
      const double* v = Variable(c, in->index);
      if (v == nullptr) return false;
      r = *v;
    }
    if (!ApplyOperator(in->oper, acc, r, &acc)) return false;
  }
  *out = acc;
  return true;
}

bool IsChain(const std::vector<Instruction>& code) {
  if (code.empty() || (code[0].op != Op::kPush && code[0].op != Op::kLoad)) return false;
  for (std::size_t i = 1; i < code.size(); ++i) {
    if (code[i].op != Op::kBinaryConst && code[i].op != Op::kBinaryLoad) return false;
  }
  return true;
}

ShapePath ShapeOf(const std::vector<Instruction>& code) {
  if (code.size() == 1 && code[0].op == Op::kPush) return &LiteralShape;
  if (code.size() == 1 && code[0].op == Op::kLoad) return &VariableShape;
  if (code.size() == 2 && code[0].op == Op::kLoad) {
    if (code[1].op == Op::kBinaryConst) return ForOperator<VariableWithLiteral>(code[1].oper);
    if (code[1].op == Op::kBinaryLoad) return ForOperator<VariableWithVariable>(code[1].oper);
  }
  return IsChain(code) ? &ChainShape : nullptr;
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

bool BindingsCurrent(const Runtime& rt, const TableState& state) {
  return state.bound && state.generation == rt.names.Generation() &&
         state.table_size == rt.names.Size() && state.resource_count == rt.program.RscCount();
}

// Looks every name up again: the tables changed since the last evaluation
// (or the name table was not built then).
[[gnu::noinline]] void BindAll(Runtime& rt, CompiledExpression& compiled) {
  const NameTable& names = rt.names;
  for (NameBinding& b : compiled.names) {
    const std::int32_t slot = names.Find(b.name);
    b.value = slot >= 0 ? names.ValuePointer(static_cast<std::size_t>(slot)) : nullptr;
    b.resource = slot >= 0 ? -1 : rt.program.FindResource(b.name);
  }
  compiled.state = {names.Built(), names.Generation(), names.Size(), rt.program.RscCount()};
}

// A name that is no variable: a resource such as a control, whose value is
// read every time because it changes under the script. Reading it could in
// principle reach the tables, so the bindings are checked again after it.
[[gnu::noinline]] bool LoadResource(Runtime& rt, CompiledExpression& compiled,
                                    std::int32_t index, double* out) {
  const std::int32_t resource = compiled.names[index].resource;
  if (resource < 0) return false;
  *out = values::ReadAsDouble(rt, resource);
  if (!BindingsCurrent(rt, compiled.state)) BindAll(rt, compiled);
  return true;
}

[[gnu::always_inline]] inline bool Load(Runtime& rt, CompiledExpression& compiled,
                                        std::int32_t index, double* out) {
  if (const double* value = compiled.names[index].value) {
    *out = *value;
    return true;
  }
  return LoadResource(rt, compiled, index, out);
}

}  // namespace

namespace expr {

CompiledExpressionPtr Compile(std::string_view prepared) { return Compiler(prepared).Run(); }

double EvaluateCompiled(Runtime& rt, CompiledExpression& compiled) {
  if (!BindingsCurrent(rt, compiled.state)) [[unlikely]] BindAll(rt, compiled);
  double result;
  if (compiled.shape != nullptr && compiled.shape(compiled, &result)) return result;
  double* sp = compiled.stack.data();
  for (const Instruction& in : compiled.code) {
    switch (in.op) {
      case Op::kPush: *sp++ = in.value; break;
      case Op::kLoad:
        if (!Load(rt, compiled, in.index, sp++)) return Fail(rt);
        break;
      case Op::kGuard:
        if (compiled.names[in.index].value != nullptr) return Fail(rt);
        break;
      case Op::kApply:
        if (!ApplyFunction(in.function, sp[-1], &sp[-1])) return Fail(rt);
        break;
      case Op::kBinary:
        --sp;
        if (!ApplyOperator(in.oper, sp[-1], *sp, &sp[-1])) return Fail(rt);
        break;
      case Op::kBinaryConst:
        if (!ApplyOperator(in.oper, sp[-1], in.value, &sp[-1])) return Fail(rt);
        break;
      case Op::kBinaryLoad: {
        double r;
        if (!Load(rt, compiled, in.index, &r) || !ApplyOperator(in.oper, sp[-1], r, &sp[-1]))
          return Fail(rt);
        break;
      }
      case Op::kFail: return Fail(rt);
    }
  }
  return sp[-1];
}

std::size_t InstructionCount(const CompiledExpression& compiled) { return compiled.code.size(); }

}  // namespace expr
}  // namespace vx
