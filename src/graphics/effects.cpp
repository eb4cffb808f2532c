#include "graphics/effects.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/pixel_loop.hpp"
#include "platform/thread_pool.hpp"

namespace vx::graphics {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A copy of a rectangle of a bank, rows top first.
class Snapshot {
 public:
  Snapshot(const std::uint8_t* bank, const PixelRect& r) : rect_(r) {
    if (r.Empty() || bank == nullptr) return;
    stride_ = static_cast<std::size_t>(r.Width()) * VRAM_PIXEL_BYTES;
    data_.resize(stride_ * static_cast<std::size_t>(r.Height()));
    for (int y = r.top; y <= r.bottom; ++y) {
      std::memcpy(&data_[static_cast<std::size_t>(y - r.top) * stride_], PixelAt(bank, r.left, y), stride_);
    }
  }
  const PixelRect& Rect() const { return rect_; }
  const std::uint8_t* At(int x, int y) const {
    return &data_[static_cast<std::size_t>(y - rect_.top) * stride_ +
                  static_cast<std::size_t>(x - rect_.left) * VRAM_PIXEL_BYTES];
  }
  Color Get(int x, int y) const {
    const std::uint8_t* p = At(x, y);
    return Color{p[0], p[1], p[2]};
  }
  bool Contains(int x, int y) const {
    return x >= rect_.left && x <= rect_.right && y >= rect_.top && y <= rect_.bottom;
  }

 private:
  PixelRect rect_;
  std::size_t stride_ = 0;
  std::vector<std::uint8_t> data_;
};

const PixelRect kBankRect{0, 0, VRAM_WIDTH - 1, VRAM_HEIGHT - 1};

void Store(Canvas& canvas, int x, int y, Color c) { canvas.Plot(x, y, Paint{c, LINE_MODE_SOLID}); }

Color Half(Color c) {
  return Color{static_cast<std::uint8_t>(c.b / 2), static_cast<std::uint8_t>(c.g / 2),
               static_cast<std::uint8_t>(c.r / 2)};
}

// Exact rounded division of a window sum by its pixel count in 16 bits:
// ((sum + count / 2) * multiplier) >> (16 + shift), the high half of a
// 16 x 16 bit product shifted, which vectorises as one multiply per 16
// lanes. With multiplier = ceil(2^k / count) = (2^k + e) / count the
// quotient is exact while dividend x e < 2^k; every count a blur window can
// have (up to 2 x 64 + 1) has a shift that meets this for the largest
// dividend, 255 x count + count / 2 (checked at compile time below). A
// count of 1 divides by nothing.
struct WindowDivider {
  std::uint16_t half = 0;
  std::uint16_t multiplier = 0;
  std::uint8_t shift = 0;
  bool exact = false;  // the count is 1 and the sum is the result

  std::uint8_t operator()(std::uint16_t sum) const {
    if (exact) return static_cast<std::uint8_t>(sum);
    const auto x = static_cast<std::uint16_t>(sum + half);
    return static_cast<std::uint8_t>(static_cast<std::uint16_t>((std::uint32_t{x} * multiplier) >> 16) >> shift);
  }
  // The same with the shift known when compiled: a variable one makes GCC
  // widen the vector product to 32 bits.
  template <int kShift>
  std::uint8_t Divide(std::uint16_t sum) const {
    const auto x = static_cast<std::uint16_t>(sum + half);
    return static_cast<std::uint8_t>(static_cast<std::uint16_t>((std::uint32_t{x} * multiplier) >> 16) >> kShift);
  }
};

constexpr int kWindowMax = 2 * BLUR_RADIUS_MAX + 1;

constexpr std::optional<WindowDivider> MakeWindowDivider(int count) {
  if (count == 1) return WindowDivider{0, 0, 0, true};
  const std::uint64_t largest = 255u * static_cast<std::uint64_t>(count) + static_cast<std::uint64_t>(count / 2);
  for (int shift = 15; shift >= 0; --shift) {
    const std::uint64_t power = std::uint64_t{1} << (16 + shift);
    const std::uint64_t multiplier = (power + static_cast<std::uint64_t>(count) - 1) / static_cast<std::uint64_t>(count);
    const std::uint64_t excess = multiplier * static_cast<std::uint64_t>(count) - power;
    if (multiplier <= 0xFFFF && largest * excess < power) {
      return WindowDivider{static_cast<std::uint16_t>(count / 2), static_cast<std::uint16_t>(multiplier),
                           static_cast<std::uint8_t>(shift), false};
    }
  }
  return std::nullopt;
}

constexpr bool EveryWindowDivides() {
  for (int count = 1; count <= kWindowMax; ++count) {
    if (!MakeWindowDivider(count)) return false;
  }
  return true;
}
static_assert(EveryWindowDivides());
// The loops below are built for each shift up to this.
constexpr int kShiftMax = 7;
constexpr bool ShiftsWithinMax() {
  for (int count = 2; count <= kWindowMax; ++count) {
    if (MakeWindowDivider(count)->shift > kShiftMax) return false;
  }
  return true;
}
static_assert(ShiftsWithinMax());
static_assert(255 * kWindowMax + kWindowMax / 2 <= 0xFFFF, "window sums must fit 16 bits");

constexpr std::array<WindowDivider, kWindowMax + 1> kWindowDividers = [] {
  std::array<WindowDivider, kWindowMax + 1> table{};
  for (int count = 1; count <= kWindowMax; ++count) table[static_cast<std::size_t>(count)] = *MakeWindowDivider(count);
  return table;
}();

WindowDivider DividerFor(int count) { return kWindowDividers[static_cast<std::size_t>(count)]; }

// Pixels of a window of `radius` around position `at` inside [0, extent).
int WindowCount(int at, int radius, int extent) {
  return std::min(at + radius, extent - 1) - std::max(at - radius, 0) + 1;
}

// The row pass. `padded` holds the row's `bytes` bytes between 3 x radius
// zero bytes on each side, so that the sum at byte i is the sum of the
// 2 x radius + 1 bytes padded[i], padded[i + 3], ...; only the pixels
// within `radius` of an end have fewer pixels to divide by.
template <int kRadius>
[[gnu::always_inline]] inline void RowWindowFixed(const std::uint8_t* __restrict padded,
                                                  std::uint8_t* __restrict out, std::size_t from,
                                                  std::size_t to) {
  constexpr WindowDivider kDivide = kWindowDividers[2 * kRadius + 1];
  for (std::size_t i = from; i < to; ++i) {
    std::uint16_t sum = 0;
#pragma GCC unroll 8
    for (int t = 0; t <= 2 * kRadius; ++t) sum = static_cast<std::uint16_t>(sum + padded[i + 3 * static_cast<std::size_t>(t)]);
    out[i] = kDivide.Divide<kDivide.shift>(sum);
  }
}

// Window sums of any length by doubling: `run` holds sums of `length`
// consecutive pixels, and the lengths that make up the window (its binary
// digits) are added one after the other: about log2 of the window passes.
VX_PIXEL_LOOP void RowWindowSums(const std::uint8_t* __restrict padded, std::uint16_t* __restrict run,
                                 std::uint16_t* __restrict sums, std::size_t bytes, int radius) {
  const std::size_t reach = 6 * static_cast<std::size_t>(radius);
  const std::size_t total = bytes + reach;
  const auto window = static_cast<std::size_t>(2 * radius + 1);
  for (std::size_t j = 0; j < total; ++j) run[j] = padded[j];
  std::size_t offset = 0;
  bool first = true;
  for (std::size_t length = 1;; length *= 2) {
    if ((window & length) != 0) {
      const std::uint16_t* part = run + offset;
      if (first) {
        for (std::size_t i = 0; i < bytes; ++i) sums[i] = part[i];
      } else {
        for (std::size_t i = 0; i < bytes; ++i) sums[i] = static_cast<std::uint16_t>(sums[i] + part[i]);
      }
      first = false;
      offset += 3 * length;
    }
    if (2 * length > window) break;
    // run[j] covers `length` pixels for j < total - 3 (length - 1).
    const std::size_t valid = total - 3 * (length - 1) - 3 * length;
    const std::size_t step = 3 * length;
    for (std::size_t j = 0; j < valid; ++j) run[j] = static_cast<std::uint16_t>(run[j] + run[j + step]);
  }
}

// Calls `Loop<shift>::Run(arguments...)` for the divider's shift.
template <template <int> class Loop, typename... Arguments>
[[gnu::always_inline]] inline void WithShift(int shift, Arguments... arguments) {
  switch (shift) {
    case 0: Loop<0>::Run(arguments...); break;
    case 1: Loop<1>::Run(arguments...); break;
    case 2: Loop<2>::Run(arguments...); break;
    case 3: Loop<3>::Run(arguments...); break;
    case 4: Loop<4>::Run(arguments...); break;
    case 5: Loop<5>::Run(arguments...); break;
    case 6: Loop<6>::Run(arguments...); break;
    default: Loop<kShiftMax>::Run(arguments...); break;
  }
}

template <int kShift>
struct DivideLoop {
  [[gnu::always_inline]] static void Run(const std::uint16_t* __restrict sums, std::uint8_t* __restrict out,
                                         std::size_t bytes, WindowDivider divide) {
    for (std::size_t i = 0; i < bytes; ++i) out[i] = divide.Divide<kShift>(sums[i]);
  }
};

VX_PIXEL_LOOP void DivideSums(const std::uint16_t* sums, std::uint8_t* out, std::size_t bytes, WindowDivider divide) {
  WithShift<DivideLoop>(divide.shift, sums, out, bytes, divide);
}

VX_PIXEL_LOOP void RowWindowSmall(const std::uint8_t* __restrict padded, std::uint8_t* __restrict out,
                                  std::size_t from, std::size_t to, int radius) {
  switch (radius) {
    case 1: RowWindowFixed<1>(padded, out, from, to); break;
    case 2: RowWindowFixed<2>(padded, out, from, to); break;
    case 3: RowWindowFixed<3>(padded, out, from, to); break;
    default: break;
  }
}
constexpr int kSmallRadiusMax = 3;

// The column pass for one row: the running column sums take in the row
// `enter` and drop `leave` (either may be a row of zeros), and their
// rounded averages go to `out`.
template <int kShift>
struct ColumnLoop {
  [[gnu::always_inline]] static void Run(std::uint16_t* __restrict sums, const std::uint8_t* __restrict enter,
                                         const std::uint8_t* __restrict leave, std::uint8_t* __restrict out,
                                         std::size_t bytes, WindowDivider divide) {
    for (std::size_t i = 0; i < bytes; ++i) {
      const auto s = static_cast<std::uint16_t>(sums[i] + enter[i] - leave[i]);
      sums[i] = s;
      out[i] = divide.Divide<kShift>(s);
    }
  }
};

VX_PIXEL_LOOP void ColumnStep(std::uint16_t* sums, const std::uint8_t* enter, const std::uint8_t* leave,
                              std::uint8_t* out, std::size_t bytes, WindowDivider divide) {
  if (divide.exact) {
    for (std::size_t i = 0; i < bytes; ++i) {
      const auto s = static_cast<std::uint16_t>(sums[i] + enter[i] - leave[i]);
      sums[i] = s;
      out[i] = static_cast<std::uint8_t>(s);
    }
    return;
  }
  WithShift<ColumnLoop>(divide.shift, sums, enter, leave, out, bytes, divide);
}

VX_PIXEL_LOOP void AddRow(std::uint16_t* __restrict sums, const std::uint8_t* __restrict row, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) sums[i] = static_cast<std::uint16_t>(sums[i] + row[i]);
}

// The box blur of an area, rows top first, in bands of rows that may run on
// different threads. Each band keeps the row-blurred rows its column window
// spans in a ring, so the area is read once and written once; only the rows
// within `radius` of a band's ends, which a neighbouring band reads and
// may already have overwritten, are copied before any band starts.
class AreaBlur {
 public:
  AreaBlur(Canvas& canvas, const PixelRect& area, int radius, const std::function<SharpSpan(int)>& sharp)
      : canvas_(canvas), area_(area), radius_(radius), width_(area.Width()), height_(area.Height()),
        bytes_(static_cast<std::size_t>(width_) * 3), sharp_(sharp) {
    band_rows_ = std::max(kBandRowsMin, 8 * radius);
    bands_ = (height_ + band_rows_ - 1) / band_rows_;
    KeepBandEdges();
  }

  void Run() {
    platform::ForBands(0, bands_, std::int64_t{band_rows_} * static_cast<std::int64_t>(bytes_) * 4, [&](int first, int last) {
      for (int band = first; band < last; ++band) {
        Band(band * band_rows_, std::min((band + 1) * band_rows_, height_));
      }
    });
  }

 private:
  static constexpr int kBandRowsMin = 128;

  void KeepBandEdges() {
    if (bands_ < 2) return;
    kept_.assign(static_cast<std::size_t>(height_), -1);
    int count = 0;
    for (int band = 1; band < bands_; ++band) {
      const int edge = band * band_rows_;
      for (int j = std::max(edge - radius_, 0); j < std::min(edge + radius_, height_); ++j) {
        if (kept_[static_cast<std::size_t>(j)] < 0) kept_[static_cast<std::size_t>(j)] = count++;
      }
    }
    edges_.resize(static_cast<std::size_t>(count) * bytes_);
    for (int j = 0; j < height_; ++j) {
      const int slot = kept_[static_cast<std::size_t>(j)];
      if (slot >= 0) std::memcpy(&edges_[static_cast<std::size_t>(slot) * bytes_], Row(j), bytes_);
    }
  }

  std::uint8_t* Row(int j) const { return PixelAt(canvas_.Bank(), area_.left, area_.top + j); }

  // Row j as it was before the blur, for the band [first, last): rows of the
  // band itself are read before the band writes them.
  const std::uint8_t* Original(int j, int first, int last) const {
    if (j >= first && j < last) return Row(j);
    return &edges_[static_cast<std::size_t>(kept_[static_cast<std::size_t>(j)]) * bytes_];
  }

  void Band(int first, int last) {
    const std::size_t reach = 3 * static_cast<std::size_t>(radius_);
    const auto ring_rows = static_cast<std::size_t>(2 * radius_ + 2);
    std::vector<std::uint8_t> padded(bytes_ + 2 * reach, 0);
    std::vector<std::uint16_t> run;
    std::vector<std::uint16_t> row_sums;
    if (radius_ > kSmallRadiusMax) {
      run.resize(bytes_ + 2 * reach);
      row_sums.resize(bytes_);
    }
    std::vector<std::uint8_t> ring(ring_rows * bytes_);
    std::vector<std::uint16_t> sums(bytes_, 0);
    const std::vector<std::uint8_t> zeros(bytes_, 0);
    std::vector<std::uint8_t> blurred(sharp_ ? bytes_ : 0);
    auto ring_row = [&](int j) { return &ring[static_cast<std::size_t>(j) % ring_rows * bytes_]; };
    auto blur_row = [&](int j) {
      std::memcpy(&padded[reach], Original(j, first, last), bytes_);
      BlurAlongRow(padded.data(), run.data(), row_sums.data(), ring_row(j));
    };
    const int top = std::max(first - radius_, 0);
    for (int j = top; j <= std::min(first + radius_ - 1, height_ - 1); ++j) {
      blur_row(j);
      AddRow(sums.data(), ring_row(j), bytes_);
    }
    for (int y = first; y < last; ++y) {
      const int enter = y + radius_;
      const int leave = y - radius_ - 1;
      if (enter < height_) blur_row(enter);
      const std::uint8_t* in = enter < height_ ? ring_row(enter) : zeros.data();
      const std::uint8_t* out_of = leave >= top ? ring_row(leave) : zeros.data();
      std::uint8_t* out = sharp_ ? blurred.data() : Row(y);
      ColumnStep(sums.data(), in, out_of, out, bytes_, DividerFor(WindowCount(y, radius_, height_)));
      if (sharp_) StoreBlurred(blurred.data(), y);
    }
  }

  void BlurAlongRow(const std::uint8_t* padded, std::uint16_t* run, std::uint16_t* row_sums, std::uint8_t* out) const {
    const int inner_from = std::min(radius_, width_);
    const int inner_to = std::max(width_ - radius_, inner_from);
    const WindowDivider whole = DividerFor(2 * radius_ + 1);
    if (radius_ <= kSmallRadiusMax) {
      RowWindowSmall(padded, out, static_cast<std::size_t>(inner_from) * 3, static_cast<std::size_t>(inner_to) * 3,
                     radius_);
    } else {
      RowWindowSums(padded, run, row_sums, bytes_, radius_);
      DivideSums(row_sums + 3 * inner_from, out + 3 * inner_from, static_cast<std::size_t>(inner_to - inner_from) * 3,
                 whole);
    }
    // The pixels near the ends average fewer pixels.
    auto edge = [&](int x) {
      const WindowDivider divide = DividerFor(WindowCount(x, radius_, width_));
      for (int c = 0; c < 3; ++c) {
        const std::size_t i = static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(c);
        std::uint16_t sum = 0;
        if (radius_ > kSmallRadiusMax) {
          sum = row_sums[i];
        } else {
          for (int t = 0; t <= 2 * radius_; ++t) sum = static_cast<std::uint16_t>(sum + padded[i + 3 * static_cast<std::size_t>(t)]);
        }
        out[i] = divide(sum);
      }
    };
    for (int x = 0; x < inner_from; ++x) edge(x);
    for (int x = inner_to; x < width_; ++x) edge(x);
  }

  // Row j of the area, but for its sharp span.
  void StoreBlurred(const std::uint8_t* blurred, int j) const {
    const SharpSpan span = sharp_(area_.top + j);
    const int from = std::max(span.left, area_.left) - area_.left;
    const int to = std::min(span.right, area_.right) - area_.left;
    std::uint8_t* row = Row(j);
    if (from > to) {
      std::memcpy(row, blurred, bytes_);
      return;
    }
    std::memcpy(row, blurred, static_cast<std::size_t>(from) * 3);
    std::memcpy(row + 3 * (to + 1), blurred + 3 * (to + 1), static_cast<std::size_t>(width_ - 1 - to) * 3);
  }

  Canvas& canvas_;
  PixelRect area_;
  int radius_;
  int width_;
  int height_;
  std::size_t bytes_;
  const std::function<SharpSpan(int)>& sharp_;
  int band_rows_ = 0;
  int bands_ = 0;
  std::vector<int> kept_;            // row -> its copy in edges_, or -1
  std::vector<std::uint8_t> edges_;  // rows near band edges, as they were
};

}  // namespace

void SoftenEdges(Canvas& canvas, const PixelRect& area) {
  const PixelRect a = Intersect(area, canvas.ClipRect());
  if (a.Empty() || !canvas.Valid()) return;
  const Snapshot s(canvas.Bank(), a);
  auto same = [](const std::uint8_t* p, const std::uint8_t* q) {
    return p[0] == q[0] && p[1] == q[1] && p[2] == q[2];
  };
  for (int y = a.top; y <= a.bottom; ++y) {
    const std::uint8_t* up = y > a.top ? s.At(a.left, y - 1) : nullptr;
    const std::uint8_t* row = s.At(a.left, y);
    const std::uint8_t* down = y < a.bottom ? s.At(a.left, y + 1) : nullptr;
    std::uint8_t* out = PixelAt(canvas.Bank(), a.left, y);
    const int w = a.Width();
    for (int i = 0; i < w; ++i) {
      const std::uint8_t* p = row + 3 * i;
      const bool edge = (i > 0 && !same(p, p - 3)) || (i + 1 < w && !same(p, p + 3)) ||
                        (up != nullptr && !same(p, up + 3 * i)) || (down != nullptr && !same(p, down + 3 * i));
      if (!edge) continue;
      int sum[3] = {0, 0, 0};
      int count = 0;
      for (const std::uint8_t* line : {up, row, down}) {
        if (line == nullptr) continue;
        for (int k = std::max(i - 1, 0); k <= std::min(i + 1, w - 1); ++k) {
          sum[0] += line[3 * k];
          sum[1] += line[3 * k + 1];
          sum[2] += line[3 * k + 2];
          ++count;
        }
      }
      for (int c = 0; c < 3; ++c) out[3 * i + c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
    }
  }
}

void BoxBlur(Canvas& canvas, const PixelRect& area, int radius, const std::function<SharpSpan(int)>& sharp) {
  const PixelRect a = Intersect(area, canvas.ClipRect());
  if (a.Empty() || !canvas.Valid() || radius < 1) return;
  AreaBlur(canvas, a, std::min(radius, BLUR_RADIUS_MAX), sharp).Run();
}

SharpSpan SpotSpan(Point centre, int spot, int y) {
  const std::int64_t dy = std::int64_t{y} - centre.y;
  const std::int64_t diameter = 2 * std::int64_t{spot} + 1;
  // The largest d with 4 d^2 < room, from a floating-point first guess.
  const std::int64_t room = diameter * diameter - 4 * dy * dy;
  if (room <= 0) return SharpSpan{};
  auto inside = [&](std::int64_t d) { return 4 * d * d < room; };
  auto d = static_cast<std::int64_t>(std::sqrt(static_cast<double>(room) / 4));
  while (inside(d + 1)) ++d;
  while (d > 0 && !inside(d)) --d;
  auto cut = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
  return SharpSpan{cut(centre.x - d), cut(centre.x + d)};
}

void AddColour(Canvas& canvas, const PixelRect& area, Color colour, bool subtract) {
  const PixelRect a = Intersect(area, canvas.ClipRect());
  if (a.Empty() || !canvas.Valid()) return;
  const int sign = subtract ? -1 : 1;
  for (int y = a.top; y <= a.bottom; ++y) {
    std::uint8_t* p = PixelAt(canvas.Bank(), a.left, y);
    for (int x = a.left; x <= a.right; ++x, p += 3) {
      p[0] = ClampComponent(p[0] + sign * colour.b);
      p[1] = ClampComponent(p[1] + sign * colour.g);
      p[2] = ClampComponent(p[2] + sign * colour.r);
    }
  }
}

bool AverageColour(const std::uint8_t* bank, const PixelRect& area, Color* out) {
  const PixelRect a = Intersect(area, kBankRect);
  if (a.Empty() || bank == nullptr) return false;
  std::int64_t sum[3] = {0, 0, 0};
  for (int y = a.top; y <= a.bottom; ++y) {
    const std::uint8_t* p = PixelAt(bank, a.left, y);
    for (int x = a.left; x <= a.right; ++x, p += 3) {
      sum[0] += p[0];
      sum[1] += p[1];
      sum[2] += p[2];
    }
  }
  const std::int64_t count = static_cast<std::int64_t>(a.Width()) * a.Height();
  *out = Color{static_cast<std::uint8_t>((sum[0] + count / 2) / count),
               static_cast<std::uint8_t>((sum[1] + count / 2) / count),
               static_cast<std::uint8_t>((sum[2] + count / 2) / count)};
  return true;
}

void Bevel(Canvas& canvas, const PixelRect& area, int depth, int strength, bool sunken, bool graded) {
  if (area.Empty() || depth < 1 || !canvas.Valid()) return;
  const PixelRect a = Intersect(area, canvas.ClipRect());
  for (int y = a.top; y <= a.bottom; ++y) {
    for (int x = a.left; x <= a.right; ++x) {
      const int lit = std::min(x - area.left, y - area.top);
      const int dark = std::min(area.right - x, area.bottom - y);
      const int m = std::min(lit, dark);
      if (m >= depth) continue;
      const bool light = (lit <= dark) != sunken;
      const int amount = graded ? strength * (depth - m) / depth : strength;
      std::uint8_t* p = PixelAt(canvas.Bank(), x, y);
      const int delta = light ? amount : -amount;
      p[0] = ClampComponent(p[0] + delta);
      p[1] = ClampComponent(p[1] + delta);
      p[2] = ClampComponent(p[2] + delta);
    }
  }
}

void OutlineShapes(Canvas& canvas, const PixelRect& area, Color background, int thickness, Color colour) {
  const PixelRect a = Intersect(area, canvas.ClipRect());
  if (a.Empty() || !canvas.Valid() || colour == background) return;
  thickness = std::clamp(thickness, 1, LINE_WIDTH_MAX);
  // `thickness` rounds of growing by the 8-neighbourhood reach exactly the
  // background pixels within that chessboard distance of a shape: one
  // two-pass distance transform instead of `thickness` passes.
  const int w = a.Width();
  const int h = a.Height();
  const std::uint8_t far = static_cast<std::uint8_t>(thickness + 1);
  std::vector<std::uint8_t> d(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  auto at = [&](int x, int y) -> std::uint8_t& { return d[static_cast<std::size_t>(y) * w + x]; };
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* p = PixelAt(canvas.Bank(), a.left, a.top + y);
    for (int x = 0; x < w; ++x, p += 3) {
      at(x, y) = (p[0] == background.b && p[1] == background.g && p[2] == background.r) ? far : 0;
    }
  }
  auto relax = [&](std::uint8_t& v, int x, int y) {
    if (x >= 0 && x < w && y >= 0 && y < h) v = std::min<std::uint8_t>(v, static_cast<std::uint8_t>(std::min(at(x, y) + 1, static_cast<int>(far))));
  };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t& v = at(x, y);
      relax(v, x - 1, y);
      relax(v, x - 1, y - 1);
      relax(v, x, y - 1);
      relax(v, x + 1, y - 1);
    }
  }
  for (int y = h - 1; y >= 0; --y) {
    for (int x = w - 1; x >= 0; --x) {
      std::uint8_t& v = at(x, y);
      relax(v, x + 1, y);
      relax(v, x + 1, y + 1);
      relax(v, x, y + 1);
      relax(v, x - 1, y + 1);
      if (v >= 1 && v <= thickness) Store(canvas, a.left + x, a.top + y, colour);
    }
  }
}

std::int64_t DetectEdges(Canvas& canvas, const PixelRect& area, int threshold, Color edge, Color rest) {
  const PixelRect a = Intersect(area, canvas.ClipRect());
  if (a.Empty() || !canvas.Valid()) return 0;
  const Snapshot s(canvas.Bank(), a);
  std::int64_t edges = 0;
  auto differs = [&](const std::uint8_t* p, int x, int y) {
    if (!s.Contains(x, y)) return false;
    const std::uint8_t* q = s.At(x, y);
    for (int k = 0; k < 3; ++k) {
      if (std::abs(p[k] - q[k]) > threshold) return true;
    }
    return false;
  };
  for (int y = a.top; y <= a.bottom; ++y) {
    for (int x = a.left; x <= a.right; ++x) {
      const std::uint8_t* p = s.At(x, y);
      const bool is_edge = differs(p, x + 1, y) || differs(p, x, y + 1);
      edges += is_edge ? 1 : 0;
      Store(canvas, x, y, is_edge ? edge : rest);
    }
  }
  return edges;
}

void DropShadow(Canvas& canvas, const PixelRect& area, int dx, int dy, Color background) {
  const PixelRect a = Intersect(area, canvas.ClipRect());
  if (a.Empty() || !canvas.Valid()) return;
  const Snapshot s(canvas.Bank(), a);
  for (int y = a.top; y <= a.bottom; ++y) {
    for (int x = a.left; x <= a.right; ++x) {
      if (!(s.Get(x, y) == background)) continue;
      const std::int64_t sx = static_cast<std::int64_t>(x) - dx;
      const std::int64_t sy = static_cast<std::int64_t>(y) - dy;
      if (sx < a.left || sx > a.right || sy < a.top || sy > a.bottom) continue;
      if (s.Get(static_cast<int>(sx), static_cast<int>(sy)) == background) continue;
      Store(canvas, x, y, Half(background));
    }
  }
}

PixelRect Lift(Canvas& canvas, const PixelRect& area, int depth) {
  if (area.Empty() || depth < 1 || !canvas.Valid()) return area;
  const PixelRect a = Intersect(area, kBankRect);
  if (a.Empty()) return area;
  const Snapshot s(canvas.Bank(), a);
  for (int y = a.top; y <= a.bottom; ++y) {
    for (int x = a.left; x <= a.right; ++x) {
      if (x > area.right - depth || y > area.bottom - depth) {
        Store(canvas, x, y, Half(s.Get(x, y)));
      }
    }
  }
  for (int y = a.top; y <= a.bottom; ++y) {
    for (int x = a.left; x <= a.right; ++x) Store(canvas, x - depth, y - depth, s.Get(x, y));
  }
  return PixelRect{area.left - depth, area.top - depth, area.right, area.bottom};
}

void Overlay(Canvas& canvas, const std::uint8_t* source, const PixelRect& from, Point to,
             const Color* transparent) {
  const PixelRect src = Intersect(from, kBankRect);
  if (src.Empty() || source == nullptr || !canvas.Valid()) return;
  const Snapshot s(source, src);
  for (int y = src.top; y <= src.bottom; ++y) {
    for (int x = src.left; x <= src.right; ++x) {
      const Color c = s.Get(x, y);
      if (transparent != nullptr && c == *transparent) continue;
      Store(canvas, to.x + (x - from.left), to.y + (y - from.top), c);
    }
  }
}

void NotAnd(Canvas& canvas, const std::uint8_t* source, const PixelRect& from, Point to) {
  const PixelRect src = Intersect(from, kBankRect);
  if (src.Empty() || source == nullptr || !canvas.Valid()) return;
  const Snapshot s(source, src);
  for (int y = src.top; y <= src.bottom; ++y) {
    for (int x = src.left; x <= src.right; ++x) {
      const std::int64_t tx = to.x + static_cast<std::int64_t>(x - from.left);
      const std::int64_t ty = to.y + static_cast<std::int64_t>(y - from.top);
      if (tx < INT32_MIN || tx > INT32_MAX || ty < INT32_MIN || ty > INT32_MAX) continue;
      if (!canvas.Inside(static_cast<int>(tx), static_cast<int>(ty))) continue;
      std::uint8_t* d = PixelAt(canvas.Bank(), static_cast<int>(tx), static_cast<int>(ty));
      const std::uint8_t* m = s.At(x, y);
      d[0] &= static_cast<std::uint8_t>(~m[0]);
      d[1] &= static_cast<std::uint8_t>(~m[1]);
      d[2] &= static_cast<std::uint8_t>(~m[2]);
    }
  }
}

bool ProjectQuad(Canvas& canvas, const std::uint8_t* source, const PixelRect& from,
                 const std::array<Point, 4>& quad) {
  if (from.Empty() || source == nullptr || !canvas.Valid()) return false;
  const double x0 = quad[0].x, y0 = quad[0].y, x1 = quad[1].x, y1 = quad[1].y;
  const double x2 = quad[2].x, y2 = quad[2].y, x3 = quad[3].x, y3 = quad[3].y;
  // Unit square to quadrilateral: (0,0) -> q0, (1,0) -> q1, (1,1) -> q2, (0,1) -> q3.
  double a, b, c, d, e, f, g, h;
  const double sx = x0 - x1 + x2 - x3;
  const double sy = y0 - y1 + y2 - y3;
  if (sx == 0 && sy == 0) {
    a = x1 - x0, b = x2 - x1, c = x0, d = y1 - y0, e = y2 - y1, f = y0, g = 0, h = 0;
  } else {
    const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
    const double det = dx1 * dy2 - dx2 * dy1;
    if (std::fabs(det) < 1e-12) return false;
    g = (sx * dy2 - dx2 * sy) / det;
    h = (dx1 * sy - sx * dy1) / det;
    a = x1 - x0 + g * x1, b = x3 - x0 + h * x3, c = x0;
    d = y1 - y0 + g * y1, e = y3 - y0 + h * y3, f = y0;
  }
  // The inverse, by the adjugate of [[a b c] [d e f] [g h 1]].
  const double A = e - f * h, B = c * h - b, C = b * f - c * e;
  const double D = f * g - d, E = a - c * g, F = c * d - a * f;
  const double G = d * h - e * g, H = b * g - a * h, I = a * e - b * d;
  if (std::fabs(I) < 1e-12 && std::fabs(G) < 1e-12 && std::fabs(H) < 1e-12) return false;
  const PixelRect src = Intersect(from, kBankRect);
  if (src.Empty()) return false;
  const Snapshot s(source, src);
  const std::array<Point, 4> q = quad;
  const PixelRect box = Intersect(BoundsOf(q, 0), canvas.ClipRect());
  const int sw = from.Width();
  const int sh = from.Height();
  for (int y = box.top; y <= box.bottom; ++y) {
    for (int x = box.left; x <= box.right; ++x) {
      const double w = G * x + H * y + I;
      if (std::fabs(w) < 1e-12) continue;
      const double u = (A * x + B * y + C) / w;
      const double v = (D * x + E * y + F) / w;
      if (u < -1e-9 || u > 1 + 1e-9 || v < -1e-9 || v > 1 + 1e-9) continue;
      const int px = from.left + std::clamp(static_cast<int>(u * sw), 0, sw - 1);
      const int py = from.top + std::clamp(static_cast<int>(v * sh), 0, sh - 1);
      if (!s.Contains(px, py)) continue;
      Store(canvas, x, y, s.Get(px, py));
    }
  }
  return true;
}

void MapOnSphere(Canvas& canvas, const std::uint8_t* source, const PixelRect& from, Point centre,
                 int radius) {
  if (from.Empty() || source == nullptr || !canvas.Valid() || radius < 1) return;
  const PixelRect src = Intersect(from, kBankRect);
  if (src.Empty()) return;
  const Snapshot s(source, src);
  const PixelRect box = Intersect(
      PixelRect{centre.x - radius, centre.y - radius, centre.x + radius, centre.y + radius}, canvas.ClipRect());
  const double r = radius + 0.5;
  const int sw = from.Width();
  const int sh = from.Height();
  for (int y = box.top; y <= box.bottom; ++y) {
    for (int x = box.left; x <= box.right; ++x) {
      const double nx = (x - centre.x) / r;
      const double ny = (y - centre.y) / r;
      const double rr = nx * nx + ny * ny;
      if (rr >= 1.0) continue;
      const double nz = std::sqrt(1.0 - rr);
      const double u = std::atan2(nx, nz) / kPi + 0.5;
      const double v = std::asin(ny) / kPi + 0.5;
      const int px = from.left + std::clamp(static_cast<int>(u * sw), 0, sw - 1);
      const int py = from.top + std::clamp(static_cast<int>(v * sh), 0, sh - 1);
      if (!s.Contains(px, py)) continue;
      Store(canvas, x, y, s.Get(px, py));
    }
  }
}

bool PaletteColour(int index, Color* out) {
  static constexpr std::array<std::uint32_t, 16> kBasic = {
      0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
      0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  if (index < 0 || index >= PALETTE_SIZE) return false;
  if (index < 16) {
    *out = FromPacked(kBasic[static_cast<std::size_t>(index)]);
  } else if (index < 232) {
    const int k = index - 16;
    *out = FromComponents(k / 36 * 51, k / 6 % 6 * 51, k % 6 * 51);
  } else {
    const int grey = 8 + (index - 232) * 10;
    *out = FromComponents(grey, grey, grey);
  }
  return true;
}

Hsv ToHsv(Color c) {
  const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
  const double mx = std::max({r, g, b});
  const double mn = std::min({r, g, b});
  const double d = mx - mn;
  double h = 0;
  if (d > 0) {
    if (mx == r) {
      h = 60 * std::fmod((g - b) / d, 6.0);
    } else if (mx == g) {
      h = 60 * ((b - r) / d + 2);
    } else {
      h = 60 * ((r - g) / d + 4);
    }
  }
  if (h < 0) h += 360;
  return Hsv{h, mx > 0 ? d / mx : 0, mx};
}

Color FromHsv(const Hsv& hsv) {
  double h = std::fmod(hsv.h, 360.0);
  if (h < 0) h += 360;
  const double c = hsv.v * hsv.s;
  const double x = c * (1 - std::fabs(std::fmod(h / 60.0, 2.0) - 1));
  const double m = hsv.v - c;
  double r = 0, g = 0, b = 0;
  switch (static_cast<int>(h / 60.0) % 6) {
    case 0: r = c, g = x; break;
    case 1: r = x, g = c; break;
    case 2: g = c, b = x; break;
    case 3: g = x, b = c; break;
    case 4: r = x, b = c; break;
    default: r = c, b = x; break;
  }
  return FromComponents(std::lround((r + m) * 255), std::lround((g + m) * 255), std::lround((b + m) * 255));
}

void ColourSpectrum(Canvas& canvas, const PixelRect& area) {
  const PixelRect a = Intersect(area, canvas.ClipRect());
  if (a.Empty() || !canvas.Valid()) return;
  const double w = area.Width();
  const double h = std::max(area.Height() - 1, 1);
  for (int y = a.top; y <= a.bottom; ++y) {
    const double t = (y - area.top) / h;
    const double s = t <= 0.5 ? t * 2 : 1.0;
    const double v = t <= 0.5 ? 1.0 : 2 * (1 - t);
    for (int x = a.left; x <= a.right; ++x) {
      Store(canvas, x, y, FromHsv(Hsv{360.0 * (x - area.left) / w, s, v}));
    }
  }
}

void RotateHue(Canvas& canvas, const PixelRect& area, int degrees) {
  const PixelRect a = Intersect(area, canvas.ClipRect());
  if (a.Empty() || !canvas.Valid()) return;
  const int turn = ((degrees % 360) + 360) % 360;
  for (int y = a.top; y <= a.bottom; ++y) {
    std::uint8_t* p = PixelAt(canvas.Bank(), a.left, y);
    for (int x = a.left; x <= a.right; ++x, p += 3) {
      const Color c{p[0], p[1], p[2]};
      Color out;
      if (turn == 0) {
        out = c;
      } else if (turn == 120) {  // red becomes green
        out = Color{c.g, c.r, c.b};
      } else if (turn == 240) {  // red becomes blue
        out = Color{c.r, c.b, c.g};
      } else {
        Hsv hsv = ToHsv(c);
        hsv.h += turn;
        out = FromHsv(hsv);
      }
      p[0] = out.b;
      p[1] = out.g;
      p[2] = out.r;
    }
  }
}

}  // namespace vx::graphics
