#include "music/sequence.hpp"

#include <algorithm>
#include <cmath>

#include "music/midi_output.hpp"

namespace vx::music {
namespace {

constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kNoteOff = 0x80;

// Times are truncated toward zero and kept within 16 bits: a late note that
// would wrap stays at the last tick rather than turning early.
std::uint16_t SeqTime(double t) {
  if (!(t > 0)) return 0;  // negative or NaN
  if (t >= static_cast<double>(kTickMax)) return static_cast<std::uint16_t>(kTickMax);
  return static_cast<std::uint16_t>(std::trunc(t));
}

// An event waiting to be sorted into the sequence: its place among events
// of the same tick is its rank (the status byte, so that a note-off ends a
// note before a note-on of that tick starts one), except for a note-off that
// falls on the tick of its own note-on, which ranks with the note-on and so
// follows it: a note of length 0 must still end.
struct Ranked {
  SeqEvent event;
  std::uint8_t rank = 0;
};

void SortEvents(std::vector<Ranked>& events) {
  std::stable_sort(events.begin(), events.end(), [](const Ranked& a, const Ranked& b) {
    return a.event.time != b.event.time ? a.event.time < b.event.time : a.rank < b.rank;
  });
}

void PutBigEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutVariableLength(std::string& out, std::uint32_t value) {
  char bytes[5];
  int n = 0;
  bytes[n++] = static_cast<char>(value & 0x7F);
  while ((value >>= 7) != 0) bytes[n++] = static_cast<char>(0x80 | (value & 0x7F));
  while (n > 0) out += bytes[--n];
}

// Data bytes of the channel messages; 0xC0 and 0xD0 carry one.
int DataBytes(std::uint8_t status) {
  const std::uint8_t kind = status & 0xF0;
  if (kind == 0xC0 || kind == 0xD0) return 1;
  return kind >= 0x80 && kind <= 0xE0 ? 2 : 0;
}

}  // namespace

void Sequence::Build(Score& score, const SeqRange& range) {
  score.EnsureSorted();
  std::vector<Ranked> built;
  built.reserve(kSequenceCapacity);
  cursor_ = 0;
  const std::int64_t end = range.from + range.length;
  for (const NoteRecord& r : score.Records()) {
    if (r.time < range.from) continue;
    if (r.time >= end || built.size() >= kSequenceCapacity) break;
    if (!ChannelSelected(range.channel_mask, r.channel)) continue;
    const double start = static_cast<double>(r.time - range.from) * range.factor;
    if (r.channel < kFirstControlChannel) {
      const auto on_status = static_cast<std::uint8_t>(kNoteOn + r.channel);
      const SeqEvent on{SeqTime(start), on_status, MidiDataByte(r.note), MidiDataByte(r.velocity)};
      built.push_back({on, on_status});
      if (built.size() >= kSequenceCapacity) break;
      const double stop =
          static_cast<double>(std::int64_t{r.time} + r.length - range.from) * range.factor;
      const SeqEvent off{SeqTime(stop), static_cast<std::uint8_t>(kNoteOff + r.channel), on.data1, 0};
      built.push_back({off, off.time == on.time ? on_status : off.status});
    } else {
      built.push_back({{SeqTime(start), r.channel, r.note, r.velocity}, r.channel});
    }
  }
  SortEvents(built);
  events_.clear();
  for (const Ranked& r : built) events_.push_back(r.event);
}

void Sequence::ApplyTempo(Score& score, std::int64_t from, double factor) {
  score.EnsureSorted();
  std::vector<const NoteRecord*> marks;
  for (const NoteRecord& r : score.Records()) {
    if (r.channel == kTempoChannel && r.note == kTempoNote && r.time >= from) marks.push_back(&r);
  }
  std::size_t next_mark = 0;
  double tempo = 1.0;
  double previous_old = 0;
  double running = 0;
  for (SeqEvent& e : events_) {
    const double old_time = e.time;
    if (next_mark < marks.size() &&
        static_cast<double>(marks[next_mark]->time - from) * factor <= old_time) {
      tempo = marks[next_mark]->velocity / 100.0;
      ++next_mark;
    }
    running += (old_time - previous_old) * tempo;
    previous_old = old_time;
    e.time = SeqTime(running);
  }
  cursor_ = 0;
}

SeqRef Sequence::Next(std::int64_t from, bool restart, std::int64_t to, SeqEvent& out) {
  if (restart) cursor_ = 0;
  while (cursor_ < events_.size() && events_[cursor_].time < from) ++cursor_;
  if (cursor_ >= events_.size()) return SeqRef::kEnd;
  const SeqEvent& e = events_[cursor_];
  if (e.time >= to) return SeqRef::kNotYet;
  out = e;
  ++cursor_;
  return SeqRef::kFound;
}

std::string Sequence::ToSmf() const {
  std::string track;
  // Tempo meta event first.
  track += '\0';
  track += "\xFF\x51\x03";
  PutBigEndian(track, kSmfTempo, 3);
  std::uint32_t last = 0;
  for (const SeqEvent& e : events_) {
    const int data = DataBytes(e.status);
    if (!IsMidiStatus(e.status) || data == 0) continue;  // control records and system bytes
    const std::uint32_t at = std::uint32_t{e.time} * kSmfTicksPerTick;
    PutVariableLength(track, at - last);
    last = at;
    track += static_cast<char>(e.status);
    track += static_cast<char>(MidiDataByte(e.data1));
    if (data == 2) track += static_cast<char>(MidiDataByte(e.data2));
  }
  track += '\0';
  track += "\xFF\x2F";
  track += '\0';
  std::string file = "MThd";
  PutBigEndian(file, 6, 4);
  PutBigEndian(file, 0, 2);  // format 0
  PutBigEndian(file, 1, 2);  // one track
  PutBigEndian(file, kSmfDivision, 2);
  file += "MTrk";
  PutBigEndian(file, static_cast<std::uint32_t>(track.size()), 4);
  return file + track;
}

}  // namespace vx::music
