// Conditions, loops, jumps, subroutines and the call stack.
#include <gtest/gtest.h>

#include "api/api_table.hpp"
#include "engine/run_loop.hpp"
#include "support/script_fixture.hpp"

namespace vx {
namespace {

using Strings = std::vector<std::string>;

class Flow : public test::ScriptTest {};

TEST_F(Flow, IfIsTrueOnlyAboveZeroWhileOnAnythingButZero) {
  ASSERT_EQ(Load(R"(
Data long A 0
Data long B 0
Data long C 0
Data long N 0
:Initial
If 0 - 1 goto Skip
A = 1
:Skip
If sqrt(0 - 1) goto Skip2
B = 1
:Skip2
N = 0 - 1
while N
  inc C
  If C >= 5 BREAK
endwhile
ENDP
)"), 1);
  EXPECT_EQ(Long("A"), 1);  // -1 is false for If
  EXPECT_EQ(Long("B"), 1);  // so is NaN
  EXPECT_EQ(Long("C"), 5);  // -1 is true for while
}

TEST_F(Flow, BlockIfWithElse) {
  ASSERT_EQ(Load(R"(
Data long X 0
Data long T 0
Data long E 0
:Initial
ENDP
:Go
If X > 0
  T = T + 1
else
  E = E + 1
endif
ENDP
)"), 1);
  Run("Go");
  EXPECT_EQ(Long("T"), 0);
  EXPECT_EQ(Long("E"), 1);
  values::WriteInteger(rt, Index("X"), 1);
  Run("Go");
  EXPECT_EQ(Long("T"), 1);
  EXPECT_EQ(Long("E"), 1);
}

TEST_F(Flow, BreakAndContinueInNestedLoops) {
  ASSERT_EQ(Load(R"(
Data long I 0
Data long J 0
Data long INNER 0
Data long ODD 0
:Initial
while I < 6
  inc I
  If I % 2 == 0 CONTINUE
  inc ODD
  J = 0
  while 1
    inc J
    inc INNER
    If J >= I BREAK
  endwhile
  If I >= 5 BREAK
endwhile
ENDP
)"), 1);
  EXPECT_EQ(Long("I"), 5);
  EXPECT_EQ(Long("ODD"), 3);      // 1, 3, 5
  EXPECT_EQ(Long("INNER"), 9);    // 1 + 3 + 5
}

TEST_F(Flow, PlainBreakAndContinue) {
  ASSERT_EQ(Load(R"(
Data long I 0
Data long S 0
:Initial
while 1
  inc I
  If I < 3
    continue
  endif
  S = S + I
  If I == 5
    break
  endif
endwhile
ENDP
)"), 1);
  EXPECT_EQ(Long("S"), 3 + 4 + 5);
}

TEST_F(Flow, IfTailsCallAndReturn) {
  ASSERT_EQ(Load(R"(
Data long X 0
Data long Y 0
:Initial
If 1 CALLSUB Sub
X = X + 10
If 1 ENDP
X = 1000
:Sub
Y = 1
If Y == 1 ENDP
Y = 2
ENDP
)"), 1);
  EXPECT_EQ(Long("X"), 10);
  EXPECT_EQ(Long("Y"), 1);
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(Flow, SubroutinesReturnToTheirCallers) {
  ASSERT_EQ(Load(R"(
Data string S 100
:Initial
S = S + "a"
CALLSUB One
S = S + "e"
ENDP
:One
S = S + "b"
CALLSUB Two
S = S + "d"
ENDP
:Two
S = S + "c"
ENDP
)"), 1);
  EXPECT_EQ(Text("S"), "abcde");
  EXPECT_EQ(rt.run.depth, 0);
}

TEST_F(Flow, RetsysInASubroutineEndsTheWholeRun) {
  ASSERT_EQ(Load(R"(
Data long X 0
:Initial
CALLSUB Sub
X = 2
ENDP
:Sub
X = 1
Retsys
)"), 1);
  EXPECT_EQ(Long("X"), 1);
  EXPECT_EQ(rt.run.depth, 0);
  EXPECT_EQ(Run("Initial"), 1);
}

TEST_F(Flow, HundredNestedCallsSucceed) {
  ASSERT_EQ(Load(R"(
Data long D 0
:Initial
CALLSUB Recurse
ENDP
:Recurse
inc D
If D < 100 CALLSUB Recurse
ENDP
)"), 1);
  EXPECT_FALSE(rt.error.Raised());
  EXPECT_EQ(Long("D"), 100);
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(Flow, StackOverflowAtTheHundredAndFirstCall) {
  ASSERT_EQ(Load(R"(
Data long D 0
:Initial
CALLSUB Recurse
ENDP
:Recurse
inc D
CALLSUB Recurse
ENDP
)"), 1);
  EXPECT_EQ(Long("D"), 100);
  EXPECT_EQ(Messages(), (Strings{"[Error] Line (8) : スタックオーバーフロー"}));
  EXPECT_EQ(rt.run.depth, 0);
}

TEST_F(Flow, CallSubsAtFullDepthOverflowsWithoutEvaluating) {
  ASSERT_EQ(Load(R"(
Data long D 0
:Initial
CALLSUB Recurse
ENDP
:Recurse
inc D
If D == 100
  CALLSUBS UNDECLARED
endif
CALLSUB Recurse
ENDP
)"), 1);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(Messages()[0].starts_with("[Error] Line (9) : スタックオーバーフロー"));
}

TEST_F(Flow, UndefinedLabelsByStatement) {
  ASSERT_EQ(Load(":Initial\nENDP\n:A\ngoto Gone\n:B\nCALLSUB Gone\n:C\nIf 1 goto Gone\n"
                 ":D\nIf 1 CALLSUB Gone\n"),
            1);
  const Strings labels = {"A", "B", "C", "D"};
  const Strings numbers = {"3311", "3346", "3399", "3420"};
  for (std::size_t i = 0; i < labels.size(); ++i) {
    rt.error.Clear();
    window.messages.clear();
    EXPECT_EQ(Run(labels[i]), 0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("対応するラベルがありません[Gone]<" + numbers[i] + ">"),
              std::string::npos)
        << Messages()[0];
  }
}

TEST_F(Flow, ComputedLabelsIgnoreCaseLoadTimeLabelsDoNot) {
  ASSERT_EQ(Load(R"(
Data string NAME 32
Data string S 100
:Initial
ENDP
:Computed
NAME = "target"
gotosl NAME
S = S + "skipped"
:Target
S = S + "t"
ENDP
:CallComputed
CALLSUBS "TARGET"
S = S + "back"
ENDP
:Missing
gotosl "nowhere"
CALLSUBS "nowhere"
S = S + "on"
ENDP
:Exact
goto target
)"), 1);
  Run("Computed");
  EXPECT_EQ(Text("S"), "t");
  Run("CallComputed");
  EXPECT_EQ(Text("S"), "ttback");
  Run("Missing");
  EXPECT_EQ(Text("S"), "ttbackon");
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(Run("Exact"), 0);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("[target]<3311>"), std::string::npos);
}

TEST_F(Flow, FallingThroughIntoTheNextLabel) {
  ASSERT_EQ(Load("Data string S 10\n:Initial\nS = \"a\"\n:Next\nS = S + \"b\"\n"), 1);
  EXPECT_EQ(Text("S"), "ab");
}

TEST_F(Flow, CallTraceListsTheStackAndTheTarget) {
  ASSERT_EQ(Load(R"(
:Initial
ENDP
:Go
CALLSUB A
ENDP
:A
CALLSUB B
ENDP
:B
goto C
:C
If 1 goto D
:D
CALLSUBS "e"
ENDP
:E
ENDP
)"), 1);
  rt.run.trace_flags = TRACE_CALLS;
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(Text("G_SYSTEM_LOG"),
            "[A] A\r\n"
            "[A]-[B] B\r\n"
            "[A]-[B] goto C\r\n"
            "[A]-[B] goto D\r\n"
            "[A]-[B]-[E] E\r\n");
}

TEST_F(Flow, CallStackInfoReportsDepthLabelsAndCaller) {
  ASSERT_EQ(Load(R"(
Data long DEPTH 0
Data long LINE 0
Data string WHERE 100
:Initial
CALL CallStackInfo WHERE
DEPTH = G_WORK1
[$SRC:20]CALLSUB Outer
ENDP
:Outer
[$SRC:30]CALLSUB Inner
ENDP
:Inner
CALL CallStackInfo WHERE
DEPTH = G_WORK1
LINE = G_WORK2
ENDP
)"), 1);
  EXPECT_EQ(Long("DEPTH"), 2);
  EXPECT_EQ(Long("LINE"), 30);
  EXPECT_EQ(Text("WHERE"), "[Outer]-[Inner]");
  EXPECT_EQ(Text("G_TXT"), "[Outer]-[Inner]");
  EXPECT_EQ(Long("G_ERROR"), 0);
}

TEST_F(Flow, CallStackInfoAtTopLevel) {
  ASSERT_EQ(Load(":Initial\nG_TXT = \"old\"\nCALL CallStackInfo\n"), 1);
  EXPECT_EQ(Long("G_WORK1"), 0);
  EXPECT_EQ(Long("G_WORK2"), 0);
  EXPECT_EQ(Text("G_TXT"), "");
  ASSERT_EQ(Load(":Initial\nCALL CallStackInfo NOSUCH\n"), 1);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("パラメータエラー(対応するリソースがありません[NOSUCH])"),
            std::string::npos);
}

// --- CALL and CALLS ---------------------------------------------------------

TEST_F(Flow, CallOfAnApiWithoutImplementationEndsTheRun) {
  ASSERT_EQ(Load("Data long X 0\n:Initial\nCALL WSrvStart 1, 2\nX = 1\n"), 1);
  EXPECT_EQ(Long("X"), 0);
  EXPECT_EQ(Messages(),
            (Strings{"[Error] Line (3) : 対応する内部関数がありません。[1, 2]<3255> [1, 2]"}));
}

TEST_F(Flow, ComputedCallsReportAndGoOn) {
  ASSERT_EQ(Load(R"(
Data long N 0
Data long E1 0
Data long E2 0
Data long E3 0
Data string S 20
:Initial
S = "abc"
CALLS "NoSuchApi 1, 2"
E1 = G_ERROR
CALLS "strlen S, NOSUCH"
E2 = G_ERROR
CALLS "WSrvStart"
E3 = G_ERROR
CALLS "strlen	S, N"
ENDP
)"), 1);
  EXPECT_EQ(Long("E1"), 2);
  EXPECT_EQ(Long("E2"), 1);
  EXPECT_EQ(Long("E3"), 1);
  EXPECT_EQ(Long("N"), 3);
  EXPECT_FALSE(rt.error.Raised());
  EXPECT_EQ(Messages(), (Strings{"[Error] Line (9) : no such API [NoSuchApi]",
                                 "[Error] Line (11) : パラメータエラー(対応するリソースがありません[NOSUCH]) [strlen]"}));
  // The record keeps the API found last.
  const auto strlen_api = api::LookupApi("strlen");
  ASSERT_TRUE(strlen_api.has_value());
  bool found = false;
  for (std::int32_t p = 1; p < rt.program.ProcCount(); ++p) {
    const Procedure& proc = rt.program.Proc(p);
    if (proc.code == P_DTV_CALLS && proc.a == strlen_api->id) found = true;
  }
  EXPECT_TRUE(found);
}

TEST_F(Flow, ComputedCallWithABadExpressionEndsTheRun) {
  ASSERT_EQ(Load("Data long X 0\n:Initial\nCALLS NOSUCH\nX = 1\n"), 1);
  EXPECT_EQ(Long("X"), 0);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("文字列式エラー"), std::string::npos);
}

}  // namespace
}  // namespace vx
