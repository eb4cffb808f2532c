#include "graphics/image_ops.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <numbers>
#include <span>
#include <utility>
#include <vector>

#include "graphics/effects.hpp"
#include "platform/pixel_loop.hpp"
#include "platform/thread_pool.hpp"

namespace vx::graphics {
namespace {

constexpr double kSlack = 1e-9;

// floor(v + 0.5) cut to 0..255, without a call to floor (which the base
// instruction set makes a library call): past the cut the truncation of a
// non-negative value is its floor. NaN gives 0.
std::uint8_t Clamp255(double v) {
  const double w = v + 0.5;
  if (!(w >= 0.0)) return 0;
  if (w >= 256.0) return 255;
  return static_cast<std::uint8_t>(static_cast<int>(w));
}

// floor(v) for values inside the int range.
int FloorToInt(double v) {
  const int t = static_cast<int>(v);
  return t - (static_cast<double>(t) > v ? 1 : 0);
}

std::uint8_t* At(Canvas& canvas, int x, int y) { return PixelAt(canvas.Bank(), x, y); }

// The part of the area the canvas may change.
PixelRect Writable(const Canvas& canvas, const PixelRect& area) { return Intersect(area, canvas.ClipRect()); }

// Where the picture placed at `to` lies; the far edges worked in 64 bits,
// since a picture placed near the end of the int range reaches beyond it.
PixelRect Placed(const Image& image, Point to) {
  const auto far_edge = [](int at, int extent) {
    return static_cast<int>(std::min<std::int64_t>(std::int64_t{at} + extent - 1, INT32_MAX));
  };
  return PixelRect{to.x, to.y, far_edge(to.x, image.width), far_edge(to.y, image.height)};
}

// Visits every canvas pixel under the picture placed at `to`, with the
// picture's pixel coordinates.
template <typename Visit>
void ForEachCovered(Canvas& canvas, const Image& image, Point to, Visit&& visit) {
  if (!canvas.Valid() || image.Empty()) return;
  const PixelRect placed = Placed(image, to);
  const PixelRect r = Intersect(placed, canvas.ClipRect());
  if (r.Empty()) return;
  // Inside the clip both differences lie within the picture.
  const int i0 = static_cast<int>(std::int64_t{r.left} - to.x);
  for (int y = r.top; y <= r.bottom; ++y) {
    const int j = static_cast<int>(std::int64_t{y} - to.y);
    std::uint8_t* dst = At(canvas, r.left, y);
    const std::uint8_t* src = image.Row(j) + static_cast<std::size_t>(i0) * 3;
    for (int i = i0; i <= i0 + (r.right - r.left); ++i, dst += 3, src += 3) visit(dst, src, i, j);
  }
}

// Rotation about the picture's centre. The turned picture's pixel box is
// centred on the given point (to half a pixel when its size is even), and
// multiples of 90 degrees use exact sines so that they move pixels exactly.
struct Rotation {
  double cosine;
  double sine;
  double source_cx;
  double source_cy;
  double target_cx;
  double target_cy;
  PixelRect box;

  // Source position of target pixel (u, v).
  void Source(int u, int v, double* sx, double* sy) const {
    const double dx = u - target_cx;
    const double dy = v - target_cy;
    *sx = dx * cosine - dy * sine + source_cx;
    *sy = dx * sine + dy * cosine + source_cy;
  }
};

Rotation MakeRotation(const Image& source, double degrees, Point centre) {
  Rotation r{};
  const double turns = degrees / 90.0;
  const double whole = std::round(turns);
  if (std::fabs(turns - whole) < kSlack && std::fabs(whole) < 1e15) {
    static constexpr std::array<std::array<double, 2>, 4> kQuarter{{{1, 0}, {0, 1}, {-1, 0}, {0, -1}}};
    const auto q = static_cast<std::size_t>(((static_cast<long long>(whole) % 4) + 4) % 4);
    r.cosine = kQuarter[q][0];
    r.sine = kQuarter[q][1];
  } else {
    const double radians = std::fmod(degrees, 360.0) * std::numbers::pi / 180.0;
    r.cosine = std::cos(radians);
    r.sine = std::sin(radians);
  }
  const double w = source.width;
  const double h = source.height;
  const double extent_x = std::fabs(w * r.cosine) + std::fabs(h * r.sine);
  const double extent_y = std::fabs(w * r.sine) + std::fabs(h * r.cosine);
  const int bw = std::max(1, static_cast<int>(std::ceil(extent_x - kSlack)));
  const int bh = std::max(1, static_cast<int>(std::ceil(extent_y - kSlack)));
  r.source_cx = (w - 1) / 2;
  r.source_cy = (h - 1) / 2;
  const int left = centre.x - (bw - 1) / 2;
  const int top = centre.y - (bh - 1) / 2;
  r.target_cx = left + (bw - 1) / 2.0;
  r.target_cy = top + (bh - 1) / 2.0;
  r.box = PixelRect{left, top, left + bw - 1, top + bh - 1};
  return r;
}

// Source coordinates far outside the int range cannot name a pixel.
int Nearest(double v) {
  const double w = v + 0.5 + kSlack;
  if (!(w > -2.0e9 && w < 2.0e9)) return w > 0 ? INT32_MAX : INT32_MIN;
  return FloorToInt(w);
}

bool InsideImage(const Image& image, int x, int y) {
  return x >= 0 && y >= 0 && x < image.width && y < image.height;
}

// Bilinear sample at (sx, sy), which lies within the picture's pixel
// squares: each pair of pixels blended across, then down. The blends lie
// between two bytes (the rounded products never overshoot), so rounding
// half up needs no cut.
inline void SampleInside(const Image& image, double sx, double sy, std::uint8_t* out) {
  const double cx = std::clamp(sx, 0.0, image.width - 1.0);
  const double cy = std::clamp(sy, 0.0, image.height - 1.0);
  const int x0 = static_cast<int>(cx);  // cx, cy >= 0: truncation is the floor
  const int y0 = static_cast<int>(cy);
  const int x1 = std::min(x0 + 1, image.width - 1);
  const int y1 = std::min(y0 + 1, image.height - 1);
  const double fx = cx - x0;
  const double fy = cy - y0;
  const std::uint8_t* p00 = image.Row(y0) + x0 * 3;
  const std::uint8_t* p10 = image.Row(y0) + x1 * 3;
  const std::uint8_t* p01 = image.Row(y1) + x0 * 3;
  const std::uint8_t* p11 = image.Row(y1) + x1 * 3;
  for (int k = 0; k < 3; ++k) {
    const double top = p00[k] + (p10[k] - p00[k]) * fx;
    const double bottom = p01[k] + (p11[k] - p01[k]) * fx;
    out[k] = static_cast<std::uint8_t>(static_cast<int>(top + (bottom - top) * fy + 0.5));
  }
}

// Bilinear sample; false outside the picture's pixel squares.
bool SampleBilinear(const Image& image, double sx, double sy, std::uint8_t* out) {
  if (sx < -0.5 || sy < -0.5 || sx > image.width - 0.5 || sy > image.height - 0.5) return false;
  SampleInside(image, sx, sy, out);
  return true;
}

bool IsColour(const std::uint8_t* p, const Color* c) {
  return c != nullptr && p[0] == c->b && p[1] == c->g && p[2] == c->r;
}

// A copy of the writable part of the area, for filters that read
// neighbours while writing; `origin` is its top-left in the canvas.
struct AreaCopy {
  Image image;
  PixelRect rect;
};

AreaCopy CopyArea(Canvas& canvas, const PixelRect& area) {
  AreaCopy copy;
  copy.rect = Writable(canvas, area);
  if (!canvas.Valid() || copy.rect.Empty()) return copy;
  copy.image = CopyFromBank(canvas.Bank(), copy.rect);
  return copy;
}

// The copy's pixel at canvas coordinates clamped to the area.
const std::uint8_t* Clamped(const AreaCopy& c, int x, int y) {
  x = std::clamp(x, c.rect.left, c.rect.right) - c.rect.left;
  y = std::clamp(y, c.rect.top, c.rect.bottom) - c.rect.top;
  return c.image.Row(y) + x * 3;
}

// Rows of the area, spread over the thread pool when there are enough
// pixels; `change` may only write the pixel it is given.
template <typename Change>
void ForEachInArea(Canvas& canvas, const PixelRect& area, Change&& change, int cost_per_pixel = 3) {
  const PixelRect r = Writable(canvas, area);
  if (!canvas.Valid() || r.Empty()) return;
  platform::ForBands(r.top, r.bottom + 1, std::int64_t{r.Width()} * cost_per_pixel, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      std::uint8_t* p = At(canvas, r.left, y);
      for (int x = r.left; x <= r.right; ++x, p += 3) change(p, x, y);
    }
  });
}

// Every byte of the area through `change`, a row at a time (a loop the
// compiler can vectorise).
template <typename Change>
void ForEachByteInArea(Canvas& canvas, const PixelRect& area, Change&& change) {
  const PixelRect r = Writable(canvas, area);
  if (!canvas.Valid() || r.Empty()) return;
  const auto bytes = static_cast<std::size_t>(r.Width()) * 3;
  platform::ForBands(r.top, r.bottom + 1, static_cast<std::int64_t>(bytes), [&](int first, int last) {
    // Copies: a byte store may alias anything reached by reference, which
    // would leave the row's length unknown to the vectoriser.
    const std::size_t row_bytes = bytes;
    auto row_change = change;
    for (int y = first; y < last; ++y) {
      std::uint8_t* p = At(canvas, r.left, y);
      for (std::size_t i = 0; i < row_bytes; ++i) p[i] = row_change(p[i]);
    }
  });
}

// Every row of the area as (first pixel, pixel count), for loops written
// over a whole row of three-byte pixels.
template <typename RowChange>
void ForEachRowInArea(Canvas& canvas, const PixelRect& area, int cost_per_pixel, RowChange&& row_change) {
  const PixelRect r = Writable(canvas, area);
  if (!canvas.Valid() || r.Empty()) return;
  const auto pixels = static_cast<std::size_t>(r.Width());
  platform::ForBands(r.top, r.bottom + 1, static_cast<std::int64_t>(pixels) * cost_per_pixel,
                     [&](int first, int last) {
                       for (int y = first; y < last; ++y) row_change(At(canvas, r.left, y), pixels);
                     });
}

// Luma of each pixel into all three of its bytes. The weighted sum is
// exact in single precision (under 2^24), and dividing it by 1000 there
// errs by under 0.00002: a sum between two multiples of 1000 lies at
// least 0.001 from each, and the 0.0005 added keeps a multiple itself off
// the edge, so the truncation is the integer division of Luma.
inline std::uint8_t GreyOfSum(float sum) {
  return static_cast<std::uint8_t>(static_cast<int>(sum * 0.001f + 0.0005f));
}

VX_PIXEL_LOOP void GreyPixels(std::uint8_t* __restrict row, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i) {
    std::uint8_t* p = row + i * 3;
    const auto grey = GreyOfSum(static_cast<float>(p[2] * 299 + p[1] * 587 + p[0] * 114 + 500));
    p[0] = grey;
    p[1] = grey;
    p[2] = grey;
  }
}

#if VX_HAVE_AVX2_LOOPS
// Eight pixels a step: four whole pixels in the first twelve bytes of each
// 128-bit half, picked apart and put together again by byte shuffles. The
// sums are the same exact integers as GreyPixels' in single precision, so
// the bytes are the same. Each half's last four bytes (the next pixels')
// go back as they were read, and the next step is read before this one is
// stored, so no read waits on the store it overlaps.
VX_AVX2 __m256i GreyOfEight(__m256i pixels) {
  const __m256i take_r = _mm256_setr_epi8(2, -1, -1, -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1, 2, -1, -1, -1,
                                          5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1);
  const __m256i take_g = _mm256_setr_epi8(1, -1, -1, -1, 4, -1, -1, -1, 7, -1, -1, -1, 10, -1, -1, -1, 1, -1, -1, -1,
                                          4, -1, -1, -1, 7, -1, -1, -1, 10, -1, -1, -1);
  const __m256i take_b = _mm256_setr_epi8(0, -1, -1, -1, 3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1, 0, -1, -1, -1,
                                          3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1);
  const __m256i spread = _mm256_setr_epi8(0, 0, 0, 4, 4, 4, 8, 8, 8, 12, 12, 12, -1, -1, -1, -1, 0, 0, 0, 4, 4, 4, 8,
                                          8, 8, 12, 12, 12, -1, -1, -1, -1);
  const __m256i keep = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0,
                                        0, 0, 0, 0, -1, -1, -1, -1);
  const __m256 r = _mm256_cvtepi32_ps(_mm256_shuffle_epi8(pixels, take_r));
  const __m256 g = _mm256_cvtepi32_ps(_mm256_shuffle_epi8(pixels, take_g));
  const __m256 b = _mm256_cvtepi32_ps(_mm256_shuffle_epi8(pixels, take_b));
  __m256 sum = _mm256_add_ps(_mm256_mul_ps(r, _mm256_set1_ps(299.0f)), _mm256_mul_ps(g, _mm256_set1_ps(587.0f)));
  sum = _mm256_add_ps(sum, _mm256_mul_ps(b, _mm256_set1_ps(114.0f)));
  sum = _mm256_add_ps(sum, _mm256_set1_ps(500.0f));
  const __m256 scaled = _mm256_add_ps(_mm256_mul_ps(sum, _mm256_set1_ps(0.001f)), _mm256_set1_ps(0.0005f));
  const __m256i grey = _mm256_cvttps_epi32(scaled);
  return _mm256_blendv_epi8(_mm256_shuffle_epi8(grey, spread), pixels, keep);
}

VX_AVX2 __m256i LoadEightPixels(const std::uint8_t* p) {
  return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 12), reinterpret_cast<const __m128i*>(p));
}

VX_AVX2 void StoreEightPixels(std::uint8_t* p, __m256i v) {
  // The lower half first: the upper one's first four bytes replace its tail.
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 12), _mm256_extracti128_si256(v, 1));
}

// A row eight pixels a step: `store_step(at, pixels)` stores the step read
// at `at`, `rest(at, count)` does the last few pixels (or a row too short
// for a step, which reads 28 bytes). Each step is read before the one
// before it is stored.
template <typename StoreStep, typename Rest>
VX_AVX2 inline void EightPixelSteps(std::uint8_t* row, std::size_t pixels, StoreStep store_step, Rest rest) {
  if (pixels < 10) return rest(row, pixels);
  std::size_t i = 0;
  __m256i step = LoadEightPixels(row);
  for (; i + 18 <= pixels; i += 8) {  // the next step's 28 bytes lie inside the row
    const __m256i next = LoadEightPixels(row + (i + 8) * 3);
    store_step(row + i * 3, step);
    step = next;
  }
  store_step(row + i * 3, step);
  i += 8;
  rest(row + i * 3, pixels - i);
}

VX_AVX2 void GreyRowAvx2(std::uint8_t* row, std::size_t pixels) {
  EightPixelSteps(
      row, pixels, [](std::uint8_t* at, __m256i step) VX_AVX2 { StoreEightPixels(at, GreyOfEight(step)); },
      GreyPixels);
}
#endif

void GreyRow(std::uint8_t* row, std::size_t pixels) {
#if VX_HAVE_AVX2_LOOPS
  if (platform::HasAvx2()) return GreyRowAvx2(row, pixels);
#endif
  GreyPixels(row, pixels);
}

// Sixteen bytes: five whole pixels and the first byte of the next.
using Bytes16 = std::uint8_t __attribute__((vector_size(16)));

Bytes16 LoadBytes16(const std::uint8_t* p) {
  Bytes16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void StoreBytes16(std::uint8_t* p, Bytes16 v) { std::memcpy(p, &v, sizeof v); }

// The five pixels with red and blue exchanged; the sixteenth byte as it was.
Bytes16 SwapRedBlueOfFive(Bytes16 v) {
#if defined(__clang__)
  return __builtin_shufflevector(v, v, 2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
#else
  return __builtin_shuffle(v, Bytes16{2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15});
#endif
}

void SwapRedBlueOfPixels(std::uint8_t* row, std::size_t first, std::size_t end) {
  for (std::size_t i = first; i < end; ++i) std::swap(row[i * 3], row[i * 3 + 2]);
}

// Five pixels a step, each a byte shuffle of sixteen bytes (one instruction
// with SSSE3 or AVX2). A step writes its sixteenth byte, the next pixel's
// blue, back unchanged; it is read for the next step before this step is
// stored, so no read waits on the store it overlaps.
VX_PIXEL_LOOP void SwapRedBlueRow(std::uint8_t* __restrict row, std::size_t pixels) {
  if (pixels < 6) return SwapRedBlueOfPixels(row, 0, pixels);
  std::size_t i = 0;
  Bytes16 step = LoadBytes16(row);
  for (; i + 11 <= pixels; i += 5) {  // the next step's sixteen bytes lie inside the row
    const Bytes16 next = LoadBytes16(row + (i + 5) * 3);
    StoreBytes16(row + i * 3, SwapRedBlueOfFive(step));
    step = next;
  }
  StoreBytes16(row + i * 3, SwapRedBlueOfFive(step));
  SwapRedBlueOfPixels(row, i + 5, pixels);
}

// Sepia of one pixel in doubles, as a per-pixel Clamp255 would give it: the
// sums are never negative, and for them truncating min(v + 0.5, 255) is
// Clamp255.
void SepiaPixel(const std::uint8_t* from, std::uint8_t* to) {
  const double b = from[0], g = from[1], r = from[2];
  const double red = 0.393 * r + 0.769 * g + 0.189 * b;
  const double green = 0.349 * r + 0.686 * g + 0.168 * b;
  const double blue = 0.272 * r + 0.534 * g + 0.131 * b;
  to[2] = static_cast<std::uint8_t>(static_cast<int>(std::min(red + 0.5, 255.0)));
  to[1] = static_cast<std::uint8_t>(static_cast<int>(std::min(green + 0.5, 255.0)));
  to[0] = static_cast<std::uint8_t>(static_cast<int>(std::min(blue + 0.5, 255.0)));
}

// The weights have three decimals, so every exact sum is a whole number of
// thousandths, and a sum plus one half that is not a whole number lies at
// least 0.001 from one. Single precision misses the exact sum by less than
// 0.0002 (six roundings under half a unit at 512, and the weights' own),
// so its rounding is the exact one whenever it lands farther than
// kSepiaEdge from a whole number; the sums that land nearer (exact halves,
// about three pixels in a thousand) are worked again in doubles, which
// decide them as ever.
constexpr float kSepiaEdge = 0.0003f;

// One component in single precision: the rounded value cut at 255, and
// whether it lies too near a whole number to trust.
inline int SepiaComponent(float sum, int& doubtful) {
  const float shifted = sum + 0.5f;
  const int whole = static_cast<int>(shifted);
  const float part = shifted - static_cast<float>(whole);
  doubtful |= static_cast<int>(part < kSepiaEdge) | static_cast<int>(part > 1.0f - kSepiaEdge);
  return std::min(whole, 255);
}

// `pixels` pixels of `from` into `to` in single precision, with each
// pixel's doubt (nonzero: work it again); nonzero when any is in doubt.
VX_PIXEL_LOOP int SepiaPixelsSingle(const std::uint8_t* __restrict from, std::uint8_t* __restrict to,
                                    std::uint8_t* __restrict doubts, std::size_t pixels) {
  int any = 0;
  for (std::size_t i = 0; i < pixels; ++i) {
    const std::uint8_t* p = from + i * 3;
    std::uint8_t* q = to + i * 3;
    const float b = p[0], g = p[1], r = p[2];
    int doubtful = 0;
    q[2] = static_cast<std::uint8_t>(SepiaComponent(0.393f * r + 0.769f * g + 0.189f * b, doubtful));
    q[1] = static_cast<std::uint8_t>(SepiaComponent(0.349f * r + 0.686f * g + 0.168f * b, doubtful));
    q[0] = static_cast<std::uint8_t>(SepiaComponent(0.272f * r + 0.534f * g + 0.131f * b, doubtful));
    doubts[i] = static_cast<std::uint8_t>(doubtful);
    any |= doubtful;
  }
  return any;
}

// The row in runs of kSepiaRun pixels: each run's bytes are kept aside, so
// that the few doubtful pixels can be worked again from what they were.
constexpr std::size_t kSepiaRun = 64;

void SepiaPixelsInRuns(std::uint8_t* row, std::size_t pixels) {
  std::uint8_t kept[kSepiaRun * 3];
  std::uint8_t doubts[kSepiaRun];
  for (std::size_t start = 0; start < pixels; start += kSepiaRun) {
    const std::size_t n = std::min(kSepiaRun, pixels - start);
    std::uint8_t* run = row + start * 3;
    std::memcpy(kept, run, n * 3);
    if (SepiaPixelsSingle(kept, run, doubts, n) == 0) continue;
    for (std::size_t i = 0; i < n; ++i) {
      if (doubts[i] != 0) SepiaPixel(kept + i * 3, run + i * 3);
    }
  }
}

#if VX_HAVE_AVX2_LOOPS
// One sepia component of eight pixels from their integer weights
// (thousandths): `rg` holds each pixel's red and green and `b1` its blue and
// a 1 as 16-bit pairs, so two multiply-adds give the exact K + 500, where K
// is the weighted sum. trunc((K + 500) / 1000 + 0.0005) taken in single
// precision is the integer quotient, as for grey. That is the doubles'
// result except where K + 500 is a multiple of 1000, an exact half, which
// the doubles decide by their own rounding: those lanes are marked in
// `doubts`.
[[gnu::always_inline]] VX_AVX2 inline __m256i SepiaComponentOfEight(__m256i rg, __m256i b1, int wr, int wg, int wb,
                                                                    __m256& doubts) {
  const __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(rg, _mm256_set1_epi32(wg << 16 | wr)),
                                       _mm256_madd_epi16(b1, _mm256_set1_epi32(500 << 16 | wb)));
  const __m256 scaled =
      _mm256_add_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(sum), _mm256_set1_ps(0.001f)), _mm256_set1_ps(0.0005f));
  const __m256i whole = _mm256_cvttps_epi32(scaled);
  const __m256 part = _mm256_sub_ps(scaled, _mm256_cvtepi32_ps(whole));
  doubts = _mm256_or_ps(doubts, _mm256_cmp_ps(part, _mm256_set1_ps(0.001f), _CMP_LT_OQ));
  return whole;
}

// Eight pixels laid out as LoadEightPixels gives them; the pixels whose
// sums are exact halves as bits of `doubts` (bit k: pixel k). The packs
// saturate the components at 255.
[[gnu::always_inline]] VX_AVX2 inline __m256i SepiaOfEight(__m256i pixels, int& doubts) {
  const __m256i take_rg = _mm256_setr_epi8(2, -1, 1, -1, 5, -1, 4, -1, 8, -1, 7, -1, 11, -1, 10, -1, 2, -1, 1, -1, 5,
                                           -1, 4, -1, 8, -1, 7, -1, 11, -1, 10, -1);
  const __m256i take_b = _mm256_setr_epi8(0, -1, -1, -1, 3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1, 0, -1, -1, -1,
                                          3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1);
  // Each half packed as red 0-3, green 0-3, blue 0-3 (twice): back to pixels.
  const __m256i to_pixels = _mm256_setr_epi8(8, 4, 0, 9, 5, 1, 10, 6, 2, 11, 7, 3, -1, -1, -1, -1, 8, 4, 0, 9, 5, 1, 10,
                                             6, 2, 11, 7, 3, -1, -1, -1, -1);
  const __m256i keep = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0,
                                        0, 0, 0, 0, -1, -1, -1, -1);
  const __m256i rg = _mm256_shuffle_epi8(pixels, take_rg);
  const __m256i b1 = _mm256_or_si256(_mm256_shuffle_epi8(pixels, take_b), _mm256_set1_epi32(1 << 16));
  __m256 doubtful = _mm256_setzero_ps();
  const __m256i red = SepiaComponentOfEight(rg, b1, 393, 769, 189, doubtful);
  const __m256i green = SepiaComponentOfEight(rg, b1, 349, 686, 168, doubtful);
  const __m256i blue = SepiaComponentOfEight(rg, b1, 272, 534, 131, doubtful);
  doubts = _mm256_movemask_ps(doubtful);
  const __m256i packed = _mm256_packus_epi16(_mm256_packus_epi32(red, green), _mm256_packus_epi32(blue, blue));
  return _mm256_blendv_epi8(_mm256_shuffle_epi8(packed, to_pixels), pixels, keep);
}

// Works the exact halves of eight pixels (bits of `doubts`) again in
// doubles from the bytes they were: about one step in forty, kept out of the
// step loop.
[[gnu::noinline]] VX_AVX2 void RedoSepiaHalves(std::uint8_t* p, __m256i pixels, int doubts) {
  alignas(32) std::uint8_t kept[32];
  _mm256_store_si256(reinterpret_cast<__m256i*>(kept), pixels);
  for (int k = 0; k < 8; ++k) {
    if ((doubts >> k & 1) != 0) SepiaPixel(kept + (k < 4 ? 3 * k : 16 + 3 * (k - 4)), p + 3 * k);
  }
}

VX_AVX2 void SepiaRowAvx2(std::uint8_t* row, std::size_t pixels) {
  EightPixelSteps(
      row, pixels,
      [](std::uint8_t* at, __m256i step) VX_AVX2 {
        int doubts = 0;
        StoreEightPixels(at, SepiaOfEight(step, doubts));
        if (doubts != 0) [[unlikely]] RedoSepiaHalves(at, step, doubts);
      },
      SepiaPixelsInRuns);
}

// Sixteen pixels a step with AVX-512, each component in half-thousandths:
// the dot products give the float whose bits are 2^23 + 2K + 1 (K the
// weighted sum, exact), and one multiply-add turns it into
// t = (2K + 1) / 2000 = K / 1000 + 0.0005 within 5e-5. The exact t lies
// 0.0005 or more from a whole number and a half, so rounding t to nearest
// gives the quotient (K + 500) / 1000 that the doubles give, except where
// K + 500 is a multiple of 1000: there t's part past its nearest whole
// number is -0.4995, against -0.4985 or more for every other sum, and those
// pixels are worked again in doubles.
struct SepiaSixteenConstants {
  __m512i red_green_weights[3];  // per component, doubled: red | green << 16
  __m512i blue_weights[3];       // doubled blue, its pair's other half 0
  __mmask64 red_green_bytes;     // the byte lanes the red | green permute fills
  __mmask64 blue_bytes;
  __mmask64 next_pixels;         // a step's last 16 bytes, stored as read
};

// Unmasked operations through their masked forms with every lane set: the
// plain forms start from an undefined register, which GCC 12 takes for an
// uninitialised variable.
[[gnu::always_inline]] VX_AVX512 inline __m512 Min(__m512 a, __m512 b) {
  return _mm512_mask_min_ps(a, static_cast<__mmask16>(~0u), a, b);
}
[[gnu::always_inline]] VX_AVX512 inline __m512i RoundToInt32(__m512 v) {
  return _mm512_maskz_cvtps_epi32(static_cast<__mmask16>(~0u), v);
}
[[gnu::always_inline]] VX_AVX512 inline __m512i Permute(__m512i index, __m512i v) {
  return _mm512_maskz_permutexvar_epi8(~0ull, index, v);
}

[[gnu::always_inline]] VX_AVX512 inline __m512 SepiaHalfThousandths(__m512i red_green, __m512i blue, __m512i rg_weights,
                                                                    __m512i b_weights) {
  const __m512i float_bits = _mm512_dpwssd_epi32(
      _mm512_dpwssd_epi32(_mm512_set1_epi32(0x4B000001), red_green, rg_weights), blue, b_weights);
  return _mm512_fmadd_ps(_mm512_castsi512_ps(float_bits), _mm512_set1_ps(0.0005f),
                         _mm512_set1_ps(-8388608.0f * 0.0005f));
}

// The sixteen pixels in the first 48 of the 64 bytes `pixels`, followed by
// the last 16 bytes as they were; the pixels with an exact half as bits of
// `halves`.
[[gnu::always_inline]] VX_AVX512 inline __m512i SepiaOfSixteen(__m512i pixels, const SepiaSixteenConstants& k,
                                                              __mmask16& halves) {
  // Pixel j's red and green as the 16-bit halves of lane j; its blue alone.
  const __m512i take_red_green = _mm512_set_epi8(
      0, 46, 0, 47, 0, 43, 0, 44, 0, 40, 0, 41, 0, 37, 0, 38, 0, 34, 0, 35, 0, 31, 0, 32, 0, 28, 0, 29, 0, 25, 0, 26,
      0, 22, 0, 23, 0, 19, 0, 20, 0, 16, 0, 17, 0, 13, 0, 14, 0, 10, 0, 11, 0, 7, 0, 8, 0, 4, 0, 5, 0, 1, 0, 2);
  const __m512i take_blue = _mm512_set_epi8(
      0, 0, 0, 45, 0, 0, 0, 42, 0, 0, 0, 39, 0, 0, 0, 36, 0, 0, 0, 33, 0, 0, 0, 30, 0, 0, 0, 27, 0, 0, 0, 24,
      0, 0, 0, 21, 0, 0, 0, 18, 0, 0, 0, 15, 0, 0, 0, 12, 0, 0, 0, 9, 0, 0, 0, 6, 0, 0, 0, 3, 0, 0, 0, 0);
  // The packs leave each 128-bit lane as red 0-3, green 0-3, blue 0-3 twice.
  const __m512i to_pixels = _mm512_set_epi8(
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 51, 55, 59, 50, 54, 58, 49, 53, 57, 48, 52, 56,
      35, 39, 43, 34, 38, 42, 33, 37, 41, 32, 36, 40, 19, 23, 27, 18, 22, 26, 17, 21, 25, 16, 20, 24,
      3, 7, 11, 2, 6, 10, 1, 5, 9, 0, 4, 8);
  const __m512i red_green = _mm512_maskz_permutexvar_epi8(k.red_green_bytes, take_red_green, pixels);
  const __m512i blue = _mm512_maskz_permutexvar_epi8(k.blue_bytes, take_blue, pixels);
  const __m512 r = SepiaHalfThousandths(red_green, blue, k.red_green_weights[0], k.blue_weights[0]);
  const __m512 g = SepiaHalfThousandths(red_green, blue, k.red_green_weights[1], k.blue_weights[1]);
  const __m512 b = SepiaHalfThousandths(red_green, blue, k.red_green_weights[2], k.blue_weights[2]);
  constexpr int kNearest = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;
  const __m512 lowest_part =
      Min(Min(_mm512_reduce_ps(r, kNearest), _mm512_reduce_ps(g, kNearest)), _mm512_reduce_ps(b, kNearest));
  halves = _mm512_cmp_ps_mask(lowest_part, _mm512_set1_ps(-0.499f), _CMP_LT_OQ);
  // The packs saturate the components at 255.
  const __m512i blue_whole = RoundToInt32(b);
  const __m512i packed = _mm512_packus_epi16(_mm512_packus_epi32(RoundToInt32(r), RoundToInt32(g)),
                                             _mm512_packus_epi32(blue_whole, blue_whole));
  return _mm512_mask_blend_epi8(k.next_pixels, Permute(to_pixels, packed), pixels);
}

[[gnu::noinline]] VX_AVX512 void RedoSepiaHalvesOfSixteen(std::uint8_t* p, __m512i pixels, unsigned halves) {
  alignas(64) std::uint8_t kept[64];
  _mm512_store_si512(kept, pixels);
  for (int k = 0; k < 16; ++k) {
    if ((halves >> k & 1) != 0) SepiaPixel(kept + 3 * k, p + 3 * k);
  }
}

// Each step reads 64 bytes and is read before the one before it is stored;
// the last pixels go to the eight-pixel loop.
VX_AVX512 void SepiaRowAvx512(std::uint8_t* row, std::size_t pixels) {
  constexpr std::size_t kStepReach = 22;  // pixels whose bytes a step's read reaches into
  if (pixels < kStepReach) return SepiaRowAvx2(row, pixels);
  SepiaSixteenConstants k{
      {_mm512_set1_epi32(1538 << 16 | 786), _mm512_set1_epi32(1372 << 16 | 698), _mm512_set1_epi32(1068 << 16 | 544)},
      {_mm512_set1_epi32(378), _mm512_set1_epi32(336), _mm512_set1_epi32(262)},
      0x5555555555555555ull,
      0x1111111111111111ull,
      0xFFFF000000000000ull};
  // Kept in registers: the compiler would otherwise build the constants
  // again in every step, which costs more than the step's own work.
  __asm__("" : "+v"(k.red_green_weights[0]), "+v"(k.red_green_weights[1]), "+v"(k.red_green_weights[2]),
          "+v"(k.blue_weights[0]), "+v"(k.blue_weights[1]), "+v"(k.blue_weights[2]), "+k"(k.red_green_bytes),
          "+k"(k.blue_bytes), "+k"(k.next_pixels));
  std::size_t i = 0;
  __m512i step = _mm512_loadu_si512(row);
  auto store_step = [&](std::uint8_t* at, __m512i read) VX_AVX512 {
    __mmask16 halves;
    _mm512_storeu_si512(at, SepiaOfSixteen(read, k, halves));
    if (halves != 0) [[unlikely]] RedoSepiaHalvesOfSixteen(at, read, halves);
  };
  for (; i + 16 + kStepReach <= pixels; i += 16) {
    const __m512i next = _mm512_loadu_si512(row + (i + 16) * 3);
    store_step(row + i * 3, step);
    step = next;
  }
  store_step(row + i * 3, step);
  i += 16;
  SepiaRowAvx2(row + i * 3, pixels - i);
}
#endif

void SepiaRow(std::uint8_t* row, std::size_t pixels) {
#if VX_HAVE_AVX2_LOOPS
  if (platform::HasAvx512()) return SepiaRowAvx512(row, pixels);
  if (platform::HasAvx2()) return SepiaRowAvx2(row, pixels);
#endif
  SepiaPixelsInRuns(row, pixels);
}

// Rows [top, bottom] of the canvas, spread over the thread pool.
template <typename Row>
void ForEachRow(int top, int bottom, std::int64_t cost_per_row, Row&& row) {
  platform::ForBands(top, bottom + 1, cost_per_row, [&](int first, int last) {
    for (int y = first; y < last; ++y) row(y);
  });
}

// Each byte b as 255 - b, 32 bytes an instruction where AVX2 runs.
VX_PIXEL_LOOP void NegativeRow(std::uint8_t* __restrict row, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels * 3; ++i) row[i] = static_cast<std::uint8_t>(255 - row[i]);
}

// The 3 x 3 median of each component. With each column of three sorted
// (low, middle, high), the median of the nine is the median of three: the
// largest of the lows, the median of the middles and the smallest of the
// highs. Sorting each column once for the three windows that share it
// leaves 9 exchanges a byte, in loops the compiler runs over whole rows.
// Written so that GCC sees a plain minimum and maximum: with std::min and
// std::max of the same pair it shares one comparison and blends bytes.
inline void SortPair(std::uint8_t& a, std::uint8_t& b) {
  const std::uint8_t x = a;
  const std::uint8_t y = b;
  a = x < y ? x : y;
  b = y > x ? y : x;
}

inline std::uint8_t MiddleOfThree(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  const std::uint8_t low = a < b ? a : b;
  const std::uint8_t high = b > a ? b : a;
  const std::uint8_t bounded = high < c ? high : c;
  return low > bounded ? low : bounded;
}

// Sorts the columns of three bytes of the rows above, at and below an
// output row (`bytes` each) into `sorted`: lows, middles and highs, each
// `bytes` + 6 long with the column of each end pixel repeated beyond it
// (the window is cut to the area).
VX_PIXEL_LOOP void SortColumns(const std::uint8_t* __restrict up, const std::uint8_t* __restrict mid,
                               const std::uint8_t* __restrict down, std::uint8_t* __restrict sorted,
                               std::size_t bytes) {
  const std::size_t padded = bytes + 6;
  std::uint8_t* __restrict low = sorted + 3;
  std::uint8_t* __restrict middle = sorted + padded + 3;
  std::uint8_t* __restrict high = sorted + 2 * padded + 3;
  for (std::size_t j = 0; j < bytes; ++j) {
    std::uint8_t a = up[j], b = mid[j], c = down[j];
    SortPair(a, b);
    SortPair(b, c);
    SortPair(a, b);
    low[j] = a;
    middle[j] = b;
    high[j] = c;
  }
  for (std::uint8_t* part : {low, middle, high}) {
    std::memcpy(part - 3, part, 3);
    std::memcpy(part + bytes, part + bytes - 3, 3);
  }
}

VX_PIXEL_LOOP void MedianOfColumns(const std::uint8_t* __restrict sorted, std::uint8_t* __restrict out,
                                   std::size_t bytes) {
  const std::size_t padded = bytes + 6;
  const std::uint8_t* __restrict low = sorted;
  const std::uint8_t* __restrict middle = sorted + padded;
  const std::uint8_t* __restrict high = sorted + 2 * padded;
  for (std::size_t i = 0; i < bytes; ++i) {
    const std::uint8_t lows = std::max(std::max(low[i], low[i + 3]), low[i + 6]);
    const std::uint8_t middles = MiddleOfThree(middle[i], middle[i + 3], middle[i + 6]);
    const std::uint8_t highs = std::min(std::min(high[i], high[i + 3]), high[i + 6]);
    out[i] = MiddleOfThree(lows, middles, highs);
  }
}

// The median over bands of rows, which may run on different threads, in
// place; the row beyond each end of a band, which the neighbouring band
// may already have changed, is copied before any band starts.
class AreaMedian {
 public:
  AreaMedian(Canvas& canvas, const PixelRect& area)
      : canvas_(canvas), area_(area), width_(area.Width()), height_(area.Height()),
        bytes_(static_cast<std::size_t>(width_) * 3), bands_((height_ + kBandRows - 1) / kBandRows) {
    for (int band = 1; band < bands_; ++band) {
      for (int j : {band * kBandRows - 1, band * kBandRows}) {
        edges_.insert(edges_.end(), Row(j), Row(j) + bytes_);
      }
    }
  }

  void Run() {
    platform::ForBands(0, bands_, std::int64_t{kBandRows} * static_cast<std::int64_t>(bytes_) * 12,
                       [&](int first, int last) {
                         for (int band = first; band < last; ++band) Band(band);
                       });
  }

 private:
  static constexpr int kBandRows = 128;

  std::uint8_t* Row(int j) const { return PixelAt(canvas_.Bank(), area_.left, area_.top + j); }

  // Row j as it was, for the band [first, last), which reads its own rows
  // before it writes them.
  const std::uint8_t* Original(int j, int first, int last) const {
    if (j >= first && j < last) return Row(j);
    // Band b's edge copies: row b x kBandRows - 1, then the row after it.
    const int band = j < first ? first / kBandRows : last / kBandRows;
    const std::size_t slot = 2 * static_cast<std::size_t>(band - 1) + (j < first ? 0 : 1);
    return &edges_[slot * bytes_];
  }

  // Output row y is written once the columns of row y + 1 are sorted, the
  // last reading of row y's original bytes: two sets of sorted columns,
  // and no copies of rows.
  void Band(int band) {
    const int first = band * kBandRows;
    const int last = std::min(first + kBandRows, height_);
    const std::size_t set_bytes = 3 * (bytes_ + 6);
    std::vector<std::uint8_t> sets(2 * set_bytes);
    auto set = [&](int y) { return &sets[static_cast<std::size_t>(y % 2) * set_bytes]; };
    auto row = [&](int j) { return Original(std::clamp(j, 0, height_ - 1), first, last); };
    for (int y = first; y <= last; ++y) {
      if (y < last) SortColumns(row(y - 1), row(y), row(y + 1), set(y), bytes_);
      if (y > first) MedianOfColumns(set(y - 1), Row(y - 1), bytes_);
    }
  }

  Canvas& canvas_;
  PixelRect area_;
  int width_;
  int height_;
  std::size_t bytes_;
  int bands_;
  std::vector<std::uint8_t> edges_;  // per band edge, the rows either side of it
};

void Median(Canvas& canvas, const PixelRect& area) {
  const PixelRect r = Writable(canvas, area);
  if (!canvas.Valid() || r.Empty()) return;
  AreaMedian(canvas, r).Run();
}

void Morphology(Canvas& canvas, const PixelRect& area, bool lighten, int repeat) {
  for (int i = 0; i < repeat; ++i) {
    const AreaCopy copy = CopyArea(canvas, area);
    ForEachInArea(canvas, copy.rect, [&](std::uint8_t* p, int x, int y) {
      for (int k = 0; k < 3; ++k) {
        std::uint8_t best = Clamped(copy, x, y)[k];
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const std::uint8_t v = Clamped(copy, x + dx, y + dy)[k];
            best = lighten ? std::max(best, v) : std::min(best, v);
          }
        }
        p[k] = best;
      }
    }, 60);
  }
}

void Sharpen(Canvas& canvas, const AreaCopy& copy, int percent) {
  ForEachInArea(canvas, copy.rect, [&](std::uint8_t* p, int x, int y) {
    for (int k = 0; k < 3; ++k) {
      int sum = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) sum += Clamped(copy, x + dx, y + dy)[k];
      }
      const double centre = Clamped(copy, x, y)[k];
      p[k] = Clamp255(centre + (centre - sum / 9.0) * percent / 100.0);
    }
  }, 60);
}

int LumaAt(const AreaCopy& copy, int x, int y) {
  const std::uint8_t* p = Clamped(copy, x, y);
  return Luma(Color{p[0], p[1], p[2]});
}

void Edges(Canvas& canvas, const AreaCopy& copy) {
  ForEachInArea(canvas, copy.rect, [&](std::uint8_t* p, int x, int y) {
    const int gx = (LumaAt(copy, x + 1, y - 1) + 2 * LumaAt(copy, x + 1, y) + LumaAt(copy, x + 1, y + 1)) -
                   (LumaAt(copy, x - 1, y - 1) + 2 * LumaAt(copy, x - 1, y) + LumaAt(copy, x - 1, y + 1));
    const int gy = (LumaAt(copy, x - 1, y + 1) + 2 * LumaAt(copy, x, y + 1) + LumaAt(copy, x + 1, y + 1)) -
                   (LumaAt(copy, x - 1, y - 1) + 2 * LumaAt(copy, x, y - 1) + LumaAt(copy, x + 1, y - 1));
    const std::uint8_t v = Clamp255(std::sqrt(static_cast<double>(gx) * gx + static_cast<double>(gy) * gy) / 4.0);
    p[0] = p[1] = p[2] = v;
  }, 60);
}

void Emboss(Canvas& canvas, const AreaCopy& copy) {
  ForEachInArea(canvas, copy.rect, [&](std::uint8_t* p, int x, int y) {
    const std::uint8_t v = Clamp255(128 + LumaAt(copy, x + 1, y + 1) - LumaAt(copy, x - 1, y - 1));
    p[0] = p[1] = p[2] = v;
  });
}

void Mosaic(Canvas& canvas, const PixelRect& area, int block) {
  const PixelRect r = Writable(canvas, area);
  if (!canvas.Valid() || r.Empty()) return;
  const int block_rows = static_cast<int>((std::int64_t{r.Height()} + block - 1) / block);
  platform::ForBands(0, block_rows, std::int64_t{r.Width()} * block * 6, [&](int first, int last) {
  for (int band = first; band < last; ++band) {
    const int top = static_cast<int>(r.top + std::int64_t{band} * block);
    for (int left = r.left; left <= r.right; left += block) {
      const PixelRect cell = Intersect(PixelRect{left, top, left + block - 1, top + block - 1}, r);
      std::array<std::int64_t, 3> sum{};
      for (int y = cell.top; y <= cell.bottom; ++y) {
        const std::uint8_t* p = At(canvas, cell.left, y);
        for (int x = cell.left; x <= cell.right; ++x, p += 3) {
          for (int k = 0; k < 3; ++k) sum[static_cast<std::size_t>(k)] += p[k];
        }
      }
      const std::int64_t n = static_cast<std::int64_t>(cell.Width()) * cell.Height();
      std::array<std::uint8_t, 3> mean{};
      for (int k = 0; k < 3; ++k) {
        mean[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>((sum[static_cast<std::size_t>(k)] + n / 2) / n);
      }
      for (int y = cell.top; y <= cell.bottom; ++y) {
        std::uint8_t* p = At(canvas, cell.left, y);
        for (int x = cell.left; x <= cell.right; ++x, p += 3) std::memcpy(p, mean.data(), 3);
      }
    }
  }
  });
}

// top + (bottom - top) * weight for each byte of a row, rounded as
// Clamp255 rounds: the values lie between two bytes (the rounded products
// never overshoot), so v + 0.5 is positive, and truncating min(v + 0.5, 255)
// is Clamp255's result.
inline void BlendRowsFrom(const double* __restrict top, const double* __restrict bottom, double weight,
                          std::uint8_t* __restrict out, std::size_t from, std::size_t bytes) {
  for (std::size_t i = from; i < bytes; ++i) {
    const double v = top[i] + (bottom[i] - top[i]) * weight;
    out[i] = static_cast<std::uint8_t>(static_cast<int>(std::min(v + 0.5, 255.0)));
  }
}

#if VX_HAVE_AVX2_LOOPS
// Sixteen bytes a step. Below 256 the packs' saturation never acts, so
// they give the truncations themselves, as the minimum above does.
[[gnu::always_inline]] VX_AVX2 inline __m128i BlendFourRows(const double* top, const double* bottom, __m256d weight) {
  const __m256d t = _mm256_loadu_pd(top);
  const __m256d v = _mm256_add_pd(t, _mm256_mul_pd(_mm256_sub_pd(_mm256_loadu_pd(bottom), t), weight));
  return _mm256_cvttpd_epi32(_mm256_add_pd(v, _mm256_set1_pd(0.5)));
}

VX_AVX2 void BlendRowsAvx2(const double* __restrict top, const double* __restrict bottom, double weight,
                           std::uint8_t* __restrict out, std::size_t bytes) {
  const __m256d w = _mm256_set1_pd(weight);
  std::size_t i = 0;
  for (; i + 16 <= bytes; i += 16) {
    const auto four = [&](std::size_t at) VX_AVX2 { return BlendFourRows(top + at, bottom + at, w); };
    const __m128i low = _mm_packus_epi32(four(i), four(i + 4));
    const __m128i high = _mm_packus_epi32(four(i + 8), four(i + 12));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
  }
  BlendRowsFrom(top, bottom, weight, out, i, bytes);
}
#endif

void BlendRows(const double* __restrict top, const double* __restrict bottom, double weight,
               std::uint8_t* __restrict out, std::size_t bytes) {
#if VX_HAVE_AVX2_LOOPS
  if (platform::HasAvx2()) return BlendRowsAvx2(top, bottom, weight, out, bytes);
#endif
  BlendRowsFrom(top, bottom, weight, out, 0, bytes);
}

// A bilinear tap: two source pixels (or rows) and the weight of the second.
struct Tap {
  std::size_t first;   // byte offset of the left (or top) pixel
  std::size_t second;  // of the right (or bottom) one
  double weight;       // of the second
};

// One source pixel's three bytes blended toward another's by `weight`,
// p0 + (p1 - p0) x weight in doubles, into out[0..2].
inline void BlendTap(const std::uint8_t* src, const Tap& c, double* out) {
  const std::uint8_t* p0 = src + c.first;
  const std::uint8_t* p1 = src + c.second;
  for (int k = 0; k < 3; ++k) out[k] = p0[k] + (p1[k] - p0[k]) * c.weight;
}

#if VX_HAVE_AVX2_LOOPS
// BlendTap's three components in one vector of four doubles, the same
// operations in the same order, so the same values; it writes a fourth
// value, which the next tap overwrites. Each byte b is taken as the double
// 2^52 + b by its bits: the difference of two such is the bytes' exact
// difference, which saves both conversions.
[[gnu::always_inline]] VX_AVX2 inline void BlendTapAvx2(const std::uint8_t* src, const Tap& c, double* out) {
  const __m256i magic = _mm256_set1_epi64x(0x4330000000000000);
  std::int32_t first, second;
  std::memcpy(&first, src + c.first, sizeof first);
  std::memcpy(&second, src + c.second, sizeof second);
  const __m256d m0 = _mm256_castsi256_pd(_mm256_or_si256(_mm256_cvtepu8_epi64(_mm_cvtsi32_si128(first)), magic));
  const __m256d m1 = _mm256_castsi256_pd(_mm256_or_si256(_mm256_cvtepu8_epi64(_mm_cvtsi32_si128(second)), magic));
  const __m256d p0 = _mm256_sub_pd(m0, _mm256_castsi256_pd(magic));
  _mm256_storeu_pd(out, _mm256_add_pd(p0, _mm256_mul_pd(_mm256_sub_pd(m1, m0), _mm256_set1_pd(c.weight))));
}

// Taps [0, whole) read four bytes from each pixel without passing the row's
// end (the last pixel's fourth byte would); the rest are worked component
// by component.
VX_AVX2 void BlendColumnsAvx2(const std::uint8_t* src, std::span<const Tap> columns, std::size_t whole,
                              double* out) {
  std::size_t i = 0;
  for (; i + 2 <= whole; i += 2, out += 6) {
    BlendTapAvx2(src, columns[i], out);
    BlendTapAvx2(src, columns[i + 1], out + 3);
  }
  for (; i < columns.size(); ++i, out += 3) {
    if (i < whole) {
      BlendTapAvx2(src, columns[i], out);
    } else {
      BlendTap(src, columns[i], out);
    }
  }
}
#endif

// `whole`: the taps before it read no pixel whose four bytes pass the row.
void BlendColumns(const std::uint8_t* src, std::span<const Tap> columns, std::size_t whole, double* out) {
#if VX_HAVE_AVX2_LOOPS
  if (platform::HasAvx2()) return BlendColumnsAvx2(src, columns, whole, out);
#else
  (void)whole;
#endif
  for (const Tap& c : columns) {
    BlendTap(src, c, out);
    out += 3;
  }
}

// DrawResampled's bilinear sampling: the same sums as SampleBilinear, in
// the same order, so the same bytes. Each column's two source pixels and
// weight are worked out once, and each source row is blended across once
// for all the target rows that use it (a band keeps the last two).
void DrawBilinear(Canvas& canvas, const Image& source, const PixelRect& target, const PixelRect& r, double sx,
                  double sy) {
  const auto tap = [](double at, int size, std::size_t unit) {
    const double c = std::clamp(at, 0.0, size - 1.0);
    const int i0 = static_cast<int>(c);
    const int i1 = std::min(i0 + 1, size - 1);
    return Tap{static_cast<std::size_t>(i0) * unit, static_cast<std::size_t>(i1) * unit, c - i0};
  };
  std::vector<Tap> columns(static_cast<std::size_t>(r.Width()));
  for (int u = r.left; u <= r.right; ++u) {
    columns[static_cast<std::size_t>(u - r.left)] = tap((u - target.left + 0.5) * sx - 0.5, source.width, 3);
  }
  const std::size_t row_bytes = columns.size() * 3;
  const std::size_t source_row_bytes = static_cast<std::size_t>(source.width) * 3;
  std::size_t whole_taps = 0;
  while (whole_taps < columns.size() &&
         std::max(columns[whole_taps].first, columns[whole_taps].second) + 4 <= source_row_bytes) {
    ++whole_taps;
  }
  platform::ForBands(r.top, r.bottom + 1, std::int64_t{r.Width()} * 20, [&](int first, int last) {
    struct BlendedRow {
      int source_row = -1;
      std::vector<double> values;
    };
    std::array<BlendedRow, 2> cache;
    // The source row blended across the columns; `keep` is a row that must
    // stay in the cache.
    const auto blended = [&](int source_row, int keep) -> const double* {
      for (BlendedRow& b : cache) {
        if (b.source_row == source_row) return b.values.data();
      }
      BlendedRow& b = cache[0].source_row == keep ? cache[1] : cache[0];
      b.source_row = source_row;
      b.values.resize(row_bytes + 1);  // the vector loop writes one value past the last column
      BlendColumns(source.Row(source_row), columns, whole_taps, b.values.data());
      return b.values.data();
    };
    for (int v = first; v < last; ++v) {
      const Tap row = tap((v - target.top + 0.5) * sy - 0.5, source.height, 1);
      const int upper = static_cast<int>(row.first);
      const int lower = static_cast<int>(row.second);
      const double* top = blended(upper, lower);
      const double* bottom = blended(lower, upper);
      BlendRows(top, bottom, row.weight, At(canvas, r.left, v), row_bytes);
    }
  });
}

}  // namespace

Image CopyFromBank(const std::uint8_t* bank, const PixelRect& area) {
  const PixelRect r = Intersect(area, kBankRect);
  if (bank == nullptr || r.Empty()) return Image();
  Image image(r.Width(), r.Height());
  for (int y = r.top; y <= r.bottom; ++y) {
    std::memcpy(image.Row(y - r.top), PixelAt(bank, r.left, y), static_cast<std::size_t>(r.Width()) * 3);
  }
  return image;
}

PixelRect DrawImage(Canvas& canvas, const Image& image, Point to, const Color* transparent) {
  if (transparent == nullptr) {
    ForEachCovered(canvas, image, to, [](std::uint8_t* dst, const std::uint8_t* src, int, int) {
      std::memcpy(dst, src, 3);
    });
  } else {
    ForEachCovered(canvas, image, to, [transparent](std::uint8_t* dst, const std::uint8_t* src, int, int) {
      if (!IsColour(src, transparent)) std::memcpy(dst, src, 3);
    });
  }
  return Placed(image, to);
}

void TileImage(Canvas& canvas, const Image& image, const PixelRect& target, Point origin) {
  const PixelRect r = Writable(canvas, target);
  if (!canvas.Valid() || r.Empty() || image.Empty()) return;
  for (int y = r.top; y <= r.bottom; ++y) {
    const int iy = static_cast<int>(((static_cast<std::int64_t>(y) - origin.y) % image.height + image.height) % image.height);
    int ix = static_cast<int>(((static_cast<std::int64_t>(r.left) - origin.x) % image.width + image.width) % image.width);
    std::uint8_t* dst = At(canvas, r.left, y);
    int x = r.left;
    while (x <= r.right) {
      const int run = std::min(image.width - ix, r.right - x + 1);
      std::memcpy(dst, image.Row(iy) + ix * 3, static_cast<std::size_t>(run) * 3);
      dst += run * 3;
      x += run;
      ix = 0;
    }
  }
}

void CopyPlanes(Canvas& canvas, const Image& source, Point to, unsigned planes) {
  // Planes are named red, green, blue; the bytes are blue, green, red.
  const bool take[3] = {(planes & 4u) != 0, (planes & 2u) != 0, (planes & 1u) != 0};
  ForEachCovered(canvas, source, to, [&](std::uint8_t* dst, const std::uint8_t* src, int, int) {
    for (int k = 0; k < 3; ++k) {
      if (take[k]) dst[k] = src[k];
    }
  });
}

void Multiply(Canvas& canvas, const Image& source, Point to) {
  ForEachCovered(canvas, source, to, [](std::uint8_t* dst, const std::uint8_t* src, int, int) {
    for (int k = 0; k < 3; ++k) dst[k] = static_cast<std::uint8_t>((dst[k] * src[k] + 127) / 255);
  });
}

void MaskedCopy(Canvas& canvas, const Image& source, const Image& mask, Point to) {
  ForEachCovered(canvas, source, to, [&](std::uint8_t* dst, const std::uint8_t* src, int i, int j) {
    if (i >= mask.width || j >= mask.height) return;
    const std::uint8_t* m = mask.Row(j) + i * 3;
    for (int k = 0; k < 3; ++k) dst[k] = static_cast<std::uint8_t>((src[k] * (255 - m[k]) + dst[k] * m[k] + 127) / 255);
  });
}

namespace {

#if VX_HAVE_AVX2_LOOPS
// SampleInside with the three components as one vector of four doubles:
// the same operations in the same order, so the same bytes. A sample whose
// right-hand pixel is its row's last (a fourth byte would lie past the row)
// is left to SampleInside.
VX_AVX2 void SampleInsideAvx2(const Image& image, double sx, double sy, std::uint8_t* out) {
  const double cx = std::clamp(sx, 0.0, image.width - 1.0);
  const double cy = std::clamp(sy, 0.0, image.height - 1.0);
  const int x0 = static_cast<int>(cx);
  if (x0 + 2 >= image.width) return SampleInside(image, sx, sy, out);
  const int y0 = static_cast<int>(cy);
  const int y1 = std::min(y0 + 1, image.height - 1);
  const __m256d fx = _mm256_set1_pd(cx - x0);
  const __m256d fy = _mm256_set1_pd(cy - y0);
  const std::uint8_t* upper = image.Row(y0) + x0 * 3;
  const std::uint8_t* lower = image.Row(y1) + x0 * 3;
  const __m256d p00 = platform::FourBytesAsDoubles(upper);
  const __m256d p10 = platform::FourBytesAsDoubles(upper + 3);
  const __m256d p01 = platform::FourBytesAsDoubles(lower);
  const __m256d p11 = platform::FourBytesAsDoubles(lower + 3);
  const __m256d top = _mm256_add_pd(p00, _mm256_mul_pd(_mm256_sub_pd(p10, p00), fx));
  const __m256d bottom = _mm256_add_pd(p01, _mm256_mul_pd(_mm256_sub_pd(p11, p01), fx));
  const __m256d value =
      _mm256_add_pd(_mm256_add_pd(top, _mm256_mul_pd(_mm256_sub_pd(bottom, top), fy)), _mm256_set1_pd(0.5));
  const __m128i whole = _mm256_cvttpd_epi32(value);
  const __m128i bytes = _mm_shuffle_epi8(whole, _mm_setr_epi8(0, 4, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1));
  const std::int32_t packed = _mm_cvtsi128_si32(bytes);
  std::memcpy(out, &packed, 3);
}
#endif

// Target pixels [left, right] of row v turned from the source, bilinear,
// with the row's share of the mapping worked out once; `sample` takes each
// pixel inside the picture.
template <typename Sample>
[[gnu::always_inline]] inline void RotateRow(const Rotation& rot, const Image& source, int v, int left, int right,
                                             std::uint8_t* dst, Sample sample) {
  const double dy = v - rot.target_cy;
  const double dy_sine = dy * rot.sine;
  const double dy_cosine = dy * rot.cosine;
  const double x_end = source.width - 0.5;
  const double y_end = source.height - 0.5;
  for (int u = left; u <= right; ++u, dst += 3) {
    const double dx = u - rot.target_cx;
    const double sx = dx * rot.cosine - dy_sine + rot.source_cx;
    const double sy = dx * rot.sine + dy_cosine + rot.source_cy;
    if (sx < -0.5 || sy < -0.5 || sx > x_end || sy > y_end) continue;
    sample(source, sx, sy, dst);
  }
}

#if VX_HAVE_AVX2_LOOPS
// Component `k` of four bilinear samples, + 0.5, as SampleInside works it
// per pixel. `upper` and `lower` hold, per 128-bit half, the eight bytes
// from each of two pixels' top-left and bottom-left corners (the corner and
// the pixel right of it). Each byte b is taken as the double 2^52 + b by its
// bits; differences of such values are the bytes' exact differences.
template <int k>
[[gnu::always_inline]] VX_AVX2 inline __m128i BlendComponent(__m256i upper, __m256i lower, __m256d fx, __m256d fy) {
  const __m256i magic = _mm256_set1_epi64x(0x4330000000000000);
  const __m256i left = _mm256_setr_epi8(k, -1, -1, -1, -1, -1, -1, -1, 8 + k, -1, -1, -1, -1, -1, -1, -1,
                                        k, -1, -1, -1, -1, -1, -1, -1, 8 + k, -1, -1, -1, -1, -1, -1, -1);
  const __m256i right = _mm256_setr_epi8(3 + k, -1, -1, -1, -1, -1, -1, -1, 11 + k, -1, -1, -1, -1, -1, -1, -1,
                                         3 + k, -1, -1, -1, -1, -1, -1, -1, 11 + k, -1, -1, -1, -1, -1, -1, -1);
  const auto as_double = [&](__m256i rows, __m256i pick) VX_AVX2 {
    return _mm256_castsi256_pd(_mm256_or_si256(_mm256_shuffle_epi8(rows, pick), magic));
  };
  const __m256d m00 = as_double(upper, left), m10 = as_double(upper, right);
  const __m256d m01 = as_double(lower, left), m11 = as_double(lower, right);
  const __m256d two52 = _mm256_castsi256_pd(magic);
  const __m256d top = _mm256_add_pd(_mm256_sub_pd(m00, two52), _mm256_mul_pd(_mm256_sub_pd(m10, m00), fx));
  const __m256d bottom = _mm256_add_pd(_mm256_sub_pd(m01, two52), _mm256_mul_pd(_mm256_sub_pd(m11, m01), fx));
  const __m256d value =
      _mm256_add_pd(_mm256_add_pd(top, _mm256_mul_pd(_mm256_sub_pd(bottom, top), fy)), _mm256_set1_pd(0.5));
  return _mm256_cvttpd_epi32(value);
}

[[gnu::always_inline]] VX_AVX2 inline __m256i EightBytesAtFour(const std::uint8_t* base, __m128i offsets) {
  alignas(16) std::int32_t at[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(at), offsets);
  std::int64_t q[4];
  for (int i = 0; i < 4; ++i) std::memcpy(&q[i], base + at[i], sizeof q[i]);
  return _mm256_setr_epi64x(q[0], q[1], q[2], q[3]);
}

// Target pixels [left, right] of row v, four at a time: their source
// positions and samples are the scalar loop's operations in the same order,
// lane by lane, so the same bytes. A step with a lane outside the picture,
// or one whose right-hand pixel is its row's last (eight bytes from the
// corner would pass the row's end), goes pixel by pixel.
VX_AVX2 void RotateRowBilinearAvx2(const Rotation& rot, const Image& source, int v, int left, int right,
                                   std::uint8_t* dst) {
  const auto by_pixel = [](const Image& image, double sx, double sy, std::uint8_t* out) VX_AVX2 {
    SampleInsideAvx2(image, sx, sy, out);
  };
  // The gathers use 32-bit byte offsets.
  if (source.Bytes() >= std::size_t{INT32_MAX} - 16) return RotateRow(rot, source, v, left, right, dst, by_pixel);
  const double dy = v - rot.target_cy;
  const __m256d dy_sine = _mm256_set1_pd(dy * rot.sine);
  const __m256d dy_cosine = _mm256_set1_pd(dy * rot.cosine);
  const __m256d cosine = _mm256_set1_pd(rot.cosine);
  const __m256d sine = _mm256_set1_pd(rot.sine);
  const __m256d low = _mm256_set1_pd(-0.5);
  const __m256d x_end = _mm256_set1_pd(source.width - 0.5);
  const __m256d y_end = _mm256_set1_pd(source.height - 0.5);
  const __m256d x_last = _mm256_set1_pd(source.width - 1.0);
  const __m256d y_last = _mm256_set1_pd(source.height - 1.0);
  const __m128i last_whole_step = _mm_set1_epi32(source.width - 3);
  const __m128i last_row = _mm_set1_epi32(source.height - 1);
  const __m128i row_bytes = _mm_set1_epi32(source.width * 3);
  const std::uint8_t* pixels = source.pixels.data();
  __m256d u = _mm256_setr_pd(left, left + 1.0, left + 2.0, left + 3.0);
  int x = left;
  for (; x <= right - 3; x += 4, dst += 12, u = _mm256_add_pd(u, _mm256_set1_pd(4.0))) {
    const __m256d dx = _mm256_sub_pd(u, _mm256_set1_pd(rot.target_cx));
    const __m256d sx = _mm256_add_pd(_mm256_sub_pd(_mm256_mul_pd(dx, cosine), dy_sine), _mm256_set1_pd(rot.source_cx));
    const __m256d sy = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(dx, sine), dy_cosine), _mm256_set1_pd(rot.source_cy));
    const __m256d outside =
        _mm256_or_pd(_mm256_or_pd(_mm256_cmp_pd(sx, low, _CMP_LT_OQ), _mm256_cmp_pd(sy, low, _CMP_LT_OQ)),
                     _mm256_or_pd(_mm256_cmp_pd(sx, x_end, _CMP_GT_OQ), _mm256_cmp_pd(sy, y_end, _CMP_GT_OQ)));
    const int outside_lanes = _mm256_movemask_pd(outside);
    if (outside_lanes == 0xF) continue;
    // Past -0.5 a clamp to 0 may give +0 where the scalar clamp keeps -0:
    // the same floor, and a zero weight either way.
    const __m256d cx = _mm256_min_pd(_mm256_max_pd(sx, _mm256_setzero_pd()), x_last);
    const __m256d cy = _mm256_min_pd(_mm256_max_pd(sy, _mm256_setzero_pd()), y_last);
    const __m128i x0 = _mm256_cvttpd_epi32(cx);
    const __m128i y0 = _mm256_cvttpd_epi32(cy);
    if (outside_lanes != 0 || _mm_movemask_epi8(_mm_cmpgt_epi32(x0, last_whole_step)) != 0) {
      alignas(32) double xs[4], ys[4];
      _mm256_store_pd(xs, sx);
      _mm256_store_pd(ys, sy);
      for (int i = 0; i < 4; ++i) {
        if ((outside_lanes >> i & 1) == 0) by_pixel(source, xs[i], ys[i], dst + 3 * i);
      }
      continue;
    }
    const __m256d fx = _mm256_sub_pd(cx, _mm256_cvtepi32_pd(x0));
    const __m256d fy = _mm256_sub_pd(cy, _mm256_cvtepi32_pd(y0));
    const __m128i y1 = _mm_min_epi32(_mm_add_epi32(y0, _mm_set1_epi32(1)), last_row);
    const __m128i x_bytes = _mm_add_epi32(_mm_add_epi32(x0, x0), x0);
    const __m256i upper = EightBytesAtFour(pixels, _mm_add_epi32(_mm_mullo_epi32(y0, row_bytes), x_bytes));
    const __m256i lower = EightBytesAtFour(pixels, _mm_add_epi32(_mm_mullo_epi32(y1, row_bytes), x_bytes));
    const __m128i b = BlendComponent<0>(upper, lower, fx, fy);
    const __m128i g = BlendComponent<1>(upper, lower, fx, fy);
    const __m128i r = BlendComponent<2>(upper, lower, fx, fy);
    const __m128i bgr = _mm_or_si128(_mm_or_si128(b, _mm_slli_epi32(g, 8)), _mm_slli_epi32(r, 16));
    const __m128i packed =
        _mm_shuffle_epi8(bgr, _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), packed);
    const std::int32_t last = _mm_extract_epi32(packed, 2);
    std::memcpy(dst + 8, &last, sizeof last);
  }
  RotateRow(rot, source, v, x, right, dst, by_pixel);
}
#endif

void RotateRowBilinear(const Rotation& rot, const Image& source, int v, int left, int right, std::uint8_t* dst) {
#if VX_HAVE_AVX2_LOOPS
  if (platform::HasAvx2()) return RotateRowBilinearAvx2(rot, source, v, left, right, dst);
#endif
  RotateRow(rot, source, v, left, right, dst, [](const Image& image, double sx, double sy, std::uint8_t* out) {
    SampleInside(image, sx, sy, out);
  });
}

}  // namespace

PixelRect DrawRotated(Canvas& canvas, const Image& source, double degrees, Point centre, Sampling sampling,
                      const Color* transparent) {
  if (source.Empty() || !std::isfinite(degrees)) return PixelRect{};
  const Rotation rot = MakeRotation(source, degrees, centre);
  const PixelRect r = Writable(canvas, rot.box);
  if (!canvas.Valid() || r.Empty()) return rot.box;
  if (sampling == Sampling::kBilinear && transparent == nullptr) {
    ForEachRow(r.top, r.bottom, std::int64_t{r.Width()} * 30,
               [&](int v) { RotateRowBilinear(rot, source, v, r.left, r.right, At(canvas, r.left, v)); });
    return rot.box;
  }
  ForEachRow(r.top, r.bottom, std::int64_t{r.Width()} * 30, [&](int v) {
    for (int u = r.left; u <= r.right; ++u) {
      double sx, sy;
      rot.Source(u, v, &sx, &sy);
      std::uint8_t* dst = At(canvas, u, v);
      const int ix = Nearest(sx);
      const int iy = Nearest(sy);
      if (!InsideImage(source, ix, iy)) continue;
      const std::uint8_t* src = source.Row(iy) + ix * 3;
      if (!IsColour(src, transparent)) std::memcpy(dst, src, 3);
    }
  });
  return rot.box;
}

PixelRect DrawRotatedShadow(Canvas& canvas, const Image& source, double degrees, Point centre, Point offset,
                            int percent, const Color* transparent) {
  if (source.Empty() || !std::isfinite(degrees)) return PixelRect{};
  const Point moved{centre.x + offset.x, centre.y + offset.y};
  const Rotation rot = MakeRotation(source, degrees, moved);
  const PixelRect r = Writable(canvas, rot.box);
  const int keep = std::clamp(percent, 0, 100);
  if (!canvas.Valid() || r.Empty()) return rot.box;
  ForEachRow(r.top, r.bottom, std::int64_t{r.Width()} * 20, [&](int v) {
    for (int u = r.left; u <= r.right; ++u) {
      double sx, sy;
      rot.Source(u, v, &sx, &sy);
      const int ix = Nearest(sx);
      const int iy = Nearest(sy);
      if (!InsideImage(source, ix, iy) || IsColour(source.Row(iy) + ix * 3, transparent)) continue;
      std::uint8_t* dst = At(canvas, u, v);
      for (int k = 0; k < 3; ++k) dst[k] = static_cast<std::uint8_t>(dst[k] * keep / 100);
    }
  });
  return rot.box;
}

PixelRect DrawRing(Canvas& canvas, const Image& source, Point centre, int outer, int inner, double start_degrees) {
  inner = std::max(inner, 0);
  if (source.Empty() || outer <= inner || !std::isfinite(start_degrees)) return PixelRect{};
  const PixelRect box{centre.x - outer, centre.y - outer, centre.x + outer, centre.y + outer};
  const PixelRect r = Writable(canvas, box);
  if (!canvas.Valid()) return box;
  if (r.Empty()) return box;
  const double band = outer - inner;
  ForEachRow(r.top, r.bottom, std::int64_t{r.Width()} * 60, [&](int v) {
    for (int u = r.left; u <= r.right; ++u) {
      const double dx = u - centre.x;
      const double dy = v - centre.y;
      const double rho = std::sqrt(dx * dx + dy * dy);
      if (rho < inner || rho > outer) continue;
      double angle = std::atan2(dx, -dy) * 180.0 / std::numbers::pi - start_degrees;
      angle = std::fmod(angle, 360.0);
      if (angle < 0) angle += 360.0;
      const int ix = std::min(source.width - 1, static_cast<int>(angle / 360.0 * source.width));
      const int iy = std::clamp(static_cast<int>((outer - rho) / band * source.height), 0, source.height - 1);
      std::memcpy(At(canvas, u, v), source.Row(iy) + ix * 3, 3);
    }
  });
  return box;
}

PixelRect DrawResampled(Canvas& canvas, const Image& source, const PixelRect& target, Sampling sampling,
                        bool area_average) {
  if (source.Empty() || target.Empty()) return PixelRect{};
  const PixelRect r = Writable(canvas, target);
  if (!canvas.Valid() || r.Empty()) return target;
  const double sx = static_cast<double>(source.width) / target.Width();
  const double sy = static_cast<double>(source.height) / target.Height();
  if (area_average) {
    const ResampleWindow window{r.left - target.left, r.right - target.left + 1, r.top - target.top,
                                r.bottom - target.top + 1};
    const AreaScaler scaler(source.width, source.height, sx, sy, window);
    const ResampleSink sink = [&](int row, std::span<const std::uint8_t> pixels) {
      std::memcpy(At(canvas, r.left, target.top + row), pixels.data(), pixels.size());
    };
    // Bands of output rows, each a scaler of its own fed from the first input
    // row it draws on: the same sums in the same order as one scaler's.
    const auto input_rows_per_row = static_cast<std::int64_t>(std::ceil(std::max(sy, 1.0)));
    const std::int64_t cost = static_cast<std::int64_t>(source.width) * 3 * 4 * input_rows_per_row;
    platform::ForBands(window.row_begin, window.row_end, cost, [&](int first, int last) {
      AreaScaler band = scaler.Rows(first, last);
      for (int y = band.NextInput(); y < source.height && band.Wants(y); ++y) {
        band.Push(std::span<const std::uint8_t>(source.Row(y), static_cast<std::size_t>(source.width) * 3), sink);
      }
    });
    return target;
  }
  if (sampling == Sampling::kBilinear) {
    DrawBilinear(canvas, source, target, r, sx, sy);
    return target;
  }
  ForEachRow(r.top, r.bottom, std::int64_t{r.Width()} * 20, [&](int v) {
    const double py = (v - target.top + 0.5) * sy - 0.5;
    for (int u = r.left; u <= r.right; ++u) {
      const double px = (u - target.left + 0.5) * sx - 0.5;
      std::uint8_t* dst = At(canvas, u, v);
      if (sampling == Sampling::kBilinear) {
        SampleBilinear(source, std::clamp(px, 0.0, source.width - 1.0), std::clamp(py, 0.0, source.height - 1.0), dst);
      } else {
        const int ix = std::clamp(static_cast<int>(std::floor((u - target.left + 0.5) * sx)), 0, source.width - 1);
        const int iy = std::clamp(static_cast<int>(std::floor((v - target.top + 0.5) * sy)), 0, source.height - 1);
        std::memcpy(dst, source.Row(iy) + ix * 3, 3);
      }
    }
  });
  return target;
}

void Refract(Canvas& canvas, const PixelRect& area, Point centre, int radius, int strength) {
  if (radius <= 0) return;
  const AreaCopy copy = CopyArea(canvas, area);
  if (copy.image.Empty()) return;
  const double s = std::clamp(strength, -100, 100) / 100.0;
  const double r2 = static_cast<double>(radius) * radius;
  const PixelRect lens{centre.x - radius, centre.y - radius, centre.x + radius, centre.y + radius};
  ForEachInArea(canvas, Intersect(copy.rect, lens), [&](std::uint8_t* p, int x, int y) {
    const double dx = x - centre.x;
    const double dy = y - centre.y;
    const double d2 = dx * dx + dy * dy;
    if (d2 >= r2) return;
    const double factor = 1.0 - s * (1.0 - d2 / r2);
    const int sx = Nearest(centre.x + dx * factor);
    const int sy = Nearest(centre.y + dy * factor);
    std::memcpy(p, Clamped(copy, sx, sy), 3);
  });
}

void ExpandPlane(Canvas& canvas, const PixelRect& area, int plane) {
  const int byte = 2 - std::clamp(plane, 0, 2);  // red is the third byte
  ForEachInArea(canvas, area, [byte](std::uint8_t* p, int, int) { p[0] = p[1] = p[2] = p[byte]; });
}

void ShiftPlanes(Canvas& canvas, const PixelRect& area, unsigned planes, int dx, int dy) {
  const AreaCopy copy = CopyArea(canvas, area);
  if (copy.image.Empty()) return;
  const bool take[3] = {(planes & 4u) != 0, (planes & 2u) != 0, (planes & 1u) != 0};
  ForEachInArea(canvas, copy.rect, [&](std::uint8_t* p, int x, int y) {
    const std::uint8_t* from = Clamped(copy, static_cast<int>(std::clamp<std::int64_t>(static_cast<std::int64_t>(x) - dx, INT32_MIN, INT32_MAX)),
                                       static_cast<int>(std::clamp<std::int64_t>(static_cast<std::int64_t>(y) - dy, INT32_MIN, INT32_MAX)));
    for (int k = 0; k < 3; ++k) {
      if (take[k]) p[k] = from[k];
    }
  });
}

bool ProcessColours(Canvas& canvas, const PixelRect& area, std::int32_t mode, std::int32_t parameter) {
  switch (mode) {
    case COLOUR_GREY:
      ForEachRowInArea(canvas, area, 3, GreyRow);
      return true;
    case COLOUR_NEGATIVE:
      ForEachRowInArea(canvas, area, 1, NegativeRow);
      return true;
    case COLOUR_SEPIA:
      ForEachRowInArea(canvas, area, 9, SepiaRow);
      return true;
    case COLOUR_BRIGHTNESS: {
      const int add = std::clamp(parameter, -255, 255);
      ForEachByteInArea(canvas, area, [add](std::uint8_t v) { return static_cast<std::uint8_t>(std::clamp(v + add, 0, 255)); });
      return true;
    }
    case COLOUR_CONTRAST: {
      if (parameter < 0) return false;
      const double factor = std::min(parameter, 10000) / 100.0;
      ForEachInArea(canvas, area, [factor](std::uint8_t* p, int, int) {
        for (int k = 0; k < 3; ++k) p[k] = Clamp255((p[k] - 128) * factor + 128);
      });
      return true;
    }
    case COLOUR_GAMMA: {
      if (parameter <= 0) return false;
      std::array<std::uint8_t, 256> table{};
      const double exponent = 100.0 / std::min(parameter, 100000);
      for (int v = 0; v < 256; ++v) table[static_cast<std::size_t>(v)] = Clamp255(255.0 * std::pow(v / 255.0, exponent));
      ForEachByteInArea(canvas, area, [&table](std::uint8_t v) { return table[v]; });
      return true;
    }
    case COLOUR_SWAP_RED_BLUE:
      ForEachRowInArea(canvas, area, 3, SwapRedBlueRow);
      return true;
    case COLOUR_TINT: {
      const Color tint = FromPacked(static_cast<std::uint32_t>(parameter));
      const int m[3] = {tint.b, tint.g, tint.r};
      ForEachInArea(canvas, area, [&m](std::uint8_t* p, int, int) {
        for (int k = 0; k < 3; ++k) p[k] = static_cast<std::uint8_t>((p[k] * m[k] + 127) / 255);
      });
      return true;
    }
    default:
      return false;
  }
}

void ReduceColours(Canvas& canvas, const PixelRect& area, int levels, bool dither) {
  levels = std::clamp(levels, 2, 256);
  static constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  const double step = 255.0 / (levels - 1);
  ForEachInArea(canvas, area, [&](std::uint8_t* p, int x, int y) {
    const double offset = dither ? (kBayer[y & 3][x & 3] + 0.5) / 16.0 - 0.5 : 0.0;
    for (int k = 0; k < 3; ++k) {
      const double q = std::clamp(std::floor(p[k] / step + 0.5 + offset), 0.0, levels - 1.0);
      p[k] = Clamp255(q * step);
    }
  });
}

std::int64_t Threshold(Canvas& canvas, const PixelRect& area, int threshold, Color high, Color low) {
  const PixelRect r = Writable(canvas, area);
  if (!canvas.Valid() || r.Empty()) return 0;
  std::atomic<std::int64_t> count{0};
  platform::ForBands(r.top, r.bottom + 1, std::int64_t{r.Width()} * 3, [&](int first, int last) {
    std::int64_t highs = 0;
    for (int y = first; y < last; ++y) {
      std::uint8_t* p = At(canvas, r.left, y);
      for (int x = r.left; x <= r.right; ++x, p += 3) {
        const bool is_high = Luma(Color{p[0], p[1], p[2]}) >= threshold;
        const Color c = is_high ? high : low;
        highs += is_high ? 1 : 0;
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
      }
    }
    count.fetch_add(highs, std::memory_order_relaxed);
  });
  return count.load();
}

bool ApplyFilter(Canvas& canvas, const PixelRect& area, std::int32_t filter, std::int32_t parameter) {
  switch (filter) {
    case FILTER_BLUR:
      BoxBlur(canvas, area, std::clamp(parameter, 1, FILTER_RADIUS_MAX));
      return true;
    case FILTER_SHARPEN:
      Sharpen(canvas, CopyArea(canvas, area), std::clamp(parameter, 0, 1000));
      return true;
    case FILTER_EDGES:
      Edges(canvas, CopyArea(canvas, area));
      return true;
    case FILTER_EMBOSS:
      Emboss(canvas, CopyArea(canvas, area));
      return true;
    case FILTER_MEDIAN:
      Median(canvas, area);
      return true;
    case FILTER_DILATE:
    case FILTER_ERODE:
      Morphology(canvas, area, filter == FILTER_DILATE, std::clamp(parameter, 1, FILTER_REPEAT_MAX));
      return true;
    case FILTER_MOSAIC:
      Mosaic(canvas, area, std::clamp(parameter, 1, MOSAIC_BLOCK_MAX));
      return true;
    default:
      return false;
  }
}

}  // namespace vx::graphics
