#include "api/families.hpp"

namespace vx::api {

void RegisterFamilies(Registry& registry) {
  RegisterStringApis(registry);
  RegisterBitApis(registry);
  RegisterRandomApis(registry);
  RegisterVramApis(registry);
  RegisterClickAreaApis(registry);
  RegisterImageApis(registry);
  RegisterImageProcessingApis(registry);
  RegisterImageAnalysisApis(registry);
  RegisterCallStackApis(registry);
}

}  // namespace vx::api
