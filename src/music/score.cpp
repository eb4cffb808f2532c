#include "music/score.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace vx::music {
namespace {

constexpr std::int64_t kByteMax = 255;
constexpr std::int64_t kBeyondEveryField = kTickMax + 1;

std::uint16_t ClampTicks(std::int64_t v) {
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(v, 0, kTickMax));
}
std::uint8_t ClampByte(std::int64_t v) {
  return static_cast<std::uint8_t>(std::clamp<std::int64_t>(v, 0, kByteMax));
}

bool InRange(const NoteRecord& r, const DeleteRange& d) {
  return ChannelSelected(d.channel_mask, r.channel) && r.time >= d.from &&
         r.time < d.from + d.length && r.note >= d.low_note && r.note <= d.high_note;
}

// A reader of one line the way the C library's scanf reads "%ld" and
// literal text: blanks in the pattern match any run of white space, numbers
// may have leading white space and a sign.
class LineScanner {
 public:
  explicit LineScanner(std::string_view line) : line_(line) {}

  bool Literal(std::string_view text) {
    for (char c : text) {
      if (c == ' ') {
        SkipSpace();
        continue;
      }
      if (pos_ >= line_.size() || line_[pos_] != c) return false;
      ++pos_;
    }
    return true;
  }

  // Leading zeros are part of the number ("0000000010" is 10); a value
  // beyond every field's range is held just above it, as strtol holds a
  // long at its limit.
  bool Number(std::int64_t& out) {
    SkipSpace();
    bool negative = false;
    if (pos_ < line_.size() && (line_[pos_] == '-' || line_[pos_] == '+')) {
      negative = line_[pos_] == '-';
      ++pos_;
    }
    const std::size_t start = pos_;
    std::int64_t value = 0;
    while (pos_ < line_.size() && std::isdigit(static_cast<unsigned char>(line_[pos_]))) {
      value = std::min<std::int64_t>(value * 10 + (line_[pos_] - '0'), kBeyondEveryField);
      ++pos_;
    }
    if (pos_ == start) return false;
    out = negative ? -value : value;
    return true;
  }

 private:
  void SkipSpace() {
    while (pos_ < line_.size() && std::isspace(static_cast<unsigned char>(line_[pos_]))) ++pos_;
  }
  std::string_view line_;
  std::size_t pos_ = 0;
};

}  // namespace

NoteRecord MakeRecord(std::int64_t time, std::int64_t length, std::int64_t channel,
                      std::int64_t note, std::int64_t velocity) {
  return NoteRecord{ClampTicks(time), ClampTicks(length), ClampByte(channel), ClampByte(note),
                    ClampByte(velocity)};
}

void Score::EnsureSorted() {
  if (sorted_) return;
  std::stable_sort(records_.begin(), records_.end(),
                   [](const NoteRecord& a, const NoteRecord& b) { return a.time < b.time; });
  sorted_ = true;
}

bool Score::Add(const NoteRecord& record) {
  if (records_.size() >= kScoreCapacity) return false;
  records_.push_back(record);
  sorted_ = false;
  return true;
}

bool Score::Modify(std::size_t index, const NoteRecord& record) {
  if (index >= records_.size()) return false;
  records_[index] = record;
  sorted_ = false;
  return true;
}

void Score::Clear() {
  records_.clear();
  sorted_ = true;
  cursor_ = 0;
}

void Score::Replace(std::vector<NoteRecord> records) {
  if (records.size() > kScoreCapacity) records.resize(kScoreCapacity);
  records_ = std::move(records);
  records_.reserve(kScoreCapacity);
  cursor_ = 0;
  sorted_ = false;
  EnsureSorted();
}

std::size_t Score::Delete(const DeleteRange& range, bool close_gap) {
  const std::size_t before = records_.size();
  std::erase_if(records_, [&](const NoteRecord& r) { return InRange(r, range); });
  if (close_gap && range.length > 0) {
    const std::int64_t end = range.from + range.length;
    for (NoteRecord& r : records_) {
      if (ChannelSelected(range.channel_mask, r.channel) && r.time >= end) {
        r.time = ClampTicks(r.time - range.length);
      }
    }
  }
  sorted_ = false;
  cursor_ = 0;
  return before - records_.size();
}

std::optional<std::size_t> Score::Next(std::uint32_t channel_mask, std::int64_t from,
                                       bool restart) {
  EnsureSorted();
  if (restart) cursor_ = 0;
  for (std::size_t i = cursor_; i < records_.size(); ++i) {
    const NoteRecord& r = records_[i];
    if (r.time >= from && ChannelSelected(channel_mask, r.channel)) {
      cursor_ = i + 1;
      return i;
    }
  }
  cursor_ = records_.size();
  return std::nullopt;
}

std::string FormatScoreLine(const NoteRecord& r) {
  char line[128];
  std::snprintf(line, sizeof line, "TM:%ld, LG:%ld, CH:%ld, NN:%ld, VL:%ld,  \r\n",
                static_cast<long>(r.time), static_cast<long>(r.length),
                static_cast<long>(r.channel), static_cast<long>(r.note),
                static_cast<long>(r.velocity));
  return line;
}

std::string Score::ToText() {
  EnsureSorted();
  std::string text;
  text.reserve(records_.size() * 48);
  for (const NoteRecord& r : records_) text += FormatScoreLine(r);
  return text;
}

std::optional<NoteRecord> ParseScoreLine(std::string_view line) {
  LineScanner scan(line);
  std::int64_t tm = 0, lg = 0, ch = 0, nn = 0, vl = 0;
  if (!(scan.Literal("TM:") && scan.Number(tm) && scan.Literal(", LG:") && scan.Number(lg) &&
        scan.Literal(", CH:") && scan.Number(ch) && scan.Literal(", NN:") && scan.Number(nn) &&
        scan.Literal(", VL:") && scan.Number(vl) && scan.Literal(","))) {
    return std::nullopt;
  }
  const auto tick = [](std::int64_t v) { return v >= 0 && v <= kTickMax; };
  const auto byte = [](std::int64_t v) { return v >= 0 && v <= kByteMax; };
  if (!tick(tm) || !tick(lg) || !byte(ch) || !byte(nn) || !byte(vl)) return std::nullopt;
  return MakeRecord(tm, lg, ch, nn, vl);
}

std::size_t Score::FromText(std::string_view text) {
  std::vector<NoteRecord> read;
  std::size_t pos = 0;
  while (pos < text.size() && read.size() < kScoreCapacity) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kScoreLineMax) continue;
    if (const auto record = ParseScoreLine(line)) read.push_back(*record);
  }
  Replace(std::move(read));
  return records_.size();
}

}  // namespace vx::music
