#include "text/sjis.hpp"

namespace vx::sjis {

std::size_t FindLastSingleByte(std::string_view text, char target) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); i += CharLengthWide(text, i)) {
    if (text[i] == target) found = i;
  }
  return found;
}

}  // namespace vx::sjis
