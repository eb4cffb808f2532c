#pragma once
// State of the API layer that lives in the Runtime: the shared work buffers
// the handlers evaluate text arguments into, and the generator behind rand.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vx {

inline constexpr std::size_t WORK_BUFFER_LARGE_BYTES = 131072;
inline constexpr std::size_t WORK_BUFFER_SMALL_BYTES = 4096;
inline constexpr int WORK_BUFFER_COUNT = 4;

namespace api {

// Four large and four small text buffers shared by all handlers. Each keeps
// its storage between calls: a buffer is sized once, on its first use, and
// handing it out again only empties it. Texts are cut to the buffer's size
// less one byte (the terminator of the original C buffers).
class WorkBuffers {
 public:
  // k from 0 to 3; the contents are cleared.
  std::string& Large(int k);
  std::string& Small(int k);
  // Whether `text` is one of the small buffers, whose texts hold at most
  // 4095 bytes.
  bool IsSmall(const std::string& text) const;

 private:
  std::array<std::string, WORK_BUFFER_COUNT> large_;
  std::array<std::string, WORK_BUFFER_COUNT> small_;
};

// The C-library style generator of rand; see system/random.hpp.
struct RandomState {
  std::uint32_t state = 1;
};

}  // namespace api
}  // namespace vx
