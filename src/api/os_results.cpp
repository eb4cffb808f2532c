#include "api/os_results.hpp"

#include <algorithm>
#include <limits>
#include <string>

#include "api/call.hpp"
#include "engine/runtime.hpp"
#include "platform/files.hpp"

namespace vx::api {

void ReportSystemResult(Call& call, int errnum) {
  if (errnum == 0) {
    call.SetError(0);
    return;
  }
  call.SetError(1);
  call.SetErrText(files::ErrorText(errnum));
}

void ReportFailure(Call& call, std::string_view text) {
  call.SetError(1);
  call.SetErrText(text);
}

std::int32_t Clamp32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void WriteCount(Call& call, std::int32_t out, std::int64_t value) {
  if (!call.rt().program.ValidResource(out)) return;
  switch (call.rt().program.Resource(out).kind) {
    case R_KD_VAL_DOUBLE: call.WriteDouble(out, static_cast<double>(value)); break;
    case R_KD_VAL_TXT: call.WriteText(out, std::to_string(value)); break;
    default: call.WriteInt(out, Clamp32(value));
  }
}

bool IsStringVariable(Call& call, std::int32_t resource) {
  if (!call.rt().program.ValidResource(resource)) return false;
  const ResourceEntry& e = call.rt().program.Resource(resource);
  return e.kind == R_KD_VAL_TXT && e.text && e.text_capacity > 0;
}

}  // namespace vx::api
