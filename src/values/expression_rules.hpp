#pragma once
// The value rules shared by the text evaluator and the compiled evaluator:
// operator codes, literal and name scanning, the function table and the
// arithmetic of every operator. Both evaluators call exactly these, so a
// prepared text gives bit-identical results either way.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vx::expr::rules {

// Single-byte codes that stand for the operators in a prepared text.
enum OperatorCode : unsigned char {
  kLess = 16,
  kGreater = 17,
  kLessEqual = 18,
  kGreaterEqual = 19,
  kEqual = 20,
  kUnusedCode = 21,  // in the operator range, but no operator has it
  kNotEqual = 22,
  kLogicalOr = 23,
  kLogicalAnd = 24,
  kShiftLeft = 25,
  kShiftRight = 26,
  kBitOr = 27,
  kBitAnd = 28,
  kBitXor = 29,
  kModulo = 30,
};
inline constexpr unsigned char kFirstCode = 16;
inline constexpr unsigned char kLastCode = 30;

inline constexpr std::size_t NAME_MAX_BYTES = 31;
// Groups can nest no deeper than a prepared text of 15998 bytes allows;
// texts handed to the evaluators directly are held to the same depth.
inline constexpr std::size_t GROUP_NESTING_MAX = 8000;

inline constexpr bool IsCode(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= kFirstCode && b <= kLastCode;
}
inline constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }
inline constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline constexpr bool IsOperator(char c) {
  return IsCode(c) || c == '*' || c == '+' || c == '-' || c == '/';
}
inline constexpr bool EndsName(char c) {
  return IsBlank(c) || IsCode(c) || c == '(' || c == ')' || c == '*' || c == '/' || c == '+' ||
         c == '-';
}

// Texts end at their first NUL, as the C strings they model do.
inline std::string_view UpToNul(std::string_view text) {
  const std::size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

inline std::size_t SkipBlanks(std::string_view t, std::size_t pos) {
  while (pos < t.size() && IsBlank(t[pos])) ++pos;
  return pos;
}

// End of the name starting at `pos`: a "+" or "-" in first place is a name
// of its own; otherwise the name runs to the next terminator.
inline std::size_t NameEnd(std::string_view t, std::size_t pos) {
  if (pos < t.size() && (t[pos] == '+' || t[pos] == '-')) return pos + 1;
  while (pos < t.size() && !EndsName(t[pos])) ++pos;
  return pos;
}

// A name that can be looked up at all: names are 1 to 31 bytes.
inline bool UsableName(std::string_view name) {
  return !name.empty() && name.size() <= NAME_MAX_BYTES;
}

// The processor's truncation toward zero: INT_MIN for everything it cannot
// convert (out of range, NaN), which is also the truncation of a few values.
[[gnu::always_inline]] inline std::int32_t ProcessorTruncation(double d) {
#if defined(__SSE2__)
  return _mm_cvttsd_si32(_mm_set_sd(d));
#else
  return d > -2147483649.0 && d < 2147483648.0 ? static_cast<std::int32_t>(d)
                                               : std::numeric_limits<std::int32_t>::min();
#endif
}

// Doubles to 32-bit integers: truncation toward zero. Values outside the
// range saturate and NaN gives 0, so no conversion is ever undefined.
[[gnu::always_inline]] inline std::int32_t ToInt32(double d) {
  // Any result but INT_MIN is the answer at once.
  const std::int32_t truncated = ProcessorTruncation(d);
  if (truncated != std::numeric_limits<std::int32_t>::min()) [[likely]] return truncated;
  // Whatever truncates into the range converts as it is; NaN fails both
  // comparisons.
  if (d > -2147483649.0 && d < 2147483648.0) return static_cast<std::int32_t>(d);
  if (std::isnan(d)) return 0;
  return d > 0.0 ? std::numeric_limits<std::int32_t>::max() : std::numeric_limits<std::int32_t>::min();
}

struct Literal {
  bool ok = false;
  double value = 0.0;
  std::size_t end = 0;  // first byte after the literal
};

// Reads the literal at `pos`, which holds a digit or an apostrophe.
Literal ScanLiteral(std::string_view t, std::size_t pos);

enum class Function : std::uint8_t {
  kUnknown,
  kNegate,
  kSqrt,
  kAbs,
  kRound,
  kInt,
  kSin,
  kCos,
  kTan,
  kAsin,
  kAcos,
  kAtan,
  kExp,
  kLog,
};

Function LookupFunction(std::string_view name);

// False for an unknown function (the expression fails).
inline bool ApplyFunction(Function f, double v, double* out) {
  switch (f) {
    case Function::kNegate: *out = -v; return true;
    case Function::kSqrt: *out = std::sqrt(v); return true;
    case Function::kAbs: *out = std::fabs(v); return true;
    case Function::kRound: *out = std::round(v); return true;
    case Function::kInt: *out = ToInt32(v); return true;
    case Function::kSin: *out = std::sin(v); return true;
    case Function::kCos: *out = std::cos(v); return true;
    case Function::kTan: *out = std::tan(v); return true;
    case Function::kAsin: *out = std::asin(v); return true;
    case Function::kAcos: *out = std::acos(v); return true;
    case Function::kAtan: *out = std::atan(v); return true;
    case Function::kExp: *out = std::exp(v); return true;
    case Function::kLog: *out = std::log(v); return true;
    case Function::kUnknown: break;
  }
  return false;
}

inline double Truth(bool b) { return b ? 1.0 : 0.0; }

// The operators on 32-bit integers: true when `op` is one of them.
constexpr bool IsIntegerOperator(unsigned char op) { return op >= kShiftLeft && op <= kModulo; }

// An integer operator on operands already made 32-bit integers.
[[gnu::always_inline]] inline bool ApplyIntegerOperator(char op, std::int32_t a, std::int32_t b,
                                                        double* out) {
  const auto ua = static_cast<std::uint32_t>(a);
  switch (static_cast<unsigned char>(op)) {
    // Shifted as unsigned so that no bit pattern is undefined.
    case kShiftLeft: *out = static_cast<std::int32_t>(ua << (b & 31)); return true;
    case kShiftRight: *out = a >> (b & 31); return true;
    case kBitOr: *out = a | b; return true;
    case kBitAnd: *out = a & b; return true;
    case kBitXor: *out = a ^ b; return true;
    case kModulo:
      // x % 0 is 0 rather than a trap; INT_MIN % -1 is 0, its true value.
      *out = (b == 0 || b == -1) ? 0 : a % b;
      return true;
    default: return false;
  }
}

// accumulator = l op r. False when the expression fails: a divisor within
// 1e-20 of zero, or the code that names no operator.
[[gnu::always_inline]] inline bool ApplyOperator(char op, double l, double r, double* out) {
  switch (static_cast<unsigned char>(op)) {
    case '+': *out = l + r; return true;
    case '-': *out = l - r; return true;
    case '*': *out = l * r; return true;
    case '/':
      if (r > -1e-20 && r < 1e-20) return false;
      *out = l / r;
      return true;
    case kLess: *out = Truth(l < r); return true;
    case kGreater: *out = Truth(l > r); return true;
    case kLessEqual: *out = Truth(l <= r); return true;
    case kGreaterEqual: *out = Truth(l >= r); return true;
    case kEqual: *out = Truth(l == r); return true;
    case kNotEqual: *out = Truth(!(l == r)); return true;
    case kLogicalOr: *out = Truth(l > 0.0 || r > 0.0); return true;
    case kLogicalAnd: *out = Truth(l > 0.0 && r > 0.0); return true;
    default: break;
  }
  return ApplyIntegerOperator(op, ToInt32(l), ToInt32(r), out);
}

}  // namespace vx::expr::rules
