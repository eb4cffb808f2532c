#pragma once
// Picture processing over banks: copies between banks and pictures held
// apart, masks, rotations, zooms, colour processing and neighbourhood
// filters. Sources are always read through a copy (an Image), so a source
// rectangle may overlap the destination; destinations are written through a
// Canvas, so nothing lands outside its clip.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "graphics/canvas.hpp"
#include "graphics/raster.hpp"
#include "graphics/resample.hpp"

namespace vx::graphics {

// A picture apart from the banks: top-down rows of blue, green, red.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;

  Image() = default;
  Image(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h * 3) {}
  bool Empty() const { return width <= 0 || height <= 0; }
  std::uint8_t* Row(int y) { return pixels.data() + static_cast<std::size_t>(y) * width * 3; }
  const std::uint8_t* Row(int y) const { return pixels.data() + static_cast<std::size_t>(y) * width * 3; }
  Color At(int x, int y) const {
    const std::uint8_t* p = Row(y) + x * 3;
    return Color{p[0], p[1], p[2]};
  }
  void Set(int x, int y, Color c) {
    std::uint8_t* p = Row(y) + x * 3;
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
  }
  std::size_t Bytes() const { return pixels.size(); }
};

// Sides of a drawn result are limited to this (their visible part is at
// most a bank).
inline constexpr int IMAGE_EXTENT_MAX = COORD_LIMIT;

// The whole bank surface as a rectangle.
inline constexpr PixelRect kBankRect{0, 0, VRAM_WIDTH - 1, VRAM_HEIGHT - 1};

// A copy of the part of `area` that lies inside the bank.
Image CopyFromBank(const std::uint8_t* bank, const PixelRect& area);

// Draws the picture with its top-left at `to`; pixels of the transparent
// colour (when given) are left out. Returns the rectangle it covers.
PixelRect DrawImage(Canvas& canvas, const Image& image, Point to, const Color* transparent = nullptr);
// Repeats the picture over `target`, the tile grid starting at `origin`.
void TileImage(Canvas& canvas, const Image& image, const PixelRect& target, Point origin);

// --- combining a source picture with the canvas, source pixel (i, j) over
// canvas pixel to + (i, j)

// Only the colour planes of `planes` (bit 0 red, bit 1 green, bit 2 blue).
void CopyPlanes(Canvas& canvas, const Image& source, Point to, unsigned planes);
// canvas = canvas x source / 255 per component.
void Multiply(Canvas& canvas, const Image& source, Point to);
// Per component: mask 0 takes the source, 255 keeps the canvas, values in
// between mix in proportion.
void MaskedCopy(Canvas& canvas, const Image& source, const Image& mask, Point to);

// --- geometry

enum class Sampling { kNearest, kBilinear };

// The picture turned by `degrees` (counter-clockwise on the screen) about
// its centre, which lands on `centre`. Pixels whose source is of the
// transparent colour are left out (nearest sampling only). Returns the
// bounding box of the turned picture.
PixelRect DrawRotated(Canvas& canvas, const Image& source, double degrees, Point centre, Sampling sampling,
                      const Color* transparent);
// The shadow of that turned picture moved by `offset`: the canvas under its
// non-transparent pixels keeps `percent` of its brightness.
PixelRect DrawRotatedShadow(Canvas& canvas, const Image& source, double degrees, Point centre, Point offset,
                            int percent, const Color* transparent);
// The picture wrapped into a ring around `centre`: its columns run
// clockwise from `start_degrees` (0 = twelve o'clock) once around, its top
// row on the outer edge and its bottom row on the inner one.
PixelRect DrawRing(Canvas& canvas, const Image& source, Point centre, int outer, int inner,
                   double start_degrees);
// Resampling to width x height drawn at `to`: area averaging, bilinear
// interpolation or nearest pixel. Only the part inside the clip is computed.
PixelRect DrawResampled(Canvas& canvas, const Image& source, const PixelRect& target, Sampling sampling,
                        bool area_average);
// A lens over the area: inside the radius around `centre` pixels are taken
// from nearer the centre (strength > 0, magnifying) or farther out
// (strength < 0); strength is a percentage from -100 to 100.
void Refract(Canvas& canvas, const PixelRect& area, Point centre, int radius, int strength);

// --- colour processing of an area of the canvas, in place

// Every pixel becomes grey with the value of one plane (0 red, 1 green, 2 blue).
void ExpandPlane(Canvas& canvas, const PixelRect& area, int plane);
// The planes of `planes` move by (dx, dy) inside the area; values taken
// from outside the area repeat its edge.
void ShiftPlanes(Canvas& canvas, const PixelRect& area, unsigned planes, int dx, int dy);

enum ColourProcess : std::int32_t {
  COLOUR_GREY = 0,
  COLOUR_NEGATIVE = 1,
  COLOUR_SEPIA = 2,
  COLOUR_BRIGHTNESS = 3,  // parameter added to every component
  COLOUR_CONTRAST = 4,    // parameter in percent around the middle grey
  COLOUR_GAMMA = 5,       // parameter: gamma x 100
  COLOUR_SWAP_RED_BLUE = 6,
  COLOUR_TINT = 7,        // parameter: packed colour multiplied in
  COLOUR_PROCESS_COUNT
};
// False for an unknown mode or a parameter it cannot use.
bool ProcessColours(Canvas& canvas, const PixelRect& area, std::int32_t mode, std::int32_t parameter);
// Each component reduced to `levels` evenly spaced values (2 to 256),
// optionally with 4 x 4 ordered dithering.
void ReduceColours(Canvas& canvas, const PixelRect& area, int levels, bool dither);
// Pixels whose brightness is at least the threshold take `high`, the others
// `low`. Returns the number of high pixels.
std::int64_t Threshold(Canvas& canvas, const PixelRect& area, int threshold, Color high, Color low);

enum ImageFilter : std::int32_t {
  FILTER_BLUR = 0,     // parameter: radius (1)
  FILTER_SHARPEN = 1,  // parameter: strength in percent (100)
  FILTER_EDGES = 2,    // Sobel gradient magnitude as grey
  FILTER_EMBOSS = 3,
  FILTER_MEDIAN = 4,   // 3 x 3, per component
  FILTER_DILATE = 5,   // parameter: repetitions (1); the lightest of 3 x 3
  FILTER_ERODE = 6,    // parameter: repetitions (1); the darkest of 3 x 3
  FILTER_MOSAIC = 7,   // parameter: block size (8)
  FILTER_COUNT
};
inline constexpr int FILTER_RADIUS_MAX = 64;
inline constexpr int FILTER_REPEAT_MAX = 64;
inline constexpr int MOSAIC_BLOCK_MAX = 512;
// Neighbourhoods are cut to the area. False for an unknown filter.
bool ApplyFilter(Canvas& canvas, const PixelRect& area, std::int32_t filter, std::int32_t parameter);

// Brightness of a colour: (299 red + 587 green + 114 blue) / 1000, rounded.
inline int Luma(Color c) { return (c.r * 299 + c.g * 587 + c.b * 114 + 500) / 1000; }

}  // namespace vx::graphics
