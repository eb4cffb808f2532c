#pragma once
// Result reporting shared by the array, file, date and system families.
#include <cstdint>
#include <string_view>

namespace vx::api {

class Call;

// G_ERROR 0 for `errnum` 0; otherwise G_ERROR 1 and the system's text for
// `errnum` in G_ERR_TXT.
void ReportSystemResult(Call& call, int errnum);
// G_ERROR 1 with `text` in G_ERR_TXT, for failures that have no system
// error behind them.
void ReportFailure(Call& call, std::string_view text);

// A 64-bit count into an output resource: a double variable receives it
// exactly, a string variable as decimal text, any other kind as a 32-bit
// integer held at the 32-bit limits.
void WriteCount(Call& call, std::int32_t out, std::int64_t value);

// A 64-bit number held at the 32-bit limits.
std::int32_t Clamp32(std::int64_t value);

// Whether the resource is a string variable with a buffer.
bool IsStringVariable(Call& call, std::int32_t resource);

}  // namespace vx::api
