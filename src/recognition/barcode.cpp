#include "recognition/barcode.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace vx::recognition {
namespace {

template <typename... A>
std::string Format(const char* format, A... args) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

Decoded Fail(std::string text) { return Decoded{false, std::move(text)}; }

bool Inside(const Region& r, double x, double y) { return x >= r.x1 && x <= r.x2 && y >= r.y1 && y <= r.y2; }

// The grey at fraction (ax, ay) between four pixels: g00 and g10 on the
// upper row, g01 and g11 below them.
double Interpolate(double g00, double g10, double g01, double g11, double ax, double ay) {
  const double top = g00 * (1.0 - ax) + g10 * ax;
  const double bottom = g01 * (1.0 - ax) + g11 * ax;
  return top * (1.0 - ay) + bottom * ay;
}

// The plane's grey at (x, y), bilinear between the four pixels around it
// (clamped to the plane at its edges).
double Bilinear(const Plane& plane, double x, double y) {
  const double fx = std::floor(x);
  const double fy = std::floor(y);
  const int ix = static_cast<int>(fx);
  const int iy = static_cast<int>(fy);
  const double ax = x - fx;
  const double ay = y - fy;
  int g00, g10, g01, g11;
  const std::uint8_t* data = plane.Rows(iy, iy + 1);
  if (data != nullptr && ix >= 0 && iy >= 0 && ix < PLANE_WIDTH - 1 && iy < PLANE_HEIGHT - 1) {
    constexpr std::size_t row = Plane::ROW_BYTES;
    const std::uint8_t* p = data + static_cast<std::size_t>(iy) * row + static_cast<std::size_t>(ix) * PLANE_PIXEL_BYTES;
    g00 = p[0], g10 = p[PLANE_PIXEL_BYTES], g01 = p[row], g11 = p[row + PLANE_PIXEL_BYTES];
  } else {
    g00 = plane.Grey(ix, iy), g10 = plane.Grey(ix + 1, iy);
    g01 = plane.Grey(ix, iy + 1), g11 = plane.Grey(ix + 1, iy + 1);
  }
  return Interpolate(g00, g10, g01, g11, ax, ay);
}

bool PowerOfTwoOrZero(double v) {
  int exponent = 0;
  return v == 0 || std::frexp(std::abs(v), &exponent) == 0.5;
}

// j / substeps for every sample j; the scans of one region share it.
const std::array<double, SAMPLES_MAX>& SubstepTable(int substeps) {
  thread_local int made_for = 0;
  thread_local std::array<double, SAMPLES_MAX> table;
  if (made_for != substeps) {
    for (int j = 0; j < SAMPLES_MAX; ++j) table[static_cast<std::size_t>(j)] = static_cast<double>(j) / substeps;
    made_for = substeps;
  }
  return table;
}

// Threshold halfway between the darkest and lightest pixel of the line.
int LineThreshold(const Plane& plane, const Region& r, int x, int y, double sx, double sy) {
  int lo = 255;
  int hi = 0;
  for (int t = 0;; ++t) {
    const double px = x + t * sx;
    const double py = y + t * sy;
    if (!Inside(r, px, py)) break;
    const int g = plane.Grey(static_cast<int>(std::floor(px)), static_cast<int>(std::floor(py)));
    lo = std::min(lo, g);
    hi = std::max(hi, g);
  }
  return (lo + hi) / 2;
}

}  // namespace

Elements ScanElements(const Plane& plane, const Region& r, int x, int y, int dx, int dy) {
  Elements out;
  const int major = std::max(std::abs(dx), std::abs(dy));
  if (major == 0) return out;
  const double sx = static_cast<double>(dx) / major;
  const double sy = static_cast<double>(dy) / major;
  const int threshold = LineThreshold(plane, r, x, y, sx, sy);
  const int span = r.x2 - r.x1;
  const int substeps = std::max(span > 0 ? SUBSTEP_SPAN / span : 0, 1);

  std::array<bool, SAMPLES_MAX> samples;
  std::size_t count = 0;
  if (PowerOfTwoOrZero(sx) && PowerOfTwoOrZero(sy) && r.x1 >= 0 && r.y1 >= 0) {
    // j * s / substeps is s * (j / substeps) to the last bit when s is a
    // power of two: the quotients come from a table, not a division each.
    // Inside a region on the plane no sample is negative, so truncation is
    // the floor.
    const std::array<double, SAMPLES_MAX>& step = SubstepTable(substeps);
    // Samples stay inside the region; the pixels below its last row are
    // read too.
    const std::uint8_t* data = plane.Rows(r.y1, r.y2 + 1);
    constexpr std::size_t row = Plane::ROW_BYTES;
    // The last pixel looked at: whether its four greys settled it (-1 no,
    // else the sample), and those greys; a line takes several samples per
    // pixel.
    int cell_x = -1, cell_y = -1, settled = -1;
    double g00 = 0, g10 = 0, g01 = 0, g11 = 0;
    const double left = r.x1, right = r.x2, top_row = r.y1, bottom_row = r.y2;
    for (int j = 0; j < SAMPLES_MAX; ++j) {
      const double px = x + sx * step[static_cast<std::size_t>(j)];
      const double py = y + sy * step[static_cast<std::size_t>(j)];
      if (!(px >= left && px <= right && py >= top_row && py <= bottom_row)) break;
      // Bilinear inlined for points with all four pixels on the plane. The
      // value lies between the darkest and lightest of the four (rounding
      // moves it by far less than one grey), so four greys all below or
      // all above the threshold settle the sample without it.
      const int ix = static_cast<int>(px), iy = static_cast<int>(py);
      if (ix != cell_x || iy != cell_y) {
        if (data == nullptr || px < 0 || py < 0 || ix >= PLANE_WIDTH - 1 || iy >= PLANE_HEIGHT - 1) {
          samples[count++] = Bilinear(plane, px, py) < threshold;
          cell_x = cell_y = -1;
          continue;
        }
        const std::uint8_t* p = data + static_cast<std::size_t>(iy) * row + static_cast<std::size_t>(ix) * PLANE_PIXEL_BYTES;
        const int a = p[0], b = p[PLANE_PIXEL_BYTES], c = p[row], d = p[row + PLANE_PIXEL_BYTES];
        const int lo = std::min(std::min(a, b), std::min(c, d));
        const int hi = std::max(std::max(a, b), std::max(c, d));
        cell_x = ix, cell_y = iy;
        settled = hi < threshold ? 1 : (lo > threshold ? 0 : -1);
        g00 = a, g10 = b, g01 = c, g11 = d;
      }
      if (settled >= 0) {
        samples[count++] = settled != 0;
        continue;
      }
      samples[count++] = Interpolate(g00, g10, g01, g11, px - ix, py - iy) < threshold;
    }
  } else {
    for (int j = 0; j < SAMPLES_MAX; ++j) {
      const double px = x + j * sx / substeps;
      const double py = y + j * sy / substeps;
      if (!Inside(r, px, py)) break;
      samples[count++] = Bilinear(plane, px, py) < threshold;
    }
  }
  const std::span<const bool> dark(samples.data(), count);

  std::size_t j = 0;
  while (j < dark.size() && dark[j]) ++j;
  const std::size_t quiet_start = j;
  while (j < dark.size() && !dark[j]) ++j;
  out.quiet = static_cast<int>(j - quiet_start);
  int light_before = out.quiet;
  while (j < dark.size()) {
    const bool colour = dark[j];
    const std::size_t start = j;
    while (j < dark.size() && dark[j] == colour) ++j;
    const int width = static_cast<int>(j - start);
    if (colour) {
      // A light run far wider than the bar after it is a quiet zone: the
      // symbol starts here.
      if (light_before > 7 * width) {
        out.quiet = light_before;
        out.widths.clear();
      }
    } else {
      light_before = width;
    }
    if (out.widths.size() < ELEMENTS_MAX) out.widths.push_back(width);
  }
  return out;
}

// --- EAN-13

namespace {

constexpr std::array<const char*, 10> kEanWidths = {"3211", "2221", "2122", "1411", "1132",
                                                     "1231", "1114", "1312", "1213", "3112"};
constexpr std::array<int, 10> kEanParity = {0, 11, 13, 14, 19, 25, 28, 21, 22, 26};

struct EanChar {
  int digit = -1;
  int flag = 0;
};

EanChar MatchEanChar(const int* modules) {
  if (modules[0] + modules[1] + modules[2] + modules[3] != 7) return {};
  for (int d = 0; d < 10; ++d) {
    const char* w = kEanWidths[static_cast<std::size_t>(d)];
    bool forward = true;
    bool backward = true;
    for (int i = 0; i < 4; ++i) {
      forward = forward && modules[i] == w[i] - '0';
      backward = backward && modules[i] == w[3 - i] - '0';
    }
    if (forward) return {d, 0};
    if (backward) return {d, 1};
  }
  return {};
}

bool EanCheckDigitOk(const std::string& digits) {
  int sum = 0;
  for (int i = 0; i < 12; ++i) sum += (digits[static_cast<std::size_t>(i)] - '0') * (i % 2 == 0 ? 1 : 3);
  return (10 - sum % 10) % 10 == digits[12] - '0';
}

}  // namespace

Decoded DecodeEan13(const Elements& elements) {
  const std::vector<int>& e = elements.widths;
  const int count = static_cast<int>(e.size());
  if (count < 59) return Fail(Format("not include 59 bars! (%d)", count));
  const int bars = (e[0] + e[2] + e[28] + e[30] + e[56] + e[58]) / 6;
  const int spaces = (e[1] + e[27] + e[29] + e[31] + e[57]) / 5;
  const int c = (bars - spaces) / 2;
  const int m = std::max((bars + spaces) / 2, 1);
  std::array<int, 59> modules{};
  for (int i = 0; i < 59; ++i) {
    const int corrected = i % 2 == 0 ? e[static_cast<std::size_t>(i)] - c : e[static_cast<std::size_t>(i)] + c;
    modules[static_cast<std::size_t>(i)] = corrected / m + (corrected % m > m / 2 ? 1 : 0);
  }
  for (int i : {0, 1, 2, 56, 57, 58}) {
    if (modules[static_cast<std::size_t>(i)] != 1) {
      return Fail(Format("error : side mark [%d] (%d/%d)", i, e[static_cast<std::size_t>(i)], m));
    }
  }
  for (int i = 27; i <= 31; ++i) {
    if (modules[static_cast<std::size_t>(i)] != 1) {
      return Fail(Format("error : center mark [%d] (%d/%d)", i, e[static_cast<std::size_t>(i)], m));
    }
  }
  std::array<EanChar, 12> chars;
  for (int k = 0; k < 12; ++k) {
    const int first = k < 6 ? 3 + 4 * k : 32 + 4 * (k - 6);
    chars[static_cast<std::size_t>(k)] = MatchEanChar(&modules[static_cast<std::size_t>(first)]);
    if (chars[static_cast<std::size_t>(k)].digit < 0) return Fail(Format("character [%d] error", k));
  }
  if (chars[0].flag != chars[11].flag) return Fail("error : side character reversed");
  if (chars[0].flag == 1) {
    std::reverse(chars.begin(), chars.end());
    for (EanChar& ch : chars) ch.flag ^= 1;
  }
  for (int k = 6; k < 12; ++k) {
    if (chars[static_cast<std::size_t>(k)].flag == 1) return Fail("error : reversed character in right side");
  }
  int parity = 0;
  for (int k = 0; k < 6; ++k) parity = parity * 2 + chars[static_cast<std::size_t>(k)].flag;
  const auto found = std::find(kEanParity.begin(), kEanParity.end(), parity);
  if (found == kEanParity.end()) return Fail("extra digit error!");
  std::string digits(1, static_cast<char>('0' + (found - kEanParity.begin())));
  for (const EanChar& ch : chars) digits += static_cast<char>('0' + ch.digit);
  // A line that crossed the symbol badly can still fit the patterns; the
  // check digit tells.
  if (!EanCheckDigitOk(digits)) return Fail("check digit error");
  return Decoded{true, digits};
}

// --- Interleaved 2 of 5

namespace {

constexpr std::array<int, 10> kItfPatterns = {0x0C, 0x11, 0x12, 0x03, 0x14, 0x05, 0x06, 0x18, 0x09, 0x0A};

// One digit from five elements of one colour starting at `first`; on
// failure `error` holds the message.
int ItfDigit(const std::vector<int>& e, int first, bool reversed, bool even, std::string& error) {
  const double ref = e[static_cast<std::size_t>(first % 2)];
  int pattern = 0;
  int wides = 0;
  for (int i = 0; i < 5; ++i) {
    const int index = first + 2 * i;
    const double ratio = e[static_cast<std::size_t>(index)] / ref;
    if (ratio > 1.7) {
      pattern |= 1 << (reversed ? 4 - i : i);
      ++wides;
    } else if (ratio >= 1.5) {
      error = Format(even ? "character data error [%d] even (%d)" : "character data error [%d] odd (%d)", index, -1);
      return -1;
    }
  }
  if (wides != 2) {
    error = Format(even ? "character data error [%d] even (%d)" : "character data error [%d] odd (%d)", first,
                   -std::abs(wides - 2));
    return -1;
  }
  return static_cast<int>(std::find(kItfPatterns.begin(), kItfPatterns.end(), pattern) - kItfPatterns.begin());
}

bool ItfEnd(const std::vector<int>& e, int k, int left, double n, bool reversed) {
  auto ratio = [&](int i) { return e[static_cast<std::size_t>(k + i)] / n; };
  if (!reversed) {
    if (!(ratio(0) > 1.7 && ratio(1) < 1.5 && ratio(2) < 1.5)) return false;
    return left <= 3 || ratio(3) > 7.0;
  }
  for (int i = 0; i < 4; ++i) {
    if (!(ratio(i) < 1.5)) return false;
  }
  return left <= 4 || ratio(4) > 7.0;
}

}  // namespace

Decoded DecodeItf(const Elements& elements) {
  const std::vector<int>& e = elements.widths;
  const int count = static_cast<int>(e.size());
  if (count < 17) return Fail(Format("not include 17 bars! (%d)", count));
  const bool reversed = 2 * e[0] < e[2];
  if (!reversed && e[0] > 1.5 * e[2]) return Fail("illegal start character");
  const double n = (e[0] + e[1]) / 2.0;
  if (!(elements.quiet > 5 * n)) return Fail("The quiet zone is too short.");
  std::string digits;
  for (int k = reversed ? 3 : 4;; k += 10) {
    const int left = count - k;
    if (left < (reversed ? 4 : 3)) return Fail("stop character error");
    if (ItfEnd(e, k, left, n, reversed)) break;
    if (left < 11) return Fail("stop character error");
    std::string error;
    const int first = ItfDigit(e, k, reversed, true, error);
    if (first < 0) return Fail(error);
    const int second = ItfDigit(e, k + 1, reversed, false, error);
    if (second < 0) return Fail(error);
    digits += static_cast<char>('0' + first);
    digits += static_cast<char>('0' + second);
    if (digits.size() > 254) return Fail("too long data");
  }
  if (digits.size() < 2) return Fail("no character data");
  if (reversed) std::reverse(digits.begin(), digits.end());
  return Decoded{true, digits};
}

// --- the scan schedule

namespace {

struct Direction {
  int dx;
  int dy;
};
constexpr std::array<Direction, 5> kRowDirections = {{{1, 0}, {2, -1}, {2, 1}, {2, 2}, {-2, 2}}};
constexpr std::array<Direction, 5> kColumnDirections = {{{0, 1}, {-1, 2}, {1, 2}, {2, 2}, {-2, 2}}};

bool TryLine(const Plane& plane, const Region& r, int x, int y, Direction d, BarcodeResult& result) {
  const Elements e = ScanElements(plane, r, x, y, d.dx, d.dy);
  Decoded ean = DecodeEan13(e);
  if (ean.ok) {
    result = BarcodeResult{BARCODE_EAN13, std::move(ean.text)};
    return true;
  }
  Decoded itf = DecodeItf(e);
  result = BarcodeResult{itf.ok ? BARCODE_ITF : BARCODE_NONE, std::move(itf.text)};
  if (result.text.size() > BARCODE_TEXT_MAX) result.text.resize(BARCODE_TEXT_MAX);
  return itf.ok;
}

}  // namespace

BarcodeResult ReadBarcode(const Plane& plane, const Region& region) {
  const Region r = Normalized(region);
  BarcodeResult result;
  const int row_step = std::max((r.y2 - r.y1) / 6, 1);
  for (int i = 1; i <= 4; ++i) {
    for (Direction d : kRowDirections) {
      if (TryLine(plane, r, r.x1, r.y1 + i * row_step, d, result)) return result;
    }
  }
  const int column_step = std::max((r.x2 - r.x1) / 6, 1);
  for (int i = 1; i <= 4; ++i) {
    for (Direction d : kColumnDirections) {
      if (TryLine(plane, r, r.x1 + i * column_step, r.y1, d, result)) return result;
    }
  }
  return result;
}

}  // namespace vx::recognition
