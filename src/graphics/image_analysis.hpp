#pragma once
// Measurements over rectangles of a bank: areas of one colour, content
// boxes, blobs, runs along a line, histograms, statistics and comparisons.
// Nothing here writes to a bank; every area is cut to the bank first.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "graphics/image_ops.hpp"

namespace vx::graphics {

// Whether every component of a and b differs by at most `tolerance`.
inline bool Near(Color a, Color b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

struct Region {
  PixelRect box;             // Empty() when no pixel belongs to it
  std::int64_t pixels = 0;
};

// The 4-connected area around `seed` of pixels within `tolerance` of the
// seed's colour, inside `bounds`. Empty when the seed lies outside.
Region ConnectedArea(const std::uint8_t* bank, const PixelRect& bounds, Point seed, int tolerance);
// The pixels of the area whose components all lie between those of `low`
// and `high` (both included).
Region ColourRangeArea(const std::uint8_t* bank, const PixelRect& area, Color low, Color high);
// The pixels of the area that are not within `tolerance` of the background.
Region ContentArea(const std::uint8_t* bank, const PixelRect& area, Color background, int tolerance);

// 8-connected blobs of non-background pixels, in the order of their first
// pixel (top to bottom, left to right). Blobs smaller than `min_pixels` are
// not listed; at most `max_count` are kept, `total` counts all listed ones.
std::vector<Region> FindBlobs(const std::uint8_t* bank, const PixelRect& area, Color background, int tolerance,
                              std::int64_t min_pixels, std::size_t max_count, std::int64_t* total);

struct Run {
  int start;   // offset along the line
  int length;
  Color colour;  // of the run's first pixel
};
// Runs of pixels within `tolerance` of their run's first pixel along a row
// (or a column when `vertical`) from `start` for `length` pixels, cut to
// the bank.
std::vector<Run> ScanRuns(const std::uint8_t* bank, Point start, int length, bool vertical, int tolerance);

// Samples along a row or column (cut to the bank) of one plane: 0 red,
// 1 green, 2 blue, 3 brightness.
std::vector<std::uint8_t> Profile(const std::uint8_t* bank, Point start, int length, bool vertical, int plane);

inline constexpr int PLANE_BRIGHTNESS = 3;

struct Histogram {
  std::array<std::int64_t, 256> counts{};
  std::int64_t total = 0;
  int minimum = 0;
  int maximum = 0;
  int mode = 0;  // the most frequent value (the lowest of equals)
  double mean = 0.0;
  double deviation = 0.0;  // standard deviation
};
Histogram ComputeHistogram(const std::uint8_t* bank, const PixelRect& area, int plane);

struct AreaStatistics {
  std::int64_t pixels = 0;
  double mean_red = 0.0;
  double mean_green = 0.0;
  double mean_blue = 0.0;
  double mean_brightness = 0.0;
  double brightness_deviation = 0.0;
  std::int64_t distinct_colours = 0;
  int darkest = 0;    // brightness
  int lightest = 0;
  Color dominant;     // the most frequent colour (the lowest packed value of equals)
};
AreaStatistics Analyze(const std::uint8_t* bank, const PixelRect& area);

struct Comparison {
  std::int64_t pixels = 0;      // compared
  std::int64_t different = 0;   // some component differs by more than the tolerance
  int largest = 0;              // largest component difference
  double mean = 0.0;            // mean absolute component difference
  PixelRect box;                // where the differences are, in the first picture's coordinates
};
// Compares `area` of bank a with the same-sized rectangle of bank b whose
// top-left is `other`; only pixels inside both banks count.
Comparison Compare(const std::uint8_t* a, const PixelRect& area, const std::uint8_t* b, Point other, int tolerance);

}  // namespace vx::graphics
