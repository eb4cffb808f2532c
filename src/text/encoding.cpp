#include "text/encoding.hpp"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "text/sjis.hpp"

namespace vx::text {
namespace {

constexpr const char* kCp932 = "CP932";

// The directions text is converted in.
enum class Direction : std::uint8_t { kCp932ToUtf8, kUtf8ToCp932, kCp932ToUtf16, kUtf16ToCp932 };
struct Encodings {
  const char* to;
  const char* from;
};
constexpr std::array<Encodings, 4> kEncodings = {{
    {"UTF-8", kCp932},
    {kCp932, "UTF-8"},
    {"UTF-16LE", kCp932},
    {kCp932, "UTF-16LE"},
}};

// One open descriptor per direction and thread, opened on first use:
// opening one looks the converter up and allocates its buffers, which a
// conversion of a few bytes should not pay for every time.
class Descriptors {
 public:
  Descriptors() { open_.fill(NotOpen()); }
  ~Descriptors() {
    for (iconv_t cd : open_) {
      if (cd != NotOpen()) iconv_close(cd);
    }
  }
  Descriptors(const Descriptors&) = delete;
  Descriptors& operator=(const Descriptors&) = delete;

  // The descriptor in its initial shift state, or NotOpen().
  iconv_t For(Direction direction) {
    iconv_t& cd = open_[static_cast<std::size_t>(direction)];
    if (cd == NotOpen()) {
      const Encodings& e = kEncodings[static_cast<std::size_t>(direction)];
      cd = iconv_open(e.to, e.from);
    } else {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return cd;
  }

  // What iconv_open gives for a failure.
  static iconv_t NotOpen() { return reinterpret_cast<iconv_t>(-1); }

 private:
  std::array<iconv_t, kEncodings.size()> open_;
};

// Converts `in` in one direction. With `lenient`, a sequence that cannot be
// converted is replaced by `replacement` and skipped by one byte (or one
// code unit of `unit` bytes).
std::optional<std::string> Convert(Direction direction, std::string_view in, bool lenient,
                                   std::string_view replacement, std::size_t unit) {
  // CP932 and UTF-8 agree on ASCII, which is what most paths and texts
  // are: no converter needs to be loaded for them.
  const bool ascii_both_ways =
      direction == Direction::kCp932ToUtf8 || direction == Direction::kUtf8ToCp932;
  if (ascii_both_ways && sjis::IsAscii(in)) return std::string(in);
  thread_local Descriptors descriptors;
  const iconv_t cd = descriptors.For(direction);
  if (cd == Descriptors::NotOpen()) return std::nullopt;

  std::string out;
  out.reserve(in.size() * 2 + 8);
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char buffer[4096];
  while (true) {
    char* dst = buffer;
    std::size_t dst_left = sizeof buffer;
    const std::size_t rc = iconv(cd, src_left ? &src : nullptr, &src_left, &dst, &dst_left);
    out.append(buffer, dst - buffer);
    if (rc != static_cast<std::size_t>(-1)) {
      if (src_left == 0) break;
      continue;
    }
    if (errno == E2BIG) continue;
    if (!lenient) return std::nullopt;
    // EILSEQ or EINVAL (truncated sequence at the end): skip one unit.
    out.append(replacement);
    const std::size_t skip = src_left < unit ? src_left : unit;
    src += skip;
    src_left -= skip;
    if (src_left == 0) break;
  }
  return out;
}

}  // namespace

std::optional<std::string> Cp932ToUtf8Strict(std::string_view cp932) {
  return Convert(Direction::kCp932ToUtf8, cp932, false, {}, 1);
}

std::optional<std::string> Utf8ToCp932Strict(std::string_view utf8) {
  return Convert(Direction::kUtf8ToCp932, utf8, false, {}, 1);
}

std::string Cp932ToUtf8(std::string_view cp932) {
  return Convert(Direction::kCp932ToUtf8, cp932, true, "?", 1).value_or(std::string());
}

std::string Utf8ToCp932(std::string_view utf8) {
  return Convert(Direction::kUtf8ToCp932, utf8, true, "?", 1).value_or(std::string());
}

std::optional<std::u16string> Cp932ToUtf16(std::string_view cp932) {
  auto bytes = Convert(Direction::kCp932ToUtf16, cp932, false, {}, 1);
  if (!bytes) return std::nullopt;
  std::u16string out(bytes->size() / 2, u'\0');
  std::memcpy(out.data(), bytes->data(), out.size() * 2);
  return out;
}

std::optional<std::string> Utf16ToCp932(std::u16string_view utf16) {
  std::string_view raw(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
  return Convert(Direction::kUtf16ToCp932, raw, false, {}, 2);
}

}  // namespace vx::text
