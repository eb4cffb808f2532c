#pragma once
// Area-averaging resampling, fed one input row at a time so that a picture
// never has to be held whole (the JPEG loader streams scanlines through it).
//
// Output pixel i covers the input interval [i * sx, (i + 1) * sx), cut at
// the input's end; its value is the average of the input pixels under that
// footprint, each weighted by the part of it that is covered, rounded to
// the nearest integer. The same holds vertically with sy. A scale of 1
// copies exactly; a scale of 2 averages 2 x 2 blocks.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace vx::graphics {

// Output columns [col_begin, col_end) and rows [row_begin, row_end).
struct ResampleWindow {
  int col_begin = 0;
  int col_end = 0;
  int row_begin = 0;
  int row_end = 0;
};

// An output row: pixels of 3 bytes for the window's columns. When bands of
// rows are scaled on several threads (Rows below), one sink is called from
// all of them at once, each time for a different row: it may only write
// that row's own place.
using ResampleSink = std::function<void(int row, std::span<const std::uint8_t> pixels)>;

class AreaScaler {
 public:
  AreaScaler(int in_width, int in_height, double sx, double sy, const ResampleWindow& window);

  // Input rows come in order from row 0, in_width pixels of 3 bytes each.
  // Output rows completed by this one go to the sink.
  void Push(std::span<const std::uint8_t> row, const ResampleSink& sink);
  // Whether input row `next` (the next one pushed) or a later one can still
  // contribute.
  bool Wants(int next) const;
  // No wanted output row is left.
  bool Finished() const { return out_row_ >= window_.row_end; }

  // A scaler for output rows [row_begin, row_end) of this one's window
  // alone, fed from input row NextInput() on: it gives those rows byte for
  // byte as this one would (the same path, the same sums in the same order),
  // so bands of rows can be scaled on several threads from held input rows.
  // Call before anything is pushed.
  AreaScaler Rows(int row_begin, int row_end) const;
  // The input row the next Push is taken as.
  int NextInput() const { return pushed_; }
  // One past the last input row the output rows before `row_end` draw on.
  int InputEnd(int row_end) const;

 private:
  struct Tap {
    int index;
    double weight;
  };
  // The pushed row resampled across into line_: one column, all of them,
  // and all of them with AVX2 (the same values).
  void ResampleColumn(std::span<const std::uint8_t> row, std::size_t c);
  void ResampleRow(std::span<const std::uint8_t> row);
  void ResampleRowAvx2(std::span<const std::uint8_t> row);
  double RowBegin(int r) const;
  double RowEnd(int r) const;
  void Emit(const ResampleSink& sink);
  void PushWhole(std::span<const std::uint8_t> row, int j, const ResampleSink& sink);

  int in_width_;
  int in_height_;
  double sx_;
  double sy_;
  ResampleWindow window_;
  bool identity_;               // scale 1: rows are copied
  int whole_ = 0;               // a whole scale n >= 2: n x n blocks summed exactly
  std::vector<std::uint32_t> block_sum_;
  std::vector<int> tap_first_;  // per output column, into taps_
  std::vector<Tap> taps_;
  int taps_per_column_ = 0;     // when every column has as many, else 0
  std::vector<double> tap_total_;  // per output column, its taps' weights summed
  std::vector<double> line_;    // the pushed row resampled horizontally
  std::vector<double> sum_;     // weighted sums of the output row being built
  double weight_ = 0.0;
  int out_row_;
  int pushed_ = 0;
  std::vector<std::uint8_t> out_;
};

// The size a dimension takes at a scale: size / scale, rounded down, at
// least 1 for a non-empty input, limited to `limit`.
std::int64_t ScaledExtent(std::int64_t size, double scale, std::int64_t limit);

}  // namespace vx::graphics
