#include "pcb/pattern.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "pcb/text_format.hpp"
#include "text/sjis.hpp"

namespace vx::pcb {

// --- names and layers

std::string_view KeptName(std::string_view text) {
  if (text.size() <= NAME_KEPT_BYTES) return text;
  // Walk whole characters so that a lead byte never loses its trail byte.
  std::size_t kept = 0;
  while (kept < NAME_KEPT_BYTES) {
    const std::size_t step = sjis::CharLengthStrict(text, kept);
    if (kept + step > NAME_KEPT_BYTES) break;
    kept += step;
  }
  return text.substr(0, kept);
}

void Name::Assign(std::string_view text) {
  const std::string_view kept = KeptName(text);
  bytes_.fill('\0');
  if (!kept.empty()) std::memcpy(bytes_.data(), kept.data(), kept.size());
  // An embedded NUL ends the name, as it would in the 16-byte field.
}

std::array<Layer, LAYER_COUNT> InitialLayers() {
  using graphics::FromComponents;
  return {{
      {true, 0, "dim", FromComponents(255, 255, 255)},
      {true, 1, "tName", FromComponents(255, 255, 255)},
      {true, 2, "tPtn", FromComponents(255, 0, 0)},
      {true, 3, "tStop", FromComponents(100, 255, 100)},
      {true, 4, "tKOut", FromComponents(155, 155, 155)},
      {true, 5, "tDoc", FromComponents(255, 255, 255)},
      {true, 6, "bName", FromComponents(255, 255, 0)},
      {true, 7, "bPtn", FromComponents(0, 0, 255)},
      {true, 8, "bStop", FromComponents(100, 255, 100)},
      {true, 9, "bKOut", FromComponents(155, 155, 155)},
      {true, 10, "bDoc", FromComponents(255, 155, 0)},
      {true, 11, "holes", FromComponents(20, 20, 20)},
  }};
}

int PcbState::LayerIndex(std::string_view name) const {
  for (int i = 0; i < LAYER_COUNT; ++i)
    if (name == layers[i].name) return i;
  return LAYER_UNKNOWN;
}

std::string_view PcbState::LayerName(int index) const {
  return index >= 0 && index < LAYER_COUNT ? std::string_view(layers[index].name)
                                           : std::string_view();
}

void EnsureAllocated(PcbState& state) {
  if (state.records.empty()) state.records.resize(PATTERN_CAPACITY);
  if (state.segments.empty()) state.segments.resize(SEGMENT_CAPACITY);
}

// --- GB text writer

void AppendGbText(const PcbState& state, const Record& r, std::string& out) {
  out += "GB_P:";
  AppendInt(out, r.kind);
  out += ", GB_PIN:";
  AppendInt(out, r.pin);
  out += ", GB_W:";
  AppendFixed(out, r.width, 5);
  out += ", GB_X:";
  AppendFixed(out, r.x, 5);
  out += ", GB_Y:";
  AppendFixed(out, r.y, 5);
  out += ", GB_XD:";
  AppendFixed(out, r.dx, 5);
  out += ", GB_YD:";
  AppendFixed(out, r.dy, 5);
  out += ", GB_PART:";
  out += r.part.View();
  out += ", GB_SIG:";
  out += r.signal.View();
  out += ", GB_NET:";
  out += r.net.View();
  out += ", GB_LAY:";
  out += state.LayerName(r.layer);
  out += ", GB_EX:";
  AppendInt(out, r.extra);
  out += ", ";
}

std::string GbText(const PcbState& state, const Record& record) {
  std::string out;
  AppendGbText(state, record, out);
  return out;
}

// --- GB text reader

namespace {

enum Key { K_P, K_PIN, K_W, K_X, K_Y, K_XD, K_YD, K_PART, K_SIG, K_NET, K_LAY, K_EX, K_COUNT };

constexpr std::string_view kKeys[K_COUNT] = {"GB_P:",    "GB_PIN:", "GB_W:",   "GB_X:",
                                             "GB_Y:",    "GB_XD:",  "GB_YD:",  "GB_PART:",
                                             "GB_SIG:",  "GB_NET:", "GB_LAY:", "GB_EX:"};

// The value behind each key: the text after it up to the next comma, at
// most GB_VALUE_MAX characters. A key that starts a field (at the start of
// the line or after a comma and blanks) wins over one inside another value,
// so that a name such as "GB_SIG:X" cannot shadow the real key; without
// such a field, the first occurrence anywhere counts. One pass finds all.
struct KeyValues {
  std::array<std::string_view, K_COUNT> value{};
  std::array<bool, K_COUNT> found{};
  std::array<bool, K_COUNT> at_field{};
};

bool StartsField(std::string_view line, std::size_t pos) {
  while (pos > 0 && (line[pos - 1] == ' ' || line[pos - 1] == '\t')) --pos;
  return pos == 0 || line[pos - 1] == ',';
}

KeyValues ScanKeys(std::string_view line) {
  KeyValues kv;
  std::size_t pos = 0;
  while ((pos = line.find("GB_", pos)) != std::string_view::npos) {
    const std::string_view rest = line.substr(pos);
    for (int k = 0; k < K_COUNT; ++k) {
      if (kv.at_field[k] || !rest.starts_with(kKeys[k])) continue;
      const bool field = StartsField(line, pos);
      if (kv.found[k] && !field) continue;
      std::string_view value = rest.substr(kKeys[k].size());
      value = value.substr(0, std::min(value.find(','), GB_VALUE_MAX));
      kv.value[k] = value;
      kv.found[k] = true;
      kv.at_field[k] = field;
    }
    pos += 3;
  }
  return kv;
}

// Blanks that the C number conversions skip before a number.
std::string_view SkipBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\v' ||
                             text[i] == '\f' || text[i] == '\r' || text[i] == '\n'))
    ++i;
  return text.substr(i);
}

}  // namespace

double LeadingDouble(std::string_view text) {
  text = SkipBlanks(text);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  if (text.empty() || text[0] == '+') return 0.0;
  double value = 0.0;
  // Decimal notation only: no hexadecimal, infinity or NaN.
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ec != std::errc() || !std::isfinite(value)) return 0.0;
  (void)end;
  return value;
}

std::int32_t LeadingInt(std::string_view text) {
  text = SkipBlanks(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    value = std::min<std::int64_t>(value * 10 + (c - '0'), std::int64_t{1} << 40);
  }
  if (negative) value = -value;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool ParseGbLine(const PcbState& state, std::string_view line, Record& r) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  const KeyValues kv = ScanKeys(line);
  if (!kv.found[K_P]) return false;
  r = Record{};
  r.present = true;
  r.kind = LeadingInt(kv.value[K_P]);
  r.pin = LeadingInt(kv.value[K_PIN]);
  r.width = LeadingDouble(kv.value[K_W]);
  r.x = LeadingDouble(kv.value[K_X]);
  r.y = LeadingDouble(kv.value[K_Y]);
  r.dx = LeadingDouble(kv.value[K_XD]);
  r.dy = LeadingDouble(kv.value[K_YD]);
  r.part.Assign(kv.value[K_PART]);
  r.signal.Assign(kv.value[K_SIG]);
  r.net.Assign(kv.value[K_NET]);
  r.layer = state.LayerIndex(kv.value[K_LAY]);
  r.extra = LeadingInt(kv.value[K_EX]);
  return true;
}

// --- loading

namespace {

void AddDimExtent(const Record& r, double* x, double* y) {
  *x = std::max(*x, r.x);
  *y = std::max(*y, r.y);
  if (r.kind == KIND_LINE) {
    *x = std::max(*x, r.EndX());
    *y = std::max(*y, r.EndY());
  }
}

// Loading state shared by the file and the text forms.
class Loader {
 public:
  Loader(PcbState& state, int start) : state_(state), index_(start) {
    EnsureAllocated(state);
    if (start == 0) state.board_x = state.board_y = 0.0;
    for (int i = state.count; i < start; ++i) state.records[i] = Record{};
    state.count = start;
    result_.opened = true;
  }

  // False once the list is full.
  bool Line(std::string_view line) {
    if (line.find("GB_P:") == std::string_view::npos) return true;
    if (index_ >= PATTERN_RECORDS_MAX) {
      result_.over_capacity = true;
      return false;
    }
    Record& r = state_.records[index_];
    ParseGbLine(state_, line, r);
    if (r.layer == LAYER_DIM) AddDimExtent(r, &state_.board_x, &state_.board_y);
    ++index_;
    ++result_.read;
    state_.count = index_;
    return true;
  }

  LoadResult Result() const { return result_; }

 private:
  PcbState& state_;
  int index_;
  LoadResult result_;
};

}  // namespace

LoadResult LoadPatterns(PcbState& state, int start, std::FILE* file) {
  Loader loader(state, start);
  constexpr std::size_t kChunk = 1 << 18;
  std::string buffer;
  std::vector<char> chunk(kChunk);
  bool dropping = false;  // inside the over-long rest of a line
  bool more = true;
  while (more) {
    const std::size_t got = std::fread(chunk.data(), 1, kChunk, file);
    std::string_view data(chunk.data(), got);
    if (got < kChunk) more = false;
    while (!data.empty()) {
      const std::size_t nl = data.find('\n');
      const std::string_view piece = data.substr(0, nl == std::string_view::npos ? data.size() : nl + 1);
      data.remove_prefix(piece.size());
      if (!dropping) {
        buffer.append(piece.substr(0, GB_LINE_MAX - std::min(GB_LINE_MAX, buffer.size())));
      }
      if (nl == std::string_view::npos) {
        if (buffer.size() >= GB_LINE_MAX) dropping = true;
        continue;
      }
      dropping = false;
      if (!loader.Line(buffer)) return loader.Result();
      buffer.clear();
    }
  }
  if (!buffer.empty()) loader.Line(buffer);
  return loader.Result();
}

LoadResult LoadPatternText(PcbState& state, int start, std::string_view text) {
  Loader loader(state, start);
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    const std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    if (!loader.Line(line.substr(0, GB_LINE_MAX))) break;
  }
  return loader.Result();
}

// --- queries

void Extent::Add(double x, double y) {
  if (!found) {
    min_x = max_x = x;
    min_y = max_y = y;
    found = true;
    return;
  }
  min_x = std::min(min_x, x);
  max_x = std::max(max_x, x);
  min_y = std::min(min_y, y);
  max_y = std::max(max_y, y);
}

void DimSize(const PcbState& state, double* x, double* y) {
  *x = *y = 0.0;
  for (int i = 0; i < state.count; ++i) {
    const Record& r = state.records[i];
    if (r.present && r.layer == LAYER_DIM) AddDimExtent(r, x, y);
  }
}

Extent LayerExtent(const PcbState& state, int layer) {
  Extent e;
  for (int i = 0; i < state.count; ++i) {
    const Record& r = state.records[i];
    if (!r.present || r.layer != layer) continue;
    if (r.kind == KIND_LINE) {
      e.Add(r.x, r.y);
      e.Add(r.EndX(), r.EndY());
    } else if (r.kind == KIND_RECT_PAD || r.kind == KIND_OBLONG_PAD) {
      e.Add(r.x - r.dx / 2, r.y - r.dy / 2);
      e.Add(r.x + r.dx / 2, r.y + r.dy / 2);
    }
  }
  return e;
}

int PinToNet(PcbState& state, std::string_view part, std::int32_t pin, std::string_view net,
             std::int32_t flag) {
  const std::string_view kept_part = KeptName(part);
  const bool store_net = !net.empty() && net.size() <= NAME_KEPT_BYTES;
  int matched = 0;
  for (int i = 0; i < state.count; ++i) {
    Record& r = state.records[i];
    if (!r.present || r.pin != pin || !(r.part == kept_part)) continue;
    if (store_net) r.net.Assign(net);
    r.flags |= static_cast<std::uint32_t>(flag) & 1u;
    ++matched;
  }
  return matched;
}

int FindPin(const PcbState& state, std::string_view part, std::int32_t pin) {
  const std::string_view kept_part = KeptName(part);
  for (int i = 0; i < state.count; ++i) {
    const Record& r = state.records[i];
    if (r.present && r.pin == pin && r.part == kept_part) return i;
  }
  return -1;
}

int FindSignal(const PcbState& state, std::string_view part, std::string_view signal) {
  const std::string_view kept_part = KeptName(part);
  const std::string_view kept_signal = KeptName(signal);
  for (int i = 0; i < state.count; ++i) {
    const Record& r = state.records[i];
    if (r.present && r.part == kept_part && r.signal == kept_signal) return i;
  }
  return -1;
}

int ClickPattern(PcbState& state, double px, double py) {
  const View& v = state.view;
  if (!(v.scale >= 0.001) || state.count <= 0) return -1;
  const double bx = v.BoardX(px);
  const double by = v.BoardY(py);
  int last = state.last_hit;
  if (last < 0 || last >= state.count) last = state.count - 1;
  int best = -1;
  double best_distance = 0.0;
  for (int step = 1; step <= state.count; ++step) {
    const int i = (last + step) % state.count;
    const Record& r = state.records[i];
    if (!r.present || !state.LayerActive(r.layer)) continue;
    const double rx = r.kind == KIND_LINE ? r.x + r.dx / 2 : r.x;
    const double ry = r.kind == KIND_LINE ? r.y + r.dy / 2 : r.y;
    const double d = std::hypot(rx - bx, ry - by);
    if (best < 0 || d < best_distance) {
      best = i;
      best_distance = d;
    }
  }
  if (best >= 0) state.last_hit = best;
  return best;
}

double PointSegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double vx = bx - ax, vy = by - ay;
  const double len2 = vx * vx + vy * vy;
  double t = 0.0;
  if (len2 > 0.0) t = std::clamp(((px - ax) * vx + (py - ay) * vy) / len2, 0.0, 1.0);
  return std::hypot(px - (ax + t * vx), py - (ay + t * vy));
}

}  // namespace vx::pcb
