#include "graphics/text.hpp"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <unordered_map>

#include "graphics/font_api.hpp"
#include "text/encoding.hpp"

namespace vx::graphics {
namespace {

// Windows face names (normalised: see NormaliseFace) and the installed
// family each stands for.
struct Alias {
  std::string_view windows;
  std::string_view family;
};
constexpr std::array<Alias, 34> kAliases = {{
    {"ms明朝", "IPAMincho"},
    {"msmincho", "IPAMincho"},
    {"msp明朝", "IPAPMincho"},
    {"mspmincho", "IPAPMincho"},
    {"游明朝", "IPAPMincho"},
    {"yumincho", "IPAPMincho"},
    {"msゴシック", "IPAGothic"},
    {"msgothic", "IPAGothic"},
    {"mspゴシック", "IPAPGothic"},
    {"mspgothic", "IPAPGothic"},
    {"msuiゴシック", "IPAPGothic"},
    {"msuigothic", "IPAPGothic"},
    {"メイリオ", "IPAPGothic"},
    {"meiryo", "IPAPGothic"},
    {"meiryoui", "IPAPGothic"},
    {"游ゴシック", "IPAPGothic"},
    {"yugothic", "IPAPGothic"},
    {"system", "IPAGothic"},
    {"terminal", "IPAGothic"},
    {"fixedsys", "IPAGothic"},
    {"arial", "Liberation Sans"},
    {"helvetica", "Liberation Sans"},
    {"arialunicodems", "Liberation Sans"},
    {"microsoftsansserif", "Liberation Sans"},
    {"segoeui", "Liberation Sans"},
    {"tahoma", "Liberation Sans"},
    {"verdana", "Liberation Sans"},
    {"arialnarrow", "Liberation Sans Narrow"},
    {"timesnewroman", "Liberation Serif"},
    {"times", "Liberation Serif"},
    {"couriernew", "Liberation Mono"},
    {"courier", "Liberation Mono"},
    {"consolas", "Liberation Mono"},
    {"lucidaconsole", "Liberation Mono"},
}};

constexpr std::string_view kJapaneseFallback = "IPAGothic";

std::u32string DecodeUtf8(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int extra = b < 0x80 ? 0
                      : (b & 0xE0) == 0xC0 ? 1
                      : (b & 0xF0) == 0xE0 ? 2
                      : (b & 0xF8) == 0xF0 ? 3
                                           : -1;
    bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < s.size();
    for (int k = 1; valid && k <= extra; ++k) {
      valid = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    }
    if (!valid) {
      out.push_back(U'?');
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? b : (b & (0x3F >> extra));
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out.push_back(cp);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

// Lower-case ASCII, full-width ASCII made half-width, blanks removed.
std::string NormaliseFace(std::string_view utf8) {
  std::string out;
  for (char32_t cp : DecodeUtf8(utf8)) {
    if (cp == U' ' || cp == U'\t' || cp == 0x3000) continue;
    if (cp >= 0xFF01 && cp <= 0xFF5E) cp = cp - 0xFF01 + 0x21;
    if (cp >= U'A' && cp <= U'Z') cp = cp - U'A' + U'a';
    // Back to UTF-8.
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

int CeilPixels(FT_Pos v) { return static_cast<int>((v + 63) >> 6); }
int RoundPixels(FT_Pos v) { return static_cast<int>((v + 32) >> 6); }

struct LoadedFace {
  FT_Face face = nullptr;
  int size_height = -1;  // the size currently set on the face
  int size_width = -1;
};

struct ResolvedFace {
  LoadedFace* face = nullptr;
  bool embolden = false;
};

struct Glyph {
  bool rendered = false;  // the bitmap is there (else only the advance)
  int left = 0;  // bitmap offset from the pen position
  int top = 0;   // rows above the baseline
  int width = 0;
  int rows = 0;
  int advance = 0;
  std::vector<std::uint8_t> coverage;
};

struct GlyphKey {
  const LoadedFace* face;
  int height;
  int width;
  bool bold;
  char32_t code;
  friend bool operator==(const GlyphKey&, const GlyphKey&) = default;
};

struct GlyphKeyHash {
  std::size_t operator()(const GlyphKey& k) const {
    std::size_t h = std::hash<const void*>{}(k.face);
    h = h * 1000003u ^ static_cast<std::size_t>(k.height);
    h = h * 1000003u ^ static_cast<std::size_t>(k.width);
    h = h * 1000003u ^ static_cast<std::size_t>(k.bold);
    h = h * 1000003u ^ static_cast<std::size_t>(k.code);
    return h;
  }
};

struct LineMetrics {
  int ascent = 0;
  int descent = 0;
};

// The pixel sizes a request asks of one face.
struct PixelSize {
  int height;
  int width;  // 0: the same as the height
};

}  // namespace

std::string AliasedFamily(std::string_view sjis_face) {
  const std::string utf8 = text::Cp932ToUtf8(sjis_face);
  const std::string key = NormaliseFace(utf8);
  for (const Alias& a : kAliases) {
    if (a.windows == key) return std::string(a.family);
  }
  return utf8;
}

std::u32string DecodeSjis(std::string_view sjis_text) {
  return DecodeUtf8(text::Cp932ToUtf8(sjis_text));
}

struct TextEngine::Impl {
  const FontApi* api = nullptr;  // set by Start() once both libraries are bound
  FT_Library library = nullptr;
  FcConfig* config = nullptr;
  bool tried = false;
  bool ready = false;
  std::map<std::string, std::unique_ptr<LoadedFace>> faces;  // by "path#index"
  std::unordered_map<std::string, ResolvedFace> resolved;     // by request
  std::unordered_map<GlyphKey, Glyph, GlyphKeyHash> glyphs;

  ~Impl() {
    glyphs.clear();
    for (auto& [key, face] : faces) api->FT_Done_Face(face->face);
    faces.clear();
    if (library != nullptr) api->FT_Done_FreeType(library);
    if (config != nullptr) api->FcConfigDestroy(config);
  }

  bool Start() {
    if (tried) return ready;
    tried = true;
    // Without FreeType or fontconfig text fails as it does without fonts.
    api = Fonts();
    if (api == nullptr) return false;
    if (api->FT_Init_FreeType(&library) != 0) {
      library = nullptr;
      return false;
    }
    config = api->FcInitLoadConfigAndFonts();
    ready = config != nullptr;
    return ready;
  }

  LoadedFace* Load(const std::string& path, int index) {
    const std::string key = path + "#" + std::to_string(index);
    auto it = faces.find(key);
    if (it != faces.end()) return it->second.get();
    FT_Face face = nullptr;
    if (api->FT_New_Face(library, path.c_str(), index, &face) != 0) return nullptr;
    api->FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    auto loaded = std::make_unique<LoadedFace>();
    loaded->face = face;
    LoadedFace* raw = loaded.get();
    faces.emplace(key, std::move(loaded));
    return raw;
  }

  ResolvedFace Resolve(const std::string& family, int weight, bool japanese) {
    const std::string key = family + "\n" + std::to_string(weight) + (japanese ? "\nja" : "\n");
    auto it = resolved.find(key);
    if (it != resolved.end()) return it->second;
    ResolvedFace result;
    FcPattern* pattern = api->FcPatternCreate();
    if (pattern != nullptr) {
      api->FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
      if (japanese) api->FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
      api->FcPatternAddInteger(pattern, FC_WEIGHT, api->FcWeightFromOpenType(std::clamp(weight, 1, 1000)));
      api->FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
      api->FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
      api->FcConfigSubstitute(config, pattern, FcMatchPattern);
      api->FcDefaultSubstitute(pattern);
      FcResult outcome = FcResultNoMatch;
      FcPattern* match = api->FcFontMatch(config, pattern, &outcome);
      if (match != nullptr) {
        FcChar8* file = nullptr;
        int index = 0;
        FcBool embolden = FcFalse;
        int found_weight = FC_WEIGHT_REGULAR;
        api->FcPatternGetInteger(match, FC_INDEX, 0, &index);
        api->FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
        api->FcPatternGetInteger(match, FC_WEIGHT, 0, &found_weight);
        if (api->FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
          result.face = Load(reinterpret_cast<const char*>(file), index);
        }
        // Faces without a bold cut (the IPA fonts) are made bold by hand.
        result.embolden = embolden == FcTrue || (weight >= 600 && found_weight < FC_WEIGHT_DEMIBOLD);
        api->FcPatternDestroy(match);
      }
      api->FcPatternDestroy(pattern);
    }
    resolved.emplace(key, result);
    return result;
  }

  ResolvedFace ResolveSpec(const FontSpec& font) {
    return Resolve(AliasedFamily(font.face), font.weight, font.japanese);
  }

  bool SetSize(LoadedFace& f, PixelSize size) {
    if (f.size_height == size.height && f.size_width == size.width) return true;
    if (api->FT_Set_Pixel_Sizes(f.face, static_cast<FT_UInt>(size.width),
                                static_cast<FT_UInt>(size.height)) != 0) {
      return false;
    }
    f.size_height = size.height;
    f.size_width = size.width;
    return true;
  }

  PixelSize SizeFor(const LoadedFace& f, const FontSpec& font) const {
    const int height = std::clamp(font.height < 1 ? TEXT_HEIGHT_DEFAULT : font.height, 1,
                                  TEXT_HEIGHT_MAX);
    const int width = std::clamp(font.width, 0, TEXT_WIDTH_MAX);
    if (width == 0) return PixelSize{height, 0};
    if (font.japanese) return PixelSize{height, std::min(2 * width, 2 * TEXT_WIDTH_MAX)};
    const auto* os2 = static_cast<const TT_OS2*>(api->FT_Get_Sfnt_Table(f.face, FT_SFNT_OS2));
    if (os2 == nullptr || os2->xAvgCharWidth <= 0 || f.face->units_per_EM == 0) {
      return PixelSize{height, 2 * width};
    }
    const long em = (static_cast<long>(width) * f.face->units_per_EM + os2->xAvgCharWidth / 2) /
                    os2->xAvgCharWidth;
    return PixelSize{height, static_cast<int>(std::clamp<long>(em, 1, 4L * TEXT_WIDTH_MAX))};
  }

  LineMetrics Metrics(LoadedFace& f, PixelSize size) {
    if (!SetSize(f, size)) return {};
    const FT_Size_Metrics& m = f.face->size->metrics;
    return LineMetrics{CeilPixels(m.ascender), CeilPixels(-m.descender)};
  }

  // The glyph's advance, and with `bitmap` its coverage too. Glyphs that
  // only need measuring are not rasterised, so long or huge texts that
  // mostly lie off the bank stay cheap.
  const Glyph* GlyphFor(LoadedFace& f, PixelSize size, bool bold, char32_t code, bool bitmap) {
    const GlyphKey key{&f, size.height, size.width, bold, code};
    auto it = glyphs.find(key);
    if (it != glyphs.end() && (it->second.rendered || !bitmap)) return &it->second;
    if (it == glyphs.end() && glyphs.size() >= GLYPH_CACHE_MAX) glyphs.clear();
    if (!SetSize(f, size)) return nullptr;
    const FT_UInt index = api->FT_Get_Char_Index(f.face, code);
    if (api->FT_Load_Glyph(f.face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return nullptr;
    FT_GlyphSlot slot = f.face->glyph;
    if (bold) api->FT_GlyphSlot_Embolden(slot);
    Glyph g;
    g.advance = RoundPixels(slot->advance.x);
    if (bitmap) {
      if (api->FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return nullptr;
      const FT_Bitmap& bm = slot->bitmap;
      g.rendered = true;
      g.left = slot->bitmap_left;
      g.top = slot->bitmap_top;
      g.width = static_cast<int>(bm.width);
      g.rows = static_cast<int>(bm.rows);
      g.coverage.resize(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.rows));
      for (int row = 0; row < g.rows; ++row) {
        const unsigned char* src = bm.buffer + static_cast<std::ptrdiff_t>(row) * bm.pitch;
        for (int col = 0; col < g.width; ++col) {
          std::uint8_t c;
          if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
            c = (src[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
          } else {
            c = src[col];
          }
          g.coverage[static_cast<std::size_t>(row) * g.width + col] = c;
        }
      }
    }
    return &glyphs.insert_or_assign(key, std::move(g)).first->second;
  }

  // The face that has `code`: the requested one, else the Japanese fallback,
  // else the requested one's missing-glyph box.
  ResolvedFace FaceFor(const ResolvedFace& primary, const FontSpec& font, char32_t code) {
    if (api->FT_Get_Char_Index(primary.face->face, code) != 0) return primary;
    ResolvedFace fallback = Resolve(std::string(kJapaneseFallback), font.weight, true);
    if (fallback.face != nullptr && api->FT_Get_Char_Index(fallback.face->face, code) != 0) {
      return fallback;
    }
    return primary;
  }

  // Lays the text out from pen position 0. With a target, the glyphs that
  // may reach into its clip are rasterised and handed to `visit` with their
  // pen position and the line's ascent.
  struct Target {
    std::int64_t x;
    std::int64_t y;
    PixelRect clip;
  };
  template <class Visit>
  TextSize Layout(const FontSpec& font, std::string_view sjis_text, const Target* target, Visit&& visit) {
    if (!Start()) return {};
    const ResolvedFace primary = ResolveSpec(font);
    if (primary.face == nullptr) return {};
    const PixelSize size = SizeFor(*primary.face, font);
    const LineMetrics line = Metrics(*primary.face, size);
    // How far a glyph's ink may stray from its advance cell.
    const std::int64_t margin = 2 * std::max(size.height, size.width) + 8;
    const bool rows_reached = target != nullptr && !target->clip.Empty() &&
                              target->y - margin <= target->clip.bottom &&
                              target->y + line.ascent + line.descent + margin >= target->clip.top;
    std::int64_t pen = 0;
    for (char32_t code : DecodeSjis(sjis_text)) {
      if (code < 0x20 || code == 0x7F) continue;  // control characters take no room
      const ResolvedFace rf = FaceFor(primary, font, code);
      const PixelSize glyph_size = rf.face == primary.face ? size : SizeFor(*rf.face, font);
      const bool reached = rows_reached && target->x + pen + margin >= target->clip.left &&
                           target->x + pen - margin <= target->clip.right;
      const Glyph* g = GlyphFor(*rf.face, glyph_size, rf.embolden, code, reached);
      if (g == nullptr) continue;
      if (reached) visit(*g, static_cast<int>(pen), line.ascent);
      pen = std::min<std::int64_t>(pen + g->advance, INT32_MAX / 2);
    }
    return TextSize{static_cast<int>(pen), line.ascent + line.descent};
  }
};

TextEngine::TextEngine() : impl_(std::make_unique<Impl>()) {}
TextEngine::~TextEngine() = default;

bool TextEngine::Ready() {
  if (!impl_->Start()) return false;
  FontSpec any;
  any.face = "Arial";
  any.japanese = false;
  return impl_->ResolveSpec(any).face != nullptr;
}

TextSize TextEngine::Measure(const FontSpec& font, std::string_view sjis_text) {
  return impl_->Layout(font, sjis_text, nullptr, [](const Glyph&, int, int) {});
}

TextSize TextEngine::Draw(Canvas& canvas, int x, int y, Color colour, const FontSpec& font,
                          std::string_view sjis_text) {
  const Impl::Target target{x, y, canvas.Valid() ? canvas.ClipRect() : PixelRect{}};
  return impl_->Layout(font, sjis_text, &target, [&](const Glyph& g, int pen, int ascent) {
    const std::int64_t left = static_cast<std::int64_t>(x) + pen + g.left;
    const std::int64_t top = static_cast<std::int64_t>(y) + ascent - g.top;
    const PixelRect& clip = canvas.ClipRect();
    if (left > clip.right || top > clip.bottom || left + g.width <= clip.left ||
        top + g.rows <= clip.top) {
      return;
    }
    for (int row = 0; row < g.rows; ++row) {
      const std::span<const std::uint8_t> line(g.coverage.data() + static_cast<std::size_t>(row) * g.width,
                                               static_cast<std::size_t>(g.width));
      canvas.BlendRow(left, top + row, colour, line);
    }
  });
}

std::vector<std::string> TextEngine::Families(bool japanese_only) {
  std::set<std::string> names;
  if (!impl_->Start()) return {};
  const FontApi* api = impl_->api;
  FcPattern* pattern = api->FcPatternCreate();
  FcLangSet* langs = nullptr;
  if (pattern == nullptr) return {};
  if (japanese_only) {
    langs = api->FcLangSetCreate();
    api->FcLangSetAdd(langs, reinterpret_cast<const FcChar8*>("ja"));
    api->FcPatternAddLangSet(pattern, FC_LANG, langs);
  }
  FcObjectSet* objects = api->FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, nullptr);
  FcFontSet* set = api->FcFontList(impl_->config, pattern, objects);
  if (set != nullptr) {
    for (int i = 0; i < set->nfont; ++i) {
      FcChar8* family = nullptr;
      std::string chosen;
      for (int k = 0; api->FcPatternGetString(set->fonts[i], FC_FAMILY, k, &family) == FcResultMatch; ++k) {
        FcChar8* lang = nullptr;
        const bool is_ja = api->FcPatternGetString(set->fonts[i], FC_FAMILYLANG, k, &lang) == FcResultMatch &&
                           lang != nullptr && std::string_view(reinterpret_cast<char*>(lang)) == "ja";
        if (chosen.empty() || (japanese_only && is_ja)) chosen = reinterpret_cast<char*>(family);
      }
      if (!chosen.empty()) names.insert(chosen);
    }
    api->FcFontSetDestroy(set);
  }
  api->FcObjectSetDestroy(objects);
  if (langs != nullptr) api->FcLangSetDestroy(langs);
  api->FcPatternDestroy(pattern);
  return std::vector<std::string>(names.begin(), names.end());
}

std::string TextEngine::ResolvedFile(const FontSpec& font) {
  if (!impl_->Start()) return {};
  const ResolvedFace rf = impl_->ResolveSpec(font);
  if (rf.face == nullptr) return {};
  for (const auto& [key, face] : impl_->faces) {
    if (face.get() == rf.face) return key.substr(0, key.rfind('#'));
  }
  return {};
}

std::size_t TextEngine::CachedGlyphs() const { return impl_->glyphs.size(); }

}  // namespace vx::graphics
