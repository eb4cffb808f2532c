#pragma once
// Numeric and string expressions.
//
// Numeric expressions are rewritten once by PrepareExpression (operators to
// single control bytes, grouping parentheses inserted) so that a plain
// left-to-right evaluation gives the precedence of the language. Any
// failure sets the pending error to 計算式エラー and yields 0.0.
#include <cstddef>
#include <string>
#include <string_view>

namespace vx {

struct Runtime;

inline constexpr std::size_t PREPARED_EXPRESSION_MAX = 15998;
inline constexpr std::size_t NUMERIC_LITERAL_MAX = 1023;
inline constexpr std::size_t STRING_TERM_MAX = 4095;
inline constexpr std::size_t STRING_EXPRESSION_MAX = 131071;

namespace expr {

// Rewrites `text` in place into its prepared form. False (and the pending
// error set) on an unmatched ")" or a rewritten text over 15998 bytes.
bool PrepareExpression(Runtime& rt, std::string& text);

// Evaluates a prepared text by the text rules, scanning it as it goes.
double EvaluatePrepared(Runtime& rt, std::string_view prepared);

// Prepares a copy of `text` and evaluates it.
double EvaluateExpression(Runtime& rt, std::string_view text);

// Joins quoted literals and resource texts with "+". Writes the result into
// `out` (at most 131071 bytes). False when it failed (pending error set);
// `out` then holds what was built before the failure.
bool EvaluateStringExpression(Runtime& rt, std::string_view text, std::string& out);

}  // namespace expr
}  // namespace vx
