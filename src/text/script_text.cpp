#include "text/script_text.hpp"

#include <cstdint>
#include <cstdio>

#include "text/encoding.hpp"

namespace vx::text {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsTrail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// The length of the UTF-8 character at `i` and its code point; 0 when the
// bytes there are not one.
std::size_t Utf8Character(std::string_view s, std::size_t i, std::uint32_t* code) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  std::size_t n = 0;
  std::uint32_t cp = 0;
  if (c < 0x80) {
    *code = c;
    return 1;
  } else if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    return 0;
  }
  *code = cp;
  return n;
}

// The first character of a UTF-8 line that has no Shift-JIS form, as
// "U+XXXX".
std::string FirstUnconvertible(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    std::uint32_t code = 0;
    const std::size_t n = Utf8Character(utf8, i, &code);
    if (n == 0) return "U+FFFD";
    if (code >= 0x80 && !Utf8ToCp932Strict(utf8.substr(i, n))) {
      char name[16];
      std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
      return name;
    }
    i += n;
  }
  return "U+FFFD";
}

// The line converted character by character, one '?' for each that has no
// Shift-JIS form (or is no UTF-8 at all).
std::string ConvertEachCharacter(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    std::uint32_t code = 0;
    std::size_t n = Utf8Character(utf8, i, &code);
    if (n == 0) {
      out += '?';
      ++i;
      continue;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (const std::optional<std::string> one = Utf8ToCp932Strict(utf8.substr(i, n))) {
      out += *one;
    } else {
      out += '?';
    }
    i += n;
  }
  return out;
}

}  // namespace

std::optional<ScriptEncoding> ParseScriptEncoding(std::string_view name) {
  for (std::string_view utf8 : {"utf-8", "utf8"}) {
    if (SameIgnoringCase(name, utf8)) return ScriptEncoding::kUtf8;
  }
  for (std::string_view sjis : {"shift_jis", "shift-jis", "sjis", "cp932"}) {
    if (SameIgnoringCase(name, sjis)) return ScriptEncoding::kShiftJis;
  }
  return std::nullopt;
}

bool IsAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool IsWellFormedShiftJis(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) continue;
    if (!IsLead(c) || i + 1 >= bytes.size() || !IsTrail(static_cast<unsigned char>(bytes[i + 1]))) return false;
    ++i;
  }
  return true;
}

bool IsWellFormedUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    std::uint32_t code = 0;
    const std::size_t n = Utf8Character(bytes, i, &code);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

void ScriptLineDecoder::Decode(std::string& line) {
  unconvertible_.clear();
  looks_like_utf8_ = false;
  if (first_) {
    first_ = false;
    if (line.starts_with(UTF8_BYTE_ORDER_MARK)) {
      line.erase(0, UTF8_BYTE_ORDER_MARK.size());
      utf8_ = true;
      marked_ = true;
    }
  }
  if (IsAscii(line)) return;
  if (!utf8_) {
    looks_like_utf8_ = !IsWellFormedShiftJis(line) && IsWellFormedUtf8(line);
    return;
  }
  if (!marked_ && !IsWellFormedUtf8(line)) return;  // Shift-JIS after all
  if (std::optional<std::string> converted = Utf8ToCp932Strict(line)) {
    line = std::move(*converted);
    return;
  }
  unconvertible_ = FirstUnconvertible(line);
  line = ConvertEachCharacter(line);
}

}  // namespace vx::text
