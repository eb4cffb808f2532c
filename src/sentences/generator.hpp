#pragma once
// Frames and generation. A frame names a template and holds the values of
// some of its slots; conversion fills the template from the frame alone,
// generation fills the slots left open with weighted choices from their
// bands. The choices come from the frame's own generator (splitmix64), so
// a seed gives the same text on every machine and every run.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sentences/library.hpp"

namespace vx {
struct Runtime;
}

namespace vx::sentences {

inline constexpr std::int32_t SL_FRAMES = 16;
inline constexpr std::size_t SL_FRAME_SLOTS_MAX = 32;
inline constexpr std::size_t SL_VALUE_BYTES_MAX = 4095;
inline constexpr std::size_t SL_TEXT_BYTES_MAX = 131071;
// Choices one generation may make, nested words included: a bound on the
// work of a library whose words refer to each other.
inline constexpr std::int32_t SL_CHOICES_MAX = 100000;

class Random {
 public:
  explicit Random(std::uint64_t seed = 0) : state_(seed) {}
  std::uint64_t Next();
  // 0 to n - 1 (n from 1 to 2^32 - 1): the high 32 bits of a draw scaled.
  std::uint32_t Below(std::uint32_t n);

 private:
  std::uint64_t state_;
};

using SlotValues = std::vector<std::pair<std::string, std::string>>;

struct Frame {
  std::string template_name;  // empty: generation picks one
  SlotValues slots;
  Random random;

  const std::string* Get(std::string_view slot) const;
  // False when the frame holds SL_FRAME_SLOTS_MAX other slots or the value
  // is too long. An empty value clears the slot.
  bool Set(std::string_view slot, std::string_view value);
  void Clear(std::string_view slot);
  void ClearAll();
};

struct Generated {
  std::string text;
  std::int32_t template_index = -1;
  SlotValues filled;  // every slot of the template and the value it got
};

// The frame's template with every slot from the frame; nullopt with
// `error` naming the first slot that is not filled.
std::optional<std::string> Convert(const Library& library, const Frame& frame, std::string* error);

// Fills the open slots by choice (a slot used twice gets one value) and
// converts. A seed restarts the frame's generator; without one it goes on.
std::optional<Generated> Generate(const Library& library, Frame& frame, std::optional<std::uint64_t> seed,
                                  std::string* error);

struct SentenceState {
  Library library;
  Frame frames[SL_FRAMES];
};

SentenceState& State(Runtime& rt);

}  // namespace vx::sentences
