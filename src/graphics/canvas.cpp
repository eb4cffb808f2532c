#include "graphics/canvas.hpp"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/pixel_loop.hpp"

namespace vx::graphics {
namespace {

constexpr std::int64_t kRectLimit = 1 << 30;

int Narrow(std::int64_t v) { return static_cast<int>(std::clamp(v, -kRectLimit, kRectLimit)); }

inline void Put(std::uint8_t* p, const Paint& paint) {
  const Color c = paint.color;
  switch (paint.mode) {
    case LINE_MODE_XOR:
      p[0] ^= c.b;
      p[1] ^= c.g;
      p[2] ^= c.r;
      break;
    case LINE_MODE_TRANSLUCENT:
      p[0] = static_cast<std::uint8_t>((p[0] + c.b) / 2);
      p[1] = static_cast<std::uint8_t>((p[1] + c.g) / 2);
      p[2] = static_cast<std::uint8_t>((p[2] + c.r) / 2);
      break;
    default:
      p[0] = c.b;
      p[1] = c.g;
      p[2] = c.r;
      break;
  }
}

// BlendComponent over a row; a coverage of 0 leaves the byte as it is, so
// the loop needs no test and vectorises.
VX_PIXEL_LOOP void BlendCoverage(std::uint8_t* __restrict p, const std::uint8_t* __restrict coverage,
                                 std::size_t pixels, Color colour) {
  for (std::size_t i = 0; i < pixels; ++i, p += 3) {
    const std::uint8_t c = coverage[i];
    p[0] = BlendComponent(p[0], colour.b, c);
    p[1] = BlendComponent(p[1], colour.g, c);
    p[2] = BlendComponent(p[2], colour.r, c);
  }
}

// The same for a short row (a glyph's is a dozen pixels or two), too short
// for the vector loop to reach its vector steps: pixels not covered at all,
// most of a glyph's box, are passed over, and covered ones are set.
void BlendCoverageShort(std::uint8_t* p, const std::uint8_t* coverage, std::size_t pixels, Color colour) {
  for (std::size_t i = 0; i < pixels; ++i, p += 3) {
    const std::uint8_t c = coverage[i];
    if (c == 0) continue;
    if (c == 255) {
      p[0] = colour.b;
      p[1] = colour.g;
      p[2] = colour.r;
      continue;
    }
    p[0] = BlendComponent(p[0], colour.b, c);
    p[1] = BlendComponent(p[1], colour.g, c);
    p[2] = BlendComponent(p[2], colour.r, c);
  }
}

// Rows shorter than this take the loop above.
constexpr std::size_t kShortBlendRow = 32;

#if VX_HAVE_AVX2_LOOPS
// Sixteen bytes blended with one coverage each, in sixteen 16-bit lanes:
// background * (255 - coverage) + colour * coverage is at most 65025, and
// its quotient by 255 is (v * 0x8081) >> 23 for any 16-bit v; coverage 0
// gives the byte back.
VX_AVX2 inline __m128i BlendSixteen(__m128i bytes, __m128i coverage, __m256i ink) {
  const __m256i cover = _mm256_cvtepu8_epi16(coverage);
  const __m256i background = _mm256_cvtepu8_epi16(bytes);
  const __m256i sum = _mm256_add_epi16(_mm256_mullo_epi16(background, _mm256_sub_epi16(_mm256_set1_epi16(255), cover)),
                                       _mm256_mullo_epi16(ink, cover));
  const __m256i blended = _mm256_srli_epi16(_mm256_mulhi_epu16(sum, _mm256_set1_epi16(static_cast<short>(0x8081))), 7);
  return _mm_packus_epi16(_mm256_castsi256_si128(blended), _mm256_extracti128_si256(blended, 1));
}

// Five or six coverage bytes at `p` in the low lanes, read as a word and
// the rest put in lane by lane (gathered through memory, the small reads
// would make the one wide read wait).
VX_AVX2 inline __m128i FiveCoverages(const std::uint8_t* p) {
  std::int32_t first_four;
  std::memcpy(&first_four, p, sizeof first_four);
  return _mm_insert_epi8(_mm_cvtsi32_si128(first_four), p[4], 4);
}
VX_AVX2 inline __m128i SixCoverages(const std::uint8_t* p) {
  std::int32_t first_four;
  std::uint16_t last_two;
  std::memcpy(&first_four, p, sizeof first_four);
  std::memcpy(&last_two, p + 4, sizeof last_two);
  return _mm_insert_epi16(_mm_cvtsi32_si128(first_four), last_two, 2);
}

// A short row five pixels a step while sixteen bytes fit the row (each
// step's sixteenth byte, the next pixel's blue, at coverage 0), and a last
// step of the sixteen bytes that end the row: the red of the sixth pixel
// from the end and the last five pixels, each byte with its own pixel's
// coverage, so that it gives the bytes the steps before it gave where they
// overlap and puts right the one byte a step before it left unblended.
// Every step's bytes are read before the step before it is stored (they
// share bytes), so no read waits on a store.
VX_AVX2 void BlendCoverageShortAvx2(std::uint8_t* p, const std::uint8_t* coverage, std::size_t pixels,
                                    Color colour) {
  constexpr std::size_t kStepBytes = 16;
  if (pixels * 3 < kStepBytes) return BlendCoverageShort(p, coverage, pixels, colour);
  const auto b = static_cast<char>(colour.b), g = static_cast<char>(colour.g), r = static_cast<char>(colour.r);
  const __m256i ink = _mm256_cvtepu8_epi16(_mm_setr_epi8(b, g, r, b, g, r, b, g, r, b, g, r, b, g, r, b));
  const __m256i last_ink = _mm256_cvtepu8_epi16(_mm_setr_epi8(r, b, g, r, b, g, r, b, g, r, b, g, r, b, g, r));
  const __m128i spread = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, -128);
  const __m128i last_spread = _mm_setr_epi8(0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5);
  const std::size_t last_at = pixels * 3 - kStepBytes;
  std::size_t done = 0;
  __m128i step = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  for (; done * 3 + kStepBytes <= last_at; done += 5) {  // this step ends before the last one begins
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + (done + 5) * 3));
    const __m128i cover = _mm_shuffle_epi8(FiveCoverages(coverage + done), spread);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + done * 3), BlendSixteen(step, cover, ink));
    step = next;
  }
  // From here the pixels left fit one step and the last.
  const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + last_at));
  if (done * 3 < last_at) {
    const __m128i cover = _mm_shuffle_epi8(FiveCoverages(coverage + done), spread);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + done * 3), BlendSixteen(step, cover, ink));
  }
  const __m128i last_cover = _mm_shuffle_epi8(SixCoverages(coverage + pixels - 6), last_spread);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + last_at), BlendSixteen(last, last_cover, last_ink));
}
#endif

}  // namespace

Canvas::Canvas(std::uint8_t* bank, const PixelRect& clip) : bank_(bank), clip_(clip) {
  // Whatever the caller asks for, never beyond the bank itself.
  clip_ = Intersect(clip_, PixelRect{0, 0, VRAM_WIDTH - 1, VRAM_HEIGHT - 1});
}

Canvas Canvas::Current(Vram& vram) { return Canvas(vram.Current(), vram.Clip()); }

void Canvas::Plot(int x, int y, const Paint& paint) {
  if (bank_ == nullptr || !Inside(x, y)) return;
  Put(PixelAt(bank_, x, y), paint);
}

void Canvas::Span(int y, int x0, int x1, const Paint& paint) {
  if (bank_ == nullptr || y < clip_.top || y > clip_.bottom) return;
  x0 = std::max(x0, clip_.left);
  x1 = std::min(x1, clip_.right);
  if (x0 > x1) return;
  std::uint8_t* p = PixelAt(bank_, x0, y);
  std::uint8_t* const end = p + static_cast<std::size_t>(x1 - x0 + 1) * VRAM_PIXEL_BYTES;
  if (paint.mode == LINE_MODE_XOR || paint.mode == LINE_MODE_TRANSLUCENT) {
    for (; p != end; p += VRAM_PIXEL_BYTES) Put(p, paint);
    return;
  }
  // Eight pixels of the colour at a time: three word stores instead of 24
  // byte stores.
  const Color c = paint.color;
  std::uint8_t eight[8 * VRAM_PIXEL_BYTES];
  for (std::size_t i = 0; i < sizeof eight; i += VRAM_PIXEL_BYTES) {
    eight[i] = c.b;
    eight[i + 1] = c.g;
    eight[i + 2] = c.r;
  }
  for (; end - p >= static_cast<std::ptrdiff_t>(sizeof eight); p += sizeof eight) std::memcpy(p, eight, sizeof eight);
  for (; p != end; p += VRAM_PIXEL_BYTES) {
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
  }
}

void Canvas::Blend(int x, int y, Color colour, std::uint8_t coverage) {
  if (bank_ == nullptr || coverage == 0 || !Inside(x, y)) return;
  std::uint8_t* p = PixelAt(bank_, x, y);
  p[0] = BlendComponent(p[0], colour.b, coverage);
  p[1] = BlendComponent(p[1], colour.g, coverage);
  p[2] = BlendComponent(p[2], colour.r, coverage);
}

void Canvas::BlendRow(std::int64_t x, std::int64_t y, Color colour, std::span<const std::uint8_t> coverage) {
  if (!Valid() || y < clip_.top || y > clip_.bottom) return;
  const std::int64_t first = std::max<std::int64_t>(x, clip_.left);
  const std::int64_t last = std::min<std::int64_t>(x + static_cast<std::int64_t>(coverage.size()) - 1, clip_.right);
  if (first > last) return;
  std::uint8_t* const p = PixelAt(bank_, static_cast<int>(first), static_cast<int>(y));
  const std::uint8_t* const covered = coverage.data() + (first - x);
  const auto pixels = static_cast<std::size_t>(last - first + 1);
  if (pixels < kShortBlendRow) {
#if VX_HAVE_AVX2_LOOPS
    if (platform::HasAvx2()) return BlendCoverageShortAvx2(p, covered, pixels, colour);
#endif
    BlendCoverageShort(p, covered, pixels, colour);
  } else {
    BlendCoverage(p, covered, pixels, colour);
  }
}

PixelRect NormalizedRect(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
  if (w == 0 || h == 0) return PixelRect{};
  const std::int64_t left = w > 0 ? x : x + w + 1;
  const std::int64_t right = w > 0 ? x + w - 1 : x;
  const std::int64_t top = h > 0 ? y : y + h + 1;
  const std::int64_t bottom = h > 0 ? y + h - 1 : y;
  return PixelRect{Narrow(left), Narrow(top), Narrow(right), Narrow(bottom)};
}

PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
  return PixelRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
}

}  // namespace vx::graphics
