#pragma once
// The music subsystem of one runtime: the score, the sequence, the player
// and the MIDI output. The player's state and the sequence are guarded by
// one lock, shared by the sequence operations and the player's tick.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "music/midi_output.hpp"
#include "music/score.hpp"
#include "music/sequence.hpp"

namespace vx::music {

inline constexpr std::uint8_t kControlChange = 0xB0;
inline constexpr std::uint8_t kAllNotesOff = 123;
inline constexpr int kMidiChannels = 16;

// Shows a message box to the user (why the output could not be opened).
using MessageSink = std::function<void(std::string_view text)>;

class Music {
 public:
  // `choice` is what VEXMORA_MIDI says (empty: the default back end).
  explicit Music(std::string choice = {});

  void SetMessageSink(MessageSink sink) { sink_ = std::move(sink); }
  // For tests: an output already open.
  void UseOutput(std::unique_ptr<MidiOutput> output);

  Score& score() { return score_; }

  // Opens the output on first use (showing why it cannot be, once per run)
  // and sends; false when there is no output.
  bool Send(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
  bool SetVolume(std::uint16_t left, std::uint16_t right);

  // Sequence operations, under the lock.
  void BuildSequence(const SeqRange& range);
  void ApplyTempo(std::int64_t from, double factor);
  SeqRef NextEvent(std::int64_t from, bool restart, std::int64_t to, SeqEvent& out);
  std::string SequenceAsSmf();
  std::size_t SequenceSize();
  // For tests and benchmarks.
  void AssignSequence(std::vector<SeqEvent> events);

  // The player: starting or stopping rewinds to tick 0 and event 0;
  // stopping silences all 16 channels.
  void Start(bool loop);
  void Stop();
  bool Playing();
  // One timer tick of the main window.
  void Tick();
  std::uint32_t Clock() const { return clock_; }

 private:
  bool EnsureOpen();
  void ReportOpenFailure();
  void TickLocked();
  void SendLocked(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);

  std::string choice_;
  MessageSink sink_;
  std::unique_ptr<MidiOutput> output_;
  bool open_failed_ = false;
  std::string pending_message_;  // why opening failed, not shown yet

  Score score_;
  std::mutex lock_;  // sequence and player
  Sequence sequence_;
  bool playing_ = false;
  bool loop_ = false;
  std::uint32_t tick_ = 0;       // the player's position in sequence ticks
  std::size_t next_event_ = 0;
  std::uint32_t clock_ = 0;      // ticks since the subsystem started
};

}  // namespace vx::music
