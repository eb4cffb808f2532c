// Code-page conversions of the string family. The conversions themselves are
// iconv's CP932 tables (text/encoding); what is added here is leniency: a
// piece that does not convert is narrowed down to the one character that
// fails, which becomes '?', and the rest converts as usual.
#include "api/string_ops.hpp"
#include "text/encoding.hpp"

namespace vx::strops {
namespace {

constexpr bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// A character boundary of `s` near its middle (real Shift-JIS lead bytes,
// as CP932 decodes them); 0 or s.size() when `s` is one character.
std::size_t MiddleCharBoundary(std::string_view s) {
  std::size_t cut = 0;
  while (cut < s.size()) {
    const std::size_t next = cut + sjis::CharLengthStrict(s, cut);
    if (cut > 0 && next > s.size() / 2) break;
    cut = next;
  }
  return cut;
}

void AppendSjisAsUtf16(std::string_view s, std::u16string& out) {
  if (s.empty()) return;
  if (auto converted = text::Cp932ToUtf16(s)) {
    out += *converted;
    return;
  }
  const std::size_t cut = MiddleCharBoundary(s);
  if (cut == 0 || cut >= s.size()) {
    out.push_back(u'?');
    return;
  }
  AppendSjisAsUtf16(s.substr(0, cut), out);
  AppendSjisAsUtf16(s.substr(cut), out);
}

void AppendUtf16AsSjis(std::u16string_view s, std::string& out) {
  if (s.empty()) return;
  if (auto converted = text::Utf16ToCp932(s)) {
    out += *converted;
    return;
  }
  const bool one_char = s.size() == 1 || (s.size() == 2 && IsHighSurrogate(s[0]) && IsLowSurrogate(s[1]));
  if (one_char) {
    out.push_back('?');
    return;
  }
  std::size_t cut = s.size() / 2;
  if (IsLowSurrogate(s[cut]) && IsHighSurrogate(s[cut - 1])) ++cut;
  AppendUtf16AsSjis(s.substr(0, cut), out);
  AppendUtf16AsSjis(s.substr(cut), out);
}

void PutCodePoint(char32_t cp, std::u16string& out) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// Decodes one UTF-8 sequence at `i`; 0 when it is not well-formed.
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t* cp) {
  const auto b0 = static_cast<std::uint8_t>(s[i]);
  if (b0 < 0x80) {
    *cp = b0;
    return 1;
  }
  std::size_t length = 0;
  std::uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
  char32_t value = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) length = 2, value = b0 & 0x1F;
  else if (b0 >= 0xE0 && b0 <= 0xEF) length = 3, value = b0 & 0x0F;
  else if (b0 >= 0xF0 && b0 <= 0xF4) length = 4, value = b0 & 0x07;
  else return 0;
  if (b0 == 0xE0) low = 0xA0;   // no overlong forms
  if (b0 == 0xED) high = 0x9F;  // no surrogates
  if (b0 == 0xF0) low = 0x90;
  if (b0 == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  if (i + length > s.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto b = static_cast<std::uint8_t>(s[i + k]);
    const std::uint8_t lo = k == 1 ? low : 0x80;
    const std::uint8_t hi = k == 1 ? high : 0xBF;
    if (b < lo || b > hi) return 0;
    value = (value << 6) | (b & 0x3F);
  }
  *cp = value;
  return length;
}

}  // namespace

std::u16string SjisToUtf16(std::string_view sjis) {
  std::u16string out;
  out.reserve(sjis.size());
  AppendSjisAsUtf16(sjis, out);
  return out;
}

std::string Utf16ToSjis(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 2);
  AppendUtf16AsSjis(utf16, out);
  return out;
}

std::string Utf16ToBytes(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 2);
  for (const char16_t u : utf16) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  }
  return out;
}

std::u16string Utf16FromBytes(std::string_view bytes) {
  std::u16string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto u = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                         (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
    if (u == 0) break;
    out.push_back(u);
  }
  return out;
}

std::string Utf8ToSjis(std::string_view utf8) {
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
  std::u16string wide;
  wide.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    const std::size_t used = DecodeUtf8(utf8, i, &cp);
    if (used == 0) {
      wide.push_back(u'?');
      ++i;
      continue;
    }
    PutCodePoint(cp, wide);
    i += used;
  }
  std::string out = Utf16ToSjis(wide);
  if (out.size() > RESULT_MAX) out.resize(CutAtChar(out, RESULT_MAX).size());
  return out;
}

std::string SjisToUtf8(std::string_view sjis) {
  std::string out;
  for (const char16_t u : SjisToUtf16(sjis)) {
    if (u == 0 || out.size() + 4 > RESULT_MAX) break;
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (u >> 12)));
      out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return out;
}

}  // namespace vx::strops
