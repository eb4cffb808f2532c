#include "api/arguments.hpp"

#include "api/argument_fetch.hpp"
#include "engine/runtime.hpp"
#include "text/sjis.hpp"
#include "values/expression.hpp"
#include "values/expression_rules.hpp"

namespace vx::args {
namespace detail {

std::string_view Terminated(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

std::size_t UnitLength(std::string_view text, std::size_t pos) {
  const char c = text[pos];
  const bool takes_next = sjis::IsLeadNarrow(c) || c == '\\';
  return (takes_next && pos + 1 < text.size()) ? 2 : 1;
}

std::size_t NextSeparator(std::string_view text, std::size_t pos, bool stop_at_line_end) {
  bool quoted = false;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      return pos;
    } else if (stop_at_line_end && (c == '\r' || c == '\n')) {
      return pos;
    }
    pos += UnitLength(text, pos);
  }
  return text.size();
}

bool IsBlank(std::string_view argument) {
  return argument.find_first_not_of(" \t") == std::string_view::npos;
}

bool TooLong(std::string_view raw) { return raw.size() >= ARG_TEXT_MAX; }

std::string_view CutToLimit(Runtime& rt, std::string_view raw) {
  if (!TooLong(raw)) return raw;
  SetPendingError(rt, msg::Text(msg::Id::kArgumentTooLong));
  return raw.substr(0, ARG_TEXT_MAX);
}

bool BeginFetch(Runtime& rt, bool blank, msg::Id missing) {
  const bool optional = (rt.arg_status & ARG_OPTIONAL) != 0;
  rt.arg_status = blank ? ARG_MISSING : ARG_PRESENT;
  if (blank && !optional) SetPendingError(rt, msg::Text(missing));
  return !blank;
}

std::string_view FirstWord(std::string_view argument) {
  const std::size_t start = argument.find_first_not_of(" \t");
  if (start == std::string_view::npos) return {};
  const std::size_t end = argument.find_first_of(" \t", start);
  return argument.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

std::int32_t FindOutputResource(Runtime& rt, std::string_view word) {
  const std::int32_t index = rt.program.FindResource(word);
  if (index < 0) SetPendingError(rt, msg::Format(msg::Id::kParamNoResource, word));
  return index;
}

}  // namespace detail

namespace {

using detail::BeginFetch;
using detail::IsBlank;

// Every getter works on a copy of its argument in the runtime's scratch, so
// that what it evaluates can never be the buffer an API is writing into.
std::string_view CopyArgument(Runtime& rt, std::string_view text, int n) {
  const std::string_view argument = detail::CutToLimit(rt, ArgText(text, n));
  if (rt.arg_scratch.capacity() < ARG_SCRATCH_BYTES) rt.arg_scratch.reserve(ARG_SCRATCH_BYTES);
  rt.arg_scratch.assign(argument);
  return rt.arg_scratch;
}

}  // namespace

int ArgCount(std::string_view text) {
  text = detail::Terminated(text);
  int count = 1;
  for (std::size_t pos = detail::NextSeparator(text, 0, false); pos < text.size();
       pos = detail::NextSeparator(text, pos + 1, false)) {
    ++count;
  }
  return count;
}

std::size_t ArgLocate(std::string_view text, int n) {
  text = detail::Terminated(text);
  if (n < 0) return text.size();
  std::size_t pos = 0;
  for (int k = 0; k < n; ++k) {
    pos = detail::NextSeparator(text, pos, false);
    if (pos >= text.size()) return text.size();
    ++pos;  // past the comma
  }
  return pos;
}

std::string_view ArgText(std::string_view text, int n) {
  text = detail::Terminated(text);
  const std::size_t start = ArgLocate(text, n);
  const std::size_t end = detail::NextSeparator(text, start, true);
  return text.substr(start, end - start);
}

std::int32_t GetIntArg(Runtime& rt, std::string_view text, int n) {
  const std::string_view argument = CopyArgument(rt, text, n);
  if (!BeginFetch(rt, IsBlank(argument), msg::Id::kIntParamMissing)) return 0;
  return expr::rules::ToInt32(expr::EvaluateExpression(rt, argument));
}

double GetDoubleArg(Runtime& rt, std::string_view text, int n) {
  const std::string_view argument = CopyArgument(rt, text, n);
  if (!BeginFetch(rt, IsBlank(argument), msg::Id::kParamMissing)) return 0.0;
  return expr::EvaluateExpression(rt, argument);
}

int GetStringArg(Runtime& rt, std::string_view text, int n, std::string& out) {
  const std::string_view argument = CopyArgument(rt, text, n);
  out.clear();
  if (!BeginFetch(rt, IsBlank(argument), msg::Id::kParamMissing)) return 0;
  expr::EvaluateStringExpression(rt, argument, out);
  return 1;
}

std::int32_t GetResourceArg(Runtime& rt, std::string_view text, int n) {
  const std::string_view argument = CopyArgument(rt, text, n);
  if (!BeginFetch(rt, IsBlank(argument), msg::Id::kResourceParamMissing)) return -1;
  return detail::FindOutputResource(rt, detail::FirstWord(argument));
}

std::int32_t GetResourceArgOrNone(Runtime& rt, std::string_view text, int n) {
  const std::string_view argument = CopyArgument(rt, text, n);
  const bool blank = IsBlank(argument);
  rt.arg_status = blank ? ARG_MISSING : ARG_PRESENT;
  if (blank) return -1;
  return rt.program.FindResource(detail::FirstWord(argument));
}

void SetPendingError(Runtime& rt, std::string_view message) { rt.error.Set(message); }

}  // namespace vx::args
