#include "preproc/preprocessor.hpp"

#include <gtest/gtest.h>

#include <string>

#include "preproc/memory_sources.hpp"

namespace vx::preproc {
namespace {

class PreprocessorTest : public ::testing::Test {
 protected:
  Outcome Run(std::string main, int mode = MODE_MARKERS) {
    env.files["main.vx"] = std::move(main);
    env.output.clear();
    env.console.clear();
    return env.Run("main.vx", mode);
  }
  // Runs with mode 0 and expects no fatal error.
  std::string Plain(std::string main) {
    const Outcome out = Run(std::move(main), 0);
    EXPECT_FALSE(out.fatal) << out.message;
    return env.output;
  }
  std::string Fatal(std::string main) {
    const Outcome out = Run(std::move(main), 0);
    EXPECT_TRUE(out.fatal);
    return FatalText(out);
  }

  MemoryEnvironment env;
};

// ---- Reading, markers and comments ------------------------------------------

TEST_F(PreprocessorTest, MarkersNameMainLinesAndIncludeLines) {
  env.files["inc.vx"] = "X = 1\nY = 2\n";
  const Outcome out = Run("A = 1\r\n\r\n#include \"inc.vx\"\r\nB = 2\r\n");
  EXPECT_FALSE(out.fatal);
  EXPECT_EQ(env.output,
            "[$SRC:1]A = 1\r\n"
            "[$SRC:2]\r\n"
            "[$SRC:3]X = 1\r\n"
            "[$SRC:3]Y = 2\r\n"
            "[$SRC:4]B = 2\r\n");
  EXPECT_EQ(env.console, "include file = inc.vx\r\n");
}

TEST_F(PreprocessorTest, OtherModesWriteLinesAsTheyAre) {
  EXPECT_EQ(Plain("a\nb"), "a\r\nb\r\n");
  Run("a\n", 2);
  EXPECT_EQ(env.output, "a\r\n");
}

TEST_F(PreprocessorTest, LongPhysicalLineIsSplitButKeepsOneLineNumber) {
  const std::string long_line(3000, 'x');
  Run(long_line + "\nnext\n");
  const std::string first = "[$SRC:1]" + std::string(LINE_READ_MAX, 'x') + "\r\n";
  const std::string second = "[$SRC:1]" + std::string(3000 - LINE_READ_MAX, 'x') + "\r\n";
  EXPECT_EQ(env.output, first + second + "[$SRC:2]next\r\n");
}

TEST_F(PreprocessorTest, AutoIncNumbersOneOccurrencePerLine) {
  EXPECT_EQ(Plain("L<auto_inc>\nM<auto_inc> <auto_inc>\n"),
            "L0\r\nM1 <auto_inc>\r\n");
}

TEST_F(PreprocessorTest, CommentsEndOutsideQuotesOnly) {
  EXPECT_EQ(Plain("A = 1 // note\n"
                  "S = \"http://x\" // cut\n"
                  "T = \"a\\\"//b\"//c\n"
                  "// whole line\n"),
            "A = 1 \r\n"
            "S = \"http://x\" \r\n"
            "T = \"a\\\"//b\"\r\n"
            "\r\n");
}

TEST_F(PreprocessorTest, LeadByteTakesItsSecondByteAlongInComments) {
  // 0x81 0x22: the second byte is not a quote, so // after it is a comment.
  EXPECT_EQ(Plain("S = \x81\"//c\n"), "S = \x81\"\r\n");
}

// ---- Definitions ----------------------------------------------------------------

TEST_F(PreprocessorTest, DefinitionChainStoresTheValueAtDefinitionTime) {
  EXPECT_EQ(Plain("#define A B\n"
                  "#define C A\n"
                  "#define A Z\n"
                  "x = A C\n"),
            "x = Z B\r\n");
}

TEST_F(PreprocessorTest, SubstitutesWholeWordsOnlyAndNeverRescans) {
  EXPECT_EQ(Plain("#define N 10\n"
                  "#define M N+N\n"
                  "a = N NN N_ _N N1 (N) M\n"),
            "a = 10 NN N_ _N N1 (10) 10+10\r\n");
  // A redefinition keeps its value as written; the value is not scanned.
  EXPECT_EQ(Plain("#define P 1\n#define Q 2\n#define Q P\nb = Q\n"), "b = P\r\n");
}

TEST_F(PreprocessorTest, DefinitionValueIsTrimmedAndCutAtComment) {
  EXPECT_EQ(Plain("#define V   one two \t // note\n"
                  "#define U \"a//b\"\n"
                  "#define E\n"
                  "x = V|U|E|\n"),
            "x = one two|\"a//b\"||\r\n");
}

TEST_F(PreprocessorTest, NameNeverMatchesInsideATwoByteCharacter) {
  // ア is 0x83 0x41: its second byte is the letter A.
  EXPECT_EQ(Plain("#define A 5\nx = \x83\x41 A\n"), "x = \x83\x41 5\r\n");
}

TEST_F(PreprocessorTest, DirectivesMustStartTheLine) {
  // Only the conditional directives may be indented.
  EXPECT_EQ(Plain("  #define X 1\nX\n"), "  #define X 1\r\nX\r\n");
}

TEST_F(PreprocessorTest, ThreeHundredDefinitionsAndNoMore) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "#define N" + std::to_string(i) + " " + std::to_string(i) + "\n";
  text += "#define N7 seven\n";  // redefining needs no new entry
  text += "x = N299 N7\n";
  EXPECT_EQ(Plain(text), "x = 299 seven\r\n");
  EXPECT_EQ(Fatal(text + "#define N300 1\n"), "[  303]:Error : Too many definition.\n");
}

TEST_F(PreprocessorTest, OverlongNamesAndValuesAreRefused) {
  const std::string name31(31, 'N');
  EXPECT_EQ(Plain("#define " + name31 + " v\n" + name31 + "\n"), "v\r\n");
  EXPECT_EQ(Fatal("#define " + std::string(32, 'N') + " v\n"), "[    1]:Error : too long name\n");
  EXPECT_EQ(Plain("#define V " + std::string(1023, 'v') + "\nV\n"), std::string(1023, 'v') + "\r\n");
  EXPECT_EQ(Fatal("#define V " + std::string(1024, 'v') + "\n"),
            "[    1]:Error : too long definition\n");
  // A value that grows past its field through earlier definitions.
  EXPECT_EQ(Fatal("#define W " + std::string(600, 'w') + "\n#define V W W\n"),
            "[    2]:Error : too long definition\n");
}

TEST_F(PreprocessorTest, SubstitutedLineIsCutButKeepsItsLineEnd) {
  const std::string text = "#define W " + std::string(1000, 'w') + "\nW W W\nnext\n";
  const std::string out = Plain(text);
  const std::size_t first_end = out.find("\r\n");
  EXPECT_EQ(first_end, LINE_MAX_BYTES);
  EXPECT_EQ(out.substr(first_end), "\r\nnext\r\n");
}

// ---- Conditions -----------------------------------------------------------------

TEST_F(PreprocessorTest, IfdefIfndefElseEndif) {
  EXPECT_EQ(Plain("#define D 1\n"
                  "#ifdef D\na\n#else\nb\n#endif\n"
                  "#ifndef D\nc\n#else\nd\n#endif\n"
                  "#ifdef NOPE\ne\n#endif\n"
                  "f\n"),
            "a\r\nd\r\nf\r\n");
}

TEST_F(PreprocessorTest, IfEvaluatesTheSubstitutedTextBehindTheDirective) {
  std::vector<std::string> seen;
  env.evaluate = [&seen](std::string_view e) {
    seen.emplace_back(e);
    return e == " 2 > 1" ? 1.0 : 0.5;
  };
  EXPECT_EQ(Plain("#define TWO 2\n#if TWO > 1\nyes\n#endif\n#if 0.5\nno\n#endif\n"), "yes\r\n");
  EXPECT_EQ(seen, (std::vector<std::string>{" 2 > 1", " 0.5"}));
}

TEST_F(PreprocessorTest, IfInsideInactiveRegionStaysInactiveThroughItsElse) {
  EXPECT_EQ(Plain("#if 0\n"
                  "#if 1\nin\n#else\nalso-in\n#endif\n"
                  "#else\nout\n#endif\n"),
            "out\r\n");
}

TEST_F(PreprocessorTest, InactiveRegionFindsDirectivesAnywhereInTheLine) {
  // The x #endif y line closes the level; .macro inside is not looked at.
  EXPECT_EQ(Plain("#ifdef NONE\n.macro M\nx #endif y\nafter\n"), "after\r\n");
}

TEST_F(PreprocessorTest, HundredLevelsAreAcceptedTheHundredAndFirstIsFatal) {
  std::string open;
  std::string close;
  for (int i = 0; i < 100; ++i) {
    open += "#if 1\n";
    close += "#endif\n";
  }
  EXPECT_EQ(Plain(open + "deep\n" + close), "deep\r\n");
  EXPECT_EQ(Fatal(open + "#if 1\n"), "[  101]:Error : #if depth is too deep.(over 100)\n");
}

TEST_F(PreprocessorTest, ConditionErrorsAreFatalWithTheLineNumber) {
  EXPECT_EQ(Fatal("a\n#if 1\n#else\n#else\n"), "[    4]:Error : Unexpected  #else encountered.\n");
  EXPECT_EQ(Fatal("#else\n"), "[    1]:Error : Unexpected  #else encountered.\n");
  EXPECT_EQ(Fatal("a\nb\n#endif\n"), "[    3]:Error : Unexpected  #endif encountered.\n");
  EXPECT_EQ(Fatal("#if 1\na\n"), "[    2]:Error : #endif not encountered.\n");
  // The same when the second #else stands in the active part.
  EXPECT_EQ(Fatal("#if 0\n#else\nx\n#else\n"), "[    4]:Error : Unexpected  #else encountered.\n");
}

TEST_F(PreprocessorTest, FatalErrorKeepsWhatWasWritten) {
  const Outcome out = Run("one\n#endif\nthree\n", 0);
  EXPECT_TRUE(out.fatal);
  EXPECT_EQ(out.line, 2);
  EXPECT_EQ(env.output, "one\r\n");
}

// ---- Includes -------------------------------------------------------------------

TEST_F(PreprocessorTest, IncludeForms) {
  env.files["q.vx"] = "q\n";
  env.files["a.vx"] = "a\n";
  EXPECT_EQ(Plain("#include \"q.vx\"\n#include < a.vx>\n#include nothing\n"), "q\r\na\r\n");
  EXPECT_EQ(env.console, "include file = q.vx\r\ninclude file = a.vx\r\n");
}

TEST_F(PreprocessorTest, NestedIncludesTraceTheirDepthAndShareDefinitions) {
  env.files["one.vx"] = "#include \"two.vx\"\nK\n";
  env.files["two.vx"] = "#define K from-two\n";
  EXPECT_EQ(Plain("#include \"one.vx\"\nK\n"), "from-two\r\nfrom-two\r\n");
  EXPECT_EQ(env.console, "include file = one.vx\r\n\t>include file = two.vx\r\n");
}

TEST_F(PreprocessorTest, IncludeCycleEndsAtTheDepthLimit) {
  env.files["self.vx"] = "s<auto_inc>\n#include \"self.vx\"\n";
  EXPECT_EQ(Plain("#include \"self.vx\"\n"), "s0\r\ns1\r\ns2\r\ns3\r\ns4\r\ns5\r\n");
  EXPECT_EQ(env.console,
            "include file = self.vx\r\n"
            "\t>include file = self.vx\r\n"
            "\t>\t>include file = self.vx\r\n"
            "\t>\t>\t>include file = self.vx\r\n"
            "\t>\t>\t>\t>include file = self.vx\r\n"
            "\t>\t>\t>\t>\t>include file = self.vx\r\n");
}

TEST_F(PreprocessorTest, MissingOrDestinationIncludeIsFatal) {
  EXPECT_EQ(Fatal("x\n#include \"gone.vx\"\n"), "[    2]:Error : File not found. [gone.vx]\n");
  env.destination_name = "out.vx";
  EXPECT_EQ(Fatal("#include <out.vx>\n"),
            "[    1]:Error : cannot include the destination file. [out.vx]\n");
}

// ---- Macros ---------------------------------------------------------------------

TEST_F(PreprocessorTest, MacroExpansionWithParametersAndMarkersOfTheInvokingLine) {
  const Outcome out = Run(".macro SETV dst, val\n"
                          "  dst = val + K\n"
                          "  inc dst\n"
                          ".endm\n"
                          "#define K 7\n"
                          "SETV A, 1 ; trailing note\n"
                          "done\n");
  EXPECT_FALSE(out.fatal) << out.message;
  EXPECT_EQ(env.output,
            "[$SRC:6]  A = 1  + 7\r\n"  // the actual keeps its blank before ';'
            "[$SRC:6]  inc A\r\n"
            "[$SRC:7]done\r\n");
}

TEST_F(PreprocessorTest, LocalLabelsContinueNumberingAcrossExpansions) {
  EXPECT_EQ(Plain(".macro LOOP n\n"
                  "local top, out\n"
                  ":top\n"
                  "If n goto out\n"
                  "goto top\n"
                  ":out\n"
                  ".endm\n"
                  "LOOP X\n"
                  "LOOP Y\n"),
            ":LL0\r\nIf X goto LL1\r\ngoto LL0\r\n:LL1\r\n"
            ":LL2\r\nIf Y goto LL3\r\ngoto LL2\r\n:LL3\r\n");
}

TEST_F(PreprocessorTest, ParametersArePlainPrefixMatchesAndActualsKeepQuotedCommas) {
  EXPECT_EQ(Plain(".macro SAY %1\nCALL MsgBx %1\n.endm\nSAY \"a, b; c\"\n"),
            "CALL MsgBx \"a, b; c\"\r\n");
  EXPECT_EQ(Plain(".macro P x\nmax(x)\n.endm\nP 9\n"), "ma9(9)\r\n");
  // Blanks and commas before an actual are skipped; an empty one between
  // two commas does not count.
  EXPECT_EQ(Plain(".macro T a b\na-b\n.endm\nT  1,,2\n"), "1-2\r\n");
}

TEST_F(PreprocessorTest, MacroBodyLinesCountAsMainFileLines) {
  Run(".macro M\nbody\n.endm\nafter\nM\n");
  EXPECT_EQ(env.output, "[$SRC:4]after\r\n[$SRC:5]body\r\n");
}

TEST_F(PreprocessorTest, WrongActualParameterCountsAreFatal) {
  const std::string def = ".macro M a b\na b\n.endm\n";
  EXPECT_EQ(Fatal(def + "M 1, 2, 3\n"),
            "[    4]:Error : too many actual parameters beyond the definition\n");
  EXPECT_EQ(Fatal(def + "M 1\n"),
            "[    4]:Error : too few actual parameters for the definition\r\n\t[M 1]\n");
  std::string many = "M";
  for (int i = 0; i < 21; ++i) many += " p" + std::to_string(i) + ",";
  EXPECT_EQ(Fatal(def + many + "\n"), "[    4]:Error : too many parameters\n");
  EXPECT_EQ(Fatal(def + "M " + std::string(1024, 'p') + ", 2\n"),
            "[    4]:Error : too long parameter\n");
}

TEST_F(PreprocessorTest, MacroDefinitionErrorsAreFatal) {
  EXPECT_EQ(Fatal("x = \".macro\"\n"), "[    1]:x");
  EXPECT_EQ(Fatal(".macro\n"), "[    1]:Error : no macro name\n");
  EXPECT_EQ(Fatal(".macro " + std::string(32, 'M') + "\n.endm\n"),
            "[    1]:Error : too long name\n");
  std::string formals;
  for (int i = 0; i < 21; ++i) formals += " f" + std::to_string(i);
  EXPECT_EQ(Fatal(".macro M" + formals + "\n"), "[    1]:Error : too many parameters\n");
  EXPECT_EQ(Fatal(".macro M " + std::string(1024, 'f') + "\n"),
            "[    1]:Error : too long parameter\n");
  std::string locals = "local";
  for (int i = 0; i < 21; ++i) locals += " l" + std::to_string(i);
  EXPECT_EQ(Fatal(".macro M\n" + locals + "\n.endm\n"), "[    2]:Error : too many local labels\n");
  EXPECT_EQ(Fatal(".macro M\nlocal " + std::string(1024, 'l') + "\n"),
            "[    2]:Error : too long local label\n");
  EXPECT_EQ(Fatal(".macro M\nbody\n"), "[    2]:Error : .endm not encountered.\n");
}

TEST_F(PreprocessorTest, MacroBodyLimit) {
  const std::string line(999, 'b');  // 1001 bytes with CR LF
  std::string body;
  for (int i = 0; i < 128; ++i) body += line + "\n";  // 128128 bytes
  std::string text = ".macro M\n" + body + ".endm\nok\n";
  EXPECT_EQ(Plain(text), "ok\r\n");
  text = ".macro M\n" + body + line + "\n.endm\n";  // 129129 bytes
  EXPECT_EQ(Fatal(text), "[  130]:Error : too long macro\n");
}

TEST_F(PreprocessorTest, LocalOnlyAsTheFirstWordDeclaresLabels) {
  EXPECT_EQ(Plain(".macro M\nlocal @x\nData long localCount 0\ngoto @x\n.endm\nM\n"),
            "Data long localCount 0\r\ngoto LL0\r\n");
}

TEST_F(PreprocessorTest, ExpandedLineIsCutAtTheLineLimit) {
  const std::string actual(1000, 'p');
  const std::string out = Plain(".macro M x\nx x x\nend\n.endm\nM " + actual + "\n");
  const std::size_t first_end = out.find("\r\n");
  EXPECT_EQ(first_end, LINE_MAX_BYTES);
  EXPECT_EQ(out.substr(first_end), "\r\nend\r\n");
}

TEST_F(PreprocessorTest, ReferencePageExample) {
  env.files["loops.inc"] =
      ".macro COUNT %v, %n\n"
      "local @top, @done\n"
      "  %v = 0\n"
      ":@top\n"
      "  If %v >= %n goto @done\n"
      "  inc %v\n"
      "  goto @top\n"
      ":@done\n"
      ".endm\n";
  const Outcome out = Run("#define LIMIT 3\n#include \"loops.inc\"\n:Initial\nCOUNT I, LIMIT\nExit\n");
  EXPECT_FALSE(out.fatal) << out.message;
  EXPECT_EQ(env.output,
            "[$SRC:3]:Initial\r\n"
            "[$SRC:4]  I = 0\r\n"
            "[$SRC:4]:LL0\r\n"
            "[$SRC:4]  If I >= 3 goto LL1\r\n"
            "[$SRC:4]  inc I\r\n"
            "[$SRC:4]  goto LL0\r\n"
            "[$SRC:4]:LL1\r\n"
            "[$SRC:5]Exit\r\n");
  EXPECT_EQ(env.console, "include file = loops.inc\r\n");
}

// ---- Whole-call helpers -------------------------------------------------------------

TEST(PreprocessorCall, DestinationInsideSource) {
  EXPECT_TRUE(DestinationInsideSource("dir\\Main.vx.txt", "main.VX"));
  EXPECT_TRUE(DestinationInsideSource("a.vx", ""));
  EXPECT_FALSE(DestinationInsideSource("a.vx", "b.vx"));
  EXPECT_FALSE(DestinationInsideSource("a.vx", "a.vx.out"));
}

TEST(PreprocessorCall, FatalTextRightAlignsTheLineNumber) {
  EXPECT_EQ(FatalText(Outcome{true, 12, "Error : x\n"}), "[   12]:Error : x\n");
  EXPECT_EQ(FatalText(Outcome{true, 123456, "m"}), "[123456]:m");
}

TEST(PreprocessorCall, StateStartsEmptyAtEveryRun) {
  MemoryEnvironment env;
  env.files["a.vx"] = "#define D 1\n.macro M\nm<auto_inc>\n.endm\nM\n";
  env.files["b.vx"] = "D M <auto_inc>\n";
  env.Run("a.vx", 0);
  env.output.clear();
  env.Run("b.vx", 0);
  EXPECT_EQ(env.output, "D M 0\r\n");
}

}  // namespace
}  // namespace vx::preproc
