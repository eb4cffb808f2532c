#include "strings/string_ops.hpp"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

namespace vx::strops {
namespace {

constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsHexLetter(char c) { return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
constexpr bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
constexpr std::uint8_t U8(char c) { return static_cast<std::uint8_t>(c); }

// Appends `piece` when the result stays within `limit`; false otherwise.
bool AppendWithin(std::string& out, std::string_view piece, std::size_t limit) {
  if (out.size() + piece.size() > limit) return false;
  out.append(piece);
  return true;
}

// Every ASCII letter lowered: byte-wise case folding.
std::string LowerAllBytes(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

// ASCII letters lowered only where they are single-byte characters, so the
// second byte of a double-byte character keeps its value.
std::string LowerSingleByteLetters(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size();) {
    const std::size_t len = CharLength(out, i);
    if (len == 1) out[i] = LowerAscii(out[i]);
    i += len;
  }
  return out;
}

std::int32_t ClampToInt(std::size_t n) {
  return n > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<std::int32_t>(n);
}

}  // namespace

std::size_t SkipPast(std::string_view text, std::size_t char_start, std::size_t end) {
  while (char_start < end) char_start += CharLength(text, char_start);
  return char_start;
}

std::string_view CutAtChar(std::string_view text, std::size_t max) {
  if (text.size() <= max) return text;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t len = CharLength(text, i);
    if (i + len > max) break;
    i += len;
  }
  return text.substr(0, i);
}

// ---- Classification and comparison ------------------------------------

bool AllAscii(std::string_view text) { return sjis::IsAscii(text); }

int ClassBits(std::string_view text) {
  int bits = 0;
  bool hex_only = true;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (IsLead(c)) {
      bits |= CLASS_DOUBLE_BYTE;
      hex_only = false;
      i += CharLength(text, i);
      continue;
    }
    if (IsDigit(c)) {
      bits |= CLASS_DIGIT;
    } else if (IsHexLetter(c)) {
      bits |= CLASS_LETTER | CLASS_HEX;
    } else {
      hex_only = false;
      if (IsAsciiLetter(c)) bits |= CLASS_LETTER;
      else if (c == '_') bits |= CLASS_UNDERSCORE;
      else if (IsBlank(c)) bits |= CLASS_BLANK;
      else bits |= CLASS_OTHER;
    }
    ++i;
  }
  if (!hex_only) bits &= ~CLASS_HEX;
  return bits;
}

int KeywordTest(std::string_view words, std::string_view keywords) {
  bool any_found = false;
  bool all_found = true;
  std::unordered_map<std::string_view, bool> searched;
  std::size_t i = 0;
  while (i < words.size()) {
    while (i < words.size() && IsBlank(words[i])) ++i;
    if (i >= words.size()) break;
    const std::size_t start = i;
    while (i < words.size() && !IsBlank(words[i])) {
      // 0x7F protects the byte after it.
      i += (U8(words[i]) == 0x7F && i + 1 < words.size()) ? 2 : 1;
    }
    const std::string_view word = CutAtChar(words.substr(start, i - start), KEYWORD_WORD_MAX);
    auto [it, fresh] = searched.try_emplace(word, false);
    if (fresh) it->second = FindAtCharStart(keywords, word) != NOT_FOUND;
    if (it->second) any_found = true;
    else all_found = false;
  }
  if (!any_found) return 0;
  return all_found ? 3 : 1;
}

int Compare(std::string_view a, std::string_view b) {
  const int c = a.compare(b);  // char_traits<char> compares as unsigned char
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CompareIgnoreCase(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t x = U8(LowerAscii(a[i]));
    const std::uint8_t y = U8(LowerAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool MatchWild(std::string_view text, std::string_view pattern) {
  auto same = [](char x, char y) { return (U8(x) | 0x20) == (U8(y) | 0x20); };
  std::size_t t = 0;
  std::size_t p = 0;
  std::size_t star = NOT_FOUND;  // pattern position of the last '*'
  std::size_t resume = 0;        // text position that '*' is tried at next
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], text[t]))) {
      ++p;
      ++t;
    } else if (star != NOT_FOUND) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// ---- Searching ---------------------------------------------------------

std::size_t FindAtCharStart(std::string_view text, std::string_view needle, std::size_t from) {
  if (from > text.size()) return NOT_FOUND;
  std::size_t walker = from;  // always a character start
  std::size_t pos = from;
  while (true) {
    const std::size_t candidate = text.find(needle, pos);
    if (candidate == NOT_FOUND) return NOT_FOUND;
    while (walker < candidate) walker += CharLength(text, walker);
    if (walker == candidate) return candidate;
    pos = walker;  // the candidate was a second byte; go on at the next character
  }
}

std::size_t FindOccurrence(std::string_view text, std::string_view needle, std::int32_t n) {
  if (needle.empty()) return NOT_FOUND;
  if (n == 0) n = 1;
  std::vector<std::size_t> found;
  for (std::size_t from = 0;;) {
    const std::size_t pos = FindAtCharStart(text, needle, from);
    if (pos == NOT_FOUND) break;
    found.push_back(pos);
    if (n > 0 && found.size() == static_cast<std::size_t>(n)) return pos;
    from = SkipPast(text, pos, pos + needle.size());
  }
  if (n > 0) return NOT_FOUND;
  const std::size_t back = static_cast<std::size_t>(-static_cast<std::int64_t>(n));
  return back <= found.size() ? found[found.size() - back] : NOT_FOUND;
}

bool IsCWordAt(std::string_view text, std::size_t pos, std::size_t length) {
  const bool start_ok = pos == 0 || !IsWordByte(text[pos - 1]);
  const bool end_ok = pos + length >= text.size() || !IsWordByte(text[pos + length]);
  return start_ok && end_ok;
}

std::size_t FindCWord(std::string_view text, std::string_view word, std::size_t from) {
  if (word.empty()) return NOT_FOUND;
  while (true) {
    const std::size_t pos = FindAtCharStart(text, word, from);
    if (pos == NOT_FOUND || IsCWordAt(text, pos, word.size())) return pos;
    from = pos + CharLength(text, pos);
  }
}

namespace {

// Non-overlapping occurrences of `find` in `text` (both already folded).
std::int32_t CountOccurrences(std::string_view text, std::string_view find, bool char_starts) {
  std::int32_t count = 0;
  std::size_t from = 0;
  while (true) {
    const std::size_t pos = char_starts ? FindAtCharStart(text, find, from) : text.find(find, from);
    if (pos == NOT_FOUND) return count;
    ++count;
    from = char_starts ? SkipPast(text, pos, pos + find.size()) : pos + find.size();
  }
}

}  // namespace

std::int32_t CountIgnoreCase(std::string_view text, std::string_view find) {
  if (find.empty()) return 0;
  return CountOccurrences(LowerAllBytes(text), LowerAllBytes(find), false);
}

std::int32_t CountIgnoreCaseAtCharStarts(std::string_view text, std::string_view find) {
  if (find.empty()) return 0;
  return CountOccurrences(LowerSingleByteLetters(text), LowerSingleByteLetters(find), true);
}

std::int32_t FindFrom(std::string_view text, std::string_view find, std::int32_t start) {
  if (start < 0 || static_cast<std::size_t>(start) >= text.size()) return -1;
  const std::size_t pos = text.find(find, static_cast<std::size_t>(start));
  return pos == NOT_FOUND ? -1 : ClampToInt(pos);
}

// ---- Replacing ---------------------------------------------------------

namespace {

// A count of 0 replaces every occurrence; a negative count replaces none.
bool MayReplace(std::int32_t made, std::int32_t max_count) {
  return max_count == 0 || made < max_count;
}

}  // namespace

Replaced ReplaceBytes(std::string_view text, std::string_view find, std::string_view replacement,
                      std::int32_t max_count) {
  Replaced r;
  if (find.empty()) {
    r.text.assign(text.substr(0, RESULT_MAX));
    return r;
  }
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t match = MayReplace(r.count, max_count) ? text.find(find, i) : NOT_FOUND;
    const std::size_t copy_end = match == NOT_FOUND ? text.size() : match;
    const std::string_view plain = text.substr(i, copy_end - i);
    if (!AppendWithin(r.text, plain, RESULT_MAX)) {
      r.text.append(plain.substr(0, RESULT_MAX - r.text.size()));
      return r;
    }
    if (match == NOT_FOUND) break;
    if (!AppendWithin(r.text, replacement, RESULT_MAX)) {
      // The output only grows, so no later replacement fits either: the
      // matched bytes and what follows are copied as they stand.
      r.text.append(text.substr(match, RESULT_MAX - r.text.size()));
      return r;
    }
    ++r.count;
    i = match + find.size();
  }
  return r;
}

Replaced ReplaceAtCharStarts(std::string_view text, std::string_view find,
                             std::string_view replacement, std::int32_t max_count) {
  Replaced r;
  auto stop = [&r] {
    r.count = -r.count;
    return r;
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const bool may_replace = !find.empty() && MayReplace(r.count, max_count);
    const std::size_t match = may_replace ? FindAtCharStart(text, find, i) : NOT_FOUND;
    const std::size_t copy_end = match == NOT_FOUND ? text.size() : match;
    const std::string_view plain = text.substr(i, copy_end - i);
    if (!AppendWithin(r.text, plain, RESULT_MAX)) {
      r.text.append(CutAtChar(plain, RESULT_MAX - r.text.size()));
      return stop();
    }
    if (match == NOT_FOUND) break;
    if (!AppendWithin(r.text, replacement, RESULT_MAX)) return stop();
    ++r.count;
    // The find text may end inside a character: resume at a character start
    // so the rest is scanned as it stands in the text.
    const std::size_t end = match + find.size();
    const std::size_t next = SkipPast(text, match, end);
    if (!AppendWithin(r.text, text.substr(end, next - end), RESULT_MAX)) return stop();
    i = next;
  }
  return r;
}

Replaced ReplaceCWords(std::string_view text, std::string_view word, std::string_view replacement) {
  Replaced r;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t match = FindCWord(text, word, i);
    const std::size_t copy_end = match == NOT_FOUND ? text.size() : match;
    const std::string_view plain = text.substr(i, copy_end - i);
    if (!AppendWithin(r.text, plain, RESULT_MAX)) {
      r.text.append(CutAtChar(plain, RESULT_MAX - r.text.size()));
      return r;
    }
    if (match == NOT_FOUND) break;
    if (!AppendWithin(r.text, replacement, RESULT_MAX)) return r;
    ++r.count;
    const std::size_t end = match + word.size();
    const std::size_t next = SkipPast(text, match, end);
    if (!AppendWithin(r.text, text.substr(end, next - end), RESULT_MAX)) return r;
    i = next;
  }
  return r;
}

// ---- Splitting and cutting ---------------------------------------------

TwoParts DivideAtWidth(std::string_view text, std::int32_t width) {
  const std::size_t limit = width < 0 ? 0 : static_cast<std::size_t>(width);
  const std::string_view first = CutAtChar(text, limit);
  return {first, text.substr(first.size())};
}

TwoParts ScanWord(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  std::size_t j = i;
  while (j < text.size()) {
    const char c = text[j];
    if (IsLead(c)) {
      j += CharLength(text, j);
      continue;
    }
    if (IsBlank(c) || c == ',' || c == ';') break;
    ++j;
  }
  return {text.substr(i, j - i), text.substr(j)};
}

TwoParts ScanWordC(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  std::size_t j = i;
  while (j < text.size()) {
    if (IsLead(text[j])) j += CharLength(text, j);
    else if (IsWordByte(text[j])) ++j;
    else break;
  }
  if (j == i && i < text.size()) j = i + 1;
  return {text.substr(i, j - i), text.substr(j)};
}

TwoParts SplitPath(std::string_view path) {
  std::size_t last = NOT_FOUND;
  for (std::size_t i = 0; i < path.size(); i += CharLength(path, i)) {
    if (path[i] == '\\' || path[i] == '/') last = i;
  }
  if (last == NOT_FOUND) return {path.substr(0, 0), path};
  return {path.substr(0, last), path.substr(last + 1)};
}

std::string_view Extension(std::string_view path) {
  const std::string_view name = SplitPath(path).second;
  std::size_t dot = NOT_FOUND;
  for (std::size_t i = 0; i < name.size(); i += CharLength(name, i)) {
    if (name[i] == '.') dot = i;
  }
  return name.substr(dot == NOT_FOUND ? name.size() : dot);
}

std::string_view SkipBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return text.substr(i);
}

std::string_view TrimBlanks(std::string_view text) {
  text = SkipBlanks(text);
  // Walk forward so a second byte is never taken for a blank.
  std::size_t end = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = CharLength(text, i);
    if (len > 1 || !IsBlank(text[i])) end = i + len;
    i += len;
  }
  return text.substr(0, end);
}

std::string_view PrefixOfCount(std::string_view text, std::int32_t count) {
  const std::int32_t n = std::clamp<std::int32_t>(count, 0, COPY_COUNT_MAX);
  return CutAtChar(text, static_cast<std::size_t>(n));
}

std::optional<std::string_view> FixedField(std::string_view text, std::int32_t start,
                                           std::int32_t length) {
  if (start < 0 || length < 0 || static_cast<std::size_t>(start) >= text.size()) return std::nullopt;
  return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
}

// ---- Building ----------------------------------------------------------

namespace {

// `text` repeated whole characters at a time to exactly `length` bytes; a
// double-byte character that would cross the end leaves a blank instead.
std::string RepeatTo(std::string_view text, std::size_t length) {
  std::string out;
  out.reserve(length);
  if (text.empty()) return std::string(length, ' ');
  while (out.size() + text.size() <= length) out.append(text);
  out.append(CutAtChar(text, length - out.size()));
  out.resize(length, ' ');
  return out;
}

}  // namespace

std::string Fill(std::string_view text, std::int32_t length, std::int32_t mode) {
  const std::size_t n = static_cast<std::size_t>(std::clamp<std::int64_t>(length, 0, RESULT_MAX));
  if (mode != FILL_LEFT && mode != FILL_RIGHT && mode != FILL_CENTER) return RepeatTo(text, n);
  const std::string_view body = CutAtChar(text, n);
  const std::size_t pad = n - body.size();
  std::size_t left = 0;
  if (mode == FILL_RIGHT) left = pad;
  else if (mode == FILL_CENTER) left = pad / 2;
  std::string out(left, ' ');
  out.append(body);
  out.resize(n, ' ');
  return out;
}

std::optional<std::string> InsertCommas(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t digits_start = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  const std::size_t digits = i - digits_start;
  const bool fraction_only = digits == 0 && i + 1 < text.size() && text[i] == '.' && IsDigit(text[i + 1]);
  if (digits == 0 && !fraction_only) return std::nullopt;
  std::string out(text.substr(0, digits_start));
  for (std::size_t k = 0; k < digits; ++k) {
    if (k > 0 && (digits - k) % 3 == 0) out.push_back(',');
    out.push_back(text[digits_start + k]);
  }
  out.append(text.substr(i));
  if (out.size() > RESULT_MAX) out.resize(CutAtChar(out, RESULT_MAX).size());
  return out;
}

std::string ExpandTabs(std::string_view text, std::int32_t width) {
  const std::size_t tab = width < 1 ? 1 : static_cast<std::size_t>(width);
  std::string out;
  std::size_t column = 0;
  for (std::size_t i = 0; i < text.size() && out.size() < RESULT_MAX;) {
    const char c = text[i];
    if (c == '\t') {
      const std::size_t blanks = std::min(tab - column % tab, RESULT_MAX - out.size());
      out.append(blanks, ' ');
      column += blanks;
      ++i;
    } else if (U8(c) == 0x7F && i + 1 < text.size()) {
      if (out.size() + 2 > RESULT_MAX) break;
      out.append(text.substr(i, 2));
      column += 2;
      i += 2;
    } else {
      out.push_back(c);
      column = (c == '\r' || c == '\n') ? 0 : column + 1;
      ++i;
    }
  }
  return out;
}

std::string AppendRepeated(std::string_view first, std::string_view second, std::int32_t times) {
  std::string out(CutAtChar(first, REPEAT_RESULT_MAX));
  if (second.empty()) return out;
  for (std::int32_t k = 0; k < times; ++k) {
    if (!AppendWithin(out, second, REPEAT_RESULT_MAX)) break;
  }
  return out;
}

// ---- Fields ------------------------------------------------------------

std::optional<std::string_view> SeparatedField(std::string_view text, std::string_view separator,
                                               std::int32_t index) {
  if (separator.empty()) return text.substr(0, std::min(text.size(), RESULT_MAX));
  if (index < 0) return std::nullopt;
  std::size_t start = 0;
  for (std::int32_t field = 0; field < index; ++field) {
    const std::size_t pos = FindAtCharStart(text, separator, start);
    if (pos == NOT_FOUND) return std::nullopt;
    // A separator that ends inside a character: the next field starts at
    // the next character start.
    start = SkipPast(text, pos, pos + separator.size());
  }
  const std::size_t end = FindAtCharStart(text, separator, start);
  const std::string_view field = text.substr(start, end == NOT_FOUND ? NOT_FOUND : end - start);
  if (field.size() > RESULT_MAX) return std::nullopt;
  return field;
}

namespace {

// The first occurrence of `terminator` at or after `from` that stands outside
// double quotes; a backslash escapes the byte after it and a byte 0x7F-0x9F
// takes the next byte with it. The end of the text when none.
std::size_t FindTerminator(std::string_view text, std::size_t from, std::string_view terminator) {
  if (terminator.empty()) return text.size();
  bool quoted = false;
  std::size_t i = from;
  while (i < text.size()) {
    if (!quoted && text.compare(i, terminator.size(), terminator) == 0) return i;
    const char c = text[i];
    if (sjis::IsLeadNarrow(c) || c == '\\') {
      i += (i + 1 < text.size()) ? 2 : 1;
      continue;
    }
    if (c == '"') quoted = !quoted;
    ++i;
  }
  return text.size();
}

}  // namespace

std::optional<std::string_view> KeyedValue(std::string_view text, std::string_view key,
                                           std::string_view terminator) {
  const std::size_t pos = text.find(key);
  if (pos == NOT_FOUND) return std::nullopt;
  const std::size_t start = pos + key.size();
  return text.substr(start, FindTerminator(text, start, terminator) - start);
}

std::optional<std::string> WithKeyedValue(std::string_view text, std::string_view key,
                                          std::string_view terminator, std::string_view value) {
  if (key.empty()) return std::nullopt;
  std::string out;
  const std::size_t pos = text.find(key);
  if (pos != NOT_FOUND) {
    const std::size_t start = pos + key.size();
    const std::size_t end = FindTerminator(text, start, terminator);
    out.reserve(text.size() - (end - start) + value.size());
    out.append(text.substr(0, start)).append(value).append(text.substr(end));
  } else {
    out.reserve(text.size() + 2 * terminator.size() + key.size() + value.size());
    out.append(text);
    if (!text.empty() && !text.ends_with(terminator)) out.append(terminator);
    out.append(key).append(value).append(terminator);
  }
  if (out.size() > RESULT_MAX) return std::nullopt;
  return out;
}

// ---- Binary values inside a string variable ----------------------------

namespace {

bool IntFits(std::size_t available, std::int32_t pos, std::int32_t size) {
  return size >= 1 && size <= 4 && pos >= 0 &&
         static_cast<std::size_t>(pos) + static_cast<std::size_t>(size) <= available;
}

}  // namespace

bool LayInt(std::span<char> bytes, std::int32_t pos, std::int32_t size, std::int32_t value,
            bool big_endian) {
  if (!IntFits(bytes.size(), pos, size)) return false;
  const auto v = static_cast<std::uint32_t>(value);
  for (std::int32_t k = 0; k < size; ++k) {
    const std::int32_t shift = 8 * (big_endian ? size - 1 - k : k);
    bytes[static_cast<std::size_t>(pos + k)] = static_cast<char>((v >> shift) & 0xFFu);
  }
  return true;
}

std::optional<std::int32_t> GetInt(std::span<const char> bytes, std::int32_t pos,
                                   std::int32_t size, std::int32_t mode) {
  if (!IntFits(bytes.size(), pos, size)) return std::nullopt;
  const bool big_endian = (mode & INT_BIG_ENDIAN) != 0;
  std::uint32_t v = 0;
  for (std::int32_t k = 0; k < size; ++k) {
    const std::int32_t shift = 8 * (big_endian ? size - 1 - k : k);
    v |= static_cast<std::uint32_t>(U8(bytes[static_cast<std::size_t>(pos + k)])) << shift;
  }
  if ((mode & INT_SIGNED) != 0 && size < 4) {
    const std::uint32_t sign = 1u << (8 * size - 1);
    if ((v & sign) != 0) v |= ~((sign << 1) - 1);
  }
  return static_cast<std::int32_t>(v);
}

// ---- Scrambling --------------------------------------------------------

namespace {

// The bit permutation chosen by the key's first two bytes: the key's value
// taken as a rank among the 8! orderings of the bit positions.
std::array<int, 8> BitPermutation(std::string_view key) {
  std::uint32_t rank = ((static_cast<std::uint32_t>(U8(key[0])) << 8) | U8(key[1])) % 40320u;
  std::array<int, 8> free_bits{0, 1, 2, 3, 4, 5, 6, 7};
  int free_count = 8;
  std::array<int, 8> perm{};
  std::uint32_t factorial = 5040;  // 7!
  for (int i = 0; i < 8; ++i) {
    const int pick = static_cast<int>(rank / factorial);
    rank %= factorial;
    perm[i] = free_bits[pick];
    std::copy(free_bits.begin() + pick + 1, free_bits.begin() + free_count, free_bits.begin() + pick);
    --free_count;
    if (i < 7) factorial /= static_cast<std::uint32_t>(7 - i);
  }
  return perm;
}

std::uint8_t MoveBits(std::uint8_t b, const std::array<int, 8>& to) {
  std::uint8_t out = 0;
  for (int i = 0; i < 8; ++i) {
    if (b & (1u << i)) out = static_cast<std::uint8_t>(out | (1u << to[i]));
  }
  return out;
}

// A stream of shifts 0-254 drawn from the whole key.
class KeyStream {
 public:
  explicit KeyStream(std::string_view key) {
    std::uint32_t h = 2166136261u;  // FNV-1a
    for (char c : key) h = (h ^ U8(c)) * 16777619u;
    state_ = h != 0 ? h : 0x9E3779B9u;
  }
  std::uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_ % 255u;
  }

 private:
  std::uint32_t state_;
};

}  // namespace

// Each byte: its bits moved by the key's permutation, then rotated within
// 1-255 by the key stream, so 0 stays 0 and nothing else becomes 0.
std::optional<std::string> Scramble(std::string_view text, std::string_view key) {
  if (key.size() < SCRAMBLE_KEY_MIN) return std::nullopt;
  const std::array<int, 8> perm = BitPermutation(key);
  KeyStream stream(key);
  std::string out(text);
  for (char& c : out) {
    const std::uint32_t shift = stream.Next();
    if (c == '\0') continue;
    const std::uint32_t moved = MoveBits(U8(c), perm);
    c = static_cast<char>((moved - 1 + shift) % 255u + 1);
  }
  return out;
}

std::optional<std::string> Unscramble(std::string_view text, std::string_view key) {
  if (key.size() < SCRAMBLE_KEY_MIN) return std::nullopt;
  const std::array<int, 8> perm = BitPermutation(key);
  std::array<int, 8> inverse{};
  for (int i = 0; i < 8; ++i) inverse[perm[i]] = i;
  KeyStream stream(key);
  std::string out(text);
  for (char& c : out) {
    const std::uint32_t shift = stream.Next();
    if (c == '\0') continue;
    const std::uint32_t moved = (U8(c) - 1 + 255u - shift) % 255u + 1;
    c = static_cast<char>(MoveBits(static_cast<std::uint8_t>(moved), inverse));
  }
  return out;
}

}  // namespace vx::strops
