#pragma once
// FreeType and fontconfig, opened when text is first measured or drawn: a
// run that draws no text maps neither.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <string>

namespace vx::graphics {

inline constexpr const char* FREETYPE_LIBRARY = "libfreetype.so.6";
inline constexpr const char* FONTCONFIG_LIBRARY = "libfontconfig.so.1";

struct FontApi {
  // FreeType: faces, sizes and glyphs.
  decltype(&::FT_Init_FreeType) FT_Init_FreeType = nullptr;
  decltype(&::FT_Done_FreeType) FT_Done_FreeType = nullptr;
  decltype(&::FT_New_Face) FT_New_Face = nullptr;
  decltype(&::FT_Done_Face) FT_Done_Face = nullptr;
  decltype(&::FT_Select_Charmap) FT_Select_Charmap = nullptr;
  decltype(&::FT_Set_Pixel_Sizes) FT_Set_Pixel_Sizes = nullptr;
  decltype(&::FT_Get_Sfnt_Table) FT_Get_Sfnt_Table = nullptr;
  decltype(&::FT_Get_Char_Index) FT_Get_Char_Index = nullptr;
  decltype(&::FT_Load_Glyph) FT_Load_Glyph = nullptr;
  decltype(&::FT_GlyphSlot_Embolden) FT_GlyphSlot_Embolden = nullptr;
  decltype(&::FT_Render_Glyph) FT_Render_Glyph = nullptr;
  // fontconfig: matching a family to a file, and listing families.
  decltype(&::FcInitLoadConfigAndFonts) FcInitLoadConfigAndFonts = nullptr;
  decltype(&::FcConfigDestroy) FcConfigDestroy = nullptr;
  decltype(&::FcPatternCreate) FcPatternCreate = nullptr;
  decltype(&::FcPatternDestroy) FcPatternDestroy = nullptr;
  decltype(&::FcPatternAddString) FcPatternAddString = nullptr;
  decltype(&::FcPatternAddInteger) FcPatternAddInteger = nullptr;
  decltype(&::FcPatternAddBool) FcPatternAddBool = nullptr;
  decltype(&::FcPatternAddLangSet) FcPatternAddLangSet = nullptr;
  decltype(&::FcPatternGetString) FcPatternGetString = nullptr;
  decltype(&::FcPatternGetInteger) FcPatternGetInteger = nullptr;
  decltype(&::FcPatternGetBool) FcPatternGetBool = nullptr;
  decltype(&::FcWeightFromOpenType) FcWeightFromOpenType = nullptr;
  decltype(&::FcConfigSubstitute) FcConfigSubstitute = nullptr;
  decltype(&::FcDefaultSubstitute) FcDefaultSubstitute = nullptr;
  decltype(&::FcFontMatch) FcFontMatch = nullptr;
  decltype(&::FcLangSetCreate) FcLangSetCreate = nullptr;
  decltype(&::FcLangSetAdd) FcLangSetAdd = nullptr;
  decltype(&::FcLangSetDestroy) FcLangSetDestroy = nullptr;
  decltype(&::FcObjectSetBuild) FcObjectSetBuild = nullptr;
  decltype(&::FcObjectSetDestroy) FcObjectSetDestroy = nullptr;
  decltype(&::FcFontList) FcFontList = nullptr;
  decltype(&::FcFontSetDestroy) FcFontSetDestroy = nullptr;
};

// Binds every function of `api` from the libraries `freetype` and
// `fontconfig`: false, with `error` naming the library or the missing
// function, when that fails.
bool LoadFontLibraries(const char* freetype, const char* fontconfig, FontApi& api, std::string& error);

// The process's FreeType and fontconfig, loaded on the first call; null when
// they cannot be (FontLoadError then says why).
const FontApi* Fonts();
const std::string& FontLoadError();

}  // namespace vx::graphics
