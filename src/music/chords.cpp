#include "music/chords.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <initializer_list>

namespace vx::music {
namespace {

struct ChordType {
  std::string_view name;
  std::initializer_list<int> intervals;
};

const std::array<ChordType, kChordTypes> kChordTable = {{
    {"MAJOR ", {0, 4, 7}},
    {"MINOR ", {0, 3, 7}},
    {"7th   ", {0, 4, 7, 10}},
    {"m7th  ", {0, 3, 7, 10}},
    {"dim   ", {0, 3, 6, 9}},
    {"sus4  ", {0, 5, 7}},
    {"mM7   ", {0, 3, 7, 11}},
    {"9     ", {0, 2, 4, 7}},
    {"maj7  ", {0, 4, 7, 11}},
    {"m7-5  ", {0, 3, 6, 10}},
    {"+5    ", {0, 4, 8}},
    {"m9    ", {0, 2, 3, 7}},
    {"-5    ", {0, 4, 6}},
    {"7sus4 ", {0, 5, 7, 10}},
}};

int Mod12(std::int64_t v) { return static_cast<int>(((v % kPitchClasses) + kPitchClasses) % kPitchClasses); }

}  // namespace

std::uint16_t RotatePitchClasses(std::uint16_t mask, int root) {
  const int r = Mod12(root);
  const std::uint32_t m = mask & kAllPitchClasses;
  return static_cast<std::uint16_t>(((m << r) | (m >> (kPitchClasses - r))) & kAllPitchClasses);
}

std::optional<Chord> BuildChord(std::int32_t root, std::int32_t type) {
  if (type < 0 || type >= kChordTypes) return std::nullopt;
  const ChordType& t = kChordTable[static_cast<std::size_t>(type)];
  std::uint16_t mask = 0;
  for (int interval : t.intervals) mask |= static_cast<std::uint16_t>(1u << Mod12(std::int64_t{root} + interval));
  return Chord{mask, t.name};
}

std::vector<NoteRecord> NotesIn(Score& score, const NoteWindow& window) {
  score.EnsureSorted();
  std::vector<NoteRecord> notes;
  const std::int64_t end = window.from + window.length;
  for (const NoteRecord& r : score.Records()) {
    if (r.time >= end) break;
    if (r.channel >= kFirstControlChannel || !ChannelSelected(window.channel_mask, r.channel)) continue;
    if (r.channel == kPercussionChannel && !window.with_percussion) continue;
    // A note of length 0 still counts at its start.
    const std::int64_t stop = std::int64_t{r.time} + std::max<std::int64_t>(r.length, 1);
    if (stop > window.from) notes.push_back(r);
  }
  return notes;
}

std::uint16_t PitchClassesOf(const std::vector<NoteRecord>& notes) {
  std::uint16_t set = 0;
  for (const NoteRecord& r : notes) set |= static_cast<std::uint16_t>(1u << (r.note % kPitchClasses));
  return set;
}

std::vector<ChordHit> FindChords(std::uint16_t set) {
  std::vector<ChordHit> exact, partial;
  int best = 0;
  if (set == 0) return exact;
  for (int root = 0; root < kPitchClasses; ++root) {
    for (int type = 0; type < kChordTypes; ++type) {
      const std::uint16_t mask = BuildChord(root, type)->mask;
      if (mask == set) exact.push_back({root, type});
      if ((mask & set) != mask) continue;
      const int size = std::popcount(static_cast<unsigned>(mask));
      if (size > best) {
        best = size;
        partial.clear();
      }
      if (size == best) partial.push_back({root, type});
    }
  }
  return exact.empty() ? partial : exact;
}

std::vector<KeyHit> FindKeys(const std::vector<NoteRecord>& notes) {
  std::vector<KeyHit> hits;
  if (notes.empty()) return hits;
  int best = 0;
  for (int tonic = 0; tonic < kPitchClasses; ++tonic) {
    const std::uint16_t scale = RotatePitchClasses(kMajorScaleMask, tonic);
    int inside = 0;
    for (const NoteRecord& r : notes) inside += (scale >> (r.note % kPitchClasses)) & 1;
    if (inside > best) {
      best = inside;
      hits.clear();
    }
    if (inside == best && inside > 0) hits.push_back({tonic, inside});
  }
  return hits;
}

std::string HitLine(std::string_view name, int t, int c) {
  char line[64];
  const std::string n(name);
  std::snprintf(line, sizeof line, "%s T:%d;C:%d\r\n", n.c_str(), t, c);
  return line;
}

}  // namespace vx::music
