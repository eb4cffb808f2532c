// Explanations of errors: the names a misspelling is compared with, the
// table of argument names from the reference pages, and the explanation
// line that follows each message, with its hint.
#include "engine/explain.hpp"

#include <gtest/gtest.h>

#include <array>
#include <set>

#include "api/api_table.hpp"
#include "engine/api_arguments.hpp"
#include "support/script_fixture.hpp"

namespace vx {
namespace {

using engine::NameDistance;
using engine::NearestName;

TEST(NameDistance, CountsEditsSwapsAndIgnoresLetterCase) {
  EXPECT_EQ(NameDistance("StrReplace", "StrReplace"), 0u);
  EXPECT_EQ(NameDistance("strreplace", "StrReplace"), 0u);
  EXPECT_EQ(NameDistance("StrReplac", "StrReplace"), 1u);   // deletion
  EXPECT_EQ(NameDistance("StrRepxlace", "StrReplace"), 1u); // insertion
  EXPECT_EQ(NameDistance("StrReplase", "StrReplace"), 1u);  // substitution
  EXPECT_EQ(NameDistance("StrRepalce", "StrReplace"), 1u);  // neighbours swapped
  EXPECT_EQ(NameDistance("", "abc"), 3u);
  EXPECT_EQ(NameDistance("abc", ""), 3u);
  EXPECT_EQ(NameDistance("kitten", "sitting"), 3u);
}

TEST(NearestName, TakesTheNearestWithinALengthBoundLimit) {
  const std::array<std::string_view, 4> names = {"COUNTER", "COUNT", "TOTAL", "Finish"};
  EXPECT_EQ(NearestName("COUNTRE", names), std::optional<std::string_view>("COUNTER"));  // a swap
  EXPECT_EQ(NearestName("COUN", names), std::optional<std::string_view>("COUNT"));
  // Equally near: the first.
  EXPECT_EQ(NearestName("COUNTE", names), std::optional<std::string_view>("COUNTER"));
  EXPECT_EQ(NearestName("Finsh", names), std::optional<std::string_view>("Finish"));
  EXPECT_EQ(NearestName("finish", names), std::optional<std::string_view>("Finish"));
  // A third of the length, at least 1: two edits are too many for a
  // five-byte name, and a name far from all has no match.
  EXPECT_EQ(NearestName("TOTxx", names), std::nullopt);
  EXPECT_EQ(NearestName("QQ", names), std::nullopt);
  // The name itself is no misspelling.
  EXPECT_EQ(NearestName("TOTAL", names), std::nullopt);
  EXPECT_EQ(NearestName("", names), std::nullopt);
}

TEST(NearestName, PrefersTheCandidateWithTheSameLetterCase) {
  const std::array<std::string_view, 2> names = {"STRLEN", "strlen"};
  EXPECT_EQ(NearestName("Strlen", names), std::optional<std::string_view>("strlen"));
  EXPECT_EQ(NearestName("STRLEn", names), std::optional<std::string_view>("STRLEN"));
  const std::array<std::string_view, 2> other_order = {"strlen", "STRLEN"};
  EXPECT_EQ(NearestName("STRLEn", other_order), std::optional<std::string_view>("STRLEN"));
}

TEST(Ordinal, EnglishSuffixes) {
  EXPECT_EQ(engine::Ordinal(1), "1st");
  EXPECT_EQ(engine::Ordinal(2), "2nd");
  EXPECT_EQ(engine::Ordinal(3), "3rd");
  EXPECT_EQ(engine::Ordinal(4), "4th");
  EXPECT_EQ(engine::Ordinal(11), "11th");
  EXPECT_EQ(engine::Ordinal(12), "12th");
  EXPECT_EQ(engine::Ordinal(13), "13th");
  EXPECT_EQ(engine::Ordinal(22), "22nd");
  EXPECT_EQ(engine::Ordinal(101), "101st");
}

TEST(DocumentedArguments, EveryRowNamesARealFunctionOnceInOrder) {
  const auto rows = engine::DocumentedApis();
  EXPECT_GT(rows.size(), 500u);
  std::set<std::string_view> seen;
  std::string_view previous;
  for (const engine::DocumentedApi& row : rows) {
    EXPECT_TRUE(api::LookupApi(row.name).has_value()) << row.name;
    EXPECT_TRUE(seen.insert(row.name).second) << row.name;
    EXPECT_LT(previous, row.name);  // the lookup searches a sorted table
    previous = row.name;
  }
}

TEST(DocumentedArguments, NamesAndOptionalArgumentsAsThePagesWriteThem) {
  const auto replace = engine::DocumentedArguments("StrReplace");
  ASSERT_EQ(replace.size(), 5u);
  EXPECT_EQ(replace[0].name, "text");
  EXPECT_EQ(replace[1].name, "find");
  EXPECT_EQ(replace[2].name, "replacement");
  EXPECT_EQ(replace[3].name, "output");
  EXPECT_EQ(replace[4].name, "count");
  EXPECT_FALSE(replace[3].optional);
  EXPECT_TRUE(replace[4].optional);
  // A table row with "out" and "(optional)".
  const auto input = engine::DocumentedArguments("InputDialog");
  ASSERT_EQ(input.size(), 3u);
  EXPECT_EQ(input[0].name, "text");
  EXPECT_TRUE(input[1].optional);
  // A page's synopsis.
  const auto preproc = engine::DocumentedArguments("PreProc");
  ASSERT_EQ(preproc.size(), 3u);
  EXPECT_EQ(preproc[1].name, "destination");
  EXPECT_TRUE(preproc[2].optional);
  // Both sides of "LPFltr / HPFltr ARGS".
  EXPECT_EQ(engine::DocumentedArguments("HPFltr").size(), 5u);
  EXPECT_TRUE(engine::DocumentedArguments("NoSuchFunction").empty());
  EXPECT_TRUE(engine::DocumentedArguments("").empty());
}

class Explanations : public test::ScriptTest {
 protected:
  void SetUp() override { rt.diagnostics.start_dir = dir.Sjis(); }
  std::string Explanation() {
    const std::vector<std::string> notes = Notes();
    return notes.empty() ? std::string() : notes.back();
  }
};

TEST_F(Explanations, FollowEveryLoadErrorWithTheFileAndLine) {
  EXPECT_EQ(Load("Data long A 0\n:Initial\nCALL strlen \"x\", A\nCALL StrReplac \"a\", \"b\", \"c\", A\n"), 0);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0], "[Error] Line (4) : 対応する関数がありません [CALL StrReplac \"a\", \"b\", \"c\", A]");
  EXPECT_EQ(Explanation(), "script.vx:4: no built-in function is named `StrReplac`; did you mean `StrReplace`?");
}

TEST_F(Explanations, NameTheOpeningLineOfAnUnclosedBlock) {
  EXPECT_EQ(Load("Data long A 0\n:Initial\nIf A == 0\n  A = 1\nwhile A < 3\n  inc A\nendwhile\n"), 0);
  EXPECT_EQ(Explanation(), "script.vx:7: the `If` block opened on line 3 is never closed: add `endif`");
  EXPECT_EQ(Load("Data long A 0\n:Initial\nwhile A < 3\nIf A == 1\nendif\n"), 0);
  EXPECT_EQ(Explanation(), "script.vx:5: the `while` loop opened on line 3 is never closed: add `endwhile`");
}

TEST_F(Explanations, NameTheInnermostOpenBlockOfAStrayEnd) {
  EXPECT_EQ(Load("Data long A 0\n:Initial\nIf A == 0\nendwhile\n"), 0);
  EXPECT_EQ(Explanation(),
            "script.vx:4: this `endwhile` has no open `while` loop; the innermost open block is the `If` of line 3");
  EXPECT_EQ(Load(":Initial\nendif\n"), 0);
  EXPECT_EQ(Explanation(), "script.vx:2: this `endif` has no open `If` block");
}

TEST_F(Explanations, GiveTheDeclarationToAdd) {
  EXPECT_EQ(Load(":Initial\nCOUNT = 3\n"), 0);
  EXPECT_EQ(Explanation(),
            "script.vx:2: `COUNT` on the left of `=` is not declared; declare it before its first use, for example "
            "`Data long COUNT 0`");
  EXPECT_EQ(Load("Data long N 0\n:Initial\nCALL strlen NAME, N\n"), 1);
  EXPECT_EQ(Explanation(),
            "script.vx:3: the text expression names `NAME`, which is not declared (a text is written in double "
            "quotes); declare it before its first use, for example `Data string NAME 256`");
}

TEST_F(Explanations, PointFromAFailureBackToAMisspeltDataType) {
  EXPECT_EQ(Load("Data dobule RATE 0\n:Initial\nRATE = 1.5\n"), 0);
  EXPECT_EQ(Explanation(),
            "script.vx:3: `RATE` on the left of `=` is not declared; line 1 declares it with `Data dobule`, which is "
            "no type, so that line was ignored: did you mean `Data double`?");
}

TEST_F(Explanations, NameTheMissingArgument) {
  EXPECT_EQ(Load("Data long N 0\n:Initial\nCALL rand 6\n"), 1);
  EXPECT_EQ(Explanation(),
            "script.vx:3: `rand` is missing its 2nd argument, *result*; the reference writes `CALL rand maximum, "
            "result`");
  // An empty argument between commas counts as missing; optional ones are
  // never blamed.
  EXPECT_EQ(Load("Data string S 8\n:Initial\nCALL StrReplace \"ab\", , \"c\", S\n"), 1);
  EXPECT_EQ(Explanation(),
            "script.vx:3: `StrReplace` is missing its 2nd argument, *find*; the reference writes `CALL StrReplace "
            "text, find, replacement, output[, count]`");
}

TEST_F(Explanations, ExplainRunTimeFailuresOfExpressions) {
  EXPECT_EQ(Load("Data long TOTAL 0\nData long N 2\n:Initial\nN = TOTL * 2\n"), 1);
  EXPECT_EQ(Explanation(), "script.vx:4: the expression names `TOTL`, which is not declared; did you mean `TOTAL`?");
  EXPECT_EQ(Load("Data long N 2\nData long Z 0\n:Initial\nN = N / Z\n"), 1);
  EXPECT_EQ(Explanation(), "script.vx:4: a division by zero (a divisor nearer to 0 than 1e-20)");
  EXPECT_EQ(Load("Data long N 2\n:Initial\nN = sqr(4)\n"), 1);
  EXPECT_EQ(Explanation(),
            "script.vx:3: `sqr` is not a function of expressions (sqrt, abs, round, int, sin, cos, tan, asin, acos, "
            "atan, exp, log); did you mean `sqrt`?");
}

TEST_F(Explanations, SuggestTheLabelAndSayWhenOnlyTheCaseDiffers) {
  EXPECT_EQ(Load(":Initial\ngoto finish\n:Finish\nENDP\n"), 1);
  EXPECT_EQ(Explanation(),
            "script.vx:2: no label `:finish` is defined in this script; labels named in `goto` and `CALLSUB` are "
            "case-sensitive: did you mean `:Finish`?");
  EXPECT_EQ(Load(":Initial\nCALLSUB Nowhere\n"), 1);
  EXPECT_EQ(Explanation(),
            "script.vx:2: no label `:Nowhere` is defined in this script; define it with a line `:Nowhere`");
}

TEST_F(Explanations, NameTheLastCallOfAnOverflowingStack) {
  EXPECT_EQ(Load(":Initial\nCALLSUB Again\n:Again\nCALLSUB Again\nENDP\n"), 1);
  EXPECT_EQ(Explanation(),
            "script.vx:4: subroutine calls nest more than 100 deep: a subroutine calls itself, or a `CALLSUB` never "
            "reaches its `ENDP`; the last call was to `:Again`");
}

TEST_F(Explanations, CanBeJapanese) {
  rt.diagnostics.language = ExplainLanguage::kJapanese;
  EXPECT_EQ(Load(":Initial\nCALL StrReplac \"a\", \"b\", \"c\", G_TXT\n"), 0);
  EXPECT_EQ(Explanation(), "script.vx:2: `StrReplac` という組み込み関数はありません。`StrReplace` のことですか?");
}

TEST_F(Explanations, ChecksGoOnAfterEachErrorAndWarnOfSilentMistakes) {
  rt.diagnostics.check_only = true;
  const int errors = CheckScript(rt, dir.Sjis() + "/c.vx", text::Utf8ToCp932(
      "Data lng A 0\n:Initial\nCALL Nope\nCALLSUB\nBogus\nwhile 1\n  If 1\nendwhile\nendif\ngoto Inital\n"));
  EXPECT_EQ(errors, 2);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"[Error] Line (3) : 対応する関数がありません [CALL Nope]",
                                                  "[msg] Line (5) : unknown directive [Bogus]"}));
  const std::vector<std::string> notes = Notes();
  ASSERT_EQ(notes.size(), 6u);
  EXPECT_EQ(notes[0], "c.vx:1: warning: `Data lng` is no type, so this line declares nothing: did you mean `Data long`?");
  EXPECT_EQ(notes[2], "c.vx:4: warning: `CALLSUB` without a label does nothing: this line is dropped");
  EXPECT_EQ(notes[4],
            "c.vx:8: warning: this `endwhile` stands inside the unfinished `If` of line 7: the blocks do not nest as "
            "written");
  EXPECT_EQ(notes[5],
            "c.vx:10: warning: no label `:Inital` is defined, so this jump stops the script when it runs: did you "
            "mean `:Initial`?");
  // Nothing was started.
  EXPECT_FALSE(rt.session.started);
}

}  // namespace
}  // namespace vx
