#pragma once
// The main window's message vocabulary and the two queues around it: the
// deferred message queue (messages put back because the engine was busy)
// and the inbox through which other threads and processes reach the window
// thread.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace vx::host {

inline constexpr int TICK_INTERVAL_MS = 30;
inline constexpr int DEFERRED_MESSAGE_MAX = 100;
inline constexpr std::size_t INBOX_MAX = 10000;

// Message numbers other processes may post (PostEvent, PostEventExt).
inline constexpr std::int32_t MSG_PORT_NOTIFY = 1025;  // WM_USER+1
inline constexpr std::int32_t MSG_USER_EVENT = 1159;   // WM_USER+135

// System commands of the window menu.
inline constexpr std::int32_t SYSCMD_OPEN_SCRIPT = 16;
inline constexpr std::int32_t SYSCMD_DEFAULT = 32;
inline constexpr std::int32_t SYSCMD_EDIT_SCRIPT = 48;
inline constexpr std::int32_t SYSCMD_HELP = 64;
inline constexpr std::int32_t SYSCMD_RELOAD_SCRIPT = 80;  // ours: load the current script again

enum class MessageKind : std::uint16_t {
  kTick,            // the 30 ms tick timer
  kClose,           // the user asks to close the window
  kReload,          // load `path` as the next script
  kMouseMove,       // x, y: client position
  kLButtonDown,
  kLButtonUp,
  kLButtonDblClk,
  kRButtonDown,
  kRButtonUp,
  kMButtonDown,
  kMButtonUp,
  kWheel,           // code: wheel delta (120 per notch, positive away from the user)
  kKeyDown,         // code: Windows virtual-key code
  kKeyUp,
  kChar,            // code: one byte of the Shift-JIS character
  kSysKeyDown,      // F10 and keys pressed with Alt
  kSize,            // code: SizeKind, x, y: client width and height
  kEnterSizeMove,   // x, y: client size when the frame drag begins
  kExitSizeMove,    // x, y: client size when it ends
  kDropFile,        // path (Shift-JIS); ctrl: Ctrl was held
  kSysCommand,      // code: SYSCMD_...
  kUserEvent,       // code: value 1, value: value 2 (WM_USER+135)
  kPortNotify,      // code: port index, value: 0 data, else error (WM_USER+1)
  kPipeText,        // path: the bytes one read of the pipe server took
  kAudioPlayed,     // a playback buffer came back; code: buffer, value: device generation
  kAudioRecOpened,  // the recording device is open; value: device generation
  kAudioRecFilled,  // a recording buffer is full; code: buffer, x: samples, value: generation
  kCameraFrame,     // a camera frame is waiting; code: camera generation, value: 1 the camera ended
  kSpeechDone,      // an utterance ended; code: its id, value: SpeechEnd
};

enum SizeKind : std::int32_t {
  SIZE_RESTORED = 0,
  SIZE_MINIMIZED = 1,
  SIZE_MAXIMIZED = 2,
};

struct Message {
  MessageKind kind = MessageKind::kTick;
  std::string path;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t code = 0;
  std::int32_t value = 0;
  bool ctrl = false;
};

// A ring of DEFERRED_MESSAGE_MAX messages, handed back one per tick. Only the
// window thread touches it.
class DeferredQueue {
 public:
  // False when the ring is full (the message is not taken).
  bool Push(const Message& m) {
    if (count_ >= DEFERRED_MESSAGE_MAX) return false;
    ring_[static_cast<std::size_t>((first_ + count_) % DEFERRED_MESSAGE_MAX)] = m;
    ++count_;
    return true;
  }
  bool Pop(Message* out) {
    if (count_ == 0) return false;
    *out = std::move(ring_[static_cast<std::size_t>(first_)]);
    first_ = (first_ + 1) % DEFERRED_MESSAGE_MAX;
    --count_;
    return true;
  }
  int Count() const { return count_; }

 private:
  std::array<Message, DEFERRED_MESSAGE_MAX> ring_{};
  int first_ = 0;
  int count_ = 0;
};

// Messages from other threads (port readers, the instance listener) and
// from the script itself (PostEvent to this window): any thread posts, the
// window thread takes them in order. `wake` (set by the window layer) is
// called after each post so the window thread looks soon; it must be safe
// to call from any thread.
class Inbox {
 public:
  // False when INBOX_MAX messages are already waiting (the message is lost).
  bool Post(Message m) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (messages_.size() >= INBOX_MAX) return false;
      messages_.push_back(std::move(m));
    }
    std::function<void()> wake;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      wake = wake_;
    }
    if (wake) wake();
    return true;
  }
  bool Take(Message* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (messages_.empty()) return false;
    *out = std::move(messages_.front());
    messages_.pop_front();
    return true;
  }
  bool Empty() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_.empty();
  }
  void SetWake(std::function<void()> wake) {
    std::lock_guard<std::mutex> lock(mutex_);
    wake_ = std::move(wake);
  }

 private:
  mutable std::mutex mutex_;
  std::deque<Message> messages_;
  std::function<void()> wake_;
};

}  // namespace vx::host
