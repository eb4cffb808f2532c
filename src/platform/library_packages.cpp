// SPDX-License-Identifier: MIT
#include "platform/library_packages.hpp"

#include <array>
#include <cctype>

namespace vx::platform {
namespace {

struct Shipped {
  std::string_view soname;
  std::string_view package;
};

// Debian's names for the libraries opened with dlopen (bookworm).
constexpr std::array kShipped = {
    Shipped{"libfreetype.so.6", "libfreetype6"},
    Shipped{"libfontconfig.so.1", "libfontconfig1"},
    Shipped{"libpng16.so.16", "libpng16-16"},
    Shipped{"libjpeg.so.62", "libjpeg62-turbo"},
    Shipped{"libX11.so.6", "libx11-6"},
    Shipped{"libxcb.so.1", "libxcb1"},
    Shipped{"libXtst.so.6", "libxtst6"},
    Shipped{"libasound.so.2", "libasound2"},
    Shipped{"libportaudio.so.2", "libportaudio2"},
    Shipped{"libfftw3.so.3", "libfftw3-double3"},
    Shipped{"libfluidsynth.so.3", "libfluidsynth3"},
    Shipped{"libqrencode.so.4", "libqrencode4"},
    Shipped{"libtesseract.so.5", "libtesseract5"},
    Shipped{"libespeak-ng.so.1", "libespeak-ng1"},
    Shipped{"libv4l2.so.0", "libv4l-0"},
    Shipped{"libQt6PrintSupport.so.6", "libqt6printsupport6"},
};

// FFmpeg's libraries change their major version with every release; the
// package is the library's name with that number (libavcodec.so.59 ->
// libavcodec59).
constexpr std::array<std::string_view, 4> kNamedByMajor = {"libavformat", "libavcodec", "libavutil",
                                                           "libswscale"};

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) return false;
  }
  return true;
}

}  // namespace

std::string PackageProviding(std::string_view soname) {
  for (const Shipped& s : kShipped) {
    if (s.soname == soname) return std::string(s.package);
  }
  for (const std::string_view stem : kNamedByMajor) {
    const std::string_view rest = soname.substr(0, stem.size()) == stem ? soname.substr(stem.size()) : "";
    if (rest.starts_with(".so.") && AllDigits(rest.substr(4))) {
      return std::string(stem) + std::string(rest.substr(4));
    }
  }
  return {};
}

std::string InstallHint(std::string_view packages) {
  if (packages.empty()) return {};
  return "; install the Debian package " + std::string(packages);
}

std::string BuiltWithout(std::string_view library, std::string_view dev_packages) {
  return "this vexmora was built without " + std::string(library) + " (rebuild it with " +
         std::string(dev_packages) + " installed)";
}

}  // namespace vx::platform
