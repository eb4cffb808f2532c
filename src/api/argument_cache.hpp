#pragma once
// Per-procedure cache of an API call's argument text: argument boundaries and
// compiled numeric arguments, filled on first use.
//
// An argument text never changes while a program is loaded, yet every call
// would split it and prepare its numeric arguments again. A cache keeps, for
// one text, where each argument starts and ends, whether it is blank or too
// long, the first word of a resource argument and the compiled form of a
// numeric argument, so that a repeated call only evaluates. The getters over
// a cache give exactly the values, messages and status of the getters over
// the text (arguments.hpp), the 4095-byte rule included.
//
// A cache keeps its own copy of the text it was filled from and compares the
// text of every call with it: handed a different text, it refills itself.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vx {

struct Runtime;

struct ArgumentCache;
struct ArgumentCacheDeleter {
  void operator()(ArgumentCache* cache) const;
};
using ArgumentCachePtr = std::unique_ptr<ArgumentCache, ArgumentCacheDeleter>;

// The cache in `slot`, created empty on first use (the run loop passes a
// procedure's `arguments`).
ArgumentCache& GetOrCreateArgumentCache(ArgumentCachePtr& slot);

namespace args {

// Makes `cache` describe `text`, splitting it when the cache was empty or
// filled from another text. Every getter below needs a bound cache.
void BindCache(ArgumentCache& cache, std::string_view text);

int ArgCount(const ArgumentCache& cache);
// Whether argument n is there (not empty or blank), without evaluating it
// or reporting anything.
bool IsPresent(const ArgumentCache& cache, int n);

std::int32_t GetIntArg(Runtime& rt, ArgumentCache& cache, int n);
double GetDoubleArg(Runtime& rt, ArgumentCache& cache, int n);
int GetStringArg(Runtime& rt, ArgumentCache& cache, int n, std::string& out);
// GetStringArg without the copy where the argument is one text variable:
// then a view of its buffer, else `scratch` holding the value. The view
// holds until a variable is written.
std::string_view GetStringView(Runtime& rt, ArgumentCache& cache, int n, std::string& scratch);
std::int32_t GetResourceArg(Runtime& rt, ArgumentCache& cache, int n);
std::int32_t GetResourceArgOrNone(Runtime& rt, ArgumentCache& cache, int n);

}  // namespace args
}  // namespace vx
