#include "values/expression_rules.hpp"

#include <array>
#include <charconv>

#include "values/expression.hpp"

namespace vx::expr::rules {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "0x" and hexadecimal digits, read into 32 bits and taken as signed. Only
// the low 32 bits of a longer run count, as a 32-bit "%x" accumulates them.
// A first digit other than 0 (1x5) or no digits at all is a bad literal.
Literal ScanHex(std::string_view t, std::size_t pos) {
  Literal lit;
  std::uint32_t value = 0;
  std::size_t i = pos + 2;
  for (; i < t.size() && HexDigit(t[i]) >= 0; ++i) {
    if (i - pos < NUMERIC_LITERAL_MAX) value = (value << 4) | static_cast<std::uint32_t>(HexDigit(t[i]));
  }
  lit.end = i;
  lit.ok = t[pos] == '0' && i > pos + 2;
  lit.value = static_cast<std::int32_t>(value);
  return lit;
}

// Digits and at most one point; only the first 1023 characters count.
// Read without the C locale's help, so a host locale with a decimal comma
// cannot change what "1.5" means.
Literal ScanDecimal(std::string_view t, std::size_t pos) {
  Literal lit;
  std::array<char, NUMERIC_LITERAL_MAX> kept{};
  std::size_t count = 0;
  bool point = false;
  bool second_point = false;
  bool whole_part_nonzero = false;
  std::size_t i = pos;
  for (; i < t.size() && (IsDigit(t[i]) || t[i] == '.'); ++i) {
    if (t[i] == '.') {
      second_point = second_point || point;
      point = true;
    } else if (!point && t[i] != '0' && count < kept.size()) {
      whole_part_nonzero = true;
    }
    if (count < kept.size()) kept[count++] = t[i];
  }
  lit.end = i;
  if (second_point) return lit;
  double value = 0.0;
  const auto [end, ec] = std::from_chars(kept.data(), kept.data() + count, value);
  (void)end;
  if (ec == std::errc::result_out_of_range) {
    // What strtod gives: infinity when too large, zero when too small.
    value = whole_part_nonzero ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (ec != std::errc()) {
    return lit;
  }
  lit.ok = true;
  lit.value = value;
  return lit;
}

struct FunctionName {
  std::string_view lower;
  std::string_view upper;
  Function function;
};

constexpr std::array<FunctionName, 10> kFunctions = {{
    {"sqrt", "SQRT", Function::kSqrt},
    {"abs", "ABS", Function::kAbs},
    {"sin", "SIN", Function::kSin},
    {"cos", "COS", Function::kCos},
    {"tan", "TAN", Function::kTan},
    {"asin", "ASIN", Function::kAsin},
    {"acos", "ACOS", Function::kAcos},
    {"atan", "ATAN", Function::kAtan},
    {"exp", "EXP", Function::kExp},
    {"log", "LOG", Function::kLog},
}};

bool EqualsIgnoringCase(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char c = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (c != lower[i]) return false;
  }
  return true;
}

}  // namespace

Literal ScanLiteral(std::string_view t, std::size_t pos) {
  if (t[pos] == '\'') {
    Literal lit;
    if (pos + 2 < t.size() && t[pos + 2] == '\'') {
      lit.ok = true;
      lit.value = static_cast<signed char>(t[pos + 1]);
      lit.end = pos + 3;
    }
    return lit;
  }
  if (pos + 1 < t.size() && (t[pos + 1] == 'x' || t[pos + 1] == 'X')) return ScanHex(t, pos);
  return ScanDecimal(t, pos);
}

Function LookupFunction(std::string_view name) {
  if (name == "-") return Function::kNegate;
  for (const FunctionName& f : kFunctions) {
    if (name == f.lower || name == f.upper) return f.function;
  }
  if (EqualsIgnoringCase(name, "round")) return Function::kRound;
  if (EqualsIgnoringCase(name, "int")) return Function::kInt;
  return Function::kUnknown;
}

}  // namespace vx::expr::rules
