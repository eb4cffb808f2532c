#include "strings/string_ops.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text/encoding.hpp"

namespace vx::strops {
namespace {

// Test texts are written in UTF-8 and used as Shift-JIS.
std::string Sj(std::string_view utf8) { return text::Utf8ToCp932(utf8); }

TEST(StringClasses, ChkStringBits) {
  EXPECT_EQ(ClassBits("1F"), 67);  // hex digits only: bit 64 kept
  EXPECT_EQ(ClassBits("1G"), 3);
  EXPECT_EQ(ClassBits("abc"), 66);
  EXPECT_EQ(ClassBits("a_"), 6);
  EXPECT_EQ(ClassBits(" \t"), 8);
  EXPECT_EQ(ClassBits(""), 0);
  EXPECT_EQ(ClassBits(Sj("あ")), 32);
  EXPECT_EQ(ClassBits(Sj("ｱ")), 16);  // half-width kana is a single byte
  EXPECT_EQ(ClassBits("1" + Sj("表")), 33);
  EXPECT_EQ(ClassBits("\x81"), 32);  // lead byte as the last byte
  EXPECT_EQ(ClassBits("a\x81"), 34);
  // 表 ends with 0x5C: its second byte is not taken for a separate character.
  EXPECT_EQ(ClassBits(Sj("表")), 32);
}

TEST(StringClasses, AllAsciiAndComparisons) {
  EXPECT_TRUE(AllAscii(""));
  EXPECT_TRUE(AllAscii("abc~\x7F"));
  EXPECT_FALSE(AllAscii("ab\x80"));
  EXPECT_EQ(Compare("abc", "abd"), -1);
  EXPECT_EQ(Compare("abc", "abc"), 0);
  EXPECT_EQ(Compare("ab", "a"), 1);
  EXPECT_EQ(Compare("\x81", "a"), 1);  // bytes compare unsigned
  EXPECT_EQ(CompareIgnoreCase("ABC", "abc"), 0);
  EXPECT_EQ(CompareIgnoreCase("a", "B"), -1);
  EXPECT_EQ(CompareIgnoreCase("_", "A"), -1);  // letters fold to lower case
  EXPECT_EQ(CompareIgnoreCase("abc", "AB"), 1);
}

TEST(StringClasses, KeywordTestCountsWordsFound) {
  EXPECT_EQ(KeywordTest("if while", "if else while"), 3);
  EXPECT_EQ(KeywordTest("if\tgoto", "if else while"), 1);
  EXPECT_EQ(KeywordTest("goto", "if else while"), 0);
  EXPECT_EQ(KeywordTest("   ", "if"), 0);
  // A 0x7F byte protects the blank behind it: one word "a\x7F b".
  EXPECT_EQ(KeywordTest("a\x7F b", "xa\x7F by"), 3);
  // The keyword text is searched at character starts: A is the second byte of ア.
  EXPECT_EQ(KeywordTest("A", Sj("ア")), 0);
  EXPECT_EQ(KeywordTest("A", Sj("アA")), 3);
}

TEST(Wildcards, FollowThePatternRules) {
  EXPECT_TRUE(MatchWild("abc", "a*"));
  EXPECT_TRUE(MatchWild("ABC", "a*"));
  EXPECT_FALSE(MatchWild("bac", "a*"));
  EXPECT_FALSE(MatchWild("", "a*"));
  EXPECT_TRUE(MatchWild("", "*"));
  EXPECT_TRUE(MatchWild("", "**"));
  EXPECT_FALSE(MatchWild("", "?"));
  EXPECT_TRUE(MatchWild("abc", "a?c"));
  EXPECT_FALSE(MatchWild("ac", "a?c"));
  EXPECT_TRUE(MatchWild("file.TXT", "*.txt"));
  EXPECT_FALSE(MatchWild("file.txt.bak", "*.txt"));
  EXPECT_TRUE(MatchWild("xaxxbyb", "*a*b"));  // '*' retried at later positions
  EXPECT_FALSE(MatchWild("abc", "ab"));
  EXPECT_FALSE(MatchWild("ab", "abc"));
  EXPECT_TRUE(MatchWild("@", "`"));  // equal after setting bit 0x20
  EXPECT_TRUE(MatchWild(Sj("あいう"), "??" + Sj("い") + "*"));  // '?' is one byte
}

TEST(Searching, CharacterAwareSearchSkipsSecondBytes) {
  const std::string a = Sj("ア");  // 0x83 0x41
  EXPECT_EQ(FindAtCharStart(a, "A"), NOT_FOUND);
  EXPECT_EQ(FindAtCharStart(a + "A", "A"), 2u);
  EXPECT_EQ(FindAtCharStart("ab\x81", "\x81"), 2u);  // lead byte as last byte
  EXPECT_EQ(FindAtCharStart("abc", ""), 0u);
  EXPECT_EQ(FindOccurrence("a,b,c,d", ",", 2), 3u);
  EXPECT_EQ(FindOccurrence("a,b,c,d", ",", 0), 1u);
  EXPECT_EQ(FindOccurrence("a,b,c,d", ",", -1), 5u);
  EXPECT_EQ(FindOccurrence("a,b,c,d", ",", -3), 1u);
  EXPECT_EQ(FindOccurrence("a,b,c,d", ",", 4), NOT_FOUND);
  EXPECT_EQ(FindOccurrence("a,b,c,d", ",", -4), NOT_FOUND);
  EXPECT_EQ(FindOccurrence("aaaa", "aa", -1), 2u);  // non-overlapping
}

TEST(Searching, CaseInsensitiveCounts) {
  EXPECT_EQ(CountIgnoreCase("Abcabcab", "ab"), 3);
  EXPECT_EQ(CountIgnoreCase("aaaa", "aa"), 2);
  EXPECT_EQ(CountIgnoreCase("abc", ""), 0);
  // ア is 0x83 0x41, ヂ is 0x83 0x61: byte-wise they match without case.
  EXPECT_EQ(CountIgnoreCase(Sj("ヂ"), Sj("ア")), 1);
  EXPECT_EQ(CountIgnoreCaseAtCharStarts(Sj("ヂ"), Sj("ア")), 0);
  EXPECT_EQ(CountIgnoreCaseAtCharStarts(Sj("アア") + "a", Sj("ア")), 2);
  EXPECT_EQ(CountIgnoreCase(Sj("ア"), "a"), 1);
  EXPECT_EQ(CountIgnoreCaseAtCharStarts(Sj("ア"), "a"), 0);
  EXPECT_EQ(CountIgnoreCaseAtCharStarts("XyZxYz", "xyz"), 2);
}

TEST(Searching, FindFromStart) {
  EXPECT_EQ(FindFrom("abcabc", "bc", 0), 1);
  EXPECT_EQ(FindFrom("abcabc", "bc", 2), 4);
  EXPECT_EQ(FindFrom("abcabc", "bc", 5), -1);
  EXPECT_EQ(FindFrom("abcabc", "bc", -1), -1);
  EXPECT_EQ(FindFrom("abcabc", "bc", 6), -1);
  EXPECT_EQ(FindFrom("", "", 0), -1);
}

TEST(Replacing, ByteWiseAndCharacterWise) {
  const std::string text = Sj("ア") + "A";  // 0x83 0x41 0x41
  const Replaced bytes = ReplaceBytes(text, "A", "x", 0);
  EXPECT_EQ(bytes.text, "\x83xx");  // the second byte of ア matches
  EXPECT_EQ(bytes.count, 2);
  const Replaced chars = ReplaceAtCharStarts(text, "A", "x", 0);
  EXPECT_EQ(chars.text, Sj("ア") + "x");
  EXPECT_EQ(chars.count, 1);
  // A find text starting on a second byte: "A" + "A" starts at offset 1.
  EXPECT_EQ(ReplaceAtCharStarts(text, "AA", "y", 0).count, 0);
  EXPECT_EQ(ReplaceBytes(text, "AA", "y", 0).text, "\x83y");
}

TEST(Replacing, CountsAndEmptyFind) {
  EXPECT_EQ(ReplaceBytes("aaaa", "a", "b", 2).text, "bbaa");
  EXPECT_EQ(ReplaceBytes("aaaa", "a", "b", -1).text, "aaaa");
  EXPECT_EQ(ReplaceAtCharStarts("aaaa", "a", "b", -1).count, 0);
  EXPECT_EQ(ReplaceBytes("aaaa", "aa", "", 0).text, "");
  const Replaced none = ReplaceBytes("abc", "", "x", 0);
  EXPECT_EQ(none.text, "abc");
  EXPECT_EQ(none.count, 0);
  EXPECT_EQ(ReplaceAtCharStarts("abc", "", "x", 0).text, "abc");
  EXPECT_EQ(ReplaceAtCharStarts(Sj("あいあ"), Sj("あ"), "-", 1).text, "-" + Sj("いあ"));
}

TEST(Replacing, OutputLimits) {
  const std::string text(70000, 'a');
  const Replaced bytes = ReplaceBytes(text, "a", "bb", 0);
  EXPECT_LE(bytes.text.size(), RESULT_MAX);
  EXPECT_EQ(bytes.count, 65535);  // whole replacements only
  // The replacement that no longer fits is skipped: the input byte fills up.
  EXPECT_EQ(bytes.text, std::string(131070, 'b') + "a");
  const Replaced late = ReplaceBytes(std::string(RESULT_MAX - 2, 'a') + "xyz", "x", "123", 0);
  EXPECT_EQ(late.count, 0);
  EXPECT_EQ(late.text, std::string(RESULT_MAX - 2, 'a') + "xy");
  const Replaced chars = ReplaceAtCharStarts(text, "a", "bb", 0);
  EXPECT_EQ(chars.count, -65535);  // cut: the count is reported negative
  EXPECT_EQ(chars.text.size(), 131070u);
  // A double-byte character is never cut at the limit.
  const std::string sj = std::string(RESULT_MAX - 3, 'a') + "z" + Sj("あ");
  const Replaced cut = ReplaceAtCharStarts(sj, "z", "zz", 0);
  EXPECT_EQ(cut.count, -1);
  EXPECT_EQ(cut.text.size(), RESULT_MAX - 1);
}

TEST(Replacing, CWords) {
  EXPECT_TRUE(IsCWordAt("a+b", 0, 1));
  EXPECT_FALSE(IsCWordAt("ab", 0, 1));
  EXPECT_FALSE(IsCWordAt("_a", 1, 1));
  EXPECT_EQ(FindCWord("xa a1 a", "a"), 6u);
  EXPECT_EQ(FindCWord("abc", ""), NOT_FOUND);
  const Replaced r = ReplaceCWords("a+ab+a*_a;(a)", "a", "X");
  EXPECT_EQ(r.text, "X+ab+X*_a;(X)");
  EXPECT_EQ(r.count, 3);
  // The second byte of ア (0x41) is not a word of its own.
  EXPECT_EQ(ReplaceCWords(Sj("ア") + " A", "A", "B").text, Sj("ア") + " B");
}

TEST(Splitting, DivideAtWidthKeepsCharactersWhole) {
  const std::string text = "a" + Sj("あ") + "b";
  TwoParts p = DivideAtWidth(text, 2);  // width falls inside あ
  EXPECT_EQ(p.first, "a");
  EXPECT_EQ(p.second, Sj("あ") + "b");
  p = DivideAtWidth(text, 3);
  EXPECT_EQ(p.first, "a" + Sj("あ"));
  EXPECT_EQ(p.second, "b");
  p = DivideAtWidth(text, -5);
  EXPECT_EQ(p.first, "");
  EXPECT_EQ(p.second, text);
  p = DivideAtWidth("ab\x81", 3);  // a lone lead byte at the end is one byte
  EXPECT_EQ(p.first, "ab\x81");
  EXPECT_EQ(p.second, "");
}

TEST(Splitting, ScanWords) {
  TwoParts p = ScanWord("  abc,def");
  EXPECT_EQ(p.first, "abc");
  EXPECT_EQ(p.second, ",def");
  p = ScanWord("\tx;y z");
  EXPECT_EQ(p.first, "x");
  EXPECT_EQ(p.second, ";y z");
  p = ScanWord("\x81,a b");  // by the full rule 0x81 takes the comma with it
  EXPECT_EQ(p.first, "\x81,a");
  p = ScanWord("");
  EXPECT_EQ(p.first, "");
  EXPECT_EQ(p.second, "");
  p = ScanWordC("  foo_1(bar");
  EXPECT_EQ(p.first, "foo_1");
  EXPECT_EQ(p.second, "(bar");
  p = ScanWordC("+=x");
  EXPECT_EQ(p.first, "+");
  EXPECT_EQ(p.second, "=x");
  const std::string identifier = Sj("変数x") + "=1";
  p = ScanWordC(identifier);
  EXPECT_EQ(p.first, Sj("変数x"));
  EXPECT_EQ(p.second, "=1");
  p = ScanWordC(" \t");
  EXPECT_EQ(p.first, "");
  EXPECT_EQ(p.second, "");
}

TEST(Splitting, PathsAndExtensions) {
  TwoParts p = SplitPath("C:\\dir\\file.txt");
  EXPECT_EQ(p.first, "C:\\dir");
  EXPECT_EQ(p.second, "file.txt");
  const std::string trail_5c = Sj("表") + ".txt";  // 表 ends with 0x5C
  p = SplitPath(trail_5c);
  EXPECT_EQ(p.first, "");
  EXPECT_EQ(p.second, Sj("表") + ".txt");
  p = SplitPath("/home/user/a.vx");
  EXPECT_EQ(p.first, "/home/user");
  EXPECT_EQ(p.second, "a.vx");
  EXPECT_EQ(Extension("a.tar.gz"), ".gz");
  EXPECT_EQ(Extension("dir.d\\file"), "");
  EXPECT_EQ(Extension("noext"), "");
  EXPECT_EQ(Extension("x\\.profile"), ".profile");
}

TEST(Splitting, BlanksPrefixesAndFixedFields) {
  EXPECT_EQ(SkipBlanks(" \t a b \t"), "a b \t");
  EXPECT_EQ(TrimBlanks(" \t a b \t"), "a b");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimBlanks("a\x81 "), "a\x81 ");  // the blank belongs to 0x81
  EXPECT_EQ(PrefixOfCount("a" + Sj("あ"), 2), "a");
  EXPECT_EQ(PrefixOfCount("a" + Sj("あ"), 3), "a" + Sj("あ"));
  EXPECT_EQ(PrefixOfCount(std::string(5000, 'x'), 5000).size(), 4094u);
  EXPECT_EQ(PrefixOfCount("abc", -1), "");
  EXPECT_EQ(FixedField("abcdef", 2, 3), "cde");
  EXPECT_EQ(FixedField("abcdef", 4, 10), "ef");
  EXPECT_FALSE(FixedField("abcdef", 6, 1));
  EXPECT_FALSE(FixedField("abcdef", -1, 1));
}

TEST(Building, FillModes) {
  EXPECT_EQ(Fill("ab", 5, FILL_REPEAT), "ababa");
  EXPECT_EQ(Fill("ab", 5, 99), "ababa");
  EXPECT_EQ(Fill("", 3, FILL_REPEAT), "   ");
  EXPECT_EQ(Fill(Sj("あ"), 3, FILL_REPEAT), Sj("あ") + " ");  // never half a character
  EXPECT_EQ(Fill("ab", 5, FILL_LEFT), "ab   ");
  EXPECT_EQ(Fill("ab", 5, FILL_RIGHT), "   ab");
  EXPECT_EQ(Fill("ab", 5, FILL_CENTER), " ab  ");
  EXPECT_EQ(Fill("abcdef", 3, FILL_RIGHT), "abc");
  EXPECT_EQ(Fill("ab", -4, FILL_LEFT), "");
  EXPECT_EQ(Fill("ab", 0x7FFFFFFF, FILL_REPEAT).size(), RESULT_MAX);
}

TEST(Building, InsertCommas) {
  EXPECT_EQ(InsertCommas("1234567"), "1,234,567");
  EXPECT_EQ(InsertCommas("123"), "123");
  EXPECT_EQ(InsertCommas("1000"), "1,000");
  EXPECT_EQ(InsertCommas("-1234.5678"), "-1,234.5678");
  EXPECT_EQ(InsertCommas("  +98765"), "  +98,765");
  EXPECT_EQ(InsertCommas(".5"), ".5");
  EXPECT_EQ(InsertCommas("1000000" + Sj("円")), "1,000,000" + Sj("円"));
  EXPECT_FALSE(InsertCommas("abc"));
  EXPECT_FALSE(InsertCommas("-"));
  EXPECT_FALSE(InsertCommas(""));
}

TEST(Building, ExpandTabs) {
  EXPECT_EQ(ExpandTabs("a\tb", 4), "a   b");
  EXPECT_EQ(ExpandTabs("abcd\tb", 4), "abcd    b");
  EXPECT_EQ(ExpandTabs("\t", 0), " ");
  EXPECT_EQ(ExpandTabs("ab\ncd\te", 4), "ab\ncd  e");  // columns restart per line
  EXPECT_EQ(ExpandTabs("\x7F\tx\t", 4), "\x7F\tx ");  // 0x7F takes the tab with it
  EXPECT_EQ(ExpandTabs("\t", 0x7FFFFFFF).size(), RESULT_MAX);
}

TEST(Building, AppendRepeated) {
  EXPECT_EQ(AppendRepeated("x", "ab", 3), "xababab");
  EXPECT_EQ(AppendRepeated("x", "ab", -3), "x");
  EXPECT_EQ(AppendRepeated("x", "", 100000), "x");
  const std::string big = AppendRepeated("", "abc", 0x7FFFFFFF);
  EXPECT_EQ(big.size(), 131070u - 131070u % 3);
  EXPECT_LT(big.size(), 131071u);
}

TEST(Widths, HalfToFullAndBack) {
  EXPECT_EQ(HalfToFull("Ab1 !"), Sj("Ａｂ１　！"));
  EXPECT_EQ(HalfToFull(Sj("ｶﾞｷﾞﾊﾟﾋﾟｳﾞｱ")), Sj("ガギパピヴア"));
  EXPECT_EQ(HalfToFull(Sj("ﾜﾞﾞ")), Sj("ワ゛゛"));  // no voiced ワ in CP932
  EXPECT_EQ(HalfToFull(Sj("｡｢｣､･ｰ")), Sj("。「」、・ー"));
  EXPECT_EQ(HalfToFull(Sj("漢字") + "\r\n"), Sj("漢字") + "\r\n");
  EXPECT_EQ(HalfToFull("\"'\\~"), Sj("”’＼～"));
  EXPECT_EQ(FullToHalf(Sj("ガギパピヴア漢字ひらがな")), Sj("ｶﾞｷﾞﾊﾟﾋﾟｳﾞｱ漢字ひらがな"));
  EXPECT_EQ(FullToHalf(Sj("＂＇￥")), "\"'\\");
  EXPECT_EQ(FullToHalf(Sj("ヵヶヮ")), Sj("ヵヶヮ"));  // no half-width form
  EXPECT_EQ(FullToHalf("a\x82"), "a\x82");
}

TEST(Widths, EveryHalfWidthCharacterRoundTrips) {
  std::string half;
  for (int b = 0x20; b <= 0x7E; ++b) half.push_back(static_cast<char>(b));
  for (int b = 0xA1; b <= 0xDF; ++b) half.push_back(static_cast<char>(b));
  const std::string full = HalfToFull(half);
  EXPECT_TRUE(text::Cp932ToUtf8Strict(full));
  EXPECT_EQ(ClassBits(full), CLASS_DOUBLE_BYTE);  // all converted
  EXPECT_EQ(FullToHalf(full), half);
  // Each voiced and semi-voiced pair comes back as base and mark.
  const std::string marks = Sj("ｶﾞｻﾞﾀﾞﾊﾞﾊﾟｺﾞｿﾞﾄﾞﾎﾞﾎﾟ");
  EXPECT_EQ(FullToHalf(HalfToFull(marks)), marks);
  EXPECT_EQ(HalfToFull(FullToHalf(HalfToFull(marks))), HalfToFull(marks));
}

TEST(Widths, ResultIsCutAtTheLimitWithoutSplitting) {
  const std::string half(RESULT_MAX, 'a');
  const std::string full = HalfToFull(half);
  EXPECT_EQ(full.size(), RESULT_MAX - 1);
  EXPECT_EQ(full.substr(full.size() - 2), Sj("ａ"));
}

TEST(CodePages, Utf8RoundTrips) {
  const std::string sjis = Sj("表示 abc ①纊ｱ");
  const std::string utf8 = SjisToUtf8(sjis);
  EXPECT_EQ(utf8, "表示 abc ①纊ｱ");
  EXPECT_EQ(Utf8ToSjis(utf8), sjis);
  EXPECT_EQ(Utf8ToSjis("\xEF\xBB\xBFx"), "x");              // byte-order mark dropped
  EXPECT_EQ(Utf8ToSjis("a\xF0\x9F\x98\x80" "b"), "a?b");    // no CP932 form
  EXPECT_EQ(Utf8ToSjis("a\xC3(b\xE3\x81"), "a?(b??");      // broken sequences
  EXPECT_EQ(Utf8ToSjis("\xED\xA0\x80"), "???");            // encoded surrogate
  EXPECT_EQ(SjisToUtf8("a\x81"), "a?");                     // lead byte as last byte
  EXPECT_EQ(SjisToUtf8("a\xFF" "b"), "a?b");
  EXPECT_EQ(SjisToUtf8(std::string("ab\0cd", 5)), "ab");    // stops at a zero unit
}

TEST(CodePages, Utf8OutputKeepsRoomForFourBytes) {
  std::string many;
  for (int i = 0; i < 50000; ++i) many += Sj("あ");  // 3 UTF-8 bytes each
  const std::string utf8 = SjisToUtf8(many);
  // Units are added while 4 bytes of room remain within 131071.
  EXPECT_EQ(utf8.size(), 131070u);
}

TEST(CodePages, Utf16Bytes) {
  const std::u16string wide = SjisToUtf16(Sj("Aあ"));
  EXPECT_EQ(wide, u"Aあ");
  const std::string bytes = Utf16ToBytes(wide);
  EXPECT_EQ(bytes, std::string("A\0\x42\x30", 4));
  EXPECT_EQ(Utf16FromBytes(bytes + std::string("\0\0zz", 4)), wide);
  EXPECT_EQ(Utf16FromBytes("A"), u"");  // half a unit is ignored
  EXPECT_EQ(Utf16ToSjis(u"x\xD800y\U0001F600z"), "x?y?z");
  EXPECT_EQ(Utf16ToSjis(wide), Sj("Aあ"));
}

TEST(Fields, SeparatedFieldIndexes) {
  EXPECT_EQ(SeparatedField("a,b,c", ",", 0), "a");
  EXPECT_EQ(SeparatedField("a,b,c", ",", 2), "c");  // after the second separator
  EXPECT_FALSE(SeparatedField("a,b,c", ",", 3));
  EXPECT_FALSE(SeparatedField("a,b,c", ",", -1));
  EXPECT_EQ(SeparatedField("a,,c", ",", 1), "");
  EXPECT_EQ(SeparatedField("a::b", "::", 1), "b");
  EXPECT_EQ(SeparatedField("abc", "", 5), "abc");
  // The separator A never matches the second byte of ア.
  EXPECT_EQ(SeparatedField(Sj("ア") + "AxAy", "A", 1), "x");
  EXPECT_EQ(SeparatedField(Sj("ア") + "AxAy", "A", 0), Sj("ア"));
}

TEST(Fields, KeyedValueSkipsQuotedTerminators) {
  EXPECT_EQ(KeyedValue("a=1;b=2;", "b=", ";"), "2");
  EXPECT_EQ(KeyedValue("name=\"x;y\";n=2", "name=", ";"), "\"x;y\"");
  EXPECT_EQ(KeyedValue("v=\"a\\\";b\";c", "v=", ";"), "\"a\\\";b\"");  // escaped quote
  EXPECT_EQ(KeyedValue("v=a\\;b;c", "v=", ";"), "a\\;b");  // escaped terminator
  EXPECT_EQ(KeyedValue("k=abc", "k=", ";"), "abc");
  EXPECT_EQ(KeyedValue("k=abc", "k=", ""), "abc");
  EXPECT_FALSE(KeyedValue("a=1", "b=", ";"));
  // 0x95 0x5C (表) does not escape the quote after it (narrow rule).
  EXPECT_EQ(KeyedValue("k=\"" + Sj("表") + "\";x", "k=", ";"), "\"" + Sj("表") + "\"");
}

TEST(Fields, WithKeyedValueReplacesOrAppends) {
  EXPECT_EQ(WithKeyedValue("a=1;b=2;", "b=", ";", "33"), "a=1;b=33;");
  EXPECT_EQ(WithKeyedValue("a=1;b=2", "b=", ";", ""), "a=1;b=");
  EXPECT_EQ(WithKeyedValue("a=1;", "c=", ";", "3"), "a=1;c=3;");
  EXPECT_EQ(WithKeyedValue("a=1", "c=", ";", "3"), "a=1;c=3;");
  EXPECT_EQ(WithKeyedValue("", "c=", "\r\n", "3"), "c=3\r\n");
  EXPECT_EQ(WithKeyedValue("s=\"x;y\";t=1", "s=", ";", "z"), "s=z;t=1");
  EXPECT_FALSE(WithKeyedValue("a=1", "", ";", "x"));
  EXPECT_FALSE(WithKeyedValue(std::string(RESULT_MAX - 2, 'x'), "k=", ";", "v"));
}

TEST(Binary, LayAndGetIntegers) {
  std::string buf(8, '\0');
  ASSERT_TRUE(LayInt(buf, 1, 4, 0x12345678, false));
  EXPECT_EQ(buf.substr(1, 4), "\x78\x56\x34\x12");  // little-endian
  EXPECT_EQ(GetInt(buf, 1, 4, 0), 0x12345678);
  EXPECT_EQ(GetInt(buf, 1, 2, 0), 0x5678);
  EXPECT_EQ(GetInt(buf, 1, 2, INT_BIG_ENDIAN), 0x7856);
  ASSERT_TRUE(LayInt(buf, 0, 2, -2, true));
  EXPECT_EQ(buf.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(GetInt(buf, 0, 2, INT_BIG_ENDIAN), 0xFFFE);
  EXPECT_EQ(GetInt(buf, 0, 2, INT_BIG_ENDIAN | INT_SIGNED), -2);
  EXPECT_EQ(GetInt(buf, 0, 1, INT_SIGNED), -1);
  EXPECT_EQ(GetInt(buf, 0, 3, INT_SIGNED | INT_BIG_ENDIAN), static_cast<std::int32_t>(0xFFFFFE56));
  EXPECT_FALSE(LayInt(buf, 5, 4, 1, false));  // would pass the end
  EXPECT_FALSE(LayInt(buf, -1, 1, 1, false));
  EXPECT_FALSE(LayInt(buf, 0, 5, 1, false));
  EXPECT_FALSE(GetInt(buf, 7, 2, 0));
  EXPECT_FALSE(GetInt(buf, 0, 0, 0));
}

TEST(Scrambling, DecodeInvertsEncodeForAnyKeyAndText) {
  std::mt19937 random(12345);
  for (int round = 0; round < 400; ++round) {
    std::string key(4 + random() % 12, '\0');
    for (char& c : key) c = static_cast<char>(1 + random() % 255);
    std::string text(random() % 300, '\0');
    for (char& c : text) c = static_cast<char>(random() % 256);
    const auto encoded = Scramble(text, key);
    ASSERT_TRUE(encoded);
    ASSERT_EQ(encoded->size(), text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
      ASSERT_EQ((*encoded)[i] == '\0', text[i] == '\0') << "NUL must map to NUL only";
    }
    EXPECT_EQ(Unscramble(*encoded, key), text);
  }
}

TEST(Scrambling, KeyMattersAndShortKeysDoNothing) {
  const std::string text = "The quick brown fox " + Sj("漢字");
  const auto a = Scramble(text, "key1");
  const auto b = Scramble(text, "key2");
  ASSERT_TRUE(a && b);
  EXPECT_NE(*a, text);
  EXPECT_NE(*a, *b);
  EXPECT_NE(Unscramble(*a, "key2"), text);
  EXPECT_FALSE(Scramble(text, "abc"));
  EXPECT_FALSE(Unscramble(text, ""));
}

}  // namespace
}  // namespace vx::strops
