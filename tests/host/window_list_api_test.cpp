// The APIs that find, message and steer other programs' top-level windows,
// over a window list of the test's making, and SetFocus.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "api/api_test_support.hpp"
#include "engine/system_variables.hpp"
#include "host/instances.hpp"
#include "host/top_windows.hpp"
#include "support/fake_window_port.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_folder.hpp"

namespace vx::test {
namespace {

using host::TopWindowInfo;
using host::WindowOp;

constexpr std::uint64_t kOwnHandle = 0x1234;  // FakeWindowPort's

// Records every request; knows only the windows it lists.
class FakeTopWindows : public host::TopWindows {
 public:
  bool List(std::vector<TopWindowInfo>* out) override {
    *out = windows;
    return server;
  }
  bool Activate(std::uint64_t handle) override {
    log.push_back("activate " + std::to_string(handle));
    return Known(handle);
  }
  bool Post(std::uint64_t handle, std::int32_t message, std::int32_t w, std::int32_t l) override {
    log.push_back("post " + std::to_string(handle) + " " + std::to_string(message) + " " +
                  std::to_string(w) + " " + std::to_string(l));
    return Known(handle);
  }
  bool Control(std::uint64_t handle, WindowOp op, std::int32_t a, std::int32_t b) override {
    log.push_back("control " + std::to_string(handle) + " " + std::to_string(static_cast<int>(op)) + " " +
                  std::to_string(a) + " " + std::to_string(b));
    return Known(handle);
  }
  bool Known(std::uint64_t handle) const {
    for (const TopWindowInfo& w : windows) {
      if (w.handle == handle) return true;
    }
    return false;
  }

  bool server = true;
  std::vector<TopWindowInfo> windows;
  std::vector<std::string> log;
};

class WindowListApiTest : public ApiTest {
 protected:
  void SetUp() override {
    out = DeclareString("C", 6000);
    button = DeclareControl("B", R_KD_BUTTON);
    Ready();
    rt.main_window.port = &port;
    rt.main_window.top_windows = &windows;
    const auto own_pid = static_cast<std::int32_t>(getpid());
    windows.windows = {
        {kOwnHandle, "Vexmora  Ver.10.52", "Vexmora100WClass", own_pid},  // ourselves
        {0x500, "Quick Watch Ver.", "Vexmora100WClass", own_pid},          // our own watch window
        {77, "notes.txt - Editor", "Gedit", 3000},
        {88, "Vexmora  Ver.10.52", "Vexmora100WClass", 4000},
        {99, "Ver. notes", "gedit", 3001},
        {90, "Quick watch", "Vexmora100WClass", 4000, true},  // the other instance's watch window
    };
  }
  std::int32_t Status() { return Long(sysvar::G_ERROR); }

  FakeWindowPort port;
  FakeTopWindows windows;
  std::int32_t out = -1, button = -1;
};

TEST_F(WindowListApiTest, ChkWinFindsTheFirstOtherWindowByTitlePart) {
  Call("ChkWin", "\"Ver.\", 0, C");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Text(out), "Vexmora100WClass");  // not our own main or watch window
  EXPECT_EQ(Long(sysvar::G_WORK1), 88);
  EXPECT_TRUE(windows.log.empty());

  Call("ChkWin", "\"notes\", 1, C");
  EXPECT_EQ(Text(out), "Gedit");
  EXPECT_EQ(Long(sysvar::G_WORK1), 77);
  EXPECT_EQ(windows.log, std::vector<std::string>{"activate 77"});
}

TEST_F(WindowListApiTest, ChkWinWithoutAMatchOrAServerTakesTheErrorPath) {
  values::WriteText(rt, out, "before");
  Call("ChkWin", "\"NOTES\", 1, C");  // titles compare with their case
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Text(out), "before");
  EXPECT_TRUE(windows.log.empty());

  values::SetLong(rt, sysvar::G_ERROR, 0);
  windows.server = false;
  windows.windows.clear();
  Call("ChkWin", "\"\", 0, C");
  EXPECT_EQ(Status(), 1);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(WindowListApiTest, ChkWinStoresAt4096BytesOfTheClassName) {
  windows.windows = {{5, "long", std::string(4096, 'a') + "tail", 1}};
  Call("ChkWin", "\"long\", 0, C");
  EXPECT_EQ(Text(out), std::string(4096, 'a'));
}

TEST_F(WindowListApiTest, PostMsgGoesToMatchingForeignWindowsByTitleAndClassIgnoringCase) {
  Call("PostMsg", "\"notes\", \"GEDIT\", 16, 1, -2");
  EXPECT_EQ(windows.log, (std::vector<std::string>{"post 77 16 1 -2", "post 99 16 1 -2"}));
  windows.log.clear();
  Call("PostMsg", "\"Editor\", \"Ged\", 16, 1, 2");  // the class must be whole
  Call("PostMsg", "\"Quick\", \"Vexmora100WClass\", 1159, 1, 2");  // only ours has that title
  EXPECT_TRUE(windows.log.empty());
}

TEST_F(WindowListApiTest, PostMsgReachesOtherInstancesThroughTheRegistry) {
  TempFolder runtime_dir;
  ScopedEnv env("XDG_RUNTIME_DIR", runtime_dir.path());
  host::Inbox inbox;
  host::InstanceListener other(inbox, 4000);
  ASSERT_TRUE(other.Listening());
  windows.windows.push_back({89, "second Vexmora window", "Vexmora100WClass", 4000});

  Call("PostMsg", "\"Vexmora\", \"vexmora100wclass\", 1159, 7, 8");
  EXPECT_TRUE(windows.log.empty());  // no X message to an instance
  host::Message m;
  bool arrived = false;
  for (int i = 0; i < 200 && !(arrived = inbox.Take(&m)); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(arrived);
  EXPECT_EQ(m.kind, host::MessageKind::kUserEvent);
  EXPECT_EQ(m.code, 7);
  EXPECT_EQ(m.value, 8);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(inbox.Empty());  // once, though the instance shows two windows
}

TEST_F(WindowListApiTest, PostEventExtReachesForeignWindowsByClassPart) {
  TempFolder runtime_dir;
  ScopedEnv env("XDG_RUNTIME_DIR", runtime_dir.path());
  host::Inbox inbox;
  host::InstanceListener other(inbox, 4000);
  Call("PostEventExt", "\"Ged\", 1159, 5, 6");  // part of the class, with its case
  EXPECT_EQ(windows.log, std::vector<std::string>{"post 77 1159 5 6"});
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(inbox.Empty());

  windows.log.clear();
  Call("PostEventExt", "\"Vexmora\", 1159, 5, 6");  // instances only through the registry
  EXPECT_TRUE(windows.log.empty());
  host::Message m;
  bool arrived = false;
  for (int i = 0; i < 200 && !(arrived = inbox.Take(&m)); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(arrived);
}

TEST_F(WindowListApiTest, ShowOtherWindowAndCtrlWindowActOnOtherWindowsOnly) {
  Call("ShowOtherWindow", "77");
  EXPECT_EQ(Status(), 0);
  Call("CtrlWindow", "88, 6, 10, -20");
  Call("CtrlWindow", "88, 3");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(windows.log, (std::vector<std::string>{"activate 77", "control 88 6 10 -20", "control 88 3 0 0"}));

  windows.log.clear();
  for (const char* args : {"4660, 2", "88, 0", "88, 8", "0, 1"}) {  // our own, bad operations, no handle
    values::SetLong(rt, sysvar::G_ERROR, 0);
    Call("CtrlWindow", args);
    EXPECT_EQ(Status(), 1) << args;
  }
  EXPECT_TRUE(windows.log.empty());
  values::SetLong(rt, sysvar::G_ERROR, 0);
  Call("ShowOtherWindow", "12345");  // gone
  EXPECT_EQ(Status(), 1);
  values::SetLong(rt, sysvar::G_ERROR, 0);
  Call("CtrlWindow", "12345, 5");
  EXPECT_EQ(Status(), 1);
}

TEST_F(WindowListApiTest, GetVexmoraWinListListsTheOtherInstances) {
  Call("GetVexmoraWinList", "");
  EXPECT_EQ(Text(sysvar::G_TXT), "88\t4000\tVexmora  Ver.10.52\r\n");
  EXPECT_EQ(Long(sysvar::G_WORK1), 1);
  EXPECT_EQ(Long(sysvar::G_WORK2), 1);

  // Whole lines only, within G_TXT.
  windows.windows.clear();
  for (int i = 1; i <= 200; ++i) {
    windows.windows.push_back({static_cast<std::uint64_t>(i), std::string(100, 't'), "Vexmora100WClass", 10});
  }
  Call("GetVexmoraWinList", "");
  const std::string listed = Text(sysvar::G_TXT);
  const std::int32_t count = Long(sysvar::G_WORK1);
  EXPECT_GT(count, 100);
  EXPECT_LT(count, 200);
  EXPECT_EQ(Long(sysvar::G_WORK2), 200);
  EXPECT_LE(listed.size(), 16000u);
  EXPECT_EQ(listed.substr(listed.size() - 2), "\r\n");
}

TEST_F(WindowListApiTest, GetVexmoraWinListAsksTheRegistryWithoutAServer) {
  TempFolder runtime_dir;
  ScopedEnv env("XDG_RUNTIME_DIR", runtime_dir.path());
  host::Inbox inbox1, inbox2;
  host::InstanceListener first(inbox1, 4001), second(inbox2, 4002);
  windows.server = false;
  windows.windows.clear();
  Call("GetVexmoraWinList", "");
  EXPECT_EQ(Text(sysvar::G_TXT), "0\t4001\t\r\n0\t4002\t\r\n");
  EXPECT_EQ(Long(sysvar::G_WORK1), 2);
}

TEST_F(WindowListApiTest, SetFocusNeedsAControlWithAWindow) {
  Call("SetFocus", "B");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(window.focused, rt.program.Resource(button).window);

  window.focused = 0;
  Call("SetFocus", "C");  // a text variable
  EXPECT_EQ(Status(), 1);
  values::SetLong(rt, sysvar::G_ERROR, 0);
  rt.program.Resource(button).window = 0;  // not created
  Call("SetFocus", "B");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(window.focused, 0);
}

}  // namespace
}  // namespace vx::test
