#pragma once
// QR code (model 2) reading: a black-and-white work image is made from a
// picture, the three finder marks located, the module grid sampled, and
// the grid decoded (format information, mask, codeword placement,
// Reed-Solomon per block, data segments). Diagnostics go to a log text.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "recognition/store.hpp"

namespace vx::recognition {

inline constexpr int QR_SIZE_MIN = 21;
inline constexpr int QR_SIZE_MAX = 177;
inline constexpr std::size_t QR_TEXT_MAX = 512;

enum QrLevel : int { QR_LEVEL_L = 0, QR_LEVEL_M = 1, QR_LEVEL_Q = 2, QR_LEVEL_H = 3 };

// Modules row by row, 1 for dark.
struct QrMatrix {
  int size = 0;
  std::vector<std::uint8_t> dark;
  bool At(int row, int column) const { return dark[static_cast<std::size_t>(row * size + column)] != 0; }
};

struct QrOutcome {
  bool ok = false;
  std::string text;
};

// Block structure of one version and level.
struct QrBlocks {
  int ec_per_block = 0;
  int blocks = 0;
  int raw_codewords = 0;
  int DataCodewords() const { return raw_codewords - ec_per_block * blocks; }
};
QrBlocks BlocksOf(int version, int level);
std::vector<int> AlignmentCentres(int version);

// The text of the data segments in corrected data codewords; false when
// the stream breaks off inside a segment.
bool DecodeQrSegments(const std::vector<std::uint8_t>& data, int version, std::string& text);

// The text of a sampled grid; `log` gets the diagnostics.
QrOutcome DecodeQrMatrix(const QrMatrix& m, std::string& log);

// A finder mark found in the work image.
struct FinderMark {
  double x = 0;
  double y = 0;
  double size = 0;  // width across the mark in pixels (seven modules)
  int hits = 0;
};

// Three finder marks that may be one symbol's, by index, and how far they
// are from a right isosceles triangle of marks of one size (0 perfect).
struct MarkTriple {
  std::array<std::size_t, 3> marks{};
  double score = 0;
};
inline constexpr std::size_t TRIPLE_MARKS_MAX = 24;     // marks (most often seen) combined into triples
inline constexpr std::size_t TRIPLES_TRIED = 3;         // best triples the reader tries in turn
inline constexpr double TRIPLE_SIZE_RATIO_MIN = 0.7;    // smallest mark against the largest
inline constexpr double TRIPLE_LEGS_MAX = 0.15;         // |ln| of the legs' ratio at the corner
inline constexpr double TRIPLE_COSINE_MAX = 0.26;       // of the corner angle (about 75 to 105 degrees)

// Exactly three marks: that one triple, whatever its shape. More: the
// triples shaped like a symbol's corners, best first, at most
// TRIPLES_TRIED; none when two of them share no mark (two symbols: which
// one is meant is not known).
std::vector<MarkTriple> MarkTriples(const std::vector<FinderMark>& marks);
// How far three marks are from a symbol's corners: the size mismatch, the
// legs' ratio at the corner and the cosine of its angle, added; -1 when
// beyond the limits above or not 12 to 177 modules apart.
double TriangleScore(const std::array<FinderMark, 3>& marks);

// The two image steps of the pre-processing on a width x height grey
// image, rows top-down: the 3 x 3 box average (at the edges, of the pixels
// inside), and the dark flags (1 dark) below a fixed threshold (1-255) or,
// for 0, below the local threshold of 8 x 8 cells, smoothed first when
// asked.
std::vector<std::uint8_t> SmoothedGrey(const std::vector<std::uint8_t>& grey, int width, int height);
std::vector<std::uint8_t> DarkFlags(const std::vector<std::uint8_t>& grey, int width, int height, int threshold,
                                    bool smooth);

// Pre-processing: the picture turned black (0) and white (255) into `work`
// (threshold 1-255, or 0 for a local threshold), then the finder marks.
// True when three of them can be a symbol's corners (MarkTriples).
bool PreprocessQr(const Picture& picture, int threshold, Plane& work, std::vector<FinderMark>& marks,
                  std::string& log);
// Pre-processing, then decoding from the work image. `marks`, when given,
// gets the finder marks found (also when there are not three).
QrOutcome ReadQr(const Picture& picture, int threshold, Plane& work, std::string& log,
                 std::vector<FinderMark>* marks = nullptr);

}  // namespace vx::recognition
