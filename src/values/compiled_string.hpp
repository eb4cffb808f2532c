#pragma once
// A string expression split once into its terms, so that evaluating it
// again only joins: the literals are unescaped at compile time and each
// resource name remembers where it was found. Results, messages and the
// text built before a failure are those of EvaluateStringExpression on the
// same text.
#include <memory>
#include <string>
#include <string_view>

namespace vx {

struct Runtime;

struct CompiledString;
struct CompiledStringDeleter {
  void operator()(CompiledString* compiled) const;
};
using CompiledStringPtr = std::unique_ptr<CompiledString, CompiledStringDeleter>;

namespace expr {

CompiledStringPtr CompileString(std::string_view text);

// As EvaluateStringExpression: `out` receives the result; false when it
// failed (pending error set), `out` then holding what was built before.
bool EvaluateCompiledString(Runtime& rt, CompiledString& compiled, std::string& out);

// The value of an expression that is one text variable and nothing else,
// as a view of the variable's own buffer: no copy. False for every other
// expression (evaluate those), including a name that is not found. The view
// holds until the variable is next written.
bool ViewSingleVariable(Runtime& rt, CompiledString& compiled, std::string_view* out);

// The compiled form in `slot`, made from `text` on first use.
CompiledString& CompiledStringFor(CompiledStringPtr& slot, std::string_view text);

}  // namespace expr
}  // namespace vx
