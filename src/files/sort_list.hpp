#pragma once
// SortList: sorts the lines of a text file by a key marked inside each line.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx::api {

inline constexpr std::int32_t SORT_LIST_LINES_MAX = 10000;
inline constexpr std::size_t SORT_LIST_LINE_MAX = 2047;  // bytes with the line end

// The key of a line: the text behind the first occurrence of `start`, cut
// before the first occurrence of `end` in it (an empty `end` cuts nothing);
// line-end bytes never belong to it. Nullopt when the line lacks `start`.
std::optional<std::string_view> SortKey(std::string_view line, std::string_view start,
                                        std::string_view end);

// Sorts the lines (each with its line end) by key, ascending or descending,
// keeping the order of equal keys; lines without a key come last either way.
void SortLines(std::vector<std::string>& lines, std::string_view start, std::string_view end,
               bool ascending);

// The lines one after the other; a line without a line end gets CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace vx::api
