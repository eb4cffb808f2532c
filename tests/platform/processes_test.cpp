#include "platform/processes.hpp"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace vx::platform {
namespace {

TEST(ProcessTableTest, StartWaitAndExitStatus) {
  ProcessTable table;
  const int pid = table.Start({"sh", "-c", "exit 7"});
  ASSERT_GT(pid, 0);
  int status = 0;
  EXPECT_EQ(table.Wait(pid, -1, &status), ProcessState::kEnded);
  EXPECT_EQ(status, 7);
  EXPECT_EQ(table.Query(pid, &status), ProcessState::kEnded);
  EXPECT_EQ(status, 7);
  EXPECT_EQ(table.Signal(pid, SIGTERM), ESRCH);
}

TEST(ProcessTableTest, MissingProgramIsReportedAtOnce) {
  ProcessTable table;
  EXPECT_EQ(table.Start({"/nonexistent/program"}), -ENOENT);
  EXPECT_EQ(table.Start({}), -ENOENT);
}

TEST(ProcessTableTest, EndingARunningProgram) {
  ProcessTable table;
  const int pid = table.Start({"sh", "-c", "sleep 30 & sleep 30"});
  ASSERT_GT(pid, 0);
  int status = 0;
  EXPECT_EQ(table.Query(pid, &status), ProcessState::kRunning);
  EXPECT_EQ(table.Wait(pid, 20, &status), ProcessState::kRunning);
  EXPECT_EQ(table.Signal(pid, SIGTERM), 0);
  EXPECT_EQ(table.Wait(pid, -1, &status), ProcessState::kEnded);
  EXPECT_EQ(status, 128 + SIGTERM);
}

TEST(ProcessTableTest, OnlyStartedProgramsCanBeSignalled) {
  ProcessTable table;
  EXPECT_EQ(table.Signal(getpid(), SIGTERM), ESRCH);
  int status = 0;
  EXPECT_EQ(table.Query(getpid(), &status), ProcessState::kRunning);
  EXPECT_EQ(status, -1);
  const int pid = table.Start({"sh", "-c", "sleep 30"});
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(table.Forget(pid));
  EXPECT_FALSE(table.Forget(pid));
  EXPECT_EQ(table.Signal(pid, SIGTERM), ESRCH);
  kill(-pid, SIGKILL);
}

}  // namespace
}  // namespace vx::platform

namespace vx::platform {
namespace {

TEST(ProcessTableTest, StartedProgramsDoNotInheritOpenFiles) {
  const int fd = open("/dev/null", O_RDONLY);  // without close-on-exec
  ASSERT_GE(fd, 3);
  ProcessTable table;
  const std::string check = "test -e /proc/self/fd/" + std::to_string(fd) + " && exit 1; exit 0";
  const int pid = table.Start({"sh", "-c", check});
  ASSERT_GT(pid, 0);
  int status = -1;
  EXPECT_EQ(table.Wait(pid, -1, &status), ProcessState::kEnded);
  EXPECT_EQ(status, 0);
  close(fd);
}

}  // namespace
}  // namespace vx::platform
