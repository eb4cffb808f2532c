// Fused statements against the run loop's own forms: every script here runs
// once as usual (fused) and once with the call trace on, which keeps every
// statement in the run loop, and both must leave the same values, results
// and messages.
#include "engine/fused_code.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/run_loop.hpp"
#include "support/script_fixture.hpp"
#include "values/values.hpp"

namespace vx {
namespace {

using Strings = std::vector<std::string>;

class FusedCode : public test::ScriptTest {
 protected:
  struct Outcome {
    int result = 0;
    Strings values;
    Strings messages;
    std::int32_t depth = 0;
  };

  // Runs `label` of `script`, loaded afresh, with or without the call
  // trace, and reads back the named variables.
  Outcome RunOnce(std::string_view script, std::string_view label, const Strings& names, bool traced) {
    window.messages.clear();
    EXPECT_EQ(Load(script), 1);
    rt.run.trace_flags = traced ? TRACE_CALLS : 0;
    Outcome out;
    out.result = Run(label);
    std::string buffer;
    for (const std::string& name : names) {
      out.values.push_back(name + "=" + std::string(values::ReadAsText(rt, Index(name), buffer)));
    }
    out.messages = Messages();
    out.depth = rt.run.depth;
    rt.run.trace_flags = 0;
    return out;
  }

  void ExpectSameBothWays(std::string_view script, std::string_view label, const Strings& names) {
    const Outcome fused = RunOnce(script, label, names, false);
    const Outcome general = RunOnce(script, label, names, true);
    EXPECT_EQ(fused.result, general.result);
    EXPECT_EQ(fused.values, general.values);
    EXPECT_EQ(fused.messages, general.messages);
    EXPECT_EQ(fused.depth, general.depth);
  }
};

constexpr std::string_view kEveryForm = R"(Data long I 0
Data long J 0
Data long K 0
Data long L 0
Data long SUM 0
Data long LEVEL 0
Data long BIG 0
Data double D 0
Data double E 1.5
Data double F 0
:Initial
ENDP
:Go
while I < 60
  J = I % 7
  K = I
  L = 3
  D = E * I
  F = D / 4 - I * 0.125 + (J << 2)
  if J >= 5
    SUM = SUM + J * 3
  else
    if D > 20.5
      SUM = SUM - 1
    endif
  endif
  If I == 57 BREAK
  If K != I goto Wrong
  CALLSUB Deep
  BIG = BIG * 3 + I
  I = I + 1
endwhile
K = I + J + L
ENDP
:Deep
LEVEL = LEVEL + 1
if LEVEL < 5
  CALLSUB Deep
endif
SUM = (SUM * 3 + LEVEL) % 1000003
LEVEL = LEVEL - 1
ENDP
:Wrong
SUM = 0 - 1
ENDP
)";

TEST_F(FusedCode, EveryFormGivesWhatTheRunLoopGives) {
  // Assignments of every inline case (literal, variable, both operand
  // kinds with inline and other operators, chains, code), the block If
  // with else, If with BREAK and goto, While, calls and returns. BIG
  // saturates on the way, D and F hold fractions.
  ExpectSameBothWays(kEveryForm, "Go", {"I", "J", "K", "L", "SUM", "LEVEL", "BIG", "D", "F"});
  EXPECT_EQ(Long("I"), 57);
  EXPECT_EQ(Long("BIG"), 2147483647);
  EXPECT_EQ(rt.run.depth, 0);
}

TEST_F(FusedCode, ContinueGoesBackToTheWhile) {
  ExpectSameBothWays(R"(Data long I 0
Data long N 0
:Initial
ENDP
:Go
while I < 20
  I = I + 1
  If I % 3 == 0 CONTINUE
  N = N + I
endwhile
ENDP
)",
                     "Go", {"I", "N"});
  EXPECT_EQ(Long("N"), 147);
}

TEST_F(FusedCode, ChainsStartingWithALiteralOrReadingAString) {
  // A chain whose first operand is a literal reads it in place; one that
  // reads a string variable (no name-table value) is left to the careful
  // evaluation. Integer operators meet fractions, negatives and saturation.
  ExpectSameBothWays(R"(Data long I 0
Data long X 0
Data long Y 0
Data long Z 0
Data double D 0
Data string S 10
:Initial
ENDP
:Go
S = "5"
while I < 9
  X = (S + I) * 2
  Y = (7 - I) % 3 << 2
  Z = (3000000000 + I) | 0
  D = (0.5 - I) * 3 % 4
  I = I + 1
endwhile
ENDP
)",
                     "Go", {"I", "X", "Y", "Z", "D"});
  EXPECT_EQ(Long("X"), 26);
  EXPECT_EQ(Long("Y"), -4);  // (7 - 8) % 3 is -1, shifted
  EXPECT_EQ(Long("Z"), 2147483647);
  EXPECT_EQ(Double("D"), -2.0);  // -22.5 truncated to -22, % 4
}

TEST_F(FusedCode, IncrementsWrapAndAreSeenByExpressions) {
  ExpectSameBothWays(R"(Data long I 2147483640
Data long N 0
Data double D 0.5
Data string S 10
:Initial
ENDP
:Go
while N < 12
  inc I
  inc D
  inc N
  inc S
  If I < 0 BREAK
endwhile
N = N + I + D
ENDP
)",
                     "Go", {"I", "N", "D", "S"});
  EXPECT_EQ(Long("I"), -2147483647 - 1);
  EXPECT_EQ(Double("D"), 8.5);
  EXPECT_EQ(Long("N"), -2147483631);  // 8 + I + 8.5, truncated toward zero
}

// `V = V + n` on a long adds in whole numbers in the fused code; through 0,
// past the 32-bit limit and with a step that is no whole number it must
// still store what the general assignment stores.
TEST_F(FusedCode, LongStepsMatchTheGeneralAssignment) {
  constexpr std::string_view kSteps = R"(Data long I 2147483637
Data long K -7
Data long M 4
Data long N 0
Data long SEEN 0
Data double D 0
:Initial
ENDP
:Go
while N < 6
  N = N + 1
  K = K + 3
  M = M + 0.5
  D = D + 1
  I = I + 3
  SEEN = SEEN + K * 10
endwhile
ENDP
)";
  ExpectSameBothWays(kSteps, "Go", {"I", "K", "M", "N", "SEEN", "D"});
  EXPECT_EQ(Long("N"), 6);
  EXPECT_EQ(Long("K"), 11);         // -4, -1, 2, 5, 8, 11 (and 0 never hit)
  EXPECT_EQ(Long("SEEN"), 210);     // expressions read each new value
  EXPECT_EQ(Long("M"), 4);          // 4.5 truncates back to 4 every pass
  EXPECT_EQ(Double("D"), 6.0);
  // 2147483637 + 3 * 3 = 2147483646; the fourth step leaves the range and is
  // stored as the general assignment stores it, not wrapped.
  EXPECT_NE(Long("I"), static_cast<std::int32_t>(2147483637u + 18u));

  // A step landing on 0 and a negative step.
  ExpectSameBothWays(R"(Data long K -9
Data long N 0
Data long Z 0
:Initial
ENDP
:Go
while N < 5
  N = N + 1
  K = K + 3
  if K == 0
    Z = Z + 1
  endif
endwhile
K = K + -2
ENDP
)",
                     "Go", {"K", "N", "Z"});
  EXPECT_EQ(Long("K"), 4);
  EXPECT_EQ(Long("Z"), 1);
}

TEST_F(FusedCode, FailuresAreReportedOnTheirOwnLine) {
  // An assignment that starts to fail after some passes, a condition that
  // does, and a call stack that overflows: the run loop reports each with
  // its statement, after the fused passes before it.
  ExpectSameBothWays(R"(Data long I 0
Data long X 0
:Initial
ENDP
:Go
I = 3
while I > -5
  I = I - 1
  X = 12 / I
endwhile
ENDP
)",
                     "Go", {"I", "X"});
  EXPECT_EQ(Long("I"), 0);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(Messages()[0].starts_with("[Error] Line (9) : ")) << Messages()[0];

  ExpectSameBothWays(R"(Data long I 4
:Initial
ENDP
:Go
while 8 / I > 0
  I = I - 1
endwhile
ENDP
)",
                     "Go", {"I"});
  EXPECT_TRUE(Messages().at(0).starts_with("[Error] Line (5) : ")) << Messages()[0];

  ExpectSameBothWays(R"(Data long N 0
:Initial
ENDP
:Go
N = N + 1
CALLSUB Go
ENDP
)",
                     "Go", {"N"});
  EXPECT_EQ(Long("N"), CALL_STACK_MAX + 1);
  EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(FusedCode, TheWaysARunEndsKeepTheirResults) {
  // Going off the end gives 1, a jump beyond it 0, also from fused loops.
  const Strings names = {"X"};
  ExpectSameBothWays("Data long X 0\n:Initial\nENDP\n:Go\nwhile X < 5\nX = X + 1\nendwhile\n", "Go", names);
  EXPECT_EQ(Run("Go"), 0);
  ExpectSameBothWays("Data long X 0\n:Initial\nENDP\n:Go\nX = 1\nX = X + 1\n", "Go", names);
  EXPECT_EQ(Run("Go"), 1);
  ExpectSameBothWays("Data long X 0\n:Initial\nENDP\n:Go\nCALLSUB Last\nX = 7\nENDP\n:Last\nX = 2\nENDP\n",
                     "Go", names);
  EXPECT_EQ(Long("X"), 7);
}

// Sets a break mark on a procedure the first time the dialog opens.
class MarkingDebugger : public DebugDialog {
 public:
  int Open(Runtime& rt, std::int32_t procedure, std::string_view) override {
    stops.push_back(procedure);
    if (mark > 0) rt.program.SetBreakMark(mark, true);
    mark = 0;
    return 1;
  }
  std::vector<std::int32_t> stops;
  std::int32_t mark = 0;
};

TEST_F(FusedCode, ABreakMarkSetWhileStoppedStopsTheFusedLoop) {
  MarkingDebugger debugger;
  rt.debugger = &debugger;
  ASSERT_EQ(Load("Data long I 0\nData long N 0\n:Initial\nENDP\n:Go\nDebug\n"
                 "while I < 4\nI = I + 1\nN = N + I\nendwhile\nENDP\n"),
            1);
  std::int32_t body = 1;
  while (body < rt.program.ProcCount() && rt.program.Proc(body).code != P_DTV_MOVE) ++body;
  ASSERT_LT(body + 1, rt.program.ProcCount());
  // A first run fuses the loop; the dialog of the second run marks its
  // second assignment, which must stop every pass.
  EXPECT_EQ(Run("Go"), 1);
  values::WriteInteger(rt, Index("I"), 0);
  debugger.stops.clear();
  debugger.mark = body + 1;
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(debugger.stops.size(), 5u);
  EXPECT_EQ(std::count(debugger.stops.begin(), debugger.stops.end(), body + 1), 4);
  EXPECT_EQ(Long("N"), 20);
}

TEST_F(FusedCode, RecordsFollowARebuiltNameTable) {
  // A rebuilt table moves every variable's value: records made before it
  // must not read or write the old places.
  ASSERT_EQ(Load("Data long I 0\nData double D 0\n:Initial\nENDP\n:Go\nI = 0\n"
                 "while I < 10\nD = D + I / 2\nI = I + 1\nendwhile\nENDP\n"),
            1);
  EXPECT_EQ(Run("Go"), 1);
  values::BuildNameTable(rt);
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(Double("D"), 45.0);
  EXPECT_EQ(rt.run.fused.statements.size(), static_cast<std::size_t>(rt.program.ProcCount()) + 1);
}

// Conditions of every inline form on negative, zero and positive values:
// If takes a value above zero as true (a negative one is false), while
// any value but zero. Comparisons alone give only 0 and 1, which cannot tell
// those rules apart.
constexpr std::string_view kSignedConditions = R"(Data long N 0
Data long V 0
Data long W -1
Data long Z 0
Data long K 0
Data double D 0
Data double DK 0
Data long A 0
Data long B 0
Data long C 0
Data long E 0
Data long F 0
Data long G 0
Data long H 0
Data long I 0
Data long J 0
Data long T 0
Data long LOOPS 0
Data long LOOPS2 0
Data long LOOPS3 0
Data long LOOPS4 0
Data long LOOPS5 0
:Initial
ENDP
:Go
N = 0
while N < 5
  V = 4
  If N == 0
    V = -3
  endif
  If N == 1
    V = -1
  endif
  If N == 2
    V = 0
  endif
  If N == 3
    V = 1
  endif
  D = V * 0.5
  If V
    A = A + 1
  endif
  If D
    B = B + 1
  endif
  If V - 1
    C = C + 1
  endif
  If V * 2
    E = E + 1
  endif
  If V + W
    F = F + 1
  endif
  If V - W
    G = G + 1
  endif
  If (V + 1) * 2 - 3
    H = H + 1
  else
    H = H + 100
  endif
  If 0 - V
    I = I + 1
  endif
  If -2
    J = J + 1
  endif
  CALLSUB Tails
  K = V
  while K
    LOOPS = LOOPS + 1
    K = K - V / abs(V)
  endwhile
  K = V
  while K * 3
    LOOPS2 = LOOPS2 + 1
    K = K - V / abs(V)
  endwhile
  K = V
  while K + Z
    LOOPS3 = LOOPS3 + 1
    K = K - V / abs(V)
  endwhile
  DK = D
  while DK
    LOOPS4 = LOOPS4 + 1
    DK = DK - D / abs(D) * 0.5
  endwhile
  K = V
  while K - W - 1
    LOOPS5 = LOOPS5 + 1
    If LOOPS5 > 100 BREAK
    K = K - V / abs(V)
  endwhile
  N = N + 1
endwhile
ENDP
:Tails
If V ENDP
T = T + 1
If V - 1 goto Skip
T = T + 10
:Skip
If V * 2 CALLSUB Count
ENDP
:Count
T = T + 1000
ENDP
)";

TEST_F(FusedCode, ConditionsOnNegativeZeroAndPositiveValues) {
  const Strings names = {"A", "B", "C", "E", "F", "G", "H", "I", "J", "T", "LOOPS", "LOOPS2", "LOOPS3", "LOOPS4",
                         "LOOPS5"};
  ExpectSameBothWays(kSignedConditions, "Go", names);
  // V takes -3, -1, 0, 1 and 4 (D half of it); an If holds for a value above zero.
  EXPECT_EQ(Long("A"), 2);    // 1, 4
  EXPECT_EQ(Long("B"), 2);    // 0.5, 2
  EXPECT_EQ(Long("C"), 1);    // V - 1: only 3
  EXPECT_EQ(Long("E"), 2);    // V * 2: 2, 8
  EXPECT_EQ(Long("F"), 1);    // V - 1 again, through a variable
  EXPECT_EQ(Long("G"), 3);    // V + 1: 1, 2, 5
  EXPECT_EQ(Long("H"), 302);  // -7, -3, -1 go to else; 1 and 7 hold
  EXPECT_EQ(Long("I"), 2);    // 0 - V: 3, 1
  EXPECT_EQ(Long("J"), 0);    // a negative literal never holds
  // Tails: If V ENDP returns for 1 and 4; the rest count 1, skip the 10
  // never (V - 1 is not above 0 for -3, -1, 0), call Count never (V * 2 is
  // not above 0 either).
  EXPECT_EQ(Long("T"), 33);
  // A while loop runs while its value is not zero, negative ones included:
  // |V| passes for each V.
  EXPECT_EQ(Long("LOOPS"), 9);
  EXPECT_EQ(Long("LOOPS2"), 9);
  EXPECT_EQ(Long("LOOPS3"), 9);
  EXPECT_EQ(Long("LOOPS4"), 9);
  EXPECT_EQ(Long("LOOPS5"), 9);  // K - W - 1 is K
}

}  // namespace
}  // namespace vx
