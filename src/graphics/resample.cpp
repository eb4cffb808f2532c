#include "graphics/resample.hpp"

#include <algorithm>
#include <cmath>

#include "platform/pixel_loop.hpp"

namespace vx::graphics {
namespace {

// Footprint ends computed in floating point may land a hair beside an
// integer; treat such ends as the integer.
constexpr double kEdgeSlack = 1e-9;

// sum += line x weight, element by element.
VX_PIXEL_LOOP void AddWeighted(double* __restrict sum, const double* __restrict line, double weight, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) sum[i] += line[i] * weight;
}

// sum = line x weight: the first row of an output row's sums, the value
// 0 + line x weight would give (the products are never negative).
VX_PIXEL_LOOP void SetWeighted(double* __restrict sum, const double* __restrict line, double weight, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) sum[i] = line[i] * weight;
}

// Each sum / weight rounded half up and cut at 255. The sums are never
// negative, so truncating min(v + 0.5, 255) is floor(v + 0.5) cut to a byte.
void RoundAveragesFrom(const double* __restrict sum, double weight, std::uint8_t* __restrict out, std::size_t from,
                       std::size_t n) {
  for (std::size_t i = from; i < n; ++i) {
    out[i] = static_cast<std::uint8_t>(static_cast<int>(std::min(sum[i] / weight + 0.5, 255.0)));
  }
}

#if VX_HAVE_AVX2_LOOPS
// A byte needs the quotient only near a rounding edge. Multiplying by the
// rounded reciprocal gives a quotient within a few units in the last place
// of the divided one (about 1e-13 at 255), so where that product + 0.5 is
// farther than kNearEdge from a whole number both round to the same byte;
// the few vectors with a lane nearer (exact halves among them) divide.
constexpr double kNearEdge = 1e-9;

[[gnu::always_inline]] VX_AVX2 inline __m128i RoundFour(const double* sum, __m256d weight, __m256d reciprocal) {
  const __m256d half = _mm256_set1_pd(0.5);
  const __m256d s = _mm256_loadu_pd(sum);
  __m256d v = _mm256_add_pd(_mm256_mul_pd(s, reciprocal), half);
  const __m256d past_whole = _mm256_sub_pd(v, _mm256_round_pd(v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
  const __m256d near_edge = _mm256_or_pd(_mm256_cmp_pd(past_whole, _mm256_set1_pd(kNearEdge), _CMP_LT_OQ),
                                         _mm256_cmp_pd(past_whole, _mm256_set1_pd(1.0 - kNearEdge), _CMP_GT_OQ));
  if (_mm256_movemask_pd(near_edge) != 0) v = _mm256_add_pd(_mm256_div_pd(s, weight), half);
  return _mm256_cvttpd_epi32(_mm256_min_pd(v, _mm256_set1_pd(255.0)));
}

VX_AVX2 void RoundAveragesAvx2(const double* __restrict sum, double weight, std::uint8_t* __restrict out,
                               std::size_t n) {
  const __m256d w = _mm256_set1_pd(weight);
  const __m256d reciprocal = _mm256_set1_pd(1.0 / weight);
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i low = _mm_packus_epi32(RoundFour(sum + i, w, reciprocal), RoundFour(sum + i + 4, w, reciprocal));
    const __m128i high =
        _mm_packus_epi32(RoundFour(sum + i + 8, w, reciprocal), RoundFour(sum + i + 12, w, reciprocal));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
  }
  RoundAveragesFrom(sum, weight, out, i, n);
}
#endif

void RoundAverages(const double* __restrict sum, double weight, std::uint8_t* __restrict out, std::size_t n) {
#if VX_HAVE_AVX2_LOOPS
  if (platform::HasAvx2()) return RoundAveragesAvx2(sum, weight, out, n);
#endif
  RoundAveragesFrom(sum, weight, out, 0, n);
}

}  // namespace

AreaScaler::AreaScaler(int in_width, int in_height, double sx, double sy, const ResampleWindow& window)
    : in_width_(in_width), in_height_(in_height), sx_(sx), sy_(sy), window_(window),
      identity_(sx == 1.0 && sy == 1.0), out_row_(window.row_begin) {
  const int columns = std::max(0, window_.col_end - window_.col_begin);
  tap_first_.reserve(static_cast<std::size_t>(columns) + 1);
  for (int c = window_.col_begin; c < window_.col_end; ++c) {
    tap_first_.push_back(static_cast<int>(taps_.size()));
    const double begin = c * sx_;
    const double end = std::min((c + 1) * sx_, static_cast<double>(in_width_));
    const int first = std::max(0, static_cast<int>(std::floor(begin + kEdgeSlack)));
    for (int k = first; k < in_width_ && k < end - kEdgeSlack; ++k) {
      const double w = std::min(end, k + 1.0) - std::max(begin, static_cast<double>(k));
      if (w > kEdgeSlack) taps_.push_back(Tap{k, w});
    }
  }
  tap_first_.push_back(static_cast<int>(taps_.size()));
  taps_per_column_ = columns > 0 ? tap_first_[1] - tap_first_[0] : 0;
  for (std::size_t c = 0; c + 1 < tap_first_.size(); ++c) {
    if (tap_first_[c + 1] - tap_first_[c] != taps_per_column_) taps_per_column_ = 0;
  }
  tap_total_.reserve(static_cast<std::size_t>(columns));
  for (std::size_t c = 0; c + 1 < tap_first_.size(); ++c) {
    double total = 0;
    for (int t = tap_first_[c]; t < tap_first_[c + 1]; ++t) total += taps_[static_cast<std::size_t>(t)].weight;
    tap_total_.push_back(total > 0.0 ? total : 1.0);
  }
  // Whole scales whose blocks all lie inside the input take the exact
  // integer path (the same result as the general one, without rounding
  // noise).
  const double n = std::round(sx);
  if (sx == sy && std::fabs(sx - n) < kEdgeSlack && n >= 2 && n <= 4096 &&
      static_cast<std::int64_t>(window_.col_end) * static_cast<std::int64_t>(n) <= in_width_ &&
      static_cast<std::int64_t>(window_.row_end) * static_cast<std::int64_t>(n) <= in_height_) {
    whole_ = static_cast<int>(n);
    block_sum_.assign(static_cast<std::size_t>(columns) * 3, 0);
  }
  line_.assign(static_cast<std::size_t>(columns) * 3 + 1, 0.0);  // one to spare for ResampleRowAvx2
  sum_.assign(static_cast<std::size_t>(columns) * 3, 0.0);
  out_.assign(sum_.size(), 0);
}

double AreaScaler::RowBegin(int r) const { return r * sy_; }
double AreaScaler::RowEnd(int r) const { return std::min((r + 1) * sy_, static_cast<double>(in_height_)); }

AreaScaler AreaScaler::Rows(int row_begin, int row_end) const {
  AreaScaler band(*this);
  band.window_.row_begin = row_begin;
  band.window_.row_end = row_end;
  band.out_row_ = row_begin;
  // Rows above the first output row are passed over by Push itself; start
  // one early so that its own test decides the row at the boundary.
  band.pushed_ = std::max(0, static_cast<int>(std::floor(RowBegin(row_begin))) - 1);
  return band;
}

int AreaScaler::InputEnd(int row_end) const {
  if (row_end <= window_.row_begin) return 0;
  return std::min(in_height_, static_cast<int>(std::ceil(RowEnd(row_end - 1))) + 1);
}

bool AreaScaler::Wants(int next) const { return !Finished() && next < in_height_; }

void AreaScaler::Emit(const ResampleSink& sink) {
  // The sums hold the last row's until a row adds to them (see Push).
  if (weight_ == 0.0) std::fill(sum_.begin(), sum_.end(), 0.0);
  const double w = weight_ > 0.0 ? weight_ : 1.0;
  RoundAverages(sum_.data(), w, out_.data(), sum_.size());
  sink(out_row_, out_);
  weight_ = 0.0;
  ++out_row_;
}

void AreaScaler::Push(std::span<const std::uint8_t> row, const ResampleSink& sink) {
  const int j = pushed_++;
  if (Finished() || row.size() < static_cast<std::size_t>(in_width_) * 3) return;
  if (j + 1 <= RowBegin(out_row_) + kEdgeSlack) return;  // above every wanted row
  if (identity_) {
    const std::size_t from = static_cast<std::size_t>(window_.col_begin) * 3;
    std::copy_n(row.begin() + static_cast<std::ptrdiff_t>(from), out_.size(), out_.begin());
    sink(out_row_++, out_);
    return;
  }
  if (whole_ > 0) {
    PushWhole(row, j, sink);
    return;
  }
  ResampleRow(row);
  // Vertical: this row covers [j, j + 1).
  while (!Finished()) {
    const double begin = std::max(RowBegin(out_row_), static_cast<double>(j));
    const double end = std::min(RowEnd(out_row_), j + 1.0);
    if (end - begin > kEdgeSlack) {
      // The first input row of an output row sets the sums instead of adding
      // to cleared ones: the same values without clearing them.
      if (weight_ == 0.0) {
        SetWeighted(sum_.data(), line_.data(), end - begin, sum_.size());
      } else {
        AddWeighted(sum_.data(), line_.data(), end - begin, sum_.size());
      }
      weight_ += end - begin;
    }
    if (RowEnd(out_row_) > j + 1.0 + kEdgeSlack) break;  // continues in the next row
    Emit(sink);
  }
}

void AreaScaler::ResampleColumn(std::span<const std::uint8_t> row, std::size_t c) {
  double b = 0, g = 0, r = 0;
  for (int t = tap_first_[c]; t < tap_first_[c + 1]; ++t) {
    const std::uint8_t* p = &row[static_cast<std::size_t>(taps_[t].index) * 3];
    b += p[0] * taps_[t].weight;
    g += p[1] * taps_[t].weight;
    r += p[2] * taps_[t].weight;
  }
  const double total = tap_total_[c];
  line_[c * 3] = b / total;
  line_[c * 3 + 1] = g / total;
  line_[c * 3 + 2] = r / total;
}

void AreaScaler::ResampleRow(std::span<const std::uint8_t> row) {
#if VX_HAVE_AVX2_LOOPS
  if (platform::HasAvx2()) return ResampleRowAvx2(row);
#endif
  for (std::size_t c = 0; c + 1 < tap_first_.size(); ++c) ResampleColumn(row, c);
}

#if VX_HAVE_AVX2_LOOPS
// ResampleColumn with a column's three components as one vector of four
// doubles: the same sums in the same order. Each column writes a fourth
// value, which the next overwrites (line_ has one to spare); a column whose
// last tap is the row's last pixel (a fourth byte would lie past the row)
// is left to ResampleColumn. Taps run left to right, so the last is the
// rightmost.
namespace {
// Columns of exactly `taps` taps each, from `first` to `end`, with the
// loop over a column's taps unrolled; none reads past the row.
template <int taps, typename Tap>
VX_AVX2 void ResampleColumnsOfAvx2(const std::uint8_t* row, const Tap* tap, const double* totals, double* line,
                                   std::size_t first, std::size_t end) {
  for (std::size_t c = first; c < end; ++c) {
    const Tap* t = tap + c * taps;
    __m256d sum = _mm256_mul_pd(platform::FourBytesAsDoubles(row + static_cast<std::size_t>(t[0].index) * 3),
                                _mm256_set1_pd(t[0].weight));
    for (int k = 1; k < taps; ++k) {
      const __m256d pixel = platform::FourBytesAsDoubles(row + static_cast<std::size_t>(t[k].index) * 3);
      sum = _mm256_add_pd(sum, _mm256_mul_pd(pixel, _mm256_set1_pd(t[k].weight)));
    }
    _mm256_storeu_pd(line + c * 3, _mm256_div_pd(sum, _mm256_set1_pd(totals[c])));
  }
}
}  // namespace

VX_AVX2 void AreaScaler::ResampleRowAvx2(std::span<const std::uint8_t> row) {
  // Where every column has the same number of taps (most reductions by a
  // fixed scale), all but the last few columns take the unrolled loop:
  // the sums start from the first product, which is 0 + that product.
  std::size_t c = 0;
  if (taps_per_column_ >= 1 && taps_per_column_ <= 3) {
    const std::size_t columns = tap_first_.size() - 1;
    std::size_t whole = columns;  // the columns whose last tap's four bytes lie inside the row
    while (whole > 0 && static_cast<std::size_t>(taps_[whole * taps_per_column_ - 1].index) * 3 + 4 > row.size()) {
      --whole;
    }
    const auto run = taps_per_column_ == 1   ? ResampleColumnsOfAvx2<1, Tap>
                     : taps_per_column_ == 2 ? ResampleColumnsOfAvx2<2, Tap>
                                             : ResampleColumnsOfAvx2<3, Tap>;
    run(row.data(), taps_.data(), tap_total_.data(), line_.data(), 0, whole);
    c = whole;
  }
  for (; c + 1 < tap_first_.size(); ++c) {
    const int first = tap_first_[c];
    const int end = tap_first_[c + 1];
    if (end > first && static_cast<std::size_t>(taps_[static_cast<std::size_t>(end - 1)].index) * 3 + 4 > row.size()) {
      ResampleColumn(row, c);
      continue;
    }
    __m256d sum = _mm256_setzero_pd();
    for (int t = first; t < end; ++t) {
      const Tap& tap = taps_[static_cast<std::size_t>(t)];
      const __m256d pixel = platform::FourBytesAsDoubles(&row[static_cast<std::size_t>(tap.index) * 3]);
      sum = _mm256_add_pd(sum, _mm256_mul_pd(pixel, _mm256_set1_pd(tap.weight)));
    }
    _mm256_storeu_pd(&line_[c * 3], _mm256_div_pd(sum, _mm256_set1_pd(tap_total_[c])));
  }
}
#else
void AreaScaler::ResampleRowAvx2(std::span<const std::uint8_t> row) {
  for (std::size_t c = 0; c + 1 < tap_first_.size(); ++c) ResampleColumn(row, c);
}
#endif

void AreaScaler::PushWhole(std::span<const std::uint8_t> row, int j, const ResampleSink& sink) {
  const std::size_t n = static_cast<std::size_t>(whole_);
  const std::size_t columns = block_sum_.size() / 3;
  const std::uint8_t* p = row.data() + static_cast<std::size_t>(window_.col_begin) * n * 3;
  for (std::size_t c = 0; c < columns; ++c) {
    std::uint32_t b = 0, g = 0, r = 0;
    for (std::size_t k = 0; k < n; ++k, p += 3) {
      b += p[0];
      g += p[1];
      r += p[2];
    }
    block_sum_[c * 3] += b;
    block_sum_[c * 3 + 1] += g;
    block_sum_[c * 3 + 2] += r;
  }
  if ((static_cast<std::size_t>(j) + 1) % n != 0) return;
  const std::uint32_t area = static_cast<std::uint32_t>(n * n);
  for (std::size_t i = 0; i < block_sum_.size(); ++i) {
    out_[i] = static_cast<std::uint8_t>((block_sum_[i] + area / 2) / area);
    block_sum_[i] = 0;
  }
  sink(out_row_++, out_);
}

std::int64_t ScaledExtent(std::int64_t size, double scale, std::int64_t limit) {
  if (size <= 0 || !(scale > 0.0)) return 0;
  const double exact = static_cast<double>(size) / scale;
  const double floored = std::floor(exact + kEdgeSlack);
  const std::int64_t n = floored >= static_cast<double>(limit) ? limit : static_cast<std::int64_t>(floored);
  return std::clamp<std::int64_t>(n, 1, limit);
}

}  // namespace vx::graphics
