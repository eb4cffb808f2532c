#include "api/api_table.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

#include "api/api_ids.hpp"

namespace vx::api {
namespace {

constexpr bool StoredInIdOrder() {
  for (std::size_t i = 0; i < kApiEntries.size(); ++i) {
    if (kApiEntries[i].id != static_cast<int>(i) + 1) return false;
  }
  return true;
}
static_assert(StoredInIdOrder(), "the table is kept in id order: position = id - 1");

// Positions in the table in the order of their names, worked out by the
// compiler: a lookup is a binary search with nothing built at run time.
constexpr std::array<std::uint16_t, API_COUNT> PositionsByName() {
  std::array<std::uint16_t, API_COUNT> positions{};
  for (std::size_t i = 0; i < positions.size(); ++i) positions[i] = static_cast<std::uint16_t>(i);
  std::sort(positions.begin(), positions.end(),
            [](std::uint16_t a, std::uint16_t b) { return kApiEntries[a].name < kApiEntries[b].name; });
  return positions;
}
constexpr std::array<std::uint16_t, API_COUNT> kPositionsByName = PositionsByName();

constexpr bool NamesUnique() {
  for (std::size_t i = 1; i < kPositionsByName.size(); ++i) {
    if (kApiEntries[kPositionsByName[i - 1]].name == kApiEntries[kPositionsByName[i]].name) return false;
  }
  return true;
}
static_assert(NamesUnique(), "each name finds one entry");

}  // namespace

std::span<const ApiEntry> Table() { return kApiEntries; }

std::string_view NameOf(int id) {
  if (id < API_ID_MIN || id > API_ID_MAX) return {};
  return kApiEntries[id - 1].name;
}

std::optional<ApiLookup> LookupApi(std::string_view name) {
  const auto it = std::lower_bound(kPositionsByName.begin(), kPositionsByName.end(), name,
                                   [](std::uint16_t position, std::string_view n) {
                                     return kApiEntries[position].name < n;
                                   });
  if (it == kPositionsByName.end() || kApiEntries[*it].name != name) return std::nullopt;
  const int id = kApiEntries[*it].id;
  return ApiLookup{id, id - 1};
}

}  // namespace vx::api
