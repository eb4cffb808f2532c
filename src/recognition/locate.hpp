#pragma once
// The locating pass of the barcode reader: the plane is cut into 24 x 24
// cells; a cell looks like code when its grey range reaches the contrast and
// it has, on average, a dark-light change on each of its rows and columns.
// The largest 4-connected group of such cells, grown by two cells on each
// side (room for the quiet zones), is the decode region.
#include <optional>

#include "recognition/store.hpp"

namespace vx::recognition {

inline constexpr int SEARCH_BLOCK = 24;

// The decode region; nullopt when no cell qualifies.
std::optional<Region> LocateCode(const Plane& plane, int contrast);

}  // namespace vx::recognition
