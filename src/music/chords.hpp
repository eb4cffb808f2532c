#pragma once
// The chord table (14 chord types over pitch classes) and the chord and key
// analysis of a score built on it and on the major-scale mask.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "music/score.hpp"

namespace vx::music {

inline constexpr int kChordTypes = 14;
inline constexpr int kPitchClasses = 12;
inline constexpr std::uint16_t kMajorScaleMask = 0xAB5;
inline constexpr std::uint16_t kAllPitchClasses = 0xFFF;

struct Chord {
  std::uint16_t mask = 0;  // bit (root + interval) mod 12 of each interval
  std::string_view name;   // six characters, blank padded
};

// The chord of `type` on `root` (any integer, taken mod 12); nullopt for a
// type outside the table.
std::optional<Chord> BuildChord(std::int32_t root, std::int32_t type);

// The 12-bit mask rotated so that bit 0 moves to bit `root`.
std::uint16_t RotatePitchClasses(std::uint16_t mask, int root);

// MIDI channel 10 (index 9) plays General MIDI percussion: its note numbers
// name drums, not pitches.
inline constexpr std::uint8_t kPercussionChannel = 9;

// The notes analysed: records on MIDI channels of the mask that sound during
// [from, from + length); the percussion channel only when asked for.
struct NoteWindow {
  std::uint32_t channel_mask = 0xFFFF;
  std::int64_t from = 0;
  std::int64_t length = 0;
  bool with_percussion = false;
};
std::vector<NoteRecord> NotesIn(Score& score, const NoteWindow& window);
std::uint16_t PitchClassesOf(const std::vector<NoteRecord>& notes);

struct ChordHit {
  int root = 0;
  int type = 0;
};
// Chords whose pitch classes are exactly `set`; when none, the chords with
// the most notes contained in `set`. Roots ascending, then types.
std::vector<ChordHit> FindChords(std::uint16_t set);

struct KeyHit {
  int tonic = 0;
  int notes_in_scale = 0;
};
// Major keys whose scale holds every pitch class of the notes; when none,
// the keys holding the most notes. Empty when there are no notes.
std::vector<KeyHit> FindKeys(const std::vector<NoteRecord>& notes);

// The report line "%s T:%d;C:%d\r\n".
std::string HitLine(std::string_view name, int t, int c);
inline constexpr std::string_view kNoHit = "No hit code.\r\n";

}  // namespace vx::music
