#pragma once
// Reading and writing any resource entry as an integer, a double or a text,
// with the rules of its kind. Reads of a bad index or of a kind that has no
// such value give 0, 0.0 or empty; writes that do not apply change nothing.
#include <cstdint>
#include <string>
#include <string_view>

namespace vx {

struct Runtime;

inline constexpr std::size_t TEXT_VALUE_MAX = 131071;  // bytes of a text value
inline constexpr std::int32_t STRING_CAPACITY_MAX = 131072;
inline constexpr std::int32_t STRING_CAPACITY_DEFAULT = 1024;

namespace values {

std::int32_t ReadAsInteger(Runtime& rt, std::int32_t index);
double ReadAsDouble(Runtime& rt, std::int32_t index);
// The text of the entry; the view points into `buffer`, or into the shared
// file buffer for file resources (the whole file, at most 131071 bytes).
std::string_view ReadAsText(Runtime& rt, std::int32_t index, std::string& buffer);

void WriteInteger(Runtime& rt, std::int32_t index, std::int32_t value);
void WriteDouble(Runtime& rt, std::int32_t index, double value);
void WriteText(Runtime& rt, std::int32_t index, std::string_view text);
void AppendText(Runtime& rt, std::int32_t index, std::string_view text);

// By name, for the system variables and fixed result names. Unknown names
// do nothing (GetLongByName gives 0).
std::int32_t GetLongByName(Runtime& rt, std::string_view name);
void SetLongByName(Runtime& rt, std::string_view name, std::int32_t value);
void SetDoubleByName(Runtime& rt, std::string_view name, double value);
// replace == false: AppendText. replace == true: a string variable takes `text`
// only when it is shorter than its capacity.
void SetTextByName(Runtime& rt, std::string_view name, std::string_view text, bool replace);

// The same by index, for callers that already know it (system variables).
void SetLong(Runtime& rt, std::int32_t index, std::int32_t value);
void SetDouble(Runtime& rt, std::int32_t index, double value);
void SetText(Runtime& rt, std::int32_t index, std::string_view text, bool replace);

void BuildNameTable(Runtime& rt);
void RefreshNameTable(Runtime& rt, std::int32_t index);

// C-library number reading as the value rules use it ("%lf", "%ld"): leading
// blanks skipped, longest valid prefix; nullopt-like false when none.
bool ScanDouble(std::string_view text, double* out);
bool ScanLong(std::string_view text, std::int32_t* out);

// Printing of long and double values with the entry's own print format, or
// "%d" / "%lf" when it has none or the format is not a single conversion of
// the right type.
std::string FormatLong(std::string_view format, std::int32_t value);
std::string FormatDouble(std::string_view format, double value);

}  // namespace values
}  // namespace vx
