#pragma once
// Argument getters of the calling convention. An argument text is split at
// commas outside double quotes; a backslash makes the next byte not count as
// a quote (or a comma), and a byte 0x7F-0x9F takes the byte after it with it.
// Arguments are numbered from 0; a NUL byte ends the text. Every getter
// copies its argument (up to the next separating comma, CR or LF) into a
// 4096-byte scratch first.
#include <cstdint>
#include <string>
#include <string_view>

namespace vx {

struct Runtime;

inline constexpr std::size_t ARG_SCRATCH_BYTES = 4096;
// The most bytes of one argument a getter uses. An argument of this length
// or more raises 引数の文字数が多すぎます。 and is cut to it.
inline constexpr std::size_t ARG_TEXT_MAX = ARG_SCRATCH_BYTES - 1;

// Bit 0 of the argument status word: the next argument fetched is optional.
// After a fetch the word is ARG_PRESENT or ARG_MISSING.
inline constexpr std::uint32_t ARG_OPTIONAL = 1;
inline constexpr std::uint32_t ARG_PRESENT = 0;
inline constexpr std::uint32_t ARG_MISSING = 2;

namespace args {

// Number of arguments: separating commas + 1 (an empty text counts as 1).
int ArgCount(std::string_view text);
// Offset of the start of argument n (after n separating commas), or the
// end of the text.
std::size_t ArgLocate(std::string_view text, int n);
// The raw text of argument n up to the next separating comma, CR or LF.
std::string_view ArgText(std::string_view text, int n);

// An argument made only of blanks and tabs counts as missing, like an empty
// one: "a, ,b" leaves argument 1 out.
//
// Numeric argument, truncated toward zero. Missing: unless optional,
// Pパラメータ(コンマ区切り)が足りません。; status ARG_MISSING; 0.
std::int32_t GetIntArg(Runtime& rt, std::string_view text, int n);
// Numeric argument. Missing: パラメータ(コンマ区切り)が足りません。; 0.0.
double GetDoubleArg(Runtime& rt, std::string_view text, int n);
// String expression into `out`. 1 present, 0 missing (out emptied).
int GetStringArg(Runtime& rt, std::string_view text, int n, std::string& out);
// The resource named by the argument's first word, or -1 (message with the
// name when unknown; Rパラメータ… when missing and not optional).
std::int32_t GetResourceArg(Runtime& rt, std::string_view text, int n);
// The resource, or -1 without a message when empty or unknown.
std::int32_t GetResourceArgOrNone(Runtime& rt, std::string_view text, int n);

void SetPendingError(Runtime& rt, std::string_view message);

}  // namespace args
}  // namespace vx
