// Text through FreeType and fontconfig: face aliases, measuring, drawing,
// clipping and the glyph cache.
#include <gtest/gtest.h>

#include "graphics/drawing.hpp"
#include "graphics/text.hpp"
#include "graphics_test_support.hpp"
#include "text/encoding.hpp"

namespace vx::test {
namespace {

std::string Sjis(std::string_view utf8) { return text::Utf8ToCp932(utf8); }

graphics::FontSpec Spec(const std::string& face, int height, bool japanese, int weight = 400, int width = 0) {
  graphics::FontSpec f;
  f.face = face;
  f.height = height;
  f.width = width;
  f.japanese = japanese;
  f.weight = weight;
  return f;
}

class TextTest : public BankTest {
 protected:
  graphics::TextEngine engine;
};

TEST(FontAliases, WindowsFacesMapToInstalledFamilies) {
  EXPECT_EQ(graphics::AliasedFamily(Sjis("ＭＳ 明朝")), "IPAMincho");
  EXPECT_EQ(graphics::AliasedFamily(Sjis("ＭＳ　明朝")), "IPAMincho");
  EXPECT_EQ(graphics::AliasedFamily("MS Mincho"), "IPAMincho");
  EXPECT_EQ(graphics::AliasedFamily(Sjis("ＭＳ ゴシック")), "IPAGothic");
  EXPECT_EQ(graphics::AliasedFamily("ms gothic"), "IPAGothic");
  EXPECT_EQ(graphics::AliasedFamily(Sjis("ＭＳ Ｐゴシック")), "IPAPGothic");
  EXPECT_EQ(graphics::AliasedFamily("Arial"), "Liberation Sans");
  EXPECT_EQ(graphics::AliasedFamily("ARIAL"), "Liberation Sans");
  EXPECT_EQ(graphics::AliasedFamily("Times New Roman"), "Liberation Serif");
  EXPECT_EQ(graphics::AliasedFamily("Courier New"), "Liberation Mono");
  EXPECT_EQ(graphics::AliasedFamily("DejaVu Sans"), "DejaVu Sans");
}

TEST_F(TextTest, FacesResolveToTheInstalledFiles) {
  ASSERT_TRUE(engine.Ready());
  // Debian installs the IPA faces under their own names and as the
  // system's Japanese defaults.
  const std::string mincho = engine.ResolvedFile(Spec(Sjis("ＭＳ 明朝"), 16, true));
  const std::string gothic = engine.ResolvedFile(Spec(Sjis("ＭＳ ゴシック"), 16, true));
  EXPECT_TRUE(mincho.find("ipam.") != std::string::npos || mincho.find("mincho") != std::string::npos) << mincho;
  EXPECT_TRUE(gothic.find("ipag.") != std::string::npos || gothic.find("gothic") != std::string::npos) << gothic;
  EXPECT_NE(engine.ResolvedFile(Spec("Arial", 16, false)).find("LiberationSans"), std::string::npos);
  // Unknown names still get a face.
  EXPECT_FALSE(engine.ResolvedFile(Spec("No Such Face 123", 16, false)).empty());
}

TEST_F(TextTest, MeasuresAdvancesAndLineHeight) {
  const auto a = engine.Measure(Spec("Arial", 20, false), "AAAA");
  const auto one = engine.Measure(Spec("Arial", 20, false), "A");
  EXPECT_EQ(a.width, 4 * one.width);
  EXPECT_GE(a.height, 20);
  EXPECT_LE(a.height, 26);
  EXPECT_EQ(engine.Measure(Spec("Arial", 20, false), "").width, 0);
  // The Japanese faces are fixed pitch: a full-width character is an em,
  // a half-width one half of it.
  const auto kanji = engine.Measure(Spec(Sjis("ＭＳ 明朝"), 16, true), Sjis("漢字"));
  EXPECT_EQ(kanji.width, 32);
  EXPECT_EQ(engine.Measure(Spec(Sjis("ＭＳ 明朝"), 16, true), "ab").width, 16);
  // A character width makes half-width characters that wide.
  EXPECT_EQ(engine.Measure(Spec(Sjis("ＭＳ 明朝"), 16, true, 400, 12), "ab").width, 24);
  // Control characters take no room.
  EXPECT_EQ(engine.Measure(Spec("Arial", 20, false), "A\r\nA").width, a.width / 2);
}

TEST_F(TextTest, DrawsInTheColourFromTheTopLeftCorner) {
  auto c = Whole();
  const auto size = engine.Draw(c, 100, 200, kInk, Spec(Sjis("ＭＳ ゴシック"), 32, true), Sjis("田"));
  EXPECT_EQ(size.width, 32);
  const auto ink = Changed(PixelRect{0, 0, 400, 400});
  ASSERT_FALSE(ink.empty());
  int full = 0;
  for (const auto& [x, y] : ink) {
    EXPECT_GE(x, 100);
    EXPECT_LT(x, 132);
    EXPECT_GE(y, 200);
    EXPECT_LT(y, 200 + size.height);
    full += Inked(x, y) ? 1 : 0;
  }
  EXPECT_GT(full, 30);  // the strokes of 田 are solid colour
}

TEST_F(TextTest, BoldIsHeavierAndTheCacheServesRepeats) {
  auto c = Whole();
  engine.Draw(c, 10, 10, kInk, Spec("Arial", 24, false, 400), "Heavy");
  const std::size_t cached = engine.CachedGlyphs();
  const std::size_t regular = Changed(PixelRect{0, 0, 200, 60}).size();
  engine.Draw(c, 10, 10, kInk, Spec("Arial", 24, false, 400), "Heavy");
  EXPECT_EQ(engine.CachedGlyphs(), cached);
  engine.Draw(c, 10, 100, kInk, Spec("Arial", 24, false, 700), "Heavy");
  EXPECT_GT(Changed(PixelRect{0, 90, 200, 150}).size(), regular);
  // The IPA faces have no bold cut: bold is made by hand.
  engine.Draw(c, 10, 200, kInk, Spec(Sjis("ＭＳ 明朝"), 24, true, 400), Sjis("明朝"));
  const std::size_t thin = Changed(PixelRect{0, 190, 200, 250}).size();
  engine.Draw(c, 10, 300, kInk, Spec(Sjis("ＭＳ 明朝"), 24, true, 700), Sjis("明朝"));
  EXPECT_GT(Changed(PixelRect{0, 290, 200, 350}).size(), thin);
}

TEST_F(TextTest, JapaneseInAnAsciiFaceFallsBack) {
  auto c = Whole();
  const auto size = engine.Draw(c, 10, 10, kInk, Spec("Arial", 20, false), Sjis("あ"));
  EXPECT_GT(size.width, 10);
  EXPECT_FALSE(Changed(PixelRect{0, 0, 60, 40}).empty());
}

TEST_F(TextTest, TextIsClippedAtEveryEdge) {
  const PixelRect clip{500, 500, 539, 519};
  auto c = Clipped(clip);
  const std::string text = Sjis("文字Text");
  for (int x : {470, 520, 530, -1000000}) {
    for (int y : {490, 505, 515}) engine.Draw(c, x, y, kInk, Spec(Sjis("ＭＳ 明朝"), 24, true), text);
  }
  EXPECT_EQ(ChangedOutside(clip), 0u);
  EXPECT_FALSE(Changed(clip).empty());
  auto whole = Whole();
  engine.Draw(whole, 2560, 1920, kInk, Spec("Arial", 100, false), "WW");
  engine.Draw(whole, -30, -30, kInk, Spec("Arial", 100, false), "WW");
  EXPECT_FALSE(Changed(PixelRect{2590, 1990, 2599, 1999}).empty());
}

TEST_F(TextTest, BadBytesAndHugeSizesAreSafe) {
  auto c = Whole();
  EXPECT_EQ(graphics::DecodeSjis(std::string("\x82", 1)), std::u32string(U"?"));
  EXPECT_EQ(graphics::DecodeSjis(Sjis("aあ")), std::u32string(U"aあ"));
  engine.Draw(c, 10, 10, kInk, Spec("Arial", 16, false), std::string("\xFF\xFE\x82", 3));
  const auto big = engine.Measure(Spec("Arial", 50000, false, 400, 50000), "W");
  EXPECT_LE(big.height, 2 * graphics::TEXT_HEIGHT_MAX);
  const auto zero = engine.Measure(Spec("Arial", 0, false), "W");
  EXPECT_EQ(zero, engine.Measure(Spec("Arial", graphics::TEXT_HEIGHT_DEFAULT, false), "W"));
}

TEST_F(TextTest, TextOffTheBankIsMeasuredButNotDrawn) {
  auto c = Whole();
  std::string text;
  for (int i = 0; i < 300; ++i) text += Sjis("漢字かなカナ");
  const std::string face = Sjis("ＭＳ 明朝");
  const auto spec = Spec(face, 1000, true);
  const auto drawn = engine.Draw(c, -5000000, 100, kInk, spec, text);
  EXPECT_EQ(drawn, engine.Measure(spec, text));
  EXPECT_EQ(drawn.width, 1800 * 1000);
  EXPECT_TRUE(ChangedAnywhere().empty());
}

TEST_F(TextTest, FamiliesListJapaneseFacesSeparately) {
  const auto all = engine.Families(false);
  const auto ja = engine.Families(true);
  EXPECT_FALSE(ja.empty());
  EXPECT_GT(all.size(), ja.size());
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
  EXPECT_NE(std::find(all.begin(), all.end(), "Liberation Sans"), all.end());
  EXPECT_EQ(std::find(ja.begin(), ja.end(), "Liberation Sans"), ja.end());
}

TEST(TextAlignment, BitsPlaceTheTextOnlyWhenItIsSmaller) {
  const PixelRect box{100, 50, 299, 149};  // 200 x 100
  const graphics::TextSize size{60, 20};
  EXPECT_EQ(graphics::AlignText(box, size, 0), (graphics::Point{100, 50}));
  EXPECT_EQ(graphics::AlignText(box, size, 1), (graphics::Point{170, 50}));
  EXPECT_EQ(graphics::AlignText(box, size, 2), (graphics::Point{240, 50}));
  EXPECT_EQ(graphics::AlignText(box, size, 3), (graphics::Point{240, 50}));
  EXPECT_EQ(graphics::AlignText(box, size, 4), (graphics::Point{100, 90}));
  EXPECT_EQ(graphics::AlignText(box, size, 8), (graphics::Point{100, 130}));
  EXPECT_EQ(graphics::AlignText(box, size, 12 | 1), (graphics::Point{170, 130}));
  EXPECT_EQ(graphics::AlignText(box, graphics::TextSize{300, 200}, 15), (graphics::Point{100, 50}));
  EXPECT_EQ(graphics::AlignText(box, graphics::TextSize{200, 100}, 5), (graphics::Point{100, 50}));
}

}  // namespace
}  // namespace vx::test
