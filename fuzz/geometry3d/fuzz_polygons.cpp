// Arbitrary bytes as a polygon file: every face read must write back as a
// line that reads as the same face again, and its text must fit the face.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "geometry3d/polygon_store.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vx::geometry3d;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const Face& f : ParsePolygonFile(bytes, 1.0)) {
    if (f.text.size() > kFaceTextMax) std::abort();
    const std::string line = FormatFace(f);
    if (line.empty()) std::abort();
    // A text holding ')', a key of its own or Shift-JIS bytes may read
    // differently once written; plain texts must round-trip.
    bool plain = true;
    for (const char c : f.text) plain = plain && c >= ' ' && c <= '~' && c != ')' && c != '$';
    if (!plain) continue;
    const auto again = ParseFace(line, 1.0);
    if (!again || again->shape != f.shape || again->extra != f.extra) std::abort();
  }
  return 0;
}
