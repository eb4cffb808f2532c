#pragma once
// The first-order RC filters of AudioCtrl modes 12 and 13, in double so
// that no product of the time constant and the rate can overflow.
#include <cstdint>
#include <span>

namespace vx::audio {

enum class RcKind { kLowPass, kHighPass };

// In place over `samples`: with state y from 0, y += (x - y) * 1e6 / (tau * rate);
// the output is y (low-pass) or x - y (high-pass), truncated and clamped.
// With `mix_percent` != 0 the sample becomes x + output * mix / 100, clamped.
// Returns true when any sample was clamped by the mix.
bool RcFilter(std::span<std::int16_t> samples, RcKind kind, std::int32_t tau_us,
              std::int32_t mix_percent, std::int32_t rate);

}  // namespace vx::audio
