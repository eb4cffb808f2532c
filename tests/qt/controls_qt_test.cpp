// Declared controls as real widgets: creation, values, notifications,
// timers and the control APIs, on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTableWidget>
#include <QTest>

#include "engine/dialogs.hpp"
#include "engine/run_loop.hpp"
#include "engine/runtime.hpp"
#include "engine/startup.hpp"
#include "engine/system_variables.hpp"
#include "host/controls.hpp"
#include "host/timers.hpp"
#include "qt/controls.hpp"
#include "qt/debugger.hpp"
#include "qt/window_system.hpp"
#include "support/script_fixture.hpp"
#include "text/encoding.hpp"
#include "values/values.hpp"

namespace vx::test {
namespace {

class QtControlsTest : public ::testing::Test {
 protected:
  QtControlsTest() {
    main.resize(800, 600);
    window.SetControls(&controls);
    window.SetMainWindow(&main);
    rt.controls = &controls;
  }
  ~QtControlsTest() override {
    controls.DestroyAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  int Load(std::string_view utf8_source) {
    WriteBytes(dir.Path() / "controls.vx", text::Utf8ToCp932(utf8_source));
    return engine::ReloadScript(rt, dir.Sjis() + "/controls.vx");
  }
  std::int32_t Index(std::string_view name) {
    const std::int32_t index = rt.program.FindResource(name);
    EXPECT_GE(index, 0) << name;
    return index;
  }
  const ResourceEntry& Entry(std::string_view name) { return rt.program.Resource(Index(name)); }
  template <typename W>
  W* Widget(std::string_view name) {
    W* w = qobject_cast<W*>(controls.Widget(Entry(name).window));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  std::string Text(std::string_view name) {
    std::string buffer;
    return std::string(values::ReadAsText(rt, Index(name), buffer));
  }
  std::int32_t Long(std::string_view name) { return values::ReadAsInteger(rt, Index(name)); }
  // Runs a script line from a label named Do, as an event would.
  void Call(std::string_view label) {
    const std::int32_t l = rt.program.FindLabelAtRunTime(label);
    ASSERT_GE(l, 0) << label;
    EngineLockGuard guard(rt.run.lock);
    engine::RunFrom(rt, rt.program.LabelAt(l).entry);
  }

  TempDirectory dir;
  QWidget main;
  qt::QtWindowSystem window{true};
  Runtime rt{window};
  qt::QtControls controls{rt};
};

constexpr std::string_view kEveryKind = R"(MakeButton B 10, 20, 100, 40, "0123456789"
MakePWBox P 10, 70, 120, 24
MakeTextBox T 10, 100, 120, 30, 1
MakeEditBox E 150, 10, 200, 100
MakeListBox L 150, 120, 120, 80
MakeCheckBox C 300, 120, 100, 20, "Check"
MakeRadioButton1 R1 300, 150, 100, 20, "one"
MakeRadioButton R2 300, 170, 100, 20
MakeComboBox CB 400, 10, 120, 100
MakePgsBar PG 400, 200, 120, 20
MakeTrackBar TB 400, 230, 120, 30, 50, 1
MakeScrollBar SB 400, 270, 120, 20, 100, 0
:Initial
)";

TEST_F(QtControlsTest, EveryKindIsCreatedInOrderAtItsPositionWithItsFont) {
  ASSERT_EQ(Load(kEveryKind), 1);
  struct Expect {
    const char* name;
    int id;
    QRect geometry;
    int font;  // 0: not set by the control layer
  };
  const Expect expected[] = {
      {"B", 1, {10, 20, 100, 40}, 16},   {"P", 2, {10, 70, 120, 24}, 16},
      {"T", 3, {10, 100, 120, 30}, 16},  {"E", 4, {150, 10, 200, 100}, 0},
      {"L", 5, {150, 120, 120, 80}, 14}, {"C", 6, {300, 120, 100, 20}, 14},
      {"R1", 7, {300, 150, 100, 20}, 14}, {"R2", 8, {300, 170, 100, 20}, 14},
      {"CB", 9, {400, 10, 120, 100}, 14}, {"PG", 10, {400, 200, 120, 20}, 0},
      {"TB", 11, {400, 230, 120, 30}, 0}, {"SB", 12, {400, 270, 120, 20}, 0},
  };
  for (const Expect& e : expected) {
    const ResourceEntry& entry = Entry(e.name);
    EXPECT_EQ(entry.item_id, e.id) << e.name;
    QWidget* w = controls.Widget(entry.window);
    ASSERT_NE(w, nullptr) << e.name;
    EXPECT_EQ(w->parentWidget(), &main) << e.name;
    EXPECT_EQ(w->objectName(), qt::ControlObjectName(e.id)) << e.name;
    EXPECT_EQ(w->geometry(), e.geometry) << e.name;
    if (e.font != 0) {
      EXPECT_EQ(w->font().pixelSize(), e.font) << e.name;
    }
  }
  EXPECT_EQ(Widget<QLineEdit>("P")->echoMode(), QLineEdit::Password);
  EXPECT_TRUE(Widget<QLineEdit>("T")->isReadOnly());
  EXPECT_TRUE(Widget<QComboBox>("CB")->isEditable());
  EXPECT_EQ(Widget<QSlider>("TB")->orientation(), Qt::Vertical);
  EXPECT_EQ(Widget<QSlider>("TB")->maximum(), 50);
  EXPECT_EQ(Widget<QScrollBar>("SB")->orientation(), Qt::Horizontal);
  EXPECT_EQ(Widget<QScrollBar>("SB")->maximum(), 100);
  // A radio button without a caption shows its name.
  EXPECT_EQ(Widget<QRadioButton>("R2")->text(), QStringLiteral("R2"));
}

TEST_F(QtControlsTest, FontsFollowCaptionLengthSizeAndFontCode) {
  ASSERT_EQ(Load(R"(MakeButton LONG 0, 0, 100, 40, "0123456789"
MakeButton EMPTY 0, 50, 100, 40
MakeButton SHORT 0, 100, 200, 80, "OK"
MakeTextBox BIG 0, 200, 100, 30, 0, 5
MakeListBox L 0, 300, 100, 100
:Initial
CALL SetFontSize L, 6
)"),
            1);
  EXPECT_EQ(Widget<QPushButton>("LONG")->font().pixelSize(), 16);  // min(40, 25) = 25
  EXPECT_EQ(Widget<QPushButton>("EMPTY")->font().pixelSize(), 12);
  EXPECT_EQ(Widget<QPushButton>("EMPTY")->text(), QStringLiteral("EMPTY"));
  EXPECT_EQ(Widget<QPushButton>("SHORT")->font().pixelSize(), 64);  // min(80, 250)
  EXPECT_EQ(Widget<QLineEdit>("BIG")->font().pixelSize(), 32);      // font code 5
  EXPECT_EQ(Widget<QListWidget>("L")->font().pixelSize(), 64);
  EXPECT_EQ(host::FontPixelsForSize(21), 12);
  EXPECT_EQ(host::FontPixelsForSize(22), 14);
  EXPECT_EQ(host::FontPixelsForSize(31), 16);
  EXPECT_EQ(host::FontPixelsForSize(39), 24);
  EXPECT_EQ(host::FontPixelsForSize(71), 32);
  EXPECT_EQ(host::FontPixelsForCode(3), 16);
}

TEST_F(QtControlsTest, ValuesReadAndWriteEachKind) {
  ASSERT_EQ(Load(std::string(kEveryKind) + R"(B = "Go"
P = "secret"
E = "line1"
U_STR1 = "\r\nline2"
AddTo U_STR1 E
L += "a\r\n\r\nb\r\n"
C = 1
R1 = 1
CB = "typed"
CB += "x"
TB = 30
SB = 40
U_STR2 = "55"
TypeTo U_STR2 PG
)"),
            1);
  values::WriteDouble(rt, Index("T"), 2.5);
  EXPECT_EQ(Widget<QPushButton>("B")->text(), QStringLiteral("Go"));
  EXPECT_EQ(Text("P"), "secret");
  EXPECT_EQ(Text("T"), "2.500000");
  EXPECT_EQ(Widget<QPlainTextEdit>("E")->toPlainText(), QStringLiteral("line1\nline2"));
  EXPECT_EQ(Text("E"), "line1\r\nline2");
  ASSERT_EQ(Widget<QListWidget>("L")->count(), 3);
  EXPECT_EQ(Widget<QListWidget>("L")->item(1)->text(), QString());
  EXPECT_EQ(Text("L"), "");  // nothing selected
  rt.window->SetListSelection(Entry("L"), 2);
  EXPECT_EQ(Text("L"), "b");
  EXPECT_EQ(Long("C"), 1);
  EXPECT_TRUE(Widget<QCheckBox>("C")->isChecked());
  EXPECT_EQ(Text("R1"), "1");
  EXPECT_EQ(Text("R2"), "0");
  EXPECT_EQ(Text("CB"), "typed");
  EXPECT_EQ(Widget<QComboBox>("CB")->count(), 1);
  EXPECT_EQ(Long("TB"), 30);
  EXPECT_EQ(Long("SB"), 40);
  EXPECT_EQ(Widget<QProgressBar>("PG")->value(), 55);
  // Checking the second radio button of the group clears the first.
  values::WriteInteger(rt, Index("R2"), 1);
  EXPECT_EQ(Long("R1"), 0);
  values::WriteInteger(rt, Index("R2"), 0);
  EXPECT_EQ(Long("R2"), 0);
  // Japanese text survives the trip through the widget.
  values::WriteText(rt, Index("T"), text::Utf8ToCp932("日本語"));
  EXPECT_EQ(Widget<QLineEdit>("T")->text(), QStringLiteral("日本語"));
  EXPECT_EQ(Text("T"), text::Utf8ToCp932("日本語"));
}

constexpr std::string_view kNotifying = R"(Data long HITS 0
Data long INFO -99
MakeButton B 0, 0, 80, 30, "Hit"
MakeCheckBox C 0, 40, 80, 20, "Check"
MakeListBox L 100, 0, 100, 100
MakeComboBox CB 220, 0, 100, 100
MakeScrollBar SB 0, 200, 200, 20, 100, 0
MakeScrollBar SBT 0, 230, 200, 20, 100, 2
MakeTrackBar TB 0, 260, 200, 30, 10, 0
:Initial
L += "zero\r\none\r\ntwo\r\n"
CB += "red\r\ngreen\r\n"
ENDP
On B
HITS = HITS + 1
ENDP
On C
HITS = HITS + 10
ENDP
On L
HITS = HITS + 1
INFO = G_INFO
ENDP
On CB
HITS = HITS + 1
ENDP
On SB
HITS = HITS + 1
INFO = G_INFO
ENDP
On SBT
HITS = HITS + 1
INFO = G_INFO
ENDP
On TB
HITS = HITS + 1
INFO = G_INFO
ENDP
)";

TEST_F(QtControlsTest, ClicksRunTheLabelsOnlyWhileEventsAreEnabled) {
  ASSERT_EQ(Load(kNotifying), 1);
  QTest::mouseClick(Widget<QPushButton>("B"), Qt::LeftButton);
  EXPECT_EQ(Long("HITS"), 1);
  QTest::mouseClick(Widget<QCheckBox>("C"), Qt::LeftButton);
  EXPECT_EQ(Long("HITS"), 11);
  EXPECT_EQ(Long("C"), 1);
  rt.session.events_enabled = false;
  QTest::mouseClick(Widget<QPushButton>("B"), Qt::LeftButton);
  EXPECT_EQ(Long("HITS"), 11);
  rt.session.events_enabled = true;
  // While the engine runs a label the click waits in the queue.
  {
    EngineLockGuard busy(rt.run.lock);
    QTest::mouseClick(Widget<QPushButton>("B"), Qt::LeftButton);
  }
  EXPECT_EQ(Long("HITS"), 11);
  EXPECT_EQ(rt.session.pending_labels.Count(), 1);
}

TEST_F(QtControlsTest, ListSelectionAndDoubleClickSetInfo) {
  ASSERT_EQ(Load(kNotifying), 1);
  QListWidget* list = Widget<QListWidget>("L");
  list->show();
  const QRect row = list->visualItemRect(list->item(1));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
  EXPECT_EQ(Long("INFO"), 0);
  EXPECT_EQ(Long("HITS"), 1);
  EXPECT_EQ(Text("L"), "one");
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
  EXPECT_EQ(Long("INFO"), 1);
  // A selection the script makes raises nothing.
  const std::int32_t hits = Long("HITS");
  rt.window->SetListSelection(Entry("L"), 2);
  EXPECT_EQ(Long("HITS"), hits);
}

// Enter chooses the selected entry as a double click does; without a
// selected entry, or with a modifier, it is an ordinary key.
TEST_F(QtControlsTest, EnterOnASelectedListEntryCountsAsADoubleClick) {
  ASSERT_EQ(Load(kNotifying), 1);
  QListWidget* list = Widget<QListWidget>("L");
  list->show();
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(Long("HITS"), 0);
  const QRect row = list->visualItemRect(list->item(2));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
  ASSERT_EQ(Long("HITS"), 1);
  EXPECT_EQ(Long("INFO"), 0);
  QTest::keyClick(list, Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(Long("HITS"), 1);
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(Long("HITS"), 2);
  EXPECT_EQ(Long("INFO"), 1);
  QTest::keyClick(list, Qt::Key_Up);
  EXPECT_EQ(Long("INFO"), 0);
  QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(Long("INFO"), 1);
  EXPECT_EQ(Text("L"), "one");
}

TEST_F(QtControlsTest, ComboSelectionIsCopiedIntoTheEditField) {
  ASSERT_EQ(Load(kNotifying), 1);
  QComboBox* combo = Widget<QComboBox>("CB");
  combo->setEditText(QStringLiteral("typed"));
  combo->setCurrentIndex(1);
  Q_EMIT combo->activated(1);
  EXPECT_EQ(Long("HITS"), 1);
  EXPECT_EQ(Text("CB"), "green");
}

TEST_F(QtControlsTest, ScrollBarLineAndPageCodesLeaveTheThumb) {
  ASSERT_EQ(Load(kNotifying), 1);
  QScrollBar* bar = Widget<QScrollBar>("SB");
  bar->setValue(50);
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(Long("INFO"), -1);
  EXPECT_EQ(bar->value(), 50);
  bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(Long("INFO"), 1);
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(Long("INFO"), 2);
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(Long("INFO"), -2);
  EXPECT_EQ(bar->value(), 50);
  EXPECT_EQ(Long("SB"), 50);
  EXPECT_EQ(Long("HITS"), 4);
  // Dragging moves the thumb; without style bit 1 only the release reports.
  bar->setSliderDown(true);
  bar->setSliderPosition(70);
  EXPECT_EQ(bar->value(), 70);
  EXPECT_EQ(Long("HITS"), 4);
  bar->setSliderDown(false);
  EXPECT_EQ(Long("HITS"), 5);
  EXPECT_EQ(Long("INFO"), 0);
  EXPECT_EQ(Long("SB"), 70);
  // Focus goes back to the main window.
  EXPECT_TRUE(main.hasFocus() || QApplication::focusWidget() == nullptr ||
              QApplication::focusWidget() == &main);
}

TEST_F(QtControlsTest, DraggingReportsOnlyWithStyleBitOne) {
  ASSERT_EQ(Load(kNotifying), 1);
  QScrollBar* tracking = Widget<QScrollBar>("SBT");
  tracking->setSliderDown(true);
  tracking->setSliderPosition(30);
  EXPECT_EQ(Long("INFO"), 10);
  EXPECT_EQ(Long("HITS"), 1);
  EXPECT_EQ(Long("SBT"), 30);
  tracking->setSliderDown(false);
  EXPECT_EQ(Long("INFO"), 0);
  EXPECT_EQ(Long("HITS"), 2);

  QSlider* slider = Widget<QSlider>("TB");
  slider->setSliderDown(true);
  slider->setSliderPosition(4);
  slider->setSliderPosition(6);
  EXPECT_EQ(Long("HITS"), 2);  // no bit 1: nothing while dragging
  slider->setSliderDown(false);
  EXPECT_EQ(Long("HITS"), 3);
  EXPECT_EQ(Long("INFO"), 0);
  EXPECT_EQ(Long("TB"), 6);
  // A slider follows its line steps itself, and the label sees the new position.
  slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(Long("INFO"), -1);
  EXPECT_EQ(Long("TB"), 7);
}

TEST_F(QtControlsTest, TimersTakeIdentifiersFromTwoInDeclarationOrder) {
  ASSERT_EQ(Load(R"(MakeTimer T1 100
MakeListBox L 0, 0, 100, 100
MakeTimer T2 200
:Initial
)"),
            1);
  EXPECT_EQ(Entry("T1").timer_id, 2);
  EXPECT_EQ(Entry("T2").timer_id, 3);
  EXPECT_EQ(Entry("L").item_id, 1);
  EXPECT_TRUE(controls.Timers().Running(2));
  EXPECT_TRUE(controls.Timers().Running(3));
  // Unloading stops them and removes the widgets.
  ASSERT_EQ(Load(":Initial\n"), 1);
  EXPECT_EQ(controls.Timers().Count(), 0u);
}

TEST_F(QtControlsTest, TimerLabelsRunOnlyWhenTheEngineIsFree) {
  ASSERT_EQ(Load(R"(Data long N 0
MakeTimer T 50
:Initial
ENDP
On T
N = N + 1
ENDP
)"),
            1);
  host::OnTimer(rt, Entry("T").timer_id);
  EXPECT_EQ(Long("N"), 1);
  {
    EngineLockGuard busy(rt.run.lock);
    host::OnTimer(rt, Entry("T").timer_id);
  }
  EXPECT_EQ(Long("N"), 1);
  EXPECT_EQ(rt.session.pending_labels.Count(), 0);  // dropped, never queued
  // Timers fire from the event loop too.
  QTest::qWait(200);
  EXPECT_GE(Long("N"), 2);
}

TEST_F(QtControlsTest, StepTimerRunsStepsThenItsOwnLabel) {
  ASSERT_EQ(Load(R"(Data string TRAIL 200
MakeStepTimer ST 100000
:Initial
ENDP
:ST1
TRAIL = TRAIL + "1"
ENDP
:ST2
TRAIL = TRAIL + "2"
ENDP
:ST
TRAIL = TRAIL + "S"
ENDP
:Reset
CALL CtrlStepTimer ST, 2, 1, U_V1
ENDP
)"),
            1);
  const std::int32_t id = Entry("ST").timer_id;
  for (int i = 0; i < 4; ++i) host::OnTimer(rt, id);
  EXPECT_EQ(Text("TRAIL"), "12SS");
  EXPECT_EQ(Entry("ST").step_count, 4);
  // Busy at a step: the same step is tried again next time.
  Call("Reset");
  EXPECT_EQ(Long("U_V1"), 1);
  {
    EngineLockGuard busy(rt.run.lock);
    host::OnTimer(rt, id);
  }
  EXPECT_EQ(Entry("ST").step_count, 1);
  host::OnTimer(rt, id);
  EXPECT_EQ(Text("TRAIL"), "12SS2");
  EXPECT_EQ(host::ApplyStepOperation(5, 1, 3), 8);
  EXPECT_EQ(host::ApplyStepOperation(5, 3, 3), 0);
  EXPECT_EQ(host::ApplyStepOperation(5, 9, 3), 5);
}

TEST_F(QtControlsTest, ListApisDeleteInsertClearAndSelect) {
  ASSERT_EQ(Load(R"(Data long SEL -5
MakeListBox L 0, 0, 100, 100
MakeComboBox CB 120, 0, 100, 100
MakeButton B 0, 120, 50, 20
:Initial
L += "a\r\nb\r\nc\r\n"
CB += "x\r\ny\r\n"
ENDP
:DelNoSel
CALL ListBSelDel L
ENDP
:SelectB
CALL ListBSelChg L, 1
CALL GetListCurSel L, SEL
ENDP
:DelSel
CALL ListBSelDel L
ENDP
:DelFirst
CALL ListBSelDel L, 0
ENDP
:Insert
CALL ListBInsert L, "new"
ENDP
:ClearCombo
CALL ListBClr CB
ENDP
:WrongKind
CALL ListBSelChg B, 0
ENDP
)"),
            1);
  QListWidget* list = Widget<QListWidget>("L");
  Call("DelNoSel");
  EXPECT_EQ(Long("G_ERROR"), 1);
  EXPECT_EQ(list->count(), 3);
  Call("SelectB");
  EXPECT_EQ(Long("SEL"), 1);
  Call("DelSel");
  EXPECT_EQ(Long("G_ERROR"), 0);
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(1)->text(), QStringLiteral("c"));
  Call("Insert");  // nothing selected now: at the end
  EXPECT_EQ(list->item(2)->text(), QStringLiteral("new"));
  rt.window->SetListSelection(Entry("L"), 0);
  Call("Insert");
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("new"));
  Call("DelFirst");
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("a"));
  Call("ClearCombo");
  EXPECT_EQ(Widget<QComboBox>("CB")->count(), 0);
  Call("WrongKind");
  EXPECT_EQ(Long("G_ERROR"), 1);
}

TEST_F(QtControlsTest, LoadAndExportListFiles) {
  WriteBytes(dir.Path() / "items.txt", "one\r\ntwo\nthree");
  ASSERT_EQ(Load(R"(MakeListBox L 0, 0, 100, 100
:Initial
L += "old\r\n"
ENDP
:Append
CALL LoadListBox L, "items.txt", 1
ENDP
:Replace
CALL LoadListBox L, "items.txt", 0
ENDP
:Missing
CALL LoadListBox L, "none.txt", 1
ENDP
:Export
CALL ExpListBox "out.txt", L
ENDP
)"),
            1);
  QListWidget* list = Widget<QListWidget>("L");
  Call("Append");
  EXPECT_EQ(Long("G_TRNS_CNT"), 3);
  ASSERT_EQ(list->count(), 4);
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("old"));
  EXPECT_EQ(list->item(3)->text(), QStringLiteral("three"));
  Call("Replace");
  EXPECT_EQ(list->count(), 3);
  Call("Missing");
  EXPECT_EQ(Long("G_TRNS_CNT"), 0);
  EXPECT_EQ(list->count(), 3);
  Call("Export");
  EXPECT_EQ(Long("G_TRNS_CNT"), 3);
  EXPECT_EQ(ReadBytes(dir.Path() / "out.txt"), "one\r\ntwo\r\nthree\r\n");
}

TEST_F(QtControlsTest, EditGetSelSelectsAndReadsBytes) {
  ASSERT_EQ(Load(R"(Data string OUT 100
MakeEditBox E 0, 0, 200, 100
MakeTextBox T 0, 120, 100, 20
:Initial
E = "ab日本\r\ncd"
ENDP
:Select
CALL EditGetSel E, OUT, 2, 6
ENDP
:Read
CALL EditGetSel E, OUT, 0, 0
ENDP
:Beyond
CALL EditGetSel E, OUT, 9, 40
ENDP
:NotEdit
CALL EditGetSel T, OUT, 0, 1
ENDP
)"),
            1);
  Call("Select");
  EXPECT_EQ(Long("G_ERROR"), 0);
  EXPECT_EQ(Long("G_WORK1"), 2);
  EXPECT_EQ(Long("G_WORK2"), 6);
  EXPECT_EQ(Text("OUT"), text::Utf8ToCp932("日本"));
  Call("Read");  // the selection stays
  EXPECT_EQ(Text("OUT"), text::Utf8ToCp932("日本"));
  Widget<QPlainTextEdit>("E")->moveCursor(QTextCursor::End);
  Call("Read");
  EXPECT_EQ(Long("G_ERROR"), 1);  // empty selection
  Call("Beyond");
  EXPECT_EQ(Long("G_WORK1"), 9);
  EXPECT_EQ(Long("G_WORK2"), 10);
  EXPECT_EQ(Long("G_ERROR"), 0);
  EXPECT_EQ(Text("OUT"), "d");
  Call("NotEdit");
  EXPECT_EQ(Long("G_ERROR"), 1);
}

TEST_F(QtControlsTest, SetFocusMovesTheKeyboardFocusBetweenControls) {
  ASSERT_EQ(Load(R"(MakeEditBox E 0, 0, 200, 100
MakeButton B 0, 120, 100, 30, "OK"
Data long N 0
:Initial
ENDP
:ToEdit
G_ERROR = 1
CALL SetFocus E
N = G_ERROR
ENDP
:ToButton
CALL SetFocus B
ENDP
:ToNumber
CALL SetFocus N
N = G_ERROR
ENDP
)"),
            1);
  main.show();
  Call("ToEdit");
  EXPECT_EQ(Long("N"), 0);
  EXPECT_EQ(main.focusWidget(), Widget<QPlainTextEdit>("E"));
  Call("ToButton");
  EXPECT_EQ(main.focusWidget(), Widget<QPushButton>("B"));
  Call("ToNumber");
  EXPECT_EQ(Long("N"), 1);
  EXPECT_EQ(main.focusWidget(), Widget<QPushButton>("B"));
}

TEST_F(QtControlsTest, RscCtrlOperations) {
  ASSERT_EQ(Load(R"(MakeTextBox T 0, 0, 100, 20
MakeScrollBar SB 0, 40, 200, 20, 100, 0
MakeListBox L 0, 80, 100, 100
:Initial
ENDP
:Ops
CALL RscCtrl T, -1, 30, 40
CALL RscCtrl L, -2, 150, 60
CALL RscCtrl SB, 10, 0, 0
CALL RscCtrl T, -4, 0xFF0000, 0x00FF00
CALL RscCtrl T, -6, 3, 0
CALL RscCtrl L, -5, 0, 0
CALL RscCtrl L, -4, 1, 2
ENDP
:Hide
CALL RscCtrl T, -3, 0, 0
ENDP
)"),
            1);
  main.show();
  Call("Ops");
  EXPECT_EQ(Long("G_ERROR"), 0);
  QLineEdit* edit = Widget<QLineEdit>("T");
  EXPECT_EQ(edit->pos(), QPoint(30, 40));
  EXPECT_EQ(Widget<QListWidget>("L")->size(), QSize(150, 60));
  EXPECT_EQ(Widget<QListWidget>("L")->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(Widget<QScrollBar>("SB")->maximum(), 91);  // 100 - 10 + 1
  EXPECT_EQ(Widget<QScrollBar>("SB")->pageStep(), 10);
  EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(255, 0, 0));
  EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(0, 255, 0));
  EXPECT_NE(Entry("T").option & host::STYLE_CUSTOM_COLOURS, 0u);
  EXPECT_EQ(Entry("L").option & host::STYLE_CUSTOM_COLOURS, 0u);
  // The limit counts Shift-JIS bytes of what a person types.
  edit->setFocus();
  QTest::keyClicks(edit, QStringLiteral("abcd"));
  EXPECT_EQ(edit->text(), QStringLiteral("abc"));
  Call("Hide");
  EXPECT_FALSE(edit->isVisible());
}

}  // namespace
}  // namespace vx::test

namespace vx::test {
namespace {

// Answers like a person who always picks the given replies.
class ScriptedDialogs : public host::DialogHost {
 public:
  void SetDefaults(std::string_view caption, std::int32_t) override { caption_default.assign(caption); }
  std::optional<std::string> OpenFile(std::string_view, std::string_view filter, bool) override {
    last_filter.assign(filter);
    return file;
  }
  std::optional<std::string> InputText(std::string_view, std::string_view, std::string_view initial,
                                       host::TextInput) override {
    last_initial.assign(initial);
    return text;
  }
  std::optional<double> InputNumber(std::string_view, std::string_view, const host::NumberInput& n) override {
    last_number = n;
    return number;
  }
  int Message(std::string_view, std::string_view, int) override { return host::ANSWER_NO; }
  std::optional<std::uint32_t> ChooseColour(std::uint32_t) override { return 0x123456u; }
  int PopupMenu(std::span<const std::string> items) override { return static_cast<int>(items.size()) - 1; }
  int ChooseFromList(std::string_view caption, std::span<const std::string> items, int initial) override {
    shown.assign(items.begin(), items.end());
    list_caption.assign(caption);
    list_initial = initial;
    return choice;
  }

  std::optional<std::string> file, text;
  std::optional<double> number;
  int choice = -1;
  int list_initial = -2;
  std::string list_caption;
  std::string caption_default, last_filter, last_initial;
  host::NumberInput last_number;
  std::vector<std::string> shown;
};

class DialogApiTest : public QtControlsTest {
 protected:
  DialogApiTest() { rt.dialogs = &dialogs; }
  ScriptedDialogs dialogs;
};

constexpr std::string_view kDialogScript = R"(Data string S 100
Data long N 3
Data double D 1.5
:Initial
ENDP
:Open
CALL OpenDialog S, "*.vx"
ENDP
:Input
CALL InputDialog S, "Name?"
ENDP
:Digit
CALL DigitDialog N, 1, 9
ENDP
:Prm
CALL Prm1Dialog D
ENDP
:Ask
CALL MsgBx "Sure?", "Q", 2
ENDP
:Colour
CALL ColorDialog N
ENDP
:Menu
CALL SpeedMenu "a|b|c", N
ENDP
:Pick
CALL ListSelectStr S, "red|green||blue"
ENDP
:Category
CALL CatListSelect S, "cats.txt"
ENDP
)";

TEST_F(DialogApiTest, AnswersAreWrittenAndCancelsLeaveOutputs) {
  ASSERT_EQ(Load(kDialogScript), 1);
  Call("Open");  // cancelled
  EXPECT_EQ(Long("G_ERROR"), 1);
  EXPECT_EQ(dialogs.last_filter, "*.vx");
  dialogs.file = "/tmp/a.vx";
  Call("Open");
  EXPECT_EQ(Long("G_ERROR"), 0);
  EXPECT_EQ(Text("S"), "/tmp/a.vx");
  dialogs.text = "typed";
  Call("Input");
  EXPECT_EQ(dialogs.last_initial, "/tmp/a.vx");
  EXPECT_EQ(Text("S"), "typed");
  dialogs.number = 7.9;
  Call("Digit");
  EXPECT_EQ(Long("N"), 7);
  EXPECT_EQ(dialogs.last_number.minimum, 1.0);
  EXPECT_EQ(dialogs.last_number.maximum, 9.0);
  EXPECT_EQ(dialogs.last_number.initial, 3.0);
  Call("Prm");
  EXPECT_DOUBLE_EQ(values::ReadAsDouble(rt, Index("D")), 7.9);
  Call("Ask");
  EXPECT_EQ(Long("G_WORK1"), host::ANSWER_NO);
  EXPECT_EQ(Long("G_ERROR"), 1);
  Call("Colour");
  EXPECT_EQ(Long("N"), 0x123456);
  Call("Menu");
  EXPECT_EQ(Long("N"), 2);
  dialogs.choice = 2;
  Call("Pick");
  EXPECT_EQ(dialogs.shown, (std::vector<std::string>{"red", "green", "blue"}));
  EXPECT_EQ(Text("S"), "blue");
  WriteBytes(dir.Path() / "cats.txt", "[fruit]\r\napple\r\n\r\n[tree]\r\noak\r\n");
  dialogs.choice = 1;
  Call("Category");
  EXPECT_EQ(dialogs.shown, (std::vector<std::string>{"fruit / apple", "tree / oak"}));
  EXPECT_EQ(Text("S"), "oak");
}

constexpr std::string_view kStrArrayListScript = R"(Data long N 7
Data string S 100
:Initial
CALL SetStrArray 5, "five"
CALL SetStrArray 7, "seven"
CALL SetStrArray 8, "eight"
CALL SetStrArray 499, "last"
ENDP
:Pick
CALL ListSelectSArray N, 5, 4, "Which?", S
ENDP
:PickIndexOnly
CALL ListSelectSArray N, 5, 4
ENDP
:Tail
CALL ListSelectSArray N, 498, 100
ENDP
:BadFirst
CALL ListSelectSArray N, 500, 1
ENDP
:NoCount
CALL ListSelectSArray N, 5, 0
ENDP
:Empty
CALL ListSelectSArray N, 0, 5
ENDP
)";

TEST_F(DialogApiTest, StringArrayListShowsNonEmptyEntriesAndAnswersTheirIndex) {
  ASSERT_EQ(Load(kStrArrayListScript), 1);
  dialogs.choice = 2;
  Call("Pick");
  // Entry 6 is empty and is left out; the chosen position maps back to 8.
  EXPECT_EQ(dialogs.shown, (std::vector<std::string>{"five", "seven", "eight"}));
  EXPECT_EQ(dialogs.list_caption, "Which?");
  EXPECT_EQ(dialogs.list_initial, 1);  // N named entry 7
  EXPECT_EQ(Long("N"), 8);
  EXPECT_EQ(Long("G_WORK1"), 8);
  EXPECT_EQ(Long("G_ERROR"), 0);
  EXPECT_EQ(Text("S"), "eight");
  dialogs.choice = 0;
  Call("PickIndexOnly");
  EXPECT_EQ(dialogs.list_initial, 2);
  EXPECT_EQ(Long("N"), 5);
  EXPECT_EQ(Text("S"), "eight");
  // The count stops at the array's end.
  Call("Tail");
  EXPECT_EQ(dialogs.shown, (std::vector<std::string>{"last"}));
  EXPECT_EQ(dialogs.list_initial, -1);
  EXPECT_EQ(Long("N"), 499);
}

TEST_F(DialogApiTest, StringArrayListRefusalsAndCancelsLeaveTheOutput) {
  ASSERT_EQ(Load(kStrArrayListScript), 1);
  dialogs.choice = 0;
  for (const char* label : {"BadFirst", "NoCount", "Empty"}) {
    dialogs.shown = {"untouched"};
    Call(label);
    EXPECT_EQ(dialogs.shown, (std::vector<std::string>{"untouched"})) << label;  // no dialog
    EXPECT_EQ(Long("G_ERROR"), 1) << label;
    EXPECT_EQ(Long("G_WORK1"), -1) << label;
    EXPECT_EQ(Long("N"), 7) << label;
  }
  dialogs.choice = -1;
  Call("Pick");
  EXPECT_EQ(Long("G_ERROR"), 1);
  EXPECT_EQ(Long("G_WORK1"), -1);
  EXPECT_EQ(Long("N"), 7);
  EXPECT_EQ(Text("S"), "");
}

TEST_F(QtControlsTest, WithoutADialogHostQuestionsAreCancelled) {
  ASSERT_EQ(Load(kDialogScript), 1);
  Call("Input");
  EXPECT_EQ(Long("G_ERROR"), 1);
  EXPECT_EQ(Text("S"), "");
  Call("Ask");
  EXPECT_EQ(Long("G_WORK1"), host::ANSWER_YES);
  Call("Pick");
  EXPECT_EQ(Long("G_WORK1"), -1);
}

TEST_F(QtControlsTest, QuickWatchListsVariablesAfterEveryLabel) {
  qt::QuickWatchWindow watch(rt);
  controls.SetAfterLabel([&watch] { watch.Refresh(); });
  EXPECT_EQ(watch.objectName(), QStringLiteral("VxmrQuickWatchWClass"));
  watch.show();
  ASSERT_EQ(Load(R"(Data long COUNT 0
MakeButton B 0, 0, 80, 30
:Initial
COUNT = 5
ENDP
On B
COUNT = COUNT + 1
ENDP
)"),
            1);
  auto* table = watch.findChild<QTableWidget*>();
  ASSERT_NE(table, nullptr);
  auto value_of = [table](const QString& name) {
    for (int r = 0; r < table->rowCount(); ++r) {
      if (table->item(r, 0)->text() == name) return table->item(r, 1)->text();
    }
    return QStringLiteral("<missing>");
  };
  EXPECT_EQ(value_of(QStringLiteral("COUNT")), QStringLiteral("5"));
  QTest::mouseClick(Widget<QPushButton>("B"), Qt::LeftButton);
  EXPECT_EQ(value_of(QStringLiteral("COUNT")), QStringLiteral("6"));
}

}  // namespace
}  // namespace vx::test
