#pragma once
// Picture operations over rectangles of the current bank: softening and
// blurring, brightening, bevels and shadows, outlines, colour changes and
// copies from other banks. The area is always cut to the canvas clip; a
// source bank is read inside the bank only, through a copy, so source and
// destination may overlap.
#include <cstdint>
#include <functional>

#include "graphics/raster.hpp"

namespace vx::graphics {

inline constexpr int BLUR_RADIUS_MAX = 64;

// Pixels that differ from one of their four neighbours take the average of
// their 3 x 3 neighbourhood (inside the area); flat parts stay as they are.
void SoftenEdges(Canvas& canvas, const PixelRect& area);
// The pixels of one row that a blur leaves sharp, left to right; none
// when left > right.
struct SharpSpan {
  int left = 0;
  int right = -1;
};
// Box blur: each pixel becomes the average of the (2r + 1) x (2r + 1)
// square around it, counting only pixels inside the area. The pixels of
// `sharp(y)` in each row y are left as they were.
void BoxBlur(Canvas& canvas, const PixelRect& area, int radius,
             const std::function<SharpSpan(int y)>& sharp = {});
// The row y of a round spot: the pixels with 4 (dx^2 + dy^2) < (2 spot + 1)^2
// from the centre (a disc of diameter 2 spot + 1 around the pixel centre).
SharpSpan SpotSpan(Point centre, int spot, int y);
// Adds the colour to every pixel (or subtracts it when `subtract`), clamped.
void AddColour(Canvas& canvas, const PixelRect& area, Color colour, bool subtract);
// Average colour of the area (rounded), cut to the bank; false when empty.
bool AverageColour(const std::uint8_t* bank, const PixelRect& area, Color* out);
// Bevel: bands `depth` wide along the edges, the top and left ones lighter
// and the bottom and right ones darker by `strength` (swapped when
// `sunken`). With `graded` the change fades from the edge inwards. The
// corner diagonals belong to the lighter side.
void Bevel(Canvas& canvas, const PixelRect& area, int depth, int strength, bool sunken, bool graded);
// Background pixels touching (8-neighbourhood) a pixel of another colour
// take `colour`; repeated `thickness` times.
void OutlineShapes(Canvas& canvas, const PixelRect& area, Color background, int thickness, Color colour);
// Pixels that differ from their right or lower neighbour by more than
// `threshold` in some component take `edge`, the others `rest`. Returns the
// number of edge pixels.
std::int64_t DetectEdges(Canvas& canvas, const PixelRect& area, int threshold, Color edge, Color rest);
// Background pixels whose pixel at (-dx, -dy) is not background become
// half as bright: a shadow cast by the shapes.
void DropShadow(Canvas& canvas, const PixelRect& area, int dx, int dy, Color background);
// Moves the area's picture up and to the left by `depth`; the strips it
// uncovers at the right and bottom are darkened to half. Returns the area
// covered by both.
PixelRect Lift(Canvas& canvas, const PixelRect& area, int depth);
// Copies the source rectangle of `source` to (x, y), leaving out the pixels
// of the transparent colour (when given).
void Overlay(Canvas& canvas, const std::uint8_t* source, const PixelRect& from, Point to,
             const Color* transparent);
// destination = destination AND NOT source, per byte.
void NotAnd(Canvas& canvas, const std::uint8_t* source, const PixelRect& from, Point to);
// Maps the source rectangle onto the quadrilateral (corners: top-left,
// top-right, bottom-right, bottom-left of the source); nearest pixel. False
// for a degenerate quadrilateral.
bool ProjectQuad(Canvas& canvas, const std::uint8_t* source, const PixelRect& from,
                 const std::array<Point, 4>& quad);
// Wraps the source rectangle around the visible half of a sphere.
void MapOnSphere(Canvas& canvas, const std::uint8_t* source, const PixelRect& from, Point centre,
                 int radius);
// Hue across, white at the top, full colour in the middle, black at the bottom.
void ColourSpectrum(Canvas& canvas, const PixelRect& area);
// Turns every hue by `degrees`; multiples of 120 rotate the components exactly.
void RotateHue(Canvas& canvas, const PixelRect& area, int degrees);

// The 256-colour palette: 0-15 the sixteen basic colours (black, maroon,
// green, olive, navy, purple, teal, silver, grey, red, lime, yellow, blue,
// fuchsia, aqua, white), 16-231 a 6 x 6 x 6 cube (levels 0, 51, ... 255; red
// slowest), 232-255 greys 8, 18, ... 238. False outside 0 to 255.
inline constexpr int PALETTE_SIZE = 256;
bool PaletteColour(int index, Color* out);

struct Hsv {
  double h;  // 0 to 360
  double s;  // 0 to 1
  double v;  // 0 to 1
};
Hsv ToHsv(Color c);
Color FromHsv(const Hsv& hsv);

}  // namespace vx::graphics
