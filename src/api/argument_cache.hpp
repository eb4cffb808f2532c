#pragma once
// Per-procedure cache of an API call's argument text: argument boundaries and
// compiled numeric arguments, filled on first use.
#include <memory>

namespace vx {

struct ArgumentCache;
struct ArgumentCacheDeleter {
  void operator()(ArgumentCache* cache) const;
};
using ArgumentCachePtr = std::unique_ptr<ArgumentCache, ArgumentCacheDeleter>;

}  // namespace vx
