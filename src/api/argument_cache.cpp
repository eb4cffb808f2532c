#include "api/argument_cache.hpp"

namespace vx {

struct ArgumentCache {};

void ArgumentCacheDeleter::operator()(ArgumentCache* cache) const { delete cache; }

}  // namespace vx
