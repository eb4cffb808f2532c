#pragma once
// The wireframe model: a table of 3D points, a table of coloured lines
// between them, and the state of loading them from wire files.
//
// A wire file is text, one record a line (at most 255 characters; a longer
// line is read in pieces of 255); the first character selects the record:
//   P, n, x, y, z        point n + base at (x, y, z) + offset
//   L, from, to, r, g, b line between points from + base and to + base
// Any other line, or a record whose numbers do not all parse, is skipped.
#include <cstdint>
#include <string_view>
#include <vector>

#include "geometry3d/vector_math.hpp"

namespace vx::geometry3d {

inline constexpr std::int32_t kWirePoints = 50000;
inline constexpr std::int32_t kWireLines = 50000;
inline constexpr std::size_t kWireLineChars = 255;

struct WirePoint {
  bool defined = false;
  Vec3 at;
};

struct WireLine {
  std::int32_t from = 0;
  std::int32_t to = 0;
  std::uint8_t r = 255;
  std::uint8_t g = 255;
  std::uint8_t b = 255;
};

enum class LoadResult {
  kComplete,      // the whole file was read
  kStopped,       // a point index above the table or a full line table stopped it
};

class WireModel {
 public:
  WireModel();

  bool SetPoint(std::int64_t index, Vec3 at);
  const WirePoint* Point(std::int64_t index) const;  // null outside the table
  // Colours are clamped to 0 to 255; false when the table is full.
  bool AddLine(std::int64_t from, std::int64_t to, std::int64_t r, std::int64_t g, std::int64_t b);
  const std::vector<WireLine>& Lines() const { return lines_; }
  // Every point undefined, no lines; the base and offset stay.
  void Clear();

  void SetOffset(std::int32_t x, std::int32_t y, std::int32_t z) { offset_ = {double(x), double(y), double(z)}; }
  Vec3 Offset() const { return offset_; }
  std::int64_t Base() const { return base_; }
  // Reset: the base back to 0 and the line table emptied first.
  void Reset();

  // Reads the records of a wire file's bytes. On completion the base moves
  // past the highest point index read, so a second file numbers its points
  // after the first one's.
  LoadResult Load(std::string_view bytes);
  // The same with every line in `colour`: an L record then needs only its
  // two point numbers, and any colour it gives is ignored.
  LoadResult Load(std::string_view bytes, const WireLine& colour);

 private:
  enum class Record { kApplied, kSkipped, kStop };
  Record ReadRecord(std::string_view line, const WireLine* colour, std::int64_t* highest);
  LoadResult LoadWith(std::string_view bytes, const WireLine* colour);

  std::vector<WirePoint> points_;
  std::vector<WireLine> lines_;
  Vec3 offset_;
  std::int64_t base_ = 0;
};

}  // namespace vx::geometry3d
