#include <gtest/gtest.h>

#include <string>

#include "support/runtime_fixture.hpp"
#include "text/messages.hpp"
#include "values/compiled_string.hpp"
#include "values/expression.hpp"
#include "values/values.hpp"

namespace vx::test {
namespace {

class StringExpressionTest : public RuntimeTest {
 protected:
  StringExpressionTest() { values::SetTextByName(rt, "U_STR1", "bc", true); }

  std::string Eval(std::string_view text) {
    rt.error.Clear();
    std::string out = "stale";
    EXPECT_TRUE(expr::EvaluateStringExpression(rt, text, out)) << text;
    EXPECT_FALSE(rt.error.Raised()) << text;
    ExpectCompiledAgrees(text, true, out);
    return out;
  }
  // The failure's message, with what was built before it in `out`.
  std::string Failure(std::string_view text, std::string& out) {
    rt.error.Clear();
    EXPECT_FALSE(expr::EvaluateStringExpression(rt, text, out)) << text;
    const std::string message = rt.error.Text();
    ExpectCompiledAgrees(text, false, out);
    rt.error.Set(message);
    return message;
  }

  // Every case is evaluated by the compiled form too, twice (the second
  // time through the remembered resources), with the same result, text
  // and message.
  void ExpectCompiledAgrees(std::string_view text, bool ok, const std::string& expected) {
    const std::string message = rt.error.Text();
    CompiledStringPtr compiled = expr::CompileString(text);
    for (int round = 0; round < 2; ++round) {
      rt.error.Clear();
      std::string out = "stale";
      EXPECT_EQ(expr::EvaluateCompiledString(rt, *compiled, out), ok) << text;
      EXPECT_EQ(out, expected) << text;
      EXPECT_EQ(rt.error.Text(), message) << text;
    }
    rt.error.Clear();
  }
};

TEST_F(StringExpressionTest, LiteralsAndVariablesJoin) {
  EXPECT_EQ(Eval(R"("a"+U_STR1+"\x41")"), "abcA");
  EXPECT_EQ(Eval(R"(  "a" +  U_STR1  + "b"  )"), "abcb");
  EXPECT_EQ(Eval("\"a\"\r\n+\t\"b\""), "ab");
  EXPECT_EQ(Eval(""), "");
  EXPECT_EQ(Eval("   "), "");
  EXPECT_EQ(Eval(R"("")"), "");
  EXPECT_EQ(Eval(R"("a"++"b")"), "ab");  // an empty term adds nothing
  EXPECT_EQ(Eval(R"(+"a"+)"), "a");
  EXPECT_EQ(Eval(R"("a+b"+"c d")"), "a+bc d");
}

TEST_F(StringExpressionTest, MissingSeparator) {
  std::string out;
  EXPECT_EQ(Failure(R"("a" "b")", out), msg::Text(msg::Id::kStringExprNoSeparator));
  EXPECT_EQ(out, "a");  // the term before the gap was complete
  EXPECT_EQ(msg::Utf8(msg::Id::kStringExprNoSeparator), "必要な区切り((+) 又は (,))がありません。");
  EXPECT_EQ(Failure("U_STR1 U_STR1", out), msg::Text(msg::Id::kStringExprNoSeparator));
}

TEST_F(StringExpressionTest, UnknownResourceNamesItAndKeepsWhatWasBuilt) {
  std::string out;
  EXPECT_EQ(Failure(R"("x"+NOPE+"y")", out),
            msg::Format(msg::Id::kStringExprNoResource, "NOPE"));
  EXPECT_EQ(out, "x");
  EXPECT_EQ(Failure("12", out), msg::Format(msg::Id::kStringExprNoResource, "12"));
}

TEST_F(StringExpressionTest, Escapes) {
  EXPECT_EQ(Eval(R"("1\r2\R3\n4\N5")"), "1\r2\r3\n4\n5");
  EXPECT_EQ(Eval(R"("q\"q\\b")"), "q\"q\\b");
  EXPECT_EQ(Eval(R"("\x41\X4a\x7e")"), "AJ~");
  EXPECT_EQ(Eval(R"("a\qb")"), "ab");   // unknown escapes are dropped
  EXPECT_EQ(Eval(R"("a\x4Gb")"), "a4Gb");  // \x without two digits is dropped
  EXPECT_EQ(Eval(R"("a\"+"b")"), "a\"+");   // the escaped quote does not close
  EXPECT_EQ(Eval(R"("ab)"), "ab");            // an unclosed literal runs to its end
  EXPECT_EQ(Eval(R"(xx"ab"yy)"), "ab");       // a term with a quote is a literal
}

TEST_F(StringExpressionTest, ShiftJisSecondBytesAreNotSyntax) {
  // 0x83 0x5C (ソ) must not escape the closing quote; 0x7F counts as a lead
  // byte too, so its following quote is not a quote.
  EXPECT_EQ(Eval("\"\x83\x5C\"+\"b\""), "\x83\x5C" "b");
  EXPECT_EQ(Eval("\"a\x7F\"+b\""), "a\x7F\"+b");
  EXPECT_EQ(Eval("\"\x81\x2B\""), "\x81\x2B");  // a second byte "+" stays in the text
}

TEST_F(StringExpressionTest, ResourceTexts) {
  DeclareLong("L", 42);
  DeclareLong("LF", 7, "%03d");
  DeclareDouble("D", 1.5);
  DeclareFile("F", "data/in.txt");
  const auto edit = DeclareControl("E", R_KD_EDITBOX);
  const auto check = DeclareControl("C", R_KD_CK_BOX);
  window.At(rt.program.Resource(edit)).text = "edit";
  window.At(rt.program.Resource(check)).checked = true;
  EXPECT_EQ(Eval("L+\",\"+LF+\",\"+D"), "42,007,1.500000");
  EXPECT_EQ(Eval("F"), "data/in.txt");  // a file gives its path, not its contents
  EXPECT_EQ(Eval("E+C"), "edit1");
}

TEST_F(StringExpressionTest, TermsAreCutTo4095Bytes) {
  const std::string long_literal = "\"" + std::string(5000, 'z') + "\"";
  // The term keeps 4095 bytes: the quote and 4094 z, no closing quote.
  EXPECT_EQ(Eval(long_literal), std::string(4094, 'z'));
  EXPECT_EQ(Eval(long_literal + "+\"k\""), std::string(4094, 'z') + "k");
}

TEST_F(StringExpressionTest, ResultStaysBelow131072Bytes) {
  DeclareString("BIG", 131072, std::string(100000, 'b'));
  DeclareString("REST", 131072, std::string(31071, 'r'));
  DeclareString("ONE", 4, "1");
  // A term that would make the result reach 131072 bytes is left out, and
  // the next term still counts.
  std::string out = Eval("BIG+BIG+\"x\"");
  EXPECT_EQ(out.size(), 100001u);
  out = Eval("BIG+REST");
  EXPECT_EQ(out.size(), 131071u);
  out = Eval("BIG+REST+ONE+\"\"");
  EXPECT_EQ(out.size(), 131071u);
  EXPECT_EQ(out.back(), 'r');
}

TEST_F(StringExpressionTest, TextEndsAtNul) {
  EXPECT_EQ(Eval(std::string_view("\"a\"\0+\"b\"", 8)), "a");
}

TEST_F(StringExpressionTest, CompiledFormFollowsTheResourcesOfTheMoment) {
  CompiledStringPtr compiled = expr::CompileString(R"("<"+LATER+">"+U_STR1)");
  std::string out;
  EXPECT_FALSE(expr::EvaluateCompiledString(rt, *compiled, out));
  EXPECT_EQ(rt.error.Text(), msg::Format(msg::Id::kStringExprNoResource, "LATER"));
  EXPECT_EQ(out, "<");
  rt.error.Clear();
  const auto later = DeclareLong("LATER", 12);
  EXPECT_TRUE(expr::EvaluateCompiledString(rt, *compiled, out));
  EXPECT_EQ(out, "<12>bc");
  values::WriteInteger(rt, later, -2147483647 - 1);
  values::SetTextByName(rt, "U_STR1", "", true);
  EXPECT_TRUE(expr::EvaluateCompiledString(rt, *compiled, out));
  EXPECT_EQ(out, "<-2147483648>");
  EXPECT_FALSE(rt.error.Raised());
}

}  // namespace
}  // namespace vx::test
