#include "pcb/text_format.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace vx::pcb {

void AppendInt(std::string& out, std::int64_t value) {
  std::array<char, 24> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

void AppendFixed(std::string& out, double value, int decimals) {
  std::array<char, 128> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::fixed, decimals);
  if (result.ec == std::errc()) {
    out.append(buffer.data(), result.ptr);
    return;
  }
  // Very large magnitudes: the C library sizes the text itself.
  const int size = std::snprintf(nullptr, 0, "%.*f", decimals, value);
  if (size <= 0) return;
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
  text.resize(static_cast<std::size_t>(size));
  out += text;
}

void AppendZeroPadded(std::string& out, double value, int width, int decimals) {
  std::string digits;
  AppendFixed(digits, value, decimals);
  const bool sign = !digits.empty() && digits[0] == '-';
  const bool finite = std::isfinite(value);
  if (finite && static_cast<int>(digits.size()) < width) {
    digits.insert(sign ? 1 : 0, static_cast<std::size_t>(width) - digits.size(), '0');
  }
  out += digits;
}

}  // namespace vx::pcb
