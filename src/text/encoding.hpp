#pragma once
// Conversions between the engine's Shift-JIS (CP932) bytes and the encodings
// of the outside world. Everything goes through glibc's iconv with code page
// 932 (with its NEC and IBM extensions), never plain Shift_JIS.
#include <optional>
#include <string>
#include <string_view>

namespace vx::text {

// Strict conversions: nullopt when the input holds a sequence that has no
// counterpart in the other encoding.
std::optional<std::string> Cp932ToUtf8Strict(std::string_view cp932);
std::optional<std::string> Utf8ToCp932Strict(std::string_view utf8);

// Lenient conversions for showing and naming things: an unconvertible byte
// sequence becomes '?' and conversion goes on.
std::string Cp932ToUtf8(std::string_view cp932);
std::string Utf8ToCp932(std::string_view utf8);

// UTF-16 little-endian code units (Windows' wide strings).
std::optional<std::u16string> Cp932ToUtf16(std::string_view cp932);
std::optional<std::string> Utf16ToCp932(std::u16string_view utf16);

}  // namespace vx::text
