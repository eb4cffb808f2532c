#pragma once
// What the engine keeps about the loaded program's life beyond its tables:
// the title-bar setting, the exit code, the events and paint flags, and the
// labels waiting for the engine.
#include <array>
#include <cstdint>

namespace vx {

inline constexpr int PENDING_LABEL_MAX = 100;

namespace engine {

// Entries (procedure indices) that could not run because the engine was
// busy; the host runs one per tick.
class PendingLabelQueue {
 public:
  // False (the entry is dropped) when the queue is full.
  bool Push(std::int32_t entry) {
    if (count_ >= PENDING_LABEL_MAX) return false;
    entries_[(first_ + count_) % PENDING_LABEL_MAX] = entry;
    ++count_;
    return true;
  }
  // The oldest entry, or 0 when the queue is empty.
  std::int32_t Pop() {
    if (count_ == 0) return 0;
    const std::int32_t entry = entries_[first_];
    first_ = (first_ + 1) % PENDING_LABEL_MAX;
    --count_;
    return entry;
  }
  int Count() const { return count_; }
  void Clear() { first_ = count_ = 0; }

 private:
  std::array<std::int32_t, PENDING_LABEL_MAX> entries_{};
  int first_ = 0;
  int count_ = 0;
};

struct Session {
  std::int32_t title_setting = 1;  // $CONFIG_TITTLE:
  std::int32_t exit_code = 0;      // G_EXIT_CODE at the last unload
  bool events_enabled = false;
  bool started = false;        // the tick paints the bank only once set
  // The last load failed, or the loaded program's run ended with an error.
  bool ended_with_error = false;
  PendingLabelQueue pending_labels;
};

}  // namespace engine
}  // namespace vx
