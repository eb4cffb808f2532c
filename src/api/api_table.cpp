#include "api/api_table.hpp"

#include <unordered_map>

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

// Built on first use and never changed afterwards; the names are unique, so
// a hash lookup finds the same entry as a search of the table would.
const std::unordered_map<std::string_view, int>& IdsByName() {
  static const std::unordered_map<std::string_view, int> ids = [] {
    std::unordered_map<std::string_view, int> map;
    map.reserve(kApiEntries.size());
    for (const ApiEntry& entry : kApiEntries) map.emplace(entry.name, entry.id);
    return map;
  }();
  return ids;
}

}  // namespace

std::span<const ApiEntry> Table() { return kApiEntries; }

std::string_view NameOf(int id) {
  if (id < API_ID_MIN || id > API_ID_MAX) return {};
  return kApiEntries[id - 1].name;
}

std::optional<ApiLookup> LookupApi(std::string_view name) {
  const auto& ids = IdsByName();
  const auto it = ids.find(name);
  if (it == ids.end()) return std::nullopt;
  return ApiLookup{it->second, it->second - 1};
}

}  // namespace vx::api
