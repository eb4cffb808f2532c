#pragma once
// The steps every argument getter shares, used by the getters over an
// argument text and by those over an argument cache so that both give the
// same values, messages and status word.
#include <cstdint>
#include <string_view>

#include "text/messages.hpp"

namespace vx {

struct Runtime;

namespace args::detail {

// The argument text up to its first NUL byte: it stands for a C text, and
// the expression evaluator reads its pieces the same way.
std::string_view Terminated(std::string_view text);

// Length of the unit starting at `pos`: a byte 0x7F-0x9F or a backslash takes
// the byte after it with it.
std::size_t UnitLength(std::string_view text, std::size_t pos);

// Offset of the first separating comma at or after `pos` (a comma outside
// double quotes, the quote state starting outside), or the text's size.
// With `stop_at_line_end`, a CR or LF ends the scan too.
std::size_t NextSeparator(std::string_view text, std::size_t pos, bool stop_at_line_end);

bool IsBlank(std::string_view argument);

// The argument as the getters use it: at most ARG_TEXT_MAX bytes. A longer
// or equal one raises 引数の文字数が多すぎます。.
std::string_view CutToLimit(Runtime& rt, std::string_view raw);
bool TooLong(std::string_view raw);

// Applies the argument status word to one fetch: reads and clears the
// optional bit, leaves ARG_PRESENT or ARG_MISSING, and raises `missing`
// for a required argument that is not there. True when it is there.
bool BeginFetch(Runtime& rt, bool blank, msg::Id missing);

// The first blank-separated word of an argument.
std::string_view FirstWord(std::string_view argument);

// The resource named `word`, or -1 with パラメータエラー(対応するリソースがありません[word]).
std::int32_t FindOutputResource(Runtime& rt, std::string_view word);

}  // namespace args::detail
}  // namespace vx
