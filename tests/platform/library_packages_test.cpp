// SPDX-License-Identifier: MIT
#include "platform/library_packages.hpp"

#include <gtest/gtest.h>

#include "platform/shared_library.hpp"

namespace vx::platform {
namespace {

TEST(LibraryPackages, KnownLibrariesNameTheirDebianPackage) {
  EXPECT_EQ(PackageProviding("libfftw3.so.3"), "libfftw3-double3");
  EXPECT_EQ(PackageProviding("libv4l2.so.0"), "libv4l-0");
  EXPECT_EQ(PackageProviding("libjpeg.so.62"), "libjpeg62-turbo");
  EXPECT_EQ(PackageProviding("libX11.so.6"), "libx11-6");
  // FFmpeg's packages follow the library's major version.
  EXPECT_EQ(PackageProviding("libavcodec.so.59"), "libavcodec59");
  EXPECT_EQ(PackageProviding("libswscale.so.6"), "libswscale6");
  EXPECT_EQ(PackageProviding("libavformat.so.61"), "libavformat61");
}

TEST(LibraryPackages, UnknownOrMalformedNamesGiveNoPackage) {
  EXPECT_EQ(PackageProviding("libvexmora-none.so.1"), "");
  EXPECT_EQ(PackageProviding("libfftw3.so.4"), "");
  EXPECT_EQ(PackageProviding("libavcodec.so."), "");
  EXPECT_EQ(PackageProviding("libavcodec.so.5x"), "");
  EXPECT_EQ(PackageProviding("libavcodecs.so.59"), "");
  EXPECT_EQ(PackageProviding(""), "");
  EXPECT_EQ(InstallHint(""), "");
}

TEST(LibraryPackages, HintsAndBuildsWithoutAreWorded) {
  EXPECT_EQ(InstallHint("libespeak-ng1"), "; install the Debian package libespeak-ng1");
  EXPECT_EQ(BuiltWithout("FFmpeg", "libavcodec-dev"),
            "this vexmora was built without FFmpeg (rebuild it with libavcodec-dev installed)");
}

TEST(LibraryPackages, AnUnknownLibraryFailsWithTheLoadersWordsAlone) {
  SharedLibrary absent("libvexmora-no-such-library.so.7");
  EXPECT_FALSE(absent.Loaded());
  EXPECT_NE(absent.Error().find("libvexmora-no-such-library.so.7"), std::string::npos) << absent.Error();
  EXPECT_EQ(absent.Error().find("install the Debian package"), std::string::npos) << absent.Error();
}

}  // namespace
}  // namespace vx::platform
