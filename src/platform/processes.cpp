#include "platform/processes.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace vx::platform {
namespace {

int StatusOf(int wait_status) {
  if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
  return -1;
}

// posix_spawn's attribute and file-action objects, released on every path.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawnattr_init(&attr_);
    posix_spawn_file_actions_init(&actions_);
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attr_);
    posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  int Prepare() {
    // Its own process group, default signal handling, no input.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    int rc = posix_spawnattr_setflags(
        &attr_, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    if (rc == 0) rc = posix_spawnattr_setpgroup(&attr_, 0);
    if (rc == 0) rc = posix_spawnattr_setsigdefault(&attr_, &defaults);
    sigset_t none;
    sigemptyset(&none);
    if (rc == 0) rc = posix_spawnattr_setsigmask(&attr_, &none);
    if (rc == 0) rc = posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Ports, pipes and files the engine holds open stay with the engine.
    if (rc == 0) rc = posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
#endif
    return rc;
  }
  const posix_spawnattr_t* attr() const { return &attr_; }
  const posix_spawn_file_actions_t* actions() const { return &actions_; }

 private:
  posix_spawnattr_t attr_;
  posix_spawn_file_actions_t actions_;
};

}  // namespace

ProcessTable::~ProcessTable() {
  for (Child& child : children_) Collect(child, false);
}

ProcessTable::Child* ProcessTable::Find(int pid) {
  auto it = std::find_if(children_.begin(), children_.end(),
                         [pid](const Child& c) { return c.pid == pid && !c.forgotten; });
  return it == children_.end() ? nullptr : &*it;
}

void ProcessTable::Collect(Child& child, bool block) {
  if (child.ended) return;
  int wait_status = 0;
  pid_t rc;
  do {
    rc = waitpid(child.pid, &wait_status, block ? 0 : WNOHANG);
  } while (rc < 0 && errno == EINTR);
  if (rc == child.pid) {
    child.ended = true;
    child.status = StatusOf(wait_status);
  } else if (rc < 0) {
    // Someone else collected it (ECHILD): it has ended, status unknown.
    child.ended = true;
  }
}

void ProcessTable::MakeRoom() {
  for (Child& child : children_) Collect(child, false);
  std::erase_if(children_, [](const Child& c) { return c.ended && c.forgotten; });
  // Ended programs whose status nobody asked for make room, oldest first.
  while (static_cast<int>(children_.size()) >= PROCESS_MAX) {
    auto ended =
        std::find_if(children_.begin(), children_.end(), [](const Child& c) { return c.ended; });
    if (ended == children_.end()) return;
    children_.erase(ended);
  }
}

int ProcessTable::Start(const std::vector<std::string>& argv) {
  if (argv.empty() || argv[0].empty()) return -ENOENT;
  MakeRoom();
  if (static_cast<int>(children_.size()) >= PROCESS_MAX) return -EAGAIN;
  std::vector<char*> pointers;
  pointers.reserve(argv.size() + 1);
  for (const std::string& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
  pointers.push_back(nullptr);
  SpawnSetup setup;
  if (const int rc = setup.Prepare(); rc != 0) return -rc;
  pid_t pid = 0;
  const int rc =
      posix_spawnp(&pid, pointers[0], setup.actions(), setup.attr(), pointers.data(), environ);
  if (rc != 0) return -rc;
  children_.push_back(Child{pid, false, -1});
  return pid;
}

ProcessState ProcessTable::Query(int pid, int* exit_status) {
  *exit_status = -1;
  if (pid <= 0) return ProcessState::kUnknown;
  if (Child* child = Find(pid)) {
    Collect(*child, false);
    *exit_status = child->status;
    return child->ended ? ProcessState::kEnded : ProcessState::kRunning;
  }
  if (kill(pid, 0) == 0 || errno == EPERM) return ProcessState::kRunning;
  return ProcessState::kEnded;
}

ProcessState ProcessTable::Wait(int pid, int timeout_ms, int* exit_status) {
  Child* child = Find(pid);
  if (!child) return Query(pid, exit_status);
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  for (;;) {
    Collect(*child, timeout_ms < 0);
    if (child->ended || Clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  *exit_status = child->status;
  return child->ended ? ProcessState::kEnded : ProcessState::kRunning;
}

int ProcessTable::Signal(int pid, int signal) {
  Child* child = Find(pid);
  if (!child) return ESRCH;
  Collect(*child, false);
  if (child->ended) return ESRCH;
  return kill(-pid, signal) == 0 ? 0 : errno;
}

bool ProcessTable::Forget(int pid) {
  Child* child = Find(pid);
  if (!child) return false;
  child->forgotten = true;
  return true;
}

}  // namespace vx::platform
