#include "values/compiled_expression.hpp"
#include "values/compiled_expression_internal.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/runtime_fixture.hpp"
#include "values/expression.hpp"
#include "values/expression_support.hpp"
#include "values/values.hpp"

namespace vx::test {
namespace {

class CompiledExpressionTest : public RuntimeTest {
 protected:
  std::string Prepare(std::string_view text) {
    std::string t(text);
    EXPECT_TRUE(expr::PrepareExpression(rt, t)) << text;
    return t;
  }
  Outcome Run(CompiledExpression& code) {
    rt.error.Clear();
    return Capture(rt, expr::Evaluate(rt, code));
  }
};

TEST_F(CompiledExpressionTest, FailuresHappenAtEvaluationNotCompilation) {
  // Compiling never touches the runtime; evaluating the code fails as the
  // text rules do, every time.
  for (const char* text : {"7/0", "NOPE+1", "1.2.3", "1 $", "foo(2)", "Sqrt(4)"}) {
    CompiledExpressionPtr code = expr::Compile(Prepare(text));
    EXPECT_FALSE(rt.error.Raised());
    EXPECT_EQ(Run(*code), Failure()) << text;
    EXPECT_EQ(Run(*code), Failure()) << text;
  }
}

TEST_F(CompiledExpressionTest, DivisorIsCheckedOnEveryEvaluation) {
  const auto x = DeclareDouble("X", 2.0);
  values::BuildNameTable(rt);
  CompiledExpressionPtr code = expr::Compile(Prepare("10/X"));
  EXPECT_EQ(Run(*code).value, 5.0);
  values::WriteDouble(rt, x, 1e-21);
  EXPECT_EQ(Run(*code), Failure());
  values::WriteDouble(rt, x, -4.0);
  EXPECT_EQ(Run(*code).value, -2.5);
}

TEST_F(CompiledExpressionTest, NamesBindToTheTableOfTheMoment) {
  const auto s = DeclareString("S", 32, "12abc", true);
  CompiledExpressionPtr code = expr::Compile(Prepare("S+1"));
  EXPECT_EQ(Run(*code).value, 13.0);  // no name table yet: the resource value
  values::BuildNameTable(rt);
  EXPECT_EQ(Run(*code).value, 6.0);  // now the pair (length 5)
  values::WriteText(rt, s, "abcdefg");
  EXPECT_EQ(Run(*code).value, 8.0);
}

TEST_F(CompiledExpressionTest, RebuiltTableRebinds) {
  DeclareLong("A", 1);
  values::BuildNameTable(rt);
  CompiledExpressionPtr code = expr::Compile(Prepare("A+LATER"));
  EXPECT_EQ(Run(*code), Failure());
  DeclareDouble("LATER", 0.25);
  EXPECT_EQ(Run(*code).value, 1.25);  // found in the resource table
  values::BuildNameTable(rt);
  values::WriteDouble(rt, rt.program.FindResource("LATER"), 0.5);
  EXPECT_EQ(Run(*code).value, 1.5);  // and now through its pair
}

TEST_F(CompiledExpressionTest, VariableDeclaredLaterHidesFunction) {
  CompiledExpressionPtr code = expr::Compile(Prepare("abs(0-2)"));
  values::BuildNameTable(rt);
  EXPECT_EQ(Run(*code).value, 2.0);
  DeclareLong("abs", 9);
  values::BuildNameTable(rt);
  EXPECT_EQ(Run(*code), Failure());
}

TEST_F(CompiledExpressionTest, ControlsAreReadAtEvaluation) {
  const auto edit = DeclareControl("E", R_KD_EDITBOX);
  values::BuildNameTable(rt);
  CompiledExpressionPtr code = expr::Compile(Prepare("E*2"));
  window.At(rt.program.Resource(edit)).text = "1.5";
  EXPECT_EQ(Run(*code).value, 3.0);
  window.At(rt.program.Resource(edit)).text = "4";
  EXPECT_EQ(Run(*code).value, 8.0);
}

TEST_F(CompiledExpressionTest, CodeIsCompact) {
  // Literals, names and operators, one instruction each, except that an
  // operator takes a literal or name right operand along (B*3, C-1), and a
  // name and such an operator are one instruction: 13 steps in 9.
  CompiledExpressionPtr code = expr::Compile(Prepare("(A+B*3)/(C-1)+sqrt(D)"));
  EXPECT_EQ(expr::InstructionCount(*code), 9u);
}

// ---------------------------------------------------------------------------
// Both evaluators over a generated corpus

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  std::string Expression() {
    const int kind = Pick(10);
    if (kind == 0) return Soup();
    std::string e = Sum(0);
    if (kind <= 3) Mutate(e);
    return e;
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  template <std::size_t N>
  const char* From(const char* const (&items)[N]) {
    return items[Pick(static_cast<int>(N))];
  }

  std::string Blanks() { return Pick(4) == 0 ? From(kBlanks) : ""; }

  std::string Sum(int depth) {
    std::string e = Term(depth);
    const int n = Pick(4);
    for (int i = 0; i < n; ++i) e += Blanks() + From(kOperators) + Blanks() + Term(depth);
    return e;
  }

  std::string Term(int depth) {
    const int kind = depth > 4 ? Pick(3) : Pick(7);
    switch (kind) {
      case 0: return From(kNumbers);
      case 1: return From(kNames);
      case 2: return Pick(2) ? From(kNumbers) : From(kNames);
      case 3: return "(" + Sum(depth + 1) + (Pick(8) ? ")" : "");
      case 4: return std::string(From(kFunctions)) + Blanks() + "(" + Sum(depth + 1) + ")";
      case 5: return "-" + Term(depth + 1);
      default: return "()";
    }
  }

  void Mutate(std::string& e) {
    const int edits = 1 + Pick(3);
    for (int i = 0; i < edits && !e.empty(); ++i) {
      const std::size_t at = static_cast<std::size_t>(Pick(static_cast<int>(e.size()) + 1));
      switch (Pick(3)) {
        case 0: e.insert(at, From(kJunk)); break;
        case 1: e.insert(at, From(kOperators)); break;
        default:
          if (at < e.size()) e.erase(at, 1);
          break;
      }
    }
  }

  std::string Soup() {
    std::string e;
    const int n = 1 + Pick(24);
    for (int i = 0; i < n; ++i) {
      switch (Pick(6)) {
        case 0: e += From(kNumbers); break;
        case 1: e += From(kNames); break;
        case 2: e += From(kOperators); break;
        case 3: e += From(kJunk); break;
        case 4: e += Pick(2) ? "(" : ")"; break;
        default: e += static_cast<char>(Pick(256)); break;
      }
    }
    return e;
  }

  static constexpr const char* kNumbers[] = {
      "0",    "1",          "2",          "3.5",        "10",  "0.5", "007",    "1.2.3",
      "0x1F", "0xFFFFFFFF", "1x5",        "'A'",        "''",  "1e5", "1.",     "3000000000",
      "0x",   "'\xC8'",     "0.00000000000000000001",   "0.000000000000000000001", "99"};
  static constexpr const char* kNames[] = {"A", "B", "C", "D", "E", "K", "T", "abs",
                                           "NOPE", "U_V1", "G_ERROR", "S", "F", "-", "+"};
  static constexpr const char* kFunctions[] = {"sqrt", "SQRT", "abs", "ABS", "round", "RoUnD",
                                               "Int",  "sin",  "cos", "tan", "asin",  "ACOS",
                                               "atan", "exp",  "log", "foo", "Sqrt",  "-", "E"};
  static constexpr const char* kOperators[] = {"+",  "-",  "*",  "/",  "%", "<", ">",
                                               "<=", ">=", "==", "!=", "&&", "||", "<<",
                                               ">>", "&",  "|",  "^",  "=",  "!"};
  static constexpr const char* kJunk[] = {"$", "\x15", ".", "'", " ", "\t", "(", ")", "\x10",
                                          "\x18", "x", "e"};
  static constexpr const char* kBlanks[] = {" ", "  ", "\t"};

  std::mt19937 rng_;
};

class DifferentialTest : public RuntimeTest {
 protected:
  DifferentialTest() {
    DeclareLong("A", 7);
    DeclareLong("B", -3);
    DeclareDouble("C", 2.5);
    DeclareString("D", 32, "16");
    DeclareLong("abs", 4);
    DeclareString("S", 32, "12abc", true);
    DeclareFile("F", "3.75");
    window.At(rt.program.Resource(DeclareControl("E", R_KD_EDITBOX))).text = "1.25";
    window.At(rt.program.Resource(DeclareControl("K", R_KD_CK_BOX))).checked = true;
    window.At(rt.program.Resource(DeclareControl("T", R_KD_TRACK_BAR))).position = 12;
  }

  // Compiled once and run three times, so that the cached bindings are used
  // too, by the out-of-line evaluation and by the inline one callers use.
  void ExpectAgreement(const std::string& text, const std::string& label) {
    const Outcome by_text = ByText(rt, text);
    CompiledExpressionPtr code = expr::Compile(text);
    for (int round = 0; round < 3; ++round) {
      rt.error.Clear();
      const double result = round == 1 ? expr::EvaluateCompiled(rt, *code) : expr::Evaluate(rt, *code);
      const Outcome by_code = Capture(rt, result);
      ASSERT_EQ(by_text, by_code) << label << " [" << Readable(text) << "]";
    }
    ++(by_text.failed ? failures_ : successes_);
  }

  void RunCorpus(unsigned seed, int count) {
    Generator gen(seed);
    for (int i = 0; i < count; ++i) {
      const std::string source = gen.Expression();
      std::string prepared = source;
      rt.error.Clear();
      if (expr::PrepareExpression(rt, prepared)) {
        ExpectAgreement(prepared, "prepared from " + Readable(source));
      }
      ExpectAgreement(source, "raw");
      if (HasFatalFailure()) return;
    }
  }

  int successes_ = 0;
  int failures_ = 0;
};

TEST_F(DifferentialTest, CompiledAgreesWithTextRulesBeforeTheNameTableExists) {
  RunCorpus(20240611, 4000);
  // The corpus must exercise both outcomes in earnest.
  EXPECT_GT(successes_, 1000);
  EXPECT_GT(failures_, 1000);
}

TEST_F(DifferentialTest, CompiledAgreesWithTextRulesWithTheNameTable) {
  values::BuildNameTable(rt);
  RunCorpus(7, 4000);
  EXPECT_GT(successes_, 1000);
  EXPECT_GT(failures_, 1000);
}

// The commonest shapes (a literal, a name, a name and an operator with a
// literal or a name) take a path of their own; every operator over every
// kind of name, failures included, must still agree with the text rules.
TEST_F(DifferentialTest, ShortShapesAgreeWithTextRules) {
  const std::vector<std::string> lefts = {"A", "B", "C", "D", "S", "E", "K", "F", "NOPE", "abs"};
  const std::vector<std::string> rights = {"A",   "B",   "C",   "S",    "E",
                                           "NOPE", "0",  "2",   "0.5",  "0.00000000000000000001",
                                           "'A'", "0xFFFFFFFF", "31", "3000000000"};
  const char* operators[] = {"+",  "-",  "*",  "/",  "%",  "<",  ">",  "<=", ">=",
                             "==", "!=", "&&", "||", "<<", ">>", "&",  "|",  "^"};
  for (int table = 0; table < 2; ++table) {
    if (table == 1) values::BuildNameTable(rt);
    for (const std::string& l : lefts) {
      ExpectAgreement(l, "name");
      for (const char* op : operators) {
        for (const std::string& r : rights) {
          std::string prepared = l + op + r;
          rt.error.Clear();
          ASSERT_TRUE(expr::PrepareExpression(rt, prepared)) << l + op + r;
          ExpectAgreement(prepared, l + op + r);
          if (HasFatalFailure()) return;
        }
      }
    }
    ExpectAgreement("((42))", "literal");
    // Chains: each operator takes a literal or a name, left to right.
    for (const char* chain : {"(A+B)%1000", "A%1000==0", "2*A-C/B", "1+2+3", "A-B-C-B",
                              "(C*C-B*B)", "A/B/0", "A+NOPE+1", "A+E+1", "(A+S)%0x10<<2",
                              // integer operators take their literal converted at compile time
                              "(A*C)%2.9", "(B*3)%0", "(B*3)%0.5", "(A*3)%3000000000",
                              "(C*B)%0xFFFFFFFF", "(B-A)>>31|0", "(A+C)&3000000000^7"}) {
      std::string prepared = chain;
      rt.error.Clear();
      ASSERT_TRUE(expr::PrepareExpression(rt, prepared)) << chain;
      ExpectAgreement(prepared, chain);
    }
  }
}

// Code whose names are all variables runs in a loop of its own, each
// instruction going straight to the next one's case: every operator in
// every form, first, in the middle and last, must agree with the text
// rules, and keep agreeing once the names are bound anew.
TEST_F(DifferentialTest, BoundCodeAgreesInEveryPosition) {
  const char* operators[] = {"+",  "-",  "*",  "/",  "%",  "<",  ">",  "<=", ">=",
                             "==", "!=", "&&", "||", "<<", ">>", "&",  "|",  "^"};
  const char* templates[] = {
      "A@(B*C)",            // a stack operator last
      "A*(B-C)@C",          // a name operator last
      "A*(B-C)@2",          // a literal operator last
      "A*(B-C)@0",          // a literal that fails the division
      "A*(B-C)@0.5",        // a literal the integer operators convert
      "(B@C)*(A@3)+C",      // both pairs first and in the middle
      "(B@C)@(A@B)-(C@2)",  // stack operators in the middle and last
      "C*(A@B)@(B@0)",      // a failing pair in the middle
  };
  int bound_code = 0;
  for (int binding = 0; binding < 2; ++binding) {
    values::BuildNameTable(rt);  // a new generation: every name is bound again
    for (const char* op : operators) {
      for (std::string text : templates) {
        for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@')) {
          text.replace(at, 1, op);
        }
        std::string prepared = text;
        rt.error.Clear();
        ASSERT_TRUE(expr::PrepareExpression(rt, prepared)) << text;
        ExpectAgreement(prepared, text);
        if (HasFatalFailure()) return;
        CompiledExpressionPtr code = expr::Compile(prepared);
        rt.error.Clear();
        expr::Evaluate(rt, *code);
        if (code->fast.evaluation == expr::detail::FastCase::kCode) ++bound_code;
      }
    }
  }
  EXPECT_GT(bound_code, 200);  // the loop itself ran, not another path
}

TEST_F(CompiledExpressionTest, ShortShapesReadTheCurrentValues) {
  const auto x = DeclareDouble("X", 8.0);
  const auto n = DeclareLong("N", 3);
  values::BuildNameTable(rt);
  CompiledExpressionPtr half = expr::Compile(Prepare("X/2"));
  CompiledExpressionPtr ratio = expr::Compile(Prepare("X/N"));
  CompiledExpressionPtr below = expr::Compile(Prepare("N<10"));
  CompiledExpressionPtr name = expr::Compile(Prepare("N"));
  EXPECT_EQ(Run(*half).value, 4.0);
  EXPECT_EQ(Run(*ratio).value, 8.0 / 3.0);
  EXPECT_EQ(Run(*below).value, 1.0);
  values::WriteDouble(rt, x, -1.0);
  values::WriteInteger(rt, n, 0);
  EXPECT_EQ(Run(*half).value, -0.5);
  EXPECT_EQ(Run(*ratio), Failure());  // division by 0 still fails
  EXPECT_EQ(Run(*name).value, 0.0);
  values::WriteInteger(rt, n, 10);
  EXPECT_EQ(Run(*below).value, 0.0);
  EXPECT_EQ(Run(*ratio).value, -0.1);
}

}  // namespace
}  // namespace vx::test
