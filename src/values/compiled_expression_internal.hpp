#pragma once
// The layout of a compiled expression and the part of its evaluation that
// callers in hot loops (the run loop, API arguments) do inline: the
// commonest shapes (a literal, a variable, a variable and an operator with a
// literal or another variable) with their operands bound to the name
// table's values, checked against the tables by two comparisons. Anything
// else, and any shape whose operator fails, goes to EvaluateCompiled, which
// gives the same result or reports the failure.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/runtime.hpp"
#include "values/compiled_expression.hpp"
#include "values/expression_rules.hpp"

namespace vx {
namespace expr::detail {

enum class Op : std::uint8_t {
  kPush,         // push `value`
  kLoad,         // push the value of name `index`
  kGuard,        // fail when name `index` is a variable (it stands before "(")
  kApply,        // top = function(top)
  kBinary,       // pop r; top = top `oper` r
  kBinaryConst,  // top = top `oper` value: a push and a binary in one
  kBinaryLoad,   // top = top `oper` name `index`: a load and a binary in one
  kPairConst,    // push name `index` `oper` value: a load and a kBinaryConst
  kPairLoad,     // push name `index` `oper` name `index2`: a load and a kBinaryLoad
  kFail,         // the text rules fail here
};

// Each binary instruction is one case of the instruction loops for its
// form and its operator, so the operator's arithmetic is compiled into the
// case: `dispatch` is that case.
enum class Form : std::uint8_t { kStack, kConst, kLoad, kPairConst, kPairLoad };

constexpr std::uint8_t OperatorSlot(unsigned char oper) {
  switch (oper) {
    case '+': return 0;
    case '-': return 1;
    case '*': return 2;
    case '/': return 3;
    default:
      return oper >= rules::kFirstCode && oper <= rules::kLastCode ? 4 + (oper - rules::kFirstCode) : 19;
  }
}
inline constexpr std::uint8_t kOperatorSlots = 20;

enum Dispatch : std::uint8_t { kDoPush, kDoLoad, kDoGuard, kDoApply, kDoFail, kFirstBinary = 8 };

constexpr std::uint8_t BinaryDispatch(Form form, unsigned char oper) {
  return static_cast<std::uint8_t>(kFirstBinary + static_cast<int>(form) * kOperatorSlots + OperatorSlot(oper));
}

// Every binary operator.
#define VX_EACH_OPERATOR(X)                                                                \
  X('+') X('-') X('*') X('/') X(rules::kLess) X(rules::kGreater) X(rules::kLessEqual)      \
  X(rules::kGreaterEqual) X(rules::kEqual) X(rules::kNotEqual) X(rules::kLogicalOr)        \
  X(rules::kLogicalAnd) X(rules::kShiftLeft) X(rules::kShiftRight) X(rules::kBitOr)        \
  X(rules::kBitAnd) X(rules::kBitXor) X(rules::kModulo)

// Whether `oper` is one of the binary operators.
constexpr bool IsBinaryOperator(unsigned char oper) {
#define VX_IS(OPER) oper == static_cast<unsigned char>(OPER) ||
  return VX_EACH_OPERATOR(VX_IS) false;
#undef VX_IS
}

struct Instruction {
  Op op = Op::kFail;
  char oper = 0;
  rules::Function function = rules::Function::kUnknown;
  std::int32_t index = 0;
  double value = 0.0;
  const double* operand = nullptr;  // the bound value of name `index`, if a variable
  std::int32_t index2 = 0;           // kPairLoad: the right operand's name
  const double* operand2 = nullptr;  // and its bound value
  std::uint8_t dispatch = 0;         // the op and its operator as one case of the loop
  // RunBoundCode's case for the instruction after this one, or its end
  // after the last: the loop goes on without an end test or a table read.
  // Set by ThreadBoundCode before the loop first runs the code.
  const void* next = nullptr;
  std::int32_t whole = 0;            // `value` as a 32-bit integer, for the integer operators
};

// l OPER the instruction's literal; an integer operator takes the literal
// as converted once, at compile time.
template <unsigned char OPER>
[[gnu::always_inline]] inline bool ApplyToLiteral(double l, const Instruction& in, double* out) {
  if constexpr (rules::IsIntegerOperator(OPER)) {
    return rules::ApplyIntegerOperator(static_cast<char>(OPER), rules::ToInt32(l), in.whole, out);
  } else {
    return rules::ApplyOperator(static_cast<char>(OPER), l, in.value, out);
  }
}

// Where a name was found the last time the names were looked up.
struct NameBinding {
  const double* value = nullptr;  // its name-table pair's value
  std::int32_t resource = -1;     // resource index when not in the name table
  std::string name;
};

enum class Shape : std::uint8_t {
  kNone,
  kLiteral,
  kVariable,
  kVariableLiteral,
  kVariableVariable,
  kChain,  // operators left to right on literals and variables
};

// The operators that get inline cases of their own in the two-operand
// shapes; the others go through ApplyOperator's switch.
#define VX_INLINE_OPERATORS(X)                                                      \
  X(Add, '+') X(Subtract, '-') X(Multiply, '*') X(Less, rules::kLess)               \
  X(Greater, rules::kGreater) X(LessEqual, rules::kLessEqual)                       \
  X(GreaterEqual, rules::kGreaterEqual) X(Equal, rules::kEqual) X(NotEqual, rules::kNotEqual)

// A bound shape and, for two operands, its operator: one case of the inline
// evaluation.
enum class FastCase : std::uint8_t {
  kNone,  // an operand is no variable, or the shape is not inline
  kLiteral,
  kVariable,
  kChain,
  kCode,              // the instruction loop, with every name a bound variable
  kVariableLiteral,   // any other operator
  kVariableVariable,  // any other operator
#define VX_CASE_NAMES(NAME, OPER) kVariableLiteral##NAME, kVariableVariable##NAME,
  VX_INLINE_OPERATORS(VX_CASE_NAMES)
#undef VX_CASE_NAMES
};

// Every case but kNone, in the order of the enumeration: the inline
// evaluation and the run loop's fused statements have one form per case.
#define VX_FAST_CASES(X)                                                                  \
  X(kLiteral) X(kVariable) X(kChain) X(kCode) X(kVariableLiteral) X(kVariableVariable)    \
  X(kVariableLiteralAdd) X(kVariableVariableAdd) X(kVariableLiteralSubtract)              \
  X(kVariableVariableSubtract) X(kVariableLiteralMultiply) X(kVariableVariableMultiply)   \
  X(kVariableLiteralLess) X(kVariableVariableLess) X(kVariableLiteralGreater)             \
  X(kVariableVariableGreater) X(kVariableLiteralLessEqual) X(kVariableVariableLessEqual)  \
  X(kVariableLiteralGreaterEqual) X(kVariableVariableGreaterEqual)                        \
  X(kVariableLiteralEqual) X(kVariableVariableEqual) X(kVariableLiteralNotEqual)          \
  X(kVariableVariableNotEqual)
inline constexpr int kFastCases = 24;
static_assert(static_cast<int>(FastCase::kVariableVariableNotEqual) == kFastCases);

// The case for a two-operand shape with the given operator.
constexpr FastCase TwoOperandCase(bool right_is_variable, char oper) {
#define VX_CASE_OF(NAME, OPER)                                                             \
  if (static_cast<unsigned char>(oper) == static_cast<unsigned char>(OPER)) {              \
    return right_is_variable ? FastCase::kVariableVariable##NAME : FastCase::kVariableLiteral##NAME; \
  }
  VX_INLINE_OPERATORS(VX_CASE_OF)
#undef VX_CASE_OF
  return right_is_variable ? FastCase::kVariableVariable : FastCase::kVariableLiteral;
}

// The bound shape and the state of the tables it was bound in. Pairs only
// move when the name table changes, which bumps its generation, so pointers
// to their values hold while the generation and the resource count stay.
// Generation 0 is never current: a binding made before the name table was
// built is not trusted.
struct FastPart {
  std::uint64_t generation = 0;
  std::int32_t resource_count = -1;
  FastCase evaluation = FastCase::kNone;
  char oper = 0;
  const double* left = nullptr;
  const double* right = nullptr;
  double literal = 0.0;
  // Where an assignment of this expression stores, bound by the run loop
  // under the same tables (null until then, and after every binding): a
  // long or double variable and its name-table value. A variable without a
  // name-table pair has its value stored in `unread_value` instead, which
  // nothing reads, so that the store needs no test.
  ResourceEntry* destination = nullptr;
  double* destination_value = nullptr;
  double unread_value = 0.0;
};

inline bool BindingsCurrent(const Runtime& rt, const FastPart& fast) {
  return fast.generation == rt.names.Generation() && fast.resource_count == rt.program.RscCount();
}

}  // namespace expr::detail

struct CompiledExpression {
  // Bindings point into the expression's own code, so it stays where it
  // was compiled.
  CompiledExpression() = default;
  CompiledExpression(const CompiledExpression&) = delete;
  CompiledExpression& operator=(const CompiledExpression&) = delete;

  expr::detail::FastPart fast;
  std::vector<expr::detail::Instruction> code;
  std::vector<expr::detail::NameBinding> names;
  mutable std::vector<double> stack;  // scratch of every evaluation, as deep as the code needs
  expr::detail::Shape shape = expr::detail::Shape::kNone;
};

namespace expr {
namespace detail {

// A chain: a literal or a variable, then operators each with a literal or a
// variable, left to right ((A+B)%1000, I%1000==0), in one accumulator, with
// every name a bound variable. `fast.left` points at the first operand's
// value. Each operator is one case of the switch, operand kind and operator
// together.
[[gnu::always_inline]] inline bool EvaluateChain(const CompiledExpression& c, double* out) {
  const Instruction* in = c.code.data();
  const Instruction* const end = in + c.code.size();
  double acc = *c.fast.left;
  for (++in; in != end; ++in) {
    switch (in->dispatch) {
#define VX_CHAIN_CASES(OPER)                                                                 \
  case BinaryDispatch(Form::kConst, OPER):                                                   \
    if (!ApplyToLiteral<OPER>(acc, *in, &acc)) return false;                                 \
    break;                                                                                   \
  case BinaryDispatch(Form::kLoad, OPER):                                                    \
    if (!rules::ApplyOperator(static_cast<char>(OPER), acc, *in->operand, &acc)) return false; \
    break;
      VX_EACH_OPERATOR(VX_CHAIN_CASES)
#undef VX_CHAIN_CASES
      // A chain holds nothing else (IsChain), so the switch needs no range test.
      default: __builtin_unreachable();
    }
  }
  *out = acc;
  return true;
}

// The instruction loop for code whose names are all bound variables, with
// the bindings current; false where the expression fails, which
// EvaluateCompiled then reports.
bool RunBoundCode(const CompiledExpression& c, double* out);

// Sets every instruction's `next` for RunBoundCode.
void ThreadBoundCode(CompiledExpression& c);

// The operator of a two-operand case with an inline operator, else 0.
constexpr char InlineOperatorOf(FastCase k) {
#define VX_OPERATOR_OF(NAME, OPER)                                                     \
  if (k == FastCase::kVariableLiteral##NAME || k == FastCase::kVariableVariable##NAME) { \
    return static_cast<char>(OPER);                                                    \
  }
  VX_INLINE_OPERATORS(VX_OPERATOR_OF)
#undef VX_OPERATOR_OF
  return 0;
}

// Whether a two-operand case reads a second variable.
constexpr bool RightIsVariable(FastCase k) {
  if (k == FastCase::kVariableVariable) return true;
#define VX_VARIABLE_VARIABLE(NAME, OPER) \
  if (k == FastCase::kVariableVariable##NAME) return true;
  VX_INLINE_OPERATORS(VX_VARIABLE_VARIABLE)
#undef VX_VARIABLE_VARIABLE
  return false;
}

// One inline case, with the bindings current; false when the expression
// needs the careful instruction loop.
template <FastCase K>
[[gnu::always_inline]] inline bool EvaluateCase(const CompiledExpression& c, double* out) {
  const FastPart& fast = c.fast;
  if constexpr (K == FastCase::kLiteral) {
    *out = fast.literal;
    return true;
  } else if constexpr (K == FastCase::kVariable) {
    *out = *fast.left;
    return true;
  } else if constexpr (K == FastCase::kChain) {
    return EvaluateChain(c, out);
  } else if constexpr (K == FastCase::kCode) {
    return RunBoundCode(c, out);
  } else {
    constexpr char kOperator = InlineOperatorOf(K);
    const char oper = kOperator != 0 ? kOperator : fast.oper;
    return rules::ApplyOperator(oper, *fast.left, RightIsVariable(K) ? *fast.right : fast.literal, out);
  }
}

// The inline shapes, with the bindings current; false when the expression
// needs the careful instruction loop.
[[gnu::always_inline]] inline bool EvaluateShape(const CompiledExpression& c, double* out) {
  switch (c.fast.evaluation) {
#define VX_SHAPE_CASE(K) \
  case FastCase::K: return EvaluateCase<FastCase::K>(c, out);
    VX_FAST_CASES(VX_SHAPE_CASE)
#undef VX_SHAPE_CASE
    case FastCase::kNone: break;
  }
  return false;
}

}  // namespace detail

// EvaluateCompiled with the commonest shapes done in place.
[[gnu::always_inline]] inline double Evaluate(Runtime& rt, CompiledExpression& compiled) {
  double result;
  if (detail::BindingsCurrent(rt, compiled.fast) && detail::EvaluateShape(compiled, &result)) [[likely]] {
    return result;
  }
  return EvaluateCompiled(rt, compiled);
}

}  // namespace expr
}  // namespace vx
