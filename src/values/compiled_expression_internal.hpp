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
  kFail,         // the text rules fail here
};

struct Instruction {
  Op op = Op::kFail;
  char oper = 0;
  rules::Function function = rules::Function::kUnknown;
  std::int32_t index = 0;
  double value = 0.0;
  const double* operand = nullptr;  // kLoad, kBinaryLoad: the bound value, if a variable
  std::uint8_t dispatch = 0;        // the op and its operator as one case of the loop
};

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
  kChain,  // operators left to right on literals and variables (out of line)
};

// The bound shape and the state of the tables it was bound in. Pairs only
// move when the name table changes, which bumps its generation, so pointers
// to their values hold while the generation and the resource count stay.
// Generation 0 is never current: a binding made before the name table was
// built is not trusted.
struct FastPart {
  std::uint64_t generation = 0;
  std::int32_t resource_count = -1;
  Shape shape = Shape::kNone;  // kNone while an operand is no variable
  char oper = 0;
  const double* left = nullptr;
  const double* right = nullptr;
  double literal = 0.0;
};

inline bool BindingsCurrent(const Runtime& rt, const FastPart& fast) {
  return fast.generation == rt.names.Generation() && fast.resource_count == rt.program.RscCount();
}

// The inline shapes; false when the expression needs the instruction loop.
[[gnu::always_inline]] inline bool EvaluateShape(const FastPart& fast, double* out) {
  switch (fast.shape) {
    case Shape::kLiteral: *out = fast.literal; return true;
    case Shape::kVariable: *out = *fast.left; return true;
    case Shape::kVariableLiteral: return rules::ApplyOperator(fast.oper, *fast.left, fast.literal, out);
    case Shape::kVariableVariable: return rules::ApplyOperator(fast.oper, *fast.left, *fast.right, out);
    default: return false;
  }
}

}  // namespace expr::detail

struct CompiledExpression {
  expr::detail::FastPart fast;
  std::vector<expr::detail::Instruction> code;
  std::vector<expr::detail::NameBinding> names;
  std::vector<double> stack;  // as deep as the code needs
  expr::detail::Shape shape = expr::detail::Shape::kNone;
};

namespace expr {

// EvaluateCompiled with the commonest shapes done in place.
[[gnu::always_inline]] inline double Evaluate(Runtime& rt, CompiledExpression& compiled) {
  double result;
  if (detail::BindingsCurrent(rt, compiled.fast) && detail::EvaluateShape(compiled.fast, &result)) [[likely]] {
    return result;
  }
  return EvaluateCompiled(rt, compiled);
}

}  // namespace expr
}  // namespace vx
