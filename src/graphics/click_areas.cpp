#include "graphics/click_areas.hpp"

#include <algorithm>
#include <cmath>

namespace vx::graphics {
namespace {

constexpr std::array<std::string_view, 8> kItemNames = {"frmS", "frm", "fill", "col",
                                                        "icon", "cap",  "str",  "bmp"};

// The item name starting at text[pos] (just after a '$'), including its
// ':' in the returned length; 0 when none.
std::size_t MatchItem(std::string_view text, std::size_t pos, std::string_view* name) {
  for (std::string_view n : kItemNames) {
    if (text.substr(pos, n.size()) == n && pos + n.size() < text.size() && text[pos + n.size()] == ':') {
      *name = n;
      return n.size() + 1;
    }
  }
  return 0;
}

}  // namespace

bool Contains(const ClickArea& a, std::int64_t x, std::int64_t y) {
  if (x < a.left || x > a.right || y < a.top || y > a.bottom) return false;
  if (a.shape != CLICK_SHAPE_CIRCLE) return true;
  const std::int64_t cx = (static_cast<std::int64_t>(a.left) + a.right) / 2;
  const std::int64_t cy = (static_cast<std::int64_t>(a.top) + a.bottom) / 2;
  const std::int64_t r = std::min(static_cast<std::int64_t>(a.bottom) - a.top,
                                  static_cast<std::int64_t>(a.right) - a.left) / 2;
  // A full-plane area puts corners 2^31 from the centre on both axes: the
  // sum of the squares does not fit a signed 64-bit value.
  const std::int64_t dx = x - cx;
  const std::int64_t dy = y - cy;
  using Wide = __int128;
  return static_cast<Wide>(dx * dx) + static_cast<Wide>(dy * dy) < static_cast<Wide>(r * r);
}

bool TakesPart(const ClickArea& a, std::uint32_t mask) {
  return a.Used() && (mask == 0 || (a.group & mask) != 0);
}

void ClickAreas::Set(int index, std::int32_t left, std::int32_t top, std::int32_t right,
                     std::int32_t bottom, std::string_view text, std::int32_t active,
                     std::uint32_t group, std::int32_t extra) {
  ClickArea& a = At(index);
  a.left = left;
  a.top = top;
  a.right = right;
  a.bottom = bottom;
  a.text.assign(text.substr(0, CLICK_AREA_TEXT_MAX));
  a.active = active;
  a.shape = CLICK_SHAPE_RECTANGLE;
  a.group = group;
  a.extra = extra;
}

const ClickArea ClickAreas::kUnused{};

void ClickAreas::ClearAll() {
  if (!areas_) return;
  for (ClickArea& a : *areas_) a = ClickArea{};
}

int ClickAreas::FirstHit(std::int64_t x, std::int64_t y, std::uint32_t mask) const {
  for (int i = 0; i < CLICK_AREA_COUNT; ++i) {
    if (TakesPart(At(i), mask) && Contains(At(i), x, y)) return i;
  }
  return -1;
}

std::vector<int> ClickAreas::AllHits(std::int64_t x, std::int64_t y, std::uint32_t mask) const {
  std::vector<int> hits;
  for (int i = 0; i < CLICK_AREA_COUNT; ++i) {
    if (TakesPart(At(i), mask) && Contains(At(i), x, y)) hits.push_back(i);
  }
  return hits;
}

int ClickAreas::Nearest(std::int64_t x, std::int64_t y, std::uint32_t mask, std::int64_t max_distance,
                        std::int64_t* distance) const {
  // Offsets reach 2^33 between 32-bit corners and script points, so their
  // squares need more than 64 bits.
  using Wide = unsigned __int128;
  int best = -1;
  Wide best_d2 = 0;
  for (int i = 0; i < CLICK_AREA_COUNT; ++i) {
    const ClickArea& a = At(i);
    if (!TakesPart(a, mask)) continue;
    Wide d2 = 0;
    if (!Contains(a, x, y)) {
      const auto dx = static_cast<Wide>(std::max<std::int64_t>({a.left - x, 0, x - a.right}));
      const auto dy = static_cast<Wide>(std::max<std::int64_t>({a.top - y, 0, y - a.bottom}));
      d2 = dx * dx + dy * dy;
      if (d2 == 0) d2 = 1;  // in the rectangle but outside its circle
    }
    if (best < 0 || d2 < best_d2) {
      best = i;
      best_d2 = d2;
    }
  }
  if (best < 0) return -1;
  // The distance rounded up (a partly covered pixel counts): a floating
  // estimate, then corrected to the exact ceiling of the square root.
  auto d = static_cast<std::int64_t>(std::sqrt(static_cast<double>(best_d2)));
  while (d > 0 && static_cast<Wide>(d) * static_cast<Wide>(d) >= best_d2) --d;
  while (static_cast<Wide>(d) * static_cast<Wide>(d) < best_d2) ++d;
  if (max_distance >= 0 && d > max_distance) return -1;
  if (distance != nullptr) *distance = d;
  return best;
}

std::vector<IconItem> ParseIconItems(std::string_view text) {
  std::vector<IconItem> items;
  std::size_t value_start = std::string_view::npos;
  std::string_view current;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '$') continue;
    std::string_view name;
    const std::size_t len = MatchItem(text, i + 1, &name);
    if (len == 0) continue;
    if (value_start != std::string_view::npos) {
      items.push_back(IconItem{current, text.substr(value_start, i - value_start)});
    }
    current = name;
    value_start = i + 1 + len;
    i = value_start - 1;
  }
  if (value_start != std::string_view::npos) items.push_back(IconItem{current, text.substr(value_start)});
  return items;
}

bool FindIconItem(std::string_view text, std::string_view name, std::string_view* value) {
  for (const IconItem& item : ParseIconItems(text)) {
    if (item.name == name) {
      *value = item.value;
      return true;
    }
  }
  return false;
}

}  // namespace vx::graphics
