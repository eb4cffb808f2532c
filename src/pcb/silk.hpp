#pragma once
// Silk-screen text: the stroke font and the line records that write a text
// in it.
#include <cstdint>
#include <string>
#include <string_view>

namespace vx::pcb {

inline constexpr int SILK_ORIENTATION_MIN = -4;
inline constexpr int SILK_ORIENTATION_MAX = 3;

// Placement of the text, all in millimetres. The glyph grid runs x to the
// right and y downward from the top of the characters; (x, y) is the grid's
// origin (top left of the first character before turning).
struct SilkPlacement {
  double x = 0, y = 0;
  double unit_x = 0.2, unit_y = 0.2;  // millimetres per grid unit
  double width = 0.15;                // stroke (line) width
  std::int32_t orientation = 0;       // 0..3 turned 0/90/180/270 degrees, -4..-1 mirrored
};

struct Glyph {
  int advance = 0;
  std::string_view strokes;  // groups of four digits: x1 y1 x2 y2
};
// The glyph of one byte; null for characters the font lacks.
const Glyph* FindGlyph(unsigned char c);

// GB text of the strokes, one "GB_P:1, ..." record per line with CR LF,
// on the layer named `layer`. Characters without a glyph (two-byte
// characters as a whole) are skipped and take no room.
std::string SilkText(std::string_view text, const SilkPlacement& place, std::string_view layer);

}  // namespace vx::pcb
