// The block application family. Its calls drive add-on processing blocks
// loaded into the host (initialise, process, limits, steps, sizes); this
// build carries no such blocks and loads none, so every call fails the same
// way: G_ERROR 1, G_ERR_TXT names the reason, and no output variable is
// written. Scripts that probe for blocks can test G_ERROR and go on.
#include "api/api_ids.hpp"
#include "api/call.hpp"

namespace vx::api {
namespace {

constexpr std::string_view kNoBlocks = "block applications are not available";

void Unavailable(Call& call) {
  call.SetErrText(kNoBlocks);
  call.SetError(1);
}

constexpr Registration kBlockApis[] = {
    {Id("BlkAppInit"), Unavailable}, {Id("BlkAppPrcss"), Unavailable}, {Id("BlkAppLimit"), Unavailable},
    {Id("BlkListApi"), Unavailable}, {Id("BlkSetStep"), Unavailable},  {Id("BlkGetStep"), Unavailable},
    {Id("BlkGetSize"), Unavailable}, {Id("BlkCnvPhiTs"), Unavailable},
};

}  // namespace

void RegisterBlockApis(Registry& registry) { registry.AddAll(kBlockApis); }

}  // namespace vx::api
