#pragma once
// Click areas: hot spots on the drawing surface with a text that describes
// how they look (DrawIcon) and what they mean to the script. The window's
// left-button handler and the hover check hit-test them with FirstHit.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vx::graphics {

inline constexpr int CLICK_AREA_COUNT = 500;
inline constexpr std::size_t CLICK_AREA_TEXT_MAX = 1023;  // bytes kept of a text
inline constexpr std::int32_t CLICK_SHAPE_RECTANGLE = 0;
inline constexpr std::int32_t CLICK_SHAPE_CIRCLE = 3;

struct ClickArea {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  std::string text;
  std::int32_t active = 0;  // the area is in use while this is not 0
  std::int32_t shape = CLICK_SHAPE_RECTANGLE;
  std::uint32_t group = 0;
  std::int32_t extra = 0;

  bool Used() const { return active != 0; }
};

// The grid IconArrange lays areas out on.
struct IconGrid {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t cell_width = 64;
  std::int32_t cell_height = 64;
  std::int32_t columns = 8;
  std::int32_t gap_x = 8;
  std::int32_t gap_y = 8;
};

// Whether the point is in the area: inside its rectangle (edges included)
// and, for a circle, strictly inside the circle centred in the rectangle
// with half the shorter side as radius.
bool Contains(const ClickArea& area, std::int64_t x, std::int64_t y);
// Whether the area takes part in a search with this group mask (0 = all).
bool TakesPart(const ClickArea& area, std::uint32_t mask);

class ClickAreas {
 public:
  static bool ValidIndex(std::int64_t index) { return index >= 0 && index < CLICK_AREA_COUNT; }
  ClickArea& At(int index) { return Areas()[static_cast<std::size_t>(index)]; }
  const ClickArea& At(int index) const {
    return areas_ ? (*areas_)[static_cast<std::size_t>(index)] : kUnused;
  }

  void Set(int index, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
           std::string_view text, std::int32_t active, std::uint32_t group, std::int32_t extra);
  void Clear(int index) {
    if (areas_) (*areas_)[static_cast<std::size_t>(index)] = ClickArea{};
  }
  void ClearAll();

  // The first area (by index) that takes part and contains the point, or -1.
  int FirstHit(std::int64_t x, std::int64_t y, std::uint32_t mask) const;
  // Every such area, in index order.
  std::vector<int> AllHits(std::int64_t x, std::int64_t y, std::uint32_t mask) const;
  // The area nearest to the point (0 inside it; ties to the lower index)
  // within `max_distance` (negative: any distance), or -1.
  int Nearest(std::int64_t x, std::int64_t y, std::uint32_t mask, std::int64_t max_distance,
              std::int64_t* distance) const;

  IconGrid grid;

 private:
  using Table = std::array<ClickArea, CLICK_AREA_COUNT>;
  Table& Areas() {
    if (!areas_) areas_ = std::make_unique<Table>();
    return *areas_;
  }

  // Made when a script first sets an area: most never do, and the table is
  // 32 KB that every start would otherwise write.
  std::unique_ptr<Table> areas_;
  static const ClickArea kUnused;
};

// One "$name:value" item of an area's text.
struct IconItem {
  std::string_view name;   // "frm", "frmS", "fill", "col", "icon", "cap", "str", "bmp"
  std::string_view value;  // up to the next item or the end
};
// The items of the text in order. Text before the first item and unknown
// "$...:" sequences belong to the value before them.
std::vector<IconItem> ParseIconItems(std::string_view text);
// The value of the first item with this name, or nullopt-like false.
bool FindIconItem(std::string_view text, std::string_view name, std::string_view* value);

}  // namespace vx::graphics
