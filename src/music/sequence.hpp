#pragma once
// The sequence: timed MIDI messages built from the score, in time order and,
// at equal times, in status order (so a note-off 0x8n precedes a note-on
// 0x9n), except that a note's own note-off follows its note-on when both
// fall on one tick.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "music/score.hpp"

namespace vx::music {

inline constexpr std::size_t kSequenceCapacity = 12288;

struct SeqEvent {
  std::uint16_t time = 0;
  std::uint8_t status = 0;
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;
  bool operator==(const SeqEvent&) const = default;
};

// A status below 0x80 is a control record carried along for the script;
// it is never a MIDI message.
inline bool IsMidiStatus(std::uint8_t status) { return status >= 0x80; }

struct SeqRange {
  std::uint32_t channel_mask = 0;
  std::int64_t from = 0;
  std::int64_t length = 0;
  double factor = 1.0;
};

enum class SeqRef { kFound, kNotYet, kEnd };

class Sequence {
 public:
  Sequence() { events_.reserve(kSequenceCapacity); }

  const std::vector<SeqEvent>& Events() const { return events_; }
  std::size_t Size() const { return events_.size(); }

  // Replaces the events with those of the score's records in the range.
  void Build(Score& score, const SeqRange& range);
  // Stretches the gaps between events by the score's tempo marks.
  void ApplyTempo(Score& score, std::int64_t from, double factor);

  // The next event at or after `from` (after the one last returned, or from
  // the start when `restart`): kFound with `out` set when its time is below
  // `to`, kNotYet (not consumed) when it is `to` or later, kEnd when none.
  SeqRef Next(std::int64_t from, bool restart, std::int64_t to, SeqEvent& out);

  // A Standard MIDI File, format 0, one track (see WriteSmf).
  std::string ToSmf() const;

  // For tests and benchmarks.
  void Assign(std::vector<SeqEvent> events) { events_ = std::move(events); }

 private:
  std::vector<SeqEvent> events_;
  std::size_t cursor_ = 0;
};

// Sequence ticks are the player's 30 ms ticks. The file's division is 100
// per quarter note at a tempo of 300,000 us per quarter note (200 bpm), so
// that one file tick is 3 ms and a sequence tick is 10 file ticks.
inline constexpr std::uint16_t kSmfDivision = 100;
inline constexpr std::uint32_t kSmfTempo = 300000;
inline constexpr std::uint32_t kSmfTicksPerTick = 10;

}  // namespace vx::music
