#pragma once
// Text algorithms behind the file APIs, kept apart from files and variables:
// free file names, wildcard patterns, Windows command lines, form filling
// and the activity log.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/calendar.hpp"

namespace vx::api::filetools {

inline constexpr std::size_t NEW_FNAME_PARTS_MAX = 2028;  // head and tail together
inline constexpr int NEW_FNAME_TRIES = 1000;

// A file name not yet taken: head + tail, or head + date + tail when `date`
// is given; when that is taken, a number 0, 1, 2 ... is inserted before the
// tail (after "_" behind the date). Nullopt after 1000 numbers, or when head
// and tail together exceed 2028 bytes.
std::optional<std::string> NewFileName(std::string_view head, std::string_view tail,
                                       const calendar::Date* date,
                                       const std::function<bool(const std::string&)>& taken);

// Parts of a path for the APIs that hand one out.
enum PathPart : std::int32_t { PATH_WHOLE = 0, PATH_NAME = 1, PATH_FOLDER = 2 };
// The whole path, the name after its last separator (a backslash or a slash,
// never the second byte of a double-byte character), or the folder before
// that separator (empty without one). Nullopt for any other part.
std::optional<std::string_view> PartOfPath(std::string_view path, std::int32_t part);

// `*` matches any run of bytes, `?` any one byte; other bytes match when
// equal after setting bit 0x20 in both (so letters match without case).
bool WildcardMatch(std::string_view text, std::string_view pattern);

// Splits a command line into words the Windows way: blanks and tabs
// separate words outside double quotes; quotes group and are dropped;
// 2n backslashes before a quote give n backslashes, 2n+1 give n and a
// literal quote; other backslashes stay. A two-byte character's second byte
// is never a quote, blank or backslash.
std::vector<std::string> SplitCommandLine(std::string_view line);

struct FillReport {
  std::int32_t replaced = 0;
  std::int32_t unknown = 0;  // %NAME% whose name `lookup` does not know
  bool cut = false;          // the output reached `limit` bytes
};
// Replaces every %NAME% (a name of 1 to 31 bytes without blanks, tabs, line
// ends or '%') by the value `lookup` gives, and %% by %. Unknown names stay
// as written. The output keeps at most `limit` bytes.
FillReport FillForm(std::string_view form,
                    const std::function<bool(std::string_view, std::string&)>& lookup,
                    std::string& out, std::size_t limit);

// "YYYY/MM/DD HH:MM:SS text" CR LF; line ends inside the text become blanks
// so that one entry stays one line.
std::string ActivityLogLine(const calendar::DateTime& when, std::string_view text);
// The last `count` lines of `bytes` (each through its LF).
std::string_view LastLines(std::string_view bytes, std::int32_t count);

}  // namespace vx::api::filetools
