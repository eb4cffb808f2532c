// The main window procedure driven message by message, with the tick by hand.
#include "host/main_window.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/delivery.hpp"
#include "engine/system_variables.hpp"
#include "graphics/jpeg.hpp"
#include "host/keys.hpp"
#include "support/fake_window_port.hpp"
#include "support/script_fixture.hpp"

namespace vx::test {
namespace {

using host::Message;
using host::MessageKind;

constexpr std::string_view kEvents = R"(
Data long N 0
Data long X 0
Data long Y 0
Data long E 0
Data string S 100
:Initial
ENDP
:LButtonDown
N = N + 1
X = G_MOUSEX
Y = G_MOUSEY
ENDP
:CLICK_AREA
E = E + 1
X = G_CLC_IDX
Y = G_CLC_EX
S = G_CLC_STR
ENDP
:KB_CHAR
N = N + 1
X = G_INCHAR
ENDP
:KB_LEFT
N = N + 1
X = G_VKEY
ENDP
:KB_F10
E = E + 1
ENDP
:KB_SHIFT_DN
E = E + 1
ENDP
:EVENT
E = G_EV_1 + X * 10
Y = G_EV_2
ENDP
)";

class HostMessages : public ScriptTest {
 protected:
  HostMessages() {
    rt.main_window.port = &port;
    rt.display = &port;
  }

  int Send(MessageKind kind, std::int32_t code = 0, std::int32_t x = 0, std::int32_t y = 0) {
    Message m;
    m.kind = kind;
    m.code = code;
    m.x = x;
    m.y = y;
    return proc.Handle(m);
  }
  void Click(int x, int y) { Send(MessageKind::kLButtonDown, 0, x, y); }
  void Tick() { Send(MessageKind::kTick); }

  FakeWindowPort port;
  host::MainWindowProcedure proc{rt};
};

TEST_F(HostMessages, ClickWhileALabelRunsIsQueuedAndSeesTheEarlierPosition) {
  ASSERT_EQ(Load(kEvents), 1);
  Click(10, 20);
  EXPECT_EQ(Long("N"), 1);
  EXPECT_EQ(Long("X"), 10);
  EXPECT_EQ(Long("Y"), 20);

  ASSERT_TRUE(rt.run.lock.TryTake());  // a label is running
  Click(30, 40);
  rt.run.lock.Release();
  EXPECT_EQ(Long("N"), 1);
  EXPECT_EQ(rt.session.pending_labels.Count(), 1);

  Tick();
  EXPECT_EQ(Long("N"), 2);
  EXPECT_EQ(Long("X"), 10);  // G_MOUSEX was not written while the engine was busy
  EXPECT_EQ(rt.session.pending_labels.Count(), 0);
}

TEST_F(HostMessages, MousePositionIsTheUnsignedHalvesOfThePositionWord) {
  ASSERT_EQ(Load(kEvents), 1);
  Click(-1, 70000);
  EXPECT_EQ(Long("X"), 65535);
  EXPECT_EQ(Long("Y"), 70000 - 65536);
}

TEST_F(HostMessages, ClickAreaRunsInsteadOfLButtonDownAndIsLostWhenBusy) {
  ASSERT_EQ(Load(kEvents), 1);
  rt.click_areas.Set(3, 0, 0, 100, 100, "area three", 1, 1, 77);

  ASSERT_TRUE(rt.run.lock.TryTake());
  Click(5, 5);
  rt.run.lock.Release();
  Tick();
  Tick();
  EXPECT_EQ(Long("E"), 0);
  EXPECT_EQ(Long("N"), 0);  // neither CLICK_AREA nor LButtonDown

  Click(100, 100);  // edges belong to the area
  EXPECT_EQ(Long("E"), 1);
  EXPECT_EQ(Long("N"), 0);
  EXPECT_EQ(Long("X"), 3);
  EXPECT_EQ(Long("Y"), 77);
  EXPECT_EQ(Text("S"), "area three");

  Click(101, 100);
  EXPECT_EQ(Long("N"), 1);
}

TEST_F(HostMessages, GroupMaskSelectsTheAreasThatTakePart) {
  ASSERT_EQ(Load(kEvents), 1);
  rt.click_areas.Set(0, 0, 0, 50, 50, "one", 1, 1, 0);
  rt.click_areas.Set(1, 0, 0, 50, 50, "four", 1, 4, 0);
  rt.click_areas.Set(2, 0, 0, 50, 50, "unused", 0, 4, 0);
  Click(10, 10);
  EXPECT_EQ(Long("X"), 0);
  values::SetLong(rt, sysvar::G_CLCPT_GBMP, 4);
  Click(10, 10);
  EXPECT_EQ(Long("X"), 1);
  values::SetLong(rt, sysvar::G_CLCPT_GBMP, 8);
  Click(10, 10);
  EXPECT_EQ(Long("E"), 2);
  EXPECT_EQ(Long("N"), 1);
}

TEST_F(HostMessages, CircularAreaCornerRaisesLButtonDown) {
  ASSERT_EQ(Load(kEvents), 1);
  rt.click_areas.Set(0, 0, 0, 10, 20, "circle", 1, 1, 0);
  rt.click_areas.At(0).shape = graphics::CLICK_SHAPE_CIRCLE;
  Click(0, 0);
  EXPECT_EQ(Long("N"), 1);
  EXPECT_EQ(Long("E"), 0);
  Click(5, 10);  // the centre; radius min(20, 10) / 2 = 5
  EXPECT_EQ(Long("E"), 1);
  Click(5, 15);  // exactly on the circle: outside
  EXPECT_EQ(Long("N"), 2);
}

TEST_F(HostMessages, CharactersButNotEscapeRaiseKbChar) {
  ASSERT_EQ(Load(kEvents), 1);
  Send(MessageKind::kChar, 27);
  EXPECT_EQ(Long("N"), 0);
  Send(MessageKind::kChar, 0x82);  // lead byte of a double-byte character
  Send(MessageKind::kChar, 0xA0);
  EXPECT_EQ(Long("N"), 2);
  EXPECT_EQ(Long("X"), 0xA0);
}

TEST_F(HostMessages, F10ArrivesThroughTheSystemKeyPath) {
  ASSERT_EQ(Load(kEvents), 1);
  Send(MessageKind::kSysKeyDown, host::VK_F10);
  EXPECT_EQ(Long("E"), 1);
  EXPECT_EQ(host::SystemLong(rt, sysvar::G_VKEY), host::VK_F10);
  Send(MessageKind::kSysKeyDown, 'X');
  EXPECT_EQ(Long("E"), 1);
  EXPECT_EQ(host::SystemLong(rt, sysvar::G_VKEY), 'X');
}

TEST_F(HostMessages, KeysWorkBeforeControlsExistButMouseAndShiftDoNot) {
  ASSERT_EQ(Load(kEvents), 1);
  rt.session.events_enabled = false;
  Send(MessageKind::kKeyDown, host::VK_LEFT);
  EXPECT_EQ(Long("N"), 1);
  EXPECT_EQ(Long("X"), host::VK_LEFT);
  Click(5, 5);
  Send(MessageKind::kChar, 'a');
  EXPECT_EQ(Long("N"), 1);
  Send(MessageKind::kKeyDown, host::VK_SHIFT);
  EXPECT_EQ(Long("E"), 0);
  EXPECT_EQ(host::SystemLong(rt, sysvar::G_VKEY), host::VK_SHIFT);  // set even when gated
  Send(MessageKind::kKeyDown, 'Q');  // no event of its own
  EXPECT_EQ(host::SystemLong(rt, sysvar::G_VKEY), 'Q');
}

TEST_F(HostMessages, PendingLabelQueueDropsThe101st) {
  ASSERT_EQ(Load(kEvents), 1);
  ASSERT_TRUE(rt.run.lock.TryTake());
  for (int i = 0; i < 101; ++i) Click(1, 1);
  rt.run.lock.Release();
  EXPECT_EQ(rt.session.pending_labels.Count(), PENDING_LABEL_MAX);
  for (int i = 0; i < 105; ++i) Tick();
  EXPECT_EQ(Long("N"), PENDING_LABEL_MAX);
}

TEST_F(HostMessages, DeferredQueueOverflowEndsTheProgram) {
  ASSERT_EQ(Load(kEvents), 1);
  ASSERT_TRUE(rt.run.lock.TryTake());
  for (int i = 0; i < 100; ++i) Send(MessageKind::kPortNotify, 1);
  EXPECT_FALSE(proc.QuitRequested());
  EXPECT_EQ(rt.main_window.deferred.Count(), host::DEFERRED_MESSAGE_MAX);
  Send(MessageKind::kPortNotify, 1);
  rt.run.lock.Release();
  EXPECT_TRUE(proc.QuitRequested());
  EXPECT_EQ(rt.session.exit_code, 0);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"[Message] Fatal Error (9874)"}));
}

TEST_F(HostMessages, TickRunsItsStepsInOrder) {
  ASSERT_EQ(Load(kEvents), 1);
  rt.main_window.topmost_countdown = 1;
  rt.main_window.foreground_after_topmost = true;
  rt.click_areas.Set(0, 0, 0, 50, 50, "hover", 1, 0, 0);
  Send(MessageKind::kMouseMove, 0, 10, 10);  // no MOUSEMOVE label
  rt.vram.MarkDirty(0, 0, 20, 20);
  ASSERT_TRUE(rt.run.lock.TryTake());
  Send(MessageKind::kKeyDown, host::VK_LEFT);  // queued KB_LEFT
  rt.run.lock.Release();
  Message deferred;
  deferred.kind = MessageKind::kUserEvent;
  deferred.code = 7;
  deferred.value = 9;
  ASSERT_TRUE(rt.main_window.deferred.Push(deferred));
  port.log.clear();

  Tick();
  EXPECT_EQ(port.log, (std::vector<std::string>{"not topmost", "front", "cursor hand",
                                                "redraw 0,0,20,20"}));
  EXPECT_EQ(Long("N"), 1);       // step 5: the queued label
  EXPECT_EQ(Long("E"), 7 + host::VK_LEFT * 10);  // step 6 saw step 5's X
  EXPECT_EQ(Long("Y"), 9);
  EXPECT_EQ(Text("S"), "");      // hover writes G_CLC_STR, not S
  EXPECT_EQ(host::SystemLong(rt, sysvar::G_CLC_IDX), 0);
}

TEST_F(HostMessages, HoverSetsClickStringAndCursorOnlyWhenTheAreaChanges) {
  ASSERT_EQ(Load(kEvents), 1);
  rt.click_areas.Set(0, 0, 0, 50, 50, "hover text", 1, 0, 0);
  Send(MessageKind::kMouseMove, 0, 10, 10);
  port.log.clear();
  Tick();
  Tick();
  EXPECT_EQ(port.log, (std::vector<std::string>{"cursor hand"}));
  std::string buffer;
  EXPECT_EQ(values::ReadAsText(rt, sysvar::G_CLC_STR, buffer), "hover text");
  Send(MessageKind::kMouseMove, 0, 100, 100);
  port.log.clear();
  Tick();
  EXPECT_EQ(port.log, (std::vector<std::string>{"cursor arrow"}));
}

TEST_F(HostMessages, TopmostCountdown) {
  ASSERT_EQ(Load(kEvents), 1);
  // A started program is shown whole.
  EXPECT_EQ(port.log, (std::vector<std::string>{"redraw 0,0,1199,719"}));
  port.log.clear();
  rt.main_window.topmost_countdown = host::TOPMOST_SHOW_TICKS;
  Tick();
  Tick();
  EXPECT_TRUE(port.log.empty());
  Tick();
  EXPECT_EQ(port.log, (std::vector<std::string>{"not topmost"}));
  port.log.clear();
  rt.main_window.topmost_countdown = host::TOPMOST_KEEP;
  for (int i = 0; i < 20; ++i) Tick();
  EXPECT_TRUE(port.log.empty());
  EXPECT_EQ(rt.main_window.topmost_countdown, host::TOPMOST_KEEP);
}

TEST_F(HostMessages, CloseIsSwallowedOnlyByAWinCloseLabel) {
  ASSERT_EQ(Load(kEvents), 1);
  EXPECT_EQ(Send(MessageKind::kClose), 1);
  ASSERT_EQ(Load("Data long C 0\n:Initial\nENDP\n:WIN_CLOSE\nC = C + 1\nENDP\n"), 1);
  EXPECT_EQ(Send(MessageKind::kClose), 0);
  EXPECT_EQ(Long("C"), 1);
}

// After a run error no label can run until the next load: a WIN_CLOSE
// label that can never answer must not keep the window open.
TEST_F(HostMessages, CloseAfterARunErrorClosesDespiteWinClose) {
  ASSERT_EQ(Load("Data long C 0\nData long N 0\n:Initial\nENDP\n:WIN_CLOSE\nC = C + 1\nENDP\n"
                 ":KB_LEFT\nN = C / 0\nENDP\n"),
            1);
  EXPECT_EQ(Send(MessageKind::kClose), 0);
  EXPECT_EQ(Long("C"), 1);
  Send(MessageKind::kKeyDown, host::VK_LEFT);
  ASSERT_TRUE(rt.error.Raised());
  EXPECT_EQ(Send(MessageKind::kClose), 1);
  EXPECT_EQ(Send(MessageKind::kClose), 1);
  EXPECT_EQ(Long("C"), 1);
  // A new load answers close requests with its label again.
  ASSERT_EQ(Load("Data long C 0\n:Initial\nENDP\n:WIN_CLOSE\nC = C + 1\nENDP\n"), 1);
  EXPECT_EQ(Send(MessageKind::kClose), 0);
  EXPECT_EQ(Long("C"), 1);
}

// A script reached with `Exit "path", 1` gives the window back when it is
// closed: the chaining script loads again (once), and a WIN_CLOSE label
// still decides first.
TEST_F(HostMessages, CloseOfAScriptStartedToComeBackLoadsItsStarterOnce) {
  ASSERT_EQ(Load("Data long B 0\n:Initial\nB = 7\nENDP\n", "starter"), 1);
  const std::string starter = rt.startup.script_path;
  ASSERT_EQ(Load("Data long C 0\n:Initial\nENDP\n:WIN_CLOSE\nC = C + 1\nENDP\n", "guarded"), 1);
  rt.run.return_path = starter;
  EXPECT_EQ(Send(MessageKind::kClose), 0);
  EXPECT_EQ(Long("C"), 1);
  EXPECT_EQ(rt.run.return_path, starter);

  ASSERT_EQ(Load("Data long C 0\n:Initial\nENDP\n", "example"), 1);
  EXPECT_EQ(Send(MessageKind::kClose), 0);
  EXPECT_EQ(rt.startup.script_path, starter);
  EXPECT_EQ(Long("B"), 7);
  EXPECT_TRUE(rt.run.return_path.empty());
  EXPECT_EQ(Send(MessageKind::kClose), 1);
}

// A close that arrives while a label runs brings the starter back only once
// the label has returned.
TEST_F(HostMessages, CloseWhileALabelRunsComesBackAfterIt) {
  ASSERT_EQ(Load(":Initial\nENDP\n", "starter"), 1);
  const std::string starter = rt.startup.script_path;
  ASSERT_EQ(Load("Data long C 0\n:Initial\nENDP\n", "example"), 1);
  rt.run.return_path = starter;
  ASSERT_TRUE(rt.run.lock.TryTake());
  EXPECT_EQ(Send(MessageKind::kClose), 0);
  EXPECT_NE(rt.startup.script_path, starter);
  rt.run.lock.Release();
  Tick();
  EXPECT_EQ(rt.startup.script_path, starter);
}

TEST_F(HostMessages, CloseAfterAnErrorInInitialOrALoadErrorCloses) {
  ASSERT_EQ(Load("Data long C 0\n:Initial\nC = C / 0\nENDP\n:WIN_CLOSE\nC = 5\nENDP\n"), 1);
  ASSERT_TRUE(rt.error.Raised());
  EXPECT_EQ(Send(MessageKind::kClose), 1);
  EXPECT_EQ(Long("C"), 0);
  // The label was compiled before the faulty line; it can never run.
  ASSERT_EQ(Load("Data long C 0\n:Initial\nENDP\n:WIN_CLOSE\nC = 5\nENDP\nCALL NoSuchApi 1\n"), 0);
  EXPECT_EQ(Send(MessageKind::kClose), 1);
}

TEST_F(HostMessages, FrameDragRaisesSizeChgOnceWhenTheSizeChanged) {
  ASSERT_EQ(Load(R"(
Data long C 0
Data long M 0
:Initial
ENDP
:SIZE_CHG
C = C + 1
ENDP
:SIZE_MAX
M = M + 1
ENDP
)"),
            1);
  Send(MessageKind::kEnterSizeMove, 0, 300, 200);
  for (int w = 301; w < 310; ++w) Send(MessageKind::kSize, host::SIZE_RESTORED, w, 200);
  EXPECT_EQ(Long("C"), 0);
  Send(MessageKind::kExitSizeMove, 0, 309, 200);
  EXPECT_EQ(Long("C"), 1);
  Send(MessageKind::kEnterSizeMove, 0, 309, 200);
  Send(MessageKind::kExitSizeMove, 0, 309, 200);  // moved, not resized
  EXPECT_EQ(Long("C"), 1);
  Send(MessageKind::kSize, host::SIZE_RESTORED, 400, 300);  // restore: try by name
  EXPECT_EQ(Long("C"), 2);
  ASSERT_TRUE(rt.run.lock.TryTake());
  Send(MessageKind::kSize, host::SIZE_RESTORED, 400, 300);  // lost while busy
  Send(MessageKind::kSize, host::SIZE_MAXIMIZED, 800, 600);  // queued
  rt.run.lock.Release();
  Tick();
  EXPECT_EQ(Long("C"), 2);
  EXPECT_EQ(Long("M"), 1);
}

TEST_F(HostMessages, DroppedScriptReplacesTheProgramUnlessDragImgExists) {
  WriteBytes(dir.Path() / "next.vx", "Data long Next 5\r\n:Initial\r\nNext = 6\r\nENDP\r\n");
  ASSERT_EQ(Load("Data long D 0\n:Initial\nENDP\n:DRAG_IMG\nD = D + 1\nENDP\n"), 1);
  Message drop;
  drop.kind = MessageKind::kDropFile;
  drop.path = dir.Sjis() + "/next.vx";
  proc.Handle(drop);
  EXPECT_EQ(Long("D"), 1);
  EXPECT_EQ(rt.startup.script_path, drop.path);

  ASSERT_EQ(Load(kEvents), 1);
  proc.Handle(drop);
  EXPECT_EQ(Long("Next"), 6);
}

constexpr std::string_view kDropNames = R"(
Data string P 300
Data string N 300
Data string F 300
Data long E0 -1
Data long E1 -1
:Initial
CALL RefDrgFn P
E0 = G_ERROR
ENDP
:DRAG_IMG
CALL RefDrgFn P
E1 = G_ERROR
CALL RefDrgFn N, 1
CALL RefDrgFn F, 2
ENDP
)";

Message Drop(const std::string& path) {
  Message drop;
  drop.kind = MessageKind::kDropFile;
  drop.path = path;
  return drop;
}

TEST_F(HostMessages, RefDrgFnNamesTheLastDroppedFile) {
  ASSERT_EQ(Load(kDropNames), 1);
  EXPECT_EQ(Bytes("P"), "");  // nothing dropped yet
  EXPECT_EQ(Long("E0"), 1);

  // The second byte of ソ (0x83 0x5C) is no folder separator.
  const std::string folder = dir.Sjis() + "/\x83\x5C";
  proc.Handle(Drop(folder + "\\notes.txt"));
  EXPECT_EQ(Bytes("P"), folder + "\\notes.txt");
  EXPECT_EQ(Long("E1"), 0);
  EXPECT_EQ(Bytes("N"), "notes.txt");
  EXPECT_EQ(Bytes("F"), folder);

  proc.Handle(Drop("plain.jpg"));  // the label runs instead of the picture loader
  EXPECT_EQ(Bytes("P"), "plain.jpg");
  EXPECT_EQ(Bytes("N"), "plain.jpg");
  EXPECT_EQ(Bytes("F"), "");

  proc.Handle(Drop(""));  // an empty name is no drop
  EXPECT_EQ(Bytes("P"), "plain.jpg");

  ASSERT_EQ(Load("Data string P 10\nData long E 0\n:Initial\nCALL RefDrgFn P, 3\nE = G_ERROR\nENDP\n"), 1);
  EXPECT_EQ(Long("E"), 1);  // no such part
}

// A dropped script replaces the program; the new one can still ask which
// file it was, and so can every later script until the next drop.
TEST_F(HostMessages, RefDrgFnOutlivesTheReloadOfADroppedScript) {
  WriteBytes(dir.Path() / "next.vx",
             "Data string P 300\r\nData long E 5\r\n:Initial\r\nCALL RefDrgFn P\r\nE = G_ERROR\r\nENDP\r\n");
  ASSERT_EQ(Load(kEvents), 1);
  proc.Handle(Drop(dir.Sjis() + "/next.vx"));
  EXPECT_EQ(Bytes("P"), dir.Sjis() + "/next.vx");
  EXPECT_EQ(Long("E"), 0);
  ASSERT_EQ(Load(kDropNames), 1);
  EXPECT_EQ(Bytes("P"), dir.Sjis() + "/next.vx");
  EXPECT_EQ(Long("E0"), 0);
}

TEST_F(HostMessages, ReloadWaitsUntilTheEngineIsFree) {
  WriteBytes(dir.Path() / "next.vx", "Data long Next 5\r\n:Initial\r\nNext = 6\r\nENDP\r\n");
  ASSERT_EQ(Load(kEvents), 1);
  Message reload;
  reload.kind = MessageKind::kReload;
  reload.path = dir.Sjis() + "/next.vx";
  ASSERT_TRUE(rt.run.lock.TryTake());
  proc.Handle(reload);
  EXPECT_GE(rt.program.FindResource("N"), 0);  // still the old program
  rt.run.lock.Release();
  Tick();
  EXPECT_EQ(Long("Next"), 6);
}

TEST_F(HostMessages, DroppedBmpIsDrawnAndTheWindowInvalidated) {
  ASSERT_EQ(Load(kEvents), 1);
  // A 2 x 1 BMP, 24 bits: blue then red.
  std::string bmp = std::string("BM") + std::string(4, '\0') + std::string(4, '\0');
  auto put32 = [&bmp](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put32(54);
  put32(40);
  put32(2);
  put32(1);
  bmp += std::string("\x01\x00\x18\x00", 4);
  put32(0);
  put32(8);
  put32(0);
  put32(0);
  put32(0);
  put32(0);
  bmp += std::string("\xFF\x00\x00\x00\x00\xFF\x00\x00", 8);
  WriteBytes(dir.Path() / "pic.bmp", bmp);
  Message drop;
  drop.kind = MessageKind::kDropFile;
  drop.path = dir.Sjis() + "/pic.BMP";
  WriteBytes(dir.Path() / "pic.BMP", bmp);
  drop.ctrl = true;
  port.log.clear();
  proc.Handle(drop);
  EXPECT_EQ(port.log, (std::vector<std::string>{"invalidate all"}));
  const std::uint8_t* bank = rt.vram.Current();
  EXPECT_EQ(graphics::ReadPixel(bank, 0, 0), (graphics::Color{0xFF, 0, 0}));
  EXPECT_EQ(graphics::ReadPixel(bank, 1, 0), (graphics::Color{0, 0, 0xFF}));
  EXPECT_EQ(graphics::ReadPixel(bank, 2, 5), (graphics::Color{0xFF, 0, 0}));  // tiled
  EXPECT_EQ(graphics::ReadPixel(bank, 2599, 1999), (graphics::Color{0, 0, 0xFF}));
}

// An 8 x 5 JPEG of one colour, through the encoder the picture family uses.
std::string SolidJpeg(graphics::Color c) {
  std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES);
  graphics::FillBank(bank.data(), c);
  std::string jpeg, error;
  EXPECT_TRUE(graphics::EncodeJpeg(bank.data(), graphics::PixelRect{0, 0, 7, 4}, &jpeg, &error)) << error;
  return jpeg;
}

bool Near(graphics::Color a, graphics::Color b) {
  return std::abs(a.r - b.r) <= 3 && std::abs(a.g - b.g) <= 3 && std::abs(a.b - b.b) <= 3;
}

TEST_F(HostMessages, DroppedJpegIsLoadedAndWithCtrlTiled) {
  ASSERT_EQ(Load(kEvents), 1);
  const graphics::Color orange{0xF0, 0x80, 0x10};
  WriteBytes(dir.Path() / "pic.JPEG", SolidJpeg(orange));
  const std::uint8_t* bank = rt.vram.Current();
  const graphics::Color paper = graphics::ReadPixel(bank, 8, 5);
  ASSERT_FALSE(Near(paper, orange));

  Message drop;
  drop.kind = MessageKind::kDropFile;
  drop.path = dir.Sjis() + "/pic.JPEG";
  port.log.clear();
  proc.Handle(drop);
  EXPECT_EQ(port.log, (std::vector<std::string>{"invalidate all"}));
  EXPECT_TRUE(Near(graphics::ReadPixel(bank, 0, 0), orange));
  EXPECT_TRUE(Near(graphics::ReadPixel(bank, 7, 4), orange));
  EXPECT_EQ(graphics::ReadPixel(bank, 8, 5), paper);  // without Ctrl: one block
  EXPECT_EQ(rt.images.last_width, 8);
  EXPECT_EQ(rt.images.last_height, 5);

  drop.ctrl = true;
  proc.Handle(drop);
  EXPECT_TRUE(Near(graphics::ReadPixel(bank, 8, 5), orange));
  EXPECT_TRUE(Near(graphics::ReadPixel(bank, 2599, 1999), orange));
}

TEST_F(HostMessages, ADroppedFileThatIsNoJpegChangesNothing) {
  ASSERT_EQ(Load(kEvents), 1);
  WriteBytes(dir.Path() / "bad.jpg", "not a picture at all");
  const std::uint8_t* bank = rt.vram.Current();
  const graphics::Color before = graphics::ReadPixel(bank, 0, 0);
  Message drop;
  drop.kind = MessageKind::kDropFile;
  drop.path = dir.Sjis() + "/bad.jpg";
  drop.ctrl = true;
  proc.Handle(drop);
  EXPECT_EQ(graphics::ReadPixel(bank, 0, 0), before);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(HostMessages, UserEventSetsBothValues) {
  ASSERT_EQ(Load(kEvents), 1);
  Send(MessageKind::kUserEvent, 4, 0, 0);
  Message m;
  m.kind = MessageKind::kUserEvent;
  m.code = 3;
  m.value = -8;
  rt.main_window.inbox.Post(m);
  proc.HandleInbox();
  EXPECT_EQ(Long("E"), 3);
  EXPECT_EQ(Long("Y"), -8);
}

TEST_F(HostMessages, PaintCopiesTheUpdateRectangleClippedToTheBank) {
  host::PaintCopy none = proc.Paint(0, 0, 10, 10);
  EXPECT_FALSE(none.copy);  // nothing started yet: background only
  ASSERT_EQ(Load(kEvents), 1);
  rt.vram.MarkDirty(0, 0, 30, 30);
  const host::PaintCopy copy = proc.Paint(2500, 1900, 2999, 2099);
  EXPECT_TRUE(copy.copy);
  EXPECT_EQ(copy.width, 100);
  EXPECT_EQ(copy.height, 100);
  EXPECT_FALSE(rt.vram.dirty.NonEmpty());
  EXPECT_FALSE(proc.Paint(-1, 0, 10, 10).copy);
  EXPECT_FALSE(proc.Paint(2600, 0, 2700, 10).copy);
}

TEST_F(HostMessages, SystemCommandsOpenEditAndHelp) {
  WriteBytes(dir.Path() / "next.vx", "Data long Next 5\r\n:Initial\r\nNext = 6\r\nENDP\r\n");
  ASSERT_EQ(Load(kEvents), 1);
  rt.startup.program_dir = "/nowhere/";
  port.log.clear();
  Send(MessageKind::kSysCommand, host::SYSCMD_HELP);
  Send(MessageKind::kSysCommand, host::SYSCMD_OPEN_SCRIPT);  // cancelled
  EXPECT_EQ(port.log, (std::vector<std::string>{"help /nowhere/doc/", "open dialog"}));
  port.chosen_script = dir.Sjis() + "/next.vx";
  Send(MessageKind::kKeyDown, host::VK_HOME);  // no KB_HOME label: the open dialog
  EXPECT_EQ(Long("Next"), 6);
}

TEST_F(HostMessages, ReloadCommandLoadsTheCurrentScriptAgain) {
  WriteBytes(dir.Path() / "next.vx", "Data long Next 5\r\n:Initial\r\nNext = Next + 1\r\nENDP\r\n");
  ASSERT_EQ(Load(kEvents), 1);
  rt.startup.script_path = dir.Sjis() + "/next.vx";
  Send(MessageKind::kSysCommand, host::SYSCMD_RELOAD_SCRIPT);
  Tick();
  EXPECT_EQ(Long("Next"), 6);
  rt.startup.script_path.clear();
  Send(MessageKind::kSysCommand, host::SYSCMD_RELOAD_SCRIPT);  // nothing to reload
  Tick();
  EXPECT_EQ(Long("Next"), 6);
}

// F10 and F1 are the script's keys when it has labels for them, else they
// open the window's menu and the reference.
TEST_F(HostMessages, F10OpensTheMenuAndF1TheHelpUnlessTheScriptUsesThem) {
  rt.startup.program_dir = "/nowhere/";
  ASSERT_EQ(Load("Data long F 0\r\n:Initial\r\nENDP\r\n:KB_F1\r\nF = F + 1\r\nENDP\r\n"), 1);
  port.log.clear();
  Send(MessageKind::kSysKeyDown, host::VK_F10);
  Send(MessageKind::kKeyDown, host::VK_F1);
  EXPECT_EQ(port.log, (std::vector<std::string>{"menu"}));
  EXPECT_EQ(Long("F"), 1);
  ASSERT_EQ(Load(kEvents), 1);  // has KB_F10, no KB_F1
  port.log.clear();
  Send(MessageKind::kSysKeyDown, host::VK_F10);
  EXPECT_EQ(Long("E"), 1);
  Send(MessageKind::kSysKeyDown, 'X');  // Alt+X: neither
  Send(MessageKind::kKeyDown, host::VK_F1);
  EXPECT_EQ(port.log, (std::vector<std::string>{"help /nowhere/doc/"}));
}

TEST_F(HostMessages, HeadlessEndsWhenNothingCanRunALabel) {
  ASSERT_EQ(Load(kEvents), 1);
  EXPECT_FALSE(proc.CanRunLabels());
  Message m;
  m.kind = MessageKind::kUserEvent;
  rt.main_window.inbox.Post(m);
  EXPECT_TRUE(proc.CanRunLabels());
  proc.HandleInbox();
  EXPECT_FALSE(proc.CanRunLabels());
}

}  // namespace
}  // namespace vx::test
