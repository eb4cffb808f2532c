// Parsers of the files scripts read back: saved values, string-array files,
// SortList input and the registry store. The first byte picks the parser.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files/saved_files.hpp"
#include "files/sort_list.hpp"
#include "system/registry_store.hpp"

namespace {

void SavedValues(std::string_view bytes) {
  std::size_t total = 0;
  bool tab_names = false;  // no resource name holds a tab; such lines need not round-trip
  const auto report =
      vx::api::saved::ParseSavedValues(bytes, [&](std::string_view name, std::string_view value) {
        total += name.size() + value.size();
        tab_names |= name.find('\t') != std::string_view::npos;
      });
  // Whatever was read must write back to a file that reads the same.
  std::string again;
  vx::api::saved::ParseSavedValues(bytes, [&](std::string_view name, std::string_view value) {
    vx::api::saved::AppendSavedValue(again, name, value);
  });
  std::size_t total_again = 0;
  vx::api::saved::ParseSavedValues(again, [&](std::string_view name, std::string_view value) {
    total_again += name.size() + value.size();
  });
  if (report.too_long == 0 && !tab_names && total_again != total) __builtin_trap();
}

void StrArray(std::string_view bytes) {
  const auto parsed = vx::api::saved::ParseStrArrayLines(bytes, 500, 1022);
  for (const std::string& line : parsed.lines)
    if (line.size() > 1022) __builtin_trap();
}

void SortList(std::string_view bytes) {
  if (bytes.size() < 2) return;
  const std::string_view start = bytes.substr(0, 1);
  const std::string_view end = bytes.substr(1, 1);
  std::vector<std::string> lines;
  vx::api::saved::ForEachRawLine(bytes.substr(2), [&](std::string_view line) {
    lines.emplace_back(line);
    return lines.size() < 10000;
  });
  vx::api::SortLines(lines, start, end, (bytes[0] & 1) != 0);
  vx::api::JoinLines(lines);
}

void Registry(std::string_view bytes) {
  vx::api::registry::Store store;
  int bad_line = 0;
  if (!store.Parse(bytes, &bad_line)) return;
  // A store that was read writes out as a file that reads the same.
  const std::string text = store.Serialize();
  vx::api::registry::Store again;
  if (!again.Parse(text, &bad_line) || again.Serialize() != text) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 4) {
    case 0: SavedValues(bytes); break;
    case 1: StrArray(bytes); break;
    case 2: SortList(bytes); break;
    case 3: Registry(bytes); break;
  }
  return 0;
}
