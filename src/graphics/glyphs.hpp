#pragma once
// The two built-in glyph sets: the digits of DrawNumText (8 x 16 cells of
// 8-bit coverage) and the 5 x 7 dot-matrix font of TruckText (ASCII 0x20 to
// 0x7E), both drawn without fonts.
#include <array>
#include <cstdint>
#include <string_view>

#include "graphics/canvas.hpp"

namespace vx::graphics {

inline constexpr int DIGIT_GLYPH_WIDTH = 8;
inline constexpr int DIGIT_GLYPH_HEIGHT = 16;
inline constexpr int NUM_TEXT_SCALE_MAX = 4;
inline constexpr int DOT_GLYPH_COLUMNS = 5;
inline constexpr int DOT_GLYPH_ROWS = 7;
inline constexpr int DOT_CELL_COLUMNS = 6;  // a blank column between characters
inline constexpr int DOT_CELL_ROWS = 8;
inline constexpr int TRUCK_TEXT_SCALE_MAX = 32;

using DigitGlyph = std::array<std::uint8_t, DIGIT_GLYPH_WIDTH * DIGIT_GLYPH_HEIGHT>;

// Coverage of digit `d` (0 to 9): row by row, 255 = full colour.
const DigitGlyph& DigitCoverage(int d);

// Rows of the dot-matrix glyph of an ASCII character (bit 4 is the left
// column), or null for characters outside 0x20 to 0x7E.
const std::array<std::uint8_t, DOT_GLYPH_ROWS>* DotGlyph(unsigned char c);

struct NumTextResult {
  bool complete = false;  // every character fitted
  PixelRect area;         // what was drawn over (Empty() when nothing)
};

// DrawNumText. A scale above 4 is taken as 4, a negative one as 1, and 0
// makes every character zero wide: nothing is drawn. Every character (a Shift-JIS
// pair counts as one) takes 8 x scale columns; digits are blended with
// their coverage, anything else leaves a gap. Drawing stops before a
// character that would pass `surface_width`; nothing is drawn when x or y
// is negative or y + 16 x scale passes `surface_height`.
NumTextResult DrawNumText(Canvas& canvas, int surface_width, int surface_height, int x, int y,
                          std::string_view text, int scale, Color colour);

// TruckText: the dot-matrix font, each dot a scale x scale block, cells of
// 6 x 8 dots. Characters without a glyph leave a gap. Returns the area.
PixelRect DrawDotText(Canvas& canvas, int x, int y, std::string_view text, int scale, Color colour);

}  // namespace vx::graphics
