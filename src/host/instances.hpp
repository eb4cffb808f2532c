#pragma once
// Running instances of this program find each other through a per-user
// directory of Unix datagram sockets ($XDG_RUNTIME_DIR/vexmora, else
// /tmp/vexmora-UID, mode 0700), one socket per process named after its
// process id. A datagram is three 32-bit numbers: message, value 1, value 2.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/quiet_thread.hpp"

namespace vx::host {

class Inbox;

// The directory, created (mode 0700) when missing; empty when it cannot be
// made or is not a private directory of this user.
std::string InstanceDirectory();

// This process's number in the directory (its process id).
std::int32_t OwnInstanceId();

// Sends to every registered instance but `own`; stale sockets are removed.
// The number of instances reached.
int PostToOtherInstances(std::int32_t message, std::int32_t value1, std::int32_t value2,
                         std::int32_t own = OwnInstanceId());
// Sends to the instance `id` only; false when it is not listening (a stale
// socket is removed).
bool PostToInstance(std::int32_t id, std::int32_t message, std::int32_t value1, std::int32_t value2);
// The listening instances but `own`, in ascending order; stale sockets are
// removed on the way.
std::vector<std::int32_t> RunningInstances(std::int32_t own = OwnInstanceId());

// This process's socket: registered while the object lives; what arrives
// goes to the inbox (WM_USER+135 as the EVENT message, WM_USER+1 ignored:
// serial ports belong to their own process).
class InstanceListener {
 public:
  // Registers as `id` (this process's own number unless a test says).
  explicit InstanceListener(Inbox& inbox, std::int32_t id = OwnInstanceId());
  ~InstanceListener();
  InstanceListener(const InstanceListener&) = delete;
  InstanceListener& operator=(const InstanceListener&) = delete;
  bool Listening() const { return fd_ >= 0; }

  // Unregisters and delivers nothing more, without waiting for the thread:
  // for a process that ends with _Exit next and never destroys the
  // listener, sparing the wake-up and join of a thread on another core. The
  // inbox may go at once; destroying the listener later still joins.
  void Retire();

 private:
  void Receive();
  void Unregister();

  Inbox& inbox_;
  int fd_ = -1;
  int wake_[2] = {-1, -1};
  std::string path_;
  std::mutex delivering_;  // held while a message goes to the inbox
  bool retired_ = false;
  platform::QuietThread thread_;
};

}  // namespace vx::host
