#include "values/compiled_expression.hpp"

namespace vx {

struct CompiledExpression {};

void CompiledExpressionDeleter::operator()(CompiledExpression* compiled) const { delete compiled; }

}  // namespace vx
