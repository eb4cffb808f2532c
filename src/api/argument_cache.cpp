#include "api/argument_cache.hpp"

#include <vector>

#include "api/argument_fetch.hpp"
#include "api/arguments.hpp"
#include "engine/runtime.hpp"
#include "values/compiled_expression_internal.hpp"
#include "values/compiled_string.hpp"
#include "values/expression.hpp"

namespace vx {

namespace {

enum class NumericForm : std::uint8_t {
  kNotYet,      // not used as a number so far
  kPrepared,    // prepared once; `compiled` holds it when it compiles
  kUncachable,  // preparation fails: every call evaluates the text again
};

struct CachedArgument {
  std::size_t start = 0;   // in the cache's text
  std::size_t length = 0;  // at most ARG_TEXT_MAX bytes
  std::size_t word_start = 0;
  std::size_t word_length = 0;
  bool too_long = false;
  bool blank = true;
  NumericForm numeric = NumericForm::kNotYet;
  std::string prepared;
  CompiledExpressionPtr compiled;
  CompiledStringPtr text_form;  // the argument as a string expression
  // The output resource the first word names, while the resource table
  // keeps this size.
  std::int32_t resource = -1;
  std::int32_t resource_count = -1;
};

}  // namespace

struct ArgumentCache {
  bool bound = false;
  std::string text;
  std::vector<CachedArgument> arguments;
  CachedArgument absent;  // what an argument past the last one looks like

  CachedArgument& At(int n) {
    return n >= 0 && static_cast<std::size_t>(n) < arguments.size() ? arguments[n] : absent;
  }
  const CachedArgument& At(int n) const {
    return n >= 0 && static_cast<std::size_t>(n) < arguments.size() ? arguments[n] : absent;
  }
  std::string_view Text(const CachedArgument& a) const {
    return std::string_view(text).substr(a.start, a.length);
  }
  std::string_view Word(const CachedArgument& a) const {
    return std::string_view(text).substr(a.word_start, a.word_length);
  }
};

void ArgumentCacheDeleter::operator()(ArgumentCache* cache) const { delete cache; }

ArgumentCache& GetOrCreateArgumentCache(ArgumentCachePtr& slot) {
  if (!slot) slot.reset(new ArgumentCache());
  return *slot;
}

namespace args {
namespace {

CachedArgument Describe(std::string_view text, std::size_t start) {
  const std::size_t end = detail::NextSeparator(text, start, true);
  const std::string_view raw = text.substr(start, end - start);
  CachedArgument a;
  a.too_long = detail::TooLong(raw);
  const std::string_view used = raw.substr(0, ARG_TEXT_MAX);
  a.start = start;
  a.length = used.size();
  a.blank = detail::IsBlank(used);
  const std::string_view word = detail::FirstWord(used);
  a.word_start = word.empty() ? start : static_cast<std::size_t>(word.data() - text.data());
  a.word_length = word.size();
  return a;
}

void Fill(ArgumentCache& cache, std::string_view text) {
  cache.text.assign(detail::Terminated(text));
  cache.arguments.clear();
  const std::string_view own = cache.text;
  std::size_t start = 0;
  for (;;) {
    cache.arguments.push_back(Describe(own, start));
    const std::size_t comma = detail::NextSeparator(own, start, false);
    if (comma >= own.size()) break;
    start = comma + 1;
  }
  cache.bound = true;
}

// The argument's text, raising the too-long message as the copy would.
std::string_view Use(Runtime& rt, const ArgumentCache& cache, const CachedArgument& a) {
  if (a.too_long) SetPendingError(rt, msg::Text(msg::Id::kArgumentTooLong));
  return cache.Text(a);
}

double EvaluateNumber(Runtime& rt, CachedArgument& a, std::string_view argument) {
  if (a.numeric == NumericForm::kNotYet) {
    a.prepared.assign(argument);
    if (!expr::PrepareExpression(rt, a.prepared)) {
      // The failure is this call's result too; later calls fail the same way
      // through the text.
      a.prepared.clear();
      a.numeric = NumericForm::kUncachable;
      return 0.0;
    }
    a.compiled = expr::Compile(a.prepared);
    a.numeric = NumericForm::kPrepared;
  }
  if (a.numeric == NumericForm::kUncachable) return expr::EvaluateExpression(rt, argument);
  if (a.compiled) return expr::Evaluate(rt, *a.compiled);
  return expr::EvaluatePrepared(rt, a.prepared);
}

}  // namespace

void BindCache(ArgumentCache& cache, std::string_view text) {
  if (cache.bound && std::string_view(cache.text) == detail::Terminated(text)) return;
  Fill(cache, text);
}

int ArgCount(const ArgumentCache& cache) { return static_cast<int>(cache.arguments.size()); }

bool IsPresent(const ArgumentCache& cache, int n) { return !cache.At(n).blank; }

std::int32_t GetIntArg(Runtime& rt, ArgumentCache& cache, int n) {
  CachedArgument& a = cache.At(n);
  const std::string_view argument = Use(rt, cache, a);
  if (!detail::BeginFetch(rt, a.blank, msg::Id::kIntParamMissing)) return 0;
  return expr::rules::ToInt32(EvaluateNumber(rt, a, argument));
}

double GetDoubleArg(Runtime& rt, ArgumentCache& cache, int n) {
  CachedArgument& a = cache.At(n);
  const std::string_view argument = Use(rt, cache, a);
  if (!detail::BeginFetch(rt, a.blank, msg::Id::kParamMissing)) return 0.0;
  return EvaluateNumber(rt, a, argument);
}

int GetStringArg(Runtime& rt, ArgumentCache& cache, int n, std::string& out) {
  CachedArgument& a = cache.At(n);
  const std::string_view argument = Use(rt, cache, a);
  out.clear();
  if (!detail::BeginFetch(rt, a.blank, msg::Id::kParamMissing)) return 0;
  expr::EvaluateCompiledString(rt, expr::CompiledStringFor(a.text_form, argument), out);
  return 1;
}

std::string_view GetStringView(Runtime& rt, ArgumentCache& cache, int n, std::string& scratch) {
  CachedArgument& a = cache.At(n);
  const std::string_view argument = Use(rt, cache, a);
  scratch.clear();
  if (!detail::BeginFetch(rt, a.blank, msg::Id::kParamMissing)) return scratch;
  CompiledString& compiled = expr::CompiledStringFor(a.text_form, argument);
  std::string_view view;
  if (expr::ViewSingleVariable(rt, compiled, &view)) return view;
  expr::EvaluateCompiledString(rt, compiled, scratch);
  return scratch;
}

std::int32_t GetResourceArg(Runtime& rt, ArgumentCache& cache, int n) {
  CachedArgument& a = cache.At(n);
  Use(rt, cache, a);
  if (!detail::BeginFetch(rt, a.blank, msg::Id::kResourceParamMissing)) return -1;
  if (a.resource >= 0 && a.resource_count == rt.program.RscCount()) return a.resource;
  // An unknown name is looked up (and reported) on every call.
  a.resource = detail::FindOutputResource(rt, cache.Word(a));
  a.resource_count = rt.program.RscCount();
  return a.resource;
}

std::int32_t GetResourceArgOrNone(Runtime& rt, ArgumentCache& cache, int n) {
  const CachedArgument& a = cache.At(n);
  Use(rt, cache, a);
  rt.arg_status = a.blank ? ARG_MISSING : ARG_PRESENT;
  if (a.blank) return -1;
  return rt.program.FindResource(cache.Word(a));
}

}  // namespace args
}  // namespace vx
