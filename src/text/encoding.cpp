#include "text/encoding.hpp"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace vx::text {
namespace {

constexpr const char* kCp932 = "CP932";

struct IconvCloser {
  void operator()(iconv_t cd) const { iconv_close(cd); }
};

// Converts `in` from one encoding to another. With `lenient`, a sequence that
// cannot be converted is replaced by `replacement` and skipped by one byte
// (or one code unit of `unit` bytes).
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in,
                                   bool lenient, std::string_view replacement, std::size_t unit) {
  iconv_t raw = iconv_open(to, from);
  if (raw == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser> cd(raw);

  std::string out;
  out.reserve(in.size() * 2 + 8);
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char buffer[4096];
  while (true) {
    char* dst = buffer;
    std::size_t dst_left = sizeof buffer;
    const std::size_t rc = iconv(cd.get(), src_left ? &src : nullptr, &src_left, &dst, &dst_left);
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
  return Convert("UTF-8", kCp932, cp932, false, {}, 1);
}

std::optional<std::string> Utf8ToCp932Strict(std::string_view utf8) {
  return Convert(kCp932, "UTF-8", utf8, false, {}, 1);
}

std::string Cp932ToUtf8(std::string_view cp932) {
  return Convert("UTF-8", kCp932, cp932, true, "?", 1).value_or(std::string());
}

std::string Utf8ToCp932(std::string_view utf8) {
  return Convert(kCp932, "UTF-8", utf8, true, "?", 1).value_or(std::string());
}

std::optional<std::u16string> Cp932ToUtf16(std::string_view cp932) {
  auto bytes = Convert("UTF-16LE", kCp932, cp932, false, {}, 1);
  if (!bytes) return std::nullopt;
  std::u16string out(bytes->size() / 2, u'\0');
  std::memcpy(out.data(), bytes->data(), out.size() * 2);
  return out;
}

std::optional<std::string> Utf16ToCp932(std::u16string_view utf16) {
  std::string_view raw(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
  return Convert(kCp932, "UTF-16LE", raw, false, {}, 2);
}

}  // namespace vx::text
