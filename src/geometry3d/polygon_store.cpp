#include "geometry3d/polygon_store.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vx::geometry3d {
namespace {

bool SjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// A reader over one NUL-terminated line, positioned after a key.
class Scan {
 public:
  Scan(const std::string& line, std::size_t pos) : line_(line), pos_(pos) {}

  bool Double(double* out) {
    const char* start = line_.c_str() + pos_;
    char* end = nullptr;
    const double v = std::strtod(start, &end);
    if (end == start) return false;
    pos_ += static_cast<std::size_t>(end - start);
    *out = v;
    return true;
  }
  bool Long(std::int32_t* out) {
    const char* start = line_.c_str() + pos_;
    char* end = nullptr;
    long long v = std::strtoll(start, &end, 10);
    if (end == start) return false;
    pos_ += static_cast<std::size_t>(end - start);
    *out = static_cast<std::int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
    return true;
  }
  bool Comma() {
    if (pos_ >= line_.size() || line_[pos_] != ',') return false;
    ++pos_;
    return true;
  }
  bool Vector(Vec3* out) {
    return Double(&out->x) && Comma() && Double(&out->y) && Comma() && Double(&out->z);
  }

 private:
  const std::string& line_;
  std::size_t pos_;
};

std::optional<Scan> After(const std::string& line, std::string_view key) {
  const std::size_t at = line.find(key);
  if (at == std::string::npos) return std::nullopt;
  return Scan(line, at + key.size());
}

// $STR( text up to the next ')' that is not the second byte of a Shift-JIS
// character; empty when longer than 127 bytes or unterminated.
std::string TextAfter(const std::string& line) {
  const std::size_t at = line.find("$STR(");
  if (at == std::string::npos) return {};
  const std::size_t from = at + 5;
  for (std::size_t i = from; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c == ')') {
      const std::size_t n = i - from;
      return n <= kFaceTextMax ? line.substr(from, n) : std::string();
    }
    if (SjisLead(c)) ++i;
  }
  return {};
}

}  // namespace

bool FaceStore::Add(const Face& f) {
  if (Full()) return false;
  faces_.push_back(f);
  return true;
}

Face* FaceStore::At(std::int64_t index) {
  if (index < 0 || static_cast<std::uint64_t>(index) >= faces_.size()) return nullptr;
  return &faces_[static_cast<std::size_t>(index)];
}

void FaceStore::Delete(std::int64_t start, std::int64_t count) {
  const auto n = static_cast<std::int64_t>(faces_.size());
  if (start < 0 || count < 0 || start >= n) return;
  const std::int64_t end = std::min(n, start + std::min(count, n));
  faces_.erase(faces_.begin() + start, faces_.begin() + end);
}

void FaceStore::Reduce(std::int64_t count) {
  if (count >= 0 && count < static_cast<std::int64_t>(faces_.size())) {
    faces_.resize(static_cast<std::size_t>(count));
  }
}

std::size_t FaceStore::Copy(std::int64_t start, std::int64_t count, Vec3 offset) {
  const auto old_end = static_cast<std::int64_t>(faces_.size());
  if (start < 0 || count <= 0) return 0;
  std::size_t added = 0;
  for (std::int64_t i = start; i < old_end && i - start < count && !Full(); ++i) {
    Face copy = faces_[static_cast<std::size_t>(i)];
    copy.base = copy.base + offset;
    faces_.push_back(std::move(copy));
    ++added;
  }
  return added;
}

std::string FormatFace(const Face& f) {
  const char* format =
      "$VB(%lf,%lf,%lf),$VH(%lf,%lf,%lf), $VV(%lf,%lf,%lf), $SHP(%ld), $IP(%ld), $STR(%s), "
      "$RGB(%lf,%lf,%lf), $EX(%ld), $ADDINFO(%ld,%ld,%ld,%ld),\r\n";
  auto print = [&](char* out, std::size_t size) {
    return std::snprintf(out, size, format, f.base.x, f.base.y, f.base.z, f.edge_h.x, f.edge_h.y, f.edge_h.z,
                         f.edge_v.x, f.edge_v.y, f.edge_v.z, static_cast<long>(f.shape),
                         static_cast<long>(f.image), f.text.c_str(), f.rgb.x, f.rgb.y, f.rgb.z,
                         static_cast<long>(f.extra), static_cast<long>(f.add_info[0]),
                         static_cast<long>(f.add_info[1]), static_cast<long>(f.add_info[2]),
                         static_cast<long>(f.add_info[3]));
  };
  const int n = print(nullptr, 0);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  print(out.data(), out.size());
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::optional<Face> ParseFace(std::string_view text, double scale) {
  const std::string line(text);  // NUL-terminated for strtod
  Face f;
  std::optional<Scan> vb = After(line, "$VB(");
  std::optional<Scan> vh = After(line, "$VH(");
  std::optional<Scan> vv = After(line, "$VV(");
  if (!vb || !vh || !vv || !vb->Vector(&f.base) || !vh->Vector(&f.edge_h) || !vv->Vector(&f.edge_v)) {
    return std::nullopt;
  }
  std::int32_t v = 0;
  if (auto s = After(line, "$SHP("); s && s->Long(&v)) f.shape = static_cast<std::int16_t>(v);
  f.rgb = {0.5, 0.5, 0.5};
  if (auto s = After(line, "$RGB(")) {
    Vec3 rgb{0.5, 0.5, 0.5};
    // Numbers read before a damaged one are kept, as a scanner would.
    if (s->Double(&rgb.x) && s->Comma() && s->Double(&rgb.y) && s->Comma()) s->Double(&rgb.z);
    f.rgb = rgb;
  }
  f.text = TextAfter(line);
  if (auto s = After(line, "$IP("); s && s->Long(&v)) f.image = static_cast<std::int16_t>(v);
  if (auto s = After(line, "$EX("); s && s->Long(&v)) f.extra = v;
  if (auto s = After(line, "$ADDINFO(")) {
    for (std::size_t k = 0; k < 4; ++k) {
      if ((k > 0 && !s->Comma()) || !s->Long(&f.add_info[k])) break;
    }
  }
  f.base = f.base * scale;
  f.edge_h = f.edge_h * scale;
  f.edge_v = f.edge_v * scale;
  return f;
}

std::vector<Face> ParsePolygonFile(std::string_view bytes, double scale) {
  std::vector<Face> faces;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find('\n', pos);
    end = end == std::string_view::npos ? bytes.size() : end + 1;
    end = std::min(end, pos + kPolygonLineChars);
    if (std::optional<Face> f = ParseFace(bytes.substr(pos, end - pos), scale)) faces.push_back(std::move(*f));
    pos = end;
  }
  return faces;
}

std::span<Face> FaceStore::Range(std::int64_t start, std::int64_t count) {
  const auto n = static_cast<std::int64_t>(faces_.size());
  if (start < 0 || count < 1 || start >= n) return {};
  const std::int64_t end = count > n - start ? n : start + count;
  return std::span<Face>(faces_).subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

std::array<Face, 6> BoxFaces(Vec3 size, Vec3 corner, Vec3 rgb) {
  // A negative size extends the box the other way from the corner.
  Vec3 low = corner;
  for (int k = 0; k < 3; ++k) {
    if (size[k] < 0) {
      low[k] = corner[k] + size[k];
      size[k] = -size[k];
    }
  }
  const Vec3 x{size.x, 0, 0};
  const Vec3 y{0, size.y, 0};
  const Vec3 z{0, 0, size.z};
  auto face = [&](Vec3 base, Vec3 h, Vec3 v) {
    Face f;
    f.base = base;
    f.edge_h = h;
    f.edge_v = v;
    f.rgb = rgb;
    return f;
  };
  // Each pair of edges turns so that VH × VV points out of the box.
  return {face(low, y, x), face(low + z, x, y), face(low, x, z),
          face(low + y, z, x), face(low, z, y), face(low + x, y, z)};
}

}  // namespace vx::geometry3d
