#include "engine/loader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "api/api_table.hpp"
#include "engine/runtime.hpp"
#include "engine/script_input.hpp"
#include "engine/system_variables.hpp"
#include "support/fake_window_system.hpp"
#include "text/messages.hpp"
#include "values/expression.hpp"

namespace vx {
namespace {

constexpr std::int32_t FIRST_USER = SYSTEM_VARIABLE_COUNT;

std::string Repeat(std::string_view line, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out.append(line).append("\n");
  return out;
}

class LoaderTest : public ::testing::Test {
 protected:
  CompileStatus Compile(std::string_view script) {
    window.messages.clear();
    BeginProgram(rt);
    ScriptInput input = ScriptInput::FromBytes(std::string(script), false);
    return CompileScript(rt, input);
  }
  // Compiles and expects no message at all.
  void CompileOk(std::string_view script) {
    EXPECT_EQ(Compile(script), CompileStatus::kCompiled);
    EXPECT_EQ(window.messages, std::vector<std::string>{});
  }
  // Compiles and expects exactly one "Line (n) : message [line]" box. The
  // number defaults to the physical line (from 1) of the last occurrence of
  // `line` in a source without markers.
  void CompileFails(std::string_view script, std::string_view message, std::string_view line,
                    std::optional<long> line_number = std::nullopt) {
    EXPECT_EQ(Compile(script), CompileStatus::kFailed);
    const long number = line_number ? *line_number : PhysicalLineOf(script, line);
    EXPECT_EQ(window.messages, std::vector<std::string>{LineError(message, line, number)});
  }
  static long PhysicalLineOf(std::string_view script, std::string_view line) {
    const std::size_t at = script.rfind(line);
    if (at == std::string_view::npos) return 0;
    return 1 + static_cast<long>(std::count(script.begin(), script.begin() + at, '\n'));
  }
  static std::string LineError(std::string_view message, std::string_view line, long number = 0) {
    return "[Error] Line (" + std::to_string(number) + ") : " + std::string(message) + " [" +
           std::string(line) + "]";
  }
  static std::string Text(msg::Id id) { return std::string(msg::Text(id)); }

  std::string Prepared(std::string_view expression) {
    std::string text(expression);
    EXPECT_TRUE(expr::PrepareExpression(rt, text));
    return text;
  }

  const Procedure& Proc(std::int32_t index) { return rt.program.Proc(index); }
  const ResourceEntry& Rsc(std::int32_t index) { return rt.program.Resource(index); }
  std::int32_t Count() { return rt.program.ProcCount(); }
  std::int32_t Label(std::string_view name) {
    for (std::int32_t i = 0; i < rt.program.LblCount(); ++i) {
      if (rt.program.LabelAt(i).Name() == name) return i;
    }
    return -1;
  }

  test::FakeWindowSystem window;
  Runtime rt{window};
};

// ---------------------------------------------------------------------------
// Lines, comments and continuation

TEST_F(LoaderTest, CommentIsCutBeforeTheExpression) {
  CompileOk("Data long A 0\nData string S 100\nA = 1 // note\nS = \"http://x\" + \"//\" // c\n");
  EXPECT_EQ(Proc(1).code, P_DTV_MOVE);
  EXPECT_EQ(Proc(1).b, FIRST_USER);
  EXPECT_EQ(Proc(1).text, Prepared("1 "));
  EXPECT_NE(Proc(1).expression, nullptr);
  // A text target keeps the expression as written, the blank before the
  // comment included; "//" inside quotes is text.
  EXPECT_EQ(Proc(2).text, " \"http://x\" + \"//\" ");
  EXPECT_EQ(Proc(2).expression, nullptr);
}

TEST_F(LoaderTest, ShiftJisTrailBackslashDoesNotContinue) {
  CompileOk("Debug \x83\x5C\nDebug next\n");
  ASSERT_EQ(Count(), 3);
  EXPECT_EQ(Proc(1).text, "\x83\x5C");
  EXPECT_EQ(Proc(2).text, "next");
}

TEST_F(LoaderTest, ContinuationLinesJoin) {
  CompileOk("Data string A 10\nData string B 10\nData string C 10\nA = B + \\\nC\n");
  ASSERT_EQ(Count(), 2);
  EXPECT_EQ(Proc(1).text, " B + C");
  // Comments are cut on each piece; a continuation at the end of the input
  // still ends its logical line.
  CompileOk("Debug one \\ // c1\ntwo \\\t\n  three");
  ASSERT_EQ(Count(), 2);
  EXPECT_EQ(Proc(1).text, "one two   three");
}

TEST_F(LoaderTest, ContinuationTooLongStops) {
  const std::string piece = "Debug " + std::string(2000, 'x') + "\\";
  const std::string last = std::string(200, 'y');
  CompileFails(piece + "\n" + piece + "\n" + last + "\nDebug never\n", Text(msg::Id::kLineTooLong),
               last);
  EXPECT_EQ(Count(), 1);
}

TEST_F(LoaderTest, TabsCrLfAndLongLines) {
  CompileOk("Debug\ta\t\"b\tc\"\r\nDebug " + std::string(3000, 'z') + "\r\n");
  EXPECT_EQ(Proc(1).text, "a \"b\tc\"");
  EXPECT_EQ(Proc(2).text.size(), 2039u - 6u);  // the physical line was cut at 2039 bytes
}

TEST_F(LoaderTest, LineMarkersNumberRecordsAndMessages) {
  CompileFails("[$SRC:12]Debug a\nDebug b\n[$SRC:40]A = 1\n", Text(msg::Id::kNotAResource),
               "A = 1", 40);
  EXPECT_EQ(Proc(1).line, 12);
  EXPECT_EQ(Proc(2).line, 12);  // unmarked lines keep the number
  EXPECT_EQ(Proc(3).line, 40);
}

// ---------------------------------------------------------------------------
// Selecting the statement kind

TEST_F(LoaderTest, KeywordsIgnoreCase) {
  CompileOk("if 1\nIF 1\nENDIF\nendif\nWHILE 1\nBreak\nEndWhile\nendp\nENDP\nrEtSyS\n");
  EXPECT_EQ(Proc(1).code, P_DTV_IF);
  EXPECT_EQ(Proc(2).code, P_DTV_IF);
  EXPECT_EQ(Proc(3).code, P_DTV_WHILE);
  EXPECT_EQ(Proc(4).code, P_DTV_BREAK);
  EXPECT_EQ(Proc(5).code, P_DTV_ENDWHILE);
  EXPECT_EQ(Proc(6).code, P_DTV_ENDP);
  EXPECT_EQ(Proc(7).code, P_DTV_ENDP);
  EXPECT_EQ(Proc(8).code, P_DTV_RETSYS);
}

TEST_F(LoaderTest, WithoutMarkersStatementsCarryTheirPhysicalLine) {
  CompileOk("Data long A 0\r\n:Initial\r\n\r\nA = 1\r\nA = 1 + \\\r\n  2\r\nDebug x\r\n");
  ASSERT_EQ(Count(), 4);
  EXPECT_EQ(Proc(1).line, 4);
  EXPECT_EQ(Proc(2).line, 6);  // a continued statement: its last line
  EXPECT_EQ(Proc(3).line, 7);
  EXPECT_EQ(Rsc(FIRST_USER).line, 1);
}

TEST_F(LoaderTest, OneMarkerAnywhereMeansMarkedNumbers) {
  CompileOk("Data long A 0\n:Initial\nA = 1\n[$SRC:20]A = 2\nA = 3\n");
  ASSERT_EQ(Count(), 4);
  EXPECT_EQ(Proc(1).line, 0);  // before the first marker
  EXPECT_EQ(Proc(2).line, 20);
  EXPECT_EQ(Proc(3).line, 20);
  EXPECT_EQ(Rsc(FIRST_USER).line, 0);
  // A load error before the marker names line 0, as the marked numbering says.
  CompileFails("Data long A 0\nA = 1)\n[$SRC:9]Debug x\n", Text(msg::Id::kExpressionError), "A = 1)",
               0);
}

TEST_F(LoaderTest, WordThatBeginsWithAKeywordIsUnknown) {
  EXPECT_EQ(Compile("Debug a\n[$SRC:3]endifx\nDebug b\n"), CompileStatus::kUnknownDirective);
  EXPECT_EQ(window.messages,
            std::vector<std::string>{"[msg] Line (3) : unknown directive [endifx]"});
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(Compile("A == 1\n"), CompileStatus::kUnknownDirective);  // a comparison
  EXPECT_EQ(window.messages, std::vector<std::string>{"[msg] Line (1) : unknown directive [A]"});
}

TEST_F(LoaderTest, AssignmentsComeBeforeKeywords) {
  CompileOk("Data long goto 0\nData long If 0\ngoto = 1\nIf=2\ngoto+=3\nIf += 4\n");
  for (std::int32_t p = 1; p <= 4; ++p) EXPECT_EQ(Proc(p).code, P_DTV_MOVE) << p;
  EXPECT_EQ(Proc(1).b, FIRST_USER);
  EXPECT_EQ(Proc(2).b, FIRST_USER + 1);
  EXPECT_EQ(Proc(3).text, Prepared("goto+(3)"));
  EXPECT_EQ(Proc(4).text, Prepared("If+( 4)"));
  CompileFails("goto = 1\n", Text(msg::Id::kNotAResource), "goto = 1");
  EXPECT_EQ(Proc(1).code, P_DTV_MOVE);  // still compiled, with operand 0
  EXPECT_EQ(Proc(1).b, 0);
}

TEST_F(LoaderTest, ConfigLinesAndBlankLinesAreSkipped) {
  CompileOk("$CONFIG_TITTLE:0\n  \n\t\nxx$CONFIG_yy anything\n// only a comment\n");
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(Compile("$config_TITTLE:0\n"), CompileStatus::kUnknownDirective);  // exact case
}

// ---------------------------------------------------------------------------
// Limits

TEST_F(LoaderTest, ProcedureLimit) {
  CompileOk(Repeat("ENDP", PROCEDURE_MAX - 1));
  EXPECT_EQ(Count(), PROCEDURE_MAX);
  EXPECT_EQ(Compile(Repeat("ENDP", PROCEDURE_MAX)), CompileStatus::kFailed);
  EXPECT_EQ(window.messages, std::vector<std::string>{"[Error] gProcCount beyond PROCEDURE_MAX [1255]"});
  EXPECT_EQ(Count(), PROCEDURE_MAX);
}

TEST_F(LoaderTest, ResourceLimit) {
  std::string script;
  for (int i = FIRST_USER; i < RESOURCE_MAX; ++i) script += "Data long V" + std::to_string(i) + " 0\n";
  CompileOk(script);
  EXPECT_EQ(rt.program.RscCount(), RESOURCE_MAX);
  EXPECT_EQ(Compile(script + "Data long Extra 0\n"), CompileStatus::kFailed);
  EXPECT_EQ(window.messages, std::vector<std::string>{"[Error] gRscCount beyond RESOURCE_MAX [1249]"});
}

TEST_F(LoaderTest, LabelLimit) {
  std::string script;
  for (int i = 0; i < LABEL_MAX; ++i) script += ":L" + std::to_string(i) + "\n";
  CompileOk(script);
  EXPECT_EQ(rt.program.LblCount(), LABEL_MAX);
  EXPECT_EQ(Compile(script + "// any line\n"), CompileStatus::kFailed);
  EXPECT_EQ(window.messages, std::vector<std::string>{"[Error] gLblCount beyond LABEL_MAX [1261]"});
}

TEST_F(LoaderTest, NamesOf31And32Bytes) {
  const std::string n31(31, 'n');
  const std::string n32(32, 'm');
  CompileOk("Data long " + n31 + " 5\n:" + n31 + "\ngoto " + n31 + "\n");
  EXPECT_EQ(Rsc(FIRST_USER).Name(), n31);
  EXPECT_EQ(Rsc(FIRST_USER).long_value, 5);
  EXPECT_EQ(rt.program.LabelAt(0).Name(), n31);
  EXPECT_EQ(rt.program.LabelAt(0).entry, 1);

  CompileFails("Data long " + n32 + " 5\n", Text(msg::Id::kResourceNameTooLong),
               "Data long " + n32 + " 5");
  EXPECT_EQ(rt.program.RscCount(), FIRST_USER);
  CompileFails("MakeButton " + n32 + " 1,2,3,4\n", Text(msg::Id::kResourceNameTooLong),
               "MakeButton " + n32 + " 1,2,3,4");
  CompileFails(":" + n32 + "\n", Text(msg::Id::kLabelTooLong), ":" + n32);
  EXPECT_EQ(rt.program.LblCount(), 0);
  // A reference that long is refused too, rather than cut to a shorter name.
  CompileFails(":" + n31 + "\ngoto " + n31 + "m\n", Text(msg::Id::kLabelTooLong),
               "goto " + n31 + "m");
}

TEST_F(LoaderTest, IfNestingLimit) {
  CompileOk(Repeat("If 1", 100) + Repeat("endif", 100));
  CompileFails(Repeat("If 1", 101) + Repeat("endif", 101), Text(msg::Id::kIfNestTooDeep), "If 1");
  CompileOk(Repeat("while 1", 100) + Repeat("endwhile", 100));
  CompileFails(Repeat("while 1", 101), Text(msg::Id::kWhileNestTooDeep), "while 1");
}

// ---------------------------------------------------------------------------
// Declarations

TEST_F(LoaderTest, FirstUserDeclarationIsIndex70) {
  CompileOk("Data ClipBoard Clip\nData long L 1\n");
  EXPECT_EQ(rt.program.FindResource("Clip"), 70);
  EXPECT_EQ(Rsc(70).kind, R_KD_VAL_CLIPBD);
  EXPECT_EQ(Rsc(70).created, 1);
  EXPECT_EQ(rt.program.FindResource("L"), 71);
  EXPECT_EQ(Rsc(sysvar::G_ERROR).Name(), "G_ERROR");
}

TEST_F(LoaderTest, DataStringCapacities) {
  CompileOk(
      "Data string A 0\nData string B 500000\nData string C 100, value_size\n"
      "Data string D -5\nData STRING E 131072\nData string F 20*2\n");
  EXPECT_EQ(Rsc(70).capacity, 1024);
  EXPECT_EQ(Rsc(70).text_capacity, 1024);
  EXPECT_EQ(Rsc(71).capacity, 131072);
  EXPECT_EQ(Rsc(72).capacity, 100);
  EXPECT_EQ(Rsc(72).flags, FLAG_VALUE_SIZE);
  EXPECT_EQ(Rsc(73).capacity, 1024);
  EXPECT_EQ(Rsc(74).capacity, 131072);
  EXPECT_EQ(Rsc(75).capacity, 40);
  EXPECT_EQ(Rsc(70).Text(), "");
  for (std::int32_t i = 0; i < 100; ++i) ASSERT_EQ(Rsc(72).text[i], '\0');
  CompileFails("Data string S\n", Text(msg::Id::kIntParamMissing), "Data string S");
}

TEST_F(LoaderTest, DataStringQuotedInitialText) {
  CompileOk("Data string S \"ab\\x41\\n\" , Value_Size // c\nData string T \"\"\n");
  EXPECT_EQ(Rsc(70).Text(), "abA\n");
  EXPECT_EQ(Rsc(70).capacity, 9);  // eight bytes between the quotes + 1
  EXPECT_EQ(Rsc(70).flags, FLAG_VALUE_SIZE);
  EXPECT_EQ(Rsc(71).capacity, 1);
  EXPECT_EQ(Rsc(71).flags, 0u);
}

TEST_F(LoaderTest, DataOtherKinds) {
  CompileOk(
      "Data long L 6/4, \"%05d\"\nData double D 1.5\nData FILE F \"C:\\\\dir\\\\a.txt\"\n"
      "Data COM P 3, \"9600,n,8,1\", \"even 2STOP dtr_on\"\nData ClipBoard C\n"
      "Data nothing X 1\nData long M -7\n");
  EXPECT_EQ(Rsc(70).kind, R_KD_VAL_LONG);
  EXPECT_EQ(Rsc(70).long_value, 1);
  EXPECT_EQ(Rsc(70).Text(), "%05d");
  EXPECT_EQ(Rsc(70).text_capacity, 5);
  EXPECT_EQ(Rsc(71).kind, R_KD_VAL_DOUBLE);
  EXPECT_DOUBLE_EQ(Rsc(71).double_value, 1.5);
  EXPECT_EQ(Rsc(71).text, nullptr);
  EXPECT_EQ(Rsc(72).kind, R_KD_FILE);
  EXPECT_EQ(Rsc(72).Text(), "C:\\dir\\a.txt");
  EXPECT_EQ(Rsc(72).capacity, 2049);
  EXPECT_EQ(Rsc(73).kind, R_KD_COM);
  EXPECT_EQ(Rsc(73).long_value, 3);
  EXPECT_EQ(Rsc(73).port_handle, -1);
  EXPECT_EQ(Rsc(73).Text(), "9600,n,8,1");
  EXPECT_EQ(Rsc(73).capacity, 2049);
  EXPECT_EQ(Rsc(73).flags, 1u | 4u | 32u);
  EXPECT_EQ(Rsc(74).kind, R_KD_VAL_CLIPBD);
  EXPECT_EQ(rt.program.FindResource("X"), -1);  // an unknown type is ignored
  EXPECT_EQ(Rsc(75).Name(), "M");
  EXPECT_EQ(Rsc(75).long_value, -7);
}

TEST_F(LoaderTest, DataErrors) {
  CompileFails("Data long\n", Text(msg::Id::kTooFewWords), "Data long");
  CompileFails("Data FILE F\n", Text(msg::Id::kInvalidFileName), "Data FILE F");
  CompileFails("Data FILE F \"\"\n", Text(msg::Id::kInvalidFileName), "Data FILE F \"\"");
  CompileFails("Data long L\n", Text(msg::Id::kIntParamMissing), "Data long L");
  CompileFails("Data double D\n", Text(msg::Id::kParamMissing), "Data double D");
  CompileFails("Data COM P 1\n", Text(msg::Id::kParamMissing), "Data COM P 1");
  CompileFails("Data long L Nope\n", Text(msg::Id::kExpressionError), "Data long L Nope");
}

TEST_F(LoaderTest, DuplicateNameIsReportedButAdded) {
  CompileFails("Data long A 1\nData string A 10\nDebug never\n", Text(msg::Id::kDuplicateResource),
               "Data string A 10");
  EXPECT_EQ(rt.program.RscCount(), FIRST_USER + 2);
  EXPECT_EQ(Rsc(71).kind, R_KD_VAL_TXT);
  EXPECT_EQ(rt.program.FindResource("A"), FIRST_USER);  // the first one is found
  EXPECT_EQ(Count(), 1);                                 // the load stopped at that line
}

TEST_F(LoaderTest, ControlDeclarations) {
  CompileOk(
      "MakeButton B 1, 2, 30, 40, \"OK\"\nMakeTrackBar T 0,0,9,9, -3, 5\n"
      "MakeScrollBar S 0,0,9,9, 50, 1\nMakeTextBox X 0,0,9,9, 7, 9\nMakeEditBox E 0,0,9,9\n"
      "MakeListBox L 0,0,9,9, -2\nMakeComboBox C 0,0,9,9, 3\nMakePgsBar P 0,0,9,9, 2\n"
      "MakePWBox W 0,0,9,9\nMakeCheckBox K 0,0,9,9\nMakeRadioButton1 R1 0,0,9,9,\"a\"\n"
      "MakeRadioButton R2 0,0,9,9\nMakeTimer TM 250\nmakesteptimer ST 10*2\n");
  const ResourceEntry& b = Rsc(70);
  EXPECT_EQ(b.kind, R_KD_BUTTON);
  EXPECT_EQ(b.x, 1);
  EXPECT_EQ(b.y, 2);
  EXPECT_EQ(b.width, 30);
  EXPECT_EQ(b.height, 40);
  EXPECT_EQ(b.Text(), "OK");
  EXPECT_EQ(b.capacity, 3);
  EXPECT_EQ(Rsc(71).kind, R_KD_TRACK_BAR);
  EXPECT_EQ(Rsc(71).capacity, 1);  // a maximum below 1 is raised to 1
  EXPECT_EQ(Rsc(71).option, 5u);
  EXPECT_EQ(Rsc(72).capacity, 50);
  EXPECT_EQ(Rsc(73).kind, R_KD_TEXTBOX);
  EXPECT_EQ(Rsc(73).option, 7u);
  EXPECT_EQ(Rsc(73).size, 6);  // clamped to 0..6
  EXPECT_EQ(Rsc(74).option, 0u);
  EXPECT_EQ(Rsc(74).size, 0);
  EXPECT_EQ(Rsc(75).size, 0);
  EXPECT_EQ(Rsc(76).kind, R_KD_CMB_BOX);
  EXPECT_EQ(Rsc(76).size, 3);
  EXPECT_EQ(Rsc(77).option, 2u);
  EXPECT_EQ(Rsc(78).kind, R_KD_PW_BOX);
  EXPECT_EQ(Rsc(79).kind, R_KD_CK_BOX);
  EXPECT_EQ(Rsc(79).Text(), "");
  EXPECT_EQ(Rsc(80).kind, R_KD_RDO_BTN1);
  EXPECT_EQ(Rsc(80).Text(), "a");
  EXPECT_EQ(Rsc(81).kind, R_KD_RDO_BTN);
  EXPECT_EQ(Rsc(82).kind, R_KD_TIMER);
  EXPECT_EQ(Rsc(82).long_value, 250);
  EXPECT_EQ(Rsc(83).kind, R_KD_STEPTIMER);
  EXPECT_EQ(Rsc(83).long_value, 20);
  EXPECT_EQ(Rsc(83).step_count, 0);
}

TEST_F(LoaderTest, ControlDeclarationErrors) {
  CompileFails("MakeButton\n", Text(msg::Id::kTooFewWords), "MakeButton");
  CompileFails("MakeTimer T\n", Text(msg::Id::kTooFewWords), "MakeTimer T");
  CompileFails("MakeButton B 1,2,3\n", Text(msg::Id::kIntParamMissing), "MakeButton B 1,2,3");
  EXPECT_EQ(rt.program.FindResource("B"), FIRST_USER);  // still added
  CompileFails("MakeTrackBar T 1,2,3,4,5\n", Text(msg::Id::kIntParamMissing),
               "MakeTrackBar T 1,2,3,4,5");
}

// ---------------------------------------------------------------------------
// Labels

TEST_F(LoaderTest, LabelsAndReferences) {
  CompileOk("goto Foo\n:foo\nCALLSUB foo\n:Bar\n:Baz\nENDP\n");
  const std::int32_t foo_upper = Label("Foo");
  const std::int32_t foo = Label("foo");
  ASSERT_GE(foo_upper, 0);
  EXPECT_EQ(rt.program.LabelAt(foo_upper).entry, 0);  // names are exact at load
  EXPECT_EQ(rt.program.LabelAt(foo).entry, 2);
  EXPECT_EQ(Proc(1).code, P_DTV_GOTO);
  EXPECT_EQ(Proc(1).target, foo_upper);
  EXPECT_EQ(Proc(2).code, P_DTV_CALLSUB);
  EXPECT_EQ(Proc(2).target, foo);
  EXPECT_EQ(rt.program.LabelAt(Label("Bar")).entry, 3);
  EXPECT_EQ(rt.program.LabelAt(Label("Baz")).entry, 3);
  // goto without a label is dropped silently.
  CompileOk("goto\nCALLSUB   \n");
  EXPECT_EQ(Count(), 1);
}

TEST_F(LoaderTest, LabelErrors) {
  CompileFails(":A\nENDP\n:A\n", msg::Format(msg::Id::kLabelRedefined, "A"), ":A");
  EXPECT_EQ(rt.program.LabelAt(0).entry, 1);  // the first definition stands
  CompileFails(":\n", Text(msg::Id::kLabelBlank), ":");
  CompileFails("If 1 goto \n", Text(msg::Id::kLabelBlank), "If 1 goto ");
}

// ---------------------------------------------------------------------------
// If, while and blocks

TEST_F(LoaderTest, IfTails) {
  CompileOk(
      "If 1 goto L\nIf 2 callsub L extra\nIf 3 EndP\nwhile 1\nIf 4 break\nIf 5 CONTINUE\n"
      "endwhile\nIf ENDPOS > 3\nendif\nIf 6 BREAKS\nendif\nIf 7gotoX\nendif\n");
  const std::int32_t l = Label("L");
  EXPECT_EQ(Proc(1).b, IF_TAIL_GOTO);
  EXPECT_EQ(Proc(1).target, l);
  EXPECT_EQ(Proc(1).text, Prepared(" 1"));
  EXPECT_EQ(Proc(2).b, IF_TAIL_CALLSUB);
  EXPECT_EQ(Proc(2).target, l);
  EXPECT_EQ(Proc(2).text, Prepared(" 2"));
  EXPECT_EQ(Proc(3).b, IF_TAIL_ENDP);
  EXPECT_EQ(Proc(5).b, IF_TAIL_BREAK);
  EXPECT_EQ(Proc(5).a, 0);
  EXPECT_EQ(Proc(5).target, 8);  // after the endwhile
  EXPECT_EQ(Proc(6).b, IF_TAIL_CONTINUE);
  EXPECT_EQ(Proc(6).target, 4);
  // A tail keyword must be a word of its own: these are block Ifs.
  EXPECT_EQ(Proc(8).b, IF_TAIL_BLOCK);
  EXPECT_EQ(Proc(8).text, Prepared(" ENDPOS > 3"));
  EXPECT_EQ(Proc(9).b, IF_TAIL_BLOCK);
  EXPECT_EQ(Proc(10).b, IF_TAIL_BLOCK);
  EXPECT_NE(Proc(1).expression, nullptr);
}

TEST_F(LoaderTest, IfTailErrors) {
  CompileFails("If 1 BREAK\n", Text(msg::Id::kUnexpectedBreak), "If 1 BREAK");
  CompileFails("If 1 continue\n", Text(msg::Id::kUnexpectedContinue), "If 1 continue");
  CompileFails("If 1)\nendif\n", Text(msg::Id::kExpressionError), "If 1)");
  CompileFails("while (1))\nendwhile\n", Text(msg::Id::kExpressionError), "while (1))");
}

TEST_F(LoaderTest, BlockAddressing) {
  CompileOk(
      "If 1\n"          // 1
      "Debug a\n"       // 2
      "else\n"          // 3
      "Debug b\n"       // 4
      "endif\n"         // -
      "while 2\n"       // 5
      "break\n"         // 6
      "continue\n"      // 7
      "while 3\n"       // 8
      "break\n"         // 9
      "endwhile\n"      // 10
      "endwhile\n"      // 11
      "If 4\n"          // 12
      "endif\n");
  EXPECT_EQ(Proc(1).b, IF_TAIL_BLOCK);
  EXPECT_EQ(Proc(1).target, 4);
  EXPECT_EQ(Proc(3).code, P_DTV_ELSE_IF);
  EXPECT_EQ(Proc(3).target, 5);
  EXPECT_EQ(Proc(5).code, P_DTV_WHILE);
  EXPECT_EQ(Proc(5).text, Prepared(" 2"));
  EXPECT_EQ(Proc(5).target, 12);
  EXPECT_EQ(Proc(6).b, 0);
  EXPECT_EQ(Proc(6).target, 12);
  EXPECT_EQ(Proc(7).code, P_DTV_CONTINUE);
  EXPECT_EQ(Proc(7).b, 0);
  EXPECT_EQ(Proc(7).target, 5);
  EXPECT_EQ(Proc(9).b, 1);
  EXPECT_EQ(Proc(9).target, 11);
  EXPECT_EQ(Proc(10).target, 8);
  EXPECT_EQ(Proc(11).code, P_DTV_ENDWHILE);
  EXPECT_EQ(Proc(11).target, 5);
  EXPECT_EQ(Proc(12).target, 13);  // the end of the program
}

TEST_F(LoaderTest, UnclosedAndMisplacedBlocks) {
  CompileFails("while 1\nIf 1\nDebug x\n", msg::Format(msg::Id::kIfNotClosed, 2L), "Debug x");
  CompileFails("while 1\n", msg::Format(msg::Id::kWhileNotClosed, 1L), "while 1");
  CompileFails("else\n", Text(msg::Id::kUnexpectedElse), "else");
  CompileFails("endif\n", Text(msg::Id::kUnexpectedEndif), "endif");
  CompileFails("endwhile\n", Text(msg::Id::kUnexpectedEndwhile), "endwhile");
  CompileFails("break\n", Text(msg::Id::kUnexpectedBreak), "break");
  CompileFails("continue\n", Text(msg::Id::kUnexpectedContinue), "continue");
}

// ---------------------------------------------------------------------------
// Other statements

TEST_F(LoaderTest, RecordsOfEachStatementKind) {
  CompileOk(
      "Data FILE F \"a.txt\"\nData string S 100\nMakeListBox LB 0,0,9,9\nData double D 0\n"
      "MakeButton B 0,0,9,9\n"
      "On B\n"                        // event entry = 1
      "OPEN F\n"                      // 1
      "ReadLine F S\n"                // 2
      "CLOSE F extra words\n"         // 3
      "TypeTo S B\n"                  // 4
      "WriteTo S B\n"                 // 5
      "MoveTo S B\n"                  // 6
      "AddTo S LB\n"                  // 7
      "inc D\n"                       // 8
      "CALL strlen  U_STR1, G_WORK1\n"  // 9
      "CALLS   \"strlen \" + S\n"     // 10
      "gotosl \"L\"\n"                // 11
      "CALLSUBS S\n"                  // 12
      "  Exit \"next.vx\"\n"          // 13
      "Debug\n"                       // 14
      "Debug  look here\n"            // 15
      "S += \"x\"\n"                  // 16
      "LB += \"item\"\n"              // 17
      "D += 2\n"                      // 18
      "B = \"caption\"\n");           // 19
  const std::int32_t f = 70, s = 71, lb = 72, d = 73, b = 74;
  EXPECT_EQ(Rsc(b).event_entry, 1);
  EXPECT_EQ(Proc(1).code, P_DTV_OPEN);
  EXPECT_EQ(Proc(1).a, f);
  EXPECT_EQ(Proc(2).code, P_DTV_RD_LINE);
  EXPECT_EQ(Proc(2).a, f);
  EXPECT_EQ(Proc(2).b, s);
  EXPECT_EQ(Proc(3).code, P_DTV_CLOSE);
  EXPECT_EQ(Proc(3).a, f);
  for (std::int32_t p : {4, 5, 6}) {
    EXPECT_EQ(Proc(p).code, P_DTV_OVR_WRT);
    EXPECT_EQ(Proc(p).a, s);
    EXPECT_EQ(Proc(p).b, b);
  }
  EXPECT_EQ(Proc(7).code, P_DTV_TRN_ADD);
  EXPECT_EQ(Proc(7).b, lb);
  EXPECT_EQ(Proc(8).code, P_DTV_INC);
  EXPECT_EQ(Proc(8).a, d);
  const auto strlen_api = api::LookupApi("strlen");
  ASSERT_TRUE(strlen_api);
  EXPECT_EQ(Proc(9).code, P_DTV_CALL);
  EXPECT_EQ(Proc(9).a, strlen_api->id);
  EXPECT_EQ(Proc(9).b, strlen_api->position);
  EXPECT_EQ(Proc(9).text, "U_STR1, G_WORK1");
  EXPECT_EQ(Proc(10).code, P_DTV_CALLS);
  EXPECT_EQ(Proc(10).text, "\"strlen \" + S");
  EXPECT_EQ(Proc(11).code, P_DTV_GOTOSL);
  EXPECT_EQ(Proc(11).text, " \"L\"");
  EXPECT_EQ(Proc(12).code, P_DTV_CALLSUBS);
  EXPECT_EQ(Proc(12).text, " S");
  EXPECT_EQ(Proc(13).code, P_DTV_EXIT);
  EXPECT_EQ(Proc(13).text, "Exit \"next.vx\"");
  EXPECT_EQ(Proc(14).code, P_DTV_DEBUG);
  EXPECT_TRUE(Proc(14).has_text);
  EXPECT_EQ(Proc(14).text, "");
  EXPECT_EQ(Proc(15).text, "look here");
  EXPECT_EQ(Proc(16).code, P_DTV_MOVE);
  EXPECT_EQ(Proc(16).b, s);
  EXPECT_EQ(Proc(16).text, "S+ \"x\"");
  EXPECT_EQ(Proc(17).code, P_DTV_LIST_ADD);
  EXPECT_EQ(Proc(17).b, lb);
  EXPECT_EQ(Proc(17).text, " \"item\"");
  EXPECT_EQ(Proc(18).code, P_DTV_MOVE);
  EXPECT_EQ(Proc(18).text, Prepared("D+( 2)"));
  EXPECT_EQ(Proc(19).b, b);
  EXPECT_EQ(Proc(19).text, " \"caption\"");
  // No markers: each record carries its physical line (six lines before the
  // first statement).
  for (std::int32_t p = 1; p < Count(); ++p) EXPECT_EQ(Proc(p).line, p + 6);
}

TEST_F(LoaderTest, StatementErrors) {
  CompileFails("Data FILE F \"a\"\nF += \"x\"\n", Text(msg::Id::kFileOnLeft), "F += \"x\"");
  CompileFails("Data long A 0\nA = 1)\n", Text(msg::Id::kExpressionError), "A = 1)");
  CompileFails("On\n", Text(msg::Id::kParamsTooFew), "On");
  CompileFails("On Nowhere\n", Text(msg::Id::kNoLinkResource), "On Nowhere");
  CompileFails("OPEN\n", Text(msg::Id::kParamsTooFew), "OPEN");
  CompileFails("OPEN X\n", Text(msg::Id::kNoFileResource), "OPEN X");
  EXPECT_EQ(Proc(1).code, P_DTV_OPEN);  // compiled with operand 0
  CompileFails("CLOSE X\n", Text(msg::Id::kNoFileResource), "CLOSE X");
  CompileFails("inc X\n", Text(msg::Id::kNoResource), "inc X");
  CompileFails("ReadLine X\n", Text(msg::Id::kParamsTooFew), "ReadLine X");
  CompileFails("Data FILE F \"a\"\nReadLine X U_STR1\n", Text(msg::Id::kNoFileResource),
               "ReadLine X U_STR1");
  CompileFails("Data FILE F \"a\"\nReadLine F Y\n", Text(msg::Id::kNoResource), "ReadLine F Y");
  CompileFails("TypeTo U_STR1\n", Text(msg::Id::kParamsTooFew), "TypeTo U_STR1");
  CompileFails("AddTo U_STR1 Q\n", Text(msg::Id::kNoResource), "AddTo U_STR1 Q");
  CompileFails("CALL NoSuchApi 1\n", Text(msg::Id::kNoSuchFunction), "CALL NoSuchApi 1");
  CompileFails("CALL STRLEN x\n", Text(msg::Id::kNoSuchFunction), "CALL STRLEN x");
  CompileFails("CALL\n", Text(msg::Id::kNoSuchFunction), "CALL");
}

TEST_F(LoaderTest, FailedLoadKeepsWhatWasCompiledAndTheErrorFlag) {
  CompileFails("Debug a\nDebug b\nA = 1\nDebug c\n", Text(msg::Id::kNotAResource), "A = 1");
  EXPECT_EQ(Count(), 4);
  EXPECT_TRUE(rt.error.Raised());
  EXPECT_EQ(rt.error.Text(), "");
  // The next compile starts clean.
  CompileOk("Debug a\n");
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(LoaderTest, SystemVariablesComeFromTheStartupState) {
  rt.startup.command_line = "a b c";
  rt.startup.program_dir = "/opt/vx/";
  rt.startup.current_dir = "/home/u";
  CompileOk("");
  EXPECT_EQ(Rsc(sysvar::G_CMD_LINE).Text(), "a b c");
  EXPECT_EQ(Rsc(sysvar::G_MODULE_DIR).Text(), "/opt/vx/");
  EXPECT_EQ(Rsc(sysvar::G_CURRENT_DIR).Text(), "/home/u");
}

TEST_F(LoaderTest, ScrambledScriptCompilesLikeItsPlainText) {
  const std::string plain = "Data long A 0\r\nA = 1 // c\r\nIf A goto X\r\n:X\r\nENDP\r\n";
  CompileOk(plain);
  const std::string plain_text = Proc(1).text;
  window.messages.clear();
  BeginProgram(rt);
  ScriptInput input = ScriptInput::FromBytes(ScrambleScript(plain), true);
  EXPECT_EQ(CompileScript(rt, input), CompileStatus::kCompiled);
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(Count(), 4);
  EXPECT_EQ(Proc(1).text, plain_text);
  EXPECT_EQ(rt.program.LabelAt(0).entry, 3);
}

}  // namespace
}  // namespace vx
