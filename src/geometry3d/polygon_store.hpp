#pragma once
// Face stores: flat faces (a base point and two edge vectors) with colour,
// an image name or label, and free values for the script; the main and
// sub stores, the parts table, and the polygon text file.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "geometry3d/vector_math.hpp"

namespace vx::geometry3d {

inline constexpr std::size_t kMainFaces = 60000;
inline constexpr std::size_t kSubFaces = 30000;
inline constexpr std::int32_t kParts = 500;
inline constexpr std::size_t kFaceTextMax = 127;       // bytes of STR without its NUL
inline constexpr std::size_t kPolygonLineChars = 1023; // one read of LoadPgn

struct Face {
  std::int16_t shape = 0;  // SHP
  Vec3 base;               // VB
  Vec3 edge_h;             // VH, relative to VB
  Vec3 edge_v;             // VV, relative to VB
  Vec3 rgb;                // 0.0 to 1.0 each
  std::int16_t image = 0;  // IP: non-zero when text names an image
  std::string text;        // STR, at most 127 bytes
  std::int32_t extra = 0;  // EX
  std::array<std::int32_t, 4> add_info{};
};

class FaceStore {
 public:
  explicit FaceStore(std::size_t capacity) : capacity_(capacity) {}

  std::size_t Capacity() const { return capacity_; }
  std::size_t Count() const { return faces_.size(); }
  bool Full() const { return faces_.size() >= capacity_; }
  bool Add(const Face& f);  // false when full
  Face* At(std::int64_t index);  // null outside the store
  void Clear() { faces_.clear(); }
  // Removes [start, start + count), cut at the end; nothing for a negative
  // start or count or a start at or past the count.
  void Delete(std::int64_t start, std::int64_t count);
  // Truncates when 0 <= count < Count().
  void Reduce(std::int64_t count);
  // Appends copies of [start, start + count) moved by `offset`, up to the old
  // end and while the store has room; the number appended.
  std::size_t Copy(std::int64_t start, std::int64_t count, Vec3 offset);
  const std::vector<Face>& Faces() const { return faces_; }
  // Faces [start, start + count), the count cut at the end; empty for a
  // negative start, a count below 1 or a start at or past the end.
  std::span<Face> Range(std::int64_t start, std::int64_t count);

 private:
  std::size_t capacity_;
  std::vector<Face> faces_;
};

struct PartEntry {
  std::int32_t start = 0;
  std::int32_t count = 0;
};

struct PolygonStores {
  FaceStore main{kMainFaces};
  FaceStore sub{kSubFaces};
  std::array<PartEntry, kParts> parts{};
};

// One face as a line of the polygon file, CR LF included.
std::string FormatFace(const Face& f);
// The face of one line; empty when $VB(, $VH( or $VV( is missing or
// incomplete. Coordinates are multiplied by `scale`.
std::optional<Face> ParseFace(std::string_view line, double scale);
// Every face of a file's bytes in order, lines read in pieces of at most
// 1023 characters.
std::vector<Face> ParsePolygonFile(std::string_view bytes, double scale);

// Six faces (shape 0) of the axis-aligned box with a corner at `corner` and
// the opposite one at corner + size; the colour is `rgb`.
std::array<Face, 6> BoxFaces(Vec3 size, Vec3 corner, Vec3 rgb);

}  // namespace vx::geometry3d
