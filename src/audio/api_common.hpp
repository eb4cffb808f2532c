#pragma once
// What the sound family's API handlers share: file-name arguments and the
// G_ERROR / G_ERR_TXT reporting of the APIs that say why they fail.
#include <string>
#include <string_view>

#include "api/call.hpp"

namespace vx::api::audio_api {

// Text argument `n` (a file name) as a string of its own.
inline std::string TextArg(Call& call, int n) {
  std::string text;
  call.String(n, text);
  return text;
}

// G_ERROR 1 with the reason in G_ERR_TXT.
inline void Refuse(Call& call, std::string_view reason) {
  call.SetErrText(reason);
  call.SetError(1);
}

// G_ERROR 0, and no reason left from an earlier failure.
inline void Succeed(Call& call) {
  call.SetErrText({});
  call.SetError(0);
}

}  // namespace vx::api::audio_api
