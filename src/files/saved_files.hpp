#pragma once
// The text files of the array family: saved values (SaveValues and
// LoadValues) and string-array files (SaveStrArray and LoadStrArray). The
// writers produce the bytes, the parsers take whatever bytes a file holds;
// neither touches files or variables, so they can be tested and fuzzed alone.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vx::api::saved {

// A saved-values line is "NAME=VALUE" CR LF. A value holding CR or LF
// cannot stand on one line; it is written as "NAME<TAB>=ESCAPED" with the
// backslash, CR and LF written as \\, \r and \n. No resource name holds a
// tab, so a reader that does not know this form skips the line.
inline constexpr char ESCAPED_MARK = '\t';
// Longest line read back: a 31-byte name, the mark and '=', and a value of
// 131071 bytes that may double in length when escaped, plus CR LF.
inline constexpr std::size_t SAVED_LINE_MAX = 31 + 2 + 2 * 131071 + 2;

// Appends the line for one resource to `out`.
void AppendSavedValue(std::string& out, std::string_view name, std::string_view value);

// One line of a saved-values file (its line end may still be there): the
// name before the first '=' and the value after it. False for a line
// without '='.
bool ParseSavedLine(std::string_view line, std::string& name, std::string& value);

struct LoadReport {
  std::int32_t assignments = 0;  // lines handed to the callback
  std::int32_t skipped = 0;      // lines without '=' (or empty lines)
  std::int32_t too_long = 0;     // lines over SAVED_LINE_MAX, skipped whole
};

// The whole file at once: splits it into lines (at LF) and calls
// `assign(name, value)` for each line that has a '=', in order.
LoadReport ParseSavedValues(std::string_view bytes,
                            const std::function<void(std::string_view, std::string_view)>& assign);

// Lines of a string-array file: each entry followed by CR LF.
std::string FormatStrArrayLines(const std::vector<std::string_view>& entries);

// One line of a string-array file as an entry: without its line end, cut at
// a NUL, and cut to `max_bytes` without splitting a two-byte character.
// `*cut` tells whether bytes were dropped for length.
std::string_view StrArrayEntry(std::string_view line, std::size_t max_bytes, bool* cut);

struct StrArrayLines {
  std::vector<std::string> lines;
  std::int32_t cut = 0;  // lines longer than `max_bytes`, cut to fit
};
// The whole file at once: at most `max_lines` entries, as StrArrayEntry.
StrArrayLines ParseStrArrayLines(std::string_view bytes, std::int32_t max_lines,
                                 std::size_t max_bytes);

// Calls `line(text)` for each line of `bytes`: the text up to and
// including its LF (the last line may have none).
void ForEachRawLine(std::string_view bytes, const std::function<bool(std::string_view)>& line);

// The line without its trailing CR and LF bytes.
std::string_view WithoutLineEnd(std::string_view line);

}  // namespace vx::api::saved
