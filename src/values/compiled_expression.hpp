#pragma once
// A prepared numeric expression compiled once into a compact form whose
// evaluation never scans text again. Results and failures are identical to
// EvaluatePrepared on the same prepared text.
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

}  // namespace expr
}  // namespace vx
