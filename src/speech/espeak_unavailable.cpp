// SPDX-License-Identifier: MIT
// Speech in a program built without espeak-ng's development files: every
// voice call reports why instead of speaking.
#include "platform/library_packages.hpp"
#include "speech/speech.hpp"

namespace vx::speech {

std::unique_ptr<Engine> OpenEspeak(std::string* error) {
  *error = "speech is not available: " + platform::BuiltWithout("espeak-ng", "libespeak-ng-dev");
  return nullptr;
}

}  // namespace vx::speech
