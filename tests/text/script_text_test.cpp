// Script files in UTF-8: the byte-order mark, the chosen encoding, the
// characters Shift-JIS cannot hold and files saved as UTF-8 by mistake.
#include "text/script_text.hpp"

#include <gtest/gtest.h>

#include "text/encoding.hpp"

namespace vx::text {
namespace {

std::string Sjis(std::string_view utf8) { return Utf8ToCp932(utf8); }

TEST(ScriptEncoding, Names) {
  EXPECT_EQ(ParseScriptEncoding("utf-8"), ScriptEncoding::kUtf8);
  EXPECT_EQ(ParseScriptEncoding("UTF8"), ScriptEncoding::kUtf8);
  EXPECT_EQ(ParseScriptEncoding("Shift_JIS"), ScriptEncoding::kShiftJis);
  EXPECT_EQ(ParseScriptEncoding("shift-jis"), ScriptEncoding::kShiftJis);
  EXPECT_EQ(ParseScriptEncoding("SJIS"), ScriptEncoding::kShiftJis);
  EXPECT_EQ(ParseScriptEncoding("cp932"), ScriptEncoding::kShiftJis);
  EXPECT_EQ(ParseScriptEncoding(""), std::nullopt);
  EXPECT_EQ(ParseScriptEncoding("utf-16"), std::nullopt);
  EXPECT_EQ(ParseScriptEncoding("utf-8x"), std::nullopt);
}

TEST(ScriptEncoding, WellFormedShiftJisAndUtf8) {
  EXPECT_TRUE(IsWellFormedShiftJis(Sjis("日本語 ｶﾅ abc")));
  EXPECT_TRUE(IsWellFormedShiftJis("\x95\x5C"));      // 表: a trail byte 0x5C
  EXPECT_FALSE(IsWellFormedShiftJis("\x95"));         // a lead byte at the end
  EXPECT_FALSE(IsWellFormedShiftJis("\x81\x20"));     // a blank is no trail byte
  EXPECT_FALSE(IsWellFormedShiftJis("\xA0"));
  EXPECT_FALSE(IsWellFormedShiftJis("\xFD"));
  EXPECT_FALSE(IsWellFormedShiftJis("日本語"));       // UTF-8: E6 97 A5 ...
  EXPECT_TRUE(IsWellFormedUtf8("日本語 😀"));
  EXPECT_FALSE(IsWellFormedUtf8("\xC0\xAF"));         // overlong
  EXPECT_FALSE(IsWellFormedUtf8("\xED\xA0\x80"));     // a surrogate
  EXPECT_FALSE(IsWellFormedUtf8("\xF4\x90\x80\x80")); // beyond U+10FFFF
  EXPECT_FALSE(IsWellFormedUtf8("\xE6\x97"));         // cut short
  EXPECT_FALSE(IsWellFormedUtf8(Sjis("日本語")));
  EXPECT_TRUE(IsAscii("plain\t\r"));
  EXPECT_FALSE(IsAscii("\x80"));
}

TEST(ScriptLineDecoder, TheMarkMakesTheFileUtf8AndGoes) {
  ScriptLineDecoder decoder(ScriptEncoding::kShiftJis);
  std::string line = "\xEF\xBB\xBF" "Data string A \"日本\"\r";
  decoder.Decode(line);
  EXPECT_EQ(line, Sjis("Data string A \"日本\"\r"));
  EXPECT_TRUE(decoder.ReadsUtf8());
  line = "A = \"～①\"";
  decoder.Decode(line);
  EXPECT_EQ(line, "A = \"\x81\x60\x87\x40\"");
  EXPECT_TRUE(decoder.Unconvertible().empty());
  // A mark further on is no mark.
  ScriptLineDecoder later(ScriptEncoding::kShiftJis);
  std::string first = "plain";
  later.Decode(first);
  std::string second = "\xEF\xBB\xBF" "x";
  later.Decode(second);
  EXPECT_EQ(second, "\xEF\xBB\xBF" "x");
  EXPECT_FALSE(later.ReadsUtf8());
}

TEST(ScriptLineDecoder, ACharacterWithoutAShiftJisFormIsNamed) {
  ScriptLineDecoder decoder(ScriptEncoding::kUtf8);
  std::string line = "A = \"x😀y\"";
  decoder.Decode(line);
  EXPECT_EQ(decoder.Unconvertible(), "U+1F600");
  EXPECT_EQ(line, "A = \"x?y\"");
  line = "B = 1";
  decoder.Decode(line);
  EXPECT_TRUE(decoder.Unconvertible().empty());  // only the line it was on
  // With the mark, bytes that are not UTF-8 cannot be read either.
  ScriptLineDecoder marked(ScriptEncoding::kShiftJis);
  std::string bad = "\xEF\xBB\xBF" "\xFF";
  marked.Decode(bad);
  EXPECT_FALSE(marked.Unconvertible().empty());
}

TEST(ScriptLineDecoder, ChosenUtf8TakesOtherLinesAsShiftJis) {
  // A preprocessed script is written in Shift-JIS even when UTF-8 is
  // chosen for the scripts a person writes.
  ScriptLineDecoder decoder(ScriptEncoding::kUtf8);
  std::string sjis = Sjis("Debug 表示");
  const std::string kept = sjis;
  decoder.Decode(sjis);
  EXPECT_EQ(sjis, kept);
  EXPECT_TRUE(decoder.Unconvertible().empty());
  std::string utf8 = "Debug 表示";
  decoder.Decode(utf8);
  EXPECT_EQ(utf8, kept);
}

TEST(ScriptLineDecoder, AShiftJisReadingNoticesAFileSavedAsUtf8) {
  ScriptLineDecoder decoder(ScriptEncoding::kShiftJis);
  std::string line = "Debug 日本語";
  const std::string kept = line;
  decoder.Decode(line);
  EXPECT_EQ(line, kept);  // loaded as before
  EXPECT_TRUE(decoder.LooksLikeUtf8());
  line = Sjis("Debug 日本語");
  decoder.Decode(line);
  EXPECT_FALSE(decoder.LooksLikeUtf8());
  line = "Debug plain";
  decoder.Decode(line);
  EXPECT_FALSE(decoder.LooksLikeUtf8());
  // Bytes that are neither: no notice.
  line = "\xFF\xFE";
  decoder.Decode(line);
  EXPECT_FALSE(decoder.LooksLikeUtf8());
}

}  // namespace
}  // namespace vx::text
