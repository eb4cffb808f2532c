#pragma once
// Helpers for the expression tests: both evaluators on one prepared text,
// with the pending error captured.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/runtime.hpp"
#include "text/messages.hpp"
#include "values/compiled_expression.hpp"
#include "values/expression.hpp"

namespace vx::test {

struct Outcome {
  double value = 0.0;
  bool failed = false;
  std::string error;
};

inline bool operator==(const Outcome& a, const Outcome& b) {
  const bool same_value = (std::isnan(a.value) && std::isnan(b.value)) ||
                          std::bit_cast<std::uint64_t>(a.value) ==
                              std::bit_cast<std::uint64_t>(b.value);
  return same_value && a.failed == b.failed && a.error == b.error;
}

inline std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  return os << (o.failed ? "failed " : "") << o.value << " [" << o.error.size() << " error bytes]";
}

inline Outcome Capture(Runtime& rt, double value) {
  Outcome o{value, rt.error.Raised(), rt.error.Text()};
  rt.error.Clear();
  return o;
}

inline Outcome ByText(Runtime& rt, std::string_view prepared) {
  rt.error.Clear();
  return Capture(rt, expr::EvaluatePrepared(rt, prepared));
}

inline Outcome ByCode(Runtime& rt, std::string_view prepared) {
  rt.error.Clear();
  CompiledExpressionPtr code = expr::Compile(prepared);
  return Capture(rt, expr::EvaluateCompiled(rt, *code));
}

inline Outcome Failure() {
  return {0.0, true, std::string(msg::Text(msg::Id::kExpressionError))};
}

// Operator codes shown as {<}, {&&} and so on, for readable expectations.
inline std::string Readable(std::string_view prepared) {
  static constexpr const char* kNames[] = {"<",  ">",  "<=", ">=", "==", "?",  "!=", "||",
                                           "&&", "<<", ">>", "|",  "&",  "^",  "%"};
  std::string out;
  for (char c : prepared) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 16 && b <= 30) out += std::string("{") + kNames[b - 16] + "}";
    else out += c;
  }
  return out;
}

}  // namespace vx::test
