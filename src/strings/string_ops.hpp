#pragma once
// Text algorithms behind the string and field APIs, kept free of the runtime
// so each can be tested alone. Texts are Shift-JIS byte strings of any bytes
// (a NUL inside a text is an ordinary byte here); every result is at most
// RESULT_MAX bytes.
//
// Functions that must not split a double-byte character use the full lead
// rule: a byte 0x7F-0x9F or 0xE0-0xFF starts a two-byte character and takes
// the next byte with it whatever its value; 0xA0-0xDF are single characters.
// A lead byte that is the last byte of a text is a one-byte character.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "text/sjis.hpp"

namespace vx::strops {

inline constexpr std::size_t RESULT_MAX = 131071;        // bytes of a result text
inline constexpr std::size_t REPEAT_RESULT_MAX = 131070;  // StrAddMulti stays below 131071
inline constexpr std::size_t KEYWORD_WORD_MAX = 1022;     // ChkKWord: bytes of one word
inline constexpr std::int32_t COPY_COUNT_MAX = 4094;      // strncpyPlus
inline constexpr std::size_t SCRAMBLE_KEY_MIN = 4;        // xxEncode/xxDecode key bytes

// ChkString class bits.
inline constexpr int CLASS_DIGIT = 1;
inline constexpr int CLASS_LETTER = 2;
inline constexpr int CLASS_UNDERSCORE = 4;
inline constexpr int CLASS_BLANK = 8;
inline constexpr int CLASS_OTHER = 16;
inline constexpr int CLASS_DOUBLE_BYTE = 32;
inline constexpr int CLASS_HEX = 64;

// StrFill modes.
enum FillMode : std::int32_t {
  FILL_REPEAT = 0,  // the text repeated to the length
  FILL_LEFT = 1,    // the text, then blanks
  FILL_RIGHT = 2,   // blanks, then the text
  FILL_CENTER = 3,  // blanks on both sides, the odd one on the right
};

// Hafe2Full: the mode that converts full-width to half-width.
inline constexpr std::int32_t WIDTH_TO_HALF = 2;

// GetIntOnStr mode bits (LayIntOnStr takes bit 0 only).
inline constexpr std::int32_t INT_BIG_ENDIAN = 1;
inline constexpr std::int32_t INT_SIGNED = 2;

inline constexpr bool IsLead(std::uint8_t b) { return sjis::IsLeadWide(b); }
inline constexpr bool IsLead(char c) { return sjis::IsLeadWide(c); }
inline constexpr std::size_t CharLength(std::string_view t, std::size_t pos) {
  return sjis::CharLengthWide(t, pos);
}
// ASCII letter, digit or '_': the bytes a C word is made of.
inline constexpr bool IsWordByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The first character start at or after `end`, walking from `char_start`.
std::size_t SkipPast(std::string_view text, std::size_t char_start, std::size_t end);
// The longest prefix of `text` of at most `max` bytes that does not end
// inside a double-byte character.
std::string_view CutAtChar(std::string_view text, std::size_t max);

// ---- Classification and comparison ------------------------------------

bool AllAscii(std::string_view text);
// ChkString: the class bits or-ed over all characters.
int ClassBits(std::string_view text);
// ChkKWord: 0 when no word of `words` occurs in `keywords`, 1 some, 3 all.
int KeywordTest(std::string_view words, std::string_view keywords);
// strcmp / stricmp: -1, 0 or 1, bytes compared unsigned.
int Compare(std::string_view a, std::string_view b);
int CompareIgnoreCase(std::string_view a, std::string_view b);
// StrcmpWild: '*' any run of bytes, '?' one byte, others equal with bit 0x20
// set in both.
bool MatchWild(std::string_view text, std::string_view pattern);

// ---- Searching ---------------------------------------------------------

inline constexpr std::size_t NOT_FOUND = std::string_view::npos;

// The first position at or after `from` (a character start) where `needle`
// begins a character of `text`; NOT_FOUND when none. An empty needle is
// found at `from`.
std::size_t FindAtCharStart(std::string_view text, std::string_view needle, std::size_t from = 0);
// The start of the n-th non-overlapping occurrence (character-aware): n 1 is
// the first, -1 the last, 0 counts as 1. NOT_FOUND when there are fewer or
// the needle is empty.
std::size_t FindOccurrence(std::string_view text, std::string_view needle, std::int32_t n);
// Whether text[pos, pos+length) stands as a C word.
bool IsCWordAt(std::string_view text, std::size_t pos, std::size_t length);
// The first C-word occurrence of `word` starting a character; NOT_FOUND when
// none or the word is empty.
std::size_t FindCWord(std::string_view text, std::string_view word, std::size_t from = 0);
// stristr / stristrSjis: non-overlapping occurrences, ASCII letters without
// case. The Sjis form tries character starts only and compares the second
// byte of a double-byte character exactly.
std::int32_t CountIgnoreCase(std::string_view text, std::string_view find);
std::int32_t CountIgnoreCaseAtCharStarts(std::string_view text, std::string_view find);
// StrInStr: byte position of the first occurrence at or after `start`; -1
// when none or `start` is not inside the text.
std::int32_t FindFrom(std::string_view text, std::string_view find, std::int32_t start);

// ---- Replacing ---------------------------------------------------------

struct Replaced {
  std::string text;
  std::int32_t count = 0;  // replacements made; negative when cut (ReplaceAtCharStarts)
};
// StrReplace: byte-wise; `max_count` 0 replaces all, a negative one none.
// The result stops at RESULT_MAX bytes; a replacement that would pass it is
// skipped and the input bytes are copied instead.
Replaced ReplaceBytes(std::string_view text, std::string_view find, std::string_view replacement,
                      std::int32_t max_count);
// StrReplaceSj: matches at character starts only; when the result would pass
// RESULT_MAX bytes it stops and the count is reported negative.
Replaced ReplaceAtCharStarts(std::string_view text, std::string_view find,
                             std::string_view replacement, std::int32_t max_count);
// CWordReplace: every C-word occurrence at a character start.
Replaced ReplaceCWords(std::string_view text, std::string_view word, std::string_view replacement);

// ---- Splitting and cutting ---------------------------------------------

struct TwoParts {
  std::string_view first;
  std::string_view second;
};
// SjDivideStr: whole characters while within `width` bytes; the rest.
TwoParts DivideAtWidth(std::string_view text, std::int32_t width);
// ScanWord: word up to a blank, tab, ',' or ';'; the rest from that byte on.
TwoParts ScanWord(std::string_view text);
// ScanWordC: a C identifier (double-byte characters included) or one other
// character; the rest behind it.
TwoParts ScanWordC(std::string_view text);
// GlosFN: {folder, file name} split at the last '\' or '/'.
TwoParts SplitPath(std::string_view path);
// GetExt: from the last '.' of the file name on; empty when none.
std::string_view Extension(std::string_view path);
// SkipSpace: without leading blanks and tabs.
std::string_view SkipBlanks(std::string_view text);
// CutSpace: without leading and trailing blanks and tabs.
std::string_view TrimBlanks(std::string_view text);
// strncpyPlus: at most `count` bytes (capped at COPY_COUNT_MAX), never
// ending inside a double-byte character.
std::string_view PrefixOfCount(std::string_view text, std::int32_t count);
// GetFixFld: bytes [start, start+length) cut to the text; nullopt when start
// is not inside the text or either number is negative.
std::optional<std::string_view> FixedField(std::string_view text, std::int32_t start,
                                           std::int32_t length);

// ---- Building ----------------------------------------------------------

// StrFill: exactly `length` bytes (0 to RESULT_MAX) by FillMode; any other
// mode repeats.
std::string Fill(std::string_view text, std::int32_t length, std::int32_t mode);
// InsComma: commas every three digits of the integer part; nullopt when the
// text holds no number.
std::optional<std::string> InsertCommas(std::string_view text);
// CnvTab: tabs to blanks up to the next multiple of `width` (below 1 counts
// as 1); columns restart after CR and LF.
std::string ExpandTabs(std::string_view text, std::int32_t width);
// StrAddMulti: first + second x times, whole repetitions within
// REPEAT_RESULT_MAX bytes.
std::string AppendRepeated(std::string_view first, std::string_view second, std::int32_t times);
// Hafe2Full.
std::string HalfToFull(std::string_view text);
std::string FullToHalf(std::string_view text);

// ---- Code pages (CP932) ------------------------------------------------

// Shift-JIS to UTF-16; a byte sequence CP932 does not define becomes '?'.
std::u16string SjisToUtf16(std::string_view sjis);
// UTF-16 to Shift-JIS; a character CP932 lacks and a lone surrogate become '?'.
std::string Utf16ToSjis(std::u16string_view utf16);
// UTF-16LE bytes as ToUnicode stores them, and back (stopping at a zero unit).
std::string Utf16ToBytes(std::u16string_view utf16);
std::u16string Utf16FromBytes(std::string_view bytes);
// UTF-8 to Shift-JIS through UTF-16; a leading byte-order mark is dropped, an
// invalid UTF-8 sequence becomes '?'.
std::string Utf8ToSjis(std::string_view utf8);
// SJisToUTF8: each UTF-16 unit as 1, 2 or 3 bytes; stops at a zero unit or
// when fewer than 4 bytes of room remain.
std::string SjisToUtf8(std::string_view sjis);

// ---- Fields ------------------------------------------------------------

// GetSprtdFld: field `index` (0 first); nullopt when there are fewer fields.
std::optional<std::string_view> SeparatedField(std::string_view text, std::string_view separator,
                                               std::int32_t index);
// GetField: the value behind the first occurrence of `key`, up to the first
// terminator outside double quotes; nullopt when the key is not there.
std::optional<std::string_view> KeyedValue(std::string_view text, std::string_view key,
                                           std::string_view terminator);
// SetField: the text with the key's value replaced, or with key, value and
// terminator appended (a terminator first when the text does not end with
// one); nullopt for an empty key or a result over RESULT_MAX bytes.
std::optional<std::string> WithKeyedValue(std::string_view text, std::string_view key,
                                          std::string_view terminator, std::string_view value);

// ---- Binary values inside a string variable ----------------------------

// LayIntOnStr: writes the low `size` (1-4) bytes of `value` at `pos`; false
// when they do not fit in `bytes` or the size is wrong.
bool LayInt(std::span<char> bytes, std::int32_t pos, std::int32_t size, std::int32_t value,
            bool big_endian);
// GetIntOnStr: reads `size` (1-4) bytes at `pos` by the INT_ mode bits.
std::optional<std::int32_t> GetInt(std::span<const char> bytes, std::int32_t pos,
                                   std::int32_t size, std::int32_t mode);

// ---- Scrambling --------------------------------------------------------

// xxEncode / xxDecode: inverse to each other for every key of at least
// SCRAMBLE_KEY_MIN bytes and every text; NUL bytes stay NUL and no other
// byte becomes NUL, so the length is kept. nullopt for a shorter key.
std::optional<std::string> Scramble(std::string_view text, std::string_view key);
std::optional<std::string> Unscramble(std::string_view text, std::string_view key);

}  // namespace vx::strops
