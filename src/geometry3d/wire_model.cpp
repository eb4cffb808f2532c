#include "geometry3d/wire_model.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace vx::geometry3d {
namespace {

// A scanner over one record after its first character, following the
// record's pattern ", n, n, ...": a comma right where it is expected, then
// optional white space before each number.
class Fields {
 public:
  explicit Fields(std::string_view text) : text_(text) {}

  bool Long(std::int64_t* out) {
    if (!Comma()) return false;
    SkipSpace();
    const char* start = text_.c_str() + pos_;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(start, &end, 10);
    if (end == start) return false;
    pos_ += static_cast<std::size_t>(end - start);
    *out = v;  // strtoll saturates on overflow
    return true;
  }

  bool Double(double* out) {
    if (!Comma()) return false;
    SkipSpace();
    const char* start = text_.c_str() + pos_;
    char* end = nullptr;
    const double v = std::strtod(start, &end);
    if (end == start) return false;
    pos_ += static_cast<std::size_t>(end - start);
    *out = v;
    return true;
  }

 private:
  bool Comma() {
    if (pos_ >= text_.size() || text_[pos_] != ',') return false;
    ++pos_;
    return true;
  }
  void SkipSpace() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }

  std::string text_;  // NUL-terminated copy for strtoll and strtod
  std::size_t pos_ = 0;
};

std::uint8_t Channel(std::int64_t v) { return static_cast<std::uint8_t>(std::clamp<std::int64_t>(v, 0, 255)); }

}  // namespace

WireModel::WireModel() : points_(kWirePoints) { lines_.reserve(1024); }

bool WireModel::SetPoint(std::int64_t index, Vec3 at) {
  if (index < 0 || index >= kWirePoints) return false;
  points_[static_cast<std::size_t>(index)] = {true, at};
  return true;
}

const WirePoint* WireModel::Point(std::int64_t index) const {
  if (index < 0 || index >= kWirePoints) return nullptr;
  return &points_[static_cast<std::size_t>(index)];
}

bool WireModel::AddLine(std::int64_t from, std::int64_t to, std::int64_t r, std::int64_t g,
                        std::int64_t b) {
  if (lines_.size() >= static_cast<std::size_t>(kWireLines)) return false;
  // Indexes outside the point table are kept as the impossible -1: such a
  // line is never drawn.
  auto index = [](std::int64_t i) { return i >= 0 && i < kWirePoints ? static_cast<std::int32_t>(i) : -1; };
  lines_.push_back({index(from), index(to), Channel(r), Channel(g), Channel(b)});
  return true;
}

void WireModel::Clear() {
  std::fill(points_.begin(), points_.end(), WirePoint{});
  lines_.clear();
}

void WireModel::Reset() {
  base_ = 0;
  lines_.clear();
}

WireModel::Record WireModel::ReadRecord(std::string_view line, const WireLine* colour,
                                        std::int64_t* highest) {
  if (line.empty()) return Record::kSkipped;
  Fields fields(line.substr(1));
  switch (line[0]) {
    case 'P':
    case 'p': {
      std::int64_t number = 0;
      Vec3 at;
      if (!fields.Long(&number) || !fields.Double(&at.x) || !fields.Double(&at.y) ||
          !fields.Double(&at.z)) {
        return Record::kSkipped;
      }
      const std::int64_t index = number + base_;  // both far below the int64 range's ends
      if (index >= kWirePoints) return Record::kStop;
      if (index < 0) return Record::kSkipped;
      SetPoint(index, at + offset_);
      *highest = std::max(*highest, index);
      return Record::kApplied;
    }
    case 'L':
    case 'l': {
      std::int64_t v[5];
      const int needed = colour != nullptr ? 2 : 5;
      for (int k = 0; k < needed; ++k) {
        if (!fields.Long(&v[k])) return Record::kSkipped;
      }
      if (colour != nullptr) {
        v[2] = colour->r;
        v[3] = colour->g;
        v[4] = colour->b;
      }
      const auto shifted = [&](std::int64_t n) {
        return std::clamp<std::int64_t>(n, -kWirePoints, kWirePoints) + base_;
      };
      return AddLine(shifted(v[0]), shifted(v[1]), v[2], v[3], v[4]) ? Record::kApplied
                                                                       : Record::kStop;
    }
    default:
      return Record::kSkipped;
  }
}

LoadResult WireModel::Load(std::string_view bytes) { return LoadWith(bytes, nullptr); }

LoadResult WireModel::Load(std::string_view bytes, const WireLine& colour) {
  return LoadWith(bytes, &colour);
}

LoadResult WireModel::LoadWith(std::string_view bytes, const WireLine* colour) {
  std::int64_t highest = 0;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    // A line of up to 255 characters with its newline; a longer one is
    // taken in pieces.
    std::size_t end = bytes.find('\n', pos);
    end = end == std::string_view::npos ? bytes.size() : end + 1;
    end = std::min(end, pos + kWireLineChars);
    std::string_view line = bytes.substr(pos, end - pos);
    pos = end;
    if (ReadRecord(line, colour, &highest) == Record::kStop) return LoadResult::kStopped;
  }
  base_ = highest + 1;
  return LoadResult::kComplete;
}

}  // namespace vx::geometry3d
