#include "music/tick_schedule.hpp"

#include <algorithm>

namespace vx::music {
namespace {

constexpr std::uint8_t kNoteOn = 0x90;

bool IsNoteOn(std::uint8_t status, std::uint8_t velocity) {
  return (status & 0xF0) == kNoteOn && velocity > 0;
}

}  // namespace

std::uint64_t TickSchedule::FrameOf(std::uint32_t tick) const {
  const auto ticks_on = static_cast<std::int64_t>(static_cast<std::int32_t>(tick - anchor_tick_));
  const std::int64_t frame =
      static_cast<std::int64_t>(anchor_frame_) + ticks_on * static_cast<std::int64_t>(frames_per_tick_);
  return frame < 0 ? 0 : static_cast<std::uint64_t>(frame);
}

void TickSchedule::Tick(std::uint32_t tick) {
  {
    std::lock_guard lock(mutex_);
    ticked_ = true;
    current_tick_ = tick;
    if (started_) {
      // The tick should fall about where the render thread is. One that
      // comes more than a tick late (the window was held up) starts a new
      // reference here, so that what follows is not late too; one that
      // comes early waits for its frame (the render thread may be running
      // behind), unless it is so early that the clocks have drifted apart.
      const std::uint64_t frame = FrameOf(tick);
      const bool late = frame + frames_per_tick_ < rendered_;
      const bool early = frame > rendered_ + kEarlyTicksMax * frames_per_tick_;
      if (!anchored_ || late || early) {
        anchor_tick_ = tick;
        anchor_frame_ = rendered_;
        anchored_ = true;
      }
    }
  }
  wake_.notify_all();
}

bool TickSchedule::Add(std::uint32_t tick, std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    if (count_ >= kCapacity) return false;
    std::uint64_t due = 0;  // before the stream starts: its first frame
    if (started_) {
      const bool in_tick = ticked_ && anchored_ && tick == current_tick_;
      due = in_tick ? FrameOf(tick) : rendered_;
    } else if (IsNoteOn(status, data2) && !note_waiting_) {
      note_waiting_ = true;
      note_since_ = std::chrono::steady_clock::now();
      wake = true;
    }
    due = std::max(due, last_due_);  // never before a message sent earlier
    last_due_ = due;
    queue_[(first_ + count_) % kCapacity] = TimedMessage{due, status, data1, data2};
    ++count_;
  }
  if (wake) wake_.notify_all();
  return true;
}

std::size_t TickSchedule::TakeAll(std::span<TimedMessage> out) {
  std::lock_guard lock(mutex_);
  std::size_t n = 0;
  for (; n < out.size() && count_ > 0; ++n) {
    out[n] = queue_[first_];
    first_ = (first_ + 1) % kCapacity;
    --count_;
  }
  return n;
}

void TickSchedule::Close() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  wake_.notify_all();
}

void TickSchedule::WaitForStart() {
  std::unique_lock lock(mutex_);
  const auto give_up = std::chrono::steady_clock::now() + kFirstTickWait;
  while (!ticked_ && !closing_) {
    auto until = give_up;
    if (note_waiting_) until = std::min(until, note_since_ + kNoteWait);
    if (std::chrono::steady_clock::now() >= until) break;
    wake_.wait_until(lock, until);
  }
  started_ = true;
  rendered_ = 0;
  // Frame 0 is the start of the tick in force; without one yet, the first
  // tick to come sets the reference.
  anchored_ = ticked_;
  anchor_tick_ = current_tick_;
  anchor_frame_ = 0;
}

std::size_t TickSchedule::TakeDue(std::uint64_t start, std::uint64_t end, std::span<TimedMessage> out) {
  std::lock_guard lock(mutex_);
  return TakeLocked(start, end, out);
}

std::size_t TickSchedule::TakeLocked(std::uint64_t start, std::uint64_t end, std::span<TimedMessage> out) {
  std::size_t n = 0;
  while (n < out.size() && count_ > 0 && queue_[first_].frame < end) {
    TimedMessage m = queue_[first_];
    m.frame = std::clamp(m.frame, start, end - 1);
    out[n++] = m;
    first_ = (first_ + 1) % kCapacity;
    --count_;
  }
  rendered_ = std::max(rendered_, end);
  return n;
}

bool TickSchedule::Started() const {
  std::lock_guard lock(mutex_);
  return started_;
}

}  // namespace vx::music
