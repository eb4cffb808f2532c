#pragma once
// A prepared numeric expression compiled once into a compact form whose
// evaluation never scans text again. Results and failures are identical to
// EvaluatePrepared on the same prepared text.
//
// The form is postfix code over a value stack sized at compile time, so an
// evaluation allocates nothing. Literals are read at compile time; names
// are bound on first use to a name-table slot or a resource index and bound
// again only when the name table was rebuilt or the resource table changed;
// functions are resolved at compile time. Whatever makes the text rules
// fail (a bad literal or character, an unknown name or function, a
// division by a value within 1e-20 of zero) fails the evaluation, not the
// compilation, at the point where the text evaluator would fail: it sets
// the pending error to 計算式エラー and yields 0.0.
#include <cstddef>
#include <memory>
#include <string_view>

namespace vx {

struct Runtime;

struct CompiledExpression;
struct CompiledExpressionDeleter {
  void operator()(CompiledExpression* compiled) const;
};
using CompiledExpressionPtr = std::unique_ptr<CompiledExpression, CompiledExpressionDeleter>;

namespace expr {

CompiledExpressionPtr Compile(std::string_view prepared);
double EvaluateCompiled(Runtime& rt, CompiledExpression& compiled);

// Number of instructions, for tests and diagnostics.
std::size_t InstructionCount(const CompiledExpression& compiled);

}  // namespace expr
}  // namespace vx
