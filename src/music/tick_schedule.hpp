#pragma once
// Places the MIDI messages of the window's ticks on the frames of a sound
// stream that a render thread fills in real time (the FluidSynth output on a
// sound device), so that each tick's messages sound where that tick falls
// in the stream rather than wherever the render thread happens to be.
//
// The stream starts with the first tick after it opened: frame 0 is that
// tick's start, and tick k falls kFramesPerTick frames after tick k - 1. The
// messages a tick sends are placed at its frame, all of them in one block;
// a message sent between ticks (a label's MIDISend) is placed at once. A
// tick that comes more than a tick after its frame (the window was busy),
// or far before it (the clocks drifted apart), becomes the stream's new
// reference, so that what follows keeps its spacing. Messages never
// overtake each other.
//
// Tick and Add are called on the window thread, WaitForStart and TakeDue on
// the render thread; a short lock keeps them apart.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

namespace vx::music {

struct TimedMessage {
  std::uint64_t frame = 0;  // in the stream, from its first frame
  std::uint8_t status = 0;
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;
};

class TickSchedule {
 public:
  // Messages that may wait for their frame at once.
  static constexpr std::size_t kCapacity = 4096;
  // How long the stream waits for the first tick after opening. Nothing is
  // heard before a note-on, so the wait is long unless a note is waiting to
  // sound (a script playing notes while no tick runs, as in a Sleep): that
  // one waits at most kNoteWait.
  static constexpr auto kFirstTickWait = std::chrono::milliseconds(1000);
  static constexpr auto kNoteWait = std::chrono::milliseconds(30);
  // A tick this many ticks ahead of the stream means the clocks drifted.
  static constexpr std::uint64_t kEarlyTicksMax = 4;

  explicit TickSchedule(std::uint64_t frames_per_tick) : frames_per_tick_(frames_per_tick) {}

  // Window thread: a tick began.
  void Tick(std::uint32_t tick);
  // Window thread: a message sent during `tick`. False when kCapacity
  // messages wait (the caller plays them at once with TakeAll first).
  bool Add(std::uint32_t tick, std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
  // Window thread: every waiting message, in order (when full or closing).
  std::size_t TakeAll(std::span<TimedMessage> out);
  // Ends any wait for the first tick (the output closes).
  void Close();

  // Render thread, before its first block: waits for the first tick (see
  // kFirstTickWait and kNoteWait) and starts the stream there.
  void WaitForStart();
  // Render thread: the messages due before frame `end`, in order, with
  // frames held within [start, end); the stream has then been rendered up
  // to `end`. At most out.size() are taken (the rest wait for the next
  // block).
  std::size_t TakeDue(std::uint64_t start, std::uint64_t end, std::span<TimedMessage> out);

  bool Started() const;

 private:
  std::uint64_t FrameOf(std::uint32_t tick) const;
  std::size_t TakeLocked(std::uint64_t start, std::uint64_t end, std::span<TimedMessage> out);

  const std::uint64_t frames_per_tick_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool started_ = false;   // the render thread began the stream
  bool closing_ = false;
  bool ticked_ = false;    // a tick came since opening
  bool anchored_ = false;  // anchor_tick_ and anchor_frame_ hold
  std::uint32_t current_tick_ = 0;
  std::uint32_t anchor_tick_ = 0;
  std::uint64_t anchor_frame_ = 0;
  std::uint64_t rendered_ = 0;  // frames the render thread has taken messages for
  std::uint64_t last_due_ = 0;  // the frame of the last message added
  bool note_waiting_ = false;   // a note-on was added before the stream began
  std::chrono::steady_clock::time_point note_since_;
  std::array<TimedMessage, kCapacity> queue_{};
  std::size_t first_ = 0;
  std::size_t count_ = 0;
};

}  // namespace vx::music
