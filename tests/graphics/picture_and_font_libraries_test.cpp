// libjpeg, libpng, FreeType and fontconfig are bound at run time: every
// function the codecs and the text engine call must exist in the library
// the program opens, under the name it is bound by, and a missing library
// or function must be named, not fatal.
#include <gtest/gtest.h>

#include <string>

#include "graphics/font_api.hpp"
#include "graphics/jpeg_api.hpp"
#include "graphics/png_api.hpp"

namespace vx::graphics {
namespace {

constexpr const char* kNoSuchLibrary = "libvexmora-no-such-library.so.1";
// A library that opens but holds none of these functions.
constexpr const char* kOtherLibrary = "libm.so.6";

bool Names(const std::string& error, const std::string& part) { return error.find(part) != std::string::npos; }

TEST(PictureAndFontLibraries, BindEveryFunctionFromTheSystemLibraries) {
  std::string error;
  JpegApi jpeg;
  EXPECT_TRUE(LoadJpeg(JPEG_LIBRARY, jpeg, error)) << error;
  PngApi png;
  EXPECT_TRUE(LoadPng(PNG_LIBRARY, png, error)) << error;
  FontApi fonts;
  EXPECT_TRUE(LoadFontLibraries(FREETYPE_LIBRARY, FONTCONFIG_LIBRARY, fonts, error)) << error;
  EXPECT_TRUE(error.empty()) << error;

  // One library for the process, the same the loaders above bound.
  ASSERT_NE(Jpeg(), nullptr) << JpegLoadError();
  EXPECT_EQ(Jpeg()->jpeg_CreateDecompress, jpeg.jpeg_CreateDecompress);
  ASSERT_NE(Png(), nullptr) << PngLoadError();
  EXPECT_EQ(Png()->png_set_longjmp_fn, png.png_set_longjmp_fn);
  ASSERT_NE(Fonts(), nullptr) << FontLoadError();
  EXPECT_EQ(Fonts()->FcFontMatch, fonts.FcFontMatch);
  EXPECT_EQ(Fonts()->FT_Render_Glyph, fonts.FT_Render_Glyph);
}

TEST(PictureAndFontLibraries, AMissingLibraryIsNamed) {
  std::string error;
  JpegApi jpeg;
  EXPECT_FALSE(LoadJpeg(kNoSuchLibrary, jpeg, error));
  EXPECT_TRUE(Names(error, "JPEG pictures are not available")) << error;
  EXPECT_TRUE(Names(error, kNoSuchLibrary)) << error;

  PngApi png;
  EXPECT_FALSE(LoadPng(kNoSuchLibrary, png, error));
  EXPECT_TRUE(Names(error, "PNG output is not available")) << error;
  EXPECT_TRUE(Names(error, kNoSuchLibrary)) << error;

  // Either of the two text libraries.
  FontApi fonts;
  EXPECT_FALSE(LoadFontLibraries(kNoSuchLibrary, FONTCONFIG_LIBRARY, fonts, error));
  EXPECT_TRUE(Names(error, "text is not available")) << error;
  EXPECT_TRUE(Names(error, kNoSuchLibrary)) << error;
  EXPECT_FALSE(LoadFontLibraries(FREETYPE_LIBRARY, kNoSuchLibrary, fonts, error));
  EXPECT_TRUE(Names(error, kNoSuchLibrary)) << error;
}

TEST(PictureAndFontLibraries, ALibraryWithoutTheFunctionsNamesOne) {
  std::string error;
  JpegApi jpeg;
  EXPECT_FALSE(LoadJpeg(kOtherLibrary, jpeg, error));
  EXPECT_TRUE(Names(error, "jpeg_")) << error;

  PngApi png;
  EXPECT_FALSE(LoadPng(kOtherLibrary, png, error));
  EXPECT_TRUE(Names(error, "png_")) << error;

  FontApi fonts;
  EXPECT_FALSE(LoadFontLibraries(kOtherLibrary, FONTCONFIG_LIBRARY, fonts, error));
  EXPECT_TRUE(Names(error, "FT_")) << error;
  EXPECT_FALSE(LoadFontLibraries(FREETYPE_LIBRARY, kOtherLibrary, fonts, error));
  EXPECT_TRUE(Names(error, "Fc")) << error;
}

}  // namespace
}  // namespace vx::graphics
