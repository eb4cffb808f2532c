// Code-page conversions of the string family: iconv's CP932 tables (the same
// ones text/encoding uses), made lenient. A character that does not convert
// becomes '?' and conversion goes on behind it, in one pass.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "strings/string_ops.hpp"

namespace vx::strops {
namespace {

constexpr const char* kCp932 = "CP932";
constexpr const char* kUtf16 = "UTF-16LE";

constexpr bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Bytes of the character at the start of `rest` in the source encoding.
using CharSize = std::size_t (*)(std::string_view rest);

std::size_t Cp932CharSize(std::string_view rest) { return sjis::CharLengthStrict(rest, 0); }

std::size_t Utf16CharSize(std::string_view rest) {
  if (rest.size() < 4) return std::min<std::size_t>(rest.size(), 2);
  const auto unit = [&rest](std::size_t i) {
    return static_cast<char16_t>(static_cast<std::uint8_t>(rest[i]) |
                                 (static_cast<std::uint8_t>(rest[i + 1]) << 8));
  };
  return IsHighSurrogate(unit(0)) && IsLowSurrogate(unit(2)) ? 4 : 2;
}

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (Valid()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`; each character that has no counterpart (or is cut
  // off at the end) adds `replacement` instead.
  std::string Convert(std::string_view in, std::string_view replacement, CharSize char_size) {
    std::string out;
    if (!Valid()) {
      out.append(replacement);
      return out;
    }
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buffer[4096];
    while (left > 0) {
      char* dst = buffer;
      std::size_t room = sizeof buffer;
      const std::size_t rc = iconv(cd_, &src, &left, &dst, &room);
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
      out.append(replacement);
      const std::size_t skip = std::max<std::size_t>(1, char_size(std::string_view(src, left)));
      src += std::min(skip, left);
      left -= std::min(skip, left);
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

// Every unit of UTF-16LE bytes, zero units included.
std::u16string Utf16FromBytesAll(std::string_view bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                   (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return out;
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
  Iconv to_utf16(kUtf16, kCp932);
  return Utf16FromBytesAll(to_utf16.Convert(sjis, std::string_view("?\0", 2), Cp932CharSize));
}

std::string Utf16ToSjis(std::u16string_view utf16) {
  Iconv to_sjis(kCp932, kUtf16);
  return to_sjis.Convert(Utf16ToBytes(utf16), "?", Utf16CharSize);
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
