#include "files/sort_list.hpp"

#include <algorithm>

#include "files/saved_files.hpp"

namespace vx::api {

std::optional<std::string_view> SortKey(std::string_view line, std::string_view start,
                                        std::string_view end) {
  line = saved::WithoutLineEnd(line);
  const std::size_t at = line.find(start);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view key = line.substr(at + start.size());
  if (!end.empty()) key = key.substr(0, key.find(end));
  return key;
}

void SortLines(std::vector<std::string>& lines, std::string_view start, std::string_view end,
               bool ascending) {
  struct Keyed {
    std::optional<std::string_view> key;
    std::size_t index;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    keyed.push_back({SortKey(lines[i], start, end), i});
  // Equal keys keep their order: the position decides last (std::sort
  // needs no temporary buffer, unlike std::stable_sort).
  std::sort(keyed.begin(), keyed.end(), [ascending](const Keyed& a, const Keyed& b) {
    if (a.key.has_value() != b.key.has_value()) return a.key.has_value();
    if (a.key && *a.key != *b.key) return ascending ? *a.key < *b.key : *b.key < *a.key;
    return a.index < b.index;
  });
  std::vector<std::string> sorted;
  sorted.reserve(lines.size());
  for (const Keyed& k : keyed) sorted.push_back(std::move(lines[k.index]));
  lines = std::move(sorted);
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) {
    out.append(line);
    if (line.empty() || (line.back() != '\n' && line.back() != '\r')) out.append("\r\n");
  }
  return out;
}

}  // namespace vx::api
