#pragma once
// Text drawn straight into a bank with FreeType, faces found with
// fontconfig, so it works the same with or without a display. Both are
// opened with the first text (graphics/font_api.hpp).
//
// Scripts name Windows faces ("ＭＳ 明朝", "ＭＳ ゴシック", "Arial"...); an alias
// table maps them to faces that are installed here (the IPA fonts for the
// Japanese faces, Liberation for the Windows core faces). Any other name
// goes to fontconfig as it is and gets its best match. Characters the face
// lacks come from a Japanese fallback face.
//
// Sizes follow the Windows rules for a negative font height: `height` is the
// em size in pixels. `width`, when not 0, is the width of a half-width
// character for the Japanese faces, and the average character width for
// the others. The text's top-left corner is at (x, y): the baseline lies
// one ascent below y. Glyphs are anti-aliased and blended into the bank.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/canvas.hpp"

namespace vx::graphics {

inline constexpr int TEXT_HEIGHT_DEFAULT = 16;
inline constexpr int TEXT_HEIGHT_MAX = 1000;
inline constexpr int TEXT_WIDTH_MAX = 1000;
inline constexpr std::size_t GLYPH_CACHE_MAX = 4096;

struct FontSpec {
  std::string_view face;  // Shift-JIS
  int weight = 400;       // 100 to 900; 700 is bold
  int height = TEXT_HEIGHT_DEFAULT;
  int width = 0;
  bool japanese = true;   // Shift-JIS character set: prefer faces with Japanese
};

struct TextSize {
  int width = 0;   // sum of the advances
  int height = 0;  // ascent + descent of the face
  friend bool operator==(const TextSize&, const TextSize&) = default;
};

// The installed family a Windows face name stands for (UTF-8), or the name
// itself (converted to UTF-8) when the table does not know it.
std::string AliasedFamily(std::string_view sjis_face);

class TextEngine {
 public:
  TextEngine();
  ~TextEngine();
  TextEngine(const TextEngine&) = delete;
  TextEngine& operator=(const TextEngine&) = delete;

  // False when FreeType or fontconfig could not be loaded or started, or
  // no face at all is installed; then nothing is drawn and sizes are 0.
  bool Ready();

  TextSize Measure(const FontSpec& font, std::string_view sjis_text);
  TextSize Draw(Canvas& canvas, int x, int y, Color colour, const FontSpec& font,
                std::string_view sjis_text);

  // Installed family names (UTF-8), sorted, without repeats; with
  // `japanese_only` only the families that cover Japanese.
  std::vector<std::string> Families(bool japanese_only);
  // The file a face resolves to (diagnostics and tests).
  std::string ResolvedFile(const FontSpec& font);

  std::size_t CachedGlyphs() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Code points of Shift-JIS text; bytes that do not convert become '?'.
std::u32string DecodeSjis(std::string_view sjis_text);

}  // namespace vx::graphics
