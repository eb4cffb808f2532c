#include "api/families.hpp"

namespace vx::api {

void RegisterFamilies(Registry& registry) {
  RegisterStringApis(registry);
  RegisterBitApis(registry);
  RegisterRandomApis(registry);
  RegisterCallStackApis(registry);
  RegisterVramApis(registry);
  RegisterClickAreaApis(registry);
  RegisterWindowApis(registry);
  RegisterEventApis(registry);
}

}  // namespace vx::api
