#include "values/expression.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "support/runtime_fixture.hpp"
#include "values/expression_support.hpp"
#include "values/values.hpp"

namespace vx::test {
namespace {

class ExpressionTest : public RuntimeTest {
 protected:
  // Evaluates `text` every way a script can: prepared once and evaluated by
  // the text rules, the same prepared text compiled, and EvaluateExpression.
  // All three must agree exactly.
  Outcome Eval(std::string_view text) {
    rt.error.Clear();
    const Outcome direct = Capture(rt, expr::EvaluateExpression(rt, text));
    std::string prepared(text);
    if (!expr::PrepareExpression(rt, prepared)) {
      EXPECT_EQ(direct, Capture(rt, 0.0)) << text;
      return direct;
    }
    const Outcome by_text = ByText(rt, prepared);
    EXPECT_EQ(by_text, ByCode(rt, prepared)) << text;
    EXPECT_EQ(by_text, direct) << text;
    return by_text;
  }
  double Value(std::string_view text) {
    const Outcome o = Eval(text);
    EXPECT_FALSE(o.failed) << text;
    return o.value;
  }
  bool Fails(std::string_view text) { return Eval(text) == Failure(); }

  std::string Prepared(std::string_view text) {
    std::string t(text);
    EXPECT_TRUE(expr::PrepareExpression(rt, t)) << text;
    return Readable(t);
  }
};

TEST_F(ExpressionTest, PreparationGroupsEachLevel) {
  struct Case {
    const char* text;
    const char* prepared;
  };
  const Case cases[] = {
      {"2+3*4", "((2)+(3*4))"},
      {"2*3+4", "((2*3)+(4))"},
      {"1+6%4", "((1)+(6){%}(4))"},
      {"8-2-1", "((8)-(2)-(1))"},
      // A leading sign keeps an empty run, which reads as 0.
      {"-3+1", "(()-(3)+(1))"},
      // The "-" splits the run, leaving "*" without a right operand.
      {"2*-3", "((2*)-(3))"},
      {"2*(-3)", "( 2*(()-(3)))"},
      {"1<2&&3>2", "( ( ( 1){<}( 2)){&&}( ( 3){>}( 2)))"},
      {"-1||0", "( (()-(1)){||}( 0))"},
      {"a <= b", "( ( a){<=}( b))"},
      {"sqrt(4)", "( sqrt( 4))"},
      {"()", "( ( ))"},
      {"(1+2", "( ((1)+(2)))"},
      // A run opened by a parenthesised group alone loses its opening.
      {"(a)+b", "( ( a)+(b))"},
      {"1 2", "( 12)"},
      {"", "( )"},
  };
  for (const Case& c : cases) EXPECT_EQ(Prepared(c.text), c.prepared) << c.text;
}

TEST_F(ExpressionTest, OperatorsBecomeCodesWithTwoByteOnesKeepingTheirLength) {
  // Each pass drops blanks, so only the codes are left to see here.
  EXPECT_EQ(Prepared("1<<2>>3|4&5^6%7"), "((1){<<}(2){>>}(3){|}(4){&}(5){^}(6){%}(7))");
  EXPECT_EQ(Prepared("1>=2!=3==4"), "( ( 1){>=}( 2){!=}( 3){==}( 4))");
}

TEST_F(ExpressionTest, PreparationFailures) {
  std::string t = "1+2)";
  EXPECT_FALSE(expr::PrepareExpression(rt, t));
  EXPECT_EQ(t, "1+2)");  // left as it was
  EXPECT_TRUE(rt.error.Raised());
  EXPECT_EQ(rt.error.Text(), msg::Text(msg::Id::kExpressionError));
  EXPECT_TRUE(Fails(")("));
  EXPECT_TRUE(Fails("(1))"));
}

TEST_F(ExpressionTest, RewrittenTextIsLimitedTo15998Bytes) {
  // n ones joined by "+" prepare to 4n + 1 bytes; a longer last number adds
  // one byte per digit.
  std::string t;
  for (int i = 0; i < 3998; ++i) t += "1+";
  t += "1";
  std::string p = t;
  ASSERT_TRUE(expr::PrepareExpression(rt, p));
  EXPECT_EQ(p.size(), 15997u);
  p = t + "0";
  ASSERT_TRUE(expr::PrepareExpression(rt, p));
  EXPECT_EQ(p.size(), 15998u);
  EXPECT_EQ(Value(t + "0"), 3998.0 + 10.0);
  p = t + "00";
  EXPECT_FALSE(expr::PrepareExpression(rt, p));
  EXPECT_TRUE(Fails(t + "00"));
  // Blanks do not count: they are gone after the first pass.
  EXPECT_EQ(Value(std::string(40000, ' ') + "7"), 7.0);
}

TEST_F(ExpressionTest, PrecedenceAndAssociativity) {
  EXPECT_EQ(Value("2+3*4"), 14.0);
  EXPECT_EQ(Value("2*3+4"), 10.0);
  EXPECT_EQ(Value("1+6%4"), 3.0);
  EXPECT_EQ(Value("8-2-1"), 5.0);
  EXPECT_EQ(Value("8/2/2"), 2.0);
  EXPECT_EQ(Value("1+2<<2"), 12.0);
  EXPECT_EQ(Value("1+2*3==7"), 1.0);
  EXPECT_EQ(Value("1<2==1"), 1.0);   // comparisons left to right
  EXPECT_EQ(Value("3>2>1"), 0.0);    // (3>2)>1
  EXPECT_EQ(Value("0&&1||1"), 1.0);  // logical operators left to right
  EXPECT_EQ(Value("1||1&&0"), 0.0);
  EXPECT_EQ(Value("2*(3+4)"), 14.0);
  EXPECT_EQ(Value("((2))*((((3))))"), 6.0);
}

TEST_F(ExpressionTest, SignsAndEmptyGroups) {
  EXPECT_EQ(Value("-3+1"), -2.0);
  EXPECT_TRUE(Fails("2*-3"));
  EXPECT_EQ(Value("2*(-3)"), -6.0);
  EXPECT_EQ(Value("()"), 0.0);
  EXPECT_EQ(Value("(1+2"), 3.0);
  EXPECT_TRUE(Fails("1+2)"));
  EXPECT_EQ(Value("+5"), 5.0);
  EXPECT_EQ(Value("--5"), -5.0);  // ()-()-(5): each sign gets its empty run
}

TEST_F(ExpressionTest, ComparisonAndLogic) {
  EXPECT_EQ(Value("1<2&&3>2"), 1.0);
  EXPECT_EQ(Value("-1||0"), 0.0);
  EXPECT_EQ(Value("5==5.0"), 1.0);
  EXPECT_EQ(Value("5!=5"), 0.0);
  EXPECT_EQ(Value("2<=2"), 1.0);
  EXPECT_EQ(Value("2>=3"), 0.0);
  EXPECT_EQ(Value("0.5&&2"), 1.0);
  // NaN (the square root of -1) is unordered: only != holds.
  EXPECT_EQ(Value("sqrt(-1)==sqrt(-1)"), 0.0);
  EXPECT_EQ(Value("sqrt(-1)!=sqrt(-1)"), 1.0);
  EXPECT_EQ(Value("sqrt(-1)<1"), 0.0);
  EXPECT_EQ(Value("sqrt(-1)>=1"), 0.0);
  EXPECT_EQ(Value("sqrt(-1)||0"), 0.0);
}

TEST_F(ExpressionTest, IntegerOperators) {
  EXPECT_EQ(Value("1<<31"), -2147483648.0);
  EXPECT_EQ(Value("1<<33"), 2.0);  // count taken modulo 32
  EXPECT_EQ(Value("(0-8)>>1"), -4.0);
  EXPECT_EQ(Value("12&10"), 8.0);
  EXPECT_EQ(Value("12|3"), 15.0);
  EXPECT_EQ(Value("12^10"), 6.0);
  EXPECT_EQ(Value("7.9%4"), 3.0);  // operands truncated first
  EXPECT_EQ(Value("(0-7)%3"), -1.0);
  EXPECT_EQ(Value("7%(0-3)"), 1.0);
  // Left open by the language; chosen so that nothing traps.
  EXPECT_EQ(Value("7%0"), 0.0);
  EXPECT_EQ(Value("(0-2147483647-1)%(0-1)"), 0.0);
  // Out-of-range operands saturate; NaN counts as 0.
  EXPECT_EQ(Value("3000000000|0"), 2147483647.0);
  EXPECT_EQ(Value("(0-3000000000)|0"), -2147483648.0);
  EXPECT_EQ(Value("sqrt(-1)|5"), 5.0);
  // At the range's edges: fractions beyond either end truncate into it.
  EXPECT_EQ(Value("2147483647.9|0"), 2147483647.0);
  EXPECT_EQ(Value("2147483648|0"), 2147483647.0);
  EXPECT_EQ(Value("(0-2147483648.9)|0"), -2147483648.0);
  EXPECT_EQ(Value("(0-2147483649)|0"), -2147483648.0);
  EXPECT_EQ(Value("INT(0-2147483648.5)"), -2147483648.0);
  EXPECT_EQ(Value("INT(0-0.5)"), 0.0);
}

TEST_F(ExpressionTest, Division) {
  EXPECT_EQ(Value("7/2"), 3.5);
  EXPECT_TRUE(Fails("7/0"));
  EXPECT_TRUE(Fails("7/0.000000000000000000001"));
  EXPECT_TRUE(Fails("7/(0-0.000000000000000000009)"));
  EXPECT_EQ(Value("1/0.00000000000000000001"), 1e20);  // 1e-20 itself is allowed
  EXPECT_TRUE(Fails("(1/0)+1"));
}

TEST_F(ExpressionTest, Literals) {
  EXPECT_EQ(Value("0x10"), 16.0);
  EXPECT_EQ(Value("0xFFFFFFFF"), -1.0);
  EXPECT_EQ(Value("0Xff"), 255.0);
  EXPECT_EQ(Value("0x123456789"), static_cast<double>(0x23456789));  // low 32 bits
  EXPECT_TRUE(Fails("0x"));
  EXPECT_TRUE(Fails("1x5"));  // no defined value: rejected
  EXPECT_TRUE(Fails("0x1.5"));
  EXPECT_EQ(Value("'A'"), 65.0);
  EXPECT_EQ(Value("'\xC8'"), -56.0);  // a signed byte
  EXPECT_TRUE(Fails("'AB'"));
  EXPECT_TRUE(Fails("''"));
  EXPECT_TRUE(Fails("'A"));
  // Operators and blanks are rewritten before any literal is read, so they
  // cannot stand between apostrophes.
  EXPECT_TRUE(Fails("'+'"));
  EXPECT_TRUE(Fails("'<'"));
  EXPECT_TRUE(Fails("' '"));
  EXPECT_TRUE(Fails("1.2.3"));
  EXPECT_TRUE(Fails("1e5"));
  EXPECT_EQ(Value("1."), 1.0);
  EXPECT_EQ(Value("0.1+0.2"), 0.1 + 0.2);
  EXPECT_EQ(Value("007"), 7.0);
  EXPECT_TRUE(Fails(".5"));  // a name, not a number
  // Characters after the first 1023 of a literal are read over but ignored.
  EXPECT_EQ(Value("1" + std::string(1022, '0') + "999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(Value("0." + std::string(1021, '0') + "5"), 0.0);
  EXPECT_EQ(Value("0." + std::string(1020, '0') + "5"), 0.0);  // underflows as strtod does
  EXPECT_EQ(Value("2." + std::string(1021, '0') + "99"), 2.0);
}

TEST_F(ExpressionTest, Functions) {
  EXPECT_EQ(Value("ROUND(2.5)"), 3.0);
  EXPECT_EQ(Value("round(-2.5)"), -3.0);
  EXPECT_EQ(Value("RoUnD(2.4)"), 2.0);
  EXPECT_EQ(Value("Int(-2.7)"), -2.0);
  EXPECT_EQ(Value("INT(3000000000)"), 2147483647.0);
  EXPECT_TRUE(Fails("Sqrt(4)"));
  EXPECT_EQ(Value("sqrt(4)"), 2.0);
  EXPECT_EQ(Value("SQRT (9)"), 3.0);
  EXPECT_EQ(Value("abs(0-3)"), 3.0);
  EXPECT_EQ(Value("ABS(3)"), 3.0);
  EXPECT_EQ(Value("atan(1)*4"), std::atan(1.0) * 4);
  EXPECT_EQ(Value("sin(1)+COS(1)+tan(1)"), std::sin(1.0) + std::cos(1.0) + std::tan(1.0));
  EXPECT_EQ(Value("asin(1)+ACOS(0)+ATAN(1)"), std::asin(1.0) + std::acos(0.0) + std::atan(1.0));
  EXPECT_EQ(Value("exp(1)"), std::exp(1.0));
  EXPECT_EQ(Value("LOG(1)"), 0.0);
  EXPECT_EQ(Value("log(0)"), -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(Value("sqrt(0-1)")));
  EXPECT_EQ(Value("sqrt(sqrt(16))"), 2.0);
  EXPECT_EQ(Value("2*sqrt(4)+1"), 5.0);
  EXPECT_TRUE(Fails("foo(1)"));
  EXPECT_EQ(Value("+(1)"), 1.0);  // a leading sign, not a function
  EXPECT_TRUE(Fails("sqrt"));  // no such variable or resource
}

TEST_F(ExpressionTest, MinusAsFunctionInRawText) {
  // Prepared text never keeps "-" in front of "(", but the text rules give
  // "-" applied to a group the negated value.
  EXPECT_EQ(ByText(rt, "(2*-(3))").value, -6.0);
  EXPECT_EQ(ByCode(rt, "(2*-(3))").value, -6.0);
  EXPECT_EQ(ByText(rt, "(2*-3)"), Failure());
  EXPECT_EQ(ByCode(rt, "(2*-3)"), Failure());
  EXPECT_EQ(ByText(rt, "(2*+(3))"), Failure());  // "+" is no function
  EXPECT_EQ(ByCode(rt, "(2*+(3))"), Failure());
}

TEST_F(ExpressionTest, BadCharactersFail) {
  EXPECT_TRUE(Fails("1=2"));
  EXPECT_TRUE(Fails("!1"));
  EXPECT_TRUE(Fails("1 + $"));
  EXPECT_TRUE(Fails("2*"));
  EXPECT_TRUE(Fails("*2"));
  EXPECT_TRUE(Fails("<2"));
  EXPECT_TRUE(Fails("1\x15" "2"));  // the code no operator uses
  EXPECT_EQ(Value("1+"), 1.0);       // the empty last run reads as 0
}

TEST_F(ExpressionTest, RawTextAfterTheOutermostGroupFails) {
  EXPECT_EQ(ByText(rt, "(1)").value, 1.0);
  EXPECT_EQ(ByText(rt, "(1)2"), Failure());
  EXPECT_EQ(ByCode(rt, "(1)2"), Failure());
  EXPECT_EQ(ByText(rt, "(1)  "), (Outcome{1.0, false, ""}));
  EXPECT_EQ(ByText(rt, "1)"), Failure());
  EXPECT_EQ(ByText(rt, ""), Failure());
}

TEST_F(ExpressionTest, TextEndsAtNul) {
  EXPECT_EQ(Value(std::string_view("1+2\0+4", 6)), 3.0);
  EXPECT_EQ(ByText(rt, std::string_view("(5)\0junk", 8)).value, 5.0);
}

TEST_F(ExpressionTest, DeepNestingNeitherCrashesNorFails) {
  const std::string deep = std::string(5000, '(') + "1+1" + std::string(5000, ')');
  std::string p = deep;
  ASSERT_TRUE(expr::PrepareExpression(rt, p));
  EXPECT_EQ(Value(deep), 2.0);
  // Raw texts beyond any prepared depth are refused, not followed.
  const std::string too_deep = std::string(200000, '(') + "1";
  EXPECT_EQ(ByText(rt, too_deep), Failure());
  EXPECT_EQ(ByCode(rt, too_deep), Failure());
  EXPECT_TRUE(Fails(too_deep));  // its prepared form would be too long
}

// ---------------------------------------------------------------------------
// Names

TEST_F(ExpressionTest, VariablesThroughTheNameTable) {
  DeclareLong("A", 4);
  DeclareDouble("B", 0.5);
  DeclareString("S", 32, "2.5xyz");
  values::BuildNameTable(rt);
  EXPECT_EQ(Value("A*B+S"), 4.5);
  EXPECT_EQ(Value("U_V1+A"), 4.0);
  values::WriteInteger(rt, rt.program.FindResource("A"), 10);
  EXPECT_EQ(Value("A"), 10.0);
}

TEST_F(ExpressionTest, NameTableComesBeforeTheResourceTable) {
  const auto s = DeclareString("S", 32, "12abc", true);
  // Before the table is built the resource's own value (12) is read; the
  // table's pair (the length, 5) wins once it exists.
  EXPECT_EQ(Value("S"), 12.0);
  values::BuildNameTable(rt);
  EXPECT_EQ(Value("S"), 5.0);
  EXPECT_EQ(values::ReadAsDouble(rt, s), 12.0);
}

TEST_F(ExpressionTest, VariableHidesFunction) {
  DeclareLong("abs", 5);
  values::BuildNameTable(rt);
  EXPECT_EQ(Value("abs"), 5.0);
  EXPECT_EQ(Value("abs+1"), 6.0);
  // The variable is the operand; the group after it stands where an
  // operator belongs.
  EXPECT_TRUE(Fails("abs(0-3)"));
  EXPECT_EQ(Value("ABS(0-3)"), 3.0);
}

TEST_F(ExpressionTest, ControlsAreReadEveryTime) {
  const auto edit = DeclareControl("E", R_KD_EDITBOX);
  const auto check = DeclareControl("C", R_KD_CK_BOX);
  const auto track = DeclareControl("T", R_KD_TRACK_BAR);
  const auto named = DeclareControl("sqrt", R_KD_EDITBOX);
  values::BuildNameTable(rt);
  window.At(rt.program.Resource(edit)).text = "3.25";
  window.At(rt.program.Resource(check)).checked = true;
  window.At(rt.program.Resource(track)).position = 40;
  window.At(rt.program.Resource(named)).text = "7";
  EXPECT_EQ(Value("E*2+C+T"), 47.5);
  window.At(rt.program.Resource(edit)).text = "1";
  EXPECT_EQ(Value("E*2+C+T"), 43.0);
  // A control does not hide a function of its name.
  EXPECT_EQ(Value("sqrt"), 7.0);
  EXPECT_EQ(Value("sqrt(16)"), 4.0);
}

TEST_F(ExpressionTest, OtherResourceKinds) {
  DeclareFile("F", "42.5");
  auto* timer = rt.program.NewResource();
  timer->SetName("ST");
  timer->kind = R_KD_STEPTIMER;
  timer->step_count = 9;
  rt.program.CommitResource(0, rt.error);
  values::BuildNameTable(rt);
  EXPECT_EQ(Value("F+ST"), 51.5);
}

TEST_F(ExpressionTest, UnknownAndOverlongNamesFail) {
  DeclareLong(std::string(31, 'N'), 3);
  values::BuildNameTable(rt);
  EXPECT_EQ(Value(std::string(31, 'N')), 3.0);
  EXPECT_TRUE(Fails(std::string(32, 'N')));
  EXPECT_TRUE(Fails("NOPE+1"));
  EXPECT_TRUE(Fails("u_v1"));  // names are case-sensitive
  EXPECT_TRUE(Fails("NOPE(1)"));
}

TEST_F(ExpressionTest, FailureLeavesZeroAndTheErrorText) {
  const Outcome o = Eval("1+(2/0)");
  EXPECT_EQ(o.value, 0.0);
  EXPECT_TRUE(o.failed);
  EXPECT_EQ(o.error, msg::Text(msg::Id::kExpressionError));
  EXPECT_EQ(msg::Utf8(msg::Id::kExpressionError), "計算式エラー");
}

}  // namespace
}  // namespace vx::test
