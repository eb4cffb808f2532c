#pragma once
// The score: a list of note records in ticks, kept in time order on demand.
// Channels 0-15 are MIDI channels; 16 and above are control records (channel
// 16 with note 1 is a tempo mark whose velocity is a tempo percentage).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx::music {

inline constexpr std::size_t kScoreCapacity = 6144;
inline constexpr std::uint8_t kFirstControlChannel = 16;
inline constexpr std::uint8_t kTempoChannel = 16;
inline constexpr std::uint8_t kTempoNote = 1;
inline constexpr std::int64_t kTickMax = 65535;
// Score text lines longer than this are not score lines.
inline constexpr std::size_t kScoreLineMax = 256;

struct NoteRecord {
  std::uint16_t time = 0;
  std::uint16_t length = 0;
  std::uint8_t channel = 0;
  std::uint8_t note = 0;
  std::uint8_t velocity = 0;
  bool operator==(const NoteRecord&) const = default;
};

// A 32-bit channel mask selects channels 0-31; higher channels never.
inline bool ChannelSelected(std::uint32_t mask, std::uint32_t channel) {
  return channel < 32 && ((mask >> channel) & 1u) != 0;
}

// A score record from script values: times clamp to 0-65535, the
// byte-sized fields to 0-255.
NoteRecord MakeRecord(std::int64_t time, std::int64_t length, std::int64_t channel,
                      std::int64_t note, std::int64_t velocity);

struct DeleteRange {
  std::uint32_t channel_mask = 0;
  std::int64_t from = 0;
  std::int64_t length = 0;
  std::int64_t low_note = 0;
  std::int64_t high_note = 0;
};

class Score {
 public:
  Score() { records_.reserve(kScoreCapacity); }

  std::size_t Size() const { return records_.size(); }
  bool Sorted() const { return sorted_; }
  // Readers call this first: sorts by time (stable) when the flag is clear.
  void EnsureSorted();
  const std::vector<NoteRecord>& Records() const { return records_; }

  bool Add(const NoteRecord& record);  // false when full
  bool Modify(std::size_t index, const NoteRecord& record);  // false past the end
  void Clear();
  // Replaces every record (at most the capacity are kept).
  void Replace(std::vector<NoteRecord> records);
  // Removes the records of the range; with `close_gap` the later records of
  // the selected channels move earlier by the range's length. Returns the
  // number removed.
  std::size_t Delete(const DeleteRange& range, bool close_gap);

  // The next record at or after `from` on a selected channel, after the one
  // last returned (or from the start when `restart`); its index, or nullopt.
  std::optional<std::size_t> Next(std::uint32_t channel_mask, std::int64_t from, bool restart);

  // One line per record (sorted first).
  std::string ToText();
  // Replaces the score with the records of `text`'s well-formed lines (at
  // most the capacity); returns the number read.
  std::size_t FromText(std::string_view text);

 private:
  std::vector<NoteRecord> records_;
  bool sorted_ = true;
  std::size_t cursor_ = 0;  // index after the record Next returned last
};

// One score text line without its line end: the record, or nullopt when the
// line is not "TM:%ld, LG:%ld, CH:%ld, NN:%ld, VL:%ld," with every value in
// its field's range.
std::optional<NoteRecord> ParseScoreLine(std::string_view line);
std::string FormatScoreLine(const NoteRecord& record);

}  // namespace vx::music
