#pragma once
// The API table: every built-in function's name and id, and the dispatcher
// that runs an id's handler. Families register their handlers by id.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vx {

struct Runtime;
struct ArgumentCache;

inline constexpr int API_ID_MIN = 1;
// Ids 1 to 597 are the table that scripts written on Windows use, kept as
// they are; ids from 598 on are this program's own additions.
inline constexpr int API_ID_INHERITED_MAX = 597;
inline constexpr int API_ID_MAX = 601;
inline constexpr int API_COUNT = 601;

struct ApiEntry {
  std::string_view name;
  int id;
};

struct ApiLookup {
  int id;
  int position;  // index in the stored table
};

// Ids that have a name but no implementation: the network family and the
// SMPT_ family. They keep their ids and never dispatch.
inline constexpr bool IsWithoutImplementation(int id) {
  return (id >= 191 && id <= 203) || (id >= 577 && id <= 583);
}

namespace api {

// All API_COUNT entries in their stored order, which is id order: entry k
// has id k + 1, so a position is id - 1.
std::span<const ApiEntry> Table();
// The name of an id, or empty for ids outside 1 to API_ID_MAX.
std::string_view NameOf(int id);
// Exact, case-sensitive lookup.
std::optional<ApiLookup> LookupApi(std::string_view name);

class Call;
using Handler = void (*)(Call& call);

// Runs the handler of `id` with the argument text. Returns 0, touching
// nothing, when the id is outside 1 to API_ID_MAX, not provided, or its family is
// not built; 1 when the handler ran (its success is in G_ERROR and outputs).
// `cache`, when given, keeps the argument text's split and compiled numeric
// arguments between calls of the same procedure.
int Dispatch(Runtime& rt, int id, std::string_view args, ArgumentCache* cache = nullptr);

// Whether Dispatch of `id` runs a handler.
bool IsProvided(int id);

}  // namespace api
}  // namespace vx
