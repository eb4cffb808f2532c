#include "recognition/plate.hpp"

#include <algorithm>
#include <cmath>
#include <climits>
#include <cstdint>
#include <string_view>

namespace vx::recognition {
namespace {

constexpr double FILL_MIN = 0.45;            // light share of a plate's rectangle (strokes are holes)
constexpr int STROKES_MIN = 3;               // dark strokes a plate must hold
constexpr int STROKE_CHECK_HEIGHT = 80;      // rectified height of the stroke check
constexpr double STROKE_HEIGHT_MIN = 0.12;   // of the plate height
constexpr double STROKE_HEIGHT_MAX = 0.9;
constexpr double NOISE_AREA = 0.0004;        // of the plate area: smaller dark specks are noise
constexpr double SMALL_PART_AREA = 0.0001;   // unless a kanji's dots, close to it (DOT_DISTANCE of its height)
constexpr double DOT_DISTANCE = 0.3;
constexpr double FRAME_WIDTH = 0.6;          // a dark part wider than this share is the frame
constexpr double FIELD_MARGIN = 0.2;         // of the character height, around a field
constexpr std::size_t PARTS_MAX = 120;       // dark parts a plate may be cut into
constexpr double FIELD_PICTURE_WIDTH_MAX = 4000;  // pixels of characters in a field picture
// The class number: one to three characters narrower than this share of
// the upper line's height, centred right of CLASS_CENTRE_MIN of the plate's
// width; the region name's characters are centred left of
// REGION_CENTRE_MAX.
constexpr std::size_t CLASS_CHARACTERS_MAX = 3;
constexpr double CLASS_CHARACTER_WIDTH = 0.85;
// Narrower than this share of the line's height is a lone stroke of a
// kanji (川's), never a digit: even a 1 has its flag.
constexpr double CLASS_CHARACTER_WIDTH_MIN = 0.15;
constexpr double CLASS_CENTRE_MIN = 0.45;
constexpr double REGION_CENTRE_MAX = 0.5;
// The kana: the lower line's parts centred left of this share of the width
// and at least this share of its tallest part's height (dots are less).
constexpr double KANA_CENTRE_MAX = 0.2;
constexpr double KANA_HEIGHT_MIN = 0.15;
// Parts of one kanji or kana of the region name (川 is three strokes side
// by side) span at most this share of the line's height.
constexpr double REGION_CHARACTER_WIDTH = 1.15;

struct Range {
  double lo, hi;
};
constexpr Range kJapaneseAspect{1.4, 2.8};
constexpr Range kLatinAspect{1.4, 6.5};
// Text blocks found by their edges, and how much larger the plate is.
constexpr Range kJapaneseTextAspect{1.3, 3.2};
constexpr Range kLatinTextAspect{2.0, 9.0};
constexpr double JP_TEXT_TO_PLATE_W = 1.12;
constexpr double JP_TEXT_TO_PLATE_H = 1.2;
constexpr double LATIN_TEXT_TO_PLATE_W = 1.15;
constexpr double LATIN_TEXT_TO_PLATE_H = 1.5;
constexpr int EDGE_STEP = 60;     // grey step across two pixels that counts as a stroke edge
constexpr int TEXT_JOIN_X = 8;    // search pixels joined along a row
constexpr int TEXT_JOIN_Y = 6;    // and across rows
// A Japanese plate's text, both lines, spans 272 x 124 of its 330 x 165
// mm; its upper line is about a third as tall as the lower (both joined
// a little by TextBlocks), which is at least twice as wide as tall, and
// the gap between them less than half the lower one's height. Text blocks
// of less than (plate width)^2 / PIECE_AREA_SHARE pixels are specks.
constexpr double JP_WHOLE_TEXT_TO_PLATE_W = 1.21;
constexpr Range UPPER_LINE_SHARE{0.25, 0.7};
constexpr double SERIAL_LINE_ASPECT_MIN = 2.0;
constexpr double LINES_GAP_MAX = 0.5;
constexpr double LINE_OVERLAP = 0.5;
constexpr double LINE_GAP = 1.5;
constexpr int PIECE_AREA_SHARE = 64;
constexpr int WIDE_JOIN_X = 16;
constexpr int WIDE_JOIN_Y = 14;
constexpr double JP_WHOLE_TEXT_TO_PLATE_H = 1.33;
// Refining: the search again at full size (windows up to REFINE_SIDE_MAX)
// in a window around the plate, grown by this share of the plate's width
// and snapped outwards to a grid; of the candidates there near the first
// one (centres within half its height, widths within this ratio) the one
// holding the most strokes replaces it.
constexpr double REFINE_MARGIN = 0.3;
constexpr int REFINE_GRID = 32;
constexpr int REFINE_SIDE_MAX = 1800;
constexpr double REFINE_SIZE_RATIO = 1.4;
constexpr double CLIP_MARGIN = 2;  // plane pixels from a window's edge
// Levels of the light search between Otsu's threshold and white, and the
// width ratio within which a candidate at the same place is the same one.
constexpr int LIGHT_LEVELS = 4;
constexpr double SEEN_SIZE_RATIO = 1.4;

// The candidates of FindPlates, searched at the given scale.
std::vector<PlateQuad> FindPlatesAt(const Plane& plane, const Region& r, PlateStyle style, int scale,
                                    GreyImage* search);

// Plane grey of a region, averaged over scale x scale cells.
GreyImage Downsampled(const Plane& plane, const Region& r, int scale) {
  const int w = std::max((r.x2 - r.x1 + 1) / scale, 1);
  const int h = std::max((r.y2 - r.y1 + 1) / scale, 1);
  GreyImage g(w, h);
  if (!plane.Used()) return g;
  std::vector<int> sums(static_cast<std::size_t>(w));
  for (int y = 0; y < h; ++y) {
    std::fill(sums.begin(), sums.end(), 0);
    for (int k = 0; k < scale; ++k) {
      const std::uint8_t* row = plane.Row(std::min(r.y1 + y * scale + k, PLANE_HEIGHT - 1));
      for (int x = 0; x < w; ++x) {
        for (int j = 0; j < scale; ++j) {
          const int px = std::min(r.x1 + x * scale + j, PLANE_WIDTH - 1);
          sums[static_cast<std::size_t>(x)] += row[static_cast<std::size_t>(px) * PLANE_PIXEL_BYTES];
        }
      }
    }
    for (int x = 0; x < w; ++x) g.At(x, y) = static_cast<std::uint8_t>(sums[static_cast<std::size_t>(x)] / (scale * scale));
  }
  return g;
}

// Connected components (4-connected) of the pixels where `member` holds;
// `visit(pixels)` gets each one's pixel indices.
template <typename Member, typename Visit>
void Components(int w, int h, Member member, Visit visit, bool eight = false) {
  std::vector<std::uint8_t> seen(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
  std::vector<int> stack;
  std::vector<int> pixels;
  for (int start = 0; start < w * h; ++start) {
    if (seen[static_cast<std::size_t>(start)] != 0 || !member(start)) continue;
    pixels.clear();
    stack.assign(1, start);
    seen[static_cast<std::size_t>(start)] = 1;
    while (!stack.empty()) {
      const int p = stack.back();
      stack.pop_back();
      pixels.push_back(p);
      const int x = p % w, y = p / w;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          if ((dx == 0 && dy == 0) || (!eight && dx != 0 && dy != 0)) continue;
          const int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
          const int n = ny * w + nx;
          if (seen[static_cast<std::size_t>(n)] == 0 && member(n)) {
            seen[static_cast<std::size_t>(n)] = 1;
            stack.push_back(n);
          }
        }
      }
    }
    visit(pixels);
  }
}

struct Point {
  double x, y;
};

double Cross(const Point& o, const Point& a, const Point& b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

// Convex hull (counter-clockwise in x right, y down terms) of the pixel
// squares of a component, from the ends of its rows.
std::vector<Point> Hull(const std::vector<int>& pixels, int w) {
  std::vector<int> lo, hi;
  int top = INT32_MAX, bottom = -1;
  for (int p : pixels) top = std::min(top, p / w), bottom = std::max(bottom, p / w);
  lo.assign(static_cast<std::size_t>(bottom - top + 1), INT32_MAX);
  hi.assign(lo.size(), -1);
  for (int p : pixels) {
    const auto row = static_cast<std::size_t>(p / w - top);
    lo[row] = std::min(lo[row], p % w);
    hi[row] = std::max(hi[row], p % w);
  }
  std::vector<Point> points;
  for (std::size_t r = 0; r < lo.size(); ++r) {
    if (hi[r] < 0) continue;
    const double y = top + static_cast<double>(r);
    points.insert(points.end(), {{static_cast<double>(lo[r]), y}, {static_cast<double>(lo[r]), y + 1},
                                 {hi[r] + 1.0, y}, {hi[r] + 1.0, y + 1}});
  }
  std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
  std::vector<Point> hull(2 * points.size());
  std::size_t k = 0;
  for (const Point& p : points) {
    while (k >= 2 && Cross(hull[k - 2], hull[k - 1], p) <= 0) --k;
    hull[k++] = p;
  }
  for (std::size_t i = points.size() - 1, t = k + 1; i-- > 0;) {
    while (k >= t && Cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
    hull[k++] = points[i];
  }
  hull.resize(k > 1 ? k - 1 : k);
  return hull;
}

// The turned rectangle of a component: the smallest one around its convex
// hull (one side lies on a hull edge), so that the strokes inside a plate,
// holes in its light part, do not tilt it. The long side is the width.
// Width 0 when it is not plate shaped: wrong aspect, too little of the
// rectangle light, or turned by more than 45 degrees.
PlateQuad QuadOf(const std::vector<int>& pixels, int w, Range aspect, double fill_min = FILL_MIN) {
  const std::vector<Point> hull = Hull(pixels, w);
  PlateQuad q;
  if (hull.size() < 3) return q;
  double best = -1;
  for (std::size_t i = 0; i < hull.size(); ++i) {
    const Point& a = hull[i];
    const Point& b = hull[(i + 1) % hull.size()];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    if (length < 1e-9) continue;
    const double c = (b.x - a.x) / length, s = (b.y - a.y) / length;
    double u0 = 1e18, u1 = -1e18, v0 = 1e18, v1 = -1e18;
    for (const Point& p : hull) {
      const double u = p.x * c + p.y * s, v = -p.x * s + p.y * c;
      u0 = std::min(u0, u), u1 = std::max(u1, u), v0 = std::min(v0, v), v1 = std::max(v1, v);
    }
    const double area = (u1 - u0) * (v1 - v0);
    if (best >= 0 && area >= best) continue;
    best = area;
    const double mu = (u0 + u1) / 2, mv = (v0 + v1) / 2;
    q.cx = mu * c - mv * s;
    q.cy = mu * s + mv * c;
    q.width = u1 - u0;
    q.height = v1 - v0;
    q.angle = std::atan2(s, c);
  }
  if (q.height > q.width) {
    std::swap(q.width, q.height);
    q.angle += M_PI / 2;
  }
  // The long side's direction, folded into -90 to 90 degrees.
  while (q.angle > M_PI / 2) q.angle -= M_PI;
  while (q.angle <= -M_PI / 2) q.angle += M_PI;
  const double ratio = q.width / std::max(q.height, 1.0);
  const double fill = static_cast<double>(pixels.size()) / std::max(best, 1.0);
  if (ratio < aspect.lo || ratio > aspect.hi || fill < fill_min || std::abs(q.angle) > M_PI / 4) q.width = 0;
  return q;
}

// Pixels near strong vertical edges, joined along rows (the gaps between
// characters) and a little across them (the gap between a Japanese plate's
// lines): 1 where text may be.
std::vector<std::uint8_t> TextBlocks(const GreyImage& g, int join_x = TEXT_JOIN_X, int join_y = TEXT_JOIN_Y) {
  const int w = g.width, h = g.height;
  std::vector<std::uint8_t> edge(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 1; x + 1 < w; ++x) {
      edge[static_cast<std::size_t>(y * w + x)] = std::abs(g.At(x + 1, y) - g.At(x - 1, y)) >= EDGE_STEP ? 1 : 0;
    }
  }
  // Dilation along rows, then down columns, by running counts.
  std::vector<std::uint8_t> rows(edge.size(), 0), out(edge.size(), 0);
  for (int y = 0; y < h; ++y) {
    int count = 0;
    for (int x = -join_x; x < w; ++x) {
      if (x + join_x < w) count += edge[static_cast<std::size_t>(y * w + x + join_x)];
      if (x - join_x - 1 >= 0) count -= edge[static_cast<std::size_t>(y * w + x - join_x - 1)];
      if (x >= 0) rows[static_cast<std::size_t>(y * w + x)] = count > 0 ? 1 : 0;
    }
  }
  for (int x = 0; x < w; ++x) {
    int count = 0;
    for (int y = -join_y; y < h; ++y) {
      if (y + join_y < h) count += rows[static_cast<std::size_t>((y + join_y) * w + x)];
      if (y - join_y - 1 >= 0) count -= rows[static_cast<std::size_t>((y - join_y - 1) * w + x)];
      if (y >= 0) out[static_cast<std::size_t>(y * w + x)] = count > 0 ? 1 : 0;
    }
  }
  return out;
}

// Dark strokes of character size inside a quad.
int CountStrokes(const Plane& plane, const PlateQuad& quad) {
  const int h = STROKE_CHECK_HEIGHT;
  const int w = std::clamp(static_cast<int>(h * quad.width / std::max(quad.height, 1.0)), h, 6 * h);
  const GreyImage g = Rectify(plane, quad, w, h);
  const int t = OtsuThreshold(g);
  int strokes = 0;
  Components(
      w, h, [&](int p) { return g.pixels[static_cast<std::size_t>(p)] < t; },
      [&](const std::vector<int>& pixels) {
        int top = h, bottom = -1, left = w, right = -1;
        for (int p : pixels) {
          top = std::min(top, p / w), bottom = std::max(bottom, p / w);
          left = std::min(left, p % w), right = std::max(right, p % w);
        }
        const int height = bottom - top + 1;
        const bool inside = top > 0 && left > 0 && bottom < h - 1 && right < w - 1;
        if (inside && height >= STROKE_HEIGHT_MIN * h && height <= STROKE_HEIGHT_MAX * h && right - left < w / 2) {
          ++strokes;
        }
      },
      true);
  return strokes;
}

double Sample(const Plane& plane, double x, double y) {
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const double fx = x - x0, fy = y - y0;
  const double top = plane.Grey(x0, y0) * (1 - fx) + plane.Grey(x0 + 1, y0) * fx;
  const double bottom = plane.Grey(x0, y0 + 1) * (1 - fx) + plane.Grey(x0 + 1, y0 + 1) * fx;
  return top * (1 - fy) + bottom * fy;
}

Box Union(const Box& a, const Box& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  const int x = std::min(a.x, b.x), y = std::min(a.y, b.y);
  return Box{x, y, std::max(a.x + a.w, b.x + b.w) - x, std::max(a.y + a.h, b.y + b.h) - y};
}

// Boxes whose columns overlap become one (the parts of a kanji or kana).
std::vector<Box> MergedColumns(std::vector<Box> parts) {
  std::sort(parts.begin(), parts.end(), [](const Box& a, const Box& b) { return a.x < b.x; });
  std::vector<Box> out;
  for (const Box& b : parts) {
    if (!out.empty() && b.x < out.back().x + out.back().w) {
      out.back() = Union(out.back(), b);
    } else {
      out.push_back(b);
    }
  }
  return out;
}

}  // namespace

std::vector<Box> CharacterBoxes(const std::vector<Box>& parts, double widest) {
  int line = 0;
  for (const Box& b : parts) line = std::max(line, b.h);
  std::vector<Box> out;
  for (const Box& b : parts) {
    if (!out.empty() && Union(out.back(), b).w <= widest * line) {
      out.back() = Union(out.back(), b);
    } else {
      out.push_back(b);
    }
  }
  return out;
}

namespace {

// Splits boxes (left to right) at the widest gap between neighbours.
std::size_t WidestGap(const std::vector<Box>& boxes) {
  std::size_t at = boxes.size();
  int widest = -1;
  for (std::size_t i = 1; i < boxes.size(); ++i) {
    const int gap = boxes[i].x - (boxes[i - 1].x + boxes[i - 1].w);
    if (gap > widest) {
      widest = gap;
      at = i;
    }
  }
  return at;
}

// Parts of character size: at least this share of the tallest part's
// height (specks, dots and hyphens are less).
constexpr double LINE_PART_SHARE = 0.3;

}  // namespace

void SplitLines(const std::vector<Box>& parts, std::vector<Box>& upper, std::vector<Box>& lower) {
  upper = parts;
  lower.clear();
  int tallest = 0, top = INT32_MAX, bottom = -1;
  for (const Box& b : parts) tallest = std::max(tallest, b.h);
  std::vector<Box> big;
  for (const Box& b : parts) {
    if (b.h < LINE_PART_SHARE * tallest) continue;
    big.push_back(b);
    top = std::min(top, b.y), bottom = std::max(bottom, b.y + b.h);
  }
  if (big.size() < 2) return;
  // Rows that no character-sized part covers, in the middle half of the
  // text's height: the longest run of them parts the lines.
  std::vector<int> covered(static_cast<std::size_t>(bottom - top), 0);
  for (const Box& b : big) {
    for (int y = b.y; y < b.y + b.h; ++y) ++covered[static_cast<std::size_t>(y - top)];
  }
  const int span = bottom - top;
  int best = 0, split = -1;
  for (int y = span / 4; y < span * 3 / 4;) {
    if (covered[static_cast<std::size_t>(y)] != 0) {
      ++y;
      continue;
    }
    const int start = y;
    while (y < span && covered[static_cast<std::size_t>(y)] == 0) ++y;
    if (y - start > best) best = y - start, split = top + (start + y) / 2;
  }
  if (split < 0) return;
  upper.clear();
  for (const Box& b : parts) (b.y + b.h / 2 < split ? upper : lower).push_back(b);
  // Both lines hold characters: a lone part above or below is not a line.
  const auto characters = [&](const std::vector<Box>& line) {
    return std::count_if(line.begin(), line.end(), [&](const Box& b) { return b.h >= LINE_PART_SHARE * tallest; });
  };
  if (characters(upper) < 2 || characters(lower) < 2) {
    upper = parts;
    lower.clear();
  }
}

std::size_t ClassSplit(const std::vector<Box>& upper, int width) {
  int line = 0;
  for (const Box& b : upper) line = std::max(line, b.h);
  const auto centre = [&](const Box& b) { return b.x + b.w / 2.0; };
  const auto stroke = [&](const Box& b) { return b.w < CLASS_CHARACTER_WIDTH_MIN * line; };
  const auto class_like = [&](std::size_t from, double leftmost) {
    if (upper.size() - from > CLASS_CHARACTERS_MAX) return false;
    return std::all_of(upper.begin() + static_cast<std::ptrdiff_t>(from), upper.end(), [&](const Box& b) {
      return b.w <= CLASS_CHARACTER_WIDTH * line && !stroke(b) && centre(b) > leftmost * width;
    });
  };
  // The name's last character, before a split at `at`: a lone stroke
  // there (川's last) belongs to the one before it.
  const auto name_end = [&](std::size_t at) {
    std::size_t k = at - 1;
    while (k > 0 && stroke(upper[k])) --k;
    return upper[k];
  };
  // Only characters of a class number, all right of the middle: the name
  // left nothing to see.
  if (class_like(0, 0.5)) return 0;
  std::size_t best = upper.size();
  int widest = -1;
  for (std::size_t at = 1; at < upper.size(); ++at) {
    if (!class_like(at, CLASS_CENTRE_MIN) || centre(name_end(at)) >= REGION_CENTRE_MAX * width) continue;
    const int gap = upper[at].x - (upper[at - 1].x + upper[at - 1].w);
    if (gap > widest) widest = gap, best = at;
  }
  if (best < upper.size()) return best;
  // Nothing fits the layout: the widest gap, or a lone part by its side.
  if (upper.size() > 1) return WidestGap(upper);
  return centre(upper[0]) < width / 2.0 ? 1 : 0;
}

namespace {

void SetField(PlateLayout& layout, PlateField field, std::vector<Box> characters) {
  Box all;
  for (const Box& b : characters) all = Union(all, b);
  layout.fields[field] = all;
  layout.characters[field] = std::move(characters);
}

std::vector<std::uint32_t> CodePoints(std::string_view utf8) {
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const int length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    std::uint32_t c = length == 1 ? b : b & (0x7F >> length);
    for (int k = 1; k < length && i + static_cast<std::size_t>(k) < utf8.size(); ++k) {
      c = c << 6 | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
    }
    out.push_back(c);
    i += static_cast<std::size_t>(length);
  }
  return out;
}

int EditDistance(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  std::vector<int> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const int up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}

// The offices whose names appear on Japanese plates.
constexpr std::string_view kRegions[] = {
    "札幌", "函館", "旭川", "室蘭", "釧路", "帯広", "北見", "知床", "苫小牧", "青森", "八戸", "弘前", "岩手",
    "盛岡", "平泉", "宮城", "仙台", "秋田", "山形", "庄内", "福島", "会津", "郡山", "白河", "いわき", "水戸",
    "土浦", "つくば", "宇都宮", "とちぎ", "那須", "群馬", "前橋", "高崎", "大宮", "川口", "所沢", "川越",
    "熊谷", "春日部", "越谷", "千葉", "成田", "習志野", "市川", "船橋", "袖ヶ浦", "市原", "野田", "柏", "松戸",
    "品川", "世田谷", "練馬", "杉並", "板橋", "足立", "江東", "葛飾", "八王子", "多摩", "横浜", "川崎",
    "湘南", "相模", "山梨", "富士山", "新潟", "長岡", "上越", "長野", "松本", "諏訪", "富山", "石川", "金沢",
    "福井", "岐阜", "飛騨", "静岡", "浜松", "沼津", "伊豆", "名古屋", "豊橋", "三河", "岡崎", "豊田",
    "尾張小牧", "一宮", "春日井", "三重", "鈴鹿", "四日市", "滋賀", "京都", "大阪", "なにわ", "和泉", "堺",
    "神戸", "姫路", "奈良", "和歌山", "鳥取", "島根", "岡山", "倉敷", "広島", "福山", "山口", "下関", "徳島",
    "香川", "愛媛", "高知", "福岡", "北九州", "久留米", "筑豊", "佐賀", "長崎", "佐世保", "熊本", "大分",
    "宮崎", "鹿児島", "奄美", "沖縄",
};

}  // namespace

std::array<std::array<double, 2>, 4> PlateQuad::Corners() const {
  const double c = std::cos(angle), s = std::sin(angle);
  const double hw = width / 2, hh = height / 2;
  std::array<std::array<double, 2>, 4> out{};
  const double signs[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  for (int i = 0; i < 4; ++i) {
    const double u = signs[i][0] * hw, v = signs[i][1] * hh;
    out[static_cast<std::size_t>(i)] = {cx + u * c - v * s, cy + u * s + v * c};
  }
  return out;
}

int OtsuThreshold(const GreyImage& image) {
  std::array<double, 256> histogram{};
  for (std::uint8_t v : image.pixels) histogram[v] += 1;
  const double total = static_cast<double>(image.pixels.size());
  double sum = 0;
  for (int i = 0; i < 256; ++i) sum += i * histogram[static_cast<std::size_t>(i)];
  double below = 0, below_sum = 0, best = -1;
  int threshold = 128;
  for (int t = 0; t < 256; ++t) {
    below += histogram[static_cast<std::size_t>(t)];
    below_sum += t * histogram[static_cast<std::size_t>(t)];
    if (below == 0 || below == total) continue;
    const double m0 = below_sum / below, m1 = (sum - below_sum) / (total - below);
    const double between = below * (total - below) * (m0 - m1) * (m0 - m1);
    if (between > best) {
      best = between;
      threshold = t + 1;
    }
  }
  return threshold;
}

std::vector<PlateQuad> FindPlates(const Plane& plane, const Region& region, PlateStyle style, GreyImage* search,
                                  int* scale_out) {
  const Region r = Normalized(region);
  const int longest = std::max(r.x2 - r.x1 + 1, r.y2 - r.y1 + 1);
  const int scale = std::max(1, (longest + PLATE_WORK_SIDE - 1) / PLATE_WORK_SIDE);
  if (scale_out != nullptr) *scale_out = scale;
  return FindPlatesAt(plane, r, style, scale, search);
}

namespace {

// A block of text edges (joined by TextBlocks) in search pixels.
struct TextPiece {
  std::vector<int> pixels;
  Box box;
};

Box BoxOf(const std::vector<int>& pixels, int w) {
  int top = INT32_MAX, bottom = -1, left = INT32_MAX, right = -1;
  for (int p : pixels) {
    top = std::min(top, p / w), bottom = std::max(bottom, p / w);
    left = std::min(left, p % w), right = std::max(right, p % w);
  }
  return Box{left, top, right - left + 1, bottom - top + 1};
}

// Two blocks on one line of text: their rows overlap by half the lower
// one's height, and the gap between them is at most LINE_GAP times the
// taller one's height (a short serial's dots leave wide gaps).
bool SameLine(const Box& a, const Box& b) {
  const int overlap = std::min(a.y + a.h, b.y + b.h) - std::max(a.y, b.y);
  const int gap = std::max(a.x, b.x) - std::min(a.x + a.w, b.x + b.w);
  return overlap >= LINE_OVERLAP * std::min(a.h, b.h) && gap <= LINE_GAP * std::max(a.h, b.h);
}

// Japanese plate outlines (search pixels) from lines of text blocks.
std::vector<PlateQuad> TwoLineTexts(const std::vector<TextPiece>& pieces, int width) {
  // Lines: pieces joined while any two on one line are apart.
  std::vector<std::size_t> line(pieces.size());
  for (std::size_t i = 0; i < pieces.size(); ++i) line[i] = i;
  const auto root = [&](std::size_t i) {
    while (line[i] != i) i = line[i] = line[line[i]];
    return i;
  };
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    for (std::size_t k = i + 1; k < pieces.size(); ++k) {
      if (SameLine(pieces[i].box, pieces[k].box)) line[root(k)] = root(i);
    }
  }
  std::vector<Box> boxes(pieces.size());
  for (std::size_t i = 0; i < pieces.size(); ++i) boxes[root(i)] = Union(boxes[root(i)], pieces[i].box);
  std::vector<PlateQuad> out;
  for (std::size_t lower = 0; lower < pieces.size(); ++lower) {
    const Box& l = boxes[lower];
    if (root(lower) != lower || l.w < SERIAL_LINE_ASPECT_MIN * l.h) continue;
    for (std::size_t upper = 0; upper < pieces.size(); ++upper) {
      const Box& u = boxes[upper];
      if (root(upper) != upper || upper == lower) continue;
      const double centre = u.x + u.w / 2.0;
      if (u.h < UPPER_LINE_SHARE.lo * l.h || u.h > UPPER_LINE_SHARE.hi * l.h || centre < l.x || centre > l.x + l.w ||
          u.y + u.h / 2 >= l.y || l.y - (u.y + u.h) > LINES_GAP_MAX * l.h) {
        continue;
      }
      std::vector<int> pixels;
      for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (root(i) == lower || root(i) == upper) pixels.insert(pixels.end(), pieces[i].pixels.begin(), pieces[i].pixels.end());
      }
      PlateQuad q = QuadOf(pixels, width, kJapaneseTextAspect, 0);
      if (q.width <= 2 * TEXT_JOIN_X || q.height <= 2 * TEXT_JOIN_Y) continue;
      q.width = (q.width - 2 * TEXT_JOIN_X) * JP_WHOLE_TEXT_TO_PLATE_W;
      q.height = (q.height - 2 * TEXT_JOIN_Y) * JP_WHOLE_TEXT_TO_PLATE_H;
      out.push_back(q);
    }
  }
  return out;
}

std::vector<PlateQuad> FindPlatesAt(const Plane& plane, const Region& r, PlateStyle style, int scale,
                                    GreyImage* search) {
  const GreyImage g = Downsampled(plane, r, scale);
  const int threshold = OtsuThreshold(g);
  const Range aspect = style == PlateStyle::kJapanese ? kJapaneseAspect : kLatinAspect;
  const int min_width = std::max(PLATE_MIN_WIDTH / scale, 8);
  std::vector<PlateQuad> found;
  // A quad in search pixels, taken when it is new and holds strokes.
  const auto consider = [&](PlateQuad q) {
    if (q.width < min_width) return;
    q.cx = r.x1 + q.cx * scale;  // hull corners are pixel corners already
    q.cy = r.y1 + q.cy * scale;
    q.width *= scale;
    q.height *= scale;
    for (const PlateQuad& other : found) {
      // Seen already; a light area around the plate (a body as light as
      // it, that the plate is a hole in) is another candidate.
      const double ratio = q.width / std::max(other.width, 1.0);
      if (std::hypot(other.cx - q.cx, other.cy - q.cy) < other.height / 2 && ratio > 1 / SEEN_SIZE_RATIO &&
          ratio < SEEN_SIZE_RATIO) {
        return;
      }
    }
    q.strokes = CountStrokes(plane, q);
    if (q.strokes >= STROKES_MIN) found.push_back(q);
  };
  // Light parts at Otsu's threshold, then at levels on the way to white: a
  // light plate on a light car body, brighter below than above, only comes
  // apart at one of them.
  for (int step = 0; step < LIGHT_LEVELS; ++step) {
    const int t = threshold + (255 - threshold) * step / LIGHT_LEVELS;
    Components(
        g.width, g.height, [&](int p) { return g.pixels[static_cast<std::size_t>(p)] >= t; },
        [&](const std::vector<int>& pixels) {
          if (static_cast<int>(pixels.size()) >= min_width * min_width / 4) consider(QuadOf(pixels, g.width, aspect));
        });
  }
  // Where the plate's light does not stand apart from its surroundings (no
  // frame line, a light body), its characters still do: the vertical edges
  // of their strokes, joined into one block, give the text's rectangle,
  // grown to the plate around it.
  const std::vector<std::uint8_t> text = TextBlocks(g);
  std::vector<TextPiece> pieces;
  const Range text_aspect = style == PlateStyle::kJapanese ? kJapaneseTextAspect : kLatinTextAspect;
  const double grow_w = style == PlateStyle::kJapanese ? JP_TEXT_TO_PLATE_W : LATIN_TEXT_TO_PLATE_W;
  const double grow_h = style == PlateStyle::kJapanese ? JP_TEXT_TO_PLATE_H : LATIN_TEXT_TO_PLATE_H;
  Components(
      g.width, g.height, [&](int p) { return text[static_cast<std::size_t>(p)] != 0; },
      [&](const std::vector<int>& pixels) {
        if (style == PlateStyle::kJapanese && static_cast<int>(pixels.size()) >= min_width * min_width / PIECE_AREA_SHARE) {
          pieces.push_back(TextPiece{pixels, BoxOf(pixels, g.width)});
        }
        if (static_cast<int>(pixels.size()) < min_width * min_width / 8) return;
        PlateQuad q = QuadOf(pixels, g.width, text_aspect);
        q.width *= grow_w;
        q.height *= grow_h;
        consider(q);
      });
  // A Japanese plate's two lines lie further apart than the join above
  // bridges on a large plate, and its lower line, broken by the dots of a
  // short serial, may not make a block of plate shape either: its blocks
  // are gathered into lines, and a line of serial height with a line of
  // about a third of its height above it is the plate's whole text.
  if (style == PlateStyle::kJapanese) {
    for (const PlateQuad& q : TwoLineTexts(pieces, g.width)) consider(q);
    // Noise breaks lines into more blocks than that gathers: joined wider
    // as well, less the joining.
    const std::vector<std::uint8_t> wide = TextBlocks(g, WIDE_JOIN_X, WIDE_JOIN_Y);
    Components(
        g.width, g.height, [&](int p) { return wide[static_cast<std::size_t>(p)] != 0; },
        [&](const std::vector<int>& pixels) {
          if (static_cast<int>(pixels.size()) < min_width * min_width / 8) return;
          PlateQuad q = QuadOf(pixels, g.width, kJapaneseTextAspect);
          if (q.width <= 2 * WIDE_JOIN_X || q.height <= 2 * WIDE_JOIN_Y) return;
          q.width = (q.width - 2 * WIDE_JOIN_X) * JP_WHOLE_TEXT_TO_PLATE_W;
          q.height = (q.height - 2 * WIDE_JOIN_Y) * JP_WHOLE_TEXT_TO_PLATE_H;
          consider(q);
        });
  }
  std::stable_sort(found.begin(), found.end(), [](const PlateQuad& a, const PlateQuad& b) { return a.strokes > b.strokes; });
  if (found.size() > PLATE_CANDIDATES_MAX) found.resize(PLATE_CANDIDATES_MAX);
  if (search != nullptr) {
    *search = GreyImage(g.width, g.height);
    for (std::size_t i = 0; i < g.pixels.size(); ++i) search->pixels[i] = g.pixels[i] >= threshold ? 255 : 0;
  }
  return found;
}

}  // namespace

namespace {

// Whether a quad reaches the edge of the window it was found in, where the
// plane goes on: the window cut it, and the plate may be larger.
bool Clipped(const PlateQuad& q, const Region& window) {
  for (const auto& c : q.Corners()) {
    if ((window.x1 > 0 && c[0] <= window.x1 + CLIP_MARGIN) || (window.y1 > 0 && c[1] <= window.y1 + CLIP_MARGIN) ||
        (window.x2 < PLANE_WIDTH - 1 && c[0] >= window.x2 + 1 - CLIP_MARGIN) ||
        (window.y2 < PLANE_HEIGHT - 1 && c[1] >= window.y2 + 1 - CLIP_MARGIN)) {
      return true;
    }
  }
  return false;
}

}  // namespace

PlateQuad RefinePlate(const Plane& plane, const PlateQuad& quad, PlateStyle style) {
  // The window around the plate, on a grid so that outlines a few pixels
  // apart (as searches at other scales give) look at the same pixels.
  double x1 = 1e18, y1 = 1e18, x2 = -1e18, y2 = -1e18;
  for (const auto& c : quad.Corners()) {
    x1 = std::min(x1, c[0]), y1 = std::min(y1, c[1]), x2 = std::max(x2, c[0]), y2 = std::max(y2, c[1]);
  }
  const double grow = REFINE_MARGIN * std::max(quad.width, quad.height);
  const auto down = [](double v) { return static_cast<int>(std::floor(v / REFINE_GRID)) * REFINE_GRID; };
  const Region window = Normalized(Region{down(x1 - grow), down(y1 - grow), down(x2 + grow) + REFINE_GRID - 1,
                                          down(y2 + grow) + REFINE_GRID - 1});
  const int longest = std::max(window.x2 - window.x1 + 1, window.y2 - window.y1 + 1);
  const std::vector<PlateQuad> found = FindPlatesAt(plane, window, style, std::max(1, longest / REFINE_SIDE_MAX + 1),
                                                    nullptr);
  const PlateQuad* best = nullptr;
  double nearest = 0;
  for (const PlateQuad& q : found) {
    const double d = std::hypot(q.cx - quad.cx, q.cy - quad.cy);
    const double ratio = q.width / std::max(quad.width, 1.0);
    if (d > quad.height / 2 || ratio < 1 / REFINE_SIZE_RATIO || ratio > REFINE_SIZE_RATIO || Clipped(q, window)) continue;
    // A part of the plate (its light split at some level) holds fewer
    // strokes than the whole: the most strokes first, then the nearest.
    if (best == nullptr || q.strokes > best->strokes || (q.strokes == best->strokes && d < nearest)) {
      nearest = d;
      best = &q;
    }
  }
  return best != nullptr ? *best : quad;
}

GreyImage Rectify(const Plane& plane, const PlateQuad& quad, int width, int height) {
  GreyImage out(width, height);
  const double c = std::cos(quad.angle), s = std::sin(quad.angle);
  for (int j = 0; j < height; ++j) {
    const double v = ((j + 0.5) / height - 0.5) * quad.height;
    for (int i = 0; i < width; ++i) {
      const double u = ((i + 0.5) / width - 0.5) * quad.width;
      const double x = quad.cx + u * c - v * s - 0.5, y = quad.cy + u * s + v * c - 0.5;
      out.At(i, j) = static_cast<std::uint8_t>(std::lround(std::clamp(Sample(plane, x, y), 0.0, 255.0)));
    }
  }
  return out;
}

void RectifiedSize(const PlateQuad& quad, PlateStyle style, int& width, int& height) {
  if (style == PlateStyle::kJapanese) {
    width = PLATE_JP_WIDTH;
    height = PLATE_JP_HEIGHT;
    return;
  }
  height = PLATE_LATIN_HEIGHT;
  width = std::clamp(static_cast<int>(std::lround(height * quad.width / std::max(quad.height, 1.0))), height,
                     PLATE_LATIN_WIDTH_MAX);
}

PlateLayout SegmentPlate(const GreyImage& rectified, PlateStyle style) {
  PlateLayout layout;
  const int w = rectified.width, h = rectified.height;
  layout.binary = GreyImage(w, h);
  layout.grey = rectified;
  if (rectified.Empty()) return layout;
  const int t = OtsuThreshold(rectified);
  std::vector<Box> parts;
  std::vector<std::pair<Box, std::vector<int>>> small;  // parts of a speck's size
  Components(
      w, h, [&](int p) { return rectified.pixels[static_cast<std::size_t>(p)] < t; },
      [&](const std::vector<int>& pixels) {
        int top = h, bottom = -1, left = w, right = -1;
        for (int p : pixels) {
          top = std::min(top, p / w), bottom = std::max(bottom, p / w);
          left = std::min(left, p % w), right = std::max(right, p % w);
        }
        const bool edge = top == 0 || left == 0 || bottom == h - 1 || right == w - 1;
        if (edge || right - left > FRAME_WIDTH * w) return;
        const double area = static_cast<double>(pixels.size());
        if (area < NOISE_AREA * w * h) {
          if (area >= SMALL_PART_AREA * w * h && style == PlateStyle::kJapanese) {
            small.push_back({Box{left, top, right - left + 1, bottom - top + 1}, pixels});
          }
          return;
        }
        for (int p : pixels) layout.binary.pixels[static_cast<std::size_t>(p)] = 0;
        parts.push_back(Box{left, top, right - left + 1, bottom - top + 1});
      },
      true);
  // Dots of a kanji of the region name (the four of 熊's foot) are as
  // small as specks: kept where they lie under or over a character's
  // columns, close to it.
  for (const auto& speck : small) {
    const Box& dot = speck.first;
    const std::vector<int>& pixels = speck.second;
    const bool attached = std::any_of(parts.begin(), parts.end(), [&](const Box& b) {
      const int columns = std::min(dot.x + dot.w, b.x + b.w) - std::max(dot.x, b.x);
      const int apart = std::max(dot.y, b.y) - std::min(dot.y + dot.h, b.y + b.h);
      return b.y + b.h < h / 2 && columns > 0 && apart <= DOT_DISTANCE * b.h;
    });
    if (!attached) continue;
    for (int p : pixels) layout.binary.pixels[static_cast<std::size_t>(p)] = 0;
    parts.push_back(dot);
  }
  // A plate holds a few dozen parts at most; a picture broken into more is
  // texture, not characters.
  if (parts.empty() || parts.size() > PARTS_MAX) return layout;
  // Strokes black, ground white in the grey copy as well.
  double dark = 0, light = 0, dark_n = 0, light_n = 0;
  for (std::size_t i = 0; i < rectified.pixels.size(); ++i) {
    if (rectified.pixels[i] < t) {
      dark += rectified.pixels[i], ++dark_n;
    } else {
      light += rectified.pixels[i], ++light_n;
    }
  }
  dark /= std::max(dark_n, 1.0);
  light /= std::max(light_n, 1.0);
  if (light - dark > 1) {
    for (std::uint8_t& v : layout.grey.pixels) {
      v = static_cast<std::uint8_t>(std::lround(std::clamp((v - dark) * 255 / (light - dark), 0.0, 255.0)));
    }
  }
  if (style == PlateStyle::kLatin) {
    // Lines first: characters of two lines share columns, and merging
    // those would stack them into one.
    std::vector<Box> upper, lower;
    SplitLines(parts, upper, lower);
    SetField(layout, FIELD_LATIN_FIRST, MergedColumns(upper));
    SetField(layout, FIELD_LATIN_SECOND, MergedColumns(lower));
    return layout;
  }
  // The two lines part where the fewest dark pixels are, between 30 % and
  // 60 % of the height; the middle of the emptiest run.
  std::vector<int> profile(static_cast<std::size_t>(h), 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) profile[static_cast<std::size_t>(y)] += layout.binary.At(x, y) == 0 ? 1 : 0;
  }
  const int band_top = h * 3 / 10, band_bottom = h * 6 / 10;
  const int fewest = *std::min_element(profile.begin() + band_top, profile.begin() + band_bottom + 1);
  int split = h / 2, longest = 0;
  for (int y = band_top; y <= band_bottom;) {
    if (profile[static_cast<std::size_t>(y)] != fewest) {
      ++y;
      continue;
    }
    const int start = y;
    while (y <= band_bottom && profile[static_cast<std::size_t>(y)] == fewest) ++y;
    if (y - start > longest) {
      longest = y - start;
      split = (start + y) / 2;
    }
  }
  std::vector<Box> upper, lower;
  for (const Box& b : parts) (b.y + b.h / 2 < split ? upper : lower).push_back(b);
  upper = MergedColumns(upper);
  lower = MergedColumns(lower);
  if (!upper.empty()) {
    const std::size_t at = ClassSplit(upper, w);
    SetField(layout, FIELD_REGION, std::vector<Box>(upper.begin(), upper.begin() + static_cast<std::ptrdiff_t>(at)));
    SetField(layout, FIELD_CLASS, std::vector<Box>(upper.begin() + static_cast<std::ptrdiff_t>(at), upper.end()));
  }
  if (!lower.empty()) {
    // The hiragana stands alone at the left, in the first fifth: all the
    // parts there of more than a dot's height (ほ, け, い are several).
    int tallest = 0;
    for (const Box& b : lower) tallest = std::max(tallest, b.h);
    std::size_t at = 0;
    while (at < lower.size() && lower[at].x + lower[at].w / 2.0 < KANA_CENTRE_MAX * w &&
           lower[at].h >= KANA_HEIGHT_MIN * tallest) {
      ++at;
    }
    if (at == lower.size()) at = 0;  // nothing right of it: no serial, no kana
    SetField(layout, FIELD_KANA, std::vector<Box>(lower.begin(), lower.begin() + static_cast<std::ptrdiff_t>(at)));
    SetField(layout, FIELD_SERIAL, std::vector<Box>(lower.begin() + static_cast<std::ptrdiff_t>(at), lower.end()));
  }
  SetField(layout, FIELD_REGION, CharacterBoxes(layout.characters[FIELD_REGION], REGION_CHARACTER_WIDTH));
  return layout;
}

void MoveClassToRegion(PlateLayout& layout, std::size_t count) {
  std::vector<Box> region = layout.characters[FIELD_REGION];
  std::vector<Box> klass = layout.characters[FIELD_CLASS];
  count = std::min(count, klass.size());
  region.insert(region.end(), klass.begin(), klass.begin() + static_cast<std::ptrdiff_t>(count));
  klass.erase(klass.begin(), klass.begin() + static_cast<std::ptrdiff_t>(count));
  SetField(layout, FIELD_REGION, CharacterBoxes(region, REGION_CHARACTER_WIDTH));
  SetField(layout, FIELD_CLASS, std::move(klass));
}

// The plate's grey (stretched by SegmentPlate: strokes black, ground white)
// at a point between pixels, bilinear; the binary picture where there is no
// grey one. Grey keeps the strokes' shape under blur better than the
// thresholded picture does.
std::uint8_t GreyAt(const PlateLayout& layout, double x, double y) {
  const GreyImage& g = layout.grey.Empty() ? layout.binary : layout.grey;
  const int x0 = std::clamp(static_cast<int>(std::floor(x)), 0, g.width - 1);
  const int y0 = std::clamp(static_cast<int>(std::floor(y)), 0, g.height - 1);
  const int x1 = std::min(x0 + 1, g.width - 1), y1 = std::min(y0 + 1, g.height - 1);
  const double fx = std::clamp(x - x0, 0.0, 1.0), fy = std::clamp(y - y0, 0.0, 1.0);
  const double v = (g.At(x0, y0) * (1 - fx) + g.At(x1, y0) * fx) * (1 - fy) + (g.At(x0, y1) * (1 - fx) + g.At(x1, y1) * fx) * fy;
  return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
}

GreyImage FieldPicture(const PlateLayout& layout, const std::vector<Box>& characters, int height) {
  if (characters.empty() || layout.binary.Empty()) return {};
  Box all;
  int tallest = 1;
  for (const Box& b : characters) all = Union(all, b), tallest = std::max(tallest, b.h);
  double zoom = static_cast<double>(height) / tallest;
  double spread = 0;
  for (const Box& b : characters) spread += b.w;
  // Many wide, flat parts (not a plate's characters) stay within bounds.
  zoom = std::min(zoom, FIELD_PICTURE_WIDTH_MAX / std::max(spread, 1.0));
  const int margin = std::max(static_cast<int>(height * FIELD_MARGIN * 2), 4);
  const int gap = std::max(static_cast<int>(height * FIELD_MARGIN), 2);
  int w = 2 * margin - gap;
  for (const Box& b : characters) w += static_cast<int>(std::lround(b.w * zoom)) + gap;
  const int h = static_cast<int>(std::lround(all.h * zoom)) + 2 * margin;
  GreyImage out(w, h);
  int left = margin;
  for (const Box& b : characters) {
    const int bw = static_cast<int>(std::lround(b.w * zoom));
    const int top = margin + static_cast<int>(std::lround((b.y - all.y) * zoom));
    const int bh = static_cast<int>(std::lround(b.h * zoom));
    for (int y = 0; y < bh && top + y < h; ++y) {
      const double sy = std::clamp(b.y + (y + 0.5) / zoom - 0.5, static_cast<double>(b.y), b.y + b.h - 1.0);
      for (int x = 0; x < bw; ++x) {
        const double sx = std::clamp(b.x + (x + 0.5) / zoom - 0.5, static_cast<double>(b.x), b.x + b.w - 1.0);
        out.At(left + x, top + y) = GreyAt(layout, sx, sy);
      }
    }
    left += bw + gap;
  }
  return out;
}

std::vector<Box> TallCharacters(const std::vector<Box>& characters, double share) {
  int tallest = 0;
  for (const Box& b : characters) tallest = std::max(tallest, b.h);
  std::vector<Box> out;
  for (const Box& b : characters) {
    if (b.h >= share * tallest) out.push_back(b);
  }
  return out;
}

const std::string& RegionCharacters() {
  static const std::string characters = [] {
    std::vector<std::uint32_t> seen;
    std::string out;
    for (std::string_view name : kRegions) {
      std::size_t at = 0;
      for (std::uint32_t c : CodePoints(name)) {
        const std::size_t length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (std::find(seen.begin(), seen.end(), c) == seen.end()) {
          seen.push_back(c);
          out += name.substr(at, length);
        }
        at += length;
      }
    }
    return out;
  }();
  return characters;
}

namespace {

// Letter (L) and digit (D) places of common plate formats; ' ' parts
// groups, '|' lines.
constexpr std::string_view kLatinFormats[] = {
    "LLDD LLL", "LDDD LLL", "LLL DDDL", "DLLLDDD", "LLL DDDD", "LLL DDD", "LL DDDD",
    "LL DDD LL", "LLL|DDDD", "LLDD|LLL", "LL DD|LLL", "LL|DDDD",
};

// The lines of a text parted by '|', each without spaces unless `spaces`.
std::vector<std::string> LatinLines(std::string_view text, bool spaces) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '|') {
      lines.emplace_back();
    } else if (c != ' ' || spaces) {
      lines.back() += c;
    }
  }
  return lines;
}

// What reading `read` in `format`'s places costs: a character per place
// of the other class or read as a letter plates leave out; -1 when the
// shape differs or a character is no look-alike of its place's class.
int FormatCost(std::string_view read, std::string_view format, bool groups_known, std::string& places) {
  const std::vector<std::string> r = LatinLines(read, groups_known), f = LatinLines(format, groups_known);
  if (r.size() != f.size()) return -1;
  int cost = 0;
  places.clear();
  for (std::size_t i = 0; i < r.size(); ++i) {
    if (r[i].size() != f[i].size()) return -1;
    for (std::size_t k = 0; k < r[i].size(); ++k) {
      const char c = r[i][k], place = f[i][k];
      if (place == ' ' || c == ' ') {
        if (place != c) return -1;
        continue;
      }
      const bool digit = c >= '0' && c <= '9';
      if (digit != (place == 'D')) {
        if (LatinLookAlike(c, place) == 0) return -1;
        ++cost;
      } else if (c == 'I' || c == 'O' || c == 'Q') {
        ++cost;
      }
      places += place;
    }
  }
  return cost;
}

}  // namespace

char LatinLookAlike(char c, char place) {
  constexpr std::string_view kLetters = "ODQUIJTLZSBGAE";
  constexpr std::string_view kDigits  = "00001111258643";
  if (place == 'D') {
    const std::size_t at = kLetters.find(c);
    return at == std::string_view::npos ? 0 : kDigits[at];
  }
  // A digit in a letter place: the letter most like it (0 as O, 1 as I).
  constexpr std::string_view kFromDigits = "0123456789";
  constexpr std::string_view kAsLetters = "OIZ-ASG-B-";  // '-': none near enough
  const std::size_t at = kFromDigits.find(c);
  return at == std::string_view::npos || kAsLetters[at] == '-' ? 0 : kAsLetters[at];
}

std::string LatinPlaces(std::string_view read, bool groups_known) {
  int best = -1;
  std::string chosen, places;
  bool tied = false;
  for (std::string_view format : kLatinFormats) {
    const int cost = FormatCost(read, format, groups_known, places);
    if (cost < 0) continue;
    if (best < 0 || cost < best) {
      best = cost, chosen = places, tied = false;
    } else if (cost == best && places != chosen) {
      tied = true;
    }
  }
  return best < 0 || tied ? std::string() : chosen;
}

std::string FormatSerial(const std::string& digits) {
  if (digits.empty() || digits.size() > 4 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return digits;
  }
  if (digits.size() == 4) return digits.substr(0, 2) + "-" + digits.substr(2);
  std::string out;
  for (std::size_t i = digits.size(); i < 4; ++i) out += "\x81\x45";  // middle dot
  return out + digits;
}

std::string NearestRegion(const std::string& utf8, int& distance) {
  // Only kana and kanji count: a stray mark beside the name is dropped.
  std::vector<std::uint32_t> read;
  for (std::uint32_t c : CodePoints(utf8)) {
    if (c >= 0x3040 && c < 0xA000) read.push_back(c);
  }
  std::string best;
  bool tied = false;
  distance = 1 << 20;
  for (std::string_view name : kRegions) {
    const int d = EditDistance(read, CodePoints(name));
    if (d < distance) {
      distance = d;
      best = name;
      tied = false;
    } else if (d == distance) {
      tied = true;
    }
  }
  // Two offices as near as each other: the read does not tell which.
  if (read.empty() || tied || 2 * distance > static_cast<int>(CodePoints(best).size())) {
    distance = 1 << 20;
    return {};
  }
  return best;
}

}  // namespace vx::recognition
