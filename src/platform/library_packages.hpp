// SPDX-License-Identifier: MIT
// Which Debian package ships each library the program opens on first use,
// so that a "not available" message tells the user what to install.
#pragma once

#include <string>
#include <string_view>

namespace vx::platform {

// The package holding `soname` ("libfftw3.so.3" -> "libfftw3-double3"), or
// empty for a library the table does not know.
std::string PackageProviding(std::string_view soname);

// "; install the Debian package NAME" (several names joined by " or "), or
// empty when `packages` is empty: appended to a missing-library message.
std::string InstallHint(std::string_view packages);

// The reason given by a call whose library was left out when the program
// was built: "this vexmora was built without LIBRARY (rebuild it with DEV
// installed)".
std::string BuiltWithout(std::string_view library, std::string_view dev_packages);

}  // namespace vx::platform
