#pragma once
// Shift-JIS (code page 932) byte rules. Different routines of the engine treat
// different byte ranges as the first byte of a two-byte character; each rule
// is named after the places that use it, so a caller picks the rule its text
// format was defined with rather than "the" Shift-JIS rule.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vx::sjis {

inline constexpr std::uint8_t Byte(char c) { return static_cast<std::uint8_t>(c); }

// Argument splitting, quoting, the loader's tab and continuation scans and
// string expressions: 0x7F-0x9F take the next byte with them.
inline constexpr bool IsLeadNarrow(std::uint8_t b) { return b >= 0x7F && b <= 0x9F; }

// Path scanning of the program directory and the character-aware string
// functions: 0x7F-0x9F and 0xE0-0xFF.
inline constexpr bool IsLeadWide(std::uint8_t b) { return (b >= 0x7F && b <= 0x9F) || b >= 0xE0; }

// The real Shift-JIS lead bytes, for stepping over characters in conversions.
inline constexpr bool IsLeadStrict(std::uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Whether every byte is ASCII: such a text is the same in CP932 and UTF-8.
inline constexpr bool IsAscii(std::string_view t) {
  for (char c : t) {
    if (Byte(c) >= 0x80) return false;
  }
  return true;
}

inline constexpr bool IsLeadNarrow(char c) { return IsLeadNarrow(Byte(c)); }
inline constexpr bool IsLeadWide(char c) { return IsLeadWide(Byte(c)); }
inline constexpr bool IsLeadStrict(char c) { return IsLeadStrict(Byte(c)); }

// Length of the character starting at `pos` under a lead rule: 2 for a lead
// byte with a following byte, else 1. A lead byte at the very end counts as
// one byte, so callers never step past the text.
inline constexpr std::size_t CharLengthNarrow(std::string_view t, std::size_t pos) {
  return (IsLeadNarrow(t[pos]) && pos + 1 < t.size()) ? 2 : 1;
}
inline constexpr std::size_t CharLengthWide(std::string_view t, std::size_t pos) {
  return (IsLeadWide(t[pos]) && pos + 1 < t.size()) ? 2 : 1;
}
inline constexpr std::size_t CharLengthStrict(std::string_view t, std::size_t pos) {
  return (IsLeadStrict(t[pos]) && pos + 1 < t.size()) ? 2 : 1;
}

// Position of the last `target` byte that is not the second byte of a
// two-byte character under the wide rule, or npos.
std::size_t FindLastSingleByte(std::string_view text, char target);

}  // namespace vx::sjis
