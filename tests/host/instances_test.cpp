// The per-user instance registry: two listeners in a private runtime
// directory standing for two running instances.
#include "host/instances.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "engine/messages.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_folder.hpp"

namespace vx::test {
namespace {

using host::Inbox;
using host::InstanceListener;
using host::Message;

// The listener's thread posts a little later than the sender returns.
bool WaitFor(Inbox& inbox, Message* out) {
  for (int i = 0; i < 200; ++i) {
    if (inbox.Take(out)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// A socket file whose process has gone: bound once, then closed.
void LeaveStaleSocket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

class Instances : public ::testing::Test {
 protected:
  TempFolder runtime_dir;
  ScopedEnv env{"XDG_RUNTIME_DIR", runtime_dir.path()};
  Inbox first_inbox, second_inbox;
};

TEST_F(Instances, AnEventReachesTheOtherInstanceOnlyAndStaleSocketsGo) {
  InstanceListener first(first_inbox, 1001);
  InstanceListener second(second_inbox, 1002);
  ASSERT_TRUE(first.Listening());
  ASSERT_TRUE(second.Listening());
  const std::string dir = host::InstanceDirectory();
  ASSERT_EQ(dir, runtime_dir.Path("vexmora"));
  LeaveStaleSocket(dir + "/1003.sock");
  runtime_dir.Write("vexmora/notes.txt", "not a socket");

  EXPECT_EQ(host::PostToOtherInstances(host::MSG_USER_EVENT, 5, -6, 1001), 1);
  Message m;
  ASSERT_TRUE(WaitFor(second_inbox, &m));
  EXPECT_EQ(m.kind, host::MessageKind::kUserEvent);
  EXPECT_EQ(m.code, 5);
  EXPECT_EQ(m.value, -6);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(first_inbox.Empty());  // the sender never hears itself
  EXPECT_FALSE(runtime_dir.Exists("vexmora/1003.sock"));
  EXPECT_TRUE(runtime_dir.Exists("vexmora/notes.txt"));
}

TEST_F(Instances, OneInstanceByNumberAndTheListOfRunningOnes) {
  InstanceListener first(first_inbox, 1001);
  InstanceListener second(second_inbox, 1002);
  LeaveStaleSocket(host::InstanceDirectory() + "/77.sock");

  EXPECT_EQ(host::RunningInstances(1001), (std::vector<std::int32_t>{1002}));
  EXPECT_EQ(host::RunningInstances(5), (std::vector<std::int32_t>{1001, 1002}));
  EXPECT_FALSE(runtime_dir.Exists("vexmora/77.sock"));

  EXPECT_TRUE(host::PostToInstance(1001, host::MSG_USER_EVENT, 9, 10));
  EXPECT_FALSE(host::PostToInstance(77, host::MSG_USER_EVENT, 9, 10));
  Message m;
  ASSERT_TRUE(WaitFor(first_inbox, &m));
  EXPECT_EQ(m.code, 9);
  EXPECT_EQ(m.value, 10);
}

TEST_F(Instances, OnlyTheEventMessageIsTakenIn) {
  InstanceListener second(second_inbox, 1002);
  EXPECT_TRUE(host::PostToInstance(1002, 16, 1, 2));  // delivered, then ignored
  EXPECT_TRUE(host::PostToInstance(1002, host::MSG_PORT_NOTIFY, 1, 0));
  EXPECT_TRUE(host::PostToInstance(1002, host::MSG_USER_EVENT, 3, 4));
  Message m;
  ASSERT_TRUE(WaitFor(second_inbox, &m));
  EXPECT_EQ(m.code, 3);
  EXPECT_TRUE(second_inbox.Empty());
}

TEST_F(Instances, ARegistrationEndsWithItsListener) {
  {
    InstanceListener gone(first_inbox, 1001);
    EXPECT_TRUE(runtime_dir.Exists("vexmora/1001.sock"));
  }
  EXPECT_FALSE(runtime_dir.Exists("vexmora/1001.sock"));
  EXPECT_TRUE(host::RunningInstances(5).empty());
  EXPECT_EQ(host::PostToOtherInstances(host::MSG_USER_EVENT, 1, 2, 5), 0);
}

// A sender that reached the socket before it was retired can still write to
// it; the retired listener passes nothing on, so the inbox may go first.
TEST_F(Instances, ARetiredListenerIsGoneAndDeliversNothing) {
  auto inbox = std::make_unique<Inbox>();
  InstanceListener retired(*inbox, 1001);
  const int early = socket(AF_UNIX, SOCK_DGRAM, 0);
  ASSERT_GE(early, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = host::InstanceDirectory() + "/1001.sock";
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(connect(early, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

  retired.Retire();
  EXPECT_FALSE(runtime_dir.Exists("vexmora/1001.sock"));
  EXPECT_TRUE(host::RunningInstances(5).empty());
  const std::int32_t event[3] = {host::MSG_USER_EVENT, 1, 2};
  EXPECT_EQ(send(early, event, sizeof event, 0), static_cast<ssize_t>(sizeof event));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // time to misdeliver
  ASSERT_TRUE(inbox->Empty());
  inbox.reset();  // a delivery now would write to freed memory (seen under ASan)
  EXPECT_EQ(send(early, event, sizeof event, 0), static_cast<ssize_t>(sizeof event));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  close(early);
}

}  // namespace
}  // namespace vx::test
