// The run loop's directives, driven by scripts through the real loader.
#include "engine/run_loop.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/lifecycle.hpp"
#include "engine/system_variables.hpp"
#include "support/script_fixture.hpp"
#include "text/messages.hpp"
#include "values/values.hpp"

namespace vx {
namespace {

using test::ReadBytes;
using test::WriteBytes;
using Strings = std::vector<std::string>;

class RunLoop : public test::ScriptTest {};

// --- results and the error end of a run ----------------------------------

TEST_F(RunLoop, ResultsOfTheWaysARunEnds) {
  ASSERT_EQ(Load(R"(
Data long X 0
:Initial
ENDP
:OffTheEnd
X = 1
:Jumper
If 0
X = 2
endif
)"), 1);
  EXPECT_EQ(Run("Initial"), 1);     // ENDP at depth 0
  EXPECT_EQ(Run("Jumper"), 0);      // the false If jumps to the end
  EXPECT_EQ(Run("OffTheEnd"), 0);   // runs into Jumper, which jumps out
  EXPECT_EQ(Long("X"), 1);
  EXPECT_EQ(engine::RunFrom(rt, rt.program.ProcCount()), 0);
  EXPECT_EQ(engine::RunFrom(rt, 0), 0);
  EXPECT_EQ(rt.run.depth, 0);
}

TEST_F(RunLoop, RunningOffTheEndAfterAStepIsNormal) {
  ASSERT_EQ(Load("Data long X 0\n:Initial\nENDP\n:Last\nX = 5\n"), 1);
  EXPECT_EQ(Run("Last"), 1);
  EXPECT_EQ(Long("X"), 5);
}

TEST_F(RunLoop, ErrorEndsTheRunShowsTheLineAndKeepsTheProgramInactive) {
  ASSERT_EQ(Load(R"(
Data long X 0
Data long Y 0
:Initial
X = 1
Y = X / 0
X = 2
ENDP
:Later
X = 3
ENDP
)"), 1);
  EXPECT_EQ(Long("X"), 1);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_TRUE(Messages()[0].starts_with("[Error] Line (6) : 計算式エラー [")) << Messages()[0];
  EXPECT_EQ(window.title, "Terminate with error");
  EXPECT_TRUE(rt.error.Raised());
  EXPECT_TRUE(rt.error.Text().empty());
  EXPECT_EQ(Run("Later"), 0);
  EXPECT_EQ(Long("X"), 1);
  EXPECT_EQ(window.messages.size(), 1u);
}

TEST_F(RunLoop, ErrorMessageWithoutStatementText) {
  ASSERT_EQ(Load("[$SRC:12]:Initial\n[$SRC:13]goto Nowhere\n"), 1);
  EXPECT_EQ(Messages(), (Strings{"[Error] Line (13) : 対応するラベルがありません[Nowhere]<3311>"}));
}

// --- assignment -------------------------------------------------------------

TEST_F(RunLoop, AssignmentToVariables) {
  ASSERT_EQ(Load(R"(
Data long L 0
Data long M 0
Data double D 0
Data string S 10
Data string T 100
:Initial
L = 2.9
M = 0 - 2.9
D = 7 / 2
S = "abcdefghijklmnopqrst"
T = "x" + L
T += "y"
ENDP
)"), 1);
  EXPECT_EQ(Long("L"), 2);
  EXPECT_EQ(Long("M"), -2);
  EXPECT_DOUBLE_EQ(Double("D"), 3.5);
  EXPECT_EQ(Text("S"), "abcdefghi");
  EXPECT_EQ(Text("T"), "x2y");
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(RunLoop, LongAssignmentSaturatesAndRefreshesExpressions) {
  ASSERT_EQ(Load(R"(
Data long L 0
Data long K 0
:Initial
ENDP
:Go
L = 3000000000
K = L + 1
ENDP
)"), 1);
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(Long("L"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(Long("K"), std::numeric_limits<std::int32_t>::max());
}

TEST_F(RunLoop, AssignmentToControls) {
  ASSERT_EQ(Load(R"(
MakeEditBox E 0, 0, 10, 10
MakeButton B 0, 0, 10, 10, "caption"
MakeCheckBox C 0, 0, 10, 10
MakePgsBar P 0, 0, 10, 10
MakeTrackBar K 0, 0, 10, 10, 100, 0
Data ClipBoard CB
Data long N 5
:Initial
ENDP
:Go
E = "text " + N
B = "press"
C = 0.5
P = 42.7
K = 0 - 3
CB = "clip"
ENDP
)"), 1);
  auto& e = Attach("E");
  auto& b = Attach("B");
  auto& c = Attach("C");
  auto& p = Attach("P");
  auto& k = Attach("K");
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(e.text, "text 5");
  EXPECT_EQ(b.text, "press");
  EXPECT_FALSE(c.checked);  // 0.5 truncates to 0
  EXPECT_EQ(p.position, 42);
  EXPECT_EQ(k.position, -3);
  EXPECT_EQ(window.clipboard, "clip");
}

TEST_F(RunLoop, ListBoxAssignmentNeedsASelection) {
  ASSERT_EQ(Load(R"(
MakeListBox L 0, 0, 10, 10
:Initial
ENDP
:Go
L = UNDECLARED
ENDP
:Replace
L = "new"
ENDP
)"), 1);
  auto& list = Attach("L");
  list.items = {"a", "b", "c"};
  EXPECT_EQ(Run("Go"), 1);  // nothing selected: the expression is not evaluated
  EXPECT_FALSE(rt.error.Raised());
  list.selection = 1;
  EXPECT_EQ(Run("Replace"), 1);
  EXPECT_EQ(list.items, (Strings{"a", "new", "c"}));
  EXPECT_EQ(list.selection, 1);
}

TEST_F(RunLoop, AssignmentToAFileReplacesItsPath) {
  WriteBytes(dir.Path() / "second.txt", "2nd");
  ASSERT_EQ(Load(R"(
Data FILE F "first.txt"
Data string S 100
:Initial
F = "second.txt"
S = F
ENDP
)"), 1);
  EXPECT_EQ(Text("S"), "second.txt");  // a file term yields its path
  EXPECT_EQ(Text("F"), "2nd");
}

TEST_F(RunLoop, AssignmentToATimerIsRefused) {
  ASSERT_EQ(Load("MakeTimer T 100\n:Initial\nT = 5\n"), 1);
  EXPECT_EQ(Messages(), (Strings{"[Error] Line (3) : 代入文の左辺には指定できません。(T) [ 5]"}));
}

TEST_F(RunLoop, AssignmentTraceNamesTheDestination) {
  ASSERT_EQ(Load("Data long X 0\nData string S 20\n:Initial\nENDP\n:Go\nX = 1\nS = \"a\"\nENDP\n"),
            1);
  rt.run.trace_flags = TRACE_ASSIGNMENTS;
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(Text("G_SYSTEM_LOG"), "X = [new value]\r\nS = [new value]\r\n");
  EXPECT_EQ(Long("X"), 1);
}

// --- lists, copy and append -------------------------------------------------

TEST_F(RunLoop, AddingLinesToAListBox) {
  ASSERT_EQ(Load(R"(
MakeListBox L 0, 0, 10, 10
MakeComboBox C 0, 0, 10, 10
Data string E 10
:Initial
ENDP
:Go
L += "a\r\n\r\nb\r\n"
L += E
C += "x\r\ny"
ENDP
)"), 1);
  auto& list = Attach("L");
  auto& combo = Attach("C");
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(list.items, (Strings{"a", "", "b"}));
  EXPECT_EQ(combo.items, (Strings{"x", "y"}));
}

TEST_F(RunLoop, CopyTextIntoEachKind) {
  ASSERT_EQ(Load(R"(
Data string SRC 100 
Data string NUM 100
Data string SMALL 5
Data long L 0
Data double D 0
MakeCheckBox C 0, 0, 10, 10
MakeListBox LB 0, 0, 10, 10
Data ClipBoard CB
Data FILE F "out.txt"
:Initial
SRC = "hello world"
NUM = "12.5xyz"
ENDP
:Go
TypeTo NUM L
MoveTo NUM D
WriteTo NUM C
TypeTo SRC LB
TypeTo SRC CB
TypeTo SRC F
TypeTo SRC SMALL
ENDP
)"), 1);
  auto& check = Attach("C");
  auto& list = Attach("LB");
  list.items = {"one", "two"};
  list.selection = 0;
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(Long("L"), 12);
  EXPECT_DOUBLE_EQ(Double("D"), 12.5);
  EXPECT_TRUE(check.checked);
  EXPECT_EQ(list.items, (Strings{"hello world", "two"}));
  EXPECT_EQ(window.clipboard, "hello world");
  EXPECT_EQ(ReadBytes(dir.Path() / "out.txt"), "hello world");
  EXPECT_EQ(Text("SMALL"), "hell");
  EXPECT_EQ(Long("G_TRNS_CNT"), 4);  // counted after the cut
}

TEST_F(RunLoop, CopyFileToFile) {
  std::string content;
  for (int i = 0; i < 1000; ++i) content += static_cast<char>(i * 7);
  WriteBytes(dir.Path() / "in.bin", content);
  WriteBytes(dir.Path() / "keep.bin", "precious");
  ASSERT_EQ(Load(R"(
Data FILE IN "in.bin"
Data FILE OUT "out.bin"
Data FILE MISSING "missing.bin"
Data FILE KEEP "keep.bin"
:Initial
ENDP
:Copy
TypeTo IN OUT
ENDP
:Self
TypeTo IN IN
ENDP
:Missing
TypeTo MISSING KEEP
ENDP
)"), 1);
  EXPECT_EQ(Run("Copy"), 1);
  EXPECT_EQ(ReadBytes(dir.Path() / "out.bin"), content);
  EXPECT_EQ(Long("G_TRNS_CNT"), 1000);
  EXPECT_EQ(Long("G_ERROR"), 0);
  EXPECT_EQ(Run("Self"), 1);
  EXPECT_EQ(ReadBytes(dir.Path() / "in.bin"), content);
  EXPECT_EQ(Long("G_TRNS_CNT"), 1000);
  EXPECT_EQ(Run("Missing"), 1);
  EXPECT_EQ(ReadBytes(dir.Path() / "keep.bin"), "precious");
  EXPECT_EQ(Long("G_TRNS_CNT"), 0);
  EXPECT_EQ(Long("G_ERROR"), 1);
}

TEST_F(RunLoop, AppendIntoEachKind) {
  WriteBytes(dir.Path() / "log.txt", "start;");
  WriteBytes(dir.Path() / "part.txt", "part;");
  ASSERT_EQ(Load(R"(
Data string SRC 100
Data string ACC 8
MakeEditBox E 0, 0, 10, 10
MakeListBox LB 0, 0, 10, 10
Data ClipBoard CB
Data FILE LOG "log.txt"
Data FILE PART "part.txt"
:Initial
SRC = "more"
ENDP
:Go
AddTo SRC E
AddTo SRC LB
AddTo SRC ACC
AddTo SRC ACC
AddTo SRC CB
AddTo SRC LOG
AddTo PART LOG
AddTo PART PART
ENDP
)"), 1);
  auto& edit = Attach("E");
  edit.text = "old ";
  auto& list = Attach("LB");
  window.clipboard = "clip ";
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(edit.text, "old more");
  EXPECT_EQ(edit.scrolled_to_end, 1);
  EXPECT_EQ(list.items, (Strings{"more"}));
  EXPECT_EQ(Text("ACC"), "moremor");
  EXPECT_EQ(window.clipboard, "clip more");
  EXPECT_EQ(ReadBytes(dir.Path() / "log.txt"), "start;morepart;");
  EXPECT_EQ(ReadBytes(dir.Path() / "part.txt"), "part;part;");  // doubled once
}

class RecordingPorts : public PortIo {
 public:
  std::string PendingInput(const ResourceEntry&) override { return {}; }
  void Send(const ResourceEntry&, std::string_view bytes) override {
    blocks.emplace_back(bytes);
  }
  Strings blocks;
};

TEST_F(RunLoop, SerialPortsReceiveOnlyWhenOpen) {
  WriteBytes(dir.Path() / "data.bin", std::string(250, 'z'));
  ASSERT_EQ(Load(R"(
Data COM P 1, "9600,N,8,1"
Data FILE F "data.bin"
Data string S 10
:Initial
S = "hi"
ENDP
:Go
P = "assigned"
TypeTo S P
TypeTo F P
ENDP
)"), 1);
  RecordingPorts ports;
  rt.ports = &ports;
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_TRUE(ports.blocks.empty());  // the port is closed
  rt.program.Resource(Index("P")).port_handle = 3;
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(ports.blocks, (Strings{"assigned", "hi", std::string(100, 'z'), std::string(100, 'z'),
                                   std::string(50, 'z')}));
  EXPECT_EQ(Long("G_TRNS_CNT"), 250);
}

// --- files and inc ----------------------------------------------------------

TEST_F(RunLoop, ReadLineByLineUntilTheEnd) {
  WriteBytes(dir.Path() / "lines.txt", "first\r\nsecond line is long\nlast");
  ASSERT_EQ(Load(R"(
Data FILE F "lines.txt"
Data FILE NONE "none.txt"
Data string S 10
Data long L 0
:Initial
ENDP
:Open
OPEN F
ENDP
:Read
ReadLine F S
ENDP
:Close
CLOSE F
ENDP
:OpenNone
OPEN NONE
ENDP
:ReadNone
ReadLine NONE S
ENDP
:ReadLong
ReadLine F L
ENDP
)"), 1);
  Run("Open");
  EXPECT_EQ(Long("G_ERROR"), 0);
  const Strings expected = {"first", "second li", "ne is lon", "g", "last"};
  for (const std::string& line : expected) {
    Run("Read");
    EXPECT_EQ(Text("S"), line);
    EXPECT_EQ(Long("G_ERROR"), 0);
  }
  Run("Read");
  EXPECT_EQ(Text("S"), "");
  EXPECT_EQ(Long("G_ERROR"), 1);
  Run("Close");
  Run("Read");
  EXPECT_EQ(Long("G_ERROR"), 1);  // closed
  Run("Open");                    // opening again starts over
  Run("Read");
  EXPECT_EQ(Text("S"), "first");
  values::SetLong(rt, sysvar::G_ERROR, 7);
  Run("ReadLong");                // not a string variable: nothing read
  EXPECT_EQ(Long("G_ERROR"), 7);
  Run("OpenNone");
  EXPECT_EQ(Long("G_ERROR"), 1);
  Run("ReadNone");
  EXPECT_EQ(Long("G_ERROR"), 1);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(RunLoop, IncrementAddsOneToNumbersOnly) {
  ASSERT_EQ(Load(R"(
Data long L 2147483647
Data double D 1.5
Data string S 10
Data long K 0
:Initial
S = "5"
inc L
inc D
inc S
K = D * 2
ENDP
)"), 1);
  EXPECT_EQ(Long("L"), std::numeric_limits<std::int32_t>::min());
  EXPECT_DOUBLE_EQ(Double("D"), 2.5);
  EXPECT_EQ(Text("S"), "5");
  EXPECT_EQ(Long("K"), 5);  // the expression saw the new value
}

// --- Exit, Debug and the timing trace ----------------------------------------

TEST_F(RunLoop, ExitWithAPathAsksForAChain) {
  ASSERT_EQ(Load(R"(
Data string NEXT 100
:Initial
ENDP
:Go
G_EXIT_CODE = 9
NEXT = "next.vx"
Exit NEXT
G_EXIT_CODE = 1
)"), 1);
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(rt.run.exit_request, EXIT_CHAIN);
  EXPECT_EQ(rt.run.chain_path, "next.vx");
  EXPECT_EQ(rt.program.RscCount(), 0);  // unloaded
  EXPECT_EQ(rt.session.exit_code, 9);
}

TEST_F(RunLoop, ExitWithoutAPathQuits) {
  ASSERT_EQ(Load(":Initial\nG_EXIT_CODE = 3\nExit\n"), 1);
  EXPECT_EQ(rt.run.exit_request, EXIT_QUIT);
  EXPECT_EQ(rt.session.exit_code, 3);
}

TEST_F(RunLoop, ExitWithABadPathExpressionIsAnError) {
  ASSERT_EQ(Load(":Initial\nExit NOSUCH\n"), 1);
  EXPECT_EQ(rt.run.exit_request, EXIT_NONE);
  EXPECT_GT(rt.program.RscCount(), 0);
  EXPECT_EQ(Messages(),
            (Strings{"[Error] Line (2) : 文字列式エラー(対応するリソースがありません[NOSUCH]) [Exit NOSUCH]"}));
}

class RecordingDebugger : public DebugDialog {
 public:
  int Open(Runtime&, std::int32_t procedure, std::string_view text) override {
    calls.emplace_back(std::to_string(procedure) + ":" + std::string(text));
    return answer;
  }
  Strings calls;
  int answer = 1;
};

TEST_F(RunLoop, DebugStatementsOpenTheDialog) {
  RecordingDebugger debugger;
  rt.debugger = &debugger;
  ASSERT_EQ(Load(R"(
Data long X 0
:Initial
ENDP
:Go
Debug first stop
Debug
X = 1
ENDP
)"), 1);
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(debugger.calls, (Strings{"2:first stop", "3:"}));
  rt.run.debug_dialog = false;
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(debugger.calls.size(), 2u);
}

TEST_F(RunLoop, DebugTextIsCut) {
  RecordingDebugger debugger;
  rt.debugger = &debugger;
  ASSERT_EQ(Load(":Initial\nDebug " + std::string(1500, 'd') + "\n"), 1);
  ASSERT_EQ(debugger.calls.size(), 1u);
  EXPECT_EQ(debugger.calls[0], "1:" + std::string(DEBUG_TEXT_MAX, 'd'));
}

TEST_F(RunLoop, QuitInTheDebuggerUnloadsAndQuits) {
  RecordingDebugger debugger;
  debugger.answer = 0;
  rt.debugger = &debugger;
  ASSERT_EQ(Load(":Initial\nG_EXIT_CODE = 4\nDebug stop\nG_EXIT_CODE = 5\n"), 1);
  EXPECT_EQ(rt.run.exit_request, EXIT_QUIT);
  EXPECT_EQ(rt.session.exit_code, 4);
  EXPECT_EQ(rt.program.RscCount(), 0);
}

TEST_F(RunLoop, BreakMarksAndSingleStepsStopBeforeTheProcedure) {
  RecordingDebugger debugger;
  rt.debugger = &debugger;
  ASSERT_EQ(Load("Data long X 0\n:Initial\nENDP\n:Go\nX = 1\nX = 2\nENDP\n"), 1);
  rt.program.SetBreakMark(3, true);
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(debugger.calls, (Strings{"3:"}));
  debugger.calls.clear();
  rt.program.SetBreakMark(3, false);
  rt.run.single_step = true;
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(debugger.calls, (Strings{"2:", "3:", "4:"}));
  debugger.answer = 0;
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(rt.run.exit_request, EXIT_QUIT);
}

TEST_F(RunLoop, EveryPassOfAWhileIsSeenByBreakMarksAndSingleSteps) {
  // The end of a loop tests the condition itself, unless the While is
  // watched: then every pass stops on the While's line as a jump back would.
  RecordingDebugger debugger;
  rt.debugger = &debugger;
  ASSERT_EQ(Load("Data long I 0\n:Initial\nENDP\n:Go\nwhile I < 3\nI = I + 1\nendwhile\nENDP\n"), 1);
  std::int32_t head = 1;
  while (head < rt.program.ProcCount() && rt.program.Proc(head).code != P_DTV_WHILE) ++head;
  ASSERT_LT(head, rt.program.ProcCount());
  const std::string at_head = std::to_string(head) + ":";
  const std::string in_body = std::to_string(head + 1) + ":";
  const std::string at_end = std::to_string(head + 2) + ":";
  const std::string after = std::to_string(head + 3) + ":";
  rt.program.SetBreakMark(head, true);
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(debugger.calls, (Strings{at_head, at_head, at_head, at_head}));
  EXPECT_EQ(Long("I"), 3);
  debugger.calls.clear();
  rt.program.SetBreakMark(head, false);
  values::WriteInteger(rt, rt.program.FindResource("I"), 1);
  rt.run.single_step = true;
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(debugger.calls, (Strings{at_head, in_body, at_end, at_head, in_body, at_end, at_head, after}));
}

TEST_F(RunLoop, AWhileConditionFailingOnALaterPassNamesTheWhile) {
  ASSERT_EQ(Load(R"(Data long I 0
Data long D 2
:Initial
while 10 / D > 0
  D = D - 1
endwhile
I = 9
ENDP
)"), 1);
  EXPECT_EQ(Long("D"), 0);
  EXPECT_EQ(Long("I"), 0);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_TRUE(Messages()[0].starts_with("[Error] Line (4) : 計算式エラー [")) << Messages()[0];
}

TEST_F(RunLoop, BoundAssignmentsFollowTheTablesAndTheTrace) {
  // After its first run an assignment stores through its bound destination;
  // a rebuilt name table, and the assignment trace, must still be honoured.
  ASSERT_EQ(Load("Data long I 0\nData double D 0\n:Initial\nENDP\n:Go\nI = I + 1\nD = I / 4\nENDP\n"), 1);
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(Long("I"), 2);
  EXPECT_EQ(Double("D"), 0.5);
  values::BuildNameTable(rt);
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(Long("I"), 4);
  EXPECT_EQ(Double("D"), 1.0);  // read through the rebuilt table's value of I
  rt.run.trace_flags = TRACE_ASSIGNMENTS;
  EXPECT_EQ(Run("Go"), 1);
  EXPECT_EQ(Text("G_SYSTEM_LOG"), "I = [new value]\r\nD = [new value]\r\n");
  EXPECT_EQ(Double("D"), 1.25);
}

TEST_F(RunLoop, BoundLongAssignmentsTruncateAndSaturateAsTheGeneralPath) {
  // The bound store keeps a whole number's value as it came; everything
  // else must still be truncated toward zero, saturated, NaN made 0 and a
  // negative zero made +0, in the long and in the value expressions read.
  ASSERT_EQ(Load("Data long L 0\nData double X 0\nData double D 0\n:Initial\nENDP\n"
                 ":Go\nL = X\nD = L\nENDP\n"),
            1);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double given;
    std::int32_t stored;
  } cases[] = {{7, 7},
               {2.9, 2},
               {-2.9, -2},
               {-0.5, 0},
               {-0.0, 0},
               {2147483647.5, 2147483647},
               {2147483648.0, 2147483647},
               {-2147483648.0, std::numeric_limits<std::int32_t>::min()},
               {-2147483648.5, std::numeric_limits<std::int32_t>::min()},
               {3e9, std::numeric_limits<std::int32_t>::max()},
               {-3e9, std::numeric_limits<std::int32_t>::min()},
               {nan, 0},
               {-7, -7}};
  for (const auto& c : cases) {
    for (int pass = 0; pass < 2; ++pass) {  // the second pass stores through the binding
      values::WriteDouble(rt, Index("X"), c.given);
      EXPECT_EQ(Run("Go"), 1);
      EXPECT_EQ(Long("L"), c.stored) << c.given;
      EXPECT_EQ(Double("D"), c.stored) << c.given;
      EXPECT_EQ(std::signbit(Double("D")), c.stored < 0) << c.given;
    }
  }
}

TEST_F(RunLoop, TimingTraceWritesOneLinePerProcedureUpToTheLimit) {
  ASSERT_EQ(Load("Data long X 0\n:Initial\nENDP\n:Go\nX = 1\nX = 2\nENDP\n"), 1);
  rt.run.timing_trace = true;
  EXPECT_EQ(Run("Go"), 1);
  const std::string trace = ReadBytes(dir.Path() / "debug00.trace.txt");
  ASSERT_EQ(std::count(trace.begin(), trace.end(), '\n'), 3);
  EXPECT_EQ(trace.substr(0, 2), "2 ");
  EXPECT_NE(trace.find("\r\n3 "), std::string::npos);
  EXPECT_EQ(trace.substr(trace.size() - 2), "\r\n");
  rt.run.timing_lines = TIMING_TRACE_LINES_MAX - 1;
  EXPECT_EQ(Run("Go"), 1);
  const std::string more = ReadBytes(dir.Path() / "debug00.trace.txt");
  EXPECT_EQ(std::count(more.begin(), more.end(), '\n'), 4);
}

}  // namespace
}  // namespace vx
