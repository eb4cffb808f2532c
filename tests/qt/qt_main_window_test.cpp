// The Qt main window on the offscreen platform: real mouse and key events
// through QTest reach the labels, and the bank is what the window shows.
#include "qt/main_window.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QRadioButton>
#include <QLineEdit>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include "graphics/vram.hpp"
#include "host/keys.hpp"
#include "host/main_window.hpp"
#include "qt/controls.hpp"
#include "qt/keys.hpp"
#include "support/script_fixture.hpp"

namespace vx::test {
namespace {

constexpr std::string_view kScript = R"(
Data long N 0
Data long X 0
Data long Y 0
Data long C 0
Data long L 0
:Initial
ENDP
:LButtonDown
N = N + 1
X = G_MOUSEX
Y = G_MOUSEY
ENDP
:KB_CHAR
C = C * 256 + G_INCHAR
ENDP
:KB_LEFT
L = G_VKEY
ENDP
:KB_F10
L = 1000
ENDP
)";

class QtMainWindow : public ScriptTest {
 protected:
  QtMainWindow()
      : window(rt, true, [this](const host::Message& m) { return proc.Handle(m); }) {
    rt.main_window.port = &window;
    rt.display = &window;
    window.resize(400, 300);
    window.show();
  }
  ~QtMainWindow() override {
    rt.main_window.port = nullptr;
    rt.display = nullptr;
  }

  host::MainWindowProcedure proc{rt};
  qt::MainWindow window;
};

TEST_F(QtMainWindow, MouseClickRunsLButtonDownWithThePosition) {
  ASSERT_EQ(Load(kScript), 1);
  QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(10, 20));
  EXPECT_EQ(Long("N"), 1);
  EXPECT_EQ(Long("X"), 10);
  EXPECT_EQ(Long("Y"), 20);
}

TEST_F(QtMainWindow, KeysBecomeVirtualKeysAndShiftJisCharacters) {
  ASSERT_EQ(Load(kScript), 1);
  QTest::keyClick(&window, Qt::Key_Left);
  EXPECT_EQ(Long("L"), host::VK_LEFT);
  QTest::keyClick(&window, Qt::Key_F10);  // the system-key path
  EXPECT_EQ(Long("L"), 1000);
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_EQ(Long("C"), 0);
  QTest::sendKeyEvent(QTest::KeyAction::Press, &window, Qt::Key_unknown, QString::fromUtf8("あ"), {});
  EXPECT_EQ(Long("C"), 0x82A0);  // lead byte first
}

constexpr std::string_view kButtons = R"(
Data long LD 0
Data long LW 0
Data long RD 0
Data long RU 0
Data long MD 0
:Initial
ENDP
:LButtonDown
LD = LD + 1
ENDP
:LButtonDblClc
LW = LW + 1
ENDP
:RButtonDown
RD = RD + 1
ENDP
:RButtonUp
RU = RU + 1
ENDP
:MButtonDown
MD = MD + 1
ENDP
)";

// The second press of a double click is the double click: the left button
// raises LButtonDblClc instead of LButtonDown, the others raise no press.
TEST_F(QtMainWindow, SecondPressOfADoubleClickIsNoPress) {
  ASSERT_EQ(Load(kButtons), 1);
  QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseDClick(&window, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(Long("LD"), 1);
  EXPECT_EQ(Long("LW"), 1);
  QTest::mouseClick(&window, Qt::RightButton, {}, QPoint(5, 5));
  QTest::mouseDClick(&window, Qt::RightButton, {}, QPoint(5, 5));
  QTest::mouseRelease(&window, Qt::RightButton, {}, QPoint(5, 5));
  EXPECT_EQ(Long("RD"), 1);
  EXPECT_EQ(Long("RU"), 2);
  QTest::mouseClick(&window, Qt::MiddleButton, {}, QPoint(5, 5));
  QTest::mouseDClick(&window, Qt::MiddleButton, {}, QPoint(5, 5));
  EXPECT_EQ(Long("MD"), 1);
}

// Keys typed into a control stay with it even when it does not use them,
// clicking the bank leaves the focus there, and a right click takes it back.
TEST_F(QtMainWindow, KeysReachTheScriptOnlyWhileTheWindowHasTheFocus) {
  ASSERT_EQ(Load(kScript), 1);
  QLineEdit edit(&window);
  edit.setGeometry(200, 200, 100, 24);
  edit.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::qWait(20);  // activation hands the focus to the window itself
  EXPECT_TRUE(window.hasFocus());
  edit.setFocus();
  ASSERT_TRUE(edit.hasFocus());

  QTest::keyClick(&edit, Qt::Key_F10);  // the line edit ignores it
  QTest::keyClick(&edit, Qt::Key_Escape);
  QTest::keyClick(&edit, Qt::Key_X);
  EXPECT_EQ(Long("L"), 0);
  EXPECT_EQ(Long("C"), 0);
  EXPECT_EQ(edit.text(), QStringLiteral("x"));

  QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(10, 20));
  EXPECT_EQ(Long("N"), 1);
  EXPECT_TRUE(edit.hasFocus());
  QTest::mouseClick(&window, Qt::RightButton, {}, QPoint(10, 20));
  EXPECT_TRUE(window.hasFocus());
  QTest::keyClick(&window, Qt::Key_Left);
  EXPECT_EQ(Long("L"), host::VK_LEFT);
}

constexpr std::string_view kControlAreas = R"(
Data long HITS 0
Data long DOWN 0
Data long UP 0
Data long MOVES 0
MakeCheckBox CK 10, 50, 300, 24, "Check"
MakeRadioButton1 R1 10, 80, 300, 24, "one"
MakeRadioButton R2 10, 110, 300, 24, "two"
MakePgsBar PG 10, 140, 300, 20
:Initial
ENDP
:LButtonDown
DOWN = DOWN + 1
ENDP
:LButtonUp
UP = UP + 1
ENDP
:MOUSEMOVE
MOVES = MOVES + 1
ENDP
On CK
HITS = HITS + 1
ENDP
On R1
HITS = HITS + 10
ENDP
On R2
HITS = HITS + 100
ENDP
)";

// The window with real controls on it, clicked through the window system
// as a person would: the event goes to whatever widget is under the point.
class QtMainWindowWithControls : public QtMainWindow {
 protected:
  QtMainWindowWithControls() {
    controls.SetMainWindow(&window);
    rt.controls = &controls;
  }
  ~QtMainWindowWithControls() override {
    controls.DestroyAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    rt.controls = nullptr;
  }
  void Click(int x, int y) { QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, QPoint(x, y)); }
  template <typename W>
  W* Control(std::string_view name) {
    return qobject_cast<W*>(controls.Widget(rt.program.Resource(Index(name)).window));
  }

  qt::QtControls controls{rt};
};

TEST_F(QtMainWindowWithControls, AClickAnywhereInsideAControlIsTheControls) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  // Double clicks sent to widgets earlier can leave the test library
  // thinking a button is still held; nothing listens yet.
  for (const Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
    QTest::mouseRelease(window.windowHandle(), b, {}, QPoint(390, 290));
  ASSERT_EQ(Load(kControlAreas), 1);
  QCheckBox* check = Control<QCheckBox>("CK");
  QRadioButton* one = Control<QRadioButton>("R1");
  QRadioButton* two = Control<QRadioButton>("R2");
  ASSERT_TRUE(check && one && two);
  ASSERT_LT(check->sizeHint().width(), 240);  // (250, 62) is blank, right of the caption

  Click(250, 62);
  EXPECT_TRUE(check->isChecked());
  EXPECT_EQ(Long("HITS"), 1);
  Click(15, 62);  // on the mark, as before
  EXPECT_FALSE(check->isChecked());
  EXPECT_EQ(Long("HITS"), 2);

  Click(305, 92);  // the last pixel column of the radio button
  EXPECT_TRUE(one->isChecked());
  Click(250, 111);
  EXPECT_TRUE(two->isChecked());
  EXPECT_FALSE(one->isChecked());
  EXPECT_EQ(Long("HITS"), 112);

  Click(250, 150);  // a progress bar takes the click and does nothing with it
  QTest::mouseMove(window.windowHandle(), QPoint(200, 150));
  EXPECT_EQ(Long("DOWN"), 0);
  EXPECT_EQ(Long("UP"), 0);
  EXPECT_EQ(Long("MOVES"), 0);

  Click(311, 62);  // just beside the check box: the window's
  EXPECT_EQ(Long("DOWN"), 1);
  EXPECT_EQ(Long("UP"), 1);
  EXPECT_FALSE(check->isChecked());
  EXPECT_EQ(Long("HITS"), 112);
}

// Other programs hold the window's handle: going topmost and back must not
// replace the native window (on X11 the end-to-end test checks the state).
using QtTopmost = ScriptTest;

TEST_F(QtTopmost, ChangesKeepTheNativeWindow) {
  host::MainWindowProcedure proc{rt};
  qt::MainWindow shown(rt, false, [&proc](const host::Message& m) { return proc.Handle(m); });
  shown.SetTopmost(true);  // before the window exists, only the flag is set
  EXPECT_TRUE(shown.windowFlags() & Qt::WindowStaysOnTopHint);
  shown.SetTopmost(false);
  shown.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown));
  const std::uint64_t handle = shown.NativeHandle();
  QWindow* native = shown.windowHandle();
  ASSERT_NE(native, nullptr);
  shown.SetTopmost(true);
  EXPECT_TRUE(native->flags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(shown.isVisible());
  shown.SetTopmost(false);
  EXPECT_FALSE(native->flags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(shown.windowHandle(), native);
  EXPECT_EQ(shown.NativeHandle(), handle);
}

TEST_F(QtMainWindow, VirtualKeyTable) {
  EXPECT_EQ(qt::VirtualKeyOf(Qt::Key_A, {}), 'A');
  EXPECT_EQ(qt::VirtualKeyOf(Qt::Key_5, {}), '5');
  EXPECT_EQ(qt::VirtualKeyOf(Qt::Key_5, Qt::KeypadModifier), host::VK_NUMPAD0 + 5);
  EXPECT_EQ(qt::VirtualKeyOf(Qt::Key_F12, {}), host::VK_F12);
  EXPECT_EQ(qt::VirtualKeyOf(Qt::Key_PageDown, {}), host::VK_NEXT);
  EXPECT_EQ(qt::VirtualKeyOf(Qt::Key_Exclam, Qt::ShiftModifier), '1');
  EXPECT_EQ(qt::VirtualKeyOf(Qt::Key_Comma, {}), host::VK_OEM_COMMA);
}

TEST_F(QtMainWindow, PaintShowsTheBankAndWhiteBeforeTheStart) {
  QImage before = window.grab().toImage();
  EXPECT_EQ(before.pixelColor(5, 5), QColor(Qt::white));
  ASSERT_EQ(Load(kScript), 1);
  std::uint8_t* bank = rt.vram.Current();
  ASSERT_NE(bank, nullptr);
  graphics::FillBank(bank, graphics::Color{0, 0, 0});
  std::uint8_t* p = graphics::PixelAt(bank, 7, 3);
  p[0] = 0x10;  // blue
  p[1] = 0x20;
  p[2] = 0xF0;  // red
  const QImage shown = window.grab().toImage();
  EXPECT_EQ(shown.pixelColor(7, 3), QColor(0xF0, 0x20, 0x10));
  EXPECT_EQ(shown.pixelColor(8, 3), QColor(0, 0, 0));
  EXPECT_EQ(shown.pixelColor(7, 4), QColor(0, 0, 0));
}

}  // namespace
}  // namespace vx::test
