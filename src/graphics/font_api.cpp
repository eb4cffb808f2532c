#include "graphics/font_api.hpp"

#include "platform/shared_library.hpp"

namespace vx::graphics {
namespace {

constexpr const char* kUnavailable = "text is not available: ";

bool BindFonts(FontApi& api, std::string& error) { return LoadFontLibraries(FREETYPE_LIBRARY, FONTCONFIG_LIBRARY, api, error); }

const platform::BoundApi<FontApi>& Load() { return platform::BindOnce<FontApi, BindFonts>(); }

bool BindFreeType(platform::SharedLibrary& library, FontApi& api) {
  bool ok = true;
#define VX_BIND(fn) ok = library.Bind(#fn, &api.fn) && ok
  VX_BIND(FT_Init_FreeType);
  VX_BIND(FT_Done_FreeType);
  VX_BIND(FT_New_Face);
  VX_BIND(FT_Done_Face);
  VX_BIND(FT_Select_Charmap);
  VX_BIND(FT_Set_Pixel_Sizes);
  VX_BIND(FT_Get_Sfnt_Table);
  VX_BIND(FT_Get_Char_Index);
  VX_BIND(FT_Load_Glyph);
  VX_BIND(FT_GlyphSlot_Embolden);
  VX_BIND(FT_Render_Glyph);
#undef VX_BIND
  return ok;
}

bool BindFontconfig(platform::SharedLibrary& library, FontApi& api) {
  bool ok = true;
#define VX_BIND(fn) ok = library.Bind(#fn, &api.fn) && ok
  VX_BIND(FcInitLoadConfigAndFonts);
  VX_BIND(FcConfigDestroy);
  VX_BIND(FcPatternCreate);
  VX_BIND(FcPatternDestroy);
  VX_BIND(FcPatternAddString);
  VX_BIND(FcPatternAddInteger);
  VX_BIND(FcPatternAddBool);
  VX_BIND(FcPatternAddLangSet);
  VX_BIND(FcPatternGetString);
  VX_BIND(FcPatternGetInteger);
  VX_BIND(FcPatternGetBool);
  VX_BIND(FcWeightFromOpenType);
  VX_BIND(FcConfigSubstitute);
  VX_BIND(FcDefaultSubstitute);
  VX_BIND(FcFontMatch);
  VX_BIND(FcLangSetCreate);
  VX_BIND(FcLangSetAdd);
  VX_BIND(FcLangSetDestroy);
  VX_BIND(FcObjectSetBuild);
  VX_BIND(FcObjectSetDestroy);
  VX_BIND(FcFontList);
  VX_BIND(FcFontSetDestroy);
#undef VX_BIND
  return ok;
}

}  // namespace

bool LoadFontLibraries(const char* freetype, const char* fontconfig, FontApi& api, std::string& error) {
  platform::SharedLibrary& ft = platform::SharedLibrary::Resident(freetype);
  if (!ft.Loaded() || !BindFreeType(ft, api)) {
    error = kUnavailable + ft.Error();
    return false;
  }
  platform::SharedLibrary& fc = platform::SharedLibrary::Resident(fontconfig);
  if (!fc.Loaded() || !BindFontconfig(fc, api)) {
    error = kUnavailable + fc.Error();
    return false;
  }
  return true;
}

const FontApi* Fonts() { return Load().ok ? &Load().api : nullptr; }

const std::string& FontLoadError() { return Load().error; }

}  // namespace vx::graphics
