#pragma once
// The generator behind rand: the classic C-library linear congruential
// generator (state = state * 214013 + 2531011, value = bits 16 to 30 of the
// state, 0 to 32767), so every platform draws the same sequence.
//
// It is seeded with 1 at the start of every program: starting a loaded
// program calls ResetRandom before its Initial label, so two runs of the
// same script draw the same numbers.
//
// Range rule of rand with a maximum m: the result lies between 0 and m, both
// included. For 0 < m <= 32767 it is (one draw) % (m + 1), as the C library's
// rand() % (m + 1); a larger m joins two draws (30 bits) or, above
// 1073741823, three draws (45 bits) before taking the remainder, so the whole
// range can come up. A negative m gives the same numbers negated (from m to
// 0), and m = 0 gives 0. Every call draws, whatever its maximum.
#include <cstdint>

namespace vx {

struct Runtime;

namespace api {

inline constexpr std::int32_t RANDOM_VALUE_MAX = 32767;

void ResetRandom(Runtime& rt);
// The next value of the generator, 0 to RANDOM_VALUE_MAX.
std::int32_t NextRandom(Runtime& rt);
// A value between 0 and `maximum` by the range rule above.
std::int32_t RandomUpTo(Runtime& rt, std::int32_t maximum);

}  // namespace api
}  // namespace vx
