#include "engine/source_text.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vx::source {
namespace {

std::string Clean(std::string_view raw, std::int32_t* line = nullptr) {
  std::int32_t ignored = 0;
  return CleanPhysicalLine(raw, line ? line : &ignored);
}

TEST(PhysicalLine, MarkerSetsLineNumberAndIsRemoved) {
  std::int32_t line = 7;
  EXPECT_EQ(Clean("[$SRC:12]A = 1", &line), "A = 1");
  EXPECT_EQ(line, 12);
  EXPECT_EQ(Clean("[$SRC: -3]B", &line), "B");
  EXPECT_EQ(line, -3);
  // No number: the line number stays; no "]": the whole text is the line.
  EXPECT_EQ(Clean("[$SRC:x]C", &line), "C");
  EXPECT_EQ(line, -3);
  EXPECT_EQ(Clean("[$SRC:44 no bracket", &line), "[$SRC:44 no bracket");
  EXPECT_EQ(line, 44);
  EXPECT_EQ(Clean("[$SRC:99999999999]D", &line), "D");
  EXPECT_EQ(line, INT32_MAX);
  EXPECT_EQ(Clean(" [$SRC:5]E", &line), " [$SRC:5]E");  // only at the very start
  EXPECT_EQ(line, INT32_MAX);
}

TEST(PhysicalLine, CutTabsAndLineEnds) {
  EXPECT_EQ(Clean(std::string(3000, 'a')).size(), LINE_BUFFER_MAX);
  // The cut applies after the marker is removed.
  EXPECT_EQ(Clean("[$SRC:1]" + std::string(3000, 'b')).size(), LINE_BUFFER_MAX);
  EXPECT_EQ(Clean("A\t=\t\"x\ty\"\t1\r\n\r"), "A = \"x\ty\" 1");
  // An escaped quote neither opens nor closes; an escaped backslash does not
  // escape the quote after it.
  EXPECT_EQ(Clean("\"a\\\"\tb\"\tc"), "\"a\\\"\tb\" c");
  EXPECT_EQ(Clean("\"a\\\\\"\tc"), "\"a\\\\\" c");
  // The byte after a lead byte 0x7F-0x9F is not examined.
  EXPECT_EQ(Clean("\x81\"\tx"), "\x81\" x");
  EXPECT_EQ(Clean("\x81\tx"), "\x81\tx");
}

TEST(Comments, CutOutsideQuotesOnly) {
  EXPECT_EQ(CutComment("A = 1 // note"), "A = 1 ");
  EXPECT_EQ(CutComment("S = \"http://x\" // c"), "S = \"http://x\" ");
  EXPECT_EQ(CutComment("S = \"a\\\"//\" // c"), "S = \"a\\\"//\" ");
  EXPECT_EQ(CutComment("A = 1 \\// not a comment"), "A = 1 \\// not a comment");
  EXPECT_EQ(CutComment("//"), "");
  EXPECT_EQ(CutComment("A /"), "A /");
  // "ソ" (0x83 0x5C) inside quotes: its second byte is no escape, so the
  // quote closes and the comment is found.
  EXPECT_EQ(CutComment("S = \"\x83\x5C\" // c"), "S = \"\x83\x5C\" ");
}

TEST(Continuation, BackslashRules) {
  EXPECT_EQ(ContinuationBackslash("A = B + \\"), 8u);
  EXPECT_EQ(ContinuationBackslash("A = B + \\  \t"), 8u);
  EXPECT_EQ(ContinuationBackslash("\\"), NPOS);       // one byte never continues
  EXPECT_EQ(ContinuationBackslash("\\   "), NPOS);    // the backslash is the first byte
  EXPECT_EQ(ContinuationBackslash("X \x83\x5C"), NPOS);  // second byte of ソ
  EXPECT_EQ(ContinuationBackslash("A = 1"), NPOS);
}

TEST(Continuation, JoinsWithTheBlankBeforeTheBackslash) {
  LineJoiner joiner;
  std::string logical;
  EXPECT_EQ(joiner.Add("A = B + \\", logical), LineJoiner::Result::kContinues);
  EXPECT_TRUE(joiner.Pending());
  EXPECT_EQ(joiner.Add("C", logical), LineJoiner::Result::kComplete);
  EXPECT_EQ(logical, "A = B + C");
  EXPECT_FALSE(joiner.Pending());
  EXPECT_EQ(joiner.Add("D = 1", logical), LineJoiner::Result::kComplete);
  EXPECT_EQ(logical, "D = 1");
  EXPECT_EQ(joiner.Add("E \x83\x5C", logical), LineJoiner::Result::kComplete);
  EXPECT_EQ(logical, "E \x83\x5C");
}

TEST(Continuation, LogicalLineStaysBelow4095Bytes) {
  LineJoiner joiner;
  std::string logical;
  const std::string piece = std::string(2000, 'x') + "\\";
  EXPECT_EQ(joiner.Add(piece, logical), LineJoiner::Result::kContinues);
  EXPECT_EQ(joiner.Add(piece, logical), LineJoiner::Result::kContinues);  // 4000 gathered
  EXPECT_EQ(joiner.Add(std::string(95, 'y'), logical), LineJoiner::Result::kTooLong);  // 4095
  EXPECT_FALSE(joiner.Pending());

  EXPECT_EQ(joiner.Add(piece, logical), LineJoiner::Result::kContinues);
  EXPECT_EQ(joiner.Add(piece, logical), LineJoiner::Result::kContinues);
  EXPECT_EQ(joiner.Add(std::string(94, 'y'), logical), LineJoiner::Result::kComplete);
  EXPECT_EQ(logical.size(), 4094u);

  EXPECT_EQ(joiner.Add(piece, logical), LineJoiner::Result::kContinues);
  EXPECT_EQ(joiner.Add(piece, logical), LineJoiner::Result::kContinues);
  EXPECT_EQ(joiner.Add(std::string(95, 'z') + "\\", logical), LineJoiner::Result::kTooLong);
}

TEST(Words, FirstWordStopsAtBlankOrEquals) {
  EXPECT_EQ(FirstWord("  \tgoto L").text, "goto");
  EXPECT_EQ(FirstWord("A=1").text, "A");
  EXPECT_EQ(FirstWord("A+=1").text, "A+");
  EXPECT_EQ(FirstWord("=1").text, "=1");
  EXPECT_EQ(FirstWord("==").text, "=");
  EXPECT_FALSE(FirstWord("   ").Found());
  const Word w = FirstWord("  If x");
  EXPECT_EQ(w.begin, 2u);
  EXPECT_EQ(w.end, 4u);
}

TEST(Words, NthWordJoinsAfter0x7F) {
  const std::string_view line = "Data  string\tS 10, Value_Size";
  EXPECT_EQ(NthWord(line, 0, 0).text, "Data");
  EXPECT_EQ(NthWord(line, 4, 0).text, "string");
  EXPECT_EQ(NthWord(line, 4, 1).text, "S");
  EXPECT_EQ(NthWord(line, 4, 2).text, "10,");
  EXPECT_FALSE(NthWord(line, 4, 4).Found());
  EXPECT_EQ(NthWord("a\x7F b c", 0, 0).text, "a\x7F b");
  EXPECT_EQ(NthWord("a\x7F b c", 0, 1).text, "c");
  EXPECT_EQ(NthWord("a\x7F", 0, 0).text, "a\x7F");
  EXPECT_EQ(RestFrom("CALL  f 1, 2", 6), "f 1, 2");
}

TEST(QuotedTexts, Escapes) {
  QuotedText q = ReadQuotedText("Data string S \"a\\nb\\R\\\"\\\\\\x41\\X4a\" , x");
  ASSERT_TRUE(q.found);
  EXPECT_EQ(q.text, "a\nb\r\"\\AJ");
  EXPECT_EQ(q.scanned, 18u);  // bytes between the quotes as written
  // A lead byte takes the next byte unchanged, even a backslash or quote.
  q = ReadQuotedText("\"\x83\x5C\" tail");
  EXPECT_EQ(q.text, "\x83\x5C");
  EXPECT_EQ(q.scanned, 2u);
  q = ReadQuotedText("\"\x81\"x\"");
  EXPECT_EQ(q.text, "\x81\"x");
  // Escapes without meaning stay, so Windows paths survive.
  q = ReadQuotedText("\"C:\\data\\x.txt\\xZ1\"");
  EXPECT_EQ(q.text, "C:\\data\\x.txt\\xZ1");
  // No closing quote: to the end.
  q = ReadQuotedText("x \"open");
  EXPECT_EQ(q.text, "open");
  EXPECT_EQ(q.scanned, 4u);
  q = ReadQuotedText("\"\"");
  EXPECT_TRUE(q.found);
  EXPECT_EQ(q.scanned, 0u);
  EXPECT_FALSE(ReadQuotedText("none").found);
  q = ReadQuotedText("\"end\\");
  EXPECT_EQ(q.text, "end\\");
}

TEST(Case, AsciiOnly) {
  EXPECT_EQ(FindIgnoreCase("If x GOTO L", " goto "), 4u);
  EXPECT_EQ(FindIgnoreCase("abc", "abcd"), NPOS);
  EXPECT_TRUE(StartsWithIgnoreCase("VALUE_size", "Value_Size"));
  EXPECT_FALSE(StartsWithIgnoreCase("\xE0", "\xC0"));
}

}  // namespace
}  // namespace vx::source
